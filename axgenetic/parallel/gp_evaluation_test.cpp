#include <gtest/gtest.h>

#include "axgenetic/core/run_records.hpp"
#include "axgenetic/parallel/evaluation_test_support.hpp"
#include "axgenetic/parallel/gp_genome_codec.hpp"
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

// Decodes Item's genome into a new individual of To's population, which it returns.
template <class GP> auto& Copy(const IAxGenomeCodec& Codec, const TAxIndividual& Item, GP& To) {
    const auto Data = Encoded(Codec, Item);
    TAxGenomeReader Reader(Data);
    auto& Target = *To.Population()->Add();
    Codec.Decode(Reader, Target);
    EXPECT_TRUE(Reader.AtEnd());
    EXPECT_EQ(Encoded(Codec, Target), Data);
    return Target;
}

TEST(GPGenomeCodec, ProgramsOfEveryNodeClassTravelExactly) {
    TAxGPFloatGenomeCodec Codec;
    TAxGeneticProgramming From, To;
    test::SetUp(From);
    test::SetUp(To);
    RandSeed(4);
    From.Evolve(6); // mutated constants among them
    for (int I = 0; I < From.Population()->Count(); ++I)
        EXPECT_EQ(Copy(Codec, *From.Population()->Items(I), To).DNA()->ToString(),
                  From.Population()->Items(I)->DNA()->ToString());

    // A binary node whose left slot is empty, and variant constants of every kind.
    TAxBinaryGeneticProgramming Binary;
    Binary.Instructions()->Add()->SetArity(2);
    auto Root = Binary.CreateNode(Binary.Instructions()->Items(0));
    Root->InsertChild(1, Binary.CreateNode(Binary.Instructions()->Items(0)));
    Binary.Population()->Add()->AssignDNA(std::move(Root));
    EXPECT_EQ(Copy(Codec, *Binary.Population()->Items(0), Binary).DNA()->GetChild(0), nullptr);
    TAxGeneticProgrammingVariant Variants;
    const Variant Values[] = {Variant(),   Variant::Null(), Variant(true),
                              Variant(-7), Variant(2.5),    Variant("h\xc3\xa9llo")};
    Variants.Instructions()->Add()->SetArity(6);
    auto Function = Variants.CreateNode(Variants.Instructions()->Items(0));
    for (const Variant& Value : Values) {
        auto* C = Variants.Instructions()->Add();
        C->SetName("c" + std::to_string(C->Index()));
        C->SetOperation(TGPGeneticInstruction::gpConstant);
        C->SetValue(Value);
        Function->AddChild(Variants.CreateNode(C));
    }
    Variants.Population()->Add()->AssignDNA(std::move(Function));
    auto& Decoded = Copy(TAxGPVariantGenomeCodec(), *Variants.Population()->Items(0), Variants);
    for (int I = 0; I < 6; ++I)
        EXPECT_TRUE(Decoded.DNA()->GetChild(I)->Value() == Values[I]) << I;
}

// A record count, then per record an index and (unless it is an empty slot, -2) a slot
// count, as 32-bit numbers. Instructions: Add 0, Sub 1, Mul 2, x 3, c 4.
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
    GP.Population()->Add();
    TFloatIndividual& Item = *GP.Population()->Add();
    auto Tree = GP.CreateNode(GP.Instructions()->Items(0)); // (Add x c)
    for (const int I : {3, 4})
        Tree->AddChild(GP.CreateNode(GP.Instructions()->Items(I)));
    Item.AssignDNA(std::move(Tree));
    const auto Valid = Encoded(Codec, Item);
    std::vector<std::vector<std::byte>> Cases = {
        Words({1000, 0, 2, 3, 0, 3, 0}),                      // count beyond the data
        Words({7, 0, 2, 0, 2, 3, 0, 3, 0, 0, 2, 3, 0, 3, 0}), // beyond the node bound
        Words({1, 5, 0}),
        Words({1, -3, 0}),            // index outside the set
        Words({2, 0, 2, 3, 0}),       // more slots than records
        Words({3, 3, 0, 3, 0, 3, 0}), // records after the tree
        Words({3, 0, 2, -2, 3, 0}),
        Words({1, -2}),                                 // empty slot, empty root
        Words({6, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 3, 0}), // deeper than the bound
    };
    for (std::size_t Length = 0; Length < Valid.size(); ++Length)
        Cases.emplace_back(Valid.begin(), Valid.begin() + static_cast<std::ptrdiff_t>(Length));
    for (std::size_t I = 0; I < Cases.size(); ++I) {
        TAxGenomeReader Reader(Cases[I]);
        try {
            Codec.Decode(Reader, *GP.Population()->Items(0));
            ADD_FAILURE() << "case " << I << " decoded";
        } catch (const EGAException& E) {
            EXPECT_EQ(E.what(), SMalformedGenome);
        }
        EXPECT_EQ(GP.Population()->Items(0)->DNA()->ToString(), "nil");
    }
    const auto Deepest = Words({5, 0, 1, 0, 1, 0, 1, 0, 1, 3, 0});
    TAxGenomeReader Chain(Deepest);
    Codec.Decode(Chain, Item);
    EXPECT_EQ(Item.DNA()->Depth(), 4); // the deepest the bound allows
}

TEST(GPThreadEvaluator, RunsEqualTheSequentialRun) {
    for (const std::uint64_t Seed : {1u, 7u}) {
        const test::TRunRecord Plain = test::RunWith<TAxGeneticProgramming>(nullptr, Seed);
        for (const int Workers : {1, 2, 8}) {
            TAxThreadEvaluator Evaluator(Workers);
            EXPECT_EQ(test::RunWith<TAxGeneticProgramming>(&Evaluator, Seed), Plain) << Workers;
        }
    }
}

TEST(GPThreadEvaluator, FailuresEqualTheSequentialRun) {
    test::GPoison = test::ChoosePoison<TAxGeneticProgramming>(11, 4);
    TAxGeneticProgramming Sequential, GP;
    test::SetUp(Sequential);
    test::SetUp(GP);
    const test::TRunRecord Expected = test::Run(Sequential, 11, 12);
    TAxThreadEvaluator Evaluator(8, 1);
    GP.SetFitnessEvaluator(&Evaluator);
    EXPECT_TRUE(test::SameFailure(Expected, test::Run(GP, 11, 12)));
    test::GPoison.clear();
}

TEST(GPHost, TypedHandlersGiveTheSameRun) {
    test::TRunRecord Runs[2];
    int Selections[2] = {};
    for (int Typed = 0; Typed < 2; ++Typed) {
        TAxGeneticProgramming GP;
        test::SetUp(GP);
        int& Count = Selections[Typed];
        if (Typed) {
            GP.SetOnSelection([&](TAxGPPopulation<TGAFloat>& From, TFloatIndividual*& Parent) {
                ++Count;
                Parent = From[Random(From.Count())];
            });
        } else {
            GP.SetOnEvaluateFitness([](TObject*, TAxIndividual* Item, TGAFitness& F) {
                test::GPFitness(*static_cast<TFloatIndividual*>(Item), F);
            });
            GP.SetOnSelection([&](TObject*, TAxPopulation* From, TAxIndividual*& Parent) {
                ++Count;
                Parent = From->Items(Random(From->Count()));
            });
        }
        Runs[Typed] = test::Run(GP, 3, 6);
    }
    EXPECT_EQ(Runs[0], Runs[1]);
    EXPECT_GT(Selections[0], 0);
    EXPECT_EQ(Selections[0], Selections[1]);
}

// The run log and the hall of fame record programs.
TEST(GPHost, HallOfFameKeepsTheBestPrograms) {
    TAxGeneticProgramming GP;
    test::SetUp(GP);
    RandSeed(3);
    GP.Initialize();
    TAxRunLog Log;
    TAxHallOfFame<TFloatIndividual> Best(5);
    Log.Attach(GP);
    Best.Attach(GP);
    GP.Evolve(8);
    ASSERT_EQ(Log.Entries().size(), 9u);
    ASSERT_EQ(Best.Count(), 5);
    EXPECT_EQ(Best.Fitness(0),
              std::min_element(Log.Entries().begin(), Log.Entries().end(), [](auto& A, auto& B) {
                  return A.MinFitness < B.MinFitness;
              })->MinFitness);
    for (int I = 0; I < Best.Count(); ++I) {
        TFloatIndividual Copy; // the entry still runs, outside any population
        Copy.Assign(Best[I]);
        TGAFitness F = 0;
        test::GPFitness(Copy, F);
        EXPECT_EQ(F, Best.Fitness(I));
        for (int J = 0; J < I; ++J)
            EXPECT_NE(Best[I].DNA()->ToString(), Best[J].DNA()->ToString());
    }
}

} // namespace
} // namespace ax
