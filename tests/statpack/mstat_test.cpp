// MStat data sets: a generated header and data file (numbers in the Microsoft binary format),
// records not in use, text fields, the conversion's corners, and broken files.
#include <gtest/gtest.h>

#include <cmath>

#include "driver/vxs_formats.h"
#include "sheet/vxs_sheet.h"
#include "statpack/reader_test_util.h"
#include "statpack/vxr_mstat.h"
#include "test_util.h"

namespace {
using Mstat = ReaderTest<read_mstat_into_sheet>;
}  // namespace

TEST_F(Mstat, TrialFile) {
    Sheet* s = read(data_path("mstat/trial.hdr"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->description_lines, std::vector<std::string>{"Field trial 1987"});
    // The record whose status byte is a blank is dropped.
    ASSERT_EQ(s->row_count, 4);
    ASSERT_EQ(s->column_count, 3);
    const double m = s->missing;
    const Column* y = s->cols[1].get();
    EXPECT_EQ(y->name, "yield");
    EXPECT_EQ(y->decimals, 3);  // the file's 2, + 1
    EXPECT_EQ(y->representation, VXS_REP_FIXED);
    EXPECT_EQ(y->num, (std::vector<double>{3.25, m, 0.001f, -123456.5}));
    const Column* t = s->cols[2].get();
    EXPECT_EQ(t->type, VXS_TEXT);
    EXPECT_EQ(t->name, "plot_name");
    EXPECT_EQ(t->text.get(0), "north field");
    EXPECT_EQ(t->text.get(1), "padded");
    EXPECT_EQ(t->text.get(2), std::string(12, 'x'));
    EXPECT_EQ(t->nlevels, 14);  // the display width, 12 + 0 + 2, beats the longest text
    const Column* v = s->cols[3].get();
    EXPECT_EQ(v->name, "V3");
    EXPECT_EQ(v->num, (std::vector<double>{-2, 0, 0, 1e30f}));

    copy_sample(dir, "mstat/trial.dat");
    convert_whole("mstat/trial.hdr", 4);
}

TEST_F(Mstat, BinaryFormatCorners) {
    struct {
        unsigned char b[4];
        double want;
    } cases[] = {
        {{0x00, 0x00, 0x00, 0x81}, 1.0},     {{0x00, 0x00, 0x80, 0x81}, -1.0},
        {{0x00, 0x00, 0x50, 0x82}, 3.25},    {{0x00, 0x00, 0x00, 0x00}, 0.0},
        {{0xFF, 0xFF, 0xFF, 0x01}, 0.0},     {{0x00, 0x00, 0x00, 0x80}, 0.5},
        {{' ', ' ', ' ', ' '}, -1e307},
    };
    for (auto& c : cases) EXPECT_EQ(mstat_mbf_to_double(c.b, -1e307), c.want) << int(c.b[3]);
}

TEST_F(Mstat, BrokenFiles) {
    const std::string hdr = read_file(data_path("mstat/trial.hdr"));
    const std::string dat = read_file(data_path("mstat/trial.dat"));
    write_file(dir.file("t.dat"), dat);
    read_cuts(hdr, 5);
    auto with = [&](size_t at, std::string bytes) {
        std::string h = hdr;
        h.replace(at, bytes.size(), bytes);
        return h;
    };
    std::vector<std::string> broken = {
        with(0, std::string("\0\0", 2)),       // record length 0
        with(2, std::string("\xFF\xFF", 2)),   // records past the data file
        with(6, "5.00/EM"),                     // unknown version
        with(142 + 65, std::string("\x07\0", 2)),  // type neither 4 nor negative
    };
    for (size_t i = 0; i < broken.size(); ++i) {
        write_file(dir.file("t.hdr"), broken[i]);
        // An unknown version is not even detected.
        EXPECT_EQ(run_morvalen(dir.path(), {"t.hdr", "out.csv"}).status, i == 2 ? 3 : 5) << i;
    }
    // No data file beside the header; ".DAT" in capitals is found.
    write_file(dir.file("u.hdr"), hdr);
    EXPECT_EQ(run_morvalen(dir.path(), {"u.hdr", "out.csv"}).status, 5);
    write_file(dir.file("u.DAT"), dat);
    EXPECT_EQ(run_morvalen(dir.path(), {"u.hdr", "out.csv"}).status, 0);
    // Data cut short of the announced records.
    write_file(dir.file("u.DAT"), dat.substr(0, dat.size() - 1));
    EXPECT_EQ(run_morvalen(dir.path(), {"u.hdr", "out.csv"}).status, 5);
}
