#include "tools/axsr/fit_command.hpp"

#include "axgenetic/gp/engine/batch_evaluator.hpp"
#include "axgenetic/platform/random.hpp"
#include "axgenetic/regression/csv.hpp"
#include "axgenetic/regression/regressor.hpp"
#include "tools/axsr/output_files.hpp"
#include "tools/axsr/svg_chart.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace axsr {

namespace {

using ax::TAxSRTable;

// CSV rows are numbered as the reader's messages number them: the header is row 1.
int CsvRow(int DataRow) {
    return DataRow + 2;
}

void CheckMagnitudes(const TAxSRTable& Table, const std::string& File) {
    for (std::size_t C = 0; C < Table.Columns.size(); ++C)
        for (std::size_t R = 0; R < Table.Columns[C].size(); ++R)
            if (std::abs(Table.Columns[C][R]) > MaxCellMagnitude)
                throw TInputError(File + ", row " + std::to_string(CsvRow(static_cast<int>(R))) +
                                  ", column " + std::to_string(C + 1) + " (\"" + Table.Names[C] +
                                  "\"): " + NumberText(Table.Columns[C][R]) +
                                  " is too large (magnitudes above 1e150 overflow squared errors)");
}

int ColumnIndex(const TAxSRTable& Table, const std::string& Name, const std::string& File) {
    const int Index = Table.IndexOf(Name);
    if (Index < 0) {
        std::string Names;
        for (const auto& N : Table.Names)
            Names += (Names.empty() ? "" : ", ") + N;
        throw TInputError(File + ": no column \"" + Name + "\" (the columns are " + Names + ")");
    }
    return Index;
}

// The test rows, ascending: the first round(Fraction * Rows) of a seeded Fisher-Yates
// shuffle of the row indices. At least two rows stay for training.
std::vector<int> TestRows(int Rows, double Fraction, std::uint64_t Seed, const std::string& File) {
    const int Count = static_cast<int>(std::lround(Fraction * Rows));
    if (Rows - Count < 2)
        throw TInputError(File + ": " + std::to_string(Rows) + " data rows leave fewer than 2 " +
                          "for training with a test fraction of " + NumberText(Fraction));
    std::vector<int> Order(static_cast<std::size_t>(Rows));
    for (int I = 0; I < Rows; ++I)
        Order[static_cast<std::size_t>(I)] = I;
    ax::RandSeed(Seed);
    for (int I = Rows - 1; I > 0; --I)
        std::swap(Order[static_cast<std::size_t>(I)],
                  Order[static_cast<std::size_t>(ax::Random(I + 1))]);
    std::vector<int> Test(Order.begin(), Order.begin() + Count);
    std::sort(Test.begin(), Test.end());
    return Test;
}

// The named columns restricted to Rows, as a data set.
ax::TAxGPDataSet Subset(const TAxSRTable& Table, const std::vector<int>& Rows) {
    ax::TAxGPDataSet Data(static_cast<int>(Rows.size()));
    for (std::size_t C = 0; C < Table.Names.size(); ++C) {
        auto Column = Data.AddColumn(Table.Names[C]);
        for (std::size_t R = 0; R < Rows.size(); ++R)
            Column[R] = Table.Columns[C][static_cast<std::size_t>(Rows[R])];
    }
    return Data;
}

struct TErrors {
    double MSE = 0, R2 = 0;
};

TErrors Errors(std::span<const double> Predicted, std::span<const double> Actual) {
    double Mean = 0;
    for (const double A : Actual)
        Mean += A;
    Mean /= static_cast<double>(Actual.size());
    double SSE = 0, SST = 0;
    for (std::size_t I = 0; I < Actual.size(); ++I) {
        SSE += (Predicted[I] - Actual[I]) * (Predicted[I] - Actual[I]);
        SST += (Actual[I] - Mean) * (Actual[I] - Mean);
    }
    const double R2 = SST > 0 ? 1 - SSE / SST : (SSE == 0 ? 1 : 0);
    return {SSE / static_cast<double>(Actual.size()), R2};
}

std::string Duration(double Seconds) {
    char Buffer[32];
    const long S = std::lround(Seconds);
    if (S >= 3600)
        std::snprintf(Buffer, sizeof Buffer, "%ld:%02ld:%02ld", S / 3600, S / 60 % 60, S % 60);
    else
        std::snprintf(Buffer, sizeof Buffer, "%ld:%02ld", S / 60, S % 60);
    return Buffer;
}

// The progress report on stderr (stdout keeps the results, so that they can be piped): on
// a terminal one line rewritten after every generation, otherwise about ten plain lines a
// run, the same for the same run.
class TProgressReport {
public:
    TProgressReport(int Generations, double TimeLimit)
        : FGenerations(Generations), FTimeLimit(TimeLimit), FTerminal(isatty(STDERR_FILENO) == 1),
          FEvery(std::max(1, Generations / 10)) {}
    void Show(const ax::TAxSRProgress& P) {
        FLast = P;
        FLastShown = FTerminal || P.Generation % FEvery == 0 || P.Generation == FGenerations;
        if (FLastShown) Print(P);
    }
    // Ends the report; a run that stopped early (time limit, perfect fit) still shows its
    // last generation.
    void Finish() {
        if (!FLast) return;
        if (!FLastShown) Print(*FLast);
        if (FTerminal) std::cerr << '\n';
    }

private:
    void Print(const ax::TAxSRProgress& P) {
        char Line[200];
        std::snprintf(Line, sizeof Line,
                      "generation %d/%d  best MSE %.6g  front %d  elapsed %s  ETA %s", P.Generation,
                      FGenerations, P.BestMSE, P.FrontSize, Duration(P.ElapsedSeconds).c_str(),
                      Eta(P).c_str());
        if (FTerminal)
            std::cerr << "\r\033[K" << Line << std::flush;
        else
            std::cerr << Line << '\n';
    }
    std::string Eta(const ax::TAxSRProgress& P) const {
        if (P.Generation == 0) return "-";
        double Left = P.ElapsedSeconds / P.Generation * (FGenerations - P.Generation);
        if (FTimeLimit > 0) Left = std::min(Left, std::max(0.0, FTimeLimit - P.ElapsedSeconds));
        return Duration(Left);
    }
    int FGenerations;
    double FTimeLimit;
    bool FTerminal;
    int FEvery;
    std::optional<ax::TAxSRProgress> FLast;
    bool FLastShown = false;
};

// Ctrl-C during the run: the first press asks the run to stop after the generation under
// way (the progress callback reads the count), the second ends the program at once by the
// signal's default action. The handler only counts, writes and re-raises: all
// async-signal-safe.
std::atomic<int> Interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnInterrupt(int) {
    if (Interrupts.fetch_add(1) > 0) {
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
        return;
    }
    constexpr char Note[] = "\naxsr: stopping after this generation (Ctrl-C again quits at once)\n";
    [[maybe_unused]] const auto Ignored = write(STDERR_FILENO, Note, sizeof Note - 1);
}

// Catches Ctrl-C while it lives, then restores what was there before.
class TInterruptHandler {
public:
    TInterruptHandler() {
        Interrupts = 0;
        struct sigaction Action {};
        Action.sa_handler = OnInterrupt;
        Action.sa_flags = SA_RESTART; // the run's threads never see EINTR
        sigemptyset(&Action.sa_mask);
        sigaction(SIGINT, &Action, &FPrevious);
    }
    ~TInterruptHandler() { sigaction(SIGINT, &FPrevious, nullptr); }
    TInterruptHandler(const TInterruptHandler&) = delete;
    TInterruptHandler& operator=(const TInterruptHandler&) = delete;
    static bool Interrupted() { return Interrupts.load() > 0; }

private:
    struct sigaction FPrevious {};
};

nlohmann::ordered_json Number(std::optional<double> V) {
    return V ? nlohmann::ordered_json(*V) : nlohmann::ordered_json();
}

std::string RunLogCsv(const std::vector<ax::TAxSRLogEntry>& Log) {
    std::string Out = "generation,best_mse,median_mse,average_size,front_size,elapsed_seconds,"
                      "optimizer_seconds,evaluations\n";
    for (const auto& E : Log)
        Out += std::to_string(E.Generation) + ',' + NumberText(E.BestMSE) + ',' +
               NumberText(E.MedianMSE) + ',' + NumberText(E.AverageSize) + ',' +
               std::to_string(E.FrontSize) + ',' + NumberText(E.ElapsedSeconds) + ',' +
               NumberText(E.OptimizerSeconds) + ',' + std::to_string(E.Evaluations) + '\n';
    return Out;
}

std::string TableRow(const std::string& Mark, const std::string& Size, const std::string& Train,
                     const std::string& Test, const std::string& R2, const std::string& Formula) {
    char Buffer[160];
    std::snprintf(Buffer, sizeof Buffer, "%1s %4s  %12s  %12s  %9s  ", Mark.c_str(), Size.c_str(),
                  Train.c_str(), Test.c_str(), R2.c_str());
    return Buffer + Formula + '\n';
}

std::string Short(double V) {
    char Buffer[32];
    std::snprintf(Buffer, sizeof Buffer, "%.6g", V);
    return Buffer;
}

} // namespace

bool RunFit(const TFitOptions& Options) {
    const std::string& File = Options.DataFile;
    const TAxSRTable Table = ax::ReadCSV(File);
    CheckMagnitudes(Table, File);
    const int TargetIndex = ColumnIndex(Table, Options.Target, File);
    std::vector<std::string> Features = Options.Features;
    if (Features.empty())
        for (const auto& Name : Table.Names)
            if (Name != Options.Target) Features.push_back(Name);
    for (const auto& Name : Features)
        ColumnIndex(Table, Name, File);

    const int Rows = Table.RowCount();
    const std::vector<int> Test = TestRows(Rows, Options.TestFraction, Options.Settings.Seed, File);
    std::vector<bool> IsTest(static_cast<std::size_t>(Rows));
    for (const int R : Test)
        IsTest[static_cast<std::size_t>(R)] = true;
    std::vector<int> Train;
    for (int R = 0; R < Rows; ++R)
        if (!IsTest[static_cast<std::size_t>(R)]) Train.push_back(R);
    const ax::TAxGPDataSet TrainData = Subset(Table, Train);
    const ax::TAxGPDataSet TestData = Subset(Table, Test);

    ax::TAxSymbolicRegressor SR;
    SR.SetSettings(Options.Settings);
    TProgressReport Report(Options.Settings.Generations, Options.Settings.TimeLimitSeconds);
    SR.SetOnProgress([&Report](ax::TObject*, const ax::TAxSRProgress& P, bool& Stop) {
        Report.Show(P);
        Stop = TInterruptHandler::Interrupted();
    });
    bool Interrupted = false;
    try {
        const TInterruptHandler CtrlC;
        SR.Fit(TrainData, Options.Target, Features);
        Interrupted = TInterruptHandler::Interrupted();
    } catch (const std::exception& E) {
        Report.Finish();
        throw TInputError(File + ": " + E.what());
    }
    Report.Finish();

    // Errors of every front member on the test rows.
    const auto TestTarget = TestData.Column(Options.Target);
    const auto& Front = SR.Front();
    std::vector<std::optional<TErrors>> TestErrors(Front.size());
    if (!Test.empty())
        for (std::size_t I = 0; I < Front.size(); ++I)
            TestErrors[I] = Errors(SR.PredictFront(static_cast<int>(I), TestData), TestTarget);

    // The chosen model's predictions for every row, as predict computes them.
    const ax::TAxGPDataSet AllData = ax::ToDataSet(Table);
    const std::vector<double> Predicted = SR.Predict(AllData);
    const auto& Actual = Table.Columns[static_cast<std::size_t>(TargetIndex)];

    nlohmann::ordered_json Json;
    Json["data"] = File;
    Json["target"] = Options.Target;
    Json["features"] = Features;
    Json["seed"] = Options.Settings.Seed;
    Json["test_fraction"] = Options.TestFraction;
    std::vector<int> TestCsvRows;
    for (const int R : Test)
        TestCsvRows.push_back(CsvRow(R));
    Json["test_rows"] = TestCsvRows;
    Json["chosen"] = SR.ModelIndex();
    Json["front"] = nlohmann::ordered_json::array();
    for (std::size_t I = 0; I < Front.size(); ++I) {
        const auto& F = Front[I];
        const auto& T = TestErrors[I];
        Json["front"].push_back({{"size", F.Size},
                                 {"depth", F.Depth},
                                 {"train_mse", F.TrainMSE},
                                 {"train_r2", F.TrainR2},
                                 {"test_mse", Number(T ? std::optional(T->MSE) : std::nullopt)},
                                 {"test_r2", Number(T ? std::optional(T->R2) : std::nullopt)},
                                 {"intercept", F.Intercept},
                                 {"slope", F.Slope},
                                 {"constants", F.Constants},
                                 {"infix", F.Infix},
                                 {"display", F.Display},
                                 {"sympy", F.SymPy},
                                 {"latex", F.Latex},
                                 {"program", F.Program}});
    }

    std::string PredictionsCsv = "row,set,actual,predicted\n";
    for (int R = 0; R < Rows; ++R) {
        const auto Row = static_cast<std::size_t>(R);
        PredictionsCsv += std::to_string(CsvRow(R)) + (IsTest[Row] ? ",test," : ",train,") +
                          NumberText(Actual[Row]) + ',' + NumberText(Predicted[Row]) + '\n';
    }

    std::ostringstream Model;
    SR.SaveModelToStream(Model);

    // Plots: the run, the front, and predicted against actual (test rows, or the training
    // rows when there are none).
    TChart Progress{"Error across generations", "generation", "train MSE", true, false, {}};
    TChart Sizes{"Program size across generations", "generation", "average size", false, false, {}};
    TChartSeries Best{"best MSE", {}, {}, true, "#1f77b4"},
        Median{"median MSE", {}, {}, true, "#ff7f0e"};
    TChartSeries Size{"average size", {}, {}, true, "#2ca02c"};
    for (const auto& E : SR.Log()) {
        Best.X.push_back(E.Generation), Best.Y.push_back(E.BestMSE);
        Median.X.push_back(E.Generation), Median.Y.push_back(E.MedianMSE);
        Size.X.push_back(E.Generation), Size.Y.push_back(E.AverageSize);
    }
    Progress.Series = {Best, Median};
    Sizes.Series = {Size};
    TChart FrontChart{"Pareto front", "size (nodes)", "MSE", true, false, {}};
    TChartSeries TrainFront{"train MSE", {}, {}, false, "#1f77b4"},
        TestFront{"test MSE", {}, {}, false, "#d62728"};
    TChartSeries Chosen{"chosen model", {}, {}, false, "#2ca02c"};
    for (std::size_t I = 0; I < Front.size(); ++I) {
        TrainFront.X.push_back(Front[I].Size), TrainFront.Y.push_back(Front[I].TrainMSE);
        if (TestErrors[I])
            TestFront.X.push_back(Front[I].Size), TestFront.Y.push_back(TestErrors[I]->MSE);
    }
    Chosen.X = {static_cast<double>(SR.Model().Size)};
    Chosen.Y = {SR.Model().TrainMSE};
    FrontChart.Series = {TrainFront, TestFront, Chosen};
    const bool HasTest = !Test.empty();
    TChart Fit{HasTest ? "Predicted against actual, test rows"
                       : "Predicted against actual, training rows",
               "actual " + Options.Target,
               "predicted",
               false,
               true,
               {}};
    TChartSeries Points{"rows", {}, {}, false, "#1f77b4"};
    for (const int R : HasTest ? Test : Train) {
        Points.X.push_back(Actual[static_cast<std::size_t>(R)]);
        Points.Y.push_back(Predicted[static_cast<std::size_t>(R)]);
    }
    Fit.Series = {Points};

    WriteFilesAtomically(Options.OutputFolder, {{"model.xml", Model.str()},
                                                {"front.json", Json.dump(2) + '\n'},
                                                {"run.csv", RunLogCsv(SR.Log())},
                                                {"predictions.csv", PredictionsCsv},
                                                {"error.svg", Progress.Svg()},
                                                {"size.svg", Sizes.Svg()},
                                                {"front.svg", FrontChart.Svg()},
                                                {"predicted.svg", Fit.Svg()}});

    std::cout << "Pareto front (" << Front.size() << " formulas, " << Train.size()
              << " training rows, " << Test.size() << " test rows, " << SR.GenerationsRun()
              << " generations, " << Short(SR.FitSeconds()) << " s):\n"
              << TableRow("", "size", "train MSE", "test MSE", "test R2", "formula");
    for (std::size_t I = 0; I < Front.size(); ++I)
        std::cout << TableRow(static_cast<int>(I) == SR.ModelIndex() ? "*" : "",
                              std::to_string(Front[I].Size), Short(Front[I].TrainMSE),
                              TestErrors[I] ? Short(TestErrors[I]->MSE) : "-",
                              TestErrors[I] ? Short(TestErrors[I]->R2) : "-", Front[I].Display);
    std::cout << "\nChosen formula (*), " << Options.Target << " = " << SR.Model().Infix << '\n'
              << "Written to " << Options.OutputFolder
              << ": model.xml front.json run.csv predictions.csv error.svg size.svg front.svg "
                 "predicted.svg\n";
    if (Interrupted)
        std::cerr << "axsr: interrupted after generation " << SR.GenerationsRun() << " of "
                  << Options.Settings.Generations << "; the results so far are written\n";
    return Interrupted;
}

} // namespace axsr
