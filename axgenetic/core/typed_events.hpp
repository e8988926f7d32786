// Typed event setters: a component whose individuals are all of one class takes handlers
// written for that class, without casts, beside the handlers of the general event types:
//
//   GA.SetOnEvaluateFitness([&](TAxGAIndividual& Item, TGAFitness& Fitness) { ... });
//   GA.SetOnEvaluateFitness(TAxGAFitnessEvent(...)); // (Sender, TAxGAIndividual*, Fitness)
//
// Each event takes three forms: the general event type, the typed form without Sender
// (references), and the typed form with Sender (pointers, the shape of the event types a
// component declares for its individuals, such as TAxGAFitnessEvent). A typed handler is
// wrapped into the general event type, so every kind is stored, read back
// (OnEvaluateFitness() gives the wrapper) and fired the same way, and a component behaves
// identically whichever kind a host attaches.
//
// A derived component takes these setters by deriving through
// TAxTypedGeneticComponent<TheirIndividual, TheirPopulation> instead of directly from
// TAxCustomGeneticComponent. A class template that must keep TAxCustomGeneticComponent
// as its direct base (so that its own code finds the driver's members without `this->`)
// derives from TAxTypedEvents as a second base instead and names both setter sets with
// `using`, as TAxTypedGeneticComponent does.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <concepts>
#include <utility>

#include "axgenetic/core/genetic_component.hpp"

namespace ax {

// Handlers of a component whose individuals are I and whose population is P: without
// Sender by reference, or with Sender by pointer.
template <class F, class I>
concept TypedFitnessHandler =
    std::invocable<F&, I&, TGAFitness&> || std::invocable<F&, TObject*, I*, TGAFitness&>;
template <class F, class I>
concept TypedParentChildHandler =
    std::invocable<F&, I&, I&, I&> || std::invocable<F&, TObject*, I*, I*, I*>;
template <class F, class I>
concept TypedFlagHandler = std::invocable<F&, I&, bool&> || std::invocable<F&, TObject*, I*, bool&>;
template <class F, class I, class P>
concept TypedSelectionHandler =
    std::invocable<F&, P&, I*&> || std::invocable<F&, TObject*, P*, I*&>;

// The typed setters of a component class TComponentClass, derived from
// TAxCustomGeneticComponent, whose individuals are all TIndividual.
template <class TComponentClass, class TIndividual, class TPopulation> class TAxTypedEvents {
public:
    // (Item, Fitness) or (Sender, Item*, Fitness): the raw or the weighted fitness of Item.
    template <TypedFitnessHandler<TIndividual> F> void SetOnEvaluateFitness(F Handler) {
        Component().SetOnEvaluateFitness(FitnessEvent(std::move(Handler)));
    }
    template <TypedFitnessHandler<TIndividual> F> void SetOnEvaluateWeightedFitness(F Handler) {
        Component().SetOnEvaluateWeightedFitness(FitnessEvent(std::move(Handler)));
    }
    // (Parent1, Parent2, Child), after Child became a copy of Parent1; or the same as
    // pointers after Sender.
    template <TypedParentChildHandler<TIndividual> F> void SetOnInitializeChild(F Handler) {
        Component().SetOnInitializeChild(
            [H = std::move(Handler)](TObject* Sender, TAxIndividual* Parent1,
                                     TAxIndividual* Parent2, TAxIndividual* Child) mutable {
                if constexpr (std::invocable<F&, TIndividual&, TIndividual&, TIndividual&>)
                    H(Typed(*Parent1), Typed(*Parent2), Typed(*Child));
                else
                    H(Sender, &Typed(*Parent1), &Typed(*Parent2), &Typed(*Child));
            });
    }
    // (Item, DoIt) or (Sender, Item*, DoIt): the veto or changed flag of mutation,
    // inversion and reproduction.
    template <TypedFlagHandler<TIndividual> F> void SetOnMutation(F Handler) {
        Component().SetOnMutation(FlagEvent(std::move(Handler)));
    }
    template <TypedFlagHandler<TIndividual> F> void SetOnInversion(F Handler) {
        Component().SetOnInversion(FlagEvent(std::move(Handler)));
    }
    template <TypedFlagHandler<TIndividual> F> void SetOnReproduction(F Handler) {
        Component().SetOnReproduction(FlagEvent(std::move(Handler)));
    }
    // (Population, Parent) or (Sender, Population*, Parent): a custom selection; Parent
    // starts as nullptr. Makes the selection method smCustom, as any non-empty handler does.
    template <TypedSelectionHandler<TIndividual, TPopulation> F> void SetOnSelection(F Handler) {
        Component().SetOnSelection([H = std::move(Handler)](TObject* Sender,
                                                            TAxPopulation* Population,
                                                            TAxIndividual*& Parent) mutable {
            TIndividual* Chosen = static_cast<TIndividual*>(Parent);
            if constexpr (std::invocable<F&, TPopulation&, TIndividual*&>)
                H(static_cast<TPopulation&>(*Population), Chosen);
            else
                H(Sender, static_cast<TPopulation*>(Population), Chosen);
            Parent = Chosen;
        });
    }

protected:
    // The individuals of this component are all TIndividual: a derived component reads
    // the ones its overrides receive through this.
    static TIndividual& Typed(TAxIndividual& Item) { return static_cast<TIndividual&>(Item); }

private:
    TAxCustomGeneticComponent& Component() { return static_cast<TComponentClass&>(*this); }
    template <class F> static TAxFitnessEvent FitnessEvent(F Handler) {
        return [H = std::move(Handler)](TObject* Sender, TAxIndividual* Item,
                                        TGAFitness& Fitness) mutable {
            if constexpr (std::invocable<F&, TIndividual&, TGAFitness&>)
                H(Typed(*Item), Fitness);
            else
                H(Sender, &Typed(*Item), Fitness);
        };
    }
    template <class F> static TAxMutationEvent FlagEvent(F Handler) {
        return [H = std::move(Handler)](TObject* Sender, TAxIndividual* Item, bool& DoIt) mutable {
            if constexpr (std::invocable<F&, TIndividual&, bool&>)
                H(Typed(*Item), DoIt);
            else
                H(Sender, &Typed(*Item), DoIt);
        };
    }
};

// TBase (TAxCustomGeneticComponent or a class derived from it) with the typed setters.
template <class TIndividual, class TPopulation, class TBase = TAxCustomGeneticComponent>
class AXGENETIC_API TAxTypedGeneticComponent
    : public TBase,
      public TAxTypedEvents<TAxTypedGeneticComponent<TIndividual, TPopulation, TBase>, TIndividual,
                            TPopulation> {
    using TTyped = TAxTypedEvents<TAxTypedGeneticComponent, TIndividual, TPopulation>;

public:
    using TBase::SetOnEvaluateFitness;
    using TBase::SetOnEvaluateWeightedFitness;
    using TBase::SetOnInitializeChild;
    using TBase::SetOnInversion;
    using TBase::SetOnMutation;
    using TBase::SetOnReproduction;
    using TBase::SetOnSelection;
    using TBase::TBase;
    using TTyped::SetOnEvaluateFitness;
    using TTyped::SetOnEvaluateWeightedFitness;
    using TTyped::SetOnInitializeChild;
    using TTyped::SetOnInversion;
    using TTyped::SetOnMutation;
    using TTyped::SetOnReproduction;
    using TTyped::SetOnSelection;
};

} // namespace ax
