// Test support for the GP component tests: float instructions made in one line. Not
// installed.
#pragma once

#include <string>

#include "axgenetic/gp/evolution/gp_components.hpp"

namespace ax {

// Appends the instruction Name of Arity and Kind to Set. A binary one computes the sum
// (Add), the difference (Sub) or else the product of its two arguments.
inline TAxGPInstruction<TGAFloat>*
AddInstruction(TAxGPInstructions<TGAFloat>& Set, const std::string& Name, int Arity = 0,
               TGPGeneticInstruction Kind = TGPGeneticInstruction::gpVariable) {
    auto* I = Set.Add();
    I->SetName(Name);
    I->SetOperation(Kind);
    I->SetArity(Arity);
    if (Arity == 2)
        I->SetOnExecute(
            [Name](TObject*, TAxGPNode<TGAFloat>& N, TAxGPContext<TGAFloat>& C, TGAFloat& R) {
                const TGAFloat A = N.GetChild(0)->Execute(C), B = N.GetChild(1)->Execute(C);
                R = Name == "Add" ? A + B : Name == "Sub" ? A - B : A * B;
            });
    return I;
}

} // namespace ax
