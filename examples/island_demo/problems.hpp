// Two classic GP problems as island factories: the 6-multiplexer (two address bits choose
// one of four data bits; fitness: the wrong answers of 64, minimized) and Koza's quartic
// (y = x^4 + x^3 + x^2 + x at 20 points of [-1, 1]; fitness: the sum of absolute errors,
// minimized). Both use float programs, tournaments of 7, crossover 0.9 with two parents
// and subtree mutation 0.1, ramped half-and-half trees and a depth limit of 17. Shared by
// the island demo and the island benchmark.
#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "axgenetic/axgenetic.hpp"

namespace islands {

using ax::TGAFloat;
using TNode = ax::TAxGPNode<TGAFloat>;

// The settings both problems share.
inline void Configure(ax::TAxGeneticProgramming& GP, int Population) {
    GP.SetInitialPopulation(Population);
    GP.SetInitializationMethod(ax::TGPInitializationMethod::imRampedHalfAndHalf);
    GP.SetSelectionMethod(ax::TGASelectionMethod::smTournament);
    GP.SetTournamentField(7);
    GP.SetCrossoverProbability(0.9);
    GP.SetMutationProbability(0.1);
    GP.SetMutationWeights({1, 0, 0, 0, 0, 0});
    GP.SetOperations({ax::TGAGeneticOperation::goCrossover, ax::TGAGeneticOperation::goMutate});
    GP.SetTwoParentCrossover(true);
    GP.SetSelectionNonTerminalsProbability(0.5);
    GP.SetBloatStrategy(ax::TGPBloatStrategy::bsDepthLimit);
    GP.SetBloatLimit(17);
    GP.SetFitnessMethod(ax::TGAFitnessMethod::fmMinimize);
}

// The multiplexer's program runs once on all 64 cases at a time: bit c of a value is the
// value in case c, so And, Or, Not and If are bitwise operations on 64-bit words.
class TMultiplexer {
public:
    explicit TMultiplexer(ax::TAxGeneticProgramming& GP) {
        ax::TAxGPFloatInstructions& Set = *GP.Instructions();
        for (const auto& [Name, Arity] : {std::pair{"And", 2}, {"Or", 2}, {"Not", 1}, {"If", 3}}) {
            auto* Function = Set.Add();
            Function->SetName(Name);
            Function->SetArity(Arity);
            FFunctions.push_back(Function);
        }
        const char* Inputs[] = {"a0", "a1", "d0", "d1", "d2", "d3"};
        for (int Bit = 0; Bit < 6; ++Bit) {
            auto* Input = Set.Add();
            Input->SetName(Inputs[Bit]);
            FInputs.push_back(Input);
            std::uint64_t Mask = 0;
            for (int Case = 0; Case < 64; ++Case)
                if (Case >> Bit & 1) Mask |= std::uint64_t{1} << Case;
            FMasks[static_cast<std::size_t>(Bit)] = Mask;
        }
        for (int Case = 0; Case < 64; ++Case) {
            const int Address = (Case & 1) + 2 * (Case >> 1 & 1);
            if (Case >> (2 + Address) & 1) FTarget |= std::uint64_t{1} << Case;
        }
    }

    // Wrong answers of the 64.
    int Wrong(const TNode& Program) const { return std::popcount(Run(Program) ^ FTarget); }

private:
    std::uint64_t Run(const TNode& Node) const {
        const auto* Instruction = Node.Instruction();
        for (std::size_t I = 0; I < FInputs.size(); ++I)
            if (Instruction == FInputs[I]) return FMasks[I];
        const auto Child = [&](int Index) { return Run(*Node.GetChild(Index)); };
        if (Instruction == FFunctions[0]) return Child(0) & Child(1);
        if (Instruction == FFunctions[1]) return Child(0) | Child(1);
        if (Instruction == FFunctions[2]) return ~Child(0);
        const std::uint64_t Condition = Child(0);
        return (Condition & Child(1)) | (~Condition & Child(2));
    }

    std::vector<const ax::TAxGPInstruction<TGAFloat>*> FFunctions, FInputs;
    std::array<std::uint64_t, 6> FMasks{};
    std::uint64_t FTarget = 0;
};

inline std::unique_ptr<ax::TAxCustomGeneticComponent> Multiplexer(int Population) {
    auto GP = std::make_unique<ax::TAxGeneticProgramming>();
    auto Problem = std::make_shared<const TMultiplexer>(*GP);
    Configure(*GP, Population);
    GP->SetOnEvaluateFitness([Problem](ax::TAxGPIndividual<TGAFloat>& Item, ax::TGAFitness& F) {
        F = Problem->Wrong(*Item.DNA());
    });
    return GP;
}

// The quartic through the batch evaluator (one per island: it keeps scratch space).
inline std::unique_ptr<ax::TAxCustomGeneticComponent> Quartic(int Population) {
    constexpr int Points = 20;
    auto GP = std::make_unique<ax::TAxGeneticProgramming>();
    ax::TAxGPFloatInstructions& Set = *GP->Instructions();
    Set.AddElementwise("Add", ax::TGPElementwiseOperation::eoAdd);
    Set.AddElementwise("Sub", ax::TGPElementwiseOperation::eoSub);
    Set.AddElementwise("Mul", ax::TGPElementwiseOperation::eoMul);
    Set.AddElementwise("Div", ax::TGPElementwiseOperation::eoProtectedDiv, 1e-9);
    Set.Add()->SetName("x");
    auto* One = Set.Add();
    One->SetName("one");
    One->SetOperation(ax::TGPGeneticInstruction::gpConstant);
    One->SetValue(1.0);
    Configure(*GP, Population);

    struct TData {
        ax::TAxGPDataSet Rows{Points};
        std::vector<TGAFloat> Target, Values;
        ax::TAxGPBatchEvaluator Evaluator;
    };
    auto Data = std::make_shared<TData>();
    std::span<TGAFloat> X = Data->Rows.AddColumn("x");
    for (int I = 0; I < Points; ++I) {
        const TGAFloat V = -1.0 + 2.0 * I / (Points - 1);
        X[static_cast<std::size_t>(I)] = V;
        Data->Target.push_back(V * V * V * V + V * V * V + V * V + V);
    }
    Data->Values.resize(Points);
    GP->SetOnEvaluateFitness([Data](ax::TAxGPIndividual<TGAFloat>& Item, ax::TGAFitness& Fitness) {
        Data->Evaluator.Evaluate(*Item.DNA(), Data->Rows, Data->Values);
        double Error = 0;
        for (int I = 0; I < Points; ++I)
            Error += std::fabs(Data->Values[static_cast<std::size_t>(I)] -
                               Data->Target[static_cast<std::size_t>(I)]);
        // A program that overflows is as bad as a program can be, not undefined.
        Fitness = std::isfinite(Error) ? Error : 1e30;
    });
    return GP;
}

} // namespace islands
