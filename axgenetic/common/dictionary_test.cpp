#include "axgenetic/common/dictionary.hpp"

#include <map>
#include <string>

#include <gtest/gtest.h>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/random.hpp"

using namespace ax;

namespace {
template <class F> std::string ListErrorText(F&& Call) {
    try {
        Call();
    } catch (const EListError& E) {
        return E.what();
    }
    return "no EListError";
}
} // namespace

TEST(Dictionary, KeysAreExactAndMissingOrDuplicateKeysRaise) {
    TAxDictionary<std::string, double> D;
    D.Add("x", 1.5);
    D.Add("X", 2.5);
    EXPECT_EQ(ListErrorText([&] { D.Add("x", 9); }), "Duplicates not allowed");
    EXPECT_EQ(D.Items("x") + D["X"], 4.0);
    D.SetItems("x", 3.0);
    D["X"] = 4.0;
    EXPECT_EQ(D.Items("x") * D.Items("X"), 12.0);
    EXPECT_EQ(ListErrorText([&] { D.Items("y"); }), "Item not found");
    EXPECT_EQ(ListErrorText([&] { D.SetItems("y", 1); }), "Item not found");
    EXPECT_EQ(ListErrorText([&] { D["y"] = 1; }), "Item not found");
    D.AddOrSetValue("x", 5.0);
    D.AddOrSetValue("y", 6.0);
    double V = 7;
    EXPECT_TRUE(D.TryGetValue("y", V) && V == 6.0 && D.Items("x") == 5.0 && D.Count() == 3);
    EXPECT_FALSE(D.TryGetValue("Y", V));
    EXPECT_EQ(V, 0.0);
    EXPECT_TRUE(D.Remove("x"));
    EXPECT_FALSE(D.Remove("x") || D.ContainsKey("x"));
    D.Clear();
    EXPECT_EQ(D.Count(), 0);
    EXPECT_EQ(D.begin(), D.end());
}

TEST(Dictionary, AssignReplacesEverythingAndStaysIndependent) {
    TAxDictionary<std::string, int> Source, Dest;
    for (const char* K : {"a", "b", "c"})
        Source.Add(K, K[0]);
    for (const char* K : {"c", "d", "e", "f", "g"})
        Dest.Add(K, -1);
    Dest.Assign(static_cast<const TPersistent&>(Source));
    Source.SetItems("a", 0);
    EXPECT_EQ(Dest.Count(), 3);
    EXPECT_EQ(Dest.Items("a") + Dest.Items("c"), 'a' + 'c');
    Dest.Assign(Dest);
    EXPECT_EQ(Dest.Count(), 3);
    TAxDictionary<std::string, double> Other;
    EXPECT_THROW(Dest.Assign(static_cast<const TPersistent&>(Other)), EConvertError);
}

TEST(Dictionary, BehavesLikeAMapUnderRandomOperations) {
    RandSeed(71);
    TAxDictionary<int, int> D;
    std::map<int, int> Model;
    for (int Step = 0; Step < 20000; ++Step) {
        const int Key = Random(300), Value = Random(1000), Op = Random(3);
        if (Op == 0 && Model.count(Key)) {
            EXPECT_THROW(D.Add(Key, Value), EListError);
        } else if (Op == 0) {
            D.Add(Key, Value);
            Model[Key] = Value;
        } else if (Op == 1) {
            ASSERT_EQ(D.Remove(Key), Model.erase(Key) == 1);
        } else {
            int Got = -1;
            ASSERT_EQ(D.TryGetValue(Key, Got), Model.count(Key) == 1);
            ASSERT_EQ(Got, Model.count(Key) ? Model[Key] : 0);
        }
        ASSERT_EQ(D.Count(), static_cast<int>(Model.size()));
    }
    EXPECT_EQ(decltype(Model)(D.begin(), D.end()), Model);
}
