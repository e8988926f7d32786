// Memory of a large genetic algorithm: 100,000 individuals with 1024-bit chromosomes,
// population and previous generation both filled. Prints the resident set.
#include <cstdio>

#include "axgenetic/axgenetic.hpp"
#include "workload.hpp"

int main() {
    const long Before = workload::ResidentKiB();
    ax::RandSeed(1);
    ax::TAxGeneticAlgorithm GA;
    GA.SetGeneSize(1024);
    GA.SetInitialPopulation(100000);
    // The duplicate check builds a text key per chromosome; it is a start-up cost, not
    // part of what the population holds.
    GA.SetInitialDuplicatesRetries(0);
    GA.Initialize(); // fills, randomizes, evaluates and copies into the previous generation
    const long After = workload::ResidentKiB();
    const long Peak = workload::ResidentKiB("VmHWM:");
    std::printf("GA memory (100,000 x 1024-bit chromosomes, population + previous generation)\n");
    std::printf("  individuals              %d + %d\n", GA.Population()->Count(),
                GA.PreviousGeneration() ? GA.PreviousGeneration()->Count() : 0);
    std::printf("  resident set             %.1f MiB (%.1f MiB before the GA, peak %.1f MiB)\n",
                After / 1024.0, Before / 1024.0, Peak / 1024.0);
    return 0;
}
