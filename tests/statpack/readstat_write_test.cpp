// The .sav and .dta writers read by haven (round trips and other tools: driver/round_trips_test.cpp,
// driver/tools_read_outputs_test.cpp).
#include <gtest/gtest.h>

#include <fstream>

#include "sheet/vxs_cp1252.h"
#include "sheet/vxs_txtnum.h"
#include "statpack/reader_test_util.h"
#include "test_util.h"

namespace {

std::vector<std::vector<std::string>> fields_of(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::vector<std::string>> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(tab_fields(line));
    return lines;
}

// What haven reads from the written .sav and .dta equals what it reads from the source, with the
// source's text in the sheet's code page and cut to 90 characters.
TEST(Writers, HavenReadsTheWrittenFilesAsTheSource) {
    if (!tool_present("Rscript -e 'library(haven)'")) GTEST_SKIP() << "R haven not installed";
    ScratchDir dir;
    copy_sample(dir, "readstat/haven_v15.dta", "src.dta");
    const auto want = fields_of(data_path("readstat/haven_v15.dta.expect"));
    for (std::string out : {"w.sav", "w.dta"}) {
        SCOPED_TRACE(out);
        RunResult r = run_morvalen(dir.path(), {"src.dta", out});
        ASSERT_EQ(r.status, 0) << r.out;
        ASSERT_TRUE(tool_present("cd " + dir.path() + " && Rscript " + data_path("readstat/expect.R") + " " + out));
        const auto got = fields_of(dir.file(out + ".expect"));
        ASSERT_EQ(got.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) {
            const auto &g = got[i], &w = want[i];
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
