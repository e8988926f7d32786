#include "axgenetic/ga/gene.hpp"

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "axgenetic/common/encoded_bits.hpp"
#include "axgenetic/core/exceptions.hpp"

namespace ax {
namespace {

using B = std::pair<double, double>;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

TAxGAGene* Shape(TAxGAGene* Gene, TGeneType Type, int Size, bool Signed = false) {
    Gene->SetGeneType(Type);
    Gene->SetPreserveSignBit(Signed);
    Gene->SetSize(Size);
    return Gene;
}

// The bounds after Change ran.
template <class F> B After(const TAxGAGene& Gene, F&& Change) {
    Change();
    return {Gene.MinValue(), Gene.MaxValue()};
}

std::vector<int> Offsets(const TAxGAGenes& Genes) {
    std::vector<int> Result;
    for (int I = 0; I < Genes.Count(); ++I)
        Result.push_back(Genes[I]->Offset());
    return Result;
}

TEST(GeneLayout, OffsetsFollowEveryChangeOfTheCollection) {
    for (auto [Value, Bits] :
         {std::pair{0u, 0}, {1u, 1}, {3u, 2}, {4u, 3}, {255u, 8}, {256u, 9}, {0xFFFFFFFFu, 32}})
        EXPECT_EQ(BitsRequired(Value), Bits) << Value;
    TAxGAGenes Genes(nullptr);
    EXPECT_EQ(Genes.GetSize(), 0);
    TAxGAGene* A = Genes.Add(); // a new gene is all zero and empty
    EXPECT_TRUE(A->Size() == 0 && A->GeneType() == TGeneType::gtUnknown && !A->PreserveSignBit() &&
                !A->HasEnumerations() && A->MinValue() == 0 && A->MaxValue() == 0);
    Shape(A, TGeneType::gtInteger, 8);
    TAxGAGene* Flag = Shape(Genes.Add(), TGeneType::gtBoolean, 1);
    TAxGAGene* C = Shape(Genes.Add(), TGeneType::gtInteger, 16);
    EXPECT_EQ(Offsets(Genes), (std::vector{0, 8, 9}));
    EXPECT_EQ(Genes.GetSize(), 25);
    Flag->SetSize(3);
    EXPECT_EQ(Offsets(Genes), (std::vector{0, 8, 11}));
    Flag->SetSize(1);
    C->SetIndex(0);
    EXPECT_EQ(Offsets(Genes), (std::vector{0, 16, 24}));
    C->SetIndex(2);
    Genes.Delete(0);
    EXPECT_EQ(Offsets(Genes), (std::vector{0, 1}));
    EXPECT_EQ(Genes.GetSize(), 17);
    Genes.Insert(1)->SetSize(4);
    EXPECT_EQ(Offsets(Genes), (std::vector{0, 1, 5}));
}

TEST(GeneBounds, EachSetterRecalculatesInTurn) {
    TAxGAGene G;
    EXPECT_EQ(After(G, [&] { Shape(&G, TGeneType::gtInteger, 8); }), B(0, 255));
    EXPECT_EQ(After(G, [&] { G.SetMaxValue(100); }), B(0, 100));
    EXPECT_EQ(After(G, [&] { G.SetMinValue(10); }), B(10, 100));
    EXPECT_EQ(After(G, [&] { G.SetMinValue(300); }), B(300, 555));
    EXPECT_EQ(After(G, [&] { G.SetMinValue(-1000); }), B(-1000, -745));
    EXPECT_EQ(After(G, [&] { G.SetMinValue(NaN), G.SetMaxValue(NaN); }), B(-1000, -745));
    EXPECT_EQ(After(G, [&] { G.SetMaxValue(-488); }), B(0, -488)); // unsigned: minimum >= 0
    EXPECT_EQ(After(G, [&] { G.SetPreserveSignBit(true); }), B(-128, 127));
    EXPECT_EQ(After(G, [&] { G.SetMaxValue(100); }), B(-156, 100));
    EXPECT_EQ(After(G, [&] { G.SetMinValue(-2000), G.SetMaxValue(-1488); }), B(-2000, -1488));
    EXPECT_EQ(After(G, [&] { G.SetMaxValue(-1489); }), B(-1745, -1489));
    // Type, size and sign changes reset the bounds; the power is a floating one.
    EXPECT_EQ(After(G, [&] { G.SetGeneType(TGeneType::gtFloat); }), B(-128, 127));
    EXPECT_EQ(After(G, [&] { G.SetSize(4); }), B(-8, 7));
    EXPECT_EQ(After(G, [&] { G.SetPreserveSignBit(false); }), B(0, 15));
    EXPECT_EQ(After(G, [&] { G.SetSize(0); }), B(0, 0));
    // Unknown genes keep their bounds but not a negative minimum; Boolean ones keep both.
    TAxGAGene Unknown, Flag;
    EXPECT_EQ(After(Unknown, [&] { Unknown.SetMinValue(-3), Unknown.SetSize(5); }), B(-3, 0));
    EXPECT_EQ(After(Unknown, [&] { Unknown.SetMaxValue(2); }), B(0, 2));
    Shape(&Flag, TGeneType::gtBoolean, 7);
    EXPECT_EQ(After(Flag, [&] { Flag.SetMinValue(-3), Flag.SetMaxValue(6); }), B(-3, 6));
}

// The maximum follows the count; a maximum within it moves the minimum.
TEST(GeneBounds, EnumerationMaximumFollowsTheValueCount) {
    TAxGAGene E;
    E.SetGeneType(TGeneType::gtEnumeration);
    for (const char* Text : {"red", "green", "blue"})
        E.Enumerations().Add(Text);
    EXPECT_EQ(After(E, [&] { E.SetMinValue(5); }), B(5, 7));
    EXPECT_EQ(After(E, [&] { E.SetMaxValue(9); }), B(5, 9));
    EXPECT_EQ(After(E, [&] { E.SetMaxValue(6); }), B(3, 6));
    EXPECT_EQ(After(E, [&] { E.SetMaxValue(1); }), B(0, 1));
}

TEST(GeneEnumerations, SizingDependsOnHowValuesArrive) {
    TStringList Colours;
    for (const char* Text : {"red", "green", "blue"})
        Colours.Add(Text);
    TAxGAGene Four, Three, AtOnce, Plain;
    for (TAxGAGene* G : {&Four, &Three, &AtOnce})
        G->SetGeneType(TGeneType::gtEnumeration);
    EXPECT_EQ(
        After(Four, [&] { Four.Enumerations().Assign(Colours), Four.Enumerations().Add("x"); }),
        B(0, 3));
    EXPECT_EQ(Four.Size(), 3);
    EXPECT_EQ(After(Three, [&] { Three.Enumerations().Add("a"), Three.Enumerations().Add("b"); }),
              B(0, 1));
    EXPECT_EQ(After(Three, [&] { Three.Enumerations().Add("c"); }), B(0, 1)); // no new bit
    EXPECT_EQ(After(AtOnce, [&] { AtOnce.SetEnumerations(Colours); }), B(0, 2));
    EXPECT_EQ(std::pair(Three.Size(), AtOnce.Size()), std::pair(2, 2));
    EXPECT_EQ(After(AtOnce, [&] { AtOnce.Enumerations().Clear(); }), B(0, -1));
    EXPECT_EQ(AtOnce.Size(), 0);
    for (const char* Text : {"b", "a", "B"}) // unsorted, duplicates kept
        AtOnce.Enumerations().Add(Text);
    EXPECT_EQ(AtOnce.Enumerations().Text(), "b\na\nB\n");
    // Only an enumeration gene is sized by its list; switching to one keeps the size.
    Shape(&Plain, TGeneType::gtInteger, 8)->Enumerations().Add("x");
    EXPECT_EQ(After(Plain, [&] { Plain.SetGeneType(TGeneType::gtEnumeration); }), B(0, 0));
    EXPECT_EQ(Plain.Size(), 8);
    Plain.Enumerations().Add("y");
    EXPECT_EQ(Plain.Size(), 2);
}

TEST(GeneAssign, CopiesTheDefinitionWithoutRulesOrLayout) {
    TAxGAGenes Genes(nullptr);
    Shape(Genes.Add(), TGeneType::gtInteger, 5);
    TAxGAGene* Gene = Shape(Genes.Add(), TGeneType::gtInteger, 2);
    TAxGAGene* Behind = Shape(Genes.Add(), TGeneType::gtBoolean, 1);
    TAxGAGene Source;
    Source.SetGeneType(TGeneType::gtEnumeration);
    for (const char* Text : {"red", "green", "blue"})
        Source.Enumerations().Add(Text);
    Source.SetName("colour");
    Source.SetSize(6); // more bits than the values need: the copy keeps them
    Source.SetMinValue(2);
    EXPECT_EQ(After(*Gene, [&] { Gene->Assign(Source); }), B(2, 4));
    EXPECT_TRUE(Gene->Name() == "colour" && Gene->IsEnumeration() && Gene->Size() == 6);
    EXPECT_EQ(Gene->Enumerations().Text(), "red\ngreen\nblue\n");
    EXPECT_EQ(Offsets(Genes), (std::vector{0, 5, 7})); // no layout update
    Gene->Enumerations().Add("pink");                  // the copied list still sizes the gene
    EXPECT_EQ(Behind->Offset(), 8);
    TAxGAGene Plain;
    EXPECT_EQ(After(*Gene, [&] { Gene->Assign(*Shape(&Plain, TGeneType::gtInteger, 4)); }),
              B(0, 15));
    EXPECT_FALSE(Gene->HasEnumerations());
}

TAxEncodedBits MakeBits(int Size) {
    TAxEncodedBits Bits;
    Bits.SetSize(Size);
    return Bits;
}

template <class F> std::string Message(F&& Call) {
    try {
        Call();
    } catch (const EGAException& E) {
        return E.what();
    }
    return "no error";
}

TEST(GeneValue, NumericWritesClampIntoTheBounds) {
    TAxGAGene G;
    Shape(&G, TGeneType::gtInteger, 8);
    TAxEncodedBits Bits = MakeBits(8);
    // Out-of-range writes take the bound rounded halves-to-even, by both integer forms.
    const struct {
        double Min, Max;
        std::int64_t In, Out;
    } Cases[] = {{0, 255, 300, 255},       {0, 255, -5, 0},           {0, 255, 17, 17},
                 {0, 255, 1LL << 40, 255}, {0, 255, -(1LL << 40), 0}, {0, 2.5, 9, 2},
                 {0, 3.5, 9, 4},           {0.5, 3.5, 0, 0},          {1.5, 3.5, 0, 2}};
    for (const auto& C : Cases) {
        G.SetMaxValue(C.Max);
        G.SetMinValue(C.Min);
        ASSERT_EQ(G.MinValue(), C.Min);
        G.SetGeneAsInt64(Bits, C.In);
        EXPECT_EQ(G.GeneAsInt64(Bits), C.Out) << C.Min << ".." << C.Max << " " << C.In;
        if (C.In != static_cast<std::int32_t>(C.In)) continue;
        Bits.SetAsInteger(0, 8, 99);
        G.SetGeneAsInteger(Bits, static_cast<std::int32_t>(C.In));
        EXPECT_EQ(G.GeneAsInteger(Bits), C.Out) << C.Min << ".." << C.Max << " " << C.In;
    }
    // An Integer write keeps only the low 32 bits of a bound beyond them.
    TAxGAGene Wide;
    Shape(&Wide, TGeneType::gtInteger, 40)->SetMinValue(4294967296.0 + 5);
    TAxEncodedBits WideBits = MakeBits(40);
    Wide.SetGeneAsInteger(WideBits, 0);
    EXPECT_EQ(Wide.GeneAsInt64(WideBits), 5);
    Wide.SetGeneAsInt64(WideBits, 0);
    EXPECT_EQ(Wide.GeneAsInt64(WideBits), 4294967301);

    // Double and Float: NaN takes the minimum; a Float takes the bound narrowed.
    TAxGAGene D, F;
    Shape(&D, TGeneType::gtFloat, 64, true)->SetMaxValue(1);
    D.SetMinValue(-1);
    Shape(&F, TGeneType::gtFloat, 32, true)->SetMaxValue(0.1);
    F.SetMinValue(-0.1);
    TAxEncodedBits DBits = MakeBits(64), FBits = MakeBits(32);
    for (auto [In, Out] : {std::pair{2.5, 1.0}, {NaN, -1.0}, {-7.0, -1.0}, {0.375, 0.375}}) {
        D.SetGeneAsDouble(DBits, In);
        EXPECT_EQ(D.GeneAsDouble(DBits), Out) << In;
    }
    for (auto [In, Out] : {std::pair{3.0f, 0.1f}, {float(NaN), -0.1f}, {0.05f, 0.05f}}) {
        F.SetGeneAsFloat(FBits, In);
        EXPECT_EQ(F.GeneAsFloat(FBits), Out) << In;
    }
    EXPECT_EQ(F.AsString(FBits), "0.0500000007450581"); // the single's own digits
    TAxGAGene Flag;                                     // Boolean writes are never clamped
    Shape(&Flag, TGeneType::gtBoolean, 3)->SetMinValue(5);
    Flag.SetGeneAsBoolean(FBits, true);
    EXPECT_TRUE(Flag.GeneAsBoolean(FBits));
}

TEST(GeneValue, ReadsFollowTheGenesSignRuleNotTheChromosomes) {
    TAxGAGene G;
    Shape(&G, TGeneType::gtInteger, 8);
    TAxEncodedBits Bits = MakeBits(8);
    Bits.SetAsInteger(0, 8, -128);
    for (bool Signed : {false, true}) {
        G.SetPreserveSignBit(Signed);
        Bits.SetSignBit(!Signed); // the chromosome's own flag says the opposite
        const TAxEncodedBits& Kept = Bits;
        const double Expected = Signed ? -128 : 128;
        EXPECT_EQ(G.GeneAsInteger(Kept), Expected);
        EXPECT_EQ(G.GeneAsInt64(Kept), Expected);
        EXPECT_EQ(G.GeneAsFloat(Kept), Expected);
        EXPECT_EQ(G.GeneAsDouble(Kept), Expected);
        EXPECT_EQ(Bits.SignBit(), !Signed);
    }
}

TEST(GeneValue, WritesSetTheChromosomesSignFlag) {
    TAxGAGene G;
    Shape(&G, TGeneType::gtInteger, 8);
    TAxEncodedBits Bits = MakeBits(8);
    const std::vector<std::function<void()>> Writes = {
        [&] { G.SetGeneAsInteger(Bits, 1); }, [&] { G.SetGeneAsInt64(Bits, 1); },
        [&] { G.SetGeneAsFloat(Bits, 1); }, [&] { G.SetGeneAsDouble(Bits, 1); }};
    for (bool Signed : {false, true}) {
        G.SetPreserveSignBit(Signed);
        for (std::size_t I = 0; I < Writes.size(); ++I) {
            Bits.SetSignBit(!Signed);
            Writes[I]();
            EXPECT_EQ(Bits.SignBit(), Signed) << "write " << I;
        }
    }
}

// A signed 6-bit integer, a raw 5-bit gene and three colours, in 13 bits.
class GeneText : public ::testing::Test {
protected:
    GeneText() {
        for (const char* Text : {"red", "green", "blue"})
            Colour->Enumerations().Add(Text);
    }
    TAxGAGenes Genes{nullptr};
    TAxGAGene* Number = Shape(Genes.Add(), TGeneType::gtInteger, 6, true);
    TAxGAGene* Raw = Shape(Genes.Add(), TGeneType::gtUnknown, 5);
    TAxGAGene* Colour = Shape(Genes.Add(), TGeneType::gtEnumeration, 0);
    TAxEncodedBits Bits = MakeBits(13);
};

TEST_F(GeneText, FollowsTheGenesType) {
    Number->SetGeneAsInteger(Bits, -3);
    Bits.SetAsBitString(6, 5, "10110");
    EXPECT_EQ(Number->AsString(Bits), "-3");
    EXPECT_EQ(Raw->AsString(Bits), "10110");
    EXPECT_EQ(Raw->GeneAsInteger(Bits), 13); // no accessor checks the type
    Raw->SetGeneType(TGeneType::gtBoolean);
    EXPECT_EQ(Raw->AsString(Bits), "True");
}

TEST_F(GeneText, EnumerationValuesMustBeListed) {
    Colour->SetGeneAsEnumeration(Bits, "GREEN");
    EXPECT_EQ(Bits.GetAsInteger(11, 2), 1);
    EXPECT_EQ(Colour->GeneAsEnumeration(Bits), "green");
    EXPECT_EQ(Message([&] { Colour->SetGeneAsEnumeration(Bits, "pink"); }),
              "\"pink\" is not a valid enumerated value");
    EXPECT_EQ(Bits.GetAsInteger(11, 2), 1); // unchanged by the rejected text
    Colour->SetPreserveSignBit(true);       // the index is read without the sign
    Bits.SetAsInteger(11, 2, 2);
    EXPECT_EQ(Colour->AsString(Bits), "blue");
    Bits.SetAsInteger(11, 2, 3);
    EXPECT_EQ(Message([&] { Colour->AsString(Bits); }), "No enumerated value found in chromosome");
    Colour->Enumerations().Clear();
    Colour->SetSize(2);
    Bits.SetAsInteger(11, 2, 0);
    EXPECT_EQ(Message([&] { Colour->GeneAsEnumeration(Bits); }),
              "No enumerated value found in chromosome");
}

TEST_F(GeneText, OutsideAnAlgorithmThereIsNoPopulation) {
    EXPECT_EQ(Message([&] { Number->SetAsDouble(0, 1); }),
              "Gene \"TAxGAGene\" does not belong to a genetic algorithm, so it has no population");
}

} // namespace
} // namespace ax
