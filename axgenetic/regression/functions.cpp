#include "axgenetic/regression/functions.hpp"

#include <array>
#include <cmath>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/gp/engine/float_classes.hpp"
#include "axgenetic/platform/enum_names.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/regression/sr_messages.hpp"

namespace ax {

namespace {

// The values. The handlers call them through template arguments, so that they inline
// into the batch loops.
TGAFloat FAdd(TGAFloat A, TGAFloat B) {
    return A + B;
}
TGAFloat FSub(TGAFloat A, TGAFloat B) {
    return A - B;
}
TGAFloat FMul(TGAFloat A, TGAFloat B) {
    return A * B;
}
TGAFloat FDiv(TGAFloat A, TGAFloat B) {
    return B == 0 ? TGAFloat(1) : A / B;
}
TGAFloat FAQ(TGAFloat A, TGAFloat B) {
    return A / std::sqrt(1 + B * B);
}
TGAFloat FSin(TGAFloat A) {
    return std::sin(A);
}
TGAFloat FCos(TGAFloat A) {
    return std::cos(A);
}
TGAFloat FExp(TGAFloat A) {
    return std::exp(A);
}
TGAFloat FLog(TGAFloat A) {
    return A == 0 ? TGAFloat(0) : std::log(std::fabs(A));
}
TGAFloat FSqrt(TGAFloat A) {
    return std::sqrt(std::fabs(A));
}
TGAFloat FSquare(TGAFloat A) {
    return A * A;
}
TGAFloat FTanh(TGAFloat A) {
    return std::tanh(A);
}
TGAFloat FAbs(TGAFloat A) {
    return std::fabs(A);
}
TGAFloat FNeg(TGAFloat A) {
    return -A;
}

TGAFloat Sign(TGAFloat A) {
    return A > 0 ? 1 : (A < 0 ? -1 : 0);
}

using TUnaryFunction = TGAFloat (*)(TGAFloat);
using TBinaryFunction = TGAFloat (*)(TGAFloat, TGAFloat);

template <TUnaryFunction F> void SetUnaryHandlers(TAxGPFloatInstruction& Instruction) {
    SetElementwiseHandlers(Instruction, [](TGAFloat A) { return F(A); });
}
template <TBinaryFunction F> void SetBinaryHandlers(TAxGPFloatInstruction& Instruction) {
    SetElementwiseHandlers(Instruction, [](TGAFloat A, TGAFloat B) { return F(A, B); });
}

// Partial derivatives; R is the function's value at (A, B).
void DAdd(TGAFloat, TGAFloat, TGAFloat, TGAFloat& DA, TGAFloat& DB) {
    DA = 1, DB = 1;
}
void DSub(TGAFloat, TGAFloat, TGAFloat, TGAFloat& DA, TGAFloat& DB) {
    DA = 1, DB = -1;
}
void DMul(TGAFloat A, TGAFloat B, TGAFloat, TGAFloat& DA, TGAFloat& DB) {
    DA = B, DB = A;
}
void DDiv(TGAFloat, TGAFloat B, TGAFloat R, TGAFloat& DA, TGAFloat& DB) {
    DA = B == 0 ? 0 : 1 / B;
    DB = B == 0 ? 0 : -R / B;
}
void DAQ(TGAFloat A, TGAFloat B, TGAFloat, TGAFloat& DA, TGAFloat& DB) {
    const TGAFloat S = 1 + B * B;
    DA = 1 / std::sqrt(S);
    DB = -A * B / (S * std::sqrt(S));
}
void DSin(TGAFloat A, TGAFloat, TGAFloat, TGAFloat& DA, TGAFloat& DB) {
    DA = std::cos(A), DB = 0;
}
void DCos(TGAFloat A, TGAFloat, TGAFloat, TGAFloat& DA, TGAFloat& DB) {
    DA = -std::sin(A), DB = 0;
}
void DExp(TGAFloat, TGAFloat, TGAFloat R, TGAFloat& DA, TGAFloat& DB) {
    DA = R, DB = 0;
}
void DLog(TGAFloat A, TGAFloat, TGAFloat, TGAFloat& DA, TGAFloat& DB) {
    DA = A == 0 ? 0 : 1 / A;
    DB = 0;
}
void DSqrt(TGAFloat A, TGAFloat, TGAFloat R, TGAFloat& DA, TGAFloat& DB) {
    DA = R == 0 ? 0 : Sign(A) / (2 * R);
    DB = 0;
}
void DSquare(TGAFloat A, TGAFloat, TGAFloat, TGAFloat& DA, TGAFloat& DB) {
    DA = 2 * A, DB = 0;
}
void DTanh(TGAFloat, TGAFloat, TGAFloat R, TGAFloat& DA, TGAFloat& DB) {
    DA = 1 - R * R, DB = 0;
}
void DAbs(TGAFloat A, TGAFloat, TGAFloat, TGAFloat& DA, TGAFloat& DB) {
    DA = Sign(A), DB = 0;
}
void DNeg(TGAFloat, TGAFloat, TGAFloat, TGAFloat& DA, TGAFloat& DB) {
    DA = -1, DB = 0;
}

template <TUnaryFunction F>
constexpr TAxSRFunction Unary(std::string_view Name, decltype(TAxSRFunction::Partials) D) {
    return {Name, 1, F, nullptr, D, &SetUnaryHandlers<F>};
}
template <TBinaryFunction F>
constexpr TAxSRFunction Binary(std::string_view Name, decltype(TAxSRFunction::Partials) D) {
    return {Name, 2, nullptr, F, D, &SetBinaryHandlers<F>};
}

const std::array<TAxSRFunction, 14> Functions = {
    Binary<FAdd>("Add", DAdd),
    Binary<FSub>("Sub", DSub),
    Binary<FMul>("Mul", DMul),
    Binary<FDiv>("Div", DDiv),
    Binary<FAQ>("AQ", DAQ),
    Unary<FSin>("Sin", DSin),
    Unary<FCos>("Cos", DCos),
    Unary<FExp>("Exp", DExp),
    Unary<FLog>("Log", DLog),
    Unary<FSqrt>("Sqrt", DSqrt),
    Unary<FSquare>("Square", DSquare),
    Unary<FTanh>("Tanh", DTanh),
    Unary<FAbs>("Abs", DAbs),
    Unary<FNeg>("Neg", DNeg),
};

struct TNamedSet {
    std::string_view Name;
    std::string_view Functions;
};
constexpr std::array<TNamedSet, 3> NamedSets = {{
    {"arithmetic", "Add,Sub,Mul,Div"},
    {"koza", "Add,Sub,Mul,Div,Sin,Cos,Exp,Log"},
    {"full", "Add,Sub,Mul,Div,Sin,Cos,Exp,Log,AQ,Sqrt,Square,Tanh,Abs"},
}};

std::string_view Trim(std::string_view Text) {
    while (!Text.empty() && (Text.front() == ' ' || Text.front() == '\t'))
        Text.remove_prefix(1);
    while (!Text.empty() && (Text.back() == ' ' || Text.back() == '\t'))
        Text.remove_suffix(1);
    return Text;
}

// Calls Visit for each comma-separated, trimmed, non-empty name of Names.
template <class F> void ForEachName(std::string_view Names, F Visit) {
    while (true) {
        const std::size_t Comma = Names.find(',');
        const std::string_view Name = Trim(Names.substr(0, Comma));
        if (!Name.empty()) Visit(Name);
        if (Comma == std::string_view::npos) break;
        Names.remove_prefix(Comma + 1);
    }
}

} // namespace

TAxGPFloatInstruction& TAxSRFunction::AddTo(TAxGPFloatInstructions& Set) const {
    TAxGPFloatInstruction& Item = static_cast<TAxGPFloatInstruction&>(*Set.Add());
    Item.SetName(std::string(Name));
    Item.SetArity(Arity);
    SetHandlers(Item);
    return Item;
}

std::span<const TAxSRFunction> SRFunctions() {
    return Functions;
}

const TAxSRFunction* FindSRFunction(std::string_view Name) {
    for (const TAxSRFunction& F : Functions)
        if (detail::SameTextAscii(F.Name, Name)) return &F;
    return nullptr;
}

std::vector<const TAxSRFunction*> SRFunctionSet(std::string_view Names) {
    std::vector<const TAxSRFunction*> Result;
    const auto Include = [&Result](const TAxSRFunction* F) {
        for (const TAxSRFunction* Known : Result)
            if (Known == F) return;
        Result.push_back(F);
    };
    ForEachName(Names, [&](std::string_view Name) {
        for (const TNamedSet& Set : NamedSets)
            if (detail::SameTextAscii(Set.Name, Name)) {
                ForEachName(Set.Functions, [&](std::string_view F) { Include(FindSRFunction(F)); });
                return;
            }
        const TAxSRFunction* F = FindSRFunction(Name);
        if (!F) throw EGPException(Format(SUnknownSRFunction, {Name}));
        Include(F);
    });
    return Result;
}

std::vector<std::string> SRFunctionSetNames() {
    std::vector<std::string> Result;
    for (const TNamedSet& Set : NamedSets)
        Result.emplace_back(Set.Name);
    return Result;
}

std::vector<TAxGPFloatInstruction*> AddSRFunctions(TAxGPFloatInstructions& Set,
                                                   std::string_view Names) {
    std::vector<TAxGPFloatInstruction*> Added;
    for (const TAxSRFunction* F : SRFunctionSet(Names))
        Added.push_back(&F->AddTo(Set));
    return Added;
}

} // namespace ax
