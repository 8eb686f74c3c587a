// Shared pieces of the fuzz targets.
#include "driver/vxs_options.h"
#include "fuzz_util.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

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

void fuzz_new_run() {
    vxs_release_sheets();
    vxs_init();
    vxs_reset_options();
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
