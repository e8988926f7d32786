// What axsr's commands share: the error that means "bad input" (exit code 1), numbers as
// the shortest text that reads back to the same double, and files that appear whole or
// not at all.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace axsr {

// Bad input or an output that cannot be written: the program prints the message and exits
// with code 1.
class TInputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The shortest text that reads back to exactly this double ("0.1", "1e+300", "-3").
std::string NumberText(double Value);

// Writes every (file name, content) pair into Folder (created when missing) so that no
// reader ever sees a partial file: each content goes to a temporary file in the same
// folder, is flushed to disk, and only when all of them are written are they renamed onto
// their names. On a failure the temporary files are removed and TInputError is raised.
void WriteFilesAtomically(const std::filesystem::path& Folder,
                          const std::vector<std::pair<std::string, std::string>>& Files);

} // namespace axsr
