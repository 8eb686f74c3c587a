// Matlab MAT-files: scipy-made files of levels 4 and 5 as scipy reads them, the writer's bytes, broken files.
#include "statpack/reader_test_util.h"
#include "statpack/vxr_matlab.h"

using Matlab = ReaderTest<read_matlab_into_sheet>;

const std::string kNaN = raw("\0\0\0\0\xFF\xFF\xFF\x7F");

static std::string words(std::initializer_list<uint32_t> vs) {
    std::string b;
    for (uint32_t v : vs) b += le_bytes(v, 4);
    return b;
}

static std::string mat4_header(int32_t rows, int32_t cols, const std::string& name) {
    return words({0, uint32_t(rows), uint32_t(cols), 0, uint32_t(name.size() + 1)}) + name + '\0';
}

static void variate(Sheet* s, const std::vector<double>& v, int32_t type = VXS_VARIATE) {
    create_column_with_memory(s, type, "V" + std::to_string(s->column_count + 1), s->row_count)->num = v;
}

TEST_F(Matlab, ScipyFilesHoldWhatScipyReadsBackAndConvert) {
    for (auto [file, name] : {std::pair{"level4_A_3x2_nan", "A"}, {"level4_wide", "wide"}, {"level5_A_3x2_nan", "A"},
                              {"level5_int16_compressed", "B"}, {"level5_logical", "L"}, {"level5_mixed", "values"}}) {
        SCOPED_TRACE(file);
        if (file[5] == '5' && !vxs_matlab5_supported()) continue;
        const std::string mat = std::string("matlab/") + file + ".mat";
        const auto expect = tsv_rows(data_path(std::string("matlab/") + file + ".expect"));
        Sheet* s = must(quiet(data_path(mat)));
        EXPECT_EQ(std::tie(s->kind, s->cols[1]->type, s->structure_name), std::tuple(VXS_MATRIX, VXS_MATRIX_COL, name));
        expect_sheet_cells(s, expect, false);
        // Level 5 files used to fall to the text reader: detected, they convert as scipy reads them.
        expect_csv_like_tool(convert_whole(mat, s->row_count), expect, false);
    }
}

TEST_F(Matlab, WriterBytes) {
    for (auto [structure, name] : {std::pair{"%rates", "Xrates"}, {"_x", "Xx"}, {"a%b", "aPb"}, {"", "data"}, {"abcdefghij", "abcdefgh"}}) {
        Sheet* s = new_run_with_sheet(2);
        s->structure_name = structure;
        variate(s, {1.5, vxs_missing});
        ASSERT_TRUE(write_sheet_as_matlab(s, dir.file("o.mat").c_str()));
        EXPECT_EQ(read_file(dir.file("o.mat")), mat4_header(2, 1, name) + le_f64(1.5) + kNaN) << structure;
    }

    // Text and symmetric-matrix columns are neither written nor counted; a factor writes its levels, else its numbers.
    Sheet* s = new_run_with_sheet(3);
    s->structure_name = "m";
    create_column_with_memory(s, VXS_TEXT, "T", 3)->text.set(0, "x");
    variate(s, {1, 2, 3});
    Column* f = add_factor(s, "F", 2, {2, 1, vxs_missing});
    f->levels = {5, 10}, f->origin = 1;
    variate(s, {7, 8, 9}, VXS_SYMMAT_COL);
    ASSERT_TRUE(write_sheet_as_matlab(s, dir.file("o.mat").c_str()));
    const std::string head = mat4_header(3, 2, "m") + le_f64(1) + le_f64(2) + le_f64(3);
    EXPECT_EQ(read_file(dir.file("o.mat")), head + le_f64(10) + le_f64(5) + kNaN);
    f->levels.clear(), f->origin = 0;
    ASSERT_TRUE(write_sheet_as_matlab(s, dir.file("o.mat").c_str()));
    EXPECT_EQ(read_file(dir.file("o.mat")), head + le_f64(2) + le_f64(1) + kNaN);

    Sheet* texts = new_run_with_sheet(1);
    create_column_with_memory(texts, VXS_TEXT, "T", 1);
    EXPECT_FALSE(write_sheet_as_matlab(texts, dir.file("t.mat").c_str()));
    EXPECT_EQ(stdout_of([&] { EXPECT_FALSE(write_sheet_as_matlab(s, (dir.path() + "/no/dir.mat").c_str())); }),
              "Error: In Write Matlab File - could not open file: " + dir.path() + "/no/dir.mat\n");
}

TEST_F(Matlab, BrokenFiles) {
    // Detected as level 4 (bytes 0-3 and 11-14 zero) but refused with status 5: one byte short, rows far past the
    // file, name past the file, no rows, negative name length.
    std::vector<std::string> broken = {
        mat4_header(3, 2, "A") + std::string(47, '\x01'), mat4_header(0x7fffffff, 2, "A") + std::string(48, '\1'),
        words({0, 3, 2, 0, 0x7ffffff0}) + "A", words({0, 0, 2, 0, 2}) + "A" + std::string(49, '\0'),
        words({0, 3, 2, 0, uint32_t(-1)}) + std::string(49, '\0')};
    if (vxs_matlab5_supported()) broken.push_back(read_file(data_path("matlab/level5_cell_count_lies.mat")));
    expect_no_data(broken, "m.mat");
    // Not detected as Matlab at all, and refused by the reader when called.
    expect_refused({{words({0, 3, 2, 1, 2}) + "A" + std::string(49, '\0')},
                    {mat4_header(2, 0x7fffffff, "A") + std::string(48, '\1')},
                    {words({1, 3, 2, 0, 2}) + "A" + std::string(49, '\0')}});
}
