// Cells as text: numbers typed by people in the five tolerance modes and the warnings file; dates on
// both scales, every date code written and read back; write_num and its formatter against printf.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "driver/vxs_options.h"
#include "sheet/vxs_dates.h"
#include "sheet/vxs_numfmt.h"
#include "sheet/vxs_sheet.h"
#include "sheet/vxs_txtnum.h"
#include "test_util.h"

namespace {

using namespace std::chrono;

constexpr double M = -1.0e307;

std::string written(double value, int32_t format, int16_t gregorian = 0) {
    char b[64];
    EXPECT_EQ(vxs_write_date(b, value, gregorian, format), 1);
    return b;
}

struct Read { int ok; double value; };

Read read(std::string text, int32_t format, int16_t gregorian = 0) {
    double v = 12345;
    return {vxs_read_date(text, &v, gregorian, format, M), v};  // braces: left to right
}

struct Dates : ::testing::Test {
    void SetUp() override { vxs_init(), vxs_set_gregorian(0), vxs_set_date_format(1); }
    void TearDown() override { SetUp(); }
};

// Every day of four centuries on both scales against std::chrono's calendar, both ways.
TEST_F(Dates, BothScalesMatchTheCalendarAndRoundTrip) {
    const sys_days zero1600{1600y / February / 29}, zero1900{1899y / December / 30};
    for (int16_t g : {0, 1}) {
        vxs_set_gregorian(g);
        for (long n = g ? 0 : 1; n <= (g ? 292000 : 182622); ++n) {  // to 2399
            if (!g && n == 60) continue;  // the spreadsheet's phantom 29 February 1900, below
            const sys_days day = (g ? zero1600 : zero1900) + days{!g && n < 60 ? n + 1 : n};
            const year_month_day ymd{day};
            const int y = int(ymd.year()), m = int(unsigned{ymd.month()}), d = int(unsigned{ymd.day()});
            char iso[32];
            std::snprintf(iso, sizeof iso, "%04d-%02d-%02d", y, m, d);
            const std::string text = written(double(n), 27, g);
            const Read back = read(text, 27, g);
            ASSERT_TRUE(text == iso && vxs_day_number(d, m, y) == n && back.ok == 1 && back.value == n)
                << "scale " << g << " day " << n << ": " << text;
            double v = n + 0.25;  // the time of day comes along
            ASSERT_TRUE(g || ((vxs_date_1900_to_1600(&v, M), v) == (day - zero1600).count() + 0.25 &&
                              (vxs_date_1600_to_1900(&v, M), v) == n + 0.25)) << text;
        }
    }
    vxs_set_gregorian(0);
    EXPECT_TRUE(vxs_day_number(29, 2, 1900) == 60 && written(60, 2) == "28/02/1900");
    EXPECT_TRUE(vxs_day_number(31, 12, 9999) == 2958465 && written(2958465, 27) == "9999-12-31");
    EXPECT_EQ(vxs_day_number(15, 3, 99), 36234);  // two-digit years are 19xx
    for (int16_t g : {0, 1}) {  // impossible days are missing, years before 1600 are 0
        vxs_set_gregorian(g);
        for (auto [d, m, y] : {std::tuple{29, 2, 1999}, {31, 4, 2000}, {0, 1, 2000}, {32, 1, 2000},
                               {1, 13, 2000}, {1, 0, 2000}, {1, 1, 1599}, {15, 6, 1066}, {1, 1, -5}})
            EXPECT_EQ(vxs_day_number(d, m, y), y < 1600 ? 0 : vxs_missing) << d << '.' << m << '.' << y;
    }
}

// Around the spreadsheet's phantom 29 February 1900 (serial 60); before either scale: missing.
TEST_F(Dates, ScaleConversionsAroundThePhantomLeapDay) {
    const std::tuple<bool, double, double> cases[] = {  // to the 1600 scale, from, to
        {1, 58, 109571}, {1, 59, 109572}, {1, 59.5, 109572.5}, {1, 59.99, 109572.99}, {1, 60, 109572},
        {1, 60.5, 109572.5}, {1, 61, 109573}, {1, 61.5, 109573.5}, {0, 109571, 58}, {0, 109572, 59},
        {0, 109572.5, 59.5}, {0, 109573, 61}, {0, 109573.5, 61.5}, {0, 109574, 62}, {1, -1, M}, {1, M, M},
        {0, 109511, M}};
    for (auto [to1600, from, to] : cases) {
        double v = from;
        to1600 ? vxs_date_1900_to_1600(&v, M) : vxs_date_1600_to_1900(&v, M);
        EXPECT_NEAR(v, to, 1e-9) << from;
    }
}

// 15 March 1999, 18:30:15 in every code, read back where the code has a layout to read.
TEST_F(Dates, EveryFormatCodeForAKnownDate) {
    const double t = 36234 + 66615.0 / 86400, t2000 = 36600.5;
    const std::pair<int32_t, const char*> cases[] = {
        {1, "15/03/99"}, {2, "15/03/1999"}, {3, "15/3/99"}, {4, "15/3/1999"}, {5, "150399"}, {6, "15031999"},
        {7, "15Mar99"}, {8, "15Mar1999"}, {9, "15-Mar-99"}, {10, "15-Mar-1999"}, {11, "15Mar99"},
        {12, "15Mar1999"}, {13, "15-Mar-99"}, {14, "15-Mar-1999"}, {15, "15-March-99"}, {16, "15-March-1999"},
        {17, "990315"}, {18, "19990315"}, {19, "99/03/15"}, {20, "1999/03/15"}, {21, "031599"},
        {22, "03151999"}, {23, "03/15/99"}, {24, "03/15/1999"}, {27, "1999-03-15"}, {36, "18:30:15"},
        {37, " 6:30:15 pm"}, {38, "869634:30:15"}, {40, "36234.8"}, {39, "3130684215.000"},
        {34, "1999-03-15 18:30:15"}, {33, "15/03/99 18:30:15.00"}, {35, "15-Mar-1999 6:30:15 pm"}};
    for (auto [code, text] : cases) {
        SCOPED_TRACE("code " + std::to_string(code));
        const Read back = read(text, code);  // a date only, a time only, or the number as written
        const double want = code <= 27 ? std::floor(t) : code == 36 || code == 37 ? t - std::floor(t)
                                                       : code == 40                ? std::stod(text) : t;
        EXPECT_TRUE(written(t, code) == text && back.ok == 1 && std::fabs(back.value - want) < 1e-8)
            << written(t, code) << " read as " << back.value;
        if (code > 23 || code % 2 == 0) continue;
        // From 2000 on the two-digit-year codes write the whole year, like their partners.
        EXPECT_TRUE(written(t2000, code) == written(t2000, code + 1) && read(written(t2000, code), code).value == 36600);
    }
    for (int32_t code : {25, 26, 28, 29, 30, 31, 32}) EXPECT_EQ(written(t, code), "150399") << code;
    EXPECT_TRUE(written(t2000, 2) == "15/03/2000" && written(t2000, 18) == "20000315");
    EXPECT_EQ(written(t2000, 35), "15-Mar-2000 12:00:00 am");  // noon counts as am
    EXPECT_EQ(read("12:00:00 am", 37).value, 0.5);
}

TEST_F(Dates, WriterEdgesAndMonthNames) {
    for (int32_t code : {1, 27, 33, 37, 39, 40})
        EXPECT_TRUE(written(-1, code) == "*" && written(M, code) == "*") << code;
    EXPECT_TRUE(written(1e300, 27) == "*" && vxs_write_date(nullptr, 1, 0, 1) == 0);  // no date, no overflow
    EXPECT_EQ(written(36526 + read("12:34:56", 36).value, 34), "2000-01-01 12:34:56");  // times survive the binary fraction
    // Exact name first, else the longest leading part; ties go to the first month ("Ju").
    for (auto [text, n] : {std::pair{"Mar", 3}, {"mAY", 5}, {"Marzo", 3}, {"Dez", 12}, {"Ju", 6},
                           {"xyz", 0}, {"", 0}, {nullptr, 0}})
        EXPECT_EQ(get_short_month_no(text), n) << (text ? text : "null");
    for (auto [text, n] : {std::pair{"september", 9}, {"Sept", 9}, {"Juli", 7}, {"Ma", 3}, {"Octobre", 10}, {"Q", 0}})
        EXPECT_EQ(get_long_month_no(text), n) << text;
    VxsDefaults* g = vxs_get_global_defaults();  // names come from the defaults record
    g->month_names[3] = "Maerz", g->short_month_names[3] = "Mrz";
    EXPECT_TRUE(written(36234, 16) == "15-Maerz-1999" && written(36234, 8) == "15Mrz1999");
    EXPECT_TRUE(read("15-maerz-1999", 16).value == 36234 && read("15Mrz1999", 8).value == 36234);
}

TEST_F(Dates, ReaderMissingStrippingLayoutsAndFallbacks) {
    char text[] = "   15/03/1999   ";  // the text is stripped in place
    std::string s = "  1999-03-15 ";
    double v = 0, w = 0;
    EXPECT_TRUE(vxs_read_date(text, &v, 0, 1, M) == 1 && v == 36234 && std::string(text) == "15/03/1999");
    EXPECT_TRUE(vxs_read_date(s, &w, 0, 27, M) == 1 && w == 36234 && s == "1999-03-15");
    struct Case { const char* text; int32_t code; int ok; double value; } cases[] = {
        {"", 1, 1, M}, {"*", 27, 1, M}, {"   *x ", 1, 1, M}, {"0", 1, 0, M}, {"abc", 1, 0, M},
        {"-5", 1, 0, M}, {"1 day", 39, 0, M}, {"29/02/1999", 1, 0, M}, {"31/04/2000", 2, 0, M},
        {"15/03/ab", 1, 0, M}, {"5/3/99", 1, 1, 36224}, {"15.03.99", 1, 1, 36234},
        {"15/03/00", 1, 1, 75}, {"15/03/1999", 5, 1, 36234},  // 00 is 1900; separators rescue
        {"36526", 1, 1, 36526}, {"36526.25", 27, 1, 36526.25},  // plain day numbers
        {"15-3-1999", 3, 1, 36234}, {"15 Mar 1999", 13, 1, 36234}, {"5Mar99", 11, 1, 36224},
        {"15.March.1999", 15, 1, 36234}, {"Mar 5 1999", 26, 1, 36224}, {"99/3/5", 19, 1, 36224},
        {"1999-3-5", 27, 1, 36224}, {"3/5/1999", 23, 1, 36224}, {"15/03/1999", 28, 1, 36234},
        {"Monday 15 March 1999", 28, 1, 36234}, {"150399183015", 40, 1, 36234 + 66615.0 / 86400},
        {"15/3/1999 6:30:15.5", 33, 1, 36234 + 23415.5 / 86400},
        {"15mar1999 6:30:15 PM", 35, 1, 36234 + 66615.0 / 86400},
        {"15-Mar-1999 12:30:00 pm", 35, 1, 36234.5 + 1800.0 / 86400}, {"6:30:15 am", 37, 1, 23415.0 / 86400},
        {"30:00:00", 38, 1, 1.25}, {"64800", 39, 1, 0.75}};
    for (const Case& c : cases) {
        const Read r = read(c.text, c.code);
        EXPECT_TRUE(r.ok == c.ok && std::fabs(r.value - c.value) < 1e-8) << c.text << " " << c.code << ": " << r.value;
    }
    EXPECT_EQ(read("01/03/1600", 1, 1).value, 1);
}

// Arbitrary typed text never reads outside the text and always gives a date, missing or 0.
TEST_F(Dates, ArbitraryTextIsReadSafelyByEveryCode) {
    std::mt19937 rng(7);
    const std::string alphabet = "0123456789/-:., *apmAPMJanMarchDecxyz\\\t+e";
    for (int round = 0; round < 3000; ++round) {
        std::string text(rng() % 100, ' ');
        for (char& c : text) c = alphabet[rng() % alphabet.size()];
        for (int32_t code = 0; code <= 41; ++code) {
            double v = 0;
            std::string copy = text;
            const int16_t g = round % 2;
            const int ok = vxs_read_date(copy, &v, g, code, M);
            ASSERT_TRUE(((ok == 0 && v == M) || ok == 1) && copy.size() <= 90u &&
                        (v <= M || written(v, code, g).size() < 64u)) << text;
        }
    }
}

// The printf forms behind each representation and decimals (the forms themselves: the formatter's tests).
TEST_F(Dates, WriteNumFormsAndWhereItDiffersFromPlainPrintf) {
    struct Case { double value; int32_t rep, dec; const char* text; } cases[] = {
        {3.14159, VXS_REP_GENERAL, 3, "3.14"},     // decimals as precision when above the digits
        {123.456, VXS_REP_GENERAL, 2, "123.456"},  // three integer digits: plain %g
        {1e13, VXS_REP_GENERAL, 20, "1e+13"},      {0, VXS_REP_GENERAL, 3, "0"},
        {0.5, VXS_REP_TEXT, 4, "0.5"},             {1e300, VXS_REP_FIXED, 2, "1e+300"},  // too wide
        {-1e307, VXS_REP_FIXED, 2, "*"},           {-2e307, VXS_REP_GENERAL, 2, "*"},
        {-1e306, VXS_REP_GENERAL, -1, "-1e+306"},  {1234567, VXS_REP_GENERAL, -1, "1.23457e+06"},
        {1234567, VXS_REP_TEXT, -1, "1.23457e+06"}, {2.5e-7, VXS_REP_EXPONENT, -1, "2.500000e-07"},
        {2.5e-7, VXS_REP_EXPONENT, 0, "2.500000e-07"}, {1.0 / 3, VXS_REP_EXPONENT, 3, "3.333e-01"},
        {5.62, VXS_REP_FIXED, -1, "5.620000"},     {2.675, VXS_REP_FIXED, 0, "3"},
        {-999999.5, VXS_REP_FIXED, 3, "-999999.500"}, {1e-300, VXS_REP_FIXED, 12, "0.000000000000"}};
    for (const Case& c : cases) {
        EXPECT_EQ(write_num(c.value, c.rep, c.dec, M), c.text) << c.value << " " << c.rep;
        EXPECT_EQ(write_num_width(c.value, c.rep, c.dec, M), std::strlen(c.text)) << c.value << " " << c.rep;
    }
    vxs_set_date_format(27);
    EXPECT_EQ(write_num(36234, VXS_REP_DATE, -1, M), "1999-03-15");
    vxs_set_gregorian(1);
    EXPECT_TRUE(write_num(1, VXS_REP_DATE, -1, M) == "1600-03-01" && write_num(M, VXS_REP_DATE, -1, M) == "*");
}

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
            // The width alone must agree with the text (the fallback's buffer holds 127).
            int w = vxs_format_double_width(v, form, p);
            // A bound is kept for %g of normal numbers, and holds.
            const int most = vxs_format_double_width_most(v, form, p);
            const bool bound_ok = (most < 0) == (form != 'g' || !std::isnormal(v) || p > 14) && (most < 0 || most >= n);
            if (n >= 0 && std::string(got, size_t(n)) == want && (w == n || (w < 0 && n > 126)) && bound_ok) continue;
            if (++bad <= 3) ADD_FAILURE() << fmt << " of " << std::hexfloat << v << ": printf " << want << ", width " << w;
        }
    }
    return bad;
}

TEST(NumberFormat, ChosenValuesMatchPrintfAndTooSmallBuffersGiveNothing) {
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
    char buf[4];
    EXPECT_EQ(vxs_format_double(buf, sizeof buf, 12345.0, 'f', 2), -1);
    EXPECT_TRUE(vxs_format_double(buf, sizeof buf, 1.5, 'g', 6) == 3 && std::string(buf) == "1.5");
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

// A column measured in one call is as wide as its widest cell measured alone, for every form,
// with missing, non-finite, whole, tiny and huge values among ordinary ones.
TEST_F(Dates, ColumnWidthIsTheWidestCellWidth) {
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> uni(-1000, 1000);
    std::uniform_int_distribution<int> decimals(0, 6), power(-12, 12), pick(0, 9);
    const double odd[] = {M, M * 2, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                          5e-324, 0.0, -0.0, 1e300, -1e-300, 123456.5, 999999.5};
    vxs_set_date_format(27);
    for (int round = 0; round < 400; ++round) {
        std::vector<double> v(static_cast<size_t>(1 + round % 37));
        for (double& x : v) {
            const int k = pick(rng);
            x = k == 0   ? odd[static_cast<size_t>(rng() % std::size(odd))]
                : k < 4 ? std::round(uni(rng) * std::pow(10.0, decimals(rng))) / std::pow(10.0, decimals(rng))
                : k < 6 ? std::floor(uni(rng) * 50)
                        : uni(rng) * std::pow(10.0, power(rng));
        }
        for (auto [rep, dec] : {std::pair{VXS_REP_GENERAL, -1}, {VXS_REP_GENERAL, 3}, {VXS_REP_TEXT, -1},
                                {VXS_REP_FIXED, 2}, {VXS_REP_EXPONENT, 4}, {VXS_REP_DATE, -1}}) {
            const size_t start = static_cast<size_t>(round % 3);  // a widest so far, kept when no cell beats it
            size_t want = start;
            for (double x : v) want = std::max(want, write_num_width(x, rep, dec, M));
            ASSERT_EQ(write_num_width_max(v.data(), v.size(), rep, dec, M, start), want)
                << "round " << round << " representation " << rep << " decimals " << dec;
        }
    }
}

constexpr double C = 9.99999e307;  // the largest number kept

struct Reading { double value; int changed; };

Reading read_in(int mode, const std::string& text) {
    fresh_run();
    vxs_parser_options().txt_to_num_mode = mode;
    int16_t changed = -1;
    double v = vxs_spread_read_num_from_text(text.c_str(), M, &changed);
    return {v, changed};
}

// Per tricky input: the value in modes 0..4 and which modes flag a change (one entry: all agree).
struct Row { const char* text; std::vector<double> by_mode; const char* changed; };

TEST(NumbersFromText, EveryModeOnTheSameTrickyInputsAndTheCallersMissingValue) {
    const Row rows[] = {
        {"2.5", {2.5}, "0"}, {"1.5e3", {1500}, "0"}, {".5", {.5}, "0"}, {"-2.5E-2", {-.025}, "0"},
        {"7.", {7}, "0"}, {"+4", {4}, "0"}, {"*", {M}, "1"}, {" ", {M}, "1"}, {"-", {M}, "1"},
        {"abc", {M}, "1"}, {"nan", {M}, "1"}, {"-1e306", {-1e306}, "0"}, {"1e308", {C}, "1"},
        {"9.99999e307", {C}, "0"}, {"1e400", {M}, "1"}, {"1e-400", {M}, "1"}, {"-1e308", {M}, "1"},
        {"1,234", {M, 1.234, 1.234, 1.234, 1.234}, "11111"}, {"1,5", {M, 1.5, 1.5, 1.5, 1.5}, "11111"},
        {"12,345.6", {M, 12, 12, 12, 12345.6}, "11111"}, {"1,234,567", {M, M, M, M, 1.234567}, "11111"},
        {"12abc", {M, M, M, 12, 12}, "11101"}, {" 3 ", {M, 3, 3, 3, 3}, "10001"},
        {"O.5", {M, .5, .5, .5, .5}, "11111"}, {"(3)", {M, M, 3, 3, 3}, "11111"},
        {"1.2D3", {M, M, M, 1.2, 1200}, "11101"}, {"- 5", {M, M, M, M, -5}, "11111"},
        {"2.5 kg", {M, 2.5, 2.5, 2.5, 2.5}, "10001"}, {"2.5kg", {M, M, M, 2.5, 2.5}, "11101"},
        {"lO", {M, M, 10, 10, 10}, "11111"}, {"S5", {M, 55, M, 55, 55}, "11111"},
        {"1:5", {M, 1.5, M, 1.5, 1.5}, "11111"}, {"1;5.2", {M, 1, M, 1, 15.2}, "11111"},
        {"@1", {M, 1, M, 1, 1}, "11111"}, {"Z", {M, 2, M, 2, 2}, "11111"},
        {"$1.50", {M, 1.5, 1.5, 1.5, 1.5}, "11111"}, {"1.2.3", {M, M, M, M, 1.23}, "11111"},
        {"Infinity", {M, M, M, 1, 111}, "11111"}, {"0x10", {M, M, M, 0, 10}, "11101"},
        {"1e", {M, M, M, 1, 1}, "11100"}};
    for (const Row& row : rows) {
        for (int mode = 0; mode <= 4; ++mode) {
            SCOPED_TRACE(std::string("text [") + row.text + "] mode " + std::to_string(mode));
            Reading got = read_in(mode, row.text);
            EXPECT_DOUBLE_EQ(got.value, row.by_mode[row.by_mode.size() == 1 ? 0 : mode]);
            EXPECT_EQ(got.changed, row.changed[row.changed[1] ? mode : 0] - '0');
        }
    }
    // Mode 1 allows exactly one repair; only the first ninety characters count (the 2 is the 91st).
    for (auto [text, v] : {std::pair{"1O", 10.0}, {"(5", 5.0}, {"lOO", M}})
        EXPECT_EQ(read_in(1, text).value, v) << text;
    for (int mode : {0, 3}) EXPECT_EQ(read_in(mode, std::string(89, '0') + "12").value, 1) << mode;
    fresh_run();
    int16_t changed = 7;  // empty or absent text: the caller's missing value, flag untouched
    EXPECT_TRUE(vxs_spread_read_num_from_text("", -3.0, &changed) == -3.0 &&
                vxs_spread_read_num_from_text(nullptr, -3.0, &changed) == -3.0 && changed == 7);
    EXPECT_EQ(vxs_spread_read_num_from_text("1,5", M, nullptr), 1.5);  // no flag asked for
    // Anything below the caller's missing value is missing too, and flagged.
    EXPECT_TRUE(vxs_spread_read_num_from_text("-150", -99.0, &changed) == -99.0 && changed == 1);
}

TEST(NumbersFromText, StripBlanksAndMissingText) {
    fresh_run();
    const std::tuple<const char*, size_t, const char*> cases[] = {  // only the blank counts
        {"  a  b   c  ", 90, "a b c"}, {"abc", 90, "abc"}, {"", 90, ""}, {"    ", 90, " "},
        {"ab   cd", 4, "ab"}, {"  x", 2, " "}, {"a  b", 3, "a"}, {"\tx\t", 90, "\tx\t"}};
    for (auto [in, limit, out] : cases) {
        char buf[100];
        EXPECT_STREQ((vxs_strip_blanks(buf, in, limit), buf), out) << "[" << in << "]";
        EXPECT_EQ(vxs_strip_blanks(std::string_view(in), limit), out) << "[" << in << "]";
    }
    char text[] = "   one   two  ";  // in place
    EXPECT_STREQ((vxs_strip_blanks(text, text, sizeof text), text), "one two");

    // Blank, empty or the missing-value text (only its first character must match exactly).
    for (auto [mv, t, want] :
         {std::tuple{"*", "", 1}, {"*", "     ", 1}, {"*", "*", 1}, {"*", "  *  ", 1},
          {"*", "**", 0}, {"*", "0", 0}, {"*", "NA", 0}, {"NA", "NA", 1}, {"NA", " NA ", 1},
          {"NA", "Na", 1}, {"NA", "na", 0}, {"NA", "NAN", 0}, {"NA", "*", 0}, {"NA", "", 1}}) {
        vxs_parser_options().xls_mv = mv;
        EXPECT_EQ(vxs_is_missing_text(t), want) << "[" << t << "] with " << mv;
    }
    fresh_run();
}

// Opened at the first warning, twelve digits, unwritable names skipped until a usable one.
TEST(WarningsFile, ExactLinesOnlyOnceAWarningComes) {
    ScratchDir dir;
    const std::string path = dir.file("TxtToNum.ERR");
    write_file(path, "old contents that must go\n");
    fresh_run(dir.file("none.err")), vxs_spread_read_num_from_text("1,5", M, nullptr);  // reading never writes
    EXPECT_FALSE(file_exists(dir.file("none.err")));
    fresh_run(dir.file("no/such/dir/w.err")), vxs_warn_conversion("x", 1, "a", M, M);
    EXPECT_EQ(vxs_warn_out, nullptr);
    fresh_run(path);
    for (long row = 1; const char* text : {"1,5", "abc", "12,345.6", "1e400"}) {
        int16_t changed = 0;
        const double v = vxs_spread_read_num_from_text(text, M, &changed);
        ASSERT_EQ(changed, 1) << text;
        vxs_warn_conversion("Weight", row, text, v, M), row += 1000;
    }
    vxs_warn_conversion("x", 12345, "(1234567.891234567)", 1234567.891234567, M);
    vxs_warn_conversion("x", 2, "1e308", C, M);
    fresh_run("TxtToNum.ERR");  // closes the file
    EXPECT_EQ(read_file(path),
              "Text to Number Conversion Warnings\n \n"
              "Column Weight Row    1: 1,5 read as 1.5\n"
              "Column Weight Row 1001: abc read as *\n"
              "Column Weight Row 2001: 12,345.6 read as 12\n"
              "Column Weight Row 3001: 1e400 read as *\n"
              "Column x Row 12345: (1234567.891234567) read as 1234567.89123\n"
              "Column x Row    2: 1e308 read as 9.99999e+307\n");
}

}  // namespace
