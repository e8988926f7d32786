// Workload W1, OneMax: 1024-bit chromosomes, population 200, 200 generations, maximize
// the number of ones; bit-boundary single-point crossover 0.98, per-bit mutation 0.001,
// no inversion, tournaments of 2, no duplicate avoidance.
//
// Prints the median of 5 timed runs, the best fitness, the best fitness over seeds 1 to
// 10, and the cost of one generation against a hand-written loop that makes the same
// random draws and the same bit copies over plain word arrays.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "axgenetic/axgenetic.hpp"
#include "onemax.hpp"
#include "workload.hpp"

namespace {

using namespace onemax;

struct TRun {
    double Seconds;     // construction to the end of the last generation
    double Generations; // the generations alone
    double Best;
};

TRun RunGA(std::uint64_t RunSeed) {
    const double Start = workload::Now();
    ax::RandSeed(RunSeed);
    ax::TAxGeneticAlgorithm GA;
    Configure(GA);
    GA.Initialize();
    const double Bred = workload::Now();
    GA.Evolve(Generations);
    const double End = workload::Now();
    return {End - Start, End - Bred, GA.MaxFitness()};
}

// The same work written by hand: word arrays, the same draws in the same order (tournament
// of two, crossover draw and cut, one draw per bit), popcount fitness and the statistics.
struct TBaseline {
    using Word = std::uint64_t;
    std::vector<Word> Current, Previous;
    std::vector<double> Fitness, PreviousFitness;
    double Max = 0;

    TBaseline()
        : Current(PopulationSize * Words), Previous(PopulationSize * Words),
          Fitness(PopulationSize), PreviousFitness(PopulationSize) {}

    Word* Row(std::vector<Word>& Rows, int I) {
        return Rows.data() + static_cast<std::size_t>(I) * Words;
    }

    void Evaluate() {
        double Sum = 0;
        Max = -1;
        for (int I = 0; I < PopulationSize; ++I) {
            int Ones = 0;
            for (int W = 0; W < Words; ++W)
                Ones += std::popcount(Row(Current, I)[W]);
            Fitness[static_cast<std::size_t>(I)] = Ones;
            Sum += Ones;
            if (Ones > Max) Max = Ones;
        }
        volatile double Keep = Sum;
        (void)Keep;
    }

    void Initialize() {
        for (int I = 0; I < PopulationSize; ++I)
            for (int W = 0; W < Words; ++W) {
                Word V = 0;
                for (int B = 0; B < 64; ++B)
                    if (ax::Random(2) == 1) V |= Word{1} << B;
                Row(Current, I)[W] = V;
            }
        Evaluate();
        Previous = Current;
        PreviousFitness = Fitness;
    }

    int Tournament() {
        int Parent = ax::Random(PopulationSize);
        const int Contender = ax::Random(PopulationSize);
        if (PreviousFitness[static_cast<std::size_t>(Contender)] >
            PreviousFitness[static_cast<std::size_t>(Parent)])
            Parent = Contender;
        return Parent;
    }

    // Bits [0, Cut) from A, the rest from B.
    static void Cross(Word* Child, const Word* A, const Word* B, int Cut) {
        const int Full = Cut / 64;
        std::memcpy(Child, A, static_cast<std::size_t>(Full) * sizeof(Word));
        std::memcpy(Child + Full, B + Full, static_cast<std::size_t>(Words - Full) * sizeof(Word));
        if (Cut % 64) {
            const Word Low = (Word{1} << (Cut % 64)) - 1;
            Child[Full] = (A[Full] & Low) | (B[Full] & ~Low);
        }
    }

    static void Mutate(Word* Child) {
        for (int W = 0; W < Words; ++W) {
            Word Flips = 0;
            for (int B = 0; B < 64; ++B)
                if (ax::Random() < MutationProbability) Flips |= Word{1} << B;
            Child[W] ^= Flips;
        }
    }

    void Generation() {
        std::swap(Current, Previous);
        std::swap(Fitness, PreviousFitness);
        for (int I = 0; I < PopulationSize; I += 2) {
            const int P1 = Tournament();
            const int P2 = Tournament();
            Word* C1 = Row(Current, I);
            Word* C2 = Row(Current, I + 1);
            const Word* A = Row(Previous, P1);
            const Word* B = Row(Previous, P2);
            std::memcpy(C1, A, Words * sizeof(Word));
            std::memcpy(C2, A, Words * sizeof(Word));
            if (ax::Random() < CrossoverProbability) {
                const int Cut = ax::Random(Bits);
                Cross(C1, A, B, Cut);
                Cross(C2, B, A, Cut);
            }
            Mutate(C1);
            Mutate(C2);
        }
        Evaluate();
    }
};

TRun RunBaseline(std::uint64_t RunSeed) {
    const double Start = workload::Now();
    ax::RandSeed(RunSeed);
    TBaseline Loop;
    Loop.Initialize();
    const double Bred = workload::Now();
    for (int G = 0; G < Generations; ++G)
        Loop.Generation();
    const double End = workload::Now();
    return {End - Start, End - Bred, Loop.Max};
}

} // namespace

int main() {
    std::vector<double> Seconds, GASeconds, BaseSeconds;
    double Best = 0, BaseBest = 0;
    for (int I = 0; I < 5; ++I) {
        const TRun Run = RunGA(Seed);
        Seconds.push_back(Run.Seconds);
        GASeconds.push_back(Run.Generations);
        Best = Run.Best;
        const TRun Base = RunBaseline(Seed);
        BaseSeconds.push_back(Base.Generations);
        BaseBest = Base.Best;
    }
    std::printf("W1 OneMax (1024 bits, population 200, 200 generations)\n");
    std::printf("  seconds (median of 5)    %.4f\n", workload::Median(Seconds));
    std::printf("  best fitness (seed %llu) %.0f of %d\n", static_cast<unsigned long long>(Seed),
                Best, Bits);
    std::printf("  best fitness, seeds 1-10:");
    for (std::uint64_t S = 1; S <= 10; ++S)
        std::printf(" %.0f", RunGA(S).Best);
    std::printf("\n");
    const double PerGeneration = workload::Median(GASeconds) / Generations;
    const double BasePerGeneration = workload::Median(BaseSeconds) / Generations;
    std::printf("  one generation           %.1f us (hand-written loop %.1f us, ratio %.2f)\n",
                PerGeneration * 1e6, BasePerGeneration * 1e6, PerGeneration / BasePerGeneration);
    std::printf("  hand-written loop best   %.0f (%s draws as the component)\n", BaseBest,
                BaseBest == Best ? "same result: same" : "DIFFERENT result: different");
    return 0;
}
