// libFuzzer target: any bytes given to the LoadFromStream of the GP components (tree,
// binary and variant) and of the float executor.
//
// A load either succeeds or raises one of the library's exceptions; anything else (a
// crash, a sanitizer report, a foreign exception, a hang, running out of memory) is a
// finding. Every document that loads and saves must save a fixed point: it loads into a
// fresh component that saves exactly the same text. (The two normalizations a save makes:
// an instruction without a name is saved under its display name, which may merge it with
// an instruction of that name on the next load; and an instruction a document names twice
// under different kinds is made at the first element's place with the last one's kind,
// so the next load appends it elsewhere. From there on the save is a fixed point, which is
// checked instead.) Nothing is skipped for its sizes: the loader's own limits are what
// keeps a document from asking for too much.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <type_traits>

#include "axgenetic/gp/engine/program_xml.hpp"
#include "axgenetic/gp/evolution/executor.hpp"
#include "axgenetic/gp/evolution/gp_components.hpp"
#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/xml/xml_node.hpp"

namespace {

void Check(bool Holds) {
    if (!Holds) std::abort();
}

template <class C> void Prepare(C& Component) {
    if constexpr (std::is_base_of_v<ax::TAxCustomGeneticComponent, C>)
        Component.SetOnEvaluateFitness(
            [](const typename C::TIndividual& Item, ax::TGAFitness& Fitness) {
                Fitness = Item.DNA() ? Item.DNA()->Size() : 0;
            });
}

template <class C> std::string Saved(C& Component) {
    std::ostringstream Out;
    Component.SaveToStream(Out);
    return Out.str();
}

template <class C> void Load(C& Component, const std::string& Text) {
    Prepare(Component);
    std::istringstream In(Text);
    Component.LoadFromStream(In);
}

// What a fresh component saves after loading Text.
template <class C> std::string Reloaded(const std::string& Text) {
    C Component;
    Load(Component, Text);
    return Saved(Component);
}

// What a document asks for of a run's work and memory stays within the documented bounds.
template <class C> void CheckBounds(const C& Component) {
    if constexpr (std::is_base_of_v<ax::TAxCustomGeneticComponent, C>)
        Check(Component.TournamentField() <= ax::MaxDocumentTournamentField &&
              Component.InitializationDepth() <= ax::MaxProgramDepth);
}

template <class C> bool HasUnnamed(C& Component) {
    for (int I = 0; I < Component.Instructions()->Count(); ++I)
        if (Component.Instructions()->Items(I)->Name().empty()) return true;
    return false;
}

// Whether the document's instruction set names one instruction twice (letter case
// ignored, as the load compares names).
bool NamesAnInstructionTwice(const std::string& Text) {
    try {
        const ax::IXMLNode Domain =
            ax::DocumentElement(ax::LoadXMLDocumentFromText(Text)).FindChild("Domain");
        std::set<std::string> Names;
        for (const ax::IXMLNode& Element : Domain.FindChild("Instructions").ChildElements()) {
            std::string Name = Element.AttributeText("Name");
            for (char& C : Name)
                C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
            if (!Names.insert(Name).second) return true;
        }
    } catch (const ax::Exception&) {
    }
    return false;
}

template <class C> void Exercise(const std::string& Text, bool NamedTwice) {
    std::string First;
    bool Normalized = NamedTwice;
    try {
        C Component;
        Load(Component, Text);
        CheckBounds(Component);
        Normalized = Normalized || HasUnnamed(Component);
        First = Saved(Component);
    } catch (const ax::Exception&) {
        return;
    }
    const std::string Second = Reloaded<C>(First);
    Check(Normalized || Second == First);
    if (Normalized) Check(Reloaded<C>(Second) == Second);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string Text(Data, Data + Size);
    const bool NamedTwice = NamesAnInstructionTwice(Text);
    Exercise<ax::TAxGeneticProgramming>(Text, NamedTwice);
    Exercise<ax::TAxBinaryGeneticProgramming>(Text, NamedTwice);
    Exercise<ax::TAxGeneticProgrammingVariant>(Text, NamedTwice);
    Exercise<ax::TAxGeneticProgrammingExecutor>(Text, NamedTwice);
    return 0;
}
