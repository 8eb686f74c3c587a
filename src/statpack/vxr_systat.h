// Systat data files (.sys): the blocked record layout and its constants.
#pragma once

#include <cstddef>
#include <cstdint>

// The file opens with this byte and a 6-byte record (1E 00 00 00 00 00).
constexpr uint8_t SYSTAT_SIGNATURE[9] = {0x4B, 0x06, 0x1E, 0, 0, 0, 0, 0, 0x06};
// A block: marker M, min(M, 128) data bytes, M again. 129 marks a full block that continues.
constexpr uint8_t SYSTAT_FULL_BLOCK = 129;
constexpr size_t SYSTAT_BLOCK_DATA = 128;
constexpr uint8_t SYSTAT_COMMENT = 72;  // comment records are 72 bytes
constexpr size_t SYSTAT_COUNTS = 6;
constexpr size_t SYSTAT_NAME = 12;
constexpr size_t SYSTAT_STRING = 12;
// A property area is announced by its size in the first comment; sizes outside are ignored.
constexpr uint32_t SYSTAT_MAX_PROPERTIES = 64000;
constexpr uint32_t SYSTAT_PROPERTY_LABEL = 4;
// Numbers at or below this are Systat's missing value (-1e36).
constexpr double SYSTAT_MISSING = -9.9999e35;

// Bytes a record of n data bytes takes on disk: 130 for each full block that a further block
// continues, then the last block with its two markers.
constexpr size_t systat_record_on_disk(size_t n) {
    size_t full = n == 0 ? 0 : (n - 1) / SYSTAT_BLOCK_DATA;
    return full * (SYSTAT_BLOCK_DATA + 2) + (n - full * SYSTAT_BLOCK_DATA) + 2;
}
