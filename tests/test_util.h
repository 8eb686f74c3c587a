// Helpers for whole-conversion tests: a scratch directory per test, files written and read
// as bytes, and the morvalen binary run as a process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Sheet;
struct Column;

struct RunResult {
    int status = -1;
    std::string out;  // standard output
};

// A fresh empty directory under the build tree, removed when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Runs morvalen with the arguments inside dir (its working directory).
RunResult run_morvalen(const std::string& dir, const std::vector<std::string>& args);
// The same with the size of the files it writes limited to blocks of 512 bytes, as on a full disk:
// with SIGXFSZ ignored a write past the limit fails instead of ending the process.
RunResult run_morvalen_with_file_limit(const std::string& dir, const std::vector<std::string>& args,
                                       int blocks);
// Copies tests/data/<sample> into dir under name, by default the sample's own file name, so that
// messages and outputs name a short file beside the output; returns the name.
std::string copy_sample(const ScratchDir& dir, const std::string& sample, std::string name = "");

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);
std::string data_path(const std::string& name);  // a file under tests/data

// Integers as n bytes little- or big-endian, a double's 8 bytes little-endian, and a copy of
// bytes with others laid over them at an offset.
std::string le_bytes(uint64_t v, size_t n);
std::string be_bytes(uint64_t v, size_t n);
std::string le_f64(double d);
std::string patched(std::string bytes, size_t at, const std::string& over);

// Independent tools: whether a shell check succeeds quietly, and a command's standard output.
bool tool_present(const std::string& check);
std::string shell_output(const std::string& cmd);

// Delimited text as rows of cells: padding and one level of single or double quotes removed
// (a trailing empty field is kept).
std::vector<std::vector<std::string>> csv_cells(const std::string& text);
// A file of tab-separated lines as rows of fields, as the sample generators' .expect files are;
// rows shorter than the first are padded with empty fields.
std::vector<std::vector<std::string>> tsv_rows(const std::string& path);

// The sheet against a table of cells as text, as an independent tool or a sample's generator
// wrote them; with names_row the first row holds the column names. "NA" is missing (an empty
// text in a text column), a factor cell is its label, else its level value, else its level
// number; numbers agree within rel_tol (0: within a few units in the last place).
void expect_sheet_cells(const Sheet* s, const std::vector<std::vector<std::string>>& rows, bool names_row,
                        double rel_tol = 0);

// A fresh run in this process: sheets released, library and options reset, the column limit
// high, and text conversion warnings going to warn_file (opened at the first warning).
void fresh_run(const std::string& warn_file = "/dev/null");
// The sheet's column of that name, or null.
Column* find_column(const Sheet* s, const std::string& name);

// A new run's state (sheet library and options reset) and a vector sheet of the given rows,
// missing value set and row attributes made, as a reader leaves it before adding columns.
Sheet* new_run_with_sheet(int32_t rows, int32_t kind = 1);

// What f printed on standard output.
void begin_stdout_capture();
std::string end_stdout_capture();
template <class F>
std::string stdout_of(F&& f) {
    begin_stdout_capture();
    f();
    return end_stdout_capture();
}
