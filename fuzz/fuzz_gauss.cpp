// Arbitrary bytes through the Gauss reader. An input whose first bytes are a 1989 header is
// split at a byte of its own choosing into the header file and the data file beside it; the
// sheet read is written as a matrix, which must read again with no more rows.
#include <cstdio>
#include <cstdlib>

#include "driver/vxs_formats.h"
#include "fuzz_util.h"
#include "sheet/vxs_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    std::string path;
    std::string dat;
    if (size > 3 && data[0] == 0xDA) {
        size_t split = 128 + size_t(data[size - 1]) * 8;
        if (split > size - 1) split = size - 1;
        path = fuzz_write_input(data, split, ".dht");
        dat = path.substr(0, path.size() - 4) + ".dat";
        FILE* f = std::fopen(dat.c_str(), "wb");
        if (!f) std::abort();
        std::fwrite(data + split, 1, size - 1 - split, f);
        std::fclose(f);
    } else {
        path = fuzz_write_input(data, size, ".fmt");
    }
    int16_t ok = read_gauss_into_sheet(path.c_str());
    std::remove(path.c_str());
    if (!dat.empty()) std::remove(dat.c_str());
    if (!ok) return 0;
    fuzz_check_sheet();
    Sheet* sheet = lastsheet;
    std::string out = path + ".out.fmt";
    if (write_sheet_as_gauss(sheet, out.c_str())) {
        lastsheet = nullptr;
        if (read_gauss_into_sheet(out.c_str())) {
            fuzz_check_sheet();
            if (lastsheet->row_count != sheet->row_count) std::abort();
        }
    }
    std::remove(out.c_str());
    return 0;
}
