#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/gp/engine/batch_evaluator.hpp"
#include "axgenetic/gp/engine/float_classes.hpp"
#include "axgenetic/platform/random.hpp"

namespace ax {
namespace {

using TNode = TAxGPNode<TGAFloat>;
using TCtx = TAxGPContext<TGAFloat>;
using G = TGPGeneticInstruction;

struct TLanguage {
    TAxGPFloatInstructions Set{nullptr};
    std::vector<TAxGPInstruction<TGAFloat>*> Terminals, Functions;

    TAxGPInstruction<TGAFloat>* Add(const char* Name, G Op, int Arity = 0) {
        auto* I = Set.Add();
        I->SetName(Name);
        I->SetOperation(Op);
        I->SetArity(Arity);
        return I;
    }
    TLanguage() {
        Set.AddElementwise("Add", [](TGAFloat A, TGAFloat B) { return A + B; });
        Set.AddElementwise("Sub", [](TGAFloat A, TGAFloat B) { return A - B; });
        Set.AddElementwise("Mul", [](TGAFloat A, TGAFloat B) { return A * B; });
        Set.AddElementwise(
            "Div", [](TGAFloat A, TGAFloat B) { return std::fabs(B) < 1e-9 ? 1.0 : A / B; });
        Set.AddElementwise("Pow",
                           [](TGAFloat A, TGAFloat B) { return std::pow(A, B); }); // NaNs too
        Set.AddElementwise("Sqrt", [](TGAFloat A) { return std::sqrt(A); });       // arity 1
        // Lazy, and without a batch handler: runs point by point.
        Add("If", G::gpFunction, 3)->SetOnExecute([](TObject*, TNode& N, TCtx& C, TGAFloat& R) {
            R = N.GetChild(0)->Execute(C) > 0 ? N.GetChild(1)->Execute(C)
                                              : N.GetChild(2)->Execute(C);
        });
        // Writes its argument into p, which later reads of the point must see.
        auto* Store = static_cast<TAxGPFloatInstruction*>(Add("Store", G::gpFunction, 1));
        Store->SetOnExecute([](TObject*, TNode& N, TCtx& C, TGAFloat& R) {
            R = N.GetChild(0)->Execute(C);
            C.Values().AddOrSetValue("p", R);
        });
        Store->SetWritesValues(true);
        for (int I = 0; I < Set.Count(); ++I)
            Functions.push_back(Set.Items(I));
        Add("x", G::gpVariable);
        Add("y", G::gpVariable);
        Add("z", G::gpVariable); // no column and not in the context: 0
        Add("p", G::gpVariable); // no column, in the evaluator's context
        // A variable whose handler changes its value cannot run elementwise.
        Add("X2", G::gpVariable)->SetOnExecute([](TObject*, TNode&, TCtx& C, TGAFloat& R) {
            R = 2 * C.Values().Items("x");
        });
        Add("c", G::gpConstant)->SetValue(1.5);
        for (int I = static_cast<int>(Functions.size()); I < Set.Count(); ++I)
            Terminals.push_back(Set.Items(I));
    }

    std::unique_ptr<TNode> Grow(int Depth) {
        const bool Leaf = Depth == 0 || Random(3) == 0;
        auto* I =
            Leaf ? Terminals[static_cast<std::size_t>(Random(static_cast<int>(Terminals.size())))]
                 : Functions[static_cast<std::size_t>(Random(static_cast<int>(Functions.size())))];
        auto Node = std::make_unique<TAxGPFloatNode>(I);
        if (I->Operation() == G::gpConstant) Node->SetValue(Random() * 4 - 2);
        // Now and then an argument more than the arity, which Execute accepts.
        const int Extra = I->Arity() > 0 && Random(8) == 0 ? 1 : 0;
        for (int A = 0; A < I->Arity() + Extra; ++A)
            Node->AddChild(Grow(Depth - 1));
        return Node;
    }
};

bool SameBits(TGAFloat A, TGAFloat B) {
    return std::bit_cast<std::uint64_t>(A) == std::bit_cast<std::uint64_t>(B);
}

TEST(GPBatchEvaluator, EqualsExecuteBitForBit) {
    RandSeed(9);
    TLanguage L;
    constexpr std::size_t Points = 20;
    TAxGPDataSet Data(Points);
    auto X = Data.AddColumn("x");
    auto Y = Data.AddColumn("y");
    Data.AddColumn("P"); // letter case counts: no value for p
    for (std::size_t P = 0; P < Points; ++P) {
        X[P] = static_cast<TGAFloat>(P) - 10;
        Y[P] = Random() * 2 - 1;
    }
    TAxGPBatchEvaluator Evaluator;
    Evaluator.SetBlockSize(7); // blocks of unequal length
    Evaluator.Context().Values().Add("p", 0.75);
    TCtx Point;
    Point.Values().Add("p", 0.75);
    Point.Values().Add("P", 0.0);
    std::vector<TGAFloat> Out(Points);
    int WithFallback = 0;
    for (int T = 0; T < 1000; ++T) {
        auto Tree = L.Grow(5);
        Evaluator.Evaluate(*Tree, Data, Out);
        WithFallback += Evaluator.FallbackCount() > 0;
        EXPECT_GT(Evaluator.CompiledNodeCount(), 0);
        for (std::size_t P = 0; P < Points; ++P) {
            Point.Values().AddOrSetValue("x", X[P]);
            Point.Values().AddOrSetValue("y", Y[P]);
            Point.Values().AddOrSetValue("p", 0.75); // a Store may have changed it
            const TGAFloat Expected = Tree->Execute(Point);
            ASSERT_TRUE(SameBits(Out[P], Expected))
                << Tree->ToString() << " at " << P << ": " << Out[P] << " vs " << Expected;
        }
    }
    EXPECT_GT(WithFallback, 100);
    EXPECT_LT(WithFallback, 900);
}

// x = 1, 2, 3
TAxGPDataSet XData() {
    TAxGPDataSet Data(3);
    auto X = Data.AddColumn("x");
    X[0] = 1, X[1] = 2, X[2] = 3;
    return Data;
}

// Where Execute leaves arguments unevaluated (more children than the arity) or a handler
// writes a value that a later read sees, the batch gives what Execute gives.
TEST(GPBatchEvaluator, MatchesExecuteOnUnusedArgumentsOrWrittenValues) {
    TLanguage L;
    const auto Leaf = [&L](const char* Name) {
        return std::make_unique<TAxGPFloatNode>(L.Set.ItemByName(Name));
    };
    // (Add x c (Sqrt)): the Sqrt without argument would raise, but Add never runs it.
    auto Extra = Leaf("Add");
    Extra->AddChild(Leaf("x"));
    Extra->AddChild(Leaf("c"));
    Extra->AddChild(Leaf("Sqrt"));
    // (Add (Store x) p): p is 0 before the Store and x after it.
    auto Stored = Leaf("Add");
    Stored->AddChild(Leaf("Store"))->AddChild(Leaf("x"));
    Stored->AddChild(Leaf("p"));
    const struct {
        TNode* Tree;
        std::vector<TGAFloat> Expected;
    } Cases[] = {{Extra.get(), {2.5, 3.5, 4.5}}, {Stored.get(), {2, 4, 6}}};
    const TAxGPDataSet Data = XData();
    for (const auto& Case : Cases) {
        TAxGPBatchEvaluator Evaluator;
        std::vector<TGAFloat> Out(3);
        Evaluator.Evaluate(*Case.Tree, Data, Out);
        EXPECT_EQ(Out, Case.Expected) << Case.Tree->ToString();
        EXPECT_FALSE(Evaluator.Context().Values().ContainsKey("p"));
    }
}

TEST(GPDataSet, ColumnSpansStayValidAsColumnsAreAdded) {
    TAxGPDataSet Data(3);
    const std::span<TGAFloat> X = Data.AddColumn("x");
    X[0] = 1, X[1] = 2, X[2] = 3;
    for (int I = 0; I < 100; ++I) // enough columns to move the column list several times
        Data.AddColumn("c" + std::to_string(I));
    X[2] = 4; // still the data set's column (AddressSanitizer watches this write)
    EXPECT_EQ(Data.Column("x").data(), X.data());
    EXPECT_EQ((std::vector<TGAFloat>(X.begin(), X.end())), (std::vector<TGAFloat>{1, 2, 4}));
    EXPECT_EQ(Data.Column("c99").size(), 3u);
    EXPECT_EQ(TAxGPDataSet(-2).RowCount(), 0);
}

TEST(GPBatchEvaluator, SeesEveryEdit) {
    TLanguage L;
    TAxGPDataSet Data = XData();
    EXPECT_THROW(Data.AddColumn("x"), EListError);
    auto Tree = std::make_unique<TAxGPFloatNode>(L.Set.ItemByName("Add"));
    Tree->AddChild(std::make_unique<TAxGPFloatNode>(L.Set.ItemByName("x")));
    TNode* C = Tree->AddChild(std::make_unique<TAxGPFloatNode>(L.Set.ItemByName("c")));
    TAxGPBatchEvaluator Evaluator;
    std::vector<TGAFloat> Out(3);
    Evaluator.Evaluate(*Tree, Data, Out);
    EXPECT_EQ(Out, (std::vector<TGAFloat>{2.5, 3.5, 4.5}));
    C->SetValue(10);                               // a host edits a constant
    Tree->SetInstruction(L.Set.ItemByName("Mul")); // a point mutation swaps the function
    Evaluator.Evaluate(*Tree, Data, Out);
    EXPECT_EQ(Out, (std::vector<TGAFloat>{10, 20, 30}));
    EXPECT_EQ(Evaluator.FallbackCount(), 0);
}

TEST(GPBatchEvaluator, RaisesLikeExecute) {
    TLanguage L;
    const TAxGPDataSet Data = XData();
    auto Tree = std::make_unique<TAxGPFloatNode>(L.Set.ItemByName("Mul"));
    Tree->AddChild(std::make_unique<TAxGPFloatNode>(L.Set.ItemByName("x")));
    TAxGPBatchEvaluator Evaluator;
    std::vector<TGAFloat> Out(3);
    // too few arguments: the same error as Execute
    EXPECT_THROW(Evaluator.Evaluate(*Tree, Data, Out), EGPException);
    EXPECT_THROW(Evaluator.Evaluate(*Tree, Data, std::span<TGAFloat>(Out).first(2)), EListError);
}

TEST(GPBatchEvaluator, EvaluatesARangeOfRowsInPlace) {
    TLanguage L;
    TAxGPDataSet Data(6);
    auto X = Data.AddColumn("x");
    for (std::size_t P = 0; P < 6; ++P)
        X[P] = static_cast<TGAFloat>(P);
    auto Tree = std::make_unique<TAxGPFloatNode>(L.Set.ItemByName("Mul"));
    Tree->AddChild(std::make_unique<TAxGPFloatNode>(L.Set.ItemByName("x")));
    Tree->AddChild(std::make_unique<TAxGPFloatNode>(L.Set.ItemByName("c")));
    TAxGPBatchEvaluator Evaluator;
    Evaluator.SetBlockSize(2);
    std::vector<TGAFloat> Out(6, -1.0);
    Evaluator.Evaluate(*Tree, Data, Out, 1, 3);
    EXPECT_EQ(Out, (std::vector<TGAFloat>{-1, 1.5, 3, 4.5, -1, -1}));
    struct TBad {
        int First, Count;
        const char* Message;
    };
    for (const TBad& Bad :
         {TBad{-1, 2, "List index out of bounds (-1)"}, TBad{4, 3, "List index out of bounds (4)"},
          TBad{0, -1, "List index out of bounds (0)"}}) {
        try {
            Evaluator.Evaluate(*Tree, Data, Out, Bad.First, Bad.Count);
            ADD_FAILURE() << "no exception for " << Bad.First << ", " << Bad.Count;
        } catch (const EListError& Error) {
            EXPECT_STREQ(Error.what(), Bad.Message);
        }
    }
    EXPECT_EQ(Out, (std::vector<TGAFloat>{-1, 1.5, 3, 4.5, -1, -1}));
}

} // namespace
} // namespace ax
