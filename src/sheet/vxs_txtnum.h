// Numbers typed by people read from text under five tolerance modes, the blank and missing
// text tests, and the conversion warnings file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

extern char vxs_warn_file[257];      // "TxtToNum.ERR"
extern FILE* vxs_warn_out;           // open warnings file, or null

// changed (may be null) gets 1 when the text needed repairs or gave no number; an empty or
// null text returns missing and leaves it untouched. A text of blanks or "*" is no number
// (changed = 1): test vxs_is_missing_text first where missing cells must not warn.
double vxs_spread_read_num_from_text(const char* text, double missing, int16_t* changed);
void vxs_strip_blanks(char* destination, const char* source, size_t limit);
std::string vxs_strip_blanks(std::string_view source, size_t limit);
int vxs_is_missing_text(const char* text);
// One line of the warnings file for a cell whose reading reported a change; opens the file
// on first use. A file that cannot be created is skipped quietly for the rest of the run.
void vxs_warn_conversion(const char* column_name, long row1, const char* text, double value,
                         double missing);
