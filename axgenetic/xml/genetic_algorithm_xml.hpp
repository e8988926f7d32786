// Typed views of the genetic algorithm document: the shared genetic-document children,
// then the reproduction settings and the domain.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <iosfwd>
#include <string>

#include "axgenetic/xml/ga_domain_xml.hpp"
#include "axgenetic/xml/genetic_document.hpp"

namespace ax {

inline constexpr const char* GeneticAlgorithmTag = "GeneticAlgorithm";

// The reproduction settings of a genetic algorithm: the crossover method, then the
// shared probabilities and selection settings.
class AXGENETIC_API IXMLGAReproductionType : public IXMLReproductionType {
public:
    IXMLGAReproductionType() = default;
    explicit IXMLGAReproductionType(IXMLNode Node) : IXMLReproductionType(std::move(Node)) {}

    // "cmGeneBoundary" when the element is absent.
    std::string CrossoverMethod() const {
        const IXMLNode Found = FindChild("CrossoverMethod");
        return Found ? Found.Text() : std::string("cmGeneBoundary");
    }
    void SetCrossoverMethod(const std::string& Value) const {
        SetChildValue("CrossoverMethod", Value);
    }
};

// The root "GeneticAlgorithm". Reproduction and Domain are created on first access.
class AXGENETIC_API IXMLGeneticAlgorithmType : public IXMLGeneticDocumentType {
public:
    IXMLGeneticAlgorithmType() = default;
    explicit IXMLGeneticAlgorithmType(IXMLNode Node) : IXMLGeneticDocumentType(std::move(Node)) {}

    IXMLGAReproductionType Reproduction() const {
        return IXMLGAReproductionType(ChildElement("Reproduction"));
    }
    IXMLGADomainType Domain() const { return IXMLGADomainType(ChildElement("Domain")); }
};

AX_XML_DOCUMENT_KIND(IXMLGeneticAlgorithmType, GeneticAlgorithm, GeneticAlgorithmTag)

} // namespace ax
