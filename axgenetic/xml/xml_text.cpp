#include "axgenetic/xml/xml_text.hpp"

#include "axgenetic/platform/format.hpp"

namespace ax {

bool IsNameStartChar(char32_t C) {
    if (C < 0x80) return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || C == '_' || C == ':';
    return (C >= 0xC0 && C <= 0xD6) || (C >= 0xD8 && C <= 0xF6) || (C >= 0xF8 && C <= 0x2FF) ||
           (C >= 0x370 && C <= 0x37D) || (C >= 0x37F && C <= 0x1FFF) ||
           (C >= 0x200C && C <= 0x200D) || (C >= 0x2070 && C <= 0x218F) ||
           (C >= 0x2C00 && C <= 0x2FEF) || (C >= 0x3001 && C <= 0xD7FF) ||
           (C >= 0xF900 && C <= 0xFDCF) || (C >= 0xFDF0 && C <= 0xFFFD) ||
           (C >= 0x10000 && C <= 0xEFFFF);
}

bool IsNameChar(char32_t C) {
    return IsNameStartChar(C) || (C >= '0' && C <= '9') || C == '-' || C == '.' || C == 0xB7 ||
           (C >= 0x300 && C <= 0x36F) || (C >= 0x203F && C <= 0x2040);
}

bool IsXMLName(std::string_view Name) {
    const auto* B = reinterpret_cast<const unsigned char*>(Name.data());
    std::size_t I = 0;
    while (I < Name.size()) {
        std::size_t Length = 1;
        char32_t C = B[I];
        if (C >= 0x80) {
            std::string Problem;
            C = DecodeXMLChar(B + I, Name.size() - I, Length, Problem);
            if (!Problem.empty()) return false;
        }
        if (!(I == 0 ? IsNameStartChar(C) : IsNameChar(C))) return false;
        I += Length;
    }
    return !Name.empty();
}

char32_t DecodeXMLChar(const unsigned char* Text, std::size_t Available, std::size_t& Length,
                       std::string& Problem) {
    const unsigned char Lead = Text[0];
    Length = 1;
    if (Lead < 0x80) {
        if (!IsXMLChar(Lead))
            Problem = Format("Character U+%s is not allowed in XML", {HexText(Lead, 4)});
        return Lead;
    }
    char32_t C;
    std::size_t Need;
    if (Lead >= 0xC2 && Lead <= 0xDF) {
        Need = 2;
        C = Lead & 0x1Fu;
    } else if (Lead >= 0xE0 && Lead <= 0xEF) {
        Need = 3;
        C = Lead & 0x0Fu;
    } else if (Lead >= 0xF0 && Lead <= 0xF4) {
        Need = 4;
        C = Lead & 0x07u;
    } else {
        Problem = Format(Lead == 0xC0 || Lead == 0xC1 ? "Overlong UTF-8 sequence (byte 0x%s)"
                                                      : "Invalid UTF-8 byte 0x%s",
                         {HexText(Lead)});
        return 0;
    }
    for (std::size_t K = 1; K < Need; ++K) {
        if (K >= Available || (Text[K] & 0xC0) != 0x80) {
            Problem = "Truncated UTF-8 sequence";
            return 0;
        }
        C = (C << 6) | (Text[K] & 0x3Fu);
    }
    Length = Need;
    if ((Need == 3 && C < 0x800) || (Need == 4 && C < 0x10000))
        Problem = "Overlong UTF-8 sequence";
    else if (C >= 0xD800 && C <= 0xDFFF)
        Problem = Format("UTF-8 encoded surrogate U+%s", {HexText(C, 4)});
    else if (C > 0x10FFFF)
        Problem = "UTF-8 sequence past U+10FFFF";
    else if (!IsXMLChar(C))
        Problem = Format("Character U+%s is not allowed in XML", {HexText(C, 4)});
    return C;
}

std::size_t FindInvalidXMLText(std::string_view Text, std::string& Problem) {
    const auto* B = reinterpret_cast<const unsigned char*>(Text.data());
    for (std::size_t I = 0; I < Text.size();) {
        if (B[I] >= 0x20 && B[I] < 0x80) {
            ++I;
            continue;
        }
        std::size_t Length = 1;
        DecodeXMLChar(B + I, Text.size() - I, Length, Problem);
        if (!Problem.empty()) return I;
        I += Length;
    }
    return std::string_view::npos;
}

void AppendUtf8(std::string& Out, char32_t C) {
    if (C < 0x80) {
        Out += static_cast<char>(C);
    } else if (C < 0x800) {
        Out += static_cast<char>(0xC0 | (C >> 6));
        Out += static_cast<char>(0x80 | (C & 0x3F));
    } else if (C < 0x10000) {
        Out += static_cast<char>(0xE0 | (C >> 12));
        Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (C & 0x3F));
    } else {
        Out += static_cast<char>(0xF0 | (C >> 18));
        Out += static_cast<char>(0x80 | ((C >> 12) & 0x3F));
        Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (C & 0x3F));
    }
}

std::string HexText(std::uint32_t Value, int MinDigits) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string Text;
    do {
        Text.insert(Text.begin(), Digits[Value % 16]);
        Value /= 16;
    } while (Value != 0 || static_cast<int>(Text.size()) < MinDigits);
    return Text;
}

} // namespace ax
