#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/gp/engine/float_classes.hpp"
#include "axgenetic/gp/engine/variant_classes.hpp"
#include "axgenetic/platform/enum_names.hpp"
#include "axgenetic/platform/string_list.hpp"

namespace ax {
namespace {

// An engine that records what its instruction set tells it.
class TRecordingEngine : public TPersistent, public IAxGeneticProgramEngine<TGAFloat> {
public:
    TAxGPFloatInstructions Set{this};
    std::vector<std::string> Log;
    std::int32_t MaxArity = 2;

    void LoadFromFile(const std::string&) override {}
    void LoadFromStream(std::istream&) override {}
    void SaveToFile(const std::string&) override {}
    void SaveToStream(std::ostream&) override {}
    std::unique_ptr<TAxGPInstructions<TGAFloat>> CreateInstructions(TCollectionItemClass) override {
        return std::make_unique<TAxGPFloatInstructions>(this);
    }
    std::unique_ptr<TAxGPNode<TGAFloat>> CreateNode(TAxGPInstruction<TGAFloat>* I) override {
        Log.push_back("CreateNode");
        return std::make_unique<TAxGPBinaryFloatNode>(I);
    }
    std::int32_t MaxNodeArity() override { return MaxArity; }
    void InstructionUpdate(TAxGPInstruction<TGAFloat>* I) override {
        Log.push_back("Update " + (I ? I->Name() : std::string("nil")));
    }
    void InstructionNotify(TAxGPInstruction<TGAFloat>* I, TCollectionNotification A) override {
        static const char* Names[] = {"cnAdded", "cnExtracting", "cnDeleting"};
        Log.push_back(std::string("Notify ") + Names[static_cast<int>(A)] + " " + I->Name());
    }
    void InstructionOperationUpdate(TAxGPInstruction<TGAFloat>* I) override {
        Log.push_back("OperationUpdate " + I->Name());
    }
    TAxGPInstructions<TGAFloat>* GetInstructions() override { return &Set; }
    void SetInstructions(const TAxGPInstructions<TGAFloat>& I) override { Set.Assign(I); }
};

TEST(GPInstruction, SettingArityOrOperationFollowsTheRules) {
    struct Row {
        TGPGeneticInstruction Operation;
        int Arity;
        bool UnderEngine;
        int NewArity; // -100: set the operation instead
        TGPGeneticInstruction NewOperation;
        int ExpectArity;
        TGPGeneticInstruction ExpectOperation;
    };
    using G = TGPGeneticInstruction;
    const Row Rows[] = {
        {G::gpVariable, 0, true, -3, G::gpVariable, 0, G::gpVariable},
        {G::gpVariable, 0, true, 5, G::gpVariable, 2, G::gpFunction},  // clamped by engine
        {G::gpVariable, 0, false, 5, G::gpVariable, 5, G::gpFunction}, // no engine, no limit
        {G::gpFunction, 2, true, 0, G::gpVariable, 0, G::gpFunction},  // 0 keeps the kind
        {G::gpFunction, 2, true, -100, G::gpConstant, 0, G::gpConstant},
        {G::gpConstant, 0, true, -100, G::gpFunction, 0, G::gpFunction},
    };
    for (const Row& R : Rows) {
        TRecordingEngine Engine;
        TAxGPFloatInstructions Loose(nullptr);
        auto* I = (R.UnderEngine ? Engine.Set : Loose).Add();
        I->SetOperation(R.Operation);
        I->SetArity(R.Arity);
        if (R.NewArity == -100)
            I->SetOperation(R.NewOperation);
        else
            I->SetArity(R.NewArity);
        EXPECT_EQ(I->Arity(), R.ExpectArity) << R.NewArity;
        EXPECT_EQ(I->Operation(), R.ExpectOperation) << R.NewArity;
    }
}

TEST(GPInstruction, EngineHearsChangesInOrder) {
    TRecordingEngine Engine;
    auto* X = Engine.Set.Add();
    X->SetName("x");
    X->SetArity(2); // a variable becomes a function
    X->SetComment("no report");
    X->SetValue(3.0);
    X->SetOperation(TGPGeneticInstruction::gpConstant);
    Engine.Set.Delete(0);
    // A comment change is not reported; a change of kind also reports an operation update.
    EXPECT_EQ(Engine.Log, (std::vector<std::string>{
                              "Notify cnAdded ", "Update nil", "Update x", "OperationUpdate x",
                              "Update x", "Update x", "Update x", "OperationUpdate x", "Update x",
                              "Notify cnDeleting x", "Notify cnExtracting x", "Update nil"}));
}

TEST(GPInstruction, EngineMakesTheNodes) {
    TRecordingEngine Engine;
    auto* X = Engine.Set.Add();
    TAxGPFloatNode Root(X);
    Engine.Log.clear();
    TAxGPNode<TGAFloat>* Child = Root.CreateNode(X, Root);
    EXPECT_EQ(Engine.Log, std::vector<std::string>{"CreateNode"});
    EXPECT_EQ(Child->ClassName(), "TAxGPBinaryFloatNode");
    EXPECT_EQ(Child->Parent(), &Root);
}

// An engine's set holding Sin and x.
struct TSinX : TRecordingEngine {
    TAxGPInstruction<TGAFloat>* X;
    TSinX() {
        Set.Add()->SetName("Sin");
        X = Set.Add();
        X->SetName("x");
    }
};

TEST(GPInstruction, NamesAreUniqueIgnoringCase) {
    TSinX Engine;
    auto* X = Engine.X;
    for (const char* Refused : {"sin", "SIN", "X"}) {
        try {
            X->SetName(Refused);
            ADD_FAILURE() << Refused;
        } catch (const EGPException& E) {
            EXPECT_STREQ(E.what(), "instruction name must be unique");
        }
        EXPECT_EQ(X->Name(), "x");
    }
    EXPECT_EQ(Engine.Set.IndexOf("SIN"), 0);
    EXPECT_EQ(Engine.Set.ItemByName("X"), X);
    try {
        Engine.Set.ItemByName("Cos");
        ADD_FAILURE();
    } catch (const EGPException& E) {
        EXPECT_STREQ(E.what(), "Unknown instruction \"Cos\"");
    }
}

TEST(GPInstruction, TextShowsNameCommentKind) {
    TSinX Engine;
    Engine.X->SetComment("abscissa");
    EXPECT_EQ(Engine.X->ToString(), "x 'abscissa' gpVariable");
    auto* Unnamed = Engine.Set.Add();
    Unnamed->SetOperation(TGPGeneticInstruction::gpConstant);
    EXPECT_EQ(Unnamed->ToString(), "TAxGPFloatInstruction '' gpConstant");
}

TEST(GPInstructions, StringListTakesTheNamesWithTheInstructions) {
    TSinX Engine;
    Engine.Set.Add();
    TStringList Lines;
    Lines.Assign(Engine.Set);
    ASSERT_EQ(Lines.Count(), 3);
    EXPECT_EQ(Lines[1], "x");
    EXPECT_EQ(Lines.Objects(1), Engine.X);
}

// Lookups by name find the first instruction of the name (letter case ignored), however
// the set came to be: renames, deletes, inserts, moves, and names given twice by Assign.
TEST(GPInstructions, NameLookupFindsTheFirstOfTheNameAfterEveryChange) {
    TRecordingEngine Engine;
    TAxGPFloatInstructions& Set = Engine.Set;
    const auto Expect = [&Set](const char* Step) {
        for (const char* Name : {"a", "b", "B2", "c", "", "zz"}) {
            TAxGPInstruction<TGAFloat>* First = nullptr;
            for (int I = Set.Count() - 1; I >= 0; --I)
                if (detail::SameTextAscii(Set.Items(I)->Name(), Name)) First = Set.Items(I);
            EXPECT_EQ(Set.FindItemName(Name), First) << Step << " " << Name;
            EXPECT_EQ(Set.IndexOf(Name), First ? First->Index() : -1) << Step << " " << Name;
        }
    };
    for (const char* Name : {"a", "b", "c"})
        Set.Add()->SetName(Name);
    Expect("added");
    Set.Items(1)->SetName("B2");
    Expect("renamed");
    Set.Delete(0);
    Expect("deleted");
    Set.Insert(0);
    Expect("unnamed inserted");
    Set.Items(2)->Assign(*Set.Items(1)); // c becomes a second B2
    Expect("name given twice");
    Set.Items(2)->SetIndex(0);
    Expect("moved before the other");
    Set.Delete(0);
    Expect("first of two deleted");
    Set.Items(1)->SetName("c");
    Set.Insert(0)->SetName("a");
    Expect("inserted in front");
    Set.Clear();
    Expect("cleared");
}

TEST(GPInstruction, AssignAllKeepsHandlersAssignDropsThem) {
    TAxGPFloatInstructions Source(nullptr);
    auto* F = static_cast<TAxGPFloatInstruction*>(Source.Add());
    F->SetName("One");
    F->SetArity(0);
    F->SetOperation(TGPGeneticInstruction::gpFunction);
    F->SetValue(7.0);
    int Initialized = 0;
    F->SetOnExecute(
        [](TObject*, TAxGPNode<TGAFloat>&, TAxGPContext<TGAFloat>&, TGAFloat& R) { R = 1; });
    F->SetOnInitialize([&](TObject*) { ++Initialized; });
    F->SetOnExecuteBatch([](TObject*, const TGAFloat* const*, int, TGAFloat*, int) {});

    TAxGPFloatInstructions All(nullptr), Plain(nullptr);
    All.AssignAll(Source);
    Plain.Assign(Source);
    for (auto* Set : {&All, &Plain}) {
        ASSERT_EQ(Set->Count(), 1);
        EXPECT_EQ(Set->Items(0)->Name(), "One");
        EXPECT_EQ(Set->Items(0)->Value(), 7.0);
        EXPECT_EQ(Set->Items(0)->Operation(), TGPGeneticInstruction::gpFunction);
        Set->Items(0)->Initialize();
    }
    EXPECT_EQ(Initialized, 1);
    EXPECT_TRUE(All.Items(0)->OnExecute());
    EXPECT_TRUE(static_cast<TAxGPFloatInstruction*>(All.Items(0))->OnExecuteBatch());
    EXPECT_FALSE(Plain.Items(0)->OnExecute());
}

TEST(GPContext, NamesAreMatchedExactly) {
    TAxGPFloatInstructions Set(nullptr);
    auto* X = Set.Add();
    X->SetName("x");
    TAxGPFloatNode Node(X);
    TAxGPFloatContext Context;
    Context.Values().Add("X", 5.0);
    EXPECT_EQ(Node.Execute(Context), 0.0); // X is not x
    Context.Values().AddOrSetValue("x", 2.0);
    EXPECT_EQ(Node.Execute(Context), 2.0);
    EXPECT_THROW(Context.Values().Add("x", 1.0), EListError);
}

TEST(GPContext, AssignCopiesTheValues) {
    TAxGPFloatContext Context;
    Context.Values().Add("X", 5.0);
    Context.Values().AddOrSetValue("x", 2.0);
    TAxGPFloatContext Copy;
    for (const char* Name : {"a", "b", "c", "d", "e"})
        Copy.Values().Add(Name, 1.0);
    Copy.Assign(Context);
    Context.Values().AddOrSetValue("x", 9.0);
    EXPECT_EQ(Copy.Values().Count(), 2);
    EXPECT_EQ(Copy.Values().Items("x"), 2.0);
}

TEST(GPContext, VariantNodesReadAMissingValueAsEmpty) {
    TAxGPVariantInstructions VSet(nullptr);
    auto* V = VSet.Add();
    V->SetName("v");
    TAxGPVariantNode VNode(V);
    TAxGPVariantContext VContext;
    EXPECT_TRUE(VNode.Execute(VContext).IsEmpty());
}

TEST(GPInstruction, VariantConstantsPrintTheirText) {
    TAxGPVariantInstructions VSet(nullptr);
    auto* C = VSet.Add();
    C->SetOperation(TGPGeneticInstruction::gpConstant);
    C->SetValue(Variant(3));
    TAxGPVariantNode Constant(C);
    EXPECT_EQ(Constant.ToString(), "3");
    Constant.SetValue(Variant("three"));
    EXPECT_EQ(Constant.ToString(), "three");
    TAxGPVariantContext VContext;
    EXPECT_EQ(Constant.Execute(VContext), Variant("three"));
}

TEST(GPContext, WritingThroughBracketsAddsAMissingVariable) {
    TAxGPFloatContext Context;
    Context.Values()["x"] = 1.5;
    Context.Values()["x"] += 1.0;
    EXPECT_EQ(Context.Values().Count(), 1);
    EXPECT_EQ(Context.Values().Items("x"), 2.5);
    const TAxGPFloatValues& Kept = Context.Values();
    EXPECT_THROW(Kept["y"], EListError); // a const read still refuses a missing name
    EXPECT_EQ(Context.Values().Count(), 1);
    TAxGPVariantContext Variants;
    EXPECT_TRUE(Variants.Values()["v"].IsEmpty());
}

} // namespace
} // namespace ax
