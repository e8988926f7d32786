#include "axgenetic/parallel/mpi_evaluator.hpp"

#include <algorithm>
#include <chrono>
#include <exception>
#include <thread>

#include "axgenetic/core/individual.hpp"
#include "axgenetic/parallel/chunking.hpp"

namespace ax {

namespace {

// Message tags. A task holds a chunk of genomes: chunk number, count, then per genome its
// population index, byte length and bytes. A result holds the chunk number, count and one
// double per genome; an error the chunk number, the failing index and the message.
enum TTag : int { TagTask = 1, TagResult = 2, TagError = 3, TagStop = 4 };

// Chunks a worker holds at once: it computes one while the next is already there.
constexpr int InFlight = 2;
// Worker ranks restore individual i into population slot i; beyond this the data is bad.
constexpr std::int32_t MaxIndex = 1 << 24;

int ToInt(std::size_t Value) {
    return static_cast<int>(Value);
}

} // namespace

// --- environment --------------------------------------------------------------------

TAxMPIEnvironment::TAxMPIEnvironment(int& Argc, char**& Argv) {
    int Initialized = 0;
    MPI_Initialized(&Initialized);
    if (!Initialized) {
        MPI_Init(&Argc, &Argv);
        FOwned = true;
    }
}

TAxMPIEnvironment::~TAxMPIEnvironment() {
    if (FOwned) MPI_Finalize();
}

// --- evaluator ----------------------------------------------------------------------

TAxMPIEvaluator::TAxMPIEvaluator(std::unique_ptr<IAxGenomeCodec> Codec, MPI_Comm Comm)
    : FCodec(std::move(Codec)) {
    MPI_Comm_dup(Comm, &FComm);
    MPI_Comm_rank(FComm, &FRank);
    MPI_Comm_size(FComm, &FSize);
}

TAxMPIEvaluator::~TAxMPIEvaluator() {
    if (IsMaster()) Stop();
    MPI_Comm_free(&FComm);
}

void TAxMPIEvaluator::Stop() {
    if (!IsMaster() || FStopped) return;
    FStopped = true;
    for (int Worker = 1; Worker < FSize; ++Worker)
        MPI_Send(nullptr, 0, MPI_BYTE, Worker, TagStop, FComm);
}

MPI_Status TAxMPIEvaluator::WaitForMessage(int Source) {
    using namespace std::chrono_literals;
    MPI_Status Status;
    int Arrived = 0;
    auto Pause = 10us;
    for (int Probes = 0;; ++Probes) {
        MPI_Iprobe(Source, MPI_ANY_TAG, FComm, &Arrived, &Status);
        if (Arrived) return Status;
        // A short burst of probes catches quick replies; after that the rank sleeps, in
        // steps growing to 0.2 ms, so that it leaves its core to the ranks computing.
        if (Probes < 64) continue;
        std::this_thread::sleep_for(Pause);
        Pause = std::min<std::chrono::microseconds>(Pause * 2, 200us);
    }
}

void TAxMPIEvaluator::Receive(const MPI_Status& Status, std::vector<std::byte>& Buffer) {
    int Count = 0;
    MPI_Get_count(&Status, MPI_BYTE, &Count);
    Buffer.resize(static_cast<std::size_t>(Count));
    MPI_Recv(Buffer.data(), Count, MPI_BYTE, Status.MPI_SOURCE, Status.MPI_TAG, FComm,
             MPI_STATUS_IGNORE);
}

std::size_t TAxMPIEvaluator::Serve(TAxCustomGeneticComponent& Component,
                                   IAxFitnessEvaluator* Local) {
    std::size_t Evaluated = 0;
    std::vector<std::byte> Reply;
    std::vector<TAxIndividual*> Items;
    std::vector<int> Indexes;
    std::vector<TGAFitness> Fitness;
    for (;;) {
        const MPI_Status Status = WaitForMessage(0);
        Receive(Status, FMessage);
        if (Status.MPI_TAG == TagStop) return Evaluated;
        if (Status.MPI_TAG != TagTask) continue;

        TAxGenomeReader Reader(FMessage);
        std::uint32_t Chunk = 0;
        // The individual being worked on; -1 while unknown (e.g. inside Local).
        std::int32_t Index = -1;
        Items.clear();
        Indexes.clear();
        Reply.clear();
        TAxGenomeWriter Writer(Reply);
        bool Failed = false;
        std::string Failure;
        try {
            Chunk = Reader.ReadUInt32();
            const std::uint32_t Count = Reader.ReadUInt32();
            TAxPopulation& Population = *Component.Population();
            for (std::uint32_t I = 0; I < Count; ++I) {
                Index = Reader.ReadInt32();
                if (Index < 0 || Index >= MaxIndex)
                    throw EGAException(std::string(SMalformedGenome));
                TAxGenomeReader Genome(Reader.ReadBytes(Reader.ReadUInt32()));
                while (Population.Count() <= Index)
                    Population.Add();
                TAxIndividual* Item = Population.Items(Index);
                FCodec->Decode(Genome, *Item);
                if (!Genome.AtEnd()) throw EGAException(std::string(SMalformedGenome));
                Items.push_back(Item);
                Indexes.push_back(Index);
            }
            Fitness.assign(Items.size(), 0.0);
            if (Local) {
                Index = -1;
                Local->EvaluateFitnessBatch(Component, {Items, Indexes, Fitness});
            } else {
                for (std::size_t I = 0; I < Items.size(); ++I) {
                    Index = Indexes[I];
                    Fitness[I] = Component.RunFitnessHandler(Items[I]);
                }
            }
            Writer.WriteUInt32(Chunk);
            Writer.WriteUInt32(Count);
            for (const TGAFitness F : Fitness)
                Writer.WriteDouble(F);
            Evaluated += Items.size();
        } catch (const std::exception& E) {
            Failed = true;
            Failure = E.what();
        } catch (...) {
            Failed = true;
            Failure = SUnknownWorkerError;
        }
        if (Failed) {
            Reply.clear();
            Writer.WriteUInt32(Chunk);
            Writer.WriteInt32(Index);
            Writer.WriteString(Failure);
        }
        MPI_Send(Reply.data(), ToInt(Reply.size()), MPI_BYTE, 0, Failed ? TagError : TagResult,
                 FComm);
    }
}

void TAxMPIEvaluator::EvaluateFitnessBatch(TAxCustomGeneticComponent& Component,
                                           const TAxFitnessBatch& Batch) {
    const std::size_t Count = Batch.Items.size();
    if (FSize == 1) {
        for (std::size_t I = 0; I < Count; ++I)
            Batch.Fitness[I] = Component.RunFitnessHandler(Batch.Items[I]);
        return;
    }
    if (!IsMaster() || FStopped) throw EGAException(std::string(SNotMasterEvaluator));

    const std::size_t Workers = static_cast<std::size_t>(FSize - 1);
    FChunkStarts.assign(1, 0);
    while (FChunkStarts.back() < Count) {
        const std::size_t First = FChunkStarts.back();
        FChunkStarts.push_back(std::min(
            Count, First + parallel_detail::ChunkLength(Count - First, Workers, FChunkSize)));
    }
    const std::size_t Chunks = FChunkStarts.size() - 1;

    // Everything is encoded before the first send, so a codec failure leaves no worker
    // holding a task.
    if (FTasks.size() < Chunks) FTasks.resize(Chunks);
    for (std::size_t C = 0; C < Chunks; ++C) {
        std::vector<std::byte>& Task = FTasks[C];
        Task.clear();
        TAxGenomeWriter Writer(Task);
        const std::size_t First = FChunkStarts[C], Last = FChunkStarts[C + 1];
        Writer.WriteUInt32(static_cast<std::uint32_t>(C));
        Writer.WriteUInt32(static_cast<std::uint32_t>(Last - First));
        for (std::size_t I = First; I < Last; ++I) {
            Writer.WriteInt32(Batch.Indexes[I]);
            const std::size_t Length = Writer.ReserveUInt32();
            const std::size_t Start = Writer.Size();
            FCodec->Encode(*Batch.Items[I], Writer);
            Writer.PatchUInt32(Length, static_cast<std::uint32_t>(Writer.Size() - Start));
        }
    }

    FRequests.assign(Chunks, MPI_REQUEST_NULL);
    std::size_t Sent = 0, Outstanding = 0;
    bool Failed = false;
    std::string ErrorMessage;
    int ErrorRank = -1, ErrorIndex = -1;
    for (int Round = 0; Round < InFlight; ++Round)
        for (int Worker = 1; Worker < FSize && Sent < Chunks; ++Worker)
            Dispatch(Worker, Sent, Outstanding);

    // A reply the master cannot read ends the batch early. The chunks still out are then
    // let finish before the exception leaves: their replies must not reach the next batch,
    // and their sends read the task buffers the next batch writes.
    try {
        Collect(Batch, Outstanding, Sent, Failed, ErrorMessage, ErrorRank, ErrorIndex);
    } catch (...) {
        while (Outstanding > 0) {
            const MPI_Status Status = WaitForMessage(MPI_ANY_SOURCE);
            Receive(Status, FMessage);
            if (Status.MPI_TAG == TagResult || Status.MPI_TAG == TagError) --Outstanding;
        }
        MPI_Waitall(ToInt(Sent), FRequests.data(), MPI_STATUSES_IGNORE);
        throw;
    }
    MPI_Waitall(ToInt(Sent), FRequests.data(), MPI_STATUSES_IGNORE);
    if (Failed) throw EAxWorkerError(ErrorMessage, ErrorRank, ErrorIndex);
}

void TAxMPIEvaluator::Collect(const TAxFitnessBatch& Batch, std::size_t& Outstanding,
                              std::size_t& Sent, bool& Failed, std::string& ErrorMessage,
                              int& ErrorRank, int& ErrorIndex) {
    const std::size_t Chunks = FChunkStarts.size() - 1;
    while (Outstanding > 0) {
        const MPI_Status Status = WaitForMessage(MPI_ANY_SOURCE);
        Receive(Status, FMessage);
        if (Status.MPI_TAG != TagResult && Status.MPI_TAG != TagError) continue;
        --Outstanding;
        TAxGenomeReader Reader(FMessage);
        const std::size_t Chunk = Reader.ReadUInt32();
        if (Chunk >= Chunks) throw EGAException(std::string(SMalformedGenome));
        const std::size_t First = FChunkStarts[Chunk], Last = FChunkStarts[Chunk + 1];
        if (Status.MPI_TAG == TagResult) {
            if (Reader.ReadUInt32() != Last - First)
                throw EGAException(std::string(SMalformedGenome));
            for (std::size_t I = First; I < Last; ++I)
                Batch.Fitness[I] = Reader.ReadDouble();
        } else {
            const std::int32_t Index = Reader.ReadInt32();
            std::string Message = Reader.ReadString();
            // The first failure is reported; chunks already out are let finish, so no
            // worker is left with a reply nobody reads.
            if (!Failed) {
                Failed = true;
                ErrorMessage = std::move(Message);
                ErrorRank = Status.MPI_SOURCE;
                ErrorIndex = Index;
            }
        }
        if (!Failed && Sent < Chunks) Dispatch(Status.MPI_SOURCE, Sent, Outstanding);
    }
}

void TAxMPIEvaluator::Dispatch(int Worker, std::size_t& Sent, std::size_t& Outstanding) {
    MPI_Isend(FTasks[Sent].data(), ToInt(FTasks[Sent].size()), MPI_BYTE, Worker, TagTask, FComm,
              &FRequests[Sent]);
    ++Sent;
    ++Outstanding;
}

} // namespace ax
