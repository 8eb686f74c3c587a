// Command-line options: substring search, removal from the name, the values they set.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "driver/vxr_main.h"
#include "driver/vxs_formats.h"
#include "driver/vxs_options.h"
#include "sheet/vxs_sheet.h"
#include "sheet/vxs_txtnum.h"

namespace {

// Arguments parsed one after another into the same settings: the name left and what was set.
TEST(Options, FoundAnywhereCutFromTheNameAndSet) {
    vxs_init(), vxs_reset_options();
    const VxsOptions& o = vxs_parser_options();
    const VxsDefaults& d = *vxs_get_global_defaults();
    const struct {
        bool output;
        const char *arg, *name;
        std::function<bool()> set;
        bool name_file = false;  // input "/v" or output "/p": a column-name file is wanted
    } cases[] = {
        // The whole text is searched; the driver gives only the file-name part (path_test.cpp).
        {false, "/data/new/d.csv", "/dataew/d.csv", [&] { return o.no_column_names == 1; }},
        {false, "a.csv/t=9", "a.csv", [&] { return o.txt_to_num_mode == 4; }},  // a digit above 4 is 4
        {false, "a.csv/t=0", "a.csv", [&] { return o.txt_to_num_mode == 0; }},
        {false, "a.csv/t", "a.csv", [&] { return o.txt_to_num_mode == 0; }},  // alone or without a digit: nothing
        {false, "a.csv/t=x", "a.csvx", [&] { return o.txt_to_num_mode == 0; }},
        {false, "w.wor/m=*,-99", "w.wor",
         [&] { return o.instat_nmv == 2 && o.instat_missing[0] == vxs_missing && o.instat_missing[1] == -99; }},
        {false, "w.wor/m=abc", "w.worabc", [&] { return o.instat_nmv == 0; }},
        {false, "w.wor/m1,2,3,4", "w.wor,4", [&] { return o.instat_nmv == 3; }},
        {false, "\"My Data.csv\"/w", "My Data.csv", [&] { return o.name_dump == 1; }},  // after the quote
        {false, "d.xls/x=NA/n", "d.xls", [&] { return o.xls_mv == "NA"; }},  // later options survive the cut
        {false, "d.xls/x=-9/f", "d.xls", [&] { return o.xls_mv == "-9" && o.inst_drop_factors == 1; }},
        {false, "log.xls/l=12/v/i/k/u/y", "log.xls", [&] {
             return o.logbook_in_format == 1 && o.logbook_match_no == 12 && d.keep_declared_missing == 1 &&
                    d.factor_strip_blanks == 0 && d.sort_levels == 0 && o.use_column_names == 1;
         }, true},
        {false, "d.csv/p=Data", "d.csv", [&] { return o.pointer == "Data" && d.sort_levels == 1; }},
        {true, "Test.VSH/v=7", "Test.VSH", [&] { return o.version == 7; }},  // clamped to 3 by the driver
        {true, "Test.VSH/v=0", "Test.VSH", [&] { return o.version == 3; }},
        {true, "Test.VSH/v=2/s/e", "Test.VSH", [&] { return o.version == 2 && d.suffixed_ids == 1; }},
        {true, "T.vxc/*/b/f/p/q/-/c/n/u", "T.vxc", [&] {
             return o.no_return == 1 && o.end_break == 1 && o.fixed_decimals == 1 && o.read_print == 0 &&
                    d.quote_csv_text == 0 && o.separate_bmpwav == 0 && o.no_names_in_txt == 1 && o.plain_names == 1;
         }, true},
        {true, "L.xls/l=3/s", "L.xls", [&] { return o.logbook_out_format == 1 && o.logbook_nfactors == 3; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arg);
        std::string name = vxs_take_name_argument(c.arg);
        bool name_file = false;
        (c.output ? vxs_parse_output_options : vxs_parse_input_options)(name, name_file);
        EXPECT_TRUE(name == c.name && c.set() && name_file == c.name_file) << name;
    }
}

// The case of an extension does not matter, and a name without a known one is written as text.
TEST(Options, OutputTypeByExtension) {
    for (auto [name, type] : {std::pair{"a.VXC", VXT_VXC}, {"a.Fmt", VXT_GAUSS}, {"a.TAB", VXT_TAB},
                              {"a.HTML", VXT_HTML}, {"a.htm", VXT_HTML}, {"a.arf", VXT_WEKA}, {"a.csv", VXT_CSV},
                              {"a.txt", VXT_TEXT}, {"noextension", VXT_TEXT}})
        EXPECT_EQ(vxs_output_type(name), type) << name;
}

}  // namespace
