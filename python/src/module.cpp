// The compiled part of the axgenetic package: the regressor, the genetic algorithm, and the
// translation of the library's exceptions.
#include "binding.hpp"

#include <stdexcept>

#include "axgenetic/common/ax_exception.hpp"
#include "axgenetic/platform/exceptions.hpp"

namespace axpy {

namespace py = pybind11;

namespace {
std::mutex Runs;
thread_local bool InRun = false;
} // namespace

TRunLock::TRunLock() {
    if (InRun)
        throw std::runtime_error("a run cannot start inside another one (evolve or fit called "
                                 "from a fitness)");
    py::gil_scoped_release NoGil;
    FLock = std::unique_lock<std::mutex>(Runs);
    InRun = true;
}

TRunLock::~TRunLock() {
    InRun = false;
}

} // namespace axpy

PYBIND11_MODULE(_axgenetic, M) {
    namespace py = pybind11;
    M.doc() = "axgenetic's compiled core; import axgenetic instead.";
    // The library's own errors about bad input are ValueErrors to Python code.
    static py::exception<ax::EAxException> Error(M, "AxgeneticError", PyExc_ValueError);
    py::register_exception_translator([](std::exception_ptr P) {
        try {
            if (P) std::rethrow_exception(P);
        } catch (const ax::EAxException& E) {
            Error(E.what());
        } catch (const ax::EListError& E) {
            PyErr_SetString(PyExc_IndexError, E.what());
        } catch (const ax::EFOpenError& E) {
            PyErr_SetString(PyExc_OSError, E.what());
        } catch (const ax::EFCreateError& E) {
            PyErr_SetString(PyExc_OSError, E.what());
        } catch (const ax::Exception& E) {
            // Conversions, documents that do not parse: the input was bad.
            PyErr_SetString(PyExc_ValueError, E.what());
        }
    });
    axpy::BindRegressor(M);
    axpy::BindGeneticAlgorithm(M);
}
