#include "axgenetic/common/float_priority_queue.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "axgenetic/platform/exceptions.hpp"

namespace ax {
namespace {

class TToken : public TObject {};

TEST(FloatPriorityQueue, RanksByKeyInEitherDirectionKeepingTiesInPushOrder) {
    std::vector<TToken> Objects(6);
    TFloatPriorityQueue Q;
    EXPECT_EQ(Q.Count(), 0);
    EXPECT_FALSE(Q.Descending());
    const float Keys[] = {3.0f, 1.0f, 2.0f, 1.0f, 3.0f, 2.0f};
    for (int I = 0; I < 6; ++I)
        Q.Push(&Objects[static_cast<std::size_t>(I)], Keys[I]);
    ASSERT_EQ(Q.Count(), 6);

    const int Ascending[] = {1, 3, 2, 5, 0, 4};
    for (int R = 0; R < 6; ++R) {
        EXPECT_EQ(Q.Items(R), &Objects[static_cast<std::size_t>(Ascending[R])]) << "rank " << R;
        EXPECT_EQ(Q.Priorities(R), Keys[Ascending[R]]);
    }

    // Switching the direction after reading ranks again; equal keys still in push order.
    Q.SetDescending(true);
    const int Descending[] = {0, 4, 2, 5, 1, 3};
    for (int R = 0; R < 6; ++R)
        EXPECT_EQ(Q[R], &Objects[static_cast<std::size_t>(Descending[R])]) << "rank " << R;

    // A push after a read joins the ranking at its place.
    TToken Late;
    Q.Push(&Late, 2.5f);
    EXPECT_EQ(Q.Items(2), &Late);

    EXPECT_THROW(Q.Items(7), EListError);
    EXPECT_THROW(Q.Items(-1), EListError);

    Q.Clear();
    EXPECT_EQ(Q.Count(), 0);
    EXPECT_TRUE(Q.Descending());
    EXPECT_THROW(Q.Items(0), EListError);
}

TEST(FloatPriorityQueue, RanksNotANumberLastAndInfinitiesAtTheEnds) {
    std::vector<TToken> Objects(4);
    TFloatPriorityQueue Q;
    Q.Push(&Objects[0], std::numeric_limits<float>::quiet_NaN());
    Q.Push(&Objects[1], std::numeric_limits<float>::infinity());
    Q.Push(&Objects[2], -std::numeric_limits<float>::infinity());
    Q.Push(&Objects[3], 0.0f);
    EXPECT_EQ(Q.Items(0), &Objects[2]);
    EXPECT_EQ(Q.Items(1), &Objects[3]);
    EXPECT_EQ(Q.Items(2), &Objects[1]);
    EXPECT_EQ(Q.Items(3), &Objects[0]);
    Q.SetDescending(true);
    EXPECT_EQ(Q.Items(0), &Objects[1]);
    EXPECT_EQ(Q.Items(2), &Objects[2]);
    EXPECT_TRUE(std::isnan(Q.Priorities(3)));
}

} // namespace
} // namespace ax
