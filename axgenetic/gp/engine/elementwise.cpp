#include "axgenetic/gp/engine/elementwise.hpp"

#include "axgenetic/gp/engine/float_classes.hpp"

#include <cmath>
#include <type_traits>
#include <vector>

// This file is compiled with -ffp-contract=off (CMakeLists.txt): every value is one IEEE
// operation, exactly as in the per-point handlers, on every instruction set below.

namespace ax {

namespace {

#if defined(__GNUC__)
#define AX_ALWAYS_INLINE [[gnu::always_inline]] inline
#else
#define AX_ALWAYS_INLINE inline
#endif

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define AX_ELEMENTWISE_DISPATCH 1
#else
#define AX_ELEMENTWISE_DISPATCH 0
#endif

// Each operation on one point; T is the threshold. The quotient of the protected division
// is computed for every point, so that the loop has no branch and vectorizes.
struct TAdd {
    AX_ALWAYS_INLINE static double Apply(double A, double B, double) { return A + B; }
};
struct TSub {
    AX_ALWAYS_INLINE static double Apply(double A, double B, double) { return A - B; }
};
struct TMul {
    AX_ALWAYS_INLINE static double Apply(double A, double B, double) { return A * B; }
};
struct TDiv {
    AX_ALWAYS_INLINE static double Apply(double A, double B, double) { return A / B; }
};
struct TNeg {
    AX_ALWAYS_INLINE static double Apply(double A, double, double) { return -A; }
};
// -T < B < T is |B| < T for every B and T, NaN included (both false).
struct TProtectedDiv {
    AX_ALWAYS_INLINE static double Apply(double A, double B, double T) {
        const double Quotient = A / B;
        const bool Protect = ((B < T) & (-T < B)) | (B == 0);
        return Protect ? 1.0 : Quotient;
    }
};

// The loop over Count points. It is inlined into one function per instruction set below,
// where the compiler vectorizes it for that set (this file is compiled with vectorization
// on at its full cost model); Result may be Args[0], which the vectorizer checks for.
template <class Op>
AX_ALWAYS_INLINE void Loop(const TGAFloat* const* Args, TGAFloat* Result, int Count,
                           TGAFloat Threshold) {
    const TGAFloat* A = Args[0];
    const TGAFloat* B = std::is_same_v<Op, TNeg> ? Args[0] : Args[1];
    for (int I = 0; I < Count; ++I)
        Result[I] = Op::Apply(A[I], B[I], Threshold);
}

AX_ALWAYS_INLINE void Dispatch(TGPElementwiseOperation Operation, TGAFloat Threshold,
                               const TGAFloat* const* Args, TGAFloat* Result, int Count) {
    switch (Operation) {
    case TGPElementwiseOperation::eoAdd:
        return Loop<TAdd>(Args, Result, Count, Threshold);
    case TGPElementwiseOperation::eoSub:
        return Loop<TSub>(Args, Result, Count, Threshold);
    case TGPElementwiseOperation::eoMul:
        return Loop<TMul>(Args, Result, Count, Threshold);
    case TGPElementwiseOperation::eoDiv:
        return Loop<TDiv>(Args, Result, Count, Threshold);
    case TGPElementwiseOperation::eoProtectedDiv:
        return Loop<TProtectedDiv>(Args, Result, Count, Threshold);
    case TGPElementwiseOperation::eoNeg:
        return Loop<TNeg>(Args, Result, Count, Threshold);
    }
}

using TRun = void (*)(TGPElementwiseOperation, TGAFloat, const TGAFloat* const*, TGAFloat*, int);

void Run128(TGPElementwiseOperation Operation, TGAFloat Threshold, const TGAFloat* const* Args,
            TGAFloat* Result, int Count) {
    Dispatch(Operation, Threshold, Args, Result, Count);
}

#if AX_ELEMENTWISE_DISPATCH
__attribute__((target("avx2"))) void Run256(TGPElementwiseOperation Operation, TGAFloat Threshold,
                                            const TGAFloat* const* Args, TGAFloat* Result,
                                            int Count) {
    Dispatch(Operation, Threshold, Args, Result, Count);
}

__attribute__((target("avx512f"))) void Run512(TGPElementwiseOperation Operation,
                                               TGAFloat Threshold, const TGAFloat* const* Args,
                                               TGAFloat* Result, int Count) {
    Dispatch(Operation, Threshold, Args, Result, Count);
}
#endif

struct TChoice {
    TRun Run;
    std::string_view Name;
};

// The instruction sets this processor runs, widest first; the baseline one always.
std::vector<TChoice> Supported() {
    std::vector<TChoice> Result;
#if AX_ELEMENTWISE_DISPATCH
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) Result.push_back({Run512, "avx512f"});
    if (__builtin_cpu_supports("avx2")) Result.push_back({Run256, "avx2"});
#endif
    Result.push_back({Run128, "sse2"});
    return Result;
}

// Decided once per process, for the processor in hand (the build itself targets the
// baseline x86-64 instruction set).
const TChoice& Choice() {
    static const TChoice Chosen = Supported().front();
    return Chosen;
}

} // namespace

std::string_view ElementwiseInstructionSet() {
    return Choice().Name;
}

namespace {

// Both handlers of one operation: the per-point handler evaluates its arguments in order
// and does the batch step's arithmetic.
template <class Op>
void SetHandlers(TAxGPFloatInstruction& Instruction, TGAFloat Threshold,
                 TGPElementwiseOperation Operation) {
    if constexpr (std::is_same_v<Op, TNeg>)
        Instruction.SetOnExecute([Threshold](TObject*, TAxGPNode<TGAFloat>& Node,
                                             TAxGPContext<TGAFloat>& Context, TGAFloat& Result) {
            const TGAFloat A = Node.GetChild(0)->Execute(Context);
            Result = Op::Apply(A, A, Threshold);
        });
    else
        Instruction.SetOnExecute([Threshold](TObject*, TAxGPNode<TGAFloat>& Node,
                                             TAxGPContext<TGAFloat>& Context, TGAFloat& Result) {
            const TGAFloat A = Node.GetChild(0)->Execute(Context);
            Result = Op::Apply(A, Node.GetChild(1)->Execute(Context), Threshold);
        });
    Instruction.SetOnExecuteBatch([Operation, Threshold](TObject*, const TGAFloat* const* Args, int,
                                                         TGAFloat* Result, int Count) {
        Choice().Run(Operation, Threshold, Args, Result, Count);
    });
}

} // namespace

int ElementwiseArity(TGPElementwiseOperation Operation) {
    return Operation == TGPElementwiseOperation::eoNeg ? 1 : 2;
}

void SetElementwiseHandlers(TAxGPFloatInstruction& Instruction, TGPElementwiseOperation Operation,
                            TGAFloat Threshold) {
    switch (Operation) {
    case TGPElementwiseOperation::eoAdd:
        return SetHandlers<TAdd>(Instruction, Threshold, Operation);
    case TGPElementwiseOperation::eoSub:
        return SetHandlers<TSub>(Instruction, Threshold, Operation);
    case TGPElementwiseOperation::eoMul:
        return SetHandlers<TMul>(Instruction, Threshold, Operation);
    case TGPElementwiseOperation::eoDiv:
        return SetHandlers<TDiv>(Instruction, Threshold, Operation);
    case TGPElementwiseOperation::eoProtectedDiv:
        return SetHandlers<TProtectedDiv>(Instruction, Threshold, Operation);
    case TGPElementwiseOperation::eoNeg:
        return SetHandlers<TNeg>(Instruction, Threshold, Operation);
    }
}

TAxGPFloatInstruction& TAxGPFloatInstructions::AddElementwise(const std::string& Name,
                                                              TGPElementwiseOperation Operation,
                                                              TGAFloat Threshold) {
    auto& Item = static_cast<TAxGPFloatInstruction&>(*Add());
    Item.SetName(Name);
    Item.SetArity(ElementwiseArity(Operation));
    SetElementwiseHandlers(Item, Operation, Threshold);
    return Item;
}

namespace detail {

void RunElementwise(TGPElementwiseOperation Operation, TGAFloat Threshold,
                    const TGAFloat* const* Args, TGAFloat* Result, int Count) {
    Choice().Run(Operation, Threshold, Args, Result, Count);
}

std::vector<std::string_view> ElementwiseInstructionSets() {
    std::vector<std::string_view> Names;
    for (const TChoice& C : Supported())
        Names.push_back(C.Name);
    return Names;
}

void RunElementwiseOn(std::string_view InstructionSet, TGPElementwiseOperation Operation,
                      TGAFloat Threshold, const TGAFloat* const* Args, TGAFloat* Result,
                      int Count) {
    for (const TChoice& C : Supported())
        if (C.Name == InstructionSet) return C.Run(Operation, Threshold, Args, Result, Count);
}

} // namespace detail

} // namespace ax
