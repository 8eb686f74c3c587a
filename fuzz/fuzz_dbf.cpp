// Arbitrary bytes through the dBase table decoder, then the sheet invariants; a sheet that
// was read is written back as a dBase table and must read again.
#include <cstdio>

#include "database/vxr_dbf.h"
#include "driver/vxs_formats.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    ByteReader in(data, size);
    if (!vxs_decode_dbf_table(in, DbfMessages())) {
        fuzz_check_sheet();
        return 0;
    }
    fuzz_check_sheet();
    std::string path = fuzz_write_input(nullptr, 0, ".dbf");
    if (write_sheet_as_dbf(lastsheet, path.c_str())) {
        Sheet* first = lastsheet;
        int32_t rows = first->row_count;
        if (!read_dbf_into_sheet(path.c_str())) std::abort();
        fuzz_check_sheet();
        if (lastsheet->row_count != rows) std::abort();
    }
    std::remove(path.c_str());
    return 0;
}
