// The fast number formatter against printf: chosen hard values and random ones, every form.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "sheet/vxs_numfmt.h"

namespace {

// Compares one value under every form and the precisions that matter; returns mismatches.
int check(double v) {
    int bad = 0;
    for (char form : {'g', 'e', 'f'}) {
        for (int p = 0; p <= 20; ++p) {
            if (form == 'f' && std::fabs(v) > 1e40) continue;  // keeps the texts short
            char fmt[16], want[512], got[512];
            std::snprintf(fmt, sizeof fmt, "%%.%d%c", p, form);
            std::snprintf(want, sizeof want, fmt, v);
            int n = vxs_format_double(got, sizeof got, v, form, p);
            if (n >= 0 && std::string(got, size_t(n)) == want) continue;
            if (++bad <= 3) ADD_FAILURE() << fmt << " of " << std::hexfloat << v << ": printf " << want;
        }
    }
    return bad;
}

TEST(NumberFormat, ChosenValuesMatchPrintf) {
    const double values[] = {
        0.0, -0.0, 1.0, -1.0, 0.5, 1.5, 2.5, -2.5, 0.05, 0.15, 0.25, 0.35, 1e-5, 1.5e-5, 0.0001, 0.00015,
        9.9999995, 9.99999949, 99999.95, 999999.5, 9999995, 123456.5, 1234567, 0.1, 0.2, 0.3, 1.0 / 3,
        2.0 / 3, 1e15, 1e16, 1e17, 1e22, 1e23, 123456789012345678.0, 5e-324, 2.2250738585072014e-308,
        1.7976931348623157e308, 9.99999e307, -1e307, 4.35, 4.45, 1.005, 1.015, 1.025, 8.345, 1e21, 1e-7,
        0.000123456789, 314.159265358979, 62.9, 10.828, 214.6982, 577.1029, 1e100, 1.25e-100, 65536.0,
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN()};
    int bad = 0;
    for (double v : values) bad += check(v) + check(-v);
    EXPECT_EQ(bad, 0);
}

TEST(NumberFormat, RandomValuesMatchPrintf) {
    std::mt19937_64 rng(20);
    std::uniform_real_distribution<double> uni(-1000, 1000);
    std::normal_distribution<double> normal(50, 10);
    std::uniform_int_distribution<int> decimals(0, 6), power(-30, 30);
    int bad = 0;
    for (int i = 0; i < 5000; ++i) {
        uint64_t bits = rng();
        double raw;
        std::memcpy(&raw, &bits, sizeof raw);
        // Any bit pattern; a normal variate; a short decimal as data files hold them; a half
        // or quarter at some scale (midpoints for printf's rounding).
        double shaped[] = {raw, normal(rng), std::round(uni(rng) * std::pow(10.0, decimals(rng))) / std::pow(10.0, decimals(rng)),
                           (std::floor(uni(rng)) + 0.5) * std::pow(10.0, power(rng)),
                           (std::floor(uni(rng) * 4) / 4) * std::pow(10.0, -decimals(rng))};
        for (double v : shaped) bad += check(v);
    }
    EXPECT_EQ(bad, 0);
}

TEST(NumberFormat, TooSmallBufferGivesNothing) {
    char buf[4];
    EXPECT_EQ(vxs_format_double(buf, sizeof buf, 12345.0, 'f', 2), -1);
    EXPECT_TRUE(vxs_format_double(buf, sizeof buf, 1.5, 'g', 6) == 3 && std::string(buf) == "1.5");
}

}  // namespace
