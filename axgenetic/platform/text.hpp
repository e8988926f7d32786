// Number and boolean text, the way documents and descriptions write them.
//
// Float text is the general form: at most 15 significant digits, no trailing zeros, and
// plain decimals for decimal exponents from -4 to 14 (0.0001 and 123456789012345 are
// plain; 0.00001 is "1E-5" and 1e15 is "1E15"). The exponent is written as "E", a minus
// sign when negative, and the decimal exponent without leading zeros ("1E20", "1.5E-7").
// Non-finite values are "NAN", "INF" and "-INF". Negative zero is written "0".
//
// Parsing accepts what writing produces and more: blanks (spaces and tabs) around the
// number, a leading '+' or '-', an optional fraction after the decimal separator, an
// exponent introduced by 'E' or 'e', and "NAN"/"INF" in any letter case. Only the decimal
// separator of the format settings is accepted. Magnitudes too small for a double read
// as zero; too large ones are an error.
//
// Nothing here looks at the C or C++ locale; only FormatSettings() decides the separator.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ax {

// Process-wide number format settings.
struct AXGENETIC_API TFormatSettings {
    char DecimalSeparator = '.';
};

// The settings every conversion without an explicit settings argument uses.
AXGENETIC_API TFormatSettings& FormatSettings();

// Longest text FormatFloat/FormatSingle write, sign and exponent included.
inline constexpr std::size_t MaxFloatTextLength = 32;

// Writes the general float text of Value into Buffer (at least MaxFloatTextLength chars,
// not terminated) and returns its length; for callers that must not allocate.
AXGENETIC_API std::size_t FormatFloat(char* Buffer, double Value, const TFormatSettings& Settings);
// The same for a single-precision value: the shortest text that reads back (through
// StrToFloat and narrowing to float) to the same float.
AXGENETIC_API std::size_t FormatSingle(char* Buffer, float Value, const TFormatSettings& Settings);

// The general form with as many digits as it takes (up to 17) to read back through
// StrToFloat to the very same double: documents store doubles this way, so that every
// value, DBL_MAX, the denormals and negative zero ("-0") included, survives a save and a
// load. Other non-finite values are written as FormatFloat writes them.
AXGENETIC_API std::size_t FormatDouble(char* Buffer, double Value, const TFormatSettings& Settings);
// FormatDouble as a string, under the process-wide settings: the text documents hold.
AXGENETIC_API std::string ExactFloatToStr(double Value);

// Narrows to single precision the way IEEE arithmetic does: magnitudes past the single
// range round to an infinity of their sign (a plain cast of them is undefined).
AXGENETIC_API float NarrowToSingle(double Value);

AXGENETIC_API std::string FloatToStr(double Value);
AXGENETIC_API std::string FloatToStr(double Value, const TFormatSettings& Settings);
AXGENETIC_API std::string SingleToStr(float Value);
AXGENETIC_API std::string SingleToStr(float Value, const TFormatSettings& Settings);

// Raises EConvertError "'<text>' is not a valid floating point value".
AXGENETIC_API double StrToFloat(std::string_view Text);
AXGENETIC_API double StrToFloat(std::string_view Text, const TFormatSettings& Settings);
// False (and Value untouched) where StrToFloat would raise.
AXGENETIC_API bool TryStrToFloat(std::string_view Text, double& Value);
AXGENETIC_API bool TryStrToFloat(std::string_view Text, double& Value, const TFormatSettings& Settings);

// A probability as a percentage with two decimals: Probability * 100 rounded (halves
// away from zero) to two significant digits, "98.00", "10.00", "1.00", "0.50". Two
// significant digits cannot show 100 or more, so from 100 on the percentage is rounded
// to two decimals instead: 1 gives "100.00", 1.234 gives "123.40". Non-finite values
// are written as FloatToStr writes them.
AXGENETIC_API std::string PercentToStr(double Probability);
AXGENETIC_API std::string PercentToStr(double Probability, const TFormatSettings& Settings);

// "True" or "False".
AXGENETIC_API std::string BoolToStr(bool Value);
// "true"/"false" in any letter case, or a number (non-zero is true), blanks around
// allowed; anything else raises EConvertError "'<text>' is not a valid boolean value".
AXGENETIC_API bool StrToBool(std::string_view Text);
AXGENETIC_API bool TryStrToBool(std::string_view Text, bool& Value);

AXGENETIC_API std::string IntToStr(std::int64_t Value);

// Decimal integers with an optional sign, blanks around allowed. Text that is no integer
// or does not fit raises EConvertError "'<text>' is not a valid integer value".
AXGENETIC_API std::int32_t StrToInt(std::string_view Text);
AXGENETIC_API std::int64_t StrToInt64(std::string_view Text);
AXGENETIC_API std::uint32_t StrToUInt(std::string_view Text);
AXGENETIC_API bool TryStrToInt(std::string_view Text, std::int32_t& Value);
AXGENETIC_API bool TryStrToInt64(std::string_view Text, std::int64_t& Value);
AXGENETIC_API bool TryStrToUInt(std::string_view Text, std::uint32_t& Value);

} // namespace ax
