#include "axgenetic/xml/xml_node.hpp"

#include <cctype>
#include <cstring>
#include <istream>
#include <ostream>
#include <sstream>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/files.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/platform/text.hpp"

namespace ax {

inline constexpr std::string_view SXMLInvalidName = "\"%s\" is not a valid XML element name";

// ---- value conversions ----------------------------------------------------------------

namespace {

// Numbers are written through a stack buffer: saving a large population writes hundreds
// of thousands of them.
template <class Target> void WriteFloatText(Target T, double Value, bool Single) {
    char Buffer[MaxFloatTextLength];
    const std::size_t Length =
        Single ? FormatSingle(Buffer, static_cast<float>(Value), FormatSettings())
               : FormatFloat(Buffer, Value, FormatSettings());
    if constexpr (std::is_same_v<Target, pugi::xml_text>)
        T.set(Buffer, Length);
    else
        T.set_value(Buffer, Length);
}

template <class Target> void WriteIntText(Target T, std::int64_t Value) {
    char Buffer[24];
    char* End = Buffer + sizeof Buffer;
    char* P = End;
    std::uint64_t Magnitude =
        Value < 0 ? 0 - static_cast<std::uint64_t>(Value) : static_cast<std::uint64_t>(Value);
    do {
        *--P = static_cast<char>('0' + Magnitude % 10);
        Magnitude /= 10;
    } while (Magnitude != 0);
    if (Value < 0) *--P = '-';
    if constexpr (std::is_same_v<Target, pugi::xml_text>)
        T.set(P, static_cast<std::size_t>(End - P));
    else
        T.set_value(P, static_cast<std::size_t>(End - P));
}

bool IsTrueText(const char* Text) {
    static constexpr char True[] = "true";
    for (std::size_t I = 0; I < 4; ++I)
        if (std::tolower(static_cast<unsigned char>(Text[I])) != True[I]) return false;
    return Text[4] == '\0';
}

} // namespace

float TXMLValue<float>::Read(const char* Text) {
    return *Text ? static_cast<float>(StrToFloat(Text)) : 0.0f;
}
void TXMLValue<float>::Write(pugi::xml_text Target, float Value) {
    WriteFloatText(Target, Value, true);
}
void TXMLValue<float>::Write(pugi::xml_attribute Target, float Value) {
    WriteFloatText(Target, Value, true);
}

double TXMLValue<double>::Read(const char* Text) {
    return *Text ? StrToFloat(Text) : 0.0;
}
void TXMLValue<double>::Write(pugi::xml_text Target, double Value) {
    WriteFloatText(Target, Value, false);
}
void TXMLValue<double>::Write(pugi::xml_attribute Target, double Value) {
    WriteFloatText(Target, Value, false);
}

std::int32_t TXMLValue<std::int32_t>::Read(const char* Text) {
    return *Text ? StrToInt(Text) : 0;
}
void TXMLValue<std::int32_t>::Write(pugi::xml_text Target, std::int32_t Value) {
    WriteIntText(Target, Value);
}
void TXMLValue<std::int32_t>::Write(pugi::xml_attribute Target, std::int32_t Value) {
    WriteIntText(Target, Value);
}

std::uint32_t TXMLValue<std::uint32_t>::Read(const char* Text) {
    return *Text ? StrToUInt(Text) : 0u;
}
void TXMLValue<std::uint32_t>::Write(pugi::xml_text Target, std::uint32_t Value) {
    WriteIntText(Target, Value);
}
void TXMLValue<std::uint32_t>::Write(pugi::xml_attribute Target, std::uint32_t Value) {
    WriteIntText(Target, Value);
}

bool TXMLValue<bool>::Read(const char* Text) {
    return IsTrueText(Text);
}
void TXMLValue<bool>::Write(pugi::xml_text Target, bool Value) {
    Target.set(Value ? "True" : "False");
}
void TXMLValue<bool>::Write(pugi::xml_attribute Target, bool Value) {
    Target.set_value(Value ? "True" : "False");
}

// ---- element view -----------------------------------------------------------------------

namespace {

bool IsNameStart(unsigned char C) {
    return std::isalpha(C) || C == '_' || C == ':' || C >= 0x80;
}
bool IsNameChar(unsigned char C) {
    return IsNameStart(C) || std::isdigit(C) || C == '-' || C == '.';
}

bool IsXMLName(std::string_view Name) {
    if (Name.empty() || !IsNameStart(static_cast<unsigned char>(Name[0]))) return false;
    for (char C : Name)
        if (!IsNameChar(static_cast<unsigned char>(C))) return false;
    return true;
}

} // namespace

IXMLNode IXMLNode::ChildElement(const char* Name) const {
    pugi::xml_node Found = FNode.child(Name);
    if (!Found) Found = pugi::xml_node(FNode).append_child(Name);
    return Wrap(Found);
}

IXMLNode IXMLNode::AddChild(const std::string& Name) const {
    if (!IsXMLName(Name)) throw EXMLParseError(Format(SXMLInvalidName, {Name}));
    return Wrap(pugi::xml_node(FNode).append_child(Name.c_str()));
}

int IXMLNode::ChildElementCount() const {
    int N = 0;
    for (pugi::xml_node C = FNode.first_child(); C; C = C.next_sibling())
        if (C.type() == pugi::node_element) ++N;
    return N;
}

void TChildIterator::Skip() {
    while (FNode &&
           (FNode.type() != pugi::node_element || (FName && std::strcmp(FNode.name(), FName) != 0)))
        FNode = FNode.next_sibling();
}

void RaiseXMLListIndexError(int Index) {
    throw EListError(Format(SXMLListIndexError, {Index}));
}

// ---- documents --------------------------------------------------------------------------

TXMLDocumentPtr NewXMLDocument() {
    auto Document = std::make_shared<pugi::xml_document>();
    pugi::xml_node Declaration = Document->append_child(pugi::node_declaration);
    Declaration.append_attribute("version").set_value("1.0");
    Declaration.append_attribute("encoding").set_value("UTF-8");
    return Document;
}

IXMLNode AddDocumentElement(const TXMLDocumentPtr& Document, const char* Name) {
    return IXMLNode(Document, Document->append_child(Name));
}

TXMLDocumentPtr LoadXMLDocumentFromText(std::string_view Text) {
    auto Document = std::make_shared<pugi::xml_document>();
    // Whitespace-only text between elements is layout, not content; a document type
    // declaration is parsed and skipped.
    const pugi::xml_parse_result Result =
        Document->load_buffer(Text.data(), Text.size(),
                              pugi::parse_default | pugi::parse_declaration, pugi::encoding_auto);
    if (!Result)
        throw EXMLParseError(Format(SXMLParseError, {Result.description(),
                                                     static_cast<std::int64_t>(Result.offset)}),
                             Result.offset);
    return Document;
}

TXMLDocumentPtr LoadXMLDocument(std::istream& Stream) {
    std::string Data;
    char Chunk[65536];
    while (Stream.read(Chunk, sizeof Chunk) || Stream.gcount() > 0)
        Data.append(Chunk, static_cast<std::size_t>(Stream.gcount()));
    return LoadXMLDocumentFromText(Data);
}

TXMLDocumentPtr LoadXMLDocumentFromFile(const std::string& FileName) {
    std::ifstream Stream = OpenFileStream(FileName);
    return LoadXMLDocument(Stream);
}

IXMLNode BindDocumentElement(const TXMLDocumentPtr& Document, const char* Name) {
    if (!Document) throw EXMLParseError(std::string(SXMLNoDocument));
    pugi::xml_node Root = Document->document_element();
    if (std::strcmp(Root.name(), Name) != 0)
        throw EXMLParseError(Format(SXMLWrongRoot, {Root.name(), Name}));
    return IXMLNode(Document, Root);
}

void SaveXMLDocument(const TXMLDocumentPtr& Document, std::ostream& Stream) {
    Document->save(Stream, "  ", pugi::format_indent, pugi::encoding_utf8);
}

std::string SaveXMLDocumentToText(const TXMLDocumentPtr& Document) {
    std::ostringstream Stream;
    SaveXMLDocument(Document, Stream);
    return std::move(Stream).str();
}

} // namespace ax
