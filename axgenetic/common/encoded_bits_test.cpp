#include "axgenetic/common/encoded_bits.hpp"

#include <bit>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/random.hpp"

using namespace ax;

namespace {

std::uint64_t RandomWord() {
    return (static_cast<std::uint64_t>(Random(1 << 16)) << 48) ^
           (static_cast<std::uint64_t>(Random(1 << 24)) << 24) ^
           static_cast<std::uint64_t>(Random(1 << 24));
}

TAxEncodedBits RandomBits(int Size) {
    TAxEncodedBits B;
    B.SetSize(Size);
    for (int I = 0; I < Size; ++I)
        B.SetBits(I, Random(2) == 1);
    return B;
}

// Every bit outside [Start, Start + Count) is the same in both strings.
void ExpectOutsideUnchanged(const TAxEncodedBits& Before, const TAxEncodedBits& After, int Start,
                            int Count) {
    ASSERT_EQ(Before.Size(), After.Size());
    for (int I = 0; I < Before.Size(); ++I)
        if (I < Start || I >= Start + Count) {
            ASSERT_EQ(Before[I], After[I]) << "bit " << I;
        }
}

template <class F> void ExpectRangeError(F&& Call) {
    try {
        Call();
        FAIL() << "no EListError";
    } catch (const EListError& E) {
        EXPECT_STREQ(E.what(), "Bits index out of range");
    }
}

} // namespace

TEST(EncodedBits, IntegerRunsRoundTripTouchOnlyTheirBitsAndGettersAreClean) {
    RandSeed(61);
    for (int Round = 0; Round < 3000; ++Round) {
        TAxEncodedBits B = RandomBits(1 + Random(300));
        const int Count = 1 + Random(std::min(64, B.Size()));
        const int Start = Random(B.Size() - Count + 1);
        const bool Signed = Random(2) == 1;
        std::int64_t Value = static_cast<std::int64_t>(RandomWord() >> (64 - Count));
        if (Signed && Count < 64) Value -= std::int64_t{1} << (Count - 1);
        const TAxEncodedBits Before = B;
        B.SetSignBit(Signed);
        B.SetAsInt64(Start, Count, Value);
        ExpectOutsideUnchanged(Before, B, Start, Count);
        // Least significant bit at Start.
        for (int I = 0; I < Count; ++I)
            ASSERT_EQ(B[Start + I], ((static_cast<std::uint64_t>(Value) >> I) & 1) != 0);
        const std::string Snapshot = B.ToBitString();
        ASSERT_EQ(B.GetAsInt64(Start, Count), Value) << Start << "/" << Count;
        if (Count <= 32 && (Signed || Count < 32)) {
            ASSERT_EQ(B.GetAsInteger(Start, Count), Value);
        }
        B.GetAsDouble(Start, Count);
        B.GetAsFloat(Start, Count);
        B.GetAsBoolean(Start, Count);
        B.GetAsBitString(Start, Count);
        B.ToString();
        ASSERT_EQ(B.ToBitString(), Snapshot);
        // 32-bit writes behave the same through the Integer accessor.
        if (Count <= 32) {
            B = Before;
            B.SetSignBit(Signed);
            B.SetAsInteger(Start, Count, static_cast<std::int32_t>(Value));
            ExpectOutsideUnchanged(Before, B, Start, Count);
            ASSERT_EQ(B.GetAsInt64(Start, Count), Value);
        }
    }
}

TEST(EncodedBits, SignExtensionAtEveryWidthEdge) {
    for (int Count : {1, 31, 32, 33, 63, 64}) {
        SCOPED_TRACE(Count);
        TAxEncodedBits B;
        B.SetSize(130);
        const int Start = 60; // crosses a word boundary for every width but 1
        B.SetSignBit(true);
        const std::int64_t Max = Count == 64 ? std::numeric_limits<std::int64_t>::max()
                                             : (std::int64_t{1} << (Count - 1)) - 1;
        const std::int64_t Min = -Max - 1;
        B.SetAsInt64(Start, Count, Min);
        EXPECT_EQ(B.GetAsInt64(Start, Count), Min);
        B.SetAsInt64(Start, Count, Max);
        EXPECT_EQ(B.GetAsInt64(Start, Count), Max);
        B.SetAsInt64(Start, Count, -1);
        EXPECT_EQ(B.GetAsInt64(Start, Count), -1);
        EXPECT_EQ(B.GetAsInteger(Start, Count), -1);
        EXPECT_EQ(B.GetAsBitString(Start, Count),
                  std::string(static_cast<std::size_t>(Count), '1'));
        // The same all-ones run unsigned.
        B.SetSignBit(false);
        const std::uint64_t Ones = Count == 64 ? ~0ull : (1ull << Count) - 1;
        EXPECT_EQ(static_cast<std::uint64_t>(B.GetAsInt64(Start, Count)), Ones);
        EXPECT_EQ(B.GetAsInteger(Start, Count), static_cast<std::int32_t>(Ones));
        EXPECT_FALSE(B[Start - 1]);
        EXPECT_FALSE(B[Start + Count]);
    }
    TAxEncodedBits B;
    B.SetSize(40);
    B.SetSignBit(true);
    B.SetAsInteger(3, 1, -1);
    EXPECT_EQ(B.GetAsInteger(3, 1), -1);
    B.SetAsInteger(3, 1, 0);
    EXPECT_EQ(B.GetAsInteger(3, 1), 0);
    // Values that do not fit keep their low Count bits.
    B.SetSignBit(false);
    B.SetAsInteger(0, 8, 300);
    EXPECT_EQ(B.GetAsInteger(0, 8), 44);
    B.SetAsInteger(0, 8, -1);
    EXPECT_EQ(B.GetAsInteger(0, 8), 255);
    B.SetSignBit(true);
    EXPECT_EQ(B.GetAsInteger(0, 8), -1);
    // An Integer read of a wider run gives the low 32 bits.
    B.SetAsInt64(0, 40, (std::int64_t{5} << 32) | 7);
    EXPECT_EQ(B.GetAsInteger(0, 40), 7);
}

TEST(EncodedBits, RunsLongerThanSixtyFourBits) {
    TAxEncodedBits B;
    B.SetSize(200);
    B.SetAsInt64(10, 100, -5);
    EXPECT_EQ(B.GetAsBitString(74, 36), std::string(36, '1'));
    B.SetSignBit(true);
    EXPECT_EQ(B.GetAsInt64(10, 100), -5);
    B.SetAsInteger(10, 100, 9);
    EXPECT_EQ(B.GetAsBitString(74, 36), std::string(36, '0'));
    EXPECT_EQ(B.GetAsInt64(10, 100), 9);
    EXPECT_EQ(B.GetAsBitString(0, 10), std::string(10, '0'));
    EXPECT_EQ(B.GetAsBitString(110, 90), std::string(90, '0'));
    // A double in a wide run occupies its low 64 bits; the rest are cleared.
    B.SetAsBoolean(0, 200, true);
    B.SetAsDouble(20, 100, -2.75);
    EXPECT_EQ(B.GetAsDouble(20, 100), -2.75);
    EXPECT_EQ(B.GetAsBitString(84, 36), std::string(36, '0'));
    EXPECT_EQ(B.GetAsBitString(120, 80), std::string(80, '1'));
    EXPECT_EQ(B.GetAsBitString(0, 20), std::string(20, '1'));
}

TEST(EncodedBits, FloatsAreExactFromThirtyTwoAndSixtyFourBits) {
    RandSeed(62);
    TAxEncodedBits B;
    B.SetSize(300);
    for (int Round = 0; Round < 500; ++Round) {
        const int Start = Random(200);
        const auto FBits = static_cast<std::uint32_t>(RandomWord());
        const float F = std::bit_cast<float>(FBits);
        const double D = std::bit_cast<double>(RandomWord());
        const TAxEncodedBits Before = B;
        B.SetSignBit(Random(2) == 1); // ignored from 32 bits on
        B.SetAsFloat(Start, 32, F);
        ExpectOutsideUnchanged(Before, B, Start, 32);
        ASSERT_EQ(std::bit_cast<std::uint32_t>(B.GetAsFloat(Start, 32)), FBits);
        B.SetAsDouble(Start, 64, D);
        ExpectOutsideUnchanged(Before, B, Start, 64);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(B.GetAsDouble(Start, 64)),
                  std::bit_cast<std::uint64_t>(D));
    }
    // Both accessors share one coding per width.
    B.SetAsFloat(5, 64, 0.1f);
    EXPECT_EQ(B.GetAsDouble(5, 64), static_cast<double>(0.1f));
    EXPECT_EQ(B.GetAsFloat(5, 64), 0.1f);
    B.SetAsDouble(5, 40, 0.1);
    EXPECT_EQ(B.GetAsFloat(5, 40), 0.1f);
    EXPECT_EQ(B.GetAsDouble(5, 40), static_cast<double>(0.1f));
    EXPECT_EQ(B.GetAsBitString(37, 8), "00000000");
    B.SetAsFloat(5, 40, -3.5f);
    EXPECT_EQ(B.GetAsDouble(5, 40), -3.5);
    // Beyond the single range a narrowed double becomes infinite, a wide one stays.
    B.SetAsDouble(5, 32, 1e300);
    EXPECT_EQ(B.GetAsFloat(5, 32), std::numeric_limits<float>::infinity());
    B.SetAsDouble(5, 32, -1e300);
    EXPECT_EQ(B.GetAsDouble(5, 32), -std::numeric_limits<double>::infinity());
    B.SetAsDouble(5, 32, std::numeric_limits<float>::max());
    EXPECT_EQ(B.GetAsFloat(5, 32), std::numeric_limits<float>::max());
    B.SetAsDouble(5, 64, -1e300);
    EXPECT_EQ(B.GetAsFloat(5, 64), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(B.GetAsDouble(5, 64), -1e300);
    B.SetAsDouble(5, 32, std::nan(""));
    EXPECT_TRUE(std::isnan(B.GetAsFloat(5, 32)));
}

TEST(EncodedBits, NarrowFloatsHoldRoundedSaturatedIntegers) {
    TAxEncodedBits B;
    B.SetSize(70);
    B.SetAsBoolean(0, 70, true);
    struct Case {
        bool Signed;
        int Count;
        double In, Out;
    };
    const Case Cases[] = {
        {false, 8, 3.5, 4},
        {false, 8, 2.5, 2},
        {false, 8, 17.4, 17},
        {false, 8, -1, 0},
        {false, 8, 300, 255},
        {false, 8, 255.4, 255},
        {true, 8, -2.5, -2},
        {true, 8, -3.5, -4},
        {true, 8, -500, -128},
        {true, 8, 127.6, 127},
        {true, 1, -1, -1},
        {true, 1, 0.7, 0},
        {false, 1, 0.7, 1},
        {false, 31, 2147483647.0, 2147483647.0},
        {true, 31, -1e12, -1073741824.0},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.In);
        B.SetSignBit(C.Signed);
        const TAxEncodedBits Before = B;
        B.SetAsDouble(30, C.Count, C.In);
        ExpectOutsideUnchanged(Before, B, 30, C.Count);
        EXPECT_EQ(B.GetAsDouble(30, C.Count), C.Out);
        EXPECT_EQ(B.GetAsInt64(30, C.Count), static_cast<std::int64_t>(C.Out));
        B.SetAsFloat(30, C.Count, static_cast<float>(C.In));
        EXPECT_EQ(B.GetAsFloat(30, C.Count), static_cast<float>(C.Out));
    }
    B.SetSignBit(true);
    B.SetAsDouble(30, 8, std::nan(""));
    EXPECT_EQ(B.GetAsDouble(30, 8), 0.0);
    B.SetAsDouble(30, 8, -std::numeric_limits<double>::infinity());
    EXPECT_EQ(B.GetAsDouble(30, 8), -128.0);
    // An 8-bit float gene range of 0..255 and an integer written there read as floats.
    B.SetSignBit(false);
    B.SetAsInteger(30, 8, 200);
    EXPECT_EQ(B.GetAsFloat(30, 8), 200.0f);
}

TEST(EncodedBits, BooleansAndCountZero) {
    TAxEncodedBits B;
    B.SetSize(200);
    EXPECT_FALSE(B.GetAsBoolean(0, 200));
    B.SetBits(150, true);
    EXPECT_TRUE(B.GetAsBoolean(0, 200));
    EXPECT_TRUE(B.GetAsBoolean(150, 1));
    EXPECT_FALSE(B.GetAsBoolean(0, 150));
    EXPECT_FALSE(B.GetAsBoolean(151, 49));
    B.SetAsBoolean(3, 130, true);
    EXPECT_EQ(B.GetAsBitString(0, 140), "000" + std::string(130, '1') + std::string(7, '0'));
    B.SetAsBoolean(60, 10, false);
    EXPECT_EQ(B.GetAsBitString(55, 20), "11111" + std::string(10, '0') + "11111");
    // Count 0 reads nothing and writes nothing, even at the very end.
    const std::string Snapshot = B.ToBitString();
    B.SetSignBit(true);
    EXPECT_EQ(B.GetAsInt64(200, 0), 0);
    EXPECT_EQ(B.GetAsDouble(70, 0), 0.0);
    EXPECT_FALSE(B.GetAsBoolean(70, 0));
    EXPECT_EQ(B.GetAsBitString(70, 0), "");
    B.SetAsInteger(200, 0, -1);
    B.SetAsDouble(70, 0, 3.0);
    B.SetAsFloat(70, 0, 3.0f);
    B.SetAsBoolean(70, 0, true);
    B.SetAsBitString(70, 0, "");
    EXPECT_EQ(B.ToBitString(), Snapshot);
}

TEST(EncodedBits, BitStringTexts) {
    RandSeed(63);
    TAxEncodedBits B;
    B.SetSize(12);
    B.SetAsInteger(0, 12, 0b1011);
    EXPECT_EQ(B.ToBitString(), "110100000000"); // bit 0 first
    EXPECT_EQ(B.GetAsBitString(1, 3), "101");
    B.SetAsBitString(4, 4, "0111");
    EXPECT_EQ(B.GetAsInteger(4, 4), 0b1110);
    // A shorter text clears the rest of the run, a longer one is cut.
    B.SetAsBitString(0, 12, "1");
    EXPECT_EQ(B.ToBitString(), "100000000000");
    B.SetAsBitString(2, 3, "111111");
    EXPECT_EQ(B.ToBitString(), "101110000000");
    // Other characters are refused before anything changes.
    try {
        B.SetAsBitString(0, 4, "01x1");
        FAIL() << "no EConvertError";
    } catch (const EConvertError& E) {
        EXPECT_STREQ(E.what(), "'01x1' is not a valid bit string");
    }
    EXPECT_THROW(B.SetAsBitString(0, 2, "11 "), EConvertError);
    EXPECT_EQ(B.ToBitString(), "101110000000");
    // Whole strings round trip across word boundaries.
    for (int Size : {1, 63, 64, 65, 200}) {
        const TAxEncodedBits Source = RandomBits(Size);
        TAxEncodedBits Copy;
        Copy.SetSize(Size);
        Copy.SetAsBoolean(0, Size, true);
        Copy.SetAsBitString(0, Copy.Size(), Source.ToBitString());
        EXPECT_TRUE(Copy.Equals(Source)) << Size;
        EXPECT_EQ(Copy.ToBitString().size(), static_cast<std::size_t>(Size));
    }
    TAxEncodedBits Empty;
    EXPECT_EQ(Empty.ToBitString(), "");
}

TEST(EncodedBits, ToStringIsAnExactKey) {
    RandSeed(64);
    TAxEncodedBits B;
    B.SetSize(10);
    B.SetAsInteger(0, 10, 0x3AB);
    EXPECT_EQ(B.ToString(), "10:3ab");
    TAxEncodedBits Empty;
    EXPECT_EQ(Empty.ToString(), "0:");
    // Same bits, different sizes.
    TAxEncodedBits A9, A10;
    A9.SetSize(9);
    A10.SetSize(10);
    EXPECT_NE(A9.ToString(), A10.ToString());
    // A string grown and shrunk back equals a fresh one.
    TAxEncodedBits Grown;
    Grown.SetSize(70);
    Grown.SetAsBoolean(0, 70, true);
    Grown.SetSize(66);
    TAxEncodedBits Fresh;
    Fresh.SetSize(66);
    Fresh.SetAsBoolean(0, 66, true);
    EXPECT_EQ(Grown.ToString(), Fresh.ToString());
    EXPECT_EQ(Fresh.ToString(), "66:3ffffffffffffffff");
    // Equal exactly when the bits are equal, across word boundaries.
    for (int Round = 0; Round < 300; ++Round) {
        const int Size = 1 + Random(260);
        const TAxEncodedBits X = RandomBits(Size);
        TAxEncodedBits Y;
        Y.Assign(X);
        ASSERT_EQ(X.ToString(), Y.ToString());
        const int Bit = Random(Size);
        Y.SetBits(Bit, !Y[Bit]);
        ASSERT_NE(X.ToString(), Y.ToString()) << Size << "/" << Bit;
    }
}

TEST(EncodedBits, AssignCopiesSizeAndBitsOnly) {
    RandSeed(65);
    const TAxEncodedBits Source = RandomBits(150);
    TAxEncodedBits Dest;
    Dest.SetSize(300);
    Dest.SetAsBoolean(0, 300, true);
    Dest.SetSignBit(true);
    Dest.Assign(Source);
    EXPECT_EQ(Dest.Size(), 150);
    EXPECT_TRUE(Dest.Equals(Source));
    EXPECT_TRUE(Dest.SignBit());
    TBits Plain;
    Plain.SetSize(3);
    Plain.SetBits(1, true);
    Dest.Assign(Plain);
    EXPECT_EQ(Dest.ToBitString(), "010");
    Dest.Assign(Dest);
    EXPECT_EQ(Dest.ToBitString(), "010");
}

TEST(EncodedBits, RunsOutsideTheStringRaiseBeforeChanging) {
    TAxEncodedBits B;
    B.SetSize(20);
    B.SetAsInteger(0, 20, 0x5A5A5);
    const std::string Snapshot = B.ToBitString();
    const std::pair<int, int> Bad[] = {{-1, 2}, {0, -1}, {15, 6},
                                       {21, 0}, {0, 21}, {19, 0x7fffffff}};
    for (auto [Start, Count] : Bad) {
        SCOPED_TRACE(Start);
        ExpectRangeError([&] { B.GetAsInteger(Start, Count); });
        ExpectRangeError([&] { B.SetAsInteger(Start, Count, 1); });
        ExpectRangeError([&] { B.GetAsInt64(Start, Count); });
        ExpectRangeError([&] { B.SetAsInt64(Start, Count, 1); });
        ExpectRangeError([&] { B.GetAsFloat(Start, Count); });
        ExpectRangeError([&] { B.SetAsFloat(Start, Count, 1); });
        ExpectRangeError([&] { B.GetAsDouble(Start, Count); });
        ExpectRangeError([&] { B.SetAsDouble(Start, Count, 1); });
        ExpectRangeError([&] { B.GetAsBoolean(Start, Count); });
        ExpectRangeError([&] { B.SetAsBoolean(Start, Count, true); });
        ExpectRangeError([&] { B.GetAsBitString(Start, Count); });
        ExpectRangeError([&] { B.SetAsBitString(Start, Count, "x"); });
    }
    EXPECT_EQ(B.ToBitString(), Snapshot);
}
