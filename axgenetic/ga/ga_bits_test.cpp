#include "axgenetic/ga/ga_bits.hpp"

#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "axgenetic/platform/random.hpp"

namespace ax {
namespace {

// Bit 0 first.
std::string Text(const TAxGABits& Bits) {
    return Bits.GetAsBitString(0, Bits.Size());
}
TAxGABits& Load(TAxGABits& Bits, const std::string& Pattern) {
    Bits.SetSize(static_cast<int>(Pattern.size()));
    Bits.SetAsBitString(0, Bits.Size(), Pattern);
    return Bits;
}

std::string RandomPattern(int Size) {
    std::string Result;
    for (int I = 0; I < Size; ++I)
        Result += Random(2) == 1 ? '1' : '0';
    return Result;
}

// Pattern with bits Start .. Start + Count (inclusive, within the size) complemented.
std::string Flipped(std::string Pattern, int Start, int Count) {
    for (int I = Start; I <= Start + Count && I < static_cast<int>(Pattern.size()); ++I)
        Pattern[static_cast<std::size_t>(I)] ^= 1;
    return Pattern;
}

TEST(GABits, CrossOverTakesEachParentAsFarAsItReaches) {
    TAxGABits P1, P2, Child, Short, Ten;
    Load(P1, "11111111");
    Load(P2, "00000000");
    Child.SetSize(8);
    for (auto [Cut, Expected] : {std::pair{3, "11100000"},
                                 {0, "00000000"},
                                 {8, "11111111"},
                                 {20, "11111111"},
                                 {-4, "00000000"}}) {
        Child.CrossOver(P1, P2, Cut);
        EXPECT_EQ(Text(Child), Expected) << Cut;
    }
    // A child longer than the parents keeps its own bits past them; past a short parent 1
    // the bits come from parent 2.
    Load(Child, "010101010101").CrossOver(P2, P1, 5);
    EXPECT_EQ(Text(Child), "000001110101");
    Load(Child, "010101010101").CrossOver(Load(Short, "00000"), Load(Ten, "1111111111"), 20);
    EXPECT_EQ(Text(Child), "000001111101");

    // Cuts all over three words, against a bit-by-bit copy.
    RandSeed(7);
    const std::string A = RandomPattern(200), B = RandomPattern(200);
    Load(P1, A);
    Load(P2, B);
    for (int Cut : {1, 63, 64, 65, 127, 128, 129, 199}) {
        Load(Child, RandomPattern(200)).CrossOver(P1, P2, Cut);
        EXPECT_EQ(Text(Child), A.substr(0, std::size_t(Cut)) + B.substr(std::size_t(Cut))) << Cut;
    }
    // The two-argument form draws the cut from parent 1's size.
    RandSeed(3);
    const auto Cut = static_cast<std::size_t>(Random(200));
    const std::string Longer = B + RandomPattern(100);
    RandSeed(3);
    Load(Child, std::string(400, '1')).CrossOver(P1, Load(P2, Longer));
    EXPECT_EQ(Text(Child), A.substr(0, Cut) + Longer.substr(Cut) + std::string(100, '1'));
}

TEST(GABits, MutateDrawsForEveryBitInOrder) {
    TAxGABits Bits;
    RandSeed(11);
    EXPECT_FALSE(Load(Bits, std::string(100, '0')).Mutate(0));
    const double After = Random(); // every bit drew, even at probability 0
    RandSeed(11);
    for (int I = 0; I < 100; ++I)
        Random();
    EXPECT_EQ(Random(), After);
    EXPECT_TRUE(Bits.Mutate(1));
    EXPECT_EQ(Text(Bits), std::string(100, '1'));
    // Bit i flips exactly when the i-th draw is below the probability.
    RandSeed(5);
    const std::string Before = RandomPattern(150);
    std::string Expected = Before;
    for (char& C : Expected)
        if (Random() < 0.3) C ^= 1;
    RandSeed(5);
    RandomPattern(150);
    EXPECT_TRUE(Load(Bits, Before).Mutate(0.3));
    EXPECT_EQ(Text(Bits), Expected);
}

// Invert complements Count + 1 bits, stopping at the end, across word boundaries.
TEST(GABits, InvertComplementsARunOfBits) {
    TAxGABits Bits;
    RandSeed(5);
    const std::string Before = RandomPattern(150);
    Load(Bits, "00000000").Invert(2, 3);
    EXPECT_EQ(Text(Bits), "00111100");
    for (auto [Start, Count] : {std::pair{0, 299}, {63, 1}, {64, 63}, {10, 200}, {250, 100}}) {
        Load(Bits, Before + Before).Invert(Start, Count);
        EXPECT_EQ(Text(Bits), Flipped(Before + Before, Start, Count)) << Start << "+" << Count;
    }
    // -1 draws the start from the size, then the count from what is left.
    RandSeed(4);
    const int Start = Random(300);
    const int Count = Random(300 - Start);
    RandSeed(4);
    Load(Bits, Before + Before).Invert();
    EXPECT_EQ(Text(Bits), Flipped(Before + Before, Start, Count));
}

// Bit i is set when the i-th Random(2) is 1; Clear keeps the size.
TEST(GABits, RandomizeDrawsInBitOrder) {
    TAxGABits Bits;
    Bits.SetSize(130);
    RandSeed(2);
    const std::string Expected = RandomPattern(130);
    RandSeed(2);
    Bits.Randomize();
    EXPECT_EQ(Text(Bits), Expected);
    Bits.Clear();
    EXPECT_EQ(Text(Bits), std::string(130, '0'));
}

} // namespace
} // namespace ax
