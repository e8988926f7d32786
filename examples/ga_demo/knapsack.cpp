// The 0/1 knapsack problem: one Boolean gene per item says whether the item is packed.
// The GA's best packing is printed beside the exact optimum found by dynamic programming.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "demo.hpp"
#include "progress.hpp"

namespace {

struct TItem {
    int Weight;
    int Value;
};

// The best total value of any packing within Capacity (classic dynamic programming).
int OptimalValue(const std::vector<TItem>& Items, int Capacity) {
    std::vector<int> Best(static_cast<std::size_t>(Capacity) + 1, 0);
    for (const TItem& Item : Items)
        for (int C = Capacity; C >= Item.Weight; --C)
            Best[static_cast<std::size_t>(C)] =
                std::max(Best[static_cast<std::size_t>(C)],
                         Best[static_cast<std::size_t>(C - Item.Weight)] + Item.Value);
    return Best[static_cast<std::size_t>(Capacity)];
}

} // namespace

void RunKnapsack() {
    constexpr int ItemCount = 60;
    std::vector<TItem> Items;
    int TotalWeight = 0;
    for (int I = 0; I < ItemCount; ++I) {
        Items.push_back({5 + ax::Random(36), 10 + ax::Random(51)});
        TotalWeight += Items.back().Weight;
    }
    const int Capacity = TotalWeight / 3;
    std::printf("\n== 0/1 knapsack: %d items, capacity %d of total weight %d (maximize value) ==\n",
                ItemCount, Capacity, TotalWeight);

    ax::TAxGeneticAlgorithm GA;
    for (int I = 0; I < ItemCount; ++I) {
        ax::TAxGAGene* Gene = GA.Genes()->Add();
        Gene->SetName(ax::Format("item %d", {I + 1}));
        Gene->SetGeneType(ax::TGeneType::gtBoolean);
        Gene->SetSize(1);
    }
    GA.SetFitnessMethod(ax::TGAFitnessMethod::fmMaximize);
    GA.SetInitialPopulation(300);
    GA.SetCrossoverMethod(ax::TGACrossoverMethod::cmGeneBoundary);
    GA.SetMutationProbability(1.0 / ItemCount);
    GA.SetSelectionMethod(ax::TGASelectionMethod::smTournament);
    GA.SetTournamentField(4);

    ax::TAxGAGenes& Genes = *GA.Genes();
    // Total weight and value of the packed items.
    auto Pack = [&](const ax::TAxGABits& Bits, int& Weight, int& Value) {
        Weight = Value = 0;
        for (int I = 0; I < ItemCount; ++I)
            if (Genes[I]->GeneAsBoolean(Bits)) {
                Weight += Items[static_cast<std::size_t>(I)].Weight;
                Value += Items[static_cast<std::size_t>(I)].Value;
            }
    };
    // The packed value, minus a penalty for every unit of weight over the capacity.
    GA.SetOnEvaluateFitness([&](ax::TAxGAIndividual& Item, ax::TGAFitness& Fitness) {
        int Weight = 0, Value = 0;
        Pack(Item.Bits(), Weight, Value);
        Fitness = Value - 10 * std::max(0, Weight - Capacity);
    });
    ShowProgress(GA, 50);
    GA.Evolve(500);

    ax::TAxGAIndividual* Best = GA.FittestIndividual();
    int Weight = 0, Value = 0;
    Pack(Best->Bits(), Weight, Value);
    const int Optimum = OptimalValue(Items, Capacity);
    std::printf(
        "  GA best value %d (weight %d of %d); exact optimum by dynamic programming %d (%.1f%%)\n",
        Value, Weight, Capacity, Optimum, 100.0 * Value / Optimum);
    std::printf("  packed:");
    for (int I = 0; I < ItemCount; ++I)
        if (Genes[I]->AsString(Best->Bits()) == "True") std::printf(" %d", I + 1);
    std::printf("\n");
}
