// Shared pieces of the fuzz targets: bytes to a scratch file, a fresh run state, and the
// invariants every sheet must keep after a reader returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Writes the bytes to a per-process scratch file with the given extension; returns its path.
std::string fuzz_write_input(const uint8_t* data, size_t size, const char* extension);
// Resets the sheet library and options as a new run would.
void fuzz_new_run();
// Aborts when the current sheet breaks an invariant (equal column lengths, factor codes within
// their levels, texts within 90 characters).
void fuzz_check_sheet();
