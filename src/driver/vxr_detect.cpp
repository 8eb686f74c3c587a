// Input type detection from the first bytes of a file (and its name for formats without a
// usable signature). Each test is a small pure function named in its format's table row;
// detection walks the rows, and the first test that matches decides.
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <string_view>

#include "../sheet/vxs_strings.h"
#include "../spreadsheet/vxs_cdf.h"
#include "vxs_formats.h"
#include "../statpack/vxr_matlab.h"

namespace {

constexpr size_t kTextProbe = 55;

}  // namespace

bool vxs_probe_package_sheet(const VxsProbe& p) {
    static const unsigned char magic[3][4] = {
        {0x03, 0x2D, 0x87, 0x03}, {0x03, 0x2D, 0xAE, 0x14}, {0x03, 0x3E, 0x50, 0x51}};
    for (const auto& m : magic) {
        if (std::memcmp(p.b, m, 4) == 0) return true;
        if (p.b[0] == m[3] && p.b[1] == m[2] && p.b[2] == m[1] && p.b[3] == m[0]) return true;
    }
    return false;
}

bool vxs_probe_splus(const VxsProbe& p) { return p.bytes_are(0, "\0S data\1", 8); }
bool vxs_probe_systat(const VxsProbe& p) { return p.bytes_are(0, "\x4B\x06\x1E\0\0\0\0\0", 8); }

bool vxs_probe_gauss(const VxsProbe& p) {
    const unsigned char* b = p.b;
    if (p.bytes_are(0, "\xFF\xFF\xFF\xFF\0\0\0\0", 8)) return true;
    if (b[0] == 0xDA && b[1] == 0xDA && p.name_ends(".dht")) return true;
    if (b[0] == 0xDD && b[1] == 0xDD && b[8] == 0x86 && b[9] == 0x00) return true;
    if (b[0] == 0xDA && b[1] == 0xEE && p.zeros(3, 7)) return true;
    if (p.bytes_are(0, "\xDD\xEE\x86\x00", 4)) return true;
    return p.bytes_are(0, "\0\0\0\0\xCA\xCA\xCA\xEE", 8);
}

bool vxs_probe_mstat(const VxsProbe& p) {
    if (p.b[5] != 0) return false;
    for (const char* v : {"3.00/EM", "3.00/EV", "4.00/EM", "4.00/EV"})
        if (p.bytes_are(6, v, 7)) return true;
    return false;
}

bool vxs_probe_matlab(const VxsProbe& p) { return p.zeros(0, 3) && p.zeros(11, 14); }

// Lotus and Quattro share the BOF record; Quattro's version words come first.
bool vxs_probe_quattro(const VxsProbe& p) {
    const unsigned char* b = p.b;
    return p.bytes_are(0, "\0\0\x02\0", 4) &&
           ((b[4] == 0x20 && b[5] == 0x51) || (b[4] == 0x01 && b[5] == 0x10) ||
            (b[4] == 0x02 && b[5] == 0x10));
}
bool vxs_probe_lotus(const VxsProbe& p) { return p.bytes_are(0, "\0\0\x02\0", 4); }

bool vxs_probe_excel(const VxsProbe& p) {
    return xls_bare_version(p.b, p.kBytes) != 0 || xls_is_container(p.b, p.kBytes);
}

bool vxs_probe_stata(const VxsProbe& p) {
    const unsigned char* b = p.b;
    return b[0] >= 102 && b[0] <= 112 && (b[1] == 1 || b[1] == 2) && (b[2] == 1 || b[2] == 2);
}

bool vxs_probe_shape(const VxsProbe& p) {
    return p.bytes_are(0, "\0\0\x27\x0A", 4) && p.zeros(4, 23);
}
bool vxs_probe_spss(const VxsProbe& p) { return p.bytes_are(0, "$FL2", 4); }
bool vxs_probe_instat(const VxsProbe& p) { return p.b[0] == 0x40 && p.b[1] == '\r'; }
bool vxs_probe_minitab(const VxsProbe& p) { return p.bytes_are(0, "WORKSHEE", 8); }
bool vxs_probe_statistica5(const VxsProbe& p) {
    return p.bytes_are(0, "CSS ", 4) && p.b[6] == 0xFF && p.b[7] == 0xFF;
}
bool vxs_probe_statistica6(const VxsProbe& p) {
    return p.bytes_are(0, "\0\x04\0\0\0\x01\0\0\0\x03\0\0\0", 13);
}
bool vxs_probe_sas(const VxsProbe& p) { return p.bytes_are(0, "SAS", 3); }
bool vxs_probe_sasv8(const VxsProbe& p) { return p.zeros(0, 7) && p.bytes_are(84, "SAS", 3); }
bool vxs_probe_xport(const VxsProbe& p) {
    return p.starts_nocase("HEADER RECORD*******LIBRARY HEADER RECORD!!!!!!!00");
}

bool vxs_probe_dbase(const VxsProbe& p) {
    const unsigned char* b = p.b;
    if ((b[0] & 7) && b[1] > 60 && b[2] >= 1 && b[2] <= 12 && b[3] >= 1 && b[3] <= 31) return true;
    return b[0] == 2 && b[3] >= 1 && b[3] <= 12 && b[4] >= 1 && b[4] <= 31 && b[5] >= 61;
}

bool vxs_probe_minitab_portable(const VxsProbe& p) {
    return p.starts_nocase("Minitab Portable Worksheet");
}
bool vxs_probe_tablet(const VxsProbe& p) {
    return p.starts_nocase("#!/usr/explorer/bin/explorer cxTablet binary");
}

bool vxs_probe_dbase_name(const VxsProbe& p) { return p.name_ends(".dbf"); }
bool vxs_probe_mapinfo_name(const VxsProbe& p) {
    return p.name_ends(".mif") && p.starts_nocase("VERSION");
}
bool vxs_probe_paradox_name(const VxsProbe& p) { return p.name_ends(".db"); }
bool vxs_probe_splus_text_name(const VxsProbe& p) { return p.name_ends(".sdd"); }
bool vxs_probe_epi_name(const VxsProbe& p) { return p.name_ends(".rec"); }
bool vxs_probe_weka_name(const VxsProbe& p) { return p.name_ends(".arff"); }
bool vxs_probe_bmp(const VxsProbe& p) { return p.b[0] == 'B' && p.b[1] == 'M'; }
bool vxs_probe_wave(const VxsProbe& p) { return p.bytes_are(0, "RIFF", 4); }
// A Quattro Pro for Windows notebook outside its compound document: BOF record of 14 bytes
// whose signature is "QPW" and NUL in any case.
bool vxs_probe_qpw_bare(const VxsProbe& p) {
    return p.bytes_are(0, "\x01\x00\x0E\x00", 4) &&
           strnicmp(reinterpret_cast<const char*>(p.b + 4), "QPW", 3) == 0 && p.b[7] == 0;
}

// Formats of current statistics packages and spreadsheets.
bool vxs_probe_zsav(const VxsProbe& p) { return p.bytes_are(0, "$FL3", 4); }
bool vxs_probe_stata_new(const VxsProbe& p) {
    const unsigned char* b = p.b;
    if (b[0] >= 113 && b[0] <= 115 && (b[1] == 1 || b[1] == 2) && b[2] == 1) return true;
    return p.bytes_are(0, "<stata_dta>", 11);
}
bool vxs_probe_xport8(const VxsProbe& p) {
    return p.starts_nocase("HEADER RECORD*******LIBV8   HEADER RECORD!!!!!!!");
}
// A portable file opens with five 40-character splash texts; pspp names the format in the
// first, ReadStat in the second.
bool vxs_probe_spss_portable(const VxsProbe& p) {
    std::string_view splash(reinterpret_cast<const char*>(p.b), p.n);
    return splash.find("SPSS PORT FILE") != std::string_view::npos;
}
// An OpenDocument file stores its media type first, uncompressed; any other zip is taken for
// an xlsx workbook.
bool vxs_probe_ods(const VxsProbe& p) {
    return p.bytes_are(0, "PK\x03\x04", 4) &&
           p.bytes_are(30, "mimetypeapplication/vnd.oasis.opendocument.spreadsheet", 54);
}
bool vxs_probe_xlsx(const VxsProbe& p) { return p.bytes_are(0, "PK\x03\x04", 4); }
bool vxs_probe_matlab5(const VxsProbe& p) { return vxs_is_matlab5(p.head, p.head_n); }

// Plain text: only printable bytes, tab and form feed before the data ends; the data must
// have shown a line end before the zero byte that follows it.
bool vxs_probe_text(const VxsProbe& p) {
    bool line_end = false;
    // Spreadsheet programs put a UTF-8 byte-order mark in front of the CSV files they export;
    // the text reader drops it, so it must not make the file unknown.
    size_t start = std::memcmp(p.b, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    for (size_t i = start; i < kTextProbe + start; ++i) {
        unsigned char c = p.b[i];
        if (c == '\n' || c == '\r') {
            line_end = true;
        } else if (c == 0 && line_end) {
            return true;
        } else if ((c < 32 || c >= 128) && c != '\t' && c != '\f') {
            return false;
        }
    }
    return true;
}

int32_t vxs_detect_bytes(const unsigned char* data, size_t size, const char* name) {
    VxsProbe p;
    p.n = size < VxsProbe::kBytes ? size : VxsProbe::kBytes;
    std::memcpy(p.b, data, p.n);
    p.name = name ? name : "";
    p.head = data;
    p.head_n = size;
    std::span<const VxsFormat> rows = vxs_formats();
    for (const VxsFormat& f : rows)
        if (f.probe && f.probe(p)) return f.type;
    for (const VxsFormat& f : rows)
        if (f.weak_probe && f.weak_probe(p)) return f.type;
    return VXT_UNKNOWN;
}

int32_t VX_Find_File_Type(const char* name) {
    if (!name || !*name) return VXT_UNKNOWN;
    FILE* f = std::fopen(name, "rb");
    if (!f) return VXT_MISSING;
    unsigned char buf[VxsProbe::kHeadBytes];
    size_t n = std::fread(buf, 1, sizeof buf, f);
    std::fclose(f);
    if (n == 0) return VXT_MISSING;
    return vxs_detect_bytes(buf, n, name);
}
