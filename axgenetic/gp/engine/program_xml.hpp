// Programs as XML: the DNA element of a tree, and the checks a document passes before
// any of its programs or instructions load.
//
// A tree is written depth first, the root into the DNA element and each child into a
// Child element of its parent's element, in child order. Reading and writing walk the
// tree with an explicit stack, and every load first checks the whole tree (names,
// constant values, child counts, depth), so a document that fails leaves the tree as it
// was, and no document can exhaust the stack of this or any later recursive walk.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "axgenetic/core/types.hpp"
#include "axgenetic/gp/engine/instruction.hpp"
#include "axgenetic/gp/engine/node.hpp"
#include "axgenetic/xml/gp_domain_xml.hpp"

namespace ax {

// The deepest tree (Depth, a leaf being 0) a document may hold; deeper ones are refused
// by loads and by saves alike.
inline constexpr int MaxProgramDepth = 1000;
// The largest Arity attribute of a Function element.
inline constexpr int MaxDocumentArity = 255;

inline constexpr std::string_view SProgramTooDeep = "Program deeper than %d levels";
inline constexpr std::string_view SArityOutOfRange = "Arity %d of \"%s\" is outside 0 to %d";

// What an instruction name stands for when a program loads: its kind and arity.
struct TGPInstructionShape {
    TGPGeneticInstruction Kind;
    std::int32_t Arity;
};
// The shape of the instruction a name stands for; nullopt for a name the instruction set
// will not hold.
using TGPInstructionResolver =
    std::function<std::optional<TGPInstructionShape>(std::string_view Name)>;

// Raises what loading the tree of Root, or running it, would raise, before anything
// loads: EGPException "Unknown instruction" for a name Resolve does not know, EConvertError
// for a float constant whose Value is no number (FloatValues), EGPException for more than
// MaxChildren children under a node (-1: any number), for a function node with fewer
// children than its arity (SInvalidNumInstructionArgs, as Execute would raise it) or a
// tree deeper than MaxProgramDepth.
AXGENETIC_API void CheckProgramXML(const IXMLDnaType& Root, const TGPInstructionResolver& Resolve,
                     bool FloatValues, int MaxChildren);
// Raises EConvertError or EGPException SArityOutOfRange for a Function element whose
// Arity is no number or lies outside 0 to MaxArity (MaxDocumentArity; 2 where the nodes
// take two children at most).
AXGENETIC_API void CheckInstructionsXML(const IXMLGPInstructions& Element,
                                        int MaxArity = MaxDocumentArity);
// The kinds the instructions of Element (loaded into any set) will have, by name.
AXGENETIC_API TGPInstructionResolver DocumentInstructions(const IXMLGPInstructions& Element);

// Names looked up by ProgramInstruction that no instruction bears, with what they found.
template <class T>
using TProgramInstructionCache = std::unordered_map<std::string, TAxGPInstruction<T>*>;
// The instruction of Set a program node names: the one of that Name (letter case
// ignored), else the first unnamed one whose display name it is (a program that uses an
// unnamed instruction is written so); nullptr when there is none. Cache keeps the second
// kind of lookup to one per name.
template <class T>
AXGENETIC_API TAxGPInstruction<T>* ProgramInstruction(const TAxGPInstructions<T>& Set,
                                                      std::string_view Name,
                                                      TProgramInstructionCache<T>& Cache);

// Writes Node's tree into Element (the Instruction attribute, a constant's Value, one Child
// element per child). EGPException SProgramTooDeep for a tree deeper than MaxProgramDepth.
template <class T> AXGENETIC_API void SaveProgramToXML(const TAxGPNode<T>& Node, const IXMLDnaType& Element);
// Replaces Node's tree by the one of Element. Node must carry an instruction of the target
// set, where names are looked up (letter case ignored); without one, Node is only cleared.
// The tree is checked first (CheckProgramXML), so a failed load changes nothing.
template <class T> AXGENETIC_API void LoadProgramFromXML(TAxGPNode<T>& Node, const IXMLDnaType& Element);
// LoadProgramFromXML of a tree already checked against the names of Node's set (a
// document's programs are checked with the whole document, before anything loads).
template <class T> AXGENETIC_API void LoadCheckedProgramFromXML(TAxGPNode<T>& Node, const IXMLDnaType& Element);

} // namespace ax
