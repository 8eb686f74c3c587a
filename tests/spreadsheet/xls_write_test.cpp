// The Excel writer: bytes by hand, files read by olefile, xlrd, ssconvert and our own reader.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "driver/vxs_options.h"
#include "package/vxr_read.h"
#include "sheet/vxs_access.h"
#include "sheet/vxs_sheet.h"
#include "spreadsheet/vxr_xlsw.h"
#include "test_util.h"

namespace {

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

// What check_xls.py says about a file.
std::string check(const std::string& dir, const std::string& file, const char* option = "") {
    const std::string out = dir + "/check.txt";
    int rc = std::system(("/usr/bin/python3 " + data_path("xlsw/check_xls.py") + " " + file + " " + option + " > " + out + " 2>&1").c_str());
    return (rc == 0 ? "" : "FAILED\n") + read_file(out);
}

void expect_lines(const std::string& text, std::initializer_list<const char*> lines) {
    for (const char* line : lines)
        EXPECT_NE(("\n" + text).find("\n" + std::string(line) + "\n"), std::string::npos) << line << "\n" << text;
}

TEST(XlsRecords, RkValuesByHand) {
    const std::pair<double, uint32_t> cases[] = {
        {1.0, 0x3FF00000},                  // high word of the double, low word zero
        {2.5, 0x40040000},                  // likewise: no x100 flag needed
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
    }
}

TEST(XlsRecords, CellRecordsByHand) {
    fresh_stream(5);
    // Two RK cells gather into one MULRK; the NUMBER after them writes it out first.
    ASSERT_TRUE(xls_write_number(1, 0, 0, 1.0));
    ASSERT_TRUE(xls_write_number(1, 1, 25, 2.5));
    ASSERT_TRUE(xls_write_number(1, 2, 0, 1e300));
    EXPECT_EQ(hex(xls_stream()),
              "BD 00 12 00 01 00 00 00 00 00 00 00 F0 3F 19 00 00 00 04 40 01 00 "
              "03 02 0E 00 01 00 02 00 00 00 9C 75 00 88 3C E4 37 7E");
    fresh_stream(5);
    ASSERT_TRUE(xls_write_number(2, 3, 0, 0.1));
    ASSERT_TRUE(xls_write_mulrk(2));  // a single RK is an RK record
    ASSERT_TRUE(xls_write_label(0, 3, "Ab"));
    ASSERT_TRUE(xls_write_note95(0, 1, "!(1,2)"));
    ASSERT_TRUE(xls_write_label(4, 0, ""));  // an empty text is a BLANK
    EXPECT_EQ(hex(xls_stream()),
              "7E 02 0A 00 02 00 03 00 00 00 01 00 24 40 "
              "04 02 0A 00 00 00 03 00 00 00 02 00 41 62 "
              "1C 00 0C 00 00 00 01 00 06 00 21 28 31 2C 32 29 "
              "01 02 06 00 04 00 00 00 00 00");
    // Excel 2: low-byte codes, three attribute bytes, 8-bit text lengths, no RK.
    fresh_stream(2);
    ASSERT_TRUE(xls_write_number(1, 0, 0, 1.0));
    ASSERT_TRUE(xls_write_label(0, 0, "A"));
    EXPECT_EQ(hex(xls_stream()),
              "03 00 0F 00 01 00 00 00 00 00 00 00 00 00 00 00 00 F0 3F "
              "04 00 09 00 00 00 00 00 00 00 00 01 41");
    // Excel 3/4: one RK record per value.
    fresh_stream(4);
    ASSERT_TRUE(xls_write_number(1, 0, 0, 1.0));
    ASSERT_TRUE(xls_write_number(1, 1, 0, 2.0));
    EXPECT_EQ(hex(xls_stream()), "7E 02 0A 00 01 00 00 00 00 00 00 00 F0 3F 7E 02 0A 00 01 00 01 00 00 00 00 00 00 40");
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

// Mini stream below 4096 bytes, regular sectors above, DIFAT past 109 FAT sectors (made wide:
// Excel 95 readers stop at row 16384).
TEST(XlsWorkbook, ContainerSizes) {
    if (!tool_present(kXlrd)) GTEST_SKIP() << "python3-xlrd or python3-olefile not installed";
    for (auto [rows, cols, expect] :
         {std::tuple{3, 2, " mini\n"}, {400, 3, " regular\n"}, {16383, 30, " regular\n"}}) {
        SCOPED_TRACE(rows);
        Sheet* s = new_run_with_sheet(rows);
        for (int c = 0; c < cols; ++c) {
            Column* col = create_column_with_memory(s, VXS_VARIATE, "V" + std::to_string(c), rows);
            // Thirds are never RK values, so every cell is an 18-byte NUMBER record.
            for (int r = 0; r < rows; ++r) col->num[static_cast<size_t>(r)] = (r + c + 1) / 3.0;
        }
        ScratchDir dir;
        ASSERT_TRUE(write_sheet_as_xls(s, dir.file("s.xls").c_str()));
        // xlrd takes a minute over the large file: olefile checks its container, we its cells.
        const bool large = rows > 1000;
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
    std::string file = read_file(dir.file("n.xls"));
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
    new_run_with_sheet(1);
    lastsheet = nullptr;
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
        std::string out = stdout_of([&] { EXPECT_EQ(write_sheet_as_xls(s, dir.file("big.xls").c_str()), rows < 65535); });
        EXPECT_EQ(file_exists(dir.file("big.xls")), rows < 65535);
        EXPECT_EQ(out, rows < 65535 ? " Warning: Excel 95 sheets hold 16384 rows: other programs may read only the first 16384 of 65535!\n"
                                    : "Error: Data space required exceeds Excel capabilities!\n");
    }
}

}  // namespace
