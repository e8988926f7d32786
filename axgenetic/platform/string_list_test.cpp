#include "axgenetic/platform/string_list.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "axgenetic/platform/exceptions.hpp"

namespace ax {
namespace {

class Tag : public TObject {};
using Strings = std::vector<std::string>;

Strings Lines(const TStringList& L) {
    Strings Out;
    for (int I = 0; I < L.Count(); ++I)
        Out.push_back(L[I]);
    return Out;
}

TEST(StringListTest, ObjectsMoveWithTheirLines) {
    TStringList L;
    Tag A, B;
    EXPECT_EQ(L.Add("one"), 0);
    EXPECT_EQ(L.AddObject("two", &A), 1);
    EXPECT_EQ(L.Add("one"), 2); // duplicates stay, order is insertion order
    L.Insert(0, "zero");
    L.Insert(4, "end");
    L.SetObjects(0, &B);
    L.SetStrings(1, "uno");
    EXPECT_EQ(Lines(L), (Strings{"zero", "uno", "two", "one", "end"}));
    EXPECT_TRUE(L.Objects(0) == &B && L.Objects(1) == nullptr);
    L.Delete(0);
    EXPECT_EQ(L.Objects(1), &A); // objects move with their lines
    EXPECT_EQ(L.IndexOf("TWO"), 1);
    EXPECT_EQ(L.IndexOf("One"), 2);
    EXPECT_EQ(L.IndexOf("tw"), -1);
}

TEST(StringListTest, BadIndexesChangeNothing) {
    TStringList L;
    Tag A;
    L.SetText("uno\ntwo\none\nend");
    const std::pair<int, std::function<void()>> Bad[] = {
        {4, [&] { L.Strings(4); }},          {-1, [&] { (void)L[-1]; }},
        {5, [&] { L.SetStrings(5, "x"); }},  {4, [&] { L.Objects(4); }},
        {-2, [&] { L.SetObjects(-2, &A); }}, {4, [&] { L.Delete(4); }},
        {5, [&] { L.Insert(5, "x"); }},      {-1, [&] { L.Insert(-1, "x"); }}};
    for (const auto& [Index, Call] : Bad) {
        try {
            Call();
            ADD_FAILURE() << "no EListError at " << Index;
        } catch (const EListError& E) {
            EXPECT_EQ(E.what(), "List index out of bounds (" + std::to_string(Index) + ")");
        }
    }
    EXPECT_EQ(Lines(L), (Strings{"uno", "two", "one", "end"}));
}

TEST(StringListTest, Text) {
    TStringList L;
    const std::pair<const char*, Strings> Cases[] = {
        {"x\r\ny\rz\n\nw", {"x", "y", "z", "", "w"}},
        {"one\ntwo\n", {"one", "two"}},
        {"\r\n", {""}},
        {"", {}},
        {"a\n\rb", {"a", "", "b"}}}; // "\n\r" is two breaks
    for (const auto& [Text, Expected] : Cases) {
        L.SetText(Text);
        EXPECT_EQ(Lines(L), Expected) << Text;
    }
    L.SetText("a\n\nb c");
    EXPECT_EQ(L.Text(), "a\n\nb c\n");
}

TEST(StringListTest, EachChangeFiresOnChange) {
    TStringList L;
    std::vector<TObject*> Senders;
    L.OnChange = [&](TObject* Sender) { Senders.push_back(Sender); };
    Tag A;
    L.Add("a");
    L.AddObject("b", &A);
    L.Insert(0, "c");
    L.SetStrings(0, "d");
    L.SetObjects(0, &A);
    L.Delete(0);
    L.Clear();
    L.Clear(); // nothing to clear, nothing changed
    L.SetText("x\ny\nz");
    EXPECT_THROW(L.Delete(9), EListError); // a failed change reports nothing
    EXPECT_EQ(Senders, std::vector<TObject*>(8, &L));
}

// Nested batch: one event at the outermost end; an empty batch reports nothing and an
// extra EndUpdate is harmless.
TEST(StringListTest, BatchesFireOnceAtTheOuterEnd) {
    TStringList L;
    std::vector<TObject*> Senders;
    L.OnChange = [&](TObject* Sender) { Senders.push_back(Sender); };
    L.BeginUpdate();
    L.BeginUpdate();
    L.Add("p");
    L.Delete(L.Count() - 1);
    L.EndUpdate();
    EXPECT_TRUE(Senders.empty() && L.UpdateCount() == 1);
    L.EndUpdate();
    L.BeginUpdate();
    L.EndUpdate();
    L.EndUpdate();
    EXPECT_TRUE(Senders.size() == 1 && L.UpdateCount() == 0);
    TStringList Other;
    Other.SetText("1\n2");
    L.AddStrings(Other);
    L.Assign(Other);
    EXPECT_EQ(Senders, std::vector<TObject*>(3, &L));
}

TEST(StringListTest, CopiesDoNotFollowTheirSource) {
    Tag A;
    TStringList Source, Dest;
    Source.AddObject("a", &A);
    Source.Add("b");
    Dest.Add("old");
    Dest.Assign(Source);
    Source.SetStrings(0, "changed"); // a copy, not a view
    Dest.AddStrings(Dest);           // appending a list to itself doubles it
    EXPECT_EQ(Lines(Dest), (Strings{"a", "b", "a", "b"}));
    EXPECT_TRUE(Dest.Objects(0) == &A && Dest.Objects(2) == &A);
}

TEST(StringListTest, AssignRefusesAForeignClass) {
    TStringList Dest;
    Dest.SetText("a\nb\na\nb");
    class Other : public TPersistent {
    public:
        std::string ClassName() const override { return "TOther"; }
    } Foreign;
    try {
        Dest.Assign(Foreign);
        FAIL() << "no EConvertError";
    } catch (const EConvertError& E) {
        EXPECT_STREQ(E.what(), "Cannot assign a TOther to a TStringList");
    }
    EXPECT_EQ(Dest.Count(), 4);
}

} // namespace
} // namespace ax
