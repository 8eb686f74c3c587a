// Delimited text into a sheet: sizing pass, filling pass and the CSV reader.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "vxs_sheet.h"

struct VxsTextOptions {
    int32_t description_line = 0;
    int32_t names_mode = 0;  // 0 decide, 1 first line holds names, 2 it holds data
    int16_t sort = 1;
    int16_t ignore_case = 1;
    int16_t strip = 1;
    int16_t reserved = 0;
    int16_t use_description = 0;
    int16_t text_to_factor = 0;
    int16_t spare1 = 0, spare2 = 0;
    int16_t custom_delimiters = 0;
    char delimiters[9] = {0};
};

// The shape of a sheet to make: structure kind, rows, columns and the type of each column.
struct VxsSheetShape {
    int32_t kind = 1;
    int32_t rows = 0;
    int32_t columns = 0;
    const int32_t* types = nullptr;
};

// A number as strtod reads the text (its first 200 characters), by a faster way when the text
// is a plain decimal or all of it reads. ok: at least one character was read; whole: nothing
// follows the number; overflow: the reading reported a range error of infinite size.
double vxs_read_number(std::string_view s, bool& ok, bool& whole, bool& overflow);

int read_csv_into_sheet(const char* path);
// The same as the table's reader entry.
int16_t read_csv_file(const char* path);
Sheet* vxs_new_from_text(const char* text);
int vxs_get_text_size(int32_t* rows, int32_t* columns, int* names, std::vector<int32_t>* types,
                      const VxsTextOptions* options, const char* text);
void vxs_set_text_into_sheet(Sheet* sheet, int has_names, const VxsTextOptions* options,
                             const char* text);
// Big files are read in two parts at once, cut at a line end near the middle. Tests force
// the cut just after the first line end at or past byte at, whatever the size (0: automatic).
void vxs_set_text_split(size_t at);
int blank_sheet(const VxsSheetShape* spec, int32_t default_type);
int validate_cell(Column* column, int32_t row, const char* text);
// Line splitter with its own state: called with a buffer to start, with null to continue;
// returns the start of the next line, or null after the last.
const char* xvt_str_find_eol(const char* buffer, size_t length, size_t* line_length, int* found);
// The format-table entry point for delimited text (the reader's result as a success flag).
int16_t read_csv_file(const char* path);
