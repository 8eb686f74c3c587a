// The driver as a process: the exit statuses and their messages, output naming.
#include <gtest/gtest.h>

#include "test_util.h"

// Failed runs: status and message; inputs and any old output untouched, no temporary file left.
TEST(Driver, FailuresEndWithTheirStatusAndMessageAndLoseNothing) {
    const struct {
        std::vector<std::pair<std::string, std::string>> files;  // made before the run
        std::vector<std::string> args;
        int status;
        const char* out;  // null: any message
    } cases[] = {
        {{}, {"nothere.csv", "out.vsh"}, 2, "Error: Input File nothere.csv not found!\n"},
        {{{"empty.csv", ""}}, {"empty.csv", "out.vsh"}, 2, "Error: Input File empty.csv not found!\n"},
        // Options inside the input name are removed before opening.
        {{}, {"Test.csv/n/t=2", "x.vsh/s/e"}, 2, "Error: Input File Test.csv not found!\n"},
        {{}, {"\"My Data.csv\"/n", "x.vsh"}, 2, "Error: Input File My Data.csv not found!\n"},
        {{{"blob.bin", std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f", 15)}},
         {"blob.bin", "out.vsh"}, 3, "Error: Unknown File type!\n"},
        // Output equal to input in any case, refused before reading.
        {{{"a.csv", "x,y\n1,2\n"}}, {"a.csv", "A.CSV"}, 6, "Error: Output File A.CSV is the same as the input file!\n"},
        {{{"head.csv", "Plot,Yield\n"}}, {"head.csv", "out.vsh"}, 5, " Error: No valid data in input file head.csv!\n"},
        {{{"blank.csv", "\n\n\n\n"}}, {"blank.csv", "out.csv"}, 5, nullptr},
        {{{"d.sas7bdat", patched(patched(std::string(100, '\0'), 84, "SAS"), 12, "\1")}}, {"d.sas7bdat", "out.csv"}, 5,
         "Error: d.sas7bdat: Unable to read from file.\n Error: No valid data in input file d.sas7bdat!\n"},
        {{{"bad.xls", read_file(data_path("xls/damaged/excel2_bad_dimension.xls"))}}, {"bad.xls", "out.csv"}, 10,
         "Error: Invalid Excel file Dimension record!\n"},  // a fatal error ends the run at once
        {{{"stars.csv", "a,b\n*,*\n*,*\n"}}, {"stars.csv", "out.vsh"}, 6, " Output file not written! (No valid records?).\n"},
    };
    const std::string old = "old output, kept until a new one is complete\n";
    for (const auto& c : cases) {
        for (bool old_output : {false, true}) {
            SCOPED_TRACE(c.args[0] + (old_output ? " over an old output" : ""));
            ScratchDir dir;
            for (const auto& [name, bytes] : c.files) write_file(dir.file(name), bytes);
            const std::string out = c.args[1].substr(0, c.args[1].find('/'));
            if (old_output) write_file(dir.file(out), old);
            RunResult r = run_morvalen(dir.path(), c.args);
            EXPECT_EQ(r.status, c.status);
            EXPECT_EQ(r.out, c.out ? c.out : r.out);
            for (const auto& [name, bytes] : c.files) EXPECT_EQ(read_file(dir.file(name)), bytes);
            EXPECT_EQ(file_exists(dir.file(out)) ? read_file(dir.file(out)) : "none", old_output ? old : "none");
            EXPECT_FALSE(file_exists(dir.file(out.substr(0, out.find('.')) + ".$$$")));
        }
    }
}

TEST(Driver, OutputNamesNameFilesAndWarnings) {
    ScratchDir dir;
    write_file(dir.file("a.csv"), "x,y\n1,2\n3,4\n");
    EXPECT_EQ(run_morvalen(dir.path(), {"a.csv"}).out, "Note: Writing data to Morvalen.VSH by default.\n 2 records transferred.\n");
    EXPECT_TRUE(file_exists(dir.file("Morvalen.VSH")));
    EXPECT_EQ(run_morvalen(dir.path(), {"a.csv/w"}).out.find("Note:"), std::string::npos);  // listing names
    EXPECT_EQ(run_morvalen(dir.path(), {"a.csv", "a.vsh/p"}).out, " 2 records transferred.\n");
    EXPECT_EQ(read_file(dir.file("a.$V$")), "2\nx\ny\n");
    // No extension: the temporary name is the name plus ".$$$" and the output is text.
    EXPECT_EQ(run_morvalen(dir.path(), {"a.csv", "plain"}).status, 0);
    EXPECT_TRUE(file_exists(dir.file("plain")) && !file_exists(dir.file("plain.$$$")));
    write_file(dir.file("w.csv"), "Weight\n1.5\nO.5\nabc\n");
    write_file(dir.file("w.VAR"), "Weight#\n");
    EXPECT_EQ(run_morvalen(dir.path(), {"w.csv/v", "w.txt"}).out,
              " 3 records transferred.\n Text Conversion Warnings are given in file: TxtToNum.ERR!\n");
    EXPECT_EQ(read_file(dir.file("TxtToNum.ERR")), "Text to Number Conversion Warnings\n \nColumn Weight Row    2: O.5 read as 0.5\n"
                                                   "Column Weight Row    3: abc read as *\n");
    // A clean run removes the stale warnings file.
    EXPECT_EQ(run_morvalen(dir.path(), {"w.csv", "w2.txt"}).status, 0);
    EXPECT_FALSE(file_exists(dir.file("TxtToNum.ERR")));
}
