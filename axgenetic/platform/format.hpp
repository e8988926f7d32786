// Fills the placeholders of the library's message texts: %s takes a text, %d and %i an
// integer, %% is a percent sign. Arguments are used in order; a placeholder without an
// argument (or with one of the wrong kind) is written as it stands.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace ax {

// One argument of Format: a text or an integer.
class AXGENETIC_API TFormatArg {
public:
    TFormatArg(std::string_view Text) : FIsText(true), FText(Text) {}
    TFormatArg(const std::string& Text) : FIsText(true), FText(Text) {}
    TFormatArg(const char* Text) : FIsText(true), FText(Text) {}
    template <class I, std::enable_if_t<std::is_integral_v<I>, int> = 0>
    TFormatArg(I Value) : FIsText(false), FInt(static_cast<std::int64_t>(Value)) {}

    bool IsText() const { return FIsText; }
    std::string_view Text() const { return FText; }
    std::int64_t Int() const { return FInt; }

private:
    bool FIsText;
    std::string_view FText;
    std::int64_t FInt = 0;
};

AXGENETIC_API std::string Format(std::string_view Fmt, std::initializer_list<TFormatArg> Args);

} // namespace ax
