// Matlab MAT-files: scipy-made files of levels 4 and 5 against what scipy reads back, read and
// converted whole; level 5 variables passed over; the writer's bytes; broken files.
#include <gtest/gtest.h>

#include "driver/vxs_formats.h"
#include "sheet/vxs_sheet.h"
#include "statpack/reader_test_util.h"
#include "statpack/vxr_matlab.h"
#include "test_util.h"

namespace {

using Matlab = ReaderTest<read_matlab_into_sheet>;

const std::string kNaN("\0\0\0\0\xFF\xFF\xFF\x7F", 8);

// 32-bit little-endian words.
std::string words(std::initializer_list<uint32_t> vs) {
    std::string b;
    for (uint32_t v : vs) b += le_bytes(v, 4);
    return b;
}

// A level 4 header and name, as the layout lays them down.
std::string mat4_header(int32_t rows, int32_t cols, const std::string& name) {
    return words({0, uint32_t(rows), uint32_t(cols), 0, uint32_t(name.size() + 1)}) + name + '\0';
}

Column* variate(Sheet* s, const std::vector<double>& v, int32_t type = VXS_VARIATE) {
    Column* c = create_column_with_memory(s, type, "V" + std::to_string(s->column_count + 1), s->row_count);
    for (size_t i = 0; i < v.size(); ++i) c->num[i] = v[i];
    return c;
}

}  // namespace

TEST_F(Matlab, ScipyFilesHoldWhatScipyReadsBackAndConvert) {
    const struct {
        const char* file;
        const char* name;
        bool level5;
    } cases[] = {
        {"level4_A_3x2_nan", "A", false},          {"level4_wide", "wide", false},
        {"level5_A_3x2_nan", "A", true},           {"level5_int16_compressed", "B", true},
        {"level5_logical", "L", true},             {"level5_mixed", "values", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        if (c.level5 && !vxs_matlab5_supported()) continue;
        const std::string mat = std::string("matlab/") + c.file + ".mat", expect = data_path(std::string("matlab/") + c.file + ".expect");
        Sheet* s{};
        stdout_of([&] { s = read(data_path(mat)); });
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->kind, VXS_MATRIX);
        EXPECT_EQ(s->cols[1]->type, VXS_MATRIX_COL);
        EXPECT_EQ(s->structure_name, c.name);
        expect_sheet_cells(s, tsv_rows(expect), false);
        // Level 5 files used to fall to the text reader: detected, they convert as scipy reads them.
        expect_csv_like_tool(convert_whole(mat, s->row_count), tsv_rows(expect), false);
    }
}

TEST_F(Matlab, LevelFiveSkipsWhatIsNotAMatrix) {
    if (!vxs_matlab5_supported()) GTEST_SKIP() << "built without libmatio";
    RunResult mixed = run_morvalen(dir.path(), {copy_sample(dir, "matlab/level5_mixed.mat"), "out.csv"});
    EXPECT_EQ(mixed.status, 0);
    EXPECT_EQ(mixed.out,
              "Warning: Matlab cell array acell skipped.\nWarning: Matlab struct bstruct skipped.\n"
              "Warning: Matlab sparse matrix csparse skipped.\nWarning: Matlab complex matrix dcomplex skipped.\n"
              " 1 records transferred.\n");
    EXPECT_EQ(run_morvalen(dir.path(), {copy_sample(dir, "matlab/level5_only_cell.mat"), "out.csv"}).status, 4);
}

TEST_F(Matlab, WriterBytes) {
    const struct {
        const char* what;
        std::string structure;
        std::string name;
    } cases[] = {{"plain", "Xr", "Xr"}, {"percent first", "%rates", "Xrates"}, {"underscore first", "_x", "Xx"},
                 {"percent later", "a%b", "aPb"}, {"unnamed", "", "data"}, {"cut to 8", "abcdefghij", "abcdefgh"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Sheet* s = new_run_with_sheet(2);
        s->structure_name = c.structure;
        variate(s, {1.5, vxs_missing});
        ASSERT_TRUE(write_sheet_as_matlab(s, dir.file("o.mat").c_str()));
        EXPECT_EQ(read_file(dir.file("o.mat")), mat4_header(2, 1, c.name) + le_f64(1.5) + kNaN);
    }

    // A text column is neither written nor counted, nor is a symmetric-matrix column; a factor
    // writes its level values, else its level numbers.
    Sheet* s = new_run_with_sheet(3);
    s->structure_name = "m";
    create_column_with_memory(s, VXS_TEXT, "T", 3)->text.set(0, "x");
    variate(s, {1, 2, 3});
    Column* f = variate(s, {2, 1, vxs_missing}, VXS_FACTOR);
    f->nlevels = 2;
    f->levels = {5, 10};
    f->origin = 1;
    variate(s, {7, 8, 9}, VXS_SYMMAT_COL);
    ASSERT_TRUE(write_sheet_as_matlab(s, dir.file("o.mat").c_str()));
    const std::string head = mat4_header(3, 2, "m") + le_f64(1) + le_f64(2) + le_f64(3);
    EXPECT_EQ(read_file(dir.file("o.mat")), head + le_f64(10) + le_f64(5) + kNaN);
    f->levels.clear();
    f->origin = 0;
    ASSERT_TRUE(write_sheet_as_matlab(s, dir.file("o.mat").c_str()));
    EXPECT_EQ(read_file(dir.file("o.mat")), head + le_f64(2) + le_f64(1) + kNaN);

    // Texts only: nothing to write.
    Sheet* texts = new_run_with_sheet(1);
    create_column_with_memory(texts, VXS_TEXT, "T", 1);
    EXPECT_FALSE(write_sheet_as_matlab(texts, dir.file("t.mat").c_str()));
    EXPECT_EQ(stdout_of([&] { EXPECT_FALSE(write_sheet_as_matlab(s, (dir.path() + "/no/dir.mat").c_str())); }),
              "Error: In Write Matlab File - could not open file: " + dir.path() + "/no/dir.mat\n");

    // Read, written and read again: a NaN read as missing goes back out as the missing NaN.
    Sheet* back = read(data_path("matlab/level4_A_3x2_nan.mat"));
    ASSERT_TRUE(back && write_sheet_as_matlab(back, dir.file("again.mat").c_str()));
    EXPECT_EQ(read_file(dir.file("again.mat")),
              mat4_header(3, 2, "A") + le_f64(1.5) + kNaN + le_f64(5) + le_f64(2) + le_f64(4) + le_f64(1e10));
}

TEST_F(Matlab, BrokenFiles) {
    read_cuts(mat4_header(3, 2, "A") + std::string(48, '\x01'), 1);
    for (const char* f : {"level5_A_3x2_nan.mat", "level5_int16_compressed.mat"})
        if (vxs_matlab5_supported()) read_cuts(read_file(data_path(std::string("matlab/") + f)), 7);
    // Detected as level 4 (bytes 0-3 and 11-14 zero) but refused: status 5 through the driver.
    std::vector<std::string> broken = {
        mat4_header(3, 2, "A") + std::string(47, '\x01'),            // one byte short
        mat4_header(0x7fffffff, 2, "A") + std::string(48, '\1'),      // rows far past the file
        words({0, 3, 2, 0, 0x7ffffff0}) + "A",                        // name past the file
        words({0, 0, 2, 0, 2}) + "A" + std::string(49, '\0'),         // no rows
        words({0, 3, 2, 0, uint32_t(-1)}) + std::string(49, '\0'),    // negative name
    };
    if (vxs_matlab5_supported()) broken.push_back(read_file(data_path("matlab/level5_cell_count_lies.mat")));
    expect_no_data(broken, "m.mat");
    // Not detected as Matlab at all, and refused by the reader when called.
    for (const std::string& b : {words({0, 3, 2, 1, 2}) + "A" + std::string(49, '\0'),
                                 mat4_header(2, 0x7fffffff, "A") + std::string(48, '\1'),
                                 words({1, 3, 2, 0, 2}) + "A" + std::string(49, '\0')})
        EXPECT_EQ(read_bytes(b), nullptr);
}
