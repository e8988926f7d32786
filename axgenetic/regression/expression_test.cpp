#include "axgenetic/regression/expression.hpp"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <sstream>

#include <gtest/gtest.h>

#include "axgenetic/gp/engine/batch_evaluator.hpp"
#include "axgenetic/gp/engine/float_classes.hpp"
#include "axgenetic/regression/functions.hpp"

namespace ax {
namespace {

// Float programs written in prefix form, "(Add x (Mul 2.5 y))": the catalogue's functions,
// the variables x, y and z, numbers as constant nodes, and two functions of a host,
// f (one argument) and Rnd (none).
class TPrograms {
public:
    TPrograms() : Set(nullptr) {
        AddSRFunctions(Set, "full,Neg");
        for (const char* Name : {"x", "y", "z"})
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

TEST(SRExpressionTest, InfixUsesPrecedenceAndKeepsTheProgramsOrder) {
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
    EXPECT_EQ(Infix(P, "(Mul 3.14159265 x)", 3), "3.14*x");
    EXPECT_EQ(Infix(P, "(Add x 0.000123456)", 3), "x + 0.000123");
    EXPECT_EQ(Infix(P, "(Add x -123456.7)", 3), "x - 1.23e+05");
    EXPECT_EQ(Infix(P, "(Add x 2.5)", 3), "x + 2.5");
    EXPECT_EQ(Infix(P, "(Add x 0.99999)", 2), "x + 1");
}

TEST(SRExpressionTest, ScalingWrapsTheProgramUnlessItIsTheIdentity) {
    TPrograms P;
    const auto Program = P.Parse("(Add x y)");
    EXPECT_EQ(TAxSRExpression::FromProgram(*Program).Infix(), "x + y");
    EXPECT_EQ(TAxSRExpression::FromProgram(*Program, 1.5, 2).Infix(), "2*(x + y) + 1.5");
    EXPECT_EQ(TAxSRExpression::FromProgram(*Program, -1, 1).Infix(), "x + y - 1");
    EXPECT_EQ(TAxSRExpression::FromProgram(*Program, 0, -0.5).Infix(), "-0.5*(x + y)");
    EXPECT_EQ(TAxSRExpression::FromProgram(*Program, 1.5, 2).Size(), 7);
}

} // namespace
} // namespace ax
