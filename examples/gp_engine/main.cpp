// A host program that uses the GP engine directly: it defines a small language, builds two
// programs by hand, prints them and runs them on one point through Execute and on 1,000
// points through the batch evaluator.
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "axgenetic/axgenetic.hpp"

using namespace ax;
using TNode = TAxGPNode<TGAFloat>;
using TCtx = TAxGPContext<TGAFloat>;

namespace {

TAxGPFloatInstruction* AddInstruction(TAxGPFloatInstructions& Set, const char* Name,
                                      TGPGeneticInstruction Operation, int Arity = 0) {
    TAxGPFloatInstruction* I = Set.Add();
    I->SetName(Name);
    I->SetOperation(Operation);
    I->SetArity(Arity);
    return I;
}

std::unique_ptr<TNode> Node(TAxGPInstruction<TGAFloat>* I, std::unique_ptr<TNode> A = nullptr,
                            std::unique_ptr<TNode> B = nullptr,
                            std::unique_ptr<TNode> C = nullptr) {
    auto N = std::make_unique<TAxGPFloatNode>(I);
    for (auto* Child : {&A, &B, &C})
        if (*Child) N->AddChild(std::move(*Child));
    return N;
}

} // namespace

int main() {
    TAxGPFloatInstructions Set(nullptr);
    auto* X = AddInstruction(Set, "x", TGPGeneticInstruction::gpVariable);
    auto* C = AddInstruction(Set, "c", TGPGeneticInstruction::gpConstant);
    C->SetValue(2.5);

    // Add and Sqrt evaluate all their arguments: one definition gives them both the
    // per-point handler and the elementwise batch handler.
    auto* Add = AddInstruction(Set, "Add", TGPGeneticInstruction::gpFunction, 2);
    SetElementwiseHandlers(*Add, [](TGAFloat A, TGAFloat B) { return A + B; });
    auto* Sqrt = AddInstruction(Set, "Sqrt", TGPGeneticInstruction::gpFunction, 1);
    SetElementwiseHandlers(*Sqrt, [](TGAFloat A) { return std::sqrt(A); });
    // If is lazy: it evaluates only the branch it takes, so it has no batch form and the
    // batch evaluator runs its subtree point by point.
    auto* If = AddInstruction(Set, "If", TGPGeneticInstruction::gpFunction, 3);
    If->SetOnExecute([](TObject*, TNode& N, TCtx& Ctx, TGAFloat& R) {
        R = N.GetChild(0)->Execute(Ctx) > 0 ? N.GetChild(1)->Execute(Ctx)
                                            : N.GetChild(2)->Execute(Ctx);
    });

    auto Simple = Node(Add, Node(X), Node(C));
    // (Add (If x (Sqrt x) -1) 2.5): the square root is taken only where x > 0.
    auto Lazy = Node(Add, Node(If, Node(X), Node(Sqrt, Node(X)), Node(C)), Node(C));
    Lazy->GetChild(0)->GetChild(2)->SetValue(-1);

    TCtx Context;
    Context.Values().AddOrSetValue("x", 4.0);
    for (TNode* Program : {Simple.get(), Lazy.get()})
        std::printf("%s: size %d, depth %d, at x = 4: %g\n", Program->ToString().c_str(),
                    Program->Size(), Program->Depth(), Program->Execute(Context));

    constexpr int Points = 1000;
    TAxGPDataSet Data(Points);
    auto Xs = Data.AddColumn("x");
    for (int P = 0; P < Points; ++P)
        Xs[static_cast<std::size_t>(P)] = P / 100.0 - 5.0;
    TAxGPBatchEvaluator Evaluator;
    std::vector<TGAFloat> Out(Points);
    for (TNode* Program : {Simple.get(), Lazy.get()}) {
        Evaluator.Evaluate(*Program, Data, Out);
        // The same points through Execute, to show both paths agree.
        int Equal = 0;
        for (int P = 0; P < Points; ++P) {
            Context.Values().AddOrSetValue("x", Xs[static_cast<std::size_t>(P)]);
            Equal += Program->Execute(Context) == Out[static_cast<std::size_t>(P)];
        }
        std::printf(
            "%s over %d points: first %g, last %g, %d equal to Execute, %d of %d compiled steps "
            "run point by point\n",
            Program->ToString().c_str(), Points, Out.front(), Out.back(), Equal,
            Evaluator.FallbackCount(), Evaluator.CompiledNodeCount());
    }
    return 0;
}
