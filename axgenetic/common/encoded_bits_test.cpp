#include "axgenetic/common/encoded_bits.hpp"

#include <bit>
#include <cmath>
#include <functional>
#include <limits>

#include <gtest/gtest.h>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/random.hpp"

using namespace ax;

namespace {

std::uint64_t RandomWord() {
    return (std::uint64_t(Random(1 << 16)) << 48) ^ (std::uint64_t(Random(1 << 24)) << 24) ^
           std::uint64_t(Random(1 << 24));
}

TAxEncodedBits RandomBits(int Size) {
    TAxEncodedBits B;
    B.SetSize(Size);
    for (int I = 0; I < Size; ++I)
        B.SetBits(I, Random(2) == 1);
    return B;
}

// The run's bits are Value's low Count bits, least significant at Start; the rest as Before.
void ExpectRun(const TAxEncodedBits& Before, const TAxEncodedBits& After, int Start, int Count,
               std::uint64_t Value) {
    for (int I = 0; I < Before.Size(); ++I) {
        const bool In = I >= Start && I < Start + Count;
        ASSERT_EQ(After[I], In ? ((Value >> (I - Start)) & 1) != 0 : Before[I]) << "bit " << I;
    }
}

} // namespace

TEST(EncodedBits, RandomRunsRoundTripWithoutSideEffects) {
    RandSeed(61);
    for (int Round = 0; Round < 2000; ++Round) {
        TAxEncodedBits B = RandomBits(64 + Random(200));
        const int Count = 1 + Random(64);
        const int Start = Random(B.Size() - Count + 1);
        const bool Signed = Random(2) == 1;
        std::int64_t Value = std::int64_t(RandomWord() >> (64 - Count));
        if (Signed && Count < 64) Value -= std::int64_t{1} << (Count - 1);
        const TAxEncodedBits Before = B;
        B.SetSignBit(Signed);
        if (Count <= 32 && Round % 2 == 0)
            B.SetAsInteger(Start, Count, std::int32_t(Value));
        else
            B.SetAsInt64(Start, Count, Value);
        ExpectRun(Before, B, Start, Count, std::uint64_t(Value));
        const std::string Snapshot = B.ToString();
        ASSERT_EQ(B.GetAsInt64(Start, Count), Value) << Start << "/" << Count;
        ASSERT_EQ(B.GetAsInteger(Start, Count), std::int32_t(Value));
        (void)B.GetAsDouble(Start, Count), (void)B.GetAsFloat(Start, Count);
        (void)B.GetAsBoolean(Start, Count), (void)B.GetAsBitString(Start, Count);
        ASSERT_EQ(B.ToString(), Snapshot);
        // Floats keep their exact IEEE bits from 32 (single) and 64 (double) bits on.
        B = Before;
        const std::uint64_t Raw = RandomWord();
        const int FStart = Random(B.Size() - 63);
        B.SetAsFloat(FStart, 32, std::bit_cast<float>(std::uint32_t(Raw)));
        ExpectRun(Before, B, FStart, 32, std::uint32_t(Raw));
        B.SetAsDouble(FStart, 64, std::bit_cast<double>(Raw));
        ExpectRun(Before, B, FStart, 64, Raw);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(B.GetAsDouble(FStart, 64)), Raw);
    }
}

TEST(EncodedBits, IntegersThatDoNotFitTheRun) {
    TAxEncodedBits B;
    B.SetSize(200);
    B.SetAsInteger(0, 8, 300); // the low 8 bits are kept
    EXPECT_EQ(B.GetAsInteger(0, 8), 44);
    // Longer than 64 bits: the sign fills the rest, reads give the low 64 bits.
    B.SetSignBit(true);
    B.SetAsInt64(10, 100, -5);
    EXPECT_EQ(B.GetAsBitString(74, 37), std::string(36, '1') + "0");
    EXPECT_EQ(B.GetAsInt64(10, 100), -5);
    B.SetAsInteger(10, 100, 9);
    EXPECT_TRUE(B.GetAsInt64(10, 100) == 9 && !B.GetAsBoolean(14, 186));
    B.SetAsInteger(10, 40, -9); // sign-extended past 32 bits
    EXPECT_EQ(B.GetAsInt64(10, 40), -9);
}

TEST(EncodedBits, FloatCodingByWidth) {
    TAxEncodedBits B;
    B.SetSize(200);
    B.SetAsBoolean(0, 200, true);
    // Float and Double share one coding per width; 32..63 bits hold a single.
    B.SetAsDouble(5, 40, 0.1);
    EXPECT_EQ(B.GetAsDouble(5, 40), double(0.1f));
    EXPECT_EQ(B.GetAsBitString(37, 9), "000000001");
    B.SetAsDouble(20, 100, -2.75); // the bits above 64 are cleared
    EXPECT_EQ(B.GetAsFloat(20, 100), -2.75f);
    EXPECT_EQ(B.GetAsBitString(84, 37), std::string(36, '0') + "1");
    B.SetAsDouble(5, 32, -1e300);
    EXPECT_EQ(B.GetAsDouble(5, 32), -std::numeric_limits<double>::infinity());
    B.SetAsDouble(5, 64, 1e300);
    EXPECT_EQ(B.GetAsFloat(5, 64), std::numeric_limits<float>::infinity());
    // Below 32 bits: the nearest integer, halves to even, saturated to the run's range.
    const struct {
        bool Signed;
        int Count;
        double In, Out;
    } Cases[] = {{false, 8, 2.5, 2},    {false, 8, 300, 255},
                 {false, 8, -1, 0},     {true, 8, -3.5, -4},
                 {true, 8, -500, -128}, {true, 1, 0.7, 0},
                 {true, 8, NAN, 0},     {true, 31, -1e12, -1073741824.0}};
    for (const auto& C : Cases) {
        B.SetSignBit(C.Signed);
        const TAxEncodedBits Before = B;
        B.SetAsDouble(30, C.Count, C.In);
        ExpectRun(Before, B, 30, C.Count, std::uint64_t(std::int64_t(C.Out)));
        EXPECT_EQ(B.GetAsDouble(30, C.Count), C.Out) << C.In;
        B.SetAsFloat(30, C.Count, float(C.In));
        EXPECT_EQ(B.GetAsFloat(30, C.Count), float(C.Out)) << C.In;
    }
}

TEST(EncodedBits, BooleanRunsSetEveryBitOfTheRun) {
    TAxEncodedBits B;
    B.SetSize(140);
    B.SetAsBoolean(3, 130, true);
    B.SetAsBoolean(60, 10, false);
    EXPECT_EQ(B.ToBitString(), "000" + std::string(57, '1') + std::string(10, '0') +
                                   std::string(63, '1') + "0000000");
    EXPECT_TRUE(B.GetAsBoolean(3, 57) && !B.GetAsBoolean(60, 10) && !B.GetAsBoolean(133, 7));
}

TEST(EncodedBits, BitStringsListBitZeroFirst) {
    TAxEncodedBits B;
    B.SetSize(12);
    B.SetAsInteger(0, 12, 0b1011);
    EXPECT_EQ(B.ToBitString(), "110100000000"); // bit 0 first
    EXPECT_EQ(B.ToString(), "12:00b");
    B.SetAsBitString(4, 4, "0111");
    EXPECT_EQ(B.GetAsInteger(4, 4), 0b1110);
    B.SetAsBitString(0, 8, "1");   // a shorter text clears the rest of the run
    B.SetAsBitString(9, 2, "111"); // a longer one is cut
    EXPECT_EQ(B.ToBitString(), "100000000110");
    try {
        B.SetAsBitString(0, 4, "01x1");
        ADD_FAILURE() << "no EConvertError";
    } catch (const EConvertError& E) {
        EXPECT_STREQ(E.what(), "'01x1' is not a valid bit string");
    }
}

TEST(EncodedBits, EmptyRunsReadNothingWriteNothingEvenAtTheEnd) {
    TAxEncodedBits B;
    B.SetSize(12);
    B.SetAsBitString(0, 12, "100000000110");
    EXPECT_EQ(B.GetAsInt64(12, 0) + B.GetAsDouble(12, 0), 0);
    B.SetAsInteger(12, 0, -1), B.SetAsDouble(12, 0, 1), B.SetAsBitString(12, 0, "");
    EXPECT_EQ(B.ToBitString(), "100000000110");
}

TEST(EncodedBits, TextKeyChangesWithTheSizeOrAnySingleBit) {
    TAxEncodedBits A66;
    A66.SetSize(70), A66.SetAsBoolean(0, 70, true), A66.SetSize(66);
    EXPECT_EQ(A66.ToString(), "66:3ffffffffffffffff");
    RandSeed(63);
    for (int Round = 0; Round < 300; ++Round) {
        const TAxEncodedBits X = RandomBits(1 + Random(260));
        TAxEncodedBits Y;
        Y.SetSignBit(true);
        Y.Assign(X);
        ASSERT_TRUE(Y.Equals(X) && Y.SignBit()); // the coding stays the target's
        Y.SetAsBitString(0, Y.Size(), X.ToBitString());
        ASSERT_EQ(X.ToString(), Y.ToString());
        const int Bit = Random(X.Size());
        Y.SetBits(Bit, !Y[Bit]);
        ASSERT_NE(X.ToString(), Y.ToString()) << Bit;
    }
}

TEST(EncodedBits, RunsOutsideTheStringRaiseBeforeChanging) {
    TAxEncodedBits B;
    B.SetSize(20);
    B.SetAsInteger(0, 20, 0x5A5A5);
    for (const auto& Run : {std::pair{-1, 2}, {0, -1}, {15, 6}, {21, 0}, {19, 0x7fffffff}}) {
        const int S = Run.first, C = Run.second; // lambdas may not capture bindings in C++20
        const std::function<void()> Calls[] = {
            [&] { B.GetAsInt64(S, C); },     [&] { B.SetAsInteger(S, C, 1); },
            [&] { B.SetAsInt64(S, C, 1); },  [&] { B.SetAsFloat(S, C, 1); },
            [&] { B.GetAsFloat(S, C); },     [&] { B.SetAsDouble(S, C, 1); },
            [&] { B.GetAsBoolean(S, C); },   [&] { B.SetAsBoolean(S, C, true); },
            [&] { B.GetAsBitString(S, C); }, [&] { B.SetAsBitString(S, C, "x"); }};
        for (const auto& Call : Calls) {
            try {
                Call();
                ADD_FAILURE() << "no EListError at " << S << "/" << C;
            } catch (const EListError& E) {
                EXPECT_STREQ(E.what(), "Bits index out of range");
            }
        }
    }
    EXPECT_EQ(B.GetAsInteger(0, 20), 0x5A5A5);
}
