#include "axgenetic/regression/expression.hpp"

#include <bit>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <tuple>

#include <gtest/gtest.h>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/gp/engine/batch_evaluator.hpp"
#include "axgenetic/gp/engine/float_classes.hpp"
#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/expect_error_test_support.hpp"
#include "axgenetic/platform/random.hpp"
#include "axgenetic/regression/functions.hpp"

namespace ax {
namespace {

// Float programs written in prefix form, "(Add x (Mul 2.5 y))": the catalogue's functions,
// the variables x, y, z, x12, age and E, numbers as constant nodes, and two functions of a host,
// f (one argument) and Rnd (none).
class TPrograms {
public:
    TPrograms() : Set(nullptr) {
        AddSRFunctions(Set, "full,Neg");
        for (const char* Name : {"x", "y", "z", "x12", "age", "E"})
            Set.Add()->SetName(Name);
        Constant = Set.Add();
        Constant->SetName("c");
        Constant->SetOperation(TGPGeneticInstruction::gpConstant);
        Set.Add()->SetName("f");
        Set.Items(Set.Count() - 1)->SetArity(1);
        Set.Add()->SetName("Rnd");
        Set.Items(Set.Count() - 1)->SetOperation(TGPGeneticInstruction::gpFunction);
    }

    std::unique_ptr<TAxGPNode<TGAFloat>> Parse(const std::string& Text) {
        std::istringstream In(Spaced(Text));
        auto Root = std::make_unique<TAxGPFloatNode>();
        Read(In, *Root);
        return Root;
    }

    TAxGPFloatInstructions Set;
    TAxGPInstruction<TGAFloat>* Constant;

private:
    static std::string Spaced(const std::string& Text) {
        std::string Out;
        for (const char Ch : Text)
            Out += Ch == '(' || Ch == ')' ? std::string(" ") + Ch + " " : std::string(1, Ch);
        return Out;
    }
    void Read(std::istringstream& In, TAxGPNode<TGAFloat>& Node) {
        std::string Token;
        In >> Token;
        if (Token == "(") {
            In >> Token;
            Node.SetInstruction(Set.ItemByName(Token));
            while (In >> std::ws && In.peek() != ')')
                Read(In, *Node.CreateNode(nullptr, Node));
            In >> Token;
        } else if (std::isalpha(static_cast<unsigned char>(Token[0]))) {
            Node.SetInstruction(Set.ItemByName(Token));
        } else {
            Node.SetInstruction(Constant);
            Node.SetValue(std::strtod(Token.c_str(), nullptr));
        }
    }
};

std::string Infix(TPrograms& P, const std::string& Program, int Digits = 0) {
    return TAxSRExpression::FromProgram(*P.Parse(Program)).Infix(Digits);
}

TEST(SRExpressionTest, InfixFollowsPrecedenceInTheProgramsOrder) {
    TPrograms P;
    const std::pair<const char*, const char*> Cases[] = {
        {"(Add x 2.5)", "x + 2.5"},
        {"(Add x -2.5)", "x - 2.5"},
        {"(Sub x -2.5)", "x + 2.5"},
        {"(Add 0.1 x)", "0.1 + x"},
        {"(Mul (Add x y) z)", "(x + y)*z"},
        {"(Add (Add x y) z)", "x + y + z"},
        {"(Add x (Add y z))", "x + (y + z)"},
        {"(Sub x (Sub y z))", "x - (y - z)"},
        {"(Sub x (Mul y z))", "x - y*z"},
        {"(Add x (Mul -2.5 y))", "x - 2.5*y"},
        {"(Sub x (Mul -2.5 (Mul y z)))", "x + 2.5*(y*z)"},
        {"(Add x (Div -2.5 y))", "x + -2.5/y"},
        {"(Div (Mul x y) z)", "x*y/z"},
        {"(Mul x (Div y z))", "x*(y/z)"},
        {"(Div x (Mul y z))", "x/(y*z)"},
        {"(Div x -2)", "x/(-2)"},
        {"(Mul x -2.5)", "x*(-2.5)"},
        {"(Mul -2.5 x)", "-2.5*x"},
        {"(Neg x)", "-x"},
        {"(Neg (Neg x))", "-(-x)"},
        {"(Neg -2)", "-(-2)"},
        {"(Neg (Add x y))", "-(x + y)"},
        {"(Neg (Mul x y))", "-x*y"},
        {"(Neg (Div x y))", "-(x/y)"},
        {"(Mul (Neg x) y)", "-x*y"},
        {"(Mul x (Neg y))", "x*(-y)"},
        {"(Add x (Neg y))", "x + (-y)"},
        {"(Sub (Neg x) y)", "-x - y"},
        {"(Square (Neg x))", "(-x)^2"},
        {"(Square -3)", "(-3)^2"},
        {"(Square (Add x 1))", "(x + 1)^2"},
        {"(Square (Square x))", "(x^2)^2"},
        {"(Neg (Square x))", "-x^2"},
        {"(Mul 2 (Square x))", "2*x^2"},
        {"(Sin (Add x y))", "sin(x + y)"},
        {"(Log (Sqrt (Abs (Exp (Tanh (Cos x))))))", "log(sqrt(abs(exp(tanh(cos(x))))))"},
        {"(AQ (Add x 1) y)", "(x + 1)/sqrt(1 + y^2)"},
        {"(AQ x (Add y 1))", "x/sqrt(1 + (y + 1)^2)"},
        {"(f (Add x 1))", "f(x + 1)"},
        {"(Add (Rnd) 1)", "Rnd() + 1"},
        {"(Mul 1e20 x)", "1e+20*x"},
        {"(Add x 0.30000000000000004)", "x + 0.30000000000000004"},
    };
    for (const auto& [Program, Expected] : Cases)
        EXPECT_EQ(Infix(P, Program), Expected) << Program;
}

TEST(SRExpressionTest, InfixRoundsConstantsToTheDigitsAsked) {
    TPrograms P;
    const std::tuple<const char*, int, const char*> Cases[] = {
        {"(Mul 3.14159265 x)", 3, "3.14*x"},      {"(Add x 0.000123456)", 3, "x + 0.000123"},
        {"(Add x -123456.7)", 3, "x - 1.23e+05"}, {"(Add x 2.5)", 3, "x + 2.5"},
        {"(Add x 0.99999)", 2, "x + 1"},
    };
    for (const auto& [Program, Digits, Expected] : Cases)
        EXPECT_EQ(Infix(P, Program, Digits), Expected) << Program;
}

TEST(SRExpressionTest, ScalingWrapsTheProgramUnlessItIsTheIdentity) {
    TPrograms P;
    const auto Program = P.Parse("(Add x y)");
    // Intercept, slope, the formula and its size.
    const std::tuple<double, double, const char*, int> Cases[] = {
        {0, 1, "x + y", 3},
        {1.5, 2, "2*(x + y) + 1.5", 7},
        {-1, 1, "x + y - 1", 5},
        {0, -0.5, "-0.5*(x + y)", 5},
    };
    for (const auto& [Intercept, Slope, Expected, Size] : Cases) {
        const TAxSRExpression E = TAxSRExpression::FromProgram(*Program, Intercept, Slope);
        EXPECT_EQ(E.Infix(), Expected);
        EXPECT_EQ(E.Size(), Size) << Expected;
    }
}

TEST(SRExpressionTest, SimplificationAppliesTheRulesThatAreExact) {
    TPrograms P;
    const std::pair<const char*, const char*> Cases[] = {
        {"(Mul 1 x)", "x"},
        {"(Mul x 1)", "x"},
        {"(Add x 0)", "x"},
        {"(Add 0 x)", "x"},
        {"(Sub x 0)", "x"},
        {"(Div x 1)", "x"},
        {"(Div x -1)", "-x"},
        {"(Mul -1 x)", "-x"},
        {"(Sub 0 x)", "-x"},
        {"(Neg (Neg x))", "x"},
        {"(Neg 2)", "-2"},
        {"(Sub x x)", "0"},
        {"(Sub (Sin x) (Sin x))", "0"},
        {"(Div x x)", "1"},
        {"(Div (AQ x y) (AQ x y))", "1"},
        {"(Mul (Cos x) 0)", "0"},
        {"(Mul x (Sub y y))", "0"},
        {"(Div 1 (Sub x x))", "1"},
        {"(Div x 0)", "1"},
        {"(Add (Log 0) x)", "x"},
        {"(Log 1)", "0"},
        {"(Add (Mul 0.1 3) x)", "x + 0.30000000000000004"},
        {"(Add x x)", "2*x"},
        {"(Mul x x)", "x^2"},
        {"(Mul x 3)", "3*x"},
        {"(Add 3 x)", "x + 3"},
        {"(Add x (Neg y))", "x - y"},
        {"(Add (Neg x) y)", "y - x"},
        {"(Sub x (Neg y))", "x + y"},
        {"(Neg (Sub x y))", "y - x"},
        {"(Neg (Mul 2 x))", "-2*x"},
        {"(Neg (Div x 4))", "x/(-4)"},
        {"(Neg (Div 4 x))", "-(4/x)"},
        {"(Mul (Neg x) (Neg y))", "x*y"},
        {"(Mul (Neg x) 2)", "-2*x"},
        {"(Div (Neg x) 2)", "x/(-2)"},
        {"(Div (Neg x) (Neg y))", "x/y"},
        {"(Abs (Neg (Square x)))", "x^2"},
        {"(Log (Abs x))", "log(x)"},
        {"(Sqrt (Neg x))", "sqrt(x)"},
        {"(Square (Abs x))", "x^2"},
        {"(AQ x 0)", "x"},
        {"(AQ x (Neg y))", "x/sqrt(1 + y^2)"},
        // Not exact, so kept: infinite or NaN values, the protected divisor, host functions.
        {"(Sub (Exp x) (Exp x))", "exp(x) - exp(x)"},
        {"(Sub (Add x y) (Add x y))", "x + y - (x + y)"},
        {"(Mul (Exp x) 0)", "0*exp(x)"},
        {"(Div (Mul x y) (Mul x y))", "x*y/(x*y)"},
        {"(Div x (Neg y))", "x/(-y)"},
        {"(Exp 1000)", "exp(1000)"},
        {"(Sub (f x) (f x))", "f(x) - f(x)"},
        {"(Mul (Rnd) 1)", "Rnd()"},
        {"(Add (Mul 2 3) (f (Mul x 1)))", "f(x) + 6"},
    };
    for (const auto& [Program, Expected] : Cases)
        EXPECT_EQ(TAxSRExpression::FromProgram(*P.Parse(Program)).Simplified().Infix(), Expected)
            << Program;
}

// Reads infix text back and computes it with the catalogue's functions at one point, in
// the order the text gives with the usual precedence.
class TInfixReader {
public:
    TInfixReader(const std::string& Text, double X, double Y) : T(Text), X(X), Y(Y) {}
    double Read() {
        const double V = Sum();
        EXPECT_EQ(Pos, T.size()) << T;
        return V;
    }

private:
    bool Take(const char* Token) {
        if (T.compare(Pos, std::strlen(Token), Token) != 0) return false;
        Pos += std::strlen(Token);
        return true;
    }
    double Sum() {
        double V = Product();
        while (true)
            if (Take(" + "))
                V = V + Product();
            else if (Take(" - "))
                V = V - Product();
            else
                return V;
    }
    double Product() {
        double V = Minus();
        while (true)
            if (Take("*"))
                V = V * Minus();
            else if (Take("/"))
                V = FindSRFunction("Div")->Value(V, Minus());
            else
                return V;
    }
    double Minus() { return Take("-") ? -Minus() : Power(); }
    double Power() {
        const double V = Atom();
        return Take("^2") ? V * V : V;
    }
    double Atom() {
        if (Take("(")) {
            const double V = Sum();
            EXPECT_TRUE(Take(")")) << T;
            return V;
        }
        std::string Name;
        while (Pos < T.size() && std::isalpha(static_cast<unsigned char>(T[Pos])))
            Name += T[Pos++];
        if (Name == "x") return X;
        if (Name == "y") return Y;
        if (!Name.empty()) {
            EXPECT_TRUE(Take("(")) << T;
            const double A = Sum();
            EXPECT_TRUE(Take(")")) << T;
            return FindSRFunction(Name)->Value(A);
        }
        char* End = nullptr;
        const double V = std::strtod(T.c_str() + Pos, &End);
        Pos = static_cast<std::size_t>(End - T.c_str());
        return V;
    }

    const std::string& T;
    double X, Y;
    std::size_t Pos = 0;
};

// Grows a random program over x and y; constants the rules look at come up often, and a
// second argument is often a copy of the first, so that x - x and x / x occur.
void Grow(TPrograms& P, TAxGPNode<TGAFloat>& Node, int Depth) {
    if (Depth == 0 || Random() < 0.25) {
        const double Constants[] = {0, -0.0, 1, -1, 2, 0.5, 1e300, -3.75, 710};
        const int Pick = Random(14);
        if (Pick < 4) {
            Node.SetInstruction(P.Set.ItemByName(Pick < 2 ? "x" : "y"));
        } else {
            Node.SetInstruction(P.Constant);
            Node.SetValue(Pick < 13 ? Constants[Pick - 4] : Random() * 10 - 5);
        }
        return;
    }
    const TAxSRFunction& F = SRFunctions()[static_cast<std::size_t>(Random(14))];
    Node.SetInstruction(P.Set.ItemByName(std::string(F.Name)));
    Grow(P, *Node.CreateNode(nullptr, Node), Depth - 1);
    if (F.Arity == 1) return;
    if (Random() < 0.3)
        Node.GetChild(0)->Clone(Node);
    else
        Grow(P, *Node.CreateNode(nullptr, Node), Depth - 1);
}

// Equal as numbers: the two zeros are the same value, and so is every NaN.
bool SameValue(double A, double B) {
    return A == B || (std::isnan(A) && std::isnan(B));
}
// Equal bit for bit, but for the payload of a NaN.
bool SameBits(double A, double B) {
    return std::isnan(A) ? std::isnan(B)
                         : std::bit_cast<std::uint64_t>(A) == std::bit_cast<std::uint64_t>(B);
}

// Finite data points only, but extreme ones: zeros of both signs, subnormals, the largest
// doubles, and values where Exp overflows.
TAxGPDataSet RandomPoints(int Count) {
    const double Special[] = {
        0,      -0.0, 1,    -1,  4.9e-324,         -1e-310, 1.7976931348623157e308,
        -1e308, 710,  -745, 2.5, 3.141592653589793};
    TAxGPDataSet Data(Count);
    std::span<TGAFloat> X = Data.AddColumn("x");
    std::span<TGAFloat> Y = Data.AddColumn("y");
    for (std::size_t I = 0; I < X.size(); ++I) {
        X[I] = I < 12 ? Special[I] : Random() * 20 - 10;
        Y[I] = Random() < 0.3 ? Special[Random(12)] : Random() * 20 - 10;
    }
    return Data;
}

// 400 random programs at extreme points: Check gets each program with its values there,
// its formula, the simplified formula and the values of both formulas.
template <class F> void ForRandomPrograms(F Check) {
    RandSeed(20261207);
    TPrograms P;
    const TAxGPDataSet Data = RandomPoints(48);
    TAxGPBatchEvaluator Evaluator;
    std::vector<TGAFloat> Program(48), Formula(48), Simple(48);
    for (int Trial = 0; Trial < 400; ++Trial) {
        TAxGPFloatNode Root;
        Grow(P, Root, 1 + Random(6));
        Evaluator.Evaluate(Root, Data, Program);
        const TAxSRExpression E = TAxSRExpression::FromProgram(Root);
        const TAxSRExpression S = E.Simplified();
        E.Evaluate(Data, Formula);
        S.Evaluate(Data, Simple);
        for (std::size_t I = 0; I < Program.size(); ++I) {
            const double X = Data.Column("x")[I], Y = Data.Column("y")[I];
            const std::string Where = Root.ToString() + " at x = " + std::to_string(X) +
                                      ", y = " + std::to_string(Y) + ": " + S.Infix();
            Check(E, S, X, Y, Program[I], Formula[I], Simple[I], Where);
        }
    }
}

TEST(SRExpressionTest, SimplifiedFormulasKeepEveryValueOfRandomPrograms) {
    int Shrunk = 0; // points of programs that simplification shrinks
    ForRandomPrograms([&](const TAxSRExpression& E, const TAxSRExpression& S, double, double,
                          double Program, double Formula, double Simple, const std::string& Where) {
        EXPECT_TRUE(SameBits(Formula, Program)) << Where;
        EXPECT_TRUE(SameValue(Simple, Program)) << Where;
        EXPECT_LE(S.Size(), E.Size()) << Where;
        Shrunk += S.Size() < E.Size();
    });
    EXPECT_GT(Shrunk, 100 * 48); // the rules do come up, in more than 100 programs
}

// The infix texts, read back with the usual precedence, compute the same values.
TEST(SRExpressionTest, InfixTextsOfRandomProgramsReadBackToTheirValues) {
    ForRandomPrograms([](const TAxSRExpression& E, const TAxSRExpression& S, double X, double Y,
                         double Program, double, double Simple, const std::string& Where) {
        EXPECT_TRUE(SameBits(TInfixReader(E.Infix(), X, Y).Read(), Program)) << Where;
        EXPECT_TRUE(SameBits(TInfixReader(S.Infix(), X, Y).Read(), Simple)) << Where;
    });
}

TEST(SRExpressionTest, LatexWritesEachFunctionInItsNotation) {
    TPrograms P;
    const std::pair<const char*, const char*> Cases[] = {
        {"(Div x y)", "\\frac{x}{y}"},
        {"(Mul (Add x 1) y)", "\\left(x + 1\\right) \\cdot y"},
        {"(Mul 3.14159265 (Sin x))", "3.142 \\cdot \\sin\\left(x\\right)"},
        {"(Add x (Mul -0.000012346 y))", "x - 1.235 \\cdot 10^{-5} \\cdot y"},
        {"(Sqrt x)", "\\sqrt{\\left|x\\right|}"},
        {"(Log x)", "\\log\\left|x\\right|"},
        {"(Neg (Abs x))", "-\\left|x\\right|"},
        {"(Exp (Neg x))", "e^{-x}"},
        {"(Square (Exp x))", "\\left(e^{x}\\right)^{2}"},
        {"(Square (Div x y))", "\\left(\\frac{x}{y}\\right)^{2}"},
        {"(AQ x (Cos y))", "\\frac{x}{\\sqrt{1 + \\cos\\left(y\\right)^{2}}}"},
        {"(Sub x (Tanh x12))", "x - \\tanh\\left(x_{12}\\right)"},
        {"(Mul age E)", "\\mathrm{age} \\cdot E"},
        {"(f x)", "\\operatorname{f}\\left(x\\right)"},
    };
    for (const auto& [Program, Expected] : Cases)
        EXPECT_EQ(TAxSRExpression::FromProgram(*P.Parse(Program)).Latex(), Expected) << Program;
}

TEST(SRExpressionTest, FullPrecisionConstantsReadBackToTheSameDouble) {
    RandSeed(77);
    TPrograms P;
    for (int Trial = 0; Trial < 300; ++Trial) {
        double C[3];
        for (double& V : C)
            V = (Random() * 2 - 1) * std::pow(10.0, Random(610) - 310);
        char Program[160];
        std::snprintf(Program, sizeof Program, "(Add (Mul %.17g x) (Add (Mul %.17g y) %.17g))",
                      C[0], C[1], C[2]);
        const std::string Text = TAxSRExpression::FromProgram(*P.Parse(Program)).Infix();
        std::vector<double> Read;
        for (std::size_t I = 0; I < Text.size(); ++I)
            if (std::isdigit(static_cast<unsigned char>(Text[I]))) {
                char* End = nullptr;
                Read.push_back(std::strtod(Text.c_str() + I, &End));
                I = static_cast<std::size_t>(End - Text.c_str());
            }
        ASSERT_EQ(Read.size(), 3u) << Text;
        for (int K = 0; K < 3; ++K)
            EXPECT_EQ(std::bit_cast<std::uint64_t>(Read[K]),
                      std::bit_cast<std::uint64_t>(std::fabs(C[K])))
                << Text;
    }
}

TEST(SRExpressionTest, EvaluateComputesTheScaledProgram) {
    RandSeed(5);
    TPrograms P;
    const TAxGPDataSet Data = RandomPoints(32);
    const auto Root = P.Parse("(Add (Mul 1.7 (Sin x)) (Div y (Log x)))");
    TAxGPBatchEvaluator Evaluator;
    std::vector<TGAFloat> Program(32), Formula(32);
    Evaluator.Evaluate(*Root, Data, Program);
    TAxSRExpression::FromProgram(*Root, 0.25, -3).Evaluate(Data, Formula);
    for (std::size_t I = 0; I < Program.size(); ++I)
        EXPECT_TRUE(SameBits(Formula[I], 0.25 + -3 * Program[I])) << I;
}

TEST(SRExpressionTest, NodesOutsideTheCatalogueStayCalls) {
    TPrograms P;
    // A catalogue function missing an argument is no catalogue function; one with more
    // children than it takes never evaluates the others.
    auto Short = P.Parse("(Div x)");
    EXPECT_EQ(TAxSRExpression::FromProgram(*Short).Infix(), "Div(x)");
    auto Long = P.Parse("(Neg x y)");
    EXPECT_EQ(TAxSRExpression::FromProgram(*Long).Infix(), "-x");
    TAxGPBinaryFloatNode Binary(P.Set.ItemByName("Sub"));
    Binary.CreateNode(P.Set.ItemByName("x"), Binary);
    Binary.ExtractChild(Binary.GetChild(0));
    Binary.InsertChild(1, Binary.CreateNode(P.Set.ItemByName("y")));
    EXPECT_EQ(TAxSRExpression::FromProgram(Binary).Infix(), "Sub(y)");
}

TEST(SRExpressionTest, EvaluateRefusesWhatItCannotCompute) {
    TPrograms P;
    TAxGPDataSet Data(4);
    Data.AddColumn("x");
    std::vector<TGAFloat> Out(4);
    const auto Formula = [&](const char* Program) {
        return TAxSRExpression::FromProgram(*P.Parse(Program));
    };
    ExpectError<EGPException>(
        [&] { Formula("(Add x z)").Evaluate(Data, Out); },
        "The data have no column \"z\" for the formula's variable of that name");
    ExpectError<EGPException>([&] { Formula("(Add x (f x))").Evaluate(Data, Out); },
                              "The formula cannot be evaluated: \"f\" is not a function of the "
                              "catalogue");
    ExpectError<EListError>([&] { Formula("x").Evaluate(Data, std::span<TGAFloat>(Out).first(3)); },
                            "List index out of bounds (3)");
    TAxGPFloatNode Empty;
    ExpectError<EGPException>([&] { TAxSRExpression::FromProgram(Empty); },
                              "No instruction assigned to node");
}

// Programs deeper than any call stack: every operation walks with a stack of its own, and
// the SymPy text stays linear although each protected logarithm repeats its argument.
TEST(SRExpressionTest, DeepProgramsNeedNoRecursion) {
    TPrograms P;
    constexpr int Depth = 50000;
    const char* Cycle[] = {"Neg", "Log", "Neg", "Sin"};
    TAxGPFloatNode Root(P.Set.ItemByName("Neg"));
    TAxGPNode<TGAFloat>* Node = &Root;
    for (int I = 1; I < Depth; ++I)
        Node = Node->CreateNode(P.Set.ItemByName(Cycle[I % 4]), *Node);
    Node->CreateNode(P.Set.ItemByName("x"), *Node);
    const TAxSRExpression E = TAxSRExpression::FromProgram(Root);
    EXPECT_EQ(E.Size(), Depth + 1);
    EXPECT_EQ(E.Infix().substr(0, 14), "-log(-sin(-log");
    EXPECT_EQ(E.Simplified().Size(), Depth / 4 * 3 + 1); // log(-a) is log(a)
    EXPECT_LT(E.SymPy().size(), 100u * Depth);
    EXPECT_LT(E.Latex().size(), 100u * Depth);
    TAxGPDataSet Data(1);
    Data.AddColumn("x")[0] = 0.5;
    std::vector<TGAFloat> Out(1);
    E.Evaluate(Data, Out);
    EXPECT_TRUE(std::isfinite(Out[0]));
}

// SymPy parses the text to the same function: expression_sympy_check.py reads every text
// with sympify, substitutes the point and compares its value with ours.
TEST(SRExpressionTest, SymPyParsesTheSameFunction) {
    if (std::system("/usr/bin/python3 -c 'import sympy' > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "the system python3 with sympy is not installed";
    TPrograms P;
    const char* Programs[] = {
        "(Div x y)",
        "(Div x -2)",
        "(Div (Add x 1) (Div y (Log x)))",
        "(Log (Log (Add x 2)))",
        "(Log (Mul x y))",
        "(AQ x (Sub y 1))",
        "(Sqrt (Sub x y))",
        "(Square (Neg x))",
        "(Tanh (Exp (Cos x)))",
        "(Sin (Abs y))",
        "(Add (Mul 0.1 x) -2.5)",
        "(Sub x (Sub y (Neg x)))",
        "(Add x (Mul -0.30000000000000004 y))",
        "(Mul (Add E 1) (Sub age x12))",
        "(Div (Square x) (Sub y y))",
    };
    const double Points[][2] = {{0, 0}, {0, 1.5}, {-2, 0}, {1.25, -3}, {2, 2}};
    TAxGPDataSet Data(5);
    for (const char* Name : {"x", "y", "E", "age", "x12"}) {
        const std::span<TGAFloat> Column = Data.AddColumn(Name);
        for (std::size_t I = 0; I < 5; ++I)
            Column[I] = Points[I][Name[0] == 'x' || Name[0] == 'E' ? 0 : 1];
    }
    const std::string Cases = testing::TempDir() + "formula_sympy_cases.txt";
    const std::string Report = testing::TempDir() + "formula_sympy_report.txt";
    std::ofstream Out(Cases);
    std::vector<TGAFloat> Values(5);
    for (const char* Program : Programs) {
        const TAxSRExpression E = TAxSRExpression::FromProgram(*P.Parse(Program));
        for (const TAxSRExpression& Form : {E, E.Simplified()}) {
            Form.Evaluate(Data, Values);
            for (std::size_t I = 0; I < 5; ++I) {
                char Line[128];
                std::snprintf(Line, sizeof Line, "\t%.17g\t%.17g\t%.17g\n", Points[I][0],
                              Points[I][1], Values[I]);
                Out << Form.SymPy() << Line;
            }
        }
    }
    Out << TAxSRExpression::FromProgram(*P.Parse("(Add (f x) 1)")).SymPy() << "\t0\t0\tcall\n";
    Out.close();
    const std::string Command = "/usr/bin/python3 '" + std::string(AXGENETIC_SYMPY_CHECK_SCRIPT) +
                                "' " + Cases + " > " + Report + " 2>&1";
    const int Status = std::system(Command.c_str());
    std::stringstream Failures;
    Failures << std::ifstream(Report).rdbuf();
    EXPECT_EQ(Status, 0) << Failures.str();
}

TEST(SRExpressionTest, SymPyTextQuotesNamesItWouldMisread) {
    TPrograms P;
    const std::pair<const char*, const char*> Cases[] = {
        {"(Mul x12 (Add E age))", "x12*(Symbol('E') + Symbol('age'))"},
        {"(Div x 2)", "x/2"},
        {"(Div x y)", "Piecewise((1, Eq(y, 0)), (x/y, True))"},
        {"(Log x)", "Piecewise((0, Eq(x, 0)), (log(Abs(x)), True))"},
        {"(Log (Log x))",
         "Lambda(_p2, Piecewise((0, Eq(_p2, 0)), (log(Abs(_p2)), True)))(Piecewise((0, Eq(x, "
         "0)), (log(Abs(x)), True)))"},
        {"(Sqrt (Square x))", "sqrt(Abs(x**2))"},
        {"(AQ x y)", "x/sqrt(1 + y**2)"},
        {"(f (Exp x))", "Function('f')(exp(x))"},
    };
    for (const auto& [Program, Expected] : Cases)
        EXPECT_EQ(TAxSRExpression::FromProgram(*P.Parse(Program)).SymPy(), Expected) << Program;
}

TEST(SRExpressionTest, InfixQuotesNamesThatAreNotIdentifiers) {
    TPrograms P;
    for (const char* Name : {"a-b", "q`t", "n_2"})
        P.Set.Add()->SetName(Name);
    P.Set.Add()->SetName("g-1");
    P.Set.Items(P.Set.Count() - 1)->SetArity(1);
    EXPECT_EQ(Infix(P, "(Add a-b (Mul q`t n_2))"), "`a-b` + `q``t`*n_2");
    EXPECT_EQ(Infix(P, "(g-1 x12)"), "`g-1`(x12)");
}

} // namespace
} // namespace ax
