// The driver as a process: usage and info words, exit statuses and messages, output naming, progress line.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <tuple>

#include "driver/vxs_formats.h"
#include "driver/vxs_info.h"
#include "driver/vxs_progress.h"
#include "test_util.h"

namespace {

// Usage lists the output formats from the format table, two to a line where the text says so; no final line end.
TEST(Info, UsageAndWordsTakenOnlyAsTheWholeFirstArgument) {
    ScratchDir dir;
    const auto [status, usage] = run_morvalen(dir.path(), {});
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(usage.starts_with("Morvalen - Translates Spreadsheet/Database files into Vantrix/Gauss format.\n"));
    for (const char* part : {"Usage: Morvalen Inputfile/options Outputfile/options <Sheet> <Range>\n",
                             "                .VSH - Vantrix spreadsheet file loaded with SPLOAD\n"
                             "                .VXC - Vantrix command file loaded with INPUT\n"
                             "                .FMT - Gauss PC Matrix file loaded with LOADM\n"
                             "                .TXT - ASCII Text file (Note +/s produces suffixed Identifiers)\n"
                             "                .DBF - dBase 3 file,  .WOR - Instat Worksheet file\n"
                             "                .XLS - Excel 95 Spreadsheet file, .SDD - S+ Data Frame\n"
                             "   Sheet      - optional"})
        EXPECT_NE(usage.find(part), std::string::npos) << part;
    EXPECT_TRUE(usage.ends_with("\n          Morvalen Test.WB2 Test.TXT A C1:K100")) << usage;
    for (const auto& [word, out] : {std::pair<const char*, std::string>{"--help", usage + "\n"},
                                    {"--version", std::string("morvalen ") + MORVALEN_VERSION + "\n"},
                                    {"--formats", vxs_formats_text()}}) {
        const RunResult w = run_morvalen(dir.path(), {word, "ignored.csv"});
        EXPECT_TRUE(w.status == 0 && w.out == out) << word << ": " << w.out;
    }
    EXPECT_FALSE(file_exists(dir.file("ignored.csv")));
    // As a path, in second place or with an option the word is a file name.
    write_file(dir.file("--formats"), "a,b\n1,2\n");
    EXPECT_EQ(run_morvalen(dir.path(), {"./--formats", "out.tab"}).status, 0);
    EXPECT_EQ(read_file(dir.file("out.tab")), "a\tb\n1\t2\n");
    EXPECT_EQ(run_morvalen(dir.path(), {"./--formats", "--version"}).status, 0);
    EXPECT_TRUE(file_exists(dir.file("--version")));
    EXPECT_EQ(run_morvalen(dir.path(), {"--formats/n"}).status, 0);
}

// Each row of the table on one line, r/w exactly when a reader/writer exists, c when found by content.
TEST(Info, FormatListMatchesTheTable) {
    std::istringstream text(vxs_formats_text());
    std::vector<std::string> printed;
    for (std::string line; std::getline(text, line);) printed.push_back(line);
    const std::vector<VxsFormatLine> lines = vxs_format_lines();
    ASSERT_EQ(printed.size(), lines.size() + 1);
    EXPECT_EQ(printed[0], "Supported Formats:");
    std::set<int32_t> listed;
    for (size_t i = 0; i < lines.size(); ++i) {
        bool reads = false, writes = false, content = false;
        for (int32_t type : lines[i].types) {
            const VxsFormat* f = vxs_find_format(type);
            EXPECT_TRUE(listed.insert(type).second) << "type " << type << " on two lines";
            reads |= vxs_reader_available(type), writes |= vxs_writer_available(type);
            content |= f && f->by_content && (f->probe || f->weak_probe);
        }
        EXPECT_TRUE(lines[i].read == reads && lines[i].write == writes) << lines[i].name;
        std::string flags = std::string(reads && writes ? "rw" : reads ? "ro" : writes ? "wo" : "--") + (content ? "c" : "");
        EXPECT_EQ(printed[i + 1].rfind("  " + lines[i].name + " (" + flags + "): ", 0), 0u) << printed[i + 1];
    }
    for (const VxsFormat& f : vxs_formats()) EXPECT_TRUE(listed.count(f.type)) << f.name;
}

// Reading with the share read (never above 100%) or without it, writing with what is written.
TEST(Progress, LineTexts) {
    const std::tuple<bool, uint64_t, int64_t, long, const char*> cases[] = {
        {false, 120'000'000, 60'000'000, 3, "morvalen: reading big.csv, 50% of 120 MB, 3 s"},
        {false, 120'000'000, 120'000'001, 3, "morvalen: reading big.csv, 100% of 120 MB, 3 s"},
        {false, 2'500'000'000, -1, 71, "morvalen: reading big.csv, 2.5 GB, 71 s"},
        {true, 0, 51'999'999, 9, "morvalen: writing big.csv, 51 MB, 9 s"},
        {true, 0, -1, 0, "morvalen: writing big.csv, 0 MB, 0 s"},
    };
    for (const auto& [writing, total, done, seconds, want] : cases)
        EXPECT_EQ(VxsProgress::line("big.csv", writing, total, done, seconds), want);
}

// A big input refused at once: only a terminal (given by script) on stderr gets the line; stdout is the same.
TEST(Progress, ShownOnlyOnATerminalAboveTheThresholdAndClearedAtTheEnd) {
    ScratchDir dir;
    write_file(dir.file("big.dat"), patched(patched(std::string(100, '\0'), 84, "SAS"), 12, "\1"));
    const std::string refused = "Error: big.dat: Invalid file, or file has unsupported features.\n"
                                " Error: No valid data in input file big.dat!\n";
    const std::string on_terminal =
        "cd '" + dir.path() + "' && script -qec '" MORVALEN_BIN " big.dat out.csv >stdout.txt' /dev/null";
    std::filesystem::resize_file(dir.file("big.dat"), VXS_PROGRESS_MIN_BYTES + 1);  // sparse: no disk used
    RunResult piped = run_morvalen(dir.path(), {"big.dat", "out.csv"});
    EXPECT_TRUE(piped.status == 5 && piped.out == refused) << piped.out;
    const std::string terminal = shell_output(on_terminal);
    EXPECT_EQ(read_file(dir.file("stdout.txt")), refused);
    // The file is never opened, so no share is known; the end blanks the width drawn, cursor at the start.
    const std::string shown = "\rmorvalen: reading big.dat, 50 MB, 0 s\r";
    EXPECT_TRUE(terminal.starts_with(shown) && terminal.find('\n') == std::string::npos &&
                terminal.ends_with("\r" + std::string(shown.size() - 2, ' ') + "\r"))
        << terminal;
    std::filesystem::resize_file(dir.file("big.dat"), VXS_PROGRESS_MIN_BYTES);
    EXPECT_EQ(shell_output(on_terminal), "");
    EXPECT_EQ(read_file(dir.file("stdout.txt")), refused);
}

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

}  // namespace
