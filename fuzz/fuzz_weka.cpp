// Arbitrary text through the ARFF reader; a sheet it builds is written back as ARFF and must
// read again with the same columns and rows.
#include <cstdio>
#include <cstdlib>

#include "driver/vxs_formats.h"
#include "fuzz_util.h"
#include "sheet/vxs_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    VxsSource src = fuzz_memory_source(data, size, "fuzz.arff");
    int16_t ok = read_weka_source(src);
    if (!ok || !lastsheet) return 0;
    fuzz_check_sheet();
    Sheet* sheet = lastsheet;
    std::string out;
    if (!fuzz_write_to_memory([&](const char* p) { return write_sheet_as_weka(sheet, p); }, out))
        std::abort();
    lastsheet = nullptr;
    VxsSource back = VxsSource::memory(out, "fuzz.out.arff");
    int16_t again = read_weka_source(back);
    if (!again || !lastsheet) std::abort();
    fuzz_check_sheet();
    if (lastsheet->column_count != sheet->column_count || lastsheet->row_count != sheet->row_count) std::abort();
    return 0;
}
