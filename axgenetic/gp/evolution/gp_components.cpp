#include "axgenetic/gp/evolution/gp_components.hpp"

namespace ax {

// A constructor cannot reach overrides: each concrete class makes its own instruction set
// here, while it is still empty.

TAxCustomGeneticProgramming::TAxCustomGeneticProgramming(TComponent* AOwner)
    : generics::TAxCustomGeneticProgramming<TGAFloat>(AOwner) {
    RecreateInstructions();
}

std::unique_ptr<TAxGPInstructions<TGAFloat>>
TAxCustomGeneticProgramming::CreateInstructions(TCollectionItemClass) {
    return std::make_unique<TAxGPFloatInstructions>(this);
}

TAxCustomGeneticProgramming::TNodePtr
TAxCustomGeneticProgramming::CreateNode(TInstruction* Instruction) {
    return std::make_unique<TAxGPFloatNode>(Instruction);
}

TAxCustomBinaryGeneticProgramming::TAxCustomBinaryGeneticProgramming(TComponent* AOwner)
    : generics::TAxCustomGeneticProgramming<TGAFloat>(AOwner) {
    RecreateInstructions();
}

std::unique_ptr<TAxGPInstructions<TGAFloat>>
TAxCustomBinaryGeneticProgramming::CreateInstructions(TCollectionItemClass) {
    return std::make_unique<TAxGPFloatInstructions>(this);
}

TAxCustomBinaryGeneticProgramming::TNodePtr
TAxCustomBinaryGeneticProgramming::CreateNode(TInstruction* Instruction) {
    return std::make_unique<TAxGPBinaryFloatNode>(Instruction);
}

TAxCustomGeneticProgrammingVariant::TAxCustomGeneticProgrammingVariant(TComponent* AOwner)
    : generics::TAxCustomGeneticProgramming<Variant>(AOwner) {
    RecreateInstructions();
}

std::unique_ptr<TAxGPInstructions<Variant>>
TAxCustomGeneticProgrammingVariant::CreateInstructions(TCollectionItemClass) {
    return std::make_unique<TAxGPVariantInstructions>(this);
}

TAxCustomGeneticProgrammingVariant::TNodePtr
TAxCustomGeneticProgrammingVariant::CreateNode(TInstruction* Instruction) {
    return std::make_unique<TAxGPVariantNode>(Instruction);
}

} // namespace ax
