// Sheet access and editing: lookups, valid and unique names, empty rows, deletions and moves,
// decimals, widths, descriptions and the distinct-value test.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "sheet/vxs_access.h"
#include "sheet/vxs_sheet.h"

namespace {

struct Access : ::testing::Test {
    void SetUp() override {
        vxs_init();
        VXSMAXCOLUMNS = 250;
        vxs_reset_name_counters();
    }
    Sheet* sheet(int rows) {
        Sheet* s = create_sheet();
        s->missing = vxs_missing;
        s->row_count = rows;
        if (rows) create_row_attr(s);
        return s;
    }
    Column* variate(Sheet* s, const std::string& name, std::vector<double> v) {
        Column* c = create_column_with_memory(s, VXS_VARIATE, name, static_cast<int32_t>(v.size()));
        c->num = std::move(v);
        return c;
    }
    Column* text(Sheet* s, const std::string& name, std::vector<std::string> v) {
        Column* c = create_column_with_memory(s, VXS_TEXT, name, 0);
        for (auto& t : v) c->text.push_back(t);
        return c;
    }
    std::string valid(std::string name) {
        make_valid_vantrix_name(name);
        return name;
    }
    std::vector<std::string> names(Sheet* s) {
        std::vector<std::string> r;
        for (size_t i = 1; i < s->cols.size(); ++i) r.push_back(s->cols[i]->name);
        return r;
    }
};

const double M = -1.0e307;

TEST_F(Access, LookupsByPositionAndName) {
    Sheet* s = sheet(3);
    Column* a = variate(s, "Height", {1, 2, 3});
    Column* b = variate(s, "Weight_Plant_A", {4, 5, 6});
    Column* x = variate(s, "X[3]", {7, 8, 9});
    EXPECT_EQ(get_column(s, 0), s->row_column());
    EXPECT_EQ(get_column(s, 1), a);
    EXPECT_EQ(get_column(s, 3), x);
    EXPECT_EQ(get_column(s, 4), nullptr);
    EXPECT_EQ(get_column(s, -1), nullptr);
    EXPECT_EQ(get_column(nullptr, 0), nullptr);

    std::string n = "  Height  ";
    EXPECT_EQ(get_column_from_name(s, n), a);
    EXPECT_EQ(n, "Height");
    n = "Weight_Plant_Z";  // only the first 8 characters count
    EXPECT_EQ(get_column_from_name(s, n), b);
    n = "Heigh";
    EXPECT_EQ(get_column_from_name(s, n), nullptr);
    n = "X[3]";  // with a suffix the whole name counts
    EXPECT_EQ(get_column_from_name(s, n), x);
    n = "X[4]";
    EXPECT_EQ(get_column_from_name(s, n), nullptr);
    n = "   ";
    EXPECT_EQ(get_column_from_name(s, n), nullptr);
    n = "Row";
    EXPECT_EQ(get_column_from_name(s, n), s->row_column());

    EXPECT_EQ(get_row_attr(s, 2), &s->rows[2]);
    EXPECT_EQ(get_row_attr(s, 3), nullptr);
    ASSERT_NE(get_row_pointer(a, 2), nullptr);
    EXPECT_EQ(*get_row_pointer(a, 2), 3.0);
    EXPECT_EQ(get_row_pointer(a, 3), nullptr);
    EXPECT_EQ(get_row_pointer(text(s, "t", {"a"}), 0), nullptr);
}

TEST_F(Access, ValidNamesFromTheExamples) {
    EXPECT_EQ(valid("2nd value"), "%2nd_value");
    EXPECT_EQ(valid("a--b"), "a_b");
    EXPECT_EQ(valid("x["), "x[1]");
    EXPECT_EQ(valid("Y[a1b2]"), "Y[12]");
    EXPECT_EQ(valid("  Height  "), "Height");
    EXPECT_EQ(valid("Weight (kg)"), "Weight_kg");
    EXPECT_EQ(valid("ends_"), "ends_");
    EXPECT_EQ(valid("%share"), "%share");
    EXPECT_EQ(valid("x]"), "x_");  // a lone ']' is no suffix
    EXPECT_EQ(valid("a]b[c"), "a[2]");  // swapped brackets, no digits: next index suffix
    EXPECT_EQ(valid("a[]"), "a");
    EXPECT_EQ(valid("Gr\xc3\xb6\xc3\x9f" "e"), "Gr_e");
}

TEST_F(Access, ValidNamesAreCutToFortyCharacters) {
    std::string longname(60, 'a');
    EXPECT_EQ(valid(longname), std::string(40, 'a'));
    // A needed '%' keeps the name within 40.
    EXPECT_EQ(valid("1" + std::string(45, 'b')), "%1" + std::string(38, 'b'));
    // The suffix stays whole; the part before it gives way.
    EXPECT_EQ(valid(std::string(38, 'c') + "["), std::string(37, 'c') + "[1]");
    // No room for a closing bracket at 40: the '[' is no suffix.
    EXPECT_EQ(valid(std::string(39, 'c') + "["), std::string(39, 'c') + "_");
}

TEST_F(Access, QuotedSuffixBecomesNumbered) {
    EXPECT_EQ(valid("X['a']"), "X[1]");
    EXPECT_EQ(valid("Y['b']"), "Y[2]");
    EXPECT_EQ(valid("it's"), "it_s");  // a quote away from brackets is no suffix
}

// Whatever a file holds as a column name, the result is a name the package accepts.
TEST_F(Access, AnyTextBecomesAValidName) {
    const std::string alphabet = "aZ09_%[]' -.\xe9\t";
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
    for (int round = 0; round < 20000; ++round) {
        std::string in;
        size_t len = next() % 50;
        for (size_t i = 0; i < len; ++i) in.push_back(alphabet[next() % alphabet.size()]);
        std::string out = valid(in);
        SCOPED_TRACE("input [" + in + "] gave [" + out + "]");
        ASSERT_FALSE(out.empty());
        ASSERT_LE(out.size(), 40u);
        char first = out[0];
        ASSERT_TRUE(std::isalpha(static_cast<unsigned char>(first)) || first == '_' || first == '%');
        size_t lb = out.find('[');
        size_t rb = out.find(']');
        if (lb == std::string::npos) {
            ASSERT_EQ(rb, std::string::npos);
            ASSERT_EQ(out.find('\''), std::string::npos);
        } else {
            ASSERT_EQ(rb, out.size() - 1);  // one suffix, at the end
            ASSERT_EQ(out.find('[', lb + 1), std::string::npos);
            size_t q = out.find('\'');
            ASSERT_TRUE(q == std::string::npos || q > lb);  // quotes only inside the suffix
        }
        for (char c : out)
            ASSERT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || std::strchr("%_[]'", c)) << c;
        if (round % 1000 == 0) vxs_reset_name_counters();
    }
}

TEST_F(Access, EmptyNamesTakeDefaultNames) {
    EXPECT_EQ(valid(""), "C1");
    EXPECT_EQ(valid("   "), "C2");
    EXPECT_EQ(valid("_"), "C3");
    vxs_get_global_defaults()->suffixed_ids = 1;
    EXPECT_EQ(valid(""), "C[4]");
    EXPECT_EQ(vxs_def_column_name(7), "C[7]");
    vxs_get_global_defaults()->suffixed_ids = 0;
    vxs_get_global_defaults()->name_prefix = "Column12";
    EXPECT_EQ(vxs_def_column_name(3), "Column3");
    char buf[41];
    vxs_def_column_name(buf, 0);
    EXPECT_STREQ(buf, "Column5");
}

TEST_F(Access, UniqueNamesOverTheFirstEightCharacters) {
    Sheet* s = sheet(1);
    for (const char* n : {"Height", "Height", "Height", "Ht", "Ht", "Weight_Plant_A", "Weight_Plant_B"})
        variate(s, n, {1});
    vxs_make_unique_column_names(s);
    EXPECT_EQ(names(s), (std::vector<std::string>{"Height", "Height1", "Height2", "Ht", "Ht_1",
                                                  "Weight_Plant_A", "Weight_1"}));
    EXPECT_EQ(s->cols[7]->extra, " Weight_Plant_B");
    EXPECT_EQ(s->cols[6]->extra, "");
    EXPECT_EQ(s->cols[2]->extra, " Height");
}

TEST_F(Access, UniqueNamesKeepSuffixesAndNumberShortStems) {
    Sheet* s = sheet(1);
    for (const char* n : {"X[1]", "X[1]", "X[2]", "X", "ab_1", "ab_1", "Longer_name[3]", "Longer_nZ[3]"})
        variate(s, n, {1});
    s->cols[6]->extra = "old note";
    s->cols[8]->extra = std::string(35, 'e');
    vxs_make_unique_column_names(s);
    EXPECT_EQ(names(s), (std::vector<std::string>{"X[1]", "X_1[1]", "X[2]", "X_2", "ab_1", "ab_2",
                                                  "Longer_name[3]", "Longer_1[3]"}));
    EXPECT_EQ(s->cols[6]->extra, "old note");  // a short note with a short old name stays
    EXPECT_EQ(s->cols[4]->extra, " X");
    // A long note keeps only what fits in 40 characters after the old name.
    EXPECT_EQ(s->cols[8]->extra, " Longer_nZ[3]: " + std::string(25, 'e'));
}

TEST_F(Access, UniqueNamesOnlyForColumnSheets) {
    Sheet* s = sheet(1);
    variate(s, "A", {1});
    variate(s, "A", {1});
    s->kind = VXS_MATRIX;
    vxs_make_unique_column_names(s);
    EXPECT_EQ(names(s), (std::vector<std::string>{"A", "A"}));
}

TEST_F(Access, UniqueNamesOverManyColumnsStayDistinct) {
    VXSMAXCOLUMNS = 3000;
    Sheet* s = sheet(1);
    for (int i = 0; i < 2000; ++i) variate(s, "Measurement_" + std::to_string(i), {1});
    vxs_make_unique_column_names(s);
    std::set<std::string> keys;
    for (auto& n : names(s)) keys.insert(n.substr(0, 8));
    EXPECT_EQ(keys.size(), 2000u);
}

TEST_F(Access, EmptyRowsAreMarkedAndDeletedButNeverTheLastOne) {
    Sheet* s = sheet(5);
    variate(s, "a", {1, M, M, 4, M});
    text(s, "t", {"", "", "x", "", ""});
    EXPECT_EQ(vxs_mark_empty_rows(s, 0), 2);
    EXPECT_EQ(s->rows[1].empty, 1);
    EXPECT_EQ(s->rows[2].empty, 0);
    vxs_delete_empty_rows(s);
    EXPECT_EQ(s->row_count, 3);
    EXPECT_EQ(s->rows.size(), 3u);
    EXPECT_EQ(s->cols[1]->num, (std::vector<double>{1, M, 4}));
    EXPECT_EQ(s->cols[2]->text.get(1), "x");
    EXPECT_EQ(s->row_column()->num, (std::vector<double>{1, 3, 4}));  // original row numbers

    Sheet* e = sheet(4);
    variate(e, "a", {M, M, M, M});
    text(e, "t", {"", "", "", ""});
    vxs_delete_empty_rows(e);
    EXPECT_EQ(e->row_count, 1);
    EXPECT_EQ(e->cols[1]->num.size(), 1u);
    EXPECT_EQ(e->cols[2]->text.size(), 1u);
    EXPECT_EQ(e->row_column()->num, (std::vector<double>{4}));
}

TEST_F(Access, UnitsColumnsDoNotMakeARowFull) {
    Sheet* s = sheet(2);
    Column* u = create_column_with_memory(s, VXS_UNITS_TEXT, "Name", 0);
    u->text.push_back("a");
    u->text.push_back("b");
    variate(s, "v", {M, 2});
    EXPECT_EQ(vxs_mark_empty_rows(s, 1), 1);
    EXPECT_EQ(vxs_mark_empty_columns(s, 0), 0);
    variate(s, "w", {M, M});
    EXPECT_EQ(vxs_mark_empty_columns(s, 0), 1);
    EXPECT_EQ(s->cols[3]->empty, 1);
}

TEST_F(Access, DeletingManyEmptyRowsIsLinear) {
    const int n = 1000000;
    Sheet* s = sheet(n);
    std::vector<double> v(n, M);
    for (int i = 0; i < n; i += 10) v[i] = i;
    variate(s, "a", v);
    vxs_delete_empty_rows(s);
    ASSERT_EQ(s->row_count, n / 10);
    EXPECT_EQ(s->cols[1]->num[5], 50.0);
    EXPECT_EQ(s->row_column()->num[5], 51.0);
}

// In a symmetric matrix an empty row goes only with its empty column, and takes it along.
TEST_F(Access, SymmetricMatrixLosesEmptyRowAndColumnTogether) {
    Sheet* s = sheet(3);
    s->kind = VXS_SYMMATRIX;
    for (auto v : {std::vector<double>{1, M, 4}, {M, M}, {5}}) {
        Column* c = create_column_with_memory(s, VXS_SYMMAT_COL, "x", static_cast<int32_t>(v.size()));
        c->num = v;
    }
    EXPECT_EQ(vxs_mark_empty_rows(s, 1), 1);
    vxs_delete_empty_rows(s);
    EXPECT_EQ(s->row_count, 2);
    ASSERT_EQ(s->column_count, 2);
    EXPECT_EQ(s->cols[1]->num, (std::vector<double>{1, 4}));
    EXPECT_EQ(s->cols[2]->num, (std::vector<double>{5}));
    EXPECT_EQ(names(s), (std::vector<std::string>{"1", "2"}));
    // Without its partner column empty too, an empty row stays.
    Sheet* t = sheet(3);
    t->kind = VXS_SYMMATRIX;
    create_column_with_memory(t, VXS_SYMMAT_COL, "a", 3)->num = {M, 3, 4};
    create_column_with_memory(t, VXS_SYMMAT_COL, "b", 2)->num = {5, 6};
    create_column_with_memory(t, VXS_SYMMAT_COL, "c", 1)->num = {7};
    EXPECT_EQ(vxs_mark_empty_rows(t, 0), 1);
    EXPECT_EQ(vxs_mark_empty_rows(t, 1), 0);
    vxs_delete_empty_rows(t);
    EXPECT_EQ(t->row_count, 3);
}

TEST_F(Access, ScalarSheetsKeepTheirRows) {
    Sheet* s = sheet(3);
    variate(s, "a", {M, M, 1});
    s->kind = VXS_SCALARS;
    vxs_delete_empty_rows(s);
    EXPECT_EQ(s->row_count, 3);
    EXPECT_EQ(vxs_delete_row(s, 0, 0, 0, 0), 0);
}

TEST_F(Access, DeleteRowAndItsRefusals) {
    Sheet* s = sheet(3);
    Column* a = variate(s, "a", {1, 2, 3});
    Column* t = text(s, "t", {"x", "y", "z"});
    s->rows[1].restricted = 1;
    s->restricted_count = 1;
    s->restriction_present = 1;
    EXPECT_EQ(vxs_delete_row(s, 3, 0, 0, 0), 0);
    EXPECT_EQ(vxs_delete_row(s, 1, 0, 0, 0), 1);
    EXPECT_EQ(a->num, (std::vector<double>{1, 3}));
    EXPECT_EQ(t->text.get(1), "z");
    EXPECT_EQ(s->restricted_count, 0);
    EXPECT_EQ(s->restriction_present, 0);
    EXPECT_EQ(vxs_delete_row(s, 0, 0, 0, 0), 1);
    EXPECT_EQ(vxs_delete_row(s, 0, 0, 0, 0), 0);  // the last row stays
    EXPECT_EQ(s->row_count, 1);
}

TEST_F(Access, DeleteInsertAndMoveColumns) {
    Sheet* s = sheet(1);
    Column* a = variate(s, "a", {1});
    Column* b = variate(s, "b", {2});
    Column* c = variate(s, "c", {3});
    EXPECT_EQ(vxs_delete_column(s->row_column(), 0), 0);
    EXPECT_EQ(move_column(s, 1, 3), 1);
    EXPECT_EQ(names(s), (std::vector<std::string>{"b", "c", "a"}));
    EXPECT_EQ(a->position, 3);
    EXPECT_EQ(move_column(s, 3, 1), 1);
    EXPECT_EQ(names(s), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(move_column(s, 2, 2), 1);
    EXPECT_EQ(move_column(s, 0, 2), 0);
    EXPECT_EQ(move_column(s, 4, 1), 0);

    EXPECT_EQ(remove_column(b), 1);
    EXPECT_EQ(s->column_count, 2);
    EXPECT_EQ(get_column(s, 2), c);
    EXPECT_EQ(insert_column(s, b, 1), 1);
    EXPECT_EQ(names(s), (std::vector<std::string>{"b", "a", "c"}));
    EXPECT_EQ(s->column_count, 3);

    Column* u = create_column_with_memory(s, VXS_UNITS_NUM, "u", 1);
    EXPECT_EQ(s->units_count, 2);
    EXPECT_EQ(move_column(s, 4, 2), 0);  // a units column only goes first
    EXPECT_EQ(move_column(s, 4, 1), 1);
    EXPECT_EQ(u->position, 1);
    EXPECT_EQ(move_column(s, 3, 1), 0);  // not in front of the units column
    EXPECT_EQ(vxs_delete_column(u, 0), 1);
    EXPECT_EQ(s->units_count, 1);
    EXPECT_EQ(vxs_delete_column(c, 0), 1);
    EXPECT_EQ(names(s), (std::vector<std::string>{"b", "a"}));
}

TEST_F(Access, FixDecimals) {
    Sheet* s = sheet(3);
    Column* a = variate(s, "a", {1.5, 2.25, M});
    Column* b = variate(s, "b", {1.0 / 3, 1, 2});
    Column* c = variate(s, "c", {1, 2, 3});
    Column* d = variate(s, "d", {0.1, 1e6, -7.125});
    Column* t = text(s, "t", {"1.5"});
    Column* f = create_column_with_memory(s, VXS_FACTOR, "f", 1);
    f->levels = {0.5, 2};
    vxs_fix_decimals(s);
    EXPECT_EQ(a->decimals, 2);
    EXPECT_EQ(a->representation, VXS_REP_FIXED);
    EXPECT_EQ(b->decimals, 12);
    EXPECT_EQ(c->decimals, 0);
    EXPECT_EQ(d->decimals, 3);
    EXPECT_EQ(f->decimals, 1);
    EXPECT_EQ(t->representation, VXS_REP_TEXT);
    EXPECT_EQ(t->decimals, 0);
}

TEST_F(Access, DefaultWidths) {
    Sheet* s = sheet(2);
    Column* h = variate(s, "Height", {1.5, 100});
    EXPECT_EQ(vxs_set_default_column_width(h, 0), 7);
    Column* l = variate(s, "A_nineteen_char_nam", {1.5, 100});
    EXPECT_EQ(vxs_set_default_column_width(l, 0), 12);
    Column* w = variate(s, "w", {123456.5, M});
    EXPECT_EQ(vxs_set_default_column_width(w, 0), 7);  // "123456" by %g
    Column* t = text(s, "t", {"abcdefghij", ""});
    EXPECT_EQ(vxs_set_default_column_width(t, 0), 11);
    EXPECT_EQ(t->nlevels, 10);
    Column* f = create_column_with_memory(s, VXS_FACTOR, "f", 2);
    f->nlevels = 120;
    EXPECT_EQ(vxs_set_default_column_width(f, 0), 5);  // ceil(log10 121) + 1 = 4
    f->origin = 2;
    f->labels = {"short", "a longer label"};
    EXPECT_EQ(vxs_set_default_column_width(f, 0), 15);
    f->origin = 1;
    f->levels = {1.25, 1000};
    EXPECT_EQ(vxs_set_default_column_width(f, 0), 5);
}

TEST_F(Access, DescriptionLines) {
    Sheet* s = sheet(0);
    vxs_add_line_to_description(s, "first");
    vxs_add_line_to_description(s, "");
    vxs_add_line_to_description(s, "second");
    EXPECT_EQ(s->description_lines.size(), 2u);
    EXPECT_EQ(s->description.size(), 12u);
    EXPECT_EQ(s->description, std::string("first\0second", 12));
}

TEST_F(Access, UniqueItemsSuitAFactor) {
    Sheet* s = sheet(30);
    std::vector<double> v;
    for (int i = 0; i < 30; ++i) v.push_back(i % 3 + 1);
    EXPECT_EQ(vxs_column_unique_items(variate(s, "a", v)), 1);
    EXPECT_EQ(vxs_column_unique_items(variate(s, "b", {1, 2, 3})), 0);
    EXPECT_EQ(vxs_column_unique_items(variate(s, "c", {5, 5, 5, 5})), 0);  // one value
    // Values equal within 1e-12 count once; 0 equals only 0.
    EXPECT_EQ(vxs_column_unique_items(variate(s, "d", {1, 1 + 1e-14, 2, 2, 0, 0, M, M})), 1);
    std::vector<double> many;
    for (int i = 0; i < 51 * 3; ++i) many.push_back(i % 51);
    EXPECT_EQ(vxs_column_unique_items(variate(s, "e", many)), 0);  // above the limit of 50
    many.clear();
    for (int i = 0; i < 50 * 3; ++i) many.push_back(i % 50);
    EXPECT_EQ(vxs_column_unique_items(variate(s, "f", many)), 1);
    EXPECT_EQ(vxs_column_unique_items(text(s, "t", {"Yes", "no", "yes", "No", "", ""})), 1);
    Column* fac = create_column_with_memory(s, VXS_FACTOR, "g", 3);
    EXPECT_EQ(vxs_column_unique_items(fac), 0);
}

}  // namespace
