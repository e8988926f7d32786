// The island model against one population of the same total size, on the problems of
// examples/island_demo, and its speed-up over MPI ranks.
//
//   bench_islands                       success rates, 30 seeds per configuration
//   mpirun -np 2 bench_islands --mpi    the same costly run on 1 rank, then on 2 ranks
//
// Success rates: both configurations of a problem run the same number of evaluations (the
// same population in all, the same generations: 1000 programs for 30 generations on the
// multiplexer, 100 for 20 on the quartic, whose total error must fall below 0.01), stopping
// early once solved; islands exchange their 5 best every 5 generations along a ring. Printed one
// line per configuration with the Wilson 95 % interval: "6-multiplexer islands 4x250: solved 27 of
// 30 (0.74 to 0.97)".
//
// Speed-up: 4 GA islands of 24 on the oscillator of examples/parallel_demo (about 1 ms of
// simulation per evaluation, the same for every genome), 10 generations in the synchronous
// mode, timed on a communicator of rank 0 alone and then on both ranks (the median of three
// pairs); both runs must end alike.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "axgenetic/parallel/gp_genome_codec.hpp"
#include "axgenetic/parallel/island_model.hpp"
#include "examples/island_demo/problems.hpp"
#include "examples/parallel_demo/workload.hpp"
#ifdef AXGENETIC_HAVE_MPI
#include "axgenetic/parallel/mpi_island_model.hpp"
#endif

namespace {

using namespace ax;

constexpr int Seeds = 30;

void PrintLoad() {
    std::ifstream Load("/proc/loadavg");
    std::string Text;
    std::getline(Load, Text);
    std::printf("# load average at start: %s\n", Text.c_str());
}

TAxMigrationPolicy Ring() {
    TAxMigrationPolicy Policy;
    Policy.Interval = 5;
    Policy.Count = 5;
    return Policy;
}

struct TProblem {
    const char* Name;
    std::function<std::unique_ptr<TAxCustomGeneticComponent>(int Population)> Make;
    int Population; // in all, over the islands
    int Generations;
    double SolvedAt; // a best fitness at or below this solves the problem
};

// Whether the seeded run found a solution within the generations.
bool Solves(const TProblem& Problem, int Islands, std::uint64_t Seed) {
    const int Size = Problem.Population / Islands;
    TAxThreadIslands Model(
        Islands, [&](int) { return Problem.Make(Size); }, 1,
        std::make_unique<TAxGPFloatGenomeCodec>());
    Model.SetMigration(Ring());
    Model.Initialize(Seed);
    for (;;) {
        const auto& Best = Model.Results()[static_cast<std::size_t>(Model.BestIsland())];
        if (Best.BestFitness <= Problem.SolvedAt) return true;
        if (Model.Generation() >= Problem.Generations) return false;
        Model.Evolve(1);
    }
}

void SuccessRates() {
    PrintLoad();
    const TProblem Problems[] = {
        {"6-multiplexer", [](int N) { return islands::Multiplexer(N); }, 1000, 30, 0},
        {"quartic", [](int N) { return islands::Quartic(N); }, 100, 20, 0.01},
    };
    for (const TProblem& Problem : Problems)
        for (const int Islands : {1, 4}) {
            int Solved = 0;
            for (std::uint64_t Seed = 1; Seed <= Seeds; ++Seed)
                Solved += Solves(Problem, Islands, Seed);
            // Wilson score interval, 95 %.
            const double N = Seeds, P = Solved / N, Z = 1.96, Z2 = Z * Z;
            const double Centre = (P + Z2 / (2 * N)) / (1 + Z2 / N);
            const double Half = Z * std::sqrt(P * (1 - P) / N + Z2 / (4 * N * N)) / (1 + Z2 / N);
            std::printf("%s %s %dx%d: solved %d of %d (%.2f to %.2f)\n", Problem.Name,
                        Islands == 1 ? "one population" : "islands", Islands,
                        Problem.Population / Islands, Solved, Seeds, std::max(0.0, Centre - Half),
                        std::min(1.0, Centre + Half));
            std::fflush(stdout);
        }
}

#ifdef AXGENETIC_HAVE_MPI
// A barrier that sleeps while it waits: Open MPI's spins, which would take a core from the
// rank timing the run alone.
void QuietBarrier(MPI_Comm Comm) {
    MPI_Request Request;
    MPI_Ibarrier(Comm, &Request);
    for (int Done = 0; MPI_Test(&Request, &Done, MPI_STATUS_IGNORE), !Done;)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Seconds of a synchronous costly run on the ranks of Comm, and its results.
double TimedRun(MPI_Comm Comm, std::vector<TAxIslandResult>& Results) {
    TAxMPIIslands Model(
        4,
        [](int) {
            workload::TSettings Settings;
            Settings.Kind = workload::TKind::Cpu;
            Settings.Population = 24;
            Settings.Steps = 32000;
            auto GA = std::make_unique<TAxGeneticAlgorithm>();
            workload::SetUp(*GA, Settings);
            return GA;
        },
        std::make_unique<TAxGAGenomeCodec>(), Comm);
    Model.SetMigration(Ring());
    MPI_Barrier(Comm);
    const auto Start = std::chrono::steady_clock::now();
    Model.Initialize(1);
    Model.Evolve(10);
    MPI_Barrier(Comm);
    const std::chrono::duration<double> Seconds = std::chrono::steady_clock::now() - Start;
    Results = Model.Results();
    return Seconds.count();
}

void SpeedUp(int& Argc, char**& Argv) {
    TAxMPIEnvironment Environment(Argc, Argv);
    int Rank = 0, Size = 1;
    MPI_Comm_rank(MPI_COMM_WORLD, &Rank);
    MPI_Comm_size(MPI_COMM_WORLD, &Size);
    if (Rank == 0) PrintLoad();
    MPI_Comm Alone;
    MPI_Comm_split(MPI_COMM_WORLD, Rank == 0 ? 0 : MPI_UNDEFINED, 0, &Alone);
    std::vector<double> Ratios;
    bool Same = true;
    for (int Pair = 0; Pair < 3; ++Pair) {
        std::vector<TAxIslandResult> One, All;
        double Single = 0;
        if (Rank == 0) Single = TimedRun(Alone, One);
        QuietBarrier(MPI_COMM_WORLD);
        const double Parallel = TimedRun(MPI_COMM_WORLD, All);
        if (Rank == 0) {
            Ratios.push_back(Single / Parallel);
            Same = Same && One == All;
            std::printf("# pair %d: 1 rank %.2f s, %d ranks %.2f s\n", Pair + 1, Single, Size,
                        Parallel);
        }
    }
    if (Alone != MPI_COMM_NULL) MPI_Comm_free(&Alone);
    if (Rank != 0) return;
    std::sort(Ratios.begin(), Ratios.end());
    std::printf("island speed-up on %d ranks: %.2fx%s\n", Size, Ratios[1],
                Same ? "" : " (RESULTS DIFFER)");
}
#endif

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--mpi") == 0) {
#ifdef AXGENETIC_HAVE_MPI
        SpeedUp(argc, argv);
        return 0;
#else
        std::fprintf(stderr, "bench_islands was built without MPI\n");
        return 2;
#endif
    }
    SuccessRates();
    return 0;
}
