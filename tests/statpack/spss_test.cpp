// SPSS system files: files written by pspp and haven compared cell by cell with what R's
// foreign package reads back from them, both byte orders and compressions, formats and dates,
// user-missing values, value labels, hand-built files for the decoder's corners, and broken
// files (cut short, lying counts).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "driver/vxs_formats.h"
#include "sheet/vxs_sheet.h"
#include "statpack/vxr_spss.h"
#include "test_util.h"

namespace {

// What the making tool holds for one variable (see tests/data/spss/expect.R).
struct ExpectVar {
    std::string name, label, missing_type;
    std::vector<double> missing;
    std::vector<std::pair<std::string, std::string>> value_labels;  // value, label
    std::vector<std::string> cells;
};

std::vector<std::string> split_tabs(const std::string& line) {
    std::vector<std::string> f;
    size_t start = 0;
    for (;;) {
        size_t t = line.find('\t', start);
        f.push_back(line.substr(start, t == std::string::npos ? std::string::npos : t - start));
        if (t == std::string::npos) return f;
        start = t + 1;
    }
}

std::vector<ExpectVar> load_expect(const std::string& name) {
    std::ifstream in(data_path("spss/" + name));
    std::vector<ExpectVar> vars;
    std::string line;
    while (std::getline(in, line)) {
        auto f = split_tabs(line);
        if (f[0] == "V") {
            vars.push_back({f[1], f[2], "", {}, {}, {}});
        } else if (f[0] == "L") {
            vars.back().value_labels.emplace_back(f[2], f[3]);
        } else if (f[0] == "M") {
            vars.back().missing_type = f[2];
            std::stringstream ss(f[3]);
            std::string v;
            while (std::getline(ss, v, ',')) vars.back().missing.push_back(std::stod(v));
        } else if (f[0] == "D") {
            vars.back().cells.push_back(f[3]);
        }
    }
    return vars;
}

bool user_missing(const ExpectVar& v, double x) {
    const auto& m = v.missing;
    if (v.missing_type == "one" || v.missing_type == "two" || v.missing_type == "three")
        return std::find(m.begin(), m.end(), x) != m.end();
    if (v.missing_type == "range") return m[0] <= x && x <= m[1];
    if (v.missing_type == "low" || v.missing_type == "high") return false;
    if (v.missing_type == "low+1") return x <= m[0] || x == m[1];  // LO THRU m0, m1
    return false;
}

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

struct Spss : ::testing::Test {
    void SetUp() override {
        vxs_init();
        VXSMAXCOLUMNS = 2048;
        lastsheet = nullptr;
    }
    Sheet* read(const std::string& path) {
        lastsheet = nullptr;
        if (!read_spss_into_sheet(path.c_str())) return nullptr;
        return lastsheet;
    }
};

// Checks every column of the sheet against the expectation file: names, labels, each cell,
// user-missing values as missing, value labels as factor labels.
void check_against(Sheet* s, const std::vector<ExpectVar>& vars, bool keep_declared) {
    ASSERT_EQ(s->column_count, static_cast<int32_t>(vars.size()));
    for (size_t c = 0; c < vars.size(); ++c) {
        const ExpectVar& v = vars[c];
        const Column* col = s->cols[c + 1].get();
        SCOPED_TRACE(v.name);
        EXPECT_EQ(upper(col->name), upper(v.name.substr(0, 8)));
        EXPECT_EQ(col->extra, v.label.substr(0, 40));
        ASSERT_EQ(col->value_count(), v.cells.size());
        bool numeric = std::all_of(v.cells.begin(), v.cells.end(), [](const std::string& x) {
            char* end = nullptr;
            if (x == "NA") return true;
            std::strtod(x.c_str(), &end);
            return !x.empty() && *end == '\0';
        });
        bool labelled = !v.value_labels.empty();
        for (size_t r = 0; r < v.cells.size(); ++r) {
            SCOPED_TRACE("row " + std::to_string(r + 1));
            const std::string& want = v.cells[r];
            if (col->type == VXS_VARIATE) {
                double got = col->num[r];
                if (want == "NA" || (!keep_declared && user_missing(v, std::stod(want)))) {
                    EXPECT_LE(got, s->missing);
                } else if (col->representation == VXS_REP_DATE) {
                    // Seconds become days: durations (TIME, DTIME) stay days, calendar dates
                    // count from the spreadsheet epoch (14 Oct 1582 is serial -115859).
                    bool duration = col->date_format == 36 || upper(v.name) == "DT";
                    double days = std::stod(want) / 86400.0;
                    double serial = duration ? days : days - 115859.0;
                    if (!duration && serial < 61) serial -= 1;
                    EXPECT_NEAR(got, serial, 1e-9);
                } else {
                    EXPECT_EQ(got, std::stod(want));
                }
            } else if (col->type == VXS_TEXT) {
                std::string got(col->text.get(r));
                std::string t = trim(want);
                if (t.empty())
                    EXPECT_TRUE(got.empty() || got == " ") << "[" << got << "]";
                else
                    EXPECT_EQ(got, t);
            } else {
                ASSERT_EQ(col->type, VXS_FACTOR);
                ASSERT_TRUE(labelled);
                double cell = col->num[r];
                bool want_missing = want == "NA" || trim(want).empty() ||
                                    (numeric && !keep_declared && user_missing(v, std::stod(want)));
                if (want_missing) {
                    EXPECT_LE(cell, s->missing);
                    continue;
                }
                ASSERT_GE(cell, 1);
                ASSERT_LE(cell, col->nlevels);
                size_t k = static_cast<size_t>(cell) - 1;
                ASSERT_EQ(col->labels.size(), static_cast<size_t>(col->nlevels));
                // The label is the tool's value label when it has one, else the value itself.
                std::string label = col->labels[k];
                std::string expected = trim(want);
                for (const auto& [value, lab] : v.value_labels) {
                    bool same =
                        numeric ? std::stod(value) == std::stod(want) : trim(value) == trim(want);
                    if (same) expected = lab;
                }
                if (numeric && expected == trim(want)) {
                    char buf[64];
                    std::snprintf(buf, sizeof buf, "%.12g", std::stod(want));
                    expected = buf;
                }
                EXPECT_EQ(label, expected);
                if (numeric && !col->levels.empty()) {
                    EXPECT_EQ(col->levels[k], std::stod(want));
                }
            }
        }
    }
}

struct SpssFile {
    const char* file;
    const char* expect;
};

class SpssFiles : public Spss, public ::testing::WithParamInterface<SpssFile> {};

TEST_P(SpssFiles, HoldsWhatTheMakingToolReadsBack) {
    Sheet* s = read(data_path(std::string("spss/") + GetParam().file));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->missing, vxs_missing);
    check_against(s, load_expect(GetParam().expect), false);
}

INSTANTIATE_TEST_SUITE_P(Tools, SpssFiles,
                         ::testing::Values(SpssFile{"types_comp.sav", "types_comp.expect"},
                                           SpssFile{"types_unc.sav", "types_unc.expect"},
                                           SpssFile{"types_comp_be.sav", "types_comp_be.expect"},
                                           SpssFile{"types_unc_be.sav", "types_unc_be.expect"},
                                           SpssFile{"types_nocount.sav", "types_comp.expect"},
                                           SpssFile{"haven_byte.sav", "haven_byte.expect"},
                                           SpssFile{"haven_none.sav", "haven_none.expect"}),
                         [](const auto& info) {
                             std::string n = info.param.file;
                             return n.substr(0, n.find('.'));
                         });

TEST_F(Spss, InputOptionIKeepsDeclaredMissingValues) {
    vxs_get_global_defaults()->keep_declared_missing = 1;
    Sheet* s = read(data_path("spss/types_unc.sav"));
    ASSERT_NE(s, nullptr);
    check_against(s, load_expect("types_unc.expect"), true);
    // score declares -99 and -98; temp the range 990..999; code LO..-1 and 999.
    EXPECT_EQ(s->cols[2]->num[1], -99);
    EXPECT_EQ(s->cols[4]->num[4], 995);
    EXPECT_EQ(s->cols[5]->num[1], 999);
    EXPECT_EQ(s->cols[5]->num[2], -3);
    // System-missing stays missing.
    EXPECT_LE(s->cols[2]->num[3], s->missing);
}

TEST_F(Spss, PrintFormatsGiveDecimalsWidthsAndDates) {
    Sheet* s = read(data_path("spss/types_comp.sav"));
    ASSERT_NE(s, nullptr);
    struct Want {
        const char* name;
        int32_t decimals, width, representation, date_format;
    };
    // Widths are the print widths as pspp wrote them (it widened F8.2 to F9.2 and F6.1 to F7.1
    // for the missing values), at least the name's length + 2; a labelled variable's width
    // grows to its longest label + 2 ("Female", "Clara Ze"). Strings that became factors have
    // no decimals.
    const Want want[] = {
        {"ID", 0, 4, VXS_REP_GENERAL, 0},
        {"SCORE", 2, 9, VXS_REP_GENERAL, 0},
        {"GRADE", 0, 7, VXS_REP_GENERAL, 0},
        {"TEMP", 1, 7, VXS_REP_GENERAL, 0},
        {"CODE", 0, 6, VXS_REP_GENERAL, 0},
        {"BORN", 0, 11, VXS_REP_DATE, 1},
        {"TS", 0, 20, VXS_REP_DATE, 33},
        {"DUR", 0, 8, VXS_REP_DATE, 36},
        {"AD", 0, 10, VXS_REP_DATE, 24},
        {"ED", 0, 10, VXS_REP_DATE, 2},
        {"SD", 0, 10, VXS_REP_DATE, 20},
        {"JD", 0, 7, VXS_REP_DATE, 35},
        {"DT", 0, 13, VXS_REP_DATE, 33},
        {"SEX", -1, 8, -1, 0},
        {"NAME", -1, 10, -1, 0},
        {"CITY", 0, 20, VXS_REP_TEXT, 0},
    };
    ASSERT_EQ(s->column_count, 16);
    for (int i = 0; i < 16; ++i) {
        const Column* col = s->cols[static_cast<size_t>(i) + 1].get();
        SCOPED_TRACE(want[i].name);
        EXPECT_EQ(col->name, want[i].name);
        EXPECT_EQ(col->decimals, want[i].decimals);
        EXPECT_EQ(col->width, want[i].width);
        if (want[i].representation > 0) {
            EXPECT_EQ(col->representation, want[i].representation);
        }
        if (want[i].date_format) {
            EXPECT_EQ(col->date_format, want[i].date_format);
            EXPECT_EQ(col->gregorian, 0);
        }
    }
    // Dates become spreadsheet serial day numbers, times fractions of a day.
    EXPECT_EQ(s->cols[6]->num[0], 36600.0);    // 15-MAR-2000
    EXPECT_EQ(s->cols[6]->num[5], -115859.0);  // 15-OCT-1582, before the scale starts
    EXPECT_EQ(s->cols[8]->num[0], 0.0625);     // 01:30:00
    // A string of width 20 takes three slots and one column, and keeps its 20 bytes.
    EXPECT_EQ(s->cols[16]->text.get(1), "Saint-R\xC3\xA9my-de-Prove");
    EXPECT_EQ(s->cols[16]->type, VXS_TEXT);
}

TEST_F(Spss, ValueLabelsBecomeFactorLabels) {
    Sheet* s = read(data_path("spss/types_comp.sav"));
    ASSERT_NE(s, nullptr);
    const Column* grade = s->cols[3].get();
    ASSERT_EQ(grade->type, VXS_FACTOR);
    // Values 1, 2, 3, 9 occur; 9 has no label and is printed.
    ASSERT_EQ(grade->nlevels, 4);
    EXPECT_EQ(grade->labels, (std::vector<std::string>{"Good", "Fair", "Poor", "9"}));
    EXPECT_EQ(grade->origin, 2);
    EXPECT_EQ(grade->longest_label, 4);
    EXPECT_EQ(grade->text_capacity, 41);
    const Column* sex = s->cols[14].get();
    ASSERT_EQ(sex->type, VXS_FACTOR);
    EXPECT_EQ(sex->labels, (std::vector<std::string>{"Female", "Male", "X"}));
    EXPECT_EQ(sex->longest_label, 6);
    // A one-letter key "A" matches the text level "A".
    const Column* name = s->cols[15].get();
    ASSERT_EQ(name->type, VXS_FACTOR);
    EXPECT_NE(std::find(name->labels.begin(), name->labels.end(), "Only A"), name->labels.end());
    EXPECT_EQ(std::find(name->labels.begin(), name->labels.end(), "A"), name->labels.end());
}

TEST_F(Spss, StripOptionOffKeepsLeadingBlanks) {
    vxs_get_global_defaults()->factor_strip_blanks = 0;
    Sheet* s = read(data_path("spss/types_unc.sav"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->cols[16]->text.get(0), "Bad T\xC3\xB6lz");
    EXPECT_EQ(s->cols[16]->text.get(3), "");
}

// ---- Hand-built files for the decoder's corners -------------------------------------------

// Builds a little- or big-endian system file: numeric and string variables, optional value
// labels, cases given as slot bytes (uncompressed) or as a raw compressed stream.
struct SavBuilder {
    bool big = false;
    std::string out;
    void i32(int32_t v) {
        uint32_t u = static_cast<uint32_t>(v);
        for (int i = 0; i < 4; ++i) out += static_cast<char>(u >> (big ? 24 - 8 * i : 8 * i));
    }
    void f64(double d) {
        uint64_t u;
        std::memcpy(&u, &d, 8);
        for (int i = 0; i < 8; ++i) out += static_cast<char>(u >> (big ? 56 - 8 * i : 8 * i));
    }
    void text(const std::string& s, size_t n) {
        out += s.substr(0, n) + std::string(n - std::min(n, s.size()), ' ');
    }
    void header(int32_t case_size, int32_t compressed, int32_t ncases, double bias = 100) {
        out += "$FL2";
        text("@(#) SPSS DATA FILE hand made", 60);
        i32(2);
        i32(case_size);
        i32(compressed);
        i32(0);
        i32(ncases);
        f64(bias);
        text("", 84);
    }
    void variable(int32_t type, const std::string& name, int32_t print = 0x050802) {
        i32(2);
        i32(type);
        i32(0);
        i32(0);
        i32(print);
        i32(print);
        text(name, 8);
        for (int k = 8; k < type; k += 8) {  // continuation slots
            i32(2);
            i32(-1);
            i32(0);
            i32(0);
            i32(0);
            i32(0);
            text("", 8);
        }
    }
    void numeric_labels(const std::vector<std::pair<double, std::string>>& labels,
                        std::vector<int32_t> vars) {
        i32(3);
        i32(static_cast<int32_t>(labels.size()));
        for (auto& [v, l] : labels) {
            f64(v);
            out += static_cast<char>(l.size());
            text(l, (l.size() / 8 + 1) * 8 - 1);
        }
        i32(4);
        i32(static_cast<int32_t>(vars.size()));
        for (int32_t v : vars) i32(v);
    }
    void end() {
        i32(999);
        i32(0);
    }
};

TEST_F(Spss, BothByteOrdersOfAHandBuiltFileAgree) {
    for (bool big : {false, true}) {
        SavBuilder b;
        b.big = big;
        b.header(4, 0, 2);
        b.variable(0, "x");
        b.variable(20, "s");
        b.end();
        b.f64(1.5);
        b.text("twenty characters!!!", 24);
        b.f64(-1e308);
        b.text("A", 24);
        ScratchDir dir;
        write_file(dir.file("h.sav"), b.out);
        Sheet* s = read(dir.file("h.sav"));
        ASSERT_NE(s, nullptr) << big;
        ASSERT_EQ(s->column_count, 2);
        EXPECT_EQ(s->cols[1]->num[0], 1.5);
        EXPECT_LE(s->cols[1]->num[1], s->missing);
        EXPECT_EQ(s->cols[2]->text.get(0), "twenty characters!!!");
        EXPECT_EQ(s->cols[2]->text.get(1), "A");
    }
}

TEST_F(Spss, NumericLabelsMatchWithinTolerance) {
    SavBuilder b;
    b.header(1, 0, 4);
    b.variable(0, "v");
    b.numeric_labels({{1, "one"}}, {1});
    b.end();
    for (double v : {1.0000000000001, 1.001, 2.0, 1.0000000000001}) b.f64(v);
    ScratchDir dir;
    write_file(dir.file("l.sav"), b.out);
    Sheet* s = read(dir.file("l.sav"));
    ASSERT_NE(s, nullptr);
    const Column* c = s->cols[1].get();
    ASSERT_EQ(c->type, VXS_FACTOR);
    // 1.0000000000001 takes the label of 1; 1.001 and 2 have none and are printed.
    EXPECT_EQ(c->labels, (std::vector<std::string>{"one", "1.001", "2"}));
    EXPECT_EQ(c->longest_label, 5);
}

TEST_F(Spss, CompressedCaseEndingMidBlockServesTheNextCase) {
    // Three numeric slots per case, two cases in one 8-command block plus a second block:
    // commands of case 1 (101, 253, 255), case 2 (254-as-number is not used; 102, 103, 104),
    // case 3 starts in the same block and ends in the next.
    SavBuilder b;
    b.header(3, 1, 3);
    b.variable(0, "a");
    b.variable(0, "b");
    b.variable(0, "c");
    b.end();
    std::string cmds = {char(101), char(253), char(255), char(102),
                        char(103), char(104), char(105), char(106)};
    b.out += cmds;
    b.f64(2.5);  // raw slot of case 1
    b.out += std::string{char(253), char(252), 0, 0, 0, 0, 0, 0};
    b.f64(7.25);
    ScratchDir dir;
    write_file(dir.file("c.sav"), b.out);
    Sheet* s = read(dir.file("c.sav"));
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->row_count, 3);
    EXPECT_EQ(s->cols[1]->num[0], 1);
    EXPECT_EQ(s->cols[2]->num[0], 2.5);
    EXPECT_LE(s->cols[3]->num[0], s->missing);
    EXPECT_EQ(s->cols[1]->num[1], 2);
    EXPECT_EQ(s->cols[2]->num[1], 3);
    EXPECT_EQ(s->cols[3]->num[1], 4);
    EXPECT_EQ(s->cols[1]->num[2], 5);
    EXPECT_EQ(s->cols[2]->num[2], 6);
    EXPECT_EQ(s->cols[3]->num[2], 7.25);
}

TEST_F(Spss, PaddingCommandsAnywhereAreSkipped) {
    // ReadStat pads each case to a whole command block; other writers may pad more. Here the
    // second case follows 40 blocks of padding, and a case count of -1 makes them be counted.
    SavBuilder b;
    b.header(2, 1, -1);
    b.variable(0, "a");
    b.variable(8, "s");
    b.end();
    b.out += std::string{char(101), char(253), 0, 0, 0, 0, 0, 0};
    b.text("first", 8);
    b.out += std::string(40 * 8, '\0');
    b.out += std::string{char(102), char(254), 0, 0, 0, 0, 0, 0};
    b.out += std::string(16, '\0');  // padding after the last case, as pspp writes it
    ScratchDir dir;
    write_file(dir.file("p.sav"), b.out);
    Sheet* s = read(dir.file("p.sav"));
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->row_count, 2);
    EXPECT_EQ(s->cols[1]->num[0], 1);
    EXPECT_EQ(s->cols[2]->text.get(0), "first");
    EXPECT_EQ(s->cols[1]->num[1], 2);
    EXPECT_EQ(s->cols[2]->text.get(1), " ");
}

TEST_F(Spss, CasesAcrossReadBlocksAndLongPaddingRuns) {
    // Over 4 MB of one-slot cases, each padded to a block, with 8000 bytes of padding placed
    // across the 4 MB mark: the case after them is still found. Counted first (-1 cases).
    SavBuilder b;
    b.header(1, 1, -1);
    b.variable(0, "a");
    b.end();
    const size_t ncases = 600000;
    b.out.reserve(b.out.size() + ncases * 8 + 8000);
    for (size_t i = 0; i < ncases; ++i) {
        if (b.out.size() + 8 + 4000 == (size_t(1) << 22)) b.out += std::string(8000, '\0');
        b.out += static_cast<char>(101 + i % 100);
        b.out += std::string(7, '\0');
    }
    ScratchDir dir;
    write_file(dir.file("big.sav"), b.out);
    Sheet* s = read(dir.file("big.sav"));
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->row_count, static_cast<int32_t>(ncases));
    size_t wrong = 0;
    for (size_t i = 0; i < ncases; ++i)
        wrong += s->cols[1]->num[i] != static_cast<double>(1 + i % 100);
    EXPECT_EQ(wrong, 0u);
}

TEST_F(Spss, DecompressorReturnsCountsEndAndPartialEnd) {
    std::string stream = {char(110), char(253), 0, char(252), 0, 0, 0, 0};
    stream += std::string(8, 'x');
    ByteReader in(stream);
    uint8_t slots[16] = {};
    spss_reset_decompressor();
    // Two slots: command 110 (value 10), then 253 with 8 bytes: 2 commands + 8.
    EXPECT_EQ(spss_read_compressed_record(slots, 2, 100, in), 10);
    double v;
    std::memcpy(&v, slots, 8);
    EXPECT_EQ(v, 10.0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(slots + 8), 8), "xxxxxxxx");
    // Padding then the end: nothing filled.
    EXPECT_EQ(spss_read_compressed_record(slots, 2, 100, in), 0);

    std::string partial = {char(101), char(252), 0, 0, 0, 0, 0, 0};
    ByteReader in2(partial);
    spss_reset_decompressor();
    EXPECT_EQ(spss_read_compressed_record(slots, 2, 100, in2), -1);
    // The system-missing command is not a number in either byte order.
    std::string sysmis = {char(255), 0, 0, 0, 0, 0, 0, 0};
    ByteReader in3(sysmis);
    spss_reset_decompressor();
    EXPECT_EQ(spss_read_compressed_record(slots, 1, 100, in3), 1);
    std::memcpy(&v, slots, 8);
    EXPECT_TRUE(std::isnan(v));
}

TEST_F(Spss, HugeValuesAreClipped) {
    SavBuilder b;
    b.header(1, 0, 2);
    b.variable(0, "v");
    b.end();
    b.f64(1e308);
    b.f64(9e307);
    ScratchDir dir;
    write_file(dir.file("h.sav"), b.out);
    Sheet* s = read(dir.file("h.sav"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->cols[1]->num[0], 9.99999e307);
    EXPECT_EQ(s->cols[1]->num[1], 9e307);
}

TEST_F(Spss, ForeignProductNameWarnsAndReads) {
    SavBuilder b;
    b.header(1, 0, 1);
    b.out.replace(4, 19, "made by someone els");
    b.variable(0, "v");
    b.end();
    b.f64(3);
    ScratchDir dir;
    write_file(dir.file("w.sav"), b.out);
    testing::internal::CaptureStdout();
    Sheet* s = read(dir.file("w.sav"));
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(out,
              "Warning: " + dir.file("w.sav") + " may not be in standard SPSS windows format!\n");
}

TEST_F(Spss, ColumnsAboveTheLimitAreDroppedWithAWarning) {
    VXSMAXCOLUMNS = 2;
    testing::internal::CaptureStdout();
    Sheet* s = read(data_path("spss/types_comp.sav"));
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(out, "Warning Columns above 2 NOT transfered!\n");
    EXPECT_EQ(s->column_count, 2);
    EXPECT_EQ(s->cols[2]->name, "SCORE");
}

// ---- Broken files ------------------------------------------------------------------------

TEST_F(Spss, FilesCutAnywhereNeverCrash) {
    for (const char* f : {"types_comp.sav", "types_unc_be.sav", "haven_byte.sav"}) {
        std::string bytes = read_file(data_path(std::string("spss/") + f));
        ScratchDir dir;
        for (size_t cut = 0; cut < bytes.size(); cut += 7) {
            write_file(dir.file("cut.sav"), bytes.substr(0, cut));
            testing::internal::CaptureStdout();  // warnings of cut files are expected
            Sheet* s = read(dir.file("cut.sav"));
            testing::internal::GetCapturedStdout();
            if (!s) continue;
            // Whatever was read is a whole sheet: every column as long as the rows.
            for (size_t c = 1; c < s->cols.size(); ++c)
                EXPECT_EQ(s->cols[c]->value_count(), static_cast<size_t>(s->row_count)) << cut;
        }
    }
}

TEST_F(Spss, CutInTheDictionaryFailsWithStatusFive) {
    std::string bytes = read_file(data_path("spss/types_comp.sav"));
    ScratchDir dir;
    for (size_t cut : {size_t(3), size_t(100), size_t(176), size_t(600)}) {
        write_file(dir.file("cut.sav"), bytes.substr(0, std::max<size_t>(cut, 4)));
        RunResult r = run_morvalen(dir.path(), {"cut.sav", "out.csv"});
        EXPECT_EQ(r.status, 5) << cut;
        EXPECT_EQ(r.out, " Error: No valid data in input file cut.sav!\n") << cut;
    }
}

TEST_F(Spss, CutInTheDataKeepsTheCasesRead) {
    std::string bytes = read_file(data_path("spss/types_unc.sav"));
    ScratchDir dir;
    // The last case is cut in the middle: the cases before it are whole, the cut one partial.
    write_file(dir.file("cut.sav"), bytes.substr(0, bytes.size() - 100));
    Sheet* s = read(dir.file("cut.sav"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->row_count, 6);
    EXPECT_EQ(s->cols[1]->num[4], 5);
    EXPECT_EQ(s->cols[1]->num[5], 6);  // first slot of the partial case
}

TEST_F(Spss, LyingCountsSizeNothing) {
    ScratchDir dir;
    auto patch32 = [](std::string b, size_t at, uint32_t v) {
        std::memcpy(&b[at], &v, 4);
        return b;
    };
    std::string good = read_file(data_path("spss/types_comp.sav"));
    // A case count of two thousand million: the rows are what the data can hold.
    write_file(dir.file("n.sav"), patch32(good, 80, 0x7fffffff));
    Sheet* s = read(dir.file("n.sav"));
    ASSERT_NE(s, nullptr);
    EXPECT_LT(s->row_count, 10000);
    EXPECT_EQ(s->cols[1]->num[5], 6);
    // A huge case size: the dictionary still fits, one partial case comes out.
    write_file(dir.file("k.sav"), patch32(good, 68, 0x7fffffff));
    s = read(dir.file("k.sav"));
    if (s) {
        EXPECT_LT(s->row_count, 10000);
    }
    // Zero cases, a zero case size and a wrong layout code are refused.
    for (auto [at, v] : {std::pair<size_t, uint32_t>{80, 0}, {68, 0}, {64, 3}}) {
        write_file(dir.file("z.sav"), patch32(good, at, v));
        EXPECT_EQ(read(dir.file("z.sav")), nullptr) << at;
    }
    // Absurd counts inside the dictionary records.
    SavBuilder b;
    b.header(1, 0, 1);
    b.variable(0, "v");
    std::string base = b.out;
    for (int kind = 0; kind < 4; ++kind) {
        b.out = base;
        if (kind == 0) {
            b.i32(3);
            b.i32(0x7fffffff);  // value labels
        } else if (kind == 1) {
            b.i32(4);
            b.i32(0x7fffffff);  // label variables
        } else if (kind == 2) {
            b.i32(7);
            b.i32(3);
            b.i32(0x10000);
            b.i32(0x10000);  // extension of 4 GB
        } else {
            b.i32(6);
            b.i32(0x7fffffff);  // document lines
        }
        b.out += std::string(64, '\0');
        write_file(dir.file("a.sav"), b.out);
        EXPECT_EQ(read(dir.file("a.sav")), nullptr) << kind;
    }
    // An unknown record type and a bad variable type code.
    b.out = base;
    b.i32(5);
    write_file(dir.file("u.sav"), b.out);
    EXPECT_EQ(read(dir.file("u.sav")), nullptr);
}

}  // namespace

namespace {

// ---- Whole conversions -------------------------------------------------------------------

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream ss(text);
    std::string line;
    while (std::getline(ss, line)) lines.push_back(line);
    return lines;
}

TEST(SpssConversion, EveryFileConvertsToCsvAndVsh) {
    for (const char* f :
         {"types_comp.sav", "types_unc.sav", "types_comp_be.sav", "types_unc_be.sav",
          "types_nocount.sav", "haven_byte.sav", "haven_none.sav"}) {
        SCOPED_TRACE(f);
        ScratchDir dir;
        write_file(dir.file("in.sav"), read_file(data_path(std::string("spss/") + f)));
        RunResult r = run_morvalen(dir.path(), {"in.sav", "out.vsh"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, " 6 records transferred.\n");
        EXPECT_TRUE(file_exists(dir.file("out.vsh")));
        r = run_morvalen(dir.path(), {"in.sav", "out.csv"});
        EXPECT_EQ(r.status, 0);
        auto lines = lines_of(read_file(dir.file("out.csv")));
        ASSERT_EQ(lines.size(), 7u);
        // Value labels come out as the factor's labels.
        if (std::string(f).rfind("types", 0) == 0) {
            EXPECT_EQ(lines[0].rfind("ID,SCORE,GRADE!,", 0), 0u) << lines[0];
            EXPECT_NE(lines[1].find("'Good'"), std::string::npos) << lines[1];
            EXPECT_NE(lines[2].find("'Female'"), std::string::npos) << lines[2];
        } else {
            EXPECT_EQ(lines[0].rfind("RATING!,WEIGHT,GROUP!", 0), 0u) << lines[0];
            EXPECT_NE(lines[1].find("'Alpha'"), std::string::npos) << lines[1];
        }
    }
}

TEST(SpssConversion, InputOptionIKeepsDeclaredMissingInTheOutput) {
    ScratchDir dir;
    write_file(dir.file("in.sav"), read_file(data_path("spss/types_unc.sav")));
    RunResult r = run_morvalen(dir.path(), {"in.sav", "plain.csv"});
    ASSERT_EQ(r.status, 0);
    r = run_morvalen(dir.path(), {"in.sav/i", "kept.csv"});
    ASSERT_EQ(r.status, 0);
    auto plain = lines_of(read_file(dir.file("plain.csv")));
    auto kept = lines_of(read_file(dir.file("kept.csv")));
    ASSERT_EQ(kept.size(), 7u);
    EXPECT_EQ(plain[2].find("-99"), std::string::npos) << plain[2];
    EXPECT_NE(kept[2].find("-99"), std::string::npos) << kept[2];
}

}  // namespace

TEST(SpssConvert, DatesAndTimesReadAsCalendarDates) {
    ScratchDir dir;
    write_file(dir.file("in.sav"), read_file(data_path("spss/types_comp.sav")));
    RunResult r = run_morvalen(dir.path(), {"in.sav", "out.tab"});
    ASSERT_EQ(r.status, 0) << r.out;
    std::string tab = read_file(dir.file("out.tab"));
    // BORN (DATE11) and TS (DATETIME20) of the first three cases.
    EXPECT_NE(tab.find("\t15/03/2000\t15/03/2000 13:45:30.00\t"), std::string::npos) << tab;
    EXPECT_NE(tab.find("\t01/01/70\t01/01/70 00:00:00.00\t"), std::string::npos) << tab;
    EXPECT_NE(tab.find("\t29/02/96\t29/02/96 23:59:59.00\t"), std::string::npos) << tab;
    // DUR (TIME8) of the first case: an hour and a half.
    EXPECT_NE(tab.find("\t 1:30:00\t"), std::string::npos) << tab;
}
