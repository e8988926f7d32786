// The library's one global pseudo-random generator.
//
// xoshiro256** (Blackman and Vigna), seeded through splitmix64. Both are defined on
// 64-bit unsigned arithmetic only, so a seed gives the same sequence with every compiler
// and standard library. Random() takes the top 53 bits of one output; Random(n) uses the
// top 32 bits of one output and Lemire's multiply-and-reject method, so it is unbiased
// and almost always costs exactly one output.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <array>
#include <cmath>
#include <cstdint>

namespace ax {

namespace detail {
struct AXGENETIC_API TRandomState {
    std::uint64_t S[4];
};
extern AXGENETIC_API TRandomState GRandomState;

inline std::uint64_t Rotl(std::uint64_t X, int K) { return (X << K) | (X >> (64 - K)); }

inline std::uint64_t NextRandom64() {
    std::uint64_t* S = GRandomState.S;
    const std::uint64_t Result = Rotl(S[1] * 5, 7) * 9;
    const std::uint64_t T = S[1] << 17;
    S[2] ^= S[0];
    S[3] ^= S[1];
    S[1] ^= S[2];
    S[0] ^= S[3];
    S[2] ^= T;
    S[3] = Rotl(S[3], 45);
    return Result;
}
} // namespace detail

// Restarts the generator; the same seed always gives the same sequence of draws.
AXGENETIC_API void RandSeed(std::uint64_t Seed);
// The seed given last to RandSeed or chosen by Randomize.
AXGENETIC_API std::uint64_t GetRandSeed();
// Seeds the generator from the clock.
AXGENETIC_API void Randomize();

// The generator's complete state: the seed it was last given and the four state words.
// Restoring a state read earlier continues the sequence exactly where it was read, also in
// another process, which is what a checkpoint of a run needs.
struct AXGENETIC_API TRandomGeneratorState {
    std::uint64_t Seed = 0;
    std::array<std::uint64_t, 4> Words{};
    bool operator==(const TRandomGeneratorState&) const = default;
};
AXGENETIC_API TRandomGeneratorState GetRandomState();
// Raises EConvertError for the all-zero state words, which no seed produces and from
// which the generator would only ever give 0.
AXGENETIC_API void SetRandomState(const TRandomGeneratorState& State);

// A uniform double in [0, 1).
inline double Random() {
    return static_cast<double>(detail::NextRandom64() >> 11) * 0x1.0p-53;
}

// A uniform integer in [0, N); 0 when N <= 0.
inline std::int32_t Random(std::int32_t N) {
    if (N <= 0) return 0;
    const auto Range = static_cast<std::uint32_t>(N);
    std::uint64_t M = (detail::NextRandom64() >> 32) * Range;
    auto Low = static_cast<std::uint32_t>(M);
    if (Low < Range) {
        const std::uint32_t Threshold = (0u - Range) % Range;
        while (Low < Threshold) {
            M = (detail::NextRandom64() >> 32) * Range;
            Low = static_cast<std::uint32_t>(M);
        }
    }
    return static_cast<std::int32_t>(M >> 32);
}

// Random() < P decided on integers: the draw is u * 2^-53 with u the top 53 bits of one
// output, exactly, and P * 2^53 is exact too, so Random() < P holds exactly when
// u < ceil(P * 2^53). RandomThreshold(P) gives that bound (0 for P <= 0 or NaN, 2^53 for
// P >= 1); RandomBelow(Threshold) makes the draw Random() would make and compares it.
// Same decisions, same draws, no float conversion.
inline std::uint64_t RandomThreshold(double P) {
    if (!(P > 0)) return 0;
    if (P >= 1) return std::uint64_t{1} << 53;
    return static_cast<std::uint64_t>(std::ceil(P * 0x1.0p53));
}
inline bool RandomBelow(std::uint64_t Threshold) {
    return (detail::NextRandom64() >> 11) < Threshold;
}

} // namespace ax
