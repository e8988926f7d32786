#include "axgenetic/platform/string_list.hpp"

#include "axgenetic/platform/enum_names.hpp"
#include "axgenetic/platform/exceptions.hpp"

namespace ax {

void TStringList::CheckIndex(int Index) const {
    if (Index < 0 || Index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

const std::string& TStringList::Strings(int Index) const {
    CheckIndex(Index);
    return FItems[static_cast<std::size_t>(Index)].Text;
}

void TStringList::SetStrings(int Index, const std::string& Value) {
    CheckIndex(Index);
    FItems[static_cast<std::size_t>(Index)].Text = Value;
    Changed();
}

TObject* TStringList::Objects(int Index) const {
    CheckIndex(Index);
    return FItems[static_cast<std::size_t>(Index)].Object;
}

void TStringList::SetObjects(int Index, TObject* Value) {
    CheckIndex(Index);
    FItems[static_cast<std::size_t>(Index)].Object = Value;
    Changed();
}

int TStringList::Add(const std::string& S) {
    return AddObject(S, nullptr);
}

int TStringList::AddObject(const std::string& S, TObject* AObject) {
    const int Index = Count();
    InsertObject(Index, S, AObject);
    return Index;
}

void TStringList::Insert(int Index, const std::string& S) {
    InsertObject(Index, S, nullptr);
}

void TStringList::InsertObject(int Index, const std::string& S, TObject* AObject) {
    if (Index < 0 || Index > Count())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    FItems.insert(FItems.begin() + Index, TItem{S, AObject});
    Changed();
}

void TStringList::Delete(int Index) {
    CheckIndex(Index);
    FItems.erase(FItems.begin() + Index);
    Changed();
}

void TStringList::Clear() {
    if (FItems.empty()) return;
    FItems.clear();
    Changed();
}

void TStringList::AddStrings(const TStringList& Strings) {
    if (Strings.FItems.empty()) return;
    // Copy first: Strings may be this list.
    std::vector<TItem> Added = Strings.FItems;
    FItems.insert(FItems.end(), Added.begin(), Added.end());
    Changed();
}

int TStringList::IndexOf(std::string_view S) const {
    for (std::size_t I = 0; I < FItems.size(); ++I)
        if (detail::SameTextAscii(FItems[I].Text, S)) return static_cast<int>(I);
    return -1;
}

std::string TStringList::Text() const {
    std::size_t Size = 0;
    for (const auto& Item : FItems)
        Size += Item.Text.size() + 1;
    std::string Result;
    Result.reserve(Size);
    for (const auto& Item : FItems) {
        Result += Item.Text;
        Result += '\n';
    }
    return Result;
}

void TStringList::SetText(std::string_view Value) {
    std::vector<TItem> Lines;
    std::size_t Start = 0;
    for (std::size_t I = 0; I < Value.size(); ++I) {
        const char C = Value[I];
        if (C != '\n' && C != '\r') continue;
        Lines.push_back(TItem{std::string(Value.substr(Start, I - Start)), nullptr});
        if (C == '\r' && I + 1 < Value.size() && Value[I + 1] == '\n') ++I;
        Start = I + 1;
    }
    if (Start < Value.size()) Lines.push_back(TItem{std::string(Value.substr(Start)), nullptr});
    FItems = std::move(Lines);
    Changed();
}

void TStringList::EndUpdate() {
    if (FUpdateCount == 0) return;
    if (--FUpdateCount == 0 && FChangedInBatch) {
        FChangedInBatch = false;
        Changed();
    }
}

void TStringList::Assign(const TPersistent& Source) {
    const auto* From = dynamic_cast<const TStringList*>(&Source);
    if (!From) {
        TPersistent::Assign(Source);
        return;
    }
    if (From == this) return;
    FItems = From->FItems;
    Changed();
}

void TStringList::Changed() {
    if (FUpdateCount > 0) {
        FChangedInBatch = true;
        return;
    }
    if (OnChange) OnChange(this);
}

} // namespace ax
