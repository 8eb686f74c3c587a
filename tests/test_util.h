// Helpers for whole-conversion tests: a scratch directory per test, files written and read
// as bytes, and the morvalen binary run as a process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Sheet;

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

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);
std::string data_path(const std::string& name);  // a file under tests/data

// A new run's state (sheet library and options reset) and a vector sheet of the given rows,
// missing value set and row attributes made, as a reader leaves it before adding columns.
Sheet* new_run_with_sheet(int32_t rows, int32_t kind = 1);
