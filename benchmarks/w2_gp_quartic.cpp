// Workload W2, Koza's quartic: find y = x^4 + x^3 + x^2 + x from the 20 points
// x_i = -1 + 2i/19 with Add, Sub, Mul, protected Div (1 when |denominator| < 1e-9), the
// variable x and the constant 1. Fitness is the sum of absolute errors, minimized.
// Population 1000, 50 generations, ramped half-and-half initialization of heights 2 to 6
// (a lone leaf has height 0, as Depth() counts), tournaments of 7, no elitism, crossover
// 0.9 on consecutive pairs at points drawn uniformly among the nodes, then subtree
// mutation 0.1 per child (a uniformly drawn node replaced by a new full tree of height 0
// to 2), and a depth limit of 17 that puts a parent back in place of an over-deep child.
// Fitness goes through the batch evaluator. This is the run commonly measured with other
// GP libraries, so the figures compare.
//
// Options: --seed N (default 1); --one-parent: both children of a pair start as copies
// of the first parent (the component's default crossover) instead of the two-parent
// crossover; --bloat NAME: another bloat strategy (size strategies get a limit of 50
// nodes, parsimony pressure a coefficient of 0.01 per node or level and the weighted
// fitness); --maximize: evolve the negated error (fitness methods that maximize);
// --sizes: also print the mean program size after generations 10, 25 and 50. A run whose
// programs average more than 1,000 nodes stops early and says so.
//
// Prints seconds (whole run, wall and CPU), the share of it spent in fitness evaluation, the nodes
// evaluated per second of evaluation (a node counts once per point), the mean size of the
// evaluated programs, the best error, whether the best program is within 0.01 of the
// target at every point, and the best program.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "axgenetic/axgenetic.hpp"
#include "quartic_language.hpp"
#include "workload.hpp"

namespace {

using ax::TGAFloat;
constexpr int Points = 20;
constexpr int Generations = 50;
constexpr float MaxMeanSize = 1000;

bool IsSizeStrategy(ax::TGPBloatStrategy S) {
    using enum ax::TGPBloatStrategy;
    return S == bsSizeLimit || S == bsTarpeianSize || S == bsUnfitSize || S == bsShrinkSize ||
           S == bsHoistSize || S == bsSizeParsimonyPressure;
}

bool IsParsimony(ax::TGPBloatStrategy S) {
    using enum ax::TGPBloatStrategy;
    return S == bsSizeParsimonyPressure || S == bsDepthParsimonyPressure ||
           S == bsCovariantSizeParsimonyPressure || S == bsCovariantDepthParsimonyPressure;
}

// The component with the initialization and subtree mutation of the usual quartic run;
// everything else is the library's.
class TQuarticGP : public ax::TAxGeneticProgramming {
public:
    static constexpr int MinHeight = 2, MaxHeight = 6, MaxMutationHeight = 2;
    using TAxGeneticProgramming::TAxGeneticProgramming;

    // The point, drawn uniformly among the nodes, gets a full tree of height 0 to 2 in its
    // slot. (The library's own subtree mutation grows a tree as deep as the point.)
    void DoSubtreeMutation(TIndividual& Individual) override {
        TNode* Point = Individual.SelectNode(0.5);
        if (!Point) return;
        TNodePtr Tree = DoInitializeFull(1 + ax::Random(MaxMutationHeight + 1));
        TNode* Parent = Point->Parent();
        if (!Parent) {
            Individual.AssignDNA(std::move(Tree));
            return;
        }
        const int Index = Parent->IndexOf(Point);
        Parent->ExtractChild(Point);
        Parent->InsertChild(Index, std::move(Tree));
        Individual.FlattenDNA();
    }

protected:
    // Heights ramped from 2 to 6 over the population, grow and full trees alternating.
    // The makers count levels (1 is a lone leaf), heights count edges; the library's ramp
    // starts at one level below the root, so it is not used here.
    int DoInitialize() override {
        const int Count = Population()->Count();
        for (int I = 0; I < Count; ++I) {
            const int Height = MinHeight + (MaxHeight - MinHeight + 1) * I / Count;
            Population()->Items(I)->AssignDNA(I % 2 ? Grow(Height, 0)
                                                    : DoInitializeFull(Height + 1));
        }
        return 0;
    }

private:
    // A grow tree of at most Height that has functions on its first MinHeight levels, so
    // that its height is at least MinHeight, like every tree of the ramp.
    TNodePtr Grow(int Height, int Level) {
        TNodePtr Node = Level == Height     ? GetTerminalNode()
                        : Level < MinHeight ? GetOperationNode()
                                            : GetNode();
        for (int I = 0; I < Node->Instruction()->Arity(); ++I)
            Node->InsertChild(I, Grow(Height, Level + 1));
        return Node;
    }
};

} // namespace

int main(int argc, char** argv) {
    std::uint64_t Seed = 1;
    bool OneParent = false, Maximize = false, Sizes = false;
    ax::TGPBloatStrategy Strategy = ax::TGPBloatStrategy::bsDepthLimit;
    for (int I = 1; I < argc; ++I) {
        const bool HasValue = I + 1 < argc;
        if (std::strcmp(argv[I], "--seed") == 0 && HasValue) {
            Seed = std::strtoull(argv[++I], nullptr, 10);
        } else if (std::strcmp(argv[I], "--one-parent") == 0) {
            OneParent = true;
        } else if (std::strcmp(argv[I], "--maximize") == 0) {
            Maximize = true;
        } else if (std::strcmp(argv[I], "--sizes") == 0) {
            Sizes = true;
        } else if (std::strcmp(argv[I], "--bloat") == 0 && HasValue) {
            const auto Value = ax::GetEnumValue<ax::TGPBloatStrategy>(argv[++I]);
            if (!Value) {
                std::fprintf(stderr, "unknown bloat strategy %s\n", argv[I]);
                return 2;
            }
            Strategy = *Value;
        } else {
            std::fprintf(stderr,
                         "usage: %s [--seed N] [--one-parent] [--bloat NAME] "
                         "[--maximize] [--sizes]\n",
                         argv[0]);
            return 2;
        }
    }

    ax::TAxGPDataSet Data(Points);
    std::span<TGAFloat> X = Data.AddColumn("x");
    std::vector<TGAFloat> Target(Points), Values(Points);
    for (int I = 0; I < Points; ++I) {
        const TGAFloat V = -1.0 + 2.0 * I / (Points - 1);
        X[static_cast<std::size_t>(I)] = V;
        Target[static_cast<std::size_t>(I)] = V * V * V * V + V * V * V + V * V + V;
    }

    const double Start = workload::Now();
    const std::clock_t StartCpu = std::clock();
    ax::RandSeed(Seed);
    TQuarticGP GP;
    workload::AddQuarticLanguage(*GP.Instructions());

    GP.SetInitialPopulation(1000);
    GP.SetInitialDuplicatesRetries(0);
    GP.SetSelectionMethod(ax::TGASelectionMethod::smTournament);
    GP.SetTournamentField(7);
    GP.SetCrossoverProbability(0.9);
    GP.SetMutationProbability(0.1);
    GP.SetMutationWeights({1, 0, 0, 0, 0, 0});
    GP.SetOperations({ax::TGAGeneticOperation::goCrossover, ax::TGAGeneticOperation::goMutate});
    GP.SetTwoParentCrossover(!OneParent);
    // With 0.5 a drawn node is kept with the same chance whether it is a function or a
    // terminal, so crossover points are uniform among the nodes.
    GP.SetSelectionNonTerminalsProbability(0.5);
    GP.SetBloatStrategy(Strategy);
    GP.SetBloatLimit(IsSizeStrategy(Strategy) ? 50 : 17);
    if (IsParsimony(Strategy)) GP.SetParsimonyCoefficient(0.01);
    const bool Weighted = IsParsimony(Strategy);
    GP.SetFitnessMethod(Maximize ? (Weighted ? ax::TGAFitnessMethod::fmWeightedMaximize
                                             : ax::TGAFitnessMethod::fmMaximize)
                                 : (Weighted ? ax::TGAFitnessMethod::fmWeightedMinimize
                                             : ax::TGAFitnessMethod::fmMinimize));

    ax::TAxGPBatchEvaluator Evaluator;
    double EvalSeconds = 0, Nodes = 0, Evaluations = 0;
    GP.SetOnEvaluateFitness([&](const ax::TAxGPIndividual<TGAFloat>& Item,
                                ax::TGAFitness& Fitness) {
        const double T0 = workload::Now();
        const ax::TAxGPNode<TGAFloat>& Root = *Item.DNA();
        Evaluator.Evaluate(Root, Data, Values);
        double Error = 0;
        for (int I = 0; I < Points; ++I)
            Error += std::fabs(Values[static_cast<std::size_t>(I)] -
                               Target[static_cast<std::size_t>(I)]);
        // A program that overflows is as bad as a program can be, not undefined.
        if (!std::isfinite(Error)) Error = 1e30;
        Fitness = Maximize ? -Error : Error;
        EvalSeconds += workload::Now() - T0;
        Nodes += static_cast<double>(Root.Size()) * Points;
        ++Evaluations;
    });
    std::vector<float> MeanSizes;
    GP.SetOnEvolve([&](ax::TObject*) {
        const int G = GP.Generation();
        if (G == 10 || G == 25 || G == 50) MeanSizes.push_back(GP.GetAvgProgramSize());
        // Unchecked growth doubles programs within a few generations; past this mean size
        // the populations would take gigabytes, so the run ends there.
        if (GP.GetAvgProgramSize() > MaxMeanSize) GP.SetHalt(true);
    });

    GP.Initialize();
    GP.Evolve(Generations);
    const double Seconds = workload::Now() - Start;

    ax::TAxGPIndividual<TGAFloat>* Best = GP.FittestIndividual();
    const double BestError = std::fabs(Best->Fitness());
    Evaluator.Evaluate(*Best->DNA(), Data, Values);
    bool Solved = true;
    for (int I = 0; I < Points; ++I)
        Solved = Solved && std::fabs(Values[static_cast<std::size_t>(I)] -
                                     Target[static_cast<std::size_t>(I)]) < 0.01;

    std::printf("seconds: %.4f\n", Seconds);
    std::printf("cpu seconds: %.4f\n",
                static_cast<double>(std::clock() - StartCpu) / CLOCKS_PER_SEC);
    std::printf("evaluation share: %.3f\n", EvalSeconds / Seconds);
    std::printf("nodes/s: %.3g\n", Nodes / EvalSeconds);
    std::printf("mean size: %.1f\n", Nodes / Points / Evaluations);
    std::printf("best error: %.6g\n", BestError);
    std::printf("solved: %s\n", Solved ? "yes" : "no");
    if (GP.Generation() < Generations)
        std::printf("stopped: generation %d, mean size %.0f\n", GP.Generation(),
                    GP.GetAvgProgramSize());
    if (Sizes) {
        std::printf("sizes:");
        for (float S : MeanSizes)
            std::printf(" %.1f", S);
        std::printf("\n");
    }
    std::printf("program: %s\n", Best->DNA()->ToString().c_str());
    return 0;
}
