// Options only after the directory part: the split itself, then whole conversions through
// real directories whose names look like options.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "driver/vxs_path.h"
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
    fs::create_directories(root + "/t/u");
    write_file(root + "/a/Test.csv", "x\n1\n");
    const std::pair<std::string, std::string> cases[] = {
        {root + "/a/Test.csv/n", root + "/a/"},
        {root + "/a/b/out.vsh/s/e", root + "/a/b/"},
        {root + "/a/b/", root + "/a/b/"},
        {root + "/a/nothere/x.csv/t", root + "/a/"},  // a missing folder is part of the file name
        {root + "/a/Test.csv/x=NA/n", root + "/a/"},  // a file is never the directory part
        {"/n.csv", "/"}, {"Test.csv/n", ""}, {"\"My Data.csv\"/n", ""}, {"", ""},
        // Relative names are looked up from the working directory.
        {"t/u/a.csv/n", "t/u/"}, {"./a.csv/n", "./"}, {"a.csv/n", ""},
    };
    fs::path old = fs::current_path();
    fs::current_path(root);
    for (const auto& [arg, directory] : cases) EXPECT_EQ(arg.substr(0, vxs_directory_part(arg)), directory) << arg;
    fs::current_path(old);
}

// A small CSV whose conversions show the effect of several options.
const char kSample[] = "Plot,Variety,Yield\n1,Avalon,5.5\n2,Brigadier,6\n3,Avalon,O.5\n";

// Every input option and every output option, written after a file in the deep tree: had an
// option stayed in the name, or a directory been cut, the input would not be found (status 2)
// or the output could not be written (status 6).
TEST(AbsolutePaths, EveryOptionAfterADeepTreeOfOptionNamedDirectories) {
    const std::pair<const char*, const char*> cases[] = {  // input option, output name and options
        {"/m=*,-99", "out.csv"}, {"/f", "out.csv"},      {"/k", "out.csv"},     {"/l=3", "out.csv"},
        {"/l", "out.csv"},       {"/n", "out.csv"},      {"/y", "out.csv"},     {"/t=0", "out.csv"},
        {"/t", "out.csv"},       {"/w", "out.csv"},      {"/i", "out.csv"},     {"/u", "out.csv"},
        {"/v", "out.csv"},       {"/x=NA", "out.csv"},   {"/x=NA/n", "out.csv"}, {"/p=Trial", "out.vxc"},
        {"", "out.vxc/*"},       {"", "out.vxc/b"},      {"", "out.csv/e"},     {"", "out.csv/f"},
        {"", "out.csv/l=2"},     {"", "out.csv/p"},      {"", "out.vxc/q"},     {"", "out.vsh/s"},
        {"", "out.csv/-"},       {"", "out.csv/c"},      {"", "out.csv/n"},     {"", "out.csv/u"},
        {"", "out.vsh/v=2"},     {"", "out.VSH/s/e"},    {"/n/t=2/u", "out.tab/n/-/p"},
    };
    ScratchDir dir;
    std::string tree = option_tree(dir);
    write_file(tree + "/trial.csv", kSample);
    for (const auto& [input_option, output] : cases) {
        std::string in = tree + "/trial.csv" + input_option, out = tree + "/" + output;
        std::string made = tree + "/" + std::string(output).substr(0, std::string(output).find('/'));
        fs::remove(made);
        RunResult r = run_morvalen(dir.path(), {in, out});
        EXPECT_EQ(r.status, 0) << in << " -> " << out << "\n" << r.out;
        EXPECT_TRUE(file_exists(made)) << out;
    }
}

TEST(AbsolutePaths, OptionsTakeEffect) {
    ScratchDir dir;
    std::string tree = option_tree(dir);
    write_file(tree + "/trial.csv", kSample);
    write_file(tree + "/My Data.csv", kSample);
    for (const auto& [in, out] : {std::pair{"trial.csv/n", "plain.tab/n"}, {"trial.csv/v", "named.csv/p"},
                                  {"trial.csv", "quoted.csv"}, {"trial.csv", "bare.csv/-"},
                                  {"trial.csv/p=Trial", "ptr.vxc"}}) {
        RunResult r = run_morvalen(dir.path(), {tree + "/" + in, tree + "/" + out});
        EXPECT_EQ(r.status, 0) << in << " -> " << out << "\n" << r.out;
    }
    // Input /n: the names line becomes data; output /n: no names line is written.
    EXPECT_EQ(read_file(tree + "/plain.tab").substr(0, 13), "Plot\tVariety\t");
    // Input /v writes the name file beside the input; output /p writes the .$V$ file.
    EXPECT_EQ(read_file(tree + "/trial.VAR"), "3\nPlot\nVariety\nYield\n");
    EXPECT_EQ(read_file(tree + "/named.$V$"), "3\nPlot\nVariety\nYield\n");
    // Output /-: texts in CSV output are not quoted.
    EXPECT_NE(read_file(tree + "/quoted.csv").find("'Avalon'"), std::string::npos);
    EXPECT_EQ(read_file(tree + "/bare.csv").find('\''), std::string::npos);
    // Input /p=: the pointer name reaches the command file.
    EXPECT_NE(read_file(tree + "/ptr.vxc").find("Trial"), std::string::npos);

    // A quoted name with blanks, options after the closing quote.
    RunResult q = run_morvalen(dir.path(), {"\"" + tree + "/My Data.csv\"/n", "\"" + tree + "/My Out.tab\"/n"});
    EXPECT_EQ(q.status, 0) << q.out;
    EXPECT_EQ(read_file(tree + "/My Out.tab").substr(0, 4), "Plot");
    // Messages name the whole path.
    RunResult missing = run_morvalen(dir.path(), {tree + "/missing.csv/n", tree + "/out.csv"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.out, "Error: Input File " + (tree + "/missing.csv").substr(0, 100) + " not found!\n");
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
    // A name without an extension in a folder with a dot: the name file goes beside the input.
    fs::create_directories(dir.path() + "/my.data");
    write_file(dir.file("my.data/trial"), kSample);
    RunResult dotted = run_morvalen(dir.path(), {dir.file("my.data/trial/v"), dir.file("my.data/out.csv")});
    EXPECT_EQ(dotted.status, 0) << dotted.out;
    EXPECT_EQ(read_file(dir.file("my.data/trial.VAR")), "3\nPlot\nVariety\nYield\n");
    EXPECT_FALSE(file_exists(dir.file("my.VAR")));
}

}  // namespace
