// Arbitrary bytes through the Gauss reader. An input whose first bytes are a 1989 header is read
// as a framed data set (the header, then a ".dat" part); any other as one matrix or data set
// file. The sheet read is written as a matrix, which must read again with no more rows.
#include <cstdlib>
#include <string>

#include "driver/vxs_formats.h"
#include "fuzz_util.h"
#include "sheet/vxs_sheet.h"
#include "statpack/vxr_gauss.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    bool header89 = size > 0 && data[0] == 0xDA;
    VxsSource src = header89 ? fuzz_framed_source(data, size, "fuzz.dht")
                             : fuzz_memory_source(data, size, "fuzz.fmt");
    if (!read_gauss_source(src)) return 0;
    fuzz_check_sheet();
    Sheet* sheet = lastsheet;
    std::string written;
    if (!fuzz_write_to_memory([&](const char* p) { return write_sheet_as_gauss(sheet, p); }, written))
        return 0;
    lastsheet = nullptr;
    VxsSource again = VxsSource::memory(written, "fuzz.fmt");
    if (read_gauss_source(again)) {
        fuzz_check_sheet();
        if (lastsheet->row_count != sheet->row_count) std::abort();
    }
    return 0;
}
