// The genetic programming component, generic over the value type of its programs.
//
// It is the evolution driver of the core specialised for program trees, and at the same
// time the engine of its own instruction set and trees: its instruction set reports every
// change to it, and the nodes of its individuals are made by its CreateNode, which is how
// the concrete classes (float trees, binary float trees, variant trees) decide the node
// class. The concrete components are in gp_components.hpp.
//
// The generic class lives in ax::generics because the float component that derives from
// it carries the same name, ax::TAxCustomGeneticProgramming.
//
// Edge cases, and what the component does in them (docs/genetic_programming.md,
// "Evolution"):
// - Any change of the instruction set's membership or of an instruction empties the
//   population and the previous generation (no tree may keep pointing at an instruction
//   that changed kind or left) and marks the component not initialized, so the next
//   Evolve starts again with initialization.
// - The duplicate retries of initialization raise the minimum depth as the rounds run out,
//   but not beyond the larger of the maximum depth and 2, plus DuplicateDepthHeadroom;
//   a round that runs out at that depth keeps the duplicate. So initialization always
//   ends, and its trees stay within a known depth.
// - GetSimilarInstruction with no instruction of the same kind and arity gives the
//   instruction back unchanged, without a draw.
// - A single child (the last of an odd-sized population) is crossed with a copy of the
//   parent the second child would have copied: its point receives a copy of a subtree
//   chosen in that parent, which itself stays unchanged.
// - TwoParentCrossover (off by default) makes the second child of each pair start as a
//   copy of Parent2, the classic two-parent subtree crossover.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "axgenetic/core/defaults.hpp"
#include "axgenetic/core/genetic_component.hpp"
#include "axgenetic/core/typed_events.hpp"
#include "axgenetic/gp/engine/engine.hpp"
#include "axgenetic/gp/engine/instruction.hpp"
#include "axgenetic/gp/engine/node.hpp"
#include "axgenetic/gp/evolution/bloat_control.hpp"
#include "axgenetic/gp/evolution/gp_individual.hpp"
#include "axgenetic/xml/gp_domain_xml.hpp"

namespace ax {

// A callback on one node of a program, such as the constant mutation of a component.
template <class T>
using TNodeNotifyEvent = std::function<void(TObject* Sender, TAxGPNode<T>& Node)>;

namespace generics {

// Its event setters also take handlers written for TAxGPIndividual<T> and
// TAxGPPopulation<T> (typed_events.hpp).
template <class T>
class AXGENETIC_API TAxCustomGeneticProgramming
    : public TAxCustomGeneticComponent,
      public TAxTypedEvents<TAxCustomGeneticProgramming<T>, TAxGPIndividual<T>, TAxGPPopulation<T>>,
      public IAxGeneticProgramEngine<T> {
    using TTyped =
        TAxTypedEvents<TAxCustomGeneticProgramming<T>, TAxGPIndividual<T>, TAxGPPopulation<T>>;

public:
    using TAxCustomGeneticComponent::SetOnEvaluateFitness;
    using TAxCustomGeneticComponent::SetOnEvaluateWeightedFitness;
    using TAxCustomGeneticComponent::SetOnInitializeChild;
    using TAxCustomGeneticComponent::SetOnInversion;
    using TAxCustomGeneticComponent::SetOnMutation;
    using TAxCustomGeneticComponent::SetOnReproduction;
    using TAxCustomGeneticComponent::SetOnSelection;
    using TTyped::SetOnEvaluateFitness;
    using TTyped::SetOnEvaluateWeightedFitness;
    using TTyped::SetOnInitializeChild;
    using TTyped::SetOnInversion;
    using TTyped::SetOnMutation;
    using TTyped::SetOnReproduction;
    using TTyped::SetOnSelection;

    using TNode = TAxGPNode<T>;
    using TNodePtr = std::unique_ptr<TNode>;
    using TInstruction = TAxGPInstruction<T>;
    using TIndividual = TAxGPIndividual<T>;

    // How many levels the minimum depth of initialization may rise above the larger of the
    // maximum depth and 2 while duplicates are retried.
    static constexpr int DuplicateDepthHeadroom = 2;
    // Bounds of the subtree that subtree and replacement mutation grow. The depth handed
    // to the grow construction is at most MutationDepthLimit (levels), and once the grown
    // subtree holds MutationNodeLimit nodes every node still to be made is a terminal.
    // Without them a point deep in a large tree grows a subtree as deep as itself, which
    // with a few binary functions means millions of nodes. Grown subtrees of ordinary runs
    // stay far below both, so their draws are unchanged.
    static constexpr int MutationDepthLimit = 1024;
    static constexpr int MutationNodeLimit = 65536;

    explicit TAxCustomGeneticProgramming(TComponent* AOwner = nullptr);
    ~TAxCustomGeneticProgramming() override;
    std::string ClassName() const override { return "TAxCustomGeneticProgramming"; }

    // --- settings --------------------------------------------------------------------
    // cmSubtree is the only method; any other (stored) value turns crossover off.
    TGPCrossoverMethod CrossoverMethod() const { return FCrossoverMethod; }
    void SetCrossoverMethod(TGPCrossoverMethod Value) { FCrossoverMethod = Value; }
    // The chance that a crossover or mutation point is a function; clamped to [0, 1].
    TGAProbability SelectionNonTerminalsProbability() const {
        return FSelectionNonTerminalsProbability;
    }
    void SetSelectionNonTerminalsProbability(TGAProbability Value);
    // 0 takes the depth from the number of functions; negative values store 0.
    int InitializationDepth() const { return FInitializationDepth; }
    void SetInitializationDepth(int Value);
    TGPInitializationMethod InitializationMethod() const { return FInitializationMethod; }
    void SetInitializationMethod(TGPInitializationMethod Value) { FInitializationMethod = Value; }

    // Relative chance of each mutation method. A write stores 0 for a negative value and
    // the low 8 bits otherwise, and recomputes the total.
    int MutationWeight(TGPMutationMethod Method) const;
    void SetMutationWeight(TGPMutationMethod Method, int Value);
    int MutateSubtreeWeight() const { return MutationWeight(TGPMutationMethod::mmSubtree); }
    void SetMutateSubtreeWeight(int Value) {
        SetMutationWeight(TGPMutationMethod::mmSubtree, Value);
    }
    int MutateReplacementWeight() const { return MutationWeight(TGPMutationMethod::mmReplacement); }
    void SetMutateReplacementWeight(int Value) {
        SetMutationWeight(TGPMutationMethod::mmReplacement, Value);
    }
    int MutateConstantWeight() const { return MutationWeight(TGPMutationMethod::mmConstant); }
    void SetMutateConstantWeight(int Value) {
        SetMutationWeight(TGPMutationMethod::mmConstant, Value);
    }
    int MutateShrinkWeight() const { return MutationWeight(TGPMutationMethod::mmShrink); }
    void SetMutateShrinkWeight(int Value) { SetMutationWeight(TGPMutationMethod::mmShrink, Value); }
    int MutateHoistWeight() const { return MutationWeight(TGPMutationMethod::mmHoist); }
    void SetMutateHoistWeight(int Value) { SetMutationWeight(TGPMutationMethod::mmHoist, Value); }
    int MutatePointWeight() const { return MutationWeight(TGPMutationMethod::mmPoint); }
    void SetMutatePointWeight(int Value) { SetMutationWeight(TGPMutationMethod::mmPoint, Value); }
    const TGPMutationMethodWeights& MutationWeights() const { return FMutationWeights; }
    void SetMutationWeights(const TGPMutationMethodWeights& Value);
    // The sum of the six weights.
    int MutationWeightsTotal() const { return FMutationWeightsTotal; }

    TGPPointMutationMethod PointMutationMethod() const { return FPointMutationMethod; }
    void SetPointMutationMethod(TGPPointMutationMethod Value) { FPointMutationMethod = Value; }
    // The chance that point mutation changes a visited node; clamped to [0, 1].
    TGAProbability PointMutationProbability() const { return FPointMutationProbability; }
    void SetPointMutationProbability(TGAProbability Value);

    // Bloat-control settings. Under bsDepthLimit the depth handed to subtree and
    // replacement mutation is lowered to BloatLimit.
    TGPBloatStrategy BloatStrategy() const { return FBloatStrategy; }
    void SetBloatStrategy(TGPBloatStrategy Value) { FBloatStrategy = Value; }
    // Values below 5 store 5.
    int BloatLimit() const { return FBloatLimit; }
    void SetBloatLimit(int Value);
    TGAFloat ParsimonyCoefficient() const { return FParsimonyCoefficient; }
    void SetParsimonyCoefficient(TGAFloat Value) { FParsimonyCoefficient = Value; }
    // Clamped to [0, 1].
    TGAProbability TarpeianProbability() const { return FTarpeianProbability; }
    void SetTarpeianProbability(TGAProbability Value);

    // Why the bloat strategy cannot work as meant with the other settings, or empty when
    // it can: lexicographic parsimony outside smTournament and the parsimony strategies
    // outside the weighted fitness methods change nothing at all; a weighted fitness
    // handler replaces the parsimony penalty; covariant parsimony while minimizing can
    // reward size; and under a maximizing method the unfit fitness of the Tarpeian and
    // unfit strategies ranks above every fitness of 0 or less. Describe shows it.
    std::string BloatStrategyNote() const;

    // Sizes and depths of the current population's programs, computed on the first read
    // after the start of a generation or an initialization (bloat_control.cpp).
    int GetMinProgramSize();
    int GetMaxProgramSize();
    float GetAvgProgramSize();
    int GetMinProgramDepth();
    int GetMaxProgramDepth();
    float GetAvgProgramDepth();
    void CalculateProgramStats();

    // Off by default: both children of a pair start as copies of Parent1, so Parent2 only
    // matters to fair crossover. On: the second child starts as a copy of Parent2, and
    // subtree crossover exchanges material between the two parents.
    bool TwoParentCrossover() const { return FTwoParentCrossover; }
    void SetTwoParentCrossover(bool Value) { FTwoParentCrossover = Value; }

    // Changes the value of a constant node (constant mutation); without it constant
    // mutation moves an ephemeral random constant's value (TAxGPFloatInstruction::
    // RandomValue) and does nothing to other constants.
    const TNodeNotifyEvent<T>& OnConstantMutation() const { return FOnConstantMutation; }
    void SetOnConstantMutation(TNodeNotifyEvent<T> Value) {
        FOnConstantMutation = std::move(Value);
    }

    // --- instructions ------------------------------------------------------------------
    TAxGPInstructions<T>* Instructions() const { return FInstructions.get(); }
    TAxGPInstructions<T>* GetInstructions() override { return FInstructions.get(); }
    // Copies Value's instructions (without their handlers) into the owned set.
    void SetInstructions(const TAxGPInstructions<T>& Value) override;
    // The instructions of arity 1 or more, and the others, in the order they were sorted in.
    TInstruction* GetFunctions(int Index) const;
    int GetFunctionsCount() const { return static_cast<int>(FFunctions.size()); }
    TInstruction* GetTerminals(int Index) const;
    int GetTerminalsCount() const { return static_cast<int>(FTerminals.size()); }

    // --- populations ---------------------------------------------------------------------
    TAxGPPopulation<T>* Population() const {
        return static_cast<TAxGPPopulation<T>*>(FPopulation.get());
    }
    TAxGPPopulation<T>* PreviousGeneration() const {
        return static_cast<TAxGPPopulation<T>*>(FPreviousGeneration.get());
    }
    TIndividual* FittestIndividual() const { return static_cast<TIndividual*>(FFittestIndividual); }

    // --- the engine ----------------------------------------------------------------------
    std::unique_ptr<TAxGPInstructions<T>>
    CreateInstructions(TCollectionItemClass ItemClass) override;
    // A free node of the component's node class (a plain tree node here).
    TNodePtr CreateNode(TInstruction* Instruction) override;
    std::int32_t MaxNodeArity() override { return 2147483647; }
    // An instruction (nullptr: the set) changed: empties the populations and keeps the
    // function and terminal lists sorted by arity.
    void InstructionUpdate(TInstruction* Instruction) override;
    // An instruction joined or is leaving: empties the populations and updates the lists.
    void InstructionNotify(TInstruction* Instruction, TCollectionNotification Action) override;
    // An instruction changed kind: it moves to the end of the list its arity belongs to.
    void InstructionOperationUpdate(TInstruction* Instruction) override;

    // --- persistence (gp_persistence.cpp) -------------------------------------------------
    // The "GeneticProgram" document: shared settings, reproduction settings, then the
    // domain. A load checks the whole document first; a failed load changes nothing.
    using TAxCustomGeneticComponent::LoadFromXML;
    using TAxCustomGeneticComponent::SaveToXML;
    void SaveToXML(const IXMLGeneticDocumentType& Document) override;
    void LoadFromXML(const IXMLGeneticDocumentType& Document) override;
    // Instructions, the fittest individual (when there is one) and the population.
    virtual void SaveToXML(const IXMLGPDomainType& Domain);
    virtual void LoadFromXML(const IXMLGPDomainType& Domain);
    virtual void SaveToXML(const IXMLGPInstructions& Instructions);
    virtual void LoadFromXML(const IXMLGPInstructions& Instructions);
    void LoadFromFile(const std::string& FileName) override;
    void LoadFromStream(std::istream& Stream) override;
    void SaveToFile(const std::string& FileName) override;
    void SaveToStream(std::ostream& Stream) override;
    void Describe(TStringList& Strings, const std::string& TabStr) const override;
    // The four GP floats that differ from their defaults, as defined properties; only
    // TarpeianProbability (which is not published) is read back through its own.
    void DefineProperties(TFiler& Filer) override;

    // --- copying -------------------------------------------------------------------------
    // From a GP component of the same value type: the GP settings as stored, a copy of
    // its instructions (without handlers), then the shared settings and populations,
    // whose trees are rebuilt on this component's instructions.
    void Assign(const TPersistent& Source) override;
    // Assign, then the source's instruction handlers onto the copied instructions.
    virtual void AssignAll(const TPersistent& Source);

    // --- tree building -------------------------------------------------------------------
    // Each maker returns a free node; the forms with a Parent insert it as Parent's child
    // at Index and return it attached. (A class overriding a maker adds `using` for the
    // attaching form.)
    // A node for a function drawn from the function list; EGPException
    // SNoOperationsFound when there is none.
    virtual TNodePtr GetOperationNode();
    TNode* GetOperationNode(TNode& Parent, int Index);
    // A node for a terminal drawn from the terminal list; SNoTerminalsFound without one.
    virtual TNodePtr GetTerminalNode();
    TNode* GetTerminalNode(TNode& Parent, int Index);
    // A node for any instruction of the set; SNoInstructionsFound for an empty set.
    virtual TNodePtr GetNode();
    TNode* GetNode(TNode& Parent, int Index);
    // A node for GetSimilarInstruction of Like's instruction.
    virtual TNodePtr GetNode(const TNode& Like);
    TNode* GetNode(TNode& Parent, const TNode& Like, int Index);
    // A random tree: every branch reaches Depth levels (full), or any instruction may end
    // a branch early (grow). Depth below 2 makes a terminal. Inside subtree and
    // replacement mutation the grow construction also keeps to MutationNodeLimit.
    virtual TNodePtr DoInitializeFull(int Depth);
    TNode* DoInitializeFull(TNode& Parent, int Index, int Depth);
    virtual TNodePtr DoInitializeGrow(int Depth);
    TNode* DoInitializeGrow(TNode& Parent, int Index, int Depth);
    // An estimate of the number of distinct programs of the given depth.
    virtual long double SearchSpaceSize(int Depth) const;

    // --- operators -----------------------------------------------------------------------
    using TAxCustomGeneticComponent::Mutate;
    // Runs one mutation method on Individual and leaves its fitness stale, whatever the
    // method (a point or constant mutation that happened to change nothing included).
    virtual void Mutate(TIndividual& Individual, TGPMutationMethod Method);
    virtual void DoConstantMutation(TIndividual& Individual);
    virtual void DoSubtreeMutation(TIndividual& Individual);
    virtual bool DoPointMutation(TIndividual& Individual);
    // Point mutation of Node and its subtree; true when a node changed.
    virtual bool DoPointMutation(TIndividual& Individual, TNode& Node);
    virtual void DoReplacementMutation(TIndividual& Individual);
    virtual void DoShrinkMutation(TIndividual& Individual);
    virtual void DoHoistMutation(TIndividual& Individual);
    // An instruction of the set with the same kind and arity as Instruction (possibly
    // itself), drawn uniformly; Instruction itself when there is none, SNoInstructionsFound
    // for an empty set.
    virtual TInstruction* GetSimilarInstruction(TInstruction* Instruction);

    // Bloat control (bloat_control.cpp): the Tarpeian and unfit rules decide a raw
    // fitness without the handler; the tournament breaks ties by size under
    // bsLexicographicParsimonyPressure.
    using TAxCustomGeneticComponent::EvaluateFitness;
    TGAFitness EvaluateFitness(TAxIndividual* Item, bool Weighted) override;
    void SelectTournament(TObject* Sender, TAxPopulation* Population,
                          TAxIndividual*& Parent) override;

    // Child initialization; under TwoParentCrossover the second child of a pair copies
    // Parent2 (the event then sees Parent2 as its first parent).
    void InitializeChild(TAxIndividual* Parent1, TAxIndividual* Parent2,
                         TAxIndividual* Child) override;

protected:
    std::unique_ptr<TAxPopulation> CreatePopulation(TAxIndividualClass ItemClass) override;
    // Replaces the (still empty) instruction set by one made by the actual
    // CreateInstructions; concrete classes call it in their constructors.
    void RecreateInstructions();

    int DoInitialize() override;
    bool DoCrossover(TAxIndividual* Parent1, TAxIndividual* Parent2, TAxIndividual* Child1,
                     TAxIndividual* Child2) override;
    bool DoMutate(TAxIndividual* Item) override;
    bool DoInvert(TAxIndividual* Item) override;
    using TAxCustomGeneticComponent::DoReproduce;
    bool DoReproduce(TAxIndividual* Parent1, TAxIndividual* Parent2, TAxIndividual* Child1,
                     TAxIndividual* Child2) override;
    bool DoReproduce(TAxIndividual* Parent1, TAxIndividual* Parent2,
                     TAxIndividual* Child1) override;
    // Bloat control after reproduction: limits revert a changed Child to Parent, shrink
    // and hoist cut it down. Changed is what the reproduction step reported.
    virtual void DoAntiBloating(TAxIndividual* Parent, TAxIndividual* Other, TAxIndividual* Child,
                                bool Changed);
    // Size- or depth-fair crossover: Receiver's point gets a copy of a fairly sized
    // subtree of Donor.
    virtual void DoFairCrossover(TAxIndividual* Parent1, TAxIndividual* Donor,
                                 TAxIndividual* Receiver);
    void DoStartEvolve() override;
    TGAFitness DoEvaluateWeightedFitness(TAxIndividual* Item) override;
    void DoCalculateWeightedFitnessStatistics() override;

    // The depth a subtree or replacement mutation at Point builds with: Point's depth,
    // lowered to BloatLimit under bsDepthLimit and to MutationDepthLimit.
    int MutationDepth(const TNode& Point) const;
    // A new tree for individual Index of Count by the initialization method.
    TNodePtr InitialTree(int Index, int Count, int MinDepth, int MaxDepth);

private:
    // LoadFromXML of a domain that has passed CheckGPDomainXML: the document load checks
    // the domain with the rest of the document, before it changes any setting.
    void LoadCheckedDomain(const IXMLGPDomainType& Domain);
    void ClearPopulations();
    // Puts Instruction at the end of the list its arity belongs to.
    void Classify(TInstruction* Instruction);
    // Takes Instruction out of both lists.
    void Unclassify(TInstruction* Instruction);
    bool IsClassified(TInstruction* Instruction) const;
    // A maker of a subtree of the given depth (DoInitializeFull or DoInitializeGrow).
    using TMaker = TNodePtr (TAxCustomGeneticProgramming::*)(int);
    // Node with its arguments made by Make one level shallower.
    TNodePtr WithArguments(TNodePtr&& Node, int Depth, TMaker Make);
    // A new node for Instruction: CreateNode, then an ephemeral random constant's own
    // value (one draw).
    TNodePtr NewNode(TInstruction* Instruction);
    // Inserts Node into Parent at Index and returns it attached.
    static TNode* Attach(TNode& Parent, int Index, TNodePtr&& Node);

    static constexpr int WeightsTotal(const TGPMutationMethodWeights& Weights) {
        int Total = 0;
        for (std::uint8_t Weight : Weights)
            Total += Weight;
        return Total;
    }

    // The defaults are defaults.hpp's, shared with the published-property table.
    std::unique_ptr<TAxGPInstructions<T>> FInstructions;
    TGPCrossoverMethod FCrossoverMethod = DEFAULT_GP_CROSSOVER_METHOD;
    TGAProbability FSelectionNonTerminalsProbability = NONTERMINALS_SELECTION_PROBABILITY;
    int FInitializationDepth = DEFAULT_INITIALIZATION_DEPTH;
    TGPInitializationMethod FInitializationMethod = DEFAULT_INITIALIZATION_METHOD;
    std::vector<TInstruction*> FFunctions;
    std::vector<TInstruction*> FTerminals;
    TGPMutationMethodWeights FMutationWeights = DefaultMutationWeights;
    int FMutationWeightsTotal = WeightsTotal(DefaultMutationWeights);
    TGPBloatStrategy FBloatStrategy = DEFAULT_BLOAT_STRATEGY;
    int FBloatLimit = DEFAULT_BLOAT_LIMIT;
    TGPPointMutationMethod FPointMutationMethod = DEFAULT_POINT_MUTATION_METHOD;
    TGAProbability FPointMutationProbability = DEFAULT_POINT_MUTATION_PROBABILITY;
    TNodeNotifyEvent<T> FOnConstantMutation;
    TGAFloat FParsimonyCoefficient = DEFAULT_PARSIMONY_COEFFICIENT;
    TGAProbability FTarpeianProbability = DEFAULT_TARPEIAN_PROBABILITY;
    bool FTwoParentCrossover = false;
    // The child that InitializeChild copies from Parent2 (TwoParentCrossover).
    TAxIndividual* FSecondChild = nullptr;
    std::vector<TInstruction*> FSimilar; // reused by GetSimilarInstruction
    // Nodes a mutation's grow construction may still make before it makes only terminals;
    // -1 outside a mutation (initialization is not bounded).
    int FGrowthBudget = -1;
    TAxGPProgramStats FProgramStats;
    std::vector<TGAFloat> FFairRoulette;        // reused by DoFairCrossover
    std::vector<TGAFloat> FLengths, FFitnesses; // reused by the covariant coefficient
};

extern template class AXGENETIC_API TAxCustomGeneticProgramming<TGAFloat>;
extern template class AXGENETIC_API TAxCustomGeneticProgramming<Variant>;

} // namespace generics
} // namespace ax
