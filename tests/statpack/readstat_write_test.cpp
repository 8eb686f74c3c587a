// The .sav, .dta and .xlsx writers: round trips through the converter, and the written files read
// back by haven, pandas and openpyxl (skipped when the tool is absent).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "sheet/vxs_cp1252.h"
#include "sheet/vxs_txtnum.h"
#include "statpack/reader_test_util.h"
#include "test_util.h"

namespace {

struct Writers : ::testing::Test {
    ScratchDir dir;
    void copy_in(const std::string& data, const std::string& name) { write_file(dir.file(name), read_file(data_path(data))); }
    std::string convert(const std::string& in, const std::string& out) {
        RunResult r = run_morvalen(dir.path(), {in, out});
        EXPECT_EQ(r.status, 0) << in << " -> " << out << ": " << r.out;
        return read_file(dir.file(out));
    }
};

// Files whose every column survives the format: the CSV of the round trip equals the CSV of the
// source (the Stata reader gives dates and labels back exactly as it takes them).
TEST_F(Writers, RoundTripsThroughDtaGiveTheSameConversion) {
    struct Case {
        const char* data;
        const char* name;
    } const cases[] = {
        {"readstat/haven_v15.dta", "a.dta"},
        {"readstat/pspp.zsav", "b.zsav"},
        {"readstat/pandas_118.dta", "c.dta"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        copy_in(c.data, c.name);
        std::string ref = convert(c.name, "ref.csv");
        convert(c.name, "rt.dta");
        EXPECT_EQ(convert("rt.dta", "rt.csv"), ref);
    }
}

// Plain numbers and texts come back exactly through the .dta and .xlsx writers. (A .sav comes
// back through the older SPSS reader, which keeps its own byte and name rules; haven checks it.)
TEST_F(Writers, CsvRoundTripsThroughEveryWriter) {
    write_file(dir.file("in.csv"), "Site,Plot,Dose,Note\nNorth,1,0.5,fine\nSouth,2,1.25,\nEast,3,*,Z\xFC" "rich\n");
    std::string ref = convert("in.csv", "ref.csv");
    for (const char* out : {"rt.dta", "rt.xlsx"}) {
        SCOPED_TRACE(out);
        convert("in.csv", out);
        EXPECT_EQ(convert(out, "rt.csv"), ref);
    }
}

// What haven reads from the written .sav and .dta equals what it reads from the source, with the
// source's text in the sheet's code page and cut to 90 characters.
TEST_F(Writers, HavenReadsTheWrittenFilesAsTheSource) {
    if (!tool_present("Rscript -e 'library(haven)'")) GTEST_SKIP() << "R haven not installed";
    copy_in("readstat/haven_v15.dta", "src.dta");
    std::vector<std::string> want;
    {
        std::ifstream in(data_path("readstat/haven_v15.dta.expect"));
        for (std::string line; std::getline(in, line);) want.push_back(line);
    }
    for (const char* out : {"w.sav", "w.dta"}) {
        SCOPED_TRACE(out);
        convert("src.dta", out);
        std::string cmd = "cd " + dir.path() + " && Rscript " + std::string(MORVALEN_DATA) + "/readstat/expect.R " + out;
        ASSERT_EQ(std::system((cmd + " >/dev/null 2>&1").c_str()), 0);
        std::ifstream in(dir.file(std::string(out) + ".expect"));
        std::vector<std::string> got;
        for (std::string line; std::getline(in, line);) got.push_back(line);
        ASSERT_EQ(got.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) {
            std::vector<std::string> g = tab_fields(got[i]), w = tab_fields(want[i]);
            EXPECT_EQ(g[0] + g[1], w[0] + w[1]) << i;
            std::string expect = vxs_cp1252_to_utf8(vxs_strip_blanks(vxs_utf8_to_cp1252(w[2]).substr(0, 90), 90));
            std::string value = g[2] == " " ? "" : g[2];
            if (w[0] == "D" && w[1] == "score" && value != "NA" && expect != "NA")
                EXPECT_DOUBLE_EQ(std::stod(value), std::stod(expect)) << i;
            else
                EXPECT_EQ(value, expect) << i;
        }
    }
}

}  // namespace
