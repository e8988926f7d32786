#include "axgenetic/core/individual.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "axgenetic/core/genetic_component.hpp"
#include "axgenetic/platform/exceptions.hpp"

namespace ax {
namespace {

// A component that counts evaluations and records what its populations report.
class TRecordingComponent : public TAxCustomGeneticComponent {
public:
    TRecordingComponent() {
        SetOnEvaluateFitness([this](TObject*, TAxIndividual* Item, TGAFitness& Fitness) {
            ++Evaluations;
            Fitness = Values.empty() ? 0.0 : Values[static_cast<std::size_t>(Item->Index())];
        });
    }
    std::vector<double> Values;
    int Evaluations = 0;
    std::vector<std::string> Log;

protected:
    void PopulationNotify(TAxIndividual* Item, TCollectionNotification Action) override {
        static const char* Names[] = {"added", "extracting", "deleting"};
        Log.push_back(std::string(Names[static_cast<int>(Action)]) + ":" +
                      std::to_string(Item->ID()));
        TAxCustomGeneticComponent::PopulationNotify(Item, Action);
    }
    void PopulationUpdate(TAxIndividual* Item) override {
        Log.push_back(Item ? "update:" + std::to_string(Item->ID()) : "update:all");
    }
};

TEST(Individual, WithoutComponentEverythingIsZeroAndStale) {
    TAxPopulation Loose(nullptr, ClassOf<TAxIndividual>());
    TAxIndividual* Item = Loose.Add();
    EXPECT_EQ(Loose.Owner(), nullptr);
    EXPECT_EQ(Item->Component(), nullptr);
    EXPECT_EQ(Item->Fitness(), 0.0);
    EXPECT_TRUE(Item->NeedFitness());
    EXPECT_EQ(Item->WeightedFitness(), 0.0);
    EXPECT_EQ(Item->AdjustedFitness(), 0.0);
    EXPECT_EQ(Item->NormalizedFitness(), 0.0);
    EXPECT_EQ(Item->NormalizedWeigthedFitness(), 0.0);
    EXPECT_EQ(Item->DisplayName(), "TAxIndividual");
    Item->SetName("Adam");
    EXPECT_EQ(Item->DisplayName(), "Adam");

    // A population owned by something that is no genetic component has no owner.
    TComponent Plain;
    TAxPopulation Foreign(&Plain, ClassOf<TAxIndividual>());
    EXPECT_EQ(Foreign.Owner(), nullptr);
    EXPECT_EQ(Foreign.Add()->Fitness(), 0.0);

    TAxPopulation Other(nullptr, ClassOf<TAxIndividual>());
    EXPECT_THROW(Item->Assign(Other), EConvertError);
}

TEST(Individual, FitnessIsEvaluatedLazilyOncePerChange) {
    TRecordingComponent C;
    C.Values = {4.0, 9.0};
    TAxIndividual* Item = C.Population()->Add();
    EXPECT_EQ(Item->Collection(), C.Population());
    EXPECT_EQ(Item->Component(), &C);
    EXPECT_TRUE(Item->NeedFitness());
    EXPECT_EQ(Item->Fitness(), 4.0);
    EXPECT_EQ(Item->Fitness(), 4.0);
    EXPECT_EQ(C.Evaluations, 1);
    EXPECT_FALSE(Item->NeedFitness());

    Item->SetName("");
    EXPECT_FALSE(Item->NeedFitness()); // same name: nothing happens
    Item->SetName("Eve");
    EXPECT_TRUE(Item->NeedFitness());
    C.Values[0] = 5.0;
    EXPECT_EQ(Item->Fitness(), 5.0);
    Item->Modified();
    EXPECT_EQ(Item->Fitness(), 5.0);
    EXPECT_EQ(C.Evaluations, 3);

    // The weighted fitness is asked for on every read; the raw one is what it defaults to.
    int WeightedCalls = 0;
    EXPECT_EQ(Item->WeightedFitness(), 5.0);
    C.SetOnEvaluateWeightedFitness([&](TObject* Sender, TAxIndividual* I, TGAFitness& F) {
        EXPECT_EQ(Sender, &C);
        EXPECT_EQ(I, Item);
        EXPECT_EQ(F, 0.0);
        ++WeightedCalls;
        F = 2.5;
    });
    EXPECT_EQ(Item->WeightedFitness(), 2.5);
    EXPECT_EQ(Item->WeightedFitness(), 2.5);
    EXPECT_EQ(WeightedCalls, 2);
    EXPECT_EQ(C.Evaluations, 3);
}

TEST(Individual, AssignCopiesFitnessFreshnessAndNameButNotThroughTheSetter) {
    TRecordingComponent C;
    C.Values = {7.0, 1.0, 1.0};
    TAxIndividual* Source = C.Population()->Add();
    TAxIndividual* Copy = C.Population()->Add();
    Source->SetName("Abel");

    // A stale source is evaluated by the read, and the copy is then fresh too.
    Copy->Assign(*Source);
    EXPECT_EQ(C.Evaluations, 1);
    EXPECT_FALSE(Source->NeedFitness());
    EXPECT_FALSE(Copy->NeedFitness());
    EXPECT_EQ(Copy->Fitness(), 7.0);
    EXPECT_EQ(Copy->Name(), "Abel");
    EXPECT_EQ(C.Evaluations, 1);

    // Without a component the source stays stale and so does the copy.
    TAxPopulation Loose(nullptr, ClassOf<TAxIndividual>());
    TAxIndividual* Stray = Loose.Add();
    Copy->Assign(*Stray);
    EXPECT_TRUE(Copy->NeedFitness());
    EXPECT_EQ(Copy->Name(), "");

    TAxIndividual* Twin = Source->Clone();
    EXPECT_EQ(C.Population()->Count(), 3);
    EXPECT_EQ(C.Population()->Items(2), Twin);
    EXPECT_EQ(Twin->Name(), "Abel");
    EXPECT_EQ(Twin->Fitness(), 7.0);
    EXPECT_EQ(C.Evaluations, 1);
}

TEST(Population, ForwardsNotificationsAndUpdatesToItsComponent) {
    TRecordingComponent C;
    TAxPopulation* P = C.Population();
    EXPECT_EQ(P->Owner(), &C);
    TAxIndividual* A = P->Add();
    TAxIndividual* B = P->Insert(0);
    EXPECT_EQ(P->Items(0), B);
    EXPECT_EQ((*P)[1], A);
    EXPECT_EQ(P->FindItemID(A->ID()), A);
    EXPECT_EQ(P->FindItemID(99), nullptr);
    C.Log.clear();

    A->Modified();
    P->BeginUpdate();
    A->Modified();
    B->SetName("held back");
    P->EndUpdate();
    EXPECT_EQ(C.Log, (std::vector<std::string>{"update:0", "update:all"}));

    // Writing an item copies contents; the object stays.
    C.Log.clear();
    P->SetItems(0, *A);
    EXPECT_EQ(P->Items(0), B);
    EXPECT_EQ(B->Name(), "");
    EXPECT_EQ(C.Log, (std::vector<std::string>{"update:1"}));

    C.Log.clear();
    P->Delete(0);
    EXPECT_EQ(C.Log, (std::vector<std::string>{"deleting:1", "extracting:1", "update:all"}));
}

TEST(Population, DeletingTheFittestIndividualClearsIt) {
    TRecordingComponent C;
    C.Values = {3.0, 1.0, 2.0};
    for (int I = 0; I < 3; ++I)
        C.Population()->Add();
    C.EvaluateFitness();
    ASSERT_EQ(C.FittestIndividual(), C.Population()->Items(1));
    C.Population()->Delete(2);
    EXPECT_EQ(C.FittestIndividual(), C.Population()->Items(1));
    C.Population()->Delete(1);
    EXPECT_EQ(C.FittestIndividual(), nullptr);

    C.Population()->Add();
    C.EvaluateFitness();
    ASSERT_NE(C.FittestIndividual(), nullptr);
    auto Taken = C.Population()->Extract(C.FittestIndividual()->Index());
    EXPECT_EQ(C.FittestIndividual(), nullptr);
}

TEST(Individual, ScalesFitnessThroughItsComponent) {
    TRecordingComponent C;
    C.Values = {1.0, 3.0};
    TAxIndividual* A = C.Population()->Add();
    TAxIndividual* B = C.Population()->Add();
    C.EvaluateFitness();
    EXPECT_DOUBLE_EQ(A->AdjustedFitness(), 0.5);    // 1 / (1 + 1)
    EXPECT_DOUBLE_EQ(B->NormalizedFitness(), 0.75); // 3 / 4
    EXPECT_DOUBLE_EQ(A->NormalizedWeigthedFitness(), 0.25);
    C.SetFitnessMethod(TGAFitnessMethod::fmMaximize);
    EXPECT_DOUBLE_EQ(A->AdjustedFitness(), 1.0 / 3.0); // 1 / (3 - 1 + 1)
    EXPECT_DOUBLE_EQ(B->AdjustedFitness(), 1.0);
}

} // namespace
} // namespace ax
