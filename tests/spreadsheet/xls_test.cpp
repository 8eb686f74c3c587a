// Excel workbooks of gnumeric, xlwt and a BIFF 2-4 writer: selections, limits, damaged containers.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "driver/vxs_options.h"
#include "driver/vxs_formats.h"
#include "sheet/vxs_sheet.h"
#include "sheet/vxs_txtnum.h"
#include "spreadsheet/vxs_xls.h"
#include "test_util.h"

namespace {

using Row = std::vector<std::string>;
using Table = std::vector<Row>;

struct Converted { RunResult run; Table table; };

// Copied first: data paths hold "/t" and "/w", which the command line takes as options.
Converted convert(const ScratchDir& dir, const std::string& name, const std::string& output,
                  const std::vector<std::string>& selection = {}) {
    write_file(dir.file(name), read_file(data_path("xls/" + name)));
    std::vector<std::string> args = {name, output};
    args.insert(args.end(), selection.begin(), selection.end());
    Converted c{run_morvalen(dir.path(), args), {}};
    if (file_exists(dir.file(output))) c.table = csv_cells(read_file(dir.file(output)));
    return c;
}

// Reads a workbook in-process; the sheet is left in lastsheet.
int16_t read_in_process(const std::string& name, const char* sheet = "", const char* range = "", int logbook = 0) {
    fresh_run();
    vxs_parser_options().worksheet_name = sheet;
    vxs_parser_options().cell_range = range;
    vxs_parser_options().logbook_in_format = logbook;
    XlsFatal fatal;
    int16_t r = xls_read_workbook(data_path("xls/" + name).c_str(), &fatal);
    EXPECT_EQ(fatal.status, -1) << fatal.message;
    return r;
}

Column* column_named(const std::string& name) {
    static Column none;
    Column* c = find_column(lastsheet, name);
    EXPECT_TRUE(c) << "no column " << name;
    return c ? c : &none;
}

class TrialWorkbook : public ::testing::TestWithParam<const char*> {};

// What the CSV output does not show: level order, column notes, decimals, the logbook layout.
TEST_P(TrialWorkbook, HeaderCommentsSuffixesAndLogbookLayoutShapeTheColumns) {
    ASSERT_EQ(read_in_process(GetParam()), 1);
    Column* variety = column_named("Variety");  // "!(Gamma,beta,Alpha) Variety of wheat" orders the levels
    EXPECT_EQ(std::tuple(variety->labels, variety->extra, variety->num[0]), std::tuple(Row{"Gamma", "beta", "Alpha"}, "Variety of wheat", 3));
    EXPECT_EQ(std::tuple(column_named("Yield")->decimals, column_named("Note")->type), std::tuple(2, VXS_TEXT));
    ASSERT_EQ(read_in_process(GetParam(), "", "", 1), 1);
    EXPECT_EQ(lastsheet->row_count, 6);  // the empty row inside the data is left out
    Column* plot = column_named("Plot");
    EXPECT_EQ(std::tuple(plot->type, plot->num[5], plot->extra), std::tuple(VXS_UNITS_NUM, 106, " Plot number"));
    EXPECT_EQ(column_named("Treatment")->labels, (Row{"N0", "N1", "N2"}));
    EXPECT_EQ(std::tuple(column_named("Block")->type, column_named("Yield")->type), std::tuple(VXS_FACTOR, VXS_VARIATE));
    EXPECT_EQ(lastsheet->description_lines, (Row{"Site: Rothamsted", "Year: 2001"}));
}

TEST_P(TrialWorkbook, SelectsSheetsRangesAndCells) {
    // Column 1's name when checked, and one cell with what the generator wrote there.
    struct { const char* sheet; const char* range; int32_t rows, cols; const char* first_name; size_t col, row;
             double value; } const cases[] = {
        {"dat", "", 3, 2, "X", 2, 2, 9},                   // a lower-case prefix matches DATA2
        {"S:numbers", "", 5, 3, "C1", 1, 0, 0.5},          // S: looks at sheets only
        {"R:trialblock", "", 5, 3, "Variety", 3, 0, 36982},  // R: at named ranges only
        {"Trial", "b3:d12", 10, 3, nullptr, 3, 0, 36983},  // starts at a data row: no names
        {"1", "A1..C5", 4, 3, "Plot", 1, 3, 4},            // read like A1:C5
        {"1", "B3 D12", 10, 3, nullptr, 3, 0, 36983},      // read like B3:D12
        {"1", "3:12", 10, 8, nullptr, 4, 0, 36983},        // whole rows
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.sheet) + " " + c.range);
        ASSERT_EQ(read_in_process(GetParam(), c.sheet, c.range), 1);
        EXPECT_EQ(lastsheet->row_count, c.rows);
        ASSERT_EQ(lastsheet->column_count, c.cols);
        if (c.first_name) { EXPECT_EQ(lastsheet->cols[1]->name, c.first_name); }
        EXPECT_EQ(lastsheet->cols[c.col]->num[c.row], c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(Excel, TrialWorkbook, ::testing::Values("trial_biff8.xls", "trial_biff5.xls"));

// xlwt's strings as read: cut to 90, non-ASCII as "_", blanks stripped and inner runs reduced.
std::string expected_string(int i) {
    char buf[32];
    if (i % 50 == 7) return (std::snprintf(buf, sizeof buf, "L%03d-", i), buf + std::string(85, 'x'));
    if (i % 25 == 3) return (std::snprintf(buf, sizeof buf, "W%03d-__d_", i), buf);
    if (i % 40 == 11) return (std::snprintf(buf, sizeof buf, "spaced out %03d", i), buf);
    std::snprintf(buf, sizeof buf, "word-%04d-", i);
    return buf + std::string(static_cast<size_t>(10 + i % 20), "abcdefghij"[i % 10]);
}

TEST(ExcelWorkbooks, ConvertToWhatTheirMakersWrote) {
    Table strings{{"Word", "Index"}}, wide(4);
    for (int i = 0; i < 600; ++i) strings.push_back({expected_string(i), std::to_string(i)});
    for (size_t r = 0; r < 4; ++r)
        for (size_t j = 0; j < 256; ++j) wide[r].push_back(r ? std::to_string(r * 1000 + j) : "V" + std::to_string(j + 1));
    auto wide_columns = [&](size_t first, size_t last) {
        Table t;
        for (const Row& row : wide) t.emplace_back(row.begin() + first, row.begin() + last + 1);
        return t;
    };
    const Table mini{{"Height", "Kind"}, {"1.5", "k1"}, {"3", "k2"}, {"4.5", "k3"}};
    const Table bare{{"Weight", "Count", "Tag"}, {"1.25", "7", "first"}, {"2.5", "1", ""}, {"4.75", "9", "made"}};
    struct { const char* name; Table table; const char* block; std::vector<std::string> selection; } const cases[] = {
        {"strings_biff8.xls", strings, nullptr, {}},  // shared strings across CONTINUE records
        {"wide_biff8.xls", wide, "[WIDE]A1:IV4", {}},
        {"wide_biff8.xls", wide_columns(27, 51), nullptr, {"wide", "AB1:AZ1201"}},
        {"wide_biff8.xls", wide_columns(255, 255), nullptr, {"1", "ZZ1:IV"}},  // columns end at IV
        {"mini_biff8.xls", mini, nullptr, {}},  // workbook streams in the container's mini stream
        {"tiny_biff8.xls", {{"Count", "Name"}, {"1", "one"}, {"3", "three"}}, nullptr, {}},  // a row of "*" only is empty
        {"biff2.xls", bare, "[biff2 (Excel 2)]A1:C4", {}},
        {"biff4.xls", bare, "[biff4 (Excel 3/4)]A1:C4", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + (c.selection.empty() ? "" : " " + c.selection[1]));
        ScratchDir dir;
        Converted got = convert(dir, c.name, "out.csv", c.selection);
        ASSERT_EQ(got.run.status, 0) << got.run.out;
        EXPECT_EQ(got.table, c.table);
        EXPECT_EQ(got.run.out.find("NOT transfered"), std::string::npos);  // 256 columns fit delimited text
        if (c.block) { EXPECT_NE(got.run.out.find(c.block), std::string::npos) << got.run.out; }
    }
}

TEST(ExcelPieces, RkNumbers) {
    EXPECT_EQ(convert_rk_to_double(static_cast<uint32_t>(-5 << 2) | 2), -5.0);
    EXPECT_EQ(convert_rk_to_double((125u << 2) | 3), 1.25);
    EXPECT_EQ(convert_rk_to_double(0x3FF00000u), 1.0);       // high 30 bits of the double 1.0
    EXPECT_EQ(convert_rk_to_double(0x3FF00000u | 1), 0.01);  // divided by 100
}

uint32_t u32_at(const std::string& b, size_t at) {
    uint32_t v = 0;
    for (size_t i = 4; i-- > 0;) v = v << 8 | static_cast<uint8_t>(b[at + i]);
    return v;
}

// Cut, FAT loops, far sectors, backward chains, flipped bytes, no BOF, a foreign stream: a
// reader's status, never a hang.
TEST(ExcelDamaged, CutFlippedLoopedAndForeign) {
    ScratchDir dir;
    auto run = [&](const std::string& bytes, const std::string& what) {
        write_file(dir.file("bad.xls"), bytes);
        RunResult r = run_morvalen(dir.path(), {"bad.xls", "out.csv"});
        EXPECT_TRUE(r.status == 0 || (r.status >= 3 && r.status <= 5) || (r.status >= 9 && r.status <= 15))
            << what << ": " << r.status << "\n" << r.out;
        return r;
    };
    for (const char* name : {"trial_biff8.xls", "trial_biff5.xls", "mini_biff8.xls", "strings_biff8.xls", "biff4.xls"}) {
        std::string whole = read_file(data_path(std::string("xls/") + name));
        for (size_t cut : {size_t{7}, size_t{100}, size_t{511}, size_t{512}, size_t{1100}, size_t{2100},
                           whole.size() / 2, whole.size() - 600, whole.size() - 1})
            if (cut < whole.size()) run(whole.substr(0, cut), name + (" cut at " + std::to_string(cut)));
    }
    const std::string trial8 = read_file(data_path("xls/trial_biff8.xls"));
    size_t fat = (static_cast<size_t>(u32_at(trial8, 76)) + 1) * 512;
    // Each sector its own successor, every chain back to sector 0, far outside the FAT, backwards.
    for (int variant = 0; variant < 4; ++variant) {
        std::string b = trial8;
        for (uint32_t k = 0; k < 128; ++k)
            if (u32_at(b, fat + 4 * k) < 0xFFFFFFFD)
                b.replace(fat + 4 * k, 4, le_bytes(std::vector<uint32_t>{k, 0, 0x00FFFFF0u, k ? k - 1 : 0}[variant], 4));
        run(b, "FAT variant " + std::to_string(variant));
    }
    for (size_t at = 0; at < trial8.size() && at < 4096; at += 37)  // header, FAT and directory
        run(patched(trial8, at, std::string(1, static_cast<char>(~trial8[at]))), "byte " + std::to_string(at));
    // The globals' first record gone and no copy elsewhere: nothing is found, quietly.
    size_t bof = trial8.find(std::string("\x09\x08\x10\x00\x00\x06\x05\x00", 8));
    ASSERT_NE(bof, std::string::npos);
    RunResult r = run(patched(trial8, bof + 6, "\x07"), "no BOF");
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.out.find("Error:"), std::string::npos) << r.out;
    // Another program's stream goes to a copy beside TMP, removed afterwards.
    size_t entry = trial8.find(std::string("W\0o\0r\0k\0b\0o\0o\0k\0\0\0", 18));
    ASSERT_NE(entry, std::string::npos);
    setenv("TMP", (dir.path() + "/").c_str(), 1);
    r = run(patched(trial8, entry, std::string("C\0o\0n\0t\0e\0n\0t\0s\0\0\0", 18)), "Contents");
    unsetenv("TMP");
    EXPECT_EQ(r.status, 4) << r.out;
    EXPECT_FALSE(file_exists(dir.file("K7RZtemp.sta")));
}

// Streams below the cutoff lie in the mini stream; two_paths_biff8.xls holds a different copy in
// each place. mini_scrambled_biff8.xls comes out scrambled if read in file order, not mini FAT order.
TEST(ExcelContainer, CutoffChoosesRegularSectorsOrTheMiniStream) {
    const Table regular{{"Height", "Kind"}, {"1.5", "k1"}, {"3", "k2"}, {"4.5", "k3"}};
    const Table mini{{"Height", "Kind"}, {"2.5", "k1"}, {"3", "k2"}, {"5.5", "k3"}};
    const std::string two = read_file(data_path("xls/two_paths_biff8.xls"));
    const uint32_t size = 2262;  // the stream's size in its directory entry
    for (auto [cutoff, want] : {std::pair{size - 1, regular}, {size, regular}, {size + 1, mini}, {4096u, mini}}) {
        SCOPED_TRACE("cutoff " + std::to_string(cutoff));
        ScratchDir dir;
        write_file(dir.file("in.xls"), std::string(two).replace(56, 4, le_bytes(cutoff, 4)));
        ASSERT_EQ(run_morvalen(dir.path(), {"in.xls", "out.csv"}).status, 0);
        EXPECT_EQ(csv_cells(read_file(dir.file("out.csv"))), want);
    }
    ScratchDir dir;
    EXPECT_EQ(convert(dir, "mini_scrambled_biff8.xls", "out.csv").table, regular);
}

}  // namespace
