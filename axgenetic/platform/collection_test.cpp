#include "axgenetic/platform/collection.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "axgenetic/platform/exceptions.hpp"

namespace ax {
namespace {

class TNamedItem : public TCollectionItem {
public:
    static constexpr const char* StaticClassName = "TNamedItem";
    std::string ClassName() const override { return StaticClassName; }
    std::string DisplayName() const override { return FName.empty() ? ClassName() : FName; }
    const std::string& Name() const { return FName; }
    void SetName(const std::string& Value) {
        FName = Value;
        Changed(false);
    }
    void Assign(const TPersistent& Source) override {
        if (const auto* From = dynamic_cast<const TNamedItem*>(&Source)) {
            SetName(From->FName);
            return;
        }
        TCollectionItem::Assign(Source);
    }

private:
    std::string FName;
};

// Records every notification and update as text, e.g. "added:a", "update:all".
class TLoggingCollection : public TTypedCollection<TNamedItem, TOwnedCollection> {
public:
    explicit TLoggingCollection(TPersistent* Owner = nullptr)
        : TTypedCollection(Owner, ClassOf<TNamedItem>()) {}
    std::vector<std::string> Log;

protected:
    void Notify(TCollectionItem* Item, TCollectionNotification Action) override {
        static const char* Names[] = {"added", "extracting", "deleting"};
        Log.push_back(std::string(Names[static_cast<int>(Action)]) + ":" + Label(Item));
    }
    void Update(TCollectionItem* Item) override {
        Log.push_back("update:" + (Item ? Label(Item) : std::string("all")));
    }

private:
    static std::string Label(TCollectionItem* Item) {
        return static_cast<TNamedItem*>(Item)->Name() + "@" + std::to_string(Item->Index());
    }
};

using Strings = std::vector<std::string>;

std::string Names(const TLoggingCollection& C) {
    std::string S;
    for (int I = 0; I < C.Count(); ++I)
        S += C[I]->Name().empty() ? "-" : C[I]->Name();
    return S;
}

void ExpectIndexError(const std::function<void()>& Call, int Index) {
    try {
        Call();
        FAIL() << "no EListError";
    } catch (const EListError& E) {
        EXPECT_EQ(E.what(), "List index out of bounds (" + std::to_string(Index) + ")");
    }
}

TEST(CollectionTest, NotificationOrder) {
    TLoggingCollection C;
    TNamedItem* A = C.Add();
    EXPECT_EQ(C.Log, (Strings{"added:@0", "update:all"})); // added after it joined
    A->SetName("a");
    C.Add()->SetName("b");
    C.Add()->SetName("c");
    C.Log.clear();

    C.Delete(1);
    EXPECT_EQ(C.Log, (Strings{"deleting:b@1", "extracting:b@1", "update:all"}));
    EXPECT_EQ(Names(C), "ac");

    C.Log.clear();
    std::unique_ptr<TCollectionItem> Out = C.Extract(0);
    EXPECT_EQ(C.Log, (Strings{"extracting:a@0", "update:all"}));
    EXPECT_EQ(Out.get(), A);
    EXPECT_EQ(A->Collection(), nullptr);
    EXPECT_EQ(A->Index(), -1);

    C.Log.clear();
    EXPECT_EQ(C.AddItem(std::move(Out)), A); // taken back, with a new ID
    EXPECT_EQ(C.Log, (Strings{"added:a@1", "update:all"}));
    EXPECT_EQ(A->Collection(), &C);

    // Clear: last first, one update at the end.
    C.Log.clear();
    C.Clear();
    EXPECT_EQ(C.Log, (Strings{"extracting:a@1", "extracting:c@0", "update:all"}));
    EXPECT_EQ(C.Count(), 0);
    C.Log.clear();
    C.Clear();
    EXPECT_TRUE(C.Log.empty());
}

TEST(CollectionTest, UpdatesAndBatches) {
    TLoggingCollection C;
    TNamedItem* A = C.Add();
    TNamedItem* B = C.Add();
    C.Log.clear();
    A->SetName("a");
    EXPECT_EQ(C.Log, Strings{"update:a@0"});

    C.Log.clear();
    C.BeginUpdate();
    C.BeginUpdate();
    B->SetName("b");
    C.Add();
    C.Delete(2);
    C.EndUpdate();
    EXPECT_EQ(C.UpdateCount(), 1);
    // Notifications are never held back, updates are.
    EXPECT_EQ(C.Log, (Strings{"added:@2", "deleting:@2", "extracting:@2"}));
    C.EndUpdate();
    EXPECT_EQ(C.Log.back(), "update:all");
    EXPECT_EQ(C.Log.size(), 4u);
    C.EndUpdate(); // unbalanced: harmless
    EXPECT_EQ(C.UpdateCount(), 0);

    // Moving an item reports the whole collection.
    C.Log.clear();
    B->SetIndex(0);
    EXPECT_EQ(C.Log, Strings{"update:all"});
    EXPECT_EQ(Names(C), "ba");
    EXPECT_EQ(A->Index(), 1);
    C.Log.clear();
    B->SetIndex(0); // already there
    EXPECT_TRUE(C.Log.empty());
    ExpectIndexError([&] { B->SetIndex(2); }, 2);
    ExpectIndexError([&] { B->SetIndex(-1); }, -1);
    EXPECT_EQ(Names(C), "ba");
}

TEST(CollectionTest, InsertIdsAndLookup) {
    TLoggingCollection C;
    TNamedItem* A = C.Add();
    A->SetName("a");
    C.Insert(0)->SetName("first");
    C.Insert(2)->SetName("last");
    C.Insert(1)->SetName("mid");
    EXPECT_EQ(Names(C), "firstmidalast");
    ExpectIndexError([&] { C.Insert(5); }, 5);
    ExpectIndexError([&] { C.Insert(-1); }, -1);
    EXPECT_EQ(C.Count(), 4);

    // IDs are never reused, also after deletes.
    std::set<int> Ids;
    for (int I = 0; I < C.Count(); ++I)
        Ids.insert(C[I]->ID());
    const int AId = A->ID();
    C.Delete(0);
    TNamedItem* Fresh = C.Add();
    EXPECT_EQ(Ids.count(Fresh->ID()), 0u);
    EXPECT_EQ(Ids.size(), 4u);
    EXPECT_EQ(C.FindItemID(AId), A);
    EXPECT_EQ(C.FindItemID(Fresh->ID()), Fresh);
    EXPECT_EQ(C.FindItemID(-1), nullptr);
    EXPECT_EQ(C.FindItemID(1000), nullptr);

    ExpectIndexError([&] { C.Items(4); }, 4);
    ExpectIndexError([&] { (void)C[-1]; }, -1);
    ExpectIndexError([&] { C.Delete(4); }, 4);
    ExpectIndexError([&] { C.Extract(9); }, 9);

    EXPECT_EQ(Fresh->DisplayName(), "TNamedItem");
    EXPECT_EQ(C.ItemClass(), ClassOf<TNamedItem>());
    EXPECT_NE(C.ItemClass(), ClassOf<TCollectionItem>());
    EXPECT_STREQ(C.ItemClass()->Name, "TNamedItem");
    EXPECT_EQ(C.GetOwner(), nullptr);
    TLoggingCollection Owned(&C);
    EXPECT_EQ(Owned.GetOwner(), &C);
    TCollectionItem Loose;
    EXPECT_EQ(Loose.ID(), -1);
    EXPECT_EQ(Loose.Index(), -1);
}

TEST(CollectionTest, Assign) {
    TLoggingCollection Source, Dest;
    Source.Add()->SetName("x");
    Source.Add()->SetName("y");
    Dest.Add()->SetName("old");
    Dest.Log.clear();
    Dest.Assign(Source);
    EXPECT_EQ(Names(Dest), "xy");
    EXPECT_EQ(Dest.Log, (Strings{"extracting:old@0", "added:@0", "added:@1", "update:all"}));
    EXPECT_NE(Dest[0], Source[0]); // copies
    Dest.Log.clear();
    Dest.Assign(Dest);
    EXPECT_TRUE(Dest.Log.empty());

    // Items that cannot copy each other fail with the classes named.
    TCollection Plain(ClassOf<TCollectionItem>());
    Plain.Add();
    TCollection Other(ClassOf<TCollectionItem>());
    try {
        Other.Assign(Plain);
        FAIL() << "no EConvertError";
    } catch (const EConvertError& E) {
        EXPECT_STREQ(E.what(), "Cannot assign a TCollectionItem to a TCollectionItem");
    }
    EXPECT_EQ(Other.UpdateCount(), 0); // the batch was closed
    try {
        Dest.Assign(*Source[0]);
        FAIL() << "no EConvertError";
    } catch (const EConvertError& E) {
        EXPECT_STREQ(E.what(), "Cannot assign a TNamedItem to a TOwnedCollection");
    }
}

} // namespace
} // namespace ax
