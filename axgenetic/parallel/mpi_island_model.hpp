// The island model on the ranks of an MPI job: island i runs on rank i % Size, one
// generation of each of a rank's islands in turn. Migrants for another rank travel as
// non-blocking messages: a rank never waits for a send, and in the asynchronous mode never
// for a receive either. In the synchronous mode a rank waits at each migration for exactly
// the migrants of that generation, and the run equals TAxThreadIslands' with the same seed.
//
// SPMD: every rank constructs the model with the same island count, factory (the same
// components), policy and seed, and calls the same operations in the same order; every
// operation is collective. Results() is known on every rank, an island failure raises
// EAxIslandError on every rank, and SaveCheckpoint writes on rank 0 only. LoadCheckpoint
// reads the file on every rank (a shared file system, or a copy on each machine).
#pragma once

#include "axgenetic/platform/export.hpp"

#include <mpi.h>

#include <list>

#include "axgenetic/parallel/island_model.hpp"
#include "axgenetic/parallel/mpi_evaluator.hpp" // TAxMPIEnvironment, EAxWorkerError

namespace ax {

// An MPI error (a lost rank, where the MPI library reports one rather than the launcher
// ending the job) raises EAxWorkerError with the MPI error text, Rank() this rank.
class AXGENETIC_API TAxMPIIslands : public TAxIslandModel {
public:
    // Collective over Comm; the model works on its own duplicate of it. EGAException when
    // there are fewer islands than ranks.
    TAxMPIIslands(int Islands, TAxIslandFactory Factory,
                  std::unique_ptr<IAxGenomeCodec> Codec = std::make_unique<TAxGAGenomeCodec>(),
                  MPI_Comm Comm = MPI_COMM_WORLD);
    ~TAxMPIIslands() override;

    int Rank() const override { return FRank; }
    int Size() const { return FSize; }

protected:
    int RankOf(int Island) const override { return Island % FSize; }
    void Run(int Target) override;
    void Post(TMigrants&& Message) override;
    bool Collect(int Island, int Generation, int Expected, std::vector<TMigrants>& Out) override;
    void Fail(int Island, const std::string& Message) override;
    bool Stopping() override;
    void ShareResults() override;
    std::vector<std::string> GatherRecords(std::vector<std::string> Local) override;
    bool AnyFailed(bool Failed) override;

private:
    struct TSend {
        std::vector<std::byte> Buffer;
        MPI_Request Request = MPI_REQUEST_NULL;
    };
    void Send(int Rank, int Tag, std::vector<std::byte>&& Buffer);
    // Receives every message that has arrived; false when none had.
    bool Pump();
    // Ends a run on every rank alike: every message sent is received, every send
    // completed; then the failure, if any, is agreed on and raised.
    void Finish();

    MPI_Comm FComm = MPI_COMM_NULL;
    int FRank = 0;
    int FSize = 1;
    std::vector<std::vector<TMigrants>> FInboxes;
    std::list<TSend> FSends;           // a list: buffers stay where MPI reads them
    std::vector<int> FSent, FReceived; // messages per rank since the last Finish
    std::vector<std::byte> FMessage;
    bool FStopping = false;
    int FFailedIsland = -1; // an island of this rank that failed
    std::string FFailure;
};

} // namespace ax
