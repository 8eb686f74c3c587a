// Damaged transport files: cut at every offset, lying counts and lengths in the headers; and
// whole conversions through the morvalen binary (transport to .VSH and .csv, CSV to transport).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "driver/vxs_formats.h"
#include "sheet/vxs_sheet.h"
#include "statpack/vxs_sas.h"
#include "test_util.h"

namespace {

const char* NOT_XPT = "The file is not a SAS transport file.\n";
const char* CANNOT = "Cannot successfully read SAS transport file\n";
const char* NO_DATA = "No Data header found in SAS transport file\n";

struct XptCorrupt : ::testing::Test {
    ScratchDir dir;
    std::string good = read_file(data_path("xpt/values_labels_dates.xpt"));

    // Reads the bytes as a transport file: status, and what was printed.
    std::pair<int16_t, std::string> read_bytes(const std::string& bytes) {
        vxs_init();
        VXSMAXCOLUMNS = 250;
        std::string path = dir.file("in.xpt");
        write_file(path, bytes);
        lastsheet = nullptr;
        testing::internal::CaptureStdout();
        int16_t status = read_sas_transport_into_sheet(path.c_str());
        std::fflush(stdout);
        return {status, testing::internal::GetCapturedStdout()};
    }
    void put(std::string& b, size_t at, const std::string& text) { b.replace(at, text.size(), text); }
    void put_u16(std::string& b, size_t at, unsigned v) {
        b[at] = char(v >> 8);
        b[at + 1] = char(v & 0xFF);
    }
    void put_u32(std::string& b, size_t at, uint32_t v) {
        put_u16(b, at, v >> 16);
        put_u16(b, at + 2, v & 0xFFFF);
    }
};

// values_labels_dates.xpt: 8 header records, 8 descriptors of 140 bytes (1120 bytes, padded to
// 14 records), OBS header at 1760, 6 observations of 63 bytes from 1840.
constexpr size_t DESCRIPTORS = 640, OBS_HEADER = 1760, DATA = 1840, OBS_LEN = 63;

TEST_F(XptCorrupt, CutAtEveryOffset) {
    ASSERT_EQ(good.size(), 2240u);
    for (size_t cut = 0; cut < good.size(); ++cut) {
        // Every offset next to a record or row boundary, every seventh elsewhere.
        bool near = cut % 80 < 2 || cut % 80 > 78 || (cut > DATA && (cut - DATA) % OBS_LEN < 2);
        if (!near && cut % 7) continue;
        auto [status, out] = read_bytes(good.substr(0, cut));
        SCOPED_TRACE("cut at " + std::to_string(cut));
        if (cut < DESCRIPTORS) {
            EXPECT_EQ(status, 0);
            EXPECT_EQ(out, NOT_XPT);
        } else if (cut < DESCRIPTORS + 8 * 140) {
            EXPECT_EQ(status, 0);
            EXPECT_EQ(out, CANNOT);
        } else if (cut < DATA) {
            EXPECT_EQ(status, 0);
            EXPECT_EQ(out, std::string(NO_DATA) + CANNOT);
        } else if (cut < DATA + OBS_LEN) {
            EXPECT_EQ(status, 0);
            EXPECT_EQ(out, "SAS transport file " + dir.file("in.xpt").substr(0, 100) + " is empty.\n" + CANNOT);
        } else {
            // A short read in the observations ends the data: whole rows only.
            ASSERT_EQ(status, 1) << out;
            int32_t rows = int32_t(std::min<size_t>((cut - DATA) / OBS_LEN, 6));
            EXPECT_EQ(lastsheet->row_count, rows);
            for (auto& c : lastsheet->cols) EXPECT_EQ(c->value_count(), size_t(rows));
        }
    }
}

TEST_F(XptCorrupt, HeaderRecordsAreChecked) {
    std::string b = good;
    put(b, 0, "HEADER RECORD*******");
    EXPECT_EQ(read_bytes(b).first, 1);
    std::string lower = good;
    put(lower, 0, "header record*******");  // compared without regard to case
    put(lower, 80, "sas     sas");
    EXPECT_EQ(read_bytes(lower).first, 1);

    struct Damage {
        size_t at;
        const char* text;
    } damages[] = {
        {0, "HEADER RECORD******X"},  // library header
        {80, "SAT"},                   // first real header
        {88, "XAS"},
        {240, "HEADER_RECORD"},        // member header
        {240 + 75, "138"},             // descriptor length neither 136 nor 140
        {240 + 75, "999"},
        {320, "XEADER"},               // descriptor header
        {400, "SAX"},                  // member data
        {560, "HEADER RECORD*****X*"}, // NAMESTR header
    };
    for (const Damage& d : damages) {
        std::string x = good;
        put(x, d.at, d.text);
        auto [status, out] = read_bytes(x);
        EXPECT_EQ(status, 0) << d.at << " " << d.text;
        EXPECT_EQ(out, NOT_XPT) << d.at << " " << d.text;
    }
    std::string x = good;
    put(x, OBS_HEADER, "HEADER RECORD******!");
    EXPECT_EQ(read_bytes(x).second, std::string(NO_DATA) + CANNOT);
}

TEST_F(XptCorrupt, LyingVariableCountNeverOverAllocates) {
    for (const char* count : {"9999", "0009", "0100"}) {
        std::string b = good;
        put(b, 560 + 54, count);
        auto [status, out] = read_bytes(b);
        EXPECT_EQ(status, 0) << count;
        EXPECT_FALSE(out.empty());
    }
    std::string none = good;
    put(none, 560 + 54, "0000");
    auto [status, out] = read_bytes(none);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, std::string(NO_DATA) + CANNOT);  // the first descriptor is not a header
}

TEST_F(XptCorrupt, BadLengthsAndPositionsFailTheRead) {
    struct Lie {
        size_t var;
        size_t field;
        unsigned value;
    } lies[] = {
        {3, 4, 0},       // character of length 0
        {3, 4, 201},     // character longer than 200
        {0, 4, 2},       // numeric shorter than 3
        {0, 4, 9},       // numeric longer than 8
        {1, 4, 0xFFFF},  // numeric of 65535 bytes
    };
    for (const Lie& l : lies) {
        std::string b = good;
        put_u16(b, DESCRIPTORS + 140 * l.var + l.field, l.value);
        auto [status, out] = read_bytes(b);
        EXPECT_EQ(status, 0) << l.var << " " << l.value;
        EXPECT_EQ(out.substr(out.size() - std::string(CANNOT).size()), CANNOT) << out;
    }
    // A value placed outside the observation.
    for (uint32_t pos : {0xFFFFFFF0u, 60u}) {
        std::string b = good;
        put_u32(b, DESCRIPTORS + 140 * 2 + 84, pos);
        auto [status, out] = read_bytes(b);
        EXPECT_EQ(status, 0) << pos;
        EXPECT_EQ(out, CANNOT) << pos;
    }
    // The last descriptor's position sets the observation length: a huge one leaves no rows.
    std::string b = good;
    put_u32(b, DESCRIPTORS + 140 * 7 + 84, 0x7FFFFFF0u);
    auto [status, out] = read_bytes(b);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "SAS transport file " + dir.file("in.xpt").substr(0, 100) + " is empty.\n" + CANNOT);
}

TEST_F(XptCorrupt, UnknownVariableTypesArePassedOver) {
    std::string b = good;
    put_u16(b, DESCRIPTORS + 140 * 1, 7);  // "height" becomes a type nobody knows
    auto [status, out] = read_bytes(b);
    ASSERT_EQ(status, 1) << out;
    EXPECT_EQ(lastsheet->column_count, 7);
    EXPECT_EQ(lastsheet->cols[2]->name, "price");
}

TEST_F(XptCorrupt, NamelessVariablesGetDefaultNames) {
    std::string b = good;
    put(b, DESCRIPTORS + 140 * 1 + 8, "        ");
    put(b, DESCRIPTORS + 140 * 2 + 8, std::string(1, '\0'));
    put(b, DESCRIPTORS + 140 * 3 + 8, "1st bad!");
    auto [status, out] = read_bytes(b);
    ASSERT_EQ(status, 1) << out;
    EXPECT_EQ(lastsheet->cols[2]->name, "C1");
    EXPECT_EQ(lastsheet->cols[3]->name, "C2");
    EXPECT_EQ(lastsheet->cols[4]->name, "%1st_bad");
}

// Whole conversions through the binary.
TEST(XptConvert, TransportToVshAndCsv) {
    ScratchDir dir;
    write_file(dir.file("in.xpt"), read_file(data_path("xpt/special_missing.xpt")));
    RunResult vsh = run_morvalen(dir.path(), {"in.xpt", "out.vsh"});
    EXPECT_EQ(vsh.status, 0) << vsh.out;
    EXPECT_EQ(vsh.out, " 27 records transferred.\n");
    EXPECT_TRUE(file_exists(dir.file("out.vsh")));

    write_file(dir.file("dates.xpt"), read_file(data_path("xpt/values_labels_dates.xpt")));
    RunResult csv = run_morvalen(dir.path(), {"dates.xpt", "out.csv"});
    EXPECT_EQ(csv.status, 0) << csv.out;
    std::string text = read_file(dir.file("out.csv"));
    // Dates come out as the days and times haven shows.
    for (const char* want : {"01-Jan-1960", "31-Dec-1999", "01-Mar-1900", "29-Feb-2024", "31-Dec-1959",
                             "17/05/2020 13:45:30.00", "12:34:56", "23:59:59", "'Dee Dee'", "1234.50"})
        EXPECT_NE(text.find(want), std::string::npos) << want << "\n" << text;
}

// The READ blocks of a command file: column name to its values as written ("*" for missing).
std::map<std::string, std::vector<std::string>> read_blocks(const std::string& vxc) {
    std::map<std::string, std::vector<std::string>> blocks;
    size_t at = 0;
    while ((at = vxc.find("READ ", at)) != std::string::npos) {
        size_t eol = vxc.find('\n', at);
        std::string name = vxc.substr(at + 5, eol - at - 5);
        std::vector<std::string>& values = blocks[name];
        size_t i = eol + 1;
        while (i < vxc.size()) {
            while (i < vxc.size() && (vxc[i] == ' ' || vxc[i] == '\n')) ++i;
            if (vxc[i] == ':') break;
            std::string token;
            if (vxc[i] == '\'') {
                for (++i; i < vxc.size(); ++i) {
                    if (vxc[i] == '\'' && i + 1 < vxc.size() && vxc[i + 1] == '\'') {
                        token += '\'';
                        ++i;
                    } else if (vxc[i] == '\'') {
                        ++i;
                        break;
                    } else {
                        token += vxc[i];
                    }
                }
            } else {
                while (i < vxc.size() && vxc[i] != ' ' && vxc[i] != '\n') token += vxc[i++];
            }
            values.push_back(token);
        }
        at = i;
    }
    return blocks;
}

std::vector<std::vector<std::string>> csv_rows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') quoted = !quoted;
        else if (c == ',' && !quoted) row.push_back(field), field.clear();
        else if (c == '\n' && !quoted) row.push_back(field), field.clear(), rows.push_back(row), row.clear();
        else field += c;
    }
    return rows;
}

// Every haven-made file to a command file: each value against what haven reads back.
TEST(XptConvert, EveryValueOfEveryHavenFileReachesTheCommandFile) {
    for (const char* stem : {"values_labels_dates", "special_missing", "text_100_chars", "char_only_padding"}) {
        SCOPED_TRACE(stem);
        ScratchDir dir;
        write_file(dir.file("in.xpt"), read_file(data_path(std::string("xpt/") + stem + ".xpt")));
        RunResult r = run_morvalen(dir.path(), {"in.xpt", "out.vxc"});
        ASSERT_EQ(r.status, 0) << r.out;
        auto blocks = read_blocks(read_file(dir.file("out.vxc")));
        auto want = csv_rows(read_file(data_path(std::string("xpt/") + stem + ".expected.csv")));
        ASSERT_GE(want.size(), 2u);
        for (size_t j = 0; j < want[0].size(); ++j) {
            const std::string& name = want[0][j];
            ASSERT_TRUE(blocks.count(name)) << name;
            const auto& got = blocks[name];
            ASSERT_EQ(got.size(), want.size() - 1) << name;
            for (size_t i = 1; i < want.size(); ++i) {
                const std::string& w = want[i][j];
                const std::string& g = got[i - 1];
                SCOPED_TRACE(name + " row " + std::to_string(i) + ": " + w + " vs " + g);
                bool number = !w.empty() && (std::isdigit((unsigned char)w.back()) || w.rfind("NA", 0) == 0 || w.find("Inf") != std::string::npos);
                if (std::string(stem) == "text_100_chars" || std::string(stem) == "char_only_padding" || !number) {
                    EXPECT_EQ(g, w.empty() ? " " : w.substr(0, 90));
                } else if (w.rfind("NA", 0) == 0 || w == "Inf") {
                    EXPECT_EQ(g, "*");
                } else if (w == "-Inf") {
                    EXPECT_EQ(g, "0");
                } else {
                    double v = std::stod(w), x = std::stod(g);
                    if (name == "born") x -= SAS_EPOCH_1600;
                    if (name == "stamp" || name == "clock") x = (x - SAS_EPOCH_1600) * 86400;
                    double tolerance = name == "stamp" || name == "clock" ? 0.1 : std::fabs(v) * 1e-11;
                    EXPECT_NEAR(x, v, tolerance);
                }
            }
        }
    }
}

// The delimited text output shows each date as the day haven reads.
TEST(XptConvert, DatesInTheCsvOutputAreTheDaysHavenReads) {
    ScratchDir dir;
    write_file(dir.file("in.xpt"), read_file(data_path("xpt/values_labels_dates.xpt")));
    RunResult r = run_morvalen(dir.path(), {"in.xpt", "out.csv"});
    ASSERT_EQ(r.status, 0) << r.out;
    auto got = csv_rows(read_file(dir.file("out.csv")));
    auto want = csv_rows(read_file(data_path("xpt/values_labels_dates.expected.csv")));
    ASSERT_EQ(got.size(), want.size());
    size_t born = 0;
    while (born < got[0].size() && got[0][born].find("born") == std::string::npos) ++born;
    ASSERT_LT(born, got[0].size());
    const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (size_t i = 1; i < want.size(); ++i) {
        std::string cell = got[i][born];
        cell.erase(0, cell.find_first_not_of(' '));
        if (want[i][4] == "NA") {
            EXPECT_EQ(cell, "*");
            continue;
        }
        using namespace std::chrono;
        year_month_day d{sys_days{year{1960} / January / 1} + days{std::stol(want[i][4])}};
        char text[32];
        std::snprintf(text, sizeof text, "%02u-%s-%04d", unsigned(d.day()), months[unsigned(d.month()) - 1], int(d.year()));
        EXPECT_EQ(cell, text) << i;
    }
}

TEST(XptConvert, DamagedTransportIsStatusFive) {
    ScratchDir dir;
    std::string good = read_file(data_path("xpt/values_labels_dates.xpt"));
    write_file(dir.file("cut.xpt"), good.substr(0, 700));
    RunResult r = run_morvalen(dir.path(), {"cut.xpt", "out.vsh"});
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(r.out, std::string(CANNOT) + " Error: No valid data in input file cut.xpt!\n");
}

TEST(XptConvert, CsvToTransportToVshKeepsEveryValue) {
    ScratchDir dir;
    write_file(dir.file("in.csv"),
               "id,height,name,when\n"
               "1,1.5,Anna,12.5\n"
               "2,*,Bo,-3\n"
               "3,-2.25,Dee Dee,0.1\n"
               "4,10000000000,x,123456789.125\n"
               "5,0.001,Ed,1e-70\n");
    RunResult t = run_morvalen(dir.path(), {"in.csv", "mid.tpt"});
    ASSERT_EQ(t.status, 0) << t.out;
    RunResult v = run_morvalen(dir.path(), {"mid.tpt", "out.vxc"});
    ASSERT_EQ(v.status, 0) << v.out;
    RunResult w = run_morvalen(dir.path(), {"mid.tpt", "out.vsh"});
    ASSERT_EQ(w.status, 0) << w.out;
    // Every value as the command file writes it (12 significant digits).
    std::string vxc = read_file(dir.file("out.vxc"));
    for (const char* want : {"READ id\n1 2 3 4 5 :", "READ height\n1.5 * -2.25 1.000000000000e+10 0.001 :",
                             "READ name\n'Anna' 'Bo' 'Dee Dee' 'x' 'Ed' :", "READ when\n12.5 -3 0.1 123456789.125 1e-70 :"})
        EXPECT_NE(vxc.find(want), std::string::npos) << want << "\n" << vxc;

    // And exactly, through the reader.
    vxs_init();
    lastsheet = nullptr;
    testing::internal::CaptureStdout();
    int16_t ok = read_sas_transport_into_sheet(dir.file("mid.tpt").c_str());
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(ok, 1);
    EXPECT_EQ(lastsheet->cols[2]->num, (std::vector<double>{1.5, vxs_missing, -2.25, 1e10, 0.001}));
    EXPECT_EQ(lastsheet->cols[4]->num, (std::vector<double>{12.5, -3, 0.1, 123456789.125, 1e-70}));
}

}  // namespace

TEST(XptConvert, OverflowNotesOpenTheCommandFile) {
    ScratchDir dir;
    write_file(dir.file("in.xpt"), read_file(data_path("xpt/overflow_markers.xpt")));
    RunResult r = run_morvalen(dir.path(), {"in.xpt", "out.vxc"});
    ASSERT_EQ(r.status, 0) << r.out;
    std::string vxc = read_file(dir.file("out.vxc"));
    EXPECT_EQ(vxc.rfind("      SAS Transport: Exponent overflow in Column X at row 2\n", 0), 0u) << vxc;
    EXPECT_NE(vxc.find("\"Data taken from File: in.xpt\""), std::string::npos);
}
