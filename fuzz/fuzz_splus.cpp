// Arbitrary text through the S-PLUS dump reader; a sheet it builds is dumped again, and the
// dump must read back with as many rows.
#include <cstdio>
#include <cstdlib>

#include "driver/vxs_formats.h"
#include "fuzz_util.h"
#include "sheet/vxs_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    VxsSource src = fuzz_memory_source(data, size, "fuzz.sdd");
    int16_t ok = read_splus_text_source(src);
    if (!ok) return 0;
    fuzz_check_sheet();
    Sheet* sheet = lastsheet;
    std::string out;
    if (!fuzz_write_to_memory([&](const char* p) { return write_sheet_as_splus_text(sheet, p); }, out))
        std::abort();
    lastsheet = nullptr;
    VxsSource again = VxsSource::memory(out, "fuzz.out.sdd");
    if (!read_splus_text_source(again)) std::abort();
    fuzz_check_sheet();
    if (lastsheet->row_count != sheet->row_count) std::abort();
    return 0;
}
