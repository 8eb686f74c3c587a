// Matlab MAT-files: level 4 (one real double matrix, read and written by hand) and level 5
// (read through libmatio when the build has it).
#pragma once

#include <cstddef>
#include <cstdint>

// Level 4 matrix header: five little-endian 32-bit integers, then the name and the data.
constexpr size_t MAT4_HEADER_SIZE = 20;
constexpr int32_t MAT4_TYPE_LE_DOUBLE_FULL = 0;
// Missing cells go out as this NaN (bytes 00 00 00 00 FF FF FF 7F, little-endian).
constexpr uint64_t MAT4_MISSING_BITS = 0x7FFFFFFF00000000ULL;
constexpr size_t MAT4_NAME_CHARS = 8;  // names are cut to this many characters on writing

// Level 5 header: 116 bytes of text, 8 bytes of subsystem offset, a 2-byte version 0x0100 and
// the byte-order mark "IM" (written little-endian) or "MI" (big-endian).
constexpr size_t MAT5_HEADER_SIZE = 128;

// True when the first bytes are a level 5 MAT-file header.
bool vxs_is_matlab5(const unsigned char* data, size_t size);
// True when the build can read level 5 files.
bool vxs_matlab5_supported();
