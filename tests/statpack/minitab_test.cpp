// Minitab worksheets and portable files: generated files, a release 14 stream (also embedded), R's read.mtp.
#include "statpack/reader_test_util.h"
#include "statpack/vxr_mtw.h"

using Mtw = ReaderTest<read_mtw_into_sheet>;

TEST_F(Mtw, OldWorksheetsConvertAsTheGeneratorWroteThem) {
    for (std::string f : {"old_v10", "old_v11"}) {
        SCOPED_TRACE(f);
        ASSERT_NE(read(data_path("minitab/" + f + ".mtw")), nullptr);
        EXPECT_EQ(lastsheet->cols[2]->type, VXS_FACTOR);
        expect_sample_converts("minitab/" + f + ".mtw", true);
    }
    std::string good = read_file(data_path("minitab/old_v10.mtw"));
    expect_refused({{"WORKSHOP" + good.substr(8), "Data file " + dir.file("t.in") + " is not a Mintab Worksheet!\n"},
                    {good.substr(0, 80), "Minitab Worksheet is empty."},
                    {patched(good, 88, "\xFF\xFF")}});  // lying words
}

TEST_F(Mtw, Release14StreamWithTheUsersNameInMessages) {
    vxs_set_mtw_file("field.mtw");
    Sheet* s = must(read(data_path("minitab/stream14.bin")));
    expect_sheet_cells(s, tsv_rows(data_path("minitab/stream14.expect")), true);
    EXPECT_EQ(std::tuple(s->description_lines, s->cols[1]->extra, s->cols[2]->type),
              std::tuple(std::vector<std::string>{"Field trial 2004", "Site B"}, "grain yield in t/ha, measured at harvest", VXS_FACTOR));
    // The stored name serves one read: the same bytes without it are not an old worksheet.
    EXPECT_EQ(quiet(data_path("minitab/stream14.bin")), nullptr);
    EXPECT_EQ(said, "Data file " + data_path("minitab/stream14.bin") + " is not a Mintab Worksheet!\n");

    const std::string good = read_file(data_path("minitab/stream14.bin"));
    const size_t name = good.find(raw("\x05\0\0\0Yield"));
    ASSERT_NE(name, std::string::npos);
    const size_t second = static_cast<unsigned char>(good[4]);  // after the header record
    const std::string corrupt = "Minitab Worksheet: field.mtw is corrupt.", empty = "Minitab Worksheet is empty.";
    const auto as_field = [] { vxs_set_mtw_file("field.mtw"); };
    expect_refused({
            {patched(good, name, le_bytes(300, 4)), "Minitab column name to long."},
            {patched(good, name - 36, le_bytes(0x10000000, 4)), corrupt},  // lying count
            {patched(good, good.find("Field trial") - 4, le_bytes(5000, 4)), "Title string too long in Minitab file.\n"},
            {patched(good, good.find("MTB14") + 3, "9"), "Data file field.mtw is not a Minitab Worksheet.\n"},
            {patched(good, 4, le_bytes(400, 4)), "Minitab 12 Worksheet header too long.\n"},
            {good.substr(0, second), empty},
            // A record of S < 12 or S < H ends the read.
            {patched(good, second + 4, le_bytes(11, 4)), empty},
            {patched(good, second + 8, le_bytes(0xFFFF, 4)), empty},
            {good.substr(0, good.size() - 5), corrupt}}, as_field);
    read_cuts(good, 1, as_field);

    // A broken stream inside a compound document (gsf createole) leaves no sheet; the message names the user's file.
    std::string ole = read_file(data_path("minitab/embedded14.mtw"));
    write_file(dir.file("field.mtw"), patched(ole, ole.find("MTB14") + 3, "9"));
    RunResult r = run_morvalen(dir.path(), {"field.mtw", "out.csv"});
    EXPECT_EQ(std::to_string(r.status) + r.out, "4Data file field.mtw is not a Minitab Worksheet.\n"
                                                " Warning: No valid data found in file or specified sheet/range!\n");
}

using Mtp = ReaderTest<read_mtp_into_sheet>;

// Generated files, options, limits and messages; R's read.mtp reads the numeric file alike.
TEST_F(Mtp, GeneratedFilesOptionsLimitsAndMessages) {
    for (std::string f : {"numeric", "portable"}) expect_sample_converts("minitab/" + f + ".mtp", true);
    const std::string head = "MINITAB PORTABLE WORKSHEET\n";
    vxs_get_global_defaults()->factor_strip_blanks = 0;
    EXPECT_EQ(column_text(must(read_bytes(head + "%3 1 2 -4 T\n ab  cd \n")), 1), " ab|cd");
    vxs_get_global_defaults()->factor_strip_blanks = 1;
    // A text width past any line (the most negative number) still reads an item per line.
    EXPECT_EQ(column_text(must(read_bytes(head + "%3 1 2 -9223372036854775808 T\nab\ncd\n")), 1), "ab|cd");
    EXPECT_EQ(column_text(must(quiet_bytes(head + "%3 1 2 0 Big\n1e308 -3\n")), 1), "9.99999e+307|-3");
    EXPECT_EQ(said, "Numbers in " + dir.file("t.in") + " greater than 9.99999E+307 have been set to this value.");
    VXSMAXCOLUMNS = 1;
    Sheet* s = must(quiet_bytes(head + "%3 1 1 0 A\n1\n%3 2 1 0 B\n2\n"));
    EXPECT_EQ(said + std::to_string(s->column_count), "Maximum number of columns (1) exceeded.\nIgnoring extra columns.1");
    VXSMAXCOLUMNS = 2048;

    const std::string none = "Minitab Portable data file " + dir.file("t.in") + " does not contain column data.";
    expect_refused({{head, none}, {head + "%3 0 4 0 A\n1\n", none}, {head + "%3 1 0 0 A\n", none},
                    {head + "%4 1 1 0 A\n1\n", none}, {head + "%3 1\n", none}});
    // A count far above the values present sizes nothing past the file.
    EXPECT_LE(must(read_bytes(head + "%3 1 999999999 0 A\n1 2\n"))->row_count, 100);
    if (!tool_present("Rscript -e 'library(foreign)'")) GTEST_SKIP() << "R foreign not installed";
    EXPECT_EQ(shell_output("Rscript -e 'library(foreign); d <- read.mtp(\"" + data_path("minitab/numeric.mtp") +
                           "\"); cat(d$Height, d$C3, sep=\"|\")' 2>&1"),
              "1.5|2|3.25|4|1|2|1");
}
