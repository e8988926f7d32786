#include "axgenetic/platform/collection.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/expect_error_test_support.hpp"

namespace ax {
namespace {

class TNamedItem : public TCollectionItem {
public:
    static constexpr const char* StaticClassName = "TNamedItem";
    std::string ClassName() const override { return StaticClassName; }
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
        S += C[I]->Name();
    return S;
}

void ExpectIndexError(const std::function<void()>& Call, int Index) {
    ExpectError<EListError>(Call, "List index out of bounds (" + std::to_string(Index) + ")");
}

TEST(CollectionTest, NotificationsFollowMembership) {
    TLoggingCollection C;
    TNamedItem* A = C.Add();
    EXPECT_EQ(C.Log, (Strings{"added:@0", "update:all"})); // added after it joined
    A->SetName("a");
    C.Add()->SetName("b");
    C.Add()->SetName("c");
    C.Log.clear();
    C.Delete(1);
    std::unique_ptr<TCollectionItem> Out = C.Extract(0);
    EXPECT_TRUE(Out.get() == A && A->Collection() == nullptr && A->Index() == -1);
    EXPECT_EQ(C.AddItem(std::move(Out)), A);
    EXPECT_EQ(A->Collection(), &C);
    // Clear: last first, one update at the end; an empty one reports nothing.
    C.Clear();
    C.Clear();
    EXPECT_EQ(C.Log, (Strings{"deleting:b@1", "extracting:b@1", "update:all", "extracting:a@0",
                              "update:all", "added:a@1", "update:all", "extracting:a@1",
                              "extracting:c@0", "update:all"}));
}

TEST(CollectionTest, BatchesHoldBackUpdatesOnly) {
    TLoggingCollection C;
    TNamedItem* A = C.Add();
    TNamedItem* B = C.Add();
    C.Log.clear();
    A->SetName("a");
    C.BeginUpdate();
    C.BeginUpdate();
    B->SetName("b");
    C.Add();
    C.Delete(2);
    C.EndUpdate();
    EXPECT_EQ(C.UpdateCount(), 1);
    C.EndUpdate();
    // Notifications are never held back, updates are.
    EXPECT_EQ(C.Log,
              (Strings{"update:a@0", "added:@2", "deleting:@2", "extracting:@2", "update:all"}));
    C.EndUpdate(); // unbalanced: harmless
    EXPECT_EQ(C.UpdateCount(), 0);
}

// Moving an item reports the whole collection; staying put reports nothing.
TEST(CollectionTest, SetIndexReportsOnlyAMove) {
    TLoggingCollection C;
    TNamedItem* A = C.Add();
    TNamedItem* B = C.Add();
    A->SetName("a");
    B->SetName("b");
    C.Log.clear();
    B->SetIndex(0);
    B->SetIndex(0);
    EXPECT_EQ(C.Log, Strings{"update:all"});
    EXPECT_TRUE(Names(C) == "ba" && A->Index() == 1);
    ExpectIndexError([&] { B->SetIndex(2); }, 2);
    ExpectIndexError([&] { B->SetIndex(-1); }, -1);
    EXPECT_EQ(Names(C), "ba");
}

TEST(CollectionTest, InsertPlacesAtTheIndex) {
    TLoggingCollection C;
    TNamedItem* A = C.Add();
    A->SetName("a");
    C.Insert(0)->SetName("first");
    C.Insert(2)->SetName("last");
    C.Insert(1)->SetName("mid");
    EXPECT_EQ(Names(C), "firstmidalast");
    ExpectIndexError([&] { C.Insert(5); }, 5);
    ExpectIndexError([&] { C.Insert(-1); }, -1);
    ExpectIndexError([&] { (void)C[-1]; }, -1);
    ExpectIndexError([&] { C.Delete(4); }, 4);
    ExpectIndexError([&] { C.Extract(9); }, 9);
}

// IDs are never reused, also after deletes.
TEST(CollectionTest, IdsAreNeverReused) {
    TLoggingCollection C;
    TNamedItem* A = C.Add();
    C.Insert(0);
    C.Insert(2);
    C.Insert(1);
    std::set<int> Ids;
    for (int I = 0; I < C.Count(); ++I)
        Ids.insert(C[I]->ID());
    C.Delete(3);
    TNamedItem* Fresh = C.Add();
    EXPECT_TRUE(Ids.size() == 4 && Ids.count(Fresh->ID()) == 0);
    EXPECT_TRUE(C.FindItemID(A->ID()) == A && C.FindItemID(Fresh->ID()) == Fresh);
    EXPECT_EQ(C.FindItemID(-1), nullptr);
}

TEST(CollectionTest, RemembersWhatItWasBuiltWith) {
    TLoggingCollection C;
    TLoggingCollection Owned(&C);
    EXPECT_TRUE(Owned.GetOwner() == &C && C.ItemClass()->Name == std::string("TNamedItem"));
}

TEST(CollectionTest, Assign) {
    TLoggingCollection Source, Dest;
    Source.Add()->SetName("x");
    Source.Add()->SetName("y");
    Dest.Add()->SetName("old");
    Dest.Log.clear();
    Dest.Assign(Source);
    Dest.Assign(Dest);
    EXPECT_EQ(Names(Dest), "xy");
    EXPECT_EQ(Dest.Log, (Strings{"extracting:old@0", "added:@0", "added:@1", "update:all"}));
    EXPECT_NE(Dest[0], Source[0]); // copies
    // Items that cannot copy each other fail with the classes named, and close the batch.
    TCollection Plain(ClassOf<TCollectionItem>()), Other(ClassOf<TCollectionItem>());
    Plain.Add();
    ExpectError<EConvertError>([&] { Other.Assign(Plain); },
                               "Cannot assign a TCollectionItem to a TCollectionItem");
    EXPECT_EQ(Other.UpdateCount(), 0);
    ExpectError<EConvertError>([&] { Dest.Assign(*Source[0]); },
                               "Cannot assign a TNamedItem to a TOwnedCollection");
}

} // namespace
} // namespace ax
