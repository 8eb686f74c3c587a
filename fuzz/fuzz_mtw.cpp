// Arbitrary bytes through the Minitab readers: the first byte picks the old worksheet layout,
// the record layout of a handed-over stream, or the portable text reader.
#include <cstdio>

#include "driver/vxs_formats.h"
#include "fuzz_util.h"
#include "spreadsheet/vxs_cdf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    fuzz_new_run();
    std::string path = fuzz_write_input(data + 1, size - 1, ".mtw");
    switch (data[0] % 3) {
        case 0:
            read_mtw_into_sheet(path.c_str());
            break;
        case 1:
            vxs_set_container_file("user.mtw");
            read_mtw_into_sheet(path.c_str());
            break;
        default:
            read_mtp_into_sheet(path.c_str());
            break;
    }
    fuzz_check_sheet();
    std::remove(path.c_str());
    return 0;
}
