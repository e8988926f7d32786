#include "axgenetic/xml/genetic_algorithm_xml.hpp"

namespace ax {

IXMLGeneticAlgorithmType NewGeneticAlgorithm() {
    return IXMLGeneticAlgorithmType(AddDocumentElement(NewXMLDocument(), GeneticAlgorithmTag));
}

IXMLGeneticAlgorithmType LoadGeneticAlgorithm(const std::string& FileName) {
    return GetGeneticAlgorithm(LoadXMLDocumentFromFile(FileName));
}

IXMLGeneticAlgorithmType LoadGeneticAlgorithm(std::istream& Stream) {
    return GetGeneticAlgorithm(LoadXMLDocument(Stream));
}

IXMLGeneticAlgorithmType GetGeneticAlgorithm(const TXMLDocumentPtr& Document) {
    return IXMLGeneticAlgorithmType(BindDocumentElement(Document, GeneticAlgorithmTag));
}

// Each kind of domain document is bound the same way; only the root name differs.
#define AX_DOMAIN_DOCUMENT(View, Kind, Tag)                                                        \
    View New##Kind() {                                                                             \
        return View(AddDocumentElement(NewXMLDocument(), Tag));                                    \
    }                                                                                              \
    View Load##Kind(const std::string& FileName) {                                                 \
        return Get##Kind(LoadXMLDocumentFromFile(FileName));                                       \
    }                                                                                              \
    View Load##Kind(std::istream& Stream) {                                                        \
        return Get##Kind(LoadXMLDocument(Stream));                                                 \
    }                                                                                              \
    View Get##Kind(const TXMLDocumentPtr& Document) {                                              \
        return View(BindDocumentElement(Document, Tag));                                           \
    }

AX_DOMAIN_DOCUMENT(IXMLGADomainType, GADomain, GADomainTag)
AX_DOMAIN_DOCUMENT(IXMLGenoTypeType, GenoType, GenoTypeTag)
AX_DOMAIN_DOCUMENT(IXMLChromosomesType, Chromosomes, ChromosomesTag)

#undef AX_DOMAIN_DOCUMENT

} // namespace ax
