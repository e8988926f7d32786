#include "axgenetic/core/individual.hpp"

#include <typeinfo>

#include "axgenetic/core/genetic_component.hpp"

namespace ax {

// --- TAxIndividual ------------------------------------------------------------------

void TAxIndividual::SetName(const std::string& Value) {
    if (Value == FName) return;
    FName = Value;
    Modified();
}

TAxPopulation* TAxIndividual::Collection() const {
    return FPopulation;
}

TAxCustomGeneticComponent* TAxIndividual::Component() const {
    const TAxPopulation* Population = Collection();
    return Population ? Population->Owner() : nullptr;
}

TGAFitness TAxIndividual::GetFitness() {
    if (FNeedFitness) EvaluateFitness();
    return FFitness;
}

TGAFitness TAxIndividual::GetWeightedFitness() {
    TAxCustomGeneticComponent* Owner = Component();
    return Owner ? Owner->EvaluateFitness(this, true) : 0.0;
}

TGAFitness TAxIndividual::AdjustedFitness() {
    TAxCustomGeneticComponent* Owner = Component();
    return Owner ? Owner->GetAdjustedFitness(Fitness()) : 0.0;
}

TGAFitness TAxIndividual::NormalizedFitness() {
    TAxCustomGeneticComponent* Owner = Component();
    return Owner ? Owner->GetNormalizedFitness(Fitness()) : 0.0;
}

TGAFitness TAxIndividual::NormalizedWeigthedFitness() {
    TAxCustomGeneticComponent* Owner = Component();
    return Owner ? Owner->GetNormalizedWeightedFitness(WeightedFitness()) : 0.0;
}

void TAxIndividual::EvaluateFitness() {
    if (TAxCustomGeneticComponent* Owner = Component()) {
        FFitness = Owner->EvaluateFitness(this, false);
        FNeedFitness = false;
    } else {
        FFitness = 0;
    }
}

void TAxIndividual::Modified() {
    FNeedFitness = true;
    Changed(false);
}

void TAxIndividual::Assign(const TPersistent& Source) {
    // Breeding copies between individuals of one class; that needs no search of the
    // class hierarchy.
    const auto* From = typeid(Source) == typeid(*this)
                           ? static_cast<const TAxIndividual*>(&Source)
                           : dynamic_cast<const TAxIndividual*>(&Source);
    if (!From) {
        TCollectionItem::Assign(Source);
        return;
    }
    // Reading a stale source's fitness evaluates it: the value is a cache, not state
    // the caller could observe changing.
    auto& Reader = const_cast<TAxIndividual&>(*From);
    FFitness = Reader.Fitness();
    FNeedFitness = Reader.FNeedFitness;
    FName = From->FName;
    Changed(false);
}

TAxIndividual* TAxIndividual::Clone() {
    TAxPopulation* Population = Collection();
    TAxIndividual* Copy = Population->Add();
    Copy->Assign(*this);
    return Copy;
}

std::string TAxIndividual::DisplayName() const {
    return FName.empty() ? TCollectionItem::DisplayName() : FName;
}

void TAxIndividual::LoadFromXML(const IXMLNode&) {}

void TAxIndividual::SaveToXML(const IXMLNode&) {}

// --- TAxPopulation ------------------------------------------------------------------

TAxPopulation::TAxPopulation(TPersistent* AOwner, TAxIndividualClass ItemClass)
    : TTypedCollection<TAxIndividual, TOwnedCollection>(AOwner, ItemClass),
      FComponent(dynamic_cast<TAxCustomGeneticComponent*>(AOwner)) {}

void TAxPopulation::SetItems(int Index, const TAxIndividual& Value) {
    Items(Index)->Assign(Value);
}

void TAxPopulation::Notify(TCollectionItem* Item, TCollectionNotification Action) {
    auto* Individual = static_cast<TAxIndividual*>(Item);
    // A leaving individual is still a member while its departure is reported.
    if (Action == TCollectionNotification::cnAdded) Individual->FPopulation = this;
    if (FComponent) FComponent->PopulationNotify(Individual, Action);
    if (Action == TCollectionNotification::cnExtracting) Individual->FPopulation = nullptr;
}

void TAxPopulation::Update(TCollectionItem* Item) {
    if (FComponent) FComponent->PopulationUpdate(static_cast<TAxIndividual*>(Item));
}

} // namespace ax
