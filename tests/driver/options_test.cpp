// Command-line options: substring search, removal from the name, the values they set.
#include <gtest/gtest.h>

#include <string>

#include "driver/vxs_options.h"
#include "driver/vxr_main.h"
#include "driver/vxs_formats.h"
#include "sheet/vxs_sheet.h"
#include "sheet/vxs_txtnum.h"

namespace {

struct Options : ::testing::Test {
    void SetUp() override {
        vxs_init();
        vxs_reset_options();
    }
    bool file_flag = false;  // input "/v" or output "/p": a column-name file is wanted
    std::string input(const char* arg) {
        std::string s = vxs_take_name_argument(arg);
        vxs_parse_input_options(s, file_flag);
        return s;
    }
    std::string output(const char* arg) {
        std::string s = vxs_take_name_argument(arg);
        vxs_parse_output_options(s, file_flag);
        return s;
    }
};

TEST_F(Options, TextToNumberModeAndInstatMissingCodes) {
    // Mode: a digit above 4 is 4; "/t" alone, or "=" without a digit, changes nothing.
    for (auto [arg, name, mode] : {std::tuple{"a.csv/t=9", "a.csv", 4}, {"a.csv/t=0", "a.csv", 0},
                                   {"a.csv/t", "a.csv", 3}, {"a.csv/t=x", "a.csvx", 3}}) {
        vxs_parser_options().txt_to_num_mode = 3;
        EXPECT_EQ(input(arg), name);
        EXPECT_EQ(vxs_parser_options().txt_to_num_mode, mode) << arg;
    }
    EXPECT_EQ(input("w.wor/m=*,-99"), "w.wor");
    EXPECT_EQ(vxs_parser_options().instat_nmv, 2);
    EXPECT_EQ(vxs_parser_options().instat_missing[0], vxs_missing);
    EXPECT_EQ(vxs_parser_options().instat_missing[1], -99);
    EXPECT_EQ(input("w.wor/m=abc"), "w.worabc");
    EXPECT_EQ(vxs_parser_options().instat_nmv, 0);
    EXPECT_EQ(input("w.wor/m1,2,3,4"), "w.wor,4");
    EXPECT_EQ(vxs_parser_options().instat_nmv, 3);
}

TEST_F(Options, MissingTextQuotesLogbookPointerAndFlags) {
    EXPECT_EQ(input("d.xls/x=NA/n"), "d.xls");  // later options survive the cut
    EXPECT_EQ(vxs_parser_options().xls_mv, "NA");
    EXPECT_EQ(vxs_parser_options().no_column_names, 1);
    EXPECT_EQ(input("d.xls/x=-9/f"), "d.xls");
    EXPECT_EQ(vxs_parser_options().xls_mv, "-9");
    EXPECT_EQ(vxs_parser_options().inst_drop_factors, 1);
    vxs_parser_options().no_column_names = 0;
    EXPECT_EQ(input("\"My Data.csv\"/n"), "My Data.csv");  // options after the closing quote
    EXPECT_EQ(vxs_parser_options().no_column_names, 1);

    EXPECT_EQ(input("log.xls/l=12/v/i/k/u/y/w"), "log.xls");
    EXPECT_EQ(vxs_parser_options().logbook_in_format, 1);
    EXPECT_EQ(vxs_parser_options().logbook_match_no, 12);
    EXPECT_TRUE(file_flag);
    EXPECT_EQ(vxs_get_global_defaults()->keep_declared_missing, 1);
    EXPECT_EQ(vxs_get_global_defaults()->factor_strip_blanks, 0);
    EXPECT_EQ(vxs_get_global_defaults()->sort_levels, 0);
    EXPECT_EQ(vxs_parser_options().use_column_names, 1);
    EXPECT_EQ(vxs_parser_options().name_dump, 1);
    EXPECT_EQ(input("d.csv/p=Data"), "d.csv");
    EXPECT_EQ(vxs_parser_options().pointer, "Data");
    EXPECT_EQ(vxs_get_global_defaults()->sort_levels, 1);
}

// The parser itself searches the whole text it is given; the driver gives it only the
// file-name part (path_test.cpp).
TEST_F(Options, ParserSearchesTheWholeTextItIsGiven) {
    EXPECT_EQ(input("/data/new/d.csv"), "/dataew/d.csv");
    EXPECT_EQ(vxs_parser_options().no_column_names, 1);
}

TEST_F(Options, OutputVersionAndFlags) {
    EXPECT_EQ(output("Test.VSH/v=7"), "Test.VSH");
    EXPECT_EQ(vxs_parser_options().version, 7);  // clamped to 3 by the driver
    EXPECT_EQ(output("Test.VSH/v=0"), "Test.VSH");
    EXPECT_EQ(vxs_parser_options().version, 3);
    EXPECT_EQ(output("Test.VSH/v=2/s/e"), "Test.VSH");
    EXPECT_EQ(vxs_parser_options().version, 2);
    EXPECT_EQ(vxs_get_global_defaults()->suffixed_ids, 1);
    EXPECT_FALSE(file_flag);
    EXPECT_EQ(output("T.vxc/*/b/f/p/q/-/c/n/u"), "T.vxc");
    EXPECT_TRUE(file_flag);
    EXPECT_EQ(vxs_parser_options().no_return, 1);
    EXPECT_EQ(vxs_parser_options().end_break, 1);
    EXPECT_EQ(vxs_parser_options().fixed_decimals, 1);
    EXPECT_EQ(vxs_parser_options().read_print, 0);
    EXPECT_EQ(vxs_get_global_defaults()->quote_csv_text, 0);
    EXPECT_EQ(vxs_parser_options().separate_bmpwav, 0);
    EXPECT_EQ(vxs_parser_options().no_names_in_txt, 1);
    EXPECT_EQ(vxs_parser_options().plain_names, 1);
    EXPECT_EQ(output("L.xls/l=3/s"), "L.xls");
    EXPECT_EQ(vxs_parser_options().logbook_out_format, 1);
    EXPECT_EQ(vxs_parser_options().logbook_nfactors, 3);
}

}  // namespace

// Every extension stands in the format table (info_test.cpp); here the case does not matter and
// a name without a known extension is written as text.
TEST(OutputType, ByExtensionWithoutRegardToCase) {
    for (auto [name, type] : {std::pair{"a.VXC", VXT_VXC}, {"a.Fmt", VXT_GAUSS}, {"a.TAB", VXT_TAB},
                              {"a.HTML", VXT_HTML}, {"a.htm", VXT_HTML}, {"a.arf", VXT_WEKA}, {"a.csv", VXT_CSV},
                              {"a.txt", VXT_TEXT}, {"noextension", VXT_TEXT}})
        EXPECT_EQ(vxs_output_type(name), type) << name;
}
