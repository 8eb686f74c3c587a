// Instat worksheets: number forms by hand, the generated worksheet, writer limits, round trips, broken files.
#include <cmath>

#include "driver/vxs_options.h"
#include "statpack/reader_test_util.h"
#include "statpack/vxr_instat.h"

using Instat = ReaderTest<read_instat_into_sheet>;

static std::string bytes5(double x) {
    uint8_t b[5];
    return double_to_5bytes(x, b), std::string(reinterpret_cast<char*>(b), 5);
}
static double back5(const std::string& b) { return readrl(reinterpret_cast<const uint8_t*>(b.data())); }
// The 5-byte number k of the control area, and k of group g of the structure table.
static long control(const std::string& f, size_t k) { return back5(f.substr(115 + 5 * k, 5)); }
static long group(const std::string& f, size_t g, size_t k) { return back5(f.substr(200 + 30 * g + 5 * k, 5)); }

static Sheet* numbers_sheet(int32_t rows, int32_t cols) {
    Sheet* s = new_run_with_sheet(rows);
    for (int32_t c = 0; c < cols; ++c) {
        Column* col = create_column_with_memory(s, VXS_VARIATE, "V" + std::to_string(c + 1), rows);
        for (int32_t r = 0; r < rows; ++r) col->num[r] = r + c / 8.0;
    }
    return s;
}

// The command file the driver writes from the worksheet holds every one of lines.
static void expect_vxc_holds(const std::string& dir, const std::string& wor, std::initializer_list<const char*> lines) {
    ASSERT_EQ(run_morvalen(dir, {wor, "x.vxc"}).status, 0);
    for (const char* line : lines) EXPECT_NE(read_file(dir + "/x.vxc").find(line), std::string::npos) << line;
}

TEST_F(Instat, NumberFormsByHand) {
    vxs_reset_options();
    const struct { double in; std::string bytes; double back; } cases[] = {  // +-1e40: the exponent byte would overflow
        {1.5, raw("\0\0\0\x40\x80"), 1.5}, {-1.5, raw("\0\0\0\xC0\x80"), -1.5}, {7, raw("\x07\0\0\0\0"), 7},
        {-256, raw("\0\xFF\xFF\xFF\0"), -256}, {0, raw("\0\0\0\0\0"), 0}, {0.75, raw("\0\0\0\x40\x7F"), 0.75},
        {1e40, bytes5(1e35), 1e35}, {-1e40, bytes5(-1e35), -1e35}, {vxs_missing, raw("\xF1\xD8\xFF\xFF\0"), -9999},
        {1e-300, raw("\0\0\0\0\0"), 0}};  // below the smallest exponent
    for (const auto& c : cases) {
        EXPECT_EQ(bytes5(c.in), c.bytes) << c.in;
        EXPECT_NEAR(back5(c.bytes), c.back, std::fabs(c.back) * 0x1p-31) << c.in;
    }
    for (double x : {3.14159265, -1234.5678, 1e-20, 6.02e23, -0.1}) EXPECT_NEAR(back5(bytes5(x)), x, std::fabs(x) * 0x1p-31) << x;
    uint8_t two[2], most[2];
    long_to_2bytes(300, two), long_to_2bytes(60000, most);  // counts stop at the largest the two bytes hold
    EXPECT_EQ(std::tuple(two[0], two[1], (most[0] - 32) * 224 + (most[1] - 32)), std::tuple(33, 108, INSTAT_MAX_COUNT));
}

TEST_F(Instat, GeneratedWorksheetReadsAndCarriesItsExtras) {
    Sheet* s = must(quiet(data_path("instat/trial.wor")));
    EXPECT_EQ(std::tuple(said, s->description_lines),
              std::tuple(std::string("Warning: Too few labels for factor Plots!\n"), std::vector<std::string>{"Barley trial 1997"}));
    expect_sheet_cells(s, tsv_rows(data_path("instat/trial.expect")), true, 0x1p-31);
    EXPECT_EQ(std::tie(s->cols[2]->origin, s->cols[2]->representation, s->cols[4]->nlevels, s->cols[4]->labels),
              std::tuple(2, VXS_REP_TEXT, 4, std::vector<std::string>{}));
    expect_vxc_holds(dir.path(), copy_sample(dir, "instat/trial.wor", "in.wor"),
                     {"TEXT Title; 'Barley trial 1997'\n", "POINTER M; !p(M1,M2)\n", "SCALAR M2; -8888\n",
                      "TEXT S3; 'Observer''s notes'\n", "TEXT L1; !t('low','medium','high')\n", "SCALAR K1; 3.5\n",
                      "SCALAR K4; 0.0009999999997\n", "POINTER [SUFFIXES=!(1,2,3,4,5)] X; !p(Yield,Dose,Side,Plots,Count)\n"});
    // /m codes given on input replace the worksheet's first codes; past the ceiling they are clipped.
    expect_vxc_holds(dir.path(), "in.wor/m=-1,5", {"SCALAR M1; -1\nSCALAR M2; 5\n"});
    EXPECT_EQ(run_morvalen(dir.path(), {"in.wor/m=1e308", "out3.csv"}).out, "Warning: Too few labels for factor Plots!\nWarning: "
              "Numbers in in.wor greater than 9.99999E+307 have been set to this value\n! 6 records transferred.\n");
}

TEST_F(Instat, ColumnSlotsNamesLabelSetsAndLimits) {
    const struct { int32_t rows, cols; long slots; } cases[] = {
        {1000, 15, 40}, {1001, 15, 25}, {10, 3, 30}, {20, 127, 127}, {2000, 120, 127}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.rows) + "x" + std::to_string(c.cols));
        ASSERT_EQ(write_sheet_as_instat(numbers_sheet(c.rows, c.cols), dir.file("s.wor").c_str()), 1);
        const std::string f = read_file(dir.file("s.wor"));
        EXPECT_EQ(std::tuple(group(f, 3, 0), group(f, 3, 1), control(f, 10), group(f, 4, 2), group(f, 3, 2)),
                  std::tuple(c.slots, c.rows, c.slots * c.rows, long(f.size()), long(f.size()) - c.slots * c.rows * 5));
    }
    for (auto [rows, cols, what] : {std::tuple(3, 128, "columns in big to save.\nInstat has a maximum of 127 columns.\n"),
                                    {50401, 1, "rows in big to save.\nInstat has a maximum of 50400 rows.\n"}}) {
        Sheet* s = numbers_sheet(rows, cols);
        s->structure_name = "big";
        EXPECT_EQ(stdout_of([&] { EXPECT_EQ(write_sheet_as_instat(s, dir.file("l.wor").c_str()), 0); }),
                  std::string("Error: Too many ") + what);
        EXPECT_FALSE(file_exists(dir.file("l.wor")));
    }
    // Rows past the largest 2-byte count are written, with a warning that they are not read back.
    EXPECT_EQ(stdout_of([&] { EXPECT_EQ(write_sheet_as_instat(numbers_sheet(50400, 1), dir.file("c.wor").c_str()), 1); }),
              "Warning: Instat counts hold at most 50175 rows; rows after it are not read back.\n");
    ASSERT_TRUE(read(dir.file("c.wor")));
    EXPECT_EQ(std::tuple(lastsheet->row_count, lastsheet->cols[1]->num[50174]), std::tuple(INSTAT_MAX_COUNT, 50174.0));
    // 127 names of 7 characters need five records of 255; the 51st labelled factor has no label set.
    Sheet* s = numbers_sheet(2, 127);
    for (int32_t c = 1; c <= 127; ++c) s->cols[c]->name = "N" + std::string(6 - std::to_string(c).size(), '0') + std::to_string(c);
    ASSERT_EQ(write_sheet_as_instat(s, dir.file("n.wor").c_str()), 1);
    Sheet* back = read(dir.file("n.wor"));
    ASSERT_TRUE(back && back->column_count == 127);
    EXPECT_EQ(back->cols[1]->name + back->cols[127]->name, "N00000N00012");  // names cut to 6 characters
    s = new_run_with_sheet(2);
    for (int c = 1; c <= 51; ++c) add_factor(s, "F" + std::to_string(c), 2, {1, 2})->labels = {"a" + std::to_string(c), "b"};
    EXPECT_EQ(stdout_of([&] { ASSERT_EQ(write_sheet_as_instat(s, dir.file("l.wor").c_str()), 1); }),
              "Warning: Instat links labels to 50 factors; labels of F51 not written\n");
    ASSERT_NE(back = quiet(dir.file("l.wor")), nullptr);
    EXPECT_EQ(std::tuple(said, back->cols[50]->labels, back->cols[51]->labels.size()),
              std::tuple("Warning: Too few labels for factor F51!\n", std::vector<std::string>{"a50", "b"}, size_t(0)));
}

TEST_F(Instat, RoundTripsAndTheLevelLimit) {
    Sheet* s = new_run_with_sheet(4);
    s->description_lines = {"Round trip"};
    create_column_with_memory(s, VXS_VARIATE, "Weight", 4)->num = {1.25, s->missing, -3.0e-5, 123456.789};
    add_factor(s, "Treat", 3, {3, 1, s->missing, 2})->labels = {"control", "nitrogen fed", "potash"};
    s->cols[2]->origin = 2;
    Column* t = create_column_with_memory(s, VXS_TEXT, "Block", 4);
    for (int r = 0; r < 4; ++r) t->text.set(r, r % 2 ? "east" : "west");
    add_factor(s, "Wide", 2, {1, 2, 2, 1})->levels = {1000, 2000};  // level values Instat cannot hold: labels made from them
    vxs_parser_options().instat_nmv = 1, vxs_parser_options().instat_missing[0] = -5;
    ASSERT_EQ(write_sheet_as_instat(s, dir.file("r.wor").c_str()), 1);
    EXPECT_EQ(control(read_file(dir.file("r.wor")), 13), 1);
    vxs_reset_options();
    Sheet* b = must(read(dir.file("r.wor")));
    EXPECT_EQ(std::tuple(b->description_lines, b->cols[3]->type), std::tuple(std::vector<std::string>{"Round trip"}, VXS_FACTOR));
    // Texts come back as factors, labels cut to 8 characters, level values as labels.
    expect_sheet_cells(b, {{"Weight", "Treat", "Block", "Wide"}, {"1.25", "potash", "west", "1000"}, {"NA", "control", "east", "2000"},
                           {"-3.0e-5", "NA", "west", "2000"}, {"123456.789", "nitrogen", "east", "1000"}}, true, 0x1p-31);
    // The written worksheet's extras reach the command file: its code, title and label sets.
    expect_vxc_holds(dir.path(), "r.wor",
                     {"TEXT Title; 'Round trip'\n", "POINTER M; !p(M1)\nSCALAR M1\n",
                      "TEXT L1; !t('control','nitrogen','potash')\n", "TEXT L2; !t('east','west')\n",
                      "TEXT L3; !t('1000','2000')\n", "!p(Weight,Treat,Block,Wide)\n"});
    // A factor of more levels than Instat holds: written as levels, or left out.
    for (int drop : {0, 1}) {
        SCOPED_TRACE(drop);
        Sheet* many = new_run_with_sheet(300);
        Column* f = add_factor(many, "Many", 300, {});
        for (int r = 0; r < 300; ++r) f->num.push_back(r + 1);
        create_column_with_memory(many, VXS_VARIATE, "V", 300)->num.assign(300, 2.5);
        vxs_parser_options().inst_drop_factors = static_cast<int16_t>(drop);
        EXPECT_EQ(stdout_of([&] { ASSERT_EQ(write_sheet_as_instat(many, dir.file("m.wor").c_str()), 1); }),
                  std::string("Error: Factors with more than 223 labels are not supported by Instat!\n") +
                      (drop ? "Factor Many not written to Instat file\n" : "Factor Many labels written to Instat file as levels\n"));
        vxs_reset_options();
        ASSERT_TRUE((b = read(dir.file("m.wor"))) && b->column_count == (drop ? 1 : 2));
        EXPECT_EQ(b->cols[1]->num[299], drop ? 2.5 : 300);
    }
}

TEST_F(Instat, BrokenWorksheets) {
    const std::string good = read_file(data_path("instat/trial.wor")), none = "Warning: No column data in INSTAT file ";
    expect_refused({
        {patched(good, 200 + 30 * 3 + 5, bytes5(40000000)), "Error: Not enough memory to read INSTAT file!\n"},
        {patched(good, 200 + 30 * 3, bytes5(0)), none + dir.file("t.in") + "!\n"},
        {good.substr(0, 2000), none + dir.file("t.in") + "!\n"},
        {good.substr(0, 300), ""},
        {patched(good, 200 + 30 * 3 + 10, bytes5(1e9)), none + dir.file("t.in") + "!\n"},  // offset past the file
    });
    write_file(dir.file("bad.wor"), patched(good, 200 + 30 * 3, bytes5(0)));
    RunResult r = run_morvalen(dir.path(), {"bad.wor", "out.csv"});
    EXPECT_EQ(std::to_string(r.status) + r.out, "5" + none + "bad.wor!\n Error: No valid data in input file bad.wor!\n");
}

