#include "axgenetic/ga/ga_bits.hpp"

#include <algorithm>

#include "axgenetic/ga/genetic_algorithm.hpp"
#include "axgenetic/platform/random.hpp"

namespace ax {

void TAxGABits::MarkStale() {
    if (FOwner) FOwner->InvalidateFitness();
}

void TAxGABits::Clear() {
    std::fill(MutableWords().begin(), MutableWords().end(), Word{0});
}

void TAxGABits::Randomize() {
    const std::int32_t N = Size();
    Word* W = MutableWords().data();
    for (std::int32_t Base = 0; Base < N; Base += WordBits) {
        const std::int32_t Count = std::min(N - Base, WordBits);
        Word Value = 0;
        for (std::int32_t B = 0; B < Count; ++B)
            if (Random(2) == 1) Value |= Word{1} << B;
        W[Base / WordBits] = Value;
    }
    MarkStale();
}

void TAxGABits::CrossOver(const TBits& Parent1, const TBits& Parent2, std::int32_t CrossoverBit) {
    const std::int32_t N = Size();
    const std::int32_t End1 = std::max(std::min({CrossoverBit, Parent1.Size(), N}), 0);
    if (End1 > 0) CopyRange(Parent1, 0, 0, End1);
    const std::int32_t End2 = std::min(Parent2.Size(), N);
    if (End2 > End1) CopyRange(Parent2, End1, End1, End2 - End1);
    MarkStale();
}

void TAxGABits::CrossOver(const TBits& Parent1, const TBits& Parent2) {
    CrossOver(Parent1, Parent2, Random(Parent1.Size()));
}

namespace {

// The bits of X in reverse order: bit I goes to bit 63 - I.
constexpr TBits::Word Reversed(TBits::Word X) {
    using W = TBits::Word;
    X = ((X >> 1) & W{0x5555555555555555}) | ((X & W{0x5555555555555555}) << 1);
    X = ((X >> 2) & W{0x3333333333333333}) | ((X & W{0x3333333333333333}) << 2);
    X = ((X >> 4) & W{0x0F0F0F0F0F0F0F0F}) | ((X & W{0x0F0F0F0F0F0F0F0F}) << 4);
    X = ((X >> 8) & W{0x00FF00FF00FF00FF}) | ((X & W{0x00FF00FF00FF00FF}) << 8);
    X = ((X >> 16) & W{0x0000FFFF0000FFFF}) | ((X & W{0x0000FFFF0000FFFF}) << 16);
    return (X >> 32) | (X << 32);
}

} // namespace

bool TAxGABits::Mutate(double Probability) {
    // Random() < Probability, decided on integers with identical outcomes.
    const std::uint64_t Threshold = RandomThreshold(Probability);
    const std::int32_t N = Size();
    Word* W = MutableWords().data();
    Word Any = 0;
    for (std::int32_t Base = 0; Base < N; Base += WordBits) {
        const std::int32_t Count = std::min(N - Base, WordBits);
        // Decisions shift in from below, so the first ends up highest, and one reversal
        // of the word puts decision B at bit B: cheaper than a mask per decision.
        Word Decisions = 0;
#pragma GCC unroll 4
        for (std::int32_t B = 0; B < Count; ++B)
            Decisions = Decisions + Decisions + Word{RandomBelow(Threshold)};
        const Word Flips = Reversed(Decisions) >> (WordBits - Count);
        W[Base / WordBits] ^= Flips;
        Any |= Flips;
    }
    MarkStale();
    return Any != 0;
}

void TAxGABits::Invert(std::int32_t Start, std::int32_t Count) {
    const std::int32_t N = Size();
    if (Start == -1) Start = Random(N);
    if (Count == -1) Count = Random(N - Start);
    // Bits Start .. Start + Count inclusive, cut at the end of the string.
    const std::int64_t Last = std::min<std::int64_t>(std::int64_t{Start} + Count, N - 1);
    Word* W = MutableWords().data();
    for (std::int64_t Bit = Start; Bit <= Last;) {
        const auto Index = static_cast<std::size_t>(Bit / WordBits);
        const auto From = static_cast<unsigned>(Bit % WordBits);
        const auto Upto =
            static_cast<unsigned>(std::min<std::int64_t>(Last - Bit + From, WordBits - 1));
        const Word High = Upto == WordBits - 1 ? ~Word{0} : ((Word{1} << (Upto + 1)) - 1);
        W[Index] ^= High & (~Word{0} << From);
        Bit += Upto - From + 1;
    }
    MarkStale();
}

} // namespace ax
