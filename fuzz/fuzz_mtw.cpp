// Arbitrary bytes through the Minitab readers: the first byte picks the old worksheet layout,
// the record layout of a handed-over stream, or the portable text reader.
#include <cstdio>

#include "driver/vxs_formats.h"
#include "fuzz_util.h"
#include "statpack/vxr_mtw.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    fuzz_new_run();
    VxsSource src = fuzz_memory_source(data + 1, size - 1, "fuzz.mtw");
    switch (data[0] % 3) {
        case 0:
            read_mtw_source(src);
            break;
        case 1:
            vxs_set_mtw_file("user.mtw");
            read_mtw_source(src);
            break;
        default:
            read_mtp_source(src);
            break;
    }
    fuzz_check_sheet();
    return 0;
}
