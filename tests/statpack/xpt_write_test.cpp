// SAS transport writer: member and variable names, dates, factors, round trip, R and readstat reading it.
#include <cmath>
#include <regex>

#include "statpack/reader_test_util.h"
#include "statpack/vxs_sas.h"

static std::string be16(unsigned v) { return be_bytes(v, 2); }

struct XptWrite : ::testing::Test {
    ScratchDir dir;
    std::string out;  // what the writer printed
    Sheet* new_sheet(int32_t rows, const std::string& source = "data.csv") {
        Sheet* s = new_run_with_sheet(rows);
        return s->source_file = source, s;
    }
    Column* variate(Sheet* s, const std::string& name, std::vector<double> values, int32_t date_format = 0) {
        Column* c = create_column_with_memory(s, VXS_VARIATE, name, s->row_count);
        std::copy(values.begin(), values.end(), c->num.begin());
        if (date_format) c->representation = VXS_REP_DATE, c->date_format = date_format;
        return c;
    }
    Column* text(Sheet* s, const std::string& name, std::vector<std::string> values) {
        Column* c = create_column_with_memory(s, VXS_TEXT, name, s->row_count);
        for (size_t i = 0; i < values.size(); ++i) c->text.set(i, values[i]);
        return c;
    }
    std::string write(Sheet* s, const std::string& name = "out.tpt") {
        int16_t ok = 0;
        out = stdout_of([&] { ok = write_sheet_as_sas_transport(s, dir.file(name).c_str()), std::fflush(stdout); });
        return ok ? read_file(dir.file(name)) : "";  // "" when the writer failed
    }
};

// Layout bytes are pinned by the output hashes; not the header's time stamp, nor data padding to 80.
TEST_F(XptWrite, TimeStampPaddingDataSetNameAndNothingToWrite) {
    Sheet* s = new_sheet(3);
    variate(s, "x", {1.0, vxs_missing, 0.5});
    text(s, "name", {"ab", "", "xyz"});
    const std::string b = write(s);
    ASSERT_EQ(std::tuple(out, b.size()), std::tuple(std::string(), size_t(8 * 80 + 320 + 80 + 80)));  // descriptors, 33 data bytes: 80
    EXPECT_TRUE(std::regex_match(b.substr(144, 16), std::regex("[0-3][0-9](JAN|FEB|MAR|APR|MAY|JUN|JUL|AUG|SEP|OCT|NOV|DEC)"
                                                               "[0-9][0-9]:[0-2][0-9]:[0-5][0-9]:[0-6][0-9]")));
    EXPECT_EQ(b.substr(1040 + 33), std::string(47, ' '));
    // The data set is named from the input file.
    const std::pair<const char*, const char*> cases[] = {
        {"", "VANTRIX "}, {"data.csv", "data    "}, {"my data.csv", "my_data "},
        {"/tmp/some dir/x-y.z.csv", "xXy     "}, {"C:\\DATA\\ABCDEFGHIJK.XLS", "ABCDEFGH"}, {".hidden", "VANTRIX "}};
    for (const auto& [source, member] : cases) {
        variate(s = new_sheet(1, source), "a", {1});
        EXPECT_EQ(write(s).substr(408, 8), member) << source;
    }
    EXPECT_EQ(write(new_sheet(0)) + write(new_sheet(2)), "");  // no rows, no columns, then nowhere to write
    variate(s = new_sheet(1), "a", {1});
    EXPECT_EQ(write(s, "no/such/dir/out.tpt"), "");
    EXPECT_EQ(out, "Write SAS Tranport file - could not open file " + dir.file("no/such/dir/out.tpt").substr(0, 100) + "\n");
}

TEST_F(XptWrite, NamesAreValidUniqueSasNamesWithAWarning) {
    Sheet* s = new_sheet(1);  // names differ only by case in SAS; a renamed column's label is its name
    for (const char* name : {"Height", "Weight_Plant_A", "Weight_Plant_B", "%2nd", "weight_p"}) variate(s, name, {1});
    s->cols[4]->extra = "second";
    std::string b = write(s), names, labels;
    for (size_t k = 0; k < 5; ++k) names += b.substr(640 + 140 * k + 8, 8), labels += trim(b.substr(640 + 140 * k + 16, 40)) + "|";
    EXPECT_EQ(names + labels, "Height  Weight_PWeight_1_2nd    weight_2|Weight_Plant_A|Weight_Plant_B|second|weight_p|");
    EXPECT_EQ(out, "Warning: Column Weight_Plant_A written to the SAS transport file as Weight_P.\n"
                   "Warning: Column Weight_Plant_B written to the SAS transport file as Weight_1.\n"
                   "Warning: Column %2nd written to the SAS transport file as _2nd.\n"
                   "Warning: Column weight_p written to the SAS transport file as weight_2.\n");
}

TEST_F(XptWrite, DatesTimesAndDateTimes) {
    Sheet* s = new_sheet(2);  // 5 numerics a row, 40 bytes: the values as SAS counts them (days or seconds from 1960)
    variate(s, "d1900", {21916, 36526}, 1);  // 1 Jan 1960, 1 Jan 2000 on the 1900 scale
    variate(s, "d1600", {131428.5, vxs_missing}, 33)->gregorian = 1;  // noon, 1 Jan 1960 on the 1600 scale
    variate(s, "t", {0.75, 1.0 / 24}, 36);
    variate(s, "far", {0.5, 36526.25}, 37);  // not a time of day: DATETIME
    variate(s, "g", {40}, 40);
    std::string b = write(s);
    const std::pair<const char*, unsigned> want[] = {{"DATE    ", 9}, {"DATETIME", 20}, {"TIME    ", 8}, {"DATETIME", 20}, {"DATE    ", 9}};
    for (size_t k = 0; k < 5; ++k)  // format, then informat
        for (size_t at : {56, 72}) EXPECT_EQ(b.substr(640 + 140 * k + at, 10), want[k].first + be16(want[k].second)) << k;
    const double values[] = {0, 43200, 64800, -21914.5 * 86400 /* 31 Dec 1899 noon */, -21875 /* 9 Feb 1900, days */,
                             14610, NAN, 3600, 14610.0 * 86400 + 21600};
    for (size_t k = 0; k < 9; ++k) {  // g has one row
        double v;
        sas_xport_to_dbl(reinterpret_cast<unsigned char*>(b.data() + b.size() - 80 + 8 * k), &v);
        EXPECT_TRUE(v == values[k] || (std::isnan(v) && std::isnan(values[k]))) << k << " " << v;
    }
}

// Numbers, texts, short columns and factors back through the reader (the number range is tested on its own).
TEST_F(XptWrite, RoundTripKeepsEveryValue) {
    Sheet* s = new_sheet(4);
    const std::vector<double> x = {std::ldexp(1.75, -250), vxs_missing, -123456789.125, 7e74};
    variate(s, "x", x)->extra = "label one";
    text(s, "txt", {"t1", "", "xyz", "a longer text"});
    text(s, "short", {"abc", "de"})->text.resize(2);  // short columns write missing values past their end
    variate(s, "one", {7})->num.resize(1);
    // Factors write their labels, else their levels, else their indexes.
    add_factor(s, "sex", 2, {2, 1, vxs_missing, vxs_missing})->labels = {"male", "female"};
    add_factor(s, "dose", 3, {1, 3, 2, vxs_missing})->levels = {0.5, 1.5, 10};
    add_factor(s, "grp", 2, {2, vxs_missing, 1, vxs_missing});
    s->cols[5]->origin = 2, s->cols[6]->origin = 1;
    std::string b = write(s);
    EXPECT_EQ(b.substr(640 + 140 * 4, 6), be16(2) + be16(0) + be16(6));  // character, as long as the longest label
    EXPECT_EQ(b.substr(640 + 140 * 5, 2) + b.substr(640 + 140 * 6, 2), be16(1) + be16(1));  // numeric
    lastsheet = nullptr;
    ASSERT_TRUE(read_sas_transport_into_sheet(dir.file("out.tpt").c_str()));
    const Sheet* r = lastsheet;
    ASSERT_TRUE(r->row_count == 4 && r->column_count == 7);
    EXPECT_EQ(std::tuple(r->cols[1]->num, r->cols[1]->extra), std::tuple(x, std::string("label one")));
    EXPECT_EQ(rows_text(r, 0, 4, 2), "t1|abc|7|female|0.5|2; |de|.|male|10|.;xyz| |.| |1.5|1;a longer text| |.| |.|.;");
}

// The written file read by R's foreign::read.xport (its own decoder), haven::read_xpt and readstat.
TEST_F(XptWrite, IndependentReadersReadTheSameValuesAndNames) {
    Sheet* s = new_sheet(6, "checked.csv");
    variate(s, "height", {1.5, vxs_missing, -2.25, 1e10, 0.1, 123456789.125})->extra = "Height in metres";
    text(s, "name", {"Anna", "", "Dee Dee", "x", "Ed", "last one"});
    variate(s, "born", {21916, 36526, vxs_missing, 61, 45351, 21915}, 9);
    ASSERT_NE(write(s, "checked.xpt"), "");
    int readers = 0;
    if (tool_present("command -v Rscript")) {
        write_file(dir.file("check.R"),
                   "f <- commandArgs(TRUE)[1]\n"
                   "for (reader in c('foreign', 'haven')) {\n"
                   "  if (!requireNamespace(reader, quietly = TRUE)) next\n"
                   "  x <- if (reader == 'foreign') foreign::read.xport(f) else as.data.frame(haven::read_xpt(f))\n"
                   "  h <- ifelse(is.na(x$height), 'NA', sprintf('%.17g', x$height))\n"
                   "  cat(reader, paste(names(x), collapse = ','), attr(x$height, 'label'), '\\n')\n"
                   "  cat(paste(h, x$name, as.character(x$born), sep = '|'), sep = '\\n')\n"
                   "}\n");
        const std::string got = shell_output("Rscript " + dir.file("check.R") + " " + dir.file("checked.xpt") + " 2>&1");
        // foreign shows dates as SAS day numbers, and no labels.
        const std::string want[] = {
            "foreign height,name,born \n1.5|Anna|0\nNA||14610\n-2.25|Dee Dee|NA\n10000000000|x|-21855\n"
            "0.10000000000000001|Ed|23435\n123456789.125|last one|-1\n",
            "haven height,name,born Height in metres \n1.5|Anna|1960-01-01\nNA||2000-01-01\n-2.25|Dee Dee|NA\n"
            "10000000000|x|1900-03-01\n0.10000000000000001|Ed|2024-02-29\n123456789.125|last one|1959-12-31\n"};
        for (const std::string& w : want) {  // each reader installed prints its name first
            readers += got.find(w.substr(0, w.find(' '))) != std::string::npos;
            EXPECT_TRUE(got.find(w.substr(0, w.find(' '))) == std::string::npos || got.find(w) != std::string::npos) << got;
        }
    }
    if (tool_present("command -v readstat")) {
        ++readers;
        EXPECT_EQ(shell_output("readstat " + dir.file("checked.xpt") + " - 2>/dev/null"),
                  "\"height\",\"name\",\"born\"\n1.500000,\"Anna\",0.000000\n,\"\",14610.000000\n-2.250000,\"Dee Dee\",\n"
                  "10000000000.000000,\"x\",-21855.000000\n0.100000,\"Ed\",23435.000000\n123456789.125000,\"last one\",-1.000000\n");
    }
    if (readers == 0) GTEST_SKIP() << "neither R (foreign, haven) nor readstat installed";
}
