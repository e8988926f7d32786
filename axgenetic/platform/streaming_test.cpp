#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>

#include "axgenetic/platform/collection.hpp"
#include "axgenetic/platform/component.hpp"
#include "axgenetic/platform/streaming.hpp"

namespace ax {
namespace {

enum class TColour { clRed, clGreen, clBlue };
using TFlags = TSet<TColour, unsigned char>;

} // namespace
template <> struct EnumNames<TColour> {
    static constexpr std::string_view Values[] = {"clRed", "clGreen", "clBlue"};
};
namespace {

class TPart : public TCollectionItem {
public:
    static constexpr const char* StaticClassName = "TPart";
    const std::string& Label() const { return FLabel; }
    void SetLabel(const std::string& V) { FLabel = V; }
    void GetPublishedProperties(TPublishedProperties& List) const override {
        List.push_back(Published("Label", &TPart::Label, &TPart::SetLabel));
    }

private:
    std::string FLabel;
};

class TGadget : public TComponent {
public:
    TGadget() : FParts(ClassOf<TPart>()) {}
    std::string ClassName() const override { return "TGadget"; }
    int Count() const { return FCount; }
    void SetCount(int V) { FCount = V < 0 ? 0 : V; } // clamps
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool V) { FEnabled = V; }
    TColour Colour() const { return FColour; }
    void SetColour(TColour V) { FColour = V; }
    TFlags Flags() const { return FFlags; }
    void SetFlags(TFlags V) { FFlags = V; }
    double Ratio() const { return FRatio; }
    void SetRatio(double V) { FRatio = V; }
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& V) { FCaption = V; }
    TCollection* Parts() const { return const_cast<TCollection*>(&FParts); }
    int DefinedReads = 0;

    void GetPublishedProperties(TPublishedProperties& List) const override {
        TComponent::GetPublishedProperties(List);
        List.push_back(PublishedDefault("Count", &TGadget::Count, &TGadget::SetCount, 3));
        List.push_back(PublishedDefault("Enabled", &TGadget::Enabled, &TGadget::SetEnabled, true));
        List.push_back(
            PublishedDefault("Colour", &TGadget::Colour, &TGadget::SetColour, TColour::clRed));
        List.push_back(Published("Flags", &TGadget::Flags, &TGadget::SetFlags));
        List.push_back(PublishedDefault("Ratio", &TGadget::Ratio, &TGadget::SetRatio, 0.5));
        List.push_back(Published("Caption", &TGadget::Caption, &TGadget::SetCaption));
        List.push_back(PublishedCollection("Parts", &TGadget::Parts));
    }
    void DefineProperties(TFiler& Filer) override {
        TComponent::DefineProperties(Filer);
        // Written whenever Ratio is not its default, also when it is 0.
        Filer.DefineProperty(
            "Ratio", nullptr, [this](TWriter& W) { W.WriteFloat(FRatio); }, FRatio != 0.5);
        Filer.DefineProperty(
            "Secret",
            [this](TReader& R) {
                FCount = static_cast<int>(R.ReadInteger()) * 100, ++DefinedReads;
            },
            [](TWriter& W) { W.WriteInteger(7); }, FEnabled);
    }

private:
    int FCount = 3;
    bool FEnabled = true;
    TColour FColour = TColour::clRed;
    TFlags FFlags;
    double FRatio = 0.5;
    std::string FCaption;
    TCollection FParts;
};

std::string Written(TComponent& C) {
    std::ostringstream Out;
    WriteComponentText(Out, C);
    return Out.str();
}

void Read(const std::string& Text, TComponent& C) {
    std::istringstream In(Text);
    ReadComponentText(In, C);
}

TEST(PropertyStreaming, StoredPropertiesReadBackAsWritten) {
    TGadget G;
    EXPECT_EQ(Written(G),
              "object TGadget\n  Flags = []\n  Caption = ''\n  Parts = <>\n  Secret = 7\nend\n");
    G.SetName("Gadget1");
    G.SetTag(-4);
    G.SetCount(9);
    G.SetColour(TColour::clBlue);
    G.SetFlags({TColour::clRed, TColour::clBlue});
    G.SetRatio(0.1);
    G.SetCaption("it's\na \"line\"");
    static_cast<TPart*>(G.Parts()->Add())->SetLabel("first");
    G.Parts()->Add();
    const std::string Head = "object Gadget1: TGadget\n  Tag = -4\n  Count = ";
    const std::string Rest = "\n  Colour = clBlue\n  Flags = [clRed, clBlue]\n  Ratio = 0.1\n"
                             "  Caption = 'it''s'#10'a \"line\"'\n"
                             "  Parts = <\n    item\n      Label = 'first'\n    end\n"
                             "    item\n      Label = ''\n    end>\n"
                             "  Ratio = 0.1\n  Secret = 7\nend\n";
    EXPECT_EQ(Written(G), Head + "9" + Rest);
    // Reading gives the same text back, except that the defined Secret reader, which comes
    // after Count, has overwritten it.
    TGadget Copy;
    Read(Head + "9" + Rest, Copy);
    EXPECT_EQ(Written(Copy), Head + "700" + Rest);
    EXPECT_EQ(Copy.DefinedReads, 1);
}

// A non-default 0 is left out by the published property, but written by the defined
// one; reading it goes through the published setter.
TEST(PropertyStreaming, ZeroIsWrittenByTheDefinedProperty) {
    TGadget G;
    G.SetCount(9);
    G.SetRatio(0);
    G.SetEnabled(false);
    const std::string Zeroed = Written(G);
    EXPECT_NE(Zeroed.find("  Enabled = False\n"), std::string::npos);
    EXPECT_EQ(Zeroed.find("Ratio"), Zeroed.rfind("Ratio"));
    TGadget Zero;
    Read(Zeroed, Zero);
    EXPECT_TRUE(Zero.Ratio() == 0.0 && !Zero.Enabled() && Zero.Count() == 9);
}

TEST(PropertyStreaming, BadTextIsRefusedWithItsLine) {
    TGadget G;
    G.SetCount(5);
    const std::pair<const char*, const char*> Cases[] = {
        {"object G: TGadget\n  Count = 1\n", "Line 3: end expected"},
        {"thing\nend\n", "Line 1: object expected"},
        {"object G: TGadget\n  Count 1\nend\n", "Line 2: property expected"},
        {"object G: TGadget\n  Parts = <\n    Label = 'x'\n  end>\nend\n", "Line 3: item expected"},
        {"object G: TGadget\nend\nend\n", "Line 3: end of text expected"},
        {"object TGadget\n  Colour = clPink\nend\n", "Line 2: Colour: Invalid property value"},
        {"object TGadget\n  Count = 99999999999\nend\n", "Line 2: Count: Invalid property value"},
        {"object TGadget\n  Caption = 'open\nend\n", "Line 2: Caption: Invalid property value"},
        {"object TGadget\n  Flags = [clRed, clPink]\nend\n",
         "Line 2: Flags: Invalid property value"},
        {"object TGadget\n  Colour = <>\nend\n", "Line 2: Invalid property value"},
        {"object TGadget\n  Missing = 1\nend\n", "Line 2: Property Missing does not exist"}};
    for (const auto& [Text, Message] : Cases) {
        try {
            Read(Text, G);
            ADD_FAILURE() << Text;
        } catch (const EReadError& E) {
            EXPECT_STREQ(E.what(), Message);
        }
    }
    // Syntax errors are found before anything changes.
    EXPECT_TRUE(G.Count() == 5 && G.Name().empty());
}

// Setters clamp what they are given.
TEST(PropertyStreaming, ReadValuesPassThroughTheSetters) {
    TGadget G;
    Read("object TGadget\n  Count = -8\n  Flags = [ ]\n  Caption = #9'x'#0\nend\n", G);
    EXPECT_EQ(G.Count(), 0);
    EXPECT_EQ(G.Caption(), std::string("\tx\0", 3));
}

TEST(PropertyStreaming, ValueTexts) {
    for (double V : {0.98, 1e-300, -2.5e100, 1.0 / 3.0, 5e-324})
        EXPECT_EQ(StreamFloatValue(StreamFloatText(V)), V);
    EXPECT_EQ(StreamFloatText(0.98), "0.98");
    EXPECT_EQ(QuotedStreamString("\r\n"), "#13#10");
    EXPECT_EQ(UnquotedStreamString("'a'#65'b'''"), "aAb'");
    for (const char* Bad : {"", "1,5"})
        EXPECT_THROW(StreamFloatValue(Bad), EReadError) << Bad;
    for (const char* Bad : {"#256", "abc"})
        EXPECT_THROW(UnquotedStreamString(Bad), EReadError) << Bad;
}

} // namespace
} // namespace ax
