#include "axgenetic/platform/streaming.hpp"

#include <cmath>
#include <istream>
#include <memory>
#include <ostream>
#include <sstream>

#include "axgenetic/platform/collection.hpp"
#include "axgenetic/platform/component.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/platform/update_guard.hpp"

namespace ax {

// ---- value texts ------------------------------------------------------------------------

std::string QuotedStreamString(std::string_view Value) {
    std::string Out;
    bool InQuotes = false;
    for (char C : Value) {
        const auto U = static_cast<unsigned char>(C);
        if (U < 0x20) {
            if (InQuotes) Out += '\'';
            InQuotes = false;
            Out += '#' + std::to_string(U);
            continue;
        }
        if (!InQuotes) Out += '\'';
        InQuotes = true;
        Out += C;
        if (C == '\'') Out += '\'';
    }
    if (InQuotes) Out += '\'';
    return Out.empty() ? "''" : Out;
}

std::string UnquotedStreamString(std::string_view Text) {
    std::string Out;
    std::size_t I = 0;
    bool Any = false;
    while (I < Text.size()) {
        if (Text[I] == '\'') {
            ++I;
            for (;;) {
                if (I >= Text.size()) throw EReadError(std::string(SInvalidPropertyValue));
                if (Text[I] == '\'') {
                    if (I + 1 < Text.size() && Text[I + 1] == '\'') {
                        Out += '\'';
                        I += 2;
                        continue;
                    }
                    ++I;
                    break;
                }
                Out += Text[I++];
            }
        } else if (Text[I] == '#') {
            std::size_t J = ++I;
            while (J < Text.size() && Text[J] >= '0' && Text[J] <= '9' && J - I < 3)
                ++J;
            int Code = 0;
            if (J == I ||
                std::from_chars(Text.data() + I, Text.data() + J, Code).ec != std::errc() ||
                Code > 255)
                throw EReadError(std::string(SInvalidPropertyValue));
            Out += static_cast<char>(Code);
            I = J;
        } else {
            throw EReadError(std::string(SInvalidPropertyValue));
        }
        Any = true;
    }
    if (!Any) throw EReadError(std::string(SInvalidPropertyValue));
    return Out;
}

std::string StreamFloatText(double Value) {
    if (std::isnan(Value)) return "NAN";
    if (std::isinf(Value)) return Value > 0 ? "INF" : "-INF";
    char Buffer[32];
    const auto Result = std::to_chars(Buffer, Buffer + sizeof Buffer, Value);
    return std::string(Buffer, Result.ptr);
}

double StreamFloatValue(std::string_view Text) {
    if (Text == "NAN") return std::nan("");
    if (Text == "INF") return HUGE_VAL;
    if (Text == "-INF") return -HUGE_VAL;
    double Value = 0;
    const auto Result = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    if (Text.empty() || Result.ec != std::errc() || Result.ptr != Text.data() + Text.size())
        throw EReadError(std::string(SInvalidPropertyValue));
    return Value;
}

std::int64_t StreamIntegerValue(std::string_view Text) {
    std::int64_t Value = 0;
    const auto Result = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    if (Text.empty() || Result.ec != std::errc() || Result.ptr != Text.data() + Text.size())
        throw EReadError(std::string(SInvalidPropertyValue));
    return Value;
}

bool TStreamValue<bool>::Value(std::string_view Text) {
    if (Text == "True") return true;
    if (Text == "False") return false;
    throw EReadError(std::string(SInvalidPropertyValue));
}

// ---- the framework's own properties -----------------------------------------------------

void TComponent::GetPublishedProperties(TPublishedProperties& List) const {
    TPersistent::GetPublishedProperties(List);
    List.push_back(
        PublishedDefault("Tag", &TComponent::Tag, &TComponent::SetTag, std::intptr_t{0}));
}

// ---- writer -----------------------------------------------------------------------------

void TWriter::Line(const std::string& Text) {
    FStream << std::string(static_cast<std::size_t>(FIndent) * 2, ' ') << Text << '\n';
}

void TWriter::WriteComponent(TComponent& Component) {
    Line(Component.Name().empty() ? "object " + Component.ClassName()
                                  : "object " + Component.Name() + ": " + Component.ClassName());
    ++FIndent;
    WriteProperties(Component);
    --FIndent;
    Line("end");
}

void TWriter::WriteProperties(TPersistent& Instance) {
    TPublishedProperties Properties;
    Instance.GetPublishedProperties(Properties);
    for (const TPublishedProperty& P : Properties) {
        if (P.Collection) {
            TCollection* Items = P.Collection(Instance);
            if (!Items) continue;
            if (Items->Count() == 0) {
                Line(P.Name + " = <>");
                continue;
            }
            Line(P.Name + " = <");
            ++FIndent;
            for (int I = 0; I < Items->Count(); ++I) {
                Line("item");
                ++FIndent;
                WriteProperties(*Items->Items(I));
                --FIndent;
                Line(I + 1 < Items->Count() ? "end" : "end>");
            }
            --FIndent;
        } else if (!P.IsStored || P.IsStored(Instance)) {
            Line(P.Name + " = " + P.GetText(Instance));
        }
    }
    Instance.DefineProperties(*this);
}

void TWriter::DefineProperty(const std::string& Name, TReaderProc, TWriterProc WriteData,
                             bool HasData) {
    if (!HasData || !WriteData) return;
    FValue.clear();
    WriteData(*this);
    Line(Name + " = " + FValue);
}

void WriteComponentText(std::ostream& Stream, TComponent& Component) {
    TWriter Writer(Stream);
    Writer.WriteComponent(Component);
}

// ---- reader -----------------------------------------------------------------------------

struct TReader::TEntry {
    std::string Name;
    std::string Value;
    int Line = 0;
    bool IsCollection = false;
    std::vector<std::vector<TEntry>> Items;
};

struct TReader::TParsed {
    std::string ComponentName;
    std::vector<TEntry> Entries;
};

namespace {

std::string_view Trimmed(std::string_view S) {
    while (!S.empty() && (S.front() == ' ' || S.front() == '\t'))
        S.remove_prefix(1);
    while (!S.empty() && (S.back() == ' ' || S.back() == '\t' || S.back() == '\r'))
        S.remove_suffix(1);
    return S;
}

// Splits the text into trimmed, non-empty lines and parses them into entries.
class TParser {
public:
    explicit TParser(std::istream& Stream) {
        std::string Text;
        int Number = 0;
        while (std::getline(Stream, Text)) {
            ++Number;
            const std::string_view T = Trimmed(Text);
            if (!T.empty()) FLines.emplace_back(Number, std::string(T));
        }
    }

    void Parse(std::string& ComponentName, std::vector<TReader::TEntry>& Entries) {
        const std::string& Header = Next("object");
        if (Header.rfind("object", 0) != 0) Fail("object expected");
        const std::string_view Rest = Trimmed(std::string_view(Header).substr(6));
        if (const auto Colon = Rest.find(':'); Colon != std::string_view::npos)
            ComponentName = std::string(Trimmed(Rest.substr(0, Colon)));
        ParseProperties(Entries, false);
        if (FAt != FLines.size()) {
            ++FAt;
            Fail("end of text expected");
        }
    }

private:
    const std::string& Next(const char* Expected) {
        if (FAt >= FLines.size())
            throw EReadError(
                Format(SStreamSyntaxError, {FLines.empty() ? 1 : FLines.back().first + 1,
                                            std::string(Expected) + " expected"}));
        return FLines[FAt++].second;
    }
    [[noreturn]] void Fail(const std::string& What) const {
        const int Line = FAt == 0 ? 1 : FLines[FAt - 1].first;
        throw EReadError(Format(SStreamSyntaxError, {Line, What}));
    }

    // Entries up to "end" (or, in a collection item, "end" or "end>"); returns whether
    // the closing line also closed the collection.
    bool ParseProperties(std::vector<TReader::TEntry>& Entries, bool InItem) {
        for (;;) {
            const std::string& L = Next("end");
            if (L == "end") return false;
            if (InItem && L == "end>") return true;
            const auto Equals = L.find('=');
            if (Equals == std::string::npos) Fail("property expected");
            TReader::TEntry Entry;
            Entry.Line = FLines[FAt - 1].first;
            Entry.Name = std::string(Trimmed(std::string_view(L).substr(0, Equals)));
            Entry.Value = std::string(Trimmed(std::string_view(L).substr(Equals + 1)));
            if (Entry.Name.empty()) Fail("property name expected");
            if (Entry.Value == "<>") {
                Entry.IsCollection = true;
            } else if (Entry.Value == "<") {
                Entry.IsCollection = true;
                bool Closed = false;
                while (!Closed) {
                    if (Next("item") != "item") Fail("item expected");
                    Closed = ParseProperties(Entry.Items.emplace_back(), true);
                }
            }
            Entries.push_back(std::move(Entry));
        }
    }

    std::vector<std::pair<int, std::string>> FLines;
    std::size_t FAt = 0;
};

} // namespace

TReader::TReader(std::istream& Stream) : FParsed(std::make_unique<TParsed>()) {
    TParser(Stream).Parse(FParsed->ComponentName, FParsed->Entries);
}

TReader::~TReader() = default;

void TReader::ReadComponent(TComponent& Component) {
    if (!FParsed->ComponentName.empty()) Component.SetName(FParsed->ComponentName);
    ReadProperties(Component, FParsed->Entries);
}

void TReader::DefineProperty(const std::string& Name, TReaderProc ReadData, TWriterProc, bool) {
    if (ReadData) FDefined.emplace_back(Name, std::move(ReadData));
}

void TReader::ReadProperties(TPersistent& Instance, const std::vector<TEntry>& Entries) {
    TPublishedProperties Properties;
    Instance.GetPublishedProperties(Properties);
    FDefined.clear();
    Instance.DefineProperties(*this);
    const auto Defined = std::move(FDefined);
    FDefined.clear();

    for (const TEntry& Entry : Entries) {
        auto Fail = [&](const std::string& What) -> void {
            throw EReadError(Format(SStreamSyntaxError, {Entry.Line, What}));
        };
        bool Done = false;
        for (const auto& [Name, Read] : Defined)
            if (Name == Entry.Name && !Entry.IsCollection) {
                FValue = Entry.Value;
                Read(*this);
                Done = true;
                break;
            }
        if (Done) continue;
        const TPublishedProperty* Found = nullptr;
        for (const TPublishedProperty& P : Properties)
            if (P.Name == Entry.Name) Found = &P;
        if (!Found) Fail(Format(SUnknownProperty, {Entry.Name}));
        if (Found->Collection) {
            if (!Entry.IsCollection) Fail(std::string(SInvalidPropertyValue));
            TCollection* Items = Found->Collection(Instance);
            {
                const TUpdateGuard Batch(*Items);
                Items->Clear();
                for (const auto& Item : Entry.Items)
                    ReadProperties(*Items->Add(), Item);
            }
        } else {
            if (Entry.IsCollection) Fail(std::string(SInvalidPropertyValue));
            try {
                Found->SetText(Instance, Entry.Value);
            } catch (const EReadError& E) {
                Fail(Entry.Name + ": " + E.what());
            }
        }
    }
}

void ReadComponentText(std::istream& Stream, TComponent& Component) {
    TReader Reader(Stream);
    Reader.ReadComponent(Component);
}

} // namespace ax
