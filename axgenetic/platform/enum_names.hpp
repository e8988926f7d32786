// Names of enumeration values, as the documents and descriptions write them.
//
// An enumeration takes part by specializing EnumNames with its value names in ordinal
// order:
//   template <> struct EnumNames<TGAFitnessMethod> {
//       static constexpr std::string_view Values[] = {"fmMinimize", ...};
//   };
#pragma once

#include <cstddef>
#include <iterator>
#include <optional>
#include <string_view>
#include <type_traits>

namespace ax {

template <class E>
struct EnumNames; // specialized next to each enumeration

namespace detail {
constexpr bool SameTextAscii(std::string_view A, std::string_view B) {
    if (A.size() != B.size()) return false;
    for (std::size_t I = 0; I < A.size(); ++I) {
        char X = A[I], Y = B[I];
        if (X >= 'A' && X <= 'Z') X = static_cast<char>(X - 'A' + 'a');
        if (Y >= 'A' && Y <= 'Z') Y = static_cast<char>(Y - 'A' + 'a');
        if (X != Y) return false;
    }
    return true;
}
} // namespace detail

// Number of values of an enumeration that has a name table.
template <class E>
constexpr std::size_t EnumCount() {
    return std::size(EnumNames<E>::Values);
}

// The name of Value; an empty text for an ordinal outside the enumeration.
template <class E>
constexpr std::string_view GetEnumName(E Value) {
    static_assert(std::is_enum_v<E>);
    const auto Ordinal = static_cast<std::size_t>(Value);
    return Ordinal < EnumCount<E>() ? EnumNames<E>::Values[Ordinal] : std::string_view{};
}

// The value named Name (letter case ignored), or std::nullopt when no value has that name.
template <class E>
constexpr std::optional<E> GetEnumValue(std::string_view Name) {
    static_assert(std::is_enum_v<E>);
    for (std::size_t I = 0; I < EnumCount<E>(); ++I)
        if (detail::SameTextAscii(EnumNames<E>::Values[I], Name)) return static_cast<E>(I);
    return std::nullopt;
}

} // namespace ax
