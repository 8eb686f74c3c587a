// A MapInfo .mif with its .mid in one framed input, read through the reader's own entry, then
// the sheet invariants.
#include "fuzz_util.h"
#include "gis/vxr_mif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    VxsSource src = fuzz_framed_source(data, size, "fuzz.mif");
    read_mapinfo_source(src);
    fuzz_check_sheet();
    return 0;
}
