// Collections that own their items and tell about every change: an item joining
// (cnAdded, after it joined), leaving (cnDeleting and cnExtracting, before it leaves) and
// changing (Update with the item, or with nullptr for the whole collection). Changes made
// between BeginUpdate and EndUpdate are held back; the outermost EndUpdate reports one
// update of the whole collection.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <memory>
#include <string>
#include <vector>

#include "axgenetic/platform/object.hpp"

namespace ax {

class TCollection;
class TCollectionItem;

enum class TCollectionNotification { cnAdded, cnExtracting, cnDeleting };

// A class reference for collection items: the factory a collection uses to make new
// items. ClassOf<T>() gives the one reference of T, so references compare by identity.
struct AXGENETIC_API TCollectionItemClassInfo {
    const char* Name;
    std::unique_ptr<TCollectionItem> (*Create)();
};
using TCollectionItemClass = const TCollectionItemClassInfo*;

// Exported so that the library and its host share the one reference of each class.
template <class T>
AXGENETIC_API TCollectionItemClass ClassOf() {
    static const TCollectionItemClassInfo Info{
        T::StaticClassName, []() -> std::unique_ptr<TCollectionItem> { return std::make_unique<T>(); }};
    return &Info;
}

// An element of a TCollection. Items are made by their collection (Add, Insert) or
// attached to it (AddItem); the collection owns them.
class AXGENETIC_API TCollectionItem : public TPersistent {
public:
    static constexpr const char* StaticClassName = "TCollectionItem";
    TCollectionItem() = default;
    ~TCollectionItem() override = default;
    TCollectionItem(const TCollectionItem&) = delete;
    TCollectionItem& operator=(const TCollectionItem&) = delete;

    std::string ClassName() const override { return StaticClassName; }

    TCollection* Collection() const { return FCollection; }
    // Unique within the collection for the collection's lifetime; -1 outside one.
    int ID() const { return FID; }
    // Position in the collection; -1 outside one.
    int Index() const;
    // Moves the item to Value (0..Count - 1, else EListError); a move reports an update of
    // the whole collection.
    void SetIndex(int Value);
    // The name shown for the item; the class name unless a class says otherwise.
    virtual std::string DisplayName() const { return ClassName(); }

protected:
    // Reports a change of this item (or, with AllItems, of the whole collection).
    void Changed(bool AllItems);

private:
    friend class TCollection;
    TCollection* FCollection = nullptr;
    int FID = -1;
};

// A list of items of one item class.
class AXGENETIC_API TCollection : public TPersistent {
public:
    explicit TCollection(TCollectionItemClass ItemClass);
    // Items die without notifications: a derived collection has already been destroyed
    // by then. A derived class that wants them notified calls Clear in its destructor.
    ~TCollection() override;
    TCollection(const TCollection&) = delete;
    TCollection& operator=(const TCollection&) = delete;

    std::string ClassName() const override { return "TCollection"; }
    TCollectionItemClass ItemClass() const { return FItemClass; }

    // Makes a new item of the item class and appends it.
    TCollectionItem* Add();
    // Makes a new item and puts it at Index (0..Count, else EListError and nothing added).
    TCollectionItem* Insert(int Index);
    // Appends an item made elsewhere and takes ownership of it.
    TCollectionItem* AddItem(std::unique_ptr<TCollectionItem> Item);
    // Frees the item at Index (cnDeleting, then cnExtracting, then an update).
    void Delete(int Index);
    // Takes the item at Index out and hands it to the caller (cnExtracting).
    std::unique_ptr<TCollectionItem> Extract(int Index);
    // Frees every item, last first, in one update batch.
    void Clear();

    int Count() const { return static_cast<int>(FItems.size()); }
    TCollectionItem* Items(int Index) const {
        CheckIndex(Index);
        return FItems[static_cast<std::size_t>(Index)].get();
    }
    TCollectionItem* operator[](int Index) const { return Items(Index); }
    // The item with that ID, or nullptr.
    TCollectionItem* FindItemID(int ID) const;

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    // Replaces the contents by copies of Source's items, in one update batch.
    void Assign(const TPersistent& Source) override;

    // The object that owns this collection, if any.
    virtual TPersistent* GetOwner() const { return nullptr; }

    // Reports a change of the whole collection unless a batch is open.
    void Changed();

protected:
    virtual void Notify(TCollectionItem* Item, TCollectionNotification Action);
    virtual void Update(TCollectionItem* Item);

    // Raw index checks, for derived collections with typed accessors.
    void CheckIndex(int Index) const {
        if (Index < 0 || Index >= Count()) IndexError(Index);
    }
    [[noreturn]] static void IndexError(int Index);

private:
    friend class TCollectionItem;
    void InsertItem(std::unique_ptr<TCollectionItem> Item);
    std::unique_ptr<TCollectionItem> RemoveItem(int Index);

    TCollectionItemClass FItemClass;
    std::vector<std::unique_ptr<TCollectionItem>> FItems;
    int FNextID = 0;
    int FUpdateCount = 0;
};

// A collection with an owner object.
class AXGENETIC_API TOwnedCollection : public TCollection {
public:
    TOwnedCollection(TPersistent* AOwner, TCollectionItemClass ItemClass)
        : TCollection(ItemClass), FOwner(AOwner) {}
    std::string ClassName() const override { return "TOwnedCollection"; }
    TPersistent* GetOwner() const override { return FOwner; }

private:
    TPersistent* FOwner;
};

// Typed access for a collection whose items are all of class Item (or derived from it):
// layered over any collection class Base without casts at the call sites.
template <class Item, class Base>
class AXGENETIC_API TTypedCollection : public Base {
public:
    using Base::Base;
    Item* Add() { return static_cast<Item*>(Base::Add()); }
    Item* Insert(int Index) { return static_cast<Item*>(Base::Insert(Index)); }
    Item* Items(int Index) const { return static_cast<Item*>(Base::Items(Index)); }
    Item* operator[](int Index) const { return Items(Index); }
    Item* FindItemID(int ID) const { return static_cast<Item*>(Base::FindItemID(ID)); }
};

} // namespace ax
