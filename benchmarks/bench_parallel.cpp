// Speed-up of the parallel evaluators over the sequential path on the workload of
// examples/parallel_demo: whole seeded runs (breeding included), timed sequentially and
// through an evaluator back to back, the median ratio of Repeats pairs. Prints one line
// per case: "<backend> <workers> <cpu|latency|trivial>: speedup X", the trivial cases
// also "overhead: N us/individual" (the extra time per evaluated individual).
//
//   bench_parallel                        the thread evaluator
//   mpirun -np 3 bench_parallel --mpi     the MPI evaluator with 2 worker ranks
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "axgenetic/parallel/thread_evaluator.hpp"
#include "axgenetic/platform/random.hpp"
#include "examples/parallel_demo/workload.hpp"
#ifdef AXGENETIC_HAVE_MPI
#include "axgenetic/parallel/mpi_evaluator.hpp"
#endif

namespace {

using namespace ax;
using workload::TKind;

constexpr int Repeats = 5;

struct TCase {
    TKind Kind;
    int Population;
    int Generations;
};

TCase CaseOf(TKind Kind) {
    switch (Kind) {
    case TKind::Cpu:
        return {Kind, 48, 3}; // about 1 ms of computation per evaluation
    case TKind::Latency:
        return {Kind, 64, 3}; // 1 ms of waiting per evaluation
    case TKind::Trivial:
        break;
    }
    return {Kind, 4000, 10};
}

workload::TSettings SettingsOf(const TCase& Case) {
    workload::TSettings Settings;
    Settings.Kind = Case.Kind;
    Settings.Population = Case.Population;
    Settings.Steps = 32000;
    Settings.WaitMicroseconds = 1000;
    return Settings;
}

struct TTiming {
    double Seconds;
    long Evaluations;
};

// One seeded run of the case, through Evaluator when given.
TTiming TimeRun(const TCase& Case, IAxFitnessEvaluator* Evaluator) {
    TAxGeneticAlgorithm GA;
    workload::SetUp(GA, SettingsOf(Case));
    std::atomic<long> Evaluations{0};
    const TAxFitnessEvent Handler = GA.OnEvaluateFitness();
    GA.SetOnEvaluateFitness([&](TObject* S, TAxIndividual* I, TGAFitness& F) {
        Handler(S, I, F);
        Evaluations.fetch_add(1, std::memory_order_relaxed);
    });
    GA.SetFitnessEvaluator(Evaluator);
    RandSeed(42);
    const auto Start = std::chrono::steady_clock::now();
    GA.Evolve(Case.Generations);
    const std::chrono::duration<double> Elapsed = std::chrono::steady_clock::now() - Start;
    return {Elapsed.count(), Evaluations.load()};
}

double Median(std::vector<double> Values) {
    std::sort(Values.begin(), Values.end());
    return Values[Values.size() / 2];
}

// Sequential and parallel runs alternate, so a change of load hits both alike. The
// evaluations counted in the sequential run: the MPI workers' calls are not seen here.
void Report(const char* Backend, int Workers, const TCase& Case, IAxFitnessEvaluator* Evaluator) {
    std::vector<double> Speedups, Overheads;
    for (int R = 0; R < Repeats; ++R) {
        const TTiming Sequential = TimeRun(Case, nullptr);
        const TTiming Parallel = TimeRun(Case, Evaluator);
        Speedups.push_back(Sequential.Seconds / Parallel.Seconds);
        Overheads.push_back((Parallel.Seconds - Sequential.Seconds) * 1e6 /
                            static_cast<double>(Sequential.Evaluations));
    }
    std::printf("%s %d %s: speedup %.2f", Backend, Workers, workload::KindName(Case.Kind),
                Median(Speedups));
    if (Case.Kind == TKind::Trivial)
        std::printf(", overhead: %.3f us/individual", Median(Overheads));
    std::printf("\n");
    std::fflush(stdout);
}

void PrintLoad() {
    std::ifstream Load("/proc/loadavg");
    std::string Text;
    std::getline(Load, Text);
    std::printf("# load average at start: %s\n", Text.c_str());
}

void RunThreads() {
    PrintLoad();
    const struct {
        int Workers;
        TKind Kind;
    } Cases[] = {{2, TKind::Cpu},     {1, TKind::Cpu},     {8, TKind::Latency},
                 {2, TKind::Latency}, {2, TKind::Trivial}, {1, TKind::Trivial}};
    for (const auto& C : Cases) {
        TAxThreadEvaluator Evaluator(C.Workers);
        Report("threads", C.Workers, CaseOf(C.Kind), &Evaluator);
    }
}

#ifdef AXGENETIC_HAVE_MPI
// Every rank builds the same component for each case; rank 0 measures, the others serve.
void RunMPI(int& Argc, char**& Argv) {
    TAxMPIEnvironment Environment(Argc, Argv);
    int Rank = 0;
    MPI_Comm_rank(MPI_COMM_WORLD, &Rank);
    if (Rank == 0) PrintLoad();
    for (const TKind Kind : {TKind::Cpu, TKind::Latency, TKind::Trivial}) {
        const TCase Case = CaseOf(Kind);
        TAxMPIEvaluator Evaluator;
        if (Evaluator.IsMaster()) {
            Report("mpi", Evaluator.Workers(), Case, &Evaluator);
            Evaluator.Stop();
        } else {
            TAxGeneticAlgorithm GA;
            workload::SetUp(GA, SettingsOf(Case));
            Evaluator.Serve(GA);
        }
    }
}
#endif

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--mpi") == 0) {
#ifdef AXGENETIC_HAVE_MPI
        RunMPI(argc, argv);
        return 0;
#else
        std::fprintf(stderr, "bench_parallel was built without MPI\n");
        return 1;
#endif
    }
    RunThreads();
    return 0;
}
