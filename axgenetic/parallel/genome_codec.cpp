#include "axgenetic/parallel/genome_codec.hpp"

#include <bit>
#include <cstring>
#include <type_traits>

#include "axgenetic/ga/genetic_algorithm.hpp"
#include "axgenetic/platform/format.hpp"

namespace ax {

namespace {

template <class T> T ToLittle(T Value) {
    if constexpr (std::endian::native == std::endian::big) {
        T Swapped = 0;
        for (std::size_t I = 0; I < sizeof(T); ++I, Value >>= 8)
            Swapped = static_cast<T>((Swapped << 8) | (Value & 0xff));
        return Swapped;
    }
    return Value;
}

[[noreturn]] void Malformed() {
    throw EGAException(std::string(SMalformedGenome));
}

template <class T> void Append(std::vector<std::byte>& Buffer, T Value) {
    Value = ToLittle(Value);
    const std::size_t At = Buffer.size();
    Buffer.resize(At + sizeof(T));
    std::memcpy(Buffer.data() + At, &Value, sizeof(T));
}

template <class Individual> auto& AsGA(Individual& Item) {
    auto* GA = dynamic_cast<
        std::conditional_t<std::is_const_v<Individual>, const TAxGAIndividual, TAxGAIndividual>*>(
        &Item);
    if (!GA) throw EGAException(Format(SWrongGenomeClass, {Item.ClassName()}));
    return *GA;
}

} // namespace

// --- writer and reader ----------------------------------------------------------------

void TAxGenomeWriter::WriteUInt32(std::uint32_t Value) {
    Append(FBuffer, Value);
}
void TAxGenomeWriter::WriteUInt64(std::uint64_t Value) {
    Append(FBuffer, Value);
}
void TAxGenomeWriter::WriteDouble(double Value) {
    Append(FBuffer, std::bit_cast<std::uint64_t>(Value));
}

void TAxGenomeWriter::WriteBytes(std::span<const std::byte> Bytes) {
    FBuffer.insert(FBuffer.end(), Bytes.begin(), Bytes.end());
}

void TAxGenomeWriter::WriteString(std::string_view Text) {
    WriteUInt32(static_cast<std::uint32_t>(Text.size()));
    WriteBytes(std::as_bytes(std::span(Text.data(), Text.size())));
}

std::size_t TAxGenomeWriter::ReserveUInt32() {
    const std::size_t At = FBuffer.size();
    WriteUInt32(0);
    return At;
}

void TAxGenomeWriter::PatchUInt32(std::size_t Position, std::uint32_t Value) {
    Value = ToLittle(Value);
    std::memcpy(FBuffer.data() + Position, &Value, sizeof(Value));
}

std::span<const std::byte> TAxGenomeReader::ReadBytes(std::size_t Count) {
    if (Count > Remaining()) Malformed();
    const auto Result = FData.subspan(FPosition, Count);
    FPosition += Count;
    return Result;
}

std::uint32_t TAxGenomeReader::ReadUInt32() {
    std::uint32_t Value;
    std::memcpy(&Value, ReadBytes(sizeof(Value)).data(), sizeof(Value));
    return ToLittle(Value);
}

std::uint64_t TAxGenomeReader::ReadUInt64() {
    std::uint64_t Value;
    std::memcpy(&Value, ReadBytes(sizeof(Value)).data(), sizeof(Value));
    return ToLittle(Value);
}

double TAxGenomeReader::ReadDouble() {
    return std::bit_cast<double>(ReadUInt64());
}

std::string TAxGenomeReader::ReadString() {
    const auto Bytes = ReadBytes(ReadUInt32());
    return std::string(reinterpret_cast<const char*>(Bytes.data()), Bytes.size());
}

// --- GA chromosomes -------------------------------------------------------------------

void TAxGAGenomeCodec::Encode(const TAxIndividual& Item, TAxGenomeWriter& Writer) const {
    const TAxGABits& Bits = AsGA(Item).Bits();
    Writer.WriteInt32(Bits.Size());
    for (const TBits::Word W : Bits.Words())
        Writer.WriteUInt64(W);
}

void TAxGAGenomeCodec::Decode(TAxGenomeReader& Reader, TAxIndividual& Item) const {
    TAxGAIndividual& GA = AsGA(Item);
    const std::int32_t Size = Reader.ReadInt32();
    // The words must be there before anything is allocated for them.
    if (Size < 0) Malformed();
    const std::size_t WordCount =
        (static_cast<std::size_t>(Size) + TBits::WordBits - 1) / TBits::WordBits;
    if (WordCount > Reader.Remaining() / sizeof(TBits::Word)) Malformed();
    TAxGABits& Bits = GA.Bits();
    Bits.SetSize(Size);
    auto& Words = Bits.MutableWords();
    for (std::size_t I = 0; I < WordCount; ++I)
        Words[I] = Reader.ReadUInt64();
    // Bits past Size stay 0, as everywhere in a bit string.
    if (const int Tail = Size % TBits::WordBits; Tail != 0)
        Words[WordCount - 1] &= (TBits::Word{1} << Tail) - 1;
    GA.Modified();
}

} // namespace ax
