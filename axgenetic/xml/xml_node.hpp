// The element view every typed XML view builds on, the value conversions of element text
// and attributes, the repeated-child lists, and loading and saving whole documents.
//
// A view is a cheap handle: it holds the element and a shared reference to its document,
// so a view keeps its document alive and copies of a view see the same element. Views are
// handles like pointers: a const view still changes the document it points into.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace ax {

using TXMLDocumentPtr = std::shared_ptr<pugi::xml_document>;

inline constexpr std::string_view SXMLParseError = "%s at offset %d";
inline constexpr std::string_view SXMLWrongRoot =
    "Document element \"%s\" found where \"%s\" was expected";
inline constexpr std::string_view SXMLNoDocument = "No XML document";
inline constexpr std::string_view SXMLListIndexError = "List index out of bounds (%d)";

// How a value type is read from and written to text. Missing or empty text reads as the
// type's zero. Specialized for float (single precision), double, std::int32_t,
// std::uint32_t, bool and std::string; numbers that do not convert raise EConvertError.
template <class T> struct TXMLValue;

template <> struct TXMLValue<float> {
    static float Read(const char* Text);
    static void Write(pugi::xml_text Target, float Value);
    static void Write(pugi::xml_attribute Target, float Value);
};
template <> struct TXMLValue<double> {
    static double Read(const char* Text);
    static void Write(pugi::xml_text Target, double Value);
    static void Write(pugi::xml_attribute Target, double Value);
};
template <> struct TXMLValue<std::int32_t> {
    static std::int32_t Read(const char* Text);
    static void Write(pugi::xml_text Target, std::int32_t Value);
    static void Write(pugi::xml_attribute Target, std::int32_t Value);
};
template <> struct TXMLValue<std::uint32_t> {
    static std::uint32_t Read(const char* Text);
    static void Write(pugi::xml_text Target, std::uint32_t Value);
    static void Write(pugi::xml_attribute Target, std::uint32_t Value);
};
// True exactly when the lower-cased text is "true"; written as True or False.
template <> struct TXMLValue<bool> {
    static bool Read(const char* Text);
    static void Write(pugi::xml_text Target, bool Value);
    static void Write(pugi::xml_attribute Target, bool Value);
};
template <> struct TXMLValue<std::string> {
    static std::string Read(const char* Text) { return Text; }
    static void Write(pugi::xml_text Target, const std::string& Value) {
        Target.set(Value.data(), Value.size());
    }
    static void Write(pugi::xml_attribute Target, const std::string& Value) {
        Target.set_value(Value.data(), Value.size());
    }
};

class TChildRange;

// A view of one element. The empty view (IsNull) reads every child value as its default.
class IXMLNode {
public:
    IXMLNode() = default;
    IXMLNode(TXMLDocumentPtr Document, pugi::xml_node Node)
        : FDocument(std::move(Document)), FNode(Node) {}

    bool IsNull() const { return FNode.empty(); }
    explicit operator bool() const { return !IsNull(); }
    const TXMLDocumentPtr& OwnerDocument() const { return FDocument; }
    pugi::xml_node Node() const { return FNode; }
    std::string NodeName() const { return FNode.name(); }
    bool operator==(const IXMLNode& Other) const { return FNode == Other.FNode; }

    // The element's own text; writing replaces it.
    std::string Text() const { return FNode.text().get(); }
    void SetText(const std::string& Value) const {
        TXMLValue<std::string>::Write(FNode.text(), Value);
    }

    // The first child element named Name, or the empty view.
    IXMLNode FindChild(const char* Name) const { return Wrap(FNode.child(Name)); }
    // The first child element named Name, appended as the last child when missing.
    IXMLNode ChildElement(const char* Name) const;
    // Appends a new child element named Name. Raises EXMLParseError for a name that is
    // no XML name, since such an element could never be read back.
    IXMLNode AddChild(const std::string& Name) const;
    // Number of child elements, of any name.
    int ChildElementCount() const;

    // Typed value of the child element Name; a missing element reads as the default.
    template <class T> T ChildValue(const char* Name) const {
        return TXMLValue<T>::Read(FNode.child(Name).text().get());
    }
    // Writes the child element Name; a first write appends it as the last child.
    template <class T> void SetChildValue(const char* Name, const T& Value) const {
        TXMLValue<T>::Write(ChildElement(Name).FNode.text(), Value);
    }
    template <class T> T AttributeValue(const char* Name) const {
        return TXMLValue<T>::Read(FNode.attribute(Name).value());
    }
    template <class T> void SetAttributeValue(const char* Name, const T& Value) const {
        pugi::xml_attribute Attr = FNode.attribute(Name);
        if (!Attr) Attr = pugi::xml_node(FNode).append_attribute(Name);
        TXMLValue<T>::Write(Attr, Value);
    }

    // The child elements in document order; with a Name only those of that name.
    TChildRange ChildElements(const char* Name = nullptr) const;

    IXMLNode Wrap(pugi::xml_node Node) const { return IXMLNode(FDocument, Node); }

private:
    TXMLDocumentPtr FDocument;
    pugi::xml_node FNode;
};

// Walks the child elements of a view in document order, of any name or of one name.
class TChildIterator {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = IXMLNode;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = IXMLNode;

    TChildIterator() = default;
    TChildIterator(const IXMLNode* Parent, pugi::xml_node Node, const char* Name)
        : FParent(Parent), FNode(Node), FName(Name) {
        Skip();
    }
    IXMLNode operator*() const { return FParent->Wrap(FNode); }
    TChildIterator& operator++() {
        FNode = FNode.next_sibling();
        Skip();
        return *this;
    }
    bool operator==(const TChildIterator& Other) const { return FNode == Other.FNode; }

private:
    void Skip();
    const IXMLNode* FParent = nullptr;
    pugi::xml_node FNode;
    const char* FName = nullptr;
};

class TChildRange {
public:
    TChildRange(IXMLNode Parent, const char* Name) : FParent(std::move(Parent)), FName(Name) {}
    TChildIterator begin() const {
        return TChildIterator(&FParent, FParent.Node().first_child(), FName);
    }
    TChildIterator end() const { return TChildIterator(&FParent, pugi::xml_node(), FName); }

private:
    IXMLNode FParent;
    const char* FName;
};

inline TChildRange IXMLNode::ChildElements(const char* Name) const {
    return TChildRange(*this, Name);
}

// The repeated child elements named Tag of a parent element, each seen as an Item view.
// New items go behind the parent's last child (Add) or before the item at Index (Insert).
template <class Item> class TXMLNodeList {
public:
    TXMLNodeList(IXMLNode Parent, const char* Tag) : FParent(std::move(Parent)), FTag(Tag) {}

    int Count() const {
        int N = 0;
        for (pugi::xml_node C = FParent.Node().child(FTag); C; C = C.next_sibling(FTag))
            ++N;
        return N;
    }
    Item Items(int Index) const { return Item(FParent.Wrap(At(Index, false))); }
    Item operator[](int Index) const { return Items(Index); }
    Item Add() const { return Item(FParent.Wrap(FParent.Node().append_child(FTag))); }
    Item Insert(int Index) const {
        pugi::xml_node Before = At(Index, true);
        if (!Before) return Add();
        return Item(FParent.Wrap(FParent.Node().insert_child_before(FTag, Before)));
    }

    class TIterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Item;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = Item;
        TIterator() = default;
        TIterator(const TXMLNodeList* List, pugi::xml_node Node) : FList(List), FNode(Node) {}
        Item operator*() const { return Item(FList->FParent.Wrap(FNode)); }
        TIterator& operator++() {
            FNode = FNode.next_sibling(FList->FTag);
            return *this;
        }
        bool operator==(const TIterator& Other) const { return FNode == Other.FNode; }

    private:
        const TXMLNodeList* FList = nullptr;
        pugi::xml_node FNode;
    };
    TIterator begin() const { return TIterator(this, FParent.Node().child(FTag)); }
    TIterator end() const { return TIterator(this, pugi::xml_node()); }

private:
    // The item at Index; with AllowEnd, Index == Count gives the empty node.
    pugi::xml_node At(int Index, bool AllowEnd) const;

    IXMLNode FParent;
    const char* FTag;
};

// Repeated child elements that each hold one value of type T.
template <class T> class TXMLValueList {
public:
    TXMLValueList(IXMLNode Parent, const char* Tag) : FNodes(std::move(Parent), Tag) {}
    int Count() const { return FNodes.Count(); }
    T Items(int Index) const { return TXMLValue<T>::Read(FNodes.Items(Index).Node().text().get()); }
    T operator[](int Index) const { return Items(Index); }
    IXMLNode Add(const T& Value) const {
        IXMLNode Made = FNodes.Add();
        TXMLValue<T>::Write(Made.Node().text(), Value);
        return Made;
    }
    IXMLNode Insert(int Index, const T& Value) const {
        IXMLNode Made = FNodes.Insert(Index);
        TXMLValue<T>::Write(Made.Node().text(), Value);
        return Made;
    }

private:
    TXMLNodeList<IXMLNode> FNodes;
};

[[noreturn]] void RaiseXMLListIndexError(int Index);

template <class Item> pugi::xml_node TXMLNodeList<Item>::At(int Index, bool AllowEnd) const {
    if (Index >= 0) {
        int I = 0;
        for (pugi::xml_node C = FParent.Node().child(FTag); C; C = C.next_sibling(FTag), ++I)
            if (I == Index) return C;
        if (AllowEnd && I == Index) return pugi::xml_node();
    }
    RaiseXMLListIndexError(Index);
}

// Documents. A new document carries the XML declaration with version "1.0" and no
// element yet; AddDocumentElement gives it its root.
TXMLDocumentPtr NewXMLDocument();
IXMLNode AddDocumentElement(const TXMLDocumentPtr& Document, const char* Name);
// Parses Stream (or the file FileName), detecting the encoding from the data; a document
// type declaration is accepted. Text that does not parse raises EXMLParseError with the
// parser's description and the offset; a file that cannot be opened raises EFOpenError.
TXMLDocumentPtr LoadXMLDocument(std::istream& Stream);
TXMLDocumentPtr LoadXMLDocumentFromFile(const std::string& FileName);
TXMLDocumentPtr LoadXMLDocumentFromText(std::string_view Text);
// The document element, which must be named Name (EXMLParseError otherwise).
IXMLNode BindDocumentElement(const TXMLDocumentPtr& Document, const char* Name);
// Writes the whole document as UTF-8, indented, one element per line.
void SaveXMLDocument(const TXMLDocumentPtr& Document, std::ostream& Stream);
std::string SaveXMLDocumentToText(const TXMLDocumentPtr& Document);

} // namespace ax
