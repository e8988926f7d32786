#include "axgenetic/gp/engine/program_xml.hpp"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <utility>

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

double AsDouble(TGAFloat Value) {
    return Value;
}
double AsDouble(const Variant& Value) {
    return Value.ToDouble();
}

// Value saved as the constant of an instruction set and as a node's own value: the two
// values loaded back.
template <class T, class TSet, class TNode> std::pair<double, double> RoundTrip(double Value) {
    TSet Saved(nullptr), Loaded(nullptr);
    auto* Constant = Saved.Add();
    Constant->SetName("c");
    Constant->SetOperation(TGPGeneticInstruction::gpConstant);
    Constant->SetValue(T(Value));
    const auto Document = NewXMLDocument();
    const IXMLGPInstructions Element(AddDocumentElement(Document, "Instructions"));
    Saved.SaveToXML(Element);
    Loaded.LoadFromXML(Element);
    TNode Node(Constant), Back(Loaded.Items(0));
    Node.SetValue(T(Value));
    const auto Tree = NewXMLDocument();
    const IXMLDnaType DNA(AddDocumentElement(Tree, "DNA"));
    SaveProgramToXML<T>(Node, DNA);
    LoadProgramFromXML<T>(Back, DNA);
    return {AsDouble(Loaded.Items(0)->Value()), AsDouble(Back.Value())};
}

// Every double comes back from a saved instruction set and a saved program with the same
// bits (a variant as its text, which converts to the same double), while the label of a
// float constant keeps the short display text.
TEST(ProgramXML, ConstantValuesRoundTripExactly) {
    for (const double Value : AwkwardDoubles) {
        SCOPED_TRACE(Value);
        const auto Float = RoundTrip<TGAFloat, TAxGPFloatInstructions, TAxGPFloatNode>(Value);
        EXPECT_EQ(Bits(Float.first), Bits(Value));
        EXPECT_EQ(Bits(Float.second), Bits(Value));
        const auto Text = RoundTrip<Variant, TAxGPVariantInstructions, TAxGPVariantNode>(Value);
        EXPECT_EQ(Bits(Text.first), Bits(Value));
        EXPECT_EQ(Bits(Text.second), Bits(Value));
    }
    TAxGPFloatInstructions Set(nullptr);
    auto* Pi = Set.Add();
    Pi->SetOperation(TGPGeneticInstruction::gpConstant);
    TAxGPFloatNode Node(Pi);
    Node.SetValue(3.141592653589793);
    EXPECT_EQ(Node.ToString(), "3.14159265358979");
}

} // namespace
} // namespace ax
