#include "axgenetic/regression/regressor.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <sstream>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/gp/engine/batch_evaluator.hpp"
#include "axgenetic/gp/evolution/executor.hpp"
#include "axgenetic/platform/random.hpp"

namespace ax {
namespace {

// y = x^2 + x on 20 points of [-1, 1], and a noise column the formula does not use.
TAxGPDataSet Quadratic(int Rows = 20) {
    TAxGPDataSet Data(Rows);
    auto X = Data.AddColumn("x");
    auto Z = Data.AddColumn("z");
    auto Y = Data.AddColumn("y");
    for (int R = 0; R < Rows; ++R) {
        const double V = -1 + 2.0 * R / (Rows - 1);
        X[static_cast<std::size_t>(R)] = V;
        Z[static_cast<std::size_t>(R)] = std::sin(7.0 * R);
        Y[static_cast<std::size_t>(R)] = V * V + V;
    }
    return Data;
}

TAxSRSettings Small() {
    TAxSRSettings S;
    S.PopulationSize = 60;
    S.Generations = 8;
    S.Seed = 7;
    S.OptimizeConstants = false;
    return S;
}

TEST(SymbolicRegressor, FitsAQuadratic) {
    TAxSymbolicRegressor SR;
    SR.SetSettings(Small());
    SR.Settings().Generations = 30;
    SR.Settings().PopulationSize = 200;
    const TAxGPDataSet Data = Quadratic();
    SR.Fit(Data, "y", {"x"});
    EXPECT_GT(SR.Score(Data, "y"), 0.999);
    EXPECT_LT(SR.MSE(Data, "y"), 1e-3);
    EXPECT_EQ(SR.FeatureNames(), (std::vector<std::string>{"x"}));
    EXPECT_FALSE(SR.Model().Infix.empty());
}

TEST(SymbolicRegressor, FrontIsOrderedBySizeWithFallingError) {
    TAxSymbolicRegressor SR;
    SR.SetSettings(Small());
    SR.Fit(Quadratic(), "y");
    const auto& Front = SR.Front();
    ASSERT_FALSE(Front.empty());
    for (std::size_t I = 1; I < Front.size(); ++I) {
        EXPECT_GT(Front[I].Size, Front[I - 1].Size);
        EXPECT_LT(Front[I].TrainMSE, Front[I - 1].TrainMSE);
    }
    EXPECT_EQ(SR.Log().size(), static_cast<std::size_t>(SR.GenerationsRun() + 1));
}

TEST(SymbolicRegressor, SameSeedRepeatsOnAnyThreadCount) {
    std::vector<std::string> Texts;
    for (const int Threads : {1, 3}) {
        TAxSymbolicRegressor SR;
        SR.SetSettings(Small());
        SR.Settings().Threads = Threads;
        SR.Settings().OptimizeConstants = true; // trees change on the evaluating threads
        SR.Fit(Quadratic(), "y");
        std::string All;
        for (const auto& F : SR.Front())
            All += F.Infix + "|";
        Texts.push_back(All);
    }
    EXPECT_EQ(Texts[0], Texts[1]);
}

TEST(SymbolicRegressor, ProgressIsReportedEachGenerationUntilStopped) {
    TAxSymbolicRegressor SR;
    SR.SetSettings(Small());
    std::vector<int> Seen;
    SR.SetOnProgress([&](TObject*, const TAxSRProgress& P, bool& Stop) {
        Seen.push_back(P.Generation);
        Stop = P.Generation == 2;
    });
    SR.Fit(Quadratic(), "y");
    EXPECT_EQ(Seen, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(SR.GenerationsRun(), 2);
    EXPECT_TRUE(SR.Fitted());
}

TEST(SymbolicRegressor, BadInputIsRefusedLeavingTheFit) {
    TAxSymbolicRegressor SR;
    SR.SetSettings(Small());
    SR.Settings().Generations = 1;
    SR.Fit(Quadratic(), "y");
    const std::string Before = SR.Model().Infix;
    TAxGPDataSet NaN = Quadratic();
    NaN.Column("x")[3] = std::nan("");
    TAxGPDataSet Constant = Quadratic();
    for (auto& V : Constant.Column("y"))
        V = 2;
    const double Row[] = {1, 2};
    const std::span<const TGAFloat> OneRow(Row, 1);
    const struct {
        std::function<void()> Fit;
        std::string Message;
    } Cases[] = {
        {[&] { SR.Fit(Quadratic(), "q"); }, "Column \"q\" is missing from the data"},
        {[&] { SR.Fit(Quadratic(1), "y"); },
         "Symbolic regression needs at least 2 rows of data; the data has 1"},
        {[&] { SR.Fit(Quadratic(0), "y"); },
         "Symbolic regression needs at least 2 rows of data; the data has 0"},
        {[&] { SR.Fit(NaN, "y"); }, "Column \"x\", row 4: the value nan is not finite"},
        {[&] { SR.Fit(Constant, "y"); },
         "The target \"y\" is constant (every row is 2): there is nothing to fit"},
        {[&] {
             SR.Fit(Quadratic(), "y", {"x", "w"});
         },
         "Column \"w\" is missing from the data"},
        {[&] {
             std::vector<std::span<const TGAFloat>> Columns{OneRow, OneRow};
             SR.Fit({"a"}, Columns, OneRow);
         },
         "2 columns but 1 names"},
        {[&] {
             SR.Fit(TAxSRMatrix::RowMajor(Row, 1, 2), OneRow, {"a", "b", "c"});
         },
         "2 columns but 3 names"},
    };
    for (const auto& Case : Cases) {
        try {
            Case.Fit();
            ADD_FAILURE() << Case.Message;
        } catch (const EGPException& E) {
            EXPECT_EQ(E.what(), Case.Message);
        }
    }
    EXPECT_EQ(SR.Model().Infix, Before);
}

TEST(SymbolicRegressor, SavedModelPredictsTheSameBitsAfterLoading) {
    TAxSymbolicRegressor SR;
    SR.SetSettings(Small());
    const TAxGPDataSet Data = Quadratic();
    SR.Fit(Data, "y", {"x", "z"});
    std::stringstream Document;
    SR.SaveModelToStream(Document);
    const auto Expected = SR.Predict(Data);

    TAxSymbolicRegressor Loaded;
    Loaded.LoadModelFromStream(Document);
    const auto Got = Loaded.Predict(Data);
    ASSERT_EQ(Got.size(), Expected.size());
    for (std::size_t I = 0; I < Got.size(); ++I)
        EXPECT_EQ(std::memcmp(&Got[I], &Expected[I], sizeof(double)), 0) << I;
    EXPECT_EQ(Loaded.Model().Infix, SR.Model().Infix);
    EXPECT_EQ(Loaded.FeatureNames(), (std::vector<std::string>{"x", "z"}));
}

TEST(SymbolicRegressor, StateRoundTripsTheWholeRegressor) {
    TAxSymbolicRegressor SR;
    SR.SetSettings(Small());
    SR.Settings().FunctionSet = "arithmetic,Sin";
    SR.Settings().ConstantMin = -0.1;
    const TAxGPDataSet Data = Quadratic();
    SR.Fit(Data, "y");
    SR.SelectModel(0);
    const std::string State = SR.SaveState();

    TAxSymbolicRegressor Back;
    Back.LoadState(State);
    EXPECT_EQ(Back.SaveState(), State);
    EXPECT_EQ(Back.Settings().FunctionSet, "arithmetic,Sin");
    EXPECT_EQ(Back.Settings().ConstantMin, -0.1);
    EXPECT_EQ(Back.ModelIndex(), 0);
    ASSERT_EQ(Back.Front().size(), SR.Front().size());
    for (std::size_t I = 0; I < SR.Front().size(); ++I) {
        EXPECT_EQ(Back.Front()[I].Infix, SR.Front()[I].Infix);
        EXPECT_EQ(Back.Front()[I].TrainMSE, SR.Front()[I].TrainMSE);
    }
    EXPECT_EQ(Back.Predict(Data), SR.Predict(Data));
}

TEST(SymbolicRegressor, ABadStateIsRefusedLeavingTheRegressor) {
    TAxSymbolicRegressor SR;
    SR.Settings().PopulationSize = 33;
    const struct {
        std::string Text, Message;
    } Cases[] = {
        {"",
         "Not a symbolic regressor state: the first line is not \"axgenetic.SymbolicRegressor 1\""},
        {"axgenetic.SymbolicRegressor 1\nColour=red\n",
         "Not a symbolic regressor state: unknown setting \"Colour\""},
        {"axgenetic.SymbolicRegressor 1\nPopulationSize=many\n",
         "Not a symbolic regressor state: bad value \"many\" of PopulationSize"},
        {"axgenetic.SymbolicRegressor 1\nModel=99999\n<x/>",
         "Not a symbolic regressor state: a model is cut short"},
    };
    for (const auto& Case : Cases) {
        try {
            SR.LoadState(Case.Text);
            ADD_FAILURE() << Case.Text;
        } catch (const EGPException& E) {
            EXPECT_EQ(E.what(), Case.Message);
        }
    }
    EXPECT_EQ(SR.Settings().PopulationSize, 33);
    EXPECT_FALSE(SR.Fitted());
}

TEST(SymbolicRegressor, ProgramsThatOverflowNeverReachTheFront) {
    TAxSymbolicRegressor SR;
    SR.SetSettings(Small());
    SR.Settings().FunctionSet = "Exp,Mul,Add";
    TAxGPDataSet Data(10);
    auto X = Data.AddColumn("x");
    auto Y = Data.AddColumn("y");
    for (std::size_t R = 0; R < 10; ++R) {
        X[R] = 300 + 50.0 * static_cast<double>(R); // exp(exp(x)) and x*exp(x) overflow
        Y[R] = 2 * X[R];
    }
    SR.Fit(Data, "y");
    for (const auto& F : SR.Front()) {
        EXPECT_TRUE(std::isfinite(F.TrainMSE)) << F.Infix;
        EXPECT_LT(F.TrainMSE, SRWorstMSE) << F.Infix;
    }
    for (const auto& L : SR.Log())
        EXPECT_TRUE(std::isfinite(L.MedianMSE));
}

TEST(SymbolicRegressor, AModelUsingHostFunctionsLoadsOnlyWhereTheyAreAdded) {
    TAxSymbolicRegressor SR;
    SR.SetSettings(Small());
    SR.Settings().FunctionSet = "Add";
    SR.AddFunction("Cube", [](TGAFloat A) { return A * A * A; });
    TAxGPDataSet Data(12);
    auto X = Data.AddColumn("x");
    auto Y = Data.AddColumn("y");
    for (std::size_t R = 0; R < 12; ++R) {
        X[R] = -1.5 + 0.25 * static_cast<double>(R);
        Y[R] = X[R] * X[R] * X[R];
    }
    SR.Fit(Data, "y");
    EXPECT_NE(SR.Model().Infix.find("Cube"), std::string::npos) << SR.Model().Infix;
    std::stringstream Document;
    SR.SaveModelToStream(Document);
    TAxSymbolicRegressor Without;
    try {
        Without.LoadModelFromStream(Document);
        ADD_FAILURE();
    } catch (const EGPException& E) {
        EXPECT_EQ(std::string(E.what()),
                  "Not a symbolic regression model: unknown function \"Cube\"");
    }
    EXPECT_FALSE(Without.Fitted());
    TAxSymbolicRegressor With;
    With.AddFunction("Cube", [](TGAFloat A) { return A * A * A; });
    Document.clear();
    Document.seekg(0);
    With.LoadModelFromStream(Document);
    EXPECT_EQ(With.Predict(Data), SR.Predict(Data));
}

TEST(SymbolicRegressor, HostFunctionNamesMustBeNew) {
    TAxSymbolicRegressor With;
    With.AddFunction("Cube", [](TGAFloat A) { return A * A * A; });
    EXPECT_THROW(With.AddFunction("cube", [](TGAFloat A) { return A; }), EGPException);
    EXPECT_THROW(With.AddFunction("Sin", [](TGAFloat A) { return A; }), EGPException);
}

} // namespace
} // namespace ax
