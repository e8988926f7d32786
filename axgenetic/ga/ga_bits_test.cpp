#include "axgenetic/ga/ga_bits.hpp"

#include <string>

#include <gtest/gtest.h>

#include "axgenetic/platform/random.hpp"

namespace ax {
namespace {

// Bit 0 first.
std::string Text(const TBits& Bits) {
    std::string Result;
    for (int I = 0; I < Bits.Size(); ++I)
        Result += Bits.Test(I) ? '1' : '0';
    return Result;
}

void Load(TAxGABits& Bits, const std::string& Pattern) {
    Bits.SetSize(static_cast<int>(Pattern.size()));
    for (int I = 0; I < Bits.Size(); ++I)
        Bits.Put(I, Pattern[static_cast<std::size_t>(I)] == '1');
}

std::string RandomPattern(int Size) {
    std::string Result;
    for (int I = 0; I < Size; ++I)
        Result += Random(2) ? '1' : '0';
    return Result;
}

TEST(GABits, CrossOverTakesEachParentAsFarAsItReaches) {
    TAxGABits P1, P2, Child;
    Load(P1, "11111111");
    Load(P2, "00000000");
    Child.SetSize(8);
    Child.CrossOver(P1, P2, 3);
    EXPECT_EQ(Text(Child), "11100000");
    Child.CrossOver(P1, P2, 0);
    EXPECT_EQ(Text(Child), "00000000");
    Child.CrossOver(P1, P2, 8);
    EXPECT_EQ(Text(Child), "11111111");
    Child.CrossOver(P2, P1, -4); // a cut below 0 takes everything from parent 2
    EXPECT_EQ(Text(Child), "11111111");

    // A longer child keeps its own bits past both parents.
    TAxGABits Long;
    Load(Long, "010101010101");
    Long.CrossOver(P2, P1, 5);
    EXPECT_EQ(Text(Long), "000001110101");

    // Past a short parent 1, the bits come from parent 2.
    TAxGABits Short;
    Load(Short, "00000");
    TAxGABits Ten;
    Load(Ten, "1111111111");
    Load(Long, "010101010101");
    Long.CrossOver(Short, Ten, 20);
    EXPECT_EQ(Text(Long), "000001111101");

    // Word boundaries: compare with a bit-by-bit copy for cuts all over two words.
    RandSeed(7);
    Load(P1, RandomPattern(200));
    Load(P2, RandomPattern(200));
    const std::string A = Text(P1), B = Text(P2);
    for (int Cut : {0, 1, 63, 64, 65, 127, 128, 129, 150, 199, 200}) {
        Load(Child, RandomPattern(200));
        Child.CrossOver(P1, P2, Cut);
        EXPECT_EQ(Text(Child), A.substr(0, static_cast<std::size_t>(Cut)) +
                                   B.substr(static_cast<std::size_t>(Cut)))
            << "cut " << Cut;
    }

    // The two-argument form draws the cut from parent 1's size.
    RandSeed(3);
    const int Cut = Random(200);
    RandSeed(3);
    Child.CrossOver(P1, P2);
    EXPECT_EQ(Text(Child),
              A.substr(0, static_cast<std::size_t>(Cut)) + B.substr(static_cast<std::size_t>(Cut)));
}

TEST(GABits, MutateDrawsForEveryBit) {
    TAxGABits Bits;
    Load(Bits, std::string(100, '0'));
    RandSeed(11);
    EXPECT_FALSE(Bits.Mutate(0));
    EXPECT_EQ(Text(Bits), std::string(100, '0'));
    const double AfterMutate = Random();
    RandSeed(11);
    for (int I = 0; I < 100; ++I)
        Random();
    EXPECT_EQ(Random(), AfterMutate);

    EXPECT_TRUE(Bits.Mutate(1));
    EXPECT_EQ(Text(Bits), std::string(100, '1'));

    // Bit i flips exactly when the i-th draw is below the probability.
    RandSeed(5);
    const std::string Before = RandomPattern(150);
    std::string Expected = Before;
    RandSeed(21);
    for (char& C : Expected)
        if (Random() < 0.3) C = C == '1' ? '0' : '1';
    Load(Bits, Before);
    RandSeed(21);
    EXPECT_TRUE(Bits.Mutate(0.3));
    EXPECT_EQ(Text(Bits), Expected);
}

TEST(GABits, InvertComplementsCountPlusOneBits) {
    TAxGABits Bits;
    Load(Bits, "00000000");
    Bits.Invert(2, 3);
    EXPECT_EQ(Text(Bits), "00111100");
    Bits.Invert(6, 10); // stops at the end
    EXPECT_EQ(Text(Bits), "00111111");
    Bits.Invert(0, 0);
    EXPECT_EQ(Text(Bits), "10111111");

    // Runs across words, against a bit-by-bit reference.
    RandSeed(9);
    const std::string Pattern = RandomPattern(300);
    for (auto [Start, Count] :
         {std::pair{0, 299}, {60, 10}, {63, 1}, {64, 63}, {10, 200}, {128, 64}, {250, 100}}) {
        Load(Bits, Pattern);
        Bits.Invert(Start, Count);
        std::string Expected = Pattern;
        for (int I = Start; I <= Start + Count && I < 300; ++I)
            Expected[static_cast<std::size_t>(I)] =
                Expected[static_cast<std::size_t>(I)] == '1' ? '0' : '1';
        EXPECT_EQ(Text(Bits), Expected) << Start << "+" << Count;
    }

    // -1 draws the start from the size, then the count from what is left.
    RandSeed(4);
    const int Start = Random(300);
    const int Count = Random(300 - Start);
    Load(Bits, Pattern);
    RandSeed(4);
    Bits.Invert();
    std::string Expected = Pattern;
    for (int I = Start; I <= Start + Count && I < 300; ++I)
        Expected[static_cast<std::size_t>(I)] =
            Expected[static_cast<std::size_t>(I)] == '1' ? '0' : '1';
    EXPECT_EQ(Text(Bits), Expected);

    TAxGABits Empty;
    Empty.Invert(); // nothing to flip
    EXPECT_EQ(Empty.Size(), 0);
}

TEST(GABits, RandomizeAndClear) {
    TAxGABits Bits;
    Bits.SetSize(130);
    RandSeed(2);
    const std::string Expected = RandomPattern(130);
    RandSeed(2);
    Bits.Randomize();
    EXPECT_EQ(Text(Bits), Expected);
    Bits.Clear();
    EXPECT_EQ(Text(Bits), std::string(130, '0'));
    EXPECT_EQ(Bits.ClassName(), "TAxGABits");
    EXPECT_EQ(Bits.Owner(), nullptr);
}

} // namespace
} // namespace ax
