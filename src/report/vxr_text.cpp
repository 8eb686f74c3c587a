// The delimited text writer: aligned columns (.txt and any unclaimed extension), comma-delimited
// (.csv, texts in single quotes) and tab-delimited (.tab) lines, one line per row.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_options.h"
#include "../sheet/vxs_dates.h"
#include "vxs_text.h"

std::string double_quote(std::string_view src, size_t max) {
    std::string out;
    size_t n = std::min(src.size(), max);
    for (size_t i = 0; i < n && out.size() < max; ++i) {
        unsigned char c = static_cast<unsigned char>(src[i]);
        if (c < 32 || c > 127) continue;
        out += static_cast<char>(c);
        if (c == '\'' && out.size() < max) out += '\'';
    }
    return out;
}

void double_quote(char* dst, const char* src, size_t max) {
    if (!dst || !src) return;
    std::string s = double_quote(std::string_view(src), max);
    std::memcpy(dst, s.c_str(), s.size() + 1);
}

int vxs_write_line(std::string_view line, size_t max, int comma_split, TextWriter& out) {
    if (line.empty()) return 1;
    if (max == 0) max = line.size();
    while (!line.empty()) {
        size_t take = std::min(line.size(), max);
        if (take < line.size()) {
            size_t cut = line.substr(0, take).rfind(comma_split ? ',' : ' ');
            if (cut != std::string_view::npos) take = cut + 1;
        }
        out.line(line.substr(0, take));
        line.remove_prefix(take);
    }
    return out.ok() ? 1 : 0;
}

namespace {

constexpr size_t kLineMax = 65535;

enum class Layout { Aligned, Comma, Tab };

// What one column contributes to a line, worked out once per column.
struct ColumnPlan {
    const Column* col = nullptr;
    bool text_cells = false;  // texts and labels (left-placed by default, quoted in CSV)
    bool right = false;       // cells placed at the right of the field
    size_t sym_index = 0;     // symmetric-matrix columns: first row that has a cell
    size_t width = 0;
    size_t start = 0;
};

class CellWriter {
public:
    CellWriter(const Sheet* sheet, Layout layout, bool quote) : sheet_(sheet), layout_(layout), quote_(quote) {}

    // The text of one cell into out; false for a blank cell.
    bool cell(const ColumnPlan& p, size_t row, std::string& out) const {
        const Column* c = p.col;
        out.clear();
        if (c->type == VXS_SYMMAT_COL) {
            if (row < p.sym_index) return false;
            size_t idx = c->num.size() >= sheet_->rows.size() ? row : row - p.sym_index;
            if (idx >= c->num.size()) return false;
            number(c, c->num[idx], out);
            return true;
        }
        if (row >= c->value_count()) return false;
        if (c->is_text()) {
            text(c->text.get(row), p.width, out);
            return true;
        }
        if (c->type != VXS_FACTOR) {
            number(c, c->num[row], out);
            return true;
        }
        double v = c->num[row];
        if (c->origin == 0) {
            number(c, v, out);
            return true;
        }
        if (!(v > sheet_->missing)) return false;
        double k = std::floor(v + 0.5);
        if (c->origin == 1) {
            if (k < 1 || k > static_cast<double>(c->levels.size())) return false;
            number(c, c->levels[static_cast<size_t>(k) - 1], out);
            return true;
        }
        if (k < 1 || k > static_cast<double>(c->labels.size())) return false;
        text(c->labels[static_cast<size_t>(k) - 1], p.width, out);
        return true;
    }

    // Width a cell takes in its field (quotes doubled and added in CSV).
    size_t cell_width(const ColumnPlan& p, size_t row, std::string& scratch) const {
        return cell(p, row, scratch) ? scratch.size() : 0;
    }

private:
    void number(const Column* c, double v, std::string& out) const {
        char buf[128];
        if (c->representation == VXS_REP_DATE) {
            vxs_set_gregorian(c->gregorian);
            vxs_set_date_format(c->date_format);
        }
        write_num(buf, v, c->representation, c->decimals, sheet_->missing);
        out.assign(buf);
    }
    void text(std::string_view s, size_t width, std::string& out) const {
        if (layout_ == Layout::Comma && quote_) {
            out += '\'';
            if (s.find('\'') != std::string_view::npos)
                out += double_quote(s, width ? width : 2 * s.size());
            else
                out.append(s);
            out += '\'';
        } else {
            out.assign(s);
        }
    }
    const Sheet* sheet_;
    Layout layout_;
    bool quote_;
};

bool is_factor_with_labels(const Column* c) { return c->type == VXS_FACTOR && c->origin == 2; }

std::string display_name(const Column* c, bool suffixes) {
    std::string n = c->name;
    if (!suffixes) return n;
    if (c->representation == VXS_REP_DATE) n += ":D";
    if (c->type == VXS_FACTOR) n += "!";
    return n;
}

bool name_right(const Column* c) {
    if (c->justification == 2) return true;
    if (c->type == VXS_FACTOR) return c->origin != 2 && c->justification == 0;
    if (c->is_text()) return false;
    return c->justification != 1;
}

// "HH:MM:SS " from asctime and the date as mm/dd/yyyy.
std::string heading_line(const char* path) {
    std::string name = path;
    size_t at = name.find(".$$$");
    if (at != std::string::npos) name.erase(at);
    std::time_t now = std::time(nullptr);
    std::tm tm_now{};
    localtime_r(&now, &tm_now);
    char clock[32], date[32];
    std::strftime(clock, sizeof clock, "%H:%M:%S ", &tm_now);
    std::strftime(date, sizeof date, "%m/%d/%Y", &tm_now);
    return "\"" + name + ".txt (Created by Morvalen: " + clock + date + ")\"";
}

// Places s in line at [start, start + width): right-placed text ends one character before
// the field's end; text longer than the field less 1 is cut.
void place(std::string& line, size_t start, size_t width, bool right, std::string_view s) {
    size_t room = width > 0 ? width - 1 : 0;
    if (s.size() > room) s = s.substr(0, room);
    size_t at = right ? start + room - s.size() : start;
    line.replace(at, s.size(), s);
}

}  // namespace

int16_t write_sheet_as_text(Sheet* sheet, const char* path, int layout_code) {
    if (!sheet || !path || sheet->row_count < 1 || sheet->column_count < 1 || sheet->cols.size() < 2) return 0;
    Layout layout = layout_code == VXS_TEXT_TAB     ? Layout::Tab
                    : layout_code == VXS_TEXT_COMMA ? Layout::Comma
                                                    : Layout::Aligned;
    bool quote = layout == Layout::Comma && vxs_get_global_defaults()->quote_csv_text;
    bool suffixes = !vxs_options().plain_names;
    const size_t nrows = static_cast<size_t>(sheet->row_count);

    ByteWriter file;
    if (!file.open(path)) return 0;
    TextWriter f(file);
    bool ok = true;
    auto write_line = [&](std::string_view line) {
        if (ok && !vxs_write_line(line, kLineMax, layout == Layout::Comma, f)) ok = false;
    };
    if (layout == Layout::Aligned) write_line(heading_line(path));

    CellWriter cells(sheet, layout, quote);
    std::vector<ColumnPlan> plan;
    int32_t sym_seen = 0;
    for (size_t i = 1; i < sheet->cols.size(); ++i) {
        const Column* c = sheet->cols[i].get();
        if (c->type == VXS_ROW) continue;
        ColumnPlan p;
        p.col = c;
        p.text_cells = c->is_text() || is_factor_with_labels(c);
        p.right = p.text_cells ? c->justification == 2 : c->justification != 1;
        if (c->type == VXS_SYMMAT_COL) p.sym_index = static_cast<size_t>(sym_seen++);
        plan.push_back(p);
    }

    // Field widths: one more than the longest cell, and room for the name and its mark.
    std::string scratch;
    size_t pos = 0;
    for (ColumnPlan& p : plan) {
        size_t longest = 0;
        if (layout != Layout::Tab) {
            ColumnPlan unbounded = p;
            unbounded.width = 0;
            for (size_t r = 0; r < nrows; ++r) longest = std::max(longest, cells.cell_width(unbounded, r, scratch));
        }
        size_t w = longest + 1;
        w = std::max(w, p.col->name.size() + (p.col->type == VXS_FACTOR ? 2 : 1));
        if (layout == Layout::Comma) w = std::max(w, display_name(p.col, suffixes).size() + 1);
        p.width = w;
        p.start = pos;
        pos += w;
    }
    const size_t total = pos;

    std::string line;
    if (!vxs_options().no_names_in_txt) {
        if (layout == Layout::Tab) {
            line.clear();
            for (const ColumnPlan& p : plan) line += p.col->name + "\t";
        } else {
            line.assign(total, ' ');
            size_t prev_end = 0;
            bool first = true;
            for (const ColumnPlan& p : plan) {
                std::string n = display_name(p.col, suffixes);
                size_t room = p.width - 1;
                size_t at = name_right(p.col) || n.size() > room ? p.start + room - std::min(room, n.size()) : p.start;
                if (n.size() > room) at = p.start + room >= n.size() ? p.start + room - n.size() : 0;
                if (!first && at < prev_end + 1) at = prev_end + 1;
                if (at + n.size() > line.size()) line.resize(at + n.size(), ' ');
                line.replace(at, n.size(), n);
                prev_end = at + n.size();
                first = false;
                if (layout == Layout::Comma) {
                    size_t comma = std::max(p.start + p.width - 1, prev_end);
                    if (comma >= line.size()) line.resize(comma + 1, ' ');
                    line[comma] = ',';
                }
            }
        }
        if (layout != Layout::Aligned && !line.empty()) line.pop_back();
        write_line(line);
    }

    std::string cell;
    for (size_t r = 0; r < nrows && ok; ++r) {
        if (layout == Layout::Tab) {
            line.clear();
            for (const ColumnPlan& p : plan) {
                if (cells.cell(p, r, cell)) line += cell;
                line += '\t';
            }
            line.pop_back();
        } else {
            line.assign(total, ' ');
            for (const ColumnPlan& p : plan) {
                if (cells.cell(p, r, cell)) place(line, p.start, p.width, p.right, cell);
                if (layout == Layout::Comma) line[p.start + p.width - 1] = ',';
            }
            if (layout == Layout::Comma) line.pop_back();
        }
        write_line(line);
    }
    if (!file.close()) ok = false;
    return ok ? 1 : 0;
}
