#include "axgenetic/platform/files.hpp"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "axgenetic/platform/exceptions.hpp"

namespace ax {

namespace {

// The system's reason for the last failure; the stream library leaves errno set by the
// failed open on the platforms we build for.
std::string SystemErrorText(int Error) {
    if (Error == 0) return "Unknown error";
    return std::system_category().message(Error);
}

std::string FileMessage(const char* What, const std::string& FileName, int Error) {
    return std::string("Cannot ") + What + " file \"" + FileName + "\". " + SystemErrorText(Error);
}

} // namespace

std::ifstream OpenFileStream(const std::string& FileName) {
    // Reading a directory "opens" on POSIX and fails later; refuse it here.
    std::error_code Ignored;
    if (std::filesystem::is_directory(FileName, Ignored))
        throw EFOpenError(FileMessage("open", FileName, EISDIR));
    errno = 0;
    std::ifstream Stream(FileName, std::ios::in | std::ios::binary);
    if (!Stream.is_open()) throw EFOpenError(FileMessage("open", FileName, errno));
    return Stream;
}

std::ofstream CreateFileStream(const std::string& FileName) {
    errno = 0;
    std::ofstream Stream(FileName, std::ios::out | std::ios::binary | std::ios::trunc);
    if (!Stream.is_open()) throw EFCreateError(FileMessage("create", FileName, errno));
    return Stream;
}

} // namespace ax
