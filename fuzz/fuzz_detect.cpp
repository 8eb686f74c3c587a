// Arbitrary bytes through input detection and the reader that detection picks.
#include <cstdio>

#include "driver/vxs_formats.h"
#include "fuzz_util.h"
#include "sheet/vxs_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    std::string path = fuzz_write_input(data, size, ".dat");
    int32_t type = VX_Find_File_Type(path.c_str());
    if (type != VXT_UNKNOWN && type != VXT_MISSING) {
        // A reader may end the run on purpose (the spreadsheet statuses 9 to 15); that is a
        // clean stop, not a finding.
        try {
            open_file(path.c_str(), type);
            fuzz_check_sheet();
        } catch (const VxsFatal&) {
        }
    }
    std::remove(path.c_str());
    return 0;
}
