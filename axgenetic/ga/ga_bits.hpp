// The chromosome of a GA individual and its breeding operators.
//
// Every operator that changes bits (Randomize, CrossOver, Mutate, Invert) marks the
// owning individual's fitness stale directly, without a collection notification: inside
// a generation nothing listens for single changes, and the statistics pass re-evaluates
// exactly the stale children. Copies, crossover and inversion work on 64-bit words.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstdint>
#include <string>

#include "axgenetic/common/encoded_bits.hpp"

namespace ax {

class TAxGAIndividual;

class AXGENETIC_API TAxGABits : public TAxEncodedBits {
public:
    explicit TAxGABits(TAxGAIndividual* AOwner = nullptr) : FOwner(AOwner) {}
    // A copy is a plain value that belongs to no individual: changing it leaves the
    // original's individual alone (TAxGABits Copy = Best->Bits();).
    TAxGABits(const TAxGABits& Other) : TAxEncodedBits(Other), FOwner(nullptr) {}
    // Copies the size and bits; this string keeps its owner, whose fitness is now stale.
    TAxGABits& operator=(const TAxGABits& Other) {
        if (this != &Other) {
            TAxEncodedBits::operator=(Other);
            MarkStale();
        }
        return *this;
    }
    ~TAxGABits() override = default;
    std::string ClassName() const override { return "TAxGABits"; }

    // The individual whose chromosome this is, or nullptr; fixed at construction.
    TAxGAIndividual* Owner() const { return FOwner; }

    // Every bit False, same Size; the owner's fitness is left as it is.
    void Clear();
    // Every bit drawn on its own: True when Random(2) is 1.
    void Randomize();
    // Bits below CrossoverBit from Parent1, the rest from Parent2, each as far as that
    // parent and this string reach; bits beyond both keep their values.
    void CrossOver(const TBits& Parent1, const TBits& Parent2, std::int32_t CrossoverBit);
    // The same with the cut drawn as Random(Parent1.Size()).
    void CrossOver(const TBits& Parent1, const TBits& Parent2);
    // Flips each bit whose own draw is below Probability (every bit draws); true when at
    // least one bit flipped.
    bool Mutate(double Probability);
    // Complements Count + 1 bits from Start (stopping at Size); -1 for either draws it.
    void Invert(std::int32_t Start = -1, std::int32_t Count = -1);

    std::string ToString() const override { return TAxEncodedBits::ToString(); }

private:
    void MarkStale();
    TAxGAIndividual* FOwner;
};

} // namespace ax
