// Shared pieces of the fuzz targets: the input as a memory source (one file, or a framed blob
// holding all the files of a data set), a fresh run state, and the invariants every sheet must
// keep after a reader returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "sheet/vxs_source.h"

// A multi-file data set in one input: the main file's bytes, then each further file after a
// marker line naming its extension, "\n--8<-- .dbf\n". The main file is named name; the
// others are found beside it by extension. The source views the input, which must outlive it.
constexpr const char* FUZZ_PART_MARKER = "\n--8<-- ";
VxsSource fuzz_framed_source(const uint8_t* data, size_t size, const char* name);
// The input as one in-memory file named name.
VxsSource fuzz_memory_source(const uint8_t* data, size_t size, const char* name);
// Runs a writer on a scratch file in a private directory (in memory where /dev/shm exists) and
// returns what it wrote in out; false when the writer reports failure.
bool fuzz_write_to_memory(const std::function<int(const char* path)>& write, std::string& out);
// Writes the bytes to a per-process scratch file with the given extension; returns its path.
std::string fuzz_write_input(const uint8_t* data, size_t size, const char* extension);
// Resets the sheet library and options as a new run would.
void fuzz_new_run();
// Aborts when the current sheet breaks an invariant (equal column lengths, factor codes within
// their levels, texts within 90 characters).
void fuzz_check_sheet();
