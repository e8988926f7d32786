// A bit string that reads and writes typed values in runs of bits; the base of the GA
// chromosome.
//
// Coding of a run (Start, Count), see also docs/encoded_bits.md:
// - Bit order: the least significant bit of a value is bit Start, the most significant
//   bit Start + Count - 1.
// - Integers: a set stores the low Count bits of the value's two's complement (widened
//   with its sign when Count exceeds the value's width), whatever the sign flag. A get
//   reads the run zero-extended when the flag is off, sign-extended from bit
//   Start + Count - 1 when it is on; runs longer than 64 bits give their low 64 bits.
//   GetAsInteger returns the low 32 bits of what GetAsInt64 returns.
// - Booleans: a get is True when any bit of the run is set; a set writes all ones or all
//   zeros into the run.
// - Floats (the same coding for the Float and Double accessors, so a run written through
//   one reads back through the other):
//     Count >= 64     : the low 64 bits hold an IEEE-754 double, the rest are 0;
//     32 <= Count < 64: the low 32 bits hold an IEEE-754 single, the rest are 0;
//     Count < 32      : the value rounded to an integer (halves to even), saturated to
//                       the run's integer range (signed by the flag) and stored as such;
//                       NaN stores 0.
//   The sign flag matters to floats only below 32 bits.
// - Bit strings: character i of the text is bit Start + i, '0' or '1'. A set accepts no
//   other character (EConvertError, nothing changed); a shorter text clears the rest of
//   the run, a longer one has its extra characters ignored.
// - Count 0 reads 0 / False / "" and writes nothing. A run outside [0, Size), a negative
//   Start or Count raises EListError "Bits index out of range" before anything changes.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstdint>
#include <string>
#include <string_view>

#include "axgenetic/platform/bits.hpp"

namespace ax {

// The text of a bit string that holds other characters than '0' and '1'.
inline constexpr std::string_view SInvalidBitString = "'%s' is not a valid bit string";

// True when Text holds only '0' and '1' characters.
inline bool IsBitString(std::string_view Text) {
    for (const char C : Text)
        if ((C & ~1) != '0') return false;
    return true;
}

class AXGENETIC_API TAxEncodedBits : public TBits {
public:
    TAxEncodedBits() = default;
    std::string ClassName() const override { return "TAxEncodedBits"; }

    // When on, numeric runs are read as signed (two's complement) values.
    bool SignBit() const { return FSignBit; }
    void SetSignBit(bool Value) { FSignBit = Value; }

    // Copies the size and every bit; the sign flag stays as it is.
    virtual void Assign(const TBits& Source);

    // A compact text that is equal exactly for equal bit strings: the size in decimal,
    // ':', then the bits as one hexadecimal number (bit 0 lowest), ceil(Size / 4) digits.
    std::string ToString() const override;
    // Every bit as '0'/'1', bit 0 first; SetAsBitString(0, Size(), text) restores them.
    virtual std::string ToBitString() const;

    std::string GetAsBitString(int Start, int Count) const;
    void SetAsBitString(int Start, int Count, std::string_view Value);

    bool GetAsBoolean(int Start, int Count) const;
    void SetAsBoolean(int Start, int Count, bool Value);

    // The numeric reads use SignBit; the forms with Signed use that instead, so a reader
    // that knows the sign rule (a gene) reads a const chromosome without changing it.
    std::int32_t GetAsInteger(int Start, int Count) const {
        return GetAsInteger(Start, Count, FSignBit);
    }
    std::int32_t GetAsInteger(int Start, int Count, bool Signed) const {
        return static_cast<std::int32_t>(GetAsInt64(Start, Count, Signed));
    }
    void SetAsInteger(int Start, int Count, std::int32_t Value) { SetAsInt64(Start, Count, Value); }

    std::int64_t GetAsInt64(int Start, int Count) const {
        return GetAsInt64(Start, Count, FSignBit);
    }
    std::int64_t GetAsInt64(int Start, int Count, bool Signed) const;
    void SetAsInt64(int Start, int Count, std::int64_t Value);

    float GetAsFloat(int Start, int Count) const { return GetAsFloat(Start, Count, FSignBit); }
    float GetAsFloat(int Start, int Count, bool Signed) const;
    void SetAsFloat(int Start, int Count, float Value);

    double GetAsDouble(int Start, int Count) const { return GetAsDouble(Start, Count, FSignBit); }
    double GetAsDouble(int Start, int Count, bool Signed) const;
    void SetAsDouble(int Start, int Count, double Value);

    // Unchecked word access for hot paths: Count in [0, 64] and the run inside the string.
    // ReadRun gives the run's bits zero-extended; WriteRun stores the low Count bits of
    // Value and touches no other bit.
    Word ReadRun(int Start, int Count) const {
        if (Count <= 0) return 0;
        const Word* W = Words().data();
        const unsigned I = static_cast<unsigned>(Start) / UBits;
        const unsigned Off = static_cast<unsigned>(Start) % UBits;
        const unsigned N = static_cast<unsigned>(Count);
        Word V = W[I] >> Off;
        if (Off + N > UBits) V |= W[I + 1] << (UBits - Off);
        return N == UBits ? V : V & LowMask(N);
    }
    void WriteRun(int Start, int Count, Word Value) {
        if (Count <= 0) return;
        Word* W = MutableWords().data();
        const unsigned I = static_cast<unsigned>(Start) / UBits;
        const unsigned Off = static_cast<unsigned>(Start) % UBits;
        const unsigned N = static_cast<unsigned>(Count);
        const Word Mask = N == UBits ? ~Word{0} : LowMask(N);
        Value &= Mask;
        W[I] = (W[I] & ~(Mask << Off)) | (Value << Off);
        if (Off + N > UBits) {
            const unsigned Back = UBits - Off;
            W[I + 1] = (W[I + 1] & ~(Mask >> Back)) | (Value >> Back);
        }
    }

protected:
    // Raises EListError unless Start, Count >= 0 and Start + Count <= Size.
    void CheckRun(int Start, int Count) const {
        if (Start < 0 || Count < 0 || Count > Size() - Start) RangeError();
    }
    [[noreturn]] static void RangeError();
    // Sets (or clears) every bit of a run of any length, word by word.
    void FillRun(int Start, int Count, bool Value);

private:
    static constexpr unsigned UBits = WordBits;
    static constexpr Word LowMask(unsigned N) { return (Word{1} << N) - 1; }

    bool FSignBit = false;
};

} // namespace ax
