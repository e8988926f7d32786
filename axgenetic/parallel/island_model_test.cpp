#include "axgenetic/parallel/island_model.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numeric>

#include "axgenetic/parallel/island_test_support.hpp"

namespace ax::test {
namespace {

TEST(IslandModel, SynchronousRunsRepeatOnAnyNumberOfThreads) {
    for (const TAxMigrationPolicy& Migration : Policies) {
        std::vector<std::string> Expected;
        std::vector<TAxIslandResult> ExpectedResults;
        for (const int Threads : {1, 2, 3}) {
            SCOPED_TRACE(::testing::Message() << "topology " << static_cast<int>(Migration.Topology)
                                              << ", threads " << Threads);
            RandSeed(99);
            const TRandomGeneratorState Host = GetRandomState();
            TAxThreadIslands Model(4, MakeGA, Threads);
            Model.SetMigration(Migration);
            Model.Initialize(2024);
            Model.Evolve(7); // stops between migrations: the next call goes on from there
            Model.Evolve(5);
            EXPECT_EQ(GetRandomState(), Host); // the host's generator is its own
            EXPECT_EQ(Model.Generation(), 12);
            if (Threads == 1) {
                Expected = Record(Model);
                ExpectedResults = Model.Results();
            } else {
                EXPECT_EQ(Record(Model), Expected);
                EXPECT_EQ(Model.Results(), ExpectedResults);
            }
        }
    }
}

// Two islands of a ring: after generation 4 each island's 3 best take the places of the
// other's 3 worst (the worst first), with their fitness; nothing else changes.
TEST(IslandModel, MigrationPutsTheBestOverTheWorst) {
    using TPopulation = std::vector<std::pair<double, std::string>>;
    std::vector<TPopulation> Before(2);
    const auto Snapshot = [](TAxCustomGeneticComponent& Component) {
        TPopulation Result;
        for (int K = 0; K < Component.Population()->Count(); ++K) {
            auto& Item = static_cast<TAxGAIndividual&>(*Component.Population()->Items(K));
            Result.emplace_back(Item.Fitness(), Genome(Item));
        }
        return Result;
    };
    TAxThreadIslands Model(
        2,
        [&](int Island) {
            auto GA = MakeGA(Island);
            GA->SetOnEvolve([&, Island, &Component = *GA](TObject*) {
                if (Component.Generation() == 4) Before[Island] = Snapshot(Component);
            });
            return GA;
        },
        2);
    Model.SetMigration(Policy(TAxIslandTopology::itRing, TAxEmigrantSelection::esBest,
                              TAxImmigrantPlacement::ipWorst, 4));
    Model.Initialize(5);
    Model.Evolve(4);
    // Population indexes, fittest first, equals in population order.
    const auto Ranking = [](const TPopulation& Population) {
        std::vector<std::size_t> Order(Population.size());
        std::iota(Order.begin(), Order.end(), 0);
        std::stable_sort(Order.begin(), Order.end(), [&](std::size_t A, std::size_t B) {
            return Population[A].first < Population[B].first;
        });
        return Order;
    };
    for (int To = 0; To < 2; ++To) {
        const TPopulation& From = Before[static_cast<std::size_t>(1 - To)];
        TPopulation Expected = Before[static_cast<std::size_t>(To)];
        const auto Best = Ranking(From);
        auto Worst = Ranking(Expected);
        std::reverse(Worst.begin(), Worst.end());
        for (std::size_t K = 0; K < 3; ++K)
            Expected[Worst[K]] = From[Best[K]];
        EXPECT_EQ(Snapshot(*Model.Island(To)), Expected) << "island " << To;
    }
    EXPECT_EQ(Model.Results()[0].BestFitness, Model.Results()[1].BestFitness);
}

// Without migration the islands do not touch one another, not even through the
// generator: island 0 of three on three threads runs as the only island would.
TEST(IslandModel, IslandsWithoutMigrationRunApart) {
    TAxMigrationPolicy Apart;
    Apart.Interval = 0;
    TAxThreadIslands Three(3, MakeGA, 3), One(1, MakeGA);
    for (TAxIslandModel* Model :
         {static_cast<TAxIslandModel*>(&Three), static_cast<TAxIslandModel*>(&One)}) {
        Model->SetMigration(Apart);
        Model->Initialize(11);
        Model->Evolve(8);
    }
    EXPECT_EQ(Record(Three, 0), Record(One));
    EXPECT_NE(Record(Three, 1), Record(Three, 0));
}

TEST(IslandModel, TopologyNamesTheNeighbours) {
    TAxThreadIslands Model(4, MakeGA);
    using V = std::vector<int>;
    Model.SetMigration(Policy(TAxIslandTopology::itRing, {}, {}));
    EXPECT_EQ(Model.Destinations(0, 3), V{1});
    EXPECT_EQ(Model.Destinations(3, 3), V{0});
    Model.SetMigration(Policy(TAxIslandTopology::itFullyConnected, {}, {}));
    EXPECT_EQ(Model.Destinations(2, 3), (V{0, 1, 3}));
    Model.SetMigration(Policy(TAxIslandTopology::itRandom, {}, {}));
    std::vector<V> Tables;
    for (int Generation = 1; Generation <= 10; ++Generation) {
        V Table;
        for (int I = 0; I < 4; ++I) {
            const V Targets = Model.Destinations(I, Generation);
            ASSERT_EQ(Targets.size(), 1u);
            EXPECT_NE(Targets[0], I);
            EXPECT_TRUE(Targets[0] >= 0 && Targets[0] < 4);
            EXPECT_EQ(Model.Destinations(I, Generation), Targets); // drawn alike every time
            Table.push_back(Targets[0]);
        }
        Tables.push_back(Table);
    }
    std::sort(Tables.begin(), Tables.end());
    EXPECT_GT(std::unique(Tables.begin(), Tables.end()) - Tables.begin(), 3);
    // A single island has nobody to send to.
    TAxThreadIslands Alone(1, MakeGA);
    EXPECT_TRUE(Alone.Destinations(0, 3).empty());
    EXPECT_THROW(Model.SetMigration(Policy(TAxIslandTopology::itRing, {}, {}, -1)), EGAException);
}

TEST(IslandModel, CheckpointResumesTheSameRun) {
    const std::string File = ::testing::TempDir() + "islands.checkpoint";
    const TAxMigrationPolicy Migration = Policies[1];
    TAxThreadIslands Model(3, MakeGA, 2);
    Model.SetMigration(Migration);
    Model.Initialize(77);
    Model.Evolve(5);
    Model.SaveCheckpoint(File);
    Model.Evolve(6);

    TAxThreadIslands Resumed(3, MakeGA, 3);
    Resumed.SetMigration(Migration);
    Resumed.LoadCheckpoint(File);
    EXPECT_EQ(Resumed.Generation(), 5);
    Resumed.Evolve(6);
    EXPECT_EQ(Record(Resumed), Record(Model));
    EXPECT_EQ(Resumed.Results(), Model.Results());

    // A damaged file changes nothing.
    std::ifstream In(File, std::ios::binary);
    std::string Text{std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
    In.close();
    for (const std::string& Damaged : {Text.substr(0, Text.size() - 1), Text + "x",
                                       std::string("axgenetic-islands 1\nislands 3\nseed 1\n")}) {
        std::ofstream(File, std::ios::binary) << Damaged;
        EXPECT_THROW(Resumed.LoadCheckpoint(File), EReadError);
        EXPECT_EQ(Resumed.Generation(), 11);
        EXPECT_EQ(Record(Resumed), Record(Model));
    }
    std::filesystem::remove(File);
}

TEST(IslandModel, FailingIslandStopsTheRunWithItsMessage) {
    for (const bool Synchronous : {true, false}) {
        TAxThreadIslands Model(4, FailingGA(2, "island two failed"), 2);
        Model.SetSynchronous(Synchronous);
        Model.Initialize(1);
        try {
            Model.Evolve(20);
            ADD_FAILURE() << "no exception";
        } catch (const EAxIslandError& E) {
            EXPECT_EQ(E.Island(), 2);
            EXPECT_STREQ(E.what(), "island two failed");
        }
        EXPECT_EQ(Model.Generation(), 0);
        EXPECT_THROW(Model.Evolve(1), EGAException); // no run to go on with
    }
}

} // namespace
} // namespace ax::test
