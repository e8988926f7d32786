// Message texts of the symbolic regression layer's exceptions, used verbatim; placeholders
// are filled by ax::Format.
#pragma once

#include <string_view>

namespace ax {

inline constexpr std::string_view SUnknownSRFunction =
    "Unknown function or function set \"%s\" (sets: arithmetic, koza, full)";

} // namespace ax
