#include "axgenetic/parallel/island_model.hpp"

#include <algorithm>
#include <charconv>
#include <exception>
#include <fstream>
#include <iterator>
#include <limits>
#include <numeric>
#include <sstream>
#include <thread>

#include "axgenetic/core/checkpoint.hpp"
#include "axgenetic/core/individual.hpp"
#include "axgenetic/platform/files.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/platform/streaming.hpp"

namespace ax {

namespace {

constexpr std::string_view Magic = "axgenetic-islands 1";
// Salts that keep the islands' seeds and the random topology's apart.
constexpr std::uint64_t IslandSalt = 0x6a09e667f3bcc909ull;
constexpr std::uint64_t TopologySalt = 0xbb67ae8584caa73bull;

// A seed of its own for stream Stream of the run seeded with Seed (splitmix64's finalizer).
std::uint64_t DeriveSeed(std::uint64_t Seed, std::uint64_t Salt, std::uint64_t Stream) {
    std::uint64_t Z = Seed ^ Salt;
    Z += 0x9e3779b97f4a7c15ull * (Stream + 1);
    Z = (Z ^ (Z >> 30)) * 0xbf58476d1ce4e5b9ull;
    Z = (Z ^ (Z >> 27)) * 0x94d049bb133111ebull;
    return Z ^ (Z >> 31);
}

[[noreturn]] void Invalid(const std::string& Reason) {
    throw EReadError(Format(SInvalidCheckpoint, {Reason}));
}

// Puts the generator state of whoever held it (the host, or an island) back however the
// scope ends.
class THostGenerator {
public:
    THostGenerator() : FState(GetRandomState()) {}
    ~THostGenerator() { SetRandomState(FState); }
    THostGenerator(const THostGenerator&) = delete;
    THostGenerator& operator=(const THostGenerator&) = delete;

private:
    TRandomGeneratorState FState;
};

// The next line of Data from Position, without its line break; false at the end.
bool NextLine(std::string_view Data, std::size_t& Position, std::string_view& Line) {
    if (Position >= Data.size()) return false;
    const std::size_t End = Data.find('\n', Position);
    if (End == std::string_view::npos) return false;
    Line = Data.substr(Position, End - Position);
    Position = End + 1;
    return true;
}

// "<Key> <number>" with the number in Base; anything else is a damaged file.
template <class T>
T ReadField(std::string_view Data, std::size_t& Position, std::string_view Key, int Base = 10) {
    std::string_view Line;
    if (!NextLine(Data, Position, Line) || !Line.starts_with(Key) ||
        Line.size() <= Key.size() + 1 || Line[Key.size()] != ' ')
        Invalid("expected \"" + std::string(Key) + "\"");
    const std::string_view Text = Line.substr(Key.size() + 1);
    T Value{};
    const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value, Base);
    if (Error != std::errc() || End != Text.data() + Text.size())
        Invalid("bad number in \"" + std::string(Line.substr(0, 64)) + "\"");
    return Value;
}

} // namespace

// --- the islands and their generators --------------------------------------------------

struct TAxIslandModel::TIsland {
    int Index = 0;
    std::unique_ptr<TAxCustomGeneticComponent> Component;
    TRandomGeneratorState State;
    std::unique_ptr<TEvaluator> Evaluator;
    ~TIsland();
};

void TAxIslandModel::AcquireGenerator(TIsland& Island) {
    if (FShared) FGenerator.lock();
    SetRandomState(Island.State);
}

void TAxIslandModel::ReleaseGenerator(TIsland& Island) {
    Island.State = GetRandomState();
    if (FShared) FGenerator.unlock();
}

// Holds the global generator for one island: its state swapped in, and, when several
// threads run islands, the lock that keeps the others out.
class TAxIslandModel::TGeneratorLease {
public:
    TGeneratorLease(TAxIslandModel& Model, TIsland& Island) : FModel(Model), FIsland(Island) {
        FModel.AcquireGenerator(FIsland);
    }
    ~TGeneratorLease() { FModel.ReleaseGenerator(FIsland); }
    TGeneratorLease(const TGeneratorLease&) = delete;
    TGeneratorLease& operator=(const TGeneratorLease&) = delete;

private:
    TAxIslandModel& FModel;
    TIsland& FIsland;
};

// Installed on every island: gives the generator up while the handlers run, so the other
// islands breed meanwhile, and hands the batch to the evaluator the factory installed, if any.
class TAxIslandModel::TEvaluator : public IAxFitnessEvaluator {
public:
    TEvaluator(TAxIslandModel& Model, TIsland& Island, IAxFitnessEvaluator* Inner)
        : FModel(Model), FIsland(Island), FInner(Inner) {}

    void EvaluateFitnessBatch(TAxCustomGeneticComponent& Component,
                              const TAxFitnessBatch& Batch) override {
        // The island's step holds the generator: give it up for the batch and take it
        // back afterwards, exceptions included.
        FModel.ReleaseGenerator(FIsland);
        struct TTakeBack {
            TEvaluator& Self;
            ~TTakeBack() { Self.FModel.AcquireGenerator(Self.FIsland); }
        } TakeBack{*this};
        if (FInner) {
            FInner->EvaluateFitnessBatch(Component, Batch);
            return;
        }
        for (std::size_t I = 0; I < Batch.Items.size(); ++I)
            Batch.Fitness[I] = Component.RunFitnessHandler(Batch.Items[I]);
    }

private:
    TAxIslandModel& FModel;
    TIsland& FIsland;
    IAxFitnessEvaluator* FInner;
};

TAxIslandModel::TIsland::~TIsland() = default;

TAxIslandModel::TAxIslandModel(int Islands, TAxIslandFactory Factory,
                               std::unique_ptr<IAxGenomeCodec> Codec)
    : FCount(Islands), FFactory(std::move(Factory)), FCodec(std::move(Codec)) {
    if (Islands < 1) throw EGAException("An island model needs at least one island");
    if (!FFactory || !FCodec) throw EGAException("An island model needs a factory and a codec");
    FIslands.resize(static_cast<std::size_t>(Islands));
    FResults.resize(static_cast<std::size_t>(Islands));
}

TAxIslandModel::~TAxIslandModel() = default;

void TAxIslandModel::SetMigration(const TAxMigrationPolicy& Value) {
    const char* Problem = nullptr;
    if (Value.Interval < 0)
        Problem = "negative interval";
    else if (Value.Count < 0)
        Problem = "negative count";
    else if (Value.TournamentSize < 1)
        Problem = "tournament of fewer than one";
    else if (Value.Topology < TAxIslandTopology::itRing ||
             Value.Topology > TAxIslandTopology::itRandom)
        Problem = "unknown topology";
    else if (Value.Selection < TAxEmigrantSelection::esBest ||
             Value.Selection > TAxEmigrantSelection::esTournament)
        Problem = "unknown emigrant selection";
    else if (Value.Placement < TAxImmigrantPlacement::ipWorst ||
             Value.Placement > TAxImmigrantPlacement::ipRandom)
        Problem = "unknown immigrant placement";
    if (Problem) throw EGAException(Format(SInvalidMigration, {Problem}));
    FMigration = Value;
}

void TAxIslandModel::MakeIslands(std::vector<std::unique_ptr<TIsland>>& Into) {
    Into.clear();
    Into.resize(static_cast<std::size_t>(FCount));
    for (int I = 0; I < Islands(); ++I) {
        if (RankOf(I) != Rank()) continue;
        auto Island = std::make_unique<TIsland>();
        Island->Index = I;
        Island->Component = FFactory(I);
        if (!Island->Component) throw EGAException("The island factory made no component");
        Island->Evaluator =
            std::make_unique<TEvaluator>(*this, *Island, Island->Component->FitnessEvaluator());
        Island->Component->SetFitnessEvaluator(Island->Evaluator.get());
        RandSeed(DeriveSeed(FSeed, IslandSalt, static_cast<std::uint64_t>(I)));
        Island->State = GetRandomState();
        Into[static_cast<std::size_t>(I)] = std::move(Island);
    }
}

void TAxIslandModel::RequireIslands() const {
    if (!FInitialized) throw EGAException(std::string(SIslandsNotInitialized));
}

TAxCustomGeneticComponent* TAxIslandModel::Island(int Index) const {
    if (Index < 0 || Index >= Islands() || !FIslands[static_cast<std::size_t>(Index)])
        return nullptr;
    return FIslands[static_cast<std::size_t>(Index)]->Component.get();
}

void TAxIslandModel::Initialize(std::uint64_t Seed) {
    THostGenerator Host;
    FSeed = Seed;
    FInitialized = false;
    // Every rank learns whether a factory failed anywhere before any island starts, so a
    // factory that throws on one rank cannot leave the others waiting for its islands.
    std::exception_ptr FactoryError;
    try {
        MakeIslands(FIslands);
    } catch (...) {
        FactoryError = std::current_exception();
    }
    if (AnyFailed(FactoryError != nullptr)) {
        for (auto& Island : FIslands)
            Island.reset();
        if (FactoryError) std::rethrow_exception(FactoryError);
        throw EGAException(std::string(SIslandFactoryFailedElsewhere));
    }
    for (auto& Island : FIslands) {
        if (!Island) continue;
        try {
            TGeneratorLease Lease(*this, *Island);
            Island->Component->Initialize();
        } catch (...) {
            Fail(Island->Index, FailureText(std::current_exception()));
            break;
        }
    }
    FGeneration = 0;
    // Every rank takes part in the run, even one whose island failed: the others stop.
    Run(0);
    for (int I = 0; I < Islands(); ++I)
        if (FIslands[static_cast<std::size_t>(I)]) ComputeResult(I);
    ShareResults();
    FInitialized = true;
}

void TAxIslandModel::Evolve(int Generations) {
    RequireIslands();
    if (Generations <= 0) return;
    THostGenerator Host;
    try {
        Run(FGeneration + Generations);
    } catch (...) {
        // The islands stopped wherever they were: only a new start or a checkpoint
        // makes them one run again.
        FInitialized = false;
        throw;
    }
    FGeneration += Generations;
    for (int I = 0; I < Islands(); ++I)
        if (FIslands[static_cast<std::size_t>(I)]) ComputeResult(I);
    ShareResults();
}

std::string TAxIslandModel::FailureText(std::exception_ptr Error) {
    try {
        std::rethrow_exception(Error);
    } catch (const std::exception& E) {
        return E.what();
    } catch (...) {
        return "Unknown exception on an island";
    }
}

// --- the generation loop ---------------------------------------------------------------

void TAxIslandModel::Step(TIsland& Island) {
    TGeneratorLease Lease(*this, Island);
    Island.Component->Evolve();
}

void TAxIslandModel::RunWorker(std::span<const int> Own, int Target) {
    const int Interval = FMigration.Interval;
    for (int Generation = FGeneration; Generation < Target;) {
        for (const int I : Own) {
            if (Stopping()) return;
            try {
                Step(*FIslands[static_cast<std::size_t>(I)]);
            } catch (...) {
                Fail(I, FailureText(std::current_exception()));
                return;
            }
        }
        ++Generation;
        if (Interval == 0 || Generation % Interval != 0 || Islands() == 1) continue;
        for (const int I : Own) {
            try {
                Emigrate(I, Generation);
            } catch (...) {
                Fail(I, FailureText(std::current_exception()));
                return;
            }
        }
        for (const int I : Own) {
            std::vector<TMigrants> Messages;
            if (!Collect(I, Generation, Expected(I, Generation), Messages)) return;
            try {
                Immigrate(I, Messages);
            } catch (...) {
                Fail(I, FailureText(std::current_exception()));
                return;
            }
        }
    }
}

std::vector<int> TAxIslandModel::Destinations(int Island, int Generation) const {
    const int N = Islands();
    std::vector<int> Result;
    if (N < 2 || Island < 0 || Island >= N) return Result;
    switch (FMigration.Topology) {
    case TAxIslandTopology::itRing:
        Result.push_back((Island + 1) % N);
        break;
    case TAxIslandTopology::itFullyConnected:
        for (int J = 0; J < N; ++J)
            if (J != Island) Result.push_back(J);
        break;
    case TAxIslandTopology::itRandom: {
        // A stream of its own for every migration, so that any process draws the same
        // table in any order. The draws borrow the global generator; whoever holds it gets
        // its state back.
        std::unique_lock<std::mutex> Lock(FGenerator, std::defer_lock);
        if (FShared) Lock.lock();
        int Target = 0;
        {
            THostGenerator Holder;
            RandSeed(DeriveSeed(FSeed, TopologySalt, static_cast<std::uint64_t>(Generation)));
            for (int Source = 0; Source <= Island; ++Source) {
                Target = Random(N - 1);
                if (Target >= Source) ++Target;
            }
        }
        Result.push_back(Target);
        break;
    }
    }
    return Result;
}

int TAxIslandModel::Expected(int Index, int Generation) const {
    int Count = 0;
    for (int Source = 0; Source < Islands(); ++Source) {
        const std::vector<int> Targets = Destinations(Source, Generation);
        Count += static_cast<int>(std::count(Targets.begin(), Targets.end(), Index));
    }
    return Count;
}

namespace {

// Population indexes, the fittest first; equals keep population order.
std::vector<int> Ranking(TAxCustomGeneticComponent& Component) {
    TAxPopulation& Population = *Component.Population();
    std::vector<int> Order(static_cast<std::size_t>(Population.Count()));
    std::iota(Order.begin(), Order.end(), 0);
    std::stable_sort(Order.begin(), Order.end(), [&](int A, int B) {
        return Component.CompareFitness(Population.Items(A), Population.Items(B), true) < 0;
    });
    return Order;
}

} // namespace

void TAxIslandModel::Emigrate(int Index, int Generation) {
    const std::vector<int> Targets = Destinations(Index, Generation);
    if (Targets.empty()) return;
    TIsland& Island = *FIslands[static_cast<std::size_t>(Index)];
    TAxCustomGeneticComponent& Component = *Island.Component;
    TAxPopulation& Population = *Component.Population();
    const int Size = Population.Count();
    std::vector<int> Chosen;
    {
        TGeneratorLease Lease(*this, Island);
        if (Size > 0 && FMigration.Selection == TAxEmigrantSelection::esBest) {
            Chosen = Ranking(Component);
            Chosen.resize(
                std::min<std::size_t>(Chosen.size(), static_cast<std::size_t>(FMigration.Count)));
        } else if (Size > 0) {
            for (int K = 0; K < FMigration.Count; ++K) {
                int Winner = Random(Size);
                for (int T = 1; T < FMigration.TournamentSize; ++T) {
                    const int Rival = Random(Size);
                    if (Component.CompareFitness(Population.Items(Rival), Population.Items(Winner),
                                                 true) < 0)
                        Winner = Rival;
                }
                Chosen.push_back(Winner);
            }
        }
    }
    std::vector<std::byte> Data;
    TAxGenomeWriter Writer(Data);
    Writer.WriteUInt32(static_cast<std::uint32_t>(Chosen.size()));
    for (const int I : Chosen) {
        TAxIndividual& Item = *Population.Items(I);
        Writer.WriteDouble(Item.Fitness());
        FCodec->Encode(Item, Writer);
    }
    for (const int Target : Targets)
        Post(TMigrants{Index, Target, Generation, Data});
}

void TAxIslandModel::Immigrate(int Index, std::vector<TMigrants>& Messages) {
    if (Messages.empty()) return;
    std::stable_sort(Messages.begin(), Messages.end(), [](const TMigrants& A, const TMigrants& B) {
        return A.Generation != B.Generation ? A.Generation < B.Generation : A.Source < B.Source;
    });
    TIsland& Island = *FIslands[static_cast<std::size_t>(Index)];
    TAxCustomGeneticComponent& Component = *Island.Component;
    TAxPopulation& Population = *Component.Population();
    const int Size = Population.Count();
    if (Size == 0) return;
    TGeneratorLease Lease(*this, Island);
    std::vector<int> Places;
    if (FMigration.Placement == TAxImmigrantPlacement::ipWorst) {
        Places = Ranking(Component);
        std::reverse(Places.begin(), Places.end());
    }
    // More immigrants than individuals (worst placement): the surplus finds no place.
    const std::size_t Capacity = FMigration.Placement == TAxImmigrantPlacement::ipWorst
                                     ? Places.size()
                                     : std::numeric_limits<std::size_t>::max();
    std::size_t Placed = 0;
    for (const TMigrants& Message : Messages) {
        TAxGenomeReader Reader(Message.Data);
        const std::uint32_t Count = Reader.ReadUInt32();
        // Each migrant takes at least its fitness' 8 bytes: a count beyond that is damage.
        if (Count > Reader.Remaining() / 8) throw EGAException(std::string(SMalformedGenome));
        for (std::uint32_t K = 0; K < Count && Placed < Capacity; ++K, ++Placed) {
            const double Fitness = Reader.ReadDouble();
            const int Place = FMigration.Placement == TAxImmigrantPlacement::ipRandom
                                  ? Random(Size)
                                  : Places[Placed];
            TAxIndividual& Item = *Population.Items(Place);
            FCodec->Decode(Reader, Item);
            Component.RestoreFitness(Item, Fitness);
        }
    }
    // The statistics and selection tables now include the immigrants.
    Component.EvaluateFitness();
}

int TAxIslandModel::Count(const std::vector<TMigrants>& Inbox, int Generation) {
    return static_cast<int>(std::count_if(Inbox.begin(), Inbox.end(), [=](const TMigrants& M) {
        return M.Generation == Generation;
    }));
}

void TAxIslandModel::Take(std::vector<TMigrants>& Inbox, int Generation,
                          std::vector<TMigrants>& Out) const {
    const auto Split =
        FSynchronous
            ? std::stable_partition(Inbox.begin(), Inbox.end(),
                                    [=](const TMigrants& M) { return M.Generation != Generation; })
            : Inbox.begin();
    std::move(Split, Inbox.end(), std::back_inserter(Out));
    Inbox.erase(Split, Inbox.end());
}

// --- results ---------------------------------------------------------------------------

void TAxIslandModel::ComputeResult(int Index) {
    TAxCustomGeneticComponent& Component = *FIslands[static_cast<std::size_t>(Index)]->Component;
    TAxIslandResult& Result = FResults[static_cast<std::size_t>(Index)];
    Result.Generation = Component.Generation();
    Result.BestGenome.clear();
    Result.BestFitness = 0;
    if (Component.Population()->Count() == 0) return;
    TAxIndividual& Best = *Component.Population()->Items(Ranking(Component).front());
    Result.BestFitness = Best.Fitness();
    TAxGenomeWriter Writer(Result.BestGenome);
    FCodec->Encode(Best, Writer);
}

int TAxIslandModel::BestIsland() const {
    const TAxCustomGeneticComponent* Local = nullptr;
    for (const auto& Island : FIslands)
        if (Island && !Local) Local = Island->Component.get();
    const bool Maximizing = Local && IsMaximizing(Local->FitnessMethod());
    int Best = 0;
    for (int I = 1; I < Islands(); ++I) {
        const TGAFitness A = FResults[static_cast<std::size_t>(I)].BestFitness;
        const TGAFitness B = FResults[static_cast<std::size_t>(Best)].BestFitness;
        if (Maximizing ? A > B : A < B) Best = I;
    }
    return Best;
}

// --- checkpoints -----------------------------------------------------------------------

void TAxIslandModel::SaveCheckpoint(const std::string& FileName) {
    RequireIslands();
    THostGenerator Host;
    std::vector<std::string> Records(FIslands.size());
    for (auto& Island : FIslands) {
        if (!Island) continue;
        std::ostringstream Stream;
        {
            TGeneratorLease Lease(*this, *Island);
            ax::SaveCheckpoint(*Island->Component, Stream);
        }
        Records[static_cast<std::size_t>(Island->Index)] = std::move(Stream).str();
    }
    Records = GatherRecords(std::move(Records));
    if (Rank() != 0) return;
    std::string Text(Magic);
    Text += "\nislands " + std::to_string(Islands()) + "\nseed ";
    char Seed[17];
    const auto End = std::to_chars(Seed, Seed + 16, FSeed, 16).ptr;
    Text.append(Seed, End);
    Text += "\ngeneration " + std::to_string(FGeneration) + "\n";
    for (std::size_t I = 0; I < Records.size(); ++I) {
        Text += "island " + std::to_string(I) + " " + std::to_string(Records[I].size()) + "\n";
        Text += Records[I];
    }
    WriteFileAtomically(FileName, Text);
}

void TAxIslandModel::LoadCheckpoint(const std::string& FileName) {
    THostGenerator Host;
    std::string Failure;
    std::vector<std::unique_ptr<TIsland>> Loaded;
    std::uint64_t Seed = 0;
    int Generation = 0;
    const std::uint64_t KeptSeed = FSeed;
    try {
        std::ifstream File = OpenFileStream(FileName);
        const std::string Data{std::istreambuf_iterator<char>(File),
                               std::istreambuf_iterator<char>()};
        std::size_t Position = 0;
        std::string_view Line;
        if (!NextLine(Data, Position, Line) || Line != Magic) Invalid("not an island checkpoint");
        if (ReadField<int>(Data, Position, "islands") != Islands())
            Invalid("the number of islands differs");
        Seed = ReadField<std::uint64_t>(Data, Position, "seed", 16);
        Generation = ReadField<int>(Data, Position, "generation");
        if (Generation < 0) Invalid("negative generation");
        std::vector<std::string_view> Records;
        for (int I = 0; I < Islands(); ++I) {
            const auto Size = ReadField<std::size_t>(Data, Position, "island " + std::to_string(I));
            if (Size > Data.size() - Position) Invalid("island record truncated");
            Records.push_back(std::string_view(Data).substr(Position, Size));
            Position += Size;
        }
        if (Position != Data.size()) Invalid("data after the last island");
        FSeed = Seed;
        MakeIslands(Loaded);
        for (auto& Island : Loaded) {
            if (!Island) continue;
            std::istringstream Stream{
                std::string(Records[static_cast<std::size_t>(Island->Index)])};
            TGeneratorLease Lease(*this, *Island);
            ax::LoadCheckpoint(*Island->Component, Stream);
        }
    } catch (const std::exception& E) {
        Failure = E.what();
    }
    FSeed = KeptSeed;
    if (AnyFailed(!Failure.empty())) {
        if (Failure.empty()) Failure = Format(SInvalidCheckpoint, {"an island of another rank"});
        throw EReadError(Failure);
    }
    FIslands = std::move(Loaded);
    FSeed = Seed;
    FGeneration = Generation;
    for (int I = 0; I < Islands(); ++I)
        if (FIslands[static_cast<std::size_t>(I)]) ComputeResult(I);
    ShareResults();
    FInitialized = true;
}

// --- threads ---------------------------------------------------------------------------

TAxThreadIslands::TAxThreadIslands(int Islands, TAxIslandFactory Factory, int Threads,
                                   std::unique_ptr<IAxGenomeCodec> Codec)
    : TAxIslandModel(Islands, std::move(Factory), std::move(Codec)),
      FThreads(std::clamp(Threads, 1, Islands)), FInboxes(static_cast<std::size_t>(Islands)) {}

void TAxThreadIslands::Run(int Target) {
    std::vector<std::vector<int>> Shares(static_cast<std::size_t>(FThreads));
    for (int I = 0; I < Islands(); ++I)
        Shares[static_cast<std::size_t>(I % FThreads)].push_back(I);
    ShareGenerator(FThreads > 1);
    {
        std::vector<std::jthread> Workers;
        for (int T = 1; T < FThreads; ++T)
            Workers.emplace_back([this, &Shares, T, Target] {
                RunWorker(Shares[static_cast<std::size_t>(T)], Target);
            });
        RunWorker(Shares[0], Target);
    }
    ShareGenerator(false);
    FStopping = false;
    if (FFailedIsland >= 0) {
        const int Island = FFailedIsland;
        FFailedIsland = -1;
        for (auto& Inbox : FInboxes)
            Inbox.clear();
        throw EAxIslandError(FFailure, Island, 0);
    }
}

void TAxThreadIslands::Post(TMigrants&& Message) {
    {
        std::lock_guard<std::mutex> Lock(FLock);
        FInboxes[static_cast<std::size_t>(Message.Target)].push_back(std::move(Message));
    }
    FArrived.notify_all();
}

bool TAxThreadIslands::Collect(int Island, int Generation, int Expected,
                               std::vector<TMigrants>& Out) {
    std::unique_lock<std::mutex> Lock(FLock);
    auto& Inbox = FInboxes[static_cast<std::size_t>(Island)];
    if (Synchronous())
        FArrived.wait(Lock, [&] { return FStopping || Count(Inbox, Generation) >= Expected; });
    if (FStopping) return false;
    Take(Inbox, Generation, Out);
    return true;
}

void TAxThreadIslands::Fail(int Island, const std::string& Message) {
    {
        std::lock_guard<std::mutex> Lock(FLock);
        if (FFailedIsland < 0) {
            FFailedIsland = Island;
            FFailure = Message;
        }
        FStopping = true;
    }
    FArrived.notify_all();
}

bool TAxThreadIslands::Stopping() {
    std::lock_guard<std::mutex> Lock(FLock);
    return FStopping;
}

} // namespace ax
