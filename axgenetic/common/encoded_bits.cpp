#include "axgenetic/common/encoded_bits.hpp"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/platform/math.hpp"
#include "axgenetic/platform/text.hpp"

namespace ax {

namespace {

constexpr int SingleBits = 32;
constexpr int DoubleBits = 64;

// The integer range of a run of Count (1..31) bits.
void FixedRange(int Count, bool Signed, double& Lo, double& Hi) {
    if (Signed) {
        Hi = std::ldexp(1.0, Count - 1) - 1.0;
        Lo = -Hi - 1.0;
    } else {
        Lo = 0.0;
        Hi = std::ldexp(1.0, Count) - 1.0;
    }
}

// The reduced coding below 32 bits: the nearest integer, halves to even, saturated.
std::int64_t FixedFromFloat(double Value, int Count, bool Signed) {
    if (std::isnan(Value)) return 0;
    double Lo, Hi;
    FixedRange(Count, Signed, Lo, Hi);
    return Round(std::clamp(Value, Lo, Hi));
}

} // namespace

void TAxEncodedBits::RangeError() {
    throw EListError("Bits index out of range");
}

void TAxEncodedBits::Assign(const TBits& Source) {
    if (&Source == this) return;
    static_cast<TBits&>(*this) = Source;
}

void TAxEncodedBits::FillRun(int Start, int Count, bool Value) {
    const Word Fill = Value ? ~Word{0} : Word{0};
    while (Count > 0) {
        const int N = std::min(Count, WordBits - Start % WordBits);
        WriteRun(Start, N, Fill);
        Start += N;
        Count -= N;
    }
}

std::string TAxEncodedBits::ToString() const {
    static constexpr char Hex[] = "0123456789abcdef";
    char SizeText[16];
    const auto Res = std::to_chars(SizeText, SizeText + sizeof SizeText, Size());
    const auto SizeLen = static_cast<std::size_t>(Res.ptr - SizeText);
    const int Nibbles = Size() / 4 + (Size() % 4 != 0);
    std::string Result(SizeLen + 1 + static_cast<std::size_t>(Nibbles), ':');
    std::copy(SizeText, Res.ptr, Result.begin());
    char* Out = Result.data() + SizeLen + 1;
    const Word* W = Words().data();
    // Most significant nibble first, so the text reads as one hexadecimal number.
    for (int K = Nibbles - 1; K >= 0; --K)
        *Out++ = Hex[(W[K / 16] >> ((K % 16) * 4)) & 0xF];
    return Result;
}

std::string TAxEncodedBits::ToBitString() const {
    return GetAsBitString(0, Size());
}

std::string TAxEncodedBits::GetAsBitString(int Start, int Count) const {
    CheckRun(Start, Count);
    std::string Result(static_cast<std::size_t>(Count), '0');
    for (int I = 0; I < Count; ++I)
        if (Test(Start + I)) Result[static_cast<std::size_t>(I)] = '1';
    return Result;
}

void TAxEncodedBits::SetAsBitString(int Start, int Count, std::string_view Value) {
    CheckRun(Start, Count);
    if (!IsBitString(Value)) throw EConvertError(Format(SInvalidBitString, {Value}));
    const int Len =
        static_cast<int>(std::min<std::size_t>(Value.size(), static_cast<std::size_t>(Count)));
    // Gather the text into words so the run is written a word at a time.
    // Done advances by N, never past Count: a step of a whole word could overflow.
    for (int Done = 0, N = 0; Done < Count; Done += N) {
        N = std::min(WordBits, Count - Done);
        Word Chunk = 0;
        for (int I = std::min(N, Len - Done) - 1; I >= 0; --I)
            Chunk =
                (Chunk << 1) | static_cast<Word>(Value[static_cast<std::size_t>(Done + I)] == '1');
        WriteRun(Start + Done, N, Chunk);
    }
}

bool TAxEncodedBits::GetAsBoolean(int Start, int Count) const {
    CheckRun(Start, Count);
    while (Count > 0) {
        const int N = std::min(Count, WordBits - Start % WordBits);
        if (ReadRun(Start, N) != 0) return true;
        Start += N;
        Count -= N;
    }
    return false;
}

void TAxEncodedBits::SetAsBoolean(int Start, int Count, bool Value) {
    CheckRun(Start, Count);
    FillRun(Start, Count, Value);
}

std::int64_t TAxEncodedBits::GetAsInt64(int Start, int Count, bool Signed) const {
    CheckRun(Start, Count);
    if (Count == 0) return 0;
    const int N = std::min(Count, WordBits);
    Word U = ReadRun(Start, N);
    if (Signed && N < WordBits) {
        const Word Top = Word{1} << (N - 1);
        U = (U ^ Top) - Top;
    }
    return static_cast<std::int64_t>(U);
}

void TAxEncodedBits::SetAsInt64(int Start, int Count, std::int64_t Value) {
    CheckRun(Start, Count);
    const auto U = static_cast<Word>(Value);
    if (Count <= WordBits) {
        WriteRun(Start, Count, U);
    } else {
        WriteRun(Start, WordBits, U);
        FillRun(Start + WordBits, Count - WordBits, Value < 0);
    }
}

double TAxEncodedBits::GetAsDouble(int Start, int Count, bool Signed) const {
    CheckRun(Start, Count);
    if (Count >= DoubleBits) return std::bit_cast<double>(ReadRun(Start, DoubleBits));
    if (Count >= SingleBits)
        return std::bit_cast<float>(static_cast<std::uint32_t>(ReadRun(Start, SingleBits)));
    return static_cast<double>(GetAsInt64(Start, Count, Signed));
}

void TAxEncodedBits::SetAsDouble(int Start, int Count, double Value) {
    CheckRun(Start, Count);
    if (Count >= DoubleBits) {
        WriteRun(Start, DoubleBits, std::bit_cast<Word>(Value));
        FillRun(Start + DoubleBits, Count - DoubleBits, false);
    } else if (Count >= SingleBits) {
        WriteRun(Start, SingleBits, std::bit_cast<std::uint32_t>(NarrowToSingle(Value)));
        WriteRun(Start + SingleBits, Count - SingleBits, 0);
    } else {
        WriteRun(Start, Count, static_cast<Word>(FixedFromFloat(Value, Count, FSignBit)));
    }
}

float TAxEncodedBits::GetAsFloat(int Start, int Count, bool Signed) const {
    CheckRun(Start, Count);
    if (Count >= DoubleBits)
        return NarrowToSingle(std::bit_cast<double>(ReadRun(Start, DoubleBits)));
    if (Count >= SingleBits)
        return std::bit_cast<float>(static_cast<std::uint32_t>(ReadRun(Start, SingleBits)));
    return static_cast<float>(GetAsInt64(Start, Count, Signed));
}

void TAxEncodedBits::SetAsFloat(int Start, int Count, float Value) {
    CheckRun(Start, Count);
    if (Count >= SingleBits && Count < DoubleBits) {
        WriteRun(Start, SingleBits, std::bit_cast<std::uint32_t>(Value));
        WriteRun(Start + SingleBits, Count - SingleBits, 0);
    } else {
        SetAsDouble(Start, Count, Value);
    }
}

} // namespace ax
