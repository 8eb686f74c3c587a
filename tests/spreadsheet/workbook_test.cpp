// xlsx and ods workbooks against what openpyxl reads back, before and after conversion; selections;
// the cell store's automatic factor rule at its threshold.
#include <gtest/gtest.h>

#include <algorithm>
#include <ranges>

#include "driver/vxs_formats.h"
#include "driver/vxs_options.h"
#include "sheet/vxs_access.h"
#include "sheet/vxs_cp1252.h"
#include "sheet/vxs_sheet.h"
#include "spreadsheet/vxs_cells.h"
#include "spreadsheet/vxs_workbook.h"
#include "spreadsheet/vxs_zipxml.h"
#include "test_util.h"

namespace {

using Table = std::vector<std::vector<std::string>>;

Sheet* read_in_process(const std::string& path, const char* sheet = "", const char* range = "") {
    fresh_run();
    vxs_parser_options().worksheet_name = sheet;
    vxs_parser_options().cell_range = range;
    lastsheet = nullptr;
    int16_t ok{};
    stdout_of([&] { ok = open_file(path.c_str(), VX_Find_File_Type(path.c_str())); });
    if (ok && lastsheet) vxs_delete_empty_rows(lastsheet);  // as the driver does
    return ok ? lastsheet : nullptr;
}
Sheet* read_sample(const std::string& name, const char* sheet = "", const char* range = "") {
    return read_in_process(data_path("xlsx/" + name), sheet, range);
}

// The sheet against the making tool's table (names, then values); empty rows and columns are not made.
void check_against(const Sheet* s, Table t) {
    ASSERT_TRUE(s);
    std::erase_if(t, [](const auto& row) { return std::ranges::all_of(row, &std::string::empty); });
    ASSERT_FALSE(t.empty());
    size_t c = 1;
    for (size_t k = 0; k < t[0].size(); ++k) {
        if (std::ranges::all_of(t | std::views::drop(1), [&](const auto& row) { return row[k].empty(); })) continue;
        SCOPED_TRACE(t[0][k]);
        ASSERT_LT(c, s->cols.size());
        const Column* col = s->cols[c++].get();
        EXPECT_EQ(col->name, t[0][k]);
        for (size_t r = 1; r < t.size(); ++r) {
            SCOPED_TRACE("row " + std::to_string(r));
            const std::string& want = t[r][k];
            long y, m, d, h = 0, mi = 0, se = 0;
            int date_fields = std::sscanf(want.c_str(), "%ld-%ld-%ld %ld:%ld:%ld", &y, &m, &d, &h, &mi, &se);
            std::string cp;
            if (col->is_text()) {
                EXPECT_EQ(col->text.get(r - 1), (vxs_utf8_to_cp1252(want, cp, VXS_MAX_TEXT), cp));
            } else if (want.empty()) {
                EXPECT_LE(col->num[r - 1], s->missing);
            } else if (date_fields == 3 || date_fields == 6) {
                EXPECT_EQ(col->representation, VXS_REP_DATE);
                EXPECT_NEAR(col->num[r - 1], vxs_serial_of_date(y, m, d) + (h * 3600 + mi * 60 + se) / 86400.0, 1e-6);
            } else {
                EXPECT_DOUBLE_EQ(col->num[r - 1], std::stod(want));
            }
        }
    }
    EXPECT_EQ(c, s->cols.size());
}

TEST(Workbook, EverySheetHoldsWhatOpenpyxlReadsBackBeforeAndAfterConversion) {
    const struct { const char *file, *sheet, *expect; int32_t type; } cases[] = {
        {"trial_ss.xlsx", "Trial", "trial_ss.xlsx.Trial.expect", VXT_XLSX},
        {"trial_ss.xlsx", "2", "trial_ss.xlsx.Second.expect", VXT_XLSX},
        {"trial.ods", "Trial", "trial_ss.xlsx.Trial.expect", VXT_ODS},  // same workbook, by ssconvert
        {"trial.ods", "second", "trial_ss.xlsx.Second.expect", VXT_ODS},
        // openpyxl leaves formulas without a cached value: that column holds nothing.
        {"trial.xlsx", "Trial", "trial.xlsx.Trial.expect", VXT_XLSX},
        {"trial.xlsx", "Second", "trial.xlsx.Second.expect", VXT_XLSX},
        {"handmade.xlsx", "", "handmade.xlsx.Only.expect", VXT_XLSX},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.sheet);
        const Table want = tsv_rows(data_path(std::string("xlsx/") + c.expect));
        EXPECT_EQ(VX_Find_File_Type(data_path(std::string("xlsx/") + c.file).c_str()), c.type);
        check_against(read_sample(c.file, c.sheet), want);
        std::vector<std::string> args{copy_sample(dir, std::string("xlsx/") + c.file), "out.vsh"};
        if (*c.sheet) args.push_back(c.sheet);
        ASSERT_EQ(run_morvalen(dir.path(), args).status, 0);
        check_against(read_in_process(dir.file("out.vsh")), want);
    }
}

TEST(Workbook, SheetsRangesAndCellsAreSelectedAsForExcel) {
    const struct { const char *file, *sheet, *range; int32_t rows, cols; const char* first_name; double first_value; } cases[] = {
        {"trial_ss.xlsx", "R:block", "", 3, 2, "Plot", 1},
        {"trial.ods", "block", "", 3, 2, "Plot", 1},
        {"trial_ss.xlsx", "S:sec", "", 5, 2, "x", 1},
        {"trial_ss.xlsx", "1", "A1:B3", 2, 2, "Plot", 1},
        {"trial_ss.xlsx", "Trial", "B3:B5", 2, 1, "C1", 3.25},  // a data row first: no names
        {"trial.ods", "1", "A2..A5", 4, 1, "C1", 1},
        {"repeats.ods", "", "", 4, 4, "a", 1},  // a million repeated empty cells, and rows of them
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.sheet + " " + c.range);
        Sheet* s = read_sample(c.file, c.sheet, c.range);
        ASSERT_TRUE(s);
        ASSERT_EQ(std::pair(s->row_count, s->column_count), std::pair(c.rows, c.cols));
        EXPECT_EQ(std::pair(s->cols[1]->name, s->cols[1]->num[0]), std::pair(std::string(c.first_name), c.first_value));
    }
}

TEST(Workbook, DateFormatCodes) {
    const std::pair<const char*, int> codes[] = {{"yyyy-mm-dd", 1}, {"dd/mm/yyyy\\ hh:mm", 2}, {"h:mm:ss", 3},
        {"[h]:mm", 3}, {"0.00", 0}, {"General", 0}, {"#,##0 \"days\"", 0}, {"[Red]0.0", 0}, {"mmm-yy", 1}, {"0.00E+00", 0}};
    for (auto [code, style] : codes) EXPECT_EQ(xlsx_format_code_style(code), style) << code;
    for (auto [id, style] : {std::pair{14, 1}, {22, 2}, {20, 3}, {2, 0}}) EXPECT_EQ(xlsx_builtin_format_style(id), style) << id;
}

// A column stays numeric while twice its texts do not exceed its values.
TEST(CellStore, AutomaticFactorAtHalfTheValuesText) {
    const struct { int numbers, texts; bool factor; } cases[] = {
        {3, 1, false}, {2, 2, false}, {1, 3, true},  // four values
        {4, 2, false}, {3, 3, false}, {2, 4, true},  // six values
        {3, 2, false}, {2, 3, true},                 // five values: just above half
        {1, 1, false}, {0, 2, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.texts) + " texts of " + std::to_string(c.numbers + c.texts));
        fresh_run();
        VxsCellStore store;
        const int n = c.numbers + c.texts;
        ASSERT_TRUE(store.create(0, n, 0, 1));
        store.put_text(0, 0, "Mixed"), store.put_text(0, 1, "Plain");
        for (int r = 1; r <= n; ++r) {
            if (r <= c.texts) store.put_text(r, 0, r % 2 ? "high" : "low");
            else store.put_number(r, 0, r);
            store.put_number(r, 1, r);
        }
        VxsSelection sel;
        sel.auto_factor = 1;
        int made{};
        stdout_of([&] { made = vxs_create_sheet_from_store(&sel, "in.xls", "Sheet1", store, 5); });
        ASSERT_EQ(made, 1);
        ASSERT_EQ(lastsheet->column_count, 2);
        // The second column holds numbers only.
        EXPECT_EQ(std::tuple(lastsheet->row_count, lastsheet->cols[1]->type, lastsheet->cols[2]->type),
                  std::tuple(n, c.factor ? VXS_FACTOR : VXS_VARIATE, VXS_VARIATE));
    }
}

}  // namespace

// Cells gathered from an XML sheet: chunk edges, repeated rows sharing their texts, per-column
// date styles, and an extent beyond the store's ceiling refused as soon as a far cell claims it.
TEST(CellStore, GatheredCellsAcrossChunksRepeatsAndCeiling) {
    fresh_run();
    {
        CellList cells;
        cells.text(0, 0, "n"), cells.text(0, 1, "when"), cells.text(0, 2, "tag");
        const int64_t rows[] = {1, 16383, 16384, 40000};
        for (int64_t r : rows) cells.number(r, 0, static_cast<double>(r), CellList::Plain);
        for (int64_t r : rows) cells.number(r, 1, 45000.0 + static_cast<double>(r), CellList::Date);
        size_t first = cells.size();
        cells.number(40001, 0, 7, CellList::Plain), cells.text(40001, 2, "copied");
        for (int64_t k = 1; k <= 3; ++k) cells.repeat_row(first, 40001 + k);
        EXPECT_EQ(cells.size(), 11u + 2u + 6u);
        VxsSelection sel;
        sel.sheets.push_back({"S", 0, 0});
        ASSERT_EQ(stdout_of([&] { EXPECT_EQ(cells.to_sheet(&sel, "in.xlsx", "S"), 1); }),
                  "Data read from in.xlsx [S]A1:C40005\n");
    }
    vxs_delete_empty_rows(lastsheet);
    ASSERT_EQ(lastsheet->row_count, 8);
    const Column* n = find_column(lastsheet, "n");
    const Column* when = find_column(lastsheet, "when");
    const Column* tag = find_column(lastsheet, "tag");
    ASSERT_TRUE(n && when && tag);
    EXPECT_EQ(n->num, (std::vector<double>{1, 16383, 16384, 40000, 7, 7, 7, 7}));
    EXPECT_EQ(when->representation, VXS_REP_DATE);
    EXPECT_EQ(when->num[2], 45000.0 + 16384);
    for (size_t r = 4; r < 8; ++r) EXPECT_EQ(tag->text.get(r), "copied");

    fresh_run();
    CellList far;
    far.number(0, 0, 1, CellList::Plain);
    try {
        std::string out = stdout_of([&] { far.number(1048575, 16383, 1, CellList::Plain); });
        ADD_FAILURE() << "a far cell was kept: " << out;
    } catch (const VxsFatal& f) {
        EXPECT_EQ(f.status, 9);
    }
}

// A sheet as wide as xlsx allows but two rows deep costs little: the store grows with the rows
// actually used (it once took 2.4 GB here). Address space is capped at 1 GB, which a sanitizer
// build cannot run under.
TEST(Workbook, WideSheetOfFewRowsStaysSmall) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizers reserve more address space than the cap";
#endif
    if (!tool_present("/usr/bin/python3 -c 'import openpyxl'")) GTEST_SKIP() << "python3-openpyxl not installed";
    ScratchDir dir;
    shell_output("cd " + dir.path() + " && /usr/bin/python3 -c \"import openpyxl; wb = openpyxl.Workbook(); "
                 "wb.active.append(['c%d' % i for i in range(16384)]); wb.active.append(list(range(16384))); "
                 "wb.save('wide.xlsx')\"");
    ASSERT_TRUE(file_exists(dir.file("wide.xlsx")));
    std::string status = shell_output("cd " + dir.path() + " && (ulimit -v 1000000; " MORVALEN_BIN
                                      " wide.xlsx w.csv >/dev/null 2>&1; echo $?)");
    EXPECT_EQ(status, "0\n");
}

// A sheet member of megabytes is inflated on a second thread ahead of the parser: every cell
// arrives in order, and a member damaged halfway stops the read instead of hanging it.
TEST(Workbook, BigSheetInflatedAheadOfTheParser) {
    if (!tool_present("/usr/bin/python3 -c 'import openpyxl'")) GTEST_SKIP() << "python3-openpyxl not installed";
    ScratchDir dir;
    constexpr int kRows = 40000;
    shell_output("cd " + dir.path() + " && /usr/bin/python3 -c \"import openpyxl; wb = openpyxl.Workbook(); "
                 "ws = wb.active; ws.append(['n', 'x', 'tag']); [ws.append([i, i * 0.25 - 7, 'tag%d' % (i % 97)]) "
                 "for i in range(" + std::to_string(kRows) + ")]; wb.save('big.xlsx')\"");
    ASSERT_TRUE(file_exists(dir.file("big.xlsx")));
    Table want{{"n", "x", "tag"}};
    for (int i = 0; i < kRows; ++i)
        want.push_back({std::to_string(i), std::to_string(i * 0.25 - 7), "tag" + std::to_string(i % 97)});
    check_against(read_in_process(dir.file("big.xlsx")), want);

    std::string bytes = read_file(dir.file("big.xlsx"));
    write_file(dir.file("bad.xlsx"), patched(bytes, bytes.size() / 2, std::string(4096, '\x55')));
    const RunResult r = run_morvalen(dir.path(), {"bad.xlsx", "bad.csv"});
    EXPECT_EQ(r.status, 5) << r.out;
    EXPECT_FALSE(file_exists(dir.file("bad.csv")));
}
