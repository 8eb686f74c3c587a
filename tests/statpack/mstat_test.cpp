// MStat data sets: the generated header and data file (Microsoft binary numbers), and broken files.
#include "statpack/reader_test_util.h"
#include "statpack/vxr_mstat.h"

using Mstat = ReaderTest<read_mstat_into_sheet>;

TEST_F(Mstat, TrialFile) {
    Sheet* s = must(read(data_path("mstat/trial.hdr")));
    EXPECT_EQ(s->description_lines, std::vector<std::string>{"Field trial 1987"});
    // The record whose status byte is a blank is dropped; decimals are the file's 2, + 1.
    ASSERT_EQ(std::pair(s->row_count, s->column_count), std::pair(4, 3));
    const double m = s->missing;
    const Column *y = s->cols[1].get(), *t = s->cols[2].get();
    EXPECT_EQ(std::tie(y->name, y->decimals, y->representation, y->num),
              std::tuple("yield", 3, VXS_REP_FIXED, std::vector<double>{3.25, m, 0.001f, -123456.5}));
    EXPECT_EQ(std::tie(t->type, t->name, t->nlevels), std::tuple(VXS_TEXT, "plot_name", 14));  // width 12 + 0 + 2
    for (auto [r, text] : {std::pair(0, "north field"), {1, "padded"}, {2, "xxxxxxxxxxxx"}}) EXPECT_EQ(t->text.get(r), text);
    // The unnamed variable is named by its number; an exponent byte below 2 reads as 0.
    EXPECT_EQ(std::tie(s->cols[3]->name, s->cols[3]->num), std::tuple("V3", std::vector<double>{-2, 0, 0, 1e30f}));
    struct { unsigned char b[4]; double want; } cases[] = {
        {{0, 0, 0, 0x81}, 1.0}, {{0, 0, 0x80, 0x81}, -1.0}, {{0xFF, 0xFF, 0xFF, 0x01}, 0.0}, {{0, 0, 0, 0x80}, 0.5},
        {{' ', ' ', ' ', ' '}, -1e307}};
    for (auto& c : cases) EXPECT_EQ(mstat_mbf_to_double(c.b, -1e307), c.want) << int(c.b[3]);
}

TEST_F(Mstat, BrokenFiles) {
    const std::string hdr = read_file(data_path("mstat/trial.hdr")), dat = read_file(data_path("mstat/trial.dat"));
    write_file(dir.file("t.dat"), dat);
    read_cuts(hdr, 5);
    // Record length 0, records past the data file, an unknown version (not detected), type neither 4 nor negative.
    for (auto [at, bytes, status] : {std::tuple(0, raw("\0\0"), 5), {2, raw("\xFF\xFF"), 5}, {6, raw("5.00/EM"), 3},
                                     {142 + 65, raw("\x07\0"), 5}}) {
        write_file(dir.file("t.hdr"), patched(hdr, at, bytes));
        EXPECT_EQ(run_morvalen(dir.path(), {"t.hdr", "out.csv"}).status, status) << at;
    }
    // No data file beside the header; ".DAT" in capitals is found; data cut short of the records.
    write_file(dir.file("u.hdr"), hdr);
    for (auto [data, status] : {std::pair(std::string(), 5), {dat, 0}, {dat.substr(0, dat.size() - 1), 5}}) {
        if (!data.empty()) write_file(dir.file("u.DAT"), data);
        EXPECT_EQ(run_morvalen(dir.path(), {"u.hdr", "out.csv"}).status, status);
    }
}
