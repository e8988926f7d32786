// The search of a roulette table, shared by parent selection and size-fair crossover.
#pragma once

#include <cstddef>
#include <span>

namespace ax {

// The index of the first entry strictly greater than R (Table.size() when there is none),
// by the low/high binary search. Its exact probe order matters: a maximizing table with
// negative fitness values is not monotone, and a seeded run must pick the same entry on
// every machine. Branches, not selects: on large tables speculation overlaps the cache
// misses of successive probes, which a select chain would serialize.
inline int RouletteSearch(std::span<const double> Table, double R) {
    int Low = 0, High = static_cast<int>(Table.size()) - 1;
    while (Low <= High) {
        const int Mid = Low + (High - Low) / 2;
        if (Table[static_cast<std::size_t>(Mid)] > R)
            High = Mid - 1;
        else
            Low = Mid + 1;
    }
    return Low;
}

} // namespace ax
