// Minitab worksheets and portable files: the generator's files read against their .expect and
// converted whole, text kept in numeric words, a release 14 stream inside a compound document,
// R foreign's read.mtp on the portable file, and broken files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>

#include "driver/vxs_formats.h"
#include "sheet/vxs_sheet.h"
#include "spreadsheet/vxs_cdf.h"
#include "statpack/reader_test_util.h"
#include "statpack/vxr_mtw.h"
#include "test_util.h"

namespace {

using Mtw = ReaderTest<read_mtw_into_sheet>;

void check_against(const Sheet* s, const std::string& base) {
    expect_sheet_cells(s, tsv_rows(data_path("minitab/" + base + ".expect")), true);
}

TEST_F(Mtw, TextInNumericWords) {
    std::string v10(8, '\0');
    for (auto [word, at] : {std::pair{33343536u, 0}, {0u, 4}})
        for (int k = 0; k < 4; ++k) v10[at + k] = static_cast<char>(word >> (8 * k));
    EXPECT_EQ(vxs_mtw_convert_text(v10, 10), "ABCD    ");
    EXPECT_EQ(vxs_mtw_convert_text("Height  ", 10), "Height  ");
    float f;
    std::memcpy(&f, "wxyz", 4);
    double d = f;
    std::string v11(reinterpret_cast<const char*>(&d), 8);
    EXPECT_EQ(vxs_mtw_convert_text(v11, 11), "wxyz");
    d = 1.5;  // not a widened single of characters: left alone
    std::string plain(reinterpret_cast<const char*>(&d), 8);
    EXPECT_EQ(vxs_mtw_convert_text(plain, 11), plain);
}

TEST_F(Mtw, OldWorksheetsHoldWhatTheGeneratorWroteAndConvert) {
    for (std::string f : {"old_v10", "old_v11"}) {
        SCOPED_TRACE(f);
        Sheet* s = read(data_path("minitab/" + f + ".mtw"));
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->cols[2]->type, VXS_FACTOR);
        check_against(s, f);
        write_file(dir.file("in.mtw"), read_file(data_path("minitab/" + f + ".mtw")));
        RunResult r = run_morvalen(dir.path(), {"in.mtw", "out.csv"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, " 4 records transferred.\n");
    }
}

TEST_F(Mtw, Release14StreamWithTheUsersNameInMessages) {
    vxs_set_container_file("field.mtw");
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
    std::string long_name = good;
    size_t at = good.find(std::string("\x05\0\0\0Yield", 9));
    ASSERT_NE(at, std::string::npos);
    long_name.replace(at, 4, le_bytes(300, 4));
    std::string lying_count = good;
    lying_count.replace(at - 36, 4, le_bytes(0x10000000, 4));
    std::string long_title = good;
    size_t t = good.find("Field trial");
    long_title.replace(t - 4, 4, le_bytes(5000, 4));
    std::string bad_sig = good;
    bad_sig[good.find("MTB14") + 3] = '9';
    std::string big_head = good;
    big_head.replace(4, 4, le_bytes(400, 4));
    struct Case {
        std::string bytes, message;
    } cases[] = {
        {long_name, "Minitab column name to long."},
        {lying_count, "Minitab Worksheet: field.mtw is corrupt."},
        {long_title, "Title string too long in Minitab file.\n"},
        {bad_sig, "Data file field.mtw is not a Minitab Worksheet.\n"},
        {big_head, "Minitab 12 Worksheet header too long.\n"},
        {good.substr(0, static_cast<unsigned char>(good[4])), "Minitab Worksheet is empty."},
        {good.substr(0, good.size() - 5), "Minitab Worksheet: field.mtw is corrupt."},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        vxs_set_container_file("field.mtw");
        EXPECT_EQ(stdout_of([&] { EXPECT_EQ(read_bytes(cases[i].bytes), nullptr) << i; }),
                  cases[i].message) << i;
    }
    for (size_t cut = 0; cut < good.size(); ++cut) {
        vxs_set_container_file("field.mtw");
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
    if (ole.empty()) GTEST_SKIP() << "embedded14.mtw not generated (libgsf-bin missing)";
    write_file(dir.file("field.mtw"), ole);
    RunResult r = run_morvalen(dir.path(), {"field.mtw", "out.csv"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, " 4 records transferred.\n");
    std::string csv = read_file(dir.file("out.csv"));
    EXPECT_NE(csv.find("Yield"), std::string::npos) << csv;

    std::string broken = ole;
    size_t sig = broken.find("MTB14");
    ASSERT_NE(sig, std::string::npos);
    broken[sig + 3] = '9';
    write_file(dir.file("field.mtw"), broken);
    r = run_morvalen(dir.path(), {"field.mtw", "out.csv"});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.out,
              "Data file field.mtw is not a Minitab Worksheet.\n"
              " Warning: No valid data found in file or specified sheet/range!\n");
}

TEST_F(Mtw, OldWorksheetsBroken) {
    std::string good = read_file(data_path("minitab/old_v10.mtw"));
    testing::internal::CaptureStdout();
    EXPECT_EQ(read_bytes("WORKSHOP" + good.substr(8)), nullptr);
    EXPECT_EQ(read_bytes(good.substr(0, 80)), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Data file " + dir.file("t.in") +
                  " is not a Mintab Worksheet!\nMinitab Worksheet is empty.");
    std::string lying = good;
    lying[88] = '\xFF';  // words of the first column
    lying[89] = '\xFF';
    Sheet* s{};
    stdout_of([&] { s = read_bytes(lying); });
    EXPECT_EQ(s, nullptr);
}

using Mtp = ReaderTest<read_mtp_into_sheet>;

TEST_F(Mtp, PortableFilesHoldWhatTheGeneratorWrote) {
    Sheet* s = read(data_path("minitab/numeric.mtp"));
    ASSERT_NE(s, nullptr);
    check_against(s, "numeric");
    s = read(data_path("minitab/portable.mtp"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->source_type, VXT_MTP);
    check_against(s, "portable");
    write_file(dir.file("in.mtp"), read_file(data_path("minitab/portable.mtp")));
    RunResult r = run_morvalen(dir.path(), {"in.mtp", "out.csv"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, " 4 records transferred.\n");
}

TEST_F(Mtp, OptionsLimitsAndMessages) {
    std::string head = "MINITAB PORTABLE WORKSHEET\n";
    vxs_get_global_defaults()->factor_strip_blanks = 0;
    Sheet* s = read_bytes(head + "%3 1 2 -4 T\n ab  cd \n");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->cols[1]->text.get(0), " ab");
    EXPECT_EQ(s->cols[1]->text.get(1), "cd");
    vxs_get_global_defaults()->factor_strip_blanks = 1;

    testing::internal::CaptureStdout();
    ASSERT_NE(s = read_bytes(head + "%3 1 2 0 Big\n1e308 -3\n"), nullptr);
    EXPECT_EQ(s->cols[1]->num[0], 9.99999e307);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Numbers in " + dir.file("t.in") +
                  " greater than 9.99999E+307 have been set to this value.");

    VXSMAXCOLUMNS = 1;
    testing::internal::CaptureStdout();
    ASSERT_NE(s = read_bytes(head + "%3 1 1 0 A\n1\n%3 2 1 0 B\n2\n"), nullptr);
    EXPECT_EQ(s->column_count, 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Maximum number of columns (1) exceeded.\nIgnoring extra columns.");
    VXSMAXCOLUMNS = 2048;

    for (std::string bad : {head, head + "%3 0 4 0 A\n1\n", head + "%3 1 0 0 A\n",
                            head + "%4 1 1 0 A\n1\n", head + "%3 1\n"}) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(read_bytes(bad), nullptr);
        EXPECT_EQ(
            testing::internal::GetCapturedStdout(),
            "Minitab Portable data file " + dir.file("t.in") + " does not contain column data.");
    }
    // A count far above the values present sizes nothing past the file.
    ASSERT_NE(s = read_bytes(head + "%3 1 999999999 0 A\n1 2\n"), nullptr);
    EXPECT_LE(s->row_count, 100);
}

TEST_F(Mtp, ForeignReadsThePortableFileAlike) {
    if (!tool_present("Rscript -e 'library(foreign)'"))
        GTEST_SKIP() << "R foreign not installed";
    std::string out = dir.file("r.txt");
    std::string cmd = "Rscript -e 'library(foreign); d <- read.mtp(\"" +
                      data_path("minitab/numeric.mtp") + "\"); cat(d$Height, d$C3, sep=\"|\")' > " +
                      out + " 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << read_file(out);
    EXPECT_EQ(read_file(out), "1.5|2|3.25|4|1|2|1");
}

}  // namespace
