// XML save and load of the GP components, their description, and their published and
// defined properties for property streaming.
//
// Loading checks the whole document before anything of the component changes: every
// number converts, weights and arities lie in 0 to 255, every program names instructions
// the loaded set will hold, every float constant's Value is a number, no node of a binary
// component has more than two children and no tree is deeper than MaxProgramDepth. Only
// then are the settings, the instructions and the population replaced, so a document that
// fails leaves the component as it was.
#include <array>
#include <istream>
#include <memory>
#include <ostream>
#include <string_view>
#include <type_traits>

#include "axgenetic/core/defaults.hpp"
#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/gp/engine/program_xml.hpp"
#include "axgenetic/gp/evolution/gp_components.hpp"
#include "axgenetic/gp/evolution/gp_persistence.hpp"
#include "axgenetic/platform/enum_names.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/platform/streaming.hpp"
#include "axgenetic/platform/string_list.hpp"
#include "axgenetic/platform/text.hpp"
#include "axgenetic/platform/update_guard.hpp"
#include "axgenetic/xml/genetic_program_xml.hpp"

namespace ax {

namespace {

constexpr std::string_view SWeightOutOfRange = "Mutation weight %d of \"%s\" is outside 0 to 255";

constexpr std::array<TGPMutationMethod, 6> MutationMethods = {
    TGPMutationMethod::mmSubtree, TGPMutationMethod::mmReplacement, TGPMutationMethod::mmConstant,
    TGPMutationMethod::mmShrink,  TGPMutationMethod::mmHoist,       TGPMutationMethod::mmPoint};

// The document's six weights in method order, each checked to lie in 0 to 255.
TGPMutationMethodWeights DocumentWeights(const IXMLGPReproductionType& Reproduction) {
    const IXMLGPReproductionType_MutationWeights Element(Reproduction.FindChild("MutationWeights"));
    const std::array<std::int32_t, 6> Values = {Element.mmSubtree(),  Element.mmReplacement(),
                                                Element.mmConstant(), Element.mmShrink(),
                                                Element.mmHoist(),    Element.mmPoint()};
    TGPMutationMethodWeights Weights{};
    for (std::size_t I = 0; I < Values.size(); ++I) {
        if (Values[I] < 0 || Values[I] > 255)
            throw EGPException(
                Format(SWeightOutOfRange, {Values[I], GetEnumName(MutationMethods[I])}));
        Weights[I] = static_cast<std::uint8_t>(Values[I]);
    }
    return Weights;
}

} // namespace

// ---- programs of a domain ---------------------------------------------------------------

template <class T> void CheckGPDomainXML(const IXMLGPDomainType& Domain, int MaxChildren) {
    const IXMLGPInstructions Instructions(Domain.FindChild("Instructions"));
    // A function with more arguments than the nodes take could never be built.
    CheckInstructionsXML(Instructions, MaxChildren >= 0 ? MaxChildren : MaxDocumentArity);
    const TGPInstructionResolver Resolve = DocumentInstructions(Instructions);
    for (const IXMLIndividualType Individual :
         IXMLGPPopulation(Domain.FindChild("Population")).Individual())
        CheckProgramXML(IXMLDnaType(Individual.FindChild("DNA")), Resolve,
                        std::is_same_v<T, TGAFloat>, MaxChildren);
}

template <class T> int MaxChildrenOf(IAxGeneticProgramEngine<T>& Engine) {
    const auto Probe = Engine.CreateNode(nullptr);
    return dynamic_cast<const TAxGPBinaryNode<T>*>(Probe.get()) ? 2 : -1;
}

template <class T>
void LoadGPIndividualXML(TAxGPIndividual<T>& Individual, TAxGPInstructions<T>& Instructions,
                         const IXMLIndividualType& Element) {
    Individual.SetName(Element.Name());
    const IXMLDnaType DNA(Element.FindChild("DNA"));
    if (TAxGPNode<T>* Root = Individual.DNA()) {
        if (!Root->Instruction()) Root->SetInstruction(Instructions.ItemByName(DNA.Instruction()));
        LoadCheckedProgramFromXML(*Root, DNA);
    }
    Individual.FlattenDNA();
}

template <class T>
void SaveGPIndividualXML(TAxGPIndividual<T>& Individual, const IXMLIndividualType& Element) {
    Element.SetName(Individual.DisplayName());
    Element.SetFitness(Individual.Fitness());
    const IXMLDnaType DNA = Element.DNA();
    if (const TAxGPNode<T>* Root = Individual.DNA()) SaveProgramToXML(*Root, DNA);
}

#define AX_GP_DOMAIN_FUNCTIONS(T)                                                                  \
    template void CheckGPDomainXML<T>(const IXMLGPDomainType&, int);                               \
    template int MaxChildrenOf(IAxGeneticProgramEngine<T>&);                                       \
    template void SaveGPIndividualXML(TAxGPIndividual<T>&, const IXMLIndividualType&);             \
    template void LoadGPIndividualXML(TAxGPIndividual<T>&, TAxGPInstructions<T>&,                  \
                                      const IXMLIndividualType&);
AX_GP_DOMAIN_FUNCTIONS(TGAFloat)
AX_GP_DOMAIN_FUNCTIONS(Variant)
#undef AX_GP_DOMAIN_FUNCTIONS

// ---- component ------------------------------------------------------------------------

namespace generics {

namespace {

// Reads every value the load will use, so that a bad one fails before anything changes.
template <class T>
void CheckGeneticProgramDocument(const IXMLGeneticProgram& Root,
                                 TAxCustomGeneticProgramming<T>& Component) {
    TAxCustomGeneticComponent::CheckSharedDocument(Root);
    const IXMLGPReproductionType Reproduction(Root.FindChild("Reproduction"));
    // Deeper initial trees than a component could save are refused; full trees grow
    // exponentially with the depth.
    if (const std::int32_t Depth = Reproduction.InitializationDepth(); Depth > MaxProgramDepth)
        throw EGPException("InitializationDepth: " +
                           Format(SAboveDocumentLimit, {Depth, MaxProgramDepth}));
    DocumentWeights(Reproduction);
    Reproduction.SelectionNonterminalsProbability();
    Reproduction.PointMutationProbability();
    CheckGPDomainXML<T>(IXMLGPDomainType(Root.FindChild("Domain")), MaxChildrenOf<T>(Component));
}

template <class E> void SetKnown(std::string_view Name, auto&& Set) {
    if (const auto Value = GetEnumValue<E>(Name)) Set(*Value);
}

} // namespace

template <class T>
void TAxCustomGeneticProgramming<T>::SaveToXML(const IXMLGeneticDocumentType& Document) {
    TAxCustomGeneticComponent::SaveToXML(Document);
    const IXMLGeneticProgram Root(Document);
    const IXMLGPReproductionType Reproduction = Root.Reproduction();
    Reproduction.SetCrossoverMethod(std::string(GetEnumName(FCrossoverMethod)));
    SaveReproductionToXML(Reproduction);
    Reproduction.SetInitializationMethod(std::string(GetEnumName(FInitializationMethod)));
    Reproduction.SetInitializationDepth(FInitializationDepth);
    const IXMLGPReproductionType_MutationWeights Weights = Reproduction.MutationWeights();
    Weights.SetmmSubtree(FMutationWeights[0]);
    Weights.SetmmReplacement(FMutationWeights[1]);
    Weights.SetmmConstant(FMutationWeights[2]);
    Weights.SetmmShrink(FMutationWeights[3]);
    Weights.SetmmHoist(FMutationWeights[4]);
    Weights.SetmmPoint(FMutationWeights[5]);
    Reproduction.SetSelectionNonterminalsProbability(FSelectionNonTerminalsProbability);
    Reproduction.SetPointMutationMethod(std::string(GetEnumName(FPointMutationMethod)));
    Reproduction.SetPointMutationProbability(FPointMutationProbability);
    SaveToXML(Root.Domain());
}

template <class T> void TAxCustomGeneticProgramming<T>::SaveToXML(const IXMLGPDomainType& Domain) {
    SaveToXML(Domain.Instructions());
    if (TIndividual* Fittest = FittestIndividual())
        SaveGPIndividualXML(*Fittest, Domain.FittestIndividual());
    const IXMLGPPopulation Population = Domain.Population();
    for (int I = 0; I < this->Population()->Count(); ++I)
        SaveGPIndividualXML(*this->Population()->Items(I), Population.Add());
}

template <class T>
void TAxCustomGeneticProgramming<T>::SaveToXML(const IXMLGPInstructions& Instructions) {
    FInstructions->SaveToXML(Instructions);
}

template <class T>
void TAxCustomGeneticProgramming<T>::LoadFromXML(const IXMLGeneticDocumentType& Document) {
    const IXMLGeneticProgram Root(Document);
    CheckGeneticProgramDocument(Root, *this);
    TAxCustomGeneticComponent::LoadFromXML(Document);
    const IXMLGPReproductionType Reproduction(Root.FindChild("Reproduction"));
    // An unknown crossover name stores a value outside the enumeration, which turns
    // crossover off; the other unknown names leave their setting as it is.
    FCrossoverMethod = GetEnumValue<TGPCrossoverMethod>(Reproduction.CrossoverMethod())
                           .value_or(static_cast<TGPCrossoverMethod>(-1));
    LoadReproductionFromXML(Reproduction);
    SetKnown<TGPInitializationMethod>(Reproduction.InitializationMethod(),
                                      [this](auto V) { SetInitializationMethod(V); });
    SetInitializationDepth(Reproduction.InitializationDepth());
    SetMutationWeights(DocumentWeights(Reproduction));
    SetSelectionNonTerminalsProbability(Reproduction.SelectionNonterminalsProbability());
    SetKnown<TGPPointMutationMethod>(Reproduction.PointMutationMethod(),
                                     [this](auto V) { SetPointMutationMethod(V); });
    SetPointMutationProbability(Reproduction.PointMutationProbability());
    LoadCheckedDomain(IXMLGPDomainType(Root.FindChild("Domain")));
}

template <class T>
void TAxCustomGeneticProgramming<T>::LoadFromXML(const IXMLGPDomainType& Domain) {
    CheckGPDomainXML<T>(Domain, MaxChildrenOf<T>(*this));
    LoadCheckedDomain(Domain);
}

template <class T>
void TAxCustomGeneticProgramming<T>::LoadCheckedDomain(const IXMLGPDomainType& Domain) {
    InitializeWithoutIndividuals();
    LoadFromXML(IXMLGPInstructions(Domain.FindChild("Instructions")));
    TAxGPPopulation<T>& Items = *Population();
    {
        const TUpdateGuard Batch(Items);
        Items.Clear();
        for (const IXMLIndividualType Individual :
             IXMLGPPopulation(Domain.FindChild("Population")).Individual())
            LoadGPIndividualXML(*Items.Add(), *FInstructions, Individual);
    }
    SetPreviousGeneration(Population());
    // The new instructions emptied the populations and marked the component for a fresh
    // start; the loaded population is where evolution goes on instead.
    FInitialized = true;
}

template <class T>
void TAxCustomGeneticProgramming<T>::LoadFromXML(const IXMLGPInstructions& Instructions) {
    FInstructions->LoadFromXML(Instructions);
}

template <class T> void TAxCustomGeneticProgramming<T>::SaveToStream(std::ostream& Stream) {
    const IXMLGeneticProgram Root = NewGeneticProgram();
    SaveToXML(static_cast<const IXMLGeneticDocumentType&>(Root));
    SaveXMLDocument(Root.OwnerDocument(), Stream);
}

template <class T> void TAxCustomGeneticProgramming<T>::SaveToFile(const std::string& FileName) {
    TAxCustomGeneticComponent::SaveToFile(FileName);
}

template <class T> void TAxCustomGeneticProgramming<T>::LoadFromStream(std::istream& Stream) {
    LoadFromXML(static_cast<const IXMLGeneticDocumentType&>(LoadGeneticProgram(Stream)));
}

template <class T> void TAxCustomGeneticProgramming<T>::LoadFromFile(const std::string& FileName) {
    LoadFromXML(static_cast<const IXMLGeneticDocumentType&>(LoadGeneticProgram(FileName)));
}

// ---- description ----------------------------------------------------------------------------

template <class T>
void TAxCustomGeneticProgramming<T>::Describe(TStringList& Strings,
                                              const std::string& TabStr) const {
    const auto Percent = [](double P) { return PercentToStr(P) + "%"; };
    const auto Names = [](const std::vector<TInstruction*>& List) {
        std::string Text;
        for (const TInstruction* Item : List) {
            if (!Text.empty()) Text += ", ";
            Text += Item->DisplayName();
            if (!Item->Comment().empty()) Text += " (" + Item->Comment() + ")";
        }
        return Text;
    };
    const TUpdateGuard Batch(Strings);
    this->DescribeOperators(Strings, TabStr);
    // With all six weights 0 no mutation method ever runs: each shows 0.00%, not 0 / 0.
    std::string Distribution;
    for (TGPMutationMethod Method : MutationMethods) {
        if (!Distribution.empty()) Distribution += ", ";
        const double Weight = MutationWeight(Method);
        const double Share = FMutationWeightsTotal == 0 ? 0.0 : Weight / FMutationWeightsTotal;
        Distribution += std::string(GetEnumName(Method)) + "(" + PercentToStr(Share) + "%)";
    }
    Strings.Add(TabStr + "Mutation Distribution = " + Distribution);
    Strings.Add(TabStr + "Selection Method = " + std::string(GetEnumName(SelectionMethod())));
    Strings.Add(TabStr + "Selection Non-terminals Probability = " +
                Percent(FSelectionNonTerminalsProbability));
    if (FBloatStrategy != TGPBloatStrategy::bsNone) {
        Strings.Add(TabStr +
                    "Anti-Bloating Strategy = " + std::string(GetEnumName(FBloatStrategy)));
        Strings.Add(TabStr + "Anti-Bloating Limit = " + IntToStr(FBloatLimit));
        if (const std::string Note = BloatStrategyNote(); !Note.empty())
            Strings.Add(TabStr + "Anti-Bloating Note = " + Note);
    }
    Strings.Add(TabStr + "Terminals (" + IntToStr(GetTerminalsCount()) + ") " + Names(FTerminals));
    Strings.Add(TabStr + "Functions (" + IntToStr(GetFunctionsCount()) + ") " + Names(FFunctions));
    Strings.Add("Initial Conditions");
    Strings.Add(TabStr + "Population = " + IntToStr(InitialPopulation()));
    Strings.Add(TabStr + (FInitializationDepth == 0
                              ? std::string("Initial Tree Depth is based on number of operations")
                              : "Initial Tree Depth = Max of " + IntToStr(FInitializationDepth)));
    Strings.Add(TabStr +
                "Initialization Method = " + std::string(GetEnumName(FInitializationMethod)));
    DescribeTermination(Strings, TabStr);
}

// ---- property streaming -----------------------------------------------------------------

template <class T> void TAxCustomGeneticProgramming<T>::DefineProperties(TFiler& Filer) {
    TAxCustomGeneticComponent::DefineProperties(Filer);
    const auto Define = [&](const char* Name, double Value, double Default,
                            TFiler::TReaderProc Read) {
        Filer.DefineProperty(
            Name, std::move(Read), [Value](TWriter& Writer) { Writer.WriteFloat(Value); },
            Value != Default);
    };
    Define("SelectionNonTerminalsProbability", FSelectionNonTerminalsProbability,
           NONTERMINALS_SELECTION_PROBABILITY, nullptr);
    Define("ParsimonyCoefficient", FParsimonyCoefficient, DEFAULT_PARSIMONY_COEFFICIENT, nullptr);
    Define("PointMutationProbability", FPointMutationProbability,
           DEFAULT_POINT_MUTATION_PROBABILITY, nullptr);
    Define("TarpeianProbability", FTarpeianProbability, DEFAULT_TARPEIAN_PROBABILITY,
           [this](TReader& Reader) { SetTarpeianProbability(Reader.ReadFloat()); });
}

// The class itself is instantiated with the rest of its members in
// genetic_programming.cpp; these are the members defined here.
#define AX_GP_PERSISTENCE_MEMBERS(T)                                                               \
    template void TAxCustomGeneticProgramming<T>::SaveToXML(const IXMLGeneticDocumentType&);       \
    template void TAxCustomGeneticProgramming<T>::SaveToXML(const IXMLGPDomainType&);              \
    template void TAxCustomGeneticProgramming<T>::SaveToXML(const IXMLGPInstructions&);            \
    template void TAxCustomGeneticProgramming<T>::LoadFromXML(const IXMLGeneticDocumentType&);     \
    template void TAxCustomGeneticProgramming<T>::LoadFromXML(const IXMLGPDomainType&);            \
    template void TAxCustomGeneticProgramming<T>::LoadCheckedDomain(const IXMLGPDomainType&);      \
    template void TAxCustomGeneticProgramming<T>::LoadFromXML(const IXMLGPInstructions&);          \
    template void TAxCustomGeneticProgramming<T>::SaveToStream(std::ostream&);                     \
    template void TAxCustomGeneticProgramming<T>::SaveToFile(const std::string&);                  \
    template void TAxCustomGeneticProgramming<T>::LoadFromStream(std::istream&);                   \
    template void TAxCustomGeneticProgramming<T>::LoadFromFile(const std::string&);                \
    template void TAxCustomGeneticProgramming<T>::Describe(TStringList&, const std::string&)       \
        const;                                                                                     \
    template void TAxCustomGeneticProgramming<T>::DefineProperties(TFiler&);
AX_GP_PERSISTENCE_MEMBERS(TGAFloat)
AX_GP_PERSISTENCE_MEMBERS(Variant)
#undef AX_GP_PERSISTENCE_MEMBERS

} // namespace generics

// ---- published properties -----------------------------------------------------------------

// The default weight of a mutation method.
constexpr int DefaultWeight(TGPMutationMethod Method) {
    return DefaultMutationWeights[static_cast<std::size_t>(Method)];
}

template <class T> void PublishGeneticProgramming(TPublishedProperties& List) {
    using C = generics::TAxCustomGeneticProgramming<T>;
    List.push_back(PublishedDefault("BloatStrategy", &C::BloatStrategy, &C::SetBloatStrategy,
                                    DEFAULT_BLOAT_STRATEGY));
    List.push_back(
        PublishedDefault("BloatLimit", &C::BloatLimit, &C::SetBloatLimit, DEFAULT_BLOAT_LIMIT));
    List.push_back(PublishedDefault("CrossoverMethod", &C::CrossoverMethod, &C::SetCrossoverMethod,
                                    DEFAULT_GP_CROSSOVER_METHOD));
    List.push_back(PublishedDefault("InitializationMethod", &C::InitializationMethod,
                                    &C::SetInitializationMethod, DEFAULT_INITIALIZATION_METHOD));
    List.push_back(PublishedBounded("InitializationDepth", &C::InitializationDepth,
                                    &C::SetInitializationDepth, DEFAULT_INITIALIZATION_DEPTH,
                                    MaxProgramDepth));
    List.push_back(PublishedCollection("Instructions", &C::Instructions));
    List.push_back(PublishedDefault("MutateSubtreeWeight", &C::MutateSubtreeWeight,
                                    &C::SetMutateSubtreeWeight,
                                    DefaultWeight(TGPMutationMethod::mmSubtree)));
    List.push_back(PublishedDefault("MutateReplacementWeight", &C::MutateReplacementWeight,
                                    &C::SetMutateReplacementWeight,
                                    DefaultWeight(TGPMutationMethod::mmReplacement)));
    List.push_back(PublishedDefault("MutateConstantWeight", &C::MutateConstantWeight,
                                    &C::SetMutateConstantWeight,
                                    DefaultWeight(TGPMutationMethod::mmConstant)));
    List.push_back(PublishedDefault("MutateShrinkWeight", &C::MutateShrinkWeight,
                                    &C::SetMutateShrinkWeight,
                                    DefaultWeight(TGPMutationMethod::mmShrink)));
    List.push_back(PublishedDefault("MutateHoistWeight", &C::MutateHoistWeight,
                                    &C::SetMutateHoistWeight,
                                    DefaultWeight(TGPMutationMethod::mmHoist)));
    List.push_back(PublishedDefault("MutatePointWeight", &C::MutatePointWeight,
                                    &C::SetMutatePointWeight,
                                    DefaultWeight(TGPMutationMethod::mmPoint)));
    List.push_back(PublishedDefault("ParsimonyCoefficient", &C::ParsimonyCoefficient,
                                    &C::SetParsimonyCoefficient, DEFAULT_PARSIMONY_COEFFICIENT));
    List.push_back(PublishedDefault("PointMutationMethod", &C::PointMutationMethod,
                                    &C::SetPointMutationMethod, DEFAULT_POINT_MUTATION_METHOD));
    List.push_back(PublishedDefault("PointMutationProbability", &C::PointMutationProbability,
                                    &C::SetPointMutationProbability,
                                    DEFAULT_POINT_MUTATION_PROBABILITY));
    List.push_back(PublishedDefault(
        "SelectionNonTerminalsProbability", &C::SelectionNonTerminalsProbability,
        &C::SetSelectionNonTerminalsProbability, NONTERMINALS_SELECTION_PROBABILITY));
    List.push_back(PublishedDefault("TwoParentCrossover", &C::TwoParentCrossover,
                                    &C::SetTwoParentCrossover, false));
}

template void PublishGeneticProgramming<TGAFloat>(TPublishedProperties&);
template void PublishGeneticProgramming<Variant>(TPublishedProperties&);

void TAxGeneticProgramming::GetPublishedProperties(TPublishedProperties& List) const {
    TAxCustomGeneticProgramming::GetPublishedProperties(List);
    PublishGeneticProgramming<TGAFloat>(List);
}

void TAxBinaryGeneticProgramming::GetPublishedProperties(TPublishedProperties& List) const {
    TAxCustomBinaryGeneticProgramming::GetPublishedProperties(List);
    PublishGeneticProgramming<TGAFloat>(List);
}

void TAxGeneticProgrammingVariant::GetPublishedProperties(TPublishedProperties& List) const {
    TAxCustomGeneticProgrammingVariant::GetPublishedProperties(List);
    PublishGeneticProgramming<Variant>(List);
}

} // namespace ax
