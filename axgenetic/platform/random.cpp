#include "axgenetic/platform/random.hpp"

#include <chrono>

#include "axgenetic/platform/exceptions.hpp"

namespace ax {

namespace {

constexpr std::uint64_t SplitMix64(std::uint64_t& X) {
    std::uint64_t Z = (X += 0x9e3779b97f4a7c15ull);
    Z = (Z ^ (Z >> 30)) * 0xbf58476d1ce4e5b9ull;
    Z = (Z ^ (Z >> 27)) * 0x94d049bb133111ebull;
    return Z ^ (Z >> 31);
}

constexpr detail::TRandomState StateOfSeed(std::uint64_t Seed) {
    detail::TRandomState State{};
    for (auto& Word : State.S) Word = SplitMix64(Seed);
    return State;
}

std::uint64_t GSeed = 0;

} // namespace

namespace detail {
// The generator starts as if seeded with 0, so a program that never seeds still runs the
// same way every time. Constant-initialized, so it holds even for draws made while other
// translation units are being initialized.
constinit TRandomState GRandomState = StateOfSeed(0);
} // namespace detail

void RandSeed(std::uint64_t Seed) {
    GSeed = Seed;
    detail::GRandomState = StateOfSeed(Seed);
}

std::uint64_t GetRandSeed() { return GSeed; }

TRandomGeneratorState GetRandomState() {
    TRandomGeneratorState State;
    State.Seed = GSeed;
    for (std::size_t I = 0; I < State.Words.size(); ++I)
        State.Words[I] = detail::GRandomState.S[I];
    return State;
}

void SetRandomState(const TRandomGeneratorState& State) {
    if (State.Words == std::array<std::uint64_t, 4>{})
        throw EConvertError("The random generator state may not be all zero");
    GSeed = State.Seed;
    for (std::size_t I = 0; I < State.Words.size(); ++I)
        detail::GRandomState.S[I] = State.Words[I];
}

void Randomize() {
    const auto Now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    RandSeed(static_cast<std::uint64_t>(Now));
}

} // namespace ax
