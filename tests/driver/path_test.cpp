// Options only after the directory part: the split itself, then whole conversions through
// real directories whose names look like options.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "driver/vxs_options.h"
#include "driver/vxr_main.h"
#include "driver/vxs_path.h"
#include "sheet/vxs_sheet.h"
#include "sheet/vxs_txtnum.h"
#include "test_util.h"

namespace fs = std::filesystem;

namespace {

// Every directory name here would be cut out of a path by a plain search for options.
const char* const kOptionDirs[] = {"t", "u", "v", "w", "m", "b", "x=1", "n", "f", "k", "l=2",
                                   "y", "i", "p=Q", "e", "q", "s", "-", "c", "*", "with blanks"};

std::string option_tree(const ScratchDir& dir) {
    std::string path = dir.path();
    for (const char* d : kOptionDirs) path += std::string("/") + d;
    fs::create_directories(path);
    return path;
}

TEST(DirectoryPart, LongestLeadingPartThatIsADirectory) {
    ScratchDir dir;
    std::string root = dir.path();
    fs::create_directories(root + "/a/b");
    write_file(root + "/a/Test.csv", "x\n1\n");
    struct Case {
        std::string arg;
        std::string directory;
    };
    const Case cases[] = {
        {root + "/a/Test.csv/n", root + "/a/"},
        {root + "/a/b/out.vsh/s/e", root + "/a/b/"},
        {root + "/a/b/", root + "/a/b/"},
        {root + "/a/nothere/x.csv/t", root + "/a/"},  // a missing folder is part of the file name
        {root + "/a/Test.csv/x=NA/n", root + "/a/"},  // a file is never the directory part
        {"/n.csv", "/"},
        {"Test.csv/n", ""},
        {"\"My Data.csv\"/n", ""},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.arg.substr(0, vxs_directory_part(c.arg)), c.directory) << c.arg;
}

TEST(DirectoryPart, RelativeNamesAreSearchedFromTheWorkingDirectory) {
    ScratchDir dir;
    fs::create_directories(dir.path() + "/t/u");
    fs::path old = fs::current_path();
    fs::current_path(dir.path());
    EXPECT_EQ(vxs_directory_part("t/u/a.csv/n"), 4u);
    EXPECT_EQ(vxs_directory_part("./a.csv/n"), 2u);
    EXPECT_EQ(vxs_directory_part("a.csv/n"), 0u);
    fs::current_path(old);
}

TEST(DirectoryPart, OptionsAreParsedInTheFileNamePartOnly) {
    ScratchDir dir;
    std::string tree = option_tree(dir);
    vxs_init();
    vxs_reset_options();
    bool names = false;
    std::string arg = vxs_take_name_argument(("\"" + tree + "/My Data.csv\"/n/t=1/v").c_str());
    vxs_options_in_file_name(arg, [&](std::string& file) { vxs_parse_input_options(file, names); });
    EXPECT_EQ(arg, tree + "/My Data.csv");
    EXPECT_EQ(vxs_parser_options().no_column_names, 1);
    EXPECT_EQ(vxs_parser_options().txt_to_num_mode, 1);
    EXPECT_TRUE(names);
    EXPECT_EQ(vxs_parser_options().inst_drop_factors, 0);  // the directory named f stays a directory
}

// A small CSV whose conversions show the effect of several options.
const char kSample[] = "Plot,Variety,Yield\n1,Avalon,5.5\n2,Brigadier,6\n3,Avalon,O.5\n";

struct OptionCase {
    const char* input_option;
    const char* output_name;  // with its options
    const char* output_file;  // the file that must appear
};

// Every input option and every output option, written after a file in the deep tree.
const OptionCase kOptionCases[] = {
    {"/m=*,-99", "out.csv", "out.csv"},
    {"/f", "out.csv", "out.csv"},
    {"/k", "out.csv", "out.csv"},
    {"/l=3", "out.csv", "out.csv"},
    {"/l", "out.csv", "out.csv"},
    {"/n", "out.csv", "out.csv"},
    {"/y", "out.csv", "out.csv"},
    {"/t=0", "out.csv", "out.csv"},
    {"/t", "out.csv", "out.csv"},
    {"/w", "out.csv", "out.csv"},
    {"/i", "out.csv", "out.csv"},
    {"/u", "out.csv", "out.csv"},
    {"/v", "out.csv", "out.csv"},
    {"/x=NA", "out.csv", "out.csv"},
    {"/x=NA/n", "out.csv", "out.csv"},
    {"/p=Trial", "out.vxc", "out.vxc"},
    {"", "out.vxc/*", "out.vxc"},
    {"", "out.vxc/b", "out.vxc"},
    {"", "out.csv/e", "out.csv"},
    {"", "out.csv/f", "out.csv"},
    {"", "out.csv/l=2", "out.csv"},
    {"", "out.csv/p", "out.csv"},
    {"", "out.vxc/q", "out.vxc"},
    {"", "out.vsh/s", "out.vsh"},
    {"", "out.csv/-", "out.csv"},
    {"", "out.csv/c", "out.csv"},
    {"", "out.csv/n", "out.csv"},
    {"", "out.csv/u", "out.csv"},
    {"", "out.vsh/v=2", "out.vsh"},
    {"", "out.VSH/s/e", "out.VSH"},
    {"/n/t=2/u", "out.tab/n/-/p", "out.tab"},
};

TEST(AbsolutePaths, EveryOptionAfterADeepTreeOfOptionNamedDirectories) {
    ScratchDir dir;
    std::string tree = option_tree(dir);
    write_file(tree + "/trial.csv", kSample);
    for (const OptionCase& c : kOptionCases) {
        std::string in = tree + "/trial.csv" + c.input_option;
        std::string out = tree + "/" + c.output_name;
        fs::remove(tree + "/" + c.output_file);
        RunResult r = run_morvalen(dir.path(), {in, out});
        // Had the option stayed in the name, or a directory been cut, the input would not be
        // found (status 2) or the output could not be written (status 6).
        EXPECT_EQ(r.status, 0) << in << " -> " << out << "\n" << r.out;
        EXPECT_TRUE(file_exists(tree + "/" + c.output_file)) << out;
        EXPECT_EQ(r.out.find("not found"), std::string::npos) << r.out;
    }
}

TEST(AbsolutePaths, OptionsTakeEffect) {
    ScratchDir dir;
    std::string tree = option_tree(dir);
    write_file(tree + "/trial.csv", kSample);
    auto convert = [&](const std::string& in, const std::string& out) {
        RunResult r = run_morvalen(dir.path(), {tree + "/" + in, tree + "/" + out});
        EXPECT_EQ(r.status, 0) << in << " -> " << out << "\n" << r.out;
        return r;
    };
    // Input /n: the names line becomes data; output /n: no names line is written.
    convert("trial.csv/n", "plain.tab/n");
    EXPECT_EQ(read_file(tree + "/plain.tab").substr(0, 13), "Plot\tVariety\t");
    // Input /v writes the name file beside the input; output /p writes the .$V$ file.
    convert("trial.csv/v", "named.csv/p");
    EXPECT_EQ(read_file(tree + "/trial.VAR"), "3\nPlot\nVariety\nYield\n");
    EXPECT_EQ(read_file(tree + "/named.$V$"), "3\nPlot\nVariety\nYield\n");
    // Output /-: texts in CSV output are not quoted.
    convert("trial.csv", "quoted.csv");
    convert("trial.csv", "bare.csv/-");
    EXPECT_NE(read_file(tree + "/quoted.csv").find("'Avalon'"), std::string::npos);
    EXPECT_EQ(read_file(tree + "/bare.csv").find('\''), std::string::npos);
    // Input /p=: the pointer name reaches the command file.
    convert("trial.csv/p=Trial", "ptr.vxc");
    EXPECT_NE(read_file(tree + "/ptr.vxc").find("Trial"), std::string::npos);
}

TEST(AbsolutePaths, QuotedNameWithBlanksAndOptionsAfterTheQuote) {
    ScratchDir dir;
    std::string tree = option_tree(dir);
    write_file(tree + "/My Data.csv", kSample);
    RunResult r = run_morvalen(dir.path(), {"\"" + tree + "/My Data.csv\"/n", "\"" + tree + "/My Out.tab\"/n"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(read_file(tree + "/My Out.tab").substr(0, 4), "Plot");
}

TEST(AbsolutePaths, MessagesNameTheWholePath) {
    ScratchDir dir;
    std::string tree = option_tree(dir);
    std::string missing = tree + "/missing.csv";
    RunResult r = run_morvalen(dir.path(), {missing + "/n", tree + "/out.csv"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "Error: Input File " + missing.substr(0, 100) + " not found!\n");
}

TEST(RelativePaths, OptionsAsBeforeAndDirectoriesKeptWhole) {
    ScratchDir dir;
    fs::create_directories(dir.path() + "/t/u");
    write_file(dir.file("trial.csv"), kSample);
    write_file(dir.file("t/u/trial.csv"), kSample);
    RunResult plain = run_morvalen(dir.path(), {"trial.csv/n/t=2", "out.tab/n"});
    EXPECT_EQ(plain.status, 0) << plain.out;
    EXPECT_EQ(read_file(dir.file("out.tab")).substr(0, 4), "Plot");
    RunResult nested = run_morvalen(dir.path(), {"t/u/trial.csv/n", "t/u/out.tab/n"});
    EXPECT_EQ(nested.status, 0) << nested.out;
    EXPECT_TRUE(file_exists(dir.file("t/u/out.tab")));
}

}  // namespace
