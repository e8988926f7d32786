// The strict front of the XML parser: turns the bytes of a document into UTF-8 and checks
// that they are a well-formed XML 1.0 document before the DOM parser sees them.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstddef>
#include <string>

namespace ax {

// What the check learned about a document, so the parser can skip work it does not need.
struct AXGENETIC_API TXMLTextFacts {
    std::size_t Start = 0;           // where the parser should begin (past a byte order mark)
    bool HasReferences = false;      // an entity or character reference occurs
    bool HasCarriageReturn = false;  // a raw CR occurs in content or attributes
    bool HasAttributeBlanks = false; // a raw tab, LF or CR occurs in an attribute value
};

// Decodes Data into UTF-8 in place (from UTF-16, UTF-32 or a declared single-byte
// encoding) and checks it. Raises EXMLParseError "<problem> at offset <n>" for anything
// that is not a well-formed document; offsets count bytes of the UTF-8 form. Markup the
// DOM keeps nothing of (the XML declaration and a document type declaration) is blanked.
AXGENETIC_API void PrepareXMLText(std::string& Data, TXMLTextFacts& Facts);

} // namespace ax
