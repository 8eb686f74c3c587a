// The package's own files: the spreadsheet file writer's shared pieces (the missing-value test
// other writers use too) and the command-file output buffer with its text helpers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "../sheet/byte_writer.h"
#include "../sheet/vxs_sheet.h"

// Magic numbers of the three spreadsheet file versions (first 32-bit word, native order).
constexpr int32_t VXS_MAGIC_V1 = 53315331;  // 0x032D8703
constexpr int32_t VXS_MAGIC_V2 = 53325332;  // 0x032DAE14
constexpr int32_t VXS_MAGIC_V3 = 54415441;  // 0x033E5051

// Content flags of a version-3 header.
constexpr int32_t VXS_HAS_DESCRIPTION = 8;
constexpr int32_t VXS_HAS_MINMAX = 1024;

// 1 when the value counts as missing in a package file: below -1e36 and either at most
// vxs_missing or carrying vxs_missing's low 56 bits (files written by other builds may
// differ in the sign and high exponent byte only).
int vxs_is_missing(double value);

int32_t vxs_count_minmax(const Sheet* sheet);
int vxs_save_minmax(Sheet* sheet, int32_t count, FILE* stream);
int vxs_save_spread_description(Sheet* sheet, FILE* stream);

// Title line that a reader may leave for the command file ("Data read from ..."); empty when
// none.
extern std::string vxs_source;

// What a reader adds to the command file of a sheet it read, after the vector's columns (the
// Instat reader: the worksheet's title, strings, label sets and constants); 1 while the output
// is intact. The reader sets it when it is entered; none by default.
using VxsCommandExtra = int (*)(Sheet* sheet, ByteWriter* output);
void vxs_set_command_extra(VxsCommandExtra extra);

// The command-file output buffer: keeps lines under the package's 78-character limit,
// continuing directive text with a backslash. continue_mode 1 for directive text, 0 for data
// items and terminators; flush 1 writes the buffer out after the text.
void vxs_add_to_buf(const char* text, int continue_mode, int flush, ByteWriter* stream);
void vxs_add_to_buf(const std::string& text, int continue_mode, int flush, ByteWriter* stream);
// Writes out whatever the buffer holds and empties it; 0 when the write failed.
int vxs_flush_buf(ByteWriter* stream);
// The inside of a quoted package string: control and non-ASCII bytes become blanks; quotes,
// backslashes and backquotes are doubled. dst must hold 2 * max + 1 characters.
void translate_out_str(char* dst, const char* src, size_t max);
std::string translate_out_str(std::string_view src, size_t max);
// One number as the package reads it: "*" for missing; dates (date_flag) moved to the 1600
// scale first.
std::string write_out_number(double value, double missing, int date_flag);

// Structure and column writers of the command file; each returns 1 done, 0 refused.
int write_vector(Sheet* sheet, ByteWriter* stream);
int write_matrix(Sheet* sheet, ByteWriter* stream);
int write_symmetricmatrix(Sheet* sheet, ByteWriter* stream);
int write_diagonalmatrix(Sheet* sheet, ByteWriter* stream);
int write_table(Sheet* sheet, ByteWriter* stream);
int write_scalars(Sheet* sheet, ByteWriter* stream);
int write_column(Column* column, ByteWriter* stream);
int write_factor_levels(Column* column, size_t nvalues, ByteWriter* stream);
int write_restriction(Sheet* sheet, ByteWriter* stream);
int write_1d_table(Column* column, bool first, ByteWriter* stream);
int write_2d_table(Sheet* sheet, ByteWriter* stream);
int write_nway_table(Sheet* sheet, ByteWriter* stream);
