#include "axgenetic/regression/csv.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/gp/engine/batch_evaluator.hpp"

namespace ax {
namespace {

TEST(CSV, ReadsQuotedCellsOfAWindowsFile) {
    const std::string Text = "\xEF\xBB\xBF"
                             "x,\"a, \"\"b\"\"\",y\r\n"
                             "1,2.5,-3e2\r\n"
                             "\"4\",+5, 6 \r\n"
                             "\n";
    const TAxSRTable T = ParseCSV(Text, "t.csv");
    ASSERT_EQ(T.Names, (std::vector<std::string>{"x", "a, \"b\"", "y"}));
    EXPECT_EQ(T.RowCount(), 2);
    EXPECT_EQ(T.Columns[0], (std::vector<double>{1, 4}));
    EXPECT_EQ(T.Columns[1], (std::vector<double>{2.5, 5}));
    EXPECT_EQ(T.Columns[2], (std::vector<double>{-300, 6}));
}

TEST(CSV, RefusesBadTablesNamingWhereTheFaultIs) {
    const struct {
        std::string Text, Message;
    } Cases[] = {
        {"", "d.csv: the file is empty (a header row is needed)"},
        {"\r\n\n", "d.csv: the file is empty (a header row is needed)"},
        {"x,y\n", "d.csv: the header has no data rows after it"},
        {"x,y\n1,2\n3\n", "d.csv, row 3: 1 cells where the header has 2 columns"},
        {"x,y\n1,2,3\n", "d.csv, row 2: 3 cells where the header has 2 columns"},
        {"x,y\n1,\n", "d.csv, row 2, column 2 (\"y\"): the cell is empty"},
        {"x,y\n1,2\n3,abc\n", "d.csv, row 3, column 2 (\"y\"): \"abc\" is not a finite number"},
        {"x,y\n1,nan\n", "d.csv, row 2, column 2 (\"y\"): \"nan\" is not a finite number"},
        {"x,y\n1,1e999\n", "d.csv, row 2, column 2 (\"y\"): \"1e999\" is not a finite number"},
        {"x,,y\n1,2,3\n", "d.csv, row 1, column 2: the column name is empty"},
        {"x,x\n1,2\n", "d.csv, row 1, column 2: the column name \"x\" is repeated"},
        {"x,y\n\"1,2\n", "d.csv, row 2: a quoted cell is not closed"},
        {"x,y\n\"1\"2,3\n",
         "d.csv, row 2, column 1: text after the closing quote of a quoted cell"},
    };
    for (const auto& Case : Cases) {
        try {
            ParseCSV(Case.Text, "d.csv");
            ADD_FAILURE() << Case.Text;
        } catch (const EGPException& E) {
            EXPECT_EQ(E.what(), Case.Message);
        }
    }
}

TEST(CSV, WrittenTableReadsBackExactly) {
    TAxSRTable T;
    T.Names = {"a,b", "c"};
    T.Columns = {{0.1, 1.0 / 3.0}, {-2e-300, 123456789.125}};
    std::stringstream S;
    WriteCSV(S, T);
    const TAxSRTable Back = ReadCSV(S);
    EXPECT_EQ(Back.Names, T.Names);
    EXPECT_EQ(Back.Columns, T.Columns);
    const TAxGPDataSet Data = ToDataSet(Back);
    EXPECT_EQ(Data.Column("c")[1], 123456789.125);
}

} // namespace
} // namespace ax
