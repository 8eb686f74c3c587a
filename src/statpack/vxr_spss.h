// SPSS system files ("$FL2"): the record layouts, the per-variable record kept while reading,
// the bytecode decompressor and the missing-value test, shared by the reader and its tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "../sheet/byte_reader.h"

// File header: 176 bytes.
constexpr size_t SPSS_HEADER_SIZE = 176;
constexpr size_t SPSS_OFF_PRODUCT = 4;
constexpr size_t SPSS_PRODUCT_SIZE = 60;
constexpr size_t SPSS_OFF_LAYOUT = 64;
constexpr size_t SPSS_OFF_BIAS = 84;
constexpr int32_t SPSS_LAYOUT_CODE = 2;
constexpr double SPSS_DEFAULT_BIAS = 100.0;

// Dictionary record types.
enum : int32_t {
    SPSS_REC_VARIABLE = 2,
    SPSS_REC_VALUE_LABELS = 3,
    SPSS_REC_LABEL_VARS = 4,
    SPSS_REC_DOCUMENT = 6,
    SPSS_REC_EXTENSION = 7,
    SPSS_REC_END = 999,
};

// Compression command bytes; 1..251 are numbers (command - bias).
enum : uint8_t {
    SPSS_CMD_PAD = 0,
    SPSS_CMD_END = 252,
    SPSS_CMD_RAW = 253,
    SPSS_CMD_BLANKS = 254,
    SPSS_CMD_SYSMIS = 255,
};

// Column kinds of a variable record; 99 marks the continuation slot of a long string.
enum : int32_t { SPSS_KIND_TEXT = 3, SPSS_KIND_VARIATE = 4, SPSS_KIND_CONTINUATION = 99 };

struct SpssVariable {
    int32_t type = 0;      // 0 numeric, 1..255 string width, -1 continuation slot
    int32_t nmissing = 0;  // n > 0 discrete values, -2 a range, -3 a range and a value
    int32_t print_format = 0;
    int32_t write_format = 0;
    int32_t has_label = 0;
    int32_t label_set = -1;
    double missing[3] = {0, 0, 0};
    int32_t kind = SPSS_KIND_VARIATE;
    std::string name;   // 8 characters
    std::string label;  // at most 40 characters
};

// Resets the decompressor's current command block (start of the data).
void spss_reset_decompressor();
// Fills n 8-byte slots of one case from the compressed stream; numbers made from commands are
// written in the stream's byte order. Returns 0 at the end of the data or on a failed read,
// -1 when the end came after part of the case was filled, else a positive count.
int32_t spss_read_compressed_record(uint8_t* slots, int32_t n, double bias, ByteReader& in);
// 1 when the value is missing for the variable (system-missing, at or below the sheet's
// missing value, or user-missing unless keep_declared_missing is set).
int spss_is_missing(const SpssVariable& variable, double missing, double value);

// Dates and times are seconds since 14 October 1582 (durations plain seconds). The sheet date
// format of a print format type (0 when it is not a date), whether the type is a duration, and
// a value moved onto the sheet's serial day scale.
int32_t spss_date_format_of(int32_t format_type);
bool spss_is_duration_format(int32_t format_type);
double spss_seconds_to_day_number(double seconds, bool duration);
