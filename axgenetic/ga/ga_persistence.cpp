// XML save and load of the genetic algorithm, its individuals and populations.
#include "axgenetic/ga/genetic_algorithm.hpp"
#include "axgenetic/platform/exceptions.hpp"

namespace ax {

namespace {
[[noreturn]] void NotAvailable(const char* What) {
    throw Exception(std::string(What) + " is not available yet");
}
} // namespace

void TAxGAIndividual::LoadFromXML(const IXMLNode&) {
    NotAvailable("Loading a GA individual from XML");
}
void TAxGAIndividual::SaveToXML(const IXMLNode&) {
    NotAvailable("Saving a GA individual to XML");
}
void TAxGAPopulation::LoadFromXML(const IXMLNode&) {
    NotAvailable("Loading a GA population from XML");
}
void TAxGAPopulation::SaveToXML(const IXMLNode&) {
    NotAvailable("Saving a GA population to XML");
}

void TAxCustomGeneticAlgorithm::SaveToXML(const IXMLGeneticDocumentType&) {
    NotAvailable("Saving a genetic algorithm to XML");
}
void TAxCustomGeneticAlgorithm::LoadFromXML(const IXMLGeneticDocumentType&) {
    NotAvailable("Loading a genetic algorithm from XML");
}
void TAxCustomGeneticAlgorithm::SaveToStream(std::ostream&) {
    NotAvailable("Saving a genetic algorithm");
}
void TAxCustomGeneticAlgorithm::LoadFromStream(std::istream&) {
    NotAvailable("Loading a genetic algorithm");
}
void TAxCustomGeneticAlgorithm::LoadFromFile(const std::string&) {
    NotAvailable("Loading a genetic algorithm");
}

} // namespace ax
