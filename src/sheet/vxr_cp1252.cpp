// Windows-1252 to and from UTF-8. Bytes below 0x80 and from 0xA0 are the same code points as
// Latin-1; 0x80..0x9F hold typographic characters, five of them unassigned.
#include "vxs_cp1252.h"

#include <algorithm>
#include <cstdint>

namespace {

// Code points of 0x80..0x9F; 0 where the byte is unassigned.
constexpr uint16_t HIGH[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char to_cp1252(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (int i = 0; i < 32; ++i)
        if (HIGH[i] == cp && cp) return static_cast<char>(0x80 + i);
    return '_';
}

void put_utf8(uint32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

bool vxs_utf8_to_cp1252(std::string_view in, std::string& out, size_t limit) {
    size_t count = 0;
    size_t i = 0;
    const size_t n = in.size();
    while (i < n) {
        if (count == limit) return true;
        // A run of plain ASCII, most texts whole, goes over in one piece.
        const size_t stop = i + std::min(n - i, limit - count);
        size_t run = i;
        while (run < stop && static_cast<unsigned char>(in[run]) < 0x80) ++run;
        if (run > i) {
            out.append(in.data() + i, run - i);
            count += run - i;
            i = run;
            continue;
        }
        unsigned char c = static_cast<unsigned char>(in[i]);
        // Length and first bits of a sequence; a stray continuation or a bad lead is one '_'.
        size_t len = c >= 0xF0 && c < 0xF8 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 1;
        uint32_t cp = len == 4 ? c & 0x07 : len == 3 ? c & 0x0F : c & 0x1F;
        bool good = len > 1 && i + len <= n;
        for (size_t k = 1; good && k < len; ++k) {
            unsigned char d = static_cast<unsigned char>(in[i + k]);
            if ((d & 0xC0) != 0x80) good = false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if (good) {
            out += to_cp1252(cp);
            i += len;
        } else {
            out += '_';
            ++i;
        }
        ++count;
    }
    return false;
}

std::string vxs_utf8_to_cp1252(std::string_view in) {
    std::string out;
    out.reserve(in.size());
    vxs_utf8_to_cp1252(in, out);
    return out;
}

void vxs_cp1252_to_utf8(std::string_view in, std::string& out) {
    for (char ch : in) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x80)
            out += ch;
        else if (c >= 0xA0)
            put_utf8(c, out);
        else if (HIGH[c - 0x80])
            put_utf8(HIGH[c - 0x80], out);
        else
            out += '_';
    }
}

std::string vxs_cp1252_to_utf8(std::string_view in) {
    std::string out;
    out.reserve(in.size() + in.size() / 4);
    vxs_cp1252_to_utf8(in, out);
    return out;
}
