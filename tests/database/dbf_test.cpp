// dBase tables: hand-built files read cell by cell, broken headers through the whole program,
// tool-made tables against ogr2ogr's own reading, and written tables read back by ogr2ogr,
// python3-dbf and this reader.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "database/vxr_dbf.h"
#include "driver/vxs_formats.h"
#include "sheet/vxs_access.h"
#include "sheet/vxs_dates.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {


std::string dbf(const std::string& name) { return data_path("dbf/" + name); }

Sheet* read_dbf(const std::string& path) {
    new_run_with_sheet(1);
    lastsheet = nullptr;
    VXSMAXCOLUMNS = 2048;
    return read_dbf_into_sheet(path.c_str()) ? lastsheet : nullptr;
}


// A CSV line split into trimmed cells; quotes of either kind (ogr2ogr's double, our single)
// are removed with their doubled inner quotes.
std::vector<std::string> split_csv(const std::string& line) {
    std::vector<std::string> cells;
    std::string cur;
    char quote = 0;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quote) {
            if (c == quote && i + 1 < line.size() && line[i + 1] == quote) {
                cur += c;
                ++i;
            } else if (c == quote) {
                quote = 0;
            } else {
                cur += c;
            }
        } else if ((c == '"' || c == '\'') && cur.find_first_not_of(' ') == std::string::npos) {
            quote = c;
            quoted = true;
            cur.clear();
        } else if (c == ',') {
            if (!quoted) {
                size_t a = cur.find_first_not_of(' '), b = cur.find_last_not_of(' ');
                cur = a == std::string::npos ? "" : cur.substr(a, b - a + 1);
            }
            cells.push_back(cur);
            cur.clear();
            quoted = false;
        } else if (!quoted || c != ' ') {
            cur += c;
        }
    }
    if (!quoted) {
        size_t a = cur.find_first_not_of(' '), b = cur.find_last_not_of(' ');
        cur = a == std::string::npos ? "" : cur.substr(a, b - a + 1);
    }
    cells.push_back(cur);
    return cells;
}

// Columns of a CSV file by heading (suffixes such as "!" or ":2" dropped, case folded).
std::map<std::string, std::vector<std::string>> read_csv_columns(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    std::vector<std::string> heads;
    std::map<std::string, std::vector<std::string>> cols;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> cells = split_csv(line);
        if (heads.empty()) {
            for (auto h : cells) {
                h = h.substr(0, h.find_first_of("!:#$"));
                for (char& c : h)
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                heads.push_back(h);
            }
            continue;
        }
        for (size_t i = 0; i < heads.size(); ++i)
            cols[heads[i]].push_back(i < cells.size() ? cells[i] : "");
    }
    return cols;
}

std::string collapse_blanks(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ' || (!out.empty() && out.back() != ' ')) out += c;
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// Same cell: the same text (runs of blanks read as one), both empty or missing, equal
// numbers, an ogr2ogr date equal to our day number, or an ogr2ogr logical letter equal to our
// 1, 0 or missing.
bool same_cell(const std::string& ours, const std::string& theirs) {
    if (collapse_blanks(ours) == collapse_blanks(theirs)) return true;
    bool ours_missing = ours.empty() || ours == "*";
    if (theirs.size() == 1 && std::strchr("TtYyFfNn?", theirs[0])) {
        bool truth = std::strchr("TtYy", theirs[0]) != nullptr;
        if (theirs[0] == '?') return ours_missing;
        return ours == (truth ? "1" : "0");
    }
    if (ours_missing || theirs.empty()) return ours_missing && theirs.empty();
    int y, m, d;
    if (std::sscanf(theirs.c_str(), "%d/%d/%d", &y, &m, &d) == 3 && theirs.size() == 10)
        return std::fabs(std::atof(ours.c_str()) - vxs_day_number(d, m, y)) < 1e-9;
    char* e1;
    char* e2;
    double a = std::strtod(ours.c_str(), &e1), b = std::strtod(theirs.c_str(), &e2);
    if (*e1 == 0 && *e2 == 0 && e1 != ours.c_str())
        return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b));
    return ours == theirs;
}

// Every column of ours is compared with ogr2ogr's column of the same name, row by row.
void expect_same_as_ogr(const std::string& dir, const std::string& dbf_path,
                        const std::string& ours_csv) {
    std::string ogr_csv = dir + "/ogr.csv";
    std::string cmd = "ogr2ogr -f CSV " + ogr_csv + " " + dbf_path + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    auto ours = read_csv_columns(read_file(ours_csv));
    auto theirs = read_csv_columns(read_file(ogr_csv));
    ASSERT_FALSE(ours.empty());
    for (const auto& [name, cells] : ours) {
        ASSERT_TRUE(theirs.count(name)) << name;
        const auto& other = theirs[name];
        ASSERT_EQ(cells.size(), other.size()) << name;
        for (size_t r = 0; r < cells.size(); ++r)
            EXPECT_TRUE(same_cell(cells[r], other[r]))
                << name << " row " << r + 1 << ": " << cells[r] << " vs " << other[r];
    }
}

TEST(DbfRead, HandBuiltTablesCellByCell) {
    Sheet* s = read_dbf(dbf("kinds.dbf"));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->row_count, 4);  // the deleted record is dropped
    EXPECT_EQ(s->column_count, 4);
    Column* name = find_column(s, "NAME");
    Column* value = find_column(s, "VALUE");
    Column* ok = find_column(s, "OK");
    Column* when = find_column(s, "WHEN");
    ASSERT_TRUE(name && value && ok && when);
    EXPECT_EQ(name->type, VXS_TEXT);
    EXPECT_EQ(value->type, VXS_VARIATE);
    EXPECT_EQ(value->decimals, 2);
    const double mv = s->missing;
    const std::vector<std::string> names = {"alpha", "gamma", "two w", "delta"};
    const std::vector<double> values = {1.5, mv, mv, 1000};
    const std::vector<double> oks = {1, mv, 0, 1};
    const std::vector<double> whens = {vxs_day_number(7, 12, 2026), vxs_day_number(29, 2, 2023), mv,
                                       vxs_day_number(31, 1, 2000)};
    for (size_t r = 0; r < 4; ++r) {
        EXPECT_EQ(name->text.str(r), names[r]) << r;
        EXPECT_EQ(value->num[r], values[r]) << r;
        EXPECT_EQ(ok->num[r], oks[r]) << r;
        EXPECT_EQ(when->num[r], whens[r]) << r;
    }
    EXPECT_EQ(when->width, 8);
    EXPECT_EQ(value->representation, VXS_REP_FIXED);
    EXPECT_EQ(when->representation, VXS_REP_GENERAL);

    s = read_dbf(dbf("dbase2.dbf"));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->row_count, 3);
    ASSERT_TRUE(find_column(s, "QTY") && find_column(s, "FLAG") && find_column(s, "NAME"));
    EXPECT_EQ(find_column(s, "NAME")->text.str(2), "nib");
    EXPECT_EQ(find_column(s, "QTY")->num, (std::vector<double>{12, -3, s->missing}));
    EXPECT_EQ(find_column(s, "FLAG")->num, (std::vector<double>{1, 0, s->missing}));
}

TEST(DbfRead, MoreFieldsThanTheLimitKeepTheFirst) {
    new_run_with_sheet(1);
    lastsheet = nullptr;
    VXSMAXCOLUMNS = 250;
    int16_t ok = 0;
    EXPECT_EQ(stdout_of([&] { ok = read_dbf_into_sheet(dbf("wide.dbf").c_str()); }),
              "Warning Columns above 250 NOT transfered!\n");
    ASSERT_TRUE(ok);
    EXPECT_EQ(lastsheet->column_count, 250);
    EXPECT_EQ(find_column(lastsheet, "F249")->num, (std::vector<double>{49, 50}));
}

// Tables written by GDAL and python3-dbf (tests/data/dbf/make_dbf.sh) against ogr2ogr's
// reading of the same files.
TEST(DbfRead, ToolTablesMatchOgr2ogr) {
    if (!tool_present("command -v ogr2ogr")) GTEST_SKIP() << "ogr2ogr (gdal-bin) not installed";
    for (const char* f : {"ogr_kinds.dbf", "pydbf_memo.dbf", "pydbf_foxpro.dbf"}) {
        SCOPED_TRACE(f);
        ScratchDir dir;
        write_file(dir.file(f), read_file(dbf(f)));
        RunResult r = run_morvalen(dir.path(), {f, "ours.csv"});
        ASSERT_EQ(r.status, 0) << r.out;
        expect_same_as_ogr(dir.path(), dbf(f), dir.file("ours.csv"));
    }
}

TEST(DbfRead, MemoFieldInThirdPlaceHasNoColumn) {
    Sheet* s = read_dbf(dbf("pydbf_memo.dbf"));
    ASSERT_TRUE(s);
    for (auto& c : s->cols) EXPECT_NE(c->name, "NOTES");
    ASSERT_TRUE(find_column(s, "NAME") && find_column(s, "QTY") && find_column(s, "PRICE"));
    EXPECT_EQ(find_column(s, "PRICE")->num[0], 1.25);
}

// A CSV written as .dbf and read back by ogr2ogr, python3-dbf and this reader.
class DbfWrite : public testing::Test {
protected:
    void SetUp() override {
        write_file(dir.file("in.csv"),
                   "Name,Count,Ratio,Big,Group,VeryLongName1,VeryLongName2\n"
                   "alpha,1,1.5,1e15,a,1,2\n"
                   "\"a much longer text, with comma\",-20,*,-3.25e-5,b,3,4\n"
                   "gamma,*,0.001,7,a,5,6\n");
        r = run_morvalen(dir.path(), {"in.csv", "out.dbf"});
    }
    ScratchDir dir;
    RunResult r;
};

TEST_F(DbfWrite, HeaderAndRecordsByHand) {
    ASSERT_EQ(r.status, 0) << r.out;
    std::string b = read_file(dir.file("out.dbf"));
    ASSERT_GE(b.size(), 32u);
    EXPECT_EQ(b.substr(0, 4), std::string("\x03\x63\x0A\x01", 4));
    EXPECT_EQ(static_cast<unsigned char>(b[4]), 3);  // records
    size_t header = static_cast<unsigned char>(b[8]) | static_cast<unsigned char>(b[9]) << 8;
    size_t reclen = static_cast<unsigned char>(b[10]) | static_cast<unsigned char>(b[11]) << 8;
    EXPECT_EQ(header, 32u * 8 + 1);
    EXPECT_EQ(b.size(), header + 3 * reclen);  // no end-of-file marker
    EXPECT_EQ(b[header - 1], '\r');
    // Name: text field as wide as the longest text plus one.
    EXPECT_EQ(b.substr(32, 11), std::string("Name\0\0\0\0\0\0\0", 11));
    EXPECT_EQ(b[32 + 11], 'C');
    EXPECT_EQ(static_cast<unsigned char>(b[32 + 16]), 31);
    // Count: whole numbers without decimals set are declared with six.
    EXPECT_EQ(b[64 + 11], 'N');
    EXPECT_EQ(b[64 + 17], 6);
    // First record: blank flag, text at the left, numbers at the right ending one byte early.
    std::string rec = b.substr(header, reclen);
    EXPECT_EQ(rec.substr(0, 7), " alpha ");
    size_t count_len = static_cast<unsigned char>(b[64 + 16]);
    EXPECT_EQ(rec.substr(1 + 31, count_len), std::string(count_len - 9, ' ') + "1.000000 ");
    // A missing number is blanks.
    std::string rec3 = b.substr(header + 2 * reclen, reclen);
    EXPECT_EQ(rec3.substr(1 + 31, count_len), std::string(count_len, ' '));
}

TEST(DbfWriteNames, NamesCutToTheSameTenCharactersWarn) {
    Sheet* s = new_run_with_sheet(1);
    create_column_with_memory(s, VXS_VARIATE, "Abcdefghij_1", 1);
    create_column_with_memory(s, VXS_VARIATE, "Abcdefghij_2", 1);
    ScratchDir dir;
    EXPECT_EQ(stdout_of([&] { EXPECT_TRUE(write_sheet_as_dbf(s, dir.file("n.dbf").c_str())); }),
              " Warning: Columns Abcdefghij_1 and Abcdefghij_2 have the same dBase field name "
              "Abcdefghij!\n");
}

// Factors are written by their kind: level numbers, level values or labels.
TEST(DbfWriteFactors, EachOriginWrittenItsOwnWay) {
    Sheet* s = new_run_with_sheet(3);
    Column* ordinal = create_column_with_memory(s, VXS_FACTOR, "Block", 3);
    ordinal->nlevels = 12;
    ordinal->num = {12, 1, s->missing};
    Column* levels = create_column_with_memory(s, VXS_FACTOR, "Dose", 3);
    levels->nlevels = 2;
    levels->origin = 1;
    levels->levels = {0.25, 40};
    levels->decimals = 2;
    levels->num = {2, 1, 2};
    Column* labels = create_column_with_memory(s, VXS_FACTOR, "Colour", 3);
    labels->nlevels = 2;
    labels->origin = 2;
    labels->labels = {"red", "dark blue"};
    labels->num = {2, s->missing, 1};
    ScratchDir dir;
    ASSERT_TRUE(write_sheet_as_dbf(s, dir.file("f.dbf").c_str()));
    std::string b = read_file(dir.file("f.dbf"));
    // Descriptors: N(4,0) for 12 levels, N(7,2) for level values up to 40, C(10) for labels:
    // each field one wider than its widest value.
    ASSERT_GE(b.size(), 129u);
    EXPECT_EQ(
        std::string(1, b[32 + 11]) + std::to_string(b[32 + 16]) + "," + std::to_string(b[32 + 17]),
        "N4,0");
    EXPECT_EQ(
        std::string(1, b[64 + 11]) + std::to_string(b[64 + 16]) + "," + std::to_string(b[64 + 17]),
        "N7,2");
    EXPECT_EQ(
        std::string(1, b[96 + 11]) + std::to_string(b[96 + 16]) + "," + std::to_string(b[96 + 17]),
        "C10,0");
    const size_t header = 32 * 4 + 1, reclen = 1 + 4 + 7 + 10;
    ASSERT_EQ(b.size(), header + 3 * reclen);
    EXPECT_EQ(b.substr(header, reclen), "  12  40.00 dark blue ");
    EXPECT_EQ(b.substr(header + reclen, reclen), "   1   0.25           ");
    EXPECT_EQ(b.substr(header + 2 * reclen, reclen), "      40.00 red       ");
}

TEST_F(DbfWrite, ReadBackByThisReader) {
    ASSERT_EQ(r.status, 0) << r.out;
    Sheet* s = read_dbf(dir.file("out.dbf"));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->row_count, 3);
    EXPECT_EQ(find_column(s, "Name")->text.str(1), "a much longer text, with comma");
    EXPECT_EQ(find_column(s, "Count")->num, (std::vector<double>{1, -20, s->missing}));
    EXPECT_EQ(find_column(s, "Ratio")->num, (std::vector<double>{1.5, s->missing, 0.001}));
    EXPECT_EQ(find_column(s, "Big")->num[0], 1e15);
    EXPECT_EQ(find_column(s, "Big")->num[1], -3.25e-5);  // six decimals would lose it
}

TEST_F(DbfWrite, ReadBackByOgr2ogr) {
    if (!tool_present("command -v ogr2ogr")) GTEST_SKIP() << "ogr2ogr (gdal-bin) not installed";
    ASSERT_EQ(r.status, 0) << r.out;
    ASSERT_EQ(run_morvalen(dir.path(), {"out.dbf", "ours.csv"}).status, 0);
    expect_same_as_ogr(dir.path(), dir.file("out.dbf"), dir.file("ours.csv"));
}

}  // namespace
