// A dynamically typed value: the value type of variant programs and of XML element text.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <concepts>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <variant>

#include "axgenetic/platform/enum_names.hpp"

namespace ax {

// The kinds a Variant can hold; varEmpty is the unassigned state of a new Variant.
enum class TVarType { varEmpty, varNull, varBoolean, varInt64, varDouble, varString };

template <> struct EnumNames<TVarType> {
    static constexpr std::string_view Values[] = {"varEmpty", "varNull",   "varBoolean",
                                                  "varInt64", "varDouble", "varString"};
};

// The type name used in conversion messages: "Empty", "Null", "Boolean", "Int64",
// "Double", "String".
AXGENETIC_API std::string_view VarTypeAsText(TVarType Type);

// Conversions (ToDouble, ToInt64, ToBool) accept numbers, booleans (as 1 and 0) and text
// that parses as the wanted type; everything else, Empty and Null included, raises
// EVariantError "Could not convert variant of type (<from>) into type (<to>)".
//
// Arithmetic: booleans count as the integers 1 and 0, Empty as the integer 0, and a
// string as the Double it parses to (raising the conversion error above when it does not)
// except that '+' of two strings joins them. Null with anything gives Null. Int64 with
// Int64 stays Int64 for + - * and becomes Double when the result does not fit; '/' always
// gives a Double, with the floating-point results for a zero divisor (INF, -INF, NAN).
// Any Double operand makes the result Double.
//
// Equality: Int64 and Double compare by value, booleans with booleans, strings exactly
// (letter case counts), Empty equals Empty and Null equals Null; different kinds
// otherwise differ.
class AXGENETIC_API Variant {
public:
    Variant() = default;
    Variant(bool Value) : FValue(Value) {}
    template <std::integral I>
    requires(!std::same_as<I, bool>) Variant(I Value) : FValue(static_cast<std::int64_t>(Value)) {}
    template <std::floating_point F> Variant(F Value) : FValue(static_cast<double>(Value)) {}
    Variant(std::string Value) : FValue(std::move(Value)) {}
    Variant(std::string_view Value) : FValue(std::string(Value)) {}
    Variant(const char* Value) : FValue(std::string(Value)) {}

    static Variant Null() {
        Variant V;
        V.FValue = NullValue{};
        return V;
    }
    static Variant Empty() { return Variant(); }

    TVarType VarType() const { return static_cast<TVarType>(FValue.index()); }
    bool IsEmpty() const { return VarType() == TVarType::varEmpty; }
    bool IsNull() const { return VarType() == TVarType::varNull; }
    // Int64 or Double.
    bool IsNumeric() const {
        return VarType() == TVarType::varInt64 || VarType() == TVarType::varDouble;
    }
    // Empty again.
    void Clear() { FValue = std::monostate{}; }

    // Empty and Null give "", booleans "True"/"False", numbers their general text.
    std::string ToString() const;
    double ToDouble() const;
    // Doubles round to the nearest integer, halves to even; out of range is an error.
    std::int64_t ToInt64() const;
    bool ToBool() const;

    // Direct access to the held value; the kind must match.
    bool AsBoolean() const { return std::get<bool>(FValue); }
    std::int64_t AsInt64() const { return std::get<std::int64_t>(FValue); }
    double AsDouble() const { return std::get<double>(FValue); }
    const std::string& AsString() const { return std::get<std::string>(FValue); }

    friend AXGENETIC_API bool operator==(const Variant& A, const Variant& B);
    friend AXGENETIC_API Variant operator+(const Variant& A, const Variant& B);
    friend AXGENETIC_API Variant operator-(const Variant& A, const Variant& B);
    friend AXGENETIC_API Variant operator*(const Variant& A, const Variant& B);
    friend AXGENETIC_API Variant operator/(const Variant& A, const Variant& B);
    Variant operator-() const;
    Variant& operator+=(const Variant& B) { return *this = *this + B; }
    Variant& operator-=(const Variant& B) { return *this = *this - B; }
    Variant& operator*=(const Variant& B) { return *this = *this * B; }
    Variant& operator/=(const Variant& B) { return *this = *this / B; }

    // Readable test and debug output: the kind and the value, e.g. Int64(3).
    friend AXGENETIC_API void PrintTo(const Variant& V, std::ostream* Out);

private:
    struct NullValue {};
    // The alternatives are in TVarType order, so index() is the kind.
    std::variant<std::monostate, NullValue, bool, std::int64_t, double, std::string> FValue;
};

} // namespace ax
