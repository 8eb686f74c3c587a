// Quattro Pro for DOS: the WQ1 spreadsheet and the WB1/WB2/WB3 notebooks read into the sheet
// (pages, page names and named ranges gathered in a first pass, the selected page's cells in a
// second), and the WQ1 writer.
#include "vxs_wq1.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "../sheet/byte_writer.h"
#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_source.h"
#include "../sheet/vxs_options.h"
#include "../sheet/vxs_access.h"
#include "../sheet/vxs_reader_kit.h"
#include "vxs_cdf.h"
#include "vxs_wk1.h"
#include "vxs_xls.h"

namespace {

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Text up to the first NUL of what remains in the record.
std::string zero_ended(ByteReader& b, size_t limit) {
    return std::string(vxs_fixed_view(b.view(b.remaining()), VxsPad::Nul).substr(0, limit));
}

// The base name of a path (after the last "/" or "\", up to the last ".").
std::string base_name(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) slash = path.find_last_of('\\');
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = base.find_last_of('.');
    if (dot != std::string::npos) base.resize(dot);
    return base;
}

struct Range {
    bool seen = false;
    int64_t first_col = 0, first_row = 0, last_col = 0, last_row = 0;  // raw 16-bit fields
};

// A named range record of a notebook: an area of one page makes a named range.
void read_name(ByteReader b, VxsSelection& sel) {
    b.u16();
    uint8_t flags = b.u8();
    uint8_t len = b.u8();
    std::string name = b.str(std::min<size_t>(len, b.remaining()));
    if (!b.ok() || b.remaining() < 2 || !(flags & 1) || (flags & 2)) return;
    uint16_t type = b.u16();
    if ((type >> 12) != 0x1) return;
    VxsRangeEntry e;
    e.first_col = b.u8();
    int32_t first_page = b.u8();
    e.first_row = b.u16();
    e.last_col = b.u8();
    int32_t last_page = b.u8();
    e.last_row = b.u16();
    if (!b.ok() || first_page != last_page) return;
    e.name = upper(vxs_fixed_field(name, VxsPad::Nul).substr(0, WQ1_MAX_PAGE_NAME));
    e.sheet_number = first_page;
    sel.ranges.push_back(e);
}

// First pass: version, the RANGE, pages and their names, named ranges. False when the file
// must not be read.
bool read_layout(BlockFile& bytes, const char* shown_path, bool& notebook, Range& range, VxsSelection& sel) {
    LotusRecords recs(bytes);
    LotusRecord rec;
    bool first = true;
    int32_t page = -1;
    while (recs.next(rec)) {
        ByteReader& b = rec.body;
        if (rec.len > WQ1_MAX_RECORD || rec.code > WQ1_MAX_CODE) return false;
        if (first) {
            if (rec.code != LOTUS_BOF || rec.len < 2) return false;
            first = false;
            notebook = b.u16() != WQ1_VERSION;
            continue;
        }
        if (rec.code == LOTUS_EOF) break;
        switch (rec.code) {
            case LOTUS_RANGE:
                if (range.seen || rec.len < 8) break;
                range.seen = true;
                range.first_col = b.u16();
                range.first_row = b.u16();
                range.last_col = b.u16();
                range.last_row = b.u16();
                if (notebook)
                    for (int64_t p = range.first_col >> 8; p <= range.last_col >> 8; ++p)
                        sel.sheets.push_back({vxs_column_letters(p), 0, static_cast<int32_t>(p)});
                break;
            case LOTUS_NAME:
                if (notebook) read_name(b, sel);
                break;
            case WQ1_PAGE_START:
            case WQ1_PAGE_END:
            case WQ1_PAGE_NAME:
                if (!notebook) return false;
                if (rec.code == WQ1_PAGE_START) {
                    page = rec.len >= 1 ? b.u8() : -1;
                } else if (rec.code == WQ1_PAGE_END) {
                    page = -1;
                } else if (page >= 0) {
                    std::string name = upper(zero_ended(b, WQ1_MAX_PAGE_NAME));
                    for (auto& s : sel.sheets)
                        if (s.number == page) s.name = name;
                }
                break;
            case WQ1_PROTECTED:
                return false;
            default:
                break;
        }
    }
    if (first) return false;
    if (!notebook) sel.sheets.push_back({base_name(shown_path) + " (WQ1 File)", 0, 0});
    return true;
}

// Second pass: the cells of one page inside the store's bounds.
void read_cells(BlockFile& bytes, bool notebook, int32_t page, VxsCellStore& store) {
    LotusRecords recs(bytes);
    LotusRecord rec;
    while (recs.next(rec)) {
        if (rec.code == LOTUS_EOF) break;
        if (rec.code < LOTUS_INTEGER || rec.code > LOTUS_FORMULA) continue;
        ByteReader& b = rec.body;
        if (!notebook) b.skip(1);
        uint16_t col_field = b.u16();
        int64_t row = b.u16();
        if (notebook) b.u16();  // format
        if (!b.ok()) continue;
        int64_t col = col_field;
        if (notebook) {
            if ((col_field >> 8) != page) continue;
            col = col_field & 0xFF;
        }
        switch (rec.code) {
            case LOTUS_INTEGER:
                if (b.has(2)) store.put_number(row, col, b.i16());
                break;
            case LOTUS_NUMBER:
            case LOTUS_FORMULA:
                if (b.has(8)) {
                    double v = b.f64();
                    if (lotus_usable_number(v)) store.put_number(row, col, v);
                }
                break;
            case LOTUS_LABEL:
                if (b.has(1)) store.put_text(row, col, lotus_label_text(b.sub(b.remaining())));
                break;
        }
    }
}

}  // namespace

void vxs_set_wb3_file(const char* path) { vxs_set_container_file(path); }

int16_t read_wq1_into_sheet(const char* path) {
    VxsSource src;
    src.open_file(path);
    return read_wq1_source(src);
}

int16_t read_wq1_source(VxsSource& src) {
    // A notebook handed over from a compound document is shown under the user's name.
    const std::string shown = vxs_take_shown_name(src.name());
    auto file = std::make_unique<BlockFile>();
    BlockFile& bytes = *file;
    if (!src.is_open() || !bytes.open(std::move(src))) return 0;

    VxsSelection* sel = xls_selection();
    *sel = VxsSelection{};
    bool notebook = false;
    Range range;
    if (!read_layout(bytes, shown.c_str(), notebook, range, *sel)) return 0;
    if (vxs_options().name_dump) vxs_fatal(xls_name_listing(shown.c_str(), *sel).c_str(), 0);
    if (sel->sheets.empty() || !range.seen) return 0;

    const VxsSheetEntry* sheet = xls_choose_sheet(sel);
    if (!sheet) return 0;

    int64_t first_col = range.first_col, last_col = range.last_col;
    if (notebook) {
        // The page sits in the high byte; a RANGE over several pages bounds no column.
        bool one_page = (first_col >> 8) == (last_col >> 8);
        first_col = one_page ? first_col & 0xFF : 0;
        last_col = one_page ? last_col & 0xFF : 255;
    }
    if (!lotus_range_fits(range.last_row - range.first_row + 1, last_col - first_col + 1))
        vxs_fatal("Error: Too much data in Quattro file for Morvalen to handle!\n", 9);
    VxsCellStore store;
    store.create(std::max<int64_t>(range.first_row, sel->first_row), std::min<int64_t>(range.last_row, sel->last_row),
                 std::max<int64_t>(first_col, sel->first_col), std::min<int64_t>(last_col, sel->last_col));
    if (!store.created()) return 0;
    read_cells(bytes, notebook, sheet->number, store);
    file.reset();  // its block buffer is not needed while the sheet is made
    return static_cast<int16_t>(lotus_store_to_sheet(store, shown.c_str(), vxs_column_letters(sheet->number)));
}

// ---------------------------------------------------------------- writer

namespace {

// A record's code and content length; the content follows.
void record(ByteWriter& out, uint16_t code, size_t length) {
    out.u16(code);
    out.u16(static_cast<uint16_t>(length));
}

// A cell's format byte (the program's default), column and row.
void cell_head(ByteWriter& out, int32_t row, int32_t column) {
    out.u8(0xFF);
    out.u16(static_cast<uint16_t>(column));
    out.u16(static_cast<uint16_t>(row));
}

std::string name_cell(const Column& c) {
    std::string name = c.name.substr(0, VXS_MAX_NAME);
    if (vxs_options().plain_names) return name;
    char suffix[16] = "";
    if (c.representation == VXS_REP_DATE)
        std::snprintf(suffix, sizeof suffix, ":D");
    else if (!c.is_text() && c.decimals >= 0 && c.decimals <= 9)
        std::snprintf(suffix, sizeof suffix, ":%li", static_cast<long>(c.decimals));
    name += suffix;
    if (c.type == VXS_FACTOR) name += "!";
    return name;
}

}  // namespace

void wq1_write_header(int32_t rows, int32_t last_column, ByteWriter& out) {
    record(out, LOTUS_BOF, 2);
    out.u16(WQ1_VERSION);
    record(out, LOTUS_RANGE, 8);
    out.u16(0);
    out.u16(0);
    out.u16(static_cast<uint16_t>(last_column));
    out.u16(static_cast<uint16_t>(rows));
}

void wq1_write_label(int32_t row, int32_t column, std::string_view text, ByteWriter& out) {
    // Prefix, text and NUL, as the WK1 layout has it; the record is text + 7 bytes long. The
    // text ends at its first NUL.
    text = text.substr(0, text.find('\0'));
    record(out, LOTUS_LABEL, WQ1_CELL_HEAD + text.size() + 2);
    cell_head(out, row, column);
    out.u8('\'');
    out.bytes(text);
    out.u8('\0');
}

void wq1_write_number(int32_t row, int32_t column, double value, ByteWriter& out) {
    record(out, LOTUS_NUMBER, WQ1_CELL_HEAD + 8);
    cell_head(out, row, column);
    out.f64(value);
}

void wq1_write_eof(ByteWriter& out) { record(out, LOTUS_EOF, 0); }

int16_t write_sheet_as_wq1(Sheet* sheet, const char* path) {
    if (!sheet || sheet->row_count < 1 || sheet->column_count < 1 || sheet->cols.size() < 2) return 0;
    if (sheet->row_count > WQ1_MAX_ROWS) {
        std::printf("Error: Spreadsheet has more rows than a Quattro file can handle (8192)!\n");
        return 0;
    }
    ByteWriter out(Endian::Little);
    if (!out.open(path)) {
        std::printf("Error: In Writing WQ1 File - could not open file: %.100s\n", path);
        return 0;
    }
    wq1_write_header(sheet->row_count, sheet->column_count - 1, out);
    if (!out.ok()) {
        std::printf("Error: In Write WQ1 File - could not write WQ1 file headers\n");
        return 0;
    }
    const double missing = sheet->missing;
    for (int32_t j = 0; j < sheet->column_count; ++j) {
        const Column& c = *sheet->cols[static_cast<size_t>(j) + 1];
        wq1_write_label(0, j, name_cell(c), out);
        size_t n = std::min(c.value_count(), static_cast<size_t>(sheet->row_count));
        for (size_t i = 0; i < n; ++i) {
            int32_t row = static_cast<int32_t>(i) + 1;
            if (c.is_text()) {
                std::string_view t = c.text.get(i);
                if (!t.empty()) wq1_write_label(row, j, t, out);
            } else if (c.type == VXS_FACTOR) {
                double v = c.num[i];
                if (!(v > missing)) continue;
                double k = std::floor(v + 0.5);
                if (c.origin == 0) {
                    wq1_write_number(row, j, v, out);
                } else if (c.origin == 1) {
                    if (k >= 1 && k <= static_cast<double>(c.levels.size()))
                        wq1_write_number(row, j, c.levels[static_cast<size_t>(k) - 1], out);
                } else if (k >= 1 && k <= static_cast<double>(c.labels.size())) {
                    wq1_write_label(row, j, c.labels[static_cast<size_t>(k) - 1], out);
                }
            } else if (vxs_is_number_type(c.type)) {
                if (c.num[i] > missing) wq1_write_number(row, j, c.num[i], out);
            }
        }
    }
    wq1_write_eof(out);
    return out.close() ? 1 : 0;
}
