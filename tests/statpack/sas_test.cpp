// SAS transport reader on files made by haven and by the layout script in tests/data/xpt, each
// value compared with what the making tool reads back; headers, padding, members, limits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/vxs_formats.h"
#include "package/vxs_package.h"
#include "sheet/vxs_sheet.h"
#include "statpack/vxs_sas.h"
#include "test_util.h"

namespace {

using Table = std::vector<std::vector<std::string>>;

// Comma-separated values as R's write.csv makes them (quoted fields, doubled quotes).
Table read_csv_table(const std::string& path) {
    std::string text = read_file(path);
    Table rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(field);
            field.clear();
        } else if (c == '\n') {
            row.push_back(field);
            field.clear();
            rows.push_back(row);
            row.clear();
        } else if (c != '\r') {
            field += c;
        }
    }
    if (!field.empty() || !row.empty()) {
        row.push_back(field);
        rows.push_back(row);
    }
    return rows;
}

struct ReadResult {
    int16_t status = 0;
    Sheet* sheet = nullptr;
    std::string out;
};

// What the reader left in the command-file output buffer.
std::string output_buffer() {
    FILE* f = std::tmpfile();
    if (!f) return "";
    vxs_flush_buf(f);
    std::string text;
    std::rewind(f);
    char block[4096];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0) text.append(block, n);
    std::fclose(f);
    return text;
}

ReadResult read_xpt(const std::string& path, int32_t max_columns = 250) {
    vxs_flush_buf(nullptr);
    vxs_init();
    VXSMAXCOLUMNS = max_columns;
    lastsheet = nullptr;
    ReadResult r;
    testing::internal::CaptureStdout();
    r.status = read_sas_transport_into_sheet(path.c_str());
    std::fflush(stdout);
    r.out = testing::internal::GetCapturedStdout();
    r.sheet = r.status ? lastsheet : nullptr;
    return r;
}

Column* column(Sheet* s, const std::string& name) {
    for (auto& c : s->cols)
        if (c->name == name) return c.get();
    return nullptr;
}

bool is_missing(const Sheet* s, double v) { return v <= s->missing; }

// SAS holds dates as days and date-times and times as seconds since 1 January 1960.
double sas_value_of(const Column* c, double v) {
    if (c->representation != VXS_REP_DATE) return v;
    double days = v - SAS_EPOCH_1600;
    return c->date_format == 10 ? days : days * 86400.0;
}

// Every cell of every column against the values haven reads back from the same file.
void expect_matches_haven(const std::string& stem, const ReadResult& r) {
    ASSERT_TRUE(r.sheet) << r.out;
    Table want = read_csv_table(data_path("xpt/" + stem + ".expected.csv"));
    ASSERT_GE(want.size(), 2u);
    const auto& names = want[0];
    ASSERT_EQ(r.sheet->column_count, int32_t(names.size()));
    ASSERT_EQ(r.sheet->row_count, int32_t(want.size() - 1));
    for (size_t j = 0; j < names.size(); ++j) {
        Column* c = column(r.sheet, names[j]);
        ASSERT_TRUE(c) << names[j];
        EXPECT_EQ(c->position, int32_t(j + 1));
        for (size_t i = 1; i < want.size(); ++i) {
            const std::string& w = want[i][j];
            SCOPED_TRACE(names[j] + " row " + std::to_string(i) + " expected " + w);
            if (c->is_text()) {
                // An empty value is held as a single blank (missing text).
                EXPECT_EQ(c->text.str(i - 1), w.empty() ? " " : w);
                continue;
            }
            double got = c->num[i - 1];
            if (w.rfind("NA", 0) == 0 || w == "Inf") {
                // System and special missing values; Inf is how haven shows the too-large marker.
                EXPECT_TRUE(is_missing(r.sheet, got));
            } else if (w == "-Inf") {
                EXPECT_EQ(got, 0.0);  // the marker FF..FF reads as a value too small: 0
            } else {
                ASSERT_FALSE(is_missing(r.sheet, got));
                double v = std::stod(w);
                double tolerance = c->representation == VXS_REP_DATE && c->date_format != 10 ? 1e-4 : 0;
                EXPECT_NEAR(sas_value_of(c, got), v, tolerance);
            }
        }
    }
    // Labels and formats as haven reads them.
    Table labels = read_csv_table(data_path("xpt/" + stem + ".labels.csv"));
    for (size_t k = 1; k < labels.size(); ++k) {
        Column* c = column(r.sheet, labels[k][0]);
        ASSERT_TRUE(c);
        EXPECT_EQ(c->extra, labels[k][1]) << labels[k][0];
    }
}

TEST(XptRead, ValuesLabelsDatesAsHavenReadsThem) {
    ReadResult r = read_xpt(data_path("xpt/values_labels_dates.xpt"));
    expect_matches_haven("values_labels_dates", r);
    Sheet* s = r.sheet;
    ASSERT_TRUE(s);
    EXPECT_EQ(s->missing, vxs_missing);

    Column* born = column(s, "born");
    EXPECT_EQ(born->representation, VXS_REP_DATE);
    EXPECT_EQ(born->date_format, 10);
    EXPECT_EQ(born->gregorian, 1);
    EXPECT_EQ(column(s, "stamp")->date_format, 33);
    EXPECT_EQ(column(s, "clock")->date_format, 36);
    // 1 January 1960 is SAS day 0 and 31 December 1959 day -1 (1 March 1600 is day 1).
    EXPECT_EQ(born->num[0], SAS_EPOCH_1600);
    EXPECT_EQ(born->num[5], SAS_EPOCH_1600 - 1);

    Column* price = column(s, "price");  // format F8.2
    EXPECT_EQ(price->decimals, 2);
    EXPECT_EQ(price->representation, VXS_REP_FIXED);
    EXPECT_EQ(column(s, "height")->decimals, -1);
    EXPECT_EQ(column(s, "height")->representation, VXS_REP_GENERAL);
    EXPECT_EQ(column(s, "name")->type, VXS_TEXT);
    EXPECT_EQ(column(s, "id")->type, VXS_VARIATE);

    // haven writes +-7e75 as the two overflow markers: one missing, one zero, both counted.
    EXPECT_EQ(r.out,
              "2 values in: " + data_path("xpt/values_labels_dates.xpt").substr(0, 100) +
                  "\noverflowed the 7 bit exponent in the SAS XPORT numerical format.\n"
                  "The values where abs(X) > 1e+76 or abs(X) < 1e-76\nhave been set to missing or zero "
                  "respectively.\nA summary of the changes is detailed in the Output window.\n");
    EXPECT_EQ(output_buffer(),
              "      SAS Transport: Exponent overflow in Column tiny at row 4\n"
              "      SAS Transport: Exponent overflow in Column tiny at row 5\n");
}

TEST(XptRead, SpecialMissingValuesAreMissing) {
    ReadResult r = read_xpt(data_path("xpt/special_missing.xpt"));
    expect_matches_haven("special_missing", r);
    ASSERT_TRUE(r.sheet);
    Column* v = column(r.sheet, "value");
    EXPECT_EQ(v->num[0], 42.0);
    for (size_t i = 1; i < v->num.size(); ++i) EXPECT_EQ(v->num[i], vxs_missing) << i;
    EXPECT_EQ(r.out, "");  // missing values are not overflows
}

TEST(XptRead, LongTextIsCutTo90WithOneMessage) {
    ReadResult r = read_xpt(data_path("xpt/text_100_chars.xpt"));
    ASSERT_TRUE(r.sheet);
    EXPECT_EQ(r.out, "Columns containing text longer than 90 have been truncated to this length.\n");
    Table want = read_csv_table(data_path("xpt/text_100_chars.expected.csv"));
    Column* c = column(r.sheet, "long");
    ASSERT_TRUE(c);
    for (size_t i = 1; i < want.size(); ++i) EXPECT_EQ(c->text.str(i - 1), want[i][0].substr(0, 90));
    EXPECT_EQ(c->nlevels, 90);  // longest text held
    EXPECT_EQ(column(r.sheet, "k")->text.str(2), "c");
}

TEST(XptRead, BlankPaddingIsNotRows) {
    ReadResult r = read_xpt(data_path("xpt/char_only_padding.xpt"));
    expect_matches_haven("char_only_padding", r);
    ASSERT_TRUE(r.sheet);
    EXPECT_EQ(r.sheet->row_count, 3);
    EXPECT_EQ(r.sheet->row_column()->num.size(), 3u);
}

TEST(XptRead, Descriptors136And140ReadAlike) {
    ReadResult a = read_xpt(data_path("xpt/vms_136_descriptors.xpt"));
    ASSERT_TRUE(a.sheet) << a.out;
    ASSERT_EQ(a.sheet->column_count, 12);
    ASSERT_EQ(a.sheet->row_count, 3);
    // Values as R foreign::read.xport reads them: row r, variable Vi holds r * 100 + i.
    for (int i = 1; i <= 11; ++i) {
        Column* c = column(a.sheet, "V" + std::to_string(i));
        ASSERT_TRUE(c);
        EXPECT_EQ(c->extra, "Label " + std::to_string(i));
        for (int row = 1; row <= 3; ++row) EXPECT_EQ(c->num[row - 1], row * 100 + i);
    }
    EXPECT_EQ(column(a.sheet, "TXT")->text.str(2), "row3");

    Sheet* first = a.sheet;
    ReadResult b = read_xpt(data_path("xpt/vms_140_descriptors.xpt"));
    ASSERT_TRUE(b.sheet);
    ASSERT_EQ(b.sheet->column_count, first->column_count);
    for (int j = 1; j <= 12; ++j) {
        EXPECT_EQ(b.sheet->cols[j]->name, first->cols[j]->name);
        EXPECT_EQ(b.sheet->cols[j]->num, first->cols[j]->num);
    }
}

TEST(XptRead, ShortNumericsReadWithZeroLowBytes) {
    ReadResult r = read_xpt(data_path("xpt/numeric_length_3.xpt"));
    ASSERT_TRUE(r.sheet) << r.out;
    // As R foreign::read.xport reads them.
    const double third[] = {0x5555 / 65536.0, 0x555555 / 16777216.0, 0x55555555 / 4294967296.0, 1.0 / 3.0};
    const char* names[] = {"L3", "L4", "L5", "L8"};
    for (int k = 0; k < 4; ++k) {
        Column* c = column(r.sheet, names[k]);
        ASSERT_TRUE(c);
        EXPECT_EQ(c->num[0], 1.0);
        EXPECT_EQ(c->num[1], 100.5);
        EXPECT_EQ(c->num[2], third[k]);
        EXPECT_EQ(c->num[3], -2.75);
    }
    EXPECT_EQ(r.out, "");
}

TEST(XptRead, OverflowMarkersReadAsZeroOrMissingAndAreReported) {
    std::string path = data_path("xpt/overflow_markers.xpt");
    ReadResult r = read_xpt(path);
    ASSERT_TRUE(r.sheet);
    Column* x = column(r.sheet, "X");
    ASSERT_EQ(x->num.size(), 6u);
    EXPECT_EQ(x->num[0], 1.0);
    EXPECT_EQ(x->num[1], 0.0);
    EXPECT_EQ(x->num[2], vxs_missing);
    EXPECT_EQ(x->num[3], vxs_missing);
    EXPECT_EQ(x->num[4], vxs_missing);
    EXPECT_EQ(x->num[5], -2.0);
    EXPECT_EQ(r.out, "4 values in: " + path.substr(0, 100) +
                         "\noverflowed the 7 bit exponent in the SAS XPORT numerical format.\n"
                         "The values where abs(X) > 1e+76 or abs(X) < 1e-76\nhave been set to missing or "
                         "zero respectively.\nA summary of the changes is detailed in the Output window.\n");
    EXPECT_EQ(output_buffer(),
              "      SAS Transport: Exponent overflow in Column X at row 2\n"
              "      SAS Transport: Exponent overflow in Column X at row 3\n"
              "      SAS Transport: Exponent overflow in Column X at row 4\n"
              "      SAS Transport: Exponent overflow in Column X at row 5\n");
}

TEST(XptRead, OnlyTheFirstMemberBecomesTheSheet) {
    ReadResult r = read_xpt(data_path("xpt/two_members.xpt"));
    ASSERT_TRUE(r.sheet);
    ASSERT_EQ(r.sheet->column_count, 2);
    ASSERT_EQ(r.sheet->row_count, 2);
    EXPECT_EQ(column(r.sheet, "A")->num, (std::vector<double>{1.5, 2.5}));
    EXPECT_EQ(column(r.sheet, "B")->text.str(1), "two");
}

TEST(XptRead, ColumnLimitKeepsTheFirstVariables) {
    ReadResult r = read_xpt(data_path("xpt/vms_140_descriptors.xpt"), 5);
    ASSERT_TRUE(r.sheet);
    EXPECT_EQ(r.sheet->column_count, 5);
    EXPECT_EQ(r.sheet->cols[5]->name, "V5");
    EXPECT_EQ(r.out, "Too many variables in SAS dataset, only the first 5 will be imported.");
}

}  // namespace
