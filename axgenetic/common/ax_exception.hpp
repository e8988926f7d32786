// Base of every exception that carries one of the library's own messages.
#pragma once

#include "axgenetic/platform/export.hpp"

#include "axgenetic/platform/exceptions.hpp"

namespace ax {

class AXGENETIC_API EAxException : public Exception {
public:
    using Exception::Exception;
};

} // namespace ax
