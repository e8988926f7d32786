// Numeric CSV tables for symbolic regression: a header row of column names, then one row
// of numbers per line.
//
// The reader follows RFC 4180: fields are separated by commas, a field in double quotes
// may hold commas, line breaks and doubled quotes (""), lines end in LF or CRLF, and a
// UTF-8 byte order mark before the header is skipped. Cells are read with the C locale
// ('.' decimal separator; "nan" and "inf" are refused like any other non-finite text).
// It refuses, with EGPException naming the file (or "<stream>"), the row (1 = the header)
// and the column: an empty input, a header without data rows, an empty or repeated column
// name, a row with more or fewer cells than the header, an empty cell and a cell that is
// not a finite number. A last line without line break is read; empty lines at the end
// are ignored.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "axgenetic/core/types.hpp"

namespace ax {

class TAxGPDataSet;

// A table of named columns of equal length.
struct AXGENETIC_API TAxSRTable {
    std::vector<std::string> Names;
    std::vector<std::vector<TGAFloat>> Columns; // Columns[i] belongs to Names[i]
    int RowCount() const { return Columns.empty() ? 0 : static_cast<int>(Columns[0].size()); }
    // Index of the column of that exact name, or -1.
    int IndexOf(std::string_view Name) const;
};

// Reads a file (EFOpenError when it cannot be opened).
AXGENETIC_API TAxSRTable ReadCSV(const std::string& FileName);
// Reads a stream; Source names it in messages.
AXGENETIC_API TAxSRTable ReadCSV(std::istream& Stream, const std::string& Source = "<stream>");
// Parses a text held in memory.
AXGENETIC_API TAxSRTable ParseCSV(std::string_view Text, const std::string& Source = "<text>");

// The table as a data set of the same columns.
AXGENETIC_API TAxGPDataSet ToDataSet(const TAxSRTable& Table);
// Reads a file straight into a data set.
AXGENETIC_API TAxGPDataSet ReadCSVDataSet(const std::string& FileName);

// Writes a table with a header row; names and cells that need it are quoted, numbers are
// written so that they read back exactly (17 significant digits at most).
AXGENETIC_API void WriteCSV(std::ostream& Stream, const TAxSRTable& Table);

} // namespace ax
