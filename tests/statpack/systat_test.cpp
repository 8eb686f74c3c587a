// Systat files: the generator's files (single and double precision, continued records, column
// labels, strings declared between numbers) read against their .expect and converted whole, R
// foreign reading the same files, and broken files (cut, lying counts, bad markers).
#include <gtest/gtest.h>

#include <cmath>

#include "driver/vxs_formats.h"
#include "sheet/vxs_sheet.h"
#include "statpack/reader_test_util.h"
#include "statpack/vxr_systat.h"
#include "test_util.h"

namespace {

using Systat = ReaderTest<read_systat_into_sheet>;

TEST_F(Systat, RecordsOnDiskTakeTwoMarkersPerBlock) {
    for (auto [n, disk] :
         {std::pair{36, 38}, {48, 50}, {128, 130}, {129, 133}, {200, 204}, {256, 260}, {320, 326}})
        EXPECT_EQ(systat_record_on_disk(n), size_t(disk)) << n;
}

TEST_F(Systat, EveryFileHoldsWhatTheGeneratorWroteAndConverts) {
    for (std::string f : {"single", "double", "wide_single", "wide_double", "exact128"}) {
        SCOPED_TRACE(f);
        Sheet* s = read(data_path("systat/" + f + ".sys"));
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->source_type, VXT_SYSTAT);
        auto rows = tsv_rows(data_path("systat/" + f + ".expect"));
        // NAME$ is the text column NAME.
        for (size_t c = 0; c < rows[0].size() && c < size_t(s->column_count); ++c) {
            std::string& name = rows[0][c];
            bool text = name.back() == '$';
            if (text) name.pop_back();
            EXPECT_EQ(s->cols[c + 1]->type, text ? VXS_TEXT : VXS_VARIATE) << name;
        }
        expect_sheet_cells(s, rows, true);
        copy_sample(dir, "systat/" + f + ".sys", "in.sys");
        expect_conversions("in.sys", rows, true);
    }
}

TEST_F(Systat, PropertyLabelsAndTheColumnLimit) {
    Sheet* s = read(data_path("systat/double.sys"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->cols[1]->extra, "Identity");
    EXPECT_EQ(s->cols[2]->extra, "");
    EXPECT_EQ(s->cols[3]->extra, "Height in cm x");  // control characters shown as blanks
    EXPECT_EQ(s->cols[5]->extra, std::string(40, 'W'));

    // Dropped variables still fill the record.
    VXSMAXCOLUMNS = 3;
    EXPECT_EQ(stdout_of([&] { s = read(data_path("systat/single.sys")); }),
              "Maximum number of columns (3) exceeded.\nIgnoring extra columns.\n");
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->column_count, 3);
    EXPECT_EQ(s->cols[3]->name, "HEIGHT");
    EXPECT_EQ(s->cols[3]->num[0], 170.5);
    EXPECT_EQ(s->cols[2]->text.get(1), "bob smith");
}

// R's foreign reads the same files to the same numbers (its data frame, written as text).
TEST_F(Systat, ForeignReadsTheGeneratedFilesAlike) {
    if (!tool_present("Rscript -e 'library(foreign)'")) GTEST_SKIP() << "R foreign not installed";
    for (std::string f : {"single", "double", "wide_single", "wide_double"}) {
        SCOPED_TRACE(f);
        Sheet* s = read(data_path("systat/" + f + ".sys"));
        ASSERT_NE(s, nullptr);
        std::string out = dir.file(f + ".r.txt");
        ASSERT_EQ(std::system(("Rscript -e 'library(foreign); write.table(read.systat(\"" +
                               data_path("systat/" + f + ".sys") + "\"), \"" + out +
                               "\", sep=\"\\t\", quote=FALSE, row.names=FALSE)' >/dev/null 2>&1")
                                  .c_str()),
                  0);
        auto rows = tsv_rows(out);
        ASSERT_EQ(rows.size(), size_t(s->row_count) + 1);
        for (int32_t r = 0; r < s->row_count; ++r)
            for (int32_t c = 0; c < s->column_count; ++c) {
                const Column* col = s->cols[c + 1].get();
                const std::string& cell = rows[r + 1][c];
                if (col->is_text()) continue;  // R keeps blanks in strings
                // R keeps Systat's missing value -1e36 of single-precision files as a number.
                if (cell == "NA" || std::stod(cell) <= SYSTAT_MISSING)
                    EXPECT_LE(col->num[r], s->missing);
                else
                    EXPECT_NEAR(col->num[r], std::stod(cell), 1e-6 * std::fabs(col->num[r]))
                        << r << " " << c;
            }
    }
}

TEST_F(Systat, BrokenFilesEndTheReadWithTheirMessage) {
    std::string good = read_file(data_path("systat/single.sys"));
    size_t counts = good.find(std::string("\x06\x05\x00", 3));
    size_t first_data = good.find(std::string("\x24\x00\x00\x80\x3f", 5));
    ASSERT_NE(counts, std::string::npos);
    ASSERT_NE(first_data, std::string::npos);
    std::string lying = patched(good, counts + 1, "\xFF\x7F");  // 32767 variables
    std::string short_case = good;                              // a first case of 35 bytes
    short_case[first_data] = short_case[first_data + 36] = '\x23';
    std::string mismatch = "Systat record size mismatch.\n";
    const struct {
        std::string bytes, message;
    } cases[] = {
        {good.substr(0, 8), ""},
        {lying, ""},
        {patched(good, counts + 1, std::string(1, '\0')),
         mismatch},  // a name record taken as a case
        {short_case, mismatch},
        {good.substr(0, first_data), "Error reading Systat file: No valid data found.\n"},
        {patched(good, first_data + 38, std::string(1, '\0')),  // a zero marker in a later case
         "Error in reading Systat File: Invalid record marker.\n"},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(stdout_of([&] { EXPECT_EQ(read_bytes(cases[i].bytes), nullptr) << i; }),
                  cases[i].message)
            << i;
    expect_no_data({good.substr(0, 8), lying}, "bad.sys");
}

}  // namespace
