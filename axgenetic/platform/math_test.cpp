#include "axgenetic/platform/math.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace ax {
namespace {

TEST(MathTest, RoundHalvesToEvenAndTrunc) {
    EXPECT_EQ(Round(0.5), 0);
    EXPECT_EQ(Round(1.5), 2);
    EXPECT_EQ(Round(2.5), 2);
    EXPECT_EQ(Round(3.5), 4);
    EXPECT_EQ(Round(-0.5), 0);
    EXPECT_EQ(Round(-1.5), -2);
    EXPECT_EQ(Round(-2.5), -2);
    EXPECT_EQ(Round(-3.5), -4);
    EXPECT_EQ(Round(2.4999999), 2);
    EXPECT_EQ(Round(2.5000001), 3);
    EXPECT_EQ(Round(-2.6), -3);
    EXPECT_EQ(Round(0.49999999999999994), 0);
    EXPECT_EQ(Round(4503599627370497.0), 4503599627370497); // 2^52 + 1: no fraction left
    EXPECT_EQ(Round(1e15 + 0.5), 1000000000000000);

    EXPECT_EQ(Trunc(2.9), 2);
    EXPECT_EQ(Trunc(-2.9), -2);
    EXPECT_EQ(Trunc(-0.1), 0);
    EXPECT_EQ(Trunc(7.0), 7);
}

TEST(MathTest, Statistics) {
    const std::vector<double> Data{2, 4, 4, 4, 5, 5, 7, 9};
    EXPECT_DOUBLE_EQ(Mean(Data), 5.0);
    EXPECT_DOUBLE_EQ(Variance(Data), 32.0 / 7.0); // n - 1 in the divisor
    double M = -1, S = -1;
    MeanAndStdDev(Data, M, S);
    EXPECT_DOUBLE_EQ(M, 5.0);
    EXPECT_DOUBLE_EQ(S, std::sqrt(32.0 / 7.0));

    const std::vector<double> One{3.0}, None;
    EXPECT_EQ(Mean(None), 0.0);
    EXPECT_EQ(Variance(None), 0.0);
    EXPECT_EQ(Mean(One), 3.0);
    EXPECT_EQ(Variance(One), 0.0);
    MeanAndStdDev(None, M, S);
    EXPECT_EQ(M, 0.0);
    EXPECT_EQ(S, 0.0);
    // Large offsets do not swamp a small spread.
    const std::vector<double> Offset{1e9 + 1, 1e9 + 2, 1e9 + 3};
    EXPECT_DOUBLE_EQ(Variance(Offset), 1.0);
}

} // namespace
} // namespace ax
