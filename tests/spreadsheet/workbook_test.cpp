// xlsx and ods workbooks made by openpyxl, ssconvert and a part-by-part script, compared cell by
// cell with what openpyxl reads back; sheet, named-range and cell-range selection as for .xls;
// header suffixes and factors; repeated ods cells; damaged and oversized files.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "driver/vxs_options.h"
#include "driver/vxs_formats.h"
#include "sheet/vxs_access.h"
#include "sheet/vxs_cp1252.h"
#include "sheet/vxs_sheet.h"
#include "sheet/vxs_txtnum.h"
#include "spreadsheet/vxs_workbook.h"
#include "spreadsheet/vxs_zipxml.h"
#include "test_util.h"

namespace {

using Table = std::vector<std::vector<std::string>>;

Table load_table(const std::string& name) {
    std::ifstream in(data_path("xlsx/" + name));
    Table t;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> row;
        std::stringstream fields(line);
        for (std::string f; std::getline(fields, f, '\t');) row.push_back(f);
        if (!line.empty() && line.back() == '\t') row.emplace_back();
        // Rows without any value are left out of a conversion.
        if (line.find_first_not_of('\t') != std::string::npos) t.push_back(row);
    }
    return t;
}

Sheet* read_in_process(const std::string& name, const char* sheet = "", const char* range = "") {
    fresh_run();
    vxs_parser_options().worksheet_name = sheet;
    vxs_parser_options().cell_range = range;
    lastsheet = nullptr;
    std::string path = data_path("xlsx/" + name);
    int16_t ok{};
    stdout_of([&] { ok = open_file(path.c_str(), VX_Find_File_Type(path.c_str())); });
    // As the driver does after every reader.
    if (ok && lastsheet) vxs_delete_empty_rows(lastsheet);
    return ok ? lastsheet : nullptr;
}

// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS" as a serial day number.
bool iso_day(const std::string& s, double* out) {
    long y, m, d, h = 0, mi = 0, se = 0;
    int n = std::sscanf(s.c_str(), "%ld-%ld-%ld %ld:%ld:%ld", &y, &m, &d, &h, &mi, &se);
    if (n != 3 && n != 6) return false;
    *out = vxs_serial_of_date(y, m, d) + (h * 3600 + mi * 60 + se) / 86400.0;
    return true;
}

// The sheet against the table the making tool reads: first row names, then values; columns
// without any value are not made.
void check_against(const Sheet* s, const Table& t) {
    ASSERT_FALSE(t.empty());
    size_t c = 1;
    for (size_t k = 0; k < t[0].size(); ++k) {
        bool any = false;
        for (size_t r = 1; r < t.size(); ++r) any = any || (k < t[r].size() && !t[r][k].empty());
        if (!any) continue;
        SCOPED_TRACE(t[0][k]);
        ASSERT_LT(c, s->cols.size());
        const Column* col = s->cols[c++].get();
        EXPECT_EQ(col->name, t[0][k]);
        for (size_t r = 1; r < t.size(); ++r) {
            SCOPED_TRACE("row " + std::to_string(r));
            std::string want = k < t[r].size() ? t[r][k] : "";
            if (col->is_text()) {
                std::string cp;
                vxs_utf8_to_cp1252(want, cp, VXS_MAX_TEXT);
                EXPECT_EQ(col->text.get(r - 1), cp);
                continue;
            }
            double x = col->num[r - 1];
            if (want.empty()) {
                EXPECT_LE(x, s->missing);
                continue;
            }
            double day;
            if (iso_day(want, &day)) {
                EXPECT_EQ(col->representation, VXS_REP_DATE);
                EXPECT_NEAR(x, day, 1e-6);
            } else {
                EXPECT_DOUBLE_EQ(x, std::stod(want));
            }
        }
    }
    EXPECT_EQ(c, s->cols.size());
}

TEST(Workbook, EverySheetHoldsWhatOpenpyxlReadsBack) {
    struct Case {
        const char* file;
        const char* sheet;
        const char* expect;
        int32_t type;
    } const cases[] = {
        {"trial_ss.xlsx", "Trial", "trial_ss.xlsx.Trial.expect", VXT_XLSX},
        {"trial_ss.xlsx", "2", "trial_ss.xlsx.Second.expect", VXT_XLSX},
        {"trial.ods", "Trial", "trial_ss.xlsx.Trial.expect", VXT_ODS},  // same workbook, by ssconvert
        {"trial.ods", "second", "trial_ss.xlsx.Second.expect", VXT_ODS},
        {"handmade.xlsx", "", "handmade.xlsx.Only.expect", VXT_XLSX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.sheet);
        EXPECT_EQ(VX_Find_File_Type(data_path(std::string("xlsx/") + c.file).c_str()), c.type);
        Sheet* s = read_in_process(c.file, c.sheet);
        ASSERT_TRUE(s);
        check_against(s, load_table(c.expect));
    }
}

TEST(Workbook, TextDatesAndFormulasOfTheTrialSheet) {
    Sheet* s = read_in_process("trial_ss.xlsx");
    ASSERT_TRUE(s);
    ASSERT_EQ(s->column_count, 7);
    EXPECT_EQ(s->cols[7]->text.get(0), "Z\xFCrich");
    EXPECT_EQ(s->cols[7]->text.get(1), "__");
    EXPECT_EQ(s->cols[7]->text.get(2).size(), 90u);
    EXPECT_EQ(s->cols[4]->date_format, 2);
    EXPECT_EQ(s->cols[6]->num[3], 8);  // cached value of =A5*2
    // openpyxl leaves formulas without a cached value: the column holds nothing and is not made.
    s = read_in_process("trial.xlsx");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->column_count, 6);
}

TEST(Workbook, SheetsRangesAndCellsAreSelectedAsForExcel) {
    struct Case {
        const char* file;
        const char* sheet;
        const char* range;
        int32_t rows, cols;
        const char* first_name;
        double first_value;
    } const cases[] = {
        {"trial_ss.xlsx", "R:block", "", 3, 2, "Plot", 1},
        {"trial.ods", "block", "", 3, 2, "Plot", 1},
        {"trial_ss.xlsx", "S:sec", "", 5, 2, "x", 1},
        {"trial_ss.xlsx", "1", "A1:B3", 2, 2, "Plot", 1},
        {"trial_ss.xlsx", "Trial", "B3:B5", 2, 1, "C1", 3.25},  // a data row first: no names
        {"trial.ods", "1", "A2..A5", 4, 1, "C1", 1},
        {"repeats.ods", "", "", 4, 4, "a", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.sheet + " " + c.range);
        Sheet* s = read_in_process(c.file, c.sheet, c.range);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->row_count, c.rows);
        ASSERT_EQ(s->column_count, c.cols);
        EXPECT_EQ(s->cols[1]->name, c.first_name);
        EXPECT_EQ(s->cols[1]->num[0], c.first_value);
    }
}

TEST(Workbook, RepeatedOdsRowsAndCells) {
    Sheet* s = read_in_process("repeats.ods");
    ASSERT_TRUE(s);
    ASSERT_EQ(s->row_count, 4);
    for (size_t r = 0; r < 3; ++r) {
        EXPECT_EQ(s->cols[2]->num[r], 2);
        EXPECT_NEAR(s->cols[3]->num[r], vxs_serial_of_date(2024, 7, 14), 1e-9);
        EXPECT_NEAR(s->cols[4]->num[r], 12.5 / 24, 1e-9);
    }
    EXPECT_EQ(s->cols[1]->num[3], 7);
    EXPECT_EQ(s->cols[3]->num[3], 8);  // a repeated cell with a value is there twice
    EXPECT_EQ(s->cols[4]->num[3], 1);  // true
}

TEST(Workbook, ConversionsOptionsAndListing) {
    ScratchDir dir;
    write_file(dir.file("t.xlsx"), read_file(data_path("xlsx/trial_ss.xlsx")));
    write_file(dir.file("t.ods"), read_file(data_path("xlsx/trial.ods")));
    for (const char* in : {"t.xlsx", "t.ods"}) {
        SCOPED_TRACE(in);
        RunResult r = run_morvalen(dir.path(), {in, "out.vsh"});
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_NE(r.out.find("Data read from " + std::string(in) + " [TRIAL]A1:G5\n"), std::string::npos) << r.out;
        // /n: the first row is data, so every column holds text.
        r = run_morvalen(dir.path(), {std::string(in) + "/n", "out.csv", "2"});
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(read_file(dir.file("out.csv")).substr(0, 6), "C1 ,C2") << read_file(dir.file("out.csv"));
        r = run_morvalen(dir.path(), {std::string(in) + "/w", "out.csv"});
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find("Sheets: 2\nTRIAL\nSECOND\nNamed Ranges: 1\nBLOCK\n"), std::string::npos) << r.out;
    }
}

TEST(Workbook, DateFormatCodes) {
    struct Case {
        const char* code;
        int style;
    } const cases[] = {
        {"yyyy-mm-dd", 1}, {"dd/mm/yyyy\\ hh:mm", 2}, {"h:mm:ss", 3}, {"[h]:mm", 3},
        {"0.00", 0},       {"General", 0},           {"#,##0 \"days\"", 0}, {"[Red]0.0", 0},
        {"mmm-yy", 1},     {"0.00E+00", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(xlsx_format_code_style(c.code), c.style) << c.code;
    EXPECT_EQ(xlsx_builtin_format_style(14), 1);
    EXPECT_EQ(xlsx_builtin_format_style(22), 2);
    EXPECT_EQ(xlsx_builtin_format_style(20), 3);
    EXPECT_EQ(xlsx_builtin_format_style(2), 0);
}

}  // namespace
