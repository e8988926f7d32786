#include "axgenetic/gp/evolution/gp_individual.hpp"

#include <algorithm>
#include <typeinfo>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/messages.hpp"
#include "axgenetic/platform/enum_names.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/platform/random.hpp"

namespace ax {

// --- foreign trees ------------------------------------------------------------------

namespace {

// The set an instruction belongs to, read without the typed (casting) accessor: this is
// asked for every node of a copied tree.
template <class T> const TCollection* SetOf(const TAxGPInstruction<T>* Instruction) {
    return static_cast<const TCollectionItem*>(Instruction)->Collection();
}

} // namespace

template <class T>
TAxGPInstruction<T>* MapInstruction(IAxGeneticProgramEngine<T>& Engine,
                                    TAxGPInstruction<T>* Instruction) {
    TAxGPInstructions<T>* Set = Engine.GetInstructions();
    if (!Instruction || SetOf(Instruction) == Set) return Instruction;
    const int Index = Instruction->Index();
    if (Index >= 0 && Index < Set->Count() &&
        detail::SameTextAscii(Set->Items(Index)->Name(), Instruction->Name()))
        return Set->Items(Index);
    if (auto* Found = Set->FindItemName(Instruction->Name())) return Found;
    throw EGPException(Format(SUnknownInstruction, {Instruction->Name()}));
}

template <class T>
bool UsesEngineInstructions(IAxGeneticProgramEngine<T>& Engine, const TAxGPNode<T>& Root) {
    const TCollection* Set = Engine.GetInstructions();
    if (Root.Instruction() && SetOf(Root.Instruction()) != Set) return false;
    for (int I = 0; I < Root.SlotCount(); ++I)
        if (const TAxGPNode<T>* Child = Root.GetChild(I))
            if (!UsesEngineInstructions(Engine, *Child)) return false;
    return true;
}

template <class T>
std::unique_ptr<TAxGPNode<T>> TranslateTree(IAxGeneticProgramEngine<T>& Engine,
                                            const TAxGPNode<T>& Root) {
    std::unique_ptr<TAxGPNode<T>> Node =
        Engine.CreateNode(MapInstruction(Engine, Root.Instruction()));
    Node->SetValue(Root.Value());
    for (int I = 0; I < Root.SlotCount(); ++I)
        if (const TAxGPNode<T>* Child = Root.GetChild(I))
            Node->AddChild(TranslateTree(Engine, *Child));
    return Node;
}

// --- TAxGPIndividual ------------------------------------------------------------------

template <class T> TAxGPIndividual<T>::~TAxGPIndividual() = default;

// The exact classes are compared first: every copy of an individual asks for both, and
// a cast costs more than the rest of a small copy.
template <class T> TAxGPPopulation<T>* TAxGPIndividual<T>::Collection() const {
    TCollection* Owner = TCollectionItem::Collection();
    if (Owner && typeid(*Owner) == typeid(TAxGPPopulation<T>))
        return static_cast<TAxGPPopulation<T>*>(Owner);
    return dynamic_cast<TAxGPPopulation<T>*>(Owner);
}

template <class T> IAxGeneticProgramEngine<T>* TAxGPIndividual<T>::Engine() const {
    const TAxGPPopulation<T>* Population = Collection();
    return Population ? Population->Engine() : nullptr;
}

template <class T> std::unique_ptr<TAxGPNode<T>> TAxGPIndividual<T>::CreateDNA() {
    IAxGeneticProgramEngine<T>* E = Engine();
    return E ? E->CreateNode(nullptr) : nullptr;
}

template <class T> std::unique_ptr<TAxGPNode<T>> TAxGPIndividual<T>::Adopt(TNodePtr&& Node) {
    IAxGeneticProgramEngine<T>* E = Engine();
    if (!Node || !E || UsesEngineInstructions(*E, *Node)) return std::move(Node);
    TNodePtr Own = TranslateTree(*E, *Node);
    Node.reset();
    return Own;
}

template <class T> void TAxGPIndividual<T>::SetDNA(const TNode& Node) {
    IAxGeneticProgramEngine<T>* E = Engine();
    if (E && !UsesEngineInstructions(*E, Node))
        FDNA = TranslateTree(*E, Node);
    else if (FDNA)
        FDNA->Assign(Node);
    else
        FDNA = Node.Clone();
    FlattenDNA();
}

template <class T> void TAxGPIndividual<T>::AssignDNA(TNodePtr&& Node) {
    FDNA = Adopt(std::move(Node));
    FlattenDNA();
}

template <class T> void TAxGPIndividual<T>::FlattenDNA() {
    FFlattened = false;
    FNeedFitness = true;
}

template <class T> void TAxGPIndividual<T>::Prefetch() const noexcept {
    if (FFlattened)
        for (const TNode* Node : FFlattenedDNA)
            detail::PrefetchNode(Node);
}

template <class T> const std::vector<TAxGPNode<T>*>& TAxGPIndividual<T>::FlattenedDNA() const {
    if (!FFlattened) {
        FFlattenedDNA.clear();
        if (FDNA) Flatten(FDNA.get());
        FFlattened = true;
    }
    return FFlattenedDNA;
}

// Pre-order with an explicit stack of the nodes still to visit (children pushed last
// first); library tree nodes are read in place.
template <class T> void TAxGPIndividual<T>::Flatten(TNode* Root) const {
    thread_local std::vector<TNode*> Nodes;
    std::vector<TNode*>& Stack = Nodes; // the thread's vector looked up once
    TAxGPChildReader<T> Reader;
    Stack.assign(1, Root);
    while (!Stack.empty()) {
        TNode* Node = Stack.back();
        Stack.pop_back();
        FFlattenedDNA.push_back(Node);
        if (const TAxGPTreeNode<T>* Tree = Reader.Tree(*Node)) {
            const auto Children = Tree->Children();
            for (std::size_t I = Children.size(); I-- > 0;)
                Stack.push_back(Children[I].get());
        } else {
            for (int I = Node->SlotCount(); I-- > 0;)
                if (TNode* Child = Node->GetChild(I)) Stack.push_back(Child);
        }
    }
}

template <class T> void TAxGPIndividual<T>::Assign(const TPersistent& Source) {
    const auto* From = typeid(Source) == typeid(*this)
                           ? static_cast<const TAxGPIndividual<T>*>(&Source)
                           : dynamic_cast<const TAxGPIndividual<T>*>(&Source);
    if (From) {
        if (From == this) return;
        IAxGeneticProgramEngine<T>* E = Engine();
        if (!From->FDNA) {
            FDNA.reset();
            FlattenDNA();
        } else if (E && E == From->Engine() && FDNA) {
            // Members of one component share its instructions: a plain copy is enough.
            // It lists its nodes as it goes, which saves the first read the flattening.
            From->Prefetch();
            FFlattened = false;
            FDNA->AssignListing(*From->FDNA, FFlattenedDNA);
            FlattenDNA();
            FFlattened = true;
        } else {
            SetDNA(*From->FDNA);
        }
    }
    TAxIndividual::Assign(Source);
}

template <class T> T TAxGPIndividual<T>::Execute(TAxGPContext<T>& Context) const {
    return FDNA ? FDNA->Execute(Context) : T{};
}

template <class T> bool TAxGPIndividual<T>::Contains(const TNode* Node) const {
    return Node && FDNA && Node->IsWithin(*FDNA);
}

template <class T>
std::unique_ptr<TAxGPNode<T>> TAxGPIndividual<T>::Graft(TNode* Node, TNodePtr&& NewNode) {
    // A node of another program would rewire that program behind its owner's back.
    if (!Contains(Node)) throw EGPException(std::string(SNodeNotInProgram));
    return Place(Node, Adopt(std::move(NewNode)));
}

template <class T>
std::unique_ptr<TAxGPNode<T>> TAxGPIndividual<T>::Place(TNode* Node, TNodePtr&& NewNode) {
    TNodePtr Old;
    if (Node == FDNA.get()) {
        Old = std::move(FDNA);
        FDNA = std::move(NewNode);
    } else {
        TNode* Parent = Node->Parent();
        Old = Node->Detach();
        Parent->AddChild(std::move(NewNode));
    }
    FlattenDNA();
    return Old;
}

template <class T>
void TAxGPIndividual<T>::Crossover(TNode* Node, TAxGPIndividual& Other, TNode* OtherNode) {
    if (!Contains(Node) || !Other.Contains(OtherNode))
        throw EGPException(std::string(SNodeNotInProgram));
    // Within one program, a point inside the other would end up below itself.
    if (&Other == this && (Node->IsWithin(*OtherNode) || OtherNode->IsWithin(*Node)))
        throw EGPException(std::string(SCrossoverPointsNested));
    IAxGeneticProgramEngine<T>* OtherEngine = Other.Engine();
    if (Engine() != OtherEngine) {
        // Programs of two components: each side receives a copy made of its own nodes and
        // instructions, both made before either tree changes.
        TNodePtr Mine = OtherEngine ? TranslateTree(*OtherEngine, *Node) : Node->Clone();
        TNodePtr Theirs = Adopt(OtherNode->Clone());
        Place(Node, std::move(Theirs));
        Other.Place(OtherNode, std::move(Mine));
        return;
    }
    // Both lists follow the swap when both are at hand and the points hang under library
    // tree nodes (or are roots); otherwise they are rebuilt on their next read.
    // The new lists are built in the thread's spare vectors, which then keep the old ones'
    // memory for the next crossover.
    thread_local std::vector<TNode*> Spare[2];
    std::vector<TNode*>& MyList = Spare[0];
    std::vector<TNode*>& OtherList = Spare[1];
    const bool Splice =
        &Other != this && FFlattened && Other.FFlattened &&
        SplicedAfterSwap(FFlattenedDNA, Node, Other.FFlattenedDNA, OtherNode, MyList) &&
        SplicedAfterSwap(Other.FFlattenedDNA, OtherNode, FFlattenedDNA, Node, OtherList);
    TNode* OtherParent = OtherNode->Parent();
    const bool OtherRoot = OtherNode == Other.FDNA.get();
    TNodePtr Incoming = OtherRoot ? std::move(Other.FDNA) : OtherNode->Detach();
    TNodePtr Outgoing = Place(Node, std::move(Incoming));
    if (OtherRoot)
        Other.FDNA = std::move(Outgoing);
    else
        OtherParent->AddChild(std::move(Outgoing));
    Other.FlattenDNA();
    if (Splice) {
        FFlattenedDNA.swap(MyList);
        Other.FFlattenedDNA.swap(OtherList);
        FFlattened = Other.FFlattened = true;
    }
}

// Point's pre-order list after its subtree is swapped for Incoming's: the subtree leaves its
// place, and Incoming's joins the end of Point's parent's range (AddChild of a tree node) or
// takes the root's place. False when Point's parent is of another class.
template <class T>
bool TAxGPIndividual<T>::SplicedAfterSwap(const std::vector<TNode*>& List, const TNode* Point,
                                          const std::vector<TNode*>& IncomingList,
                                          const TNode* Incoming, std::vector<TNode*>& Result) {
    const TNode* Parent = Point->Parent();
    if (Parent) {
        TAxGPChildReader<T> Reader;
        if (!Reader.Tree(*Parent)) return false;
    }
    const auto Find = [](const std::vector<TNode*>& Nodes, const TNode* Node) {
        return static_cast<std::size_t>(std::find(Nodes.begin(), Nodes.end(), Node) -
                                        Nodes.begin());
    };
    const std::size_t At = Find(List, Point), From = Find(IncomingList, Incoming);
    const auto Size = static_cast<std::size_t>(Point->Size());
    const auto IncomingSize = static_cast<std::size_t>(Incoming->Size());
    if (At + Size > List.size() || From + IncomingSize > IncomingList.size()) return false;
    const auto In = IncomingList.begin() + static_cast<std::ptrdiff_t>(From);
    if (!Parent) {
        Result.assign(In, In + static_cast<std::ptrdiff_t>(IncomingSize));
        return true;
    }
    const std::size_t ParentAt = Find(List, Parent);
    const std::size_t ParentEnd = ParentAt + static_cast<std::size_t>(Parent->Size());
    if (ParentAt >= At || ParentEnd < At + Size || ParentEnd > List.size()) return false;
    const auto Begin = List.begin();
    const auto Offset = [&](std::size_t I) { return Begin + static_cast<std::ptrdiff_t>(I); };
    Result.assign(Begin, Offset(At));
    Result.insert(Result.end(), Offset(At + Size), Offset(ParentEnd));
    Result.insert(Result.end(), In, In + static_cast<std::ptrdiff_t>(IncomingSize));
    Result.insert(Result.end(), Offset(ParentEnd), List.end());
    return true;
}

template <class T> TAxGPNode<T>* TAxGPIndividual<T>::SelectNode(TGAProbability Probability) {
    return DoSelectNode(FlattenedDNA(), Probability);
}

template <class T>
TAxGPNode<T>* TAxGPIndividual<T>::SelectNode(TGAProbability Probability,
                                             TGPGeneticInstructions Operations) {
    if (!FDNA) return nullptr;
    if (Operations == TGPGeneticInstructions{TGPGeneticInstruction::gpVariable,
                                             TGPGeneticInstruction::gpConstant,
                                             TGPGeneticInstruction::gpFunction})
        return SelectNode(Probability);
    FCandidates.clear();
    for (TNode* Node : FlattenedDNA())
        if (Node->Instruction() && Operations.Contains(Node->Instruction()->Operation()))
            FCandidates.push_back(Node);
    return DoSelectNode(FCandidates, Probability);
}

template <class T> TAxGPNode<T>* TAxGPIndividual<T>::SelectNode(int Limit, bool BySize) {
    FCandidates.clear();
    for (TNode* Node : FlattenedDNA())
        if ((BySize ? Node->Size() : Node->Depth()) <= Limit) FCandidates.push_back(Node);
    if (FCandidates.empty()) return nullptr;
    return FCandidates[static_cast<std::size_t>(
        Random(static_cast<std::int32_t>(FCandidates.size())))];
}

template <class T>
TAxGPNode<T>* TAxGPIndividual<T>::DoSelectNode(const std::vector<TNode*>& List,
                                               TGAProbability Probability) {
    if (!FDNA || List.empty()) return nullptr;
    // Outside [0, 1] (or NaN) a threshold could stay out of reach of the sum.
    const double P = Probability >= 0.0 ? std::min(Probability, 1.0) : 0.0;
    Random();
    float Sum = 0.0f;
    const auto Count = static_cast<std::int32_t>(List.size());
    for (;;) {
        TNode* Node = List[static_cast<std::size_t>(Random(Count))];
        Sum = static_cast<float>(Sum + Random());
        const bool IsFunction = Node->Instruction() && Node->Instruction()->Arity() > 0;
        if (IsFunction ? Sum > 1.0 - P : Sum > P) return Node;
    }
}

template <class T> std::string TAxGPIndividual<T>::ToString() const {
    std::string Text = DisplayName();
    if (FDNA) Text += ": " + FDNA->ToString();
    return Text;
}

// --- TAxGPPopulation ------------------------------------------------------------------

template <class T>
TAxGPPopulation<T>::TAxGPPopulation(TPersistent* AOwner, TAxIndividualClass ItemClass)
    : TBase(AOwner, ItemClass), FEngine(dynamic_cast<IAxGeneticProgramEngine<T>*>(AOwner)) {}

template <class T>
void TAxGPPopulation<T>::Notify(TCollectionItem* Item, TCollectionNotification Action) {
    if (Action == TCollectionNotification::cnAdded)
        if (auto* Individual = dynamic_cast<TAxGPIndividual<T>*>(Item);
            Individual && !Individual->FDNA) {
            Individual->FDNA = Individual->CreateDNA();
            Individual->FlattenDNA();
        }
    TBase::Notify(Item, Action);
}

template TAxGPInstruction<TGAFloat>* MapInstruction(IAxGeneticProgramEngine<TGAFloat>&,
                                                    TAxGPInstruction<TGAFloat>*);
template TAxGPInstruction<Variant>* MapInstruction(IAxGeneticProgramEngine<Variant>&,
                                                   TAxGPInstruction<Variant>*);
template bool UsesEngineInstructions(IAxGeneticProgramEngine<TGAFloat>&,
                                     const TAxGPNode<TGAFloat>&);
template bool UsesEngineInstructions(IAxGeneticProgramEngine<Variant>&, const TAxGPNode<Variant>&);
template std::unique_ptr<TAxGPNode<TGAFloat>> TranslateTree(IAxGeneticProgramEngine<TGAFloat>&,
                                                            const TAxGPNode<TGAFloat>&);
template std::unique_ptr<TAxGPNode<Variant>> TranslateTree(IAxGeneticProgramEngine<Variant>&,
                                                           const TAxGPNode<Variant>&);
template class TAxGPIndividual<TGAFloat>;
template class TAxGPIndividual<Variant>;
template class TAxGPPopulation<TGAFloat>;
template class TAxGPPopulation<Variant>;

} // namespace ax
