// dBase tables (.DBF): header layouts, the table decoder that the shapefile reader shares, and
// the dBase III writer.
#pragma once

#include <cstdint>

#include "../sheet/byte_reader.h"
#include "../sheet/vxs_sheet.h"
#include "../sheet/vxs_source.h"

// dBase II: fixed 521-byte header, up to 32 descriptors of 16 bytes.
constexpr uint8_t DBF_VERSION_II = 2;
constexpr size_t DBF2_DESCRIPTORS = 8;
constexpr size_t DBF2_DESCRIPTOR = 16;
constexpr size_t DBF2_MAX_FIELDS = 32;
constexpr size_t DBF2_TERMINATOR = 520;

// dBase III and later: 32-byte header, then 32-byte descriptors, then 0x0D.
constexpr uint8_t DBF_VERSION_III = 3;
constexpr size_t DBF3_HEADER = 32;
constexpr size_t DBF3_DESCRIPTOR = 32;
constexpr size_t DBF_NAME = 11;
constexpr uint8_t DBF_HEADER_END = 0x0D;
constexpr char DBF_DELETED = '*';

// What the decoder prints; the shapefile reader passes its own texts for its attribute table.
struct DbfMessages {
    const char* empty = "DBF file is empty.";
    const char* bad_terminator = "Header termination incorrect in DBF file.";
    // Records declared but cut off by the end of the file: printed with records kept, declared.
    const char* short_data =
        " Warning: DBF file ends after %li of %li records; the rest is not read!\n";
    // Texts a caller may add (none printed when null). too_many takes the column limit;
    // skipped[] is printed once per table for the first B, G, M and P field.
    const char* bad_date = nullptr;
    const char* too_many = nullptr;
    const char* unknown_type = nullptr;
    const char* date_length = nullptr;
    const char* skipped[4] = {nullptr, nullptr, nullptr, nullptr};
    // A deleted record still takes its row, all missing, so rows stay in step with records.
    bool keep_deleted = false;
    // Texts lose their trailing blanks only, whatever the blank-stripping setting.
    bool trailing_blanks_only = false;
};

// Decodes a whole dBase table held in memory into a new sheet (lastsheet). Returns 1 on
// success, 0 on failure (the message, if any, already printed).
int16_t vxs_decode_dbf_table(ByteReader& in, const DbfMessages& messages);
// The same from a source read a block at a time, so a file is never held whole beside the
// sheet; 0 too when the source cannot be read at any offset.
int16_t vxs_decode_dbf_source(VxsSource&& src, const DbfMessages& messages);

int16_t read_dbf_into_sheet(const char* path);
int16_t write_sheet_as_dbf(Sheet* sheet, const char* path);
