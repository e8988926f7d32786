// Typed views of the genetic program document: the shared genetic-document children,
// then the programming reproduction settings and the domain.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstdint>
#include <string>

#include "axgenetic/xml/genetic_document.hpp"
#include "axgenetic/xml/gp_domain_xml.hpp"

namespace ax {

inline constexpr const char* GeneticProgramTag = "GeneticProgram";

// The six mutation weights, one integer element per method; a missing one reads 0.
class AXGENETIC_API IXMLGPReproductionType_MutationWeights : public IXMLNode {
public:
    IXMLGPReproductionType_MutationWeights() = default;
    explicit IXMLGPReproductionType_MutationWeights(IXMLNode Node) : IXMLNode(std::move(Node)) {}

    std::int32_t mmSubtree() const { return ChildValue<std::int32_t>("mmSubtree"); }
    std::int32_t mmReplacement() const { return ChildValue<std::int32_t>("mmReplacement"); }
    std::int32_t mmConstant() const { return ChildValue<std::int32_t>("mmConstant"); }
    std::int32_t mmShrink() const { return ChildValue<std::int32_t>("mmShrink"); }
    std::int32_t mmHoist() const { return ChildValue<std::int32_t>("mmHoist"); }
    std::int32_t mmPoint() const { return ChildValue<std::int32_t>("mmPoint"); }
    void SetmmSubtree(std::int32_t Value) const { SetChildValue("mmSubtree", Value); }
    void SetmmReplacement(std::int32_t Value) const { SetChildValue("mmReplacement", Value); }
    void SetmmConstant(std::int32_t Value) const { SetChildValue("mmConstant", Value); }
    void SetmmShrink(std::int32_t Value) const { SetChildValue("mmShrink", Value); }
    void SetmmHoist(std::int32_t Value) const { SetChildValue("mmHoist", Value); }
    void SetmmPoint(std::int32_t Value) const { SetChildValue("mmPoint", Value); }
};

// The reproduction settings of a genetic program: the shared probabilities and selection
// settings plus the tree methods. A missing element reads as the value named below.
class AXGENETIC_API IXMLGPReproductionType : public IXMLReproductionType {
public:
    IXMLGPReproductionType() = default;
    explicit IXMLGPReproductionType(IXMLNode Node) : IXMLReproductionType(std::move(Node)) {}

    // "cmSubtree", "imFull", "mmSubtree" and "pmmPerNode" when absent.
    std::string CrossoverMethod() const { return TextOr("CrossoverMethod", "cmSubtree"); }
    std::string InitializationMethod() const { return TextOr("InitializationMethod", "imFull"); }
    std::int32_t InitializationDepth() const {
        return ChildValue<std::int32_t>("InitializationDepth");
    }
    std::string MutationMethod() const { return TextOr("MutationMethod", "mmSubtree"); }
    IXMLGPReproductionType_MutationWeights MutationWeights() const {
        return IXMLGPReproductionType_MutationWeights(ChildElement("MutationWeights"));
    }
    double SelectionNonterminalsProbability() const {
        return ChildValue<float>("SelectionNonterminalsProbability");
    }
    std::string PointMutationMethod() const { return TextOr("PointMutationMethod", "pmmPerNode"); }
    double PointMutationProbability() const {
        return ChildValue<float>("PointMutationProbability");
    }

    void SetCrossoverMethod(const std::string& Value) const {
        SetChildValue("CrossoverMethod", Value);
    }
    void SetInitializationMethod(const std::string& Value) const {
        SetChildValue("InitializationMethod", Value);
    }
    void SetInitializationDepth(std::int32_t Value) const {
        SetChildValue("InitializationDepth", Value);
    }
    void SetMutationMethod(const std::string& Value) const {
        SetChildValue("MutationMethod", Value);
    }
    void SetSelectionNonterminalsProbability(double Value) const {
        SetChildValue("SelectionNonterminalsProbability", NarrowToSingle(Value));
    }
    void SetPointMutationMethod(const std::string& Value) const {
        SetChildValue("PointMutationMethod", Value);
    }
    void SetPointMutationProbability(double Value) const {
        SetChildValue("PointMutationProbability", NarrowToSingle(Value));
    }

private:
    std::string TextOr(const char* Name, const char* Missing) const {
        const IXMLNode Found = FindChild(Name);
        return Found ? Found.Text() : std::string(Missing);
    }
};

// The root "GeneticProgram". Reproduction and Domain are created on first access.
class AXGENETIC_API IXMLGeneticProgram : public IXMLGeneticDocumentType {
public:
    IXMLGeneticProgram() = default;
    explicit IXMLGeneticProgram(IXMLNode Node) : IXMLGeneticDocumentType(std::move(Node)) {}

    IXMLGPReproductionType Reproduction() const {
        return IXMLGPReproductionType(ChildElement("Reproduction"));
    }
    IXMLGPDomainType Domain() const { return IXMLGPDomainType(ChildElement("Domain")); }
};

AX_XML_DOCUMENT_KIND(IXMLGeneticProgram, GeneticProgram, GeneticProgramTag)

} // namespace ax
