// Arbitrary bytes through the MStat reader: the input is split into the header file and the
// data file beside it (the first two bytes give the header's length), then the invariants.
#include <cstdio>

#include "driver/vxs_formats.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    size_t split = size >= 2 ? (size_t(data[0]) | size_t(data[1]) << 8) : 0;
    if (size < 2 || split > size - 2) split = size >= 2 ? size - 2 : 0;
    const uint8_t* body = size >= 2 ? data + 2 : data;
    std::string hdr = fuzz_write_input(body, split, ".hdr");
    std::string dat = hdr.substr(0, hdr.size() - 4) + ".dat";
    if (FILE* f = std::fopen(dat.c_str(), "wb")) {
        std::fwrite(body + split, 1, (size >= 2 ? size - 2 : 0) - split, f);
        std::fclose(f);
    }
    read_mstat_into_sheet(hdr.c_str());
    fuzz_check_sheet();
    std::remove(hdr.c_str());
    std::remove(dat.c_str());
    return 0;
}
