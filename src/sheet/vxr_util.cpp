// Numbers typed by people read from text under the five tolerance modes, the blank and missing
// text tests, and the one writer of the conversion warnings file.
#include <charconv>
#include <cstdio>
#include <cstring>

#include "vxs_sheet.h"
#include "byte_writer.h"
#include "vxs_txtnum.h"
#include "vxs_options.h"

char vxs_warn_file[257] = "TxtToNum.ERR";
FILE* vxs_warn_out = nullptr;

namespace {

// Name of a warnings file that could not be created: no further attempts for it this run.
char g_warn_failed[257] = "";

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_c_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
char lower_ascii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// The longest number at the start of s[0..n) in the classic strtod grammar (leading white
// space, sign, digits with an optional point, optional exponent). No "inf", "nan" or hex:
// typed cells like "Infinity" must not become numbers. end gets the index after the number.
bool scan_number(const char* s, size_t n, size_t* begin, size_t* end) {
    size_t i = 0;
    while (i < n && is_c_space(s[i])) ++i;
    *begin = i;
    if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = 0;
    while (i < n && is_digit(s[i])) ++i, ++digits;
    if (i < n && s[i] == '.') {
        ++i;
        while (i < n && is_digit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < n && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < n && is_digit(s[j])) {
            while (j < n && is_digit(s[j])) ++j;
            i = j;
        }
    }
    *end = i;
    return true;
}

// Converts a span accepted by scan_number; false on overflow or underflow.
bool convert_number(const char* s, size_t begin, size_t end, double* out) {
    bool negative = false;
    if (s[begin] == '+' || s[begin] == '-') {
        negative = s[begin] == '-';
        ++begin;
    }
    double v = 0;
    auto res = std::from_chars(s + begin, s + end, v, std::chars_format::general);
    if (res.ec != std::errc()) return false;
    if (v == 0) {
        // A non-zero mantissa that came out as zero underflowed.
        for (size_t i = begin; i < end && s[i] != 'e' && s[i] != 'E'; ++i)
            if (s[i] >= '1' && s[i] <= '9') return false;
    }
    *out = negative ? -v : v;
    return true;
}

// Strips s[0..n) into out (which may be s itself: writes never pass reads). Returns the length.
size_t strip_into(char* out, const char* s, size_t n) {
    if (n == 0) {
        out[0] = '\0';
        return 0;
    }
    size_t e = n;
    while (e > 1 && s[e - 1] == ' ') --e;
    size_t b = 0;
    while (b + 1 < e && s[b] == ' ') ++b;
    size_t k = 0;
    char prev = '\0';
    for (size_t i = b; i < e; ++i) {
        char c = s[i];
        if (!(c == ' ' && prev == ' ')) out[k++] = c;
        prev = c;
    }
    out[k] = '\0';
    return k;
}

}  // namespace

double vxs_spread_read_num_from_text(const char* text, double missing, int16_t* changed) {
    if (!text || !*text) return missing;
    char buf[VXS_MAX_TEXT + 1];
    size_t n = 0;
    while (n < VXS_MAX_TEXT && text[n]) {
        buf[n] = text[n];
        ++n;
    }
    buf[n] = '\0';

    const int32_t set = vxs_options().txt_to_num_mode;
    const int32_t mode = (set < 0 || set > 4) ? 3 : set;
    bool change = false;
    int repairs = 0;

    if (mode != 0) {
        // Points of the original text are never replaced, so "a '.' follows later" is simply
        // "the last original '.' lies to the right".
        long last_dot = -1;
        for (size_t i = 0; i < n; ++i)
            if (buf[i] == '.') last_dot = static_cast<long>(i);
        const bool full = mode != 2;
        for (size_t i = 0; i < n; ++i) {
            const char c = buf[i];
            const char point = last_dot > static_cast<long>(i) ? ' ' : '.';
            char r = c;
            switch (c) {
                case '!': case '"': case '#': case '$': case '%': case '&': case '\'':
                case '(': case ')': case '/': case '?': case '[': case ']': r = ' '; break;
                case ',': r = point; break;
                case ':': case ';': case '<': case '>':
                    if (full) r = point;
                    break;
                case 'I': case 'L': case 'i': case 'l': r = '1'; break;
                case 'O': case 'o': r = '0'; break;
                case '@':
                    if (full) r = '0';
                    break;
                case 'S': case 's':
                    if (full) r = '5';
                    break;
                case 'Z': case 'z':
                    if (full) r = '2';
                    break;
                default: break;
            }
            if (r != c) {
                buf[i] = r;
                ++repairs;
            }
        }
        if (repairs) change = true;
    }

    if (mode == 4) {
        bool exponent = false, point = false;
        bool plus[2] = {false, false}, minus[2] = {false, false};
        size_t k = 0;
        for (size_t i = 0; i < n; ++i) {
            const char c = buf[i];
            char keep = '\0';
            if (is_digit(c)) {
                keep = c;
            } else if (c == '.' && !point) {
                point = true;
                keep = c;
            } else if (c == '+' && !plus[exponent]) {
                plus[exponent] = true;
                keep = c;
            } else if (c == '-' && !minus[exponent]) {
                minus[exponent] = true;
                keep = c;
            } else if ((c == 'e' || c == 'E') && !exponent) {
                exponent = true;
                keep = c;
            } else if ((c == 'd' || c == 'D') && !exponent) {
                exponent = true;
                keep = 'e';
                change = true;
            }
            if (keep)
                buf[k++] = keep;
            else
                change = true;
        }
        n = k;
        buf[n] = '\0';
    }

    bool valid = true;
    if (mode <= 3) {
        int points = 0;
        for (size_t i = 0; i < n; ++i) points += buf[i] == '.';
        if (points > 1) valid = false;
    }
    size_t begin = 0, end = 0;
    double value = 0;
    if (valid && !scan_number(buf, n, &begin, &end)) valid = false;
    if (valid) {
        if (mode == 0 && end < n) valid = false;
        if ((mode == 1 || mode == 2) && end < n && buf[end] != ' ') valid = false;
        if (mode == 1 && repairs >= 2) valid = false;
    }
    if (valid && !convert_number(buf, begin, end, &value)) valid = false;

    if (!valid) {
        value = missing;
        change = true;
    } else if (value > VXS_NUM_CEILING) {
        value = VXS_NUM_CEILING;
        change = true;
    } else if (value < missing) {
        value = missing;
        change = true;
    }
    if (changed) *changed = change ? 1 : 0;
    return value;
}

void vxs_strip_blanks(char* destination, const char* source, size_t limit) {
    if (!destination) return;
    if (!source) {
        destination[0] = '\0';
        return;
    }
    strip_into(destination, source, strnlen(source, limit));
}

std::string vxs_strip_blanks(std::string_view source, size_t limit) {
    std::string out(source.substr(0, limit));
    out.resize(strip_into(out.data(), out.data(), out.size()));
    return out;
}

int vxs_is_missing_text(const char* text) {
    if (!text) return 1;
    char buf[VXS_MAX_TEXT + 1];
    size_t n = strip_into(buf, text, strnlen(text, VXS_MAX_TEXT));
    if (n == 0 || (n == 1 && buf[0] == ' ')) return 1;
    // The first character must match exactly; the rest is compared without regard to case,
    // so with "NA" as missing text "Na" is missing and "na" is data.
    const std::string& mv = vxs_options().xls_mv;
    if (buf[0] != mv[0]) return 0;
    size_t i = 1;
    for (; buf[i] && i < mv.size(); ++i)
        if (lower_ascii(buf[i]) != lower_ascii(mv[i])) return 0;
    return buf[i] == (i < mv.size() ? mv[i] : '\0') ? 1 : 0;
}

void vxs_warn_conversion(const char* column_name, long row1, const char* text, double value,
                         double missing) {
    if (!vxs_warn_out) {
        if (g_warn_failed[0] && std::strcmp(g_warn_failed, vxs_warn_file) == 0) return;
        vxs_warn_out = vxs_create_output_file(vxs_warn_file);
        if (!vxs_warn_out) {
            std::snprintf(g_warn_failed, sizeof g_warn_failed, "%s", vxs_warn_file);
            return;
        }
        g_warn_failed[0] = '\0';
        std::fputs("Text to Number Conversion Warnings\n \n", vxs_warn_out);
    }
    if (!column_name) column_name = "";
    if (!text) text = "";
    if (value > missing)
        std::fprintf(vxs_warn_out, "Column %s Row %4li: %s read as %.12g\n", column_name, row1, text,
                     value);
    else
        std::fprintf(vxs_warn_out, "Column %s Row %4li: %s read as *\n", column_name, row1, text);
}
