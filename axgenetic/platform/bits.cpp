#include "axgenetic/platform/bits.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "axgenetic/platform/exceptions.hpp"

namespace ax {

namespace {
[[noreturn]] void BitsError() {
    throw EListError("Bits index out of range");
}
} // namespace

void TBits::SetSize(int Value) {
    if (Value < 0) BitsError();
    if (Value == FSize) return;
    FWords.resize((static_cast<std::size_t>(Value) + WordBits - 1) / WordBits, 0);
    FSize = Value;
    TrimLastWord();
}

void TBits::TrimLastWord() {
    const unsigned Used = static_cast<unsigned>(FSize) % WordBits;
    if (Used != 0 && !FWords.empty()) FWords.back() &= (Word{1} << Used) - 1;
}

bool TBits::Bits(int Index) const {
    if (Index < 0 || Index >= FSize) BitsError();
    return Test(Index);
}

void TBits::SetBits(int Index, bool Value) {
    if (Index < 0 || Index == INT32_MAX) BitsError(); // no set holds more than INT32_MAX bits
    if (Index >= FSize) SetSize(Index + 1);
    Put(Index, Value);
}

int TBits::OpenBit() const {
    for (std::size_t I = 0; I < FWords.size(); ++I) {
        if (FWords[I] != ~Word{0}) {
            const int Bit = static_cast<int>(I) * WordBits + std::countr_one(FWords[I]);
            return Bit < FSize ? Bit : FSize;
        }
    }
    return FSize;
}

void TBits::CopyRange(const TBits& Source, int SourceStart, int DestStart, int Count) {
    if (Count <= 0) return;
    if (SourceStart < 0 || DestStart < 0 || Count > Source.FSize - SourceStart ||
        Count > FSize - DestStart)
        BitsError();
    if (&Source == this && DestStart > SourceStart && DestStart < SourceStart + Count) {
        // Copying upwards within one set would overwrite bits before they are read.
        const TBits Copy = Source;
        CopyRange(Copy, SourceStart, DestStart, Count);
        return;
    }
    const Word* Src = Source.FWords.data();
    Word* Dst = FWords.data();
    // Reads 64 bits of Source starting at any bit position.
    auto ReadWord = [&](unsigned Bit, unsigned N) -> Word {
        const unsigned W = Bit / WordBits, Off = Bit % WordBits;
        Word V = Src[W] >> Off;
        if (Off != 0 && Off + N > static_cast<unsigned>(WordBits))
            V |= Src[W + 1] << (WordBits - Off);
        return N == static_cast<unsigned>(WordBits) ? V : (V & ((Word{1} << N) - 1));
    };
    unsigned S = static_cast<unsigned>(SourceStart), D = static_cast<unsigned>(DestStart);
    unsigned Left = static_cast<unsigned>(Count);
    while (Left > 0) {
        const unsigned DW = D / WordBits, DOff = D % WordBits;
        const unsigned N = std::min(Left, static_cast<unsigned>(WordBits) - DOff);
        const Word Chunk = ReadWord(S, N);
        const Word Mask = (N == static_cast<unsigned>(WordBits) ? ~Word{0} : ((Word{1} << N) - 1))
                          << DOff;
        Dst[DW] = (Dst[DW] & ~Mask) | ((Chunk << DOff) & Mask);
        S += N;
        D += N;
        Left -= N;
    }
}

} // namespace ax
