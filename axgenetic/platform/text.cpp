#include "axgenetic/platform/text.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

#include "axgenetic/platform/enum_names.hpp"
#include "axgenetic/platform/exceptions.hpp"

namespace ax {

TFormatSettings& FormatSettings() {
    static TFormatSettings Settings;
    return Settings;
}

namespace {

// A finite non-zero number as decimal digits d0.d1d2... times 10^Exponent.
struct TDecimal {
    bool Negative = false;
    char Digits[20];
    int Count = 0;
    int Exponent = 0;
};

// Splits the output of std::to_chars in scientific format ("-1.2345e+17").
void ParseScientific(const char* First, const char* Last, TDecimal& D) {
    D.Negative = *First == '-';
    if (D.Negative) ++First;
    D.Count = 0;
    while (First != Last && *First != 'e') {
        if (*First != '.') D.Digits[D.Count++] = *First;
        ++First;
    }
    int Exp = 0;
    std::from_chars(First + 1 + (First[1] == '+'), Last, Exp);
    D.Exponent = Exp;
    while (D.Count > 1 && D.Digits[D.Count - 1] == '0')
        --D.Count;
}

std::size_t WriteUnsigned(char* Out, unsigned Value) {
    return static_cast<std::size_t>(std::to_chars(Out, Out + 12, Value).ptr - Out);
}

// Writes D in the general form: plain for exponents -4..14, scientific otherwise.
std::size_t WriteGeneral(char* Buffer, const TDecimal& D, char Separator) {
    char* Out = Buffer;
    if (D.Negative) *Out++ = '-';
    const int E = D.Exponent;
    if (E >= 15 || E < -4) {
        *Out++ = D.Digits[0];
        if (D.Count > 1) {
            *Out++ = Separator;
            Out = std::copy(D.Digits + 1, D.Digits + D.Count, Out);
        }
        *Out++ = 'E';
        if (E < 0) *Out++ = '-';
        Out += WriteUnsigned(Out, static_cast<unsigned>(E < 0 ? -E : E));
    } else if (E >= 0) {
        for (int I = 0; I <= E; ++I)
            *Out++ = I < D.Count ? D.Digits[I] : '0';
        if (D.Count > E + 1) {
            *Out++ = Separator;
            Out = std::copy(D.Digits + E + 1, D.Digits + D.Count, Out);
        }
    } else {
        *Out++ = '0';
        *Out++ = Separator;
        for (int I = -1; I > E; --I)
            *Out++ = '0';
        Out = std::copy(D.Digits, D.Digits + D.Count, Out);
    }
    return static_cast<std::size_t>(Out - Buffer);
}

// Text of the non-finite values and zero, shared by both precisions; 0 when X is none.
template <class F> std::size_t WriteSpecial(char* Buffer, F X) {
    const char* Text = nullptr;
    if (std::isnan(X))
        Text = "NAN";
    else if (std::isinf(X))
        Text = X < 0 ? "-INF" : "INF";
    else if (X == 0)
        Text = "0";
    if (!Text) return 0;
    const std::size_t N = std::strlen(Text);
    std::memcpy(Buffer, Text, N);
    return N;
}

bool IsBlank(char C) {
    return C == ' ' || C == '\t' || C == '\n' || C == '\r' || C == '\v' || C == '\f';
}

std::string_view TrimBlanks(std::string_view S) {
    while (!S.empty() && IsBlank(S.front()))
        S.remove_prefix(1);
    while (!S.empty() && IsBlank(S.back()))
        S.remove_suffix(1);
    return S;
}

bool IsDigit(char C) {
    return C >= '0' && C <= '9';
}

[[noreturn]] void ConvertError(std::string_view Text, const char* What) {
    std::string Message;
    Message.reserve(Text.size() + 40);
    Message += '\'';
    Message += Text;
    Message += "' is not a valid ";
    Message += What;
    throw EConvertError(Message);
}

// Parses a decimal number in the syntax described in the header.
bool ParseFloat(std::string_view Text, double& Value, char Separator) {
    std::string_view S = TrimBlanks(Text);
    bool Negative = false;
    if (!S.empty() && (S.front() == '+' || S.front() == '-')) {
        Negative = S.front() == '-';
        S.remove_prefix(1);
    }
    if (detail::SameTextAscii(S, "NAN")) {
        Value = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    if (detail::SameTextAscii(S, "INF")) {
        Value = Negative ? -std::numeric_limits<double>::infinity()
                         : std::numeric_limits<double>::infinity();
        return true;
    }
    // Copy into the form std::from_chars reads: digits, '.', digits, 'e', exponent.
    char Small[64];
    std::string Large;
    char* Buf = Small;
    if (S.size() + 2 > sizeof Small) {
        Large.resize(S.size() + 2);
        Buf = Large.data();
    }
    std::size_t N = 0, I = 0;
    int IntDigits = 0, FracDigits = 0, LeadingZeros = 0;
    bool SeenNonZero = false;
    Buf[N++] = '0'; // so that ".5" reads
    while (I < S.size() && IsDigit(S[I])) {
        if (S[I] != '0') SeenNonZero = true;
        if (!SeenNonZero) ++LeadingZeros;
        Buf[N++] = S[I++];
        ++IntDigits;
    }
    if (I < S.size() && S[I] == Separator) {
        Buf[N++] = '.';
        ++I;
        while (I < S.size() && IsDigit(S[I])) {
            if (S[I] != '0') SeenNonZero = true;
            if (!SeenNonZero) ++LeadingZeros;
            Buf[N++] = S[I++];
            ++FracDigits;
        }
    }
    if (IntDigits + FracDigits == 0) return false;
    long long Exp10 = 0;
    if (I < S.size() && (S[I] == 'e' || S[I] == 'E')) {
        Buf[N++] = 'e';
        ++I;
        if (I < S.size() && (S[I] == '+' || S[I] == '-')) Buf[N++] = S[I++];
        const bool ExpNegative = Buf[N - 1] == '-';
        if (I >= S.size() || !IsDigit(S[I])) return false;
        while (I < S.size() && IsDigit(S[I])) {
            if (Exp10 < 100000) Exp10 = Exp10 * 10 + (S[I] - '0');
            Buf[N++] = S[I++];
        }
        if (ExpNegative) Exp10 = -Exp10;
    }
    if (I != S.size()) return false;
    double Result = 0;
    const auto [Ptr, Ec] = std::from_chars(Buf, Buf + N, Result);
    if (Ec == std::errc::result_out_of_range) {
        // Too small reads as zero; too large is no value at all. The first non-zero digit
        // stands at 10^(IntDigits - LeadingZeros - 1) before the exponent.
        if (SeenNonZero && IntDigits - LeadingZeros + Exp10 > 0) return false;
        Result = 0;
    } else if (Ec != std::errc() || Ptr != Buf + N) {
        return false;
    }
    Value = Negative ? -Result : Result;
    return true;
}

template <class Int> bool ParseInt(std::string_view Text, Int& Value) {
    std::string_view S = TrimBlanks(Text);
    if (!S.empty() && S.front() == '+') {
        S.remove_prefix(1);
        if (S.empty() || !IsDigit(S.front())) return false;
    }
    if (S.empty()) return false;
    Int Result{};
    const auto [Ptr, Ec] = std::from_chars(S.data(), S.data() + S.size(), Result);
    if (Ec != std::errc() || Ptr != S.data() + S.size()) return false;
    Value = Result;
    return true;
}

} // namespace

std::size_t FormatFloat(char* Buffer, double Value, const TFormatSettings& Settings) {
    if (const std::size_t N = WriteSpecial(Buffer, Value)) return N;
    char Tmp[40];
    // The shortest round-trip digits, when there are at most 15 of them, are also the
    // value rounded to 15 digits: 15-digit decimals lie further apart than normal doubles
    // do (not so for subnormal ones).
    // The shortest form is much cheaper to produce than a fixed precision.
    auto R = std::to_chars(Tmp, Tmp + sizeof Tmp, Value, std::chars_format::scientific);
    TDecimal D;
    ParseScientific(Tmp, R.ptr, D);
    // With 16 or 17 shortest digits, rounding them to 15 equals rounding the exact value
    // unless the digits past the 15th are exactly "5": a 15-digit midpoint lying between
    // the value and its shortest form would itself be a shorter round-trip form.
    const bool Tie = D.Count == 16 && D.Digits[15] == '5';
    if (Tie || !std::isnormal(Value)) {
        R = std::to_chars(Tmp, Tmp + sizeof Tmp, Value, std::chars_format::scientific, 14);
        ParseScientific(Tmp, R.ptr, D);
    } else if (D.Count > 15) {
        const bool Up = D.Digits[15] >= '5';
        D.Count = 15;
        int I = 14;
        if (Up) {
            while (I >= 0 && D.Digits[I] == '9')
                D.Digits[I--] = '0';
            if (I >= 0) {
                ++D.Digits[I];
            } else {
                D.Digits[0] = '1';
                D.Count = 1;
                ++D.Exponent;
            }
        }
        while (D.Count > 1 && D.Digits[D.Count - 1] == '0')
            --D.Count;
    }
    return WriteGeneral(Buffer, D, Settings.DecimalSeparator);
}

std::size_t FormatSingle(char* Buffer, float Value, const TFormatSettings& Settings) {
    if (const std::size_t N = WriteSpecial(Buffer, Value)) return N;
    char Tmp[40];
    auto R = std::to_chars(Tmp, Tmp + sizeof Tmp, Value, std::chars_format::scientific);
    // The shortest text for a float reads back through float parsing; ours goes through a
    // double first, so confirm it and take more digits in the rare case it does not.
    for (int Precision = 0;; ++Precision) {
        double Back = 0;
        std::from_chars(Tmp, R.ptr, Back);
        if (static_cast<float>(Back) == Value || Precision >= 16) break;
        R = std::to_chars(Tmp, Tmp + sizeof Tmp, static_cast<double>(Value),
                          std::chars_format::scientific, Precision);
    }
    TDecimal D;
    ParseScientific(Tmp, R.ptr, D);
    return WriteGeneral(Buffer, D, Settings.DecimalSeparator);
}

std::size_t FormatDouble(char* Buffer, double Value, const TFormatSettings& Settings) {
    if (Value == 0 && std::signbit(Value)) {
        std::memcpy(Buffer, "-0", 2);
        return 2;
    }
    if (const std::size_t N = WriteSpecial(Buffer, Value)) return N;
    char Tmp[40];
    const auto R = std::to_chars(Tmp, Tmp + sizeof Tmp, Value, std::chars_format::scientific);
    TDecimal D;
    ParseScientific(Tmp, R.ptr, D);
    return WriteGeneral(Buffer, D, Settings.DecimalSeparator);
}

std::string ExactFloatToStr(double Value) {
    char Buffer[MaxFloatTextLength];
    return std::string(Buffer, FormatDouble(Buffer, Value, FormatSettings()));
}

float NarrowToSingle(double Value) {
    // FLT_MAX plus half an ulp: from here on round-to-nearest gives infinity.
    constexpr double Overflow = 0x1.ffffffp127;
    if (std::fabs(Value) >= Overflow)
        return Value > 0 ? std::numeric_limits<float>::infinity()
                         : -std::numeric_limits<float>::infinity();
    return static_cast<float>(Value);
}

std::string FloatToStr(double Value) {
    return FloatToStr(Value, FormatSettings());
}

std::string FloatToStr(double Value, const TFormatSettings& Settings) {
    char Buffer[MaxFloatTextLength];
    return std::string(Buffer, FormatFloat(Buffer, Value, Settings));
}

std::string SingleToStr(float Value) {
    return SingleToStr(Value, FormatSettings());
}

std::string SingleToStr(float Value, const TFormatSettings& Settings) {
    char Buffer[MaxFloatTextLength];
    return std::string(Buffer, FormatSingle(Buffer, Value, Settings));
}

double StrToFloat(std::string_view Text) {
    return StrToFloat(Text, FormatSettings());
}

double StrToFloat(std::string_view Text, const TFormatSettings& Settings) {
    double Value = 0;
    if (!ParseFloat(Text, Value, Settings.DecimalSeparator))
        ConvertError(Text, "floating point value");
    return Value;
}

bool TryStrToFloat(std::string_view Text, double& Value) {
    return TryStrToFloat(Text, Value, FormatSettings());
}

bool TryStrToFloat(std::string_view Text, double& Value, const TFormatSettings& Settings) {
    return ParseFloat(Text, Value, Settings.DecimalSeparator);
}

std::string PercentToStr(double Probability) {
    return PercentToStr(Probability, FormatSettings());
}

std::string PercentToStr(double Probability, const TFormatSettings& Settings) {
    const double P = Probability * 100.0;
    if (!std::isfinite(P)) return FloatToStr(P, Settings);
    // Round the 15-digit decimal form, not the binary value, so 0.985 gives 98.5 -> 99.
    char Digits[20] = {};
    int Count = 0, E = 0;
    bool Negative = false;
    if (P != 0) {
        char Tmp[40];
        const auto R = std::to_chars(Tmp, Tmp + sizeof Tmp, P, std::chars_format::scientific, 14);
        TDecimal D;
        ParseScientific(Tmp, R.ptr, D);
        Negative = D.Negative;
        E = D.Exponent;
        // Digits kept: two significant ones, but never beyond the second decimal; from 100
        // on every digit down to the second decimal.
        const int Keep = E < 2 ? std::min(2, E + 3) : E + 3;
        if (Keep >= D.Count) {
            Count = D.Count;
            std::memcpy(Digits, D.Digits, static_cast<std::size_t>(Count));
        } else if (Keep >= 0) {
            Count = Keep;
            std::memcpy(Digits, D.Digits, static_cast<std::size_t>(Count));
            if (D.Digits[Keep] >= '5') {
                int I = Count - 1;
                while (I >= 0 && Digits[I] == '9')
                    Digits[I--] = '0';
                if (I >= 0) {
                    ++Digits[I];
                } else {
                    Digits[0] = '1';
                    Count = 1;
                    ++E;
                }
            }
        }
        while (Count > 0 && Digits[Count - 1] == '0')
            --Count;
    }
    auto DigitAt = [&](int Index) { return Index >= 0 && Index < Count ? Digits[Index] : '0'; };
    std::string Out;
    if (Negative && Count > 0) Out += '-';
    if (Count == 0 || E < 0)
        Out += '0';
    else
        for (int I = 0; I <= E; ++I)
            Out += DigitAt(I);
    Out += Settings.DecimalSeparator;
    Out += DigitAt(E + 1);
    Out += DigitAt(E + 2);
    return Out;
}

std::string BoolToStr(bool Value) {
    return Value ? "True" : "False";
}

bool TryStrToBool(std::string_view Text, bool& Value) {
    const std::string_view S = TrimBlanks(Text);
    if (detail::SameTextAscii(S, "true")) {
        Value = true;
        return true;
    }
    if (detail::SameTextAscii(S, "false")) {
        Value = false;
        return true;
    }
    double Number = 0;
    if (!TryStrToFloat(S, Number)) return false;
    Value = Number != 0;
    return true;
}

bool StrToBool(std::string_view Text) {
    bool Value = false;
    if (!TryStrToBool(Text, Value)) ConvertError(Text, "boolean value");
    return Value;
}

std::string IntToStr(std::int64_t Value) {
    char Buffer[24];
    const auto R = std::to_chars(Buffer, Buffer + sizeof Buffer, Value);
    return std::string(Buffer, R.ptr);
}

bool TryStrToInt(std::string_view Text, std::int32_t& Value) {
    return ParseInt(Text, Value);
}
bool TryStrToInt64(std::string_view Text, std::int64_t& Value) {
    return ParseInt(Text, Value);
}
bool TryStrToUInt(std::string_view Text, std::uint32_t& Value) {
    return ParseInt(Text, Value);
}

std::int32_t StrToInt(std::string_view Text) {
    std::int32_t Value = 0;
    if (!ParseInt(Text, Value)) ConvertError(Text, "integer value");
    return Value;
}

std::int64_t StrToInt64(std::string_view Text) {
    std::int64_t Value = 0;
    if (!ParseInt(Text, Value)) ConvertError(Text, "integer value");
    return Value;
}

std::uint32_t StrToUInt(std::string_view Text) {
    std::uint32_t Value = 0;
    if (!ParseInt(Text, Value)) ConvertError(Text, "integer value");
    return Value;
}

} // namespace ax
