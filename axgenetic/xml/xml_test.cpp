#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>
#include <string>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/text.hpp"
#include "axgenetic/xml/genetic_algorithm_xml.hpp"
#include "axgenetic/xml/genetic_document.hpp"

namespace ax {
namespace {

std::string Text(const IXMLNode& Node) {
    return SaveXMLDocumentToText(Node.OwnerDocument());
}

TEST(XMLValues, MissingAndEmptyElementsReadAsDefaultsAndFirstWritesAppend) {
    IXMLGeneticDocumentType Doc = NewGeneticDocument();
    EXPECT_EQ(Doc.NodeName(), "GeneticDocument");
    EXPECT_EQ(Doc.DiversityLimit(), 0.0);
    EXPECT_EQ(Doc.Generation(), 0);
    EXPECT_EQ(Doc.GenerationLimit(), 0u);
    EXPECT_FALSE(Doc.UseFitnessCutoff());
    EXPECT_EQ(Doc.FitnessMethod(), "");
    // Reading creates nothing.
    EXPECT_EQ(Doc.ChildElementCount(), 0);

    Doc.SetGeneration(-7);
    Doc.SetFitnessCutoff(0.1);
    Doc.SetUseFitnessCutoff(true);
    Doc.SetGenerationLimit(std::numeric_limits<std::uint32_t>::max());
    Doc.SetGeneration(12); // rewrites in place, keeps its position
    Doc.SetFitnessMethod("fmMaximize");
    EXPECT_EQ(Text(Doc), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                         "<GeneticDocument>\n"
                         "  <Generation>12</Generation>\n"
                         "  <FitnessCutoff>0.1</FitnessCutoff>\n"
                         "  <UseFitnessCutoff>True</UseFitnessCutoff>\n"
                         "  <GenerationLimit>4294967295</GenerationLimit>\n"
                         "  <FitnessMethod>fmMaximize</FitnessMethod>\n"
                         "</GeneticDocument>\n");
    // Floats come back at single precision.
    EXPECT_EQ(Doc.FitnessCutoff(), static_cast<double>(0.1f));
    EXPECT_NE(Doc.FitnessCutoff(), 0.1);
    EXPECT_EQ(Doc.Generation(), 12);
    EXPECT_EQ(Doc.GenerationLimit(), 4294967295u);
    EXPECT_EQ(Doc.FitnessMethod(), "fmMaximize");

    // An element without text reads as the default too.
    Doc.AddChild("DiversityLimit");
    EXPECT_EQ(Doc.DiversityLimit(), 0.0);
}

TEST(XMLValues, TextConversions) {
    auto Doc = GetGeneticDocument(LoadXMLDocumentFromText(
        "<GeneticDocument><UseFitnessCutoff>TRUE</UseFitnessCutoff><UseDiversityLimit>yes"
        "</UseDiversityLimit><UseGenerationLimit>tRuE</UseGenerationLimit><Generation>-3</"
        "Generation>"
        "<DiversityLimit>0.98</DiversityLimit><MaxFitness>1E20</MaxFitness><AvgFitness>abc</"
        "AvgFitness>"
        "<MinFitness>1.5</MinFitness><GenerationLimit>-1</GenerationLimit>"
        "<FitnessMethod>  spaced </FitnessMethod></GeneticDocument>"));
    EXPECT_TRUE(Doc.UseFitnessCutoff());
    EXPECT_FALSE(Doc.UseDiversityLimit());
    EXPECT_TRUE(Doc.UseGenerationLimit());
    EXPECT_EQ(Doc.Generation(), -3);
    EXPECT_EQ(Doc.DiversityLimit(), static_cast<double>(0.98f));
    EXPECT_EQ(Doc.MaxFitness(), static_cast<double>(1e20f));
    EXPECT_EQ(Doc.MinFitness(), 1.5);
    EXPECT_EQ(Doc.FitnessMethod(), "  spaced ");
    EXPECT_THROW(Doc.AvgFitness(), EConvertError);
    EXPECT_THROW(Doc.GenerationLimit(), EConvertError);

    // Every single-precision value is written so that it reads back exactly.
    for (float V : {0.98f, 0.1f, 1.0f / 3.0f, 3.4028235e38f, 1.17549435e-38f, -123456.789f, 0.0f}) {
        Doc.SetMaxFitness(V);
        EXPECT_EQ(Doc.MaxFitness(), static_cast<double>(V)) << V;
    }
    // Doubles keep fifteen significant digits.
    IXMLNumericGeneType Gene(Doc.AddChild("IntegerGene"));
    Gene.SetMaxValue(-2147483648.0);
    Gene.SetMinValue(0.125);
    EXPECT_EQ(Gene.FindChild("MaxValue").Text(), "-2147483648");
    EXPECT_EQ(Gene.MinValue(), 0.125);

    // The decimal separator follows the process-wide settings.
    FormatSettings().DecimalSeparator = ',';
    Doc.SetMaxFitness(0.5);
    EXPECT_EQ(Doc.FindChild("MaxFitness").Text(), "0,5");
    EXPECT_EQ(Doc.MaxFitness(), 0.5);
    FormatSettings().DecimalSeparator = '.';
}

TEST(XMLDocuments, LoadingAcceptsDoctypesAndEncodingsAndRejectsBadInput) {
    auto Doc = GetGeneticDocument(LoadXMLDocumentFromText(
        "<?xml version=\"1.0\"?>\n<!DOCTYPE GeneticDocument [ <!ELEMENT GeneticDocument ANY> ]>\n"
        "<GeneticDocument><Generation>5</Generation></GeneticDocument>"));
    EXPECT_EQ(Doc.Generation(), 5);

    // UTF-16 with a byte order mark; the name holds a non-ASCII letter.
    const std::u16string Wide =
        u"\xFEFF<GeneticDocument><FitnessMethod>\u00E9</FitnessMethod></GeneticDocument>";
    const std::string WideBytes(reinterpret_cast<const char*>(Wide.data()), Wide.size() * 2);
    EXPECT_EQ(GetGeneticDocument(LoadXMLDocumentFromText(WideBytes)).FitnessMethod(), "\xC3\xA9");
    // Latin-1 declared in the XML declaration.
    EXPECT_EQ(
        GetGeneticDocument(LoadXMLDocumentFromText("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                                                   "<GeneticDocument><FitnessMethod>\xE9"
                                                   "</FitnessMethod></GeneticDocument>"))
            .FitnessMethod(),
        "\xC3\xA9");

    try {
        LoadXMLDocumentFromText("<GeneticDocument><Generation>1</Generation>");
        FAIL();
    } catch (const EXMLParseError& E) {
        EXPECT_EQ(E.Offset(), 42);
        EXPECT_EQ(std::string(E.what()), "Start-end tags mismatch at offset 42");
    }
    EXPECT_THROW(LoadXMLDocumentFromText(""), EXMLParseError);
    EXPECT_THROW(LoadXMLDocumentFromText("<a></b>"), EXMLParseError);
    try {
        GetGeneticDocument(LoadXMLDocumentFromText("<GeneticAlgorithm/>"));
        FAIL();
    } catch (const EXMLParseError& E) {
        EXPECT_EQ(
            std::string(E.what()),
            "Document element \"GeneticAlgorithm\" found where \"GeneticDocument\" was expected");
    }
    EXPECT_THROW(GetGeneticAlgorithm(NewGeneticDocument().OwnerDocument()), EXMLParseError);
    try {
        LoadGeneticDocument("/nonexistent/dir/doc.xml");
        FAIL();
    } catch (const EFOpenError& E) {
        EXPECT_EQ(std::string(E.what()).rfind("Cannot open file \"/nonexistent/dir/doc.xml\".", 0),
                  0u);
    }

    std::istringstream Stream("<GeneticAlgorithm><Generation>9</Generation></GeneticAlgorithm>");
    EXPECT_EQ(LoadGeneticAlgorithm(Stream).Generation(), 9);

    // A name that no reader could parse is refused before it is written.
    EXPECT_THROW(Doc.AddChild("Not valid"), EXMLParseError);
    EXPECT_THROW(Doc.AddChild("1st"), EXMLParseError);
    EXPECT_EQ(Doc.AddChild("TAxGAIndividual").NodeName(), "TAxGAIndividual");
}

TEST(XMLDocuments, ViewsKeepTheirDocumentAliveAndWrittenDocumentsReadBackIdentically) {
    IXMLGenesType Genes;
    {
        IXMLGeneticAlgorithmType Root = NewGeneticAlgorithm();
        Genes = Root.Domain().Chromosomes().Add().Genes();
    }
    Genes.SetBits("0101");
    EXPECT_EQ(GetGeneticAlgorithm(Genes.OwnerDocument()).Domain().Chromosomes()[0].Genes().Bits(),
              "0101");

    const std::string First = Text(Genes);
    const std::string Second = SaveXMLDocumentToText(LoadXMLDocumentFromText(First));
    EXPECT_EQ(First, Second);
}

TEST(XMLLists, AddInsertItemsAndOrderOfMixedGenes) {
    IXMLGenoTypeType Geno = NewGenoType();
    EXPECT_EQ(Geno.Size(), 0);
    Geno.BooleanGene().Add().SetName("b1");
    Geno.IntegerGene().Add().SetName("i1");
    Geno.BooleanGene().Add().SetName("b2");
    Geno.BooleanGene().Insert(1).SetName("b1a");
    Geno.FloatGene().Insert(0).SetName("f1"); // Insert at Count appends
    auto E = Geno.EnumerationGene().Add();
    E.SetName("e1");
    E.Enumeration().Add("red");
    E.Enumeration().Add("blue");
    E.Enumeration().Insert(0, "green");
    Geno.SetSize(42);

    EXPECT_EQ(Geno.BooleanGene().Count(), 3);
    EXPECT_EQ(Geno.BooleanGene()[1].Name(), "b1a");
    EXPECT_EQ(Geno.EnumerationGene()[0].Enumeration().Count(), 3);
    EXPECT_EQ(Geno.EnumerationGene()[0].Enumeration()[0], "green");
    EXPECT_EQ(Geno.Size(), 42);
    EXPECT_THROW(Geno.BooleanGene().Items(3), EListError);
    EXPECT_THROW(Geno.BooleanGene().Insert(4), EListError);
    EXPECT_THROW(Geno.IntegerGene().Items(-1), EListError);

    std::string Order;
    for (IXMLNode Child : Geno.ChildElements()) {
        Order += Child.NodeName() + ":" + IXMLGeneType(Child).Name() + " ";
        EXPECT_NO_THROW(GeneElementType(Child));
    }
    EXPECT_EQ(Order, "BooleanGene:b1 IntegerGene:i1 BooleanGene:b1a BooleanGene:b2 FloatGene:f1 "
                     "EnumerationGene:e1 ");
    EXPECT_EQ(GeneElementType(Geno.FloatGene()[0]), TGeneType::gtFloat);
    EXPECT_EQ(GeneElementType(Geno.EnumerationGene()[0]), TGeneType::gtEnumeration);
    try {
        GeneElementType(Geno.AddChild("Name"));
        FAIL();
    } catch (const EInvalidCast& Error) {
        EXPECT_EQ(std::string(Error.what()), "Element \"Name\" is not a gene");
    }
    EXPECT_EQ(Text(Geno).substr(39, 22), "<GenoType Size=\"42\">\n ");
}

TEST(XMLViews, GeneticAlgorithmElementsAndDefaults) {
    IXMLGeneticAlgorithmType Root = NewGeneticAlgorithm();
    auto Repro = Root.Reproduction();
    EXPECT_EQ(Repro.CrossoverMethod(), "cmGeneBoundary");
    EXPECT_EQ(Repro.SelectionMethod().Method(), "");
    EXPECT_EQ(Repro.SelectionMethod().TournamentField(), 0);
    Repro.SetCrossoverMethod("cmByteBoundary");
    Repro.SetMutationProbability(0.01);
    Repro.SelectionMethod().SetMethod("smElitist");
    Repro.SelectionMethod().SetElitistPercent(0.25);
    Repro.SelectionMethod().SetTournamentField(3);
    Root.SetGeneration(2);

    auto Chromosome = Root.Domain().Chromosomes().Add();
    Chromosome.SetName("a");
    Chromosome.SetFitness(2.5);
    Chromosome.Genes().SetBits("101");
    Chromosome.Genes().BooleanGeneValue().Add(true);
    Chromosome.Genes().IntegerGeneValue().Add(-5);
    Chromosome.Genes().FloatGeneValue().Add(0.5f);
    Chromosome.Genes().EnumerationGeneValue().Add("red");
    Root.Domain().Chromosomes().Insert(0).SetName("first");
    EXPECT_EQ(Root.Domain().Chromosomes().Count(), 2);
    EXPECT_EQ(Root.Domain().Chromosomes().Items(1).Genes().IntegerGeneValue()[0], -5);
    EXPECT_TRUE(Root.Domain().Chromosomes().Items(1).Genes().BooleanGeneValue()[0]);

    // Elements keep the order of their first write: the selection element was reached
    // first, and the inserted chromosome comes first.
    std::string Order;
    for (IXMLNode Child : Repro.ChildElements())
        Order += Child.NodeName() + " ";
    EXPECT_EQ(Order, "SelectionMethod CrossoverMethod MutationProbability ");
    EXPECT_EQ(Root.Domain().Chromosomes()[0].Name(), "first");
    EXPECT_EQ(Root.Domain().Chromosomes()[1].Genes().ChildElementCount(), 5);
    EXPECT_EQ(Root.Domain().Chromosomes()[1].Genes().FloatGeneValue()[0], 0.5f);
    EXPECT_EQ(Root.Domain().Chromosomes()[1].Genes().EnumerationGeneValue()[0], "red");

    // The domain document kinds bind their own roots only.
    EXPECT_EQ(NewGADomain().NodeName(), "GADomain");
    EXPECT_EQ(NewChromosomes().NodeName(), "Chromosomes");
    std::istringstream Domain("<GADomain><GenoType Size=\"8\"/></GADomain>");
    EXPECT_EQ(LoadGADomain(Domain).GenoType().Size(), 8);
    std::istringstream Wrong("<GADomain/>");
    EXPECT_THROW(LoadChromosomes(Wrong), EXMLParseError);
}

} // namespace
} // namespace ax
