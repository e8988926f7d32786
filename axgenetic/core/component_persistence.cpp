// Entry points of the component's XML documents, files, streams and description.
#include <istream>
#include <ostream>

#include "axgenetic/core/genetic_component.hpp"
#include "axgenetic/platform/exceptions.hpp"

namespace ax {

void TAxPopulation::LoadFromXML(const IXMLNode&) {
    throw Exception("TAxPopulation.LoadFromXML is not available yet");
}

void TAxPopulation::SaveToXML(const IXMLNode&) {
    throw Exception("TAxPopulation.SaveToXML is not available yet");
}

void TAxCustomGeneticComponent::SaveToXML(const IXMLGeneticDocumentType&) {
    throw Exception("TAxCustomGeneticComponent.SaveToXML is not available yet");
}

void TAxCustomGeneticComponent::LoadFromXML(const IXMLGeneticDocumentType&) {
    throw Exception("TAxCustomGeneticComponent.LoadFromXML is not available yet");
}

void TAxCustomGeneticComponent::SaveToFile(const std::string&) {
    throw Exception("TAxCustomGeneticComponent.SaveToFile is not available yet");
}

void TAxCustomGeneticComponent::SaveToStream(std::ostream&) {
    throw Exception("TAxCustomGeneticComponent.SaveToStream is not available yet");
}

void TAxCustomGeneticComponent::LoadFromFile(const std::string&) {
    throw Exception("TAxCustomGeneticComponent.LoadFromFile is not available yet");
}

void TAxCustomGeneticComponent::LoadFromStream(std::istream&) {
    throw Exception("TAxCustomGeneticComponent.LoadFromStream is not available yet");
}

void TAxCustomGeneticComponent::Describe(TStringList&, const std::string&) const {
    throw Exception("TAxCustomGeneticComponent.Describe is not available yet");
}

std::string TAxCustomGeneticComponent::ToString() const {
    throw Exception("TAxCustomGeneticComponent.ToString is not available yet");
}

} // namespace ax
