#include "axgenetic/parallel/gp_genome_codec.hpp"

#include <gtest/gtest.h>

#include "axgenetic/parallel/evaluation_test_support.hpp"
#include "axgenetic/parallel/thread_evaluator.hpp"

namespace ax {
namespace {

using TFloatIndividual = TAxGPIndividual<TGAFloat>;

std::vector<std::byte> Encoded(const IAxGenomeCodec& Codec, const TAxIndividual& Item) {
    std::vector<std::byte> Buffer;
    TAxGenomeWriter Writer(Buffer);
    Codec.Encode(Item, Writer);
    return Buffer;
}

// Decodes Data into Item and checks it read everything.
void Decode(const IAxGenomeCodec& Codec, std::span<const std::byte> Data, TAxIndividual& Item) {
    TAxGenomeReader Reader(Data);
    Codec.Decode(Reader, Item);
    EXPECT_TRUE(Reader.AtEnd());
}

// Each genome of an evolved population (mutated constants included) decodes on another
// component into the same program, and encodes again into the same bytes.
TEST(GPGenomeCodec, ProgramsOfEveryNodeClassTravelExactly) {
    TAxGPFloatGenomeCodec Codec;
    TAxGeneticProgramming From, To;
    test::SetUp(From);
    test::SetUp(To);
    RandSeed(4);
    From.Evolve(6);
    for (int I = 0; I < From.Population()->Count(); ++I) {
        TFloatIndividual& Source = *From.Population()->Items(I);
        TFloatIndividual& Target = *To.Population()->Add();
        const auto Bytes = Encoded(Codec, Source);
        Decode(Codec, Bytes, Target);
        EXPECT_EQ(Target.DNA()->ToString(), Source.DNA()->ToString());
        EXPECT_EQ(Target.FlattenedDNA().size(), Source.FlattenedDNA().size());
        EXPECT_TRUE(Target.NeedFitness());
        EXPECT_EQ(Encoded(Codec, Target), Bytes);
    }

    // A binary node whose left slot is empty keeps it empty.
    TAxBinaryGeneticProgramming Binary;
    Binary.Instructions()->Add()->SetArity(2);
    auto* X = Binary.Instructions()->Add();
    X->SetName("x");
    TAxGPIndividual<TGAFloat>& Half = *Binary.Population()->Add();
    auto Root = Binary.CreateNode(Binary.Instructions()->Items(0));
    Root->InsertChild(1, Binary.CreateNode(X));
    Half.AssignDNA(std::move(Root));
    TAxGPIndividual<TGAFloat>& Copy = *Binary.Population()->Add();
    Decode(Codec, Encoded(Codec, Half), Copy);
    EXPECT_EQ(Copy.DNA()->GetChild(0), nullptr);
    ASSERT_NE(Copy.DNA()->GetChild(1), nullptr);
    EXPECT_EQ(Copy.DNA()->GetChild(1)->Instruction(), X);

    // Variant constants of every kind.
    TAxGeneticProgrammingVariant Variants;
    const Variant Values[] = {Variant(),   Variant::Null(), Variant(true),
                              Variant(-7), Variant(2.5),    Variant("h\xc3\xa9llo")};
    Variants.Instructions()->Add()->SetArity(6);
    auto VariantRoot = Variants.CreateNode(Variants.Instructions()->Items(0));
    for (const Variant& Value : Values) {
        auto* C = Variants.Instructions()->Add();
        C->SetName("c" + std::to_string(C->Index()));
        C->SetOperation(TGPGeneticInstruction::gpConstant);
        C->SetValue(Value);
        VariantRoot->AddChild(Variants.CreateNode(C));
    }
    Variants.Population()->Add()->AssignDNA(std::move(VariantRoot));
    TAxGPVariantGenomeCodec VariantCodec;
    auto& Decoded = *Variants.Population()->Add();
    Decode(VariantCodec, Encoded(VariantCodec, *Variants.Population()->Items(0)), Decoded);
    for (int I = 0; I < 6; ++I) {
        EXPECT_EQ(Decoded.DNA()->GetChild(I)->Value().VarType(), Values[I].VarType());
        EXPECT_TRUE(Decoded.DNA()->GetChild(I)->Value() == Values[I]);
    }

    TAxGeneticAlgorithm GA;
    test::SetUp(GA);
    EXPECT_THROW(Encoded(Codec, *GA.Population()->Add()), EGAException);
}

// Words written as 32-bit numbers: a record count, then per record an index and (unless
// it is an empty slot) a slot count. Instructions: Add 0, Sub 1, Mul 2, x 3, c 4.
std::vector<std::byte> Words(std::initializer_list<std::int32_t> Values) {
    std::vector<std::byte> Buffer;
    TAxGenomeWriter Writer(Buffer);
    for (const std::int32_t V : Values)
        Writer.WriteInt32(V);
    return Buffer;
}

TEST(GPGenomeCodec, HostileDataIsRefusedBeforeTheIndividualChanges) {
    const TAxGPFloatGenomeCodec Codec(4, 6);
    TAxGeneticProgramming GP;
    test::SetUp(GP);
    RandSeed(2);
    GP.Initialize();
    TFloatIndividual& Item = *GP.Population()->Items(0);
    const std::string Before = Item.DNA()->ToString();
    // (Add x c), the constant's value included.
    auto Tree = GP.CreateNode(GP.Instructions()->Items(0));
    for (const int I : {3, 4})
        Tree->AddChild(GP.CreateNode(GP.Instructions()->Items(I)));
    GP.Population()->Items(1)->AssignDNA(std::move(Tree));
    const auto Valid = Encoded(Codec, *GP.Population()->Items(1));

    std::vector<std::pair<const char*, std::vector<std::byte>>> Cases = {
        {"count beyond the data", Words({1000, 0, 2, 3, 0, 3, 0})},
        {"count beyond the node bound", Words({7, 0, 2, 0, 2, 3, 0, 3, 0, 0, 2, 3, 0, 3, 0})},
        {"index past the set", Words({1, 5, 0})},
        {"index below -1", Words({1, -3, 0})},
        {"more slots than records", Words({2, 0, 2, 3, 0})},
        {"records after the tree", Words({3, 3, 0, 3, 0, 3, 0})},
        {"empty slot in a tree node", Words({3, 0, 2, -2, 3, 0})},
        {"empty root", Words({1, -2})},
        {"deeper than the bound", Words({6, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 3, 0})},
    };
    for (std::size_t Length = 0; Length < Valid.size(); ++Length)
        Cases.emplace_back("truncated", std::vector(Valid.begin(), Valid.begin() + Length));
    for (const auto& [What, Data] : Cases) {
        SCOPED_TRACE(What);
        TAxGenomeReader Reader(Data);
        try {
            Codec.Decode(Reader, Item);
            ADD_FAILURE() << "decoded";
        } catch (const EGAException& E) {
            EXPECT_EQ(E.what(), SMalformedGenome);
        }
        EXPECT_EQ(Item.DNA()->ToString(), Before);
    }
    // The deepest chain the bound allows.
    Decode(Codec, Words({5, 0, 1, 0, 1, 0, 1, 0, 1, 3, 0}), Item);
    EXPECT_EQ(Item.DNA()->Depth(), 4);
}

TEST(GPThreadEvaluator, RunsAndFailuresEqualTheSequentialRun) {
    for (const std::uint64_t Seed : {1u, 7u}) {
        const test::TRunRecord Plain = test::RunWith<TAxGeneticProgramming>(nullptr, Seed);
        ASSERT_EQ(Plain.Generations.size(), 12u);
        for (const int Workers : {1, 2, 8}) {
            SCOPED_TRACE(testing::Message() << Workers << " workers, seed " << Seed);
            TAxThreadEvaluator Evaluator(Workers);
            EXPECT_EQ(test::RunWith<TAxGeneticProgramming>(&Evaluator, Seed), Plain);
        }
    }

    test::GPoison = test::ChoosePoison<TAxGeneticProgramming>(11, 4);
    ASSERT_FALSE(test::GPoison.empty());
    TAxGeneticProgramming Sequential;
    test::SetUp(Sequential);
    const test::TRunRecord Expected = test::Run(Sequential, 11, 12);
    EXPECT_EQ(Expected.Error, test::PoisonMessage);
    for (const int Workers : {2, 8}) {
        TAxThreadEvaluator Evaluator(Workers, 1);
        TAxGeneticProgramming GP;
        test::SetUp(GP);
        GP.SetFitnessEvaluator(&Evaluator);
        EXPECT_TRUE(test::SameFailure(Expected, test::Run(GP, 11, 12))) << Workers;
    }
    test::GPoison.clear();
}

} // namespace
} // namespace ax
