#include "axgenetic/platform/variant.hpp"

#include <cmath>
#include <ostream>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/math.hpp"
#include "axgenetic/platform/text.hpp"

namespace ax {

std::string_view VarTypeAsText(TVarType Type) {
    switch (Type) {
    case TVarType::varEmpty:
        return "Empty";
    case TVarType::varNull:
        return "Null";
    case TVarType::varBoolean:
        return "Boolean";
    case TVarType::varInt64:
        return "Int64";
    case TVarType::varDouble:
        return "Double";
    case TVarType::varString:
        return "String";
    }
    return "Unknown";
}

namespace {

[[noreturn]] void CastError(TVarType From, TVarType To) {
    std::string Message = "Could not convert variant of type (";
    Message += VarTypeAsText(From);
    Message += ") into type (";
    Message += VarTypeAsText(To);
    Message += ")";
    throw EVariantError(Message);
}

// An arithmetic operand after the conversions described in the header.
struct TNumber {
    bool IsInt;
    std::int64_t Int;
    double Dbl;
    double AsDouble() const { return IsInt ? static_cast<double>(Int) : Dbl; }
};

TNumber ToNumber(const Variant& V) {
    switch (V.VarType()) {
    case TVarType::varEmpty:
        return {true, 0, 0};
    case TVarType::varBoolean:
        return {true, V.AsBoolean() ? 1 : 0, 0};
    case TVarType::varInt64:
        return {true, V.AsInt64(), 0};
    case TVarType::varDouble:
        return {false, 0, V.AsDouble()};
    default:
        return {false, 0, V.ToDouble()}; // strings; Null is handled by the callers
    }
}

enum class TOp { Add, Subtract, Multiply, Divide };

Variant Arithmetic(const Variant& A, const Variant& B, TOp Op) {
    if (A.IsNull() || B.IsNull()) return Variant::Null();
    if (Op == TOp::Add && A.VarType() == TVarType::varString && B.VarType() == TVarType::varString)
        return Variant(A.AsString() + B.AsString());
    const TNumber X = ToNumber(A), Y = ToNumber(B);
    if (X.IsInt && Y.IsInt && Op != TOp::Divide) {
        std::int64_t R = 0;
        bool Overflow = false;
        switch (Op) {
        case TOp::Add:
            Overflow = __builtin_add_overflow(X.Int, Y.Int, &R);
            break;
        case TOp::Subtract:
            Overflow = __builtin_sub_overflow(X.Int, Y.Int, &R);
            break;
        default:
            Overflow = __builtin_mul_overflow(X.Int, Y.Int, &R);
            break;
        }
        if (!Overflow) return Variant(R);
    }
    const double P = X.AsDouble(), Q = Y.AsDouble();
    switch (Op) {
    case TOp::Add:
        return Variant(P + Q);
    case TOp::Subtract:
        return Variant(P - Q);
    case TOp::Multiply:
        return Variant(P * Q);
    default:
        return Variant(P / Q);
    }
}

} // namespace

std::string Variant::ToString() const {
    switch (VarType()) {
    case TVarType::varEmpty:
    case TVarType::varNull:
        return {};
    case TVarType::varBoolean:
        return BoolToStr(AsBoolean());
    case TVarType::varInt64:
        return IntToStr(AsInt64());
    case TVarType::varDouble:
        return FloatToStr(AsDouble());
    case TVarType::varString:
        return AsString();
    }
    return {};
}

double Variant::ToDouble() const {
    switch (VarType()) {
    case TVarType::varBoolean:
        return AsBoolean() ? 1.0 : 0.0;
    case TVarType::varInt64:
        return static_cast<double>(AsInt64());
    case TVarType::varDouble:
        return AsDouble();
    case TVarType::varString: {
        double Value = 0;
        if (TryStrToFloat(AsString(), Value)) return Value;
        break;
    }
    default:
        break;
    }
    CastError(VarType(), TVarType::varDouble);
}

std::int64_t Variant::ToInt64() const {
    double D = 0;
    switch (VarType()) {
    case TVarType::varBoolean:
        return AsBoolean() ? 1 : 0;
    case TVarType::varInt64:
        return AsInt64();
    case TVarType::varDouble:
        D = AsDouble();
        break;
    case TVarType::varString: {
        std::int64_t Value = 0;
        if (TryStrToInt64(AsString(), Value)) return Value;
        if (!TryStrToFloat(AsString(), D)) CastError(VarType(), TVarType::varInt64);
        break;
    }
    default:
        CastError(VarType(), TVarType::varInt64);
    }
    // 2^63 is the first double that no longer fits.
    if (!(D >= -0x1p63 && D < 0x1p63)) CastError(VarType(), TVarType::varInt64);
    return Round(D);
}

bool Variant::ToBool() const {
    switch (VarType()) {
    case TVarType::varBoolean:
        return AsBoolean();
    case TVarType::varInt64:
        return AsInt64() != 0;
    case TVarType::varDouble:
        return AsDouble() != 0;
    case TVarType::varString: {
        bool Value = false;
        if (TryStrToBool(AsString(), Value)) return Value;
        break;
    }
    default:
        break;
    }
    CastError(VarType(), TVarType::varBoolean);
}

bool operator==(const Variant& A, const Variant& B) {
    const TVarType TA = A.VarType(), TB = B.VarType();
    if (A.IsNumeric() && B.IsNumeric()) {
        if (TA == TVarType::varInt64 && TB == TVarType::varInt64) return A.AsInt64() == B.AsInt64();
        return A.ToDouble() == B.ToDouble();
    }
    if (TA != TB) return false;
    switch (TA) {
    case TVarType::varBoolean:
        return A.AsBoolean() == B.AsBoolean();
    case TVarType::varString:
        return A.AsString() == B.AsString();
    default:
        return true; // Empty, Null
    }
}

Variant operator+(const Variant& A, const Variant& B) {
    return Arithmetic(A, B, TOp::Add);
}
Variant operator-(const Variant& A, const Variant& B) {
    return Arithmetic(A, B, TOp::Subtract);
}
Variant operator*(const Variant& A, const Variant& B) {
    return Arithmetic(A, B, TOp::Multiply);
}
Variant operator/(const Variant& A, const Variant& B) {
    return Arithmetic(A, B, TOp::Divide);
}

Variant Variant::operator-() const {
    if (IsNull()) return *this;
    if (VarType() == TVarType::varDouble) return Variant(-AsDouble()); // keeps -0.0 exact
    return Arithmetic(Variant(std::int64_t{0}), *this, TOp::Subtract);
}

void PrintTo(const Variant& V, std::ostream* Out) {
    *Out << VarTypeAsText(V.VarType());
    if (!V.IsEmpty() && !V.IsNull()) *Out << '(' << V.ToString() << ')';
}

} // namespace ax
