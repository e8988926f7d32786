// axsr predict: runs a saved model over the rows of a CSV file and writes one prediction
// per row, in the input's row order, optionally beside the input's columns.
#pragma once

#include <string>

namespace axsr {

struct TPredictOptions {
    std::string ModelFile;
    std::string DataFile;
    std::string OutputFile; // empty: standard output
    bool KeepColumns = false;
};

// Runs the command; bad input raises TInputError or the library's exception, before
// anything is written.
void RunPredict(const TPredictOptions& Options);

} // namespace axsr
