// MStat data sets: a header file of variable descriptions and a data file of fixed records.
#pragma once

#include <cstddef>
#include <cstdint>

#include "../sheet/vxs_source.h"

// Header file layout (2-byte integers low byte first).
constexpr size_t MSTAT_RECORD_LENGTH = 0;
constexpr size_t MSTAT_RECORDS = 2;
constexpr size_t MSTAT_VARIABLES = 4;
constexpr size_t MSTAT_VERSION = 6;
constexpr size_t MSTAT_TEXT = 65;  // version text, description and names
constexpr size_t MSTAT_DESCRIPTION = 71;
constexpr size_t MSTAT_FIRST_VARIABLE = 142;
constexpr size_t MSTAT_VARIABLE_SIZE = 71;  // name 65, type 2, width 2, decimals 2
constexpr int16_t MSTAT_NUMERIC = 4;
constexpr uint8_t MSTAT_IN_USE = '*';

// A 4-byte Microsoft binary format real (bytes low first, exponent last, bias 129) as a
// double; missing for four blanks.
double mstat_mbf_to_double(const unsigned char* b, double missing);

// An MStat header from a source with its data file beside it (".dat"); the path form
// (read_mstat_into_sheet) opens the file.
int16_t read_mstat_source(VxsSource& src);
