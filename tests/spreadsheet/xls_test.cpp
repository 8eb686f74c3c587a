// Excel workbooks of gnumeric, xlwt and a BIFF 2-4 writer: selections, limits, damaged containers.
// The Excel writer: bytes by hand, files read by olefile, xlrd, ssconvert and our own reader.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <tuple>

#include "driver/vxs_options.h"
#include "package/vxr_read.h"
#include "sheet/vxs_access.h"
#include "sheet/vxs_sheet.h"
#include "spreadsheet/vxr_xlsw.h"
#include "spreadsheet/vxs_xls.h"
#include "test_util.h"

namespace {

using Row = std::vector<std::string>;
using Table = std::vector<Row>;

// A sample copied (its path holds "/t", an option) and converted to out.csv; what the run printed.
std::string convert(const ScratchDir& dir, const std::string& name, const std::vector<std::string>& selection = {}) {
    std::vector<std::string> args = {copy_sample(dir, "xls/" + name), "out.csv"};
    args.insert(args.end(), selection.begin(), selection.end());
    RunResult r = run_morvalen(dir.path(), args);
    EXPECT_EQ(r.status, 0) << r.out;
    return r.out;
}
Table out_csv(const ScratchDir& dir) { return csv_cells(read_file(dir.file("out.csv"))); }

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
    struct { const char *sheet, *range; int32_t rows, cols; const char* first_name; size_t col, row; double value; } const cases[] = {
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
        ASSERT_EQ(std::pair(lastsheet->row_count, lastsheet->column_count), std::pair(c.rows, c.cols));
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
        const std::string out = convert(dir, c.name, c.selection);
        EXPECT_EQ(out_csv(dir), c.table);
        EXPECT_EQ(out.find("NOT transfered"), std::string::npos);  // 256 columns fit delimited text
        if (c.block) { EXPECT_NE(out.find(c.block), std::string::npos) << out; }
    }
}

uint32_t u32_at(const std::string& b, size_t at) {
    uint32_t v;
    return std::memcpy(&v, b.data() + at, 4), v;  // little-endian, as the container and the host
}

// Cut, FAT loops, far sectors, backward chains, flipped bytes, no BOF, a foreign stream: a status, no hang.
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
    EXPECT_EQ(std::pair(r.status, r.out.find("Error:")), std::pair(4, std::string::npos)) << r.out;
    // Another program's stream goes to a copy beside TMP, removed afterwards.
    size_t entry = trial8.find(std::string("W\0o\0r\0k\0b\0o\0o\0k\0\0\0", 18));
    ASSERT_NE(entry, std::string::npos);
    setenv("TMP", (dir.path() + "/").c_str(), 1);
    r = run(patched(trial8, entry, std::string("C\0o\0n\0t\0e\0n\0t\0s\0\0\0", 18)), "Contents");
    unsetenv("TMP");
    EXPECT_EQ(std::pair(r.status, file_exists(dir.file("K7RZtemp.sta"))), std::pair(4, false)) << r.out;
}

// two_paths_biff8.xls holds another copy in the mini stream; mini_scrambled_biff8.xls needs the mini FAT.
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
        EXPECT_EQ(out_csv(dir), want);
    }
    ScratchDir dir;
    convert(dir, "mini_scrambled_biff8.xls");
    EXPECT_EQ(out_csv(dir), regular);
}

const char kXlrd[] = "/usr/bin/python3 -c 'import xlrd, olefile'";

std::string hex(const std::string& bytes) {
    std::string out;
    char b[4];
    for (unsigned char c : bytes) out += (std::snprintf(b, sizeof b, out.empty() ? "%02X" : " %02X", c), b);
    return out;
}

void fresh_stream(int version) {
    xls_reset_stream();
    xls_ver_2 = version == 2, xls_ver_34 = version <= 4, xls_ver_97 = 0;
}

std::string check(const std::string& dir, const std::string& file, const char* option = "") {
    int rc = std::system(("/usr/bin/python3 " + data_path("xlsw/check_xls.py") + " " + file + " " + option + " > " + dir +
                          "/check.txt 2>&1").c_str());
    return (rc == 0 ? "" : "FAILED\n") + read_file(dir + "/check.txt");
}

void expect_lines(const std::string& text, std::initializer_list<const char*> lines) {
    for (const char* line : lines)
        EXPECT_NE(("\n" + text).find("\n" + std::string(line) + "\n"), std::string::npos) << line << "\n" << text;
}

// Each RK value made and read back: the reader's decoding of all four forms.
TEST(XlsRecords, RkValuesByHand) {
    const std::pair<double, uint32_t> cases[] = {
        {1.0, 0x3FF00000},                  // high word of the double, low word zero
        {-3.0, 0xC0080000},                 // negative integers have a zero low word too
        {123456789.0, 123456789u * 4 + 2},  // integer form
        {0.1, 0x40240001},                  // 10.0 as a double, divided by 100
        {12345.67, 1234567u * 4 + 3},       // integer form divided by 100
        {1e300, 0},                         // no RK: range checked before truncating
        {0.07, 0},                          // no RK: x100 is not a whole number
        {1.0 / 3, 0}};
    for (auto [value, want] : cases) {
        uint32_t rk = 0;
        EXPECT_EQ(xls_rk_value(value, rk), want != 0) << value;
        EXPECT_EQ(want ? rk : 0, want) << value;
        if (want) { EXPECT_EQ(convert_rk_to_double(want), value); }
    }
    EXPECT_EQ(convert_rk_to_double(static_cast<uint32_t>(-5 << 2) | 2), -5.0);  // a negative integer, read only
}

TEST(XlsRecords, CellRecordsByHand) {
    auto records = [](int version, auto write) { return fresh_stream(version), write(), hex(xls_stream()); };
    // Two RK cells gather into one MULRK; the NUMBER after them writes it out first.
    EXPECT_EQ(records(5, [] {
                  ASSERT_TRUE(xls_write_number(1, 0, 0, 1.0) && xls_write_number(1, 1, 25, 2.5) && xls_write_number(1, 2, 0, 1e300));
              }),
              "BD 00 12 00 01 00 00 00 00 00 00 00 F0 3F 19 00 00 00 04 40 01 00 "
              "03 02 0E 00 01 00 02 00 00 00 9C 75 00 88 3C E4 37 7E");
    EXPECT_EQ(records(5, [] {
                  ASSERT_TRUE(xls_write_number(2, 3, 0, 0.1));
                  ASSERT_TRUE(xls_write_mulrk(2));  // a single RK is an RK record
                  ASSERT_TRUE(xls_write_label(0, 3, "Ab") && xls_write_note95(0, 1, "!(1,2)"));
                  ASSERT_TRUE(xls_write_label(4, 0, ""));  // an empty text is a BLANK
              }),
              "7E 02 0A 00 02 00 03 00 00 00 01 00 24 40 "
              "04 02 0A 00 00 00 03 00 00 00 02 00 41 62 "
              "1C 00 0C 00 00 00 01 00 06 00 21 28 31 2C 32 29 "
              "01 02 06 00 04 00 00 00 00 00");
    // Excel 2: low-byte codes, three attribute bytes, 8-bit text lengths, no RK; Excel 3/4: one RK record per value.
    EXPECT_EQ(records(2, [] { ASSERT_TRUE(xls_write_number(1, 0, 0, 1.0) && xls_write_label(0, 0, "A")); }),
              "03 00 0F 00 01 00 00 00 00 00 00 00 00 00 00 00 00 F0 3F 04 00 09 00 00 00 00 00 00 00 00 01 41");
    EXPECT_EQ(records(4, [] { ASSERT_TRUE(xls_write_number(1, 0, 0, 1.0) && xls_write_number(1, 1, 0, 2.0)); }),
              "7E 02 0A 00 01 00 00 00 00 00 00 00 F0 3F 7E 02 0A 00 01 00 01 00 00 00 00 00 00 40");
}

TEST(XlsRecords, StreamLimitStopsTheWriting) {
    fresh_stream(5);
    const size_t limit = xls_stream_limit;
    xls_stream_limit = 20;
    EXPECT_EQ(stdout_of([] {
                  EXPECT_TRUE(xls_write_number(0, 0, 0, 1e300));  // 18 bytes
                  EXPECT_FALSE(xls_write_eof());                  // 4 more pass the limit,
                  EXPECT_FALSE(xls_write_eof());                  // and the writing stays stopped
              }),
              "Error: Data space required exceeds Excel capabilities!\n");
    EXPECT_FALSE(writeb(nullptr, 4097)) << "one call takes at most 4096 bytes";
    xls_stream_limit = limit;
}

// Text and numeric factors, a missing cell and quoted commas, converted from CSV.
TEST(XlsWorkbook, OpenedByOleFileXlrdAndSsconvert) {
    if (!tool_present(kXlrd)) GTEST_SKIP() << "python3-xlrd or python3-olefile not installed";
    ScratchDir dir;
    write_file(dir.file("in.csv"), "Site,Plot,Treatment!,Dose,Score!,Comment\nNorth,1,Control,0.5,3,\"fine, dry\"\n"
        "South,2,High N,1.25,1,said ok\nNorth,3,Control,*,3,\nEast,4,low n,1e10,2,O'Brien\n");
    ASSERT_EQ(run_morvalen(dir.path(), {"in.csv", "out.xls"}).status, 0);
    std::string c = check(dir.path(), dir.file("out.xls"));
    EXPECT_NE(c.find(" mini\n"), std::string::npos) << c;
    expect_lines(c, {"streams ['\\x01CompObj', '\\x05SummaryInformation', 'Book']", "walk ok 1", "sheet Vantrix Data 5 6",
                     "0,0,1,Site", "0,2,1,Treatment!", "0,4,1,Score!", "1,0,1,North", "1,1,2,1.0", "2,3,2,1.25",
                     "4,3,2,10000000000.0", "2,2,1,High N", "1,4,2,3.0", "1,5,1,fine, dry"});
    EXPECT_EQ(c.find("\n3,3,"), std::string::npos) << "a missing cell inside the row is left out";

    if (!tool_present("command -v ssconvert")) GTEST_SKIP() << "ssconvert (gnumeric) not installed";
    std::string g = shell_output("cd " + dir.path() + " && ssconvert -T Gnumeric_stf:stf_csv out.xls fd://1 2>/dev/null");
    EXPECT_NE(g.find("Site,Plot,Treatment!,Dose,Score!,Comment\n"), std::string::npos) << g;
    EXPECT_NE(g.find("\nEast,4,\"low n\",10000000000,2,O'Brien\n"), std::string::npos) << g;
}

// Mini stream below 4096 bytes, regular sectors above, DIFAT past 109 FAT sectors (wide: rows stop at 16384).
TEST(XlsWorkbook, ContainerSizes) {
    if (!tool_present(kXlrd)) GTEST_SKIP() << "python3-xlrd or python3-olefile not installed";
    for (auto [rows, cols, expect] :
         {std::tuple{3, 2, " mini\n"}, {400, 3, " regular\n"}, {16383, 30, " regular\n"}}) {
        SCOPED_TRACE(rows);
        Sheet* s = new_run_with_sheet(rows);
        for (int c = 0; c < cols; ++c) {  // thirds are never RK values: every cell an 18-byte NUMBER record
            Column* col = create_column_with_memory(s, VXS_VARIATE, "V" + std::to_string(c), rows);
            for (int r = 0; r < rows; ++r) col->num[static_cast<size_t>(r)] = (r + c + 1) / 3.0;
        }
        ScratchDir dir;
        ASSERT_TRUE(write_sheet_as_xls(s, dir.file("s.xls").c_str()));
        const bool large = rows > 1000;  // xlrd takes a minute over it: olefile checks the container, we the cells
        std::string c = check(dir.path(), dir.file("s.xls"), large ? "--container" : "");
        EXPECT_NE(c.find(expect), std::string::npos) << c.substr(0, 400);
        EXPECT_NE(c.find("walk ok " + std::to_string(rows / 32 + 1) + "\n"), std::string::npos) << c.substr(0, 400);
        if (!large) {
            expect_lines(c, {("sheet Vantrix Data " + std::to_string(rows + 1) + " " + std::to_string(cols)).c_str()});
            EXPECT_NE(c.find("\n" + std::to_string(rows) + "," + std::to_string(cols - 1) + ",2,"), std::string::npos);
            continue;
        }
        EXPECT_EQ(read_file(dir.file("s.xls")).substr(0x48, 4), le_bytes(1, 4)) << "DIFAT sector count";
        ASSERT_EQ(run_morvalen(dir.path(), {"s.xls", "s.csv"}).status, 0);
        // Last cell: (16382 + 29 + 1) / 3, shown with six digits.
        EXPECT_TRUE(read_file(dir.file("s.csv")).ends_with("5470.67\n"));
        // Every cell read back exactly: the 8.8 MB stream is read through a window a part at a time.
        fresh_run();
        XlsFatal fatal;
        stdout_of([&] { ASSERT_EQ(xls_read_workbook(dir.file("s.xls").c_str(), &fatal), 1); });
        ASSERT_TRUE(lastsheet);
        ASSERT_EQ(lastsheet->row_count, rows);
        for (int c = 0; c < cols; ++c)
            for (int r = 0; r < rows; ++r)
                if (lastsheet->cols[static_cast<size_t>(c) + 1]->num[static_cast<size_t>(r)] != (r + c + 1) / 3.0)
                    return ADD_FAILURE() << "cell " << r << "," << c;
    }
}

TEST(XlsWorkbook, BareForms) {
    for (int version : {2, 4}) {
        SCOPED_TRACE(version);
        Sheet* s = new_run_with_sheet(2);
        s->defaults.spreadsheet_version = version;
        Column* a = create_column_with_memory(s, VXS_VARIATE, "Num", 2);
        a->num = {1.5, 123456789.0}, a->decimals = 1;  // named "Num:1": read back with one decimal
        create_column_with_memory(s, VXS_TEXT, "Txt", 2)->text.set(0, "x");
        ScratchDir dir;
        ASSERT_TRUE(write_sheet_as_xls(s, dir.file("b.xls").c_str()));
        EXPECT_EQ(hex(read_file(dir.file("b.xls")).substr(0, 8)),
                  version == 2 ? "09 00 04 00 07 00 10 00" : "09 04 06 00 00 00 10 00");
        ASSERT_EQ(run_morvalen(dir.path(), {"b.xls", "b.csv"}).status, 0);
        EXPECT_NE(read_file(dir.file("b.csv")).find("123456789.0"), std::string::npos);
        if (tool_present(kXlrd))
            expect_lines(check(dir.path(), dir.file("b.xls")), {"2,0,2,123456789.0", "1,1,1,x"});
    }
    // The form follows the sheet, not the Excel 2 or 3/4 file just read.
    for (const char* bare : {"xls/biff2.xls", "xls/biff4.xls"}) {
        ScratchDir dir;
        ASSERT_EQ(run_morvalen(dir.path(), {copy_sample(dir, bare), "out.xls"}).status, 0);
        EXPECT_EQ(hex(read_file(dir.file("out.xls")).substr(0, 4)), "D0 CF 11 E0") << bare;
    }
}

// Notes carry levels, labels and descriptions; dates a date format; fixed decimals a format and ":d".
TEST(XlsWorkbook, NotesDatesAndDecimals) {
    Sheet* s = new_run_with_sheet(2);
    auto column = [&](int32_t type, const char* name, std::vector<double> num, int32_t origin = 0, int32_t nlevels = 0) {
        Column* c = create_column_with_memory(s, type, name, 2);
        c->num = num, c->origin = origin;
        if (nlevels) c->nlevels = nlevels;
        return c;
    };
    Column* levels = column(VXS_FACTOR, "Dose", {2, 1}, 1, 2);
    levels->levels = {0.5, 12}, levels->extra = "mg per plant";
    column(VXS_FACTOR, "Colour", {1, 2}, 2, 2)->labels = {"red", "blue"};
    Column* many = column(VXS_FACTOR, "Many", {1, 200}, 2, 200);
    for (int k = 0; k < 200; ++k) many->labels.push_back("label number " + std::to_string(k));
    column(VXS_VARIATE, "Born", {45000, 45001})->representation = VXS_REP_DATE;
    Column* fixed = column(VXS_VARIATE, "Mass", {1.5, 2.25});
    fixed->representation = VXS_REP_FIXED, fixed->decimals = 3, fixed->extra = "grams";
    ScratchDir dir;
    ASSERT_TRUE(write_sheet_as_xls(s, dir.file("n.xls").c_str()));
    EXPECT_TRUE(xls_stream().empty()) << "the stream's memory is released after the write";
    // NOTE records by hand: row 0, column, text length, text.
    const std::string file = read_file(dir.file("n.xls"));
    for (const std::string& bytes : {std::string("\x1C\x00\x1C\x00\x00\x00\x00\x00\x16\x00!(0.5,12)\nmg per plant", 32),
                                     std::string("\x1C\x00\x12\x00\x00\x00\x01\x00\x0C\x00!T(red,blue)", 22),
                                     std::string("\x1C\x00\x0B\x00\x00\x00\x04\x00\x05\x00grams", 15),
                                     std::string("\x1E\x04\x08\x00\xA4\x00\x05" "0.000", 12)})  // FORMAT 164
        EXPECT_NE(file.find(bytes), std::string::npos) << hex(bytes);
    EXPECT_EQ(file.find("!T(label number 0"), std::string::npos) << "a list over 960 characters is left out whole";
    if (tool_present(kXlrd))
        expect_lines(check(dir.path(), dir.file("n.xls")),
                     {"0,0,1,Dose!", "0,1,1,Colour!", "0,3,1,Born:D", "0,4,1,Mass:3", "1,0,2,12.0",
                      "1,1,1,red", "2,2,1,label number 199", "1,3,3,45000.0", "2,4,2,2.25"});

    // Our reader takes the kinds, levels, labels and decimals back.
    ASSERT_EQ(run_morvalen(dir.path(), {"n.xls", "back.vsh"}).status, 0);
    new_run_with_sheet(1), lastsheet = nullptr;
    ASSERT_TRUE(read_file_into_sheet(dir.file("back.vsh").c_str()));
    const auto& b = lastsheet->cols;
    ASSERT_EQ(lastsheet->column_count, 5);
    EXPECT_EQ(std::tuple(b[1]->type, b[1]->levels, b[1]->extra), std::tuple(VXS_FACTOR, std::vector<double>{0.5, 12}, "mg per plant"));
    EXPECT_EQ(b[2]->labels, (std::vector<std::string>{"red", "blue"}));
    EXPECT_EQ(std::tuple(b[4]->representation, b[5]->decimals), std::tuple(VXS_REP_DATE, 3));
}

TEST(XlsWorkbook, LogbookLayout) {
    Sheet* s = new_run_with_sheet(2);
    for (const char* line : {"Study_Name: Trial 7", "Operator: J. Smith", "A free line"}) vxs_add_line_to_description(s, line);
    create_column_with_memory(s, VXS_FACTOR, "Block", 2)->num = {1, 2};  // two levels
    create_column_with_memory(s, VXS_VARIATE, "Yield", 2)->num = {3.5, 4};
    vxs_parser_options().logbook_out_format = 1, vxs_parser_options().logbook_nfactors = 1;
    ScratchDir dir;
    ASSERT_TRUE(write_sheet_as_xls(s, dir.file("l.xls").c_str()));
    vxs_parser_options().logbook_out_format = 0;
    if (!tool_present(kXlrd)) GTEST_SKIP() << "python3-xlrd or python3-olefile not installed";
    // Nine headers (eight fixed and one more), five description rows, then the data.
    expect_lines(check(dir.path(), dir.file("l.xls")),
                 {"sheet LogBook Data 16 3", "0,0,1,study", "0,1,1,Trial 7", "1,1,1,A free line", "8,0,1,Operator", "8,1,1,J. Smith",
                  "9,0,1,variable_type", "9,1,1,treatment", "9,2,1,measurement", "13,0,1,variable_name", "13,2,1,Yield",
                  "14,2,2,3.5", "15,1,2,2.0"});
}

// Row numbers are 16-bit and row 0 holds the names: 65,534 data rows are the most.
TEST(XlsWorkbook, TooManyRowsAreRefused) {
    for (int32_t rows : {65534, 65535}) {
        Sheet* s = new_run_with_sheet(rows);
        create_column_with_memory(s, VXS_VARIATE, "V", rows);
        ScratchDir dir;
        const bool fits = rows < 65535;
        EXPECT_EQ(stdout_of([&] { EXPECT_EQ(write_sheet_as_xls(s, dir.file("big.xls").c_str()), fits); }),
                  fits ? " Warning: Excel 95 sheets hold 16384 rows: other programs may read only the first 16384 of 65535!\n"
                       : "Error: Data space required exceeds Excel capabilities!\n");
        EXPECT_EQ(file_exists(dir.file("big.xls")), fits);
    }
}

}  // namespace
