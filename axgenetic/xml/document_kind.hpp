// The document functions every kind of document has: New (a document whose root is the
// kind's element), Load (from a file or a stream; the root must carry the kind's name)
// and Get (the root of a document already loaded). A kind is declared in one line,
// AX_XML_DOCUMENT_KIND(View, Kind, Tag), beside its view.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <iosfwd>
#include <string>

#include "axgenetic/xml/xml_node.hpp"

namespace ax {

// Document functions over one view class and its root element name.
template <class View> struct AXGENETIC_API TXMLDocumentKind {
    static View New(const char* Tag) { return View(AddDocumentElement(NewXMLDocument(), Tag)); }
    static View Get(const TXMLDocumentPtr& Document, const char* Tag) {
        return View(BindDocumentElement(Document, Tag));
    }
    static View Load(const std::string& FileName, const char* Tag) {
        return Get(LoadXMLDocumentFromFile(FileName), Tag);
    }
    static View Load(std::istream& Stream, const char* Tag) {
        return Get(LoadXMLDocument(Stream), Tag);
    }
};

} // namespace ax

// NewKind(), LoadKind(FileName), LoadKind(Stream) and GetKind(Document) for the view
// View bound to the root element Tag.
#define AX_XML_DOCUMENT_KIND(View, Kind, Tag)                                                      \
    inline View New##Kind() {                                                                      \
        return ::ax::TXMLDocumentKind<View>::New(Tag);                                             \
    }                                                                                              \
    inline View Load##Kind(const std::string& FileName) {                                          \
        return ::ax::TXMLDocumentKind<View>::Load(FileName, Tag);                                  \
    }                                                                                              \
    inline View Load##Kind(std::istream& Stream) {                                                 \
        return ::ax::TXMLDocumentKind<View>::Load(Stream, Tag);                                    \
    }                                                                                              \
    inline View Get##Kind(const TXMLDocumentPtr& Document) {                                       \
        return ::ax::TXMLDocumentKind<View>::Get(Document, Tag);                                   \
    }
