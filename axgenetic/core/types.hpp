// Types, enumerations and sets shared by the evolution components. The value names of
// the enumerations are part of the XML documents and of the descriptions.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "axgenetic/platform/enum_names.hpp"
#include "axgenetic/platform/set.hpp"

namespace ax {

using TGAFloat = double;
using TGAFitness = double;
using TGAProbability = double;
using TGAFitnessArray = std::vector<TGAFitness>;
using TGAProbabilityArray = std::vector<TGAProbability>;
using TGAProbabilityTable = std::vector<TGAProbabilityArray>;
using TIntegerArray = std::vector<std::int32_t>;

enum class TGeneType { gtUnknown, gtBoolean, gtInteger, gtFloat, gtEnumeration };
enum class TGACrossoverMethod { cmGeneBoundary, cmBitBoundary, cmByteBoundary, cmWordBoundary, cmLongwordBoundary };
enum class TGAFitnessMethod { fmMinimize, fmMaximize, fmWeightedMinimize, fmWeightedMaximize };
// Whether higher fitness is better under Method.
constexpr bool IsMaximizing(TGAFitnessMethod Method) {
    return Method == TGAFitnessMethod::fmMaximize || Method == TGAFitnessMethod::fmWeightedMaximize;
}
enum class TGASelectionMethod { smRoulette, smRandom, smTournament, smStochasticTournament, smElitist, smCustom };
enum class TGAGeneticOperation { goCrossover, goMutate, goInvert };
enum class TExecutionState {
    esInitializing, esInitialized, esEncoding, esEncoded, esExecuting,
    esInvalidOperation, esInvalidState, esError, esFinishing, esFinished
};
enum class TExecutionLimit { elNumberOfSteps, elNumberOfMilliseconds, elNone };
enum class TGPGeneticInstruction { gpVariable, gpConstant, gpFunction };
enum class TGPCrossoverMethod { cmSubtree };
enum class TGPMutationMethod { mmSubtree, mmReplacement, mmConstant, mmShrink, mmHoist, mmPoint };
enum class TGPPointMutationMethod { pmmPerNode, pmmPerTree };
enum class TGPInitializationMethod { imFull, imGrow, imRampedFull, imRampedGrow, imHalfAndHalf, imRampedHalfAndHalf };
enum class TGPBloatStrategy {
    bsNone, bsSizeLimit, bsDepthLimit, bsTarpeianSize, bsTarpeianDepth, bsUnfitSize, bsUnfitDepth,
    bsShrinkDepth, bsShrinkSize, bsHoistDepth, bsHoistSize, bsSizeFairCrossover, bsDepthFairCrossover,
    bsSizeParsimonyPressure, bsDepthParsimonyPressure, bsCovariantSizeParsimonyPressure,
    bsCovariantDepthParsimonyPressure, bsLexicographicParsimonyPressure
};

using TGAGeneticOperations = TSet<TGAGeneticOperation, std::uint8_t>;
using TExecutionStates = TSet<TExecutionState, std::uint16_t>;
using TGPGeneticInstructions = TSet<TGPGeneticInstruction, std::uint8_t>;
// One relative weight per mutation method, indexed by ordinal.
using TGPMutationMethodWeights = std::array<std::uint8_t, 6>;

template <> struct EnumNames<TGeneType> {
    static constexpr std::string_view Values[] = {"gtUnknown", "gtBoolean", "gtInteger", "gtFloat", "gtEnumeration"};
};
template <> struct EnumNames<TGACrossoverMethod> {
    static constexpr std::string_view Values[] = {"cmGeneBoundary", "cmBitBoundary", "cmByteBoundary",
                                                  "cmWordBoundary", "cmLongwordBoundary"};
};
template <> struct EnumNames<TGAFitnessMethod> {
    static constexpr std::string_view Values[] = {"fmMinimize", "fmMaximize", "fmWeightedMinimize",
                                                  "fmWeightedMaximize"};
};
template <> struct EnumNames<TGASelectionMethod> {
    static constexpr std::string_view Values[] = {"smRoulette", "smRandom", "smTournament",
                                                  "smStochasticTournament", "smElitist", "smCustom"};
};
template <> struct EnumNames<TGAGeneticOperation> {
    static constexpr std::string_view Values[] = {"goCrossover", "goMutate", "goInvert"};
};
template <> struct EnumNames<TExecutionState> {
    static constexpr std::string_view Values[] = {"esInitializing", "esInitialized", "esEncoding", "esEncoded",
                                                  "esExecuting", "esInvalidOperation", "esInvalidState",
                                                  "esError", "esFinishing", "esFinished"};
};
template <> struct EnumNames<TExecutionLimit> {
    static constexpr std::string_view Values[] = {"elNumberOfSteps", "elNumberOfMilliseconds", "elNone"};
};
template <> struct EnumNames<TGPGeneticInstruction> {
    static constexpr std::string_view Values[] = {"gpVariable", "gpConstant", "gpFunction"};
};
template <> struct EnumNames<TGPCrossoverMethod> {
    static constexpr std::string_view Values[] = {"cmSubtree"};
};
template <> struct EnumNames<TGPMutationMethod> {
    static constexpr std::string_view Values[] = {"mmSubtree", "mmReplacement", "mmConstant",
                                                  "mmShrink", "mmHoist", "mmPoint"};
};
template <> struct EnumNames<TGPPointMutationMethod> {
    static constexpr std::string_view Values[] = {"pmmPerNode", "pmmPerTree"};
};
template <> struct EnumNames<TGPInitializationMethod> {
    static constexpr std::string_view Values[] = {"imFull", "imGrow", "imRampedFull", "imRampedGrow",
                                                  "imHalfAndHalf", "imRampedHalfAndHalf"};
};
template <> struct EnumNames<TGPBloatStrategy> {
    static constexpr std::string_view Values[] = {
        "bsNone", "bsSizeLimit", "bsDepthLimit", "bsTarpeianSize", "bsTarpeianDepth", "bsUnfitSize",
        "bsUnfitDepth", "bsShrinkDepth", "bsShrinkSize", "bsHoistDepth", "bsHoistSize",
        "bsSizeFairCrossover", "bsDepthFairCrossover", "bsSizeParsimonyPressure", "bsDepthParsimonyPressure",
        "bsCovariantSizeParsimonyPressure", "bsCovariantDepthParsimonyPressure",
        "bsLexicographicParsimonyPressure"};
};

} // namespace ax
