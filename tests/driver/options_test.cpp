// Command-line options: found anywhere in a name, cut from it and set; only after the directory part.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "driver/vxr_main.h"
#include "driver/vxs_formats.h"
#include "driver/vxs_options.h"
#include "driver/vxs_path.h"
#include "sheet/vxs_sheet.h"
#include "sheet/vxs_txtnum.h"
#include "test_util.h"

namespace fs = std::filesystem;

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
        // The whole text is searched; the driver gives only the file-name part (AbsolutePaths below).
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


TEST(DirectoryPart, LongestLeadingPartThatIsADirectory) {
    ScratchDir dir;
    const std::string root = dir.path();
    for (const char* d : {"/a/b", "/t/u"}) fs::create_directories(root + d);
    write_file(root + "/a/Test.csv", "x\n1\n");
    const std::pair<std::string, std::string> cases[] = {
        {root + "/a/Test.csv/n", root + "/a/"}, {root + "/a/b/out.vsh/s/e", root + "/a/b/"},
        {root + "/a/b/", root + "/a/b/"}, {"/n.csv", "/"}, {"Test.csv/n", ""}, {"\"My Data.csv\"/n", ""}, {"", ""},
        {root + "/a/nothere/x.csv/t", root + "/a/"},  // a missing folder is part of the file name
        {root + "/a/Test.csv/x=NA/n", root + "/a/"},  // a file is never the directory part
        {"t/u/a.csv/n", "t/u/"}, {"./a.csv/n", "./"}, {"a.csv/n", ""},  // relative: from the working directory
    };
    const fs::path old = fs::current_path();
    fs::current_path(root);
    for (const auto& [arg, directory] : cases) EXPECT_EQ(arg.substr(0, vxs_directory_part(arg)), directory) << arg;
    fs::current_path(old);
}

const char kSample[] = "Plot,Variety,Yield\n1,Avalon,5.5\n2,Brigadier,6\n3,Avalon,O.5\n";

// Every option after a file in option-named folders (a wrong split: status 2 or 6).
TEST(AbsolutePaths, EveryOptionAfterADeepTreeOfOptionNamedDirectories) {
    const struct {
        const char *input_option, *output, *file = nullptr, *has = "", *lacks = nullptr;
    } cases[] = {
        {"/m=*,-99", "out.csv"}, {"/f", "out.csv"}, {"/k", "out.csv"}, {"/l=3", "out.csv"}, {"/l", "out.csv"},
        {"/y", "out.csv"}, {"/t=0", "out.csv"}, {"/t", "out.csv"}, {"/w", "out.csv"}, {"/i", "out.csv"},
        {"/u", "out.csv"}, {"/x=NA", "out.csv"}, {"/x=NA/n", "out.csv"}, {"", "out.vxc/*"}, {"", "out.vxc/b"},
        {"", "out.csv/e"}, {"", "out.csv/f"}, {"", "out.csv/l=2"}, {"", "out.vxc/q"}, {"", "out.vsh/s"},
        {"", "out.csv/c"}, {"", "out.csv/u"}, {"", "out.vsh/v=2"}, {"", "out.VSH/s/e"}, {"/n/t=2/u", "out.tab/n/-/p"},
        {"/n", "in_n.tab", "in_n.tab", "C1\tC2\tC3\nPlot\t"},      // the names line becomes data
        {"", "out_n.tab/n", "out_n.tab", "1\tAvalon\t", "Plot"},  // no names line is written
        {"/v", "out.csv", "trial.VAR", "3\nPlot\nVariety\nYield\n"},  // the name file beside the input
        {"", "named.csv/p", "named.$V$", "3\nPlot\nVariety\nYield\n"},
        {"", "bare.csv/-", "bare.csv", "Avalon", "'"},  // texts not quoted
        {"/p=Trial", "ptr.vxc", "ptr.vxc", "POINTER Trial;"},
    };
    ScratchDir dir;
    std::string tree = dir.path();
    for (const char* d : {"t", "u", "v", "w", "m", "b", "x=1", "n", "f", "k", "l=2", "y", "i", "p=Q", "e", "q", "s",
                          "-", "c", "*", "with blanks"})
        tree += std::string("/") + d;
    fs::create_directories(tree);
    write_file(tree + "/trial.csv", kSample);
    for (const auto& c : cases) {
        const std::string in = tree + "/trial.csv" + c.input_option, out = tree + "/" + c.output;
        SCOPED_TRACE(in + " -> " + out);
        const std::string made = tree + "/" + std::string(c.output).substr(0, std::string(c.output).find('/'));
        fs::remove(made);
        RunResult r = run_morvalen(dir.path(), {in, out});
        EXPECT_TRUE(r.status == 0 && file_exists(made)) << r.out;
        const std::string got = c.file ? read_file(tree + "/" + c.file) : "";
        EXPECT_NE(got.find(c.has), std::string::npos) << got;
        EXPECT_TRUE(!c.lacks || got.find(c.lacks) == std::string::npos) << got;
    }
    // A quoted name with blanks, options after the closing quote; messages name the whole path.
    write_file(tree + "/My Data.csv", kSample);
    EXPECT_EQ(run_morvalen(dir.path(), {"\"" + tree + "/My Data.csv\"/n", "\"" + tree + "/My Out.tab\"/n"}).status, 0);
    EXPECT_EQ(read_file(tree + "/My Out.tab").substr(0, 5), "Plot\t");
    RunResult missing = run_morvalen(dir.path(), {tree + "/missing.csv/n", tree + "/out.csv"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.out, "Error: Input File " + (tree + "/missing.csv").substr(0, 100) + " not found!\n");
}

TEST(RelativePaths, OptionsAsBeforeAndDirectoriesKeptWhole) {
    ScratchDir dir;
    for (const char* d : {"t/u", "my.data"}) fs::create_directories(dir.file(d));
    for (const char* in : {"trial.csv", "t/u/trial.csv", "my.data/trial"}) write_file(dir.file(in), kSample);
    EXPECT_EQ(run_morvalen(dir.path(), {"trial.csv/n/t=2", "out.tab/n"}).status, 0);
    EXPECT_EQ(read_file(dir.file("out.tab")).substr(0, 5), "Plot\t");
    EXPECT_EQ(run_morvalen(dir.path(), {"t/u/trial.csv/n", "t/u/out.tab/n"}).status, 0);
    EXPECT_TRUE(file_exists(dir.file("t/u/out.tab")));
    // A name without an extension in a folder with a dot: the name file goes beside the input.
    EXPECT_EQ(run_morvalen(dir.path(), {dir.file("my.data/trial/v"), dir.file("my.data/out.csv")}).status, 0);
    EXPECT_EQ(read_file(dir.file("my.data/trial.VAR")), "3\nPlot\nVariety\nYield\n");
    EXPECT_FALSE(file_exists(dir.file("my.VAR")));
}

}  // namespace
