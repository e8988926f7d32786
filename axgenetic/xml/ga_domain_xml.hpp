// Typed views of a genetic algorithm's domain: the genotype (one gene element per gene,
// in gene order, whatever their kinds) and the chromosomes (one per individual).
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstdint>
#include <iosfwd>
#include <string>

#include "axgenetic/xml/document_kind.hpp"
#include "axgenetic/xml/xml_node.hpp"

namespace ax {

inline constexpr const char* GADomainTag = "GADomain";
inline constexpr const char* GenoTypeTag = "GenoType";
inline constexpr const char* ChromosomesTag = "Chromosomes";

// Name and Size, common to every gene element.
class AXGENETIC_API IXMLGeneType : public IXMLNode {
public:
    IXMLGeneType() = default;
    explicit IXMLGeneType(IXMLNode Node) : IXMLNode(std::move(Node)) {}

    std::string Name() const { return ChildValue<std::string>("Name"); }
    std::int32_t Size() const { return ChildValue<std::int32_t>("Size"); }
    void SetName(const std::string& Value) const { SetChildValue("Name", Value); }
    void SetSize(std::int32_t Value) const { SetChildValue("Size", Value); }
};

class AXGENETIC_API IXMLBooleanGeneType : public IXMLGeneType {
public:
    using IXMLGeneType::IXMLGeneType;
};

// A gene with a value range: integer, float and enumeration genes.
class AXGENETIC_API IXMLNumericGeneType : public IXMLGeneType {
public:
    using IXMLGeneType::IXMLGeneType;

    double MinValue() const { return ChildValue<double>("MinValue"); }
    double MaxValue() const { return ChildValue<double>("MaxValue"); }
    bool PreserveSignBit() const { return ChildValue<bool>("PreserveSignBit"); }
    void SetMinValue(double Value) const { SetChildValue("MinValue", Value); }
    void SetMaxValue(double Value) const { SetChildValue("MaxValue", Value); }
    void SetPreserveSignBit(bool Value) const { SetChildValue("PreserveSignBit", Value); }
};

class AXGENETIC_API IXMLIntegerGeneType : public IXMLNumericGeneType {
public:
    using IXMLNumericGeneType::IXMLNumericGeneType;
};

class AXGENETIC_API IXMLFloatGeneType : public IXMLNumericGeneType {
public:
    using IXMLNumericGeneType::IXMLNumericGeneType;
};

// An integer gene plus its enumerated values, one Enumeration element each.
class AXGENETIC_API IXMLEnumerationGeneType : public IXMLNumericGeneType {
public:
    using IXMLNumericGeneType::IXMLNumericGeneType;

    TXMLValueList<std::string> Enumeration() const { return {*this, "Enumeration"}; }
};

using IXMLBooleanGeneTypeList = TXMLNodeList<IXMLBooleanGeneType>;
using IXMLIntegerGeneTypeList = TXMLNodeList<IXMLIntegerGeneType>;
using IXMLFloatGeneTypeList = TXMLNodeList<IXMLFloatGeneType>;
using IXMLEnumerationGeneTypeList = TXMLNodeList<IXMLEnumerationGeneType>;

// The genotype: its Size attribute and its gene elements. The lists of one kind add new
// genes behind every other child, so genes keep the order in which they were added.
class AXGENETIC_API IXMLGenoTypeType : public IXMLNode {
public:
    IXMLGenoTypeType() = default;
    explicit IXMLGenoTypeType(IXMLNode Node) : IXMLNode(std::move(Node)) {}

    std::int32_t Size() const { return AttributeValue<std::int32_t>("Size"); }
    void SetSize(std::int32_t Value) const { SetAttributeValue("Size", Value); }

    IXMLBooleanGeneTypeList BooleanGene() const { return {*this, "BooleanGene"}; }
    IXMLIntegerGeneTypeList IntegerGene() const { return {*this, "IntegerGene"}; }
    IXMLFloatGeneTypeList FloatGene() const { return {*this, "FloatGene"}; }
    IXMLEnumerationGeneTypeList EnumerationGene() const { return {*this, "EnumerationGene"}; }
};

// The chromosome's bits, then one value element per typed gene, in gene order. The value
// elements are written for readers; loading uses only Bits.
class AXGENETIC_API IXMLGenesType : public IXMLNode {
public:
    IXMLGenesType() = default;
    explicit IXMLGenesType(IXMLNode Node) : IXMLNode(std::move(Node)) {}

    std::string Bits() const { return ChildValue<std::string>("Bits"); }
    void SetBits(const std::string& Value) const { SetChildValue("Bits", Value); }

    TXMLValueList<bool> BooleanGeneValue() const { return {*this, "BooleanGeneValue"}; }
    TXMLValueList<std::int32_t> IntegerGeneValue() const { return {*this, "IntegerGeneValue"}; }
    TXMLValueList<float> FloatGeneValue() const { return {*this, "FloatGeneValue"}; }
    TXMLValueList<std::string> EnumerationGeneValue() const {
        return {*this, "EnumerationGeneValue"};
    }
};

// One individual: Name, Fitness (single precision) and Genes.
class AXGENETIC_API IXMLChromosomeType : public IXMLNode {
public:
    IXMLChromosomeType() = default;
    explicit IXMLChromosomeType(IXMLNode Node) : IXMLNode(std::move(Node)) {}

    std::string Name() const { return ChildValue<std::string>("Name"); }
    double Fitness() const { return ChildValue<float>("Fitness"); }
    IXMLGenesType Genes() const { return IXMLGenesType(ChildElement("Genes")); }
    void SetName(const std::string& Value) const { SetChildValue("Name", Value); }
    void SetFitness(double Value) const { SetChildValue("Fitness", NarrowToSingle(Value)); }
};

// The population: one Chromosome per individual, in population order.
class AXGENETIC_API IXMLChromosomesType : public IXMLNode {
public:
    IXMLChromosomesType() = default;
    explicit IXMLChromosomesType(IXMLNode Node) : IXMLNode(std::move(Node)) {}

    TXMLNodeList<IXMLChromosomeType> Chromosome() const { return {*this, "Chromosome"}; }
    int Count() const { return Chromosome().Count(); }
    IXMLChromosomeType Add() const { return Chromosome().Add(); }
    IXMLChromosomeType Insert(int Index) const { return Chromosome().Insert(Index); }
    IXMLChromosomeType Items(int Index) const { return Chromosome().Items(Index); }
    IXMLChromosomeType operator[](int Index) const { return Items(Index); }
};

// Genotype, fittest individual and population. Each child is created on first access.
class AXGENETIC_API IXMLGADomainType : public IXMLNode {
public:
    IXMLGADomainType() = default;
    explicit IXMLGADomainType(IXMLNode Node) : IXMLNode(std::move(Node)) {}

    IXMLGenoTypeType GenoType() const { return IXMLGenoTypeType(ChildElement("GenoType")); }
    IXMLChromosomeType FittestIndividual() const {
        return IXMLChromosomeType(ChildElement("FittestIndividual"));
    }
    IXMLChromosomesType Chromosomes() const {
        return IXMLChromosomesType(ChildElement("Chromosomes"));
    }
};

// Document functions for documents whose root is a domain, a genotype or chromosomes.
AX_XML_DOCUMENT_KIND(IXMLGADomainType, GADomain, GADomainTag)
AX_XML_DOCUMENT_KIND(IXMLGenoTypeType, GenoType, GenoTypeTag)
AX_XML_DOCUMENT_KIND(IXMLChromosomesType, Chromosomes, ChromosomesTag)

} // namespace ax
