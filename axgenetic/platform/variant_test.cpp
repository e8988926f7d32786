#include "axgenetic/platform/variant.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <sstream>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/expect_error_test_support.hpp"
#include "axgenetic/platform/text.hpp"

namespace ax {
namespace {

constexpr auto Max64 = std::numeric_limits<std::int64_t>::max();
constexpr auto Min64 = std::numeric_limits<std::int64_t>::min();

void ExpectVariantError(const std::function<void()>& Call, const char* From, const char* To) {
    ExpectError<EVariantError>(Call, std::string("Could not convert variant of type (") + From +
                                         ") into type (" + To + ")");
}

TEST(VariantTest, ValuesKeepTheirKind) {
    EXPECT_TRUE(Variant().IsEmpty() && !Variant::Null().IsEmpty() && Variant::Null().IsNull());
    EXPECT_EQ(Variant(7u).VarType(), TVarType::varInt64);
    EXPECT_EQ(Variant('A').AsInt64(), 65);
    EXPECT_EQ(Variant(2.5f).VarType(), TVarType::varDouble);
    EXPECT_EQ(Variant("abc").VarType(), TVarType::varString); // not a boolean
    Variant V = 5;
    V = false;
    EXPECT_EQ(V.VarType(), TVarType::varBoolean);
    EXPECT_EQ(VarTypeAsText(TVarType::varString), "String");
    std::ostringstream Out;
    PrintTo(Variant(3), &Out);
    EXPECT_EQ(Out.str(), "Int64(3)");
}

TEST(VariantTest, ToString) {
    EXPECT_EQ(Variant().ToString(), "");
    EXPECT_EQ(Variant::Null().ToString(), "");
    EXPECT_EQ(Variant(true).ToString(), "True");
    EXPECT_EQ(Variant(-42).ToString(), "-42");
    EXPECT_EQ(Variant(1e20).ToString(), "1E20");
    EXPECT_EQ(Variant(3.0).ToString(), "3");
    EXPECT_EQ(Variant("text").ToString(), "text");
}

TEST(VariantTest, Conversions) {
    EXPECT_EQ(Variant(true).ToDouble() + Variant(" 2.5 ").ToDouble(), 3.5);
    // Doubles round halves to even.
    // clang-format off
    const std::pair<Variant, std::int64_t> Ints[] = {
        {2.5, 2}, {3.5, 4}, {-2.5, -2}, {-2.6, -3}, {"2.5", 2}, {true, 1},
        {"9223372036854775807", Max64}};
    // clang-format on
    for (const auto& [X, I] : Ints)
        EXPECT_EQ(X.ToInt64(), I) << X.ToString();
    EXPECT_TRUE(Variant(0.1).ToBool() && Variant("TRUE").ToBool());
    EXPECT_FALSE(Variant(0).ToBool() || Variant("0").ToBool());

    ExpectVariantError([] { Variant("abc").ToDouble(); }, "String", "Double");
    ExpectVariantError([] { Variant().ToDouble(); }, "Empty", "Double");
    ExpectVariantError([] { Variant::Null().ToDouble(); }, "Null", "Double");
    ExpectVariantError([] { Variant(1e19).ToInt64(); }, "Double", "Int64");
    ExpectVariantError([] { Variant(std::nan("")).ToInt64(); }, "Double", "Int64");
    ExpectVariantError([] { Variant("x1").ToInt64(); }, "String", "Int64");
    ExpectVariantError([] { Variant("yes").ToBool(); }, "String", "Boolean");
    ExpectVariantError([] { Variant::Null().ToBool(); }, "Null", "Boolean");
    // Numbers as text follow the process-wide decimal separator.
    FormatSettings().DecimalSeparator = ',';
    EXPECT_EQ(Variant(2.5).ToString(), "2,5");
    EXPECT_EQ(Variant("0,5").ToDouble(), 0.5);
    FormatSettings().DecimalSeparator = '.';
}

TEST(VariantTest, Equality) {
    EXPECT_EQ(Variant::Null(), Variant::Null());
    EXPECT_EQ(Variant(3), Variant(3.0));
    EXPECT_EQ(Variant(Max64), Variant(Max64));
    EXPECT_NE(Variant(Max64), Variant(Max64 - 1)); // not compared as doubles
    // clang-format off
    const std::pair<Variant, Variant> Different[] = {
        {Variant(), Variant::Null()}, {3, 3.5}, {"a", "A"}, {"3", 3}, {true, 1}, {true, false},
        {Variant(), 0}, {std::nan(""), std::nan("")}};
    // clang-format on
    for (const auto& [A, B] : Different)
        EXPECT_NE(A, B) << A.ToString() << " " << B.ToString();
}

TEST(VariantTest, Arithmetic) {
    const auto Expect = [](const Variant& R, TVarType Kind, const Variant& Value) {
        EXPECT_EQ(R.VarType(), Kind);
        EXPECT_EQ(R, Value);
    };
    const auto Int = TVarType::varInt64, Dbl = TVarType::varDouble;
    Expect(Variant(2) - Variant(5), Int, -3);
    Expect(Variant(4) * Variant(-3), Int, -12);
    Expect(Variant(6) / Variant(3), Dbl, 2.0);
    Expect(Variant(1) + Variant(0.5), Dbl, 1.5);
    // Overflow leaves the integers for a double instead of wrapping.
    Expect(Variant(Max64) + Variant(1), Dbl, 0x1p63);
    Expect(Variant(Min64) - Variant(1), Dbl, -0x1p63);
    Expect(Variant(Max64) * Variant(2), Dbl, 0x1p64);
    Expect(-Variant(Min64), Dbl, 0x1p63);
    EXPECT_TRUE(std::signbit((-Variant(0.0)).AsDouble()));
    Expect(Variant(-1) / Variant(0.0), Dbl, -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan((Variant(0) / Variant(0)).AsDouble()));
    // Strings join by +, and are read as numbers otherwise.
    Expect(Variant("ab") + Variant("cd"), TVarType::varString, "abcd");
    Expect(Variant("3") + Variant(1), Dbl, 4.0);
    Expect(Variant("10") - Variant("4"), Dbl, 6.0);
    Expect(-Variant("2.5"), Dbl, -2.5);
    ExpectVariantError([] { (void)(Variant("abc") * Variant(2)); }, "String", "Double");
    ExpectVariantError([] { (void)(Variant(1) + Variant("x")); }, "String", "Double");
    // Booleans count as 1 and 0, Empty as 0, Null absorbs everything.
    Expect(Variant(true) + Variant(true), Int, 2);
    Expect(Variant() + Variant(4), Int, 4);
    Expect(Variant() - Variant(1.5), Dbl, -1.5);
    EXPECT_TRUE((Variant::Null() + Variant(1)).IsNull());
    EXPECT_TRUE((Variant("x") * Variant::Null()).IsNull());
    EXPECT_TRUE((-Variant::Null()).IsNull());
    Variant Acc = 1;
    Acc += 2, Acc *= 4, Acc -= 2;
    Expect(Acc, Int, 10);
    Acc /= 4;
    Expect(Acc, Dbl, 2.5);
}

} // namespace
} // namespace ax
