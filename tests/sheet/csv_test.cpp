// Delimited text into a sheet: delimiters and quotes, the names-or-data decision, column
// typing, factors from marked names, line ends, field limits, and whole conversions of good
// and bad files.
#include <gtest/gtest.h>

#include <string>

#include "driver/vxs_formats.h"
#include "driver/vxs_options.h"
#include "sheet/vxs_csv.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

class CsvReader : public ::testing::Test {
protected:
    void SetUp() override {
        vxs_init();
        vxs_reset_options();
    }
    Sheet* read(const std::string& text) { return vxs_new_from_text(text.c_str()); }
    Sheet* read_file_bytes(const std::string& bytes) {
        write_file(dir_.file("in.csv"), bytes);
        return read_csv_into_sheet(dir_.file("in.csv").c_str()) ? lastsheet : nullptr;
    }
    static Column* col(Sheet* s, int i) { return s->cols[static_cast<size_t>(i)].get(); }
    ScratchDir dir_;
};

TEST_F(CsvReader, NamesLineAndColumnTypes) {
    Sheet* s = read("Name,Height\na,1.5\nb,2\n");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->row_count, 2);
    ASSERT_EQ(s->column_count, 2);
    EXPECT_EQ(col(s, 1)->name, "Name");
    EXPECT_EQ(col(s, 1)->type, VXS_TEXT);
    EXPECT_EQ(col(s, 1)->text.get(1), "b");
    EXPECT_EQ(col(s, 2)->name, "Height");
    EXPECT_EQ(col(s, 2)->type, VXS_VARIATE);
    EXPECT_DOUBLE_EQ(col(s, 2)->num[0], 1.5);
    EXPECT_DOUBLE_EQ(col(s, 2)->num[1], 2.0);
}

TEST_F(CsvReader, NoNamesOptionReadsFirstLineAsData) {
    vxs_no_column_names = 1;
    Sheet* s = read("Name,Height\na,1.5\nb,2\n");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->row_count, 3);
    EXPECT_EQ(col(s, 1)->name, "C1");
    EXPECT_EQ(col(s, 2)->name, "C2");
    EXPECT_EQ(col(s, 1)->type, VXS_TEXT);
    EXPECT_EQ(col(s, 2)->type, VXS_TEXT);  // "Height" is not a number
    EXPECT_EQ(col(s, 2)->text.get(0), "Height");
}

TEST_F(CsvReader, NamesOptionTakesANumericFirstLineAsNames) {
    vxs_use_column_names = 1;
    Sheet* s = read("2019,2020\n1,2\n");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->row_count, 1);
    EXPECT_EQ(col(s, 1)->name, "%2019");
}

TEST_F(CsvReader, FirstLineStartingWithANumberIsData) {
    Sheet* s = read("1\t2\t3\n4\t5\t6\n");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->row_count, 2);
    EXPECT_EQ(s->column_count, 3);
    EXPECT_DOUBLE_EQ(col(s, 3)->num[1], 6.0);
    // A sign starts a number too, also behind blanks and quotes.
    s = read("x, -1\n2,3\n");
    EXPECT_EQ(s->row_count, 2);
    s = read("\"+1\",\"a\"\n2,b\n");
    EXPECT_EQ(s->row_count, 2);
}

TEST_F(CsvReader, StarIsMissingAndKeepsAColumnNumeric) {
    Sheet* s = read("a,b\n1,*\n*,x\n3,4\n");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(col(s, 1)->type, VXS_VARIATE);
    EXPECT_LE(col(s, 1)->num[1], s->missing);
    EXPECT_EQ(col(s, 2)->type, VXS_TEXT);  // x makes it text
}

TEST_F(CsvReader, QuotesDelimitersAndDoubledQuotes) {
    Sheet* s = read("a;b|c,d\n\"x, y\",'it''s',\"say \"\"hi\"\"\" ,plain\n");
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->column_count, 4);
    EXPECT_EQ(col(s, 1)->text.get(0), "x, y");
    EXPECT_EQ(col(s, 2)->text.get(0), "it's");
    EXPECT_EQ(col(s, 3)->text.get(0), "say \"hi\"");
    EXPECT_EQ(col(s, 4)->text.get(0), "plain");
}

TEST_F(CsvReader, AnApostropheWithoutPartnerIsAnOrdinaryCharacter) {
    Sheet* s = read("note,n\nfarmer's plot,4\nok,5\n");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(col(s, 1)->text.get(0), "farmer's plot");
    EXPECT_DOUBLE_EQ(col(s, 2)->num[0], 4.0);
}

TEST_F(CsvReader, QuotedNumbersAreNumbers) {
    Sheet* s = read("\"a\",\"b\"\n\"1.5\",\"2\"\n");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(col(s, 1)->type, VXS_VARIATE);
    EXPECT_DOUBLE_EQ(col(s, 1)->num[0], 1.5);
}

TEST_F(CsvReader, MarkedNamesMakeFactorsTextsAndNumbers) {
    Sheet* s = read("a,b,Treat!,code$,val#\n1,x,hi,7,q\n2,y,lo,8,3\n3,z,Hi,9,4\n");
    ASSERT_NE(s, nullptr);
    Column* f = col(s, 3);
    EXPECT_EQ(f->name, "Treat");
    EXPECT_EQ(f->type, VXS_FACTOR);
    ASSERT_EQ(f->labels.size(), 2u);  // hi and Hi are one label
    EXPECT_EQ(f->labels[0], "hi");
    EXPECT_EQ(f->labels[1], "lo");
    EXPECT_DOUBLE_EQ(f->num[2], 1.0);
    EXPECT_EQ(col(s, 4)->type, VXS_TEXT);
    EXPECT_EQ(col(s, 4)->name, "code");
    EXPECT_EQ(col(s, 4)->text.get(0), "7");
    EXPECT_EQ(col(s, 5)->type, VXS_VARIATE);
    EXPECT_LE(col(s, 5)->num[0], s->missing);  // q is no number
    EXPECT_DOUBLE_EQ(col(s, 5)->num[1], 3.0);
}

TEST_F(CsvReader, FactorFromNumbersKeepsLevelValues) {
    Sheet* s = read("dose!\n10\n5\n10\n");
    ASSERT_NE(s, nullptr);
    Column* f = col(s, 1);
    EXPECT_EQ(f->type, VXS_FACTOR);
    ASSERT_EQ(f->levels.size(), 2u);
    EXPECT_DOUBLE_EQ(f->levels[0], 5.0);
    EXPECT_DOUBLE_EQ(f->num[0], 2.0);
}

TEST_F(CsvReader, RaggedRowsAndEmptyTrailingColumns) {
    Sheet* s = read("a,b,c,\n1,2,3,\n4\n5,6,7,\n");
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->column_count, 4);
    EXPECT_EQ(s->row_count, 3);
    EXPECT_DOUBLE_EQ(col(s, 1)->num[1], 4.0);
    EXPECT_LE(col(s, 2)->num[1], s->missing);
    EXPECT_LE(col(s, 3)->num[1], s->missing);
    EXPECT_EQ(col(s, 4)->name, "C4");  // empty name keeps its default name
    for (double v : col(s, 4)->num) EXPECT_LE(v, s->missing);
}

TEST_F(CsvReader, LineEndsByteOrderMarkAndZeroBytes) {
    const std::string expect_b = "y";
    for (const std::string& text : {std::string("a,b\r\n1,x\r\n2,y\r\n"), std::string("a,b\r1,x\r2,y\r"),
                                    std::string("\xEF\xBB\xBF" "a,b\n1,x\n2,y"), std::string("a,b\n1,x\n2,y\0junk\n", 19)}) {
        Sheet* s = read_file_bytes(text);
        ASSERT_NE(s, nullptr) << text;
        EXPECT_EQ(s->row_count, 2);
        EXPECT_EQ(col(s, 1)->name, "a");
        EXPECT_EQ(col(s, 2)->text.get(1), expect_b);
    }
}

TEST_F(CsvReader, FieldLimits) {
    std::string long_text(91, 'x');
    long_text[90] = 'Z';
    Sheet* s = read("t,n\n" + long_text + ",1\n");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(col(s, 1)->text.get(0), std::string(90, 'x'));
    // A line longer than 4095 characters goes on in a new line.
    std::string line(4100, 'a');
    s = read_file_bytes("t\n" + line + "\n");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->row_count, 2);
    EXPECT_EQ(col(s, 1)->text.get(1), "aaaaa");
}

TEST_F(CsvReader, BlanksAroundFieldsAndInsideTexts) {
    Sheet* s = read("a , b\n  x   y  ,  2  \n");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(col(s, 1)->name, "a");
    EXPECT_EQ(col(s, 1)->text.get(0), "x y");
    EXPECT_DOUBLE_EQ(col(s, 2)->num[0], 2.0);
}

TEST_F(CsvReader, TabModeSkipsTitleLinesAndIgnoresOtherDelimiters) {
    Sheet* s = read("\"report.txt (Created by Morvalen)\"\nx\ty;z\n1\t2\n");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->row_count, 1);
    ASSERT_EQ(s->column_count, 2);
    EXPECT_EQ(col(s, 2)->name, "y_z");
}

TEST_F(CsvReader, BlankSeparatedValuesAreOneColumn) {
    Sheet* s = read("1 2 3\n4 5 6\n");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->column_count, 1);
    EXPECT_EQ(col(s, 1)->type, VXS_TEXT);
    EXPECT_EQ(col(s, 1)->text.get(1), "4 5 6");
}

TEST_F(CsvReader, NumbersAsStrtodReadsThem) {
    Sheet* s = read("v\n1e400\n-2.5e-3\n0x10\n1e308\n  +7\n");
    ASSERT_NE(s, nullptr);
    Column* c = col(s, 1);
    ASSERT_EQ(c->type, VXS_VARIATE);
    EXPECT_LE(c->num[0], s->missing);  // overflow
    EXPECT_DOUBLE_EQ(c->num[1], -0.0025);
    EXPECT_DOUBLE_EQ(c->num[2], 16.0);
    EXPECT_DOUBLE_EQ(c->num[3], VXS_NUM_CEILING);
    EXPECT_DOUBLE_EQ(c->num[4], 7.0);
}

TEST_F(CsvReader, NothingToReadGivesNoSheet) {
    EXPECT_EQ(read(""), nullptr);
    EXPECT_EQ(read("a,b\n"), nullptr);         // names only
    EXPECT_EQ(read("\n\n\n"), nullptr);        // no columns
    EXPECT_EQ(read_file_bytes(""), nullptr);
}

TEST_F(CsvReader, ColumnLimit) {
    VXSMAXCOLUMNS = 3;
    Sheet* s = read("a,b,c,d,e\n1,2,3,4,5\n");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->column_count, 3);
}

TEST_F(CsvReader, ValidateCellAndBlankSheet) {
    int32_t types[2] = {4, -3};
    VxsSheetSpec spec{1, 2, 2, types};
    Sheet* before = lastsheet;
    VxsSheetSpec empty{1, 0, 2, nullptr};
    EXPECT_EQ(blank_sheet(&empty, 4), 0);
    EXPECT_EQ(lastsheet, before);
    ASSERT_EQ(blank_sheet(&spec, 4), 1);
    Sheet* s = lastsheet;
    EXPECT_EQ(col(s, 1)->type, VXS_VARIATE);
    EXPECT_EQ(col(s, 2)->type, VXS_TEXT);
    EXPECT_EQ(col(s, 2)->representation, VXS_REP_TEXT);
    EXPECT_EQ(col(s, 1)->width, 6);
    EXPECT_EQ(validate_cell(col(s, 1), 2, "1"), 0);
    EXPECT_EQ(validate_cell(col(s, 1), 0, "*12"), 1);
    EXPECT_LE(col(s, 1)->num[0], s->missing);
    EXPECT_EQ(validate_cell(col(s, 1), 1, "2.5kg"), 1);
    EXPECT_DOUBLE_EQ(col(s, 1)->num[1], 2.5);
    EXPECT_EQ(validate_cell(col(s, 2), 1, "hello"), 1);
    EXPECT_EQ(col(s, 2)->nlevels, 5);
}

// Whole conversions: the driver's messages and statuses for good and bad delimited text.

TEST(CsvConversion, SampleConvertsToEveryNativeFormat) {
    ScratchDir dir;
    write_file(dir.file("field_trial.csv"), read_file(std::string(MORVALEN_SOURCE) + "/examples/field_trial.csv"));
    RunResult r = run_morvalen(dir.path(), {"field_trial.csv", "field_trial.vsh"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, " 12 records transferred.\n");
    EXPECT_TRUE(file_exists(dir.file("field_trial.vsh")));
    EXPECT_FALSE(file_exists(dir.file("field_trial.$$$")));
}

TEST(CsvConversion, HeaderOnlyAndBlankFilesAreStatusFive) {
    ScratchDir dir;
    write_file(dir.file("head.csv"), "Plot,Yield\n");
    RunResult r = run_morvalen(dir.path(), {"head.csv", "out.vsh"});
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(r.out, " Error: No valid data in input file head.csv!\n");
    EXPECT_FALSE(file_exists(dir.file("out.vsh")));
    write_file(dir.file("blank.csv"), "\n\n\n\n");
    r = run_morvalen(dir.path(), {"blank.csv", "out.csv"});
    EXPECT_EQ(r.status, 5);
    EXPECT_FALSE(file_exists(dir.file("out.csv")));
}

TEST(CsvConversion, BinaryAndEmptyFilesNamedCsv) {
    ScratchDir dir;
    std::string binary;
    for (int i = 0; i < 300; ++i) binary += static_cast<char>((i * 37 + 11) & 0xff);
    binary[0] = '\x01';
    write_file(dir.file("bin.csv"), binary);
    RunResult r = run_morvalen(dir.path(), {"bin.csv", "out.vsh"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "Error: Unknown File type!\n");
    EXPECT_FALSE(file_exists(dir.file("out.vsh")));
    write_file(dir.file("empty.csv"), "");
    r = run_morvalen(dir.path(), {"empty.csv", "out.vsh"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "Error: Input File empty.csv not found!\n");
    EXPECT_FALSE(file_exists(dir.file("out.vsh")));
}

TEST(CsvConversion, OwnCsvOutputReadsBackToTheSameSheet) {
    ScratchDir dir;
    write_file(dir.file("kinds.csv"), read_file(data_path("csv/kinds.csv")));
    ASSERT_EQ(run_morvalen(dir.path(), {"kinds.csv", "again.csv"}).status, 0);
    ASSERT_EQ(run_morvalen(dir.path(), {"again.csv", "again.tab"}).status, 0);
    EXPECT_EQ(read_file(dir.file("again.tab")), read_file(data_path("csv/kinds_expected.tab")));
}

}  // namespace
