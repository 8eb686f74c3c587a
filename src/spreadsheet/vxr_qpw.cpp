// Quattro Pro for Windows reader: pages, page names, string tables and named ranges from the
// record stream, the choice of one page or range, and that page's cells into the cell store
// that the spreadsheet conversion turns into the sheet.
#include "vxs_qpw.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_source.h"
#include "../sheet/vxs_options.h"
#include "../sheet/vxs_strings.h"
#include "../sheet/vxs_sheet.h"
#include "../sheet/vxs_txtnum.h"
#include "vxs_cdf.h"
#include "vxs_wk1.h"
#include "vxs_xls.h"

namespace {

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// A name of 8-bit or 16-bit characters; of 16-bit ones the first (low) byte is kept.
std::string read_name(ByteReader& b, size_t count, bool wide) {
    std::string s;
    size_t width = wide ? 2 : 1;
    count = std::min(count, b.remaining() / width);
    for (size_t i = 0; i < count; ++i) {
        char c = static_cast<char>(b.u8());
        if (wide) b.u8();
        if (s.size() < QPW_MAX_NAME) s.push_back(c);
    }
    return s;
}

struct Cell {
    int64_t row, col;
    double value;
    int64_t string = -1;  // index into the string tables, or -1 for a number
};

struct Notebook {
    std::vector<std::string> strings;
    std::vector<Cell> cells;  // of the selected page, inside the selection
};

bool is_bof(const LotusRecord& rec) {
    if (rec.code != QPW_BOF || rec.len != QPW_BOF_LENGTH) return false;
    std::string sig = rec.body.slice(0, 4).str(4);
    return strnicmp(sig.c_str(), "QPW", 3) == 0 && sig[3] == '\0';
}

void read_strings(ByteReader b, std::vector<std::string>& out) {
    uint32_t count = b.u32();
    b.skip(QPW_STRINGS_HEAD - 4);
    // Each string takes at least its length field.
    uint64_t fits = b.remaining() / 2;
    if (count > fits) count = static_cast<uint32_t>(fits);
    out.reserve(out.size() + count);
    const bool strip = vxs_get_global_defaults()->factor_strip_blanks != 0;
    for (uint32_t i = 0; i < count && b.has(2); ++i) {
        uint16_t len = b.u16();
        std::string s(b.view(std::min<size_t>(len, b.remaining())));
        if (s.size() > QPW_MAX_TEXT) s.resize(QPW_MAX_TEXT);
        if (strip) s = vxs_strip_blanks(s, QPW_MAX_TEXT);
        out.push_back(std::move(s));
    }
}

void read_named_range(ByteReader b, VxsSelection& sel) {
    uint16_t len = b.u16();
    bool wide = (b.u8() & 1) != 0;
    std::string name = read_name(b, len, wide);
    uint16_t first_page = b.u16();
    int32_t first_col = b.u16();
    uint32_t first_row = b.u32();
    uint16_t last_page = b.u16();
    int32_t last_col = b.u16();
    uint32_t last_row = b.u32();
    if (!b.ok() || first_page != last_page) return;
    VxsRangeEntry e;
    e.name = upper(name);
    e.sheet_number = first_page;
    e.first_col = first_col;
    e.last_col = last_col;
    e.first_row = static_cast<int32_t>(std::min<uint32_t>(first_row, INT32_MAX));
    e.last_row = static_cast<int32_t>(std::min<uint32_t>(last_row, INT32_MAX));
    sel.ranges.push_back(e);
}

// Pass over the records. Without a page to read (page < 0) it gathers pages, names and
// strings; with one it keeps that page's cells inside the selection. 0 on a missing BOF, -1 on
// a password, 1 otherwise.
int read_records(BlockFile& file, VxsSelection& sel, int64_t page, Notebook& nb) {
    LotusRecords recs(file);
    LotusRecord rec;
    if (!recs.next(rec) || !is_bof(rec)) return 0;
    if (page < 0) {
        ByteReader b = rec.body;
        b.skip(4 + 2 + 6);
        uint16_t pages = b.u16();
        for (uint16_t p = 0; p < pages; ++p) sel.sheets.push_back({vxs_column_letters(p), 0, p});
    }
    int64_t current = -1;
    while (recs.next(rec)) {
        ByteReader& b = rec.body;
        switch (rec.code) {
            case QPW_PASSWORD:
                return -1;
            case QPW_STRINGS:
                if (page < 0 && rec.len >= QPW_STRINGS_HEAD) read_strings(b, nb.strings);
                break;
            case QPW_PAGE_START: {
                if (rec.len < QPW_PAGE_HEAD) break;
                current = b.u16();
                b.skip(QPW_PAGE_HEAD - 2);
                if (page >= 0 || !b.has(3)) break;
                uint16_t len = b.u16();
                bool wide = (b.u8() & 1) != 0;
                std::string name = upper(read_name(b, len, wide));
                for (auto& s : sel.sheets)
                    if (s.number == current && !name.empty()) s.name = name;
                break;
            }
            case QPW_PAGE_END:
                current = -1;
                break;
            case QPW_NAMED_RANGE:
                if (page < 0) read_named_range(b, sel);
                break;
            case QPW_LABEL_CELL:
            case QPW_RK_CELL:
            case QPW_NUMBER_CELL:
            case QPW_FORMULA_CELL: {
                if (page < 0 || current != page || rec.len < QPW_CELL_HEAD) break;
                Cell c;
                c.col = b.u16();
                c.row = b.u32();
                b.u16();  // format
                if (c.row >= QPW_MAX_ROWS || c.col >= QPW_MAX_COLUMNS) break;
                if (c.col < sel.first_col || c.col > sel.last_col || c.row < sel.first_row || c.row > sel.last_row) break;
                if (rec.code == QPW_LABEL_CELL) {
                    if (!b.has(4)) break;
                    uint32_t index = b.u32();
                    if (index >= nb.strings.size() || nb.strings[index].empty()) break;
                    c.string = index;
                    c.value = 0;
                } else if (rec.code == QPW_RK_CELL) {
                    if (!b.has(4)) break;
                    c.value = convert_rk_to_double(b.u32());
                } else {
                    if (!b.has(8)) break;
                    c.value = b.f64();
                }
                if (c.string < 0 && !lotus_usable_number(c.value)) break;
                nb.cells.push_back(c);
                break;
            }
            default:
                break;
        }
    }
    return 1;
}

}  // namespace

void vxs_set_qpw_file(const char* path) { vxs_set_container_file(path); }

int16_t read_qpw_into_sheet(const char* path) {
    VxsSource src;
    src.open_file(path);
    return read_qpw_source(src);
}

int16_t read_qpw_source(VxsSource& src) {
    // A notebook handed over from a compound document is shown under the user's name.
    const std::string shown = vxs_take_shown_name(src.name());
    BlockFile file;
    if (!src.is_open() || !file.open(std::move(src))) return 0;

    VxsSelection* sel = xls_selection();
    *sel = VxsSelection{};
    sel->logbook = vxs_options().logbook_in_format;
    // Quattro Pro for Windows pages run past Excel's 65536 rows.
    sel->last_row = QPW_MAX_ROWS - 1;
    Notebook nb;
    int state = read_records(file, *sel, -1, nb);
    if (state == 0) return 0;
    if (state < 0) {
        std::printf("Quattro File is Password protected - cannot read data.\n");
        return 1;
    }
    if (vxs_options().name_dump) vxs_fatal(xls_name_listing(shown.c_str(), *sel).c_str(), 0);
    if (sel->sheets.empty()) return 0;

    const VxsSheetEntry* sheet = xls_choose_sheet(sel);
    if (!sheet) return 1;
    read_records(file, *sel, sheet->number, nb);
    if (nb.cells.empty()) return 1;

    int64_t fr = INT64_MAX, lr = -1, fc = INT64_MAX, lc = -1;
    for (const Cell& c : nb.cells) {
        fr = std::min(fr, c.row);
        lr = std::max(lr, c.row);
        fc = std::min(fc, c.col);
        lc = std::max(lc, c.col);
    }
    uint64_t cells = static_cast<uint64_t>(lr - fr + 1) * static_cast<uint64_t>(lc - fc + 1);
    if ((cells + 8) * 8 > QPW_MAX_CELL_BYTES)
        vxs_fatal("Error: Too much data in Quattro file for Morvalen to handle!\n", 9);
    VxsCellStore store;
    if (!store.create(fr, lr, fc, lc)) vxs_fatal("Error: Not enough memory to read data!\n", 8);
    for (const Cell& c : nb.cells) {
        if (c.string >= 0)
            store.put_text(c.row, c.col, nb.strings[static_cast<size_t>(c.string)]);
        else
            store.put_number(c.row, c.col, c.value);
    }
    std::vector<Cell>().swap(nb.cells);
    return static_cast<int16_t>(
        vxs_create_sheet_from_store(sel, shown.c_str(), vxs_column_letters(sheet->number).c_str(), store, VXT_QPW));
}
