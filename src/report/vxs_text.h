// Helpers of the delimited text writer (aligned, comma- and tab-separated output).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "../sheet/byte_writer.h"

// Copies at most max characters of src with every single quote doubled; control and
// non-ASCII bytes are dropped. dst must hold max + 1 characters.
void double_quote(char* dst, const char* src, size_t max);
std::string double_quote(std::string_view src, size_t max);
// Writes the line and a newline; a line longer than max is written in pieces, each ending
// after its last ',' (comma_split) or blank when it has one. 1 while the output is intact.
int vxs_write_line(std::string_view line, size_t max, int comma_split, TextWriter& out);
// Threads formatting a big sheet's cells: 0 (the default) uses the machine's cores, at most
// four, and one for small sheets; each thread formats about batch_bytes of lines at a time
// (0: a megabyte). Tests force both to compare the files written.
void vxs_set_text_threads(unsigned n, size_t batch_bytes = 0);
