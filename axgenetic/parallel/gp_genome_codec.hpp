// The genome codec of GP individuals: the program tree in prefix order.
//
// A program refers to instructions by their index in the component's instruction set, so
// every process that decodes must have built the same set, in the same order (as every
// rank of an MPI job does when it builds the same component). Encoding:
//
//   uint32 record count (0: no tree), then one record per node in prefix order:
//     int32  instruction index; -1 for a node without instruction, -2 for an empty child
//            slot of a binary node (such a record ends there)
//     uint32 slot count: the children that follow, up to the last occupied slot
//     the node's value, for a node whose instruction is a constant:
//       float programs: the double (8 bytes)
//       variant programs: a uint8 kind (TVarType: 0 empty, 1 null, 2 boolean, 3 int64,
//       4 double, 5 string), then nothing, nothing, a uint8 0 or 1, an int64, a double,
//       or a uint32 length and the UTF-8 bytes
//
// Decoding reads and checks every record (indexes, slot counts against the node class,
// the record count against the data left, the tree's shape, its depth) before it builds
// anything, builds the tree with an explicit stack, and only then hands it to the
// individual; bad data raises EGAException (SMalformedGenome) and leaves the individual
// as it was. The bounds keep what other code does with a decoded tree (walks that recurse
// once per level) within the stack and memory of a normal program.
#pragma once

#include <cstdint>

#include "axgenetic/gp/engine/variant_classes.hpp"
#include "axgenetic/parallel/genome_codec.hpp"

namespace ax {

template <class T> class TAxGPGenomeCodec : public IAxGenomeCodec {
public:
    // The deepest tree decoded (a leaf has depth 0) and the most nodes in one.
    static constexpr int DefaultMaxDepth = 1024;
    static constexpr std::uint32_t DefaultMaxNodes = 1u << 20;

    explicit TAxGPGenomeCodec(int MaxDepth = DefaultMaxDepth,
                              std::uint32_t MaxNodes = DefaultMaxNodes)
        : FMaxDepth(MaxDepth), FMaxNodes(MaxNodes) {}

    int MaxDepth() const { return FMaxDepth; }
    std::uint32_t MaxNodes() const { return FMaxNodes; }

    void Encode(const TAxIndividual& Item, TAxGenomeWriter& Writer) const override;
    void Decode(TAxGenomeReader& Reader, TAxIndividual& Item) const override;

private:
    int FMaxDepth;
    std::uint32_t FMaxNodes;
};

using TAxGPFloatGenomeCodec = TAxGPGenomeCodec<TGAFloat>;
using TAxGPVariantGenomeCodec = TAxGPGenomeCodec<Variant>;

extern template class TAxGPGenomeCodec<TGAFloat>;
extern template class TAxGPGenomeCodec<Variant>;

} // namespace ax
