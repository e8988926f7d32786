// Exception classes of the platform layer. Every error the library raises derives from
// ax::Exception, so a host can catch them all in one place.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstddef>
#include <stdexcept>
#include <string>

namespace ax {

// The general exception; carries a message text only.
class AXGENETIC_API Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& Message) : std::runtime_error(Message) {}
    std::string Message() const { return what(); }
};

// A list, collection or bit index out of range, a missing or duplicate dictionary key.
class AXGENETIC_API EListError : public Exception {
public:
    using Exception::Exception;
};

// A text that is no number/boolean, or an assignment between unrelated classes.
class AXGENETIC_API EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A variant that cannot be converted or combined.
class AXGENETIC_API EVariantError : public Exception {
public:
    using Exception::Exception;
};

// A typecast that does not hold.
class AXGENETIC_API EInvalidCast : public Exception {
public:
    using Exception::Exception;
};

// A file that cannot be opened for reading.
class AXGENETIC_API EFOpenError : public Exception {
public:
    using Exception::Exception;
};

// A file that cannot be created or written.
class AXGENETIC_API EFCreateError : public Exception {
public:
    using Exception::Exception;
};

// An XML text that does not parse, or whose root is not the element expected. Offset is
// the byte offset of the fault in the input, or -1 when it has none.
class AXGENETIC_API EXMLParseError : public Exception {
public:
    explicit EXMLParseError(const std::string& Message, std::ptrdiff_t Offset = -1)
        : Exception(Message), FOffset(Offset) {}
    std::ptrdiff_t Offset() const { return FOffset; }

private:
    std::ptrdiff_t FOffset;
};

} // namespace ax
