// ReadStat's formats (zsav, por, dta 111-119, XPORT 8, sas7bdat) against haven; code page; writers read by haven.
#include <cmath>
#include <cstring>
#include <map>

#include "sheet/vxs_cp1252.h"
#include "sheet/vxs_txtnum.h"
#include "spreadsheet/vxs_zipxml.h"
#include "statpack/reader_test_util.h"

#include <readstat.h>

struct HavenVar { std::string name, label; std::vector<std::string> cells; };

static std::vector<HavenVar> load_expect(const std::string& path) {
    std::vector<HavenVar> vars;
    for (const auto& f : tab_rows(path)) {
        if (f[0] == "V") vars.push_back({f[1], f[2], {}});
        if (f[0] == "D" && !vars.empty()) vars.back().cells.push_back(f[2]);
    }
    return vars;
}

static int16_t read_any(const char* path) { return open_file(path, VX_Find_File_Type(path)); }
using Readstat = ReaderTest<read_any>;

// A date, date-time or time of haven's as a day number on the serial scale or from 1 March 1600.
static bool expected_day(const std::string& s, bool gregorian, double* out) {
    long y, mo, d, h = 0, mi = 0, se = 0;
    if (s.size() == 8 && std::sscanf(s.c_str(), "%ld:%ld:%ld", &h, &mi, &se) == 3)
        return *out = (h * 3600 + mi * 60 + se) / 86400.0, true;
    h = mi = se = 0;
    const int n = std::sscanf(s.c_str(), "%ld-%ld-%ld %ld:%ld:%ld", &y, &mo, &d, &h, &mi, &se);
    if (n != 3 && n != 6) return false;
    // Days without the serial scale's 29 February 1900.
    auto plain = [](long yy, long mm, long dd) { return vxs_serial_of_date(yy, mm, dd) + (vxs_serial_of_date(yy, mm, dd) < 60); };
    return *out = (gregorian ? plain(y, mo, d) - plain(1600, 2, 29) : vxs_serial_of_date(y, mo, d)) + (h * 3600 + mi * 60 + se) / 86400.0,
           true;
}

static std::string sheet_text(const std::string& utf8) {
    std::string out;
    vxs_utf8_to_cp1252(utf8, out, VXS_MAX_TEXT);
    return vxs_strip_blanks(out, VXS_MAX_TEXT);
}

static void check_against(const Sheet* s, const std::vector<HavenVar>& vars) {
    ASSERT_EQ(s->column_count, static_cast<int32_t>(vars.size()));
    for (size_t c = 0; c < vars.size(); ++c) {
        const HavenVar& v = vars[c];
        const Column* col = s->cols[c + 1].get();
        SCOPED_TRACE(v.name);
        EXPECT_EQ(col->name, v.name);
        EXPECT_EQ(col->extra, sheet_text(v.label).substr(0, 40));
        ASSERT_EQ(col->value_count(), v.cells.size());
        for (size_t r = 0; r < v.cells.size(); ++r) {
            SCOPED_TRACE("row " + std::to_string(r + 1));
            const std::string& want = v.cells[r];
            const double x = col->type == VXS_TEXT ? 0 : col->num[r];
            double day;
            if (col->type == VXS_TEXT) {
                EXPECT_EQ(col->text.get(r) == " " ? "" : std::string(col->text.get(r)), sheet_text(want));
            } else if (want == "NA" || (col->type == VXS_FACTOR && want.empty())) {  // an empty text is no level
                EXPECT_LE(x, s->missing);
            } else if (x <= s->missing) {
                ADD_FAILURE() << "missing where haven reads " << want;
            } else if (col->type == VXS_FACTOR) {
                EXPECT_EQ(col->labels.at(static_cast<size_t>(x) - 1), sheet_text(want));
            } else if (expected_day(want, col->gregorian, &day)) {
                EXPECT_EQ(col->representation, VXS_REP_DATE) << want;
                EXPECT_NEAR(x, day, 1e-6) << want;
            } else {
                EXPECT_NEAR(x, std::stod(want), 1e-9 * std::max(1.0, std::fabs(std::stod(want))));
            }
        }
    }
}

// Each file detected as its type and read against haven's reading, directly and through a .vsh.
TEST_F(Readstat, EveryFileHoldsWhatHavenReadsBackBeforeAndAfterConversion) {
    const std::map<std::string, int32_t> type_of = {
        {"zsav", VXT_ZSAV}, {"por", VXT_SPSS_PORT}, {"dta", VXT_STATA_NEW}, {"xpt", VXT_XPORT8}, {"sas7bdat", VXT_SASV8}};
    for (std::string name : {"haven.zsav", "pspp.zsav", "readstat.por", "haven_v8.dta", "haven_v10.dta", "haven_v12.dta",
                             "haven_v13.dta", "haven_v14.dta", "haven_v15.dta", "pandas_114.dta", "pandas_117.dta",
                             "pandas_118.dta", "pandas_119.dta", "haven_v8.xpt", "haven.sas7bdat", "readstat.sas7bdat"}) {
        SCOPED_TRACE(name);
        const auto want = load_expect(data_path("readstat/" + name + ".expect"));
        const std::string path = data_path("readstat/" + name);
        EXPECT_EQ(VX_Find_File_Type(path.c_str()), type_of.at(name.substr(name.find('.') + 1)));
        ASSERT_TRUE(quiet(path));
        check_against(lastsheet, want);
        EXPECT_EQ(run_morvalen(dir.path(), {copy_sample(dir, "readstat/" + name), "out.vsh"}).status, 0);
        ASSERT_TRUE(quiet(dir.file("out.vsh")));
        check_against(lastsheet, want);
    }
}

TEST(CodePage, Utf8IntoWindows1252AndBack) {
    const std::pair<const char*, const char*> cases[] = {
        {"Z\xC3\xBCrich", "Z\xFCrich"}, {"bad \xC3 byte", "bad _ byte"}, {"\xF0\x9F\x98\x80!", "_!"},
        {"\xE5\x8C\x97\xE4\xBA\xAC", "__"},                              // no such characters: one '_' each
        {"\xE2\x82\xAC 5 \xE2\x80\x93 \xC5\x93", "\x80 5 \x96 \x9C"}};  // euro, en dash, oe
    for (const auto& [utf8, cp1252] : cases) {
        EXPECT_EQ(vxs_utf8_to_cp1252(utf8), cp1252) << utf8;
        EXPECT_EQ(std::strchr(cp1252, '_') ? utf8 : vxs_cp1252_to_utf8(cp1252), utf8);
    }
    std::string out;  // cut by characters, never inside one
    EXPECT_TRUE(vxs_utf8_to_cp1252("\xC3\xBC\xC3\xBC\xC3\xBC", out, 2));
    EXPECT_EQ(out, "\xFC\xFC");
    EXPECT_EQ(vxs_cp1252_to_utf8("\x81"), "_");
}

// A release 111 file (Stata 7 SE) from ReadStat's writer: detected as older Stata, read by ReadStat.
TEST_F(Readstat, Release111LongTextUserMissingAndTheColumnLimit) {
    std::string bytes;
    readstat_writer_t* w = readstat_writer_init();
    readstat_set_data_writer(w, [](const void* data, size_t len, void* ctx) {
        return static_cast<std::string*>(ctx)->append(static_cast<const char*>(data), len), static_cast<ssize_t>(len);
    });
    readstat_writer_set_file_format_version(w, 111);
    readstat_variable_t* x = readstat_add_variable(w, "weight", READSTAT_TYPE_DOUBLE, 0);
    readstat_variable_t* s = readstat_add_variable(w, "town", READSTAT_TYPE_STRING, 8);
    ASSERT_EQ(readstat_begin_writing_dta(w, &bytes, 2), READSTAT_OK);
    for (auto [weight, town] : {std::pair{61.5, "Bern"}, {70.25, "Chur"}})
        readstat_begin_row(w), readstat_insert_double_value(w, x, weight), readstat_insert_string_value(w, s, town), readstat_end_row(w);
    readstat_end_writing(w), readstat_writer_free(w);
    write_file(dir.file("s111.dta"), bytes);
    EXPECT_EQ(VX_Find_File_Type(dir.file("s111.dta").c_str()), VXT_STATA);
    Sheet* sheet = read(dir.file("s111.dta"));
    ASSERT_TRUE(sheet && sheet->column_count == 2);
    EXPECT_EQ(sheet->cols[1]->name + " " + sheet->cols[2]->name + " " + rows_text(sheet, 0, 2), "weight town 61.5|Bern;70.25|Chur;");
    ASSERT_TRUE(quiet(data_path("readstat/pandas_118.dta")));
    EXPECT_EQ(said, "Columns containing text longer than 90 have been truncated to this length.\n");
    EXPECT_EQ(lastsheet->cols[3]->text.get(2).size(), 90u);  // other cells: in the pass over every file
    // haven holds score 99 of haven.zsav as a user-missing value: missing as read above, kept with /i.
    vxs_get_global_defaults()->keep_declared_missing = 1;
    ASSERT_TRUE(read(data_path("readstat/haven.zsav")));
    EXPECT_EQ(lastsheet->cols[2]->num[2], 99);

    VXSMAXCOLUMNS = 2;
    ASSERT_TRUE(quiet(data_path("readstat/haven_v14.dta")));
    EXPECT_NE(said.find("Warning Columns above 2 NOT transfered!\n"), std::string::npos);
    ASSERT_EQ(lastsheet->column_count, 2);
    EXPECT_EQ(std::tuple(lastsheet->cols[2]->name, lastsheet->cols[2]->num.size()), std::tuple(std::string("score"), size_t(5)));
}

// haven reads the written .sav and .dta as the source, text in the sheet's code page cut to 90.
TEST_F(Readstat, HavenReadsTheWrittenSavAndDtaAsTheSource) {
    if (!tool_present("Rscript -e 'library(haven)'")) GTEST_SKIP() << "R haven not installed";
    copy_sample(dir, "readstat/haven_v15.dta", "src.dta");
    const auto want = load_expect(data_path("readstat/haven_v15.dta.expect"));
    for (std::string out : {"w.sav", "w.dta"}) {
        SCOPED_TRACE(out);
        ASSERT_EQ(run_morvalen(dir.path(), {"src.dta", out}).status, 0);
        ASSERT_TRUE(tool_present("cd " + dir.path() + " && Rscript " + data_path("readstat/expect.R") + " " + out));
        const auto got = load_expect(dir.file(out + ".expect"));
        ASSERT_EQ(got.size(), want.size());
        for (size_t c = 0; c < want.size(); ++c) {
            EXPECT_EQ(got[c].name + "/" + got[c].label, want[c].name + "/" + vxs_cp1252_to_utf8(sheet_text(want[c].label)));
            ASSERT_EQ(got[c].cells.size(), want[c].cells.size());
            for (size_t i = 0; i < want[c].cells.size(); ++i) {
                const std::string expect = vxs_cp1252_to_utf8(sheet_text(want[c].cells[i]));
                const std::string value = got[c].cells[i] == " " ? "" : got[c].cells[i];
                if (want[c].name == "score" && value != "NA" && expect != "NA") EXPECT_DOUBLE_EQ(std::stod(value), std::stod(expect)) << i;
                else EXPECT_EQ(value, expect) << want[c].name << " " << i;
            }
        }
    }
}
