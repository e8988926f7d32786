// The genetic algorithm: individuals with one bit-string chromosome, their population,
// and the component that lays chromosomes out by its genes and breeds them.
//
// Edge cases, and what this component does in them:
// - cmGeneBoundary crossover needs a cut between genes. With fewer than two genes the cut
//   is a multiple of the first gene's Size; when there is no gene, or that gene has no
//   positive Size, DoCrossover raises EGAException (SNoGeneBoundary) before any draw.
// - The per-individual value forms of a gene (GetAsX, SetAsX, AsString(Index)) raise
//   EGAException (SGeneWithoutAlgorithm) for a gene outside an algorithm's collection.
// - SetGeneSize with a negative size raises EListError and changes nothing.
// - SetGeneSize resizes the chromosomes of the current population; the previous
//   generation's are resized as its individuals are overwritten by the next Evolve.
// - CreatePopulation always makes a TAxGAPopulation of TAxGAIndividual, so a derived
//   individual class is not taken up; a derived component overrides CreatePopulation.
// - A constructor cannot reach overrides: the GA constructor calls RecreatePopulation so
//   its own CreatePopulation makes the population; a component derived from it that
//   overrides CreatePopulation or CreateGenes calls RecreatePopulation / RecreateGenes
//   in its own constructor.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "axgenetic/core/genetic_component.hpp"
#include "axgenetic/core/typed_events.hpp"
#include "axgenetic/ga/ga_bits.hpp"
#include "axgenetic/ga/gene.hpp"

namespace ax {

class IXMLNode;
class IXMLChromosomeType;
class IXMLChromosomesType;
class IXMLGADomainType;
class TAxGAPopulation;
class TAxCustomGeneticAlgorithm;

// Raised by cmGeneBoundary crossover when the genes give no place to cut.
inline constexpr std::string_view SNoGeneBoundary =
    "Gene boundary crossover needs a first gene of at least one bit";

// Raised by Evolve, before anything else, for chromosomes that could not evolve: none of
// their bits (no genes and no GeneSize), or a gene of no bits (a Boolean gene whose Size
// was never set, an enumeration gene without values).
inline constexpr std::string_view SNoChromosomeBits =
    "The chromosomes have no bits: add genes (and give each a Size) or set GeneSize";
inline constexpr std::string_view SGeneWithoutBits =
    "Gene \"%s\" has a Size of %d; every gene needs at least one bit";

// An individual whose genetic material is one chromosome. The chromosome is a member
// rather than a separate object: one allocation less per individual keeps a GA of
// 100,000 individuals of 1024 bits, with both generations filled, under 64 MiB.
class AXGENETIC_API TAxGAIndividual : public TAxIndividual {
public:
    static constexpr const char* StaticClassName = "TAxGAIndividual";
    // The chromosome exists before the individual joins a population, so the population's
    // added notification can size it.
    TAxGAIndividual();
    ~TAxGAIndividual() override;
    std::string ClassName() const override { return StaticClassName; }

    TAxGAPopulation* Collection() const;

    TAxGABits& Bits() { return FBits; }
    const TAxGABits& Bits() const { return FBits; }
    // Copies Value's size and bits into the chromosome and marks the individual modified.
    void SetBits(const TBits& Value);

    // From a GA individual: its chromosome, then the shared individual data.
    void Assign(const TPersistent& Source) override;
    // The class name, a blank, and the chromosome text.
    std::string ToString() const override;

    // The generic forms act on "Chromosome" and "FittestIndividual" elements only.
    void LoadFromXML(const IXMLNode& Node) override;
    void SaveToXML(const IXMLNode& Node) override;
    virtual void LoadFromXML(const IXMLChromosomeType& Chromosome);
    virtual void SaveToXML(const IXMLChromosomeType& Chromosome);

private:
    friend class TAxGABits;
    // The chromosome changed: the fitness is stale, nobody is notified.
    void InvalidateFitness() { FNeedFitness = true; }

    TAxGABits FBits{this};
};

using TAxGAIndividualClass = TAxIndividualClass;

// The population of a genetic algorithm.
class AXGENETIC_API TAxGAPopulation : public TTypedCollection<TAxGAIndividual, TAxPopulation> {
public:
    explicit TAxGAPopulation(TPersistent* AOwner,
                             TAxIndividualClass ItemClass = ClassOf<TAxGAIndividual>());
    std::string ClassName() const override { return "TAxGAPopulation"; }

    // The owning algorithm, or nullptr when the owner is something else.
    TAxCustomGeneticAlgorithm* Owner() const;

    // The generic forms act on "Chromosomes" elements only.
    void LoadFromXML(const IXMLNode& ChromosomesXML) override;
    void SaveToXML(const IXMLNode& ChromosomesXML) override;
    virtual void LoadFromXML(const IXMLChromosomesType& Chromosomes);
    virtual void SaveToXML(const IXMLChromosomesType& Chromosomes);
};

// Events declared for hosts; only OnCrossover uses one of them.
using TAxGACrossoverEvent =
    std::function<void(TObject* Sender, TAxGAIndividual* Parent1, TAxGAIndividual* Parent2,
                       TAxGAIndividual* Child, std::int32_t& CrossoverBit, bool& DoMutation)>;
using TAxGAFitnessEvent =
    std::function<void(TObject* Sender, TAxGAIndividual* Item, TGAFitness& Fitness)>;
using TAxGAIndividualEvent = std::function<void(TObject* Sender, TAxGAIndividual* Item)>;
using TAxGAParentChildEvent = std::function<void(TObject* Sender, TAxGAIndividual* Parent1,
                                                 TAxGAIndividual* Parent2, TAxGAIndividual* Child)>;
using TAxGAMutationEvent =
    std::function<void(TObject* Sender, TAxGAIndividual* Item, bool& DoMutation)>;
using TAxGASelectionEvent =
    std::function<void(TObject* Sender, TAxGAPopulation* Population, TAxGAIndividual*& Parent)>;
using TAxGeneEvent = std::function<void(TObject* Sender, TAxGAGene* Item)>;

// The genetic algorithm component. Besides the general event types it takes handlers
// written for TAxGAIndividual (typed_events.hpp), e.g.
//   GA.SetOnEvaluateFitness([&](TAxGAIndividual& Item, TGAFitness& Fitness) { ... });
// MutationProbability is the chance that each single bit flips (the shared driver draws
// once per child instead); every bit of every child draws.
class AXGENETIC_API TAxCustomGeneticAlgorithm
    : public TAxTypedGeneticComponent<TAxGAIndividual, TAxGAPopulation> {
public:
    explicit TAxCustomGeneticAlgorithm(TComponent* AOwner = nullptr);
    ~TAxCustomGeneticAlgorithm() override;
    std::string ClassName() const override { return "TAxCustomGeneticAlgorithm"; }

    // The genotype. Writing copies the given genes into the owned collection.
    TAxGAGenes* Genes() const { return FGenes.get(); }
    void SetGenes(const TAxGAGenes* Value);
    // Chromosome length in bits; a change resizes every chromosome of the population
    // (new bits False) in one update batch and marks each individual modified.
    std::int32_t GeneSize() const { return FGeneSize; }
    void SetGeneSize(std::int32_t Value);
    TGACrossoverMethod CrossoverMethod() const { return FCrossoverMethod; }
    void SetCrossoverMethod(TGACrossoverMethod Value) { FCrossoverMethod = Value; }
    // Offered the cut bit of every crossover; may move it or cancel the crossover. It is
    // the GA's one crossover event: a handler of the shared driver's type, set through
    // the driver, is kept here too (it sees the flag but not the cut bit), so one
    // crossover event fires per child, never two.
    const TAxGACrossoverEvent& OnCrossover() const { return FOnGACrossover; }
    void SetOnCrossover(TAxGACrossoverEvent Value) { FOnGACrossover = std::move(Value); }
    void SetOnCrossover(TAxCrossoverEvent Value) override;
    void SetOnCrossover(std::nullptr_t) { FOnGACrossover = nullptr; }
    // The same with a handler of (Parent1, Parent2, Child, CrossoverBit, DoIt).
    template <class F>
    requires std::invocable<F&, TAxGAIndividual&, TAxGAIndividual&, TAxGAIndividual&, std::int32_t&,
                            bool&>
    void SetOnCrossover(F Handler) {
        FOnGACrossover = [H = std::move(Handler)](TObject*, TAxGAIndividual* Parent1,
                                                  TAxGAIndividual* Parent2, TAxGAIndividual* Child,
                                                  std::int32_t& CrossoverBit, bool& DoIt) mutable {
            H(*Parent1, *Parent2, *Child, CrossoverBit, DoIt);
        };
    }

    TAxGAPopulation* Population() const { return static_cast<TAxGAPopulation*>(FPopulation.get()); }
    void SetPopulation(const TAxPopulation* Value) {
        TAxCustomGeneticComponent::SetPopulation(Value);
    }
    TAxGAPopulation* PreviousGeneration() const {
        return static_cast<TAxGAPopulation*>(FPreviousGeneration.get());
    }
    TAxGAIndividual* FittestIndividual() const {
        return static_cast<TAxGAIndividual*>(FFittestIndividual);
    }

    // Hooks of the gene collection. GenesSizeChange grows GeneSize to the genes' size; it
    // never shrinks it. The other two do nothing here.
    virtual void GeneNotify(TAxGAGene* Gene, TCollectionNotification Action);
    virtual void GeneUpdate(TAxGAGene* Gene);
    virtual void GenesSizeChange();

    // GeneSize, CrossoverMethod and the genes (chromosomes are not resized here), then
    // the shared settings and the population.
    void Assign(const TPersistent& Source) override;

    // The GA's own document kind (root "GeneticAlgorithm").
    void SaveToXML(const IXMLGeneticDocumentType& Document) override;
    void LoadFromXML(const IXMLGeneticDocumentType& Document) override;
    void SaveToStream(std::ostream& Stream) override;
    void LoadFromStream(std::istream& Stream) override;
    void LoadFromFile(const std::string& FileName) override;
    // The domain element: genotype, fittest individual (written only) and chromosomes.
    virtual void SaveToXML(const IXMLGADomainType& Domain);
    virtual void LoadFromXML(const IXMLGADomainType& Domain);

    // The GA's breeding steps; public so hosts and tests can drive single steps.
    bool Mutate(TAxIndividual* Item) override;

protected:
    std::unique_ptr<TAxPopulation> CreatePopulation(TAxIndividualClass ItemClass) override;
    virtual std::unique_ptr<TAxGAGenes> CreateGenes(TAxGeneClass ItemClass);
    // Replaces the (still empty) genes by a collection made by the actual CreateGenes.
    void RecreateGenes();

    void PopulationNotify(TAxIndividual* Item, TCollectionNotification Action) override;
    // Checks the genotype (SNoChromosomeBits, SGeneWithoutBits), then the shared step.
    void DoEvolve() override;
    bool DoCrossover(TAxIndividual* Parent1, TAxIndividual* Parent2, TAxIndividual* Child1,
                     TAxIndividual* Child2) override;
    bool DoMutate(TAxIndividual* Item) override;
    bool DoInvert(TAxIndividual* Item) override;
    // Random chromosomes, avoiding duplicates within one shared retry budget; returns the
    // number of distinct chromosomes registered.
    int DoInitialize() override;

    // The cut bit for a crossover into a chromosome of N bits, by CrossoverMethod.
    std::int32_t DrawCrossoverBit(std::int32_t N);

private:
    std::unique_ptr<TAxGAGenes> FGenes;
    std::int32_t FGeneSize = 0;
    TGACrossoverMethod FCrossoverMethod = TGACrossoverMethod::cmGeneBoundary;
    TAxGACrossoverEvent FOnGACrossover;
};

// The genetic algorithm with its settings published; what hosts place and use.
class AXGENETIC_API TAxGeneticAlgorithm : public TAxCustomGeneticAlgorithm {
public:
    using TAxCustomGeneticAlgorithm::TAxCustomGeneticAlgorithm;
    std::string ClassName() const override { return "TAxGeneticAlgorithm"; }
    // The shared settings, then CrossoverMethod, Genes, GeneSize and Population.
    void GetPublishedProperties(std::vector<TPublishedProperty>& List) const override;
};

} // namespace ax
