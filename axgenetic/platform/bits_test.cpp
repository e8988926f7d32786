#include "axgenetic/platform/bits.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/random.hpp"

namespace ax {
namespace {

std::string BitText(const TBits& B) {
    std::string S;
    for (int I = 0; I < B.Size(); ++I)
        S += B[I] ? '1' : '0';
    return S;
}

TEST(BitsTest, SizeChangesClearBitsPastTheEnd) {
    TBits B;
    B.SetSize(70);
    EXPECT_TRUE(B.WordCount() == 2 && B.OpenBit() == 0);
    for (int I = 0; I < 70; ++I)
        B.SetBits(I, true);
    EXPECT_EQ(B.OpenBit(), 70);
    // Shrinking clears the bits past the end, so growing again shows False there.
    B.SetSize(3);
    EXPECT_TRUE(B.WordCount() == 1 && B.Words()[0] == 0b111u);
    B.SetSize(130);
    EXPECT_EQ(BitText(B), "111" + std::string(127, '0'));
    // Writing past the end grows the set.
    B.SetBits(200, true);
    EXPECT_TRUE(B.Size() == 201 && B[200] && !B[199]);
    B.SetSize(0);
    EXPECT_EQ(B.WordCount(), 0);
}

TEST(BitsTest, BitsFillWordsFromTheLowEnd) {
    TBits B;
    B.SetSize(129);
    for (int I : {0, 63, 64, 127, 128})
        B.Put(I, true);
    EXPECT_EQ(B.Words()[0], (1ull << 63) | 1ull);
    EXPECT_EQ(B.Words()[1], (1ull << 63) | 1ull);
    EXPECT_EQ(B.Words()[2], 1ull);
    B.Flip(63);
    B.Flip(62);
    EXPECT_TRUE(!B.Test(63) && B.Test(62));
    B.SetSize(64);
    for (int I = 0; I < 64; ++I)
        B.Put(I, true);
    EXPECT_EQ(B.OpenBit(), 64);
    B.Put(63, false);
    EXPECT_EQ(B.OpenBit(), 63);
}

TEST(BitsTest, EqualsComparesSizeToo) {
    TBits A, C;
    A.SetSize(10);
    C.SetSize(11);
    EXPECT_FALSE(A.Equals(C)); // same bits, different size
    C.SetSize(10);
    EXPECT_TRUE(A.Equals(C));
    C.SetBits(9, true);
    EXPECT_FALSE(A.Equals(C));
}

TEST(BitsTest, OutOfRangeErrorsChangeNothing) {
    TBits B, Other;
    B.SetSize(5);
    Other.SetSize(10);
    const std::function<void()> Calls[] = {
        [&] { (void)B.Bits(5); },
        [&] { (void)B[-1]; },
        [&] { B.SetBits(-1, true); },
        [&] { B.SetSize(-1); },
        [&] { B.CopyRange(Other, 6, 0, 5); }, // source too short
        [&] { B.CopyRange(Other, 0, 1, 5); }, // destination too short
        [&] { B.CopyRange(Other, -1, 0, 2); },
        [&] { B.CopyRange(Other, 0, -1, 2); }};
    for (const auto& Call : Calls) {
        try {
            Call();
            ADD_FAILURE() << "no EListError";
        } catch (const EListError& E) {
            EXPECT_STREQ(E.what(), "Bits index out of range");
        }
    }
    EXPECT_EQ(BitText(B), "00000");
    B.CopyRange(Other, 100, 100, 0); // nothing to copy, nothing checked
}

TEST(BitsTest, CopyRangeMatchesBitByBitCopy) {
    RandSeed(99);
    const auto RandomBits = [](int Size) {
        TBits B;
        B.SetSize(Size);
        for (int I = 0; I < Size; ++I)
            B.Put(I, Random(2) == 1);
        return B;
    };
    for (int Round = 0; Round < 800; ++Round) {
        TBits Dest = RandomBits(1 + Random(300));
        // Every other round copies within the one set.
        const bool Within = Round % 2 == 1;
        const TBits Source = Within ? Dest : RandomBits(1 + Random(300));
        const int Count = Random(std::min(Source.Size(), Dest.Size()) + 1);
        const int S = Random(Source.Size() - Count + 1);
        const int D = Random(Dest.Size() - Count + 1);
        TBits Expected = Dest;
        for (int I = 0; I < Count; ++I)
            Expected.Put(D + I, Source.Test(S + I));
        Dest.CopyRange(Within ? Dest : Source, S, D, Count);
        ASSERT_TRUE(Dest.Equals(Expected)) << "S=" << S << " D=" << D << " Count=" << Count << "\n"
                                           << BitText(Dest) << "\n"
                                           << BitText(Expected);
    }
}

} // namespace
} // namespace ax
