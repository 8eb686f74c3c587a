// Numbers typed by people in the five tolerance modes, blanks, missing text, the warnings file.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "driver/vxs_options.h"
#include "sheet/vxs_sheet.h"
#include "sheet/vxs_txtnum.h"
#include "test_util.h"

namespace {

constexpr double M = -1.0e307;  // the missing argument
constexpr double C = 9.99999e307;  // the largest number kept

struct Reading { double value; int changed; };

Reading read_in(int mode, const std::string& text) {
    fresh_run();
    vxs_parser_options().txt_to_num_mode = mode;
    int16_t changed = -1;
    double v = vxs_spread_read_num_from_text(text.c_str(), M, &changed);
    return {v, changed};
}

// Per tricky input: the value in modes 0..4 and which modes flag a change (one entry: all agree).
struct Row { const char* text; std::vector<double> by_mode; const char* changed; };

TEST(NumbersFromText, EveryModeOnTheSameTrickyInputs) {
    const Row rows[] = {
        {"2.5", {2.5}, "0"}, {"1.5e3", {1500}, "0"}, {".5", {.5}, "0"}, {"-2.5E-2", {-.025}, "0"},
        {"7.", {7}, "0"}, {"+4", {4}, "0"}, {"*", {M}, "1"}, {" ", {M}, "1"}, {"-", {M}, "1"},
        {"abc", {M}, "1"}, {"nan", {M}, "1"}, {"-1e306", {-1e306}, "0"}, {"1e308", {C}, "1"},
        {"9.99999e307", {C}, "0"}, {"1e400", {M}, "1"}, {"1e-400", {M}, "1"}, {"-1e308", {M}, "1"},
        {"1,234", {M, 1.234, 1.234, 1.234, 1.234}, "11111"},
        {"1,5", {M, 1.5, 1.5, 1.5, 1.5}, "11111"}, {"12,345.6", {M, 12, 12, 12, 12345.6}, "11111"},
        {"1,234,567", {M, M, M, M, 1.234567}, "11111"}, {"12abc", {M, M, M, 12, 12}, "11101"},
        {" 3 ", {M, 3, 3, 3, 3}, "10001"}, {"O.5", {M, .5, .5, .5, .5}, "11111"},
        {"(3)", {M, M, 3, 3, 3}, "11111"}, {"1.2D3", {M, M, M, 1.2, 1200}, "11101"},
        {"- 5", {M, M, M, M, -5}, "11111"}, {"2.5 kg", {M, 2.5, 2.5, 2.5, 2.5}, "10001"},
        {"2.5kg", {M, M, M, 2.5, 2.5}, "11101"}, {"lO", {M, M, 10, 10, 10}, "11111"},
        {"S5", {M, 55, M, 55, 55}, "11111"}, {"1:5", {M, 1.5, M, 1.5, 1.5}, "11111"},
        {"1;5.2", {M, 1, M, 1, 15.2}, "11111"}, {"@1", {M, 1, M, 1, 1}, "11111"},
        {"Z", {M, 2, M, 2, 2}, "11111"}, {"$1.50", {M, 1.5, 1.5, 1.5, 1.5}, "11111"},
        {"1.2.3", {M, M, M, M, 1.23}, "11111"}, {"Infinity", {M, M, M, 1, 111}, "11111"},
        {"0x10", {M, M, M, 0, 10}, "11101"}, {"1e", {M, M, M, 1, 1}, "11100"},
    };
    for (const Row& row : rows) {
        for (int mode = 0; mode <= 4; ++mode) {
            SCOPED_TRACE(std::string("text [") + row.text + "] mode " + std::to_string(mode));
            Reading got = read_in(mode, row.text);
            EXPECT_DOUBLE_EQ(got.value, row.by_mode[row.by_mode.size() == 1 ? 0 : mode]);
            EXPECT_EQ(got.changed, row.changed[row.changed[1] ? mode : 0] - '0');
        }
    }
    // Mode 1 allows exactly one repair; only the first ninety characters count (the 2 is the 91st).
    for (auto [text, v] : {std::pair{"1O", 10.0}, {"(5", 5.0}, {"lOO", M}})
        EXPECT_EQ(read_in(1, text).value, v) << text;
    for (int mode : {0, 3}) EXPECT_EQ(read_in(mode, std::string(89, '0') + "12").value, 1) << mode;
}

TEST(NumbersFromText, TheCallersMissingValueAndFlag) {
    fresh_run();
    int16_t changed = 7;  // empty or absent text: the caller's missing value, flag untouched
    EXPECT_TRUE(vxs_spread_read_num_from_text("", -3.0, &changed) == -3.0 &&
                vxs_spread_read_num_from_text(nullptr, -3.0, &changed) == -3.0 && changed == 7);
    EXPECT_EQ(vxs_spread_read_num_from_text("1,5", M, nullptr), 1.5);  // no flag asked for
    // Anything below the caller's missing value is missing too, and flagged.
    EXPECT_TRUE(vxs_spread_read_num_from_text("-150", -99.0, &changed) == -99.0 && changed == 1);
}

TEST(NumbersFromText, StripBlanksAndMissingText) {
    fresh_run();
    const std::tuple<const char*, size_t, const char*> cases[] = {  // only the blank counts
        {"  a  b   c  ", 90, "a b c"}, {"abc", 90, "abc"}, {"", 90, ""}, {"    ", 90, " "},
        {"ab   cd", 4, "ab"}, {"  x", 2, " "}, {"a  b", 3, "a"}, {"\tx\t", 90, "\tx\t"},
    };
    for (auto [in, limit, out] : cases) {
        char buf[100];
        vxs_strip_blanks(buf, in, limit);
        EXPECT_STREQ(buf, out) << "[" << in << "]";
        EXPECT_EQ(vxs_strip_blanks(std::string_view(in), limit), out) << "[" << in << "]";
    }
    char text[] = "   one   two  ";  // in place
    EXPECT_STREQ((vxs_strip_blanks(text, text, sizeof text), text), "one two");

    // Blank, empty or the missing-value text (only its first character must match exactly).
    for (auto [mv, t, want] :
         {std::tuple{"*", "", 1}, {"*", "     ", 1}, {"*", "*", 1}, {"*", "  *  ", 1},
          {"*", "**", 0}, {"*", "0", 0}, {"*", "NA", 0}, {"NA", "NA", 1}, {"NA", " NA ", 1},
          {"NA", "Na", 1}, {"NA", "na", 0}, {"NA", "NAN", 0}, {"NA", "*", 0}, {"NA", "", 1}}) {
        vxs_parser_options().xls_mv = mv;
        EXPECT_EQ(vxs_is_missing_text(t), want) << "[" << t << "] with " << mv;
    }
    fresh_run();
}

// Opened at the first warning, twelve digits, unwritable names skipped until a usable one.
TEST(WarningsFile, ExactLinesOnlyOnceAWarningComes) {
    ScratchDir dir;
    const std::string path = dir.file("TxtToNum.ERR");
    write_file(path, "old contents that must go\n");
    fresh_run(dir.file("none.err"));
    vxs_spread_read_num_from_text("1,5", M, nullptr);  // reading alone never writes
    EXPECT_FALSE(file_exists(dir.file("none.err")));
    fresh_run(dir.file("no/such/dir/w.err"));
    vxs_warn_conversion("x", 1, "a", M, M);
    EXPECT_EQ(vxs_warn_out, nullptr);
    fresh_run(path);
    long row = 1;
    for (const char* text : {"1,5", "abc", "12,345.6", "1e400"}) {
        int16_t changed = 0;
        double v = vxs_spread_read_num_from_text(text, M, &changed);
        ASSERT_EQ(changed, 1) << text;
        vxs_warn_conversion("Weight", row, text, v, M);
        row += 1000;
    }
    vxs_warn_conversion("x", 12345, "(1234567.891234567)", 1234567.891234567, M);
    vxs_warn_conversion("x", 2, "1e308", C, M);
    fresh_run("TxtToNum.ERR");  // closes the file
    EXPECT_EQ(read_file(path),
              "Text to Number Conversion Warnings\n \n"
              "Column Weight Row    1: 1,5 read as 1.5\n"
              "Column Weight Row 1001: abc read as *\n"
              "Column Weight Row 2001: 12,345.6 read as 12\n"
              "Column Weight Row 3001: 1e400 read as *\n"
              "Column x Row 12345: (1234567.891234567) read as 1234567.89123\n"
              "Column x Row    2: 1e308 read as 9.99999e+307\n");
}

}  // namespace
