// Compact binary genomes, for evaluators that compute fitness in other processes.
//
// A codec writes what a fitness handler may read of an individual (its genome) into a
// byte buffer, and restores it into an individual of another copy of the same
// component. Numbers are written little-endian whatever the host's byte order. The GA
// codec writes the chromosome's size and its 64-bit words; the GP codec
// (gp_genome_codec.hpp) writes the program in prefix order through the same writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "axgenetic/core/exceptions.hpp"

namespace ax {

class TAxIndividual;

// Raised when a received genome or message does not have the expected form.
inline constexpr std::string_view SMalformedGenome = "Malformed genome data";
// Raised when a codec is given an individual of another kind (%s: its class name).
inline constexpr std::string_view SWrongGenomeClass = "The genome codec cannot handle a %s";

// Appends little-endian numbers and raw bytes to a buffer the caller owns and reuses.
class TAxGenomeWriter {
public:
    explicit TAxGenomeWriter(std::vector<std::byte>& Buffer) : FBuffer(Buffer) {}
    void WriteUInt32(std::uint32_t Value);
    void WriteInt32(std::int32_t Value) { WriteUInt32(static_cast<std::uint32_t>(Value)); }
    void WriteUInt64(std::uint64_t Value);
    void WriteDouble(double Value);
    void WriteBytes(std::span<const std::byte> Bytes);
    void WriteString(std::string_view Text);
    // A 32-bit slot to be filled in later (e.g. a length known only afterwards).
    std::size_t ReserveUInt32();
    void PatchUInt32(std::size_t Position, std::uint32_t Value);
    std::size_t Size() const { return FBuffer.size(); }

private:
    std::vector<std::byte>& FBuffer;
};

// Reads what a TAxGenomeWriter wrote. Reading past the end raises EGAException
// (SMalformedGenome) and consumes nothing, so hostile data never reads out of bounds.
class TAxGenomeReader {
public:
    explicit TAxGenomeReader(std::span<const std::byte> Data) : FData(Data) {}
    std::uint32_t ReadUInt32();
    std::int32_t ReadInt32() { return static_cast<std::int32_t>(ReadUInt32()); }
    std::uint64_t ReadUInt64();
    double ReadDouble();
    // The next Count bytes, as a view into the data.
    std::span<const std::byte> ReadBytes(std::size_t Count);
    std::string ReadString();
    std::size_t Remaining() const { return FData.size() - FPosition; }
    bool AtEnd() const { return Remaining() == 0; }

private:
    std::span<const std::byte> FData;
    std::size_t FPosition = 0;
};

// How the genome of one kind of individual travels. Decode reads exactly what Encode
// wrote and marks the individual modified; bad data raises EGAException.
class IAxGenomeCodec {
public:
    virtual ~IAxGenomeCodec() = default;
    virtual void Encode(const TAxIndividual& Item, TAxGenomeWriter& Writer) const = 0;
    virtual void Decode(TAxGenomeReader& Reader, TAxIndividual& Item) const = 0;
};

// The GA chromosome: its size in bits (int32), then ceil(size / 64) words (uint64), bit 0
// the lowest bit of the first word. The name and the cached fitness do not travel.
class TAxGAGenomeCodec : public IAxGenomeCodec {
public:
    void Encode(const TAxIndividual& Item, TAxGenomeWriter& Writer) const override;
    void Decode(TAxGenomeReader& Reader, TAxIndividual& Item) const override;
};

} // namespace ax
