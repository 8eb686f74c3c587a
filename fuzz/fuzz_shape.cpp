// A shapefile with its index and attribute table in one framed input (".shx", ".dbf" parts),
// read through the reader's own entry, then the sheet invariants.
#include "fuzz_util.h"
#include "gis/vxr_gis.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    VxsSource src = fuzz_framed_source(data, size, "fuzz.shp");
    read_gis_shape_source(src);
    fuzz_check_sheet();
    return 0;
}
