// Tablet files: text items and the writer against bytes built from the layout by an independent
// script, page choice, factors, texts and missing codes, matrices, round trips, pointer numbers
// out of step, and broken files.
#include <gtest/gtest.h>

#include <tuple>

#include "driver/vxs_formats.h"
#include "driver/vxs_options.h"
#include "sheet/byte_writer.h"
#include "sheet/vxs_access.h"
#include "sheet/vxs_sheet.h"
#include "statpack/reader_test_util.h"
#include "statpack/vxr_kelmora.h"
#include "test_util.h"

namespace {

using Tablet = ReaderTest<read_kelmora_into_sheet>;

const std::string kTwo = data_path("tablet/two_pages.ktb");

// The sheet written and read back quietly: the same kind, description and columns.
void expect_round_trip(Tablet& t, Sheet* s, const std::string& path) {
    ASSERT_TRUE(write_sheet_as_kelmora(s, path.c_str()));
    Sheet* b = t.quiet(path);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(t.said, "");
    EXPECT_EQ(std::tie(b->kind, b->description_lines), std::tie(s->kind, s->description_lines));
    EXPECT_EQ(b->structure_name, s->kind == VXS_MATRIX ? s->structure_name : b->structure_name);
    ASSERT_EQ(b->column_count, s->column_count);
    for (size_t c = 1; c < s->cols.size(); ++c) {
        const Column &x = *s->cols[c], &y = *b->cols[c];
        SCOPED_TRACE(x.name);
        EXPECT_EQ(std::tie(y.name, y.type, y.num, y.labels, y.levels, y.origin),
                  std::tie(x.name, x.type, x.num, x.labels, x.levels, x.origin));
        for (size_t r = 0; x.is_text() && r < size_t(s->row_count); ++r) EXPECT_EQ(y.text.get(r), x.text.get(r));
    }
}

}  // namespace

TEST_F(Tablet, TextItems) {
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {std::nullopt, be_bytes(uint32_t(-1), 4)},        {"", be_bytes(4, 4) + raw("\0\0\0\0")},
        {"abc", be_bytes(4, 4) + raw("abc\0")},           {"abcd", be_bytes(8, 4) + raw("abcd\0\0\0\0")},
        {"(null)", be_bytes(8, 4) + raw("(null)\0\0")}};
    for (const auto& [text, bytes] : cases) {
        ByteWriter out(Endian::Big);
        ASSERT_TRUE(out.open(dir.file("t").c_str()));
        write_kel_text(out, text);
        ASSERT_TRUE(out.close());
        EXPECT_EQ(read_file(dir.file("t")), bytes);
        ByteReader in(std::string_view(bytes), Endian::Big);
        EXPECT_EQ(get_kel_text(in), text);
    }
}

TEST_F(Tablet, WriterBytesAndRoundTripsOfFactorsTextsTwoPages) {
    Sheet* one = new_run_with_sheet(3);
    one->source_file = "in.csv";
    create_column_with_memory(one, VXS_VARIATE, "x", 3)->num = {1.5, vxs_missing, 3.0};
    expect_round_trip(*this, one, dir.file("o.ktb"));
    EXPECT_EQ(read_file(dir.file("o.ktb")), read_file(data_path("tablet/one_variate.ktb")));

    Sheet* s = new_run_with_sheet(3);
    Column* f = add_factor(s, "f", 2, {2, 1, vxs_missing});
    f->labels = {"no", "yes"};
    f->origin = 2;
    Column* lv = add_factor(s, "lv", 2, {1, 1, 2});
    lv->levels = {0.5, 7};
    lv->origin = 1;
    Column* t = create_column_with_memory(s, VXS_TEXT, "t", 3);
    t->text.set(0, "abcd");
    t->text.set(2, std::string(90, 'q'));
    create_column_with_memory(s, VXS_VARIATE, "v", 3)->num = {-1e300, vxs_missing, 0};
    vxs_add_line_to_description(s, "My page");
    expect_round_trip(*this, s, dir.file("r.ktb"));

    // Each page of a two-page file; the second, a matrix, goes out as "colmatrix".
    for (const char* page : {"1", "2"}) {
        SCOPED_TRACE(page);
        vxs_parser_options().worksheet_name = page;
        Sheet* p = quiet(kTwo);
        vxs_parser_options().worksheet_name.clear();
        ASSERT_NE(p, nullptr);
        expect_round_trip(*this, p, dir.file("p.ktb"));
    }
    EXPECT_NE(read_file(dir.file("p.ktb")).find("colmatrix"), std::string::npos);
    EXPECT_NE(read_file(dir.file("p.ktb")).find("A_NDIM"), std::string::npos);
}

TEST_F(Tablet, PagesFactorsTextsAndMatrices) {
    Sheet* s = quiet(kTwo);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(said, "");
    EXPECT_EQ(s->description_lines, std::vector<std::string>{"First"});
    // "(null)" is the missing text, as is an absent text; with no kind text, integer data is a
    // variate and the integer missing code missing.
    expect_sheet_cells(s, {{"dose", "who", "count"}, {"low", "ann", "3"}, {"high", "NA", "NA"}, {"NA", "NA", "5"},
                           {"high", "a longer text", "7"}}, true);
    EXPECT_EQ(std::tie(s->cols[1]->type, s->cols[1]->origin, s->cols[1]->levels, s->cols[2]->type, s->cols[2]->nlevels,
                       s->cols[3]->type),
              std::tuple(VXS_FACTOR, 2, std::vector<double>{5, 10}, VXS_TEXT, 13, VXS_VARIATE));
    for (const char* choice : {"2", "second", "SECOND", "third"}) {
        vxs_parser_options().worksheet_name = choice;
        Sheet* m = quiet(kTwo);
        vxs_parser_options().worksheet_name.clear();
        if (choice[0] == 't') {
            EXPECT_EQ(m, nullptr);
            EXPECT_EQ(said, "No valid data found in Kelmora Tablet file " + kTwo);
            continue;
        }
        ASSERT_NE(m, nullptr) << choice;
        EXPECT_EQ(said, "Numbers in " + kTwo + " greater than 9.99999E+307 have been set to this value.");
        EXPECT_EQ(std::tie(m->kind, m->structure_name, m->second_structure_name),
                  std::tuple(VXS_MATRIX, "Second", "Treatment"));
        EXPECT_EQ(std::tie(m->cols[2]->type, m->cols[2]->num),
                  std::tuple(VXS_MATRIX_COL, std::vector<double>{3, VXS_NUM_CEILING}));
    }
}

TEST_F(Tablet, BrokenFiles) {
    // Counts given twice: the second one is used. A count past the bytes left sizes nothing.
    const std::string one = read_file(data_path("tablet/one_variate.ktb"));
    const size_t values_again = one.find(be_bytes(3, 4) + raw("\x3f\xf8\0\0\0\0\0\0")), kind = one.find("variate");
    ASSERT_NE(values_again, std::string::npos);
    auto count = [](int32_t v) { return be_bytes(uint32_t(v), 4); };
    const std::string inconsistent = "Number of Kelmora Tablet pages is inconsistent\n",
                      values = "Warning: Number of values in Kelmora Tablet column is inconsistent\n",
                      mismatch = "Kelmora Tablet Pointer ID mismatch";
    const struct {
        const char* what;
        std::string bytes;
        bool read;
        std::string message;  // what is printed, or with "..." at its end how it starts
    } cases[] = {
        {"not a tablet", "#!/usr/explorer/bin/explorer cxTablet ascii 5.0\n\f\f\n" + std::string(40, '\0'), false,
         dir.file("b.ktb") + "\nis not in Kelmora Tablet file format\n"},
        {"first page count 0", patched(one, 52, count(0)), true, "No pages found in Kelmora Tablet file\n" + inconsistent},
        {"second page count 0", patched(one, 104, count(0)), false, inconsistent},
        {"second page count huge", patched(one, 104, count(0x7fffffff)), false, inconsistent},
        {"value count huge", patched(one, values_again, count(0x7ffffff0)), false, values},
        {"negative value count", patched(one, values_again, count(-5)), false,
         values + "Illegal number of attributes found in Kelmora Tablet file\n"},
        {"data type outside 0..2", patched(one, kind + 8, count(7)), false, "Illegal Kelmora Tablet data type found\n"},
        {"pointer numbers one off", read_file(data_path("tablet/pointers_off.ktb")), true,
         mismatch + " in columns structures\n" + mismatch + "\n" + mismatch + " in column values\n" + mismatch + "\n..."},
    };
    // A factor claiming billions of levels keeps its listed ones and a thousand in all.
    const std::string two = read_file(kTwo);
    const std::string nlevel_then_levels = be_bytes(1, 4) + be_bytes(2, 4) + be_bytes(2, 4) + raw("\x40\x14\0\0\0\0\0\0");
    const size_t at = two.find(nlevel_then_levels);
    ASSERT_NE(at, std::string::npos);
    write_file(dir.file("lv.ktb"), patched(two, at + 4, count(0x7fffffff)));
    Sheet* lv = quiet(dir.file("lv.ktb"));
    ASSERT_NE(lv, nullptr);
    EXPECT_EQ(said, "Warning: Kelmora Tablet Factor number of levels 2147483647 cut to 1000\n");
    ASSERT_EQ(lv->cols[1]->levels.size(), 1000u);
    EXPECT_EQ(std::tie(lv->cols[1]->nlevels, lv->cols[1]->levels[1], lv->cols[1]->levels[2], lv->cols[1]->num[0]),
              std::tuple(1000, 10.0, 3.0, 1.0));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        write_file(dir.file("b.ktb"), c.bytes);
        EXPECT_EQ(quiet(dir.file("b.ktb")) != nullptr, c.read);
        if (c.message.ends_with("..."))
            EXPECT_EQ(said.substr(0, c.message.size() - 3), c.message.substr(0, c.message.size() - 3));
        else
            EXPECT_EQ(said, c.message);
    }
    // Columns of kinds the reader does not know are skipped; with none left there is no data.
    write_file(dir.file("weird.ktb"), patched(one, kind, "vector_"));
    EXPECT_EQ(run_morvalen(dir.path(), {"weird.ktb", "out.csv"}).status, 4);
}
