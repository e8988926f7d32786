// Symbolic regression: find a formula for y = x^4 + x^3 + x^2 + x from 20 points in
// [-1, 1], with Add, Sub, Mul, protected Div, the variable x and the constant 1. The
// fitness is the sum of absolute errors; the batch evaluator computes a program's values
// at all 20 points in one pass.
#include <cmath>
#include <cstdio>
#include <vector>

#include "demo.hpp"

namespace {

using ax::TGAFloat;

// Division that gives 1 where the denominator vanishes, so every program has a value.
TGAFloat Divide(TGAFloat A, TGAFloat B) {
    return std::fabs(B) < 1e-9 ? 1.0 : A / B;
}

template <class C> std::string Run(const char* Title, std::uint64_t Seed, bool Quiet) {
    if (!Quiet)
        std::printf("\n== Symbolic regression of x^4 + x^3 + x^2 + x, %s (minimize the sum of "
                    "absolute errors over 20 points) ==\n",
                    Title);
    ax::RandSeed(Seed);
    C GP;
    ax::TAxGPFloatInstructions& Set = *GP.Instructions();
    Set.AddElementwise("Add", [](TGAFloat A, TGAFloat B) { return A + B; });
    Set.AddElementwise("Sub", [](TGAFloat A, TGAFloat B) { return A - B; });
    Set.AddElementwise("Mul", [](TGAFloat A, TGAFloat B) { return A * B; });
    Set.AddElementwise("Div", Divide);
    Set.Add()->SetName("x");
    auto* One = Set.Add();
    One->SetName("one");
    One->SetOperation(ax::TGPGeneticInstruction::gpConstant);
    One->SetValue(1.0);

    ax::TAxGPDataSet Points(20);
    std::span<TGAFloat> X = Points.AddColumn("x");
    std::vector<TGAFloat> Target(20), Values(20);
    for (int I = 0; I < 20; ++I) {
        const TGAFloat V = -1.0 + 2.0 * I / 19;
        X[static_cast<std::size_t>(I)] = V;
        Target[static_cast<std::size_t>(I)] = V * V * V * V + V * V * V + V * V + V;
    }
    ax::TAxGPBatchEvaluator Evaluator;
    GP.SetOnEvaluateFitness([&](ax::TAxGPIndividual<TGAFloat>& Item, ax::TGAFitness& Error) {
        Evaluator.Evaluate(*Item.DNA(), Points, Values);
        for (std::size_t I = 0; I < Values.size(); ++I)
            Error += std::fabs(Values[I] - Target[I]);
        if (std::isnan(Error)) Error = HUGE_VAL;
    });

    Evolve(GP, 200, 1e-9, Quiet);

    ax::TAxGPIndividual<TGAFloat>* Best = GP.FittestIndividual();
    if (!Quiet)
        std::printf("  best after %d generations: error %.6g, %d nodes\n    y = %s\n",
                    GP.Generation(), Best->Fitness(), Best->DNA()->Size(),
                    Formula(*Best->DNA()).c_str());
    return Best->DNA()->ToString();
}

} // namespace

std::string RunRegression(bool Binary, std::uint64_t Seed, bool Quiet) {
    return Binary ? Run<ax::TAxBinaryGeneticProgramming>("binary trees", Seed, Quiet)
                  : Run<ax::TAxGeneticProgramming>("float trees", Seed, Quiet);
}
