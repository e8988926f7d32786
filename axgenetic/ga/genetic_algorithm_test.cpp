#include "axgenetic/ga/genetic_algorithm.hpp"

#include <bit>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/platform/random.hpp"

namespace ax {
namespace {

// Exposes the protected steps, counts population updates and records the gene hooks.
class TTestGA : public TAxGeneticAlgorithm {
public:
    using TAxCustomGeneticAlgorithm::DoInitialize;
    using TAxGeneticAlgorithm::TAxGeneticAlgorithm;
    int Updates = 0;
    std::vector<std::pair<TAxGAGene*, int>> GeneCalls; // action ordinal, or -1 for an update

    void GeneNotify(TAxGAGene* Gene, TCollectionNotification Action) override {
        GeneCalls.emplace_back(Gene, static_cast<int>(Action));
    }
    void GeneUpdate(TAxGAGene* Gene) override { GeneCalls.emplace_back(Gene, -1); }

protected:
    void PopulationUpdate(TAxIndividual* Item) override {
        ++Updates;
        TAxGeneticAlgorithm::PopulationUpdate(Item);
    }
};

TAxGAGene* AddGene(TAxCustomGeneticAlgorithm& GA, TGeneType Type, int Size) {
    TAxGAGene* Gene = GA.Genes()->Add();
    Gene->SetGeneType(Type);
    Gene->SetSize(Size);
    return Gene;
}

std::string Text(const TBits& Bits) {
    std::string Result;
    for (int I = 0; I < Bits.Size(); ++I)
        Result += Bits.Test(I) ? '1' : '0';
    return Result;
}

void Fill(TAxGAIndividual* Item, bool Value) {
    for (int I = 0; I < Item->Bits().Size(); ++I)
        Item->Bits().Put(I, Value);
}

// The set of cut bits the component offers over many crossovers.
std::set<int> Cuts(TAxCustomGeneticAlgorithm& GA, int Draws = 400) {
    std::set<int> Result;
    GA.SetCrossoverProbability(1);
    GA.SetOnCrossover([&](TObject*, TAxGAIndividual*, TAxGAIndividual*, TAxGAIndividual*,
                          std::int32_t& Cut, bool& DoIt) {
        Result.insert(Cut);
        DoIt = false;
    });
    TAxGAPopulation* Items = GA.Population();
    while (Items->Count() < 2)
        Items->Add();
    for (int I = 0; I < Draws; ++I)
        GA.Crossover(Items->Items(0), Items->Items(1), Items->Items(0));
    return Result;
}

std::set<int> Range(int From, int To) {
    std::set<int> Result;
    for (int I = From; I < To; ++I)
        Result.insert(I);
    return Result;
}

TEST(GeneticAlgorithm, GeneSizeFollowsTheGenesAndResizesChromosomes) {
    TTestGA GA;
    EXPECT_EQ(GA.ClassName(), "TAxGeneticAlgorithm");
    EXPECT_EQ(GA.Genes()->Count(), 0);
    EXPECT_EQ(GA.GeneSize(), 0);
    EXPECT_EQ(GA.CrossoverMethod(), TGACrossoverMethod::cmGeneBoundary);
    EXPECT_EQ(GA.Genes()->Owner(), &GA);
    TAxGAIndividual* First = GA.Population()->Add();
    EXPECT_EQ(GA.Population()->Owner(), &GA);
    EXPECT_EQ(First->Bits().Size(), 0);
    EXPECT_EQ(First->Bits().Owner(), First);

    AddGene(GA, TGeneType::gtInteger, 8);
    EXPECT_EQ(GA.GeneSize(), 8);
    EXPECT_EQ(First->Bits().Size(), 8);
    TAxGAGene* Big = AddGene(GA, TGeneType::gtInteger, 16);
    EXPECT_EQ(GA.GeneSize(), 24);
    EXPECT_EQ(Big->Offset(), 8);
    GA.GeneCalls.clear();
    Big->SetName("big");
    GA.Genes()->Delete(1);
    EXPECT_EQ(GA.GeneSize(), 24); // never shrinks by itself
    const int Deleting = static_cast<int>(TCollectionNotification::cnDeleting);
    const int Extracting = static_cast<int>(TCollectionNotification::cnExtracting);
    EXPECT_EQ(GA.GeneCalls, (std::vector<std::pair<TAxGAGene*, int>>{
                                {Big, -1}, {Big, Deleting}, {Big, Extracting}, {nullptr, -1}}));

    // A new individual gets a chromosome of GeneSize.
    for (int I = 0; I < 4; ++I)
        GA.Population()->Add();
    EXPECT_EQ(GA.Population()->Items(4)->Bits().Size(), 24);

    // SetGeneSize: every chromosome resized, every individual modified, one update.
    GA.SetInitialPopulation(5);
    GA.Initialize(); // no fitness handler: all fresh with fitness 0
    for (int I = 0; I < 5; ++I)
        ASSERT_FALSE(GA.Population()->Items(I)->NeedFitness());
    Fill(First, true);
    GA.Updates = 0;
    GA.SetGeneSize(30);
    EXPECT_EQ(GA.Updates, 1);
    for (int I = 0; I < 5; ++I) {
        EXPECT_EQ(GA.Population()->Items(I)->Bits().Size(), 30);
        EXPECT_TRUE(GA.Population()->Items(I)->NeedFitness());
    }
    EXPECT_EQ(Text(First->Bits()), std::string(24, '1') + std::string(6, '0'));
    GA.SetGeneSize(10);
    EXPECT_EQ(Text(First->Bits()), std::string(10, '1'));
    GA.Updates = 0;
    GA.SetGeneSize(10);
    EXPECT_EQ(GA.Updates, 0);
    EXPECT_THROW(GA.SetGeneSize(-1), EListError);
    EXPECT_EQ(GA.GeneSize(), 10);
}

TEST(GeneticAlgorithm, IndividualFormsOfGenesAddressThePopulation) {
    TTestGA GA;
    TAxGAGene* Count = AddGene(GA, TGeneType::gtInteger, 8);
    TAxGAGene* Colour = AddGene(GA, TGeneType::gtEnumeration, 0);
    for (const char* Text : {"red", "green", "blue"})
        Colour->Enumerations().Add(Text);
    EXPECT_EQ(GA.GeneSize(), 10);
    GA.SetInitialPopulation(3);
    GA.Initialize();

    Count->SetAsInteger(1, 300);
    Colour->SetAsEnumeration(1, "Blue");
    EXPECT_FALSE(GA.Population()->Items(0)->NeedFitness());
    EXPECT_TRUE(GA.Population()->Items(1)->NeedFitness());
    EXPECT_FALSE(GA.Population()->Items(2)->NeedFitness());
    EXPECT_EQ(Count->GetAsInteger(1), 255);
    EXPECT_EQ(Count->AsString(1), "255");
    EXPECT_EQ(Colour->GetAsEnumeration(1), "blue");
    EXPECT_EQ(Colour->AsString(1), "blue");
    EXPECT_EQ(GA.Population()->Items(1)->Bits().GetAsInteger(8, 2), 2);
    Count->SetAsDouble(2, 3.0);
    EXPECT_EQ(Count->GetAsDouble(2), 3.0);
    EXPECT_THROW(Count->GetAsInteger(3), EListError);
}

TEST(GeneticAlgorithm, CrossoverMethodsCutAtTheirBoundaries) {
    RandSeed(1);
    TAxGeneticAlgorithm GA;
    GA.SetCrossoverMethod(TGACrossoverMethod::cmByteBoundary);
    GA.SetGeneSize(12);
    EXPECT_EQ(Cuts(GA), Range(0, 12));
    GA.SetGeneSize(24);
    EXPECT_EQ(Cuts(GA), (std::set<int>{8, 16, 24}));
    GA.SetCrossoverMethod(TGACrossoverMethod::cmWordBoundary);
    EXPECT_EQ(Cuts(GA), Range(0, 24));
    GA.SetGeneSize(40);
    EXPECT_EQ(Cuts(GA), (std::set<int>{16, 32}));
    GA.SetCrossoverMethod(TGACrossoverMethod::cmLongwordBoundary);
    EXPECT_EQ(Cuts(GA), Range(0, 40));
    GA.SetGeneSize(96);
    EXPECT_EQ(Cuts(GA), (std::set<int>{32, 64, 96}));
    GA.SetCrossoverMethod(TGACrossoverMethod::cmBitBoundary);
    EXPECT_EQ(Cuts(GA, 2000), Range(0, 96));

    // Gene boundaries: never the first gene's offset when there are several genes.
    TAxGeneticAlgorithm Genes;
    EXPECT_THROW(Cuts(Genes), EGAException);
    TAxGAGene* Five = AddGene(Genes, TGeneType::gtInteger, 0);
    try {
        Cuts(Genes);
        FAIL() << "a 0-bit gene gave a cut";
    } catch (const EGAException& E) {
        EXPECT_STREQ(E.what(), "Gene boundary crossover needs a first gene of at least one bit");
    }
    Five->SetSize(5);
    Genes.SetGeneSize(20);
    EXPECT_EQ(Cuts(Genes), (std::set<int>{0, 5, 10, 15}));
    AddGene(Genes, TGeneType::gtInteger, 4);
    AddGene(Genes, TGeneType::gtInteger, 3);
    EXPECT_EQ(Cuts(Genes), (std::set<int>{5, 9}));
}

TEST(GeneticAlgorithm, CrossoverSharesCutAndFlagBetweenChildren) {
    RandSeed(2);
    TAxGeneticAlgorithm GA;
    GA.SetCrossoverMethod(TGACrossoverMethod::cmBitBoundary);
    GA.SetGeneSize(8);
    GA.SetCrossoverProbability(1);
    for (int I = 0; I < 4; ++I)
        GA.Population()->Add();
    TAxGAIndividual* P1 = GA.Population()->Items(0);
    TAxGAIndividual* P2 = GA.Population()->Items(1);
    TAxGAIndividual* C1 = GA.Population()->Items(2);
    TAxGAIndividual* C2 = GA.Population()->Items(3);
    auto Reset = [&] {
        Fill(P1, true);
        Fill(P2, false);
        Fill(C1, false);
        Fill(C2, true);
    };

    struct TCall {
        TAxGAIndividual *Parent1, *Parent2, *Child;
        int Cut;
        bool DoIt;
    };
    std::vector<TCall> Calls;
    GA.SetOnCrossover([&](TObject* Sender, TAxGAIndividual* A, TAxGAIndividual* B,
                          TAxGAIndividual* Child, std::int32_t& Cut, bool& DoIt) {
        EXPECT_EQ(Sender, &GA);
        Calls.push_back({A, B, Child, Cut, DoIt});
        if (Calls.size() == 1) Cut = 3;
    });
    Reset();
    EXPECT_TRUE(GA.Crossover(P1, P2, C1, C2));
    ASSERT_EQ(Calls.size(), 2u);
    EXPECT_EQ(Calls[0].Parent1, P1);
    EXPECT_EQ(Calls[0].Child, C1);
    EXPECT_EQ(Calls[1].Parent1, P2);
    EXPECT_EQ(Calls[1].Parent2, P1);
    EXPECT_EQ(Calls[1].Child, C2);
    EXPECT_EQ(Calls[1].Cut, 3); // what the first call left
    EXPECT_EQ(Text(C1->Bits()), "11100000");
    EXPECT_EQ(Text(C2->Bits()), "00011111");

    // Clearing the flag for the first child leaves the second uncrossed too...
    Calls.clear();
    GA.SetOnCrossover([&](TObject*, TAxGAIndividual*, TAxGAIndividual*, TAxGAIndividual*,
                          std::int32_t& Cut, bool& DoIt) {
        Calls.push_back({nullptr, nullptr, nullptr, Cut, DoIt});
        Cut = 5;
        if (Calls.size() == 1) DoIt = false;
    });
    Reset();
    EXPECT_FALSE(GA.Crossover(P1, P2, C1, C2));
    ASSERT_EQ(Calls.size(), 2u);
    EXPECT_FALSE(Calls[1].DoIt);
    EXPECT_EQ(Text(C1->Bits()), "00000000");
    EXPECT_EQ(Text(C2->Bits()), "11111111");

    // ...unless the second call sets it again.
    Calls.clear();
    GA.SetOnCrossover([&](TObject*, TAxGAIndividual*, TAxGAIndividual*, TAxGAIndividual*,
                          std::int32_t& Cut, bool& DoIt) {
        Calls.push_back({nullptr, nullptr, nullptr, Cut, DoIt});
        Cut = 6;
        DoIt = Calls.size() == 2;
    });
    Reset();
    EXPECT_TRUE(GA.Crossover(P1, P2, C1, C2));
    EXPECT_EQ(Text(C1->Bits()), "00000000");
    EXPECT_EQ(Text(C2->Bits()), "00000011");

    // The one-child form crosses only the first child.
    GA.SetOnCrossover(nullptr);
    Reset();
    EXPECT_TRUE(GA.Crossover(P1, P2, C1));
    EXPECT_EQ(C2->Bits().OpenBit(), 8);
}

TEST(GeneticAlgorithm, MutationIsPerBitAndInversionFlipsARun) {
    RandSeed(3);
    TTestGA GA;
    GA.SetGeneSize(64);
    GA.SetInitialPopulation(1);
    GA.Initialize();
    TAxGAIndividual* Item = GA.Population()->Items(0);
    ASSERT_FALSE(Item->NeedFitness());
    GA.Updates = 0;

    // Probability 0 flips nothing but still marks the fitness stale, silently.
    GA.SetMutationProbability(0);
    Fill(Item, false);
    EXPECT_FALSE(GA.Mutate(Item));
    EXPECT_TRUE(Item->NeedFitness());
    EXPECT_EQ(GA.Updates, 0);
    GA.SetMutationProbability(1);
    EXPECT_TRUE(GA.Mutate(Item));
    EXPECT_EQ(Text(Item->Bits()), std::string(64, '1'));

    // The handler can veto; then no bit draws.
    int Vetoed = 0;
    GA.SetOnMutation([&](TObject*, TAxIndividual* Which, bool& DoIt) {
        EXPECT_EQ(Which, Item);
        ++Vetoed;
        DoIt = false;
    });
    RandSeed(8);
    EXPECT_FALSE(GA.Mutate(Item));
    EXPECT_EQ(Vetoed, 1);
    EXPECT_EQ(Text(Item->Bits()), std::string(64, '1'));
    const double Next = Random();
    RandSeed(8);
    EXPECT_EQ(Random(), Next);

    // Inversion: one draw for the individual, then start and count.
    GA.SetInversionProbability(1);
    RandSeed(12);
    Random();
    const int Start = Random(64);
    const int Count = Random(64 - Start);
    RandSeed(12);
    EXPECT_TRUE(GA.Invert(Item));
    std::string Expected(64, '1');
    for (int I = Start; I <= Start + Count && I < 64; ++I)
        Expected[static_cast<std::size_t>(I)] = '0';
    EXPECT_EQ(Text(Item->Bits()), Expected);

    // Clear leaves the fitness as it is.
    GA.EvaluateFitness();
    ASSERT_FALSE(Item->NeedFitness());
    Item->Bits().Clear();
    EXPECT_FALSE(Item->NeedFitness());
}

TEST(GeneticAlgorithm, InitializationAvoidsDuplicatesWithinOneBudget) {
    TTestGA GA;
    GA.SetGeneSize(1);
    for (int I = 0; I < 100; ++I)
        GA.Population()->Add();

    // One draw per 1-bit chromosome: 100 draws plus one per retry used.
    GA.SetInitialDuplicatesRetries(10);
    RandSeed(4);
    EXPECT_EQ(GA.DoInitialize(), 2);
    const double After = Random();
    RandSeed(4);
    for (int I = 0; I < 110; ++I)
        Random(2);
    EXPECT_EQ(Random(), After);

    GA.SetInitialDuplicatesRetries(0);
    RandSeed(4);
    EXPECT_EQ(GA.DoInitialize(), 0);
    const double NoRetries = Random();
    RandSeed(4);
    for (int I = 0; I < 100; ++I)
        Random(2);
    EXPECT_EQ(Random(), NoRetries);

    // Long chromosomes are all distinct at the first draw.
    GA.SetGeneSize(64);
    GA.SetInitialDuplicatesRetries(1);
    RandSeed(4);
    EXPECT_EQ(GA.DoInitialize(), 100);
    std::set<std::string> Distinct;
    for (int I = 0; I < 100; ++I)
        Distinct.insert(GA.Population()->Items(I)->Bits().ToString());
    EXPECT_EQ(Distinct.size(), 100u);
}

TEST(GeneticAlgorithm, AssignCopiesGenotypeSettingsAndChromosomes) {
    RandSeed(5);
    TAxGeneticAlgorithm Source;
    AddGene(Source, TGeneType::gtInteger, 6)->SetName("a");
    AddGene(Source, TGeneType::gtBoolean, 1)->SetName("b");
    Source.SetGeneSize(12);
    Source.SetCrossoverMethod(TGACrossoverMethod::cmWordBoundary);
    Source.SetInitialPopulation(4);
    Source.Initialize();

    TAxGeneticAlgorithm Target;
    AddGene(Target, TGeneType::gtFloat, 40);
    Target.Assign(Source);
    EXPECT_EQ(Target.GeneSize(), 12);
    EXPECT_EQ(Target.CrossoverMethod(), TGACrossoverMethod::cmWordBoundary);
    ASSERT_EQ(Target.Genes()->Count(), 2);
    EXPECT_EQ(Target.Genes()->Items(1)->Name(), "b");
    EXPECT_EQ(Target.Genes()->Items(1)->Offset(), 6);
    ASSERT_EQ(Target.Population()->Count(), 4);
    for (int I = 0; I < 4; ++I) {
        EXPECT_TRUE(
            Target.Population()->Items(I)->Bits().Equals(Source.Population()->Items(I)->Bits()));
        EXPECT_NE(Target.Population()->Items(I), Source.Population()->Items(I));
    }

    // Individuals: chromosome, text form, SetBits.
    TAxGAIndividual* Item = Target.Population()->Items(0);
    TAxGABits Pattern;
    Pattern.SetSize(4);
    Pattern.Put(1, true);
    Item->SetBits(Pattern);
    EXPECT_TRUE(Item->NeedFitness());
    EXPECT_EQ(Text(Item->Bits()), "0100");
    EXPECT_EQ(Item->ToString(), "TAxGAIndividual " + Pattern.ToString());
    Target.Population()->Items(1)->Assign(*Item);
    EXPECT_EQ(Text(Target.Population()->Items(1)->Bits()), "0100");
}

TEST(GeneticAlgorithm, SeededRunReachesTheOneMaxOptimum) {
    RandSeed(42);
    TAxGeneticAlgorithm GA;
    AddGene(GA, TGeneType::gtBoolean, 1); // the genotype only sizes the chromosome here
    GA.SetGeneSize(64);
    GA.SetCrossoverMethod(TGACrossoverMethod::cmBitBoundary);
    GA.SetFitnessMethod(TGAFitnessMethod::fmMaximize);
    GA.SetMutationProbability(1.0 / 64);
    GA.SetInitialPopulation(60);
    GA.SetFitnessCutoff(64);
    GA.SetUseFitnessCutoff(true);
    GA.SetOnEvaluateFitness([](TObject*, TAxIndividual* Item, TGAFitness& Fitness) {
        int Ones = 0;
        for (TBits::Word W : static_cast<TAxGAIndividual*>(Item)->Bits().Words())
            Ones += std::popcount(W);
        Fitness = Ones;
    });
    const int Generations = GA.Evolve(300);
    EXPECT_LT(Generations, 300);
    ASSERT_NE(GA.FittestIndividual(), nullptr);
    EXPECT_EQ(GA.FittestIndividual()->Fitness(), 64);
    EXPECT_EQ(GA.FittestIndividual()->Bits().OpenBit(), 64);
    EXPECT_EQ(GA.MaxFitness(), 64);
}

} // namespace
} // namespace ax
