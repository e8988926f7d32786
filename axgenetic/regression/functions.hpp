// The functions formulas are made of in symbolic regression: each one's instruction name,
// arity, value and partial derivatives in one table, so that evaluation, constant
// optimisation and printing agree on what a function is.
//
// Protected forms give every program a finite value wherever the plain function would
// not be defined: Div(a, b) is 1 where b is 0, Log(a) is log|a| and 0 at 0, Sqrt(a) is
// sqrt|a|. AQ(a, b) = a / sqrt(1 + b^2) is the analytic quotient, smooth everywhere. Exp
// is not protected: it overflows to infinity, which a fitness measure must treat as the
// worst error.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "axgenetic/core/types.hpp"

namespace ax {

class TAxGPFloatInstructions;
class TAxGPFloatInstruction;

// One function of the catalogue. Arity 1 functions use Unary and ignore B everywhere.
struct TAxSRFunction {
    std::string_view Name; // the instruction's name, e.g. "Add"
    int Arity;             // 1 or 2
    TGAFloat (*Unary)(TGAFloat A);
    TGAFloat (*Binary)(TGAFloat A, TGAFloat B);
    // The partial derivatives at (A, B), Result being the function's value there. Where a
    // protected form is constant (Div at B = 0, Log at 0), both are 0.
    void (*Partials)(TGAFloat A, TGAFloat B, TGAFloat Result, TGAFloat& DA, TGAFloat& DB);
    // Gives an instruction both handlers of the function (per point and batch, doing the
    // same arithmetic); used for instructions loaded from a document too.
    void (*SetHandlers)(TAxGPFloatInstruction& Instruction);

    TGAFloat Value(TGAFloat A, TGAFloat B = 0) const {
        return Arity == 1 ? Unary(A) : Binary(A, B);
    }
    // Adds the function to a float instruction set: a function instruction named Name of
    // arity Arity with both handlers.
    AXGENETIC_API TAxGPFloatInstruction& AddTo(TAxGPFloatInstructions& Set) const;
};

// Every function of the catalogue, in a fixed order: Add, Sub, Mul, Div, AQ, Sin, Cos,
// Exp, Log, Sqrt, Square, Tanh, Abs, Neg.
AXGENETIC_API std::span<const TAxSRFunction> SRFunctions();

// The function of that name (ASCII letter case ignored, as instruction names compare), or
// nullptr.
AXGENETIC_API const TAxSRFunction* FindSRFunction(std::string_view Name);

// The named function sets: "arithmetic" (Add Sub Mul Div), "koza" (arithmetic with Sin
// Cos Exp Log) and "full" (koza with AQ Sqrt Square Tanh Abs). A set may also be written as
// a comma-separated list of function names ("Add,Mul,Sin"), and both may be mixed
// ("arithmetic,Sin"). Names repeat at most once in the result, in the order given. An
// unknown name raises EGPException naming it.
AXGENETIC_API std::vector<const TAxSRFunction*> SRFunctionSet(std::string_view Names);

// The names of the predefined sets, for help texts.
AXGENETIC_API std::vector<std::string> SRFunctionSetNames();

// Adds the functions of SRFunctionSet(Names) to Set; returns the instructions added.
AXGENETIC_API std::vector<TAxGPFloatInstruction*> AddSRFunctions(TAxGPFloatInstructions& Set,
                                                                 std::string_view Names);

} // namespace ax
