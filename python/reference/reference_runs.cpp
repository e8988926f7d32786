// Runs from C++ that the Python package repeats: the tests compare the results of the same
// seed, the overhead benchmark compares the times.
//
//   axgenetic_reference_runs ga SEED GENERATIONS POPULATION
//       prints best_fitness, best_genes and seconds of a GA run on the problem below
//   axgenetic_reference_runs sr SEED ROWS POPULATION GENERATIONS
//       prints the model, its train MSE and seconds of a symbolic regression fit on the
//       data below
//
// The Python side builds the same problem and the same data (python/tests/reference.py).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "axgenetic/axgenetic.hpp"
#include "axgenetic/regression/regressor.hpp"

namespace {

// Four 10-bit integer genes clamped to [0, 1000] and a Boolean: minimise the distance of the
// integers to 300 plus a penalty when the Boolean is set.
int RunGA(std::uint64_t Seed, int Generations, int Population) {
    ax::TAxGeneticAlgorithm GA;
    for (int I = 0; I < 4; ++I) {
        ax::TAxGAGene* G = GA.Genes()->Add();
        G->SetName("x" + std::to_string(I));
        G->SetGeneType(ax::TGeneType::gtInteger);
        G->SetSize(10);
        G->SetMaxValue(1000); // the maximum first: writing it moves the minimum
        G->SetMinValue(0);
    }
    ax::TAxGAGene* Flag = GA.Genes()->Add();
    Flag->SetName("flag");
    Flag->SetGeneType(ax::TGeneType::gtBoolean);
    Flag->SetSize(1);
    GA.SetInitialPopulation(Population);
    GA.SetOnEvaluateFitness([&GA](ax::TAxGAIndividual& Item, ax::TGAFitness& Fitness) {
        double Sum = 0;
        for (int I = 0; I < 4; ++I) {
            const double X = GA.Genes()->Items(I)->GeneAsInteger(Item.Bits());
            Sum += (X - 300) * (X - 300);
        }
        Fitness = Sum + (GA.Genes()->Items(4)->GeneAsBoolean(Item.Bits()) ? 10 : 0);
    });
    ax::RandSeed(Seed);
    const auto Start = std::chrono::steady_clock::now();
    GA.Evolve(Generations);
    const double Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    ax::TAxGAIndividual& Best = *GA.FittestIndividual();
    std::printf("best_fitness=%.17g\nbest_genes=", Best.Fitness());
    for (int I = 0; I < 4; ++I)
        std::printf("%d,", GA.Genes()->Items(I)->GeneAsInteger(Best.Bits()));
    std::printf("%d\nseconds=%.6f\n", GA.Genes()->Items(4)->GeneAsBoolean(Best.Bits()) ? 1 : 0,
                Seconds);
    return 0;
}

// Rows of two features on a grid of exact binary fractions, y = x0*x0*x1 + 0.5*x0 - 1.25,
// computed in this order so that NumPy gets the same doubles.
int RunSR(std::uint64_t Seed, int Rows, int Population, int Generations) {
    std::vector<double> X(static_cast<std::size_t>(Rows) * 2), Y(static_cast<std::size_t>(Rows));
    for (int R = 0; R < Rows; ++R) {
        const double X0 = (R % 17) / 4.0 - 2.0;
        const double X1 = (R * 7 % 13) / 4.0 - 1.5;
        X[static_cast<std::size_t>(R) * 2] = X0;
        X[static_cast<std::size_t>(R) * 2 + 1] = X1;
        Y[static_cast<std::size_t>(R)] = X0 * X0 * X1 + 0.5 * X0 - 1.25;
    }
    ax::TAxSymbolicRegressor SR;
    SR.Settings().Seed = Seed;
    SR.Settings().PopulationSize = Population;
    SR.Settings().Generations = Generations;
    const auto Start = std::chrono::steady_clock::now();
    SR.Fit(ax::TAxSRMatrix::RowMajor(X.data(), Rows, 2), Y);
    const double Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    std::cout << "model=" << SR.Model().Infix << "\n";
    std::printf("train_mse=%.17g\nseconds=%.6f\n", SR.Model().TrainMSE, Seconds);
    return 0;
}

int Usage() {
    std::cerr << "usage: axgenetic_reference_runs ga SEED GENERATIONS POPULATION\n"
                 "       axgenetic_reference_runs sr SEED ROWS POPULATION GENERATIONS\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> Args(argv + 1, argv + argc);
    if (Args.size() == 4 && Args[0] == "ga")
        return RunGA(std::stoull(Args[1]), std::stoi(Args[2]), std::stoi(Args[3]));
    if (Args.size() == 5 && Args[0] == "sr")
        return RunSR(std::stoull(Args[1]), std::stoi(Args[2]), std::stoi(Args[3]),
                     std::stoi(Args[4]));
    return Usage();
}
