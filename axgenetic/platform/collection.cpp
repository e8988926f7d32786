#include "axgenetic/platform/collection.hpp"

#include <algorithm>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/update_guard.hpp"

namespace ax {

int TCollectionItem::Index() const {
    if (!FCollection) return -1;
    const auto& Items = FCollection->FItems;
    for (std::size_t I = 0; I < Items.size(); ++I)
        if (Items[I].get() == this) return static_cast<int>(I);
    return -1;
}

void TCollectionItem::SetIndex(int Value) {
    const int Current = Index();
    if (Current < 0 || Current == Value) return;
    FCollection->CheckIndex(Value);
    auto& Items = FCollection->FItems;
    auto Moving = std::move(Items[static_cast<std::size_t>(Current)]);
    Items.erase(Items.begin() + Current);
    Items.insert(Items.begin() + Value, std::move(Moving));
    Changed(true);
}

void TCollectionItem::Changed(bool AllItems) {
    if (FCollection && FCollection->FUpdateCount == 0)
        FCollection->Update(AllItems ? nullptr : this);
}

TCollection::TCollection(TCollectionItemClass ItemClass) : FItemClass(ItemClass) {}

TCollection::~TCollection() {
    for (auto& Item : FItems) Item->FCollection = nullptr;
}

void TCollection::IndexError(int Index) {
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

void TCollection::InsertItem(std::unique_ptr<TCollectionItem> Item) {
    TCollectionItem* Raw = Item.get();
    FItems.push_back(std::move(Item));
    Raw->FCollection = this;
    Raw->FID = FNextID++;
    Notify(Raw, TCollectionNotification::cnAdded);
    Changed();
}

std::unique_ptr<TCollectionItem> TCollection::RemoveItem(int Index) {
    TCollectionItem* Raw = FItems[static_cast<std::size_t>(Index)].get();
    Notify(Raw, TCollectionNotification::cnExtracting);
    // The notification may have moved items; find the item again. It is almost always
    // still in place, and a scan per removal would make Clear quadratic.
    const int Now = Index < Count() && FItems[static_cast<std::size_t>(Index)].get() == Raw
                        ? Index
                        : Raw->Index();
    std::unique_ptr<TCollectionItem> Result = std::move(FItems[static_cast<std::size_t>(Now)]);
    FItems.erase(FItems.begin() + Now);
    Result->FCollection = nullptr;
    Changed();
    return Result;
}

TCollectionItem* TCollection::Add() {
    TCollectionItem* Raw = AddItem(FItemClass->Create());
    return Raw;
}

TCollectionItem* TCollection::AddItem(std::unique_ptr<TCollectionItem> Item) {
    TCollectionItem* Raw = Item.get();
    InsertItem(std::move(Item));
    return Raw;
}

TCollectionItem* TCollection::Insert(int Index) {
    if (Index < 0 || Index > Count()) IndexError(Index);
    TCollectionItem* Raw = Add();
    Raw->SetIndex(Index);
    return Raw;
}

void TCollection::Delete(int Index) {
    CheckIndex(Index);
    TCollectionItem* Raw = FItems[static_cast<std::size_t>(Index)].get();
    Notify(Raw, TCollectionNotification::cnDeleting);
    const int Now = Index < Count() && FItems[static_cast<std::size_t>(Index)].get() == Raw
                        ? Index
                        : Raw->Index();
    if (Now >= 0) RemoveItem(Now); // the returned item dies here
}

std::unique_ptr<TCollectionItem> TCollection::Extract(int Index) {
    CheckIndex(Index);
    return RemoveItem(Index);
}

void TCollection::Clear() {
    if (FItems.empty()) return;
    const TUpdateGuard Batch(*this);
    while (!FItems.empty())
        RemoveItem(Count() - 1);
}

TCollectionItem* TCollection::FindItemID(int ID) const {
    for (const auto& Item : FItems)
        if (Item->FID == ID) return Item.get();
    return nullptr;
}

void TCollection::EndUpdate() {
    if (FUpdateCount > 0) --FUpdateCount;
    Changed();
}

void TCollection::Changed() {
    if (FUpdateCount == 0) Update(nullptr);
}

void TCollection::Assign(const TPersistent& Source) {
    const auto* From = dynamic_cast<const TCollection*>(&Source);
    if (!From) {
        TPersistent::Assign(Source);
        return;
    }
    if (From == this) return;
    const TUpdateGuard Batch(*this);
    Clear();
    for (const auto& Item : From->FItems)
        Add()->Assign(*Item);
}

void TCollection::Notify(TCollectionItem*, TCollectionNotification) {}

void TCollection::Update(TCollectionItem*) {}

} // namespace ax
