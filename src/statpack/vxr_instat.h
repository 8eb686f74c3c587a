// Instat worksheets (.wor): the 5-byte number form, 2-byte counts, the fixed layout written and
// the limits of the format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

constexpr uint8_t INSTAT_SIGNATURE[11] = {0x40, 0x0D, 0xC1, 0x02, 0x67, 0x0C,
                                          0x70, 0x00, 0x70, 0x01, 0x70};
constexpr uint8_t INSTAT_CR = 13;
constexpr size_t INSTAT_HEADER = 115;  // signature, title area and 3 bytes
constexpr size_t INSTAT_TITLE_AREA = 100;
constexpr size_t INSTAT_MAX_TITLE_READ = 200;
constexpr size_t INSTAT_CONTROLS = 14;
constexpr size_t INSTAT_GROUPS = 5;
constexpr size_t INSTAT_GROUP_FIELDS = 6;
constexpr size_t INSTAT_ATTRIBUTES = 25;
constexpr size_t INSTAT_LINK_LENGTH = 100;
constexpr size_t INSTAT_NAME_RECORDS = 4;
constexpr size_t INSTAT_NAME_RECORD = 255;
constexpr size_t INSTAT_STRINGS = 5;
constexpr size_t INSTAT_STRING = 80;
constexpr size_t INSTAT_LABEL = 8;
constexpr size_t INSTAT_CONSTANTS = 10;

// Structure groups and the fields of each.
enum : size_t {
    INSTAT_G_STRINGS = 0,
    INSTAT_G_LABELS = 1,
    INSTAT_G_CONSTANTS = 2,
    INSTAT_G_COLUMNS = 3,
    INSTAT_G_RESERVED = 4
};
enum : size_t {
    INSTAT_COUNT = 0,
    INSTAT_SIZE = 1,
    INSTAT_OFFSET = 2,
    INSTAT_STRIDE = 3,
    INSTAT_ELEMENT = 4,
    INSTAT_LAST = 5
};

constexpr int32_t INSTAT_MAX_COLUMNS = 127;
constexpr int32_t INSTAT_MAX_ROWS = 50400;
constexpr int32_t INSTAT_MAX_LABELS = 223;
// A 2-byte count holds at most 223 x 224 + 223.
constexpr int32_t INSTAT_MAX_COUNT = 50175;
// Label set k is linked at positions 2k and 2k + 1 of the 100-character link strings.
constexpr int32_t INSTAT_MAX_LINKED_SETS = 50;
constexpr size_t INSTAT_NAME_TOTAL = 1020;
// The data area a worksheet may claim (8 bytes a value) before it is refused.
constexpr double INSTAT_MAX_DATA = 160000000.0;
// Magnitudes the 5-byte real form holds: its exponent byte runs from 1 to 255.
constexpr double INSTAT_MAX_VALUE = 1e35;

// 5-byte numbers: a 32-bit integer (byte 4 zero) or a real (byte 4 the exponent).
void read5b(const uint8_t* src, uint8_t out[5]);
int32_t calcint(const uint8_t b[5]);
double readrl(const uint8_t b[5]);
long readint(const uint8_t b[5]);
void long_to_5bytes(long n, uint8_t out[5]);
void double_to_5bytes(double x, uint8_t out[5]);
// 2-byte count: n div 224 + 32, n mod 224 + 32 (n above the largest count is stored as it).
void long_to_2bytes(long n, uint8_t out[2]);
// 1 when the value read is missing under the worksheet's codes; a replaced code changes value.
int instat_missing(double* value, const double* missing);

// Adds the title, missing codes, strings, label sets, constants and the column pointer of the
// worksheet last read to the command file; 1 (nothing is added unless a worksheet was read).
int vxs_write_instat_extra(struct Sheet* sheet, class ByteWriter* output);
