// Arbitrary bytes through the package spreadsheet file reader, then the sheet invariants; a
// vector sheet that was read is written back and must read again with the same shape.
#include <cstdio>

#include "driver/vxs_formats.h"
#include "sheet/vxs_options.h"
#include "fuzz_util.h"
#include "package/vxr_read.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    ByteReader in(data, size);
    int16_t ok = vxs_decode_vsh(in);
    fuzz_check_sheet();
    if (!ok || !lastsheet) return 0;
    Sheet* first = lastsheet;
    std::string path = fuzz_write_input(nullptr, 0, ".vsh");
    vxs_get_global_defaults()->omit_empty = 0;
    if (save_sheet(first, path.c_str())) {
        // Vector sheets must come back whole; the other kinds only safely.
        bool back = read_file_into_sheet(path.c_str());
        fuzz_check_sheet();
        if (first->kind == VXS_VECTOR && (!back || lastsheet->column_count != first->column_count))
            std::abort();
    }
    std::remove(path.c_str());
    return 0;
}
