#include <algorithm>
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "axgenetic/core/run_records.hpp"
#include "axgenetic/gp/evolution/gp_components.hpp"
#include "axgenetic/platform/random.hpp"

namespace ax {
namespace {

using TFloatIndividual = TAxGPIndividual<TGAFloat>;

// The error of the program against x*x + x at a few points.
TGAFitness Error(TFloatIndividual& Item) {
    TAxGPFloatContext Context;
    TGAFitness Sum = 0;
    for (const double X : {-1.0, 0.5, 2.0}) {
        Context.Values().AddOrSetValue("x", X);
        Sum += std::fabs(Item.Execute(Context) - (X * X + X));
    }
    return Sum;
}

void Configure(TAxGeneticProgramming& GP) {
    for (const char* Name : {"Add", "Mul", "x"}) {
        auto* I = GP.Instructions()->Add();
        I->SetName(Name);
        if (Name[0] == 'x') continue;
        I->SetArity(2);
        I->SetOnExecute([Add = Name[0] == 'A'](TObject*, TAxGPNode<TGAFloat>& N,
                                               TAxGPFloatContext& C, TGAFloat& R) {
            const TGAFloat A = N.GetChild(0)->Execute(C), B = N.GetChild(1)->Execute(C);
            R = Add ? A + B : A * B;
        });
    }
    GP.SetInitialPopulation(24);
    GP.SetInitializationMethod(TGPInitializationMethod::imRampedHalfAndHalf);
    GP.SetOnEvaluateFitness([](TFloatIndividual& Item, TGAFitness& F) { F = Error(Item); });
}

std::string Programs(TAxGeneticProgramming& GP) {
    std::string Text;
    for (int I = 0; I < GP.Population()->Count(); ++I)
        Text += GP.Population()->Items(I)->DNA()->ToString() + "\n";
    return Text;
}

TEST(GPTypedEvents, TypedAndGeneralHandlersAreInterchangeable) {
    std::string Populations[2];
    int Calls[2][3] = {};
    for (int Kind = 0; Kind < 2; ++Kind) {
        RandSeed(9);
        TAxGeneticProgramming GP;
        Configure(GP);
        int* Count = Calls[Kind];
        if (Kind == 0) {
            GP.SetOnMutation([Count](TFloatIndividual&, bool& DoIt) { DoIt = ++Count[0] % 2; });
            GP.SetOnSelection([Count](TAxGPPopulation<TGAFloat>& From, TFloatIndividual*& Parent) {
                ++Count[1];
                Parent = From[Random(From.Count())];
            });
            GP.SetOnInitializeChild(
                [Count](TFloatIndividual&, TFloatIndividual&, TFloatIndividual& Child) {
                    Count[2] += !!Child.DNA();
                });
        } else {
            GP.SetOnEvaluateFitness([](TObject*, TAxIndividual* Item, TGAFitness& F) {
                F = Error(*static_cast<TFloatIndividual*>(Item));
            });
            GP.SetOnMutation(
                [Count](TObject*, TAxIndividual*, bool& DoIt) { DoIt = ++Count[0] % 2; });
            GP.SetOnSelection([Count](TObject*, TAxPopulation* From, TAxIndividual*& Parent) {
                ++Count[1];
                Parent = From->Items(Random(From->Count()));
            });
            GP.SetOnInitializeChild(
                [Count](TObject*, TAxIndividual*, TAxIndividual*, TAxIndividual* Child) {
                    Count[2] += !!static_cast<TFloatIndividual*>(Child)->DNA();
                });
        }
        GP.Evolve(6);
        Populations[Kind] = Programs(GP);
    }
    EXPECT_EQ(Populations[0], Populations[1]);
    for (int Event = 0; Event < 3; ++Event) {
        EXPECT_GT(Calls[0][Event], 0);
        EXPECT_EQ(Calls[0][Event], Calls[1][Event]);
    }
}

TEST(GPRunRecords, RunLogAndHallOfFameKeepDistinctPrograms) {
    RandSeed(3);
    TAxGeneticProgramming GP;
    Configure(GP);
    GP.Initialize();
    TAxRunLog Log;
    TAxHallOfFame<TFloatIndividual> Best(5);
    Log.Attach(GP);
    Best.Attach(GP);
    GP.Evolve(8);
    ASSERT_EQ(Log.Entries().size(), 9u);
    EXPECT_EQ(Log.Entries().back().Generation, GP.Generation());
    TGAFitness Lowest = Log.Entries()[0].MinFitness;
    for (const TAxRunLogEntry& Entry : Log.Entries())
        Lowest = std::min(Lowest, Entry.MinFitness);
    ASSERT_EQ(Best.Count(), 5);
    EXPECT_EQ(Best.Fitness(0), Lowest);
    for (int I = 0; I < Best.Count(); ++I) {
        // A copy of its own, outside the population, that still runs.
        TFloatIndividual Copy;
        Copy.Assign(Best[I]);
        EXPECT_EQ(Best[I].Collection(), nullptr);
        EXPECT_EQ(Error(Copy), Best.Fitness(I));
        for (int J = 0; J < I; ++J)
            EXPECT_NE(Best[I].DNA()->ToString(), Best[J].DNA()->ToString());
        if (I > 0) {
            EXPECT_LE(Best.Fitness(I - 1), Best.Fitness(I));
        }
    }
}

} // namespace
} // namespace ax
