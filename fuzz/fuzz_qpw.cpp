// Arbitrary bytes through the Quattro Pro for Windows reader: string tables, pages, named
// ranges, the selection and the cell store conversion.
// Conditions that end a real run (too much data) unwind here and the next input goes on.
#include <cstdio>

#include "driver/vxs_options.h"
#include "driver/vxs_formats.h"
#include "fuzz_util.h"
#include "sheet/vxs_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    std::string path = fuzz_write_input(data, size, ".qpw");
    // The last byte picks a selection so that pages, ranges and cell ranges are reached too.
    if (size > 0) {
        static const char* const kSheets[] = {"", "2", "S:TRIAL", "R:doses", "b", "3"};
        vxs_parser_options().worksheet_name = kSheets[data[size - 1] % 6];
        vxs_parser_options().cell_range = (data[size - 1] & 0x40) ? "b2:c5" : "";
    }
    try {
        read_qpw_into_sheet(path.c_str());
    } catch (const VxsFatal&) {
    }
    fuzz_check_sheet();
    std::remove(path.c_str());
    return 0;
}
