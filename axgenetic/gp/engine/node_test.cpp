#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/gp/engine/float_classes.hpp"
#include "axgenetic/platform/expect_error_test_support.hpp"

namespace ax {
namespace {

using TNode = TAxGPNode<TGAFloat>;
using TNodePtr = std::unique_ptr<TNode>;

// x, y, 2.5, Add, Neg (arity 1), a lazy If and Rnd (arity 0), all without an engine.
struct TLanguage {
    TAxGPFloatInstructions Set{nullptr};
    TAxGPInstruction<TGAFloat>* Add(const std::string& Name, TGPGeneticInstruction Op, int Arity,
                                    TFloatNodeEvent Handler = {}) {
        auto* I = Set.Add();
        I->SetName(Name);
        I->SetOperation(Op);
        I->SetArity(Arity);
        I->SetOnExecute(std::move(Handler));
        return I;
    }
    TAxGPInstruction<TGAFloat>* X = Add("x", TGPGeneticInstruction::gpVariable, 0);
    TAxGPInstruction<TGAFloat>* Two = Add("c", TGPGeneticInstruction::gpConstant, 0);
    TAxGPInstruction<TGAFloat>* Sum =
        Add("Add", TGPGeneticInstruction::gpFunction, 2,
            [](TObject*, TNode& N, TAxGPContext<TGAFloat>& C, TGAFloat& R) {
                R = N.GetChild(0)->Execute(C) + N.GetChild(1)->Execute(C);
            });
    TAxGPInstruction<TGAFloat>* Rnd = Add("Rnd", TGPGeneticInstruction::gpFunction, 0);
    TLanguage() { Two->SetValue(2.5); }
};

template <class N = TAxGPFloatNode> TNodePtr Leaf(TAxGPInstruction<TGAFloat>* I) {
    return std::make_unique<N>(I);
}

template <class N = TAxGPFloatNode>
TNodePtr Apply(TAxGPInstruction<TGAFloat>* F, TNodePtr A, TNodePtr B) {
    auto Node = std::make_unique<N>(F);
    Node->AddChild(std::move(A));
    Node->AddChild(std::move(B));
    return Node;
}

std::set<const TNode*> NodesOf(const TNode& Root) {
    std::set<const TNode*> Out{&Root};
    for (int I = 0; I < Root.SlotCount(); ++I)
        if (const auto* C = Root.GetChild(I)) Out.merge(NodesOf(*C));
    return Out;
}

TEST(GPNode, EvaluatesTheTreeItPrints) {
    TLanguage L;
    auto Tree = Apply(L.Sum, Leaf(L.X), Leaf(L.Two));
    EXPECT_EQ(Tree->ToString(), "(Add x 2.5)");
    EXPECT_EQ(Leaf(L.Rnd)->ToString(), "Rnd");
    EXPECT_EQ(Leaf(nullptr)->ToString(), "nil");
    TAxGPFloatContext Context;
    Context.Values().Add("x", 1.25);
    EXPECT_EQ(Tree->Execute(Context), 3.75);
    Tree->GetChild(1)->SetValue(-0.125); // the node's own value wins over the instruction's
    EXPECT_EQ(Tree->ToString(), "(Add x -0.125)");
    EXPECT_EQ(Tree->Execute(Context), 1.125);
}

TEST(GPNode, MissingArgumentsOrInstructionRaiseBeforeTheHandlerRuns) {
    TLanguage L;
    TAxGPFloatContext Context;
    Context.Values().Add("x", 1.25);
    bool Ran = false;
    L.Sum->SetOnExecute([&](TObject*, TNode&, TAxGPContext<TGAFloat>&, TGAFloat&) { Ran = true; });
    auto Short = Apply(L.Sum, Leaf(L.X), nullptr);
    ExpectError<EGPException>([&] { Short->Execute(Context); },
                              "Invalid number of arguments (1) for \"Add\" instruction");
    ExpectError<EGPException>([&] { Leaf(nullptr)->Execute(Context); },
                              "No instruction assigned to node");
    EXPECT_FALSE(Ran);
}

TEST(GPNode, ChildIndexesOutOfRangeAreRefused) {
    TLanguage L;
    auto Short = Apply(L.Sum, Leaf(L.X), nullptr);
    EXPECT_THROW(Short->GetChild(1), EListError);
    EXPECT_THROW(Short->InsertChild(3, Leaf(L.X)), EListError);
}

TEST(GPNode, OnlyArityZeroIsTerminal) {
    TLanguage L;
    EXPECT_TRUE(Leaf(L.Rnd)->IsTerminal());
    EXPECT_FALSE(Apply(L.Sum, Leaf(L.X), nullptr)->IsTerminal());
}

TEST(GPNode, ALazyHandlerRunsOnlyTheBranchItTakes) {
    TLanguage L;
    TAxGPFloatContext Context;
    int Evaluated = 0;
    auto* Count =
        L.Add("Count", TGPGeneticInstruction::gpFunction, 0,
              [&](TObject*, TNode&, TAxGPContext<TGAFloat>&, TGAFloat& R) { R = ++Evaluated; });
    auto* If = L.Add("If", TGPGeneticInstruction::gpFunction, 3,
                     [](TObject*, TNode& N, TAxGPContext<TGAFloat>& C, TGAFloat& R) {
                         R = N.GetChild(0)->Execute(C) > 0 ? N.GetChild(1)->Execute(C)
                                                           : N.GetChild(2)->Execute(C);
                     });
    auto Lazy = std::make_unique<TAxGPFloatNode>(If);
    Lazy->AddChild(Leaf(L.X));
    Lazy->AddChild(Leaf(L.Two));
    Lazy->AddChild(Leaf(Count));
    Context.Values()["x"] = 1.0;
    EXPECT_EQ(Lazy->Execute(Context), 2.5);
    EXPECT_EQ(Evaluated, 0);
    Context.Values()["x"] = -1.0;
    EXPECT_EQ(Lazy->Execute(Context), 1.0);
}

TEST(GPNode, AConstTreeIsEvaluated) {
    TLanguage L;
    const TNodePtr Tree = Apply(L.Sum, Leaf(L.X), Leaf(L.Two));
    const TNode& Kept = *Tree;
    TAxGPFloatContext Context;
    Context.Values()["x"] = 1.0;
    EXPECT_EQ(Kept.Execute(Context), 3.5);
    EXPECT_EQ(Kept.ToString(), "(Add x 2.5)");
}

TEST(GPNode, MeasuresFollowMovesBetweenParents) {
    TLanguage L;
    auto A = Apply(L.Sum, Leaf(L.X), Leaf(L.Two));
    auto B = Apply(L.Sum, Apply(L.Sum, Leaf(L.X), Leaf(L.X)), Leaf(L.Two));
    EXPECT_EQ(Leaf(L.X)->Depth(), 0);
    EXPECT_EQ(Leaf(L.X)->Size(), 1);
    EXPECT_EQ(std::make_pair(A->Depth(), A->Size()), std::make_pair(1, 3));
    EXPECT_EQ(std::make_pair(B->Depth(), B->Size()), std::make_pair(2, 5));
    A->GetChild(0)->AddChild(Leaf(L.Two)); // a grandchild, no explicit reset
    EXPECT_EQ(std::make_pair(A->Depth(), A->Size()), std::make_pair(2, 4));

    TNode* Inner = B->GetChild(0);
    Inner->MoveTo(*A->GetChild(1)); // one call, from one tree into the other
    EXPECT_EQ(Inner->Parent(), A->GetChild(1));
    EXPECT_EQ(std::make_pair(B->Depth(), B->Size()), std::make_pair(1, 2));
    EXPECT_EQ(std::make_pair(A->Depth(), A->Size()), std::make_pair(3, 7));
    EXPECT_EQ(A->ToString(), "(Add (x 2.5) (2.5 (Add x x)))");

    TNodePtr Taken = Inner->Detach();
    EXPECT_EQ(Taken->Parent(), nullptr);
    EXPECT_EQ(A->Size(), 4);
    EXPECT_EQ(Taken->Detach(), nullptr);
    EXPECT_THROW(Taken->MoveTo(*A), EGPException);
    EXPECT_EQ(A->ExtractChild(Taken.get()), nullptr); // not a child: nothing changes
    EXPECT_EQ(A->GetChildCount(), 2);
    A->InsertChild(0, std::move(Taken));
    EXPECT_EQ(A->ToString(), "(Add (Add x x) (x 2.5) 2.5)");
    EXPECT_EQ(A->IndexOf(A->GetChild(2)), 2);
}

// (Add (Add x 4) Rnd), its size cached.
TNodePtr CloneSample(TLanguage& L) {
    auto Tree = Apply(L.Sum, Apply(L.Sum, Leaf(L.X), Leaf(L.Two)), Leaf(L.Rnd));
    Tree->GetChild(0)->GetChild(1)->SetValue(4.0);
    Tree->Size();
    return Tree;
}

TEST(GPNode, ClonesAreEqualDisjointCopies) {
    TLanguage L;
    auto Tree = CloneSample(L);
    TNodePtr Copy = Tree->Clone();
    EXPECT_EQ(Copy->ToString(), Tree->ToString());
    EXPECT_EQ(Copy->Size(), 5);
    EXPECT_EQ(Copy->Depth(), 2);
    EXPECT_EQ(Copy->ClassName(), "TAxGPFloatNode");
    auto Mine = NodesOf(*Tree), Theirs = NodesOf(*Copy);
    for (const auto* N : Theirs)
        EXPECT_EQ(Mine.count(N), 0u);
}

TEST(GPNode, ACloneUnderAParentIsItsChild) {
    TLanguage L;
    auto Tree = CloneSample(L);
    auto Holder = Leaf(L.Rnd);
    TNode* Under = Tree->GetChild(0)->Clone(*Holder);
    EXPECT_EQ(Under->Parent(), Holder.get());
    EXPECT_EQ(Holder->ToString(), "(Rnd (Add x 4))");
    Holder->Clear();
    EXPECT_EQ(Holder->ToString(), "nil");
}

TEST(GPNode, AssignReplacesASubtreeInPlace) {
    TLanguage L;
    auto Tree = CloneSample(L);
    Tree->GetChild(1)->Assign(*Tree->GetChild(0)->GetChild(0));
    EXPECT_EQ(Tree->ToString(), "(Add (Add x 4) x)");
}

// Node memory freed on one thread is handed out again on another; no tree sees another's.
TEST(GPNode, ClonesReuseMemoryFreedOnAnotherThread) {
    TLanguage L;
    auto Tree = CloneSample(L);
    const std::string Text = Tree->ToString();
    std::vector<TNodePtr> Copies;
    for (int I = 0; I < 40; ++I)
        Copies.push_back(Tree->Clone());
    std::thread([&] {
        Copies.resize(20); // freed here, then the thread ends
        for (int I = 0; I < 10; ++I)
            Copies.push_back(Tree->Clone());
    }).join();
    Copies.resize(10);
    for (int I = 0; I < 30; ++I)
        Copies.push_back(Apply(L.Sum, Tree->Clone(), Leaf(L.Two)));
    for (std::size_t I = 0; I < Copies.size(); ++I)
        EXPECT_EQ(Copies[I]->ToString(), I < 10 ? Text : "(Add " + Text + " 2.5)");
}

// Made before its thread's first node, so destroyed after the thread gave its node memory
// up: it frees the tree it holds then, and makes a node.
struct TLateHolder {
    TNodePtr Tree;
    TAxGPInstruction<TGAFloat>* Instruction = nullptr;
    TGAFloat* Made = nullptr;
    ~TLateHolder() {
        if (!Instruction) return;
        Tree.reset();
        auto Node = Leaf(Instruction);
        Node->SetValue(7.0);
        *Made = Node->Value();
    }
};

TEST(GPNode, NodesOutliveTheThreadThatMadeThemAndAreMadeAfterItsEnd) {
    TLanguage L;
    auto Tree = CloneSample(L);
    TGAFloat Made = 0;
    TNodePtr Kept;
    std::thread([&] {
        thread_local TLateHolder Holder;
        Holder.Instruction = L.Two;
        Holder.Made = &Made;
        Holder.Tree = Tree->Clone();
        Kept = Tree->Clone();
    }).join();
    EXPECT_EQ(Made, 7.0);
    EXPECT_EQ(Kept->ToString(), Tree->ToString());
    Kept.reset(); // the last blocks of the ended thread's chunk
}

#if AX_GP_NODE_CHUNKS
// A tree copied in one go lies in consecutive blocks, in pre-order (what makes walks
// stream); the thread is new, so its memory holds nothing else.
TEST(GPNode, ACopyLiesInConsecutiveBlocks) {
    TLanguage L;
    std::vector<const TNode*> Order;
    std::thread([&] {
        auto Tree = Leaf(L.X);
        for (int I = 0; I < 4; ++I)
            Tree = Apply(L.Sum, std::move(Tree), Apply(L.Sum, Leaf(L.Two), Leaf(L.X)));
        const TNodePtr Copy = Tree->Clone();
        std::vector<const TNode*> Stack{Copy.get()};
        while (!Stack.empty()) {
            const TNode* N = Stack.back();
            Stack.pop_back();
            Order.push_back(N);
            for (int I = N->SlotCount(); I-- > 0;)
                Stack.push_back(N->GetChild(I));
        }
    }).join();
    ASSERT_EQ(Order.size(), 17u);
    const auto Block = static_cast<std::ptrdiff_t>(
        detail::NodeBlockSize(detail::NodeSizeClass(sizeof(TAxGPFloatNode))));
    for (std::size_t I = 1; I < Order.size(); ++I)
        EXPECT_EQ(reinterpret_cast<const char*>(Order[I]) -
                      reinterpret_cast<const char*>(Order[I - 1]),
                  Block)
            << I;
}

// Blocks freed on another thread go back to the thread that owns their memory, which hands
// them out again before it takes more memory.
TEST(GPNode, BlocksFreedOnAnotherThreadReturnToTheirOwner) {
    TLanguage L;
    std::set<const void*> Freed, Reused;
    std::thread([&] {
        std::vector<TNodePtr> Nodes;
        for (int I = 0; I < 40; ++I) {
            Nodes.push_back(Leaf(L.X));
            Freed.insert(Nodes.back().get());
        }
        std::thread([&] { Nodes.clear(); }).join();
        for (int I = 0; I < 200; ++I) {
            Nodes.push_back(Leaf(L.Two));
            if (Freed.count(Nodes.back().get())) Reused.insert(Nodes.back().get());
        }
    }).join();
    EXPECT_EQ(Reused, Freed);
}
#endif

TEST(GPNode, BinarySlots) {
    TLanguage L;
    auto Node = Apply<TAxGPBinaryFloatNode>(L.Sum, Leaf<TAxGPBinaryFloatNode>(L.X),
                                            Leaf<TAxGPBinaryFloatNode>(L.Two));
    auto Third = Leaf<TAxGPBinaryFloatNode>(L.Rnd);
    ExpectError<EGPException>([&] { Node->AddChild(std::move(Third)); },
                              "Node cannot accept anymore children");
    ASSERT_TRUE(Third); // refused: still the caller's
    EXPECT_EQ(Node->ToString(), "(Add x 2.5)");
    auto Foreign = Leaf(L.X);
    EXPECT_THROW(Node->InsertChild(0, std::move(Foreign)), EInvalidCast);
    ASSERT_TRUE(Foreign);
    EXPECT_THROW(Node->GetChild(2), EListError);

    auto* Bin = static_cast<TAxGPBinaryFloatNode*>(Node.get());
    TNodePtr Left = Bin->ExtractChild(Bin->Left());
    // Only Right is left: walks skip the empty slot, Right keeps index 1.
    EXPECT_EQ(Bin->GetChildCount(), 1);
    EXPECT_EQ(Bin->GetChild(0), nullptr);
    EXPECT_EQ(Bin->IndexOf(Bin->Right()), 1);
    EXPECT_EQ(Bin->ToString(), "(Add 2.5)");
    EXPECT_EQ(std::make_pair(Bin->Size(), Bin->Depth()), std::make_pair(2, 1));
    EXPECT_EQ(Bin->Clone()->ToString(), "(Add 2.5)");
    Bin->AddChild(std::move(Left));
    EXPECT_EQ(Bin->ToString(), "(Add x 2.5)");

    Bin->ExtractChild(Bin->Right());
    Bin->InsertChild(0, std::move(Third)); // a lone Left shifts to Right
    EXPECT_EQ(Bin->ToString(), "(Add Rnd x)");
    Bin->InsertChild(1, Leaf<TAxGPBinaryFloatNode>(L.Two)); // occupied: the old one is freed
    EXPECT_EQ(Bin->ToString(), "(Add Rnd 2.5)");

    auto Source = Apply<TAxGPBinaryFloatNode>(L.Sum, Leaf<TAxGPBinaryFloatNode>(L.X),
                                              Leaf<TAxGPBinaryFloatNode>(L.X));
    Bin->SetLeft(Source.get()); // a copy; Source keeps its own place and children
    EXPECT_EQ(Bin->ToString(), "(Add (Add x x) 2.5)");
    EXPECT_NE(Bin->Left(), Source.get());
    EXPECT_EQ(Source->GetChildCount(), 2);
    Bin->SetRight(nullptr);
    EXPECT_EQ(Bin->Size(), 4);
    EXPECT_EQ(Bin->CreateNode(nullptr)->ClassName(), "TAxGPBinaryFloatNode");
}

// Children are kept in place up to two and on the heap past that: inserts and extracts
// across that line keep the order a plain list would have.
TEST(GPNode, ChildOrderAcrossInPlaceStorage) {
    struct TStep {
        bool Insert;
        int Index;
    };
    const std::vector<TStep> Steps[] = {
        {{true, 0}, {true, 0}, {true, 1}, {true, 3}, {false, 0}, {false, 2}, {false, 1}},
        {{true, 0}, {true, 1}, {false, 0}, {true, 0}, {true, 2}, {true, 1}, {false, 3}},
        {{true, 0}, {true, 1}, {true, 2}, {false, 0}, {false, 0}, {false, 0}, {true, 0}}};
    TLanguage L;
    for (const auto& Case : Steps) {
        TNodePtr Root = Leaf(L.Rnd);
        std::vector<TNode*> Expected;
        for (const TStep& S : Case) {
            const auto At = Expected.begin() + S.Index;
            if (S.Insert) {
                Expected.insert(At, Root->InsertChild(S.Index, Leaf(L.X)));
            } else {
                EXPECT_EQ(Root->ExtractChild(*At).get(), *At);
                Expected.erase(At);
            }
            ASSERT_EQ(Root->GetChildCount(), static_cast<int>(Expected.size()));
            for (int I = 0; I < Root->GetChildCount(); ++I)
                EXPECT_EQ(Root->GetChild(I), Expected[static_cast<std::size_t>(I)]);
            EXPECT_EQ(Root->Size(), 1 + Root->GetChildCount());
        }
    }
}

constexpr int Levels = 100000;

// x under Levels nodes of a function of arity 1.
TNodePtr Chain(TLanguage& L) {
    auto* Neg = L.Add("Neg", TGPGeneticInstruction::gpFunction, 1);
    TNodePtr Root = Leaf(L.X);
    for (int I = 0; I < Levels; ++I) {
        auto Up = Leaf(Neg);
        Up->AddChild(std::move(Root));
        Root = std::move(Up);
    }
    return Root;
}

TEST(GPNode, VeryDeepTreesNeedNoDeepCallStack) {
    TLanguage L;
    TNodePtr Root = Chain(L);
    EXPECT_EQ(Root->Depth(), Levels);
    EXPECT_EQ(Root->Size(), Levels + 1);
    EXPECT_EQ(Root->ToString().size(), 6u * Levels + 1);
}

// A node assigned from a node below it, or from one above it, ends as a copy of the source
// as it was before the call, in both shapes.
template <class N> void ExpectAssignWithinOneTree() {
    TLanguage L;
    auto Make = [&] {
        return Apply<N>(L.Sum, Apply<N>(L.Sum, Leaf<N>(L.X), Leaf<N>(L.Two)), Leaf<N>(L.X));
    };
    auto Root = Make();
    Root->Assign(*Root->GetChild(0)->GetChild(1)); // from below: a leaf
    EXPECT_EQ(Root->ToString(), "2.5");
    Root = Make();
    Root->Assign(*Root->GetChild(0)); // from below: a subtree
    EXPECT_EQ(Root->ToString(), "(Add x 2.5)");
    EXPECT_EQ(Root->Size(), 3);
    Root = Make();
    Root->GetChild(0)->Assign(*Root); // from above
    EXPECT_EQ(Root->ToString(), "(Add (Add (Add x 2.5) x) x)");
    EXPECT_EQ(std::make_pair(Root->Depth(), Root->Size()), std::make_pair(3, 7));
    Root->GetChild(0)->GetChild(0)->GetChild(1)->Assign(*Root->GetChild(0)); // deeper
    EXPECT_EQ(Root->ToString(), "(Add (Add (Add x (Add (Add x 2.5) x)) x) x)");
}

TEST(GPNode, AssignFromBelowOrAboveCopiesTheSourceFirst) {
    ExpectAssignWithinOneTree<TAxGPFloatNode>();
    ExpectAssignWithinOneTree<TAxGPBinaryFloatNode>();
}

// A node that would become its own ancestor is refused with the library's message, and
// every tree stays as it was.
template <class N> void ExpectCyclesRefused() {
    TLanguage L;
    const std::string Message = "A node cannot be placed inside its own subtree";
    auto Root = Apply<N>(L.Sum, Apply<N>(L.Sum, Leaf<N>(L.X), Leaf<N>(L.Two)), Leaf<N>(L.X));
    TNode* Inner = Root->GetChild(0);
    Inner->ExtractChild(Inner->GetChild(1)); // a free slot, so only the cycle can refuse
    const std::string Before = Root->ToString();
    ExpectError<EGPException>([&] { Inner->MoveTo(*Inner); }, Message);
    ExpectError<EGPException>([&] { Inner->MoveTo(*Inner->GetChild(0)); }, Message);
    EXPECT_EQ(Root->ToString(), Before);
    EXPECT_EQ(Inner->Parent(), Root.get());

    TNode* Below = Inner->GetChild(0);
    ExpectError<EGPException>([&] { Below->AddChild(std::move(Root)); }, Message);
    ASSERT_TRUE(Root); // refused: still the caller's
    ExpectError<EGPException>([&] { Below->InsertChild(0, std::move(Root)); }, Message);
    ASSERT_TRUE(Root);
    ExpectError<EGPException>([&] { Root->AddChild(std::move(Root)); }, Message);
    ASSERT_TRUE(Root);
    EXPECT_EQ(Root->ToString(), Before);
    EXPECT_EQ(Root->Parent(), nullptr);
}

TEST(GPNode, EditsThatWouldPlaceANodeInsideItselfAreRefused) {
    ExpectCyclesRefused<TAxGPFloatNode>();
    ExpectCyclesRefused<TAxGPBinaryFloatNode>();
}

// A tree of one node class is copied without recursion, so a chain deeper than the stack
// allows is copied too.
TEST(GPNode, VeryDeepTreesAreCopied) {
    TLanguage L;
    TNodePtr Root = Chain(L);
    TNodePtr Copy = Root->Clone();
    EXPECT_EQ(Copy->Size(), Levels + 1);
    EXPECT_EQ(Copy->Depth(), Levels);
    EXPECT_EQ(Copy->ToString(), Root->ToString());
}

// A host's node class that makes nodes of its own class.
class THostNode : public TAxGPFloatNode {
public:
    using TAxGPFloatNode::TAxGPFloatNode;
    std::string ClassName() const override { return "THostNode"; }
    TNodePtr CreateNode(TAxGPInstruction<TGAFloat>* Instruction) const override {
        return std::make_unique<THostNode>(Instruction);
    }
    using TAxGPNode<TGAFloat>::CreateNode;
};

// The nodes of a tree in pre-order, checking each child's parent link on the way.
std::vector<TNode*> PreOrder(TNode& Root) {
    std::vector<TNode*> Nodes;
    std::vector<TNode*> Stack = {&Root};
    while (!Stack.empty()) {
        TNode* N = Stack.back();
        Stack.pop_back();
        Nodes.push_back(N);
        for (int I = N->SlotCount() - 1; I >= 0; --I) {
            EXPECT_EQ(N->GetChild(I)->Parent(), N);
            Stack.push_back(N->GetChild(I));
        }
    }
    return Nodes;
}

// Nodes of other classes inside a tree keep their own copy: each copied node is of the
// class its source's CreateNode makes (a host's subclass of a library class included),
// with its value, parent and measures; a copy that lists its nodes lists them in
// pre-order whichever way each was copied.
TEST(GPNode, CopiesOfMixedClassesKeepEveryNodesClass) {
    TLanguage L;
    auto Inner =
        Apply<TAxGPTreeNode<TGAFloat>>(L.Sum, Leaf(L.X), Leaf<TAxGPTreeNode<TGAFloat>>(L.Two));
    Inner->GetChild(1)->SetValue(7.0);
    auto Tree =
        Apply(L.Sum, std::move(Inner), Apply<THostNode>(L.Sum, Leaf(L.Two), Leaf<THostNode>(L.X)));
    Tree->Size();
    TNodePtr Copy = Tree->Clone();
    EXPECT_EQ(Copy->ToString(), Tree->ToString());
    EXPECT_EQ(Copy->GetChild(0)->GetChild(1)->Value(), 7.0);
    EXPECT_EQ(Copy->GetChild(1)->GetChild(0)->Value(), 2.5);
    const std::vector<std::string> Classes = {"TAxGPFloatNode", "TAxGPTreeNode", "TAxGPFloatNode",
                                              "TAxGPTreeNode",  "THostNode",     "TAxGPFloatNode",
                                              "THostNode"};
    std::vector<std::string> Got;
    for (const TNode* N : PreOrder(*Copy))
        Got.push_back(N->ClassName());
    EXPECT_EQ(Got, Classes);
    EXPECT_EQ(Copy->GetChild(0)->Size(), 3);
    EXPECT_EQ(Copy->GetChild(1)->Depth(), 1);
    Copy->GetChild(1)->AddChild(Leaf(L.X)); // the copied measures follow later changes
    EXPECT_EQ(Copy->Size(), 8);

    const TNodePtr Plain = Apply(L.Sum, Leaf(L.X), Apply(L.Sum, Leaf(L.Two), Leaf(L.X)));
    const TNodePtr HostLast = Apply(L.Sum, Apply(L.Sum, Leaf(L.Two), Leaf(L.X)),
                                    Apply<THostNode>(L.Sum, Leaf<THostNode>(L.X), Leaf(L.Two)));
    for (TNode* Source : {Tree.get(), Plain.get(), HostLast.get()}) {
        std::vector<TNode*> Listed = {Source};
        Copy->AssignListing(*Source, Listed);
        EXPECT_EQ(Copy->ToString(), Source->ToString());
        EXPECT_EQ(Listed, PreOrder(*Copy));
    }
}

} // namespace
} // namespace ax
