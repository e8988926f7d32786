// Minimize the 10-dimensional Rastrigin function. Each coordinate is an unsigned 16-bit
// integer gene mapped linearly onto [-5.12, 5.12]; the global minimum is 0 at the origin.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <string>

#include "demo.hpp"
#include "progress.hpp"

namespace {
constexpr int Dimensions = 10;

// The coordinate a 16-bit gene value stands for.
double Coordinate(int Value) {
    return -5.12 + 10.24 * Value / 65535.0;
}
} // namespace

void RunRastrigin() {
    std::printf("\n== Rastrigin function, 10 dimensions (minimize; optimum 0 at the origin) ==\n");
    ax::TAxGeneticAlgorithm GA;
    for (int I = 0; I < Dimensions; ++I) {
        ax::TAxGAGene* Gene = GA.Genes()->Add();
        Gene->SetName(ax::Format("x%d", {I + 1}));
        Gene->SetGeneType(ax::TGeneType::gtInteger);
        Gene->SetSize(16); // the chromosome grows to 160 bits by itself
    }
    GA.SetFitnessMethod(ax::TGAFitnessMethod::fmMinimize);
    GA.SetInitialPopulation(200);
    GA.SetCrossoverMethod(ax::TGACrossoverMethod::cmBitBoundary);
    GA.SetMutationProbability(0.004); // per bit
    GA.SetSelectionMethod(ax::TGASelectionMethod::smTournament);
    GA.SetTournamentField(3);

    ax::TAxGAGenes& Genes = *GA.Genes();
    // f of a chromosome; genes read a const chromosome, so the hall of fame's entries
    // below are decoded the same way, without a copy.
    auto Rastrigin = [&Genes](const ax::TAxGABits& Bits) {
        double Sum = 10.0 * Dimensions;
        for (int I = 0; I < Dimensions; ++I) {
            const double X = Coordinate(Genes[I]->GeneAsInteger(Bits));
            Sum += X * X - 10.0 * std::cos(2 * std::numbers::pi * X);
        }
        return Sum;
    };
    GA.SetOnEvaluateFitness([&](ax::TAxGAIndividual& Item, ax::TGAFitness& Fitness) {
        Fitness = Rastrigin(Item.Bits());
    });
    ShowProgress(GA, 50);
    // The statistics of every generation and the three best chromosomes ever seen;
    // attached after Initialize, both see the initial population too.
    ax::TAxRunLog Log;
    ax::TAxHallOfFame<ax::TAxGAIndividual> Best(3);
    GA.Initialize();
    Log.Attach(GA);
    Best.Attach(GA);
    GA.Evolve(500);

    std::printf("  best three ever seen:\n");
    for (int Rank = 0; Rank < Best.Count(); ++Rank) {
        const ax::TAxGABits& Bits = Best[Rank].Bits();
        std::printf("   %d. f = %.3g (generation %3d) at", Rank + 1, Rastrigin(Bits),
                    Best.Generation(Rank));
        for (int I = 0; I < Dimensions; ++I)
            std::printf(" %+.3f", Coordinate(Genes[I]->GeneAsInteger(Bits)));
        std::printf("\n");
    }
    const std::string LogFile =
        (std::filesystem::temp_directory_path() / "axgenetic_demo_rastrigin.csv").string();
    Log.SaveToCSVFile(LogFile);
    std::printf("  run log: %zu generations written to %s\n", Log.Entries().size(),
                LogFile.c_str());
}
