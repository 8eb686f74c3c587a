// Written in a format and read back, a sheet converts as before (source-naming lines aside).
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

#include "test_util.h"

namespace {

const char kPlain[] = "Site,Plot,Dose,Note\nNorth,1,0.5,fine\nSouth,2,1.25,\nEast,3,*,Z\xFC" "rich\n";
// Texts and numbers that become factors, a missing cell, quotes and commas in text.
const char kKinds[] =
    "Site,Plot,Treatment!,Dose,Score!,Comment\nNorth,1,Control,0.5,3,\"fine, dry\"\n"
    "South,2,High N,1.25,1,said ok\nNorth,3,Control,*,3,\nEast,4,low n,1e10,2,O'Brien\n";

const struct {
    const char* input;  // a sample under tests/data, or a CSV file's text
    const char* via;
    const char* compared_as;
} kRows[] = {
    // Every column survives, dates and labels included; the .vxc: names, kinds, decimals, dates, levels, labels.
    {"readstat/haven_v15.dta", "rt.dta", "csv"}, {"readstat/pspp.zsav", "rt.dta", "csv"},
    {"readstat/pandas_118.dta", "rt.dta", "csv"}, {kPlain, "rt.dta", "csv"}, {kPlain, "rt.xlsx", "csv"},
    {kKinds, "rt.xls", "vxc"}, {"lotus/trial.wk1", "rt.wq1", "vxc"},
};

std::string without_source_lines(const std::string& text) {
    std::istringstream in(text);
    std::string out;
    for (std::string line; std::getline(in, line);)
        if (line.find("Data taken from") == std::string::npos && line.find("Data read from") == std::string::npos &&
            line.find("_stitle_") == std::string::npos)
            out += line + "\n";
    return out;
}

TEST(RoundTrips, ThroughAFormatAndBackConvertAlike) {
    for (const auto& row : kRows) {
        SCOPED_TRACE(std::string(row.input).substr(0, 20) + " through " + row.via);
        ScratchDir dir;
        const std::string input = std::strchr(row.input, '\n') ? (write_file(dir.file("in.csv"), row.input), "in.csv")
                                                               : copy_sample(dir, row.input);  // a sample or a CSV text
        const std::string ref = std::string("ref.") + row.compared_as, back = std::string("back.") + row.compared_as;
        for (const auto& [from, to] : {std::pair{input, ref}, {input, std::string(row.via)}, {std::string(row.via), back}}) {
            RunResult r = run_morvalen(dir.path(), {from, to});
            ASSERT_EQ(r.status, 0) << from << " -> " << to << ": " << r.out;
        }
        EXPECT_EQ(without_source_lines(read_file(dir.file(back))), without_source_lines(read_file(dir.file(ref))));
    }
}

}  // namespace
