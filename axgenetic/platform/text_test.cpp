#include "axgenetic/platform/text.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <utility>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/expect_error_test_support.hpp"
#include "axgenetic/platform/random.hpp"

namespace ax {
namespace {

constexpr double Inf = std::numeric_limits<double>::infinity();

void ExpectConvertError(const std::function<void()>& Call, const std::string& Text,
                        const char* What) {
    ExpectError<EConvertError>(Call, "'" + Text + "' is not a valid " + What);
}

TEST(TextTest, FloatToStr) {
    // clang-format off
    const std::pair<double, const char*> Doubles[] = {
        {-0.0, "0"}, {2.5, "2.5"}, {-0.125, "-0.125"}, {1.0 / 3.0, "0.333333333333333"},
        {2.0 / 3.0, "0.666666666666667"}, {100.0, "100"},
        // Plain from 1E-4 up to 15 integer digits, exponent beyond.
        {0.00012345, "0.00012345"}, {0.00001, "1E-5"}, {-2.25e-300, "-2.25E-300"},
        {123456789012345.0, "123456789012345"}, {1e15, "1E15"},
        {123456789012345678.0, "1.23456789012346E17"},
        // A 16th digit of exactly 5 in the shortest form rounds by the exact value.
        {8.626903632435095, "8.62690363243509"}, {6.288225455292035, "6.28822545529203"},
        {0.30000000000000004, "0.3"},
        // Rounding to 15 digits can carry into a new exponent.
        {999999999999999.9, "1E15"}, {0.99999999999999999, "1"},
        {std::numeric_limits<double>::max(), "1.79769313486232E308"},
        {std::numeric_limits<double>::denorm_min(), "4.94065645841247E-324"},
        {-0.00012345678901234567, "-0.000123456789012346"}, {std::nan(""), "NAN"}, {-Inf, "-INF"}};
    // clang-format on
    for (const auto& [X, Text] : Doubles)
        EXPECT_EQ(FloatToStr(X), Text);
}

TEST(TextTest, SingleToStr) {
    // clang-format off
    const std::pair<float, const char*> Singles[] = {
        {0.1f, "0.1"}, {1.0f / 3.0f, "0.33333334"}, {16777216.0f, "16777216"}, {1e20f, "1E20"},
        {std::numeric_limits<float>::max(), "3.4028235E38"},
        {std::numeric_limits<float>::denorm_min(), "1E-45"}};
    // clang-format on
    for (const auto& [X, Text] : Singles)
        EXPECT_EQ(SingleToStr(X), Text);
    char Buffer[MaxFloatTextLength];
    EXPECT_EQ(std::string(Buffer, FormatSingle(Buffer, 0.98f, TFormatSettings{','})), "0,98");
}

TEST(TextTest, DecimalSeparatorFollowsSettings) {
    const char Old = FormatSettings().DecimalSeparator;
    FormatSettings().DecimalSeparator = ',';
    EXPECT_EQ(FloatToStr(1.5e-7), "1,5E-7");
    EXPECT_EQ(SingleToStr(0.1f), "0,1");
    EXPECT_EQ(PercentToStr(0.005), "0,50");
    EXPECT_DOUBLE_EQ(StrToFloat("-1,5E-7"), -1.5e-7);
    // A point is no separator now; explicit settings override the process-wide ones.
    ExpectConvertError([] { StrToFloat("2.5"); }, "2.5", "floating point value");
    EXPECT_EQ(FloatToStr(2.5, TFormatSettings{'.'}), "2.5");
    EXPECT_DOUBLE_EQ(StrToFloat("2.5", TFormatSettings{'.'}), 2.5);
    FormatSettings().DecimalSeparator = Old;
}

TEST(TextTest, StrToFloatSyntax) {
    // clang-format off
    const std::pair<const char*, double> Good[] = {
        {"+2.5", 2.5},      {"  42\t", 42.0}, {".5", 0.5},        {"5.", 5.0},
        {"1.5e-7", 1.5e-7}, {"1.5E+7", 1.5e7},
        {"1e-400", 0.0},    {"0.000000000000000000001e-390", 0.0},
        {"INF", Inf},       {"-Inf", -Inf}};
    // clang-format on
    for (const auto& [Text, X] : Good)
        EXPECT_EQ(StrToFloat(Text), X) << Text;
    EXPECT_TRUE(std::signbit(StrToFloat("-1e-400")));
    EXPECT_TRUE(std::isnan(StrToFloat("nan")));
    for (const char* Bad : {"", " ", "1e", "1e+", "1.2.3", "--1", "+-1", "1 2", "0x10", ".", "e5",
                            "infinity", "nan(1)", "1,5", "1e400", "-1e400"}) {
        ExpectConvertError([&] { StrToFloat(Bad); }, Bad, "floating point value");
        double V = 3;
        EXPECT_FALSE(TryStrToFloat(Bad, V) || V != 3) << Bad;
    }
}

TEST(TextTest, FloatTextsReadBackOverRandomBitPatterns) {
    RandSeed(11);
    for (int I = 0; I < 20000; ++I) {
        // Any double keeps the 15 significant digits printf's "%.15g" gives.
        const auto Bits = static_cast<std::uint64_t>(Random(1 << 30)) << 34 ^
                          static_cast<std::uint64_t>(Random(1 << 30)) << 4 ^
                          static_cast<std::uint64_t>(Random(16));
        const double X = std::bit_cast<double>(Bits);
        if (std::isfinite(X)) {
            char Expected[40];
            std::snprintf(Expected, sizeof Expected, "%.15g", X);
            ASSERT_EQ(StrToFloat(FloatToStr(X)), std::strtod(Expected, nullptr)) << Expected;
        }
        // Any float reads back to itself from its shortest text.
        const auto FBits = static_cast<std::uint32_t>(Random(65536)) << 16 |
                           static_cast<std::uint32_t>(Random(65536));
        const float F = std::bit_cast<float>(FBits);
        if (!std::isfinite(F)) continue;
        const std::string Text = SingleToStr(F);
        ASSERT_EQ(std::bit_cast<std::uint32_t>(static_cast<float>(StrToFloat(Text))),
                  F == 0 ? 0u : FBits)
            << Text;
        ASSERT_LE(Text.size(), MaxFloatTextLength);
    }
}

TEST(TextTest, PercentToStr) {
    // clang-format off
    const std::pair<double, const char*> Cases[] = {
        {0.98, "98.00"},   {0.005, "0.50"},    {0.123, "12.00"},   {0.985, "99.00"},
        {0.975, "98.00"}, // halves away from zero on the decimal digits
        {0.0123, "1.20"},  {0.00123, "0.12"},  {0.000123, "0.01"}, {0.00005, "0.01"},
        {0.00004, "0.00"}, {0.999, "100.00"},  {1.234, "123.40"},  {12.345678, "1234.57"},
        {-0.25, "-25.00"}, {-0.00001, "0.00"}, {Inf, "INF"}};
    // clang-format on
    for (const auto& [X, Text] : Cases)
        EXPECT_EQ(PercentToStr(X), Text) << X;
}

TEST(TextTest, BooleanTexts) {
    EXPECT_EQ(BoolToStr(true) + BoolToStr(false), "TrueFalse");
    for (const char* T : {"TRUE", " true ", "-1", "0.5"})
        EXPECT_TRUE(StrToBool(T)) << T;
    for (const char* F : {"FaLsE", "0", "0.0"})
        EXPECT_FALSE(StrToBool(F)) << F;
    for (const char* Bad : {"", "yes", "T", "truee", "1x"}) {
        ExpectConvertError([&] { StrToBool(Bad); }, Bad, "boolean value");
        bool V = true;
        EXPECT_FALSE(TryStrToBool(Bad, V) || !V) << Bad;
    }
}

TEST(TextTest, IntegerTexts) {
    EXPECT_EQ(IntToStr(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
    EXPECT_EQ(StrToInt(" -42 ") + StrToInt("+7"), -35);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(StrToInt64("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(StrToUInt("4294967295"), 4294967295u);
    for (const char* Bad : {"", "2147483648", "-2147483649", "1.5", "1e3", "+-1", "+", "0x1F"})
        ExpectConvertError([&] { StrToInt(Bad); }, Bad, "integer value");
    ExpectConvertError([] { StrToInt64("9223372036854775808"); }, "9223372036854775808",
                       "integer value");
    ExpectConvertError([] { StrToUInt("-1"); }, "-1", "integer value");
    ExpectConvertError([] { StrToUInt("4294967296"); }, "4294967296", "integer value");
    std::int32_t I = 5;
    EXPECT_FALSE(TryStrToInt("x", I) || I != 5);
    EXPECT_TRUE(TryStrToInt("-3", I) && I == -3);
}

} // namespace
} // namespace ax
