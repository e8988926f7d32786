// A dynamic bit set stored in 64-bit words. Bits past Size are always 0 in the last
// word, so equal bit strings have equal words.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstdint>
#include <vector>

#include "axgenetic/platform/object.hpp"

namespace ax {

class AXGENETIC_API TBits : public TObject {
public:
    using Word = std::uint64_t;
    static constexpr int WordBits = 64;

    TBits() = default;
    std::string ClassName() const override { return "TBits"; }

    int Size() const { return FSize; }
    // Grows (new bits are False) or shrinks the set; a negative size raises EListError.
    void SetSize(int Value);

    // Checked access: reading outside [0, Size) raises EListError; writing past the end
    // grows the set first, writing at a negative index raises EListError.
    bool Bits(int Index) const;
    void SetBits(int Index, bool Value);
    bool operator[](int Index) const { return Bits(Index); }

    // Unchecked access for hot paths; Index must lie in [0, Size).
    bool Test(int Index) const {
        return (FWords[static_cast<unsigned>(Index) / WordBits] >> (static_cast<unsigned>(Index) % WordBits)) & 1u;
    }
    void Put(int Index, bool Value) {
        Word& W = FWords[static_cast<unsigned>(Index) / WordBits];
        const Word Mask = Word{1} << (static_cast<unsigned>(Index) % WordBits);
        W = Value ? (W | Mask) : (W & ~Mask);
    }
    void Flip(int Index) {
        FWords[static_cast<unsigned>(Index) / WordBits] ^= Word{1} << (static_cast<unsigned>(Index) % WordBits);
    }

    // Index of the first False bit; Size when every bit is True.
    int OpenBit() const;

    // The words holding bit 0 upwards; bits past Size in the last word are 0.
    const std::vector<Word>& Words() const { return FWords; }
    std::vector<Word>& MutableWords() { return FWords; }
    int WordCount() const { return static_cast<int>(FWords.size()); }

    // Copies Count bits starting at SourceStart of Source to DestStart of this set, word
    // by word where possible. Both ranges must lie inside their sets (EListError
    // otherwise); Source may be this set, also with overlapping ranges.
    void CopyRange(const TBits& Source, int SourceStart, int DestStart, int Count);

    // Same size and same bits.
    bool Equals(const TBits& Other) const { return FSize == Other.FSize && FWords == Other.FWords; }

protected:
    // Clears the unused high bits of the last word.
    void TrimLastWord();

private:
    std::vector<Word> FWords;
    int FSize = 0;
};

} // namespace ax
