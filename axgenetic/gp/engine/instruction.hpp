// Instructions, the primitives evolved programs are written in, and the instruction set
// that owns them.
//
// A variable reads its value from the context by Name, a constant returns its node's own
// value, a function returns what its OnExecute handler computes. The handler evaluates the
// arguments it needs itself (Node.GetChild(i)->Execute(Context)), in the order it likes,
// and may skip some: laziness is the handler's decision, never the engine's.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "axgenetic/core/types.hpp"
#include "axgenetic/gp/engine/engine.hpp"
#include "axgenetic/gp/engine/values.hpp"
#include "axgenetic/platform/collection.hpp"
#include "axgenetic/platform/enum_names.hpp"
#include "axgenetic/platform/variant.hpp"

namespace ax {

class TStringList;
class IXMLNode;
class IXMLGPInstructions;
template <class T> class TAxGPNode;
template <class T> class TAxGPInstructions;

// Computes or adjusts the result of executing Node: aResult arrives with the default
// result (the variable's value, the node's constant, or zero/empty for a function).
// Sender is the instruction.
template <class T>
using TNodeEvent =
    std::function<void(TObject* Sender, TAxGPNode<T>& Node, TAxGPContext<T>& Context, T& aResult)>;
using TNotifyEvent = std::function<void(TObject* Sender)>;

// One primitive of the program language; an item of a TAxGPInstructions<T>.
template <class T> class AXGENETIC_API TAxGPInstruction : public TCollectionItem {
public:
    static constexpr const char* StaticClassName = "TAxGPInstruction";
    // Arity 0, no name or comment, a variable, Value zero (empty for Variant), no handlers.
    TAxGPInstruction() = default;
    std::string ClassName() const override { return StaticClassName; }

    // The owning set, or nullptr.
    TAxGPInstructions<T>* Collection() const;

    std::int32_t Arity() const { return FArity; }
    // Negative values become 0, values above the engine's MaxNodeArity become that; a
    // positive arity makes the instruction a function. Reports the change to the set.
    void SetArity(std::int32_t Value);
    const std::string& Name() const { return FName; }
    // Refuses a name the set already holds, ignoring letter case (so also a case-only
    // rename of the instruction's own name) with EGPException SInstructionNotUnique.
    void SetName(const std::string& Value);
    const std::string& Comment() const { return FComment; }
    void SetComment(const std::string& Value) { FComment = Value; }
    TGPGeneticInstruction Operation() const { return FOperation; }
    // A kind other than gpFunction forces Arity 0; the set is told of the new kind.
    void SetOperation(TGPGeneticInstruction Value);
    // The constant's value, copied into every node made for the instruction.
    const T& Value() const { return FValue; }
    void SetValue(const T& Value) { FValue = Value; }

    const TNodeEvent<T>& OnExecute() const { return FOnExecute; }
    void SetOnExecute(TNodeEvent<T> Value) { FOnExecute = std::move(Value); }
    const TNotifyEvent& OnInitialize() const { return FOnInitialize; }
    void SetOnInitialize(TNotifyEvent Value) { FOnInitialize = std::move(Value); }

    // Too few children for Arity raise EGPException SInvalidNumInstructionArgs before
    // anything runs; more are accepted. Then the default result by kind, then OnExecute.
    virtual T Execute(TAxGPNode<T>& Node, TAxGPContext<T>& Context);
    // Fires OnInitialize.
    virtual void Initialize();
    // Copies OnInitialize and OnExecute from another instruction of the same value type.
    virtual void AssignEvents(const TPersistent& Source);

    // From another instruction: Name, Comment, Arity and Value as stored (no checks), then
    // Operation through its setter; handlers are not copied.
    void Assign(const TPersistent& Source) override;
    // Name, or the class name while unnamed.
    std::string DisplayName() const override;
    // Display name, the comment in single quotes, and the kind: "x 'abscissa' gpVariable".
    std::string ToString() const override;
    // Arity, Name, Comment and Operation, each stored when not at its default.
    void GetPublishedProperties(std::vector<TPublishedProperty>& List) const override;

    // Appends the instruction's element (Function, Constant or Variable by kind) to a
    // set's element (program_xml.cpp).
    void SaveToXML(const IXMLGPInstructions& Instructions) const;
    // From an instruction element of any kind: Name as written (no uniqueness check),
    // Comment, the kind (a Function's Arity through SetArity; other kinds arity 0), then
    // a constant's value from Constant and FloatConstant elements.
    void LoadFromXML(const IXMLNode& Element);

    // The name with its hash, for exact lookups in a values table.
    const TAxGPHashedName& HashedName() const { return FHashedName; }

protected:
    // The result before OnExecute: the variable's value (zero/empty when the context has
    // none), the node's own value for a constant, zero/empty for a function.
    virtual T DoExecute(TAxGPNode<T>& Node, TAxGPContext<T>& Context);
    // Tells the set that the kind changed, then reports the item changed.
    virtual void OperationChanged();

    TNodeEvent<T> FOnExecute;
    std::int32_t FArity = 0;
    std::string FName;
    std::string FComment;
    TGPGeneticInstruction FOperation = TGPGeneticInstruction::gpVariable;
    T FValue{};
    TNotifyEvent FOnInitialize;

private:
    friend class TAxGPInstructions<T>;
    // After FName changed from OldName: the hashed name and the set's index follow.
    void NameChanged(const std::string& OldName);
    TAxGPHashedName FHashedName = ax::HashedName({});
    // The instruction set holding this instruction, kept by the set as the instruction
    // joins and leaves it: every node made or copied asks for it, and a cast per node
    // would cost more than the copy.
    TAxGPInstructions<T>* FSet = nullptr;
};

// The ordered set of instructions a component may place in its trees. It owns them, and
// tells its owner (when that is an engine) of every change.
template <class T>
class AXGENETIC_API TAxGPInstructions : public TTypedCollection<TAxGPInstruction<T>, TOwnedCollection> {
    using TBase = TTypedCollection<TAxGPInstruction<T>, TOwnedCollection>;

public:
    TAxGPInstructions(TPersistent* AOwner, TCollectionItemClass ItemClass);
    std::string ClassName() const override { return "TAxGPInstructions"; }

    // First index whose Name equals Name ignoring letter case, -1 if none.
    int IndexOf(std::string_view Name) const;
    // The instruction IndexOf finds, or nullptr; in constant time for a non-empty name.
    TAxGPInstruction<T>* FindItemName(std::string_view Name) const;
    // As FindItemName, but raises EGPException SUnknownInstruction when absent.
    TAxGPInstruction<T>* GetItemByName(std::string_view Name) const;
    TAxGPInstruction<T>* ItemByName(std::string_view Name) const { return GetItemByName(Name); }
    // One element per instruction, in set order (program_xml.cpp).
    void SaveToXML(const IXMLGPInstructions& Element) const;
    // A merge by name: instructions the document names (letter case ignored) load in
    // place and keep their handlers, new ones are appended (functions, variables, then
    // constants), the others are deleted. Arities outside 0 to 255 are refused first.
    void LoadFromXML(const IXMLGPInstructions& Element);
    // Copies Value's contents into the instruction at Index (the object stays).
    void SetItems(int Index, const TAxGPInstruction<T>& Value);

    // The owner as an engine, or nullptr. (The owner is fixed when the set is made.)
    IAxGeneticProgramEngine<T>* Engine() const { return FEngine; }

    // Tells the engine that Instruction changed its kind.
    virtual void InstructionOperationUpdate(TAxGPInstruction<T>* Instruction);
    // A copy of Source's instructions with their event handlers, in one update batch; a
    // source that is no instruction set of this value type does nothing. (Assign copies
    // without handlers.)
    virtual void AssignAll(const TPersistent& Source);

protected:
    // Into a TStringList: one line per instruction, its display name carrying the
    // instruction as the line's object.
    void AssignTo(TPersistent& Dest) const override;
    void Notify(TCollectionItem* Item, TCollectionNotification Action) override;
    void Update(TCollectionItem* Item) override;

private:
    friend class TAxGPInstruction<T>;
    // Case-insensitive (ASCII) hashing and equality of names, for the index.
    struct TNameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view Name) const;
    };
    struct TNameEqual {
        using is_transparent = void;
        bool operator()(std::string_view A, std::string_view B) const {
            return detail::SameTextAscii(A, B);
        }
    };
    // The name index keeps lookups by name (every node of a loaded program makes one)
    // constant in time, so that loading a document takes time linear in its size.
    void IndexAdd(TAxGPInstruction<T>* Item) const;
    void IndexRemove(TAxGPInstruction<T>* Item, std::string_view Name);
    void RebuildIndex() const;

    IAxGeneticProgramEngine<T>* FEngine;
    // Each non-empty name (letter case ignored) to the first instruction of that name;
    // built when first needed, then kept up to date. Two instructions of one name (only
    // Assign and loads make them) make changes of order invalidate it.
    mutable std::unordered_map<std::string, TAxGPInstruction<T>*, TNameHash, TNameEqual> FIndex;
    mutable bool FIndexValid = false;
    mutable bool FDuplicateNames = false;
};

// Inline: every node made or copied asks for it.
template <class T> inline TAxGPInstructions<T>* TAxGPInstruction<T>::Collection() const {
    TCollection* Set = TCollectionItem::Collection();
    if (FSet && Set == FSet) return FSet;
    return dynamic_cast<TAxGPInstructions<T>*>(Set);
}

extern template class AXGENETIC_API TAxGPInstruction<TGAFloat>;
extern template class AXGENETIC_API TAxGPInstruction<Variant>;
extern template class AXGENETIC_API TAxGPInstructions<TGAFloat>;
extern template class AXGENETIC_API TAxGPInstructions<Variant>;

} // namespace ax
