// Kelmora tablet files ("cxTablet binary"): missing codes, data types, the attribute tables of
// pages and columns, and the text items shared by the reader and the writer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "../sheet/byte_reader.h"
#include "../sheet/vxs_sheet.h"

class ByteWriter;

// First line of every tablet; readers compare its first 44 characters without regard to case.
constexpr char KEL_FIRST_LINE[] = "#!/usr/explorer/bin/explorer cxTablet binary 5.0\n\f\f\n";
constexpr size_t KEL_FIRST_LINE_SIZE = 52;
constexpr size_t KEL_SIGNATURE_SIZE = 44;

// Data types of columns and attributes.
enum : int32_t { KEL_REAL = 0, KEL_TEXT = 1, KEL_INTEGER = 2 };

// Missing codes written: eight FF bytes for reals, 0x80000001 for integers, "(null)" for texts.
constexpr uint64_t KEL_DMISSING = 0xFFFFFFFFFFFFFFFFULL;
constexpr int32_t KEL_IMISSING = static_cast<int32_t>(0x80000001u);
constexpr char KEL_TMISSING[] = "(null)";

// Page and column attributes, with their data types.
constexpr int KEL_PAGE_ATTRS = 5;
extern const char* const p_attributes[KEL_PAGE_ATTRS];
extern const int32_t p_attr_type[KEL_PAGE_ATTRS];
constexpr int KEL_COLUMN_ATTRS = 8;
extern const char* const c_attributes[KEL_COLUMN_ATTRS];
extern const int32_t c_attr_type[KEL_COLUMN_ATTRS];

// A text item: a 32-bit length L and L bytes. A length below 1 is an absent text (nullopt); a
// present text ends at its first zero byte.
std::optional<std::string> get_kel_text(ByteReader& in);
// Writes n characters as a length of (n div 4 + 1) * 4 and that many bytes, zero-padded (at
// least one zero); an absent text as the length -1.
void write_kel_text(ByteWriter& out, const std::optional<std::string>& text);

// Turns a vector sheet into a matrix sheet of that name; 0 for any other structure kind.
int convert_vector_to_matrix(Sheet* sheet, std::string_view name);
