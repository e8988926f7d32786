// Fit a model to measured points. An enumeration gene picks the shape of the model and
// two float genes its parameters; the GA minimizes the squared error.
//
// Random bits need not be a valid value of these gene types, so the fitness handler
// repairs each chromosome before decoding it:
// - Float genes of 32 bits hold IEEE single-precision values, and random bits can be any
//   float (even NaN). Writing the value back through SetGeneAsFloat clamps it into the
//   gene's bounds (NaN becomes the minimum).
// - An enumeration gene has the bits its value count needs (4 values: 3 bits), so a
//   chromosome can hold an index past the values; reading it as an enumeration would
//   raise EGAException. The handler folds the index back into the values and writes it
//   with SetGeneAsEnumerationIndex, which raises for an index it cannot hold instead of
//   clamping it as SetGeneAsInteger would.
#include <cmath>
#include <cstdio>
#include <vector>

#include "demo.hpp"
#include "progress.hpp"

namespace {

struct TPoint {
    double X, Y;
};

double Model(const std::string& Shape, double A, double B, double X) {
    if (Shape == "line") return A * X + B;
    if (Shape == "parabola") return A * X * X + B;
    if (Shape == "cubic") return A * X * X * X + B;
    return A * std::sqrt(std::fabs(X)) + B; // "root"
}

ax::TAxGAGene* AddParameter(ax::TAxGeneticAlgorithm& GA, const char* Name, double Min, double Max) {
    ax::TAxGAGene* Gene = GA.Genes()->Add();
    Gene->SetName(Name);
    Gene->SetGeneType(ax::TGeneType::gtFloat);
    Gene->SetPreserveSignBit(true);
    Gene->SetSize(32);
    Gene->SetMaxValue(Max); // bounds last: size, type and sign reset them
    Gene->SetMinValue(Min);
    return Gene;
}

// The shape, made valid in the chromosome first.
std::string ShapeOf(ax::TAxGAGene& Gene, ax::TAxGABits& Bits) {
    const int Index = Gene.GeneAsEnumerationIndex(Bits);
    if (Index >= Gene.EnumerationCount())
        Gene.SetGeneAsEnumerationIndex(Bits, Index % Gene.EnumerationCount());
    return Gene.GeneAsEnumeration(Bits);
}

// The parameter's value, clamped into its bounds in the chromosome first.
double Parameter(ax::TAxGAGene& Gene, ax::TAxGABits& Bits) {
    Gene.SetGeneAsFloat(Bits, Gene.GeneAsFloat(Bits));
    return Gene.GeneAsFloat(Bits);
}

} // namespace

void RunCurveFit() {
    std::vector<TPoint> Points; // measured from 0.8 x^2 - 1.5
    for (int I = -15; I <= 15; ++I) {
        const double X = I * 0.2;
        Points.push_back({X, 0.8 * X * X - 1.5});
    }
    std::printf(
        "\n== Curve fit: which shape and coefficients explain %zu points? (minimize squared "
        "error) ==\n",
        Points.size());

    ax::TAxGeneticAlgorithm GA;
    ax::TAxGAGene* Shape = GA.Genes()->Add();
    Shape->SetName("shape");
    Shape->SetGeneType(ax::TGeneType::gtEnumeration);
    for (const char* Name : {"line", "parabola", "cubic", "root"})
        Shape->Enumerations().Add(Name); // each value sizes the gene anew
    ax::TAxGAGene* A = AddParameter(GA, "a", -4, 4);
    ax::TAxGAGene* B = AddParameter(GA, "b", -4, 4);
    GA.SetFitnessMethod(ax::TGAFitnessMethod::fmMinimize);
    GA.SetInitialPopulation(300);
    GA.SetCrossoverMethod(ax::TGACrossoverMethod::cmGeneBoundary);
    GA.SetMutationProbability(0.01);
    GA.SetSelectionMethod(ax::TGASelectionMethod::smTournament);

    GA.SetOnEvaluateFitness([&](ax::TAxGAIndividual& Item, ax::TGAFitness& Fitness) {
        ax::TAxGABits& Bits = Item.Bits();
        const std::string Kind = ShapeOf(*Shape, Bits);
        const double PA = Parameter(*A, Bits), PB = Parameter(*B, Bits);
        double Error = 0;
        for (const TPoint& P : Points) {
            const double D = Model(Kind, PA, PB, P.X) - P.Y;
            Error += D * D;
        }
        Fitness = Error;
    });
    ShowProgress(GA, 25);
    GA.Evolve(200);

    ax::TAxGAIndividual* Best = GA.FittestIndividual();
    std::printf("  fittest: squared error %.6f with", Best->Fitness());
    for (int I = 0; I < GA.Genes()->Count(); ++I) {
        ax::TAxGAGene* Gene = GA.Genes()->Items(I);
        std::printf(" %s=%s", Gene->Name().c_str(), Gene->AsString(Best->Bits()).c_str());
    }
    std::printf("   (the points came from parabola, a=0.8, b=-1.5)\n");
}
