// File streams that report failure with the library's file exceptions instead of a
// stream silently in a failed state.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <fstream>
#include <string>

namespace ax {

// Opens FileName for binary reading; raises EFOpenError
// 'Cannot open file "<name>". <system error text>' when it cannot be opened.
AXGENETIC_API std::ifstream OpenFileStream(const std::string& FileName);

// Creates FileName for binary writing, replacing an existing file; raises EFCreateError
// 'Cannot create file "<name>". <system error text>' when it cannot be created.
AXGENETIC_API std::ofstream CreateFileStream(const std::string& FileName);

} // namespace ax
