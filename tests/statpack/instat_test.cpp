// Instat worksheets: the 5-byte and 2-byte forms against hand-made bytes, the generator's
// worksheet read and converted (with its strings, label sets and constants in the command
// file), column slots and limits of the writer, round trips, and broken worksheets.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "driver/vxs_options.h"
#include "driver/vxs_formats.h"
#include "sheet/vxs_sheet.h"
#include "statpack/reader_test_util.h"
#include "statpack/vxr_instat.h"
#include "test_util.h"

namespace {

using Instat = ReaderTest<read_instat_into_sheet>;

std::string bytes5(double x) {
    uint8_t b[5];
    double_to_5bytes(x, b);
    return std::string(reinterpret_cast<char*>(b), 5);
}

TEST_F(Instat, NumberFormsByHand) {
    vxs_reset_options();
    struct Case {
        double in;
        std::string bytes;
        double back;
    } cases[] = {
        {1.5, std::string("\0\0\0\x40\x80", 5), 1.5},
        {-1.5, std::string("\0\0\0\xC0\x80", 5), -1.5},
        {7, std::string("\x07\0\0\0\0", 5), 7},
        {-256, std::string("\0\xFF\xFF\xFF\0", 5), -256},
        {0, std::string(5, '\0'), 0},
        {0.75, std::string("\0\0\0\x40\x7F", 5), 0.75},
        {1e40, bytes5(1e35), 1e35},
        {vxs_missing, std::string("\xF1\xD8\xFF\xFF\0", 5), -9999},
        {-1e40, bytes5(-1e35), -1e35},
        {1e-300, std::string(5, '\0'), 0},  // below the smallest exponent
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        std::string b = bytes5(c.in);
        EXPECT_EQ(b, c.bytes);
        EXPECT_NEAR(readrl(reinterpret_cast<const uint8_t*>(b.data())), c.back,
                    std::fabs(c.back) * 0x1p-31);
    }
    uint8_t two[2];
    long_to_2bytes(300, two);
    EXPECT_EQ(two[0], 33);
    EXPECT_EQ(two[1], 108);
    long_to_2bytes(60000, two);  // counts stop at the largest the two bytes hold
    EXPECT_EQ((two[0] - 32) * 224 + (two[1] - 32), INSTAT_MAX_COUNT);
    for (double x : {3.14159265, -1234.5678, 1e-20, 6.02e23, -0.1})
        EXPECT_NEAR(readrl(reinterpret_cast<const uint8_t*>(bytes5(x).data())), x,
                    std::fabs(x) * 0x1p-31)
            << x;
}

TEST_F(Instat, GeneratedWorksheetReadsAsWritten) {
    testing::internal::CaptureStdout();
    Sheet* s = read(data_path("instat/trial.wor"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Warning: Too few labels for factor Plots!\n");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->source_type, VXT_INSTAT);
    EXPECT_EQ(s->description_lines, std::vector<std::string>{"Barley trial 1997"});
    expect_sheet_cells(s, tsv_rows(data_path("instat/trial.expect")), true, 0x1p-31);
    EXPECT_EQ(s->cols[2]->origin, 2);
    EXPECT_EQ(s->cols[2]->representation, VXS_REP_TEXT);
    EXPECT_EQ(s->cols[4]->labels.size(), 0u);
    EXPECT_EQ(s->cols[4]->nlevels, 4);
}

TEST_F(Instat, CommandFileCarriesTheWorksheetExtras) {
    write_file(dir.file("in.wor"), read_file(data_path("instat/trial.wor")));
    RunResult r = run_morvalen(dir.path(), {"in.wor", "out.vxc"});
    ASSERT_EQ(r.status, 0) << r.out;
    std::string vxc = read_file(dir.file("out.vxc"));
    for (const char* line :
         {"DELETE [redefine=yes] Title\nTEXT Title; 'Barley trial 1997'\n",
          "DELETE [redefine=yes] M,M1,M2\n", "POINTER M; !p(M1,M2)\n", "SCALAR M1\n",
          "SCALAR M2; -8888\n", "DELETE [redefine=yes] S,S1,S2,S3,S4,S5\n",
          "TEXT S1; 'Site: Rothamsted'\n", "TEXT S2\n", "TEXT S3; 'Observer''s notes'\n",
          "TEXT L1; !t('low','medium','high')\n", "TEXT L4\n",
          "POINTER L; !p(L1,L2,L3,L4,L5,L6,L7,L8)\n", "SCALAR K1; 3.5\n", "SCALAR K2\n",
          "SCALAR K3; 12\n", "SCALAR K4; 0.0009999999997\n", "SCALAR K6\n",
          "DELETE [redefine=yes] X\nPOINTER [SUFFIXES=!(1,2,3,4,5)] X; "
          "!p(Yield,Dose,Side,Plots,Count)\n"})
        EXPECT_NE(vxc.find(line), std::string::npos) << line << "\n" << vxc;

    // /m codes given on input replace the worksheet's first codes.
    r = run_morvalen(dir.path(), {"in.wor/m=-1,5", "out2.vxc"});
    ASSERT_EQ(r.status, 0) << r.out;
    vxc = read_file(dir.file("out2.vxc"));
    EXPECT_NE(vxc.find("SCALAR M1; -1\nSCALAR M2; 5\n"), std::string::npos) << vxc;
    for (std::string out : {"out.vsh", "out.csv", "out.sdd"})
        EXPECT_EQ(run_morvalen(dir.path(), {"in.wor", out}).status, 0);
}

// Sheet of rows x columns variates holding row + column / 8.
Sheet* numbers_sheet(int32_t rows, int32_t cols) {
    Sheet* s = new_run_with_sheet(rows);
    for (int32_t c = 0; c < cols; ++c) {
        Column* col = create_column_with_memory(s, VXS_VARIATE, "V" + std::to_string(c + 1), rows);
        for (int32_t r = 0; r < rows; ++r) col->num[r] = r + c / 8.0;
    }
    return s;
}

long control(const std::string& f, size_t k) {
    return readint(reinterpret_cast<const uint8_t*>(f.data() + 115 + 5 * k));
}
long group(const std::string& f, size_t g, size_t k) {
    return readint(reinterpret_cast<const uint8_t*>(f.data() + 200 + 30 * g + 5 * k));
}

TEST_F(Instat, ColumnSlotsAndLimits) {
    struct Case {
        int32_t rows, cols;
        long slots;
    } cases[] = {{1000, 15, 40}, {1001, 15, 25}, {10, 3, 30}, {20, 127, 127}, {2000, 120, 127}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rows) + "x" + std::to_string(c.cols));
        Sheet* s = numbers_sheet(c.rows, c.cols);
        ASSERT_EQ(write_sheet_as_instat(s, dir.file("s.wor").c_str()), 1);
        std::string f = read_file(dir.file("s.wor"));
        EXPECT_EQ(group(f, 3, 0), c.slots);
        EXPECT_EQ(group(f, 3, 1), c.rows);
        EXPECT_EQ(control(f, 10), c.slots * c.rows);
        EXPECT_EQ(long(f.size()), group(f, 4, 2));
        EXPECT_EQ(group(f, 3, 2) + c.slots * c.rows * 5, long(f.size()));
    }
    Sheet* s = numbers_sheet(3, 128);
    s->structure_name = "wide";
    EXPECT_EQ(stdout_of([&] { EXPECT_EQ(write_sheet_as_instat(s, dir.file("w.wor").c_str()), 0); }),
              "Error: Too many columns in wide to save.\nInstat has a maximum of 127 columns.\n");
    s = numbers_sheet(50401, 1);
    s->structure_name = "long";
    EXPECT_EQ(stdout_of([&] { EXPECT_EQ(write_sheet_as_instat(s, dir.file("l.wor").c_str()), 0); }),
              "Error: Too many rows in long to save.\nInstat has a maximum of 50400 rows.\n");
    EXPECT_FALSE(file_exists(dir.file("l.wor")));
}

TEST_F(Instat, LongNamesAreCutToFitTheNameRecords) {
    // 127 names of 7 characters pass the 1020-character total but need five records of 255.
    Sheet* s = numbers_sheet(2, 127);
    for (int32_t c = 1; c <= 127; ++c) {
        char name[16];
        std::snprintf(name, sizeof name, "N%06d", c);
        s->cols[c]->name = name;
    }
    ASSERT_EQ(write_sheet_as_instat(s, dir.file("n.wor").c_str()), 1);
    Sheet* back = read(dir.file("n.wor"));
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->column_count, 127);
    EXPECT_EQ(back->cols[1]->name, "N00000");
    EXPECT_EQ(back->cols[127]->name, "N00012");
}

TEST_F(Instat, RoundTripKeepsFactorsLabelsAndCodes) {
    Sheet* s = new_run_with_sheet(4);
    s->description_lines = {"Round trip"};
    Column* v = create_column_with_memory(s, VXS_VARIATE, "Weight", 4);
    v->num = {1.25, s->missing, -3.0e-5, 123456.789};
    Column* f = create_column_with_memory(s, VXS_FACTOR, "Treat", 4);
    f->nlevels = 3;
    f->labels = {"control", "nitrogen fed", "potash"};
    f->origin = 2;
    f->num = {3, 1, s->missing, 2};
    Column* t = create_column_with_memory(s, VXS_TEXT, "Block", 4);
    for (int r = 0; r < 4; ++r) t->text.set(r, r % 2 ? "east" : "west");
    Column* big = create_column_with_memory(s, VXS_FACTOR, "Wide", 4);
    big->nlevels = 2;
    big->levels = {1000, 2000};  // level values Instat cannot hold: labels made from them
    big->num = {1, 2, 2, 1};
    vxs_parser_options().instat_nmv = 1;
    vxs_parser_options().instat_missing[0] = -5;
    ASSERT_EQ(write_sheet_as_instat(s, dir.file("r.wor").c_str()), 1);
    std::string file = read_file(dir.file("r.wor"));
    EXPECT_EQ(control(file, 13), 1);
    vxs_reset_options();

    Sheet* b = read(dir.file("r.wor"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->description_lines, std::vector<std::string>{"Round trip"});
    ASSERT_EQ(b->column_count, 4);
    for (int r = 0; r < 4; ++r) {
        double x = v->num[r];
        if (x <= s->missing)
            EXPECT_LE(b->cols[1]->num[r], b->missing);
        else
            EXPECT_NEAR(b->cols[1]->num[r], x, std::fabs(x) * 0x1p-31);
    }
    EXPECT_EQ(b->cols[2]->labels, (std::vector<std::string>{"control", "nitrogen", "potash"}));
    EXPECT_EQ(b->cols[2]->num, (std::vector<double>{3, 1, b->missing, 2}));
    EXPECT_EQ(b->cols[3]->type, VXS_FACTOR);
    EXPECT_EQ(b->cols[3]->labels, (std::vector<std::string>{"east", "west"}));
    EXPECT_EQ(b->cols[4]->labels, (std::vector<std::string>{"1000", "2000"}));
}

TEST_F(Instat, TooManyLevelsAndDroppedFactors) {
    for (int drop : {0, 1}) {
        SCOPED_TRACE(drop);
        Sheet* s = new_run_with_sheet(300);
        Column* f = create_column_with_memory(s, VXS_FACTOR, "Many", 300);
        f->nlevels = 300;
        for (int r = 0; r < 300; ++r) f->num[r] = r + 1;
        create_column_with_memory(s, VXS_VARIATE, "V", 300)->num.assign(300, 2.5);
        vxs_parser_options().inst_drop_factors = static_cast<int16_t>(drop);
        testing::internal::CaptureStdout();
        ASSERT_EQ(write_sheet_as_instat(s, dir.file("m.wor").c_str()), 1);
        EXPECT_EQ(
            testing::internal::GetCapturedStdout(),
            std::string("Error: Factors with more than 223 labels are not supported by Instat!\n") +
                (drop ? "Factor Many not written to Instat file\n"
                      : "Factor Many labels written to Instat file as levels\n"));
        vxs_reset_options();
        Sheet* b = read(dir.file("m.wor"));
        ASSERT_NE(b, nullptr);
        ASSERT_EQ(b->column_count, drop ? 1 : 2);
        if (!drop) {
            EXPECT_EQ(b->cols[1]->num[299], 300);
        }
    }
}

TEST_F(Instat, BrokenWorksheets) {
    std::string good = read_file(data_path("instat/trial.wor"));
    auto with = [&good](size_t at, const std::string& b) {
        return good.substr(0, at) + b + good.substr(at + b.size());
    };
    struct Case {
        std::string bytes, message;
    } cases[] = {
        {with(200 + 30 * 3 + 5, bytes5(40000000)),
         "Error: Not enough memory to read INSTAT file!\n"},
        {with(200 + 30 * 3, bytes5(0)),
         "Warning: No column data in INSTAT file " + dir.file("t.in") + "!\n"},
        {good.substr(0, 2000),
         "Warning: No column data in INSTAT file " + dir.file("t.in") + "!\n"},
        {good.substr(0, 300), ""},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(stdout_of([&] { EXPECT_EQ(read_bytes(cases[i].bytes), nullptr) << i; }),
                  cases[i].message) << i;
    }
    for (size_t i = 0; i < 2; ++i) {
        write_file(dir.file("bad.wor"), cases[i].bytes);
        RunResult r = run_morvalen(dir.path(), {"bad.wor", "out.csv"});
        EXPECT_EQ(r.status, 5);
        EXPECT_EQ(r.out,
                  (i ? "Warning: No column data in INSTAT file bad.wor!\n" : cases[0].message) +
                      " Error: No valid data in input file bad.wor!\n");
    }
    // A column offset that lies past the file reads nothing from it.
    Sheet* s{};
    stdout_of([&] { s = read_bytes(with(200 + 30 * 3 + 10, bytes5(1e9))); });
    EXPECT_EQ(s, nullptr);
}

}  // namespace
