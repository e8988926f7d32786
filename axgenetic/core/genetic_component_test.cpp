#include "axgenetic/core/genetic_component.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/messages.hpp"
#include "axgenetic/platform/enum_names.hpp"
#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/expect_error_test_support.hpp"
#include "axgenetic/platform/random.hpp"

namespace ax {
namespace {

using Strings = std::vector<std::string>;
using Ints = std::vector<int>;
using Doubles = std::vector<double>;
using SM = TGASelectionMethod;
using FM = TGAFitnessMethod;

// An individual whose genome is one integer.
class TIntIndividual : public TAxIndividual {
public:
    int Gene = 0;
    void SetGene(int Value) {
        Gene = Value;
        Modified();
    }
    void Assign(const TPersistent& Source) override {
        if (const auto* From = dynamic_cast<const TIntIndividual*>(&Source)) Gene = From->Gene;
        TAxIndividual::Assign(Source);
    }
};

// Fitness is the gene, or Fitnesses[index] when that table is filled. Crossover gives
// (g1 + g2, g2 - g1), mutation adds 1, inversion negates; every step is logged, and so are
// the population's reports in Notes.
class TIntComponent : public TAxCustomGeneticComponent {
public:
    using TAxCustomGeneticComponent::Crossover;
    using TAxCustomGeneticComponent::EvaluateFitness;
    using TAxCustomGeneticComponent::FCumNormFitnesses;
    using TAxCustomGeneticComponent::FRouletteIndex;
    Doubles Fitnesses;
    std::vector<TAxIndividual*> Evaluated;
    Strings Log, Notes;
    int Tournaments = 0;

    TIntComponent() {
        RecreatePopulation();
        SetOnEvaluateFitness([this](TObject*, TAxIndividual* Item, TGAFitness& F) {
            Evaluated.push_back(Item);
            F = Fitnesses.empty() ? I(Item)->Gene
                                  : Fitnesses[static_cast<std::size_t>(Item->Index())];
        });
    }
    static TIntIndividual* I(TAxIndividual* Item) { return static_cast<TIntIndividual*>(Item); }
    TIntIndividual* Item(int Index) const { return I(Population()->Items(Index)); }
    void Fill(const Doubles& Values) { // a fresh, evaluated population with these fitnesses
        Fitnesses = Values;
        Population()->Clear();
        for (std::size_t N = 0; N < Values.size(); ++N)
            Population()->Add();
        EvaluateFitness();
        FRouletteIndex = -1;
    }
    Ints Genes(const TAxPopulation* P) const {
        Ints R;
        for (int N = 0; N < P->Count(); ++N)
            R.push_back(I(P->Items(N))->Gene);
        return R;
    }
    int Pick() { return SelectParent(Population())->Index(); }
    Ints Picks(int Count) {
        Ints R;
        for (int N = 0; N < Count; ++N)
            R.push_back(Pick());
        return R;
    }
    void SelectTournament(TObject* Sender, TAxPopulation* P, TAxIndividual*& Parent) override {
        ++Tournaments;
        TAxCustomGeneticComponent::SelectTournament(Sender, P, Parent);
    }
    bool Crossover(TAxIndividual* P1, TAxIndividual* P2, TAxIndividual* C1,
                   TAxIndividual* C2) override {
        Log.push_back("Crossover2");
        return TAxCustomGeneticComponent::Crossover(P1, P2, C1, C2);
    }

protected:
    void PopulationNotify(TAxIndividual* Item, TCollectionNotification Action) override {
        Notes.push_back(std::to_string(static_cast<int>(Action)) + ":" +
                        std::to_string(Item->ID()));
        TAxCustomGeneticComponent::PopulationNotify(Item, Action);
    }
    void PopulationUpdate(TAxIndividual* Item) override {
        Notes.push_back(Item ? "update:" + std::to_string(Item->ID()) : "update:all");
    }
    std::unique_ptr<TAxPopulation> CreatePopulation(TAxIndividualClass) override {
        return std::make_unique<TAxPopulation>(this, ClassOf<TIntIndividual>());
    }
    int DoInitialize() override {
        for (int N = 0; N < Population()->Count(); ++N)
            Item(N)->SetGene(Random(1000));
        return 0;
    }
    bool DoCrossover(TAxIndividual* P1, TAxIndividual* P2, TAxIndividual* C1,
                     TAxIndividual* C2) override {
        Log.push_back(C2 ? "DoCrossover2" : "DoCrossover1");
        I(C1)->SetGene(I(P1)->Gene + I(P2)->Gene);
        if (C2) I(C2)->SetGene(I(P2)->Gene - I(P1)->Gene);
        return true;
    }
    bool DoMutate(TAxIndividual* Item) override {
        Log.push_back("DoMutate");
        I(Item)->SetGene(I(Item)->Gene + 1);
        return true;
    }
    bool DoInvert(TAxIndividual* Item) override {
        Log.push_back("DoInvert");
        I(Item)->SetGene(-I(Item)->Gene);
        return true;
    }
    void DoEvolveOneStep(int Index) override {
        Log.push_back("step " + std::to_string(Index));
        TAxCustomGeneticComponent::DoEvolveOneStep(Index);
    }
};

std::string Idx(TAxIndividual* Item) {
    return std::to_string(Item->Index());
}

TEST(GeneticComponent, InitialValues) {
    TIntComponent C;
    EXPECT_EQ(Doubles({C.CrossoverProbability(), C.MutationProbability(), C.InversionProbability(),
                       C.ElitistPct(), C.DiversityLimit(), C.FitnessCutoff()}),
              Doubles({0.98, 0.01, 0.1, 0.1, 0.02, 1.0}));
    EXPECT_EQ(Ints({C.GenerationLimit(), C.Generation(), C.InitialPopulation(),
                    C.InitialDuplicatesRetries(), C.TournamentField(), C.Operations().Bits()}),
              Ints({0, 0, 100, 10, 2, 7}));
    EXPECT_FALSE(C.UseFitnessCutoff() || C.UseDiversityLimit() || C.UseGenerationLimit() ||
                 C.Halt() || C.Initialized() || C.PreviousGeneration());
    EXPECT_EQ(C.FitnessMethod(), FM::fmMinimize);
    EXPECT_EQ(C.SelectionMethod(), SM::smStochasticTournament);
    EXPECT_EQ(C.Population()->ItemClass(), ClassOf<TIntIndividual>());
}

TEST(GeneticComponent, SettersClampToTheirRange) {
    TIntComponent C;
    using P = TAxCustomGeneticComponent;
    for (auto [Set, Get] : {std::pair{&P::SetCrossoverProbability, &P::CrossoverProbability},
                            {&P::SetMutationProbability, &P::MutationProbability},
                            {&P::SetInversionProbability, &P::InversionProbability},
                            {&P::SetElitistPct, &P::ElitistPct},
                            {&P::SetDiversityLimit, &P::DiversityLimit}}) {
        const double Results[] = {((C.*Set)(1.5), (C.*Get)()), ((C.*Set)(-0.2), (C.*Get)()),
                                  ((C.*Set)(0.25), (C.*Get)())};
        EXPECT_EQ(Doubles(Results, Results + 3), Doubles({1.0, 0.0, 0.25}));
    }
    C.SetGenerationLimit(0); // the current value: nothing happens, not even the minimum
    EXPECT_EQ(C.GenerationLimit(), 0);
    for (auto [Set, Get, Min] : {std::tuple{&P::SetGenerationLimit, &P::GenerationLimit, 1},
                                 {&P::SetInitialPopulation, &P::InitialPopulation, 0},
                                 {&P::SetInitialDuplicatesRetries, &P::InitialDuplicatesRetries, 0},
                                 {&P::SetTournamentField, &P::TournamentField, 2}}) {
        const int Results[] = {((C.*Set)(-7), (C.*Get)()), ((C.*Set)(Min - 1), (C.*Get)()),
                               ((C.*Set)(9), (C.*Get)())};
        EXPECT_EQ(Ints(Results, Results + 3), Ints({Min, Min, 9}));
    }
}

// A NaN has no place in [0, 1]: writing one leaves each probability as it was.
TEST(GeneticComponent, ANaNProbabilityLeavesTheSettingUnchanged) {
    TIntComponent C;
    using P = TAxCustomGeneticComponent;
    for (auto [Set, Get] : {std::pair{&P::SetCrossoverProbability, &P::CrossoverProbability},
                            {&P::SetMutationProbability, &P::MutationProbability},
                            {&P::SetInversionProbability, &P::InversionProbability},
                            {&P::SetElitistPct, &P::ElitistPct},
                            {&P::SetDiversityLimit, &P::DiversityLimit}}) {
        (C.*Set)(0.25);
        (C.*Set)(std::numeric_limits<double>::quiet_NaN());
        EXPECT_EQ((C.*Get)(), 0.25);
    }
}

TEST(GeneticComponent, SelectionMethodFollowsTheSelectionHandler) {
    TIntComponent C;
    C.Fill({1, 2});
    C.SetSelectionMethod(SM::smCustom);
    EXPECT_FALSE(static_cast<bool>(C.OnSelection()));
    ExpectError<EGAException>([&] { C.SelectParent(C.Population()); }, SNoSelectionFunction);
    C.SetSelectionMethod(SM::smRoulette);
    C.SetOnSelection([&](TObject* Sender, TAxPopulation* P, TAxIndividual*& Parent) {
        EXPECT_TRUE(Sender == &C && Parent == nullptr);
        Parent = P->Items(1);
    });
    EXPECT_EQ(C.SelectionMethod(), SM::smCustom);
    EXPECT_EQ(C.Pick(), 1);
    // An empty handler installs roulette (which gives the worst of 1 and 2 no share), also
    // when the method reads roulette already.
    for (SM Before : {SM::smRandom, SM::smRoulette}) {
        C.SetSelectionMethod(Before);
        C.SetOnSelection(nullptr);
        EXPECT_EQ(C.SelectionMethod(), SM::smRoulette);
        RandSeed(1);
        EXPECT_EQ(C.Picks(10), Ints(10, 0));
    }
    // Built-in handlers reach the overrides of the actual class.
    C.SetSelectionMethod(SM::smTournament);
    C.Pick();
    EXPECT_EQ(C.Tournaments, 1);
}

TEST(GeneticComponent, InitializeBuildsTheFirstGeneration) {
    RandSeed(11);
    TIntComponent C;
    C.SetInitialPopulation(3);
    C.SetGeneration(9);
    C.Initialize();
    EXPECT_TRUE(C.Initialized() && C.Generation() == 0);
    RandSeed(11);
    const Ints Expected{Random(1000), Random(1000), Random(1000)};
    EXPECT_EQ(C.Genes(C.Population()), Expected);
    EXPECT_EQ(C.Genes(C.PreviousGeneration()), Expected);
    EXPECT_EQ(C.Evaluated, (std::vector<TAxIndividual*>{C.Item(0), C.Item(1), C.Item(2)}));

    // Surplus individuals stay; a handler reporting initialization skips DoInitialize.
    for (int N = 0; N < 150; ++N)
        C.Population()->Add();
    C.SetOnInitialization([&](TObject*, bool& Initialized) {
        EXPECT_FALSE(Initialized);
        Initialized = C.Population()->Count() == 153;
    });
    C.SetInitialPopulation(100);
    C.Initialize();
    EXPECT_EQ(C.Genes(C.Population())[152], 0);
    // Without a fitness handler everyone is fresh at 0 and stays so.
    C.SetOnEvaluateFitness(nullptr);
    C.Item(0)->Modified();
    C.Initialize();
    C.SetOnEvaluateFitness([](TObject*, TAxIndividual*, TGAFitness& F) { F = 1; });
    EXPECT_EQ(C.Item(0)->Fitness(), 0.0);
}

TEST(GeneticComponent, AGenerationBreedsPairsEvaluatingOnlyChangedChildren) {
    RandSeed(5);
    TIntComponent C;
    C.SetInitialPopulation(5);
    C.SetOperations({});
    C.Initialize();
    int Selections = 0;
    C.SetOnSelection([&](TObject* S, TAxPopulation* P, TAxIndividual*& Parent) {
        EXPECT_EQ(P, C.PreviousGeneration());
        ++Selections;
        C.SelectRandom(S, P, Parent);
    });
    Strings Children;
    C.SetOnReproduction(
        [&](TObject*, TAxIndividual* Child, bool&) { Children.push_back(Idx(Child)); });
    C.Evaluated.clear();
    C.Evolve();
    EXPECT_TRUE(C.Evaluated.empty() && Selections == 6 && C.Generation() == 1); // fresh copies
    EXPECT_EQ(C.Log, (Strings{"step 0", "step 2", "step 4"}));
    EXPECT_EQ(Children, (Strings{"0", "1", "2", "3", "4"}));

    C.SetOperations({TGAGeneticOperation::goMutate});
    C.SetMutationProbability(1.0);
    C.Evolve();
    EXPECT_EQ(C.Evaluated,
              (std::vector<TAxIndividual*>{C.Item(0), C.Item(1), C.Item(2), C.Item(3), C.Item(4)}));
    C.Log.clear();
    C.DoParallelEvolveOneStep(1);
    EXPECT_EQ(C.Log, (Strings{"step 2", "DoMutate", "DoMutate"}));
}

TEST(GeneticComponent, ReproduceCallsEveryStepInOrderUnlessVetoed) {
    TIntComponent C;
    for (int N = 0; N < 4; ++N)
        C.Population()->Add();
    TIntIndividual *P1 = C.Item(0), *P2 = C.Item(1), *C1 = C.Item(2), *C2 = C.Item(3);
    P1->SetGene(10);
    P2->SetGene(3);
    const auto Chances = [&](double P) {
        C.SetCrossoverProbability(P), C.SetMutationProbability(P), C.SetInversionProbability(P);
    };
    Chances(1);
    Strings& Log = C.Log;
    bool Vetoing = false;
    C.SetOnInitializeChild([&](TObject*, TAxIndividual* A, TAxIndividual* B, TAxIndividual* Child) {
        EXPECT_TRUE(A == P1 && B == P2 && C.I(Child)->Gene == 10);
        Log.push_back("OnInitializeChild " + Idx(Child));
    });
    const auto Veto = [&](const char* Name, TAxIndividual* Item, bool& Do) {
        Log.push_back(Name + (" " + Idx(Item)));
        Do = !Vetoing;
    };
    C.SetOnCrossover([&](TObject*, TAxIndividual*, TAxIndividual*, TAxIndividual* Child, bool& Do) {
        Veto("OnCrossover", Child, Do);
    });
    C.SetOnMutation([&](TObject*, TAxIndividual* Item, bool& Do) { Veto("OnMutation", Item, Do); });
    C.SetOnInversion(
        [&](TObject*, TAxIndividual* Item, bool& Do) { Veto("OnInversion", Item, Do); });
    C.SetOnReproduction([&](TObject*, TAxIndividual* Item, bool& Changed) {
        Log.push_back("OnReproduction " + Idx(Item) + (Changed ? " true" : " false"));
    });
    EXPECT_TRUE(C.Reproduce(P1, P2, C1, C2));
    EXPECT_EQ(Log,
              (Strings{"OnInitializeChild 2", "OnInitializeChild 3", "Crossover2", "OnCrossover 2",
                       "DoCrossover2", "OnMutation 2", "DoMutate", "OnMutation 3", "DoMutate",
                       "OnInversion 2", "DoInvert", "OnInversion 3", "DoInvert",
                       "OnReproduction 2 true", "OnReproduction 3 true"}));
    EXPECT_EQ(C.Genes(C.Population()), (Ints{10, 3, -14, 6}));
    Log.clear(); // the one-child form does not go through the two-child Crossover
    EXPECT_TRUE(C.Reproduce(P1, P2, C1));
    EXPECT_EQ(Log, (Strings{"OnInitializeChild 2", "OnCrossover 2", "DoCrossover1", "OnMutation 2",
                            "DoMutate", "OnInversion 2", "DoInvert", "OnReproduction 2 true"}));
    Log.clear(); // vetoes cancel the operator steps
    Vetoing = true;
    EXPECT_FALSE(C.Reproduce(P1, P2, C1, C2));
    EXPECT_EQ(Log, (Strings{"OnInitializeChild 2", "OnInitializeChild 3", "Crossover2",
                            "OnCrossover 2", "OnMutation 2", "OnMutation 3", "OnInversion 2",
                            "OnInversion 3", "OnReproduction 2 false", "OnReproduction 3 false"}));
}

TEST(GeneticComponent, ReproduceDrawsOncePerOperatorStep) {
    TIntComponent C;
    for (int N = 0; N < 4; ++N)
        C.Population()->Add();
    TIntIndividual *P1 = C.Item(0), *P2 = C.Item(1), *C1 = C.Item(2), *C2 = C.Item(3);
    P1->SetGene(10);
    P2->SetGene(3);
    // Draws: five for two children, three for one, none without operations.
    C.SetCrossoverProbability(0), C.SetMutationProbability(0), C.SetInversionProbability(0);
    auto Draws = [](auto&& Call) {
        RandSeed(21);
        Call();
        const double Next = Random();
        RandSeed(21);
        int N = 0;
        while (Random() != Next)
            ++N;
        return N;
    };
    EXPECT_EQ(Draws([&] { EXPECT_FALSE(C.Reproduce(P1, P2, C1, C2)); }), 5);
    EXPECT_EQ(Draws([&] { EXPECT_FALSE(C.Reproduce(P1, P2, C1)); }), 3);
    C.SetOperations({});
    C2->SetGene(77);
    EXPECT_EQ(Draws([&] { C.Reproduce(P1, P2, C1, C2); }), 0);
    EXPECT_EQ(C2->Gene, 10); // an exact copy of the first parent
    C.SetOnReproduction([](TObject*, TAxIndividual*, bool& Changed) { Changed = !Changed; });
    EXPECT_TRUE(C.Reproduce(P1, P2, C1));
    EXPECT_FALSE(C.Reproduce(P1, P2, C1, C2)); // flipped twice
}

TEST(GeneticComponent, EvolveRaisesWithoutHandlersOrAParent) {
    RandSeed(8);
    TIntComponent C;
    C.SetInitialPopulation(4);
    C.SetOnEvaluateFitness(nullptr);
    C.SetSelectionMethod(SM::smCustom); // both missing: the fitness function is reported
    ExpectError<EGAException>([&] { C.Evolve(); }, SNoFitnessFunction);
    EXPECT_TRUE(C.Initialized()); // raised after initialization
    C.SetOnEvaluateFitness([](TObject*, TAxIndividual*, TGAFitness& F) { F = 1; });
    ExpectError<EGAException>([&] { C.Evolve(); }, SNoSelectionFunction);

    // A handler that leaves no parent: the pair is untouched, the batch closed.
    int Calls = 0;
    C.SetOnSelection([&](TObject*, TAxPopulation* P, TAxIndividual*& Parent) {
        if (++Calls != 4) Parent = P->Items(0);
    });
    const int Untouched = C.I(C.PreviousGeneration()->Items(3))->Gene;
    ExpectError<EGAException>([&] { C.Evolve(); }, SNoParentSelected);
    EXPECT_EQ(C.Generation(), 0);
    EXPECT_EQ(C.Population()->UpdateCount(), 0);
    EXPECT_EQ(C.Item(3)->Gene, Untouched);
}

TEST(GeneticComponent, EvolveStopsAtTheGenerationLimitOrOnHalt) {
    RandSeed(2);
    TIntComponent E;
    E.SetInitialPopulation(6);
    int Evolved = 0;
    E.SetOnEvolve([&](TObject*) { ++Evolved; });
    EXPECT_EQ(E.Evolve(0) + E.Evolve(-2) + Evolved, 0);
    E.SetUseGenerationLimit(true); // limit 0: finished before the first generation
    EXPECT_EQ(E.Evolve(5) + E.Generation(), 0);
    EXPECT_EQ(Evolved, 1); // reported even so
    E.SetGenerationLimit(3);
    EXPECT_EQ(E.Evolve(10), 3);
    E.Evolve();
    EXPECT_TRUE(Evolved == 5 && E.Generation() == 3);
    E.SetUseGenerationLimit(false);
    E.SetHalt(true); // reset at the start
    EXPECT_EQ(E.Evolve(2), 2);
    E.SetOnEvolve([&](TObject*) { E.SetHalt(true); });
    EXPECT_EQ(E.Evolve(5), 1);
}

TEST(GeneticComponent, IsFinishedByFitnessCutoffOrDiversityLimit) {
    TIntComponent E;
    // Fitness 4, 2, 6: cutoff on the raw fitness of the fittest, then diversity 4 / 6.
    E.Fill({4, 2, 6});
    E.SetUseFitnessCutoff(true);
    E.SetOnEvaluateWeightedFitness([](TObject*, TAxIndividual*, TGAFitness& F) { F = 100; });
    const struct {
        FM Method;
        double Cutoff, Limit;
        bool UseLimit, Finished;
    } Cases[] = {{FM::fmMinimize, 2, 0, false, true},
                 {FM::fmMinimize, 1.5, 0, false, false},
                 {FM::fmWeightedMaximize, 6, 0, false, true},
                 {FM::fmWeightedMaximize, 6.5, 0, false, false},
                 {FM::fmWeightedMaximize, 6.5, 0.66, true, false},
                 {FM::fmWeightedMaximize, 6.5, 0.67, true, true}};
    for (const auto& Case : Cases) {
        E.SetFitnessMethod(Case.Method);
        E.EvaluateFitness();
        E.SetFitnessCutoff(Case.Cutoff);
        E.SetUseDiversityLimit(Case.UseLimit);
        E.SetDiversityLimit(Case.Limit);
        EXPECT_EQ(E.IsFinished(), Case.Finished) << Case.Cutoff << " " << Case.Limit;
    }
}

TEST(GeneticComponent, AssignCopiesTheStateIntoIndependentPopulations) {
    RandSeed(4);
    TIntComponent S;
    S.SetInitialPopulation(5);
    S.SetCrossoverProbability(0.5), S.SetMutationProbability(0.2), S.SetInversionProbability(0.3);
    S.SetElitistPct(0.4), S.SetDiversityLimit(0.05), S.SetFitnessCutoff(3.5);
    S.SetGenerationLimit(20), S.SetTournamentField(4), S.SetInitialDuplicatesRetries(2);
    S.SetFitnessMethod(FM::fmMaximize), S.SetSelectionMethod(SM::smElitist);
    S.SetUseDiversityLimit(true), S.SetOperations({TGAGeneticOperation::goMutate});
    S.Evolve(2);
    TIntComponent T;
    T.Assign(S);
    EXPECT_EQ(
        Doubles({T.CrossoverProbability(), T.MutationProbability(), T.InversionProbability(),
                 T.ElitistPct(), T.DiversityLimit(), T.FitnessCutoff(), T.MaxFitness(),
                 T.MinFitness(), T.AvgFitness(), T.MaxWeightedFitness(), T.MinWeightedFitness(),
                 T.AvgWeightedFitness()}),
        Doubles({0.5, 0.2, 0.3, 0.4, 0.05, 3.5, S.MaxFitness(), S.MinFitness(), S.AvgFitness(),
                 S.MaxWeightedFitness(), S.MinWeightedFitness(), S.AvgWeightedFitness()}));
    EXPECT_EQ(Ints({T.Generation(), T.GenerationLimit(), T.TournamentField(),
                    T.InitialDuplicatesRetries(), T.InitialPopulation(), T.Operations().Bits()}),
              Ints({2, 20, 4, 2, 100, 7})); // the last two are not copied
    EXPECT_TRUE(T.Initialized() && T.UseDiversityLimit() && !T.UseFitnessCutoff());
    EXPECT_TRUE(T.FitnessMethod() == FM::fmMaximize && T.SelectionMethod() == SM::smElitist);
    const Ints Genes = S.Genes(S.Population());
    EXPECT_EQ(T.Genes(T.Population()), Genes);
    EXPECT_EQ(T.Genes(T.PreviousGeneration()), S.Genes(S.PreviousGeneration()));
    ASSERT_NE(T.FittestIndividual(), nullptr); // the copy at the same index
    EXPECT_EQ(T.FittestIndividual(), T.Population()->Items(S.FittestIndividual()->Index()));
    S.Item(0)->SetGene(-500);
    S.Population()->Delete(1);
    EXPECT_EQ(T.Genes(T.Population()), Genes);

    // A custom source leaves no handler here; no previous generation there, none here.
    TIntComponent Custom;
    Custom.SetOnSelection(
        [](TObject*, TAxPopulation* P, TAxIndividual*& Parent) { Parent = P->Items(0); });
    T.Assign(Custom);
    EXPECT_EQ(T.SelectionMethod(), SM::smCustom);
    EXPECT_FALSE(static_cast<bool>(T.OnSelection()));
    EXPECT_TRUE(T.PreviousGeneration() == nullptr && T.FittestIndividual() == nullptr);
    EXPECT_THROW(T.Assign(*Custom.Population()), EConvertError);
}

TEST(FitnessStatistics, SummariesFollowTheFitnessMethod) {
    TIntComponent C;
    C.Fill({3, 1, 4, 1, 5});
    EXPECT_EQ(C.FittestIndividual(), C.Item(1)); // earliest of the ties
    EXPECT_EQ(Doubles({C.MinFitness(), C.MaxFitness(), C.AvgFitness(), C.MinWeightedFitness(),
                       C.MaxWeightedFitness(), C.AvgWeightedFitness()}),
              Doubles({1, 5, 2.8, 1, 5, 2.8}));
    EXPECT_DOUBLE_EQ(C.Diversity(), 2.8 / 5);
    C.SetOnEvaluateWeightedFitness(
        [](TObject*, TAxIndividual* I, TGAFitness& F) { F = -10 * I->Fitness(); });
    C.SetFitnessMethod(FM::fmWeightedMinimize);
    C.EvaluateFitness();
    EXPECT_EQ(C.FittestIndividual(), C.Item(1)); // judged on the raw fitness
    EXPECT_EQ(Doubles({C.MinWeightedFitness(), C.MaxWeightedFitness(), C.AvgWeightedFitness()}),
              Doubles({-50, -10, -28}));
    EXPECT_EQ(C.Evaluated.size(), 5u); // raw fitness read from the cache
    // Raw fitness 1 and 4 (weighted -10 and -40), ties keep the first.
    const auto Compare = [&](bool Pure) { return C.CompareFitness(C.Item(1), C.Item(2), Pure); };
    EXPECT_EQ(Ints({Compare(false), Compare(true), C.CompareFitness(C.Item(1), C.Item(3), true)}),
              Ints({1, -1, 0}));
    EXPECT_EQ(C.Fittest(C.Item(3), C.Item(1), true), C.Item(3));
    EXPECT_EQ(C.UnfitFitness(), 3.4028234663852886e+38);
    C.SetFitnessMethod(FM::fmWeightedMaximize);
    EXPECT_EQ(Ints({Compare(false), Compare(true)}), Ints({-1, 1}));
    EXPECT_EQ(C.UnfitFitness(), 1.401298464324817e-45);
    C.SetFitnessMethod(FM::fmMaximize);
    EXPECT_EQ(C.Fittest(C.Item(1), C.Item(2), false), C.Item(2));
}

TEST(FitnessStatistics, FlatOrEmptyPopulations) {
    TIntComponent C;
    C.SetOnEvaluateWeightedFitness(
        [](TObject*, TAxIndividual* I, TGAFitness& F) { F = -10 * I->Fitness(); });
    C.SetFitnessMethod(FM::fmMaximize);
    C.Fill({0, 0});
    EXPECT_EQ(C.GetNormalizedFitness(2) + C.GetNormalizedWeightedFitness(2), 0.0);
    EXPECT_TRUE(std::isinf(C.Diversity()));
    C.Fill({2, 8});
    C.Population()->Clear(); // no individuals: the middle of the range
    EXPECT_EQ(Doubles({C.AvgFitness(), C.AvgWeightedFitness()}), Doubles({5, -50}));
    C.EvaluateFitness();
    EXPECT_EQ(
        Doubles({C.MaxFitness(), C.MinWeightedFitness(), C.AvgFitness(), C.AvgWeightedFitness()}),
        Doubles(4, 0.0));
}

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

// Values as text, so that NaN compares equal to NaN.
std::string Text(const Doubles& Values) {
    std::string Out;
    for (double V : Values)
        Out += std::to_string(V) + " ";
    return Out;
}

// The roulette table of a fresh population with these fitness values.
TGAFitnessArray RouletteTable(TIntComponent& C, FM Method, const Doubles& Values) {
    C.SetFitnessMethod(Method);
    C.Fill(Values);
    return C.FCumNormFitnesses;
}

// A NaN fitness is left out of the minimum, maximum, sum and average and is never the
// fittest while a number is there; infinities are numbers, but only finite values are
// summed and averaged.
TEST(FitnessStatistics, SummariesSkipNaNAverageOnlyFiniteValues) {
    struct TCase {
        FM Method;
        Doubles Values;
        int Fittest;
        Doubles MinMaxAvg;
    };
    const TCase Cases[] = {
        {FM::fmMinimize, {NaN, 2, 4}, 1, {2, 4, 3}},
        {FM::fmMaximize, {NaN, 2, 4}, 2, {2, 4, 3}},
        {FM::fmMinimize, {3, NaN, 1}, 2, {1, 3, 2}},
        {FM::fmMinimize, {1, Inf, 3}, 0, {1, Inf, 2}},
        {FM::fmMaximize, {1, Inf, 3}, 1, {1, Inf, 2}},
        {FM::fmMinimize, {5, -Inf}, 1, {-Inf, 5, 5}},
        {FM::fmMinimize, {Inf, Inf}, 0, {Inf, Inf, Inf}},
        {FM::fmMaximize, {NaN, NaN}, 0, {NaN, NaN, NaN}},
    };
    for (const TCase& Case : Cases) {
        TIntComponent C;
        C.SetFitnessMethod(Case.Method);
        C.Fill(Case.Values);
        const std::string Label = Text(Case.Values) + std::string(GetEnumName(Case.Method));
        EXPECT_EQ(C.FittestIndividual(), C.Item(Case.Fittest)) << Label;
        EXPECT_EQ(Text({C.MinFitness(), C.MaxFitness(), C.AvgFitness()}), Text(Case.MinMaxAvg))
            << Label;
        EXPECT_EQ(Text({C.MinWeightedFitness(), C.MaxWeightedFitness(), C.AvgWeightedFitness()}),
                  Text(Case.MinMaxAvg))
            << Label;
    }
}

// Whatever the method and scale, a NaN loses to every number and ties with another NaN.
TEST(Selection, NaNNeverBeatsANumber) {
    TIntComponent C;
    C.Fill({NaN, 5, NaN});
    for (FM Method :
         {FM::fmMinimize, FM::fmMaximize, FM::fmWeightedMinimize, FM::fmWeightedMaximize}) {
        C.SetFitnessMethod(Method);
        for (bool Pure : {false, true})
            EXPECT_EQ(Ints({C.CompareFitness(C.Item(0), C.Item(1), Pure),
                            C.CompareFitness(C.Item(1), C.Item(0), Pure),
                            C.CompareFitness(C.Item(0), C.Item(2), Pure)}),
                      Ints({1, -1, 0}))
                << GetEnumName(Method) << Pure;
    }
    // A tournament of two returns the NaN only when both entrants drawn are the NaN.
    C.SetFitnessMethod(FM::fmMinimize);
    C.SetSelectionMethod(SM::smTournament);
    C.Fill({NaN, 5});
    for (std::uint64_t Seed = 1; Seed <= 50; ++Seed) {
        RandSeed(Seed);
        const bool BothNaN = Random(2) == 0 && Random(2) == 0;
        RandSeed(Seed);
        EXPECT_EQ(C.Pick(), BothNaN ? 0 : 1) << Seed;
    }
}

// The roulette gives no share to a NaN or to the worst infinity; the best infinity takes
// the whole wheel; without any usable share every individual with a number gets an equal
// one. The elitist ranking puts a NaN last.
TEST(Selection, RouletteWithFitnessThatIsNotFinite) {
    TIntComponent C;
    C.SetSelectionMethod(SM::smRoulette);
    const auto Table = [&](FM M, const Doubles& Values) { return RouletteTable(C, M, Values); };
    EXPECT_EQ(Table(FM::fmMinimize, {1, NaN, 3, Inf}), (TGAFitnessArray{1, 1, 1, 1}));
    EXPECT_EQ(Table(FM::fmMaximize, {1, NaN, 3}), (TGAFitnessArray{0.25, 0.25, 1}));
    EXPECT_EQ(Table(FM::fmMaximize, {1, Inf, 3}), (TGAFitnessArray{0, 1, 1}));
    EXPECT_EQ(Table(FM::fmMinimize, {2, -Inf, NaN}), (TGAFitnessArray{0, 1, 1}));
    EXPECT_EQ(Table(FM::fmMinimize, {NaN, 2, 2}), (TGAFitnessArray{0, 0.5, 1}));
    EXPECT_EQ(Table(FM::fmMaximize, {NaN, NaN}), (TGAFitnessArray{0.5, 1}));
}

TEST(Selection, ElitistRanksNaNLast) {
    TIntComponent C;
    C.SetSelectionMethod(SM::smElitist);
    C.SetElitistPct(1);
    C.SetFitnessMethod(FM::fmMaximize);
    C.Fill({NaN, 1, 2});
    EXPECT_EQ(C.Picks(3), (Ints{2, 1, 0}));
    C.SetFitnessMethod(FM::fmMinimize);
    C.Fill({NaN, 1, 2});
    EXPECT_EQ(C.Picks(3), (Ints{1, 2, 0}));
}

// The roulette's index for draw R: the first entry above it, else the last.
int FirstAbove(const TGAFitnessArray& Table, double R) {
    for (std::size_t N = 0; N < Table.size(); ++N)
        if (Table[N] > R) return static_cast<int>(N);
    return static_cast<int>(Table.size()) - 1;
}

TEST(Selection, RouletteTablesFollowTheFitnessMethod) {
    TIntComponent C;
    C.SetSelectionMethod(SM::smRoulette);
    const auto Table = [&](FM M, const Doubles& Values) { return RouletteTable(C, M, Values); };
    EXPECT_EQ(Table(FM::fmMinimize, {1, 2, 3}), (TGAFitnessArray{2.0 / 3, 1, 1}));
    EXPECT_EQ(Table(FM::fmMaximize, {1, 1, 2}), (TGAFitnessArray{0.25, 0.5, 1}));
    EXPECT_EQ(Table(FM::fmMinimize, {7, 7, 7, 7}), (TGAFitnessArray{0.25, 0.5, 0.75, 1}));
    C.SetOnEvaluateWeightedFitness(
        [](TObject*, TAxIndividual* I, TGAFitness& F) { F = 10 - I->Fitness(); });
    EXPECT_EQ(Table(FM::fmWeightedMinimize, {9, 8, 7}), (TGAFitnessArray{2.0 / 3, 1, 1}));
    EXPECT_EQ(Table(FM::fmWeightedMaximize, {9, 9, 8}), (TGAFitnessArray{0.25, 0.5, 1}));
}

TEST(Selection, RoulettePicksTheFirstEntryAboveTheDraw) {
    TIntComponent C;
    C.SetSelectionMethod(SM::smRoulette);
    const auto Table = [&](FM M, const Doubles& Values) { return RouletteTable(C, M, Values); };
    Table(FM::fmMinimize, {1, 2, 3, 0.5, 2.5, 1});
    for (std::uint64_t Seed = 1; Seed <= 200; ++Seed) {
        RandSeed(Seed);
        const int Expected = FirstAbove(C.FCumNormFitnesses, Random());
        RandSeed(Seed);
        EXPECT_EQ(C.Pick(), Expected);
        EXPECT_EQ(C.FRouletteIndex, Expected);
    }
    RandSeed(23); // an entry equal to the draw is passed over
    const double R = Random();
    EXPECT_EQ(Table(FM::fmMaximize, {R, 1 - R})[0], R);
    RandSeed(23);
    EXPECT_EQ(C.Pick(), 1);
    // No entry above the draw (zero sum, unequal values): the last entry.
    EXPECT_EQ(Table(FM::fmMaximize, {-1, 1}), (TGAFitnessArray{0, 0}));
    EXPECT_EQ(C.Pick(), 1);
    C.FCumNormFitnesses.clear(); // an empty table is computed by the pick
    C.Pick();
    EXPECT_EQ(C.FCumNormFitnesses.size(), 2u);
    // Only roulette and the stochastic tournament prepare the table.
    C.SetSelectionMethod(SM::smTournament);
    C.Fill({1, 2, 3});
    EXPECT_EQ(C.FCumNormFitnesses.size(), 2u);
}

TEST(Selection, WithoutSpreadRouletteOrElitistPicksAtRandom) {
    TIntComponent C;
    C.SetFitnessMethod(FM::fmMaximize);
    // No spread on the scale in use: roulette and elitist pick at random.
    for (auto Method : {SM::smRoulette, SM::smElitist}) {
        C.SetSelectionMethod(Method);
        C.Fill({4, 4, 4, 4, 4});
        RandSeed(7);
        const Ints Expected{Random(5), Random(5), Random(5), Random(5)};
        RandSeed(7);
        EXPECT_EQ(C.Picks(4), Expected);
    }
    C.SetFitnessMethod(FM::fmWeightedMaximize); // the weighted scale has a spread
    C.SetOnEvaluateWeightedFitness(
        [](TObject*, TAxIndividual* I, TGAFitness& F) { F = I->Index(); });
    C.Fill({4, 4, 4, 4, 4});
    EXPECT_EQ(C.Picks(2), (Ints{4, 4})); // elitist, limit 0
}

TEST(Selection, TournamentsDrawWithReplacementWhereTiesKeepTheHolder) {
    TIntComponent C;
    C.SetFitnessMethod(FM::fmMaximize);
    C.Fill({1, 4, 2, 5, 4});
    ASSERT_EQ(C.FCumNormFitnesses, (TGAFitnessArray{1.0 / 16, 5.0 / 16, 7.0 / 16, 12.0 / 16, 1}));
    for (auto Method : {SM::smTournament, SM::smStochasticTournament})
        for (int Field : {2, 3}) {
            C.SetSelectionMethod(Method);
            C.SetTournamentField(Field);
            for (std::uint64_t Seed = 1; Seed <= 40; ++Seed) {
                RandSeed(Seed);
                int Winner = Random(5);
                for (int N = 1; N < Field; ++N) {
                    const int Contender = Method == SM::smTournament
                                              ? Random(5)
                                              : FirstAbove(C.FCumNormFitnesses, Random());
                    if (C.Fitnesses[static_cast<std::size_t>(Contender)] >
                        C.Fitnesses[static_cast<std::size_t>(Winner)])
                        Winner = Contender;
                }
                const double Next = Random();
                RandSeed(Seed);
                EXPECT_EQ(C.Pick(), Winner) << GetEnumName(Method) << Field << " " << Seed;
                EXPECT_EQ(Random(), Next); // exactly Field draws
            }
        }
}

TEST(Selection, ElitistCyclesThroughTheBestRanks) {
    TIntComponent C;
    C.SetSelectionMethod(SM::smElitist);
    Doubles Values;
    for (int N = 0; N < 100; ++N)
        Values.push_back(100 - N); // minimizing: index 99 is best
    C.Fill(Values);
    Ints Ranks;
    for (int Pick : C.Picks(12))
        Ranks.push_back(99 - Pick);
    EXPECT_EQ(Ranks, (Ints{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0}));
    C.SetFitnessMethod(FM::fmMaximize); // 25 at 0.1: 2.5 rounds to 2
    C.Fill(Doubles(Values.begin(), Values.begin() + 25));
    EXPECT_EQ(C.Picks(7), (Ints{0, 1, 2, 0, 1, 2, 0}));
    C.SetElitistPct(1); // a rank past the ranking restarts the cycle
    C.Fill({1, 2, 3, 4});
    EXPECT_EQ(C.Picks(9), (Ints{3, 2, 1, 0, 3, 2, 1, 0, 3}));
    C.SetElitistPct(0);
    EXPECT_EQ(C.Picks(3), (Ints{3, 3, 3}));
    C.SetFitnessMethod(FM::fmMinimize); // keys are single precision
    C.Fill({1 + 1e-12, 1, 5});
    EXPECT_EQ(C.Picks(1), (Ints{0}));
    C.SetElitistPct(0.5); // a departure drops the ranking; the next pick ranks again
    C.Fill({3, 1, 2, 4});
    EXPECT_EQ(C.Picks(1), (Ints{1}));
    C.Population()->Delete(1);
    C.FRouletteIndex = -1;
    EXPECT_EQ(C.Picks(1), (Ints{1}));

    // Refilling the previous generation keeps the ranking of the parents.
    RandSeed(3);
    TIntComponent R;
    R.SetSelectionMethod(SM::smElitist);
    R.SetInitialPopulation(6);
    R.Initialize();
    R.Initialize();
    R.SetOnInitializeChild([&](TObject*, TAxIndividual* A, TAxIndividual* B, TAxIndividual*) {
        EXPECT_TRUE(A->Collection() == R.PreviousGeneration() &&
                    B->Collection() == R.PreviousGeneration());
    });
    R.Evolve();
}

TEST(Individual, WithoutComponentReportsZeroStaleFitness) {
    TComponent Plain; // an owner that is no genetic component does not count
    for (TPersistent* Owner :
         {static_cast<TPersistent*>(nullptr), static_cast<TPersistent*>(&Plain)}) {
        TAxPopulation Loose(Owner, ClassOf<TAxIndividual>());
        TAxIndividual* Item = Loose.Add();
        EXPECT_EQ(Loose.Owner(), nullptr);
        EXPECT_EQ(Item->Fitness(), 0.0);
        EXPECT_TRUE(Item->NeedFitness());
        EXPECT_EQ(Item->WeightedFitness() + Item->AdjustedFitness() + Item->NormalizedFitness() +
                      Item->NormalizedWeigthedFitness(),
                  0.0);
        EXPECT_EQ(Item->DisplayName(), "TAxIndividual");
        Item->SetName("Adam");
        EXPECT_EQ(Item->DisplayName(), "Adam");
        EXPECT_THROW(Item->Assign(Loose), EConvertError);
    }
}

TEST(Individual, CachesFitnessUntilModifiedAlsoInCopies) {
    TIntComponent C;
    C.Fitnesses = {4, 1, 1};
    TAxIndividual* Item = C.Population()->Add();
    EXPECT_TRUE(Item->NeedFitness());
    EXPECT_EQ(Item->Fitness() + Item->Fitness(), 8.0);
    EXPECT_EQ(C.Evaluated.size(), 1u);
    Item->SetName(""); // same name: still fresh
    EXPECT_FALSE(Item->NeedFitness());
    Item->SetName("Eve");
    C.Fitnesses[0] = 5;
    EXPECT_EQ(Item->Fitness(), 5.0);
    Item->Modified();
    EXPECT_EQ(Item->Fitness(), 5.0);
    EXPECT_EQ(C.Evaluated.size(), 3u);

    int Weighted = 0;
    EXPECT_EQ(Item->WeightedFitness(), 5.0); // the raw fitness without a handler
    C.SetOnEvaluateWeightedFitness(
        [&](TObject*, TAxIndividual*, TGAFitness& F) { F = 0.5 + ++Weighted; });
    EXPECT_EQ(Item->WeightedFitness() + Item->WeightedFitness(), 4.0); // never cached
    EXPECT_EQ(C.Evaluated.size(), 3u);

    // A stale source is evaluated by the copy's read; a fresh copy is not evaluated again.
    TAxIndividual* Copy = C.Population()->Add();
    Item->Modified();
    Copy->Assign(*Item);
    EXPECT_EQ(C.Evaluated.size(), 4u);
    EXPECT_FALSE(Copy->NeedFitness());
    EXPECT_EQ(Copy->Fitness(), 5.0);
    EXPECT_EQ(Copy->Name(), "Eve");
    TAxIndividual* Twin = Item->Clone();
    EXPECT_EQ(Twin->Index(), 2);
    EXPECT_EQ(Twin->Fitness(), 5.0);
    EXPECT_EQ(C.Evaluated.size(), 4u);
    TAxPopulation Loose(nullptr, ClassOf<TAxIndividual>());
    Copy->Assign(*Loose.Add()); // stale without a component: the copy is stale too
    EXPECT_TRUE(Copy->NeedFitness());

    C.EvaluateFitness(); // fitness 5, 1, 5
    EXPECT_DOUBLE_EQ(Item->AdjustedFitness(), 1.0 / 6.0);
    EXPECT_DOUBLE_EQ(Copy->NormalizedFitness(), 1.0 / 11.0);
    C.SetFitnessMethod(FM::fmMaximize);
    EXPECT_DOUBLE_EQ(Copy->AdjustedFitness(), 1.0 / 5.0);
}

TEST(Population, ReportsChangesToItsComponent) {
    TIntComponent C;
    TAxPopulation* P = C.Population();
    TAxIndividual* A = P->Add();
    TAxIndividual* B = P->Insert(0);
    EXPECT_TRUE(P->Items(0) == B && P->FindItemID(A->ID()) == A);
    C.Notes.clear();
    A->Modified();
    P->BeginUpdate(); // individual changes inside a batch are not reported one by one
    B->SetName("held back");
    P->EndUpdate();
    P->SetItems(0, *A); // copies contents into the object at 0
    EXPECT_TRUE(P->Items(0) == B && B->Name().empty());
    EXPECT_EQ(C.Notes, (Strings{"update:0", "update:all", "update:1"}));
}

TEST(Population, ClearsTheFittestThatLeaves) {
    TIntComponent C;
    TAxPopulation* P = C.Population();
    TAxIndividual* A = P->Add();
    TAxIndividual* B = P->Insert(0);
    C.Fitnesses = {3, 1, 2};
    P->Add();
    A->Modified();
    B->Modified();
    C.EvaluateFitness();
    ASSERT_EQ(C.FittestIndividual(), P->Items(1));
    C.Notes.clear();
    P->Delete(2);
    EXPECT_EQ(C.FittestIndividual(), P->Items(1));
    P->Delete(1);
    EXPECT_EQ(C.Notes, (Strings{"2:2", "1:2", "update:all", "2:0", "1:0", "update:all"}));
    EXPECT_EQ(C.FittestIndividual(), nullptr);
    C.EvaluateFitness();
    auto Taken = P->Extract(0);
    EXPECT_EQ(C.FittestIndividual(), nullptr);
}

} // namespace
} // namespace ax
