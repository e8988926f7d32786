// What the regressor and the genetic algorithm bindings share: the conversion of enumeration
// arguments, and the process-wide lock around runs.
#pragma once

#include <pybind11/pybind11.h>

#include <cctype>
#include <mutex>
#include <string>
#include <string_view>

#include "axgenetic/platform/enum_names.hpp"

namespace axpy {

namespace py = pybind11;

// The library draws every random number from one global generator, so two runs on two
// Python threads would interleave their draws (and race on it): a run holds this lock. It
// waits for it with the GIL released, so that the run holding it can still call into
// Python, and it refuses a run started from inside another one on the same thread (a
// fitness that calls evolve), which would wait for itself. Made and destroyed with the
// GIL held.
class TRunLock {
public:
    TRunLock();
    ~TRunLock();
    TRunLock(const TRunLock&) = delete;
    TRunLock& operator=(const TRunLock&) = delete;

private:
    std::unique_lock<std::mutex> FLock;
};

inline bool SameText(std::string_view A, std::string_view B) {
    if (A.size() != B.size()) return false;
    for (std::size_t I = 0; I < A.size(); ++I)
        if (std::tolower(static_cast<unsigned char>(A[I])) !=
            std::tolower(static_cast<unsigned char>(B[I])))
            return false;
    return true;
}

// An enumeration argument: the enumeration object itself, or its value name as text, with
// or without the two-letter prefix and ignoring case ("gtInteger", "integer").
template <class E> E EnumArgument(py::handle Value, const char* What) {
    if (py::isinstance<E>(Value)) return Value.cast<E>();
    if (py::isinstance<py::str>(Value)) {
        const auto Text = Value.cast<std::string>();
        if (auto Found = ax::GetEnumValue<E>(Text)) return *Found;
        std::string Names;
        for (std::size_t I = 0; I < ax::EnumCount<E>(); ++I) {
            const std::string_view Short = ax::EnumNames<E>::Values[I].substr(2);
            if (SameText(Short, Text)) return static_cast<E>(I);
            Names += (Names.empty() ? "" : ", ") + std::string(Short);
        }
        throw py::value_error(std::string(What) + ": unknown value \"" + Text + "\" (one of " +
                              Names + ")");
    }
    throw py::type_error(std::string(What) + " takes a name (str) or the enumeration, not " +
                         std::string(py::str(py::type::of(Value).attr("__name__"))));
}

// Registers enumeration E under Name with the library's value names.
template <class E> void BindEnum(py::module_& M, const char* Name, const char* Doc) {
    py::enum_<E> Enum(M, Name, Doc);
    for (std::size_t I = 0; I < ax::EnumCount<E>(); ++I)
        Enum.value(std::string(ax::EnumNames<E>::Values[I]).c_str(), static_cast<E>(I));
}

void BindRegressor(py::module_& M);
void BindGeneticAlgorithm(py::module_& M);

} // namespace axpy
