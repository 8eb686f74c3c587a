// Gauss files: every generated layout against its .expect, the matrix writer's bytes, broken headers.
#include "statpack/reader_test_util.h"
#include "statpack/vxr_gauss.h"

using Gauss = ReaderTest<read_gauss_into_sheet>;

const std::string kMissing("\xFF\xFF\xFF\x7F\0\0\0\0", 8), kFactorMissing("\0\0\0\0\xFF\xFF\xFF\x7F", 8);

static std::string small_header(int rows, int cols) {
    return le_bytes(0xDDDD, 2) + le_bytes(rows, 2) + le_bytes(cols, 2) + le_bytes(rows * cols * 8, 2) +
           le_bytes(0x86, 2) + std::string(6, '\0');
}

TEST_F(Gauss, EveryLayoutConvertsAsTheGeneratorWroteIt) {
    const std::pair<std::string, std::string> files[] = {  // a file and its first column's name
        {"matrix_small.fmt", "1"}, {"matrix_large.fmt", "1"},    {"matrix_v96_le.fmt", "1"},
        {"matrix_v96_be.fmt", "1"}, {"dataset_v96.dat", "name"}, {"dataset_v92.dat", "name"},
        {"trial89.dht", "name"},    {"ints89.dht", "A"},         {"large89.dht", "X"}};
    for (const auto& [file, first] : files) {
        SCOPED_TRACE(file);
        Sheet* s = must(read(data_path("gauss/" + file)));
        EXPECT_EQ(std::tuple(s->kind, s->cols[1]->name), std::tuple(first == "1" ? VXS_MATRIX : VXS_VECTOR, first));
        // A 1989 header is found by its name, and its data file in either case of extension.
        const std::string base = file.substr(0, file.find('.'));
        if (file.ends_with(".dht")) copy_sample(dir, "gauss/" + base + ".dat", base + (first == "A" ? ".DAT" : ".dat"));
        expect_sample_converts("gauss/" + file, false);
    }
}

// Headers by size: 10 x 3 small (240 bytes of data), 3000 x 3 large; row 2 holds 20, 21, 22.
TEST_F(Gauss, WrittenBytesMissingPatternsAndTheColumnLimit) {
    vxs_reverse = 0;
    for (int32_t rows : {10, 3000}) {
        Sheet* s = new_run_with_sheet(rows);
        for (int c = 0; c < 3; ++c) {
            Column* col = create_column_with_memory(s, VXS_VARIATE, "V" + std::to_string(c), rows);
            for (int32_t r = 0; r < rows; ++r) col->num[r] = r * 10 + c;
        }
        ASSERT_TRUE(write_sheet_as_gauss(s, dir.file("m.fmt").c_str()));
        const std::string got = read_file(dir.file("m.fmt"));
        ASSERT_EQ(got.size(), 16u + size_t(rows) * 24);
        EXPECT_EQ(got.substr(0, 16), rows == 10 ? small_header(10, 3)
                                                : le_bytes(0x0086EEDD, 4) + le_bytes(3000, 4) + le_bytes(3, 4) + le_bytes(72000, 4));
        EXPECT_EQ(got.substr(16 + 24 * 2, 24), le_f64(20) + le_f64(21) + le_f64(22));
    }

    // Texts left out; factor 10/20/30 writes its levels (bad indexes the factor pattern), a factor without levels its index.
    Sheet* s = new_run_with_sheet(4);
    create_column_with_memory(s, VXS_TEXT, "T", 4)->text.set(0, "x");
    create_column_with_memory(s, VXS_VARIATE, "V", 4)->num = {1.5, s->missing, -2, 0};
    add_factor(s, "F", 3, {2, 0, 3, 4})->levels = {10, 20, 30};
    add_factor(s, "G", 2, {1, 2, s->missing, 2});
    ASSERT_TRUE(write_sheet_as_gauss(s, dir.file("f.fmt").c_str()));
    EXPECT_EQ(read_file(dir.file("f.fmt")), small_header(4, 3) + le_f64(1.5) + le_f64(20) + le_f64(1) + kMissing +
                                                kFactorMissing + le_f64(2) + le_f64(-2) + le_f64(30) + kFactorMissing +
                                                le_f64(0) + kFactorMissing + le_f64(2));

    Sheet* texts = new_run_with_sheet(2);  // only texts: nothing written
    create_column_with_memory(texts, VXS_TEXT, "T", 2);
    EXPECT_EQ(write_sheet_as_gauss(texts, dir.file("t.fmt").c_str()), 0);
    EXPECT_FALSE(file_exists(dir.file("t.fmt")));

    // Read big-endian, the writer writes big-endian too, header and values; missing patterns read in either order.
    ASSERT_TRUE(read(data_path("gauss/matrix_v96_be.fmt")) && write_sheet_as_gauss(lastsheet, dir.file("be.fmt").c_str()));
    const std::string be = read_file(dir.file("be.fmt"));  // 1.5, the missing pattern fixed, not reversed
    EXPECT_EQ(be.substr(0, 10) + be.substr(16, 8) + be.substr(16 + 4 * 8, 8),
              raw("\xDD\xDD\0\x04\0\x03\0\x60\0\x86\x3F\xF8\0\0\0\0\0\0") + kMissing);
    for (const char* f : {"gauss/matrix_v96_le.fmt", "gauss/matrix_v96_be.fmt"}) {
        ASSERT_TRUE(read_bytes(patched(read_file(data_path(f)), 128, kMissing + kFactorMissing)));
        EXPECT_EQ(rows_text(lastsheet, 0, 1).substr(0, 4), ".|.|") << f;
    }
    VXSMAXCOLUMNS = 2;  // the rest of each row is skipped
    ASSERT_NE(s = quiet(data_path("gauss/dataset_v92.dat")), nullptr);
    EXPECT_EQ(said + rows_text(s, 0, 3), "Warning Columns above 2 NOT transfered!\nann|1;bob|2;cy|3;");
}

TEST_F(Gauss, BrokenFilesAreRefusedWithoutGuessing) {
    const std::string small = read_file(data_path("gauss/matrix_small.fmt")), v92 = read_file(data_path("gauss/dataset_v92.dat"));
    // Short data, lying row counts and column count; not a matrix type, a field that must be 0, element size 3, mark.
    const std::vector<Refusal> broken = {
        {small.substr(0, 100)}, {patched(small, 2, le_bytes(60000, 2))}, {patched(v92, 20, le_bytes(0xFFFFFFFF, 4))},
        {patched(v92, 24, le_bytes(0x7FFFFFFF, 4))}, {patched(small, 8, le_bytes(0x87, 2))}, {patched(v92, 28, le_bytes(1, 4))},
        {patched(v92, 32, le_bytes(3, 4))}, {patched(read_file(data_path("gauss/dataset_v96.dat")), 24, le_bytes(0xABCDEF03, 4))}};
    expect_refused(broken);
    expect_no_data({broken[0].bytes, broken[1].bytes, broken[2].bytes, broken[3].bytes}, "bad.fmt");

    // 1989: refused without its data file, and by the flags.
    const std::string dht = read_file(data_path("gauss/trial89.dht"));
    for (auto [with_data, bytes, reads] :
         {std::tuple(false, dht, false), {true, dht, true}, {true, patched(dht, 22, le_bytes(4, 2)), false}}) {
        if (with_data) copy_sample(dir, "gauss/trial89.dat", "lone.dat");
        write_file(dir.file("lone.dht"), bytes);
        EXPECT_EQ(read(dir.file("lone.dht")) != nullptr, reads);
    }
}

