#include <gtest/gtest.h>

#include <cstdint>

#include "axgenetic/platform/enum_names.hpp"
#include "axgenetic/platform/set.hpp"

namespace ax {

enum class TColorTest { ctRed, ctGreen, ctBlue };

template <> struct EnumNames<TColorTest> {
    static constexpr std::string_view Values[] = {"ctRed", "ctGreen", "ctBlue"};
};

namespace {

using TColors = TSet<TColorTest>;

TEST(EnumNamesTest, NamesMapToValuesBothWays) {
    static_assert(EnumCount<TColorTest>() == 3 && GetEnumName(TColorTest::ctBlue) == "ctBlue");
    EXPECT_EQ(GetEnumName(static_cast<TColorTest>(3)), "");
    EXPECT_EQ(GetEnumValue<TColorTest>("CTGREEN"), TColorTest::ctGreen); // case ignored
    for (const char* Bad : {"ctBlu", "", "ctBlue "})
        EXPECT_EQ(GetEnumValue<TColorTest>(Bad), std::nullopt) << Bad;
    for (std::size_t I = 0; I < EnumCount<TColorTest>(); ++I) {
        const auto V = static_cast<TColorTest>(I);
        EXPECT_EQ(GetEnumValue<TColorTest>(GetEnumName(V)), V);
    }
}

TEST(SetTest, MembershipFollowsIncludeExclude) {
    TColors S;
    EXPECT_TRUE(S.Empty() && !S.Contains(TColorTest::ctRed));
    S.Include(TColorTest::ctBlue).Include(TColorTest::ctRed).Include(TColorTest::ctBlue);
    EXPECT_EQ(S.Bits(), 0b101u);
    EXPECT_EQ(S, (TColors{TColorTest::ctRed, TColorTest::ctBlue}));
    S.Exclude(TColorTest::ctRed).Exclude(TColorTest::ctGreen);
    EXPECT_EQ(S, TColors{TColorTest::ctBlue});
    EXPECT_NE(S, TColors{});
}

TEST(SetTest, OperatorsCombineSets) {
    const TColors A{TColorTest::ctRed, TColorTest::ctGreen};
    const TColors B{TColorTest::ctGreen, TColorTest::ctBlue};
    EXPECT_EQ((A | B).Bits(), 0b111u);
    EXPECT_EQ(A & B, TColors{TColorTest::ctGreen});
    EXPECT_EQ(A - B, TColors{TColorTest::ctRed});
    EXPECT_EQ(TColors::FromBits(7), A | B);
    static_assert(TSet<TColorTest, std::uint8_t>::FromBits(2).Contains(TColorTest::ctGreen));
}

} // namespace
} // namespace ax
