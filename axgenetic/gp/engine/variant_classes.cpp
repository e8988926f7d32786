#include "axgenetic/gp/engine/variant_classes.hpp"

namespace ax {

TAxGPVariantNode::TNodePtr
TAxGPVariantNode::CreateNode(TAxGPInstruction<Variant>* Instruction) const {
    if (auto Node = EngineNode(Instruction)) return Node;
    return std::make_unique<TAxGPVariantNode>(Instruction);
}

std::string TAxGPVariantNode::ValueToString() const {
    const auto* I = Instruction();
    if (!I) return {};
    switch (I->Operation()) {
    case TGPGeneticInstruction::gpVariable:
        return I->DisplayName();
    case TGPGeneticInstruction::gpConstant:
        return Value().ToString();
    case TGPGeneticInstruction::gpFunction:
        break;
    }
    return {};
}

} // namespace ax
