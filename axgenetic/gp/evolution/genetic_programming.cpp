#include "axgenetic/gp/evolution/genetic_programming.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <type_traits>
#include <unordered_set>

#include "axgenetic/common/dictionary.hpp"
#include "axgenetic/core/defaults.hpp"
#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/messages.hpp"
#include "axgenetic/gp/engine/float_classes.hpp"
#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/random.hpp"

namespace ax::generics {

namespace {

constexpr int MinimumBloatLimit = 5;

template <class I> I* ListItem(const std::vector<I*>& List, int Index) {
    if (Index < 0 || Index >= static_cast<int>(List.size()))
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return List[static_cast<std::size_t>(Index)];
}

} // namespace

template <class T>
TAxCustomGeneticProgramming<T>::TAxCustomGeneticProgramming(TComponent* AOwner)
    : TAxCustomGeneticComponent(AOwner) {
    // The GP settings are the member initializers; these are the shared settings a GP
    // component starts differently.
    RecreatePopulation();
    SetCrossoverProbability(GP_CROSSOVER_PROBABILITY);
    FInstructions = CreateInstructions(ClassOf<TAxGPInstruction<T>>());
    SetTournamentField(GP_TOURNAMENT_FIELD);
}

template <class T> TAxCustomGeneticProgramming<T>::~TAxCustomGeneticProgramming() {
    // The trees refer to the instructions, so they go first.
    Destroying();
    FFittestIndividual = nullptr;
    FPopulation->Clear();
    if (FPreviousGeneration) FPreviousGeneration->Clear();
    FInstructions.reset();
}

template <class T>
std::unique_ptr<TAxPopulation>
TAxCustomGeneticProgramming<T>::CreatePopulation(TAxIndividualClass) {
    return std::make_unique<TAxGPPopulation<T>>(this, ClassOf<TAxGPIndividual<T>>());
}

template <class T>
std::unique_ptr<TAxGPInstructions<T>>
TAxCustomGeneticProgramming<T>::CreateInstructions(TCollectionItemClass ItemClass) {
    return std::make_unique<TAxGPInstructions<T>>(this, ItemClass);
}

template <class T> void TAxCustomGeneticProgramming<T>::RecreateInstructions() {
    FFunctions.clear();
    FTerminals.clear();
    FInstructions = CreateInstructions(FInstructions->ItemClass());
}

template <class T>
std::unique_ptr<TAxGPNode<T>>
TAxCustomGeneticProgramming<T>::CreateNode(TInstruction* Instruction) {
    return std::make_unique<TAxGPTreeNode<T>>(Instruction);
}

// --- settings -------------------------------------------------------------------------

template <class T>
void TAxCustomGeneticProgramming<T>::SetSelectionNonTerminalsProbability(TGAProbability Value) {
    StoreProbability(FSelectionNonTerminalsProbability, Value);
}

template <class T> void TAxCustomGeneticProgramming<T>::SetInitializationDepth(int Value) {
    FInitializationDepth = std::max(Value, 0);
}

template <class T>
int TAxCustomGeneticProgramming<T>::MutationWeight(TGPMutationMethod Method) const {
    return FMutationWeights[static_cast<std::size_t>(Method)];
}

template <class T>
void TAxCustomGeneticProgramming<T>::SetMutationWeight(TGPMutationMethod Method, int Value) {
    std::uint8_t& Weight = FMutationWeights[static_cast<std::size_t>(Method)];
    if (Value == Weight) return;
    Weight = Value < 0 ? 0 : static_cast<std::uint8_t>(Value & 0xFF);
    SetMutationWeights(FMutationWeights);
}

template <class T>
void TAxCustomGeneticProgramming<T>::SetMutationWeights(const TGPMutationMethodWeights& Value) {
    FMutationWeights = Value;
    FMutationWeightsTotal = WeightsTotal(Value);
}

template <class T>
void TAxCustomGeneticProgramming<T>::SetPointMutationProbability(TGAProbability Value) {
    StoreProbability(FPointMutationProbability, Value);
}

template <class T> void TAxCustomGeneticProgramming<T>::SetBloatLimit(int Value) {
    if (Value == FBloatLimit) return;
    FBloatLimit = std::max(Value, MinimumBloatLimit);
}

template <class T>
void TAxCustomGeneticProgramming<T>::SetTarpeianProbability(TGAProbability Value) {
    StoreProbability(FTarpeianProbability, Value);
}

// --- instructions -------------------------------------------------------------------

template <class T>
void TAxCustomGeneticProgramming<T>::SetInstructions(const TAxGPInstructions<T>& Value) {
    FInstructions->Assign(Value);
}

template <class T>
TAxGPInstruction<T>* TAxCustomGeneticProgramming<T>::GetFunctions(int Index) const {
    return ListItem(FFunctions, Index);
}

template <class T>
TAxGPInstruction<T>* TAxCustomGeneticProgramming<T>::GetTerminals(int Index) const {
    return ListItem(FTerminals, Index);
}

template <class T> void TAxCustomGeneticProgramming<T>::ClearPopulations() {
    FPopulation->Clear();
    if (FPreviousGeneration) FPreviousGeneration->Clear();
    FInitialized = false;
}

template <class T> void TAxCustomGeneticProgramming<T>::Classify(TInstruction* Instruction) {
    (Instruction->Arity() >= 1 ? FFunctions : FTerminals).push_back(Instruction);
}

template <class T> void TAxCustomGeneticProgramming<T>::Unclassify(TInstruction* Instruction) {
    std::erase(FFunctions, Instruction);
    std::erase(FTerminals, Instruction);
}

template <class T>
bool TAxCustomGeneticProgramming<T>::IsClassified(TInstruction* Instruction) const {
    const auto& List = Instruction->Arity() >= 1 ? FFunctions : FTerminals;
    return std::find(List.begin(), List.end(), Instruction) != List.end();
}

template <class T>
void TAxCustomGeneticProgramming<T>::InstructionUpdate(TInstruction* Instruction) {
    if (ComponentState().Contains(TComponentStateFlag::csDestroying)) return;
    ClearPopulations();
    // An arity change that keeps the kind (a function of arity 2 set to 0) is reported
    // only here, and within an update batch only as a change of the whole set.
    if (Instruction) {
        if (IsClassified(Instruction)) return;
        Unclassify(Instruction);
        Classify(Instruction);
        return;
    }
    // The whole set: membership looked up in sets, so that a set of any size (a loaded
    // document's) is checked in linear time.
    const std::unordered_set<const TInstruction*> Functions(FFunctions.begin(), FFunctions.end());
    const std::unordered_set<const TInstruction*> Terminals(FTerminals.begin(), FTerminals.end());
    for (int I = 0; I < FInstructions->Count(); ++I) {
        TInstruction* Item = FInstructions->Items(I);
        if ((Item->Arity() >= 1 ? Functions : Terminals).contains(Item)) continue;
        Unclassify(Item);
        Classify(Item);
    }
}

template <class T>
void TAxCustomGeneticProgramming<T>::InstructionNotify(TInstruction* Instruction,
                                                       TCollectionNotification Action) {
    if (ComponentState().Contains(TComponentStateFlag::csDestroying)) return;
    ClearPopulations();
    if (Action == TCollectionNotification::cnAdded)
        Classify(Instruction);
    else
        Unclassify(Instruction);
}

template <class T>
void TAxCustomGeneticProgramming<T>::InstructionOperationUpdate(TInstruction* Instruction) {
    Unclassify(Instruction);
    Classify(Instruction);
}

// --- copying --------------------------------------------------------------------------

template <class T> void TAxCustomGeneticProgramming<T>::Assign(const TPersistent& Source) {
    const auto* From = dynamic_cast<const TAxCustomGeneticProgramming<T>*>(&Source);
    if (From == this) return;
    if (From) {
        FBloatStrategy = From->FBloatStrategy;
        FBloatLimit = From->FBloatLimit;
        FSelectionNonTerminalsProbability = From->FSelectionNonTerminalsProbability;
        FCrossoverMethod = From->FCrossoverMethod;
        FInitializationDepth = From->FInitializationDepth;
        FInitializationMethod = From->FInitializationMethod;
        FPointMutationMethod = From->FPointMutationMethod;
        FPointMutationProbability = From->FPointMutationProbability;
        FMutationWeights = From->FMutationWeights;
        FMutationWeightsTotal = From->FMutationWeightsTotal;
        FParsimonyCoefficient = From->FParsimonyCoefficient;
        FTarpeianProbability = From->FTarpeianProbability;
        FTwoParentCrossover = From->FTwoParentCrossover;
        // Empties both populations; the base then copies the source's, whose trees the
        // individuals rebuild on these instructions.
        FInstructions->Assign(*From->FInstructions);
    }
    TAxCustomGeneticComponent::Assign(Source);
}

template <class T> void TAxCustomGeneticProgramming<T>::AssignAll(const TPersistent& Source) {
    Assign(Source);
    // Only the handlers are still missing. Copying the set a second time (with them)
    // would empty the populations Assign has just copied.
    const auto* From = dynamic_cast<const TAxCustomGeneticProgramming<T>*>(&Source);
    if (!From || From == this) return;
    const int Count = std::min(FInstructions->Count(), From->FInstructions->Count());
    for (int I = 0; I < Count; ++I)
        FInstructions->Items(I)->AssignEvents(*From->FInstructions->Items(I));
}

// --- reproduction ---------------------------------------------------------------------

template <class T>
bool TAxCustomGeneticProgramming<T>::DoReproduce(TAxIndividual* Parent1, TAxIndividual* Parent2,
                                                 TAxIndividual* Child1, TAxIndividual* Child2) {
    FSecondChild = FTwoParentCrossover ? Child2 : nullptr;
    try {
        const bool Changed =
            TAxCustomGeneticComponent::DoReproduce(Parent1, Parent2, Child1, Child2);
        FSecondChild = nullptr;
        // Each child answers to its own parent.
        DoAntiBloating(Parent1, Parent2, Child1, Changed);
        DoAntiBloating(Parent2, Parent1, Child2, Changed);
        return Changed;
    } catch (...) {
        FSecondChild = nullptr;
        throw;
    }
}

template <class T>
void TAxCustomGeneticProgramming<T>::InitializeChild(TAxIndividual* Parent1, TAxIndividual* Parent2,
                                                     TAxIndividual* Child) {
    if (Child && Child == FSecondChild) {
        FSecondChild = nullptr;
        TAxCustomGeneticComponent::InitializeChild(Parent2, Parent1, Child);
        return;
    }
    TAxCustomGeneticComponent::InitializeChild(Parent1, Parent2, Child);
}

// --- tree building --------------------------------------------------------------------

template <class T>
std::unique_ptr<TAxGPNode<T>> TAxCustomGeneticProgramming<T>::NewNode(TInstruction* Instruction) {
    TNodePtr Node = CreateNode(Instruction);
    if constexpr (std::is_same_v<T, TGAFloat>) {
        // An ephemeral random constant: the draw follows the draws that chose the node.
        const auto* Float = dynamic_cast<const TAxGPFloatInstruction*>(Instruction);
        if (Float && Float->RandomValue() &&
            Float->Operation() == TGPGeneticInstruction::gpConstant)
            Node->SetValue(Float->DrawRandomValue());
    }
    return Node;
}

template <class T>
TAxGPNode<T>* TAxCustomGeneticProgramming<T>::Attach(TNode& Parent, int Index, TNodePtr&& Node) {
    return Parent.InsertChild(Index, std::move(Node));
}

template <class T>
std::unique_ptr<TAxGPNode<T>> TAxCustomGeneticProgramming<T>::GetOperationNode() {
    if (FFunctions.empty()) throw EGPException(std::string(SNoOperationsFound));
    return CreateNode(FFunctions[static_cast<std::size_t>(Random(GetFunctionsCount()))]);
}

template <class T>
TAxGPNode<T>* TAxCustomGeneticProgramming<T>::GetOperationNode(TNode& Parent, int Index) {
    return Attach(Parent, Index, GetOperationNode());
}

template <class T> std::unique_ptr<TAxGPNode<T>> TAxCustomGeneticProgramming<T>::GetTerminalNode() {
    if (FTerminals.empty()) throw EGPException(std::string(SNoTerminalsFound));
    return NewNode(FTerminals[static_cast<std::size_t>(Random(GetTerminalsCount()))]);
}

template <class T>
TAxGPNode<T>* TAxCustomGeneticProgramming<T>::GetTerminalNode(TNode& Parent, int Index) {
    return Attach(Parent, Index, GetTerminalNode());
}

template <class T> std::unique_ptr<TAxGPNode<T>> TAxCustomGeneticProgramming<T>::GetNode() {
    if (FInstructions->Count() == 0) throw EGPException(std::string(SNoInstructionsFound));
    return NewNode(FInstructions->Items(Random(FInstructions->Count())));
}

template <class T> TAxGPNode<T>* TAxCustomGeneticProgramming<T>::GetNode(TNode& Parent, int Index) {
    return Attach(Parent, Index, GetNode());
}

template <class T>
std::unique_ptr<TAxGPNode<T>> TAxCustomGeneticProgramming<T>::GetNode(const TNode& Like) {
    return NewNode(GetSimilarInstruction(Like.Instruction()));
}

template <class T>
TAxGPNode<T>* TAxCustomGeneticProgramming<T>::GetNode(TNode& Parent, const TNode& Like, int Index) {
    return Attach(Parent, Index, GetNode(Like));
}

namespace {

// A variable or constant that declares arguments cannot head a subtree.
template <class T> void CheckTerminal(const TAxGPNode<T>& Node) {
    if (Node.IsTerminal() && Node.Instruction() && Node.Instruction()->Arity() > 0)
        throw EGPException(std::string(SInvalidTerminalNode));
}

template <class T> int ArityOf(const TAxGPNode<T>& Node) {
    return Node.Instruction() ? Node.Instruction()->Arity() : 0;
}

} // namespace

// The subtrees are built as free trees and attached once complete, so a construction that
// fails leaves no half-built branch in a tree.
template <class T>
std::unique_ptr<TAxGPNode<T>>
TAxCustomGeneticProgramming<T>::WithArguments(TNodePtr&& Node, int Depth, TMaker Make) {
    CheckTerminal(*Node);
    for (int I = 0; I < ArityOf(*Node); ++I)
        Node->InsertChild(I, (this->*Make)(Depth - 1));
    return std::move(Node);
}

template <class T>
std::unique_ptr<TAxGPNode<T>> TAxCustomGeneticProgramming<T>::DoInitializeFull(int Depth) {
    return WithArguments(Depth < 2 ? GetTerminalNode() : GetOperationNode(), Depth,
                         &TAxCustomGeneticProgramming::DoInitializeFull);
}

template <class T>
TAxGPNode<T>* TAxCustomGeneticProgramming<T>::DoInitializeFull(TNode& Parent, int Index,
                                                               int Depth) {
    return Attach(Parent, Index, DoInitializeFull(Depth));
}

template <class T>
std::unique_ptr<TAxGPNode<T>> TAxCustomGeneticProgramming<T>::DoInitializeGrow(int Depth) {
    const bool Spent = FGrowthBudget == 0;
    if (FGrowthBudget > 0) --FGrowthBudget;
    return WithArguments(Depth < 2 || Spent ? GetTerminalNode() : GetNode(), Depth,
                         &TAxCustomGeneticProgramming::DoInitializeGrow);
}

template <class T>
TAxGPNode<T>* TAxCustomGeneticProgramming<T>::DoInitializeGrow(TNode& Parent, int Index,
                                                               int Depth) {
    return Attach(Parent, Index, DoInitializeGrow(Depth));
}

template <class T>
std::unique_ptr<TAxGPNode<T>>
TAxCustomGeneticProgramming<T>::InitialTree(int Index, int Count, int MinDepth, int MaxDepth) {
    const int Fixed = std::max(MaxDepth, MinDepth);
    // In double and capped: depths near the largest int must not overflow the cast.
    const auto Ramp = static_cast<int>(
        std::min(std::trunc(static_cast<double>(Index) / Count * (MaxDepth - 1.0) + MinDepth),
                 static_cast<double>(INT_MAX)));
    const bool Odd = Index % 2 == 1;
    switch (FInitializationMethod) {
    case TGPInitializationMethod::imFull:
        return DoInitializeFull(Fixed);
    case TGPInitializationMethod::imGrow:
        return DoInitializeGrow(Fixed);
    case TGPInitializationMethod::imRampedFull:
        return DoInitializeFull(Ramp);
    case TGPInitializationMethod::imRampedGrow:
        return DoInitializeGrow(Ramp);
    case TGPInitializationMethod::imHalfAndHalf:
        return Odd ? DoInitializeGrow(Fixed) : DoInitializeFull(Fixed);
    case TGPInitializationMethod::imRampedHalfAndHalf:
        return Odd ? DoInitializeGrow(Ramp) : DoInitializeFull(Ramp);
    }
    return DoInitializeFull(Fixed);
}

template <class T> int TAxCustomGeneticProgramming<T>::DoInitialize() {
    const int Budget = FInitialDuplicatesRetries;
    std::unique_ptr<TAxDictionary<std::string, TAxIndividual*>> Seen;
    if (Budget > 0) Seen = std::make_unique<TAxDictionary<std::string, TAxIndividual*>>();
    for (int I = 0; I < FInstructions->Count(); ++I)
        FInstructions->Items(I)->Initialize();
    const int MaxDepth =
        FInitializationDepth != 0 ? FInitializationDepth : std::max(1, GetFunctionsCount());
    int MinDepth = 2;
    // Any depth a document holds, up to the largest int, leaves the headroom in range.
    const int DepthCap = std::max(MaxDepth, 2) >= INT_MAX - DuplicateDepthHeadroom
                             ? INT_MAX
                             : std::max(MaxDepth, 2) + DuplicateDepthHeadroom;
    int Retries = 0;
    TAxGPPopulation<T>* Items = Population();
    const int Count = Items->Count();
    for (int I = 0; I < Count; ++I) {
        TIndividual* Item = Items->Items(I);
        Item->AssignDNA(InitialTree(I, Count, MinDepth, MaxDepth));
        if (!Seen) continue;
        std::string Text = Item->DNA()->ToString();
        int Countdown = Budget;
        bool KeepDuplicate = false;
        while (!KeepDuplicate && Seen->ContainsKey(Text)) {
            ++Retries;
            Item->AssignDNA(InitialTree(I, Count, MinDepth, MaxDepth));
            Text = Item->DNA()->ToString();
            if (--Countdown == 0) {
                Countdown = Budget;
                // Deeper trees offer more distinct programs, up to a bound; a language
                // that has no more to offer there keeps the duplicate.
                if (MinDepth < DepthCap)
                    ++MinDepth;
                else
                    KeepDuplicate = true;
            }
        }
        Seen->AddOrSetValue(std::move(Text), Item);
    }
    FProgramStats.MaxSize = 0; // new programs: measured again when next asked
    return Retries;
}

template <class T> long double TAxCustomGeneticProgramming<T>::SearchSpaceSize(int Depth) const {
    long double Size = GetFunctionsCount();
    const auto Terminals = static_cast<long double>(GetTerminalsCount());
    for (int D = 1; D <= Depth; ++D) {
        long double Next = 0;
        for (const TInstruction* Function : FFunctions)
            Next += std::pow(Size + Terminals, static_cast<long double>(Function->Arity()));
        // A fixed point (no functions, an overflow to infinity) stays one.
        if (Next == Size) break;
        Size = Next;
    }
    return Size;
}

// --- operators ------------------------------------------------------------------------

template <class T> int TAxCustomGeneticProgramming<T>::MutationDepth(const TNode& Point) const {
    int Depth = std::min(Point.Depth(), MutationDepthLimit);
    if (FBloatStrategy == TGPBloatStrategy::bsDepthLimit && Depth > FBloatLimit)
        Depth = FBloatLimit;
    return Depth;
}

template <class T>
bool TAxCustomGeneticProgramming<T>::DoCrossover(TAxIndividual* Parent1, TAxIndividual* Parent2,
                                                 TAxIndividual* Child1, TAxIndividual* Child2) {
    if (FCrossoverMethod != TGPCrossoverMethod::cmSubtree) return false;
    if (FBloatStrategy == TGPBloatStrategy::bsSizeFairCrossover ||
        FBloatStrategy == TGPBloatStrategy::bsDepthFairCrossover) {
        DoFairCrossover(Parent1, Parent2, Child1);
        if (Child2) DoFairCrossover(Parent1, Parent2, Child2);
        return true;
    }
    auto* First = static_cast<TIndividual*>(Child1);
    TNode* Point1 = First->SelectNode(FSelectionNonTerminalsProbability);
    if (Child2) {
        auto* Second = static_cast<TIndividual*>(Child2);
        TNode* Point2 = Second->SelectNode(FSelectionNonTerminalsProbability);
        if (!Point1 || !Point2) return false;
        First->Crossover(Point1, *Second, Point2);
        return true;
    }
    // A lone child is crossed with the parent its partner would have copied, which stays
    // as it is: the child's point receives a copy of the subtree chosen there.
    auto* Donor = static_cast<TIndividual*>(FTwoParentCrossover ? Parent2 : Parent1);
    TNode* Point2 = Donor->SelectNode(FSelectionNonTerminalsProbability);
    if (!Point1 || !Point2) return false;
    First->Graft(Point1, Point2->Clone());
    return true;
}

template <class T> bool TAxCustomGeneticProgramming<T>::DoMutate(TAxIndividual* Item) {
    auto& Individual = *static_cast<TIndividual*>(Item);
    bool DoIt = true;
    if (FOnMutation) FOnMutation(this, Item, DoIt);
    bool Applied = false;
    if (DoIt) {
        int Draw = Random(FMutationWeightsTotal);
        for (std::size_t M = 0; M < FMutationWeights.size(); ++M) {
            const int Weight = FMutationWeights[M];
            if (Weight > Draw) {
                Mutate(Individual, static_cast<TGPMutationMethod>(M));
                Applied = true;
                break;
            }
            Draw -= Weight;
        }
    }
    Individual.FlattenDNA();
    return Applied;
}

template <class T>
void TAxCustomGeneticProgramming<T>::Mutate(TIndividual& Individual, TGPMutationMethod Method) {
    switch (Method) {
    case TGPMutationMethod::mmSubtree:
        DoSubtreeMutation(Individual);
        break;
    case TGPMutationMethod::mmReplacement:
        DoReplacementMutation(Individual);
        break;
    case TGPMutationMethod::mmConstant:
        DoConstantMutation(Individual);
        break;
    case TGPMutationMethod::mmShrink:
        DoShrinkMutation(Individual);
        break;
    case TGPMutationMethod::mmHoist:
        DoHoistMutation(Individual);
        break;
    case TGPMutationMethod::mmPoint:
        DoPointMutation(Individual);
        break;
    }
    // Point and constant mutation change nodes in place; the program is a new one either
    // way, so its old fitness must not count (the generation's mutation step marks it the
    // same way afterwards).
    Individual.FlattenDNA();
}

namespace {

// Replaces Point by Replacement in Individual: in Point's slot under its parent, or as the
// new root. The replaced subtree is freed.
template <class T>
void Replace(TAxGPIndividual<T>& Individual, TAxGPNode<T>* Point,
             std::unique_ptr<TAxGPNode<T>>&& Replacement) {
    TAxGPNode<T>* Parent = Point->Parent();
    if (!Parent) {
        Individual.AssignDNA(std::move(Replacement));
        return;
    }
    const int Index = Parent->IndexOf(Point);
    // Taken out first, so that a binary parent's slot is free and Point is freed once.
    Parent->ExtractChild(Point);
    Parent->InsertChild(Index, std::move(Replacement));
    Individual.FlattenDNA();
}

// Gives a mutation's grow construction its node budget for one replacement, and takes it
// back however the construction ends.
class TGrowthBudget {
public:
    TGrowthBudget(int& Budget, int Limit) : FBudget(Budget) { FBudget = Limit; }
    ~TGrowthBudget() { FBudget = -1; }
    TGrowthBudget(const TGrowthBudget&) = delete;
    TGrowthBudget& operator=(const TGrowthBudget&) = delete;

private:
    int& FBudget;
};

} // namespace

// Each mutation builds its replacement before the point leaves the tree, so an error of
// the instruction set (no terminals, no functions) leaves the program as it was.
template <class T> void TAxCustomGeneticProgramming<T>::DoSubtreeMutation(TIndividual& Individual) {
    TNode* Point = Individual.SelectNode(FSelectionNonTerminalsProbability);
    if (!Point) return;
    TNodePtr Grown;
    {
        const TGrowthBudget Budget(FGrowthBudget, MutationNodeLimit);
        Grown = DoInitializeGrow(MutationDepth(*Point));
    }
    Replace(Individual, Point, std::move(Grown));
}

template <class T>
void TAxCustomGeneticProgramming<T>::DoReplacementMutation(TIndividual& Individual) {
    TNode* Point = Individual.SelectNode(FSelectionNonTerminalsProbability);
    if (!Point) return;
    const int Depth = MutationDepth(*Point);
    const TGrowthBudget Budget(FGrowthBudget, MutationNodeLimit);
    TNodePtr Node = GetNode(*Point);
    for (int I = 0; I < ArityOf(*Node); ++I)
        Node->InsertChild(I, DoInitializeGrow(Depth - 1));
    Replace(Individual, Point, std::move(Node));
}

template <class T>
void TAxCustomGeneticProgramming<T>::DoConstantMutation(TIndividual& Individual) {
    TNode* Point =
        Individual.SelectNode(0.0, TGPGeneticInstructions{TGPGeneticInstruction::gpConstant});
    if (!Point) return;
    if (FOnConstantMutation) {
        FOnConstantMutation(this, *Point);
        return;
    }
    if constexpr (std::is_same_v<T, TGAFloat>) {
        const auto* Float = dynamic_cast<const TAxGPFloatInstruction*>(Point->Instruction());
        if (Float && Float->RandomValue())
            Point->SetValue(Float->PerturbRandomValue(Point->Value()));
    }
}

template <class T> void TAxCustomGeneticProgramming<T>::DoShrinkMutation(TIndividual& Individual) {
    TNode* Point = Individual.SelectNode(FSelectionNonTerminalsProbability);
    if (!Point) return;
    Replace(Individual, Point, GetTerminalNode());
}

template <class T> void TAxCustomGeneticProgramming<T>::DoHoistMutation(TIndividual& Individual) {
    TNode* Point = Individual.SelectNode(FSelectionNonTerminalsProbability);
    if (!Point || !Point->Parent()) return;
    Individual.AssignDNA(Point->Detach());
}

template <class T> bool TAxCustomGeneticProgramming<T>::DoPointMutation(TIndividual& Individual) {
    return Individual.DNA() ? DoPointMutation(Individual, *Individual.DNA()) : false;
}

template <class T>
bool TAxCustomGeneticProgramming<T>::DoPointMutation(TIndividual& Individual, TNode& Node) {
    const bool PerTree = FPointMutationMethod == TGPPointMutationMethod::pmmPerTree;
    bool Changed = false;
    if (Random() < FPointMutationProbability) {
        // The node keeps its children and its own value; only the instruction changes, to
        // one of the same kind and arity.
        Node.SetInstruction(GetSimilarInstruction(Node.Instruction()));
        if (PerTree) return true;
        Changed = true;
    }
    for (int I = 0; I < Node.SlotCount(); ++I)
        if (TNode* Child = Node.GetChild(I))
            if (DoPointMutation(Individual, *Child)) {
                Changed = true;
                if (PerTree) break;
            }
    return Changed;
}

template <class T> bool TAxCustomGeneticProgramming<T>::DoInvert(TAxIndividual* Item) {
    auto& Individual = *static_cast<TIndividual*>(Item);
    const bool Changed = DoPointMutation(Individual);
    Individual.FlattenDNA();
    return Changed;
}

template <class T>
TAxGPInstruction<T>*
TAxCustomGeneticProgramming<T>::GetSimilarInstruction(TInstruction* Instruction) {
    const int Count = FInstructions->Count();
    if (Count == 0) throw EGPException(std::string(SNoInstructionsFound));
    FSimilar.clear();
    if (Instruction)
        for (int I = 0; I < Count; ++I) {
            TInstruction* Item = FInstructions->Items(I);
            if (Item->Operation() == Instruction->Operation() &&
                Item->Arity() == Instruction->Arity())
                FSimilar.push_back(Item);
        }
    if (FSimilar.empty()) return Instruction;
    return FSimilar[static_cast<std::size_t>(Random(static_cast<std::int32_t>(FSimilar.size())))];
}

template class TAxCustomGeneticProgramming<TGAFloat>;
template class TAxCustomGeneticProgramming<Variant>;

} // namespace ax::generics
