#include "axgenetic/ga/gene.hpp"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

namespace ax {
namespace {

// Records the updates a gene collection reports, so change signals can be observed
// without an owning algorithm.
class TRecordingGenes : public TAxGAGenes {
public:
    TRecordingGenes() : TAxGAGenes(nullptr) {}
    std::vector<TCollectionItem*> Updates;

protected:
    void Update(TCollectionItem* Item) override {
        Updates.push_back(Item);
        TAxGAGenes::Update(Item);
    }
};

TAxGAGene* AddGene(TAxGAGenes& Genes, TGeneType Type, int Size, bool Signed = false) {
    TAxGAGene* Gene = Genes.Add();
    Gene->SetGeneType(Type);
    Gene->SetPreserveSignBit(Signed);
    Gene->SetSize(Size);
    return Gene;
}

std::vector<int> Offsets(const TAxGAGenes& Genes) {
    std::vector<int> Result;
    for (int I = 0; I < Genes.Count(); ++I)
        Result.push_back(Genes[I]->Offset());
    return Result;
}

TEST(GeneLayout, BitsRequiredCountsSignificantBits) {
    EXPECT_EQ(BitsRequired(0), 0);
    EXPECT_EQ(BitsRequired(1), 1);
    EXPECT_EQ(BitsRequired(2), 2);
    EXPECT_EQ(BitsRequired(3), 2);
    EXPECT_EQ(BitsRequired(4), 3);
    EXPECT_EQ(BitsRequired(7), 3);
    EXPECT_EQ(BitsRequired(255), 8);
    EXPECT_EQ(BitsRequired(256), 9);
    EXPECT_EQ(BitsRequired(0xFFFFFFFFu), 32);
}

TEST(GeneLayout, OffsetsFollowAddDeleteMoveInsertAndResize) {
    TAxGAGenes Genes(nullptr);
    EXPECT_EQ(Genes.GetSize(), 0);
    TAxGAGene* A = AddGene(Genes, TGeneType::gtInteger, 8);
    TAxGAGene* B = AddGene(Genes, TGeneType::gtBoolean, 1);
    TAxGAGene* C = AddGene(Genes, TGeneType::gtInteger, 16);
    EXPECT_EQ(Offsets(Genes), (std::vector<int>{0, 8, 9}));
    EXPECT_EQ(Genes.GetSize(), 25);

    B->SetSize(3); // a size change moves only the genes behind it
    EXPECT_EQ(Offsets(Genes), (std::vector<int>{0, 8, 11}));
    EXPECT_EQ(Genes.GetSize(), 27);
    B->SetSize(1);

    C->SetIndex(0); // the last gene moved to the front
    EXPECT_EQ(C->Offset(), 0);
    EXPECT_EQ(A->Offset(), 16);
    EXPECT_EQ(B->Offset(), 24);
    C->SetIndex(2);

    Genes.Delete(0);
    EXPECT_EQ(Offsets(Genes), (std::vector<int>{0, 1}));
    EXPECT_EQ(Genes.GetSize(), 17);

    TAxGAGene* D = Genes.Insert(1);
    EXPECT_EQ(D->Size(), 0);
    D->SetSize(4);
    EXPECT_EQ(Offsets(Genes), (std::vector<int>{0, 1, 5}));
    EXPECT_EQ(Genes.GetSize(), 21);

    Genes.Clear();
    EXPECT_EQ(Genes.GetSize(), 0);
}

TEST(GeneLayout, NewGeneIsEmpty) {
    TAxGAGenes Genes(nullptr);
    TAxGAGene* Gene = Genes.Add();
    EXPECT_EQ(Gene->Name(), "");
    EXPECT_EQ(Gene->Size(), 0);
    EXPECT_EQ(Gene->GeneType(), TGeneType::gtUnknown);
    EXPECT_EQ(Gene->Offset(), 0);
    EXPECT_FALSE(Gene->HasEnumerations());
    EXPECT_EQ(Gene->MinValue(), 0);
    EXPECT_EQ(Gene->MaxValue(), 0);
    EXPECT_FALSE(Gene->PreserveSignBit());
    EXPECT_FALSE(Gene->IsEnumeration());
    EXPECT_EQ(Gene->DisplayName(), "TAxGAGene");
    Gene->SetName("speed");
    EXPECT_EQ(Gene->DisplayName(), "speed");
}

TEST(GeneBounds, RecalcFollowsTypeSizeAndSign) {
    TAxGAGene Gene;
    Gene.SetGeneType(TGeneType::gtInteger);
    Gene.SetSize(8);
    EXPECT_EQ(Gene.MinValue(), 0);
    EXPECT_EQ(Gene.MaxValue(), 255);
    Gene.SetPreserveSignBit(true);
    EXPECT_EQ(Gene.MinValue(), -128);
    EXPECT_EQ(Gene.MaxValue(), 127);
    Gene.SetGeneType(TGeneType::gtFloat); // float takes the same rule
    EXPECT_EQ(Gene.MinValue(), -128);
    EXPECT_EQ(Gene.MaxValue(), 127);
    Gene.SetPreserveSignBit(false);
    Gene.SetSize(0);
    EXPECT_EQ(Gene.MinValue(), 0);
    EXPECT_EQ(Gene.MaxValue(), 0);
    // Negative exponents give fractional powers.
    Gene.SetSize(-1);
    EXPECT_EQ(Gene.MaxValue(), -0.5);
    Gene.SetPreserveSignBit(true);
    EXPECT_EQ(Gene.MinValue(), -0.25);
    EXPECT_EQ(Gene.MaxValue(), -0.75);

    // Boolean and unknown genes keep whatever bounds they had.
    TAxGAGene Flag;
    Flag.SetMaxValue(5);
    Flag.SetGeneType(TGeneType::gtBoolean);
    Flag.SetSize(7);
    EXPECT_EQ(Flag.MaxValue(), 5);
    Flag.SetMinValue(-3); // boolean genes are exempt from the non-negative rule
    Flag.SetMaxValue(6);
    EXPECT_EQ(Flag.MinValue(), -3);
    EXPECT_EQ(Flag.MaxValue(), 6);
}

TEST(GeneBounds, SetterRulesAreAsymmetric) {
    TAxGAGene Gene;
    Gene.SetGeneType(TGeneType::gtInteger);
    Gene.SetSize(8);
    Gene.SetMaxValue(100);
    EXPECT_EQ(Gene.MinValue(), 0);
    EXPECT_EQ(Gene.MaxValue(), 100);
    Gene.SetMinValue(10);
    EXPECT_EQ(Gene.MinValue(), 10);
    EXPECT_EQ(Gene.MaxValue(), 100);
    Gene.SetMinValue(300);
    EXPECT_EQ(Gene.MinValue(), 300);
    EXPECT_EQ(Gene.MaxValue(), 555);
    Gene.SetMinValue(-1000); // a range wider than the bits pulls the maximum down
    EXPECT_EQ(Gene.MaxValue(), -745);
    Gene.SetMinValue(std::numeric_limits<double>::quiet_NaN());
    Gene.SetMaxValue(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(Gene.MinValue(), -1000);
    EXPECT_EQ(Gene.MaxValue(), -745);
    // A new maximum far enough above the minimum keeps the minimum.
    Gene.SetMaxValue(-1000 + 512);
    EXPECT_EQ(Gene.MinValue(), 0); // -1000 is kept, but unsigned genes never go below 0
    Gene.SetMinValue(-2000);
    Gene.SetMaxValue(-2000 + 512);
    EXPECT_EQ(Gene.MinValue(), 0);

    TAxGAGene Signed;
    Signed.SetGeneType(TGeneType::gtInteger);
    Signed.SetPreserveSignBit(true);
    Signed.SetSize(8);
    Signed.SetMaxValue(100);
    EXPECT_EQ(Signed.MinValue(), -156);
    EXPECT_EQ(Signed.MaxValue(), 100);
    Signed.SetMinValue(-2000);
    Signed.SetMaxValue(-1000); // 1000 apart, at least twice 2^8: the minimum stays
    EXPECT_EQ(Signed.MinValue(), -2000);
    EXPECT_EQ(Signed.MaxValue(), -1000);

    // Size, type and sign changes reset the bounds, so bounds are set last.
    Signed.SetSize(4);
    EXPECT_EQ(Signed.MinValue(), -8);
    EXPECT_EQ(Signed.MaxValue(), 7);
    Signed.SetMaxValue(3);
    Signed.SetPreserveSignBit(false);
    EXPECT_EQ(Signed.MinValue(), 0);
    EXPECT_EQ(Signed.MaxValue(), 15);
    Signed.SetMaxValue(3);
    Signed.SetGeneType(TGeneType::gtFloat);
    EXPECT_EQ(Signed.MaxValue(), 15);
}

TEST(GeneBounds, EnumerationBoundsFollowTheValueCount) {
    TAxGAGene Gene;
    Gene.SetGeneType(TGeneType::gtEnumeration);
    for (const char* Text : {"red", "green", "blue"})
        Gene.Enumerations().Add(Text);
    Gene.SetMinValue(5); // the maximum always follows: 5 + 3 - 1
    EXPECT_EQ(Gene.MaxValue(), 7);
    Gene.SetMaxValue(9); // 9 - 5 > 3: minimum kept
    EXPECT_EQ(Gene.MinValue(), 5);
    Gene.SetMaxValue(8); // 8 - 5 <= 3: minimum becomes 8 - 3
    EXPECT_EQ(Gene.MinValue(), 5);
    Gene.SetMaxValue(6); // 6 - 5 <= 3: 6 - 3
    EXPECT_EQ(Gene.MinValue(), 3);
    Gene.SetMaxValue(1); // 1 - 3 would be negative: clamped to 0 without a sign bit
    EXPECT_EQ(Gene.MinValue(), 0);
}

TEST(GeneEnumerations, SizingDependsOnHowValuesArrive) {
    TAxGAGene Four;
    Four.SetGeneType(TGeneType::gtEnumeration);
    for (const char* Text : {"a", "b", "c", "d"})
        Four.Enumerations().Add(Text);
    EXPECT_EQ(Four.Size(), 3);
    EXPECT_EQ(Four.MinValue(), 0);
    EXPECT_EQ(Four.MaxValue(), 3);

    // The third value needs no more bits, so its bounds are never recomputed.
    TAxGAGene OneByOne;
    OneByOne.SetGeneType(TGeneType::gtEnumeration);
    for (const char* Text : {"red", "green", "blue"})
        OneByOne.Enumerations().Add(Text);
    EXPECT_EQ(OneByOne.Size(), 2);
    EXPECT_EQ(OneByOne.MaxValue(), 1);

    TStringList Colours;
    for (const char* Text : {"red", "green", "blue"})
        Colours.Add(Text);
    TAxGAGene AllAtOnce;
    AllAtOnce.SetGeneType(TGeneType::gtEnumeration);
    AllAtOnce.SetEnumerations(Colours);
    EXPECT_EQ(AllAtOnce.Size(), 2);
    EXPECT_EQ(AllAtOnce.MinValue(), 0);
    EXPECT_EQ(AllAtOnce.MaxValue(), 2);

    AllAtOnce.Enumerations().Clear();
    EXPECT_EQ(AllAtOnce.Size(), 0);
    EXPECT_EQ(AllAtOnce.MaxValue(), -1);

    // The list accepts duplicates and is not sorted.
    AllAtOnce.Enumerations().Add("b");
    AllAtOnce.Enumerations().Add("a");
    AllAtOnce.Enumerations().Add("B");
    EXPECT_EQ(AllAtOnce.Enumerations().Count(), 3);
    EXPECT_EQ(AllAtOnce.Enumerations().Strings(1), "a");

    // Only enumeration genes are sized by their list; switching keeps the size.
    TAxGAGene Plain;
    Plain.SetGeneType(TGeneType::gtInteger);
    Plain.SetSize(8);
    Plain.Enumerations().Add("x");
    EXPECT_EQ(Plain.Size(), 8);
    Plain.SetGeneType(TGeneType::gtEnumeration);
    EXPECT_EQ(Plain.Size(), 8);
    EXPECT_EQ(Plain.MaxValue(), 0);
    Plain.Enumerations().Add("y");
    EXPECT_EQ(Plain.Size(), 2);
}

TEST(GeneChanges, OnlyNameTypeAndAssignSignalAChange) {
    TRecordingGenes Genes;
    TAxGAGene* Gene = Genes.Add();
    Genes.Updates.clear();
    Gene->SetName("x");
    Gene->SetName("x");
    Gene->SetGeneType(TGeneType::gtInteger);
    Gene->SetGeneType(TGeneType::gtInteger);
    EXPECT_EQ(Genes.Updates, (std::vector<TCollectionItem*>{Gene, Gene}));
    Genes.Updates.clear();
    Gene->SetPreserveSignBit(true);
    Gene->SetSize(8);
    Gene->SetMinValue(-3);
    Gene->SetMaxValue(50);
    EXPECT_TRUE(Genes.Updates.empty());
    TAxGAGene Source;
    Gene->Assign(Source);
    EXPECT_EQ(Genes.Updates, (std::vector<TCollectionItem*>{Gene}));
}

TEST(GeneAssign, CopiesTheDefinitionWithoutRules) {
    TAxGAGenes Genes(nullptr);
    AddGene(Genes, TGeneType::gtInteger, 5);
    TAxGAGene* Target = AddGene(Genes, TGeneType::gtInteger, 3);

    TAxGAGene Source;
    Source.SetGeneType(TGeneType::gtEnumeration);
    for (const char* Text : {"red", "green", "blue"})
        Source.Enumerations().Add(Text);
    Source.SetName("colour");
    Source.SetPreserveSignBit(true);
    Source.SetSize(6); // more bits than the values need: the copy keeps them
    Source.SetMinValue(2);
    Source.SetMaxValue(40);

    Target->Assign(Source);
    EXPECT_EQ(Target->Name(), "colour");
    EXPECT_EQ(Target->GeneType(), TGeneType::gtEnumeration);
    EXPECT_EQ(Target->Size(), 6);
    EXPECT_TRUE(Target->PreserveSignBit());
    EXPECT_EQ(Target->MinValue(), Source.MinValue());
    EXPECT_EQ(Target->MaxValue(), Source.MaxValue());
    ASSERT_EQ(Target->Enumerations().Count(), 3);
    EXPECT_EQ(Target->Enumerations().Strings(2), "blue");
    EXPECT_EQ(Target->Offset(), 5); // not copied; and no layout update either
    EXPECT_EQ(Genes.GetSize(), 11);

    // The copied list still sizes the target afterwards.
    Target->Enumerations().Add("pink");
    EXPECT_EQ(Target->Size(), 3);

    TAxGAGene Plain;
    Plain.SetGeneType(TGeneType::gtInteger);
    Plain.SetSize(4);
    Target->Assign(Plain);
    EXPECT_FALSE(Target->HasEnumerations());
    EXPECT_EQ(Target->Size(), 4);
    EXPECT_EQ(Target->MaxValue(), 15);
}

} // namespace
} // namespace ax
