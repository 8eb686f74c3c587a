// Damaged and lying files: status and message, nothing left behind (samples as they are: hashes).
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "test_util.h"

namespace {

using Damage = std::function<std::string(const std::string&)>;
using At = std::function<size_t(const std::string&)>;

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
const std::string kBoundSheet("\x85\x00", 2), kB8 = "xls/trial_biff8.xls";
At dimensions(size_t offset) { return xls_record(std::string("\x00\x02\x0e\x00", 4), 8, le_bytes(13, 4), offset); }
std::string no_data(const std::string& name) { return " Error: No valid data in input file " + name + "!\n"; }
std::string dbf_ends(const std::string& n, const char* of) {
    return " Warning: DBF file ends after " + n + " of " + of + " records; the rest is not read!\n " + n +
           " records transferred.\n";
}

// A damaged copy is named bad.<extension> unless named otherwise.
const struct {
    std::string sample;   // under tests/data
    Damage damage;        // null: the sample as it is
    int status;
    std::string message;  // empty: any
    bool exact = true;    // else contained
    const char* as = nullptr;
} kRows[] = {
    {kB8, put_le(dimensions(8), 0x01000000, 4), 9, "Error: Too much data in Excel file for Morvalen to handle!\n"},
    {kB8, put_le(dimensions(4), 20, 4), 10, "Error: Invalid Excel file Dimension record!\n"},  // first row after last
    {kB8, put_le(dimensions(4), 13, 4), 10, "Error: Excel Sheet is empty!\n"},
    {"xls/trial_biff5.xls", put_le(xls_record(kBoundSheet, 11, "Trial", 2), 0x2100, 2), 12,  // over 8224 bytes
     "Error: Invalid Excel record length!\n"},
    {"xls/strings_biff8.xls", put_le(xls_record(std::string("\xfc\x00", 2), 8, le_bytes(602, 4), 8), 0x10000000, 4),
     13, "Error: Invalid Excel Global label storage record!\n"},  // string count
    {kB8, put_le(xls_record(kBoundSheet, 12, "Trial", 0), 0x7FFF, 2), 14, "Error: Invalid Excel record code!\n"},
    {kB8,
     [](std::string b) {  // every sheet marked as a chart
         for (size_t at = b.find(kBoundSheet); at != std::string::npos; at = b.find(kBoundSheet, at + 1))
             if (at + 12 < b.size() && b[at + 3] == 0 && b[at + 9] == 0 &&
                 static_cast<uint8_t>(b[at + 10]) + 8u == static_cast<uint8_t>(b[at + 2]))
                 b[at + 9] = 2;
         return b;
     },
     15, "Empty Excel spreadsheet - no valid worksheets!\n"},
    // A zip of something else (cut archives: cut_files_test.cpp).
    {"xlsx/repeats.ods", [](const std::string&) { return std::string("PK\x03\x04", 4) + std::string(40, '\0'); }, 5,
     "", true, "other.zip"},
    {"lotus/damaged/huge_range.wk1", nullptr, 9, "Error: Too much data in Lotus file for Morvalen to handle!\n"},
    {"lotus/protected.qpw", nullptr, 4,
     "Quattro File is Password protected - cannot read data.\n"
     " Warning: No valid data found in file or specified sheet/range!\n"},
    {"dbf/empty.dbf", nullptr, 5, "DBF file is empty." + no_data("empty.dbf")},
    {"dbf/bad_terminator.dbf", nullptr, 5, "Header termination incorrect in DBF file." + no_data("bad_terminator.dbf")},
    {"dbf/huge_count.dbf", nullptr, 0,
     dbf_ends("4", "4294967295") + " Text Conversion Warnings are given in file: TxtToNum.ERR!\n"},
    {"dbf/cut_data.dbf", nullptr, 0, dbf_ends("2", "4")},
    // A block chain looping back ends at the block met twice, keeping the rows read.
    {"paradox/chain_loop.db", nullptr, 0, " 39 records transferred.\n"},
    // Counts far beyond the bytes (ReadStat's own message comes first).
    {"readstat/pandas_118.dta", put_le(after("<K>"), 0xFFFF, 2), 5, no_data("bad.dta"), false},
    {"readstat/pandas_118.dta", put_le(after("<N>"), uint64_t(1) << 60, 8), 5, no_data("bad.dta"), false},
    {"readstat/haven.zsav", put_le(offset(80), 0x7FFFFFFF, 4), 5, no_data("bad.zsav"), false},
    {"shape/polygonz.shp", put_le(offset(144), 0x7fffffff7fffffff, 8), 5,
     "Shape dBASE table bad.DBF was not foundBad Z PolyLine Shape record!" + no_data("bad.shp")},
    {"bmp/palette_8_bit.bmp", put_le(offset(18), 0x0fffffff, 4), 5, no_data("bad.bmp")},
    {"wav/mono_16_bit.wav", put_le(after("data"), 0x7ffffff0, 4), 5, no_data("bad.wav")},
};

TEST(DamagedFiles, EndWithTheirStatusAndMessage) {
    for (const auto& row : kRows) {
        const std::filesystem::path sample(row.sample);
        const std::string name =
            row.as ? row.as : row.damage ? "bad" + sample.extension().string() : sample.filename().string();
        SCOPED_TRACE(row.sample + " as " + name);
        ScratchDir dir;
        const std::string bytes = read_file(data_path(row.sample));
        ASSERT_FALSE(bytes.empty());
        write_file(dir.file(name), row.damage ? row.damage(bytes) : bytes);
        RunResult r = run_morvalen(dir.path(), {name, "out.csv"});
        EXPECT_EQ(r.status, row.status) << r.out;
        if (row.exact) { EXPECT_EQ(r.out, row.message.empty() ? r.out : row.message); }
        else { EXPECT_NE(r.out.find(row.message), std::string::npos) << r.out; }
        EXPECT_EQ(file_exists(dir.file("out.csv")), row.status == 0);
        EXPECT_FALSE(file_exists(dir.file("out.$$$")));
    }
}

}  // namespace
