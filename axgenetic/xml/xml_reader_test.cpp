#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <tuple>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/text.hpp"
#include "axgenetic/xml/genetic_algorithm_xml.hpp"
#include "axgenetic/xml/genetic_document.hpp"

namespace ax {
namespace {

std::string ParseError(const std::string& Text) {
    try {
        GetGeneticDocument(LoadXMLDocumentFromText(Text));
    } catch (const EXMLParseError& E) {
        return E.what();
    }
    return "loaded";
}

TEST(XMLReader, RefusesWhatIsNotWellFormed) {
    struct TCase {
        std::string Text, Error;
    };
    const TCase Cases[] = {
        {"<a/><b/>", "Second document element at offset 4"},
        {"<a/>x", "Text after the document element at offset 4"},
        {"x<a/>", "Text before the document element at offset 0"},
        {"<a/></a>", "End tag without a start tag at offset 4"},
        {"", "No document element at offset 0"},
        {"<a>\x80</a>", "Invalid UTF-8 byte 0x80 at offset 3"},
        {"<a>\xFF</a>", "Invalid UTF-8 byte 0xFF at offset 3"},
        {"<a>\xC0\xAF</a>", "Overlong UTF-8 sequence (byte 0xC0) at offset 3"},
        {"<a>\xE0\x80\xAF</a>", "Overlong UTF-8 sequence at offset 3"},
        {"<a>\xE2\x82</a>", "Truncated UTF-8 sequence at offset 3"},
        {"<a>\xE2\x82", "Truncated UTF-8 sequence at offset 3"},
        {"<a>\xED\xA0\x80</a>", "UTF-8 encoded surrogate U+D800 at offset 3"},
        {"<a>\xF4\x90\x80\x80</a>", "UTF-8 sequence past U+10FFFF at offset 3"},
        {"<a>\xEF\xBF\xBE</a>", "Character U+FFFE is not allowed in XML at offset 3"},
        {"<a>x\x01</a>", "Character U+0001 is not allowed in XML at offset 4"},
        {"<a b='\x1B'/>", "Character U+001B is not allowed in XML at offset 6"},
        {"<a>&nbsp;</a>", "Undefined entity \"nbsp\" at offset 3"},
        {"<a>x & y</a>", "\"&\" that starts no reference at offset 5"},
        {"<a>&amp</a>", "\"&\" that starts no reference at offset 3"},
        {"<a>&#1;</a>", "Reference to character U+0001, which XML does not allow at offset 3"},
        {"<a>&#xFFFE;</a>", "Reference to character U+FFFE, which XML does not allow at offset 3"},
        {"<a>&#99999999999;</a>",
         "Reference to character U+110000, which XML does not allow at offset 3"},
        {"<a>&#x;</a>", "Invalid character reference at offset 3"},
        {"<a b='1' b='2'/>", "Duplicate attribute \"b\" at offset 9"},
        {"<a>]]></a>", "\"]]>\" in text at offset 3"},
        {"<a><!-- a -- b --></a>", "\"--\" in a comment at offset 10"},
        {"<a><!-- a ---></a>", "\"--\" in a comment at offset 10"},
        {"<a b='<'/>", "\"<\" in an attribute value at offset 6"},
        {"<a b=1/>", "Expected a quoted attribute value at offset 5"},
        {"<a><b></a>", "End tag \"a\" does not match \"b\" at offset 6"},
        {"<a>", "Element \"a\" is not closed at offset 3"},
        {"<GeneticDocument><Generation>1</Generation>",
         "Element \"GeneticDocument\" is not closed at offset 43"},
        {"<1a/>", "Expected an element name at offset 1"},
        {"<a><?xml version='1.0'?></a>",
         "XML declaration not at the start of the document at offset 3"},
        {"<?xml version='2.0'?><a/>", "Unsupported XML version \"2.0\" at offset 0"},
        {"<?xml version='1.0' encoding='EBCDIC-US'?><a/>",
         "Unsupported encoding \"EBCDIC-US\" at offset 0"},
        {"<?xml version='1.0' encoding='US-ASCII'?><a>\xE9</a>",
         "Byte 0xE9 is not US-ASCII at offset 44"},
        {"<?xml version='1.0' encoding='windows-1252'?><a>\x81</a>",
         "Byte 0x81 is undefined in windows-1252 at offset 48"},
        {"<?xml version='1.0' encoding='UTF-16'?><a/>",
         "Encoding \"UTF-16\" declared for a document that is not in it at offset 0"},
        {"<!DOCTYPE a [<!ENTITY e 'x'>]><a>&e;</a>", "Undefined entity \"e\" at offset 33"},
        {std::string("\xFF\xFE<\0a\0/\0>\0\x00\xD8", 12),
         "Invalid UTF-16 code unit 0xD800 at offset 10"},
        {std::string("\xFF\xFE<\0a\0/\0>\0\x20", 11),
         "Truncated character at the end of the document at offset 11"},
        {"<!DOCTYPE a [<!ENTITY e 'x'><a/>", "Invalid markup in the internal subset at offset 28"},
        {"<GeneticAlgorithm/>",
         "Document element \"GeneticAlgorithm\" found where \"GeneticDocument\" was expected"},
    };
    for (const TCase& Case : Cases)
        EXPECT_EQ(ParseError(Case.Text), Case.Error) << Case.Text;
}

TEST(XMLReader, ReadsTextsInEveryEncodingAsWritten) {
    struct TCase {
        std::string Text, Name;
    };
    const std::u16string Wide = u"<GeneticDocument><FitnessMethod>\u00E9\u20AC</FitnessMethod>"
                                u"</GeneticDocument>";
    std::string BigEndian, LittleEndian, Undeclared;
    for (char16_t C : u"<?xml version='1.0' encoding='UTF-16'?>" + Wide) {
        BigEndian += {static_cast<char>(C >> 8), static_cast<char>(C & 0xFF)};
        LittleEndian += {static_cast<char>(C & 0xFF), static_cast<char>(C >> 8)};
    }
    for (char16_t C : Wide) // a byte order mark without a declaration
        Undeclared += {static_cast<char>(C & 0xFF), static_cast<char>(C >> 8)};
    const auto Declared = [](const char* Encoding, const char* Bytes) {
        return std::string("<?xml version=\"1.0\" encoding=\"") + Encoding +
               "\"?><GeneticDocument><FitnessMethod>" + Bytes +
               "</FitnessMethod></GeneticDocument>";
    };
    const TCase Cases[] = {
        {Declared("windows-1252", "\xE9\x80"), "\xC3\xA9\xE2\x82\xAC"},
        {Declared("ISO-8859-15", "\xE9\xA4"), "\xC3\xA9\xE2\x82\xAC"},
        {Declared("ISO-8859-1", "\xE9\xA4"), "\xC3\xA9\xC2\xA4"},
        {Declared("us-ascii", "e&#xE9;"), "e\xC3\xA9"},
        {Declared("UTF-8", "\xC3\xA9"), "\xC3\xA9"},
        {"\xEF\xBB\xBF<GeneticDocument><FitnessMethod>\xC3\xA9</FitnessMethod></GeneticDocument>",
         "\xC3\xA9"},
        {"\xFE\xFF" + BigEndian, "\xC3\xA9\xE2\x82\xAC"},
        {LittleEndian, "\xC3\xA9\xE2\x82\xAC"}, // no byte order mark: known by "<?"
        {"\xFF\xFE" + LittleEndian, "\xC3\xA9\xE2\x82\xAC"},
        {"\xFF\xFE" + Undeclared, "\xC3\xA9\xE2\x82\xAC"},
        // Blank-only texts, CR and CRLF written as references, CDATA and comments inside.
        {"<GeneticDocument><FitnessMethod>   </FitnessMethod></GeneticDocument>", "   "},
        {"<GeneticDocument><FitnessMethod>a&#13;&#10;b&#13;</FitnessMethod></GeneticDocument>",
         "a\r\nb\r"},
        {"<GeneticDocument><FitnessMethod>a\r\nb\rc&#13;\r</FitnessMethod></GeneticDocument>",
         "a\nb\nc\r\n"},
        {"<GeneticDocument><FitnessMethod>a<!--x-->b<![CDATA[<&]]>c</FitnessMethod>"
         "</GeneticDocument>",
         "ab<&c"},
    };
    for (const TCase& Case : Cases) {
        const IXMLGeneticDocumentType Doc = GetGeneticDocument(LoadXMLDocumentFromText(Case.Text));
        EXPECT_EQ(Doc.FitnessMethod(), Case.Name) << Case.Text;
        // What was read is written so that it reads back unchanged.
        const IXMLGeneticDocumentType Again =
            GetGeneticDocument(LoadXMLDocumentFromText(SaveXMLDocumentToText(Doc.OwnerDocument())));
        EXPECT_EQ(Again.FitnessMethod(), Case.Name) << Case.Text;
    }
}

// Line ends and tabs read as blanks, references kept as characters.
TEST(XMLReader, AttributeValuesNormalizeWhiteSpace) {
    EXPECT_EQ(
        GetGeneticDocument(LoadXMLDocumentFromText("<GeneticDocument b='x\r\ny\t&#9;&#13;'/>"))
            .AttributeText("b"),
        "x y \t\r");
}

// What libxml2's xmllint reads as the text of /GeneticDocument/T and of its attribute a;
// "refused" when it does not accept the file.
std::string ReadByXmllint(const std::string& Document, const char* Path) {
    const auto File = std::filesystem::temp_directory_path() / "axgenetic_xmllint.xml";
    std::ofstream(File, std::ios::binary) << Document;
    const std::string Command =
        "xmllint --nonet --xpath '" + std::string(Path) + "' " + File.string() + " 2>/dev/null";
    std::string Output;
    if (FILE* Pipe = popen(Command.c_str(), "r")) {
        char Buffer[256];
        while (const std::size_t N = std::fread(Buffer, 1, sizeof Buffer, Pipe))
            Output.append(Buffer, N);
        if (pclose(Pipe) != 0)
            Output = "refused";
        else if (!Output.empty() && Output.back() == '\n')
            Output.pop_back(); // xmllint adds it
    }
    std::filesystem::remove(File);
    return Output;
}

TEST(XMLWriter, AwkwardTextsSaveAsXMLThatReadsBackEqual) {
    ASSERT_EQ(
        ReadByXmllint("<GeneticDocument><T>ok</T></GeneticDocument>", "string(/GeneticDocument/T)"),
        "ok")
        << "xmllint (Debian package libxml2-utils, installed by scripts/deps) is needed";
    for (const std::string Text :
         {" ", "   ", "\t", "\n", "\r", "\r\n", "a\rb", "a\r\nb\n", " lead", "trail ", "<&>\"'",
          "]]>", "-->", "\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E", "\xEF\xBF\xBD", "&amp;", "\x7F"}) {
        const IXMLGeneticDocumentType Doc = NewGeneticDocument();
        Doc.SetChildText("T", Text);
        Doc.SetAttributeText("a", Text);
        const std::string Saved = SaveXMLDocumentToText(Doc.OwnerDocument());
        EXPECT_EQ(ReadByXmllint(Saved, "string(/GeneticDocument/T)"), Text) << Saved;
        EXPECT_EQ(ReadByXmllint(Saved, "string(/GeneticDocument/@a)"), Text) << Saved;
        const IXMLGeneticDocumentType Back = GetGeneticDocument(LoadXMLDocumentFromText(Saved));
        EXPECT_EQ(Back.ChildText("T"), Text) << Saved;
        EXPECT_EQ(Back.AttributeText("a"), Text) << Saved;
    }
    // What XML 1.0 cannot hold is refused, and the element keeps its text.
    const IXMLGeneticDocumentType Doc = NewGeneticDocument();
    Doc.SetChildText("T", "kept");
    for (const std::string& Text :
         {std::string("a\x01"), std::string("\x1B"), std::string("\x1F"), std::string(1, '\0'),
          std::string("\xEF\xBF\xBE"), std::string("\xEF\xBF\xBF"), std::string("\xC3"),
          std::string("\xED\xA0\x80"), std::string("\xF8\x88\x80\x80")}) {
        EXPECT_THROW(Doc.SetChildText("T", Text), EXMLParseError) << Text;
        EXPECT_THROW(Doc.SetAttributeText("a", Text), EXMLParseError) << Text;
        EXPECT_THROW(Doc.AddChild("n" + Text), EXMLParseError) << Text;
    }
    EXPECT_EQ(Doc.ChildText("T"), "kept");
    EXPECT_EQ(Doc.AttributeText("a"), "");
    EXPECT_EQ(
        ReadByXmllint(SaveXMLDocumentToText(Doc.OwnerDocument()), "string(/GeneticDocument/T)"),
        "kept");
}

TEST(XMLValues, FloatsReadBackExactly) {
    const double Inf = std::numeric_limits<double>::infinity();
    for (double V : {DBL_MAX, -DBL_MAX, DBL_MIN, DBL_TRUE_MIN, -DBL_TRUE_MIN, 0.1, 1.0 / 3,
                     123456789012345678.0, Inf, -Inf, std::nan("")}) {
        TXMLNumberText Buffer;
        const double Back = TXMLValue<double>::Read(TXMLValue<double>::Format(V, Buffer));
        EXPECT_TRUE(Back == V || (std::isnan(V) && std::isnan(Back))) << V;
    }
    EXPECT_EQ(TXMLValue<float>::Read("1E39"), std::numeric_limits<float>::infinity());
    EXPECT_EQ(TXMLValue<float>::Read("-1E300"), -std::numeric_limits<float>::infinity());
    const IXMLGeneticDocumentType Doc = NewGeneticDocument();
    Doc.SetMaxFitness(-DBL_MAX); // beyond single precision: an infinity, as IEEE narrowing gives
    EXPECT_EQ(Doc.FindChild("MaxFitness").Text(), "-INF");
}

std::string Children(const IXMLNode& Node) {
    std::string Text;
    for (IXMLNode Child : Node.ChildElements())
        Text += Child.NodeName() + "=" + Child.Text() + " ";
    return Text;
}

TEST(XMLValues, MissingValuesReadAsDefaultsWithoutCreatingElements) {
    IXMLGeneticDocumentType Doc = NewGeneticDocument();
    EXPECT_EQ(std::tuple(Doc.DiversityLimit(), Doc.GenerationLimit(), Doc.UseFitnessCutoff(),
                         Doc.FitnessMethod(), Doc.ChildElementCount()), // reading creates nothing
              std::tuple(0.0, 0u, false, "", 0));
}

TEST(XMLValues, WritesAppendOnceThenRewriteInPlace) {
    IXMLGeneticDocumentType Doc = NewGeneticDocument();
    Doc.SetGeneration(-7), Doc.SetFitnessCutoff(0.1), Doc.SetUseFitnessCutoff(true);
    Doc.SetGenerationLimit(4294967295u);
    Doc.SetGeneration(12); // rewritten in place
    Doc.AddChild("DiversityLimit");
    EXPECT_EQ(Children(Doc), "Generation=12 FitnessCutoff=0.1 UseFitnessCutoff=True "
                             "GenerationLimit=4294967295 DiversityLimit= ");
    EXPECT_EQ(Doc.DiversityLimit(), 0.0);
    EXPECT_EQ(Doc.GenerationLimit(), 4294967295u);
}

TEST(XMLValues, BooleanTextsReadTrueOnlyForTrue) {
    IXMLGeneticDocumentType Doc = NewGeneticDocument();
    Doc.SetUseFitnessCutoff(true);
    for (const auto& [Text, Value] : {std::pair<const char*, bool>{"TRUE", true},
                                      {"tRuE", true},
                                      {"yes", false},
                                      {"Trues", false}}) {
        Doc.ChildElement("UseFitnessCutoff").SetText(Text);
        EXPECT_EQ(Doc.UseFitnessCutoff(), Value) << Text;
    }
}

TEST(XMLValues, TextsThatAreNotNumbersFailToConvert) {
    auto Read = GetGeneticDocument(LoadXMLDocumentFromText(
        "<GeneticDocument><AvgFitness>abc</AvgFitness><GenerationLimit>-1</GenerationLimit>"
        "</GeneticDocument>"));
    EXPECT_THROW(Read.AvgFitness(), EConvertError);
    EXPECT_THROW(Read.GenerationLimit(), EConvertError);
}

TEST(XMLValues, NumbersReadBackAsWritten) {
    IXMLGeneticDocumentType Read = NewGeneticDocument();
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

TEST(XMLDocuments, BadFilesNamesOrRootsThrow) {
    EXPECT_THROW(LoadGeneticDocument("/nonexistent/dir/doc.xml"), EFOpenError);
    EXPECT_THROW(NewGeneticDocument().AddChild("Not valid"), EXMLParseError);
    std::istringstream Wrong("<GADomain/>");
    EXPECT_THROW(LoadChromosomes(Wrong), EXMLParseError);
}

// Views keep their document alive; written text reads back to the same text.
TEST(XMLDocuments, ViewsKeepTheirDocumentAlive) {
    IXMLGenesType Genes = NewGeneticAlgorithm().Domain().Chromosomes().Add().Genes();
    Genes.SetBits("0101");
    const std::string First = SaveXMLDocumentToText(Genes.OwnerDocument());
    EXPECT_EQ(SaveXMLDocumentToText(LoadXMLDocumentFromText(First)), First);
    EXPECT_NE(First.find("<Bits>0101</Bits>"), std::string::npos);
}

TEST(XMLDocuments, MixedGenesKeepTheirInsertionOrder) {
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
}

TEST(XMLDocuments, ElementsKeepTheOrderOfTheirFirstWrite) {
    auto Repro = NewGeneticAlgorithm().Reproduction();
    EXPECT_EQ(Repro.CrossoverMethod(), "cmGeneBoundary"); // missing: the default
    Repro.SelectionMethod().SetTournamentField(3);
    Repro.SetCrossoverMethod("cmByteBoundary");
    EXPECT_EQ(Children(Repro), "SelectionMethod= CrossoverMethod=cmByteBoundary ");
}

} // namespace
} // namespace ax
