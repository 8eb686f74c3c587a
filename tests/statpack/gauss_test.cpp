// Gauss files: every layout the generator script builds read against its .expect and converted
// whole, the matrix writer's bytes (headers, missing patterns, factors, byte order), numpy
// reading a written file, and broken headers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>

#include "driver/vxs_formats.h"
#include "sheet/vxs_access.h"
#include "sheet/vxs_sheet.h"
#include "statpack/reader_test_util.h"
#include "statpack/vxr_gauss.h"
#include "test_util.h"

namespace {

using Gauss = ReaderTest<read_gauss_into_sheet>;

struct FileCase {
    const char* file;
    const char* expect;
    int32_t kind;
    std::vector<std::string> names;  // empty for matrices ("1", "2", ...)
};

const FileCase kFiles[] = {
    {"matrix_small.fmt", "matrix_small", VXS_MATRIX, {}},
    {"matrix_large.fmt", "matrix_large", VXS_MATRIX, {}},
    {"matrix_v96_le.fmt", "matrix_v96_le", VXS_MATRIX, {}},
    {"matrix_v96_be.fmt", "matrix_v96_be", VXS_MATRIX, {}},
    {"dataset_v96.dat", "dataset_v96", VXS_VECTOR, {"name", "ID", "HEIGHT"}},
    {"dataset_v92.dat", "dataset_v92", VXS_VECTOR, {"name", "ID", "HEIGHT"}},
    {"trial89.dht", "trial89", VXS_VECTOR, {"name", "ID", "HEIGHT"}},
    {"ints89.dht", "ints89", VXS_VECTOR, {"A", "B"}},
    {"large89.dht", "large89", VXS_VECTOR, {"X", "Y"}},
};

TEST_F(Gauss, EveryLayoutReadsWhatTheGeneratorWroteAndConverts) {
    for (const FileCase& fc : kFiles) {
        SCOPED_TRACE(fc.file);
        Sheet* s = read(data_path(std::string("gauss/") + fc.file));
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->kind, fc.kind);
        EXPECT_EQ(s->source_type, VXT_GAUSS);
        EXPECT_EQ(s->structure_name, fc.expect);
        expect_sheet_cells(s, tsv_rows(data_path(std::string("gauss/") + fc.expect + ".expect")), false);
        for (size_t c = 0; c < size_t(s->column_count); ++c) {
            const Column* col = s->cols[c + 1].get();
            if (fc.names.empty()) {
                EXPECT_EQ(col->name, std::to_string(c + 1));
                EXPECT_EQ(col->type, VXS_MATRIX_COL);
            } else {
                EXPECT_EQ(col->name, fc.names[c]);
                EXPECT_EQ(col->type, fc.names[c] == "name" ? VXS_TEXT : VXS_VARIATE);
            }
        }

        // The driver finds the format by content (a 1989 header by its name) and the data file
        // beside it, in either case of extension.
        std::string in = fc.file;
        write_file(dir.file(in), read_file(data_path(std::string("gauss/") + fc.file)));
        if (in.ends_with(".dht"))
            write_file(dir.file(std::string(fc.expect) + (in[0] == 'i' ? ".DAT" : ".dat")),
                       read_file(data_path(std::string("gauss/") + fc.expect + ".dat")));
        RunResult r = run_morvalen(dir.path(), {in, "out.csv"});
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(r.out, " " + std::to_string(s->row_count) + " records transferred.\n");
    }
}

// Sheet of rows x columns variates holding row * 10 + column.
Sheet* numbers_sheet(int32_t rows, int32_t cols) {
    Sheet* s = new_run_with_sheet(rows);
    for (int32_t c = 0; c < cols; ++c) {
        Column* col = create_column_with_memory(s, VXS_VARIATE, "V" + std::to_string(c + 1), rows);
        for (int32_t r = 0; r < rows; ++r) col->num[r] = r * 10 + c;
    }
    return s;
}

const std::string kMissing("\xFF\xFF\xFF\x7F\0\0\0\0", 8);
const std::string kFactorMissing("\0\0\0\0\xFF\xFF\xFF\x7F", 8);

TEST_F(Gauss, WrittenHeadersChooseSmallOrLargeBySize) {
    struct Case {
        int32_t rows;
        std::string header;
    } cases[] = {
        {10,
         le_bytes(0xDDDD, 2) + le_bytes(10, 2) + le_bytes(3, 2) + le_bytes(240, 2) + le_bytes(0x86, 2) + std::string(6, '\0')},
        {3000, le_bytes(0x0086EEDD, 4) + le_bytes(3000, 4) + le_bytes(3, 4) + le_bytes(72000, 4)},
    };
    for (const Case& c : cases) {
        vxs_reverse = 0;
        Sheet* s = numbers_sheet(c.rows, 3);
        ASSERT_TRUE(write_sheet_as_gauss(s, dir.file("m.fmt").c_str()));
        std::string got = read_file(dir.file("m.fmt"));
        ASSERT_EQ(got.size(), 16u + size_t(c.rows) * 24);
        EXPECT_EQ(got.substr(0, 16), c.header);
        EXPECT_EQ(got.substr(16 + 24 * 2, 24), le_f64(20) + le_f64(21) + le_f64(22));
    }
}

TEST_F(Gauss, TextLeftOutFactorsWriteLevelValuesMissingPatterns) {
    vxs_reverse = 0;
    Sheet* s = new_run_with_sheet(4);
    Column* t = create_column_with_memory(s, VXS_TEXT, "T", 4);
    for (int r = 0; r < 4; ++r) t->text.set(r, "x");
    Column* v = create_column_with_memory(s, VXS_VARIATE, "V", 4);
    v->num = {1.5, s->missing, -2, 0};
    Column* f = create_column_with_memory(s, VXS_FACTOR, "F", 4);
    f->nlevels = 3;
    f->levels = {10, 20, 30};
    f->num = {2, 0, 3, 4};  // index 4 has no level
    Column* g = create_column_with_memory(s, VXS_FACTOR, "G", 4);
    g->nlevels = 2;
    g->num = {1, 2, s->missing, 2};
    ASSERT_TRUE(write_sheet_as_gauss(s, dir.file("f.fmt").c_str()));
    Sheet* texts = new_run_with_sheet(2);
    create_column_with_memory(texts, VXS_TEXT, "T", 2);
    EXPECT_EQ(write_sheet_as_gauss(texts, dir.file("t.fmt").c_str()), 0);
    EXPECT_FALSE(file_exists(dir.file("t.fmt")));
    std::string want =
        le_bytes(0xDDDD, 2) + le_bytes(4, 2) + le_bytes(3, 2) + le_bytes(96, 2) + le_bytes(0x86, 2) + std::string(6, '\0');
    want += le_f64(1.5) + le_f64(20) + le_f64(1);
    want += kMissing + kFactorMissing + le_f64(2);
    want += le_f64(-2) + le_f64(30) + kFactorMissing;
    want += le_f64(0) + kFactorMissing + le_f64(2);
    EXPECT_EQ(read_file(dir.file("f.fmt")), want);
}

TEST_F(Gauss, MissingPatternsReadAsMissingInEitherOrderAndOrderIsKept) {
    // Read big-endian: the writer then writes big-endian too, header and values.
    Sheet* s = read(data_path("gauss/matrix_v96_be.fmt"));
    ASSERT_NE(s, nullptr);
    EXPECT_LE(s->cols[2]->num[1], s->missing);
    ASSERT_TRUE(write_sheet_as_gauss(s, dir.file("be.fmt").c_str()));
    std::string be = read_file(dir.file("be.fmt"));
    EXPECT_EQ(be.substr(0, 10), std::string("\xDD\xDD\0\x04\0\x03\0\x60\0\x86", 10));
    EXPECT_EQ(be.substr(16, 8), std::string("\x3F\xF8\0\0\0\0\0\0", 8));  // 1.5
    EXPECT_EQ(be.substr(16 + 4 * 8, 8), kMissing);                        // fixed, not reversed

    s = read(data_path("gauss/matrix_small.fmt"));
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(write_sheet_as_gauss(s, dir.file("le.fmt").c_str()));
    EXPECT_EQ(read_file(dir.file("le.fmt")), read_file(data_path("gauss/matrix_small.fmt")));

    // Both patterns in a big-endian 1996 matrix, and a little-endian one, read as missing.
    for (bool big : {false, true}) {
        std::string f =
            read_file(data_path(big ? "gauss/matrix_v96_be.fmt" : "gauss/matrix_v96_le.fmt"));
        f.replace(128, 8, kMissing);
        f.replace(136, 8, kFactorMissing);
        ASSERT_NE(s = read_bytes(f), nullptr);
        EXPECT_LE(s->cols[1]->num[0], s->missing);
        EXPECT_LE(s->cols[2]->num[0], s->missing);
    }
}

TEST_F(Gauss, BrokenFilesAreRefusedWithoutGuessing) {
    std::string small = read_file(data_path("gauss/matrix_small.fmt"));
    std::string v92 = read_file(data_path("gauss/dataset_v92.dat"));
    std::string v96 = read_file(data_path("gauss/dataset_v96.dat"));
    std::vector<std::string> broken = {
        small.substr(0, 100),                                    // short data
        small.substr(0, 2) + le_bytes(60000, 2) + small.substr(4),     // lying row count
        small.substr(0, 8) + le_bytes(0x87, 2) + small.substr(10),     // not a matrix type
        v92.substr(0, 20) + le_bytes(0xFFFFFFFF, 4) + v92.substr(24),  // lying rows
        v92.substr(0, 24) + le_bytes(0x7FFFFFFF, 4) + v92.substr(28),  // lying columns
        v92.substr(0, 28) + le_bytes(1, 4) + v92.substr(32),           // field that must be 0
        v92.substr(0, 32) + le_bytes(3, 4) + v92.substr(36),           // element size 3
        v96.substr(0, 24) + le_bytes(0xABCDEF03, 4) + v96.substr(28),  // unknown mark
    };
    for (size_t i = 0; i < broken.size(); ++i) EXPECT_EQ(read_bytes(broken[i]), nullptr) << i;
    expect_no_data({broken[0], broken[1], broken[3], broken[4]}, "bad.fmt");

    // 1989: refused by the flags, and without its data file.
    std::string dht = read_file(data_path("gauss/trial89.dht"));
    write_file(dir.file("lone.dht"), dht);
    EXPECT_EQ(read(dir.file("lone.dht")), nullptr);
    write_file(dir.file("lone.dat"), read_file(data_path("gauss/trial89.dat")));
    EXPECT_NE(read(dir.file("lone.dht")), nullptr);
    write_file(dir.file("lone.dht"), dht.substr(0, 22) + le_bytes(4, 2) + dht.substr(24));
    EXPECT_EQ(read(dir.file("lone.dht")), nullptr);
}

}  // namespace
