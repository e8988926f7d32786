// Message texts of the symbolic regression layer's exceptions, used verbatim; placeholders
// are filled by ax::Format.
#pragma once

#include <string_view>

namespace ax {

inline constexpr std::string_view SUnknownSRFunction =
    "Unknown function or function set \"%s\" (sets: arithmetic, koza, full)";

inline constexpr std::string_view SSRTargetLength = "The target has %d values for %d data rows";
inline constexpr std::string_view SSRNoDataRows = "The data set has no rows";
inline constexpr std::string_view SSRTargetNotFinite = "The target value of row %d is not finite";
inline constexpr std::string_view SSRScalingLength =
    "Linear scaling needs as many values as targets (%d values, %d targets)";
inline constexpr std::string_view SSRNotDifferentiable =
    "Node \"%s\" cannot be differentiated: it is neither a function of the catalogue, a "
    "constant nor a variable with a data column";

} // namespace ax
