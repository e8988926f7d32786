// Tree evaluation speed of the GP engine on a Koza-style symbolic regression workload:
// 1000 random trees (Add, Sub, Mul, protected Div, the variable x and three constants;
// ramped half-and-half, depths 2 to 6) evaluated over 20 points, once through Execute (the
// per-node path, handlers evaluating their children) and once through the batch
// evaluator; then the cost of copying a tree. Prints "per-node path: N nodes/s",
// "batch path: N nodes/s", "clone: N ns/node" and the heap allocations of one batch
// evaluation after warm-up. Then the same trees over 1,000 points on the batch path, built
// from the library's operations (vectorized for the processor, "batch path 1000 points")
// and from the host's lambdas as above ("... host lambdas"). A node counts once per point
// it is evaluated at.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "axgenetic/axgenetic.hpp"

#include "allocation_counter.hpp"

namespace {

using namespace ax;
using TNode = TAxGPNode<TGAFloat>;
using TCtx = TAxGPContext<TGAFloat>;
using Clock = std::chrono::steady_clock;

constexpr int Population = 1000;
constexpr int Points = 20;
constexpr int Repeats = 5;

struct TWorkload {
    TAxGPFloatInstructions Set{nullptr};
    std::vector<TAxGPInstruction<TGAFloat>*> Functions, Terminals;
    std::vector<std::unique_ptr<TNode>> Trees;

    // Library: the functions are the library's operations instead of the host's lambdas;
    // the trees are the same.
    explicit TWorkload(bool Library = false) {
        if (Library) {
            Set.AddElementwise("Add", TGPElementwiseOperation::eoAdd);
            Set.AddElementwise("Sub", TGPElementwiseOperation::eoSub);
            Set.AddElementwise("Mul", TGPElementwiseOperation::eoMul);
            Set.AddElementwise("Div", TGPElementwiseOperation::eoProtectedDiv, 1e-9);
        } else {
            Set.AddElementwise("Add", [](TGAFloat A, TGAFloat B) { return A + B; });
            Set.AddElementwise("Sub", [](TGAFloat A, TGAFloat B) { return A - B; });
            Set.AddElementwise("Mul", [](TGAFloat A, TGAFloat B) { return A * B; });
            Set.AddElementwise(
                "Div", [](TGAFloat A, TGAFloat B) { return std::fabs(B) < 1e-9 ? 1.0 : A / B; });
        }
        for (int I = 0; I < Set.Count(); ++I)
            Functions.push_back(Set.Items(I));
        auto* X = Set.Add();
        X->SetName("x");
        Terminals.push_back(X);
        const std::pair<const char*, double> Constants[] = {
            {"one", 1.0}, {"two", 2.0}, {"half", 0.5}};
        for (const auto& [Name, Value] : Constants) {
            auto* I = Set.Add();
            I->SetName(Name);
            I->SetOperation(TGPGeneticInstruction::gpConstant);
            I->SetValue(Value);
            Terminals.push_back(I);
        }
        RandSeed(42);
        for (int I = 0; I < Population; ++I)
            Trees.push_back(Build(2 + I % 5, I % 2 == 0));
    }

    template <class List> static TAxGPInstruction<TGAFloat>* Pick(const List& From) {
        return From[static_cast<std::size_t>(Random(static_cast<int>(From.size())))];
    }
    // A full tree of that depth, or a grown one no deeper.
    std::unique_ptr<TNode> Build(int Depth, bool Full) {
        const bool Leaf = Depth == 0 || (!Full && Random(2) == 0);
        auto Node = std::make_unique<TAxGPFloatNode>(Pick(Leaf ? Terminals : Functions));
        if (!Leaf)
            for (int A = 0; A < 2; ++A)
                Node->AddChild(Build(Depth - 1, Full));
        return Node;
    }
};

template <class F> double BestSeconds(F Run) {
    double Best = 1e300;
    for (int R = 0; R < Repeats; ++R) {
        const auto Start = Clock::now();
        Run();
        Best = std::min(Best, std::chrono::duration<double>(Clock::now() - Start).count());
    }
    return Best;
}

// Nodes per second of the batch path over Rows points for W's trees.
double WideBatch(TWorkload& W, int Rows, double NodesPerPoint) {
    TAxGPDataSet Data(Rows);
    auto X = Data.AddColumn("x");
    for (int P = 0; P < Rows; ++P)
        X[static_cast<std::size_t>(P)] = -1.0 + 2.0 * P / (Rows - 1);
    TAxGPBatchEvaluator Evaluator;
    std::vector<TGAFloat> Out(static_cast<std::size_t>(Rows));
    volatile double Sink = 0;
    const double Seconds = BestSeconds([&] {
        double Sum = 0;
        for (const auto& T : W.Trees) {
            Evaluator.Evaluate(*T, Data, Out);
            Sum += Out[0];
        }
        Sink = Sum;
    });
    (void)Sink;
    return NodesPerPoint * Rows / Seconds;
}

} // namespace

int main() {
    TWorkload W;
    long long Nodes = 0;
    for (const auto& T : W.Trees)
        Nodes += T->Size();
    const double NodeEvaluations = static_cast<double>(Nodes) * Points;

    TAxGPDataSet Data(Points);
    auto X = Data.AddColumn("x");
    for (int P = 0; P < Points; ++P)
        X[static_cast<std::size_t>(P)] = -1.0 + 0.1 * P;

    volatile double Sink = 0;
    TCtx Context;
    Context.Values().Add("x", 0.0);
    const std::string Key = "x";
    const double PerNode = BestSeconds([&] {
        double Sum = 0;
        for (const auto& T : W.Trees)
            for (int P = 0; P < Points; ++P) {
                Context.Values()[Key] = X[static_cast<std::size_t>(P)];
                Sum += T->Execute(Context);
            }
        Sink = Sum;
    });

    TAxGPBatchEvaluator Evaluator;
    std::vector<TGAFloat> Out(Points);
    auto BatchPass = [&] {
        double Sum = 0;
        for (const auto& T : W.Trees) {
            Evaluator.Evaluate(*T, Data, Out);
            Sum += Out[0];
        }
        Sink = Sum;
    };
    BatchPass(); // warm-up sizes the evaluator's buffers
    const long long Before = axbench::AllocationCount();
    BatchPass();
    const double AllocsPerEvaluation =
        static_cast<double>(axbench::AllocationCount() - Before) / static_cast<double>(Population);
    const double Batch = BestSeconds(BatchPass);

    const double Clone = BestSeconds([&] {
        for (const auto& T : W.Trees)
            Sink = T->Clone()->Size();
    });

    std::printf("trees: %d, nodes: %lld (mean size %.1f), points: %d\n", Population, Nodes,
                static_cast<double>(Nodes) / Population, Points);
    std::printf("per-node path: %.3g nodes/s\n", NodeEvaluations / PerNode);
    std::printf("batch path: %.3g nodes/s\n", NodeEvaluations / Batch);
    std::printf("clone: %.1f ns/node\n", Clone * 1e9 / static_cast<double>(Nodes));
    std::printf("batch allocations per evaluation after warm-up: %g\n", AllocsPerEvaluation);
    constexpr int WideRows = 1000;
    TWorkload Library(true);
    std::printf("batch path %d points: %.3g nodes/s (%.*s)\n", WideRows,
                WideBatch(Library, WideRows, static_cast<double>(Nodes)),
                static_cast<int>(ElementwiseInstructionSet().size()),
                ElementwiseInstructionSet().data());
    std::printf("batch path %d points, host lambdas: %.3g nodes/s\n", WideRows,
                WideBatch(W, WideRows, static_cast<double>(Nodes)));
    (void)Sink;
    return 0;
}
