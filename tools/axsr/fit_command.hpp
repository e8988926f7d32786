// axsr fit: reads a CSV file, splits its rows into training and test rows, fits formulas,
// shows progress and the Pareto front, and writes the model, the front, the run log,
// the chosen model's predictions and the plots into the output folder.
#pragma once

#include "axgenetic/regression/regressor.hpp"

#include <string>
#include <vector>

namespace axsr {

struct TFitOptions {
    std::string DataFile;
    std::string Target;
    std::vector<std::string> Features; // empty: every column but the target
    double TestFraction = 0.25;
    // The run's settings; the seed also draws the split. The library's defaults stay the
    // program's.
    ax::TAxSRSettings Settings;
    std::string OutputFolder = "axsr_output";
};

// Cells whose magnitude is above this are refused: their squares, which every error and
// variance holds, would overflow to infinity.
inline constexpr double MaxCellMagnitude = 1e150;

// Runs the command; bad input raises TInputError or the library's exception, before any
// file is written. Ctrl-C during the run stops it after the generation under way and the
// results so far are written as for a finished run; returns whether that happened.
bool RunFit(const TFitOptions& Options);

} // namespace axsr
