// Fitness comparison, the statistics pass, the selection tables and the built-in parent
// selection methods of TAxCustomGeneticComponent.
#include <cmath>
#include <limits>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/genetic_component.hpp"
#include "axgenetic/core/messages.hpp"
#include "axgenetic/core/roulette.hpp"
#include "axgenetic/platform/math.hpp"
#include "axgenetic/platform/random.hpp"

namespace ax {

bool TAxCustomGeneticComponent::IsMaximizing() const {
    return ax::IsMaximizing(FFitnessMethod);
}

bool TAxCustomGeneticComponent::HasEqualSpread() const {
    if (FFitnessMethod == TGAFitnessMethod::fmMinimize ||
        FFitnessMethod == TGAFitnessMethod::fmMaximize)
        return FMinFitness == FMaxFitness;
    return FMinWeightedFitness == FMaxWeightedFitness;
}

// --- comparison and scalings --------------------------------------------------------

int TAxCustomGeneticComponent::CompareFitness(TAxIndividual* Parent1, TAxIndividual* Parent2,
                                              bool UsePureFitness) {
    if (UsePureFitness) {
        const TGAFitness F1 = Parent1->Fitness(), F2 = Parent2->Fitness();
        return IsMaximizing() ? Sign(F2 - F1) : Sign(F1 - F2);
    }
    switch (FFitnessMethod) {
    case TGAFitnessMethod::fmMinimize:
        return Sign(Parent1->Fitness() - Parent2->Fitness());
    case TGAFitnessMethod::fmMaximize:
        return Sign(Parent2->Fitness() - Parent1->Fitness());
    case TGAFitnessMethod::fmWeightedMinimize:
        return Sign(Parent1->WeightedFitness() - Parent2->WeightedFitness());
    case TGAFitnessMethod::fmWeightedMaximize:
        return Sign(Parent2->WeightedFitness() - Parent1->WeightedFitness());
    }
    return 0;
}

TAxIndividual* TAxCustomGeneticComponent::Fittest(TAxIndividual* Parent1, TAxIndividual* Parent2,
                                                  bool UsePureFitness) {
    return CompareFitness(Parent1, Parent2, UsePureFitness) <= 0 ? Parent1 : Parent2;
}

TGAFitness TAxCustomGeneticComponent::UnfitFitness() {
    if (IsMaximizing()) return static_cast<TGAFitness>(std::numeric_limits<float>::denorm_min());
    return static_cast<TGAFitness>(std::numeric_limits<float>::max());
}

TGAFitness TAxCustomGeneticComponent::GetAdjustedFitness(TGAFitness Fitness) const {
    if (IsMaximizing()) return 1.0 / (FMaxFitness - Fitness + 1.0);
    return 1.0 / (1.0 + Fitness);
}

TGAFitness TAxCustomGeneticComponent::GetNormalizedFitness(TGAFitness Fitness) const {
    return FFitnessSum == 0.0 ? 0.0 : Fitness / FFitnessSum;
}

TGAFitness TAxCustomGeneticComponent::GetNormalizedWeightedFitness(TGAFitness Fitness) const {
    return FWeightedFitnessSum == 0.0 ? 0.0 : Fitness / FWeightedFitnessSum;
}

TGAFitness TAxCustomGeneticComponent::AvgFitness() const {
    const int Count = FPopulation->Count();
    if (Count == 0) return (FMaxFitness - FMinFitness) / 2.0 + FMinFitness;
    return FFitnessSum / Count;
}

TGAFitness TAxCustomGeneticComponent::AvgWeightedFitness() const {
    const int Count = FPopulation->Count();
    if (Count == 0) return (FMaxWeightedFitness - FMinWeightedFitness) / 2.0 + FMinWeightedFitness;
    return FWeightedFitnessSum / Count;
}

TGAFitness TAxCustomGeneticComponent::Diversity() const {
    if (FMaxFitness == 0.0) return std::numeric_limits<TGAFitness>::infinity();
    return AvgFitness() / FMaxFitness;
}

// --- evaluation ---------------------------------------------------------------------

TGAFitness TAxCustomGeneticComponent::EvaluateFitness(TAxIndividual* Item, bool Weighted) {
    if (Weighted) return DoEvaluateWeightedFitness(Item);
    if (Item == FDeferredItem && FOnEvaluateFitness) {
        // Left to the batch: the caller sees the deferral as the cleared marker.
        FDeferredItem = nullptr;
        return 0;
    }
    return RunFitnessHandler(Item);
}

TGAFitness TAxCustomGeneticComponent::DoEvaluateWeightedFitness(TAxIndividual* Item) {
    if (!FOnEvaluateWeightedFitness) return Item->Fitness();
    TGAFitness Result = 0;
    FOnEvaluateWeightedFitness(this, Item, Result);
    return Result;
}

void TAxCustomGeneticComponent::EvaluateFitness() {
    if (FPopulation->Count() == 0) {
        FMaxFitness = FMinFitness = FFitnessSum = 0;
        FMaxWeightedFitness = FMinWeightedFitness = FWeightedFitnessSum = 0;
        return;
    }
    if (FFitnessEvaluator) EvaluateStaleInBatch();
    DoCalculateFitnessStatistics();
    DoCalculateWeightedFitnessStatistics();
    DoSelectionPreparation();
}

void TAxCustomGeneticComponent::DoCalculateFitnessStatistics() {
    TAxPopulation& Pop = *FPopulation;
    FFittestIndividual = Pop.Items(0);
    FMaxFitness = FMinFitness = FFitnessSum = FFittestIndividual->Fitness();
    const int Count = Pop.Count();
    for (int I = 1; I < Count; ++I) {
        TAxIndividual* Item = Pop.Items(I);
        const TGAFitness F = Item->Fitness();
        FFitnessSum += F;
        FFittestIndividual = Fittest(FFittestIndividual, Item, true);
        if (F < FMinFitness)
            FMinFitness = F;
        else if (F > FMaxFitness)
            FMaxFitness = F;
    }
}

void TAxCustomGeneticComponent::DoCalculateWeightedFitnessStatistics() {
    TAxPopulation& Pop = *FPopulation;
    FMaxWeightedFitness = FMinWeightedFitness = FWeightedFitnessSum =
        Pop.Items(0)->WeightedFitness();
    const int Count = Pop.Count();
    for (int I = 1; I < Count; ++I) {
        const TGAFitness F = Pop.Items(I)->WeightedFitness();
        FWeightedFitnessSum += F;
        if (F < FMinWeightedFitness)
            FMinWeightedFitness = F;
        else if (F > FMaxWeightedFitness)
            FMaxWeightedFitness = F;
    }
}

// --- selection tables ---------------------------------------------------------------

void TAxCustomGeneticComponent::DoSelectionPreparation() {
    switch (FSelectionMethod) {
    case TGASelectionMethod::smRoulette:
    case TGASelectionMethod::smStochasticTournament:
        CalculateCumulativeNormalizedFitnesses();
        break;
    case TGASelectionMethod::smElitist:
        PrioritizePopulation();
        break;
    default:
        break;
    }
}

void TAxCustomGeneticComponent::CalculateCumulativeNormalizedFitnesses() {
    TAxPopulation& Pop = *FPopulation;
    const int Count = Pop.Count();
    FCumNormFitnesses.resize(static_cast<std::size_t>(Count));
    if (Count == 0) return;
    TGAFitness* Table = FCumNormFitnesses.data();
    switch (FFitnessMethod) {
    case TGAFitnessMethod::fmMinimize:
    case TGAFitnessMethod::fmWeightedMinimize: {
        // Shares measured down from the worst, so the worst individual gets none.
        const bool Weighted = FFitnessMethod == TGAFitnessMethod::fmWeightedMinimize;
        const TGAFitness Worst = Weighted ? FMaxWeightedFitness : FMaxFitness;
        TGAFitness Sum = 0;
        for (int I = 0; I < Count; ++I) {
            TAxIndividual* Item = Pop.Items(I);
            Table[I] = Worst - (Weighted ? Item->WeightedFitness() : Item->Fitness());
            Sum += Table[I];
        }
        if (Sum != 0.0) {
            Table[0] = Table[0] / Sum;
            for (int I = 1; I < Count; ++I)
                Table[I] = Table[I] / Sum + Table[I - 1];
        } else {
            Table[0] = 1.0 / Count;
            for (int I = 1; I < Count; ++I)
                Table[I] = Table[I - 1] + Table[0];
        }
        break;
    }
    case TGAFitnessMethod::fmMaximize:
        Table[0] = GetNormalizedFitness(Pop.Items(0)->Fitness());
        for (int I = 1; I < Count; ++I)
            Table[I] = GetNormalizedFitness(Pop.Items(I)->Fitness()) + Table[I - 1];
        break;
    case TGAFitnessMethod::fmWeightedMaximize:
        Table[0] = GetNormalizedWeightedFitness(Pop.Items(0)->WeightedFitness());
        for (int I = 1; I < Count; ++I)
            Table[I] = GetNormalizedWeightedFitness(Pop.Items(I)->WeightedFitness()) + Table[I - 1];
        break;
    }
}

void TAxCustomGeneticComponent::PrioritizePopulation() {
    if (!FPriorityQueue) FPriorityQueue = std::make_unique<TFloatPriorityQueue>();
    FPriorityQueue->Clear();
    FPriorityQueue->SetDescending(IsMaximizing());
    FRankedPopulation = FPopulation.get();
    const bool Weighted = FFitnessMethod == TGAFitnessMethod::fmWeightedMinimize ||
                          FFitnessMethod == TGAFitnessMethod::fmWeightedMaximize;
    TAxPopulation& Pop = *FPopulation;
    const int Count = Pop.Count();
    FPriorityQueue->Reserve(Count);
    for (int I = 0; I < Count; ++I) {
        TAxIndividual* Item = Pop.Items(I);
        FPriorityQueue->Push(
            Item, static_cast<float>(Weighted ? Item->WeightedFitness() : Item->Fitness()));
    }
}

// --- parent selection ---------------------------------------------------------------

TAxIndividual* TAxCustomGeneticComponent::SelectParent(TAxPopulation* Population) {
    if (!FOnSelection) return DoSelectParent(Population);
    TAxIndividual* Parent = nullptr;
    FOnSelection(this, Population, Parent);
    return Parent;
}

TAxIndividual* TAxCustomGeneticComponent::DoSelectParent(TAxPopulation*) {
    throw EGAException(std::string(SNoSelectionFunction));
}

void TAxCustomGeneticComponent::SelectRandom(TObject*, TAxPopulation* Population,
                                             TAxIndividual*& Parent) {
    const int Count = Population->Count();
    if (Count == 0) return;
    Parent = Population->Items(Random(Count));
}

void TAxCustomGeneticComponent::SelectRoulette(TObject* Sender, TAxPopulation* Population,
                                               TAxIndividual*& Parent) {
    if (HasEqualSpread()) {
        SelectRandom(Sender, Population, Parent);
        return;
    }
    const double R = Random();
    if (FCumNormFitnesses.empty()) CalculateCumulativeNormalizedFitnesses();
    int Low = RouletteSearch(FCumNormFitnesses, R);
    // A draw that no entry exceeds takes the last entry the table and the population share.
    const int Last = Min(static_cast<int>(FCumNormFitnesses.size()), Population->Count()) - 1;
    if (Last < 0) return;
    if (Low > Last) Low = Last;
    FRouletteIndex = Low;
    Parent = Population->Items(Low);
}

void TAxCustomGeneticComponent::SelectTournament(TObject* Sender, TAxPopulation* Population,
                                                 TAxIndividual*& Parent) {
    if (Population->Count() == 0) return;
    SelectRandom(Sender, Population, Parent);
    for (int I = 1; I < FTournamentField; ++I) {
        TAxIndividual* Contender = nullptr;
        SelectRandom(Sender, Population, Contender);
        Parent = Fittest(Parent, Contender, false);
    }
}

void TAxCustomGeneticComponent::SelectStochasticTournament(TObject* Sender,
                                                           TAxPopulation* Population,
                                                           TAxIndividual*& Parent) {
    if (Population->Count() == 0) return;
    SelectRandom(Sender, Population, Parent);
    for (int I = 1; I < FTournamentField; ++I) {
        TAxIndividual* Contender = nullptr;
        SelectRoulette(Sender, Population, Contender);
        if (Contender) Parent = Fittest(Parent, Contender, false);
    }
}

void TAxCustomGeneticComponent::SelectElitist(TObject* Sender, TAxPopulation* Population,
                                              TAxIndividual*& Parent) {
    if (HasEqualSpread()) {
        SelectRandom(Sender, Population, Parent);
        return;
    }
    ++FRouletteIndex;
    const auto Limit = Round(Population->Count() * FElitistPct);
    if (FRouletteIndex > Limit) FRouletteIndex = 0;
    if (!FPriorityQueue) PrioritizePopulation();
    if (FPriorityQueue->Count() == 0) return;
    // A rank past the ranking (a share that rounds to the whole population) restarts
    // the cycle.
    if (FRouletteIndex >= FPriorityQueue->Count()) FRouletteIndex = 0;
    Parent = static_cast<TAxIndividual*>(FPriorityQueue->Items(FRouletteIndex));
}

} // namespace ax
