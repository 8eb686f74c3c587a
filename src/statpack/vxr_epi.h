// Epi-Info data files (.REC): field types and the record line layout.
#pragma once

#include <cstddef>

// Records are broken into lines of this many characters, each ended by '!' (or '?' on the last
// line of a deleted record).
constexpr size_t EPI_RECORD_LINE = 78;
// Lines are read up to 512 characters and cut to 79 (78 characters and the mark).
constexpr size_t EPI_LINE_READ = 512;
constexpr size_t EPI_LINE_KEPT = 79;
constexpr size_t EPI_NAME_CHARS = 12;
