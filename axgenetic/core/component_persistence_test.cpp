#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>

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

std::string Doc(const std::string& Children) {
    return "<GeneticDocument>" + Children + "</GeneticDocument>";
}

std::string ReadFile(const fs::path& Name) {
    std::ifstream In(Name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), {});
}

// Fails after part of its document is written, as a derived component might.
class TFailingComponent : public TAxCustomGeneticComponent {
public:
    void SaveToXML(const IXMLGeneticDocumentType& Document) override {
        TAxCustomGeneticComponent::SaveToXML(Document);
        throw EConvertError("cannot save");
    }
};

TEST(ComponentDocument, FreshDocumentListsTheDefaults) {
    TAxCustomGeneticComponent C;
    std::string Elements;
    for (IXMLNode Child : GetGeneticDocument(LoadXMLDocumentFromText(Saved(C))).ChildElements())
        Elements += Child.NodeName() + "=" + Child.Text() + " ";
    EXPECT_EQ(Elements, "DiversityLimit=0.02 FitnessCutoff=1 FitnessMethod=fmMinimize "
                        "Generation=0 UseDiversityLimit=False UseFitnessCutoff=False "
                        "GenerationLimit=0 UseGenerationLimit=False AvgFitness=0 MaxFitness=0 "
                        "MinFitness=0 ");
    TAxCustomGeneticComponent Loaded;
    Load(Loaded, Saved(C));
    EXPECT_EQ(Loaded.GenerationLimit(), 1); // 0 is raised by the setter
}

TEST(ComponentDocument, SettingsRoundTrip) {
    TAxCustomGeneticComponent C, Loaded;
    C.SetDiversityLimit(0.3), C.SetFitnessCutoff(0.1), C.SetGeneration(17);
    C.SetFitnessMethod(TGAFitnessMethod::fmWeightedMaximize);
    C.SetUseDiversityLimit(true), C.SetUseFitnessCutoff(true), C.SetUseGenerationLimit(true);
    C.SetGenerationLimit(50), C.SetCrossoverProbability(0.5);
    Load(Loaded, Saved(C));
    // The crossover probability is the derived documents' business.
    EXPECT_EQ(
        std::tuple(Loaded.DiversityLimit(), Loaded.FitnessCutoff(), Loaded.FitnessMethod(),
                   Loaded.Generation(), Loaded.GenerationLimit(), Loaded.CrossoverProbability()),
        std::tuple(double(0.3f), double(0.1f), TGAFitnessMethod::fmWeightedMaximize, 17, 50, 0.98));
    EXPECT_TRUE(Loaded.UseDiversityLimit() && Loaded.UseFitnessCutoff() &&
                Loaded.UseGenerationLimit());
    EXPECT_EQ(Saved(Loaded), Saved(C));
}

TEST(ComponentDocument, MissingElementsReadAsDefaults) {
    TAxCustomGeneticComponent C;
    C.SetFitnessMethod(TGAFitnessMethod::fmMaximize);
    C.SetGeneration(4), C.SetUseDiversityLimit(true);
    Load(C,
         Doc("<UseFitnessCutoff>TRUE</UseFitnessCutoff><UseDiversityLimit>yes</UseDiversityLimit>"
             "<FitnessMethod>fmSomething</FitnessMethod><GenerationLimit>7</GenerationLimit>"
             "<AvgFitness>not read</AvgFitness>"));
    // Missing elements read as the default; an unknown method name keeps the method.
    EXPECT_EQ(std::tuple(C.DiversityLimit(), C.Generation(), C.UseFitnessCutoff(),
                         C.UseDiversityLimit(), C.FitnessMethod(), C.GenerationLimit()),
              std::tuple(0.0, 0, true, false, TGAFitnessMethod::fmMaximize, 7));
    Load(C,
         Doc("<DiversityLimit>5</DiversityLimit><FitnessMethod>fmweightedminimize</FitnessMethod>"
             "<GenerationLimit>4294967295</GenerationLimit><Generation>3</Generation>"));
    EXPECT_EQ(std::tuple(C.DiversityLimit(), C.FitnessMethod(), C.GenerationLimit()),
              std::tuple(1.0, TGAFitnessMethod::fmWeightedMinimize, 2147483647));
}

TEST(ComponentDocument, BadInputChangesNothing) {
    TAxCustomGeneticComponent C;
    C.SetFitnessMethod(TGAFitnessMethod::fmMaximize);
    C.SetGeneration(4), C.SetUseDiversityLimit(true);
    const std::string Before = Saved(C);
    for (const std::string& Bad :
         {Before.substr(0, Before.size() / 2), std::string(), std::string("not xml"),
          std::string("<GeneticAlgorithm><Generation>9</Generation></GeneticAlgorithm>")})
        EXPECT_THROW(Load(C, Bad), EXMLParseError) << Bad;
    for (const char* Bad : {"<DiversityLimit>0.5</DiversityLimit><Generation>twelve</Generation>",
                            "<Generation>8</Generation><FitnessCutoff>1.2.3</FitnessCutoff>"})
        EXPECT_THROW(Load(C, Doc(Bad)), EConvertError) << Bad;
    EXPECT_THROW(C.LoadFromFile("/nonexistent/axgenetic/doc.xml"), EFOpenError);
    EXPECT_EQ(Saved(C), Before);
}

TEST(ComponentFiles, SaveReplacesOnlyOnSuccess) {
    const fs::path Dir = fs::temp_directory_path() / "axgenetic_component_files";
    fs::remove_all(Dir);
    fs::create_directories(Dir);
    const std::string Name = (Dir / "settings.xml").string();
    const auto Entries = [&] { return std::distance(fs::directory_iterator(Dir), {}); };
    TAxCustomGeneticComponent C, Loaded;
    C.SetGeneration(11);
    std::ofstream(Name) << "previous contents";
    C.SaveToFile(Name);
    EXPECT_EQ(ReadFile(Name), Saved(C));
    Loaded.LoadFromFile(Name);
    EXPECT_EQ(Loaded.Generation(), 11);

    // A failed save keeps the previous file and leaves no temporary behind.
    const std::string Previous = ReadFile(Name);
    TFailingComponent Failing;
    EXPECT_THROW(Failing.SaveToFile(Name), EConvertError);
    try {
        C.SaveToFile((Dir / "missing" / "x.xml").string());
        ADD_FAILURE();
    } catch (const EFCreateError& E) {
        EXPECT_EQ(std::string(E.what()), "Cannot create file \"" +
                                             (Dir / "missing" / "x.xml").string() +
                                             "\". No such file or directory");
    }
    fs::permissions(Name, fs::perms::owner_read, fs::perm_options::replace);
    if (!std::ofstream(Name, std::ios::app).is_open()) { // not so for the super-user
        EXPECT_THROW(C.SaveToFile(Name), EFCreateError);
    }
    EXPECT_EQ(ReadFile(Name), Previous);
    EXPECT_EQ(Entries(), 1);

    // Saving through symbolic links (a chain, one relative) writes the file they lead to.
    fs::permissions(Name, fs::perms::owner_all, fs::perm_options::replace);
    fs::create_symlink("settings.xml", Dir / "link1");
    fs::create_symlink(Dir / "link1", Dir / "link2");
    C.SetGeneration(12);
    C.SaveToFile((Dir / "link2").string());
    EXPECT_TRUE(fs::is_symlink(Dir / "link2") && fs::is_symlink(Dir / "link1"));
    EXPECT_EQ(ReadFile(Name), Saved(C));
    EXPECT_EQ(Entries(), 3);
    fs::remove_all(Dir);
}

TEST(ComponentDescription, Lines) {
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
    C.SetUseGenerationLimit(true), C.SetGenerationLimit(50);
    TStringList Lines;
    Lines.Add("kept");
    C.Describe(Lines, "\t");
    ASSERT_EQ(Lines.Count(), 11);
    EXPECT_EQ(Lines[0], "kept");
    EXPECT_EQ(Lines[10], "\tMaximum number of generations = 50");

    C.SetFitnessMethod(TGAFitnessMethod::fmWeightedMaximize);
    C.SetUseFitnessCutoff(true), C.SetFitnessCutoff(0.5), C.SetUseDiversityLimit(true);
    C.SetMutationProbability(0.125), C.SetCrossoverProbability(0.987);
    const std::string Text = C.ToString();
    // Percentages keep two significant digits.
    EXPECT_NE(Text.find("   Crossover Probability = 99.00%\n"), std::string::npos);
    EXPECT_NE(Text.find("   Mutation Probability = 13.00%\n"), std::string::npos);
    EXPECT_EQ(Text.substr(Text.find("Termination")),
              "Termination Conditions\n   Fitness >= 0.5\n   Diversity less than 2.00%\n"
              "   Maximum number of generations = 50\n");
    C.SetFitnessMethod(TGAFitnessMethod::fmWeightedMinimize);
    EXPECT_NE(C.ToString().find("   Fitness <= 0.5\n"), std::string::npos);
}

// GA1 with its changed settings and an event handler, as text.
std::string StreamedGA1() {
    TAxCustomGeneticComponent C;
    C.SetName("GA1"), C.SetCrossoverProbability(0), C.SetMutationProbability(0.25);
    C.SetSelectionMethod(TGASelectionMethod::smElitist);
    C.SetOnEvaluateFitness([](TObject*, TAxIndividual*, TGAFitness& F) { F = 1; });
    std::ostringstream Out;
    WriteComponentText(Out, C);
    return Out.str();
}

TEST(ComponentStreaming, WritesFloatSettingsAsDefinedPropertiesButNoEvents) {
    TAxCustomGeneticComponent C;
    std::ostringstream Fresh;
    WriteComponentText(Fresh, C);
    EXPECT_EQ(Fresh.str(), "object TAxCustomGeneticComponent\nend\n");
    EXPECT_EQ(StreamedGA1(), "object GA1: TAxCustomGeneticComponent\n"
                             "  MutationProbability = 0.25\n"
                             "  SelectionMethod = smElitist\n"
                             "  CrossoverProbability = 0\n"
                             "  MutationProbability = 0.25\n"
                             "end\n");
}

TEST(ComponentStreaming, ReadSetsPropertiesThroughTheirSetters) {
    TAxCustomGeneticComponent Loaded;
    std::istringstream In(StreamedGA1()), Clamped("object TAxCustomGeneticComponent\n"
                                                  "  CrossoverProbability = 1.5\n"
                                                  "  TournamentField = 1\nend\n");
    ReadComponentText(In, Loaded);
    EXPECT_EQ(std::tuple(Loaded.Name(), Loaded.CrossoverProbability(), Loaded.SelectionMethod()),
              std::tuple("GA1", 0.0, TGASelectionMethod::smElitist));
    EXPECT_FALSE(Loaded.OnEvaluateFitness());
    ReadComponentText(Clamped, Loaded);
    EXPECT_EQ(std::pair(Loaded.CrossoverProbability(), Loaded.TournamentField()),
              std::pair(1.0, 2));
}

TEST(PopulationDocument, OneElementPerIndividual) {
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
    P.LoadFromXML(GetGeneticDocument(
        LoadXMLDocumentFromText("<GeneticDocument><a/><!-- note --><b/><c/></GeneticDocument>")));
    EXPECT_EQ(P.Count(), 3);
    P.Items(0)->SetName("not a name");
    EXPECT_THROW(P.SaveToXML(NewGeneticDocument()), EXMLParseError);
}

} // namespace
} // namespace ax
