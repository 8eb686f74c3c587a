// SAS transport writer: record layout byte by byte, data set and variable names, date formats,
// factors, the round trip through the reader, and the written file read by R and readstat.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "driver/vxs_formats.h"
#include "sheet/vxs_sheet.h"
#include "statpack/vxs_sas.h"
#include "test_util.h"

namespace {

struct Written {
    int16_t status = 0;
    std::string bytes;
    std::string out;
};

struct XptWrite : ::testing::Test {
    ScratchDir dir;
    void SetUp() override {
        vxs_init();
        VXSMAXCOLUMNS = 2048;
    }
    Sheet* new_sheet(int32_t rows, const std::string& source = "data.csv") {
        Sheet* s = create_sheet();
        s->missing = vxs_missing;
        s->row_count = rows;
        create_row_attr(s);
        s->source_file = source;
        return s;
    }
    Column* variate(Sheet* s, const std::string& name, std::vector<double> values) {
        Column* c = create_column_with_memory(s, VXS_VARIATE, name, s->row_count);
        for (size_t i = 0; i < values.size(); ++i) c->num[i] = values[i];
        return c;
    }
    Column* text(Sheet* s, const std::string& name, std::vector<std::string> values) {
        Column* c = create_column_with_memory(s, VXS_TEXT, name, s->row_count);
        for (size_t i = 0; i < values.size(); ++i) c->text.set(i, values[i]);
        return c;
    }
    Written write(Sheet* s, const std::string& name = "out.tpt") {
        Written w;
        testing::internal::CaptureStdout();
        w.status = write_sheet_as_sas_transport(s, dir.file(name).c_str());
        std::fflush(stdout);
        w.out = testing::internal::GetCapturedStdout();
        w.bytes = read_file(dir.file(name));
        return w;
    }
    Sheet* read_back(const std::string& name = "out.tpt") {
        lastsheet = nullptr;
        testing::internal::CaptureStdout();
        int16_t ok = read_sas_transport_into_sheet(dir.file(name).c_str());
        testing::internal::GetCapturedStdout();
        return ok ? lastsheet : nullptr;
    }
};

std::string bytes_of(std::initializer_list<int> v) {
    std::string s;
    for (int b : v) s += static_cast<char>(b);
    return s;
}

uint32_t u16_at(const std::string& b, size_t at) {
    return (uint32_t(uint8_t(b[at])) << 8) | uint8_t(b[at + 1]);
}
uint32_t u32_at(const std::string& b, size_t at) { return (u16_at(b, at) << 16) | u16_at(b, at + 2); }

TEST_F(XptWrite, RecordLayoutByteByByte) {
    Sheet* s = new_sheet(3, "my data.csv");
    Column* x = variate(s, "x", {1.0, vxs_missing, 0.5});
    x->extra = "The x values";
    text(s, "name", {"ab", "", "xyz"});
    Written w = write(s);
    ASSERT_EQ(w.status, 1);
    EXPECT_EQ(w.out, "");
    const std::string& b = w.bytes;
    // 8 header records, 2 descriptors (280 bytes padded to 320), OBS header, 3 x 11 data bytes
    // padded to 80.
    ASSERT_EQ(b.size(), 8 * 80 + 320 + 80 + 80u);
    EXPECT_EQ(b.substr(0, 80), SAS_LIBRARY_HEADER);
    std::string date = b.substr(144, 16);
    EXPECT_TRUE(std::regex_match(date, std::regex("[0-3][0-9](JAN|FEB|MAR|APR|MAY|JUN|JUL|AUG|SEP|OCT|NOV|DEC)"
                                                  "[0-9][0-9]:[0-2][0-9]:[0-5][0-9]:[0-6][0-9]")))
        << date;
    EXPECT_EQ(b.substr(80, 80), "SAS     SAS     SASLIB  6.12    WIN_NT" + std::string(26, ' ') + date);
    EXPECT_EQ(b.substr(160, 80), date + std::string(64, ' '));
    EXPECT_EQ(b.substr(240, 80), SAS_MEMBER_HEADER);
    EXPECT_EQ(b.substr(320, 80), SAS_DSCRPTR_HEADER);
    EXPECT_EQ(b.substr(400, 80), "SAS     my_data SASDATA 6.12    WIN_NT" + std::string(26, ' ') + date);
    EXPECT_EQ(b.substr(480, 80), date + std::string(64, ' '));
    EXPECT_EQ(b.substr(560, 80),
              "HEADER RECORD*******NAMESTR HEADER RECORD!!!!!!!000000000200000000000000000000  ");

    std::string n1 = b.substr(640, 140), n2 = b.substr(780, 140);
    EXPECT_EQ(u16_at(n1, 0), 1u);  // numeric
    EXPECT_EQ(u16_at(n1, 2), 0u);
    EXPECT_EQ(u16_at(n1, 4), 8u);
    EXPECT_EQ(u16_at(n1, 6), 1u);
    EXPECT_EQ(n1.substr(8, 8), "x       ");
    EXPECT_EQ(n1.substr(16, 40), "The x values" + std::string(28, ' '));
    EXPECT_EQ(n1.substr(56, 8), std::string(8, ' '));
    EXPECT_EQ(n1.substr(64, 8), std::string(8, '\0'));  // widths, decimals, justification
    EXPECT_EQ(n1.substr(72, 8), std::string(8, ' '));
    EXPECT_EQ(u32_at(n1, 84), 0u);
    EXPECT_EQ(n1.substr(88), std::string(52, ' '));
    EXPECT_EQ(u16_at(n2, 0), 2u);  // character
    EXPECT_EQ(u16_at(n2, 4), 3u);  // longest text
    EXPECT_EQ(u16_at(n2, 6), 2u);
    EXPECT_EQ(n2.substr(8, 8), "name    ");
    EXPECT_EQ(n2.substr(16, 40), std::string(40, ' '));
    EXPECT_EQ(u32_at(n2, 84), 8u);
    EXPECT_EQ(b.substr(920, 40), std::string(40, ' '));
    EXPECT_EQ(b.substr(960, 80), SAS_OBS_HEADER);

    std::string data = b.substr(1040);
    EXPECT_EQ(data.substr(0, 11), bytes_of({0x41, 0x10, 0, 0, 0, 0, 0, 0}) + "ab ");
    EXPECT_EQ(data.substr(11, 11), bytes_of({0x2E, 0, 0, 0, 0, 0, 0, 0}) + "   ");
    EXPECT_EQ(data.substr(22, 11), bytes_of({0x40, 0x80, 0, 0, 0, 0, 0, 0}) + "xyz");
    EXPECT_EQ(data.substr(33), std::string(47, ' '));
}

TEST_F(XptWrite, DataSetNameFromTheInputFile) {
    struct Case {
        const char* source;
        const char* member;
    } cases[] = {
        {"", "VANTRIX "},
        {"data.csv", "data    "},
        {"my data.csv", "my_data "},
        {"/tmp/some dir/x-y.z.csv", "xXy     "},
        {"C:\\DATA\\ABCDEFGHIJK.XLS", "ABCDEFGH"},
        {".hidden", "VANTRIX "},
    };
    for (const Case& c : cases) {
        Sheet* s = new_sheet(1, c.source);
        variate(s, "a", {1});
        Written w = write(s);
        ASSERT_EQ(w.status, 1);
        EXPECT_EQ(w.bytes.substr(408, 8), c.member) << c.source;
    }
}

TEST_F(XptWrite, NamesAreValidUniqueSasNamesWithAWarning) {
    Sheet* s = new_sheet(1);
    variate(s, "Height", {1});
    variate(s, "Weight_Plant_A", {2});
    variate(s, "Weight_Plant_B", {3});
    Column* pct = variate(s, "%2nd", {4});
    pct->extra = "second";
    variate(s, "weight_p", {5});
    Written w = write(s);
    ASSERT_EQ(w.status, 1);
    auto name_at = [&](int k) { return w.bytes.substr(640 + 140 * size_t(k) + 8, 8); };
    auto label_at = [&](int k) { return w.bytes.substr(640 + 140 * size_t(k) + 16, 40); };
    EXPECT_EQ(name_at(0), "Height  ");
    EXPECT_EQ(name_at(1), "Weight_P");
    EXPECT_EQ(name_at(2), "Weight_1");
    EXPECT_EQ(name_at(3), "_2nd    ");
    EXPECT_EQ(name_at(4), "weight_2");  // names differ only by case in SAS
    // A renamed column without a label keeps its full name as the label.
    EXPECT_EQ(label_at(1), "Weight_Plant_A" + std::string(26, ' '));
    EXPECT_EQ(label_at(3), "second" + std::string(34, ' '));
    EXPECT_EQ(w.out,
              "Warning: Column Weight_Plant_A written to the SAS transport file as Weight_P.\n"
              "Warning: Column Weight_Plant_B written to the SAS transport file as Weight_1.\n"
              "Warning: Column %2nd written to the SAS transport file as _2nd.\n"
              "Warning: Column weight_p written to the SAS transport file as weight_2.\n");
}

TEST_F(XptWrite, DatesTimesAndDateTimes) {
    Sheet* s = new_sheet(2);
    Column* d1900 = variate(s, "d1900", {21916, 36526});  // 1 Jan 1960, 1 Jan 2000 (1900 scale)
    d1900->representation = VXS_REP_DATE;
    d1900->date_format = 1;
    Column* d1600 = variate(s, "d1600", {SAS_EPOCH_1600 + 0.5, vxs_missing});
    d1600->representation = VXS_REP_DATE;
    d1600->date_format = 33;
    d1600->gregorian = 1;
    Column* t = variate(s, "t", {0.75, 1.0 / 24});
    t->representation = VXS_REP_DATE;
    t->date_format = 36;
    Column* far = variate(s, "far", {0.5, 36526.25});  // not a time of day: DATETIME
    far->representation = VXS_REP_DATE;
    far->date_format = 37;
    Column* g = variate(s, "g", {40});
    g->representation = VXS_REP_DATE;
    g->date_format = 40;
    Written w = write(s);
    ASSERT_EQ(w.status, 1);
    auto ns = [&](int k) { return w.bytes.substr(640 + 140 * size_t(k), 140); };
    struct Want {
        const char* format;
        uint32_t width;
    } want[] = {{"DATE    ", 9}, {"DATETIME", 20}, {"TIME    ", 8}, {"DATETIME", 20}, {"DATE    ", 9}};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(ns(k).substr(56, 8), want[k].format) << k;
        EXPECT_EQ(ns(k).substr(72, 8), want[k].format) << k;
        EXPECT_EQ(u16_at(ns(k), 64), want[k].width) << k;
        EXPECT_EQ(u16_at(ns(k), 80), want[k].width) << k;
    }
    // 5 numerics a row, 40 bytes: the values as SAS counts them.
    std::string data = w.bytes.substr(w.bytes.size() - 80);
    auto value = [&](int row, int k) {
        unsigned char b[8];
        std::memcpy(b, data.data() + row * 40 + k * 8, 8);
        double v;
        sas_xport_to_dbl(b, &v);
        return v;
    };
    EXPECT_EQ(value(0, 0), 0.0);
    EXPECT_EQ(value(1, 0), 14610.0);
    EXPECT_EQ(value(0, 1), 43200.0);
    EXPECT_TRUE(std::isnan(value(1, 1)));
    EXPECT_EQ(value(0, 2), 64800.0);
    EXPECT_EQ(value(1, 2), 3600.0);
    EXPECT_EQ(value(0, 3), -21914.5 * 86400);  // day 0.5 of the 1900 scale: 31 Dec 1899 noon
    EXPECT_EQ(value(1, 3), 14610.0 * 86400 + 21600);
    EXPECT_EQ(value(0, 4), -21875.0);  // 9 February 1900, in days, not seconds

    // Read back, every date lands on the same day and time (now on the 1600 scale).
    Sheet* r = read_back();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->cols[1]->num[0], SAS_EPOCH_1600);
    EXPECT_EQ(r->cols[1]->num[1], 36526 + 109512.0);
    EXPECT_EQ(r->cols[1]->date_format, 10);
    EXPECT_EQ(r->cols[2]->num[0], SAS_EPOCH_1600 + 0.5);
    EXPECT_EQ(r->cols[2]->num[1], vxs_missing);
    EXPECT_EQ(r->cols[3]->date_format, 36);
    EXPECT_EQ(r->cols[3]->num[0], SAS_EPOCH_1600 + 0.75);
}

TEST_F(XptWrite, FactorsWriteLabelsLevelsOrIndexes) {
    Sheet* s = new_sheet(3);
    Column* byl = create_column_with_memory(s, VXS_FACTOR, "sex", 3);
    byl->num = {2, 1, vxs_missing};
    byl->labels = {"male", "female"};
    byl->nlevels = 2;
    byl->origin = 2;
    Column* byv = create_column_with_memory(s, VXS_FACTOR, "dose", 3);
    byv->num = {1, 3, 2};
    byv->levels = {0.5, 1.5, 10};
    byv->nlevels = 3;
    byv->origin = 1;
    Column* idx = create_column_with_memory(s, VXS_FACTOR, "grp", 3);
    idx->num = {2, vxs_missing, 1};
    idx->nlevels = 2;
    Written w = write(s);
    ASSERT_EQ(w.status, 1);
    EXPECT_EQ(u16_at(w.bytes, 640), 2u);        // character
    EXPECT_EQ(u16_at(w.bytes, 640 + 4), 6u);    // longest label
    EXPECT_EQ(u16_at(w.bytes, 780), 1u);        // numeric
    EXPECT_EQ(u16_at(w.bytes, 920), 1u);
    Sheet* r = read_back();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->cols[1]->text.str(0), "female");
    EXPECT_EQ(r->cols[1]->text.str(1), "male");
    EXPECT_EQ(r->cols[1]->text.str(2), " ");
    EXPECT_EQ(r->cols[2]->num, (std::vector<double>{0.5, 10, 1.5}));
    EXPECT_EQ(r->cols[3]->num, (std::vector<double>{2, vxs_missing, 1}));
}

TEST_F(XptWrite, RoundTripKeepsEveryValue) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> mant(1.0, 2.0);
    std::uniform_int_distribution<int> expo(-200, 200);
    const int32_t rows = 500;
    Sheet* s = new_sheet(rows);
    std::vector<std::vector<double>> values(4);
    for (auto& col : values)
        for (int32_t i = 0; i < rows; ++i) {
            double v = i % 17 == 0 ? vxs_missing : std::ldexp(mant(rng), expo(rng)) * (i % 3 ? 1 : -1);
            if (i % 29 == 0) v = 0;
            if (i % 31 == 0) v = double(i) - 250;
            col.push_back(v);
        }
    for (size_t k = 0; k < values.size(); ++k) variate(s, "v" + std::to_string(k), values[k]);
    std::vector<std::string> texts;
    for (int32_t i = 0; i < rows; ++i) texts.push_back(i % 13 ? "t" + std::to_string(i * 7919 % 100000) : "");
    text(s, "txt", texts);
    s->cols[1]->extra = "label one";
    ASSERT_EQ(write(s).status, 1);
    Sheet* r = read_back();
    ASSERT_TRUE(r);
    ASSERT_EQ(r->row_count, rows);
    ASSERT_EQ(r->column_count, 5);
    for (size_t k = 0; k < values.size(); ++k) {
        EXPECT_EQ(r->cols[k + 1]->name, "v" + std::to_string(k));
        EXPECT_EQ(r->cols[k + 1]->num, values[k]);
    }
    EXPECT_EQ(r->cols[1]->extra, "label one");
    for (int32_t i = 0; i < rows; ++i) EXPECT_EQ(r->cols[5]->text.str(size_t(i)), texts[size_t(i)].empty() ? " " : texts[size_t(i)]);
}

TEST_F(XptWrite, NothingToWriteOrNowhereToWrite) {
    Sheet* empty = new_sheet(0);
    EXPECT_EQ(write(empty).status, 0);
    Sheet* nocols = new_sheet(2);
    EXPECT_EQ(write(nocols).status, 0);
    Sheet* s = new_sheet(1);
    variate(s, "a", {1});
    testing::internal::CaptureStdout();
    std::string bad = dir.file("no/such/dir/out.tpt");
    EXPECT_EQ(write_sheet_as_sas_transport(s, bad.c_str()), 0);
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Write SAS Tranport file - could not open file " + bad.substr(0, 100) + "\n");
}

TEST_F(XptWrite, ShortColumnsWriteMissingPastTheirEnd) {
    Sheet* s = new_sheet(3);
    Column* a = variate(s, "a", {1, 2, 3});
    a->num.resize(1);
    Column* t = text(s, "t", {"abc", "de", "f"});
    t->text.resize(2);
    ASSERT_EQ(write(s).status, 1);
    Sheet* r = read_back();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->cols[1]->num, (std::vector<double>{1, vxs_missing, vxs_missing}));
    EXPECT_EQ(r->cols[2]->text.str(2), " ");
}

// The written file read by independent readers: R's foreign::read.xport (its own decoder) and
// haven::read_xpt, and readstat's command line, when they are installed.
std::string run_capture(const std::string& cmd) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

bool have(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0; }

struct IndependentReaders : XptWrite {
    std::vector<double> x{1.5, vxs_missing, -2.25, 1e10, 0.1, 123456789.125};
    std::vector<std::string> t{"Anna", "", "Dee Dee", "x", "Ed", "last one"};
    void make() {
        Sheet* s = new_sheet(6, "checked.csv");
        Column* c = variate(s, "height", x);
        c->extra = "Height in metres";
        text(s, "name", t);
        Column* d = variate(s, "born", {21916, 36526, vxs_missing, 61, 45351, 21915});
        d->representation = VXS_REP_DATE;
        d->date_format = 9;
        ASSERT_EQ(write(s, "checked.xpt").status, 1);
    }
};

TEST_F(IndependentReaders, RForeignAndHavenReadTheSameValuesAndNames) {
    if (!have("Rscript")) GTEST_SKIP() << "Rscript not installed";
    make();
    std::string script = dir.file("check.R");
    write_file(script,
               "f <- commandArgs(TRUE)[1]\n"
               "for (reader in c('foreign', 'haven')) {\n"
               "  if (!requireNamespace(reader, quietly = TRUE)) next\n"
               "  x <- if (reader == 'foreign') foreign::read.xport(f) else as.data.frame(haven::read_xpt(f))\n"
               "  cat(reader, paste(names(x), collapse = ','), '\\n')\n"
               "  h <- ifelse(is.na(x$height), 'NA', sprintf('%.17g', x$height))\n"
               "  b <- if (inherits(x$born, 'Date')) format(x$born) else as.character(x$born)\n"
               "  cat(paste(h, x$name, b, sep = '|'), sep = '\\n')\n"
               "  lab <- attr(x$height, 'label')\n"
               "  if (reader == 'haven') cat('label', lab, '\\n')\n"
               "}\n");
    std::string out = run_capture("Rscript " + script + " " + dir.file("checked.xpt") + " 2>&1");
    if (out.find("foreign") == std::string::npos && out.find("haven") == std::string::npos)
        GTEST_SKIP() << "neither foreign nor haven available: " << out;
    std::string want_rows =
        "1.5|Anna|X\nNA||NA\n-2.25|Dee Dee|NA\n10000000000|x|X\n0.10000000000000001|Ed|X\n123456789.125|last one|X\n";
    if (out.find("foreign") != std::string::npos) {
        // foreign shows dates as SAS day numbers.
        std::vector<std::string> days{"0", "14610", "NA", "-21855", "23435", "-1"};
        std::string expect = "foreign height,name,born \n";
        std::istringstream in(want_rows);
        std::string line;
        for (size_t i = 0; std::getline(in, line); ++i)
            expect += line.substr(0, line.rfind('|') + 1) + days[i] + "\n";
        EXPECT_NE(out.find(expect), std::string::npos) << out;
    }
    if (out.find("haven") != std::string::npos) {
        std::vector<std::string> dates{"1960-01-01", "2000-01-01", "NA", "1900-03-01", "2024-02-29", "1959-12-31"};
        std::string expect = "haven height,name,born \n";
        std::istringstream in(want_rows);
        std::string line;
        for (size_t i = 0; std::getline(in, line); ++i)
            expect += line.substr(0, line.rfind('|') + 1) + dates[i] + "\n";
        expect += "label Height in metres \n";
        EXPECT_NE(out.find(expect), std::string::npos) << out;
    }
}

TEST_F(IndependentReaders, ReadstatReadsTheSameValuesAndNames) {
    if (!have("readstat")) GTEST_SKIP() << "readstat not installed";
    make();
    std::string out = run_capture("readstat " + dir.file("checked.xpt") + " - 2>/dev/null");
    EXPECT_EQ(out,
              "\"height\",\"name\",\"born\"\n"
              "1.500000,\"Anna\",0.000000\n"
              ",\"\",14610.000000\n"
              "-2.250000,\"Dee Dee\",\n"
              "10000000000.000000,\"x\",-21855.000000\n"
              "0.100000,\"Ed\",23435.000000\n"
              "123456789.125000,\"last one\",-1.000000\n");
}

}  // namespace
