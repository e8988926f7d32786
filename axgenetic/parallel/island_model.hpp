// The island model: several populations ("islands") evolving apart, each a component of its
// own, that send copies of good individuals to one another every so many generations.
//
// TAxIslandModel holds the islands, the migration policy, the per-island generators and the
// archipelago checkpoints; a backend decides where the islands run: TAxThreadIslands on
// threads of this process, TAxMPIIslands (mpi_island_model.hpp) on the ranks of an MPI job.
//
// Randomness: every island has a generator state of its own, seeded from the run's seed and
// its number. Whatever an island draws (breeding, emigrant tournaments, immigrant places)
// it draws from the one global generator with its own state swapped in, and only one island
// at a time holds the global generator; fitness handlers, which must not draw, run while the
// generator is free, so islands on several threads evaluate concurrently. The host's own
// generator state is put back when the run returns.
//
// Migration, after every Interval-th generation (counted from Initialize): each island picks
// Count emigrants (its best, or tournament winners), encodes them with the genome codec and
// sends a copy to each island the topology names; each island then ranks its population
// once and puts the immigrants in, in the order of their source islands, over its worst
// individuals (or individuals drawn at random), with the fitness they travelled with. In the
// synchronous mode (the default) every island waits for the immigrants of that generation,
// so a seed gives the same run with any backend, any number of threads or ranks. In the
// asynchronous mode an island takes whatever immigrants have arrived and never waits.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/genetic_component.hpp"
#include "axgenetic/parallel/genome_codec.hpp"
#include "axgenetic/platform/random.hpp"

namespace ax {

// Raised for a migration policy out of range (%s: what is wrong).
inline constexpr std::string_view SInvalidMigration = "Invalid migration policy: %s";
// Raised on the ranks whose own islands were made when the factory failed on another rank
// (that rank raises the factory's own exception).
inline constexpr std::string_view SIslandFactoryFailedElsewhere =
    "The island factory failed on another rank";
// Raised when the islands are used before Initialize or LoadCheckpoint.
inline constexpr std::string_view SIslandsNotInitialized = "The islands are not initialized";

// A fitness handler (or anything else in a generation) failed on an island. what() is the
// original message; Island() the island, Rank() the MPI rank it ran on (0 on threads).
class AXGENETIC_API EAxIslandError : public EGAException {
public:
    EAxIslandError(const std::string& Message, int Island, int Rank)
        : EGAException(Message), FIsland(Island), FRank(Rank) {}
    int Island() const { return FIsland; }
    int Rank() const { return FRank; }

private:
    int FIsland;
    int FRank;
};

enum class TAxIslandTopology {
    itRing,           // island i sends to island i + 1 (the last to island 0)
    itFullyConnected, // every island sends to every other island
    itRandom          // every island sends to one other island, drawn anew at every migration
};

enum class TAxEmigrantSelection {
    esBest,      // the Count fittest, fittest first
    esTournament // Count tournaments of TournamentSize individuals drawn with replacement
};

enum class TAxImmigrantPlacement {
    ipWorst, // over the least fit individuals, the least fit first
    ipRandom // over individuals drawn at random (an earlier immigrant may be overwritten)
};

struct AXGENETIC_API TAxMigrationPolicy {
    int Interval = 10; // generations between migrations; 0: the islands never exchange
    int Count = 2;     // emigrants an island sends to each destination
    TAxIslandTopology Topology = TAxIslandTopology::itRing;
    TAxEmigrantSelection Selection = TAxEmigrantSelection::esBest;
    int TournamentSize = 3;
    TAxImmigrantPlacement Placement = TAxImmigrantPlacement::ipWorst;
};

// Makes and configures island Island (genes or instructions, settings, fitness handler).
// Every island must encode and decode genomes alike: the same genes, or the same
// instruction set in the same order.
using TAxIslandFactory = std::function<std::unique_ptr<TAxCustomGeneticComponent>(int Island)>;

// The state of one island after Initialize, Evolve or LoadCheckpoint, known on every rank.
struct AXGENETIC_API TAxIslandResult {
    int Generation = 0;
    TGAFitness BestFitness = 0;        // the raw fitness of its fittest individual
    std::vector<std::byte> BestGenome; // that individual, in the codec's form
    bool operator==(const TAxIslandResult&) const = default;
};

class AXGENETIC_API TAxIslandModel {
public:
    TAxIslandModel(int Islands, TAxIslandFactory Factory, std::unique_ptr<IAxGenomeCodec> Codec);
    virtual ~TAxIslandModel();
    TAxIslandModel(const TAxIslandModel&) = delete;
    TAxIslandModel& operator=(const TAxIslandModel&) = delete;

    int Islands() const { return FCount; }
    const TAxMigrationPolicy& Migration() const { return FMigration; }
    // EGAException (SInvalidMigration) for a negative interval or count, a tournament of
    // fewer than one, or an enumeration value out of range.
    void SetMigration(const TAxMigrationPolicy& Value);
    bool Synchronous() const { return FSynchronous; }
    void SetSynchronous(bool Value) { FSynchronous = Value; }
    const IAxGenomeCodec& Codec() const { return *FCodec; }

    // Makes the islands this process runs (with the factory) and initializes each from its
    // own seed, derived from Seed and the island's number.
    void Initialize(std::uint64_t Seed);
    // Runs every island Generations generations further, migrating as the policy says. A
    // failure on any island stops the run everywhere and raises EAxIslandError (on every
    // rank); the islands are then left wherever they stopped, and Evolve and SaveCheckpoint
    // raise SIslandsNotInitialized until Initialize or LoadCheckpoint.
    void Evolve(int Generations);
    // Generations since Initialize.
    int Generation() const { return FGeneration; }
    std::uint64_t Seed() const { return FSeed; }

    // The island's component when this process runs it, else nullptr.
    TAxCustomGeneticComponent* Island(int Index) const;
    // Every island's state; BestIsland is the island with the fittest individual (the
    // lowest number among equals).
    const std::vector<TAxIslandResult>& Results() const { return FResults; }
    int BestIsland() const;

    // The islands Island sends to at the migration after generation Generation.
    std::vector<int> Destinations(int Island, int Generation) const;

    // The whole archipelago: every island's checkpoint (its generator state included), the
    // seed and the generation; the host sets the same policy again. Written by rank 0 only; atomic as a
    // component's checkpoint. A loaded archipelago continues exactly as the saved one would
    // have in the synchronous mode. LoadCheckpoint makes new islands with the factory and
    // replaces the current ones only when the whole file has loaded: EReadError
    // (SInvalidCheckpoint) for a damaged file, which changes nothing.
    void SaveCheckpoint(const std::string& FileName);
    void LoadCheckpoint(const std::string& FileName);

protected:
    struct TMigrants {
        int Source = 0;
        int Target = 0;
        int Generation = 0;
        std::vector<std::byte> Data; // per migrant: its raw fitness, then its genome
    };

    // Where island Index runs: a backend's rank, or 0.
    virtual int RankOf(int Index) const = 0;
    virtual int Rank() const { return 0; }
    // Runs the islands from FGeneration to Target; raises EAxIslandError on failure.
    virtual void Run(int Target) = 0;
    // Delivers migrants to their target's inbox.
    virtual void Post(TMigrants&& Message) = 0;
    // Appends to Out the migrants for Island: in the synchronous mode exactly Expected
    // messages of Generation, waiting for them; else whatever has arrived. False when the
    // run is stopping.
    virtual bool Collect(int Island, int Generation, int Expected, std::vector<TMigrants>& Out) = 0;
    // Tells the other workers that Island failed; they stop at their next check.
    virtual void Fail(int Island, const std::string& Message) = 0;
    virtual bool Stopping() = 0;
    // Makes every island's result known to this process (MPI: to every rank).
    virtual void ShareResults() {}
    // MPI: the checkpoint records of all islands on rank 0; whether any rank failed.
    virtual std::vector<std::string> GatherRecords(std::vector<std::string> Local) { return Local; }
    virtual bool AnyFailed(bool Failed) { return Failed; }

    // Migrants of Generation in Inbox.
    static int Count(const std::vector<TMigrants>& Inbox, int Generation);
    // Moves the migrants to collect from Inbox to Out: in the synchronous mode those of
    // Generation (a faster island's later ones stay), else all.
    void Take(std::vector<TMigrants>& Inbox, int Generation, std::vector<TMigrants>& Out) const;
    // One worker's share of a run: steps Own from FGeneration to Target, generation by
    // generation, migrating on the way. Failures are reported through Fail.
    void RunWorker(std::span<const int> Own, int Target);
    // When several threads run islands: only one of them draws or breeds at a time.
    void ShareGenerator(bool Value) { FShared = Value; }
    void ComputeResult(int Index);
    static std::string FailureText(std::exception_ptr Error);

    std::vector<TAxIslandResult> FResults;

private:
    struct TIsland;
    class TGeneratorLease;
    class TEvaluator;

    void AcquireGenerator(TIsland& Island);
    void ReleaseGenerator(TIsland& Island);
    void MakeIslands(std::vector<std::unique_ptr<TIsland>>& Into);
    void Step(TIsland& Island);
    void Emigrate(int Index, int Generation);
    void Immigrate(int Index, std::vector<TMigrants>& Messages);
    int Expected(int Index, int Generation) const;
    void RequireIslands() const;

    int FCount;
    TAxIslandFactory FFactory;
    std::unique_ptr<IAxGenomeCodec> FCodec;
    TAxMigrationPolicy FMigration;
    bool FSynchronous = true;
    bool FShared = false;
    bool FInitialized = false;
    std::uint64_t FSeed = 0;
    int FGeneration = 0;
    std::vector<std::unique_ptr<TIsland>> FIslands;
    mutable std::mutex FGenerator; // held by the island that has its state in the global generator
};

// Islands on threads of this process: Threads workers (the calling thread one of them), the
// islands dealt out in turn (island i on worker i % Threads). Threads above the island count
// are not started.
class AXGENETIC_API TAxThreadIslands : public TAxIslandModel {
public:
    TAxThreadIslands(int Islands, TAxIslandFactory Factory, int Threads = 1,
                     std::unique_ptr<IAxGenomeCodec> Codec = std::make_unique<TAxGAGenomeCodec>());
    int Threads() const { return FThreads; }

protected:
    int RankOf(int) const override { return 0; }
    void Run(int Target) override;
    void Post(TMigrants&& Message) override;
    bool Collect(int Island, int Generation, int Expected, std::vector<TMigrants>& Out) override;
    void Fail(int Island, const std::string& Message) override;
    bool Stopping() override;

private:
    int FThreads;
    std::mutex FLock; // guards what follows
    std::condition_variable FArrived;
    std::vector<std::vector<TMigrants>> FInboxes;
    bool FStopping = false;
    int FFailedIsland = -1;
    std::string FFailure;
};

} // namespace ax
