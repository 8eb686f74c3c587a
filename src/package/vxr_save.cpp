// The package spreadsheet file (.VSH) writer, versions 1 to 3: a stream of native-order 32-bit
// integers, doubles and length-prefixed texts; and the missing-value test writers share.
#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_options.h"
#include "../sheet/byte_writer.h"
#include "../sheet/vxs_access.h"
#include "vxs_package.h"

int vxs_is_missing(double value) {
    if (!(value < -1e36)) return 0;
    if (value <= vxs_missing) return 1;
    uint64_t a = 0, b = 0;
    std::memcpy(&a, &value, sizeof a);
    std::memcpy(&b, &vxs_missing, sizeof b);
    const uint64_t low56 = (uint64_t{1} << 56) - 1;
    return (a & low56) == (b & low56) ? 1 : 0;
}

namespace {

// State of one save: the file version being written (1..3).
struct SaveState {
    int32_t version = 3;
};
SaveState g_save;

constexpr int32_t kRestrictionType = 21;

// Native-order output with the file's value and name conventions; the first failed write
// stops everything after it.
class VshWriter {
public:
    explicit VshWriter(FILE* f) : out_(std::endian::native == std::endian::big ? Endian::Big : Endian::Little) {
        out_.attach(f);
    }
    bool ok() const { return ok_ && out_.ok(); }
    void i32(int32_t v) {
        if (ok_) out_.i32(v);
    }
    void f64(double v) {
        if (ok_) out_.f64(v);
    }
    // Missing-mapped double: anything that counts as missing is written as vxs_missing.
    void value(double v) { f64(vxs_is_missing(v) ? vxs_missing : v); }
    void str(std::string_view s) {
        if (!ok_) return;
        i32(static_cast<int32_t>(s.size()));
        out_.bytes(s);
    }
    // A name must not be empty: its zero-length write counts as a short write.
    void name(std::string_view s) {
        if (s.empty()) {
            i32(0);
            ok_ = false;
            return;
        }
        str(s);
    }
    bool flush() { return out_.flush() && ok_; }

private:
    ByteWriter out_;
    bool ok_ = true;
};

int32_t clamp32(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

bool is_numeric_kind(int32_t type) {
    switch (type) {
        case 1: case 4: case 5: case 6: case 7: case 22: case -4: return true;
        default: return false;
    }
}

bool column_has_data(const Sheet* sheet, const Column* c) {
    return c->minimum > sheet->missing || c->maximum > sheet->missing;
}

// Rows written for a column: the walk along its cells and the row attributes together.
template <typename F>
void for_written_rows(const Sheet* sheet, const Column* c, bool omit, F&& f) {
    size_t n = std::min(c->value_count(), sheet->rows.size());
    for (size_t i = 0; i < n; ++i)
        if (!omit || !sheet->rows[i].empty) f(i);
}

size_t count_written_rows(const Sheet* sheet, const Column* c, bool omit) {
    size_t k = 0;
    for_written_rows(sheet, c, omit, [&](size_t) { ++k; });
    return k;
}

std::vector<std::string> description_lines(const Sheet* sheet) {
    if (!sheet->description_lines.empty()) return sheet->description_lines;
    std::vector<std::string> lines;
    if (sheet->description.empty()) return lines;
    size_t start = 0;
    while (start <= sheet->description.size()) {
        size_t end = sheet->description.find('\0', start);
        if (end == std::string::npos) end = sheet->description.size();
        lines.push_back(sheet->description.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool has_description(const Sheet* sheet) {
    return !sheet->description.empty() || !sheet->description_lines.empty();
}

void write_description(const Sheet* sheet, VshWriter& w) {
    std::vector<std::string> lines = description_lines(sheet);
    int32_t length = 0;
    for (size_t i = 0; i < lines.size(); ++i) length += static_cast<int32_t>(lines[i].size() + (i ? 1 : 0));
    if (lines.empty()) length = 0;
    w.i32(length);
    if (length < 1) return;
    w.i32(static_cast<int32_t>(lines.size()));
    for (const auto& l : lines) w.str(l);
}

// Returns false when the walk runs out of columns or breaks the units-column bound.
bool write_minmax(const Sheet* sheet, int32_t count, VshWriter& w) {
    w.i32(count);
    if (count < 1) return true;
    bool bounded = sheet->kind >= 2 && sheet->kind <= 4;
    if (sheet->kind == VXS_TABLE && sheet->table_dims >= 2) bounded = true;
    int32_t written = 0;
    for (size_t i = 1; i < sheet->cols.size(); ++i) {
        const Column* c = sheet->cols[i].get();
        int32_t number = static_cast<int32_t>(i);
        if (c->type == VXS_FACTOR || c->is_text()) continue;
        bool data = column_has_data(sheet, c);
        if (!data) {
            if (bounded && number >= sheet->units_count) return false;
            continue;
        }
        w.i32(number);
        w.value(c->minimum);
        w.value(c->maximum);
        if (++written >= count) return true;
        if (bounded && number >= sheet->units_count) return false;
    }
    return false;
}

void write_factor(Sheet* sheet, Column* c, bool omit, VshWriter& w) {
    bool margin = sheet->kind == VXS_TABLE && sheet->margins;
    int32_t levels = c->nlevels;
    // Present counts that disagree with the number of levels are brought into line first.
    if (!c->levels.empty() && c->levels_present() != levels)
        c->levels.resize(static_cast<size_t>(std::max(levels, 0)), vxs_missing);
    if (!c->labels.empty() && c->labels_present() != levels)
        c->labels.resize(static_cast<size_t>(std::max(levels, 0)));
    int32_t vp = c->levels_present(), bp = c->labels_present();
    int32_t extra = margin ? 1 : 0;
    w.i32(levels + extra);
    w.i32(vp > 0 ? vp + extra : 0);
    w.i32(bp > 0 ? bp + extra : 0);
    if (g_save.version >= 2) w.i32(c->origin);
    if (vp > 0) w.i32(c->decimals);
    if (bp > 0) {
        int32_t longest = 0;
        for (int32_t k = 0; k < bp && k < levels; ++k)
            longest = std::max(longest, static_cast<int32_t>(c->labels[static_cast<size_t>(k)].size()));
        c->longest_label = longest;
        w.i32(longest);
    }
    if (vp > 0) {
        for (double v : c->levels) w.value(v);
        if (margin) w.f64(static_cast<double>(vp + 1));
    }
    if (bp > 0) {
        for (const auto& l : c->labels) w.str(l);
        if (margin) w.str("Margin");
    }
    for_written_rows(sheet, c, omit, [&](size_t i) {
        double v = c->num[i];
        w.f64(v < 0.5 ? vxs_missing : v);
    });
}

void write_column(Sheet* sheet, Column* c, bool omit, VshWriter& w) {
    int32_t version = g_save.version;
    // Normalisations are kept in the column.
    if (c->is_text()) c->representation = VXS_REP_TEXT;
    if (c->representation < 1 || c->representation > 5) c->representation = VXS_REP_GENERAL;
    c->width = clamp32(c->width, 2, 90);
    if (c->justification < 0 || c->justification > 2) c->justification = 0;
    c->decimals = clamp32(c->decimals, -1, 18);

    bool table2 = sheet->kind == VXS_TABLE && sheet->table_dims >= 2;
    std::string_view name = c->name;
    if (table2 && (sheet->form_code == 2 || sheet->form_code == 3) && c->type == VXS_TABLE_BODY &&
        !c->alt_name.empty())
        name = c->alt_name;

    w.i32(c->type);
    w.i32(static_cast<int32_t>(count_written_rows(sheet, c, omit)));
    w.name(name);
    if (version >= 3) w.str(c->extra);
    int32_t rep = c->representation;
    if (version < 3 && rep == VXS_REP_DATE) rep = VXS_REP_GENERAL;
    w.i32(rep);
    int32_t width = c->width;
    if (version == 1) width = std::min(width, 40);
    if (version == 2) width = std::min(width, 60);
    w.i32(width);
    if (version >= 2) w.i32(c->justification);
    if (version >= 3) {
        w.i32(c->gregorian * 64 + c->date_format);
        int32_t flags = c->package_flags & 0xffff;
        if ((c->type == VXS_FACTOR || c->is_text()) && c->package_count > 0) flags += c->package_count << 8;
        w.i32(flags);
        w.i32(0);
    }

    if (c->is_text()) {
        int32_t longest = 0;
        for (size_t i = 0; i < c->text.size(); ++i)
            longest = std::max(longest, static_cast<int32_t>(c->text.get(i).size()));
        c->nlevels = longest;
        w.i32(longest);
        for_written_rows(sheet, c, omit, [&](size_t i) { w.str(c->text.get(i)); });
    } else if (c->type == VXS_FACTOR) {
        write_factor(sheet, c, omit, w);
    } else if (is_numeric_kind(c->type) || c->type == VXS_TABLE_BODY) {
        if (c->type == VXS_TABLE_BODY && table2 && sheet->form_code == 3) w.value(c->table_constant);
        w.i32(c->decimals);
        for_written_rows(sheet, c, omit, [&](size_t i) { w.value(c->num[i]); });
    }
}

void write_structure_block(const Sheet* sheet, VshWriter& w) {
    switch (sheet->kind) {
        case VXS_MATRIX:
        case VXS_SYMMATRIX:
            w.name(sheet->structure_name);
            w.i32(sheet->form_code);
            break;
        case VXS_TABLE: {
            w.i32(sheet->table_dims);
            if (g_save.version >= 3) {
                w.i32(sheet->margins);
                if (sheet->table_dims >= 2) w.i32(sheet->second_margins);
            }
            if (g_save.version < 3 || sheet->table_dims >= 2) {
                w.name(sheet->structure_name);
                w.i32(sheet->form_code);
                w.name(sheet->second_structure_name);
            }
            break;
        }
        default: break;
    }
}

}  // namespace

int32_t vxs_count_minmax(const Sheet* sheet) {
    if (!sheet || sheet->kind < 1 || sheet->kind > 6) return 0;
    bool per_column = sheet->kind == VXS_VECTOR || sheet->kind == VXS_SCALARS ||
                      (sheet->kind == VXS_TABLE && sheet->table_dims < 2);
    int32_t count = 0;
    if (per_column) {
        for (size_t i = 1; i < sheet->cols.size(); ++i) {
            const Column* c = sheet->cols[i].get();
            if (c->type != VXS_FACTOR && !c->is_text() && column_has_data(sheet, c)) ++count;
        }
        return count;
    }
    if (sheet->cols.size() > 1) {
        const Column* first = sheet->cols[1].get();
        if (first->type == VXS_UNITS_NUM && column_has_data(sheet, first)) ++count;
    }
    int32_t u = sheet->units_count;
    if (u >= 1 && static_cast<size_t>(u) < sheet->cols.size() && column_has_data(sheet, sheet->cols[static_cast<size_t>(u)].get()))
        ++count;
    return count;
}

int vxs_save_minmax(Sheet* sheet, int32_t count, FILE* stream) {
    if (!sheet || !stream) return 0;
    VshWriter w(stream);
    bool done = write_minmax(sheet, count, w);
    return w.flush() && done ? 1 : 0;
}

int vxs_save_spread_description(Sheet* sheet, FILE* stream) {
    if (!sheet || !stream) return 0;
    VshWriter w(stream);
    write_description(sheet, w);
    return w.flush() ? 1 : 0;
}

int16_t save_sheet(Sheet* sheet, const char* path) {
    if (!sheet || !path) return 0;
    g_save = SaveState{};
    g_save.version = std::clamp(vxs_options().version, 1, 3);
    const int32_t version = g_save.version;

    bool omit = vxs_get_global_defaults()->omit_empty && sheet->kind != VXS_SYMMATRIX;
    int32_t empty_columns = 0, empty_rows = 0;
    if (omit) {
        empty_columns = vxs_mark_empty_columns(sheet, 1);
        empty_rows = vxs_mark_empty_rows(sheet, 1);
        if (empty_columns == 0 && empty_rows == 0) omit = false;
    }
    int32_t columns = sheet->column_count - (omit ? empty_columns : 0);
    if (columns <= 0) return 0;

    FILE* f = vxs_create_output_file(path);
    if (!f) return 0;
    VshWriter w(f);

    int32_t rows = 0;
    for (size_t i = 0; i < sheet->rows.size(); ++i)
        if (!omit || !sheet->rows[i].empty) ++rows;
    bool restriction = sheet->restriction_present != 0;
    int32_t minmax = version >= 3 ? vxs_count_minmax(sheet) : 0;

    w.i32(version == 1 ? VXS_MAGIC_V1 : version == 2 ? VXS_MAGIC_V2 : VXS_MAGIC_V3);
    w.i32(sheet->kind);
    w.i32(columns + (restriction ? 1 : 0));
    w.i32(rows);
    w.f64(vxs_missing);
    if (version >= 2) w.i32(sheet->header_flag);
    if (version >= 3) {
        w.i32(sheet->header_word);
        w.i32((has_description(sheet) ? VXS_HAS_DESCRIPTION : 0) | (minmax > 0 ? VXS_HAS_MINMAX : 0));
        w.i32(0);
        w.i32(0);
    }
    write_structure_block(sheet, w);

    for (size_t i = 1; i < sheet->cols.size() && w.ok(); ++i) {
        Column* c = sheet->cols[i].get();
        if (c->type == VXS_ROW || (omit && c->empty)) continue;
        write_column(sheet, c, omit, w);
    }
    if (restriction && w.ok()) {
        w.i32(kRestrictionType);
        w.i32(rows);
        for (size_t i = 0; i < sheet->rows.size(); ++i)
            if (!omit || !sheet->rows[i].empty) w.i32(sheet->rows[i].restricted ? 1 : 0);
    }
    bool complete = true;
    if (version >= 3 && w.ok()) {
        if (has_description(sheet)) write_description(sheet, w);
        if (minmax > 0) complete = write_minmax(sheet, minmax, w);
    }
    bool ok = w.flush() && complete;
    if (std::fclose(f) != 0) ok = false;
    return ok ? 1 : 0;
}
