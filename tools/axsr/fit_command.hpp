// axsr fit: reads a CSV file, splits its rows into training and test rows, fits formulas,
// shows progress and the Pareto front, and writes the model, the front, the run log,
// the chosen model's predictions and the plots into the output folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace axsr {

struct TFitOptions {
    std::string DataFile;
    std::string Target;
    std::vector<std::string> Features; // empty: every column but the target
    double TestFraction = 0.25;
    std::uint64_t Seed = 0;
    int PopulationSize = 500;
    int Generations = 60;
    double TimeLimitSeconds = 0;
    std::string Functions = "arithmetic,Sin,Cos,Exp,Log";
    int MaxSize = 40;
    int Threads = 1;
    bool OptimizeConstants = false;
    std::string OutputFolder = "axsr_output";
};

// Cells whose magnitude is above this are refused: their squares, which every error and
// variance holds, would overflow to infinity.
inline constexpr double MaxCellMagnitude = 1e150;

// Runs the command; bad input raises TInputError or the library's exception, before any
// file is written.
void RunFit(const TFitOptions& Options);

} // namespace axsr
