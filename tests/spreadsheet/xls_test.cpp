// Excel workbooks made by gnumeric, xlwt and a BIFF 2-4 record writer (tests/data/xls), read
// in-process into the sheet and converted end to end; selection of sheets, named ranges and
// cell ranges; name listing; damaged workbooks (cut short, FAT bytes flipped, records patched)
// end with their statuses and never hang.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "driver/vxs_formats.h"
#include "driver/vxs_options.h"
#include "sheet/vxs_sheet.h"
#include "sheet/vxs_txtnum.h"
#include "spreadsheet/vxs_xls.h"
#include "test_util.h"

namespace {

using Table = std::vector<std::vector<std::string>>;

// The delimited text output as cells: fields split at commas, padding and quotes removed.
Table parse_csv(const std::string& text) {
    Table t;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        start = end + 1;
        std::vector<std::string> row;
        size_t p = 0;
        while (p <= line.size()) {
            size_t q = line.find(',', p);
            if (q == std::string::npos) q = line.size();
            std::string f = line.substr(p, q - p);
            size_t a = f.find_first_not_of(' '), b = f.find_last_not_of(' ');
            f = a == std::string::npos ? "" : f.substr(a, b - a + 1);
            if (f.size() >= 2 && (f[0] == '\'' || f[0] == '"') && f.back() == f[0]) f = f.substr(1, f.size() - 2);
            row.push_back(f);
            p = q + 1;
        }
        t.push_back(row);
    }
    return t;
}

struct Converted {
    RunResult run;
    Table table;
};

// Copies the workbook into a scratch directory (data paths hold "/t" and "/w", which the
// command line would take as options) and converts it.
Converted convert(const ScratchDir& dir, const std::string& name, const std::string& output,
                  const std::vector<std::string>& extra = {}, const std::string& input_options = "") {
    write_file(dir.file(name), read_file(data_path("xls/" + name)));
    std::vector<std::string> args = {name + input_options, output};
    args.insert(args.end(), extra.begin(), extra.end());
    Converted c;
    c.run = run_morvalen(dir.path(), args);
    if (file_exists(dir.file(output))) c.table = parse_csv(read_file(dir.file(output)));
    return c;
}

void new_run() {
    vxs_init();
    vxs_reset_options();
    VXSMAXCOLUMNS = 2048;
    if (vxs_warn_out) {
        std::fclose(vxs_warn_out);
        vxs_warn_out = nullptr;
    }
    std::snprintf(vxs_warn_file, sizeof vxs_warn_file, "/dev/null");
}

// Reads a workbook in-process; the sheet is left in lastsheet.
int16_t read_in_process(const std::string& name, const char* sheet = "", const char* range = "") {
    new_run();
    std::snprintf(worksheet_name, sizeof worksheet_name, "%s", sheet);
    std::snprintf(cell_range, sizeof cell_range, "%s", range);
    XlsFatal fatal;
    int16_t r = xls_read_workbook(data_path("xls/" + name).c_str(), &fatal);
    EXPECT_EQ(fatal.status, -1) << fatal.message;
    return r;
}

Column* column_named(const std::string& name) {
    for (auto& c : lastsheet->cols)
        if (c->name == name) return c.get();
    return nullptr;
}

const char* const kVarieties[] = {"Alpha", "beta", "Gamma"};

// What the generator script wrote into the sheet Trial, row i (0-based below the header).
std::vector<std::string> trial_row(int i) {
    std::string yield = i == 5 ? "*" : i == 7 ? "*" : "";
    char buf[64];
    if (yield.empty()) {
        std::snprintf(buf, sizeof buf, "%g", 3.25 + 0.5 * i);
        yield = buf;
    }
    std::string variety = i == 3 ? "" : kVarieties[i % 3];
    std::snprintf(buf, sizeof buf, "%02d/04/2001", i + 1);
    std::string date = buf;
    std::string dbl = i == 5 ? "*" : i == 7 ? "0" : "";
    if (dbl.empty()) {
        std::snprintf(buf, sizeof buf, "%g", 2 * (3.25 + 0.5 * i));
        dbl = buf;
    }
    std::string label = std::string(i == 3 ? "*" : kVarieties[i % 3]) + "-" + std::to_string(i + 1);
    double y = 3.25 + 0.5 * i;
    std::string check = (i == 7 || y <= 5) ? "0" : "1";
    if (i == 5) check = "1";  // "n/a" > 5 is true for text in gnumeric
    return {std::to_string(i + 1), variety, yield, date, dbl, label, check, std::to_string(10 * (i + 1))};
}

class TrialWorkbook : public ::testing::TestWithParam<const char*> {};

TEST_P(TrialWorkbook, ConvertsToCsvWithValuesTheMakerWrote) {
    ScratchDir dir;
    Converted c = convert(dir, GetParam(), "out.csv");
    ASSERT_EQ(c.run.status, 0) << c.run.out;
    EXPECT_NE(c.run.out.find(std::string("Data read from ") + GetParam() + " [TRIAL]A1:H13\n"), std::string::npos)
        << c.run.out;
    EXPECT_NE(c.run.out.find("Warning: Labels in numeric column at: R7C3\n"), std::string::npos) << c.run.out;
    ASSERT_EQ(c.table.size(), 13u);
    EXPECT_EQ(c.table[0], (std::vector<std::string>{"Plot", "Variety!", "Yield", "Sown:D", "Double", "Label", "Check",
                                                    "Note"}));
    for (int i = 0; i < 12; ++i) EXPECT_EQ(c.table[i + 1], trial_row(i)) << "row " << i + 1;
    std::string warnings = read_file(dir.file("TxtToNum.ERR"));
    EXPECT_EQ(warnings, "Text to Number Conversion Warnings\n \nColumn Yield Row    6 (From Cell C7): n/a read as *\n");
}

TEST_P(TrialWorkbook, ConvertsToPackageSpreadsheetFile) {
    ScratchDir dir;
    Converted c = convert(dir, GetParam(), "out.vsh");
    EXPECT_EQ(c.run.status, 0) << c.run.out;
    EXPECT_NE(c.run.out.find(" 12 records transferred.\n"), std::string::npos);
    EXPECT_GT(read_file(dir.file("out.vsh")).size(), 200u);
}

TEST_P(TrialWorkbook, HeaderSuffixesAndCommentShapeTheColumns) {
    ASSERT_EQ(read_in_process(GetParam()), 1);
    ASSERT_NE(lastsheet, nullptr);
    EXPECT_EQ(lastsheet->row_count, 12);
    EXPECT_EQ(lastsheet->column_count, 8);
    Column* variety = column_named("Variety");
    ASSERT_NE(variety, nullptr);
    EXPECT_EQ(variety->type, VXS_FACTOR);
    // The header comment "!(Gamma,beta,Alpha) Variety of wheat" orders the levels.
    EXPECT_EQ(variety->labels, (std::vector<std::string>{"Gamma", "beta", "Alpha"}));
    EXPECT_EQ(variety->extra, "Variety of wheat");
    EXPECT_EQ(variety->num[0], 3);                 // Alpha
    EXPECT_LE(variety->num[3], lastsheet->missing);  // "*" is missing
    Column* yield = column_named("Yield");
    ASSERT_NE(yield, nullptr);
    EXPECT_EQ(yield->type, VXS_VARIATE);
    EXPECT_EQ(yield->representation, VXS_REP_FIXED);
    EXPECT_EQ(yield->decimals, 2);
    EXPECT_LE(yield->num[5], lastsheet->missing);
    EXPECT_LE(yield->num[7], lastsheet->missing);
    Column* sown = column_named("Sown");
    ASSERT_NE(sown, nullptr);
    EXPECT_EQ(sown->representation, VXS_REP_DATE);
    EXPECT_EQ(sown->date_format, 2);
    EXPECT_EQ(sown->num[0], 36982);  // 1 April 2001 as a spreadsheet day number
    Column* note = column_named("Note");
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->type, VXS_TEXT);
    EXPECT_EQ(note->text.get(2), "30");
    Column* label = column_named("Label");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text.get(0), "Alpha-1");  // a formula's string result
}

TEST_P(TrialWorkbook, SelectsSheetsRangesAndCells) {
    // By number: the second sheet has numbers only, so it has no names row.
    ASSERT_EQ(read_in_process(GetParam(), "2"), 1);
    EXPECT_EQ(lastsheet->row_count, 5);
    EXPECT_EQ(lastsheet->cols[1]->name, "C1");
    EXPECT_EQ(lastsheet->cols[3]->num[4], 42.5);
    // A lower-case prefix matches DATA2.
    ASSERT_EQ(read_in_process(GetParam(), "dat"), 1);
    EXPECT_EQ(lastsheet->cols[2]->name, "Y");
    EXPECT_EQ(lastsheet->cols[2]->num[2], 9);
    // S: looks at sheets only, R: at named ranges only.
    ASSERT_EQ(read_in_process(GetParam(), "S:numbers"), 1);
    EXPECT_EQ(lastsheet->row_count, 5);
    ASSERT_EQ(read_in_process(GetParam(), "R:trialblock"), 1);
    EXPECT_EQ(lastsheet->column_count, 3);
    EXPECT_EQ(lastsheet->row_count, 5);
    EXPECT_EQ(lastsheet->cols[1]->name, "Variety");
    // A cell range: B3:D12 starts at a data row, so there are no names.
    ASSERT_EQ(read_in_process(GetParam(), "Trial", "b3:d12"), 1);
    EXPECT_EQ(lastsheet->row_count, 10);
    EXPECT_EQ(lastsheet->column_count, 3);
    EXPECT_EQ(lastsheet->cols[3]->num[0], 36983);
    // A1..C5 is read like A1:C5.
    ASSERT_EQ(read_in_process(GetParam(), "1", "A1..C5"), 1);
    EXPECT_EQ(lastsheet->row_count, 4);
    EXPECT_EQ(lastsheet->column_count, 3);
}

TEST_P(TrialWorkbook, LogbookLayoutReadsTheColumnRowHeaderBlock) {
    new_run();
    vxs_logbook_in_format = 1;
    XlsFatal fatal;
    ASSERT_EQ(xls_read_workbook(data_path(std::string("xls/") + GetParam()).c_str(), &fatal), 1);
    ASSERT_NE(lastsheet, nullptr);
    EXPECT_EQ(lastsheet->row_count, 6);  // the empty row inside the data is left out
    Column* plot = column_named("Plot");
    ASSERT_NE(plot, nullptr);
    EXPECT_EQ(plot->type, VXS_UNITS_NUM);
    EXPECT_EQ(plot->num[5], 106);
    EXPECT_EQ(plot->extra, " Plot number");
    Column* dose = column_named("Treatment");
    ASSERT_NE(dose, nullptr);
    EXPECT_EQ(dose->type, VXS_FACTOR);
    EXPECT_EQ(dose->labels, (std::vector<std::string>{"N0", "N1", "N2"}));
    EXPECT_EQ(column_named("Block")->type, VXS_FACTOR);
    EXPECT_EQ(column_named("Yield")->type, VXS_VARIATE);
    EXPECT_EQ(lastsheet->description_lines, (std::vector<std::string>{"Site: Rothamsted", "Year: 2001"}));
}

TEST_P(TrialWorkbook, ListsSheetAndRangeNames) {
    ScratchDir dir;
    Converted c = convert(dir, GetParam(), "names.out", {}, "/w");
    EXPECT_EQ(c.run.status, 0);
    std::string expected = std::string("File: ") + GetParam() +
                           "\nSheets: 5\nTRIAL\nNUMBERS\nDATA2\nEMPTY\nLOG\nNamed Ranges: 2\nTRIALBLOCK\nCOLUMN_ROW\n";
    EXPECT_EQ(c.run.out, expected);
    EXPECT_EQ(read_file(dir.file("names.out")), expected);
}

INSTANTIATE_TEST_SUITE_P(Excel, TrialWorkbook, ::testing::Values("trial_biff8.xls", "trial_biff5.xls"));

// What xlwt wrote into strings_biff8.xls, as the reader must deliver it: at most 90
// characters, 16-bit characters outside printable ASCII as "_", surrounding blanks stripped
// and inner runs of blanks reduced.
std::string expected_string(int i) {
    char buf[200];
    if (i % 50 == 7) {
        std::snprintf(buf, sizeof buf, "L%03d-", i);
        return (std::string(buf) + std::string(115, 'x')).substr(0, 90);
    }
    if (i % 25 == 3) {
        std::snprintf(buf, sizeof buf, "W%03d-__d_", i);
        return buf;
    }
    if (i % 40 == 11) {
        std::snprintf(buf, sizeof buf, "spaced out %03d", i);
        return buf;
    }
    std::snprintf(buf, sizeof buf, "word-%04d-", i);
    return buf + std::string(static_cast<size_t>(10 + i % 20), "abcdefghij"[i % 10]);
}

TEST(ExcelStrings, SharedStringsAcrossContinueRecords) {
    ASSERT_EQ(read_in_process("strings_biff8.xls"), 1);
    ASSERT_EQ(lastsheet->row_count, 600);
    Column* word = column_named("Word");
    Column* index = column_named("Index");
    ASSERT_NE(word, nullptr);
    ASSERT_NE(index, nullptr);
    for (int i = 0; i < 600; ++i) {
        ASSERT_EQ(word->text.get(static_cast<size_t>(i)), expected_string(i)) << "string " << i;
        ASSERT_EQ(index->num[static_cast<size_t>(i)], i);
    }
}

TEST(ExcelStrings, EndToEndToCsv) {
    ScratchDir dir;
    Converted c = convert(dir, "strings_biff8.xls", "out.csv");
    ASSERT_EQ(c.run.status, 0) << c.run.out;
    ASSERT_EQ(c.table.size(), 601u);
    for (int i = 0; i < 600; i += 37) EXPECT_EQ(c.table[static_cast<size_t>(i) + 1][0], expected_string(i));
}

TEST(ExcelColumns, MoreThan250ColumnsAgainstTheOutputLimits) {
    ScratchDir dir;
    Converted csv = convert(dir, "wide_biff8.xls", "out.csv");
    ASSERT_EQ(csv.run.status, 0) << csv.run.out;
    ASSERT_EQ(csv.table.size(), 4u);
    ASSERT_EQ(csv.table[0].size(), 256u);
    EXPECT_EQ(csv.table[0][255], "V256");
    EXPECT_EQ(csv.table[3][255], "3255");
    EXPECT_EQ(csv.run.out.find("NOT transfered"), std::string::npos);
    EXPECT_NE(csv.run.out.find("[WIDE]A1:IV4"), std::string::npos);

    Converted vsh = convert(dir, "wide_biff8.xls", "out.vsh");
    EXPECT_EQ(vsh.run.status, 0);
    EXPECT_NE(vsh.run.out.find("Warning Columns above 250 NOT transfered!\n"), std::string::npos);
}

TEST(ExcelSmallFiles, MiniStreamWorkbooksAndEmptyCells) {
    for (const char* name : {"mini_biff8.xls", "mini_biff5.xls"}) {
        ScratchDir dir;
        Converted c = convert(dir, name, "out.csv");
        ASSERT_EQ(c.run.status, 0) << name << c.run.out;
        EXPECT_EQ(c.table, (Table{{"Height", "Kind"}, {"1.5", "k1"}, {"3", "k2"}, {"4.5", "k3"}})) << name;
    }
    // A missing text and empty cells: the row holding only "*" is empty and dropped.
    ASSERT_EQ(read_in_process("tiny_biff8.xls"), 1);
    Column* count = column_named("Count");
    Column* name = column_named("Name");
    ASSERT_NE(count, nullptr);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(count->type, VXS_VARIATE);
    EXPECT_EQ(count->num[0], 1);
    EXPECT_LE(count->num[1], lastsheet->missing);
    EXPECT_EQ(name->text.get(1), "");
    EXPECT_EQ(name->text.get(2), "three");
}

TEST(ExcelBare, Excel2To4Worksheets) {
    for (const char* name : {"biff2.xls", "biff3.xls", "biff4.xls"}) {
        ScratchDir dir;
        Converted c = convert(dir, name, "out.csv");
        ASSERT_EQ(c.run.status, 0) << name << c.run.out;
        std::string stem = std::string(name).substr(0, 5);
        std::string kind = stem == "biff2" ? " (Excel 2)" : " (Excel 3/4)";
        EXPECT_NE(c.run.out.find("[" + stem + kind + "]A1:C4"), std::string::npos) << c.run.out;
        EXPECT_EQ(c.table, (Table{{"Weight", "Count", "Tag"}, {"1.25", "7", "first"}, {"2.5", "1", ""}, {"4.75", "9", "made"}}))
            << name;
    }
}

TEST(ExcelPieces, RkNumbersCellRangesAndColumnLetters) {
    EXPECT_EQ(convert_rk_to_double((7u << 2) | 2), 7.0);
    EXPECT_EQ(convert_rk_to_double(static_cast<uint32_t>(-5 << 2) | 2), -5.0);
    EXPECT_EQ(convert_rk_to_double((125u << 2) | 3), 1.25);
    EXPECT_EQ(convert_rk_to_double(0x3FF00000u), 1.0);       // high 30 bits of the double 1.0
    EXPECT_EQ(convert_rk_to_double(0x3FF00000u | 1), 0.01);  // divided by 100

    auto range = [](const char* text) {
        VxsSelection s;
        xls_parse_cell_range(text, &s);
        return std::vector<int32_t>{s.first_col, s.first_row, s.last_col, s.last_row};
    };
    EXPECT_EQ(range("b3:d12"), (std::vector<int32_t>{1, 2, 3, 11}));
    EXPECT_EQ(range("AB2:AZ1201"), (std::vector<int32_t>{27, 1, 51, 1200}));
    EXPECT_EQ(range("A1..C5"), (std::vector<int32_t>{0, 0, 2, 4}));
    EXPECT_EQ(range("B3 D12"), (std::vector<int32_t>{1, 2, 3, 11}));
    EXPECT_EQ(range("3:12"), (std::vector<int32_t>{0, 2, 65535, 11}));
    EXPECT_EQ(range("ZZ1:IV"), (std::vector<int32_t>{255, 0, 255, 65534}));

    EXPECT_EQ(vxs_column_letters(0), "A");
    EXPECT_EQ(vxs_column_letters(25), "Z");
    EXPECT_EQ(vxs_column_letters(26), "AA");
    EXPECT_EQ(vxs_column_letters(255), "IV");
}

// ---------------------------------------------------------------- damaged workbooks

// The offset of the first place where the pattern occurs and the check holds.
size_t find_record(const std::string& bytes, const std::string& head, const auto& check) {
    for (size_t at = bytes.find(head); at != std::string::npos; at = bytes.find(head, at + 1))
        if (check(at)) return at;
    return std::string::npos;
}

uint32_t u32_at(const std::string& b, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + static_cast<size_t>(i)]);
    return v;
}

void put_u32(std::string& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}

RunResult run_bytes(const ScratchDir& dir, const std::string& bytes, const std::vector<std::string>& extra = {}) {
    write_file(dir.file("bad.xls"), bytes);
    std::vector<std::string> args = {"bad.xls", "out.csv"};
    args.insert(args.end(), extra.begin(), extra.end());
    return run_morvalen(dir.path(), args);
}

// Statuses a damaged workbook may end with: converted, not recognised any more, no data
// found, reader failed, or one of the fatal spreadsheet statuses.
bool acceptable(int status) {
    return status == 0 || status == 3 || status == 4 || status == 5 || (status >= 9 && status <= 15);
}

TEST(ExcelDamaged, CutShortAtManyOffsets) {
    for (const char* name : {"trial_biff8.xls", "trial_biff5.xls", "mini_biff8.xls", "strings_biff8.xls", "biff4.xls"}) {
        std::string whole = read_file(data_path(std::string("xls/") + name));
        ScratchDir dir;
        for (size_t cut : {size_t{7}, size_t{100}, size_t{511}, size_t{512}, size_t{1100}, size_t{2100},
                           whole.size() / 2, whole.size() - 600, whole.size() - 1}) {
            if (cut >= whole.size()) continue;
            RunResult r = run_bytes(dir, whole.substr(0, cut));
            EXPECT_TRUE(acceptable(r.status)) << name << " cut at " << cut << ": " << r.status << "\n" << r.out;
        }
    }
}

TEST(ExcelDamaged, FatLoopsAndOutOfRangeSectorsEndTheRead) {
    std::string whole = read_file(data_path("xls/trial_biff8.xls"));
    size_t fat = (static_cast<size_t>(u32_at(whole, 76)) + 1) * 512;
    ScratchDir dir;
    for (int variant = 0; variant < 4; ++variant) {
        std::string b = whole;
        for (size_t k = 0; k < 128; ++k) {
            size_t at = fat + 4 * k;
            uint32_t e = u32_at(b, at);
            if (e >= 0xFFFFFFFD) continue;
            uint32_t v = variant == 0 ? static_cast<uint32_t>(k)           // each sector its own successor
                         : variant == 1 ? 0u                               // every chain back to sector 0
                         : variant == 2 ? 0x00FFFFF0u                      // far outside the FAT
                                        : static_cast<uint32_t>(k ? k - 1 : 0);  // chains running backwards
            put_u32(b, at, v);
        }
        RunResult r = run_bytes(dir, b);
        EXPECT_TRUE(acceptable(r.status)) << "variant " << variant << ": " << r.status << "\n" << r.out;
    }
    // Single flipped bytes over the header, FAT and directory.
    for (size_t at = 0; at < whole.size() && at < 4096; at += 37) {
        std::string b = whole;
        b[at] = static_cast<char>(~b[at]);
        RunResult r = run_bytes(dir, b);
        EXPECT_TRUE(acceptable(r.status)) << "byte " << at << ": " << r.status << "\n" << r.out;
    }
}

TEST(ExcelDamaged, FatalStatusesWithTheirMessages) {
    ScratchDir dir;
    std::string trial8 = read_file(data_path("xls/trial_biff8.xls"));
    std::string trial5 = read_file(data_path("xls/trial_biff5.xls"));

    // 9: a DIMENSIONS record claiming sixteen million rows.
    std::string b = trial8;
    size_t dim = find_record(b, std::string("\x00\x02\x0e\x00", 4), [&](size_t at) { return u32_at(b, at + 8) == 13; });
    ASSERT_NE(dim, std::string::npos);
    put_u32(b, dim + 8, 0x01000000);
    RunResult r = run_bytes(dir, b);
    EXPECT_EQ(r.status, 9);
    EXPECT_EQ(r.out, "Error: Too much data in Excel file for Morvalen to handle!\n");

    // 10: first row after the last, and an empty extent.
    b = trial8;
    put_u32(b, dim + 4, 20);
    r = run_bytes(dir, b);
    EXPECT_EQ(r.status, 10);
    EXPECT_EQ(r.out, "Error: Invalid Excel file Dimension record!\n");
    b = trial8;
    put_u32(b, dim + 4, 13);
    r = run_bytes(dir, b);
    EXPECT_EQ(r.status, 10);
    EXPECT_EQ(r.out, "Error: Excel Sheet is empty!\n");

    // 12: a globals record longer than 8224 bytes in an Excel 5 workbook.
    b = trial5;
    size_t sheet5 = find_record(b, std::string("\x85\x00", 2), [&](size_t at) { return b.compare(at + 11, 5, "Trial") == 0; });
    ASSERT_NE(sheet5, std::string::npos);
    b[sheet5 + 2] = 0x00;
    b[sheet5 + 3] = 0x21;
    r = run_bytes(dir, b);
    EXPECT_EQ(r.status, 12);
    EXPECT_EQ(r.out, "Error: Invalid Excel record length!\n");

    // 13: a shared-string count far beyond the bytes present.
    std::string s = read_file(data_path("xls/strings_biff8.xls"));
    size_t sst = find_record(s, std::string("\xfc\x00", 2), [&](size_t at) { return u32_at(s, at + 8) == 602; });
    ASSERT_NE(sst, std::string::npos);
    put_u32(s, sst + 8, 0x10000000);
    r = run_bytes(dir, s);
    EXPECT_EQ(r.status, 13);
    EXPECT_EQ(r.out, "Error: Invalid Excel Global label storage record!\n");

    // 14: a record code out of range in the globals.
    b = trial8;
    size_t sheet8 = find_record(b, std::string("\x85\x00", 2), [&](size_t at) { return b.compare(at + 12, 5, "Trial") == 0; });
    ASSERT_NE(sheet8, std::string::npos);
    b[sheet8] = static_cast<char>(0xFF);
    b[sheet8 + 1] = 0x7F;
    r = run_bytes(dir, b);
    EXPECT_EQ(r.status, 14);
    EXPECT_EQ(r.out, "Error: Invalid Excel record code!\n");

    // 15: every sheet marked as a chart.
    b = trial8;
    for (size_t at = b.find(std::string("\x85\x00", 2)); at != std::string::npos; at = b.find(std::string("\x85\x00", 2), at + 1))
        if (at + 12 < b.size() && b[at + 3] == 0 && b[at + 9] == 0 &&
            static_cast<uint8_t>(b[at + 10]) + 8u == static_cast<uint8_t>(b[at + 2]))
            b[at + 9] = 2;  // the sheet type byte of the options
    r = run_bytes(dir, b);
    EXPECT_EQ(r.status, 15);
    EXPECT_EQ(r.out, "Empty Excel spreadsheet - no valid worksheets!\n");
}

TEST(ExcelDamaged, OverwrittenWorkbookStartAndForeignStreams) {
    ScratchDir dir;
    std::string trial8 = read_file(data_path("xls/trial_biff8.xls"));
    // The globals' first record gone and no copy elsewhere: nothing is found, quietly.
    std::string b = trial8;
    size_t bof = b.find(std::string("\x09\x08\x10\x00\x00\x06\x05\x00", 8));
    ASSERT_NE(bof, std::string::npos);
    b[bof + 6] = 0x07;
    RunResult r = run_bytes(dir, b);
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.out.find("Error:"), std::string::npos) << r.out;

    // A stream of another program is copied to a temporary file named after TMP and handed
    // on; the copy is removed afterwards.
    b = trial8;
    std::string workbook("W\0o\0r\0k\0b\0o\0o\0k\0\0\0", 18);
    std::string contents("C\0o\0n\0t\0e\0n\0t\0s\0\0\0", 18);
    size_t entry = b.find(workbook);
    ASSERT_NE(entry, std::string::npos);
    b.replace(entry, 18, contents);
    write_file(dir.file("bad.xls"), b);
    setenv("TMP", (dir.path() + "/").c_str(), 1);
    r = run_morvalen(dir.path(), {"bad.xls", "out.csv"});
    unsetenv("TMP");
    EXPECT_EQ(r.status, 4) << r.out;
    EXPECT_FALSE(file_exists(dir.file("K7RZtemp.sta")));
}

}  // namespace
