#include <gtest/gtest.h>

#include <cfloat>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/messages.hpp"
#include "axgenetic/ga/genetic_algorithm.hpp"
#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/platform/random.hpp"
#include "axgenetic/platform/streaming.hpp"
#include "axgenetic/xml/genetic_algorithm_xml.hpp"

namespace ax {
namespace {

TAxGAGene* AddGene(TAxCustomGeneticAlgorithm& GA, TGeneType Type, int Size,
                   const std::string& Name = "") {
    TAxGAGene* Gene = GA.Genes()->Add();
    Gene->SetName(Name);
    Gene->SetSize(Size);
    Gene->SetGeneType(Type);
    return Gene;
}

// Fitness: the number of set bits.
void CountOnes(TAxCustomGeneticComponent& GA) {
    GA.SetOnEvaluateFitness([](TObject*, TAxIndividual* Item, TGAFitness& Fitness) {
        const TAxGABits& Bits = static_cast<TAxGAIndividual*>(Item)->Bits();
        Fitness = 0;
        for (int I = 0; I < Bits.Size(); ++I)
            Fitness += Bits.Test(I) ? 1 : 0;
    });
}

std::string Saved(TAxCustomGeneticComponent& GA) {
    std::ostringstream Out;
    GA.SaveToStream(Out);
    return Out.str();
}

void Load(TAxCustomGeneticComponent& GA, const std::string& Text) {
    std::istringstream In(Text);
    GA.LoadFromStream(In);
}

void SetBits(TAxGAIndividual* Item, const std::string& Text) {
    Item->Bits().SetAsBitString(0, Item->Bits().Size(), Text);
    Item->Modified();
}

// Element names in document order, with the text of those without children.
std::string Shape(const IXMLNode& Node) {
    if (Node.ChildElementCount() == 0) return Node.NodeName() + "=" + Node.Text() + " ";
    std::string Text = Node.NodeName() + "{ ";
    for (IXMLNode Child : Node.ChildElements())
        Text += Shape(Child);
    return Text + "} ";
}

TEST(GADocument, WritesEveryPartInOrderForALoadToRead) {
    TAxGeneticAlgorithm GA;
    CountOnes(GA);
    AddGene(GA, TGeneType::gtBoolean, 1, "flag");
    AddGene(GA, TGeneType::gtInteger, 4)->SetPreserveSignBit(true);
    AddGene(GA, TGeneType::gtBoolean, 2, "pair");
    GA.SetCrossoverMethod(TGACrossoverMethod::cmBitBoundary);
    GA.SetMutationProbability(0.05);
    GA.SetSelectionMethod(TGASelectionMethod::smRoulette);
    GA.SetInitialPopulation(2);
    RandSeed(3);
    GA.Initialize();
    GA.Population()->Items(0)->SetName("best");
    SetBits(GA.Population()->Items(0), "1111001");
    SetBits(GA.Population()->Items(1), "0010010");
    GA.EvaluateFitness();

    const std::string Text = Saved(GA);
    EXPECT_EQ(Shape(GetGeneticAlgorithm(LoadXMLDocumentFromText(Text))),
              "GeneticAlgorithm{ DiversityLimit=0.02 FitnessCutoff=1 FitnessMethod=fmMinimize "
              "Generation=0 UseDiversityLimit=False UseFitnessCutoff=False GenerationLimit=0 "
              "UseGenerationLimit=False AvgFitness=3.5 MaxFitness=5 MinFitness=2 "
              "Reproduction{ CrossoverMethod=cmBitBoundary CrossoverProbability=0.98 "
              "InversionProbability=0.1 MutationProbability=0.05 SelectionMethod{ "
              "Method=smRoulette ElitistPercent=0.1 TournamentField=2 } } "
              "Domain{ GenoType{ BooleanGene{ Name=flag Size=1 } IntegerGene{ Name=TAxGAGene "
              "Size=4 MinValue=-8 MaxValue=7 PreserveSignBit=True } BooleanGene{ Name=pair "
              "Size=2 } } FittestIndividual{ Name=TAxGAIndividual Fitness=2 Genes{ Bits=0010010 "
              "BooleanGeneValue=False IntegerGeneValue=2 BooleanGeneValue=True } } "
              "Chromosomes{ Chromosome{ Name=best Fitness=5 Genes{ Bits=1111001 "
              "BooleanGeneValue=True IntegerGeneValue=7 BooleanGeneValue=True } } "
              "Chromosome{ Name=TAxGAIndividual Fitness=2 Genes{ Bits=0010010 "
              "BooleanGeneValue=False IntegerGeneValue=2 BooleanGeneValue=True } } } } } ");
    EXPECT_NE(Text.find("<GenoType Size=\"7\">"), std::string::npos);

    TAxGeneticAlgorithm Loaded;
    Load(Loaded, Text);
    ASSERT_EQ(std::tuple(Loaded.Initialized(), Loaded.CrossoverMethod(),
                         Loaded.MutationProbability(), Loaded.SelectionMethod(), Loaded.GeneSize(),
                         Loaded.Genes()->Count(), Loaded.Population()->Count(),
                         Loaded.PreviousGeneration()->Count()),
              std::tuple(true, TGACrossoverMethod::cmBitBoundary, double(0.05f),
                         TGASelectionMethod::smRoulette, 7, 3, 2, 2));
    EXPECT_EQ(std::pair(Loaded.Genes()->Items(2)->Offset(),
                        Loaded.Population()->Items(0)->Bits().ToBitString()),
              std::pair(5, std::string("1111001")));
    EXPECT_EQ(Loaded.FittestIndividual(), nullptr);
}

TEST(GADocument, RandomComponentsRoundTripIdentically) {
    RandSeed(17);
    for (int Round = 0; Round < 25; ++Round) {
        TAxGeneticAlgorithm GA, Loaded;
        for (int G = Random(6); G > 0; --G) {
            const auto Type = static_cast<TGeneType>(1 + Random(4)); // unknown genes are not saved
            TAxGAGene* Gene = AddGene(GA, Type, 1 + Random(40), Random(2) ? "g" : "");
            for (int V = Gene->IsEnumeration() ? 1 + Random(9) : 0; V > 0; --V)
                Gene->Enumerations().Add("v" + std::to_string(V));
            if (Type == TGeneType::gtInteger || Type == TGeneType::gtFloat) {
                Gene->SetPreserveSignBit(Random(2) == 1);
                Gene->SetMaxValue(Gene->MaxValue() - Random(100));
                Gene->SetMinValue(Gene->MinValue() + Random(100));
            }
        }
        GA.SetInitialPopulation(Random(12));
        GA.SetGenerationLimit(1 + Random(50));
        GA.SetCrossoverProbability(Random());
        GA.SetTournamentField(2 + Random(5));
        GA.SetCrossoverMethod(static_cast<TGACrossoverMethod>(Random(5)));
        GA.SetOperations({TGAGeneticOperation::goMutate});
        // Enumeration genes must decode to one of their values to be saved.
        GA.SetOnEvaluateFitness([](TObject*, TAxIndividual* Item, TGAFitness& Fitness) {
            auto* Individual = static_cast<TAxGAIndividual*>(Item);
            TAxGAGenes& Genes = *Individual->Collection()->Owner()->Genes();
            for (int G = 0; G < Genes.Count(); ++G)
                if (Genes[G]->IsEnumeration())
                    Genes[G]->SetGeneAsInteger(Individual->Bits(),
                                               Genes[G]->GeneAsInteger(Individual->Bits()) %
                                                   Genes[G]->EnumerationCount());
            Fitness = Individual->Bits().Size() ? Individual->Bits().Test(0) : 0;
        });
        if (GA.GeneSize() > 0)
            GA.Evolve(2);
        else
            GA.Initialize(); // a GA without chromosome bits refuses to evolve
        Loaded.SetOnEvaluateFitness(GA.OnEvaluateFitness());
        Load(Loaded, Saved(GA));
        Loaded.EvaluateFitness(); // statistics and the fittest come from an evaluation
        // A genotype wider than its genes is saved at the genes' width.
        if (GA.GeneSize() == GA.Genes()->GetSize() || GA.Genes()->GetSize() == 0)
            EXPECT_EQ(Saved(Loaded), Saved(GA)) << "round " << Round;
        else
            EXPECT_EQ(Loaded.GeneSize(), GA.Genes()->GetSize());
    }
}

TEST(GADocument, GenotypeWiderThanItsGenesSavesTheGenesWidth) {
    TAxGeneticAlgorithm GA, Loaded;
    GA.SetGeneSize(32);
    Load(Loaded, Saved(GA));
    EXPECT_EQ(std::pair(Loaded.GeneSize(), Loaded.Genes()->Count()), std::pair(32, 0));
    // Wider than the genes: the genes' total is written, the chromosomes follow it; a
    // shorter bits text leaves the rest False.
    AddGene(GA, TGeneType::gtInteger, 8);
    SetBits(GA.Population()->Add(), std::string(32, '1'));
    std::string Text = Saved(GA);
    Load(Loaded, Text);
    EXPECT_EQ(Loaded.Population()->Items(0)->Bits().ToBitString(), "11111111");
    Load(Loaded, Text.replace(Text.find("<Bits>") + 6, 32, "101"));
    EXPECT_EQ(Loaded.Population()->Items(0)->Bits().ToBitString(), "10100000");
}

TEST(GADocument, MissingSettingsReadAsDefaultsUnknownOnesAsKept) {
    TAxGeneticAlgorithm GA;
    GA.SetCrossoverMethod(TGACrossoverMethod::cmWordBoundary);
    GA.SetSelectionMethod(TGASelectionMethod::smElitist);
    Load(GA, "<GeneticAlgorithm><Reproduction><SelectionMethod><Method>smTournament</Method>"
             "</SelectionMethod></Reproduction></GeneticAlgorithm>");
    EXPECT_EQ(
        std::tuple(GA.CrossoverMethod(), GA.SelectionMethod(), GA.CrossoverProbability(),
                   GA.TournamentField()), // missing: the default
        std::tuple(TGACrossoverMethod::cmGeneBoundary, TGASelectionMethod::smTournament, 0.0, 2));
    Load(GA, "<GeneticAlgorithm><Reproduction><SelectionMethod><Method>smNone</Method>"
             "</SelectionMethod></Reproduction></GeneticAlgorithm>");
    EXPECT_EQ(GA.SelectionMethod(), TGASelectionMethod::smTournament); // unknown: kept
}

// Stored bounds survive the type step; enumeration values arrive one at a time.
TEST(GADocument, StoredBoundsSurviveTheTypeStep) {
    TAxGeneticAlgorithm Bounds, GA;
    TAxGAGene* Narrow = AddGene(Bounds, TGeneType::gtInteger, 8);
    Narrow->SetMaxValue(100), Narrow->SetMinValue(10);
    TAxGAGene* Signed = AddGene(Bounds, TGeneType::gtFloat, 8);
    Signed->SetPreserveSignBit(true), Signed->SetMaxValue(100);
    TAxGAGene* Colours = AddGene(Bounds, TGeneType::gtEnumeration, 0);
    for (const char* C : {"red", "green", "blue"})
        Colours->Enumerations().Add(C);
    SetBits(Bounds.Population()->Add(), "001010001010000010");
    const std::string Text = Saved(Bounds);
    EXPECT_EQ(
        Shape(GetGeneticAlgorithm(LoadXMLDocumentFromText(Text)).Domain().Chromosomes()[0].Genes()),
        "Genes{ Bits=001010001010000010 IntegerGeneValue=20 FloatGeneValue=5 "
        "EnumerationGeneValue=green } ");
    Load(GA, Text);
    TAxGAGenes& Read = *GA.Genes();
    EXPECT_EQ(std::tuple(Read[0]->MinValue(), Read[0]->MaxValue(), Read[1]->MinValue(),
                         Read[1]->MaxValue(), Read[2]->Size(), Read[2]->Enumerations().Text()),
              std::tuple(10, 100, -156, 100, 2, "red\ngreen\nblue\n"));
}

// Three individuals of one 6-bit integer gene x; returns the saved document.
std::string SixBitGA(TAxGeneticAlgorithm& GA) {
    CountOnes(GA);
    AddGene(GA, TGeneType::gtInteger, 6, "x");
    GA.SetInitialPopulation(3);
    RandSeed(5);
    GA.Initialize();
    GA.SetMutationProbability(0.3);
    return Saved(GA);
}

TEST(GADocument, BadDocumentsLeaveTheComponentAsItWas) {
    TAxGeneticAlgorithm GA;
    const std::string Good = SixBitGA(GA);
    // Good with other settings (which must not reach the component) and the first From
    // behind Start replaced.
    const auto Replace = [&](const std::string& From, const std::string& To,
                             const std::string& Start = "<") {
        std::string Text = Good;
        Text.replace(Text.find("y>0.3<"), 6, "y>0.5<");
        return Text.replace(Text.find(From, Text.find(Start)), From.size(), To);
    };
    EXPECT_THROW(Load(GA, Good.substr(0, Good.size() - 40)), EXMLParseError);
    EXPECT_THROW(Load(GA, Replace("GeneticAlgorithm>", "GeneticDocument>")), EXMLParseError);
    try {
        Load(GA, Replace("<IntegerGene>", "<IntegerGene/><StringGene>")
                     .replace(Good.find("</IntegerGene>") + 9, 14, "</StringGene>"));
        ADD_FAILURE();
    } catch (const EInvalidCast& E) {
        EXPECT_EQ(std::string(E.what()), "Element \"StringGene\" is not a gene");
    }
    for (const std::string& Bad :
         {Replace("<MinValue>0<", "<MinValue>zero<"), Replace("y>0.5<", "y>0.5x<"),
          Replace("<Bits>", "<Bits>2", "<Chromosomes>"), Replace("d>2<", "d>2.5<")})
        EXPECT_THROW(Load(GA, Bad), EConvertError) << Bad;
    EXPECT_THROW(GA.LoadFromFile("/nonexistent/ga.xml"), EFOpenError);
    EXPECT_EQ(Saved(GA), Good);

    const std::string Domain =
        "<GeneticAlgorithm><Reproduction><MutationProbability>0.5</MutationProbability>"
        "</Reproduction><Domain><GenoType Size=\"%s\">%s</GenoType><Chromosomes>%s"
        "</Chromosomes></Domain></GeneticAlgorithm>";
    const auto Document = [&](const std::string& Size, const std::string& Genes, int Chromosomes) {
        std::string Items;
        for (int I = 0; I < Chromosomes; ++I)
            Items += "<Chromosome/>";
        return Format(Domain, {Size, Genes, Items});
    };
    const std::string Big = "<BooleanGene><Size>10000000</Size></BooleanGene>";
    struct TCase {
        std::string Text, Error;
    };
    const TCase Cases[] = {
        {Good + "<GeneticAlgorithm/>", "Second document element"},
        {Replace("<Name>x</Name>", "<Name>x\xC3(</Name>"), "Truncated UTF-8 sequence"},
        {Replace("<Name>x</Name>", "<Name>&x;</Name>"), "Undefined entity \"x\""},
        {Replace("<Name>x</Name>", "<Name>x\x1B</Name>"), "Character U+001B is not allowed"},
        {Replace("encoding=\"UTF-8\"", "encoding=\"KOI8-R\""), "Unsupported encoding"},
        {Replace("Size=\"6\"", "Size=\"-6\""), "Size -6 of \"GenoType\" is outside 0 to 16777216"},
        {Replace("<Size>6<", "<Size>-1<"), "Size -1 of \"IntegerGene\" is outside 0 to 16777216"},
        {Document("0", Big + Big, 1), "Chromosomes of 20000000 bits exceed the limit"},
        {Document("2147483600", "", 1), "Size 2147483600 of \"GenoType\" is outside"},
        {Document("16777216", "", 10), "10 chromosomes of 16777216 bits are more than"},
    };
    for (const TCase& Case : Cases) {
        try {
            Load(GA, Case.Text);
            ADD_FAILURE() << Case.Text;
        } catch (const Exception& E) {
            EXPECT_EQ(std::string(E.what()).rfind(Case.Error, 0), 0u) << E.what();
        }
        EXPECT_EQ(Saved(GA), Good) << Case.Error;
    }
    // Chromosomes that the document's own bits pay for load: one of 2^24 bits.
    TAxGeneticAlgorithm Wide;
    Load(Wide, Document("16777216", "", 1));
    EXPECT_EQ(Wide.Population()->Items(0)->Bits().Size(), 1 << 24);
}

// What a document could not hold is not saved, and nothing is written.
TEST(GADocument, UnwritableContentWritesNothing) {
    TAxGeneticAlgorithm GA;
    const std::string Good = SixBitGA(GA);
    for (const auto& Spoil : std::initializer_list<std::function<void(TAxGeneticAlgorithm&)>>{
             [](TAxGeneticAlgorithm& A) { A.Genes()->Items(0)->SetSize(-3); },
             [](TAxGeneticAlgorithm& A) { A.Genes()->Items(0)->SetSize(1 << 25); },
             [](TAxGeneticAlgorithm& A) { A.Genes()->Items(0)->SetName("x\x01"); },
             [](TAxGeneticAlgorithm& A) { A.Population()->Items(1)->SetName("\xFF"); }}) {
        TAxGeneticAlgorithm Spoilt;
        CountOnes(Spoilt);
        Load(Spoilt, Good);
        Spoil(Spoilt);
        std::ostringstream Out;
        EXPECT_THROW(Spoilt.SaveToStream(Out), Exception);
        EXPECT_EQ(Out.str(), "");
    }
}

// An enumeration index outside the values fails the save, and the file is kept.
TEST(GADocument, FailedSaveKeepsTheFile) {
    TAxGeneticAlgorithm GA;
    const std::string Good = SixBitGA(GA);
    AddGene(GA, TGeneType::gtEnumeration, 0, "e")->Enumerations().Add("only");
    GA.Population()->Items(0)->Bits().SetAsBitString(6, 1, "1");
    const auto Name = std::filesystem::temp_directory_path() / "axgenetic_ga_bad_save.xml";
    std::ofstream(Name) << Good;
    try {
        GA.SaveToFile(Name.string());
        ADD_FAILURE();
    } catch (const EGAException& E) {
        EXPECT_EQ(std::string(E.what()), std::string(SNoEnumerationFound));
    }
    std::ifstream In(Name);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(In), {}), Good);
    std::filesystem::remove(Name);
}

// True when libxml2's xmllint (installed by scripts/deps) accepts Text as XML.
bool XmllintAccepts(const std::string& Text) {
    const auto File = std::filesystem::temp_directory_path() / "axgenetic_ga_xmllint.xml";
    std::ofstream(File, std::ios::binary) << Text;
    const int Status =
        std::system(("xmllint --noout --nonet " + File.string() + " 2>/dev/null").c_str());
    std::filesystem::remove(File);
    return Status == 0;
}

TEST(GADocument, AwkwardContentReloadsEqual) {
    TAxGeneticAlgorithm GA, Loaded;
    CountOnes(GA);
    CountOnes(Loaded);
    const std::string Texts[] = {
        "   ", "\t", "a\rb", "a\r\nb\n", " <&> ", "]]>", "\xC3\xA9\xF0\x9D\x84\x9E"};
    for (const std::string& Text : Texts) {
        TAxGAGene* Gene = AddGene(GA, TGeneType::gtEnumeration, 0, Text);
        Gene->Enumerations().Add(Text);
        Gene->Enumerations().Add(Text + Text);
    }
    TAxGAGene* Wide = AddGene(GA, TGeneType::gtFloat, 64, "wide");
    Wide->SetMaxValue(DBL_MAX);
    Wide->SetMinValue(-DBL_MAX);
    AddGene(GA, TGeneType::gtFloat, 64, "tiny")->SetMaxValue(DBL_TRUE_MIN);
    GA.SetInitialPopulation(7);
    RandSeed(9);
    GA.Initialize();
    for (int I = 0; I < 7; ++I) {
        TAxGAIndividual* Item = GA.Population()->Items(I);
        Item->SetName(Texts[I]);
        for (int G = 0; G < 7; ++G)
            GA.Genes()->Items(G)->SetGeneAsInteger(Item->Bits(), I % 2);
    }
    GA.SetGenerationLimit(5);
    GA.EvaluateFitness();
    const std::string Text = Saved(GA);
    EXPECT_TRUE(XmllintAccepts(Text));
    Load(Loaded, Text);
    Loaded.EvaluateFitness();
    for (int I = 0; I < 7; ++I)
        EXPECT_EQ(std::tuple(Loaded.Genes()->Items(I)->Name(),
                             Loaded.Genes()->Items(I)->Enumerations()[0],
                             Loaded.Population()->Items(I)->Name()),
                  std::tuple(Texts[I], Texts[I], Texts[I]));
    EXPECT_EQ(Loaded.Genes()->Items(7)->MinValue(), -DBL_MAX); // the setters moved the maximum
    EXPECT_EQ(Loaded.Genes()->Items(7)->MaxValue(), GA.Genes()->Items(7)->MaxValue());
    EXPECT_EQ(Loaded.Genes()->Items(8)->MaxValue(), DBL_TRUE_MIN);
    EXPECT_EQ(Saved(Loaded), Text);
}

TEST(GAStreaming, ComponentStreamsAsText) {
    TAxGeneticAlgorithm GA, Copy;
    AddGene(GA, TGeneType::gtInteger, 4, "n");
    TAxGAGene* E = AddGene(GA, TGeneType::gtEnumeration, 0, "it's");
    for (const char* V : {"a b", "c'd", ""})
        E->Enumerations().Add(V);
    GA.Population()->Add()->SetName("solo");
    std::ostringstream Out;
    WriteComponentText(Out, GA);
    const std::string Text = Out.str();
    EXPECT_NE(Text.find("      Enumerations = ('a b' 'c''d' '')\n      MaxValue = 1\n"),
              std::string::npos);
    std::istringstream In(Text);
    ReadComponentText(In, Copy);
    ASSERT_EQ(std::pair(Copy.Genes()->Count(), Copy.Population()->Count()), std::pair(2, 1));
    EXPECT_EQ(std::tuple(Copy.Genes()->Items(1)->Name(),
                         Copy.Genes()->Items(1)->Enumerations().Text(), Copy.GeneSize(),
                         Copy.Population()->Items(0)->Name(),
                         Copy.Population()->Items(0)->Bits().Size()),
              std::tuple("it's", "a b\nc'd\n\n", 6, "solo", 6));
}

} // namespace
} // namespace ax
