// The one table of formats: a row per format with its type code, names, detection tests,
// reader, writer and limits. Adding a format is adding a module and a row in vxr_formats.cpp.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "../sheet/vxs_format_entries.h"

// Everything the program knows about one format. The table (vxr_formats.cpp) lists the rows
// in detection order.
struct VxsFormat {
    int32_t type = VXT_UNKNOWN;
    const char* name = "";        // display name
    const char* output_name = nullptr;  // name in messages about writing it, when not name
    const char* extensions = "";  // output extensions, blank-separated, compared without case
    const char* input_extensions = "";  // the usual input extensions, blank-separated
    bool by_content = true;  // recognised from the file's first bytes, not only from its name
    // Signature test, tried in table order; then the weak tests (file name, two-byte
    // signatures, plain text), tried in table order after every signature failed.
    bool (*probe)(const VxsProbe&) = nullptr;
    bool (*weak_probe)(const VxsProbe&) = nullptr;
    int16_t (*read)(const char* path) = nullptr;
    int16_t (*write)(Sheet* sheet, const char* path) = nullptr;
    int32_t column_limit = 2048;  // columns readers keep when this is the output format
    const VxsContainerStream* container = nullptr;
    // Written side: most columns and longest name the format holds (0: no limit of its own).
    int32_t max_columns = 0;
    int32_t max_name = 0;
    bool unique_names = false;  // output needs column names unique in their first characters
    // This format's entry in the usage text (a trailing blank keeps the next on the same line)
    // and its place there (0: not listed).
    const char* usage = nullptr;
    int usage_order = 0;
};

// Every row, in detection order.
std::span<const VxsFormat> vxs_formats();
const VxsFormat* vxs_find_format(int32_t type);
// The output format chosen by the output name's extension (the text row when none matches).
const VxsFormat& vxs_output_format(const char* output_name);
int32_t vxs_output_type(const char* output_name);
// Whether a reader or writer for this type has been built yet.
bool vxs_reader_available(int32_t type);
bool vxs_writer_available(int32_t type);
// The output part of the usage text, built from the rows.
std::string vxs_usage_outputs();

int32_t VX_Find_File_Type(const char* name);
// Detection on bytes already read (the first up to 128 bytes of the file) and its name.
int32_t vxs_detect_bytes(const unsigned char* data, size_t size, const char* name);
int16_t open_file(const char* name, int32_t type);
int write_columns(Sheet* sheet, const char* path);
int rename_columns(Sheet* sheet, FILE* file);
