#include "axgenetic/regression/regressor.hpp"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>
#include <sstream>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/gp/engine/batch_evaluator.hpp"
#include "axgenetic/gp/evolution/executor.hpp"
#include "axgenetic/gp/evolution/gp_components.hpp"
#include "axgenetic/parallel/thread_evaluator.hpp"
#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/files.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/platform/random.hpp"
#include "axgenetic/regression/constant_optimizer.hpp"
#include "axgenetic/regression/expression.hpp"
#include "axgenetic/regression/functions.hpp"
#include "axgenetic/regression/sr_messages.hpp"

namespace ax {

namespace {

using TNode = TAxGPNode<TGAFloat>;
using TNodePtr = std::unique_ptr<TNode>;
using TClock = std::chrono::steady_clock;

// The name of the constant instruction: ephemeral random constants during a fit, and
// the scaling constants of a saved model.
constexpr const char* ConstantName = "c";

std::string ExactText(double Value) {
    char Buffer[64];
    const auto Result = std::to_chars(Buffer, Buffer + sizeof(Buffer), Value);
    return std::string(Buffer, Result.ptr);
}

double Seconds(TClock::time_point Start) {
    return std::chrono::duration<double>(TClock::now() - Start).count();
}

// Instruction names compare ignoring ASCII letter case.
bool SameNameIgnoringCase(std::string_view A, std::string_view B) {
    return detail::SameTextAscii(A, B);
}

double Mean(std::span<const TGAFloat> Values) {
    double Sum = 0;
    for (const double V : Values)
        Sum += V;
    return Sum / static_cast<double>(Values.size());
}

double MeanSquaredError(std::span<const TGAFloat> Prediction, std::span<const TGAFloat> Target) {
    double Sum = 0;
    for (std::size_t I = 0; I < Target.size(); ++I) {
        const double D = Prediction[I] - Target[I];
        Sum += D * D;
    }
    return Sum / static_cast<double>(Target.size());
}

double RSquared(std::span<const TGAFloat> Prediction, std::span<const TGAFloat> Target) {
    const double M = Mean(Target);
    double SSE = 0, SST = 0;
    for (std::size_t I = 0; I < Target.size(); ++I) {
        SSE += (Prediction[I] - Target[I]) * (Prediction[I] - Target[I]);
        SST += (Target[I] - M) * (Target[I] - M);
    }
    if (!std::isfinite(SSE)) return -std::numeric_limits<double>::infinity();
    if (SST == 0) return SSE == 0 ? 1 : 0;
    return 1 - SSE / SST;
}

// Per evaluating thread: the batch evaluator, the output buffer and the optimiser.
struct TWorkspace {
    TAxGPBatchEvaluator Evaluator;
    std::vector<TGAFloat> Output;
    std::unique_ptr<TAxSRConstantOptimizer> Optimizer;
};

TWorkspace& ThreadWorkspace() {
    thread_local TWorkspace Workspace;
    return Workspace;
}

// The scaled error of a program: the worst error when it is not finite anywhere.
double ProgramError(TNode& Root, const TAxGPDataSet& Data, std::span<const TGAFloat> Target,
                    bool Scaling, TGAFloat* Intercept = nullptr, TGAFloat* Slope = nullptr) {
    TWorkspace& W = ThreadWorkspace();
    W.Output.resize(static_cast<std::size_t>(Data.RowCount()));
    W.Evaluator.Evaluate(Root, Data, W.Output);
    for (const double V : W.Output)
        if (!std::isfinite(V)) return SRWorstMSE;
    TGAFloat A = 0, B = 1;
    if (Scaling) LinearScaling(W.Output, Target, A, B);
    double Sum = 0;
    for (std::size_t I = 0; I < Target.size(); ++I) {
        const double D = (A + B * W.Output[I]) - Target[I];
        Sum += D * D;
    }
    const double Error = Sum / static_cast<double>(Target.size());
    if (Intercept) *Intercept = A;
    if (Slope) *Slope = B;
    return std::isfinite(Error) ? std::min(Error, SRWorstMSE) : SRWorstMSE;
}

// The settings a fit runs with: every value in its range.
TAxSRSettings Clamped(TAxSRSettings S) {
    S.PopulationSize = std::max(S.PopulationSize, 2);
    S.Generations = std::max(S.Generations, 0);
    if (!(S.TimeLimitSeconds > 0)) S.TimeLimitSeconds = 0;
    S.MaxSize = std::max(S.MaxSize, 3);
    S.MaxDepth = std::max(S.MaxDepth, 2);
    S.InitialDepth = std::clamp(S.InitialDepth, 2, S.MaxDepth);
    S.OptimizerIterations = std::clamp(S.OptimizerIterations, 0, 1000);
    if (!std::isfinite(S.ConstantMin)) S.ConstantMin = -1;
    if (!std::isfinite(S.ConstantMax)) S.ConstantMax = 1;
    if (S.ConstantMin > S.ConstantMax) std::swap(S.ConstantMin, S.ConstantMax);
    if (!(S.ConstantMutationSigma >= 0)) S.ConstantMutationSigma = 0;
    S.TournamentSize = std::max(S.TournamentSize, 1);
    S.CrossoverProbability =
        std::clamp(std::isfinite(S.CrossoverProbability) ? S.CrossoverProbability : 0.0, 0.0, 1.0);
    S.MutationProbability =
        std::clamp(std::isfinite(S.MutationProbability) ? S.MutationProbability : 0.0, 0.0, 1.0);
    if (!(S.KneeTolerance >= 0)) S.KneeTolerance = 0;
    S.Threads = std::max(S.Threads, 1);
    return S;
}

// NSGA-II: non-dominated ranks and crowding distances of points (error, size), both
// minimised. Ties in both objectives count as not dominating each other.
void RankAndCrowd(const std::vector<double>& Error, const std::vector<int>& Size,
                  std::vector<int>& Rank, std::vector<double>& Crowd) {
    const std::size_t N = Error.size();
    Rank.assign(N, 0);
    Crowd.assign(N, 0);
    std::vector<std::vector<std::size_t>> Dominated(N);
    std::vector<int> Count(N, 0);
    std::vector<std::size_t> Front;
    for (std::size_t P = 0; P < N; ++P) {
        for (std::size_t Q = 0; Q < N; ++Q) {
            if (P == Q) continue;
            const bool PQ = Error[P] <= Error[Q] && Size[P] <= Size[Q] &&
                            (Error[P] < Error[Q] || Size[P] < Size[Q]);
            const bool QP = Error[Q] <= Error[P] && Size[Q] <= Size[P] &&
                            (Error[Q] < Error[P] || Size[Q] < Size[P]);
            if (PQ)
                Dominated[P].push_back(Q);
            else if (QP)
                ++Count[P];
        }
        if (Count[P] == 0) Front.push_back(P);
    }
    int Level = 0;
    while (!Front.empty()) {
        // Crowding within the front, along each objective.
        for (int Objective = 0; Objective < 2; ++Objective) {
            auto Key = [&](std::size_t I) {
                return Objective == 0 ? Error[I] : static_cast<double>(Size[I]);
            };
            std::vector<std::size_t> Sorted = Front;
            std::stable_sort(Sorted.begin(), Sorted.end(),
                             [&](std::size_t A, std::size_t B) { return Key(A) < Key(B); });
            const double Span = Key(Sorted.back()) - Key(Sorted.front());
            Crowd[Sorted.front()] = Crowd[Sorted.back()] = std::numeric_limits<double>::infinity();
            if (Span > 0 && std::isfinite(Span))
                for (std::size_t K = 1; K + 1 < Sorted.size(); ++K)
                    Crowd[Sorted[K]] += (Key(Sorted[K + 1]) - Key(Sorted[K - 1])) / Span;
        }
        std::vector<std::size_t> Next;
        for (const std::size_t P : Front) {
            Rank[P] = Level;
            for (const std::size_t Q : Dominated[P])
                if (--Count[Q] == 0) Next.push_back(Q);
        }
        Front = std::move(Next);
        ++Level;
    }
}

// The best program found for each size: the front is its non-dominated part.
struct TArchiveEntry {
    double Error = SRWorstMSE;
    TNodePtr Program;
};

} // namespace

// The front's programs, each as an executor holding the scaled program.
struct TAxSymbolicRegressor::TFitted {
    std::vector<std::unique_ptr<TAxGeneticProgrammingExecutor>> Models;
};

TAxSymbolicRegressor::TAxSymbolicRegressor() = default;
TAxSymbolicRegressor::~TAxSymbolicRegressor() = default;

namespace {

bool ValidFunctionName(const std::string& Name) {
    if (Name.empty() || !std::isalpha(static_cast<unsigned char>(Name[0]))) return false;
    return std::all_of(Name.begin(), Name.end(), [](char C) {
        return std::isalnum(static_cast<unsigned char>(C)) || C == '_';
    });
}

} // namespace

void TAxSymbolicRegressor::AddFunction(const std::string& Name,
                                       std::function<TGAFloat(TGAFloat)> F) {
    if (!ValidFunctionName(Name)) throw EGPException(Format(SSRBadFunctionName, {Name}));
    if (FindSRFunction(Name)) throw EGPException(Format(SSRDuplicateFunction, {Name}));
    for (const auto& U : FFunctions)
        if (SameNameIgnoringCase(U.Name, Name))
            throw EGPException(Format(SSRDuplicateFunction, {Name}));
    FFunctions.push_back({Name, std::move(F), nullptr});
}

void TAxSymbolicRegressor::AddFunction(const std::string& Name,
                                       std::function<TGAFloat(TGAFloat, TGAFloat)> F) {
    if (!ValidFunctionName(Name)) throw EGPException(Format(SSRBadFunctionName, {Name}));
    if (FindSRFunction(Name)) throw EGPException(Format(SSRDuplicateFunction, {Name}));
    for (const auto& U : FFunctions)
        if (SameNameIgnoringCase(U.Name, Name))
            throw EGPException(Format(SSRDuplicateFunction, {Name}));
    FFunctions.push_back({Name, nullptr, std::move(F)});
}

void TAxSymbolicRegressor::ClearFunctions() {
    FFunctions.clear();
}

namespace {

// Adds a host function with both handlers.
template <class TUser> void AddUserFunction(TAxGPFloatInstructions& Set, const TUser& U) {
    if (U.Unary)
        Set.AddElementwise(U.Name, [F = U.Unary](TGAFloat A) { return F(A); });
    else
        Set.AddElementwise(U.Name, [F = U.Binary](TGAFloat A, TGAFloat B) { return F(A, B); });
}

// Gives a function instruction loaded from a document its handlers, by name; false when
// nothing of that name is known.
template <class TUsers>
bool AttachHandlers(TAxGPFloatInstruction& Instruction, const TUsers& Users) {
    if (const TAxSRFunction* F = FindSRFunction(Instruction.Name())) {
        if (F->Arity != Instruction.Arity()) return false;
        F->SetHandlers(Instruction);
        return true;
    }
    for (const auto& U : Users) {
        if (!SameNameIgnoringCase(U.Name, Instruction.Name())) continue;
        if ((U.Unary ? 1 : 2) != Instruction.Arity()) return false;
        TAxGPFloatInstructions Scratch(nullptr);
        AddUserFunction(Scratch, U);
        Instruction.SetOnExecute(Scratch.Items(0)->OnExecute());
        Instruction.SetOnExecuteBatch(
            static_cast<TAxGPFloatInstruction*>(Scratch.Items(0))->OnExecuteBatch());
        return true;
    }
    return false;
}

TAxGPFloatInstruction& AddFunctionByName(TAxGPFloatInstructions& Set, std::string_view Name) {
    for (int I = 0; I < Set.Count(); ++I)
        if (SameNameIgnoringCase(Set.Items(I)->Name(), Name))
            return static_cast<TAxGPFloatInstruction&>(*Set.Items(I));
    return FindSRFunction(Name)->AddTo(Set);
}

// The scaled program Intercept + Slope * Program as a tree of Set's instructions.
TNodePtr ScaledTree(TAxGPFloatInstructions& Set, const TNode& Program, TGAFloat Intercept,
                    TGAFloat Slope) {
    auto* Constant = static_cast<TAxGPFloatInstruction*>(Set.FindItemName(ConstantName));
    auto Root = std::make_unique<TAxGPFloatNode>(&AddFunctionByName(Set, "Add"));
    auto* C0 = Root->AddChild(std::make_unique<TAxGPFloatNode>(Constant));
    C0->SetValue(Intercept);
    auto* Product =
        Root->AddChild(std::make_unique<TAxGPFloatNode>(&AddFunctionByName(Set, "Mul")));
    auto* C1 = Product->AddChild(std::make_unique<TAxGPFloatNode>(Constant));
    C1->SetValue(Slope);
    Product->AddChild(Program.Clone());
    return Root;
}

// Splits a model tree into its scaling and program: Add(c, Mul(c, p)) as saved, anything
// else as p with intercept 0 and slope 1.
const TNode& SplitScaling(const TNode& Root, TGAFloat& Intercept, TGAFloat& Slope) {
    auto IsConstant = [](const TNode* N) {
        return N && N->Instruction() &&
               N->Instruction()->Operation() == TGPGeneticInstruction::gpConstant;
    };
    auto Named = [](const TNode* N, std::string_view Name) {
        return N && N->Instruction() && SameNameIgnoringCase(N->Instruction()->Name(), Name);
    };
    Intercept = 0;
    Slope = 1;
    if (Named(&Root, "Add") && Root.GetChildCount() == 2 && IsConstant(Root.GetChild(0)) &&
        Named(Root.GetChild(1), "Mul") && Root.GetChild(1)->GetChildCount() == 2 &&
        IsConstant(Root.GetChild(1)->GetChild(0)) && Root.GetChild(1)->GetChild(1)) {
        Intercept = Root.GetChild(0)->Value();
        Slope = Root.GetChild(1)->GetChild(0)->Value();
        return *Root.GetChild(1)->GetChild(1);
    }
    return Root;
}

void CollectConstants(const TNode& Node, std::vector<double>& Out) {
    std::vector<const TNode*> Stack{&Node};
    while (!Stack.empty()) {
        const TNode* N = Stack.back();
        Stack.pop_back();
        if (N->Instruction() && N->Instruction()->Operation() == TGPGeneticInstruction::gpConstant)
            Out.push_back(N->Value());
        for (int I = N->GetChildCount() - 1; I >= 0; --I)
            if (const TNode* C = N->GetChild(I)) Stack.push_back(C);
    }
}

// A front member's description from its scaled model tree.
TAxSRFormula Describe(const TNode& Model) {
    TAxSRFormula F;
    const TNode& Program = SplitScaling(Model, F.Intercept, F.Slope);
    F.Size = Program.Size();
    F.Depth = Program.Depth();
    CollectConstants(Program, F.Constants);
    const TAxSRExpression E =
        TAxSRExpression::FromProgram(Program, F.Intercept, F.Slope).Simplified();
    F.Infix = E.Infix(0);
    F.Display = E.Infix(4);
    F.SymPy = E.SymPy();
    F.Latex = E.Latex(4);
    F.Program = Program.ToString();
    return F;
}

} // namespace

bool TAxSymbolicRegressor::Fitted() const {
    return FFitted && !FFitted->Models.empty();
}

const TAxSymbolicRegressor::TFitted& TAxSymbolicRegressor::Fit0() const {
    if (!Fitted()) throw EGPException(std::string(SSRNotFitted));
    return *FFitted;
}

const TAxSRFormula& TAxSymbolicRegressor::Model() const {
    Fit0();
    return FFront[static_cast<std::size_t>(FModelIndex)];
}

void TAxSymbolicRegressor::SelectModel(int Index) {
    if (Index < 0 || Index >= static_cast<int>(FFront.size()))
        throw EListError(Format("List index out of bounds (%d)", {Index}));
    FModelIndex = Index;
}

// --- input ------------------------------------------------------------------------------

namespace {

void CheckFinite(std::span<const TGAFloat> Values, const std::string& Name) {
    for (std::size_t R = 0; R < Values.size(); ++R)
        if (!std::isfinite(Values[R]))
            throw EGPException(
                Format(SSRNotFinite, {Name, static_cast<int>(R) + 1, ExactText(Values[R])}));
}

} // namespace

void TAxSymbolicRegressor::Fit(const std::vector<std::string>& Names,
                               std::span<const std::span<const TGAFloat>> Columns,
                               std::span<const TGAFloat> Target) {
    if (Names.size() != Columns.size())
        throw EGPException(Format(
            SSRNameCount, {static_cast<int>(Columns.size()), static_cast<int>(Names.size())}));
    const auto Rows = static_cast<int>(Target.size());
    TAxGPDataSet Data(Rows);
    for (std::size_t C = 0; C < Columns.size(); ++C) {
        if (static_cast<int>(Columns[C].size()) != Rows)
            throw EGPException(
                Format(SSRColumnLength, {Names[C], static_cast<int>(Columns[C].size()), Rows}));
        if (Data.IndexOf(Names[C]) >= 0)
            throw EGPException(Format(SSRDuplicateFeature, {Names[C]}));
        auto Column = Data.AddColumn(Names[C]);
        std::copy(Columns[C].begin(), Columns[C].end(), Column.begin());
    }
    std::string TargetName = "y";
    while (Data.IndexOf(TargetName) >= 0)
        TargetName += "_";
    auto Column = Data.AddColumn(TargetName);
    std::copy(Target.begin(), Target.end(), Column.begin());
    FitData(Data, TargetName, Names);
}

namespace {

TAxGPDataSet MatrixData(const TAxSRMatrix& X, const std::vector<std::string>& Names) {
    TAxGPDataSet Data(X.Rows);
    for (int C = 0; C < X.Cols; ++C) {
        auto Column = Data.AddColumn(Names[static_cast<std::size_t>(C)]);
        for (int R = 0; R < X.Rows; ++R)
            Column[static_cast<std::size_t>(R)] = X(R, C);
    }
    return Data;
}

// "x" followed by the number (built by appending: GCC 12 warns falsely on the
// concatenation of a literal and a temporary string at -O2).
std::string XName(int Number) {
    std::string Name(1, 'x');
    Name += std::to_string(Number);
    return Name;
}

std::vector<std::string> DefaultNames(int Count) {
    std::vector<std::string> Names;
    for (int C = 0; C < Count; ++C)
        Names.push_back(XName(C));
    return Names;
}

} // namespace

void TAxSymbolicRegressor::Fit(const TAxSRMatrix& X, std::span<const TGAFloat> Target,
                               const std::vector<std::string>& Names) {
    const std::vector<std::string> Used = Names.empty() ? DefaultNames(X.Cols) : Names;
    if (static_cast<int>(Used.size()) != X.Cols)
        throw EGPException(Format(SSRNameCount, {X.Cols, static_cast<int>(Used.size())}));
    if (static_cast<int>(Target.size()) != X.Rows)
        throw EGPException(Format(SSRTargetRows, {static_cast<int>(Target.size()), X.Rows}));
    std::vector<std::span<const TGAFloat>> Columns;
    const TAxGPDataSet Data = MatrixData(X, Used);
    for (int C = 0; C < X.Cols; ++C)
        Columns.push_back(Data.Column(Used[static_cast<std::size_t>(C)]));
    Fit(Used, Columns, Target);
}

void TAxSymbolicRegressor::Fit(const TAxGPDataSet& Data, std::string_view Target,
                               const std::vector<std::string>& Features) {
    FitData(Data, Target, Features);
}

namespace {

// A model read from an executor document, with handlers attached and its features.
template <class TUsers>
std::unique_ptr<TAxGeneticProgrammingExecutor> ReadModel(std::istream& Stream, const TUsers& Users,
                                                         std::vector<std::string>& Features) {
    auto Model = std::make_unique<TAxGeneticProgrammingExecutor>();
    Model->LoadFromStream(Stream);
    if (!Model->GPProgram())
        throw EGPException(Format(SSRBadModel, {"the document holds no program"}));
    Features.clear();
    auto& Set = *Model->Instructions();
    for (int I = 0; I < Set.Count(); ++I) {
        auto* Instruction = static_cast<TAxGPFloatInstruction*>(Set.Items(I));
        switch (Instruction->Operation()) {
        case TGPGeneticInstruction::gpVariable:
            Features.push_back(Instruction->Name());
            break;
        case TGPGeneticInstruction::gpFunction:
            if (!AttachHandlers(*Instruction, Users))
                throw EGPException(
                    Format(SSRBadModel, {"unknown function \"" + Instruction->Name() + "\""}));
            break;
        case TGPGeneticInstruction::gpConstant:
            break;
        }
    }
    return Model;
}

} // namespace

// --- the run ----------------------------------------------------------------------------

namespace {

// What one fit needs besides the component.
struct TRun {
    const TAxSRSettings& S;
    const TAxGPDataSet& Data;
    std::span<const TGAFloat> Target;
    double TargetVariance;
    std::atomic<std::int64_t> Evaluations{0};
    std::atomic<std::int64_t> OptimizerNanoseconds{0};
    std::map<int, TArchiveEntry> Archive; // by program size
    // NSGA-II ranks and crowding of the parents, by their index in the population.
    std::vector<int> Rank;
    std::vector<double> Crowd;
};

double Fitness(TRun& Run, TNode& Root) {
    ++Run.Evaluations;
    // The size limit is the component's bloat control; depth is limited here.
    if (Root.Depth() > Run.S.MaxDepth) return SRWorstMSE;
    if (Run.S.OptimizeConstants && Run.S.OptimizerIterations > 0) {
        TWorkspace& W = ThreadWorkspace();
        if (!W.Optimizer) W.Optimizer = std::make_unique<TAxSRConstantOptimizer>();
        W.Optimizer->SetIterations(Run.S.OptimizerIterations);
        const auto Start = TClock::now();
        const double Error = W.Optimizer->Optimize(Root, Run.Data, Run.Target, Run.S.LinearScaling);
        Run.OptimizerNanoseconds +=
            std::chrono::duration_cast<std::chrono::nanoseconds>(TClock::now() - Start).count();
        if (std::isfinite(Error)) return std::min(Error, SRWorstMSE);
    }
    return ProgramError(Root, Run.Data, Run.Target, Run.S.LinearScaling);
}

void UpdateArchive(TRun& Run, TAxGPPopulation<TGAFloat>& Population) {
    for (int I = 0; I < Population.Count(); ++I) {
        auto* Item = Population.Items(I);
        if (!Item->DNA()) continue;
        const double Error = Item->Fitness();
        if (!(Error < SRWorstMSE)) continue;
        const int Size = Item->DNA()->Size();
        if (Size > Run.S.MaxSize) continue;
        TArchiveEntry& Entry = Run.Archive[Size];
        if (Error < Entry.Error) {
            Entry.Error = Error;
            Entry.Program = Item->DNA()->Clone();
        }
    }
}

// The non-dominated archive entries, by size ascending (error descending).
std::vector<const TArchiveEntry*> ArchiveFront(const TRun& Run) {
    std::vector<const TArchiveEntry*> Front;
    double Best = std::numeric_limits<double>::infinity();
    for (const auto& [Size, Entry] : Run.Archive)
        if (Entry.Program && Entry.Error < Best) {
            Best = Entry.Error;
            Front.push_back(&Entry);
        }
    return Front;
}

// NSGA-II survival: the best PopulationSize of parents and children by rank, then
// crowding (larger first), then index (parents first), written into the children's places.
void SurviveNSGA2(TRun& Run, TAxGPPopulation<TGAFloat>& Parents,
                  TAxGPPopulation<TGAFloat>& Children) {
    const int NP = Parents.Count(), NC = Children.Count();
    std::vector<double> Error;
    std::vector<int> Size;
    for (int I = 0; I < NP + NC; ++I) {
        auto* Item = I < NP ? Parents.Items(I) : Children.Items(I - NP);
        Error.push_back(std::min(Item->Fitness(), SRWorstMSE));
        Size.push_back(Item->DNA() ? Item->DNA()->Size() : 0);
    }
    // A program that repeats the error and size of one before it (parents first) is a
    // duplicate: duplicates survive only after every distinct program, so that copies of
    // one small program cannot fill the population.
    std::vector<bool> Duplicate(Error.size(), false);
    {
        std::vector<int> ByKey(Error.size());
        std::iota(ByKey.begin(), ByKey.end(), 0);
        std::stable_sort(ByKey.begin(), ByKey.end(), [&](int A, int B) {
            return Error[A] != Error[B] ? Error[A] < Error[B] : Size[A] < Size[B];
        });
        for (std::size_t K = 1; K < ByKey.size(); ++K)
            if (Error[ByKey[K]] == Error[ByKey[K - 1]] && Size[ByKey[K]] == Size[ByKey[K - 1]])
                Duplicate[ByKey[K]] = true;
    }
    std::vector<double> DistinctError;
    std::vector<int> DistinctSize, Index;
    for (std::size_t I = 0; I < Error.size(); ++I)
        if (!Duplicate[I]) {
            DistinctError.push_back(Error[I]);
            DistinctSize.push_back(Size[I]);
            Index.push_back(static_cast<int>(I));
        }
    std::vector<int> DistinctRank;
    std::vector<double> DistinctCrowd;
    RankAndCrowd(DistinctError, DistinctSize, DistinctRank, DistinctCrowd);
    std::vector<int> Rank(Error.size(), std::numeric_limits<int>::max());
    std::vector<double> Crowd(Error.size(), 0);
    for (std::size_t K = 0; K < Index.size(); ++K) {
        Rank[static_cast<std::size_t>(Index[K])] = DistinctRank[K];
        Crowd[static_cast<std::size_t>(Index[K])] = DistinctCrowd[K];
    }
    std::vector<int> Order(static_cast<std::size_t>(NP + NC));
    std::iota(Order.begin(), Order.end(), 0);
    std::stable_sort(Order.begin(), Order.end(), [&](int A, int B) {
        if (Rank[A] != Rank[B]) return Rank[A] < Rank[B];
        return Crowd[A] > Crowd[B];
    });
    Order.resize(static_cast<std::size_t>(NC));
    // Children that survive keep their place; the others are overwritten by parents.
    std::vector<bool> KeepChild(static_cast<std::size_t>(NC), false);
    std::vector<int> ParentsIn;
    for (const int I : Order) {
        if (I >= NP)
            KeepChild[static_cast<std::size_t>(I - NP)] = true;
        else
            ParentsIn.push_back(I);
    }
    std::size_t Next = 0;
    for (int C = 0; C < NC; ++C)
        if (!KeepChild[static_cast<std::size_t>(C)])
            Children.Items(C)->Assign(*Parents.Items(ParentsIn[Next++]));
    // The ranks and crowding of the survivors, for the next parent selection.
    Error.resize(static_cast<std::size_t>(NC));
    Size.resize(static_cast<std::size_t>(NC));
    for (int C = 0; C < NC; ++C) {
        auto* Item = Children.Items(C);
        Error[static_cast<std::size_t>(C)] = std::min(Item->Fitness(), SRWorstMSE);
        Size[static_cast<std::size_t>(C)] = Item->DNA() ? Item->DNA()->Size() : 0;
    }
    RankAndCrowd(Error, Size, Run.Rank, Run.Crowd);
}

void ComputeInitialRanks(TRun& Run, TAxGPPopulation<TGAFloat>& Population) {
    std::vector<double> Error;
    std::vector<int> Size;
    for (int I = 0; I < Population.Count(); ++I) {
        auto* Item = Population.Items(I);
        Error.push_back(std::min(Item->Fitness(), SRWorstMSE));
        Size.push_back(Item->DNA() ? Item->DNA()->Size() : 0);
    }
    RankAndCrowd(Error, Size, Run.Rank, Run.Crowd);
}

// Keep-the-best: the best parent replaces the worst child when no child is as good.
void KeepBest(TAxGPPopulation<TGAFloat>& Parents, TAxGPPopulation<TGAFloat>& Children) {
    if (Parents.Count() == 0 || Children.Count() == 0) return;
    int BestParent = 0, BestChild = 0, WorstChild = 0;
    for (int I = 1; I < Parents.Count(); ++I)
        if (Parents.Items(I)->Fitness() < Parents.Items(BestParent)->Fitness()) BestParent = I;
    for (int I = 1; I < Children.Count(); ++I) {
        const double F = Children.Items(I)->Fitness();
        if (F < Children.Items(BestChild)->Fitness()) BestChild = I;
        if (F >= Children.Items(WorstChild)->Fitness()) WorstChild = I;
    }
    if (Children.Items(BestChild)->Fitness() <= Parents.Items(BestParent)->Fitness()) return;
    Children.Items(WorstChild)->Assign(*Parents.Items(BestParent));
}

} // namespace

void TAxSymbolicRegressor::FitData(const TAxGPDataSet& Data, std::string_view Target,
                                   const std::vector<std::string>& Features) {
    // --- checks, before anything changes ---
    const int TargetIndex = Data.IndexOf(Target);
    if (TargetIndex < 0) throw EGPException(Format(SSRMissingColumn, {Target}));
    std::vector<std::string> Names = Features;
    if (Names.empty())
        for (int C = 0; C < Data.ColumnCount(); ++C)
            if (C != TargetIndex) Names.push_back(Data.ColumnName(C));
    if (Names.empty()) throw EGPException(std::string(SSRNoFeatures));
    if (Data.RowCount() < 2) throw EGPException(Format(SSRTooFewRows, {Data.RowCount()}));
    for (std::size_t I = 0; I < Names.size(); ++I) {
        const std::string& Name = Names[I];
        if (Data.IndexOf(Name) < 0) throw EGPException(Format(SSRMissingColumn, {Name}));
        if (Name == Target) throw EGPException(Format(SSRTargetIsFeature, {Name}));
        if (Name.empty() || Name == ConstantName || FindSRFunction(Name) ||
            std::any_of(FFunctions.begin(), FFunctions.end(),
                        [&](const TUserFunction& U) { return SameNameIgnoringCase(U.Name, Name); }))
            throw EGPException(Format(SSRBadFeatureName, {Name}));
        for (std::size_t J = 0; J < I; ++J)
            if (SameNameIgnoringCase(Names[J], Name))
                throw EGPException(Format(SSRDuplicateFeature, {Name}));
        CheckFinite(Data.Column(Name), Name);
    }
    const std::span<const TGAFloat> Y = Data.Column(Target);
    CheckFinite(Y, std::string(Target));
    if (std::all_of(Y.begin(), Y.end(), [&](double V) { return V == Y[0]; }))
        throw EGPException(Format(SSRConstantTarget, {Target, ExactText(Y[0])}));
    SRFunctionSet(FSettings.FunctionSet); // an unknown name raises before anything runs

    // --- the data the run reads: the features and the target only ---
    TAxGPDataSet Train(Data.RowCount());
    for (const auto& Name : Names) {
        auto Column = Train.AddColumn(Name);
        const auto From = Data.Column(Name);
        std::copy(From.begin(), From.end(), Column.begin());
    }
    const std::vector<TGAFloat> TargetValues(Y.begin(), Y.end());
    double Variance = 0;
    {
        const double M = Mean(TargetValues);
        for (const double V : TargetValues)
            Variance += (V - M) * (V - M);
        Variance /= static_cast<double>(TargetValues.size());
    }

    const TAxSRSettings S = Clamped(FSettings);
    const auto Start = TClock::now();
    RandSeed(S.Seed);

    // --- the component ---
    TAxGeneticProgramming GP;
    auto& Set = static_cast<TAxGPFloatInstructions&>(*GP.Instructions());
    AddSRFunctions(Set, S.FunctionSet);
    for (const auto& U : FFunctions)
        AddUserFunction(Set, U);
    for (const auto& Name : Names) {
        auto* Variable = Set.Add();
        Variable->SetName(Name);
    }
    if (S.RandomConstants) {
        auto& Constant = static_cast<TAxGPFloatInstruction&>(*Set.Add());
        Constant.SetName(ConstantName);
        Constant.SetOperation(TGPGeneticInstruction::gpConstant);
        Constant.SetRandomValue(true);
        Constant.SetRandomRange(S.ConstantMin, S.ConstantMax);
        Constant.SetRandomPerturbation(S.ConstantMutationSigma);
    }
    GP.SetInitialPopulation(S.PopulationSize);
    GP.SetFitnessMethod(TGAFitnessMethod::fmMinimize);
    GP.SetInitializationMethod(TGPInitializationMethod::imRampedHalfAndHalf);
    GP.SetInitializationDepth(S.InitialDepth);
    GP.SetCrossoverProbability(S.CrossoverProbability);
    GP.SetMutationProbability(S.MutationProbability);
    GP.SetTwoParentCrossover(true);
    GP.SetSelectionNonTerminalsProbability(0.9);
    GP.SetMutationWeights(TGPMutationMethodWeights{});
    GP.SetMutateSubtreeWeight(2);
    GP.SetMutatePointWeight(1);
    GP.SetMutateConstantWeight(S.RandomConstants ? 2 : 0);
    GP.SetPointMutationProbability(0.1);
    GP.SetBloatStrategy(TGPBloatStrategy::bsSizeLimit);
    GP.SetBloatLimit(S.MaxSize);
    GP.SetUseGenerationLimit(false);

    TRun Run{S, Train, TargetValues, Variance, {}, {}, {}, {}, {}};
    GP.SetOnEvaluateFitness([&Run](TAxGPIndividual<TGAFloat>& Item, TGAFitness& Value) {
        Value = Item.DNA() ? Fitness(Run, *Item.DNA()) : SRWorstMSE;
    });
    if (S.Selection == TSRSelection::srParetoNSGA2) {
        // Crowded binary tournament: lower rank wins, then larger crowding, then the first.
        GP.SetSelectionMethod(TGASelectionMethod::smCustom);
        GP.SetOnSelection([&Run](TObject*, TAxPopulation* Population, TAxIndividual*& Parent) {
            const int N = Population->Count();
            const int A = Random(N), B = Random(N);
            const auto Better = [&](int P, int Q) {
                if (Run.Rank[static_cast<std::size_t>(P)] != Run.Rank[static_cast<std::size_t>(Q)])
                    return Run.Rank[static_cast<std::size_t>(P)] <
                           Run.Rank[static_cast<std::size_t>(Q)];
                return Run.Crowd[static_cast<std::size_t>(P)] >=
                       Run.Crowd[static_cast<std::size_t>(Q)];
            };
            Parent = Population->Items(Better(A, B) ? A : B);
        });
    } else {
        GP.SetSelectionMethod(TGASelectionMethod::smTournament);
        GP.SetTournamentField(S.TournamentSize);
    }
    std::unique_ptr<TAxThreadEvaluator> Threads;
    if (S.Threads > 1) {
        Threads = std::make_unique<TAxThreadEvaluator>(S.Threads);
        GP.SetFitnessEvaluator(Threads.get());
    }

    std::vector<TAxSRLogEntry> Log;
    auto AfterGeneration = [&](int Generation) {
        auto& Population = *GP.Population();
        UpdateArchive(Run, Population);
        std::vector<double> Errors;
        double SizeSum = 0;
        for (int I = 0; I < Population.Count(); ++I) {
            Errors.push_back(std::min(Population.Items(I)->Fitness(), SRWorstMSE));
            SizeSum += Population.Items(I)->DNA() ? Population.Items(I)->DNA()->Size() : 0;
        }
        std::nth_element(Errors.begin(),
                         Errors.begin() + static_cast<std::ptrdiff_t>(Errors.size() / 2),
                         Errors.end());
        const auto Front = ArchiveFront(Run);
        TAxSRLogEntry Entry;
        Entry.Generation = Generation;
        Entry.BestMSE = Front.empty() ? SRWorstMSE : Front.back()->Error;
        Entry.MedianMSE = Errors[Errors.size() / 2];
        Entry.AverageSize = SizeSum / std::max(1, Population.Count());
        Entry.FrontSize = static_cast<int>(Front.size());
        Entry.ElapsedSeconds = Seconds(Start);
        Entry.OptimizerSeconds = static_cast<double>(Run.OptimizerNanoseconds.load()) * 1e-9;
        Entry.Evaluations = Run.Evaluations.load();
        Log.push_back(Entry);
        bool Stop = false;
        if (FOnProgress) {
            TAxSRProgress P;
            P.Generation = Generation;
            P.BestMSE = Entry.BestMSE;
            P.FrontSize = Entry.FrontSize;
            P.ElapsedSeconds = Entry.ElapsedSeconds;
            P.Evaluations = Entry.Evaluations;
            FOnProgress(nullptr, P, Stop);
        }
        if (S.TimeLimitSeconds > 0 && Entry.ElapsedSeconds >= S.TimeLimitSeconds) Stop = true;
        // A perfect fit cannot improve.
        if (Entry.BestMSE <= Variance * 1e-24) Stop = true;
        return Stop;
    };

    GP.Initialize();
    if (S.Selection == TSRSelection::srParetoNSGA2) ComputeInitialRanks(Run, *GP.Population());
    int Generation = 0;
    bool Stop = AfterGeneration(0);
    while (!Stop && Generation < S.Generations) {
        GP.Evolve();
        ++Generation;
        if (S.Selection == TSRSelection::srParetoNSGA2)
            SurviveNSGA2(Run, *GP.PreviousGeneration(), *GP.Population());
        else
            KeepBest(*GP.PreviousGeneration(), *GP.Population());
        Stop = AfterGeneration(Generation);
    }

    // --- the front, as scaled models ---
    auto Fitted = std::make_unique<TFitted>();
    std::vector<TAxSRFormula> Front;
    for (const TArchiveEntry* Entry : ArchiveFront(Run)) {
        auto Model = std::make_unique<TAxGeneticProgrammingExecutor>();
        Model->SetInstructions(Set);
        auto& ModelSet = static_cast<TAxGPFloatInstructions&>(*Model->Instructions());
        if (!ModelSet.FindItemName(ConstantName)) {
            auto* Constant = ModelSet.Add();
            Constant->SetName(ConstantName);
            Constant->SetOperation(TGPGeneticInstruction::gpConstant);
        }
        TGAFloat Intercept = 0, Slope = 1;
        const double Error =
            ProgramError(*Entry->Program, Train, TargetValues, S.LinearScaling, &Intercept, &Slope);
        const TNodePtr Scaled = ScaledTree(ModelSet, *Entry->Program, Intercept, Slope);
        Model->SetGPProgram(*Scaled);
        // The model predicts with what its document holds, so that a process loading the
        // document predicts the same values bit for bit.
        {
            std::stringstream Document;
            Model->SaveToStream(Document);
            std::vector<std::string> Unused;
            Model = ReadModel(Document, FFunctions, Unused);
        }
        TAxSRFormula F = Describe(*Model->GPProgram());
        TWorkspace& W = ThreadWorkspace();
        W.Output.resize(static_cast<std::size_t>(Train.RowCount()));
        W.Evaluator.Evaluate(*Model->GPProgram(), Train, W.Output);
        F.TrainMSE = std::isfinite(Error) ? MeanSquaredError(W.Output, TargetValues) : SRWorstMSE;
        F.TrainR2 = RSquared(W.Output, TargetValues);
        Front.push_back(std::move(F));
        Fitted->Models.push_back(std::move(Model));
    }
    if (Front.empty()) throw EGPException(std::string(SSRNotFitted));

    // --- commit ---
    FFeatureNames = Names;
    FFront = std::move(Front);
    FFitted = std::move(Fitted);
    FLog = std::move(Log);
    FGenerationsRun = Generation;
    FEvaluations = Run.Evaluations.load();
    FFitSeconds = Seconds(Start);
    FModelIndex = static_cast<int>(FFront.size()) - 1;
    if (S.ModelChoice == TSRModelChoice::smKnee) {
        const double Best = FFront.back().TrainMSE;
        for (std::size_t I = 0; I < FFront.size(); ++I)
            if (FFront[I].TrainMSE <= Best * (1 + S.KneeTolerance) + Variance * 1e-12) {
                FModelIndex = static_cast<int>(I);
                break;
            }
    }
}

// --- prediction -------------------------------------------------------------------------

std::vector<TGAFloat> TAxSymbolicRegressor::PredictFront(int Index,
                                                         const TAxGPDataSet& Data) const {
    const TFitted& F = Fit0();
    if (Index < 0 || Index >= static_cast<int>(F.Models.size()))
        throw EListError(Format("List index out of bounds (%d)", {Index}));
    for (const auto& Name : FFeatureNames)
        if (Data.IndexOf(Name) < 0) throw EGPException(Format(SSRMissingColumn, {Name}));
    std::vector<TGAFloat> Out(static_cast<std::size_t>(Data.RowCount()));
    TAxGPBatchEvaluator Evaluator;
    Evaluator.Evaluate(*F.Models[static_cast<std::size_t>(Index)]->GPProgram(), Data, Out);
    return Out;
}

void TAxSymbolicRegressor::Predict(const TAxGPDataSet& Data, std::span<TGAFloat> Out) const {
    const std::vector<TGAFloat> Values = Predict(Data);
    if (Out.size() < Values.size())
        throw EListError(Format("List index out of bounds (%d)", {static_cast<int>(Out.size())}));
    std::copy(Values.begin(), Values.end(), Out.begin());
}

std::vector<TGAFloat> TAxSymbolicRegressor::Predict(const TAxGPDataSet& Data) const {
    Fit0();
    return PredictFront(FModelIndex, Data);
}

std::vector<TGAFloat> TAxSymbolicRegressor::Predict(const TAxSRMatrix& X) const {
    Fit0();
    if (X.Cols != static_cast<int>(FFeatureNames.size()))
        throw EGPException(
            Format(SSRFeatureCount, {X.Cols, static_cast<int>(FFeatureNames.size())}));
    return Predict(MatrixData(X, FFeatureNames));
}

double TAxSymbolicRegressor::Score(const TAxGPDataSet& Data, std::string_view Target) const {
    const auto Y = Data.Column(Target);
    if (Data.IndexOf(Target) < 0) throw EGPException(Format(SSRMissingColumn, {Target}));
    return RSquared(Predict(Data), Y);
}

double TAxSymbolicRegressor::Score(const TAxSRMatrix& X, std::span<const TGAFloat> Target) const {
    if (static_cast<int>(Target.size()) != X.Rows)
        throw EGPException(Format(SSRTargetRows, {static_cast<int>(Target.size()), X.Rows}));
    return RSquared(Predict(X), Target);
}

double TAxSymbolicRegressor::MSE(const TAxGPDataSet& Data, std::string_view Target) const {
    if (Data.IndexOf(Target) < 0) throw EGPException(Format(SSRMissingColumn, {Target}));
    return MeanSquaredError(Predict(Data), Data.Column(Target));
}

double TAxSymbolicRegressor::MSE(const TAxSRMatrix& X, std::span<const TGAFloat> Target) const {
    if (static_cast<int>(Target.size()) != X.Rows)
        throw EGPException(Format(SSRTargetRows, {static_cast<int>(Target.size()), X.Rows}));
    return MeanSquaredError(Predict(X), Target);
}

// --- documents --------------------------------------------------------------------------

void TAxSymbolicRegressor::SaveModelToStream(std::ostream& Stream) const {
    const TFitted& F = Fit0();
    F.Models[static_cast<std::size_t>(FModelIndex)]->SaveToStream(Stream);
}

void TAxSymbolicRegressor::SaveModel(const std::string& FileName) const {
    Fit0();
    auto Stream = CreateFileStream(FileName);
    SaveModelToStream(Stream);
}

void TAxSymbolicRegressor::LoadModelFromStream(std::istream& Stream) {
    std::vector<std::string> Features;
    auto Model = ReadModel(Stream, FFunctions, Features);
    TAxSRFormula F = Describe(*Model->GPProgram());
    auto Fitted = std::make_unique<TFitted>();
    Fitted->Models.push_back(std::move(Model));
    FFeatureNames = std::move(Features);
    FFront = {std::move(F)};
    FFitted = std::move(Fitted);
    FModelIndex = 0;
    FLog.clear();
    FGenerationsRun = 0;
    FEvaluations = 0;
    FFitSeconds = 0;
}

void TAxSymbolicRegressor::LoadModel(const std::string& FileName) {
    auto Stream = OpenFileStream(FileName);
    LoadModelFromStream(Stream);
}

} // namespace ax

// --- state ------------------------------------------------------------------------------

namespace ax {

namespace {

constexpr std::string_view StateHeader = "axgenetic.SymbolicRegressor 1";

// Each setting as text, by name; Read returns false for a value it cannot take.
struct TSettingField {
    const char* Name;
    std::function<std::string(const TAxSRSettings&)> Write;
    std::function<bool(TAxSRSettings&, const std::string&)> Read;
};

bool ReadInt(const std::string& Text, long long& Value) {
    const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    return Error == std::errc() && End == Text.data() + Text.size();
}

bool ReadDouble(const std::string& Text, double& Value) {
    const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    return Error == std::errc() && End == Text.data() + Text.size();
}

template <class M> TSettingField IntField(const char* Name, M TAxSRSettings::*Member) {
    return {Name, [Member](const TAxSRSettings& S) { return std::to_string(S.*Member); },
            [Member](TAxSRSettings& S, const std::string& Text) {
                long long V = 0;
                if (!ReadInt(Text, V)) return false;
                S.*Member = static_cast<M>(V);
                return true;
            }};
}

TSettingField DoubleField(const char* Name, double TAxSRSettings::*Member) {
    return {Name, [Member](const TAxSRSettings& S) { return ExactText(S.*Member); },
            [Member](TAxSRSettings& S, const std::string& Text) {
                return ReadDouble(Text, S.*Member);
            }};
}

TSettingField BoolField(const char* Name, bool TAxSRSettings::*Member) {
    return {Name,
            [Member](const TAxSRSettings& S) { return std::string(S.*Member ? "True" : "False"); },
            [Member](TAxSRSettings& S, const std::string& Text) {
                if (Text != "True" && Text != "False") return false;
                S.*Member = Text == "True";
                return true;
            }};
}

template <class E> TSettingField EnumField(const char* Name, E TAxSRSettings::*Member) {
    return {Name, [Member](const TAxSRSettings& S) { return std::string(GetEnumName(S.*Member)); },
            [Member](TAxSRSettings& S, const std::string& Text) {
                const auto V = GetEnumValue<E>(Text);
                if (V) S.*Member = *V;
                return V.has_value();
            }};
}

const std::vector<TSettingField>& SettingFields() {
    static const std::vector<TSettingField> Fields = {
        IntField("PopulationSize", &TAxSRSettings::PopulationSize),
        IntField("Generations", &TAxSRSettings::Generations),
        DoubleField("TimeLimitSeconds", &TAxSRSettings::TimeLimitSeconds),
        {"FunctionSet", [](const TAxSRSettings& S) { return S.FunctionSet; },
         [](TAxSRSettings& S, const std::string& Text) {
             S.FunctionSet = Text;
             return true;
         }},
        IntField("MaxSize", &TAxSRSettings::MaxSize),
        IntField("MaxDepth", &TAxSRSettings::MaxDepth),
        IntField("InitialDepth", &TAxSRSettings::InitialDepth),
        BoolField("LinearScaling", &TAxSRSettings::LinearScaling),
        BoolField("OptimizeConstants", &TAxSRSettings::OptimizeConstants),
        IntField("OptimizerIterations", &TAxSRSettings::OptimizerIterations),
        BoolField("RandomConstants", &TAxSRSettings::RandomConstants),
        DoubleField("ConstantMin", &TAxSRSettings::ConstantMin),
        DoubleField("ConstantMax", &TAxSRSettings::ConstantMax),
        DoubleField("ConstantMutationSigma", &TAxSRSettings::ConstantMutationSigma),
        EnumField("Selection", &TAxSRSettings::Selection),
        IntField("TournamentSize", &TAxSRSettings::TournamentSize),
        DoubleField("CrossoverProbability", &TAxSRSettings::CrossoverProbability),
        DoubleField("MutationProbability", &TAxSRSettings::MutationProbability),
        EnumField("ModelChoice", &TAxSRSettings::ModelChoice),
        DoubleField("KneeTolerance", &TAxSRSettings::KneeTolerance),
        IntField("Threads", &TAxSRSettings::Threads),
        IntField("Seed", &TAxSRSettings::Seed),
    };
    return Fields;
}

// Reads lines and length-prefixed blocks of a state text.
class TStateReader {
public:
    explicit TStateReader(std::string_view Text) : FText(Text) {}
    bool Line(std::string& Out) {
        if (FPos >= FText.size()) return false;
        const std::size_t End = FText.find('\n', FPos);
        const std::size_t Stop = End == std::string_view::npos ? FText.size() : End;
        Out.assign(FText.substr(FPos, Stop - FPos));
        FPos = Stop == FText.size() ? Stop : Stop + 1;
        return true;
    }
    std::string Block(std::size_t Length) {
        if (Length > FText.size() - FPos)
            throw EGPException(Format(SSRBadState, {"a model is cut short"}));
        std::string Out(FText.substr(FPos, Length));
        FPos += Length;
        return Out;
    }

private:
    std::string_view FText;
    std::size_t FPos = 0;
};

} // namespace

std::string TAxSymbolicRegressor::SaveState() const {
    std::ostringstream Out;
    Out << StateHeader << '\n';
    for (const auto& Field : SettingFields())
        Out << Field.Name << '=' << Field.Write(FSettings) << '\n';
    for (const auto& Name : FFeatureNames)
        Out << "Feature=" << Name << '\n';
    if (Fitted()) {
        Out << "ModelIndex=" << FModelIndex << '\n';
        for (std::size_t I = 0; I < FFront.size(); ++I) {
            std::ostringstream Document;
            FFitted->Models[I]->SaveToStream(Document);
            const std::string Text = Document.str();
            Out << "TrainMSE=" << ExactText(FFront[I].TrainMSE) << '\n';
            Out << "TrainR2=" << ExactText(FFront[I].TrainR2) << '\n';
            Out << "Model=" << Text.size() << '\n' << Text << '\n';
        }
    }
    return Out.str();
}

void TAxSymbolicRegressor::LoadState(std::string_view Text) {
    TStateReader Reader(Text);
    std::string Line;
    if (!Reader.Line(Line) || Line != StateHeader)
        throw EGPException(
            Format(SSRBadState, {"the first line is not \"" + std::string(StateHeader) + "\""}));
    TAxSRSettings Settings;
    std::vector<std::string> Features;
    long long ModelIndex = -1;
    double TrainMSE = 0, TrainR2 = 0;
    auto Fitted = std::make_unique<TFitted>();
    std::vector<TAxSRFormula> Front;
    while (Reader.Line(Line)) {
        if (Line.empty()) continue;
        const std::size_t Equals = Line.find('=');
        if (Equals == std::string::npos)
            throw EGPException(Format(SSRBadState, {"\"" + Line + "\" is no setting"}));
        const std::string Key = Line.substr(0, Equals), Value = Line.substr(Equals + 1);
        bool Known = true, Good = true;
        if (Key == "Feature") {
            Features.push_back(Value);
        } else if (Key == "ModelIndex") {
            Good = ReadInt(Value, ModelIndex);
        } else if (Key == "TrainMSE") {
            Good = ReadDouble(Value, TrainMSE);
        } else if (Key == "TrainR2") {
            Good = ReadDouble(Value, TrainR2);
        } else if (Key == "Model") {
            long long Length = 0;
            Good = ReadInt(Value, Length) && Length >= 0;
            if (Good) {
                std::istringstream Document(Reader.Block(static_cast<std::size_t>(Length)));
                std::vector<std::string> ModelFeatures;
                auto Model = ReadModel(Document, FFunctions, ModelFeatures);
                TAxSRFormula F = Describe(*Model->GPProgram());
                F.TrainMSE = TrainMSE;
                F.TrainR2 = TrainR2;
                Front.push_back(std::move(F));
                Fitted->Models.push_back(std::move(Model));
            }
        } else {
            Known = false;
            for (const auto& Field : SettingFields())
                if (Key == Field.Name) {
                    Known = true;
                    Good = Field.Read(Settings, Value);
                }
        }
        if (!Known) throw EGPException(Format(SSRBadState, {"unknown setting \"" + Key + "\""}));
        if (!Good)
            throw EGPException(Format(SSRBadState, {"bad value \"" + Value + "\" of " + Key}));
    }
    if (!Front.empty() && (ModelIndex < 0 || ModelIndex >= static_cast<long long>(Front.size())))
        throw EGPException(Format(SSRBadState, {"the model index is outside the front"}));
    FSettings = Settings;
    FFeatureNames = std::move(Features);
    FFront = std::move(Front);
    FFitted = std::move(Fitted);
    FModelIndex = FFront.empty() ? -1 : static_cast<int>(ModelIndex);
    FLog.clear();
    FGenerationsRun = 0;
    FEvaluations = 0;
    FFitSeconds = 0;
}

} // namespace ax
