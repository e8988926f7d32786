// Symbolic regression of y = x⁴ + x³ + x² + x, then the evolved program run by an executor.
#include "axgenetic/axgenetic.hpp"

#include <cmath>
#include <cstdio>

int main() {
    ax::RandSeed(7); // the same run on every machine
    ax::TAxGeneticProgramming GP;
    ax::TAxGPFloatInstructions& Set = *GP.Instructions();
    Set.AddElementwise("Add", [](double A, double B) { return A + B; });
    Set.AddElementwise("Mul", [](double A, double B) { return A * B; });
    Set.Add()->SetName("x"); // a new instruction is a variable
    ax::TAxGPFloatInstruction* One = Set.Add();
    One->SetName("one");
    One->SetOperation(ax::TGPGeneticInstruction::gpConstant);
    One->SetValue(1.0); // every node of "one" holds 1

    GP.SetInitialPopulation(100);
    GP.SetInitializationMethod(ax::TGPInitializationMethod::imRampedHalfAndHalf);
    GP.SetInitializationDepth(3);
    GP.SetTwoParentCrossover(true); // the classic two-parent subtree crossover
    GP.SetBloatStrategy(ax::TGPBloatStrategy::bsDepthLimit);
    GP.SetBloatLimit(8);
    GP.SetUseFitnessCutoff(true);
    GP.SetFitnessCutoff(1e-9); // minimized: stop once the error is at most this
    GP.SetOnEvaluateFitness([](const ax::TAxGPIndividual<double>& Item, ax::TGAFitness& Error) {
        ax::TAxGPFloatContext Context; // one per call: handlers may run on threads
        for (int I = 0; I <= 10; ++I) {
            const double X = -1.0 + 0.2 * I;
            Context.Values()["x"] = X;
            Error += std::fabs(Item.Execute(Context) - (X * X * X * X + X * X * X + X * X + X));
        }
    });
    GP.Evolve(50);
    ax::TAxGPIndividual<double>& Best = *GP.FittestIndividual();
    std::printf("generation %d, error %.3g: %s\n", GP.Generation(), Best.Fitness(),
                Best.DNA()->ToString().c_str());

    // The executor copies the program and the instructions with their handlers, so it
    // runs on after the component is gone; its context needs every variable.
    ax::TAxGeneticProgrammingExecutor Executor;
    Executor.Assign(GP);
    ax::TAxGPFloatContext Context;
    Context.Values()["x"] = 3.0;
    const double Y = Executor.Execute(Context);
    std::printf("y(3) = %g\n", Y);
    return Best.Fitness() <= 1e-9 && Y == 120.0 ? 0 : 1;
}
