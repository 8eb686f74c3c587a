// Minitab worksheets and portable files: the generator's files read against their .expect and
// converted whole, text kept in numeric words, a release 14 stream inside a compound document,
// R foreign's read.mtp on the portable file, and broken files.
#include <gtest/gtest.h>

#include <cstring>

#include "driver/vxs_formats.h"
#include "sheet/vxs_sheet.h"
#include "statpack/reader_test_util.h"
#include "statpack/vxr_mtw.h"
#include "test_util.h"

namespace {

using Mtw = ReaderTest<read_mtw_into_sheet>;

void check_against(const Sheet* s, const std::string& base) {
    expect_sheet_cells(s, tsv_rows(data_path("minitab/" + base + ".expect")), true);
}

TEST_F(Mtw, TextInNumericWords) {
    EXPECT_EQ(vxs_mtw_convert_text(le_bytes(33343536, 4) + le_bytes(0, 4), 10), "ABCD    ");
    EXPECT_EQ(vxs_mtw_convert_text("Height  ", 10), "Height  ");
    float f;
    std::memcpy(&f, "wxyz", 4);
    double d = f;
    EXPECT_EQ(vxs_mtw_convert_text(std::string(reinterpret_cast<const char*>(&d), 8), 11), "wxyz");
    std::string plain = le_f64(1.5);  // not a widened single of characters: left alone
    EXPECT_EQ(vxs_mtw_convert_text(plain, 11), plain);
}

TEST_F(Mtw, OldWorksheetsHoldWhatTheGeneratorWroteAndConvert) {
    for (std::string f : {"old_v10", "old_v11"}) {
        SCOPED_TRACE(f);
        Sheet* s = read(data_path("minitab/" + f + ".mtw"));
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->cols[2]->type, VXS_FACTOR);
        check_against(s, f);
        copy_sample(dir, "minitab/" + f + ".mtw", "in.mtw");
        expect_conversions("in.mtw", tsv_rows(data_path("minitab/" + f + ".expect")), true);
    }
    std::string good = read_file(data_path("minitab/old_v10.mtw"));
    EXPECT_EQ(stdout_of([&] {
                  EXPECT_EQ(read_bytes("WORKSHOP" + good.substr(8)), nullptr);
                  EXPECT_EQ(read_bytes(good.substr(0, 80)), nullptr);
              }),
              "Data file " + dir.file("t.in") +
                  " is not a Mintab Worksheet!\nMinitab Worksheet is empty.");
    stdout_of(
        [&] { EXPECT_EQ(read_bytes(patched(good, 88, "\xFF\xFF")), nullptr); });  // lying words
}

TEST_F(Mtw, Release14StreamWithTheUsersNameInMessages) {
    vxs_set_mtw_file("field.mtw");
    Sheet* s = read(data_path("minitab/stream14.bin"));
    ASSERT_NE(s, nullptr);
    check_against(s, "stream14");
    EXPECT_EQ(s->description_lines, (std::vector<std::string>{"Field trial 2004", "Site B"}));
    EXPECT_EQ(s->cols[1]->extra, "grain yield in t/ha, measured at harvest");
    EXPECT_EQ(s->cols[2]->type, VXS_FACTOR);
    // The stored name serves one read: the same bytes without it are not an old worksheet.
    EXPECT_EQ(stdout_of([&] { EXPECT_EQ(read(data_path("minitab/stream14.bin")), nullptr); }),
              "Data file " + data_path("minitab/stream14.bin") + " is not a Mintab Worksheet!\n");

    std::string good = read_file(data_path("minitab/stream14.bin"));
    size_t name = good.find(std::string("\x05\0\0\0Yield", 9));
    ASSERT_NE(name, std::string::npos);
    const size_t second = static_cast<unsigned char>(good[4]);  // after the header record
    const std::string corrupt = "Minitab Worksheet: field.mtw is corrupt.";
    const struct {
        std::string bytes, message;
    } cases[] = {
        {patched(good, name, le_bytes(300, 4)), "Minitab column name to long."},
        {patched(good, name - 36, le_bytes(0x10000000, 4)), corrupt},  // lying count
        {patched(good, good.find("Field trial") - 4, le_bytes(5000, 4)),
         "Title string too long in Minitab file.\n"},
        {patched(good, good.find("MTB14") + 3, "9"),
         "Data file field.mtw is not a Minitab Worksheet.\n"},
        {patched(good, 4, le_bytes(400, 4)), "Minitab 12 Worksheet header too long.\n"},
        {good.substr(0, second), "Minitab Worksheet is empty."},
        // A record of S < 12 or S < H ends the read.
        {patched(good, second + 4, le_bytes(11, 4)), "Minitab Worksheet is empty."},
        {patched(good, second + 8, le_bytes(0xFFFF, 4)), "Minitab Worksheet is empty."},
        {good.substr(0, good.size() - 5), corrupt},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        vxs_set_mtw_file("field.mtw");
        EXPECT_EQ(stdout_of([&] { EXPECT_EQ(read_bytes(cases[i].bytes), nullptr) << i; }),
                  cases[i].message)
            << i;
    }
    for (size_t cut = 0; cut < good.size(); ++cut) {
        vxs_set_mtw_file("field.mtw");
        Sheet* c{};
        stdout_of([&] { c = read_bytes(good.substr(0, cut)); });
        for (size_t k = 1; c && k < c->cols.size(); ++k)
            EXPECT_EQ(c->cols[k]->value_count(), size_t(c->row_count));
    }
}

// The stream inside a compound document (made by gsf createole) converts through the driver;
// a broken one leaves no sheet, and its message names the user's file.
TEST_F(Mtw, EmbeddedWorksheetThroughTheContainer) {
    std::string ole = read_file(data_path("minitab/embedded14.mtw"));
    ASSERT_FALSE(ole.empty());
    write_file(dir.file("field.mtw"), ole);
    RunResult r = run_morvalen(dir.path(), {"field.mtw", "out.csv"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, " 4 records transferred.\n");
    EXPECT_NE(read_file(dir.file("out.csv")).find("Yield"), std::string::npos);

    write_file(dir.file("field.mtw"), patched(ole, ole.find("MTB14") + 3, "9"));
    r = run_morvalen(dir.path(), {"field.mtw", "out.csv"});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.out,
              "Data file field.mtw is not a Minitab Worksheet.\n"
              " Warning: No valid data found in file or specified sheet/range!\n");
}

using Mtp = ReaderTest<read_mtp_into_sheet>;

TEST_F(Mtp, PortableFilesHoldWhatTheGeneratorWrote) {
    for (std::string f : {"numeric", "portable"}) {
        Sheet* s = read(data_path("minitab/" + f + ".mtp"));
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->source_type, VXT_MTP);
        check_against(s, f);
    }
    copy_sample(dir, "minitab/portable.mtp", "in.mtp");
    expect_conversions("in.mtp", tsv_rows(data_path("minitab/portable.expect")), true);
}

TEST_F(Mtp, OptionsLimitsAndMessages) {
    std::string head = "MINITAB PORTABLE WORKSHEET\n";
    vxs_get_global_defaults()->factor_strip_blanks = 0;
    Sheet* s = read_bytes(head + "%3 1 2 -4 T\n ab  cd \n");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->cols[1]->text.get(0), " ab");
    EXPECT_EQ(s->cols[1]->text.get(1), "cd");
    vxs_get_global_defaults()->factor_strip_blanks = 1;

    EXPECT_EQ(
        stdout_of([&] { ASSERT_NE(s = read_bytes(head + "%3 1 2 0 Big\n1e308 -3\n"), nullptr); }),
        "Numbers in " + dir.file("t.in") +
            " greater than 9.99999E+307 have been set to this value.");
    EXPECT_EQ(s->cols[1]->num[0], 9.99999e307);

    VXSMAXCOLUMNS = 1;
    EXPECT_EQ(stdout_of([&] {
                  ASSERT_NE(s = read_bytes(head + "%3 1 1 0 A\n1\n%3 2 1 0 B\n2\n"), nullptr);
              }),
              "Maximum number of columns (1) exceeded.\nIgnoring extra columns.");
    EXPECT_EQ(s->column_count, 1);
    VXSMAXCOLUMNS = 2048;

    for (std::string bad : {head, head + "%3 0 4 0 A\n1\n", head + "%3 1 0 0 A\n",
                            head + "%4 1 1 0 A\n1\n", head + "%3 1\n"})
        EXPECT_EQ(
            stdout_of([&] { EXPECT_EQ(read_bytes(bad), nullptr); }),
            "Minitab Portable data file " + dir.file("t.in") + " does not contain column data.");
    // A count far above the values present sizes nothing past the file.
    ASSERT_NE(s = read_bytes(head + "%3 1 999999999 0 A\n1 2\n"), nullptr);
    EXPECT_LE(s->row_count, 100);
}

TEST_F(Mtp, ForeignReadsThePortableFileAlike) {
    if (!tool_present("Rscript -e 'library(foreign)'")) GTEST_SKIP() << "R foreign not installed";
    EXPECT_EQ(shell_output("Rscript -e 'library(foreign); d <- read.mtp(\"" +
                           data_path("minitab/numeric.mtp") +
                           "\"); cat(d$Height, d$C3, sep=\"|\")' 2>&1"),
              "1.5|2|3.25|4|1|2|1");
}

}  // namespace
