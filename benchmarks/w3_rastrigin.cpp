// Workload W3, Rastrigin: 10 unsigned integer genes of 16 bits mapped linearly onto
// [-5.12, 5.12], population 100, 500 generations, minimize; bit-boundary single-point
// crossover 0.98, per-bit mutation 0.005, no inversion, tournaments of 2.
//
// Prints the median of 5 timed runs, the best fitness and the best fitness over seeds
// 1 to 10 (0 is the global optimum).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <vector>

#include "axgenetic/axgenetic.hpp"
#include "workload.hpp"

namespace {

constexpr int Dimensions = 10;
constexpr int GeneBits = 16;
constexpr std::uint64_t Seed = 20240601;

struct TRun {
    double Seconds;
    double Best;
};

TRun Run(std::uint64_t RunSeed) {
    const double Start = workload::Now();
    ax::RandSeed(RunSeed);
    ax::TAxGeneticAlgorithm GA;
    for (int I = 0; I < Dimensions; ++I) {
        ax::TAxGAGene* Gene = GA.Genes()->Add();
        Gene->SetGeneType(ax::TGeneType::gtInteger);
        Gene->SetSize(GeneBits);
    }
    GA.SetInitialPopulation(100);
    GA.SetFitnessMethod(ax::TGAFitnessMethod::fmMinimize);
    GA.SetCrossoverMethod(ax::TGACrossoverMethod::cmBitBoundary);
    GA.SetCrossoverProbability(0.98);
    GA.SetMutationProbability(0.005);
    GA.SetOperations({ax::TGAGeneticOperation::goCrossover, ax::TGAGeneticOperation::goMutate});
    GA.SetSelectionMethod(ax::TGASelectionMethod::smTournament);
    GA.SetTournamentField(2);
    const ax::TAxGAGenes& Genes = *GA.Genes();
    GA.SetOnEvaluateFitness([&Genes](const ax::TAxGAIndividual& Item, ax::TGAFitness& Fitness) {
        const ax::TAxGABits& Bits = Item.Bits();
        double Sum = 10.0 * Dimensions;
        for (int I = 0; I < Dimensions; ++I) {
            const double X = -5.12 + 10.24 * Genes[I]->GeneAsInteger(Bits) / 65535.0;
            Sum += X * X - 10.0 * std::cos(2 * std::numbers::pi * X);
        }
        Fitness = Sum;
    });
    GA.Evolve(500);
    return {workload::Now() - Start, GA.MinFitness()};
}

} // namespace

int main() {
    std::vector<double> Seconds;
    double Best = 0;
    for (int I = 0; I < 5; ++I) {
        const TRun R = Run(Seed);
        Seconds.push_back(R.Seconds);
        Best = R.Best;
    }
    std::printf("W3 Rastrigin (10 x 16-bit genes, population 100, 500 generations)\n");
    std::printf("  seconds (median of 5)    %.4f\n", workload::Median(Seconds));
    std::printf("  best fitness (seed %llu) %.6f (optimum 0)\n",
                static_cast<unsigned long long>(Seed), Best);
    std::printf("  best fitness, seeds 1-10:");
    for (std::uint64_t S = 1; S <= 10; ++S)
        std::printf(" %.4f", Run(S).Best);
    std::printf("\n");
    return 0;
}
