// Fast printf-exact number formatting. The shortest round-trip digits S of a double x (what
// std::to_chars gives without a precision) decide printf's rounding of x to n significant
// digits whenever n <= 15 and S is not exactly the midpoint between two n-digit neighbours:
// - when S has at most n digits, x rounds to S, because x lies within half a unit in the last
//   place of S and the n-digit grid is coarser than that for n <= 15;
// - otherwise no n-digit grid point or midpoint lies strictly between x and S (it would be a
//   shorter, or an equally short and closer, round-trip form than S), so x and S round the
//   same way.
// The midpoint case (n + 1 digits ending in 5) and everything outside these bounds is left to
// std::to_chars with an explicit precision, which computes the exact digits.
// Before all that, the cheapest way: x times a power of ten is rounded once, so unless the
// product lies within its rounding error of a half, rounding it to an integer gives the digits.
#include "vxs_numfmt.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <system_error>

namespace {

constexpr int kMaxExact = 15;  // significant digits the shortest form decides

struct Digits {
    char d[32];  // significant digits, no leading zero
    int n = 0;   // how many
    int exp = 0; // decimal exponent of the first digit
};

// Shortest round-trip digits of a finite positive x.
bool shortest(double x, Digits& out) {
    char buf[40];
    auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific);
    if (r.ec != std::errc()) return false;
    const char* p = buf;
    const char* end = r.ptr;
    out.n = 0;
    for (; p < end && *p != 'e'; ++p)
        if (*p != '.') out.d[out.n++] = *p;
    if (p == end) return false;
    ++p;  // 'e'
    bool neg = *p == '-';
    ++p;
    int e = 0;
    for (; p < end; ++p) e = e * 10 + (*p - '0');
    out.exp = neg ? -e : e;
    while (out.n > 1 && out.d[out.n - 1] == '0') --out.n;
    return true;
}

// Rounds to keep significant digits (keep >= 1); false when the shortest digits cannot decide.
bool round_to(Digits& s, int keep) {
    if (s.n <= keep) return true;
    if (s.n == keep + 1 && s.d[keep] == '5') return false;
    bool up = s.d[keep] >= '5';
    s.n = keep;
    if (up) {
        int i = keep - 1;
        while (i >= 0 && s.d[i] == '9') --i;
        if (i < 0) {
            s.d[0] = '1';
            s.n = 1;
            ++s.exp;
        } else {
            ++s.d[i];
            s.n = i + 1;
        }
    }
    while (s.n > 1 && s.d[s.n - 1] == '0') --s.n;
    return true;
}

constexpr double kExact10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                               1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr uint64_t kPow10u[] = {1ull,          10ull,          100ull,          1000ull,          10000ull,
                                100000ull,     1000000ull,     10000000ull,     100000000ull,     1000000000ull,
                                10000000000ull, 100000000000ull, 1000000000000ull, 10000000000000ull,
                                100000000000000ull, 1000000000000000ull};

// The last n decimal digits of v into out[0..n), two at a time.
void put_digits(char* out, int n, uint64_t v) {
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    int i = n;
    while (i >= 2) {
        const char* pair = kPairs + 2 * (v % 100);
        v /= 100;
        out[--i] = pair[1];
        out[--i] = pair[0];
    }
    if (i == 1) out[0] = static_cast<char>('0' + v % 10);
}

// The integer nearest to x * 10^k (x > 0), when one rounded product decides it.
bool scaled_round(double x, int k, uint64_t& r) {
    if (k > 22 || k < -22) return false;
    double s = k >= 0 ? x * kExact10[k] : x / kExact10[-k];
    if (!(s < 1e15)) return false;
    const uint64_t whole = static_cast<uint64_t>(s);  // s >= 0, so this is its floor
    double frac = s - static_cast<double>(whole);
    // The product is within 2^-53 of its size of x * 10^k; keep well clear of the half.
    if (std::fabs(frac - 0.5) <= s * 4.5e-16) return false;
    r = whole + (frac > 0.5 ? 1 : 0);
    return true;
}

// floor(log10(2^e)) for the binary exponent e of a normal x: the decimal exponent of x, or
// one short of it. In integers: (e * 78913) >> 18 is exact for |e| < 1650.
int exponent_floor(double x) {
    const int e = static_cast<int>((std::bit_cast<uint64_t>(x) >> 52) & 0x7ff) - 1023;
    return (e * 78913) >> 18;
}

// x rounded to P significant digits (P <= 14) as the integer r of P digits and the decimal
// exponent X of its first digit, by scaled_round.
bool scaled_integer(double x, int P, uint64_t& r, int& X) {
    // One comparison with the power of ten above usually settles the exponent; the checks
    // below make sure whatever the comparison's rounding.
    X = exponent_floor(x);
    if (X >= -23 && X <= 21 && x >= (X >= -1 ? kExact10[X + 1] : 1 / kExact10[-(X + 1)])) ++X;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!scaled_round(x, P - 1 - X, r)) return false;
        if (r > kPow10u[P]) {
            ++X;
            continue;
        }
        if (r < kPow10u[P - 1]) {
            --X;
            continue;
        }
        if (r == kPow10u[P]) {  // rounded up to the next power of ten
            r = kPow10u[P - 1];
            ++X;
        }
        return true;
    }
    return false;
}

// Decimal digits of u (1 for 0), u < 10^15.
int digit_count(uint64_t u) {
    int digits = 1;
    while (digits < 15 && u >= kPow10u[digits]) ++digits;
    return digits;
}

// Whether x (positive) is a whole number of at most P digits, which %.Pg writes as its digits
// alone; u gets it and digits its digit count.
bool whole_within(double x, int P, uint64_t& u, int& digits) {
    if (P > 15 || !(x < kExact10[P])) return false;
    u = static_cast<uint64_t>(x);
    if (static_cast<double>(u) != x) return false;
    digits = digit_count(u);
    return true;
}

// Length of %g's text of n significant digits whose first has decimal exponent X, at
// precision P, without the sign.
int g_length(int n, int X, int P) {
    if (X < -4 || X >= P) return n + (n > 1 ? 1 : 0) + 2 + ((X < 0 ? -X : X) >= 100 ? 3 : 2);  // d.ddde+XX
    if (X >= 0) return X + 1 + (n > X + 1 ? n - X : 0);  // ddd.dd
    return 1 - X + n;                                    // 0.000ddd
}

char digit_at(const Digits& s, int i) { return i >= 0 && i < s.n ? s.d[i] : '0'; }

// Appends the exponent part "e+XX" (at least two digits).
char* put_exponent(char* p, int e) {
    *p++ = 'e';
    *p++ = e < 0 ? '-' : '+';
    unsigned u = static_cast<unsigned>(e < 0 ? -e : e);
    if (u >= 100) {
        *p++ = static_cast<char>('0' + u / 100);
        u %= 100;
    }
    *p++ = static_cast<char>('0' + u / 10);
    *p++ = static_cast<char>('0' + u % 10);
    return p;
}

// Trailing zeros of r (not 0).
int trailing_zeros(uint64_t r) {
    int tz = 0;
    for (; r % 10 == 0; r /= 10) ++tz;
    return tz;
}

// The longest %g text at precision P of a number whose exponent estimate is X0: the text is
// longest with all P digits kept; the exponent is X0 or one more, and rounding up may add
// another.
int g_most(int X0, int P) { return std::max({g_length(P, X0, P), g_length(P, X0 + 1, P), g_length(P, X0 + 2, P)}); }

// Length of %g's text of x (positive, normal) at precision P <= 14, without the sign; -1 when
// the rounded integer cannot be had cheaply.
int g_text_length(double x, int P) {
    uint64_t r = 0;
    int X = 0;
    return scaled_integer(x, P, r, X) ? g_length(P - trailing_zeros(r), X, P) : -1;
}

// %g's text at precision P of the P-digit integer r whose first digit has decimal exponent X,
// trailing zeros dropped, at p; returns its end. Writes up to 40 bytes past p whatever the
// text's length (digit runs are copied 16 bytes at a time).
char* put_g(char* p, uint64_t r, int X, int P) {
    char dig[32];
    put_digits(dig, P, r);
    const int n = P - trailing_zeros(r);  // significant digits
    if (X < -4 || X >= P) {
        p[0] = dig[0];
        p[1] = '.';
        std::memcpy(p + 2, dig + 1, 16);
        p += n > 1 ? n + 1 : 1;
        return put_exponent(p, X);
    }
    if (X >= 0) {
        std::memcpy(p, dig, 16);
        p += X + 1;
        if (n > X + 1) {
            *p = '.';
            std::memcpy(p + 1, dig + X + 1, 16);
            p += n - X;
        }
        return p;
    }
    std::memcpy(p, "0.000", 6);
    p += 1 - X;  // "0." and -X - 1 zeros
    std::memcpy(p, dig, 16);
    return p + n;
}

// The fast path; returns the length, or -1 to leave the value to std::to_chars.
int fast(char* out, double value, char form, int precision) {
    // Subnormals carry too few bits for the argument above; zero, infinities and NaN are rare.
    if (!std::isnormal(value) || precision < 0 || precision > 40) return -1;
    char* p = out;
    if (value < 0) {
        *p++ = '-';
        value = -value;
    }
    uint64_t whole = 0;
    int whole_digits = 0;
    if (form == 'g' && whole_within(value, precision == 0 ? 1 : precision, whole, whole_digits)) {
        put_digits(p, whole_digits, whole);
        return static_cast<int>(p + whole_digits - out);
    }
    if (form == 'g' && precision <= 14) {
        uint64_t r = 0;
        int X = 0;
        if (scaled_integer(value, precision == 0 ? 1 : precision, r, X))
            return static_cast<int>(put_g(p, r, X, precision == 0 ? 1 : precision) - out);
    }
    Digits s;
    if (form == 'f' && precision <= 14) {
        uint64_t r = 0;
        if (scaled_round(value, precision, r)) {
            uint64_t whole = r / kPow10u[precision], part = r % kPow10u[precision];
            char tmp[24];
            int t = 0;
            do {
                tmp[t++] = static_cast<char>('0' + whole % 10);
                whole /= 10;
            } while (whole);
            while (t) *p++ = tmp[--t];
            if (precision > 0) {
                *p++ = '.';
                put_digits(p, precision, part);
                p += precision;
            }
            return static_cast<int>(p - out);
        }
    }
    if (!shortest(value, s)) return -1;
    if (form == 'g') {
        int P = precision == 0 ? 1 : precision;
        if (P > kMaxExact) return -1;
        if (!round_to(s, P)) return -1;
        int X = s.exp;
        if (X < -4 || X >= P) {
            *p++ = s.d[0];
            if (s.n > 1) {
                *p++ = '.';
                for (int i = 1; i < s.n; ++i) *p++ = s.d[i];
            }
            p = put_exponent(p, X);
        } else if (X >= 0) {
            for (int i = 0; i <= X; ++i) *p++ = digit_at(s, i);
            if (s.n > X + 1) {
                *p++ = '.';
                for (int i = X + 1; i < s.n; ++i) *p++ = s.d[i];
            }
        } else {
            *p++ = '0';
            *p++ = '.';
            for (int i = X + 1; i < 0; ++i) *p++ = '0';
            for (int i = 0; i < s.n; ++i) *p++ = s.d[i];
        }
        return static_cast<int>(p - out);
    }
    if (form == 'e') {
        int keep = precision + 1;
        if (keep > kMaxExact) return -1;
        if (!round_to(s, keep)) return -1;
        *p++ = s.d[0];
        if (precision > 0) {
            *p++ = '.';
            for (int i = 1; i <= precision; ++i) *p++ = digit_at(s, i);
        }
        return static_cast<int>(put_exponent(p, s.exp) - out);
    }
    if (form == 'f') {
        int keep = s.exp + 1 + precision;  // significant digits up to the last decimal
        if (keep < 1 || keep > kMaxExact) return -1;
        if (!round_to(s, keep)) return -1;
        int X = s.exp;
        if (X >= 0) {
            for (int i = 0; i <= X; ++i) *p++ = digit_at(s, i);
        } else {
            *p++ = '0';
        }
        if (precision > 0) {
            *p++ = '.';
            for (int j = 1; j <= precision; ++j) *p++ = digit_at(s, X + j);
        }
        return static_cast<int>(p - out);
    }
    return -1;
}

}  // namespace

int vxs_format_double(char* out, size_t size, double value, char form, int precision) {
    if (!out || size == 0) return -1;
    // The fast path writes at most 60 characters: straight into a roomy buffer, else into a
    // scratch one first.
    char buf[128];
    char* to = size >= 64 ? out : buf;
    int len = fast(to, value, form, precision);
    if (len < 0) {
        std::chars_format f = form == 'e'   ? std::chars_format::scientific
                              : form == 'f' ? std::chars_format::fixed
                                            : std::chars_format::general;
        auto r = std::to_chars(out, out + size - 1, value, f, precision);
        if (r.ec != std::errc()) return -1;
        *r.ptr = '\0';
        return static_cast<int>(r.ptr - out);
    }
    if (to == buf) {
        if (static_cast<size_t>(len) >= size) return -1;
        std::memcpy(out, buf, static_cast<size_t>(len));
    }
    out[len] = '\0';
    return len;
}

int vxs_format_double_width(double value, char form, int precision) {
    // The two common forms are measured from the rounded integer alone; the rest are written.
    if (std::isnormal(value) && precision >= 0 && precision <= 14) {
        const int sign = value < 0 ? 1 : 0;
        const double x = std::fabs(value);
        uint64_t r = 0;
        if (form == 'f' && scaled_round(x, precision, r))
            return sign + digit_count(r / kPow10u[precision]) + (precision > 0 ? 1 + precision : 0);
        const int P = precision == 0 ? 1 : precision;
        int digits = 0;
        if (form == 'g' && whole_within(x, P, r, digits)) return sign + digits;
        if (form == 'g')
            if (const int n = g_text_length(x, P); n >= 0) return sign + n;
    }
    char buf[128];
    return vxs_format_double(buf, sizeof buf, value, form, precision);
}

int vxs_format_double_width_most(double value, char form, int precision) {
    if (form != 'g' || !std::isnormal(value) || precision < 0 || precision > 14) return -1;
    const int P = precision == 0 ? 1 : precision;
    uint64_t whole = 0;
    int digits = 0;
    if (whole_within(std::fabs(value), P, whole, digits)) return digits + (value < 0 ? 1 : 0);
    return g_most(exponent_floor(value), P) + (value < 0 ? 1 : 0);
}

int vxs_format_g_width_max(const double* values, size_t n, int precision, double floor, int widest) {
    if (precision < 0 || precision > 14) return -1;
    const int P = precision == 0 ? 1 : precision;
    // g_most by exponent estimate, which lies within -308..308 for normal numbers.
    constexpr int kBias = 310;
    int most_at[2 * kBias + 1];
    for (int X = -kBias; X <= kBias; ++X) most_at[X + kBias] = g_most(X, P);
    for (size_t i = 0; i < n; ++i) {
        const double v = values[i];
        if (!(v > floor)) {
            widest = std::max(widest, 1);
            continue;
        }
        const int sign = v < 0 ? 1 : 0;
        const double x = std::fabs(v);
        if (!std::isnormal(x)) {
            const int w = vxs_format_double_width(v, 'g', precision);
            if (w < 0) return -1;
            widest = std::max(widest, w);
            continue;
        }
        uint64_t r = 0;
        int digits = 0;
        if (whole_within(x, P, r, digits)) {
            widest = std::max(widest, sign + digits);
            continue;
        }
        if (sign + most_at[exponent_floor(x) + kBias] <= widest) continue;
        const int n = g_text_length(x, P);
        const int w = n >= 0 ? sign + n : vxs_format_double_width(v, 'g', precision);
        if (w < 0) return -1;
        widest = std::max(widest, w);
    }
    return widest;
}
