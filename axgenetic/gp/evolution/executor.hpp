// Executors: light components that hold an instruction set and one program (typically
// the fittest program of a GP run) and execute it, with the program also kept as XML text
// in GPProgramLines.
//
// The program is always made of the executor's own nodes and instructions: a tree set from
// elsewhere (SetGPProgram, Assign) is rebuilt on them, instructions found by name. So an
// executor assigned from a GP component keeps running the fittest program, with the
// instruction handlers it copied, after the component is gone. When an instruction the
// program uses leaves the set, the program goes with it.
//
// The generic class lives in ax::generics because the float executor that derives from it
// carries the same name, ax::TAxCustomGeneticProgrammingExecutor.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "axgenetic/gp/engine/engine.hpp"
#include "axgenetic/gp/engine/float_classes.hpp"
#include "axgenetic/gp/engine/instruction.hpp"
#include "axgenetic/gp/engine/node.hpp"
#include "axgenetic/gp/engine/variant_classes.hpp"
#include "axgenetic/platform/component.hpp"
#include "axgenetic/platform/streaming.hpp"
#include "axgenetic/platform/string_list.hpp"
#include "axgenetic/xml/genetic_program_xml.hpp"

namespace ax {

namespace generics {

template <class T>
class AXGENETIC_API TAxCustomGeneticProgrammingExecutor : public TComponent, public IAxGeneticProgramEngine<T> {
public:
    using TNode = TAxGPNode<T>;
    using TNodePtr = std::unique_ptr<TNode>;
    using TInstruction = TAxGPInstruction<T>;

    explicit TAxCustomGeneticProgrammingExecutor(TComponent* AOwner = nullptr);
    ~TAxCustomGeneticProgrammingExecutor() override;
    std::string ClassName() const override { return "TAxCustomGeneticProgrammingExecutor"; }

    // nullptr until a program is set, parsed, assigned or loaded.
    TNode* GPProgram() const { return FGPProgram.get(); }
    // A copy of Node's tree on this executor's instructions (EGPException "Unknown
    // instruction" for a name the set does not hold); the lines are cleared.
    void SetGPProgram(const TNode& Node);
    TAxGPInstructions<T>* Instructions() const { return FInstructions.get(); }
    // Copies Value's instructions with their handlers.
    void SetInstructions(const TAxGPInstructions<T>& Value) override;
    // The program as XML text, generated first when empty while there is a program.
    TStringList& GPProgramLines();
    // Copies the lines; in design mode they are parsed at once.
    void SetGPProgramLines(const TStringList& Value);

    // Writes the program into GPProgramLines (nothing without a program): a "GPDomain"
    // document whose population holds one individual, the program as its DNA.
    virtual void GenerateXML();
    // Replaces the program by the one GPProgramLines holds: the DNA of the first
    // individual of a "GPDomain" document (or of a "Population" document). Without
    // instructions nothing happens; empty lines, or a document without individual, leave
    // no program. A text that fails changes nothing.
    virtual void Parse();
    // The program's result, or zero (empty) without a program. A function of the program
    // without an OnExecute handler raises EGPException SNoInstructionHandler first (a
    // program loaded before the host set its handlers).
    virtual T Execute(TAxGPContext<T>& Context) const;

    // From an executor: its instructions (with handlers) and a copy of its program. From a
    // GP component of the same value type: its instructions (with handlers) and, when it
    // has one, a copy of its fittest individual's tree. The lines are cleared.
    void Assign(const TPersistent& Source) override;

    // --- the engine ------------------------------------------------------------------------
    std::unique_ptr<TAxGPInstructions<T>>
    CreateInstructions(TCollectionItemClass ItemClass) override;
    TNodePtr CreateNode(TInstruction* Instruction) override;
    std::int32_t MaxNodeArity() override { return 2147483647; }
    void InstructionUpdate(TInstruction*) override {}
    // Drops the program when an instruction it uses leaves the set.
    void InstructionNotify(TInstruction* Instruction, TCollectionNotification Action) override;
    void InstructionOperationUpdate(TInstruction*) override {}
    TAxGPInstructions<T>* GetInstructions() override { return FInstructions.get(); }

    // --- documents: a "GeneticProgram" document holding only its "Domain" ------------------
    void LoadFromFile(const std::string& FileName) override;
    void LoadFromStream(std::istream& Stream) override;
    void SaveToFile(const std::string& FileName) override;
    void SaveToStream(std::ostream& Stream) override;
    virtual void LoadFromXML(const IXMLGeneticProgram& Document);
    // The document's instructions, when it holds any, replace the set (a merge by name:
    // handlers of the instructions kept); then the first individual's DNA is the program.
    // The whole domain is checked first: a failed load changes nothing.
    virtual void LoadFromXML(const IXMLGPDomainType& Domain);
    virtual void LoadFromXML(const IXMLGPInstructions& Instructions);
    virtual void SaveToXML(const IXMLGeneticProgram& Document);
    virtual void SaveToXML(const IXMLGPDomainType& Domain);
    virtual void SaveToXML(const IXMLGPInstructions& Instructions);

    void GetPublishedProperties(TPublishedProperties& List) const override;

protected:
    // Replaces the (still empty) instruction set by one made by the actual
    // CreateInstructions; concrete classes call it in their constructors.
    void RecreateInstructions();

private:
    // A program read from the DNA of Population's first individual (nullptr: none).
    TNodePtr ReadProgram(const IXMLGPPopulation& Population);
    bool ProgramUses(const TInstruction* Instruction) const;
    void CheckHandlers() const;

    TNodePtr FGPProgram;
    std::unique_ptr<TAxGPInstructions<T>> FInstructions;
    TStringList FGPProgramLines;
};

extern template class TAxCustomGeneticProgrammingExecutor<TGAFloat>;
extern template class TAxCustomGeneticProgrammingExecutor<Variant>;

// An executor whose instruction set is a TSet and whose nodes are TNodeClass nodes.
template <class T, class TSet, class TNodeClass>
class AXGENETIC_API TAxTypedGeneticProgrammingExecutor
    : public TAxTypedEngine<T, TAxCustomGeneticProgrammingExecutor<T>, TSet, TNodeClass> {
    using TBase = TAxTypedEngine<T, TAxCustomGeneticProgrammingExecutor<T>, TSet, TNodeClass>;

public:
    using TBase::TBase;
};

} // namespace generics

// Float programs over TAxGPFloatNode trees.
class AXGENETIC_API TAxCustomGeneticProgrammingExecutor
    : public generics::TAxTypedGeneticProgrammingExecutor<TGAFloat, TAxGPFloatInstructions,
                                                          TAxGPFloatNode> {
public:
    using TAxTypedGeneticProgrammingExecutor::TAxTypedGeneticProgrammingExecutor;
    std::string ClassName() const override { return "TAxCustomGeneticProgrammingExecutor"; }
};

class AXGENETIC_API TAxGeneticProgrammingExecutor : public TAxCustomGeneticProgrammingExecutor {
public:
    using TAxCustomGeneticProgrammingExecutor::TAxCustomGeneticProgrammingExecutor;
    std::string ClassName() const override { return "TAxGeneticProgrammingExecutor"; }
};

// Variant programs over TAxGPVariantNode trees.
class AXGENETIC_API TAxCustomGeneticProgrammingVariantExecutor
    : public generics::TAxTypedGeneticProgrammingExecutor<Variant, TAxGPVariantInstructions,
                                                          TAxGPVariantNode> {
public:
    using TAxTypedGeneticProgrammingExecutor::TAxTypedGeneticProgrammingExecutor;
    std::string ClassName() const override { return "TAxCustomGeneticProgrammingVariantExecutor"; }
};

class AXGENETIC_API TAxGeneticProgrammingVariantExecutor : public TAxCustomGeneticProgrammingVariantExecutor {
public:
    using TAxCustomGeneticProgrammingVariantExecutor::TAxCustomGeneticProgrammingVariantExecutor;
    std::string ClassName() const override { return "TAxGeneticProgrammingVariantExecutor"; }
};

} // namespace ax
