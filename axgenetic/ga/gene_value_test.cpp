#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "axgenetic/common/encoded_bits.hpp"
#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/ga/gene.hpp"

namespace ax {
namespace {

void Shape(TAxGAGene& Gene, TGeneType Type, int Size, bool Signed = false) {
    Gene.SetGeneType(Type);
    Gene.SetPreserveSignBit(Signed);
    Gene.SetSize(Size);
}

TAxEncodedBits MakeBits(int Size) {
    TAxEncodedBits Bits;
    Bits.SetSize(Size);
    return Bits;
}

TEST(GeneValue, IntegerWritesAreClampedIntoTheBounds) {
    TAxGAGene Gene;
    Shape(Gene, TGeneType::gtInteger, 8);
    TAxEncodedBits Bits = MakeBits(8);
    Gene.SetGeneAsInteger(Bits, 300);
    EXPECT_EQ(Gene.GeneAsInteger(Bits), 255);
    Gene.SetGeneAsInteger(Bits, -5);
    EXPECT_EQ(Gene.GeneAsInteger(Bits), 0);
    Gene.SetGeneAsInteger(Bits, 17);
    EXPECT_EQ(Gene.GeneAsInteger(Bits), 17);
    Gene.SetGeneAsInt64(Bits, std::int64_t{1} << 40);
    EXPECT_EQ(Gene.GeneAsInt64(Bits), 255);
    Gene.SetGeneAsInt64(Bits, -(std::int64_t{1} << 40));
    EXPECT_EQ(Gene.GeneAsInt64(Bits), 0);

    // A fractional bound is rounded to the nearest integer, halves to even.
    Gene.SetMaxValue(2.5);
    Gene.SetGeneAsInteger(Bits, 9);
    EXPECT_EQ(Gene.GeneAsInteger(Bits), 2);
    Gene.SetGeneAsInt64(Bits, 9);
    EXPECT_EQ(Gene.GeneAsInt64(Bits), 2);
    Gene.SetMaxValue(3.5);
    Gene.SetGeneAsInteger(Bits, 9);
    EXPECT_EQ(Gene.GeneAsInteger(Bits), 4);
    Gene.SetMinValue(0.5);
    Gene.SetGeneAsInteger(Bits, 0);
    EXPECT_EQ(Gene.GeneAsInteger(Bits), 0);
    Gene.SetMinValue(1.5);
    Gene.SetGeneAsInt64(Bits, 0);
    EXPECT_EQ(Gene.GeneAsInt64(Bits), 2);

    // An Integer write keeps only the low 32 bits of a bound beyond them.
    TAxGAGene Wide;
    Shape(Wide, TGeneType::gtInteger, 40);
    TAxEncodedBits WideBits = MakeBits(40);
    Wide.SetMinValue(4294967296.0 + 5); // 2^32 + 5
    Wide.SetGeneAsInteger(WideBits, 0);
    EXPECT_EQ(Wide.GeneAsInt64(WideBits), 5);
    Wide.SetGeneAsInt64(WideBits, 0);
    EXPECT_EQ(Wide.GeneAsInt64(WideBits), 4294967301);
}

TEST(GeneValue, SignFlagFollowsPreserveSignBit) {
    TAxGAGene Signed;
    Shape(Signed, TGeneType::gtInteger, 8, true);
    TAxEncodedBits Bits = MakeBits(16);
    Bits.SetSignBit(false);
    Signed.SetGeneAsInteger(Bits, -5);
    EXPECT_EQ(Signed.GeneAsInteger(Bits), -5);
    EXPECT_TRUE(Bits.SignBit());
    Signed.SetGeneAsInteger(Bits, -200);
    EXPECT_EQ(Signed.GeneAsInt64(Bits), -128);

    TAxGAGene Unsigned;
    Shape(Unsigned, TGeneType::gtInteger, 8);
    EXPECT_EQ(Unsigned.GeneAsInteger(Bits), 128); // the same bits, read without the sign
    EXPECT_FALSE(Bits.SignBit());

    // Each gene writes only its own run.
    TAxGAGenes Genes(nullptr);
    TAxGAGene* Low = Genes.Add();
    Low->SetGeneType(TGeneType::gtInteger);
    Low->SetSize(8);
    TAxGAGene* High = Genes.Add();
    High->SetGeneType(TGeneType::gtInteger);
    High->SetSize(8);
    Low->SetGeneAsInteger(Bits, 0xAB);
    High->SetGeneAsInteger(Bits, 0xCD);
    EXPECT_EQ(Bits.GetAsInteger(0, 16), 0xCDAB);
    High->SetGeneAsInteger(Bits, 0, 0x12); // explicit start bit overrides the offset
    EXPECT_EQ(Bits.GetAsInteger(0, 16), 0xCD12);
    EXPECT_EQ(High->GeneAsInteger(Bits, 0), 0x12);
}

TEST(GeneValue, FloatAndDoubleClampNaNToTheMinimum) {
    TAxGAGene Gene;
    Shape(Gene, TGeneType::gtFloat, 64, true);
    Gene.SetMaxValue(1);
    Gene.SetMinValue(-1);
    ASSERT_EQ(Gene.MinValue(), -1);
    ASSERT_EQ(Gene.MaxValue(), 1);
    TAxEncodedBits Bits = MakeBits(64);
    Gene.SetGeneAsDouble(Bits, 2.5);
    EXPECT_EQ(Gene.GeneAsDouble(Bits), 1.0);
    Gene.SetGeneAsDouble(Bits, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(Gene.GeneAsDouble(Bits), -1.0);
    Gene.SetGeneAsDouble(Bits, -7);
    EXPECT_EQ(Gene.GeneAsDouble(Bits), -1.0);
    Gene.SetGeneAsDouble(Bits, 0.375);
    EXPECT_EQ(Gene.GeneAsDouble(Bits), 0.375);

    TAxGAGene Single;
    Shape(Single, TGeneType::gtFloat, 32, true);
    Single.SetMaxValue(0.1);
    Single.SetMinValue(-0.1);
    TAxEncodedBits SingleBits = MakeBits(32);
    Single.SetGeneAsFloat(SingleBits, 3.0f);
    EXPECT_EQ(Single.GeneAsFloat(SingleBits), 0.1f); // the bound, narrowed
    Single.SetGeneAsFloat(SingleBits, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(Single.GeneAsFloat(SingleBits), -0.1f);
    // A value inside the bounds is stored as it is; its text is that of the single.
    Single.SetGeneAsFloat(SingleBits, 0.05f);
    EXPECT_EQ(Single.GeneAsFloat(SingleBits), 0.05f);
    EXPECT_EQ(Single.AsString(SingleBits), "0.0500000007450581");
}

TEST(GeneValue, BooleanIsNeverClamped) {
    TAxGAGene Gene;
    Shape(Gene, TGeneType::gtBoolean, 3);
    Gene.SetMinValue(5);
    Gene.SetMaxValue(9);
    TAxEncodedBits Bits = MakeBits(3);
    Gene.SetGeneAsBoolean(Bits, true);
    EXPECT_TRUE(Gene.GeneAsBoolean(Bits));
    EXPECT_EQ(Gene.AsString(Bits), "True");
    Gene.SetGeneAsBoolean(Bits, false);
    EXPECT_EQ(Gene.AsString(Bits), "False");
}

TEST(GeneValue, EnumerationsCodeTheirIndex) {
    TAxGAGene Gene;
    Shape(Gene, TGeneType::gtEnumeration, 0);
    for (const char* Text : {"red", "green", "blue"})
        Gene.Enumerations().Add(Text);
    ASSERT_EQ(Gene.Size(), 2);
    TAxEncodedBits Bits = MakeBits(2);

    Gene.SetGeneAsEnumeration(Bits, "GREEN");
    EXPECT_EQ(Bits.GetAsInteger(0, 2), 1);
    EXPECT_EQ(Gene.GeneAsEnumeration(Bits), "green");

    try {
        Gene.SetGeneAsEnumeration(Bits, "pink");
        FAIL() << "pink was accepted";
    } catch (const EGAException& E) {
        EXPECT_STREQ(E.what(), "\"pink\" is not a valid enumerated value");
    }
    EXPECT_EQ(Bits.GetAsInteger(0, 2), 1); // unchanged by the rejected text

    Bits.SetAsInteger(0, 2, 3);
    try {
        Gene.GeneAsEnumeration(Bits);
        FAIL() << "index 3 was read";
    } catch (const EGAException& E) {
        EXPECT_STREQ(E.what(), "No enumerated value found in chromosome");
    }

    // The index is read without the sign, whatever PreserveSignBit says.
    Gene.SetPreserveSignBit(true);
    Bits.SetAsInteger(0, 2, 2);
    EXPECT_EQ(Gene.GeneAsEnumeration(Bits), "blue");
    EXPECT_EQ(Gene.AsString(Bits), "blue");
    EXPECT_EQ(Gene.GeneAsInteger(Bits), -2);

    // A gene without values rejects every text and every index.
    TAxGAGene Empty;
    Shape(Empty, TGeneType::gtEnumeration, 2);
    EXPECT_THROW(Empty.SetGeneAsEnumeration(Bits, "red"), EGAException);
    EXPECT_THROW(Empty.GeneAsEnumeration(Bits), EGAException);
    EXPECT_FALSE(Empty.HasEnumerations());
}

TEST(GeneValue, TextFormFollowsTheGeneType) {
    TAxGAGenes Genes(nullptr);
    TAxGAGene* Number = Genes.Add();
    Number->SetGeneType(TGeneType::gtInteger);
    Number->SetPreserveSignBit(true);
    Number->SetSize(6);
    TAxGAGene* Raw = Genes.Add();
    Raw->SetSize(5);
    TAxEncodedBits Bits = MakeBits(11);
    Number->SetGeneAsInteger(Bits, -3);
    Bits.SetAsBitString(6, 5, "10110");
    EXPECT_EQ(Number->AsString(Bits), "-3");
    EXPECT_EQ(Raw->AsString(Bits), "10110");
    // No accessor checks the type: the raw gene reads as a number too.
    EXPECT_EQ(Raw->GeneAsInteger(Bits), 13);

    // Outside an algorithm there is no population to address.
    try {
        Number->GetAsInteger(0);
        FAIL() << "a gene without algorithm read an individual";
    } catch (const EGAException& E) {
        EXPECT_STREQ(
            E.what(),
            "Gene \"TAxGAGene\" does not belong to a genetic algorithm, so it has no population");
    }
    Number->SetName("n");
    EXPECT_THROW(Number->SetAsDouble(0, 1.0), EGAException);
    EXPECT_THROW(Number->AsString(0), EGAException);
}

} // namespace
} // namespace ax
