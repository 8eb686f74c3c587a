// Stata files: releases 103 to 110 in both byte orders (R foreign and a layout script) compared
// cell by cell with what R's foreign package reads back, every storage type and its missing
// code, labels, label tables, and broken files (cut short, lying counts, bad tables).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>

#include "driver/vxs_formats.h"
#include "sheet/vxs_sheet.h"
#include "statpack/vxr_stt.h"
#include "test_util.h"

namespace {

// What foreign holds for one file (see tests/data/stata/expect.R).
struct ExpectVar {
    std::string name, label, table;
    int type = 0;
    std::vector<std::string> cells;
};
struct Expect {
    std::string data_label;
    std::vector<ExpectVar> vars;
    std::map<std::string, std::map<double, std::string>> tables;
};

std::vector<std::string> split_tabs(const std::string& line) {
    std::vector<std::string> f;
    size_t start = 0;
    for (;;) {
        size_t t = line.find('\t', start);
        f.push_back(line.substr(start, t == std::string::npos ? std::string::npos : t - start));
        if (t == std::string::npos) return f;
        start = t + 1;
    }
}

Expect load_expect(const std::string& name) {
    std::ifstream in(data_path("stata/" + name));
    Expect e;
    std::string line;
    std::map<std::string, size_t> index;
    while (std::getline(in, line)) {
        auto f = split_tabs(line);
        if (f[0] == "T") {
            e.data_label = f[1];
        } else if (f[0] == "V") {
            index[f[1]] = e.vars.size();
            e.vars.push_back({f[1], f[3], "", std::stoi(f[2]), {}});
        } else if (f[0] == "N") {
            e.vars[index[f[1]]].table = f[2];
        } else if (f[0] == "L") {
            e.tables[f[1]][std::stod(f[2])] = f[3];
        } else if (f[0] == "D") {
            e.vars[index[f[1]]].cells.push_back(f[3]);
        }
    }
    return e;
}

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

struct Stata : ::testing::Test {
    void SetUp() override {
        vxs_init();
        VXSMAXCOLUMNS = 2048;
        lastsheet = nullptr;
    }
    Sheet* read(const std::string& path) {
        lastsheet = nullptr;
        if (!read_stata_into_sheet(path.c_str())) return nullptr;
        return lastsheet;
    }
};

// The reader's missing rule over what foreign reports: foreign's NA, floats at or above the
// float code, and anything above 1e100.
bool reader_missing(const ExpectVar& v, const std::string& cell) {
    if (cell == "NA") return true;
    double x = std::stod(cell);
    if (v.type == 102 && static_cast<float>(x) >= 1.7e38f) return true;
    return x > 1e100;
}

void check_against(Sheet* s, const Expect& e) {
    EXPECT_EQ(s->source_type, VXT_STATA);
    ASSERT_EQ(s->description_lines.size(), 1u);
    EXPECT_EQ(s->description_lines[0], e.data_label);
    ASSERT_EQ(s->column_count, static_cast<int32_t>(e.vars.size()));
    for (size_t c = 0; c < e.vars.size(); ++c) {
        const ExpectVar& v = e.vars[c];
        const Column* col = s->cols[c + 1].get();
        SCOPED_TRACE(v.name);
        EXPECT_EQ(col->name, v.name);
        EXPECT_EQ(col->extra, v.label.substr(0, 40));
        ASSERT_EQ(col->value_count(), v.cells.size());
        auto table = e.tables.find(v.table);
        for (size_t r = 0; r < v.cells.size(); ++r) {
            SCOPED_TRACE("row " + std::to_string(r + 1));
            const std::string& want = v.cells[r];
            if (v.type >= 128) {
                ASSERT_EQ(col->type, VXS_TEXT);
                std::string t = trim(want);
                std::string got(col->text.get(r));
                if (t.empty())
                    EXPECT_TRUE(got.empty() || got == " ") << "[" << got << "]";
                else
                    EXPECT_EQ(got, t);
                continue;
            }
            double cell = col->num[r];
            if (reader_missing(v, want)) {
                EXPECT_LE(cell, s->missing);
                continue;
            }
            double x = std::stod(want);
            if (v.table.empty()) {
                ASSERT_EQ(col->type, VXS_VARIATE);
                EXPECT_EQ(cell, x);
                continue;
            }
            // A variable naming a label table is a factor whose level values are the data.
            ASSERT_EQ(col->type, VXS_FACTOR);
            ASSERT_GE(cell, 1);
            ASSERT_LE(cell, col->nlevels);
            size_t k = static_cast<size_t>(cell) - 1;
            double level = col->levels.empty() ? cell : col->levels[k];
            EXPECT_EQ(level, x);
            if (table == e.tables.end()) {
                EXPECT_TRUE(col->labels.empty());
            } else {
                ASSERT_EQ(col->labels.size(), static_cast<size_t>(col->nlevels));
                auto lab = table->second.find(x);
                char buf[64];
                std::snprintf(buf, sizeof buf, "%.12g", x);
                EXPECT_EQ(col->labels[k], lab != table->second.end() ? lab->second : buf);
                EXPECT_EQ(col->origin, 2);
            }
        }
    }
}

struct StataFile {
    const char* file;
    const char* expect;
};

class StataFiles : public Stata, public ::testing::WithParamInterface<StataFile> {};

TEST_P(StataFiles, HoldsWhatForeignReadsBack) {
    Sheet* s = read(data_path(std::string("stata/") + GetParam().file));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->missing, vxs_missing);
    check_against(s, load_expect(GetParam().expect));
}

// foreign reads no releases before 105 and no label tables before 108; the script writes one
// data set into every release and byte order, so s108_le.expect stands for all of them.
INSTANTIATE_TEST_SUITE_P(Tools, StataFiles,
                         ::testing::Values(StataFile{"foreign_v6.dta", "foreign_v6.expect"},
                                           StataFile{"foreign_v7.dta", "foreign_v7.expect"},
                                           StataFile{"s103_le.dta", "s108_le.expect"},
                                           StataFile{"s103_be.dta", "s108_le.expect"},
                                           StataFile{"s104_le.dta", "s108_le.expect"},
                                           StataFile{"s104_be.dta", "s108_le.expect"},
                                           StataFile{"s105_le.dta", "s108_le.expect"},
                                           StataFile{"s105_be.dta", "s108_le.expect"},
                                           StataFile{"s108_le.dta", "s108_le.expect"},
                                           StataFile{"s108_be.dta", "s108_be.expect"},
                                           StataFile{"s110_le.dta", "s110_le.expect"},
                                           StataFile{"s110_be.dta", "s110_be.expect"}),
                         [](const auto& info) {
                             std::string n = info.param.file;
                             return n.substr(0, n.find('.'));
                         });

TEST_F(Stata, MissingCodesOfEveryType) {
    Sheet* s = read(data_path("stata/s110_be.dta"));
    ASSERT_NE(s, nullptr);
    // Row 3 holds each type's missing code; row 2 the smallest values, which stay.
    for (int c = 1; c <= 5; ++c)
        EXPECT_LE(s->cols[static_cast<size_t>(c)]->num[2], s->missing) << c;
    EXPECT_EQ(s->cols[1]->num[1], -127);
    EXPECT_EQ(s->cols[2]->num[1], -32767);
    EXPECT_EQ(s->cols[3]->num[1], -2147483647);
    // A float of 1.7e38 and one above it, and a double of 1e101, are missing; 1e-300 is not.
    EXPECT_LE(s->cols[4]->num[3], s->missing);
    EXPECT_LE(s->cols[4]->num[4], s->missing);
    EXPECT_LE(s->cols[5]->num[3], s->missing);
    EXPECT_EQ(s->cols[5]->num[4], 1e-300);
    EXPECT_EQ(s->cols[4]->num[0], 1.5);
    EXPECT_EQ(stata_is_missing(vxs_missing, 1e100), 0);
    EXPECT_EQ(stata_is_missing(vxs_missing, 1.0000001e100), 1);
    EXPECT_EQ(stata_is_missing(vxs_missing, NAN), 1);
    EXPECT_EQ(stata_is_missing(vxs_missing, -INFINITY), 1);
    EXPECT_EQ(stata_is_missing(vxs_missing, -1e306), 0);
}

TEST_F(Stata, LabelTablesAndNames) {
    Sheet* s = read(data_path("stata/s110_le.dta"));
    ASSERT_NE(s, nullptr);
    // Release 110 has 32-character name fields; the names come out the same.
    EXPECT_EQ(s->cols[6]->name, "text");
    const Column* grade = s->cols[7].get();
    ASSERT_EQ(grade->type, VXS_FACTOR);
    EXPECT_EQ(grade->labels, (std::vector<std::string>{"Good", "Fair", "Poor"}));
    EXPECT_EQ(grade->longest_label, 4);
    EXPECT_EQ(grade->text_capacity, 41);
    // A string of type 137 holds 10 characters.
    EXPECT_EQ(s->cols[6]->text.get(2), "0123456789");
    // Tied to a table the file lacks: a factor without labels.
    const Column* nolab = s->cols[8].get();
    ASSERT_EQ(nolab->type, VXS_FACTOR);
    EXPECT_TRUE(nolab->labels.empty());
    EXPECT_EQ(nolab->levels, (std::vector<double>{4, 5}));
}

TEST_F(Stata, LevelsAreSortedEvenWithInputOptionU) {
    vxs_get_global_defaults()->sort_levels = 0;
    Sheet* s = read(data_path("stata/foreign_v7.dta"));
    ASSERT_NE(s, nullptr);
    const Column* colour = s->cols[4].get();
    ASSERT_EQ(colour->type, VXS_FACTOR);
    EXPECT_EQ(colour->labels, (std::vector<std::string>{"blue", "green", "red"}));
    EXPECT_EQ(vxs_get_global_defaults()->sort_levels, 0);
}

TEST_F(Stata, StripOptionOffKeepsBlanks) {
    vxs_get_global_defaults()->factor_strip_blanks = 0;
    Sheet* s = read(data_path("stata/s108_le.dta"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->cols[6]->text.get(3), "  pad  ");
}

TEST_F(Stata, ColumnsAboveTheLimitAreDroppedWithAWarning) {
    VXSMAXCOLUMNS = 3;
    testing::internal::CaptureStdout();
    Sheet* s = read(data_path("stata/s105_be.dta"));
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(out, "Warning Columns above 3 NOT transfered!\n");
    EXPECT_EQ(s->column_count, 3);
    EXPECT_EQ(s->cols[3]->num[0], 70000);
}

// ---- Label table faults ------------------------------------------------------------------

// The s108_le file up to its label table, followed by other bytes.
std::string with_table(const std::string& table) {
    std::string bytes = read_file(data_path("stata/s108_le.dta"));
    size_t at = bytes.rfind("gradelab");
    return bytes.substr(0, at - 4) + table;
}

std::string le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
    return s;
}

TEST_F(Stata, LabelTableFaultsKeepTheSheet) {
    ScratchDir dir;
    struct Case {
        std::string table, message;
    };
    const Case cases[] = {
        {le32(0) + "junk", ""},
        {le32(6000000), "Error: Illegal label table in Stata file!\n"},
        {le32(100) + std::string("gradelab\0\0\0\0", 12) + le32(70000),
         "Error: Illegal number of labels in Stata file!\n"},
        {le32(100) + std::string("gradelab\0\0\0\0", 12) + le32(0),
         "Error: Illegal number of labels in Stata file!\n"},
        {le32(100) + std::string("gradelab\0\0\0\0", 12) + le32(3) + le32(0x7fffffff), ""},
    };
    for (const Case& c : cases) {
        write_file(dir.file("t.dta"), with_table(c.table));
        testing::internal::CaptureStdout();
        Sheet* s = read(dir.file("t.dta"));
        std::string out = testing::internal::GetCapturedStdout();
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(out, c.message);
        EXPECT_EQ(s->row_count, 5);
        // No table was read: the tied variable is a factor without labels.
        EXPECT_EQ(s->cols[7]->type, VXS_FACTOR);
        EXPECT_TRUE(s->cols[7]->labels.empty());
    }
}

// ---- Broken files ------------------------------------------------------------------------

TEST_F(Stata, FilesCutAnywhereNeverCrash) {
    for (const char* f : {"s105_be.dta", "s110_le.dta", "foreign_v6.dta"}) {
        std::string bytes = read_file(data_path(std::string("stata/") + f));
        ScratchDir dir;
        for (size_t cut = 0; cut < bytes.size(); cut += 5) {
            write_file(dir.file("cut.dta"), bytes.substr(0, cut));
            testing::internal::CaptureStdout();  // warnings of cut files are expected
            Sheet* s = read(dir.file("cut.dta"));
            testing::internal::GetCapturedStdout();
            if (!s) continue;
            for (size_t c = 1; c < s->cols.size(); ++c)
                EXPECT_EQ(s->cols[c]->value_count(), static_cast<size_t>(s->row_count)) << cut;
        }
    }
}

TEST_F(Stata, BrokenHeadersFailWithStatusFive) {
    std::string good = read_file(data_path("stata/s108_le.dta"));
    ScratchDir dir;
    auto patched = [&](size_t at, std::string bytes) {
        std::string b = good;
        b.replace(at, bytes.size(), bytes);
        return b;
    };
    const std::string broken[] = {
        good.substr(0, 50),                      // cut in the data label
        good.substr(0, 300),                     // cut in the variable lists
        patched(0, "\x6d"),                      // release 109: detected as Stata, not read
        patched(4, std::string("\0\0", 2)),      // no variables
        patched(6, std::string("\0\0\0\0", 4)),  // no observations
        patched(108, "\x01"),                    // time stamp not ended by a zero byte
        patched(109, "x"),                       // unknown storage type
    };
    for (size_t i = 0; i < std::size(broken); ++i) {
        write_file(dir.file("bad.dta"), broken[i]);
        RunResult r = run_morvalen(dir.path(), {"bad.dta", "out.csv"});
        EXPECT_EQ(r.status, 5) << i;
        EXPECT_EQ(r.out, " Error: No valid data in input file bad.dta!\n") << i;
    }
}

TEST_F(Stata, LyingCountsSizeNothing) {
    std::string good = read_file(data_path("stata/s108_le.dta"));
    ScratchDir dir;
    // Two thousand million observations announced: only as many as the bytes after the
    // variable descriptions can hold are read (the label table's bytes among them).
    std::string b = good;
    b.replace(6, 4, le32(0x7fffffff));
    write_file(dir.file("n.dta"), b);
    Sheet* s = read(dir.file("n.dta"));
    ASSERT_NE(s, nullptr);
    EXPECT_LE(s->row_count, 7);
    EXPECT_EQ(s->cols[1]->num[0], 1);
    // 32767 variables announced in a file of a thousand bytes.
    b = good;
    b.replace(4, 2, std::string("\xff\x7f", 2));
    write_file(dir.file("v.dta"), b);
    EXPECT_EQ(read(dir.file("v.dta")), nullptr);
    // An expansion field longer than the file.
    std::string f5 = read_file(data_path("stata/s105_le.dta"));
    size_t at = f5.find("_dta") - 3;
    f5.replace(at + 1, 2, std::string("\xff\x7f", 2));
    write_file(dir.file("x.dta"), f5);
    EXPECT_EQ(read(dir.file("x.dta")), nullptr);
}

}  // namespace

namespace {

// ---- Whole conversions -------------------------------------------------------------------

TEST(StataConversion, EveryFileConvertsToCsvAndVsh) {
    for (const char* f : {"foreign_v6.dta", "foreign_v7.dta", "s103_le.dta", "s103_be.dta",
                          "s104_le.dta", "s104_be.dta", "s105_le.dta", "s105_be.dta", "s108_le.dta",
                          "s108_be.dta", "s110_le.dta", "s110_be.dta"}) {
        SCOPED_TRACE(f);
        ScratchDir dir;
        write_file(dir.file("in.dta"), read_file(data_path(std::string("stata/") + f)));
        RunResult r = run_morvalen(dir.path(), {"in.dta", "out.vsh"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, " 5 records transferred.\n");
        EXPECT_TRUE(file_exists(dir.file("out.vsh")));
        r = run_morvalen(dir.path(), {"in.dta", "out.csv"});
        EXPECT_EQ(r.status, 0);
        std::string csv = read_file(dir.file("out.csv"));
        EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 6);
        if (f[0] == 's') {
            EXPECT_EQ(csv.rfind("tiny, small,", 0), 0u) << csv;
            EXPECT_NE(csv.find("'Poor'"), std::string::npos) << csv;
        } else {
            EXPECT_NE(csv.find("'green'"), std::string::npos) << csv;
        }
    }
}

}  // namespace

TEST_F(Stata, DailyDateFormatMakesADateColumn) {
    // s110_le.dta: 8 variables; give the 4-byte integer "whole" the format "%d" (days since
    // 1 January 1960) in the format list after the header, types, names and sort list.
    std::string bytes = read_file(data_path("stata/s110_le.dta"));
    const size_t nvar = 8, fmt_list = 109 + nvar + 33 * nvar + 2 * (nvar + 1);
    ASSERT_EQ(bytes.substr(fmt_list + 12 * 2, 5), "%9.0g");
    bytes.replace(fmt_list + 12 * 2, 5, std::string("%d\0\0\0", 5));
    ScratchDir dir;
    write_file(dir.file("dated.dta"), bytes);
    Sheet* s = read(dir.file("dated.dta"));
    ASSERT_NE(s, nullptr);
    const Column* whole = s->cols[3].get();
    EXPECT_EQ(whole->name, "whole");
    EXPECT_EQ(whole->representation, VXS_REP_DATE);
    EXPECT_EQ(whole->num[0], 70000 + 21916.0);  // day 70000 after 1 Jan 1960
    EXPECT_EQ(whole->num[4], 5 + 21916.0);      // 6 January 1960
    EXPECT_LE(whole->num[2], s->missing);
    // Other variables keep their values.
    EXPECT_EQ(s->cols[2]->representation, VXS_REP_GENERAL);
    EXPECT_EQ(s->cols[2]->num[0], 300);
}
