// Helpers for whole-conversion tests: a scratch directory per test, files as bytes, morvalen run as a process.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct Sheet;
struct Column;

struct RunResult {
    int status = -1;
    std::string out;  // standard output and error
};

struct ScratchDir {  // a fresh empty directory under the temporary directory, removed when the object goes
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::string path_;
};

// Runs morvalen with the arguments inside dir; with a limit, the files it writes are limited to blocks
// of 512 bytes as on a full disk (SIGXFSZ ignored: a write past the limit fails).
RunResult run_morvalen(const std::string& dir, const std::vector<std::string>& args);
RunResult run_morvalen_with_file_limit(const std::string& dir, const std::vector<std::string>& args, int blocks);
// Copies tests/data/<sample> into dir under name (by default the sample's own file name); returns the name.
std::string copy_sample(const ScratchDir& dir, const std::string& sample, std::string name = "");

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);
bool name_taken(const std::string& path);  // anything, a dangling link included, stands under the name
std::string data_path(const std::string& name);  // a file under tests/data

// Integers as n bytes little- or big-endian, a double little-endian, and bytes with others laid over at an offset.
std::string le_bytes(uint64_t v, size_t n);
std::string be_bytes(uint64_t v, size_t n);
std::string le_f64(double d);
std::string patched(std::string bytes, size_t at, const std::string& over);

// Independent tools: whether a shell check succeeds quietly, and a command's standard output.
bool tool_present(const std::string& check);
std::string shell_output(const std::string& cmd);

// Delimited text as rows of cells: padding and one level of quotes removed (a trailing empty field kept).
std::vector<std::vector<std::string>> csv_cells(const std::string& text);
// A file of tab-separated lines (the generators' .expect files); short rows padded to the first's width.
std::vector<std::vector<std::string>> tsv_rows(const std::string& path);

// The sheet against cells as text from an independent tool or a generator; with names_row the first row
// holds the names. "NA" is missing (empty in a text column), a factor cell is its label, else its level
// value, else its level number; numbers agree within rel_tol (0: a few units in the last place).
void expect_sheet_cells(const Sheet* s, const std::vector<std::vector<std::string>>& rows, bool names_row,
                        double rel_tol = 0);

// A fresh run in this process: sheets released, library and options reset, the column limit high,
// text conversion warnings going to warn_file (opened at the first warning).
void fresh_run(const std::string& warn_file = "/dev/null");
Column* find_column(const Sheet* s, const std::string& name);  // null when missing
// A new run's state and a vector sheet of the given rows, as a reader leaves it before adding columns.
Sheet* new_run_with_sheet(int32_t rows, int32_t kind = 1);

std::string stdout_of(const std::function<void()>& f);  // what f printed on standard output
