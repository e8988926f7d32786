#include "axgenetic/platform/string_list.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "axgenetic/platform/exceptions.hpp"

namespace ax {
namespace {

class Tag : public TObject {};

std::vector<std::string> Lines(const TStringList& L) {
    std::vector<std::string> Out;
    for (int I = 0; I < L.Count(); ++I)
        Out.push_back(L[I]);
    return Out;
}

void ExpectIndexError(const std::function<void()>& Call, int Index) {
    try {
        Call();
        FAIL() << "no EListError";
    } catch (const EListError& E) {
        EXPECT_EQ(E.what(), "List index out of bounds (" + std::to_string(Index) + ")");
    }
}

TEST(StringListTest, LinesAndObjects) {
    TStringList L;
    Tag A, B;
    EXPECT_EQ(L.Add("one"), 0);
    EXPECT_EQ(L.AddObject("two", &A), 1);
    EXPECT_EQ(L.Add("one"), 2); // duplicates stay, order is insertion order
    L.Insert(0, "zero");
    L.Insert(4, "end");
    EXPECT_EQ(Lines(L), (std::vector<std::string>{"zero", "one", "two", "one", "end"}));
    EXPECT_EQ(L.Objects(2), &A);
    EXPECT_EQ(L.Objects(0), nullptr);
    L.SetObjects(0, &B);
    L.SetStrings(1, "uno");
    EXPECT_EQ(L.Strings(1), "uno");
    EXPECT_EQ(L.Objects(0), &B);
    L.Delete(0);
    EXPECT_EQ(Lines(L), (std::vector<std::string>{"uno", "two", "one", "end"}));
    EXPECT_EQ(L.Objects(1), &A); // objects move with their lines

    EXPECT_EQ(L.IndexOf("TWO"), 1);
    EXPECT_EQ(L.IndexOf("One"), 2);
    EXPECT_EQ(L.IndexOf("tw"), -1);
    L.Clear();
    EXPECT_EQ(L.Count(), 0);
    EXPECT_EQ(L.IndexOf("one"), -1);
}

TEST(StringListTest, IndexErrors) {
    TStringList L;
    L.Add("a");
    ExpectIndexError([&] { L.Strings(1); }, 1);
    ExpectIndexError([&] { (void)L[-1]; }, -1);
    ExpectIndexError([&] { L.SetStrings(5, "x"); }, 5);
    ExpectIndexError([&] { L.Objects(1); }, 1);
    ExpectIndexError([&] { L.SetObjects(-2, nullptr); }, -2);
    ExpectIndexError([&] { L.Delete(1); }, 1);
    ExpectIndexError([&] { L.Insert(2, "x"); }, 2);
    ExpectIndexError([&] { L.Insert(-1, "x"); }, -1);
    EXPECT_EQ(Lines(L), std::vector<std::string>{"a"});
}

TEST(StringListTest, Text) {
    TStringList L;
    EXPECT_EQ(L.Text(), "");
    L.Add("a");
    L.Add("");
    L.Add("b c");
    EXPECT_EQ(L.Text(), "a\n\nb c\n");

    L.SetText("x\r\ny\rz\n\nw");
    EXPECT_EQ(Lines(L), (std::vector<std::string>{"x", "y", "z", "", "w"}));
    L.SetText("one\ntwo\n");
    EXPECT_EQ(Lines(L), (std::vector<std::string>{"one", "two"}));
    L.SetText("\r\n");
    EXPECT_EQ(Lines(L), std::vector<std::string>{""});
    L.SetText("");
    EXPECT_EQ(L.Count(), 0);
    L.SetText("a\n\rb"); // "\n\r" is two breaks
    EXPECT_EQ(Lines(L), (std::vector<std::string>{"a", "", "b"}));

    TStringList M;
    M.SetText(L.Text());
    EXPECT_EQ(Lines(M), Lines(L));
}

TEST(StringListTest, ChangeEventsAndBatches) {
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
    EXPECT_EQ(Senders.size(), 6u);
    EXPECT_EQ(Senders.front(), &L);
    L.Clear();
    L.Clear(); // nothing to clear, nothing changed
    EXPECT_EQ(Senders.size(), 7u);
    L.SetText("x\ny\nz");
    EXPECT_EQ(Senders.size(), 8u);

    // A failed change reports nothing.
    EXPECT_THROW(L.Delete(9), EListError);
    EXPECT_EQ(Senders.size(), 8u);

    // Nested batch: one event at the outermost end.
    L.BeginUpdate();
    L.BeginUpdate();
    L.Add("p");
    L.Delete(L.Count() - 1);
    L.EndUpdate();
    EXPECT_EQ(Senders.size(), 8u);
    EXPECT_EQ(L.UpdateCount(), 1);
    L.EndUpdate();
    EXPECT_EQ(Senders.size(), 9u);
    // An empty batch reports nothing; an extra EndUpdate is harmless.
    L.BeginUpdate();
    L.EndUpdate();
    L.EndUpdate();
    EXPECT_EQ(Senders.size(), 9u);
    EXPECT_EQ(L.UpdateCount(), 0);
    // A batch does not carry over into the next one.
    L.BeginUpdate();
    L.EndUpdate();
    EXPECT_EQ(Senders.size(), 9u);

    TStringList Other;
    Other.Add("1");
    Other.Add("2");
    L.AddStrings(Other);
    EXPECT_EQ(Senders.size(), 10u);
    EXPECT_EQ(Lines(L), (std::vector<std::string>{"x", "y", "z", "1", "2"}));
    L.Assign(Other);
    EXPECT_EQ(Senders.size(), 11u);
}

TEST(StringListTest, AssignAndAddStrings) {
    Tag A;
    TStringList Source;
    Source.AddObject("a", &A);
    Source.Add("b");
    TStringList Dest;
    Dest.Add("old");
    Dest.Assign(Source);
    EXPECT_EQ(Lines(Dest), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Dest.Objects(0), &A);
    Source.SetStrings(0, "changed"); // a copy, not a view
    EXPECT_EQ(Dest[0], "a");

    Dest.AddStrings(Dest); // appending a list to itself doubles it
    EXPECT_EQ(Lines(Dest), (std::vector<std::string>{"a", "b", "a", "b"}));
    EXPECT_EQ(Dest.Objects(2), &A);

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
