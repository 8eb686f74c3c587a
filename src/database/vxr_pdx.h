// Paradox tables (.DB): header offsets, field types and the two header layouts.
#pragma once

#include <cstddef>
#include <cstdint>

// Header fields (little-endian).
constexpr size_t PDX_RECORD_SIZE = 0;
constexpr size_t PDX_HEADER_SIZE = 2;
constexpr size_t PDX_MAX_TABLE_SIZE = 5;  // data block size in kilobytes
constexpr size_t PDX_RECORDS = 6;
constexpr size_t PDX_BLOCKS = 12;
constexpr size_t PDX_FIRST_BLOCK = 14;
constexpr size_t PDX_FIELDS = 33;
constexpr size_t PDX_VERSION = 57;  // 3, 4: Paradox 3 layout; 5 and up: extended header

// Field descriptors start at 88 (Paradox 3) or 120 (extended header); the names follow the
// descriptors, the table-name pointer, a pointer per field and the table name (79 bytes, or
// 261 from version byte 12, Paradox 7).
constexpr size_t PDX_FIELDS_OLD = 88;
constexpr size_t PDX_FIELDS_NEW = 120;
constexpr size_t PDX_TABLE_NAME = 79;
constexpr size_t PDX_TABLE_NAME_LONG = 261;
constexpr uint8_t PDX_VERSION_LONG_NAME = 12;
constexpr size_t PDX_BLOCK_HEADER = 6;
constexpr size_t PDX_NAME_READ = 50;

enum : uint8_t {
    PDX_ALPHA = 1,
    PDX_DATE = 2,
    PDX_SHORT = 3,
    PDX_LONG = 4,
    PDX_MONEY = 5,
    PDX_NUMBER = 6,
    PDX_LOGICAL = 9,
    PDX_TIME = 20,
    PDX_AUTOINC = 22,
    PDX_BCD = 23,
};
constexpr size_t PDX_BCD_SIZE = 17;

// A numeric field's bytes (most significant first) as a value; missing when all are zero.
double pdx_decode(uint8_t type, const uint8_t* bytes, size_t size, double missing);
