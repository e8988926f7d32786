// The genetic algorithm demo: three small problems, each solved by a TAxGeneticAlgorithm
// built from typed genes. Every run is seeded, so it prints the same on every machine.
#include <chrono>
#include <cstdio>

#include "axgenetic/axgenetic.hpp"
#include "demo.hpp"

int main() {
    const auto Start = std::chrono::steady_clock::now();
    ax::RandSeed(2024);
    RunRastrigin();
    RunKnapsack();
    RunCurveFit();
    RunPersistence();
    std::printf("\nAll examples took %.2f s.\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count());
    return 0;
}
