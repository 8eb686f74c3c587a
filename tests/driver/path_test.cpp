// Options only after the directory part: the split, then conversions through option-named folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "driver/vxs_path.h"
#include "test_util.h"

namespace fs = std::filesystem;

namespace {

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
