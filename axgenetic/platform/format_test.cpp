#include "axgenetic/platform/format.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace ax {
namespace {

TEST(FormatTest, Placeholders) {
    EXPECT_EQ(Format("Gene %s has %d bits", {"Size", 12}), "Gene Size has 12 bits");
    EXPECT_EQ(Format("List index out of bounds (%d)", {-1}), "List index out of bounds (-1)");
    EXPECT_EQ(Format("%i%%", {98}), "98%");
    EXPECT_EQ(Format("[%s]", {std::string_view("")}), "[]");
    EXPECT_EQ(Format("%d", {std::numeric_limits<std::int64_t>::min()}), "-9223372036854775808");
    EXPECT_EQ(Format("%d/%d", {std::size_t{3}, 4u}), "3/4");
    EXPECT_EQ(Format("no placeholders", {1, "x"}), "no placeholders");
}

TEST(FormatTest, MissingOrMismatchedArgumentsStayAsWritten) {
    EXPECT_EQ(Format("%s and %s", {"one"}), "one and %s");
    EXPECT_EQ(Format("%d", {"text"}), "%d");
    EXPECT_EQ(Format("%s", {5}), "%s");
    // A mismatch does not use up the argument.
    EXPECT_EQ(Format("%d %s", {"a"}), "%d a");
    EXPECT_EQ(Format("%x %d", {7}), "%x 7");
    EXPECT_EQ(Format("end %", {1}), "end %");
}

} // namespace
} // namespace ax
