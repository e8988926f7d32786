#include "axgenetic/ga/genetic_algorithm.hpp"

#include <bit>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "axgenetic/core/checkpoint.hpp"
#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/run_records.hpp"
#include "axgenetic/platform/random.hpp"
#include "axgenetic/platform/streaming.hpp"

namespace ax {
namespace {

// Exposes DoInitialize, counts population updates and records the gene hooks.
class TTestGA : public TAxGeneticAlgorithm {
public:
    using TAxCustomGeneticAlgorithm::DoInitialize;
    using TAxGeneticAlgorithm::TAxGeneticAlgorithm;
    int Updates = 0;
    std::vector<std::pair<TAxGAGene*, int>> GeneCalls; // action, or -1 for an update

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

TAxGAIndividual* Item(TAxCustomGeneticAlgorithm& GA, int I) {
    return GA.Population()->Items(I);
}
std::string Text(TAxGAIndividual* I) {
    return I->Bits().GetAsBitString(0, I->Bits().Size());
}
TAxGAIndividual* Filled(TAxGAIndividual* I, char Bit) {
    I->Bits().SetAsBitString(0, I->Bits().Size(), std::string(std::size_t(I->Bits().Size()), Bit));
    return I;
}

// The set of cut bits offered over many crossovers.
std::set<int> Cuts(TAxCustomGeneticAlgorithm& GA) {
    std::set<int> Result;
    GA.SetCrossoverProbability(1);
    GA.SetOnCrossover([&](TObject*, TAxGAIndividual*, TAxGAIndividual*, TAxGAIndividual*,
                          std::int32_t& Cut, bool& DoIt) {
        Result.insert(Cut);
        DoIt = false;
    });
    while (GA.Population()->Count() < 2)
        GA.Population()->Add();
    for (int I = 0; I < 1000; ++I)
        GA.Crossover(Item(GA, 0), Item(GA, 1), Item(GA, 0));
    return Result;
}

std::set<int> Range(int From, int To) {
    std::set<int> Result;
    for (int I = From; I < To; ++I)
        Result.insert(I);
    return Result;
}

TEST(GeneticAlgorithm, GeneSizeFollowsTheGenesSizingEveryChromosome) {
    TTestGA GA;
    EXPECT_EQ(GA.GeneSize(), 0);
    EXPECT_EQ(GA.CrossoverMethod(), TGACrossoverMethod::cmGeneBoundary);
    TAxGAIndividual* First = GA.Population()->Add();
    EXPECT_EQ(First->Bits().Owner(), First);
    AddGene(GA, TGeneType::gtInteger, 8);
    EXPECT_EQ(First->Bits().Size(), 8);
    TAxGAGene* Big = AddGene(GA, TGeneType::gtInteger, 16);
    EXPECT_EQ(GA.GeneSize(), 24);
    GA.GeneCalls.clear();
    // Only the name and the type signal a change of the gene.
    Big->SetPreserveSignBit(true), Big->SetMinValue(-3), Big->SetMaxValue(9), Big->SetSize(4);
    Big->SetName("big"), Big->SetName("big"), Big->SetGeneType(TGeneType::gtFloat);
    GA.Genes()->Delete(1);
    EXPECT_EQ(GA.GeneSize(), 24); // never shrinks by itself
    const int Deleting = static_cast<int>(TCollectionNotification::cnDeleting);
    const int Extracting = static_cast<int>(TCollectionNotification::cnExtracting);
    EXPECT_EQ(GA.GeneCalls,
              (std::vector<std::pair<TAxGAGene*, int>>{
                  {Big, -1}, {Big, -1}, {Big, Deleting}, {Big, Extracting}, {nullptr, -1}}));

    GA.SetInitialPopulation(5);
    GA.Initialize(); // no fitness handler: every fitness is fresh
    EXPECT_EQ(Item(GA, 4)->Bits().Size(), 24);
    Filled(First, '1');
    GA.Updates = 0;
    GA.SetGeneSize(30);
    EXPECT_EQ(GA.Updates, 1);
    for (int I = 0; I < 5; ++I)
        EXPECT_TRUE(Item(GA, I)->Bits().Size() == 30 && Item(GA, I)->NeedFitness()) << I;
    EXPECT_EQ(Text(First), std::string(24, '1') + std::string(6, '0'));
    GA.SetGeneSize(10);
    EXPECT_EQ(Text(First), std::string(10, '1'));
    GA.Updates = 0;
    GA.SetGeneSize(10);
    EXPECT_EQ(GA.Updates, 0);
    EXPECT_THROW(GA.SetGeneSize(-1), EListError);
    EXPECT_EQ(GA.GeneSize(), 10);

    // The per-individual forms of a gene touch only that individual.
    TAxGAGene* Count = GA.Genes()->Items(0);
    TAxGAGene* Colour = AddGene(GA, TGeneType::gtEnumeration, 0);
    for (const char* Text : {"red", "green", "blue"})
        Colour->Enumerations().Add(Text);
    EXPECT_EQ(GA.GeneSize(), 10);
    GA.EvaluateFitness();
    Count->SetAsInteger(1, 300);
    Colour->SetAsEnumeration(3, "Blue");
    for (int I = 0; I < 5; ++I)
        EXPECT_EQ(Item(GA, I)->NeedFitness(), I == 1 || I == 3) << I;
    EXPECT_EQ(Count->GetAsInteger(1), 255);
    EXPECT_EQ(Count->AsString(1), "255");
    EXPECT_EQ(Colour->GetAsEnumeration(3), "blue");
    EXPECT_EQ(Item(GA, 3)->Bits().GetAsInteger(8, 2), 2);
    EXPECT_THROW(Count->GetAsInteger(5), EListError);
}

TEST(GeneticAlgorithm, EachCrossoverMethodCutsAtItsBoundaries) {
    RandSeed(1);
    TAxGeneticAlgorithm GA;
    const struct {
        TGACrossoverMethod Method;
        int GeneSize;
        std::set<int> Expected;
    } Cases[] = {{TGACrossoverMethod::cmByteBoundary, 15, Range(0, 15)},
                 {TGACrossoverMethod::cmByteBoundary, 16, {8, 16}},
                 {TGACrossoverMethod::cmByteBoundary, 24, {8, 16, 24}},
                 {TGACrossoverMethod::cmWordBoundary, 31, Range(0, 31)},
                 {TGACrossoverMethod::cmWordBoundary, 32, {16, 32}},
                 {TGACrossoverMethod::cmLongwordBoundary, 63, Range(0, 63)},
                 {TGACrossoverMethod::cmLongwordBoundary, 64, {32, 64}},
                 {TGACrossoverMethod::cmBitBoundary, 96, Range(0, 96)},
                 {static_cast<TGACrossoverMethod>(99), 20, Range(0, 20)}};
    for (const auto& C : Cases) {
        GA.SetCrossoverMethod(C.Method);
        GA.SetGeneSize(C.GeneSize);
        EXPECT_EQ(Cuts(GA), C.Expected) << static_cast<int>(C.Method) << " " << C.GeneSize;
    }
    // Gene boundaries: a multiple of a single gene's size, else never the first gene.
    TAxGeneticAlgorithm Genes;
    EXPECT_THROW(Cuts(Genes), EGAException);
    TAxGAGene* Five = AddGene(Genes, TGeneType::gtInteger, 0);
    EXPECT_THROW(Cuts(Genes), EGAException); // a 0-bit gene gives no cut either
    Five->SetSize(5);
    Genes.SetGeneSize(20);
    EXPECT_EQ(Cuts(Genes), (std::set<int>{0, 5, 10, 15}));
    AddGene(Genes, TGeneType::gtInteger, 4);
    AddGene(Genes, TGeneType::gtInteger, 3);
    EXPECT_EQ(Cuts(Genes), (std::set<int>{5, 9}));
}

TEST(GeneticAlgorithm, SecondChildIsOfferedTheFirstChildsCrossover) {
    RandSeed(2);
    TAxGeneticAlgorithm GA;
    GA.SetCrossoverMethod(TGACrossoverMethod::cmBitBoundary);
    GA.SetGeneSize(8);
    GA.SetCrossoverProbability(1);
    for (int I = 0; I < 4; ++I)
        GA.Population()->Add();
    TAxGAIndividual *P1 = Item(GA, 0), *P2 = Item(GA, 1), *C1 = Item(GA, 2), *C2 = Item(GA, 3);
    // Per case: what the handler does on its two calls, the children and the result.
    struct TCase {
        int Cut1, Cut2;
        bool Do1, Do2;
        const char *Child1, *Child2;
        bool Result;
    };
    for (const TCase& C : {TCase{3, 3, true, true, "11100000", "00011111", true},
                           TCase{5, 5, false, false, "00000000", "11111111", false},
                           TCase{5, 6, false, true, "00000000", "00000011", true}}) {
        Filled(P1, '1'), Filled(P2, '0'), Filled(C1, '0'), Filled(C2, '1');
        std::vector<std::pair<int, bool>> Offered;
        std::vector<TAxGAIndividual*> Seen;
        GA.SetOnCrossover([&](TObject* Sender, TAxGAIndividual* A, TAxGAIndividual* B,
                              TAxGAIndividual* Child, std::int32_t& Cut, bool& DoIt) {
            EXPECT_EQ(Sender, &GA);
            Seen.insert(Seen.end(), {A, B, Child});
            Offered.emplace_back(Cut, DoIt);
            Cut = Offered.size() == 1 ? C.Cut1 : C.Cut2;
            DoIt = Offered.size() == 1 ? C.Do1 : C.Do2;
        });
        EXPECT_EQ(GA.Crossover(P1, P2, C1, C2), C.Result);
        ASSERT_EQ(Offered.size(), 2u);
        EXPECT_EQ(Seen, (std::vector{P1, P2, C1, P2, P1, C2}));
        EXPECT_EQ(Offered[1], std::pair(C.Cut1, C.Do1)); // what the first call left
        EXPECT_EQ(Text(C1), C.Child1);
        EXPECT_EQ(Text(C2), C.Child2);
    }
}

TEST(GeneticAlgorithm, MutationDrawsPerBitUnlessVetoed) {
    TTestGA GA;
    GA.SetGeneSize(64);
    GA.SetInitialPopulation(1);
    GA.Initialize();
    TAxGAIndividual* One = Filled(Item(GA, 0), '0');
    ASSERT_FALSE(One->NeedFitness());
    GA.Updates = 0;
    // Per-bit probability, no draw for the individual; the fitness goes stale silently.
    RandSeed(8);
    EXPECT_FALSE(GA.Mutate(One));
    EXPECT_TRUE(One->NeedFitness());
    EXPECT_EQ(GA.Updates, 0);
    GA.SetMutationProbability(1);
    EXPECT_TRUE(GA.Mutate(One));
    EXPECT_EQ(Text(One), std::string(64, '1'));
    GA.SetOnMutation([&](TObject*, TAxIndividual*, bool& DoIt) { DoIt = false; });
    RandSeed(8);
    EXPECT_FALSE(GA.Mutate(One)); // vetoed: no bit draws
    EXPECT_EQ(Text(One), std::string(64, '1'));
    const double Next = Random();
    RandSeed(8);
    EXPECT_EQ(Random(), Next);
    GA.EvaluateFitness();
    One->Bits().Clear(); // Clear leaves the fitness as it is
    EXPECT_FALSE(One->NeedFitness());
}

// The shared draw for the individual, then start and count.
TEST(GeneticAlgorithm, InversionDrawsForTheIndividualThenItsRun) {
    TTestGA GA;
    GA.SetGeneSize(64);
    GA.SetInitialPopulation(1);
    GA.Initialize();
    TAxGAIndividual* One = Filled(Item(GA, 0), '1');
    GA.SetInversionProbability(1);
    RandSeed(12);
    Random();
    const int Start = Random(64);
    const int Count = Random(64 - Start);
    RandSeed(12);
    EXPECT_TRUE(GA.Invert(One));
    EXPECT_EQ(Text(One), std::string(std::size_t(Start), '1') +
                             std::string(std::size_t(Count + 1), '0') +
                             std::string(std::size_t(63 - Start - Count), '1'));
}

TEST(GeneticAlgorithm, InitializationAvoidsDuplicatesWithinOneBudget) {
    TTestGA GA;
    GA.SetGeneSize(1);
    for (int I = 0; I < 100; ++I)
        GA.Population()->Add();
    // One draw per 1-bit chromosome, plus one per retry of the shared budget.
    for (auto [Retries, Registered, Draws] : {std::tuple{10, 2, 110}, {0, 0, 100}}) {
        GA.SetInitialDuplicatesRetries(Retries);
        RandSeed(4);
        EXPECT_EQ(GA.DoInitialize(), Registered);
        const double After = Random();
        RandSeed(4);
        for (int I = 0; I < Draws; ++I)
            Random(2);
        EXPECT_EQ(Random(), After) << Retries;
    }
    GA.SetGeneSize(64);
    GA.SetInitialDuplicatesRetries(1);
    EXPECT_EQ(GA.DoInitialize(), 100);
}

TEST(GeneticAlgorithm, AssignCopiesTheWholeComponent) {
    RandSeed(5);
    TAxGeneticAlgorithm Source, Target;
    AddGene(Source, TGeneType::gtInteger, 6);
    AddGene(Source, TGeneType::gtBoolean, 1)->SetName("b");
    Source.SetGeneSize(12);
    Source.SetCrossoverMethod(TGACrossoverMethod::cmWordBoundary);
    Source.SetInitialPopulation(4);
    Source.Initialize();
    AddGene(Target, TGeneType::gtFloat, 40);
    Target.Assign(Source);
    EXPECT_EQ(Target.GeneSize(), 12);
    EXPECT_EQ(Target.CrossoverMethod(), TGACrossoverMethod::cmWordBoundary);
    ASSERT_EQ(Target.Genes()->Count(), 2);
    EXPECT_EQ(Target.Genes()->Items(1)->Name(), "b");
    EXPECT_EQ(Target.Genes()->Items(1)->Offset(), 6);
    ASSERT_EQ(Target.Population()->Count(), 4);
    for (int I = 0; I < 4; ++I)
        EXPECT_TRUE(Item(Target, I) != Item(Source, I) &&
                    Item(Target, I)->Bits().Equals(Item(Source, I)->Bits()));
}

// SetBits marks modified; Assign copies the chromosome; the text form names both.
TEST(GeneticAlgorithm, IndividualsTakeChromosomesByCopy) {
    RandSeed(5);
    TAxGeneticAlgorithm Target;
    Target.SetGeneSize(12);
    Target.SetInitialPopulation(2);
    Target.Initialize();
    TAxGABits Pattern;
    Pattern.SetSize(4);
    Pattern.Put(1, true);
    Item(Target, 0)->SetBits(Pattern);
    EXPECT_TRUE(Item(Target, 0)->NeedFitness());
    Item(Target, 1)->Assign(*Item(Target, 0));
    EXPECT_EQ(Text(Item(Target, 1)), "0100");
    EXPECT_EQ(Item(Target, 1)->ToString(), "TAxGAIndividual " + Pattern.ToString());
}

TEST(GeneticAlgorithm, SeededRunReachesTheOneMaxOptimum) {
    RandSeed(42);
    TAxGeneticAlgorithm GA;
    GA.SetGeneSize(64), GA.SetInitialPopulation(60), GA.SetMutationProbability(1.0 / 64);
    GA.SetCrossoverMethod(TGACrossoverMethod::cmBitBoundary);
    GA.SetFitnessMethod(TGAFitnessMethod::fmMaximize);
    GA.SetFitnessCutoff(64), GA.SetUseFitnessCutoff(true);
    GA.SetOnEvaluateFitness([](TObject*, TAxIndividual* Item, TGAFitness& Fitness) {
        int Ones = 0;
        for (TBits::Word W : static_cast<TAxGAIndividual*>(Item)->Bits().Words())
            Ones += std::popcount(W);
        Fitness = Ones;
    });
    EXPECT_LT(GA.Evolve(300), 300);
    ASSERT_NE(GA.FittestIndividual(), nullptr);
    EXPECT_EQ(GA.FittestIndividual()->Fitness(), 64);
    EXPECT_EQ(GA.FittestIndividual()->Bits().OpenBit(), 64);
}

// What a host builds on: typed handlers, run records, checkpoints and the guards against
// genotypes that cannot evolve.

// Four integer genes near 37 and a Boolean; integer arithmetic only, so the log is the
// same for every compiler and optimization level.
TGAFitness Score(const TAxGAGenes& Genes, const TAxGABits& Bits) {
    TGAFitness Sum = Genes[4]->GeneAsBoolean(Bits) ? 0 : 3;
    for (int I = 0; I < 4; ++I)
        Sum += std::abs(Genes[I]->GeneAsInteger(Bits) - 37);
    return Sum;
}

void AddGenes(TAxGeneticAlgorithm& GA) {
    for (int I = 0; I < 5; ++I)
        AddGene(GA, I < 4 ? TGeneType::gtInteger : TGeneType::gtBoolean, I < 4 ? 7 : 1);
    GA.SetOnEvaluateFitness(
        [&GA](TAxGAIndividual& Item, TGAFitness& F) { F = Score(*GA.Genes(), Item.Bits()); });
}

// Settings the document rounds (0.003) or leaves out (population, operations, retries).
void Configure(TAxGeneticAlgorithm& GA) {
    AddGenes(GA);
    GA.SetInitialPopulation(24);
    GA.SetMutationProbability(0.003);
    GA.SetOperations({TGAGeneticOperation::goCrossover, TGAGeneticOperation::goMutate});
    GA.SetInitialDuplicatesRetries(3);
}

std::string Csv(const TAxRunLog& Log) {
    std::ostringstream Out;
    Log.SaveToCSV(Out);
    return Out.str();
}

std::string Chromosomes(TAxGeneticAlgorithm& GA) {
    std::string Text;
    for (int I = 0; I < GA.Population()->Count(); ++I)
        Text += GA.Population()->Items(I)->Bits().ToString() + "\n";
    return Text;
}

// Generations 0 to 12 of a seed-7 run, as a release build logged them.
constexpr const char* ReleaseLog =
    R"(generation,min_fitness,max_fitness,avg_fitness,min_weighted_fitness,max_weighted_fitness,avg_weighted_fitness,diversity,best_fitness
0,58,253,161.70833333333334,58,253,161.70833333333334,0.639163372859025,58
1,54,224,122.16666666666667,54,224,122.16666666666667,0.5453869047619048,54
2,46,150,81.66666666666667,46,150,81.66666666666667,0.5444444444444445,46
3,32,119,66.375,32,119,66.375,0.5577731092436975,32
4,32,89,52.125,32,89,52.125,0.5856741573033708,32
5,32,55,46.333333333333336,32,55,46.333333333333336,0.8424242424242425,32
6,31,51,38.583333333333336,31,51,38.583333333333336,0.7565359477124184,31
7,31,48,33.125,31,48,33.125,0.6901041666666666,31
8,31,49,32.958333333333336,31,49,32.958333333333336,0.6726190476190477,31
9,30,32,31.583333333333332,30,32,31.583333333333332,0.9869791666666666,30
10,30,47,32.166666666666664,30,47,32.166666666666664,0.6843971631205673,30
11,29,40,31.333333333333332,29,40,31.333333333333332,0.7833333333333333,29
12,29,95,39.291666666666664,29,95,39.291666666666664,0.41359649122807013,29
)";

TEST(GARunLog, SeededLogIsReproducible) {
    std::string First;
    for (int Run = 0; Run < 2; ++Run) {
        RandSeed(7);
        TAxGeneticAlgorithm GA;
        Configure(GA);
        GA.SetUseGenerationLimit(true);
        GA.SetGenerationLimit(12);
        GA.Initialize();
        TAxRunLog Log;
        Log.Attach(GA);
        GA.Evolve(20);
        GA.Evolve(); // a finished run that does not advance adds no entry
        ASSERT_EQ(Log.Entries().size(), 13u);
        if (Run == 0) First = Csv(Log);
        EXPECT_EQ(Csv(Log), First);
    }
    EXPECT_EQ(First, ReleaseLog);
}

// A fitness that is not a number is no result: such an individual never enters the hall
// of fame, even while it has room.
TEST(GARunLog, HallOfFameLeavesOutNaNFitness) {
    RandSeed(4);
    TAxGeneticAlgorithm GA;
    Configure(GA);
    GA.SetOnEvaluateFitness([&GA](TAxGAIndividual& Item, TGAFitness& F) {
        F = (*GA.Genes())[4]->GeneAsBoolean(Item.Bits()) ? std::numeric_limits<double>::quiet_NaN()
                                                         : Score(*GA.Genes(), Item.Bits());
    });
    GA.Initialize();
    TAxHallOfFame<TAxGAIndividual> Best(100);
    Best.Record(GA);
    int Numbers = 0;
    for (int I = 0; I < GA.Population()->Count(); ++I)
        Numbers += !std::isnan(GA.Population()->Items(I)->Fitness());
    ASSERT_GT(Numbers, 0);
    ASSERT_LT(Numbers, GA.Population()->Count());
    EXPECT_GT(Best.Count(), 0);
    EXPECT_LE(Best.Count(), Numbers); // distinct ones only
    for (int I = 0; I < Best.Count(); ++I)
        EXPECT_FALSE(std::isnan(Best.Fitness(I))) << I;
}

TEST(GARunLog, HallOfFameKeepsTheBestEverSeenAsCopiesOfNoIndividual) {
    RandSeed(3);
    TAxGeneticAlgorithm GA;
    Configure(GA);
    GA.Initialize();
    TAxRunLog Log;
    TAxHallOfFame<TAxGAIndividual> Best(4);
    Log.Attach(GA);
    Best.Attach(GA);
    GA.Evolve(10);
    ASSERT_EQ(Best.Count(), 4);
    TGAFitness Lowest = Log.Entries()[0].MinFitness;
    for (const TAxRunLogEntry& Entry : Log.Entries())
        Lowest = std::min(Lowest, Entry.MinFitness);
    EXPECT_EQ(Best.Fitness(0), Lowest);
    for (int I = 0; I < Best.Count(); ++I) {
        EXPECT_EQ(Best[I].Collection(), nullptr);
        EXPECT_EQ(Best.Fitness(I), Score(*GA.Genes(), Best[I].Bits()));
        if (I > 0) {
            EXPECT_LE(Best.Fitness(I - 1), Best.Fitness(I));
            EXPECT_NE(Best[I].Bits().ToString(), Best[I - 1].Bits().ToString());
        }
    }
    EXPECT_THROW(Best.Items(4), EListError);

    // A copied chromosome belongs to no individual; assigned into one, it changes its genome.
    TAxGAIndividual& Fittest = *GA.FittestIndividual();
    TAxGABits Copy = Fittest.Bits();
    EXPECT_EQ(Copy.Owner(), nullptr);
    Copy.Mutate(1);
    EXPECT_FALSE(Fittest.NeedFitness());
    Fittest.Bits() = Copy;
    EXPECT_EQ(Fittest.Bits().Owner(), &Fittest);
    EXPECT_TRUE(Fittest.NeedFitness() && Fittest.Bits().Equals(Copy));
}

TEST(GACheckpoint, ResumedInAFreshProcessEqualsTheUninterruptedRun) {
    constexpr int Total = 14, Stop = 6;
    namespace fs = std::filesystem;
    if (const char* Base = std::getenv("AXGENETIC_CHECKPOINT_CHILD")) {
        // The fresh process: only the handlers are set up; the generator is scrambled.
        RandSeed(999);
        TAxGeneticAlgorithm GA;
        AddGenes(GA);
        LoadCheckpoint(GA, std::string(Base) + ".checkpoint");
        TAxRunLog Log;
        Log.Attach(GA); // generation Stop, read after the load
        GA.Evolve(Total - Stop);
        std::ofstream(std::string(Base) + ".out") << Csv(Log) << Chromosomes(GA);
        return;
    }
    const std::string Base =
        (fs::temp_directory_path() / ("axgenetic_checkpoint_" + std::to_string(::getpid())))
            .string();
    TAxRunLog Whole;
    std::string WholeChromosomes;
    for (const int Generations : {Total, Stop}) {
        RandSeed(11);
        TAxGeneticAlgorithm GA;
        Configure(GA);
        GA.Initialize();
        if (Generations == Total) Whole.Attach(GA);
        GA.Evolve(Generations);
        if (Generations == Total)
            WholeChromosomes = Chromosomes(GA);
        else
            SaveCheckpoint(GA, Base + ".checkpoint");
    }
    TAxGeneticAlgorithm Kept; // a damaged checkpoint changes nothing
    Configure(Kept);
    Kept.Evolve(2);
    std::ostringstream Text;
    SaveCheckpoint(Kept, Text);
    std::string Damaged = Text.str();
    Damaged[Damaged.size() / 2] ^= 1;
    std::istringstream DamagedStream(Damaged);
    EXPECT_THROW(LoadCheckpoint(Kept, DamagedStream), EReadError);
    EXPECT_EQ(Kept.Generation(), 2);

    // This program again, running only this test, with the variable set.
    const std::string Command = "AXGENETIC_CHECKPOINT_CHILD='" + Base + "' '" +
                                fs::read_symlink("/proc/self/exe").string() +
                                "' --gtest_filter=GACheckpoint.* >/dev/null";
    ASSERT_EQ(std::system(Command.c_str()), 0);

    // The header, then generations Stop to Total of the uninterrupted run.
    const std::string WholeLog = Csv(Whole);
    std::size_t From = WholeLog.find('\n') + 1;
    const std::string Header = WholeLog.substr(0, From);
    for (int Line = 0; Line < Stop; ++Line)
        From = WholeLog.find('\n', From) + 1;
    const std::string Expected = Header + WholeLog.substr(From);
    std::ifstream Out(Base + ".out");
    const std::string Resumed{std::istreambuf_iterator<char>(Out), {}};
    EXPECT_EQ(Resumed, Expected + WholeChromosomes);
    fs::remove(Base + ".checkpoint");
    fs::remove(Base + ".out");
}

TEST(GATypedEvents, EveryHandlerFormEvolvesAlike) {
    // 0: typed handlers, 1: general ones, 2: the GA's declared event types.
    std::string Populations[3];
    int Mutations[3] = {0, 0, 0};
    for (int Kind = 0; Kind < 3; ++Kind) {
        RandSeed(5);
        TAxGeneticAlgorithm GA;
        Configure(GA);
        GA.SetOperations({TGAGeneticOperation::goCrossover, TGAGeneticOperation::goMutate,
                          TGAGeneticOperation::goInvert});
        int& Count = Mutations[Kind];
        if (Kind == 0) {
            GA.SetOnMutation([&](TAxGAIndividual&, bool& DoIt) { DoIt = ++Count % 3 != 0; });
            GA.SetOnSelection([](TAxGAPopulation& From, TAxGAIndividual*& Parent) {
                Parent = From[Random(From.Count())];
            });
        } else if (Kind == 2) {
            GA.SetOnEvaluateFitness(
                TAxGAFitnessEvent([&GA](TObject*, TAxGAIndividual* Item, TGAFitness& F) {
                    F = Score(*GA.Genes(), Item->Bits());
                }));
            GA.SetOnMutation(TAxGAMutationEvent(
                [&](TObject*, TAxGAIndividual*, bool& DoIt) { DoIt = ++Count % 3 != 0; }));
            GA.SetOnSelection(
                TAxGASelectionEvent([](TObject*, TAxGAPopulation* From, TAxGAIndividual*& Parent) {
                    Parent = From->Items(Random(From->Count()));
                }));
        } else {
            GA.SetOnEvaluateFitness([&GA](TObject*, TAxIndividual* Item, TGAFitness& F) {
                F = Score(*GA.Genes(), static_cast<TAxGAIndividual*>(Item)->Bits());
            });
            GA.SetOnMutation(
                [&](TObject*, TAxIndividual*, bool& DoIt) { DoIt = ++Count % 3 != 0; });
            GA.SetOnSelection([](TObject*, TAxPopulation* From, TAxIndividual*& Parent) {
                Parent = From->Items(Random(From->Count()));
            });
        }
        EXPECT_EQ(GA.SelectionMethod(), TGASelectionMethod::smCustom);
        GA.Evolve(5);
        Populations[Kind] = Chromosomes(GA);
        GA.SetOnEvaluateFitness(nullptr);
        EXPECT_THROW(GA.Evolve(), EGAException);
    }
    EXPECT_EQ(Populations[0], Populations[1]);
    EXPECT_EQ(Populations[0], Populations[2]);
    EXPECT_EQ(Mutations[0], Mutations[1]);
    EXPECT_EQ(Mutations[0], Mutations[2]);
    EXPECT_GT(Mutations[0], 0);
}

TEST(GATypedEvents, OneCrossoverEventFiresWhicheverWayItWasSet) {
    RandSeed(3);
    TAxGeneticAlgorithm GA;
    AddGene(GA, TGeneType::gtInteger, 8);
    GA.SetCrossoverProbability(1);
    GA.Population()->Add();
    GA.Population()->Add();
    TAxCustomGeneticComponent& Driver = GA;
    int Shared = 0, Own = 0;
    Driver.SetOnCrossover(
        [&](TObject* Sender, TAxIndividual*, TAxIndividual*, TAxIndividual*, bool& DoIt) {
            EXPECT_EQ(Sender, &GA);
            ++Shared;
            DoIt = false;
        });
    EXPECT_FALSE(Driver.OnCrossover()); // kept in the GA's own slot
    EXPECT_TRUE(GA.OnCrossover());
    EXPECT_FALSE(GA.Crossover(Item(GA, 0), Item(GA, 1), Item(GA, 0), Item(GA, 1)));
    EXPECT_EQ(Shared, 2); // once per child, as the GA's own event fires

    GA.SetOnCrossover(
        [&](TAxGAIndividual&, TAxGAIndividual&, TAxGAIndividual&, std::int32_t&, bool&) { ++Own; });
    GA.Crossover(Item(GA, 0), Item(GA, 1), Item(GA, 0), Item(GA, 1));
    EXPECT_EQ(std::make_pair(Shared, Own), std::make_pair(2, 2)); // replaced, not added
    Driver.SetOnCrossover(nullptr);
    EXPECT_FALSE(GA.OnCrossover());
}

TEST(GAHostGuards, GenotypesThatCannotEvolveAreRefused) {
    const auto Message = [](TAxGeneticAlgorithm& GA) {
        GA.SetOnEvaluateFitness([](TAxGAIndividual&, TGAFitness&) {});
        try {
            GA.Evolve();
        } catch (const EGAException& E) {
            EXPECT_FALSE(GA.Initialized()); // refused before anything ran
            return std::string(E.what());
        }
        return std::string("evolved");
    };
    TAxGeneticAlgorithm Empty, Unsized, Sized;
    EXPECT_EQ(Message(Empty), SNoChromosomeBits);
    AddGene(Unsized, TGeneType::gtBoolean, 0)->SetName("flag");
    Unsized.SetGeneSize(8);
    EXPECT_EQ(Message(Unsized), "Gene \"flag\" has a Size of 0; every gene needs at least one bit");
    Sized.SetGeneSize(8); // no genes, but bits to evolve
    Sized.SetCrossoverMethod(TGACrossoverMethod::cmBitBoundary);
    EXPECT_EQ(Message(Sized), "evolved");
}

TEST(GAHostGuards, EnumerationIndexWritesStayWithinTheValues) {
    // Three values added one at a time: 2 bits, but the bounds stayed 0..1, so an integer
    // write of index 2 would be clamped to 1.
    TAxGAGene Shape;
    Shape.SetName("shape");
    Shape.SetGeneType(TGeneType::gtEnumeration);
    for (const char* Name : {"line", "arc", "step"})
        Shape.Enumerations().Add(Name);
    TAxGABits Bits;
    Bits.SetSize(2);
    Shape.SetGeneAsEnumerationIndex(Bits, 2);
    EXPECT_EQ(Shape.GeneAsEnumeration(Bits), "step");
    for (const int Index : {3, -1, 4}) {
        try {
            Shape.SetGeneAsEnumerationIndex(Bits, Index);
            ADD_FAILURE() << Index;
        } catch (const EGAException& E) {
            EXPECT_EQ(E.what(), std::to_string(Index) + " is not an index of the 3 enumerated "
                                                        "values of gene \"shape\" in 2 bits");
        }
        EXPECT_EQ(Shape.GeneAsEnumerationIndex(Bits), 2);
    }
}

} // namespace
} // namespace ax
