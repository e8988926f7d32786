// The component's XML document, its files and streams, and its text description.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <istream>
#include <ostream>
#include <system_error>

#include "axgenetic/core/defaults.hpp"
#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/genetic_component.hpp"
#include "axgenetic/platform/enum_names.hpp"
#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/files.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/platform/streaming.hpp"
#include "axgenetic/platform/string_list.hpp"
#include "axgenetic/platform/text.hpp"
#include "axgenetic/platform/update_guard.hpp"
#include "axgenetic/xml/genetic_document.hpp"

namespace ax {

// ---- population -------------------------------------------------------------------------

void TAxPopulation::SaveToXML(const IXMLNode& ChromosomesXML) {
    for (int I = 0; I < Count(); ++I) {
        TAxIndividual* Item = Items(I);
        Item->SaveToXML(ChromosomesXML.AddChild(Item->DisplayName()));
    }
}

void TAxPopulation::LoadFromXML(const IXMLNode& ChromosomesXML) {
    const TUpdateGuard Batch(*this);
    Clear();
    for (const IXMLNode& Child : ChromosomesXML.ChildElements())
        Add()->LoadFromXML(Child);
}

// ---- genetic document -------------------------------------------------------------------

void TAxCustomGeneticComponent::SaveToXML(const IXMLGeneticDocumentType& Document) {
    Document.SetDiversityLimit(DiversityLimit());
    Document.SetFitnessCutoff(FitnessCutoff());
    Document.SetFitnessMethod(std::string(GetEnumName(FitnessMethod())));
    Document.SetGeneration(Generation());
    Document.SetUseDiversityLimit(UseDiversityLimit());
    Document.SetUseFitnessCutoff(UseFitnessCutoff());
    Document.SetGenerationLimit(static_cast<std::uint32_t>(GenerationLimit()));
    Document.SetUseGenerationLimit(UseGenerationLimit());
    Document.SetAvgFitness(AvgFitness());
    Document.SetMaxFitness(MaxFitness());
    Document.SetMinFitness(MinFitness());
}

void TAxCustomGeneticComponent::SaveReproductionToXML(const IXMLReproductionType& Reproduction) const {
    Reproduction.SetCrossoverProbability(CrossoverProbability());
    Reproduction.SetInversionProbability(InversionProbability());
    Reproduction.SetMutationProbability(MutationProbability());
    const IXMLReproductionType_SelectionMethod Selection = Reproduction.SelectionMethod();
    Selection.SetMethod(std::string(GetEnumName(SelectionMethod())));
    Selection.SetElitistPercent(ElitistPct());
    Selection.SetTournamentField(TournamentField());
}

void TAxCustomGeneticComponent::LoadReproductionFromXML(const IXMLReproductionType& Reproduction) {
    SetCrossoverProbability(Reproduction.CrossoverProbability());
    SetInversionProbability(Reproduction.InversionProbability());
    SetMutationProbability(Reproduction.MutationProbability());
    const IXMLReproductionType_SelectionMethod Selection(Reproduction.FindChild("SelectionMethod"));
    // An unknown name would leave no selection handler.
    if (const auto Method = GetEnumValue<TGASelectionMethod>(Selection.Method()))
        SetSelectionMethod(*Method);
    SetElitistPct(Selection.ElitistPercent());
    SetTournamentField(Selection.TournamentField());
}

void TAxCustomGeneticComponent::CheckSharedDocument(const IXMLGeneticDocumentType& Document) {
    Document.CheckSharedValues();
    const IXMLReproductionType_SelectionMethod Selection(
        IXMLReproductionType(Document.FindChild("Reproduction")).FindChild("SelectionMethod"));
    if (const std::int32_t Field = Selection.TournamentField(); Field > MaxDocumentTournamentField)
        throw EGAException("TournamentField: " +
                           Format(SAboveDocumentLimit, {Field, MaxDocumentTournamentField}));
}

// Every value is read (and converted) before the first one is stored, so a document with
// a bad number changes nothing.
void TAxCustomGeneticComponent::LoadFromXML(const IXMLGeneticDocumentType& Document) {
    const double Diversity = Document.DiversityLimit();
    const double Cutoff = Document.FitnessCutoff();
    const auto Method = GetEnumValue<TGAFitnessMethod>(Document.FitnessMethod());
    const std::int32_t ReadGeneration = Document.Generation();
    const bool UseDiversity = Document.UseDiversityLimit();
    const bool UseCutoff = Document.UseFitnessCutoff();
    const std::uint32_t Limit = Document.GenerationLimit();
    const bool UseLimit = Document.UseGenerationLimit();

    SetDiversityLimit(Diversity);
    SetFitnessCutoff(Cutoff);
    if (Method) SetFitnessMethod(*Method);
    SetGeneration(ReadGeneration);
    SetUseDiversityLimit(UseDiversity);
    SetUseFitnessCutoff(UseCutoff);
    // The setter ignores a write of the current value, so a fresh component (limit 0)
    // would keep 0 from a document holding 0; a loaded limit is always at least 1.
    SetGenerationLimit(Limit == 0 ? 1
                                  : static_cast<int>(std::min<std::uint32_t>(Limit, INT32_MAX)));
    SetUseGenerationLimit(UseLimit);
}

// ---- files and streams ------------------------------------------------------------------

namespace {

// A name beside FileName that no other save of this process uses at the same time.
std::filesystem::path TemporaryFileBeside(const std::filesystem::path& FileName) {
    static std::atomic<unsigned> Counter{0};
    for (;;) {
        std::filesystem::path Candidate = FileName;
        Candidate += ".~" + IntToStr(Counter++) + ".tmp";
        std::error_code Ignored;
        if (!std::filesystem::exists(Candidate, Ignored)) return Candidate;
    }
}

// The file a save writes: FileName itself, or the file a symbolic link (or a chain of
// them) points to, so that a save through a link replaces the target and keeps the link.
std::filesystem::path SaveTarget(const std::string& FileName) {
    namespace fs = std::filesystem;
    fs::path Path = FileName;
    std::error_code Error;
    for (int Links = 0; fs::is_symlink(fs::symlink_status(Path, Error)); ++Links) {
        const fs::path Target = fs::read_symlink(Path, Error);
        if (Error || Links >= 40) break; // a loop: the create below reports it
        Path = Target.is_absolute() ? Target : Path.parent_path() / Target;
    }
    return Path;
}

[[noreturn]] void RaiseCreateError(const std::string& FileName, const std::string& Reason) {
    throw EFCreateError("Cannot create file \"" + FileName + "\". " + Reason);
}

} // namespace

// The document goes to a temporary file beside the target, which replaces the target only
// once it is completely written: a failed save never costs the user the previous file.
void SaveToFileSafely(const std::string& FileName,
                      const std::function<void(std::ostream&)>& Write) {
    namespace fs = std::filesystem;
    std::error_code Error;
    const fs::path Target = SaveTarget(FileName);
    const bool Exists = fs::exists(Target, Error);
    if (Exists) {
        // A file that may not be written is not replaced behind its owner's back.
        errno = 0;
        std::ofstream Probe(Target, std::ios::binary | std::ios::app);
        if (!Probe.is_open())
            RaiseCreateError(FileName, std::system_category().message(errno ? errno : EACCES));
    }
    const fs::path Temporary = TemporaryFileBeside(Target);
    const std::string TemporaryName = Temporary.string();
    std::ofstream Stream;
    try {
        Stream = CreateFileStream(TemporaryName);
    } catch (const EFCreateError& E) {
        std::string Message = E.what();
        const std::string Quoted = "\"" + TemporaryName + "\"";
        if (const auto At = Message.find(Quoted); At != std::string::npos)
            Message.replace(At, Quoted.size(), "\"" + FileName + "\"");
        throw EFCreateError(Message);
    }
    try {
        Write(Stream);
        Stream.close();
        if (Stream.fail()) RaiseCreateError(FileName, "The file could not be written completely");
        if (Exists) fs::permissions(Temporary, fs::status(Target).permissions(), Error);
        fs::rename(Temporary, Target, Error);
        if (Error) RaiseCreateError(FileName, Error.message());
    } catch (...) {
        if (Stream.is_open()) Stream.close();
        fs::remove(Temporary, Error);
        throw;
    }
}

void TAxCustomGeneticComponent::SaveToFile(const std::string& FileName) {
    SaveToFileSafely(FileName, [this](std::ostream& Stream) { SaveToStream(Stream); });
}

void TAxCustomGeneticComponent::SaveToStream(std::ostream& Stream) {
    const IXMLGeneticDocumentType Document = NewGeneticDocument();
    SaveToXML(Document);
    SaveXMLDocument(Document.OwnerDocument(), Stream);
}

void TAxCustomGeneticComponent::LoadFromFile(const std::string& FileName) {
    LoadFromXML(LoadGeneticDocument(FileName));
}

void TAxCustomGeneticComponent::LoadFromStream(std::istream& Stream) {
    LoadFromXML(LoadGeneticDocument(Stream));
}

// ---- property streaming -----------------------------------------------------------------

void TAxCustomGeneticComponent::GetPublishedProperties(TPublishedProperties& List) const {
    using C = TAxCustomGeneticComponent;
    TComponent::GetPublishedProperties(List);
    List.push_back(PublishedDefault("DiversityLimit", &C::DiversityLimit, &C::SetDiversityLimit,
                                    DEFAULT_DIVERSITY_LIMIT));
    List.push_back(
        PublishedDefault("ElitistPct", &C::ElitistPct, &C::SetElitistPct, DEFAULT_ELITIST_PCT));
    List.push_back(PublishedDefault("FitnessCutoff", &C::FitnessCutoff, &C::SetFitnessCutoff,
                                    DEFAULT_FITNESS_CUTOFF));
    List.push_back(PublishedDefault("FitnessMethod", &C::FitnessMethod, &C::SetFitnessMethod,
                                    TGAFitnessMethod::fmMinimize));
    List.push_back(PublishedDefault("Generation", &C::Generation, &C::SetGeneration, 0));
    List.push_back(
        PublishedDefault("GenerationLimit", &C::GenerationLimit, &C::SetGenerationLimit, 0));
    List.push_back(PublishedDefault("UseGenerationLimit", &C::UseGenerationLimit,
                                    &C::SetUseGenerationLimit, false));
    List.push_back(PublishedBounded("InitialPopulation", &C::InitialPopulation,
                                    &C::SetInitialPopulation, 100, MaxDocumentPopulation));
    List.push_back(PublishedBounded("InitialDuplicatesRetries", &C::InitialDuplicatesRetries,
                                    &C::SetInitialDuplicatesRetries, 10,
                                    MaxDocumentDuplicatesRetries));
    List.push_back(PublishedDefault("CrossoverProbability", &C::CrossoverProbability,
                                    &C::SetCrossoverProbability, CROSSOVER_PROBABILITY));
    List.push_back(PublishedDefault("InversionProbability", &C::InversionProbability,
                                    &C::SetInversionProbability, INVERSION_PROBABILITY));
    List.push_back(PublishedDefault("MutationProbability", &C::MutationProbability,
                                    &C::SetMutationProbability, MUTATION_PROBABILITY));
    List.push_back(PublishedDefault("Operations", &C::Operations, &C::SetOperations,
                                    TGAGeneticOperations{TGAGeneticOperation::goCrossover,
                                                         TGAGeneticOperation::goMutate,
                                                         TGAGeneticOperation::goInvert}));
    List.push_back(PublishedDefault("SelectionMethod", &C::SelectionMethod, &C::SetSelectionMethod,
                                    TGASelectionMethod::smStochasticTournament));
    List.push_back(PublishedBounded("TournamentField", &C::TournamentField, &C::SetTournamentField,
                                    2, MaxDocumentTournamentField));
    List.push_back(
        PublishedDefault("UseFitnessCutoff", &C::UseFitnessCutoff, &C::SetUseFitnessCutoff, false));
    List.push_back(PublishedDefault("UseDiversityLimit", &C::UseDiversityLimit,
                                    &C::SetUseDiversityLimit, false));
}

void TAxIndividual::GetPublishedProperties(TPublishedProperties& List) const {
    TCollectionItem::GetPublishedProperties(List);
    List.push_back(
        PublishedDefault("Name", &TAxIndividual::Name, &TAxIndividual::SetName, std::string()));
}

// The stream writer leaves a float of 0 out as a default; these write every value that
// differs from its default, 0 included. They have no reader: an entry of the same name
// is read as the published property, through its clamping setter.
void TAxCustomGeneticComponent::DefineProperties(TFiler& Filer) {
    TComponent::DefineProperties(Filer);
    const auto Define = [&](const char* Name, double (TAxCustomGeneticComponent::*Get)() const,
                            double Default) {
        const double Value = (this->*Get)();
        Filer.DefineProperty(
            Name, nullptr, [Value](TWriter& Writer) { Writer.WriteFloat(Value); },
            Value != Default);
    };
    Define("FitnessCutoff", &TAxCustomGeneticComponent::FitnessCutoff, DEFAULT_FITNESS_CUTOFF);
    Define("DiversityLimit", &TAxCustomGeneticComponent::DiversityLimit, DEFAULT_DIVERSITY_LIMIT);
    Define("ElitistPct", &TAxCustomGeneticComponent::ElitistPct, DEFAULT_ELITIST_PCT);
    Define("CrossoverProbability", &TAxCustomGeneticComponent::CrossoverProbability,
           CROSSOVER_PROBABILITY);
    Define("InversionProbability", &TAxCustomGeneticComponent::InversionProbability,
           INVERSION_PROBABILITY);
    Define("MutationProbability", &TAxCustomGeneticComponent::MutationProbability,
           MUTATION_PROBABILITY);
}

// ---- description ------------------------------------------------------------------------

void TAxCustomGeneticComponent::Describe(TStringList& Strings, const std::string& TabStr) const {
    const TUpdateGuard Batch(Strings);
    DescribeOperators(Strings, TabStr);
    Strings.Add(TabStr + "Selection Method = " + std::string(GetEnumName(SelectionMethod())));
    Strings.Add("Initial Conditions");
    Strings.Add(TabStr + "Population = " + IntToStr(InitialPopulation()));
    DescribeTermination(Strings, TabStr);
}

void TAxCustomGeneticComponent::DescribeOperators(TStringList& Strings,
                                                  const std::string& TabStr) const {
    const auto Percent = [](TGAProbability P) { return PercentToStr(P) + "%"; };
    Strings.Add("Operating Conditions");
    Strings.Add(TabStr + "Fitness Method = " + std::string(GetEnumName(FitnessMethod())));
    Strings.Add(TabStr + "Crossover Probability = " + Percent(CrossoverProbability()));
    Strings.Add(TabStr + "Inversion Probability = " + Percent(InversionProbability()));
    Strings.Add(TabStr + "Mutation Probability = " + Percent(MutationProbability()));
}

void TAxCustomGeneticComponent::InitializeWithoutIndividuals() {
    if (Initialized()) return;
    // Initialize restarts the generation count, which keeps the count a load has just read.
    const int KeptPopulation = InitialPopulation();
    const int KeptGeneration = Generation();
    SetInitialPopulation(0);
    try {
        Initialize();
    } catch (...) {
        SetInitialPopulation(KeptPopulation);
        throw;
    }
    SetInitialPopulation(KeptPopulation);
    SetGeneration(KeptGeneration);
}

void TAxCustomGeneticComponent::DescribeTermination(TStringList& Strings,
                                                    const std::string& TabStr) const {
    const auto Percent = [](TGAProbability P) { return PercentToStr(P) + "%"; };
    if (!UseGenerationLimit() && !UseFitnessCutoff() && !UseDiversityLimit()) {
        Strings.Add("There are no Termination Conditions");
    } else {
        Strings.Add("Termination Conditions");
        if (UseFitnessCutoff()) {
            Strings.Add(TabStr + (IsMaximizing() ? "Fitness >= " : "Fitness <= ") +
                        FloatToStr(FitnessCutoff()));
        }
        if (UseDiversityLimit())
            Strings.Add(TabStr + "Diversity less than " + Percent(DiversityLimit()));
        if (UseGenerationLimit())
            Strings.Add(TabStr + "Maximum number of generations = " + IntToStr(GenerationLimit()));
    }
}

std::string TAxCustomGeneticComponent::ToString() const {
    TStringList Lines;
    Describe(Lines, "   ");
    return Lines.Text();
}

} // namespace ax
