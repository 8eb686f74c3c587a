// Day numbers on both scales checked against the standard calendar, every date format code
// written for one known date and read back, the date reader's fallbacks, and write_num.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "sheet/vxs_dates.h"
#include "sheet/vxs_sheet.h"

namespace {

using namespace std::chrono;

constexpr double M = -1.0e307;

std::string iso(year_month_day ymd) {
    char b[32];
    std::snprintf(b, sizeof b, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return b;
}

std::string written(double value, int32_t format, int16_t gregorian = 0) {
    char b[64];
    EXPECT_EQ(vxs_write_date(b, value, gregorian, format), 1);
    return b;
}

struct Read {
    int ok;
    double value;
};

Read read(std::string text, int32_t format, int16_t gregorian = 0) {
    double v = 12345;
    int ok = vxs_read_date(text, &v, gregorian, format, M);
    return {ok, v};
}

struct Dates : ::testing::Test {
    void SetUp() override {
        vxs_init();
        vxs_set_gregorian(0);
        vxs_set_date_format(1);
    }
    void TearDown() override {
        vxs_set_gregorian(0);
        vxs_set_date_format(1);
        vxs_init();
    }
};

TEST_F(Dates, DayNumbersOfKnownDates) {
    EXPECT_EQ(vxs_day_number(1, 1, 2000), 36526);
    EXPECT_EQ(vxs_day_number(1, 3, 1900), 61);
    EXPECT_EQ(vxs_day_number(1, 1, 1900), 1);
    EXPECT_EQ(vxs_day_number(28, 2, 1900), 59);
    EXPECT_EQ(vxs_day_number(29, 2, 1900), 60);  // the spreadsheet's phantom leap day
    EXPECT_EQ(vxs_day_number(15, 3, 1999), 36234);
    EXPECT_EQ(vxs_day_number(31, 12, 9999), 2958465);
    EXPECT_EQ(vxs_day_number(15, 3, 99), vxs_day_number(15, 3, 1999));  // two-digit years are 19xx
    vxs_set_gregorian(1);
    EXPECT_EQ(vxs_day_number(1, 3, 1600), 1);
    EXPECT_EQ(vxs_day_number(29, 2, 1600), 0);
    EXPECT_EQ(vxs_day_number(1, 1, 1900), 109514);
    EXPECT_EQ(vxs_day_number(1, 3, 1900), 109573);
}

TEST_F(Dates, ImpossibleAndEarlyDates) {
    for (int16_t g : {0, 1}) {
        vxs_set_gregorian(g);
        EXPECT_EQ(vxs_day_number(29, 2, 1999), vxs_missing);
        EXPECT_EQ(vxs_day_number(31, 4, 2000), vxs_missing);
        EXPECT_EQ(vxs_day_number(0, 1, 2000), vxs_missing);
        EXPECT_EQ(vxs_day_number(32, 1, 2000), vxs_missing);
        EXPECT_EQ(vxs_day_number(1, 13, 2000), vxs_missing);
        EXPECT_EQ(vxs_day_number(1, 0, 2000), vxs_missing);
        EXPECT_EQ(vxs_day_number(1, 1, 1599), 0);
        EXPECT_EQ(vxs_day_number(15, 6, 1066), 0);
        EXPECT_EQ(vxs_day_number(1, 1, -5), 0);
    }
}

// Every day of four centuries on the serial scale, checked against the standard calendar and
// read back; leap years (1904, 2000, not 2100) fall out of the comparison.
TEST_F(Dates, SerialScaleMatchesTheCalendarAndRoundTrips) {
    const sys_days base = sys_days{1899y / December / 30};
    for (long s = 1; s <= 182622; ++s) {  // to 31 December 2399
        if (s == 60) continue;            // the phantom 29 February 1900, below
        year_month_day want{base + days{s < 60 ? s + 1 : s}};
        std::string text = written(static_cast<double>(s), 27);
        ASSERT_EQ(text, iso(want)) << "serial " << s;
        ASSERT_EQ(vxs_day_number(static_cast<unsigned>(want.day()), static_cast<unsigned>(want.month()),
                                 static_cast<int>(want.year())),
                  s);
        Read back = read(text, 27);
        ASSERT_EQ(back.ok, 1);
        ASSERT_EQ(back.value, s) << text;
    }
    EXPECT_EQ(written(60, 2), "28/02/1900");
    EXPECT_EQ(written(2958465, 27), "9999-12-31");
}

TEST_F(Dates, GregorianScaleMatchesTheCalendarAndRoundTrips) {
    const sys_days base = sys_days{1600y / February / 29};
    vxs_set_gregorian(1);
    for (long d = 0; d <= 292000; d += 1) {  // to the end of 2399
        year_month_day want{base + days{d}};
        std::string text = written(static_cast<double>(d), 27, 1);
        ASSERT_EQ(text, iso(want)) << "day " << d;
        Read back = read(text, 27, 1);
        ASSERT_EQ(back.ok, 1);
        ASSERT_EQ(back.value, d) << text;
    }
}

TEST_F(Dates, ScaleConversionsAreInverse) {
    for (double s : {0.0, 1.0, 59.0, 61.0, 36526.5, 2958465.0}) {
        double v = s;
        vxs_date_1900_to_1600(&v, M);
        double back = v;
        vxs_date_1600_to_1900(&back, M);
        EXPECT_EQ(back, s) << s;
    }
    // The same date reached by either scale.
    for (auto [d, m, y] : {std::tuple{1, 1, 1900}, {28, 2, 1900}, {1, 3, 1900}, {29, 2, 2000}, {31, 12, 2099}}) {
        vxs_set_gregorian(1);
        double on1600 = vxs_day_number(d, m, y);
        vxs_set_gregorian(0);
        double serial = vxs_day_number(d, m, y);
        double converted = on1600;
        vxs_date_1600_to_1900(&converted, M);
        EXPECT_EQ(converted, serial) << d << "." << m << "." << y;
        vxs_date_1900_to_1600(&serial, M);
        EXPECT_EQ(serial, on1600);
    }
    double v = -1;
    vxs_date_1900_to_1600(&v, M);
    EXPECT_EQ(v, M);
    v = 109511;
    vxs_date_1600_to_1900(&v, M);
    EXPECT_EQ(v, M);
    v = M;
    vxs_date_1900_to_1600(&v, M);
    EXPECT_EQ(v, M);
}

// 15 March 1999, 18:30:15 and 15 March 2000, noon, in every code.
TEST_F(Dates, EveryFormatCodeForKnownDates) {
    const double t1999 = 36234 + 66615.0 / 86400;
    const double t2000 = 36600.5;
    struct Case {
        int32_t code;
        const char* y1999;
        const char* y2000;
    } cases[] = {
        {1, "15/03/99", "15/03/2000"},      {2, "15/03/1999", "15/03/2000"},
        {3, "15/3/99", "15/3/2000"},        {4, "15/3/1999", "15/3/2000"},
        {5, "150399", "15032000"},          {6, "15031999", "15032000"},
        {7, "15Mar99", "15Mar2000"},        {8, "15Mar1999", "15Mar2000"},
        {9, "15-Mar-99", "15-Mar-2000"},    {10, "15-Mar-1999", "15-Mar-2000"},
        {11, "15Mar99", "15Mar2000"},       {12, "15Mar1999", "15Mar2000"},
        {13, "15-Mar-99", "15-Mar-2000"},   {14, "15-Mar-1999", "15-Mar-2000"},
        {15, "15-March-99", "15-March-2000"}, {16, "15-March-1999", "15-March-2000"},
        {17, "990315", "20000315"},         {18, "19990315", "20000315"},
        {19, "99/03/15", "2000/03/15"},     {20, "1999/03/15", "2000/03/15"},
        {21, "031599", "03152000"},         {22, "03151999", "03152000"},
        {23, "03/15/99", "03/15/2000"},     {24, "03/15/1999", "03/15/2000"},
        {25, "150399", "15032000"},         {26, "150399", "15032000"},
        {27, "1999-03-15", "2000-03-15"},   {28, "150399", "15032000"},
        {29, "150399", "15032000"},         {30, "150399", "15032000"},
        {31, "150399", "15032000"},         {32, "150399", "15032000"},
        {33, "15/03/99 18:30:15.00", "15/03/2000 12:00:00.00"},
        {34, "1999-03-15 18:30:15", "2000-03-15 12:00:00"},
        {35, "15-Mar-1999 6:30:15 pm", "15-Mar-2000 12:00:00 am"},
        {36, "18:30:15", "12:00:00"},
        {37, " 6:30:15 pm", "12:00:00 am"},
        {38, "869634:30:15", "878412:00:00"},
        {39, "3130684215.000", "3162283200.000"},
        {40, "36234.8", "36600.5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("code " + std::to_string(c.code));
        EXPECT_EQ(written(t1999, c.code), c.y1999);
        EXPECT_EQ(written(t2000, c.code), c.y2000);
        // Read back where the code's written form has a reading layout.
        const bool unreadable = c.code == 25 || c.code == 26 || (c.code >= 28 && c.code <= 32);
        if (unreadable) continue;
        for (auto [text, value] : {std::pair{c.y1999, t1999}, {c.y2000, t2000}}) {
            Read back = read(text, c.code);
            ASSERT_EQ(back.ok, 1) << text;
            double want = value;
            if (c.code <= 27) want = std::floor(value);                    // date only
            if (c.code == 36 || c.code == 37) want = value - std::floor(value);  // time only
            if (c.code == 40) want = std::stod(text);                      // as precise as written
            EXPECT_NEAR(back.value, want, 1e-8) << text;
        }
    }
}

TEST_F(Dates, EdgeCasesOfTheWriter) {
    EXPECT_EQ(written(vxs_day_number(15, 3, 2000), 9), "15-Mar-2000");
    EXPECT_EQ(written(vxs_day_number(15, 3, 2000), 10), "15-Mar-2000");
    EXPECT_EQ(written(vxs_day_number(15, 3, 1999), 9), "15-Mar-99");
    EXPECT_EQ(written(vxs_day_number(15, 3, 1999), 10), "15-Mar-1999");
    EXPECT_EQ(written(0.75, 37), " 6:00:00 pm");
    EXPECT_EQ(written(0.75, 39), "64800.000");
    EXPECT_EQ(written(0.75, 38), "18:00:00");
    for (int32_t code : {1, 27, 33, 37, 39, 40}) {
        EXPECT_EQ(written(-1, code), "*");
        EXPECT_EQ(written(M, code), "*");
    }
    EXPECT_EQ(written(1e300, 27), "*");  // no calendar date, no overflow
    EXPECT_EQ(vxs_write_date(nullptr, 1, 0, 1), 0);
    // Times survive the binary fraction: 12:34:56 read back is written as 12:34:56.
    Read t = read("12:34:56", 36);
    ASSERT_EQ(t.ok, 1);
    EXPECT_EQ(written(t.value, 36), "12:34:56");
    EXPECT_EQ(written(36526 + t.value, 34), "2000-01-01 12:34:56");
}

TEST_F(Dates, MonthNamesComeFromTheDefaultsRecord) {
    VxsDefaults* g = vxs_get_global_defaults();
    g->month_names[3] = "Maerz";
    g->short_month_names[3] = "Mrz";
    EXPECT_EQ(written(36234, 16), "15-Maerz-1999");
    EXPECT_EQ(written(36234, 8), "15Mrz1999");
    EXPECT_EQ(read("15-maerz-1999", 16).value, 36234);
    EXPECT_EQ(read("15Mrz1999", 8).value, 36234);
}

TEST_F(Dates, MonthLookupByExactNameOrLongestLeadingPart) {
    EXPECT_EQ(get_short_month_no("Mar"), 3);
    EXPECT_EQ(get_short_month_no("mAY"), 5);
    EXPECT_EQ(get_short_month_no("Marzo"), 3);
    EXPECT_EQ(get_short_month_no("Dez"), 12);
    EXPECT_EQ(get_short_month_no("Ju"), 6);  // first of the equal candidates
    EXPECT_EQ(get_short_month_no("xyz"), 0);
    EXPECT_EQ(get_short_month_no(""), 0);
    EXPECT_EQ(get_short_month_no(nullptr), 0);
    EXPECT_EQ(get_long_month_no("september"), 9);
    EXPECT_EQ(get_long_month_no("Sept"), 9);
    EXPECT_EQ(get_long_month_no("Juli"), 7);
    EXPECT_EQ(get_long_month_no("Ma"), 3);
    EXPECT_EQ(get_long_month_no("Octobre"), 10);
    EXPECT_EQ(get_long_month_no("Q"), 0);
}

TEST_F(Dates, ReaderMissingAndStripping) {
    EXPECT_EQ(read("", 1).ok, 1);
    EXPECT_EQ(read("", 1).value, M);
    EXPECT_EQ(read("*", 27).value, M);
    EXPECT_EQ(read("   *x ", 1).ok, 1);
    EXPECT_EQ(read("   *x ", 1).value, M);
    char text[] = "   15/03/1999   ";
    double v = 0;
    EXPECT_EQ(vxs_read_date(text, &v, 0, 1, M), 1);
    EXPECT_STREQ(text, "15/03/1999");
    EXPECT_EQ(v, 36234);
    std::string s = "  1999-03-15 ";
    EXPECT_EQ(vxs_read_date(s, &v, 0, 27, M), 1);
    EXPECT_EQ(s, "1999-03-15");
}

TEST_F(Dates, ReaderLayoutsAndFallbacks) {
    struct Case {
        const char* text;
        int32_t code;
        int ok;
        double value;
    } cases[] = {
        {"15/03/99", 1, 1, 36234},
        {"5/3/99", 1, 1, 36224},           // one-digit fields
        {"15.03.99", 1, 1, 36234},
        {"15/03/00", 1, 1, 75},            // 00 is 1900
        {"29/02/2000", 1, 1, 36585},
        {"29/02/1999", 1, 0, M},           // no such day: not a date
        {"31/04/2000", 2, 0, M},
        {"15/03/ab", 1, 0, M},             // a year that is no number
        {"15/03/1999", 5, 1, 36234},       // layout fails, separators rescue it
        {"36526", 1, 1, 36526},            // plain day numbers
        {"36526.25", 27, 1, 36526.25},
        {"0", 1, 0, M},
        {"abc", 1, 0, M},
        {"-5", 1, 0, M},
        {"15-3-1999", 3, 1, 36234},
        {"15 Mar 1999", 13, 1, 36234},
        {"15.March.1999", 15, 1, 36234},
        {"5Mar99", 11, 1, 36224},
        {"Mar 15 1999", 25, 1, 36234},
        {"Mar 5 1999", 26, 1, 36224},
        {"1999-3-5", 27, 1, 36224},
        {"99/3/5", 19, 1, 36224},
        {"3/5/1999", 23, 1, 36224},
        {"Monday 15 March 1999", 28, 1, 36234},
        {"15 march 1999", 28, 1, 36234},
        {"15/03/1999", 28, 1, 36234},
        {"150399183015", 40, 1, 36234 + 66615.0 / 86400},
        {"15/3/1999 6:30:15.5", 33, 1, 36234 + 23415.5 / 86400},
        {"15mar1999 6:30:15 PM", 35, 1, 36234 + 66615.0 / 86400},
        {"15-Mar-1999 12:30:00 pm", 35, 1, 36234.5 + 1800.0 / 86400},
        {"6:30:15 am", 37, 1, 23415.0 / 86400},
        {"12:00:00 am", 37, 1, 0.5},
        {"30:00:00", 38, 1, 1.25},
        {"64800", 39, 1, 0.75},
        {"1 day", 39, 0, M},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " code " + std::to_string(c.code));
        Read r = read(c.text, c.code);
        EXPECT_EQ(r.ok, c.ok);
        EXPECT_NEAR(r.value, c.value, 1e-8);
    }
    Read g = read("01/03/1600", 1, 1);
    EXPECT_EQ(g.ok, 1);
    EXPECT_EQ(g.value, 1);
}

TEST_F(Dates, WriteNumByRepresentation) {
    struct Case {
        double value;
        int32_t rep;
        int32_t dec;
        const char* text;
    } cases[] = {
        {3.14159, VXS_REP_FIXED, 2, "3.14"},
        {3.14159, VXS_REP_FIXED, 0, "3"},
        {3.14159, VXS_REP_FIXED, -1, "3.141590"},
        {3.14159, VXS_REP_GENERAL, -1, "3.14159"},
        {3.14159, VXS_REP_GENERAL, 3, "3.14"},     // decimals as precision when above the digits
        {123.456, VXS_REP_GENERAL, 2, "123.456"},  // three integer digits: plain %g
        {1234567, VXS_REP_GENERAL, -1, "1.23457e+06"},
        {1e13, VXS_REP_GENERAL, 20, "1e+13"},
        {0, VXS_REP_GENERAL, 3, "0"},
        {1234.56, VXS_REP_EXPONENT, 3, "1.235e+03"},
        {1234.56, VXS_REP_EXPONENT, 0, "1.234560e+03"},
        {0.5, VXS_REP_TEXT, 4, "0.5"},
        {1e300, VXS_REP_FIXED, 2, "1e+300"},       // fixed form would not fit a cell
        {-1e307, VXS_REP_FIXED, 2, "*"},
        {-2e307, VXS_REP_GENERAL, 2, "*"},
        {-1e306, VXS_REP_GENERAL, -1, "-1e+306"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        char b[64];
        write_num(b, c.value, c.rep, c.dec, M);
        EXPECT_STREQ(b, c.text);
        EXPECT_EQ(write_num(c.value, c.rep, c.dec, M), c.text);
    }
    vxs_set_date_format(27);
    EXPECT_EQ(write_num(36234, VXS_REP_DATE, -1, M), "1999-03-15");
    vxs_set_gregorian(1);
    EXPECT_EQ(write_num(1, VXS_REP_DATE, -1, M), "1600-03-01");
    EXPECT_EQ(write_num(M, VXS_REP_DATE, -1, M), "*");
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
            int ok = vxs_read_date(copy, &v, static_cast<int16_t>(round % 2), code, M);
            ASSERT_TRUE(ok == 0 || ok == 1);
            ASSERT_LE(copy.size(), 90u);
            if (ok == 0) {
                ASSERT_EQ(v, M);
            }
            if (ok == 1 && v > M) {
                char b[64];
                vxs_write_date(b, v, static_cast<int16_t>(round % 2), code);
                ASSERT_LT(std::string(b).size(), 64u);
            }
        }
    }
}

}  // namespace

// write_num formats without printf for speed; every representation must still give exactly
// what the printf formats give.
TEST(WriteNumFormats, AgreeWithPrintf) {
    const double values[] = {0,      -0.0,    1e-300, 123456, 1234567,  0.0001,  0.00001, 5.62,
                             -999999.5, 1e308, 2.5e-7, 100,   1.0 / 3, 2.675, 1e15, -7.25e-13};
    char got[64], want[64];
    for (double v : values) {
        SCOPED_TRACE(v);
        write_num(got, v, VXS_REP_GENERAL, -1, vxs_missing);
        std::snprintf(want, sizeof want, "%g", v);
        EXPECT_STREQ(got, want);
        write_num(got, v, VXS_REP_TEXT, -1, vxs_missing);
        EXPECT_STREQ(got, want);
        write_num(got, v, VXS_REP_EXPONENT, -1, vxs_missing);
        std::snprintf(want, sizeof want, "%e", v);
        EXPECT_STREQ(got, want);
        for (int d : {0, 1, 3, 12}) {
            write_num(got, v, VXS_REP_EXPONENT, d, vxs_missing);
            if (d > 0)
                std::snprintf(want, sizeof want, "%.*e", d, v);
            else
                std::snprintf(want, sizeof want, "%e", v);
            EXPECT_STREQ(got, want);
            if (std::fabs(v) < 1e40) {
                write_num(got, v, VXS_REP_FIXED, d, vxs_missing);
                std::snprintf(want, sizeof want, "%.*f", d, v);
                EXPECT_STREQ(got, want);
            }
        }
        if (std::fabs(v) < 1e40) {
            write_num(got, v, VXS_REP_FIXED, -1, vxs_missing);
            std::snprintf(want, sizeof want, "%f", v);
            EXPECT_STREQ(got, want);
        }
        write_num(got, v, VXS_REP_GENERAL, 9, vxs_missing);
        double m = std::fabs(v);
        bool more = m > 1e-12 && m < 1e12 && std::labs(static_cast<long>(std::log10(m)) + 1) < 9;
        std::snprintf(want, sizeof want, more ? "%.9g" : "%g", v);
        EXPECT_STREQ(got, want);
    }
}
