// The GP components hosts place: float programs over tree nodes, float programs over
// binary nodes (two children at most), and variant programs.
//
// Each concrete class fixes its instruction set class (whatever item class a caller asks
// for) and its node class; everything else is the generic component's, typed event
// setters included, e.g.
// GP.SetOnEvaluateFitness([&](TAxGPIndividual<TGAFloat>& Item, TGAFitness& Fitness) {...}).
#pragma once

#include "axgenetic/platform/export.hpp"

#include <memory>
#include <string>

#include "axgenetic/gp/engine/float_classes.hpp"
#include "axgenetic/gp/engine/variant_classes.hpp"
#include "axgenetic/gp/evolution/genetic_programming.hpp"
#include "axgenetic/platform/streaming.hpp"

namespace ax {

namespace generics {

// A GP component whose instruction set is a TSet and whose nodes are TNodeClass nodes.
template <class T, class TSet, class TNodeClass>
class AXGENETIC_API TAxTypedGeneticProgramming
    : public TAxTypedEngine<T, TAxCustomGeneticProgramming<T>, TSet, TNodeClass> {
    using TBase = TAxTypedEngine<T, TAxCustomGeneticProgramming<T>, TSet, TNodeClass>;

public:
    using TBase::TBase;
};

} // namespace generics

// Float programs over TAxGPFloatNode trees.
class AXGENETIC_API TAxCustomGeneticProgramming
    : public generics::TAxTypedGeneticProgramming<TGAFloat, TAxGPFloatInstructions,
                                                  TAxGPFloatNode> {
public:
    using TAxTypedGeneticProgramming::TAxTypedGeneticProgramming;
    std::string ClassName() const override { return "TAxCustomGeneticProgramming"; }
};

class AXGENETIC_API TAxGeneticProgramming : public TAxCustomGeneticProgramming {
public:
    using TAxCustomGeneticProgramming::TAxCustomGeneticProgramming;
    std::string ClassName() const override { return "TAxGeneticProgramming"; }
    // The GP settings and the instructions (gp_persistence.cpp).
    void GetPublishedProperties(TPublishedProperties& List) const override;
};

// Float programs over TAxGPBinaryFloatNode trees: every function node holds two children
// at most, so functions of a larger arity cannot be placed (initialization raises).
class AXGENETIC_API TAxCustomBinaryGeneticProgramming
    : public generics::TAxTypedGeneticProgramming<TGAFloat, TAxGPFloatInstructions,
                                                  TAxGPBinaryFloatNode> {
public:
    using TAxTypedGeneticProgramming::TAxTypedGeneticProgramming;
    std::string ClassName() const override { return "TAxCustomBinaryGeneticProgramming"; }
};

class AXGENETIC_API TAxBinaryGeneticProgramming : public TAxCustomBinaryGeneticProgramming {
public:
    using TAxCustomBinaryGeneticProgramming::TAxCustomBinaryGeneticProgramming;
    std::string ClassName() const override { return "TAxBinaryGeneticProgramming"; }
    // The GP settings and the instructions (gp_persistence.cpp).
    void GetPublishedProperties(TPublishedProperties& List) const override;
};

// Variant programs over TAxGPVariantNode trees.
class AXGENETIC_API TAxCustomGeneticProgrammingVariant
    : public generics::TAxTypedGeneticProgramming<Variant, TAxGPVariantInstructions,
                                                  TAxGPVariantNode> {
public:
    using TAxTypedGeneticProgramming::TAxTypedGeneticProgramming;
    std::string ClassName() const override { return "TAxCustomGeneticProgrammingVariant"; }
};

class AXGENETIC_API TAxGeneticProgrammingVariant : public TAxCustomGeneticProgrammingVariant {
public:
    using TAxCustomGeneticProgrammingVariant::TAxCustomGeneticProgrammingVariant;
    std::string ClassName() const override { return "TAxGeneticProgrammingVariant"; }
    // The GP settings and the instructions (gp_persistence.cpp).
    void GetPublishedProperties(TPublishedProperties& List) const override;
};

} // namespace ax
