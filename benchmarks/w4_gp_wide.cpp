// Workload W4, symbolic regression on wide data: the quartic x^4 + x^3 + x^2 + x fitted on
// 100,000 rows of x in [-1, 1] with the library's Add, Sub, Mul and protected Div, x and 1.
// Population 200, 10 generations, tournaments of 7, crossover 0.9, mutation 0.1, depth
// limit 17; fitness is the sum of absolute errors through the batch evaluator spread over
// row blocks on 1 and then 2 threads (TAxGPParallelBatchEvaluator).
//
// Prints, per thread count: the seconds per generation (initialization included in the
// run, not in the generations), the share of the run spent in fitness evaluation, the
// best error, and the microseconds the evaluator takes for the best program alone. Both
// runs use seed 1 and give the same best program.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "axgenetic/axgenetic.hpp"
#include "axgenetic/parallel/parallel_batch_evaluator.hpp"
#include "quartic_language.hpp"
#include "workload.hpp"

namespace {

using ax::TGAFloat;
constexpr int Rows = 100000;
constexpr int Generations = 10;

void Run(int Threads) {
    ax::TAxGPDataSet Data(Rows);
    auto X = Data.AddColumn("x");
    std::vector<TGAFloat> Target(Rows), Values(Rows);
    for (std::size_t I = 0; I < Rows; ++I) {
        const TGAFloat V = -1.0 + 2.0 * static_cast<double>(I) / (Rows - 1);
        X[I] = V;
        Target[I] = V * V * V * V + V * V * V + V * V + V;
    }
    ax::RandSeed(1);
    ax::TAxGeneticProgramming GP;
    workload::AddQuarticLanguage(*GP.Instructions());
    GP.SetInitialPopulation(200);
    GP.SetInitialDuplicatesRetries(0);
    GP.SetInitializationMethod(ax::TGPInitializationMethod::imRampedHalfAndHalf);
    GP.SetSelectionMethod(ax::TGASelectionMethod::smTournament);
    GP.SetTournamentField(7);
    GP.SetCrossoverProbability(0.9);
    GP.SetMutationProbability(0.1);
    GP.SetBloatStrategy(ax::TGPBloatStrategy::bsDepthLimit);
    GP.SetBloatLimit(17);

    ax::TAxGPParallelBatchEvaluator Evaluator(Threads);
    double EvalSeconds = 0;
    GP.SetOnEvaluateFitness([&](ax::TAxGPIndividual<TGAFloat>& Item, ax::TGAFitness& Fitness) {
        const double T0 = workload::Now();
        Evaluator.Evaluate(*Item.DNA(), Data, Values);
        double Error = 0;
        for (std::size_t I = 0; I < Rows; ++I)
            Error += std::fabs(Values[I] - Target[I]);
        Fitness = std::isfinite(Error) ? Error : 1e30;
        EvalSeconds += workload::Now() - T0;
    });
    const double Start = workload::Now();
    GP.Initialize();
    const double Generation0 = workload::Now();
    GP.Evolve(Generations);
    const double End = workload::Now();
    std::printf("threads %d: %.4f s per generation, evaluation share %.3f, best error %.6g\n",
                Threads, (End - Generation0) / Generations, EvalSeconds / (End - Start),
                GP.FittestIndividual()->Fitness());
    // The evaluator alone, without the error sum the handler adds on the caller's thread.
    const ax::TAxGPNode<TGAFloat>& Best = *GP.FittestIndividual()->DNA();
    constexpr int Repeats = 500;
    const double T0 = workload::Now();
    for (int I = 0; I < Repeats; ++I)
        Evaluator.Evaluate(Best, Data, Values);
    std::printf("threads %d: the best program alone (%d nodes): %.1f us per evaluation\n", Threads,
                Best.Size(), (workload::Now() - T0) / Repeats * 1e6);
}

} // namespace

int main() {
    std::printf("rows: %d, instruction set: %.*s\n", Rows,
                static_cast<int>(ax::ElementwiseInstructionSet().size()),
                ax::ElementwiseInstructionSet().data());
    Run(1);
    Run(2);
    return 0;
}
