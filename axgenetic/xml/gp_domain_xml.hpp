// Typed views of a genetic program's domain: the instruction set (one element per
// instruction, by kind), the individuals with their program trees, and the population.
// A stand-alone domain document has the root "GPDomain"; the genetic program document
// holds the same content in its "Domain" element.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstdint>
#include <string>

#include "axgenetic/xml/document_kind.hpp"
#include "axgenetic/xml/xml_node.hpp"

namespace ax {

inline constexpr const char* GPDomainTag = "GPDomain";
inline constexpr const char* GPInstructionsTag = "Instructions";
inline constexpr const char* GPPopulationTag = "Population";

// Name and Comment attributes, common to every instruction element.
class AXGENETIC_API IXMLInstructionType : public IXMLNode {
public:
    IXMLInstructionType() = default;
    explicit IXMLInstructionType(IXMLNode Node) : IXMLNode(std::move(Node)) {}

    std::string Name() const { return AttributeText("Name"); }
    std::string Comment() const { return AttributeText("Comment"); }
    void SetName(const std::string& Value) const { SetAttributeText("Name", Value); }
    void SetComment(const std::string& Value) const { SetAttributeText("Comment", Value); }
};

class AXGENETIC_API IXMLVariableInstructionType : public IXMLInstructionType {
public:
    using IXMLInstructionType::IXMLInstructionType;
};

// A function: its Arity attribute, 0 to 255 in a document.
class AXGENETIC_API IXMLFunctionInstructionType : public IXMLInstructionType {
public:
    using IXMLInstructionType::IXMLInstructionType;

    std::int32_t Arity() const { return AttributeValue<std::int32_t>("Arity"); }
    void SetArity(std::int32_t Value) const { SetAttributeValue("Arity", Value); }
};

// A constant (also the FloatConstant and VariantConstant forms): its Value child as text.
class AXGENETIC_API IXMLConstantInstructionType : public IXMLInstructionType {
public:
    using IXMLInstructionType::IXMLInstructionType;

    std::string Value() const { return ChildText("Value"); }
    void SetValue(const std::string& Value) const { SetChildText("Value", Value); }
};

using IXMLDecimalConstantInstructionType = IXMLConstantInstructionType;
using IXMLVariantConstantInstructionType = IXMLConstantInstructionType;

// The instruction set. The lists of one kind add new elements behind every other child,
// so a saved set keeps its order whatever the kinds.
class AXGENETIC_API IXMLGPInstructions : public IXMLNode {
public:
    IXMLGPInstructions() = default;
    explicit IXMLGPInstructions(IXMLNode Node) : IXMLNode(std::move(Node)) {}

    TXMLNodeList<IXMLFunctionInstructionType> Function() const { return {*this, "Function"}; }
    TXMLNodeList<IXMLConstantInstructionType> FloatConstant() const {
        return {*this, "FloatConstant"};
    }
    TXMLNodeList<IXMLConstantInstructionType> VariantConstant() const {
        return {*this, "VariantConstant"};
    }
    TXMLNodeList<IXMLConstantInstructionType> Constant() const { return {*this, "Constant"}; }
    TXMLNodeList<IXMLVariableInstructionType> Variable() const { return {*this, "Variable"}; }
};

// One node of a program: the Instruction attribute, the Value of a constant and one Child
// element per child, in child order. DNA holds the root, each Child a subtree.
class AXGENETIC_API IXMLDnaType : public IXMLNode {
public:
    IXMLDnaType() = default;
    explicit IXMLDnaType(IXMLNode Node) : IXMLNode(std::move(Node)) {}

    std::string Instruction() const { return AttributeText("Instruction"); }
    void SetInstruction(const std::string& Value) const { SetAttributeText("Instruction", Value); }
    std::string Value() const { return ChildText("Value"); }
    void SetValue(const std::string& Value) const { SetChildText("Value", Value); }
    TXMLNodeList<IXMLDnaType> Child() const { return {*this, "Child"}; }
};

// One individual: Name, Fitness (single precision) and DNA.
class AXGENETIC_API IXMLIndividualType : public IXMLNode {
public:
    IXMLIndividualType() = default;
    explicit IXMLIndividualType(IXMLNode Node) : IXMLNode(std::move(Node)) {}

    std::string Name() const { return ChildValue<std::string>("Name"); }
    double Fitness() const { return ChildValue<float>("Fitness"); }
    IXMLDnaType DNA() const { return IXMLDnaType(ChildElement("DNA")); }
    void SetName(const std::string& Value) const { SetChildValue("Name", Value); }
    void SetFitness(double Value) const { SetChildValue("Fitness", NarrowToSingle(Value)); }
};

// The population: one Individual per individual, in population order.
class AXGENETIC_API IXMLGPPopulation : public IXMLNode {
public:
    IXMLGPPopulation() = default;
    explicit IXMLGPPopulation(IXMLNode Node) : IXMLNode(std::move(Node)) {}

    TXMLNodeList<IXMLIndividualType> Individual() const { return {*this, "Individual"}; }
    int Count() const { return Individual().Count(); }
    IXMLIndividualType Add() const { return Individual().Add(); }
    IXMLIndividualType Insert(int Index) const { return Individual().Insert(Index); }
    IXMLIndividualType Items(int Index) const { return Individual().Items(Index); }
    IXMLIndividualType operator[](int Index) const { return Items(Index); }
};

// Instructions, fittest individual and population, each created on first access.
class AXGENETIC_API IXMLGPDomainType : public IXMLNode {
public:
    IXMLGPDomainType() = default;
    explicit IXMLGPDomainType(IXMLNode Node) : IXMLNode(std::move(Node)) {}

    IXMLGPInstructions Instructions() const {
        return IXMLGPInstructions(ChildElement("Instructions"));
    }
    IXMLIndividualType FittestIndividual() const {
        return IXMLIndividualType(ChildElement("FittestIndividual"));
    }
    IXMLGPPopulation Population() const { return IXMLGPPopulation(ChildElement("Population")); }
};

// Stand-alone documents of a domain, an instruction set and a population; each binds its
// root under its own element name.
AX_XML_DOCUMENT_KIND(IXMLGPDomainType, GPDomain, GPDomainTag)
AX_XML_DOCUMENT_KIND(IXMLGPInstructions, GPInstructions, GPInstructionsTag)
AX_XML_DOCUMENT_KIND(IXMLGPPopulation, GPPopulation, GPPopulationTag)

} // namespace ax
