// Arbitrary bytes through the Matlab reader (level 4 by hand, level 5 through libmatio when
// built with it); a sheet it builds is written back as level 4 and must read again alike.
#include <cstdio>
#include <cstdlib>

#include "driver/vxs_formats.h"
#include "fuzz_util.h"
#include "sheet/vxs_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    std::string path = fuzz_write_input(data, size, ".mat");
    int16_t ok = read_matlab_into_sheet(path.c_str());
    std::remove(path.c_str());
    if (!ok || !lastsheet) return 0;
    fuzz_check_sheet();
    Sheet* sheet = lastsheet;
    std::string out = path + ".out.mat";
    if (!write_sheet_as_matlab(sheet, out.c_str())) std::abort();
    lastsheet = nullptr;
    if (!read_matlab_into_sheet(out.c_str()) || !lastsheet) std::abort();
    std::remove(out.c_str());
    fuzz_check_sheet();
    if (lastsheet->column_count != sheet->column_count || lastsheet->row_count != sheet->row_count) std::abort();
    for (size_t c = 1; c < sheet->cols.size(); ++c)
        if (lastsheet->cols[c]->num != sheet->cols[c]->num) std::abort();
    return 0;
}
