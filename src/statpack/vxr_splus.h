// S-PLUS data frames: the text dump (.sdd) written and read back, one item per line, and the
// line writers the dump is made of.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "../sheet/byte_writer.h"

// The line a missing value is written as.
constexpr const char* SPLUS_NA = "N";
// Binary object files start with these 8 bytes; they are recognised and refused.
constexpr char SPLUS_BINARY_MAGIC[8] = {0, 'S', ' ', 'd', 'a', 't', 'a', 1};
// Nesting of lists and structures accepted by the reader.
constexpr int SPLUS_MAX_DEPTH = 16;

// One line each: "%.15g" or "N"; "%li" of the truncated value or "N"; "%li"; the text as it is
// (line ends turned into blanks). 1 while no write has failed.
int spt_write_double(double value, TextWriter& stream);
int spt_write_integer(double value, TextWriter& stream);
int spt_write_long(long n, TextWriter& stream);
int spt_write_label(const std::string& text, TextWriter& stream);

// The dump's object name for an output path: no directory, at most 90 characters, no
// extension.
std::string spt_object_name(const char* path);
