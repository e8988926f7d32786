#include "axgenetic/xml/xml_node.hpp"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <istream>
#include <ostream>
#include <sstream>

#include <pugixml.hpp>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/files.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/platform/text.hpp"
#include "axgenetic/xml/xml_reader.hpp"
#include "axgenetic/xml/xml_text.hpp"

namespace ax {

// The DOM of a document, and for a parsed one the text its strings live in.
class TXMLDocument {
public:
    pugi::xml_document DOM;
    std::string Text;
};

namespace {

pugi::xml_node Pugi(TXMLElement* Handle) {
    return pugi::xml_node(reinterpret_cast<pugi::xml_node_struct*>(Handle));
}
TXMLElement* ToHandle(pugi::xml_node Node) {
    return reinterpret_cast<TXMLElement*>(Node.internal_object());
}

bool IsText(pugi::xml_node Node) {
    return Node.type() == pugi::node_pcdata || Node.type() == pugi::node_cdata;
}

bool IsElementNamed(pugi::xml_node Node, const char* Name) {
    return Node.type() == pugi::node_element && (!Name || std::strcmp(Node.name(), Name) == 0);
}

std::string ElementText(pugi::xml_node Element) {
    std::string Text;
    for (pugi::xml_node C = Element.first_child(); C; C = C.next_sibling())
        if (IsText(C)) Text += C.value();
    return Text;
}

// Raises the error of text that no XML 1.0 document can hold.
void CheckText(std::string_view Value) {
    std::string Problem;
    const std::size_t At = FindInvalidXMLText(Value, Problem);
    if (At != std::string_view::npos)
        throw EXMLParseError(Format(SXMLInvalidText, {Problem, static_cast<std::int64_t>(At)}));
}

// Replaces the character data of Element with Value (checked already); an empty Value
// leaves no text node.
void ReplaceText(pugi::xml_node Element, std::string_view Value) {
    pugi::xml_node Kept;
    for (pugi::xml_node C = Element.first_child(); C;) {
        const pugi::xml_node Next = C.next_sibling();
        if (IsText(C)) {
            if (!Kept && C.type() == pugi::node_pcdata && !Value.empty())
                Kept = C;
            else
                Element.remove_child(C);
        }
        C = Next;
    }
    if (Value.empty()) return;
    if (!Kept) Kept = Element.append_child(pugi::node_pcdata);
    Kept.set_value(Value.data(), Value.size());
}

// Numbers go through a stack buffer: saving a large population writes hundreds of
// thousands of them.
std::string_view IntText(std::int64_t Value, TXMLNumberText& Buffer) {
    char* End = Buffer.Data + sizeof Buffer.Data;
    char* P = End;
    std::uint64_t Magnitude =
        Value < 0 ? 0 - static_cast<std::uint64_t>(Value) : static_cast<std::uint64_t>(Value);
    do {
        *--P = static_cast<char>('0' + Magnitude % 10);
        Magnitude /= 10;
    } while (Magnitude != 0);
    if (Value < 0) *--P = '-';
    return {P, static_cast<std::size_t>(End - P)};
}

} // namespace

// ---- value conversions ----------------------------------------------------------------

float TXMLValue<float>::Read(std::string_view Text) {
    return Text.empty() ? 0.0f : NarrowToSingle(StrToFloat(Text));
}
std::string_view TXMLValue<float>::Format(float Value, TXMLNumberText& Buffer) {
    return {Buffer.Data, FormatSingle(Buffer.Data, Value, FormatSettings())};
}

double TXMLValue<double>::Read(std::string_view Text) {
    return Text.empty() ? 0.0 : StrToFloat(Text);
}
std::string_view TXMLValue<double>::Format(double Value, TXMLNumberText& Buffer) {
    return {Buffer.Data, FormatDouble(Buffer.Data, Value, FormatSettings())};
}

std::int32_t TXMLValue<std::int32_t>::Read(std::string_view Text) {
    return Text.empty() ? 0 : StrToInt(Text);
}
std::string_view TXMLValue<std::int32_t>::Format(std::int32_t Value, TXMLNumberText& Buffer) {
    return IntText(Value, Buffer);
}

std::uint32_t TXMLValue<std::uint32_t>::Read(std::string_view Text) {
    return Text.empty() ? 0u : StrToUInt(Text);
}
std::string_view TXMLValue<std::uint32_t>::Format(std::uint32_t Value, TXMLNumberText& Buffer) {
    return IntText(Value, Buffer);
}

bool TXMLValue<bool>::Read(std::string_view Text) {
    static constexpr char True[] = "true";
    if (Text.size() != 4) return false;
    for (std::size_t I = 0; I < 4; ++I)
        if (std::tolower(static_cast<unsigned char>(Text[I])) != True[I]) return false;
    return true;
}

// ---- element view -----------------------------------------------------------------------

const char* IXMLNode::Name() const {
    return Pugi(FNode).name();
}

bool IXMLNode::HasName(const char* Name) const {
    return FNode && std::strcmp(Pugi(FNode).name(), Name) == 0;
}

std::string IXMLNode::Text() const {
    return ElementText(Pugi(FNode));
}

void IXMLNode::SetText(std::string_view Value) const {
    CheckText(Value);
    ReplaceText(Pugi(FNode), Value);
}

IXMLNode IXMLNode::FindChild(const char* Name) const {
    return Wrap(ToHandle(Pugi(FNode).child(Name)));
}

IXMLNode IXMLNode::ChildElement(const char* Name) const {
    pugi::xml_node Found = Pugi(FNode).child(Name);
    if (!Found) Found = Pugi(FNode).append_child(Name);
    return Wrap(ToHandle(Found));
}

IXMLNode IXMLNode::AddChild(std::string_view Name) const {
    if (!IsXMLName(Name)) {
        // The name is quoted in the message only as far as it is text at all.
        std::string Problem;
        const std::size_t Bad = FindInvalidXMLText(Name, Problem);
        throw EXMLParseError(Format(SXMLInvalidName, {Name.substr(0, Bad)}));
    }
    return Wrap(ToHandle(Pugi(FNode).append_child(std::string(Name).c_str())));
}

int IXMLNode::ChildElementCount() const {
    int N = 0;
    for (pugi::xml_node C = Pugi(FNode).first_child(); C; C = C.next_sibling())
        if (C.type() == pugi::node_element) ++N;
    return N;
}

IXMLNode IXMLNode::FirstChildElement(const char* Name) const {
    pugi::xml_node C = Name ? Pugi(FNode).child(Name) : Pugi(FNode).first_child();
    while (C && !IsElementNamed(C, Name))
        C = C.next_sibling();
    return Wrap(ToHandle(C));
}

IXMLNode IXMLNode::NextSiblingElement(const char* Name) const {
    pugi::xml_node C = Name ? Pugi(FNode).next_sibling(Name) : Pugi(FNode).next_sibling();
    while (C && !IsElementNamed(C, Name))
        C = C.next_sibling();
    return Wrap(ToHandle(C));
}

IXMLNode IXMLNode::AppendChild(const char* Name) const {
    return Wrap(ToHandle(Pugi(FNode).append_child(Name)));
}

IXMLNode IXMLNode::InsertChildBefore(const char* Name, const IXMLNode& Before) const {
    return Wrap(ToHandle(Pugi(FNode).insert_child_before(Name, Pugi(Before.FNode))));
}

std::string IXMLNode::ChildText(const char* Name) const {
    return ElementText(Pugi(FNode).child(Name));
}

void IXMLNode::SetChildText(const char* Name, std::string_view Value) const {
    CheckText(Value);
    ReplaceText(Pugi(ChildElement(Name).FNode), Value);
}

std::string IXMLNode::AttributeText(const char* Name) const {
    return Pugi(FNode).attribute(Name).value();
}

void IXMLNode::SetAttributeText(const char* Name, std::string_view Value) const {
    CheckText(Value);
    pugi::xml_node Node = Pugi(FNode);
    pugi::xml_attribute Attribute = Node.attribute(Name);
    if (!Attribute) Attribute = Node.append_attribute(Name);
    Attribute.set_value(Value.data(), Value.size());
}

void RaiseXMLListIndexError(int Index) {
    throw EListError(Format(SXMLListIndexError, {Index}));
}

// ---- documents --------------------------------------------------------------------------

TXMLDocumentPtr NewXMLDocument() {
    return std::make_shared<TXMLDocument>();
}

IXMLNode AddDocumentElement(const TXMLDocumentPtr& Document, const char* Name) {
    return IXMLNode(Document, ToHandle(Document->DOM.append_child(Name)));
}

namespace {

// Room the reader's look-ahead needs behind a document's text.
constexpr std::size_t ReadPadding = 32;

TXMLDocumentPtr ParseText(std::string&& Text) {
    TXMLTextFacts Facts;
    PrepareXMLText(Text, Facts);
    auto Document = std::make_shared<TXMLDocument>();
    Document->Text = std::move(Text);
    // The text is known to be well-formed; the parser is told which of its conversions
    // the text needs at all. A blank-only text that is an element's only content is data.
    unsigned Options = pugi::parse_cdata | pugi::parse_ws_pcdata_single;
    if (Facts.HasReferences) Options |= pugi::parse_escapes;
    if (Facts.HasCarriageReturn) Options |= pugi::parse_eol;
    if (Facts.HasAttributeBlanks || Facts.HasCarriageReturn) Options |= pugi::parse_wconv_attribute;
    std::string& Buffer = Document->Text;
    const pugi::xml_parse_result Result = Document->DOM.load_buffer_inplace(
        Buffer.data() + Facts.Start, Buffer.size() - Facts.Start, Options, pugi::encoding_utf8);
    if (!Result) {
        const auto Offset = static_cast<std::int64_t>(Facts.Start) + Result.offset;
        throw EXMLParseError(Format(SXMLParseError, {Result.description(), Offset}), Offset);
    }
    return Document;
}

} // namespace

TXMLDocumentPtr LoadXMLDocumentFromText(std::string_view Text) {
    std::string Copy;
    Copy.reserve(Text.size() + ReadPadding);
    Copy.assign(Text);
    return ParseText(std::move(Copy));
}

TXMLDocumentPtr LoadXMLDocument(std::istream& Stream) {
    std::string Data;
    // Streams that know their length are read in one piece.
    const std::istream::pos_type Start = Stream.tellg();
    if (Start != std::istream::pos_type(-1) && Stream.seekg(0, std::ios::end)) {
        const std::istream::pos_type End = Stream.tellg();
        Stream.seekg(Start);
        if (End != std::istream::pos_type(-1) && End > Start)
            Data.reserve(static_cast<std::size_t>(End - Start) + ReadPadding);
    }
    Stream.clear(Stream.rdstate() & ~std::ios::failbit);
    std::size_t Chunk = Data.capacity() > ReadPadding ? Data.capacity() - ReadPadding : 65536;
    for (;;) {
        const std::size_t Old = Data.size();
        Data.resize(Old + Chunk);
        Stream.read(Data.data() + Old, static_cast<std::streamsize>(Chunk));
        Data.resize(Old + static_cast<std::size_t>(Stream.gcount()));
        if (!Stream || Stream.peek() == std::char_traits<char>::eof()) break;
        Chunk = 65536;
    }
    Data.reserve(Data.size() + ReadPadding);
    return ParseText(std::move(Data));
}

TXMLDocumentPtr LoadXMLDocumentFromFile(const std::string& FileName) {
    std::ifstream Stream = OpenFileStream(FileName);
    return LoadXMLDocument(Stream);
}

IXMLNode DocumentElement(const TXMLDocumentPtr& Document) {
    if (!Document) throw EXMLParseError(std::string(SXMLNoDocument));
    return IXMLNode(Document, ToHandle(Document->DOM.document_element()));
}

IXMLNode BindDocumentElement(const TXMLDocumentPtr& Document, const char* Name) {
    if (!Document) throw EXMLParseError(std::string(SXMLNoDocument));
    const pugi::xml_node Root = Document->DOM.document_element();
    if (std::strcmp(Root.name(), Name) != 0)
        throw EXMLParseError(Format(SXMLWrongRoot, {Root.name(), Name}));
    return IXMLNode(Document, ToHandle(Root));
}

namespace {

// Writes a document as UTF-8: the declaration, then the elements indented by two blanks,
// one per line. An element that holds text has its whole content written as it stands,
// since added line breaks and blanks would become part of the text. Every character a
// reader would normalize (a CR anywhere, a tab or line break in an attribute) is written
// as a character reference, so texts read back exactly.
class TDocumentWriter {
public:
    explicit TDocumentWriter(std::ostream& Stream) : FStream(Stream) { FBuffer.reserve(Flush * 2); }

    void Document(const pugi::xml_document& DOM) {
        Put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
        for (pugi::xml_node C = DOM.first_child(); C; C = C.next_sibling())
            if (C.type() == pugi::node_element) Tree(C);
        FStream.write(FBuffer.data(), static_cast<std::streamsize>(FBuffer.size()));
    }

private:
    static constexpr std::size_t Flush = 1 << 16;

    void Put(std::string_view Text) {
        FBuffer.append(Text);
        if (FBuffer.size() >= Flush) {
            FStream.write(FBuffer.data(), static_cast<std::streamsize>(FBuffer.size()));
            FBuffer.clear();
        }
    }

    void Escaped(const char* Text, bool Attribute) {
        const char* Run = Text;
        for (const char* P = Text;; ++P) {
            const char* Replacement = nullptr;
            switch (*P) {
            case '\0':
                Put(std::string_view(Run, static_cast<std::size_t>(P - Run)));
                return;
            case '&':
                Replacement = "&amp;";
                break;
            case '<':
                Replacement = "&lt;";
                break;
            case '>':
                Replacement = "&gt;";
                break;
            case '\r':
                Replacement = "&#13;";
                break;
            case '"':
                Replacement = Attribute ? "&quot;" : nullptr;
                break;
            case '\t':
                Replacement = Attribute ? "&#9;" : nullptr;
                break;
            case '\n':
                Replacement = Attribute ? "&#10;" : nullptr;
                break;
            default:
                break;
            }
            if (!Replacement) continue;
            Put(std::string_view(Run, static_cast<std::size_t>(P - Run)));
            Put(Replacement);
            Run = P + 1;
        }
    }

    void Indent(int Depth) {
        for (int I = 0; I < Depth; ++I)
            Put("  ");
    }

    void StartTag(pugi::xml_node Element) {
        Put("<");
        Put(Element.name());
        for (pugi::xml_attribute A = Element.first_attribute(); A; A = A.next_attribute()) {
            Put(" ");
            Put(A.name());
            Put("=\"");
            Escaped(A.value(), true);
            Put("\"");
        }
    }

    static bool HoldsText(pugi::xml_node Element) {
        for (pugi::xml_node C = Element.first_child(); C; C = C.next_sibling())
            if (IsText(C)) return true;
        return false;
    }

    // Walks the tree without recursion, so any nesting depth is written.
    void Tree(pugi::xml_node Root) {
        pugi::xml_node Node = Root;
        int Depth = 0;
        int InlineFrom = -1; // depth of the element whose content is written as it stands
        for (;;) {
            if (IsText(Node)) {
                Escaped(Node.value(), false);
            } else if (Node.type() == pugi::node_element) {
                if (InlineFrom < 0) Indent(Depth);
                StartTag(Node);
                if (const pugi::xml_node First = Node.first_child()) {
                    Put(">");
                    if (InlineFrom < 0) {
                        if (HoldsText(Node))
                            InlineFrom = Depth;
                        else
                            Put("\n");
                    }
                    Node = First;
                    ++Depth;
                    continue;
                }
                Put(InlineFrom < 0 ? " />\n" : " />");
            }
            for (;;) {
                if (Depth == 0) return;
                if (const pugi::xml_node Next = Node.next_sibling()) {
                    Node = Next;
                    break;
                }
                Node = Node.parent();
                --Depth;
                if (InlineFrom < 0) Indent(Depth);
                Put("</");
                Put(Node.name());
                Put(">");
                if (InlineFrom == Depth) InlineFrom = -1;
                if (InlineFrom < 0) Put("\n");
            }
        }
    }

    std::ostream& FStream;
    std::string FBuffer;
};

} // namespace

void SaveXMLDocument(const TXMLDocumentPtr& Document, std::ostream& Stream) {
    if (!Document) throw EXMLParseError(std::string(SXMLNoDocument));
    TDocumentWriter(Stream).Document(Document->DOM);
}

std::string SaveXMLDocumentToText(const TXMLDocumentPtr& Document) {
    std::ostringstream Stream;
    SaveXMLDocument(Document, Stream);
    return std::move(Stream).str();
}

} // namespace ax
