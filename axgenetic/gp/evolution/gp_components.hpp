// The GP components hosts place: float programs over tree nodes, float programs over
// binary nodes (two children at most), and variant programs.
//
// Each concrete class fixes its instruction set class (whatever item class a caller asks
// for) and its node class; everything else is the generic component's.
#pragma once

#include <memory>
#include <string>

#include "axgenetic/gp/engine/float_classes.hpp"
#include "axgenetic/gp/engine/variant_classes.hpp"
#include "axgenetic/gp/evolution/genetic_programming.hpp"

namespace ax {

// Float programs over TAxGPFloatNode trees.
class TAxCustomGeneticProgramming : public generics::TAxCustomGeneticProgramming<TGAFloat> {
public:
    explicit TAxCustomGeneticProgramming(TComponent* AOwner = nullptr);
    std::string ClassName() const override { return "TAxCustomGeneticProgramming"; }

    TAxGPFloatInstructions* Instructions() const {
        return static_cast<TAxGPFloatInstructions*>(
            generics::TAxCustomGeneticProgramming<TGAFloat>::Instructions());
    }
    std::unique_ptr<TAxGPInstructions<TGAFloat>>
    CreateInstructions(TCollectionItemClass ItemClass) override;
    TNodePtr CreateNode(TInstruction* Instruction) override;
};

class TAxGeneticProgramming : public TAxCustomGeneticProgramming {
public:
    using TAxCustomGeneticProgramming::TAxCustomGeneticProgramming;
    std::string ClassName() const override { return "TAxGeneticProgramming"; }
};

// Float programs over TAxGPBinaryFloatNode trees: every function node holds two children
// at most, so functions of a larger arity cannot be placed (initialization raises).
class TAxCustomBinaryGeneticProgramming : public generics::TAxCustomGeneticProgramming<TGAFloat> {
public:
    explicit TAxCustomBinaryGeneticProgramming(TComponent* AOwner = nullptr);
    std::string ClassName() const override { return "TAxCustomBinaryGeneticProgramming"; }

    TAxGPFloatInstructions* Instructions() const {
        return static_cast<TAxGPFloatInstructions*>(
            generics::TAxCustomGeneticProgramming<TGAFloat>::Instructions());
    }
    std::unique_ptr<TAxGPInstructions<TGAFloat>>
    CreateInstructions(TCollectionItemClass ItemClass) override;
    TNodePtr CreateNode(TInstruction* Instruction) override;
};

class TAxBinaryGeneticProgramming : public TAxCustomBinaryGeneticProgramming {
public:
    using TAxCustomBinaryGeneticProgramming::TAxCustomBinaryGeneticProgramming;
    std::string ClassName() const override { return "TAxBinaryGeneticProgramming"; }
};

// Variant programs over TAxGPVariantNode trees.
class TAxCustomGeneticProgrammingVariant : public generics::TAxCustomGeneticProgramming<Variant> {
public:
    explicit TAxCustomGeneticProgrammingVariant(TComponent* AOwner = nullptr);
    std::string ClassName() const override { return "TAxCustomGeneticProgrammingVariant"; }

    TAxGPVariantInstructions* Instructions() const {
        return static_cast<TAxGPVariantInstructions*>(
            generics::TAxCustomGeneticProgramming<Variant>::Instructions());
    }
    std::unique_ptr<TAxGPInstructions<Variant>>
    CreateInstructions(TCollectionItemClass ItemClass) override;
    TNodePtr CreateNode(TInstruction* Instruction) override;
};

class TAxGeneticProgrammingVariant : public TAxCustomGeneticProgrammingVariant {
public:
    using TAxCustomGeneticProgrammingVariant::TAxCustomGeneticProgrammingVariant;
    std::string ClassName() const override { return "TAxGeneticProgrammingVariant"; }
};

} // namespace ax
