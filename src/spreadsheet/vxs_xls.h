// Excel workbook reader (BIFF 2 to 8): workbook globals, sheet and named-range selection, the
// cells of one worksheet into the cell store.
#pragma once

#include <cstdint>
#include <string>

#include "vxs_cells.h"

// A condition that ends the whole run: its exit status (9 to 15, or 0 after a name listing)
// and what is printed before.
struct XlsFatal {
    int status = -1;
    std::string message;
};

// The whole read without ending the process: fatal conditions come back in *fatal (status -1
// when none). read_xls_into_sheet (declared with the other readers) ends the run on them.
int16_t xls_read_workbook(const char* path, XlsFatal* fatal);

// RK number to double: a 30-bit integer (bit 1) or the high 30 bits of a double, divided by
// 100 when bit 0 is set.
double convert_rk_to_double(uint32_t rk);

// Reads a cell range such as B3:D12, AB2:AZ1201, A1..C5 or "B3 D12" into the selection's
// bounds (0-based; columns limited to 0..255).
void xls_parse_cell_range(const char* text, VxsSelection* selection);

// Picks the sheet or named range that vxs_options().worksheet_name asks for (a number, a name or a prefix
// of one, "S:" sheets only, "R:" ranges only; the logbook range when that layout is asked for).
void xls_select_sheet(VxsSelection* selection);
// Narrows the block to read to a named range's bounds.
void xls_bound_to_range(VxsSelection* selection, const VxsRangeEntry& range);
// Picks the sheet or named range asked for and sets the block to read: the cell range the user
// gave on a sheet, a named range's own bounds. The sheet to read (a range's own sheet), or null
// when the range names no sheet of the list.
const VxsSheetEntry* xls_choose_sheet(VxsSelection* selection);
// The "File:", "Sheets:" and "Named Ranges:" listing of a workbook, also written to the name
// file when one is asked for.
std::string xls_name_listing(const char* path, const VxsSelection& selection);

// The selection record of the run (sheet list, named ranges, chosen block).
VxsSelection* xls_selection();
