// The package spreadsheet file (.VSH) reader: versions 0 to 3 in either byte order, and the
// column and restriction readers it is built from.
#pragma once

#include <cstdint>

#include "../sheet/byte_reader.h"
#include "../sheet/vxs_sheet.h"

// Version and byte order from the first word of a file: 1..3 for the magic numbers, 0 for a
// headerless file (the word is a structure kind), -1 for anything else. swapped tells whether
// the file's words are in the other byte order than little-endian.
int vxs_vsh_version(uint32_t first_word_le, bool& swapped);

// Each reads from the cursor of in (in the file's byte order) and returns 1 done, 0 failed.
int read_column(Sheet* sheet, int32_t number, ByteReader& in);
int add_column_data(Column* column, int32_t type, int32_t count, int32_t width, ByteReader& in);
int add_file_restriction(Sheet* sheet, int32_t count, ByteReader& in);

// The whole file held in memory; read_file_into_sheet loads the file and calls it.
int16_t vxs_decode_vsh(ByteReader& in);
int16_t read_file_into_sheet(const char* path);
