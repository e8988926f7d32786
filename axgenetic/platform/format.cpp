#include "axgenetic/platform/format.hpp"

namespace ax {

std::string Format(std::string_view Fmt, std::initializer_list<TFormatArg> Args) {
    std::string Out;
    Out.reserve(Fmt.size() + 16);
    auto Next = Args.begin();
    for (std::size_t I = 0; I < Fmt.size(); ++I) {
        const char C = Fmt[I];
        if (C != '%' || I + 1 >= Fmt.size()) {
            Out += C;
            continue;
        }
        const char Spec = Fmt[I + 1];
        if (Spec == '%') {
            Out += '%';
            ++I;
            continue;
        }
        const bool WantsText = Spec == 's', WantsInt = Spec == 'd' || Spec == 'i';
        if ((WantsText || WantsInt) && Next != Args.end() && Next->IsText() == WantsText) {
            if (WantsText)
                Out += Next->Text();
            else
                Out += std::to_string(Next->Int());
            ++Next;
            ++I;
            continue;
        }
        Out += C;
    }
    return Out;
}

} // namespace ax
