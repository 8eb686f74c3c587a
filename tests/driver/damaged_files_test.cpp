// Damaged and lying files: status and message, nothing left behind (samples as they are: hashes).
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "test_util.h"

namespace {

using Damage = std::function<std::string(const std::string&)>;
using At = std::function<size_t(const std::string&)>;

struct Row {
    const char* sample;  // under tests/data
    Damage damage;       // null: the sample as it is
    const char* name;    // the name morvalen is given; null: the sample's own
    int status;
    std::string message;  // empty: any
    bool exact = true;    // else contained
};

// n bytes of v little-endian at the offset found by at.
Damage put_le(At at, uint64_t v, size_t n) {
    return [at, v, n](const std::string& b) { return patched(b, at(b), le_bytes(v, n)); };
}
At offset(size_t at) { return [at](const std::string&) { return at; }; }
At after(const std::string& tag) { return [tag](const std::string& b) { return b.find(tag) + tag.size(); }; }
// The first Excel record starting with head whose bytes at tag_at are tag, plus offset.
At xls_record(const std::string& head, size_t tag_at, const std::string& tag, size_t offset) {
    return [=](const std::string& b) {
        size_t at = b.find(head);
        while (at != std::string::npos && b.compare(at + tag_at, tag.size(), tag) != 0) at = b.find(head, at + 1);
        return at == std::string::npos ? b.size() : at + offset;
    };
}
const std::string kDimensions("\x00\x02\x0e\x00", 4), kBoundSheet("\x85\x00", 2);
At dimensions(size_t offset) { return xls_record(kDimensions, 8, le_bytes(13, 4), offset); }
std::string no_data(const std::string& name) { return " Error: No valid data in input file " + name + "!\n"; }
std::string dbf_ends(const char* n, const char* of) {
    return " Warning: DBF file ends after " + std::string(n) + " of " + of + " records; the rest is not read!\n " + n +
           " records transferred.\n";
}

const Row kRows[] = {
    {"xls/trial_biff8.xls", put_le(dimensions(8), 0x01000000, 4), "bad.xls", 9,  // sixteen million rows
     "Error: Too much data in Excel file for Morvalen to handle!\n"},
    {"xls/trial_biff8.xls", put_le(dimensions(4), 20, 4), "bad.xls", 10,  // first row after the last
     "Error: Invalid Excel file Dimension record!\n"},
    {"xls/trial_biff8.xls", put_le(dimensions(4), 13, 4), "bad.xls", 10, "Error: Excel Sheet is empty!\n"},
    {"xls/trial_biff5.xls", put_le(xls_record(kBoundSheet, 11, "Trial", 2), 0x2100, 2), "bad.xls", 12,
     "Error: Invalid Excel record length!\n"},  // a globals record over 8224 bytes
    {"xls/strings_biff8.xls", put_le(xls_record(std::string("\xfc\x00", 2), 8, le_bytes(602, 4), 8), 0x10000000, 4),
     "bad.xls", 13, "Error: Invalid Excel Global label storage record!\n"},  // string count
    {"xls/trial_biff8.xls", put_le(xls_record(kBoundSheet, 12, "Trial", 0), 0x7FFF, 2), "bad.xls", 14,
     "Error: Invalid Excel record code!\n"},
    {"xls/trial_biff8.xls",
     [](std::string b) {  // every sheet marked as a chart
         for (size_t at = b.find(kBoundSheet); at != std::string::npos; at = b.find(kBoundSheet, at + 1))
             if (at + 12 < b.size() && b[at + 3] == 0 && b[at + 9] == 0 &&
                 static_cast<uint8_t>(b[at + 10]) + 8u == static_cast<uint8_t>(b[at + 2]))
                 b[at + 9] = 2;
         return b;
     },
     "bad.xls", 15, "Empty Excel spreadsheet - no valid worksheets!\n"},
    // A zip of something else (cut archives: cut_files_test.cpp).
    {"xlsx/repeats.ods", [](const std::string&) { return std::string("PK\x03\x04", 4) + std::string(40, '\0'); },
     "other.zip", 5},
    {"lotus/damaged/huge_range.wk1", nullptr, nullptr, 9, "Error: Too much data in Lotus file for Morvalen to handle!\n"},
    {"lotus/protected.qpw", nullptr, nullptr, 4,
     "Quattro File is Password protected - cannot read data.\n"
     " Warning: No valid data found in file or specified sheet/range!\n"},
    {"dbf/empty.dbf", nullptr, nullptr, 5, "DBF file is empty." + no_data("empty.dbf")},
    {"dbf/bad_terminator.dbf", nullptr, nullptr, 5,
     "Header termination incorrect in DBF file." + no_data("bad_terminator.dbf")},
    {"dbf/huge_count.dbf", nullptr, nullptr, 0,
     dbf_ends("4", "4294967295") + " Text Conversion Warnings are given in file: TxtToNum.ERR!\n"},
    {"dbf/cut_data.dbf", nullptr, nullptr, 0, dbf_ends("2", "4")},
    // A block chain looping back ends at the block met twice, keeping the rows read.
    {"paradox/chain_loop.db", nullptr, "loop.db", 0, " 39 records transferred.\n"},
    // Counts far beyond the bytes (ReadStat's own message comes first).
    {"readstat/pandas_118.dta", put_le(after("<K>"), 0xFFFF, 2), "vars.dta", 5, no_data("vars.dta"), false},
    {"readstat/pandas_118.dta", put_le(after("<N>"), uint64_t(1) << 60, 8), "obs.dta", 5, no_data("obs.dta"), false},
    {"readstat/haven.zsav", put_le(offset(80), 0x7FFFFFFF, 4), "cases.zsav", 5, no_data("cases.zsav"), false},
    {"shape/polygonz.shp", put_le(offset(144), 0x7fffffff7fffffff, 8), "counts.shp", 5,
     "Shape dBASE table counts.DBF was not foundBad Z PolyLine Shape record!" + no_data("counts.shp")},
    {"bmp/palette_8_bit.bmp", put_le(offset(18), 0x0fffffff, 4), "wide.bmp", 5, no_data("wide.bmp")},
    {"wav/mono_16_bit.wav", put_le(after("data"), 0x7ffffff0, 4), "long.wav", 5, no_data("long.wav")},
};

TEST(DamagedFiles, EndWithTheirStatusAndMessage) {
    for (const Row& row : kRows) {
        const std::string name = row.name ? row.name : std::filesystem::path(row.sample).filename().string();
        SCOPED_TRACE(std::string(row.sample) + " as " + name);
        ScratchDir dir;
        const std::string bytes = read_file(data_path(row.sample));
        ASSERT_FALSE(bytes.empty());
        write_file(dir.file(name), row.damage ? row.damage(bytes) : bytes);
        RunResult r = run_morvalen(dir.path(), {name, "out.csv"});
        EXPECT_EQ(r.status, row.status) << r.out;
        if (row.exact) EXPECT_EQ(r.out, row.message.empty() ? r.out : row.message);
        else EXPECT_NE(r.out.find(row.message), std::string::npos) << r.out;
        EXPECT_EQ(file_exists(dir.file("out.csv")), row.status == 0);
        EXPECT_FALSE(file_exists(dir.file("out.$$$")));
    }
}

}  // namespace
