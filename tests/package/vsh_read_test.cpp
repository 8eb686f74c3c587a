// The package spreadsheet reader: samples of both byte orders, round trips, cut and lying files.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "driver/vxs_options.h"
#include "package/vxr_read.h"
#include "package/vxs_package.h"
#include "sheet/vxs_format_entries.h"
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

// Versions 1-3 in both byte orders give one CSV; for kinds, the one from its hand-made description.
TEST(VshRead, EachFileAndItsTwinGiveOneCsv) {
    for (const std::string stem : {"kinds", "oneway"}) {
        const bool kinds = stem == "kinds";
        const std::string want = kinds ? read_file(data_path("csv/kinds_expected.csv"))
                                       : "Colour!,Counts\n'red'  ,   4.0\n'green',   0.0\n'blue' ,   7.5\n";
        for (int v = 1; v <= 3; ++v) {
            for (const std::string order : {"", "_be"}) {
                const std::string f = (kinds && order.empty() ? "csv/" : "vsh/") + stem + "_v" + std::to_string(v) + order + ".vsh";
                SCOPED_TRACE(f);
                ScratchDir dir;
                copy_sample(dir, f, "in.vsh");
                RunResult r = run_morvalen(dir.path(), {"in.vsh", "out.csv"});
                ASSERT_EQ(r.status, 0) << r.out;
                EXPECT_EQ(read_file(dir.file("out.csv")), want);
                if (kinds) continue;
                Sheet* s = decode(read_file(data_path(f)));
                ASSERT_TRUE(s && s->kind == VXS_TABLE && s->table_dims == 1);
                EXPECT_EQ(s->structure_name, v < 3 ? "Counts" : "");
            }
        }
    }
    // A file that starts with the number 3 is a headerless symmetric matrix.
    Sheet* s = decode(read_file(data_path("vsh/symmetric_v0.vsh")));
    ASSERT_TRUE(s && s->kind == VXS_SYMMATRIX && s->structure_name == "S");
    EXPECT_EQ(s->cols[1]->num, (std::vector<double>{1, 2}));
}

// A sheet holding every kind of column, written by the writer in each version and read back.
TEST(VshRead, EveryColumnKindRoundTripsInEachVersion) {
    for (int version = 1; version <= 3; ++version) {
        SCOPED_TRACE(version);
        Sheet* s = new_run_with_sheet(3);
        const double M = s->missing;
        auto column = [&](int32_t type, const char* name, std::vector<double> num) {
            Column* c = create_column_with_memory(s, type, name, 3);
            if (!num.empty()) c->num = num;
            return c;
        };
        Column* text = column(VXS_TEXT, "Notes", {});
        text->text.set(0, "first"), text->text.set(2, "a longer third text");
        Column* var = column(VXS_VARIATE, "Weight", {1.5, M, -2e-7});
        var->decimals = 2, var->representation = VXS_REP_FIXED, var->extra = "kilograms";
        Column* date = column(VXS_VARIATE, "Born", {45000, 45001.5, M});
        date->representation = VXS_REP_DATE, date->date_format = 24;
        column(VXS_FACTOR, "Block", {2, 1, 2})->nlevels = 2;
        Column* f1 = column(VXS_FACTOR, "Dose", {1, 2, M});
        f1->nlevels = 2, f1->origin = 1, f1->levels = {0.5, 10}, f1->decimals = 1;
        Column* f2 = column(VXS_FACTOR, "Colour", {3, 1, 2});
        f2->nlevels = 3, f2->origin = 2, f2->representation = VXS_REP_TEXT;
        f2->labels = {"red", "green", "a label of exactly forty characters long"};
        column(VXS_NUMERIC22, "Other", {7, 8, 9});
        s->rows[1].restricted = s->restriction_present = 1;
        s->defaults.omit_empty = vxs_get_global_defaults()->omit_empty = 0;
        vxs_parser_options().version = version;
        ScratchDir dir;
        ASSERT_TRUE(save_sheet(s, dir.file("k.vsh").c_str()));
        lastsheet = nullptr;
        ASSERT_TRUE(read_file_into_sheet(dir.file("k.vsh").c_str()));
        Sheet* r = lastsheet;
        ASSERT_TRUE(r != s && r->column_count == 7 && r->row_count == 3);
        for (size_t c = 1; c <= 7; ++c) {
            const Column *a = s->cols[c].get(), *b = r->cols[c].get();
            SCOPED_TRACE(a->name);
            EXPECT_TRUE(b->name == a->name && b->type == a->type && b->num == a->num && b->levels == a->levels);
            EXPECT_TRUE(b->labels == a->labels && b->origin == a->origin);
            EXPECT_TRUE(a->type == VXS_TEXT || b->decimals == a->decimals);
            ASSERT_EQ(b->text.size(), a->text.size());
            for (size_t k = 0; k < a->text.size(); ++k) EXPECT_EQ(b->text.str(k), a->text.str(k));
        }
        // Descriptions and dates keep their kind only where the version has words for them.
        EXPECT_EQ(r->cols[2]->extra, version == 3 ? "kilograms" : "");
        EXPECT_EQ(r->cols[3]->representation, version == 3 ? VXS_REP_DATE : VXS_REP_GENERAL);
        EXPECT_EQ(r->cols[3]->date_format, version == 3 ? 24 : r->cols[3]->date_format);
        EXPECT_TRUE(r->restricted_count == 1 && r->rows[1].restricted == 1);
    }
}

TEST(VshRead, ColumnLimitAndLongNames) {
    std::string b = read_file(data_path("csv/kinds_v1.vsh"));
    new_run_with_sheet(1);
    lastsheet = nullptr;
    VXSMAXCOLUMNS = 4;
    ByteReader in(b);
    EXPECT_EQ(stdout_of([&] { EXPECT_TRUE(vxs_decode_vsh(in)); }), "Warning Columns above 4 NOT transfered!\n");
    EXPECT_EQ(lastsheet->column_count, 4);
    // A 60-character name is read whole and its first 40 kept.
    std::string f = le_bytes(VXS_MAGIC_V1, 4) + le_bytes(1, 4) + le_bytes(1, 4) + le_bytes(1, 4) + le_f64(-1e307) +
                    le_bytes(4, 4) + le_bytes(1, 4) + le_bytes(60, 4) + std::string(60, 'n') + le_bytes(1, 4) +
                    le_bytes(0, 4) + le_bytes(0xFFFFFFFF, 4) + le_f64(12345.6);
    Sheet* s = decode(f);
    ASSERT_TRUE(s && s->cols[1]->name == std::string(40, 'n'));
}

// Cuts and lying counts fail cleanly (sanitizers catch huge allocations and stray reads).
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
