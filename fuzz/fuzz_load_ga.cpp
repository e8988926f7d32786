// libFuzzer target: any bytes given to a genetic algorithm's LoadFromStream.
//
// A load either succeeds or raises one of the library's exceptions; anything else (a
// crash, a sanitizer report, a foreign exception, a hang, running out of memory) is a
// finding. Every document that loads must save, and that save must be a fixed point: it
// loads into a fresh component that saves exactly the same text. (The one normalization
// a save makes: a component whose GeneSize is wider than its genes saves the genes'
// width, so its first save loads narrower; from there on the save is a fixed point,
// which is checked instead.) The XML layer itself
// gets the same treatment: every accepted document is written, and the written text must
// parse and be written again unchanged. Nothing is skipped for its sizes: the loader's
// own limits are what keeps a document from asking for too much.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "axgenetic/ga/genetic_algorithm.hpp"
#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/xml/xml_node.hpp"

namespace {

void CountOnes(ax::TAxGeneticAlgorithm& GA) {
    GA.SetOnEvaluateFitness([](const ax::TAxGAIndividual& Item, ax::TGAFitness& Fitness) {
        const ax::TAxGABits& Bits = Item.Bits();
        Fitness = 0;
        for (const ax::TBits::Word W : Bits.Words())
            Fitness += __builtin_popcountll(W);
    });
}

std::string Saved(ax::TAxGeneticAlgorithm& GA) {
    GA.EvaluateFitness();
    std::ostringstream Out;
    GA.SaveToStream(Out);
    return Out.str();
}

void Load(ax::TAxGeneticAlgorithm& GA, const std::string& Text) {
    CountOnes(GA);
    std::istringstream In(Text);
    GA.LoadFromStream(In);
}

// What a fresh component saves after loading Text.
std::string Reloaded(const std::string& Text) {
    ax::TAxGeneticAlgorithm GA;
    Load(GA, Text);
    return Saved(GA);
}

void Check(bool Holds) {
    if (!Holds) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string Text(Data, Data + Size);

    // The XML layer alone: what it accepts it writes as a fixed point.
    try {
        const std::string Written = ax::SaveXMLDocumentToText(ax::LoadXMLDocumentFromText(Text));
        Check(ax::SaveXMLDocumentToText(ax::LoadXMLDocumentFromText(Written)) == Written);
    } catch (const ax::Exception&) {
    }

    std::string First;
    bool Wider = false;
    try {
        ax::TAxGeneticAlgorithm GA;
        Load(GA, Text);
        // What a document asks for of a run's work stays within the documented bound.
        Check(GA.TournamentField() <= ax::MaxDocumentTournamentField);
        Wider = GA.Genes()->GetSize() != 0 && GA.GeneSize() > GA.Genes()->GetSize();
        First = Saved(GA);
    } catch (const ax::Exception&) {
        return 0;
    }
    // A loaded component saves a document that loads back to the same save.
    const std::string Second = Reloaded(First);
    Check(Wider || Second == First);
    if (Wider) Check(Reloaded(Second) == Second);
    return 0;
}
