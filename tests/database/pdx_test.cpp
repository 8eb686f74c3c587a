// Paradox tables of pxlib (newer layout) and hand-built older ones pxlib reads; encodings, widths, damage.
#include <gtest/gtest.h>

#include <tuple>

#include "database/vxr_pdx.h"
#include "driver/vxs_formats.h"
#include "sheet/vxs_sheet.h"
#include "statpack/reader_test_util.h"
#include "test_util.h"

namespace {
using Paradox = ReaderTest<read_pdx_into_sheet>;
using Rows = std::vector<std::vector<std::string>>;
}  // namespace

TEST_F(Paradox, BothLayoutsConvert) {
    const struct { const char* file; int32_t rows; Rows head; /* the .csv's first lines */ } cases[] = {
        // pxlib's newer layout (version byte 12). The memo field makes no column; the field after
        // it keeps its values. pxlib stores a zero number with the sign bit: a value, not blank.
        {"pxlib_types", 300, {{"Name", "Small", "Big", "Money", "Num", "Flag", "After"},
                              {"row 1", "-2", "-70000", "12345.67", "0", "0", "1000"},
                              {"row 2", "300", "70001", "-0.25", "0.5", "1", "1001"}}},
        // The older layout: eight zero bytes are blank, a date is its stored day number, a time's
        // milliseconds become seconds.
        {"old_layout", 60, {{"Name", "Price", "SixteenCharsName", "Count", "Ratio", "Day", "Seen", "Clock", "Id"},
                            {"item 0", "12345.67", "1", "-2", "*", "730000", "0", "3723", "1"},
                            {"item 1", "-0.50", "2", "300", "0.125", "730001", "1", "3723", "2"}}},
        // A newer-layout table whose version byte says nothing fails the older checks and is read
        // through the newer offsets.
        {"new_layout_unknown_version", 3, {{"Name", "Price"}, {"item 0", "12345.67"}, {"item 1", "-0.50"}, {"item 2", "-1.00"}}},
    };
    for (const auto& c : cases) {
        Rows csv = convert_whole(std::string("paradox/") + c.file + ".db", c.rows);
        csv.resize(c.head.size());
        EXPECT_EQ(csv, c.head) << c.file;
    }
    EXPECT_EQ(run_morvalen(dir.path(), {copy_sample(dir, "paradox/pxlib_empty.db"), "out.csv"}).status, 4);

    Sheet* old = read(data_path("paradox/old_layout.db"));
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(std::tuple(old->cols[6]->num[59], old->cols[6]->representation, old->cols[9]->num[59]),
              std::tuple(730059, VXS_REP_FIXED, 60));
    // Widths: money 12345.67 under a five-letter name gives 4 + 3 + 2 + 1; small values under a
    // sixteen-letter name give the name's length + 1.
    EXPECT_EQ(std::tuple(old->cols[2]->width, old->cols[3]->width, old->cols[1]->nlevels), std::tuple(10, 17, 7));
}

TEST_F(Paradox, ValueEncodings) {
    const struct { uint8_t type; std::string bytes; double want; } cases[] = {
        {PDX_SHORT, std::string("\x7F\xFE", 2), -2},   {PDX_SHORT, std::string("\x81\x2C", 2), 300},
        {PDX_SHORT, std::string("\x80\x00", 2), 0},    {PDX_LONG, std::string("\x80\0\0\x05", 4), 5},
        {PDX_TIME, std::string("\x80\0\x03\xE8", 4), 1},
        {PDX_NUMBER, std::string("\xBF\xF0\0\0\0\0\0\0", 8), 1},
        {PDX_NUMBER, std::string("\x40\x0F\xFF\xFF\xFF\xFF\xFF\xFF", 8), -1},
        {PDX_NUMBER, std::string(8, '\0'), -1e307},    {PDX_LOGICAL, std::string("\x81", 1), 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pdx_decode(c.type, reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), -1e307), c.want);
}

TEST_F(Paradox, DamagedTables) {
    std::string good = read_file(data_path("paradox/old_layout.db"));
    auto with = [&](size_t at, std::string bytes) { return patched(good, at, bytes); };
    std::vector<std::string> broken = {
        read_file(data_path("paradox/count_lies.db")),
        with(88, std::string("\x07\x04", 2)),   // a type that is never accepted
        with(0, std::string("\0\0", 2)),        // record size 0
        with(2, std::string("\xFF\xFF", 2)),    // header past the file
        with(0, std::string("\x10\0", 2)),      // fields longer than the record
    };
    expect_no_data(broken, "t.db");
}
