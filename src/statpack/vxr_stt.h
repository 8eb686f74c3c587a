// Stata .dta files of releases 103 to 110: layout constants and the missing-value test shared
// by the reader and its tests.
#pragma once

#include <cstdint>
#include <string>

#include "vxs_stata_dates.h"

// Storage type bytes; 128..255 are strings of (code - 127) bytes.
enum : uint8_t {
    STATA_BYTE = 98,
    STATA_INT = 105,
    STATA_LONG = 108,
    STATA_FLOAT = 102,
    STATA_DOUBLE = 100
};
constexpr uint8_t STATA_STR_BASE = 127;

// Missing codes of the integer types; floats at or above the float code and doubles above
// the double limit are missing too.
constexpr int8_t STATA_MISSING_BYTE = 127;
constexpr int16_t STATA_MISSING_INT = 32767;
constexpr int32_t STATA_MISSING_LONG = 2147483647;
constexpr float STATA_MISSING_FLOAT = 1.7e38f;
constexpr double STATA_MISSING_DOUBLE = 1e100;

// Limits of a value label table of releases 108 and 110.
constexpr int32_t STATA_MAX_TABLE_LENGTH = 5823712;
constexpr int32_t STATA_MAX_TABLE_ENTRIES = 65536;

// 1 if the value is not a number, infinite, at or below the missing value, or above 1e100.
int stata_is_missing(double missing, double value);
