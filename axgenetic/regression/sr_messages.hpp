// Message texts of the symbolic regression layer's exceptions, used verbatim; placeholders
// are filled by ax::Format.
#pragma once

#include <string_view>

namespace ax {

inline constexpr std::string_view SUnknownSRFunction =
    "Unknown function or function set \"%s\" (sets: arithmetic, koza, full)";
inline constexpr std::string_view SMissingSRColumn =
    "The data have no column \"%s\" for the formula's variable of that name";
inline constexpr std::string_view SOpaqueSRFunction =
    "The formula cannot be evaluated: \"%s\" is not a function of the catalogue";

} // namespace ax
