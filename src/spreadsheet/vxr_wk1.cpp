// Lotus 1-2-3 WK1 reader: the record stream into a cell store shaped by the RANGE record, and
// the conversion of such a store into the sheet that the Quattro DOS reader uses too.
#include "vxs_wk1.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "../sheet/byte_writer.h"
#include "../sheet/vxs_options.h"
#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_source.h"
#include "../sheet/vxs_strings.h"
#include "../package/vxs_package.h"
#include "../sheet/vxs_access.h"
#include "../sheet/vxs_conv.h"
#include "../sheet/vxs_sheet.h"
#include "../sheet/vxs_txtnum.h"
#include "../sheet/vxs_reader_kit.h"

bool LotusRecords::next(LotusRecord& rec) {
    if (file_.remaining() < 4) return false;
    ByteReader head = file_.window(4, Endian::Little);
    rec.code = head.u16();
    rec.len = head.u16();
    if (rec.len > file_.remaining() - 4) {
        file_.seek(file_.size());
        return false;
    }
    file_.consume(4);
    rec.body = file_.window(rec.len, Endian::Little).slice(0, rec.len);
    file_.consume(rec.len);
    return true;
}

bool lotus_range_fits(int64_t rows, int64_t cols) {
    if (rows <= 0 || cols <= 0) return true;
    uint64_t cells = static_cast<uint64_t>(rows) * static_cast<uint64_t>(cols);
    return (cells + 1) * 8 <= LOTUS_MAX_CELL_BYTES;
}

bool lotus_usable_number(double v) { return !std::isnan(v) && std::isfinite(v) && v > vxs_missing; }

std::string lotus_label_text(ByteReader body) {
    if (!body.has(1)) return {};
    body.skip(1);  // alignment prefix: ' " ^ or backslash
    std::string text(vxs_fixed_view(body.view(body.remaining()), VxsPad::Nul).substr(0, LOTUS_MAX_LABEL));
    if (vxs_get_global_defaults()->factor_strip_blanks) text = vxs_strip_blanks(text, LOTUS_MAX_LABEL);
    return text;
}

namespace {

// What a column's name asks for.
struct NamePlan {
    std::string name;
    int32_t format = 0;  // 2 exponent, 3 fixed decimals, 5 date
    int32_t decimals = -1;
    bool factor = false, variate = false, text = false;
};

bool take_format_suffix(NamePlan& p) {
    std::string& n = p.name;
    if (n.size() < 2 || n[n.size() - 2] != ':') return false;
    char s = n.back();
    if (s == 'd' || s == 'D') {
        p.format = 5;
    } else if (s == 'e' || s == 'E') {
        p.format = 2;
    } else if (s >= '0' && s <= '9') {
        p.format = 3;
        p.decimals = s - '0';
    } else {
        return false;
    }
    n.resize(n.size() - 2);
    return true;
}

// Suffixes are read at the very end of the name: a colon and a code character, or else one of
// "!", "#", "$". A factor's "!" may follow a format suffix (the WQ1 writer puts both on a
// factor with decimals), so that one is looked for again once the "!" is gone.
void read_suffixes(NamePlan& p) {
    if (take_format_suffix(p) || p.name.empty()) return;
    char last = p.name.back();
    if (last != '!' && last != '#' && last != '$') return;
    p.name.pop_back();
    p.factor = last == '!';
    p.variate = last == '#';
    p.text = last == '$';
    if (p.factor) take_format_suffix(p);
}

FILE* warnings_file() {
    if (!vxs_warn_out) {
        vxs_warn_out = vxs_create_output_file(vxs_warn_file);
        if (vxs_warn_out) std::fputs("Text to Number Conversion Warnings\n \n", vxs_warn_out);
    }
    return vxs_warn_out;
}

struct ColumnWork {
    int64_t col = 0;
    bool text = false;
    NamePlan plan;
};

}  // namespace

int lotus_store_to_sheet(VxsCellStore& st, const char* path, const std::string& page_letters) {
    if (!st.created() || st.used_last_row < st.used_first_row || st.used_last_col < st.used_first_col) return 0;
    const int64_t fc = st.used_first_col, lc = st.used_last_col, lr = st.used_last_row;
    int64_t fr = st.used_first_row;
    bool names = true;
    for (int64_t c = fc; c <= lc && names; ++c)
        if (st.kind(fr, c) == VXS_CELL_NUMBER) names = false;
    const int64_t name_row = fr;
    const int64_t first_data = names ? fr + 1 : fr;
    if (first_data > lr) return 0;
    const int64_t rows = lr - first_data + 1;

    // Columns first, so that a store without any value makes no sheet at all.
    std::vector<ColumnWork> work;
    bool over = false;
    for (int64_t c = fc; c <= lc; ++c) {
        int64_t values = 0;
        bool text = false;
        for (int64_t r = first_data; r <= lr; ++r) {
            int32_t k = st.kind(r, c);
            if (k == VXS_CELL_EMPTY) continue;
            ++values;
            if (k == VXS_CELL_TEXT && !text && !vxs_is_missing_text(std::string(st.text(r, c)).c_str())) text = true;
        }
        if (values == 0) continue;
        if (static_cast<int64_t>(work.size()) >= VXSMAXCOLUMNS) {
            over = true;
            break;
        }
        ColumnWork w;
        w.col = c;
        w.text = text;
        if (names && st.kind(name_row, c) == VXS_CELL_TEXT)
            w.plan.name = std::string(st.text(name_row, c).substr(0, VXS_MAX_NAME));
        work.push_back(std::move(w));
    }
    if (work.empty()) return 0;

    Sheet* sheet = create_sheet();
    sheet->missing = vxs_missing;
    sheet->row_count = static_cast<int32_t>(rows);
    create_row_attr(sheet);
    const double missing = sheet->missing;
    const VxsDefaults* defaults = vxs_get_global_defaults();

    for (ColumnWork& w : work) {
        NamePlan& p = w.plan;
        if (p.name.empty()) p.name = vxs_def_column_name(0);
        read_suffixes(p);
        bool text = (w.text || p.text) && !p.variate;
        Column* col = vxs_add_column(sheet, text ? VXS_TEXT : VXS_VARIATE, p.name, sheet->row_count, VXS_MAX_NAME);
        if (!col) break;
        for (int64_t r = first_data; r <= lr; ++r) {
            size_t i = static_cast<size_t>(r - first_data);
            int32_t k = st.kind(r, w.col);
            if (text) {
                if (k == VXS_CELL_NUMBER) {
                    char buf[64];
                    std::snprintf(buf, sizeof buf, "%.12g", st.number(r, w.col));
                    col->text.set(i, buf);
                } else if (k == VXS_CELL_TEXT) {
                    std::string_view t = st.text(r, w.col);
                    if (p.factor && stricmp(std::string(t).c_str(), vxs_options().xls_mv.c_str()) == 0) t = {};
                    col->text.set(i, t);
                }
                continue;
            }
            if (k == VXS_CELL_NUMBER) {
                col->num[i] = std::min(st.number(r, w.col), VXS_NUM_CEILING);
            } else if (k == VXS_CELL_TEXT) {
                std::string t(st.text(r, w.col));
                if (vxs_is_missing_text(t.c_str())) continue;
                int16_t changed = 0;
                double v = vxs_spread_read_num_from_text(t.c_str(), missing, &changed);
                col->num[i] = v;
                if (changed && warnings_file()) {
                    std::string cell = vxs_column_letters(w.col) + std::to_string(r + 1);
                    if (v > missing)
                        std::fprintf(vxs_warn_out, "Column %s Row %4li (From Cell %s): %s read as %.12g\n", col->name.c_str(),
                                     static_cast<long>(i + 1), cell.c_str(), t.c_str(), v);
                    else
                        std::fprintf(vxs_warn_out, "Column %s Row %4li (From Cell %s): %s read as *\n", col->name.c_str(),
                                     static_cast<long>(i + 1), cell.c_str(), t.c_str());
                }
            }
        }
        if (!text && p.format) {
            col->representation = p.format;
            if (p.format == 3) col->decimals = p.decimals;
            if (p.format == 5) col->date_format = 2;
        }
        if (p.factor) {
            if (text)
                convert_text_to_factor(col, defaults->factor_ignore_case, defaults->factor_strip_blanks);
            else
                convert_variate_to_factor(col, 1);
        }
        vxs_set_default_column_width(col, 0);
        st.release_column(w.col);
    }
    if (over) std::printf("Warning Columns above %li NOT transfered!\n", static_cast<long>(VXSMAXCOLUMNS));

    char line[1200];
    std::snprintf(line, sizeof line, "Data read from %s - %s:%s%li..%s%li", path, page_letters.c_str(),
                  vxs_column_letters(fc).c_str(), static_cast<long>(fr + 1), vxs_column_letters(lc).c_str(),
                  static_cast<long>(lr + 1));
    vxs_source = std::string(line).substr(0, 499);
    std::printf("%s\n", vxs_source.c_str());
    return 1;
}

namespace {

// Cells of a WK1 record: format byte, column, row, then the value.
constexpr size_t kCellHead = 5;

}  // namespace

int16_t read_wk1_into_sheet(const char* path) {
    VxsSource src;
    if (!src.open_file(path)) return 0;
    return read_wk1_source(src);
}

int16_t read_wk1_source(VxsSource& src) {
    const std::string name = src.name();
    const char* path = name.c_str();
    auto file = std::make_unique<BlockFile>();
    if (!file->open(std::move(src))) return 0;
    LotusRecords recs(*file);
    LotusRecord rec;
    VxsCellStore store;
    bool range_seen = false, first = true;
    while (recs.next(rec)) {
        if (first && rec.code != LOTUS_BOF) return 0;
        first = false;
        if (rec.len > WK1_MAX_RECORD || rec.code > WK1_MAX_CODE) return 0;
        ByteReader& b = rec.body;
        if (rec.code == LOTUS_EOF) break;
        if (rec.code == LOTUS_RANGE) {
            if (range_seen) continue;
            if (rec.len < 8) return 0;
            int64_t fc = b.u16(), fr = b.u16(), lc = b.u16(), lr = b.u16();
            if (!lotus_range_fits(lr - fr + 1, lc - fc + 1))
                vxs_fatal("Error: Too much data in Lotus file for Morvalen to handle!\n", 9);
            range_seen = true;
            store.create(fr, lr, fc, lc);
            continue;
        }
        if (rec.code < LOTUS_INTEGER || rec.code > LOTUS_FORMULA) continue;
        if (!range_seen) return 0;
        b.skip(1);
        int64_t col = b.u16(), row = b.u16();
        switch (rec.code) {
            case LOTUS_INTEGER:
                if (rec.len < kCellHead + 2) return 0;
                store.put_number(row, col, b.i16());
                break;
            case LOTUS_NUMBER:
            case LOTUS_FORMULA: {
                if (rec.len < kCellHead + 8) return 0;
                double v = b.f64();
                if (lotus_usable_number(v)) store.put_number(row, col, v);
                break;
            }
            case LOTUS_LABEL:
                if (rec.len < kCellHead) return 0;
                if (b.has(1)) store.put_text(row, col, lotus_label_text(b.sub(b.remaining())));
                break;
        }
    }
    if (!store.created()) return 0;
    file.reset();  // its block buffer is not needed while the sheet is made
    return static_cast<int16_t>(lotus_store_to_sheet(store, path, "A"));
}
