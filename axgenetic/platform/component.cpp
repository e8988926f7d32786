#include "axgenetic/platform/component.hpp"

#include <algorithm>

#include "axgenetic/platform/enum_names.hpp"
#include "axgenetic/platform/exceptions.hpp"

namespace ax {

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner) {}

TComponent::~TComponent() {
    Destroying();
    DestroyComponents();
}

void TComponent::Destroying() {
    if (FComponentState.Contains(TComponentStateFlag::csDestroying)) return;
    FComponentState.Include(TComponentStateFlag::csDestroying);
    for (const auto& C : FComponents) C->Destroying();
}

void TComponent::SetDesigning(bool Value) {
    if (Value)
        FComponentState.Include(TComponentStateFlag::csDesigning);
    else
        FComponentState.Exclude(TComponentStateFlag::csDesigning);
}

TComponent* TComponent::InsertComponent(std::unique_ptr<TComponent> AComponent) {
    TComponent* Raw = AComponent.get();
    if (Raw) {
        Raw->FOwner = this;
        FComponents.push_back(std::move(AComponent));
    }
    return Raw;
}

std::unique_ptr<TComponent> TComponent::RemoveComponent(TComponent* AComponent) {
    auto It = std::find_if(FComponents.begin(), FComponents.end(),
                           [&](const auto& C) { return C.get() == AComponent; });
    if (It == FComponents.end()) return nullptr;
    std::unique_ptr<TComponent> Result = std::move(*It);
    FComponents.erase(It);
    Result->FOwner = nullptr;
    return Result;
}

TComponent* TComponent::Components(int Index) const {
    if (Index < 0 || Index >= ComponentCount())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FComponents[static_cast<std::size_t>(Index)].get();
}

TComponent* TComponent::FindComponent(const std::string& Name) const {
    if (Name.empty()) return nullptr;
    for (const auto& C : FComponents)
        if (detail::SameTextAscii(C->Name(), Name)) return C.get();
    return nullptr;
}

void TComponent::DestroyComponents() {
    // Last inserted first; each one leaves the list before it dies.
    while (!FComponents.empty()) {
        std::unique_ptr<TComponent> Last = std::move(FComponents.back());
        FComponents.pop_back();
        Last->Destroying();
        Last.reset();
    }
}

} // namespace ax
