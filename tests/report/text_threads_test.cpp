// Whatever the thread count, every text layout writes the same bytes.
#include <gtest/gtest.h>

#include <string>

#include "driver/vxs_formats.h"
#include "report/vxs_text.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

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
    numbers("gen", VXS_REP_GENERAL, -1);
    numbers("fix", VXS_REP_FIXED, 3);
    numbers("exp", VXS_REP_EXPONENT, 2);
    // Two date columns in different formats: each thread keeps its own date settings.
    for (int32_t format : {1, 9}) {
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
                std::string text = read_file(path);
                // The aligned layout's heading carries the clock and the file's name.
                if (layout == VXS_TEXT_ALIGNED) text.erase(0, text.find('\n'));
                written[threads == 1 ? 0 : 1] = text;
            }
            vxs_set_text_threads(0);
            EXPECT_GT(written[0].size(), long_lines ? 7 * 65535u : 80'000u);
            EXPECT_TRUE(written[0] == written[1]);
        }
    }
}

}  // namespace
