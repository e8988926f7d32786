// Minimize the 10-dimensional Rastrigin function. Each coordinate is an unsigned 16-bit
// integer gene mapped linearly onto [-5.12, 5.12]; the global minimum is 0 at the origin.
#include <cmath>
#include <cstdio>
#include <numbers>

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
    GA.SetOnEvaluateFitness(
        [&Genes](ax::TObject*, ax::TAxIndividual* Item, ax::TGAFitness& Fitness) {
            ax::TAxGABits& Bits = static_cast<ax::TAxGAIndividual*>(Item)->Bits();
            double Sum = 10.0 * Dimensions;
            for (int I = 0; I < Dimensions; ++I) {
                const double X = Coordinate(Genes[I]->GeneAsInteger(Bits));
                Sum += X * X - 10.0 * std::cos(2 * std::numbers::pi * X);
            }
            Fitness = Sum;
        });
    ShowProgress(GA, 50);
    GA.Evolve(500);

    ax::TAxGAIndividual* Best = GA.FittestIndividual();
    std::printf("  fittest: f = %.4f at\n   ", Best->Fitness());
    for (int I = 0; I < Dimensions; ++I)
        std::printf(" %s=%+.4f", Genes[I]->Name().c_str(),
                    Coordinate(Genes[I]->GeneAsInteger(Best->Bits())));
    std::printf("\n");
}
