// The smallest host of an installed axgenetic: a genetic algorithm that finds the
// integer x in 0..1023 closest to 700.
#include <iostream>

#include "axgenetic/axgenetic.hpp"

int main() {
    ax::RandSeed(1); // every run repeats for a seed
    ax::TAxGeneticAlgorithm GA;
    ax::TAxGAGene* X = GA.Genes()->Add(); // one 10-bit integer gene: the chromosome grows to fit
    X->SetGeneType(ax::TGeneType::gtInteger);
    X->SetSize(10);
    GA.SetOnEvaluateFitness([X](ax::TAxGAIndividual& Item, ax::TGAFitness& Fitness) {
        const int V = X->GeneAsInteger(Item.Bits());
        Fitness = (V - 700) * (V - 700); // minimized (the default FitnessMethod)
    });
    GA.Evolve(50);
    std::cout << "x = " << X->AsString(GA.FittestIndividual()->Bits()) << "\n";
    return 0;
}
