// Micro-benchmarks of the genetic algorithm's hot paths: chromosome copy and operators,
// gene decoding, and one whole generation.
#include <benchmark/benchmark.h>

#include "axgenetic/axgenetic.hpp"
#include "onemax.hpp"

namespace {

ax::TAxGABits RandomBits(int Size) {
    ax::TAxGABits Bits;
    Bits.SetSize(Size);
    Bits.Randomize();
    return Bits;
}

void BM_ChromosomeCopy(benchmark::State& State) {
    ax::RandSeed(1);
    const ax::TAxGABits Source = RandomBits(static_cast<int>(State.range(0)));
    ax::TAxGABits Copy;
    for (auto _ : State) {
        Copy.Assign(Source);
        benchmark::DoNotOptimize(Copy.Words().data());
    }
}
BENCHMARK(BM_ChromosomeCopy)->Arg(160)->Arg(1024);

void BM_CrossOver(benchmark::State& State) {
    ax::RandSeed(1);
    const int Size = static_cast<int>(State.range(0));
    const ax::TAxGABits A = RandomBits(Size), B = RandomBits(Size);
    ax::TAxGABits Child = RandomBits(Size);
    for (auto _ : State) {
        Child.CrossOver(A, B);
        benchmark::DoNotOptimize(Child.Words().data());
    }
}
BENCHMARK(BM_CrossOver)->Arg(160)->Arg(1024);

void BM_Mutate(benchmark::State& State) {
    ax::RandSeed(1);
    ax::TAxGABits Bits = RandomBits(static_cast<int>(State.range(0)));
    for (auto _ : State)
        benchmark::DoNotOptimize(Bits.Mutate(0.001));
    State.SetItemsProcessed(State.iterations() * State.range(0));
}
BENCHMARK(BM_Mutate)->Arg(160)->Arg(1024);

void BM_Invert(benchmark::State& State) {
    ax::RandSeed(1);
    ax::TAxGABits Bits = RandomBits(static_cast<int>(State.range(0)));
    for (auto _ : State) {
        Bits.Invert();
        benchmark::DoNotOptimize(Bits.Words().data());
    }
}
BENCHMARK(BM_Invert)->Arg(160)->Arg(1024);

void BM_Randomize(benchmark::State& State) {
    ax::RandSeed(1);
    ax::TAxGABits Bits = RandomBits(static_cast<int>(State.range(0)));
    for (auto _ : State) {
        Bits.Randomize();
        benchmark::DoNotOptimize(Bits.Words().data());
    }
}
BENCHMARK(BM_Randomize)->Arg(1024);

// Decoding all ten 16-bit integer genes of a Rastrigin chromosome.
void BM_DecodeIntegerGenes(benchmark::State& State) {
    ax::RandSeed(1);
    ax::TAxGeneticAlgorithm GA;
    for (int I = 0; I < 10; ++I) {
        ax::TAxGAGene* Gene = GA.Genes()->Add();
        Gene->SetGeneType(ax::TGeneType::gtInteger);
        Gene->SetSize(16);
    }
    ax::TAxGABits Bits = RandomBits(GA.GeneSize());
    const ax::TAxGAGenes& Genes = *GA.Genes();
    for (auto _ : State) {
        int Sum = 0;
        for (int I = 0; I < 10; ++I)
            Sum += Genes[I]->GeneAsInteger(Bits);
        benchmark::DoNotOptimize(Sum);
    }
}
BENCHMARK(BM_DecodeIntegerGenes);

// One W1 generation: 1024-bit OneMax, population 200, tournaments of 2.
void BM_OneMaxGeneration(benchmark::State& State) {
    ax::RandSeed(1);
    ax::TAxGeneticAlgorithm GA;
    onemax::Configure(GA);
    GA.Initialize();
    for (auto _ : State)
        GA.Evolve();
}
BENCHMARK(BM_OneMaxGeneration)->Unit(benchmark::kMicrosecond);

} // namespace
