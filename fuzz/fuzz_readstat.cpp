// The ReadStat adapter: the first byte picks the format (SAS7BDAT, zsav, portable, Stata, XPORT 8),
// the rest is the file. Then the sheet invariants.
#include <cstdio>

#include "fuzz_util.h"
#include "sheet/vxs_sheet.h"
#include "statpack/vxr_readstat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    fuzz_new_run();
    static const ReadstatKind kKinds[] = {ReadstatKind::Sas7bdat, ReadstatKind::Sav, ReadstatKind::Por,
                                          ReadstatKind::Dta, ReadstatKind::Xport};
    VxsSource src = fuzz_memory_source(data + 1, size - 1, "fuzz.bin");
    try {
        read_readstat_source(src, kKinds[data[0] % 5]);
    } catch (const VxsFatal&) {
    }
    fuzz_check_sheet();
    return 0;
}
