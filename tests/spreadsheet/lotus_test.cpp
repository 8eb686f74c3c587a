// Lotus and Quattro files against gnumeric's reading; pages and ranges; the WQ1 writer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <tuple>

#include "driver/vxs_options.h"
#include "driver/vxs_formats.h"
#include "sheet/vxs_conv.h"
#include "sheet/vxs_sheet.h"
#include "sheet/vxs_txtnum.h"
#include "test_util.h"

namespace {

using Row = std::vector<std::string>;
using Table = std::vector<Row>;

// gnumeric's CSV of one sheet (0-based) of a file.
Table ssconvert_sheet(const ScratchDir& dir, const std::string& file, int sheet) {
    std::string cmd = "cd '" + dir.path() + "' && ssconvert -S '" + file + "' 'gn_%n.csv' >/dev/null 2>&1";
    return std::system(cmd.c_str()) ? Table{} : csv_cells(read_file(dir.file("gn_" + std::to_string(sheet) + ".csv")));
}

// Ours against gnumeric's, but for labels cut to 90, "n/a" missing, ":D" dates, names gnumeric lacks.
void expect_same_cells(const Table& ours, const Table& theirs, const std::string& what) {
    auto is_number = [](const std::string& s, double& v) {
        char* end = nullptr;
        return (v = std::strtod(s.c_str(), &end), !s.empty() && *end == '\0');
    };
    ASSERT_TRUE(ours.size() == theirs.size() || ours.size() == theirs.size() + 1) << what;
    const size_t shift = ours.size() - theirs.size();
    for (size_t r = 1; r < ours.size(); ++r) {
        const Row &mine = ours[r], &other = theirs[r - shift];
        ASSERT_EQ(mine.size(), other.size()) << what << " row " << r;
        for (size_t c = 0; c < mine.size(); ++c) {
            const std::string &a = mine[c], &b = other[c];
            SCOPED_TRACE(what + " R" + std::to_string(r) + "C" + std::to_string(c));
            double x, y;
            if (shift == 0 && theirs[0][c].ends_with(":D")) continue;
            if (is_number(a, x) && is_number(b, y))
                EXPECT_NEAR(x, y, 1e-9 * std::max(1.0, std::fabs(y)));
            else if (a == "*" || a.empty())
                EXPECT_TRUE(b.empty() || b == "*" || b == "n/a") << b;
            else
                EXPECT_EQ(a, b.substr(0, 90));
        }
    }
}

struct Converted { RunResult run; Table table; };

Converted convert(const ScratchDir& dir, const std::string& name, const std::string& output,
                  const std::string& options = "", const std::vector<std::string>& selection = {}) {
    if (!file_exists(dir.file(name))) write_file(dir.file(name), read_file(data_path("lotus/" + name)));
    std::vector<std::string> args = {name + options, output};
    args.insert(args.end(), selection.begin(), selection.end());
    std::remove(dir.file(output).c_str());
    Converted c{run_morvalen(dir.path(), args), {}};
    if (file_exists(dir.file(output))) c.table = csv_cells(read_file(dir.file(output)));
    return c;
}

// A copy of a WQ1 file whose BOF says WK1, for gnumeric's Lotus importer.
std::string as_wk1(const ScratchDir& dir, const std::string& wq1) {
    write_file(dir.file("as_lotus.wk1"), patched(read_file(dir.file(wq1)), 4, "\x06\x04"));
    return "as_lotus.wk1";
}

Column* column_named(const std::string& name) {
    static Column none;
    Column* c = find_column(lastsheet, name);
    EXPECT_TRUE(c) << "no column " << name;
    return c ? c : &none;
}

// Reads a file in-process; what went to the warnings file.
template <class Reader>
std::string warnings_of(Reader reader, const std::string& path, const ScratchDir& dir) {
    fresh_run(dir.file("warn.err"));
    EXPECT_EQ(reader(path.c_str()), 1);
    if (vxs_warn_out) std::fclose(vxs_warn_out), vxs_warn_out = nullptr;
    return file_exists(dir.file("warn.err")) ? read_file(dir.file("warn.err")) : "";
}

const Row kTrialNames = {"Plot", "Variety!", "Yield", "Sown:D", "Note", "Code", "Score"};

TEST(LotusFiles, ConvertAsGnumericReadsThem) {
    struct { const char* name; int sheet; std::vector<std::string> selection; Row names; } const cases[] = {
        {"trial.wk1", 0, {}, kTrialNames},
        {"numbers.wk1", 0, {}, {"C1", "C2", "C3"}},
        {"trial.wq1", 0, {}, kTrialNames},
        {"book.wb1", 0, {}, kTrialNames},
        {"book.wb2", 0, {}, kTrialNames},
        {"book.wb2", 1, {"2"}, {"Dose", "Response"}},
        {"book.wb2", 2, {"SUMMARY"}, {"C1", "C2", "C3"}},
        {"book.wb3", 0, {}, kTrialNames},
        {"book.wb3", 1, {"S:b"}, {"Dose", "Response"}},
        {"big.wb3", 2, {"3"}, {"C1", "C2", "C3"}},
    };
    const bool gnumeric = tool_present("command -v ssconvert");
    for (const auto& c : cases) {
        const std::string what = std::string(c.name) + " sheet " + std::to_string(c.sheet);
        SCOPED_TRACE(what);
        ScratchDir dir;
        Converted got = convert(dir, c.name, "out.csv", "", c.selection);
        ASSERT_EQ(got.run.status, 0) << got.run.out;
        EXPECT_EQ(got.table.at(0), c.names);
        // gnumeric reads WQ1 files through its Lotus importer only.
        std::string file = std::string(c.name).ends_with(".wq1") ? as_wk1(dir, c.name) : c.name;
        if (gnumeric) expect_same_cells(got.table, ssconvert_sheet(dir, file, c.sheet), what);
    }
    // A WQ1 file written here as gnumeric reads it (its own reading back: round_trips_test).
    ScratchDir dir;
    if (!gnumeric) GTEST_SKIP() << "ssconvert (gnumeric) not installed; gnumeric comparison skipped";
    ASSERT_EQ(convert(dir, "trial.wk1", "w.wq1").run.status, 0);
    expect_same_cells(convert(dir, "w.wq1", "back.csv").table, ssconvert_sheet(dir, as_wk1(dir, "w.wq1"), 0), "written WQ1");
}

// Suffixes: "!" factor, ":2" decimals, ":D" date, "$" text, "#" texts as numbers (warning if not).
TEST(LotusFiles, NameSuffixesShapeTheColumns) {
    ScratchDir dir;
    EXPECT_EQ(warnings_of(read_wk1_into_sheet, data_path("lotus/trial.wk1"), dir),
              "Text to Number Conversion Warnings\n \nColumn Code Row    6 (From Cell F7): n/a read as *\n");
    EXPECT_EQ(column_named("Variety")->labels, (Row{"Alpha", "beta", "Gamma"}));
    // Note 2: a number in a "$" column; note 9 cut to 90; Score: a formula's stored result.
    EXPECT_EQ(std::tuple(lastsheet->row_count, column_named("Yield")->decimals, column_named("Sown")->representation,
                         column_named("Note")->text.str(2), column_named("Note")->text.str(9), column_named("Code")->num[1],
                         column_named("Score")->num[9]),
              std::tuple(10, 2, VXS_REP_DATE, "102", "Long label " + std::string(79, 'x'), 24.0, 22.5));
}

TEST(LotusFiles, PagesRangesAndCellRangesOfNotebooks) {
    struct { const char* file; const char* sheet; const char* range; int rows, cols; const char* name;
             size_t col, row; double value; const char* block; } const cases[] = {
        {"book.wb2", "summ", "", 3, 3, "C1", 3, 2, 4.3, "C:B3..D5"},
        {"book.wb2", "S:B", "", 5, 2, "Dose", 1, 0, 1, "B:A1..B6"},
        {"book.wb2", "R:doses", "", 3, 2, "Dose", 2, 2, 301, "B:A1..B4"},
        {"book.wb2", "block", "", 2, 2, "C1", 2, 1, 3.2, "C:B3..C4"},
        {"book.wb2", "1", "A2:C5", 4, 3, "C1", 3, 3, 4.75, "A:A2..C5"},
        {"book.wb1", "3", "C4..D5", 2, 2, "C1", 2, 1, 4.3, "C:C4..D5"},
        {"book.wb3", "R:block", "", 2, 2, "C1", 1, 0, 2.1, "C:B3..C4"},
        {"trial.wq1", "", "B3 C6", 4, 2, "C1", 2, 3, 5.25, "A:B3..C6"},
        {"book.qpw", "R:DOSES", "", 3, 2, "Dose", 2, 0, 100.25, "B:A1..B4"},
        {"bare.qpw", "TRIAL", "", 6, 3, "Plot", 1, 5, 6, "A:A1..C7"},
        {"letters.qpw", "3", "A2:B3", 2, 2, "C1", 2, 1, 2.25, "C:A2..B3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.sheet + " " + c.range);
        ScratchDir dir;
        Converted got = convert(dir, c.file, "out.csv", "", {c.sheet, c.range});
        ASSERT_EQ(got.run.status, 0) << got.run.out;
        EXPECT_NE(got.run.out.find(std::string("Data read from ") + c.file + " - " + c.block + "\n"), std::string::npos)
            << got.run.out;
        ASSERT_EQ(std::tuple(got.table.size(), got.table.at(0).size(), got.table[0][0]),
                  std::tuple(size_t(c.rows + 1), size_t(c.cols), c.name));
        EXPECT_EQ(std::stod(got.table[c.row + 1][c.col - 1]), c.value);
    }
}

// A notebook in a compound document is read from a copy beside TMP, removed afterwards.
TEST(LotusFiles, ContainerListingsNameTheUsersFile) {
    const std::string sheets = "Sheets: 3\nTRIAL\n";
    for (auto [file, listing] : {std::pair{"book.wb3", "B\nSUMMARY\nNamed Ranges: 2\nDOSES\nBLOCK\n"},
                                 {"book.qpw", "DOSES\nC\nNamed Ranges: 1\nDOSES\n"}}) {
        ScratchDir dir;
        setenv("TMP", (dir.path() + "/").c_str(), 1);
        Converted got = convert(dir, file, "names.out", "/w");
        unsetenv("TMP");
        EXPECT_EQ(got.run.out, "File: " + std::string(file) + "\n" + sheets + listing);
        EXPECT_FALSE(file_exists(dir.file("K7RZtemp.wb2")) || file_exists(dir.file("K7RZtemp.qpw")));
    }
}

std::string record(unsigned code, const std::string& body) { return le_bytes(code, 2) + le_bytes(body.size(), 2) + body; }
std::string range(unsigned lc, unsigned lr) { return record(0x06, le_bytes(0, 4) + le_bytes(lc, 2) + le_bytes(lr, 2)); }
// WK1 and WQ1 cells: format byte, column, row, then the value; a label's text is NUL-terminated.
std::string cell(unsigned col, unsigned row) { return "\xFF" + le_bytes(col, 2) + le_bytes(row, 2); }
std::string label(unsigned col, unsigned row, const std::string& text) { return record(0x0F, cell(col, row) + "'" + text + '\0'); }
std::string number(unsigned col, unsigned row, double v) { return record(0x0E, cell(col, row) + le_f64(v)); }
// Notebook cells: column and page, row, a 16-bit format, then the value; no leading format byte.
std::string nb_cell(unsigned code, unsigned page, unsigned col, unsigned row, const std::string& value) {
    return record(code, le_bytes(page << 8 | col, 2) + le_bytes(row, 2) + le_bytes(0, 2) + value);
}

TEST(Wq1Writer, RecordsOfASmallSheet) {
    Sheet* s = new_run_with_sheet(3);
    auto column = [&](int32_t type, const char* name, std::vector<double> num = {}) {
        Column* c = create_column_with_memory(s, type, name, 3);
        if (!num.empty()) c->num = num;
        return c;
    };
    column(VXS_VARIATE, "Weight", {1.5, vxs_missing, 2.25})->decimals = 2;
    column(VXS_VARIATE, "Born", {36982, 36983, vxs_missing})->representation = VXS_REP_DATE;
    Column* t = column(VXS_TEXT, "Tag");
    t->text.set(0, "a"), t->text.set(2, "ccc");
    Column* f = column(VXS_TEXT, "Kind");
    for (size_t i = 0; i < 3; ++i) f->text.set(i, i == 1 ? "hi" : "lo");
    convert_text_to_factor(f, 1, 1);
    convert_variate_to_factor(column(VXS_VARIATE, "Dose", {10, vxs_missing, 20}), 1);  // written as level values
    ScratchDir dir;
    ASSERT_EQ(write_sheet_as_wq1(s, dir.file("out.wq1").c_str()), 1);
    std::string expected = record(0x00, "\x20\x51") + range(4, 3);
    expected += label(0, 0, "Weight:2") + number(0, 1, 1.5) + number(0, 3, 2.25);
    expected += label(1, 0, "Born:D") + number(1, 1, 36982) + number(1, 2, 36983);
    expected += label(2, 0, "Tag") + label(2, 1, "a") + label(2, 3, "ccc");
    expected += label(3, 0, "Kind!") + label(3, 1, "lo") + label(3, 2, "hi") + label(3, 3, "lo");
    expected += label(4, 0, "Dose!") + number(4, 1, 10) + number(4, 3, 20) + record(0x01, "");
    EXPECT_EQ(read_file(dir.file("out.wq1")), expected);
}

TEST(Wq1Writer, RowLimitAndRoundTrip) {
    ScratchDir dir;
    const size_t full = 6 + 12 + 12 + 8192 * 17 + 4;  // BOF, RANGE, name, 8192 numbers, EOF
    for (int rows : {8192, 8193}) {
        SCOPED_TRACE(rows);
        std::string csv = "N\n";
        for (int i = 0; i < rows; ++i) csv += std::to_string(i) + "\n";
        write_file(dir.file("rows.csv"), csv);
        RunResult r = run_morvalen(dir.path(), {"rows.csv", "rows.wq1"});
        EXPECT_EQ(r.status, rows == 8192 ? 0 : 6) << r.out;
        EXPECT_EQ(read_file(dir.file("rows.wq1")).size(), full);  // a refused run leaves the last file be
        if (rows == 8192) { EXPECT_EQ(convert(dir, "rows.wq1", "back.csv").table, csv_cells(csv)); }
        else { EXPECT_NE(r.out.find("Error: Spreadsheet has more rows than a Quattro file can handle (8192)!\n"), std::string::npos); }
    }
    Sheet* s = new_run_with_sheet(1);
    create_column_with_memory(s, VXS_VARIATE, "X", 1)->num = {1};
    const std::string bad = dir.path() + "/no/such/dir/x.wq1";
    EXPECT_EQ(stdout_of([&] { EXPECT_EQ(write_sheet_as_wq1(s, bad.c_str()), 0); }),
              "Error: In Writing WQ1 File - could not open file: " + bad + "\n");
}

TEST(Wq1Writer, WideWorksheetKeepsTheColumnLimit) {
    std::string b = record(0x00, "\x06\x04") + range(299, 1);
    for (unsigned c = 0; c < 300; ++c) b += label(c, 0, "V" + std::to_string(c + 1)) + number(c, 1, c + 0.5);
    ScratchDir dir;
    write_file(dir.file("wide.wk1"), b + record(0x01, ""));
    RunResult r = run_morvalen(dir.path(), {"wide.wk1", "wide.wq1"});
    EXPECT_EQ(r.out, "Warning Columns above 255 NOT transfered!\nData read from wide.wk1 - A:A1..KN2\n 1 records transferred.\n");
    Table t = convert(dir, "wide.wq1", "back.csv").table;
    ASSERT_EQ(std::pair(t.size(), t.at(0).size()), (std::pair<size_t, size_t>(2, 255)));
    EXPECT_EQ(t[0][254] + " " + t[1][254], "V255 254.5");
}

TEST(LotusFiles, NotebookCellLayouts) {
    const std::string seven = le_bytes(7, 2), half = le_f64(0.5), nul(1, '\0');
    std::string b = record(0x00, "\x02\x10") + range(0x0102, 2) + record(0xCA, nul);
    b += nb_cell(0x0F, 0, 0, 0, "'Count" + nul) + nb_cell(0x0F, 0, 1, 0, "^Share" + nul);
    b += nb_cell(0x0F, 0, 2, 0, "'Mass#" + nul) + nb_cell(0x0F, 0, 2, 1, "'1O" + nul);
    b += nb_cell(0x0D, 0, 0, 1, seven) + nb_cell(0x0E, 0, 1, 1, half);
    b += nb_cell(0x10, 0, 1, 2, half + "\x03\x00\x00");  // a formula's stored result
    b += nb_cell(0x0D, 0, 0, 2, seven) + nb_cell(0x0E, 0, 2, 2, half);
    b += record(0xCB, "") + record(0xCA, "\x01");
    b += nb_cell(0x0E, 1, 2, 2, le_f64(9));  // a cell of the second page
    ScratchDir dir;
    write_file(dir.file("cells.wb2"), b + record(0xCB, "") + record(0x01, ""));
    EXPECT_EQ(warnings_of(read_wq1_into_sheet, dir.file("cells.wb2"), dir),
              "Text to Number Conversion Warnings\n \nColumn Mass Row    1 (From Cell C2): 1O read as 10\n");
    const auto& k = lastsheet->cols;
    ASSERT_EQ(lastsheet->column_count, 3);
    EXPECT_EQ(k[1]->name + k[2]->name, "CountShare");
    EXPECT_EQ((std::vector{k[1]->num, k[2]->num, k[3]->num}), (std::vector<std::vector<double>>{{7, 7}, {0.5, 0.5}, {10, 0.5}}));
}

// Cells outside the RANGE dropped, not wrapped; NaN, infinities, numbers <= missing leave cells empty.
TEST(LotusDamaged, CellsOutsideTheRangeAndNotNumbers) {
    ScratchDir dir;
    warnings_of(read_wk1_into_sheet, data_path("lotus/damaged/outside_range.wk1"), dir);
    EXPECT_EQ(std::tuple(lastsheet->row_count, lastsheet->column_count, lastsheet->cols[1]->num[1], lastsheet->cols[3]->num[3]),
              std::tuple(4, 3, 10.5, 32.5));
    warnings_of(read_wk1_into_sheet, data_path("lotus/damaged/nan_cells.wk1"), dir);
    EXPECT_EQ(lastsheet->cols[1]->num, (std::vector<double>{vxs_missing, vxs_missing, vxs_missing, 1.5}));
}

}  // namespace
