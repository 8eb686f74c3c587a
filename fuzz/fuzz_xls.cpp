// Arbitrary bytes through the whole Excel reader (container, globals, sheet records, cell
// store to sheet). Conditions that end a real run come back as a status here instead.
#include <cstdio>
#include <cstdlib>

#include "driver/vxs_options.h"
#include "fuzz_util.h"
#include "spreadsheet/vxs_xls.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    setenv("TMP", "/tmp/", 1);
    std::string path = fuzz_write_input(data, size, ".xls");
    // The first byte picks a selection so that ranges, names and the logbook layout are
    // reached too.
    if (size > 0) {
        static const char* const kSheets[] = {"", "2", "S:DATA", "R:column_row", "dat", "Trial"};
        vxs_parser_options().worksheet_name = kSheets[data[size - 1] % 6];
        vxs_parser_options().cell_range = (data[size - 1] & 0x40) ? "b3:d12" : "";
        vxs_parser_options().logbook_in_format = (data[size - 1] & 0x80) ? 1 : 0;
    }
    XlsFatal fatal;
    xls_read_workbook(path.c_str(), &fatal);
    fuzz_check_sheet();
    std::remove(path.c_str());
    return 0;
}
