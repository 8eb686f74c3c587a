// xlsx reader on a zip built from the input: workbook, sheet, shared strings and styles parts
// separated by zero bytes; the last byte picks a selection. Then the sheet invariants.
#include <cstdio>

#include "driver/vxs_options.h"
#include "fuzz_util.h"
#include "fuzz_zip_input.h"
#include "sheet/vxs_sheet.h"
#include "spreadsheet/vxs_workbook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_new_run();
    std::vector<std::string> parts = fuzz_split(data, size, 4);
    std::string path = fuzz_write_input(nullptr, 0, ".xlsx");
    std::remove(path.c_str());
    const std::string rels =
        "<Relationships><Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\"/></Relationships>";
    if (!fuzz_write_zip(path, {{"xl/workbook.xml", parts[0]},
                               {"xl/_rels/workbook.xml.rels", rels},
                               {"xl/worksheets/sheet1.xml", parts[1]},
                               {"xl/sharedStrings.xml", parts[2]},
                               {"xl/styles.xml", parts[3]}}))
        return 0;
    if (size > 0) {
        static const char* const kSheets[] = {"", "2", "S:Sheet1", "R:block", "blo"};
        uint8_t pick = data[size - 1];
        vxs_parser_options().worksheet_name = kSheets[pick % 5];
        vxs_parser_options().cell_range = (pick & 0x40) ? "b2:d12" : "";
        vxs_parser_options().logbook_in_format = (pick & 0x80) ? 1 : 0;
    }
    try {
        read_xlsx_into_sheet(path.c_str());
    } catch (const VxsFatal&) {
    }
    fuzz_check_sheet();
    std::remove(path.c_str());
    return 0;
}
