// Shared pieces of the fuzz targets.
#include "driver/vxs_options.h"
#include "fuzz_util.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "sheet/vxs_access.h"
#include "sheet/vxs_sheet.h"
#include "sheet/vxs_txtnum.h"

std::string fuzz_write_input(const uint8_t* data, size_t size, const char* extension) {
    std::string path = "/tmp/morvalen-fuzz-" + std::to_string(getpid()) + extension;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    return path;
}

VxsSource fuzz_framed_source(const uint8_t* data, size_t size, const char* name) {
    std::string_view all(reinterpret_cast<const char*>(data), size);
    const std::string_view marker = FUZZ_PART_MARKER;
    size_t at = all.find(marker);
    std::string_view main = all.substr(0, at);
    std::vector<VxsPart> parts;
    while (at != std::string_view::npos) {
        size_t ext_start = at + marker.size();
        size_t eol = all.find('\n', ext_start);
        if (eol == std::string_view::npos) break;
        std::string ext(all.substr(ext_start, eol - ext_start));
        at = all.find(marker, eol + 1);
        parts.push_back({std::move(ext), all.substr(eol + 1, at == std::string_view::npos ? at : at - eol - 1)});
    }
    return VxsSource::memory(main, name, std::move(parts));
}

VxsSource fuzz_memory_source(const uint8_t* data, size_t size, const char* name) {
    return VxsSource::memory(std::string_view(reinterpret_cast<const char*>(data), size), name);
}

namespace {

// Writers open their output by name and never through a link, so a memfd's /proc/self/fd name
// cannot be given to them. They write one file in a private directory instead, in memory
// where /dev/shm exists, removed when the fuzzer exits.
const std::string& scratch_output() {
    static const std::string path = [] {
        static std::string dir;
        for (const char* base : {"/dev/shm", "/tmp"}) {
            std::string pattern = std::string(base) + "/morvalen-fuzz-XXXXXX";
            if (mkdtemp(pattern.data())) {
                dir = pattern;
                break;
            }
        }
        if (dir.empty()) std::abort();
        std::atexit([] {
            std::remove((dir + "/out").c_str());
            rmdir(dir.c_str());
        });
        return dir + "/out";
    }();
    return path;
}

}  // namespace

bool fuzz_write_to_memory(const std::function<int(const char* path)>& write, std::string& out) {
    const std::string& path = scratch_output();
    std::remove(path.c_str());
    if (!write(path.c_str())) return false;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) std::abort();
    off_t size = lseek(fd, 0, SEEK_END);
    if (size < 0) std::abort();
    out.resize(static_cast<size_t>(size));
    if (pread(fd, out.data(), out.size(), 0) != static_cast<ssize_t>(out.size())) std::abort();
    close(fd);
    return true;
}

void fuzz_new_run() {
    vxs_release_sheets();
    vxs_init();
    vxs_reset_options();
    vxs_reset_name_counters();
    VXSMAXCOLUMNS = 2048;
    if (vxs_warn_out) {
        std::fclose(vxs_warn_out);
        vxs_warn_out = nullptr;
    }
    std::snprintf(vxs_warn_file, sizeof vxs_warn_file, "/dev/null");
}

void fuzz_check_sheet() {
    Sheet* s = lastsheet;
    if (!s) return;
    if (s->cols.empty() || s->cols[0]->type != VXS_ROW) std::abort();
    if (static_cast<int32_t>(s->cols.size()) != s->column_count + 1) std::abort();
    if (s->column_count > VXSMAXCOLUMNS) std::abort();
    for (const auto& c : s->cols) {
        if (c->value_count() > static_cast<size_t>(s->row_count) && c->type != VXS_ROW) std::abort();
        if (c->is_text()) {
            for (size_t i = 0; i < c->text.size(); ++i)
                if (c->text.get(i).size() > VXS_MAX_TEXT) std::abort();
        } else if (c->type == VXS_FACTOR) {
            for (double v : c->num)
                if (v > s->missing && (v < 1 || v > c->nlevels)) std::abort();
            for (const auto& l : c->labels)
                if (l.size() > VXS_MAX_NAME) std::abort();
        }
        if (c->name.size() > VXS_MAX_NAME) std::abort();
    }
}
