// axsr: formulas from a CSV file on the command line.
//
//   axsr fit data.csv --target y [options]   fit, show the Pareto front, write the results
//   axsr predict model.xml data.csv          predictions of a saved model, as CSV
//
// Exit codes: 0 done, 1 bad input (the message names the file, and row and column where
// a cell is at fault), 2 bad usage, 130 a fit stopped by Ctrl-C (its results written).
// docs/axsr.md describes every option and file.
#include "tools/axsr/fit_command.hpp"
#include "tools/axsr/output_files.hpp"
#include "tools/axsr/predict_command.hpp"

#include <CLI/CLI.hpp>

#include <cmath>
#include <exception>
#include <iostream>

namespace {

// CLI::Range lets "nan" through (every comparison with it is false).
const CLI::Validator Finite(
    [](std::string& Text) {
        double Value = 0;
        return CLI::detail::lexical_cast(Text, Value) && std::isfinite(Value)
                   ? std::string()
                   : "Value " + Text + " is not a finite number";
    },
    "");

} // namespace

int main(int argc, char** argv) {
    CLI::App App{"axsr: finds formulas that fit a CSV file (symbolic regression) and "
                 "predicts with them.\nExit codes: 0 done, 1 bad input, 2 bad usage, 130 fit "
                 "stopped by Ctrl-C."};
    App.set_version_flag("--version", std::string("axsr ") + AXSR_VERSION);
    App.require_subcommand(1);

    axsr::TFitOptions Fit;
    CLI::App* FitCommand = App.add_subcommand(
        "fit", "Fit formulas to a CSV file and write the model, the front, the run log and plots");
    FitCommand->footer(
        "Progress goes to standard error, the front and the chosen formula to standard output.\n"
        "Files in the output folder: model.xml front.json run.csv predictions.csv error.svg "
        "size.svg front.svg predicted.svg (docs/axsr.md).");
    FitCommand->add_option("data", Fit.DataFile, "CSV file: a header row, then numbers")
        ->required();
    FitCommand->add_option("--target,-t", Fit.Target, "the column to predict")->required();
    FitCommand
        ->add_option("--features", Fit.Features,
                     "the columns to predict from, e.g. a,b,c (default: every other column)")
        ->delimiter(',');
    FitCommand
        ->add_option("--test-fraction", Fit.TestFraction,
                     "share of the rows held out as test rows, drawn by the seed")
        ->check(CLI::Range(0.0, 0.9))
        ->check(Finite)
        ->capture_default_str();
    FitCommand->add_option("--seed", Fit.Settings.Seed, "seed of the split and the run")
        ->capture_default_str();
    FitCommand->add_option("--population", Fit.Settings.PopulationSize, "programs per generation")
        ->check(CLI::Range(2, 1000000))
        ->capture_default_str();
    FitCommand->add_option("--generations", Fit.Settings.Generations, "generations after the first")
        ->check(CLI::Range(0, 1000000))
        ->capture_default_str();
    FitCommand->add_option("--time-limit", Fit.Settings.TimeLimitSeconds, "seconds; 0: none")
        ->check(CLI::Range(0.0, 1e9))
        ->check(Finite)
        ->capture_default_str();
    FitCommand
        ->add_option("--functions", Fit.Settings.FunctionSet,
                     "function set: names and sets, e.g. arithmetic,Sqrt or full")
        ->capture_default_str();
    FitCommand->add_option("--max-size", Fit.Settings.MaxSize, "largest program, in nodes")
        ->check(CLI::Range(3, 10000))
        ->capture_default_str();
    FitCommand
        ->add_option("--threads", Fit.Settings.Threads,
                     "fitness threads; the result is the same for any count")
        ->check(CLI::Range(1, 1024))
        ->capture_default_str();
    FitCommand->add_flag("--optimize-constants,!--no-optimize-constants",
                         Fit.Settings.OptimizeConstants,
                         "tune every program's constants (Levenberg-Marquardt), or not");
    FitCommand->add_option("--output,-o", Fit.OutputFolder, "folder for the results")
        ->capture_default_str();

    axsr::TPredictOptions Predict;
    CLI::App* PredictCommand = App.add_subcommand(
        "predict", "Predict with a saved model; writes CSV, one row per input row");
    PredictCommand->add_option("model", Predict.ModelFile, "model.xml written by fit")->required();
    PredictCommand->add_option("data", Predict.DataFile, "CSV file holding the model's columns")
        ->required();
    PredictCommand->add_option("--output,-o", Predict.OutputFile,
                               "file to write (default: standard output)");
    PredictCommand->add_flag("--keep-columns", Predict.KeepColumns,
                             "write the input's columns before the prediction");

    try {
        App.parse(argc, argv);
    } catch (const CLI::ParseError& Error) {
        // --help and --version end here with code 0.
        return App.exit(Error) == 0 ? 0 : 2;
    }
    try {
        if (FitCommand->parsed()) {
            // 128 + SIGINT, as a shell reports a program that Ctrl-C ended.
            if (axsr::RunFit(Fit)) return 130;
        } else {
            axsr::RunPredict(Predict);
        }
    } catch (const axsr::TInputError& Error) {
        std::cerr << "axsr: " << Error.what() << '\n';
        return 1;
    } catch (const std::exception& Error) {
        // The library's exceptions, and anything else a file or the system raises.
        std::cerr << "axsr: " << Error.what() << '\n';
        return 1;
    }
    return 0;
}
