// Excel writer: the sheet as an Excel 5/95 workbook (one BIFF5 "Book" stream built in memory,
// then put in a compound document made from scratch), or as a bare Excel 2 or 3/4 worksheet.
// Row 0 holds the column names with the suffixes the Excel reader understands, and each name
// cell carries a note with the factor's levels or labels and the column's description.
#include "vxr_xlsw.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "../sheet/vxs_format_entries.h"
#include "../sheet/byte_writer.h"
#include "../sheet/vxs_options.h"
#include "../sheet/vxs_dates.h"

size_t xls_stream_limit = 70963200;

namespace {

// The logbook layout of this write: asked for, and dropped for a bare worksheet.
bool g_logbook = false;

constexpr size_t XLS_MAX_WRITE = 4096;    // 8 sectors per writeb call
constexpr int XLS_BLOCK_ROWS = 32;        // rows per ROW/DBCELL block
constexpr int XLS_MAX_DATA_ROWS = 65534;  // 16-bit row numbers, row 0 the names
constexpr int XLS_MAX_COLUMNS = 256;
constexpr int XLS_95_ROWS = 16384;     // Excel 95's own grid; xlrd and gnumeric stop there
constexpr size_t XLS_NOTE_LIST = 960;  // longest level or label list in a note
constexpr size_t XLS_LABEL_MAX = 255;

// Built-in formats used by the cell XF records.
constexpr int XLS_FMT_GENERAL = 0;
constexpr int XLS_FMT_SCIENTIFIC = 11;  // 0.00E+00
constexpr int XLS_FMT_DATE = 14;        // short date
constexpr int XLS_FMT_TIME = 21;        // h:mm:ss
constexpr int XLS_FIRST_CUSTOM_FORMAT = 164;
constexpr int XLS_FIRST_DECIMALS_XF = 25;

// Compound document constants.
constexpr uint32_t CDF_FREE = 0xFFFFFFFF, CDF_END = 0xFFFFFFFE, CDF_FAT = 0xFFFFFFFD,
                   CDF_DIFAT = 0xFFFFFFFC;
constexpr size_t CDF_SECTOR = 512, CDF_MINI = 64, CDF_CUTOFF = 4096;
constexpr size_t CDF_HEADER_DIFAT = 109;
constexpr size_t CDF_IDS_PER_SECTOR = CDF_SECTOR / 4;
constexpr uint64_t CDF_FILETIME = 0x01BB63ADA2495EB0ULL;
const uint8_t CDF_EXCEL5_CLSID[16] = {0x10, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                      0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
const uint8_t CDF_SUMMARY_FMTID[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                       0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};

// Per-run state of the writer.
ByteWriter xls_book;  // the workbook stream, built in memory: its index is filled in last
ByteWriter xls_file;
bool xls_failed = false;  // the stream outgrew what Excel holds
struct MulRkEntry {
    uint16_t xf;
    uint32_t rk;
};
std::vector<MulRkEntry> xls_mulrk_buffer;
int xls_mulrk_no = 0, xls_mulrk_firstcol = 0, xls_mulrk_lastcol = 0, xls_mulrk_row = 0;
size_t xls_index_pos = 0;
int xls_index_blocks = 0;
size_t xls_defcolwidth_pos = 0;
int32_t xls_logbook_range[4] = {0, 0, 0, 0};  // first column, first row, last column, last row
int xls_logbook_nheaders = 0;
std::vector<int> xls_decimal_counts;  // distinct fixed decimals in order of first use

bool bare() { return xls_ver_34 != 0; }
bool biff2() { return xls_ver_2 != 0; }

void put8(std::string& b, unsigned v) { b.push_back(static_cast<char>(v & 0xff)); }
void put16(std::string& b, unsigned v) {
    put8(b, v);
    put8(b, v >> 8);
}
void put32(std::string& b, uint32_t v) {
    put16(b, v & 0xffff);
    put16(b, v >> 16);
}
void put64(std::string& b, uint64_t v) {
    put32(b, static_cast<uint32_t>(v));
    put32(b, static_cast<uint32_t>(v >> 32));
}
void putd(std::string& b, double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    put64(b, bits);
}

// One record: the code (its low byte in an Excel 2 file), the length and the content.
int record(uint16_t code, const std::string& body) {
    std::string r;
    put16(r, code);
    put16(r, static_cast<unsigned>(body.size()));
    r += body;
    for (size_t at = 0; at < r.size(); at += XLS_MAX_WRITE)
        if (!writeb(r.data() + at, std::min(XLS_MAX_WRITE, r.size() - at))) return 0;
    return 1;
}

int record16(uint16_t code, unsigned value) {
    std::string b;
    put16(b, value);
    return record(code, b);
}

uint16_t cell_code(uint16_t code) { return biff2() ? static_cast<uint16_t>(code & 0xff) : code; }

// Row, column and XF index; an Excel 2 cell has three attribute bytes instead of the XF.
std::string cell_head(int row, int column, int xf) {
    std::string b;
    put16(b, static_cast<unsigned>(row));
    put16(b, static_cast<unsigned>(column));
    if (biff2())
        b.append(3, '\0');
    else
        put16(b, static_cast<unsigned>(xf));
    return b;
}

// 8-bit text with a 16-bit length (8-bit in Excel 2), cut to what one cell holds.
void put_text(std::string& b, std::string_view text, bool short_length) {
    text = text.substr(0, XLS_LABEL_MAX);
    if (short_length)
        put8(b, static_cast<unsigned>(text.size()));
    else
        put16(b, static_cast<unsigned>(text.size()));
    b.append(text);
}

int flush_mulrk() {
    if (xls_mulrk_no == 0) return 1;
    std::string b;
    put16(b, static_cast<unsigned>(xls_mulrk_row));
    put16(b, static_cast<unsigned>(xls_mulrk_firstcol));
    int ok;
    if (xls_mulrk_no == 1) {
        put16(b, xls_mulrk_buffer[0].xf);
        put32(b, xls_mulrk_buffer[0].rk);
        ok = record(XLS_RK, b);
    } else {
        for (int k = 0; k < xls_mulrk_no; ++k) {
            put16(b, xls_mulrk_buffer[static_cast<size_t>(k)].xf);
            put32(b, xls_mulrk_buffer[static_cast<size_t>(k)].rk);
        }
        put16(b, static_cast<unsigned>(xls_mulrk_lastcol));
        ok = record(XLS_MULRK, b);
    }
    xls_mulrk_no = 0;
    return ok;
}

}  // namespace

std::string xls_stream() { return std::string(xls_book.buffered()); }

void xls_reset_stream() {
    xls_book.to_memory();
    xls_failed = false;
    xls_mulrk_buffer.assign(static_cast<size_t>(std::max(VXSMAXCOLUMNS, XLS_MAX_COLUMNS)) + 1,
                            MulRkEntry{0, 0});
    xls_mulrk_no = 0;
    xls_index_pos = 0;
    xls_index_blocks = 0;
    xls_defcolwidth_pos = 0;
    xls_logbook_nheaders = 0;
    std::fill(std::begin(xls_logbook_range), std::end(xls_logbook_range), 0);
    xls_decimal_counts.clear();
}

int writeb(const void* data, size_t n) {
    if (xls_failed || n > XLS_MAX_WRITE) return 0;
    if (xls_book.written() + n > xls_stream_limit) {
        std::printf("Error: Data space required exceeds Excel capabilities!\n");
        xls_failed = true;
        return 0;
    }
    if (data)
        xls_book.bytes(data, n);
    else
        xls_book.fill(n, '\0');
    return 1;
}

bool xls_rk_value(double v, uint32_t& rk) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    uint32_t low = static_cast<uint32_t>(bits), high = static_cast<uint32_t>(bits >> 32);
    if (low == 0 && (high & 3) == 0) {
        rk = high;
        return true;
    }
    // Range first: truncating 1e300 to an integer is undefined.
    if (v >= 0 && v < 536870912.0 && v == std::trunc(v)) {
        rk = (static_cast<uint32_t>(v) << 2) | 2;
        return true;
    }
    if (!std::isfinite(v) || std::fabs(v) >= 1e300) return false;
    double h = v * 100;
    std::memcpy(&bits, &h, 8);
    low = static_cast<uint32_t>(bits);
    high = static_cast<uint32_t>(bits >> 32);
    if (low == 0 && (high & 3) == 0) {
        double back;
        uint64_t b2 = static_cast<uint64_t>(high) << 32;
        std::memcpy(&back, &b2, 8);
        if (back / 100 == v) {
            rk = high | 1;
            return true;
        }
    }
    if (h >= 0 && h < 536870912.0 && h == std::trunc(h) &&
        static_cast<double>(static_cast<uint32_t>(h)) / 100 == v) {
        rk = (static_cast<uint32_t>(h) << 2) | 3;
        return true;
    }
    return false;
}

int xls_write_bof(int globals) {
    std::string b;
    if (biff2()) {
        put16(b, 7);
        put16(b, 0x10);
        return record(0x0009, b);
    }
    if (bare()) {
        put16(b, 0);
        put16(b, 0x10);
        put16(b, 0);
        return record(0x0409, b);
    }
    put16(b, 0x0500);
    put16(b, globals ? 0x0005 : 0x0010);
    put16(b, 0x0D64);
    put16(b, 0x07CA);
    return record(XLS_BOF, b);
}

int xls_write_eof() { return record(XLS_EOF, std::string()); }

int xls_write_global_head() {
    std::string wa;
    put8(wa, 7);
    wa += "Vantrix";
    wa.append(24, ' ');
    return record(XLS_INTERFACEHDR, "") && record16(XLS_MMS, 0) && record(XLS_TOOLBARHDR, "") &&
           record(XLS_TOOLBAREND, "") && record(XLS_INTERFACEEND, "") &&
           record(XLS_WRITEACCESS, wa) && record16(XLS_CODEPAGE, 0x04E4) &&
           record16(XLS_FNGROUPCOUNT, 14);
}

int xls_write_font(int kind) {
    static const uint16_t options[6] = {0, 1, 2, 3, 0, 0};
    static const uint16_t weight[6] = {400, 700, 400, 700, 400, 700};
    kind = std::clamp(kind, 0, 5);
    std::string b;
    put16(b, 200);
    put16(b, options[kind]);
    put16(b, 0x7FFF);
    put16(b, weight[kind]);
    b.append(6, '\0');
    put8(b, 5);
    b += "Arial";
    return record(XLS_FONT, b);
}

// kind 0..7: the built-in currency and accounting formats; kind 8 + d: "0." and d zeros.
int xls_write_format(int kind, int index) {
    static const char* const builtin[8] = {
        "\"$\"#,##0;\\-\"$\"#,##0",
        "\"$\"#,##0;[Red]\\-\"$\"#,##0",
        "\"$\"#,##0.00;\\-\"$\"#,##0.00",
        "\"$\"#,##0.00;[Red]\\-\"$\"#,##0.00",
        "_-\"$\"* #,##0_-;\\-\"$\"* #,##0_-;_-\"$\"* \"-\"_-;_-@_-",
        "_-* #,##0_-;\\-* #,##0_-;_-* \"-\"_-;_-@_-",
        "_-\"$\"* #,##0.00_-;\\-\"$\"* #,##0.00_-;_-\"$\"* \"-\"??_-;_-@_-",
        "_-* #,##0.00_-;\\-* #,##0.00_-;_-* \"-\"??_-;_-@_-",
    };
    std::string text;
    if (kind < 8) {
        text = builtin[std::max(kind, 0)];
    } else {
        static const char zeros[] = "0.000000000000000000000";
        size_t n = std::clamp<size_t>(static_cast<size_t>(kind - 8) + 2, 3, 22);
        text.assign(zeros, n);
    }
    std::string b;
    put16(b, static_cast<unsigned>(index));
    put8(b, static_cast<unsigned>(text.size()));
    b += text;
    return record(XLS_FORMAT, b);
}

// kind: the XF number of the fixed table (0..24), or 25 and up for a fixed-decimals XF.
int xls_write_xf(int kind, int format) {
    uint16_t font = 0, type = 0xFFF5, align = 0xF420;
    if (kind == 0)
        align = 0x0020;
    else if (kind <= 2)
        font = 1;
    else if (kind <= 4)
        font = 2;
    else if (kind == 15)
        type = 0x0001, align = 0x0020;
    else if (kind >= 16 && kind <= 20)
        font = 5, align = 0xF820;
    else if (kind >= 21)
        type = 0x0001, align = 0x0420;
    std::string b;
    put16(b, font);
    put16(b, static_cast<unsigned>(format));
    put16(b, type);
    put16(b, align);
    put16(b, 0x20C0);
    b.append(6, '\0');
    return record(XLS_XF, b);
}

int xls_write_style(int kind) {
    static const uint8_t xf[6] = {16, 17, 18, 19, 0, 20};
    static const uint8_t style[6] = {3, 6, 4, 7, 0, 5};
    kind = std::clamp(kind, 0, 5);
    std::string b;
    put16(b, 0x8000u | xf[kind]);
    put8(b, style[kind]);
    put8(b, 0xFF);
    return record(XLS_STYLE, b);
}

int xls_write_sheet(const char* name) {
    std::string b;
    size_t n = std::strlen(name);
    // The worksheet's BOF follows this record and the globals' EOF.
    put32(b, static_cast<uint32_t>(xls_book.written() + 4 + 7 + n + 4));
    put16(b, 0);
    put8(b, static_cast<unsigned>(n));
    b += name;
    return record(XLS_BOUNDSHEET, b);
}

int xls_write_sheet_head() {
    std::string delta, guts(8, '\0'), drh, country, header, footer, setup;
    putd(delta, 0.001);
    put16(drh, 0);
    put16(drh, 0x0108);
    put16(country, 1);
    put16(country, 0x40);
    put8(header, 2);
    header += "&A";
    put8(footer, 7);
    footer += "Page &P";
    static const uint8_t setup_bytes[34] = {0x00, 0x00, 0x40, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01,
                                            0x00, 0x04, 0x00, 0x60, 0xEC, 0x12, 0x00, 0x00, 0x00,
                                            0x00, 0x00, 0x00, 0x00, 0xE0, 0x3F, 0x00, 0x00, 0x00,
                                            0x00, 0x00, 0x00, 0xE0, 0x3F, 0xFF, 0xFF};
    setup.assign(reinterpret_cast<const char*>(setup_bytes), sizeof setup_bytes);
    if (!(record16(XLS_CALCMODE, 1) && record16(XLS_CALCCOUNT, 100) && record16(XLS_REFMODE, 1) &&
          record16(XLS_ITERATION, 0) && record(XLS_DELTA, delta) && record16(XLS_SAVERECALC, 1) &&
          record16(XLS_PRINTHEADERS, 0) && record16(XLS_PRINTGRIDLINES, 1) &&
          record16(XLS_GRIDSET, 0) && record(XLS_GUTS, guts) && record(XLS_DEFAULTROWHEIGHT, drh) &&
          record(XLS_COUNTRY, country) && record16(XLS_WSBOOL, 0x04C1) &&
          record(XLS_HEADER, header) && record(XLS_FOOTER, footer) && record16(XLS_HCENTER, 0) &&
          record16(XLS_VCENTER, 0) && record(XLS_SETUP, setup)))
        return 0;
    xls_defcolwidth_pos = xls_book.written();
    return record16(XLS_DEFCOLWIDTH, 8);
}

int xls_write_col_info(int column, int width, int xf) {
    std::string b;
    put16(b, static_cast<unsigned>(column));
    put16(b, static_cast<unsigned>(column));
    put16(b, static_cast<unsigned>(std::min(width + 1, 255) * 256));
    put16(b, static_cast<unsigned>(xf));
    b.append(3, '\0');
    return record(XLS_COLINFO, b);
}

int xls_write_dimensions(int rows, int columns) {
    std::string b;
    put16(b, 0);
    put16(b, static_cast<unsigned>(rows));
    put16(b, 0);
    put16(b, static_cast<unsigned>(columns));
    if (!biff2()) put16(b, 0);
    return record(cell_code(XLS_DIMENSIONS), b);
}

int xls_write_row(int row, int columns) {
    std::string b;
    put16(b, static_cast<unsigned>(row));
    put16(b, 0);
    put16(b, static_cast<unsigned>(columns));
    put16(b, 0x8108);
    b.append(8, '\0');
    return record(XLS_ROW, b);
}

int xls_write_blank(int row, int column) {
    if (!flush_mulrk()) return 0;
    return record(cell_code(XLS_BLANK), cell_head(row, column, 0));
}

int xls_write_label(int row, int column, const std::string& text) {
    if (text.empty()) return xls_write_blank(row, column);
    if (!flush_mulrk()) return 0;
    std::string b = cell_head(row, column, 0);
    put_text(b, text, biff2());
    return record(cell_code(XLS_LABEL), b);
}

int xls_write_number(int row, int column, int xf, double value) {
    uint32_t rk = 0;
    if (!biff2() && xls_rk_value(value, rk)) {
        if (bare()) {
            std::string b = cell_head(row, column, xf);
            put32(b, rk);
            return record(XLS_RK, b);
        }
        // Consecutive RK cells of a row gather into one MULRK.
        if (xls_mulrk_no > 0 && (xls_mulrk_row != row || xls_mulrk_lastcol + 1 != column) &&
            !flush_mulrk())
            return 0;
        if (xls_mulrk_no == 0) {
            xls_mulrk_row = row;
            xls_mulrk_firstcol = column;
        }
        xls_mulrk_buffer[static_cast<size_t>(xls_mulrk_no++)] = {static_cast<uint16_t>(xf), rk};
        xls_mulrk_lastcol = column;
        return 1;
    }
    if (!flush_mulrk()) return 0;
    std::string b = cell_head(row, column, xf);
    putd(b, value);
    return record(cell_code(XLS_NUMBER), b);
}

int xls_write_mulrk(int) { return flush_mulrk(); }

int xls_write_note95(int row, int column, const std::string& text) {
    std::string b;
    put16(b, static_cast<unsigned>(row));
    put16(b, static_cast<unsigned>(column));
    std::string_view t = std::string_view(text).substr(0, 2048);
    put16(b, static_cast<unsigned>(t.size()));
    b.append(t);
    return record(XLS_NOTE, b);
}

namespace {

int selection(int pane, int row, int column) {
    std::string b;
    put8(b, static_cast<unsigned>(pane));
    put16(b, static_cast<unsigned>(row));
    put16(b, static_cast<unsigned>(column));
    put16(b, 0);
    put16(b, 1);
    put16(b, static_cast<unsigned>(row));
    put16(b, static_cast<unsigned>(row));
    put8(b, static_cast<unsigned>(column));
    put8(b, static_cast<unsigned>(column));
    return record(XLS_SELECTION, b);
}

}  // namespace

int xls_write_selection(int mode) {
    int n = g_logbook ? xls_logbook_range[3] + 1 : 1;
    std::string w2, pane;
    put16(w2, 0x07BE);
    w2.append(8, '\0');
    bool one = mode <= 1;
    put16(pane, one ? 0 : 1);
    put16(pane, static_cast<unsigned>(n));
    put16(pane, static_cast<unsigned>(n));
    put16(pane, one ? 0 : 1);
    put16(pane, one ? 2 : 0);
    if (!record(XLS_WINDOW2, w2) || !record(XLS_PANE, pane)) return 0;
    if (!one && !(selection(0, n, 1) && selection(1, 0, 1))) return 0;
    return selection(3, 0, 0) && selection(2, n, 0);
}

int xls_write_gcolwidth(int columns) {
    int words = columns < 128 ? 8 : 16;
    std::string b;
    put16(b, static_cast<unsigned>(words));
    std::string bits(static_cast<size_t>(words) * 2, '\0');
    for (int c = columns; c < words * 16; ++c)
        bits[static_cast<size_t>(c / 8)] |= static_cast<char>(1 << (c % 8));
    b += bits;
    return record(XLS_GCW, b);
}

int xls_setup_index(int rows) {
    xls_index_blocks = (rows - 1) / XLS_BLOCK_ROWS + 1;
    xls_index_pos = xls_book.written();
    std::string b(static_cast<size_t>(xls_index_blocks) * 4 + 12, '\0');
    return record(XLS_INDEX, b);
}

int xls_write_index(const std::vector<uint32_t>& positions, int count, uint32_t first_row_pos,
                    int rows) {
    if (count != xls_index_blocks ||
        xls_index_pos + 4 + 12 + 4 * static_cast<size_t>(count) > xls_book.written())
        return 0;
    size_t at = xls_index_pos + 4;
    xls_book.patch_u32(at, 0);
    xls_book.patch_u16(at + 4, static_cast<uint16_t>(first_row_pos));
    xls_book.patch_u16(at + 6, static_cast<uint16_t>(rows));
    xls_book.patch_u32(at + 8, static_cast<uint32_t>(xls_defcolwidth_pos));
    for (int k = 0; k < count; ++k)
        xls_book.patch_u32(at + 12 + 4 * static_cast<size_t>(k), positions[static_cast<size_t>(k)]);
    return 1;
}

int xls_write_dbcell(uint32_t back_to_first_row, const std::vector<uint16_t>& offsets) {
    std::string b;
    put32(b, back_to_first_row);
    for (uint16_t o : offsets) put16(b, o);
    return record(XLS_DBCELL, b);
}

int vxs_setup_logbook_headers(Sheet* sheet,
                              std::vector<std::pair<std::string, std::string>>& headers) {
    static const char* const fixed[8] = {"study", "study_title", "study_pinvestigator",
                                         "site",  "file",        "file_author",
                                         "sheet", "date"};
    static const std::pair<const char*, int> fallback[5] = {{"study_name", 0},
                                                            {"site_name", 3},
                                                            {"file_name", 4},
                                                            {"sheet_name", 6},
                                                            {"instance_time", 7}};
    headers.clear();
    for (const char* k : fixed) headers.emplace_back(k, "");
    auto lower = [](std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return s;
    };
    for (const std::string& line : sheet->description_lines) {
        size_t colon = line.find(':');
        if (colon == std::string::npos) {
            if (headers[1].second.empty()) headers[1].second = line;
            continue;
        }
        std::string key = line.substr(0, colon).substr(0, 19);
        std::string value = line.substr(colon + 1);
        if (!value.empty() && value[0] == ' ') value.erase(0, 1);
        std::string low = lower(key);
        bool done = false;
        for (int k = 0; k < 8 && !done; ++k)
            if (low == fixed[k]) headers[static_cast<size_t>(k)].second = value, done = true;
        for (const auto& f : fallback)
            if (!done && low == f.first) {
                if (headers[static_cast<size_t>(f.second)].second.empty())
                    headers[static_cast<size_t>(f.second)].second = value;
                done = true;
            }
        if (!done) headers.emplace_back(key, value);
    }
    return static_cast<int>(headers.size());
}

namespace {

bool is_numeric_kind(int32_t type) {
    switch (type) {
        case 1:
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:
        case 22:
        case -4:
            return true;
        default:
            return false;
    }
}

bool is_date_column(const Column* c) {
    return c->representation == VXS_REP_DATE && c->type != VXS_FACTOR;
}

int decimals_xf(int decimals) {
    auto it = std::find(xls_decimal_counts.begin(), xls_decimal_counts.end(), decimals);
    if (it == xls_decimal_counts.end()) {
        xls_decimal_counts.push_back(decimals);
        it = xls_decimal_counts.end() - 1;
    }
    return XLS_FIRST_DECIMALS_XF + static_cast<int>(it - xls_decimal_counts.begin());
}

int cell_xf(const Column* c) {
    if (c->representation == VXS_REP_EXPONENT) return 21;
    if (is_date_column(c)) {
        if (c->date_format >= 36 && c->date_format <= 39) return 24;
        if (c->date_format >= 21 && c->date_format <= 26) return 22;
        return 23;
    }
    if (c->representation == VXS_REP_FIXED && c->decimals >= 0) return decimals_xf(c->decimals);
    return 0;
}

std::string heading(const Column* c) {
    std::string name = c->name.substr(0, VXS_MAX_NAME);
    if (g_logbook || vxs_options().plain_names) return name;
    if (is_date_column(c))
        name += ":D";
    else if (c->decimals >= 0 && c->decimals <= 9 && c->type != VXS_TEXT &&
             c->type != VXS_UNITS_TEXT)
        name += ":" + std::to_string(c->decimals);
    if (c->type == VXS_FACTOR) name += "!";
    return name;
}

// "!(" levels or "!T(" labels ")" and then the description; a list that does not fit is left
// out whole rather than cut in the middle of a level.
std::string note_text(const Column* c) {
    std::string note;
    if (c->type == VXS_FACTOR && (!c->labels.empty() || !c->levels.empty())) {
        std::string list = c->labels.empty() ? "!(" : "!T(";
        if (c->labels.empty()) {
            char buf[40];
            for (size_t k = 0; k < c->levels.size(); ++k) {
                std::snprintf(buf, sizeof buf, "%.12g", c->levels[k]);
                list += (k ? "," : "") + std::string(buf);
            }
        } else {
            for (size_t k = 0; k < c->labels.size(); ++k) list += (k ? "," : "") + c->labels[k];
        }
        list += ")";
        if (list.size() <= XLS_NOTE_LIST) note = list;
    }
    if (!c->extra.empty()) {
        if (note.empty())
            note = c->extra;
        else if (note.size() + 1 + c->extra.size() < XLS_NOTE_LIST)
            note += "\n" + c->extra;
    }
    return note;
}

// Writes one data cell; missing cells leave a BLANK only at the ends of the row.
int write_cell(const Sheet* s, const Column* c, int row, int column, size_t index, bool edge,
               int xf) {
    const double missing = s->missing;
    if (c->is_text()) {
        std::string_view t = index < c->text.size() ? c->text.get(index) : std::string_view();
        if (!t.empty()) return xls_write_label(row, column, std::string(t));
    } else if (index < c->num.size()) {
        double v = c->num[index];
        if (c->type == VXS_FACTOR && v > missing) {
            long k = std::lround(v);
            if (c->origin == 2 && k >= 1 && static_cast<size_t>(k) <= c->labels.size()) {
                if (!c->labels[static_cast<size_t>(k - 1)].empty())
                    return xls_write_label(row, column, c->labels[static_cast<size_t>(k - 1)]);
                v = missing;
            } else if (c->origin == 1 && k >= 1 && static_cast<size_t>(k) <= c->levels.size()) {
                v = c->levels[static_cast<size_t>(k - 1)];
            } else if (c->origin != 0) {
                v = missing;
            }
        }
        if (v > missing && is_date_column(c) && c->gregorian) vxs_date_1600_to_1900(&v, missing);
        if (v > missing) return xls_write_number(row, column, xf, v);
    }
    if (edge) return xls_write_blank(row, column);
    return flush_mulrk();
}

struct Layout {
    std::vector<Column*> cols;
    std::vector<int> xf;
    int first_col = 0;  // data columns start here (1 in the logbook layout)
    int data_row = 1;   // first data row
    int nrows = 0;      // rows written, names and headers included
    std::vector<std::pair<std::string, std::string>> headers;
};

const char* type_word(const Column* c, int& factors_seen) {
    if (c->type != VXS_FACTOR) return "measurement";
    return factors_seen++ < vxs_options().logbook_nfactors ? "treatment" : "factor";
}

// Labels of the rows above the data: names in row 0, or the logbook header block.
int write_heading_row(const Layout& L, int row) {
    if (!g_logbook) {
        if (row != 0) return 1;
        for (size_t i = 0; i < L.cols.size(); ++i)
            if (!xls_write_label(0, static_cast<int>(i), heading(L.cols[i]))) return 0;
        return 1;
    }
    int h = static_cast<int>(L.headers.size());
    if (row < h) {
        return xls_write_label(row, 0, L.headers[static_cast<size_t>(row)].first) &&
               xls_write_label(row, 1, L.headers[static_cast<size_t>(row)].second);
    }
    static const char* const names[5] = {"variable_type", "variable_title", "units", "date",
                                         "variable_name"};
    int k = row - h;
    if (!xls_write_label(row, 0, names[k])) return 0;
    int factors_seen = 0;
    for (size_t i = 0; i < L.cols.size(); ++i) {
        const Column* c = L.cols[i];
        std::string text = k == 0   ? type_word(c, factors_seen)
                           : k == 1 ? c->extra
                           : k == 4 ? c->name
                                    : "";
        if (!xls_write_label(row, L.first_col + static_cast<int>(i), text)) return 0;
    }
    return 1;
}

int write_rows(const Sheet* s, const Layout& L) {
    const int ncols = L.first_col + static_cast<int>(L.cols.size());
    std::vector<uint32_t> dbcells;
    uint32_t first_row_pos = 0;
    for (int block = 0; block < L.nrows; block += XLS_BLOCK_ROWS) {
        int end = std::min(L.nrows, block + XLS_BLOCK_ROWS);
        size_t first_row_record = xls_book.written();
        if (block == 0) first_row_pos = static_cast<uint32_t>(first_row_record);
        for (int r = block; r < end; ++r)
            if (!xls_write_row(r, ncols)) return 0;
        std::vector<size_t> starts;
        for (int r = block; r < end; ++r) {
            starts.push_back(xls_book.written());
            if (r < L.data_row) {
                if (!write_heading_row(L, r)) return 0;
                continue;
            }
            size_t index = static_cast<size_t>(r - L.data_row);
            for (size_t i = 0; i < L.cols.size(); ++i) {
                bool edge = i == 0 || i + 1 == L.cols.size();
                if (!write_cell(s, L.cols[i], r, L.first_col + static_cast<int>(i), index, edge,
                                L.xf[i]))
                    return 0;
            }
            if (!flush_mulrk()) return 0;
        }
        // Offsets of each row's first cell: the first from the second ROW record, the rest from
        // the row before.
        std::vector<uint16_t> offsets;
        size_t from = first_row_record + 20;
        for (size_t st : starts) {
            offsets.push_back(static_cast<uint16_t>(st - from));
            from = st;
        }
        size_t here = xls_book.written();
        dbcells.push_back(static_cast<uint32_t>(here));
        if (!xls_write_dbcell(static_cast<uint32_t>(here - first_row_record), offsets)) return 0;
    }
    (void)first_row_pos;
    return xls_write_index(dbcells, static_cast<int>(dbcells.size()), 0, L.nrows);
}

int write_logbook_name() {
    std::string ext;
    put8(ext, 12);
    put8(ext, 3);
    ext += "LogBook Data";
    std::string b;
    put16(b, 0);
    put8(b, 0);
    put8(b, 10);
    put16(b, 21);
    b.append(8, '\0');  // sheet links, menu, description, help and status lengths
    b += "column_row";
    put8(b, 0x3B);
    put16(b, 0xFFFF);
    put16(b, 1);
    b.append(6, '\0');
    put16(b, 0);
    put16(b, 0);
    put16(b, static_cast<unsigned>(xls_logbook_range[1]));
    put16(b, static_cast<unsigned>(xls_logbook_range[3]));
    put8(b, static_cast<unsigned>(xls_logbook_range[0]));
    put8(b, static_cast<unsigned>(xls_logbook_range[2]));
    return record16(XLS_EXTERNCOUNT, 1) && record(XLS_EXTERNSHEET, ext) && record(XLS_NAME, b);
}

const char* sheet_name() { return g_logbook ? "LogBook Data" : "Vantrix Data"; }

}  // namespace

int xls_write_global_sheet(Sheet*) {
    if (!xls_write_bof(1) || !xls_write_global_head()) return 0;
    if (g_logbook && !write_logbook_name()) return 0;
    std::string w1;
    for (unsigned v : {0x0180u, 0x0024u, 0x2874u, 0x1710u, 0x0038u, 0u, 0u, 1u, 0x0258u})
        put16(w1, v);
    if (!(record16(XLS_WINDOWPROTECT, 0) && record16(XLS_PROTECT, 0) && record16(XLS_PASSWORD, 0) &&
          record(XLS_WINDOW1, w1) && record16(XLS_BACKUP, 0) && record16(XLS_HIDEOBJ, 0) &&
          record16(XLS_DATEMODE, 0) && record16(XLS_PRECISION, 1) && record16(XLS_BOOKBOOL, 0)))
        return 0;
    for (int k = 0; k < 5; ++k)
        if (!xls_write_font(k)) return 0;
    static const int builtin_index[8] = {5, 6, 7, 8, 42, 41, 44, 43};
    for (int k = 0; k < 8; ++k)
        if (!xls_write_format(k, builtin_index[k])) return 0;
    std::vector<int> format_of;
    int next_custom = XLS_FIRST_CUSTOM_FORMAT;
    for (int d : xls_decimal_counts) {
        if (d == 0)
            format_of.push_back(1);
        else if (d == 2)
            format_of.push_back(2);
        else {
            if (!xls_write_format(8 + d, next_custom)) return 0;
            format_of.push_back(next_custom++);
        }
    }
    static const int fixed_format[25] = {0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         43,
                                         41,
                                         44,
                                         42,
                                         9,
                                         XLS_FMT_SCIENTIFIC,
                                         XLS_FMT_DATE,
                                         XLS_FMT_DATE,
                                         XLS_FMT_TIME};
    for (int k = 0; k < 25; ++k)
        if (!xls_write_xf(k, fixed_format[k] == 0 ? XLS_FMT_GENERAL : fixed_format[k])) return 0;
    for (size_t k = 0; k < format_of.size(); ++k)
        if (!xls_write_xf(XLS_FIRST_DECIMALS_XF + static_cast<int>(k), format_of[k])) return 0;
    for (int k = 0; k < 6; ++k)
        if (!xls_write_style(k)) return 0;
    return xls_write_sheet(sheet_name()) && xls_write_eof();
}

int open_xls_output_file(const char* path) {
    if (!xls_file.open(path)) {
        std::printf("Error: In Write XLS File - could not open file %.100s\n", path);
        return 0;
    }
    xls_stream_limit = 70963200;
    xls_reset_stream();
    return 1;
}

namespace {

std::string comp_obj() {
    std::string b;
    put16(b, 1);
    put16(b, 0xFFFE);
    put32(b, 0x00000A03);
    put32(b, 0xFFFFFFFF);
    b.append(reinterpret_cast<const char*>(CDF_EXCEL5_CLSID), 16);
    for (const char* s : {"Microsoft Excel 5.0 Worksheet", "Biff5", "Excel.Sheet.5"}) {
        put32(b, static_cast<uint32_t>(std::strlen(s) + 1));
        b.append(s, std::strlen(s) + 1);
    }
    put32(b, 0x71B239F4);
    b.append(12, '\0');
    return b;  // 106 bytes
}

std::string summary_information() {
    std::string b;
    put16(b, 0xFFFE);
    put16(b, 0);
    put32(b, 0x00020005);
    b.append(16, '\0');
    put32(b, 1);
    b.append(reinterpret_cast<const char*>(CDF_SUMMARY_FMTID), 16);
    put32(b, 48);
    put32(b, 8);
    put32(b, 0);
    return b;  // 56 bytes
}

std::string dir_entry(const std::u16string& name, uint8_t type, uint32_t left, uint32_t right,
                      uint32_t child, const uint8_t* clsid, uint64_t modified, uint32_t start,
                      uint32_t size) {
    std::string b;
    for (char16_t ch : name) put16(b, ch);
    b.resize(64, '\0');
    put16(b, name.empty() ? 0 : static_cast<unsigned>((name.size() + 1) * 2));
    put8(b, type);
    put8(b, 1);  // black
    put32(b, left);
    put32(b, right);
    put32(b, child);
    if (clsid)
        b.append(reinterpret_cast<const char*>(clsid), 16);
    else
        b.append(16, '\0');
    put32(b, 0);
    put64(b, 0);
    put64(b, modified);
    put32(b, start);
    put32(b, size);
    put32(b, 0);
    return b;
}

void pad_to(std::string& b, size_t unit) {
    if (b.size() % unit) b.append(unit - b.size() % unit, '\0');
}

bool write_all(std::string_view b) {
    xls_file.bytes(b);
    return xls_file.ok();
}

}  // namespace

// Sector layout: 0 the first FAT sector, 1 the directory, 2 the mini FAT, 3.. the mini stream;
// then the other FAT sectors, the DIFAT sectors and a "Book" stream too large for the mini
// stream. The FAT counts its own sectors and the DIFAT's.
int xls_write_new_stream() {
    const std::string_view book = xls_book.buffered();
    if (bare()) return write_all(book) ? 1 : 0;
    if (book.size() > xls_stream_limit) {
        std::printf("XLS File too large (%lu) for this version of Morvalen!\n",
                    static_cast<unsigned long>(book.size()));
        return 0;
    }
    const bool small = book.size() < CDF_CUTOFF;
    std::string mini = comp_obj();
    pad_to(mini, CDF_MINI);
    const uint32_t summary_mini = static_cast<uint32_t>(mini.size() / CDF_MINI);
    mini += summary_information();
    pad_to(mini, CDF_MINI);
    const uint32_t book_mini = static_cast<uint32_t>(mini.size() / CDF_MINI);
    if (small) {
        mini += book;
        pad_to(mini, CDF_MINI);
    }
    const size_t mini_size = mini.size();
    const size_t mini_sectors = (mini_size + CDF_SECTOR - 1) / CDF_SECTOR;
    const size_t book_sectors = small ? 0 : (book.size() + CDF_SECTOR - 1) / CDF_SECTOR;

    size_t fat = 1, difat = 0;
    for (;;) {
        size_t total = 3 + mini_sectors + (fat - 1) + difat + book_sectors;
        size_t need_fat = (total + CDF_IDS_PER_SECTOR - 1) / CDF_IDS_PER_SECTOR;
        size_t need_difat =
            need_fat > CDF_HEADER_DIFAT ? (need_fat - CDF_HEADER_DIFAT + 126) / 127 : 0;
        if (need_fat <= fat && need_difat <= difat) break;
        fat = std::max(fat, need_fat);
        difat = std::max(difat, need_difat);
    }
    const size_t mini_start = 3;
    const size_t fat_rest = mini_start + mini_sectors;
    const size_t difat_start = fat_rest + fat - 1;
    const size_t book_start = difat_start + difat;
    const size_t total = book_start + book_sectors;

    std::vector<uint32_t> fat_sectors;
    fat_sectors.push_back(0);
    for (size_t k = 0; k + 1 < fat; ++k) fat_sectors.push_back(static_cast<uint32_t>(fat_rest + k));

    std::vector<uint32_t> table(fat * CDF_IDS_PER_SECTOR, CDF_FREE);
    for (uint32_t s : fat_sectors) table[s] = CDF_FAT;
    table[1] = CDF_END;
    table[2] = CDF_END;
    auto chain = [&](size_t first, size_t count) {
        for (size_t k = 0; k < count; ++k)
            table[first + k] = k + 1 < count ? static_cast<uint32_t>(first + k + 1) : CDF_END;
    };
    chain(mini_start, mini_sectors);
    for (size_t k = 0; k < difat; ++k) table[difat_start + k] = CDF_DIFAT;
    chain(book_start, book_sectors);

    ByteWriter& out = xls_file;
    static const uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    out.bytes(signature, 8);
    out.fill(16, '\0');
    out.u16(0x003E);
    out.u16(3);
    out.u16(0xFFFE);
    out.u16(9);
    out.u16(6);
    out.fill(6, '\0');
    out.u32(0);
    out.u32(static_cast<uint32_t>(fat));
    out.u32(1);
    out.u32(0);
    out.u32(static_cast<uint32_t>(CDF_CUTOFF));
    out.u32(2);
    out.u32(1);
    out.u32(difat ? static_cast<uint32_t>(difat_start) : CDF_END);
    out.u32(static_cast<uint32_t>(difat));
    for (size_t k = 0; k < CDF_HEADER_DIFAT; ++k)
        out.u32(k < fat_sectors.size() ? fat_sectors[k] : CDF_FREE);

    std::vector<std::string> sectors(total);
    auto fat_sector = [&](size_t k) {
        std::string s;
        for (size_t i = 0; i < CDF_IDS_PER_SECTOR; ++i) put32(s, table[k * CDF_IDS_PER_SECTOR + i]);
        return s;
    };
    sectors[0] = fat_sector(0);
    for (size_t k = 1; k < fat; ++k) sectors[fat_rest + k - 1] = fat_sector(k);

    std::string dir;
    dir += dir_entry(u"Root Entry", 5, CDF_FREE, CDF_FREE, 2, CDF_EXCEL5_CLSID, CDF_FILETIME,
                     static_cast<uint32_t>(mini_start), static_cast<uint32_t>(mini_size));
    dir += dir_entry(u"Book", 2, CDF_FREE, CDF_FREE, CDF_FREE, nullptr, 0,
                     small ? book_mini : static_cast<uint32_t>(book_start),
                     static_cast<uint32_t>(book.size()));
    dir += dir_entry(
        u"\x01"
        u"CompObj",
        2, 1, 3, CDF_FREE, nullptr, 0, 0, 106);
    dir += dir_entry(
        u"\x05"
        u"SummaryInformation",
        2, CDF_FREE, CDF_FREE, CDF_FREE, nullptr, 0, summary_mini, 56);
    sectors[1] = dir;

    std::string minifat;
    const size_t used_mini = mini_size / CDF_MINI;
    auto mini_chain = [&](size_t first, size_t count) {
        for (size_t k = 0; k < count; ++k)
            put32(minifat, k + 1 < count ? static_cast<uint32_t>(first + k + 1) : CDF_END);
    };
    mini_chain(0, summary_mini);
    mini_chain(summary_mini, book_mini - summary_mini);
    if (small) mini_chain(book_mini, used_mini - book_mini);
    while (minifat.size() < CDF_SECTOR) put32(minifat, CDF_FREE);
    sectors[2] = minifat;
    for (size_t k = 0; k < mini_sectors; ++k)
        sectors[mini_start + k] = mini.substr(k * CDF_SECTOR, CDF_SECTOR);
    for (size_t k = 0; k < difat; ++k) {
        std::string s;
        for (size_t i = 0; i < 127; ++i) {
            size_t idx = CDF_HEADER_DIFAT + k * 127 + i;
            put32(s, idx < fat_sectors.size() ? fat_sectors[idx] : CDF_FREE);
        }
        put32(s, k + 1 < difat ? static_cast<uint32_t>(difat_start + k + 1) : CDF_END);
        sectors[difat_start + k] = s;
    }
    for (size_t k = 0; k < total; ++k) {
        if (k >= book_start) break;
        out.text(sectors[k], CDF_SECTOR, '\0');
    }
    if (!out.ok()) return 0;
    if (!small) {
        if (!write_all(book)) return 0;
        std::string pad((CDF_SECTOR - book.size() % CDF_SECTOR) % CDF_SECTOR, '\0');
        if (!write_all(pad)) return 0;
    }
    return 1;
}

int16_t write_sheet_as_xls(Sheet* sheet, const char* path) {
    if (!sheet || !path) return 0;
    g_logbook = vxs_options().logbook_out_format != 0;
    // The form comes from the sheet's setting, not from what an Excel input left behind.
    int32_t version = sheet->defaults.spreadsheet_version;
    if (version == 0) {
        version = vxs_get_global_defaults()->spreadsheet_version;
        if (version != 2 && version != 4) version = 5;
    }
    xls_ver_2 = version == 2;
    xls_ver_34 = version == 2 || version == 3 || version == 4;
    xls_ver_97 = version == 7;

    Layout L;
    for (size_t i = 1; i < sheet->cols.size(); ++i) {
        Column* c = sheet->cols[i].get();
        if (c->type == VXS_ROW ||
            !(c->is_text() || c->type == VXS_FACTOR || is_numeric_kind(c->type)))
            continue;
        L.cols.push_back(c);
    }
    if (L.cols.empty() || sheet->row_count <= 0) return 0;
    const int max_columns = vxs_write_limits(VXT_XLS).max_columns;
    if (sheet->row_count > XLS_MAX_DATA_ROWS ||
        static_cast<int>(L.cols.size()) + (g_logbook ? 1 : 0) > max_columns) {
        std::printf("Error: Data space required exceeds Excel capabilities!\n");
        return 0;
    }
    if (!open_xls_output_file(path)) return 0;

    if (g_logbook && !bare()) {
        vxs_setup_logbook_headers(sheet, L.headers);
        xls_logbook_nheaders = static_cast<int>(L.headers.size());
        L.first_col = 1;
        L.data_row = xls_logbook_nheaders + 5;
        int factors = std::max(1, vxs_options().logbook_nfactors);
        xls_logbook_range[0] = 1;
        xls_logbook_range[1] = xls_logbook_nheaders;
        xls_logbook_range[2] = factors;
        xls_logbook_range[3] = xls_logbook_nheaders + 4;
    } else {
        g_logbook = g_logbook && !bare();
    }
    if (L.data_row + sheet->row_count > XLS_MAX_DATA_ROWS + 1) {
        std::printf("Error: Data space required exceeds Excel capabilities!\n");
        xls_file.close();
        return 0;
    }
    L.nrows = L.data_row + sheet->row_count;
    if (!bare() && L.nrows > XLS_95_ROWS)
        std::printf(
            " Warning: Excel 95 sheets hold %d rows: other programs may read only the first %d of "
            "%d!\n",
            XLS_95_ROWS, XLS_95_ROWS, L.nrows);
    for (Column* c : L.cols) L.xf.push_back(bare() ? 0 : cell_xf(c));

    bool ok = true;
    const int ncols = L.first_col + static_cast<int>(L.cols.size());
    if (bare()) {
        ok = xls_write_bof(0) && xls_write_dimensions(L.nrows, ncols);
        for (int r = 0; ok && r < L.nrows; ++r) {
            if (r < L.data_row) {
                ok = write_heading_row(L, r);
                continue;
            }
            for (size_t i = 0; ok && i < L.cols.size(); ++i)
                ok = write_cell(sheet, L.cols[i], r, static_cast<int>(i),
                                static_cast<size_t>(r - L.data_row),
                                i == 0 || i + 1 == L.cols.size(), 0);
        }
        ok = ok && xls_write_eof();
    } else {
        ok = xls_write_global_sheet(sheet) && xls_write_bof(0) && xls_setup_index(L.nrows) &&
             xls_write_sheet_head();
        if (ok && g_logbook) ok = xls_write_col_info(0, 20, 0);
        for (size_t i = 0; ok && i < L.cols.size(); ++i)
            ok = xls_write_col_info(L.first_col + static_cast<int>(i), L.cols[i]->width, L.xf[i]);
        ok = ok && xls_write_dimensions(L.nrows, ncols) && write_rows(sheet, L);
        if (ok && !g_logbook && !xls_ver_97) {
            for (size_t i = 0; ok && i < L.cols.size(); ++i) {
                std::string note = note_text(L.cols[i]);
                if (!note.empty()) ok = xls_write_note95(0, static_cast<int>(i), note);
            }
        }
        ok = ok && xls_write_selection(std::max(sheet->units_count, 1)) &&
             xls_write_gcolwidth(ncols) && xls_write_eof();
    }
    ok = ok && xls_write_new_stream();
    if (!xls_file.close()) ok = false;
    xls_book.take();  // the stream's memory goes now, not at the next run
    return ok ? 1 : 0;
}
