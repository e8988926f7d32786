#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/text.hpp"
#include "axgenetic/xml/genetic_algorithm_xml.hpp"
#include "axgenetic/xml/genetic_document.hpp"

namespace ax {
namespace {

std::string Children(const IXMLNode& Node) {
    std::string Text;
    for (IXMLNode Child : Node.ChildElements())
        Text += Child.NodeName() + "=" + Child.Text() + " ";
    return Text;
}

TEST(XMLValues, DefaultsWritesAndTextConversions) {
    IXMLGeneticDocumentType Doc = NewGeneticDocument();
    EXPECT_EQ(Doc.DiversityLimit(), 0.0);
    EXPECT_EQ(Doc.GenerationLimit(), 0u);
    EXPECT_FALSE(Doc.UseFitnessCutoff());
    EXPECT_EQ(Doc.FitnessMethod(), "");
    EXPECT_EQ(Doc.ChildElementCount(), 0); // reading creates nothing
    Doc.SetGeneration(-7);
    Doc.SetFitnessCutoff(0.1);
    Doc.SetUseFitnessCutoff(true);
    Doc.SetGenerationLimit(4294967295u);
    Doc.SetGeneration(12); // rewritten in place
    Doc.AddChild("DiversityLimit");
    EXPECT_EQ(Children(Doc), "Generation=12 FitnessCutoff=0.1 UseFitnessCutoff=True "
                             "GenerationLimit=4294967295 DiversityLimit= ");
    EXPECT_EQ(Doc.DiversityLimit(), 0.0);
    EXPECT_EQ(Doc.GenerationLimit(), 4294967295u);

    for (const auto& [Text, Value] : {std::pair<const char*, bool>{"TRUE", true},
                                      {"tRuE", true},
                                      {"yes", false},
                                      {"Trues", false}}) {
        Doc.ChildElement("UseFitnessCutoff").SetText(Text);
        EXPECT_EQ(Doc.UseFitnessCutoff(), Value) << Text;
    }
    auto Read = GetGeneticDocument(LoadXMLDocumentFromText(
        "<GeneticDocument><AvgFitness>abc</AvgFitness><GenerationLimit>-1</GenerationLimit>"
        "</GeneticDocument>"));
    EXPECT_THROW(Read.AvgFitness(), EConvertError);
    EXPECT_THROW(Read.GenerationLimit(), EConvertError);
    // Single-precision values are written so that they read back exactly.
    for (float V : {0.98f, 0.1f, 1.0f / 3.0f, 3.4028235e38f, 1.17549435e-38f, -123456.789f}) {
        Read.SetMaxFitness(V);
        EXPECT_EQ(Read.MaxFitness(), static_cast<double>(V)) << V;
    }
    FormatSettings().DecimalSeparator = ',';
    Read.SetMaxFitness(0.5);
    EXPECT_EQ(Read.FindChild("MaxFitness").Text(), "0,5");
    EXPECT_EQ(Read.MaxFitness(), 0.5);
    FormatSettings().DecimalSeparator = '.';
}

TEST(XMLDocuments, LoadingAcceptsEncodingsAndRejectsBadInput) {
    const std::u16string Wide =
        u"\xFEFF<GeneticDocument><FitnessMethod>\u00E9</FitnessMethod></GeneticDocument>";
    EXPECT_EQ(GetGeneticDocument(LoadXMLDocumentFromText(std::string(
                                     reinterpret_cast<const char*>(Wide.data()), Wide.size() * 2)))
                  .FitnessMethod(),
              "\xC3\xA9");
    try {
        LoadXMLDocumentFromText("<GeneticDocument><Generation>1</Generation>");
        ADD_FAILURE();
    } catch (const EXMLParseError& E) {
        EXPECT_EQ(std::string(E.what()), "Element \"GeneticDocument\" is not closed at offset 43");
    }
    try {
        GetGeneticDocument(LoadXMLDocumentFromText("<GeneticAlgorithm/>"));
        ADD_FAILURE();
    } catch (const EXMLParseError& E) {
        EXPECT_EQ(
            std::string(E.what()),
            "Document element \"GeneticAlgorithm\" found where \"GeneticDocument\" was expected");
    }
    EXPECT_THROW(LoadXMLDocumentFromText(""), EXMLParseError);
    EXPECT_THROW(LoadGeneticDocument("/nonexistent/dir/doc.xml"), EFOpenError);
    EXPECT_THROW(NewGeneticDocument().AddChild("Not valid"), EXMLParseError);

    // Views keep their document alive; written text reads back to the same text.
    IXMLGenesType Genes = NewGeneticAlgorithm().Domain().Chromosomes().Add().Genes();
    Genes.SetBits("0101");
    const std::string First = SaveXMLDocumentToText(Genes.OwnerDocument());
    EXPECT_EQ(SaveXMLDocumentToText(LoadXMLDocumentFromText(First)), First);
    EXPECT_NE(First.find("<Bits>0101</Bits>"), std::string::npos);
}

TEST(XMLLists, AddInsertAndOrderOfMixedGenes) {
    IXMLGenoTypeType Geno = NewGenoType();
    Geno.BooleanGene().Add().SetName("b1");
    Geno.IntegerGene().Add().SetName("i1");
    Geno.BooleanGene().Add().SetName("b2");
    Geno.BooleanGene().Insert(1).SetName("b1a");
    Geno.FloatGene().Insert(0).SetName("f1"); // at Count: appends
    auto E = Geno.EnumerationGene().Add();
    E.Enumeration().Add("red");
    E.Enumeration().Insert(0, "green");
    EXPECT_EQ(E.Enumeration()[0], "green");
    EXPECT_THROW(Geno.BooleanGene().Items(3), EListError);
    EXPECT_THROW(Geno.BooleanGene().Insert(4), EListError);
    EXPECT_THROW(Geno.IntegerGene().Items(-1), EListError);
    std::string Order;
    for (IXMLNode Child : Geno.ChildElements())
        Order += Child.NodeName() + ":" + IXMLGeneType(Child).Name() + " ";
    EXPECT_EQ(Order, "BooleanGene:b1 IntegerGene:i1 BooleanGene:b1a BooleanGene:b2 FloatGene:f1 "
                     "EnumerationGene: ");

    // Elements keep the order of their first write.
    auto Repro = NewGeneticAlgorithm().Reproduction();
    EXPECT_EQ(Repro.CrossoverMethod(), "cmGeneBoundary"); // missing: the default
    Repro.SelectionMethod().SetTournamentField(3);
    Repro.SetCrossoverMethod("cmByteBoundary");
    EXPECT_EQ(Children(Repro), "SelectionMethod= CrossoverMethod=cmByteBoundary ");
    std::istringstream Wrong("<GADomain/>");
    EXPECT_THROW(LoadChromosomes(Wrong), EXMLParseError);
}

} // namespace
} // namespace ax
