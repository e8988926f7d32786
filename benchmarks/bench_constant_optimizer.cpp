// Cost and effect of the Levenberg-Marquardt constant optimiser of symbolic regression.
//
// BM_OptimizeKnown: one Optimize call on a 21-node program with 4 parameters over 1,000
// rows of 5 features, from perturbed constants of the formula that made the target (the
// constants are reset before every call, so every call does the same work). Arguments:
// iterations, linear scaling. Counters: the error before and after the call, and the heap
// allocations of one call after warm-up.
//
// BM_OptimizeRandom: one Optimize call (linear scaling on) on each of 200 random programs
// of depth up to 5 over the full function set, fitted to Friedman-1 data (1,000 rows);
// the argument is the iteration count. Counter removed: the mean share of the scaled error
// that the call removed, over the programs with a constant and a finite error; time is
// per program.
//
// BM_Evaluate: one batch evaluation of the 21-node program, the unit the others compare to.
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include <benchmark/benchmark.h>

#include "axgenetic/axgenetic.hpp"
#include "axgenetic/regression/constant_optimizer.hpp"
#include "axgenetic/regression/functions.hpp"

#include "allocation_counter.hpp"

namespace {

using namespace ax;
using TNode = TAxGPNode<TGAFloat>;

constexpr int Rows = 1000;

struct TWorkload {
    TAxGPFloatInstructions Set{nullptr};
    TAxGPDataSet Data{Rows};
    std::vector<TGAFloat> Target;

    TWorkload() {
        AddSRFunctions(Set, "full");
        for (const char* Name : {"x0", "x1", "x2", "x3", "x4"})
            Set.Add()->SetName(Name);
        Set.Add()->SetName("c");
        Set.FindItemName("c")->SetOperation(TGPGeneticInstruction::gpConstant);
    }

    // Columns x0..x4 drawn uniformly in [Low, Low + Width), and the target Formula(x).
    template <class F> void Fill(double Low, double Width, F Formula) {
        const char* Names[] = {"x0", "x1", "x2", "x3", "x4"};
        std::vector<std::span<TGAFloat>> Columns;
        for (const char* Name : Names)
            Columns.push_back(Data.AddColumn(Name));
        for (std::size_t R = 0; R < static_cast<std::size_t>(Rows); ++R) {
            double X[5];
            for (std::size_t C = 0; C < 5; ++C)
                X[C] = Columns[C][R] = Low + Width * Random();
            Target.push_back(Formula(X));
        }
    }

    TNode* Make(const char* Name, TNode* Parent, std::unique_ptr<TNode>& Root) {
        TAxGPInstruction<TGAFloat>* I = Set.FindItemName(Name);
        if (Parent) return Parent->CreateNode(I, *Parent);
        Root = std::make_unique<TAxGPFloatNode>(I);
        return Root.get();
    }
};

// x0..x4 uniform in [-2, 2); target 2.5 sin(1.7 x0) + 0.8 x1 x2 + exp(0.4 x3) + AQ(x4, x0).
struct TKnown : TWorkload {
    std::unique_ptr<TNode> Root;
    std::vector<TNode*> Constants;
    const double Start[4] = {2.0, 1.5, 1.0, 0.3};

    TKnown() {
        RandSeed(1);
        Fill(-2, 4, [](const double* X) {
            return 2.5 * std::sin(1.7 * X[0]) + 0.8 * X[1] * X[2] + std::exp(0.4 * X[3]) +
                   X[4] / std::sqrt(1 + X[0] * X[0]);
        });
        TNode* Sum = Make("Add", nullptr, Root);
        TNode* Left = Make("Add", Sum, Root);
        TNode* Wave = Make("Mul", Left, Root);
        Constants.push_back(Make("c", Wave, Root));
        TNode* Scaled = Make("Mul", Make("Sin", Wave, Root), Root);
        Constants.push_back(Make("c", Scaled, Root));
        Make("x0", Scaled, Root);
        TNode* Product = Make("Mul", Left, Root);
        Constants.push_back(Make("c", Product, Root));
        TNode* Pair = Make("Mul", Product, Root);
        Make("x1", Pair, Root);
        Make("x2", Pair, Root);
        TNode* Right = Make("Add", Sum, Root);
        TNode* Growth = Make("Mul", Make("Exp", Right, Root), Root);
        Constants.push_back(Make("c", Growth, Root));
        Make("x3", Growth, Root);
        TNode* Quotient = Make("AQ", Right, Root);
        Make("x4", Quotient, Root);
        Make("x0", Quotient, Root);
        Reset();
    }

    void Reset() {
        for (std::size_t K = 0; K < Constants.size(); ++K)
            Constants[K]->SetValue(Start[K]);
    }
};

void BM_OptimizeKnown(benchmark::State& State) {
    static TKnown W;
    TAxSRConstantOptimizer Optimizer;
    Optimizer.SetIterations(static_cast<int>(State.range(0)));
    const bool Scaled = State.range(1) != 0;
    W.Reset();
    Optimizer.SetIterations(0);
    const double Before = Optimizer.Optimize(*W.Root, W.Data, W.Target, Scaled);
    Optimizer.SetIterations(static_cast<int>(State.range(0)));
    double After = Optimizer.Optimize(*W.Root, W.Data, W.Target, Scaled); // warm-up
    long long Allocations = 0;
    for (auto _ : State) {
        W.Reset();
        const long long Count = axbench::AllocationCount();
        After = Optimizer.Optimize(*W.Root, W.Data, W.Target, Scaled);
        Allocations = axbench::AllocationCount() - Count;
    }
    State.counters["nodes"] = W.Root->Size();
    State.counters["mse_before"] = Before;
    State.counters["mse_after"] = After;
    State.counters["allocs"] = static_cast<double>(Allocations);
}
BENCHMARK(BM_OptimizeKnown)
    ->ArgNames({"iterations", "scaled"})
    ->Args({1, 0})
    ->Args({5, 0})
    ->Args({10, 0})
    ->Args({20, 0})
    ->Args({10, 1})
    ->Unit(benchmark::kMicrosecond);

void BM_Evaluate(benchmark::State& State) {
    static TKnown W;
    TAxGPBatchEvaluator Evaluator;
    std::vector<TGAFloat> Out(Rows);
    for (auto _ : State) {
        Evaluator.Evaluate(*W.Root, W.Data, Out);
        benchmark::DoNotOptimize(Out.data());
    }
}
BENCHMARK(BM_Evaluate)->Unit(benchmark::kMicrosecond);

// Friedman-1 on x0..x4 uniform in [0, 1), and 200 random programs over them.
struct TRandom : TWorkload {
    std::vector<std::unique_ptr<TNode>> Programs;
    std::vector<std::vector<std::pair<TNode*, TGAFloat>>> Constants;

    TRandom() {
        RandSeed(2);
        Fill(0, 1, [](const double* X) {
            return 10 * std::sin(std::numbers::pi * X[0] * X[1]) +
                   20 * (X[2] - 0.5) * (X[2] - 0.5) + 10 * X[3] + 5 * X[4];
        });
        for (int P = 0; P < 200; ++P) {
            Programs.emplace_back();
            Constants.emplace_back();
            Grow(5, nullptr, Programs.back(), Constants.back());
        }
    }

    void Grow(int Depth, TNode* Parent, std::unique_ptr<TNode>& Root,
              std::vector<std::pair<TNode*, TGAFloat>>& Leaves) {
        const auto Functions = SRFunctionSet("full");
        if (Depth > 0 && (!Parent || Random() < 0.7)) {
            const TAxSRFunction* F =
                Functions[static_cast<std::size_t>(Random(static_cast<int>(Functions.size())))];
            TNode* Node = Make(std::string(F->Name).c_str(), Parent, Root);
            for (int A = 0; A < F->Arity; ++A)
                Grow(Depth - 1, Node, Root, Leaves);
            return;
        }
        static const char* Terminals[] = {"x0", "x1", "x2", "x3", "x4", "c", "c"};
        const char* Name = Terminals[Random(7)];
        TNode* Node = Make(Name, Parent, Root);
        if (Name[0] == 'c') {
            Node->SetValue(4 * Random() - 2);
            Leaves.emplace_back(Node, Node->Value());
        }
    }

    void Reset(std::size_t P) {
        for (auto& [Node, Value] : Constants[P])
            Node->SetValue(Value);
    }
};

void BM_OptimizeRandom(benchmark::State& State) {
    static TRandom W;
    TAxSRConstantOptimizer Optimizer;
    Optimizer.SetIterations(static_cast<int>(State.range(0)));
    std::vector<double> Before;
    Optimizer.SetIterations(0);
    for (std::size_t P = 0; P < W.Programs.size(); ++P) {
        W.Reset(P);
        Before.push_back(Optimizer.Optimize(*W.Programs[P], W.Data, W.Target, true));
    }
    Optimizer.SetIterations(static_cast<int>(State.range(0)));
    double Removed = 0;
    int Counted = 0;
    for (auto _ : State) {
        Removed = 0;
        Counted = 0;
        for (std::size_t P = 0; P < W.Programs.size(); ++P) {
            W.Reset(P);
            const double After = Optimizer.Optimize(*W.Programs[P], W.Data, W.Target, true);
            if (!W.Constants[P].empty() && std::isfinite(Before[P]) && Before[P] > 0) {
                Removed += (Before[P] - After) / Before[P];
                ++Counted;
            }
        }
    }
    State.SetItemsProcessed(State.iterations() * static_cast<long long>(W.Programs.size()));
    State.counters["removed"] = Counted ? Removed / Counted : 0;
    State.counters["programs"] = Counted;
}
BENCHMARK(BM_OptimizeRandom)
    ->ArgName("iterations")
    ->Arg(1)
    ->Arg(2)
    ->Arg(5)
    ->Arg(10)
    ->Arg(20)
    ->Arg(50)
    ->Unit(benchmark::kMillisecond);

} // namespace
