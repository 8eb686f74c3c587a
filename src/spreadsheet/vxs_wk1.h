// Lotus 1-2-3 worksheets (WK1) and what the Quattro DOS reader shares with them: the record
// codes of the Lotus-style record stream, the cell values, the size limit of the cell store and
// the conversion of a filled store into the sheet.
#pragma once

#include <cstdint>
#include <string>

#include "../sheet/block_file.h"
#include "../sheet/byte_reader.h"
#include "vxs_cells.h"

// Record codes (a 16-bit code and a 16-bit content length, little-endian, then the content).
enum : uint16_t {
    LOTUS_BOF = 0x0000,
    LOTUS_EOF = 0x0001,
    LOTUS_RANGE = 0x0006,   // first column, first row, last column, last row
    LOTUS_NAME = 0x000B,
    LOTUS_INTEGER = 0x000D,  // format byte, column, row, 16-bit signed value
    LOTUS_NUMBER = 0x000E,   // format byte, column, row, IEEE double
    LOTUS_LABEL = 0x000F,    // format byte, column, row, prefix byte, NUL-terminated text
    LOTUS_FORMULA = 0x0010,  // format byte, column, row, IEEE double result, formula
};

constexpr uint16_t WK1_MAX_RECORD = 512;
constexpr uint16_t WK1_MAX_CODE = 255;
constexpr size_t LOTUS_MAX_LABEL = 91;  // characters kept from a label
// The cell array of a RANGE takes (cells + 1) * 8 bytes; larger worksheets are refused.
constexpr uint64_t LOTUS_MAX_CELL_BYTES = 160000000;

// One record of the stream; code and len as in the header, body bounded to the bytes present.
struct LotusRecord {
    uint16_t code = 0;
    uint16_t len = 0;
    ByteReader body;
};

// Walks the records of a file from its start, read a block at a time: a record's body stays
// valid until the next record is read.
class LotusRecords {
public:
    explicit LotusRecords(BlockFile& file) : file_(file) { file.seek(0); }
    // False at the end of the data; a record whose content runs past the end also ends it.
    bool next(LotusRecord& rec);

private:
    BlockFile& file_;
};

// Whether a RANGE of this many rows and columns stays within the store limit.
bool lotus_range_fits(int64_t rows, int64_t cols);
// Numbers kept in the store: not NaN, finite and above the missing value.
bool lotus_usable_number(double v);
// The text of a label from its prefix byte on: the characters up to the NUL (or the record's
// end), blanks stripped when the defaults ask for it, at most LOTUS_MAX_LABEL kept.
std::string lotus_label_text(ByteReader body);

// Makes the sheet from the store's used extent: the first used row names the columns when it
// holds no number; name suffixes (":d", ":e", ":<digit>" or a final "!", "#", "$") set the
// display format or the kind; texts in numeric columns go to the warnings file. Prints the
// "Data read from" line with the page letters. 1 when a sheet with rows and columns was made
// (no sheet is made otherwise). Each column's cells are given back once it is made.
int lotus_store_to_sheet(VxsCellStore& store, const char* path, const std::string& page_letters);
