#include "axgenetic/ga/gene.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "axgenetic/ga/genetic_algorithm.hpp"
#include "axgenetic/platform/math.hpp"

namespace ax {

namespace {

// Offset + Size without overflow: sizes that add up past the integer range saturate (a
// chromosome that long cannot be allocated anyway, and a document never asks for one).
std::int32_t EndOf(const TAxGAGene& Gene) {
    const std::int64_t End = std::int64_t{Gene.Offset()} + Gene.Size();
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(End, INT32_MIN, INT32_MAX));
}

} // namespace

std::int32_t BitsRequired(std::uint32_t Value) {
    return static_cast<std::int32_t>(std::bit_width(Value));
}

// ---------------------------------------------------------------------------------------
// TAxGAGene

TAxGAGene::TAxGAGene() = default;
TAxGAGene::~TAxGAGene() = default;

TAxGAGenes* TAxGAGene::Genes() const {
    return static_cast<TAxGAGenes*>(Collection());
}

std::string TAxGAGene::DisplayName() const {
    return FName.empty() ? TCollectionItem::DisplayName() : FName;
}

void TAxGAGene::Assign(const TPersistent& Source) {
    const auto* From = dynamic_cast<const TAxGAGene*>(&Source);
    if (!From) {
        TCollectionItem::Assign(Source);
        return;
    }
    if (From == this) return;
    FGeneType = From->FGeneType;
    FName = From->FName;
    FSize = From->FSize;
    FMaxValue = From->FMaxValue;
    FMinValue = From->FMinValue;
    FPreserveSignBit = From->FPreserveSignBit;
    if (FGeneType == TGeneType::gtEnumeration) {
        FAssigning = true;
        try {
            if (From->FEnumerations)
                Enumerations().Assign(*From->FEnumerations);
            else if (FEnumerations)
                FEnumerations->Clear();
        } catch (...) {
            FAssigning = false;
            throw;
        }
        FAssigning = false;
    } else {
        FEnumerations.reset();
    }
    Changed(false);
}

void TAxGAGene::SetName(const std::string& Value) {
    if (Value == FName) return;
    FName = Value;
    Changed(false);
}

void TAxGAGene::SetSize(std::int32_t Value) {
    if (Value == FSize) return;
    FSize = Value;
    SizeChange();
}

void TAxGAGene::SizeChange() {
    RecalcMinMax();
    if (TAxGAGenes* Owner = Genes()) Owner->SizeChange(Index());
}

void TAxGAGene::SetGeneType(TGeneType Value) {
    if (Value == FGeneType) return;
    FGeneType = Value;
    RecalcMinMax();
    Changed(false);
}

void TAxGAGene::SetPreserveSignBit(bool Value) {
    if (Value == FPreserveSignBit) return;
    FPreserveSignBit = Value;
    RecalcMinMax();
}

std::int32_t TAxGAGene::EnumerationCount() const {
    return FEnumerations ? FEnumerations->Count() : 0;
}

void TAxGAGene::RecalcMinMax() {
    const double N = FPreserveSignBit ? FSize - 1.0 : static_cast<double>(FSize);
    switch (FGeneType) {
    case TGeneType::gtInteger:
    case TGeneType::gtFloat:
        FMinValue = FPreserveSignBit ? -Power(2.0, N) : 0.0;
        FMaxValue = Power(2.0, N) - 1.0;
        break;
    case TGeneType::gtEnumeration:
        FMinValue = 0;
        FMaxValue = EnumerationCount() - 1.0;
        break;
    default:
        break;
    }
}

// The two bound setters are deliberately asymmetric: a new minimum only pulls the maximum
// along when the range no longer fits the bits, a new maximum nearly always moves the
// minimum to one full bit range below it.
void TAxGAGene::SetMinValue(double Value) {
    if (std::isnan(Value) || Value == FMinValue) return;
    FMinValue = Value;
    switch (FGeneType) {
    case TGeneType::gtInteger:
    case TGeneType::gtFloat: {
        const double Span = Power(2.0, FSize) - 1.0;
        if (FMaxValue - FMinValue > Span || FMaxValue < FMinValue) FMaxValue = FMinValue + Span;
        break;
    }
    case TGeneType::gtEnumeration:
        FMaxValue = FMinValue + EnumerationCount() - 1.0;
        break;
    default:
        break;
    }
}

void TAxGAGene::SetMaxValue(double Value) {
    if (std::isnan(Value) || Value == FMaxValue) return;
    FMaxValue = Value;
    switch (FGeneType) {
    case TGeneType::gtInteger:
    case TGeneType::gtFloat:
        if (FMaxValue - FMinValue < Power(2.0, FSize + 1.0))
            FMinValue = FMaxValue - Power(2.0, FSize);
        break;
    case TGeneType::gtEnumeration: {
        const double Count = EnumerationCount();
        if (FMaxValue - FMinValue <= Count) FMinValue = FMaxValue - Count;
        break;
    }
    default:
        break;
    }
    if (FGeneType != TGeneType::gtBoolean && !FPreserveSignBit && FMinValue < 0) FMinValue = 0;
}

TStringList& TAxGAGene::Enumerations() {
    if (!FEnumerations) {
        FEnumerations = std::make_unique<TStringList>();
        FEnumerations->OnChange = [this](TObject* Sender) { EnumerationsChange(Sender); };
    }
    return *FEnumerations;
}

void TAxGAGene::SetEnumerations(const TStringList& Value) {
    Enumerations().Assign(Value);
}

void TAxGAGene::EnumerationsChange(TObject*) {
    if (FAssigning || !IsEnumeration()) return;
    SetSize(BitsRequired(static_cast<std::uint32_t>(EnumerationCount())));
}

// ---------------------------------------------------------------------------------------
// TAxGAGenes

TAxGAGenes::TAxGAGenes(TPersistent* AOwner, TAxGeneClass ItemClass)
    : TTypedCollection<TAxGAGene, TOwnedCollection>(AOwner, ItemClass) {}

TAxCustomGeneticAlgorithm* TAxGAGenes::Owner() const {
    return dynamic_cast<TAxCustomGeneticAlgorithm*>(GetOwner());
}

std::int32_t TAxGAGenes::GetSize() const {
    if (Count() == 0) return 0;
    return EndOf(*Items(Count() - 1));
}

void TAxGAGenes::UpdateOffsets(std::int32_t Start) {
    const std::int32_t N = Count();
    if (N == 0) return;
    Items(0)->SetOffset(0);
    for (std::int32_t I = Max(Start, 1); I < N; ++I)
        Items(I)->SetOffset(EndOf(*Items(I - 1)));
}

void TAxGAGenes::SizeChange(std::int32_t Index) {
    UpdateOffsets(Index + 1);
    if (TAxCustomGeneticAlgorithm* Algorithm = Owner()) Algorithm->GenesSizeChange();
}

void TAxGAGenes::Notify(TCollectionItem* Item, TCollectionNotification Action) {
    TOwnedCollection::Notify(Item, Action);
    UpdateOffsets(0);
    if (TAxCustomGeneticAlgorithm* Algorithm = Owner())
        Algorithm->GeneNotify(static_cast<TAxGAGene*>(Item), Action);
}

void TAxGAGenes::Update(TCollectionItem* Item) {
    if (!Item) UpdateOffsets(0);
    if (TAxCustomGeneticAlgorithm* Algorithm = Owner())
        Algorithm->GeneUpdate(static_cast<TAxGAGene*>(Item));
}

} // namespace ax
