// The W1 OneMax workload's settings, shared by the workload program and the
// per-generation micro-benchmark: 1024-bit chromosomes, population 200, bit-boundary
// crossover 0.98, per-bit mutation 0.001, no inversion, tournaments of 2.
#pragma once

#include <bit>
#include <cstdint>

#include "axgenetic/axgenetic.hpp"

namespace onemax {

constexpr int Bits = 1024;
constexpr int Words = Bits / 64;
constexpr int PopulationSize = 200;
constexpr int Generations = 200;
constexpr double CrossoverProbability = 0.98;
constexpr double MutationProbability = 0.001;
constexpr std::uint64_t Seed = 20240601;

inline void Configure(ax::TAxGeneticAlgorithm& GA) {
    GA.SetGeneSize(Bits);
    GA.SetInitialPopulation(PopulationSize);
    GA.SetFitnessMethod(ax::TGAFitnessMethod::fmMaximize);
    GA.SetCrossoverMethod(ax::TGACrossoverMethod::cmBitBoundary);
    GA.SetCrossoverProbability(CrossoverProbability);
    GA.SetMutationProbability(MutationProbability);
    GA.SetOperations({ax::TGAGeneticOperation::goCrossover, ax::TGAGeneticOperation::goMutate});
    GA.SetSelectionMethod(ax::TGASelectionMethod::smTournament);
    GA.SetTournamentField(2);
    GA.SetInitialDuplicatesRetries(0);
    GA.SetOnEvaluateFitness([](const ax::TAxGAIndividual& Item, ax::TGAFitness& Fitness) {
        int Ones = 0;
        for (ax::TBits::Word W : Item.Bits().Words())
            Ones += std::popcount(W);
        Fitness = Ones;
    });
}

} // namespace onemax
