// Non-visual components with a name, a tag, an owner and a lifetime state.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "axgenetic/platform/object.hpp"
#include "axgenetic/platform/set.hpp"

namespace ax {

enum class TComponentStateFlag { csLoading, csReading, csWriting, csDestroying, csDesigning };
using TComponentState = TSet<TComponentStateFlag, std::uint16_t>;

// A component may own other components: an owner destroys what it owns, last inserted
// first. A host may equally hold a component by value or in its own unique_ptr; the
// owner passed to the constructor is then only recorded as Owner().
class AXGENETIC_API TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* AOwner = nullptr);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    std::string ClassName() const override { return "TComponent"; }

    const std::string& Name() const { return FName; }
    void SetName(const std::string& Value) { FName = Value; }
    std::intptr_t Tag() const { return FTag; }
    void SetTag(std::intptr_t Value) { FTag = Value; }
    TComponent* Owner() const { return FOwner; }
    TComponentState ComponentState() const { return FComponentState; }
    // Tag, stored when not 0; the name is streamed as the object's own name.
    void GetPublishedProperties(std::vector<TPublishedProperty>& List) const override;

    // Marks the component as being edited in a designer (or not).
    void SetDesigning(bool Value);

    // Takes ownership of AComponent; it is destroyed with this component.
    TComponent* InsertComponent(std::unique_ptr<TComponent> AComponent);
    // Hands an owned component back to the caller; nullptr when it is not owned here.
    std::unique_ptr<TComponent> RemoveComponent(TComponent* AComponent);
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int Index) const;
    // The owned component named Name (letter case ignored), or nullptr.
    TComponent* FindComponent(const std::string& Name) const;
    // Destroys every owned component.
    void DestroyComponents();

protected:
    void SetComponentState(TComponentState Value) { FComponentState = Value; }
    // Marks this component and everything it owns as being destroyed. A derived class
    // whose destructor does work that should know about it calls this first; the base
    // destructor calls it in any case, and an owner calls it on what it owns before
    // destroying it.
    void Destroying();

private:
    std::string FName;
    std::intptr_t FTag = 0;
    TComponent* FOwner;
    TComponentState FComponentState;
    std::vector<std::unique_ptr<TComponent>> FComponents;
};

// Creates a T owned by AOwner (AOwner is passed to T's constructor first) and returns a
// non-owning pointer to it.
template <class T, class... Args>
T* CreateComponent(TComponent& AOwner, Args&&... A) {
    auto Made = std::make_unique<T>(&AOwner, std::forward<Args>(A)...);
    T* Raw = Made.get();
    AOwner.InsertComponent(std::move(Made));
    return Raw;
}

} // namespace ax
