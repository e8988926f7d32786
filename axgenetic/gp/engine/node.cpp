#include "axgenetic/gp/engine/node.hpp"

#include <algorithm>
#include <typeinfo>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/messages.hpp"
#include "axgenetic/platform/exceptions.hpp"

namespace ax {

// --- node memory ------------------------------------------------------------------------

namespace detail {

namespace {

#if defined(__SANITIZE_ADDRESS__)
#define AX_NODE_CACHE 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define AX_NODE_CACHE 0
#endif
#endif
#ifndef AX_NODE_CACHE
#define AX_NODE_CACHE 1
#endif

#if AX_NODE_CACHE
// Blocks are kept per size class of 16 bytes up to MaxCachedSize, at most MaxBlocks per
// class and thread; a freed block is linked through its first bytes.
constexpr std::size_t Granule = 16, MaxCachedSize = 256, MaxBlocks = 1 << 16;
constexpr std::size_t Classes = MaxCachedSize / Granule;

struct TFreeBlock {
    TFreeBlock* Next;
};

// Trivially destructible, so it can still be read while the thread's other objects are
// destroyed: Closed then sends every block back to the general allocator.
struct TNodeCache {
    TFreeBlock* Heads[Classes];
    std::uint32_t Counts[Classes];
    bool Armed;
    bool Closed;
};
constinit thread_local TNodeCache Cache{};

void ReleaseCache() noexcept {
    for (std::size_t C = 0; C < Classes; ++C)
        while (TFreeBlock* Block = Cache.Heads[C]) {
            Cache.Heads[C] = Block->Next;
            ::operator delete(Block);
        }
    Cache.Closed = true;
}

// Gives the cached blocks back when the thread ends.
struct TCacheRelease {
    ~TCacheRelease() { ReleaseCache(); }
};

std::size_t SizeClass(std::size_t Size) {
    return (Size + Granule - 1) / Granule - 1;
}
#endif

} // namespace

void* AllocateNode(std::size_t Size) {
#if AX_NODE_CACHE
    if (Size <= MaxCachedSize) {
        const std::size_t C = SizeClass(Size);
        if (TFreeBlock* Block = Cache.Heads[C]) {
            Cache.Heads[C] = Block->Next;
            --Cache.Counts[C];
            return Block;
        }
        return ::operator new((C + 1) * Granule);
    }
#endif
    return ::operator new(Size);
}

void FreeNode(void* Block, std::size_t Size) noexcept {
#if AX_NODE_CACHE
    if (Size <= MaxCachedSize && !Cache.Closed) {
        if (!Cache.Armed) {
            thread_local TCacheRelease Release;
            Cache.Armed = true;
        }
        const std::size_t C = SizeClass(Size);
        if (Cache.Counts[C] < MaxBlocks) {
            Cache.Heads[C] = new (Block) TFreeBlock{Cache.Heads[C]};
            ++Cache.Counts[C];
            return;
        }
    }
#else
    (void)Size;
#endif
    ::operator delete(Block);
}

} // namespace detail

namespace {

[[noreturn]] void IndexError(int Index) {
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

// Computes a cached measure of Root's subtree bottom-up with an explicit stack (no
// recursion per level): a node is finished once none of its children still waits for its
// measure. Leaf is a leaf's measure (a leaf whose measure is 0 never waits), Fold adds a
// child's measure to the running one.
template <class N, class F>
std::int32_t Measure(const N* Root, std::int32_t N::*Cache, std::int32_t Leaf, F Fold) {
    thread_local std::vector<const N*> Stack;
    auto Waits = [&](const N* Node) {
        return Node->*Cache == 0 && (Leaf != 0 || Node->GetChildCount() > 0);
    };
    Stack.clear();
    Stack.push_back(Root);
    while (!Stack.empty()) {
        const N* Node = Stack.back();
        const int Slots = Node->SlotCount();
        bool Ready = true;
        for (int I = 0; I < Slots; ++I)
            if (const N* Child = Node->GetChild(I); Child && Waits(Child)) {
                Stack.push_back(Child);
                Ready = false;
            }
        if (!Ready) continue;
        std::int32_t Result = Leaf;
        for (int I = 0; I < Slots; ++I)
            if (const N* Child = Node->GetChild(I)) Result = Fold(Result, Child->*Cache);
        const_cast<N*>(Node)->*Cache = Result; // the caches are mutable
        Stack.pop_back();
    }
    return Root->*Cache;
}

} // namespace

// --- TAxGPNode ------------------------------------------------------------------------

template <class T>
TAxGPNode<T>::TAxGPNode(TAxGPInstruction<T>* Instruction) : FInstruction(Instruction) {
    if (Instruction) FValue = Instruction->Value();
}

template <class T>
typename TAxGPNode<T>::TNodePtr TAxGPNode<T>::EngineNode(TAxGPInstruction<T>* Instruction) const {
    if (FInstruction)
        if (const auto* Set = FInstruction->Collection())
            if (auto* Engine = Set->Engine()) return Engine->CreateNode(Instruction);
    return nullptr;
}

template <class T>
TAxGPNode<T>* TAxGPNode<T>::CreateNode(TAxGPInstruction<T>* Instruction,
                                       TAxGPNode<T>& Parent) const {
    return Parent.AddChild(CreateNode(Instruction));
}

template <class T> typename TAxGPNode<T>::TNodePtr TAxGPNode<T>::Clone() const {
    TNodePtr Copy = CreateNode(FInstruction);
    Copy->CopyFrom(*this, true);
    return Copy;
}

template <class T> TAxGPNode<T>* TAxGPNode<T>::Clone(TAxGPNode<T>& Parent) const {
    TAxGPNode<T>* Copy = CreateNode(FInstruction, Parent);
    Copy->CopyFrom(*this, true);
    return Copy;
}

template <class T> int TAxGPNode<T>::IndexOf(const TAxGPNode<T>* Node) const {
    if (!Node) return -1;
    const int Slots = SlotCount();
    for (int I = 0; I < Slots; ++I)
        if (GetChild(I) == Node) return I;
    return -1;
}

template <class T> typename TAxGPNode<T>::TNodePtr TAxGPNode<T>::Detach() {
    return FParent ? FParent->ExtractChild(this) : nullptr;
}

template <class T> bool TAxGPNode<T>::IsWithin(const TAxGPNode<T>& Ancestor) const {
    for (const TAxGPNode<T>* Node = this; Node; Node = Node->FParent)
        if (Node == &Ancestor) return true;
    return false;
}

template <class T> void TAxGPNode<T>::CheckNotAncestor(const TAxGPNode<T>& Node) const {
    // A node without children can only be an ancestor of itself: attaching a freshly made
    // node (every copy and every tree construction) costs no walk.
    if (&Node == this || (Node.GetChildCount() != 0 && IsWithin(Node)))
        throw EGPException(std::string(SNodeInsideItself));
}

template <class T> void TAxGPNode<T>::MoveTo(TAxGPNode<T>& NewParent) {
    if (!FParent) throw EGPException(std::string(SNodeWithoutParent));
    if (FParent == &NewParent) return;
    // Below itself the node would own its own ancestor: a cycle nobody frees.
    if (NewParent.IsWithin(*this)) throw EGPException(std::string(SNodeInsideItself));
    NewParent.CheckAddChild(*this); // refuse before anything moves
    NewParent.AddChild(FParent->ExtractChild(this));
}

template <class T> void TAxGPNode<T>::Clear() {
    FInstruction = nullptr;
    FValue = T{};
}

template <class T> bool TAxGPNode<T>::IsTerminal() const {
    return !(FInstruction && FInstruction->Operation() == TGPGeneticInstruction::gpFunction &&
             FInstruction->Arity() != 0);
}

template <class T> int TAxGPNode<T>::Depth() const {
    if (FDepthCache != 0 || GetChildCount() == 0) return FDepthCache;
    return Measure(this, &TAxGPNode<T>::FDepthCache, 0,
                   [](std::int32_t Sum, std::int32_t Child) { return std::max(Sum, Child + 1); });
}

template <class T> int TAxGPNode<T>::Size() const {
    if (FSizeCache != 0) return FSizeCache;
    return Measure(this, &TAxGPNode<T>::FSizeCache, 1,
                   [](std::int32_t Sum, std::int32_t Child) { return Sum + Child; });
}

template <class T> void TAxGPNode<T>::Modified() {
    FDepthCache = 0;
    FSizeCache = 0;
    for (TAxGPNode<T>* Node = FParent; Node; Node = Node->FParent) {
        if (Node->FDepthCache == 0 && Node->FSizeCache == 0) break;
        Node->FDepthCache = 0;
        Node->FSizeCache = 0;
    }
}

template <class T> void TAxGPNode<T>::NoInstruction() {
    throw EGPException(std::string(SNoInstructionAssigned));
}

// Written with an explicit stack, so that printing a very deep tree cannot exhaust it.
template <class T> std::string TAxGPNode<T>::ToString() const {
    struct TFrame {
        const TAxGPNode<T>* Node;
        int NextSlot;
    };
    std::vector<TFrame> Stack;
    std::string Text;
    auto Open = [&](const TAxGPNode<T>* Node) {
        const bool HasChildren = Node->GetChildCount() > 0;
        if (HasChildren) Text += '(';
        if (!Node->FInstruction)
            Text += "nil";
        else if (Node->FInstruction->Operation() == TGPGeneticInstruction::gpFunction)
            Text += Node->FInstruction->DisplayName();
        else
            Text += Node->ValueToString();
        if (HasChildren) Stack.push_back({Node, 0});
    };
    Open(this);
    while (!Stack.empty()) {
        TFrame& Top = Stack.back();
        const TAxGPNode<T>* Child = nullptr;
        const int Slots = Top.Node->SlotCount();
        while (!Child && Top.NextSlot < Slots)
            Child = Top.Node->GetChild(Top.NextSlot++);
        if (!Child) {
            Text += ')';
            Stack.pop_back();
            continue;
        }
        Text += ' ';
        Open(Child);
    }
    return Text;
}

template <class T> void TAxGPNode<T>::Assign(const TPersistent& Source) {
    const auto* From = dynamic_cast<const TAxGPNode<T>*>(&Source);
    if (!From) {
        TPersistent::Assign(Source);
        return;
    }
    if (From == this) return;
    // Clearing this node would free a Source below it, and copying a Source above it
    // would copy the copy as it grows: such a Source is copied whole first.
    if (From->IsWithin(*this) || IsWithin(*From)) {
        const TNodePtr Copy = From->Clone();
        CopyFrom(*Copy);
        return;
    }
    CopyFrom(*From);
}

template <class T> void TAxGPNode<T>::CopyFrom(const TAxGPNode<T>& From, bool Fresh) {
    // A node just made for the copy has nothing to clear; copying a tree clears no node.
    if (!Fresh || GetChildCount() != 0) Clear();
    FInstruction = From.FInstruction;
    SetValue(From.FValue);
    AssignChildren(From);
    FDepthCache = From.FDepthCache;
    FSizeCache = From.FSizeCache;
    if (FParent) FParent->Modified();
}

template <class T> void TAxGPNode<T>::FreeSubtrees(TNodePtr* Subtrees, std::size_t Count) {
    // Nodes destroyed by the loop below come back here with their own children, which join
    // the outermost call's work list instead of being destroyed one level deeper. The list
    // lives on that call's stack, so a tree freed during program exit still finds it.
    thread_local std::vector<TNodePtr>* Pending = nullptr;
    if (Pending) {
        // A leaf goes at once: its destructor has nothing further to free.
        for (std::size_t I = 0; I < Count; ++I)
            if (Subtrees[I] && Subtrees[I]->GetChildCount() == 0)
                Subtrees[I].reset();
            else if (Subtrees[I])
                Pending->push_back(std::move(Subtrees[I]));
        return;
    }
    std::vector<TNodePtr> Work;
    for (std::size_t I = 0; I < Count; ++I)
        if (Subtrees[I] && Subtrees[I]->GetChildCount() == 0)
            Subtrees[I].reset(); // a leaf frees nothing further
        else if (Subtrees[I])
            Work.push_back(std::move(Subtrees[I]));
    Pending = &Work;
    while (!Work.empty()) {
        TNodePtr Node = std::move(Work.back());
        Work.pop_back();
        Node.reset();
    }
    Pending = nullptr;
}

// --- TAxGPTreeNode --------------------------------------------------------------------

template <class T> TAxGPTreeNode<T>::~TAxGPTreeNode() {
    if (!FChildren.empty()) this->FreeSubtrees(FChildren.data(), FChildren.size());
}

template <class T>
typename TAxGPTreeNode<T>::TNodePtr
TAxGPTreeNode<T>::CreateNode(TAxGPInstruction<T>* Instruction) const {
    if (auto Node = this->EngineNode(Instruction)) return Node;
    return std::make_unique<TAxGPTreeNode<T>>(Instruction);
}

template <class T> TAxGPNode<T>* TAxGPTreeNode<T>::GetChild(int Index) const {
    if (Index < 0 || Index >= static_cast<int>(FChildren.size())) IndexError(Index);
    return FChildren[static_cast<std::size_t>(Index)].get();
}

template <class T> TAxGPNode<T>* TAxGPTreeNode<T>::AddChild(TNodePtr&& Node) {
    if (!Node) return nullptr;
    this->CheckNotAncestor(*Node);
    TAxGPNode<T>* Raw = Node.get();
    FChildren.push_back(std::move(Node));
    this->LinkParent(*Raw, this);
    this->Modified();
    return Raw;
}

template <class T> TAxGPNode<T>* TAxGPTreeNode<T>::InsertChild(int Index, TNodePtr&& Node) {
    if (Index < 0 || Index > static_cast<int>(FChildren.size())) IndexError(Index);
    if (!Node) return nullptr;
    this->CheckNotAncestor(*Node);
    TAxGPNode<T>* Raw = Node.get();
    FChildren.insert(static_cast<std::size_t>(Index), std::move(Node));
    this->LinkParent(*Raw, this);
    this->Modified();
    return Raw;
}

template <class T>
typename TAxGPTreeNode<T>::TNodePtr TAxGPTreeNode<T>::ExtractChild(TAxGPNode<T>* Node) {
    const auto It = std::find_if(FChildren.begin(), FChildren.end(),
                                 [Node](const TNodePtr& Child) { return Child.get() == Node; });
    if (!Node || It == FChildren.end()) return nullptr;
    TNodePtr Result = std::move(*It);
    FChildren.erase(static_cast<std::size_t>(It - FChildren.begin()));
    this->LinkParent(*Result, nullptr);
    this->Modified();
    return Result;
}

template <class T> void TAxGPTreeNode<T>::Clear() {
    TAxGPNode<T>::Clear();
    if (!FChildren.empty()) {
        this->FreeSubtrees(FChildren.data(), FChildren.size());
        FChildren.clear();
    }
    this->Modified();
}

template <class T>
void TAxGPTreeNode<T>::SetChildren(const std::vector<const TAxGPNode<T>*>& List) {
    // Copies first: List may name nodes of the subtrees about to be freed.
    std::vector<TNodePtr> Copies;
    Copies.reserve(List.size());
    for (const auto* Node : List)
        if (Node) Copies.push_back(Node->Clone());
    this->FreeSubtrees(FChildren.data(), FChildren.size());
    FChildren.clear();
    for (auto& Copy : Copies) {
        this->LinkParent(*Copy, this);
        FChildren.push_back(std::move(Copy));
    }
    this->Modified();
}

// Copying is most of what evolution does besides evaluating (every child starts as a copy
// of its parent). A child node whose copy comes out of the class of this node, as it does
// within one component, is copied here without recursion: made by CreateNode as Clone makes
// it, given its value, placed straight at the end of its parent's list, and given the
// source's measures, which is the tree Clone and AddChild give, without their per-node
// cache walks. Any other node is copied by Clone under its parent.
template <class T> void TAxGPTreeNode<T>::AssignChildren(const TAxGPNode<T>& Source) {
    struct TFrame {
        const TAxGPNode<T>* From;
        TAxGPTreeNode<T>* To;
        int NextSlot;
    };
    // Shared by nested copies (a CreateNode of the host's may copy trees too): each works
    // above the frames it found.
    thread_local std::vector<TFrame> Frames;
    std::vector<TFrame>& Stack = Frames; // the thread's vector looked up once
    const std::type_info& Class = typeid(*this);
    const std::size_t Base = Stack.size();
    Stack.push_back({&Source, this, 0});
    while (Stack.size() > Base) {
        TFrame& Top = Stack.back();
        if (Top.NextSlot >= Top.From->SlotCount()) {
            Stack.pop_back();
            continue;
        }
        const TAxGPNode<T>* Child = Top.From->GetChild(Top.NextSlot++);
        if (!Child) continue;
        TAxGPTreeNode<T>* To = Top.To;
        TNodePtr Copy = Child->CreateNode(Child->Instruction());
        if (typeid(*Copy) != Class || typeid(*Child) != Class) {
            this->CopyFresh(*To->AddChild(std::move(Copy)), *Child);
            continue;
        }
        auto* Node = static_cast<TAxGPTreeNode<T>*>(Copy.get());
        Node->SetValue(Child->Value());
        Node->CopyMeasures(*Child);
        To->FChildren.push_back(std::move(Copy));
        this->LinkParent(*Node, To);
        Stack.push_back({Child, Node, 0});
    }
}

// --- TAxGPBinaryNode ------------------------------------------------------------------

template <class T> TAxGPBinaryNode<T>::~TAxGPBinaryNode() {
    if (!FLeft && !FRight) return;
    TNodePtr Slots[2] = {std::move(FLeft), std::move(FRight)};
    this->FreeSubtrees(Slots, 2);
}

template <class T>
typename TAxGPBinaryNode<T>::TNodePtr
TAxGPBinaryNode<T>::CreateNode(TAxGPInstruction<T>* Instruction) const {
    if (auto Node = this->EngineNode(Instruction)) return Node;
    return std::make_unique<TAxGPBinaryNode<T>>(Instruction);
}

template <class T> TAxGPNode<T>* TAxGPBinaryNode<T>::GetChild(int Index) const {
    if (Index == 0) return FLeft.get();
    if (Index == 1) return FRight.get();
    IndexError(Index);
}

template <class T>
typename TAxGPBinaryNode<T>::TBinaryPtr TAxGPBinaryNode<T>::AsBinary(TNodePtr&& Node) {
    auto* Binary = dynamic_cast<TAxGPBinaryNode<T>*>(Node.get());
    if (!Binary) throw EInvalidCast(std::string(SInvalidClassTypecast));
    Node.release();
    return TBinaryPtr(Binary);
}

template <class T> void TAxGPBinaryNode<T>::CheckAddChild(const TAxGPNode<T>& Node) const {
    if (FLeft && FRight) throw EGPException(std::string(SNodeFull));
    if (!dynamic_cast<const TAxGPBinaryNode<T>*>(&Node))
        throw EInvalidCast(std::string(SInvalidClassTypecast));
}

template <class T> TAxGPNode<T>* TAxGPBinaryNode<T>::Place(TBinaryPtr& Slot, TBinaryPtr Node) {
    TAxGPNode<T>* Raw = Node.get();
    Slot = std::move(Node);
    this->LinkParent(*Raw, this);
    this->Modified();
    return Raw;
}

template <class T> TAxGPNode<T>* TAxGPBinaryNode<T>::AddChild(TNodePtr&& Node) {
    if (!Node) return nullptr;
    this->CheckNotAncestor(*Node);
    CheckAddChild(*Node);
    return Place(FLeft ? FRight : FLeft, AsBinary(std::move(Node)));
}

template <class T> TAxGPNode<T>* TAxGPBinaryNode<T>::InsertChild(int Index, TNodePtr&& Node) {
    if (Index != 0 && Index != 1) IndexError(Index);
    if (!Node) return nullptr;
    this->CheckNotAncestor(*Node);
    TBinaryPtr Binary = AsBinary(std::move(Node));
    TBinaryPtr& Slot = Index == 0 ? FLeft : FRight;
    TBinaryPtr& Other = Index == 0 ? FRight : FLeft;
    if (Slot && !Other) Other = std::move(Slot);
    TNodePtr Old = std::move(Slot); // a subtree still in the slot is freed
    Old.reset();
    return Place(Slot, std::move(Binary));
}

template <class T>
typename TAxGPBinaryNode<T>::TNodePtr TAxGPBinaryNode<T>::ExtractChild(TAxGPNode<T>* Node) {
    TBinaryPtr* Slot = nullptr;
    if (Node && FLeft.get() == Node)
        Slot = &FLeft;
    else if (Node && FRight.get() == Node)
        Slot = &FRight;
    if (!Slot) return nullptr;
    TNodePtr Result(Slot->release());
    this->LinkParent(*Result, nullptr);
    this->Modified();
    return Result;
}

template <class T> void TAxGPBinaryNode<T>::Clear() {
    TAxGPNode<T>::Clear();
    TNodePtr Slots[2] = {std::move(FLeft), std::move(FRight)};
    this->FreeSubtrees(Slots, 2);
    this->Modified();
}

template <class T> void TAxGPBinaryNode<T>::SetSlot(TBinaryPtr& Slot, const TAxGPNode<T>* Node) {
    if (Node == Slot.get()) return;
    // The copy is made before the slot is freed, so Node may even lie inside that subtree.
    TBinaryPtr Copy = Node ? AsBinary(Node->Clone()) : nullptr;
    TNodePtr Old = std::move(Slot);
    Old.reset();
    if (Copy) {
        Slot = std::move(Copy);
        this->LinkParent(*Slot, this);
    }
    this->Modified();
}

template <class T> void TAxGPBinaryNode<T>::AssignChildren(const TAxGPNode<T>& Source) {
    if (const auto* From = dynamic_cast<const TAxGPBinaryNode<T>*>(&Source)) {
        SetLeft(From->Left());
        SetRight(From->Right());
        return;
    }
    const int Slots = Source.SlotCount();
    for (int I = 0; I < Slots; ++I)
        if (const auto* Child = Source.GetChild(I)) Child->Clone(*this);
}

template class TAxGPNode<TGAFloat>;
template class TAxGPNode<Variant>;
template class TAxGPTreeNode<TGAFloat>;
template class TAxGPTreeNode<Variant>;
template class TAxGPBinaryNode<TGAFloat>;
template class TAxGPBinaryNode<Variant>;

} // namespace ax
