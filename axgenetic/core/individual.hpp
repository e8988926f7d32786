// The base individual and population of every evolution component.
//
// An individual never computes its own fitness: it asks the component that owns its
// population, and only when its cached value is stale. Derived individuals call
// Modified() whenever their genome changes, which is all a breeding step has to do for
// the child to be evaluated by the next statistics pass.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <string>

#include "axgenetic/core/types.hpp"
#include "axgenetic/platform/collection.hpp"

namespace ax {

class IXMLNode;
class TAxCustomGeneticComponent;
class TAxPopulation;

// Class reference of TAxIndividual and its descendants: ClassOf<TAxGAIndividual>() etc.
using TAxIndividualClass = TCollectionItemClass;

// One candidate solution: a named collection item with a cached raw fitness and a flag
// saying whether that value is still valid.
class AXGENETIC_API TAxIndividual : public TCollectionItem {
public:
    static constexpr const char* StaticClassName = "TAxIndividual";

    // A new individual is stale; it joins a collection through the collection's Add.
    TAxIndividual() = default;
    std::string ClassName() const override { return StaticClassName; }

    const std::string& Name() const { return FName; }
    // A different text marks the individual stale; the same text does nothing.
    void SetName(const std::string& Value);

    // The population the individual belongs to, or nullptr.
    TAxPopulation* Collection() const;
    // The component that owns the individual's population, or nullptr.
    TAxCustomGeneticComponent* Component() const;

    // True while the cached fitness must be evaluated before it is read.
    bool NeedFitness() const { return FNeedFitness; }

    // The raw fitness, evaluated through the component first when stale. Without a
    // component it is 0 and the individual stays stale.
    TGAFitness Fitness() { return GetFitness(); }
    TGAFitness GetFitness();
    // Asked from the component on every read, never cached; 0 without a component.
    TGAFitness WeightedFitness() { return GetWeightedFitness(); }
    TGAFitness GetWeightedFitness();
    // The component's scalings of Fitness / WeightedFitness; 0 without a component.
    TGAFitness AdjustedFitness();
    TGAFitness NormalizedFitness();
    TGAFitness NormalizedWeigthedFitness();

    // Evaluates the raw fitness now, through the component.
    void EvaluateFitness();
    // Marks the fitness stale and reports the change to the population.
    void Modified();

    // From another individual: its fitness (read through Fitness, so a stale source is
    // evaluated first), its freshness as that read left it, and its name; then reports
    // the change. Any other source fails with EConvertError.
    void Assign(const TPersistent& Source) override;
    // A new individual of the population's item class, appended to this individual's
    // population and assigned from it. Only members of a population can be cloned.
    TAxIndividual* Clone();

    // Name, or the class name when unnamed.
    std::string DisplayName() const override;

    // Name, stored when not empty.
    void GetPublishedProperties(std::vector<TPublishedProperty>& List) const override;

    // A hint that work on this individual comes next: one whose data lies scattered in
    // memory asks the processor to start fetching it. Changes nothing.
    virtual void Prefetch() const noexcept {}

    // The genome's XML form; the base individual has no genome and does nothing.
    virtual void LoadFromXML(const IXMLNode& Node);
    virtual void SaveToXML(const IXMLNode& Node);

protected:
    std::string FName;
    bool FNeedFitness = true;
    TGAFitness FFitness = 0;

private:
    friend class TAxPopulation;
    // Kept by the population's notifications, so that finding the component on every
    // fitness read costs no cast.
    TAxPopulation* FPopulation = nullptr;

    friend class TAxCustomGeneticComponent;
    // A raw fitness computed in a batch evaluation, kept as if evaluated here.
    void StoreFitness(TGAFitness Value) {
        FFitness = Value;
        FNeedFitness = false;
    }
};

// The owned collection of individuals of one component. A population whose owner is a
// TAxCustomGeneticComponent forwards its notifications and updates to it. Derived
// populations get typed access by layering TTypedCollection<TheirItem, TAxPopulation>.
class AXGENETIC_API TAxPopulation : public TTypedCollection<TAxIndividual, TOwnedCollection> {
public:
    TAxPopulation(TPersistent* AOwner, TAxIndividualClass ItemClass);
    std::string ClassName() const override { return "TAxPopulation"; }

    // The owning component, or nullptr when the owner is none or not a component.
    TAxCustomGeneticComponent* Owner() const { return FComponent; }

    // Copies Value's contents into the individual at Index (the object stays).
    void SetItems(int Index, const TAxIndividual& Value);

    // One child element per individual, in index order.
    virtual void LoadFromXML(const IXMLNode& ChromosomesXML);
    virtual void SaveToXML(const IXMLNode& ChromosomesXML);

protected:
    void Notify(TCollectionItem* Item, TCollectionNotification Action) override;
    void Update(TCollectionItem* Item) override;

private:
    TAxCustomGeneticComponent* FComponent;
};

} // namespace ax
