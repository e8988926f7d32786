#include "axgenetic/common/float_priority_queue.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "axgenetic/platform/exceptions.hpp"

namespace ax {

void TFloatPriorityQueue::Clear() {
    FEntries.clear();
    FSorted = true;
}

void TFloatPriorityQueue::Reserve(int Capacity) {
    if (Capacity > 0) FEntries.reserve(static_cast<std::size_t>(Capacity));
}

void TFloatPriorityQueue::SetDescending(bool Value) {
    if (Value == FDescending) return;
    FDescending = Value;
    FSorted = FEntries.size() < 2;
}

void TFloatPriorityQueue::Push(TObject* Item, float Priority) {
    FEntries.push_back({Priority, Count(), Item});
    FSorted = FEntries.size() < 2;
}

void TFloatPriorityQueue::Sort() const {
    // The sequence number makes the order total, so an unstable sort (which needs no
    // buffer) still keeps equal keys in push order.
    const bool Desc = FDescending;
    std::sort(FEntries.begin(), FEntries.end(), [Desc](const TEntry& A, const TEntry& B) {
        const bool ANan = std::isnan(A.Key), BNan = std::isnan(B.Key);
        if (ANan != BNan) return BNan;
        if (!ANan && A.Key != B.Key) return Desc ? A.Key > B.Key : A.Key < B.Key;
        return A.Sequence < B.Sequence;
    });
    FSorted = true;
}

TObject* TFloatPriorityQueue::Items(int Rank) const {
    if (Rank < 0 || Rank >= Count())
        throw EListError("List index out of bounds (" + std::to_string(Rank) + ")");
    if (!FSorted) Sort();
    return FEntries[static_cast<std::size_t>(Rank)].Item;
}

float TFloatPriorityQueue::Priorities(int Rank) const {
    if (Rank < 0 || Rank >= Count())
        throw EListError("List index out of bounds (" + std::to_string(Rank) + ")");
    if (!FSorted) Sort();
    return FEntries[static_cast<std::size_t>(Rank)].Key;
}

} // namespace ax
