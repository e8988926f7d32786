#include "axgenetic/xml/xml_reader.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/xml/xml_text.hpp"

namespace ax {

namespace {

[[noreturn]] void Fail(const std::string& What, std::size_t At) {
    throw EXMLParseError(Format("%s at offset %d", {What, static_cast<std::int64_t>(At)}),
                         static_cast<std::ptrdiff_t>(At));
}

bool IsBlank(unsigned char C) {
    return C == ' ' || C == '\t' || C == '\n' || C == '\r';
}

// ---- encodings --------------------------------------------------------------------------

enum class TEncoding { Utf8, Utf16LE, Utf16BE, Utf32LE, Utf32BE };

bool IsUtf16(TEncoding E) {
    return E == TEncoding::Utf16LE || E == TEncoding::Utf16BE;
}
bool IsUtf32(TEncoding E) {
    return E == TEncoding::Utf32LE || E == TEncoding::Utf32BE;
}

// The encoding of the bytes and the length of their byte order mark, from the first bytes
// (a mark, or the "<?" a declaration starts with).
TEncoding SniffEncoding(const std::string& Data, std::size_t& Mark) {
    const auto* B = reinterpret_cast<const unsigned char*>(Data.data());
    const std::size_t N = Data.size();
    const auto Starts = [&](std::initializer_list<unsigned char> Bytes) {
        if (N < Bytes.size()) return false;
        std::size_t I = 0;
        for (unsigned char Byte : Bytes)
            if (B[I++] != Byte) return false;
        return true;
    };
    Mark = 0;
    if (Starts({0xEF, 0xBB, 0xBF})) return Mark = 3, TEncoding::Utf8;
    if (Starts({0xFF, 0xFE, 0x00, 0x00})) return Mark = 4, TEncoding::Utf32LE;
    if (Starts({0x00, 0x00, 0xFE, 0xFF})) return Mark = 4, TEncoding::Utf32BE;
    if (Starts({0xFF, 0xFE})) return Mark = 2, TEncoding::Utf16LE;
    if (Starts({0xFE, 0xFF})) return Mark = 2, TEncoding::Utf16BE;
    if (Starts({0x3C, 0x00, 0x00, 0x00})) return TEncoding::Utf32LE;
    if (Starts({0x00, 0x00, 0x00, 0x3C})) return TEncoding::Utf32BE;
    if (Starts({0x3C, 0x00, 0x3F, 0x00})) return TEncoding::Utf16LE;
    if (Starts({0x00, 0x3C, 0x00, 0x3F})) return TEncoding::Utf16BE;
    return TEncoding::Utf8;
}

// UTF-16 or UTF-32 bytes from Start on as UTF-8. Code points are checked here only for
// what the encoding itself forbids; the XML character check follows on the UTF-8.
std::string WideToUtf8(const std::string& Data, std::size_t Start, TEncoding Encoding) {
    const auto* B = reinterpret_cast<const unsigned char*>(Data.data());
    const std::size_t N = Data.size();
    const std::size_t Unit = IsUtf16(Encoding) ? 2 : 4;
    const bool Big = Encoding == TEncoding::Utf16BE || Encoding == TEncoding::Utf32BE;
    const auto Read = [&](std::size_t I) {
        char32_t U = 0;
        for (std::size_t K = 0; K < Unit; ++K)
            U |= static_cast<char32_t>(B[I + K]) << (8 * (Big ? Unit - 1 - K : K));
        return U;
    };
    if ((N - Start) % Unit != 0) Fail("Truncated character at the end of the document", N);
    std::string Out;
    Out.reserve(N);
    for (std::size_t I = Start; I < N; I += Unit) {
        char32_t U = Read(I);
        if (Unit == 2 && U >= 0xD800 && U <= 0xDBFF && I + 2 < N) {
            const char32_t Low = Read(I + 2);
            if (Low >= 0xDC00 && Low <= 0xDFFF) {
                U = 0x10000 + ((U - 0xD800) << 10) + (Low - 0xDC00);
                I += 2;
            }
        }
        if ((U >= 0xD800 && U <= 0xDFFF) || U > 0x10FFFF)
            Fail(Format("Invalid %s code unit 0x%s", {Unit == 2 ? "UTF-16" : "UTF-32", HexText(U)}),
                 I);
        AppendUtf8(Out, U);
    }
    return Out;
}

// The characters 0x80 to 0x9F of windows-1252; 0 marks a byte the code page leaves
// undefined.
constexpr std::array<char16_t, 32> Windows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

enum class TSingleByte { Latin1, Latin9, Windows1252, Ascii };

char32_t SingleByteChar(TSingleByte Code, unsigned char C, std::size_t At) {
    if (C < 0x80) return C;
    switch (Code) {
    case TSingleByte::Ascii:
        Fail(Format("Byte 0x%s is not US-ASCII", {HexText(C)}), At);
    case TSingleByte::Windows1252:
        if (C < 0xA0) {
            if (!Windows1252High[C - 0x80])
                Fail(Format("Byte 0x%s is undefined in windows-1252", {HexText(C)}), At);
            return Windows1252High[C - 0x80];
        }
        return C;
    case TSingleByte::Latin9:
        switch (C) {
        case 0xA4:
            return 0x20AC;
        case 0xA6:
            return 0x0160;
        case 0xA8:
            return 0x0161;
        case 0xB4:
            return 0x017D;
        case 0xB8:
            return 0x017E;
        case 0xBC:
            return 0x0152;
        case 0xBD:
            return 0x0153;
        case 0xBE:
            return 0x0178;
        default:
            return C;
        }
    case TSingleByte::Latin1:
        break;
    }
    return C;
}

std::string SingleByteToUtf8(const std::string& Data, std::size_t Start, TSingleByte Code) {
    std::string Out;
    Out.reserve(Data.size() + Data.size() / 4);
    for (std::size_t I = Start; I < Data.size(); ++I)
        AppendUtf8(Out, SingleByteChar(Code, static_cast<unsigned char>(Data[I]), I));
    return Out;
}

bool SameAscii(std::string_view A, std::string_view B) {
    if (A.size() != B.size()) return false;
    for (std::size_t I = 0; I < A.size(); ++I) {
        const auto Lower = [](char C) { return C >= 'A' && C <= 'Z' ? char(C - 'A' + 'a') : C; };
        if (Lower(A[I]) != Lower(B[I])) return false;
    }
    return true;
}

bool IsAnyOf(std::string_view Name, std::initializer_list<std::string_view> Names) {
    for (std::string_view N : Names)
        if (SameAscii(Name, N)) return true;
    return false;
}

// ---- the XML declaration ----------------------------------------------------------------

struct TDeclaration {
    bool Present = false;
    std::size_t End = 0; // just past "?>"
    std::string Encoding;
};

// Reads the XML declaration at Start, if there is one, checking its syntax.
TDeclaration ReadDeclaration(const std::string& Text, std::size_t Start) {
    TDeclaration D;
    const std::size_t N = Text.size();
    if (Text.compare(Start, 5, "<?xml") != 0 || Start + 5 >= N ||
        !IsBlank(static_cast<unsigned char>(Text[Start + 5])))
        return D;
    D.Present = true;
    std::size_t P = Start + 5;
    const auto Blanks = [&] {
        const std::size_t From = P;
        while (P < N && IsBlank(static_cast<unsigned char>(Text[P])))
            ++P;
        return P > From;
    };
    // One pseudo-attribute Name="value" (or '...'); the value, or nullopt when Name is not
    // next.
    const auto Pseudo = [&](const char* Name, std::string& Value) {
        const std::size_t Length = std::strlen(Name);
        if (Text.compare(P, Length, Name) != 0) return false;
        P += Length;
        Blanks();
        if (P >= N || Text[P] != '=') Fail("Expected \"=\" in the XML declaration", P);
        ++P;
        Blanks();
        if (P >= N || (Text[P] != '"' && Text[P] != '\''))
            Fail("Expected a quoted value in the XML declaration", P);
        const char Quote = Text[P++];
        const std::size_t Close = Text.find(Quote, P);
        if (Close == std::string::npos) Fail("Unterminated XML declaration", Start);
        Value = Text.substr(P, Close - P);
        P = Close + 1;
        return true;
    };
    std::string Value;
    Blanks();
    if (!Pseudo("version", Value)) Fail("Expected the version in the XML declaration", P);
    if (Value.size() < 3 || Value.compare(0, 2, "1.") != 0 ||
        Value.find_first_not_of("0123456789", 2) != std::string::npos)
        Fail("Unsupported XML version \"" + Value + "\"", Start);
    bool Space = Blanks();
    if (Space && Pseudo("encoding", D.Encoding)) {
        const auto IsEncChar = [](char C) {
            return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || (C >= '0' && C <= '9') ||
                   C == '.' || C == '_' || C == '-';
        };
        if (D.Encoding.empty() || !std::isalpha(static_cast<unsigned char>(D.Encoding[0])) ||
            !std::all_of(D.Encoding.begin(), D.Encoding.end(), IsEncChar))
            Fail("Invalid encoding name \"" + D.Encoding + "\"", Start);
        Space = Blanks();
    }
    if (Space && Pseudo("standalone", Value)) {
        if (Value != "yes" && Value != "no")
            Fail("Invalid standalone value \"" + Value + "\"", Start);
        Blanks();
    }
    if (Text.compare(P, 2, "?>") != 0) Fail("Invalid XML declaration", P);
    D.End = P + 2;
    return D;
}

// ---- the well-formedness check ----------------------------------------------------------

// Byte classes of the fast loops: a set bit means "an ordinary character here", one that
// needs no look beyond itself. The terminating zero of the text is never ordinary, which
// lets the loops run without a bounds check.
enum : std::uint8_t {
    InText = 1,      // character data
    InAttribute = 2, // attribute values (either quote handled by the caller)
    InComment = 4,
    InInstruction = 8,
    InSection = 16, // CDATA sections
    InLiteral = 32, // quoted literals of a document type declaration
    NameFirst = 64, // ASCII name characters; bytes from 0x80 on are decoded first
    NameNext = 128,
};

constexpr std::array<std::uint8_t, 256> MakeClasses() {
    std::array<std::uint8_t, 256> T{};
    for (int C = 0x20; C < 0x80; ++C)
        T[C] = InText | InAttribute | InComment | InInstruction | InSection | InLiteral;
    for (int C : {'\t', '\n'})
        T[C] = InText | InComment | InInstruction | InSection | InLiteral;
    T['\r'] = InComment | InInstruction | InLiteral;
    T['<'] &= ~(InText | InAttribute);
    T['&'] &= ~(InText | InAttribute);
    T[']'] &= ~(InText | InSection);
    T['"'] &= ~(InAttribute | InLiteral);
    T['\''] &= ~(InAttribute | InLiteral);
    T['-'] &= ~InComment;
    T['?'] &= ~InInstruction;
    for (int C = 0; C < 0x80; ++C) {
        const bool Letter = (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z');
        if (Letter || C == '_' || C == ':') T[C] |= NameFirst | NameNext;
        if ((C >= '0' && C <= '9') || C == '-' || C == '.') T[C] |= NameNext;
    }
    return T;
}
constexpr std::array<std::uint8_t, 256> Classes = MakeClasses();

class TChecker {
public:
    // Text holds Size bytes of document and zero padding behind them.
    TChecker(std::string& Text, std::size_t Start, std::size_t Size, TXMLTextFacts& Facts)
        : FText(Text), B(reinterpret_cast<const unsigned char*>(Text.data())), N(Size), P(Start),
          F(Facts) {}

    void Document() {
        Misc(true);
        if (P >= N) Fail("No document element", P);
        Element();
        Misc(false);
    }

private:
    // The padding behind the text keeps this look-ahead inside the buffer.
    template <std::size_t Size> bool At(const char (&Literal)[Size]) const {
        return std::memcmp(B + P, Literal, Size - 1) == 0;
    }

    bool SkipBlanks() {
        const std::size_t From = P;
        while (IsBlank(B[P]))
            ++P;
        return P > From;
    }

    void Expect(char C, const char* What) {
        if (B[P] != static_cast<unsigned char>(C) || P >= N) Fail(What, P);
        ++P;
    }

    // One character that no fast loop took: a UTF-8 sequence, or a control character.
    void OtherChar() {
        if (P >= N) Fail("Unexpected end of document", P);
        if (B[P] >= 0x80) {
            ReadUtf8();
            return;
        }
        if (B[P] < 0x20 && !IsBlank(B[P]))
            Fail(Format("Character U+%s is not allowed in XML", {HexText(B[P], 4)}), P);
        if (B[P] == '\r') F.HasCarriageReturn = true;
        ++P;
    }

    char32_t ReadUtf8() {
        std::size_t Length = 0;
        std::string Problem;
        const char32_t U = DecodeXMLChar(B + P, N - P, Length, Problem);
        if (!Problem.empty()) Fail(Problem, P);
        P += Length;
        return U;
    }

    bool NameStart() {
        if (B[P] < 0x80) {
            if (!(Classes[B[P]] & NameFirst)) return false;
            ++P;
            return true;
        }
        const std::size_t Save = P;
        if (IsNameStartChar(ReadUtf8())) return true;
        P = Save;
        return false;
    }
    bool NameChar() {
        while (Classes[B[P]] & NameNext)
            ++P;
        if (B[P] < 0x80) return false;
        const std::size_t Save = P;
        if (IsNameChar(ReadUtf8())) return true;
        P = Save;
        return false;
    }
    std::string_view Name(const char* What) {
        const std::size_t From = P;
        if (!NameStart()) Fail(std::string("Expected ") + What, P);
        while (NameChar()) {
        }
        return {reinterpret_cast<const char*>(B + From), P - From};
    }

    void Reference() {
        const std::size_t From = P++;
        F.HasReferences = true;
        if (B[P] == '#') {
            ++P;
            const bool Hex = B[P] == 'x';
            if (Hex) ++P;
            std::uint32_t Value = 0;
            std::size_t Digits = 0;
            for (;; ++P, ++Digits) {
                const unsigned char C = B[P];
                int D = -1;
                if (C >= '0' && C <= '9')
                    D = C - '0';
                else if (Hex && C >= 'a' && C <= 'f')
                    D = C - 'a' + 10;
                else if (Hex && C >= 'A' && C <= 'F')
                    D = C - 'A' + 10;
                if (D < 0) break;
                if (Value <= 0x10FFFF)
                    Value = Value * (Hex ? 16 : 10) + static_cast<std::uint32_t>(D);
            }
            if (Digits == 0 || B[P] != ';' || P >= N) Fail("Invalid character reference", From);
            ++P;
            if (!IsXMLChar(Value))
                Fail(Format("Reference to character U+%s, which XML does not allow",
                            {HexText(std::min<std::uint32_t>(Value, 0x110000), 4)}),
                     From);
            return;
        }
        if (!NameStart()) Fail("\"&\" that starts no reference", From);
        while (NameChar()) {
        }
        const std::string_view Entity(reinterpret_cast<const char*>(B + From + 1), P - From - 1);
        if (B[P] != ';' || P >= N) Fail("\"&\" that starts no reference", From);
        ++P;
        if (Entity != "lt" && Entity != "gt" && Entity != "amp" && Entity != "apos" &&
            Entity != "quot")
            Fail("Undefined entity \"" + std::string(Entity) + "\"", From);
    }

    // Skips ordinary characters of Class, and checks the others, up to and past Close.
    template <std::size_t Size>
    void SkipPast(std::uint8_t Class, const char (&Close)[Size], const char* Unterminated,
                  std::size_t From) {
        for (;;) {
            while (Classes[B[P]] & Class)
                ++P;
            if (P >= N) Fail(Unterminated, From);
            if (B[P] != static_cast<unsigned char>(Close[0])) {
                OtherChar();
            } else if (At(Close)) {
                P += Size - 1;
                return;
            } else {
                ++P;
            }
        }
    }

    void Comment() {
        const std::size_t From = P;
        P += 4;
        SkipPast(InComment, "--", "Unterminated comment", From);
        if (B[P] != '>') Fail("\"--\" in a comment", P - 2);
        ++P;
    }

    void Instruction() {
        const std::size_t From = P;
        P += 2;
        const std::string_view Target = Name("a processing instruction target");
        if (SameAscii(Target, "xml"))
            Fail("XML declaration not at the start of the document", From);
        if (!SkipBlanks() && !At("?>"))
            Fail("Expected a blank after the processing instruction target", P);
        SkipPast(InInstruction, "?>", "Unterminated processing instruction", From);
    }

    void Section() {
        const std::size_t From = P;
        P += 9;
        SkipPast(InSection, "]]>", "Unterminated CDATA section", From);
    }

    void Literal() {
        const std::size_t From = P;
        const unsigned char Quote = B[P++];
        for (;;) {
            while (Classes[B[P]] & InLiteral)
                ++P;
            if (B[P] == Quote && P < N) {
                ++P;
                return;
            }
            if (P >= N) Fail("Unterminated literal", From);
            if (B[P] == '"' || B[P] == '\'')
                ++P;
            else
                OtherChar();
        }
    }

    // A markup declaration of the internal subset, taken as a whole without looking inside
    // beyond its literals.
    void Declaration() {
        P += 2;
        Name("a markup declaration");
        for (;;) {
            while (Classes[B[P]] & InLiteral && B[P] != '>')
                ++P;
            if (P >= N) Fail("Unterminated markup declaration", P);
            if (B[P] == '>') {
                ++P;
                return;
            }
            if (B[P] == '"' || B[P] == '\'')
                Literal();
            else
                OtherChar();
        }
    }

    // The document type declaration is read and then blanked: entities it declares are
    // not expanded (references to them are refused), and the DOM keeps none of it.
    void DocumentType() {
        const std::size_t From = P;
        P += 9;
        if (!SkipBlanks()) Fail("Expected a blank after \"<!DOCTYPE\"", P);
        Name("the document type name");
        bool Subset = false;
        for (;;) {
            SkipBlanks();
            if (P >= N) Fail("Unterminated document type declaration", From);
            const unsigned char C = B[P];
            if (C == '>') {
                ++P;
                break;
            }
            if (C == '"' || C == '\'') {
                Literal();
            } else if (C == '[' && !Subset) {
                ++P;
                Subset = true;
                InternalSubset();
            } else {
                Name("the external identifier");
            }
        }
        std::memset(FText.data() + From, ' ', P - From);
    }

    void InternalSubset() {
        for (;;) {
            SkipBlanks();
            if (P >= N) Fail("Unterminated internal subset", P);
            if (B[P] == ']') {
                ++P;
                return;
            }
            if (B[P] == '%') {
                ++P;
                Name("a parameter entity name");
                Expect(';', "Expected \";\"");
            } else if (At("<!--")) {
                Comment();
            } else if (At("<?")) {
                Instruction();
            } else if (At("<!")) {
                Declaration();
            } else {
                Fail("Invalid markup in the internal subset", P);
            }
        }
    }

    // Blanks, comments, processing instructions (and before the root one document type
    // declaration) up to the document element, or up to the end after it.
    void Misc(bool BeforeRoot) {
        bool SeenType = false;
        for (;;) {
            SkipBlanks();
            if (P >= N) return;
            if (B[P] != '<') {
                if (BeforeRoot) Fail("Text before the document element", P);
                Fail("Text after the document element", P);
            }
            if (At("<?")) {
                Instruction();
            } else if (At("<!--")) {
                Comment();
            } else if (BeforeRoot && At("<!DOCTYPE") && !SeenType) {
                SeenType = true;
                DocumentType();
            } else if (B[P + 1] == '!') {
                Fail("Invalid markup outside the document element", P);
            } else if (!BeforeRoot) {
                Fail(B[P + 1] == '/' ? "End tag without a start tag" : "Second document element",
                     P);
            } else {
                return;
            }
        }
    }

    void AttributeValue() {
        const unsigned char Quote = B[P++];
        const std::size_t From = P;
        for (;;) {
            while (Classes[B[P]] & InAttribute)
                ++P;
            const unsigned char C = B[P];
            if (P >= N) Fail("Unterminated attribute value", From - 1);
            if (C == Quote) {
                ++P;
                return;
            }
            if (C == '"' || C == '\'') {
                ++P;
            } else if (C == '<') {
                Fail("\"<\" in an attribute value", P);
            } else if (C == '&') {
                Reference();
            } else {
                if (IsBlank(C)) F.HasAttributeBlanks = true;
                OtherChar();
            }
        }
    }

    // The attributes of a start tag up to its end; true for an empty-element tag.
    bool Attributes() {
        FAttributes.clear();
        for (;;) {
            const bool Blank = SkipBlanks();
            if (P >= N) Fail("Unterminated tag", P);
            if (B[P] == '>') {
                ++P;
                break;
            }
            if (B[P] == '/') {
                ++P;
                Expect('>', "Expected \">\"");
                CheckDuplicateAttributes();
                return true;
            }
            if (!Blank) Fail("Expected a blank before an attribute", P);
            const std::size_t From = P;
            const std::string_view Attribute = Name("an attribute name");
            SkipBlanks();
            Expect('=', "Expected \"=\" after an attribute name");
            SkipBlanks();
            if (B[P] != '"' && B[P] != '\'') Fail("Expected a quoted attribute value", P);
            AttributeValue();
            FAttributes.emplace_back(Attribute, From);
        }
        CheckDuplicateAttributes();
        return false;
    }

    void CheckDuplicateAttributes() {
        if (FAttributes.size() < 2) return;
        if (FAttributes.size() <= 16) {
            for (std::size_t I = 1; I < FAttributes.size(); ++I)
                for (std::size_t J = 0; J < I; ++J)
                    if (FAttributes[I].first == FAttributes[J].first) Duplicate(FAttributes[I]);
            return;
        }
        std::sort(FAttributes.begin(), FAttributes.end());
        for (std::size_t I = 1; I < FAttributes.size(); ++I)
            if (FAttributes[I].first == FAttributes[I - 1].first) Duplicate(FAttributes[I]);
    }
    [[noreturn]] void Duplicate(const std::pair<std::string_view, std::size_t>& A) {
        Fail("Duplicate attribute \"" + std::string(A.first) + "\"", A.second);
    }

    // Character data up to the next markup.
    void CharData() {
        for (;;) {
            while (Classes[B[P]] & InText)
                ++P;
            const unsigned char C = B[P];
            if (C == '<' || P >= N) return;
            if (C == '&') {
                Reference();
            } else if (C == ']') {
                if (B[P + 1] == ']' && B[P + 2] == '>') Fail("\"]]>\" in text", P);
                ++P;
            } else {
                OtherChar();
            }
        }
    }

    // The document element and everything inside it, without recursion: nesting depth
    // costs heap, never stack.
    void Element() {
        std::vector<std::string_view> Open;
        for (;;) {
            ++P; // '<'
            const std::string_view Tag = Name("an element name");
            if (!Attributes()) Open.push_back(Tag);
            if (Open.empty()) return;
            for (;;) {
                CharData();
                if (P >= N) Fail("Element \"" + std::string(Open.back()) + "\" is not closed", P);
                if (B[P + 1] == '/') {
                    const std::size_t From = P;
                    P += 2;
                    const std::string_view Closing = Name("an element name");
                    if (Closing != Open.back())
                        Fail("End tag \"" + std::string(Closing) + "\" does not match \"" +
                                 std::string(Open.back()) + "\"",
                             From);
                    SkipBlanks();
                    Expect('>', "Expected \">\"");
                    Open.pop_back();
                    if (Open.empty()) return;
                } else if (At("<!--")) {
                    Comment();
                } else if (At("<![CDATA[")) {
                    Section();
                } else if (B[P + 1] == '?') {
                    Instruction();
                } else if (B[P + 1] == '!') {
                    Fail("Invalid markup", P);
                } else {
                    break; // a child element
                }
            }
        }
    }

    std::string& FText;
    const unsigned char* B;
    std::size_t N;
    std::size_t P;
    TXMLTextFacts& F;
    std::vector<std::pair<std::string_view, std::size_t>> FAttributes;
};

// Look-ahead room behind the text, all zero bytes.
constexpr std::size_t Padding = 16;

} // namespace

void PrepareXMLText(std::string& Data, TXMLTextFacts& Facts) {
    Facts = TXMLTextFacts();
    std::size_t Mark = 0;
    const TEncoding Encoding = SniffEncoding(Data, Mark);
    if (Encoding != TEncoding::Utf8) {
        Data = WideToUtf8(Data, Mark, Encoding);
        Mark = 0;
    }
    const TDeclaration Declaration = ReadDeclaration(Data, Mark);
    const std::string& Name = Declaration.Encoding;
    if (!Name.empty()) {
        const bool Utf16Name = IsAnyOf(Name, {"UTF-16", "UTF-16LE", "UTF-16BE", "UCS-2"});
        const bool Utf32Name = IsAnyOf(Name, {"UTF-32", "UTF-32LE", "UTF-32BE", "UCS-4"});
        const auto Mismatch = [&] {
            Fail("Encoding \"" + Name + "\" declared for a document that is not in it", Mark);
        };
        if (IsUtf16(Encoding) || IsUtf32(Encoding)) {
            if (!(IsUtf16(Encoding) ? Utf16Name : Utf32Name)) Mismatch();
        } else if (Utf16Name || Utf32Name) {
            Mismatch();
        } else if (!IsAnyOf(Name, {"UTF-8", "UTF8"})) {
            // A declared single-byte encoding is only honoured when no mark says UTF-8.
            if (Mark != 0) Mismatch();
            TSingleByte Code;
            if (IsAnyOf(Name, {"ISO-8859-1", "ISO8859-1", "ISO_8859-1", "LATIN1", "L1",
                               "ISO-LATIN-1", "CP819", "IBM819"}))
                Code = TSingleByte::Latin1;
            else if (IsAnyOf(Name,
                             {"ISO-8859-15", "ISO8859-15", "ISO_8859-15", "LATIN9", "LATIN-9"}))
                Code = TSingleByte::Latin9;
            else if (IsAnyOf(Name, {"WINDOWS-1252", "CP1252"}))
                Code = TSingleByte::Windows1252;
            else if (IsAnyOf(Name, {"US-ASCII", "ASCII", "ANSI_X3.4-1968", "ISO646-US"}))
                Code = TSingleByte::Ascii;
            else
                Fail("Unsupported encoding \"" + Name + "\"", Mark);
            if (Code != TSingleByte::Ascii)
                Data = SingleByteToUtf8(Data, 0, Code);
            else
                for (std::size_t I = 0; I < Data.size(); ++I)
                    SingleByteChar(Code, static_cast<unsigned char>(Data[I]), I);
        }
    }
    const std::size_t Size = Data.size();
    Data.append(Padding, '\0');
    if (Declaration.Present) std::memset(Data.data() + Mark, ' ', Declaration.End - Mark);
    TChecker(Data, Declaration.Present ? Declaration.End : Mark, Size, Facts).Document();
    Data.resize(Size);
    Facts.Start = Mark;
}

} // namespace ax
