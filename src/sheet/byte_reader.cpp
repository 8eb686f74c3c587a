// Whole-file loading for the binary readers: one block read, no stdio per byte.
#include <cstdio>
#include <string>

#include "byte_reader.h"

bool vxs_read_whole_file(const char* path, std::string& out) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    out.clear();
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(f) : -1;
    if (size >= 0 && std::fseek(f, 0, SEEK_SET) == 0) {
        out.resize(static_cast<size_t>(size));
        size_t got = size ? std::fread(out.data(), 1, out.size(), f) : 0;
        out.resize(got);
    } else {
        // Not seekable (a pipe): read in blocks until the end.
        char block[1 << 16];
        size_t got;
        while ((got = std::fread(block, 1, sizeof block, f)) > 0) out.append(block, got);
    }
    ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}
