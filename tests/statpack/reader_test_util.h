// Shared by the statistics package tests: a fixture running one reader on a file or on bytes, the
// sweep over a cut file, broken files refused, cells as text, and an expectation file's fields.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/vxs_formats.h"
#include "sheet/vxs_dates.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

// The .vsh at path read back in a fresh run.
inline Sheet* read_vsh(const std::string& path) {
    return fresh_run(), lastsheet = nullptr, open_file(path.c_str(), VXT_VSH) ? lastsheet : nullptr;
}

// The sheet read, else a thrown error that fails the test there.
inline Sheet* must(Sheet* s) { return s ? s : throw std::runtime_error("no sheet was read"); }

// Bytes a reader must refuse, and what it prints then (anything, without a message).
struct Refusal { std::string bytes; std::optional<std::string> message = std::nullopt; };

template <int16_t (*Reader)(const char*)>
struct ReaderTest : ::testing::Test {
    ScratchDir dir;
    void SetUp() override { vxs_init(), VXSMAXCOLUMNS = 2048; }
    Sheet* read(const std::string& path) { return lastsheet = nullptr, Reader(path.c_str()) ? lastsheet : nullptr; }
    Sheet* read_bytes(const std::string& bytes) { return write_file(dir.file("t.in"), bytes), read(dir.file("t.in")); }
    std::string said;  // what the last quiet read printed
    Sheet* quiet(const std::string& path) {
        Sheet* s{};
        said = stdout_of([&] { s = read(path); });
        return s;
    }
    Sheet* quiet_bytes(const std::string& bytes) { return write_file(dir.file("t.in"), bytes), quiet(dir.file("t.in")); }
    // Each file's bytes refused by the reader, printing the message given (anything without one).
    void expect_refused(const std::vector<Refusal>& cases, const std::function<void()>& before = {}) {
        for (size_t i = 0; i < cases.size(); ++i) {
            if (before) before();
            EXPECT_EQ(quiet_bytes(cases[i].bytes), nullptr) << "refusal " << i;
            EXPECT_EQ(said, cases[i].message.value_or(said)) << "refusal " << i;
        }
    }
    // The file cut every step bytes: what is read has every column as long as the rows (sanitizers watch the rest).
    void read_cuts(const std::string& bytes, size_t step, const std::function<void()>& before = {}) {
        for (size_t cut = 0; cut < bytes.size(); cut += step) {
            if (before) before();
            Sheet* s = quiet_bytes(bytes.substr(0, cut));  // warnings of cut files are expected
            for (size_t c = 1; s && c < s->cols.size(); ++c)
                EXPECT_EQ(s->cols[c]->value_count(), size_t(s->row_count)) << cut;
        }
    }
    // The file name in dir converted to .vsh and .csv, the .vsh read back (a fresh run) holding rows' cells.
    void expect_conversions(const std::string& name, const std::vector<std::vector<std::string>>& rows,
                            bool names_row, double rel_tol = 0) {
        for (const char* out : {"out.vsh", "out.csv"}) {
            RunResult r = run_morvalen(dir.path(), {name, out});
            EXPECT_EQ(std::to_string(r.status) + r.out, "0 " + std::to_string(rows.size() - names_row) + " records transferred.\n");
        }
        ASSERT_TRUE(read_vsh(dir.file("out.vsh")));
        expect_sheet_cells(lastsheet, rows, names_row, rel_tol);
    }
    // A generated sample copied to dir and converted so, against the .expect file beside it.
    void expect_sample_converts(const std::string& sample, bool names_row, double rel_tol = 0) {
        const std::string expect = data_path(sample.substr(0, sample.rfind('.')) + ".expect");
        expect_conversions(copy_sample(dir, sample), tsv_rows(expect), names_row, rel_tol);
    }
    // Each file, named name, converted by the driver: no data, status 5.
    void expect_no_data(const std::vector<std::string>& broken, const std::string& name) {
        for (size_t i = 0; i < broken.size(); ++i) {
            write_file(dir.file(name), broken[i]);
            RunResult r = run_morvalen(dir.path(), {name, "out.csv"});
            EXPECT_EQ(std::to_string(r.status) + r.out, "5 Error: No valid data in input file " + name + "!\n") << i;
        }
    }
    // A sample converted to .csv and .vsh, the .vsh on to the same .csv, each with the records line: the .csv's cells.
    std::vector<std::vector<std::string>> convert_whole(const std::string& sample, int32_t rows) {
        const std::string name = copy_sample(dir, sample), done = " " + std::to_string(rows) + " records transferred.\n";
        for (const auto& [from, to] : {std::pair<std::string, std::string>{name, "out.csv"}, {name, "out.vsh"}, {"out.vsh", "back.csv"}}) {
            RunResult r = run_morvalen(dir.path(), {from, to});
            EXPECT_TRUE(r.status == 0 && r.out.ends_with(done)) << sample << " -> " << to << ": " << r.status << r.out;
        }
        EXPECT_EQ(read_file(dir.file("back.csv")), read_file(dir.file("out.csv"))) << sample;
        return csv_cells(read_file(dir.file("out.csv")));
    }
};

// A string literal's bytes, embedded zeros included.
template <size_t N>
std::string raw(const char (&s)[N]) { return std::string(s, N - 1); }

// A number as %.12g.
inline std::string g12(double x) { char num[32]; return std::snprintf(num, sizeof num, "%.12g", x), num; }
// A cell as text: a text as stored, missing ".", a factor's label, a date (code 34), else %.12g.
inline std::string cell_text(const Sheet* s, size_t c, size_t r) {
    const Column* col = s->cols[c].get();
    if (col->is_text()) return std::string(col->text.get(r));
    const double x = col->num[r];
    char date[64];
    if (x <= s->missing) return ".";
    if (col->type == VXS_FACTOR && !col->labels.empty()) return col->labels.at(size_t(x) - 1);
    return col->representation == VXS_REP_DATE ? (vxs_write_date(date, x, col->gregorian, 34), date) : g12(x);
}
// Rows first..last-1 from column from on: cells joined by '|', each row ended by ';'.
inline std::string rows_text(const Sheet* s, size_t first, size_t last, size_t from = 1) {
    std::string out;
    for (size_t r = first; r < last; ++r, out += ';')
        for (size_t c = from; c < s->cols.size(); ++c) out += (c > from ? "|" : "") + cell_text(s, c, r);
    return out;
}
// A column's cells joined by '|'.
inline std::string column_text(const Sheet* s, size_t c) {
    std::string out;
    for (size_t r = 0; r < size_t(s->row_count); ++r) out += (r ? "|" : "") + cell_text(s, c, r);
    return out;
}

// A factor column of the sheet's rows with the level numbers given.
inline Column* add_factor(Sheet* s, const std::string& name, int32_t nlevels, std::vector<double> codes) {
    Column* f = create_column_with_memory(s, VXS_FACTOR, name, s->row_count);
    f->nlevels = nlevels, f->num = std::move(codes);
    return f;
}

inline std::string trim(const std::string& s) {
    const size_t b = s.find_first_not_of(' ');
    return b == std::string::npos ? "" : s.substr(b, s.find_last_not_of(' ') - b + 1);
}
// A cell for comparing with a tool's: no padding or backslash escapes, missing ("*", "?", "NA") empty, %.10g.
inline std::string plain_cell(const std::string& cell) {
    std::string c, t = trim(cell);
    for (size_t i = 0; i < t.size(); ++i) c += t[i] == '\\' && i + 1 < t.size() ? t[++i] : t[i];
    if (c == "*" || c == "?" || c == "NA") return "";
    char *end = nullptr, num[32];
    const double x = std::strtod(c.c_str(), &end);
    return c.empty() || *end ? c : (std::snprintf(num, sizeof num, "%.10g", x), std::string(num));
}

// Our .csv's cells against a tool's table but for the columns in skip. With names, both first rows hold
// names (ours without kind marks, the tool's with '_' for blanks); without, our names row is passed over.
inline void expect_csv_like_tool(const std::vector<std::vector<std::string>>& ours,
                                 const std::vector<std::vector<std::string>>& tool, bool names,
                                 const std::vector<size_t>& skip = {}) {
    const size_t from = names ? 0 : 1;
    ASSERT_EQ(ours.size(), tool.size() + from);
    for (size_t r = 0; r < tool.size(); ++r)
        for (size_t c = 0; c < tool[r].size(); ++c) {
            if (std::find(skip.begin(), skip.end(), c) != skip.end()) continue;
            ASSERT_LT(c, ours[r + from].size());
            std::string got = ours[r + from][c], want = tool[r][c];
            if (names && r == 0) got = got.substr(0, got.find_first_of("!:")), std::replace(want.begin(), want.end(), ' ', '_');
            EXPECT_EQ(plain_cell(got), plain_cell(want)) << "row " << r << ", column " << c;
        }
}

// The tab-separated lines of an expectation file, each of at least four fields.
inline std::vector<std::vector<std::string>> tab_rows(const std::string& path) {
    auto rows = tsv_rows(path);
    for (auto& f : rows) f.resize(std::max<size_t>(f.size(), 4));
    return rows;
}

