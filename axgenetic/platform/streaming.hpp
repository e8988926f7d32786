// Property streaming: a component's published properties written to and read from a
// readable text, one property per line, much like a form file:
//
//   object GA1: TAxGeneticAlgorithm
//     CrossoverProbability = 0.5
//     Genes = <
//       item
//         Name = 'x'
//       end>
//     CrossoverProbability = 0.5
//   end
//
// A class lists what it publishes in GetPublishedProperties (its base's list first); a
// property is written when its stored-test holds (floats, which have no declared
// default, also only when not 0). DefineProperties adds properties of the class's own
// making, each with a reader, a writer and a has-data flag, written after the published
// ones. Reading looks a name up among the defined properties that have a reader first,
// then among the published ones. Collections stream their items' published properties;
// events are never streamed.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <charconv>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "axgenetic/platform/enum_names.hpp"
#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/platform/object.hpp"
#include "axgenetic/platform/set.hpp"

namespace ax {

class TCollection;
class TComponent;
class TReader;
class TWriter;

// A stream text that does not parse, or names a property the object does not have.
class AXGENETIC_API EReadError : public Exception {
public:
    using Exception::Exception;
};

inline constexpr std::string_view SUnknownProperty = "Property %s does not exist";
inline constexpr std::string_view SInvalidPropertyValue = "Invalid property value";
inline constexpr std::string_view SStreamSyntaxError = "Line %d: %s";
// A loaded value above the most a document may ask for of a setting.
inline constexpr std::string_view SAboveDocumentLimit = "%d exceeds the limit of %d";

// Text of a string value: quoted with ' (doubled inside), control characters as #n.
AXGENETIC_API std::string QuotedStreamString(std::string_view Value);
// The value of such a text; EReadError when it is none.
AXGENETIC_API std::string UnquotedStreamString(std::string_view Text);
// Shortest text that reads back to the same double, always with a '.'.
AXGENETIC_API std::string StreamFloatText(double Value);
AXGENETIC_API double StreamFloatValue(std::string_view Text);
AXGENETIC_API std::int64_t StreamIntegerValue(std::string_view Text);

// How a value type is written to and read from a stream.
template <class V, class = void> struct TStreamValue;

template <> struct AXGENETIC_API TStreamValue<bool> {
    static std::string Text(bool Value) { return Value ? "True" : "False"; }
    static bool Value(std::string_view Text);
};
template <class V>
struct TStreamValue<V, std::enable_if_t<std::is_integral_v<V> && !std::is_same_v<V, bool>>> {
    static std::string Text(V Value) { return std::to_string(Value); }
    static V Value(std::string_view Text) {
        const std::int64_t Read = StreamIntegerValue(Text);
        if (!std::in_range<V>(Read)) throw EReadError(std::string(SInvalidPropertyValue));
        return static_cast<V>(Read);
    }
};
template <class V> struct TStreamValue<V, std::enable_if_t<std::is_floating_point_v<V>>> {
    static std::string Text(V Value) { return StreamFloatText(Value); }
    static V Value(std::string_view Text) { return static_cast<V>(StreamFloatValue(Text)); }
};
template <> struct AXGENETIC_API TStreamValue<std::string> {
    static std::string Text(const std::string& Value) { return QuotedStreamString(Value); }
    static std::string Value(std::string_view Text) { return UnquotedStreamString(Text); }
};
template <class E> struct TStreamValue<E, std::enable_if_t<std::is_enum_v<E>>> {
    static std::string Text(E Value) { return std::string(GetEnumName(Value)); }
    static E Value(std::string_view Text) {
        if (const auto Found = GetEnumValue<E>(Text)) return *Found;
        throw EReadError(std::string(SInvalidPropertyValue));
    }
};
template <class E, class U> struct TStreamValue<TSet<E, U>> {
    static std::string Text(TSet<E, U> Value) {
        std::string Out = "[";
        for (std::size_t I = 0; I < EnumCount<E>(); ++I)
            if (Value.Contains(static_cast<E>(I))) {
                if (Out.size() > 1) Out += ", ";
                Out += GetEnumName(static_cast<E>(I));
            }
        return Out + "]";
    }
    static TSet<E, U> Value(std::string_view Text);
};

// One published property: its name, its value as stream text, its setter from text, and
// when it is written. A collection property has Collection set instead of the texts.
struct AXGENETIC_API TPublishedProperty {
    std::string Name;
    std::function<std::string(const TPersistent&)> GetText;
    std::function<void(TPersistent&, std::string_view)> SetText;
    std::function<bool(const TPersistent&)> IsStored;
    std::function<TCollection*(TPersistent&)> Collection;
};
using TPublishedProperties = std::vector<TPublishedProperty>;

// A property of getter/setter pair on class C, stored when Stored says so (always when
// empty). Floats are left out when 0, having no declared default.
template <class C, class R, class A>
TPublishedProperty PublishedStored(std::string Name, R (C::*Get)() const, void (C::*Set)(A),
                                   std::function<bool(const C&)> Stored) {
    using V = std::remove_cvref_t<R>;
    TPublishedProperty P;
    P.Name = std::move(Name);
    P.GetText = [Get](const TPersistent& O) {
        return TStreamValue<V>::Text((dynamic_cast<const C&>(O).*Get)());
    };
    P.SetText = [Set](TPersistent& O, std::string_view T) {
        (dynamic_cast<C&>(O).*Set)(TStreamValue<V>::Value(T));
    };
    P.IsStored = [Get, Stored = std::move(Stored)](const TPersistent& O) {
        const C& Object = dynamic_cast<const C&>(O);
        (void)Get; // read only for floats
        if constexpr (std::is_floating_point_v<V>)
            if ((Object.*Get)() == 0) return false;
        return !Stored || Stored(Object);
    };
    return P;
}
template <class C, class R, class A>
TPublishedProperty Published(std::string Name, R (C::*Get)() const, void (C::*Set)(A)) {
    return PublishedStored<C>(std::move(Name), Get, Set, {});
}
// Stored when the value differs from Default.
template <class C, class R, class A, class D>
TPublishedProperty PublishedDefault(std::string Name, R (C::*Get)() const, void (C::*Set)(A),
                                    D Default) {
    return PublishedStored<C>(std::move(Name), Get, Set,
                              [Get, Default](const C& O) { return !((O.*Get)() == Default); });
}
// Stored when the value differs from Default; a stream text above Limit raises EReadError
// (SAboveDocumentLimit) instead of reaching the setter, which a host may still give any
// value. For the integer settings that size a run's work or memory.
template <class C, class R, class A, class D>
TPublishedProperty PublishedBounded(std::string Name, R (C::*Get)() const, void (C::*Set)(A),
                                    D Default, R Limit) {
    static_assert(std::is_integral_v<R>);
    TPublishedProperty P = PublishedDefault<C>(std::move(Name), Get, Set, Default);
    P.SetText = [Set, Limit](TPersistent& O, std::string_view T) {
        const R Value = TStreamValue<R>::Value(T);
        if (Value > Limit) throw EReadError(Format(SAboveDocumentLimit, {Value, Limit}));
        (dynamic_cast<C&>(O).*Set)(Value);
    };
    return P;
}
// A collection; always stored, its items streamed with their published properties.
template <class C, class T>
TPublishedProperty PublishedCollection(std::string Name, T* (C::*Get)() const) {
    TPublishedProperty P;
    P.Name = std::move(Name);
    P.Collection = [Get](TPersistent& O) -> TCollection* { return (dynamic_cast<C&>(O).*Get)(); };
    return P;
}

// The properties an object lists and defines, gathered by the writer or the reader.
class AXGENETIC_API TFiler {
public:
    using TReaderProc = std::function<void(TReader&)>;
    using TWriterProc = std::function<void(TWriter&)>;
    virtual ~TFiler() = default;
    // A property of the object's own making: read by ReadData, written by WriteData when
    // HasData holds. Either procedure may be empty.
    virtual void DefineProperty(const std::string& Name, TReaderProc ReadData,
                                TWriterProc WriteData, bool HasData) = 0;
};

class AXGENETIC_API TWriter : public TFiler {
public:
    explicit TWriter(std::ostream& Stream) : FStream(Stream) {}
    void WriteComponent(TComponent& Component);
    // For defined properties' writers: the value of the property being written.
    void WriteFloat(double Value) { FValue += StreamFloatText(Value); }
    void WriteInteger(std::int64_t Value) { FValue += std::to_string(Value); }
    void WriteString(std::string_view Value) { FValue += QuotedStreamString(Value); }
    void WriteBoolean(bool Value) { FValue += TStreamValue<bool>::Text(Value); }
    void DefineProperty(const std::string& Name, TReaderProc ReadData, TWriterProc WriteData,
                        bool HasData) override;

private:
    void WriteProperties(TPersistent& Instance);
    void Line(const std::string& Text);
    std::ostream& FStream;
    int FIndent = 0;
    std::string FValue;
};

class AXGENETIC_API TReader : public TFiler {
public:
    // The whole text is parsed before anything of the component changes.
    explicit TReader(std::istream& Stream);
    ~TReader() override;
    void ReadComponent(TComponent& Component);
    // For defined properties' readers: the value of the property being read.
    double ReadFloat() const { return StreamFloatValue(FValue); }
    std::int64_t ReadInteger() const { return StreamIntegerValue(FValue); }
    std::string ReadString() const { return UnquotedStreamString(FValue); }
    bool ReadBoolean() const { return TStreamValue<bool>::Value(FValue); }
    void DefineProperty(const std::string& Name, TReaderProc ReadData, TWriterProc WriteData,
                        bool HasData) override;

    struct TEntry;

private:
    void ReadProperties(TPersistent& Instance, const std::vector<TEntry>& Entries);
    struct TParsed;
    std::unique_ptr<TParsed> FParsed;
    std::vector<std::pair<std::string, TReaderProc>> FDefined;
    std::string FValue;
};

// Convenience: a component as stream text and back.
AXGENETIC_API void WriteComponentText(std::ostream& Stream, TComponent& Component);
AXGENETIC_API void ReadComponentText(std::istream& Stream, TComponent& Component);

template <class E, class U> TSet<E, U> TStreamValue<TSet<E, U>>::Value(std::string_view Text) {
    auto Trim = [](std::string_view S) {
        while (!S.empty() && S.front() == ' ')
            S.remove_prefix(1);
        while (!S.empty() && S.back() == ' ')
            S.remove_suffix(1);
        return S;
    };
    Text = Trim(Text);
    if (Text.size() < 2 || Text.front() != '[' || Text.back() != ']')
        throw EReadError(std::string(SInvalidPropertyValue));
    Text = Trim(Text.substr(1, Text.size() - 2));
    TSet<E, U> Result;
    while (!Text.empty()) {
        const auto Comma = Text.find(',');
        Result.Include(TStreamValue<E>::Value(Trim(Text.substr(0, Comma))));
        Text = Comma == std::string_view::npos ? std::string_view{} : Text.substr(Comma + 1);
    }
    return Result;
}

} // namespace ax
