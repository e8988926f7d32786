// Typed event setters: a component whose individuals are all of one class takes handlers
// written for that class, without casts, beside the handlers of the general event types:
//
//   GA.SetOnEvaluateFitness([&](TAxGAIndividual& Item, TGAFitness& Fitness) { ... });
//
// A typed handler is wrapped into the general event type, so both kinds are stored, read
// back (OnEvaluateFitness() gives the wrapper) and fired the same way, and a component
// behaves identically whichever kind a host attaches. Typed handlers take no Sender; a
// host that wants the component captures it.
//
// A derived component takes these setters by deriving through
// TAxTypedGeneticComponent<TheirIndividual, TheirPopulation> instead of directly from
// TAxCustomGeneticComponent.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <concepts>
#include <utility>

#include "axgenetic/core/genetic_component.hpp"

namespace ax {

template <class TIndividual, class TPopulation, class TBase = TAxCustomGeneticComponent>
class AXGENETIC_API TAxTypedGeneticComponent : public TBase {
public:
    using TBase::SetOnEvaluateFitness;
    using TBase::SetOnEvaluateWeightedFitness;
    using TBase::SetOnInitializeChild;
    using TBase::SetOnInversion;
    using TBase::SetOnMutation;
    using TBase::SetOnReproduction;
    using TBase::SetOnSelection;
    using TBase::TBase;

    // (Item, Fitness): the raw or the weighted fitness of Item.
    template <class F>
    requires std::invocable<F&, TIndividual&, TGAFitness&>
    void SetOnEvaluateFitness(F Handler) {
        TBase::SetOnEvaluateFitness(FitnessEvent(std::move(Handler)));
    }
    template <class F>
    requires std::invocable<F&, TIndividual&, TGAFitness&>
    void SetOnEvaluateWeightedFitness(F Handler) {
        TBase::SetOnEvaluateWeightedFitness(FitnessEvent(std::move(Handler)));
    }
    // (Parent1, Parent2, Child), after Child became a copy of Parent1.
    template <class F>
    requires std::invocable<F&, TIndividual&, TIndividual&, TIndividual&>
    void SetOnInitializeChild(F Handler) {
        TBase::SetOnInitializeChild([H = std::move(Handler)](TObject*, TAxIndividual* Parent1,
                                                             TAxIndividual* Parent2,
                                                             TAxIndividual* Child) mutable {
            H(static_cast<TIndividual&>(*Parent1), static_cast<TIndividual&>(*Parent2),
              static_cast<TIndividual&>(*Child));
        });
    }
    // (Item, DoIt): the veto or changed flag of mutation, inversion and reproduction.
    template <class F>
    requires std::invocable<F&, TIndividual&, bool&>
    void SetOnMutation(F Handler) { TBase::SetOnMutation(FlagEvent(std::move(Handler))); }
    template <class F>
    requires std::invocable<F&, TIndividual&, bool&>
    void SetOnInversion(F Handler) { TBase::SetOnInversion(FlagEvent(std::move(Handler))); }
    template <class F>
    requires std::invocable<F&, TIndividual&, bool&>
    void SetOnReproduction(F Handler) { TBase::SetOnReproduction(FlagEvent(std::move(Handler))); }
    // (Population, Parent): a custom selection; Parent starts as nullptr. Makes the
    // selection method smCustom, as any non-empty handler does.
    template <class F>
    requires std::invocable<F&, TPopulation&, TIndividual*&>
    void SetOnSelection(F Handler) {
        TBase::SetOnSelection([H = std::move(Handler)](TObject*, TAxPopulation* Population,
                                                       TAxIndividual*& Parent) mutable {
            TIndividual* Chosen = static_cast<TIndividual*>(Parent);
            H(static_cast<TPopulation&>(*Population), Chosen);
            Parent = Chosen;
        });
    }

private:
    template <class F> static TAxFitnessEvent FitnessEvent(F Handler) {
        return
            [H = std::move(Handler)](TObject*, TAxIndividual* Item, TGAFitness& Fitness) mutable {
                H(static_cast<TIndividual&>(*Item), Fitness);
            };
    }
    template <class F> static TAxMutationEvent FlagEvent(F Handler) {
        return [H = std::move(Handler)](TObject*, TAxIndividual* Item, bool& DoIt) mutable {
            H(static_cast<TIndividual&>(*Item), DoIt);
        };
    }
};

} // namespace ax
