#include "axgenetic/platform/math.hpp"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace ax {
namespace {

TEST(MathTest, RoundHalvesToEven) {
    // clang-format off
    const std::pair<double, std::int64_t> Rounded[] = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2}, {-3.5, -4},
        {2.5000001, 3}, {-2.6, -3}, {0.49999999999999994, 0},
        {4503599627370497.0, 4503599627370497}, {1e15 + 0.5, 1000000000000000}};
    // clang-format on
    for (const auto& [X, R] : Rounded)
        EXPECT_EQ(Round(X), R) << X;
}

TEST(MathTest, TruncDropsTheFraction) {
    EXPECT_TRUE(Trunc(2.9) == 2 && Trunc(-2.9) == -2 && Trunc(-0.1) == 0);
}

TEST(MathTest, Statistics) {
    const std::vector<double> Data{2, 4, 4, 4, 5, 5, 7, 9}, One{3.0}, None;
    EXPECT_DOUBLE_EQ(Variance(Data), 32.0 / 7.0); // n - 1 in the divisor
    double M = -1, S = -1;
    MeanAndStdDev(Data, M, S);
    EXPECT_DOUBLE_EQ(M, 5.0);
    EXPECT_DOUBLE_EQ(S, std::sqrt(32.0 / 7.0));
    EXPECT_TRUE(Mean(None) == 0 && Variance(None) == 0 && Mean(One) == 3 && Variance(One) == 0);
    MeanAndStdDev(None, M, S);
    EXPECT_TRUE(M == 0 && S == 0);
    // Large offsets do not swamp a small spread.
    EXPECT_DOUBLE_EQ(Variance(std::vector<double>{1e9 + 1, 1e9 + 2, 1e9 + 3}), 1.0);
}

} // namespace
} // namespace ax
