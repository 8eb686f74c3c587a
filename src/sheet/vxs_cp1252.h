// The sheet holds text in Windows-1252, the package's character set. Unicode sources are
// converted into it on reading and back to UTF-8 by the writers of Unicode formats.
#pragma once

#include <string>
#include <string_view>

// Appends the UTF-8 text as Windows-1252; a character the code page lacks, and a byte that is
// not valid UTF-8, becomes '_'. At most limit characters are appended; returns true when the
// text had more.
bool vxs_utf8_to_cp1252(std::string_view in, std::string& out, size_t limit = std::string::npos);
std::string vxs_utf8_to_cp1252(std::string_view in);
// Appends the Windows-1252 text as UTF-8; the five unassigned bytes become '_'.
void vxs_cp1252_to_utf8(std::string_view in, std::string& out);
std::string vxs_cp1252_to_utf8(std::string_view in);
