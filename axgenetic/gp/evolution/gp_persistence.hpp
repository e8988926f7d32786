// Pieces of the GP document shared by the GP components and the executors.
#pragma once

#include "axgenetic/platform/export.hpp"

#include "axgenetic/gp/engine/engine.hpp"
#include "axgenetic/gp/evolution/gp_individual.hpp"
#include "axgenetic/platform/streaming.hpp"
#include "axgenetic/xml/gp_domain_xml.hpp"

namespace ax {

// Raises what loading the domain's instructions and then the programs of its population
// would raise (see CheckProgramXML); MaxChildren is that of the engine's node class.
template <class T> AXGENETIC_API void CheckGPDomainXML(const IXMLGPDomainType& Domain, int MaxChildren);
// 2 when the engine makes binary nodes, -1 (any number) otherwise.
template <class T> AXGENETIC_API int MaxChildrenOf(IAxGeneticProgramEngine<T>& Engine);
// Name, Fitness (single precision; evaluated first when stale) and DNA.
template <class T>
AXGENETIC_API void SaveGPIndividualXML(TAxGPIndividual<T>& Individual, const IXMLIndividualType& Element);
// Name and DNA (the fitness is not read, the individual is stale). A root without
// instruction first takes the one the DNA element names, from Instructions. The DNA must
// have passed CheckGPDomainXML against the instructions now in the set.
template <class T>
AXGENETIC_API void LoadGPIndividualXML(TAxGPIndividual<T>& Individual, TAxGPInstructions<T>& Instructions,
                         const IXMLIndividualType& Element);

// The published properties of the GP components hosts place.
template <class T> AXGENETIC_API void PublishGeneticProgramming(TPublishedProperties& List);

} // namespace ax
