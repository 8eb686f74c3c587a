// Input type detection from the first bytes of a file (and its name for formats without a
// usable signature). Each signature is a small pure test; the first that matches decides.
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <string_view>

#include "vxs_formats.h"
#include "../sheet/vxs_strings.h"
#include "../statpack/vxr_matlab.h"

namespace {

constexpr size_t kProbe = 100;  // bytes the signature tests look at
// Bytes read from the file: a level 5 MAT-file shows its version and byte-order mark at 124.
constexpr size_t kReadProbe = 128;
constexpr size_t kTextProbe = 55;

struct Probe {
    unsigned char b[kProbe + 1] = {0};  // followed by a zero byte for the text test
    size_t n = 0;
    const char* name = "";
};

bool bytes_are(const Probe& p, size_t at, const char* expect, size_t len) {
    return std::memcmp(p.b + at, expect, len) == 0;
}

bool zeros(const Probe& p, size_t from, size_t to) {
    for (size_t i = from; i <= to; ++i)
        if (p.b[i]) return false;
    return true;
}

bool name_ends(const Probe& p, const char* ext) {
    size_t n = std::strlen(p.name), e = std::strlen(ext);
    return n >= e && stricmp(p.name + n - e, ext) == 0;
}

bool is_package_sheet(const Probe& p) {
    static const unsigned char magic[3][4] = {
        {0x03, 0x2D, 0x87, 0x03}, {0x03, 0x2D, 0xAE, 0x14}, {0x03, 0x3E, 0x50, 0x51}};
    for (const auto& m : magic) {
        if (std::memcmp(p.b, m, 4) == 0) return true;
        if (p.b[0] == m[3] && p.b[1] == m[2] && p.b[2] == m[1] && p.b[3] == m[0]) return true;
    }
    return false;
}

bool is_gauss(const Probe& p) {
    const unsigned char* b = p.b;
    if (bytes_are(p, 0, "\xFF\xFF\xFF\xFF\0\0\0\0", 8)) return true;
    if (b[0] == 0xDA && b[1] == 0xDA && name_ends(p, ".dht")) return true;
    if (b[0] == 0xDD && b[1] == 0xDD && b[8] == 0x86 && b[9] == 0x00) return true;
    if (b[0] == 0xDA && b[1] == 0xEE && zeros(p, 3, 7)) return true;
    if (bytes_are(p, 0, "\xDD\xEE\x86\x00", 4)) return true;
    return bytes_are(p, 0, "\0\0\0\0\xCA\xCA\xCA\xEE", 8);
}

bool is_mstat(const Probe& p) {
    if (p.b[5] != 0) return false;
    for (const char* v : {"3.00/EM", "3.00/EV", "4.00/EM", "4.00/EV"})
        if (bytes_are(p, 6, v, 7)) return true;
    return false;
}

bool is_dbase(const Probe& p) {
    const unsigned char* b = p.b;
    if ((b[0] & 7) && b[1] > 60 && b[2] >= 1 && b[2] <= 12 && b[3] >= 1 && b[3] <= 31) return true;
    return b[0] == 2 && b[3] >= 1 && b[3] <= 12 && b[4] >= 1 && b[4] <= 31 && b[5] >= 61;
}

bool starts_nocase(const Probe& p, const char* text) {
    size_t len = std::strlen(text);
    return strnicmp(reinterpret_cast<const char*>(p.b), text, len) == 0;
}

int32_t by_name(const Probe& p) {
    if (name_ends(p, ".dbf")) return VXT_DBF;
    if (name_ends(p, ".mif") && starts_nocase(p, "VERSION")) return VXT_MIF;
    if (name_ends(p, ".db")) return VXT_PDX;
    if (name_ends(p, ".sdd")) return VXT_SPLUS_TEXT;
    if (name_ends(p, ".rec")) return VXT_EPI;
    if (name_ends(p, ".arff")) return VXT_WEKA;
    return VXT_UNKNOWN;
}

// Formats of current statistics packages and spreadsheets. A Stata 117+ file starts with an
// XML-like tag and a portable file with text, so both are tested before the plain-text test.
int32_t today_format(const Probe& p) {
    const unsigned char* b = p.b;
    if (bytes_are(p, 0, "$FL3", 4)) return VXT_ZSAV;
    if (b[0] >= 113 && b[0] <= 115 && (b[1] == 1 || b[1] == 2) && b[2] == 1) return VXT_STATA_NEW;
    if (bytes_are(p, 0, "<stata_dta>", 11)) return VXT_STATA_NEW;
    if (starts_nocase(p, "HEADER RECORD*******LIBV8   HEADER RECORD!!!!!!!")) return VXT_XPORT8;
    // A portable file opens with five 40-character splash texts; pspp names the format in the
    // first, ReadStat in the second.
    std::string_view splash(reinterpret_cast<const char*>(b), p.n);
    if (splash.find("SPSS PORT FILE") != std::string_view::npos) return VXT_SPSS_PORT;
    if (bytes_are(p, 0, "PK\x03\x04", 4)) {
        // An OpenDocument file stores its media type first, uncompressed.
        if (bytes_are(p, 30, "mimetypeapplication/vnd.oasis.opendocument.spreadsheet", 54))
            return VXT_ODS;
        return VXT_XLSX;
    }
    return VXT_UNKNOWN;
}

// Plain text: only printable bytes, tab and form feed before the data ends; the data must
// have shown a line end before the zero byte that follows it.
int32_t text_test(const Probe& p) {
    bool line_end = false;
    // Spreadsheet programs put a UTF-8 byte-order mark in front of the CSV files they export;
    // the text reader drops it, so it must not make the file unknown.
    size_t start = std::memcmp(p.b, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    for (size_t i = start; i < kTextProbe + start; ++i) {
        unsigned char c = p.b[i];
        if (c == '\n' || c == '\r') {
            line_end = true;
        } else if (c == 0 && line_end) {
            return VXT_CSV;
        } else if ((c < 32 || c >= 128) && c != '\t' && c != '\f') {
            return VXT_UNKNOWN;
        }
    }
    return VXT_CSV;
}

}  // namespace

int32_t vxs_detect_bytes(const unsigned char* data, size_t size, const char* name) {
    Probe p;
    p.n = size < kProbe ? size : kProbe;
    std::memcpy(p.b, data, p.n);
    p.name = name ? name : "";
    const unsigned char* b = p.b;

    if (is_package_sheet(p)) return VXT_VSH;
    if (bytes_are(p, 0, "\0S data\1", 8)) return VXT_SPLUS;
    if (bytes_are(p, 0, "\x4B\x06\x1E\0\0\0\0\0", 8)) return VXT_SYSTAT;
    if (is_gauss(p)) return VXT_GAUSS;
    if (is_mstat(p)) return VXT_MSTAT;
    if (zeros(p, 0, 3) && zeros(p, 11, 14)) return VXT_MATLAB;
    if (bytes_are(p, 0, "\0\0\x02\0", 4)) {
        bool quattro = (b[4] == 0x20 && b[5] == 0x51) || (b[4] == 0x01 && b[5] == 0x10) ||
                       (b[4] == 0x02 && b[5] == 0x10);
        return quattro ? VXT_WQ1 : VXT_WK1;
    }
    // Excel 2 to 4 worksheets. Excel 2 files carry either 07 05 or 07 00 as the version word.
    if (bytes_are(p, 0, "\x09\x00\x04\x00\x07\x05\x10\x00", 8) ||
        bytes_are(p, 0, "\x09\x00\x04\x00\x07\x00\x10\x00", 8) ||
        bytes_are(p, 0, "\x09\x02\x06\x00\x00\x00\x10\x00", 8) ||
        bytes_are(p, 0, "\x09\x04\x06\x00\x00\x00\x10\x00", 8))
        return VXT_XLS;
    if (bytes_are(p, 0, "\xD0\xCF\x11\xE0\xA1\xB1", 6)) return VXT_XLS;
    if (b[0] >= 102 && b[0] <= 112 && (b[1] == 1 || b[1] == 2) && (b[2] == 1 || b[2] == 2))
        return VXT_STATA;
    if (bytes_are(p, 0, "\0\0\x27\x0A", 4) && zeros(p, 4, 23)) return VXT_SHAPE;
    if (bytes_are(p, 0, "$FL2", 4)) return VXT_SPSS;
    if (b[0] == 0x40 && b[1] == '\r') return VXT_INSTAT;
    if (bytes_are(p, 0, "WORKSHEE", 8)) return VXT_MTW;
    if (bytes_are(p, 0, "CSS ", 4) && b[6] == 0xFF && b[7] == 0xFF) return VXT_STATISTICA5;
    if (bytes_are(p, 0, "\0\x04\0\0\0\x01\0\0\0\x03\0\0\0", 13)) return VXT_STATISTICA6;
    if (bytes_are(p, 0, "SAS", 3)) return VXT_SAS;
    if (zeros(p, 0, 7) && bytes_are(p, 84, "SAS", 3)) return VXT_SASV8;
    if (starts_nocase(p, "HEADER RECORD*******LIBRARY HEADER RECORD!!!!!!!00")) return VXT_XPORT;
    if (is_dbase(p)) return VXT_DBF;
    if (starts_nocase(p, "Minitab Portable Worksheet")) return VXT_MTP;
    if (starts_nocase(p, "#!/usr/explorer/bin/explorer cxTablet binary")) return VXT_KELMORA;
    if (int32_t t = by_name(p)) return t;
    if (b[0] == 'B' && b[1] == 'M') return VXT_BMP;
    if (bytes_are(p, 0, "RIFF", 4)) return VXT_WAV;
    // A Quattro Pro for Windows notebook outside its compound document: BOF record of 14
    // bytes whose signature is "QPW" and NUL in any case.
    if (bytes_are(p, 0, "\x01\x00\x0E\x00", 4) && strnicmp(reinterpret_cast<const char*>(p.b + 4), "QPW", 3) == 0 &&
        p.b[7] == 0)
        return VXT_QPW;
    if (int32_t t = today_format(p)) return t;
    // A level 5 MAT-file starts with a line of text, which the text test would take.
    if (vxs_is_matlab5(data, size)) return VXT_MATLAB;
    return text_test(p);
}

int32_t VX_Find_File_Type(const char* name) {
    if (!name || !*name) return VXT_UNKNOWN;
    FILE* f = std::fopen(name, "rb");
    if (!f) return VXT_MISSING;
    unsigned char buf[kReadProbe];
    size_t n = std::fread(buf, 1, kReadProbe, f);
    std::fclose(f);
    if (n == 0) return VXT_MISSING;
    return vxs_detect_bytes(buf, n, name);
}
