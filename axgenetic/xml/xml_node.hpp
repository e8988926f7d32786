// The element view every typed XML view builds on, the value conversions of element text
// and attributes, the repeated-child lists, and loading and saving whole documents.
//
// A view is a cheap handle: it holds the element and a shared reference to its document,
// so a view keeps its document alive and copies of a view see the same element. Views are
// handles like pointers: a const view still changes the document it points into.
//
// The DOM underneath is private to the library: a view holds an opaque element handle,
// and only the library's sources know what it points to.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include "axgenetic/platform/text.hpp"

namespace ax {

// A parsed or new document; its content is reached through views only.
class TXMLDocument;
using TXMLDocumentPtr = std::shared_ptr<TXMLDocument>;
// An element of a document. Never defined: a handle is only passed around and compared.
struct TXMLElement;

inline constexpr std::string_view SXMLParseError = "%s at offset %d";
inline constexpr std::string_view SXMLWrongRoot =
    "Document element \"%s\" found where \"%s\" was expected";
inline constexpr std::string_view SXMLNoDocument = "No XML document";
inline constexpr std::string_view SXMLListIndexError = "List index out of bounds (%d)";
inline constexpr std::string_view SXMLInvalidName = "\"%s\" is not a valid XML element name";
inline constexpr std::string_view SXMLInvalidText = "Text that XML 1.0 cannot hold: %s at byte %d";

// Room for the text of any number a value type writes.
struct AXGENETIC_API TXMLNumberText {
    char Data[40];
};

// How a value type is read from and written to text. Missing or empty text reads as the
// type's zero. Specialized for float (single precision), double, std::int32_t,
// std::uint32_t, bool and std::string; numbers that do not convert raise EConvertError.
// Format returns the text, which may live in Buffer.
template <class T> struct TXMLValue;

// Single precision: text beyond the single range reads as an infinity of its sign, as
// narrowing a double does in IEEE arithmetic.
template <> struct AXGENETIC_API TXMLValue<float> {
    static float Read(std::string_view Text);
    static std::string_view Format(float Value, TXMLNumberText& Buffer);
};
// Written with the shortest text that reads back to the same double.
template <> struct AXGENETIC_API TXMLValue<double> {
    static double Read(std::string_view Text);
    static std::string_view Format(double Value, TXMLNumberText& Buffer);
};
template <> struct AXGENETIC_API TXMLValue<std::int32_t> {
    static std::int32_t Read(std::string_view Text);
    static std::string_view Format(std::int32_t Value, TXMLNumberText& Buffer);
};
template <> struct AXGENETIC_API TXMLValue<std::uint32_t> {
    static std::uint32_t Read(std::string_view Text);
    static std::string_view Format(std::uint32_t Value, TXMLNumberText& Buffer);
};
// True exactly when the lower-cased text is "true"; written as True or False.
template <> struct AXGENETIC_API TXMLValue<bool> {
    static bool Read(std::string_view Text);
    static std::string_view Format(bool Value, TXMLNumberText&) { return Value ? "True" : "False"; }
};
template <> struct AXGENETIC_API TXMLValue<std::string> {
    static std::string Read(std::string_view Text) { return std::string(Text); }
    static std::string_view Format(const std::string& Value, TXMLNumberText&) { return Value; }
};

class TChildRange;

// A view of one element. The empty view (IsNull) reads every child value as its default.
//
// Text written into a document must be something XML 1.0 can hold: valid UTF-8 without
// the control characters U+0000 to U+001F (tab, line feed and carriage return excepted)
// and without U+FFFE and U+FFFF. Any other text raises EXMLParseError (SXMLInvalidText)
// and leaves the element as it was. Blanks, tabs, line feeds and carriage returns are
// kept exactly: the writer escapes whatever a reader would otherwise normalize.
class AXGENETIC_API IXMLNode {
public:
    IXMLNode() = default;
    IXMLNode(TXMLDocumentPtr Document, TXMLElement* Node)
        : FDocument(std::move(Document)), FNode(Node) {}

    bool IsNull() const { return FNode == nullptr; }
    explicit operator bool() const { return !IsNull(); }
    const TXMLDocumentPtr& OwnerDocument() const { return FDocument; }
    TXMLElement* Handle() const { return FNode; }
    // The element's name; empty for the empty view.
    const char* Name() const;
    std::string NodeName() const { return Name(); }
    bool HasName(const char* Name) const;
    bool operator==(const IXMLNode& Other) const { return FNode == Other.FNode; }

    // The element's own text (its character data, in document order); writing replaces it.
    std::string Text() const;
    void SetText(std::string_view Value) const;

    // The first child element named Name, or the empty view.
    IXMLNode FindChild(const char* Name) const;
    // The first child element named Name, appended as the last child when missing.
    IXMLNode ChildElement(const char* Name) const;
    // Appends a new child element named Name. Raises EXMLParseError for a name that is
    // no XML name, since such an element could never be read back.
    IXMLNode AddChild(std::string_view Name) const;
    // Number of child elements, of any name.
    int ChildElementCount() const;
    // Navigation among child elements; with a Name only those of that name.
    IXMLNode FirstChildElement(const char* Name = nullptr) const;
    IXMLNode NextSiblingElement(const char* Name = nullptr) const;
    // A new child element Name behind the last child, or before the child Before.
    IXMLNode AppendChild(const char* Name) const;
    IXMLNode InsertChildBefore(const char* Name, const IXMLNode& Before) const;

    // The text of the child element Name; empty when it is missing.
    std::string ChildText(const char* Name) const;
    // Writes the child element Name; a first write appends it as the last child.
    void SetChildText(const char* Name, std::string_view Value) const;
    std::string AttributeText(const char* Name) const;
    void SetAttributeText(const char* Name, std::string_view Value) const;

    // Typed value of the child element Name; a missing element reads as the default.
    template <class T> T ChildValue(const char* Name) const {
        return TXMLValue<T>::Read(ChildText(Name));
    }
    template <class T> void SetChildValue(const char* Name, const T& Value) const {
        TXMLNumberText Buffer;
        SetChildText(Name, TXMLValue<T>::Format(Value, Buffer));
    }
    template <class T> T AttributeValue(const char* Name) const {
        return TXMLValue<T>::Read(AttributeText(Name));
    }
    template <class T> void SetAttributeValue(const char* Name, const T& Value) const {
        TXMLNumberText Buffer;
        SetAttributeText(Name, TXMLValue<T>::Format(Value, Buffer));
    }

    // The child elements in document order; with a Name only those of that name.
    TChildRange ChildElements(const char* Name = nullptr) const;

    IXMLNode Wrap(TXMLElement* Node) const { return IXMLNode(FDocument, Node); }

private:
    TXMLDocumentPtr FDocument;
    TXMLElement* FNode = nullptr;
};

// Walks the child elements of a view in document order, of any name or of one name.
class AXGENETIC_API TChildIterator {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = IXMLNode;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = IXMLNode;

    TChildIterator() = default;
    TChildIterator(IXMLNode Node, const char* Name) : FNode(std::move(Node)), FName(Name) {}
    IXMLNode operator*() const { return FNode; }
    TChildIterator& operator++() {
        FNode = FNode.NextSiblingElement(FName);
        return *this;
    }
    bool operator==(const TChildIterator& Other) const { return FNode == Other.FNode; }

private:
    IXMLNode FNode;
    const char* FName = nullptr;
};

class AXGENETIC_API TChildRange {
public:
    TChildRange(IXMLNode Parent, const char* Name) : FParent(std::move(Parent)), FName(Name) {}
    TChildIterator begin() const { return TChildIterator(FParent.FirstChildElement(FName), FName); }
    TChildIterator end() const { return TChildIterator(); }

private:
    IXMLNode FParent;
    const char* FName;
};

inline TChildRange IXMLNode::ChildElements(const char* Name) const {
    return TChildRange(*this, Name);
}

[[noreturn]] AXGENETIC_API void RaiseXMLListIndexError(int Index);

// The repeated child elements named Tag of a parent element, each seen as an Item view.
// New items go behind the parent's last child (Add) or before the item at Index (Insert).
template <class Item> class AXGENETIC_API TXMLNodeList {
public:
    TXMLNodeList(IXMLNode Parent, const char* Tag) : FParent(std::move(Parent)), FTag(Tag) {}

    int Count() const {
        int N = 0;
        for (IXMLNode C = FParent.FirstChildElement(FTag); C; C = C.NextSiblingElement(FTag))
            ++N;
        return N;
    }
    Item Items(int Index) const { return Item(At(Index, false)); }
    Item operator[](int Index) const { return Items(Index); }
    Item Add() const { return Item(FParent.AppendChild(FTag)); }
    Item Insert(int Index) const {
        const IXMLNode Before = At(Index, true);
        if (!Before) return Add();
        return Item(FParent.InsertChildBefore(FTag, Before));
    }

    class TIterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Item;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = Item;
        TIterator() = default;
        TIterator(IXMLNode Node, const char* Tag) : FNode(std::move(Node)), FTag(Tag) {}
        Item operator*() const { return Item(FNode); }
        TIterator& operator++() {
            FNode = FNode.NextSiblingElement(FTag);
            return *this;
        }
        bool operator==(const TIterator& Other) const { return FNode == Other.FNode; }

    private:
        IXMLNode FNode;
        const char* FTag = nullptr;
    };
    TIterator begin() const { return TIterator(FParent.FirstChildElement(FTag), FTag); }
    TIterator end() const { return TIterator(); }

private:
    // The item at Index; with AllowEnd, Index == Count gives the empty view.
    IXMLNode At(int Index, bool AllowEnd) const {
        if (Index >= 0) {
            int I = 0;
            for (IXMLNode C = FParent.FirstChildElement(FTag); C;
                 C = C.NextSiblingElement(FTag), ++I)
                if (I == Index) return C;
            if (AllowEnd && I == Index) return IXMLNode();
        }
        RaiseXMLListIndexError(Index);
    }

    IXMLNode FParent;
    const char* FTag;
};

// Repeated child elements that each hold one value of type T.
template <class T> class AXGENETIC_API TXMLValueList {
public:
    TXMLValueList(IXMLNode Parent, const char* Tag) : FNodes(std::move(Parent), Tag) {}
    int Count() const { return FNodes.Count(); }
    T Items(int Index) const { return TXMLValue<T>::Read(FNodes.Items(Index).Text()); }
    T operator[](int Index) const { return Items(Index); }
    IXMLNode Add(const T& Value) const { return Written(FNodes.Add(), Value); }
    IXMLNode Insert(int Index, const T& Value) const {
        return Written(FNodes.Insert(Index), Value);
    }

private:
    static IXMLNode Written(IXMLNode Made, const T& Value) {
        TXMLNumberText Buffer;
        Made.SetText(TXMLValue<T>::Format(Value, Buffer));
        return Made;
    }
    TXMLNodeList<IXMLNode> FNodes;
};

// Documents. A new document is written with the XML declaration (version "1.0", encoding
// UTF-8) and has no element yet; AddDocumentElement gives it its root.
AXGENETIC_API TXMLDocumentPtr NewXMLDocument();
AXGENETIC_API IXMLNode AddDocumentElement(const TXMLDocumentPtr& Document, const char* Name);
// Parses Stream (or the file FileName, or Text). The text must be a well-formed XML 1.0
// document: anything else raises EXMLParseError naming the problem and its offset (see
// docs/persistence.md for what is read and refused); a file that cannot be opened
// raises EFOpenError.
AXGENETIC_API TXMLDocumentPtr LoadXMLDocument(std::istream& Stream);
AXGENETIC_API TXMLDocumentPtr LoadXMLDocumentFromFile(const std::string& FileName);
AXGENETIC_API TXMLDocumentPtr LoadXMLDocumentFromText(std::string_view Text);
// The document element, which must be named Name (EXMLParseError otherwise).
AXGENETIC_API IXMLNode BindDocumentElement(const TXMLDocumentPtr& Document, const char* Name);
// The root element of a document, whatever its name.
AXGENETIC_API IXMLNode DocumentElement(const TXMLDocumentPtr& Document);
// Writes the whole document as UTF-8, indented, one element per line.
AXGENETIC_API void SaveXMLDocument(const TXMLDocumentPtr& Document, std::ostream& Stream);
AXGENETIC_API std::string SaveXMLDocumentToText(const TXMLDocumentPtr& Document);

} // namespace ax
