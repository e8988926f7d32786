// Fast evaluation of float programs over many data points at once.
//
// TAxGPBatchEvaluator turns a tree into a flat postfix program (without recursion) and runs
// it over a data set of named columns, block by block, on a value stack it keeps between
// evaluations: after the first evaluations have sized its buffers it allocates nothing.
// It compiles the tree again at every evaluation, so no edit of the tree (an instruction
// swapped by point mutation, a constant's value changed by the host) can be missed.
//
// What runs elementwise: variables and constants without an OnExecute handler, and
// functions with an OnExecuteBatch handler whose slots are all occupied by exactly Arity
// children. Every other node (a lazy function, a handler on a variable or constant, a
// missing instruction, too few or more arguments than Arity, which Execute accepts and
// whose handler need not evaluate the extra ones) is evaluated point by point with Execute
// on a context holding Context()'s values and the point's columns, so it behaves, raises
// and skips exactly as Execute does. A program that uses an instruction declared to write
// the context's values (TAxGPFloatInstruction::WritesValues) runs point by point as a
// whole, each point on a fresh copy of Context()'s values and its columns, so that later
// reads see what a handler wrote, as under Execute.
//
// For each point the result equals Root.Execute(C) where C holds Context()'s values
// overwritten by the point's column values: a variable without column reads Context()
// (zero when absent there too). With batch handlers that do the same arithmetic as the
// per-point handlers, results are equal bit for bit. Context() itself is never written.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "axgenetic/core/types.hpp"
#include "axgenetic/gp/engine/node.hpp"
#include "axgenetic/gp/engine/values.hpp"

namespace ax {

class TAxGPFloatInstruction;

// Named columns of equal length; names are exact (letter case counts), like variable names.
// The row count is fixed when the data set is made (negative counts make 0 rows), so a
// column never moves: the spans AddColumn and Column give stay valid while the data set
// lives, whatever columns are added after them.
class AXGENETIC_API TAxGPDataSet {
public:
    explicit TAxGPDataSet(int RowCount);

    int RowCount() const { return FRowCount; }
    int ColumnCount() const { return static_cast<int>(FNames.size()); }
    const std::string& ColumnName(int Index) const;
    // Adds a column of RowCount zeros and returns it for filling; a name already present
    // raises EListError.
    std::span<TGAFloat> AddColumn(const std::string& Name);
    // The column of that exact name, or an empty span.
    std::span<TGAFloat> Column(std::string_view Name);
    std::span<const TGAFloat> Column(std::string_view Name) const;
    // Index of the column of that exact name, or -1.
    int IndexOf(std::string_view Name) const;
    const TGAFloat* ColumnData(int Index) const;

private:
    int FRowCount;
    std::vector<std::string> FNames;
    std::vector<std::vector<TGAFloat>> FColumns;
};

class AXGENETIC_API TAxGPBatchEvaluator {
public:
    static constexpr int DefaultBlockSize = 256;

    TAxGPBatchEvaluator() = default;
    TAxGPBatchEvaluator(const TAxGPBatchEvaluator&) = delete;
    TAxGPBatchEvaluator& operator=(const TAxGPBatchEvaluator&) = delete;

    // Values of variables that have no column in the data set (parameters, say).
    TAxGPContext<TGAFloat>& Context() { return FContext; }

    // Points evaluated per block (at least 1).
    int BlockSize() const { return FBlockSize; }
    void SetBlockSize(int Value) { FBlockSize = Value < 1 ? 1 : Value; }

    // Writes Root's value at every row of Data into Out (Data.RowCount() values; a shorter
    // span raises EListError). Exceptions of handlers pass through.
    void Evaluate(const TAxGPNode<TGAFloat>& Root, const TAxGPDataSet& Data,
                  std::span<TGAFloat> Out);
    // The same for the rows FirstRow .. FirstRow + RowCount - 1 only, written to the same
    // places of Out; a range outside the data set raises EListError. Evaluators that take
    // disjoint ranges of one data set may run on several threads at once.
    void Evaluate(const TAxGPNode<TGAFloat>& Root, const TAxGPDataSet& Data,
                  std::span<TGAFloat> Out, int FirstRow, int RowCount);

    // Nodes of the last compiled program, and how many of them run point by point; for
    // hosts that want to know whether their batch handlers are used.
    int CompiledNodeCount() const { return static_cast<int>(FProgram.size()); }
    int FallbackCount() const { return FFallbacks; }

private:
    enum class TOpKind : std::uint8_t { Column, Constant, Batch, Fallback };
    struct TOp {
        TOpKind Kind;
        std::int32_t ArgCount;              // Batch: arguments on the stack
        const TGAFloat* Column;             // Column: the data
        TGAFloat Value;                     // Constant: the value
        TAxGPFloatInstruction* Instruction; // Batch: the handler's owner
        const TAxGPNode<TGAFloat>* Node;    // Fallback: the subtree evaluated per point
    };
    // A batched function whose arguments are being emitted: a library tree node's from
    // its child list (Next up to End), any other node's through GetChild (NextSlot).
    struct TFrame {
        const TAxGPNode<TGAFloat>* Node;
        const std::unique_ptr<TAxGPNode<TGAFloat>>* Next;
        const std::unique_ptr<TAxGPNode<TGAFloat>>* End;
        TAxGPFloatInstruction* Batch;
        int NextSlot;
    };

    // What compiling needs to know of an instruction, looked up once per evaluation: the
    // step its nodes become. Batch is a function with a batch handler (its nodes still
    // fall back when their slots do not hold enough arguments), Column a variable read
    // from the data, Constant a constant (the node's value) or a variable without column
    // (Value); Fallback is anything with an OnExecute handler of its own.
    struct TInstructionInfo {
        const TAxGPInstruction<TGAFloat>* Instruction;
        TOpKind Kind;
        bool NodeValue;               // Constant: the node's own value, not Value
        std::int32_t Arity;           // Batch: the arguments it needs at least
        TAxGPFloatInstruction* Batch; // Batch: the handler's owner
        const TGAFloat* Column;       // Column: the data
        TGAFloat Value;               // Constant of a variable without column
    };

    void Compile(const TAxGPNode<TGAFloat>& Root, const TAxGPDataSet& Data);
    const TInstructionInfo& Info(TAxGPInstruction<TGAFloat>& Instruction,
                                 const TAxGPDataSet& Data) {
        for (const auto& Known : FInfos)
            if (Known.Instruction == &Instruction) return Known;
        return AddInfo(Instruction, Data);
    }
    const TInstructionInfo& AddInfo(TAxGPInstruction<TGAFloat>& Instruction,
                                    const TAxGPDataSet& Data);
    // Pushes Node's op, or a frame for a batched function whose arguments come first.
    void Visit(const TAxGPNode<TGAFloat>& Node, const TAxGPDataSet& Data);
    void Push(const TOp& Op, int Popped) {
        FProgram.push_back(Op);
        FDepth += 1 - Popped;
        if (FDepth > FMaxStack) FMaxStack = FDepth;
    }
    void PrepareFallbackContext(const TAxGPDataSet& Data);
    void RunBlock(const TAxGPDataSet& Data, int First, int Count);

    TAxGPContext<TGAFloat> FContext;
    TAxGPContext<TGAFloat> FPointContext;
    int FBlockSize = DefaultBlockSize;
    int FFallbacks = 0;
    int FMaxStack = 0;
    int FDepth = 0;
    bool FWritesValues = false; // the program runs point by point, on fresh values
    std::vector<TOp> FProgram;
    std::vector<TInstructionInfo> FInfos;
    std::vector<TFrame> FFrames;
    std::vector<const TAxGPNode<TGAFloat>*> FScan; // nodes of a fallback subtree still to look up
    std::vector<TGAFloat> FStack;
    std::vector<const TGAFloat*> FValues; // per stack entry: where its values are
    std::vector<TAxGPHashedName> FColumnNames;
    TAxGPChildReader<TGAFloat> FReader;
};

} // namespace ax
