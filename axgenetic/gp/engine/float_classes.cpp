#include "axgenetic/gp/engine/float_classes.hpp"

#include <cmath>
#include <utility>

#include "axgenetic/platform/random.hpp"
#include "axgenetic/platform/text.hpp"

namespace ax {

namespace {

// The label of a float leaf: a variable's name, a constant's value.
std::string FloatLabel(const TAxGPNode<TGAFloat>& Node) {
    const auto* Instruction = Node.Instruction();
    if (!Instruction) return {};
    switch (Instruction->Operation()) {
    case TGPGeneticInstruction::gpVariable:
        return Instruction->DisplayName();
    case TGPGeneticInstruction::gpConstant:
        return FloatToStr(Node.Value());
    case TGPGeneticInstruction::gpFunction:
        break;
    }
    return {};
}

} // namespace

void TAxGPFloatInstruction::AssignEvents(const TPersistent& Source) {
    TAxGPInstruction<TGAFloat>::AssignEvents(Source);
    if (const auto* From = dynamic_cast<const TAxGPFloatInstruction*>(&Source)) {
        FOnExecuteBatch = From->FOnExecuteBatch;
        FWritesValues = From->FWritesValues;
    }
}

void TAxGPFloatInstruction::Assign(const TPersistent& Source) {
    TAxGPInstruction<TGAFloat>::Assign(Source);
    if (const auto* From = dynamic_cast<const TAxGPFloatInstruction*>(&Source)) {
        FRandomValue = From->FRandomValue;
        FRandomMin = From->FRandomMin;
        FRandomMax = From->FRandomMax;
        FRandomPerturbation = From->FRandomPerturbation;
    }
}

void TAxGPFloatInstruction::SetRandomRange(TGAFloat Min, TGAFloat Max) {
    if (!std::isfinite(Min) || !std::isfinite(Max)) return;
    if (Min > Max) std::swap(Min, Max);
    FRandomMin = Min;
    FRandomMax = Max;
}

TGAFloat TAxGPFloatInstruction::DrawRandomValue() const {
    return FRandomMin + (FRandomMax - FRandomMin) * Random();
}

TGAFloat TAxGPFloatInstruction::PerturbRandomValue(TGAFloat Value) const {
    return Value + (FRandomMax - FRandomMin) * FRandomPerturbation * (2 * Random() - 1);
}

TAxGPFloatNode::TNodePtr TAxGPFloatNode::CreateNode(TAxGPInstruction<TGAFloat>* Instruction) const {
    if (auto Node = EngineNode(Instruction)) return Node;
    return std::make_unique<TAxGPFloatNode>(Instruction);
}

std::string TAxGPFloatNode::ValueToString() const {
    return FloatLabel(*this);
}

TAxGPBinaryFloatNode::TNodePtr
TAxGPBinaryFloatNode::CreateNode(TAxGPInstruction<TGAFloat>* Instruction) const {
    if (auto Node = EngineNode(Instruction)) return Node;
    return std::make_unique<TAxGPBinaryFloatNode>(Instruction);
}

std::string TAxGPBinaryFloatNode::ValueToString() const {
    return FloatLabel(*this);
}

} // namespace ax
