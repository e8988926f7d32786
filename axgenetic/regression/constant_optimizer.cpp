#include "axgenetic/regression/constant_optimizer.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include <Eigen/Cholesky>
#include <Eigen/Core>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/gp/engine/batch_evaluator.hpp"
#include "axgenetic/gp/engine/float_classes.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/regression/functions.hpp"
#include "axgenetic/regression/sr_messages.hpp"

namespace ax {

namespace {

constexpr double Infinity = std::numeric_limits<double>::infinity();

// Mean with one correction pass, so that the rounding of the first sum does not stay in
// the centred sums built on it.
double CentredMean(std::span<const TGAFloat> Values) {
    const double N = static_cast<double>(Values.size());
    double Sum = 0;
    for (const TGAFloat V : Values)
        Sum += V;
    const double Mean = Sum / N;
    if (!std::isfinite(Mean)) return Mean;
    double Correction = 0;
    for (const TGAFloat V : Values)
        Correction += V - Mean;
    return Mean + Correction / N;
}

// Sum of squared errors of the model (Intercept + Slope * Values when Scaled, else Values)
// against Target; infinity when not finite.
double SquaredError(const TGAFloat* Values, std::span<const TGAFloat> Target, bool Scaled,
                    TGAFloat Intercept, TGAFloat Slope) {
    double Sum = 0;
    for (std::size_t P = 0; P < Target.size(); ++P) {
        const double R = Target[P] - (Scaled ? Intercept + Slope * Values[P] : Values[P]);
        Sum += R * R;
    }
    return std::isfinite(Sum) ? Sum : Infinity;
}

// The rows of a block's node values and adjoints: enough for a block of 256 rows on
// programs of up to 1,024 nodes; longer programs take shorter blocks, so the buffers stay
// bounded whatever the program's size.
constexpr int MaxBlockRows = 256;
constexpr std::size_t MaxBlockValues = 256 * 1024;

} // namespace

struct TAxSRConstantOptimizer::TWork {
    using TNode = TAxGPNode<TGAFloat>;
    enum class TOpKind : std::uint8_t { Column, Constant, Parameter, Function };
    // The commonest functions run inline (the same single operation as the catalogue's);
    // the others through the catalogue's function pointers.
    enum class TInline : std::uint8_t { None, Add, Sub, Mul };
    // One step of the flattened (postfix) program: a leaf, or a catalogue function of the
    // steps A (and B) before it.
    struct TOp {
        TOpKind Kind;
        TInline Inline;
        bool Active; // a parameter lies below: the backward pass visits it
        const TAxSRFunction* F;
        const TGAFloat* Column;
        TGAFloat Value;
        int Param;
        int A;
        int B;
    };
    using TRowMajor = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;

    struct TFrame {
        const TNode* Node;
        const TAxSRFunction* F;
        int Next;
    };

    std::vector<TOp> Program;
    std::vector<TFrame> Frames;
    std::vector<int> Pending; // steps whose values wait for their function
    std::vector<const TNode*> Parameters;
    const TNode* Refused = nullptr;
    const TParameterTest* IsParameter = nullptr; // while compiling
    int MaxParameters = 0;                       // while compiling
    int Block = MaxBlockRows;
    std::vector<TGAFloat> Values, Adjoints, JBlock, Residuals, Out, TrialOut;
    Eigen::VectorXd Theta, Trial, G, TrialG, Step;
    Eigen::MatrixXd A, TrialA, H;
    Eigen::LDLT<Eigen::MatrixXd> Solver;
    TAxGPBatchEvaluator Batch;

    int ParameterCount() const { return static_cast<int>(Parameters.size()); }
    TGAFloat* Val(int Op) { return Values.data() + static_cast<std::size_t>(Op) * Block; }
    TGAFloat* Adj(int Op) { return Adjoints.data() + static_cast<std::size_t>(Op) * Block; }

    static TInline InlineOf(const TAxSRFunction& F);
    bool Refuse(const TNode& Node) {
        Refused = &Node;
        return false;
    }
    bool Visit(const TNode& Node, const TAxGPDataSet& Data);
    // False when the program holds a node the optimiser cannot differentiate (Refused).
    bool Compile(const TNode& Root, const TAxGPDataSet& Data, const TParameterTest& Test,
                 int Limit);
    void Prepare(int Rows, int Columns);
    void Forward(const TGAFloat* Theta, int First, int Count);
    void Backward(TGAFloat Seed, int Count, TGAFloat* J, int Stride);
    double Pass(const TGAFloat* Theta, bool Scaled, const TAxGPDataSet& Data,
                std::span<const TGAFloat> Target, TGAFloat* Out, Eigen::MatrixXd* JtJ,
                Eigen::VectorXd* JtR);
};

// --- LinearScaling ----------------------------------------------------------------------

void LinearScaling(std::span<const TGAFloat> Values, std::span<const TGAFloat> Target,
                   TGAFloat& Intercept, TGAFloat& Slope) {
    if (Values.size() != Target.size())
        throw EGPException(Format(SSRScalingLength, {Values.size(), Target.size()}));
    Intercept = 0;
    Slope = 0;
    if (Target.empty()) return;
    const double TargetMean = CentredMean(Target);
    Intercept = TargetMean;
    bool Spread = false;
    for (const TGAFloat V : Values) {
        if (!std::isfinite(V)) return;
        Spread = Spread || V != Values.front();
    }
    if (!Spread) return;
    const double Mean = CentredMean(Values);
    double Sxx = 0, Sxy = 0;
    for (std::size_t P = 0; P < Values.size(); ++P) {
        const double D = Values[P] - Mean;
        Sxx += D * D;
        Sxy += D * (Target[P] - TargetMean);
    }
    if (!(Sxx > 0) || !std::isfinite(Sxx)) return;
    const double B = Sxy / Sxx;
    const double A = TargetMean - B * Mean;
    if (!std::isfinite(A) || !std::isfinite(B)) return;
    Intercept = A;
    Slope = B;
}

TAxSRConstantOptimizer::TWork::TInline
TAxSRConstantOptimizer::TWork::InlineOf(const TAxSRFunction& F) {
    if (F.Name == "Add") return TInline::Add;
    if (F.Name == "Sub") return TInline::Sub;
    if (F.Name == "Mul") return TInline::Mul;
    return TInline::None;
}

// --- compiling --------------------------------------------------------------------------

bool TAxSRConstantOptimizer::TWork::Visit(const TNode& Node, const TAxGPDataSet& Data) {
    const TAxGPInstruction<TGAFloat>* I = Node.Instruction();
    if (!I) return Refuse(Node);
    TOp Op{TOpKind::Constant, TInline::None, false, nullptr, nullptr, 0.0, -1, -1, -1};
    switch (I->Operation()) {
    case TGPGeneticInstruction::gpFunction: {
        // A function of the catalogue as AddSRFunctions adds it; Execute raises on too few
        // children and never reads more than the arity's.
        const TAxSRFunction* F = FindSRFunction(I->Name());
        if (!F || F->Arity != I->Arity() || !I->OnExecute() || Node.GetChildCount() < F->Arity)
            return Refuse(Node);
        Frames.push_back({&Node, F, 0});
        return true;
    }
    case TGPGeneticInstruction::gpConstant:
        if (I->OnExecute()) return Refuse(Node);
        if (ParameterCount() < MaxParameters && (*IsParameter)(Node)) {
            Op.Kind = TOpKind::Parameter;
            Op.Active = true;
            Op.Param = ParameterCount();
            Parameters.push_back(&Node);
        } else {
            Op.Value = Node.Value();
        }
        break;
    case TGPGeneticInstruction::gpVariable: {
        const int Column = I->OnExecute() ? -1 : Data.IndexOf(I->Name());
        if (Column < 0) return Refuse(Node);
        Op.Kind = TOpKind::Column;
        Op.Column = Data.ColumnData(Column);
        break;
    }
    }
    Pending.push_back(static_cast<int>(Program.size()));
    Program.push_back(Op);
    return true;
}

// Post-order without recursion, so that no tree is too deep; leaves come out in the same
// order as in prefix order, which numbers the parameters.
bool TAxSRConstantOptimizer::TWork::Compile(const TNode& Root, const TAxGPDataSet& Data,
                                            const TParameterTest& Test, int Limit) {
    IsParameter = &Test;
    MaxParameters = Limit;
    Program.clear();
    Frames.clear();
    Pending.clear();
    Parameters.clear();
    Refused = nullptr;
    if (!Visit(Root, Data)) return false;
    while (!Frames.empty()) {
        TFrame& Top = Frames.back();
        if (Top.Next < Top.F->Arity) {
            const TNode* Child = Top.Node->GetChild(Top.Next++);
            if (!Child) return Refuse(*Top.Node);
            if (!Visit(*Child, Data)) return false;
            continue;
        }
        TOp Op{TOpKind::Function, InlineOf(*Top.F), false, Top.F, nullptr, 0.0, -1, -1, -1};
        if (Top.F->Arity == 2) {
            Op.B = Pending.back();
            Pending.pop_back();
        }
        Op.A = Pending.back();
        Pending.pop_back();
        Op.Active = Program[static_cast<std::size_t>(Op.A)].Active ||
                    (Op.B >= 0 && Program[static_cast<std::size_t>(Op.B)].Active);
        Frames.pop_back();
        Pending.push_back(static_cast<int>(Program.size()));
        Program.push_back(Op);
    }
    return true;
}

// Sizes the buffers for Rows rows and a Jacobian of Columns columns; nothing is allocated
// once they fit.
void TAxSRConstantOptimizer::TWork::Prepare(int Rows, int Columns) {
    const std::size_t Ops = Program.size();
    Block = static_cast<int>(
        std::clamp<std::size_t>(MaxBlockValues / Ops, 1, static_cast<std::size_t>(MaxBlockRows)));
    const std::size_t Need = Ops * static_cast<std::size_t>(Block);
    if (Values.size() < Need) Values.resize(Need);
    if (Adjoints.size() < Need) Adjoints.resize(Need);
    const std::size_t JNeed = static_cast<std::size_t>(Block) * static_cast<std::size_t>(Columns);
    if (JBlock.size() < JNeed) JBlock.resize(JNeed);
    if (Residuals.size() < static_cast<std::size_t>(Block))
        Residuals.resize(static_cast<std::size_t>(Block));
    if (Out.size() < static_cast<std::size_t>(Rows)) {
        Out.resize(static_cast<std::size_t>(Rows));
        TrialOut.resize(static_cast<std::size_t>(Rows));
    }
    Theta.resize(Columns);
    Trial.resize(Columns);
    G.resize(Columns);
    TrialG.resize(Columns);
    Step.resize(Columns);
    A.resize(Columns, Columns);
    TrialA.resize(Columns, Columns);
    H.resize(Columns, Columns);
}

// --- differentiation --------------------------------------------------------------------

// Every step's values at rows First..First + Count - 1, computed by the catalogue's own
// functions, as Execute does.
void TAxSRConstantOptimizer::TWork::Forward(const TGAFloat* Parameters, int First, int Count) {
    const int Steps = static_cast<int>(Program.size());
    for (int I = 0; I < Steps; ++I) {
        const TOp& Op = Program[static_cast<std::size_t>(I)];
        TGAFloat* V = Val(I);
        switch (Op.Kind) {
        case TOpKind::Column:
            std::copy_n(Op.Column + First, Count, V);
            break;
        case TOpKind::Constant:
            std::fill_n(V, Count, Op.Value);
            break;
        case TOpKind::Parameter:
            std::fill_n(V, Count, Parameters[Op.Param]);
            break;
        case TOpKind::Function: {
            const TGAFloat* X = Val(Op.A);
            const TGAFloat* Y = Op.B < 0 ? nullptr : Val(Op.B);
            switch (Op.Inline) {
            case TInline::Add:
                for (int P = 0; P < Count; ++P)
                    V[P] = X[P] + Y[P];
                continue;
            case TInline::Sub:
                for (int P = 0; P < Count; ++P)
                    V[P] = X[P] - Y[P];
                continue;
            case TInline::Mul:
                for (int P = 0; P < Count; ++P)
                    V[P] = X[P] * Y[P];
                continue;
            case TInline::None:
                break;
            }
            if (!Y) {
                const auto F = Op.F->Unary;
                for (int P = 0; P < Count; ++P)
                    V[P] = F(X[P]);
            } else {
                const auto F = Op.F->Binary;
                for (int P = 0; P < Count; ++P)
                    V[P] = F(X[P], Y[P]);
            }
            break;
        }
        }
    }
}

// Reverse mode: the root's adjoint is Seed; each function hands its adjoint times its
// partial derivatives down to the children that hold a parameter. A tree gives every step
// exactly one parent, so adjoints are assigned, never summed. Writes row P's derivative by
// parameter K to J[P * Stride + K].
void TAxSRConstantOptimizer::TWork::Backward(TGAFloat Seed, int Count, TGAFloat* J, int Stride) {
    const int Root = static_cast<int>(Program.size()) - 1;
    std::fill_n(Adj(Root), Count, Seed);
    for (int I = Root; I >= 0; --I) {
        const TOp& Op = Program[static_cast<std::size_t>(I)];
        if (!Op.Active) continue;
        const TGAFloat* W = Adj(I);
        if (Op.Kind == TOpKind::Parameter) {
            for (int P = 0; P < Count; ++P)
                J[static_cast<std::size_t>(P) * static_cast<std::size_t>(Stride) +
                  static_cast<std::size_t>(Op.Param)] = W[P];
            continue;
        }
        if (Op.Kind != TOpKind::Function) continue;
        const auto Partials = Op.F->Partials;
        const TGAFloat* V = Val(I);
        const TGAFloat* X = Val(Op.A);
        TGAFloat* WA = Program[static_cast<std::size_t>(Op.A)].Active ? Adj(Op.A) : nullptr;
        TGAFloat DA = 0, DB = 0;
        if (Op.B < 0) {
            for (int P = 0; P < Count; ++P) {
                Partials(X[P], 0, V[P], DA, DB);
                WA[P] = W[P] * DA;
            }
            continue;
        }
        const TGAFloat* Y = Val(Op.B);
        TGAFloat* WB = Program[static_cast<std::size_t>(Op.B)].Active ? Adj(Op.B) : nullptr;
        switch (Op.Inline) {
        case TInline::Add:
        case TInline::Sub:
            if (WA) std::copy_n(W, Count, WA);
            if (WB && Op.Inline == TInline::Add) std::copy_n(W, Count, WB);
            if (WB && Op.Inline == TInline::Sub)
                for (int P = 0; P < Count; ++P)
                    WB[P] = -W[P];
            continue;
        case TInline::Mul:
            if (WA)
                for (int P = 0; P < Count; ++P)
                    WA[P] = W[P] * Y[P];
            if (WB)
                for (int P = 0; P < Count; ++P)
                    WB[P] = W[P] * X[P];
            continue;
        case TInline::None:
            break;
        }
        for (int P = 0; P < Count; ++P) {
            Partials(X[P], Y[P], V[P], DA, DB);
            if (WA) WA[P] = W[P] * DA;
            if (WB) WB[P] = W[P] * DB;
        }
    }
}

// One pass over every row at Theta (the parameters, then Intercept and Slope when Scaled):
// the program's values into Out and the model's sum of squared errors against Target. With
// JtJ and JtR, also J'J (lower triangle) and J'r for the model's Jacobian J and the
// residuals r, accumulated block by block so that J is never held whole.
double TAxSRConstantOptimizer::TWork::Pass(const TGAFloat* Theta, bool Scaled,
                                           const TAxGPDataSet& Data,
                                           std::span<const TGAFloat> Target, TGAFloat* Out,
                                           Eigen::MatrixXd* JtJ, Eigen::VectorXd* JtR) {
    const int Params = ParameterCount();
    const int Columns = Params + (Scaled ? 2 : 0);
    const TGAFloat Intercept = Scaled ? Theta[Params] : 0;
    const TGAFloat Slope = Scaled ? Theta[Params + 1] : 1;
    const int Root = static_cast<int>(Program.size()) - 1;
    if (JtJ) {
        JtJ->setZero();
        JtR->setZero();
    }
    double Sum = 0;
    const int Rows = Data.RowCount();
    for (int First = 0; First < Rows; First += Block) {
        const int Count = std::min(Block, Rows - First);
        Forward(Theta, First, Count);
        const TGAFloat* F = Val(Root);
        std::copy_n(F, Count, Out + First);
        for (int P = 0; P < Count; ++P) {
            const double R = Target[static_cast<std::size_t>(First + P)] -
                             (Scaled ? Intercept + Slope * F[P] : F[P]);
            Residuals[static_cast<std::size_t>(P)] = R;
            Sum += R * R;
        }
        if (!JtJ) continue;
        TGAFloat* J = JBlock.data();
        Backward(Slope, Count, J, Columns);
        if (Scaled)
            for (int P = 0; P < Count; ++P) {
                J[P * Columns + Params] = 1;
                J[P * Columns + Params + 1] = F[P];
            }
        const Eigen::Map<const TRowMajor> JB(J, Count, Columns);
        const Eigen::Map<const Eigen::VectorXd> RB(Residuals.data(), Count);
        JtJ->selfadjointView<Eigen::Lower>().rankUpdate(JB.transpose());
        JtR->noalias() += JB.transpose() * RB;
    }
    return std::isfinite(Sum) ? Sum : Infinity;
}

// --- TAxSRConstantOptimizer -------------------------------------------------------------

TAxSRConstantOptimizer::TAxSRConstantOptimizer() : FWork(std::make_unique<TWork>()) {
    SetIsParameter(nullptr);
}

TAxSRConstantOptimizer::~TAxSRConstantOptimizer() = default;

void TAxSRConstantOptimizer::SetIterations(int Value) {
    FIterations = std::clamp(Value, 0, MaxIterations);
}

void TAxSRConstantOptimizer::SetInitialDamping(TGAFloat Value) {
    FInitialDamping =
        std::isnan(Value) ? DefaultInitialDamping : std::clamp(Value, MinDamping, MaxDamping);
}

void TAxSRConstantOptimizer::SetTolerance(TGAFloat Value) {
    FTolerance = std::isnan(Value) ? DefaultTolerance : std::clamp(Value, 0.0, 1.0);
}

void TAxSRConstantOptimizer::SetMaxParameters(int Value) {
    FMaxParameters = std::clamp(Value, 1, MaxMaxParameters);
}

void TAxSRConstantOptimizer::SetIsParameter(TParameterTest Value) {
    if (Value)
        FIsParameter = std::move(Value);
    else
        FIsParameter = [](const TAxGPNode<TGAFloat>& Node) {
            return Node.Instruction() &&
                   Node.Instruction()->Operation() == TGPGeneticInstruction::gpConstant;
        };
}

void TAxSRConstantOptimizer::Jacobian(const TAxGPNode<TGAFloat>& Root, const TAxGPDataSet& Data,
                                      std::vector<TGAFloat>& Values,
                                      std::vector<TGAFloat>& Jacobian) {
    TWork& W = *FWork;
    if (!W.Compile(Root, Data, FIsParameter, FMaxParameters)) {
        const auto* I = W.Refused->Instruction();
        throw EGPException(Format(SSRNotDifferentiable, {I ? I->DisplayName() : "nil"}));
    }
    const int Params = W.ParameterCount();
    const int Rows = Data.RowCount();
    W.Prepare(Rows, Params);
    for (int K = 0; K < Params; ++K)
        W.Theta[K] = W.Parameters[static_cast<std::size_t>(K)]->Value();
    Values.resize(static_cast<std::size_t>(Rows));
    Jacobian.assign(static_cast<std::size_t>(Rows) * static_cast<std::size_t>(Params), 0.0);
    const int Top = static_cast<int>(W.Program.size()) - 1;
    for (int First = 0; First < Rows; First += W.Block) {
        const int Count = std::min(W.Block, Rows - First);
        W.Forward(W.Theta.data(), First, Count);
        std::copy_n(W.Val(Top), Count, Values.data() + First);
        W.Backward(1, Count,
                   Jacobian.data() +
                       static_cast<std::size_t>(First) * static_cast<std::size_t>(Params),
                   Params);
    }
}

double TAxSRConstantOptimizer::Optimize(TAxGPNode<TGAFloat>& Root, const TAxGPDataSet& Data,
                                        std::span<const TGAFloat> Target, bool LinearScaling) {
    const int Rows = Data.RowCount();
    if (Target.size() != static_cast<std::size_t>(Rows))
        throw EGPException(Format(SSRTargetLength, {Target.size(), Rows}));
    if (Rows == 0) throw EGPException(std::string(SSRNoDataRows));
    for (std::size_t P = 0; P < Target.size(); ++P)
        if (!std::isfinite(Target[P])) throw EGPException(Format(SSRTargetNotFinite, {P}));

    TWork& W = *FWork;
    TGAFloat Intercept = 0, Slope = 1;
    // The error of a program's values, scaled in closed form when asked.
    const auto Error = [&](const std::vector<TGAFloat>& Values) {
        if (LinearScaling)
            ax::LinearScaling({Values.data(), static_cast<std::size_t>(Rows)}, Target, Intercept,
                              Slope);
        return SquaredError(Values.data(), Target, LinearScaling, Intercept, Slope);
    };

    if (!W.Compile(Root, Data, FIsParameter, FMaxParameters)) {
        if (W.Out.size() < static_cast<std::size_t>(Rows))
            W.Out.resize(static_cast<std::size_t>(Rows));
        W.Batch.Evaluate(Root, Data, W.Out);
        return Error(W.Out) / Rows;
    }
    const int Params = W.ParameterCount();
    const int Columns = Params + (LinearScaling ? 2 : 0);
    W.Prepare(Rows, Columns);
    for (int K = 0; K < Params; ++K)
        W.Theta[K] = W.Parameters[static_cast<std::size_t>(K)]->Value();
    W.Pass(W.Theta.data(), false, Data, Target, W.Out.data(), nullptr, nullptr);
    const double Start = Error(W.Out);
    // Without spread the scaled program is the target's mean whatever the parameters, and
    // its derivatives by them are 0.
    if (Params == 0 || FIterations == 0 || !std::isfinite(Start) || (LinearScaling && Slope == 0))
        return Start / Rows;

    // With linear scaling, Intercept and Slope are solved in closed form at every evaluated
    // point (variable projection): they join the normal equations as two undamped columns,
    // so the step of the parameters is that of the projected problem, and a trial point
    // needs only a forward pass. The derivatives are computed at accepted points only.
    // Without scaling, one pass gives a trial point's error and derivatives together.
    const auto Scale = [&](Eigen::VectorXd& Point) {
        if (!LinearScaling) return;
        Point[Params] = Intercept;
        Point[Params + 1] = Slope;
    };
    Scale(W.Theta);
    double Current = W.Pass(W.Theta.data(), LinearScaling, Data, Target, W.Out.data(), &W.A, &W.G);
    double Damping = FInitialDamping;
    bool Improved = false;
    for (int Iteration = 0; Iteration < FIterations; ++Iteration) {
        if (Current == 0 || !W.A.allFinite() || !W.G.allFinite()) break;
        const double Largest = W.A.diagonal().head(Params).maxCoeff();
        if (!(Largest > 0) || W.G.head(Params).isZero(0)) break;
        // Marquardt's damping, relative to each parameter's own curvature; the floor keeps
        // parameters the data do not see from making the system singular.
        W.H = W.A;
        for (int K = 0; K < Params; ++K)
            W.H(K, K) += Damping * std::max(W.A(K, K), 1e-12 * Largest);
        W.Solver.compute(W.H);
        W.Step = W.Solver.solve(W.G);
        const bool Solved = W.Solver.info() == Eigen::Success;
        // A step that no longer moves any parameter beyond rounding: converged.
        if (Solved && W.Step.head(Params).cwiseAbs().maxCoeff() <=
                          1e-13 * (W.Theta.head(Params).cwiseAbs().maxCoeff() + 1e-300))
            break;
        W.Trial = W.Theta + W.Step;
        double Next = Infinity;
        if (Solved && W.Trial.allFinite()) {
            if (LinearScaling) {
                W.Pass(W.Trial.data(), false, Data, Target, W.TrialOut.data(), nullptr, nullptr);
                Next = Error(W.TrialOut);
                if (Next < Current) {
                    Scale(W.Trial);
                    W.Pass(W.Trial.data(), true, Data, Target, W.TrialOut.data(), &W.TrialA,
                           &W.TrialG);
                }
            } else {
                Next = W.Pass(W.Trial.data(), false, Data, Target, W.TrialOut.data(), &W.TrialA,
                              &W.TrialG);
            }
        }
        if (Next < Current) {
            const double Gain = (Current - Next) / Current;
            W.Theta.swap(W.Trial);
            W.A.swap(W.TrialA);
            W.G.swap(W.TrialG);
            W.Out.swap(W.TrialOut);
            Current = Next;
            Improved = true;
            Damping = std::max(Damping / 10, MinDamping);
            if (Gain < FTolerance) break;
        } else {
            Damping *= 10;
            if (Damping > MaxDamping) break;
        }
    }
    if (!Improved) return Start / Rows;
    // Root is the caller's own, modifiable tree; the compiled steps only keep it const.
    for (int K = 0; K < Params; ++K)
        const_cast<TAxGPNode<TGAFloat>*>(W.Parameters[static_cast<std::size_t>(K)])
            ->SetValue(W.Theta[K]);
    return Current / Rows;
}

} // namespace ax
