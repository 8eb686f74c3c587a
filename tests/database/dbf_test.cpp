// dBase tables: hand-built cell by cell, tool-made against ogr2ogr, written byte by byte and read back.
// Paradox tables of pxlib and hand-built older ones pxlib reads: encodings, widths, damage.
#include <gtest/gtest.h>
#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "database/vxr_dbf.h"
#include "database/vxr_pdx.h"
#include "driver/vxs_formats.h"
#include "sheet/vxs_dates.h"
#include "sheet/vxs_sheet.h"
#include "statpack/reader_test_util.h"
#include "test_util.h"

namespace {

using Nums = std::vector<double>;
using Texts = std::vector<std::string>;

std::string dbf(const std::string& name) { return data_path("dbf/" + name); }

Sheet* read_dbf(const std::string& path, int32_t max_columns = 2048) {
    new_run_with_sheet(1), lastsheet = nullptr, VXSMAXCOLUMNS = max_columns;
    return read_dbf_into_sheet(path.c_str()) ? lastsheet : nullptr;
}

std::string collapse_blanks(const std::string& s) {
    return std::regex_replace(std::regex_replace(s, std::regex(" +"), " "), std::regex("^ | $"), "");
}

// Against ogr2ogr by column name: blank runs as one, its dates as day numbers, T/F/blank as 1/0/missing.
void expect_same_as_ogr(const ScratchDir& dir, const std::string& dbf_path) {
    SCOPED_TRACE(dbf_path);
    Sheet* s = read_dbf(dbf_path);
    ASSERT_TRUE(s);
    std::string cmd = "ogr2ogr -f CSV -lco SEPARATOR=TAB " + dir.file("ogr.csv") + " " + dbf_path + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    std::vector<std::vector<std::string>> ogr = tsv_rows(dir.file("ogr.csv"));
    ASSERT_EQ(ogr.size(), static_cast<size_t>(s->row_count) + 1);
    int matched = 0;
    for (size_t c = 0; c < ogr[0].size(); ++c) {
        auto named = [&](const auto& k) { return strcasecmp(k->name.c_str(), ogr[0][c].c_str()) == 0; };
        auto found = std::find_if(s->cols.begin(), s->cols.end(), named);
        if (found == s->cols.end()) continue;
        const Column* col = found->get();
        ++matched;
        for (size_t r = 0; r < static_cast<size_t>(s->row_count); ++r) {
            std::string t = ogr[r + 1].at(c);
            if (t.size() >= 2 && t[0] == '"' && t.back() == '"') t = t.substr(1, t.size() - 2);
            SCOPED_TRACE(col->name + " row " + std::to_string(r + 1) + ": " + t);
            int y, m, d;
            if (col->is_text()) EXPECT_EQ(collapse_blanks(col->text.str(r)), collapse_blanks(t));
            else if (t.empty()) EXPECT_LE(col->num[r], s->missing);
            else if (t == "T" || t == "F") EXPECT_EQ(col->num[r], t == "T" ? 1 : 0);
            else if (t.size() == 10 && std::sscanf(t.c_str(), "%d/%d/%d", &y, &m, &d) == 3)
                EXPECT_EQ(col->num[r], vxs_day_number(d, m, y));
            else {  // ogr2ogr prints the field's declared decimals: within half the last one
                const size_t dot = t.find('.');
                const double v = std::stod(t), shown = dot == std::string::npos ? 0 : 0.5 * std::pow(10.0, dot + 1.0 - t.size());
                EXPECT_NEAR(col->num[r], v, std::max(shown, 1e-9 * std::max(1.0, std::fabs(v))));
            }
        }
    }
    EXPECT_EQ(matched, s->column_count);
}

TEST(DbfRead, HandBuiltTablesCellByCell) {
    Sheet* s = read_dbf(dbf("kinds.dbf"));  // a year byte of 126 (2026) is taken
    ASSERT_TRUE(s && s->column_count == 4 && s->row_count == 4);  // the deleted record is dropped
    const Column *name = s->cols[1].get(), *value = s->cols[2].get(), *when = s->cols[4].get();
    EXPECT_EQ(std::tuple(value->decimals, value->representation, when->representation, when->width),
              std::tuple(2, VXS_REP_FIXED, VXS_REP_GENERAL, 8));
    const double mv = s->missing;
    for (size_t r = 0; r < 4; ++r) EXPECT_EQ(name->text.str(r), (Texts{"alpha", "gamma", "two w", "delta"}[r]));
    EXPECT_TRUE(value->num == (Nums{1.5, mv, mv, 1000}) && s->cols[3]->num == (Nums{1, mv, 0, 1}));
    EXPECT_EQ(when->num, (Nums{vxs_day_number(7, 12, 2026), vxs_day_number(29, 2, 2023), mv, vxs_day_number(31, 1, 2000)}));

    ASSERT_TRUE((s = read_dbf(dbf("dbase2.dbf"))));
    EXPECT_EQ(find_column(s, "NAME")->text.str(2), "nib");
    EXPECT_TRUE(find_column(s, "QTY")->num == (Nums{12, -3, s->missing}) &&
                find_column(s, "FLAG")->num == (Nums{1, 0, s->missing}));
}

// Cut to the column limit, the terminator is still looked for after every declared field.
TEST(DbfRead, MoreFieldsThanTheLimitKeepTheFirst) {
    Sheet* s = nullptr;
    EXPECT_EQ(stdout_of([&] { s = read_dbf(dbf("wide.dbf"), 250); }),
              "Warning Columns above 250 NOT transfered!\n");
    ASSERT_TRUE(s && s->column_count == 250);
    EXPECT_EQ(find_column(s, "F249")->num, (Nums{49, 50}));
}

// GDAL and python3-dbf tables: a third-field memo, logicals, F fields, deletions, FoxPro, today's dates.
TEST(DbfRead, ToolTablesMatchOgr2ogr) {
    if (!tool_present("command -v ogr2ogr")) GTEST_SKIP() << "ogr2ogr (gdal-bin) not installed";
    ScratchDir dir;
    for (const char* f : {"ogr_kinds.dbf", "pydbf_memo.dbf", "pydbf_foxpro.dbf"}) expect_same_as_ogr(dir, dbf(f));
    Sheet* s = read_dbf(dbf("pydbf_memo.dbf"));
    ASSERT_TRUE(s && s->row_count == 3 && !find_column(s, "NOTES"));
}

// A CSV written as .dbf: header and records by hand, then read back by ogr2ogr and this reader.
TEST(DbfWrite, FromCsvByHandAndReadBack) {
    ScratchDir dir;
    write_file(dir.file("in.csv"), "Name,Count,Ratio,Big,Group,VeryLongName1,VeryLongName2\nalpha,1,1.5,1e15,a,1,2\n"
                                   "\"a much longer text, with comma\",-20,*,-3.25e-5,b,3,4\ngamma,*,0.001,7,a,5,6\n");
    RunResult r = run_morvalen(dir.path(), {"in.csv", "out.dbf"});
    std::string b = read_file(dir.file("out.dbf"));
    ASSERT_TRUE(r.status == 0 && b.size() >= 32u) << r.out;
    auto byte = [&](size_t at) { return static_cast<unsigned char>(b.at(at)); };
    EXPECT_EQ(b.substr(0, 5), std::string("\x03\x63\x0A\x01\x03", 5));  // version, date, 3 records
    const size_t header = byte(8) | byte(9) << 8, reclen = byte(10) | byte(11) << 8;
    EXPECT_TRUE(header == 32u * 8 + 1 && b.size() == header + 3 * reclen && b[header - 1] == '\r');  // no EOF mark
    // Name: C, as wide as the longest text plus one; Count: N with six decimals of its own.
    EXPECT_EQ(b.substr(32, 12) + std::to_string(byte(48)), std::string("Name\0\0\0\0\0\0\0C31", 14));
    EXPECT_EQ(b[64 + 11] + std::to_string(byte(64 + 17)), "N6");
    // Records: blank flag, texts left, numbers right ending one byte early, missing blank.
    const size_t count_len = byte(64 + 16);
    EXPECT_EQ(b.substr(header, 7), " alpha ");
    EXPECT_EQ(b.substr(header + 1 + 31, count_len), std::string(count_len - 9, ' ') + "1.000000 ");
    EXPECT_EQ(b.substr(header + 2 * reclen + 1 + 31, count_len), std::string(count_len, ' '));

    Sheet* s = read_dbf(dir.file("out.dbf"));
    ASSERT_TRUE(s);
    const double mv = s->missing;
    EXPECT_EQ(find_column(s, "Name")->text.str(1), "a much longer text, with comma");
    EXPECT_TRUE(find_column(s, "Count")->num == (Nums{1, -20, mv}) &&
                find_column(s, "Ratio")->num == (Nums{1.5, mv, 0.001}));
    // 1e15 is wider than its field in fixed form; six decimals would lose -3.25e-5.
    EXPECT_TRUE(find_column(s, "Big")->num[0] == 1e15 && find_column(s, "Big")->num[1] == -3.25e-5);
    if (!tool_present("command -v ogr2ogr")) GTEST_SKIP() << "ogr2ogr (gdal-bin) not installed";
    expect_same_as_ogr(dir, dir.file("out.dbf"));
}

TEST(DbfWrite, NamesCutToTheSameTenCharactersWarn) {
    Sheet* s = new_run_with_sheet(1);
    create_column_with_memory(s, VXS_VARIATE, "Abcdefghij_1", 1),
    create_column_with_memory(s, VXS_VARIATE, "Abcdefghij_2", 1);
    ScratchDir dir;
    EXPECT_EQ(stdout_of([&] { EXPECT_TRUE(write_sheet_as_dbf(s, dir.file("n.dbf").c_str())); }),
              " Warning: Columns Abcdefghij_1 and Abcdefghij_2 have the same dBase field name Abcdefghij!\n");
}

// Factors are written by their kind: level numbers, level values or labels.
TEST(DbfWrite, EachFactorOriginWrittenItsOwnWay) {
    Sheet* s = new_run_with_sheet(3);
    auto factor = [&](const char* name, int32_t origin, int32_t nlevels, Nums num) {
        Column* c = create_column_with_memory(s, VXS_FACTOR, name, 3);
        c->origin = origin, c->nlevels = nlevels, c->num = num;
        return c;
    };
    factor("Block", 0, 12, {12, 1, s->missing});
    Column* levels = factor("Dose", 1, 2, {2, 1, 2});
    levels->levels = {0.25, 40}, levels->decimals = 2;
    factor("Colour", 2, 2, {2, s->missing, 1})->labels = {"red", "dark blue"};
    ScratchDir dir;
    ASSERT_TRUE(write_sheet_as_dbf(s, dir.file("f.dbf").c_str()));
    const std::string b = read_file(dir.file("f.dbf"));
    const size_t header = 32 * 4 + 1, reclen = 1 + 4 + 7 + 10;
    ASSERT_EQ(b.size(), header + 3 * reclen);
    // N(4,0) for 12 levels, N(7,2) for values to 40, C(10) for labels: one past the widest value.
    for (auto [at, want] : {std::pair{32, "N4,0"}, {64, "N7,2"}, {96, "C10,0"}})
        EXPECT_EQ(b[at + 11] + std::to_string(b[at + 16]) + "," + std::to_string(b[at + 17]), want);
    EXPECT_EQ(b.substr(header, 3 * reclen),
              "  12  40.00 dark blue "
              "   1   0.25           "
              "      40.00 red       ");
}

using Paradox = ReaderTest<read_pdx_into_sheet>;
using Rows = std::vector<std::vector<std::string>>;


TEST_F(Paradox, BothLayoutsConvert) {
    const struct { const char* file; int32_t rows; Rows head; /* the .csv's first lines */ } cases[] = {
        // pxlib's newer layout (version 12): no column for the memo; a zero stored with the sign bit is 0.
        {"pxlib_types", 300, {{"Name", "Small", "Big", "Money", "Num", "Flag", "After"},
                              {"row 1", "-2", "-70000", "12345.67", "0", "0", "1000"},
                              {"row 2", "300", "70001", "-0.25", "0.5", "1", "1001"}}},
        // The older layout: eight zero bytes are blank, a date is its day number, milliseconds seconds.
        {"old_layout", 60, {{"Name", "Price", "SixteenCharsName", "Count", "Ratio", "Day", "Seen", "Clock", "Id"},
                            {"item 0", "12345.67", "1", "-2", "*", "730000", "0", "3723", "1"},
                            {"item 1", "-0.50", "2", "300", "0.125", "730001", "1", "3723", "2"}}},
        // A newer table whose version byte says nothing fails the older checks: the newer offsets.
        {"new_layout_unknown_version", 3, {{"Name", "Price"}, {"item 0", "12345.67"}, {"item 1", "-0.50"}, {"item 2", "-1.00"}}},
    };
    for (const auto& c : cases) {
        Rows csv = convert_whole(std::string("paradox/") + c.file + ".db", c.rows);
        csv.resize(c.head.size());
        EXPECT_EQ(csv, c.head) << c.file;
    }
    EXPECT_EQ(run_morvalen(dir.path(), {copy_sample(dir, "paradox/pxlib_empty.db"), "out.csv"}).status, 4);

    Sheet* old = read(data_path("paradox/old_layout.db"));
    ASSERT_TRUE(old);
    EXPECT_EQ(std::tuple(old->cols[6]->num[59], old->cols[6]->representation, old->cols[9]->num[59]),
              std::tuple(730059, VXS_REP_FIXED, 60));
    // Widths: 12345.67 under a five-letter name gives 4 + 3 + 2 + 1; under a long name, its length + 1.
    EXPECT_EQ(std::tuple(old->cols[2]->width, old->cols[3]->width, old->cols[1]->nlevels), std::tuple(10, 17, 7));
}

TEST_F(Paradox, ValueEncodings) {
    const struct { uint8_t type; std::string bytes; double want; } cases[] = {
        {PDX_SHORT, std::string("\x7F\xFE", 2), -2},   {PDX_SHORT, std::string("\x81\x2C", 2), 300},
        {PDX_SHORT, std::string("\x80\x00", 2), 0},    {PDX_LONG, std::string("\x80\0\0\x05", 4), 5},
        {PDX_TIME, std::string("\x80\0\x03\xE8", 4), 1}, {PDX_NUMBER, std::string("\xBF\xF0\0\0\0\0\0\0", 8), 1},
        {PDX_NUMBER, std::string("\x40\x0F\xFF\xFF\xFF\xFF\xFF\xFF", 8), -1},
        {PDX_NUMBER, std::string(8, '\0'), -1e307},    {PDX_LOGICAL, std::string("\x81", 1), 1}};
    for (const auto& c : cases)
        EXPECT_EQ(pdx_decode(c.type, reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), -1e307), c.want);
}

TEST_F(Paradox, DamagedTables) {
    std::string good = read_file(data_path("paradox/old_layout.db"));
    auto with = [&](size_t at, std::string bytes) { return patched(good, at, bytes); };
    expect_no_data({
        read_file(data_path("paradox/count_lies.db")),
        with(88, std::string("\x07\x04", 2)),   // a type that is never accepted
        with(0, std::string("\0\0", 2)),        // record size 0
        with(2, std::string("\xFF\xFF", 2)),    // header past the file
        with(0, std::string("\x10\0", 2)),      // fields longer than the record
    }, "t.db");
}

}  // namespace
