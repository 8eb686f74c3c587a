// One input split into a shapefile and its attribute table: the first two bytes give the
// length of the shapefile part, the rest after it is the .dbf (none when empty).
#include <algorithm>

#include "fuzz_util.h"
#include "gis/vxr_gis.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    size_t split = std::min<size_t>(
        size - 2, static_cast<size_t>(data[0]) | static_cast<size_t>(data[1]) << 8);
    fuzz_new_run();
    ByteReader shp(data + 2, split);
    ByteReader dbf(data + 2 + split, size - 2 - split);
    vxs_decode_shape(shp, dbf.size() ? &dbf : nullptr, "fuzz.shp");
    fuzz_check_sheet();
    return 0;
}
