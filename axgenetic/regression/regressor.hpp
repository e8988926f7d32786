// Symbolic regression for a host in a few lines: give named feature columns and a target,
// call Fit, read the Pareto front of formulas (accuracy against size), predict with the
// chosen model, save it as an executor document.
//
//   ax::TAxSymbolicRegressor SR;
//   SR.Settings().Generations = 50;
//   SR.Fit(Data, "y");                      // every other column is a feature
//   std::cout << SR.Model().Infix;          // e.g. 0.5 + 2*(x0*sin(x1))
//   auto Y = SR.Predict(Data);
//   SR.SaveModel("model.xml");
//
// The regressor runs a float GP component of its own (the component's defaults are left
// alone: the regressor sets its own operator settings, see docs/regression.md) and draws
// every random number through ax::Random in the order of the component, so a run repeats
// exactly for Settings().Seed on any thread count.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "axgenetic/core/types.hpp"
#include "axgenetic/platform/enum_names.hpp"

namespace ax {

class TAxGPDataSet;
class TObject;

// How parents and survivors are chosen.
// srParetoNSGA2: NSGA-II on (train error, program size); the run keeps an archive of every
//   non-dominated program it has evaluated, which is the front it returns.
// srSingleObjective: tournaments on the error with the component's bloat control
//   (lexicographic parsimony pressure and a size limit); the front is still the archive.
enum class TSRSelection { srParetoNSGA2, srSingleObjective };
template <> struct EnumNames<TSRSelection> {
    static constexpr std::string_view Values[] = {"srParetoNSGA2", "srSingleObjective"};
};

// How Model() is chosen from the front.
// smKnee: the smallest member whose train MSE is at most the front's best times
//   (1 + KneeTolerance), so a formula is not made larger for a negligible gain.
// smBestError: the member of lowest train error (the largest one).
enum class TSRModelChoice { smKnee, smBestError };
template <> struct EnumNames<TSRModelChoice> {
    static constexpr std::string_view Values[] = {"smKnee", "smBestError"};
};

// Every setting of a fit. The defaults were chosen by measurement (docs/regression.md);
// out-of-range values are clamped when a fit starts, never rejected.
struct TAxSRSettings {
    int PopulationSize = 1000;   // at least 2
    int Generations = 60;        // at least 0 (0: the initial population only)
    double TimeLimitSeconds = 0; // 0: none; checked after each generation
    std::string FunctionSet = "arithmetic,Sin,Cos,Exp,Log"; // see SRFunctionSet
    int MaxSize = 40;                                       // nodes of a program, at least 3
    int MaxDepth = 10;    // levels of a program, at least 2; deeper programs get the worst fitness
    int InitialDepth = 5; // ramped half-and-half up to this depth
    bool LinearScaling = true;          // fit intercept and slope to every program's output
    bool OptimizeConstants = true;      // Levenberg-Marquardt on every program's constants
    int OptimizerIterations = 5;        // per program and generation
    bool RandomConstants = true;        // ephemeral random constants among the terminals
    double ConstantMin = -1;            // ERC range: a new node's value is uniform in
    double ConstantMax = 1;             //   [ConstantMin, ConstantMax)
    double ConstantMutationSigma = 0.1; // constant mutation moves a value uniformly by up
                                        //   to this share of the range width
    TSRSelection Selection = TSRSelection::srParetoNSGA2;
    int TournamentSize = 3; // single-objective tournaments (NSGA-II uses 2)
    double CrossoverProbability = 0.9;
    double MutationProbability = 0.3;
    TSRModelChoice ModelChoice = TSRModelChoice::smKnee;
    double KneeTolerance = 0.01; // relative to the front's best normalised error
    int Threads = 1;             // fitness evaluation threads (1: the caller only)
    std::uint64_t Seed = 0;      // the run's seed (ax::RandSeed)
};

// One formula of the front. Texts come from TAxSRExpression and include the linear
// scaling when it is on: Infix holds every constant at full round-trip precision,
// Display rounds them to 4 significant digits.
struct TAxSRFormula {
    int Size = 0; // nodes of the evolved program (the scaling not counted)
    int Depth = 0;
    double TrainMSE = 0; // mean squared error on the training data, with scaling
    double TrainR2 = 0;
    double Intercept = 0; // prediction = Intercept + Slope * program
    double Slope = 1;
    std::vector<double> Constants; // the program's constant values, in prefix order
    std::string Infix;             // full precision, e.g. "0.5 + 2*(x0*sin(x1))"
    std::string Display;           // 4 significant digits
    std::string SymPy;             // parseable by sympy.sympify
    std::string Latex;
    std::string Program; // the evolved tree as the library's prefix text
};

// What the progress callback sees after every generation (generation 0 is the initial
// population).
struct TAxSRProgress {
    int Generation = 0;
    double BestMSE = 0; // lowest train MSE so far
    int FrontSize = 0;
    double ElapsedSeconds = 0;
    std::int64_t Evaluations = 0; // programs evaluated so far
};

// Called on the fitting thread after each generation (Sender is nullptr: the regressor is
// no TObject); setting Stop to true ends the run
// after this generation, with the front and model of what was found so far (a Python
// binding checks for Ctrl-C here).
using TAxSRProgressEvent =
    std::function<void(TObject* Sender, const TAxSRProgress& Progress, bool& Stop)>;

// One line of the run log.
struct TAxSRLogEntry {
    int Generation = 0;
    double BestMSE = 0;
    double MedianMSE = 0; // of the current population (worst fitness counted)
    double AverageSize = 0;
    int FrontSize = 0;
    double ElapsedSeconds = 0;
    double OptimizerSeconds = 0; // time spent in constant optimisation, cumulative
    std::int64_t Evaluations = 0;
};

// A feature matrix the regressor reads without owning it: element (Row, Col) is at
// Data[Row * RowStride + Col * ColStride] (strides in elements), so both row-major
// (RowStride = Cols, ColStride = 1) and column-major arrays are read in place.
struct TAxSRMatrix {
    const TGAFloat* Data = nullptr;
    int Rows = 0;
    int Cols = 0;
    std::ptrdiff_t RowStride = 0;
    std::ptrdiff_t ColStride = 1;
    static TAxSRMatrix RowMajor(const TGAFloat* Data, int Rows, int Cols) {
        return {Data, Rows, Cols, Cols, 1};
    }
    static TAxSRMatrix ColumnMajor(const TGAFloat* Data, int Rows, int Cols) {
        return {Data, Rows, Cols, 1, Rows};
    }
    TGAFloat operator()(int Row, int Col) const { return Data[Row * RowStride + Col * ColStride]; }
};

// The worst fitness: a program whose output is NaN or infinite at any training point, or
// whose scaled error is not finite, gets this train MSE (it never wins a comparison and
// never reaches the front).
inline constexpr double SRWorstMSE = 1e300;

class AXGENETIC_API TAxSymbolicRegressor {
public:
    TAxSymbolicRegressor();
    ~TAxSymbolicRegressor();
    TAxSymbolicRegressor(const TAxSymbolicRegressor&) = delete;
    TAxSymbolicRegressor& operator=(const TAxSymbolicRegressor&) = delete;

    // Settings of the next fit; changing them does not touch a fitted model.
    TAxSRSettings& Settings() { return FSettings; }
    const TAxSRSettings& Settings() const { return FSettings; }
    void SetSettings(const TAxSRSettings& Value) { FSettings = Value; }

    // A host function alongside the named set: Name (a letter, then letters, digits or
    // '_'), arity 1 or 2, and the elementwise value. Saved models name it; a process that
    // loads such a model adds the same function first. A name of the catalogue or one
    // added before raises EGPException.
    void AddFunction(const std::string& Name, std::function<TGAFloat(TGAFloat)> F);
    void AddFunction(const std::string& Name, std::function<TGAFloat(TGAFloat, TGAFloat)> F);
    void ClearFunctions();

    // --- fitting ------------------------------------------------------------------------
    // Features: the named columns of Data (empty: every column but the target), in that
    // order; Target: a column of Data. Bad input raises EGPException naming it, before
    // anything changes: a fitted model stays as it was.
    void Fit(const TAxGPDataSet& Data, std::string_view Target,
             const std::vector<std::string>& Features = {});
    // Columns as spans, one name per column; Target of the same length.
    void Fit(const std::vector<std::string>& Names,
             std::span<const std::span<const TGAFloat>> Columns, std::span<const TGAFloat> Target);
    // A matrix of X.Cols columns named by Names (empty: x0, x1, ...).
    void Fit(const TAxSRMatrix& X, std::span<const TGAFloat> Target,
             const std::vector<std::string>& Names = {});

    // Called after every generation; an empty function is skipped.
    const TAxSRProgressEvent& OnProgress() const { return FOnProgress; }
    void SetOnProgress(TAxSRProgressEvent Value) { FOnProgress = std::move(Value); }

    // --- results ------------------------------------------------------------------------
    bool Fitted() const;
    // The feature names of the fit, in order: the columns Predict reads.
    const std::vector<std::string>& FeatureNames() const { return FFeatureNames; }
    // The front, ordered by size (ascending; error descending). Empty before a fit.
    const std::vector<TAxSRFormula>& Front() const { return FFront; }
    // The chosen model (Settings().ModelChoice); EGPException before a fit.
    const TAxSRFormula& Model() const;
    int ModelIndex() const { return FModelIndex; }
    // Makes front member Index the model (a host that picks its own formula); an index
    // outside the front raises EListError.
    void SelectModel(int Index);
    // Per generation, in order.
    const std::vector<TAxSRLogEntry>& Log() const { return FLog; }
    // Generations run and programs evaluated by the last fit.
    int GenerationsRun() const { return FGenerationsRun; }
    std::int64_t Evaluations() const { return FEvaluations; }
    double FitSeconds() const { return FFitSeconds; }

    // --- prediction (the chosen model, or front member Index) -----------------------------
    // Data must hold every feature column by name (extra columns are ignored); a missing
    // one raises EGPException naming it. Out gets Data.RowCount() values.
    void Predict(const TAxGPDataSet& Data, std::span<TGAFloat> Out) const;
    std::vector<TGAFloat> Predict(const TAxGPDataSet& Data) const;
    // X.Cols must equal the number of features, in FeatureNames order.
    std::vector<TGAFloat> Predict(const TAxSRMatrix& X) const;
    std::vector<TGAFloat> PredictFront(int Index, const TAxGPDataSet& Data) const;
    // R^2 = 1 - SSE / SST of the chosen model against Target (SST 0: 1 when SSE is 0, else
    // 0); and the mean squared error.
    double Score(const TAxGPDataSet& Data, std::string_view Target) const;
    double Score(const TAxSRMatrix& X, std::span<const TGAFloat> Target) const;
    double MSE(const TAxGPDataSet& Data, std::string_view Target) const;
    double MSE(const TAxSRMatrix& X, std::span<const TGAFloat> Target) const;

    // --- documents --------------------------------------------------------------------
    // The chosen model as a float executor document ("GeneticProgram" with its domain):
    // the program with the linear scaling as Add and Mul nodes and every constant exact,
    // so that a process loading it predicts the same values bit for bit.
    void SaveModel(const std::string& FileName) const;
    void SaveModelToStream(std::ostream& Stream) const;
    // Replaces the fit by a model read from an executor document: handlers are attached
    // by instruction name (catalogue functions and functions added with AddFunction); the
    // front becomes that single model. Feature names are the variables of the document in
    // the order they appear in its instruction set. A bad document raises and changes
    // nothing.
    void LoadModel(const std::string& FileName);
    void LoadModelFromStream(std::istream& Stream);
    // The whole state (settings, feature names, front with programs, chosen model) as the
    // library's document text, and back (pickling). A failed load changes nothing.
    std::string SaveState() const;
    void LoadState(std::string_view Text);

private:
    struct TFitted;
    void FitData(const TAxGPDataSet& Data, std::string_view Target,
                 const std::vector<std::string>& Features);
    const TFitted& Fit0() const;

    TAxSRSettings FSettings;
    struct TUserFunction {
        std::string Name;
        std::function<TGAFloat(TGAFloat)> Unary;
        std::function<TGAFloat(TGAFloat, TGAFloat)> Binary;
    };
    std::vector<TUserFunction> FFunctions;
    TAxSRProgressEvent FOnProgress;
    std::vector<std::string> FFeatureNames;
    std::vector<TAxSRFormula> FFront;
    int FModelIndex = -1;
    std::vector<TAxSRLogEntry> FLog;
    int FGenerationsRun = 0;
    std::int64_t FEvaluations = 0;
    double FFitSeconds = 0;
    std::unique_ptr<TFitted> FFitted; // the front's programs, ready to evaluate
};

} // namespace ax
