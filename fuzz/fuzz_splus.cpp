// Arbitrary text through the S-PLUS dump reader; a sheet it builds is dumped again, and the
// dump must read back with as many rows.
#include <cstdio>
#include <cstdlib>

#include "driver/vxs_formats.h"
#include "fuzz_util.h"
#include "sheet/vxs_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    std::string path = fuzz_write_input(data, size, ".sdd");
    int16_t ok = read_splus_text_into_sheet(path.c_str());
    std::remove(path.c_str());
    if (!ok) return 0;
    fuzz_check_sheet();
    Sheet* sheet = lastsheet;
    std::string out = path + ".out.sdd";
    if (!write_sheet_as_splus_text(sheet, out.c_str())) std::abort();
    lastsheet = nullptr;
    if (!read_splus_text_into_sheet(out.c_str())) std::abort();
    fuzz_check_sheet();
    if (lastsheet->row_count != sheet->row_count) std::abort();
    std::remove(out.c_str());
    return 0;
}
