// Shared by the SPSS and Stata reader tests: a fixture running one reader on a file or on bytes,
// the sweep over a file cut short everywhere, broken files through the driver, and the fields
// of an expectation file's line.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "driver/vxs_formats.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

template <int16_t (*Reader)(const char*)>
struct ReaderTest : ::testing::Test {
    ScratchDir dir;
    void SetUp() override {
        vxs_init();
        VXSMAXCOLUMNS = 2048;
    }
    Sheet* read(const std::string& path) {
        lastsheet = nullptr;
        return Reader(path.c_str()) ? lastsheet : nullptr;
    }
    Sheet* read_bytes(const std::string& bytes) {
        write_file(dir.file("t.in"), bytes);
        return read(dir.file("t.in"));
    }
    // The file cut every step bytes: whatever is read is a whole sheet, every column as long as
    // the rows (and nothing crashes or allocates wildly, which the sanitizers watch).
    void read_cuts(const std::string& bytes, size_t step) {
        for (size_t cut = 0; cut < bytes.size(); cut += step) {
            testing::internal::CaptureStdout();  // warnings of cut files are expected
            Sheet* s = read_bytes(bytes.substr(0, cut));
            testing::internal::GetCapturedStdout();
            for (size_t c = 1; s && c < s->cols.size(); ++c)
                EXPECT_EQ(s->cols[c]->value_count(), size_t(s->row_count)) << cut;
        }
    }
    // The file named name in dir converted by the driver to .vsh and .csv; the .vsh read back
    // holds the cells of rows (as expect_sheet_cells takes them). Starts a fresh run.
    void expect_conversions(const std::string& name, const std::vector<std::vector<std::string>>& rows,
                            bool names_row, double rel_tol = 0) {
        for (const char* out : {"out.vsh", "out.csv"}) {
            RunResult r = run_morvalen(dir.path(), {name, out});
            EXPECT_EQ(r.status, 0) << r.out;
            EXPECT_EQ(r.out, " " + std::to_string(rows.size() - names_row) + " records transferred.\n");
        }
        fresh_run();
        lastsheet = nullptr;
        ASSERT_TRUE(open_file(dir.file("out.vsh").c_str(), VXT_VSH));
        expect_sheet_cells(lastsheet, rows, names_row, rel_tol);
    }
    // Each file, named name, converted by the driver: no data, status 5.
    void expect_no_data(const std::vector<std::string>& broken, const std::string& name) {
        for (size_t i = 0; i < broken.size(); ++i) {
            write_file(dir.file(name), broken[i]);
            RunResult r = run_morvalen(dir.path(), {name, "out.csv"});
            EXPECT_EQ(r.status, 5) << i;
            EXPECT_EQ(r.out, " Error: No valid data in input file " + name + "!\n") << i;
        }
    }
};

// The tab-separated fields of a line, at least four.
inline std::vector<std::string> tab_fields(const std::string& line) {
    std::vector<std::string> f;
    std::stringstream fields(line);
    for (std::string x; std::getline(fields, x, '\t');) f.push_back(x);
    f.resize(std::max<size_t>(f.size(), 4));
    return f;
}

inline std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    return b == std::string::npos ? "" : s.substr(b, s.find_last_not_of(' ') - b + 1);
}
