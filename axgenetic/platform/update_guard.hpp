// A batch of changes held open for one scope: BeginUpdate on construction, EndUpdate when
// the scope ends, however it ends. Works with anything that has BeginUpdate/EndUpdate
// (collections, string lists).
#pragma once

#include "axgenetic/platform/export.hpp"

#include <exception>

namespace ax {

template <class T> class AXGENETIC_API TUpdateGuard {
public:
    explicit TUpdateGuard(T& Target) : FTarget(Target), FExceptions(std::uncaught_exceptions()) {
        FTarget.BeginUpdate();
    }
    TUpdateGuard(const TUpdateGuard&) = delete;
    TUpdateGuard& operator=(const TUpdateGuard&) = delete;

    // EndUpdate reports the batch, which runs handlers that may raise. On a normal exit
    // their exception goes to the caller; while another exception is unwinding the
    // scope, that first exception is the one the caller gets.
    ~TUpdateGuard() noexcept(false) {
        if (std::uncaught_exceptions() > FExceptions) {
            try {
                FTarget.EndUpdate();
            } catch (...) {
            }
        } else {
            FTarget.EndUpdate();
        }
    }

private:
    T& FTarget;
    int FExceptions;
};

} // namespace ax
