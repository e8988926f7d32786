// Initial settings of the components; the property streaming compares against them to
// decide whether a value is stored.
#pragma once

#include "axgenetic/core/types.hpp"

namespace ax {

inline constexpr TGAProbability CROSSOVER_PROBABILITY = 0.98;
inline constexpr TGAProbability GP_CROSSOVER_PROBABILITY = 0.9;
inline constexpr TGAProbability DEFAULT_ELITIST_PCT = 0.1;
inline constexpr TGAFitness DEFAULT_FITNESS_CUTOFF = 1.0;
inline constexpr TGAProbability DEFAULT_DIVERSITY_LIMIT = 0.02;
inline constexpr TGAProbability MUTATION_PROBABILITY = 0.01;
inline constexpr TGAProbability INVERSION_PROBABILITY = 0.1;
inline constexpr TGAProbability NONTERMINALS_SELECTION_PROBABILITY = 0.9;
inline constexpr TGAFloat DEFAULT_PARSIMONY_COEFFICIENT = 1.0;
inline constexpr TGAProbability DEFAULT_TARPEIAN_PROBABILITY = 0.3;
inline constexpr TGAProbability DEFAULT_ADAPTION_SAMPLE_SIZE = 0.25;

// The execution states that count as ended. Published for hosts; the library itself
// does not read it.
inline constexpr TExecutionStates FinishedStates{TExecutionState::esInvalidOperation, TExecutionState::esInvalidState,
                                                 TExecutionState::esError, TExecutionState::esFinishing,
                                                 TExecutionState::esFinished};

inline constexpr TGPMutationMethodWeights DefaultMutationWeights{25, 0, 0, 25, 25, 0};

} // namespace ax
