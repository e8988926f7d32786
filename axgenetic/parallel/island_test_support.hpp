// Shared by the island model's thread and MPI tests: GA and GP islands (the evaluation
// tests' components), the record of every island's population and a few migration policies.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "axgenetic/parallel/evaluation_test_support.hpp"
#include "axgenetic/parallel/island_model.hpp"

namespace ax::test {

inline std::unique_ptr<TAxCustomGeneticComponent> MakeGA(int) {
    auto GA = std::make_unique<TAxGeneticAlgorithm>();
    SetUp(*GA);
    return GA;
}

inline std::unique_ptr<TAxCustomGeneticComponent> MakeGP(int) {
    auto GP = std::make_unique<TAxGeneticProgramming>();
    SetUp(*GP);
    return GP;
}

// GA islands of which island Failing throws Message from its handler after 150 evaluations.
inline TAxIslandFactory FailingGA(int Failing, std::string Message) {
    return [Failing, Message](int Island) {
        auto GA = MakeGA(Island);
        auto Handler = GA->OnEvaluateFitness();
        GA->SetOnEvaluateFitness(
            [=, Count = 0](TObject* Sender, TAxIndividual* Item, TGAFitness& Fitness) mutable {
                if (Island == Failing && ++Count > 150) throw std::runtime_error(Message);
                Handler(Sender, Item, Fitness);
            });
        return GA;
    };
}

// Every island's population (or island Only's): chromosomes and raw fitness, in
// population order. Islands of other ranks are left out.
inline std::vector<std::string> Record(const TAxIslandModel& Model, int Only = -1) {
    std::vector<std::string> Result;
    for (int I = 0; I < Model.Islands(); ++I) {
        if (!Model.Island(I) || (Only >= 0 && I != Only)) continue;
        auto& Population = *Model.Island(I)->Population();
        for (int K = 0; K < Population.Count(); ++K) {
            auto& Item = static_cast<TAxGAIndividual&>(*Population.Items(K));
            Result.push_back(Genome(Item) + " " + Text(Item.Fitness()));
        }
    }
    return Result;
}

inline TAxMigrationPolicy Policy(TAxIslandTopology Topology, TAxEmigrantSelection Selection,
                                 TAxImmigrantPlacement Placement, int Interval = 3) {
    TAxMigrationPolicy Result;
    Result.Interval = Interval;
    Result.Count = 3;
    Result.Topology = Topology;
    Result.Selection = Selection;
    Result.Placement = Placement;
    return Result;
}

inline const TAxMigrationPolicy Policies[] = {
    Policy(TAxIslandTopology::itRing, TAxEmigrantSelection::esBest, TAxImmigrantPlacement::ipWorst),
    Policy(TAxIslandTopology::itFullyConnected, TAxEmigrantSelection::esTournament,
           TAxImmigrantPlacement::ipRandom),
    Policy(TAxIslandTopology::itRandom, TAxEmigrantSelection::esBest,
           TAxImmigrantPlacement::ipRandom),
};

} // namespace ax::test
