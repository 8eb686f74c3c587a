// Weka ARFF files: the line reader shared by the reader and its tests, and the quoting rule of
// the writer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

constexpr size_t WEKA_MAX_LINE = 64000;

// One line of at most 64000 characters (the rest of a longer line is passed over, so it stays
// one line); control characters become blanks, trailing blanks and the line end are cut.
// Returns the length, or -1 at the end of the file.
int32_t get_weka_line(std::string& buffer, FILE* file);

// A name, label or text as a Weka tokenizer reads it back: in single quotes with backslash
// escapes when it holds blanks, separators, quotes, '%', braces or is empty or "?"; as it is
// otherwise (always quoted when force is set).
std::string weka_quote(std::string_view text, bool force = false);
