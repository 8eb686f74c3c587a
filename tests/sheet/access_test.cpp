// The sheet model: column limits, row numbers, text caps, memory limits. Editing: lookups, names, empty
// rows, moves, decimals, widths, distinct values. Conversions: factors from numbers and texts, units.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "sheet/vxs_access.h"
#include "sheet/vxs_conv.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

const double M = -1.0e307;
using Names = std::vector<std::string>;
using Nums = std::vector<double>;
using Texts = std::vector<std::string>;

struct Access : ::testing::Test {
    void SetUp() override { vxs_init(), VXSMAXCOLUMNS = 250, vxs_reset_name_counters(); }
    Sheet* sheet(int rows, int32_t kind = VXS_VECTOR) {
        Sheet* s = create_sheet();
        s->missing = vxs_missing, s->row_count = rows, s->kind = kind;
        if (rows) create_row_attr(s);
        return s;
    }
    Column* variate(Sheet* s, const std::string& name, Nums v, int32_t type = VXS_VARIATE) {
        Column* c = create_column_with_memory(s, type, name, static_cast<int32_t>(v.size()));
        c->num = std::move(v);
        return c;
    }
    Column* text(Sheet* s, const std::string& name, Texts v, int32_t type = VXS_TEXT) {
        Column* c = create_column_with_memory(s, type, name, 0);
        for (auto& t : v) c->text.push_back(t);
        return c;
    }
    std::string valid(std::string name) { return make_valid_vantrix_name(name), name; }
    Names names(Sheet* s) {
        Names r;
        for (size_t i = 1; i < s->cols.size(); ++i) r.push_back(s->cols[i]->name);
        return r;
    }
    static Texts texts(const Column* c) {
        Texts r;
        for (size_t i = 0; i < c->text.size(); ++i) r.emplace_back(c->text.get(i));
        return r;
    }
};

TEST_F(Access, LookupsByPositionAndName) {
    Sheet* s = sheet(3);
    Column *a = variate(s, "Height", {1, 2, 3}), *b = variate(s, "Weight_Plant_A", {4, 5, 6});
    Column* x = variate(s, "X[3]", {7, 8, 9});
    EXPECT_TRUE(get_column(s, 0) == s->row_column() && get_column(s, 3) == x && !get_column(s, 4));
    std::string n;  // blanks go; only the first 8 characters count, unless the name has a suffix
    for (auto [name, want] : {std::pair{"  Height  ", a}, {"Weight_Plant_Z", b}, {"Heigh", nullptr},
                              {"X[3]", x}, {"X[4]", nullptr}, {"   ", nullptr}, {"Row", s->row_column()}})
        EXPECT_EQ(get_column_from_name(s, n = name), want) << name;
    EXPECT_TRUE(get_row_pointer(a, 2) == &a->num[2] && !get_row_pointer(a, 3) &&
                !get_row_pointer(text(s, "t", {"a"}), 0));  // numeric cells only
}

TEST_F(Access, ValidAndDefaultNames) {
    const std::string c38(38, 'c'), c39(39, 'c');
    // Numbered suffixes count on through the run, quoted ones have a count of their own.
    for (auto [in, out] : std::vector<std::pair<std::string, std::string>>{
             {"2nd value", "%2nd_value"}, {"a--b", "a_b"}, {"  Height  ", "Height"},
             {"Weight (kg)", "Weight_kg"}, {"ends_", "ends_"}, {"%share", "%share"},
             {"it's", "it_s"}, {"Gr\xc3\xb6\xc3\x9f" "e", "Gr_e"}, {"x[", "x[1]"}, {"x]", "x_"},
             {"Y[a1b2]", "Y[12]"}, {"a]b[c", "a[2]"}, {"a[]", "a"}, {"X['a']", "X[1]"}, {"Y['b']", "Y[2]"},
             // The 40-character cut: a needed '%' and a whole suffix fit inside it.
             {std::string(60, 'a'), std::string(40, 'a')},
             {"1" + std::string(45, 'b'), "%1" + std::string(38, 'b')},
             {c38 + "[", std::string(37, 'c') + "[3]"}, {c39 + "[", c39 + "_"},
             {"", "C1"}, {"   ", "C2"}, {"_", "C3"}})  // nothing left: a default name
        EXPECT_EQ(valid(in), out) << in;
    VxsDefaults* g = vxs_get_global_defaults();
    EXPECT_TRUE((g->suffixed_ids = 1, valid("")) == "C[4]" && vxs_def_column_name(7) == "C[7]");
    g->suffixed_ids = 0, g->name_prefix = "Column12";
    EXPECT_TRUE(vxs_def_column_name(3) == "Column3" && vxs_def_column_name(0) == "Column5");  // 0: the next in the run

    // Any name gives one the package accepts: a letter, '_' or '%' first, at most one suffix, at the end.
    const std::regex accepted("[A-Za-z_%][A-Za-z0-9_%]*(\\[[A-Za-z0-9_%']*\\])?");
    const std::string alphabet = "aZ09_%[]' -.\xe9\t";
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
    for (int round = 0; round < 20000; ++round) {
        std::string in;
        for (size_t i = 0, n = next() % 50; i < n; ++i) in.push_back(alphabet[next() % alphabet.size()]);
        const std::string out = valid(in);
        ASSERT_TRUE(out.size() <= 40u && std::regex_match(out, accepted)) << "[" << in << "] gave [" << out << "]";
        if (round % 1000 == 0) vxs_reset_name_counters();
    }
}

TEST_F(Access, UniqueNamesOverTheFirstEightCharacters) {
    Sheet* s = sheet(1);
    for (const char* n : {"Height", "Height", "Height", "Ht", "Ht", "Weight_Plant_A", "Weight_Plant_B", "X[1]",
                          "X[1]", "X[2]", "X", "ab_1", "ab_1", "Longer_name[3]", "Longer_nZ[3]"})
        variate(s, n, {1});
    s->cols[13]->extra = "old note", s->cols[15]->extra = std::string(35, 'e');
    vxs_make_unique_column_names(s);
    EXPECT_EQ(names(s), (Names{"Height", "Height1", "Height2", "Ht", "Ht_1", "Weight_Plant_A", "Weight_1", "X[1]",
                               "X_1[1]", "X[2]", "X_2", "ab_1", "ab_2", "Longer_name[3]", "Longer_1[3]"}));
    // The old name goes to the extra text: a note stays if both fit in 40 characters, else is cut.
    for (auto [i, extra] : {std::pair{2, " Height"}, {6, ""}, {7, " Weight_Plant_B"}, {11, " X"}, {13, "old note"}})
        EXPECT_EQ(s->cols[i]->extra, extra) << i;
    EXPECT_EQ(s->cols[15]->extra, " Longer_nZ[3]: " + std::string(25, 'e'));

    Sheet* m = sheet(1, VXS_MATRIX);  // only column sheets
    variate(m, "A", {1}), variate(m, "A", {1});
    EXPECT_EQ((vxs_make_unique_column_names(m), names(m)), (Names{"A", "A"}));

    VXSMAXCOLUMNS = 3000;  // thousands of clashes still give distinct first 8 characters
    Sheet* many = sheet(1);
    for (int i = 0; i < 2000; ++i) variate(many, "Measurement_" + std::to_string(i), {1});
    std::set<std::string> keys;
    vxs_make_unique_column_names(many);
    for (auto& n : names(many)) keys.insert(n.substr(0, 8));
    EXPECT_EQ(keys.size(), 2000u);
}

TEST_F(Access, EmptyRowsAreMarkedAndDeletedButNeverTheLastOne) {
    Sheet* s = sheet(5);
    variate(s, "a", {1, M, M, 4, M}), text(s, "t", {"", "", "x", "", ""});
    EXPECT_EQ(vxs_mark_empty_rows(s, 0), 2);
    vxs_delete_empty_rows(s);
    EXPECT_TRUE(s->row_count == 3 && s->rows.size() == 3u && s->cols[2]->text.get(1) == "x");
    EXPECT_TRUE(s->cols[1]->num == (Nums{1, M, 4}) && s->row_column()->num == (Nums{1, 3, 4}));  // original numbers

    Sheet* e = sheet(4);
    variate(e, "a", {M, M, M, M}), text(e, "t", {"", "", "", ""});
    vxs_delete_empty_rows(e);
    EXPECT_TRUE(e->row_count == 1 && e->cols[1]->num.size() == 1u && e->cols[2]->text.size() == 1u);
    EXPECT_EQ(e->row_column()->num, (Nums{4}));

    Sheet* u = sheet(2);  // a units column does not make a row full
    text(u, "Name", {"a", "b"}, VXS_UNITS_TEXT), variate(u, "v", {M, 2});
    EXPECT_TRUE(vxs_mark_empty_rows(u, 1) == 1 && vxs_mark_empty_columns(u, 0) == 0);
    EXPECT_TRUE((variate(u, "w", {M, M}), vxs_mark_empty_columns(u, 0)) == 1 && u->cols[3]->empty == 1);

    Sheet* sc = sheet(3, VXS_SCALARS);  // scalar sheets keep their rows
    vxs_delete_empty_rows((variate(sc, "a", {M, M, 1}), sc));
    EXPECT_TRUE(sc->row_count == 3 && vxs_delete_row(sc, 0, 0, 0, 0) == 0);

    // In a symmetric matrix an empty row goes only with its empty column, and takes it along.
    Sheet* sym = sheet(3, VXS_SYMMATRIX);
    for (auto v : {Nums{1, M, 4}, {M, M}, {5}}) variate(sym, "x", v, VXS_SYMMAT_COL);
    EXPECT_EQ(vxs_mark_empty_rows(sym, 1), 1);
    vxs_delete_empty_rows(sym);
    ASSERT_TRUE(sym->row_count == 2 && sym->column_count == 2 && names(sym) == (Names{"1", "2"}));
    EXPECT_TRUE(sym->cols[1]->num == (Nums{1, 4}) && sym->cols[2]->num == (Nums{5}));
    Sheet* t = sheet(3, VXS_SYMMATRIX);
    for (auto v : {Nums{M, 3, 4}, {5, 6}, {7}}) variate(t, "x", v, VXS_SYMMAT_COL);
    EXPECT_TRUE(vxs_mark_empty_rows(t, 0) == 1 && vxs_mark_empty_rows(t, 1) == 0);
    EXPECT_EQ((vxs_delete_empty_rows(t), t->row_count), 3);
}

TEST_F(Access, DeleteRowsAndMoveColumns) {
    Sheet* s = sheet(3);
    Column *a = variate(s, "a", {1, 2, 3}), *b = variate(s, "b", {4, 5, 6}), *c = text(s, "c", {"x", "y", "z"});
    s->rows[1].restricted = s->restricted_count = s->restriction_present = 1;
    EXPECT_TRUE(vxs_delete_row(s, 3, 0, 0, 0) == 0 && vxs_delete_row(s, 1, 0, 0, 0) == 1);
    EXPECT_TRUE(a->num == (Nums{1, 3}) && c->text.get(1) == "z" && s->restricted_count == 0 && s->restriction_present == 0);
    EXPECT_TRUE(vxs_delete_row(s, 0, 0, 0, 0) == 1 && vxs_delete_row(s, 0, 0, 0, 0) == 0);  // the last row stays
    EXPECT_TRUE(vxs_delete_column(s->row_column(), 0) == 0 && move_column(s, 1, 3) == 1);
    EXPECT_TRUE(names(s) == (Names{"b", "c", "a"}) && a->position == 3);
    EXPECT_TRUE(move_column(s, 3, 1) == 1 && !move_column(s, 0, 2) && !move_column(s, 4, 1));
    EXPECT_TRUE(remove_column(b) == 1 && s->column_count == 2 && get_column(s, 2) == c);
    EXPECT_TRUE(insert_column(s, b, 1) == 1 && names(s) == (Names{"b", "a", "c"}));
    Column* u = create_column_with_memory(s, VXS_UNITS_NUM, "u", 1);
    EXPECT_EQ(move_column(s, 4, 2), 0);  // a units column only goes first
    EXPECT_TRUE(move_column(s, 4, 1) == 1 && u->position == 1);
    EXPECT_EQ(move_column(s, 3, 1), 0);  // nothing goes in front of it
    EXPECT_TRUE(vxs_delete_column(u, 0) == 1 && s->units_count == 1);
}

TEST_F(Access, DecimalsWidthsDescriptionAndDistinctValues) {
    Sheet* s = sheet(3);
    Column *a = variate(s, "a", {1.5, 2.25, M}), *b = variate(s, "b", {1.0 / 3, 1, 2});
    Column *c = variate(s, "c", {1, 2, 3}), *d = variate(s, "d", {0.1, 1e6, -7.125});
    Column* f = create_column_with_memory(s, VXS_FACTOR, "f", 1);
    f->levels = {0.5, 2};
    vxs_fix_decimals(s);
    using Ints = std::vector<int32_t>;
    EXPECT_EQ((Ints{a->decimals, b->decimals, c->decimals, d->decimals, f->decimals, a->representation}),
              (Ints{2, 12, 0, 3, 1, VXS_REP_FIXED}));

    Sheet* w = sheet(2);  // the name or the widest value, capped for long names
    for (auto [name, v, width] : {std::tuple{"Height", Nums{1.5, 100}, 7}, {"A_nineteen_char_nam", {1.5, 100}, 12},
                                  {"w", {123456.5, M}, 7}})  // "123456"
        EXPECT_EQ(vxs_set_default_column_width(variate(w, name, v), 0), width) << name;
    Column* tw = text(w, "t", {"abcdefghij", ""});
    EXPECT_TRUE(vxs_set_default_column_width(tw, 0) == 11 && tw->nlevels == 10);

    for (const char* line : {"first", "", "second"}) vxs_add_line_to_description(s, line);
    EXPECT_TRUE(s->description_lines.size() == 2u && s->description == std::string("first\0second", 12));

    // A factor suits 2 to 50 repeated values; values equal within 1e-12 count once, 0 equals only 0.
    Nums v30, v51, v50;
    for (int i = 0; i < 30; ++i) v30.push_back(i % 3 + 1);
    for (int i = 0; i < 150; ++i) v51.push_back(i % 51), v50.push_back(i % 50);
    for (auto [v, want] : {std::pair{v30, 1}, {{1, 2, 3}, 0}, {{5, 5, 5, 5}, 0}, {v51, 0}, {v50, 1},
                           {{1, 1 + 1e-14, 2, 2, 0, 0, M, M}, 1}})
        EXPECT_EQ(vxs_column_unique_items(variate(s, "u", v)), want) << v.size();
    EXPECT_EQ(vxs_column_unique_items(text(s, "t", {"Yes", "no", "yes", "No", "", ""})), 1);
    EXPECT_EQ(vxs_column_unique_items(create_column_with_memory(s, VXS_FACTOR, "g", 3)), 0);
}

// Conversions on one column sheet without rows.
struct Conv : Access {
    Sheet* s = nullptr;
    void SetUp() override { Access::SetUp(), s = sheet(0); }
    Column* variate(Nums v) { return Access::variate(s, "v", std::move(v)); }
    Column* text(const Texts& v) { return Access::text(s, "t", v); }
};

TEST_F(Conv, TextToFactorLevelsSortedUnsortedByCaseBlanksAndNaturalOrders) {
    const std::string x60(60, 'x');
    struct Case { Texts in; int ignore_case, strip, sorted; Texts labels; Nums codes; } cases[] = {
        {{"Tue", "Mon", "Wed", "mon"}, 1, 1, 1, {"Mon", "Tue", "Wed"}, {2, 1, 3, 1}},
        {{"b", "a", "B"}, 0, 1, 1, {"B", "a", "b"}, {3, 2, 1}},
        {{"b", "a", "B"}, 1, 1, 1, {"a", "b"}, {2, 1, 2}},
        {{"  high  ", "high", "very   low", "very low", "", "   "}, 1, 1, 1, {"high", "very low"}, {1, 1, 2, 2, M, M}},
        {{" a", "a"}, 1, 0, 1, {" a", "a"}, {1, 2}},  // without stripping the blank counts
        {{x60 + "1", x60 + "2"}, 1, 1, 1, {std::string(40, 'x')}, {1, 1}},  // same in 40 chars
        {{"level2", "level10", "level1"}, 1, 1, 1, {"level1", "level10", "level2"}, {3, 2, 1}},
        {{"N", "S", "E"}, 1, 1, 1, {"N", "E", "S"}, {1, 3, 2}},
        {{"March", "january", "December", "May"}, 1, 1, 1, {"january", "March", "May", "December"}, {2, 1, 4, 3}},
        {{"Oct", "feb", "Sep", "Feb"}, 1, 1, 1, {"feb", "Sep", "Oct"}, {3, 1, 2, 1}},
        {{"Sunday", "saturday", "Friday", "monday"}, 1, 1, 1, {"monday", "Friday", "saturday", "Sunday"}, {4, 3, 2, 1}},
        {{"Mon", "Tue", "Holiday"}, 1, 1, 1, {"Holiday", "Mon", "Tue"}, {2, 3, 1}},  // in no order
        // In order of appearance; natural orders are a kind of sorting too.
        {{"b", "a", "b", "c"}, 1, 1, 0, {"b", "a", "c"}, {1, 2, 1, 3}},
        {{"Wed", "Mon"}, 1, 1, 0, {"Wed", "Mon"}, {1, 2}},
        {{"", "", ""}, 1, 1, 1, {}, {M, M, M}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in[0] + (c.sorted ? " sorted" : " unsorted"));
        vxs_get_global_defaults()->sort_levels = c.sorted;
        Column* t = text(c.in);
        ASSERT_EQ(convert_text_to_factor(t, c.ignore_case, c.strip), 1);
        EXPECT_TRUE(t->type == VXS_FACTOR && t->text.size() == 0u && t->labels == c.labels && t->num == c.codes)
            << testing::PrintToString(t->labels) << testing::PrintToString(t->num);
        const bool none = c.labels.empty();  // nothing but missing: no lists
        EXPECT_TRUE(t->nlevels == (none ? 2 : int32_t(c.labels.size())) && t->origin == (none ? 0 : 2) &&
                    t->representation == (none ? VXS_REP_GENERAL : VXS_REP_TEXT));
    }
    // Thousands of distinct texts, then each again blank-padded in capitals: every cell finds
    // its level, however many texts were seen before.
    Texts many, labels;
    Nums codes;
    for (int again = 0; again < 2; ++again) {
        for (int i = 0; i < 5000; ++i) {
            many.push_back(again ? "  L" + std::to_string(i) + " " : "l" + std::to_string(i));
            if (!again) labels.push_back(many.back());
            codes.push_back(i + 1);
        }
    }
    vxs_get_global_defaults()->sort_levels = 0;
    Column* m = text(many);
    ASSERT_EQ(convert_text_to_factor(m, 1, 1), 1);
    EXPECT_TRUE(m->labels == labels && m->num == codes);
    vxs_get_global_defaults()->sort_levels = 1;  // "Holiday" is no weekday
    EXPECT_TRUE(s->cols[1]->longest_label == 3 && vxs_fac_labels_of_type(s->cols[12].get(), 1) == 0);
    // Sorting by an order that not every label belongs to: the others rank by their place.
    Column* y = text({"Sun", "Tue", "X"});
    ASSERT_EQ(convert_text_to_factor(y, 1, 1), 1);
    vxs_fac_sort_labels(y, 1);
    EXPECT_TRUE(y->labels == (Texts{"Tue", "X", "Sun"}) && y->num == (Nums{3, 1, 2}));
}

TEST_F(Conv, VariateToFactorByValuesOrRounding) {
    const struct Case { Nums in; int use_values, sorted; Nums levels, codes; int nlevels, origin; } cases[] = {
        {{3, 1, 3, 2}, 1, 1, {}, {3, 1, 3, 2}, 3, 0},  // the values were 1..3: no level list
        {{10, 5, M, 10}, 1, 1, {5, 10}, {2, 1, M, 2}, 2, 1},
        {{M, M}, 1, 1, {}, {M, M}, 2, 0},
        {{10, 5, 10}, 1, 0, {10, 5}, {1, 2, 1}, 2, 1},  // in order of appearance
        {{2, 1}, 1, 0, {2, 1}, {1, 2}, 2, 1},           // so not the counting numbers
        {{2.5, 0.2, M, 3.49}, 0, 1, {}, {3, 1, M, 3}, 3, 0},  // rounded to level numbers
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.in));
        vxs_get_global_defaults()->sort_levels = c.sorted;
        Column* v = variate(c.in);
        ASSERT_EQ(convert_variate_to_factor(v, c.use_values), 1);
        EXPECT_TRUE(v->type == VXS_FACTOR && v->text_capacity == 41 && v->levels == c.levels && v->num == c.codes);
        EXPECT_TRUE(v->nlevels == c.nlevels && v->origin == c.origin);
    }
    EXPECT_TRUE(convert_variate_to_factor(variate({M}), 0) == 0 && convert_variate_to_factor(text({"1"}), 0) == 0);

    // Past 65,536 distinct values the levels are found another way, with the same result:
    // N-1 down to 1, -0, a missing cell, 0 (the same level as -0), then 0 up to N-1 again.
    const int n = 70000;
    Nums in;
    for (int k = n - 1; k >= 1; --k) in.push_back(k);
    in.insert(in.end(), {-0.0, M, 0.0});
    for (int k = 0; k < n; ++k) in.push_back(k);
    for (int sorted : {1, 0}) {
        vxs_get_global_defaults()->sort_levels = sorted;
        Column* v = variate(in);
        ASSERT_EQ(convert_variate_to_factor(v, 1), 1);
        ASSERT_TRUE(v->nlevels == n && v->origin == 1 && v->levels.size() == size_t(n));
        auto level_of = [&](int k) { return sorted ? k + 1.0 : k ? double(n - k) : double(n); };
        EXPECT_TRUE(std::signbit(v->levels[size_t(level_of(0) - 1)]) && v->levels[size_t(level_of(7) - 1)] == 7);
        EXPECT_TRUE(v->num[0] == level_of(n - 1) && v->num[size_t(n)] == M && v->num[size_t(n) + 1] == level_of(0) &&
                    v->num.back() == level_of(n - 1));
    }
}

// Factors with lists: through the name-file marks in the driver's tests.
TEST_F(Conv, FactorsWithoutListsAndNumbersBackToText) {
    Column *l = text({"Low", "High", "", "Low"}), *n = variate({1, 2});
    ASSERT_TRUE(convert_text_to_factor(l, 1, 1) && convert_variate_to_factor(n, 0));
    ASSERT_TRUE(convert_factor_to_variate(l, 1) && convert_factor_to_text(n));
    // Labels only or no lists: the level numbers; a text column is not converted again.
    EXPECT_TRUE(l->num == (Nums{2, 1, M, 2}) && texts(n) == (Texts{"1", "2"}) && convert_factor_to_text(n) == 0);
    Column *x = variate({1.5, M, 100}), *d = variate({3.14159});
    d->representation = VXS_REP_FIXED, d->decimals = 2;  // written as shown
    ASSERT_TRUE(convert_variate_to_text(x) == 1 && convert_variate_to_text(d) == 1);
    EXPECT_TRUE(texts(x) == (Texts{"1.5", "", "100"}) && texts(d) == (Texts{"3.14"}));
}

TEST_F(Conv, UnitsColumnsAndTheDispatcher) {
    Column *a = variate({1}), *b = text({"x"}), *c = variate({2});
    ASSERT_EQ(convert_text_to_units(b), 1);
    EXPECT_TRUE(b->type == VXS_UNITS_TEXT && b->position == 1 && a->position == 2 && s->units_count == 2);
    EXPECT_TRUE(convert_variate_to_units(c) == 0 && c->type == VXS_VARIATE);  // a second units column is refused
    ASSERT_TRUE(convert_units_to_text(b) == 1 && s->units_count == 1);
    EXPECT_TRUE((convert_column(c, VXS_VARIATE, VXS_UNITS_NUM, 1, 1), c->type) == VXS_UNITS_NUM && c->position == 1);

    Column* m = variate({2, 1});  // matrix columns convert like variates
    convert_column((m->type = VXS_MATRIX_COL, m), VXS_MATRIX_COL, VXS_TEXT, 1, 1);
    EXPECT_EQ(texts(m), (Texts{"2", "1"}));
    m->lock = 1;  // a locked column stays
    convert_column(m, VXS_TEXT, VXS_VARIATE, 1, 1);
    EXPECT_EQ(m->type, VXS_TEXT);
    m->lock = 0;
    convert_column(m, VXS_TEXT, VXS_SCALAR, 1, 1);  // not a conversion there is
    EXPECT_EQ(m->type, VXS_TEXT);
}

TEST_F(Conv, ReorderLevels) {
    Column* f = text({"a", "b", "c", "a"});
    ASSERT_EQ(convert_text_to_factor(f, 1, 1), 1);
    const int32_t bad[3] = {0, 0, 1}, order[3] = {2, 0, 1};
    vxs_factor_reorder(f, bad), vxs_factor_reorder(f, order);  // the first, no permutation, is ignored
    EXPECT_TRUE(f->labels == (Texts{"c", "a", "b"}) && f->num == (Nums{2, 3, 1, 2}));
    vxs_reorder_levels_from_list(f, " B , a");
    EXPECT_TRUE(f->labels == (Texts{"b", "a", "c"}) && f->num == (Nums{2, 1, 3, 2}));
    Column* v = variate({5, 10, 20});
    ASSERT_EQ(convert_variate_to_factor(v, 1), 1);
    vxs_reorder_levels_from_list(v, "(20, 5)");
    EXPECT_TRUE(v->levels == (Nums{20, 5, 10}) && v->num == (Nums{2, 3, 1}));
}

TEST(SheetModel, ColumnLimitRowWidthTextCapAndMissingStart) {
    for (int32_t limit : {250, 511, 255, 224, 2048}) {  // per output type; "Row" not counted
        Sheet* s = new_run_with_sheet(3);
        VXSMAXCOLUMNS = limit;
        int made = 0;
        while (create_column_with_memory(s, VXS_VARIATE, "x", 3)) ++made;
        EXPECT_TRUE(made == limit && s->column_count == limit && s->cols.back()->position == limit) << limit;
    }
    VXSMAXCOLUMNS = 250;
    for (auto [rows, width] : {std::pair{1000, 4}, {1001, 5}, {10000, 5}, {10001, 6}}) {
        const Column* row = new_run_with_sheet(rows)->row_column();
        EXPECT_TRUE(row->width == width && row->num.back() == rows) << rows;
    }
    Sheet* s = new_run_with_sheet(2);
    Column* t = create_column_with_memory(s, VXS_TEXT, "Comment", 2);
    t->text.set(0, std::string(91, 'x')), t->text.set(1, "short");
    EXPECT_TRUE(t->text_capacity == 90 && t->text.get(0) == std::string(90, 'x') && t->text.get(1) == "short");
    Column* f = create_column_with_memory(s, VXS_FACTOR, "Block", 2);
    EXPECT_TRUE(f->nlevels == 2 && f->levels_present() == 0);
    for (double v : f->num) EXPECT_FALSE(v > s->missing);
    EXPECT_TRUE(!(-1.0e307 > s->missing) && -1.0e306 > s->missing);
}

// Two regions filled out of row order; texts that overflow a region land after close().
TEST(SheetModel, TextRegionsKeepEveryTextWhateverTheirSizes) {
    TextCells t;
    t.resize(5), t.set(0, "before");
    std::vector<TextCells::Region> parts{t.region(4), t.region(3)};
    parts[1].set(4, "xyz"), parts[0].set(1, "ab"), parts[0].set(2, "overflow"), parts[1].set(3, std::string(95, 'q'));
    t.close(parts);
    Texts got;
    for (size_t i = 0; i < 5; ++i) got.emplace_back(t.get(i));
    EXPECT_TRUE(parts.empty() && got == (Texts{"before", "ab", "overflow", std::string(90, 'q'), "xyz"}));
}

int fatal_status(const std::function<void()>& f) {
    try { f(); } catch (const VxsFatal& fatal) { return fatal.status; }
    return -1;
}

TEST(Memory, RequestAboveTheLimitEndsWithSeven) {
    int status = 0;
    EXPECT_EQ(stdout_of([&] { status = fatal_status([] { mymalloc(VXS_MAX_ALLOC + 1); }); }),
              "Error: Data too large for this version of Morvalen!\n");
    EXPECT_EQ(status, 7);
    EXPECT_EQ(stdout_of([&] { status = fatal_status([] { myrealloc(nullptr, VXS_MAX_ALLOC + 1); }); }),
              "Error: Data too large for DOS version!\n");
    EXPECT_EQ(status, 7);
}

// Sanitizer runtimes reserve far more address space than the limit allows.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// In a child process: the address-space limit must not reach the test runner.
TEST(MemoryDeathTest, ExhaustionEndsWithEight) {
    auto exhaust = [] {
        const rlimit limit{64u << 20, 64u << 20};
        setrlimit(RLIMIT_AS, &limit);
        std::exit(fatal_status([] { mymalloc(VXS_MAX_ALLOC); }));
    };
    EXPECT_EXIT(exhaust(), ::testing::ExitedWithCode(8), "");
}
#endif

}  // namespace
