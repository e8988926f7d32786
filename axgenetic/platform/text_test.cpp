#include "axgenetic/platform/text.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/random.hpp"

namespace ax {
namespace {

// Switches the process-wide separator for one test and restores it afterwards.
class SeparatorScope {
public:
    explicit SeparatorScope(char Separator) : FOld(FormatSettings().DecimalSeparator) {
        FormatSettings().DecimalSeparator = Separator;
    }
    ~SeparatorScope() { FormatSettings().DecimalSeparator = FOld; }

private:
    char FOld;
};

void ExpectConvertError(const std::function<void()>& Call, const std::string& Message) {
    try {
        Call();
        FAIL() << "no EConvertError, expected: " << Message;
    } catch (const EConvertError& E) {
        EXPECT_EQ(E.what(), Message);
    }
}

TEST(TextTest, FloatToStrGeneralForm) {
    EXPECT_EQ(FloatToStr(0.0), "0");
    EXPECT_EQ(FloatToStr(-0.0), "0");
    EXPECT_EQ(FloatToStr(1.0), "1");
    EXPECT_EQ(FloatToStr(2.5), "2.5");
    EXPECT_EQ(FloatToStr(-0.125), "-0.125");
    EXPECT_EQ(FloatToStr(0.1), "0.1");
    EXPECT_EQ(FloatToStr(0.98), "0.98");
    EXPECT_EQ(FloatToStr(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(FloatToStr(2.0 / 3.0), "0.666666666666667");
    EXPECT_EQ(FloatToStr(100.0), "100");
    EXPECT_EQ(FloatToStr(-1234.5), "-1234.5");
    // Plain down to 1E-4, exponent below.
    EXPECT_EQ(FloatToStr(0.0001), "0.0001");
    EXPECT_EQ(FloatToStr(0.00012345), "0.00012345");
    EXPECT_EQ(FloatToStr(0.00001), "1E-5");
    EXPECT_EQ(FloatToStr(1.5e-7), "1.5E-7");
    EXPECT_EQ(FloatToStr(-2.25e-300), "-2.25E-300");
    // Plain up to 15 integer digits, exponent above.
    EXPECT_EQ(FloatToStr(123456789012345.0), "123456789012345");
    EXPECT_EQ(FloatToStr(1e15), "1E15");
    EXPECT_EQ(FloatToStr(1e20), "1E20");
    EXPECT_EQ(FloatToStr(123456789012345678.0), "1.23456789012346E17");
    // Shortest forms with a 16th digit of exactly 5 round by the exact value.
    EXPECT_EQ(FloatToStr(8.626903632435095), "8.62690363243509");
    EXPECT_EQ(FloatToStr(6.288225455292035), "6.28822545529203");
    EXPECT_EQ(FloatToStr(0.30000000000000004), "0.3");
    EXPECT_EQ(FloatToStr(1234.5678901234567), "1234.56789012346");
    // Rounding to 15 digits can carry into a new exponent.
    EXPECT_EQ(FloatToStr(999999999999999.9), "1E15");
    EXPECT_EQ(FloatToStr(0.99999999999999999), "1");
    EXPECT_EQ(FloatToStr(std::numeric_limits<double>::max()), "1.79769313486232E308");
    EXPECT_EQ(FloatToStr(std::numeric_limits<double>::denorm_min()), "4.94065645841247E-324");
    EXPECT_EQ(FloatToStr(std::numeric_limits<double>::quiet_NaN()), "NAN");
    EXPECT_EQ(FloatToStr(std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(FloatToStr(-std::numeric_limits<double>::infinity()), "-INF");
}

TEST(TextTest, DecimalSeparatorFollowsSettings) {
    SeparatorScope Comma(',');
    EXPECT_EQ(FloatToStr(2.5), "2,5");
    EXPECT_EQ(FloatToStr(1.5e-7), "1,5E-7");
    EXPECT_EQ(SingleToStr(0.1f), "0,1");
    EXPECT_EQ(PercentToStr(0.005), "0,50");
    EXPECT_DOUBLE_EQ(StrToFloat("2,5"), 2.5);
    EXPECT_DOUBLE_EQ(StrToFloat("-1,5E-7"), -1.5e-7);
    // A point is no separator now: text written under the other setting fails.
    ExpectConvertError([] { StrToFloat("2.5"); }, "'2.5' is not a valid floating point value");
    double V = 7;
    EXPECT_FALSE(TryStrToFloat("2.5", V));
    EXPECT_EQ(V, 7);
    // Explicit settings override the process-wide ones.
    EXPECT_EQ(FloatToStr(2.5, TFormatSettings{'.'}), "2.5");
    EXPECT_DOUBLE_EQ(StrToFloat("2.5", TFormatSettings{'.'}), 2.5);
}

TEST(TextTest, StrToFloatSyntax) {
    EXPECT_EQ(StrToFloat("2.5"), 2.5);
    EXPECT_EQ(StrToFloat("+2.5"), 2.5);
    EXPECT_EQ(StrToFloat("-0.125"), -0.125);
    EXPECT_EQ(StrToFloat("  42\t"), 42.0);
    EXPECT_EQ(StrToFloat(".5"), 0.5);
    EXPECT_EQ(StrToFloat("5."), 5.0);
    EXPECT_EQ(StrToFloat("1E20"), 1e20);
    EXPECT_EQ(StrToFloat("1.5e-7"), 1.5e-7);
    EXPECT_EQ(StrToFloat("1.5E+7"), 1.5e7);
    EXPECT_EQ(StrToFloat("0.1"), 0.1);
    EXPECT_EQ(StrToFloat("1e-400"), 0.0);
    EXPECT_TRUE(std::signbit(StrToFloat("-1e-400")));
    EXPECT_EQ(StrToFloat("0.000000000000000000001e-390"), 0.0);
    EXPECT_TRUE(std::isnan(StrToFloat("NAN")));
    EXPECT_TRUE(std::isnan(StrToFloat("nan")));
    EXPECT_EQ(StrToFloat("INF"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(StrToFloat("-Inf"), -std::numeric_limits<double>::infinity());
    for (const char* Bad : {"", " ", "abc", "1e", "1e+", "1.2.3", "--1", "+-1", "1 2", "0x10", ".",
                            "e5", "infinity", "nan(1)", "1,5", "1e400", "-1e400"}) {
        ExpectConvertError([&] { StrToFloat(Bad); },
                           std::string("'") + Bad + "' is not a valid floating point value");
        double V = 3;
        EXPECT_FALSE(TryStrToFloat(Bad, V)) << Bad;
        EXPECT_EQ(V, 3) << Bad;
    }
}

TEST(TextTest, FloatTextRoundTrips) {
    RandSeed(11);
    for (int I = 0; I < 2000; ++I) {
        // Values with at most 15 significant digits come back exactly.
        const double Mantissa = std::round(Random() * 1e14) / 1e14;
        const double X = Mantissa * std::pow(10.0, Random(40) - 20);
        const double Back = StrToFloat(FloatToStr(X));
        EXPECT_NEAR(Back, X, std::fabs(X) * 1e-14) << FloatToStr(X);
    }
    // Any double: the text holds the same 15 significant digits as printf's "%.15g".
    for (int I = 0; I < 20000; ++I) {
        const auto Bits = static_cast<std::uint64_t>(Random(1 << 30)) << 34 ^
                          static_cast<std::uint64_t>(Random(1 << 30)) << 4 ^
                          static_cast<std::uint64_t>(Random(16));
        const double X = std::bit_cast<double>(Bits);
        if (!std::isfinite(X)) continue;
        char Expected[40];
        std::snprintf(Expected, sizeof Expected, "%.15g", X);
        ASSERT_EQ(StrToFloat(FloatToStr(X)), std::strtod(Expected, nullptr)) << Expected;
    }
    for (double X : {0.1, 0.98, 2.5, 1e20, 1.5e-7, -3.75, 1234567.125})
        EXPECT_EQ(StrToFloat(FloatToStr(X)), X);
    EXPECT_TRUE(std::isnan(StrToFloat(FloatToStr(std::nan("")))));
    EXPECT_EQ(StrToFloat(FloatToStr(-HUGE_VAL)), -HUGE_VAL);
}

TEST(TextTest, SingleToStrShortestAndExact) {
    EXPECT_EQ(SingleToStr(0.0f), "0");
    EXPECT_EQ(SingleToStr(0.1f), "0.1");
    EXPECT_EQ(SingleToStr(0.98f), "0.98");
    EXPECT_EQ(SingleToStr(2.5f), "2.5");
    EXPECT_EQ(SingleToStr(-0.125f), "-0.125");
    EXPECT_EQ(SingleToStr(1.0f / 3.0f), "0.33333334");
    EXPECT_EQ(SingleToStr(16777216.0f), "16777216");
    EXPECT_EQ(SingleToStr(1e20f), "1E20");
    EXPECT_EQ(SingleToStr(1.5e-7f), "1.5E-7");
    EXPECT_EQ(SingleToStr(std::numeric_limits<float>::max()), "3.4028235E38");
    EXPECT_EQ(SingleToStr(std::numeric_limits<float>::denorm_min()), "1E-45");
    EXPECT_EQ(SingleToStr(std::numeric_limits<float>::infinity()), "INF");
    // The double 0.1 written at single precision reads back as the float nearest 0.1.
    EXPECT_EQ(static_cast<float>(StrToFloat(SingleToStr(static_cast<float>(0.1)))), 0.1f);
    EXPECT_NE(StrToFloat(SingleToStr(0.1f)), static_cast<double>(0.1f));

    // Any float bit pattern (finite) reads back to itself.
    RandSeed(2024);
    for (int I = 0; I < 20000; ++I) {
        const auto Bits = static_cast<std::uint32_t>(Random(65536)) << 16 |
                          static_cast<std::uint32_t>(Random(65536));
        const float F = std::bit_cast<float>(Bits);
        if (!std::isfinite(F)) continue;
        const std::string Text = SingleToStr(F);
        EXPECT_EQ(std::bit_cast<std::uint32_t>(static_cast<float>(StrToFloat(Text))),
                  F == 0 ? std::bit_cast<std::uint32_t>(0.0f) : Bits)
            << Text;
        EXPECT_LE(Text.size(), MaxFloatTextLength);
    }
}

TEST(TextTest, FormatIntoBuffer) {
    char Buffer[MaxFloatTextLength];
    const std::size_t N = FormatFloat(Buffer, -2.25e-300, TFormatSettings{});
    EXPECT_EQ(std::string(Buffer, N), "-2.25E-300");
    const std::size_t M = FormatSingle(Buffer, 0.98f, TFormatSettings{','});
    EXPECT_EQ(std::string(Buffer, M), "0,98");
    // The longest texts fit.
    EXPECT_EQ(FloatToStr(-1.2345678901234567e-100), "-1.23456789012346E-100");
    EXPECT_EQ(FloatToStr(-0.00012345678901234567), "-0.000123456789012346");
}

TEST(TextTest, PercentToStr) {
    EXPECT_EQ(PercentToStr(0.98), "98.00");
    EXPECT_EQ(PercentToStr(0.1), "10.00");
    EXPECT_EQ(PercentToStr(0.01), "1.00");
    EXPECT_EQ(PercentToStr(0.005), "0.50");
    EXPECT_EQ(PercentToStr(0.0), "0.00");
    EXPECT_EQ(PercentToStr(0.123), "12.00");
    EXPECT_EQ(PercentToStr(0.985), "99.00"); // halves away from zero on the decimal digits
    EXPECT_EQ(PercentToStr(0.975), "98.00");
    EXPECT_EQ(PercentToStr(0.0123), "1.20");
    EXPECT_EQ(PercentToStr(0.00123), "0.12");
    EXPECT_EQ(PercentToStr(0.000123), "0.01"); // never beyond two decimals
    EXPECT_EQ(PercentToStr(0.00005), "0.01");
    EXPECT_EQ(PercentToStr(0.00004), "0.00");
    EXPECT_EQ(PercentToStr(0.999), "100.00");
    EXPECT_EQ(PercentToStr(1.0), "100.00");
    EXPECT_EQ(PercentToStr(1.234), "123.40");
    EXPECT_EQ(PercentToStr(12.345678), "1234.57");
    EXPECT_EQ(PercentToStr(-0.25), "-25.00");
    EXPECT_EQ(PercentToStr(-0.00001), "0.00");
    EXPECT_EQ(PercentToStr(std::numeric_limits<double>::infinity()), "INF");
}

TEST(TextTest, Booleans) {
    EXPECT_EQ(BoolToStr(true), "True");
    EXPECT_EQ(BoolToStr(false), "False");
    EXPECT_TRUE(StrToBool("True"));
    EXPECT_TRUE(StrToBool("TRUE"));
    EXPECT_TRUE(StrToBool(" true "));
    EXPECT_FALSE(StrToBool("false"));
    EXPECT_FALSE(StrToBool("FaLsE"));
    EXPECT_TRUE(StrToBool("1"));
    EXPECT_TRUE(StrToBool("-1"));
    EXPECT_TRUE(StrToBool("0.5"));
    EXPECT_FALSE(StrToBool("0"));
    EXPECT_FALSE(StrToBool("0.0"));
    for (const char* Bad : {"", "yes", "T", "truee", "1x"}) {
        ExpectConvertError([&] { StrToBool(Bad); },
                           std::string("'") + Bad + "' is not a valid boolean value");
        bool V = true;
        EXPECT_FALSE(TryStrToBool(Bad, V)) << Bad;
        EXPECT_TRUE(V);
    }
}

TEST(TextTest, Integers) {
    EXPECT_EQ(IntToStr(0), "0");
    EXPECT_EQ(IntToStr(-42), "-42");
    EXPECT_EQ(IntToStr(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
    EXPECT_EQ(StrToInt("42"), 42);
    EXPECT_EQ(StrToInt(" -42 "), -42);
    EXPECT_EQ(StrToInt("+7"), 7);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(StrToInt64("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(StrToUInt("4294967295"), 4294967295u);
    for (const char* Bad :
         {"", "2147483648", "-2147483649", "1.5", "1e3", "abc", "+-1", "+", "0x1F"})
        ExpectConvertError([&] { StrToInt(Bad); },
                           std::string("'") + Bad + "' is not a valid integer value");
    ExpectConvertError([] { StrToInt64("9223372036854775808"); },
                       "'9223372036854775808' is not a valid integer value");
    ExpectConvertError([] { StrToUInt("-1"); }, "'-1' is not a valid integer value");
    ExpectConvertError([] { StrToUInt("4294967296"); },
                       "'4294967296' is not a valid integer value");
    std::int32_t I = 5;
    EXPECT_FALSE(TryStrToInt("x", I));
    EXPECT_EQ(I, 5);
    EXPECT_TRUE(TryStrToInt("-3", I));
    EXPECT_EQ(I, -3);
}

} // namespace
} // namespace ax
