// Delimited text into a sheet: a sizing pass (rows, columns, names line, column types) and a
// filling pass, each reading the file in large blocks and normalising line ends on the way,
// so the file's text is never held beside the sheet. A big file is cut at a line end near its
// middle and both passes run on the two parts at once.
#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "vxs_options.h"
#include "vxs_parts.h"
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
        if (custom) {
            kind[static_cast<unsigned char>('"')] = kQuote;
            kind[static_cast<unsigned char>('\'')] = kQuote;
            for (const char* d = delimiters; *d; ++d) kind[static_cast<unsigned char>(*d)] = kDelimiter;
        } else {
            kind[static_cast<unsigned char>('\t')] = kDelimiter;
        }
        for (int c = 1; c < 256; ++c) {
            if (kind[c] == kDelimiter && delimiters_ < 8) delimiter[delimiters_++] = kOnes * static_cast<uint64_t>(c);
            if (kind[c] == kQuote) quotes = true;
        }
        // Spare places repeat the first delimiter, so that the common few are tested at once.
        for (int i = delimiters_; i < 8; ++i) delimiter[i] = delimiter[0];
    }
    // The top bit of the byte of each delimiter, and of each quote, among the 8 characters in
    // w. Past the first marked byte marks may be false, but the lowest mark of either kind is
    // true: fields are short, and 8 characters at a time find their end without a branch per
    // character.
    uint64_t delimiter_marks(uint64_t w) const {
        if (delimiters_ == 0) return 0;
        uint64_t m = zero_bytes(w ^ delimiter[0]) | zero_bytes(w ^ delimiter[1]) | zero_bytes(w ^ delimiter[2]) |
                     zero_bytes(w ^ delimiter[3]);
        if (delimiters_ > 4)
            m |= zero_bytes(w ^ delimiter[4]) | zero_bytes(w ^ delimiter[5]) | zero_bytes(w ^ delimiter[6]) |
                 zero_bytes(w ^ delimiter[7]);
        return m;
    }
    uint64_t quote_marks(uint64_t w) const {
        return quotes ? zero_bytes(w ^ (kOnes * '"')) | zero_bytes(w ^ (kOnes * '\'')) : 0;
    }
    bool quotes = false;

private:
    static constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    static uint64_t zero_bytes(uint64_t x) { return (x - kOnes) & ~x & kHighs; }
    uint64_t delimiter[8] = {};
    int delimiters_ = 0;
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
            if (p + 8 <= n) {
                uint64_t w;
                std::memcpy(&w, line_.data() + p, 8);
                const uint64_t delimiters = chars_.delimiter_marks(w), m = delimiters | chars_.quote_marks(w);
                if (!m) {
                    p += 8;
                    continue;
                }
                const int bit = std::countr_zero(m);
                p += static_cast<size_t>(bit >> 3);
                if (delimiters >> bit & 1) {
                    ended_by_delimiter = true;
                    break;
                }
                size_t close = closing_quote(p);
                p = close != std::string_view::npos ? close + 1 : p + 1;
                continue;
            }
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

std::string_view unquote_quoted(std::string_view raw, std::string& scratch);

// The content of a raw field: a field that starts with a quote loses it, its matching closing
// quote and the blanks before that; doubled quotes inside become single ones. Most fields
// start with no quote, and only that test is made at the call.
inline std::string_view unquote(std::string_view raw, bool custom, std::string& scratch) {
    if (!custom || raw.empty() || (raw[0] != '"' && raw[0] != '\'')) return raw;
    return unquote_quoted(raw, scratch);
}

std::string_view unquote_quoted(std::string_view raw, std::string& scratch) {
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
struct PlainDecimal {
    uint64_t digits = 0;  // all of them, as one integer
    int decimals = 0;     // how many follow the point
    bool negative = false;
};

// With kValue false only the syntax is checked (what sizing needs), which is cheaper.
template <bool kValue = true>
bool scan_plain_decimal(std::string_view s, PlainDecimal& d) {
    size_t i = 0, n = s.size();
    d.negative = n > 0 && s[0] == '-';
    if (d.negative) ++i;
    int count = 0;
    bool point = false;
    for (; i < n; ++i) {
        char c = s[i];
        if (c >= '0' && c <= '9') {
            if (++count > 15) return false;
            if constexpr (kValue) {
                d.digits = d.digits * 10 + static_cast<uint64_t>(c - '0');
                if (point) ++d.decimals;
            }
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return count > 0;
}

bool plain_decimal(std::string_view s, double& v) {
    static constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    PlainDecimal d;
    if (!scan_plain_decimal(s, d)) return false;
    double x = static_cast<double>(d.digits);
    if (d.decimals) x /= kPow10[d.decimals];
    v = d.negative ? -x : x;
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
    TitleSkipper(Lines& lines, bool no_titles) : lines_(lines), top_(!no_titles) {}
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

// The sizing pass, one line at a time: rows, columns, whether the first line holds names, and
// each column's type and text bytes. A second sizer can take over the lines after some line
// end (see continuation) and be merged back, so that two halves of a file size in parallel.
class TextSizer {
public:
    TextSizer(const VxsTextOptions* options, bool want_types)
        : options_(options), custom_(options->custom_delimiters != 0), chars_(custom_, options->delimiters),
          want_types_(want_types) {}

    void line(std::string_view line) {
        std::string_view raw;
        bool first = line_count_ == 0 && !continued_;
        ++line_count_;
        last_empty_ = line.empty() || line[0] == '\r';
        if (first) {
            if (options_->names_mode == 1) {
                has_names_ = 1;
            } else if (options_->names_mode == 0) {
                has_names_ = 1;
                FieldSplitter fields(line, chars_);
                while (fields.next(raw))
                    if (starts_number(unquote(raw, custom_, scratch_))) has_names_ = 0;
            }
        }
        bool description = options_->use_description && line_count_ - 1 == options_->description_line &&
                           !(first && has_names_);
        FieldSplitter fields(line, chars_);
        int32_t col = 0;
        while (line.size() && fields.next(raw)) {
            if (static_cast<size_t>(col) >= t_.size()) grow(static_cast<size_t>(col) + 1);
            std::string_view v = unquote(raw.substr(0, std::min(raw.size(), kSizingField)), custom_, scratch_);
            size_t c = static_cast<size_t>(col);
            if (first && has_names_) {
                if (!v.empty()) {
                    char mark = v.back();
                    if (mark == '!') t_[c] = -kUndecided;
                    if (mark == '$') t_[c] = kText;
                    if (mark == '#') t_[c] = kNumeric;
                }
            } else if (!description) {
                bytes_[c] += std::min(v.size(), VXS_MAX_TEXT);
                int32_t kind = t_[c] < 0 ? -t_[c] : t_[c];
                bool look = kind == kUndecided || (options_->text_to_factor && kind == kText);
                if (want_types_ && look && !v.empty() && !(v.size() == 1 && v[0] == '*')) {
                    // Only whether the whole field reads as a number matters here.
                    PlainDecimal plain;
                    bool ok = false, whole = scan_plain_decimal<false>(v, plain), overflow = false;
                    if (!whole) read_number(v, ok, whole, overflow);
                    ++field_count_[c];
                    if (!whole) {
                        ++text_count_[c];
                        t_[c] = t_[c] < 0 ? -kText : kText;
                    }
                }
            }
            ++col;
        }
        max_fields_ = std::max(max_fields_, col);
    }

    // A sizer for the lines after those seen so far (the first line already read): it starts
    // from the column marks of the names line and counts from zero.
    TextSizer continuation() const {
        TextSizer next(options_, want_types_);
        next.continued_ = true;
        next.has_names_ = has_names_;
        next.t_ = t_;
        next.grow(t_.size());
        return next;
    }
    // Adds the counts of a continuation that read the lines after this one's.
    void merge(const TextSizer& later) {
        grow(std::max(t_.size(), later.t_.size()));
        for (size_t c = 0; c < later.t_.size(); ++c) {
            if (std::abs(later.t_[c]) == kText) t_[c] = t_[c] < 0 || later.t_[c] < 0 ? -kText : kText;
            field_count_[c] += later.field_count_[c];
            text_count_[c] += later.text_count_[c];
            bytes_[c] += later.bytes_[c];
        }
        max_fields_ = std::max(max_fields_, later.max_fields_);
        if (later.line_count_ > 0) last_empty_ = later.last_empty_;
        line_count_ += later.line_count_;
    }
    // Data rows among the lines read: the names line and the description are not.
    int32_t data_lines() const { return line_count_ - (continued_ ? 0 : has_names_); }
    // Text bytes of each field position among the lines read (at most what filling stores).
    const std::vector<size_t>& text_bytes() const { return bytes_; }

    int finish(int32_t* rows, int32_t* columns, int* names, std::vector<int32_t>* types,
               std::vector<size_t>* text_bytes) {
        int32_t r = line_count_ - (last_empty_ ? 1 : 0) - has_names_;
        if (options_->use_description && options_->description_line >= has_names_ &&
            options_->description_line < line_count_)
            --r;
        *rows = std::max(r, 0);
        *columns = max_fields_;
        if (names) *names = has_names_;
        grow(static_cast<size_t>(max_fields_));
        t_.resize(static_cast<size_t>(max_fields_));
        for (size_t c = 0; c < t_.size(); ++c) {
            bool factor = t_[c] < 0;
            int32_t kind = factor ? -t_[c] : t_[c];
            if (kind == kUndecided) kind = kNumeric;
            if (options_->text_to_factor && kind == kText) {
                if (text_count_[c] * 3 <= field_count_[c]) {
                    kind = kNumeric;
                } else {
                    factor = true;
                }
            }
            t_[c] = factor ? -kind : kind;
        }
        if (types) *types = std::move(t_);
        if (text_bytes) {
            bytes_.resize(static_cast<size_t>(max_fields_));
            *text_bytes = std::move(bytes_);
        }
        return 1;
    }

private:
    void grow(size_t n) {
        if (t_.size() < n) t_.resize(n, kUndecided);
        field_count_.resize(std::max(field_count_.size(), n), 0);
        text_count_.resize(std::max(text_count_.size(), n), 0);
        bytes_.resize(std::max(bytes_.size(), n), 0);
    }

    const VxsTextOptions* options_;
    bool custom_;
    FieldChars chars_;
    bool want_types_;
    bool continued_ = false;
    std::string scratch_;
    int has_names_ = 0;
    int32_t line_count_ = 0, max_fields_ = 0;
    bool last_empty_ = false;
    std::vector<int32_t> t_;
    std::vector<int32_t> field_count_, text_count_;
    std::vector<size_t> bytes_;
};

template <typename Lines>
int size_text(int32_t* rows, int32_t* columns, int* names, std::vector<int32_t>* types,
              const VxsTextOptions* options, Lines& source, std::vector<size_t>* text_bytes) {
    TextSizer sizer(options, types != nullptr);
    TitleSkipper<Lines> lines(source, options->custom_delimiters != 0);
    std::string_view line;
    while (lines.next(line)) sizer.line(line);
    return sizer.finish(rows, columns, names, types, text_bytes);
}

// Where one of two threads filling a sheet puts its texts: its own byte range of each text
// column's arena, and its own longest lengths.
struct TextTarget {
    std::vector<TextCells::Region> cells;  // by column index from 0
    std::vector<int32_t> longest;
};

// Fills rows from first_row on. continued: the lines follow others (no names line, no
// description, no titles).
template <typename Lines>
void fill_text(Sheet* sheet, int has_names, const VxsTextOptions* options, Lines& source,
               int32_t first_row = 0, bool continued = false, TextTarget* target = nullptr) {
    bool custom = options->custom_delimiters != 0;
    const FieldChars chars(custom, options->delimiters);
    TitleSkipper<Lines> lines(source, custom || continued);
    std::string_view line, raw;
    std::string scratch, stripped;
    int32_t line_index = 0, row = first_row;
    const int32_t ncols = sheet->column_count;
    const int32_t nrows = sheet->row_count;
    const double missing = sheet->missing;
    while (lines.next(line)) {
        int32_t li = line_index++;
        bool names_line = !continued && has_names && li == 0;
        bool description = !continued && options->use_description && li == options->description_line && !names_line;
        if (!names_line && !description && row >= nrows) break;
        FieldSplitter fields(line, chars);
        int32_t col = 0;
        while (line.size() && col < ncols && fields.next(raw)) {
            Column* c = sheet->cols[static_cast<size_t>(col) + 1].get();
            ++col;
            std::string_view v = unquote(raw, custom, scratch);
            if (v.size() > VXS_MAX_TEXT) v = v.substr(0, VXS_MAX_TEXT);
            if (!names_line && !description && !c->is_text()) {
                // Numbers need no blank stripping: the field's ends are already trimmed. The
                // common plain decimal is read here, anything else the long way.
                double x = 0;
                const bool plain = !v.empty() && v[0] != '*' && plain_decimal(v, x) && x > missing;
                c->num[static_cast<size_t>(row)] = plain ? x : cell_number(v, missing);
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
                int32_t length = static_cast<int32_t>(std::min(v.size(), VXS_MAX_TEXT));
                if (target) {
                    size_t k = static_cast<size_t>(col - 1);
                    target->cells[k].set(static_cast<size_t>(row), v);
                    target->longest[k] = std::max(target->longest[k], length);
                } else {
                    c->text.set(static_cast<size_t>(row), v);
                    c->nlevels = std::max(c->nlevels, length);
                }
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
    // The part of a regular file of about size bytes from byte begin up to byte end (or its
    // end); every pass makes a new reader. The buffer is left uninitialised: a small file
    // touches only the pages it fills.
    FileLines(int fd, size_t size, size_t begin = 0, size_t end = SIZE_MAX)
        : fd_(fd), at_(begin), stop_(end), cap_(std::clamp<size_t>(std::min(size, end - begin) + 1, 4096, kBlock)) {
        own_.reset(new char[cap_]);
        data_ = own_.get();
        fill();
        if (begin == 0) skip_bom();
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
        if (eof_ || fd_ < 0) {
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
        ssize_t got;
        do {
            got = pread(fd_, own_.get() + end_, std::min(cap_ - end_, stop_ - at_), static_cast<off_t>(at_));
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {
            eof_ = true;
            return;
        }
        end_ += static_cast<size_t>(got);
        at_ += static_cast<size_t>(got);
        if (at_ >= stop_) eof_ = true;
    }
    void skip_bom() {
        while (!eof_ && end_ < 3) fill();
        if (end_ >= 3 && static_cast<unsigned char>(data_[0]) == 0xEF && static_cast<unsigned char>(data_[1]) == 0xBB &&
            static_cast<unsigned char>(data_[2]) == 0xBF)
            beg_ = 3;
    }

    int fd_ = -1;
    size_t at_ = 0, stop_ = SIZE_MAX;  // the next byte to read, and where the part ends
    size_t cap_ = 0;
    std::unique_ptr<char[]> own_;
    const char* data_ = nullptr;
    size_t beg_ = 0, end_ = 0;
    bool eof_ = false;
    std::string_view rest_;
};

// Sizes the text in two parts at once, the later part on a second thread. Returns the data
// rows of the earlier part, or -1 when it holds no line past the titles (then nothing is set);
// early_text_bytes gets the earlier part's share of text_bytes.
template <typename Lines>
int32_t size_text_in_halves(std::pair<Lines, Lines>& halves, const VxsTextOptions* options, int32_t* rows,
                            int32_t* columns, int* names, std::vector<int32_t>* types,
                            std::vector<size_t>* text_bytes, std::vector<size_t>* early_text_bytes) {
    TextSizer early(options, true);
    TitleSkipper<Lines> lines(halves.first, options->custom_delimiters != 0);
    std::string_view line;
    if (!lines.next(line)) return -1;
    early.line(line);  // the names line's marks go to the later part too
    TextSizer later = early.continuation();
    vxs_run_parts(2, [&](unsigned part) {
        std::string_view l;
        if (part == 0) {
            while (lines.next(l)) early.line(l);
        } else {
            while (halves.second.next(l)) later.line(l);
        }
    });
    int32_t early_rows = early.data_lines();
    *early_text_bytes = early.text_bytes();
    early.merge(later);
    early.finish(rows, columns, names, types, text_bytes);
    return early_rows;
}

// Fills the sheet from two parts at once; the later part's rows start at early_rows. Each
// part writes its texts into its own share of the columns' arenas, as sized.
template <typename Lines>
void fill_text_in_halves(std::pair<Lines, Lines>& halves, Sheet* sheet, int names, const VxsTextOptions* options,
                         int32_t early_rows, const std::vector<size_t>& text_bytes,
                         const std::vector<size_t>& early_text_bytes) {
    const size_t ncols = static_cast<size_t>(sheet->column_count);
    TextTarget parts[2];
    for (TextTarget& t : parts) {
        t.cells.resize(ncols);
        t.longest.assign(ncols, 0);
    }
    for (size_t k = 0; k < ncols; ++k) {
        Column* c = sheet->cols[k + 1].get();
        if (!c->is_text()) continue;
        const size_t all = k < text_bytes.size() ? text_bytes[k] : 0;
        const size_t early = std::min(all, k < early_text_bytes.size() ? early_text_bytes[k] : 0);
        parts[0].cells[k] = c->text.region(early);
        parts[1].cells[k] = c->text.region(all - early);
    }
    vxs_run_parts(2, [&](unsigned part) {
        if (part == 0) {
            fill_text(sheet, names, options, halves.first, 0, false, &parts[0]);
        } else {
            fill_text(sheet, names, options, halves.second, early_rows, true, &parts[1]);
        }
    });
    for (size_t k = 0; k < ncols; ++k) {
        Column* c = sheet->cols[k + 1].get();
        if (!c->is_text()) continue;
        std::vector<TextCells::Region> regions{std::move(parts[0].cells[k]), std::move(parts[1].cells[k])};
        c->text.close(regions);
        c->nlevels = std::max({c->nlevels, parts[0].longest[k], parts[1].longest[k]});
    }
}

// Builds the sheet; open_lines() gives a fresh line source for each pass over the text, and
// open_halves() two sources, over the text up to a line end and over the rest, when the text
// is big enough to read in two parts at once (else an empty optional).
template <typename Open, typename OpenHalves>
Sheet* new_from_text(Open&& open_lines, OpenHalves&& open_halves) {
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
    std::vector<size_t> text_bytes, early_text_bytes;
    int32_t early_rows = -1;  // rows of the earlier part, when read in two
    if (auto halves = open_halves())
        early_rows = size_text_in_halves(*halves, &options, &rows, &columns, &names, &types, &text_bytes,
                                         &early_text_bytes);
    if (early_rows < 0) {
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
    auto halves = early_rows >= 0 ? open_halves() : std::nullopt;
    if (halves) {
        fill_text_in_halves(*halves, sheet, names, &options, early_rows, text_bytes, early_text_bytes);
    } else {
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

size_t forced_split = 0;
constexpr size_t kSplitBytes = size_t(1) << 20;  // smaller texts read faster on one thread

// Where a file of size bytes is cut in two for reading on two threads: just after the first
// line feed at or past its middle. 0: read it whole (small, one core, or no line feed).
size_t split_point(int fd, size_t size) {
    size_t from = forced_split;
    if (!from) {
        if (size < kSplitBytes || std::thread::hardware_concurrency() < 2) return 0;
        from = size / 2;
    }
    char block[1 << 16];
    while (from < size) {
        ssize_t got = pread(fd, block, sizeof block, static_cast<off_t>(from));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return 0;
        if (const void* nl = std::memchr(block, '\n', static_cast<size_t>(got))) {
            size_t at = from + static_cast<size_t>(static_cast<const char*>(nl) - block) + 1;
            return at < size ? at : 0;
        }
        from += static_cast<size_t>(got);
    }
    return 0;
}

}  // namespace

void vxs_set_text_split(size_t at) { forced_split = at; }

double vxs_read_number(std::string_view s, bool& ok, bool& whole, bool& overflow) {
    return read_number(s, ok, whole, overflow);
}

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
    int32_t columns = std::min(shape->columns, VXSMAXCOLUMNS);
    if (shape->kind == VXS_DIAGMATRIX) columns = 1;
    // A big sheet's columns and row list are made empty and sized on two threads: the first
    // touch of their pages is most of the cost, and pages of different blocks fault in side by
    // side.
    const bool big = static_cast<int64_t>(shape->rows) * columns >= (int64_t{1} << 20) &&
                     std::thread::hardware_concurrency() > 1;
    if (!big && !create_row_attr(sheet)) {
        lastsheet = previous;
        return 0;
    }
    std::vector<Column*> made;
    for (int32_t i = 0; i < columns; ++i) {
        int32_t type = shape->types ? std::abs(shape->types[i]) : default_type;
        bool numeric = type == kNumeric;
        Column* c = create_column_with_memory(sheet, numeric ? kNumeric : kText, vxs_def_column_name(0),
                                              big ? 0 : shape->rows);
        if (!c) break;
        made.push_back(c);
        if (numeric) {
            c->decimals = -1;
            c->representation = VXS_REP_GENERAL;
        } else {
            c->decimals = 0;
            c->representation = VXS_REP_TEXT;
        }
        c->width = 6;
    }
    if (big) {
        const size_t n = static_cast<size_t>(shape->rows);
        vxs_run_parts(2, [&](unsigned part) {
            if (part == 1) create_row_attr(sheet);  // rows > 0, so it cannot fail
            for (size_t k = part; k < made.size(); k += 2) {
                if (made[k]->is_text())
                    made[k]->text.resize(n);
                else
                    made[k]->num.assign(n, sheet->missing);
            }
        });
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
    return new_from_text([whole] { return LineSplitter(whole); },
                         [] { return std::optional<std::pair<LineSplitter, LineSplitter>>(); });
}

int read_csv_into_sheet(const char* path) {
    if (!path) return 0;
    FILE* f = std::fopen(path, "rb");
    if (!f) return 0;
    struct stat st {};
    Sheet* sheet = nullptr;
    if (fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode)) {
        // Each pass reads the file again in blocks: it stays in the page cache, not beside the sheet.
        const int fd = fileno(f);
        const size_t size = static_cast<size_t>(st.st_size);
        const size_t split = split_point(fd, size);
        sheet = new_from_text([fd, size] { return FileLines(fd, size); },
                              [fd, size, split] {
                                  using Halves = std::pair<FileLines, FileLines>;
                                  if (!split) return std::optional<Halves>();
                                  return std::optional<Halves>(std::in_place, FileLines(fd, size, 0, split),
                                                               FileLines(fd, size, split));
                              });
    } else {
        // A pipe cannot be read twice: it is kept in memory.
        std::string buf;
        char block[1 << 16];
        size_t k;
        while ((k = std::fread(block, 1, sizeof block, f)) > 0) buf.append(block, k);
        sheet = new_from_text([&buf] { return FileLines(std::string_view(buf)); },
                              [] { return std::optional<std::pair<FileLines, FileLines>>(); });
    }
    std::fclose(f);
    return sheet ? 1 : 0;
}

int16_t read_csv_file(const char* path) { return static_cast<int16_t>(read_csv_into_sheet(path)); }
