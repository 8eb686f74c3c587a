// The delimited text writer: golden layouts, quoting, names options, representations, long lines,
// the same bytes whatever the thread count.
#include <gtest/gtest.h>

#include <regex>

#include "driver/vxs_formats.h"
#include "sheet/vxs_options.h"
#include "report/vxs_text.h"
#include "sheet/vxs_dates.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

using Strings = std::vector<std::string>;

std::string without_first_line(const std::string& s) { return s.substr(s.find('\n') + 1); }

TEST(TextConversion, GoldenLayoutsOfTheKindsSampleAndTheQuotingAndNamesOptions) {
    ScratchDir dir;
    write_file(dir.file("kinds.csv"), read_file(data_path("csv/kinds.csv")));
    for (std::string ext : {"csv", "tab", "txt"}) {
        ASSERT_EQ(run_morvalen(dir.path(), {"kinds.csv", "k." + ext}).status, 0);
        std::string got = read_file(dir.file("k." + ext));
        EXPECT_EQ(ext == "txt" ? without_first_line(got) : got, read_file(data_path("csv/kinds_expected." + ext))) << ext;
    }
    std::string txt = read_file(dir.file("k.txt"));
    std::string heading = txt.substr(0, txt.find('\n'));
    EXPECT_TRUE(std::regex_match(heading, std::regex(R"re("k\.txt \(Created by Morvalen: \d\d:\d\d:\d\d \d\d/\d\d/\d{4}\)")re")))
        << heading;
    // Unquoted with plain names; no names line.
    write_file(dir.file("a.csv"), "who,grp!\nO'Brien,x\nLee,y\n");
    for (auto [out, want] : {std::pair{"u.csv/-/u", "who    ,grp \nO'Brien,x   \nLee    ,y   \n"},
                             {"n.tab/n", "O'Brien\tx\nLee\ty\n"}}) {
        ASSERT_EQ(run_morvalen(dir.path(), {"a.csv", out}).status, 0);
        EXPECT_EQ(read_file(dir.file(std::string(out).substr(0, 5))), want);
    }
}

class TextWriter : public ::testing::Test {
protected:
    Column* variate(const char* name, std::vector<double> v, int32_t rep, int32_t decimals) {
        Column* c = create_column_with_memory(sheet_, VXS_VARIATE, name, 2);
        c->num = std::move(v), c->representation = rep, c->decimals = decimals;
        return c;
    }
    // Two levels given by their values (origin 1) or by their labels (origin 2).
    Column* factor(const char* name, std::vector<double> v, std::vector<double> levels, Strings labels) {
        Column* c = create_column_with_memory(sheet_, VXS_FACTOR, name, 2);
        c->num = std::move(v), c->nlevels = 2, c->levels = std::move(levels), c->labels = std::move(labels);
        c->origin = c->labels.empty() ? 1 : 2;
        return c;
    }
    std::string write(bool csv) {
        EXPECT_EQ(write_sheet_as_text(sheet_, dir_.file("out.txt").c_str(), csv ? VXS_TEXT_COMMA : VXS_TEXT_ALIGNED), 1);
        std::string out = read_file(dir_.file("out.txt"));
        return csv ? out : without_first_line(out);
    }
    Sheet* sheet_ = new_run_with_sheet(2);
    ScratchDir dir_;
};

TEST_F(TextWriter, EveryRepresentation) {
    variate("gen", {3.14159, vxs_missing}, VXS_REP_GENERAL, -1);
    variate("exp", {1234.5, 0.5}, VXS_REP_EXPONENT, 2);
    variate("fix", {3.14159, 2}, VXS_REP_FIXED, 2);
    Column* d = variate("day", {36600, 36601}, VXS_REP_DATE, -1);
    d->date_format = 9;
    factor("lev", {2, 1}, {0.5, 7}, {});
    EXPECT_EQ(write(false),
              "    gen      exp  fix       day:D lev! \n"
              "3.14159 1.23e+03 3.14 15-Mar-2000    7 \n"
              "      * 5.00e-01 2.00 16-Mar-2000  0.5 \n");
}

TEST_F(TextWriter, JustificationAndLabels) {
    Column* f = factor("f", {2, vxs_missing}, {}, {"lo", "high"});
    variate("v", {1, 22}, VXS_REP_GENERAL, -1)->justification = 1;
    EXPECT_EQ(write(false), "f!   v  \nhigh 1  \n     22 \n");
    f->justification = 2;
    EXPECT_EQ(write(false), "  f! v  \nhigh 1  \n     22 \n");
}

TEST_F(TextWriter, LongLinesSplitAtTheLastSeparatorAndNothingToWrite) {
    VXSMAXCOLUMNS = 20000;
    for (int i = 0; i < 14000; ++i) variate(("c" + std::to_string(i)).c_str(), {1, 2}, VXS_REP_GENERAL, -1);
    std::string out = write(true);
    size_t first_nl = out.find('\n');
    ASSERT_LE(first_nl, 65535u);
    EXPECT_EQ(out[first_nl - 1], ',');
    EXPECT_EQ(write_sheet_as_text(create_sheet(), dir_.file("none.txt").c_str(), 0), 0);
    EXPECT_FALSE(file_exists(dir_.file("none.txt")));
}

TEST_F(TextWriter, DoubleQuoteAndWriteLine) {
    EXPECT_EQ(double_quote("a\tb\xe9", 90), "ab");
    ByteWriter out;
    ASSERT_TRUE(out.open(dir_.file("l.txt").c_str()));
    ::TextWriter f(out);
    EXPECT_EQ(vxs_write_line("", 5, 0, f), 1);
    EXPECT_EQ(vxs_write_line("ab cd ef", 5, 0, f), 1);  // split at a blank
    EXPECT_EQ(vxs_write_line("a,b,c,d", 5, 1, f), 1);   // split after a comma
    EXPECT_TRUE(out.close());
    EXPECT_EQ(read_file(dir_.file("l.txt")), "ab \ncd ef\na,b,\nc,d\n");
}

// Many rows of every kind of cell, or a few rows longer than the line limit.
Sheet* threads_sheet(bool long_lines) {
    const int32_t rows = long_lines ? 7 : 1000;
    Sheet* s = new_run_with_sheet(rows);
    VXSMAXCOLUMNS = 2048;
    auto numbers = [&](const char* name, int32_t rep, int32_t decimals) {
        Column* c = create_column_with_memory(s, VXS_VARIATE, name, rows);
        c->representation = rep, c->decimals = decimals;
        for (int32_t r = 0; r < rows; ++r) c->num[r] = r % 17 == 0 ? vxs_missing : (r * 7919 % 1000) / 7.0 - 40;
        return c;
    };
    numbers("gen", VXS_REP_GENERAL, -1), numbers("fix", VXS_REP_FIXED, 3), numbers("exp", VXS_REP_EXPONENT, 2);
    for (int32_t format : {1, 9}) {  // two date formats: each thread keeps its own date settings
        Column* d = numbers(format == 1 ? "d1" : "d9", VXS_REP_DATE, -1);
        d->date_format = format;
        for (int32_t r = 0; r < rows; ++r) d->num[r] = 36000 + r;
    }
    Column* f = create_column_with_memory(s, VXS_FACTOR, "lab", rows);
    f->labels = {"low", "it's high"}, f->nlevels = 2, f->origin = 2;
    for (int32_t r = 0; r < rows; ++r) f->num[r] = r % 5 == 0 ? vxs_missing : 1 + r % 2;
    for (int i = 0; i < (long_lines ? 1000 : 2); ++i) {
        Column* t = create_column_with_memory(s, VXS_TEXT, ("t" + std::to_string(i)).c_str(), rows);
        for (int32_t r = 0; r < rows; ++r)
            t->text.set(r, (r + i) % 11 == 0 ? "O'Neil" : std::string(70 + (r + i) % 10, char('a' + i % 26)));
    }
    return s;
}

TEST(TextThreads, EveryLayoutIsTheSameWithOneOrSeveralThreads) {
    ScratchDir dir;
    for (bool long_lines : {false, true}) {
        Sheet* s = threads_sheet(long_lines);
        for (int layout : {VXS_TEXT_ALIGNED, VXS_TEXT_COMMA, VXS_TEXT_TAB}) {
            SCOPED_TRACE(std::to_string(long_lines) + " layout " + std::to_string(layout));
            std::string written[2];
            for (unsigned threads : {1u, 3u}) {
                vxs_set_text_threads(threads, 4096);  // many small batches, the last one short
                std::string path = dir.file("out" + std::to_string(threads) + ".txt");
                ASSERT_EQ(write_sheet_as_text(s, path.c_str(), layout), 1);
                // The aligned layout's heading carries the clock and the file's name.
                written[threads == 1 ? 0 : 1] = layout == VXS_TEXT_ALIGNED ? without_first_line(read_file(path)) : read_file(path);
            }
            vxs_set_text_threads(0);
            EXPECT_GT(written[0].size(), long_lines ? 7 * 65535u : 80'000u);
            EXPECT_TRUE(written[0] == written[1]);
        }
    }
}

}  // namespace
