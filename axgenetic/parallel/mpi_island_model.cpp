#include "axgenetic/parallel/mpi_island_model.hpp"

#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>

namespace ax {

namespace {

// A migrants message: source, target and generation (int32 each), then the migrants. A
// failure: the failing island (int32); it only tells the other ranks to stop.
enum TTag : int { TagMigrants = 11, TagFailure = 12 };

// MPI calls return their error on the model's communicator instead of ending the job.
void Check(int Code, int Rank) {
    if (Code == MPI_SUCCESS) return;
    char Text[MPI_MAX_ERROR_STRING];
    int Length = 0;
    MPI_Error_string(Code, Text, &Length);
    throw EAxWorkerError("MPI error in the island model: " + std::string(Text, Length), Rank, -1);
}

// Sleeps a little longer each time, up to 0.2 ms, so that a waiting rank leaves its core.
class TBackoff {
public:
    void Wait() {
        using namespace std::chrono_literals;
        if (++FProbes < 64) return;
        std::this_thread::sleep_for(FPause);
        FPause = std::min<std::chrono::microseconds>(FPause * 2, 200us);
    }

private:
    int FProbes = 0;
    std::chrono::microseconds FPause{10};
};

// Completes a non-blocking operation without spinning: Open MPI's blocking collectives poll
// at full speed, and a rank that arrives early would take a core from one still computing.
void Complete(MPI_Request& Request, int Rank) {
    TBackoff Backoff;
    for (;;) {
        int Done = 0;
        Check(MPI_Test(&Request, &Done, MPI_STATUS_IGNORE), Rank);
        if (Done) return;
        Backoff.Wait();
    }
}

} // namespace

TAxMPIIslands::TAxMPIIslands(int Islands, TAxIslandFactory Factory,
                             std::unique_ptr<IAxGenomeCodec> Codec, MPI_Comm Comm)
    : TAxIslandModel(Islands, std::move(Factory), std::move(Codec)),
      FInboxes(static_cast<std::size_t>(Islands)) {
    MPI_Comm_dup(Comm, &FComm);
    MPI_Comm_set_errhandler(FComm, MPI_ERRORS_RETURN);
    MPI_Comm_rank(FComm, &FRank);
    MPI_Comm_size(FComm, &FSize);
    FSent.assign(static_cast<std::size_t>(FSize), 0);
    FReceived.assign(static_cast<std::size_t>(FSize), 0);
    if (Islands < FSize) {
        MPI_Comm_free(&FComm);
        throw EGAException("An MPI island model needs at least one island per rank");
    }
}

TAxMPIIslands::~TAxMPIIslands() {
    for (TSend& Pending : FSends)
        MPI_Wait(&Pending.Request, MPI_STATUS_IGNORE);
    MPI_Comm_free(&FComm);
}

void TAxMPIIslands::Send(int Rank, int Tag, std::vector<std::byte>&& Buffer) {
    // Completed sends give their buffers back first.
    for (auto It = FSends.begin(); It != FSends.end();) {
        int Done = 0;
        MPI_Test(&It->Request, &Done, MPI_STATUS_IGNORE);
        It = Done ? FSends.erase(It) : std::next(It);
    }
    TSend& Pending = FSends.emplace_back();
    Pending.Buffer = std::move(Buffer);
    Check(MPI_Isend(Pending.Buffer.data(), static_cast<int>(Pending.Buffer.size()), MPI_BYTE, Rank,
                    Tag, FComm, &Pending.Request),
          FRank);
    ++FSent[static_cast<std::size_t>(Rank)];
}

bool TAxMPIIslands::Pump() {
    bool Any = false;
    for (;;) {
        int Arrived = 0;
        MPI_Status Status;
        Check(MPI_Iprobe(MPI_ANY_SOURCE, MPI_ANY_TAG, FComm, &Arrived, &Status), FRank);
        if (!Arrived) return Any;
        Any = true;
        int Count = 0;
        MPI_Get_count(&Status, MPI_BYTE, &Count);
        FMessage.resize(static_cast<std::size_t>(Count));
        Check(MPI_Recv(FMessage.data(), Count, MPI_BYTE, Status.MPI_SOURCE, Status.MPI_TAG, FComm,
                       MPI_STATUS_IGNORE),
              FRank);
        ++FReceived[static_cast<std::size_t>(Status.MPI_SOURCE)];
        if (Status.MPI_TAG == TagFailure) {
            FStopping = true;
            continue;
        }
        TAxGenomeReader Reader(FMessage);
        TMigrants Message;
        Message.Source = Reader.ReadInt32();
        Message.Target = Reader.ReadInt32();
        Message.Generation = Reader.ReadInt32();
        if (Message.Target < 0 || Message.Target >= Islands() || RankOf(Message.Target) != FRank)
            throw EGAException(std::string(SMalformedGenome));
        const auto Data = Reader.ReadBytes(Reader.Remaining());
        Message.Data.assign(Data.begin(), Data.end());
        FInboxes[static_cast<std::size_t>(Message.Target)].push_back(std::move(Message));
    }
}

void TAxMPIIslands::Post(TMigrants&& Message) {
    const int Rank = RankOf(Message.Target);
    if (Rank == FRank) {
        FInboxes[static_cast<std::size_t>(Message.Target)].push_back(std::move(Message));
        return;
    }
    std::vector<std::byte> Buffer;
    TAxGenomeWriter Writer(Buffer);
    Writer.WriteInt32(Message.Source);
    Writer.WriteInt32(Message.Target);
    Writer.WriteInt32(Message.Generation);
    Writer.WriteBytes(Message.Data);
    Send(Rank, TagMigrants, std::move(Buffer));
}

bool TAxMPIIslands::Collect(int Island, int Generation, int Expected, std::vector<TMigrants>& Out) {
    auto& Inbox = FInboxes[static_cast<std::size_t>(Island)];
    Pump();
    if (Synchronous()) {
        TBackoff Backoff;
        while (!FStopping && Count(Inbox, Generation) < Expected)
            if (!Pump()) Backoff.Wait();
    }
    if (FStopping) return false;
    Take(Inbox, Generation, Out);
    return true;
}

void TAxMPIIslands::Fail(int Island, const std::string& Message) {
    if (FFailedIsland >= 0) return;
    FFailedIsland = Island;
    FFailure = Message;
    FStopping = true;
    for (int Rank = 0; Rank < FSize; ++Rank) {
        if (Rank == FRank) continue;
        std::vector<std::byte> Buffer;
        TAxGenomeWriter(Buffer).WriteInt32(Island);
        Send(Rank, TagFailure, std::move(Buffer));
    }
}

bool TAxMPIIslands::Stopping() {
    Pump();
    return FStopping;
}

void TAxMPIIslands::Run(int Target) {
    std::vector<int> Own;
    for (int I = FRank; I < Islands(); I += FSize)
        Own.push_back(I);
    try {
        RunWorker(Own, Target);
    } catch (...) {
        // A damaged message or an MPI error outside any island: this rank stops too.
        Fail(Own.front(), FailureText(std::current_exception()));
    }
    Finish();
}

void TAxMPIIslands::Finish() {
    // Every rank learns how many messages the others sent it, then receives them all: no
    // send is left waiting, no message reaches the next run.
    std::vector<int> Coming(static_cast<std::size_t>(FSize));
    MPI_Request Request;
    Check(MPI_Ialltoall(FSent.data(), 1, MPI_INT, Coming.data(), 1, MPI_INT, FComm, &Request),
          FRank);
    Complete(Request, FRank);
    TBackoff Backoff;
    while (Coming != FReceived)
        if (!Pump()) Backoff.Wait();
    for (TSend& Pending : FSends)
        Check(MPI_Wait(&Pending.Request, MPI_STATUS_IGNORE), FRank);
    FSends.clear();
    std::fill(FSent.begin(), FSent.end(), 0);
    std::fill(FReceived.begin(), FReceived.end(), 0);
    FStopping = false;
    if (Synchronous())
        for (auto& Inbox : FInboxes)
            Inbox.clear();

    // The failed island with the lowest number, and its message from its rank.
    int Failed = FFailedIsland < 0 ? INT_MAX : FFailedIsland;
    Check(MPI_Iallreduce(MPI_IN_PLACE, &Failed, 1, MPI_INT, MPI_MIN, FComm, &Request), FRank);
    Complete(Request, FRank);
    FFailedIsland = -1;
    if (Failed == INT_MAX) return;
    const int Owner = RankOf(Failed);
    int Length = static_cast<int>(FFailure.size());
    Check(MPI_Ibcast(&Length, 1, MPI_INT, Owner, FComm, &Request), FRank);
    Complete(Request, FRank);
    FFailure.resize(static_cast<std::size_t>(Length));
    Check(MPI_Ibcast(FFailure.data(), Length, MPI_CHAR, Owner, FComm, &Request), FRank);
    Complete(Request, FRank);
    for (auto& Inbox : FInboxes)
        Inbox.clear();
    throw EAxIslandError(FFailure, Failed, Owner);
}

void TAxMPIIslands::ShareResults() {
    std::vector<std::byte> Local;
    TAxGenomeWriter Writer(Local);
    for (int I = FRank; I < Islands(); I += FSize) {
        const TAxIslandResult& Result = FResults[static_cast<std::size_t>(I)];
        Writer.WriteInt32(I);
        Writer.WriteInt32(Result.Generation);
        Writer.WriteDouble(Result.BestFitness);
        Writer.WriteUInt32(static_cast<std::uint32_t>(Result.BestGenome.size()));
        Writer.WriteBytes(Result.BestGenome);
    }
    int Size = static_cast<int>(Local.size());
    std::vector<int> Sizes(static_cast<std::size_t>(FSize)), Offsets(Sizes.size());
    MPI_Request Request;
    Check(MPI_Iallgather(&Size, 1, MPI_INT, Sizes.data(), 1, MPI_INT, FComm, &Request), FRank);
    Complete(Request, FRank);
    int Total = 0;
    for (std::size_t R = 0; R < Sizes.size(); ++R) {
        Offsets[R] = Total;
        Total += Sizes[R];
    }
    std::vector<std::byte> All(static_cast<std::size_t>(Total));
    Check(MPI_Iallgatherv(Local.data(), Size, MPI_BYTE, All.data(), Sizes.data(), Offsets.data(),
                          MPI_BYTE, FComm, &Request),
          FRank);
    Complete(Request, FRank);
    TAxGenomeReader Reader(All);
    while (!Reader.AtEnd()) {
        const int I = Reader.ReadInt32();
        if (I < 0 || I >= Islands()) throw EGAException(std::string(SMalformedGenome));
        TAxIslandResult& Result = FResults[static_cast<std::size_t>(I)];
        Result.Generation = Reader.ReadInt32();
        Result.BestFitness = Reader.ReadDouble();
        const auto Genome = Reader.ReadBytes(Reader.ReadUInt32());
        Result.BestGenome.assign(Genome.begin(), Genome.end());
    }
}

std::vector<std::string> TAxMPIIslands::GatherRecords(std::vector<std::string> Local) {
    std::vector<std::byte> Mine;
    TAxGenomeWriter Writer(Mine);
    for (int I = FRank; I < Islands(); I += FSize) {
        Writer.WriteInt32(I);
        Writer.WriteString(Local[static_cast<std::size_t>(I)]);
    }
    int Size = static_cast<int>(Mine.size());
    std::vector<int> Sizes(static_cast<std::size_t>(FSize)), Offsets(Sizes.size());
    Check(MPI_Gather(&Size, 1, MPI_INT, Sizes.data(), 1, MPI_INT, 0, FComm), FRank);
    int Total = 0;
    for (std::size_t R = 0; R < Sizes.size(); ++R) {
        Offsets[R] = Total;
        Total += Sizes[R];
    }
    std::vector<std::byte> All(FRank == 0 ? static_cast<std::size_t>(Total) : 0);
    Check(MPI_Gatherv(Mine.data(), Size, MPI_BYTE, All.data(), Sizes.data(), Offsets.data(),
                      MPI_BYTE, 0, FComm),
          FRank);
    if (FRank != 0) return {};
    TAxGenomeReader Reader(All);
    while (!Reader.AtEnd()) {
        const int I = Reader.ReadInt32();
        if (I < 0 || I >= Islands()) throw EGAException(std::string(SMalformedGenome));
        Local[static_cast<std::size_t>(I)] = Reader.ReadString();
    }
    return Local;
}

bool TAxMPIIslands::AnyFailed(bool Failed) {
    int Any = Failed ? 1 : 0;
    MPI_Request Request;
    Check(MPI_Iallreduce(MPI_IN_PLACE, &Any, 1, MPI_INT, MPI_LOR, FComm, &Request), FRank);
    Complete(Request, FRank);
    return Any != 0;
}

} // namespace ax
