// The 6-multiplexer: two address bits a0, a1 choose one of four data bits d0..d3, and the
// program must output the chosen one for all 64 inputs. The program's values are Boolean
// variants; If evaluates its condition and then only the branch it takes.
#include <cstdio>

#include "demo.hpp"

namespace {

using ax::Variant;
using TNode = ax::TAxGPNode<Variant>;
using TContext = ax::TAxGPContext<Variant>;

ax::TAxGPInstruction<Variant>* AddFunction(ax::TAxGPVariantInstructions& Set, const char* Name,
                                           int Arity, ax::TVariantNodeEvent Handler) {
    auto* F = Set.Add();
    F->SetName(Name);
    F->SetArity(Arity);
    F->SetOnExecute(std::move(Handler));
    return F;
}

// Handlers convert every argument to the type they compute with: a variant constant
// comes back from a document as text ("1", "0.5"), and only a converting handler
// (ToBool, ToDouble) gives the same result for it as for the number it was.
bool Arg(TNode& Node, int Index, TContext& Context) {
    return Node.GetChild(Index)->Execute(Context).ToBool();
}

} // namespace

std::string RunMultiplexer(std::uint64_t Seed) {
    std::printf("\n== 6-multiplexer over Boolean variants (minimize the wrong answers of 64) ==\n");
    ax::RandSeed(Seed);
    ax::TAxGeneticProgrammingVariant GP;
    ax::TAxGPVariantInstructions& Set = *GP.Instructions();
    AddFunction(Set, "And", 2, [](ax::TObject*, TNode& N, TContext& C, Variant& R) {
        R = Arg(N, 0, C) && Arg(N, 1, C);
    });
    AddFunction(Set, "Or", 2, [](ax::TObject*, TNode& N, TContext& C, Variant& R) {
        R = Arg(N, 0, C) || Arg(N, 1, C);
    });
    AddFunction(Set, "Not", 1,
                [](ax::TObject*, TNode& N, TContext& C, Variant& R) { R = !Arg(N, 0, C); });
    AddFunction(Set, "If", 3, [](ax::TObject*, TNode& N, TContext& C, Variant& R) {
        R = N.GetChild(Arg(N, 0, C) ? 1 : 2)->Execute(C);
    });
    const char* Inputs[] = {"a0", "a1", "d0", "d1", "d2", "d3"};
    for (const char* Name : Inputs)
        Set.Add()->SetName(Name);

    TContext Context;
    GP.SetOnEvaluateFitness([&](ax::TAxGPIndividual<Variant>& Program, ax::TGAFitness& Wrong) {
        for (int Case = 0; Case < 64; ++Case) {
            for (int Bit = 0; Bit < 6; ++Bit)
                Context.Values().AddOrSetValue(Inputs[Bit], Variant((Case >> Bit & 1) != 0));
            const int Address = (Case & 1) + 2 * (Case >> 1 & 1);
            const bool Expected = (Case >> (2 + Address) & 1) != 0;
            Wrong += Program.Execute(Context).ToBool() != Expected;
        }
    });
    // Selection weighs each program's size in, as a tie-break only (a wrong answer counts as
    // much as a million nodes): among equally good programs the smaller one wins.
    GP.SetFitnessMethod(ax::TGAFitnessMethod::fmWeightedMinimize);
    GP.SetOnEvaluateWeightedFitness([](ax::TAxGPIndividual<Variant>& Item, ax::TGAFitness& F) {
        F = Item.Fitness() + Item.DNA()->Size() / 1e6;
    });
    // Children of a pair start as copies of both parents, so crossover combines what two
    // programs found (by default both copy the first parent).
    GP.SetTwoParentCrossover(true);
    Evolve(GP, 500, 0, false);

    ax::TAxGPIndividual<Variant>* Best = GP.FittestIndividual();
    std::printf("  best after %d generations: %g wrong of 64, %d nodes\n    out = %s\n",
                GP.Generation(), Best->Fitness(), Best->DNA()->Size(),
                Formula(*Best->DNA()).c_str());
    return Best->DNA()->ToString();
}
