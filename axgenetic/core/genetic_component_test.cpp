#include "axgenetic/core/genetic_component.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "axgenetic/core/defaults.hpp"
#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/messages.hpp"
#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/random.hpp"

namespace ax {
namespace {

// An individual whose whole genome is one integer.
class TIntIndividual : public TAxIndividual {
public:
    static constexpr const char* StaticClassName = "TIntIndividual";
    std::string ClassName() const override { return StaticClassName; }
    int Gene() const { return FGene; }
    void SetGene(int Value) {
        FGene = Value;
        Modified();
    }
    void Assign(const TPersistent& Source) override {
        if (const auto* From = dynamic_cast<const TIntIndividual*>(&Source)) FGene = From->FGene;
        TAxIndividual::Assign(Source);
    }

private:
    int FGene = 0;
};

// A component over integer genomes. Its fitness is the gene, or Fitnesses[index] when
// that table is filled; every operator step and evaluation is logged.
class TIntComponent : public TAxCustomGeneticComponent {
public:
    using TAxCustomGeneticComponent::EvaluateFitness;
    using TAxCustomGeneticComponent::FCumNormFitnesses;
    using TAxCustomGeneticComponent::FRouletteIndex;

    TIntComponent() {
        RecreatePopulation();
        SetOnEvaluateFitness([this](TObject*, TAxIndividual* Item, TGAFitness& Fitness) {
            Evaluated.push_back(Item);
            Fitness = Fitnesses.empty() ? static_cast<TIntIndividual*>(Item)->Gene()
                                        : Fitnesses[static_cast<std::size_t>(Item->Index())];
        });
    }
    TIntIndividual* Item(int Index) const {
        return static_cast<TIntIndividual*>(Population()->Items(Index));
    }
    // Population of Count individuals with the given fitness table, evaluated.
    void Fill(const std::vector<double>& Values) {
        Fitnesses = Values;
        Population()->Clear();
        for (std::size_t I = 0; I < Values.size(); ++I)
            Population()->Add();
        EvaluateFitness();
    }
    std::vector<int> Genes(const TAxPopulation* P) const {
        std::vector<int> Result;
        for (int I = 0; I < P->Count(); ++I)
            Result.push_back(static_cast<TIntIndividual*>(P->Items(I))->Gene());
        return Result;
    }
    TAxIndividual* Pick() {
        TAxIndividual* Parent = nullptr;
        OnSelection()(this, Population(), Parent);
        return Parent;
    }

    std::vector<double> Fitnesses;
    std::vector<TAxIndividual*> Evaluated;
    std::vector<std::string> Log;
    std::vector<int> Steps;
    int Tournaments = 0;

    void SelectTournament(TObject* Sender, TAxPopulation* P, TAxIndividual*& Parent) override {
        ++Tournaments;
        TAxCustomGeneticComponent::SelectTournament(Sender, P, Parent);
    }

protected:
    std::unique_ptr<TAxPopulation> CreatePopulation(TAxIndividualClass) override {
        return std::make_unique<TAxPopulation>(this, ClassOf<TIntIndividual>());
    }
    int DoInitialize() override {
        for (int I = 0; I < Population()->Count(); ++I)
            Item(I)->SetGene(Random(1000));
        return Population()->Count();
    }
    bool DoCrossover(TAxIndividual* P1, TAxIndividual* P2, TAxIndividual* C1,
                     TAxIndividual* C2) override {
        Log.push_back(C2 ? "DoCrossover2" : "DoCrossover1");
        const int G1 = static_cast<TIntIndividual*>(P1)->Gene(),
                  G2 = static_cast<TIntIndividual*>(P2)->Gene();
        static_cast<TIntIndividual*>(C1)->SetGene(G1 + G2);
        if (C2) static_cast<TIntIndividual*>(C2)->SetGene(G2 - G1);
        return true;
    }
    bool DoMutate(TAxIndividual* Item) override {
        Log.push_back("DoMutate");
        auto* I = static_cast<TIntIndividual*>(Item);
        I->SetGene(I->Gene() + 1);
        return true;
    }
    bool DoInvert(TAxIndividual* Item) override {
        Log.push_back("DoInvert");
        auto* I = static_cast<TIntIndividual*>(Item);
        I->SetGene(-I->Gene());
        return true;
    }
    void DoEvolveOneStep(int Index) override {
        Steps.push_back(Index);
        TAxCustomGeneticComponent::DoEvolveOneStep(Index);
    }
};

std::string Name(TAxIndividual* I) {
    return std::to_string(I->Index());
}

// --- settings -----------------------------------------------------------------------

TEST(GeneticComponent, StartsWithItsInitialSettings) {
    TIntComponent C;
    EXPECT_EQ(C.CrossoverProbability(), 0.98);
    EXPECT_EQ(C.MutationProbability(), 0.01);
    EXPECT_EQ(C.InversionProbability(), 0.1);
    EXPECT_EQ(C.ElitistPct(), 0.1);
    EXPECT_EQ(C.DiversityLimit(), 0.02);
    EXPECT_EQ(C.FitnessCutoff(), 1.0);
    EXPECT_FALSE(C.UseFitnessCutoff());
    EXPECT_FALSE(C.UseDiversityLimit());
    EXPECT_FALSE(C.UseGenerationLimit());
    EXPECT_EQ(C.GenerationLimit(), 0);
    EXPECT_EQ(C.Generation(), 0);
    EXPECT_EQ(C.InitialPopulation(), 100);
    EXPECT_EQ(C.InitialDuplicatesRetries(), 10);
    EXPECT_EQ(C.TournamentField(), 2);
    EXPECT_EQ(C.FitnessMethod(), TGAFitnessMethod::fmMinimize);
    EXPECT_EQ(C.Operations().Bits(), 7);
    EXPECT_EQ(C.SelectionMethod(), TGASelectionMethod::smStochasticTournament);
    EXPECT_TRUE(static_cast<bool>(C.OnSelection()));
    EXPECT_FALSE(C.Halt());
    EXPECT_FALSE(C.Initialized());
    EXPECT_EQ(C.FittestIndividual(), nullptr);
    EXPECT_EQ(C.PreviousGeneration(), nullptr);
    EXPECT_EQ(C.Population()->Count(), 0);
    EXPECT_EQ(C.Population()->ItemClass(), ClassOf<TIntIndividual>());
    EXPECT_EQ(C.MaxFitness(), 0.0);
    EXPECT_EQ(C.MinWeightedFitness(), 0.0);

    TAxCustomGeneticComponent Base;
    EXPECT_EQ(Base.Population()->ItemClass(), ClassOf<TAxIndividual>());
    EXPECT_EQ(Base.Population()->Owner(), &Base);
}

TEST(GeneticComponent, SettersClampIntoRange) {
    TIntComponent C;
    using Setter = void (TAxCustomGeneticComponent::*)(TGAProbability);
    using Getter = TGAProbability (TAxCustomGeneticComponent::*)() const;
    const std::pair<Setter, Getter> Probabilities[] = {
        {&TAxCustomGeneticComponent::SetCrossoverProbability,
         &TAxCustomGeneticComponent::CrossoverProbability},
        {&TAxCustomGeneticComponent::SetMutationProbability,
         &TAxCustomGeneticComponent::MutationProbability},
        {&TAxCustomGeneticComponent::SetInversionProbability,
         &TAxCustomGeneticComponent::InversionProbability},
        {&TAxCustomGeneticComponent::SetElitistPct, &TAxCustomGeneticComponent::ElitistPct},
        {&TAxCustomGeneticComponent::SetDiversityLimit,
         &TAxCustomGeneticComponent::DiversityLimit}};
    for (auto [Set, Get] : Probabilities) {
        (C.*Set)(1.5);
        EXPECT_EQ((C.*Get)(), 1.0);
        (C.*Set)(-0.2);
        EXPECT_EQ((C.*Get)(), 0.0);
        (C.*Set)(0.25);
        EXPECT_EQ((C.*Get)(), 0.25);
    }

    C.SetGenerationLimit(0); // the current value: nothing happens
    EXPECT_EQ(C.GenerationLimit(), 0);
    C.SetGenerationLimit(-3);
    EXPECT_EQ(C.GenerationLimit(), 1);
    C.SetGenerationLimit(0);
    EXPECT_EQ(C.GenerationLimit(), 1);
    C.SetGenerationLimit(40);
    EXPECT_EQ(C.GenerationLimit(), 40);

    C.SetInitialPopulation(-5);
    EXPECT_EQ(C.InitialPopulation(), 0);
    C.SetInitialPopulation(7);
    EXPECT_EQ(C.InitialPopulation(), 7);
    C.SetInitialDuplicatesRetries(-1);
    EXPECT_EQ(C.InitialDuplicatesRetries(), 0);
    C.SetInitialDuplicatesRetries(3);
    EXPECT_EQ(C.InitialDuplicatesRetries(), 3);
    C.SetTournamentField(1);
    EXPECT_EQ(C.TournamentField(), 2);
    C.SetTournamentField(-9);
    EXPECT_EQ(C.TournamentField(), 2);
    C.SetTournamentField(5);
    EXPECT_EQ(C.TournamentField(), 5);

    // Plain values are stored unchanged.
    C.SetFitnessCutoff(-12.5);
    EXPECT_EQ(C.FitnessCutoff(), -12.5);
    C.SetGeneration(-4);
    EXPECT_EQ(C.Generation(), -4);
}

TEST(GeneticComponent, SelectionMethodAndOnSelectionAreOneMechanism) {
    TIntComponent C;
    C.SetSelectionMethod(TGASelectionMethod::smCustom);
    EXPECT_FALSE(static_cast<bool>(C.OnSelection()));
    EXPECT_THROW(C.SelectParent(C.Population()), EGAException);
    try {
        C.SelectParent(C.Population());
    } catch (const EGAException& E) {
        EXPECT_EQ(E.Message(), SNoSelectionFunction);
    }

    int Calls = 0;
    C.SetSelectionMethod(TGASelectionMethod::smRandom);
    C.SetOnSelection([&](TObject* Sender, TAxPopulation* P, TAxIndividual*& Parent) {
        EXPECT_EQ(Sender, &C);
        EXPECT_EQ(Parent, nullptr);
        ++Calls;
        Parent = P->Items(0);
    });
    EXPECT_EQ(C.SelectionMethod(), TGASelectionMethod::smCustom);
    C.Fill({1, 2});
    EXPECT_EQ(C.SelectParent(C.Population()), C.Population()->Items(0));
    EXPECT_EQ(Calls, 1);

    // An empty handler installs roulette: minimizing 1 and 2 gives the second no share.
    C.SetOnSelection(nullptr);
    EXPECT_EQ(C.SelectionMethod(), TGASelectionMethod::smRoulette);
    ASSERT_TRUE(static_cast<bool>(C.OnSelection()));
    RandSeed(1);
    for (int I = 0; I < 50; ++I)
        EXPECT_EQ(C.SelectParent(C.Population()), C.Population()->Items(0));
    EXPECT_EQ(Calls, 1);
    C.SetOnSelection(nullptr);
    EXPECT_EQ(C.SelectionMethod(), TGASelectionMethod::smRoulette);
    EXPECT_TRUE(static_cast<bool>(C.OnSelection()));

    // Built-in handlers reach the overrides of the actual class.
    C.SetSelectionMethod(TGASelectionMethod::smTournament);
    C.SelectParent(C.Population());
    C.SelectParent(C.Population());
    EXPECT_EQ(C.Tournaments, 2);
}

// --- the loop -----------------------------------------------------------------------

TEST(GeneticComponent, InitializeFillsRandomizesEvaluatesAndCopies) {
    RandSeed(11);
    TIntComponent C;
    C.SetInitialPopulation(5);
    C.SetGeneration(9);
    C.Initialize();
    EXPECT_TRUE(C.Initialized());
    EXPECT_EQ(C.Generation(), 0);
    ASSERT_EQ(C.Population()->Count(), 5);
    RandSeed(11);
    std::vector<int> Expected;
    for (int I = 0; I < 5; ++I)
        Expected.push_back(Random(1000));
    EXPECT_EQ(C.Genes(C.Population()), Expected);
    // One evaluation per individual, in population order.
    ASSERT_EQ(C.Evaluated.size(), 5u);
    for (int I = 0; I < 5; ++I)
        EXPECT_EQ(C.Evaluated[static_cast<std::size_t>(I)], C.Item(I));
    ASSERT_NE(C.PreviousGeneration(), nullptr);
    EXPECT_EQ(C.Genes(C.PreviousGeneration()), Expected);
    EXPECT_EQ(C.PreviousGeneration()->ItemClass(), ClassOf<TIntIndividual>());
    EXPECT_FALSE(C.PreviousGeneration()->Items(0)->NeedFitness());
    EXPECT_EQ(C.Evaluated.size(), 5u);

    // Surplus individuals stay; a handler that reports initialization skips DoInitialize.
    TIntComponent Big;
    for (int I = 0; I < 150; ++I)
        Big.Population()->Add();
    bool Asked = false;
    Big.SetOnInitialization([&](TObject* Sender, bool& Initialized) {
        EXPECT_EQ(Sender, &Big);
        EXPECT_FALSE(Initialized);
        EXPECT_EQ(Big.Population()->Count(), 150);
        Asked = true;
        Initialized = true;
    });
    Big.Initialize();
    EXPECT_TRUE(Asked);
    EXPECT_EQ(Big.Population()->Count(), 150);
    EXPECT_EQ(Big.Item(149)->Gene(), 0);

    // Without a fitness handler everyone is fresh at 0 and is not evaluated again later.
    TIntComponent Blind;
    Blind.SetOnEvaluateFitness(nullptr);
    Blind.SetInitialPopulation(3);
    Blind.Initialize();
    EXPECT_FALSE(Blind.Item(0)->NeedFitness());
    int Late = 0;
    Blind.SetOnEvaluateFitness([&](TObject*, TAxIndividual*, TGAFitness& F) { F = ++Late; });
    EXPECT_EQ(Blind.Item(0)->Fitness(), 0.0);
    EXPECT_EQ(Late, 0);
}

TEST(GeneticComponent, AGenerationEvaluatesExactlyTheChangedChildren) {
    RandSeed(3);
    TIntComponent C;
    C.SetInitialPopulation(6);
    C.SetOperations({});
    C.Initialize();
    C.Evaluated.clear();
    C.Evolve();
    EXPECT_EQ(C.Generation(), 1);
    EXPECT_TRUE(C.Evaluated.empty()); // exact copies of fresh parents

    C.SetOperations({TGAGeneticOperation::goMutate});
    C.SetMutationProbability(1.0);
    C.Evolve();
    ASSERT_EQ(C.Evaluated.size(), 6u);
    for (int I = 0; I < 6; ++I)
        EXPECT_EQ(C.Evaluated[static_cast<std::size_t>(I)], C.Item(I));
    EXPECT_EQ(C.Population()->UpdateCount(), 0);
}

TEST(GeneticComponent, AnOddPopulationBreedsPairsThenOneChild) {
    RandSeed(5);
    TIntComponent C;
    C.SetInitialPopulation(5);
    C.Initialize();
    int Selections = 0;
    C.SetOnSelection([&](TObject* S, TAxPopulation* P, TAxIndividual*& Parent) {
        EXPECT_EQ(P, C.PreviousGeneration());
        ++Selections;
        C.SelectRandom(S, P, Parent);
    });
    std::vector<std::string> Reproduced;
    C.SetOnReproduction(
        [&](TObject*, TAxIndividual* Child, bool&) { Reproduced.push_back(Name(Child)); });
    C.SetCrossoverProbability(1.0);
    C.Evolve();
    EXPECT_EQ(C.Steps, (std::vector<int>{0, 2, 4}));
    EXPECT_EQ(Selections, 6);
    EXPECT_EQ(Reproduced, (std::vector<std::string>{"0", "1", "2", "3", "4"}));
    EXPECT_EQ(std::count(C.Log.begin(), C.Log.end(), "DoCrossover2"), 2);
    EXPECT_EQ(std::count(C.Log.begin(), C.Log.end(), "DoCrossover1"), 1);

    C.Steps.clear();
    C.DoParallelEvolveOneStep(1);
    EXPECT_EQ(C.Steps, (std::vector<int>{2}));
}

TEST(GeneticComponent, ReproductionMakesEveryCallInOrderWithOneDrawEach) {
    TIntComponent C;
    for (int I = 0; I < 4; ++I)
        C.Population()->Add()->SetName("");
    TIntIndividual *P1 = C.Item(0), *P2 = C.Item(1), *C1 = C.Item(2), *C2 = C.Item(3);
    P1->SetGene(10);
    P2->SetGene(3);
    C.SetCrossoverProbability(1.0);
    C.SetMutationProbability(1.0);
    C.SetInversionProbability(1.0);
    auto& Log = C.Log;
    C.SetOnInitializeChild([&](TObject*, TAxIndividual* A, TAxIndividual* B, TAxIndividual* Child) {
        EXPECT_EQ(A, P1);
        EXPECT_EQ(B, P2);
        EXPECT_EQ(static_cast<TIntIndividual*>(Child)->Gene(), 10);
        Log.push_back("OnInitializeChild " + Name(Child));
    });
    C.SetOnCrossover([&](TObject*, TAxIndividual*, TAxIndividual*, TAxIndividual* Child, bool& Do) {
        EXPECT_TRUE(Do);
        Log.push_back("OnCrossover " + Name(Child));
    });
    C.SetOnMutation(
        [&](TObject*, TAxIndividual* Item, bool&) { Log.push_back("OnMutation " + Name(Item)); });
    C.SetOnInversion(
        [&](TObject*, TAxIndividual* Item, bool&) { Log.push_back("OnInversion " + Name(Item)); });
    C.SetOnReproduction([&](TObject*, TAxIndividual* Item, bool& Changed) {
        EXPECT_TRUE(Changed);
        Log.push_back("OnReproduction " + Name(Item));
    });
    EXPECT_TRUE(C.Reproduce(P1, P2, C1, C2));
    EXPECT_EQ(Log, (std::vector<std::string>{"OnInitializeChild 2", "OnInitializeChild 3",
                                             "OnCrossover 2", "DoCrossover2", "OnMutation 2",
                                             "DoMutate", "OnMutation 3", "DoMutate",
                                             "OnInversion 2", "DoInvert", "OnInversion 3",
                                             "DoInvert", "OnReproduction 2", "OnReproduction 3"}));
    EXPECT_EQ(C1->Gene(), -14); // 10 + 3, mutated, inverted
    EXPECT_EQ(C2->Gene(), 6);   // 3 - 10, mutated, inverted

    // With every probability 0: five draws, nothing changes, and every call still happens.
    C.SetCrossoverProbability(0.0);
    C.SetMutationProbability(0.0);
    C.SetInversionProbability(0.0);
    Log.clear();
    C.SetOnReproduction([&](TObject*, TAxIndividual*, bool& Changed) { EXPECT_FALSE(Changed); });
    RandSeed(21);
    EXPECT_FALSE(C.Reproduce(P1, P2, C1, C2));
    const double Next = Random();
    RandSeed(21);
    for (int I = 0; I < 5; ++I)
        Random();
    EXPECT_EQ(Next, Random());
    EXPECT_EQ(Log, (std::vector<std::string>{"OnInitializeChild 2", "OnInitializeChild 3"}));
    EXPECT_EQ(C1->Gene(), 10);

    // The one-child form draws three times.
    RandSeed(21);
    EXPECT_FALSE(C.Reproduce(P1, P2, C1));
    const double AfterOne = Random();
    RandSeed(21);
    for (int I = 0; I < 3; ++I)
        Random();
    EXPECT_EQ(AfterOne, Random());

    // No operations: no draws, exact copies of the first parent, false unless the
    // reproduction handler says otherwise.
    C.SetOperations({});
    C2->SetGene(77);
    RandSeed(21);
    EXPECT_FALSE(C.Reproduce(P1, P2, C1, C2));
    const double NoDraw = Random();
    RandSeed(21);
    EXPECT_EQ(NoDraw, Random());
    EXPECT_EQ(C2->Gene(), 10);
    C.SetOnReproduction([&](TObject*, TAxIndividual*, bool& Changed) { Changed = !Changed; });
    EXPECT_FALSE(C.Reproduce(P1, P2, C1, C2)); // flipped twice
    EXPECT_TRUE(C.Reproduce(P1, P2, C1));
}

TEST(GeneticComponent, HandlersVetoTheOperators) {
    TIntComponent C;
    for (int I = 0; I < 3; ++I)
        C.Population()->Add();
    TIntIndividual *P1 = C.Item(0), *P2 = C.Item(1), *Child = C.Item(2);
    P1->SetGene(4);
    P2->SetGene(5);
    C.SetCrossoverProbability(1.0);
    C.SetMutationProbability(1.0);
    C.SetInversionProbability(1.0);
    C.SetOnCrossover(
        [](TObject*, TAxIndividual*, TAxIndividual*, TAxIndividual*, bool& Do) { Do = false; });
    C.SetOnMutation([](TObject*, TAxIndividual*, bool& Do) { Do = false; });
    C.SetOnInversion([](TObject*, TAxIndividual*, bool& Do) { Do = false; });
    EXPECT_FALSE(C.Reproduce(P1, P2, Child));
    EXPECT_TRUE(C.Log.empty());
    EXPECT_EQ(Child->Gene(), 4);
    EXPECT_FALSE(C.Crossover(P1, P2, Child));
    EXPECT_FALSE(C.Mutate(Child));
    EXPECT_FALSE(C.Invert(Child));
    C.SetOnMutation(nullptr);
    EXPECT_TRUE(C.Mutate(Child));
    EXPECT_EQ(Child->Gene(), 5);

    // The base component's operators change nothing.
    TAxCustomGeneticComponent Base;
    Base.SetCrossoverProbability(1.0);
    Base.SetMutationProbability(1.0);
    Base.SetInversionProbability(1.0);
    TAxIndividual* A = Base.Population()->Add();
    TAxIndividual* B = Base.Population()->Add();
    EXPECT_FALSE(Base.Reproduce(A, A, B));
    EXPECT_FALSE(Base.Crossover(A, A, B, A));
}

TEST(GeneticComponent, EvolveRefusesToBreedWithoutHandlers) {
    TIntComponent C;
    C.SetInitialPopulation(4);
    C.SetOnEvaluateFitness(nullptr);
    try {
        C.Evolve();
        FAIL() << "no exception";
    } catch (const EGAException& E) {
        EXPECT_EQ(E.Message(), SNoFitnessFunction);
    }
    EXPECT_TRUE(C.Initialized()); // initialization ran first
    EXPECT_EQ(C.Generation(), 0);

    C.SetOnEvaluateFitness([](TObject*, TAxIndividual*, TGAFitness& F) { F = 1; });
    C.SetSelectionMethod(TGASelectionMethod::smCustom);
    try {
        C.Evolve();
        FAIL() << "no exception";
    } catch (const EGAException& E) {
        EXPECT_EQ(E.Message(), SNoSelectionFunction);
    }

    // A handler that leaves no parent: the pair is not touched and the batch is closed.
    RandSeed(8);
    TIntComponent D;
    D.SetInitialPopulation(4);
    D.Initialize();
    const std::vector<int> Before = D.Genes(D.Population());
    int Calls = 0;
    D.SetOnSelection([&](TObject*, TAxPopulation* P, TAxIndividual*& Parent) {
        if (++Calls != 4) Parent = P->Items(0);
    });
    try {
        D.Evolve();
        FAIL() << "no exception";
    } catch (const EGAException& E) {
        EXPECT_EQ(E.Message(), SNoParentSelected);
    }
    EXPECT_EQ(D.Generation(), 0);
    EXPECT_EQ(D.Population()->UpdateCount(), 0);
    // Children 0 and 1 were bred from individual 0; children 2 and 3 are untouched.
    const std::vector<int> After = D.Genes(D.Population());
    EXPECT_EQ(After[2], Before[2]);
    EXPECT_EQ(After[3], Before[3]);
}

TEST(GeneticComponent, EvolveStopsOnLimitsAndHalt) {
    RandSeed(2);
    TIntComponent C;
    C.SetInitialPopulation(6);
    int Evolved = 0;
    C.SetOnEvolve([&](TObject* Sender) {
        EXPECT_EQ(Sender, &C);
        ++Evolved;
    });
    EXPECT_EQ(C.Evolve(0), 0);
    EXPECT_EQ(C.Evolve(-2), 0);
    EXPECT_EQ(Evolved, 0);

    C.SetUseGenerationLimit(true);
    C.SetGenerationLimit(3);
    EXPECT_EQ(C.Evolve(10), 3);
    EXPECT_EQ(Evolved, 3);
    EXPECT_EQ(C.Generation(), 3);
    // Finished: Evolve changes nothing but still reports.
    TAxPopulation* Current = C.Population();
    C.Evolve();
    EXPECT_EQ(Evolved, 4);
    EXPECT_EQ(C.Generation(), 3);
    EXPECT_EQ(C.Population(), Current);

    // A fresh component with only the flag set is finished at once (limit 0).
    TIntComponent Fresh;
    Fresh.SetInitialPopulation(4);
    Fresh.SetUseGenerationLimit(true);
    EXPECT_EQ(Fresh.Evolve(5), 0);
    EXPECT_TRUE(Fresh.Initialized());

    TIntComponent H;
    H.SetInitialPopulation(4);
    H.SetHalt(true);
    H.SetOnEvolve([&](TObject*) { H.SetHalt(true); });
    EXPECT_EQ(H.Evolve(5), 1);
    H.SetOnEvolve(nullptr);
    EXPECT_EQ(H.Evolve(3), 3); // Halt is reset at the start
}

TEST(GeneticComponent, IsFinishedChecksCutoffDiversityAndGeneration) {
    TIntComponent C;
    C.Fill({4, 2, 6});
    EXPECT_FALSE(C.IsFinished());
    C.SetUseFitnessCutoff(true);
    C.SetFitnessCutoff(2);
    EXPECT_TRUE(C.IsFinished()); // minimizing: best 2 <= 2
    C.SetFitnessCutoff(1.5);
    EXPECT_FALSE(C.IsFinished());
    C.SetFitnessMethod(TGAFitnessMethod::fmWeightedMaximize);
    C.EvaluateFitness(); // fittest is now 6
    C.SetFitnessCutoff(6);
    EXPECT_TRUE(C.IsFinished());
    C.SetFitnessCutoff(6.5);
    EXPECT_FALSE(C.IsFinished());
    // The raw fitness decides even when a weighted handler disagrees.
    C.SetOnEvaluateWeightedFitness([](TObject*, TAxIndividual*, TGAFitness& F) { F = 100; });
    EXPECT_FALSE(C.IsFinished());
    C.SetUseFitnessCutoff(false);

    // Diversity = average 4 / max 6.
    C.SetUseDiversityLimit(true);
    C.SetDiversityLimit(0.66);
    EXPECT_FALSE(C.IsFinished());
    C.SetDiversityLimit(0.67);
    EXPECT_TRUE(C.IsFinished());
    C.SetUseDiversityLimit(false);

    C.SetUseGenerationLimit(true);
    C.SetGenerationLimit(5);
    C.SetGeneration(4);
    EXPECT_FALSE(C.IsFinished());
    C.SetGeneration(5);
    EXPECT_TRUE(C.IsFinished());

    // No fittest individual: the cutoff rule does not apply.
    TIntComponent Empty;
    Empty.SetUseFitnessCutoff(true);
    Empty.SetFitnessCutoff(1e9);
    EXPECT_FALSE(Empty.IsFinished());
}

TEST(GeneticComponent, SeededRunsRepeat) {
    auto Run = [] {
        RandSeed(99);
        TIntComponent C;
        C.SetInitialPopulation(9);
        C.SetMutationProbability(0.3);
        C.Evolve(6);
        return C.Genes(C.Population());
    };
    const std::vector<int> First = Run();
    EXPECT_EQ(First, Run());
}

TEST(GeneticComponent, AssignCopiesSettingsStatisticsAndPopulations) {
    RandSeed(4);
    TIntComponent Source;
    Source.SetInitialPopulation(5);
    Source.SetCrossoverProbability(0.5);
    Source.SetMutationProbability(0.2);
    Source.SetInversionProbability(0.3);
    Source.SetElitistPct(0.4);
    Source.SetDiversityLimit(0.05);
    Source.SetFitnessCutoff(3.5);
    Source.SetFitnessMethod(TGAFitnessMethod::fmMaximize);
    Source.SetGenerationLimit(20);
    Source.SetTournamentField(4);
    Source.SetUseFitnessCutoff(true);
    Source.SetUseDiversityLimit(true);
    Source.SetUseGenerationLimit(true);
    Source.SetInitialDuplicatesRetries(2);
    Source.SetOperations({TGAGeneticOperation::goMutate});
    Source.SetSelectionMethod(TGASelectionMethod::smElitist);
    Source.SetFitnessCutoff(1e9);
    Source.Evolve(2);
    ASSERT_EQ(Source.Generation(), 2);

    TIntComponent Target;
    Target.Assign(Source);
    EXPECT_EQ(Target.Generation(), 2);
    EXPECT_EQ(Target.CrossoverProbability(), 0.5);
    EXPECT_EQ(Target.MutationProbability(), 0.2);
    EXPECT_EQ(Target.InversionProbability(), 0.3);
    EXPECT_EQ(Target.ElitistPct(), 0.4);
    EXPECT_EQ(Target.DiversityLimit(), 0.05);
    EXPECT_EQ(Target.FitnessCutoff(), 1e9);
    EXPECT_EQ(Target.FitnessMethod(), TGAFitnessMethod::fmMaximize);
    EXPECT_EQ(Target.GenerationLimit(), 20);
    EXPECT_EQ(Target.TournamentField(), 4);
    EXPECT_TRUE(Target.UseFitnessCutoff() && Target.UseDiversityLimit() &&
                Target.UseGenerationLimit());
    EXPECT_EQ(Target.InitialDuplicatesRetries(), 2);
    EXPECT_TRUE(Target.Initialized());
    EXPECT_EQ(Target.SelectionMethod(), TGASelectionMethod::smElitist);
    EXPECT_EQ(Target.MaxFitness(), Source.MaxFitness());
    EXPECT_EQ(Target.MinFitness(), Source.MinFitness());
    EXPECT_EQ(Target.AvgFitness(), Source.AvgFitness());
    EXPECT_EQ(Target.MaxWeightedFitness(), Source.MaxWeightedFitness());
    EXPECT_EQ(Target.AvgWeightedFitness(), Source.AvgWeightedFitness());
    // Not copied:
    EXPECT_EQ(Target.InitialPopulation(), 100);
    EXPECT_EQ(Target.Operations().Bits(), 7);

    const std::vector<int> Genes = Source.Genes(Source.Population());
    EXPECT_EQ(Target.Genes(Target.Population()), Genes);
    ASSERT_NE(Target.PreviousGeneration(), nullptr);
    EXPECT_EQ(Target.Genes(Target.PreviousGeneration()), Source.Genes(Source.PreviousGeneration()));
    EXPECT_EQ(Target.Population()->Items(0)->Fitness(), Source.Population()->Items(0)->Fitness());

    // The fittest is the copy at the same index, never the source's own.
    ASSERT_NE(Target.FittestIndividual(), nullptr);
    EXPECT_EQ(Target.FittestIndividual()->Collection(), Target.Population());
    EXPECT_EQ(Target.FittestIndividual()->Index(), Source.FittestIndividual()->Index());

    // Independent afterwards.
    Source.Item(0)->SetGene(-500);
    Source.Population()->Delete(1);
    EXPECT_EQ(Target.Item(0)->Gene(), Genes[0]);
    EXPECT_EQ(Target.Population()->Count(), 5);

    // A custom source leaves the copy without a handler; no previous generation there
    // means none here.
    TIntComponent Custom;
    Custom.SetOnSelection(
        [](TObject*, TAxPopulation* P, TAxIndividual*& Parent) { Parent = P->Items(0); });
    Target.Assign(Custom);
    EXPECT_EQ(Target.SelectionMethod(), TGASelectionMethod::smCustom);
    EXPECT_FALSE(static_cast<bool>(Target.OnSelection()));
    EXPECT_EQ(Target.PreviousGeneration(), nullptr);
    EXPECT_EQ(Target.Population()->Count(), 0);
    EXPECT_EQ(Target.FittestIndividual(), nullptr);

    TAxPopulation NotAComponent(nullptr, ClassOf<TAxIndividual>());
    EXPECT_THROW(Target.Assign(NotAComponent), EConvertError);
}

TEST(GeneticComponent, PopulationPropertiesCopyContents) {
    TIntComponent C;
    TIntComponent Other;
    for (int I = 0; I < 3; ++I)
        static_cast<TIntIndividual*>(Other.Population()->Add())->SetGene(I + 1);
    TAxPopulation* Own = C.Population();
    C.SetPopulation(Other.Population());
    EXPECT_EQ(C.Population(), Own);
    EXPECT_EQ(C.Genes(Own), (std::vector<int>{1, 2, 3}));
    C.SetPreviousGeneration(Other.Population());
    ASSERT_NE(C.PreviousGeneration(), nullptr);
    EXPECT_EQ(C.PreviousGeneration()->Owner(), &C);
    EXPECT_EQ(C.Genes(C.PreviousGeneration()), (std::vector<int>{1, 2, 3}));
    TAxPopulation* Previous = C.PreviousGeneration();
    C.SwapGenerations();
    EXPECT_EQ(C.Population(), Previous);
    EXPECT_EQ(C.PreviousGeneration(), Own);
}

// --- statistics ---------------------------------------------------------------------

TEST(FitnessStatistics, SummarizeThePopulation) {
    TIntComponent C;
    C.Fill({3, 1, 4, 1, 5});
    EXPECT_EQ(C.FittestIndividual(), C.Population()->Items(1)); // earliest of the ties
    EXPECT_EQ(C.MinFitness(), 1.0);
    EXPECT_EQ(C.MaxFitness(), 5.0);
    EXPECT_DOUBLE_EQ(C.AvgFitness(), 2.8);
    EXPECT_DOUBLE_EQ(C.Diversity(), 2.8 / 5.0);
    EXPECT_EQ(C.MinWeightedFitness(), 1.0);
    EXPECT_EQ(C.MaxWeightedFitness(), 5.0);
    EXPECT_DOUBLE_EQ(C.AvgWeightedFitness(), 2.8);
    EXPECT_EQ(C.Evaluated.size(), 5u);

    C.SetOnEvaluateWeightedFitness(
        [](TObject*, TAxIndividual* I, TGAFitness& F) { F = -10.0 * I->Fitness(); });
    C.SetFitnessMethod(TGAFitnessMethod::fmMaximize);
    C.EvaluateFitness();
    EXPECT_EQ(C.FittestIndividual(), C.Population()->Items(4));
    EXPECT_EQ(C.MinWeightedFitness(), -50.0);
    EXPECT_EQ(C.MaxWeightedFitness(), -10.0);
    EXPECT_DOUBLE_EQ(C.AvgWeightedFitness(), -28.0);
    // The fittest is judged on raw fitness also under a weighted method.
    C.SetFitnessMethod(TGAFitnessMethod::fmWeightedMinimize);
    C.EvaluateFitness();
    EXPECT_EQ(C.FittestIndividual(), C.Population()->Items(1));
    EXPECT_EQ(C.Evaluated.size(), 5u); // raw fitness read from the cache

    // An empty population zeroes the statistics.
    TIntComponent Empty;
    Empty.Fill({2, 8});
    Empty.Population()->Clear();
    Empty.EvaluateFitness();
    EXPECT_EQ(Empty.MaxFitness(), 0.0);
    EXPECT_EQ(Empty.MinWeightedFitness(), 0.0);
    EXPECT_EQ(Empty.AvgFitness(), 0.0);
    EXPECT_EQ(Empty.AvgWeightedFitness(), 0.0);
    EXPECT_TRUE(std::isinf(Empty.Diversity()));
}

TEST(FitnessStatistics, CompareFittestAndUnfit) {
    TIntComponent C;
    C.Fill({1, 2, 1});
    TAxIndividual *A = C.Population()->Items(0), *B = C.Population()->Items(1),
                  *A2 = C.Population()->Items(2);
    EXPECT_EQ(C.CompareFitness(A, B, true), -1);
    EXPECT_EQ(C.CompareFitness(B, A, false), 1);
    EXPECT_EQ(C.CompareFitness(A, A2, true), 0);
    EXPECT_EQ(C.Fittest(A, A2, true), A);
    EXPECT_EQ(C.Fittest(A2, A, true), A2);
    EXPECT_EQ(C.UnfitFitness(), 3.4028234663852886e+38);
    C.SetFitnessMethod(TGAFitnessMethod::fmMaximize);
    EXPECT_EQ(C.Fittest(A, B, true), B);
    EXPECT_EQ(C.CompareFitness(A, B, false), 1);
    EXPECT_EQ(C.UnfitFitness(), 1.401298464324817e-45);
    C.SetFitnessMethod(TGAFitnessMethod::fmWeightedMaximize);
    EXPECT_EQ(C.UnfitFitness(), 1.401298464324817e-45);
    C.SetFitnessMethod(TGAFitnessMethod::fmWeightedMinimize);
    EXPECT_EQ(C.UnfitFitness(), 3.4028234663852886e+38);

    // Without pure fitness the weighted scale decides under the weighted methods.
    C.SetOnEvaluateWeightedFitness(
        [](TObject*, TAxIndividual* I, TGAFitness& F) { F = -I->Fitness(); });
    EXPECT_EQ(C.CompareFitness(A, B, false), 1);
    EXPECT_EQ(C.CompareFitness(A, B, true), -1);
    C.SetFitnessMethod(TGAFitnessMethod::fmWeightedMaximize);
    EXPECT_EQ(C.CompareFitness(A, B, false), -1);
    EXPECT_EQ(C.CompareFitness(A, B, true), 1);

    EXPECT_EQ(C.GetNormalizedFitness(2), 0.5);
    C.Fill({0, 0});
    EXPECT_EQ(C.GetNormalizedFitness(2), 0.0);
    EXPECT_EQ(C.GetNormalizedWeightedFitness(2), 0.0);
}

// --- selection tables and methods ---------------------------------------------------

// The index the roulette must choose for draw R: the first entry above it, else the last.
int FirstAbove(const TGAFitnessArray& Table, double R) {
    for (std::size_t I = 0; I < Table.size(); ++I)
        if (Table[I] > R) return static_cast<int>(I);
    return static_cast<int>(Table.size()) - 1;
}

TEST(Selection, RouletteTablesForEveryFitnessMethod) {
    TIntComponent C;
    C.SetSelectionMethod(TGASelectionMethod::smRoulette);
    C.Fill({1, 2, 3});
    EXPECT_EQ(C.FCumNormFitnesses, (TGAFitnessArray{2.0 / 3.0, 1.0, 1.0}));

    C.SetFitnessMethod(TGAFitnessMethod::fmMaximize);
    C.Fill({1, 1, 2});
    EXPECT_EQ(C.FCumNormFitnesses, (TGAFitnessArray{0.25, 0.5, 1.0}));

    // Equal values: equal shares.
    C.SetFitnessMethod(TGAFitnessMethod::fmMinimize);
    C.Fill({7, 7, 7, 7});
    EXPECT_EQ(C.FCumNormFitnesses, (TGAFitnessArray{0.25, 0.5, 0.75, 1.0}));

    C.SetOnEvaluateWeightedFitness(
        [](TObject*, TAxIndividual* I, TGAFitness& F) { F = 10.0 - I->Fitness(); });
    C.SetFitnessMethod(TGAFitnessMethod::fmWeightedMinimize);
    C.Fill({9, 8, 7}); // weighted 1, 2, 3
    EXPECT_EQ(C.FCumNormFitnesses, (TGAFitnessArray{2.0 / 3.0, 1.0, 1.0}));
    C.SetFitnessMethod(TGAFitnessMethod::fmWeightedMaximize);
    C.Fill({9, 9, 8}); // weighted 1, 1, 2
    EXPECT_EQ(C.FCumNormFitnesses, (TGAFitnessArray{0.25, 0.5, 1.0}));

    // Only roulette and the stochastic tournament prepare the table.
    C.SetSelectionMethod(TGASelectionMethod::smTournament);
    C.Fill({1, 2});
    EXPECT_EQ(C.FCumNormFitnesses.size(), 3u);
    C.SetSelectionMethod(TGASelectionMethod::smStochasticTournament);
    C.EvaluateFitness();
    EXPECT_EQ(C.FCumNormFitnesses.size(), 2u);
}

TEST(Selection, RoulettePicksTheFirstEntryAboveTheDraw) {
    TIntComponent C;
    C.SetSelectionMethod(TGASelectionMethod::smRoulette);
    C.Fill({1, 2, 3, 0.5, 2.5, 1});
    for (std::uint64_t Seed = 1; Seed <= 300; ++Seed) {
        RandSeed(Seed);
        const int Expected = FirstAbove(C.FCumNormFitnesses, Random());
        RandSeed(Seed);
        EXPECT_EQ(C.Pick(), C.Population()->Items(Expected)) << "seed " << Seed;
        EXPECT_EQ(C.FRouletteIndex, Expected);
    }

    // Minimizing 1, 2, 3: the worst has no share and is never picked.
    C.Fill({1, 2, 3});
    RandSeed(17);
    int Picks[3] = {0, 0, 0};
    for (int I = 0; I < 3000; ++I)
        ++Picks[C.Pick()->Index()];
    EXPECT_EQ(Picks[2], 0);
    EXPECT_GT(Picks[0], Picks[1]);

    // An entry equal to the draw is passed over.
    RandSeed(23);
    const double R = Random();
    C.SetFitnessMethod(TGAFitnessMethod::fmMaximize);
    C.Fill({R, 1.0 - R});
    ASSERT_EQ(C.FCumNormFitnesses[0], R);
    RandSeed(23);
    EXPECT_EQ(C.Pick(), C.Population()->Items(1));

    // No entry above the draw (a zero sum with unequal values): the last entry.
    C.Fill({-1, 1});
    EXPECT_EQ(C.FCumNormFitnesses, (TGAFitnessArray{0.0, 0.0}));
    RandSeed(5);
    EXPECT_EQ(C.Pick(), C.Population()->Items(1));
    EXPECT_EQ(C.FRouletteIndex, 1);

    // An empty table is computed on the pick.
    C.Fill({1, 3});
    C.FCumNormFitnesses.clear();
    C.Pick();
    EXPECT_EQ(C.FCumNormFitnesses, (TGAFitnessArray{0.25, 1.0}));
}

TEST(Selection, EqualSpreadMakesRouletteAndElitistRandom) {
    for (auto Method : {TGASelectionMethod::smRoulette, TGASelectionMethod::smElitist}) {
        TIntComponent C;
        C.SetSelectionMethod(Method);
        C.Fill({4, 4, 4, 4, 4});
        for (std::uint64_t Seed = 1; Seed <= 20; ++Seed) {
            RandSeed(Seed);
            const int Expected = Random(5);
            RandSeed(Seed);
            EXPECT_EQ(C.Pick(), C.Population()->Items(Expected));
        }
        // The weighted methods look at the weighted spread.
        C.SetFitnessMethod(TGAFitnessMethod::fmWeightedMaximize);
        C.SetOnEvaluateWeightedFitness(
            [](TObject*, TAxIndividual* I, TGAFitness& F) { F = I->Index(); });
        C.EvaluateFitness();
        C.FRouletteIndex = -1;
        RandSeed(3);
        const double Draw = Random();
        RandSeed(3);
        TAxIndividual* P = C.Pick();
        if (Method == TGASelectionMethod::smElitist)
            EXPECT_EQ(P, C.Population()->Items(4));
        else
            EXPECT_EQ(P, C.Population()->Items(FirstAbove(C.FCumNormFitnesses, Draw)));
    }
}

TEST(Selection, TournamentsKeepTheHolderOnTies) {
    TIntComponent C;
    C.SetSelectionMethod(TGASelectionMethod::smTournament);
    C.Fill({5, 3, 8, 3, 1, 9, 4});
    for (int Field : {2, 3, 5}) {
        C.SetTournamentField(Field);
        for (std::uint64_t Seed = 1; Seed <= 40; ++Seed) {
            RandSeed(Seed);
            int Winner = Random(7);
            for (int I = 1; I < Field; ++I) {
                const int Contender = Random(7);
                if (C.Fitnesses[static_cast<std::size_t>(Contender)] <
                    C.Fitnesses[static_cast<std::size_t>(Winner)])
                    Winner = Contender;
            }
            RandSeed(Seed);
            EXPECT_EQ(C.Pick(), C.Population()->Items(Winner)) << Field << " " << Seed;
        }
    }
    // Equal fitness: the first drawn wins.
    C.SetTournamentField(2);
    C.Fill({2, 2, 2, 2});
    RandSeed(6);
    const int First = Random(4);
    RandSeed(6);
    EXPECT_EQ(C.Pick(), C.Population()->Items(First));
}

TEST(Selection, StochasticTournamentDrawsContendersByRoulette) {
    TIntComponent C;
    C.SetFitnessMethod(TGAFitnessMethod::fmMaximize);
    C.SetTournamentField(3);
    C.Fill({1, 4, 2, 3});
    ASSERT_EQ(C.FCumNormFitnesses, (TGAFitnessArray{0.1, 0.5, 0.7, 1.0}));
    for (std::uint64_t Seed = 1; Seed <= 60; ++Seed) {
        RandSeed(Seed);
        int Winner = Random(4);
        for (int I = 1; I < 3; ++I) {
            const int Contender = FirstAbove(C.FCumNormFitnesses, Random());
            if (C.Fitnesses[static_cast<std::size_t>(Contender)] >
                C.Fitnesses[static_cast<std::size_t>(Winner)])
                Winner = Contender;
        }
        const double Next = Random();
        RandSeed(Seed);
        EXPECT_EQ(C.Pick(), C.Population()->Items(Winner)) << Seed;
        EXPECT_EQ(Random(), Next); // exactly three draws
    }
}

TEST(Selection, ElitistCyclesThroughTheBestRanks) {
    TIntComponent C;
    C.SetSelectionMethod(TGASelectionMethod::smElitist);
    std::vector<double> Values;
    for (int I = 0; I < 100; ++I)
        Values.push_back(100 - I); // minimizing: index 99 is best
    C.Fill(Values);
    std::vector<int> Ranks;
    for (int I = 0; I < 12; ++I)
        Ranks.push_back(99 - C.Pick()->Index());
    EXPECT_EQ(Ranks, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0}));

    // 25 individuals at 0.1: 2.5 rounds to 2.
    C.SetFitnessMethod(TGAFitnessMethod::fmMaximize);
    C.Fill(std::vector<double>(Values.begin(), Values.begin() + 25));
    C.FRouletteIndex = -1;
    Ranks.clear();
    for (int I = 0; I < 7; ++I)
        Ranks.push_back(C.Pick()->Index());
    EXPECT_EQ(Ranks, (std::vector<int>{0, 1, 2, 0, 1, 2, 0}));

    // A share of the whole population: a rank past the ranking restarts the cycle.
    C.SetElitistPct(1.0);
    C.Fill({1, 2, 3, 4});
    C.FRouletteIndex = -1;
    Ranks.clear();
    for (int I = 0; I < 10; ++I)
        Ranks.push_back(C.Pick()->Index());
    EXPECT_EQ(Ranks, (std::vector<int>{3, 2, 1, 0, 3, 2, 1, 0, 3, 2}));

    // A share of 0: always the best.
    C.SetElitistPct(0.0);
    C.FRouletteIndex = -1;
    for (int I = 0; I < 3; ++I)
        EXPECT_EQ(C.Pick()->Index(), 3);

    // Keys are single precision: values equal there keep population order.
    C.SetFitnessMethod(TGAFitnessMethod::fmMinimize);
    C.Fill({1.0 + 1e-12, 1.0, 5.0});
    C.FRouletteIndex = -1;
    EXPECT_EQ(C.Pick()->Index(), 0);

    // The ranking is dropped when an individual leaves and rebuilt by the next pick.
    C.SetElitistPct(0.5);
    C.Fill({3, 1, 2, 4});
    C.FRouletteIndex = -1;
    EXPECT_EQ(C.Pick()->Index(), 1);
    C.Population()->Delete(1);
    C.FRouletteIndex = -1;
    EXPECT_EQ(C.Pick()->Index(), 1); // fitness 2, now at index 1
}

// Elitist picks read the ranking, which describes the component's own population.
TEST(Selection, EmptyPopulationsGiveNoParent) {
    TIntComponent C;
    TAxPopulation Empty(nullptr, ClassOf<TIntIndividual>());
    C.Fill({1, 2});
    for (auto Method :
         {TGASelectionMethod::smRoulette, TGASelectionMethod::smRandom,
          TGASelectionMethod::smTournament, TGASelectionMethod::smStochasticTournament}) {
        C.SetSelectionMethod(Method);
        EXPECT_EQ(C.SelectParent(&Empty), nullptr) << GetEnumName(Method);
    }
    C.SetSelectionMethod(TGASelectionMethod::smElitist);
    EXPECT_EQ(C.SelectParent(&Empty), C.Population()->Items(0));
}

} // namespace
} // namespace ax
