#include "axgenetic/core/individual.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "axgenetic/core/genetic_component.hpp"
#include "axgenetic/platform/exceptions.hpp"

namespace ax {
namespace {

// Fitness is Values[index]; evaluations are counted and population reports logged.
class TRecordingComponent : public TAxCustomGeneticComponent {
public:
    TRecordingComponent() {
        SetOnEvaluateFitness([this](TObject*, TAxIndividual* Item, TGAFitness& F) {
            ++Evaluations;
            F = Values[static_cast<std::size_t>(Item->Index())];
        });
    }
    std::vector<double> Values{0, 0, 0};
    int Evaluations = 0;
    std::vector<std::string> Log;

protected:
    void PopulationNotify(TAxIndividual* Item, TCollectionNotification Action) override {
        Log.push_back(std::to_string(static_cast<int>(Action)) + ":" + std::to_string(Item->ID()));
        TAxCustomGeneticComponent::PopulationNotify(Item, Action);
    }
    void PopulationUpdate(TAxIndividual* Item) override {
        Log.push_back(Item ? "update:" + std::to_string(Item->ID()) : "update:all");
    }
};

TEST(Individual, WithoutComponentReportsZeroAndStaysStale) {
    TComponent Plain; // an owner that is no genetic component does not count
    for (TPersistent* Owner :
         {static_cast<TPersistent*>(nullptr), static_cast<TPersistent*>(&Plain)}) {
        TAxPopulation Loose(Owner, ClassOf<TAxIndividual>());
        TAxIndividual* Item = Loose.Add();
        EXPECT_EQ(Loose.Owner(), nullptr);
        EXPECT_EQ(Item->Fitness(), 0.0);
        EXPECT_TRUE(Item->NeedFitness());
        EXPECT_EQ(Item->WeightedFitness() + Item->AdjustedFitness() + Item->NormalizedFitness() +
                      Item->NormalizedWeigthedFitness(),
                  0.0);
        EXPECT_EQ(Item->DisplayName(), "TAxIndividual");
        Item->SetName("Adam");
        EXPECT_EQ(Item->DisplayName(), "Adam");
        EXPECT_THROW(Item->Assign(Loose), EConvertError);
    }
}

TEST(Individual, EvaluatesLazilyAndAssignCopiesFreshness) {
    TRecordingComponent C;
    C.Values = {4, 1, 1};
    TAxIndividual* Item = C.Population()->Add();
    EXPECT_TRUE(Item->NeedFitness());
    EXPECT_EQ(Item->Fitness() + Item->Fitness(), 8.0);
    EXPECT_EQ(C.Evaluations, 1);
    Item->SetName(""); // same name: still fresh
    EXPECT_FALSE(Item->NeedFitness());
    Item->SetName("Eve");
    C.Values[0] = 5;
    EXPECT_EQ(Item->Fitness(), 5.0);
    Item->Modified();
    EXPECT_EQ(Item->Fitness(), 5.0);
    EXPECT_EQ(C.Evaluations, 3);

    int Weighted = 0;
    EXPECT_EQ(Item->WeightedFitness(), 5.0); // the raw fitness without a handler
    C.SetOnEvaluateWeightedFitness(
        [&](TObject*, TAxIndividual*, TGAFitness& F) { F = 0.5 + ++Weighted; });
    EXPECT_EQ(Item->WeightedFitness() + Item->WeightedFitness(), 4.0); // never cached
    EXPECT_EQ(C.Evaluations, 3);

    // A stale source is evaluated by the copy's read; a fresh copy is not evaluated again.
    TAxIndividual* Copy = C.Population()->Add();
    Item->Modified();
    Copy->Assign(*Item);
    EXPECT_EQ(C.Evaluations, 4);
    EXPECT_FALSE(Copy->NeedFitness());
    EXPECT_EQ(Copy->Fitness(), 5.0);
    EXPECT_EQ(Copy->Name(), "Eve");
    TAxIndividual* Twin = Item->Clone();
    EXPECT_EQ(Twin->Index(), 2);
    EXPECT_EQ(Twin->Fitness(), 5.0);
    EXPECT_EQ(C.Evaluations, 4);
    TAxPopulation Loose(nullptr, ClassOf<TAxIndividual>());
    Copy->Assign(*Loose.Add()); // stale without a component: the copy is stale too
    EXPECT_TRUE(Copy->NeedFitness());

    C.EvaluateFitness(); // fitness 5, 1, 5
    EXPECT_DOUBLE_EQ(Item->AdjustedFitness(), 1.0 / 6.0);
    EXPECT_DOUBLE_EQ(Copy->NormalizedFitness(), 1.0 / 11.0);
    C.SetFitnessMethod(TGAFitnessMethod::fmMaximize);
    EXPECT_DOUBLE_EQ(Copy->AdjustedFitness(), 1.0 / 5.0);
}

TEST(Population, ReportsToItsComponentAndClearsTheFittestThatLeaves) {
    TRecordingComponent C;
    TAxPopulation* P = C.Population();
    TAxIndividual* A = P->Add();
    TAxIndividual* B = P->Insert(0);
    EXPECT_TRUE(P->Items(0) == B && P->FindItemID(A->ID()) == A);
    C.Log.clear();
    A->Modified();
    P->BeginUpdate(); // individual changes inside a batch are not reported one by one
    B->SetName("held back");
    P->EndUpdate();
    P->SetItems(0, *A); // copies contents into the object at 0
    EXPECT_TRUE(P->Items(0) == B && B->Name().empty());
    EXPECT_EQ(C.Log, (std::vector<std::string>{"update:0", "update:all", "update:1"}));

    C.Values = {3, 1, 2};
    P->Add();
    A->Modified();
    B->Modified();
    C.EvaluateFitness();
    ASSERT_EQ(C.FittestIndividual(), P->Items(1));
    C.Log.clear();
    P->Delete(2);
    EXPECT_EQ(C.FittestIndividual(), P->Items(1));
    P->Delete(1);
    EXPECT_EQ(C.Log,
              (std::vector<std::string>{"2:2", "1:2", "update:all", "2:0", "1:0", "update:all"}));
    EXPECT_EQ(C.FittestIndividual(), nullptr);
    C.EvaluateFitness();
    auto Taken = P->Extract(0);
    EXPECT_EQ(C.FittestIndividual(), nullptr);
}

} // namespace
} // namespace ax
