#include "axgenetic/platform/component.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "axgenetic/platform/exceptions.hpp"

namespace ax {
namespace {

using Flag = TComponentStateFlag;

// Writes what it sees when it dies: its name, whether it knows it is being destroyed and
// whether its owner does.
class TWitness : public TComponent {
public:
    TWitness(TComponent* AOwner, std::vector<std::string>* Log) : TComponent(AOwner), FLog(Log) {}
    ~TWitness() override {
        FLog->push_back(
            Name() + (ComponentState().Contains(Flag::csDestroying) ? " self" : "") +
            (Owner() && Owner()->ComponentState().Contains(Flag::csDestroying) ? " owner" : ""));
    }

private:
    std::vector<std::string>* FLog;
};

// A derived component that marks itself before its own destructor does its work.
class TEarlyWitness : public TWitness {
public:
    using TWitness::TWitness;
    ~TEarlyWitness() override {
        Destroying();
        *Result = ComponentState().Contains(Flag::csDestroying) &&
                  Components(0)->ComponentState().Contains(Flag::csDestroying);
    }
    bool* Result = nullptr;
};

TEST(ComponentTest, OwnerDestroysOwnedLastFirst) {
    std::vector<std::string> Log;
    {
        auto Owner = std::make_unique<TWitness>(nullptr, &Log);
        Owner->SetName("owner");
        TWitness* A = CreateComponent<TWitness>(*Owner, &Log);
        A->SetName("a");
        CreateComponent<TWitness>(*A, &Log)->SetName("a.child");
        CreateComponent<TWitness>(*Owner, &Log)->SetName("b");
        EXPECT_TRUE(Owner->ComponentCount() == 2 && A->Owner() == Owner.get() && Log.empty());
    }
    // The owner's own destructor body runs first (unmarked: it does not call Destroying),
    // then the owned ones die, each seeing itself and its owner marked.
    EXPECT_EQ(Log, (std::vector<std::string>{"owner", "b self owner", "a self owner",
                                             "a.child self owner"}));
    bool Result = false;
    {
        TEarlyWitness Top(nullptr, &Log);
        Top.Result = &Result;
        CreateComponent<TWitness>(Top, &Log)->SetName("kid");
    }
    EXPECT_TRUE(Result);
}

TEST(ComponentTest, FindComponentIgnoresCase) {
    std::vector<std::string> Log;
    TComponent Owner;
    TWitness* A = CreateComponent<TWitness>(Owner, &Log);
    A->SetName("Alpha");
    TWitness* B = CreateComponent<TWitness>(Owner, &Log);
    B->SetName("beta");
    EXPECT_EQ(Owner.FindComponent("ALPHA"), A);
    EXPECT_EQ(Owner.FindComponent("Beta"), B);
    EXPECT_EQ(Owner.FindComponent(""), nullptr);
    try {
        Owner.Components(2);
        FAIL() << "no EListError";
    } catch (const EListError& E) {
        EXPECT_STREQ(E.what(), "List index out of bounds (2)");
    }
}

TEST(ComponentTest, RemoveComponentHandsOverOwnership) {
    std::vector<std::string> Log;
    TComponent Owner;
    TWitness* A = CreateComponent<TWitness>(Owner, &Log);
    A->SetName("Alpha");
    CreateComponent<TWitness>(Owner, &Log)->SetName("beta");
    std::unique_ptr<TComponent> Taken = Owner.RemoveComponent(A);
    EXPECT_TRUE(Taken.get() == A && A->Owner() == nullptr && Owner.ComponentCount() == 1);
    EXPECT_EQ(Owner.RemoveComponent(A), nullptr); // not owned any more
    EXPECT_EQ(Owner.InsertComponent(nullptr), nullptr);
    TComponent Second;
    Second.InsertComponent(std::move(Taken));
    EXPECT_EQ(A->Owner(), &Second);
    Owner.DestroyComponents();
    EXPECT_EQ(Log, std::vector<std::string>{"beta self"}); // owner itself lives on
    EXPECT_EQ(Owner.ComponentCount(), 0);
    EXPECT_TRUE(Owner.ComponentState().Empty());
}

// A component held by value only records the owner it was given.
TEST(ComponentTest, HeldComponentOnlyRecordsItsOwner) {
    TComponent Owner;
    TComponent Held(&Owner);
    EXPECT_TRUE(Held.Owner() == &Owner && Owner.ComponentCount() == 0);
}

TEST(ComponentTest, SetDesigningTogglesItsFlag) {
    TComponent Held;
    Held.SetDesigning(true);
    EXPECT_EQ(Held.ComponentState(), TComponentState{Flag::csDesigning});
    Held.SetDesigning(false);
    EXPECT_TRUE(Held.ComponentState().Empty());
}

} // namespace
} // namespace ax
