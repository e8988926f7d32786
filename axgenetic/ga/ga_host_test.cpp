// What a host builds on: typed handlers, run records, checkpoints and the guards against
// genotypes that cannot evolve.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "axgenetic/core/checkpoint.hpp"
#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/run_records.hpp"
#include "axgenetic/ga/genetic_algorithm.hpp"
#include "axgenetic/platform/random.hpp"
#include "axgenetic/platform/streaming.hpp"

extern char** environ;

namespace ax {
namespace {

// Four integer genes near 37 and a Boolean; integer arithmetic only, so the log is the
// same for every compiler and optimization level.
TGAFitness Score(const TAxGAGenes& Genes, TAxGABits Bits) {
    TGAFitness Sum = Genes[4]->GeneAsBoolean(Bits) ? 0 : 3;
    for (int I = 0; I < 4; ++I)
        Sum += std::abs(Genes[I]->GeneAsInteger(Bits) - 37);
    return Sum;
}

void AddGenes(TAxGeneticAlgorithm& GA) {
    for (int I = 0; I < 5; ++I) {
        TAxGAGene* Gene = GA.Genes()->Add();
        Gene->SetGeneType(I < 4 ? TGeneType::gtInteger : TGeneType::gtBoolean);
        Gene->SetSize(I < 4 ? 7 : 1);
    }
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

TEST(GARunLog, SeededLogIsTheSameInEveryRunAndBuild) {
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

TEST(GARunLog, HallOfFameKeepsTheBestDistinctIndividualsEverSeen) {
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

    const std::string Variable = "AXGENETIC_CHECKPOINT_CHILD=" + Base;
    std::vector<char*> Environment{const_cast<char*>(Variable.c_str())};
    for (char** E = environ; *E; ++E)
        Environment.push_back(*E);
    Environment.push_back(nullptr);
    std::string Filter =
        "--gtest_filter=GACheckpoint.ResumedInAFreshProcessEqualsTheUninterruptedRun";
    char* Arguments[] = {const_cast<char*>("child"), Filter.data(), nullptr};
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t Child = 0;
    ASSERT_EQ(
        posix_spawn(&Child, "/proc/self/exe", &Actions, nullptr, Arguments, Environment.data()), 0);
    posix_spawn_file_actions_destroy(&Actions);
    int Status = 0;
    ASSERT_EQ(waitpid(Child, &Status, 0), Child);
    ASSERT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0);

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

TEST(GATypedEvents, TypedAndGeneralHandlersAreInterchangeable) {
    std::string Populations[2];
    int Mutations[2] = {0, 0};
    for (int Kind = 0; Kind < 2; ++Kind) {
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
    EXPECT_EQ(Mutations[0], Mutations[1]);
    EXPECT_GT(Mutations[0], 0);
}

TEST(GAHostGuards, GenotypesThatCannotEvolveAndEnumerationIndexWrites) {
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
    Unsized.Genes()->Add()->SetName("flag");
    Unsized.Genes()->Items(0)->SetGeneType(TGeneType::gtBoolean);
    Unsized.SetGeneSize(8);
    EXPECT_EQ(Message(Unsized), "Gene \"flag\" has a Size of 0; every gene needs at least one bit");
    Sized.SetGeneSize(8); // no genes, but bits to evolve
    Sized.SetCrossoverMethod(TGACrossoverMethod::cmBitBoundary);
    EXPECT_EQ(Message(Sized), "evolved");

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
        EXPECT_THROW(Shape.SetGeneAsEnumerationIndex(Bits, Index), EGAException) << Index;
        EXPECT_EQ(Shape.GeneAsEnumerationIndex(Bits), 2);
    }
    try {
        Shape.SetGeneAsEnumerationIndex(Bits, 3);
    } catch (const EGAException& E) {
        EXPECT_STREQ(E.what(),
                     "3 is not an index of the 3 enumerated values of gene \"shape\" in 2 bits");
    }
}

TEST(GAHostGuards, CopiedChromosomeBelongsToNoIndividual) {
    RandSeed(2);
    TAxGeneticAlgorithm GA;
    Configure(GA);
    GA.Initialize();
    TAxGAIndividual& Best = *GA.FittestIndividual();
    TAxGABits Copy = Best.Bits();
    EXPECT_EQ(Copy.Owner(), nullptr);
    Copy.Mutate(1);
    EXPECT_FALSE(Best.NeedFitness());
    Best.Bits() = Copy; // assigning into an individual's chromosome changes its genome
    EXPECT_EQ(Best.Bits().Owner(), &Best);
    EXPECT_TRUE(Best.NeedFitness());
    EXPECT_TRUE(Best.Bits().Equals(Copy));
}

} // namespace
} // namespace ax
