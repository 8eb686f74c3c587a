// Delimited text into a sheet: a sizing pass (rows, columns, names line, column types) and a
// filling pass, each reading the file in large blocks and normalising line ends on the way,
// so the file's text is never held beside the sheet.
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>

#include "vxs_options.h"
#include "vxs_access.h"
#include "vxs_conv.h"
#include "vxs_csv.h"
#include "vxs_dates.h"
#include "vxs_txtnum.h"

namespace {

constexpr size_t kMaxLine = 4095;    // longer lines are split, as the line reader always has
constexpr size_t kSizingField = 200;  // characters of a field looked at when sizing
constexpr int32_t kUndecided = 99;
constexpr int32_t kNumeric = VXS_VARIATE;
constexpr int32_t kText = VXS_TEXT;

// Splits the text into lines at line feeds; a final line feed does not start an empty line.
class LineSplitter {
public:
    explicit LineSplitter(std::string_view text) : text_(text) {}
    bool next(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        size_t nl = text_.find('\n', pos_);
        if (nl == std::string_view::npos) nl = text_.size();
        line = text_.substr(pos_, nl - pos_);
        pos_ = nl + 1;
        return true;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

// What a character means to the field splitter, worked out once per pass.
struct FieldChars {
    enum : uint8_t { kPlain = 0, kDelimiter = 1, kQuote = 2 };
    uint8_t kind[256] = {};
    bool custom = false;
    FieldChars(bool custom_mode, const char* delimiters) : custom(custom_mode) {
        if (!custom) {
            kind[static_cast<unsigned char>('\t')] = kDelimiter;
            return;
        }
        kind[static_cast<unsigned char>('"')] = kQuote;
        kind[static_cast<unsigned char>('\'')] = kQuote;
        for (const char* d = delimiters; *d; ++d) kind[static_cast<unsigned char>(*d)] = kDelimiter;
    }
};

// Fields of one line. In custom-delimiter mode a quote character that has a matching closing
// quote on the line makes the field run to it (a doubled quote inside counts as one); a quote
// without a partner is an ordinary character, so an apostrophe in "farmer's note" does not
// swallow the rest of the line.
class FieldSplitter {
public:
    FieldSplitter(std::string_view line, const FieldChars& chars) : line_(line), chars_(chars), custom_(chars.custom) {}

    // raw: the field after leading blanks, trailing blanks removed, quotes still in place.
    bool next(std::string_view& raw) {
        if (done_) return false;
        const size_t n = line_.size();
        size_t p = pos_;
        while (p < n && (line_[p] == ' ' || (custom_ && line_[p] == '\t'))) ++p;
        size_t start = p;
        bool ended_by_delimiter = false;
        while (p < n) {
            uint8_t k = chars_.kind[static_cast<unsigned char>(line_[p])];
            if (k == FieldChars::kPlain) {
                ++p;
                continue;
            }
            if (k == FieldChars::kDelimiter) {
                ended_by_delimiter = true;
                break;
            }
            size_t close = closing_quote(p);
            p = close != std::string_view::npos ? close + 1 : p + 1;
        }
        size_t end = p;
        while (end > start && (line_[end - 1] == ' ' || (custom_ && line_[end - 1] == '\t'))) --end;
        raw = line_.substr(start, end - start);
        if (ended_by_delimiter) {
            pos_ = p + 1;
        } else {
            done_ = true;
        }
        return true;
    }

    // Position of the quote that closes the one at open, or npos.
    size_t closing_quote(size_t open) {
        char q = line_[open];
        size_t& unmatched_from = q == '"' ? no_double_from_ : no_single_from_;
        size_t j = open + 1;
        while (true) {
            if (j >= unmatched_from) return std::string_view::npos;
            size_t k = line_.find(q, j);
            if (k == std::string_view::npos) {
                // No quote of this kind beyond j: later searches on this line fail at once.
                unmatched_from = j;
                return std::string_view::npos;
            }
            if (k + 1 < line_.size() && line_[k + 1] == q) {
                j = k + 2;
                continue;
            }
            return k;
        }
    }

private:
    std::string_view line_;
    const FieldChars& chars_;
    bool custom_;
    size_t pos_ = 0;
    bool done_ = false;
    size_t no_double_from_ = std::string_view::npos;
    size_t no_single_from_ = std::string_view::npos;
};

// The content of a raw field: a field that starts with a quote loses it, its matching closing
// quote and the blanks before that; doubled quotes inside become single ones.
std::string_view unquote(std::string_view raw, bool custom, std::string& scratch) {
    if (!custom || raw.empty() || (raw[0] != '"' && raw[0] != '\'')) return raw;
    static const FieldChars quotes_only(true, "");
    FieldSplitter probe(raw, quotes_only);
    size_t close = probe.closing_quote(0);
    if (close == std::string_view::npos) return raw;
    char q = raw[0];
    scratch.clear();
    for (size_t i = 1; i < close; ++i) {
        scratch += raw[i];
        if (raw[i] == q) ++i;  // the second of a doubled pair
    }
    while (!scratch.empty() && (scratch.back() == ' ' || scratch.back() == '\t')) scratch.pop_back();
    scratch.append(raw.substr(close + 1));
    return scratch;
}

// The common field "-123.45": an optional minus, digits and at most one point, at most 15
// digits in all. Its value is then exact as an integer and one correctly rounded division by a
// power of ten, which is what strtod gives; anything else goes the long way.
bool plain_decimal(std::string_view s, double& v) {
    static constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    size_t i = 0, n = s.size();
    bool neg = n > 0 && s[0] == '-';
    if (neg) ++i;
    uint64_t m = 0;
    int digits = 0, decimals = 0;
    bool point = false;
    for (; i < n; ++i) {
        char c = s[i];
        if (c >= '0' && c <= '9') {
            if (++digits > 15) return false;
            m = m * 10 + static_cast<uint64_t>(c - '0');
            if (point) ++decimals;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (digits == 0) return false;
    double x = static_cast<double>(m);
    if (decimals) x /= kPow10[decimals];
    v = neg ? -x : x;
    return true;
}

// A number read as strtod reads it. ok: at least one character was read; whole: nothing
// follows the number; overflow: the reading reported a range error of infinite size.
double read_number(std::string_view s, bool& ok, bool& whole, bool& overflow) {
    double v = 0;
    overflow = false;
    if (plain_decimal(s, v)) {
        ok = whole = true;
        return v;
    }
    // from_chars gives strtod's value whenever it consumes the whole text; it is much faster.
    if (!s.empty() && s[0] != '+' && s[0] != ' ') {
        auto r = std::from_chars(s.data(), s.data() + s.size(), v);
        if (r.ec == std::errc() && r.ptr == s.data() + s.size()) {
            ok = whole = true;
            return v;
        }
    }
    char buf[kSizingField + 1];
    size_t n = std::min(s.size(), kSizingField);
    std::memcpy(buf, s.data(), n);
    buf[n] = '\0';
    char* end = nullptr;
    errno = 0;
    v = std::strtod(buf, &end);
    ok = end != buf;
    whole = ok && static_cast<size_t>(end - buf) == n;
    overflow = ok && errno == ERANGE && std::isinf(v);
    return v;
}

// The value stored for a numeric cell: missing for empty, "*..." or unreadable text, for an
// overflowing reading and for not-a-number; clipped to the ceiling above it.
double cell_number(std::string_view s, double missing) {
    if (s.empty() || s[0] == '*') return missing;
    bool ok = false, whole = false, overflow = false;
    double v = read_number(s, ok, whole, overflow);
    if (!ok || overflow || std::isnan(v) || v <= missing) return missing;
    return v > VXS_NUM_CEILING ? VXS_NUM_CEILING : v;
}

bool starts_number(std::string_view s) {
    return !s.empty() && ((s[0] >= '0' && s[0] <= '9') || s[0] == '+' || s[0] == '-');
}

// Without custom delimiters, lines at the top that start with a double quote are titles
// (the aligned text writer's heading line among them). Lines is any source with
// bool next(std::string_view&).
template <typename Lines>
class TitleSkipper {
public:
    TitleSkipper(Lines& lines, bool custom) : lines_(lines), top_(!custom) {}
    bool next(std::string_view& line) {
        while (lines_.next(line)) {
            if (top_ && !line.empty() && line[0] == '"') continue;
            top_ = false;
            return true;
        }
        return false;
    }

private:
    Lines& lines_;
    bool top_;
};

template <typename Lines>
int size_text(int32_t* rows, int32_t* columns, int* names, std::vector<int32_t>* types,
              const VxsTextOptions* options, Lines& source, std::vector<size_t>* text_bytes) {
    bool custom = options->custom_delimiters != 0;
    const FieldChars chars(custom, options->delimiters);
    TitleSkipper<Lines> lines(source, custom);
    std::string_view line, raw;
    std::string scratch;
    int has_names = 0;
    int32_t line_count = 0, max_fields = 0;
    bool last_empty = false;
    std::vector<int32_t> t;
    std::vector<int32_t> field_count, text_count;
    std::vector<size_t> bytes;
    bool want_types = types != nullptr;

    while (lines.next(line)) {
        bool first = line_count == 0;
        ++line_count;
        last_empty = line.empty() || line[0] == '\r';
        if (first) {
            if (options->names_mode == 1) {
                has_names = 1;
            } else if (options->names_mode == 0) {
                has_names = 1;
                FieldSplitter fields(line, chars);
                while (fields.next(raw))
                    if (starts_number(unquote(raw, custom, scratch))) has_names = 0;
            }
        }
        bool description = options->use_description && line_count - 1 == options->description_line &&
                           !(first && has_names);
        FieldSplitter fields(line, chars);
        int32_t col = 0;
        while (line.size() && fields.next(raw)) {
            if (static_cast<size_t>(col) >= t.size()) {
                t.push_back(kUndecided);
                field_count.push_back(0);
                text_count.push_back(0);
                bytes.push_back(0);
            }
            std::string_view v = unquote(raw.substr(0, std::min(raw.size(), kSizingField)), custom, scratch);
            size_t c = static_cast<size_t>(col);
            if (first && has_names) {
                if (!v.empty()) {
                    char mark = v.back();
                    if (mark == '!') t[c] = -kUndecided;
                    if (mark == '$') t[c] = kText;
                    if (mark == '#') t[c] = kNumeric;
                }
            } else if (!description) {
                bytes[c] += std::min(v.size(), VXS_MAX_TEXT);
                int32_t kind = t[c] < 0 ? -t[c] : t[c];
                bool look = kind == kUndecided || (options->text_to_factor && kind == kText);
                if (want_types && look && !v.empty() && !(v.size() == 1 && v[0] == '*')) {
                    bool ok = false, whole = false, overflow = false;
                    read_number(v, ok, whole, overflow);
                    ++field_count[c];
                    if (!whole) {
                        ++text_count[c];
                        t[c] = t[c] < 0 ? -kText : kText;
                    }
                }
            }
            ++col;
        }
        max_fields = std::max(max_fields, col);
    }
    int32_t r = line_count - (last_empty ? 1 : 0) - has_names;
    if (options->use_description && options->description_line >= has_names && options->description_line < line_count)
        --r;
    *rows = std::max(r, 0);
    *columns = max_fields;
    if (names) *names = has_names;
    t.resize(static_cast<size_t>(max_fields), kUndecided);
    field_count.resize(t.size(), 0);
    text_count.resize(t.size(), 0);
    bytes.resize(t.size(), 0);
    for (size_t c = 0; c < t.size(); ++c) {
        bool factor = t[c] < 0;
        int32_t kind = factor ? -t[c] : t[c];
        if (kind == kUndecided) kind = kNumeric;
        if (options->text_to_factor && kind == kText) {
            if (text_count[c] * 3 <= field_count[c]) {
                kind = kNumeric;
            } else {
                factor = true;
            }
        }
        t[c] = factor ? -kind : kind;
    }
    if (types) *types = std::move(t);
    if (text_bytes) *text_bytes = std::move(bytes);
    return 1;
}

template <typename Lines>
void fill_text(Sheet* sheet, int has_names, const VxsTextOptions* options, Lines& source) {
    bool custom = options->custom_delimiters != 0;
    const FieldChars chars(custom, options->delimiters);
    TitleSkipper<Lines> lines(source, custom);
    std::string_view line, raw;
    std::string scratch, stripped;
    int32_t line_index = 0, row = 0;
    const int32_t ncols = sheet->column_count;
    const int32_t nrows = sheet->row_count;
    const double missing = sheet->missing;
    while (lines.next(line)) {
        int32_t li = line_index++;
        bool names_line = has_names && li == 0;
        bool description = options->use_description && li == options->description_line && !names_line;
        if (!names_line && !description && row >= nrows) break;
        FieldSplitter fields(line, chars);
        int32_t col = 0;
        while (line.size() && col < ncols && fields.next(raw)) {
            Column* c = sheet->cols[static_cast<size_t>(col) + 1].get();
            ++col;
            std::string_view v = unquote(raw, custom, scratch);
            if (v.size() > VXS_MAX_TEXT) v = v.substr(0, VXS_MAX_TEXT);
            if (!names_line && !description && !c->is_text()) {
                // Numbers need no blank stripping: the field's ends are already trimmed.
                c->num[static_cast<size_t>(row)] = cell_number(v, missing);
                continue;
            }
            // Stripping leaves a text without outer or doubled blanks as it is (the usual case).
            if (options->strip && !v.empty() &&
                (v.front() == ' ' || v.back() == ' ' || v.find("  ") != std::string_view::npos)) {
                stripped = vxs_strip_blanks(v, VXS_MAX_TEXT);
                v = stripped;
            }
            if (names_line) {
                if (v.empty() || v == " ") continue;  // keep the default name
                std::string name(v);
                make_valid_vantrix_name(name);
                c->name = name.substr(0, VXS_MAX_NAME);
            } else if (description) {
                c->extra = std::string(v.substr(0, VXS_MAX_NAME));
            } else {
                c->text.set(static_cast<size_t>(row), v);
                c->nlevels = std::max(c->nlevels, static_cast<int32_t>(std::min(v.size(), VXS_MAX_TEXT)));
            }
        }
        if (!names_line && !description) ++row;
    }
}

// Lines of a file, read in large blocks and normalised on the way: CR LF and a lone CR end a
// line as LF does, a zero byte cuts the rest of its line, a leading UTF-8 byte-order mark is
// dropped, and lines longer than kMaxLine are split. A last line without a line end counts
// when anything is left of it. A line stays valid until the next call.
class FileLines {
public:
    // A regular file of about size bytes, read from its start; every pass makes a new reader.
    // The buffer is left uninitialised: a small file touches only the pages it fills.
    FileLines(FILE* f, size_t size) : f_(f), cap_(std::clamp<size_t>(size + 1, 4096, kBlock)) {
        own_.reset(new char[cap_]);
        data_ = own_.get();
        std::fseek(f_, 0, SEEK_SET);
        fill();
        skip_bom();
    }
    // Text already in memory (a pipe, read to its end).
    explicit FileLines(std::string_view whole) : data_(whole.data()), end_(whole.size()), eof_(true) { skip_bom(); }

    bool next(std::string_view& line) {
        if (!rest_.empty()) return piece(rest_, line);
        while (true) {
            const char* p = data_ + beg_;
            const size_t n = end_ - beg_;
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', n));
            size_t len = nl ? static_cast<size_t>(nl - p) : n;
            const char* cr = static_cast<const char*>(std::memchr(p, '\r', len));
            if (cr) len = static_cast<size_t>(cr - p);
            bool ended = nl || cr;
            // The line end must be in the buffer, and the line feed that may follow a CR too.
            if (!eof_ && (!ended || (cr && len + 1 == n))) {
                fill();
                continue;
            }
            if (!ended && n == 0) return false;
            std::string_view content(p, len);
            if (const void* zero = std::memchr(p, '\0', len)) content = content.substr(0, static_cast<size_t>(static_cast<const char*>(zero) - p));
            beg_ += len;
            if (ended) {
                ++beg_;
                if (cr && beg_ < end_ && data_[beg_] == '\n') ++beg_;
            } else if (content.empty()) {
                return false;  // nothing left after the last line end
            }
            return piece(content, line);
        }
    }

private:
    static constexpr size_t kBlock = size_t(1) << 20;

    // The next at most kMaxLine characters of a line; the remainder waits in rest_.
    bool piece(std::string_view& text, std::string_view& line) {
        if (text.size() <= kMaxLine) {
            line = text;
            rest_ = std::string_view();
        } else {
            line = text.substr(0, kMaxLine);
            rest_ = text.substr(kMaxLine);
        }
        return true;
    }
    // Moves what is left to the front and reads more, growing the buffer for a line longer
    // than it.
    void fill() {
        if (eof_ || !f_) {
            eof_ = true;
            return;
        }
        size_t left = end_ - beg_;
        if (beg_ > 0 && left > 0) std::memmove(own_.get(), own_.get() + beg_, left);
        beg_ = 0;
        end_ = left;
        if (end_ == cap_) {
            std::unique_ptr<char[]> bigger(new char[cap_ * 2]);
            std::memcpy(bigger.get(), own_.get(), end_);
            own_ = std::move(bigger);
            cap_ *= 2;
        }
        data_ = own_.get();
        size_t got = std::fread(own_.get() + end_, 1, cap_ - end_, f_);
        end_ += got;
        if (got == 0) eof_ = true;
    }
    void skip_bom() {
        while (!eof_ && end_ < 3) fill();
        if (end_ >= 3 && static_cast<unsigned char>(data_[0]) == 0xEF && static_cast<unsigned char>(data_[1]) == 0xBB &&
            static_cast<unsigned char>(data_[2]) == 0xBF)
            beg_ = 3;
    }

    FILE* f_ = nullptr;
    size_t cap_ = 0;
    std::unique_ptr<char[]> own_;
    const char* data_ = nullptr;
    size_t beg_ = 0, end_ = 0;
    bool eof_ = false;
    std::string_view rest_;
};

// Builds the sheet; open_lines() gives a fresh line source for each pass over the text.
template <typename Open>
Sheet* new_from_text(Open&& open_lines) {
    VxsDefaults* d = vxs_get_global_defaults();
    VxsTextOptions options;
    options.names_mode = vxs_options().no_column_names ? 2 : (vxs_options().use_column_names ? 1 : 0);
    options.sort = d->sort_levels;
    options.ignore_case = d->factor_ignore_case;
    options.strip = d->factor_strip_blanks;
    {
        // A comma anywhere makes the text comma-separated (usually found on the first line).
        auto lines = open_lines();
        std::string_view line;
        while (lines.next(line)) {
            if (line.find(',') != std::string_view::npos) {
                options.custom_delimiters = 1;
                std::snprintf(options.delimiters, sizeof options.delimiters, ",;|");
                break;
            }
        }
    }
    int32_t rows = 0, columns = 0;
    int names = 0;
    std::vector<int32_t> types;
    std::vector<size_t> text_bytes;
    {
        auto lines = open_lines();
        if (!size_text(&rows, &columns, &names, &types, &options, lines, &text_bytes)) return nullptr;
    }
    if (rows < 1 || columns < 1) return nullptr;
    if (columns > VXSMAXCOLUMNS)
        std::printf("Warning Columns above %li NOT transfered!\n", static_cast<long>(VXSMAXCOLUMNS));

    // Text columns are made text before filling (blank_sheet creates them so directly).
    VxsSheetShape shape;
    shape.kind = VXS_VECTOR;
    shape.rows = rows;
    shape.columns = columns;
    shape.types = types.data();
    if (!blank_sheet(&shape, kNumeric)) return nullptr;
    Sheet* sheet = lastsheet;
    for (int32_t c = 1; c <= sheet->column_count; ++c) {
        Column* col = sheet->cols[static_cast<size_t>(c)].get();
        if (col->is_text()) col->text.reserve(static_cast<size_t>(rows), text_bytes[static_cast<size_t>(c - 1)]);
    }
    {
        auto lines = open_lines();
        fill_text(sheet, names, &options, lines);
    }

    for (int32_t c = 1; c <= sheet->column_count; ++c) {
        Column* col = sheet->cols[static_cast<size_t>(c)].get();
        bool factor = types[static_cast<size_t>(c - 1)] < 0 || (options.text_to_factor && col->is_text());
        if (!factor) continue;
        if (col->is_text()) {
            convert_text_to_factor(col, 1, d->factor_strip_blanks);
            if (!col->is_text()) col->text = TextCells();  // give the text arena back
        } else
            convert_variate_to_factor(col, 1);
        if (!col->name.empty() && (col->name.back() == '!' || col->name.back() == '#' || col->name.back() == '$'))
            col->name.pop_back();
        if (col->name.empty()) col->name = vxs_def_column_name(0);
    }
    vxs_make_unique_column_names(sheet);
    return sheet;
}

}  // namespace

int vxs_get_text_size(int32_t* rows, int32_t* columns, int* names, std::vector<int32_t>* types,
                      const VxsTextOptions* options, const char* text) {
    if (!rows || !columns || !options || !text || !*text) return 0;
    LineSplitter lines{std::string_view(text)};
    return size_text(rows, columns, names, types, options, lines, nullptr);
}

void vxs_set_text_into_sheet(Sheet* sheet, int has_names, const VxsTextOptions* options, const char* text) {
    if (!sheet || !options || !text) return;
    LineSplitter lines{std::string_view(text)};
    fill_text(sheet, has_names, options, lines);
}

int validate_cell(Column* column, int32_t row, const char* text) {
    if (!column || !column->sheet || row < 0 || row >= column->sheet->row_count) return 0;
    std::string_view s = text ? std::string_view(text) : std::string_view();
    size_t r = static_cast<size_t>(row);
    if (column->is_text()) {
        if (r >= column->text.size()) return 0;
        s = s.substr(0, std::min(s.size(), VXS_MAX_TEXT));
        column->text.set(r, s);
        column->nlevels = std::max(column->nlevels, static_cast<int32_t>(s.size()));
        return 1;
    }
    if (r >= column->num.size()) return 0;
    column->num[r] = cell_number(s, column->sheet->missing);
    return 1;
}

int blank_sheet(const VxsSheetShape* shape, int32_t default_type) {
    if (!shape || shape->rows < 1 || shape->columns < 1) return 0;
    Sheet* previous = lastsheet;
    Sheet* sheet = create_sheet();
    if (!sheet) {
        lastsheet = previous;
        return 0;
    }
    sheet->missing = vxs_missing;
    vxs_set_gregorian(sheet->defaults.gregorian);
    sheet->kind = VXS_VECTOR;
    sheet->form_code = 0;
    sheet->row_count = shape->rows;
    if (!create_row_attr(sheet)) {
        lastsheet = previous;
        return 0;
    }
    int32_t columns = std::min(shape->columns, VXSMAXCOLUMNS);
    if (shape->kind == VXS_DIAGMATRIX) columns = 1;
    for (int32_t i = 0; i < columns; ++i) {
        int32_t type = shape->types ? std::abs(shape->types[i]) : default_type;
        bool numeric = type == kNumeric;
        Column* c = create_column_with_memory(sheet, numeric ? kNumeric : kText, vxs_def_column_name(0), shape->rows);
        if (!c) break;
        if (numeric) {
            c->decimals = -1;
            c->representation = VXS_REP_GENERAL;
        } else {
            c->decimals = 0;
            c->representation = VXS_REP_TEXT;
        }
        c->width = 6;
    }
    return 1;
}

const char* xvt_str_find_eol(const char* buffer, size_t length, size_t* line_length, int* found) {
    static const char* pos = nullptr;
    static const char* end = nullptr;
    if (buffer) {
        pos = buffer;
        end = buffer + length;
    }
    if (found) *found = 0;
    if (line_length) *line_length = 0;
    if (!pos || pos >= end) return nullptr;
    const char* nl = static_cast<const char*>(std::memchr(pos, '\n', static_cast<size_t>(end - pos)));
    const char* line_end = nl ? nl : end;
    if (line_length) *line_length = static_cast<size_t>(line_end - pos);
    if (found) *found = nl ? 1 : 0;
    pos = nl ? nl + 1 : end;
    return pos < end ? pos : nullptr;
}

Sheet* vxs_new_from_text(const char* text) {
    if (!text || !*text) return nullptr;
    std::string_view whole(text);
    return new_from_text([whole] { return LineSplitter(whole); });
}

int read_csv_into_sheet(const char* path) {
    if (!path) return 0;
    FILE* f = std::fopen(path, "rb");
    if (!f) return 0;
    struct stat st {};
    Sheet* sheet = nullptr;
    if (fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode)) {
        // Each pass reads the file again in blocks: it stays in the page cache, not beside the sheet.
        size_t size = static_cast<size_t>(st.st_size);
        sheet = new_from_text([f, size] { return FileLines(f, size); });
    } else {
        // A pipe cannot be read twice: it is kept in memory.
        std::string buf;
        char block[1 << 16];
        size_t k;
        while ((k = std::fread(block, 1, sizeof block, f)) > 0) buf.append(block, k);
        sheet = new_from_text([&buf] { return FileLines(std::string_view(buf)); });
    }
    std::fclose(f);
    return sheet ? 1 : 0;
}

int16_t read_csv_file(const char* path) { return static_cast<int16_t>(read_csv_into_sheet(path)); }
