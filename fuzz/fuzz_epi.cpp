// Arbitrary bytes through the Epi-Info reader, then the sheet invariants.
#include <cstdio>

#include "driver/vxs_formats.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    std::string path = fuzz_write_input(data, size, ".rec");
    read_epi_into_sheet(path.c_str());
    fuzz_check_sheet();
    std::remove(path.c_str());
    return 0;
}
