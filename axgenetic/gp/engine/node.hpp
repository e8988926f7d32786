// Program trees.
//
// Ownership is carried by the types: a free node (a root, or a subtree taken out of a
// tree) lives in a std::unique_ptr; an attached node is owned by its parent and reached
// through raw observer pointers. Attaching takes a unique_ptr by rvalue reference and
// takes it over only when it succeeds (a refused node stays with the caller); detaching
// returns one. An attached node moves to another parent in one call (MoveTo). Nodes
// refer to their instruction without owning it.
//
// Every structural change calls Modified(), which forgets the cached Size and Depth of the
// node and of its ancestors (one walk up), so measuring stays cheap between changes.
//
// Child slots: a tree node's slots are its children in order; a binary node has two slots,
// Left (0) and Right (1), either of which may be empty. GetChildCount counts the occupied
// slots, GetChild(i) gives slot i (nullptr for an empty binary slot), and every walk of
// the engine (Size, Depth, ToString, IndexOf, copying, compiling) visits the slots in
// order and skips empty ones, so a binary node holding only Right reports Right at index 1.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <typeinfo>
#include <vector>

#include "axgenetic/core/types.hpp"
#include "axgenetic/gp/engine/instruction.hpp"
#include "axgenetic/gp/engine/node_memory.hpp"
#include "axgenetic/gp/engine/values.hpp"
#include "axgenetic/platform/object.hpp"
#include "axgenetic/platform/variant.hpp"

namespace ax {

// Raised by MoveTo on a node that has no parent: its owner is unknown here, so only the
// owner can hand it over (with AddChild).
inline constexpr std::string_view SNodeWithoutParent =
    "A node without parent cannot move; attach it with AddChild";
// The platform's invalid type-cast message, raised when a binary node is offered a node
// of another shape.
inline constexpr std::string_view SInvalidClassTypecast = "Invalid class typecast";

template <class T> class TAxGPTreeNode;
template <class T> class TAxGPChildReader;

// One node of a program tree: an instruction reference, an own value, cached measures and
// the shape operations.
template <class T> class AXGENETIC_API TAxGPNode : public TPersistent {
public:
    using TNodePtr = std::unique_ptr<TAxGPNode<T>>;

    static void* operator new(std::size_t Size) { return detail::AllocateNode(Size); }
    static void operator delete(void* Block, std::size_t Size) noexcept {
        detail::FreeNode(Block, Size);
    }
    // Over-aligned node classes take the general allocator.
    static void* operator new(std::size_t Size, std::align_val_t Align) {
        return ::operator new(Size, Align);
    }
    static void operator delete(void* Block, std::size_t, std::align_val_t Align) noexcept {
        ::operator delete(Block, Align);
    }

    ~TAxGPNode() override = default;
    TAxGPNode(const TAxGPNode&) = delete;
    TAxGPNode& operator=(const TAxGPNode&) = delete;

    std::string ClassName() const override { return "TAxGPNode"; }

    TAxGPNode<T>* Parent() const { return FParent; }
    const T& Value() const { return FValue; }
    // Only stores; a value is no structural change.
    virtual void SetValue(const T& Value) { FValue = Value; }
    TAxGPInstruction<T>* Instruction() const { return FInstruction; }
    void SetInstruction(TAxGPInstruction<T>* Value) { FInstruction = Value; }

    // --- creation ---------------------------------------------------------------------
    // A new free node of this tree's kind for Instruction: made by the engine of this
    // node's instruction set when there is one, else of the node's own class.
    virtual TNodePtr CreateNode(TAxGPInstruction<T>* Instruction) const = 0;
    // The same, attached to Parent as by Parent.AddChild; returns the attached node.
    TAxGPNode<T>* CreateNode(TAxGPInstruction<T>* Instruction, TAxGPNode<T>& Parent) const;
    // A deep copy as a free root.
    TNodePtr Clone() const;
    // A deep copy attached under Parent (last child of a tree node, first free slot of a
    // binary node); returns it.
    TAxGPNode<T>* Clone(TAxGPNode<T>& Parent) const;

    // --- shape ------------------------------------------------------------------------
    // Number of occupied child slots.
    virtual int GetChildCount() const = 0;
    // Slot Index; a bad index raises EListError.
    virtual TAxGPNode<T>* GetChild(int Index) const = 0;
    // Number of child slots, empty ones included (a tree node's child count; 2 for a
    // binary node). Walks run over 0..SlotCount() - 1 and skip empty slots.
    virtual int SlotCount() const = 0;
    // Slot of Node among the children, or -1.
    int IndexOf(const TAxGPNode<T>* Node) const;
    // Attaches a free node after the others (tree node) or into the first free slot
    // (binary node); takes Node over only when that succeeds. Returns the attached node.
    virtual TAxGPNode<T>* AddChild(TNodePtr&& Node) = 0;
    // Attaches a free node at Index; see the shapes for what happens to the slot.
    virtual TAxGPNode<T>* InsertChild(int Index, TNodePtr&& Node) = 0;
    // Takes Node out of the children and hands it over as a free node; when Node is no
    // child of this node nothing changes and the result is nullptr. Never frees.
    virtual TNodePtr ExtractChild(TAxGPNode<T>* Node) = 0;
    // Detaches this node from its parent and hands it over; nullptr for a free node (its
    // owner already holds it).
    TNodePtr Detach();
    // Moves this attached node under NewParent in one call, as NewParent.AddChild would
    // place it; a move NewParent refuses leaves the node where it was. Raises
    // SNodeWithoutParent for a free node, and SNodeInsideItself when NewParent is this
    // node or lies below it.
    void MoveTo(TAxGPNode<T>& NewParent);
    // True when this node is Ancestor or lies below it.
    bool IsWithin(const TAxGPNode<T>& Ancestor) const;
    // Forgets the instruction, zeroes the value and frees every child.
    virtual void Clear();
    // True unless the instruction is a function of non-zero arity.
    bool IsTerminal() const;

    // --- measures ---------------------------------------------------------------------
    // 0 for a leaf, else 1 + the deepest child's depth; cached.
    int Depth() const;
    // Nodes in the subtree, this one included; cached.
    int Size() const;
    // Forgets the cached measures of this node and of its ancestors. The walk up stops at
    // the first ancestor that has nothing cached (its own ancestors have nothing cached
    // either), so building a tree node by node stays linear.
    virtual void Modified();

    // --- evaluation and text ----------------------------------------------------------
    // Instruction->Execute(*this, Context); EGPException SNoInstructionAssigned without
    // an instruction. Children are evaluated by the instruction's handler, not here.
    // Evaluation changes nothing in the tree, so a const tree (a hall-of-fame entry, say)
    // runs too; the handler still receives the node as TAxGPNode&, the shape of every
    // OnExecute handler, and must leave the tree as it is.
    T Execute(TAxGPContext<T>& Context) const {
        if (!FInstruction) NoInstruction();
        return FInstruction->Execute(const_cast<TAxGPNode&>(*this), Context);
    }
    // Prefix form: "(Add x 2.5)", a leaf as its label, "nil" for a node without
    // instruction.
    std::string ToString() const override;
    // The label of a variable or constant leaf; empty here.
    virtual std::string ValueToString() const { return {}; }

    // Replaces this node's contents by a deep copy of Source (a node of the same value
    // type; anything else fails with EConvertError). The node keeps its place under its
    // parent. When Source lies below this node, or this node below Source, Source is
    // copied whole before anything changes.
    void Assign(const TPersistent& Source) override;
    // Assign from a node, and the nodes of this tree afterwards in pre-order in PreOrder
    // (its old contents replaced). A copy made of library tree nodes lists its nodes as it
    // makes them, so the tree is not walked a second time.
    void AssignListing(const TAxGPNode<T>& Source, std::vector<TAxGPNode<T>*>& PreOrder);

protected:
    friend class TAxGPChildReader<T>;
    // Inline, as every node made or copied runs it.
    explicit TAxGPNode(TAxGPInstruction<T>* Instruction) : FInstruction(Instruction) {
        if (Instruction) FValue = Instruction->Value();
    }

    // The library's tree-node classes name themselves here; nullptr for every other class.
    // A node whose class is exactly the one it names keeps GetChild, SlotCount, CreateNode
    // and SetValue as the library defines them, so walks may read its child list in place
    // and copies may skip the per-node calls (TAxGPChildReader).
    virtual const std::type_info* LibraryClass() const { return nullptr; }

    // The node the engine of this node's instruction set makes, or nullptr without one.
    TNodePtr EngineNode(TAxGPInstruction<T>* Instruction) const;
    // Assign from a node already known to be one (Clone skips the class check). Fresh: this
    // node was just made for the copy by CreateNode.
    void CopyFrom(const TAxGPNode<T>& From, bool Fresh = false);
    // Copies Source's children under this (childless) node; part of Assign.
    virtual void AssignChildren(const TAxGPNode<T>& Source) = 0;
    // Checks that Node could be attached here by AddChild; raises otherwise.
    virtual void CheckAddChild(const TAxGPNode<T>& Node) const = 0;
    // Raises SNodeInsideItself when the free node Node is this node or one of its
    // ancestors: attaching it would make it its own ancestor. Node stays with the caller.
    void CheckNotAncestor(const TAxGPNode<T>& Node) const;
    // Frees the given subtrees (and empties the pointers) without recursing once per
    // level, so freeing a very deep tree cannot exhaust the stack.
    static void FreeSubtrees(TNodePtr* Subtrees, std::size_t Count);
    // CopyFrom(From, true) on a node just made for the copy.
    static void CopyFresh(TAxGPNode<T>& Target, const TAxGPNode<T>& From) {
        Target.CopyFrom(From, true);
    }
    // Takes Source's cached measures (for a copy of Source's subtree).
    void CopyMeasures(const TAxGPNode<T>& Source) {
        FDepthCache = Source.FDepthCache;
        FSizeCache = Source.FSizeCache;
    }
    // Sets the parent link of a node being attached or detached here.
    static void LinkParent(TAxGPNode<T>& Child, TAxGPNode<T>* Parent) { Child.FParent = Parent; }

private:
    [[noreturn]] static void NoInstruction();

    TAxGPNode<T>* FParent = nullptr;
    T FValue{};
    TAxGPInstruction<T>* FInstruction;
    mutable std::int32_t FDepthCache = 0;
    mutable std::int32_t FSizeCache = 0;
};

namespace detail {

// The children of a tree node, in order and contiguous: up to two in place (most functions
// take one or two arguments), more on the heap. A copied program then costs one
// allocation per node instead of two. The place of the two and the heap block share
// their bytes, so the list takes 24 bytes and a float tree node 64, one cache line.
template <class P> class TChildList {
public:
    TChildList() { ConstructInPlace(); }
    TChildList(const TChildList&) = delete;
    TChildList& operator=(const TChildList&) = delete;
    ~TChildList() {
        if (FInHeap)
            delete[] FStore.Heap.Items;
        else
            DestroyInPlace();
    }

    std::size_t size() const { return FCount; }
    bool empty() const { return FCount == 0; }
    P* data() { return FInHeap ? FStore.Heap.Items : FStore.Inline; }
    const P* data() const { return FInHeap ? FStore.Heap.Items : FStore.Inline; }
    P* begin() { return data(); }
    P* end() { return data() + FCount; }
    P& operator[](std::size_t Index) { return data()[Index]; }
    const P& operator[](std::size_t Index) const { return data()[Index]; }

    void insert(std::size_t Index, P&& Item) {
        if (!FInHeap && FCount < InPlace) {
            for (std::size_t I = FCount; I > Index; --I)
                FStore.Inline[I] = std::move(FStore.Inline[I - 1]);
            FStore.Inline[Index] = std::move(Item);
        } else {
            if (!FInHeap || FCount == FStore.Heap.Capacity) // all move out of place, or grow
                Grow(FInHeap ? FStore.Heap.Capacity * 2 : InPlace * 2);
            P* Items = FStore.Heap.Items;
            for (std::size_t I = FCount; I > Index; --I)
                Items[I] = std::move(Items[I - 1]);
            Items[Index] = std::move(Item);
        }
        ++FCount;
    }
    void push_back(P&& Item) {
        if (FCount < InPlace && !FInHeap) // the common case, inline: no shifting
            FStore.Inline[FCount++] = std::move(Item);
        else
            insert(FCount, std::move(Item));
    }
    void erase(std::size_t Index) {
        P* Items = data();
        for (std::size_t I = Index; I + 1 < FCount; ++I)
            Items[I] = std::move(Items[I + 1]);
        Items[FCount - 1].reset();
        if (--FCount == 0) BackInPlace();
    }
    // Empties the list; its elements must have been given up (moved from) already or
    // are freed here.
    void clear() {
        P* Items = data();
        for (std::size_t I = 0; I < FCount; ++I)
            Items[I].reset();
        FCount = 0;
        BackInPlace();
    }

private:
    static constexpr std::size_t InPlace = 2;

    void ConstructInPlace() {
        for (P& Item : FStore.Inline)
            std::construct_at(&Item);
    }
    void DestroyInPlace() {
        for (P& Item : FStore.Inline)
            std::destroy_at(&Item);
    }
    // The heap holds every child once the list was longer than InPlace, until it is
    // emptied.
    void Grow(std::size_t Capacity) {
        P* Block = new P[Capacity];
        P* Old = data();
        for (std::size_t I = 0; I < FCount; ++I)
            Block[I] = std::move(Old[I]);
        if (FInHeap) {
            delete[] FStore.Heap.Items;
        } else {
            DestroyInPlace();
            FInHeap = true;
        }
        FStore.Heap.Items = Block;
        FStore.Heap.Capacity = static_cast<std::uint32_t>(Capacity);
    }
    void BackInPlace() {
        if (!FInHeap) return;
        delete[] FStore.Heap.Items;
        FInHeap = false;
        ConstructInPlace();
    }

    union TStore {
        TStore() {}
        ~TStore() {}
        P Inline[InPlace];
        struct {
            P* Items;
            std::uint32_t Capacity;
        } Heap;
    } FStore;
    std::uint32_t FCount = 0;
    bool FInHeap = false;
};

} // namespace detail

// A node with any number of children, in order.
template <class T> class AXGENETIC_API TAxGPTreeNode : public TAxGPNode<T> {
public:
    using typename TAxGPNode<T>::TNodePtr;
    explicit TAxGPTreeNode(TAxGPInstruction<T>* Instruction = nullptr)
        : TAxGPNode<T>(Instruction) {}
    // Inline: a leaf, or a node whose children were taken by the freeing loop, has nothing
    // more to do.
    ~TAxGPTreeNode() override {
        if (!FChildren.empty()) this->FreeSubtrees(FChildren.data(), FChildren.size());
    }

    std::string ClassName() const override { return "TAxGPTreeNode"; }

    TNodePtr CreateNode(TAxGPInstruction<T>* Instruction) const override;
    using TAxGPNode<T>::CreateNode;
    int GetChildCount() const override { return static_cast<int>(FChildren.size()); }
    TAxGPNode<T>* GetChild(int Index) const override;
    int SlotCount() const override { return static_cast<int>(FChildren.size()); }
    TAxGPNode<T>* AddChild(TNodePtr&& Node) override;
    // Index 0..count, else EListError and nothing changes.
    TAxGPNode<T>* InsertChild(int Index, TNodePtr&& Node) override;
    TNodePtr ExtractChild(TAxGPNode<T>* Node) override;
    void Clear() override;
    // Frees the children and puts copies of List's nodes in their place.
    void SetChildren(const std::vector<const TAxGPNode<T>*>& List);
    // The children in order, read only.
    std::span<const TNodePtr> Children() const { return {FChildren.data(), FChildren.size()}; }

protected:
    void AssignChildren(const TAxGPNode<T>& Source) override;
    void CheckAddChild(const TAxGPNode<T>&) const override {}
    const std::type_info* LibraryClass() const override { return &typeid(TAxGPTreeNode<T>); }

private:
    friend class TAxGPNode<T>; // frees the children of library tree nodes in one loop
    detail::TChildList<TNodePtr> FChildren;
};

// Tells the walks of the engine (copying, freeing, measuring, flattening, compiling) which
// nodes are of a library tree-node class: their children are read from the list in place
// instead of through a virtual GetChild per slot. Any other node (a binary node, a class
// of the host's) gives nullptr and is walked through its virtual functions. The reader
// remembers the last class it accepted, so for a tree of one class the check is a
// comparison of two pointers per node.
template <class T> class TAxGPChildReader {
public:
    // Node as a tree node of exactly a library class, or nullptr.
    const TAxGPTreeNode<T>* Tree(const TAxGPNode<T>& Node) {
        const std::type_info* Class = &typeid(Node);
        if (Class != FKnown) {
            if (Node.LibraryClass() != Class) return nullptr;
            FKnown = Class;
        }
        return static_cast<const TAxGPTreeNode<T>*>(&Node);
    }

private:
    const std::type_info* FKnown = nullptr;
};

// A node with two child slots, Left (0) and Right (1), each holding a binary node or
// nothing. Offering it a node of another shape raises EInvalidCast.
template <class T> class AXGENETIC_API TAxGPBinaryNode : public TAxGPNode<T> {
public:
    using typename TAxGPNode<T>::TNodePtr;
    explicit TAxGPBinaryNode(TAxGPInstruction<T>* Instruction = nullptr)
        : TAxGPNode<T>(Instruction) {}
    ~TAxGPBinaryNode() override;

    std::string ClassName() const override { return "TAxGPBinaryNode"; }

    TNodePtr CreateNode(TAxGPInstruction<T>* Instruction) const override;
    using TAxGPNode<T>::CreateNode;
    int GetChildCount() const override { return (FLeft ? 1 : 0) + (FRight ? 1 : 0); }
    // 0 is Left, 1 is Right (either may be nullptr); anything else raises EListError.
    TAxGPNode<T>* GetChild(int Index) const override;
    int SlotCount() const override { return 2; }
    // Into Left when empty, else Right when empty; a full node raises EGPException
    // SNodeFull and stays unchanged.
    TAxGPNode<T>* AddChild(TNodePtr&& Node) override;
    // Index 0 or 1 (else EListError): a lone subtree in the other slot is shifted over to
    // make room; a subtree still in the slot is freed; then Node takes the slot.
    TAxGPNode<T>* InsertChild(int Index, TNodePtr&& Node) override;
    TNodePtr ExtractChild(TAxGPNode<T>* Node) override;
    void Clear() override;

    TAxGPBinaryNode<T>* Left() const { return FLeft.get(); }
    TAxGPBinaryNode<T>* Right() const { return FRight.get(); }
    // Replace the slot's subtree by a copy of Node (nullptr empties it); Node stays with its
    // owner. Node must not lie inside the subtree being replaced.
    void SetLeft(const TAxGPNode<T>* Node) { SetSlot(FLeft, Node); }
    void SetRight(const TAxGPNode<T>* Node) { SetSlot(FRight, Node); }

protected:
    void AssignChildren(const TAxGPNode<T>& Source) override;
    void CheckAddChild(const TAxGPNode<T>& Node) const override;

private:
    using TBinaryPtr = std::unique_ptr<TAxGPBinaryNode<T>>;
    // Node as a binary node, taken over; EInvalidCast (Node left alone) otherwise.
    static TBinaryPtr AsBinary(TNodePtr&& Node);
    TAxGPNode<T>* Place(TBinaryPtr& Slot, TBinaryPtr Node);
    void SetSlot(TBinaryPtr& Slot, const TAxGPNode<T>* Node);

    TBinaryPtr FLeft;
    TBinaryPtr FRight;
};

extern template class AXGENETIC_API TAxGPNode<TGAFloat>;
extern template class AXGENETIC_API TAxGPNode<Variant>;
extern template class AXGENETIC_API TAxGPTreeNode<TGAFloat>;
extern template class AXGENETIC_API TAxGPTreeNode<Variant>;
extern template class AXGENETIC_API TAxGPBinaryNode<TGAFloat>;
extern template class AXGENETIC_API TAxGPBinaryNode<Variant>;

} // namespace ax
