// Tablet files: text items and the writer against bytes built from the layout by an independent
// script, page choice and listing, factors, texts and missing codes, matrices, round trips,
// pointer numbers out of step, and broken files.
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

// Reads quietly: the text the reader printed goes to printed.
Sheet* read_quiet(Tablet& t, const std::string& path, std::string& printed) {
    Sheet* s{};
    printed = stdout_of([&] { s = t.read(path); });
    return s;
}

std::string tablet_file(const char* name) { return data_path(std::string("tablet/") + name); }

// The sheet written and read back quietly: the same kind, description and columns.
void expect_round_trip(Tablet& t, Sheet* s, const std::string& path) {
    ASSERT_TRUE(write_sheet_as_kelmora(s, path.c_str()));
    std::string printed;
    Sheet* b = read_quiet(t, path, printed);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(printed, "");
    EXPECT_EQ(std::tie(b->kind, b->description_lines), std::tie(s->kind, s->description_lines));
    if (s->kind == VXS_MATRIX) {
        EXPECT_EQ(b->structure_name, s->structure_name);
    }
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
    const struct {
        std::optional<std::string> text;
        std::string bytes;
    } cases[] = {{std::nullopt, be_bytes(uint32_t(-1), 4)},
                 {std::string(""), be_bytes(4, 4) + std::string(4, '\0')},
                 {std::string("abc"), be_bytes(4, 4) + "abc" + std::string(1, '\0')},
                 {std::string("abcd"), be_bytes(8, 4) + "abcd" + std::string(4, '\0')},
                 {std::string("(null)"), be_bytes(8, 4) + "(null)" + std::string(2, '\0')}};
    for (const auto& c : cases) {
        ByteWriter out(Endian::Big);
        ASSERT_TRUE(out.open(dir.file("t").c_str()));
        write_kel_text(out, c.text);
        ASSERT_TRUE(out.close());
        EXPECT_EQ(read_file(dir.file("t")), c.bytes);
        ByteReader in(std::string_view(c.bytes), Endian::Big);
        EXPECT_EQ(get_kel_text(in), c.text);
    }
}

TEST_F(Tablet, WriterBytesAndRoundTripsOfFactorsTextsTwoPages) {
    Sheet* one = new_run_with_sheet(3);
    one->source_file = "in.csv";
    create_column_with_memory(one, VXS_VARIATE, "x", 3)->num = {1.5, vxs_missing, 3.0};
    expect_round_trip(*this, one, dir.file("o.ktb"));
    EXPECT_EQ(read_file(dir.file("o.ktb")), read_file(tablet_file("one_variate.ktb")));

    Sheet* s = new_run_with_sheet(3);
    Column* f = create_column_with_memory(s, VXS_FACTOR, "f", 3);
    f->num = {2, 1, vxs_missing};
    f->nlevels = 2;
    f->labels = {"no", "yes"};
    f->origin = 2;
    Column* lv = create_column_with_memory(s, VXS_FACTOR, "lv", 3);
    lv->num = {1, 1, 2};
    lv->nlevels = 2;
    lv->levels = {0.5, 7};
    lv->origin = 1;
    Column* t = create_column_with_memory(s, VXS_TEXT, "t", 3);
    t->text.set(0, "abcd");
    t->text.set(2, std::string(90, 'q'));
    create_column_with_memory(s, VXS_VARIATE, "v", 3)->num = {-1e300, vxs_missing, 0};
    vxs_add_line_to_description(s, "My page");
    expect_round_trip(*this, s, dir.file("r.ktb"));

    // Each page of a two-page file; the second, a matrix, goes out as "colmatrix".
    std::string printed;
    for (const char* page : {"1", "2"}) {
        SCOPED_TRACE(page);
        vxs_parser_options().worksheet_name = page;
        Sheet* p = read_quiet(*this, tablet_file("two_pages.ktb"), printed);
        vxs_parser_options().worksheet_name.clear();
        ASSERT_NE(p, nullptr);
        expect_round_trip(*this, p, dir.file("p.ktb"));
    }
    EXPECT_NE(read_file(dir.file("p.ktb")).find("colmatrix"), std::string::npos);
    EXPECT_NE(read_file(dir.file("p.ktb")).find("A_NDIM"), std::string::npos);
}

TEST_F(Tablet, PagesFactorsTextsAndMatrices) {
    std::string printed;
    Sheet* s = read_quiet(*this, tablet_file("two_pages.ktb"), printed);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(printed, "");
    EXPECT_EQ(s->description_lines, std::vector<std::string>{"First"});
    ASSERT_EQ(s->column_count, 3);
    const Column* dose = s->cols[1].get();
    EXPECT_EQ(std::tie(dose->type, dose->nlevels, dose->origin), std::tuple(VXS_FACTOR, 2, 2));
    EXPECT_EQ(dose->levels, (std::vector<double>{5, 10}));
    EXPECT_EQ(dose->labels, (std::vector<std::string>{"low", "high"}));
    EXPECT_EQ(dose->num, (std::vector<double>{1, 2, vxs_missing, 2}));
    const Column* who = s->cols[2].get();
    EXPECT_EQ(std::tie(who->type, who->nlevels), std::tuple(VXS_TEXT, 13));
    // "(null)" is the missing text, as is an absent text.
    for (size_t r = 0; r < 3; ++r) EXPECT_EQ(who->text.get(r), r ? "" : "ann");
    // No kind text and integer data: a variate, the integer missing code missing.
    EXPECT_EQ(s->cols[3]->type, VXS_VARIATE);
    EXPECT_EQ(s->cols[3]->num, (std::vector<double>{3, vxs_missing, 5, 7}));

    for (const char* choice : {"2", "second", "SECOND"}) {
        vxs_parser_options().worksheet_name = choice;
        Sheet* m = read_quiet(*this, tablet_file("two_pages.ktb"), printed);
        ASSERT_NE(m, nullptr) << choice;
        EXPECT_EQ(printed, "Numbers in " + tablet_file("two_pages.ktb") +
                               " greater than 9.99999E+307 have been set to this value.");
        EXPECT_EQ(std::tie(m->kind, m->structure_name, m->second_structure_name),
                  std::tuple(VXS_MATRIX, "Second", "Treatment"));
        EXPECT_EQ(m->cols[2]->type, VXS_MATRIX_COL);
        EXPECT_EQ(m->cols[2]->num, (std::vector<double>{3, VXS_NUM_CEILING}));
    }
    vxs_parser_options().worksheet_name = "third";
    EXPECT_EQ(read_quiet(*this, tablet_file("two_pages.ktb"), printed), nullptr);
    EXPECT_EQ(printed, "No valid data found in Kelmora Tablet file " + tablet_file("two_pages.ktb"));
    vxs_parser_options().worksheet_name.clear();

    RunResult list = run_morvalen(dir.path(), {copy_sample(dir, "tablet/two_pages.ktb", "two.ktb") + "/w", "names.out"});
    EXPECT_EQ(list.status, 0);
    const std::string listing = "File: two.ktb\nPages: 2\nFirst (3 columns x 4 rows)\nSecond (2 columns x 2 rows)\n";
    EXPECT_EQ(list.out, listing);
    EXPECT_EQ(read_file(dir.file("names.out")), listing);
}

TEST_F(Tablet, PointerNumbersOutOfStepStillRead) {
    std::string printed;
    Sheet* s = read_quiet(*this, tablet_file("pointers_off.ktb"), printed);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->column_count, 3);
    const std::string first = "Kelmora Tablet Pointer ID mismatch in columns structures\nKelmora Tablet Pointer ID mismatch\n"
                              "Kelmora Tablet Pointer ID mismatch in column values\nKelmora Tablet Pointer ID mismatch\n";
    EXPECT_EQ(printed.substr(0, first.size()), first);
    EXPECT_NE(printed.find("Kelmora Tablet Pointer ID mismatch in page attribute values\n"), std::string::npos);
    EXPECT_NE(printed.find("Kelmora Tablet Pointer ID mismatch in column attribute values\n"), std::string::npos);
}

TEST_F(Tablet, BrokenFiles) {
    // Counts given twice: the second one is used. A count past the bytes left sizes nothing.
    const std::string one = read_file(tablet_file("one_variate.ktb"));
    const size_t values_again = one.find(be_bytes(3, 4) + std::string("\x3f\xf8\0\0\0\0\0\0", 8)), kind = one.find("variate");
    ASSERT_NE(values_again, std::string::npos);
    auto count = [](int32_t v) { return be_bytes(uint32_t(v), 4); };
    const std::string inconsistent = "Number of Kelmora Tablet pages is inconsistent\n",
                      values = "Warning: Number of values in Kelmora Tablet column is inconsistent\n";
    const struct {
        const char* what;
        std::string bytes;
        bool read;
        std::string message;
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
    };
    std::string printed;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        write_file(dir.file("b.ktb"), c.bytes);
        EXPECT_EQ(read_quiet(*this, dir.file("b.ktb"), printed) != nullptr, c.read);
        EXPECT_EQ(printed, c.message);
    }
    // Columns of kinds the reader does not know are skipped; with none left there is no data.
    write_file(dir.file("weird.ktb"), patched(one, kind, "vector_"));
    EXPECT_EQ(run_morvalen(dir.path(), {"weird.ktb", "out.csv"}).status, 4);
}
