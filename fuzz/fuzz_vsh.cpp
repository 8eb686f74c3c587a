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
    vxs_get_global_defaults()->omit_empty = 0;
    std::string out;
    if (fuzz_write_to_memory([&](const char* p) { return save_sheet(first, p); }, out)) {
        // Vector sheets must come back whole; the other kinds only safely.
        VxsSource again = VxsSource::memory(out, "fuzz.vsh");
        bool back = read_file_source(again);
        fuzz_check_sheet();
        if (first->kind == VXS_VECTOR && (!back || lastsheet->column_count != first->column_count))
            std::abort();
    }
    return 0;
}
