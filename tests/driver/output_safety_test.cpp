// The temporary output beside the output, made afresh, never written through a link; a full disk leaves nothing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "driver/vxs_formats.h"
#include "driver/vxs_tempfile.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;

TEST(OutputSafety, TemporaryNameStaysBesideTheOutput) {
    // The dot of a folder is not an extension; never the output's own name.
    const std::pair<std::string, std::string> cases[] = {{"out.vsh", "out.$$$"}, {"plain", "plain.$$$"},
        {"dir/a.b.csv", "dir/a.b.$$$"}, {"sub.d/out", "sub.d/out.$$$"}, {"x.$$$", "x.$$$.$$$"}};
    for (const auto& [output, temp] : cases) EXPECT_EQ(vxs_temp_output_name(output), temp) << output;
}

// Runs refused or failed at each step keep an old output: driver_test.cpp and FullDisk below.
TEST(OutputSafety, WhateverStandsAtTheTemporaryNameIsReplacedNotWrittenThrough) {
    ScratchDir dir;
    write_file(dir.file("a.csv"), "x,y\n1,2\n3,4\n");
    write_file(dir.file("blank.csv"), "a,b\n*,*\n");  // refused by the writer
    write_file(dir.file("victim.txt"), "precious\n");
    const struct {
        const char *planted, *input;
        int status;
    } cases[] = {{"link to a file", "a.csv", 0}, {"dangling link", "a.csv", 0}, {"stale file", "a.csv", 0},
                 {"link to a file", "blank.csv", 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.planted) + " for " + c.input);
        const std::string temp = dir.file("out.$$$"), target = c.planted[0] == 'l' ? "victim.txt" : "made.txt";
        std::remove(dir.file("out.vsh").c_str());
        if (c.planted[0] == 's') write_file(temp, "left by an earlier run");
        else { ASSERT_EQ(::symlink(dir.file(target).c_str(), temp.c_str()), 0); }
        EXPECT_EQ(run_morvalen(dir.path(), {c.input, "out.vsh"}).status, c.status);
        EXPECT_EQ(read_file(dir.file("victim.txt")), "precious\n");
        EXPECT_FALSE(name_taken(dir.file("made.txt")));  // a dangling link is not followed to create its target
        EXPECT_TRUE(c.status || (fs::is_regular_file(fs::symlink_status(dir.file("out.vsh"))) &&
                                 read_file(dir.file("out.vsh")).starts_with("\x51\x50\x3e\x03")));
        EXPECT_FALSE(name_taken(temp));
    }
    // An input that carries the temporary name is read, not removed.
    write_file(dir.file("in.$$$"), "x,y\n1,2\n");
    EXPECT_EQ(run_morvalen(dir.path(), {"in.$$$", "in.csv"}).status, 0);
    EXPECT_EQ(read_file(dir.file("in.$$$")), "x,y\n1,2\n");
    EXPECT_FALSE(name_taken(dir.file("in.$$$.$$$")));
}

// A finished output takes the old one's place whole: a longer old file leaves no tail, another
// hard link keeps the old contents, a link at the output's name is replaced, not followed.
TEST(OutputSafety, ANewOutputTakesTheOldOnesPlaceWhole) {
    ScratchDir dir;
    write_file(dir.file("a.csv"), "x,y\n1,2\n3,4\n");
    write_file(dir.file("victim.txt"), "precious\n");
    ASSERT_EQ(run_morvalen(dir.path(), {"a.csv", "fresh.csv"}).status, 0);
    const std::string fresh = read_file(dir.file("fresh.csv"));
    const std::string old(100000, 'o');
    write_file(dir.file("old.csv"), old);
    ASSERT_EQ(::link(dir.file("old.csv").c_str(), dir.file("kept.csv").c_str()), 0);
    ASSERT_EQ(::symlink(dir.file("victim.txt").c_str(), dir.file("linked.csv").c_str()), 0);
    for (const char* output : {"old.csv", "linked.csv"}) {
        SCOPED_TRACE(output);
        EXPECT_EQ(run_morvalen(dir.path(), {"a.csv", output}).status, 0);
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir.file(output))));
        EXPECT_EQ(read_file(dir.file(output)), fresh);
        EXPECT_FALSE(name_taken(dir.file(std::string(output).substr(0, std::string(output).find('.')) + ".$$$")));
    }
    EXPECT_EQ(read_file(dir.file("kept.csv")), old);
    EXPECT_EQ(read_file(dir.file("victim.txt")), "precious\n");
}

// A link planted at the temporary name just before the writer opens it is never written through.
TEST(OutputSafety, WritersNeverWriteThroughALink) {
    ScratchDir dir;
    write_file(dir.file("victim.txt"), "precious\n");
    for (const char* out : {"out.vsh", "out.vxc", "out.csv", "out.tpt", "out.dbf", "out.xls", "out.sav"}) {
        SCOPED_TRACE(out);
        const std::string link = dir.file("out.$$$");
        std::remove(link.c_str());
        ASSERT_EQ(::symlink(dir.file("victim.txt").c_str(), link.c_str()), 0);
        Sheet* sheet = new_run_with_sheet(2);
        create_column_with_memory(sheet, VXS_VARIATE, "x", 2)->num = {1, 2};
        const auto write = vxs_output_format(out).write;
        ASSERT_NE(write, nullptr);
        stdout_of([&] { EXPECT_EQ(write(sheet, link.c_str()) & 0xffff, 0); });
        EXPECT_EQ(read_file(dir.file("victim.txt")), "precious\n");
    }
}

// Every buffered writer out of disk space: status 6, the driver's one message, nothing new left.
TEST(FullDisk, EveryWriterFailsOnceAndLeavesNoOutputOrKeepsTheOld) {
    // Numbers, a factor-like text and a plain text: every writer has something, far above the limit.
    std::string csv = "Plot,Yield,Block,Note\n";
    for (int i = 1; i <= 3000; ++i)
        csv += std::to_string(i) + "," + std::to_string(i * 0.25) + ",b" + std::to_string(i % 4) + ",note " +
               std::to_string(i) + "\n";
    const std::string old = "old output, kept until a new one is complete\n";
    const std::string kInstatNote = "Error: Factors with more than 223 labels are not supported by Instat!\n"
                                    "Factor Note Truncated to 223 levels\n";  // the one writer that says more
    for (const char* output : {"out.csv", "out.tab", "out.vsh", "out.vxc", "out.tpt", "out.mat", "out.arff", "out.ktb",
                               "out.dbf", "out.xls", "out.wq1", "out.fmt", "out.wor", "out.rtf", "out.sdd", "out.htm"}) {
        SCOPED_TRACE(output);
        ScratchDir dir;
        write_file(dir.file("in.csv"), csv);
        for (bool old_output : {false, true}) {
            if (old_output) write_file(dir.file(output), old);
            // 16 blocks of 512 bytes: the header goes out, the data does not.
            RunResult r = run_morvalen_with_file_limit(dir.path(), {"in.csv", output}, 16);
            EXPECT_EQ(r.status, 6);
            EXPECT_EQ(r.out, (std::string(output) == "out.wor" ? kInstatNote : "") + " Output file not written! (No valid records?).\n");
            EXPECT_EQ(name_taken(dir.file(output)) ? read_file(dir.file(output)) : "none", old_output ? old : "none");
            EXPECT_FALSE(name_taken(dir.file("out.$$$")));
        }
        EXPECT_EQ(run_morvalen(dir.path(), {"in.csv", output}).status, 0);
        EXPECT_NE(read_file(dir.file(output)), old);
    }
}

}  // namespace
