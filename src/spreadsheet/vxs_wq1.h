// Quattro Pro for DOS files: the WQ1 spreadsheet (read and written) and the WB1, WB2 and WB3
// notebooks with pages and named ranges (read).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "../sheet/byte_writer.h"
#include "../sheet/vxs_sheet.h"

// Records beyond the Lotus ones (vxs_wk1.h).
enum : uint16_t {
    WQ1_PROTECTED = 0x004B,   // the file is not read
    WQ1_PAGE_START = 0x00CA,  // notebooks: one byte, the page number
    WQ1_PAGE_END = 0x00CB,
    WQ1_PAGE_NAME = 0x00CC,   // inside a page: its name, NUL-terminated
};

// BOF versions.
constexpr uint16_t WQ1_VERSION = 0x5120;
constexpr uint16_t WB1_VERSION = 0x1001;
constexpr uint16_t WB2_LAST_VERSION = 0x1010;  // later versions are WB3 notebooks

constexpr uint16_t WQ1_MAX_RECORD = 8192;
constexpr uint16_t WQ1_MAX_CODE = 1200;
constexpr size_t WQ1_MAX_PAGE_NAME = 60;
constexpr int32_t WQ1_MAX_ROWS = 8192;  // rows a written WQ1 file may hold below its names

// Notebook cells carry no leading format byte: column (page * 256 + column), row, a 16-bit
// format, then the value; a label's text follows its prefix byte.
constexpr size_t WB_CELL_HEAD = 6;
// WQ1 cells are laid out as in WK1 files: format byte, column, row.
constexpr size_t WQ1_CELL_HEAD = 5;

// Record writers of write_sheet_as_wq1.
void wq1_write_header(int32_t rows, int32_t last_column, ByteWriter& out);
void wq1_write_label(int32_t row, int32_t column, std::string_view text, ByteWriter& out);
void wq1_write_number(int32_t row, int32_t column, double value, ByteWriter& out);
void wq1_write_eof(ByteWriter& out);
