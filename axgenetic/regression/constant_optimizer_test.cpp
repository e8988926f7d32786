#include "axgenetic/regression/constant_optimizer.hpp"

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/gp/engine/batch_evaluator.hpp"
#include "axgenetic/gp/engine/float_classes.hpp"
#include "axgenetic/platform/expect_error_test_support.hpp"
#include "axgenetic/platform/random.hpp"
#include "axgenetic/regression/functions.hpp"

namespace ax {
namespace {

using TNode = TAxGPNode<TGAFloat>;
constexpr double Inf = std::numeric_limits<double>::infinity();

// The whole catalogue, the variables x, y and z, a constant c and a function Cube the
// catalogue does not know; programs are written in prefix text, numbers being constants.
class TProgramKit {
public:
    TProgramKit() {
        AddSRFunctions(Set, "full,Neg");
        for (const char* Name : {"x", "y", "z"})
            Set.Add()->SetName(Name);
        Set.Add()->SetName("c");
        Set.FindItemName("c")->SetOperation(TGPGeneticInstruction::gpConstant);
        Set.AddElementwise("Cube", [](TGAFloat A) { return A * A * A; });
    }

    std::unique_ptr<TAxGPFloatNode> Parse(const std::string& Text) {
        std::size_t Pos = 0;
        std::unique_ptr<TAxGPFloatNode> Root;
        Build(Text, Pos, nullptr, Root);
        return Root;
    }

    // A random program of depth at most Depth over x, y, constants in [-2, 2) and every
    // function of the catalogue; Root, when given, is the root's function.
    std::unique_ptr<TAxGPFloatNode> Random(int Depth, const TAxSRFunction* Root = nullptr) {
        std::unique_ptr<TAxGPFloatNode> Result;
        Grow(Depth, nullptr, Result, Root);
        return Result;
    }

    TAxGPFloatInstructions Set{nullptr};

private:
    TNode* Make(TAxGPInstruction<TGAFloat>* I, TNode* Parent,
                std::unique_ptr<TAxGPFloatNode>& Root) {
        if (Parent) return Parent->CreateNode(I, *Parent);
        Root = std::make_unique<TAxGPFloatNode>(I);
        return Root.get();
    }

    void Build(const std::string& Text, std::size_t& Pos, TNode* Parent,
               std::unique_ptr<TAxGPFloatNode>& Root) {
        while (Text[Pos] == ' ')
            ++Pos;
        const bool Call = Text[Pos] == '(';
        if (Call) ++Pos;
        const std::size_t End = Text.find_first_of(" ()", Pos);
        const std::string Token = Text.substr(Pos, End - Pos);
        Pos = End;
        char* Rest = nullptr;
        const double Number = std::strtod(Token.c_str(), &Rest);
        const bool IsNumber = *Rest == '\0';
        TNode* Node = Make(Set.FindItemName(IsNumber ? "c" : Token), Parent, Root);
        if (IsNumber) Node->SetValue(Number);
        if (!Call) return;
        while (Text[Pos] != ')') {
            Build(Text, Pos, Node, Root);
            while (Text[Pos] == ' ')
                ++Pos;
        }
        ++Pos;
    }

    void Grow(int Depth, TNode* Parent, std::unique_ptr<TAxGPFloatNode>& Root,
              const TAxSRFunction* F) {
        const auto Functions = SRFunctions();
        if (!F && Depth > 0 && ax::Random() < 0.7)
            F = &Functions[static_cast<std::size_t>(
                ax::Random(static_cast<int>(Functions.size())))];
        if (F) {
            TNode* Node = Make(Set.FindItemName(F->Name), Parent, Root);
            for (int A = 0; A < F->Arity; ++A)
                Grow(Depth - 1, Node, Root, nullptr);
            return;
        }
        const int Leaf = ax::Random(3);
        TNode* Node = Make(Set.FindItemName(Leaf == 0 ? "x" : Leaf == 1 ? "y" : "c"), Parent, Root);
        if (Leaf == 2) Node->SetValue(4 * ax::Random() - 2);
    }
};

// Columns x and y of Rows rows drawn in [Low, High).
TAxGPDataSet RandomData(int Rows, double Low, double High) {
    TAxGPDataSet Data(Rows);
    for (const char* Name : {"x", "y"})
        for (TGAFloat& V : Data.AddColumn(Name))
            V = Low + (High - Low) * Random();
    return Data;
}

std::vector<TGAFloat> Execute(TNode& Root, const TAxGPDataSet& Data) {
    std::vector<TGAFloat> Result;
    TAxGPContext<TGAFloat> Context;
    for (int R = 0; R < Data.RowCount(); ++R) {
        for (int C = 0; C < Data.ColumnCount(); ++C)
            Context.Values().AddOrSetValue(Data.ColumnName(C), Data.ColumnData(C)[R]);
        Result.push_back(Root.Execute(Context));
    }
    return Result;
}

// The mean squared error a host measures from Execute, scaled in closed form when asked.
double HostError(TNode& Root, const TAxGPDataSet& Data, const std::vector<TGAFloat>& Target,
                 bool Scaled) {
    const std::vector<TGAFloat> Values = Execute(Root, Data);
    TGAFloat Intercept = 0, Slope = 1;
    if (Scaled) LinearScaling(Values, Target, Intercept, Slope);
    double Sum = 0;
    for (std::size_t P = 0; P < Values.size(); ++P) {
        const double R = Target[P] - (Scaled ? Intercept + Slope * Values[P] : Values[P]);
        Sum += R * R;
    }
    return std::isfinite(Sum) ? Sum / static_cast<double>(Values.size()) : Inf;
}

std::vector<TGAFloat> ParameterValues(const TNode& Node) {
    std::vector<TGAFloat> Result;
    if (Node.GetChildCount() == 0 &&
        Node.Instruction()->Operation() == TGPGeneticInstruction::gpConstant)
        Result.push_back(Node.Value());
    for (int C = 0; C < Node.GetChildCount(); ++C)
        for (const TGAFloat V : ParameterValues(*Node.GetChild(C)))
            Result.push_back(V);
    return Result;
}

void SetParameter(TNode& Node, int& Index, int Target, TGAFloat Value) {
    if (Node.GetChildCount() == 0 &&
        Node.Instruction()->Operation() == TGPGeneticInstruction::gpConstant && Index++ == Target)
        Node.SetValue(Value);
    for (int C = 0; C < Node.GetChildCount(); ++C)
        SetParameter(*Node.GetChild(C), Index, Target, Value);
}

void SetParameter(TNode& Root, int Target, TGAFloat Value) {
    int Index = 0;
    SetParameter(Root, Index, Target, Value);
}

std::vector<TGAFloat> SineTarget(const TAxGPDataSet& Data) {
    std::vector<TGAFloat> Target;
    for (const TGAFloat X : Data.Column("x"))
        Target.push_back(2.5 * std::sin(1.7 * X) + 0.3);
    return Target;
}

// Each test has the kit and an optimiser with default settings.
class SRConstantOptimizerTest : public ::testing::Test {
protected:
    TProgramKit Kit;
    TAxSRConstantOptimizer Optimizer;
};

// --- linear scaling ---------------------------------------------------------------------

TEST(LinearScalingTest, ExactLineIsRecoveredEvenFarFromZero) {
    for (const double Offset : {0.0, 1e8}) {
        std::vector<TGAFloat> Values, Target;
        for (int P = 0; P < 50; ++P) {
            Values.push_back(Offset + 0.1 * P);
            Target.push_back(3 - 2 * (0.1 * P));
        }
        TGAFloat Intercept = 0, Slope = 0;
        LinearScaling(Values, Target, Intercept, Slope);
        EXPECT_NEAR(Slope, -2, 1e-6) << Offset;
        for (std::size_t P = 0; P < Values.size(); ++P)
            EXPECT_NEAR(Intercept + Slope * Values[P], Target[P], 1e-6) << Offset;
    }
}

TEST(LinearScalingTest, DegenerateValuesGiveTheTargetMean) {
    const double NaN = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::vector<TGAFloat>> Cases = {
        {0.1, 0.1, 0.1, 0.1}, {1, NaN, 3, 4}, {1, 2, Inf, 4}, {-Inf, 2, 3, 4}};
    const std::vector<TGAFloat> Target = {1, 2, 4, 9};
    for (const auto& Values : Cases) {
        TGAFloat Intercept = -1, Slope = -1;
        LinearScaling(Values, Target, Intercept, Slope);
        EXPECT_EQ(Slope, 0);
        EXPECT_EQ(Intercept, 4);
    }
    TGAFloat Intercept = -1, Slope = -1;
    LinearScaling({}, {}, Intercept, Slope);
    EXPECT_EQ(Intercept, 0);
    EXPECT_EQ(Slope, 0);
}

TEST(LinearScalingTest, LengthsMustAgree) {
    TGAFloat Intercept = 0, Slope = 0;
    const std::vector<TGAFloat> Three = {1, 2, 3}, Two = {1, 2};
    ExpectError<EGPException>([&] { LinearScaling(Three, Two, Intercept, Slope); },
                              "Linear scaling needs as many values as targets (3 values, 2 "
                              "targets)");
}

// --- differentiation --------------------------------------------------------------------

// Random programs over the whole catalogue: the forward pass gives Execute's values bit
// for bit, NaN and infinity included.
TEST_F(SRConstantOptimizerTest, ProgramValuesEqualExecuteBitForBit) {
    RandSeed(19);
    const TAxGPDataSet Data = RandomData(600, -3, 3); // more rows than a block
    std::vector<TGAFloat> Values, J;
    for (const TAxSRFunction& F : SRFunctions())
        for (int Trial = 0; Trial < 10; ++Trial) {
            auto Root = Kit.Random(5, &F);
            Optimizer.Jacobian(*Root, Data, Values, J);
            const std::vector<TGAFloat> Expected = Execute(*Root, Data);
            ASSERT_EQ(Values.size(), Expected.size());
            for (std::size_t P = 0; P < Values.size(); ++P)
                EXPECT_EQ(std::memcmp(&Values[P], &Expected[P], sizeof(TGAFloat)), 0)
                    << Root->ToString() << " row " << P;
        }
}

// The Jacobian agrees with central differences wherever the program is smooth (where two
// step sizes agree with each other), for random programs rooted at every function.
TEST_F(SRConstantOptimizerTest, JacobianMatchesFiniteDifferences) {
    RandSeed(7);
    const TAxGPDataSet Data = RandomData(300, -2, 2); // more rows than a block
    std::vector<TGAFloat> Values, J, Plus, Minus, Unused;
    const auto Difference = [&](TNode& Root, int K, TGAFloat Base, double H, std::size_t Row) {
        SetParameter(Root, K, Base + H);
        Optimizer.Jacobian(Root, Data, Plus, Unused);
        SetParameter(Root, K, Base - H);
        Optimizer.Jacobian(Root, Data, Minus, Unused);
        SetParameter(Root, K, Base);
        return (Plus[Row] - Minus[Row]) / (2 * H);
    };
    for (const TAxSRFunction& F : SRFunctions()) {
        int Checked = 0;
        for (int Trial = 0; Trial < 12; ++Trial) {
            auto Root = Kit.Random(4, &F);
            Optimizer.Jacobian(*Root, Data, Values, J);
            const std::vector<TGAFloat> Base = ParameterValues(*Root);
            const std::size_t Params = Base.size();
            ASSERT_EQ(J.size(), Values.size() * Params);
            for (std::size_t K = 0; K < Params; ++K)
                for (std::size_t Row = 0; Row < Values.size(); Row += 53) {
                    const double H = 1e-5 * (1 + std::fabs(Base[K]));
                    const int Index = static_cast<int>(K);
                    const double Coarse = Difference(*Root, Index, Base[K], H, Row);
                    const double Fine = Difference(*Root, Index, Base[K], H / 4, Row);
                    if (!std::isfinite(Coarse) || !std::isfinite(Fine) ||
                        std::fabs(Coarse - Fine) > 1e-5 * (1 + std::fabs(Fine)))
                        continue;
                    EXPECT_NEAR(J[Row * Params + K], Fine, 1e-4 * (1 + std::fabs(Fine)))
                        << Root->ToString() << " parameter " << K << " row " << Row;
                    ++Checked;
                }
        }
        EXPECT_GT(Checked, 20) << F.Name;
    }
}

TEST_F(SRConstantOptimizerTest, IsParameterChoosesTheColumns) {
    auto Root = Kit.Parse("(Add (Mul 2 x) (Mul 3 y))");
    const TAxGPDataSet Data = RandomData(4, 1, 2);
    std::vector<TGAFloat> Values, J;
    Optimizer.SetIsParameter([](const TNode& Node) { return Node.Value() != 2; });
    Optimizer.Jacobian(*Root, Data, Values, J);
    ASSERT_EQ(J.size(), 4u);
    for (int R = 0; R < 4; ++R)
        EXPECT_EQ(J[static_cast<std::size_t>(R)], Data.ColumnData(1)[R]);
    Optimizer.SetIsParameter(nullptr);
    Optimizer.Jacobian(*Root, Data, Values, J);
    ASSERT_EQ(J.size(), 8u);
    EXPECT_EQ(J[0], Data.ColumnData(0)[0]);
    EXPECT_EQ(J[1], Data.ColumnData(1)[0]);
}

TEST_F(SRConstantOptimizerTest, JacobianRefusesUnknownNodesByName) {
    const TAxGPDataSet Data = RandomData(3, 0, 1);
    std::vector<TGAFloat> Values, J;
    for (const auto& [Program, Name] : std::vector<std::pair<std::string, std::string>>{
             {"(Add (Cube x) 1)", "Cube"}, {"(Mul z 2)", "z"}}) {
        auto Root = Kit.Parse(Program);
        ExpectError<EGPException>(
            [&] { Optimizer.Jacobian(*Root, Data, Values, J); },
            "Node \"" + Name +
                "\" cannot be differentiated: it is neither a function of "
                "the catalogue, a constant nor a variable with a data column");
    }
}

// --- optimisation -----------------------------------------------------------------------

TEST_F(SRConstantOptimizerTest, RecoversKnownConstants) {
    RandSeed(3);
    Optimizer.SetIterations(50);
    const TAxGPDataSet Data = RandomData(700, -3, 3);
    const std::vector<TGAFloat> Target = SineTarget(Data);
    auto Root = Kit.Parse("(Add (Mul 2 (Sin (Mul 1.5 x))) 0)");
    EXPECT_LT(Optimizer.Optimize(*Root, Data, Target, false), 1e-20);
    const std::vector<TGAFloat> Found = ParameterValues(*Root);
    EXPECT_NEAR(Found[0], 2.5, 1e-9);
    EXPECT_NEAR(Found[1], 1.7, 1e-9);
    EXPECT_NEAR(Found[2], 0.3, 1e-9);
}

// With linear scaling only the frequency is left to find; intercept and slope follow.
TEST_F(SRConstantOptimizerTest, RecoversConstantsUnderLinearScaling) {
    RandSeed(4);
    const TAxGPDataSet Data = RandomData(100, -3, 3);
    const std::vector<TGAFloat> Target = SineTarget(Data);
    auto Root = Kit.Parse("(Sin (Mul 1.5 x))");
    double Error = Inf;
    for (int Call = 0; Call < 5; ++Call)
        Error = Optimizer.Optimize(*Root, Data, Target, true);
    EXPECT_LT(Error, 1e-20);
    EXPECT_NEAR(ParameterValues(*Root)[0], 1.7, 1e-9);
    TGAFloat Intercept = 0, Slope = 0;
    LinearScaling(Execute(*Root, Data), Target, Intercept, Slope);
    EXPECT_NEAR(Intercept, 0.3, 1e-9);
    EXPECT_NEAR(Slope, 2.5, 1e-9);
}

// Repeated calls on random programs and targets: the error never rises, the value returned
// is the error a host measures with Execute, and no constant becomes NaN or infinite.
TEST_F(SRConstantOptimizerTest, NeverIncreasesTheError) {
    RandSeed(11);
    Optimizer.SetIterations(3);
    const TAxGPDataSet Data = RandomData(60, -2, 2);
    std::vector<TGAFloat> Target;
    for (int R = 0; R < 60; ++R)
        Target.push_back(std::exp(Data.ColumnData(0)[R]) - Data.ColumnData(1)[R] * 0.7);
    int Improved = 0;
    for (const bool Scaled : {false, true})
        for (int Trial = 0; Trial < 60; ++Trial) {
            auto Root = Kit.Random(5);
            double Before = HostError(*Root, Data, Target, Scaled);
            for (int Call = 0; Call < 3; ++Call) {
                const double After = Optimizer.Optimize(*Root, Data, Target, Scaled);
                EXPECT_LE(After, Before) << Root->ToString();
                EXPECT_EQ(After, HostError(*Root, Data, Target, Scaled)) << Root->ToString();
                for (const TGAFloat V : ParameterValues(*Root))
                    EXPECT_TRUE(std::isfinite(V)) << Root->ToString();
                Improved += After < Before;
                Before = After;
            }
        }
    EXPECT_GT(Improved, 40);
}

// Programs the optimiser cannot improve keep their constants and get the error a host
// measures: infinite for a program that is not finite at some row, the plain error for
// one it cannot differentiate or that has no parameter.
TEST_F(SRConstantOptimizerTest, ProgramsItCannotImproveAreMeasuredOnly) {
    RandSeed(5);
    const TAxGPDataSet Data = RandomData(30, 1, 3);
    const std::vector<TGAFloat> Target = SineTarget(Data);
    const std::pair<const char*, bool> Cases[] = {
        {"(Exp (Mul 400 x))", true},
        {"(Sin (Exp (Mul 400 x)))", true},
        {"(Add (Div 1 (Sub x x)) (Mul 0 (Exp 800)))", true},
        {"(Add (Cube x) 0.5)", false},
        {"(Mul z 2)", false},
        {"(Mul x y)", false},
    };
    for (const auto& [Program, NotFinite] : Cases)
        for (const bool Scaled : {false, true}) {
            auto Root = Kit.Parse(Program);
            const std::string Before = Root->ToString();
            const double Error = Optimizer.Optimize(*Root, Data, Target, Scaled);
            EXPECT_EQ(Error, HostError(*Root, Data, Target, Scaled)) << Program;
            EXPECT_EQ(Error == Inf, NotFinite) << Program;
            EXPECT_EQ(Root->ToString(), Before);
        }
}

TEST_F(SRConstantOptimizerTest, FixedConstantsKeepTheirValues) {
    RandSeed(8);
    Optimizer.SetIterations(50);
    Optimizer.SetIsParameter([](const TNode& Node) { return Node.Value() != 1.7; });
    const TAxGPDataSet Data = RandomData(50, -3, 3);
    auto Root = Kit.Parse("(Add (Mul 2 (Sin (Mul 1.7 x))) 0)");
    EXPECT_LT(Optimizer.Optimize(*Root, Data, SineTarget(Data), false), 1e-20);
    const std::vector<TGAFloat> Found = ParameterValues(*Root);
    EXPECT_NEAR(Found[0], 2.5, 1e-9);
    EXPECT_EQ(Found[1], 1.7);
    EXPECT_NEAR(Found[2], 0.3, 1e-9);
}

TEST_F(SRConstantOptimizerTest, ParametersBeyondTheLimitStayFixed) {
    RandSeed(12);
    Optimizer.SetMaxParameters(2);
    const TAxGPDataSet Data = RandomData(30, -3, 3);
    auto Root = Kit.Parse("(Add (Mul 2 (Sin (Mul 1.5 x))) 0)");
    std::vector<TGAFloat> Values, J;
    Optimizer.Jacobian(*Root, Data, Values, J);
    EXPECT_EQ(J.size(), 60u);
    Optimizer.Optimize(*Root, Data, SineTarget(Data), false);
    const std::vector<TGAFloat> Found = ParameterValues(*Root);
    EXPECT_NE(Found[0], 2);
    EXPECT_NE(Found[1], 1.5);
    EXPECT_EQ(Found[2], 0);
}

TEST_F(SRConstantOptimizerTest, BadTargetsAreRefused) {
    auto Root = Kit.Parse("(Mul 2 x)");
    TAxGPDataSet Data(3);
    Data.AddColumn("x");
    TAxGPDataSet Empty(0);
    Empty.AddColumn("x");
    const std::vector<TGAFloat> Two = {1, 2}, WithNaN = {1, std::nan(""), 3};
    const auto Refused = [&](const TAxGPDataSet& D, std::span<const TGAFloat> T,
                             const char* Message) {
        ExpectError<EGPException>([&] { Optimizer.Optimize(*Root, D, T, true); }, Message);
    };
    Refused(Data, Two, "The target has 2 values for 3 data rows");
    Refused(Empty, {}, "The data set has no rows");
    Refused(Data, WithNaN, "The target value of row 1 is not finite");
    EXPECT_EQ(Root->ToString(), "(Mul 2 x)");
}

// Each setting starts at its default and clamps what it is given, in this order: a value
// that is not a number gives the default back.
TEST(SRConstantOptimizerSettingsTest, SettersClampToTheirRanges) {
    using O = TAxSRConstantOptimizer;
    const double NaN = std::nan("");
    const struct {
        const char* Name;
        double Default;
        std::function<void(O&, double)> Set;
        std::function<double(const O&)> Get;
        std::vector<std::pair<double, double>> GivenStored;
    } Settings[] = {
        {"Iterations",
         10,
         [](O& Opt, double V) { Opt.SetIterations(static_cast<int>(V)); },
         [](const O& Opt) { return Opt.Iterations(); },
         {{-4, 0}, {1 << 30, 1000}}},
        {"InitialDamping",
         1e-3,
         [](O& Opt, double V) { Opt.SetInitialDamping(V); },
         [](const O& Opt) { return Opt.InitialDamping(); },
         {{0, 1e-12}, {NaN, 1e-3}, {1e20, 1e12}}},
        {"Tolerance",
         1e-12,
         [](O& Opt, double V) { Opt.SetTolerance(V); },
         [](const O& Opt) { return Opt.Tolerance(); },
         {{-1, 0}, {Inf, 1}, {NaN, 1e-12}}},
        {"MaxParameters",
         100,
         [](O& Opt, double V) { Opt.SetMaxParameters(static_cast<int>(V)); },
         [](const O& Opt) { return Opt.MaxParameters(); },
         {{0, 1}, {5000, 1000}}},
    };
    for (const auto& Setting : Settings) {
        O Optimizer;
        EXPECT_EQ(Setting.Get(Optimizer), Setting.Default) << Setting.Name;
        for (const auto& [Given, Stored] : Setting.GivenStored) {
            Setting.Set(Optimizer, Given);
            EXPECT_EQ(Setting.Get(Optimizer), Stored) << Setting.Name << " " << Given;
        }
    }
}

} // namespace
} // namespace ax
