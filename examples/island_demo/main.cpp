// The 6-multiplexer on four islands of 250 programs: every 5 generations each island sends
// copies of its 5 best programs to the next island of a ring, where they replace the 5
// worst. The run stops when a program answers all 64 cases, or after 50 generations, and
// saves a checkpoint of the whole archipelago every 10 generations (island_demo.checkpoint in
// the temporary directory), from which `--resume FILE` continues it.
//
//   island_demo [--seed N] [--threads N] [--resume FILE]   islands on threads (default 2)
//   mpirun -np 2 island_demo --mpi [--seed N]               islands over MPI ranks
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "axgenetic/parallel/gp_genome_codec.hpp"
#include "axgenetic/parallel/island_model.hpp"
#include "problems.hpp"
#ifdef AXGENETIC_HAVE_MPI
#include "axgenetic/parallel/mpi_island_model.hpp"
#endif

namespace {

constexpr int Islands = 4, PerIsland = 250, Generations = 50, Interval = 5;

// Runs until solved or out of generations; returns whether this process prints.
bool Run(ax::TAxIslandModel& Model, std::uint64_t Seed, const char* Resume, bool Printing) {
    ax::TAxMigrationPolicy Migration;
    Migration.Interval = Interval;
    Migration.Count = 5;
    Model.SetMigration(Migration);
    if (Resume)
        Model.LoadCheckpoint(Resume);
    else
        Model.Initialize(Seed);
    const std::string Checkpoint =
        (std::filesystem::temp_directory_path() / "island_demo.checkpoint").string();
    while (Model.Generation() < Generations &&
           Model.Results()[static_cast<std::size_t>(Model.BestIsland())].BestFitness > 0) {
        Model.Evolve(Interval);
        const bool Saving = Model.Generation() % 10 == 0;
        if (Saving) Model.SaveCheckpoint(Checkpoint);
        if (!Printing) continue;
        std::printf("generation %2d: wrong answers per island", Model.Generation());
        for (const ax::TAxIslandResult& Result : Model.Results())
            std::printf(" %2g", Result.BestFitness);
        std::printf(Saving ? ", saved to %s\n" : "\n", Checkpoint.c_str());
    }
    return Printing;
}

void PrintBest(const ax::TAxIslandModel& Model) {
    const int Best = Model.BestIsland();
    const ax::TAxIslandResult& Result = Model.Results()[static_cast<std::size_t>(Best)];
    // Any copy of the component decodes the genome.
    auto Scratch = islands::Multiplexer(1);
    auto& Item = static_cast<ax::TAxGPIndividual<ax::TGAFloat>&>(*Scratch->Population()->Add());
    ax::TAxGenomeReader Reader(Result.BestGenome);
    Model.Codec().Decode(Reader, Item);
    std::printf("best: island %d, %g wrong of 64, %d nodes\n  %s\n", Best, Result.BestFitness,
                Item.DNA()->Size(), Item.DNA()->ToString().c_str());
}

} // namespace

int main(int argc, char** argv) {
    std::uint64_t Seed = 1;
    int Threads = 2;
    bool Mpi = false;
    const char* Resume = nullptr;
    for (int I = 1; I < argc; ++I) {
        if (std::strcmp(argv[I], "--seed") == 0 && I + 1 < argc) {
            Seed = std::strtoull(argv[++I], nullptr, 10);
        } else if (std::strcmp(argv[I], "--threads") == 0 && I + 1 < argc) {
            Threads = std::atoi(argv[++I]);
        } else if (std::strcmp(argv[I], "--resume") == 0 && I + 1 < argc) {
            Resume = argv[++I];
        } else if (std::strcmp(argv[I], "--mpi") == 0) {
            Mpi = true;
        } else {
            std::fprintf(stderr, "usage: %s [--seed N] [--threads N] [--resume FILE] [--mpi]\n",
                         argv[0]);
            return 2;
        }
    }
    const auto Factory = [](int) { return islands::Multiplexer(PerIsland); };
    try {
        if (Mpi) {
#ifdef AXGENETIC_HAVE_MPI
            ax::TAxMPIEnvironment Environment(argc, argv);
            ax::TAxMPIIslands Model(Islands, Factory,
                                    std::make_unique<ax::TAxGPFloatGenomeCodec>());
            if (Run(Model, Seed, Resume, Model.Rank() == 0)) PrintBest(Model);
            return 0;
#else
            std::fprintf(stderr, "island_demo was built without MPI\n");
            return 2;
#endif
        }
        ax::TAxThreadIslands Model(Islands, Factory, Threads,
                                   std::make_unique<ax::TAxGPFloatGenomeCodec>());
        Run(Model, Seed, Resume, true);
        PrintBest(Model);
    } catch (const ax::EAxIslandError& E) {
        std::fprintf(stderr, "island %d (rank %d) failed: %s\n", E.Island(), E.Rank(), E.what());
        return 1;
    }
    return 0;
}
