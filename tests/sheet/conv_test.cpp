// Column conversions: factors from numbers and texts and back, units.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "sheet/vxs_access.h"
#include "sheet/vxs_conv.h"
#include "sheet/vxs_sheet.h"
#include "sheet/vxs_txtnum.h"
#include "test_util.h"

namespace {

const double M = -1.0e307;
using Nums = std::vector<double>;
using Texts = std::vector<std::string>;

struct Conv : ::testing::Test {
    Sheet* s = nullptr;
    void SetUp() override { vxs_init(), VXSMAXCOLUMNS = 250, s = create_sheet(), s->missing = M; }
    Column* variate(Nums v) {
        Column* c = create_column_with_memory(s, VXS_VARIATE, "v", static_cast<int32_t>(v.size()));
        c->num = std::move(v);
        return c;
    }
    Column* text(const Texts& v) {
        Column* c = create_column_with_memory(s, VXS_TEXT, "t", 0);
        for (auto& t : v) c->text.push_back(t);
        return c;
    }
    static Texts texts(const Column* c) {
        Texts r;
        for (size_t i = 0; i < c->text.size(); ++i) r.emplace_back(c->text.get(i));
        return r;
    }
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
        {{"", "", ""}, 1, 1, 1, {}, {M, M, M}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in[0] + (c.sorted ? " sorted" : " unsorted"));
        vxs_get_global_defaults()->sort_levels = c.sorted;
        Column* t = text(c.in);
        ASSERT_EQ(convert_text_to_factor(t, c.ignore_case, c.strip), 1);
        EXPECT_TRUE(t->type == VXS_FACTOR && t->text.size() == 0u && t->labels == c.labels && t->num == c.codes)
            << testing::PrintToString(t->labels) << testing::PrintToString(t->num);
        const bool none = c.labels.empty();  // nothing but missing: no lists
        EXPECT_EQ(t->nlevels, none ? 2 : static_cast<int32_t>(c.labels.size()));
        EXPECT_TRUE(t->origin == (none ? 0 : 2) && t->representation == (none ? VXS_REP_GENERAL : VXS_REP_TEXT));
    }
    vxs_get_global_defaults()->sort_levels = 1;
    EXPECT_EQ(s->cols[1]->longest_label, 3);
    EXPECT_EQ(vxs_fac_labels_of_type(s->cols[12].get(), 1), 0);  // "Holiday" is no weekday
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
        EXPECT_TRUE(v->num[0] == level_of(n - 1) && v->num[size_t(n)] == M && v->num[size_t(n) + 1] == level_of(0));
        EXPECT_EQ(v->num.back(), level_of(n - 1));
    }
}

// Factors with lists: through the name-file marks in the driver's tests.
TEST_F(Conv, FactorsWithoutListsAndNumbersBackToText) {
    Column *l = text({"Low", "High", "", "Low"}), *n = variate({1, 2});
    ASSERT_TRUE(convert_text_to_factor(l, 1, 1) && convert_variate_to_factor(n, 0));
    ASSERT_TRUE(convert_factor_to_variate(l, 1) && convert_factor_to_text(n));
    EXPECT_EQ(l->num, (Nums{2, 1, M, 2}));    // labels only: level numbers
    EXPECT_EQ(texts(n), (Texts{"1", "2"}));   // no lists: the level numbers
    EXPECT_EQ(convert_factor_to_text(n), 0);  // already text
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
    convert_column(c, VXS_VARIATE, VXS_UNITS_NUM, 1, 1);
    EXPECT_TRUE(c->type == VXS_UNITS_NUM && c->position == 1);

    Column* m = variate({2, 1});  // matrix columns convert like variates
    m->type = VXS_MATRIX_COL;
    convert_column(m, VXS_MATRIX_COL, VXS_TEXT, 1, 1);
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
    vxs_factor_reorder(f, bad);  // not a permutation: ignored
    vxs_factor_reorder(f, order);
    EXPECT_TRUE(f->labels == (Texts{"c", "a", "b"}) && f->num == (Nums{2, 3, 1, 2}));
    vxs_reorder_levels_from_list(f, " B , a");
    EXPECT_TRUE(f->labels == (Texts{"b", "a", "c"}) && f->num == (Nums{2, 1, 3, 2}));
    Column* v = variate({5, 10, 20});
    ASSERT_EQ(convert_variate_to_factor(v, 1), 1);
    vxs_reorder_levels_from_list(v, "(20, 5)");
    EXPECT_TRUE(v->levels == (Nums{20, 5, 10}) && v->num == (Nums{2, 3, 1}));
}

}  // namespace
