// Reading and writing typed gene values inside a chromosome.
#include <cmath>
#include <limits>

#include "axgenetic/common/encoded_bits.hpp"
#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/messages.hpp"
#include "axgenetic/ga/gene.hpp"
#include "axgenetic/ga/genetic_algorithm.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/platform/math.hpp"
#include "axgenetic/platform/text.hpp"

namespace ax {

namespace {

// Nearest integer (halves to even) of a bound, saturated to the 64-bit range so that a
// bound far outside it cannot overflow the conversion.
std::int64_t RoundBound(double Bound) {
    constexpr double Limit = 9223372036854775807.0; // 2^63
    if (Bound >= Limit) return std::numeric_limits<std::int64_t>::max();
    if (Bound <= -Limit) return std::numeric_limits<std::int64_t>::min();
    return Round(Bound);
}

} // namespace

bool TAxGAGene::GeneAsBoolean(const TAxEncodedBits& Bits, std::int32_t Start) const {
    return Bits.GetAsBoolean(Start, FSize);
}

std::int32_t TAxGAGene::GeneAsInteger(const TAxEncodedBits& Bits, std::int32_t Start) const {
    return Bits.GetAsInteger(Start, FSize, FPreserveSignBit);
}

std::int64_t TAxGAGene::GeneAsInt64(const TAxEncodedBits& Bits, std::int32_t Start) const {
    return Bits.GetAsInt64(Start, FSize, FPreserveSignBit);
}

float TAxGAGene::GeneAsFloat(const TAxEncodedBits& Bits, std::int32_t Start) const {
    return Bits.GetAsFloat(Start, FSize, FPreserveSignBit);
}

double TAxGAGene::GeneAsDouble(const TAxEncodedBits& Bits, std::int32_t Start) const {
    return Bits.GetAsDouble(Start, FSize, FPreserveSignBit);
}

std::string TAxGAGene::GeneAsEnumeration(const TAxEncodedBits& Bits, std::int32_t Start) const {
    const std::int32_t Index = GeneAsEnumerationIndex(Bits, Start);
    if (Index < 0 || Index >= EnumerationCount())
        throw EGAException(std::string(SNoEnumerationFound));
    return FEnumerations->Strings(Index);
}

void TAxGAGene::SetGeneAsBoolean(TAxEncodedBits& Bits, std::int32_t Start, bool Value) {
    Bits.SetAsBoolean(Start, FSize, Value);
}

void TAxGAGene::SetGeneAsDouble(TAxEncodedBits& Bits, std::int32_t Start, double Value) {
    // A NaN is not at least MinValue, so it takes MinValue.
    if (!(Value >= FMinValue))
        Value = FMinValue;
    else if (Value > FMaxValue)
        Value = FMaxValue;
    Bits.SetSignBit(FPreserveSignBit);
    Bits.SetAsDouble(Start, FSize, Value);
}

void TAxGAGene::SetGeneAsFloat(TAxEncodedBits& Bits, std::int32_t Start, float Value) {
    const double Wide = Value;
    if (!(Wide >= FMinValue))
        Value = static_cast<float>(FMinValue);
    else if (Wide > FMaxValue)
        Value = static_cast<float>(FMaxValue);
    Bits.SetSignBit(FPreserveSignBit);
    Bits.SetAsFloat(Start, FSize, Value);
}

void TAxGAGene::SetGeneAsInt64(TAxEncodedBits& Bits, std::int32_t Start, std::int64_t Value) {
    const auto Wide = static_cast<double>(Value);
    if (Wide < FMinValue)
        Value = RoundBound(FMinValue);
    else if (Wide > FMaxValue)
        Value = RoundBound(FMaxValue);
    Bits.SetSignBit(FPreserveSignBit);
    Bits.SetAsInt64(Start, FSize, Value);
}

void TAxGAGene::SetGeneAsInteger(TAxEncodedBits& Bits, std::int32_t Start, std::int32_t Value) {
    const auto Wide = static_cast<double>(Value);
    // A bound beyond 32 bits keeps only its low 32 bits.
    if (Wide < FMinValue)
        Value = static_cast<std::int32_t>(static_cast<std::uint32_t>(RoundBound(FMinValue)));
    else if (Wide > FMaxValue)
        Value = static_cast<std::int32_t>(static_cast<std::uint32_t>(RoundBound(FMaxValue)));
    Bits.SetSignBit(FPreserveSignBit);
    Bits.SetAsInteger(Start, FSize, Value);
}

void TAxGAGene::SetGeneAsEnumeration(TAxEncodedBits& Bits, std::int32_t Start,
                                     const std::string& Value) {
    const std::int32_t Index = FEnumerations ? FEnumerations->IndexOf(Value) : -1;
    if (Index < 0) throw EGAException(Format(SValueNotEnumeration, {Value}));
    Bits.SetSignBit(false);
    Bits.SetAsInteger(Start, FSize, Index);
}

std::int32_t TAxGAGene::GeneAsEnumerationIndex(const TAxEncodedBits& Bits,
                                               std::int32_t Start) const {
    return Bits.GetAsInteger(Start, FSize, false);
}

void TAxGAGene::SetGeneAsEnumerationIndex(TAxEncodedBits& Bits, std::int32_t Start,
                                          std::int32_t Index) {
    if (Index < 0 || Index >= EnumerationCount() ||
        BitsRequired(static_cast<std::uint32_t>(Index)) > FSize)
        throw EGAException(
            Format(SInvalidEnumerationIndex, {Index, EnumerationCount(), DisplayName(), FSize}));
    Bits.SetSignBit(false);
    Bits.SetAsInteger(Start, FSize, Index);
}

std::string TAxGAGene::AsString(const TAxEncodedBits& Bits) const {
    switch (FGeneType) {
    case TGeneType::gtBoolean:
        return BoolToStr(GeneAsBoolean(Bits));
    case TGeneType::gtInteger:
        return IntToStr(GeneAsInteger(Bits));
    case TGeneType::gtFloat:
        return FloatToStr(static_cast<double>(GeneAsFloat(Bits)));
    case TGeneType::gtEnumeration:
        return GeneAsEnumeration(Bits);
    default:
        return Bits.GetAsBitString(FOffset, FSize);
    }
}

// ---------------------------------------------------------------------------------------
// Forms that address an individual of the owning algorithm's population.

TAxGAIndividual& TAxGAGene::IndividualAt(std::int32_t Index) const {
    const TAxGAGenes* Owner = Genes();
    TAxCustomGeneticAlgorithm* Algorithm = Owner ? Owner->Owner() : nullptr;
    if (!Algorithm) throw EGAException(Format(SGeneWithoutAlgorithm, {DisplayName()}));
    return *Algorithm->Population()->Items(Index);
}

bool TAxGAGene::GetAsBoolean(std::int32_t Index) const {
    return GeneAsBoolean(IndividualAt(Index).Bits());
}
std::int32_t TAxGAGene::GetAsInteger(std::int32_t Index) const {
    return GeneAsInteger(IndividualAt(Index).Bits());
}
std::int64_t TAxGAGene::GetAsInt64(std::int32_t Index) const {
    return GeneAsInt64(IndividualAt(Index).Bits());
}
float TAxGAGene::GetAsFloat(std::int32_t Index) const {
    return GeneAsFloat(IndividualAt(Index).Bits());
}
double TAxGAGene::GetAsDouble(std::int32_t Index) const {
    return GeneAsDouble(IndividualAt(Index).Bits());
}
std::string TAxGAGene::GetAsEnumeration(std::int32_t Index) const {
    return GeneAsEnumeration(IndividualAt(Index).Bits());
}
std::string TAxGAGene::AsString(std::int32_t Index) const {
    return AsString(IndividualAt(Index).Bits());
}

void TAxGAGene::SetAsBoolean(std::int32_t Index, bool Value) {
    TAxGAIndividual& Item = IndividualAt(Index);
    SetGeneAsBoolean(Item.Bits(), Value);
    Item.Modified();
}

void TAxGAGene::SetAsInteger(std::int32_t Index, std::int32_t Value) {
    TAxGAIndividual& Item = IndividualAt(Index);
    SetGeneAsInteger(Item.Bits(), Value);
    Item.Modified();
}

void TAxGAGene::SetAsInt64(std::int32_t Index, std::int64_t Value) {
    TAxGAIndividual& Item = IndividualAt(Index);
    SetGeneAsInt64(Item.Bits(), Value);
    Item.Modified();
}

void TAxGAGene::SetAsFloat(std::int32_t Index, float Value) {
    TAxGAIndividual& Item = IndividualAt(Index);
    SetGeneAsFloat(Item.Bits(), Value);
    Item.Modified();
}

void TAxGAGene::SetAsDouble(std::int32_t Index, double Value) {
    TAxGAIndividual& Item = IndividualAt(Index);
    SetGeneAsDouble(Item.Bits(), Value);
    Item.Modified();
}

void TAxGAGene::SetAsEnumeration(std::int32_t Index, const std::string& Value) {
    TAxGAIndividual& Item = IndividualAt(Index);
    SetGeneAsEnumeration(Item.Bits(), Value);
    Item.Modified();
}

} // namespace ax
