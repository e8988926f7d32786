#include "axgenetic/platform/random.hpp"

#include <chrono>

namespace ax {

namespace detail {
TRandomState GRandomState{{0x9e3779b97f4a7c15ull, 0xbf58476d1ce4e5b9ull, 0x94d049bb133111ebull,
                           0x2545f4914f6cdd1dull}};
} // namespace detail

namespace {
std::uint64_t GSeed = 0;

std::uint64_t SplitMix64(std::uint64_t& X) {
    std::uint64_t Z = (X += 0x9e3779b97f4a7c15ull);
    Z = (Z ^ (Z >> 30)) * 0xbf58476d1ce4e5b9ull;
    Z = (Z ^ (Z >> 27)) * 0x94d049bb133111ebull;
    return Z ^ (Z >> 31);
}
} // namespace

void RandSeed(std::uint64_t Seed) {
    GSeed = Seed;
    std::uint64_t X = Seed;
    for (auto& Word : detail::GRandomState.S) Word = SplitMix64(X);
}

std::uint64_t GetRandSeed() { return GSeed; }

void Randomize() {
    const auto Now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    RandSeed(static_cast<std::uint64_t>(Now));
}

// The generator starts as if seeded with 0, so a program that never seeds still runs
// the same way every time.
namespace {
const bool GSeededAtStart = (RandSeed(0), true);
}

} // namespace ax
