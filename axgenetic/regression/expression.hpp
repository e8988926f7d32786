// Formulas a reader can use: an evolved float program (with the linear scaling the
// regressor fits around it) as an immutable expression that prints as infix text, as
// text SymPy parses, and as LaTeX, that simplifies without changing a value, and that
// evaluates itself so that printing and simplification can be checked against the program.
//
// What a node means. A constant leaf (an instruction whose Operation is gpConstant) is the
// node's own value; a variable leaf is its instruction's Name; a function whose instruction
// name is in the function catalogue (FindSRFunction) and whose first Arity child slots are
// occupied is that catalogue function of those children (further children are never
// evaluated by it and are left out). The instruction's handlers are not consulted: an
// instruction named like a catalogue function is taken to compute it. Any other function
// (a host's own, or a catalogue name missing arguments) is an opaque call Name(args): it
// prints, but it is never simplified across and the expression cannot evaluate it.
//
// Same value. Simplification keeps the value at every data point, a data point being any
// assignment of finite values to the variables (the regressor refuses data with NaN or
// infinite cells). Intermediate values may still be infinite or NaN (Exp overflows, a
// product of large values overflows, infinity minus infinity is NaN), and the rules
// respect that: x - x becomes 0 and x * 0 becomes 0 only where x is finite at every data
// point (a variable, a sine, a bounded sum, ...). "Same" means equal as numbers: -0 and +0
// count as the same value and every NaN as the same value; no catalogue function tells
// the two zeros apart (Div and Log protect the zero case as a whole), so the difference
// never reaches a result. Otherwise the simplified expression computes bit for bit what the
// program computes: constants are folded only where a whole subtree is constant, by the
// catalogue's own functions in the program's order, and only into finite values; no rule
// reassociates a sum or a product.
//
// Text. Infix is conventional: + - * / ^, unary minus, sin cos exp log sqrt tanh abs as
// calls, AQ written out as a / sqrt(1 + b^2). The protected forms keep their names: "/" is
// the protected quotient (1 where the divisor is 0), log(a) is log|a| and 0 at 0, sqrt(a)
// is sqrt|a|. Parentheses are the fewest that keep the program's order of operations, so
// a + (b + c) keeps its parentheses (floating-point addition is not associative) and the
// text read with the usual precedence and left-to-right order computes exactly what the
// program computes. Numbers always use "." as the decimal separator. A variable or function
// name that is not an identifier (letters, digits and "_", not starting with a digit) is
// written between backquotes, a backquote in it doubled: `sepal length`.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "axgenetic/core/types.hpp"
#include "axgenetic/gp/engine/node.hpp"

namespace ax {

class TAxGPDataSet;
struct TAxSRFunction;

class AXGENETIC_API TAxSRExpression {
public:
    // The constant 0.
    TAxSRExpression();

    // The formula Intercept + Slope * program, computed in that order (the product, then
    // the sum); the sum is left out when Intercept is 0 and the product when Slope is 1.
    // The program is read without recursion, so any depth is fine. A node without
    // instruction raises EGPException SNoInstructionAssigned.
    static TAxSRExpression FromProgram(const TAxGPNode<TGAFloat>& Root, TGAFloat Intercept = 0,
                                       TGAFloat Slope = 1);

    // The same function with constant subtrees folded and identities applied (x*1, 1*x,
    // x+0, x-0, x/1, x-x, x/x, x*0, 0-x, double negation, negated constants, x+x as 2*x,
    // x*x as x^2, signs moved out of products and quotients where that is exact, ...);
    // never a changed value at a data point (see the file comment). Products put their
    // constant first and sums their constant last, which is exact too.
    TAxSRExpression Simplified() const;

    // Infix text (see the file comment). Digits 0 writes every constant as the shortest
    // text that reads back to the same double; Digits > 0 rounds constants to that many
    // significant digits (at most 17), for display. Names are written as they are.
    std::string Infix(int Digits = 0) const;
    // Text that SymPy's sympify parses to the same function: Div(a, b) as
    // Piecewise((1, Eq(b, 0)), (a/b, True)) (a/b when b is a non-zero constant), Log(a) as
    // Piecewise((0, Eq(a, 0)), (log(Abs(a)), True)), Sqrt(a) as sqrt(Abs(a)), AQ(a, b) as
    // a/sqrt(1 + b**2), Square(a) as a**2; opaque calls as Function('Name')(args).
    // Where an argument that Piecewise would repeat holds a protected form itself, the
    // form is written as a Lambda applied to the argument, so the text stays linear in the
    // size of the expression. A variable is written by its name when that is one letter
    // other than E, I, N, O, Q, S (which SymPy reads as its own objects), alone or followed
    // by digits or an underscore and digits (x, x12, x_3); any other name as
    // Symbol('name'). Constants at full precision; infinities as oo, NaN as nan.
    std::string SymPy() const;
    // LaTeX for display (\frac, \sqrt, \sin, \left( \right), \cdot), constants rounded to
    // Digits significant digits (0: full precision).
    std::string Latex(int Digits = 4) const;

    // Number of nodes.
    int Size() const;

    // Writes the expression's value at every row of Data into Out (Data.RowCount() values;
    // a shorter span raises EListError). Variables are read from the columns of the same
    // name; a variable without column raises EGPException SMissingSRColumn, an opaque call
    // EGPException SOpaqueSRFunction.
    void Evaluate(const TAxGPDataSet& Data, std::span<TGAFloat> Out) const;

private:
    friend class TAxSRExpressionBuilder;
    friend class TAxSRExpressionPrinter;

    // One node; children come before their parents, the root is the last term.
    enum class TTermKind : std::uint8_t { Constant, Variable, Function, Call };
    struct TTerm {
        TTermKind Kind = TTermKind::Constant;
        const TAxSRFunction* Function = nullptr; // Function: the catalogue entry
        TGAFloat Value = 0;                      // Constant
        int Name = -1;                           // Variable, Call: index into the names
        int FirstArg = 0;                        // Function, Call: arguments in FArgs
        int ArgCount = 0;
        int Size = 1;              // nodes in the subtree
        std::uint64_t Hash = 0;    // structural hash of the subtree
        bool Deterministic = true; // no opaque call inside
    };

    int Root() const { return static_cast<int>(FTerms.size()) - 1; }
    int Arg(const TTerm& Term, int Index) const { return FArgs[Term.FirstArg + Index]; }

    std::vector<TTerm> FTerms;
    std::vector<int> FArgs;
    std::vector<std::string> FNames;
};

} // namespace ax
