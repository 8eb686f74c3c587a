// ods reader on a zip whose content.xml is the input; the last byte picks a selection. Then the
// sheet invariants.
#include <cstdio>

#include "driver/vxs_options.h"
#include "fuzz_util.h"
#include "fuzz_zip_input.h"
#include "sheet/vxs_sheet.h"
#include "spreadsheet/vxs_workbook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    std::string path = fuzz_write_input(nullptr, 0, ".ods");
    std::remove(path.c_str());
    std::string content(reinterpret_cast<const char*>(data), size);
    if (!fuzz_write_zip(path, {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", content}}))
        return 0;
    if (size > 0) {
        static const char* const kSheets[] = {"", "2", "S:Trial", "R:block", "sec"};
        uint8_t pick = data[size - 1];
        vxs_parser_options().worksheet_name = kSheets[pick % 5];
        vxs_parser_options().cell_range = (pick & 0x40) ? "b2:d12" : "";
    }
    try {
        read_ods_into_sheet(path.c_str());
    } catch (const VxsFatal&) {
    }
    fuzz_check_sheet();
    std::remove(path.c_str());
    return 0;
}
