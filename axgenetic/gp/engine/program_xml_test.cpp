#include "axgenetic/gp/engine/program_xml.hpp"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "axgenetic/gp/engine/float_classes.hpp"
#include "axgenetic/gp/engine/variant_classes.hpp"
#include "axgenetic/xml/xml_node.hpp"

namespace ax {
namespace {

// The bits of a double, NaN being any NaN.
std::uint64_t Bits(double Value) {
    return std::isnan(Value) ? 0x7ff8000000000000ull : std::bit_cast<std::uint64_t>(Value);
}

const double AwkwardDoubles[] = {DBL_MAX,
                                 -DBL_MAX,
                                 DBL_MIN,
                                 std::numeric_limits<double>::denorm_min(),
                                 -0x1.23456789abcdep-1040,
                                 -0.0,
                                 0.0,
                                 std::numeric_limits<double>::infinity(),
                                 -std::numeric_limits<double>::infinity(),
                                 std::numeric_limits<double>::quiet_NaN(),
                                 3.141592653589793,
                                 0x1.89ee4b40383fp-2,
                                 0.1,
                                 1e23,
                                 -123456789012345678.0};

// Every double comes back from a saved instruction set and a saved program with the same
// bits, while the label of the constant node keeps the short display text.
TEST(ProgramXML, ConstantValuesRoundTripExactly) {
    for (const double Value : AwkwardDoubles) {
        SCOPED_TRACE(Value);
        TAxGPFloatInstructions Saved(nullptr), Loaded(nullptr);
        auto* Constant = Saved.Add();
        Constant->SetName("c");
        Constant->SetOperation(TGPGeneticInstruction::gpConstant);
        Constant->SetValue(Value);
        const auto Document = NewXMLDocument();
        const IXMLGPInstructions Element(AddDocumentElement(Document, "Instructions"));
        Saved.SaveToXML(Element);
        Loaded.LoadFromXML(Element);
        EXPECT_EQ(Bits(Loaded.Items(0)->Value()), Bits(Value));

        TAxGPFloatNode Node(Constant), Back(Loaded.Items(0));
        Node.SetValue(Value);
        const auto Tree = NewXMLDocument();
        const IXMLDnaType DNA(AddDocumentElement(Tree, "DNA"));
        SaveProgramToXML<TGAFloat>(Node, DNA);
        LoadProgramFromXML<TGAFloat>(Back, DNA);
        EXPECT_EQ(Bits(Back.Value()), Bits(Value));
        EXPECT_EQ(Back.ToString(), Node.ToString());
    }
    TAxGPFloatInstructions Set(nullptr);
    auto* Pi = Set.Add();
    Pi->SetOperation(TGPGeneticInstruction::gpConstant);
    TAxGPFloatNode Node(Pi);
    Node.SetValue(3.141592653589793);
    EXPECT_EQ(Node.ToString(), "3.14159265358979");
}

// Variant constants save a double exactly too (and load back as its text, which converts
// to the same double).
TEST(ProgramXML, VariantDoublesRoundTripExactlyAsText) {
    for (const double Value : AwkwardDoubles) {
        SCOPED_TRACE(Value);
        TAxGPVariantInstructions Saved(nullptr), Loaded(nullptr);
        auto* Constant = Saved.Add();
        Constant->SetName("c");
        Constant->SetOperation(TGPGeneticInstruction::gpConstant);
        Constant->SetValue(Variant(Value));
        const auto Document = NewXMLDocument();
        const IXMLGPInstructions Element(AddDocumentElement(Document, "Instructions"));
        Saved.SaveToXML(Element);
        Loaded.LoadFromXML(Element);
        EXPECT_EQ(Bits(Loaded.Items(0)->Value().ToDouble()), Bits(Value));

        TAxGPVariantNode Node(Constant), Back(Loaded.Items(0));
        Node.SetValue(Variant(Value));
        const auto Tree = NewXMLDocument();
        const IXMLDnaType DNA(AddDocumentElement(Tree, "DNA"));
        SaveProgramToXML<Variant>(Node, DNA);
        LoadProgramFromXML<Variant>(Back, DNA);
        EXPECT_EQ(Bits(Back.Value().ToDouble()), Bits(Value));
    }
}

} // namespace
} // namespace ax
