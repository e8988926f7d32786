#include "axgenetic/parallel/parallel_batch_evaluator.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "axgenetic/gp/engine/float_classes.hpp"
#include "axgenetic/platform/random.hpp"

namespace ax {
namespace {

using TNode = TAxGPNode<TGAFloat>;
using E = TGPElementwiseOperation;

struct TRegression {
    TAxGPFloatInstructions Set{nullptr};
    std::vector<TAxGPInstruction<TGAFloat>*> Functions, Terminals;
    TRegression() {
        Functions = {&Set.AddElementwise("Add", E::eoAdd), &Set.AddElementwise("Mul", E::eoMul),
                     &Set.AddElementwise("Div", E::eoProtectedDiv, 1e-9)};
        // Lazy and without a batch handler: runs point by point on the worker threads.
        auto* If = Set.Add();
        If->SetName("If");
        If->SetArity(3);
        If->SetOnExecute([](TObject*, TNode& N, TAxGPContext<TGAFloat>& C, TGAFloat& R) {
            R = N.GetChild(0)->Execute(C) > 0 ? N.GetChild(1)->Execute(C)
                                              : N.GetChild(2)->Execute(C);
        });
        Functions.push_back(If);
        for (const char* Name : {"x", "p"}) {
            auto* V = Set.Add();
            V->SetName(Name);
            Terminals.push_back(V);
        }
    }
    std::unique_ptr<TNode> Grow(int Depth) {
        const bool Leaf = Depth == 0 || Random(3) == 0;
        const auto& From = Leaf ? Terminals : Functions;
        auto* I = From[static_cast<std::size_t>(Random(static_cast<int>(From.size())))];
        auto Node = std::make_unique<TAxGPFloatNode>(I);
        for (int A = 0; A < I->Arity(); ++A)
            Node->AddChild(Grow(Depth - 1));
        return Node;
    }
};

// Rows split among 1 to 3 workers, with a range ending inside a block, give the single
// evaluator's values bit for bit, the context's values included: programs evaluated back
// to back (the workers still polling) and after a pause (the workers asleep).
TEST(GPParallelBatchEvaluator, EqualsTheSingleEvaluatorBitForBit) {
    RandSeed(5);
    TRegression L;
    constexpr int Rows = 3000;
    TAxGPDataSet Data(Rows);
    auto X = Data.AddColumn("x");
    for (auto& V : X)
        V = Random() < 0.05 ? 0.0 : Random() * 2 - 1;
    TAxGPBatchEvaluator Single;
    Single.Context().Values().Add("p", 0.25);
    std::vector<TGAFloat> Expected(Rows), Out(Rows);
    for (int Workers = 1; Workers <= 3; ++Workers) {
        TAxGPParallelBatchEvaluator Parallel(Workers, 500);
        EXPECT_EQ(Parallel.Workers(), Workers);
        Parallel.Context().Values().Add("p", 0.25);
        for (int T = 0; T < 15; ++T) {
            if (T % 5 == 4) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            auto Tree = L.Grow(5);
            Single.Evaluate(*Tree, Data, Expected);
            Parallel.Evaluate(*Tree, Data, Out);
            for (std::size_t P = 0; P < Rows; ++P)
                ASSERT_EQ(std::bit_cast<std::uint64_t>(Out[P]),
                          std::bit_cast<std::uint64_t>(Expected[P]))
                    << Workers << " workers, " << Tree->ToString() << " at " << P;
        }
    }
}

TEST(GPParallelBatchEvaluator, RethrowsAHandlersExceptionOnTheCaller) {
    TRegression L;
    auto* Fail = L.Set.Add();
    Fail->SetName("Fail");
    Fail->SetOnExecute([](TObject*, TNode&, TAxGPContext<TGAFloat>& C, TGAFloat&) {
        if (C.Values().Items("x") > 0.9) throw std::runtime_error("too big");
    });
    TAxGPDataSet Data(4000);
    auto X = Data.AddColumn("x");
    X[3999] = 1.0; // in the last worker's range
    TAxGPParallelBatchEvaluator Parallel(2, 1000);
    TAxGPFloatNode Root(Fail);
    std::vector<TGAFloat> Out(4000);
    try {
        Parallel.Evaluate(Root, Data, Out);
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& Error) {
        EXPECT_STREQ(Error.what(), "too big");
    }
    X[3999] = 0.0; // the evaluator works on after a failure
    Parallel.Evaluate(Root, Data, Out);
    EXPECT_EQ(Out[3999], 0.0);
}

} // namespace
} // namespace ax
