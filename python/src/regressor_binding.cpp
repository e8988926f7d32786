// The symbolic regressor for Python: NumPy arrays are handed to the regressor in place
// (strides and all), the fit runs with the GIL released and stops at the next generation
// on Ctrl-C, results come back as plain Python objects.
#include "binding.hpp"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <optional>
#include <span>
#include <sstream>
#include <vector>

#include "axgenetic/platform/object.hpp"
#include "axgenetic/regression/regressor.hpp"

namespace axpy {

namespace {

using ax::TAxSRMatrix;
using ax::TAxSymbolicRegressor;

// A 2-D float64 array as the regressor's matrix view, without a copy. Strides must be whole
// elements; the Python layer passes arrays that come from check_array, which are.
TAxSRMatrix MatrixOf(const py::array_t<double>& X) {
    if (X.ndim() != 2)
        throw py::value_error("X must be a 2-D array, got " + std::to_string(X.ndim()) +
                              " dimensions");
    const auto Item = static_cast<py::ssize_t>(sizeof(double));
    if (X.strides(0) % Item != 0 || X.strides(1) % Item != 0)
        throw py::value_error("X has strides that are not whole float64 elements");
    TAxSRMatrix M;
    M.Data = X.data();
    M.Rows = static_cast<int>(X.shape(0));
    M.Cols = static_cast<int>(X.shape(1));
    M.RowStride = X.strides(0) / Item;
    M.ColStride = X.strides(1) / Item;
    return M;
}

std::span<const double> VectorOf(const py::array_t<double>& Y) {
    if (Y.ndim() != 1 || (Y.shape(0) > 1 && Y.strides(0) != sizeof(double)))
        throw py::value_error("y must be a contiguous 1-D float64 array");
    return {Y.data(), static_cast<std::size_t>(Y.shape(0))};
}

// Only arrays that need no conversion are taken as they are; pybind11 copies others.
using TInArray = py::array_t<double, py::array::forcecast>;

py::dict FormulaDict(const ax::TAxSRFormula& F) {
    py::dict D;
    D["size"] = F.Size;
    D["depth"] = F.Depth;
    D["train_mse"] = F.TrainMSE;
    D["train_r2"] = F.TrainR2;
    D["intercept"] = F.Intercept;
    D["slope"] = F.Slope;
    D["constants"] = F.Constants;
    D["infix"] = F.Infix;
    D["display"] = F.Display;
    D["sympy"] = F.SymPy;
    D["latex"] = F.Latex;
    D["program"] = F.Program;
    return D;
}

py::dict LogDict(const ax::TAxSRLogEntry& E) {
    py::dict D;
    D["generation"] = E.Generation;
    D["best_mse"] = E.BestMSE;
    D["median_mse"] = E.MedianMSE;
    D["average_size"] = E.AverageSize;
    D["front_size"] = E.FrontSize;
    D["elapsed_seconds"] = E.ElapsedSeconds;
    D["optimizer_seconds"] = E.OptimizerSeconds;
    D["evaluations"] = E.Evaluations;
    return D;
}

py::array_t<double> ToArray(std::vector<double>&& Values) {
    // The vector moves into the array's owner: no copy of the predictions.
    auto* Owned = new std::vector<double>(std::move(Values));
    py::capsule Owner(Owned, [](void* P) { delete static_cast<std::vector<double>*>(P); });
    return py::array_t<double>(static_cast<py::ssize_t>(Owned->size()), Owned->data(), Owner);
}

void Fit(TAxSymbolicRegressor& SR, const TInArray& X, const TInArray& Y,
         const std::vector<std::string>& Names) {
    const TAxSRMatrix M = MatrixOf(X);
    const std::span<const double> Target = VectorOf(Y);
    // Declared before the GIL is released so that it dies with the GIL held.
    std::optional<py::error_already_set> Interrupt;
    SR.SetOnProgress([&Interrupt](ax::TObject*, const ax::TAxSRProgress&, bool& Stop) {
        py::gil_scoped_acquire Gil;
        if (PyErr_CheckSignals() != 0) {
            Interrupt.emplace();
            Stop = true;
        }
    });
    {
        TRunLock Lock;
        py::gil_scoped_release NoGil;
        try {
            SR.Fit(M, Target, Names);
        } catch (...) {
            SR.SetOnProgress(nullptr);
            throw;
        }
        SR.SetOnProgress(nullptr);
    }
    if (Interrupt) throw *Interrupt;
}

std::string ModelText(const TAxSymbolicRegressor& SR) {
    std::ostringstream Stream;
    SR.SaveModelToStream(Stream);
    return Stream.str();
}

void LoadModelText(TAxSymbolicRegressor& SR, const std::string& Text) {
    std::istringstream Stream(Text);
    SR.LoadModelFromStream(Stream);
}

} // namespace

void BindRegressor(py::module_& M) {
    BindEnum<ax::TSRSelection>(M, "SRSelection", "How parents and survivors are chosen.");
    BindEnum<ax::TSRModelChoice>(M, "SRModelChoice", "How the model is chosen from the front.");

    py::class_<ax::TAxSRSettings>(M, "SRSettings", "Every setting of a symbolic regression fit.")
        .def(py::init<>())
        .def_readwrite("population_size", &ax::TAxSRSettings::PopulationSize)
        .def_readwrite("generations", &ax::TAxSRSettings::Generations)
        .def_readwrite("time_limit_seconds", &ax::TAxSRSettings::TimeLimitSeconds)
        .def_readwrite("function_set", &ax::TAxSRSettings::FunctionSet)
        .def_readwrite("max_size", &ax::TAxSRSettings::MaxSize)
        .def_readwrite("max_depth", &ax::TAxSRSettings::MaxDepth)
        .def_readwrite("initial_depth", &ax::TAxSRSettings::InitialDepth)
        .def_readwrite("linear_scaling", &ax::TAxSRSettings::LinearScaling)
        .def_readwrite("optimize_constants", &ax::TAxSRSettings::OptimizeConstants)
        .def_readwrite("optimizer_iterations", &ax::TAxSRSettings::OptimizerIterations)
        .def_readwrite("random_constants", &ax::TAxSRSettings::RandomConstants)
        .def_readwrite("constant_min", &ax::TAxSRSettings::ConstantMin)
        .def_readwrite("constant_max", &ax::TAxSRSettings::ConstantMax)
        .def_readwrite("constant_mutation_sigma", &ax::TAxSRSettings::ConstantMutationSigma)
        .def_property(
            "selection", [](const ax::TAxSRSettings& S) { return S.Selection; },
            [](ax::TAxSRSettings& S, py::handle V) {
                S.Selection = EnumArgument<ax::TSRSelection>(V, "selection");
            })
        .def_readwrite("tournament_size", &ax::TAxSRSettings::TournamentSize)
        .def_readwrite("crossover_probability", &ax::TAxSRSettings::CrossoverProbability)
        .def_readwrite("mutation_probability", &ax::TAxSRSettings::MutationProbability)
        .def_property(
            "model_choice", [](const ax::TAxSRSettings& S) { return S.ModelChoice; },
            [](ax::TAxSRSettings& S, py::handle V) {
                S.ModelChoice = EnumArgument<ax::TSRModelChoice>(V, "model_choice");
            })
        .def_readwrite("knee_tolerance", &ax::TAxSRSettings::KneeTolerance)
        .def_readwrite("threads", &ax::TAxSRSettings::Threads)
        .def_readwrite("seed", &ax::TAxSRSettings::Seed);

    py::class_<TAxSymbolicRegressor>(M, "Regressor", R"(The library's symbolic regressor.

axgenetic.SymbolicRegressor is the scikit-learn estimator built on it; use this class for
direct access to the regressor: settings, fit on a float64 matrix, the front, the model
document.)")
        .def(py::init<>())
        .def_property(
            "settings",
            [](TAxSymbolicRegressor& SR) -> ax::TAxSRSettings& { return SR.Settings(); },
            [](TAxSymbolicRegressor& SR, const ax::TAxSRSettings& S) { SR.SetSettings(S); },
            py::return_value_policy::reference_internal, "The settings of the next fit.")
        .def("fit", &Fit, py::arg("X"), py::arg("y"), py::arg("names") = std::vector<std::string>{},
             R"(Fits formulas of the columns of X (rows are samples) to y.

X is read in place when it is a float64 array (C or Fortran order, or strided); other arrays
are converted first. names name the columns (empty: x0, x1, ...). The GIL is released
while the fit runs; Ctrl-C stops it after the current generation and raises
KeyboardInterrupt, keeping what was found so far.)")
        .def_property_readonly("fitted", &TAxSymbolicRegressor::Fitted)
        .def_property_readonly("feature_names", &TAxSymbolicRegressor::FeatureNames)
        .def_property_readonly(
            "front",
            [](const TAxSymbolicRegressor& SR) {
                py::list L;
                for (const auto& F : SR.Front())
                    L.append(FormulaDict(F));
                return L;
            },
            "The Pareto front of (error, size), by size ascending, as dicts.")
        .def_property_readonly(
            "model", [](const TAxSymbolicRegressor& SR) { return FormulaDict(SR.Model()); },
            "The chosen formula as a dict.")
        .def_property_readonly("model_index", &TAxSymbolicRegressor::ModelIndex)
        .def("select_model", &TAxSymbolicRegressor::SelectModel, py::arg("index"),
             "Makes front member index the model.")
        .def_property_readonly(
            "log",
            [](const TAxSymbolicRegressor& SR) {
                py::list L;
                for (const auto& E : SR.Log())
                    L.append(LogDict(E));
                return L;
            },
            "One dict per generation.")
        .def_property_readonly("generations_run", &TAxSymbolicRegressor::GenerationsRun)
        .def_property_readonly("evaluations", &TAxSymbolicRegressor::Evaluations)
        .def_property_readonly("fit_seconds", &TAxSymbolicRegressor::FitSeconds)
        .def(
            "predict",
            [](const TAxSymbolicRegressor& SR, const TInArray& X) {
                return ToArray(SR.Predict(MatrixOf(X)));
            },
            py::arg("X"), "Predictions of the model for the rows of X (columns in feature order).")
        .def(
            "score",
            [](const TAxSymbolicRegressor& SR, const TInArray& X, const TInArray& Y) {
                return SR.Score(MatrixOf(X), VectorOf(Y));
            },
            py::arg("X"), py::arg("y"), "R^2 of the model.")
        .def(
            "mse",
            [](const TAxSymbolicRegressor& SR, const TInArray& X, const TInArray& Y) {
                return SR.MSE(MatrixOf(X), VectorOf(Y));
            },
            py::arg("X"), py::arg("y"), "Mean squared error of the model.")
        .def("save_model", &TAxSymbolicRegressor::SaveModel, py::arg("file_name"),
             "Writes the model as an executor document; every constant exact.")
        .def("load_model", &TAxSymbolicRegressor::LoadModel, py::arg("file_name"),
             "Replaces the fit by the model of an executor document.")
        .def("model_text", &ModelText, "The model's executor document as text.")
        .def("load_model_text", &LoadModelText, py::arg("text"),
             "Replaces the fit by the model of an executor document given as text.")
        .def(
            "save_state", &TAxSymbolicRegressor::SaveState,
            "The whole state (settings, features, front, model) as document text; constants exact.")
        .def("load_state", &TAxSymbolicRegressor::LoadState, py::arg("text"),
             "Restores a state written by save_state; a failed load changes nothing.");
}

} // namespace axpy
