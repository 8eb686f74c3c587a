// Epi-Info files: a generated file of every field kind (checked by R's foreign), two-line
// records, deleted records, dates of both orders, yes/no fields, decimals, and broken files.
#include <gtest/gtest.h>

#include "driver/vxs_formats.h"
#include "sheet/vxs_dates.h"
#include "sheet/vxs_sheet.h"
#include "statpack/reader_test_util.h"
#include "test_util.h"

namespace {
using Epi = ReaderTest<read_epi_into_sheet>;

std::string rec(const std::vector<std::string>& fields, const std::vector<std::string>& lines) {
    std::string s = std::to_string(fields.size()) + "\n";
    for (const auto& f : fields) s += f + "\n";
    for (const auto& l : lines) s += l + "\n";
    return s;
}
}  // namespace

TEST_F(Epi, EveryFieldKind) {
    Sheet* s = read(data_path("epi/types.rec"));
    ASSERT_NE(s, nullptr);
    // Bob's record ends in "?": deleted. The zero-length field makes no column.
    ASSERT_EQ(s->row_count, 3);
    ASSERT_EQ(s->column_count, 7);
    std::vector<std::string> names;
    for (size_t c = 1; c < s->cols.size(); ++c) names.push_back(s->cols[c]->name);
    EXPECT_EQ(names, (std::vector<std::string>{"NAME", "BORN", "EURO", "SMOKER", "WEIGHT", "AGE", "NOTE"}));
    const double m = s->missing;
    EXPECT_EQ(s->cols[1]->text.get(0), "Ann");
    // 12/31/95 (month first, two-digit year) and 31/12/1995 (day first) are the same day.
    const double day = vxs_day_number(31, 12, 1995);
    EXPECT_EQ(s->cols[2]->num, (std::vector<double>{day, m, vxs_day_number(4, 7, 1976)}));
    EXPECT_EQ(s->cols[2]->representation, VXS_REP_DATE);
    EXPECT_EQ(s->cols[2]->date_format, 23);
    EXPECT_EQ(s->cols[3]->num, (std::vector<double>{day, m, vxs_day_number(4, 7, 1976)}));
    EXPECT_EQ(s->cols[3]->date_format, 2);
    EXPECT_EQ(s->cols[4]->num, (std::vector<double>{1, m, 0}));  // y, blank, N
    EXPECT_EQ(s->cols[5]->num, (std::vector<double>{3.25, m, -1}));
    EXPECT_EQ(s->cols[5]->decimals, 2);  // from the first value, 3.25
    EXPECT_EQ(s->cols[5]->representation, VXS_REP_FIXED);
    EXPECT_EQ(s->cols[6]->num, (std::vector<double>{41, m, 100}));
    EXPECT_EQ(s->cols[7]->text.get(0), "first of two lines");
    EXPECT_EQ(s->cols[7]->text.get(1), std::string(60, 'x'));
    EXPECT_EQ(s->cols[7]->nlevels, 60);
    EXPECT_EQ(s->cols[7]->width, 62);

    write_file(dir.file("types.rec"), read_file(data_path("epi/types.rec")));
    RunResult r = run_morvalen(dir.path(), {"types.rec", "out.csv"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(dir.file("out.csv")).substr(0, 48), "NAME ,  BORN:D,    EURO:D,SMOKER,WEIGHT,AGE,NOTE");
}

TEST_F(Epi, RecordRules) {
    const std::string f1 = "#A 1 1 3 12 1 0 2 14", f2 = "#B 1 1 3 12 1 1 3 14";
    struct Case {
        const char* what;
        std::string text;
        int32_t rows;
        std::string b;
    } cases[] = {
        {"marks removed", rec({f1, f2}, {" 1abc!", " 2de?", " 3f  !"}), 2, "abc|f"},
        {"last ? after ! is deleted", rec({f1, f2}, {" 1a!?"}), 0, ""},
        {"last ! after ? is kept", rec({f1, f2}, {" 1a?!"}), 1, "a?"},
        {"nine-char date years", rec({"#D 1 1 3 12 1 2 9 14"}, {"05/06/05 !"}), 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Sheet* s = read_bytes(c.text);
        if (c.rows == 0) {
            EXPECT_EQ(s, nullptr);
            continue;
        }
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->row_count, c.rows);
        if (s->column_count > 1) {
            std::string got;
            for (int32_t r = 0; r < s->row_count; ++r) got += (r ? "|" : "") + std::string(s->cols[2]->text.get(size_t(r)));
            EXPECT_EQ(got, c.b);
        } else {
            EXPECT_EQ(s->cols[1]->num[0], vxs_day_number(6, 5, 1905));
        }
    }
}

TEST_F(Epi, BrokenFiles) {
    std::vector<std::string> broken = {
        rec({}, {"1!"}),                                          // no fields
        rec({"#A 1 1 3 12 1 4 2 14"}, {"12!"}),                   // unknown type
        rec({"#A 1 1 3 12 1 0"}, {"12!"}),                        // field line too short
        "3\n#A 1 1 3 12 1 0 2 14\n",                              // field lines missing
        rec({"#A 1 1 3 12 1 0 0 14"}, {"12!"}),                   // only an empty field
        rec({"#A 1 1 3 12 1 0 999999999 14"}, {"12!"}),           // absurd length
    };
    expect_no_data(broken, "x.rec");
}
