// Base of every exception that carries one of the library's own messages.
#pragma once

#include "axgenetic/platform/exceptions.hpp"

namespace ax {

class EAxException : public Exception {
public:
    using Exception::Exception;
};

} // namespace ax
