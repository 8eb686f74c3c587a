// Arbitrary bytes through the SAS transport reader; a sheet it builds is written back as a
// transport file, which must read again with the same columns and no more rows.
#include <cstdio>
#include <cstdlib>

#include "driver/vxs_formats.h"
#include "fuzz_util.h"
#include "sheet/vxs_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    std::string path = fuzz_write_input(data, size, ".xpt");
    int16_t ok = read_sas_transport_into_sheet(path.c_str());
    std::remove(path.c_str());
    if (!ok) return 0;
    fuzz_check_sheet();
    Sheet* sheet = lastsheet;
    if (!sheet) std::abort();

    std::string out = path + ".tpt";
    if (!write_sheet_as_sas_transport(sheet, out.c_str())) std::abort();
    lastsheet = nullptr;
    int16_t again = read_sas_transport_into_sheet(out.c_str());
    std::remove(out.c_str());
    // Trailing rows whose bytes are all blanks (blank texts, or numbers that happen to encode
    // as 20 20 .. 20) cannot be told from the padding of the last record, so the second read
    // may end early or find nothing; anything it does read must match.
    if (!again) return 0;
    fuzz_check_sheet();
    if (lastsheet->column_count != sheet->column_count) std::abort();
    if (lastsheet->row_count > sheet->row_count) std::abort();
    return 0;
}
