#include "axgenetic/gp/evolution/gp_components.hpp"
#include "axgenetic/gp/evolution/gp_test_support.hpp"

#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/platform/enum_names.hpp"
#include "axgenetic/platform/expect_error_test_support.hpp"
#include "axgenetic/platform/random.hpp"

namespace ax {
namespace {

using TGP = generics::TAxCustomGeneticProgramming<TGAFloat>;
using TFloatIndividual = TAxGPIndividual<TGAFloat>;

// Exposes the protected steps and counts the mutation methods run.
template <class Base> class TTest : public Base {
public:
    using Base::Base;
    using Base::DoCrossover;
    using Base::DoInitialize;
    using Base::DoMutate;
    using Base::Mutate;
    std::array<int, 6> Runs{};
    void Mutate(TFloatIndividual& Individual, TGPMutationMethod Method) override {
        ++Runs[static_cast<std::size_t>(Method)];
        Base::Mutate(Individual, Method);
    }
};
using TTestGP = TTest<TAxGeneticProgramming>;

// Add, Sub, Mul over x and y; fitness is the error against x*x + y on a few points.
void Koza(TGP& GP) {
    for (const char* F : {"Add", "Sub", "Mul"})
        AddInstruction(*GP.Instructions(), F, 2);
    AddInstruction(*GP.Instructions(), "x");
    AddInstruction(*GP.Instructions(), "y");
    GP.SetInitialPopulation(30);
    GP.SetInitializationMethod(TGPInitializationMethod::imRampedHalfAndHalf);
    GP.SetOnEvaluateFitness([](const TFloatIndividual& Item, TGAFitness& F) {
        TAxGPContext<TGAFloat> C;
        for (double X : {-1.0, 0.5, 2.0}) {
            C.Values()["x"] = X;
            C.Values()["y"] = 1 - X;
            F += std::fabs(Item.Execute(C) - (X * X + 1 - X));
        }
    });
}

TFloatIndividual* Item(TGP& GP, int I) {
    return GP.Population()->Items(I);
}
std::string Text(TGP& GP, int I) {
    return Item(GP, I)->DNA()->ToString();
}

// Every node of the tree, checked by Check.
template <class F> void EachNode(TAxGPNode<TGAFloat>& N, F Check) {
    Check(N);
    for (int I = 0; I < N.SlotCount(); ++I)
        if (auto* C = N.GetChild(I)) EachNode(*C, Check);
}

TEST(GeneticProgramming, NewComponentHasTheGPDefaults) {
    TAxGeneticProgramming GP;
    EXPECT_EQ((std::vector<double>{GP.CrossoverProbability(), GP.SelectionNonTerminalsProbability(),
                                   GP.PointMutationProbability(), GP.ParsimonyCoefficient(),
                                   GP.TarpeianProbability()}),
              (std::vector<double>{0.9, 0.9, 0.1, 1.0, 0.3}));
    EXPECT_EQ((std::vector<int>{GP.TournamentField(), GP.InitialPopulation(),
                                GP.InitialDuplicatesRetries(), GP.BloatLimit(),
                                GP.InitializationDepth()}),
              (std::vector<int>{7, 100, 10, 10, 0}));
    EXPECT_EQ(GP.SelectionMethod(), TGASelectionMethod::smStochasticTournament);
    EXPECT_EQ(GP.MutationWeights(), (TGPMutationMethodWeights{25, 0, 0, 25, 25, 0}));
    EXPECT_EQ(GP.MutationWeightsTotal(), 75);
    EXPECT_FALSE(GP.TwoParentCrossover());
}

TEST(GeneticProgramming, SettersClampOutOfRangeValues) {
    TAxGeneticProgramming GP;
    GP.SetMutateHoistWeight(300); // the low 8 bits
    EXPECT_EQ(GP.MutateHoistWeight(), 44);
    EXPECT_EQ(GP.MutationWeightsTotal(), 94);
    GP.SetMutateSubtreeWeight(-5);
    EXPECT_EQ(GP.MutateSubtreeWeight(), 0);
    GP.SetMutatePointWeight(256);
    EXPECT_EQ(GP.MutationWeightsTotal(), 69);

    for (auto [In, Out] : {std::pair{3, 5}, {7, 7}, {-1, 5}})
        EXPECT_EQ((GP.SetBloatLimit(In), GP.BloatLimit()), Out);
    GP.SetInitializationDepth(-3);
    EXPECT_EQ(GP.InitializationDepth(), 0);
    for (double In : {1.5, -0.2}) {
        GP.SetSelectionNonTerminalsProbability(In);
        GP.SetPointMutationProbability(In);
        GP.SetTarpeianProbability(In);
        for (double Out : {GP.SelectionNonTerminalsProbability(), GP.PointMutationProbability(),
                           GP.TarpeianProbability()})
            EXPECT_EQ(Out, In < 0 ? 0.0 : 1.0);
    }
}

// As in the shared settings, a NaN written to a GP probability leaves it as it was.
TEST(GeneticProgramming, ANaNProbabilityLeavesTheSettingUnchanged) {
    TAxGeneticProgramming GP;
    using P = TGP;
    for (auto [Set, Get] :
         {std::pair{&P::SetSelectionNonTerminalsProbability, &P::SelectionNonTerminalsProbability},
          {&P::SetPointMutationProbability, &P::PointMutationProbability},
          {&P::SetTarpeianProbability, &P::TarpeianProbability}}) {
        (GP.*Set)(0.25);
        (GP.*Set)(std::nan(""));
        EXPECT_EQ((GP.*Get)(), 0.25);
    }
}

// The names of the functions (or terminals), in list order.
std::string Names(TGP& GP, bool Functions) {
    std::string S;
    const int N = Functions ? GP.GetFunctionsCount() : GP.GetTerminalsCount();
    for (int I = 0; I < N; ++I)
        S += (Functions ? GP.GetFunctions(I) : GP.GetTerminals(I))->Name() + " ";
    return S;
}

TEST(GeneticProgramming, ArityDecidesTheListOfAnInstruction) {
    TAxGeneticProgramming GP;
    Koza(GP);
    EXPECT_EQ(Names(GP, true), "Add Sub Mul ");
    EXPECT_EQ(Names(GP, false), "x y ");
    auto* X = GP.Instructions()->Items(3);
    X->SetArity(2); // a terminal becomes a function
    EXPECT_EQ(Names(GP, true), "Add Sub Mul x ");
    X->SetArity(0); // a function of arity 0 is a terminal, whatever its kind
    EXPECT_EQ(Names(GP, true), "Add Sub Mul ");
    EXPECT_EQ(Names(GP, false), "y x ");
    GP.Instructions()->Delete(1);
    EXPECT_EQ(Names(GP, true), "Add Mul ");
}

TEST(GeneticProgramming, InstructionChangesEmptyThePopulations) {
    RandSeed(1);
    TAxGeneticProgramming GP;
    Koza(GP);
    GP.Evolve();
    ASSERT_EQ(GP.Population()->Count(), 30);
    GP.Instructions()->Items(3)->SetArity(2); // trees holding x as a leaf are invalid now
    EXPECT_EQ(GP.Population()->Count(), 0);
    EXPECT_EQ(GP.PreviousGeneration()->Count(), 0);
    EXPECT_FALSE(GP.Initialized());

    GP.Evolve(3); // starts again with initialization
    EXPECT_EQ(GP.Generation(), 3);
    GP.Instructions()->Delete(1);
    EXPECT_EQ(GP.Population()->Count(), 0);
    EXPECT_EQ(GP.PreviousGeneration()->Count(), 0);
    EXPECT_EQ(GP.FittestIndividual(), nullptr);
    GP.Evolve();
    for (int I = 0; I < 30; ++I)
        EXPECT_EQ(Text(GP, I).find("Sub"), std::string::npos);
}

TEST(GeneticProgramming, InitialTreeSizesFollowTheMethodsDepths) {
    RandSeed(2);
    TTestGP GP;
    Koza(GP);
    GP.SetInitialDuplicatesRetries(0);
    GP.SetInitialPopulation(10);
    // Full to depth 2: 3 nodes each; ramped full to 5: depths 2 2 2 3 3 4 4 4 5 5, full
    // binary trees of 3, 7, 15 and 31 nodes.
    using enum TGPInitializationMethod;
    for (auto [Method, Depth, Sizes] :
         {std::tuple{imFull, 2, std::vector<int>(10, 3)},
          {imRampedFull, 5, std::vector<int>{3, 3, 3, 7, 7, 15, 15, 15, 31, 31}}}) {
        GP.SetInitializationMethod(Method);
        GP.SetInitializationDepth(Depth);
        GP.Initialize();
        for (int I = 0; I < 10; ++I)
            EXPECT_EQ(Item(GP, I)->DNA()->Size(), Sizes[static_cast<std::size_t>(I)]);
    }
}

TEST(GeneticProgramming, SearchSpaceSizeCountsProgramsPerDepth) {
    TAxGeneticProgramming GP;
    Koza(GP);
    EXPECT_EQ(GP.SearchSpaceSize(0), 3);
    EXPECT_EQ(GP.SearchSpaceSize(1), 3 * 25);            // 3 functions, (3 + 2)^2 each
    EXPECT_EQ(GP.SearchSpaceSize(2), 3 * 77.0L * 77.0L); // (75 + 2)^2
}

TEST(GeneticProgramming, DuplicateRetriesEndForALanguageOfOneTerminal) {
    RandSeed(2);
    TTestGP Terminals;
    AddInstruction(*Terminals.Instructions(), "x");
    Terminals.SetInitialPopulation(10);
    Terminals.SetInitialDuplicatesRetries(3);
    Terminals.SetInitializationMethod(TGPInitializationMethod::imGrow);
    Terminals.Initialize();
    // Individual 1 raises the minimum depth from 2 to the bound 4 in two rounds and keeps
    // its duplicate after a third; every later one keeps it after one round.
    EXPECT_EQ(Terminals.DoInitialize(), 9 + 8 * 3);
    EXPECT_EQ(Terminals.Population()->Items(9)->DNA()->ToString(), "x");
}

TEST(GeneticProgramming, InitializationRaisesForAnUnusableLanguage) {
    RandSeed(2);
    TTestGP Terminals;
    AddInstruction(*Terminals.Instructions(), "x");
    Terminals.SetInitialPopulation(10);
    Terminals.SetInitializationMethod(TGPInitializationMethod::imGrow);
    Terminals.Initialize();
    Terminals.SetInitializationMethod(TGPInitializationMethod::imFull);
    ExpectError<EGPException>([&] { Terminals.DoInitialize(); }, "No operations found");

    // A variable that declares an argument cannot head a subtree.
    struct TArgumentVariable : TAxGPFloatInstruction {
        void Declare(int A) { FArity = A; }
    };
    auto Bad = std::make_unique<TArgumentVariable>();
    auto* Raw = Bad.get();
    Terminals.Instructions()->AddItem(std::move(Bad));
    Terminals.Instructions()->Delete(0);
    Raw->Declare(1);
    Terminals.SetInitializationMethod(TGPInitializationMethod::imGrow);
    ExpectError<EGPException>([&] { Terminals.Initialize(); },
                              "Invalid terminal node.  Node requires greater than 0 children");
}

TEST(GeneticProgramming, SubtreeCrossoverSwapsTheSubtrees) {
    RandSeed(3);
    TTestGP GP;
    Koza(GP);
    GP.Initialize();
    const std::string A = Text(GP, 0), B = Text(GP, 1);
    Item(GP, 0)->Crossover(Item(GP, 0)->DNA(), *Item(GP, 1), Item(GP, 1)->DNA());
    EXPECT_EQ(Text(GP, 0), B);
    EXPECT_EQ(Text(GP, 1), A);
}

TEST(GeneticProgramming, ALoneChildTakesASubtreeOfItsPartnersParent) {
    RandSeed(3);
    TTestGP GP;
    Koza(GP);
    GP.Initialize();
    GP.SetTwoParentCrossover(true);
    const std::string Donor = Text(GP, 3);
    Item(GP, 4)->AssignDNA(GP.GetTerminalNode());
    EXPECT_TRUE(GP.DoCrossover(Item(GP, 2), Item(GP, 3), Item(GP, 4), nullptr));
    EXPECT_EQ(Text(GP, 3), Donor);
    EXPECT_NE(Donor.find(Text(GP, 4)), std::string::npos);
}

// After a crossover both node lists are the trees' pre-order again, whatever the points
// (roots, inner nodes, leaves), for tree nodes (whose lists follow the swap) and binary
// nodes (whose lists are rebuilt).
TEST(GeneticProgramming, CrossoverLeavesBothNodeListsInPreOrder) {
    auto PreOrder = [](TAxGPNode<TGAFloat>& Root) {
        std::vector<TAxGPNode<TGAFloat>*> Nodes;
        EachNode(Root, [&](TAxGPNode<TGAFloat>& N) { Nodes.push_back(&N); });
        return Nodes;
    };
    auto Check = [&](TGP& GP) {
        RandSeed(5);
        Koza(GP);
        GP.Initialize();
        const int Count = GP.Population()->Count();
        for (int Round = 0; Round < 4; ++Round)
            for (int I = 0; I < Count; ++I) {
                TFloatIndividual& A = *Item(GP, I);
                TFloatIndividual& B = *Item(GP, (I + 1 + Round) % Count);
                A.FlattenedDNA();
                B.FlattenedDNA();
                A.Crossover(I % 5 == 0 ? A.DNA() : A.SelectNode(0.5), B,
                            I % 7 == 0 ? B.DNA() : B.SelectNode(0.5));
                ASSERT_EQ(A.FlattenedDNA(), PreOrder(*A.DNA())) << "round " << Round << ", " << I;
                ASSERT_EQ(B.FlattenedDNA(), PreOrder(*B.DNA())) << "round " << Round << ", " << I;
            }
    };
    TTestGP Trees;
    Check(Trees);
    TAxBinaryGeneticProgramming Binary;
    Check(Binary);
}

TEST(GeneticProgramming, NodeSelectionPrefersFunctionsByProbability) {
    RandSeed(3);
    TTestGP GP;
    Koza(GP);
    GP.Initialize();
    // Probability 1 prefers functions, 0 terminals; a one-node program yields its node.
    TFloatIndividual* Tree = Item(GP, 5);
    Tree->AssignDNA(GP.DoInitializeFull(2)); // one function over two terminals
    for (double P : {0.0, 1.0}) {
        int Functions = 0;
        for (int I = 0; I < 3000; ++I)
            Functions += Tree->SelectNode(P) == Tree->DNA();
        EXPECT_TRUE(P == 0 ? Functions < 300 : Functions > 1500) << P << " " << Functions;
    }
    Tree->AssignDNA(GP.GetTerminalNode());
    for (double P : {0.0, 1.0})
        EXPECT_EQ(Tree->SelectNode(P), Tree->DNA());
}

TEST(GeneticProgramming, MutationMethodsRunInProportionToTheirWeights) {
    RandSeed(3);
    TTestGP GP;
    Koza(GP);
    GP.Initialize();
    TFloatIndividual* Child = Item(GP, 0);
    for (int I = 0; I < 3000; ++I)
        EXPECT_TRUE(GP.DoMutate(Child));
    for (std::size_t M : {0u, 3u, 4u})
        EXPECT_NEAR(GP.Runs[M], 1000, 100) << M;
    for (std::size_t M : {1u, 2u, 5u})
        EXPECT_EQ(GP.Runs[M], 0) << M;
}

// The shared Mutate step and DoMutate each consult OnMutation: a handler sees a mutation
// twice, and a clear at either call runs no method.
TEST(GeneticProgramming, OnMutationIsConsultedTwicePerMutation) {
    RandSeed(3);
    TTestGP GP;
    Koza(GP);
    GP.Initialize();
    GP.SetMutationProbability(1);
    for (const int VetoAt : {0, 1, 2}) {
        int Calls = 0;
        GP.SetOnMutation([&](TObject*, TAxIndividual*, bool& DoIt) { DoIt = ++Calls != VetoAt; });
        GP.Runs = {};
        EXPECT_EQ(GP.Mutate(Item(GP, 0)), VetoAt == 0) << VetoAt;
        EXPECT_EQ(Calls, VetoAt == 1 ? 1 : 2) << VetoAt;
        EXPECT_EQ(GP.Runs[0] + GP.Runs[3] + GP.Runs[4], VetoAt == 0 ? 1 : 0) << VetoAt;
    }
}

TEST(GeneticProgramming, NoMutationRunsWithAllWeightsZero) {
    RandSeed(3);
    TTestGP GP;
    Koza(GP);
    GP.Initialize();
    GP.SetMutationWeights({});
    const std::string Before = Text(GP, 1);
    EXPECT_FALSE(GP.DoMutate(Item(GP, 1)));
    EXPECT_EQ(Text(GP, 1), Before);
    EXPECT_TRUE(Item(GP, 1)->NeedFitness());
}

TEST(GeneticProgramming, HoistOfTheRootChangesNothing) {
    RandSeed(3);
    TTestGP GP;
    Koza(GP);
    GP.Initialize();
    TFloatIndividual* Child = Item(GP, 0);
    Child->AssignDNA(GP.GetTerminalNode());
    const std::string Leaf = Text(GP, 0);
    GP.DoHoistMutation(*Child); // the only point is the root
    EXPECT_EQ(Text(GP, 0), Leaf);
}

TEST(GeneticProgramming, PointMutationKeepsTheShapeOfTheTree) {
    RandSeed(3);
    TTestGP GP;
    Koza(GP);
    GP.Initialize();
    // Point mutation keeps every arity: size and depth stay; per tree with probability 1
    // only the root may change.
    GP.SetPointMutationProbability(1);
    for (auto Method : {TGPPointMutationMethod::pmmPerNode, TGPPointMutationMethod::pmmPerTree}) {
        GP.SetPointMutationMethod(Method);
        for (int I = 2; I < 30; ++I) {
            TFloatIndividual* P = Item(GP, I);
            const int Size = P->DNA()->Size(), Depth = P->DNA()->Depth();
            auto* Root = P->DNA()->Instruction();
            std::vector<TAxGPInstruction<TGAFloat>*> Below;
            for (std::size_t N = 1; N < P->FlattenedDNA().size(); ++N)
                Below.push_back(P->FlattenedDNA()[N]->Instruction());
            EXPECT_TRUE(GP.DoPointMutation(*P));
            EXPECT_EQ(P->DNA()->Size(), Size);
            EXPECT_EQ(P->DNA()->Depth(), Depth);
            if (Method == TGPPointMutationMethod::pmmPerTree) {
                for (std::size_t N = 1; N < P->FlattenedDNA().size(); ++N)
                    EXPECT_EQ(P->FlattenedDNA()[N]->Instruction(), Below[N - 1]);
                EXPECT_EQ(P->DNA()->Instruction()->Arity(), Root->Arity());
            }
        }
    }
}

// Breeds 20 generations with every operator and mutation method; a binary component must
// never give a node a third child, and every tree must run.
TEST(GeneticProgramming, BinaryComponentBreedsWithEveryMutationMethod) {
    RandSeed(5);
    TAxBinaryGeneticProgramming GP;
    Koza(GP);
    auto* One = AddInstruction(*GP.Instructions(), "one");
    One->SetOperation(TGPGeneticInstruction::gpConstant);
    One->SetValue(1);
    GP.SetOnConstantMutation([](TObject*, TAxGPNode<TGAFloat>& N) { N.SetValue(N.Value() + 0.5); });
    GP.SetInitialPopulation(41);
    GP.SetMutationProbability(0.5);
    GP.SetInversionProbability(0.3);
    for (auto M : {TGPMutationMethod::mmReplacement, TGPMutationMethod::mmConstant,
                   TGPMutationMethod::mmPoint})
        GP.SetMutationWeight(M, 25);
    GP.SetBloatStrategy(TGPBloatStrategy::bsDepthLimit);
    GP.SetBloatLimit(6);
    EXPECT_EQ(GP.Evolve(20), 20);
    for (int I = 0; I < GP.Population()->Count(); ++I)
        EachNode(*Item(GP, I)->DNA(), [](TAxGPNode<TGAFloat>& N) {
            EXPECT_LE(N.GetChildCount(), 2);
            EXPECT_NE(N.Instruction(), nullptr);
        });
    EXPECT_TRUE(std::isfinite(GP.FittestIndividual()->Fitness()));
    EXPECT_EQ(Item(GP, 0)->DNA()->ClassName(), "TAxGPBinaryFloatNode");
}

TEST(GeneticProgramming, AssignAllCopiesRunOnAfterTheSourceIsGone) {
    RandSeed(6);
    TAxGeneticProgramming GP;
    {
        TAxGeneticProgramming Source;
        Koza(Source);
        Source.SetMutateHoistWeight(7);
        Source.Evolve(3);
        GP.AssignAll(Source);
        EXPECT_EQ(GP.MutateHoistWeight(), 7);
        EXPECT_EQ(GP.Population()->Count(), 30);
        EXPECT_EQ(GP.PreviousGeneration()->Count(), 30);
        EXPECT_EQ(Text(GP, 5), Source.Population()->Items(5)->DNA()->ToString());
        EXPECT_EQ(GP.FittestIndividual()->Index(), Source.FittestIndividual()->Index());
    }
    // The copied trees run on this component's instructions and handlers.
    TAxGPContext<TGAFloat> C;
    for (int I = 0; I < 30; ++I) {
        EachNode(*Item(GP, I)->DNA(), [&](TAxGPNode<TGAFloat>& N) {
            EXPECT_EQ(N.Instruction()->Collection(), GP.Instructions());
        });
        Item(GP, I)->Execute(C);
    }
    GP.SetOnEvaluateFitness(
        [](const TFloatIndividual& Item, TGAFitness& F) { F = Item.DNA()->Size(); });
    EXPECT_EQ(GP.Evolve(3), 3);
}

TEST(GeneticProgramming, ATreeWithAnUnknownInstructionIsRefusedWhole) {
    RandSeed(6);
    TAxGeneticProgramming GP;
    Koza(GP);
    GP.Initialize();
    TAxGeneticProgramming Other;
    Koza(Other);
    AddInstruction(*Other.Instructions(), "z");
    Other.SetInitializationMethod(TGPInitializationMethod::imGrow);
    Other.Initialize();
    int Refused = 0;
    for (int I = 0; I < 30; ++I) {
        const std::string Before = Text(GP, 0), Program = Text(Other, I);
        try {
            Item(GP, 0)->SetDNA(*Item(Other, I)->DNA());
            EXPECT_EQ(Text(GP, 0), Program);
        } catch (const EGPException& E) {
            ++Refused;
            EXPECT_STREQ(E.what(), "Unknown instruction \"z\"");
            EXPECT_EQ(Text(GP, 0), Before);
        }
    }
    EXPECT_GT(Refused, 0);
    EXPECT_LT(Refused, 30);
}

TEST(GeneticProgramming, AnOddPopulationKeepsItsSize) {
    RandSeed(7);
    TAxGeneticProgramming GP;
    Koza(GP);
    GP.SetInitialPopulation(5);
    GP.SetCrossoverProbability(1);
    EXPECT_EQ(GP.Evolve(10), 10);
    EXPECT_EQ(GP.Population()->Count(), 5);
}

TEST(GeneticProgramming, TwoParentCrossoverStartsTheSecondChildFromParent2) {
    RandSeed(7);
    TAxGeneticProgramming GP;
    Koza(GP);
    GP.SetInitialPopulation(5);
    GP.Initialize();
    // Without operators the children are copies of Parent1, or with the option of Parent1
    // and Parent2.
    GP.SetOperations({});
    for (bool TwoParents : {false, true}) {
        GP.SetTwoParentCrossover(TwoParents);
        GP.Reproduce(Item(GP, 0), Item(GP, 1), Item(GP, 2), Item(GP, 3));
        EXPECT_EQ(Text(GP, 2), Text(GP, 0));
        EXPECT_EQ(Text(GP, 3), Text(GP, TwoParents ? 1 : 0));
    }
}

// Graft and Crossover take points of their own programs only: a point of another program
// is refused before either program changes, so no flattened list or fitness goes stale.
TEST(GeneticProgramming, TreeSurgeryRefusesPointsOfAnotherProgram) {
    RandSeed(3);
    TTestGP GP;
    Koza(GP);
    GP.Initialize();
    TFloatIndividual* A = Item(GP, 0);
    TFloatIndividual* B = Item(GP, 2);
    ASSERT_GT(A->FlattenedDNA().size(), 1u);
    ASSERT_GT(B->FlattenedDNA().size(), 1u);
    const std::string TextA = Text(GP, 0), TextB = Text(GP, 2);
    TAxGPNode<TGAFloat>* OfA = A->FlattenedDNA().back();
    TAxGPNode<TGAFloat>* OfB = B->FlattenedDNA().back();
    const char* Foreign = "The node is not part of the individual's program";
    ExpectError<EGPException>([&] { A->Graft(OfB, GP.GetTerminalNode()); }, Foreign);
    ExpectError<EGPException>([&] { A->Graft(nullptr, GP.GetTerminalNode()); }, Foreign);
    ExpectError<EGPException>([&] { A->Crossover(OfB, *B, B->DNA()); }, Foreign);
    ExpectError<EGPException>([&] { A->Crossover(A->DNA(), *B, OfA); }, Foreign);
    // Within one program a point inside the other would end up below itself.
    ExpectError<EGPException>([&] { A->Crossover(A->DNA(), *A, OfA); },
                              "Crossover points of one program must not lie inside one another");
    ExpectError<EGPException>([&] { A->Crossover(OfA, *A, OfA); },
                              "Crossover points of one program must not lie inside one another");
    EXPECT_EQ(Text(GP, 0), TextA);
    EXPECT_EQ(Text(GP, 2), TextB);
    EXPECT_TRUE(A->Contains(OfA));
    EXPECT_FALSE(A->NeedFitness());
    EXPECT_FALSE(B->NeedFitness());
}

// Mutate(Individual, Method) changes a program outside the generation loop too; whatever
// the method, the next read of the fitness asks the handler again.
TEST(GeneticProgramming, EveryMutationMethodLeavesTheFitnessStale) {
    RandSeed(5);
    TTestGP GP;
    Koza(GP);
    AddInstruction(*GP.Instructions(), "c")->SetOperation(TGPGeneticInstruction::gpConstant);
    GP.SetOnConstantMutation(
        [](TObject*, TAxGPNode<TGAFloat>& Node) { Node.SetValue(Node.Value() + 1); });
    GP.SetPointMutationProbability(1);
    GP.Initialize();
    for (int M = 0; M < 6; ++M) {
        TFloatIndividual* Individual = Item(GP, M);
        ASSERT_FALSE(Individual->NeedFitness());
        GP.Mutate(*Individual, static_cast<TGPMutationMethod>(M));
        EXPECT_TRUE(Individual->NeedFitness()) << GetEnumName(static_cast<TGPMutationMethod>(M));
    }
}

// SelectNode(Limit, BySize) takes a whole number: a probability given by mistake does not
// compile instead of asking for nodes of size 0.
template <class I>
concept SelectsByFractionalLimit = requires(I& Individual) {
    Individual.SelectNode(0.9, true);
};

TEST(GeneticProgramming, SelectNodeByLimitTakesWholeNumbersOnly) {
    static_assert(!SelectsByFractionalLimit<TFloatIndividual>);
    RandSeed(2);
    TTestGP GP;
    Koza(GP);
    GP.Initialize();
    TFloatIndividual* Tree = Item(GP, 0);
    EXPECT_EQ(Tree->SelectNode(0, true), nullptr);
    TAxGPNode<TGAFloat>* Leaf = Tree->SelectNode(1, true);
    ASSERT_NE(Leaf, nullptr);
    EXPECT_EQ(Leaf->Size(), 1);
    EXPECT_NE(Tree->SelectNode(Tree->DNA()->Depth(), false), nullptr);
}

} // namespace
} // namespace ax
