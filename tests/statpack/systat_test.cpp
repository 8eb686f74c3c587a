// Systat files: the generator's files (single and double precision, continued records, column
// labels) read against their .expect and converted whole, R foreign reading the same files, and
// broken files (cut, lying counts, bad markers).
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "driver/vxs_formats.h"
#include "sheet/vxs_sheet.h"
#include "statpack/reader_test_util.h"
#include "statpack/vxr_systat.h"
#include "test_util.h"

namespace {

using Systat = ReaderTest<read_systat_into_sheet>;

std::vector<std::vector<std::string>> load_expect(const std::string& base) {
    std::ifstream in(data_path("systat/" + base + ".expect"));
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> f;
        std::stringstream s(line);
        for (std::string x; std::getline(s, x, '\t');) f.push_back(x);
        f.resize(rows.empty() ? f.size() : rows[0].size());
        rows.push_back(f);
    }
    return rows;
}

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
        auto rows = load_expect(f);
        ASSERT_EQ(s->row_count + 1, static_cast<int32_t>(rows.size()));
        ASSERT_EQ(s->column_count, static_cast<int32_t>(rows[0].size()));
        EXPECT_EQ(s->source_type, VXT_SYSTAT);
        for (size_t c = 0; c < rows[0].size(); ++c) {
            const Column* col = s->cols[c + 1].get();
            std::string name = rows[0][c];
            bool text = name.back() == '$';
            EXPECT_EQ(col->name, text ? name.substr(0, name.size() - 1) : name);
            ASSERT_EQ(col->type, text ? VXS_TEXT : VXS_VARIATE);
            for (size_t r = 0; r + 1 < rows.size(); ++r) {
                const std::string& want = rows[r + 1][c];
                if (text)
                    EXPECT_EQ(col->text.get(r), want) << r;
                else if (want == "NA")
                    EXPECT_LE(col->num[r], s->missing) << r;
                else
                    EXPECT_EQ(col->num[r], std::stod(want)) << r;
            }
        }
        write_file(dir.file("in.sys"), read_file(data_path("systat/" + f + ".sys")));
        RunResult r = run_morvalen(dir.path(), {"in.sys", "out.csv"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, " " + std::to_string(s->row_count) + " records transferred.\n");
    }
}

TEST_F(Systat, PropertyLabelsBecomeDescriptions) {
    Sheet* s = read(data_path("systat/double.sys"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->cols[1]->extra, "Identity");
    EXPECT_EQ(s->cols[2]->extra, "");
    EXPECT_EQ(s->cols[3]->extra, "Height in cm x");  // control characters shown as blanks
    EXPECT_EQ(s->cols[5]->extra, std::string(40, 'W'));
}

TEST_F(Systat, ColumnLimitKeepsTheRecordWhole) {
    VXSMAXCOLUMNS = 3;
    testing::internal::CaptureStdout();
    Sheet* s = read(data_path("systat/single.sys"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Maximum number of columns (3) exceeded.\nIgnoring extra columns.\n");
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->column_count, 3);
    EXPECT_EQ(s->cols[3]->name, "HEIGHT");
    EXPECT_EQ(s->cols[3]->num[0], 170.5);
    EXPECT_EQ(s->cols[2]->text.get(1), "bob smith");
}

// R's foreign reads the same files to the same numbers (its data frame, written as text).
TEST_F(Systat, ForeignReadsTheGeneratedFilesAlike) {
    if (!tool_present("Rscript -e 'library(foreign)'"))
        GTEST_SKIP() << "R foreign not installed";
    for (std::string f : {"single", "double", "wide_single", "wide_double"}) {
        SCOPED_TRACE(f);
        std::string out = dir.file(f + ".r.txt");
        std::string cmd =
            "Rscript -e 'library(foreign); d <- read.systat(\"" +
            data_path("systat/" + f + ".sys") + "\"); write.table(d, \"" + out +
            "\", sep=\"\\t\", quote=FALSE, row.names=FALSE, na=\"NA\")' >/dev/null 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        Sheet* s = read(data_path("systat/" + f + ".sys"));
        ASSERT_NE(s, nullptr);
        std::ifstream in(out);
        std::string line;
        std::getline(in, line);  // names
        for (int32_t r = 0; r < s->row_count && std::getline(in, line); ++r) {
            std::vector<std::string> cells = tab_fields(line);
            for (int32_t c = 0; c < s->column_count; ++c) {
                const Column* col = s->cols[c + 1].get();
                if (col->is_text()) continue;  // R keeps blanks in strings
                // R keeps Systat's missing value -1e36 of single-precision files as a number.
                if (cells[c] == "NA" || std::stod(cells[c]) <= SYSTAT_MISSING)
                    EXPECT_LE(col->num[r], s->missing);
                else
                    EXPECT_NEAR(col->num[r], std::stod(cells[c]), 1e-6 * std::fabs(col->num[r]))
                        << r << " " << c;
            }
        }
    }
}

std::string blocks(const std::string& data) {
    std::string out, rest = data;
    while (rest.size() > 128) {
        out += '\x81' + rest.substr(0, 128) + '\x81';
        rest = rest.substr(128);
    }
    char m = static_cast<char>(rest.size());
    return out + m + rest + m;
}

TEST_F(Systat, BrokenFilesEndTheReadWithTheirMessage) {
    std::string good = read_file(data_path("systat/single.sys"));
    size_t counts = good.find(std::string("\x06\x05\x00", 3));
    ASSERT_NE(counts, std::string::npos);
    std::string lying = good;
    lying[counts + 1] = '\xFF';  // 255 variables
    lying[counts + 2] = '\x7F';
    std::string zero = good;
    zero[counts + 1] = 0;
    size_t first_data = good.find(std::string("\x24\x00\x00\x80\x3f", 5));
    ASSERT_NE(first_data, std::string::npos);
    std::string short_record =
        good.substr(0, first_data) + blocks(std::string(35, '\1')) + good.substr(first_data + 38);

    struct Case {
        std::string bytes, message;
    } cases[] = {
        {good.substr(0, 8), ""},
        {lying, ""},
        {zero, "Systat record size mismatch.\n"},  // the first name record is taken as a case
        {short_record, "Systat record size mismatch.\n"},
        {good.substr(0, first_data), "Error reading Systat file: No valid data found.\n"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(stdout_of([&] { EXPECT_EQ(read_bytes(cases[i].bytes), nullptr) << i; }),
                  cases[i].message) << i;
    }
    // A zero marker in a later case stops the data.
    std::string bad_marker = good;
    size_t second = first_data + 38;
    bad_marker[second] = 0;
    EXPECT_EQ(stdout_of([&] { EXPECT_EQ(read_bytes(bad_marker), nullptr); }),
              "Error in reading Systat File: Invalid record marker.\n");

    expect_no_data({good.substr(0, 8), lying}, "bad.sys");
}

}  // namespace
