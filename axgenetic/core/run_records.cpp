#include "axgenetic/core/run_records.hpp"

#include <cmath>
#include <ostream>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/files.hpp"
#include "axgenetic/platform/streaming.hpp"

namespace ax {

namespace {

// Runs Record after whatever OnEvolve did before.
template <class THelper> void ChainOnEvolve(TAxCustomGeneticComponent& Component, THelper& Helper) {
    Component.SetOnEvolve([&Component, &Helper, Before = Component.OnEvolve()](TObject* Sender) {
        if (Before) Before(Sender);
        Helper.Record(Component);
    });
    if (Component.Initialized()) Helper.Record(Component);
}

} // namespace

// ---- run log ----------------------------------------------------------------------------

void TAxRunLog::Attach(TAxCustomGeneticComponent& Component) {
    ChainOnEvolve(Component, *this);
}

void TAxRunLog::Record(TAxCustomGeneticComponent& Component) {
    if (!FEntries.empty() && FEntries.back().Generation == Component.Generation()) return;
    TAxRunLogEntry Entry;
    Entry.Generation = Component.Generation();
    Entry.MinFitness = Component.MinFitness();
    Entry.MaxFitness = Component.MaxFitness();
    Entry.AvgFitness = Component.AvgFitness();
    Entry.MinWeightedFitness = Component.MinWeightedFitness();
    Entry.MaxWeightedFitness = Component.MaxWeightedFitness();
    Entry.AvgWeightedFitness = Component.AvgWeightedFitness();
    Entry.Diversity = Component.Diversity();
    if (TAxIndividual* Best = Component.FittestIndividual()) Entry.BestFitness = Best->Fitness();
    FEntries.push_back(Entry);
}

void TAxRunLog::SaveToCSV(std::ostream& Stream) const {
    Stream << "generation,min_fitness,max_fitness,avg_fitness,min_weighted_fitness,"
              "max_weighted_fitness,avg_weighted_fitness,diversity,best_fitness\n";
    for (const TAxRunLogEntry& E : FEntries) {
        Stream << E.Generation;
        for (const double Value :
             {E.MinFitness, E.MaxFitness, E.AvgFitness, E.MinWeightedFitness, E.MaxWeightedFitness,
              E.AvgWeightedFitness, E.Diversity, E.BestFitness})
            Stream << ',' << StreamFloatText(Value);
        Stream << '\n';
    }
}

void TAxRunLog::SaveToCSVFile(const std::string& FileName) const {
    std::ofstream Stream = CreateFileStream(FileName);
    SaveToCSV(Stream);
    Stream.close();
    if (Stream.fail())
        throw EFCreateError("Cannot create file \"" + FileName +
                            "\". The file could not be written completely");
}

// ---- hall of fame -----------------------------------------------------------------------

void TAxCustomHallOfFame::Attach(TAxCustomGeneticComponent& Component) {
    ChainOnEvolve(Component, *this);
}

void TAxCustomHallOfFame::Record(TAxCustomGeneticComponent& Component) {
    const bool Maximizing = IsMaximizing(Component.FitnessMethod());
    const auto Better = [Maximizing](TGAFitness A, TGAFitness B) {
        return Maximizing ? A > B : A < B;
    };
    TAxPopulation& Population = *Component.Population();
    for (int I = 0; I < Population.Count(); ++I) {
        TAxIndividual& Item = *Population.Items(I);
        const TGAFitness Fitness = Item.Fitness();
        // Most individuals are no candidates; they cost no text and no copy. A fitness that
        // is not a number is no result at all.
        const bool Full = Count() >= FCapacity;
        if (FCapacity == 0 || std::isnan(Fitness) ||
            (Full && !Better(Fitness, FEntries.back().Fitness)))
            continue;
        std::string Key = Item.ToString();
        bool Known = false;
        for (const TEntry& E : FEntries)
            Known = Known || E.Key == Key;
        if (Known) continue;
        std::size_t At = FEntries.size();
        while (At > 0 && Better(Fitness, FEntries[At - 1].Fitness))
            --At;
        auto Copy = Population.ItemClass()->Create();
        auto* Individual = static_cast<TAxIndividual*>(Copy.release());
        TEntry Entry{std::unique_ptr<TAxIndividual>(Individual), std::move(Key), Fitness,
                     Component.Generation()};
        Entry.Individual->Assign(Item);
        FEntries.insert(FEntries.begin() + static_cast<std::ptrdiff_t>(At), std::move(Entry));
        if (Count() > FCapacity) FEntries.pop_back();
    }
}

const TAxCustomHallOfFame::TEntry& TAxCustomHallOfFame::Entry(int Index) const {
    if (Index < 0 || Index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FEntries[static_cast<std::size_t>(Index)];
}

const TAxIndividual& TAxCustomHallOfFame::Items(int Index) const {
    return *Entry(Index).Individual;
}

TGAFitness TAxCustomHallOfFame::Fitness(int Index) const {
    return Entry(Index).Fitness;
}

int TAxCustomHallOfFame::Generation(int Index) const {
    return Entry(Index).Generation;
}

} // namespace ax
