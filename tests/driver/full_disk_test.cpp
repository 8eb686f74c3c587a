// Every buffered writer out of disk space: status 6, the driver's one message, nothing new left.
#include <gtest/gtest.h>

#include <string>

#include "test_util.h"

namespace {

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
        // Without the limit the same conversion succeeds.
        EXPECT_EQ(run_morvalen(dir.path(), {"in.csv", output}).status, 0);
        EXPECT_NE(read_file(dir.file(output)), old);
    }
}

}  // namespace
