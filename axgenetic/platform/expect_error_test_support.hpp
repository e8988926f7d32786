// Test support: expecting a call to raise one of the library's exceptions with an exact
// message. Used by the tests of several layers; not installed.
#pragma once

#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace ax {

// Call raises E (or a class derived from it) with exactly Message; no exception, or
// another message, is a test failure. Another exception class propagates.
template <class E, class F> void ExpectError(F&& Call, std::string_view Message) {
    try {
        Call();
        ADD_FAILURE() << "no exception, expected " << Message;
    } catch (const E& Error) {
        EXPECT_EQ(std::string_view(Error.what()), Message);
    }
}

} // namespace ax
