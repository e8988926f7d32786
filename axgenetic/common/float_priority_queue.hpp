// A ranking of objects by a single-precision key. Entries are pushed in any order and
// read back by rank; rank 0 is the smallest key, or the largest when Descending is set.
// Entries with equal keys keep the order in which they were pushed. NaN keys rank after
// every number in both directions.
//
// Pushing only appends; the ranking is sorted once, on the first ranked read after a
// change, so filling a queue of n entries and reading it costs one O(n log n) sort.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <vector>

#include "axgenetic/platform/object.hpp"

namespace ax {

class AXGENETIC_API TFloatPriorityQueue {
public:
    TFloatPriorityQueue() = default;

    // Removes every entry; the ordering switch stays.
    void Clear();
    // Reserves room for Capacity entries, so that pushing that many allocates nothing.
    void Reserve(int Capacity);

    // false: the smallest key ranks first; true: the largest key ranks first.
    bool Descending() const { return FDescending; }
    void SetDescending(bool Value);

    void Push(TObject* Item, float Priority);

    int Count() const { return static_cast<int>(FEntries.size()); }
    // The object of rank Rank (0 = first ranked); EListError outside 0..Count-1.
    TObject* Items(int Rank) const;
    TObject* operator[](int Rank) const { return Items(Rank); }
    // The key of the entry of rank Rank.
    float Priorities(int Rank) const;

private:
    struct TEntry {
        float Key;
        int Sequence;
        TObject* Item;
    };
    void Sort() const;

    mutable std::vector<TEntry> FEntries;
    mutable bool FSorted = true;
    bool FDescending = false;
};

} // namespace ax
