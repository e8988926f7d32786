// A fitness evaluator that computes a batch on the other ranks of an MPI job.
//
// SPMD, master and workers: every rank builds the same component (genes, settings,
// handler) and the same evaluator; rank 0 installs the evaluator and evolves, every other
// rank calls Serve, which evaluates the genomes rank 0 sends until rank 0 calls Stop (or
// its evaluator is destroyed). Genomes travel in the codec's compact binary form, in
// guided chunks (large first, single genomes last) handed out as workers finish, two in
// flight per worker, so uneven costs balance out. A handler that throws on a worker sends its
// message back; rank 0 lets the outstanding chunks finish and raises EAxWorkerError with that
// message. Waiting ranks probe with growing sleeps instead of spinning, so an idle rank does not
// hold a core.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <mpi.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/genetic_component.hpp"
#include "axgenetic/parallel/genome_codec.hpp"

namespace ax {

// Raised when rank 0's evaluator is used after Stop, or a worker's at all.
inline constexpr std::string_view SNotMasterEvaluator =
    "Only rank 0 evaluates through the MPI evaluator, and only before Stop";
// Sent back for a handler exception that is not a std::exception.
inline constexpr std::string_view SUnknownWorkerError = "Unknown exception in the fitness handler";

// A fitness handler failed on another rank. what() is the handler's own message.
class AXGENETIC_API EAxWorkerError : public EGAException {
public:
    EAxWorkerError(const std::string& Message, int Rank, int Index)
        : EGAException(Message), FRank(Rank), FIndex(Index) {}
    // The rank the handler ran on, and the individual's index in the population (-1 when
    // a worker's local evaluator does not tell which one failed).
    int Rank() const { return FRank; }
    int Index() const { return FIndex; }

private:
    int FRank;
    int FIndex;
};

// Initializes MPI for its lifetime when nobody has yet; finalizes it only then.
class AXGENETIC_API TAxMPIEnvironment {
public:
    TAxMPIEnvironment(int& Argc, char**& Argv);
    ~TAxMPIEnvironment();
    TAxMPIEnvironment(const TAxMPIEnvironment&) = delete;
    TAxMPIEnvironment& operator=(const TAxMPIEnvironment&) = delete;

private:
    bool FOwned = false;
};

class AXGENETIC_API TAxMPIEvaluator : public IAxFitnessEvaluator {
public:
    // Collective: every rank of Comm constructs it. The evaluator works on its own
    // duplicate of Comm, so its messages never mix with the host's.
    explicit TAxMPIEvaluator(
        std::unique_ptr<IAxGenomeCodec> Codec = std::make_unique<TAxGAGenomeCodec>(),
        MPI_Comm Comm = MPI_COMM_WORLD);
    // On rank 0, stops the workers if Stop has not been called.
    ~TAxMPIEvaluator() override;
    TAxMPIEvaluator(const TAxMPIEvaluator&) = delete;
    TAxMPIEvaluator& operator=(const TAxMPIEvaluator&) = delete;

    int Rank() const { return FRank; }
    int Size() const { return FSize; }
    bool IsMaster() const { return FRank == 0; }
    int Workers() const { return FSize - 1; }
    // The evaluator's own duplicate of the communicator it was made with.
    MPI_Comm Communicator() const { return FComm; }
    int ChunkSize() const { return FChunkSize; }
    // 0 or less: guided chunks, each the remaining count over twice the workers.
    void SetChunkSize(int Value) { FChunkSize = Value < 0 ? 0 : Value; }

    // Worker ranks: evaluates genomes on Component until rank 0 stops; returns how many
    // individuals this rank evaluated. The individual at population index i on rank 0 is
    // restored into individual i of Component's population, which grows as needed. With
    // Local (e.g. a TAxThreadEvaluator) each chunk is computed by it, so one rank per
    // machine can use every core of it.
    std::size_t Serve(TAxCustomGeneticComponent& Component, IAxFitnessEvaluator* Local = nullptr);
    // Rank 0: tells every worker to return from Serve. Later calls do nothing.
    void Stop();

    // Rank 0. With no worker rank the batch is computed here, in order.
    void EvaluateFitnessBatch(TAxCustomGeneticComponent& Component,
                              const TAxFitnessBatch& Batch) override;

private:
    // The status of the next message from Source, waited for without holding a core.
    MPI_Status WaitForMessage(int Source);
    void Receive(const MPI_Status& Status, std::vector<std::byte>& Buffer);
    // Sends task Sent to Worker without waiting (request FRequests[Sent]).
    void Dispatch(int Worker, std::size_t& Sent, std::size_t& Outstanding);
    // Receives the replies of a batch, handing out the chunks not yet sent as workers
    // finish; the first worker failure is recorded and stops the handing out.
    void Collect(const TAxFitnessBatch& Batch, std::size_t& Outstanding, std::size_t& Sent,
                 bool& Failed, std::string& ErrorMessage, int& ErrorRank, int& ErrorIndex);

    std::unique_ptr<IAxGenomeCodec> FCodec;
    MPI_Comm FComm = MPI_COMM_NULL;
    int FRank = 0;
    int FSize = 1;
    int FChunkSize = 0;
    bool FStopped = false;
    // Buffers kept between batches, so a generation allocates nothing once warmed up.
    std::vector<std::vector<std::byte>> FTasks;
    std::vector<std::size_t> FChunkStarts; // chunk c is [FChunkStarts[c], FChunkStarts[c + 1])
    std::vector<MPI_Request> FRequests;
    std::vector<std::byte> FMessage;
};

} // namespace ax
