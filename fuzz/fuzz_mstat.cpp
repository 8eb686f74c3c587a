// An MStat header with its data file in one framed input (a ".dat" part), then the sheet
// invariants.
#include "fuzz_util.h"
#include "statpack/vxr_mstat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    VxsSource src = fuzz_framed_source(data, size, "fuzz.hdr");
    read_mstat_source(src);
    fuzz_check_sheet();
    return 0;
}
