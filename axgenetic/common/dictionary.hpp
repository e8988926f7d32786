// A generic hash dictionary with list-error semantics: adding a key twice and reading or
// writing a missing key raise EListError, TryGetValue never raises. Keys are compared
// with KeyEqual (exact, case-sensitive equality for strings by default). The order of
// enumeration is unspecified.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/object.hpp"

namespace ax {

inline constexpr std::string_view SGenericDuplicateItem = "Duplicates not allowed";
inline constexpr std::string_view SGenericItemNotFound = "Item not found";

template <class K, class V, class Hash = std::hash<K>, class KeyEqual = std::equal_to<K>>
class AXGENETIC_API TAxDictionary : public TPersistent {
    using TMap = std::unordered_map<K, V, Hash, KeyEqual>;

public:
    using key_type = K;
    using mapped_type = V;
    using const_iterator = typename TMap::const_iterator;

    // Capacity reserves room for that many pairs, so filling up to it does not rehash.
    explicit TAxDictionary(std::size_t Capacity = 0) {
        if (Capacity > 0) FMap.reserve(Capacity);
    }
    TAxDictionary(const TAxDictionary&) = default;
    TAxDictionary(TAxDictionary&&) = default;
    TAxDictionary& operator=(const TAxDictionary&) = default;
    TAxDictionary& operator=(TAxDictionary&&) = default;

    std::string ClassName() const override { return "TAxDictionary"; }

    int Count() const { return static_cast<int>(FMap.size()); }

    // Inserts a new pair; an existing key raises EListError and changes nothing.
    void Add(K Key, V Value) {
        if (!FMap.try_emplace(std::move(Key), std::move(Value)).second) DuplicateError();
    }
    // Inserts the pair or overwrites the value of an existing key.
    void AddOrSetValue(K Key, V Value) { FMap.insert_or_assign(std::move(Key), std::move(Value)); }

    // The value of an existing key; a missing key raises EListError.
    const V& Items(const K& Key) const { return Find(Key); }
    // Overwrites the value of an existing key; a missing key raises EListError.
    void SetItems(const K& Key, V Value) { Find(Key) = std::move(Value); }
    // Like Items, but writable; it never inserts.
    const V& operator[](const K& Key) const { return Find(Key); }
    V& operator[](const K& Key) { return Find(Key); }

    // False and a default value (0, empty) when the key is missing.
    bool TryGetValue(const K& Key, V& Value) const {
        const auto It = FMap.find(Key);
        if (It == FMap.end()) {
            Value = V{};
            return false;
        }
        Value = It->second;
        return true;
    }
    bool ContainsKey(const K& Key) const { return FMap.find(Key) != FMap.end(); }
    // The value stored under any key form that Hash and KeyEqual accept (both must be
    // transparent for other forms than K), or nullptr; lets hot paths look up without
    // building a K.
    template <class KeyLike> const V* FindValue(const KeyLike& Key) const {
        const auto It = FMap.find(Key);
        return It == FMap.end() ? nullptr : &It->second;
    }
    template <class KeyLike> V* FindValue(const KeyLike& Key) {
        const auto It = FMap.find(Key);
        return It == FMap.end() ? nullptr : &It->second;
    }
    // Removes the key's pair; a missing key is no error. True when a pair was removed.
    bool Remove(const K& Key) { return FMap.erase(Key) != 0; }
    void Clear() { FMap.clear(); }

    const_iterator begin() const { return FMap.begin(); }
    const_iterator end() const { return FMap.end(); }

    // Clear, then Add of every pair of Source.
    void Assign(const TAxDictionary& Source) {
        if (&Source == this) return;
        Clear();
        FMap.reserve(Source.FMap.size());
        for (const auto& [Key, Value] : Source.FMap)
            Add(Key, Value);
    }
    // From a dictionary of the same type as above; anything else is the platform's
    // assignment (EConvertError unless the source knows how to assign itself here).
    void Assign(const TPersistent& Source) override {
        if (const auto* Dict = dynamic_cast<const TAxDictionary*>(&Source))
            Assign(*Dict);
        else
            TPersistent::Assign(Source);
    }

protected:
    // The value of Key, inserted as V{} when missing.
    V& FindOrAdd(const K& Key) { return FMap[Key]; }

private:
    V& Find(const K& Key) {
        const auto It = FMap.find(Key);
        if (It == FMap.end()) NotFoundError();
        return It->second;
    }
    const V& Find(const K& Key) const {
        const auto It = FMap.find(Key);
        if (It == FMap.end()) NotFoundError();
        return It->second;
    }
    [[noreturn]] static void DuplicateError() {
        throw EListError(std::string(SGenericDuplicateItem));
    }
    [[noreturn]] static void NotFoundError() {
        throw EListError(std::string(SGenericItemNotFound));
    }

    TMap FMap;
};

} // namespace ax
