// Variable values of a program and the execution context that carries them.
//
// Keys are variable names compared exactly (letter case counts), unlike instruction names,
// which a set compares ignoring case: a host stores each value under exactly the characters
// of its variable instruction's Name.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "axgenetic/common/dictionary.hpp"
#include "axgenetic/core/types.hpp"
#include "axgenetic/platform/object.hpp"
#include "axgenetic/platform/variant.hpp"

namespace ax {

// A variable name with its hash computed once, so that a variable instruction looks its
// value up without hashing the name again at every execution. Compares exactly like the
// name itself.
struct AXGENETIC_API TAxGPHashedName {
    std::string_view Name;
    std::size_t Hash = 0;
};

// Exact, case-sensitive name hashing that also accepts string views and hashed names.
struct AXGENETIC_API TAxGPNameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view Name) const {
        return std::hash<std::string_view>{}(Name);
    }
    std::size_t operator()(const std::string& Name) const {
        return (*this)(std::string_view(Name));
    }
    std::size_t operator()(const TAxGPHashedName& Name) const { return Name.Hash; }
};

// Exact, case-sensitive name equality over the same key forms.
struct AXGENETIC_API TAxGPNameEqual {
    using is_transparent = void;
    static std::string_view View(std::string_view Name) { return Name; }
    static std::string_view View(const std::string& Name) { return Name; }
    static std::string_view View(const TAxGPHashedName& Name) { return Name.Name; }
    template <class A, class B> bool operator()(const A& X, const B& Y) const {
        return View(X) == View(Y);
    }
};

inline TAxGPHashedName HashedName(std::string_view Name) {
    return {Name, TAxGPNameHash{}(Name)};
}

// The table of variable values: a dictionary from exact names to values, with the
// dictionary's operations (Add raises on a duplicate, Items on a missing name,
// TryGetValue never raises). Unlike the plain dictionary, writing through [] inserts a
// missing name, as a map does, so `Context.Values()["x"] = 1` works on a fresh context;
// reading a missing name through a const table still raises.
template <class T>
class AXGENETIC_API TAxGPValues : public TAxDictionary<std::string, T, TAxGPNameHash, TAxGPNameEqual> {
    using TBase = TAxDictionary<std::string, T, TAxGPNameHash, TAxGPNameEqual>;

public:
    using TBase::TBase;
    using TBase::operator[];
    std::string ClassName() const override { return "TAxGPValues"; }

    // The value of Name, inserted as zero (empty for Variant) when missing.
    T& operator[](const std::string& Name) { return this->FindOrAdd(Name); }
};

// What a program runs against: its variable values. The same context may serve many
// programs and evaluations; evaluation itself changes nothing in it (handlers may).
template <class T> class AXGENETIC_API TAxGPContext : public TPersistent {
public:
    TAxGPContext() = default;
    virtual ~TAxGPContext() = default;
    TAxGPContext(const TAxGPContext&) = delete;
    TAxGPContext& operator=(const TAxGPContext&) = delete;

    std::string ClassName() const override { return "TAxGPContext"; }

    TAxGPValues<T>& Values() { return FValues; }
    const TAxGPValues<T>& Values() const { return FValues; }
    // Copies Value's pairs into the owned table; Value stays the caller's.
    void SetValues(const TAxGPValues<T>& Value) { FValues.Assign(Value); }

    // From another context of the same value type: a copy of its values.
    void Assign(const TPersistent& Source) override {
        if (const auto* From = dynamic_cast<const TAxGPContext*>(&Source))
            FValues.Assign(From->FValues);
        else
            TPersistent::Assign(Source);
    }

private:
    TAxGPValues<T> FValues;
};

using TAxGPFloatValues = TAxGPValues<TGAFloat>;
using TAxGPVariantValues = TAxGPValues<Variant>;
using TAxGPFloatContext = TAxGPContext<TGAFloat>;
using TAxGPVariantContext = TAxGPContext<Variant>;

} // namespace ax
