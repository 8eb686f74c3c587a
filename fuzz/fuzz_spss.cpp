// Arbitrary bytes through the SPSS system file reader, then the sheet invariants.
#include "driver/vxs_formats.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    VxsSource src = fuzz_memory_source(data, size, "fuzz.sav");
    read_spss_source(src);
    fuzz_check_sheet();
    return 0;
}
