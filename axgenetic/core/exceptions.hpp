// Exceptions of the evolution components. Each carries one message text of messages.hpp.
#pragma once

#include "axgenetic/common/ax_exception.hpp"

namespace ax {

// Failures of the shared evolution driver and of the genetic algorithm.
class EGAException : public EAxException {
public:
    using EAxException::EAxException;
};

// Failures of genetic programming; a handler of EGAException catches these too.
class EGPException : public EGAException {
public:
    using EGAException::EGAException;
};

} // namespace ax
