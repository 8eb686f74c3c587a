// The cell store of the spreadsheet readers and its conversion into the sheet: which block of
// rows and columns to take, whether a row of names (and titles) heads it, each column's kind,
// name, description and display format from the name's suffix, the cells themselves with
// text-to-number warnings, and the "logbook" layout whose header block is the named range
// column_row.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../package/vxs_package.h"
#include "../sheet/byte_writer.h"
#include "../sheet/vxs_access.h"
#include "../sheet/vxs_conv.h"
#include "../sheet/vxs_dates.h"
#include "../sheet/vxs_options.h"
#include "../sheet/vxs_reader_kit.h"
#include "../sheet/vxs_sheet.h"
#include "../sheet/vxs_strings.h"
#include "../sheet/vxs_txtnum.h"
#include "vxs_cells.h"

namespace {

constexpr size_t kMaxLabelsWarning = 200;  // the labels warning lists cells up to this length
constexpr size_t kDescription = 40;

}  // namespace

bool VxsCellStore::create(int64_t fr, int64_t lr, int64_t fc, int64_t lc) {
    if (fr > lr || fc > lc) return false;
    first_row = fr;
    last_row = lr;
    first_col = fc;
    last_col = lc;
    rows = lr - fr + 1;
    cols = lc - fc + 1;
    columns_.clear();
    columns_.resize(static_cast<size_t>(cols));
    return true;
}

void VxsCellStore::create_growing(uint64_t cell_limit) {
    *this = VxsCellStore{};  // from A1, empty until the first cell
    growing_limit_ = cell_limit;
}

void VxsCellStore::release_column(int64_t col) {
    if (col >= first_col && col <= last_col) std::vector<std::unique_ptr<Chunk>>().swap(columns_[static_cast<size_t>(col - first_col)]);
}

VxsCellStore::Chunk* VxsCellStore::chunk_for(int64_t row, int64_t col) {
    if (growing_limit_ && row >= 0 && col >= 0 && (row > last_row || col > last_col)) {
        int64_t lr = std::max(row, last_row), lc = std::max(col, last_col);
        // The extent a file claims through a far cell, checked before any memory is spent on it.
        if (static_cast<uint64_t>(lr + 1) * static_cast<uint64_t>(lc + 1) > growing_limit_)
            vxs_fatal("Error: Too much data in Excel file for Morvalen to handle!\n", 9);
        last_row = lr;
        last_col = lc;
        rows = lr + 1;
        cols = lc + 1;
        if (columns_.size() < static_cast<size_t>(cols)) columns_.resize(static_cast<size_t>(cols));
    }
    if (!created() || !inside(row, col)) return nullptr;
    std::vector<std::unique_ptr<Chunk>>& column = columns_[static_cast<size_t>(col - first_col)];
    size_t k = static_cast<size_t>((row - first_row) / kChunkRows);
    if (k >= column.size()) column.resize(k + 1);
    if (!column[k]) column[k] = std::make_unique<Chunk>();
    Chunk* c = column[k].get();
    if (slot(row) >= c->cap) {
        // A chunk doubles as its rows fill, so a sheet of few rows stays small however wide.
        const size_t most = growing_limit_ ? kChunkRows
                                           : static_cast<size_t>(std::min<int64_t>(kChunkRows, rows - static_cast<int64_t>(k) * kChunkRows));
        size_t n = std::max<size_t>(16, 2 * c->cap);
        while (n <= slot(row)) n *= 2;
        n = std::min(n, most);
        auto value = std::make_unique<double[]>(n + (n + 7) / 8);
        auto* kind = reinterpret_cast<uint8_t*>(value.get() + n);
        if (c->cap) {
            std::copy(c->value.get(), c->value.get() + c->cap, value.get());
            std::copy(c->kind, c->kind + c->cap, kind);
        }
        c->value = std::move(value);
        c->kind = kind;
        c->cap = n;
    }
    return c;
}

void VxsCellStore::used(int64_t row, int64_t col) {
    used_first_row = std::min(used_first_row, row);
    used_last_row = std::max(used_last_row, row);
    used_first_col = std::min(used_first_col, col);
    used_last_col = std::max(used_last_col, col);
}

bool VxsCellStore::put_number(int64_t row, int64_t col, double value) {
    Chunk* c = chunk_for(row, col);
    if (!c) return false;
    c->value[slot(row)] = value;
    c->kind[slot(row)] = VXS_CELL_NUMBER;
    used(row, col);
    return true;
}

bool VxsCellStore::put_text(int64_t row, int64_t col, std::string_view text) {
    Chunk* c = chunk_for(row, col);
    if (!c) return false;
    c->value[slot(row)] = static_cast<double>(texts_.size());
    c->kind[slot(row)] = VXS_CELL_TEXT;
    texts_.push_back(static_cast<uint64_t>(arena_.size()) << 8 | std::min<size_t>(text.size(), 255));
    arena_.append(text.substr(0, 255));
    used(row, col);
    return true;
}

void VxsCellStore::copy_cell(int64_t from_row, int64_t col, int64_t to_row) {
    const Chunk* from = chunk(from_row, col);
    if (!from || from->kind[slot(from_row)] == VXS_CELL_EMPTY) return;
    const uint8_t k = from->kind[slot(from_row)];
    const double v = from->value[slot(from_row)];
    Chunk* to = chunk_for(to_row, col);
    if (!to) return;
    to->value[slot(to_row)] = v;
    to->kind[slot(to_row)] = k;
    used(to_row, col);
}

int64_t VxsCellStore::next_used(int64_t row, int64_t col, int64_t last) const {
    if (!created() || row < first_row || row > last_row) return last + 1;
    const int64_t to = std::min(last, last_col);
    for (int64_t c = std::max(col, first_col); c <= to; ++c)
        if (kind(row, c) != VXS_CELL_EMPTY) return c;
    return last + 1;
}

std::string vxs_column_letters(int64_t col) {
    std::string s;
    if (col < 26) {
        s.push_back(static_cast<char>('A' + (col < 0 ? 0 : col)));
    } else {
        s.push_back(static_cast<char>('A' + std::min<int64_t>(col / 26 - 1, 25)));
        s.push_back(static_cast<char>('A' + col % 26));
    }
    return s;
}

namespace {

bool equal_nocase(std::string_view a, const char* b) {
    return a.size() == std::strlen(b) && strnicmp(std::string(a).c_str(), b, a.size()) == 0;
}

std::string printable(std::string s, size_t limit) {
    if (s.size() > limit) s.resize(limit);
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) c = ' ';
    return s;
}

std::string format_g(const char* format, double v) {
    char buf[400];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

// A number as a column's text: %.12g, or with fixed decimals %.12f without trailing zeros.
std::string number_text(double v) {
    if (!vxs_options().fixed_decimals) return format_g("%.12g", v);
    std::string s = format_g("%.12f", v);
    if (s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0') s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
    }
    return s;
}

// A header cell comment: "!" starts a list of levels; "!(...)" or "!T(...)" ends the list at
// the ")" and leaves the rest as the description; a comment without "!" is all description.
void read_comment(const std::string& text, std::string& list, std::string& description) {
    size_t bang = text.find('!');
    if (bang == std::string::npos) {
        description = text;
        return;
    }
    size_t open = bang + 1;
    if (open < text.size() && (text[open] == 'T' || text[open] == 't') && open + 1 < text.size() &&
        text[open + 1] == '(')
        ++open;
    if (open < text.size() && text[open] == '(') {
        size_t close = text.find(')', open);
        if (close != std::string::npos) {
            list = text.substr(open + 1, close - open - 1);
            description = text.substr(close + 1);
        } else {
            size_t eol = text.find_first_of("\r\n", open);
            list = text.substr(open + 1,
                               eol == std::string::npos ? std::string::npos : eol - open - 1);
            description = eol == std::string::npos ? "" : text.substr(eol + 1);
        }
    } else {
        list = text.substr(bang + 1);
    }
    for (char& c : list)
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) c = ' ';
    size_t start = description.find_first_not_of(" \t\r\n");
    description = start == std::string::npos ? "" : description.substr(start);
}

void open_warnings() {
    if (vxs_warn_out) return;
    vxs_warn_out = vxs_create_output_file(vxs_warn_file);
    if (vxs_warn_out) std::fputs("Text to Number Conversion Warnings\n \n", vxs_warn_out);
}

// ":d", ":e" or ":<digit>" at the end of a name (before any final "!", "#" or "$") sets the
// display format; then "!" asks for a factor, "#" for numbers and "$" for text.
void apply_suffixes(VxsColumnPlan& p, int64_t values, int64_t texts, bool auto_factor) {
    std::string& n = p.name;
    size_t end = n.size();
    while (end > 0 && n.size() - end < 2 && std::strchr("!#$", n[end - 1])) --end;
    if (end >= 2 && n[end - 2] == ':') {
        char s = n[end - 1];
        bool known = true;
        if (s == 'd' || s == 'D')
            p.format = 5;
        else if (s == 'e' || s == 'E')
            p.format = 2;
        else if (s >= '0' && s <= '9') {
            p.format = 3;
            p.decimals = s - '0';
        } else
            known = false;
        if (known) n.erase(end - 2, 2);
    }
    if (!n.empty() && n.back() == '!') {
        p.factor = true;
        n.pop_back();
    }
    bool typed = false;
    if (!n.empty() && (n.back() == '#' || n.back() == '$')) {
        p.text = n.back() == '$';
        p.list.clear();
        n.pop_back();
        typed = true;
        if (!n.empty() && n.back() == '!') {
            p.factor = true;
            n.pop_back();
        }
    }
    if (!typed && auto_factor) {
        if (2 * texts <= values)
            p.text = false;
        else
            p.factor = true;
    }
}

}  // namespace

bool vxs_store_bounds(VxsSelection* sel, const VxsCellStore& st, VxsStoreLayout& L) {
    if (!sel->logbook) {
        L.fc = std::max<int64_t>(sel->first_col, st.used_first_col);
        L.fr = std::max<int64_t>(sel->first_row, st.used_first_row);
        L.lc = std::min<int64_t>(sel->last_col, st.used_last_col);
        L.lr = std::min<int64_t>(sel->last_row, st.used_last_row);
    } else {
        // The data start below the header block, whose first column tags its rows.
        L.fc = std::max<int64_t>(sel->first_col, st.used_first_col);
        L.fr = std::max<int64_t>(static_cast<int64_t>(sel->last_row) + 1, st.used_first_row);
        L.lc = st.used_last_col;
        L.lr = st.used_last_row;
        sel->empty_row_mode = 1;
        sel->title_flag = 1;
        sel->names_mode = 1;
        sel->restart = 0;
        for (int64_t r = std::max<int64_t>(sel->first_row, st.first_row);
             r <= sel->last_row && r <= st.last_row; ++r) {
            std::string_view t = st.text(r, st.first_col);
            if (equal_nocase(t, "variable_name"))
                L.name_row = r;
            else if (equal_nocase(t, "variable_title"))
                L.title_row = r;
            else if (equal_nocase(t, "variable_type"))
                L.type_row = r;
            else if (L.name_row < 0 && (equal_nocase(t, "trait_name") || equal_nocase(t, "trait")))
                L.name_row = r;
            else if (L.name_row >= 0 && L.title_row < 0 && equal_nocase(t, "trait_title"))
                L.title_row = r;
        }
    }
    return L.fr <= L.lr && L.fc <= L.lc;
}

bool vxs_store_header_rows(const VxsSelection* sel, const VxsCellStore& st, VxsStoreLayout& L) {
    int32_t names_mode = sel->names_mode;
    if (vxs_options().no_column_names)
        names_mode = 2;
    else if (vxs_options().use_column_names)
        names_mode = 1;

    auto row_empty = [&](int64_t r) { return st.next_used(r, L.fc, L.lc) > L.lc; };

    L.empty_mode = sel->empty_row_mode || sel->restart;
    if (!L.empty_mode) {
        if (names_mode != 2 && L.name_row < 0 && L.fr + sel->name_row_offset <= L.lr)
            L.name_row = L.fr + sel->name_row_offset;
        if (sel->title_flag && L.title_row < 0 && L.fr + sel->title_row_offset <= L.lr)
            L.title_row = L.fr + sel->title_row_offset;
    } else {
        // Rows with nothing in the columns taken are left out; a block must pass the threshold
        // before the data start when restarting.
        int64_t start = L.fr;
        if (sel->restart) {
            start = L.lr + 1;
            for (int64_t r = L.fr; r <= L.lr;) {
                if (row_empty(r)) {
                    ++r;
                    continue;
                }
                int64_t b = r;
                while (r <= L.lr && !row_empty(r)) ++r;
                if (r - b > sel->block_threshold) {
                    start = b;
                    break;
                }
            }
        }
        L.fr = start;
        int64_t count = 0, last = -1;
        for (int64_t r = L.fr; r <= L.lr; ++r) {
            if (row_empty(r)) continue;
            if (names_mode != 2 && L.name_row < 0 && count == sel->name_row_offset) L.name_row = r;
            if (sel->title_flag && L.title_row < 0 && count == sel->title_row_offset)
                L.title_row = r;
            ++count;
            last = r;
        }
        if (last < 0) return false;
        L.lr = last;
    }

    L.names = false;
    if (names_mode == 1) {
        L.names = true;
        if (L.name_row < 0) L.name_row = L.fr;
        if (L.name_row == L.title_row) ++L.name_row;
    } else if (names_mode == 0) {
        int64_t cand = L.name_row >= 0 ? L.name_row : L.fr;
        L.names = true;
        for (int64_t c = L.fc; c <= L.lc && L.names; ++c)
            if (st.kind(cand, c) == VXS_CELL_NUMBER) L.names = false;
        if (L.names) {
            L.name_row = cand;
        } else if (L.name_row >= 0 && L.name_row == L.fr - 1) {
            --L.fr;  // the row fixed above the data was data after all
        }
    }
    if (!L.empty_mode && L.fr == L.lr) L.names = false;  // a single row is always data

    return true;
}

bool vxs_store_rows(const VxsSelection* sel, const VxsCellStore& st, VxsStoreLayout& L) {
    auto row_empty = [&](int64_t r) { return st.next_used(r, L.fc, L.lc) > L.lc; };
    L.data_rows.clear();
    for (int64_t r = L.fr; r <= L.lr; ++r) {
        if (L.names && r == L.name_row) continue;
        if (sel->title_flag && r == L.title_row) continue;
        if (L.empty_mode && row_empty(r)) continue;
        L.data_rows.push_back(r);
    }
    return !L.data_rows.empty();
}

VxsColumnPlan vxs_store_column_plan(const VxsSelection* sel, const VxsCellStore& st,
                                    const VxsStoreLayout& L, int64_t c, int64_t values,
                                    int64_t texts, bool is_text) {
    VxsColumnPlan p;
    p.text = is_text;
    // In the logbook layout the title row lies in the header block above the data.
    if (sel->title_flag && L.title_row >= st.first_row && L.title_row <= st.last_row) {
        int32_t k = st.kind(L.title_row, c);
        if (k == VXS_CELL_TEXT)
            p.description = " " + std::string(st.text(L.title_row, c).substr(0, kDescription - 1));
        else if (k == VXS_CELL_NUMBER)
            p.description = " " + format_g("%.20g", st.number(L.title_row, c));
        p.has_description = true;
    }
    if (L.names) {
        int32_t k = st.kind(L.name_row, c);
        if (k == VXS_CELL_NUMBER)
            p.name = "%" + format_g("%.12g", st.number(L.name_row, c));
        else if (k == VXS_CELL_TEXT)
            p.name = std::string(st.text(L.name_row, c).substr(0, VXS_MAX_NAME));
        if (!sel->title_flag) {
            for (const VxsComment& note : st.comments) {
                if (note.row != L.name_row || note.col != c || note.text.empty()) continue;
                read_comment(note.text, p.list, p.description);
                if (!p.description.empty()) p.has_description = true;
                break;
            }
        }
    }
    if (p.name.empty()) p.name = vxs_def_column_name(0);
    apply_suffixes(p, values, texts, sel->auto_factor);
    if (L.type_row >= 0) {
        std::string_view t = st.text(L.type_row, c);
        if (equal_nocase(t, "factor") || equal_nocase(t, "treatment")) p.factor = true;
    }
    make_valid_vantrix_name(p.name);
    if (p.name.size() > VXS_MAX_NAME) p.name.resize(VXS_MAX_NAME);
    return p;
}

void vxs_store_fill_column(Column* col, const VxsColumnPlan& p, const VxsCellStore& st,
                           const VxsStoreLayout& L, int64_t c, int32_t made,
                           VxsLabelsWarning& warning) {
    const double missing = col->sheet ? col->sheet->missing : vxs_missing;
    const VxsDefaults* defaults = vxs_get_global_defaults();
    std::string& labels_warning = warning.text;
    bool& labels_cut = warning.cut;
    if (p.has_description) col->extra = printable(p.description, kDescription);

    for (size_t i = 0; i < L.data_rows.size(); ++i) {
        int64_t r = L.data_rows[i];
        int32_t k = st.kind(r, c);
        if (p.text) {
            if (k == VXS_CELL_NUMBER) {
                col->text.set(i, number_text(st.number(r, c)));
            } else if (k == VXS_CELL_TEXT) {
                std::string_view t = st.text(r, c);
                if (p.factor && stricmp(std::string(t).c_str(), vxs_options().xls_mv.c_str()) == 0)
                    t = {};
                col->text.set(i, t);
            }
            continue;
        }
        if (k == VXS_CELL_NUMBER) {
            col->num[i] = std::min(st.number(r, c), VXS_NUM_CEILING);
        } else if (k == VXS_CELL_TEXT) {
            std::string t(st.text(r, c));
            if (vxs_is_missing_text(t.c_str())) continue;
            int16_t changed = 0;
            double v = vxs_spread_read_num_from_text(t.c_str(), missing, &changed);
            col->num[i] = v;
            char at[64];
            std::snprintf(at, sizeof at,
                          labels_warning.empty() ? "Warning: Labels in numeric column at: R%liC%li"
                                                 : ", R%liC%li",
                          static_cast<long>(r - st.first_row + 1), static_cast<long>(made));
            if (labels_warning.size() < kMaxLabelsWarning) {
                labels_warning += at;
            } else if (!labels_cut) {
                labels_warning += "...";
                labels_cut = true;
            }
            if (changed) {
                open_warnings();
                if (vxs_warn_out) {
                    std::string cell = vxs_column_letters(c) + std::to_string(r + 1);
                    if (v > missing)
                        std::fprintf(vxs_warn_out,
                                     "Column %s Row %4li (From Cell %s): %s read as %.12g\n",
                                     col->name.c_str(), static_cast<long>(i + 1), cell.c_str(),
                                     t.c_str(), v);
                    else
                        std::fprintf(
                            vxs_warn_out, "Column %s Row %4li (From Cell %s): %s read as *\n",
                            col->name.c_str(), static_cast<long>(i + 1), cell.c_str(), t.c_str());
                }
            }
        }
    }
    if (!p.text && p.format) {
        col->representation = p.format;
        if (p.format == 3) col->decimals = p.decimals;
        if (p.format == 5) col->date_format = 2;
    } else if (!p.text && !p.factor && c - st.first_col < static_cast<int64_t>(st.date_formats.size()) &&
               st.date_formats[static_cast<size_t>(c - st.first_col)]) {
        col->representation = VXS_REP_DATE;
        col->date_format = st.date_formats[static_cast<size_t>(c - st.first_col)];
    }
    if (p.factor) {
        if (p.text)
            convert_text_to_factor(col, defaults->factor_ignore_case,
                                   defaults->factor_strip_blanks);
        else
            convert_variate_to_factor(col, 1);
        if (!p.list.empty()) vxs_reorder_levels_from_list(col, p.list.c_str());
    }
    vxs_set_default_column_width(col, 0);
}

int vxs_create_sheet_from_store(VxsSelection* sel, const char* path, const char* sheet_name,
                                VxsCellStore& st, int32_t source_code) {
    if (!st.created() || st.used_last_row < 0) return 0;
    VxsStoreLayout L;
    if (!vxs_store_bounds(sel, st, L) || !vxs_store_header_rows(sel, st, L) ||
        !vxs_store_rows(sel, st, L))
        return 0;
    const int64_t fc = L.fc, fr = L.fr, lc = L.lc, lr = L.lr;  // the block taken
    const std::vector<int64_t>& data_rows = L.data_rows;
    Sheet* sheet = vxs_begin_sheet(static_cast<int64_t>(data_rows.size()));
    if (!sheet) return 0;
    const double missing = sheet->missing;
    const VxsDefaults* defaults = vxs_get_global_defaults();

    // Values and texts of each column counted in one pass over the data rows.
    const size_t width = static_cast<size_t>(lc - fc + 1);
    std::vector<int64_t> col_values(width, 0), col_texts(width, 0);
    std::vector<char> col_is_text(width, 0);
    for (int64_t r : data_rows) {
        for (int64_t c = st.next_used(r, fc, lc); c <= lc; c = st.next_used(r, c + 1, lc)) {
            const size_t i = static_cast<size_t>(c - fc);
            int32_t k = st.kind(r, c);
            ++col_values[i];
            if (k == VXS_CELL_TEXT) {
                ++col_texts[i];
                if (!col_is_text[i] && !vxs_is_missing_text(std::string(st.text(r, c)).c_str()))
                    col_is_text[i] = 1;
            }
        }
    }

    VxsLabelsWarning warning;
    int32_t made = 0;
    for (int64_t c = fc; c <= lc; ++c) {
        const size_t i = static_cast<size_t>(c - fc);
        const int64_t values = col_values[i], texts = col_texts[i];
        const bool is_text = col_is_text[i] != 0;
        if (values == 0) continue;
        if (made >= VXSMAXCOLUMNS) {
            std::printf("Warning Columns above %li NOT transfered!\n",
                        static_cast<long>(VXSMAXCOLUMNS));
            break;
        }

        VxsColumnPlan p = vxs_store_column_plan(sel, st, L, c, values, texts, is_text);
        Column* col = create_column_with_memory(sheet, p.text ? VXS_TEXT : VXS_VARIATE, p.name,
                                                sheet->row_count);
        if (!col) break;
        ++made;
        vxs_store_fill_column(col, p, st, L, c, made, warning);
        if (!sel->logbook) st.release_column(c);  // the logbook layout reads its header block below
    }
    if (made == 0) return 0;

    if (sel->logbook) {
        // The design columns of the header block become factors; the first, when every value
        // is a level of its own, identifies the units.
        int64_t width = static_cast<int64_t>(sel->last_col) - sel->first_col + 1;
        for (int64_t i = 1; i <= width && i <= sheet->column_count; ++i) {
            Column* col = get_column(sheet, static_cast<int32_t>(i));
            if (!col) break;
            int32_t before = col->type;
            if (col->type == VXS_TEXT)
                convert_text_to_factor(col, defaults->factor_ignore_case,
                                       defaults->factor_strip_blanks);
            else if (col->type == VXS_VARIATE)
                convert_variate_to_factor(col, 1);
            if (i == 1 && col->type == VXS_FACTOR && before != VXS_FACTOR) {
                int64_t n = 0;
                for (double v : col->num)
                    if (v > missing) ++n;
                if (n == col->nlevels) {
                    // Unit identifiers keep their own values: the factor is turned back into the
                    // column it was made from, which then becomes the units column.
                    if (before == VXS_TEXT)
                        convert_factor_to_text(col);
                    else
                        convert_factor_to_variate(col, 1);
                    convert_column(col, before, before == VXS_TEXT ? VXS_UNITS_TEXT : VXS_UNITS_NUM,
                                   defaults->factor_ignore_case, defaults->factor_strip_blanks);
                }
            }
        }
        for (int64_t r = st.first_row; r < sel->first_row && r <= st.last_row; ++r) {
            if (st.kind(r, st.first_col) != VXS_CELL_TEXT) continue;
            std::string key(st.text(r, st.first_col));
            int32_t k = st.kind(r, st.first_col + 1);
            std::string line;
            if (k == VXS_CELL_NUMBER)
                line = key + ": " + format_g("%.12g", st.number(r, st.first_col + 1));
            else if (k == VXS_CELL_TEXT)
                line = key + ": " + std::string(st.text(r, st.first_col + 1));
            else
                line = key + ":";
            vxs_add_line_to_description(sheet, line);
        }
    }

    char line[1200];
    int64_t last_row_shown = lr + 1;
    if (source_code == 5)
        std::snprintf(line, sizeof line, "Data read from %s [%s]%s%li:%s%li", path, sheet_name,
                      vxs_column_letters(fc).c_str(), static_cast<long>(fr + 1),
                      vxs_column_letters(lc).c_str(), static_cast<long>(last_row_shown));
    else
        std::snprintf(line, sizeof line, "Data read from %s - %s:%s%li..%s%li", path, sheet_name,
                      vxs_column_letters(fc).c_str(), static_cast<long>(fr + 1),
                      vxs_column_letters(lc).c_str(), static_cast<long>(last_row_shown));
    vxs_source = std::string(line).substr(0, 499);
    std::printf("%s\n", vxs_source.c_str());
    if (!warning.text.empty()) std::printf("%s\n", warning.text.c_str());
    return 1;
}
