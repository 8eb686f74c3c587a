// A run that fails or is refused at any step keeps an existing output exactly as it was and
// leaves no temporary file; a complete one replaces the output by one rename. The temporary
// file is made afresh beside the output and never written through a link planted at its name.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

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

std::string big_csv() {
    std::string s = "Plot,Yield,Note\n";
    for (int i = 1; i <= 3000; ++i)
        s += std::to_string(i) + "," + std::to_string(i * 0.25) + ",row" + std::to_string(i) + "\n";
    return s;
}

TEST(OutputSafety, TemporaryNameStaysBesideTheOutput) {
    const std::pair<std::string, std::string> cases[] = {
        {"out.vsh", "out.$$$"},         {"plain", "plain.$$$"}, {"dir/a.b.csv", "dir/a.b.$$$"},
        {"sub.d/out", "sub.d/out.$$$"},  // the dot of a folder is not an extension
        {"x.$$$", "x.$$$.$$$"},          // never the output's own name
    };
    for (const auto& [output, temp] : cases)
        EXPECT_EQ(vxs_temp_output_name(output), temp) << output;
}

TEST(OutputSafety, FailedOrRefusedRunsKeepTheOldOutputAndLeaveNoTemporaryFile) {
    std::string sas7(100, '\0');
    sas7.replace(84, 3, "SAS");
    sas7[12] = 1;
    std::string spss = "$FL2@(#) SPSS DATA FILE" + std::string(200, '\x07');
    const struct {
        const char* what;
        std::string input_name, input, output;
        int status;
        std::string message;
        int limit_blocks;  // 0: no file size limit
    } cases[] = {
        {"reader refuses", "d.sas7bdat", sas7, "out.csv", 5,
         "Error: d.sas7bdat: Unable to read from file.\n Error: No valid data in input file d.sas7bdat!\n", 0},
        {"corrupt SPSS file", "bad.sav", spss, "out.vsh", 5,
         " Error: No valid data in input file bad.sav!\n", 0},
        {"fatal spreadsheet error", "bad.xls",
         read_file(data_path("xls/damaged/excel2_bad_dimension.xls")), "out.csv", 10,
         "Error: Invalid Excel file Dimension record!\n", 0},
        {"writer refuses the sheet", "blank.csv", "a,b\n*,*\n*,*\n", "out.vsh", 6,
         " Output file not written! (No valid records?).\n", 0},
        // Writers that fail midway, the disk full after 4 KB.
        {"text writer fails midway", "big.csv", big_csv(), "out.csv", 6,
         " Output file not written! (No valid records?).\n", 8},
        {"tab writer fails midway", "big.csv", big_csv(), "out.tab", 6,
         " Output file not written! (No valid records?).\n", 8},
        {"package file writer fails midway", "big.csv", big_csv(), "out.vsh", 6,
         " Output file not written! (No valid records?).\n", 8},
        {"command file writer fails midway", "big.csv", big_csv(), "out.vxc", 6,
         " Output file not written! (No valid records?).\n", 8},
        {"transport writer fails midway", "big.csv", big_csv(), "out.tpt", 6,
         " Output file not written! (No valid records?).\n", 8},
        {"dBase writer fails midway", "big.csv", big_csv(), "out.dbf", 6,
         " Output file not written! (No valid records?).\n", 8},
        {"Excel writer fails midway", "big.csv", big_csv(), "out.xls", 6,
         " Output file not written! (No valid records?).\n", 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        write_file(dir.file(c.input_name), c.input);
        write_file(dir.file(c.output), kOld);
        std::vector<std::string> args = {c.input_name, c.output};
        RunResult r = c.limit_blocks ? run_morvalen_with_file_limit(dir.path(), args, c.limit_blocks)
                                     : run_morvalen(dir.path(), args);
        EXPECT_EQ(r.status, c.status) << r.out;
        EXPECT_TRUE(r.out.ends_with(c.message)) << r.out;
        EXPECT_EQ(read_file(dir.file(c.output)), kOld);
        EXPECT_FALSE(name_taken(dir.file("out.$$$")));
    }
    // Without the limit the same conversion replaces the old output.
    ScratchDir dir;
    write_file(dir.file("big.csv"), big_csv());
    write_file(dir.file("out.csv"), kOld);
    RunResult r = run_morvalen(dir.path(), {"big.csv", "out.csv"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(read_file(dir.file("out.csv")).rfind("Plot,", 0), 0u);
    EXPECT_FALSE(name_taken(dir.file("out.$$$")));
}

TEST(OutputSafety, WhateverStandsAtTheTemporaryNameIsReplacedNotWrittenThrough) {
    ScratchDir dir;
    write_file(dir.file("a.csv"), "x,y\n1,2\n3,4\n");
    write_file(dir.file("victim.txt"), "precious\n");
    enum {
        kLinkToFile,
        kDanglingLink,
        kStaleFile
    } const kinds[] = {kLinkToFile, kDanglingLink, kStaleFile};
    for (auto kind : kinds) {
        SCOPED_TRACE(kind);
        const std::string temp = dir.file("out.$$$");
        std::remove(dir.file("out.vsh").c_str());
        if (kind == kLinkToFile) {
            ASSERT_EQ(::symlink(dir.file("victim.txt").c_str(), temp.c_str()), 0);
        } else if (kind == kDanglingLink) {
            ASSERT_EQ(::symlink(dir.file("made.txt").c_str(), temp.c_str()), 0);
        } else {
            write_file(temp, "left by an earlier run");
        }
        RunResult r = run_morvalen(dir.path(), {"a.csv", "out.vsh"});
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(read_file(dir.file("victim.txt")), "precious\n");
        EXPECT_FALSE(name_taken(
            dir.file("made.txt")));  // a dangling link is not followed to create its target
        struct stat st;
        ASSERT_EQ(::lstat(dir.file("out.vsh").c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(read_file(dir.file("out.vsh")).substr(0, 4),
                  std::string("\x51\x50\x3e\x03", 4));  // version 3 magic
        EXPECT_FALSE(name_taken(temp));
    }
    // An input that carries the temporary name is read, not removed.
    write_file(dir.file("in.$$$"), "x,y\n1,2\n");
    EXPECT_EQ(run_morvalen(dir.path(), {"in.$$$", "in.csv"}).status, 0);
    EXPECT_EQ(read_file(dir.file("in.$$$")), "x,y\n1,2\n");
    EXPECT_EQ(read_file(dir.file("in.csv")).substr(0, 4), "x,y\n");
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
