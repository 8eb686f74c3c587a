// --help, --version and --formats, and the progress line of big conversions.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "driver/vxs_formats.h"
#include "driver/vxs_info.h"
#include "driver/vxs_progress.h"
#include "test_util.h"

namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(Info, WordsAreTakenOnlyAsTheWholeFirstArgument) {
    ScratchDir dir;
    RunResult usage = run_morvalen(dir.path(), {});
    RunResult help = run_morvalen(dir.path(), {"--help", "ignored.csv"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, usage.out + "\n");

    RunResult version = run_morvalen(dir.path(), {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("morvalen ") + MORVALEN_VERSION + "\n");

    RunResult formats = run_morvalen(dir.path(), {"--formats"});
    EXPECT_EQ(formats.status, 0);
    EXPECT_EQ(formats.out, vxs_formats_text());

    // A file with such a name converts when written as a path; in second place the word is
    // an output name like any other.
    write_file(dir.file("--formats"), "a,b\n1,2\n");
    RunResult file = run_morvalen(dir.path(), {"./--formats", "out.tab"});
    EXPECT_EQ(file.status, 0) << file.out;
    EXPECT_EQ(read_file(dir.file("out.tab")), "a\tb\n1\t2\n");
    RunResult second = run_morvalen(dir.path(), {"./--formats", "--version"});
    EXPECT_EQ(second.status, 0) << second.out;
    EXPECT_TRUE(file_exists(dir.file("--version")));
    RunResult glued = run_morvalen(dir.path(), {"--formats/n"});
    EXPECT_EQ(glued.status, 0) << glued.out;  // the file --formats with option /n
}

// --formats against the table's rows themselves: each row is on exactly one line, and a line
// says r or w exactly when one of its rows has a reader or a writer.
TEST(Info, FormatListMatchesTheTable) {
    std::vector<VxsFormatLine> lines = vxs_format_lines();
    std::vector<std::string> printed = lines_of(vxs_formats_text());
    ASSERT_EQ(printed.size(), lines.size() + 1);
    EXPECT_EQ(printed[0], "Supported Formats:");

    std::set<int32_t> seen;
    for (size_t i = 0; i < lines.size(); ++i) {
        const VxsFormatLine& line = lines[i];
        bool reads = false, writes = false, content = false;
        for (int32_t type : line.types) {
            EXPECT_TRUE(seen.insert(type).second) << "type " << type << " on two lines";
            reads = reads || vxs_reader_available(type);
            writes = writes || vxs_writer_available(type);
            const VxsFormat* f = vxs_find_format(type);
            content = content || (f && f->by_content && (f->probe || f->weak_probe));
        }
        EXPECT_EQ(line.read, reads) << line.name;
        EXPECT_EQ(line.write, writes) << line.name;
        EXPECT_EQ(line.by_content, content) << line.name;

        // The printed line: "  name (flags): ext, ext".
        const std::string& text = printed[i + 1];
        std::string head = "  " + line.name + " (";
        ASSERT_EQ(text.compare(0, head.size(), head), 0) << text;
        size_t close = text.find("):", head.size());
        ASSERT_NE(close, std::string::npos) << text;
        std::string flags = text.substr(head.size(), close - head.size());
        EXPECT_EQ(flags.substr(0, 2), reads && writes ? "rw" : reads ? "ro" : writes ? "wo" : "--") << text;
        EXPECT_EQ(flags.size() == 3 && flags[2] == 'c', content) << text;
    }
    for (const VxsFormat& f : vxs_formats()) {
        ASSERT_TRUE(seen.count(f.type)) << f.name;
        // Every output extension stands on the line of its format.
        auto line = std::find_if(lines.begin(), lines.end(), [&](const VxsFormatLine& l) {
            return std::find(l.types.begin(), l.types.end(), f.type) != l.types.end();
        });
        std::vector<std::string> exts;
        std::istringstream list(f.extensions);
        for (std::string ext; list >> ext;) exts.push_back(ext);
        if (f.type == VXT_TEXT) exts = {"any other"};
        for (const std::string& ext : exts)
            EXPECT_NE(std::find(line->extensions.begin(), line->extensions.end(), ext), line->extensions.end())
                << f.name << " " << ext;
    }
}

TEST(Info, FormatListReadsTheRowsOfKnownFormats) {
    std::string text = vxs_formats_text();
    // Spot checks a user would make: what is read and written today.
    EXPECT_NE(text.find("  delimited text (rwc): .csv, .txt, any other\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  SPSS (rwc): .sav\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  Paradox (ro): .db\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  package command file (wo): .vxc\n"), std::string::npos) << text;
}

TEST(Progress, LineTexts) {
    struct Case {
        bool writing;
        uint64_t total;
        int64_t done;
        long seconds;
        const char* want;
    };
    const Case cases[] = {
        {false, 120'000'000, 60'000'000, 3, "morvalen: reading big.csv, 50% of 120 MB, 3 s"},
        {false, 120'000'000, 120'000'001, 3, "morvalen: reading big.csv, 100% of 120 MB, 3 s"},
        {false, 2'500'000'000, -1, 71, "morvalen: reading big.csv, 2.5 GB, 71 s"},
        {true, 0, 51'999'999, 9, "morvalen: writing big.csv, 51 MB, 9 s"},
        {true, 0, -1, 0, "morvalen: writing big.csv, 0 MB, 0 s"},
    };
    for (const Case& c : cases) EXPECT_EQ(VxsProgress::line("big.csv", c.writing, c.total, c.done, c.seconds), c.want);
}

// A big input that is recognised and refused at once: the run is short, but the input is
// above the size at which the indicator shows.
std::string make_big_refused_input(const ScratchDir& dir) {
    std::string head(100, '\0');
    head.replace(84, 3, "SAS");
    head[12] = 1;
    std::string path = dir.file("big.dat");
    write_file(path, head);
    std::filesystem::resize_file(path, VXS_PROGRESS_MIN_BYTES + 1);  // sparse: no disk used
    return path;
}

const char kRefused[] =
    "Error: big.dat: Invalid file, or file has unsupported features.\n"
    " Error: No valid data in input file big.dat!\n";

TEST(Progress, NeverShownWhenStandardErrorIsNotATerminal) {
    ScratchDir dir;
    make_big_refused_input(dir);
    RunResult r = run_morvalen(dir.path(), {"big.dat", "out.csv"});  // stderr into the pipe
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(r.out, kRefused);
}

struct TerminalRun {
    int status = -1;
    std::string terminal;  // what reached the terminal (standard error)
    std::string out;       // standard output, sent to a file
};

// Runs morvalen with standard error on a pseudo-terminal and standard output into a file.
TerminalRun run_on_terminal(const ScratchDir& dir, const char* input, const char* output) {
    TerminalRun run;
    std::string stdout_file = dir.file("stdout.txt");
    int master = -1;
    pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) return run;
    if (pid == 0) {
        if (chdir(dir.path().c_str()) != 0) _exit(126);
        int out = open(stdout_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || dup2(out, STDOUT_FILENO) < 0) _exit(126);
        execl(MORVALEN_BIN, MORVALEN_BIN, input, output, static_cast<char*>(nullptr));
        _exit(127);
    }
    char buf[512];
    for (ssize_t n; (n = read(master, buf, sizeof buf)) > 0;) run.terminal.append(buf, static_cast<size_t>(n));
    close(master);
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = read_file(stdout_file);
    return run;
}

TEST(Progress, ShownOnATerminalAndClearedAtTheEnd) {
    ScratchDir dir;
    make_big_refused_input(dir);
    TerminalRun run = run_on_terminal(dir, "big.dat", "out.csv");
    EXPECT_EQ(run.status, 5);
    EXPECT_EQ(run.out, kRefused);  // standard output untouched

    // The reader never opens the file, so no share read is known: size and time only.
    const std::string shown = "\rmorvalen: reading big.dat, 50 MB, 0 s\r";
    const std::string& terminal = run.terminal;
    ASSERT_EQ(terminal.rfind(shown, 0), 0u) << terminal;
    // The end blanks out the whole width drawn and leaves the cursor at the line's start.
    std::string cleared = "\r" + std::string(shown.size() - 2, ' ') + "\r";
    ASSERT_GE(terminal.size(), cleared.size());
    EXPECT_EQ(terminal.substr(terminal.size() - cleared.size()), cleared);
    EXPECT_EQ(terminal.find('\n'), std::string::npos);
}

TEST(Progress, NotShownForInputsUpToTheThreshold) {
    ScratchDir dir;
    std::string path = make_big_refused_input(dir);
    std::filesystem::resize_file(path, VXS_PROGRESS_MIN_BYTES);
    TerminalRun run = run_on_terminal(dir, "big.dat", "out.csv");
    EXPECT_EQ(run.status, 5);
    EXPECT_EQ(run.out, kRefused);
    EXPECT_EQ(run.terminal, "");
}

}  // namespace
