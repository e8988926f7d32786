// The function set of the quartic workloads: the library's Add, Sub, Mul and protected Div
// (1 where the denominator's magnitude is below 1e-9), whose batch steps run vectorized
// for the processor, the variable x and the constant 1.
#pragma once

#include "axgenetic/axgenetic.hpp"

namespace workload {

inline constexpr double DivisionGuard = 1e-9;

inline void AddQuarticLanguage(ax::TAxGPFloatInstructions& Set) {
    Set.AddElementwise("Add", ax::TGPElementwiseOperation::eoAdd);
    Set.AddElementwise("Sub", ax::TGPElementwiseOperation::eoSub);
    Set.AddElementwise("Mul", ax::TGPElementwiseOperation::eoMul);
    Set.AddElementwise("Div", ax::TGPElementwiseOperation::eoProtectedDiv, DivisionGuard);
    Set.Add()->SetName("x");
    auto* One = Set.Add();
    One->SetName("one");
    One->SetOperation(ax::TGPGeneticInstruction::gpConstant);
    One->SetValue(1.0);
}

} // namespace workload
