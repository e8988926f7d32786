#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "axgenetic/common/encoded_bits.hpp"
#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/ga/gene.hpp"

namespace ax {
namespace {

TAxGAGene* Shape(TAxGAGene* Gene, TGeneType Type, int Size, bool Signed = false) {
    Gene->SetGeneType(Type);
    Gene->SetPreserveSignBit(Signed);
    Gene->SetSize(Size);
    return Gene;
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
    const double NaN = std::numeric_limits<double>::quiet_NaN();
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

TEST(GeneValue, SignFlagIsSetBeforeEveryNumericCall) {
    TAxGAGene G;
    Shape(&G, TGeneType::gtInteger, 8);
    TAxEncodedBits Bits = MakeBits(8);
    const std::vector<std::function<void()>> Calls = {
        [&] { G.GeneAsInteger(Bits); },       [&] { G.GeneAsInt64(Bits); },
        [&] { G.GeneAsFloat(Bits); },         [&] { G.GeneAsDouble(Bits); },
        [&] { G.SetGeneAsInteger(Bits, 1); }, [&] { G.SetGeneAsInt64(Bits, 1); },
        [&] { G.SetGeneAsFloat(Bits, 1); },   [&] { G.SetGeneAsDouble(Bits, 1); }};
    for (bool Signed : {false, true}) {
        G.SetPreserveSignBit(Signed);
        for (std::size_t I = 0; I < Calls.size(); ++I) {
            Bits.SetSignBit(!Signed);
            Calls[I]();
            EXPECT_EQ(Bits.SignBit(), Signed) << "call " << I;
        }
    }
    G.SetGeneAsInteger(Bits, -128);
    EXPECT_EQ(G.GeneAsInteger(Bits), -128); // the same bits, read with and without the sign
    G.SetPreserveSignBit(false);
    EXPECT_EQ(G.GeneAsInteger(Bits), 128);
}

TEST(GeneValue, EnumerationsAndTextForms) {
    TAxGAGenes Genes(nullptr);
    TAxGAGene* Number = Shape(Genes.Add(), TGeneType::gtInteger, 6, true);
    TAxGAGene* Raw = Shape(Genes.Add(), TGeneType::gtUnknown, 5);
    TAxGAGene* Colour = Shape(Genes.Add(), TGeneType::gtEnumeration, 0);
    for (const char* Text : {"red", "green", "blue"})
        Colour->Enumerations().Add(Text);
    TAxEncodedBits Bits = MakeBits(13);
    Number->SetGeneAsInteger(Bits, -3);
    Bits.SetAsBitString(6, 5, "10110");
    EXPECT_EQ(Number->AsString(Bits), "-3");
    EXPECT_EQ(Raw->AsString(Bits), "10110");
    EXPECT_EQ(Raw->GeneAsInteger(Bits), 13); // no accessor checks the type
    Raw->SetGeneType(TGeneType::gtBoolean);
    EXPECT_EQ(Raw->AsString(Bits), "True");

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

    // Outside an algorithm there is no population to address.
    EXPECT_EQ(Message([&] { Number->SetAsDouble(0, 1); }),
              "Gene \"TAxGAGene\" does not belong to a genetic algorithm, so it has no population");
}

} // namespace
} // namespace ax
