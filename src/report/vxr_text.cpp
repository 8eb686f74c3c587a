// The delimited text writer: aligned columns (.txt and any unclaimed extension), comma-delimited
// (.csv, texts in single quotes) and tab-delimited (.tab) lines, one line per row.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_options.h"
#include "../sheet/vxs_dates.h"
#include "../sheet/vxs_parts.h"
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

namespace {

// Hands a line to emit in pieces of at most max characters, each cut after the last comma (or
// blank) before the limit; an empty line gives nothing.
template <class Emit>
void split_line(std::string_view line, size_t max, int comma_split, Emit&& emit) {
    if (max == 0) max = line.size();
    while (!line.empty()) {
        size_t take = std::min(line.size(), max);
        if (take < line.size()) {
            size_t cut = line.substr(0, take).rfind(comma_split ? ',' : ' ');
            if (cut != std::string_view::npos) take = cut + 1;
        }
        emit(line.substr(0, take));
        line.remove_prefix(take);
    }
}

}  // namespace

int vxs_write_line(std::string_view line, size_t max, int comma_split, TextWriter& out) {
    if (line.empty()) return 1;
    split_line(line, max, comma_split, [&](std::string_view piece) { out.line(piece); });
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
    // Characters a cell may take: the field less its separating blank or comma.
    size_t room() const { return width > 0 ? width - 1 : 0; }
};

// Copies the few bytes of a cell without a library call: a pair of overlapping loads and
// stores covers any length from 4 to 16.
inline void copy_short(char* d, const char* s, size_t n) {
    if (n >= 8 && n <= 16) {
        uint64_t a, b;
        std::memcpy(&a, s, 8);
        std::memcpy(&b, s + n - 8, 8);
        std::memcpy(d, &a, 8);
        std::memcpy(d + n - 8, &b, 8);
    } else if (n >= 4 && n < 8) {
        uint32_t a, b;
        std::memcpy(&a, s, 4);
        std::memcpy(&b, s + n - 4, 4);
        std::memcpy(d, &a, 4);
        std::memcpy(d + n - 4, &b, 4);
    } else if (n > 16) {
        std::memcpy(d, s, n);
    } else {
        for (size_t i = 0; i < n; ++i) d[i] = s[i];
    }
}

// Puts s in a blank field of room characters: right-placed text ends at the field's end; text
// longer than the field is cut.
inline void put(char* field, size_t room, bool right, std::string_view s) {
    if (s.size() > room) s = s.substr(0, room);
    copy_short(field + (right ? room - s.size() : 0), s.data(), s.size());
}

// Copies s to d unless it holds a single quote (false: d may hold part of it).
inline bool copy_unquoted(char* d, std::string_view s) {
    bool quote = false;
    for (size_t i = 0; i < s.size(); ++i) {
        d[i] = s[i];
        quote |= s[i] == '\'';
    }
    return !quote;
}

// Cell texts go into one scratch area reused for every cell (numbers are formatted straight
// into it; unquoted texts are viewed where the column keeps them), so no cell allocates.
class CellWriter {
public:
    CellWriter(const Sheet* sheet, Layout layout, bool quote) : sheet_(sheet), layout_(layout), quote_(quote) {}

    // The text of one cell; false for a blank cell. The view lasts until the next call.
    bool cell(const ColumnPlan& p, size_t row, std::string_view& out) {
        return visit(
            p, row, [&](const Column* c, double v) { out = number(c, v); },
            [&](std::string_view s, size_t width) { out = text(s, width); });
    }

    // Width a cell takes in its field (quotes doubled and added in CSV), or at most widest when
    // it is no wider than that; numbers are measured without being written, and not at all
    // when their magnitude shows they cannot be wider than widest.
    size_t cell_width(const ColumnPlan& p, size_t row, size_t widest) {
        size_t w = 0;
        visit(
            p, row,
            [&](const Column* c, double v) {
                use_date_state(c);
                if (write_num_width_most(v, c->representation, c->decimals, sheet_->missing) > widest)
                    w = write_num_width(v, c->representation, c->decimals, sheet_->missing);
            },
            [&](std::string_view s, size_t width) {
                w = quoting() && s.find('\'') != std::string_view::npos ? text(s, width).size()
                    : quoting()                                         ? s.size() + 2
                                                                        : s.size();
            });
        return w;
    }

    // Places one cell in its blank field at field, the field's width less 1 being its room:
    // right-placed text ends one character before the field's end; text longer than that is
    // cut. Quoted texts are written in place unless they hold a quote to double.
    void place(const ColumnPlan& p, size_t row, char* field) {
        const size_t room = p.room();
        visit(
            p, row, [&](const Column* c, double v) { put(field, room, p.right, number(c, v)); },
            [&](std::string_view s, size_t width) {
                if (quoting() && s.size() + 2 <= room) {
                    char* at = field + (p.right ? room - s.size() - 2 : 0);
                    if (copy_unquoted(at + 1, s)) {
                        at[0] = '\'';
                        at[s.size() + 1] = '\'';
                        return;
                    }
                    std::memset(field, ' ', room);
                }
                put(field, room, p.right, text(s, width));
            });
    }

    // Places the cells of rows [first, last) of one column in their blank fields, row first's
    // at field and each next one stride bytes on. A column of plain numbers is read straight.
    void place_column(const ColumnPlan& p, size_t first, size_t last, char* field, size_t stride) {
        const Column* c = p.col;
        if (plain_numbers(c)) {
            use_date_state(c);
            const size_t room = p.room();
            const double* v = c->num.data();
            for (size_t r = first, end = std::min(last, c->num.size()); r < end; ++r, field += stride) {
                const size_t n = write_num(num_, v[r], c->representation, c->decimals, sheet_->missing);
                put(field, room, p.right, std::string_view(num_, n));
            }
            return;
        }
        for (size_t r = first; r < last; ++r, field += stride) place(p, r, field);
    }

    // The widest cell of rows [first, last), or widest when none is wider; a column of plain
    // numbers is measured in one call.
    size_t widest(const ColumnPlan& p, size_t first, size_t last, size_t widest) {
        const Column* c = p.col;
        if (plain_numbers(c)) {
            use_date_state(c);
            const size_t end = std::min(last, c->num.size());
            return first < end ? write_num_width_max(c->num.data() + first, end - first, c->representation,
                                                     c->decimals, sheet_->missing, widest)
                               : widest;
        }
        for (size_t r = first; r < last; ++r) widest = std::max(widest, cell_width(p, r, widest));
        return widest;
    }

private:
    // Columns whose cells are their numbers as they stand (a factor without lists among them).
    static bool plain_numbers(const Column* c) {
        return c->type != VXS_SYMMAT_COL && !c->is_text() && (c->type != VXS_FACTOR || c->origin == 0);
    }
    // Finds what one cell holds and hands it to on_number(column, value) or on_text(text,
    // field width); false for a blank cell.
    template <class OnNumber, class OnText>
    bool visit(const ColumnPlan& p, size_t row, OnNumber&& on_number, OnText&& on_text) {
        const Column* c = p.col;
        if (c->type == VXS_SYMMAT_COL) {
            if (row < p.sym_index) return false;
            size_t idx = c->num.size() >= sheet_->rows.size() ? row : row - p.sym_index;
            if (idx >= c->num.size()) return false;
            on_number(c, c->num[idx]);
            return true;
        }
        if (row >= c->value_count()) return false;
        if (c->is_text()) {
            on_text(c->text.get(row), p.width);
            return true;
        }
        if (c->type != VXS_FACTOR) {
            on_number(c, c->num[row]);
            return true;
        }
        double v = c->num[row];
        if (c->origin == 0) {
            on_number(c, v);
            return true;
        }
        if (!(v > sheet_->missing)) return false;
        double k = std::floor(v + 0.5);
        if (c->origin == 1) {
            if (k < 1 || k > static_cast<double>(c->levels.size())) return false;
            on_number(c, c->levels[static_cast<size_t>(k) - 1]);
            return true;
        }
        if (k < 1 || k > static_cast<double>(c->labels.size())) return false;
        on_text(c->labels[static_cast<size_t>(k) - 1], p.width);
        return true;
    }
    // Dates are written by the column's scale and format, kept in the formatter's state.
    static void use_date_state(const Column* c) {
        if (c->representation != VXS_REP_DATE) return;
        vxs_set_gregorian(c->gregorian);
        vxs_set_date_format(c->date_format);
    }
    std::string_view number(const Column* c, double v) {
        use_date_state(c);
        return std::string_view(num_, write_num(num_, v, c->representation, c->decimals, sheet_->missing));
    }
    bool quoting() const { return layout_ == Layout::Comma && quote_; }
    std::string_view text(std::string_view s, size_t width) {
        if (!quoting()) return s;
        quoted_.clear();
        quoted_ += '\'';
        if (s.find('\'') != std::string_view::npos)
            quoted_ += double_quote(s, width ? width : 2 * s.size());
        else
            quoted_.append(s);
        quoted_ += '\'';
        return quoted_;
    }
    const Sheet* sheet_;
    Layout layout_;
    bool quote_;
    char num_[128];
    std::string quoted_;
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

// Threads sharing the cell formatting of a big sheet: formatting numbers is most of a text
// conversion's time, and each row's text depends on nothing but that row and the field widths.
unsigned forced_threads = 0;
size_t forced_batch_bytes = 0;

unsigned formatting_threads(size_t cells) {
    if (forced_threads) return forced_threads;
    if (cells < (size_t{1} << 16)) return 1;  // starting threads costs more than it saves
    unsigned n = std::thread::hardware_concurrency();
    return std::clamp(n, 1u, 4u);
}

// Runs work(part, first, last) over [0, n) cut into parts consecutive ranges, part 0 on the
// calling thread.
template <class Work>
void run_parts(size_t n, unsigned parts, Work&& work) {
    vxs_run_parts(parts, [&](unsigned k) { work(k, n * k / parts, n * (k + 1) / parts); });
}

// The lines of rows [first, last), as the file takes them, appended to out. Each line is laid
// out in place at the end of out; the rare line too long for the file is cut afterwards.
void render_rows(const std::vector<ColumnPlan>& plan, size_t total, Layout layout, CellWriter& cells,
                 size_t first, size_t last, std::string& out) {
    std::string_view cell;
    for (size_t r = first; r < last; ++r) {
        const size_t at = out.size();
        if (layout == Layout::Tab) {
            for (const ColumnPlan& p : plan) {
                if (cells.cell(p, r, cell)) out += cell;
                out += '\t';
            }
            out.pop_back();
        } else {
            out.resize(at + total, ' ');
            for (const ColumnPlan& p : plan) {
                cells.place(p, r, out.data() + at + p.start);
                if (layout == Layout::Comma) out[at + p.start + p.width - 1] = ',';
            }
            if (layout == Layout::Comma) out.pop_back();
        }
        if (out.size() - at <= kLineMax) {
            if (out.size() > at) out += '\n';
            continue;
        }
        const std::string line = out.substr(at);
        out.resize(at);
        split_line(line, kLineMax, layout == Layout::Comma, [&](std::string_view piece) {
            out += piece;
            out += '\n';
        });
    }
}

// The same lines when every one has the same length, 1 to kLineMax characters (aligned and
// comma layouts): the block of lines is laid out blank and filled column by column, each
// column's cells read in order.
void render_grid(const std::vector<ColumnPlan>& plan, size_t length, Layout layout, CellWriter& cells, size_t first,
                 size_t last, std::string& out) {
    const size_t stride = length + 1, at = out.size();
    out.resize(at + (last - first) * stride, ' ');
    char* block = out.data() + at;
    for (size_t i = 0; i < last - first; ++i) {
        char* line = block + i * stride;
        if (layout == Layout::Comma)
            for (size_t k = 0; k + 1 < plan.size(); ++k) line[plan[k].start + plan[k].width - 1] = ',';
        line[length] = '\n';
    }
    for (const ColumnPlan& p : plan) cells.place_column(p, first, last, block + p.start, stride);
}

}  // namespace

void vxs_set_text_threads(unsigned n, size_t batch_bytes) {
    forced_threads = n;
    forced_batch_bytes = batch_bytes;
}

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
    const unsigned threads = formatting_threads(nrows * plan.size());
    std::vector<std::vector<size_t>> longest(threads, std::vector<size_t>(plan.size(), 0));
    if (layout != Layout::Tab) {
        run_parts(nrows, threads, [&](unsigned part, size_t first, size_t last) {
            CellWriter measure(sheet, layout, quote);
            for (size_t i = 0; i < plan.size(); ++i) {
                ColumnPlan unbounded = plan[i];
                unbounded.width = 0;
                longest[part][i] = measure.widest(unbounded, first, last, 0);
            }
        });
    }
    size_t pos = 0;
    for (size_t i = 0; i < plan.size(); ++i) {
        ColumnPlan& p = plan[i];
        size_t most = 0;
        for (const std::vector<size_t>& part : longest) most = std::max(most, part[i]);
        size_t w = most + 1;
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

    // Rows go out in batches of about a megabyte a thread (memory stays near the sheet's), each
    // thread formatting its share of a batch into its own buffer; the buffers are written in
    // row order, so the file is the same whatever the thread count.
    const size_t batch_bytes = forced_batch_bytes ? forced_batch_bytes : size_t{1} << 20;
    const size_t batch_rows = std::max<size_t>(forced_batch_bytes ? 1 : 256, batch_bytes / (total + 1)) * threads;
    // Lines of the aligned and comma layouts all have the same length (the comma layout drops
    // the last field's comma).
    const size_t length = layout == Layout::Comma && total > 0 ? total - 1 : total;
    const bool grid = layout != Layout::Tab && length >= 1 && length <= kLineMax;
    std::vector<std::string> text(threads);
    std::vector<CellWriter> writers(threads, CellWriter(sheet, layout, quote));
    for (size_t r = 0; r < nrows && ok; r += batch_rows) {
        size_t end = std::min(nrows, r + batch_rows);
        run_parts(end - r, threads, [&](unsigned part, size_t first, size_t last) {
            text[part].clear();
            if (grid)
                render_grid(plan, length, layout, writers[part], r + first, r + last, text[part]);
            else
                render_rows(plan, total, layout, writers[part], r + first, r + last, text[part]);
        });
        for (const std::string& t : text) f.put(t);
        if (!f.ok()) ok = false;
    }
    if (!file.close()) ok = false;
    return ok ? 1 : 0;
}
