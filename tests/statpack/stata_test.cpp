// Stata releases 103 to 110, both byte orders, against R foreign's reading; limits, dates, broken files.
#include <cmath>
#include <map>

#include "statpack/reader_test_util.h"
#include "statpack/vxr_stt.h"

// What foreign holds for one file (see tests/data/stata/expect.R).
struct StataVar { std::string name, label, table; int type = 0; std::vector<std::string> cells; };
struct StataExpect { std::string data_label; std::vector<StataVar> vars; std::map<std::string, std::map<double, std::string>> tables; };

static StataExpect load_expect(const std::string& name) {
    StataExpect e;
    std::map<std::string, size_t> index;
    for (const auto& f : tab_rows(data_path("stata/" + name + ".expect"))) {
        if (f[0] == "T") e.data_label = f[1];
        if (f[0] == "V") index[f[1]] = e.vars.size(), e.vars.push_back({f[1], f[3], "", std::stoi(f[2]), {}});
        if (f[0] == "N") e.vars[index[f[1]]].table = f[2];
        if (f[0] == "L") e.tables[f[1]][std::stod(f[2])] = f[3];
        if (f[0] == "D") e.vars[index[f[1]]].cells.push_back(f[3]);
    }
    return e;
}

using Stata = ReaderTest<read_stata_into_sheet>;

// The sheet against foreign: missing is NA, a float code or above 1e100; a label table makes a factor.
static void check_against(const Sheet* s, const StataExpect& e) {
    ASSERT_EQ(s->column_count, static_cast<int32_t>(e.vars.size()));
    for (size_t c = 0; c < e.vars.size(); ++c) {
        const StataVar& v = e.vars[c];
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
            const double x = want == "NA" || col->type == VXS_TEXT ? HUGE_VAL : std::stod(want);
            if (col->type == VXS_TEXT) {
                EXPECT_EQ(col->text.get(r) == " " ? "" : std::string(col->text.get(r)), trim(want));
            } else if (x > 1e100 || (v.type == 102 && static_cast<float>(x) >= 1.7e38f)) {
                EXPECT_LE(col->num[r], s->missing);
            } else if (col->type == VXS_VARIATE) {
                EXPECT_EQ(col->num[r], x);
            } else {
                const size_t k = static_cast<size_t>(col->num[r]) - 1;
                ASSERT_TRUE(col->num[r] >= 1 && k < size_t(col->nlevels));
                EXPECT_EQ(col->levels.empty() ? col->num[r] : col->levels[k], x);
                if (table == e.tables.end()) {
                    EXPECT_TRUE(col->labels.empty());
                    continue;
                }
                ASSERT_EQ(col->labels.size(), size_t(col->nlevels));
                const auto lab = table->second.find(x);
                EXPECT_EQ(col->labels[k], lab != table->second.end() ? lab->second : g12(x));
            }
        }
    }
}

// Every file against foreign directly and through a .vsh; foreign reads releases before 108 only in part, and
// every s file holds one data set, so s108_le.expect stands for them.
TEST_F(Stata, EveryFileHoldsWhatForeignReadsBackBeforeAndAfterConversion) {
    for (std::string f : {"foreign_v6", "foreign_v7", "s103_le", "s103_be", "s104_le", "s104_be", "s105_le", "s105_be",
                          "s108_le", "s108_be", "s110_le", "s110_be"}) {
        SCOPED_TRACE(f);
        const StataExpect want = load_expect(f[0] == 's' && f < "s108" ? "s108_le" : f);
        Sheet* s = read(data_path("stata/" + f + ".dta"));
        ASSERT_TRUE(s && s->source_type == VXT_STATA);
        EXPECT_EQ(s->description_lines, std::vector<std::string>{want.data_label});
        check_against(s, want);
        EXPECT_EQ(run_morvalen(dir.path(), {copy_sample(dir, "stata/" + f + ".dta"), "out.vsh"}).out,
                  " 5 records transferred.\n");
        ASSERT_TRUE(read_vsh(dir.file("out.vsh")));
        check_against(lastsheet, want);
    }
}

// The 4-byte integer "whole" of s110_le.dta (8 variables) given the format "%d" (days from 1960).
TEST_F(Stata, DailyDatesMissingBoundaryAndColumnLimit) {
    std::string bytes = read_file(data_path("stata/s110_le.dta"));
    const size_t nvar = 8, at = 109 + nvar + 33 * nvar + 2 * (nvar + 1) + 12 * 2;
    ASSERT_EQ(bytes.substr(at, 5), "%9.0g");
    Sheet* s = must(read_bytes(patched(bytes, at, std::string("%d\0\0\0", 5))));
    // Day 70000 after 1 Jan 1960, missing, 6 January 1960; other variables keep their values.
    EXPECT_EQ(std::tuple(s->cols[3]->representation, s->cols[3]->num[0], s->cols[3]->num[2] <= s->missing, s->cols[3]->num[4]),
              std::tuple(VXS_REP_DATE, 70000 + 21916.0, true, 5 + 21916.0));
    EXPECT_EQ(std::tuple(s->cols[2]->representation, s->cols[2]->num[0]), std::tuple(VXS_REP_GENERAL, 300.0));
    for (auto [x, missing] : {std::pair{1e100, 0}, {1.0000001e100, 1}, {NAN, 1}, {-INFINITY, 1}, {-1e306, 0}})
        EXPECT_EQ(stata_is_missing(vxs_missing, x), missing) << x;  // above 1e100 or NaN; very negative is data
    VXSMAXCOLUMNS = 3;
    s = quiet(data_path("stata/s105_be.dta"));
    ASSERT_TRUE(s && s->column_count == 3);
    EXPECT_EQ(std::tuple(said, s->cols[3]->num[0]), std::tuple(std::string("Warning Columns above 3 NOT transfered!\n"), 70000.0));
}

TEST_F(Stata, BrokenFiles) {
    // s108_le with other bytes for its label table: the sheet is kept, the factor has no labels.
    const std::string good = read_file(data_path("stata/s108_le.dta")), body = good.substr(0, good.rfind("gradelab") - 4);
    const std::string head = le_bytes(100, 4) + std::string("gradelab\0\0\0\0", 12);
    const std::string count = "Error: Illegal number of labels in Stata file!\n";
    const std::pair<std::string, std::string> tables[] = {
        {le_bytes(0, 4) + "junk", ""}, {le_bytes(6000000, 4), "Error: Illegal label table in Stata file!\n"},
        {head + le_bytes(70000, 4), count}, {head + le_bytes(0, 4), count}, {head + le_bytes(3, 4) + le_bytes(0x7fffffff, 4), ""}};
    for (const auto& [table, message] : tables) {
        Sheet* s = quiet_bytes(body + table);
        ASSERT_TRUE(s && s->row_count == 5);
        EXPECT_EQ(std::tuple(said, s->cols[7]->type, s->cols[7]->labels.size()), std::tuple(message, VXS_FACTOR, 0u));
    }
    // No data, status 5: cut in the data label or variable lists, release 109 (not read), no
    // variables, no observations, a time stamp without its zero byte, an unknown storage type.
    expect_no_data({good.substr(0, 50), good.substr(0, 300), patched(good, 0, "\x6d"), patched(good, 4, raw("\0\0")),
                    patched(good, 6, raw("\0\0\0\0")), patched(good, 108, "\x01"), patched(good, 109, "x")}, "bad.dta");
    // 2e9 observations announced: only as many as the bytes after the descriptions hold.
    Sheet* s = read_bytes(patched(good, 6, le_bytes(0x7fffffff, 4)));
    ASSERT_TRUE(s && s->row_count <= 7);
    EXPECT_EQ(s->cols[1]->num[0], 1);
    // 32767 variables in a file of a thousand bytes; an expansion field longer than the file.
    const std::string f5 = read_file(data_path("stata/s105_le.dta"));
    EXPECT_EQ(read_bytes(patched(good, 4, "\xff\x7f")), nullptr);
    EXPECT_EQ(read_bytes(patched(f5, f5.find("_dta") - 2, "\xff\x7f")), nullptr);
}
