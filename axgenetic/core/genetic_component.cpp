#include "axgenetic/core/genetic_component.hpp"

#include <algorithm>
#include <climits>

#include "axgenetic/core/defaults.hpp"
#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/messages.hpp"
#include "axgenetic/platform/random.hpp"
#include "axgenetic/platform/update_guard.hpp"

namespace ax {

namespace {

// Stores Value raised to at least Minimum; a write of the current value does nothing.
void SetAtLeast(int& Field, int Value, int Minimum) {
    if (Value == Field) return;
    Field = Value < Minimum ? Minimum : Value;
}

} // namespace

// Every setting starts at its default through the member initializers; only the handler
// of the default selection method remains to be installed.
TAxCustomGeneticComponent::TAxCustomGeneticComponent(TComponent* AOwner) : TComponent(AOwner) {
    FPopulation = CreatePopulation(ClassOf<TAxIndividual>());
    InstallSelectionHandler(FSelectionMethod);
}

TAxCustomGeneticComponent::~TAxCustomGeneticComponent() {
    // Populations die without notifications: the individuals go with them.
    FFittestIndividual = nullptr;
    FPriorityQueue.reset();
    FPopulation.reset();
    FPreviousGeneration.reset();
    FCumNormFitnesses = {};
}

std::unique_ptr<TAxPopulation>
TAxCustomGeneticComponent::CreatePopulation(TAxIndividualClass ItemClass) {
    return std::make_unique<TAxPopulation>(this, ItemClass);
}

void TAxCustomGeneticComponent::RecreatePopulation() {
    const TAxIndividualClass ItemClass =
        FPopulation ? FPopulation->ItemClass() : ClassOf<TAxIndividual>();
    FFittestIndividual = nullptr;
    FPriorityQueue.reset();
    FPopulation = CreatePopulation(ItemClass);
}

// --- settings ---------------------------------------------------------------------

void TAxCustomGeneticComponent::SetCrossoverProbability(TGAProbability Value) {
    StoreProbability(FCrossoverProbability, Value);
}
void TAxCustomGeneticComponent::SetMutationProbability(TGAProbability Value) {
    StoreProbability(FMutationProbability, Value);
}
void TAxCustomGeneticComponent::SetInversionProbability(TGAProbability Value) {
    StoreProbability(FInversionProbability, Value);
}
void TAxCustomGeneticComponent::SetElitistPct(TGAProbability Value) {
    StoreProbability(FElitistPct, Value);
}
void TAxCustomGeneticComponent::SetDiversityLimit(TGAProbability Value) {
    StoreProbability(FDiversityLimit, Value);
}
void TAxCustomGeneticComponent::SetGenerationLimit(int Value) {
    SetAtLeast(FGenerationLimit, Value, 1);
}
void TAxCustomGeneticComponent::SetInitialPopulation(int Value) {
    SetAtLeast(FInitialPopulation, Value, 0);
}
void TAxCustomGeneticComponent::SetInitialDuplicatesRetries(int Value) {
    SetAtLeast(FInitialDuplicatesRetries, Value, 0);
}
void TAxCustomGeneticComponent::SetTournamentField(int Value) {
    SetAtLeast(FTournamentField, Value, 2);
}

void TAxCustomGeneticComponent::SetSelectionMethod(TGASelectionMethod Value) {
    if (Value == FSelectionMethod) return;
    FSelectionMethod = Value;
    InstallSelectionHandler(Value);
}

void TAxCustomGeneticComponent::InstallSelectionHandler(TGASelectionMethod Value) {
    using TSelect = void (TAxCustomGeneticComponent::*)(TObject*, TAxPopulation*, TAxIndividual*&);
    TSelect Select = nullptr;
    switch (Value) {
    case TGASelectionMethod::smRoulette:
        Select = &TAxCustomGeneticComponent::SelectRoulette;
        break;
    case TGASelectionMethod::smRandom:
        Select = &TAxCustomGeneticComponent::SelectRandom;
        break;
    case TGASelectionMethod::smTournament:
        Select = &TAxCustomGeneticComponent::SelectTournament;
        break;
    case TGASelectionMethod::smStochasticTournament:
        Select = &TAxCustomGeneticComponent::SelectStochasticTournament;
        break;
    case TGASelectionMethod::smElitist:
        Select = &TAxCustomGeneticComponent::SelectElitist;
        break;
    case TGASelectionMethod::smCustom:
        FOnSelection = nullptr;
        return;
    }
    // The built-in handler calls through this component (a pointer to a virtual member
    // dispatches virtually), so overrides of the actual class are the ones that run.
    FOnSelection = [this, Select](TObject* S, TAxPopulation* P, TAxIndividual*& Parent) {
        (this->*Select)(S, P, Parent);
    };
}

void TAxCustomGeneticComponent::SetOnSelection(TAxSelectionEvent Value) {
    if (Value) {
        FOnSelection = std::move(Value);
        FSelectionMethod = TGASelectionMethod::smCustom;
    } else {
        // Reinstalls roulette even when the method already was roulette.
        FSelectionMethod = TGASelectionMethod::smCustom;
        SetSelectionMethod(TGASelectionMethod::smRoulette);
    }
}

void TAxCustomGeneticComponent::SetPopulation(const TAxPopulation* Value) {
    if (Value) FPopulation->Assign(*Value);
}

void TAxCustomGeneticComponent::SetPreviousGeneration(const TAxPopulation* Value) {
    if (!FPreviousGeneration) FPreviousGeneration = CreatePopulation(FPopulation->ItemClass());
    if (Value) FPreviousGeneration->Assign(*Value);
}

// --- the loop -----------------------------------------------------------------------

void TAxCustomGeneticComponent::Initialize() {
    FInitialized = false;
    while (FPopulation->Count() < FInitialPopulation)
        FPopulation->Add();
    if (FOnInitialization) FOnInitialization(this, FInitialized);
    if (!FInitialized) DoInitialize();
    EvaluateFitness();
    SetPreviousGeneration(FPopulation.get());
    FInitialized = true;
    FGeneration = 0;
}

void TAxCustomGeneticComponent::Evolve() {
    DoEvolve();
    if (FOnEvolve) FOnEvolve(this);
}

int TAxCustomGeneticComponent::Evolve(int Generations) {
    FHalt = false;
    const int Start = FGeneration;
    for (int I = 0; I < Generations; ++I) {
        Evolve();
        if (IsFinished() || FHalt) break;
    }
    return FGeneration - Start;
}

bool TAxCustomGeneticComponent::IsFinished() {
    if (FUseFitnessCutoff && FFittestIndividual) {
        const TGAFitness Best = FFittestIndividual->Fitness();
        if (IsMaximizing() ? Best >= FFitnessCutoff : Best <= FFitnessCutoff) return true;
    }
    if (FUseDiversityLimit && Diversity() < FDiversityLimit) return true;
    return FUseGenerationLimit && FGeneration >= FGenerationLimit;
}

void TAxCustomGeneticComponent::DoEvolve() {
    if (!FInitialized) Initialize();
    if (IsFinished() || FPopulation->Count() == 0) return;
    if (!FOnEvaluateFitness) throw EGAException(std::string(SNoFitnessFunction));
    if (FSelectionMethod == TGASelectionMethod::smCustom && !FOnSelection)
        throw EGAException(std::string(SNoSelectionFunction));
    DoStartEvolve();
    {
        TAxPopulation& Children = *FPopulation;
        const TUpdateGuard<TAxPopulation> Batch(Children);
        for (int Index = 0; Index < Children.Count(); Index += 2) {
            // The pair after this one loses its old contents next: fetched meanwhile.
            for (int Next = Index + 2; Next < std::min(Index + 4, Children.Count()); ++Next)
                Children.Items(Next)->Prefetch();
            DoEvolveOneStep(Index);
        }
        EvaluateFitness();
    }
    DoFinishEvolve();
}

void TAxCustomGeneticComponent::DoStartEvolve() {
    FRouletteIndex = -1;
    SwapGenerations();
}

void TAxCustomGeneticComponent::DoFinishEvolve() {
    // A count loaded as the largest int stays there rather than overflow.
    if (FGeneration < INT_MAX) ++FGeneration;
}

void TAxCustomGeneticComponent::DoEvolveOneStep(int Index) {
    TAxIndividual* Parent1 = SelectParent(FPreviousGeneration.get());
    TAxIndividual* Parent2 = SelectParent(FPreviousGeneration.get());
    // Checked before the children are touched, so no pair is left half-bred.
    if (!Parent1 || !Parent2) throw EGAException(std::string(SNoParentSelected));
    if (Index < FPopulation->Count() - 1)
        Reproduce(Parent1, Parent2, FPopulation->Items(Index), FPopulation->Items(Index + 1));
    else
        Reproduce(Parent1, Parent2, FPopulation->Items(Index));
}

void TAxCustomGeneticComponent::DoParallelEvolveOneStep(int Index) {
    DoEvolveOneStep(2 * Index);
}

void TAxCustomGeneticComponent::SwapGenerations() {
    // Without a previous generation there is nothing bred yet to swap with; an empty one
    // is made, as on first use.
    if (!FPreviousGeneration) FPreviousGeneration = CreatePopulation(FPopulation->ItemClass());
    std::swap(FPopulation, FPreviousGeneration);
}

// --- breeding -----------------------------------------------------------------------

bool TAxCustomGeneticComponent::Reproduce(TAxIndividual* Parent1, TAxIndividual* Parent2,
                                          TAxIndividual* Child1) {
    bool Changed = DoReproduce(Parent1, Parent2, Child1);
    if (FOnReproduction) FOnReproduction(this, Child1, Changed);
    return Changed;
}

bool TAxCustomGeneticComponent::Reproduce(TAxIndividual* Parent1, TAxIndividual* Parent2,
                                          TAxIndividual* Child1, TAxIndividual* Child2) {
    bool Changed = DoReproduce(Parent1, Parent2, Child1, Child2);
    if (FOnReproduction) {
        FOnReproduction(this, Child1, Changed);
        FOnReproduction(this, Child2, Changed);
    }
    return Changed;
}

bool TAxCustomGeneticComponent::DoReproduce(TAxIndividual* Parent1, TAxIndividual* Parent2,
                                            TAxIndividual* Child1) {
    InitializeChild(Parent1, Parent2, Child1);
    bool Changed = false;
    if (FOperations.Contains(TGAGeneticOperation::goCrossover))
        Changed = Crossover(Parent1, Parent2, Child1);
    // Every operator runs even when a child is already changed.
    if (FOperations.Contains(TGAGeneticOperation::goMutate)) Changed = Mutate(Child1) || Changed;
    if (FOperations.Contains(TGAGeneticOperation::goInvert)) Changed = Invert(Child1) || Changed;
    return Changed;
}

bool TAxCustomGeneticComponent::DoReproduce(TAxIndividual* Parent1, TAxIndividual* Parent2,
                                            TAxIndividual* Child1, TAxIndividual* Child2) {
    InitializeChild(Parent1, Parent2, Child1);
    InitializeChild(Parent1, Parent2, Child2);
    bool Changed = false;
    if (FOperations.Contains(TGAGeneticOperation::goCrossover))
        Changed = Crossover(Parent1, Parent2, Child1, Child2);
    if (FOperations.Contains(TGAGeneticOperation::goMutate)) {
        Changed = Mutate(Child1) || Changed;
        Changed = Mutate(Child2) || Changed;
    }
    if (FOperations.Contains(TGAGeneticOperation::goInvert)) {
        Changed = Invert(Child1) || Changed;
        Changed = Invert(Child2) || Changed;
    }
    return Changed;
}

bool TAxCustomGeneticComponent::Crossover(TAxIndividual* Parent1, TAxIndividual* Parent2,
                                          TAxIndividual* Child1) {
    return CrossoverStep(Parent1, Parent2, Child1, nullptr);
}

bool TAxCustomGeneticComponent::Crossover(TAxIndividual* Parent1, TAxIndividual* Parent2,
                                          TAxIndividual* Child1, TAxIndividual* Child2) {
    return CrossoverStep(Parent1, Parent2, Child1, Child2);
}

bool TAxCustomGeneticComponent::CrossoverStep(TAxIndividual* Parent1, TAxIndividual* Parent2,
                                              TAxIndividual* Child1, TAxIndividual* Child2) {
    bool Happens = Random() < FCrossoverProbability;
    if (Happens && FOnCrossover) FOnCrossover(this, Parent1, Parent2, Child1, Happens);
    if (Happens) Happens = DoCrossover(Parent1, Parent2, Child1, Child2);
    return Happens;
}

bool TAxCustomGeneticComponent::Mutate(TAxIndividual* Item) {
    bool Happens = Random() < FMutationProbability;
    if (Happens && FOnMutation) FOnMutation(this, Item, Happens);
    if (Happens) Happens = DoMutate(Item);
    return Happens;
}

bool TAxCustomGeneticComponent::Invert(TAxIndividual* Item) {
    bool Happens = Random() < FInversionProbability;
    if (Happens && FOnInversion) FOnInversion(this, Item, Happens);
    if (Happens) Happens = DoInvert(Item);
    return Happens;
}

void TAxCustomGeneticComponent::InitializeChild(TAxIndividual* Parent1, TAxIndividual* Parent2,
                                                TAxIndividual* Child) {
    Child->Assign(*Parent1);
    if (FOnInitializeChild) FOnInitializeChild(this, Parent1, Parent2, Child);
}

bool TAxCustomGeneticComponent::DoCrossover(TAxIndividual*, TAxIndividual*, TAxIndividual*,
                                            TAxIndividual*) {
    return false;
}
bool TAxCustomGeneticComponent::DoMutate(TAxIndividual*) {
    return false;
}
bool TAxCustomGeneticComponent::DoInvert(TAxIndividual*) {
    return false;
}
int TAxCustomGeneticComponent::DoInitialize() {
    return 0;
}

// --- population notifications -------------------------------------------------------

void TAxCustomGeneticComponent::PopulationNotify(TAxIndividual* Item,
                                                 TCollectionNotification Action) {
    if (Action == TCollectionNotification::cnAdded) return;
    if (Item == FFittestIndividual) FFittestIndividual = nullptr;
    // The ranking points at individuals of one population; one that leaves it must not be
    // ranked any more. Departures from the other population (the previous generation
    // being refilled) leave the ranking of the parents intact.
    if (FPriorityQueue && Item->Collection() == FRankedPopulation) FPriorityQueue.reset();
}

void TAxCustomGeneticComponent::PopulationUpdate(TAxIndividual*) {}

// --- batch evaluation -------------------------------------------------------------

TGAFitness TAxCustomGeneticComponent::RunFitnessHandler(TAxIndividual* Item) {
    TGAFitness Result = 0;
    if (FOnEvaluateFitness) FOnEvaluateFitness(this, Item, Result);
    return Result;
}

void TAxCustomGeneticComponent::EvaluateStaleInBatch() {
    FBatchItems.clear();
    FBatchIndexes.clear();
    TAxPopulation& Pop = *FPopulation;
    const int Count = Pop.Count();
    // The same calls, in the same order, as the statistics pass would make; only the
    // handler calls are gathered instead of made.
    for (int I = 0; I < Count; ++I) {
        TAxIndividual* Item = Pop.Items(I);
        if (!Item->NeedFitness()) continue;
        FDeferredItem = Item;
        TGAFitness Fitness = 0;
        try {
            Fitness = EvaluateFitness(Item, false);
        } catch (...) {
            FDeferredItem = nullptr;
            throw;
        }
        if (FDeferredItem) {
            FDeferredItem = nullptr;
            Item->StoreFitness(Fitness);
        } else {
            FBatchItems.push_back(Item);
            FBatchIndexes.push_back(I);
        }
    }
    if (FBatchItems.empty()) return;
    FBatchFitness.assign(FBatchItems.size(), 0.0);
    FFitnessEvaluator->EvaluateFitnessBatch(*this, {FBatchItems, FBatchIndexes, FBatchFitness});
    for (std::size_t I = 0; I < FBatchItems.size(); ++I)
        FBatchItems[I]->StoreFitness(FBatchFitness[I]);
}

// --- copying ------------------------------------------------------------------------

void TAxCustomGeneticComponent::Assign(const TPersistent& Source) {
    const auto* From = dynamic_cast<const TAxCustomGeneticComponent*>(&Source);
    if (!From) {
        TComponent::Assign(Source);
        return;
    }
    if (From == this) return;
    FGeneration = From->FGeneration;
    FFitnessCutoff = From->FFitnessCutoff;
    FCrossoverProbability = From->FCrossoverProbability;
    FInversionProbability = From->FInversionProbability;
    FMutationProbability = From->FMutationProbability;
    FElitistPct = From->FElitistPct;
    FFitnessMethod = From->FFitnessMethod;
    FMaxFitness = From->FMaxFitness;
    FMinFitness = From->FMinFitness;
    FMaxWeightedFitness = From->FMaxWeightedFitness;
    FMinWeightedFitness = From->FMinWeightedFitness;
    FFitnessSum = From->FFitnessSum;
    FWeightedFitnessSum = From->FWeightedFitnessSum;
    FNonFiniteFitnesses = From->FNonFiniteFitnesses;
    FNonFiniteWeightedFitnesses = From->FNonFiniteWeightedFitnesses;
    FDiversityLimit = From->FDiversityLimit;
    FGenerationLimit = From->FGenerationLimit;
    FTournamentField = From->FTournamentField;
    FInitialized = From->FInitialized;
    FUseFitnessCutoff = From->FUseFitnessCutoff;
    FUseDiversityLimit = From->FUseDiversityLimit;
    FUseGenerationLimit = From->FUseGenerationLimit;
    FInitialDuplicatesRetries = From->FInitialDuplicatesRetries;
    SetSelectionMethod(From->FSelectionMethod);
    SetPopulation(From->FPopulation.get());
    if (From->FPreviousGeneration) {
        SetPreviousGeneration(From->FPreviousGeneration.get());
    } else if (FPreviousGeneration) {
        FPreviousGeneration->Clear();
        FPreviousGeneration.reset();
    }
    // The copy of the source's fittest, found by its index.
    FFittestIndividual = nullptr;
    const TAxIndividual* SourceFittest = From->FFittestIndividual;
    if (SourceFittest && SourceFittest->Collection() == From->FPopulation.get()) {
        const int Index = SourceFittest->Index();
        if (Index >= 0 && Index < FPopulation->Count())
            FFittestIndividual = FPopulation->Items(Index);
    }
}

} // namespace ax
