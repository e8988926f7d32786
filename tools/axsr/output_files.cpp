#include "tools/axsr/output_files.hpp"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace axsr {

std::string NumberText(double Value) {
    std::array<char, 32> Buffer{};
    const auto Result = std::to_chars(Buffer.data(), Buffer.data() + Buffer.size(), Value);
    return std::string(Buffer.data(), Result.ptr);
}

namespace {

// Writes Content to a new temporary file in Folder and returns its path.
std::filesystem::path WriteTemporary(const std::filesystem::path& Folder, const std::string& Name,
                                     const std::string& Content) {
    std::string Template = (Folder / ("." + Name + ".XXXXXX")).string();
    const int Fd = mkstemp(Template.data());
    if (Fd < 0) throw TInputError(Template + ": cannot create a file: " + std::strerror(errno));
    // mkstemp makes the file private; the results are ordinary files.
    fchmod(Fd, 0644);
    const char* Data = Content.data();
    std::size_t Left = Content.size();
    bool Ok = true;
    while (Ok && Left > 0) {
        const ssize_t Written = write(Fd, Data, Left);
        if (Written < 0 && errno == EINTR) continue;
        Ok = Written > 0;
        if (Ok) {
            Data += Written;
            Left -= static_cast<std::size_t>(Written);
        }
    }
    const int Error = errno;
    Ok = Ok && fsync(Fd) == 0;
    Ok = close(Fd) == 0 && Ok;
    if (!Ok) {
        std::remove(Template.c_str());
        throw TInputError(Template + ": cannot write: " + std::strerror(Error ? Error : errno));
    }
    return Template;
}

} // namespace

void WriteFilesAtomically(const std::filesystem::path& Folder,
                          const std::vector<std::pair<std::string, std::string>>& Files) {
    std::error_code Error;
    std::filesystem::create_directories(Folder, Error);
    if (Error)
        throw TInputError(Folder.string() + ": cannot create the folder: " + Error.message());
    std::vector<std::filesystem::path> Temporaries;
    try {
        for (const auto& [Name, Content] : Files)
            Temporaries.push_back(WriteTemporary(Folder, Name, Content));
    } catch (...) {
        for (const auto& T : Temporaries)
            std::filesystem::remove(T, Error);
        throw;
    }
    for (std::size_t I = 0; I < Files.size(); ++I) {
        std::filesystem::rename(Temporaries[I], Folder / Files[I].first, Error);
        if (Error) {
            for (std::size_t J = I; J < Temporaries.size(); ++J)
                std::filesystem::remove(Temporaries[J], Error);
            throw TInputError((Folder / Files[I].first).string() +
                              ": cannot write: " + Error.message());
        }
    }
}

} // namespace axsr
