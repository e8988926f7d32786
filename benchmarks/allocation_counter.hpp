// Counts the program's heap allocations by replacing the global operator new. Include it in
// exactly one source file of a benchmark program; read AllocationCount() around the code
// whose allocations are measured.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

// The counting allocator pairs malloc with free; GCC cannot see that through the replaced
// global operators.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace axbench {
inline std::atomic<long long> GAllocations{0};
inline long long AllocationCount() {
    return GAllocations.load(std::memory_order_relaxed);
}
} // namespace axbench

void* operator new(std::size_t Size) {
    ++axbench::GAllocations;
    if (void* P = std::malloc(Size ? Size : 1)) return P;
    throw std::bad_alloc();
}
void operator delete(void* P) noexcept {
    std::free(P);
}
void operator delete(void* P, std::size_t) noexcept {
    std::free(P);
}
