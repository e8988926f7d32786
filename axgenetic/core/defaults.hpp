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

// The most a loaded document (XML, property stream, checkpoint) may ask for of the shared
// settings that size a run's memory (individuals) and work (draws per tournament, retries
// per individual). A host sets any value in code; a document asking for more is refused.
inline constexpr int MaxDocumentPopulation = 1'000'000;
inline constexpr int MaxDocumentTournamentField = 1'000;
inline constexpr int MaxDocumentDuplicatesRetries = 1'000;

// The execution states that count as ended. Published for hosts; the library itself
// does not read it.
inline constexpr TExecutionStates FinishedStates{TExecutionState::esInvalidOperation, TExecutionState::esInvalidState,
                                                 TExecutionState::esError, TExecutionState::esFinishing,
                                                 TExecutionState::esFinished};

// The settings of a new GP component: these, the constants above that name GP, and the
// two shared settings it starts differently, GP_CROSSOVER_PROBABILITY and
// GP_TOURNAMENT_FIELD. The members are initialized from them and the published-property
// table compares against them, so each value is written once.
inline constexpr TGPMutationMethodWeights DefaultMutationWeights{25, 0, 0, 25, 25, 0};
inline constexpr int GP_TOURNAMENT_FIELD = 7;
inline constexpr TGPCrossoverMethod DEFAULT_GP_CROSSOVER_METHOD = TGPCrossoverMethod::cmSubtree;
inline constexpr TGPInitializationMethod DEFAULT_INITIALIZATION_METHOD =
    TGPInitializationMethod::imFull;
inline constexpr int DEFAULT_INITIALIZATION_DEPTH = 0;
inline constexpr TGPPointMutationMethod DEFAULT_POINT_MUTATION_METHOD =
    TGPPointMutationMethod::pmmPerNode;
inline constexpr TGAProbability DEFAULT_POINT_MUTATION_PROBABILITY = 0.1;
inline constexpr TGPBloatStrategy DEFAULT_BLOAT_STRATEGY = TGPBloatStrategy::bsNone;
inline constexpr int DEFAULT_BLOAT_LIMIT = 10;

} // namespace ax
