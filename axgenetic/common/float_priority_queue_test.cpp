#include "axgenetic/common/float_priority_queue.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "axgenetic/platform/exceptions.hpp"

namespace ax {
namespace {

class TToken : public TObject {};

TEST(FloatPriorityQueue, RanksByKeyEitherWayWithTiesInPushOrderAndNaNLast) {
    std::vector<TToken> T(7);
    TFloatPriorityQueue Q;
    const float Keys[] = {3, 1, 2, 1, 3, 2, std::numeric_limits<float>::quiet_NaN()};
    for (int I = 0; I < 7; ++I)
        Q.Push(&T[I], Keys[I]);
    auto Order = [&] {
        std::vector<int> R;
        for (int I = 0; I < Q.Count(); ++I)
            R.push_back(static_cast<int>(static_cast<TToken*>(Q[I]) - T.data()));
        return R;
    };
    EXPECT_EQ(Order(), (std::vector<int>{1, 3, 2, 5, 0, 4, 6}));
    Q.SetDescending(true); // re-ranks after a read
    EXPECT_EQ(Order(), (std::vector<int>{0, 4, 2, 5, 1, 3, 6}));
    EXPECT_EQ(Q.Priorities(0), 3.0f);
    EXPECT_THROW(Q.Items(7), EListError);
    EXPECT_THROW(Q.Items(-1), EListError);
    Q.Clear();
    Q.Push(&T[0], 1);
    EXPECT_EQ(Q[0], &T[0]);
    Q.Push(&T[1], 2); // a push after a read joins the ranking at its place
    EXPECT_EQ(Order(), (std::vector<int>{1, 0})); // still descending after Clear
}

} // namespace
} // namespace ax
