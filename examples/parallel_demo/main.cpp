// Fits an oscillator model with a GA whose fitness is a simulation of a few milliseconds,
// evaluated sequentially, on threads and on MPI ranks. The runs are seeded alike and give
// the same result on every path; only the time differs.
//
//   parallel_demo                     sequential, then threads
//   mpirun -np 3 parallel_demo --mpi  sequential on rank 0, then rank 0 with 2 workers
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "axgenetic/parallel/thread_evaluator.hpp"
#include "axgenetic/platform/random.hpp"
#include "examples/parallel_demo/workload.hpp"
#ifdef AXGENETIC_HAVE_MPI
#include "axgenetic/parallel/mpi_evaluator.hpp"
#endif

namespace {

using namespace ax;

constexpr int Generations = 5;

workload::TSettings Settings() {
    workload::TSettings Result;
    Result.Kind = workload::TKind::Cpu;
    Result.Population = 40;
    Result.Steps = 80000; // about 3 ms per evaluation on a 2 GHz core
    return Result;
}

// One seeded run, through Evaluator when given; prints its time and best fitness.
void Run(const char* Label, IAxFitnessEvaluator* Evaluator) {
    TAxGeneticAlgorithm GA;
    workload::SetUp(GA, Settings());
    GA.SetFitnessEvaluator(Evaluator);
    RandSeed(2024);
    const auto Start = std::chrono::steady_clock::now();
    GA.Evolve(Generations);
    const std::chrono::duration<double> Elapsed = std::chrono::steady_clock::now() - Start;
    const workload::TParams Best = workload::Decode(*GA.Genes(), GA.FittestIndividual()->Bits());
    std::printf("%-22s %6.2f s   best fitness %.6g (stiffness %.3f, damping %.3f, drive %.3f, "
                "frequency %.3f)\n",
                Label, Elapsed.count(), GA.MinFitness(), Best.Stiffness, Best.Damping, Best.Drive,
                Best.Frequency);
}

void RunThreads() {
    Run("sequential", nullptr);
    for (const int Workers : {2, TAxThreadEvaluator::DefaultWorkers() * 2}) {
        TAxThreadEvaluator Evaluator(Workers);
        char Label[32];
        std::snprintf(Label, sizeof Label, "threads, %d workers", Workers);
        Run(Label, &Evaluator);
    }
#ifdef AXGENETIC_HAVE_MPI
    std::printf("On MPI ranks: mpirun -np 3 %s --mpi\n", "parallel_demo");
#endif
}

#ifdef AXGENETIC_HAVE_MPI
// SPMD: every rank builds the same component; rank 0 evolves, the others serve.
int RunMPI(int& Argc, char**& Argv) {
    TAxMPIEnvironment Environment(Argc, Argv);
    TAxGeneticAlgorithm GA;
    workload::SetUp(GA, Settings());
    TAxMPIEvaluator Evaluator;
    if (!Evaluator.IsMaster()) {
        Evaluator.Serve(GA);
        return 0;
    }
    Run("sequential (rank 0)", nullptr);
    char Label[32];
    std::snprintf(Label, sizeof Label, "MPI, %d worker ranks", Evaluator.Workers());
    try {
        Run(Label, &Evaluator);
    } catch (const EAxWorkerError& E) {
        std::printf("rank %d failed on individual %d: %s\n", E.Rank(), E.Index(), E.what());
    }
    // Releases the workers; the evaluator's destructor would do it too.
    Evaluator.Stop();
    return 0;
}
#endif

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--mpi") == 0) {
#ifdef AXGENETIC_HAVE_MPI
        return RunMPI(argc, argv);
#else
        std::fprintf(stderr, "parallel_demo was built without MPI\n");
        return 1;
#endif
    }
    RunThreads();
    return 0;
}
