#include "axgenetic/regression/csv.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <istream>
#include <iterator>
#include <ostream>
#include <sstream>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/gp/engine/batch_evaluator.hpp"
#include "axgenetic/platform/files.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/regression/sr_messages.hpp"

namespace ax {

int TAxSRTable::IndexOf(std::string_view Name) const {
    for (std::size_t I = 0; I < Names.size(); ++I)
        if (Names[I] == Name) return static_cast<int>(I);
    return -1;
}

namespace {

// Splits the text into records of fields (RFC 4180), one record at a time.
class TCSVScanner {
public:
    TCSVScanner(std::string_view Text, const std::string& Source) : FText(Text), FSource(Source) {
        if (FText.substr(0, 3) == "\xEF\xBB\xBF") FText.remove_prefix(3);
    }
    bool AtEnd() const { return FPos >= FText.size(); }
    int Row() const { return FRow; }
    // The next record's fields; an empty line gives one empty field.
    void Next(std::vector<std::string>& Fields) {
        Fields.clear();
        ++FRow;
        std::string Field;
        for (;;) {
            Field.clear();
            if (FPos < FText.size() && FText[FPos] == '"') {
                ++FPos;
                for (;;) {
                    if (FPos >= FText.size())
                        throw EGPException(Format(SCSVUnclosedQuote, {FSource, FRow}));
                    const char C = FText[FPos++];
                    if (C != '"') {
                        Field += C;
                    } else if (FPos < FText.size() && FText[FPos] == '"') {
                        Field += '"';
                        ++FPos;
                    } else {
                        break;
                    }
                }
                if (FPos < FText.size() && FText[FPos] != ',' && FText[FPos] != '\n' &&
                    !(FText[FPos] == '\r' && FPos + 1 < FText.size() && FText[FPos + 1] == '\n') &&
                    FText[FPos] != '\r')
                    throw EGPException(
                        Format(SCSVBadQuote, {FSource, FRow, static_cast<int>(Fields.size()) + 1}));
            } else {
                while (FPos < FText.size() && FText[FPos] != ',' && FText[FPos] != '\n' &&
                       FText[FPos] != '\r')
                    Field += FText[FPos++];
            }
            Fields.push_back(Field);
            if (FPos >= FText.size()) return;
            const char C = FText[FPos++];
            if (C == ',') continue;
            if (C == '\r' && FPos < FText.size() && FText[FPos] == '\n') ++FPos;
            return;
        }
    }
    // True when only line breaks remain.
    bool OnlyBlankLinesLeft() const {
        for (std::size_t I = FPos; I < FText.size(); ++I)
            if (FText[I] != '\n' && FText[I] != '\r') return false;
        return true;
    }

private:
    std::string_view FText;
    const std::string& FSource;
    std::size_t FPos = 0;
    int FRow = 0;
};

bool ParseNumber(std::string_view Text, double& Value) {
    while (!Text.empty() && (Text.front() == ' ' || Text.front() == '\t'))
        Text.remove_prefix(1);
    while (!Text.empty() && (Text.back() == ' ' || Text.back() == '\t'))
        Text.remove_suffix(1);
    if (!Text.empty() && Text.front() == '+') Text.remove_prefix(1);
    if (Text.empty()) return false;
    const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    return Error == std::errc() && End == Text.data() + Text.size() && std::isfinite(Value);
}

bool IsBlank(std::string_view Text) {
    return Text.find_first_not_of(" \t") == std::string_view::npos;
}

} // namespace

TAxSRTable ParseCSV(std::string_view Text, const std::string& Source) {
    TCSVScanner Scanner(Text, Source);
    if (Scanner.AtEnd() || Scanner.OnlyBlankLinesLeft())
        throw EGPException(Format(SCSVEmpty, {Source}));
    TAxSRTable Table;
    std::vector<std::string> Fields;
    Scanner.Next(Fields);
    for (std::size_t I = 0; I < Fields.size(); ++I) {
        const int Column = static_cast<int>(I) + 1;
        if (IsBlank(Fields[I])) throw EGPException(Format(SCSVBadName, {Source, Column}));
        if (Table.IndexOf(Fields[I]) >= 0)
            throw EGPException(Format(SCSVDuplicateName, {Source, Column, Fields[I]}));
        Table.Names.push_back(Fields[I]);
    }
    const auto Width = static_cast<int>(Fields.size());
    Table.Columns.resize(Fields.size());
    while (!Scanner.AtEnd() && !Scanner.OnlyBlankLinesLeft()) {
        Scanner.Next(Fields);
        const int Row = Scanner.Row();
        if (static_cast<int>(Fields.size()) != Width)
            throw EGPException(
                Format(SCSVRagged, {Source, Row, static_cast<int>(Fields.size()), Width}));
        for (int C = 0; C < Width; ++C) {
            const std::string& Cell = Fields[static_cast<std::size_t>(C)];
            const std::string& Name = Table.Names[static_cast<std::size_t>(C)];
            if (IsBlank(Cell))
                throw EGPException(Format(SCSVEmptyCell, {Source, Row, C + 1, Name}));
            double Value = 0;
            if (!ParseNumber(Cell, Value))
                throw EGPException(Format(SCSVNotNumber, {Source, Row, C + 1, Name, Cell}));
            Table.Columns[static_cast<std::size_t>(C)].push_back(Value);
        }
    }
    if (Table.RowCount() == 0) throw EGPException(Format(SCSVNoRows, {Source}));
    return Table;
}

TAxSRTable ReadCSV(std::istream& Stream, const std::string& Source) {
    const std::string Text{std::istreambuf_iterator<char>(Stream),
                           std::istreambuf_iterator<char>()};
    return ParseCSV(Text, Source);
}

TAxSRTable ReadCSV(const std::string& FileName) {
    auto Stream = OpenFileStream(FileName);
    return ReadCSV(Stream, FileName);
}

TAxGPDataSet ToDataSet(const TAxSRTable& Table) {
    TAxGPDataSet Data(Table.RowCount());
    for (std::size_t I = 0; I < Table.Names.size(); ++I) {
        auto Column = Data.AddColumn(Table.Names[I]);
        std::copy(Table.Columns[I].begin(), Table.Columns[I].end(), Column.begin());
    }
    return Data;
}

TAxGPDataSet ReadCSVDataSet(const std::string& FileName) {
    return ToDataSet(ReadCSV(FileName));
}

namespace {
void WriteField(std::ostream& Stream, const std::string& Text) {
    if (Text.find_first_of(",\"\r\n") == std::string::npos) {
        Stream << Text;
        return;
    }
    Stream << '"';
    for (const char C : Text) {
        if (C == '"') Stream << '"';
        Stream << C;
    }
    Stream << '"';
}
} // namespace

void WriteCSV(std::ostream& Stream, const TAxSRTable& Table) {
    for (std::size_t I = 0; I < Table.Names.size(); ++I) {
        if (I > 0) Stream << ',';
        WriteField(Stream, Table.Names[I]);
    }
    Stream << '\n';
    char Buffer[64];
    for (int R = 0; R < Table.RowCount(); ++R) {
        for (std::size_t I = 0; I < Table.Columns.size(); ++I) {
            if (I > 0) Stream << ',';
            const auto Result = std::to_chars(Buffer, Buffer + sizeof(Buffer),
                                              Table.Columns[I][static_cast<std::size_t>(R)]);
            Stream.write(Buffer, Result.ptr - Buffer);
        }
        Stream << '\n';
    }
}

} // namespace ax
