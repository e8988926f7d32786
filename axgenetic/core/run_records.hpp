// Host-side helpers that record a run through its events: the statistics of every
// generation (TAxRunLog) and the best distinct individuals ever seen (TAxHallOfFame).
//
// Attach chains itself behind the component's OnEvolve handler (a handler already there
// keeps running first), so a helper records after every generation; a component that is
// initialized already is recorded at once, so attaching after Initialize captures the
// initial population as generation 0. A helper must outlive the component's runs, or be
// detached by setting OnEvolve anew. Neither draws random numbers or evaluates anything
// the statistics pass has not, so attaching one leaves a seeded run unchanged.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "axgenetic/core/genetic_component.hpp"

namespace ax {

// The statistics of one generation, as the component reports them after it.
struct AXGENETIC_API TAxRunLogEntry {
    int Generation = 0;
    TGAFitness MinFitness = 0, MaxFitness = 0, AvgFitness = 0;
    TGAFitness MinWeightedFitness = 0, MaxWeightedFitness = 0, AvgWeightedFitness = 0;
    TGAFitness Diversity = 0;
    // The raw fitness of FittestIndividual; 0 when there is none.
    TGAFitness BestFitness = 0;
    bool operator==(const TAxRunLogEntry&) const = default;
};

class AXGENETIC_API TAxRunLog {
public:
    void Attach(TAxCustomGeneticComponent& Component);
    // Appends the component's current statistics; nothing when the last entry is of the
    // same generation (OnEvolve also fires for a finished run that did not advance).
    void Record(TAxCustomGeneticComponent& Component);

    const std::vector<TAxRunLogEntry>& Entries() const { return FEntries; }
    void Clear() { FEntries.clear(); }

    // One header line, then a line per entry. Numbers are the shortest text that reads
    // back to the same double ('.' as separator, INF and NAN spelt so), so equal runs
    // give equal files on every machine.
    void SaveToCSV(std::ostream& Stream) const;
    void SaveToCSVFile(const std::string& FileName) const;

private:
    std::vector<TAxRunLogEntry> FEntries;
};

// The Capacity best distinct individuals ever seen, best first, by raw fitness in the
// direction of the component's fitness method (as FittestIndividual is chosen; ties keep
// the one seen first; an individual whose fitness is NaN never enters). Distinct means a different
// ToString, which for a GA individual is its chromosome. Each entry is a copy of its own, in no
// population, with the fitness it had when it was seen.
class AXGENETIC_API TAxCustomHallOfFame {
public:
    explicit TAxCustomHallOfFame(int Capacity) : FCapacity(Capacity < 0 ? 0 : Capacity) {}
    virtual ~TAxCustomHallOfFame() = default;

    void Attach(TAxCustomGeneticComponent& Component);
    // Offers every individual of the component's current population.
    void Record(TAxCustomGeneticComponent& Component);

    int Capacity() const { return FCapacity; }
    int Count() const { return static_cast<int>(FEntries.size()); }
    // EListError for an index outside [0, Count).
    const TAxIndividual& Items(int Index) const;
    TGAFitness Fitness(int Index) const;
    // The generation in which the entry was first seen.
    int Generation(int Index) const;
    void Clear() { FEntries.clear(); }

private:
    struct TEntry {
        std::unique_ptr<TAxIndividual> Individual;
        std::string Key;
        TGAFitness Fitness;
        int Generation;
    };
    const TEntry& Entry(int Index) const;
    int FCapacity;
    std::vector<TEntry> FEntries;
};

// The same with entries of the component's individual class, e.g.
// TAxHallOfFame<TAxGAIndividual> Best(5); ... Best[0].Bits().
template <class TIndividual> class AXGENETIC_API TAxHallOfFame : public TAxCustomHallOfFame {
public:
    using TAxCustomHallOfFame::TAxCustomHallOfFame;
    const TIndividual& Items(int Index) const {
        return static_cast<const TIndividual&>(TAxCustomHallOfFame::Items(Index));
    }
    const TIndividual& operator[](int Index) const { return Items(Index); }
};

} // namespace ax
