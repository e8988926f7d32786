#include "axgenetic/common/dictionary.hpp"

#include <map>
#include <string>

#include <gtest/gtest.h>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/expect_error_test_support.hpp"
#include "axgenetic/platform/random.hpp"

using namespace ax;

namespace {

// Two keys that differ only in case.
TAxDictionary<std::string, double> TwoKeys() {
    TAxDictionary<std::string, double> D;
    D.Add("x", 1.5);
    D.Add("X", 2.5);
    return D;
}

} // namespace

TEST(Dictionary, MissingOrDuplicateKeysRaise) {
    auto D = TwoKeys();
    ExpectError<EListError>([&] { D.Add("x", 9); }, "Duplicates not allowed");
    ExpectError<EListError>([&] { D.Items("y"); }, "Item not found");
    ExpectError<EListError>([&] { D.SetItems("y", 1); }, "Item not found");
    ExpectError<EListError>([&] { D["y"] = 1; }, "Item not found");
}

TEST(Dictionary, KeysAreExact) {
    auto D = TwoKeys();
    D.SetItems("x", 3.0);
    D["X"] = 4.0;
    EXPECT_EQ(D.Items("x") * D["X"], 12.0);
    D.AddOrSetValue("x", 5.0);
    D.AddOrSetValue("y", 6.0);
    double V = 7;
    EXPECT_TRUE(D.TryGetValue("y", V) && V == 6.0 && D.Items("x") == 5.0 && D.Count() == 3);
    EXPECT_FALSE(D.TryGetValue("Y", V) || V != 0.0);
}

TEST(Dictionary, AssignCopiesAnIndependentDictionaryOfTheSameType) {
    auto D = TwoKeys();
    D.AddOrSetValue("x", 5.0);
    D.AddOrSetValue("y", 6.0);
    TAxDictionary<std::string, double> Copy;
    Copy.Add("z", 1);
    Copy.Assign(static_cast<const TPersistent&>(D));
    Copy.Assign(Copy);
    D.SetItems("x", 0);
    EXPECT_TRUE(Copy.Count() == 3 && Copy.Items("x") == 5.0 && !Copy.ContainsKey("z"));
    TAxDictionary<std::string, int> Other;
    EXPECT_THROW(Copy.Assign(static_cast<const TPersistent&>(Other)), EConvertError);
    Copy.Clear();
    EXPECT_TRUE(Copy.Count() == 0 && Copy.begin() == Copy.end());
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
