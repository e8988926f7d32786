#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "axgenetic/core/genetic_component.hpp"
#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/streaming.hpp"
#include "axgenetic/platform/string_list.hpp"
#include "axgenetic/xml/genetic_document.hpp"

namespace ax {
namespace {

namespace fs = std::filesystem;

std::string Saved(TAxCustomGeneticComponent& C) {
    std::ostringstream Out;
    C.SaveToStream(Out);
    return Out.str();
}

void Load(TAxCustomGeneticComponent& C, const std::string& Text) {
    std::istringstream In(Text);
    C.LoadFromStream(In);
}

std::string Document(const std::string& Children) {
    return "<?xml version=\"1.0\"?><GeneticDocument>" + Children + "</GeneticDocument>";
}

std::string ReadFile(const fs::path& Name) {
    std::ifstream In(Name, std::ios::binary);
    std::ostringstream Out;
    Out << In.rdbuf();
    return Out.str();
}

// A scratch directory per test, removed afterwards.
class TScratch {
public:
    explicit TScratch(const std::string& Name)
        : FDir(fs::temp_directory_path() / ("axgenetic_" + Name)) {
        fs::remove_all(FDir);
        fs::create_directories(FDir);
    }
    ~TScratch() { fs::remove_all(FDir); }
    fs::path operator/(const std::string& Name) const { return FDir / Name; }
    int Entries() const {
        return static_cast<int>(std::distance(fs::directory_iterator(FDir), {}));
    }

private:
    fs::path FDir;
};

// Fails after part of its document is written, as a derived component might.
class TFailingComponent : public TAxCustomGeneticComponent {
public:
    void SaveToXML(const IXMLGeneticDocumentType& Document) override {
        TAxCustomGeneticComponent::SaveToXML(Document);
        throw EConvertError("cannot save");
    }
};

TEST(ComponentDocument, FreshComponentWritesElevenChildrenInOrder) {
    TAxCustomGeneticComponent C;
    EXPECT_EQ(Saved(C), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                        "<GeneticDocument>\n"
                        "  <DiversityLimit>0.02</DiversityLimit>\n"
                        "  <FitnessCutoff>1</FitnessCutoff>\n"
                        "  <FitnessMethod>fmMinimize</FitnessMethod>\n"
                        "  <Generation>0</Generation>\n"
                        "  <UseDiversityLimit>False</UseDiversityLimit>\n"
                        "  <UseFitnessCutoff>False</UseFitnessCutoff>\n"
                        "  <GenerationLimit>0</GenerationLimit>\n"
                        "  <UseGenerationLimit>False</UseGenerationLimit>\n"
                        "  <AvgFitness>0</AvgFitness>\n"
                        "  <MaxFitness>0</MaxFitness>\n"
                        "  <MinFitness>0</MinFitness>\n"
                        "</GeneticDocument>\n");

    TAxCustomGeneticComponent Loaded;
    Load(Loaded, Saved(C));
    EXPECT_EQ(Loaded.GenerationLimit(), 1);
    EXPECT_EQ(Loaded.DiversityLimit(), static_cast<double>(0.02f));
    EXPECT_EQ(Loaded.FitnessCutoff(), 1.0);
}

TEST(ComponentDocument, SettingsRoundTripAtSinglePrecisionAndOthersAreNotRead) {
    TAxCustomGeneticComponent C;
    C.SetDiversityLimit(0.3);
    C.SetFitnessCutoff(0.1);
    C.SetFitnessMethod(TGAFitnessMethod::fmWeightedMaximize);
    C.SetGeneration(17);
    C.SetUseDiversityLimit(true);
    C.SetUseFitnessCutoff(true);
    C.SetGenerationLimit(50);
    C.SetUseGenerationLimit(true);
    C.SetCrossoverProbability(0.5);
    C.SetTournamentField(5);

    TAxCustomGeneticComponent Loaded;
    Load(Loaded, Saved(C));
    EXPECT_EQ(Loaded.DiversityLimit(), static_cast<double>(0.3f));
    EXPECT_EQ(Loaded.FitnessCutoff(), static_cast<double>(0.1f));
    EXPECT_NE(Loaded.FitnessCutoff(), 0.1);
    EXPECT_EQ(Loaded.FitnessMethod(), TGAFitnessMethod::fmWeightedMaximize);
    EXPECT_EQ(Loaded.Generation(), 17);
    EXPECT_TRUE(Loaded.UseDiversityLimit());
    EXPECT_TRUE(Loaded.UseFitnessCutoff());
    EXPECT_EQ(Loaded.GenerationLimit(), 50);
    EXPECT_TRUE(Loaded.UseGenerationLimit());
    // Reproduction settings belong to the derived documents.
    EXPECT_EQ(Loaded.CrossoverProbability(), 0.98);
    EXPECT_EQ(Loaded.TournamentField(), 2);
    // Written, read, written: the same text.
    EXPECT_EQ(Saved(Loaded), Saved(C));
}

TEST(ComponentDocument, ReadRules) {
    TAxCustomGeneticComponent C;
    C.SetFitnessMethod(TGAFitnessMethod::fmMaximize);
    C.SetGeneration(4);
    C.SetUseDiversityLimit(true);
    Load(C,
         Document(
             "<UseFitnessCutoff>TRUE</UseFitnessCutoff><UseDiversityLimit>yes</UseDiversityLimit>"
             "<FitnessMethod>fmSomething</FitnessMethod><GenerationLimit>7</GenerationLimit>"
             "<AvgFitness>not read</AvgFitness>"));
    EXPECT_EQ(C.DiversityLimit(), 0.0); // missing element
    EXPECT_TRUE(C.UseFitnessCutoff());
    EXPECT_FALSE(C.UseDiversityLimit());
    EXPECT_EQ(C.FitnessMethod(), TGAFitnessMethod::fmMaximize); // unknown name: unchanged
    EXPECT_EQ(C.Generation(), 0);
    EXPECT_EQ(C.GenerationLimit(), 7);

    // Settings go through their clamping setters.
    Load(C, Document("<DiversityLimit>5</DiversityLimit><FitnessCutoff>-3.5</FitnessCutoff>"
                     "<FitnessMethod>fmweightedminimize</FitnessMethod><GenerationLimit>0</"
                     "GenerationLimit>"));
    EXPECT_EQ(C.DiversityLimit(), 1.0);
    EXPECT_EQ(C.FitnessCutoff(), -3.5);
    EXPECT_EQ(C.FitnessMethod(), TGAFitnessMethod::fmWeightedMinimize);
    EXPECT_EQ(C.GenerationLimit(), 1);
    Load(C, Document("<GenerationLimit>4294967295</GenerationLimit>"));
    EXPECT_EQ(C.GenerationLimit(), 2147483647);

    // Number text that does not convert is the platform's conversion error.
    // Number text that does not convert is the platform's conversion error, raised
    // before any setting changes.
    EXPECT_THROW(
        Load(C, Document("<DiversityLimit>0.5</DiversityLimit><Generation>twelve</Generation>")),
        EConvertError);
    EXPECT_THROW(
        Load(C, Document("<Generation>3</Generation><FitnessCutoff>1.2.3</FitnessCutoff>")),
        EConvertError);
    EXPECT_EQ(C.DiversityLimit(), 0.0);
    EXPECT_EQ(C.Generation(), 0);
}

TEST(ComponentDocument, BadStreamsAndFilesChangeNothing) {
    TAxCustomGeneticComponent C;
    C.SetGeneration(3);
    C.SetDiversityLimit(0.5);
    const std::string Before = Saved(C);
    const std::string Good = Saved(C);

    EXPECT_THROW(Load(C, Good.substr(0, Good.size() / 2)), EXMLParseError);
    EXPECT_THROW(Load(C, ""), EXMLParseError);
    EXPECT_THROW(Load(C, "<GeneticAlgorithm><Generation>9</Generation></GeneticAlgorithm>"),
                 EXMLParseError);
    EXPECT_THROW(Load(C, "not xml at all"), EXMLParseError);
    EXPECT_THROW(C.LoadFromFile("/nonexistent/axgenetic/doc.xml"), EFOpenError);
    EXPECT_EQ(Saved(C), Before);

    // A document type declaration is no obstacle.
    Load(C, "<?xml version=\"1.0\"?><!DOCTYPE "
            "GeneticDocument><GeneticDocument><Generation>8</Generation>"
            "</GeneticDocument>");
    EXPECT_EQ(C.Generation(), 8);
}

TEST(ComponentFiles, SaveReplacesOnlyOnSuccessAndLoadReadsBack) {
    TScratch Dir("component_files");
    const std::string Name = (Dir / "settings.xml").string();
    {
        std::ofstream Old(Name);
        Old << "previous contents";
    }
    TAxCustomGeneticComponent C;
    C.SetGeneration(11);
    C.SaveToFile(Name);
    EXPECT_EQ(ReadFile(Name), Saved(C));
    EXPECT_EQ(Dir.Entries(), 1);

    TAxCustomGeneticComponent Loaded;
    Loaded.LoadFromFile(Name);
    EXPECT_EQ(Loaded.Generation(), 11);

    // A save that fails half-way keeps the previous file and leaves nothing behind.
    const std::string Previous = ReadFile(Name);
    TFailingComponent Failing;
    EXPECT_THROW(Failing.SaveToFile(Name), EConvertError);
    EXPECT_EQ(ReadFile(Name), Previous);
    EXPECT_EQ(Dir.Entries(), 1);

    // A path that cannot be created.
    try {
        C.SaveToFile((Dir / "missing" / "x.xml").string());
        FAIL();
    } catch (const EFCreateError& E) {
        EXPECT_EQ(std::string(E.what()), "Cannot create file \"" +
                                             (Dir / "missing" / "x.xml").string() +
                                             "\". No such file or directory");
    }
    EXPECT_THROW(C.SaveToFile((Dir / "").string()), EFCreateError);

    // A read-only file is not replaced (unless the tests run with super-user rights).
    fs::permissions(Name, fs::perms::owner_read, fs::perm_options::replace);
    if (!std::ofstream(Name, std::ios::app).is_open()) {
        C.SetGeneration(12);
        EXPECT_THROW(C.SaveToFile(Name), EFCreateError);
        EXPECT_EQ(ReadFile(Name), Previous);
        EXPECT_EQ(Dir.Entries(), 1);
    }
    fs::permissions(Name, fs::perms::owner_all, fs::perm_options::replace);
}

TEST(ComponentDescription, LinesAndTermination) {
    TAxCustomGeneticComponent C;
    EXPECT_EQ(C.ToString(), "Operating Conditions\n"
                            "   Fitness Method = fmMinimize\n"
                            "   Crossover Probability = 98.00%\n"
                            "   Inversion Probability = 10.00%\n"
                            "   Mutation Probability = 1.00%\n"
                            "   Selection Method = smStochasticTournament\n"
                            "Initial Conditions\n"
                            "   Population = 100\n"
                            "There are no Termination Conditions\n");

    C.SetUseGenerationLimit(true);
    C.SetGenerationLimit(50);
    TStringList Lines;
    Lines.Add("kept");
    C.Describe(Lines, "\t");
    ASSERT_EQ(Lines.Count(), 11);
    EXPECT_EQ(Lines[0], "kept");
    EXPECT_EQ(Lines[9], "Termination Conditions");
    EXPECT_EQ(Lines[10], "\tMaximum number of generations = 50");

    C.SetFitnessMethod(TGAFitnessMethod::fmWeightedMaximize);
    C.SetSelectionMethod(TGASelectionMethod::smElitist);
    C.SetUseFitnessCutoff(true);
    C.SetFitnessCutoff(0.5);
    C.SetUseDiversityLimit(true);
    C.SetMutationProbability(0.125);
    C.SetInitialPopulation(7);
    EXPECT_EQ(C.ToString(), "Operating Conditions\n"
                            "   Fitness Method = fmWeightedMaximize\n"
                            "   Crossover Probability = 98.00%\n"
                            "   Inversion Probability = 10.00%\n"
                            "   Mutation Probability = 13.00%\n"
                            "   Selection Method = smElitist\n"
                            "Initial Conditions\n"
                            "   Population = 7\n"
                            "Termination Conditions\n"
                            "   Fitness >= 0.5\n"
                            "   Diversity less than 2.00%\n"
                            "   Maximum number of generations = 50\n");
    C.SetFitnessMethod(TGAFitnessMethod::fmWeightedMinimize);
    C.SetFitnessCutoff(1);
    C.SetUseDiversityLimit(false);
    C.SetUseGenerationLimit(false);
    EXPECT_EQ(C.ToString().substr(C.ToString().find("Termination")),
              "Termination Conditions\n   Fitness <= 1\n");
}

TEST(ComponentStreaming, FloatSettingsAreDefinedPropertiesAndEventsAreNotStreamed) {
    TAxCustomGeneticComponent C;
    std::ostringstream Fresh;
    WriteComponentText(Fresh, C);
    EXPECT_EQ(Fresh.str(), "object TAxCustomGeneticComponent\nend\n");

    C.SetName("GA1");
    C.SetCrossoverProbability(0);
    C.SetMutationProbability(0.25);
    C.SetInitialPopulation(30);
    C.SetOperations({TGAGeneticOperation::goMutate});
    C.SetSelectionMethod(TGASelectionMethod::smElitist);
    C.SetUseFitnessCutoff(true);
    C.SetOnEvaluateFitness([](TObject*, TAxIndividual*, TGAFitness& F) { F = 1; });
    std::ostringstream Out;
    WriteComponentText(Out, C);
    EXPECT_EQ(Out.str(), "object GA1: TAxCustomGeneticComponent\n"
                         "  InitialPopulation = 30\n"
                         "  MutationProbability = 0.25\n"
                         "  Operations = [goMutate]\n"
                         "  SelectionMethod = smElitist\n"
                         "  UseFitnessCutoff = True\n"
                         "  CrossoverProbability = 0\n"
                         "  MutationProbability = 0.25\n"
                         "end\n");

    TAxCustomGeneticComponent Loaded;
    std::istringstream In(Out.str());
    ReadComponentText(In, Loaded);
    EXPECT_EQ(Loaded.Name(), "GA1");
    EXPECT_EQ(Loaded.CrossoverProbability(), 0.0);
    EXPECT_EQ(Loaded.MutationProbability(), 0.25);
    EXPECT_EQ(Loaded.InitialPopulation(), 30);
    EXPECT_EQ(Loaded.Operations(), TGAGeneticOperations{TGAGeneticOperation::goMutate});
    EXPECT_EQ(Loaded.SelectionMethod(), TGASelectionMethod::smElitist);
    EXPECT_TRUE(Loaded.UseFitnessCutoff());
    EXPECT_FALSE(Loaded.OnEvaluateFitness());

    // Every float entry goes through its clamping setter.
    std::istringstream Clamped(
        "object TAxCustomGeneticComponent\n  CrossoverProbability = 1.5\n"
        "  DiversityLimit = -2\n  ElitistPct = 0.3\n  TournamentField = 1\nend\n");
    ReadComponentText(Clamped, Loaded);
    EXPECT_EQ(Loaded.CrossoverProbability(), 1.0);
    EXPECT_EQ(Loaded.DiversityLimit(), 0.0);
    EXPECT_EQ(Loaded.ElitistPct(), 0.3);
    EXPECT_EQ(Loaded.TournamentField(), 2);
}

TEST(PopulationDocument, OneElementPerIndividualNamedByDisplayName) {
    TAxCustomGeneticComponent C;
    TAxPopulation& P = *C.Population();
    P.Add()->SetName("first");
    P.Add();
    const IXMLGeneticDocumentType Doc = NewGeneticDocument();
    P.SaveToXML(Doc);
    std::string Names;
    for (const IXMLNode& Child : Doc.ChildElements())
        Names += Child.NodeName() + " ";
    EXPECT_EQ(Names, "first TAxIndividual ");

    // Loading replaces the individuals by one per child element.
    const IXMLGeneticDocumentType Three = GetGeneticDocument(
        LoadXMLDocumentFromText("<GeneticDocument><a/><!-- note --><b/><c/></GeneticDocument>"));
    P.LoadFromXML(Three);
    EXPECT_EQ(P.Count(), 3);
    EXPECT_EQ(P.UpdateCount(), 0);

    P.Items(0)->SetName("not a name");
    EXPECT_THROW(P.SaveToXML(NewGeneticDocument()), EXMLParseError);
}

} // namespace
} // namespace ax
