// MapInfo interchange files (.mif objects with their .mid attribute lines) read as one row
// per object point.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "../sheet/vxs_source.h"

// Reads the next non-empty line of text held in memory from pos, without its line end, into
// line (pieces of at most size - 1 characters, as fgets gives them); its length, 0 at the end.
size_t mgetline(std::string& line, size_t size, std::string_view text, size_t& pos);

// Decodes a .mif text with its .mid text (null when there is none); name is for messages.
int16_t vxs_decode_mapinfo(std::string_view mif, const std::string_view* mid, const char* name);
// The .mif text of a source with the .mid beside it; the path form opens the file.
int16_t read_mapinfo_source(VxsSource& src);
int16_t read_mapinfo_file(const char* path);
