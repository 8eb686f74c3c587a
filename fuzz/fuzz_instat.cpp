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
    std::string path = fuzz_write_input(data, size, ".wor");
    int16_t ok = read_instat_into_sheet(path.c_str());
    std::remove(path.c_str());
    if (!ok) return 0;
    fuzz_check_sheet();
    Sheet* sheet = lastsheet;
    int32_t rows = sheet->row_count, cols = sheet->column_count;
    // Worksheets beyond what the writer accepts (or can count) are not written back.
    if (cols > INSTAT_MAX_COLUMNS || rows > INSTAT_MAX_COUNT) return 0;
    std::string out = path + ".out.wor";
    if (!write_sheet_as_instat(sheet, out.c_str())) std::abort();
    lastsheet = nullptr;
    if (!read_instat_into_sheet(out.c_str())) std::abort();
    fuzz_check_sheet();
    if (lastsheet->row_count != rows || lastsheet->column_count != cols) std::abort();
    std::remove(out.c_str());
    return 0;
}
