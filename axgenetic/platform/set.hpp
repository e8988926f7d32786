// A small set of enumeration values held in one integer: bit i is the value of ordinal i.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace ax {

template <class E, class Storage = std::uint32_t>
class AXGENETIC_API TSet {
    static_assert(std::is_enum_v<E>, "TSet holds enumeration values");

public:
    using value_type = E;
    using storage_type = Storage;

    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> Values) {
        for (E V : Values) Include(V);
    }
    // The set whose bit pattern is Bits (bit i = ordinal i).
    static constexpr TSet FromBits(Storage Bits) {
        TSet S;
        S.FBits = Bits;
        return S;
    }

    constexpr Storage Bits() const { return FBits; }
    constexpr bool Contains(E V) const { return (FBits & Mask(V)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr TSet& Include(E V) {
        FBits = static_cast<Storage>(FBits | Mask(V));
        return *this;
    }
    constexpr TSet& Exclude(E V) {
        FBits = static_cast<Storage>(FBits & ~Mask(V));
        return *this;
    }

    friend constexpr TSet operator|(TSet A, TSet B) { return FromBits(static_cast<Storage>(A.FBits | B.FBits)); }
    friend constexpr TSet operator&(TSet A, TSet B) { return FromBits(static_cast<Storage>(A.FBits & B.FBits)); }
    friend constexpr TSet operator-(TSet A, TSet B) { return FromBits(static_cast<Storage>(A.FBits & ~B.FBits)); }
    friend constexpr bool operator==(TSet A, TSet B) = default;

private:
    static constexpr Storage Mask(E V) { return static_cast<Storage>(Storage{1} << static_cast<unsigned>(V)); }
    Storage FBits = 0;
};

} // namespace ax
