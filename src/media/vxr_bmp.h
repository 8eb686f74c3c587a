// Windows bitmaps (uncompressed, 1 to 32 bits per pixel) read as a table of pixels.
#pragma once

#include <cstdint>

#include "../sheet/byte_reader.h"
#include "../sheet/vxs_source.h"

constexpr size_t BMP_FILE_HEADER = 14;  // "BM", file size, reserved, pixel data offset
constexpr size_t BMP_INFO_MIN = 40;     // the fields read, up to important colours

// Decodes a whole bitmap held in memory into a new sheet. separate: Red, Green and Blue
// columns rather than one RGB value.
int16_t vxs_decode_bmp(ByteReader& in, int16_t separate);
int16_t read_bmp_into_sheet(const char* path, int16_t separate);
int16_t read_bmp_source(VxsSource& src, int16_t separate);
