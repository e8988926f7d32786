// Saving and loading a large genetic algorithm as an XML document: 10,000 individuals of
// 256 bits laid out by 16 typed genes (4 boolean, 4 integer, 4 float, 4 enumeration).
// The figures of interest are the seconds per save and per load (target: under 0.5 s
// each) and the document bytes per second. Then a GP population of 1,000 programs of mean
// size about 50 (target: load under 50 ms), and a GP document of 100,000 variables whose
// one program uses each of them (a hostile size: the load must take time linear in the
// document, target a few seconds at most).
#include <benchmark/benchmark.h>

#include <memory>
#include <sstream>
#include <string>

#include "axgenetic/ga/genetic_algorithm.hpp"
#include "axgenetic/gp/evolution/gp_components.hpp"
#include "axgenetic/platform/random.hpp"

namespace {

constexpr int Individuals = 10000;

void CheapFitness(ax::TAxGeneticAlgorithm& GA) {
    GA.SetOnEvaluateFitness([](const ax::TAxGAIndividual& Item, ax::TGAFitness& Fitness) {
        Fitness = Item.Bits().Test(0) ? 1 : 0;
    });
}

ax::TAxGAGene* AddGene(ax::TAxGeneticAlgorithm& GA, ax::TGeneType Type, int Size, int Index) {
    ax::TAxGAGene* Gene = GA.Genes()->Add();
    Gene->SetName(std::string("g").append(std::to_string(Index)));
    Gene->SetSize(Size);
    Gene->SetGeneType(Type);
    return Gene;
}

// The benchmark's component: 16 genes of 256 bits in all, every chromosome random, every
// enumerated value valid so that the document can be written.
void Build(ax::TAxGeneticAlgorithm& GA) {
    CheapFitness(GA);
    int Index = 0;
    for (int I = 0; I < 4; ++I)
        AddGene(GA, ax::TGeneType::gtBoolean, 1, Index++);
    for (int I = 0; I < 4; ++I)
        AddGene(GA, ax::TGeneType::gtInteger, 28, Index++)->SetPreserveSignBit(I % 2 == 1);
    for (int I = 0; I < 4; ++I)
        AddGene(GA, ax::TGeneType::gtFloat, 32, Index++);
    for (int I = 0; I < 4; ++I) {
        ax::TAxGAGene* Gene = AddGene(GA, ax::TGeneType::gtEnumeration, 0, Index++);
        for (int V = 0; V < 7; ++V)
            Gene->Enumerations().Add(std::string("value").append(std::to_string(V)));
    }
    GA.SetInitialPopulation(Individuals);
    GA.SetInitialDuplicatesRetries(0);
    ax::RandSeed(42);
    GA.Initialize();
    for (int I = 0; I < Individuals; ++I) {
        ax::TAxGABits& Bits = GA.Population()->Items(I)->Bits();
        for (int G = 12; G < 16; ++G) {
            ax::TAxGAGene& Gene = *GA.Genes()->Items(G);
            Gene.SetGeneAsInteger(Bits, Gene.GeneAsInteger(Bits) % 7);
        }
    }
    GA.EvaluateFitness();
}

std::string SavedText(ax::TAxGeneticAlgorithm& GA) {
    std::ostringstream Out;
    GA.SaveToStream(Out);
    return std::move(Out).str();
}

void BM_SaveGeneticAlgorithm(benchmark::State& State) {
    ax::TAxGeneticAlgorithm GA;
    Build(GA);
    std::size_t Bytes = 0;
    for (auto _ : State) {
        const std::string Text = SavedText(GA);
        Bytes = Text.size();
        benchmark::DoNotOptimize(Text.data());
    }
    State.SetBytesProcessed(static_cast<std::int64_t>(Bytes) * State.iterations());
    State.counters["document_MB"] = static_cast<double>(Bytes) / 1e6;
}
BENCHMARK(BM_SaveGeneticAlgorithm)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadGeneticAlgorithm(benchmark::State& State) {
    std::string Text;
    {
        ax::TAxGeneticAlgorithm GA;
        Build(GA);
        Text = SavedText(GA);
    }
    for (auto _ : State) {
        ax::TAxGeneticAlgorithm GA;
        CheapFitness(GA);
        std::istringstream In(Text);
        GA.LoadFromStream(In);
        if (GA.Population()->Count() != Individuals) State.SkipWithError("population not loaded");
        benchmark::DoNotOptimize(GA.Population());
    }
    State.SetBytesProcessed(static_cast<std::int64_t>(Text.size()) * State.iterations());
    State.counters["document_MB"] = static_cast<double>(Text.size()) / 1e6;
}
BENCHMARK(BM_LoadGeneticAlgorithm)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- genetic programming ----------------------------------------------------------------

constexpr int Programs = 1000;

void ProgramSize(ax::TAxGeneticProgramming& GP) {
    GP.SetOnEvaluateFitness([](const ax::TAxGPIndividual<ax::TGAFloat>& Item,
                               ax::TGAFitness& Fitness) { Fitness = Item.DNA()->Size(); });
}

// Four functions of two arguments, two of one, x, y and a constant; ramped half-and-half
// trees of up to 11 levels, whose mean size is about 56 nodes.
void BuildPrograms(ax::TAxGeneticProgramming& GP) {
    ProgramSize(GP);
    for (const char* Name : {"Add", "Sub", "Mul", "Div"}) {
        auto* F = GP.Instructions()->Add();
        F->SetName(Name);
        F->SetArity(2);
    }
    for (const char* Name : {"Neg", "Sqrt"}) {
        auto* F = GP.Instructions()->Add();
        F->SetName(Name);
        F->SetArity(1);
    }
    for (const char* Name : {"x", "y"})
        GP.Instructions()->Add()->SetName(Name);
    auto* C = GP.Instructions()->Add();
    C->SetName("c");
    C->SetOperation(ax::TGPGeneticInstruction::gpConstant);
    C->SetValue(0.318309886183791);
    GP.SetInitialPopulation(Programs);
    GP.SetInitialDuplicatesRetries(0);
    GP.SetInitializationMethod(ax::TGPInitializationMethod::imRampedHalfAndHalf);
    GP.SetInitializationDepth(11);
    ax::RandSeed(42);
    GP.Initialize();
}

double MeanSize(ax::TAxGeneticProgramming& GP) {
    double Size = 0;
    for (int I = 0; I < GP.Population()->Count(); ++I)
        Size += GP.Population()->Items(I)->DNA()->Size();
    return Size / GP.Population()->Count();
}

std::string SavedPrograms() {
    ax::TAxGeneticProgramming GP;
    BuildPrograms(GP);
    std::ostringstream Out;
    GP.SaveToStream(Out);
    return std::move(Out).str();
}

void BM_SaveGeneticProgram(benchmark::State& State) {
    ax::TAxGeneticProgramming GP;
    BuildPrograms(GP);
    std::size_t Bytes = 0;
    for (auto _ : State) {
        std::ostringstream Out;
        GP.SaveToStream(Out);
        Bytes = Out.str().size();
        benchmark::DoNotOptimize(Bytes);
    }
    State.SetBytesProcessed(static_cast<std::int64_t>(Bytes) * State.iterations());
    State.counters["document_MB"] = static_cast<double>(Bytes) / 1e6;
    State.counters["mean_size"] = MeanSize(GP);
}
BENCHMARK(BM_SaveGeneticProgram)->Unit(benchmark::kMillisecond)->UseRealTime();

// The load alone: making the component and freeing its 2,000 trees (the population and
// the previous generation) are not timed.
void BM_LoadGeneticProgram(benchmark::State& State) {
    const std::string Text = SavedPrograms();
    double Size = 0;
    for (auto _ : State) {
        State.PauseTiming();
        auto GP = std::make_unique<ax::TAxGeneticProgramming>();
        ProgramSize(*GP);
        std::istringstream In(Text);
        State.ResumeTiming();
        GP->LoadFromStream(In);
        State.PauseTiming();
        if (GP->Population()->Count() != Programs) State.SkipWithError("population not loaded");
        Size = MeanSize(*GP);
        GP.reset();
        State.ResumeTiming();
    }
    State.SetBytesProcessed(static_cast<std::int64_t>(Text.size()) * State.iterations());
    State.counters["document_MB"] = static_cast<double>(Text.size()) / 1e6;
    State.counters["mean_size"] = Size;
}
BENCHMARK(BM_LoadGeneticProgram)->Unit(benchmark::kMillisecond)->UseRealTime();

// A document of Variables variables and one program: a chain of Add nodes, each with one
// of the variables as its first argument, the last variable ending it.
std::string ManyVariables(int Variables) {
    std::string Text = "<?xml version=\"1.0\"?>\n<GeneticProgram><Domain><Instructions>"
                       "<Function Name=\"Add\" Arity=\"2\"/>";
    for (int I = 0; I < Variables; ++I)
        Text.append("<Variable Name=\"v").append(std::to_string(I)).append("\"/>");
    Text += "</Instructions><Population><Individual><Name>p</Name><DNA Instruction=\"Add\">";
    // The chain is at most a few hundred deep (the nesting limit is 1,000): a wide tree of
    // Add nodes, each with up to 400 variable leaves, which a tree node accepts.
    constexpr int PerNode = 400;
    int Open = 0;
    for (int I = 0; I < Variables; ++I) {
        if (I > 0 && I % PerNode == 0) {
            Text += "<Child Instruction=\"Add\">";
            ++Open;
        }
        Text.append("<Child Instruction=\"v").append(std::to_string(I)).append("\"/>");
    }
    for (int I = 0; I < Open; ++I)
        Text += "</Child>";
    Text += "</DNA></Individual></Population></Domain></GeneticProgram>\n";
    return Text;
}

void BM_LoadManyVariables(benchmark::State& State) {
    const auto Variables = static_cast<int>(State.range(0));
    const std::string Text = ManyVariables(Variables);
    for (auto _ : State) {
        State.PauseTiming();
        auto GP = std::make_unique<ax::TAxGeneticProgramming>();
        std::istringstream In(Text);
        State.ResumeTiming();
        GP->LoadFromStream(In);
        State.PauseTiming();
        if (GP->Instructions()->Count() != Variables + 1)
            State.SkipWithError("instructions not loaded");
        GP.reset();
        State.ResumeTiming();
    }
    State.SetBytesProcessed(static_cast<std::int64_t>(Text.size()) * State.iterations());
    State.counters["document_MB"] = static_cast<double>(Text.size()) / 1e6;
}
BENCHMARK(BM_LoadManyVariables)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

} // namespace
