// Cost of one parent pick for each selection method, and of one whole generation, over
// a component whose genome is one integer, and of copying a component. "allocs" counts heap
// allocations per iteration (expected 0 for picks and for a generation once the populations exist).
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "axgenetic/axgenetic.hpp"

#include "allocation_counter.hpp"

namespace {

using namespace ax;

// The genome is one integer, kept in a 32-bit chromosome so that the GA individual's own
// Assign copies it.
class TIntIndividual : public TAxGAIndividual {
public:
    static constexpr const char* StaticClassName = "TIntIndividual";
    TIntIndividual() { Bits().SetSize(32); }
    std::string ClassName() const override { return StaticClassName; }
    int Gene() const { return Bits().GetAsInteger(0, 32); }
    // The chromosome's change makes the fitness stale.
    void SetGene(int Value) { Bits().SetAsInteger(0, 32, Value); }
};

using TIntPopulation = TTypedCollection<TIntIndividual, TAxPopulation>;

// Minimizes the distance of the gene to 0; crossover averages, mutation nudges,
// inversion negates.
class TIntComponent : public TAxTypedGeneticComponent<TIntIndividual, TIntPopulation> {
public:
    TIntComponent() {
        RecreatePopulation();
        SetOnEvaluateFitness([](const TIntIndividual& Item, TGAFitness& Fitness) {
            const int G = Item.Gene();
            Fitness = G < 0 ? -G : G;
        });
    }

protected:
    std::unique_ptr<TAxPopulation> CreatePopulation(TAxIndividualClass) override {
        return std::make_unique<TIntPopulation>(this, ClassOf<TIntIndividual>());
    }
    int DoInitialize() override {
        for (int I = 0; I < Population()->Count(); ++I)
            Typed(*Population()->Items(I)).SetGene(Random(1000000) - 500000);
        return Population()->Count();
    }
    bool DoCrossover(TAxIndividual* P1, TAxIndividual* P2, TAxIndividual* C1,
                     TAxIndividual* C2) override {
        const int G1 = Typed(*P1).Gene(), G2 = Typed(*P2).Gene();
        Typed(*C1).SetGene(G1 / 2 + G2 / 2);
        if (C2) Typed(*C2).SetGene(G2 - G1 / 4);
        return true;
    }
    bool DoMutate(TAxIndividual* Item) override {
        Typed(*Item).SetGene(Typed(*Item).Gene() + Random(201) - 100);
        return true;
    }
    bool DoInvert(TAxIndividual* Item) override {
        Typed(*Item).SetGene(-Typed(*Item).Gene());
        return true;
    }
};

void Pick(benchmark::State& State, TGASelectionMethod Method) {
    RandSeed(1);
    TIntComponent C;
    C.SetSelectionMethod(Method);
    C.SetInitialPopulation(static_cast<int>(State.range(0)));
    C.Initialize(); // evaluates and prepares the method's table
    TAxPopulation* From = C.PreviousGeneration();
    const long long Before = axbench::AllocationCount();
    for (auto _ : State)
        benchmark::DoNotOptimize(C.SelectParent(From));
    State.counters["allocs"] =
        benchmark::Counter(static_cast<double>(axbench::AllocationCount() - Before),
                           benchmark::Counter::kAvgIterations);
    State.SetItemsProcessed(State.iterations());
}

void BM_PickRandom(benchmark::State& S) {
    Pick(S, TGASelectionMethod::smRandom);
}
void BM_PickRoulette(benchmark::State& S) {
    Pick(S, TGASelectionMethod::smRoulette);
}
void BM_PickTournament(benchmark::State& S) {
    Pick(S, TGASelectionMethod::smTournament);
}
void BM_PickStochasticTournament(benchmark::State& S) {
    Pick(S, TGASelectionMethod::smStochasticTournament);
}
void BM_PickElitist(benchmark::State& S) {
    Pick(S, TGASelectionMethod::smElitist);
}
BENCHMARK(BM_PickRandom)->Arg(1000)->Arg(100000);
BENCHMARK(BM_PickRoulette)->Arg(1000)->Arg(100000);
BENCHMARK(BM_PickTournament)->Arg(1000)->Arg(100000);
BENCHMARK(BM_PickStochasticTournament)->Arg(1000)->Arg(100000);
BENCHMARK(BM_PickElitist)->Arg(1000)->Arg(100000);

// One generation: swap, select and breed every child, evaluate, prepare the tables.
void Generation(benchmark::State& State, TGASelectionMethod Method) {
    RandSeed(2);
    TIntComponent C;
    C.SetSelectionMethod(Method);
    C.SetInitialPopulation(static_cast<int>(State.range(0)));
    C.SetMutationProbability(0.5);
    C.Initialize();
    C.Evolve(); // the first generation sizes the ranking
    const long long Before = axbench::AllocationCount();
    for (auto _ : State)
        C.Evolve();
    State.counters["allocs"] =
        benchmark::Counter(static_cast<double>(axbench::AllocationCount() - Before),
                           benchmark::Counter::kAvgIterations);
    State.SetItemsProcessed(State.iterations() * State.range(0));
}

void BM_GenerationStochasticTournament(benchmark::State& S) {
    Generation(S, TGASelectionMethod::smStochasticTournament);
}
void BM_GenerationElitist(benchmark::State& S) {
    Generation(S, TGASelectionMethod::smElitist);
}
BENCHMARK(BM_GenerationStochasticTournament)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GenerationElitist)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Copying a whole component: every individual is cleared and assigned again.
void BM_AssignComponent(benchmark::State& State) {
    RandSeed(3);
    TIntComponent Source, Target;
    Source.SetInitialPopulation(static_cast<int>(State.range(0)));
    Source.Initialize();
    for (auto _ : State)
        Target.Assign(Source);
    State.SetItemsProcessed(State.iterations() * State.range(0));
}
BENCHMARK(BM_AssignComponent)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
