// SAS transport reader: haven's files against haven's reading, crafted layouts, damaged files.
#include <cmath>

#include "package/vxs_package.h"
#include "statpack/reader_test_util.h"
#include "statpack/vxs_sas.h"

const std::string NOT_XPT = "The file is not a SAS transport file.\n", CANNOT = "Cannot successfully read SAS transport file\n",
                  NO_DATA = "No Data header found in SAS transport file\n" + CANNOT;

struct XptResult { int16_t status; std::string out; Sheet* sheet; };
static XptResult read_xpt(const std::string& path, int32_t max_columns = 250) {
    vxs_flush_buf(nullptr), vxs_init();
    VXSMAXCOLUMNS = max_columns, lastsheet = nullptr;
    int16_t status = 0;
    const std::string out = stdout_of([&] { status = read_sas_transport_into_sheet(path.c_str()), std::fflush(stdout); });
    return {status, out, status ? lastsheet : nullptr};
}

// Haven's files to .vxc and .vsh: messages, notes, labels (blanks are one blank), formats, values as haven reads them.
TEST(XptRead, HavenFilesConvertToWhatHavenReadsBack) {
    const struct { std::string stem, out, notes; } cases[] = {  // missing values are not overflows, blank padding no rows
        {"values_labels_dates",
         "2 values in: in.xpt\noverflowed the 7 bit exponent in the SAS XPORT numerical format.\nThe values where abs(X) > 1e+76 or "
         "abs(X) < 1e-76\nhave been set to missing or zero respectively.\nA summary of the changes is detailed in the Output window.\n",
         "      SAS Transport: Exponent overflow in Column tiny at row 4\n"
         "      SAS Transport: Exponent overflow in Column tiny at row 5\n"},
        {"sas_missing_codes", "", ""}, {"char_only_padding", "", ""},
        {"text_100_chars", "Columns containing text longer than 90 have been truncated to this length.\n", ""}};
    const std::pair<std::string, std::string> formats[] = {
        {"F8.2", "decimals=2"}, {"DATE", "drep=10"}, {"DATETIME", "drep=33"}, {"TIME", "drep=36"}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.stem);
        ScratchDir dir;
        RunResult r = run_morvalen(dir.path(), {copy_sample(dir, "xpt/" + k.stem + ".xpt", "in.xpt"), "out.vxc"});
        const auto want = csv_cells(read_file(data_path("xpt/" + k.stem + ".expected.csv")));
        EXPECT_EQ(std::to_string(r.status) + r.out, "0" + k.out + " " + std::to_string(want.size() - 1) + " records transferred.\n");
        ASSERT_EQ(run_morvalen(dir.path(), {"in.xpt", "out.vsh"}).status, 0);
        const std::string vxc = read_file(dir.file("out.vxc")), vsh = read_file(dir.file("out.vsh"));
        EXPECT_EQ(vxc.rfind(k.notes + "\"Data taken from File: in.xpt\"\n", 0), 0u) << vxc;
        const auto labels = csv_cells(read_file(data_path("xpt/" + k.stem + ".labels.csv")));  // name, label, format
        const Sheet* s = read_vsh(dir.file("out.vsh"));
        ASSERT_TRUE(s && size_t(s->column_count) == want[0].size());
        for (size_t j = 0; j < want[0].size(); ++j) {
            const Column* c = s->cols[j + 1].get();
            const std::string &name = want[0][j], &format = labels[j + 1][2];
            const std::string label = labels[j + 1][1].empty() ? " " : labels[j + 1][1];
            SCOPED_TRACE(name);
            EXPECT_EQ(c->name, name);
            EXPECT_NE(vsh.find(le_bytes(name.size(), 4) + name + le_bytes(label.size(), 4) + label), std::string::npos);
            const size_t read = vxc.find("\nREAD " + name + "\n"), line = vxc.rfind('\n', read - 1) + 1;
            ASSERT_NE(read, std::string::npos);
            const std::string declaration = vxc.substr(line, read - line);
            EXPECT_NE(declaration.find("; extra='" + label + "'"), std::string::npos) << declaration;
            for (const auto& [f, shown] : formats) EXPECT_EQ(declaration.find("; " + shown) != std::string::npos, format == f);
            const bool seconds = format == "DATETIME" || format == "TIME";
            ASSERT_EQ(c->value_count(), want.size() - 1);
            for (size_t i = 1; i < want.size(); ++i) {
                const std::string& w = want[i][j];
                SCOPED_TRACE("row " + std::to_string(i) + ": haven " + w);
                // Empty text is a blank; haven shows the too-large marker as Inf, the too-small one as -Inf;
                // day 131428 (from 1 March 1600) is SAS's 1 January 1960.
                if (c->type == VXS_TEXT) EXPECT_EQ(c->text.str(i - 1), w.empty() ? " " : w.substr(0, 90));
                else if (w.rfind("NA", 0) == 0 || w == "Inf") EXPECT_LE(c->num[i - 1], s->missing);
                else if (w == "-Inf") EXPECT_EQ(c->num[i - 1], 0);
                else EXPECT_NEAR((c->num[i - 1] - (format == "DATE" || seconds ? 131428 : 0)) * (seconds ? 86400 : 1), std::stod(w),
                                 seconds ? 0.1 : std::fabs(std::stod(w)) * 1e-11);
            }
        }
    }
}

// Files laid out by make_crafted.py; values as R's foreign::read.xport reads them.
TEST(XptRead, CraftedLayouts) {
    for (const char* file : {"xpt/vms_136_descriptors.xpt", "xpt/vms_140_descriptors.xpt"}) {  // 136 reads as 140
        SCOPED_TRACE(file);
        XptResult r = read_xpt(data_path(file));
        ASSERT_TRUE(r.sheet && r.sheet->column_count == 12) << r.out;
        for (int i = 1; i <= 11; ++i) {
            const Column& c = *r.sheet->cols[size_t(i)];
            EXPECT_EQ(c.name + "/" + c.extra, "V" + std::to_string(i) + "/Label " + std::to_string(i));
            EXPECT_EQ(c.num, (std::vector<double>{100.0 + i, 200.0 + i, 300.0 + i}));
        }
        EXPECT_EQ(r.sheet->cols[12]->name + "/" + r.sheet->cols[12]->text.str(2), "TXT/row3");
    }
    // Numerics of 3, 4, 5 and 8 bytes: the missing low bytes of the fraction are zero.
    XptResult r = read_xpt(data_path("xpt/numeric_length_3.xpt"));
    ASSERT_TRUE(r.sheet && r.out.empty()) << r.out;
    const double third[] = {0x5555 / 65536.0, 0x555555 / 16777216.0, 0x55555555 / 4294967296.0, 1.0 / 3.0};
    for (size_t k = 0; k < 4; ++k)
        EXPECT_EQ(r.sheet->cols[k + 1]->num, (std::vector<double>{1.0, 100.5, third[k], -2.75})) << k;
    // Only the first member of a library becomes the sheet.
    r = read_xpt(data_path("xpt/two_members.xpt"));
    ASSERT_TRUE(r.sheet && r.sheet->column_count == 2);
    EXPECT_EQ(rows_text(r.sheet, 0, 2), "1.5|one;2.5|two;");
    r = read_xpt(data_path("xpt/vms_140_descriptors.xpt"), 5);  // the column limit keeps the first variables
    ASSERT_TRUE(r.sheet && r.sheet->column_count == 5);
    EXPECT_EQ(r.sheet->cols[5]->name + r.out, "V5Too many variables in SAS dataset, only the first 5 will be imported.");
}

static std::string be16(unsigned v) { return be_bytes(v, 2); }

// values_labels_dates.xpt: 8 header records, 8 descriptors of 140 bytes, 6 observations of 63.
constexpr size_t DESCRIPTORS = 640, OBS_HEADER = 1760, DATA = 1840, OBS_LEN = 63;

struct XptCorrupt : ::testing::Test {
    ScratchDir dir;
    std::string good = read_file(data_path("xpt/values_labels_dates.xpt"));
    std::string empty = "SAS transport file " + dir.file("in.xpt").substr(0, 100) + " is empty.\n" + CANNOT;

    XptResult read_bytes(const std::string& bytes) { return write_file(dir.file("in.xpt"), bytes), read_xpt(dir.file("in.xpt")); }
    static size_t var(size_t k, size_t field) { return DESCRIPTORS + 140 * k + field; }  // a descriptor's field
};

TEST_F(XptCorrupt, CutAtEveryOffset) {
    ASSERT_EQ(good.size(), 2240u);
    for (size_t cut = 0; cut < good.size(); ++cut) {
        bool near = cut % 80 < 2 || cut % 80 > 78 || (cut > DATA && (cut - DATA) % OBS_LEN < 2);
        if (!near && cut % 7) continue;  // boundaries, and every seventh offset
        SCOPED_TRACE("cut at " + std::to_string(cut));
        XptResult r = read_bytes(good.substr(0, cut));
        if (cut < DATA + OBS_LEN) {
            EXPECT_EQ(std::to_string(r.status) + r.out,
                      "0" + (cut < DESCRIPTORS ? NOT_XPT : cut < var(8, 0) ? CANNOT : cut < DATA ? NO_DATA : empty));
            continue;
        }
        ASSERT_EQ(r.status, 1) << r.out;  // a short read ends the data: whole rows only
        const size_t rows = std::min<size_t>((cut - DATA) / OBS_LEN, 6);
        EXPECT_EQ(r.sheet->row_count, int32_t(rows));
        for (auto& c : r.sheet->cols) EXPECT_EQ(c->value_count(), rows);
    }
}

TEST_F(XptCorrupt, LyingHeadersFailWithTheirMessageAndOdditiesPass) {
    const size_t COUNT = 560 + 54;  // variable count in the NAMESTR header
    const struct { size_t at; std::string bytes, out; } damages[] = {
        // The library, first real, member, descriptor, member data and NAMESTR headers.
        {0, "HEADER RECORD******X", NOT_XPT}, {80, "SAT", NOT_XPT}, {88, "XAS", NOT_XPT},
        {240, "HEADER_RECORD", NOT_XPT}, {320, "XEADER", NOT_XPT}, {400, "SAX", NOT_XPT},
        {560, "HEADER RECORD*****X*", NOT_XPT}, {OBS_HEADER, "HEADER RECORD******!", NO_DATA},
        {240 + 75, "138", NOT_XPT}, {240 + 75, "999", NOT_XPT},  // descriptor length neither 136 nor 140
        // Counts beyond the descriptors never size an allocation; with none, no OBS header is found.
        {COUNT, "9999", CANNOT}, {COUNT, "0100", CANNOT}, {COUNT, "0009", NO_DATA}, {COUNT, "0000", NO_DATA},
        // Character lengths 0 and over 200, numeric ones under 3 and over 8.
        {var(3, 4), be16(0), CANNOT}, {var(3, 4), be16(201), CANNOT}, {var(0, 4), be16(2), CANNOT},
        {var(0, 4), be16(9), CANNOT}, {var(1, 4), be16(0xFFFF), CANNOT},
        // A value placed outside the observation; a huge last position leaves no rows.
        {var(2, 84), be_bytes(0xFFFFFFF0u, 4), CANNOT}, {var(2, 84), be_bytes(60, 4), CANNOT},
        {var(7, 84), be_bytes(0x7FFFFFF0u, 4), empty}};
    for (const auto& d : damages) {
        SCOPED_TRACE("damage at " + std::to_string(d.at) + ", row " + std::to_string(&d - damages));
        const XptResult r = read_bytes(patched(good, d.at, d.bytes));
        EXPECT_EQ(std::to_string(r.status) + r.out, "0" + d.out);
    }
    // Tolerated: header words in any case, an unknown variable type (passed over), names made valid.
    EXPECT_EQ(read_bytes(patched(patched(good, 0, "header record*******"), 80, "sas     sas")).status, 1);  // any case
    XptResult r = read_bytes(patched(good, var(1, 0), be16(7)));  // an unknown variable type is passed over
    ASSERT_EQ(r.status, 1) << r.out;
    EXPECT_EQ(std::tuple(r.sheet->column_count, r.sheet->cols[2]->name), std::tuple(7, std::string("price")));
    // Blank, empty or invalid names become valid ones.
    r = read_bytes(patched(patched(patched(good, var(1, 8), "        "), var(2, 8), std::string(1, '\0')), var(3, 8), "1st bad!"));
    ASSERT_EQ(r.status, 1) << r.out;
    EXPECT_EQ(r.sheet->cols[2]->name + " " + r.sheet->cols[3]->name + " " + r.sheet->cols[4]->name, "C1 C2 %1st_bad");
}

