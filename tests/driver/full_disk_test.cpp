// Every writer on the shared buffered writer, run out of disk space: the conversion fails with
// status 6 and one failure message, and nothing new stands under the output name or the
// temporary one. The writer itself prints nothing about the failed write (the driver reports it once).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "driver/vxs_formats.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

const std::string kNotWritten = " Output file not written! (No valid records?).\n";

size_t count_of(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

bool name_taken(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// Numbers, a factor-like text and a plain text column; every writer has something to write
// and each output is far above the limit.
std::string input_csv() {
    std::string s = "Plot,Yield,Block,Note\n";
    for (int i = 1; i <= 3000; ++i)
        s += std::to_string(i) + "," + std::to_string(i * 0.25) + ",b" + std::to_string(i % 4) +
             ",note " + std::to_string(i) + "\n";
    return s;
}

struct Case {
    const char* output;
    int32_t type;
};

const Case kCases[] = {
    {"out.csv", VXT_CSV},    {"out.tab", VXT_TAB},    {"out.vsh", VXT_VSH},         {"out.vxc", VXT_VXC},
    {"out.tpt", VXT_XPORT},  {"out.mat", VXT_MATLAB}, {"out.arff", VXT_WEKA},       {"out.ktb", VXT_KELMORA},
    {"out.dbf", VXT_DBF},    {"out.xls", VXT_XLS},    {"out.wq1", VXT_WQ1},         {"out.fmt", VXT_GAUSS},
    {"out.wor", VXT_INSTAT}, {"out.rtf", VXT_RTF},    {"out.sdd", VXT_SPLUS_TEXT},  {"out.htm", VXT_HTML},
};

// Out of space midway, a run leaves nothing new, and an old output stays exactly as it was.
TEST(FullDisk, EveryWriterFailsOnceAndLeavesNoOutputOrKeepsTheOld) {
    const std::string csv = input_csv(), old = "old output, kept until a new one is complete\n";
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.output);
        ASSERT_EQ(vxs_output_type(c.output), c.type);
        ScratchDir dir;
        write_file(dir.file("in.csv"), csv);
        for (bool old_output : {false, true}) {
            if (old_output) write_file(dir.file(c.output), old);
            // 16 blocks of 512 bytes: the header goes out, the data does not.
            RunResult r = run_morvalen_with_file_limit(dir.path(), {"in.csv", c.output}, 16);
            EXPECT_EQ(r.status, 6) << r.out;
            EXPECT_TRUE(r.out.ends_with(kNotWritten)) << r.out;
            EXPECT_EQ(count_of(r.out, kNotWritten), 1u) << r.out;
            if (old_output)
                EXPECT_EQ(read_file(dir.file(c.output)), old);
            else
                EXPECT_FALSE(name_taken(dir.file(c.output)));
            EXPECT_FALSE(name_taken(dir.file("out.$$$")));
        }
        // Without the limit the same conversion succeeds.
        RunResult ok = run_morvalen(dir.path(), {"in.csv", c.output});
        EXPECT_EQ(ok.status, 0) << ok.out;
        EXPECT_NE(read_file(dir.file(c.output)), old);
    }
}

// Called directly on a full device, each writer returns failure and says nothing of its own.
TEST(FullDisk, WritersStayQuietOnAFullDevice) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.output);
        const VxsFormat* f = vxs_find_format(c.type);
        ASSERT_TRUE(f && f->write);
        Sheet* s = new_run_with_sheet(3);
        Column* x = create_column_with_memory(s, VXS_VARIATE, "x", 3);
        x->num = {1, 2, 3};
        Column* t = create_column_with_memory(s, VXS_TEXT, "name", 3);
        for (size_t i = 0; i < 3; ++i) t->text.set(i, std::string(1, char('a' + i)));
        testing::internal::CaptureStdout();
        int16_t written = f->write(s, "/dev/full");
        std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(written, 0);
        EXPECT_EQ(printed, "");
        vxs_release_sheets();
    }
}

}  // namespace
