#include "axgenetic/gp/engine/node.hpp"

#include <algorithm>
#include <typeinfo>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/messages.hpp"
#include "axgenetic/platform/exceptions.hpp"

namespace ax {

namespace {

// The pre-order list an AssignListing call wants from the copy of Root's children; the
// copy completes it, or leaves Complete false when a node of another class made it
// take the general path.
template <class T> struct TCopyListing {
    const TAxGPNode<T>* Root;
    std::vector<TAxGPNode<T>*>* Nodes;
    bool Complete;
};
template <class T> constinit thread_local TCopyListing<T>* CopyListing = nullptr;

[[noreturn]] void IndexError(int Index) {
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

// Computes a cached measure of Root's subtree bottom-up with an explicit stack (no
// recursion per level): a node is finished once none of its children still waits for its
// measure. Leaf is a leaf's measure (a leaf whose measure is 0 never waits), Fold adds a
// child's measure to the running one. Library tree nodes are read in place.
template <class T, class F>
std::int32_t Measure(const TAxGPNode<T>* Root, std::int32_t TAxGPNode<T>::*Cache, std::int32_t Leaf,
                     F Fold) {
    using N = TAxGPNode<T>;
    thread_local std::vector<const N*> Nodes;
    std::vector<const N*>& Stack = Nodes; // the thread's vector looked up once
    TAxGPChildReader<T> Reader;
    auto Waits = [&](const N* Node) {
        if (Node->*Cache != 0) return false;
        if (Leaf != 0) return true;
        const TAxGPTreeNode<T>* Tree = Reader.Tree(*Node);
        return Tree ? !Tree->Children().empty() : Node->GetChildCount() > 0;
    };
    Stack.clear();
    Stack.push_back(Root);
    while (!Stack.empty()) {
        const N* Node = Stack.back();
        bool Ready = true;
        std::int32_t Result = Leaf;
        if (const TAxGPTreeNode<T>* Tree = Reader.Tree(*Node)) {
            const auto Children = Tree->Children();
            for (const auto& Child : Children)
                if (Waits(Child.get())) {
                    Stack.push_back(Child.get());
                    Ready = false;
                }
            if (!Ready) continue;
            for (const auto& Child : Children)
                Result = Fold(Result, Child.get()->*Cache);
        } else {
            const int Slots = Node->SlotCount();
            for (int I = 0; I < Slots; ++I)
                if (const N* Child = Node->GetChild(I); Child && Waits(Child)) {
                    Stack.push_back(Child);
                    Ready = false;
                }
            if (!Ready) continue;
            for (int I = 0; I < Slots; ++I)
                if (const N* Child = Node->GetChild(I)) Result = Fold(Result, Child->*Cache);
        }
        const_cast<N*>(Node)->*Cache = Result; // the caches are mutable
        Stack.pop_back();
    }
    return Root->*Cache;
}

} // namespace

// --- TAxGPNode ------------------------------------------------------------------------

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
    // A node of this node's own class (every copy within a component) needs no cast.
    const auto* From = typeid(Source) == typeid(*this) ? static_cast<const TAxGPNode<T>*>(&Source)
                                                       : dynamic_cast<const TAxGPNode<T>*>(&Source);
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

template <class T>
void TAxGPNode<T>::AssignListing(const TAxGPNode<T>& Source, std::vector<TAxGPNode<T>*>& PreOrder) {
    PreOrder.clear();
    PreOrder.push_back(this);
    TCopyListing<T> Listing{this, &PreOrder, false};
    TCopyListing<T>* const Outer = CopyListing<T>;
    CopyListing<T> = &Listing;
    try {
        Assign(Source);
    } catch (...) {
        CopyListing<T> = Outer;
        throw;
    }
    CopyListing<T> = Outer;
    if (Listing.Complete) return;
    // The copy did not list itself: a walk in pre-order, children pushed last first.
    PreOrder.clear();
    std::vector<TAxGPNode<T>*> Stack{this};
    while (!Stack.empty()) {
        TAxGPNode<T>* Node = Stack.back();
        Stack.pop_back();
        PreOrder.push_back(Node);
        for (int I = Node->SlotCount(); I-- > 0;)
            if (TAxGPNode<T>* Child = Node->GetChild(I)) Stack.push_back(Child);
    }
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

namespace {

// The subtrees a freeing loop still has to free, last in first out. They number about the
// depth of the tree, so a short list on the stack holds them without allocating; more go
// to the heap. Entries own their nodes.
template <class T> class TFreeList {
public:
    TFreeList() = default;
    TFreeList(const TFreeList&) = delete;
    TFreeList& operator=(const TFreeList&) = delete;
    ~TFreeList() {
        while (!Empty())
            Pop().reset();
    }
    bool Empty() const { return FCount == 0 && FMore.empty(); }
    void Push(std::unique_ptr<TAxGPNode<T>>&& Node) {
        if (FCount < InPlace)
            FLocal[FCount++] = Node.release();
        else
            FMore.push_back(std::move(Node));
    }
    std::unique_ptr<TAxGPNode<T>> Pop() {
        if (!FMore.empty()) {
            std::unique_ptr<TAxGPNode<T>> Node = std::move(FMore.back());
            FMore.pop_back();
            return Node;
        }
        return std::unique_ptr<TAxGPNode<T>>(FLocal[--FCount]);
    }

private:
    static constexpr std::size_t InPlace = 64;
    TAxGPNode<T>* FLocal[InPlace];
    std::size_t FCount = 0;
    std::vector<std::unique_ptr<TAxGPNode<T>>> FMore;
};

} // namespace

template <class T> void TAxGPNode<T>::FreeSubtrees(TNodePtr* Subtrees, std::size_t Count) {
    // Nodes destroyed by the loop below come back here with their own children, which join
    // the outermost call's work list instead of being destroyed one level deeper. The list
    // lives on that call's stack, so a tree freed during program exit still finds it.
    thread_local TFreeList<T>* Pending = nullptr;
    TAxGPChildReader<T> Reader;
    // A leaf goes at once: its destructor has nothing further to free.
    auto Take = [&Reader](TFreeList<T>& Work, TNodePtr& Node) {
        if (!Node) return;
        const TAxGPTreeNode<T>* Tree = Reader.Tree(*Node);
        if (Tree ? Tree->FChildren.empty() : Node->GetChildCount() == 0)
            Node.reset();
        else
            Work.Push(std::move(Node));
    };
    if (Pending) {
        for (std::size_t I = 0; I < Count; ++I)
            Take(*Pending, Subtrees[I]);
        return;
    }
    TFreeList<T> Work;
    for (std::size_t I = 0; I < Count; ++I)
        Take(Work, Subtrees[I]);
    Pending = &Work;
    while (!Work.Empty()) {
        TNodePtr Node = Work.Pop();
        // A library tree node's children are taken here, so its destructor finds none.
        if (const TAxGPTreeNode<T>* Tree = Reader.Tree(*Node)) {
            auto& Children = const_cast<TAxGPTreeNode<T>*>(Tree)->FChildren;
            for (TNodePtr& Child : Children)
                Take(Work, Child);
            Children.clear();
        }
        Node.reset();
    }
    Pending = nullptr;
}

// --- TAxGPTreeNode --------------------------------------------------------------------

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
// within one component, is copied here without recursion: made as Clone makes it, given
// its value, placed straight at the end of its parent's list, and given the source's
// measures, which is the tree Clone and AddChild give, without their per-node cache walks.
// Nodes of a library tree class are read in place, and their copies are asked of the
// engine directly (what their CreateNode does), the engine looked up once per instruction
// set rather than per node. Any other node is copied by Clone under its parent.
template <class T> void TAxGPTreeNode<T>::AssignChildren(const TAxGPNode<T>& Source) {
    // A source node whose children are being copied under To: a library tree node's are
    // read from its list (Next up to End), any other node's (From) through GetChild.
    struct TFrame {
        const TNodePtr* Next;
        const TNodePtr* End;
        const TAxGPNode<T>* From;
        int NextSlot;
        TAxGPTreeNode<T>* To;
    };
    // Shared by nested copies (a CreateNode of the host's may copy trees too): each works
    // above the frames it found.
    thread_local std::vector<TFrame> Frames;
    std::vector<TFrame>& Stack = Frames; // the thread's vector looked up once
    TAxGPChildReader<T> Reader;
    // A library tree node without children needs no frame.
    auto Open = [&Stack](const TAxGPNode<T>& From, const TAxGPTreeNode<T>* Tree,
                         TAxGPTreeNode<T>* To) {
        if (!Tree)
            Stack.push_back({nullptr, nullptr, &From, 0, To});
        else if (!Tree->FChildren.empty())
            Stack.push_back({Tree->FChildren.data(),
                             Tree->FChildren.data() + Tree->FChildren.size(), nullptr, 0, To});
    };
    const std::type_info& Class = typeid(*this);
    const TAxGPInstructions<T>* LastSet = nullptr;
    IAxGeneticProgramEngine<T>* LastEngine = nullptr;
    // The pre-order list AssignListing wants of this copy (and of no nested one).
    TCopyListing<T>* Listing = CopyListing<T>;
    if (Listing && Listing->Root == this) {
        CopyListing<T> = nullptr;
        Listing->Complete = true;
    } else {
        Listing = nullptr;
    }
    const std::size_t Base = Stack.size();
    Open(Source, Reader.Tree(Source), this);
    while (Stack.size() > Base) {
        TFrame& Top = Stack.back();
        TAxGPTreeNode<T>* To = Top.To;
        const TAxGPNode<T>* Child;
        if (!Top.From) {
            Child = (Top.Next++)->get();
            if (Top.Next == Top.End) Stack.pop_back();
        } else if (Top.NextSlot < Top.From->SlotCount()) {
            Child = Top.From->GetChild(Top.NextSlot++);
            if (!Child) continue;
        } else {
            Stack.pop_back();
            continue;
        }
        const TAxGPTreeNode<T>* ChildTree = Reader.Tree(*Child);
        TAxGPInstruction<T>* Instruction = Child->Instruction();
        TNodePtr Copy;
        if (ChildTree && Instruction) {
            const TAxGPInstructions<T>* Set = Instruction->Collection();
            if (Set != LastSet) {
                LastSet = Set;
                LastEngine = Set ? Set->Engine() : nullptr;
            }
            if (LastEngine) Copy = LastEngine->CreateNode(Instruction);
        }
        if (!Copy) Copy = Child->CreateNode(Instruction);
        if (typeid(*Copy) != Class || typeid(*Child) != Class) {
            if (Listing) Listing->Complete = false; // its subtree is not listed here
            Listing = nullptr;
            this->CopyFresh(*To->AddChild(std::move(Copy)), *Child);
            continue;
        }
        auto* Node = static_cast<TAxGPTreeNode<T>*>(Copy.get());
        // A library class stores the value as the base does: no virtual call for it.
        if (ChildTree)
            Node->TAxGPNode<T>::SetValue(Child->Value());
        else
            Node->SetValue(Child->Value());
        Node->CopyMeasures(*Child);
        To->FChildren.push_back(std::move(Copy));
        this->LinkParent(*Node, To);
        if (Listing) Listing->Nodes->push_back(Node);
        Open(*Child, ChildTree, Node);
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
