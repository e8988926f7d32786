// Fitness comparison, the statistics pass, the selection tables and the built-in parent
// selection methods of TAxCustomGeneticComponent.
#include <algorithm>
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

namespace {

// The sign of A - B for numbers (0 for equal infinities, whose difference is NaN); a NaN
// comes after every number and equals another NaN.
int Order(TGAFitness A, TGAFitness B) {
    if (A < B) return -1;
    if (A > B) return 1;
    if (A == B) return 0;
    return std::isnan(A) ? (std::isnan(B) ? 0 : 1) : -1;
}

// CompareFitness on one scale: negative when F1 is fitter. A NaN is never fitter than a
// number, whichever the direction.
int CompareOn(TGAFitness F1, TGAFitness F2, bool Maximizing) {
    if (std::isnan(F1) || std::isnan(F2)) return Order(F1, F2);
    return Maximizing ? Order(F2, F1) : Order(F1, F2);
}

} // namespace

int TAxCustomGeneticComponent::CompareFitness(TAxIndividual* Parent1, TAxIndividual* Parent2,
                                              bool UsePureFitness) {
    const bool Weighted =
        !UsePureFitness && (FFitnessMethod == TGAFitnessMethod::fmWeightedMinimize ||
                            FFitnessMethod == TGAFitnessMethod::fmWeightedMaximize);
    if (Weighted)
        return CompareOn(Parent1->WeightedFitness(), Parent2->WeightedFitness(), IsMaximizing());
    return CompareOn(Parent1->Fitness(), Parent2->Fitness(), IsMaximizing());
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

namespace {

// The average of a statistics pass: Sum over the Count - NonFinite finite values.
TGAFitness Average(int Count, int NonFinite, TGAFitness Sum, TGAFitness Min, TGAFitness Max) {
    if (Count == 0) return (Max - Min) / 2.0 + Min;
    if (NonFinite == 0) return Sum / Count;
    if (Count > NonFinite) return Sum / (Count - NonFinite);
    return Min == Max ? Min : std::numeric_limits<TGAFitness>::quiet_NaN();
}

} // namespace

TGAFitness TAxCustomGeneticComponent::AvgFitness() const {
    return Average(FPopulation->Count(), FNonFiniteFitnesses, FFitnessSum, FMinFitness,
                   FMaxFitness);
}

TGAFitness TAxCustomGeneticComponent::AvgWeightedFitness() const {
    return Average(FPopulation->Count(), FNonFiniteWeightedFitnesses, FWeightedFitnessSum,
                   FMinWeightedFitness, FMaxWeightedFitness);
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
        FNonFiniteFitnesses = FNonFiniteWeightedFitnesses = 0;
        return;
    }
    if (FFitnessEvaluator) EvaluateStaleInBatch();
    DoCalculateFitnessStatistics();
    DoCalculateWeightedFitnessStatistics();
    DoSelectionPreparation();
}

namespace {

// Minimum, maximum and sum of one scale, fed in population order. For finite values this
// is the plain running minimum, maximum and sum; a NaN is left out of all three and an
// infinity out of the sum, each counted in NonFinite.
struct TRunningStats {
    TGAFitness Min, Max, Sum;
    int NonFinite = 0;
    bool HasNumber;

    explicit TRunningStats(TGAFitness First)
        : Min(First), Max(First), Sum(std::isfinite(First) ? First : 0.0),
          NonFinite(std::isfinite(First) ? 0 : 1), HasNumber(!std::isnan(First)) {}

    void Add(TGAFitness F) {
        if (std::isfinite(F))
            Sum += F;
        else
            ++NonFinite;
        if (std::isnan(F)) return;
        if (!HasNumber) {
            Min = Max = F;
            HasNumber = true;
        } else if (F < Min) {
            Min = F;
        } else if (F > Max) {
            Max = F;
        }
    }
};

} // namespace

void TAxCustomGeneticComponent::DoCalculateFitnessStatistics() {
    TAxPopulation& Pop = *FPopulation;
    FFittestIndividual = Pop.Items(0);
    TRunningStats Stats(FFittestIndividual->Fitness());
    const int Count = Pop.Count();
    for (int I = 1; I < Count; ++I) {
        TAxIndividual* Item = Pop.Items(I);
        // The next evaluation's data is fetched while this one runs.
        if (I + 1 < Count)
            if (TAxIndividual* Next = Pop.Items(I + 1); Next->NeedFitness()) Next->Prefetch();
        Stats.Add(Item->Fitness());
        FFittestIndividual = Fittest(FFittestIndividual, Item, true);
    }
    FMinFitness = Stats.Min;
    FMaxFitness = Stats.Max;
    FFitnessSum = Stats.Sum;
    FNonFiniteFitnesses = Stats.NonFinite;
}

void TAxCustomGeneticComponent::DoCalculateWeightedFitnessStatistics() {
    TAxPopulation& Pop = *FPopulation;
    TRunningStats Stats(Pop.Items(0)->WeightedFitness());
    const int Count = Pop.Count();
    for (int I = 1; I < Count; ++I)
        Stats.Add(Pop.Items(I)->WeightedFitness());
    FMinWeightedFitness = Stats.Min;
    FMaxWeightedFitness = Stats.Max;
    FWeightedFitnessSum = Stats.Sum;
    FNonFiniteWeightedFitnesses = Stats.NonFinite;
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
    const bool Weighted = FFitnessMethod == TGAFitnessMethod::fmWeightedMinimize ||
                          FFitnessMethod == TGAFitnessMethod::fmWeightedMaximize;
    if ((Weighted ? FNonFiniteWeightedFitnesses : FNonFiniteFitnesses) != 0) {
        CalculateCumulativeSharesNonFinite(Weighted);
        return;
    }
    TGAFitness* Table = FCumNormFitnesses.data();
    switch (FFitnessMethod) {
    case TGAFitnessMethod::fmMinimize:
    case TGAFitnessMethod::fmWeightedMinimize: {
        // Shares measured down from the worst, so the worst individual gets none.
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

void TAxCustomGeneticComponent::CalculateCumulativeSharesNonFinite(bool Weighted) {
    TAxPopulation& Pop = *FPopulation;
    const int Count = Pop.Count();
    const bool Maximizing = IsMaximizing();
    const TGAFitness Infinity = std::numeric_limits<TGAFitness>::infinity();
    const TGAFitness BestInfinity = Maximizing ? Infinity : -Infinity;
    TGAFitness* Table = FCumNormFitnesses.data();
    bool AnyBest = false, AnyFinite = false;
    TGAFitness Worst = Maximizing ? Infinity : -Infinity; // the worst finite value
    for (int I = 0; I < Count; ++I) {
        TAxIndividual* Item = Pop.Items(I);
        Table[I] = Weighted ? Item->WeightedFitness() : Item->Fitness();
        AnyBest = AnyBest || Table[I] == BestInfinity;
        if (std::isfinite(Table[I])) {
            AnyFinite = true;
            Worst = Maximizing ? std::min(Worst, Table[I]) : std::max(Worst, Table[I]);
        }
    }
    // Shares as the finite table has them (maximizing: the fitness itself; minimizing: the
    // distance from the worst), unless an individual reached the best infinity: those
    // share the wheel alone.
    TGAFitness Sum = 0;
    for (int I = 0; I < Count; ++I) {
        const TGAFitness F = Table[I];
        if (AnyBest)
            Table[I] = F == BestInfinity ? 1.0 : 0.0;
        else if (!AnyFinite || !std::isfinite(F))
            Table[I] = 0.0;
        else
            Table[I] = Maximizing ? F : Worst - F;
        Sum += Table[I];
    }
    if (Sum == 0.0 || !std::isfinite(Sum)) {
        // No usable shares: equal ones for every individual with a number.
        Sum = 0;
        for (int I = 0; I < Count; ++I) {
            TAxIndividual* Item = Pop.Items(I);
            Table[I] = std::isnan(Weighted ? Item->WeightedFitness() : Item->Fitness()) ? 0 : 1;
            Sum += Table[I];
        }
        if (Sum == 0.0) { // none has one
            for (int I = 0; I < Count; ++I)
                Table[I] = 1;
            Sum = Count;
        }
    }
    int LastShare = 0;
    for (int I = 0; I < Count; ++I) {
        if (Table[I] != 0.0) LastShare = I;
        Table[I] = Table[I] / Sum + (I > 0 ? Table[I - 1] : 0.0);
    }
    // Rounding must not hand a draw to an individual without a share past the last one.
    for (int I = LastShare; I < Count; ++I)
        Table[I] = 1.0;
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
        const TGAFitness F = Weighted ? Item->WeightedFitness() : Item->Fitness();
        // A NaN ranks with the worst possible key, after every number.
        const float Worst = IsMaximizing() ? -std::numeric_limits<float>::infinity()
                                           : std::numeric_limits<float>::infinity();
        FPriorityQueue->Push(Item, std::isnan(F) ? Worst : static_cast<float>(F));
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
