// Helpers for whole-conversion tests.
#include "driver/vxs_options.h"
#include "test_util.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sheet/vxs_sheet.h"

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    std::string tmpl = (fs::temp_directory_path() / "morvalen-test-XXXXXX").string();
    char* made = mkdtemp(tmpl.data());
    path_ = made ? made : tmpl;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

namespace {
std::string shell_quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}
}  // namespace

RunResult run_morvalen(const std::string& dir, const std::vector<std::string>& args) {
    std::string cmd = "cd " + shell_quote(dir) + " && " + shell_quote(MORVALEN_BIN);
    for (const auto& a : args) cmd += " " + shell_quote(a);
    cmd += " 2>&1";
    RunResult r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary);
    f << bytes;
}

std::string read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

bool file_exists(const std::string& path) { return fs::exists(path); }

std::string data_path(const std::string& name) { return std::string(MORVALEN_DATA) + "/" + name; }

Sheet* new_run_with_sheet(int32_t rows, int32_t kind) {
    vxs_init();
    vxs_reset_options();
    Sheet* s = create_sheet();
    s->missing = vxs_missing;
    s->kind = kind;
    s->row_count = rows;
    if (rows > 0) create_row_attr(s);
    return s;
}
