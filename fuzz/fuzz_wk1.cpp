// Arbitrary bytes through the Lotus WK1 reader (records, RANGE store, conversion into the sheet).
// Conditions that end a real run (too much data) unwind here and the next input goes on.
#include <cstdio>

#include "driver/vxs_formats.h"
#include "sheet/vxs_options.h"
#include "fuzz_util.h"
#include "sheet/vxs_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    std::string path = fuzz_write_input(data, size, ".wk1");
    try {
        read_wk1_into_sheet(path.c_str());
    } catch (const VxsFatal&) {
    }
    fuzz_check_sheet();
    std::remove(path.c_str());
    return 0;
}
