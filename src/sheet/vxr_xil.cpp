// Sheet access, naming and editing: lookups by position and name, valid and unique column
// names, deleting, inserting and moving columns and rows, empty rows and columns, decimals,
// widths, description lines and the distinct-value test.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "vxs_access.h"
#include "vxs_dates.h"
#include "vxs_txtnum.h"

namespace {

// Run-wide counters for generated name suffixes: the quoted one is increased before use, the
// index one is used then increased and wraps back to 1 at 100.
int32_t g_quoted_suffix = 0;
int32_t g_index_suffix = 1;

int32_t next_index_suffix() {
    int32_t v = g_index_suffix++;
    if (g_index_suffix >= 100) g_index_suffix = 1;
    return v;
}

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_name_char(char c) { return is_letter(c) || is_digit(c) || c == '%' || c == '[' || c == ']' || c == '_'; }

bool has_cells(int32_t type) {
    switch (type) {
        case VXS_UNITS_NUM: case VXS_UNITS_TEXT: case VXS_ROW: case VXS_SCALAR: case VXS_FACTOR:
        case VXS_TEXT: case VXS_VARIATE: case VXS_MATRIX_COL: case VXS_NUMERIC6:
        case VXS_SYMMAT_COL: case VXS_TABLE_BODY: case VXS_NUMERIC22:
            return true;
        default: return false;
    }
}

bool is_units(int32_t type) { return type == VXS_UNITS_NUM || type == VXS_UNITS_TEXT; }

void clamp_positions(Sheet* s) {
    if (s->current_column_position > s->column_count) s->current_column_position = s->column_count;
    if (s->current_row_position > s->row_count) s->current_row_position = s->row_count;
    if (s->current_column_position < 0) s->current_column_position = 0;
    if (s->current_row_position < 0) s->current_row_position = 0;
}

// Whether a column holds data in cell i.
bool cell_has_data(const Column* c, size_t i, double missing) {
    if (c->is_text()) return i < c->text.size() && !c->text.get(i).empty();
    return i < c->num.size() && c->num[i] > missing;
}

// Rows with data, by the empty-row rule; returns one flag per row. Columns are looked at only
// while some row has shown no data yet: usually the first full column settles every row.
std::vector<char> rows_with_data(const Sheet* s) {
    const size_t n = static_cast<size_t>(std::max(s->row_count, 0));
    std::vector<char> has(n, 0);
    size_t left = n;  // rows with no data found so far
    auto found = [&](size_t i) {
        left -= has[i] == 0;
        has[i] = 1;
    };
    size_t stop = 0;  // rows below this are no longer looked at (symmetric-matrix columns)
    for (size_t pos = 1; pos < s->cols.size() && left > 0; ++pos) {
        const Column* c = s->cols[pos].get();
        if (is_units(c->type)) continue;
        if (c->type == VXS_SYMMAT_COL) {
            // Column k past the units columns starts at row k.
            size_t k = pos > static_cast<size_t>(s->units_count) ? pos - static_cast<size_t>(s->units_count) : 0;
            stop = std::max(stop, k);
            for (size_t i = 0; i < c->num.size() && k + i < n; ++i)
                if (c->num[i] > s->missing) found(k + i);
            continue;
        }
        if (c->type == VXS_TEXT) {
            for (size_t i = stop; i < n && i < c->text.size(); ++i)
                if (!c->text.get(i).empty()) found(i);
        } else if (!c->is_text()) {
            for (size_t i = stop; i < n && i < c->num.size(); ++i)
                if (c->num[i] > s->missing) found(i);
        }
    }
    return has;
}

int32_t mark_rows_plain(Sheet* s) {
    std::vector<char> has = rows_with_data(s);
    int32_t count = 0;
    for (size_t i = 0; i < s->rows.size(); ++i) {
        s->rows[i].empty = (i < has.size() && has[i]) ? 0 : 1;
        count += s->rows[i].empty;
    }
    return count;
}

int32_t mark_columns_plain(Sheet* s) {
    int32_t count = 0;
    for (size_t pos = 1; pos < s->cols.size(); ++pos) {
        Column* c = s->cols[pos].get();
        bool data = false;
        for (size_t i = 0, n = c->value_count(); i < n && !data; ++i) data = cell_has_data(c, i, s->missing);
        c->empty = data ? 0 : 1;
        count += c->empty;
    }
    return count;
}

// Symmetric matrices: row i and the column at units-column count + i stay empty only together.
int32_t cross_mark(Sheet* s) {
    const size_t units = static_cast<size_t>(std::max(s->units_count, 0));
    int32_t pairs = 0;
    for (size_t i = 0; i < s->rows.size(); ++i) {
        Column* partner = units + i < s->cols.size() ? s->cols[units + i].get() : nullptr;
        bool both = s->rows[i].empty && partner && partner->empty;
        s->rows[i].empty = both ? 1 : 0;
        pairs += both;
    }
    for (size_t pos = 1; pos < s->cols.size(); ++pos) {
        Column* c = s->cols[pos].get();
        size_t row = pos >= units ? pos - units : s->rows.size();
        if (row >= s->rows.size() || !s->rows[row].empty) c->empty = 0;
    }
    return pairs;
}

// Digits a value needs after the point, at most 12.
int32_t decimals_needed(double v) {
    if (v == std::floor(v) && std::fabs(v) < 1e15) return 0;
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.12f", v);
    const char* dot = std::strchr(buf, '.');
    if (!dot) return 0;
    size_t end = std::strlen(buf);
    while (end > static_cast<size_t>(dot - buf) + 1 && buf[end - 1] == '0') --end;
    return static_cast<int32_t>(end - static_cast<size_t>(dot - buf) - 1);
}

}  // namespace

void vxs_reset_name_counters() {
    g_quoted_suffix = 0;
    g_index_suffix = 1;
}

Column* get_column(Sheet* sheet, int32_t position) {
    if (!sheet || position < 0 || static_cast<size_t>(position) >= sheet->cols.size()) return nullptr;
    Column* c = sheet->cols[static_cast<size_t>(position)].get();
    return c->position == position ? c : nullptr;
}

Column* get_column_from_name(Sheet* sheet, std::string& name) {
    size_t b = name.find_first_not_of(' ');
    if (b == std::string::npos) {
        name.clear();
        return nullptr;
    }
    name = name.substr(b, name.find_last_not_of(' ') - b + 1);
    if (!sheet) return nullptr;
    const size_t span = name.find('[') != std::string::npos ? name.size() : 8;
    for (auto& c : sheet->cols)
        if (std::strncmp(c->name.c_str(), name.c_str(), span) == 0) return c.get();
    return nullptr;
}

RowAttr* get_row_attr(Sheet* sheet, int32_t row) {
    if (!sheet || row < 0 || static_cast<size_t>(row) >= sheet->rows.size()) return nullptr;
    return &sheet->rows[static_cast<size_t>(row)];
}

double* get_row_pointer(Column* column, int32_t row) {
    if (!column || !has_cells(column->type) || column->is_text()) return nullptr;
    if (row < 0 || static_cast<size_t>(row) >= column->num.size()) return nullptr;
    return &column->num[static_cast<size_t>(row)];
}

void vxs_def_column_name(char* buffer, int32_t n) {
    std::string s = vxs_def_column_name(n);
    std::memcpy(buffer, s.c_str(), s.size() + 1);
}

std::string vxs_def_column_name(int32_t n) {
    VxsDefaults* d = vxs_get_global_defaults();
    if (n < 1) n = ++d->colno;
    if (d->suffixed_ids) return d->name_prefix.substr(0, 8) + "[" + std::to_string(n) + "]";
    return d->name_prefix.substr(0, 6) + std::to_string(n);
}

void make_valid_vantrix_name(char* name) {
    if (!name) return;
    std::string s(name);
    make_valid_vantrix_name(s);
    std::memcpy(name, s.c_str(), s.size() + 1);
}

void make_valid_vantrix_name(std::string& name) {
    constexpr size_t npos = std::string::npos;
    std::string s = vxs_strip_blanks(name, name.size());
    if (s.size() > VXS_MAX_NAME) s.resize(VXS_MAX_NAME);
    // A name of blanks only is as good as none.
    if (s.empty() || s == " ") {
        name = vxs_def_column_name(0);
        return;
    }
    const bool need_percent = !(is_letter(s[0]) || s[0] == '_' || s[0] == '%');
    const bool ended_underscore = s.back() == '_';

    // Characters the package does not accept become '_'; quotes survive only as part of a
    // quoted suffix, i.e. once one has been seen next to a bracket.
    bool quote_kept = false;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\'') {
            bool next_to_bracket = i > 0 && (s[i - 1] == '[' || (i + 1 < s.size() && s[i + 1] == ']'));
            if (i > 0 && (quote_kept || next_to_bracket)) {
                quote_kept = true;
                continue;
            }
            s[i] = '_';
        } else if (!is_name_char(c)) {
            s[i] = '_';
        }
    }
    if (need_percent) {
        if (s.size() >= 39) s.resize(39);
        s.insert(s.begin(), '%');
    }
    // Runs of '_' after the first character shrink to one.
    std::string t;
    t.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (i > 0 && s[i] == '_' && t.size() >= 2 && t.back() == '_') continue;
        t.push_back(s[i]);
    }
    s.swap(t);
    if (s.size() >= 2 && s.back() == '_' && !ended_underscore) s.pop_back();

    // A quoted suffix becomes a numbered one.
    size_t q = s.find('\'');
    if (quote_kept && q != npos && (s.find('\'', q + 1) != npos || q < 37))
        s = s.substr(0, q) + std::to_string(++g_quoted_suffix) + "]";

    size_t lb = s.find('['), rb = s.find(']');
    if (lb != npos) {
        if (rb == npos) {
            if (s.size() < VXS_MAX_NAME) s.push_back(']');
            else s[lb] = '_';
        } else if (rb == lb + 1) {
            s.erase(lb, 2);
        } else if (rb < lb) {
            std::swap(s[lb], s[rb]);
        }
        rb = s.find(']');
        if (rb != npos) s.resize(rb + 1);
    } else if (rb != npos) {
        s[rb] = '_';
    }

    lb = s.find('[');
    if (lb != npos) {
        rb = s.find(']', lb + 1);
        if (rb == npos) {
            s.resize(lb);
        } else if (s[lb + 1] != '\'') {
            std::string digits;
            for (size_t i = lb + 1; i < rb; ++i)
                if (is_digit(s[i])) digits.push_back(s[i]);
            if (digits.empty()) digits = std::to_string(next_index_suffix());
            s = s.substr(0, lb + 1) + digits + "]";
        } else if (s[rb - 1] == '\'' || rb >= 37) {
            s = s.substr(0, lb + 1) + std::to_string(next_index_suffix()) + "]";
        } else {
            s.insert(rb, 1, '\'');
        }
    } else {
        // A stray ']' left by the steps above is no suffix.
        std::replace(s.begin(), s.end(), ']', '_');
    }
    // A suffix that grew past 40 characters shortens the name before it, not the suffix.
    if (s.size() > VXS_MAX_NAME && (lb = s.find('[')) != npos && lb > s.size() - VXS_MAX_NAME)
        s.erase(lb - (s.size() - VXS_MAX_NAME), s.size() - VXS_MAX_NAME);
    if (s.size() > VXS_MAX_NAME) s.resize(VXS_MAX_NAME);
    // A quote left outside a bracketed suffix (a lone one near the 40-character end) is no
    // part of a valid name.
    lb = s.find('[');
    for (size_t i = 0; i < s.size() && (lb == npos || i < lb); ++i)
        if (s[i] == '\'') s[i] = '_';
    if (s.empty() || s == "_") s = vxs_def_column_name(0);
    name = s;
}

namespace {

// The part of a name that counts for uniqueness: its first 8 characters before any '[', and
// the whole suffix from the '['.
struct NameKey {
    std::string stem;
    std::string suffix;
    std::string full() const { return stem + suffix; }
};

NameKey key_of(const std::string& name) {
    NameKey k;
    k.stem = name.substr(0, 8);
    size_t p = k.stem.find('[');
    if (p != std::string::npos) k.stem.resize(p);
    size_t b = name.find('[');
    if (b != std::string::npos) k.suffix = name.substr(b);
    return k;
}

// Earlier keys. An element of a suffixed name (X[1]) clashes with a plain name equal to its
// stem (X), as well as with an equal key.
struct KeySet {
    std::unordered_set<std::string> full, plain, stems;
    bool clashes(const NameKey& k) const {
        if (full.count(k.full())) return true;
        if (k.suffix.empty()) return stems.count(k.stem) > 0;
        return plain.count(k.stem) > 0;
    }
    void add(const NameKey& k) {
        full.insert(k.full());
        if (k.suffix.empty()) plain.insert(k.stem);
        else stems.insert(k.stem);
    }
};

}  // namespace

void vxs_make_unique_column_names(Sheet* sheet) {
    if (!sheet) return;
    bool fits = sheet->kind == VXS_VECTOR || sheet->kind == VXS_SCALARS ||
                (sheet->kind == VXS_TABLE && sheet->table_dims <= 1);
    if (!fits) return;
    KeySet seen;
    // Where the search for a free number of a stem last ended: keys are only ever added, so
    // every number below it still clashes, and 2,000 clashing names stay linear.
    std::unordered_map<std::string, int32_t> resume;
    for (size_t pos = 1; pos < sheet->cols.size(); ++pos) {
        Column* c = sheet->cols[pos].get();
        NameKey key = key_of(c->name);
        if (!seen.clashes(key)) {
            seen.add(key);
            continue;
        }
        std::string stem = key.stem;
        int32_t k = 1;
        const size_t n = stem.size();
        if (n < 3) {
            stem.push_back('_');
        } else if (n <= 5) {
            if (stem[n - 2] == '_' && is_digit(stem[n - 1])) {
                k = stem[n - 1] - '0';
                stem.pop_back();
            } else if (stem[n - 1] != '_') {
                stem.push_back('_');
            }
        }
        NameKey cand;
        cand.suffix = key.suffix;
        const std::string search = stem + '\x01' + key.suffix + '\x01' + std::to_string(k);
        if (auto it = resume.find(search); it != resume.end()) k = it->second;
        for (;; ++k) {
            // 7 characters and one digit, 6 and two, ...: the number always falls within the
            // 8 significant characters, or 1,000 clashing names would end in duplicates.
            std::string digits = std::to_string(k);
            size_t keep = digits.size() < 8 ? 8 - digits.size() : 0;
            cand.stem = stem.substr(0, keep) + digits;
            if (!seen.clashes(cand)) break;
        }
        seen.add(cand);
        resume[search] = k + 1;
        std::string old = c->name;
        c->name = cand.full().substr(0, VXS_MAX_NAME);
        std::string note(1, ' ');
        if (c->extra.empty()) {
            note.append(old, 0, 39);
            c->extra = note;
        } else {
            long room = 40 - static_cast<long>(c->extra.size());
            if (room > 0 && room + 3 < static_cast<long>(old.size())) {
                note.append(old).append(": ").append(c->extra);
                note.resize(std::min<size_t>(note.size(), 40));
                c->extra = note;
            }
        }
    }
}

int32_t vxs_mark_empty_rows(Sheet* sheet, int cross) {
    if (!sheet) return 0;
    int32_t count = mark_rows_plain(sheet);
    if (cross && sheet->kind == VXS_SYMMATRIX && count > 0) {
        mark_columns_plain(sheet);
        return cross_mark(sheet);
    }
    return count;
}

int32_t vxs_mark_empty_columns(Sheet* sheet, int cross) {
    if (!sheet) return 0;
    int32_t count = mark_columns_plain(sheet);
    if (cross && sheet->kind == VXS_SYMMATRIX && count > 0) {
        mark_rows_plain(sheet);
        return cross_mark(sheet);
    }
    return count;
}

void vxs_delete_empty_rows(Sheet* sheet) {
    if (!sheet || sheet->kind == VXS_SCALARS) return;
    vxs_mark_empty_rows(sheet, 1);
    if (sheet->kind == VXS_SYMMATRIX) {
        // Deleting a row there also deletes its column; such sheets are small, go one by one.
        for (int32_t i = 0; i < sheet->row_count;) {
            if (sheet->rows[static_cast<size_t>(i)].empty && sheet->row_count > 1 &&
                vxs_delete_row(sheet, i, 1, 0, 0))
                continue;
            ++i;
        }
        return;
    }
    // Same result as deleting the flagged rows front to back while more than one remains,
    // compacted in one pass: either every empty row goes, or (all empty) all but the last.
    const size_t n = sheet->rows.size();
    if (n < 2) return;
    std::vector<char> drop(n, 0);
    size_t empties = 0;
    for (size_t i = 0; i < n; ++i) empties += sheet->rows[i].empty ? 1 : 0;
    if (empties == 0) return;
    for (size_t i = 0; i < n; ++i) drop[i] = sheet->rows[i].empty ? 1 : 0;
    if (empties == n) drop[n - 1] = 0;
    for (auto& cp : sheet->cols) {
        Column* c = cp.get();
        if (c->type == VXS_SCALAR || c->value_count() == 0) continue;
        if (c->is_text()) {
            TextCells kept;
            size_t m = c->text.size();
            kept.reserve(m, 0);
            for (size_t i = 0; i < m; ++i)
                if (i >= n || !drop[i]) kept.push_back(c->text.get(i));
            c->text = std::move(kept);
        } else {
            size_t w = 0;
            for (size_t i = 0; i < c->num.size(); ++i)
                if (i >= n || !drop[i]) c->num[w++] = c->num[i];
            c->num.resize(w);
        }
        if (c->value_count() == 0) free_memory(c, c->type);
    }
    size_t w = 0;
    for (size_t i = 0; i < n; ++i) {
        if (drop[i]) {
            if (sheet->rows[i].restricted) sheet->restricted_count--;
            continue;
        }
        sheet->rows[w++] = sheet->rows[i];
    }
    sheet->rows.resize(w);
    sheet->row_count = static_cast<int32_t>(w);
    if (sheet->restricted_count <= 0) {
        sheet->restricted_count = 0;
        sheet->restriction_present = 0;
    }
    clamp_positions(sheet);
}

int remove_column(Column* column) {
    if (!column || !column->sheet) return 0;
    Sheet* s = column->sheet;
    auto it = std::find_if(s->cols.begin(), s->cols.end(), [&](auto& p) { return p.get() == column; });
    if (it == s->cols.end() || it == s->cols.begin()) return 0;  // "Row" always stays first
    s->removed.push_back(std::move(*it));
    s->cols.erase(it);
    s->column_count--;
    renumber_columns(s);
    return 1;
}

int vxs_delete_column(Column* column, int row_flag) {
    if (!column || !column->sheet || column->type == VXS_ROW) return 0;
    Sheet* s = column->sheet;
    const int32_t type = column->type;
    const int32_t pos = column->position;
    if (!remove_column(column)) return 0;
    if (is_units(type) || (type == VXS_FACTOR && s->kind == VXS_TABLE && s->table_dims >= 2)) {
        s->units_count--;
        if (s->kind == VXS_SYMMATRIX) s->form_code = 0;
    }
    clamp_positions(s);
    if (row_flag && type == VXS_SYMMAT_COL) {
        if (pos > s->units_count) vxs_delete_row(s, pos - s->units_count, 0, 0, 0);
        else if (s->row_count > 0) s->row_count--;
    }
    if ((s->kind == VXS_MATRIX || s->kind == VXS_SYMMATRIX) && s->form_code == 0) renumber_column_headings(s);
    // Deleted columns are not needed again; free them.
    auto it = std::find_if(s->removed.begin(), s->removed.end(), [&](auto& p) { return p.get() == column; });
    if (it != s->removed.end()) s->removed.erase(it);
    return 1;
}

int vxs_delete_row(Sheet* sheet, int32_t row, int column_flag, int, int) {
    if (!sheet || sheet->kind == VXS_SCALARS || sheet->row_count < 2 || row < 0 || row >= sheet->row_count)
        return 0;
    if (sheet->kind == VXS_SYMMATRIX) {
        const size_t units = static_cast<size_t>(std::max(sheet->units_count, 0));
        for (size_t pos = 0; pos < sheet->cols.size(); ++pos) {
            Column* c = sheet->cols[pos].get();
            if (pos < units) {
                remove_row_item(c, row);
                continue;
            }
            int32_t j = static_cast<int32_t>(pos - units);
            if (j > row || (j == row && !column_flag)) break;
            remove_row_item(c, c->type == VXS_SYMMAT_COL ? row - j : row);
        }
    } else {
        for (auto& c : sheet->cols) remove_row_item(c.get(), row);
    }
    remove_row_attribute(sheet, row);
    if (column_flag && sheet->kind == VXS_SYMMATRIX) {
        if (Column* c = get_column(sheet, row + sheet->units_count)) vxs_delete_column(c, 0);
        if (sheet->form_code == 0) renumber_column_headings(sheet);
    }
    clamp_positions(sheet);
    return 1;
}

int remove_row_item(Column* column, int32_t row) {
    if (!column || column->type == VXS_SCALAR) return 0;
    size_t n = column->value_count();
    if (n == 0 || row < 0 || static_cast<size_t>(row) >= n) return 0;
    if (column->is_text()) column->text.erase(static_cast<size_t>(row));
    else column->num.erase(column->num.begin() + row);
    if (column->value_count() == 0) free_memory(column, column->type);
    return 1;
}

int delete_row_item(Column* column, int32_t row) { return remove_row_item(column, row); }

int remove_row_attribute(Sheet* sheet, int32_t row) {
    if (!sheet || row < 0 || static_cast<size_t>(row) >= sheet->rows.size()) return 0;
    if (sheet->rows[static_cast<size_t>(row)].restricted && sheet->restricted_count > 0) {
        if (--sheet->restricted_count == 0) sheet->restriction_present = 0;
    }
    sheet->rows.erase(sheet->rows.begin() + row);
    sheet->row_count--;
    return 1;
}

int insert_column(Sheet* sheet, Column* column, int32_t position) {
    if (!sheet || !column) return 0;
    auto it = std::find_if(sheet->removed.begin(), sheet->removed.end(),
                           [&](auto& p) { return p.get() == column; });
    if (it == sheet->removed.end()) return 0;
    // "Row" stays the first column, so the front of the list is just after it.
    if (position < 1) position = 1;
    size_t at = static_cast<size_t>(position) <= static_cast<size_t>(sheet->column_count)
                    ? static_cast<size_t>(position)
                    : sheet->cols.size();
    sheet->cols.insert(sheet->cols.begin() + static_cast<std::ptrdiff_t>(at), std::move(*it));
    sheet->removed.erase(it);
    sheet->column_count++;
    column->sheet = sheet;
    renumber_columns(sheet);
    return 1;
}

int move_column(Sheet* sheet, int32_t from, int32_t to) {
    if (!sheet || sheet->no_move || from < 1 || to < 1) return 0;
    Column* c = get_column(sheet, from);
    if (!c || c->type == VXS_ROW) return 0;
    if (is_units(c->type) && to != 1) return 0;
    if (sheet->kind == VXS_TABLE && (from == 1 || to == 1)) return 0;
    for (int32_t p = to; p < from; ++p) {
        Column* o = get_column(sheet, p);
        if (o && (is_units(o->type) || o->type == VXS_ROW)) return 0;
    }
    if (from == to && !is_units(c->type)) return 1;
    if (!remove_column(c)) return 0;
    insert_column(sheet, c, to);
    if ((sheet->kind == VXS_MATRIX || sheet->kind == VXS_SYMMATRIX ||
         (sheet->kind == VXS_TABLE && sheet->table_dims == 2)) &&
        sheet->form_code == 0)
        renumber_column_headings(sheet);
    return 1;
}

void renumber_columns(Sheet* sheet) {
    if (!sheet) return;
    for (size_t i = 0; i < sheet->cols.size(); ++i) sheet->cols[i]->position = static_cast<int32_t>(i);
}

// Row attributes are numbered by their place in the vector; nothing to do.
void renumber_row_attributes(Sheet*) {}

void renumber_rows(Sheet* sheet) {
    if (!sheet || !sheet->row_column()) return;
    auto& num = sheet->row_column()->num;
    for (size_t i = 0; i < num.size(); ++i) num[i] = static_cast<double>(i + 1);
}

void renumber_column_headings(Sheet* sheet) {
    if (!sheet) return;
    int32_t n = 1;
    for (size_t pos = static_cast<size_t>(std::max(sheet->units_count, 0)); pos < sheet->cols.size(); ++pos)
        sheet->cols[pos]->name = std::to_string(n++);
}

void mark_column_as_modified(Column* column, int) {
    if (!column) return;
    column->modified = 1;
    if (column->sheet) column->sheet->modified = 1;
}

void mark_columns_modified(Sheet* sheet, int all) {
    if (!sheet) return;
    for (auto& c : sheet->cols)
        if (all || c->write_flag) mark_column_as_modified(c.get(), 0);
}

void vxs_fix_decimals(Sheet* sheet) {
    if (!sheet) return;
    for (size_t pos = 1; pos < sheet->cols.size(); ++pos) {
        Column* c = sheet->cols[pos].get();
        if (c->representation != VXS_REP_GENERAL) continue;
        const std::vector<double>& values = c->type == VXS_FACTOR ? c->levels : c->num;
        int32_t dec = 0;
        for (double v : values) {
            if (!(v > sheet->missing)) continue;
            dec = std::max(dec, decimals_needed(v));
            if (dec >= 12) break;
        }
        c->representation = VXS_REP_FIXED;
        c->decimals = std::min(dec, 12);
    }
}

int32_t vxs_set_default_column_width(Column* column, int) {
    if (!column) return 0;
    const double missing = column->sheet ? column->sheet->missing : vxs_missing;
    size_t w = 2;
    if (column->is_text()) {
        size_t longest = 0;
        for (size_t i = 0; i < column->text.size(); ++i) longest = std::max(longest, column->text.get(i).size());
        column->nlevels = static_cast<int32_t>(longest);
        w = std::max(w, longest);
    } else if (column->type == VXS_FACTOR && column->origin == 0) {
        w = std::max(w, static_cast<size_t>(std::ceil(std::log10(column->nlevels + 1.0)) + 1));
    } else if (column->type == VXS_FACTOR && column->origin == 2) {
        for (auto& l : column->labels) w = std::max(w, std::min(l.size(), VXS_MAX_NAME));
    } else {
        if (column->representation == VXS_REP_DATE) {
            vxs_set_gregorian(column->gregorian);
            vxs_set_date_format(column->date_format);
        }
        const std::vector<double>& values = column->type == VXS_FACTOR ? column->levels : column->num;
        w = write_num_width_max(values.data(), values.size(), column->representation, column->decimals, missing, w);
    }
    size_t name_len = std::min<size_t>(column->name.size(), 11);
    column->width = static_cast<int32_t>(std::max(w, name_len) + 1);
    return column->width;
}

void vxs_add_line_to_description(Sheet* sheet, std::string_view text) {
    if (!sheet || text.empty()) return;
    if (!sheet->description_lines.empty()) sheet->description.push_back('\0');
    sheet->description.append(text);
    sheet->description_lines.emplace_back(text);
}

int vxs_column_unique_items(Column* column) {
    if (!column || column->type == VXS_FACTOR || !has_cells(column->type)) return 0;
    const size_t limit = static_cast<size_t>(std::max(vxs_get_global_defaults()->distinct_limit, 0));
    size_t distinct = 0, with_data = 0;
    if (column->is_text()) {
        std::unordered_set<std::string> seen;
        for (size_t i = 0; i < column->text.size(); ++i) {
            std::string_view t = column->text.get(i);
            if (t.empty()) continue;
            ++with_data;
            std::string low(t);
            for (char& ch : low) if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
            if (seen.insert(std::move(low)).second && seen.size() > limit) return 0;
        }
        distinct = seen.size();
    } else {
        const double missing = column->sheet ? column->sheet->missing : vxs_missing;
        // At most limit + 1 values are ever kept, so a scan per cell stays cheap.
        std::vector<double> seen;
        auto same = [](double a, double b) {
            if (a == b) return true;
            if (a == 0 || b == 0) return false;
            return std::fabs(a / b - 1.0) < 1e-12;
        };
        size_t last = 0;
        for (double v : column->num) {
            if (!(v > missing)) continue;
            ++with_data;
            if (!seen.empty() && same(seen[last], v)) continue;
            auto it = std::find_if(seen.begin(), seen.end(), [&](double s) { return same(s, v); });
            if (it != seen.end()) {
                last = static_cast<size_t>(it - seen.begin());
                continue;
            }
            seen.push_back(v);
            last = seen.size() - 1;
            if (seen.size() > limit) return 0;
        }
        distinct = seen.size();
    }
    if (3 * distinct > 2 * with_data) return 0;
    return distinct >= 2 ? 1 : 0;
}
