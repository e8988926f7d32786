// Message texts of the library's exceptions, used verbatim; placeholders are filled by
// ax::Format.
#pragma once

#include <string_view>

namespace ax {

inline constexpr std::string_view SNoFitnessFunction = "No fitness function defined";
inline constexpr std::string_view SNoSelectionFunction = "No custom selection function defined";
// Raised when a selection handler leaves no parent for a breeding step.
inline constexpr std::string_view SNoParentSelected = "No parent selected";
inline constexpr std::string_view SNoConstantMutation = "No constant mutation function defined";
inline constexpr std::string_view SNoEnumerationFound = "No enumerated value found in chromosome";
inline constexpr std::string_view SValueNotEnumeration = "\"%s\" is not a valid enumerated value";
inline constexpr std::string_view SInstructionNotUnique = "instruction name must be unique";
inline constexpr std::string_view SUnknownInstruction = "Unknown instruction \"%s\"";
inline constexpr std::string_view SInvalidInstructionIndex =
    "%i is an invalid instruction set encoding";
inline constexpr std::string_view SInvalidNumInstructionArgs =
    "Invalid number of arguments (%d) for \"%s\" instruction";
// Raised by an executor whose program uses a function no handler computes.
inline constexpr std::string_view SNoInstructionHandler =
    "No execute handler for \"%s\" instruction";
inline constexpr std::string_view SMissingVirtualMachine = "Missing Virtual Machine";
inline constexpr std::string_view SMissingGeneticProgram = "Missing Genetic Program Engine";
inline constexpr std::string_view SInvalidOperationCode = "INVALID OPERATION";
inline constexpr std::string_view SNoTerminalsFound = "No terminals found";
inline constexpr std::string_view SNoOperationsFound = "No operations found";
inline constexpr std::string_view SNoInstructionsFound = "No nodes found";
inline constexpr std::string_view SNoInstructionAssigned = "No instruction assigned to node";
inline constexpr std::string_view SNodeFull = "Node cannot accept anymore children";
inline constexpr std::string_view SInvalidTerminalNode =
    "Invalid terminal node.  Node requires greater than 0 children";
// Tree edits that would make a node its own ancestor, or reach into another program.
inline constexpr std::string_view SNodeInsideItself =
    "A node cannot be placed inside its own subtree";
inline constexpr std::string_view SNodeNotInProgram =
    "The node is not part of the individual's program";
inline constexpr std::string_view SCrossoverPointsNested =
    "Crossover points of one program must not lie inside one another";

} // namespace ax
