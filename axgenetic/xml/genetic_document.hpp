// Typed views of the genetic document: the settings and statistics every genetic
// component saves, and the reproduction settings the programming document reuses.
// Floats pass through single precision both ways, so a value read back is the
// single-precision number nearest the one written.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstdint>
#include <iosfwd>
#include <string>

#include "axgenetic/xml/document_kind.hpp"
#include "axgenetic/xml/xml_node.hpp"

namespace ax {

inline constexpr const char* GeneticDocumentTag = "GeneticDocument";

// Method, ElitistPercent and TournamentField of a selection-method element.
class AXGENETIC_API IXMLReproductionType_SelectionMethod : public IXMLNode {
public:
    IXMLReproductionType_SelectionMethod() = default;
    explicit IXMLReproductionType_SelectionMethod(IXMLNode Node) : IXMLNode(std::move(Node)) {}

    std::string Method() const { return ChildValue<std::string>("Method"); }
    double ElitistPercent() const { return ChildValue<float>("ElitistPercent"); }
    std::int32_t TournamentField() const { return ChildValue<std::int32_t>("TournamentField"); }
    void SetMethod(const std::string& Value) const { SetChildValue("Method", Value); }
    void SetElitistPercent(double Value) const {
        SetChildValue("ElitistPercent", NarrowToSingle(Value));
    }
    void SetTournamentField(std::int32_t Value) const { SetChildValue("TournamentField", Value); }
};

// The operator probabilities and the selection settings.
class AXGENETIC_API IXMLReproductionType : public IXMLNode {
public:
    IXMLReproductionType() = default;
    explicit IXMLReproductionType(IXMLNode Node) : IXMLNode(std::move(Node)) {}

    double CrossoverProbability() const { return ChildValue<float>("CrossoverProbability"); }
    double InversionProbability() const { return ChildValue<float>("InversionProbability"); }
    double MutationProbability() const { return ChildValue<float>("MutationProbability"); }
    // Created on first access, so writers can fill it at once.
    IXMLReproductionType_SelectionMethod SelectionMethod() const {
        return IXMLReproductionType_SelectionMethod(ChildElement("SelectionMethod"));
    }
    void SetCrossoverProbability(double Value) const {
        SetChildValue("CrossoverProbability", NarrowToSingle(Value));
    }
    void SetInversionProbability(double Value) const {
        SetChildValue("InversionProbability", NarrowToSingle(Value));
    }
    void SetMutationProbability(double Value) const {
        SetChildValue("MutationProbability", NarrowToSingle(Value));
    }
};

// The root of a genetic document: settings and statistics shared by every component.
class AXGENETIC_API IXMLGeneticDocumentType : public IXMLNode {
public:
    IXMLGeneticDocumentType() = default;
    explicit IXMLGeneticDocumentType(IXMLNode Node) : IXMLNode(std::move(Node)) {}

    double DiversityLimit() const { return ChildValue<float>("DiversityLimit"); }
    double AvgFitness() const { return ChildValue<float>("AvgFitness"); }
    double MaxFitness() const { return ChildValue<float>("MaxFitness"); }
    double MinFitness() const { return ChildValue<float>("MinFitness"); }
    double FitnessCutoff() const { return ChildValue<float>("FitnessCutoff"); }
    std::string FitnessMethod() const { return ChildValue<std::string>("FitnessMethod"); }
    std::int32_t Generation() const { return ChildValue<std::int32_t>("Generation"); }
    bool UseDiversityLimit() const { return ChildValue<bool>("UseDiversityLimit"); }
    bool UseFitnessCutoff() const { return ChildValue<bool>("UseFitnessCutoff"); }
    std::uint32_t GenerationLimit() const { return ChildValue<std::uint32_t>("GenerationLimit"); }
    bool UseGenerationLimit() const { return ChildValue<bool>("UseGenerationLimit"); }

    // Reads the shared and reproduction values every component's load converts, so that a
    // bad one raises before the load changes anything.
    void CheckSharedValues() const {
        DiversityLimit();
        FitnessCutoff();
        Generation();
        GenerationLimit();
        const IXMLReproductionType Reproduction(FindChild("Reproduction"));
        Reproduction.CrossoverProbability();
        Reproduction.InversionProbability();
        Reproduction.MutationProbability();
        const IXMLReproductionType_SelectionMethod Selection(Reproduction.FindChild("SelectionMethod"));
        Selection.ElitistPercent();
        Selection.TournamentField();
    }

    void SetDiversityLimit(double Value) const {
        SetChildValue("DiversityLimit", NarrowToSingle(Value));
    }
    void SetAvgFitness(double Value) const { SetChildValue("AvgFitness", NarrowToSingle(Value)); }
    void SetMaxFitness(double Value) const { SetChildValue("MaxFitness", NarrowToSingle(Value)); }
    void SetMinFitness(double Value) const { SetChildValue("MinFitness", NarrowToSingle(Value)); }
    void SetFitnessCutoff(double Value) const {
        SetChildValue("FitnessCutoff", NarrowToSingle(Value));
    }
    void SetFitnessMethod(const std::string& Value) const { SetChildValue("FitnessMethod", Value); }
    void SetGeneration(std::int32_t Value) const { SetChildValue("Generation", Value); }
    void SetUseDiversityLimit(bool Value) const { SetChildValue("UseDiversityLimit", Value); }
    void SetUseFitnessCutoff(bool Value) const { SetChildValue("UseFitnessCutoff", Value); }
    void SetGenerationLimit(std::uint32_t Value) const { SetChildValue("GenerationLimit", Value); }
    void SetUseGenerationLimit(bool Value) const { SetChildValue("UseGenerationLimit", Value); }
};

// NewGeneticDocument (version "1.0", an empty "GeneticDocument" root), LoadGeneticDocument
// from a file or a stream (EFOpenError for a file that does not open, EXMLParseError for
// text that does not parse or a root of another name) and GetGeneticDocument.
AX_XML_DOCUMENT_KIND(IXMLGeneticDocumentType, GeneticDocument, GeneticDocumentTag)

} // namespace ax
