// Quattro Pro for Windows notebooks: the record layout this reader takes, from the
// "NativeContent_MAIN" stream of a compound document (copied out by the container reader) or
// from a bare notebook file.
//
// Records: 16-bit type, 16-bit content length, content; every field little-endian.
//   BOF          14 bytes: "QPW" and NUL (any case), 16-bit flag, 6 bytes, 16-bit page count
//   PASSWORD     the notebook is protected; nothing is read
//   STRINGS      count (32), text bytes (32), reserved (32), reserved (6 bytes); then per string
//                a 16-bit length and its characters. Label cells refer to them by index, counted
//                over all string tables in file order.
//   PAGE_START   page index (16), two 16-bit and two 32-bit fields, 4 bytes; when longer, a
//                16-bit name length, a flag byte (bit 0: 16-bit characters) and the name
//   PAGE_END     ends the current page; cells belong to the page they stand in
//   NAMED_RANGE  16-bit name length, flag byte (bit 0: 16-bit characters), the name, then
//                first page (16), first column (16), first row (32), last page (16), last
//                column (16), last row (32); only an area of one page makes a named range
//   cells        column (16), row (32), format (16), then: label a 32-bit string index, RK a
//                32-bit RK value, number an IEEE double, formula an IEEE double result and the
//                formula; an empty cell has no value
#pragma once

#include <cstddef>
#include <cstdint>

enum : uint16_t {
    QPW_BOF = 0x0001,
    QPW_PASSWORD = 0x0004,
    QPW_STRINGS = 0x0407,
    QPW_PAGE_START = 0x0601,
    QPW_PAGE_END = 0x0602,
    QPW_PAGE_INFO = 0x0A02,  // skipped
    QPW_NAMED_RANGE = 0x0C02,
    QPW_EMPTY_CELL = 0x0C72,
    QPW_LABEL_CELL = 0x0C73,
    QPW_RK_CELL = 0x0C74,
    QPW_NUMBER_CELL = 0x0C75,
    QPW_FORMULA_CELL = 0x0C76,
};

constexpr uint16_t QPW_BOF_LENGTH = 14;
constexpr uint16_t QPW_STRINGS_HEAD = 18;
constexpr uint16_t QPW_PAGE_HEAD = 18;
constexpr uint16_t QPW_CELL_HEAD = 8;
constexpr size_t QPW_MAX_NAME = 60;
constexpr size_t QPW_MAX_TEXT = 90;
// The program's grid; cells outside it are not read.
constexpr int64_t QPW_MAX_ROWS = 1000000;
constexpr int64_t QPW_MAX_COLUMNS = 18278;
// The cell store of the selected page's extent; larger extents are refused.
constexpr uint64_t QPW_MAX_CELL_BYTES = 480000000;
