#include "axgenetic/regression/expression.hpp"

#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <unordered_map>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/messages.hpp"
#include "axgenetic/gp/engine/batch_evaluator.hpp"
#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/regression/functions.hpp"
#include "axgenetic/regression/sr_messages.hpp"

namespace ax {

namespace {

// The catalogue entries that rules and printers name.
struct TCatalogue {
    const TAxSRFunction* Add = FindSRFunction("Add");
    const TAxSRFunction* Sub = FindSRFunction("Sub");
    const TAxSRFunction* Mul = FindSRFunction("Mul");
    const TAxSRFunction* Div = FindSRFunction("Div");
    const TAxSRFunction* AQ = FindSRFunction("AQ");
    const TAxSRFunction* Sin = FindSRFunction("Sin");
    const TAxSRFunction* Cos = FindSRFunction("Cos");
    const TAxSRFunction* Exp = FindSRFunction("Exp");
    const TAxSRFunction* Log = FindSRFunction("Log");
    const TAxSRFunction* Sqrt = FindSRFunction("Sqrt");
    const TAxSRFunction* Square = FindSRFunction("Square");
    const TAxSRFunction* Tanh = FindSRFunction("Tanh");
    const TAxSRFunction* Abs = FindSRFunction("Abs");
    const TAxSRFunction* Neg = FindSRFunction("Neg");
};

const TCatalogue& Catalogue() {
    static const TCatalogue Instance;
    return Instance;
}

constexpr TGAFloat MaxFinite = std::numeric_limits<TGAFloat>::max();
constexpr TGAFloat Unbounded = std::numeric_limits<TGAFloat>::infinity();

std::uint64_t Mix(std::uint64_t Hash, std::uint64_t Value) {
    return Hash ^ (Value + 0x9e3779b97f4a7c15ULL + (Hash << 6) + (Hash >> 2));
}

// The shortest text that reads back to V, or V rounded to Digits significant digits;
// always with "." (the formula texts are read by other programs).
std::string NumberText(TGAFloat V, int Digits) {
    char Buffer[64];
    const std::to_chars_result R =
        Digits > 0 ? std::to_chars(Buffer, Buffer + sizeof Buffer, V, std::chars_format::general,
                                   Digits > 17 ? 17 : Digits)
                   : std::to_chars(Buffer, Buffer + sizeof Buffer, V);
    return std::string(Buffer, R.ptr);
}

} // namespace

// Builds the terms of an expression bottom up (children first). Simplify applies the
// rewriting rules to a function of already simplified arguments; Finish drops the terms
// that rewriting left unreachable.
class TAxSRExpressionBuilder {
public:
    using TTerm = TAxSRExpression::TTerm;
    using TKind = TAxSRExpression::TTermKind;

    int Constant(TGAFloat V) {
        TTerm T;
        T.Kind = TKind::Constant;
        T.Value = V;
        T.Hash = Mix(1, std::bit_cast<std::uint64_t>(V));
        return Push(T, {}, std::isfinite(V) ? std::fabs(V) : Unbounded);
    }

    int Variable(const std::string& Name) {
        TTerm T;
        T.Kind = TKind::Variable;
        T.Name = NameIndex(Name);
        T.Hash = Mix(2, static_cast<std::uint64_t>(T.Name));
        return Push(T, {}, MaxFinite); // finite at every data point, but unbounded
    }

    int Call(const std::string& Name, std::span<const int> Args) {
        TTerm T;
        T.Kind = TKind::Call;
        T.Name = NameIndex(Name);
        T.Deterministic = false; // a host's function may draw, so two calls may differ
        return Push(T, Args, Unbounded);
    }

    // The function of Args as it stands, no rule applied.
    int Function(const TAxSRFunction* F, std::span<const int> Args) {
        TTerm T;
        T.Kind = TKind::Function;
        T.Function = F;
        return Push(T, Args, FunctionBound(F, Args));
    }
    int Function(const TAxSRFunction* F, int A, int B) {
        const int Args[] = {A, B};
        return Function(F, Args);
    }

    int Simplify(const TAxSRFunction* F, std::span<const int> Args);
    int Simplify(const TAxSRFunction* F, int A, int B = -1) {
        const int Args[] = {A, B};
        return Simplify(F, std::span<const int>(Args, F->Arity));
    }

    TAxSRExpression Finish(int Root) &&;

private:
    int Push(TTerm T, std::span<const int> Args, TGAFloat Bound);
    int NameIndex(const std::string& Name);
    TGAFloat FunctionBound(const TAxSRFunction* F, std::span<const int> Args) const;

    const TTerm& Term(int I) const { return FTerms[I]; }
    int ArgOf(int I, int K = 0) const { return FArgs[FTerms[I].FirstArg + K]; }
    bool IsConst(int I) const { return FTerms[I].Kind == TKind::Constant; }
    bool IsValue(int I, TGAFloat V) const { return IsConst(I) && FTerms[I].Value == V; }
    bool Is(int I, const TAxSRFunction* F) const {
        return FTerms[I].Kind == TKind::Function && FTerms[I].Function == F;
    }
    // Finite at every data point.
    bool Finite(int I) const { return FBounds[I] <= MaxFinite; }
    // The same value at every data point because it is the same computation.
    bool SameValue(int A, int B) const;

    std::vector<TTerm> FTerms;
    std::vector<int> FArgs;
    // Per term: a bound of its magnitude at every data point, MaxFinite for finite but
    // unbounded, Unbounded where it may be infinite or NaN.
    std::vector<TGAFloat> FBounds;
    std::vector<std::string> FNames;
    std::unordered_map<std::string, int> FNameIndex;
};

int TAxSRExpressionBuilder::Push(TTerm T, std::span<const int> Args, TGAFloat Bound) {
    T.FirstArg = static_cast<int>(FArgs.size());
    T.ArgCount = static_cast<int>(Args.size());
    std::uint64_t Hash = Mix(T.Hash, static_cast<std::uint64_t>(T.Kind));
    if (T.Function) Hash = Mix(Hash, std::hash<std::string_view>()(T.Function->Name));
    if (T.Kind == TKind::Call) Hash = Mix(Hash, static_cast<std::uint64_t>(T.Name));
    for (const int A : Args) {
        FArgs.push_back(A);
        T.Size += FTerms[A].Size;
        T.Deterministic = T.Deterministic && FTerms[A].Deterministic;
        Hash = Mix(Hash, FTerms[A].Hash);
    }
    T.Hash = Hash;
    FTerms.push_back(T);
    FBounds.push_back(Bound);
    return static_cast<int>(FTerms.size()) - 1;
}

int TAxSRExpressionBuilder::NameIndex(const std::string& Name) {
    const auto [It, Added] = FNameIndex.try_emplace(Name, static_cast<int>(FNames.size()));
    if (Added) FNames.push_back(Name);
    return It->second;
}

// Floating-point rounding is monotonic, so the bound computed from the arguments' bounds
// bounds the computed value; a bound that overflows says the value may be infinite.
TGAFloat TAxSRExpressionBuilder::FunctionBound(const TAxSRFunction* F,
                                               std::span<const int> Args) const {
    const TCatalogue& C = Catalogue();
    const TGAFloat A = FBounds[Args[0]];
    const TGAFloat B = F->Arity == 2 ? FBounds[Args[1]] : 0;
    const bool Finite = A <= MaxFinite && B <= MaxFinite;
    if (!Finite) return Unbounded;
    if (F == C.Add || F == C.Sub) return A + B;
    if (F == C.Mul) return A * B;
    if (F == C.Square) return A * A;
    if (F == C.Div) {
        if (!IsConst(Args[1])) return Unbounded; // a small divisor makes any quotient
        const TGAFloat D = std::fabs(FTerms[Args[1]].Value);
        return D == 0 ? 1 : A / D;
    }
    if (F == C.AQ) return A; // the divisor is at least 1 (or infinite, giving 0)
    if (F == C.Sin || F == C.Cos || F == C.Tanh) return 1;
    if (F == C.Exp) return A < 700 ? 2 * std::exp(A) : Unbounded;
    if (F == C.Log) return 745; // |log|a|| of any finite double, 0 at 0
    if (F == C.Sqrt) return std::sqrt(A);
    if (F == C.Abs || F == C.Neg) return A;
    return Unbounded;
}

bool TAxSRExpressionBuilder::SameValue(int A, int B) const {
    if (!FTerms[A].Deterministic) return false;
    std::vector<std::pair<int, int>> Pending{{A, B}};
    while (!Pending.empty()) {
        const auto [X, Y] = Pending.back();
        Pending.pop_back();
        if (X == Y) continue;
        const TTerm& P = FTerms[X];
        const TTerm& Q = FTerms[Y];
        if (P.Hash != Q.Hash || P.Size != Q.Size || P.Kind != Q.Kind || P.Function != Q.Function ||
            P.Name != Q.Name || P.ArgCount != Q.ArgCount ||
            std::bit_cast<std::uint64_t>(P.Value) != std::bit_cast<std::uint64_t>(Q.Value))
            return false;
        for (int K = 0; K < P.ArgCount; ++K)
            Pending.emplace_back(ArgOf(X, K), ArgOf(Y, K));
    }
    return true;
}

// Each rule either shrinks the expression or puts a constant in its place (first in a
// product, last in a sum), so rewriting ends. Every rule is exact for the catalogue's
// arithmetic; the comments give the reason where it is not plain.
int TAxSRExpressionBuilder::Simplify(const TAxSRFunction* F, std::span<const int> Args) {
    const TCatalogue& C = Catalogue();
    bool AllConstant = true;
    for (const int A : Args)
        AllConstant = AllConstant && IsConst(A);
    if (AllConstant) {
        // The program computes exactly this; non-finite results stay as written.
        const TGAFloat V = F->Value(Term(Args[0]).Value, F->Arity == 2 ? Term(Args[1]).Value : 0);
        if (std::isfinite(V)) return Constant(V);
    }
    const int A = Args[0];
    const int B = F->Arity == 2 ? Args[1] : -1;
    if (F == C.Add) {
        if (IsValue(B, 0)) return A; // x + 0 differs from x only in the sign of a zero
        if (IsValue(A, 0)) return B;
        if (Is(B, C.Neg)) return Simplify(C.Sub, A, ArgOf(B)); // a + -b is a - b
        if (Is(A, C.Neg)) return Simplify(C.Sub, B, ArgOf(A));
        if (SameValue(A, B)) return Simplify(C.Mul, Constant(2), A); // doubling is exact
        if (IsConst(A) && !IsConst(B)) return Function(C.Add, B, A);
    } else if (F == C.Sub) {
        if (IsValue(B, 0)) return A;
        if (IsValue(A, 0)) return Simplify(C.Neg, B);
        if (Is(B, C.Neg)) return Simplify(C.Add, A, ArgOf(B));
        if (Finite(A) && SameValue(A, B)) return Constant(0); // inf - inf would be NaN
    } else if (F == C.Mul) {
        if (IsValue(A, 1)) return B;
        if (IsValue(B, 1)) return A;
        if (IsValue(A, -1)) return Simplify(C.Neg, B);
        if (IsValue(B, -1)) return Simplify(C.Neg, A);
        if ((IsValue(A, 0) && Finite(B)) || (IsValue(B, 0) && Finite(A))) return Constant(0);
        if (Is(A, C.Neg) && Is(B, C.Neg)) return Simplify(C.Mul, ArgOf(A), ArgOf(B));
        if (Is(A, C.Neg) && IsConst(B)) return Simplify(C.Mul, Constant(-Term(B).Value), ArgOf(A));
        if (IsConst(A) && Is(B, C.Neg)) return Simplify(C.Mul, Constant(-Term(A).Value), ArgOf(B));
        if (SameValue(A, B)) return Simplify(C.Square, A);
        if (IsConst(B) && !IsConst(A)) return Function(C.Mul, B, A);
    } else if (F == C.Div) {
        if (IsValue(B, 0)) return Constant(1); // the protected quotient, even of NaN
        if (IsValue(B, 1)) return A;
        if (IsValue(B, -1)) return Simplify(C.Neg, A);
        if (Finite(A) && SameValue(A, B)) return Constant(1); // 0/0 is 1 too
        // -b is 0 exactly where b is, so the protected case stays where it was.
        if (Is(A, C.Neg) && Is(B, C.Neg)) return Simplify(C.Div, ArgOf(A), ArgOf(B));
        if (Is(A, C.Neg) && IsConst(B)) return Simplify(C.Div, ArgOf(A), Constant(-Term(B).Value));
    } else if (F == C.AQ) {
        if (IsValue(B, 0)) return A;
        if (Is(B, C.Neg)) return Simplify(C.AQ, A, ArgOf(B));
        if (IsValue(A, 0) && Finite(B)) return Constant(0);
    } else if (F == C.Neg) {
        if (Is(A, C.Neg)) return ArgOf(A);
        // -(a - b) is b - a: rounding to nearest is symmetric.
        if (Is(A, C.Sub)) return Simplify(C.Sub, ArgOf(A, 1), ArgOf(A, 0));
        // -(c*x) is (-c)*x, and -(x/c) is x/(-c) for a constant c that is not 0.
        if (Is(A, C.Mul) && IsConst(ArgOf(A, 0)))
            return Simplify(C.Mul, Constant(-Term(ArgOf(A, 0)).Value), ArgOf(A, 1));
        if (Is(A, C.Div) && IsConst(ArgOf(A, 1)))
            return Simplify(C.Div, ArgOf(A, 0), Constant(-Term(ArgOf(A, 1)).Value));
    } else if (F == C.Abs) {
        if (Is(A, C.Abs) || Is(A, C.Square) || Is(A, C.Sqrt) || Is(A, C.Exp)) return A;
        if (Is(A, C.Neg)) return Simplify(C.Abs, ArgOf(A));
    } else if (F == C.Square || F == C.Sqrt || F == C.Log) {
        // Even functions: the protected forms see |a| only.
        if (Is(A, C.Neg) || Is(A, C.Abs)) return Simplify(F, ArgOf(A));
    }
    return Function(F, Args);
}

TAxSRExpression TAxSRExpressionBuilder::Finish(int Root) && {
    std::vector<char> Reached(Root + 1, 0);
    Reached[Root] = 1;
    for (int I = Root; I >= 0; --I)
        if (Reached[I])
            for (int K = 0; K < FTerms[I].ArgCount; ++K)
                Reached[ArgOf(I, K)] = 1;
    TAxSRExpression Result;
    Result.FTerms.clear();
    std::vector<int> NewIndex(Root + 1, -1);
    for (int I = 0; I <= Root; ++I) {
        if (!Reached[I]) continue;
        TTerm T = FTerms[I];
        T.FirstArg = static_cast<int>(Result.FArgs.size());
        for (int K = 0; K < T.ArgCount; ++K)
            Result.FArgs.push_back(NewIndex[ArgOf(I, K)]);
        NewIndex[I] = static_cast<int>(Result.FTerms.size());
        Result.FTerms.push_back(T);
    }
    Result.FNames = std::move(FNames);
    return Result;
}

TAxSRExpression::TAxSRExpression() : FTerms(1) {}

TAxSRExpression TAxSRExpression::FromProgram(const TAxGPNode<TGAFloat>& Root, TGAFloat Intercept,
                                             TGAFloat Slope) {
    const TCatalogue& C = Catalogue();
    TAxSRExpressionBuilder Builder;
    // An explicit stack: programs may be deeper than the call stack allows.
    struct TFrame {
        const TAxGPNode<TGAFloat>* Node;
        const TAxSRFunction* Function; // nullptr: an opaque call
        int Slots;                     // slots read
        int NextSlot;
        std::size_t FirstResult;
    };
    std::vector<TFrame> Frames;
    std::vector<int> Results;
    const auto Enter = [&](const TAxGPNode<TGAFloat>& Node) {
        const TAxGPInstruction<TGAFloat>* Instruction = Node.Instruction();
        if (!Instruction) throw EGPException(std::string(SNoInstructionAssigned));
        if (Instruction->Operation() == TGPGeneticInstruction::gpConstant) {
            Results.push_back(Builder.Constant(Node.Value()));
            return;
        }
        if (Instruction->Operation() == TGPGeneticInstruction::gpVariable) {
            Results.push_back(Builder.Variable(Instruction->Name()));
            return;
        }
        const TAxSRFunction* F = FindSRFunction(Instruction->Name());
        int Slots = Node.SlotCount();
        if (F) {
            bool Complete = Slots >= F->Arity;
            for (int I = 0; Complete && I < F->Arity; ++I)
                Complete = Node.GetChild(I) != nullptr;
            if (Complete)
                Slots = F->Arity; // further children are never evaluated by the function
            else
                F = nullptr;
        }
        Frames.push_back({&Node, F, Slots, 0, Results.size()});
    };
    Enter(Root);
    while (!Frames.empty()) {
        TFrame& Top = Frames.back();
        if (Top.NextSlot < Top.Slots) {
            const TAxGPNode<TGAFloat>* Child = Top.Node->GetChild(Top.NextSlot++);
            if (Child) Enter(*Child);
            continue;
        }
        const std::span<const int> Args(Results.data() + Top.FirstResult,
                                        Results.size() - Top.FirstResult);
        const int Index = Top.Function ? Builder.Function(Top.Function, Args)
                                       : Builder.Call(Top.Node->Instruction()->Name(), Args);
        Results.resize(Top.FirstResult);
        Results.push_back(Index);
        Frames.pop_back();
    }
    int Formula = Results.back();
    if (Slope != 1) Formula = Builder.Function(C.Mul, Builder.Constant(Slope), Formula);
    if (Intercept != 0) Formula = Builder.Function(C.Add, Formula, Builder.Constant(Intercept));
    return std::move(Builder).Finish(Formula);
}

TAxSRExpression TAxSRExpression::Simplified() const {
    TAxSRExpressionBuilder Builder;
    std::vector<int> NewIndex(FTerms.size());
    std::vector<int> Args;
    for (std::size_t I = 0; I < FTerms.size(); ++I) {
        const TTerm& T = FTerms[I];
        Args.clear();
        for (int K = 0; K < T.ArgCount; ++K)
            Args.push_back(NewIndex[Arg(T, K)]);
        switch (T.Kind) {
        case TTermKind::Constant:
            NewIndex[I] = Builder.Constant(T.Value);
            break;
        case TTermKind::Variable:
            NewIndex[I] = Builder.Variable(FNames[T.Name]);
            break;
        case TTermKind::Call:
            NewIndex[I] = Builder.Call(FNames[T.Name], Args);
            break;
        case TTermKind::Function:
            NewIndex[I] = Builder.Simplify(T.Function, Args);
            break;
        }
    }
    return std::move(Builder).Finish(NewIndex.back());
}

int TAxSRExpression::Size() const {
    return FTerms.back().Size;
}

void TAxSRExpression::Evaluate(const TAxGPDataSet& Data, std::span<TGAFloat> Out) const {
    const int Rows = Data.RowCount();
    if (Out.size() < static_cast<std::size_t>(Rows))
        throw EListError("List index out of bounds (" + std::to_string(Out.size()) + ")");
    std::vector<const TGAFloat*> Columns(FTerms.size(), nullptr);
    for (std::size_t I = 0; I < FTerms.size(); ++I) {
        const TTerm& T = FTerms[I];
        if (T.Kind == TTermKind::Call)
            throw EGPException(Format(SOpaqueSRFunction, {FNames[T.Name]}));
        if (T.Kind != TTermKind::Variable) continue;
        const int Column = Data.IndexOf(FNames[T.Name]);
        if (Column < 0) throw EGPException(Format(SMissingSRColumn, {FNames[T.Name]}));
        Columns[I] = Data.ColumnData(Column);
    }
    std::vector<TGAFloat> Values(FTerms.size());
    for (int Row = 0; Row < Rows; ++Row) {
        for (std::size_t I = 0; I < FTerms.size(); ++I) {
            const TTerm& T = FTerms[I];
            switch (T.Kind) {
            case TTermKind::Constant:
                Values[I] = T.Value;
                break;
            case TTermKind::Variable:
                Values[I] = Columns[I][Row];
                break;
            default:
                Values[I] =
                    T.Function->Value(Values[Arg(T, 0)], T.ArgCount > 1 ? Values[Arg(T, 1)] : 0);
                break;
            }
        }
        Out[Row] = Values.back();
    }
}

// The three text forms share one walk: each term is laid out as texts around its
// children, each child possibly in parentheses; the walk keeps its own stack.
class TAxSRExpressionPrinter {
public:
    enum class TStyle { Infix, SymPy, Latex };

    TAxSRExpressionPrinter(const TAxSRExpression& Expression, TStyle Style, int Digits);
    std::string Print() const;

private:
    using TTerm = TAxSRExpression::TTerm;
    using TKind = TAxSRExpression::TTermKind;
    // Precedence levels: sums, products, a leading minus, powers, atoms.
    enum TLevel { lvSum = 1, lvProduct, lvMinus, lvPower, lvAtom };
    struct TLayout {
        std::vector<std::string> Texts; // one more than Children
        std::vector<int> Children;
        std::vector<char> Wrap;
    };

    const TTerm& Term(int I) const { return E.FTerms[I]; }
    int ArgOf(int I, int K = 0) const { return E.Arg(E.FTerms[I], K); }
    bool Is(int I, const TAxSRFunction* F) const {
        return Term(I).Kind == TKind::Function && Term(I).Function == F;
    }
    bool IsNegativeConstant(int I) const {
        return Term(I).Kind == TKind::Constant && std::signbit(Term(I).Value) &&
               !std::isnan(Term(I).Value);
    }
    // SymPy: a quotient written plainly, its divisor being a non-zero constant.
    bool PlainQuotient(int I) const {
        const TTerm& D = Term(ArgOf(I, 1));
        return D.Kind == TKind::Constant && D.Value != 0 && !std::isnan(D.Value);
    }
    bool IsFraction(int I) const { return Style == TStyle::Latex && (Is(I, C.Div) || Is(I, C.AQ)); }

    TLayout Layout(int I) const;
    int Level(int I) const;
    bool WrapRight(int Child, int OpLevel, bool Associative) const;
    std::string ConstantText(TGAFloat V) const;
    std::string VariableText(const std::string& Name) const;
    std::string CallName(const std::string& Name) const;
    static std::string Quoted(const std::string& Name);
    static std::string InfixName(const std::string& Name);
    TLayout Binary(int I, const char* Op, int OpLevel, bool Associative) const;
    TLayout Call(int I, const std::string& Open, const std::string& Close) const;

    const TAxSRExpression& E;
    const TCatalogue& C = Catalogue();
    TStyle Style;
    int Digits;
    std::vector<char> Repeats; // SymPy: the subtree holds a form that repeats its argument
    std::string BoundPrefix;   // SymPy: names of Lambda variables, unused by any variable
};

TAxSRExpressionPrinter::TAxSRExpressionPrinter(const TAxSRExpression& Expression, TStyle AStyle,
                                               int ADigits)
    : E(Expression), Style(AStyle), Digits(ADigits < 0 ? 0 : ADigits) {
    if (Style != TStyle::SymPy) return;
    Repeats.assign(E.FTerms.size(), 0);
    for (std::size_t I = 0; I < E.FTerms.size(); ++I) {
        const int Index = static_cast<int>(I);
        bool R = Is(Index, C.Log) || (Is(Index, C.Div) && !PlainQuotient(Index));
        for (int K = 0; K < Term(Index).ArgCount; ++K)
            R = R || Repeats[ArgOf(Index, K)];
        Repeats[I] = R;
    }
    BoundPrefix = "_p";
    for (bool Clash = true; Clash;) {
        Clash = false;
        for (const std::string& Name : E.FNames)
            Clash = Clash || Name.starts_with(BoundPrefix);
        if (Clash) BoundPrefix += "_";
    }
}

std::string TAxSRExpressionPrinter::Print() const {
    const char* Open = Style == TStyle::Latex ? "\\left(" : "(";
    const char* Close = Style == TStyle::Latex ? "\\right)" : ")";
    struct TFrame {
        TLayout Layout;
        std::size_t Next;
    };
    std::string Out;
    std::vector<TFrame> Stack;
    const auto Enter = [&](int I) {
        Stack.push_back({Layout(I), 0});
        Out += Stack.back().Layout.Texts[0];
    };
    Enter(E.Root());
    while (!Stack.empty()) {
        TFrame& Top = Stack.back();
        if (Top.Next < Top.Layout.Children.size()) {
            const std::size_t K = Top.Next++;
            if (Top.Layout.Wrap[K]) Out += Open;
            Enter(Top.Layout.Children[K]);
            continue;
        }
        Stack.pop_back();
        if (Stack.empty()) break;
        const TFrame& Parent = Stack.back();
        if (Parent.Layout.Wrap[Parent.Next - 1]) Out += Close;
        Out += Parent.Layout.Texts[Parent.Next];
    }
    return Out;
}

int TAxSRExpressionPrinter::Level(int I) const {
    const TTerm& T = Term(I);
    if (T.Kind == TKind::Constant) {
        const std::string Text = ConstantText(T.Value);
        if (Text.front() == '-') return lvMinus;
        return Text.find("\\cdot") != std::string::npos ? lvProduct : lvAtom;
    }
    if (T.Kind != TKind::Function) return lvAtom;
    const TAxSRFunction* F = T.Function;
    if (F == C.Add || F == C.Sub) return lvSum;
    if (F == C.Mul) return lvProduct;
    if (F == C.Neg) return lvMinus;
    if (F == C.Square) return lvPower;
    if (F == C.Div) {
        if (Style == TStyle::Latex) return lvAtom;
        if (Style == TStyle::SymPy && !PlainQuotient(I)) return lvAtom;
        return lvProduct;
    }
    if (F == C.AQ) return Style == TStyle::Latex ? lvAtom : lvProduct;
    if (F == C.Exp && Style == TStyle::Latex) return lvPower;
    return lvAtom;
}

// Whether the right operand of a binary operator needs parentheses. Infix keeps the
// program's order for operators of equal precedence, the other forms only the meaning.
bool TAxSRExpressionPrinter::WrapRight(int Child, int OpLevel, bool Associative) const {
    const int L = Level(Child);
    if (L == lvMinus) return true;
    if (L != OpLevel) return L < OpLevel;
    return Style == TStyle::Infix || !Associative;
}

std::string TAxSRExpressionPrinter::ConstantText(TGAFloat V) const {
    if (std::isnan(V)) return Style == TStyle::Latex ? "\\mathrm{NaN}" : "nan";
    if (std::isinf(V)) {
        const char* Infinity =
            Style == TStyle::Infix ? "inf" : (Style == TStyle::SymPy ? "oo" : "\\infty");
        return (V < 0 ? "-" : "") + std::string(Infinity);
    }
    std::string Text = NumberText(V, Style == TStyle::SymPy ? 0 : Digits);
    if (Style != TStyle::Latex) return Text;
    const std::size_t E = Text.find('e');
    if (E == std::string::npos) return Text;
    return Text.substr(0, E) + " \\cdot 10^{" + std::to_string(std::stoi(Text.substr(E + 1))) + "}";
}

std::string TAxSRExpressionPrinter::VariableText(const std::string& Name) const {
    if (Style == TStyle::Infix) return InfixName(Name);
    // One letter, then digits or an underscore and digits: x, x1, x_12.
    bool Short = !Name.empty() && std::isalpha(static_cast<unsigned char>(Name[0]));
    std::size_t Digit = 1;
    if (Short && Name.size() > 2 && Name[1] == '_') Digit = 2;
    for (std::size_t K = Digit; Short && K < Name.size(); ++K)
        Short = std::isdigit(static_cast<unsigned char>(Name[K]));
    if (Short && Digit == 2 && Name.size() == 2) Short = false;
    if (Style == TStyle::SymPy) {
        // SymPy reads E, I, N, O, Q and S (and longer names) as its own objects.
        if (Short && std::string_view("EINOQS").find(Name[0]) == std::string_view::npos)
            return Name;
        return "Symbol(" + Quoted(Name) + ")";
    }
    if (Short) return Name.size() == 1 ? Name : Name.substr(0, 1) + "_{" + Name.substr(Digit) + "}";
    return "\\mathrm{" + CallName(Name) + "}";
}

// A name as infix text: an identifier as it is; any other name (a CSV header such as
// "sepal length" or "a-b") between backquotes, a backquote in it doubled, so that the
// text stays unambiguous.
std::string TAxSRExpressionPrinter::InfixName(const std::string& Name) {
    bool Identifier = !Name.empty() && !std::isdigit(static_cast<unsigned char>(Name[0]));
    for (const char Ch : Name)
        Identifier = Identifier && (std::isalnum(static_cast<unsigned char>(Ch)) || Ch == '_');
    if (Identifier) return Name;
    std::string Text = "`";
    for (const char Ch : Name) {
        if (Ch == '`') Text += '`';
        Text += Ch;
    }
    return Text + "`";
}

// A Python string literal.
std::string TAxSRExpressionPrinter::Quoted(const std::string& Name) {
    std::string Text = "'";
    for (const char Ch : Name) {
        if (Ch == '\'' || Ch == '\\') Text += '\\';
        Text += Ch;
    }
    return Text + "'";
}

// A host's name in LaTeX text, special characters escaped.
std::string TAxSRExpressionPrinter::CallName(const std::string& Name) const {
    if (Style != TStyle::Latex) return Name;
    std::string Text;
    for (const char Ch : Name) {
        if (std::string_view("_#$%&{}").find(Ch) != std::string_view::npos)
            Text += '\\', Text += Ch;
        else if (Ch == '\\')
            Text += "\\backslash{}";
        else if (Ch == '^')
            Text += "\\hat{}";
        else if (Ch == '~')
            Text += "\\sim{}";
        else
            Text += Ch;
    }
    return Text;
}

TAxSRExpressionPrinter::TLayout TAxSRExpressionPrinter::Binary(int I, const char* Op, int OpLevel,
                                                               bool Associative) const {
    const int A = ArgOf(I, 0);
    const int B = ArgOf(I, 1);
    return {{"", Op, ""}, {A, B}, {Level(A) < OpLevel, WrapRight(B, OpLevel, Associative)}};
}

TAxSRExpressionPrinter::TLayout TAxSRExpressionPrinter::Call(int I, const std::string& Open,
                                                             const std::string& Close) const {
    TLayout L{{Open}, {}, {}};
    for (int K = 0; K < Term(I).ArgCount; ++K) {
        if (K > 0) L.Texts.push_back(", ");
        L.Children.push_back(ArgOf(I, K));
        L.Wrap.push_back(0);
    }
    if (L.Children.empty())
        L.Texts.back() += Close;
    else
        L.Texts.push_back(Close);
    return L;
}

TAxSRExpressionPrinter::TLayout TAxSRExpressionPrinter::Layout(int I) const {
    const TTerm& T = Term(I);
    const bool Latex = Style == TStyle::Latex;
    const bool SymPy = Style == TStyle::SymPy;
    switch (T.Kind) {
    case TKind::Constant:
        return {{ConstantText(T.Value)}, {}, {}};
    case TKind::Variable:
        return {{VariableText(E.FNames[T.Name])}, {}, {}};
    case TKind::Call: {
        const std::string& Name = E.FNames[T.Name];
        if (Latex) return Call(I, "\\operatorname{" + CallName(Name) + "}\\left(", "\\right)");
        if (SymPy) return Call(I, "Function(" + Quoted(Name) + ")(", ")");
        return Call(I, InfixName(Name) + "(", ")");
    }
    case TKind::Function:
        break;
    }
    const TAxSRFunction* F = T.Function;
    const int A = ArgOf(I, 0);
    if (F == C.Add || F == C.Sub) {
        // a + (-c) is a - c exactly, and a - (-c) is a + c.
        const int B = ArgOf(I, 1);
        if (IsNegativeConstant(B)) {
            const char* Op = F == C.Add ? " - " : " + ";
            return {{"", Op + ConstantText(-Term(B).Value), ""}, {A}, {0}};
        }
        // Likewise a + (-c)*r is a - c*r: (-c)*r is -(c*r) exactly.
        if (Is(B, C.Mul) && IsNegativeConstant(ArgOf(B, 0))) {
            const char* Op = F == C.Add ? " - " : " + ";
            const int R = ArgOf(B, 1);
            return {
                {"", Op + ConstantText(-Term(ArgOf(B, 0)).Value) + (Latex ? " \\cdot " : "*"), ""},
                {A, R},
                {0, WrapRight(R, lvProduct, true)}};
        }
        return Binary(I, F == C.Add ? " + " : " - ", lvSum, F == C.Add);
    }
    if (F == C.Mul) return Binary(I, Latex ? " \\cdot " : "*", lvProduct, true);
    if (F == C.Div) {
        const int B = ArgOf(I, 1);
        if (Latex) return {{"\\frac{", "}{", "}"}, {A, B}, {0, 0}};
        if (!SymPy || PlainQuotient(I)) return Binary(I, "/", lvProduct, false);
        const char* Protected = ", 0)), (";
        if (!Repeats[B])
            return {{"Piecewise((1, Eq(", std::string(Protected), "/", ", True))"},
                    {B, A, B},
                    {0, Level(A) < lvProduct, WrapRight(B, lvProduct, false)}};
        const std::string P = BoundPrefix + std::to_string(I);
        return {
            {"Lambda(" + P + ", Piecewise((1, Eq(" + P + Protected, "/" + P + ", True)))(", ")"},
            {A, B},
            {Level(A) < lvProduct, 0}};
    }
    if (F == C.AQ) {
        const int B = ArgOf(I, 1);
        const bool WrapB = Level(B) < lvAtom || IsFraction(B);
        if (Latex) return {{"\\frac{", "}{\\sqrt{1 + ", "^{2}}}"}, {A, B}, {0, WrapB}};
        return {{"", "/sqrt(1 + ", SymPy ? "**2)" : "^2)"}, {A, B}, {Level(A) < lvProduct, WrapB}};
    }
    if (F == C.Neg) {
        const int L = Level(A);
        return {{"-", ""}, {A}, {L == lvSum || L == lvMinus || (L == lvProduct && !Is(A, C.Mul))}};
    }
    if (F == C.Square)
        return {{"", Latex ? "^{2}" : (SymPy ? "**2" : "^2")},
                {A},
                {Level(A) < lvAtom || IsFraction(A)}};
    if (F == C.Log && SymPy) {
        if (!Repeats[A])
            return {{"Piecewise((0, Eq(", ", 0)), (log(Abs(", ")), True))"}, {A, A}, {0, 0}};
        const std::string P = BoundPrefix + std::to_string(I);
        return {
            {"Lambda(" + P + ", Piecewise((0, Eq(" + P + ", 0)), (log(Abs(" + P + ")), True)))(",
             ")"},
            {A},
            {0}};
    }
    if (Latex) {
        if (F == C.Exp) return {{"e^{", "}"}, {A}, {0}};
        if (F == C.Log) return {{"\\log\\left|", "\\right|"}, {A}, {0}};
        if (F == C.Sqrt) return {{"\\sqrt{\\left|", "\\right|}"}, {A}, {0}};
        if (F == C.Abs) return {{"\\left|", "\\right|"}, {A}, {0}};
        return {{"\\" + std::string(1, static_cast<char>(std::tolower(F->Name[0]))) +
                     std::string(F->Name.substr(1)) + "\\left(",
                 "\\right)"},
                {A},
                {0}};
    }
    if (F == C.Sqrt && SymPy) return {{"sqrt(Abs(", "))"}, {A}, {0}};
    if (F == C.Abs && SymPy) return {{"Abs(", ")"}, {A}, {0}};
    std::string Name(F->Name);
    for (char& Ch : Name)
        Ch = static_cast<char>(std::tolower(static_cast<unsigned char>(Ch)));
    return {{Name + "(", ")"}, {A}, {0}};
}

std::string TAxSRExpression::Infix(int Digits) const {
    return TAxSRExpressionPrinter(*this, TAxSRExpressionPrinter::TStyle::Infix, Digits).Print();
}

std::string TAxSRExpression::SymPy() const {
    return TAxSRExpressionPrinter(*this, TAxSRExpressionPrinter::TStyle::SymPy, 0).Print();
}

std::string TAxSRExpression::Latex(int Digits) const {
    return TAxSRExpressionPrinter(*this, TAxSRExpressionPrinter::TStyle::Latex, Digits).Print();
}

} // namespace ax
