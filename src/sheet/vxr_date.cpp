// Day numbers on the 1900 (spreadsheet serial) and 1600 scales, reading and writing dates in
// the 40 format codes, and write_num, the number formatter every text writer shares.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "vxs_dates.h"
#include "vxs_numfmt.h"
#include "vxs_sheet.h"
#include "vxs_txtnum.h"

thread_local int16_t vxs_gregorian = 0;
thread_local int32_t vxs_date_format = 1;

namespace {

constexpr int kMonthDays[13] = {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
const char* const kMonthNames[14] = {"***",     "January",  "February", "March",  "April",
                                     "May",     "June",     "July",     "August", "September",
                                     "October", "November", "December", "***"};
// Beyond this a day number is no calendar date (and the arithmetic would leave long's range).
constexpr double kLargestDay = 1e9;
// Text of a date or number never exceeds this (callers give buffers of 64).
constexpr size_t kOut = 64;

bool is_digit(char c) { return c >= '0' && c <= '9'; }
char lower_ascii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Month names come from the global defaults record, so a user's own names are honoured; the
// built-in English names serve before the record is set up.
std::string_view long_month(int i) {
    const VxsDefaults* g = vxs_get_global_defaults();
    if (g && !g->month_names[i].empty()) return g->month_names[i];
    return kMonthNames[i];
}

std::string_view short_month(int i) {
    const VxsDefaults* g = vxs_get_global_defaults();
    if (g && !g->short_month_names[i].empty()) return g->short_month_names[i];
    return long_month(i).substr(0, 3);
}

double day_number(long day, long month, long year, int16_t gregorian) {
    if (month < 1 || month > 12 || day < 1 || day > kMonthDays[month]) return vxs_missing;
    if (month == 2 && day == 29 && year % 4 != 0) return vxs_missing;
    if (year < 0) return 0;
    long c, y;
    if (year >= 100) {
        c = year / 100 - 16;
        y = year - 100 * (year / 100);
    } else {
        c = 3;  // two-digit years are years of the 1900s
        y = year;
    }
    if (c < 0) return 0;
    // The spreadsheet serial scale has a 29 February 1900 (serial 60) the calendar lacks.
    const bool leap_day_1900 = !gregorian && month == 2 && day == 29 && c == 3 && y == 0;
    long m = month - 3;
    if (m < 0) {
        m += 12;
        y -= 1;
        if (y < 0) {
            y += 100;
            c -= 1;
        }
    }
    double d = day + std::floor(m * 30.6 + 0.5) + std::floor(y * 365.25 + 0.1) +
               std::floor(c * 36524.25 + 0.1);
    if (!gregorian && d > 0) {
        if (leap_day_1900) return 60;
        d -= VXS_SCALE_OFFSET;
        if (d <= 60) d -= 1;  // serials before the phantom 29 February sit one lower
    }
    return d;
}

// atol of at most len characters from pos: optional blanks and sign, then digits.
long to_long(std::string_view s, size_t pos, size_t len = std::string_view::npos) {
    if (pos >= s.size()) return 0;
    std::string_view t = s.substr(pos, len);
    size_t i = 0;
    while (i < t.size() && t[i] == ' ') ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    long v = 0;
    for (; i < t.size() && is_digit(t[i]); ++i)
        if (v < 100000000) v = v * 10 + (t[i] - '0');
    return negative ? -v : v;
}

size_t leading_digits(std::string_view s, size_t pos, size_t most) {
    size_t k = 0;
    while (pos + k < s.size() && k < most && is_digit(s[pos + k])) ++k;
    return k;
}

// A field of two characters; a non-digit second character means the field had one digit.
// sep gets the index of the separator that follows the field.
long field2(std::string_view s, size_t pos, size_t* sep) {
    if (pos + 1 < s.size() && !is_digit(s[pos + 1])) {
        *sep = pos + 1;
        return to_long(s, pos, 1);
    }
    *sep = pos + 2;
    return to_long(s, pos, 2);
}

// Seconds may carry a fraction.
double to_double(std::string_view s, size_t pos) {
    if (pos >= s.size()) return 0;
    size_t b = pos;
    while (b < s.size() && s[b] == ' ') ++b;
    size_t e = b;
    while (e < s.size() && (is_digit(s[e]) || s[e] == '.')) ++e;
    double v = 0;
    std::from_chars(s.data() + b, s.data() + e, v);
    return v;
}

// hours:minutes:seconds from pos.
void read_time(std::string_view s, size_t pos, double* h, double* m, double* sec) {
    *h = *m = *sec = 0;
    if (pos >= s.size()) return;
    *h = static_cast<double>(to_long(s, pos));
    size_t p = s.find(':', pos);
    if (p == std::string_view::npos) return;
    *m = static_cast<double>(to_long(s, p + 1));
    p = s.find(':', p + 1);
    if (p == std::string_view::npos) return;
    *sec = to_double(s, p + 1);
}

bool contains_pm(std::string_view s) {
    for (size_t i = 0; i + 1 < s.size(); ++i)
        if (lower_ascii(s[i]) == 'p' && lower_ascii(s[i + 1]) == 'm') return true;
    return false;
}

bool whole_number(std::string_view s, double* out) {
    size_t b = 0;
    if (b < s.size() && s[b] == '+') ++b;
    if (b >= s.size()) return false;
    auto res = std::from_chars(s.data() + b, s.data() + s.size(), *out, std::chars_format::general);
    return res.ec == std::errc() && res.ptr == s.data() + s.size();
}

int month_lookup(std::string_view text, bool short_names) {
    if (text.empty()) return 0;
    auto name_of = [&](int i) { return short_names ? short_month(i) : long_month(i); };
    for (int i = 1; i <= 12; ++i) {
        std::string_view name = name_of(i);
        if (name.size() != text.size()) continue;
        size_t k = 0;
        while (k < name.size() && lower_ascii(name[k]) == lower_ascii(text[k])) ++k;
        if (k == name.size()) return i;
    }
    int best = 0;
    size_t best_len = 0;
    for (int i = 1; i <= 12; ++i) {
        std::string_view name = name_of(i);
        size_t limit = std::min(text.size(), name.size());
        if (short_names) limit = std::min<size_t>(limit, 3);
        size_t k = 0;
        while (k < limit && lower_ascii(name[k]) == lower_ascii(text[k])) ++k;
        if (k > best_len) {
            best = i;
            best_len = k;
        }
        if (k > 0 && k == limit) return i;
    }
    return best;
}

constexpr std::string_view kSeps = "/-:., ";

// The whole date reader on a text already stripped of blanks.
int read_date_stripped(std::string_view s, double* value, int16_t gregorian, int32_t format,
                       double missing) {
    *value = missing;
    if (s.empty() || s[0] == '*') return 1;
    const size_t n = s.size();
    const size_t npos = std::string_view::npos;
    long d = 0, m = 0, y = -1;
    bool year_ok = true;
    double hh = 0, mm = 0, ss = 0;

    auto year_from = [&](size_t pos) {
        if (pos >= n) {
            y = -1;
            return;
        }
        y = to_long(s, pos);
        if (y == 0 && s[pos] != '0') year_ok = false;
    };
    auto time_after_blank = [&]() {
        size_t b = s.find(' ');
        if (b != npos) read_time(s, b + 1, &hh, &mm, &ss);
    };

    // A 1900s-only two-digit year code also meets four-digit years of other centuries.
    if (format == 17 && leading_digits(s, 0, 8) == 8) format = 18;
    if (format == 28 && s.find(' ') == npos) format = 1;

    switch (format) {
        case 3: case 4: case 13: case 14: case 15: case 16: {
            size_t p1 = s.find_first_of(kSeps);
            if (p1 == npos) break;
            size_t p2 = s.find_first_of(kSeps, p1 + 1);
            if (format <= 4) {
                d = to_long(s, 0, 2);
                m = to_long(s, p1 + 1, 2);
            } else {
                d = to_long(s, 0, p1);
                size_t len = (p2 == npos ? n : p2) - p1 - 1;
                m = format <= 14 ? get_short_month_no(std::string(s.substr(p1 + 1, std::min<size_t>(len, 3))).c_str())
                                 : get_long_month_no(std::string(s.substr(p1 + 1, std::min<size_t>(len, 22))).c_str());
            }
            if (p2 != npos) year_from(p2 + 1);
            break;
        }
        case 5: case 6:
            d = to_long(s, 0, 2);
            m = to_long(s, 2, 2);
            year_from(4);
            break;
        case 7: case 8:
            d = to_long(s, 0, 2);
            m = get_short_month_no(std::string(s.substr(std::min<size_t>(2, n), 3)).c_str());
            year_from(5);
            break;
        case 9: case 10: {
            size_t q;
            d = field2(s, 0, &q);
            m = get_short_month_no(std::string(s.substr(std::min(q + 1, n), 3)).c_str());
            year_from(q + 5);
            break;
        }
        case 11: case 12: {
            size_t k = leading_digits(s, 0, 2);
            d = to_long(s, 0, k);
            m = get_short_month_no(std::string(s.substr(k, 3)).c_str());
            year_from(k + 3);
            break;
        }
        case 17:
            y = to_long(s, 0, 2);
            if (y == 0 && s[0] != '0') year_ok = false;
            m = to_long(s, 2, 2);
            d = to_long(s, 4);
            break;
        case 18:
            y = to_long(s, 0, 4);
            if (y == 0 && s[0] != '0') year_ok = false;
            m = to_long(s, 4, 2);
            d = to_long(s, 6);
            break;
        case 19: {
            // The year runs to its separator: a 1900s year has two digits, others four.
            size_t k = leading_digits(s, 0, 4);
            if (k == 0) break;
            y = to_long(s, 0, k);
            size_t q;
            m = field2(s, k + 1, &q);
            d = to_long(s, q + 1);
            break;
        }
        case 20: case 27: case 34: {
            y = to_long(s, 0, 4);
            if (y == 0 && s[0] != '0') year_ok = false;
            size_t q;
            m = field2(s, 5, &q);
            d = to_long(s, q + 1);
            if (format == 34) time_after_blank();
            break;
        }
        case 21: case 22:
            m = to_long(s, 0, 2);
            d = to_long(s, 2, 2);
            year_from(4);
            break;
        case 23: case 24: {
            size_t q, q2;
            m = field2(s, 0, &q);
            d = field2(s, q + 1, &q2);
            year_from(q2 + 1);
            break;
        }
        case 25: case 26: {
            m = get_short_month_no(std::string(s.substr(0, 3)).c_str());
            size_t q;
            d = field2(s, 4, &q);
            year_from(q + 1);
            break;
        }
        case 28: {
            // weekday day month year, the weekday being optional
            std::string_view words[4];
            size_t count = 0, pos = 0;
            while (pos < n && count < 4) {
                size_t e = s.find(' ', pos);
                if (e == npos) e = n;
                words[count++] = s.substr(pos, e - pos);
                pos = e + 1;
            }
            size_t w = (count > 0 && !words[0].empty() && !is_digit(words[0][0])) ? 1 : 0;
            if (count < w + 3) break;
            d = to_long(words[w], 0);
            std::string_view month = words[w + 1];
            while (!month.empty() && (month.back() == ',' || month.back() == '.')) month.remove_suffix(1);
            m = get_long_month_no(std::string(month).c_str());
            std::string_view year = words[w + 2];
            y = to_long(year, 0);
            if (y == 0 && (year.empty() || year[0] != '0')) year_ok = false;
            break;
        }
        case 35: {
            size_t k = leading_digits(s, 0, 2);
            d = to_long(s, 0, k);
            size_t p = k;
            if (p < n && !is_digit(s[p]) && kSeps.find(s[p]) != npos && s[p] != ' ') ++p;
            m = get_short_month_no(std::string(s.substr(std::min(p, n), 3)).c_str());
            p += 3;
            if (p < n && kSeps.find(s[p]) != npos && s[p] != ' ') ++p;
            year_from(p);
            time_after_blank();
            {
                // A typed "12:30 pm" is half past noon, not past midnight.
                size_t b = s.find(' ');
                if (b != npos && contains_pm(s.substr(b)) && hh < 12) hh += 12;
            }
            break;
        }
        case 36: case 37: case 38: {
            read_time(s, 0, &hh, &mm, &ss);
            if (format == 37 && s.find_first_of("pP") != npos && hh < 12) hh += 12;
            *value = (hh + (mm + ss / 60) / 60) / 24;
            return 1;
        }
        case 39: {
            double seconds = 0;
            if (!whole_number(s, &seconds)) return 0;
            *value = seconds / 86400;
            return 1;
        }
        case 40:
            d = to_long(s, 0, 2);
            m = to_long(s, 2, 2);
            y = to_long(s, 4, 2);
            hh = static_cast<double>(to_long(s, 6, 2));
            mm = static_cast<double>(to_long(s, 8, 2));
            ss = static_cast<double>(to_long(s, 10, 2));
            break;
        default: {  // 1, 2, 29 to 33 and unknown codes
            size_t q, q2;
            d = field2(s, 0, &q);
            m = field2(s, q + 1, &q2);
            year_from(q2 + 1);
            if (format == 33) time_after_blank();
            break;
        }
    }

    auto fields_valid = [&]() {
        return year_ok && d >= 1 && d <= 31 && m >= 1 && m <= 12 && y >= 0 && y <= 9999;
    };
    bool with_time = format >= 33;
    if (!fields_valid()) {
        // Generic second try: day, month and year between any separators, or a plain day number.
        d = m = 0;
        y = -1;
        year_ok = true;
        hh = mm = ss = 0;
        if (s.find_first_of("/-:,\\ ") != npos) {
            size_t p1 = s.find_first_of(kSeps);
            if (p1 == npos) return 0;
            size_t p2 = s.find_first_of(kSeps, p1 + 1);
            if (p2 == npos) return 0;
            d = to_long(s, 0, 2);
            m = to_long(s, p1 + 1, 2);
            year_from(p2 + 1);
            if (!fields_valid()) return 0;
            if (with_time) time_after_blank();
        } else {
            double days = 0;
            if (!whole_number(s, &days) || !(days > 0)) return 0;
            *value = days;
            return 1;
        }
    }
    double dn = day_number(d, m, y, gregorian);
    if (dn == vxs_missing) return 0;
    if (with_time) dn += (hh + (mm + ss / 60) / 60) / 24;
    *value = dn;
    return 1;
}

// Codes that write a year of the 1900s with two digits.
bool two_digit_year(int32_t format) {
    if (format >= 1 && format <= 24) return format % 2 == 1;
    if (format == 27 || (format >= 34 && format <= 40)) return false;
    return true;  // 25, 26, 28 to 33 and unknown codes
}

}  // namespace

void vxs_set_gregorian(int16_t flag) { vxs_gregorian = flag; }

void vxs_set_date_format(int32_t code) { vxs_date_format = code; }

double vxs_day_number(long day, long month, long year) {
    return day_number(day, month, year, vxs_gregorian);
}

void vxs_date_1900_to_1600(double* value, double missing) {
    if (!value) return;
    if (*value < 0) {
        *value = missing;
        return;
    }
    if (*value < 60) *value += 1;
    *value += VXS_SCALE_OFFSET;
}

void vxs_date_1600_to_1900(double* value, double missing) {
    if (!value) return;
    if (*value < VXS_SCALE_OFFSET) {
        *value = missing;
        return;
    }
    *value -= VXS_SCALE_OFFSET;
    if (*value < 61) *value -= 1;  // the inverse of the step above, phantom 29 February aside
}

int get_short_month_no(const char* text) { return text ? month_lookup(text, true) : 0; }

int get_long_month_no(const char* text) { return text ? month_lookup(text, false) : 0; }

int vxs_read_date(std::string& text, double* value, int16_t gregorian, int32_t format, double missing) {
    double scratch;
    if (!value) value = &scratch;
    text = vxs_strip_blanks(text, VXS_MAX_TEXT);
    return read_date_stripped(text, value, gregorian, format, missing);
}

int vxs_read_date(char* text, double* value, int16_t gregorian, int32_t format, double missing) {
    double scratch;
    if (!value) value = &scratch;
    if (!text) {
        *value = missing;
        return 1;
    }
    std::string stripped = vxs_strip_blanks(std::string_view(text), VXS_MAX_TEXT);
    std::memcpy(text, stripped.c_str(), stripped.size() + 1);  // never longer than the text
    return read_date_stripped(stripped, value, gregorian, format, missing);
}

namespace {

// v as printf's "%0{width}li" (pad '0') or "%{width}li" (pad ' ') writes it.
char* put_long(char* p, long v, int width, char pad) {
    char digits[24];
    int count = 0;
    unsigned long u = v < 0 ? 0ul - static_cast<unsigned long>(v) : static_cast<unsigned long>(v);
    do {
        digits[count++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u);
    int len = count + (v < 0 ? 1 : 0);
    if (pad == ' ')
        for (; len < width; ++len) *p++ = ' ';
    if (v < 0) *p++ = '-';
    if (pad == '0')
        for (; len < width; ++len) *p++ = '0';
    while (count) *p++ = digits[--count];
    return p;
}

}  // namespace

int vxs_write_date(char* buffer, double value, int16_t gregorian, int32_t format) {
    if (!buffer) return 0;
    if (!(value >= 0)) {  // negative, missing or not a number
        std::snprintf(buffer, kOut, "*");
        return 1;
    }
    if (format == 40) {
        std::snprintf(buffer, kOut, "%g", value);
        return 1;
    }
    if (format == 39) {
        std::snprintf(buffer, kOut, "%.3f", value * 86400);
        return 1;
    }
    if (value > kLargestDay) {
        std::snprintf(buffer, kOut, "*");
        return 1;
    }
    const double whole = std::floor(value);
    const double fraction = value - whole;

    long dd = static_cast<long>(whole);
    if (!gregorian) {
        if (dd < 60) dd += 1;
        dd += static_cast<long>(VXS_SCALE_OFFSET);
    }
    long c = static_cast<long>((dd + 0.1) / 36524.25);
    double r = dd - std::floor(c * 36524.25 + 0.1);
    long y = static_cast<long>((r + 0.1) / 365.25);
    r -= std::floor(y * 365.25 + 0.1);
    long m = static_cast<long>((r - 0.5) / 30.6);
    long day = static_cast<long>(r) - static_cast<long>(std::floor(m * 30.6 + 0.5));
    long month = m + 3;
    long century = c + 16;
    if (month > 12) {
        month -= 12;
        y += 1;
    }
    if (y > 99) {
        y -= 100;
        century += 1;
    }
    if (day < 1) {
        month -= 1;
        day += 29;
    }
    long year = century * 100 + y;
    if (two_digit_year(format) && year >= 1900 && year <= 1999) year -= 1900;

    // Time of day, truncated; a hair of tolerance keeps 12:34:56 read back from becoming
    // 12:34:55 through the binary fraction.
    long cs = static_cast<long>(fraction * 8640000.0 + 0.01);
    if (cs > 8639999) cs = 8639999;
    const long hh = cs / 360000, mi = cs / 6000 % 60, se = cs / 100 % 60, hu = cs % 100;

    const std::string_view sm = (month >= 1 && month <= 12) ? short_month(static_cast<int>(month)) : "***";
    const std::string_view lm = (month >= 1 && month <= 12) ? long_month(static_cast<int>(month)) : "***";
    // Written by hand rather than through snprintf: a date column is formatted several times
    // in text output, and printf's parsing was most of the cost. Month names are user-set
    // and may be long, so the buffer is roomy and the result is cut at the end.
    char wide[192];
    char* b = wide;
    auto n2 = [&b](long v) { b = put_long(b, v, 2, '0'); };        // %02li
    auto n = [&b](long v) { b = put_long(b, v, 0, '0'); };         // %li
    auto ch = [&b](char c) { *b++ = c; };
    auto name = [&b](std::string_view s, size_t width) {          // %{width}.*s
        s = s.substr(0, 64);
        for (size_t i = s.size(); i < width; ++i) *b++ = ' ';
        std::memcpy(b, s.data(), s.size());
        b += s.size();
    };
    auto clock = [&](long h) {                                     // %2li:%02li:%02li
        b = put_long(b, h, 2, ' ');
        ch(':'), n2(mi), ch(':'), n2(se);
    };
    auto am_pm = [&] { std::memcpy(b, hh < 13 ? " am" : " pm", 3), b += 3; };
    switch (format) {
        case 1: case 2: n2(day), ch('/'), n2(month), ch('/'), n2(year); break;
        case 3: case 4: n(day), ch('/'), n(month), ch('/'), n2(year); break;
        case 7: case 8: n2(day), name(sm, 0), n2(year); break;
        case 9: case 10: n2(day), ch('-'), name(sm, 3), ch('-'), n2(year); break;
        case 11: case 12: n(day), name(sm, 3), n2(year); break;
        case 13: case 14: n(day), ch('-'), name(sm, 3), ch('-'), n2(year); break;
        case 15: case 16: n(day), ch('-'), name(lm, 0), ch('-'), n2(year); break;
        case 17: case 18: n2(year), n2(month), n2(day); break;
        case 19: case 20: n2(year), ch('/'), n2(month), ch('/'), n2(day); break;
        case 21: case 22: n2(month), n2(day), n2(year); break;
        case 23: case 24: n2(month), ch('/'), n2(day), ch('/'), n2(year); break;
        case 27: b = put_long(b, year, 4, '0'), ch('-'), n2(month), ch('-'), n2(day); break;
        case 33:
            n2(day), ch('/'), n2(month), ch('/'), n2(year), ch(' ');
            n2(hh), ch(':'), n2(mi), ch(':'), n2(se), ch('.'), n2(hu);
            break;
        case 34:
            b = put_long(b, year, 4, '0'), ch('-'), n2(month), ch('-'), n2(day), ch(' ');
            n2(hh), ch(':'), n2(mi), ch(':'), n2(se);
            break;
        case 35:
            n(day), ch('-'), name(sm, 0), ch('-'), n(year), ch(' ');
            n(hh < 13 ? hh : hh - 12), ch(':'), n2(mi), ch(':'), n2(se), am_pm();
            break;
        case 36: clock(hh); break;
        case 37: clock(hh < 13 ? hh : hh - 12), am_pm(); break;
        case 38: clock(hh + 24 * static_cast<long>(whole)); break;
        default: n2(day), n2(month), n2(year); break;  // 5, 6, 25, 26, 28 to 32 and unknown codes
    }
    *b = '\0';
    const size_t len = strnlen(wide, kOut - 1);
    std::memcpy(buffer, wide, len);
    buffer[len] = '\0';
    return 1;
}

std::string write_num(double value, int32_t representation, int32_t decimals, double missing) {
    char buffer[kOut];
    write_num(buffer, value, representation, decimals, missing);
    return buffer;
}

// static_cast<long>(std::log10(m)) for 1e-12 < m < 1e12, from a table: log10 itself is the
// costly part of formatting a column with decimals. Within a millionth of a power of ten the
// library function decides, so the result is always the one it gives.
static long truncated_log10(double m) {
    static constexpr double kPow[] = {1e-12, 1e-11, 1e-10, 1e-9, 1e-8, 1e-7, 1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1e0,
                                      1e1,   1e2,   1e3,   1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11, 1e12};
    int d = 0;  // kPow[d] <= m < kPow[d + 1], as far as the table's roundings tell
    while (d < 23 && m >= kPow[d + 1]) ++d;
    const double lo = kPow[d], hi = kPow[d + 1];
    if (m < lo * (1 + 1e-6) || m > hi * (1 - 1e-6)) return static_cast<long>(std::log10(m));
    int e = d - 12;  // log10(m) lies strictly between e and e + 1
    return e >= 0 ? e : e + 1;
}

namespace {

// How write_num formats a number: printf's form and precision.
struct NumForm {
    char form = 'g';
    int digits = 6;
};

NumForm num_form(double value, int32_t representation, int32_t decimals) {
    const int precision = decimals > 60 ? 60 : static_cast<int>(decimals);
    NumForm f;
    switch (representation) {
        case VXS_REP_GENERAL: {
            // The digit count only matters when decimals are set; log10 is the costly part.
            const double magnitude = std::fabs(value);
            if (decimals > 0 && magnitude > 1e-12 && magnitude < 1e12) {
                long digits = std::labs(truncated_log10(magnitude) + 1);
                if (digits < decimals) f.digits = precision;
            }
            break;
        }
        case VXS_REP_EXPONENT:
            f.form = 'e';
            if (decimals > 0) f.digits = precision;
            break;
        case VXS_REP_FIXED:
            f.form = 'f';
            if (decimals >= 0) f.digits = precision;
            break;
        default: break;
    }
    return f;
}

// Whether num_form gives %g at the default precision whatever the value (the usual column).
bool default_g_form(int32_t representation, int32_t decimals) {
    if (representation == VXS_REP_GENERAL) return decimals <= 0;
    return representation != VXS_REP_DATE && representation != VXS_REP_EXPONENT && representation != VXS_REP_FIXED;
}

// Fixed notation of a huge number does not fit any cell; general form keeps every digit that
// matters instead of a cut text.
size_t write_overlong(char* buffer, double value) {
    return static_cast<size_t>(std::max(0, std::snprintf(buffer, kOut, "%.15g", value)));
}

}  // namespace

size_t write_num(char* buffer, double value, int32_t representation, int32_t decimals, double missing) {
    if (!buffer) return 0;
    if (!(value > missing)) {
        buffer[0] = '*';
        buffer[1] = '\0';
        return 1;
    }
    if (representation == VXS_REP_DATE) {
        vxs_write_date(buffer, value, vxs_gregorian, vxs_date_format);
        return std::strlen(buffer);
    }
    // vxs_format_double gives what printf's %g, %e and %f give, several times faster.
    const NumForm f = num_form(value, representation, decimals);
    int len = vxs_format_double(buffer, kOut, value, f.form, f.digits);
    if (len < 0 || static_cast<size_t>(len) >= kOut) return write_overlong(buffer, value);
    return static_cast<size_t>(len);
}

size_t write_num_width_most(double value, int32_t representation, int32_t decimals, double missing) {
    if (!(value > missing)) return 1;
    if (representation == VXS_REP_DATE) return SIZE_MAX;
    const NumForm f = num_form(value, representation, decimals);
    const int most = vxs_format_double_width_most(value, f.form, f.digits);
    return most < 0 || static_cast<size_t>(most) >= kOut ? SIZE_MAX : static_cast<size_t>(most);
}

size_t write_num_width_max(const double* values, size_t n, int32_t representation, int32_t decimals, double missing,
                           size_t widest) {
    // Most columns are written so: one loop in the formatter measures them.
    if (default_g_form(representation, decimals) && widest < kOut) {
        const int w = vxs_format_g_width_max(values, n, NumForm().digits, missing, static_cast<int>(widest));
        if (w >= 0 && w < static_cast<int>(kOut)) return static_cast<size_t>(w);
    }
    for (size_t i = 0; i < n; ++i)
        if (write_num_width_most(values[i], representation, decimals, missing) > widest)
            widest = std::max(widest, write_num_width(values[i], representation, decimals, missing));
    return widest;
}

size_t write_num_width(double value, int32_t representation, int32_t decimals, double missing) {
    if (!(value > missing)) return 1;
    char buffer[kOut];
    if (representation == VXS_REP_DATE) return write_num(buffer, value, representation, decimals, missing);
    const NumForm f = num_form(value, representation, decimals);
    int len = vxs_format_double_width(value, f.form, f.digits);
    if (len < 0 || static_cast<size_t>(len) >= kOut) return write_overlong(buffer, value);
    return static_cast<size_t>(len);
}
