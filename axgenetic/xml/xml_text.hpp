// Characters and names as XML 1.0 defines them, shared by the reader and the writer.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ax {

// A character XML 1.0 allows: tab, LF, CR, U+0020..U+D7FF, U+E000..U+FFFD,
// U+10000..U+10FFFF.
constexpr bool IsXMLChar(char32_t C) {
    return C == 0x9 || C == 0xA || C == 0xD || (C >= 0x20 && C <= 0xD7FF) ||
           (C >= 0xE000 && C <= 0xFFFD) || (C >= 0x10000 && C <= 0x10FFFF);
}
AXGENETIC_API bool IsNameStartChar(char32_t C);
AXGENETIC_API bool IsNameChar(char32_t C);
// A whole XML name in valid UTF-8.
AXGENETIC_API bool IsXMLName(std::string_view Name);

// Decodes the UTF-8 sequence at Text (Available bytes, at least one) into Length bytes and
// its code point. Problem is left empty for a valid XML character and otherwise names
// what is wrong: an invalid, overlong or truncated sequence, a surrogate, a code point
// past U+10FFFF, or a character XML does not allow.
AXGENETIC_API char32_t DecodeXMLChar(const unsigned char* Text, std::size_t Available, std::size_t& Length,
                       std::string& Problem);
// The first problem of Text as XML character data: its byte offset, or npos when none,
// and the problem in Problem.
AXGENETIC_API std::size_t FindInvalidXMLText(std::string_view Text, std::string& Problem);

AXGENETIC_API void AppendUtf8(std::string& Out, char32_t C);
// Upper-case hexadecimal, at least MinDigits digits.
AXGENETIC_API std::string HexText(std::uint32_t Value, int MinDigits = 2);

} // namespace ax
