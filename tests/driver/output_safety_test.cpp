// A run that fails or is refused at any step keeps an existing output exactly as it was and
// leaves no temporary file; a complete one replaces the output by one rename. The temporary
// file is made afresh beside the output and never written through a link planted at its name.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "driver/vxs_formats.h"
#include "driver/vxs_tempfile.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

const std::string kOld = "old output, kept until a new one is complete\n";

// True when anything, a dangling link included, stands under the name.
bool name_taken(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

TEST(OutputSafety, TemporaryNameStaysBesideTheOutput) {
    const std::pair<std::string, std::string> cases[] = {
        {"out.vsh", "out.$$$"},         {"plain", "plain.$$$"}, {"dir/a.b.csv", "dir/a.b.$$$"},
        {"sub.d/out", "sub.d/out.$$$"},  // the dot of a folder is not an extension
        {"x.$$$", "x.$$$.$$$"},          // never the output's own name
    };
    for (const auto& [output, temp] : cases) EXPECT_EQ(vxs_temp_output_name(output), temp) << output;
}

TEST(OutputSafety, FailedOrRefusedRunsKeepTheOldOutputAndLeaveNoTemporaryFile) {
    // A reader's refusal, a fatal spreadsheet error and a writer's refusal (a writer failing
    // midway: full_disk_test.cpp).
    const struct {
        std::string input_name, input, output;
        int status;
        std::string message;
    } cases[] = {
        {"d.sas7bdat", patched(patched(std::string(100, '\0'), 84, "SAS"), 12, "\1"), "out.csv", 5,
         "Error: d.sas7bdat: Unable to read from file.\n Error: No valid data in input file d.sas7bdat!\n"},
        {"bad.xls", read_file(data_path("xls/damaged/excel2_bad_dimension.xls")), "out.csv", 10,
         "Error: Invalid Excel file Dimension record!\n"},
        {"blank.csv", "a,b\n*,*\n*,*\n", "out.vsh", 6, " Output file not written! (No valid records?).\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input_name);
        ScratchDir dir;
        write_file(dir.file(c.input_name), c.input);
        write_file(dir.file(c.output), kOld);
        RunResult r = run_morvalen(dir.path(), {c.input_name, c.output});
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.message);
        EXPECT_EQ(read_file(dir.file(c.output)), kOld);
        EXPECT_FALSE(name_taken(dir.file("out.$$$")));
    }
}

TEST(OutputSafety, WhateverStandsAtTheTemporaryNameIsReplacedNotWrittenThrough) {
    ScratchDir dir;
    write_file(dir.file("a.csv"), "x,y\n1,2\n3,4\n");
    write_file(dir.file("victim.txt"), "precious\n");
    for (const char* planted : {"link to a file", "dangling link", "stale file"}) {
        SCOPED_TRACE(planted);
        const std::string temp = dir.file("out.$$$"), target = planted[0] == 'l' ? "victim.txt" : "made.txt";
        std::remove(dir.file("out.vsh").c_str());
        if (planted[0] == 's')
            write_file(temp, "left by an earlier run");
        else
            ASSERT_EQ(::symlink(dir.file(target).c_str(), temp.c_str()), 0);
        RunResult r = run_morvalen(dir.path(), {"a.csv", "out.vsh"});
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(read_file(dir.file("victim.txt")), "precious\n");
        EXPECT_FALSE(name_taken(dir.file("made.txt")));  // a dangling link is not followed to create its target
        struct stat st;
        EXPECT_TRUE(::lstat(dir.file("out.vsh").c_str(), &st) == 0 && S_ISREG(st.st_mode));
        EXPECT_EQ(read_file(dir.file("out.vsh")).substr(0, 4), std::string("\x51\x50\x3e\x03", 4));  // version 3
        EXPECT_FALSE(name_taken(temp));
    }
    // An input that carries the temporary name is read, not removed.
    write_file(dir.file("in.$$$"), "x,y\n1,2\n");
    EXPECT_EQ(run_morvalen(dir.path(), {"in.$$$", "in.csv"}).status, 0);
    EXPECT_EQ(read_file(dir.file("in.$$$")), "x,y\n1,2\n");
    EXPECT_FALSE(name_taken(dir.file("in.$$$.$$$")));
    // A link planted for a run whose writer then refuses is removed, and its target untouched.
    write_file(dir.file("blank.csv"), "a,b\n*,*\n");
    ASSERT_EQ(::symlink(dir.file("victim.txt").c_str(), dir.file("blank.$$$").c_str()), 0);
    EXPECT_EQ(run_morvalen(dir.path(), {"blank.csv", "blank.vsh"}).status, 6);
    EXPECT_EQ(read_file(dir.file("victim.txt")), "precious\n");
    EXPECT_FALSE(name_taken(dir.file("blank.$$$")));
}

// A link planted at the temporary name after the run made its file, just before the writer
// opens it: every writer refuses to write through it, and the link's target stays as it was.
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
        const VxsFormat& format = vxs_output_format(out);
        ASSERT_NE(format.write, nullptr);
        stdout_of([&] { EXPECT_EQ(format.write(sheet, link.c_str()) & 0xffff, 0); });
        EXPECT_EQ(read_file(dir.file("victim.txt")), "precious\n");
    }
}

}  // namespace
