#include "axgenetic/common/float_priority_queue.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "axgenetic/platform/exceptions.hpp"

namespace ax {
namespace {

class TToken : public TObject {};

std::vector<int> Order(const TFloatPriorityQueue& Q, const std::vector<TToken>& T) {
    std::vector<int> R;
    for (int I = 0; I < Q.Count(); ++I)
        R.push_back(static_cast<int>(static_cast<TToken*>(Q[I]) - T.data()));
    return R;
}

TEST(FloatPriorityQueue, RanksByKeyEitherWayWithTiesInPushOrderNaNLast) {
    std::vector<TToken> T(7);
    TFloatPriorityQueue Q;
    const float Keys[] = {3, 1, 2, 1, 3, 2, std::numeric_limits<float>::quiet_NaN()};
    for (int I = 0; I < 7; ++I)
        Q.Push(&T[I], Keys[I]);
    EXPECT_EQ(Order(Q, T), (std::vector<int>{1, 3, 2, 5, 0, 4, 6}));
    Q.SetDescending(true); // re-ranks after a read
    EXPECT_EQ(Order(Q, T), (std::vector<int>{0, 4, 2, 5, 1, 3, 6}));
    EXPECT_EQ(Q.Priorities(0), 3.0f);
    EXPECT_THROW(Q.Items(7), EListError);
    EXPECT_THROW(Q.Items(-1), EListError);
}

TEST(FloatPriorityQueue, PushAfterAReadJoinsTheRankingAtItsPlace) {
    std::vector<TToken> T(2);
    TFloatPriorityQueue Q;
    Q.Push(&T[1], 1);
    Q.SetDescending(true);
    EXPECT_EQ(Q[0], &T[1]);
    Q.Clear();
    Q.Push(&T[0], 1);
    EXPECT_EQ(Q[0], &T[0]);
    Q.Push(&T[1], 2);
    EXPECT_EQ(Order(Q, T), (std::vector<int>{1, 0})); // still descending after Clear
}

} // namespace
} // namespace ax
