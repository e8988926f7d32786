// Fitting the constants of a float program to data: the closed-form linear scaling of a
// program's output, and a Levenberg-Marquardt optimiser of the program's constant leaves
// whose derivatives come from reverse-mode differentiation of the flattened program.
//
// The optimiser understands the functions of the symbolic regression catalogue
// (functions.hpp), recognised by instruction name and arity as AddSRFunctions adds them,
// constants without an OnExecute handler (their value is the node's own Value) and
// variables without a handler that have a column in the data. It evaluates a program with
// the catalogue's own functions in the order Execute does, so the values it fits are those
// Execute gives, bit for bit.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "axgenetic/core/types.hpp"
#include "axgenetic/gp/engine/node.hpp"

namespace ax {

class TAxGPDataSet;

// The least-squares fit Target ~ Intercept + Slope * Values in closed form, from centred
// sums (two passes, so a large common offset costs no precision). When the values have no
// spread (all equal), one of them is not finite or the fit would not be finite, Slope is 0
// and Intercept the mean of Target; both are 0 for empty spans. Spans of different lengths
// raise EGPException.
AXGENETIC_API void LinearScaling(std::span<const TGAFloat> Values, std::span<const TGAFloat> Target,
                                 TGAFloat& Intercept, TGAFloat& Slope);

// A few Levenberg-Marquardt iterations over the values of a program's parameters (its
// constant leaves, or those IsParameter chooses) minimising the sum of squared errors
// against a target, optionally after linear scaling. The improved values are written back
// into the nodes only when the error went down, so a program never gets worse and never
// receives a value that is not finite.
//
// The optimiser keeps its buffers between calls and allocates nothing once they fit the
// largest program and data seen. It holds per-call state: use one optimiser per thread.
class AXGENETIC_API TAxSRConstantOptimizer {
public:
    using TParameterTest = std::function<bool(const TAxGPNode<TGAFloat>&)>;

    static constexpr int DefaultIterations = 10;
    static constexpr int MaxIterations = 1000;
    static constexpr TGAFloat DefaultInitialDamping = 1e-3;
    static constexpr TGAFloat MinDamping = 1e-12;
    static constexpr TGAFloat MaxDamping = 1e12;
    static constexpr TGAFloat DefaultTolerance = 1e-12;
    static constexpr int DefaultMaxParameters = 100;
    static constexpr int MaxMaxParameters = 1000;

    TAxSRConstantOptimizer();
    ~TAxSRConstantOptimizer();
    TAxSRConstantOptimizer(const TAxSRConstantOptimizer&) = delete;
    TAxSRConstantOptimizer& operator=(const TAxSRConstantOptimizer&) = delete;

    // Levenberg-Marquardt iterations per Optimize call (one linear solve and one
    // evaluation each), clamped to 0..MaxIterations; 0 only measures the error.
    int Iterations() const { return FIterations; }
    void SetIterations(int Value);
    // The damping factor each call starts from, relative to the diagonal of J'J; clamped
    // to MinDamping..MaxDamping (a value that is not a number gives the default).
    TGAFloat InitialDamping() const { return FInitialDamping; }
    void SetInitialDamping(TGAFloat Value);
    // A call stops early once an accepted step lowers the error by less than this share
    // of it; clamped to 0..1 (a value that is not a number gives the default).
    TGAFloat Tolerance() const { return FTolerance; }
    void SetTolerance(TGAFloat Value);

    // At most this many leaves are parameters, the first in prefix order; the others keep
    // their values. It bounds the linear algebra (memory grows with its square, time with
    // its cube) of bloated programs. Clamped to 1..MaxMaxParameters.
    int MaxParameters() const { return FMaxParameters; }
    void SetMaxParameters(int Value);

    // Which constant leaves are parameters; the others keep their values. The default
    // (also set by an empty function) takes every leaf whose instruction's Operation() is
    // gpConstant.
    const TParameterTest& IsParameter() const { return FIsParameter; }
    void SetIsParameter(TParameterTest Value);

    // Improves Root's parameters against Target (one value per row of Data) and returns
    // the resulting mean squared error: of Intercept + Slope * program when LinearScaling
    // (the scaling solved in closed form at every point the iterations evaluate, as
    // ax::LinearScaling gives it), of the program itself otherwise. The error is infinite
    // when the program is not finite at some row; such a program is left unchanged, and so
    // is a program the optimiser does not understand (an instruction outside the
    // catalogue, a variable without column) or without parameter, whose error is still
    // returned. A Target of another length, empty data or a target value that is not
    // finite raise EGPException; exceptions of instruction handlers pass through.
    double Optimize(TAxGPNode<TGAFloat>& Root, const TAxGPDataSet& Data,
                    std::span<const TGAFloat> Target, bool LinearScaling);

    // The program's value at every row of Data into Values, and the derivative of each
    // value by each parameter into Jacobian (row-major: rows x parameters, the parameters
    // in the prefix order of their leaves). A program the optimiser does not understand
    // raises EGPException naming the node.
    void Jacobian(const TAxGPNode<TGAFloat>& Root, const TAxGPDataSet& Data,
                  std::vector<TGAFloat>& Values, std::vector<TGAFloat>& Jacobian);

private:
    struct TWork;

    int FIterations = DefaultIterations;
    TGAFloat FInitialDamping = DefaultInitialDamping;
    TGAFloat FTolerance = DefaultTolerance;
    int FMaxParameters = DefaultMaxParameters;
    TParameterTest FIsParameter;
    std::unique_ptr<TWork> FWork;
};

} // namespace ax
