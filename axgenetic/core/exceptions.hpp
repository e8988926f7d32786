// Exceptions of the evolution components. Each carries one message text of messages.hpp.
#pragma once

#include "axgenetic/platform/export.hpp"

#include "axgenetic/common/ax_exception.hpp"

namespace ax {

// Failures of the shared evolution driver and of the genetic algorithm.
class AXGENETIC_API EGAException : public EAxException {
public:
    using EAxException::EAxException;
};

// Failures of genetic programming; a handler of EGAException catches these too.
class AXGENETIC_API EGPException : public EGAException {
public:
    using EGAException::EGAException;
};

} // namespace ax
