#include "axgenetic/gp/evolution/bloat_control.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "axgenetic/gp/evolution/gp_components.hpp"
#include "axgenetic/platform/math.hpp"
#include "axgenetic/platform/random.hpp"
#include "axgenetic/platform/string_list.hpp"

namespace ax {
namespace {

using TNode = TAxGPNode<TGAFloat>;
using TGPItem = TAxGPIndividual<TGAFloat>;
using enum TGPBloatStrategy;

template <class Base> class TExposed : public Base {
public:
    using Base::Base;
    using Base::DoReproduce;
};

// Add, Mul over x; the fitness handler counts its calls per program text and returns
// Size / 2, so a program's fitness tells where it came from.
template <class GP> struct TFixture {
    TExposed<GP> C;
    TAxGPInstruction<TGAFloat>* AddI;
    TAxGPInstruction<TGAFloat>* X;
    std::vector<std::string> Evaluated;

    explicit TFixture(int Count = 4) {
        AddI = C.Instructions()->Add();
        AddI->SetName("Add");
        AddI->SetArity(2);
        X = C.Instructions()->Add();
        X->SetName("x");
        C.SetInitialPopulation(Count);
        C.SetInitialDuplicatesRetries(0);
        C.SetOnEvaluateFitness([this](TObject*, TAxIndividual* Item, TGAFitness& F) {
            const TNode& DNA = *static_cast<TGPItem*>(Item)->DNA();
            Evaluated.push_back(DNA.ToString());
            F = DNA.Size() / 2.0;
        });
        C.Initialize();
    }
    // A left-leaning chain of Adds of the given depth (depth 0: x).
    std::unique_ptr<TNode> Chain(int Depth) {
        std::unique_ptr<TNode> N = C.CreateNode(X);
        for (int D = 0; D < Depth; ++D) {
            auto Up = C.CreateNode(AddI);
            Up->AddChild(std::move(N));
            Up->AddChild(C.CreateNode(X));
            N = std::move(Up);
        }
        return N;
    }
    TGPItem* Item(int I) { return C.Population()->Items(I); }
    // Gives individual I a chain of the given depth and evaluates it.
    TGPItem* Set(int I, int Depth) {
        Item(I)->AssignDNA(Chain(Depth));
        Item(I)->Fitness();
        return Item(I);
    }
};

TEST(BloatControl, LimitsRevertAChangedChildToItsOwnParent) {
    struct TCase {
        TGPBloatStrategy Strategy;
        bool Changed; // whether the reproduction step changes the children
        bool TwoParents;
    };
    const TCase Cases[] = {{bsSizeLimit, true, false},  {bsDepthLimit, true, false},
                           {bsDepthLimit, true, true},  {bsSizeLimit, false, false},
                           {bsDepthLimit, false, true}, {bsNone, true, false}};
    for (const TCase& K : Cases) {
        SCOPED_TRACE(std::string(GetEnumName(K.Strategy)) +
                     (K.Changed ? " changed" : " unchanged"));
        RandSeed(3);
        TFixture<TAxGeneticProgramming> F;
        F.C.SetBloatStrategy(K.Strategy);
        F.C.SetBloatLimit(5);
        F.C.SetTwoParentCrossover(K.TwoParents);
        // Point mutation of every node keeps sizes and depths, and reports a change.
        F.C.SetOperations({TGAGeneticOperation::goInvert});
        F.C.SetInversionProbability(K.Changed ? 1.0 : 0.0);
        F.C.SetPointMutationProbability(1.0);
        TGPItem* P1 = F.Set(0, 6); // 13 nodes, depth 6: over both limits
        TGPItem* P2 = F.Set(1, 1);
        const std::string Big = P1->DNA()->ToString(), Small = P2->DNA()->ToString();
        F.Evaluated.clear();
        F.C.DoReproduce(P1, P2, F.Item(2), F.Item(3));
        EXPECT_TRUE(F.Evaluated.empty());
        // Child 2 of a one-parent pair is a copy of Parent1 too (over the limits), but it
        // answers to Parent2.
        const bool Limit = K.Changed && K.Strategy != bsNone;
        const bool Reverted2 = Limit && !K.TwoParents;
        EXPECT_EQ(F.Item(2)->DNA()->ToString(), Big);
        EXPECT_EQ(F.Item(3)->DNA()->ToString(), K.TwoParents || Reverted2 ? Small : Big);
        EXPECT_EQ(F.Item(2)->NeedFitness(), K.Changed && !Limit);
        EXPECT_EQ(F.Item(3)->NeedFitness(), K.Changed && !Reverted2);
        // A reverted child holds its parent's fitness (Size / 2) without an evaluation.
        EXPECT_EQ(F.Item(2)->Fitness(), 6.5);
        EXPECT_EQ(F.Item(3)->Fitness(), K.TwoParents || Reverted2 ? 1.5 : 6.5);
    }
}

TEST(BloatControl, PenalizedProgramsSkipTheHandler) {
    struct TCase {
        TGPBloatStrategy Strategy;
        double Probability;
        bool Penalized; // the chain is given the unfit fitness
        int Draws;
    };
    const TCase Cases[] = {{bsUnfitSize, 1, true, 0},     {bsUnfitDepth, 1, true, 0},
                           {bsTarpeianSize, 1, true, 1},  {bsTarpeianDepth, 1, true, 1},
                           {bsTarpeianSize, 0, false, 1}, {bsNone, 1, false, 0}};
    for (const TCase& K : Cases) {
        SCOPED_TRACE(GetEnumName(K.Strategy));
        RandSeed(5);
        TFixture<TAxGeneticProgramming> F;
        F.C.SetBloatStrategy(K.Strategy);
        F.C.SetBloatLimit(5);
        F.C.SetTarpeianProbability(K.Probability);
        // Sizes 1, 3, 13, 3 (average 5), depths 0, 1, 6, 1: only the chain is above.
        for (int I : {0, 1, 2, 3})
            F.Set(I, I == 2 ? 6 : (I == 0 ? 0 : 1))->FlattenDNA();
        F.C.CalculateProgramStats();
        EXPECT_EQ(F.C.GetAvgProgramSize(), 5.0f);
        F.Evaluated.clear();
        const TRandomGeneratorState Before = GetRandomState();
        F.C.EvaluateFitness();
        const TRandomGeneratorState After = GetRandomState();
        EXPECT_EQ(F.Evaluated.size(), K.Penalized ? 3u : 4u);
        EXPECT_EQ(F.Item(2)->Fitness(), K.Penalized ? 3.4028234663852886e+38 : 6.5);
        // Only the program above the average drew.
        SetRandomState(Before);
        for (int I = 0; I < K.Draws; ++I)
            Random();
        EXPECT_TRUE(GetRandomState() == After);
    }
}

TEST(BloatControl, ParsimonyPenaltyFollowsTheFitnessMethod) {
    struct TCase {
        TGPBloatStrategy Strategy;
        TGAFitnessMethod Method;
        double Weighted;
    };
    using enum TGAFitnessMethod;
    // A program of 7 nodes and depth 3, raw fitness 2.5, coefficient 1.
    const TCase Cases[] = {{bsSizeParsimonyPressure, fmWeightedMinimize, 9.5},
                           {bsSizeParsimonyPressure, fmMinimize, 9.5},
                           {bsSizeParsimonyPressure, fmMaximize, -4.5},
                           {bsCovariantSizeParsimonyPressure, fmWeightedMaximize, -4.5},
                           {bsDepthParsimonyPressure, fmWeightedMinimize, 5.5},
                           {bsCovariantDepthParsimonyPressure, fmWeightedMaximize, -0.5},
                           {bsNone, fmWeightedMinimize, 2.5}};
    for (const TCase& K : Cases) {
        SCOPED_TRACE(GetEnumName(K.Strategy));
        RandSeed(1);
        TFixture<TAxGeneticProgramming> F;
        F.C.SetBloatStrategy(K.Strategy);
        F.C.SetFitnessMethod(K.Method);
        F.C.SetParsimonyCoefficient(1.0);
        F.C.SetOnEvaluateFitness([](TObject*, TAxIndividual*, TGAFitness& R) { R = 2.5; });
        TGPItem* P = F.Set(0, 3);
        ASSERT_EQ(P->DNA()->Size(), 7);
        EXPECT_EQ(P->WeightedFitness(), K.Weighted);
        // A weighted-fitness handler of the host takes precedence.
        F.C.SetOnEvaluateWeightedFitness([](TObject*, TAxIndividual*, TGAFitness& R) { R = -1; });
        EXPECT_EQ(P->WeightedFitness(), -1.0);
    }
}

TEST(BloatControl, SampleStatisticsFollowTheirDefinitions) {
    const std::vector<double> A{1, 2, 3, 4}, B{2, 4, 6, 9}, One{5};
    // Sum of deviation products 11.5 over n - 1 = 3; standard deviations by hand.
    EXPECT_DOUBLE_EQ(CoVariance(A, 3, B, 3), 11.5 / 3);
    EXPECT_DOUBLE_EQ(Correlation(A, 3, B, 3), 11.5 / 3 / std::sqrt(5.0 / 3) / std::sqrt(26.75 / 3));
    const std::vector<double> Inf{1, INFINITY, 2, 3}, Flat{7, 7, 7, 7};
    // Degenerate: different lengths, one value, no spread, infinite input: all 0.
    for (double R :
         {CoVariance(A, 3, B, 2), CoVariance(One, 0, One, 0), Correlation(One, 0, One, 0),
          Correlation(A, 3, Flat, 3), CoVariance(A, 3, Inf, 3), Correlation(A, -1, B, -1)})
        EXPECT_EQ(R, 0.0);
}

TEST(BloatControl, CovariantCoefficientIsCovarianceOverVariance) {
    for (TGPBloatStrategy S :
         {bsCovariantSizeParsimonyPressure, bsCovariantDepthParsimonyPressure}) {
        SCOPED_TRACE(GetEnumName(S));
        RandSeed(11);
        TFixture<TAxGeneticProgramming> F(30);
        F.C.SetBloatStrategy(S);
        F.C.SetInitializationMethod(TGPInitializationMethod::imRampedHalfAndHalf);
        F.C.SetInitializationDepth(5);
        F.C.SetFitnessMethod(TGAFitnessMethod::fmWeightedMaximize);
        F.C.SetOnEvaluateFitness([](TObject*, TAxIndividual* Item, TGAFitness& R) {
            const TNode& N = *static_cast<TGPItem*>(Item)->DNA();
            R = std::sin(N.Size() * 1.7) + N.Depth();
        });
        F.C.Initialize();
        for (int G = 0; G < 3; ++G) {
            F.C.Evolve();
            // Cov / Var: the n - 1 of both cancels.
            std::vector<double> L, Fit;
            for (int I = 0; I < F.C.Population()->Count(); ++I) {
                const TNode& D = *F.Item(I)->DNA();
                L.push_back(S == bsCovariantSizeParsimonyPressure ? D.Size() : D.Depth());
                Fit.push_back(F.Item(I)->Fitness());
            }
            const double ML = Mean(L), MF = Mean(Fit);
            double Cov = 0, Var = 0;
            for (std::size_t I = 0; I < L.size(); ++I)
                Cov += (L[I] - ML) * (Fit[I] - MF), Var += (L[I] - ML) * (L[I] - ML);
            const double Expected = Var == 0 ? 0.0 : Cov / Var;
            EXPECT_NEAR(F.C.ParsimonyCoefficient(), Expected, 1e-9 * (1 + std::fabs(Expected)));
        }
    }
}

TEST(BloatControl, CovariantCoefficientIsZeroForProgramsOfOneSize) {
    RandSeed(2);
    TFixture<TAxGeneticProgramming> F;
    F.C.SetBloatStrategy(bsCovariantSizeParsimonyPressure);
    for (int I : {0, 1, 2, 3})
        F.Set(I, 2), F.Item(I)->FlattenDNA();
    F.C.EvaluateFitness();
    EXPECT_EQ(F.C.ParsimonyCoefficient(), 0.0);
}

TEST(BloatControl, LexicographicTournamentPrefersTheSmallerOfEquals) {
    for (TGPBloatStrategy S : {bsLexicographicParsimonyPressure, bsNone}) {
        for (std::uint64_t Seed = 1; Seed <= 12; ++Seed) {
            SCOPED_TRACE(std::string(GetEnumName(S)) + " seed " + std::to_string(Seed));
            RandSeed(1);
            TFixture<TAxGeneticProgramming> F(2);
            F.C.SetOnEvaluateFitness([](TObject*, TAxIndividual*, TGAFitness& R) { R = 1; });
            F.C.SetBloatStrategy(S);
            F.C.SetSelectionMethod(TGASelectionMethod::smTournament);
            F.C.SetTournamentField(2);
            F.Set(0, 4); // big
            F.Set(1, 1); // small, equally fit
            RandSeed(Seed);
            const int First = Random(2), Second = Random(2);
            RandSeed(Seed);
            TAxIndividual* Winner = F.C.SelectParent(F.C.Population());
            const int Expected = S == bsNone ? First : ((First == 1 || Second == 1) ? 1 : 0);
            EXPECT_EQ(Winner, F.Item(Expected));
        }
    }
}

TEST(BloatControl, SizeFairRouletteOnAHandBuiltDonor) {
    RandSeed(1);
    TFixture<TAxGeneticProgramming> F(1);
    // Add(Add(x, x), x): sizes 5, 3, 1, 1, 1 and depths 2, 1, 0, 0, 0 in pre-order.
    TGPItem* Donor = F.Set(0, 2);
    const std::span<TNode* const> Nodes(Donor->FlattenedDNA());
    std::vector<TGAFloat> Table;
    // At size 3: equal 1/3, smaller (2/3) / (3 * (1 + 5/1)) = 1/27 each, bigger
    // (2/3) / (1 * 6) = 1/9; normalized by their sum 15/27.
    ASSERT_TRUE(CreateSizeFairRoulette(Nodes, 3, true, Table));
    const double Size3[] = {0.2, 0.8, 13.0 / 15, 14.0 / 15, 1.0};
    for (std::size_t I = 0; I < 5; ++I)
        EXPECT_NEAR(Table[I], Size3[I], 1e-12);
    const std::pair<double, int> Picks[] = {{0.0, 0}, {0.2, 1}, {0.5, 1}, {0.9, 3}, {0.99999, 4}};
    for (auto [R, Index] : Picks)
        EXPECT_EQ(SelectSizeFairNode(Table, R), Index);
    EXPECT_EQ(SelectSizeFairNode(std::vector<TGAFloat>{0.2, 0.5}, 0.7), 1); // none above: last
    // Depth 1: the smaller nodes are leaves of depth 0, so only the equal node is chosen.
    ASSERT_TRUE(CreateSizeFairRoulette(Nodes, 1, false, Table));
    EXPECT_EQ(Table, (std::vector<TGAFloat>{0, 1, 1, 1, 1}));
    // No bigger node (size 5) or no smaller one (size 1): no roulette.
    EXPECT_FALSE(CreateSizeFairRoulette(Nodes, 5, true, Table));
    EXPECT_FALSE(CreateSizeFairRoulette(Nodes, 1, true, Table));
    EXPECT_TRUE(Table.empty());
}

template <class GP> void RunStrategy(TGPBloatStrategy S) {
    RandSeed(static_cast<std::uint64_t>(S) + 1);
    TFixture<GP> F(31);
    auto* Mul = F.C.Instructions()->Add();
    Mul->SetName("Mul");
    Mul->SetArity(2);
    F.C.SetOnEvaluateFitness([](TObject*, TAxIndividual* Item, TGAFitness& R) {
        const TNode& N = *static_cast<TGPItem*>(Item)->DNA();
        R = std::fabs(N.Size() - 9.0) + 0.1 * N.Depth();
    });
    F.C.SetBloatStrategy(S);
    F.C.SetBloatLimit(7);
    F.C.SetParsimonyCoefficient(0.05);
    F.C.SetFitnessMethod(TGAFitnessMethod::fmWeightedMinimize);
    F.C.SetSelectionMethod(TGASelectionMethod::smTournament);
    F.C.SetInitializationMethod(TGPInitializationMethod::imRampedHalfAndHalf);
    F.C.SetInitializationDepth(6);
    F.C.SetMutationProbability(0.3);
    F.C.Initialize();
    EXPECT_EQ(F.C.Evolve(20), 20);
    EXPECT_TRUE(std::isfinite(F.C.ParsimonyCoefficient()));
    EXPECT_LE(F.C.GetMinProgramSize(), F.C.GetAvgProgramSize());
    EXPECT_LE(F.C.GetAvgProgramDepth(), F.C.GetMaxProgramDepth());
    for (int I = 0; I < F.C.Population()->Count(); ++I) {
        TGPItem* P = F.Item(I);
        ASSERT_FALSE(std::isnan(P->Fitness()));
        ASSERT_FALSE(std::isnan(P->WeightedFitness()));
        const bool Over = S == bsUnfitSize ? P->DNA()->Size() > 7 : P->DNA()->Depth() > 7;
        if (S == bsUnfitSize || S == bsUnfitDepth) {
            EXPECT_EQ(P->Fitness() == F.C.UnfitFitness(), Over);
        }
    }
}

// Every strategy keeps a small run of either float component sound for 20 generations.
// Subtree mutation at a deep point of a large language grows a subtree as deep as the
// point: with nine binary functions and one terminal most such subtrees would have
// millions of nodes. The grown subtree keeps to MutationNodeLimit (plus the terminals that
// close the arguments still open then, at most one per level here).
TEST(BloatControl, SubtreeMutationInADeepTreeGrowsABoundedSubtree) {
    RandSeed(1);
    TFixture<TAxGeneticProgramming> F(1);
    for (int I = 0; I < 8; ++I) {
        auto* Function = F.C.Instructions()->Add();
        Function->SetName("F" + std::to_string(I));
        Function->SetArity(2);
    }
    F.C.SetInitializationDepth(2);
    F.C.Initialize();
    F.C.SetSelectionNonTerminalsProbability(1); // every point is a function of the chain
    constexpr int Depth = 24;
    constexpr int Limit = TAxGeneticProgramming::MutationNodeLimit;
    int Largest = 0;
    for (std::uint64_t Seed = 1; Seed <= 12; ++Seed) {
        RandSeed(Seed);
        TGPItem* Item = F.Item(0);
        Item->AssignDNA(F.Chain(Depth));
        F.C.Mutate(*Item, TGPMutationMethod::mmSubtree);
        const int Size = Item->DNA()->Size();
        EXPECT_LE(Size, 2 * Depth + 1 + Limit + Depth) << Seed;
        Largest = std::max(Largest, Size);
    }
    EXPECT_GT(Largest, Limit); // the bound was reached, not just kept by chance
}

// Combinations in which a strategy does nothing, or works against its purpose, are named
// by BloatStrategyNote and shown by Describe right after the strategy.
TEST(BloatControl, NoteNamesTheSettingsAStrategyNeeds) {
    using SM = TGASelectionMethod;
    using FM = TGAFitnessMethod;
    struct TCase {
        TGPBloatStrategy Strategy;
        SM Selection;
        FM Fitness;
        bool WeightedHandler;
        std::string Note;
    };
    const TCase Cases[] = {
        {bsLexicographicParsimonyPressure, SM::smStochasticTournament, FM::fmMinimize, false,
         "bsLexicographicParsimonyPressure acts only in smTournament selection; under "
         "smStochasticTournament the run is the same as without it"},
        {bsLexicographicParsimonyPressure, SM::smTournament, FM::fmMinimize, false, ""},
        {bsSizeParsimonyPressure, SM::smTournament, FM::fmMinimize, false,
         "bsSizeParsimonyPressure acts only under fmWeightedMinimize or fmWeightedMaximize; "
         "under fmMinimize the run is the same as without it"},
        {bsDepthParsimonyPressure, SM::smTournament, FM::fmWeightedMinimize, false, ""},
        {bsSizeParsimonyPressure, SM::smTournament, FM::fmWeightedMaximize, true,
         "the OnEvaluateWeightedFitness handler replaces the penalty of "
         "bsSizeParsimonyPressure"},
        {bsCovariantSizeParsimonyPressure, SM::smTournament, FM::fmWeightedMinimize, false,
         "bsCovariantSizeParsimonyPressure adds its penalty when minimizing and can reward "
         "size; evolve the negated error under fmWeightedMaximize"},
        {bsCovariantDepthParsimonyPressure, SM::smTournament, FM::fmWeightedMaximize, false, ""},
        {bsUnfitSize, SM::smStochasticTournament, FM::fmMaximize, false,
         "an unfit program's fitness (1.40129846432482E-45) ranks above every fitness of 0 or "
         "less; keep fitness values positive"},
        {bsTarpeianDepth, SM::smStochasticTournament, FM::fmMinimize, false, ""},
        {bsDepthLimit, SM::smStochasticTournament, FM::fmWeightedMaximize, true, ""},
    };
    for (const TCase& Case : Cases) {
        TAxGeneticProgramming GP;
        GP.SetBloatStrategy(Case.Strategy);
        GP.SetSelectionMethod(Case.Selection);
        GP.SetFitnessMethod(Case.Fitness);
        if (Case.WeightedHandler)
            GP.SetOnEvaluateWeightedFitness([](TObject*, TAxIndividual*, TGAFitness&) {});
        EXPECT_EQ(GP.BloatStrategyNote(), Case.Note) << GetEnumName(Case.Strategy);
        TStringList Lines;
        GP.Describe(Lines, "  ");
        const std::string Text = Lines.Text();
        const std::string After = "  Anti-Bloating Limit = 10\n";
        const std::string Line = "  Anti-Bloating Note = " + Case.Note + "\n";
        EXPECT_EQ(Text.find(After + Line) != std::string::npos, !Case.Note.empty())
            << GetEnumName(Case.Strategy);
    }
}

TEST(BloatControl, EveryStrategyRunsTwentyGenerations) {
    for (int I = 0; I < 18; ++I) {
        const auto S = static_cast<TGPBloatStrategy>(I);
        SCOPED_TRACE(GetEnumName(S));
        RunStrategy<TAxGeneticProgramming>(S);
        RunStrategy<TAxBinaryGeneticProgramming>(S);
    }
}

} // namespace
} // namespace ax
