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

namespace ax {

// CSV tables: the first %s is the file name, rows count from 1 (the header) and columns
// from 1.
inline constexpr std::string_view SCSVEmpty = "%s: the file is empty (a header row is needed)";
inline constexpr std::string_view SCSVNoRows = "%s: the header has no data rows after it";
inline constexpr std::string_view SCSVBadName = "%s, row 1, column %d: the column name is empty";
inline constexpr std::string_view SCSVDuplicateName =
    "%s, row 1, column %d: the column name \"%s\" is repeated";
inline constexpr std::string_view SCSVRagged =
    "%s, row %d: %d cells where the header has %d columns";
inline constexpr std::string_view SCSVEmptyCell =
    "%s, row %d, column %d (\"%s\"): the cell is empty";
inline constexpr std::string_view SCSVNotNumber =
    "%s, row %d, column %d (\"%s\"): \"%s\" is not a finite number";
inline constexpr std::string_view SCSVUnclosedQuote = "%s, row %d: a quoted cell is not closed";
inline constexpr std::string_view SCSVBadQuote =
    "%s, row %d, column %d: text after the closing quote of a quoted cell";

// The regressor's input and state.
inline constexpr std::string_view SSRTooFewRows =
    "Symbolic regression needs at least 2 rows of data; the data has %d";
inline constexpr std::string_view SSRConstantTarget =
    "The target \"%s\" is constant (every row is %s): there is nothing to fit";
inline constexpr std::string_view SSRNotFinite =
    "Column \"%s\", row %d: the value %s is not finite";
inline constexpr std::string_view SSRMissingColumn = "Column \"%s\" is missing from the data";
inline constexpr std::string_view SSRNameCount = "%d columns but %d names";
inline constexpr std::string_view SSRTargetRows =
    "The target has %d values but the features have %d rows";
inline constexpr std::string_view SSRColumnLength = "Column \"%s\" has %d values, not %d";
inline constexpr std::string_view SSRNoFeatures = "There is no feature column to fit on";
inline constexpr std::string_view SSRTargetIsFeature = "The target \"%s\" cannot also be a feature";
inline constexpr std::string_view SSRBadFeatureName =
    "\"%s\" cannot name a feature: a name starts with a letter or '_' and holds letters, "
    "digits and '_' only, and is no function name";
inline constexpr std::string_view SSRDuplicateFeature = "Feature \"%s\" is named twice";
inline constexpr std::string_view SSRNotFitted =
    "The regressor has no model: call Fit, LoadModel or LoadState first";
inline constexpr std::string_view SSRFeatureCount =
    "The data has %d columns but the model reads %d features";
inline constexpr std::string_view SSRBadFunctionName =
    "\"%s\" cannot name a function: a letter first, then letters, digits or '_'";
inline constexpr std::string_view SSRDuplicateFunction = "Function \"%s\" is already defined";
inline constexpr std::string_view SSRBadModel = "Not a symbolic regression model: %s";
inline constexpr std::string_view SSRBadState = "Not a symbolic regressor state: %s";

inline constexpr std::string_view SSRTargetLength = "The target has %d values for %d data rows";
inline constexpr std::string_view SSRNoDataRows = "The data set has no rows";
inline constexpr std::string_view SSRTargetNotFinite = "The target value of row %d is not finite";
inline constexpr std::string_view SSRScalingLength =
    "Linear scaling needs as many values as targets (%d values, %d targets)";
inline constexpr std::string_view SSRNotDifferentiable =
    "Node \"%s\" cannot be differentiated: it is neither a function of the catalogue, a "
    "constant nor a variable with a data column";

} // namespace ax
