// The shared evolution driver: settings, events, the generation loop, fitness statistics
// and parent selection. It knows nothing about genomes; a derived component supplies the
// population class (CreatePopulation), random genomes (DoInitialize) and the operators
// (DoCrossover, DoMutate, DoInvert), and may override further steps.
//
// Behaviour in the corner cases:
// - A roulette draw that no table entry exceeds (rounding, or a zero fitness sum with
//   unequal values) picks the last entry; the index never passes the table or the
//   population it picks from.
// - An elitist rank at or past the number of ranked entries restarts the cycle at rank 0.
// - A selection that leaves no parent (a custom handler leaving Parent as nullptr, or an
//   empty population to choose from; elitist picks read the ranking instead) raises
//   EGAException with SNoParentSelected before the pair's children are touched.
// - After Assign, FittestIndividual is this component's individual at the index the
//   source's fittest had in the source's population, or nullptr.
// - The elitist ranking holds individuals, so it is dropped when an individual leaves the
//   population it was built from; the next elitist pick then ranks the population again.
// - The ranking keeps equal single-precision keys in population order.
// - A fitness that is not a number (NaN) is worse than every number: it never wins a
//   comparison, a tournament or the place of FittestIndividual (unless every fitness is
//   NaN), gets no roulette share and ranks last. Infinities are numbers in comparisons and
//   in the minimum and maximum. Sums and averages cover the finite values only (an
//   average is NaN when there is none, or that infinity when all share it). A population
//   whose fitness values are all finite is treated exactly as the statistics pass always
//   did, so ordinary runs draw the same.
//
// Overloaded virtuals (EvaluateFitness, Crossover, Reproduce, DoReproduce): a derived
// class that overrides one form adds `using Base::Name;` to keep the others visible.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cmath>
#include <functional>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "axgenetic/common/float_priority_queue.hpp"
#include "axgenetic/core/defaults.hpp"
#include "axgenetic/core/individual.hpp"
#include "axgenetic/core/types.hpp"
#include "axgenetic/platform/component.hpp"

namespace ax {

// Stores a probability setting: clamped to [0, 1]; a write of the current value, or of a
// NaN (which has no place in that range), leaves the setting as it is.
inline void StoreProbability(TGAProbability& Field, TGAProbability Value) {
    if (Value == Field || std::isnan(Value)) return;
    Field = Value < 0.0 ? 0.0 : (Value > 1.0 ? 1.0 : Value);
}

class IXMLGeneticDocumentType;
class IXMLReproductionType;
class TStringList;

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TAxInitializationEvent = std::function<void(TObject* Sender, bool& Initialized)>;
using TAxFitnessEvent =
    std::function<void(TObject* Sender, TAxIndividual* Item, TGAFitness& Fitness)>;
using TAxIndividualEvent = std::function<void(TObject* Sender, TAxIndividual* Item)>;
using TAxParentChildEvent = std::function<void(TObject* Sender, TAxIndividual* Parent1,
                                               TAxIndividual* Parent2, TAxIndividual* Child)>;
using TAxMutationEvent =
    std::function<void(TObject* Sender, TAxIndividual* Item, bool& DoMutation)>;
using TAxSelectionEvent =
    std::function<void(TObject* Sender, TAxPopulation* Population, TAxIndividual*& Parent)>;
using TAxCrossoverEvent =
    std::function<void(TObject* Sender, TAxIndividual* Parent1, TAxIndividual* Parent2,
                       TAxIndividual* Child, bool& DoMutation)>;

class TAxCustomGeneticComponent;

// The stale individuals of one statistics pass, handed to a fitness evaluator at once:
// Items in population order, their Indexes in the population, and Fitness to fill in (one
// value per item, same position).
struct AXGENETIC_API TAxFitnessBatch {
    std::span<TAxIndividual* const> Items;
    std::span<const int> Indexes;
    std::span<TGAFitness> Fitness;
};

// Computes the raw fitness of a whole batch, e.g. on worker threads or other processes
// (axgenetic/parallel). Installed by the host with SetFitnessEvaluator; called on the
// caller's thread. Each value must be what Component.RunFitnessHandler gives for the
// item; a throw leaves every item of the batch stale.
class AXGENETIC_API IAxFitnessEvaluator {
public:
    virtual ~IAxFitnessEvaluator() = default;
    virtual void EvaluateFitnessBatch(TAxCustomGeneticComponent& Component,
                                      const TAxFitnessBatch& Batch) = 0;
};

class AXGENETIC_API TAxCustomGeneticComponent : public TComponent {
public:
    explicit TAxCustomGeneticComponent(TComponent* AOwner = nullptr);
    ~TAxCustomGeneticComponent() override;
    std::string ClassName() const override { return "TAxCustomGeneticComponent"; }

    // --- settings ------------------------------------------------------------------
    // Each setting's comment gives its default. Probabilities are clamped to [0, 1]; a
    // write of the current value or of NaN does nothing (StoreProbability).

    // Chance that a pair of children is bred by crossover. Default 0.98.
    TGAProbability CrossoverProbability() const { return FCrossoverProbability; }
    void SetCrossoverProbability(TGAProbability Value);
    // Here one draw per child decides whether it is mutated; the genetic algorithm
    // overrides Mutate and uses it as the chance that each single bit flips. Default 0.01.
    TGAProbability MutationProbability() const { return FMutationProbability; }
    void SetMutationProbability(TGAProbability Value);
    // Chance that a child is inverted. Default 0.1.
    TGAProbability InversionProbability() const { return FInversionProbability; }
    void SetInversionProbability(TGAProbability Value);
    // Share of the population that elitist selection cycles through. Default 0.1.
    TGAProbability ElitistPct() const { return FElitistPct; }
    void SetElitistPct(TGAProbability Value);
    // Diversity below which the run is finished, when UseDiversityLimit. Default 0.02.
    TGAProbability DiversityLimit() const { return FDiversityLimit; }
    void SetDiversityLimit(TGAProbability Value);
    // Raw fitness at which the run is finished, when UseFitnessCutoff. Default 1.
    TGAFitness FitnessCutoff() const { return FFitnessCutoff; }
    void SetFitnessCutoff(TGAFitness Value) { FFitnessCutoff = Value; }
    // The three stopping rules; all off by default.
    bool UseFitnessCutoff() const { return FUseFitnessCutoff; }
    void SetUseFitnessCutoff(bool Value) { FUseFitnessCutoff = Value; }
    bool UseDiversityLimit() const { return FUseDiversityLimit; }
    void SetUseDiversityLimit(bool Value) { FUseDiversityLimit = Value; }
    bool UseGenerationLimit() const { return FUseGenerationLimit; }
    void SetUseGenerationLimit(bool Value) { FUseGenerationLimit = Value; }
    // Default 0; a different value is stored as at least 1.
    int GenerationLimit() const { return FGenerationLimit; }
    void SetGenerationLimit(int Value);
    int Generation() const { return FGeneration; }
    void SetGeneration(int Value) { FGeneration = Value; }
    // Individuals Initialize creates. Default 100; a different value is stored as at least 0.
    int InitialPopulation() const { return FInitialPopulation; }
    void SetInitialPopulation(int Value);
    // Redraws a derived initialization may spend on duplicates. Default 10; at least 0.
    int InitialDuplicatesRetries() const { return FInitialDuplicatesRetries; }
    void SetInitialDuplicatesRetries(int Value);
    // Tournament size. Default 2; a different value is stored as at least 2.
    int TournamentField() const { return FTournamentField; }
    void SetTournamentField(int Value);
    // Default fmMinimize.
    TGAFitnessMethod FitnessMethod() const { return FFitnessMethod; }
    void SetFitnessMethod(TGAFitnessMethod Value) { FFitnessMethod = Value; }
    // Default all three operations.
    TGAGeneticOperations Operations() const { return FOperations; }
    void SetOperations(TGAGeneticOperations Value) { FOperations = Value; }
    // Default smStochasticTournament. A different method installs its built-in handler
    // into OnSelection (smCustom empties it).
    TGASelectionMethod SelectionMethod() const { return FSelectionMethod; }
    void SetSelectionMethod(TGASelectionMethod Value);
    bool Halt() const { return FHalt; }
    void SetHalt(bool Value) { FHalt = Value; }

    // --- populations and results -----------------------------------------------------
    TAxPopulation* Population() const { return FPopulation.get(); }
    // Copies Value's individuals into the owned population.
    void SetPopulation(const TAxPopulation* Value);
    // nullptr until first written (Initialize writes it).
    TAxPopulation* PreviousGeneration() const { return FPreviousGeneration.get(); }
    // Copies Value's individuals into the previous generation, made on first use.
    void SetPreviousGeneration(const TAxPopulation* Value);
    bool Initialized() const { return FInitialized; }
    TAxIndividual* FittestIndividual() const { return FFittestIndividual; }
    TGAFitness MaxFitness() const { return FMaxFitness; }
    TGAFitness MinFitness() const { return FMinFitness; }
    // The sum of the finite raw fitness values divided by their number.
    TGAFitness AvgFitness() const;
    TGAFitness MaxWeightedFitness() const { return FMaxWeightedFitness; }
    TGAFitness MinWeightedFitness() const { return FMinWeightedFitness; }
    TGAFitness AvgWeightedFitness() const;
    // AvgFitness / MaxFitness; +infinity when MaxFitness is exactly 0.
    TGAFitness Diversity() const;

    // --- events --------------------------------------------------------------------
    const TNotifyEvent& OnEvolve() const { return FOnEvolve; }
    void SetOnEvolve(TNotifyEvent Value) { FOnEvolve = std::move(Value); }
    const TAxInitializationEvent& OnInitialization() const { return FOnInitialization; }
    void SetOnInitialization(TAxInitializationEvent Value) { FOnInitialization = std::move(Value); }
    const TAxFitnessEvent& OnEvaluateFitness() const { return FOnEvaluateFitness; }
    void SetOnEvaluateFitness(TAxFitnessEvent Value) { FOnEvaluateFitness = std::move(Value); }
    const TAxFitnessEvent& OnEvaluateWeightedFitness() const { return FOnEvaluateWeightedFitness; }
    void SetOnEvaluateWeightedFitness(TAxFitnessEvent Value) {
        FOnEvaluateWeightedFitness = std::move(Value);
    }
    // The installed handler, built-in or the host's. A non-empty handler makes the method
    // smCustom; an empty one installs roulette selection.
    const TAxSelectionEvent& OnSelection() const { return FOnSelection; }
    void SetOnSelection(TAxSelectionEvent Value);
    const TAxParentChildEvent& OnInitializeChild() const { return FOnInitializeChild; }
    void SetOnInitializeChild(TAxParentChildEvent Value) { FOnInitializeChild = std::move(Value); }
    // A component with a crossover event of its own (the GA's, which also offers the cut
    // bit) overrides the setter to keep the handler there, so only one event fires.
    const TAxCrossoverEvent& OnCrossover() const { return FOnCrossover; }
    virtual void SetOnCrossover(TAxCrossoverEvent Value) { FOnCrossover = std::move(Value); }
    const TAxMutationEvent& OnMutation() const { return FOnMutation; }
    void SetOnMutation(TAxMutationEvent Value) { FOnMutation = std::move(Value); }
    const TAxMutationEvent& OnInversion() const { return FOnInversion; }
    void SetOnInversion(TAxMutationEvent Value) { FOnInversion = std::move(Value); }
    const TAxMutationEvent& OnReproduction() const { return FOnReproduction; }
    void SetOnReproduction(TAxMutationEvent Value) { FOnReproduction = std::move(Value); }

    // --- the loop ------------------------------------------------------------------
    // Fills the population to InitialPopulation, randomizes it, evaluates it and copies
    // it into the previous generation.
    virtual void Initialize();
    // One generation (DoEvolve), then OnEvolve.
    virtual void Evolve();
    // Up to Generations generations, stopping early on IsFinished or Halt; returns the
    // number of generations run.
    int Evolve(int Generations);
    virtual bool IsFinished();
    // Breeds pair number Index (children 2 * Index and 2 * Index + 1).
    void DoParallelEvolveOneStep(int Index);
    void SwapGenerations();

    // --- breeding ------------------------------------------------------------------
    virtual bool Reproduce(TAxIndividual* Parent1, TAxIndividual* Parent2, TAxIndividual* Child1);
    virtual bool Reproduce(TAxIndividual* Parent1, TAxIndividual* Parent2, TAxIndividual* Child1,
                           TAxIndividual* Child2);
    virtual bool Crossover(TAxIndividual* Parent1, TAxIndividual* Parent2, TAxIndividual* Child1);
    virtual bool Crossover(TAxIndividual* Parent1, TAxIndividual* Parent2, TAxIndividual* Child1,
                           TAxIndividual* Child2);
    virtual bool Mutate(TAxIndividual* Item);
    virtual bool Invert(TAxIndividual* Item);
    // Child becomes a copy of Parent1, then OnInitializeChild.
    virtual void InitializeChild(TAxIndividual* Parent1, TAxIndividual* Parent2,
                                 TAxIndividual* Child);

    // --- fitness -------------------------------------------------------------------
    // The statistics pass over the whole population.
    virtual void EvaluateFitness();
    // The raw (Weighted false) or weighted fitness of Item.
    virtual TGAFitness EvaluateFitness(TAxIndividual* Item, bool Weighted);
    // Gives Item a raw fitness computed before, without evaluating it again, as a
    // checkpoint restores the fitness its individuals had (a fitness decided by random
    // draws, such as a Tarpeian penalty, is then not drawn anew).
    void RestoreFitness(TAxIndividual& Item, TGAFitness Value) { Item.StoreFitness(Value); }
    // -1 when Parent1 is fitter, +1 when Parent2 is, 0 on a tie.
    int CompareFitness(TAxIndividual* Parent1, TAxIndividual* Parent2, bool UsePureFitness);
    // Parent1 unless Parent2 is strictly fitter.
    virtual TAxIndividual* Fittest(TAxIndividual* Parent1, TAxIndividual* Parent2,
                                   bool UsePureFitness);
    // The fitness that marks an individual unfit: the least fit single-precision extreme.
    virtual TGAFitness UnfitFitness();
    TGAFitness GetAdjustedFitness(TGAFitness Fitness) const;
    TGAFitness GetNormalizedFitness(TGAFitness Fitness) const;
    TGAFitness GetNormalizedWeightedFitness(TGAFitness Fitness) const;

    // --- batch evaluation (opt-in) ---------------------------------------------------
    // With an evaluator installed (not owned; nullptr by default) the statistics pass
    // first hands every stale individual whose fitness needs OnEvaluateFitness to it in
    // one batch. EvaluateFitness(Item, false) still runs for each of them on this thread,
    // in population order, so an override that decides a fitness itself keeps its draws.
    IAxFitnessEvaluator* FitnessEvaluator() const { return FFitnessEvaluator; }
    void SetFitnessEvaluator(IAxFitnessEvaluator* Value) { FFitnessEvaluator = Value; }
    // OnEvaluateFitness for Item, Fitness starting at 0; 0 without a handler. It touches
    // no component state, so evaluators call it from any thread.
    TGAFitness RunFitnessHandler(TAxIndividual* Item);

    // --- selection -----------------------------------------------------------------
    // One parent through OnSelection, or DoSelectParent when it is empty.
    virtual TAxIndividual* SelectParent(TAxPopulation* Population);
    // The built-in methods, installable in OnSelection. Each leaves Parent untouched when
    // Population is empty.
    void SelectRandom(TObject* Sender, TAxPopulation* Population, TAxIndividual*& Parent);
    virtual void SelectRoulette(TObject* Sender, TAxPopulation* Population, TAxIndividual*& Parent);
    virtual void SelectTournament(TObject* Sender, TAxPopulation* Population,
                                  TAxIndividual*& Parent);
    virtual void SelectStochasticTournament(TObject* Sender, TAxPopulation* Population,
                                            TAxIndividual*& Parent);
    virtual void SelectElitist(TObject* Sender, TAxPopulation* Population, TAxIndividual*& Parent);
    // Rebuilds the roulette table from the current population.
    void CalculateCumulativeNormalizedFitnesses();
    // Rebuilds the elitist ranking from the current population.
    virtual void PrioritizePopulation();

    // --- copying and persistence -----------------------------------------------------
    void Assign(const TPersistent& Source) override;
    virtual void SaveToXML(const IXMLGeneticDocumentType& Document);
    virtual void LoadFromXML(const IXMLGeneticDocumentType& Document);
    // The probabilities and selection settings of a reproduction element, which every
    // component's document holds after its crossover method. The load takes values the
    // document's check has read; an unknown or missing selection name leaves the method.
    void SaveReproductionToXML(const IXMLReproductionType& Reproduction) const;
    void LoadReproductionFromXML(const IXMLReproductionType& Reproduction);
    // Reads the shared values of a document, as a load's checking pass does, and refuses
    // (EGAException) a TournamentField above MaxDocumentTournamentField.
    static void CheckSharedDocument(const IXMLGeneticDocumentType& Document);
    virtual void SaveToFile(const std::string& FileName);
    virtual void SaveToStream(std::ostream& Stream);
    virtual void LoadFromFile(const std::string& FileName);
    virtual void LoadFromStream(std::istream& Stream);
    // The shared settings, published for property streaming; the six float settings are
    // also defined stream properties, so that a non-default 0 is written too.
    void GetPublishedProperties(std::vector<TPublishedProperty>& List) const override;
    void DefineProperties(TFiler& Filer) override;
    // Appends a description of the settings, detail lines indented with TabStr.
    virtual void Describe(TStringList& Strings, const std::string& TabStr) const;
    // Describe with three blanks of indentation, one line per line.
    std::string ToString() const override;

protected:
    friend class TAxPopulation;

    // Makes the population (and previous generation) objects. The base constructor calls
    // the base version; a derived component that overrides it calls RecreatePopulation in
    // its own constructor, since a constructor cannot reach overrides yet.
    virtual std::unique_ptr<TAxPopulation> CreatePopulation(TAxIndividualClass ItemClass);
    // Replaces the (still empty) population by one made by the actual CreatePopulation.
    void RecreatePopulation();

    // An individual joined or is leaving one of the two populations.
    virtual void PopulationNotify(TAxIndividual* Item, TCollectionNotification Action);
    // An individual (or, with nullptr, a whole population) changed.
    virtual void PopulationUpdate(TAxIndividual* Item);

    // Operator steps: each returns whether it changed a child. The base changes nothing.
    // Child2 is nullptr for the one-child form.
    virtual bool DoCrossover(TAxIndividual* Parent1, TAxIndividual* Parent2, TAxIndividual* Child1,
                             TAxIndividual* Child2);
    virtual bool DoMutate(TAxIndividual* Item);
    virtual bool DoInvert(TAxIndividual* Item);
    // Random genomes for the whole population; the result is a count Initialize ignores.
    virtual int DoInitialize();

    virtual void DoEvolve();
    virtual void DoEvolveOneStep(int Index);
    virtual void DoStartEvolve();
    virtual void DoFinishEvolve();
    virtual bool DoReproduce(TAxIndividual* Parent1, TAxIndividual* Parent2, TAxIndividual* Child1);
    virtual bool DoReproduce(TAxIndividual* Parent1, TAxIndividual* Parent2, TAxIndividual* Child1,
                             TAxIndividual* Child2);

    virtual TGAFitness DoEvaluateWeightedFitness(TAxIndividual* Item);
    // The termination lines of Describe.
    void DescribeTermination(TStringList& Strings, const std::string& TabStr) const;
    // The first lines of Describe: the heading, the fitness method, the three probabilities.
    void DescribeOperators(TStringList& Strings, const std::string& TabStr) const;
    // What a load does to a component that was never initialized, before it fills the
    // population: Initialize without individuals, keeping InitialPopulation and Generation.
    void InitializeWithoutIndividuals();
    virtual void DoCalculateFitnessStatistics();
    virtual void DoCalculateWeightedFitnessStatistics();
    virtual void DoSelectionPreparation();
    // Raises EGAException: there is no selection handler.
    virtual TAxIndividual* DoSelectParent(TAxPopulation* Population);

    // True when the scale in use has no spread (roulette and elitist fall back to random).
    bool HasEqualSpread() const;
    // The roulette table of a population with a fitness that is not finite on the scale
    // in use: NaN and the worst infinity get no share, the best infinity takes them all.
    void CalculateCumulativeSharesNonFinite(bool Weighted);
    bool IsMaximizing() const;

    // The initializers are the settings of a new component.
    bool FInitialized = false;
    TNotifyEvent FOnEvolve;
    int FTournamentField = 2;
    TGAProbability FDiversityLimit = DEFAULT_DIVERSITY_LIMIT;
    TGAProbability FElitistPct = DEFAULT_ELITIST_PCT;
    std::unique_ptr<TAxPopulation> FPreviousGeneration;
    bool FUseDiversityLimit = false;
    TGAFitness FFitnessCutoff = DEFAULT_FITNESS_CUTOFF;
    std::unique_ptr<TAxPopulation> FPopulation;
    // The constructor installs its handler into FOnSelection.
    TGASelectionMethod FSelectionMethod = TGASelectionMethod::smStochasticTournament;
    TGAProbability FInversionProbability = INVERSION_PROBABILITY;
    TGAGeneticOperations FOperations{TGAGeneticOperation::goCrossover,
                                     TGAGeneticOperation::goMutate, TGAGeneticOperation::goInvert};
    bool FUseFitnessCutoff = false;
    TGAFitness FMaxFitness = 0;
    TAxMutationEvent FOnInversion;
    TAxSelectionEvent FOnSelection;
    TGAFitnessMethod FFitnessMethod = TGAFitnessMethod::fmMinimize;
    int FGeneration = 0;
    TGAProbability FMutationProbability = MUTATION_PROBABILITY;
    TAxIndividual* FFittestIndividual = nullptr;
    TGAFitness FMinFitness = 0;
    TAxParentChildEvent FOnInitializeChild;
    TAxMutationEvent FOnMutation;
    TAxMutationEvent FOnReproduction;
    TGAProbability FCrossoverProbability = CROSSOVER_PROBABILITY;
    TAxInitializationEvent FOnInitialization;
    TAxFitnessEvent FOnEvaluateFitness;
    TAxCrossoverEvent FOnCrossover;
    int FInitialPopulation = 100;
    TGAFitnessArray FCumNormFitnesses;
    int FRouletteIndex = -1;
    TGAFitness FFitnessSum = 0;
    std::unique_ptr<TFloatPriorityQueue> FPriorityQueue;
    int FGenerationLimit = 0;
    bool FUseGenerationLimit = false;
    TGAFitness FWeightedFitnessSum = 0;
    TGAFitness FMinWeightedFitness = 0;
    TGAFitness FMaxWeightedFitness = 0;
    TAxFitnessEvent FOnEvaluateWeightedFitness;
    bool FHalt = false;
    int FInitialDuplicatesRetries = 10;
    // Individuals whose raw (weighted) fitness was not finite at the last statistics pass:
    // left out of the sum and the average.
    int FNonFiniteFitnesses = 0;
    int FNonFiniteWeightedFitnesses = 0;

private:
    // Puts the built-in handler of Value into OnSelection (empties it for smCustom).
    void InstallSelectionHandler(TGASelectionMethod Value);
    // Both crossover forms: one draw, the veto, then DoCrossover (Child2 nullptr for one
    // child). Shared without either form calling the other's override.
    bool CrossoverStep(TAxIndividual* Parent1, TAxIndividual* Parent2, TAxIndividual* Child1,
                       TAxIndividual* Child2);

    // The population the ranking was built from; only departures from it drop the ranking.
    const TAxPopulation* FRankedPopulation = nullptr;

    // Evaluates the population's stale individuals through FFitnessEvaluator.
    void EvaluateStaleInBatch();
    IAxFitnessEvaluator* FFitnessEvaluator = nullptr;
    // The individual whose handler call EvaluateFitness(Item, false) defers to the batch.
    TAxIndividual* FDeferredItem = nullptr;
    std::vector<TAxIndividual*> FBatchItems;
    std::vector<int> FBatchIndexes;
    std::vector<TGAFitness> FBatchFitness;
};

// Writes a file through Write into a temporary file beside FileName, which replaces
// FileName only once completely written (SaveToFile of the components).
AXGENETIC_API void SaveToFileSafely(const std::string& FileName,
                                    const std::function<void(std::ostream&)>& Write);

} // namespace ax
