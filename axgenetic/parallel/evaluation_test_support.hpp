// Shared by the thread and MPI evaluator tests: a small GA and a small GP symbolic
// regression whose fitness is a pure function of the genome, and the record of a seeded run
// (every generation's statistics and the final population) that two evaluation paths must
// reproduce exactly.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "axgenetic/ga/genetic_algorithm.hpp"
#include "axgenetic/gp/evolution/gp_components.hpp"
#include "axgenetic/platform/random.hpp"

namespace ax::test {

// The genome (chromosome or program text) on which the fitness handler throws; empty: none.
inline std::string GPoison;
// When set (sequential runs only), every evaluated chromosome is appended.
inline std::vector<std::string>* GEvaluated = nullptr;
inline constexpr const char* PoisonMessage = "fitness undefined for this chromosome";

// 6 integer genes of 10 bits; the fitness is the squared distance to a target. An odd
// population exercises the one-child breeding step too.
inline void SetUp(TAxGeneticAlgorithm& GA) {
    for (int I = 0; I < 6; ++I) {
        TAxGAGene* Gene = GA.Genes()->Add();
        Gene->SetGeneType(TGeneType::gtInteger);
        Gene->SetSize(10);
    }
    GA.SetInitialPopulation(41);
    GA.SetOnEvaluateFitness([&GA](TObject*, TAxIndividual* Item, TGAFitness& Fitness) {
        auto& Bits = static_cast<TAxGAIndividual*>(Item)->Bits();
        if (GEvaluated) GEvaluated->push_back(Bits.ToString());
        if (!GPoison.empty() && Bits.ToString() == GPoison) throw std::runtime_error(PoisonMessage);
        for (int I = 0; I < GA.Genes()->Count(); ++I) {
            const double D = GA.Genes()->Items(I)->GeneAsInteger(Bits) - 100.0 * I;
            Fitness += D * D;
        }
    });
}

// The error against x*x - x + 1 at a few points, plus a little for the program's size,
// which reads the tree's cached measures on whichever thread evaluates.
inline void GPFitness(TAxGPIndividual<TGAFloat>& Item, TGAFitness& Fitness) {
    const std::string Program = Item.DNA()->ToString();
    if (GEvaluated) GEvaluated->push_back(Program);
    if (!GPoison.empty() && Program == GPoison) throw std::runtime_error(PoisonMessage);
    TAxGPContext<TGAFloat> Context;
    for (const double X : {-2.0, -0.5, 1.0, 3.0}) {
        Context.Values().AddOrSetValue("x", X);
        Fitness += std::fabs(Item.Execute(Context) - (X * X - X + 1));
    }
    Fitness += 0.001 * (Item.DNA()->Size() + Item.DNA()->Depth());
}

// Add, Sub and Mul over x and a constant (whose mutation draws); GPFitness as a typed
// handler.
inline void SetUp(TAxGeneticProgramming& GP) {
    for (const char* Name : {"Add", "Sub", "Mul", "x", "c"}) {
        auto* I = GP.Instructions()->Add();
        I->SetName(Name);
        if (Name[0] == 'c') {
            I->SetOperation(TGPGeneticInstruction::gpConstant);
            I->SetValue(1.0);
        } else if (Name[0] != 'x') {
            I->SetArity(2);
            I->SetOnExecute([Op = Name[0]](TObject*, TAxGPNode<TGAFloat>& N,
                                           TAxGPContext<TGAFloat>& C, TGAFloat& R) {
                const TGAFloat A = N.GetChild(0)->Execute(C), B = N.GetChild(1)->Execute(C);
                R = Op == 'A' ? A + B : Op == 'S' ? A - B : A * B;
            });
        }
    }
    GP.SetInitialPopulation(31);
    GP.SetInitializationMethod(TGPInitializationMethod::imRampedHalfAndHalf);
    GP.SetMutateConstantWeight(3);
    GP.SetOnConstantMutation(
        [](TObject*, TAxGPNode<TGAFloat>& Node) { Node.SetValue(Node.Value() + Random() - 0.5); });
    GP.SetOnEvaluateFitness(GPFitness);
}

inline std::string Genome(TAxGAIndividual& Item) {
    return Item.Bits().ToString();
}
inline std::string Genome(TAxGPIndividual<TGAFloat>& Item) {
    return Item.DNA()->ToString();
}

inline std::string Text(double Value) {
    char Buffer[32];
    std::snprintf(Buffer, sizeof Buffer, "%.17g", Value);
    return Buffer;
}

// What a run leaves behind; equal records mean equal runs.
struct TRunRecord {
    std::vector<std::string> Generations; // the statistics after each generation
    std::vector<std::string> Population;  // the final chromosomes
    std::vector<std::string> Fitness;     // their fitness, or "stale"
    std::string Error;                    // the message of the exception that ended it
    bool operator==(const TRunRecord&) const = default;
};

// Seeds the generator and runs Generations generations, recording each one.
template <class Component> TRunRecord Run(Component& GA, std::uint64_t Seed, int Generations) {
    TRunRecord Record;
    GA.SetOnEvolve([&](TObject*) {
        Record.Generations.push_back(Text(GA.MinFitness()) + " " + Text(GA.MaxFitness()) + " " +
                                     Text(GA.AvgFitness()) + " " + Text(GA.AvgWeightedFitness()) +
                                     " " + std::to_string(GA.FittestIndividual()->Index()));
    });
    RandSeed(Seed);
    try {
        GA.Evolve(Generations);
    } catch (const std::exception& E) {
        Record.Error = E.what();
    }
    GA.SetOnEvolve(nullptr);
    for (int I = 0; I < GA.Population()->Count(); ++I) {
        auto* Item = GA.Population()->Items(I);
        Record.Population.push_back(Genome(*Item));
        // Reading a stale fitness would evaluate it.
        Record.Fitness.push_back(Item->NeedFitness() ? "stale" : Text(Item->Fitness()));
    }
    return Record;
}

// A genome first evaluated in the statistics pass of generation Generation of the seeded
// run: poisoning it makes that generation fail.
template <class Component = TAxGeneticAlgorithm>
std::string ChoosePoison(std::uint64_t Seed, int Generation) {
    std::vector<std::string> Before, During;
    Component GA;
    SetUp(GA);
    GEvaluated = &Before;
    RandSeed(Seed);
    GA.Evolve(Generation - 1);
    GEvaluated = &During;
    GA.Evolve();
    GEvaluated = nullptr;
    for (const std::string& Chromosome : During)
        if (std::find(Before.begin(), Before.end(), Chromosome) == Before.end()) return Chromosome;
    return {};
}

// Decides some fitness values itself, with a draw, before the handler, as a component
// with an unfit rule does; the draws must stay on the caller's thread, in population order.
class TRuleGA : public TAxGeneticAlgorithm {
public:
    using TAxGeneticAlgorithm::EvaluateFitness;
    TGAFitness EvaluateFitness(TAxIndividual* Item, bool Weighted) override {
        if (!Weighted && Random() < 0.25) return UnfitFitness();
        return TAxGeneticAlgorithm::EvaluateFitness(Item, Weighted);
    }
};

// Run of 12 generations of a fresh component of class GA, through Evaluator when given.
template <class GA> TRunRecord RunWith(IAxFitnessEvaluator* Evaluator, std::uint64_t Seed) {
    GA Algorithm;
    SetUp(Algorithm);
    Algorithm.SetFitnessEvaluator(Evaluator);
    return Run(Algorithm, Seed, 12);
}

// A run that failed through an evaluator matches the sequential one that failed on the
// same individual: the same generations, chromosomes and message, and every fitness either
// the same or still stale (the batch's values are all discarded), the poisoned one stale.
inline bool SameFailure(const TRunRecord& Sequential, const TRunRecord& Batched) {
    if (Sequential.Error.empty() || Sequential.Generations != Batched.Generations ||
        Sequential.Population != Batched.Population || Sequential.Error != Batched.Error)
        return false;
    for (std::size_t I = 0; I < Batched.Fitness.size(); ++I) {
        if (Batched.Fitness[I] != "stale" && Batched.Fitness[I] != Sequential.Fitness[I])
            return false;
        if (Batched.Population[I] == GPoison && Batched.Fitness[I] != "stale") return false;
    }
    return true;
}

} // namespace ax::test
