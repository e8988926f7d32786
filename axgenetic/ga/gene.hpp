// Genes and the genotype layout of a genetic algorithm.
//
// A gene names a typed field of the chromosome: Size bits starting at Offset. The genes
// of a TAxGAGenes collection follow one another from bit 0 without gaps; the collection
// keeps every Offset current and tells its owning algorithm when the genotype grows, so
// the algorithm can resize every chromosome.
//
// Value coding: every GeneAsX / SetGeneAsX form works on any TAxEncodedBits (explicit
// start bit, or the gene's own Offset). The GeneAsX reads take the chromosome as const
// and change nothing in it (its SignBit included), so a kept copy, such as a hall-of-fame
// entry, decodes as it is. The GetAsX / SetAsX / AsString(Index) forms reach
// the chromosome of individual Index of the owning algorithm's population; a gene that is
// not in a collection owned by a TAxCustomGeneticAlgorithm has no population, and those
// forms raise EGAException (SGeneWithoutAlgorithm) instead.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "axgenetic/core/types.hpp"
#include "axgenetic/platform/collection.hpp"
#include "axgenetic/platform/string_list.hpp"

namespace ax {

class TAxEncodedBits;
class TAxCustomGeneticAlgorithm;
class TAxGAGenes;
class TAxGAIndividual;
class IXMLGenoTypeType;
class IXMLGenesType;

// Raised by the per-individual value forms of a gene that belongs to no algorithm.
inline constexpr std::string_view SGeneWithoutAlgorithm =
    "Gene \"%s\" does not belong to a genetic algorithm, so it has no population";

// Raised by the enumeration index writer for an index no enumerated value has.
inline constexpr std::string_view SInvalidEnumerationIndex =
    "%d is not an index of the %d enumerated values of gene \"%s\" in %d bits";

// Number of significant bits of Value: 0 for 0, 1 for 1, 2 for 2..3, 9 for 256.
AXGENETIC_API std::int32_t BitsRequired(std::uint32_t Value);

// One typed field of the chromosome.
class AXGENETIC_API TAxGAGene : public TCollectionItem {
public:
    static constexpr const char* StaticClassName = "TAxGAGene";
    TAxGAGene();
    ~TAxGAGene() override;

    std::string ClassName() const override { return StaticClassName; }
    // Copies the definition (not the Offset) without running any setter rule.
    void Assign(const TPersistent& Source) override;
    // Name, or the class name while the gene is unnamed.
    std::string DisplayName() const override;

    // The collection the gene lives in, or nullptr.
    TAxGAGenes* Genes() const;

    const std::string& Name() const { return FName; }
    void SetName(const std::string& Value);
    std::int32_t Size() const { return FSize; }
    // Stores the size (no bound applied) and recomputes the bounds through SizeChange.
    void SetSize(std::int32_t Value);
    TGeneType GeneType() const { return FGeneType; }
    void SetGeneType(TGeneType Value);
    // First bit of the gene in the chromosome; kept by the collection.
    std::int32_t Offset() const { return FOffset; }
    bool PreserveSignBit() const { return FPreserveSignBit; }
    void SetPreserveSignBit(bool Value);
    double MinValue() const { return FMinValue; }
    void SetMinValue(double Value);
    double MaxValue() const { return FMaxValue; }
    void SetMaxValue(double Value);

    // The enumerated values; the list is made on first use. Every change of it resizes
    // an enumeration gene to the bits its values need.
    TStringList& Enumerations();
    // True once the list exists; lets writers skip it without making it.
    bool HasEnumerations() const { return FEnumerations != nullptr; }
    void SetEnumerations(const TStringList& Value);
    bool IsEnumeration() const { return FGeneType == TGeneType::gtEnumeration; }
    // Number of enumerated values; 0 while the list does not exist (it is not made).
    std::int32_t EnumerationCount() const;

    // Name, Size, GeneType, Enumerations (enumeration genes only), MaxValue, MinValue and
    // PreserveSignBit.
    void GetPublishedProperties(std::vector<TPublishedProperty>& List) const override;

    // Resets both bounds from the type, the size and the sign bit.
    void RecalcMinMax();
    // Runs after Size changed: new bounds, then the collection's offsets and owner.
    virtual void SizeChange();
    // Runs on every change of the enumerated values.
    void EnumerationsChange(TObject* Sender);

    // Reading a value; the one-argument forms read at Offset. Numbers read signed when
    // PreserveSignBit is on, whatever the bit string's own sign flag; nothing changes.
    bool GeneAsBoolean(const TAxEncodedBits& Bits) const { return GeneAsBoolean(Bits, FOffset); }
    bool GeneAsBoolean(const TAxEncodedBits& Bits, std::int32_t Start) const;
    std::int32_t GeneAsInteger(const TAxEncodedBits& Bits) const {
        return GeneAsInteger(Bits, FOffset);
    }
    std::int32_t GeneAsInteger(const TAxEncodedBits& Bits, std::int32_t Start) const;
    std::int64_t GeneAsInt64(const TAxEncodedBits& Bits) const {
        return GeneAsInt64(Bits, FOffset);
    }
    std::int64_t GeneAsInt64(const TAxEncodedBits& Bits, std::int32_t Start) const;
    float GeneAsFloat(const TAxEncodedBits& Bits) const { return GeneAsFloat(Bits, FOffset); }
    float GeneAsFloat(const TAxEncodedBits& Bits, std::int32_t Start) const;
    double GeneAsDouble(const TAxEncodedBits& Bits) const { return GeneAsDouble(Bits, FOffset); }
    double GeneAsDouble(const TAxEncodedBits& Bits, std::int32_t Start) const;
    // Raises EGAException (SNoEnumerationFound) for an index outside the values.
    std::string GeneAsEnumeration(const TAxEncodedBits& Bits) const {
        return GeneAsEnumeration(Bits, FOffset);
    }
    std::string GeneAsEnumeration(const TAxEncodedBits& Bits, std::int32_t Start) const;

    // Writing a value, clamped into [MinValue, MaxValue] (Boolean and Enumeration are not
    // clamped). The two-argument forms write at Offset through the virtual forms.
    void SetGeneAsBoolean(TAxEncodedBits& Bits, bool Value) {
        SetGeneAsBoolean(Bits, FOffset, Value);
    }
    virtual void SetGeneAsBoolean(TAxEncodedBits& Bits, std::int32_t Start, bool Value);
    void SetGeneAsDouble(TAxEncodedBits& Bits, double Value) {
        SetGeneAsDouble(Bits, FOffset, Value);
    }
    virtual void SetGeneAsDouble(TAxEncodedBits& Bits, std::int32_t Start, double Value);
    // Raises EGAException (SValueNotEnumeration) and leaves Bits unchanged for an unknown text.
    void SetGeneAsEnumeration(TAxEncodedBits& Bits, const std::string& Value) {
        SetGeneAsEnumeration(Bits, FOffset, Value);
    }
    virtual void SetGeneAsEnumeration(TAxEncodedBits& Bits, std::int32_t Start,
                                      const std::string& Value);
    void SetGeneAsFloat(TAxEncodedBits& Bits, float Value) { SetGeneAsFloat(Bits, FOffset, Value); }
    virtual void SetGeneAsFloat(TAxEncodedBits& Bits, std::int32_t Start, float Value);
    void SetGeneAsInt64(TAxEncodedBits& Bits, std::int64_t Value) {
        SetGeneAsInt64(Bits, FOffset, Value);
    }
    virtual void SetGeneAsInt64(TAxEncodedBits& Bits, std::int32_t Start, std::int64_t Value);
    void SetGeneAsInteger(TAxEncodedBits& Bits, std::int32_t Value) {
        SetGeneAsInteger(Bits, FOffset, Value);
    }
    virtual void SetGeneAsInteger(TAxEncodedBits& Bits, std::int32_t Start, std::int32_t Value);

    // The index an enumeration gene holds, read unsigned like GeneAsEnumeration does; it
    // may lie past the values (random bits).
    std::int32_t GeneAsEnumerationIndex(const TAxEncodedBits& Bits) const {
        return GeneAsEnumerationIndex(Bits, FOffset);
    }
    std::int32_t GeneAsEnumerationIndex(const TAxEncodedBits& Bits, std::int32_t Start) const;
    // Writes the index of an enumerated value. SetGeneAsInteger would clamp it into the
    // bounds, which lag behind a list filled one value at a time; this raises
    // EGAException (SInvalidEnumerationIndex) for an index outside the values or the
    // gene's bits instead, and leaves Bits unchanged.
    void SetGeneAsEnumerationIndex(TAxEncodedBits& Bits, std::int32_t Index) {
        SetGeneAsEnumerationIndex(Bits, FOffset, Index);
    }
    void SetGeneAsEnumerationIndex(TAxEncodedBits& Bits, std::int32_t Start, std::int32_t Index);

    // The same on the chromosome of individual Index of the owning algorithm's
    // population; a write marks that individual (only) modified.
    bool GetAsBoolean(std::int32_t Index) const;
    std::int32_t GetAsInteger(std::int32_t Index) const;
    std::int64_t GetAsInt64(std::int32_t Index) const;
    float GetAsFloat(std::int32_t Index) const;
    double GetAsDouble(std::int32_t Index) const;
    std::string GetAsEnumeration(std::int32_t Index) const;
    void SetAsBoolean(std::int32_t Index, bool Value);
    void SetAsInteger(std::int32_t Index, std::int32_t Value);
    void SetAsInt64(std::int32_t Index, std::int64_t Value);
    void SetAsFloat(std::int32_t Index, float Value);
    void SetAsDouble(std::int32_t Index, double Value);
    void SetAsEnumeration(std::int32_t Index, const std::string& Value);

    // Text of the value by GeneType: True/False, decimal, float text, the enumerated
    // text, or the raw bits for gtUnknown.
    std::string AsString(const TAxEncodedBits& Bits) const;
    std::string AsString(std::int32_t Index) const;

private:
    friend class TAxGAGenes;
    void SetOffset(std::int32_t Value) { FOffset = Value; }
    // The individual Index of the owning algorithm's population; raises when there is none.
    TAxGAIndividual& IndividualAt(std::int32_t Index) const;

    std::string FName;
    std::int32_t FSize = 0;
    TGeneType FGeneType = TGeneType::gtUnknown;
    std::int32_t FOffset = 0;
    std::unique_ptr<TStringList> FEnumerations;
    double FMaxValue = 0;
    double FMinValue = 0;
    bool FPreserveSignBit = false;
    // Set while Assign copies the list, so the copy does not resize the gene.
    bool FAssigning = false;
};

// Class reference of genes (the item class a gene collection creates).
using TAxGeneClass = TCollectionItemClass;

// The genotype: the genes in chromosome order, owned by a genetic algorithm.
class AXGENETIC_API TAxGAGenes : public TTypedCollection<TAxGAGene, TOwnedCollection> {
public:
    TAxGAGenes(TPersistent* AOwner, TAxGeneClass ItemClass = ClassOf<TAxGAGene>());
    std::string ClassName() const override { return "TAxGAGenes"; }

    // The owning algorithm, or nullptr when the owner is something else.
    TAxCustomGeneticAlgorithm* Owner() const;
    // Chromosome bits the genes need: the last gene's Offset + Size (0 without genes).
    std::int32_t GetSize() const;
    // Recomputes the offsets from item max(Start, 1) on; item 0 always starts at 0.
    void UpdateOffsets(std::int32_t Start);
    // Called by gene Index after its Size changed.
    virtual void SizeChange(std::int32_t Index);

    // The genotype element, one gene element per typed gene; loading replaces the genes.
    virtual void LoadFromXML(const IXMLGenoTypeType& GenoType);
    virtual void SaveToXML(const IXMLGenoTypeType& GenoType);
    // One value element per typed gene, decoded from Individual's chromosome.
    virtual void SaveToXML(const IXMLGenesType& Genes, const TAxGAIndividual& Individual);

protected:
    void Notify(TCollectionItem* Item, TCollectionNotification Action) override;
    void Update(TCollectionItem* Item) override;
};

} // namespace ax
