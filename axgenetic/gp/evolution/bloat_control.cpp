// The bloat-control steps of the GP component and the statistics they use.
//
// Each strategy acts at one step of a generation through an override of the core:
// limits, shrink and hoist after reproduction (DoAntiBloating); the Tarpeian and unfit
// rules in the raw fitness (EvaluateFitness); parsimony in the weighted fitness; the
// covariant coefficient before the weighted statistics; fair crossover in DoCrossover;
// the lexicographic rule in the tournament.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "axgenetic/core/roulette.hpp"
#include "axgenetic/gp/evolution/genetic_programming.hpp"
#include "axgenetic/platform/enum_names.hpp"
#include "axgenetic/platform/math.hpp"
#include "axgenetic/platform/random.hpp"
#include "axgenetic/platform/text.hpp"

namespace ax {

namespace {

// The sum of the products of deviations from the means, or nothing to divide when the
// lengths differ or there are fewer than two values.
bool DeviationProducts(std::span<const TGAFloat> X, int XHigh, std::span<const TGAFloat> Y,
                       int YHigh, double& Sum) {
    if (XHigh != YHigh || XHigh < 1 || static_cast<int>(X.size()) <= XHigh ||
        static_cast<int>(Y.size()) <= YHigh)
        return false;
    const auto N = static_cast<std::size_t>(XHigh) + 1;
    X = X.first(N);
    Y = Y.first(N);
    const double MX = Mean(X), MY = Mean(Y);
    Sum = 0;
    for (std::size_t I = 0; I < N; ++I)
        Sum += (X[I] - MX) * (Y[I] - MY);
    return true;
}

double FiniteOrZero(double Value) {
    return std::isfinite(Value) ? Value : 0.0;
}

} // namespace

TGAFloat CoVariance(std::span<const TGAFloat> X, int XHigh, std::span<const TGAFloat> Y,
                    int YHigh) {
    double Sum = 0;
    if (!DeviationProducts(X, XHigh, Y, YHigh, Sum)) return 0.0;
    return FiniteOrZero(Sum / XHigh);
}

TGAFloat Correlation(std::span<const TGAFloat> X, int XHigh, std::span<const TGAFloat> Y,
                     int YHigh) {
    double Sum = 0;
    if (!DeviationProducts(X, XHigh, Y, YHigh, Sum)) return 0.0;
    const auto N = static_cast<std::size_t>(XHigh) + 1;
    double MX = 0, SX = 0, MY = 0, SY = 0;
    MeanAndStdDev(X.first(N), MX, SX);
    MeanAndStdDev(Y.first(N), MY, SY);
    const double Product = SX * SY;
    if (Product == 0.0) return 0.0;
    return FiniteOrZero(Sum / XHigh / Product);
}

int SelectSizeFairNode(std::span<const TGAFloat> Table, double R) {
    return std::min(RouletteSearch(Table, R), static_cast<int>(Table.size()) - 1);
}

namespace generics {

namespace {

bool IsCovariant(TGPBloatStrategy S) {
    return S == TGPBloatStrategy::bsCovariantSizeParsimonyPressure ||
           S == TGPBloatStrategy::bsCovariantDepthParsimonyPressure;
}

} // namespace

// --- program statistics ---------------------------------------------------------------

template <class T> void TAxCustomGeneticProgramming<T>::CalculateProgramStats() {
    FProgramStats = {};
    TAxGPPopulation<T>& Pop = *Population();
    const int Count = Pop.Count();
    if (Count == 0) return;
    TAxGPProgramStats& S = FProgramStats;
    double SizeSum = 0, DepthSum = 0;
    for (int I = 0; I < Count; ++I) {
        const TNode* DNA = Pop.Items(I)->DNA();
        const int Size = DNA ? DNA->Size() : 0, Depth = DNA ? DNA->Depth() : 0;
        if (I == 0) {
            S.MinSize = S.MaxSize = Size;
            S.MinDepth = S.MaxDepth = Depth;
        } else {
            if (Size < S.MinSize)
                S.MinSize = Size;
            else if (Size > S.MaxSize)
                S.MaxSize = Size;
            if (Depth < S.MinDepth)
                S.MinDepth = Depth;
            else if (Depth > S.MaxDepth)
                S.MaxDepth = Depth;
        }
        SizeSum += Size;
        DepthSum += Depth;
    }
    S.AvgSize = static_cast<float>(SizeSum / Count);
    S.AvgDepth = static_cast<float>(DepthSum / Count);
}

#define AX_PROGRAM_STAT(Type, Getter, Field)                                                       \
    template <class T> Type TAxCustomGeneticProgramming<T>::Getter() {                             \
        if (FProgramStats.MaxSize == 0) CalculateProgramStats();                                   \
        return FProgramStats.Field;                                                                \
    }
AX_PROGRAM_STAT(int, GetMinProgramSize, MinSize)
AX_PROGRAM_STAT(int, GetMaxProgramSize, MaxSize)
AX_PROGRAM_STAT(float, GetAvgProgramSize, AvgSize)
AX_PROGRAM_STAT(int, GetMinProgramDepth, MinDepth)
AX_PROGRAM_STAT(int, GetMaxProgramDepth, MaxDepth)
AX_PROGRAM_STAT(float, GetAvgProgramDepth, AvgDepth)
#undef AX_PROGRAM_STAT

// --- settings that leave a strategy without effect ----------------------------------------

template <class T> std::string TAxCustomGeneticProgramming<T>::BloatStrategyNote() const {
    using enum TGPBloatStrategy;
    const TGPBloatStrategy S = FBloatStrategy;
    const std::string Name(GetEnumName(S));
    const bool Parsimony =
        S == bsSizeParsimonyPressure || S == bsDepthParsimonyPressure || IsCovariant(S);
    const bool Weighted = FFitnessMethod == TGAFitnessMethod::fmWeightedMinimize ||
                          FFitnessMethod == TGAFitnessMethod::fmWeightedMaximize;
    if (S == bsLexicographicParsimonyPressure &&
        FSelectionMethod != TGASelectionMethod::smTournament)
        return Name + " acts only in smTournament selection; under " +
               std::string(GetEnumName(FSelectionMethod)) + " the run is the same as without it";
    if (Parsimony && !Weighted)
        return Name + " acts only under fmWeightedMinimize or fmWeightedMaximize; under " +
               std::string(GetEnumName(FFitnessMethod)) + " the run is the same as without it";
    if (Parsimony && FOnEvaluateWeightedFitness)
        return "the OnEvaluateWeightedFitness handler replaces the penalty of " + Name;
    if (IsCovariant(S) && FFitnessMethod == TGAFitnessMethod::fmWeightedMinimize)
        return Name + " adds its penalty when minimizing and can reward size; evolve the "
                      "negated error under fmWeightedMaximize";
    const bool Unfit =
        S == bsTarpeianSize || S == bsTarpeianDepth || S == bsUnfitSize || S == bsUnfitDepth;
    if (Unfit && IsMaximizing())
        return "an unfit program's fitness (" +
               FloatToStr(std::numeric_limits<float>::denorm_min()) +
               ") ranks above every fitness of 0 or less; keep fitness values positive";
    return {};
}

template <class T> void TAxCustomGeneticProgramming<T>::DoStartEvolve() {
    TAxCustomGeneticComponent::DoStartEvolve();
    FProgramStats.MaxSize = 0;
}

// --- after reproduction -----------------------------------------------------------------

template <class T>
bool TAxCustomGeneticProgramming<T>::DoReproduce(TAxIndividual* Parent1, TAxIndividual* Parent2,
                                                 TAxIndividual* Child1) {
    const bool Changed = TAxCustomGeneticComponent::DoReproduce(Parent1, Parent2, Child1);
    DoAntiBloating(Parent1, Parent2, Child1, Changed);
    return Changed;
}

template <class T>
void TAxCustomGeneticProgramming<T>::DoAntiBloating(TAxIndividual* Parent, TAxIndividual*,
                                                    TAxIndividual* Child, bool Changed) {
    auto& Individual = *static_cast<TIndividual*>(Child);
    const TNode* DNA = Individual.DNA();
    if (!DNA) return;
    switch (FBloatStrategy) {
    case TGPBloatStrategy::bsSizeLimit:
        // The copy brings the parent's fitness along: no evaluation for it.
        if (Changed && DNA->Size() > FBloatLimit) Child->Assign(*Parent);
        break;
    case TGPBloatStrategy::bsDepthLimit:
        if (Changed && DNA->Depth() > FBloatLimit) Child->Assign(*Parent);
        break;
    case TGPBloatStrategy::bsShrinkDepth:
        if (DNA->Depth() > FBloatLimit) DoShrinkMutation(Individual);
        break;
    case TGPBloatStrategy::bsShrinkSize:
        if (DNA->Size() > FBloatLimit) DoShrinkMutation(Individual);
        break;
    case TGPBloatStrategy::bsHoistDepth:
        if (DNA->Depth() > FBloatLimit) DoHoistMutation(Individual);
        break;
    case TGPBloatStrategy::bsHoistSize:
        if (DNA->Size() > FBloatLimit) DoHoistMutation(Individual);
        break;
    default:
        break;
    }
}

// --- fitness ----------------------------------------------------------------------------

template <class T>
TGAFitness TAxCustomGeneticProgramming<T>::EvaluateFitness(TAxIndividual* Item, bool Weighted) {
    const TNode* DNA = static_cast<TIndividual*>(Item)->DNA();
    if (!Weighted && DNA) {
        bool Unfit = false;
        switch (FBloatStrategy) {
        case TGPBloatStrategy::bsTarpeianSize:
            // Only programs above the average draw.
            Unfit = DNA->Size() > GetAvgProgramSize() && Random() < FTarpeianProbability;
            break;
        case TGPBloatStrategy::bsTarpeianDepth:
            Unfit = DNA->Depth() > GetAvgProgramDepth() && Random() < FTarpeianProbability;
            break;
        case TGPBloatStrategy::bsUnfitSize:
            Unfit = DNA->Size() > FBloatLimit;
            break;
        case TGPBloatStrategy::bsUnfitDepth:
            Unfit = DNA->Depth() > FBloatLimit;
            break;
        default:
            break;
        }
        if (Unfit) return UnfitFitness();
    }
    return TAxCustomGeneticComponent::EvaluateFitness(Item, Weighted);
}

template <class T>
TGAFitness TAxCustomGeneticProgramming<T>::DoEvaluateWeightedFitness(TAxIndividual* Item) {
    if (FOnEvaluateWeightedFitness)
        return TAxCustomGeneticComponent::DoEvaluateWeightedFitness(Item);
    const TGAFitness Raw = Item->Fitness();
    const TNode* DNA = static_cast<TIndividual*>(Item)->DNA();
    if (!DNA) return Raw;
    TGAFitness Penalty = 0;
    switch (FBloatStrategy) {
    case TGPBloatStrategy::bsSizeParsimonyPressure:
    case TGPBloatStrategy::bsCovariantSizeParsimonyPressure:
        Penalty = DNA->Size() * FParsimonyCoefficient;
        break;
    case TGPBloatStrategy::bsDepthParsimonyPressure:
    case TGPBloatStrategy::bsCovariantDepthParsimonyPressure:
        Penalty = DNA->Depth() * FParsimonyCoefficient;
        break;
    default:
        return Raw;
    }
    return IsMaximizing() ? Raw - Penalty : Raw + Penalty;
}

template <class T> void TAxCustomGeneticProgramming<T>::DoCalculateWeightedFitnessStatistics() {
    if (IsCovariant(FBloatStrategy)) {
        const bool BySize = FBloatStrategy == TGPBloatStrategy::bsCovariantSizeParsimonyPressure;
        TAxGPPopulation<T>& Pop = *Population();
        const int Count = Pop.Count();
        FLengths.resize(static_cast<std::size_t>(Count));
        FFitnesses.resize(static_cast<std::size_t>(Count));
        for (int I = 0; I < Count; ++I) {
            TIndividual* Item = Pop.Items(I);
            const auto At = static_cast<std::size_t>(I);
            FFitnesses[At] = Item->Fitness();
            const TNode* DNA = Item->DNA();
            FLengths[At] = DNA ? FairMeasure(*DNA, BySize) : 0;
        }
        // No spread of lengths (one individual, or all alike): no pressure.
        const double Var = Variance(FLengths);
        FParsimonyCoefficient = Var;
        if (Var != 0.0)
            FParsimonyCoefficient =
                FiniteOrZero(CoVariance(FLengths, Count - 1, FFitnesses, Count - 1) / Var);
    }
    TAxCustomGeneticComponent::DoCalculateWeightedFitnessStatistics();
}

// --- selection --------------------------------------------------------------------------

template <class T>
void TAxCustomGeneticProgramming<T>::SelectTournament(TObject* Sender, TAxPopulation* Population,
                                                      TAxIndividual*& Parent) {
    if (Population->Count() == 0) return;
    SelectRandom(Sender, Population, Parent);
    const bool Lexicographic = FBloatStrategy == TGPBloatStrategy::bsLexicographicParsimonyPressure;
    for (int I = 1; I < FTournamentField; ++I) {
        TAxIndividual* Challenger = nullptr;
        SelectRandom(Sender, Population, Challenger);
        if (!Lexicographic) {
            Parent = Fittest(Parent, Challenger, false);
            continue;
        }
        const int Order = CompareFitness(Parent, Challenger, false);
        if (Order > 0) {
            Parent = Challenger;
        } else if (Order == 0) {
            const TNode* Holder = static_cast<TIndividual*>(Parent)->DNA();
            const TNode* Other = static_cast<TIndividual*>(Challenger)->DNA();
            if (Holder && Other && Other->Size() < Holder->Size()) Parent = Challenger;
        }
    }
}

// --- fair crossover ---------------------------------------------------------------------

template <class T>
void TAxCustomGeneticProgramming<T>::DoFairCrossover(TAxIndividual*, TAxIndividual* Donor,
                                                     TAxIndividual* Receiver) {
    auto& To = *static_cast<TIndividual*>(Receiver);
    auto& From = *static_cast<TIndividual*>(Donor);
    const std::span<TNode* const> Nodes(From.FlattenedDNA());
    if (Nodes.empty()) return;
    const bool BySize = FBloatStrategy != TGPBloatStrategy::bsDepthFairCrossover;
    TNode* Point = nullptr;
    const TNode* Chosen = nullptr;
    while (!Chosen) {
        Point = To.SelectNode(FSelectionNonTerminalsProbability);
        if (!Point) return;
        const int L = FairMeasure(*Point, BySize);
        const TAxFairCounts C = CountFairNodes(Nodes, L, BySize);
        if (C.Smaller > 0 && C.Bigger > 0 &&
            CreateSizeFairRoulette(Nodes, L, BySize, FFairRoulette)) {
            Chosen = Nodes[static_cast<std::size_t>(SelectSizeFairNode(FFairRoulette, Random()))];
        } else if (C.Equal > 0) {
            // The Equal-th node of measure L, drawn uniformly.
            int Pick = Random(C.Equal);
            for (const TNode* Node : Nodes)
                if (FairMeasure(*Node, BySize) == L && Pick-- == 0) {
                    Chosen = Node;
                    break;
                }
        }
        // Otherwise every donor node is smaller or every one bigger: another point.
    }
    To.Graft(Point, Chosen->Clone()); // the replaced subtree is freed here
}

#define AX_BLOAT_MEMBERS(T)                                                                        \
    template void TAxCustomGeneticProgramming<T>::CalculateProgramStats();                         \
    template int TAxCustomGeneticProgramming<T>::GetMinProgramSize();                              \
    template int TAxCustomGeneticProgramming<T>::GetMaxProgramSize();                              \
    template float TAxCustomGeneticProgramming<T>::GetAvgProgramSize();                            \
    template int TAxCustomGeneticProgramming<T>::GetMinProgramDepth();                             \
    template int TAxCustomGeneticProgramming<T>::GetMaxProgramDepth();                             \
    template float TAxCustomGeneticProgramming<T>::GetAvgProgramDepth();                           \
    template std::string TAxCustomGeneticProgramming<T>::BloatStrategyNote() const;                \
    template void TAxCustomGeneticProgramming<T>::DoStartEvolve();                                 \
    template bool TAxCustomGeneticProgramming<T>::DoReproduce(TAxIndividual*, TAxIndividual*,      \
                                                              TAxIndividual*);                     \
    template void TAxCustomGeneticProgramming<T>::DoAntiBloating(TAxIndividual*, TAxIndividual*,   \
                                                                 TAxIndividual*, bool);            \
    template TGAFitness TAxCustomGeneticProgramming<T>::EvaluateFitness(TAxIndividual*, bool);     \
    template TGAFitness TAxCustomGeneticProgramming<T>::DoEvaluateWeightedFitness(TAxIndividual*); \
    template void TAxCustomGeneticProgramming<T>::DoCalculateWeightedFitnessStatistics();          \
    template void TAxCustomGeneticProgramming<T>::SelectTournament(TObject*, TAxPopulation*,       \
                                                                   TAxIndividual*&);               \
    template void TAxCustomGeneticProgramming<T>::DoFairCrossover(TAxIndividual*, TAxIndividual*,  \
                                                                  TAxIndividual*);
AX_BLOAT_MEMBERS(TGAFloat)
AX_BLOAT_MEMBERS(Variant)
#undef AX_BLOAT_MEMBERS

} // namespace generics
} // namespace ax
