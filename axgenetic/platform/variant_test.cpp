#include "axgenetic/platform/variant.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <sstream>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/text.hpp"

namespace ax {
namespace {

void ExpectVariantError(const std::function<void()>& Call, const std::string& Message) {
    try {
        Call();
        FAIL() << "no EVariantError, expected: " << Message;
    } catch (const EVariantError& E) {
        EXPECT_EQ(E.what(), Message);
    }
}

std::string Printed(const Variant& V) {
    std::ostringstream Out;
    PrintTo(V, &Out);
    return Out.str();
}

TEST(VariantTest, KindsFromConstruction) {
    EXPECT_EQ(Variant().VarType(), TVarType::varEmpty);
    EXPECT_TRUE(Variant().IsEmpty());
    EXPECT_TRUE(Variant::Null().IsNull());
    EXPECT_FALSE(Variant::Null().IsEmpty());
    EXPECT_EQ(Variant(true).VarType(), TVarType::varBoolean);
    EXPECT_EQ(Variant(3).VarType(), TVarType::varInt64);
    EXPECT_EQ(Variant(std::int64_t{1} << 40).AsInt64(), std::int64_t{1} << 40);
    EXPECT_EQ(Variant(7u).VarType(), TVarType::varInt64);
    EXPECT_EQ(Variant('A').AsInt64(), 65);
    EXPECT_EQ(Variant(2.5).VarType(), TVarType::varDouble);
    EXPECT_EQ(Variant(2.5f).AsDouble(), 2.5);
    EXPECT_EQ(Variant("abc").VarType(), TVarType::varString); // not a boolean
    EXPECT_EQ(Variant(std::string("x")).AsString(), "x");
    EXPECT_EQ(Variant(std::string_view("yz")).AsString(), "yz");

    Variant V = 5;
    V = "five";
    EXPECT_EQ(V.VarType(), TVarType::varString);
    V = false;
    EXPECT_EQ(V.VarType(), TVarType::varBoolean);
    V.Clear();
    EXPECT_TRUE(V.IsEmpty());

    EXPECT_EQ(GetEnumName(TVarType::varDouble), "varDouble");
    EXPECT_EQ(VarTypeAsText(TVarType::varString), "String");
    EXPECT_EQ(Printed(Variant(3)), "Int64(3)");
    EXPECT_EQ(Printed(Variant::Null()), "Null");
}

TEST(VariantTest, Conversions) {
    EXPECT_EQ(Variant().ToString(), "");
    EXPECT_EQ(Variant::Null().ToString(), "");
    EXPECT_EQ(Variant(true).ToString(), "True");
    EXPECT_EQ(Variant(false).ToString(), "False");
    EXPECT_EQ(Variant(-42).ToString(), "-42");
    EXPECT_EQ(Variant(2.5).ToString(), "2.5");
    EXPECT_EQ(Variant(1e20).ToString(), "1E20");
    EXPECT_EQ(Variant(3.0).ToString(), "3");
    EXPECT_EQ(Variant("text").ToString(), "text");

    EXPECT_EQ(Variant(true).ToDouble(), 1.0);
    EXPECT_EQ(Variant(false).ToDouble(), 0.0);
    EXPECT_EQ(Variant(7).ToDouble(), 7.0);
    EXPECT_EQ(Variant(" 2.5 ").ToDouble(), 2.5);
    EXPECT_EQ(Variant("1E20").ToDouble(), 1e20);

    EXPECT_EQ(Variant(2.5).ToInt64(), 2); // halves to even
    EXPECT_EQ(Variant(3.5).ToInt64(), 4);
    EXPECT_EQ(Variant(-2.5).ToInt64(), -2);
    EXPECT_EQ(Variant(-2.6).ToInt64(), -3);
    EXPECT_EQ(Variant("9223372036854775807").ToInt64(), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(Variant("2.5").ToInt64(), 2);
    EXPECT_EQ(Variant(true).ToInt64(), 1);

    EXPECT_TRUE(Variant(2).ToBool());
    EXPECT_FALSE(Variant(0).ToBool());
    EXPECT_TRUE(Variant(0.1).ToBool());
    EXPECT_TRUE(Variant("TRUE").ToBool());
    EXPECT_FALSE(Variant("0").ToBool());

    ExpectVariantError([] { Variant("abc").ToDouble(); },
                       "Could not convert variant of type (String) into type (Double)");
    ExpectVariantError([] { Variant().ToDouble(); },
                       "Could not convert variant of type (Empty) into type (Double)");
    ExpectVariantError([] { Variant::Null().ToDouble(); },
                       "Could not convert variant of type (Null) into type (Double)");
    ExpectVariantError([] { Variant(1e19).ToInt64(); },
                       "Could not convert variant of type (Double) into type (Int64)");
    ExpectVariantError([] { Variant(std::nan("")).ToInt64(); },
                       "Could not convert variant of type (Double) into type (Int64)");
    ExpectVariantError([] { Variant("x1").ToInt64(); },
                       "Could not convert variant of type (String) into type (Int64)");
    ExpectVariantError([] { Variant().ToInt64(); },
                       "Could not convert variant of type (Empty) into type (Int64)");
    ExpectVariantError([] { Variant("yes").ToBool(); },
                       "Could not convert variant of type (String) into type (Boolean)");
    ExpectVariantError([] { Variant::Null().ToBool(); },
                       "Could not convert variant of type (Null) into type (Boolean)");
    // Numbers as text follow the process-wide decimal separator.
    FormatSettings().DecimalSeparator = ',';
    EXPECT_EQ(Variant(2.5).ToString(), "2,5");
    EXPECT_EQ(Variant("0,5").ToDouble(), 0.5);
    FormatSettings().DecimalSeparator = '.';
}

TEST(VariantTest, Equality) {
    EXPECT_EQ(Variant(), Variant());
    EXPECT_EQ(Variant::Null(), Variant::Null());
    EXPECT_NE(Variant(), Variant::Null());
    EXPECT_EQ(Variant(3), Variant(3.0));
    EXPECT_EQ(Variant(3.0), 3);
    EXPECT_NE(Variant(3), Variant(3.5));
    EXPECT_EQ(Variant(std::numeric_limits<std::int64_t>::max()),
              Variant(std::numeric_limits<std::int64_t>::max()));
    EXPECT_NE(Variant(std::numeric_limits<std::int64_t>::max()),
              Variant(std::numeric_limits<std::int64_t>::max() - 1));
    EXPECT_EQ(Variant("a"), Variant("a"));
    EXPECT_NE(Variant("a"), Variant("A"));
    EXPECT_NE(Variant("3"), Variant(3)); // different kinds
    EXPECT_NE(Variant(true), Variant(1));
    EXPECT_EQ(Variant(true), Variant(true));
    EXPECT_NE(Variant(true), Variant(false));
    EXPECT_NE(Variant(), Variant(0));
    EXPECT_NE(Variant(std::nan("")), Variant(std::nan("")));
}

TEST(VariantTest, Arithmetic) {
    const auto Int = TVarType::varInt64;
    const auto Dbl = TVarType::varDouble;
    Variant R = Variant(2) + Variant(3);
    EXPECT_EQ(R.VarType(), Int);
    EXPECT_EQ(R.AsInt64(), 5);
    EXPECT_EQ((Variant(2) - Variant(5)).AsInt64(), -3);
    EXPECT_EQ((Variant(4) * Variant(-3)).AsInt64(), -12);
    R = Variant(7) / Variant(2);
    EXPECT_EQ(R.VarType(), Dbl);
    EXPECT_EQ(R.AsDouble(), 3.5);
    EXPECT_EQ((Variant(6) / Variant(3)).VarType(), Dbl);
    R = Variant(1) + Variant(0.5);
    EXPECT_EQ(R.VarType(), Dbl);
    EXPECT_EQ(R.AsDouble(), 1.5);
    EXPECT_EQ((Variant(2.0) * Variant(2)).VarType(), Dbl);

    // Overflow leaves the integers for a double instead of wrapping.
    const auto Max = std::numeric_limits<std::int64_t>::max();
    const auto Min = std::numeric_limits<std::int64_t>::min();
    R = Variant(Max) + Variant(1);
    EXPECT_EQ(R.VarType(), Dbl);
    EXPECT_EQ(R.AsDouble(), 0x1p63);
    EXPECT_EQ((Variant(Min) - Variant(1)).VarType(), Dbl);
    EXPECT_EQ((Variant(Max) * Variant(2)).VarType(), Dbl);
    EXPECT_EQ((-Variant(Min)).AsDouble(), 0x1p63);
    EXPECT_EQ((-Variant(5)).AsInt64(), -5);
    EXPECT_TRUE(std::signbit((-Variant(0.0)).AsDouble()));

    // Division by zero gives the floating-point results.
    EXPECT_EQ((Variant(1) / Variant(0)).AsDouble(), std::numeric_limits<double>::infinity());
    EXPECT_EQ((Variant(-1) / Variant(0.0)).AsDouble(), -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan((Variant(0) / Variant(0)).AsDouble()));

    // Strings: joined by +, read as numbers otherwise.
    R = Variant("ab") + Variant("cd");
    EXPECT_EQ(R.VarType(), TVarType::varString);
    EXPECT_EQ(R.AsString(), "abcd");
    R = Variant("3") + Variant(1);
    EXPECT_EQ(R.VarType(), Dbl);
    EXPECT_EQ(R.AsDouble(), 4.0);
    EXPECT_EQ((Variant("10") - Variant("4")).AsDouble(), 6.0);
    EXPECT_EQ((-Variant("2.5")).AsDouble(), -2.5);
    ExpectVariantError([] { (void)(Variant("abc") * Variant(2)); },
                       "Could not convert variant of type (String) into type (Double)");
    ExpectVariantError([] { (void)(Variant(1) + Variant("x")); },
                       "Could not convert variant of type (String) into type (Double)");

    // Booleans count as 1 and 0, Empty as 0, Null absorbs everything.
    R = Variant(true) + Variant(true);
    EXPECT_EQ(R.VarType(), Int);
    EXPECT_EQ(R.AsInt64(), 2);
    R = Variant() + Variant(4);
    EXPECT_EQ(R.VarType(), Int);
    EXPECT_EQ(R.AsInt64(), 4);
    EXPECT_EQ((Variant() - Variant(1.5)).AsDouble(), -1.5);
    EXPECT_TRUE((Variant::Null() + Variant(1)).IsNull());
    EXPECT_TRUE((Variant("x") * Variant::Null()).IsNull());
    EXPECT_TRUE((-Variant::Null()).IsNull());

    Variant Acc = 1;
    Acc += 2;
    Acc *= 4;
    Acc -= 2;
    EXPECT_EQ(Acc.AsInt64(), 10);
    Acc /= 4;
    EXPECT_EQ(Acc.AsDouble(), 2.5);
}

} // namespace
} // namespace ax
