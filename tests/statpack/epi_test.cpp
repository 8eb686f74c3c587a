// Epi-Info files: the generated file of every field kind as R's foreign reads it, record rules, broken files.
#include "statpack/reader_test_util.h"

using Epi = ReaderTest<read_epi_into_sheet>;

// A file of the field lines, then the record lines.
static std::string rec(const std::vector<std::string>& fields, const std::vector<std::string>& lines) {
    std::string s = std::to_string(fields.size()) + "\n";
    for (const auto* part : {&fields, &lines}) for (const auto& l : *part) s += l + "\n";
    return s;
}

TEST_F(Epi, EveryFieldKindAsRReadsIt) {
    Sheet* s = must(read(data_path("epi/types.rec")));
    // Bob's record ends in "?": deleted. The zero-length field makes no column.
    ASSERT_EQ(std::pair(s->row_count, s->column_count), std::pair(3, 7));
    // 12/31/95 (month first, two-digit year) and 31/12/1995 (day first) are the same day; then y, blank, N.
    for (int c : {2, 3})
        EXPECT_EQ(column_text(s, c) + " " + std::to_string(s->cols[c]->date_format),
                  "1995-12-31 00:00:00|.|1976-07-04 00:00:00 " + std::to_string(c == 2 ? 23 : 2));
    EXPECT_EQ(column_text(s, 4), "1|.|0");
    EXPECT_EQ(std::tie(s->cols[5]->num[0], s->cols[5]->decimals, s->cols[5]->representation),
              std::tuple(3.25, 2, VXS_REP_FIXED));
    EXPECT_EQ(std::pair(s->cols[7]->nlevels, s->cols[7]->width), std::pair(60, 62));
    // R differs only on EURO (printed as 1995-12-31) and SMOKER (only capital Y is yes).
    expect_csv_like_tool(convert_whole("epi/types.rec", 3), tsv_rows(data_path("epi/types.expect")), true, {2, 3});
}

TEST_F(Epi, RecordRulesAndBrokenFiles) {
    const std::string f1 = "#A 1 1 3 12 1 0 2 14", f2 = "#B 1 1 3 12 1 1 3 14";
    const struct { const char* what; std::string text, last; int32_t limit = 2048; } cases[] = {  // last: the last column
        {"marks removed", rec({f1, f2}, {" 1abc!", " 2de?", " 3f  !"}), "abc|f"},
        {"last ? after ! is deleted", rec({f1, f2}, {" 1a!?"}), "no data"},
        {"last ! after ? is kept", rec({f1, f2}, {" 1a?!"}), "a?"},
        {"nine-char date years", rec({"#D 1 1 3 12 1 2 9 14"}, {"05/06/05 !"}), "1905-05-06 00:00:00"},
        {"fields past the column limit still count, two lines a record",
         rec({f1, "#B 1 1 3 12 1 1 78 14"},
             {" 1" + std::string(76, 'x') + "!", "yy!", " 2" + std::string(76, 'x') + "!", "zz!"}),
         "1|2", 1},
    };
    for (const auto& c : cases) {
        VXSMAXCOLUMNS = c.limit;
        Sheet* s = quiet_bytes(c.text);
        EXPECT_EQ(s ? column_text(s, s->cols.size() - 1) : "no data", c.last) << c.what;
    }
    // No fields, unknown type, short field line, field lines missing, only an empty field, absurd length.
    expect_no_data({rec({}, {"1!"}), rec({"#A 1 1 3 12 1 4 2 14"}, {"12!"}), rec({"#A 1 1 3 12 1 0"}, {"12!"}),
                    "3\n#A 1 1 3 12 1 0 2 14\n", rec({"#A 1 1 3 12 1 0 0 14"}, {"12!"}),
                    rec({"#A 1 1 3 12 1 0 999999999 14"}, {"12!"})},
                   "x.rec");
}
