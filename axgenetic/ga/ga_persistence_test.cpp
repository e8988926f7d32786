#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/messages.hpp"
#include "axgenetic/ga/genetic_algorithm.hpp"
#include "axgenetic/platform/exceptions.hpp"
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

TEST(GADocument, WritesSettingsGenotypeFittestAndChromosomesInOrder) {
    TAxGeneticAlgorithm GA;
    CountOnes(GA);
    AddGene(GA, TGeneType::gtBoolean, 1, "flag");
    TAxGAGene* Count = AddGene(GA, TGeneType::gtInteger, 4);
    Count->SetPreserveSignBit(true);
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

    // The shared settings come first (see the base component's document), then these.
    const std::string Text = Saved(GA);
    EXPECT_NE(Text.find("  <AvgFitness>3.5</AvgFitness>\n  <MaxFitness>5</MaxFitness>\n"),
              std::string::npos);
    EXPECT_EQ(Text.substr(Text.find("  <Reproduction>")),
              "  <Reproduction>\n"
              "    <CrossoverMethod>cmBitBoundary</CrossoverMethod>\n"
              "    <CrossoverProbability>0.98</CrossoverProbability>\n"
              "    <InversionProbability>0.1</InversionProbability>\n"
              "    <MutationProbability>0.05</MutationProbability>\n"
              "    <SelectionMethod>\n"
              "      <Method>smRoulette</Method>\n"
              "      <ElitistPercent>0.1</ElitistPercent>\n"
              "      <TournamentField>2</TournamentField>\n"
              "    </SelectionMethod>\n"
              "  </Reproduction>\n"
              "  <Domain>\n"
              "    <GenoType Size=\"7\">\n"
              "      <BooleanGene>\n"
              "        <Name>flag</Name>\n"
              "        <Size>1</Size>\n"
              "      </BooleanGene>\n"
              "      <IntegerGene>\n"
              "        <Name>TAxGAGene</Name>\n"
              "        <Size>4</Size>\n"
              "        <MinValue>-8</MinValue>\n"
              "        <MaxValue>7</MaxValue>\n"
              "        <PreserveSignBit>True</PreserveSignBit>\n"
              "      </IntegerGene>\n"
              "      <BooleanGene>\n"
              "        <Name>pair</Name>\n"
              "        <Size>2</Size>\n"
              "      </BooleanGene>\n"
              "    </GenoType>\n"
              "    <FittestIndividual>\n"
              "      <Name>TAxGAIndividual</Name>\n"
              "      <Fitness>2</Fitness>\n"
              "      <Genes>\n"
              "        <Bits>0010010</Bits>\n"
              "        <BooleanGeneValue>False</BooleanGeneValue>\n"
              "        <IntegerGeneValue>2</IntegerGeneValue>\n"
              "        <BooleanGeneValue>True</BooleanGeneValue>\n"
              "      </Genes>\n"
              "    </FittestIndividual>\n"
              "    <Chromosomes>\n"
              "      <Chromosome>\n"
              "        <Name>best</Name>\n"
              "        <Fitness>5</Fitness>\n"
              "        <Genes>\n"
              "          <Bits>1111001</Bits>\n"
              "          <BooleanGeneValue>True</BooleanGeneValue>\n"
              "          <IntegerGeneValue>7</IntegerGeneValue>\n"
              "          <BooleanGeneValue>True</BooleanGeneValue>\n"
              "        </Genes>\n"
              "      </Chromosome>\n"
              "      <Chromosome>\n"
              "        <Name>TAxGAIndividual</Name>\n"
              "        <Fitness>2</Fitness>\n"
              "        <Genes>\n"
              "          <Bits>0010010</Bits>\n"
              "          <BooleanGeneValue>False</BooleanGeneValue>\n"
              "          <IntegerGeneValue>2</IntegerGeneValue>\n"
              "          <BooleanGeneValue>True</BooleanGeneValue>\n"
              "        </Genes>\n"
              "      </Chromosome>\n"
              "    </Chromosomes>\n"
              "  </Domain>\n"
              "</GeneticAlgorithm>\n");

    // Loaded into a fresh component: the unnamed individual takes its display name.
    TAxGeneticAlgorithm Loaded;
    Load(Loaded, Saved(GA));
    EXPECT_TRUE(Loaded.Initialized());
    EXPECT_EQ(Loaded.InitialPopulation(), 100);
    EXPECT_EQ(Loaded.CrossoverMethod(), TGACrossoverMethod::cmBitBoundary);
    EXPECT_EQ(Loaded.MutationProbability(), static_cast<double>(0.05f));
    EXPECT_EQ(Loaded.SelectionMethod(), TGASelectionMethod::smRoulette);
    EXPECT_EQ(Loaded.GeneSize(), 7);
    ASSERT_EQ(Loaded.Genes()->Count(), 3);
    EXPECT_EQ(Loaded.Genes()->Items(1)->Name(), "TAxGAGene");
    EXPECT_EQ(Loaded.Genes()->Items(2)->Offset(), 5);
    ASSERT_EQ(Loaded.Population()->Count(), 2);
    EXPECT_EQ(Loaded.Population()->Items(1)->Name(), "TAxGAIndividual");
    EXPECT_EQ(Loaded.Population()->Items(0)->Bits().ToBitString(), "1111001");
    EXPECT_EQ(Loaded.PreviousGeneration()->Count(), 2);
    EXPECT_EQ(Loaded.PreviousGeneration()->Items(1)->Bits().ToBitString(), "0010010");
    EXPECT_EQ(Loaded.FittestIndividual(), nullptr);
}

TEST(GADocument, RandomGenotypesAndPopulationsRoundTripIdentically) {
    RandSeed(17);
    for (int Round = 0; Round < 25; ++Round) {
        TAxGeneticAlgorithm GA;
        CountOnes(GA);
        const int Genes = Random(6);
        for (int G = 0; G < Genes; ++G) {
            // Unknown genes are not saved at all, so they are left out here.
            const auto Type = static_cast<TGeneType>(1 + Random(4));
            TAxGAGene* Gene =
                AddGene(GA, Type, 1 + Random(40), Random(2) ? "g" + std::to_string(G) : "");
            if (Type == TGeneType::gtEnumeration) {
                const int Values = 1 + Random(9);
                for (int V = 0; V < Values; ++V)
                    Gene->Enumerations().Add("v" + std::to_string(V));
            } else if (Type == TGeneType::gtInteger || Type == TGeneType::gtFloat) {
                Gene->SetPreserveSignBit(Random(2) == 1);
                if (Random(2)) Gene->SetMaxValue(Gene->MaxValue() - Random(100));
                if (Random(2)) Gene->SetMinValue(Gene->MinValue() + Random(100));
            }
        }
        if (Random(3) == 0) GA.SetGeneSize(GA.GeneSize() + Random(20));
        GA.SetInitialPopulation(Random(12));
        GA.SetGenerationLimit(1 + Random(50)); // a limit of 0 loads as 1
        GA.SetCrossoverProbability(Random());
        GA.SetElitistPct(Random());
        GA.SetTournamentField(2 + Random(5));
        GA.SetCrossoverMethod(static_cast<TGACrossoverMethod>(Random(5)));
        GA.SetOperations({TGAGeneticOperation::goMutate}); // no cut is needed
        // Every enumeration gene must decode: keep only chromosomes whose values exist.
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
        GA.Evolve(2);
        const std::string First = Saved(GA);

        TAxGeneticAlgorithm Loaded;
        Loaded.SetOnEvaluateFitness(GA.OnEvaluateFitness());
        Load(Loaded, First);
        // The statistics and the fittest individual come from the next evaluation.
        Loaded.EvaluateFitness();
        const std::string Second = Saved(Loaded);
        // A genotype wider than its genes is saved at the genes' width.
        if (GA.GeneSize() == GA.Genes()->GetSize() || GA.Genes()->GetSize() == 0) {
            EXPECT_EQ(Second, First) << "round " << Round;
        } else {
            EXPECT_EQ(Loaded.GeneSize(), GA.Genes()->GetSize());
        }
        for (int G = 0; G < Genes; ++G) {
            EXPECT_EQ(Loaded.Genes()->Items(G)->MinValue(), GA.Genes()->Items(G)->MinValue())
                << Round;
            EXPECT_EQ(Loaded.Genes()->Items(G)->MaxValue(), GA.Genes()->Items(G)->MaxValue())
                << Round;
        }
        EXPECT_EQ(Loaded.Generation(), GA.Generation());
        EXPECT_EQ(Loaded.ElitistPct(), static_cast<double>(static_cast<float>(GA.ElitistPct())));
    }
}

TEST(GADocument, GeneSizeWithoutGenesAndWiderThanTheGenes) {
    TAxGeneticAlgorithm GA;
    GA.SetGeneSize(32);
    TAxGeneticAlgorithm Loaded;
    Load(Loaded, Saved(GA));
    EXPECT_NE(Saved(GA).find("<GenoType Size=\"32\" />"), std::string::npos);
    EXPECT_EQ(Loaded.GeneSize(), 32);
    EXPECT_EQ(Loaded.Genes()->Count(), 0);

    // Wider than the genes: the genes' total is written, the chromosomes follow it.
    AddGene(GA, TGeneType::gtInteger, 8);
    GA.Population()->Add();
    SetBits(GA.Population()->Items(0), std::string(32, '1'));
    Load(Loaded, Saved(GA));
    EXPECT_EQ(Loaded.GeneSize(), 8);
    EXPECT_EQ(Loaded.Population()->Items(0)->Bits().ToBitString(), "11111111");

    // Bits text of another length: a shorter one leaves the rest False, a longer one is cut.
    std::string Text = Saved(GA);
    Text.replace(Text.find("<Bits>") + 6, 32, "101");
    Load(Loaded, Text);
    EXPECT_EQ(Loaded.Population()->Items(0)->Bits().ToBitString(), "10100000");
    EXPECT_EQ(Loaded.Population()->Items(0)->Bits().Size(), 8);
}

TEST(GADocument, ReadRulesForNamesAndMissingElements) {
    TAxGeneticAlgorithm GA;
    GA.SetCrossoverMethod(TGACrossoverMethod::cmWordBoundary);
    GA.SetSelectionMethod(TGASelectionMethod::smElitist);
    Load(GA, "<GeneticAlgorithm><Reproduction><SelectionMethod><Method>smTournament</Method>"
             "</SelectionMethod></Reproduction></GeneticAlgorithm>");
    EXPECT_EQ(GA.CrossoverMethod(), TGACrossoverMethod::cmGeneBoundary); // absent
    EXPECT_EQ(GA.SelectionMethod(), TGASelectionMethod::smTournament);
    EXPECT_EQ(GA.CrossoverProbability(), 0.0);
    EXPECT_EQ(GA.TournamentField(), 2); // 0 raised to the minimum
    EXPECT_EQ(GA.GeneSize(), 0);

    Load(GA, "<!DOCTYPE GeneticAlgorithm><GeneticAlgorithm><Reproduction><CrossoverMethod>cmNowhere"
             "</CrossoverMethod><SelectionMethod><Method>smNone</Method></SelectionMethod></"
             "Reproduction>"
             "</GeneticAlgorithm>");
    EXPECT_EQ(static_cast<int>(GA.CrossoverMethod()), -1);
    EXPECT_EQ(GA.SelectionMethod(), TGASelectionMethod::smTournament);
    EXPECT_NE(Saved(GA).find("<CrossoverMethod></CrossoverMethod>"), std::string::npos);

    // Stored bounds the setters can produce survive; a type step alone would reset them.
    TAxGeneticAlgorithm Bounds;
    TAxGAGene* Narrow = AddGene(Bounds, TGeneType::gtInteger, 8);
    Narrow->SetMaxValue(100);
    Narrow->SetMinValue(10);
    TAxGAGene* Signed = AddGene(Bounds, TGeneType::gtFloat, 8);
    Signed->SetPreserveSignBit(true);
    Signed->SetMaxValue(100);
    TAxGAGene* Colours = AddGene(Bounds, TGeneType::gtEnumeration, 0);
    for (const char* C : {"red", "green", "blue"})
        Colours->Enumerations().Add(C);
    Load(GA, Saved(Bounds));
    EXPECT_EQ(GA.Genes()->Items(0)->MinValue(), 10);
    EXPECT_EQ(GA.Genes()->Items(0)->MaxValue(), 100);
    EXPECT_EQ(GA.Genes()->Items(1)->MinValue(), -156);
    EXPECT_EQ(GA.Genes()->Items(1)->MaxValue(), 100);
    EXPECT_TRUE(GA.Genes()->Items(1)->PreserveSignBit());
    EXPECT_EQ(GA.Genes()->Items(2)->Size(), 2);
    EXPECT_EQ(GA.Genes()->Items(2)->MaxValue(), 1); // values arrived one at a time
    EXPECT_EQ(GA.Genes()->Items(2)->Enumerations().Text(), "red\ngreen\nblue\n");
}

TEST(GADocument, BadDocumentsLeaveTheComponentAsItWas) {
    TAxGeneticAlgorithm GA;
    CountOnes(GA);
    AddGene(GA, TGeneType::gtInteger, 6, "x");
    GA.SetInitialPopulation(3);
    RandSeed(5);
    GA.Initialize();
    GA.SetMutationProbability(0.3);
    const std::string Before = Saved(GA);
    const std::string Good = Before;

    // Replaces the first From behind the chromosomes' start (or anywhere).
    const auto Replace = [&](const std::string& From, const std::string& To,
                             bool InChromosomes = false) {
        std::string Text = Good;
        Text.replace(Text.find(From, InChromosomes ? Text.find("<Chromosomes>") : 0), From.size(),
                     To);
        return Text;
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
    EXPECT_THROW(Load(GA, Replace("<MinValue>0</MinValue>", "<MinValue>zero</MinValue>")),
                 EConvertError);
    EXPECT_THROW(Load(GA, Replace("<MutationProbability>0.3", "<MutationProbability>0.3x")),
                 EConvertError);
    EXPECT_THROW(Load(GA, Replace("<Bits>", "<Bits>2", true)), EConvertError);
    EXPECT_THROW(Load(GA, Replace("<TournamentField>2", "<TournamentField>2.5")), EConvertError);
    EXPECT_THROW(GA.LoadFromFile("/nonexistent/ga.xml"), EFOpenError);
    EXPECT_EQ(Saved(GA), Before);

    // An enumeration index outside the values fails the save.
    TAxGAGene* Gene = AddGene(GA, TGeneType::gtEnumeration, 0, "e");
    Gene->Enumerations().Add("only");
    GA.Population()->Items(0)->Bits().SetAsBitString(6, 1, "1");
    try {
        Saved(GA);
        ADD_FAILURE();
    } catch (const EGAException& E) {
        EXPECT_EQ(std::string(E.what()), std::string(SNoEnumerationFound));
    }
    const auto Name = std::filesystem::temp_directory_path() / "axgenetic_ga_bad_save.xml";
    std::ofstream(Name) << Before;
    EXPECT_THROW(GA.SaveToFile(Name.string()), EGAException);
    std::ifstream In(Name);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(In), {}), Before);
    std::filesystem::remove(Name);
}

TEST(GADocument, GenericNodeFormsActOnTheirOwnElementsOnly) {
    TAxGeneticAlgorithm GA;
    AddGene(GA, TGeneType::gtBoolean, 3);
    TAxGAIndividual* Item = GA.Population()->Add();
    SetBits(Item, "101");
    const IXMLGeneticAlgorithmType Root = NewGeneticAlgorithm();
    const IXMLNode Other = Root.AddChild("Other");
    Item->SaveToXML(Other);
    GA.Population()->SaveToXML(Other);
    EXPECT_EQ(Other.ChildElementCount(), 0);
    const IXMLNode Chromosome = Root.Domain().Chromosomes().Add();
    Item->SaveToXML(Chromosome);
    EXPECT_EQ(IXMLChromosomeType(Chromosome).Genes().Bits(), "101");
    const IXMLNode Chromosomes = Root.Domain().Chromosomes();
    GA.Population()->LoadFromXML(Other);
    EXPECT_EQ(GA.Population()->Count(), 1);
    GA.Population()->LoadFromXML(Chromosomes);
    EXPECT_EQ(GA.Population()->Count(), 1);
    EXPECT_EQ(GA.Population()->Items(0)->Bits().ToBitString(), "101");
}

TEST(GAStreaming, GenesAndSettingsStreamAsText) {
    TAxGeneticAlgorithm GA;
    GA.SetName("GA");
    AddGene(GA, TGeneType::gtInteger, 4, "n");
    TAxGAGene* E = AddGene(GA, TGeneType::gtEnumeration, 0, "it's");
    for (const char* V : {"a b", "c'd", ""})
        E->Enumerations().Add(V);
    GA.SetCrossoverMethod(TGACrossoverMethod::cmByteBoundary);
    GA.Population()->Add()->SetName("solo");
    std::ostringstream Out;
    WriteComponentText(Out, GA);
    EXPECT_EQ(Out.str(), "object GA: TAxGeneticAlgorithm\n"
                         "  CrossoverMethod = cmByteBoundary\n"
                         "  Genes = <\n"
                         "    item\n"
                         "      Name = 'n'\n"
                         "      Size = 4\n"
                         "      GeneType = gtInteger\n"
                         "      MaxValue = 15\n"
                         "    end\n"
                         "    item\n"
                         "      Name = 'it''s'\n"
                         "      Size = 2\n"
                         "      GeneType = gtEnumeration\n"
                         "      Enumerations = ('a b' 'c''d' '')\n"
                         "      MaxValue = 1\n"
                         "    end>\n"
                         "  GeneSize = 6\n"
                         "  Population = <\n"
                         "    item\n"
                         "      Name = 'solo'\n"
                         "    end>\n"
                         "end\n");
    TAxGeneticAlgorithm Copy;
    std::istringstream In(Out.str());
    ReadComponentText(In, Copy);
    EXPECT_EQ(Copy.CrossoverMethod(), TGACrossoverMethod::cmByteBoundary);
    ASSERT_EQ(Copy.Genes()->Count(), 2);
    EXPECT_EQ(Copy.Genes()->Items(1)->Name(), "it's");
    EXPECT_EQ(Copy.Genes()->Items(1)->Enumerations().Text(), "a b\nc'd\n\n");
    EXPECT_EQ(Copy.Genes()->Items(1)->Size(), 2);
    EXPECT_EQ(Copy.GeneSize(), 6);
    ASSERT_EQ(Copy.Population()->Count(), 1);
    EXPECT_EQ(Copy.Population()->Items(0)->Name(), "solo");
    EXPECT_EQ(Copy.Population()->Items(0)->Bits().Size(), 6);
}

} // namespace
} // namespace ax
