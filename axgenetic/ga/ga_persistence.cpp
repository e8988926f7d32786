// XML save and load of the genetic algorithm, its genes, individuals and populations, and
// the GA's published properties for property streaming.
//
// Loading checks the whole document before anything of the component changes: every
// number converts, every genotype child is a gene element, every chromosome's bits are
// '0'/'1' text. Only then are the settings, genes and population replaced, so a document
// that fails with EConvertError or EInvalidCast leaves the component as it was.
#include <algorithm>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string_view>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/ga/genetic_algorithm.hpp"
#include "axgenetic/platform/enum_names.hpp"
#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/platform/streaming.hpp"
#include "axgenetic/platform/update_guard.hpp"
#include "axgenetic/xml/genetic_algorithm_xml.hpp"

namespace ax {

namespace {

bool IsNumericGene(TGeneType Type) {
    return Type == TGeneType::gtInteger || Type == TGeneType::gtFloat ||
           Type == TGeneType::gtEnumeration;
}

bool NodeNamed(const IXMLNode& Node, const char* Name) {
    return Node.HasName(Name);
}

// The chromosome's Bits text; the empty text when there is no Genes element.
std::string BitsText(const IXMLChromosomeType& Chromosome) {
    return IXMLGenesType(Chromosome.FindChild("Genes")).Bits();
}

// Documents hold chromosomes of at most this many bits; longer genotypes are neither
// saved nor loaded.
constexpr std::int64_t MaxChromosomeBits = std::int64_t{1} << 24;
// Chromosome bits a document may ask for beyond eight per character of its Bits texts:
// a document makes the loader allocate at most this much more than it holds itself.
constexpr std::int64_t FreeChromosomeBits = std::int64_t{1} << 24;

constexpr std::string_view SNotAGeneElement = "Element \"%s\" is not a gene";
constexpr std::string_view SSizeOutOfRange = "Size %d of \"%s\" is outside 0 to %d bits";
constexpr std::string_view SChromosomeTooLong =
    "Chromosomes of %d bits exceed the limit of %d bits";
constexpr std::string_view SPopulationTooLarge =
    "%d chromosomes of %d bits are more than the document's bits can justify";

// The gene type an element of a genotype stands for; EInvalidCast for an element that is
// no gene element, which cannot be read as a gene.
TGeneType GeneElementType(const IXMLNode& Element) {
    if (Element.HasName("BooleanGene")) return TGeneType::gtBoolean;
    if (Element.HasName("IntegerGene")) return TGeneType::gtInteger;
    if (Element.HasName("FloatGene")) return TGeneType::gtFloat;
    if (Element.HasName("EnumerationGene")) return TGeneType::gtEnumeration;
    throw EInvalidCast(Format(SNotAGeneElement, {Element.Name()}));
}

std::int64_t CheckedSize(std::int64_t Size, const char* Where) {
    if (Size < 0 || Size > MaxChromosomeBits)
        throw EGAException(Format(SSizeOutOfRange, {Size, Where, MaxChromosomeBits}));
    return Size;
}

// Reads every value the load will use, so that a bad one fails before anything changes.
// Sizes are checked too: the longest the chromosomes grow to while the genes load stays
// within MaxChromosomeBits, and the chromosomes (the component's current ones, resized
// by the genotype, and the loaded ones) within what the document's Bits texts justify.
void CheckGeneticAlgorithmDocument(const IXMLGeneticAlgorithmType& Root,
                                   const TAxCustomGeneticAlgorithm& Algorithm) {
    TAxCustomGeneticComponent::CheckSharedDocument(Root);
    const IXMLGADomainType Domain(Root.FindChild("Domain"));
    const IXMLGenoTypeType GenoType(Domain.FindChild("GenoType"));
    std::int64_t Longest = CheckedSize(GenoType.Size(), "GenoType");
    std::int64_t Genes = 0;
    for (const IXMLNode& Child : GenoType.ChildElements()) {
        const TGeneType Type = GeneElementType(Child);
        const IXMLNumericGeneType Gene(Child);
        const std::int64_t Size = CheckedSize(Gene.Size(), Child.Name());
        std::int64_t Final = Size;
        if (IsNumericGene(Type)) {
            Gene.MinValue();
            Gene.MaxValue();
        }
        if (Type == TGeneType::gtEnumeration) {
            std::uint32_t Values = 0;
            for (IXMLNode Value = Child.FirstChildElement("Enumeration"); Value;
                 Value = Value.NextSiblingElement("Enumeration"))
                ++Values;
            if (Values > 0) Final = BitsRequired(Values);
        }
        Longest = std::max(Longest, Genes + std::max(Size, Final));
        Genes += Final;
        if (Longest > MaxChromosomeBits)
            throw EGAException(Format(SChromosomeTooLong, {Longest, MaxChromosomeBits}));
    }
    std::int64_t Chromosomes = 0, Characters = 0;
    for (const IXMLChromosomeType Chromosome :
         IXMLChromosomesType(Domain.FindChild("Chromosomes")).Chromosome()) {
        const std::string Bits = BitsText(Chromosome);
        if (!IsBitString(Bits)) throw EConvertError(Format(SInvalidBitString, {Bits}));
        ++Chromosomes;
        Characters += static_cast<std::int64_t>(Bits.size());
    }
    const std::int64_t Count = std::max<std::int64_t>(Chromosomes, Algorithm.Population()->Count());
    if (Longest != 0 && Count > (FreeChromosomeBits + 8 * Characters) / Longest)
        throw EGAException(Format(SPopulationTooLarge, {Count, Longest}));
}

// A genotype that a document could not load back is not saved.
void CheckSavedGenotype(const TAxCustomGeneticAlgorithm& Algorithm) {
    const TAxGAGenes& Genes = *Algorithm.Genes();
    for (int I = 0; I < Genes.Count(); ++I)
        if (Genes.Items(I)->GeneType() != TGeneType::gtUnknown)
            CheckedSize(Genes.Items(I)->Size(), Genes.Items(I)->DisplayName().c_str());
    const std::int64_t Saved = Genes.GetSize() != 0 ? Genes.GetSize() : Algorithm.GeneSize();
    if (Saved > MaxChromosomeBits)
        throw EGAException(Format(SChromosomeTooLong, {Saved, MaxChromosomeBits}));
    CheckedSize(Saved, "GenoType");
}

// Stored bounds go through the setters after everything that recomputes them (size, sign
// flag, type, enumerated values). The maximum first, then the minimum; the minimum's
// setter may move the maximum, which is then set once more. Bounds the setters can
// produce come back as they were saved.
void ApplyBounds(TAxGAGene& Gene, double MinValue, double MaxValue) {
    Gene.SetMaxValue(MaxValue);
    Gene.SetMinValue(MinValue);
    if (Gene.MaxValue() != MaxValue) Gene.SetMaxValue(MaxValue);
}

} // namespace

// ---- individual -------------------------------------------------------------------------

void TAxGAIndividual::SaveToXML(const IXMLNode& Node) {
    if (NodeNamed(Node, "Chromosome") || NodeNamed(Node, "FittestIndividual"))
        SaveToXML(IXMLChromosomeType(Node));
}

void TAxGAIndividual::LoadFromXML(const IXMLNode& Node) {
    if (NodeNamed(Node, "Chromosome") || NodeNamed(Node, "FittestIndividual"))
        LoadFromXML(IXMLChromosomeType(Node));
}

void TAxGAIndividual::SaveToXML(const IXMLChromosomeType& Chromosome) {
    Chromosome.SetName(DisplayName());
    Chromosome.SetFitness(Fitness());
    const IXMLGenesType Genes = Chromosome.Genes();
    Genes.SetBits(FBits.ToBitString());
    if (TAxGAPopulation* Population = Collection())
        if (TAxCustomGeneticAlgorithm* Algorithm = Population->Owner())
            Algorithm->Genes()->SaveToXML(Genes, *this);
}

// A shorter Bits text leaves the rest of the chromosome False, a longer one has its extra
// characters ignored; the chromosome keeps the size the population gave it.
void TAxGAIndividual::LoadFromXML(const IXMLChromosomeType& Chromosome) {
    SetName(Chromosome.Name());
    FBits.SetAsBitString(0, FBits.Size(), BitsText(Chromosome));
    Modified();
}

// ---- population -------------------------------------------------------------------------

void TAxGAPopulation::SaveToXML(const IXMLNode& ChromosomesXML) {
    if (NodeNamed(ChromosomesXML, "Chromosomes")) SaveToXML(IXMLChromosomesType(ChromosomesXML));
}

void TAxGAPopulation::LoadFromXML(const IXMLNode& ChromosomesXML) {
    if (NodeNamed(ChromosomesXML, "Chromosomes")) LoadFromXML(IXMLChromosomesType(ChromosomesXML));
}

void TAxGAPopulation::SaveToXML(const IXMLChromosomesType& Chromosomes) {
    const auto List = Chromosomes.Chromosome();
    for (int I = 0; I < Count(); ++I)
        Items(I)->SaveToXML(List.Add());
}

void TAxGAPopulation::LoadFromXML(const IXMLChromosomesType& Chromosomes) {
    const TUpdateGuard Batch(*this);
    Clear();
    for (const IXMLChromosomeType Chromosome : Chromosomes.Chromosome())
        Add()->LoadFromXML(Chromosome);
}

// ---- genes ------------------------------------------------------------------------------

void TAxGAGenes::SaveToXML(const IXMLGenoTypeType& GenoType) {
    for (int I = 0; I < Count(); ++I) {
        TAxGAGene& Gene = *Items(I);
        IXMLNumericGeneType Element;
        switch (Gene.GeneType()) {
        case TGeneType::gtBoolean:
            Element = IXMLNumericGeneType(GenoType.BooleanGene().Add());
            break;
        case TGeneType::gtInteger:
            Element = IXMLNumericGeneType(GenoType.IntegerGene().Add());
            break;
        case TGeneType::gtFloat:
            Element = IXMLNumericGeneType(GenoType.FloatGene().Add());
            break;
        case TGeneType::gtEnumeration:
            Element = IXMLNumericGeneType(GenoType.EnumerationGene().Add());
            break;
        default:
            continue;
        }
        Element.SetName(Gene.DisplayName());
        Element.SetSize(Gene.Size());
        if (IsNumericGene(Gene.GeneType())) {
            Element.SetMinValue(Gene.MinValue());
            Element.SetMaxValue(Gene.MaxValue());
            Element.SetPreserveSignBit(Gene.PreserveSignBit());
        }
        if (Gene.IsEnumeration() && Gene.HasEnumerations()) {
            const auto Values = IXMLEnumerationGeneType(Element).Enumeration();
            const TStringList& List = Gene.Enumerations();
            for (int J = 0; J < List.Count(); ++J)
                Values.Add(List[J]);
        }
    }
    std::int32_t Size = GetSize();
    if (Size == 0 && Owner() && Owner()->GeneSize() != 0) Size = Owner()->GeneSize();
    GenoType.SetSize(Size);
}

void TAxGAGenes::SaveToXML(const IXMLGenesType& Genes, const TAxGAIndividual& Individual) {
    const TAxEncodedBits& Bits = Individual.Bits();
    for (int I = 0; I < Count(); ++I) {
        const TAxGAGene& Gene = *Items(I);
        switch (Gene.GeneType()) {
        case TGeneType::gtBoolean:
            Genes.BooleanGeneValue().Add(Gene.GeneAsBoolean(Bits));
            break;
        case TGeneType::gtInteger:
            Genes.IntegerGeneValue().Add(Gene.GeneAsInteger(Bits));
            break;
        case TGeneType::gtFloat:
            Genes.FloatGeneValue().Add(Gene.GeneAsFloat(Bits));
            break;
        case TGeneType::gtEnumeration:
            Genes.EnumerationGeneValue().Add(Gene.GeneAsEnumeration(Bits));
            break;
        default:
            break;
        }
    }
}

void TAxGAGenes::LoadFromXML(const IXMLGenoTypeType& GenoType) {
    // Every child must be a gene element before anything changes.
    for (const IXMLNode& Child : GenoType.ChildElements())
        GeneElementType(Child);

    if (TAxCustomGeneticAlgorithm* Algorithm = Owner()) Algorithm->SetGeneSize(GenoType.Size());
    const TUpdateGuard Batch(*this);
    Clear();
    for (const IXMLNode& Child : GenoType.ChildElements()) {
        const TGeneType Type = GeneElementType(Child);
        const IXMLEnumerationGeneType Element(Child);
        TAxGAGene& Gene = *Add();
        Gene.SetName(Element.Name());
        Gene.SetSize(Element.Size());
        if (IsNumericGene(Type)) Gene.SetPreserveSignBit(Element.PreserveSignBit());
        Gene.SetGeneType(Type);
        if (Type == TGeneType::gtEnumeration)
            for (const IXMLNode& Value : Element.ChildElements("Enumeration"))
                Gene.Enumerations().Add(Value.Text());
        if (IsNumericGene(Type)) ApplyBounds(Gene, Element.MinValue(), Element.MaxValue());
    }
}

// ---- component --------------------------------------------------------------------------

void TAxCustomGeneticAlgorithm::SaveToXML(const IXMLGeneticDocumentType& Document) {
    CheckSavedGenotype(*this);
    TAxCustomGeneticComponent::SaveToXML(Document);
    const IXMLGeneticAlgorithmType Root(Document);
    const IXMLGAReproductionType Reproduction = Root.Reproduction();
    Reproduction.SetCrossoverMethod(std::string(GetEnumName(CrossoverMethod())));
    SaveReproductionToXML(Reproduction);
    SaveToXML(Root.Domain());
}

void TAxCustomGeneticAlgorithm::SaveToXML(const IXMLGADomainType& Domain) {
    FGenes->SaveToXML(Domain.GenoType());
    if (TAxGAIndividual* Fittest = FittestIndividual())
        Fittest->SaveToXML(Domain.FittestIndividual());
    Population()->SaveToXML(Domain.Chromosomes());
}

void TAxCustomGeneticAlgorithm::LoadFromXML(const IXMLGeneticDocumentType& Document) {
    const IXMLGeneticAlgorithmType Root(Document);
    CheckGeneticAlgorithmDocument(Root, *this);
    TAxCustomGeneticComponent::LoadFromXML(Document);

    const IXMLGAReproductionType Reproduction = Root.Reproduction();
    // An unknown name stores a value outside the enumeration; crossover then cuts at any
    // bit, as cmBitBoundary does.
    SetCrossoverMethod(GetEnumValue<TGACrossoverMethod>(Reproduction.CrossoverMethod())
                           .value_or(static_cast<TGACrossoverMethod>(-1)));
    LoadReproductionFromXML(Reproduction);
    LoadFromXML(Root.Domain());
}

void TAxCustomGeneticAlgorithm::LoadFromXML(const IXMLGADomainType& Domain) {
    InitializeWithoutIndividuals();
    FGenes->LoadFromXML(Domain.GenoType());
    Population()->LoadFromXML(Domain.Chromosomes());
    SetPreviousGeneration(Population());
}

void TAxCustomGeneticAlgorithm::SaveToStream(std::ostream& Stream) {
    const IXMLGeneticAlgorithmType Root = NewGeneticAlgorithm();
    SaveToXML(static_cast<const IXMLGeneticDocumentType&>(Root));
    SaveXMLDocument(Root.OwnerDocument(), Stream);
}

void TAxCustomGeneticAlgorithm::LoadFromStream(std::istream& Stream) {
    LoadFromXML(static_cast<const IXMLGeneticDocumentType&>(LoadGeneticAlgorithm(Stream)));
}

void TAxCustomGeneticAlgorithm::LoadFromFile(const std::string& FileName) {
    LoadFromXML(static_cast<const IXMLGeneticDocumentType&>(LoadGeneticAlgorithm(FileName)));
}

// ---- property streaming -----------------------------------------------------------------

void TAxGeneticAlgorithm::GetPublishedProperties(TPublishedProperties& List) const {
    using C = TAxCustomGeneticAlgorithm;
    TAxCustomGeneticAlgorithm::GetPublishedProperties(List);
    List.push_back(PublishedDefault("CrossoverMethod", &C::CrossoverMethod, &C::SetCrossoverMethod,
                                    TGACrossoverMethod::cmGeneBoundary));
    List.push_back(PublishedCollection("Genes", &C::Genes));
    List.push_back(Published("GeneSize", &C::GeneSize, &C::SetGeneSize));
    List.push_back(PublishedCollection("Population", &C::Population));
}

void TAxGAGene::GetPublishedProperties(TPublishedProperties& List) const {
    using G = TAxGAGene;
    TCollectionItem::GetPublishedProperties(List);
    List.push_back(PublishedDefault("Name", &G::Name, &G::SetName, std::string()));
    List.push_back(Published("Size", &G::Size, &G::SetSize));
    List.push_back(Published("GeneType", &G::GeneType, &G::SetGeneType));
    // The values as one line: each quoted, separated by blanks, in parentheses.
    TPublishedProperty Values;
    Values.Name = "Enumerations";
    Values.GetText = [](const TPersistent& Object) {
        auto& Gene = const_cast<TAxGAGene&>(dynamic_cast<const TAxGAGene&>(Object));
        std::string Text = "(";
        for (int I = 0; I < Gene.EnumerationCount(); ++I) {
            if (I) Text += ' ';
            Text += QuotedStreamString(Gene.Enumerations()[I]);
        }
        return Text + ")";
    };
    Values.SetText = [](TPersistent& Object, std::string_view Text) {
        if (Text.size() < 2 || Text.front() != '(' || Text.back() != ')')
            throw EReadError(std::string(SInvalidPropertyValue));
        TStringList Read;
        Text = Text.substr(1, Text.size() - 2);
        while (!Text.empty()) {
            // One quoted item runs to the next blank outside quotes.
            std::size_t End = 0;
            bool Quoted = false;
            while (End < Text.size() && (Quoted || Text[End] != ' '))
                Quoted ^= Text[End++] == '\'';
            if (End > 0) Read.Add(UnquotedStreamString(Text.substr(0, End)));
            Text.remove_prefix(End < Text.size() ? End + 1 : End);
        }
        dynamic_cast<TAxGAGene&>(Object).SetEnumerations(Read);
    };
    Values.IsStored = [](const TPersistent& Object) {
        return dynamic_cast<const TAxGAGene&>(Object).IsEnumeration();
    };
    List.push_back(std::move(Values));
    List.push_back(Published("MaxValue", &G::MaxValue, &G::SetMaxValue));
    List.push_back(Published("MinValue", &G::MinValue, &G::SetMinValue));
    List.push_back(
        PublishedDefault("PreserveSignBit", &G::PreserveSignBit, &G::SetPreserveSignBit, false));
}

} // namespace ax
