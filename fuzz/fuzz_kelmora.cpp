// Arbitrary bytes through the tablet reader; a sheet it builds is written back as a tablet and
// must read again with the same columns and rows.
#include <cstdio>
#include <cstdlib>

#include "driver/vxs_formats.h"
#include "fuzz_util.h"
#include "sheet/vxs_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    std::string path = fuzz_write_input(data, size, ".ktb");
    int16_t ok = 0;
    try {
        ok = read_kelmora_into_sheet(path.c_str());
    } catch (const VxsFatal&) {  // the page listing ends a run on purpose
    }
    std::remove(path.c_str());
    if (!ok || !lastsheet) return 0;  // a page of unknown column kinds leaves no sheet
    fuzz_check_sheet();
    Sheet* sheet = lastsheet;
    std::string out = path + ".out.ktb";
    if (!write_sheet_as_kelmora(sheet, out.c_str())) std::abort();
    lastsheet = nullptr;
    int16_t again = read_kelmora_into_sheet(out.c_str());
    std::remove(out.c_str());
    if (!again || !lastsheet) std::abort();
    fuzz_check_sheet();
    if (lastsheet->column_count != sheet->column_count || lastsheet->row_count != sheet->row_count) std::abort();
    return 0;
}
