// Stata files: releases 103 to 110 in both byte orders (R foreign and a layout script) compared
// cell by cell with what R's foreign package reads back, options, label tables, daily dates, and
// broken files (cut short, lying counts, bad tables).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>

#include "driver/vxs_formats.h"
#include "sheet/vxs_sheet.h"
#include "statpack/reader_test_util.h"
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

Expect load_expect(const std::string& name) {
    std::ifstream in(data_path("stata/" + name + ".expect"));
    Expect e;
    std::map<std::string, size_t> index;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> f = tab_fields(line);
        if (f[0] == "T") e.data_label = f[1];
        if (f[0] == "V") index[f[1]] = e.vars.size();
        if (f[0] == "V") e.vars.push_back({f[1], f[3], "", std::stoi(f[2]), {}});
        if (f[0] == "N") e.vars[index[f[1]]].table = f[2];
        if (f[0] == "L") e.tables[f[1]][std::stod(f[2])] = f[3];
        if (f[0] == "D") e.vars[index[f[1]]].cells.push_back(f[3]);
    }
    return e;
}

using Stata = ReaderTest<read_stata_into_sheet>;

// Checks the sheet against what foreign holds. Missing is foreign's NA, floats at or above the
// float code, and anything above 1e100; a variable naming a label table is a factor whose level
// values are the data, labelled from the table (unlabelled values printed).
void check_against(Sheet* s, const Expect& e) {
    EXPECT_EQ(s->source_type, VXT_STATA);
    EXPECT_EQ(s->description_lines, std::vector<std::string>{e.data_label});
    ASSERT_EQ(s->column_count, static_cast<int32_t>(e.vars.size()));
    for (size_t c = 0; c < e.vars.size(); ++c) {
        const ExpectVar& v = e.vars[c];
        const Column* col = s->cols[c + 1].get();
        SCOPED_TRACE(v.name);
        EXPECT_EQ(col->name, v.name);
        EXPECT_EQ(col->extra, v.label.substr(0, 40));
        ASSERT_EQ(col->value_count(), v.cells.size());
        ASSERT_EQ(col->type, v.type >= 128 ? VXS_TEXT : v.table.empty() ? VXS_VARIATE : VXS_FACTOR);
        auto table = e.tables.find(v.table);
        for (size_t r = 0; r < v.cells.size(); ++r) {
            SCOPED_TRACE("row " + std::to_string(r + 1));
            const std::string& want = v.cells[r];
            if (col->type == VXS_TEXT) {
                std::string got(col->text.get(r));
                EXPECT_EQ(got == " " ? "" : got, trim(want));
                continue;
            }
            double x = want == "NA" ? HUGE_VAL : std::stod(want);
            if (x > 1e100 || (v.type == 102 && static_cast<float>(x) >= 1.7e38f)) {
                EXPECT_LE(col->num[r], s->missing);
            } else if (col->type == VXS_VARIATE) {
                EXPECT_EQ(col->num[r], x);
            } else {
                size_t k = static_cast<size_t>(col->num[r]) - 1;
                ASSERT_TRUE(col->num[r] >= 1 && k < size_t(col->nlevels));
                EXPECT_EQ(col->levels.empty() ? col->num[r] : col->levels[k], x);
                if (table == e.tables.end()) {
                    EXPECT_TRUE(col->labels.empty());
                    continue;
                }
                ASSERT_EQ(col->labels.size(), size_t(col->nlevels));
                char buf[64];
                std::snprintf(buf, sizeof buf, "%.12g", x);
                auto lab = table->second.find(x);
                EXPECT_EQ(col->labels[k], lab != table->second.end() ? lab->second : buf);
                EXPECT_EQ(col->origin, 2);
            }
        }
    }
}

// Every file read against what foreign holds, then converted whole to .vsh and .csv. foreign
// reads no releases before 105 and no label tables before 108; the script writes one data set
// into every release and byte order, so s108_le.expect stands for the older ones.
TEST_F(Stata, EveryFileHoldsWhatForeignReadsBackAndConverts) {
    for (std::string f : {"foreign_v6", "foreign_v7", "s103_le", "s103_be", "s104_le", "s104_be",
                          "s105_le", "s105_be", "s108_le", "s108_be", "s110_le", "s110_be"}) {
        SCOPED_TRACE(f);
        Sheet* s = read(data_path("stata/" + f + ".dta"));
        ASSERT_NE(s, nullptr);
        check_against(s, load_expect(f[0] == 's' && f < "s108" ? "s108_le" : f));

        write_file(dir.file("in.dta"), read_file(data_path("stata/" + f + ".dta")));
        RunResult r = run_morvalen(dir.path(), {"in.dta", "out.vsh"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, " 5 records transferred.\n");
        EXPECT_TRUE(file_exists(dir.file("out.vsh")));
        ASSERT_EQ(run_morvalen(dir.path(), {"in.dta", "out.csv"}).status, 0);
        std::string csv = read_file(dir.file("out.csv"));
        EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 6);
        EXPECT_TRUE(f[0] == 'f' || csv.rfind("tiny, small,", 0) == 0) << csv;
        EXPECT_NE(csv.find(f[0] == 'f' ? "'green'" : "'Poor'"), std::string::npos) << csv;
    }
}

TEST_F(Stata, MissingBoundaryAndLevelOrder) {
    // Missing above 1e100 and not a number; very negative values are data.
    for (auto [x, missing] :
         {std::pair{1e100, 0}, {1.0000001e100, 1}, {NAN, 1}, {-INFINITY, 1}, {-1e306, 0}})
        EXPECT_EQ(stata_is_missing(vxs_missing, x), missing) << x;
    Sheet* s = read(data_path("stata/s110_le.dta"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->cols[7]->labels, (std::vector<std::string>{"Good", "Fair", "Poor"}));
    EXPECT_EQ(s->cols[7]->longest_label, 4);
}

TEST_F(Stata, InputOptionsAndColumnLimit) {
    // Levels are sorted even with /u (which is left as it was); stripping off keeps blanks.
    vxs_get_global_defaults()->sort_levels = 0;
    Sheet* s = read(data_path("stata/foreign_v7.dta"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->cols[4]->labels, (std::vector<std::string>{"blue", "green", "red"}));
    EXPECT_EQ(vxs_get_global_defaults()->sort_levels, 0);
    vxs_get_global_defaults()->factor_strip_blanks = 0;
    ASSERT_NE(s = read(data_path("stata/s108_le.dta")), nullptr);
    EXPECT_EQ(s->cols[6]->text.get(3), "  pad  ");

    VXSMAXCOLUMNS = 3;
    EXPECT_EQ(stdout_of([&] { s = read(data_path("stata/s105_be.dta")); }),
              "Warning Columns above 3 NOT transfered!\n");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->column_count, 3);
    EXPECT_EQ(s->cols[3]->num[0], 70000);
}

TEST_F(Stata, DailyDateFormatMakesADateColumn) {
    // s110_le.dta: 8 variables; give the 4-byte integer "whole" the format "%d" (days since
    // 1 January 1960) in the format list after the header, types, names and sort list.
    std::string bytes = read_file(data_path("stata/s110_le.dta"));
    const size_t nvar = 8, at = 109 + nvar + 33 * nvar + 2 * (nvar + 1) + 12 * 2;
    ASSERT_EQ(bytes.substr(at, 5), "%9.0g");
    bytes.replace(at, 5, std::string("%d\0\0\0", 5));
    Sheet* s = read_bytes(bytes);
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

// ---- Broken files ------------------------------------------------------------------------

TEST_F(Stata, LabelTableFaultsKeepTheSheet) {
    // s108_le up to its label table, then other bytes; no table is read: the tied variable is
    // a factor without labels.
    std::string good = read_file(data_path("stata/s108_le.dta"));
    good.resize(good.rfind("gradelab") - 4);
    const std::string head = le_bytes(100, 4) + std::string("gradelab\0\0\0\0", 12);
    const std::pair<std::string, std::string> cases[] = {
        {le_bytes(0, 4) + "junk", ""},
        {le_bytes(6000000, 4), "Error: Illegal label table in Stata file!\n"},
        {head + le_bytes(70000, 4), "Error: Illegal number of labels in Stata file!\n"},
        {head + le_bytes(0, 4), "Error: Illegal number of labels in Stata file!\n"},
        {head + le_bytes(3, 4) + le_bytes(0x7fffffff, 4), ""}};
    for (const auto& [table, message] : cases) {
        testing::internal::CaptureStdout();
        Sheet* s = read_bytes(good + table);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), message);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->row_count, 5);
        EXPECT_EQ(s->cols[7]->type, VXS_FACTOR);
        EXPECT_TRUE(s->cols[7]->labels.empty());
    }
}

TEST_F(Stata, BrokenFiles) {
    std::string good = read_file(data_path("stata/s108_le.dta"));
    expect_no_data(
        {
            good.substr(0, 50),                        // cut in the data label
            good.substr(0, 300),                       // cut in the variable lists
            patched(good, 0, "\x6d"),                  // release 109: detected as Stata, not read
            patched(good, 4, std::string("\0\0", 2)),  // no variables
            patched(good, 6, std::string("\0\0\0\0", 4)),  // no observations
            patched(good, 108, "\x01"),                    // time stamp not ended by a zero byte
            patched(good, 109, "x"),                       // unknown storage type
        },
        "bad.dta");
    // Two thousand million observations announced: only as many as the bytes after the
    // variable descriptions can hold are read (the label table's bytes among them).
    Sheet* s = read_bytes(patched(good, 6, le_bytes(0x7fffffff, 4)));
    ASSERT_NE(s, nullptr);
    EXPECT_LE(s->row_count, 7);
    EXPECT_EQ(s->cols[1]->num[0], 1);
    // 32767 variables announced in a file of a thousand bytes; an expansion field longer
    // than the file.
    EXPECT_EQ(read_bytes(patched(good, 4, "\xff\x7f")), nullptr);
    std::string f5 = read_file(data_path("stata/s105_le.dta"));
    EXPECT_EQ(read_bytes(patched(f5, f5.find("_dta") - 2, "\xff\x7f")), nullptr);
}

}  // namespace
