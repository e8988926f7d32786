#include "axgenetic/ga/genetic_algorithm.hpp"

#include <typeinfo>

#include "axgenetic/common/dictionary.hpp"
#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/platform/random.hpp"
#include "axgenetic/platform/update_guard.hpp"

namespace ax {

// ---------------------------------------------------------------------------------------
// TAxGAIndividual

TAxGAIndividual::TAxGAIndividual() = default;
TAxGAIndividual::~TAxGAIndividual() = default;

TAxGAPopulation* TAxGAIndividual::Collection() const {
    return static_cast<TAxGAPopulation*>(TAxIndividual::Collection());
}

void TAxGAIndividual::SetBits(const TBits& Value) {
    FBits.Assign(Value);
    Modified();
}

void TAxGAIndividual::Assign(const TPersistent& Source) {
    const auto* From = typeid(Source) == typeid(*this)
                           ? static_cast<const TAxGAIndividual*>(&Source)
                           : dynamic_cast<const TAxGAIndividual*>(&Source);
    if (From) FBits.Assign(From->FBits);
    TAxIndividual::Assign(Source);
}

std::string TAxGAIndividual::ToString() const {
    return ClassName() + " " + FBits.ToString();
}

// ---------------------------------------------------------------------------------------
// TAxGAPopulation

TAxGAPopulation::TAxGAPopulation(TPersistent* AOwner, TAxIndividualClass ItemClass)
    : TTypedCollection<TAxGAIndividual, TAxPopulation>(AOwner, ItemClass) {}

TAxCustomGeneticAlgorithm* TAxGAPopulation::Owner() const {
    return dynamic_cast<TAxCustomGeneticAlgorithm*>(TAxPopulation::Owner());
}

// ---------------------------------------------------------------------------------------
// TAxCustomGeneticAlgorithm

TAxCustomGeneticAlgorithm::TAxCustomGeneticAlgorithm(TComponent* AOwner)
    : TAxTypedGeneticComponent(AOwner) {
    RecreatePopulation();
    FGenes = CreateGenes(ClassOf<TAxGAGene>());
}

TAxCustomGeneticAlgorithm::~TAxCustomGeneticAlgorithm() {
    FGenes.reset();
}

std::unique_ptr<TAxPopulation> TAxCustomGeneticAlgorithm::CreatePopulation(TAxIndividualClass) {
    return std::make_unique<TAxGAPopulation>(this, ClassOf<TAxGAIndividual>());
}

std::unique_ptr<TAxGAGenes> TAxCustomGeneticAlgorithm::CreateGenes(TAxGeneClass ItemClass) {
    return std::make_unique<TAxGAGenes>(this, ItemClass);
}

void TAxCustomGeneticAlgorithm::RecreateGenes() {
    const TAxGeneClass ItemClass = FGenes ? FGenes->ItemClass() : ClassOf<TAxGAGene>();
    FGenes = CreateGenes(ItemClass);
}

void TAxCustomGeneticAlgorithm::SetGenes(const TAxGAGenes* Value) {
    if (Value) FGenes->Assign(*Value);
}

void TAxCustomGeneticAlgorithm::SetGeneSize(std::int32_t Value) {
    if (Value == FGeneSize) return;
    if (Value < 0) throw EListError("Bits index out of range");
    FGeneSize = Value;
    TAxGAPopulation& Items = *Population();
    const TUpdateGuard<TAxGAPopulation> Batch(Items);
    for (int I = 0; I < Items.Count(); ++I) {
        TAxGAIndividual* Item = Items.Items(I);
        Item->Bits().SetSize(Value);
        Item->Modified();
    }
}

void TAxCustomGeneticAlgorithm::GeneNotify(TAxGAGene*, TCollectionNotification) {}

void TAxCustomGeneticAlgorithm::GeneUpdate(TAxGAGene*) {}

void TAxCustomGeneticAlgorithm::GenesSizeChange() {
    const std::int32_t Needed = FGenes->GetSize();
    if (Needed > FGeneSize) SetGeneSize(Needed);
}

void TAxCustomGeneticAlgorithm::PopulationNotify(TAxIndividual* Item,
                                                 TCollectionNotification Action) {
    TAxCustomGeneticComponent::PopulationNotify(Item, Action);
    if (Action == TCollectionNotification::cnAdded)
        static_cast<TAxGAIndividual*>(Item)->Bits().SetSize(FGeneSize);
}

void TAxCustomGeneticAlgorithm::Assign(const TPersistent& Source) {
    if (const auto* From = dynamic_cast<const TAxCustomGeneticAlgorithm*>(&Source)) {
        if (From == this) return;
        FGeneSize = From->FGeneSize;
        FCrossoverMethod = From->FCrossoverMethod;
        FGenes->Assign(*From->FGenes);
    }
    TAxCustomGeneticComponent::Assign(Source);
}

void TAxCustomGeneticAlgorithm::DoEvolve() {
    for (int I = 0; I < FGenes->Count(); ++I) {
        const TAxGAGene& Gene = *FGenes->Items(I);
        if (Gene.Size() < 1)
            throw EGAException(Format(SGeneWithoutBits, {Gene.DisplayName(), Gene.Size()}));
    }
    if (FGeneSize < 1) throw EGAException(std::string(SNoChromosomeBits));
    TAxCustomGeneticComponent::DoEvolve();
}

std::int32_t TAxCustomGeneticAlgorithm::DrawCrossoverBit(std::int32_t N) {
    switch (FCrossoverMethod) {
    case TGACrossoverMethod::cmGeneBoundary: {
        const int Count = FGenes->Count();
        if (Count >= 2) return FGenes->Items(Random(Count - 1) + 1)->Offset();
        const std::int32_t Step = Count == 1 ? FGenes->Items(0)->Size() : 0;
        if (Step <= 0) throw EGAException(std::string(SNoGeneBoundary));
        return (Random(N) / Step) * Step;
    }
    case TGACrossoverMethod::cmByteBoundary:
        return FGeneSize >= 16 ? (Random(N / 8) + 1) * 8 : Random(N);
    case TGACrossoverMethod::cmWordBoundary:
        return FGeneSize >= 32 ? (Random(N / 16) + 1) * 16 : Random(N);
    case TGACrossoverMethod::cmLongwordBoundary:
        return FGeneSize >= 64 ? (Random(N / 32) + 1) * 32 : Random(N);
    case TGACrossoverMethod::cmBitBoundary:
    default:
        return Random(N);
    }
}

void TAxCustomGeneticAlgorithm::SetOnCrossover(TAxCrossoverEvent Value) {
    if (!Value) {
        FOnGACrossover = nullptr;
        return;
    }
    FOnGACrossover = [H = std::move(Value)](TObject* Sender, TAxGAIndividual* Parent1,
                                            TAxGAIndividual* Parent2, TAxGAIndividual* Child,
                                            std::int32_t&, bool& DoIt) {
        H(Sender, Parent1, Parent2, Child, DoIt);
    };
}

bool TAxCustomGeneticAlgorithm::DoCrossover(TAxIndividual* Parent1, TAxIndividual* Parent2,
                                            TAxIndividual* Child1, TAxIndividual* Child2) {
    auto* P1 = static_cast<TAxGAIndividual*>(Parent1);
    auto* P2 = static_cast<TAxGAIndividual*>(Parent2);
    auto* C1 = static_cast<TAxGAIndividual*>(Child1);
    auto* C2 = static_cast<TAxGAIndividual*>(Child2);
    bool DoIt = true;
    // One cut bit and one flag serve both children: what the handler leaves for the
    // first child is what it is offered for the second.
    std::int32_t CrossoverBit = DrawCrossoverBit(C1->Bits().Size());
    if (FOnGACrossover) FOnGACrossover(this, P1, P2, C1, CrossoverBit, DoIt);
    if (DoIt) C1->Bits().CrossOver(P1->Bits(), P2->Bits(), CrossoverBit);
    if (C2) {
        if (FOnGACrossover) FOnGACrossover(this, P2, P1, C2, CrossoverBit, DoIt);
        if (DoIt) C2->Bits().CrossOver(P2->Bits(), P1->Bits(), CrossoverBit);
    }
    return DoIt;
}

bool TAxCustomGeneticAlgorithm::Mutate(TAxIndividual* Item) {
    // MutationProbability is a per-bit chance here, so no draw for the individual.
    bool Result = true;
    if (FOnMutation) FOnMutation(this, Item, Result);
    if (Result) Result = DoMutate(Item);
    return Result;
}

bool TAxCustomGeneticAlgorithm::DoMutate(TAxIndividual* Item) {
    return static_cast<TAxGAIndividual*>(Item)->Bits().Mutate(FMutationProbability);
}

bool TAxCustomGeneticAlgorithm::DoInvert(TAxIndividual* Item) {
    static_cast<TAxGAIndividual*>(Item)->Bits().Invert(-1, -1);
    return true;
}

int TAxCustomGeneticAlgorithm::DoInitialize() {
    int Registered = 0;
    int Retries = FInitialDuplicatesRetries;
    std::unique_ptr<TAxDictionary<std::string, TAxIndividual*>> Seen;
    if (Retries > 0) Seen = std::make_unique<TAxDictionary<std::string, TAxIndividual*>>();
    TAxGAPopulation* Items = Population();
    for (int I = 0; I < Items->Count(); ++I) {
        TAxGAIndividual* Item = Items->Items(I);
        Item->Bits().Randomize();
        // The retry budget is shared by the whole population.
        while (Seen && Retries > 0) {
            std::string Key = Item->Bits().ToString();
            if (!Seen->ContainsKey(Key)) {
                Seen->Add(std::move(Key), Item);
                ++Registered;
                break;
            }
            --Retries;
            Item->Bits().Randomize();
        }
    }
    return Registered;
}

} // namespace ax
