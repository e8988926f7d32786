// The interfaces through which instruction sets, nodes and individuals reach the component
// that owns them. A GP component or executor derives from IAxGeneticProgramEngine<T> (for
// its own value type) next to its component base; an instruction set finds it with a
// dynamic_cast of its owner. A set whose owner is no engine works without one: no arity
// limit, no notifications, nodes of the default classes.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "axgenetic/platform/collection.hpp"

namespace ax {

template <class T> class TAxGPInstruction;
template <class T> class TAxGPInstructions;
template <class T> class TAxGPNode;
class TComponent;

// Saving and loading a whole program document. The signatures match those of the
// component base, so one override in a GP component serves both. The XML-level
// operations join this interface with the GP document bindings.
class AXGENETIC_API IAxGeneticProgramReaderWriter {
public:
    virtual ~IAxGeneticProgramReaderWriter() = default;
    virtual void LoadFromFile(const std::string& FileName) = 0;
    virtual void LoadFromStream(std::istream& Stream) = 0;
    virtual void SaveToFile(const std::string& FileName) = 0;
    virtual void SaveToStream(std::ostream& Stream) = 0;

protected:
    IAxGeneticProgramReaderWriter() = default;
    IAxGeneticProgramReaderWriter(const IAxGeneticProgramReaderWriter&) = default;
    IAxGeneticProgramReaderWriter& operator=(const IAxGeneticProgramReaderWriter&) = default;
};

// Node creation, the arity limit and the change notifications of an instruction set.
template <class T> class AXGENETIC_API IAxGeneticProgramEngine : public IAxGeneticProgramReaderWriter {
public:
    // A new, empty instruction set owned by the caller (the engine keeps it).
    virtual std::unique_ptr<TAxGPInstructions<T>>
    CreateInstructions(TCollectionItemClass ItemClass) = 0;
    // A new free node of the engine's node class for Instruction (which may be nullptr),
    // its Value taken from the instruction. The caller owns it; attaching it to a parent
    // is Parent.AddChild(std::move(Node)).
    virtual std::unique_ptr<TAxGPNode<T>> CreateNode(TAxGPInstruction<T>* Instruction) = 0;
    // The largest arity a function may have in this engine.
    virtual std::int32_t MaxNodeArity() = 0;
    // After Instruction (nullptr: the whole set) changed.
    virtual void InstructionUpdate(TAxGPInstruction<T>* Instruction) = 0;
    // After Instruction was added (cnAdded), or before it leaves the set (cnExtracting,
    // cnDeleting).
    virtual void InstructionNotify(TAxGPInstruction<T>* Instruction,
                                   TCollectionNotification Action) = 0;
    // After Instruction changed its kind (Operation or Arity).
    virtual void InstructionOperationUpdate(TAxGPInstruction<T>* Instruction) = 0;
    // The engine's current instruction set.
    virtual TAxGPInstructions<T>* GetInstructions() = 0;
    // Copies Instructions into the engine's own set without their event handlers.
    virtual void SetInstructions(const TAxGPInstructions<T>& Instructions) = 0;
};

namespace generics {

// An engine (a GP component or an executor: Base) whose instruction set is a TSet and
// whose nodes are TNodeClass nodes.
template <class T, class Base, class TSet, class TNodeClass> class TAxTypedEngine : public Base {
public:
    // Base's constructor cannot reach these overrides: the set is made again here, while
    // still empty.
    explicit TAxTypedEngine(TComponent* AOwner = nullptr) : Base(AOwner) {
        this->RecreateInstructions();
    }

    TSet* Instructions() const { return static_cast<TSet*>(Base::Instructions()); }
    std::unique_ptr<TAxGPInstructions<T>> CreateInstructions(TCollectionItemClass) override {
        return std::make_unique<TSet>(this);
    }
    std::unique_ptr<TAxGPNode<T>> CreateNode(TAxGPInstruction<T>* Instruction) override {
        return std::make_unique<TNodeClass>(Instruction);
    }
};

} // namespace generics

} // namespace ax
