// Arbitrary bytes through the compound document container: header, FAT, DIFAT, directory,
// mini stream, recovery scan; every byte of the stream found is then read.
#include <cstdio>
#include <cstdlib>

#include "fuzz_util.h"
#include "spreadsheet/vxs_cdf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    // Streams of other programs are copied next to the input and removed again.
    setenv("TMP", "/tmp/", 1);
    std::string path = fuzz_write_input(data, size, ".xls");
    if (open_xls_file(path.c_str()) == 0) {
        int16_t err = 0;
        uint8_t block[4096];
        while (readb(block, sizeof block, &err) == 0) {
        }
        get_abs_biff_page(0);
        long used = 0;
        uint16_t len = 8;
        readc(block, 16, &used, &len, &err);
    }
    xls_deallocate_mem();
    std::remove(path.c_str());
    return 0;
}
