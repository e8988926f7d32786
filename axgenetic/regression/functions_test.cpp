#include "axgenetic/regression/functions.hpp"

#include <cmath>

#include <gtest/gtest.h>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/gp/engine/batch_evaluator.hpp"
#include "axgenetic/gp/engine/float_classes.hpp"

namespace ax {
namespace {

std::vector<std::string> Names(const std::vector<const TAxSRFunction*>& Set) {
    std::vector<std::string> Result;
    for (const TAxSRFunction* F : Set)
        Result.emplace_back(F->Name);
    return Result;
}

TEST(SRFunctionsTest, SetsExpandByNameWithoutRepeats) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Names(SRFunctionSet("arithmetic")), (V{"Add", "Sub", "Mul", "Div"}));
    EXPECT_EQ(Names(SRFunctionSet("KOZA")),
              (V{"Add", "Sub", "Mul", "Div", "Sin", "Cos", "Exp", "Log"}));
    EXPECT_EQ(SRFunctionSet("full").size(), 13u);
    EXPECT_EQ(Names(SRFunctionSet(" mul, arithmetic ,sin,Mul")),
              (V{"Mul", "Add", "Sub", "Div", "Sin"}));
}

TEST(SRFunctionsTest, UnknownNameIsRefusedByName) {
    try {
        SRFunctionSet("arithmetic,Cosh");
        FAIL();
    } catch (const EGPException& E) {
        EXPECT_STREQ(E.what(),
                     "Unknown function or function set \"Cosh\" (sets: arithmetic, koza, full)");
    }
}

// Every derivative agrees with a central difference away from the protected points.
TEST(SRFunctionsTest, PartialsMatchFiniteDifferences) {
    const double Points[][2] = {{0.7, -1.3}, {-2.1, 0.4}, {1.9, 2.6}};
    for (const TAxSRFunction& F : SRFunctions())
        for (const auto& P : Points) {
            const double A = P[0], B = P[1], H = 1e-6;
            double DA = 0, DB = 0;
            F.Partials(A, B, F.Value(A, B), DA, DB);
            const double NA = (F.Value(A + H, B) - F.Value(A - H, B)) / (2 * H);
            const double NB = (F.Value(A, B + H) - F.Value(A, B - H)) / (2 * H);
            EXPECT_NEAR(DA, NA, 1e-6 * (1 + std::fabs(NA))) << F.Name << " at " << A;
            EXPECT_NEAR(DB, NB, 1e-6 * (1 + std::fabs(NB))) << F.Name << " at " << B;
        }
}

TEST(SRFunctionsTest, ProtectedFormsStayFiniteAtTheirPoles) {
    EXPECT_EQ(FindSRFunction("div")->Value(3, 0), 1);
    EXPECT_EQ(FindSRFunction("Log")->Value(0), 0);
    EXPECT_EQ(FindSRFunction("Sqrt")->Value(-4), 2);
    EXPECT_EQ(FindSRFunction("Log")->Value(-std::exp(1.0)), 1);
    double DA = -1, DB = -1;
    FindSRFunction("Div")->Partials(3, 0, 1, DA, DB);
    EXPECT_EQ(DA, 0);
    EXPECT_EQ(DB, 0);
}

// The instructions added run the same arithmetic per point and in a batch.
TEST(SRFunctionsTest, AddedInstructionsEvaluateAsTheCatalogue) {
    TAxGPFloatInstructions Set(nullptr);
    const auto Added = AddSRFunctions(Set, "full,Neg");
    ASSERT_EQ(Added.size(), 14u);
    Set.Add()->SetName("x");
    auto* X = Set.Items(Set.Count() - 1);
    TAxGPDataSet Data(3);
    const std::span<TGAFloat> Column = Data.AddColumn("x");
    Column[0] = -0.5, Column[1] = 0, Column[2] = 2.25;
    TAxGPBatchEvaluator Evaluator;
    std::vector<TGAFloat> Out(3);
    for (TAxGPFloatInstruction* I : Added) {
        const TAxSRFunction& F = *FindSRFunction(I->Name());
        TAxGPFloatNode Root(I);
        for (int C = 0; C < F.Arity; ++C)
            Root.CreateNode(X, Root);
        Evaluator.Evaluate(Root, Data, Out);
        for (int P = 0; P < 3; ++P) {
            const double V = Column[static_cast<std::size_t>(P)];
            const double Expected = F.Value(V, V);
            EXPECT_EQ(Out[static_cast<std::size_t>(P)], Expected) << F.Name;
            TAxGPContext<TGAFloat> Context;
            Context.Values().Add("x", V);
            EXPECT_EQ(Root.Execute(Context), Expected) << F.Name;
        }
    }
}

} // namespace
} // namespace ax
