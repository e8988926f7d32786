#include "axgenetic/platform/random.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "axgenetic/platform/exceptions.hpp"

namespace ax {
namespace {

TEST(RandomTest, SeedGivesFixedSequence) {
    // xoshiro256** seeded through splitmix64; values from an independent implementation.
    RandSeed(0);
    EXPECT_EQ(detail::NextRandom64(), 0x99ec5f36cb75f2b4ull);
    EXPECT_EQ(detail::NextRandom64(), 0xbf6e1f784956452aull);
    RandSeed(42);
    EXPECT_EQ(GetRandSeed(), 42u);
    EXPECT_DOUBLE_EQ(Random(), 0.08386297105988216);
    EXPECT_DOUBLE_EQ(Random(), 0.3789802506626686);
    RandSeed(42);
    std::vector<int> Ints;
    for (int I = 0; I < 10; ++I)
        Ints.push_back(Random(100));
    EXPECT_EQ(Ints, (std::vector<int>{8, 37, 68, 92, 99, 76, 71, 85, 76, 58}));
    // Both draws take from the one stream, in call order; Randomize does not stick.
    RandSeed(7);
    EXPECT_DOUBLE_EQ(Random(), 0.7005764821796896);
    EXPECT_EQ(Random(6), 1);
    EXPECT_DOUBLE_EQ(Random(), 0.8396274618764198);
    EXPECT_EQ(Random(1000000), 981097);
    Randomize();
    RandSeed(7);
    EXPECT_DOUBLE_EQ(Random(), 0.7005764821796896);
}

TEST(RandomTest, IntegerThresholdDecidesAsTheFloatComparison) {
    // The bound is exact at a grid point of the draw (k * 2^-53) and just past it.
    const double Grid = 0x1.0p-53;
    EXPECT_EQ(RandomThreshold(3 * Grid), 3u);
    EXPECT_EQ(RandomThreshold(std::nextafter(3 * Grid, 1.0)), 4u);
    EXPECT_EQ(RandomThreshold(std::nextafter(1.0, 0.0)), (std::uint64_t{1} << 53) - 1);
    for (const double P : {0.0, -0.5, std::nan(""), 4.9e-324, 0.001, 0.5, 1.0, 1.5}) {
        std::vector<bool> ByFloat, ByInteger;
        RandSeed(31);
        for (int I = 0; I < 2000; ++I)
            ByFloat.push_back(Random() < P);
        RandSeed(31);
        for (int I = 0; I < 2000; ++I)
            ByInteger.push_back(RandomBelow(RandomThreshold(P)));
        EXPECT_EQ(ByFloat, ByInteger) << P;
    }
}

TEST(RandomTest, RestoredStateContinuesTheSequence) {
    RandSeed(99);
    Random(10);
    const TRandomGeneratorState Saved = GetRandomState();
    const double Next = Random();
    RandSeed(1);
    SetRandomState(Saved);
    EXPECT_EQ(GetRandSeed(), 99u);
    EXPECT_EQ(Random(), Next);
    // The all-zero state would only give zeros (and Random(n) would never return).
    EXPECT_THROW(SetRandomState(TRandomGeneratorState{}), EConvertError);
    EXPECT_EQ(GetRandomState().Seed, 99u);
}

// N <= 0 gives 0 and draws nothing.
TEST(RandomTest, EmptyRangeDrawsNothing) {
    RandSeed(12345);
    const auto Before = detail::GRandomState;
    EXPECT_EQ(Random(0) + Random(-5), 0);
    EXPECT_EQ(std::memcmp(&Before, &detail::GRandomState, sizeof Before), 0);
}

TEST(RandomTest, DrawsAreUniformOverTheirRange) {
    RandSeed(12345);
    constexpr int Draws = 200000, Cells = 10;
    std::array<int, Cells> IntCounts{}, FloatCounts{};
    int Low = 0;
    for (int I = 0; I < Draws; ++I) {
        const double X = Random();
        ASSERT_TRUE(X >= 0.0 && X < 1.0);
        ++FloatCounts[static_cast<std::size_t>(X * Cells)];
        const int K = Random(Cells);
        ASSERT_TRUE(K >= 0 && K < Cells);
        ++IntCounts[static_cast<std::size_t>(K)];
        ASSERT_EQ(Random(1), 0);
        // A range that is not a power of two and close to 2^31 must not favour low values.
        const int Big = Random(0x60000000);
        ASSERT_TRUE(Big >= 0 && Big < 0x60000000);
        Low += Big < 0x30000000;
    }
    // Expected 20000 per cell, standard deviation about 134: 5% is far outside chance.
    for (std::size_t C = 0; C < Cells; ++C) {
        EXPECT_NEAR(IntCounts[C], Draws / Cells, Draws / Cells / 20);
        EXPECT_NEAR(FloatCounts[C], Draws / Cells, Draws / Cells / 20);
    }
    EXPECT_NEAR(Low, Draws / 2, Draws / 50);
}

} // namespace
} // namespace ax
