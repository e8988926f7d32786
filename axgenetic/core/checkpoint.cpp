#include "axgenetic/core/checkpoint.hpp"

#include <atomic>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <optional>
#include <sstream>
#include <system_error>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "axgenetic/core/genetic_component.hpp"
#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/files.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/platform/random.hpp"
#include "axgenetic/platform/streaming.hpp"

namespace ax {

namespace {

constexpr std::string_view Magic = "axgenetic-checkpoint 1 ";

[[noreturn]] void Invalid(std::string_view Reason) {
    throw EReadError(Format(SInvalidCheckpoint, {Reason}));
}

std::uint64_t Fnv1a(std::string_view Text) {
    std::uint64_t Hash = 0xcbf29ce484222325ull;
    for (const char C : Text) {
        Hash ^= static_cast<unsigned char>(C);
        Hash *= 0x100000001b3ull;
    }
    return Hash;
}

std::string Hex(std::uint64_t Value) {
    char Buffer[17];
    const auto End = std::to_chars(Buffer, Buffer + sizeof Buffer, Value, 16).ptr;
    return std::string(Buffer, End);
}

std::uint64_t ParseNumber(std::string_view Text, int Base) {
    std::uint64_t Value = 0;
    const auto Result = std::from_chars(Text.data(), Text.data() + Text.size(), Value, Base);
    if (Text.empty() || Result.ec != std::errc() || Result.ptr != Text.data() + Text.size())
        Invalid("bad number \"" + std::string(Text.substr(0, 32)) + "\"");
    return Value;
}

// The next line of Text (without its line break), advancing Text past it.
std::string_view NextLine(std::string_view& Text) {
    const std::size_t End = Text.find('\n');
    if (End == std::string_view::npos) Invalid("unexpected end");
    const std::string_view Line = Text.substr(0, End);
    Text.remove_prefix(End + 1);
    return Line;
}

// Text split at blanks.
std::vector<std::string_view> SplitAtBlanks(std::string_view Line) {
    std::vector<std::string_view> Result;
    while (!Line.empty()) {
        const std::size_t End = std::min(Line.find(' '), Line.size());
        if (End > 0) Result.push_back(Line.substr(0, End));
        Line.remove_prefix(std::min(End + 1, Line.size()));
    }
    return Result;
}

// The settings a class defines itself and reads back (a GP component's
// TarpeianProbability is no published property): those with a reader and a writer.
class TDefinedSettings : public TFiler {
public:
    std::vector<std::pair<std::string, TWriterProc>> Items;
    void DefineProperty(const std::string& Name, TReaderProc ReadData, TWriterProc WriteData,
                        bool) override {
        if (ReadData && WriteData) Items.emplace_back(Name, std::move(WriteData));
    }
};

// A defined setting as a published one: its text is what its writer writes (the writer
// holds the value it had when the settings were gathered), and a text is read back through
// the reader, as property streaming reads it.
TPublishedProperty DefinedSetting(const std::string& Name, TFiler::TWriterProc Write) {
    TPublishedProperty Property;
    Property.Name = Name;
    Property.GetText = [Name, Write](const TPersistent&) {
        std::ostringstream Line;
        TWriter(Line).DefineProperty(Name, nullptr, Write, true);
        std::string Text = std::move(Line).str();
        Text.erase(0, Name.size() + 3); // "<Name> = "
        if (!Text.empty()) Text.pop_back();
        return Text;
    };
    Property.SetText = [Name](TPersistent& Instance, std::string_view Value) {
        std::istringstream Text("object " + Instance.ClassName() + "\n" + Name + " = " +
                                std::string(Value) + "\nend\n");
        TReader(Text).ReadComponent(dynamic_cast<TComponent&>(Instance));
    };
    return Property;
}

// The component's settings: its published properties, less the collections (the
// document holds those) and the framework's own name and tag, then the settings it
// defines itself and reads back. Gathered anew for every save and load.
TPublishedProperties Settings(TAxCustomGeneticComponent& Component) {
    TPublishedProperties All, Framework, Result;
    Component.GetPublishedProperties(All);
    Component.TComponent::GetPublishedProperties(Framework);
    for (TPublishedProperty& Property : All) {
        bool Own = !Property.Collection && Property.GetText && Property.SetText;
        for (const TPublishedProperty& Other : Framework)
            Own = Own && Other.Name != Property.Name;
        if (Own) Result.push_back(std::move(Property));
    }
    TDefinedSettings Defined;
    Component.DefineProperties(Defined);
    for (auto& [Name, Write] : Defined.Items)
        Result.push_back(DefinedSetting(Name, std::move(Write)));
    return Result;
}

// The raw fitness of each individual, in population order; nullopt where it was stale.
using TFitnessRecord = std::vector<std::optional<TGAFitness>>;

struct TParsedCheckpoint {
    TRandomGeneratorState Random;
    std::vector<std::pair<const TPublishedProperty*, std::string>> Settings;
    std::optional<TFitnessRecord> Fitness;
    std::string_view Document;
};

// "fitness" then, per individual, the bits of its raw fitness in hexadecimal (exact for
// every double, NaN included) or "-" when it was stale.
std::string FitnessLine(TAxCustomGeneticComponent& Component) {
    std::string Line = "fitness";
    TAxPopulation& Population = *Component.Population();
    for (int I = 0; I < Population.Count(); ++I) {
        TAxIndividual& Item = *Population.Items(I);
        Line += ' ';
        Line += Item.NeedFitness() ? "-" : Hex(std::bit_cast<std::uint64_t>(Item.Fitness()));
    }
    return Line + "\n";
}

TFitnessRecord ParseFitness(std::string_view Line) {
    TFitnessRecord Record;
    for (const std::string_view Item : SplitAtBlanks(Line)) {
        if (Item == "-")
            Record.emplace_back();
        else
            Record.emplace_back(std::bit_cast<TGAFitness>(ParseNumber(Item, 16)));
    }
    return Record;
}

TParsedCheckpoint Parse(std::string_view Text, const TPublishedProperties& Known) {
    TParsedCheckpoint Result;
    const std::string_view Header = NextLine(Text);
    if (!Header.starts_with(Magic)) Invalid("not a checkpoint of this version");
    if (ParseNumber(Header.substr(Magic.size()), 16) != Fnv1a(Text))
        Invalid("the checksum does not match; the file is damaged");

    const auto Random = SplitAtBlanks(NextLine(Text));
    if (Random.size() != 6 || Random[0] != "random") Invalid("no generator state");
    Result.Random.Seed = ParseNumber(Random[1], 16);
    for (std::size_t I = 0; I < 4; ++I)
        Result.Random.Words[I] = ParseNumber(Random[I + 2], 16);
    if (Result.Random.Words == std::array<std::uint64_t, 4>{}) Invalid("all-zero generator state");

    for (;;) {
        const std::string_view Line = NextLine(Text);
        if (Line.starts_with("document ")) {
            if (ParseNumber(Line.substr(9), 10) != Text.size()) Invalid("truncated document");
            Result.Document = Text;
            return Result;
        }
        if (Line.starts_with("fitness")) {
            Result.Fitness = ParseFitness(Line.substr(7));
            continue;
        }
        constexpr std::string_view Prefix = "setting ";
        const std::size_t Equals = Line.find(" = ");
        if (!Line.starts_with(Prefix) || Equals == std::string_view::npos)
            Invalid("unexpected line \"" + std::string(Line.substr(0, 64)) + "\"");
        const std::string_view Name = Line.substr(Prefix.size(), Equals - Prefix.size());
        const TPublishedProperty* Property = nullptr;
        for (const TPublishedProperty& Candidate : Known)
            if (Candidate.Name == Name) Property = &Candidate;
        if (!Property) Invalid("the component has no setting \"" + std::string(Name) + "\"");
        Result.Settings.emplace_back(Property, std::string(Line.substr(Equals + 3)));
    }
}

[[noreturn]] void RaiseCreateError(const std::string& FileName, int Error) {
    throw EFCreateError("Cannot create file \"" + FileName + "\". " +
                        std::system_category().message(Error));
}

} // namespace

void WriteFileAtomically(const std::string& FileName, std::string_view Data) {
    namespace fs = std::filesystem;
    const fs::path Target(FileName);
    static std::atomic<unsigned> Counter{0};
    fs::path Temporary = Target;
    Temporary += ".~" + std::to_string(::getpid()) + "-" + std::to_string(Counter++) + ".tmp";
    const int File = ::open(Temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (File < 0) RaiseCreateError(FileName, errno);
    int Error = 0;
    for (std::size_t Done = 0; Done < Data.size() && Error == 0;) {
        const ::ssize_t Written = ::write(File, Data.data() + Done, Data.size() - Done);
        if (Written < 0 && errno != EINTR) Error = errno;
        if (Written > 0) Done += static_cast<std::size_t>(Written);
    }
    if (Error == 0 && ::fsync(File) != 0) Error = errno;
    if (::close(File) != 0 && Error == 0) Error = errno;
    if (Error == 0 && std::rename(Temporary.c_str(), Target.c_str()) != 0) Error = errno;
    if (Error != 0) {
        std::error_code Ignored;
        fs::remove(Temporary, Ignored);
        RaiseCreateError(FileName, Error);
    }
    // The rename itself reaches the disk with the directory.
    const fs::path Directory = Target.has_parent_path() ? Target.parent_path() : fs::path(".");
    if (const int Dir = ::open(Directory.c_str(), O_RDONLY | O_CLOEXEC); Dir >= 0) {
        ::fsync(Dir);
        ::close(Dir);
    }
}

void SaveCheckpoint(TAxCustomGeneticComponent& Component, std::ostream& Stream) {
    std::ostringstream Document;
    Component.SaveToStream(Document);
    const std::string DocumentText = std::move(Document).str();

    const TRandomGeneratorState Random = GetRandomState();
    // Appended piece by piece: GCC 12 at -O3 warns falsely on "literal" + std::string.
    std::string Body = "random ";
    Body += Hex(Random.Seed);
    for (const std::uint64_t Word : Random.Words) {
        Body += ' ';
        Body += Hex(Word);
    }
    Body += '\n';
    for (const TPublishedProperty& Setting : Settings(Component))
        Body += "setting " + Setting.Name + " = " + Setting.GetText(Component) + "\n";
    Body += FitnessLine(Component);
    Body += "document " + std::to_string(DocumentText.size()) + "\n" + DocumentText;
    Stream << Magic << Hex(Fnv1a(Body)) << "\n" << Body;
}

void SaveCheckpoint(TAxCustomGeneticComponent& Component, const std::string& FileName) {
    std::ostringstream Text;
    SaveCheckpoint(Component, Text);
    WriteFileAtomically(FileName, Text.view());
}

void LoadCheckpoint(TAxCustomGeneticComponent& Component, std::istream& Stream) {
    const std::string Text{std::istreambuf_iterator<char>(Stream),
                           std::istreambuf_iterator<char>()};
    const TPublishedProperties Known = Settings(Component);
    const TParsedCheckpoint Checkpoint = Parse(Text, Known);

    // The settings are tried first, so that a text that does not convert fails before
    // the document loads; should that or the document fail, the settings get back the
    // texts they had (exact, so the values they had).
    std::vector<std::string> Before;
    for (const TPublishedProperty& Property : Known)
        Before.push_back(Property.GetText(Component));
    const auto Restore = [&] {
        for (std::size_t I = 0; I < Known.size(); ++I)
            Known[I].SetText(Component, Before[I]);
    };
    const auto SetAll = [&] {
        for (const auto& [Property, Value] : Checkpoint.Settings) {
            try {
                Property->SetText(Component, Value);
            } catch (const std::exception& E) {
                Invalid("setting " + Property->Name + ": " + E.what());
            }
        }
    };
    try {
        SetAll();
        std::istringstream Document{std::string(Checkpoint.Document)};
        Component.LoadFromStream(Document);
    } catch (...) {
        Restore();
        throw;
    }
    // Again after the document, whose copies of some settings are rounded to single
    // precision.
    SetAll();
    // The fitness the individuals had, where the record fits the population loaded (a
    // checkpoint written before the record existed has none: its individuals are
    // evaluated again).
    TAxPopulation& Population = *Component.Population();
    if (Checkpoint.Fitness && static_cast<int>(Checkpoint.Fitness->size()) == Population.Count())
        for (int I = 0; I < Population.Count(); ++I)
            if (const auto& Value = (*Checkpoint.Fitness)[static_cast<std::size_t>(I)])
                Component.RestoreFitness(*Population.Items(I), *Value);
    Component.EvaluateFitness();
    SetRandomState(Checkpoint.Random);
}

void LoadCheckpoint(TAxCustomGeneticComponent& Component, const std::string& FileName) {
    std::ifstream Stream = OpenFileStream(FileName);
    LoadCheckpoint(Component, Stream);
}

} // namespace ax
