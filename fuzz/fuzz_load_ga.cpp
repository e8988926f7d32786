// libFuzzer target: any bytes given to a genetic algorithm's LoadFromStream.
//
// A load either succeeds or raises one of the library's exceptions; anything else (a
// crash, a sanitizer report, a foreign exception) is a finding. After a successful load
// the component must save, and what it saved must load into a fresh component. Saving
// normalizes once (a GeneSize wider than the genes is saved at the genes' width), so the
// second save must be a fixed point: loading it and saving again gives the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "axgenetic/ga/genetic_algorithm.hpp"
#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/xml/genetic_algorithm_xml.hpp"

namespace {

// Chromosomes are as long as the document says; the target skips documents that ask
// for more bits than a run can afford to allocate for every chromosome.
constexpr std::int64_t MaxBits = 1 << 16;

bool AffordableSizes(const std::string& Text) {
    try {
        const ax::IXMLGeneticAlgorithmType Root =
            ax::GetGeneticAlgorithm(ax::LoadXMLDocumentFromText(Text));
        const ax::IXMLGenoTypeType GenoType(Root.Domain().GenoType());
        std::int64_t Total = GenoType.Size();
        if (Total > MaxBits) return false;
        std::int64_t Genes = 0;
        for (const ax::IXMLNode& Gene : GenoType.ChildElements()) {
            const std::int64_t Size = ax::IXMLGeneType(Gene).Size();
            Genes += Size < 0 ? -Size : Size;
            // Enumeration genes size themselves from their values.
            Genes += 32;
            if (Genes > MaxBits) return false;
        }
    } catch (const ax::Exception&) {
        return true; // the load itself must refuse it
    }
    return true;
}

void CountOnes(ax::TAxCustomGeneticComponent& GA) {
    GA.SetOnEvaluateFitness([](ax::TObject*, ax::TAxIndividual* Item, ax::TGAFitness& Fitness) {
        const ax::TAxGABits& Bits = static_cast<ax::TAxGAIndividual*>(Item)->Bits();
        Fitness = 0;
        for (int I = 0; I < Bits.Size(); ++I)
            Fitness += Bits.Test(I) ? 1 : 0;
    });
}

std::string Saved(ax::TAxCustomGeneticComponent& GA) {
    std::ostringstream Out;
    GA.SaveToStream(Out);
    return Out.str();
}

// What a fresh component saves after loading Text.
std::string Reloaded(const std::string& Text) {
    ax::TAxGeneticAlgorithm GA;
    CountOnes(GA);
    std::istringstream In(Text);
    GA.LoadFromStream(In);
    GA.EvaluateFitness();
    return Saved(GA);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string Text(reinterpret_cast<const char*>(Data), Size);
    if (!AffordableSizes(Text)) return -1;

    std::string First;
    try {
        First = Reloaded(Text);
    } catch (const ax::Exception&) {
        return 0;
    }
    const std::string Second = Reloaded(First);
    if (Reloaded(Second) != Second) std::abort();
    return 0;
}
