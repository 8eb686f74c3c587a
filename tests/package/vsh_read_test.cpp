// The package spreadsheet file reader: the sample files of both byte orders converted whole,
// structure kinds the text reader never makes, sheets of every column kind written and read
// back in each version, and cut or lying files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "driver/vxs_options.h"
#include "driver/vxs_formats.h"
#include "package/vxr_read.h"
#include "package/vxs_package.h"
#include "sheet/vxs_access.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

Sheet* decode(const std::string& bytes) {
    new_run_with_sheet(1);
    lastsheet = nullptr;
    VXSMAXCOLUMNS = 250;
    ByteReader in(bytes);
    return vxs_decode_vsh(in) ? lastsheet : nullptr;
}

TEST(VshRead, EachFileAndItsTwinGiveOneCsv) {
    const std::vector<std::vector<std::string>> groups = {
        {"csv/kinds_v1.vsh", "vsh/kinds_v1_be.vsh", "csv/kinds_v2.vsh", "vsh/kinds_v2_be.vsh",
         "csv/kinds_v3.vsh", "vsh/kinds_v3_be.vsh"},
        {"vsh/oneway_v1.vsh", "vsh/oneway_v1_be.vsh", "vsh/oneway_v2.vsh", "vsh/oneway_v2_be.vsh",
         "vsh/oneway_v3.vsh", "vsh/oneway_v3_be.vsh"},
    };
    for (const auto& group : groups) {
        std::string first;
        for (const std::string& f : group) {
            ScratchDir dir;
            write_file(dir.file("in.vsh"), read_file(data_path(f)));
            RunResult r = run_morvalen(dir.path(), {"in.vsh", "out.csv"});
            ASSERT_EQ(r.status, 0) << f << "\n" << r.out;
            std::string csv = read_file(dir.file("out.csv"));
            if (first.empty()) first = csv;
            EXPECT_EQ(csv, first) << f;
        }
    }
}

TEST(VshRead, KindsFileReadsAsItsDescription) {
    Sheet* s = decode(read_file(data_path("vsh/kinds_v3_be.vsh")));
    ASSERT_TRUE(s);
    ASSERT_EQ(s->column_count, 6);
    EXPECT_EQ(s->row_count, 4);
    const Column* site = s->cols[1].get();
    const Column* treat = s->cols[3].get();
    const Column* dose = s->cols[4].get();
    EXPECT_EQ(site->type, VXS_TEXT);
    EXPECT_EQ(site->text.str(3), "East");
    EXPECT_EQ(treat->type, VXS_FACTOR);
    EXPECT_EQ(treat->origin, 2);
    EXPECT_EQ(treat->labels, (std::vector<std::string>{"Control", "High N", "low n"}));
    EXPECT_EQ(treat->num, (std::vector<double>{1, 2, 1, 3}));
    EXPECT_EQ(dose->num, (std::vector<double>{0.5, 1.25, s->missing, 1e10}));
}

TEST(VshRead, StructureKinds) {
    // One-way tables: versions 1 and 2 carry a name part, version 3 none.
    for (int v = 1; v <= 3; ++v) {
        for (const char* order : {"", "_be"}) {
            std::string f = "vsh/oneway_v" + std::to_string(v) + order + ".vsh";
            Sheet* s = decode(read_file(data_path(f)));
            ASSERT_TRUE(s) << f;
            EXPECT_EQ(s->kind, VXS_TABLE);
            EXPECT_EQ(s->table_dims, 1);
            EXPECT_EQ(s->structure_name, v < 3 ? "Counts" : "") << f;
            EXPECT_EQ(s->cols[2]->num, (std::vector<double>{4, 0, 7.5})) << f;
            EXPECT_EQ(s->cols[2]->representation, VXS_REP_FIXED);
        }
    }
    // A file that starts with the number 3 is a headerless symmetric matrix.
    Sheet* s = decode(read_file(data_path("vsh/symmetric_v0.vsh")));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->kind, VXS_SYMMATRIX);
    EXPECT_EQ(s->structure_name, "S");
    EXPECT_EQ(s->cols[1]->num, (std::vector<double>{1, 2}));
}

// A sheet holding every kind of column, written by the writer in each version and read back.
Sheet* every_kind_sheet() {
    Sheet* s = new_run_with_sheet(3);
    Column* text = create_column_with_memory(s, VXS_TEXT, "Notes", 3);
    text->text.set(0, "first");
    text->text.set(2, "a longer third text");
    Column* var = create_column_with_memory(s, VXS_VARIATE, "Weight", 3);
    var->num = {1.5, s->missing, -2e-7};
    var->decimals = 2;
    var->representation = VXS_REP_FIXED;
    Column* date = create_column_with_memory(s, VXS_VARIATE, "Born", 3);
    date->num = {45000, 45001.5, s->missing};
    date->representation = VXS_REP_DATE;
    date->date_format = 24;
    Column* f0 = create_column_with_memory(s, VXS_FACTOR, "Block", 3);
    f0->nlevels = 2;
    f0->num = {2, 1, 2};
    Column* f1 = create_column_with_memory(s, VXS_FACTOR, "Dose", 3);
    f1->nlevels = 2;
    f1->origin = 1;
    f1->levels = {0.5, 10};
    f1->decimals = 1;
    f1->num = {1, 2, s->missing};
    Column* f2 = create_column_with_memory(s, VXS_FACTOR, "Colour", 3);
    f2->nlevels = 3;
    f2->origin = 2;
    f2->labels = {"red", "green", "a label of exactly forty characters long"};
    f2->num = {3, 1, 2};
    f2->representation = VXS_REP_TEXT;
    Column* n22 = create_column_with_memory(s, VXS_NUMERIC22, "Other", 3);
    n22->num = {7, 8, 9};
    s->rows[1].restricted = 1;
    s->restriction_present = 1;
    s->cols[2]->extra = "kilograms";
    return s;
}

TEST(VshRead, EveryColumnKindRoundTripsInEachVersion) {
    for (int version = 1; version <= 3; ++version) {
        SCOPED_TRACE(version);
        ScratchDir dir;
        Sheet* s = every_kind_sheet();
        s->defaults.omit_empty = 0;
        vxs_get_global_defaults()->omit_empty = 0;
        vxs_parser_options().version = version;
        ASSERT_TRUE(save_sheet(s, dir.file("k.vsh").c_str()));
        lastsheet = nullptr;
        ASSERT_TRUE(read_file_into_sheet(dir.file("k.vsh").c_str()));
        Sheet* r = lastsheet;
        ASSERT_NE(r, s);
        ASSERT_EQ(r->column_count, 7);
        EXPECT_EQ(r->row_count, 3);
        for (int c = 1; c <= 7; ++c) {
            const Column* a = s->cols[static_cast<size_t>(c)].get();
            const Column* b = r->cols[static_cast<size_t>(c)].get();
            SCOPED_TRACE(a->name);
            EXPECT_EQ(b->name, a->name);
            EXPECT_EQ(b->type, a->type);
            EXPECT_EQ(b->num, a->num);
            EXPECT_EQ(b->text.size(), a->text.size());
            for (size_t k = 0; k < a->text.size(); ++k) EXPECT_EQ(b->text.str(k), a->text.str(k));
            EXPECT_EQ(b->levels, a->levels);
            EXPECT_EQ(b->labels, a->labels);
            EXPECT_EQ(b->origin, a->origin);
            if (a->type != VXS_TEXT) {
                EXPECT_EQ(b->decimals, a->decimals);
            }
        }
        EXPECT_EQ(r->cols[2]->extra, version == 3 ? "kilograms" : "");
        // Dates keep their kind only where the version has a date word.
        EXPECT_EQ(r->cols[3]->representation, version == 3 ? VXS_REP_DATE : VXS_REP_GENERAL);
        if (version == 3) {
            EXPECT_EQ(r->cols[3]->date_format, 24);
        }
        EXPECT_EQ(r->restriction_present, 1);
        EXPECT_EQ(r->restricted_count, 1);
        EXPECT_EQ(r->rows[1].restricted, 1);
    }
}

TEST(VshRead, ColumnLimitAndLongNames) {
    std::string b = read_file(data_path("csv/kinds_v1.vsh"));
    new_run_with_sheet(1);
    lastsheet = nullptr;
    VXSMAXCOLUMNS = 4;
    ByteReader in(b);
    EXPECT_EQ(stdout_of([&] { EXPECT_TRUE(vxs_decode_vsh(in)); }),
              "Warning Columns above 4 NOT transfered!\n");
    EXPECT_EQ(lastsheet->column_count, 4);

    // A 60-character name is read whole and its first 40 kept.
    std::string name(60, 'n');
    std::string f;
    auto i32 = [&](int32_t v) { f.append(reinterpret_cast<const char*>(&v), 4); };
    auto f64 = [&](double v) { f.append(reinterpret_cast<const char*>(&v), 8); };
    i32(VXS_MAGIC_V1), i32(1), i32(1), i32(1), f64(-1e307);
    i32(4), i32(1), i32(60);
    f += name;
    i32(1), i32(0), i32(-1), f64(12345.6);
    Sheet* s = decode(f);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->cols[1]->name, std::string(40, 'n'));
}

// Every cut of a file, and counts that claim more than the file holds, end with a clean
// failure; the sanitizer build would catch a huge allocation or a read outside.
TEST(VshRead, CutAndLyingFilesFailCleanly) {
    std::string good = read_file(data_path("csv/kinds_v3.vsh"));
    for (size_t n = 0; n < good.size(); ++n) EXPECT_FALSE(decode(good.substr(0, n))) << n;
    ASSERT_TRUE(decode(good));

    // Columns, rows (twice), structure kind, further header bytes, first value count, first name length.
    for (auto [at, v] : {std::pair<size_t, uint32_t>{8, 0x7fffffff}, {12, 0x7fffffff}, {12, uint32_t(-1)}, {4, 7},
                         {40, 0x7ffffff0}, {48, 0x7fffffff}, {52, 0x7fffffff}})
        EXPECT_FALSE(decode(patched(good, at, le_bytes(v, 4)))) << at;
    // A sheet missing value that marks nothing as missing would let bad factor codes through.
    for (double missing : {std::nan(""), 1e308, 0.0, -1e300})
        EXPECT_FALSE(decode(patched(good, 16, le_f64(missing)))) << missing;
}

}  // namespace
