// Numbers typed by people under the five tolerance modes, blank stripping, missing text and the
// exact lines of the conversion warnings file.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "sheet/vxs_sheet.h"
#include "sheet/vxs_txtnum.h"
#include "test_util.h"

namespace {

constexpr double M = -1.0e307;  // the missing argument
constexpr double CEIL = 9.99999e307;

struct Reading {
    double value;
    int changed;
};

Reading read_in(int mode, const std::string& text) {
    vxs_txt_to_num_mode = mode;
    int16_t changed = -1;
    double v = vxs_spread_read_num_from_text(text.c_str(), M, &changed);
    vxs_txt_to_num_mode = 3;
    return {v, changed};
}

struct NumbersFromText : ::testing::Test {
    void SetUp() override {
        vxs_init();
        vxs_txt_to_num_mode = 3;
        std::snprintf(vxs_xls_mv, sizeof vxs_xls_mv, "*");
    }
    void TearDown() override { vxs_txt_to_num_mode = 3; }
};

// One row per tricky input: the value and the change flag in modes 0..4.
struct Row {
    const char* text;
    Reading by_mode[5];
};

const std::vector<Row>& tricky_inputs() {
    static const std::vector<Row> rows = {
        {"2.5", {{2.5, 0}, {2.5, 0}, {2.5, 0}, {2.5, 0}, {2.5, 0}}},
        {"*", {{M, 1}, {M, 1}, {M, 1}, {M, 1}, {M, 1}}},
        {" ", {{M, 1}, {M, 1}, {M, 1}, {M, 1}, {M, 1}}},
        {"1,234", {{M, 1}, {1.234, 1}, {1.234, 1}, {1.234, 1}, {1.234, 1}}},
        {"1,5", {{M, 1}, {1.5, 1}, {1.5, 1}, {1.5, 1}, {1.5, 1}}},
        {"12,345.6", {{M, 1}, {12, 1}, {12, 1}, {12, 1}, {12345.6, 1}}},
        {"1,234,567", {{M, 1}, {M, 1}, {M, 1}, {M, 1}, {1.234567, 1}}},
        {"1.5e3", {{1500, 0}, {1500, 0}, {1500, 0}, {1500, 0}, {1500, 0}}},
        {"-2.5E-2", {{-0.025, 0}, {-0.025, 0}, {-0.025, 0}, {-0.025, 0}, {-0.025, 0}}},
        {"12abc", {{M, 1}, {M, 1}, {M, 1}, {12, 0}, {12, 1}}},
        {"-", {{M, 1}, {M, 1}, {M, 1}, {M, 1}, {M, 1}}},
        {" 3 ", {{M, 1}, {3, 0}, {3, 0}, {3, 0}, {3, 1}}},
        {"1e308", {{CEIL, 1}, {CEIL, 1}, {CEIL, 1}, {CEIL, 1}, {CEIL, 1}}},
        {"9.99999e307", {{CEIL, 0}, {CEIL, 0}, {CEIL, 0}, {CEIL, 0}, {CEIL, 0}}},
        {"1e400", {{M, 1}, {M, 1}, {M, 1}, {M, 1}, {M, 1}}},
        {"1e-400", {{M, 1}, {M, 1}, {M, 1}, {M, 1}, {M, 1}}},
        {"-1e308", {{M, 1}, {M, 1}, {M, 1}, {M, 1}, {M, 1}}},
        {"-1e306", {{-1e306, 0}, {-1e306, 0}, {-1e306, 0}, {-1e306, 0}, {-1e306, 0}}},
        {"O.5", {{M, 1}, {0.5, 1}, {0.5, 1}, {0.5, 1}, {0.5, 1}}},
        {"(3)", {{M, 1}, {M, 1}, {3, 1}, {3, 1}, {3, 1}}},
        {"abc", {{M, 1}, {M, 1}, {M, 1}, {M, 1}, {M, 1}}},
        {"1.2D3", {{M, 1}, {M, 1}, {M, 1}, {1.2, 0}, {1200, 1}}},
        {"- 5", {{M, 1}, {M, 1}, {M, 1}, {M, 1}, {-5, 1}}},
        {"2.5 kg", {{M, 1}, {2.5, 0}, {2.5, 0}, {2.5, 0}, {2.5, 1}}},
        {"2.5kg", {{M, 1}, {M, 1}, {M, 1}, {2.5, 0}, {2.5, 1}}},
        {"lO", {{M, 1}, {M, 1}, {10, 1}, {10, 1}, {10, 1}}},
        {"S5", {{M, 1}, {55, 1}, {M, 1}, {55, 1}, {55, 1}}},
        {"1:5", {{M, 1}, {1.5, 1}, {M, 1}, {1.5, 1}, {1.5, 1}}},
        {"1;5.2", {{M, 1}, {1, 1}, {M, 1}, {1, 1}, {15.2, 1}}},
        {"@1", {{M, 1}, {1, 1}, {M, 1}, {1, 1}, {1, 1}}},
        {"Z", {{M, 1}, {2, 1}, {M, 1}, {2, 1}, {2, 1}}},
        {"$1.50", {{M, 1}, {1.5, 1}, {1.5, 1}, {1.5, 1}, {1.5, 1}}},
        {"1.2.3", {{M, 1}, {M, 1}, {M, 1}, {M, 1}, {1.23, 1}}},
        {"Infinity", {{M, 1}, {M, 1}, {M, 1}, {1, 1}, {111, 1}}},
        {"nan", {{M, 1}, {M, 1}, {M, 1}, {M, 1}, {M, 1}}},
        {"0x10", {{M, 1}, {M, 1}, {M, 1}, {0, 0}, {10, 1}}},
        {".5", {{0.5, 0}, {0.5, 0}, {0.5, 0}, {0.5, 0}, {0.5, 0}}},
        {"7.", {{7, 0}, {7, 0}, {7, 0}, {7, 0}, {7, 0}}},
        {"+4", {{4, 0}, {4, 0}, {4, 0}, {4, 0}, {4, 0}}},
        {"1e", {{M, 1}, {M, 1}, {M, 1}, {1, 0}, {1, 0}}},
    };
    return rows;
}

TEST_F(NumbersFromText, EveryModeOnTheSameTrickyInputs) {
    for (const Row& row : tricky_inputs()) {
        for (int mode = 0; mode <= 4; ++mode) {
            SCOPED_TRACE(std::string("text [") + row.text + "] mode " + std::to_string(mode));
            Reading got = read_in(mode, row.text);
            const Reading& want = row.by_mode[mode];
            EXPECT_DOUBLE_EQ(got.value, want.value);
            EXPECT_EQ(got.changed, want.changed);
        }
    }
}

TEST_F(NumbersFromText, EmptyOrAbsentTextLeavesTheFlagUntouched) {
    int16_t changed = 7;
    EXPECT_EQ(vxs_spread_read_num_from_text("", -3.0, &changed), -3.0);
    EXPECT_EQ(vxs_spread_read_num_from_text(nullptr, -3.0, &changed), -3.0);
    EXPECT_EQ(changed, 7);
    // No flag asked for: still reads.
    EXPECT_EQ(vxs_spread_read_num_from_text("1,5", M, nullptr), 1.5);
}

TEST_F(NumbersFromText, TheMissingArgumentIsTheCallersValue) {
    int16_t changed = 0;
    EXPECT_EQ(vxs_spread_read_num_from_text("abc", -99.0, &changed), -99.0);
    EXPECT_EQ(changed, 1);
    // Anything below the caller's missing value is missing too.
    EXPECT_EQ(vxs_spread_read_num_from_text("-150", -99.0, &changed), -99.0);
    EXPECT_EQ(changed, 1);
}

TEST_F(NumbersFromText, OnlyTheFirstNinetyCharactersAreLookedAt) {
    std::string text(89, '0');
    text += "12";  // the 2 is character 91
    EXPECT_EQ(read_in(3, text).value, 1);
    EXPECT_EQ(read_in(0, text).value, 1);
}

TEST_F(NumbersFromText, ModeOneAllowsExactlyOneRepair) {
    EXPECT_EQ(read_in(1, "1O").value, 10);
    EXPECT_EQ(read_in(1, "1O").changed, 1);
    EXPECT_EQ(read_in(1, "lOO").value, M);
    EXPECT_EQ(read_in(1, "(5").value, 5);  // one repair: the bracket
}

TEST(StripBlanks, SurroundingBlanksGoAndRunsShrinkToOne) {
    struct Case {
        const char* in;
        size_t limit;
        const char* out;
    } cases[] = {
        {"  a  b   c  ", 90, "a b c"},
        {"abc", 90, "abc"},
        {"", 90, ""},
        {"    ", 90, " "},
        {" ", 90, " "},
        {"\tx\t", 90, "\tx\t"},  // only the blank counts
        {"ab   cd", 4, "ab"},
        {"  x", 2, " "},
        {"a  b", 3, "a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("[") + c.in + "]");
        char out[100];
        vxs_strip_blanks(out, c.in, c.limit);
        EXPECT_STREQ(out, c.out);
        EXPECT_EQ(vxs_strip_blanks(std::string_view(c.in), c.limit), c.out);
    }
}

TEST(StripBlanks, WorksInPlace) {
    char text[] = "   one   two  ";
    vxs_strip_blanks(text, text, sizeof text);
    EXPECT_STREQ(text, "one two");
}

TEST_F(NumbersFromText, MissingTextIsBlankEmptyOrTheMissingValueText) {
    EXPECT_EQ(vxs_is_missing_text(""), 1);
    EXPECT_EQ(vxs_is_missing_text(" "), 1);
    EXPECT_EQ(vxs_is_missing_text("     "), 1);
    EXPECT_EQ(vxs_is_missing_text("*"), 1);
    EXPECT_EQ(vxs_is_missing_text("  *  "), 1);
    EXPECT_EQ(vxs_is_missing_text("**"), 0);
    EXPECT_EQ(vxs_is_missing_text("0"), 0);
    EXPECT_EQ(vxs_is_missing_text("NA"), 0);

    std::snprintf(vxs_xls_mv, sizeof vxs_xls_mv, "NA");
    EXPECT_EQ(vxs_is_missing_text("NA"), 1);
    EXPECT_EQ(vxs_is_missing_text(" NA "), 1);
    EXPECT_EQ(vxs_is_missing_text("Na"), 1);  // only the first character must match exactly
    EXPECT_EQ(vxs_is_missing_text("na"), 0);
    EXPECT_EQ(vxs_is_missing_text("NAN"), 0);
    EXPECT_EQ(vxs_is_missing_text("*"), 0);
    EXPECT_EQ(vxs_is_missing_text(""), 1);
}

struct WarningsFile : NumbersFromText {
    ScratchDir dir;
    void SetUp() override {
        NumbersFromText::SetUp();
        close();
    }
    void TearDown() override {
        close();
        std::snprintf(vxs_warn_file, sizeof vxs_warn_file, "TxtToNum.ERR");
        NumbersFromText::TearDown();
    }
    static void close() {
        if (vxs_warn_out) std::fclose(vxs_warn_out);
        vxs_warn_out = nullptr;
    }
    void name(const std::string& path) { std::snprintf(vxs_warn_file, sizeof vxs_warn_file, "%s", path.c_str()); }
};

TEST_F(WarningsFile, ExactLinesForReadAndMissingValues) {
    const std::string path = dir.file("TxtToNum.ERR");
    write_file(path, "old contents that must go\n");
    name(path);
    const char* cells[] = {"1,5", "abc", "12,345.6", "1e400"};
    long row = 1;
    for (const char* text : cells) {
        int16_t changed = 0;
        double v = vxs_spread_read_num_from_text(text, M, &changed);
        ASSERT_EQ(changed, 1) << text;
        vxs_warn_conversion("Weight", row, text, v, M);
        row += 1000;
    }
    ASSERT_NE(vxs_warn_out, nullptr);
    close();
    EXPECT_EQ(read_file(path),
              "Text to Number Conversion Warnings\n \n"
              "Column Weight Row    1: 1,5 read as 1.5\n"
              "Column Weight Row 1001: abc read as *\n"
              "Column Weight Row 2001: 12,345.6 read as 12\n"
              "Column Weight Row 3001: 1e400 read as *\n");
}

TEST_F(WarningsFile, ValuesKeepTwelveSignificantDigits) {
    const std::string path = dir.file("w.err");
    name(path);
    vxs_warn_conversion("x", 12345, "(1234567.891234567)", 1234567.891234567, M);
    vxs_warn_conversion("x", 2, "1e308", CEIL, M);
    close();
    EXPECT_EQ(read_file(path),
              "Text to Number Conversion Warnings\n \n"
              "Column x Row 12345: (1234567.891234567) read as 1234567.89123\n"
              "Column x Row    2: 1e308 read as 9.99999e+307\n");
}

TEST_F(WarningsFile, NoFileUntilTheFirstWarning) {
    const std::string path = dir.file("none.err");
    name(path);
    vxs_spread_read_num_from_text("1,5", M, nullptr);  // reading alone never writes
    EXPECT_EQ(vxs_warn_out, nullptr);
    EXPECT_FALSE(file_exists(path));
}

TEST_F(WarningsFile, AFileThatCannotBeCreatedIsSkippedQuietly) {
    name(dir.file("no/such/dir/w.err"));
    vxs_warn_conversion("x", 1, "a", M, M);
    vxs_warn_conversion("x", 2, "b", M, M);
    EXPECT_EQ(vxs_warn_out, nullptr);
    // A usable name later in the same process works again.
    const std::string path = dir.file("ok.err");
    name(path);
    vxs_warn_conversion("x", 3, "c", M, M);
    close();
    EXPECT_EQ(read_file(path), "Text to Number Conversion Warnings\n \nColumn x Row    3: c read as *\n");
}

}  // namespace
