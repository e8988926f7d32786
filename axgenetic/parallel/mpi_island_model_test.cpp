// Run under mpirun with 1 or more ranks: every rank runs the island model over MPI and the
// same archipelago on threads of its own, and checks that its islands match; then the
// checkpoints, the asynchronous mode and a failing island. Every rank exits with a failure
// status when one of its checks fails.
#include "axgenetic/parallel/mpi_island_model.hpp"

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "axgenetic/parallel/gp_genome_codec.hpp"
#include "axgenetic/parallel/island_test_support.hpp"

namespace {

using namespace ax;

int GFailures = 0;
int GRank = 0;

void Check(bool Ok, const std::string& What) {
    if (Ok) return;
    ++GFailures;
    std::fprintf(stderr, "rank %d FAILED: %s\n", GRank, What.c_str());
}

bool SameIslands(const TAxIslandModel& Distributed, const TAxIslandModel& Local) {
    for (int I = 0; I < Distributed.Islands(); ++I)
        if (Distributed.Island(I) && test::Record(Distributed, I) != test::Record(Local, I))
            return false;
    return Distributed.Results() == Local.Results();
}

void CheckSynchronous() {
    for (const TAxMigrationPolicy& Migration : test::Policies) {
        TAxMPIIslands Distributed(5, test::MakeGA);
        TAxThreadIslands Local(5, test::MakeGA, 2);
        for (TAxIslandModel* Model :
             {static_cast<TAxIslandModel*>(&Distributed), static_cast<TAxIslandModel*>(&Local)}) {
            Model->SetMigration(Migration);
            Model->Initialize(2024);
            Model->Evolve(7);
            Model->Evolve(5);
        }
        Check(SameIslands(Distributed, Local),
              "islands over MPI differ from islands on threads, topology " +
                  std::to_string(static_cast<int>(Migration.Topology)));
    }
    // GP programs travel through their codec alike.
    TAxMPIIslands Distributed(4, test::MakeGP, std::make_unique<TAxGPFloatGenomeCodec>());
    TAxThreadIslands Local(4, test::MakeGP, 3, std::make_unique<TAxGPFloatGenomeCodec>());
    for (TAxIslandModel* Model :
         {static_cast<TAxIslandModel*>(&Distributed), static_cast<TAxIslandModel*>(&Local)}) {
        Model->SetMigration(test::Policies[0]);
        Model->Initialize(8);
        Model->Evolve(9);
    }
    Check(Distributed.Results() == Local.Results(), "GP islands over MPI differ from threads");
}

// Saved over MPI, the archipelago continues alike over MPI and on threads.
void CheckCheckpoint() {
    // One file name for all ranks: rank 0's.
    int Id = static_cast<int>(::getpid());
    MPI_Bcast(&Id, 1, MPI_INT, 0, MPI_COMM_WORLD);
    const std::string File = (std::filesystem::temp_directory_path() /
                              ("axgenetic-islands-" + std::to_string(Id) + ".checkpoint"))
                                 .string();
    TAxMPIIslands Distributed(4, test::MakeGA);
    Distributed.SetMigration(test::Policies[1]);
    Distributed.Initialize(77);
    Distributed.Evolve(5);
    Distributed.SaveCheckpoint(File);
    MPI_Barrier(MPI_COMM_WORLD); // the file is there before anyone reads it
    Distributed.Evolve(6);

    TAxThreadIslands Local(4, test::MakeGA, 1);
    Local.SetMigration(test::Policies[1]);
    Local.LoadCheckpoint(File);
    Local.Evolve(6);
    Check(SameIslands(Distributed, Local), "a checkpoint resumed on threads differs");

    TAxMPIIslands Resumed(4, test::MakeGA);
    Resumed.SetMigration(test::Policies[1]);
    Resumed.LoadCheckpoint(File);
    Resumed.Evolve(6);
    Check(SameIslands(Resumed, Local), "a checkpoint resumed over MPI differs");
    MPI_Barrier(MPI_COMM_WORLD);
    if (GRank == 0) std::filesystem::remove(File);
}

void CheckAsynchronous() {
    TAxMPIIslands Model(6, test::MakeGA);
    Model.SetMigration(test::Policies[1]);
    Model.SetSynchronous(false);
    Model.Initialize(3);
    Model.Evolve(10);
    Model.Evolve(3);
    bool Ran = true;
    for (const TAxIslandResult& Result : Model.Results())
        Ran = Ran && Result.Generation == 13;
    Check(Ran, "an asynchronous run did not finish its generations");
}

// Island 1 fails on its 150th evaluation; every rank learns which island and why.
void CheckFailure(bool Synchronous) {
    TAxMPIIslands Model(4, test::FailingGA(1, "island one failed"));
    Model.SetSynchronous(Synchronous);
    Model.Initialize(1);
    try {
        Model.Evolve(20);
        Check(false, "a failing island went unnoticed");
    } catch (const EAxIslandError& E) {
        Check(E.Island() == 1 && E.Rank() == 1 % Model.Size() &&
                  std::string(E.what()) == "island one failed",
              std::string("wrong failure report: ") + E.what());
    }
    // The model is still usable: a fresh start runs.
    Model.Initialize(2);
    Model.Evolve(1);
}

} // namespace

// The factory throws for island 1 only: its rank raises the factory's exception, every
// other rank a clear error, and none waits for islands that were never made.
void CheckFactoryFailure() {
    TAxMPIIslands Model(4, [](int Island) -> std::unique_ptr<TAxCustomGeneticComponent> {
        if (Island == 1) throw std::runtime_error("no island one");
        return test::MakeGA(Island);
    });
    const bool Owner = GRank == 1 % Model.Size();
    try {
        Model.Initialize(7);
        Check(false, "a failing factory went unnoticed");
    } catch (const std::exception& E) {
        Check(std::string(E.what()) ==
                  (Owner ? "no island one" : std::string(SIslandFactoryFailedElsewhere)),
              std::string("wrong factory failure: ") + E.what());
    }
}

int main(int argc, char** argv) {
    TAxMPIEnvironment Environment(argc, argv);
    MPI_Comm_rank(MPI_COMM_WORLD, &GRank);
    try {
        CheckSynchronous();
        CheckCheckpoint();
        CheckAsynchronous();
        CheckFailure(true);
        CheckFailure(false);
        CheckFactoryFailure();
    } catch (const std::exception& E) {
        Check(false, std::string("unexpected exception: ") + E.what());
    }
    if (GRank == 0 && GFailures == 0) std::printf("island model over MPI: all checks passed\n");
    return GFailures == 0 ? 0 : 1;
}
