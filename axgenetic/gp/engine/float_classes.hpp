// The classes float programs are built from: instructions with a published execution
// handler (and, optionally, a batch handler for the batch evaluator), their set, and the
// tree and binary node classes with the float text of constants.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <functional>
#include <string>
#include <string_view>
#include <type_traits>

#include "axgenetic/core/types.hpp"
#include "axgenetic/gp/engine/elementwise.hpp"
#include "axgenetic/gp/engine/instruction.hpp"
#include "axgenetic/gp/engine/node.hpp"

namespace ax {

using TFloatNodeEvent = TNodeEvent<TGAFloat>;
// A callback on a node, such as a component's constant mutation.
using TFloatNodeNotifyEvent = std::function<void(TObject* Sender, TAxGPNode<TGAFloat>& Node)>;

// The elementwise form of a function for the batch evaluator: Result[i] = f(Args[0][i],
// ..., Args[ArgCount - 1][i]) for i in 0..Count - 1. ArgCount is the node's child count;
// Result may be the same array as Args[0]. Sender is the instruction. The handler must do
// the same arithmetic as OnExecute for batch results to equal Execute's bit for bit, and
// it must stand for a function that evaluates every argument (a lazy function has none:
// the evaluator then runs its subtree point by point through Execute).
using TFloatBatchEvent = std::function<void(TObject* Sender, const TGAFloat* const* Args,
                                            int ArgCount, TGAFloat* Result, int Count)>;

class AXGENETIC_API TAxGPFloatInstruction : public TAxGPInstruction<TGAFloat> {
public:
    static constexpr const char* StaticClassName = "TAxGPFloatInstruction";
    std::string ClassName() const override { return StaticClassName; }

    // Optional; used only by TAxGPBatchEvaluator.
    const TFloatBatchEvent& OnExecuteBatch() const { return FOnExecuteBatch; }
    void SetOnExecuteBatch(TFloatBatchEvent Value) { FOnExecuteBatch = std::move(Value); }
    // Declares that OnExecute may write the context's values (a Store, say), which later
    // reads of the same evaluation must see: TAxGPBatchEvaluator then runs every program
    // that uses the instruction point by point. False by default; it goes with the
    // handler, so AssignEvents copies it.
    bool WritesValues() const { return FWritesValues; }
    void SetWritesValues(bool Value) { FWritesValues = Value; }
    // Also copies OnExecuteBatch and WritesValues from another float instruction.
    void AssignEvents(const TPersistent& Source) override;
    // Also copies the random value settings from another float instruction.
    void Assign(const TPersistent& Source) override;

    // Ephemeral random constants. When RandomValue is on (off by default), every node a
    // GP component makes for this constant (initialization, subtree, replacement and shrink
    // mutation; point mutation keeps a node's value) gets its own value, drawn once when the node
    // is made: RandomMin + (RandomMax - RandomMin) * Random(), uniform in [RandomMin, RandomMax).
    // Copies of a node keep its value. Constant mutation without a host handler moves such a node's
    // value by (RandomMax - RandomMin) * RandomPerturbation * (2 * Random() - 1), one draw. The
    // settings are saved in the instruction's document element; nodes save their values.
    bool RandomValue() const { return FRandomValue; }
    void SetRandomValue(bool Value) { FRandomValue = Value; }
    TGAFloat RandomMin() const { return FRandomMin; }
    TGAFloat RandomMax() const { return FRandomMax; }
    // A range given upside down is swapped; non-finite bounds are ignored.
    void SetRandomRange(TGAFloat Min, TGAFloat Max);
    // The perturbation's half width as a share of the range; negative values and NaN
    // store 0.
    TGAFloat RandomPerturbation() const { return FRandomPerturbation; }
    void SetRandomPerturbation(TGAFloat Value) { FRandomPerturbation = Value >= 0 ? Value : 0; }
    // One draw: a value of the range.
    TGAFloat DrawRandomValue() const;
    // One draw: Value moved by the perturbation.
    TGAFloat PerturbRandomValue(TGAFloat Value) const;

    static constexpr TGAFloat DefaultRandomPerturbation = 0.1;

private:
    TFloatBatchEvent FOnExecuteBatch;
    bool FWritesValues = false;
    bool FRandomValue = false;
    TGAFloat FRandomMin = -1;
    TGAFloat FRandomMax = 1;
    TGAFloat FRandomPerturbation = DefaultRandomPerturbation;
};

// Gives a function that evaluates all of its one or two arguments both handlers from one
// definition, Op(a) or Op(a, b), so that the per-point and the batch path do the same
// arithmetic. The per-point handler evaluates the arguments in order.
template <class Op> void SetElementwiseHandlers(TAxGPFloatInstruction& Instruction, Op F) {
    if constexpr (std::is_invocable_r_v<TGAFloat, Op, TGAFloat, TGAFloat>) {
        Instruction.SetOnExecute([F](TObject*, TAxGPNode<TGAFloat>& Node,
                                     TAxGPContext<TGAFloat>& Context, TGAFloat& Result) {
            const TGAFloat A = Node.GetChild(0)->Execute(Context);
            Result = F(A, Node.GetChild(1)->Execute(Context));
        });
        Instruction.SetOnExecuteBatch(
            [F](TObject*, const TGAFloat* const* Args, int, TGAFloat* Result, int Count) {
                const TGAFloat* A = Args[0];
                const TGAFloat* B = Args[1];
                for (int P = 0; P < Count; ++P)
                    Result[P] = F(A[P], B[P]);
            });
    } else {
        Instruction.SetOnExecute(
            [F](TObject*, TAxGPNode<TGAFloat>& Node, TAxGPContext<TGAFloat>& Context,
                TGAFloat& Result) { Result = F(Node.GetChild(0)->Execute(Context)); });
        Instruction.SetOnExecuteBatch(
            [F](TObject*, const TGAFloat* const* Args, int, TGAFloat* Result, int Count) {
                const TGAFloat* A = Args[0];
                for (int P = 0; P < Count; ++P)
                    Result[P] = F(A[P]);
            });
    }
}

// Gives Instruction both handlers of a library operation (elementwise.hpp): the batch step
// runs vectorized for the processor in hand, the per-point handler evaluates the arguments
// in order and does the same arithmetic. Threshold is that of eoProtectedDiv.
AXGENETIC_API void SetElementwiseHandlers(TAxGPFloatInstruction& Instruction,
                                          TGPElementwiseOperation Operation,
                                          TGAFloat Threshold = 0.0);

// A set of float instructions. It always makes TAxGPFloatInstruction items, so Add,
// Insert, Items and FindItemID give that class (its OnExecuteBatch needs no cast).
class AXGENETIC_API TAxGPFloatInstructions
    : public TTypedCollection<TAxGPFloatInstruction, TAxGPInstructions<TGAFloat>> {
public:
    explicit TAxGPFloatInstructions(TPersistent* AOwner)
        : TTypedCollection(AOwner, ClassOf<TAxGPFloatInstruction>()) {}
    std::string ClassName() const override { return "TAxGPFloatInstructions"; }

    TAxGPFloatInstruction* FindItemName(std::string_view Name) const {
        return static_cast<TAxGPFloatInstruction*>(TAxGPInstructions::FindItemName(Name));
    }
    TAxGPFloatInstruction* ItemByName(std::string_view Name) const {
        return static_cast<TAxGPFloatInstruction*>(TAxGPInstructions::GetItemByName(Name));
    }

    // Adds a function named Name that evaluates all of its arguments, of arity 2 when Op
    // takes two floats and 1 when it takes one, with both handlers from Op (see
    // SetElementwiseHandlers).
    template <class Op> TAxGPFloatInstruction& AddElementwise(const std::string& Name, Op F) {
        TAxGPFloatInstruction& Item = *Add();
        Item.SetName(Name);
        Item.SetArity(std::is_invocable_r_v<TGAFloat, Op, TGAFloat, TGAFloat> ? 2 : 1);
        SetElementwiseHandlers(Item, F);
        return Item;
    }
    // Adds a function named Name computing a library operation, of its arity, with both
    // handlers from SetElementwiseHandlers. Hosts get vectorized batch steps this way;
    // a lambda's batch loop is compiled in the host's code for the host's target.
    TAxGPFloatInstruction& AddElementwise(const std::string& Name,
                                          TGPElementwiseOperation Operation,
                                          TGAFloat Threshold = 0.0);
};

// A float tree node; without an engine it makes nodes of its own class.
class AXGENETIC_API TAxGPFloatNode : public TAxGPTreeNode<TGAFloat> {
public:
    explicit TAxGPFloatNode(TAxGPInstruction<TGAFloat>* Instruction = nullptr)
        : TAxGPTreeNode<TGAFloat>(Instruction) {}
    std::string ClassName() const override { return "TAxGPFloatNode"; }
    TNodePtr CreateNode(TAxGPInstruction<TGAFloat>* Instruction) const override;
    using TAxGPNode<TGAFloat>::CreateNode;
    // A variable's display name, a constant's value as float text, else empty.
    std::string ValueToString() const override;

protected:
    const std::type_info* LibraryClass() const override { return &typeid(TAxGPFloatNode); }
};

// A float binary node; without an engine it makes nodes of its own class.
class AXGENETIC_API TAxGPBinaryFloatNode : public TAxGPBinaryNode<TGAFloat> {
public:
    explicit TAxGPBinaryFloatNode(TAxGPInstruction<TGAFloat>* Instruction = nullptr)
        : TAxGPBinaryNode<TGAFloat>(Instruction) {}
    std::string ClassName() const override { return "TAxGPBinaryFloatNode"; }
    TNodePtr CreateNode(TAxGPInstruction<TGAFloat>* Instruction) const override;
    using TAxGPNode<TGAFloat>::CreateNode;
    std::string ValueToString() const override;
};

} // namespace ax
