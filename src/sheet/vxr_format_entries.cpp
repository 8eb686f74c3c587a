// The byte tests every detection test is written with.
#include <cstring>

#include "vxs_format_entries.h"
#include "vxs_strings.h"

bool VxsProbe::bytes_are(size_t at, const char* expect, size_t len) const {
    return std::memcmp(b + at, expect, len) == 0;
}

bool VxsProbe::zeros(size_t from, size_t to) const {
    for (size_t i = from; i <= to; ++i)
        if (b[i]) return false;
    return true;
}

bool VxsProbe::name_ends(const char* ext) const {
    size_t len = std::strlen(name), e = std::strlen(ext);
    return len >= e && stricmp(name + len - e, ext) == 0;
}

bool VxsProbe::starts_nocase(const char* text) const {
    return strnicmp(reinterpret_cast<const char*>(b), text, std::strlen(text)) == 0;
}
