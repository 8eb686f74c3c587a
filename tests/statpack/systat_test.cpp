// Systat files converted against the generator's .expect and R foreign's reading; broken files.
#include <cmath>

#include "statpack/reader_test_util.h"
#include "statpack/vxr_systat.h"

using Systat = ReaderTest<read_systat_into_sheet>;

TEST_F(Systat, EveryFileConvertsAsTheGeneratorWroteItAndLimits) {
    for (std::string f : {"single", "double", "wide_single", "wide_double", "exact128"}) {
        SCOPED_TRACE(f);
        auto rows = tsv_rows(data_path("systat/" + f + ".expect"));
        std::vector<bool> text;
        for (std::string& name : rows[0]) {  // NAME$ is the text column NAME
            text.push_back(name.ends_with('$'));
            if (text.back()) name.pop_back();
        }
        expect_conversions(copy_sample(dir, "systat/" + f + ".sys"), rows, true);
        for (size_t c = 0; c < text.size(); ++c) EXPECT_EQ(lastsheet->cols[c + 1]->type, text[c] ? VXS_TEXT : VXS_VARIATE);
    }
    // Property labels (control characters shown as blanks), then the column limit.
    Sheet* s = must(read(data_path("systat/double.sys")));
    EXPECT_EQ(std::tie(s->cols[1]->extra, s->cols[2]->extra, s->cols[3]->extra, s->cols[5]->extra),
              std::tuple("Identity", "", "Height in cm x", std::string(40, 'W')));
    VXSMAXCOLUMNS = 3;  // dropped variables still fill the record
    ASSERT_NE(s = quiet(data_path("systat/single.sys")), nullptr);
    EXPECT_EQ(said, "Maximum number of columns (3) exceeded.\nIgnoring extra columns.\n");
    ASSERT_EQ(s->column_count, 3);
    EXPECT_EQ(std::tuple(s->cols[3]->name, s->cols[3]->num[0], s->cols[2]->text.get(1)), std::tuple("HEIGHT", 170.5, "bob smith"));
}

// R's foreign reads the same files to the same numbers.
TEST_F(Systat, ForeignReadsTheGeneratedFilesAlike) {
    if (!tool_present("Rscript -e 'library(foreign)'")) GTEST_SKIP() << "R foreign not installed";
    for (std::string f : {"single", "double", "wide_single", "wide_double"}) {
        SCOPED_TRACE(f);
        Sheet* s = read(data_path("systat/" + f + ".sys"));
        const std::string out = dir.file(f + ".r.txt");
        ASSERT_TRUE(tool_present("Rscript -e 'library(foreign); write.table(read.systat(\"" + data_path("systat/" + f + ".sys") +
                                 "\"), \"" + out + "\", sep=\"\\t\", quote=FALSE, row.names=FALSE)'"));
        const auto rows = tsv_rows(out);
        ASSERT_TRUE(s && rows.size() == size_t(s->row_count) + 1);
        for (int32_t r = 0; r < s->row_count; ++r)
            for (int32_t c = 0; c < s->column_count; ++c) {
                const Column* col = s->cols[c + 1].get();
                const std::string& cell = rows[r + 1][c];
                if (col->is_text()) continue;  // R keeps blanks in strings; -1e36 of single files a number
                if (cell == "NA" || std::stod(cell) <= SYSTAT_MISSING) EXPECT_LE(col->num[r], s->missing);
                else EXPECT_NEAR(col->num[r], std::stod(cell), 1e-6 * std::fabs(col->num[r])) << r << " " << c;
            }
    }
}

TEST_F(Systat, BrokenFilesEndTheReadWithTheirMessage) {
    std::string good = read_file(data_path("systat/single.sys"));
    size_t counts = good.find(raw("\x06\x05\x00")), first_data = good.find(raw("\x24\x00\x00\x80\x3f"));
    ASSERT_TRUE(counts != std::string::npos && first_data != std::string::npos);
    const std::string lying = patched(good, counts + 1, "\xFF\x7F");  // 32767 variables
    std::string short_case = good;                                    // a first case of 35 bytes
    short_case[first_data] = short_case[first_data + 36] = '\x23';
    const std::string mismatch = "Systat record size mismatch.\n";
    expect_refused({{good.substr(0, 8), ""}, {lying, ""}, {short_case, mismatch},
                    {patched(good, counts + 1, std::string(1, '\0')), mismatch},  // a name record taken as a case
                    {good.substr(0, first_data), "Error reading Systat file: No valid data found.\n"},
                    {patched(good, first_data + 38, std::string(1, '\0')),  // a zero marker in a later case
                     "Error in reading Systat File: Invalid record marker.\n"}});
    expect_no_data({good.substr(0, 8), lying}, "bad.sys");
}
