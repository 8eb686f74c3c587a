// Gauss matrix files (.fmt) and data sets (1989 .dht/.dat pairs, 1992 and 1996 single files):
// header layouts, the fixed missing patterns and the record counter shared with other readers.
#pragma once

#include <cstdint>
#include <cstdio>

#include "../sheet/vxs_source.h"

// First two bytes (low byte first) of each layout.
constexpr uint16_t GAUSS_MATRIX_SMALL = 0xDDDD;
constexpr uint16_t GAUSS_MATRIX_LARGE = 0xEEDD;
constexpr uint16_t GAUSS_DHT_SMALL = 0xDADA;
constexpr uint16_t GAUSS_DHT_LARGE = 0xEEDA;
constexpr uint16_t GAUSS_V92 = 0x0000;
constexpr uint16_t GAUSS_V96 = 0xFFFF;

constexpr uint16_t GAUSS_MATRIX_TYPE = 0x86;
constexpr uint32_t GAUSS_LARGE_MAGIC = 0x0086EEDD;
constexpr uint32_t GAUSS_V92_MARK = 0xEECACACA;
constexpr uint32_t GAUSS_V96_MATRIX = 0xABCDEF01;
constexpr uint32_t GAUSS_V96_DATASET = 0xABCDEF02;
constexpr size_t GAUSS_MATRIX_HEADER = 16;
constexpr size_t GAUSS_DATASET_HEADER = 128;
constexpr size_t GAUSS_NAME = 8;
// The small header's 16-bit size field holds the data size only below this.
constexpr uint64_t GAUSS_SMALL_LIMIT = 65535;
// 1989 data files are found by this suffix; longer header names are refused.
constexpr size_t GAUSS_MAX_HEADER_NAME = 252;

// Missing values as written, in file order whatever the byte order of the rest of the file:
// a missing number, and a factor index with no level.
constexpr uint8_t GAUSS_MISSING[8] = {0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0};
constexpr uint8_t GAUSS_FACTOR_MISSING[8] = {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F};

// Byte order of the last Gauss file read; the writer writes in the same order.
extern int16_t vxs_reverse;

// File size div record size (0 when shorter than one record); the file is left at its start.
long get_records(FILE* file, long record_size);

// A Gauss file from a source; a 1989 header finds its data file beside it. The path form
// (read_gauss_into_sheet) opens the file.
int16_t read_gauss_source(VxsSource& src);
