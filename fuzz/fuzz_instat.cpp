// Arbitrary bytes through the Instat reader; a sheet it builds is written as a worksheet,
// which must read again with the same columns and rows (read, write, read).
#include <cstdio>
#include <cstdlib>

#include "driver/vxs_formats.h"
#include "fuzz_util.h"
#include "sheet/vxs_sheet.h"
#include "statpack/vxr_instat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    VxsSource src = fuzz_memory_source(data, size, "fuzz.wor");
    int16_t ok = read_instat_source(src);
    if (!ok) return 0;
    fuzz_check_sheet();
    Sheet* sheet = lastsheet;
    int32_t rows = sheet->row_count, cols = sheet->column_count;
    // Worksheets beyond what the writer accepts (or can count) are not written back.
    if (cols > INSTAT_MAX_COLUMNS || rows > INSTAT_MAX_COUNT) return 0;
    std::string out;
    if (!fuzz_write_to_memory([&](const char* p) { return write_sheet_as_instat(sheet, p); }, out))
        std::abort();
    lastsheet = nullptr;
    VxsSource again = VxsSource::memory(out, "fuzz.out.wor");
    if (!read_instat_source(again)) std::abort();
    fuzz_check_sheet();
    if (lastsheet->row_count != rows || lastsheet->column_count != cols) std::abort();
    return 0;
}
