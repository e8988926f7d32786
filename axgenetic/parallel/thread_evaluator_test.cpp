#include "axgenetic/parallel/thread_evaluator.hpp"

#include <atomic>
#include <chrono>
#include <set>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "axgenetic/parallel/evaluation_test_support.hpp"

namespace ax {
namespace {

// Records the batches it is given and computes them in order.
class TRecordingEvaluator : public IAxFitnessEvaluator {
public:
    std::vector<std::vector<int>> Batches;
    void EvaluateFitnessBatch(TAxCustomGeneticComponent& Component,
                              const TAxFitnessBatch& Batch) override {
        Batches.emplace_back(Batch.Indexes.begin(), Batch.Indexes.end());
        for (std::size_t I = 0; I < Batch.Items.size(); ++I) {
            EXPECT_EQ(Batch.Items[I], Component.Population()->Items(Batch.Indexes[I]));
            Batch.Fitness[I] = Component.RunFitnessHandler(Batch.Items[I]);
        }
    }
};

TEST(FitnessBatch, HoldsTheStaleIndividualsThatNeedTheHandlerInPopulationOrder) {
    TAxGeneticAlgorithm GA;
    test::SetUp(GA);
    RandSeed(2);
    GA.Initialize();
    TRecordingEvaluator Evaluator;
    GA.SetFitnessEvaluator(&Evaluator);
    for (const int I : {10, 3})
        GA.Population()->Items(I)->Bits().Invert(0, 5);
    GA.EvaluateFitness();
    TAxGeneticAlgorithm Check; // the same chromosomes, evaluated one by one
    test::SetUp(Check);
    Check.SetPopulation(GA.Population());
    for (const int I : {3, 10}) {
        EXPECT_FALSE(GA.Population()->Items(I)->NeedFitness());
        Check.Population()->Items(I)->Modified();
        EXPECT_EQ(GA.Population()->Items(I)->Fitness(), Check.Population()->Items(I)->Fitness());
    }
    // Nothing stale, nothing handed over; no handler, no batch.
    GA.EvaluateFitness();
    GA.Population()->Items(0)->Modified();
    GA.SetOnEvaluateFitness(nullptr);
    GA.EvaluateFitness();
    EXPECT_EQ(Evaluator.Batches, (std::vector<std::vector<int>>{{3, 10}}));
    EXPECT_EQ(GA.Population()->Items(0)->Fitness(), 0);
}

TEST(ThreadEvaluator, RunsEqualTheSequentialRunForAnyNumberOfWorkers) {
    for (const std::uint64_t Seed : {1u, 7u}) {
        const test::TRunRecord Plain = test::RunWith<TAxGeneticAlgorithm>(nullptr, Seed);
        const test::TRunRecord Ruled = test::RunWith<test::TRuleGA>(nullptr, Seed);
        ASSERT_EQ(Plain.Generations.size(), 12u);
        ASSERT_NE(Plain, Ruled);
        for (const auto& [Workers, Chunk] : {std::pair{1, 0}, {2, 0}, {8, 0}, {8, 1}, {3, 100}}) {
            SCOPED_TRACE(testing::Message()
                         << Workers << " workers, chunk " << Chunk << ", seed " << Seed);
            TAxThreadEvaluator Evaluator(Workers, Chunk);
            EXPECT_EQ(Evaluator.Workers(), Workers);
            EXPECT_EQ(test::RunWith<TAxGeneticAlgorithm>(&Evaluator, Seed), Plain);
            EXPECT_EQ(test::RunWith<test::TRuleGA>(&Evaluator, Seed), Ruled);
        }
    }
}

TEST(ThreadEvaluator, EvaluatesEachStaleIndividualOnceOnSeveralThreads) {
    TAxGeneticAlgorithm GA;
    test::SetUp(GA);
    std::atomic<int> Calls{0};
    std::mutex Mutex;
    std::set<std::thread::id> Threads;
    const TAxFitnessEvent Handler = GA.OnEvaluateFitness();
    GA.SetOnEvaluateFitness([&](TObject* Sender, TAxIndividual* Item, TGAFitness& Fitness) {
        ++Calls;
        {
            std::lock_guard Lock(Mutex);
            Threads.insert(std::this_thread::get_id());
        }
        // Long enough that every worker gets a chunk.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        Handler(Sender, Item, Fitness);
    });
    TAxThreadEvaluator Evaluator(4);
    GA.SetFitnessEvaluator(&Evaluator);
    RandSeed(3);
    GA.Initialize();
    EXPECT_EQ(Calls, 41);
    EXPECT_EQ(Threads.size(), 4u);
    for (int I = 0; I < GA.Population()->Count(); ++I)
        EXPECT_FALSE(GA.Population()->Items(I)->NeedFitness());
    // Reading the fitness afterwards calls nothing more.
    GA.Population()->Items(5)->Fitness();
    EXPECT_EQ(Calls, 41);
}

TEST(ThreadEvaluator, AThrowingHandlerFailsOnlyItsGeneration) {
    const std::string Poison = test::ChoosePoison(5, 4);
    ASSERT_FALSE(Poison.empty());
    test::GPoison = Poison;
    TAxGeneticAlgorithm Sequential;
    test::SetUp(Sequential);
    const test::TRunRecord Expected = test::Run(Sequential, 5, 12);
    EXPECT_EQ(Expected.Error, test::PoisonMessage);
    EXPECT_EQ(Expected.Generations.size(), 3u);
    for (const int Workers : {1, 2, 8}) {
        SCOPED_TRACE(Workers);
        test::GPoison = Poison;
        TAxThreadEvaluator Evaluator(Workers, 1);
        TAxGeneticAlgorithm GA;
        test::SetUp(GA);
        GA.SetFitnessEvaluator(&Evaluator);
        EXPECT_TRUE(test::SameFailure(Expected, test::Run(GA, 5, 12)));
        EXPECT_EQ(GA.Generation(), 3);
        // The handler's own exception reaches the host; once its cause is gone the
        // component and the evaluator carry on.
        EXPECT_THROW(GA.EvaluateFitness(), std::runtime_error);
        test::GPoison.clear();
        EXPECT_NO_THROW(GA.Evolve());
        EXPECT_EQ(GA.Generation(), 4);
    }
}

} // namespace
} // namespace ax
