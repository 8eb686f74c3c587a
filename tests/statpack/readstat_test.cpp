// Files read through ReadStat (zsav, portable, Stata 113-119, XPORT 8, SAS7BDAT) made by haven,
// pandas, pspp and readstat, compared cell by cell with what haven reads back; detection of their
// signatures; /i; the column limit; text in the sheet's code page; cut and lying files.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>

#include "driver/vxs_formats.h"
#include "sheet/vxs_cp1252.h"
#include "sheet/vxs_sheet.h"
#include "sheet/vxs_txtnum.h"
#include "statpack/reader_test_util.h"
#include "statpack/vxr_readstat.h"
#include "test_util.h"

#include <readstat.h>

namespace {

struct ExpectVar {
    std::string name, label;
    std::vector<std::string> cells;
};

std::vector<ExpectVar> load_expect(const std::string& file) {
    std::ifstream in(data_path("readstat/" + file + ".expect"));
    std::vector<ExpectVar> vars;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> f = tab_fields(line);
        if (f[0] == "V") vars.push_back({f[1], f[2], {}});
        if (f[0] == "D" && !vars.empty()) vars.back().cells.push_back(f[2]);
    }
    return vars;
}

int16_t read_any(const char* path) { return open_file(path, VX_Find_File_Type(path)); }
using Readstat = ReaderTest<read_any>;

// Days from 1 January 1970 of a proleptic Gregorian date.
long days_from_civil(long y, long m, long d) {
    y -= m <= 2;
    long era = (y >= 0 ? y : y - 399) / 400;
    long yoe = y - era * 400;
    long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS" or "HH:MM:SS" as a day number on the column's scale: the
// spreadsheet serial scale (with its 29 February 1900) or days from 1 March 1600.
bool expected_day(const std::string& s, bool gregorian, double* out) {
    long y, mo, d, h = 0, mi = 0, se = 0;
    if (std::sscanf(s.c_str(), "%ld:%ld:%ld", &h, &mi, &se) == 3 && s.size() == 8) {
        *out = (h * 3600 + mi * 60 + se) / 86400.0;
        return true;
    }
    h = mi = se = 0;
    int n = std::sscanf(s.c_str(), "%ld-%ld-%ld %ld:%ld:%ld", &y, &mo, &d, &h, &mi, &se);
    if (n != 3 && n != 6) return false;
    double day = gregorian ? days_from_civil(y, mo, d) - days_from_civil(1600, 2, 29)
                           : days_from_civil(y, mo, d) - days_from_civil(1899, 12, 30);
    if (!gregorian && day < 61) day -= 1;
    *out = day + (h * 3600 + mi * 60 + se) / 86400.0;
    return true;
}

std::string sheet_text(const std::string& utf8) {
    std::string out;
    vxs_utf8_to_cp1252(utf8, out, VXS_MAX_TEXT);
    return vxs_strip_blanks(out, VXS_MAX_TEXT);
}

void check_against(const Sheet* s, const std::vector<ExpectVar>& vars) {
    ASSERT_EQ(s->column_count, static_cast<int32_t>(vars.size()));
    for (size_t c = 0; c < vars.size(); ++c) {
        const ExpectVar& v = vars[c];
        const Column* col = s->cols[c + 1].get();
        SCOPED_TRACE(v.name);
        EXPECT_EQ(col->name, v.name);
        EXPECT_EQ(col->extra, sheet_text(v.label).substr(0, 40));
        ASSERT_EQ(col->value_count(), v.cells.size());
        for (size_t r = 0; r < v.cells.size(); ++r) {
            SCOPED_TRACE("row " + std::to_string(r + 1));
            const std::string& want = v.cells[r];
            if (col->type == VXS_TEXT) {
                std::string got(col->text.get(r));
                EXPECT_EQ(got == " " ? "" : got, sheet_text(want));
                continue;
            }
            double x = col->num[r];
            // An empty text is no level of a factor.
            if (want == "NA" || (col->type == VXS_FACTOR && want.empty())) {
                EXPECT_LE(x, s->missing);
                continue;
            }
            ASSERT_GT(x, s->missing) << want;
            if (col->type == VXS_FACTOR) {
                EXPECT_EQ(col->labels.at(static_cast<size_t>(x) - 1), sheet_text(want));
                continue;
            }
            double day;
            if (expected_day(want, col->gregorian, &day)) {
                EXPECT_EQ(col->representation, VXS_REP_DATE) << want;
                EXPECT_NEAR(x, day, 1e-6) << want;
                continue;
            }
            double y = std::stod(want);
            EXPECT_NEAR(x, y, 1e-9 * std::max(1.0, std::fabs(y)));
        }
    }
}

struct TodayFile {
    const char* name;
    int32_t type;
};

const TodayFile kFiles[] = {
    {"haven.zsav", VXT_ZSAV},          {"pspp.zsav", VXT_ZSAV},
    {"readstat.por", VXT_SPSS_PORT},   {"haven_v8.dta", VXT_STATA_NEW},
    {"haven_v10.dta", VXT_STATA_NEW},  {"haven_v12.dta", VXT_STATA_NEW},
    {"haven_v13.dta", VXT_STATA_NEW},  {"haven_v14.dta", VXT_STATA_NEW},
    {"haven_v15.dta", VXT_STATA_NEW},  {"pandas_114.dta", VXT_STATA_NEW},
    {"pandas_117.dta", VXT_STATA_NEW}, {"pandas_118.dta", VXT_STATA_NEW},
    {"pandas_119.dta", VXT_STATA_NEW}, {"haven_v8.xpt", VXT_XPORT8},
    {"haven.sas7bdat", VXT_SASV8},     {"readstat.sas7bdat", VXT_SASV8},
};

TEST_F(Readstat, EveryFileHoldsWhatHavenReadsBackAndConverts) {
    for (const TodayFile& f : kFiles) {
        SCOPED_TRACE(f.name);
        std::string path = data_path(std::string("readstat/") + f.name);
        EXPECT_EQ(VX_Find_File_Type(path.c_str()), f.type);
        Sheet* s{};
        stdout_of([&] { s = read(path); });
        ASSERT_TRUE(s);
        check_against(s, load_expect(f.name));

        write_file(dir.file(f.name), read_file(path));
        for (const char* out : {"out.csv", "out.vsh"}) {
            RunResult r = run_morvalen(dir.path(), {f.name, out});
            EXPECT_EQ(r.status, 0) << r.out;
            std::string done = " " + std::to_string(s->row_count) + " records transferred.\n";
            EXPECT_EQ(r.out.substr(r.out.size() - std::min(r.out.size(), done.size())), done);
        }
    }
}

TEST_F(Readstat, LongTextIsCutWithOneWarningAndUnicodeBecomesCodePage) {
    testing::internal::CaptureStdout();
    Sheet* s = read(data_path("readstat/pandas_118.dta"));
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(s);
    EXPECT_EQ(out, "Columns containing text longer than 90 have been truncated to this length.\n");
    const Column* name = s->cols[3].get();
    EXPECT_EQ(name->text.get(1), "Z\xFCrich");
    EXPECT_EQ(name->text.get(2).size(), 90u);
    EXPECT_EQ(name->text.get(3), "__");
}

TEST_F(Readstat, UserMissingValuesAreKeptWithOptionI) {
    write_file(dir.file("in.zsav"), read_file(data_path("readstat/haven.zsav")));
    for (const char* input : {"in.zsav", "in.zsav/i"}) {
        RunResult r = run_morvalen(dir.path(), {input, "out.csv"});
        ASSERT_EQ(r.status, 0) << r.out;
        std::string csv = read_file(dir.file("out.csv"));
        bool kept = csv.find("\n 3,   99,") != std::string::npos;
        EXPECT_EQ(kept, std::string(input).find("/i") != std::string::npos) << csv;
    }
}

TEST_F(Readstat, ColumnLimitKeepsTheFirstColumnsWithAWarning) {
    VXSMAXCOLUMNS = 2;
    testing::internal::CaptureStdout();
    Sheet* s = read(data_path("readstat/haven_v14.dta"));
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(s);
    EXPECT_NE(out.find("Warning Columns above 2 NOT transfered!\n"), std::string::npos);
    ASSERT_EQ(s->column_count, 2);
    EXPECT_EQ(s->cols[2]->name, "score");
    EXPECT_EQ(s->cols[2]->num.size(), 5u);
}

TEST_F(Readstat, StringValueLabelsMakeFactors) {
    Sheet* s{};
    stdout_of([&] { s = read(data_path("readstat/pspp.zsav")); });
    ASSERT_TRUE(s);
    const Column* city = s->cols[3].get();
    ASSERT_EQ(city->type, VXS_FACTOR);
    EXPECT_EQ(city->labels.at(static_cast<size_t>(city->num[0]) - 1), "capital");
    EXPECT_EQ(city->labels.at(static_cast<size_t>(city->num[1]) - 1), "Basel");
}

TEST(CodePage, Utf8IntoWindows1252AndBack) {
    struct Case {
        const char* utf8;
        const char* cp1252;
    } cases[] = {
        {"Z\xC3\xBCrich", "Z\xFCrich"},
        {"\xE5\x8C\x97\xE4\xBA\xAC", "__"},                // no such characters: one '_' each
        {"\xE2\x82\xAC 5 \xE2\x80\x93 \xC5\x93", "\x80 5 \x96 \x9C"},  // euro, en dash, oe
        {"bad \xC3 byte", "bad _ byte"},
        {"\xF0\x9F\x98\x80!", "_!"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vxs_utf8_to_cp1252(c.utf8), c.cp1252) << c.utf8;
        if (std::string(c.cp1252).find('_') == std::string::npos) {
            EXPECT_EQ(vxs_cp1252_to_utf8(c.cp1252), c.utf8);
        }
    }
    // Cut by characters, never inside one.
    std::string out;
    EXPECT_TRUE(vxs_utf8_to_cp1252("\xC3\xBC\xC3\xBC\xC3\xBC", out, 2));
    EXPECT_EQ(out, "\xFC\xFC");
    EXPECT_EQ(vxs_cp1252_to_utf8("\x81"), "_");
}

}  // namespace

namespace {

ssize_t append_bytes(const void* data, size_t len, void* ctx) {
    static_cast<std::string*>(ctx)->append(static_cast<const char*>(data), len);
    return static_cast<ssize_t>(len);
}

// A release 111 file (Stata 7 SE), written by ReadStat's own writer: detected by the older Stata
// row, then read by the ReadStat reader.
TEST_F(Readstat, Release111GoesFromTheOlderRowToTheNewReader) {
    std::string bytes;
    readstat_writer_t* w = readstat_writer_init();
    readstat_set_data_writer(w, append_bytes);
    readstat_writer_set_file_format_version(w, 111);
    readstat_variable_t* x = readstat_add_variable(w, "weight", READSTAT_TYPE_DOUBLE, 0);
    readstat_variable_t* s = readstat_add_variable(w, "town", READSTAT_TYPE_STRING, 8);
    ASSERT_EQ(readstat_begin_writing_dta(w, &bytes, 2), READSTAT_OK);
    const double weights[] = {61.5, 70.25};
    const char* towns[] = {"Bern", "Chur"};
    for (int r = 0; r < 2; ++r) {
        readstat_begin_row(w);
        readstat_insert_double_value(w, x, weights[r]);
        readstat_insert_string_value(w, s, towns[r]);
        readstat_end_row(w);
    }
    readstat_end_writing(w);
    readstat_writer_free(w);
    ASSERT_EQ(static_cast<unsigned char>(bytes[0]), 111);
    write_file(dir.file("s111.dta"), bytes);
    EXPECT_EQ(VX_Find_File_Type(dir.file("s111.dta").c_str()), VXT_STATA);
    Sheet* sheet = read(dir.file("s111.dta"));
    ASSERT_TRUE(sheet);
    ASSERT_EQ(sheet->column_count, 2);
    EXPECT_EQ(sheet->cols[1]->name, "weight");
    EXPECT_EQ(sheet->cols[1]->num, (std::vector<double>{61.5, 70.25}));
    EXPECT_EQ(sheet->cols[2]->text.get(1), "Chur");
}

}  // namespace
