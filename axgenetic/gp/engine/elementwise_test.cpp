#include "axgenetic/gp/engine/elementwise.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "axgenetic/gp/engine/batch_evaluator.hpp"
#include "axgenetic/gp/engine/float_classes.hpp"
#include "axgenetic/platform/random.hpp"

namespace ax {
namespace {

using TNode = TAxGPNode<TGAFloat>;
using E = TGPElementwiseOperation;
constexpr TGAFloat Inf = std::numeric_limits<TGAFloat>::infinity();
constexpr TGAFloat NaN = std::numeric_limits<TGAFloat>::quiet_NaN();

bool SameBits(TGAFloat A, TGAFloat B) {
    return std::bit_cast<std::uint64_t>(A) == std::bit_cast<std::uint64_t>(B);
}

// One function node over two constant leaves, evaluated through Execute.
struct TOneNode {
    TAxGPFloatInstructions Set{nullptr};
    std::unique_ptr<TNode> Root;
    TNode* A;
    TNode* B;
    TOneNode(E Operation, TGAFloat Threshold) {
        auto& F = Set.AddElementwise("F", Operation, Threshold);
        auto* C = Set.Add();
        C->SetName("c");
        C->SetOperation(TGPGeneticInstruction::gpConstant);
        Root = std::make_unique<TAxGPFloatNode>(&F);
        A = Root->AddChild(std::make_unique<TAxGPFloatNode>(C));
        B = F.Arity() == 2 ? Root->AddChild(std::make_unique<TAxGPFloatNode>(C)) : A;
    }
    TGAFloat Execute(TGAFloat X, TGAFloat Y) {
        A->SetValue(X);
        B->SetValue(Y);
        TAxGPContext<TGAFloat> Context;
        return Root->Execute(Context);
    }
};

TEST(GPElementwise, OperationsComputeTheirValuesPerPoint) {
    struct TCase {
        E Operation;
        TGAFloat Threshold, A, B, Expected;
    };
    const TCase Cases[] = {
        {E::eoAdd, 0, 1.5, 2, 3.5},
        {E::eoSub, 0, 1.5, 2, -0.5},
        {E::eoMul, 0, 1.5, 2, 3},
        {E::eoDiv, 0, 3, 0, Inf},
        {E::eoProtectedDiv, 0, 3, 2, 1.5},
        {E::eoProtectedDiv, 0, 3, 0, 1},
        {E::eoProtectedDiv, 0, 3, -0.0, 1},
        {E::eoProtectedDiv, 0, 3, 1e-300, 3e300},
        {E::eoProtectedDiv, 1e-9, 3, 1e-10, 1},
        {E::eoProtectedDiv, 1e-9, 3, -1e-10, 1},
        {E::eoProtectedDiv, 1e-9, 3, 1e-9, 3e9},
        {E::eoNeg, 0, 2.5, 2.5, -2.5},
    };
    for (const TCase& C : Cases) {
        TOneNode N(C.Operation, C.Threshold);
        EXPECT_EQ(N.Execute(C.A, C.B), C.Expected)
            << GetEnumName(C.Operation) << "(" << C.A << ", " << C.B << ")";
    }
    TOneNode Div(E::eoProtectedDiv, 1e-9);
    EXPECT_TRUE(std::isnan(Div.Execute(1, NaN)));
    EXPECT_EQ(ElementwiseArity(E::eoNeg), 1);
    EXPECT_EQ(ElementwiseArity(E::eoDiv), 2);
}

// Every instruction set this processor runs, on every length of a block (the vector body
// and the rest), in place and not, gives the per-point values bit for bit, special values
// included.
TEST(GPElementwise, EveryInstructionSetEqualsThePerPointValues) {
    RandSeed(3);
    const TGAFloat Specials[] = {0.0, -0.0, Inf, -Inf, NaN, 1e-10, -1e-10, 1e-9, 5e-324, 1.0};
    constexpr int Longest = 41;
    std::vector<TGAFloat> A(Longest), B(Longest);
    for (std::size_t I = 0; I < Longest; ++I) {
        A[I] = I % 3 == 0 ? Specials[I % 10] : Random() * 4 - 2;
        B[I] = I % 2 == 0 ? Specials[(I / 2) % 10] : Random() * 4 - 2;
    }
    const auto Sets = detail::ElementwiseInstructionSets();
    ASSERT_FALSE(Sets.empty());
    EXPECT_EQ(Sets.back(), "sse2");
    EXPECT_EQ(Sets.front(), ElementwiseInstructionSet());
    for (std::size_t O = 0; O < EnumCount<E>(); ++O) {
        const auto Operation = static_cast<E>(O);
        TOneNode N(Operation, 1e-9);
        std::vector<TGAFloat> Expected(Longest);
        for (std::size_t I = 0; I < Longest; ++I)
            Expected[I] = N.Execute(A[I], ElementwiseArity(Operation) == 2 ? B[I] : A[I]);
        for (std::string_view Set : Sets)
            for (int Count = 0; Count <= Longest; ++Count) {
                std::vector<TGAFloat> Out(Longest, 7.0), InPlace = A;
                const TGAFloat* Args[] = {A.data(), B.data()};
                detail::RunElementwiseOn(Set, Operation, 1e-9, Args, Out.data(), Count);
                const TGAFloat* Same[] = {InPlace.data(), B.data()};
                detail::RunElementwiseOn(Set, Operation, 1e-9, Same, InPlace.data(), Count);
                for (std::size_t I = 0; I < static_cast<std::size_t>(Count); ++I) {
                    ASSERT_TRUE(SameBits(Out[I], Expected[I]))
                        << Set << " " << GetEnumName(Operation) << " at " << I << " of " << Count;
                    ASSERT_TRUE(SameBits(InPlace[I], Expected[I]))
                        << Set << " " << GetEnumName(Operation) << " in place at " << I;
                }
                if (Count < Longest) {
                    EXPECT_EQ(Out[static_cast<std::size_t>(Count)], 7.0);
                }
            }
    }
}

// Random programs of the library's operations over 1,000 points with zeros and tiny
// values among them: the batch path equals Execute at every point.
TEST(GPElementwise, BatchPathEqualsExecuteOnWideData) {
    RandSeed(11);
    TAxGPFloatInstructions Set{nullptr};
    std::vector<TAxGPInstruction<TGAFloat>*> Functions, Terminals;
    for (std::size_t O = 0; O < EnumCount<E>(); ++O)
        Functions.push_back(&Set.AddElementwise(std::string(GetEnumName(static_cast<E>(O))),
                                                static_cast<E>(O), 1e-9));
    for (const char* Name : {"x", "y"}) {
        auto* V = Set.Add();
        V->SetName(Name);
        Terminals.push_back(V);
    }
    auto* C = Set.Add();
    C->SetName("c");
    C->SetOperation(TGPGeneticInstruction::gpConstant);
    Terminals.push_back(C);
    auto Pick = [](const auto& From) {
        return From[static_cast<std::size_t>(Random(static_cast<int>(From.size())))];
    };
    auto Grow = [&](auto& Self, int Depth) -> std::unique_ptr<TNode> {
        auto* I = Depth == 0 || Random(3) == 0 ? Pick(Terminals) : Pick(Functions);
        auto Node = std::make_unique<TAxGPFloatNode>(I);
        if (I == C) Node->SetValue(Random() < 0.2 ? 0.0 : Random() * 4 - 2);
        for (int A = 0; A < I->Arity(); ++A)
            Node->AddChild(Self(Self, Depth - 1));
        return Node;
    };
    constexpr std::size_t Rows = 1000;
    TAxGPDataSet Data(Rows);
    auto X = Data.AddColumn("x");
    auto Y = Data.AddColumn("y");
    for (std::size_t P = 0; P < Rows; ++P) {
        X[P] = P % 50 == 0 ? 0.0 : Random() * 2 - 1;
        Y[P] = P % 70 == 0 ? 1e-12 : Random() * 2 - 1;
    }
    TAxGPBatchEvaluator Evaluator;
    TAxGPContext<TGAFloat> Point;
    std::vector<TGAFloat> Out(Rows);
    for (int T = 0; T < 100; ++T) {
        auto Tree = Grow(Grow, 6);
        Evaluator.Evaluate(*Tree, Data, Out);
        ASSERT_EQ(Evaluator.FallbackCount(), 0);
        for (std::size_t P = 0; P < Rows; ++P) {
            Point.Values().AddOrSetValue("x", X[P]);
            Point.Values().AddOrSetValue("y", Y[P]);
            const TGAFloat Expected = Tree->Execute(Point);
            ASSERT_TRUE(SameBits(Out[P], Expected))
                << Tree->ToString() << " at " << P << ": " << Out[P] << " vs " << Expected;
        }
    }
}

} // namespace
} // namespace ax
