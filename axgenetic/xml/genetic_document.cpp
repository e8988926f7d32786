#include "axgenetic/xml/genetic_document.hpp"

namespace ax {

IXMLGeneticDocumentType NewGeneticDocument() {
    return IXMLGeneticDocumentType(AddDocumentElement(NewXMLDocument(), GeneticDocumentTag));
}

IXMLGeneticDocumentType LoadGeneticDocument(const std::string& FileName) {
    return GetGeneticDocument(LoadXMLDocumentFromFile(FileName));
}

IXMLGeneticDocumentType LoadGeneticDocument(std::istream& Stream) {
    return GetGeneticDocument(LoadXMLDocument(Stream));
}

IXMLGeneticDocumentType GetGeneticDocument(const TXMLDocumentPtr& Document) {
    return IXMLGeneticDocumentType(BindDocumentElement(Document, GeneticDocumentTag));
}

} // namespace ax
