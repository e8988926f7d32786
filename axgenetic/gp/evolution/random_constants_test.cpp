// Ephemeral random constants: float constant instructions whose nodes draw their own value.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "axgenetic/gp/evolution/gp_components.hpp"
#include "axgenetic/platform/random.hpp"
#include "axgenetic/platform/text.hpp"

namespace ax {
namespace {

// x, Add and an ephemeral random constant in [-2, 3).
void Prepare(TAxGeneticProgramming& GP) {
    auto& Set = static_cast<TAxGPFloatInstructions&>(*GP.Instructions());
    Set.AddElementwise("Add", [](TGAFloat A, TGAFloat B) { return A + B; });
    Set.Add()->SetName("x");
    auto& C = static_cast<TAxGPFloatInstruction&>(*Set.Add());
    C.SetName("c");
    C.SetOperation(TGPGeneticInstruction::gpConstant);
    C.SetRandomValue(true);
    C.SetRandomRange(3, -2);
    GP.SetInitialPopulation(20);
    GP.SetInitializationDepth(4);
    GP.SetOnEvaluateFitness([](TAxGPIndividual<TGAFloat>&, TGAFitness& F) { F = 0; });
}

void ConstantValues(const TAxGPNode<TGAFloat>& Node, std::vector<double>& Out) {
    if (Node.Instruction()->Operation() == TGPGeneticInstruction::gpConstant)
        Out.push_back(Node.Value());
    for (int I = 0; I < Node.GetChildCount(); ++I)
        if (Node.GetChild(I)) ConstantValues(*Node.GetChild(I), Out);
}

std::vector<double> PopulationConstants(TAxGeneticProgramming& GP) {
    std::vector<double> Out;
    for (int I = 0; I < GP.Population()->Count(); ++I)
        ConstantValues(*GP.Population()->Items(I)->DNA(), Out);
    return Out;
}

TEST(RandomConstants, EveryNewNodeDrawsItsOwnValueInTheRange) {
    RandSeed(11);
    TAxGeneticProgramming GP;
    Prepare(GP);
    GP.Initialize();
    const auto Values = PopulationConstants(GP);
    ASSERT_GT(Values.size(), 10u);
    const std::set<double> Distinct(Values.begin(), Values.end());
    EXPECT_EQ(Distinct.size(), Values.size());
    for (const double V : Values) {
        EXPECT_GE(V, -2);
        EXPECT_LT(V, 3);
    }
}

TEST(RandomConstants, ConstantMutationMovesTheValueByAtMostThePerturbation) {
    RandSeed(12);
    TAxGeneticProgramming GP;
    Prepare(GP);
    auto& C = static_cast<TAxGPFloatInstruction&>(*GP.Instructions()->Items(2));
    C.SetRandomPerturbation(0.01); // half width 0.05
    GP.Initialize();
    auto& Item = *GP.Population()->Items(0);
    std::vector<double> Before, After;
    ConstantValues(*Item.DNA(), Before);
    ASSERT_FALSE(Before.empty());
    GP.Mutate(Item, TGPMutationMethod::mmConstant);
    ConstantValues(*Item.DNA(), After);
    ASSERT_EQ(After.size(), Before.size());
    int Changed = 0;
    for (std::size_t I = 0; I < Before.size(); ++I) {
        EXPECT_LE(std::abs(After[I] - Before[I]), 0.05);
        Changed += After[I] != Before[I];
    }
    EXPECT_EQ(Changed, 1);
}

TEST(RandomConstants, DocumentsRoundTripTheRandomConstants) {
    RandSeed(13);
    TAxGeneticProgramming GP;
    Prepare(GP);
    GP.Initialize();
    std::stringstream Document;
    GP.SaveToStream(Document);
    TAxGeneticProgramming Back;
    Back.LoadFromStream(Document);
    const auto& C = static_cast<const TAxGPFloatInstruction&>(*Back.Instructions()->Items(2));
    EXPECT_TRUE(C.RandomValue());
    EXPECT_EQ(C.RandomMin(), -2);
    EXPECT_EQ(C.RandomMax(), 3);
    EXPECT_EQ(C.RandomPerturbation(), TAxGPFloatInstruction::DefaultRandomPerturbation);
    // Values are written as the documents write floats; the same text reads back.
    std::vector<std::string> Saved, Loaded;
    for (const double V : PopulationConstants(GP))
        Saved.push_back(FloatToStr(V));
    for (const double V : PopulationConstants(Back))
        Loaded.push_back(FloatToStr(V));
    EXPECT_EQ(Loaded, Saved);
}

TEST(RandomConstants, DocumentsWithoutThemKeepTheirShape) {
    TAxGeneticProgramming GP;
    auto& Set = static_cast<TAxGPFloatInstructions&>(*GP.Instructions());
    auto& C = static_cast<TAxGPFloatInstruction&>(*Set.Add());
    C.SetName("c");
    C.SetOperation(TGPGeneticInstruction::gpConstant);
    std::stringstream Document;
    GP.SaveToStream(Document);
    EXPECT_EQ(Document.str().find("Random"), std::string::npos);
}

} // namespace
} // namespace ax
