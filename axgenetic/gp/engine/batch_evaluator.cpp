#include "axgenetic/gp/engine/batch_evaluator.hpp"

#include <algorithm>
#include <typeinfo>

#include "axgenetic/gp/engine/float_classes.hpp"
#include "axgenetic/platform/exceptions.hpp"

namespace ax {

// --- TAxGPDataSet ---------------------------------------------------------------------

TAxGPDataSet::TAxGPDataSet(int RowCount) : FRowCount(RowCount < 0 ? 0 : RowCount) {}

const std::string& TAxGPDataSet::ColumnName(int Index) const {
    if (Index < 0 || Index >= ColumnCount())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FNames[static_cast<std::size_t>(Index)];
}

std::span<TGAFloat> TAxGPDataSet::AddColumn(const std::string& Name) {
    if (IndexOf(Name) >= 0) throw EListError(std::string(SGenericDuplicateItem));
    FNames.push_back(Name);
    FColumns.emplace_back(static_cast<std::size_t>(FRowCount), 0.0);
    return FColumns.back();
}

int TAxGPDataSet::IndexOf(std::string_view Name) const {
    for (std::size_t I = 0; I < FNames.size(); ++I)
        if (FNames[I] == Name) return static_cast<int>(I);
    return -1;
}

std::span<TGAFloat> TAxGPDataSet::Column(std::string_view Name) {
    const int Index = IndexOf(Name);
    if (Index < 0) return {};
    return FColumns[static_cast<std::size_t>(Index)];
}

std::span<const TGAFloat> TAxGPDataSet::Column(std::string_view Name) const {
    const int Index = IndexOf(Name);
    if (Index < 0) return {};
    return FColumns[static_cast<std::size_t>(Index)];
}

const TGAFloat* TAxGPDataSet::ColumnData(int Index) const {
    ColumnName(Index); // range check
    return FColumns[static_cast<std::size_t>(Index)].data();
}

// --- TAxGPBatchEvaluator --------------------------------------------------------------

namespace {

// Instruction as a float instruction, or nullptr. The items of a float set are exactly of
// that class, which a comparison of classes confirms without the cost of a cast.
TAxGPFloatInstruction* AsFloat(TAxGPInstruction<TGAFloat>& Instruction) {
    if (typeid(Instruction) == typeid(TAxGPFloatInstruction))
        return static_cast<TAxGPFloatInstruction*>(&Instruction);
    return dynamic_cast<TAxGPFloatInstruction*>(&Instruction);
}

} // namespace

// Instructions are looked up afresh at every evaluation (one evaluation cannot see an
// instruction die), and a program uses few of them, so a short list does.
const TAxGPBatchEvaluator::TInstructionInfo&
TAxGPBatchEvaluator::AddInfo(TAxGPInstruction<TGAFloat>& Instruction, const TAxGPDataSet& Data) {
    TInstructionInfo New{&Instruction, TOpKind::Fallback, false, 0, nullptr, nullptr, 0.0};
    TAxGPFloatInstruction* Float = AsFloat(Instruction);
    if (Float && Float->WritesValues()) FWritesValues = true;
    switch (Instruction.Operation()) {
    case TGPGeneticInstruction::gpVariable:
        if (Instruction.OnExecute()) break;
        if (const int Column = Data.IndexOf(Instruction.Name()); Column >= 0) {
            New.Kind = TOpKind::Column;
            New.Column = Data.ColumnData(Column);
        } else {
            New.Kind = TOpKind::Constant;
            const TGAFloat* Found = FContext.Values().FindValue(Instruction.HashedName());
            New.Value = Found ? *Found : 0.0;
        }
        break;
    case TGPGeneticInstruction::gpConstant:
        if (Instruction.OnExecute()) break;
        New.Kind = TOpKind::Constant;
        New.NodeValue = true;
        break;
    case TGPGeneticInstruction::gpFunction:
        if (Float && Float->OnExecuteBatch()) {
            New.Kind = TOpKind::Batch;
            New.Batch = Float;
            New.Arity = Instruction.Arity();
        }
        break;
    }
    FInfos.push_back(New);
    return FInfos.back();
}

void TAxGPBatchEvaluator::Visit(const TAxGPNode<TGAFloat>& Node, const TAxGPDataSet& Data) {
    if (auto* Instruction = Node.Instruction()) {
        const TInstructionInfo& I = Info(*Instruction, Data);
        switch (I.Kind) {
        case TOpKind::Column:
            Push({TOpKind::Column, 0, I.Column, 0.0, nullptr, &Node}, 0);
            return;
        case TOpKind::Constant:
            Push({TOpKind::Constant, 0, nullptr, I.NodeValue ? Node.Value() : I.Value, nullptr,
                  &Node},
                 0);
            return;
        case TOpKind::Batch: {
            // Elementwise only when every slot holds an argument and there are exactly
            // Arity of them; otherwise Execute raises, the handler meets an empty slot, or
            // it leaves the extra arguments unevaluated, per point.
            // A library tree node's arguments are read from its list (no empty slots).
            std::span<const std::unique_ptr<TAxGPNode<TGAFloat>>> Children;
            const TAxGPTreeNode<TGAFloat>* Tree = FReader.Tree(Node);
            if (Tree) Children = Tree->Children();
            const int Count = Tree ? static_cast<int>(Children.size()) : Node.GetChildCount();
            if (Count == I.Arity && (Tree || Count == Node.SlotCount())) {
                FFrames.push_back(
                    {&Node, Children.data(), Children.data() + Children.size(), I.Batch, 0});
                return;
            }
            break;
        }
        case TOpKind::Fallback:
            break;
        }
    }
    ++FFallbacks;
    Push({TOpKind::Fallback, 0, nullptr, 0.0, nullptr, &Node}, 0);
    // The subtree's instructions are looked up too: one that writes values makes the
    // whole program run point by point.
    std::vector<const TAxGPNode<TGAFloat>*>& Pending = FScan;
    Pending.assign(1, &Node);
    while (!Pending.empty() && !FWritesValues) {
        const TAxGPNode<TGAFloat>* Next = Pending.back();
        Pending.pop_back();
        if (auto* Instruction = Next->Instruction()) Info(*Instruction, Data);
        for (int S = 0; S < Next->SlotCount(); ++S)
            if (auto* Child = Next->GetChild(S)) Pending.push_back(Child);
    }
}

// Post-order without recursion: a batched function's frame stays on the stack until all
// its arguments have been emitted.
void TAxGPBatchEvaluator::Compile(const TAxGPNode<TGAFloat>& Root, const TAxGPDataSet& Data) {
    FProgram.clear();
    FFrames.clear();
    FInfos.clear();
    FFallbacks = 0;
    FMaxStack = 0;
    FDepth = 0;
    FWritesValues = false;
    Visit(Root, Data);
    while (!FFrames.empty()) {
        TFrame& Top = FFrames.back();
        // Top is read before Visit, which may push a frame and move the others.
        if (Top.Next) { // a library tree node's list has exactly the arguments
            if (Top.Next != Top.End) {
                ++Top.NextSlot;
                Visit(**Top.Next++, Data);
                continue;
            }
        } else if (Top.NextSlot < Top.Node->SlotCount()) {
            Visit(*Top.Node->GetChild(Top.NextSlot++), Data);
            continue;
        }
        const int Args = Top.NextSlot;
        Push({TOpKind::Batch, Args, nullptr, 0.0, Top.Batch, Top.Node}, Args);
        FFrames.pop_back();
    }
    if (FWritesValues) { // the whole program, point by point
        FProgram.clear();
        FMaxStack = 0;
        FDepth = 0;
        FFallbacks = 1;
        Push({TOpKind::Fallback, 0, nullptr, 0.0, nullptr, &Root}, 0);
    }
}

void TAxGPBatchEvaluator::PrepareFallbackContext(const TAxGPDataSet& Data) {
    FPointContext.Values().Assign(FContext.Values());
    FColumnNames.clear();
    for (int C = 0; C < Data.ColumnCount(); ++C) {
        FPointContext.Values().AddOrSetValue(Data.ColumnName(C), 0.0);
        FColumnNames.push_back(HashedName(Data.ColumnName(C)));
    }
}

void TAxGPBatchEvaluator::RunBlock(const TAxGPDataSet& Data, int First, int Count) {
    const std::size_t Block = static_cast<std::size_t>(FBlockSize);
    TGAFloat* Stack = FStack.data();
    // Where each value on the stack is: a column's values are read in place, everything
    // else is in the stack's own block.
    const TGAFloat** Values = FValues.data();
    std::size_t Top = 0; // values on the stack, in blocks
    for (const TOp& Op : FProgram) {
        TGAFloat* Own = Stack + Top * Block;
        switch (Op.Kind) {
        case TOpKind::Column:
            Values[Top] = Op.Column + First;
            ++Top;
            continue;
        case TOpKind::Constant:
            std::fill_n(Own, Count, Op.Value);
            break;
        case TOpKind::Batch:
            Top -= static_cast<std::size_t>(Op.ArgCount);
            Own = Stack + Top * Block;
            // The arguments' places are the top entries of Values, in order.
            Op.Instruction->OnExecuteBatch()(Op.Instruction, Values + Top, Op.ArgCount, Own, Count);
            break;
        case TOpKind::Fallback: {
            auto& Point = FPointContext.Values();
            for (int P = 0; P < Count; ++P) {
                // A handler that writes values starts every point from Context()'s.
                if (FWritesValues) Point.Assign(FContext.Values());
                // A handler may have removed or changed a column's value; every point
                // starts from the point's own columns again.
                for (int C = 0; C < Data.ColumnCount(); ++C) {
                    const TGAFloat V = Data.ColumnData(C)[First + P];
                    if (TGAFloat* Slot = Point.FindValue(FColumnNames[static_cast<std::size_t>(C)]))
                        *Slot = V;
                    else
                        Point.AddOrSetValue(Data.ColumnName(C), V);
                }
                Own[P] = Op.Node->Execute(FPointContext);
            }
            break;
        }
        }
        Values[Top] = Own;
        ++Top;
    }
}

void TAxGPBatchEvaluator::Evaluate(const TAxGPNode<TGAFloat>& Root, const TAxGPDataSet& Data,
                                   std::span<TGAFloat> Out) {
    Evaluate(Root, Data, Out, 0, Data.RowCount());
}

void TAxGPBatchEvaluator::Evaluate(const TAxGPNode<TGAFloat>& Root, const TAxGPDataSet& Data,
                                   std::span<TGAFloat> Out, int FirstRow, int RowCount) {
    if (FirstRow < 0 || RowCount < 0 || RowCount > Data.RowCount() - FirstRow)
        throw EListError("List index out of bounds (" + std::to_string(FirstRow) + ")");
    const int Rows = FirstRow + RowCount;
    if (static_cast<int>(Out.size()) < Rows)
        throw EListError("List index out of bounds (" + std::to_string(Out.size()) + ")");
    Compile(Root, Data);
    if (FFallbacks > 0) PrepareFallbackContext(Data);
    const std::size_t Need =
        static_cast<std::size_t>(FMaxStack) * static_cast<std::size_t>(FBlockSize);
    if (FStack.size() < Need) FStack.resize(Need);
    if (FValues.size() < static_cast<std::size_t>(FMaxStack))
        FValues.resize(static_cast<std::size_t>(FMaxStack));
    for (int First = FirstRow; First < Rows; First += FBlockSize) {
        const int Count = std::min(FBlockSize, Rows - First);
        RunBlock(Data, First, Count);
        std::copy_n(FValues[0], Count, Out.data() + First);
    }
}

} // namespace ax
