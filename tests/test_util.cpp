#include "test_util.h"

#include <sys/wait.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "driver/vxs_options.h"
#include "sheet/vxs_sheet.h"
#include "sheet/vxs_txtnum.h"

namespace fs = std::filesystem;

ScratchDir::ScratchDir() : path_((fs::temp_directory_path() / "morvalen-test-XXXXXX").string()) {
    if (!mkdtemp(path_.data())) ADD_FAILURE() << "cannot make " << path_;
}

ScratchDir::~ScratchDir() { std::error_code ec; fs::remove_all(path_, ec); }

namespace {
std::string shell_quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The command's standard output and its exit status (-1 when it did not exit).
std::string run_shell(const std::string& cmd, int* status = nullptr) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    int st = pclose(p);
    if (status) *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
}

}  // namespace

RunResult run_morvalen(const std::string& dir, const std::vector<std::string>& args) {
    return run_morvalen_with_file_limit(dir, args, -1);  // no limit
}

RunResult run_morvalen_with_file_limit(const std::string& dir, const std::vector<std::string>& args, int blocks) {
    std::string cmd = "cd " + shell_quote(dir) + " && " +
                      (blocks >= 0 ? "trap '' XFSZ && ulimit -f " + std::to_string(blocks) + " && " : "") + shell_quote(MORVALEN_BIN);
    for (const auto& a : args) cmd += " " + shell_quote(a);
    RunResult r;
    r.out = run_shell(cmd + " 2>&1", &r.status);
    return r;
}

void write_file(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool file_exists(const std::string& path) { return fs::exists(path); }
bool name_taken(const std::string& path) { return fs::exists(fs::symlink_status(path)); }
std::string data_path(const std::string& name) { return std::string(MORVALEN_DATA) + "/" + name; }

std::string copy_sample(const ScratchDir& dir, const std::string& sample, std::string name) {
    if (name.empty()) name = fs::path(sample).filename().string();
    write_file(dir.file(name), read_file(data_path(sample)));
    return name;
}

std::string le_bytes(uint64_t v, size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(v >> (8 * i));
    return s;
}

std::string be_bytes(uint64_t v, size_t n) { const std::string s = le_bytes(v, n); return {s.rbegin(), s.rend()}; }

std::string le_f64(double d) { return le_bytes(std::bit_cast<uint64_t>(d), 8); }

std::string patched(std::string bytes, size_t at, const std::string& over) { return bytes.replace(at, over.size(), over); }
bool tool_present(const std::string& check) { return std::system((check + " >/dev/null 2>&1").c_str()) == 0; }
std::string shell_output(const std::string& cmd) { return run_shell(cmd); }

std::vector<std::vector<std::string>> csv_cells(const std::string& text) {
    std::vector<std::vector<std::string>> t;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line + ",");
        t.emplace_back();
        for (std::string f; std::getline(fields, f, ',');) {
            size_t a = f.find_first_not_of(' '), b = f.find_last_not_of(' ');
            f = a == std::string::npos ? "" : f.substr(a, b - a + 1);
            if (f.size() >= 2 && (f[0] == '\'' || f[0] == '"') && f.back() == f[0]) f = f.substr(1, f.size() - 2);
            t.back().push_back(f);
        }
    }
    return t;
}

std::vector<std::vector<std::string>> tsv_rows(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        std::stringstream s(line);
        rows.emplace_back();
        for (std::string x; std::getline(s, x, '\t');) rows.back().push_back(x);
        rows.back().resize(std::max(rows.back().size(), rows[0].size()));  // trailing empties
    }
    return rows;
}

void expect_sheet_cells(const Sheet* s, const std::vector<std::vector<std::string>>& rows, bool names_row,
                        double rel_tol) {
    ASSERT_FALSE(rows.empty());
    const size_t first = names_row ? 1 : 0;
    ASSERT_EQ(size_t(s->column_count), rows[0].size());
    ASSERT_EQ(size_t(s->row_count), rows.size() - first);
    for (size_t c = 0; c < rows[0].size(); ++c) {
        const Column* col = s->cols[c + 1].get();
        if (names_row) { EXPECT_EQ(col->name, rows[0][c]); }
        for (size_t r = 0; r + first < rows.size(); ++r) {
            const std::string& want = rows[r + first].at(c);
            SCOPED_TRACE(col->name + " row " + std::to_string(r + 1));
            if (col->is_text()) { EXPECT_EQ(col->text.get(r), want == "NA" ? "" : want); continue; }
            double x = col->num[r];
            if (want == "NA") { EXPECT_LE(x, s->missing); continue; }
            if (col->type == VXS_FACTOR) {
                ASSERT_GE(x, 1);
                const size_t k = static_cast<size_t>(x) - 1;
                if (!col->labels.empty()) { EXPECT_EQ(col->labels.at(k), want); continue; }
                if (!col->levels.empty()) x = col->levels.at(k);
            }
            const double y = std::stod(want);
            if (rel_tol > 0) { EXPECT_NEAR(x, y, std::fabs(y) * rel_tol); } else { EXPECT_DOUBLE_EQ(x, y); }
        }
    }
}

void fresh_run(const std::string& warn_file) {
    vxs_release_sheets();
    vxs_init();
    vxs_reset_options();
    VXSMAXCOLUMNS = 2048;
    if (vxs_warn_out) std::fclose(vxs_warn_out), vxs_warn_out = nullptr;
    std::snprintf(vxs_warn_file, sizeof vxs_warn_file, "%s", warn_file.c_str());
}

std::string stdout_of(const std::function<void()>& f) {
    testing::internal::CaptureStdout();
    f();
    return testing::internal::GetCapturedStdout();
}

Column* find_column(const Sheet* s, const std::string& name) {
    auto it = std::find_if(s->cols.begin(), s->cols.end(), [&](auto& c) { return c->name == name; });
    return it == s->cols.end() ? nullptr : it->get();
}

Sheet* new_run_with_sheet(int32_t rows, int32_t kind) {
    vxs_init();
    vxs_reset_options();
    Sheet* s = create_sheet();
    s->missing = vxs_missing, s->kind = kind, s->row_count = rows;
    if (rows > 0) create_row_attr(s);
    return s;
}
