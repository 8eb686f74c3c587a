// Arbitrary bytes through the Lotus WK1 reader (records, RANGE store, conversion into the sheet).
// Conditions that end a real run (too much data) unwind here and the next input goes on.
#include <cstdio>

#include "driver/vxs_formats.h"
#include "sheet/vxs_options.h"
#include "fuzz_util.h"
#include "sheet/vxs_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    VxsSource src = fuzz_memory_source(data, size, "fuzz.wk1");
    try {
        read_wk1_source(src);
    } catch (const VxsFatal&) {
    }
    fuzz_check_sheet();
    return 0;
}
