// The classes variant programs are built from: instructions with a published execution
// handler, their set, and the tree node class with the variant text of constants.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <functional>
#include <string>

#include "axgenetic/gp/engine/instruction.hpp"
#include "axgenetic/gp/engine/node.hpp"
#include "axgenetic/platform/variant.hpp"

namespace ax {

using TVariantNodeEvent = TNodeEvent<Variant>;
using TVariantNodeNotifyEvent = std::function<void(TObject* Sender, TAxGPNode<Variant>& Node)>;

class AXGENETIC_API TAxGPVariantInstruction : public TAxGPInstruction<Variant> {
public:
    static constexpr const char* StaticClassName = "TAxGPVariantInstruction";
    std::string ClassName() const override { return StaticClassName; }
};

class AXGENETIC_API TAxGPVariantInstructions : public TAxGPInstructions<Variant> {
public:
    explicit TAxGPVariantInstructions(
        TPersistent* AOwner, TCollectionItemClass ItemClass = ClassOf<TAxGPVariantInstruction>())
        : TAxGPInstructions<Variant>(AOwner, ItemClass) {}
    std::string ClassName() const override { return "TAxGPVariantInstructions"; }
};

// A variant tree node; without an engine it makes nodes of its own class.
class AXGENETIC_API TAxGPVariantNode : public TAxGPTreeNode<Variant> {
public:
    explicit TAxGPVariantNode(TAxGPInstruction<Variant>* Instruction = nullptr)
        : TAxGPTreeNode<Variant>(Instruction) {}
    std::string ClassName() const override { return "TAxGPVariantNode"; }
    TNodePtr CreateNode(TAxGPInstruction<Variant>* Instruction) const override;
    using TAxGPNode<Variant>::CreateNode;
    // A variable's display name, a constant's value as variant text, else empty.
    std::string ValueToString() const override;

protected:
    const std::type_info* LibraryClass() const override { return &typeid(TAxGPVariantNode); }
};

} // namespace ax
