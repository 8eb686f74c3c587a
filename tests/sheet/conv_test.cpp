// Column conversions: factors from numbers and texts (sorted, unsorted, natural orders, case
// and blanks), factors back to numbers and texts, text to numbers with warnings, units.
#include <gtest/gtest.h>

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

struct Conv : ::testing::Test {
    Sheet* s = nullptr;
    void SetUp() override {
        vxs_init();
        VXSMAXCOLUMNS = 250;
        s = create_sheet();
        s->missing = vxs_missing;
    }
    Column* variate(std::vector<double> v) {
        Column* c = create_column_with_memory(s, VXS_VARIATE, "v", static_cast<int32_t>(v.size()));
        c->num = std::move(v);
        return c;
    }
    Column* text(std::vector<std::string> v, const char* name = "t") {
        Column* c = create_column_with_memory(s, VXS_TEXT, name, 0);
        for (auto& t : v) c->text.push_back(t);
        return c;
    }
    static std::vector<std::string> texts(const Column* c) {
        std::vector<std::string> r;
        for (size_t i = 0; i < c->text.size(); ++i) r.emplace_back(c->text.get(i));
        return r;
    }
};

TEST_F(Conv, VariateToFactorByValues) {
    Column* a = variate({3, 1, 3, 2});
    ASSERT_EQ(convert_variate_to_factor(a, 1), 1);
    EXPECT_EQ(a->type, VXS_FACTOR);
    EXPECT_EQ(a->nlevels, 3);
    EXPECT_TRUE(a->levels.empty());  // the values were 1..3
    EXPECT_EQ(a->origin, 0);
    EXPECT_EQ(a->num, (std::vector<double>{3, 1, 3, 2}));
    EXPECT_EQ(a->text_capacity, 41);

    Column* b = variate({10, 5, M, 10});
    ASSERT_EQ(convert_variate_to_factor(b, 1), 1);
    EXPECT_EQ(b->levels, (std::vector<double>{5, 10}));
    EXPECT_EQ(b->origin, 1);
    EXPECT_EQ(b->num, (std::vector<double>{2, 1, M, 2}));

    Column* none = variate({M, M});
    ASSERT_EQ(convert_variate_to_factor(none, 1), 1);
    EXPECT_EQ(none->nlevels, 2);
    EXPECT_TRUE(none->levels.empty());
}

TEST_F(Conv, UnsortedLevelsKeepTheOrderOfAppearance) {
    vxs_get_global_defaults()->sort_levels = 0;
    Column* b = variate({10, 5, 10});
    ASSERT_EQ(convert_variate_to_factor(b, 1), 1);
    EXPECT_EQ(b->levels, (std::vector<double>{10, 5}));
    EXPECT_EQ(b->num, (std::vector<double>{1, 2, 1}));
    // 2, 1 in order of appearance are not the counting numbers: kept as values.
    Column* c = variate({2, 1});
    ASSERT_EQ(convert_variate_to_factor(c, 1), 1);
    EXPECT_EQ(c->levels, (std::vector<double>{2, 1}));
    Column* t = text({"b", "a", "b", "c"});
    ASSERT_EQ(convert_text_to_factor(t, 1, 1), 1);
    EXPECT_EQ(t->labels, (std::vector<std::string>{"b", "a", "c"}));
    EXPECT_EQ(t->num, (std::vector<double>{1, 2, 1, 3}));
    // Natural orders are a kind of sorting too.
    Column* d = text({"Wed", "Mon"});
    ASSERT_EQ(convert_text_to_factor(d, 1, 1), 1);
    EXPECT_EQ(d->labels, (std::vector<std::string>{"Wed", "Mon"}));
}

TEST_F(Conv, VariateToFactorByRounding) {
    Column* a = variate({2.5, 0.2, M, 3.49});
    ASSERT_EQ(convert_variate_to_factor(a, 0), 1);
    EXPECT_EQ(a->num, (std::vector<double>{3, 1, M, 3}));
    EXPECT_EQ(a->nlevels, 3);
    EXPECT_EQ(convert_variate_to_factor(variate({M}), 0), 0);
    EXPECT_EQ(convert_variate_to_factor(text({"1"}), 0), 0);
}

TEST_F(Conv, TextToFactorSortsAndMatchesCase) {
    Column* w = text({"Tue", "Mon", "Wed", "mon"});
    ASSERT_EQ(convert_text_to_factor(w, 1, 1), 1);
    EXPECT_EQ(w->labels, (std::vector<std::string>{"Mon", "Tue", "Wed"}));
    EXPECT_EQ(w->num, (std::vector<double>{2, 1, 3, 1}));
    EXPECT_EQ(w->origin, 2);
    EXPECT_EQ(w->representation, VXS_REP_TEXT);
    EXPECT_EQ(w->longest_label, 3);

    Column* b = text({"b", "a", "B"});
    ASSERT_EQ(convert_text_to_factor(b, 0, 1), 1);
    EXPECT_EQ(b->labels, (std::vector<std::string>{"B", "a", "b"}));
    EXPECT_EQ(b->num, (std::vector<double>{3, 2, 1}));

    Column* i = text({"b", "a", "B"});
    ASSERT_EQ(convert_text_to_factor(i, 1, 1), 1);
    EXPECT_EQ(i->labels, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(i->num, (std::vector<double>{2, 1, 2}));
}

TEST_F(Conv, TextToFactorStripsBlanksAndCutsLabels) {
    Column* t = text({"  high  ", "high", "very   low", "very low", "", "   "});
    ASSERT_EQ(convert_text_to_factor(t, 1, 1), 1);
    EXPECT_EQ(t->labels, (std::vector<std::string>{"high", "very low"}));
    EXPECT_EQ(t->num, (std::vector<double>{1, 1, 2, 2, M, M}));

    Column* k = text({" a", "a"});
    ASSERT_EQ(convert_text_to_factor(k, 1, 0), 1);  // without stripping the blank counts
    EXPECT_EQ(k->labels, (std::vector<std::string>{" a", "a"}));

    std::string longtext(60, 'x');
    Column* l = text({longtext + "1", longtext + "2"});
    ASSERT_EQ(convert_text_to_factor(l, 1, 1), 1);
    EXPECT_EQ(l->labels, (std::vector<std::string>{std::string(40, 'x')}));  // same in 40 characters
    EXPECT_EQ(l->num, (std::vector<double>{1, 1}));
}

TEST_F(Conv, NaturalOrders) {
    Column* c = text({"N", "S", "E"});
    ASSERT_EQ(convert_text_to_factor(c, 1, 1), 1);
    EXPECT_EQ(c->labels, (std::vector<std::string>{"N", "E", "S"}));
    EXPECT_EQ(c->num, (std::vector<double>{1, 3, 2}));

    Column* m = text({"March", "january", "December", "May"});
    ASSERT_EQ(convert_text_to_factor(m, 1, 1), 1);
    EXPECT_EQ(m->labels, (std::vector<std::string>{"january", "March", "May", "December"}));

    Column* sm = text({"Oct", "feb", "Sep", "Feb"});
    ASSERT_EQ(convert_text_to_factor(sm, 1, 1), 1);
    EXPECT_EQ(sm->labels, (std::vector<std::string>{"feb", "Sep", "Oct"}));
    EXPECT_EQ(sm->num, (std::vector<double>{3, 1, 2, 1}));

    Column* d = text({"Sunday", "saturday", "Friday", "monday"});
    ASSERT_EQ(convert_text_to_factor(d, 1, 1), 1);
    EXPECT_EQ(d->labels, (std::vector<std::string>{"monday", "Friday", "saturday", "Sunday"}));

    // One label outside every order: alphabetical.
    Column* x = text({"Mon", "Tue", "Holiday"});
    ASSERT_EQ(convert_text_to_factor(x, 1, 1), 1);
    EXPECT_EQ(x->labels, (std::vector<std::string>{"Holiday", "Mon", "Tue"}));
    EXPECT_EQ(vxs_fac_labels_of_type(x, 1), 0);

    // Sorting by an order that not every label belongs to: the others rank by their place.
    Column* y = text({"Sun", "Tue", "X"});
    ASSERT_EQ(convert_text_to_factor(y, 1, 1), 1);
    EXPECT_EQ(y->labels, (std::vector<std::string>{"Sun", "Tue", "X"}));
    vxs_fac_sort_labels(y, 1);
    EXPECT_EQ(y->labels, (std::vector<std::string>{"Tue", "X", "Sun"}));
    EXPECT_EQ(y->num, (std::vector<double>{3, 1, 2}));
}

TEST_F(Conv, EmptyTextColumnBecomesTwoLevelFactor) {
    Column* t = text({"", "", ""});
    ASSERT_EQ(convert_text_to_factor(t, 1, 1), 1);
    EXPECT_EQ(t->type, VXS_FACTOR);
    EXPECT_EQ(t->nlevels, 2);
    EXPECT_TRUE(t->labels.empty());
    EXPECT_EQ(t->origin, 0);
    EXPECT_EQ(t->representation, VXS_REP_GENERAL);
    EXPECT_EQ(t->num, (std::vector<double>{M, M, M}));
    EXPECT_EQ(t->text.size(), 0u);
}

TEST_F(Conv, FactorToTextAndBack) {
    Column* t = text({"Low", "High", "", "Low"});
    ASSERT_EQ(convert_text_to_factor(t, 1, 1), 1);
    EXPECT_EQ(t->labels, (std::vector<std::string>{"High", "Low"}));
    ASSERT_EQ(convert_factor_to_text(t), 1);
    EXPECT_EQ(t->type, VXS_TEXT);
    EXPECT_EQ(texts(t), (std::vector<std::string>{"Low", "High", "", "Low"}));
    EXPECT_TRUE(t->labels.empty());

    ASSERT_EQ(convert_text_to_factor(t, 1, 1), 1);
    ASSERT_EQ(convert_factor_to_variate(t, 1), 1);  // labels only: level numbers
    EXPECT_EQ(t->type, VXS_VARIATE);
    EXPECT_EQ(t->num, (std::vector<double>{2, 1, M, 2}));
    EXPECT_EQ(t->representation, VXS_REP_GENERAL);

    Column* v = variate({10, 5, 10, M});
    ASSERT_EQ(convert_variate_to_factor(v, 1), 1);
    Column* v2 = variate({0.5, 7});
    ASSERT_EQ(convert_variate_to_factor(v2, 1), 1);
    ASSERT_EQ(convert_factor_to_text(v2), 1);
    EXPECT_EQ(texts(v2), (std::vector<std::string>{"0.5", "7"}));
    ASSERT_EQ(convert_factor_to_variate(v, 1), 1);
    EXPECT_EQ(v->num, (std::vector<double>{10, 5, 10, M}));
    EXPECT_TRUE(v->levels.empty());

    Column* f = variate({1, 2});
    ASSERT_EQ(convert_variate_to_factor(f, 0), 1);
    ASSERT_EQ(convert_factor_to_text(f), 1);  // no lists: the level numbers
    EXPECT_EQ(texts(f), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(convert_factor_to_text(f), 0);
}

TEST_F(Conv, VariateToText) {
    Column* v = variate({1.5, M, 100});
    ASSERT_EQ(convert_variate_to_text(v), 1);
    EXPECT_EQ(texts(v), (std::vector<std::string>{"1.5", "", "100"}));
    EXPECT_EQ(v->representation, VXS_REP_TEXT);
    Column* d = variate({3.14159});
    d->representation = VXS_REP_FIXED;
    d->decimals = 2;
    ASSERT_EQ(convert_variate_to_text(d), 1);
    EXPECT_EQ(texts(d), (std::vector<std::string>{"3.14"}));
}

TEST_F(Conv, TextToVariateListsRepairsInTheWarningsFile) {
    ScratchDir dir;
    std::snprintf(vxs_warn_file, sizeof vxs_warn_file, "%s", dir.file("TxtToNum.ERR").c_str());
    vxs_warn_out = nullptr;
    Column* t = text({"1.5", "1,5", "", "abc"}, "Dose");
    ASSERT_EQ(convert_text_to_variate(t), 1);
    EXPECT_EQ(t->type, VXS_VARIATE);
    EXPECT_EQ(t->num, (std::vector<double>{1.5, 1.5, M, M}));
    ASSERT_NE(vxs_warn_out, nullptr);
    std::fclose(vxs_warn_out);
    vxs_warn_out = nullptr;
    EXPECT_EQ(read_file(dir.file("TxtToNum.ERR")),
              "Text to Number Conversion Warnings\n \n"
              "Column Dose Row    2: 1,5 read as 1.5\n"
              "Column Dose Row    4: abc read as *\n");
    std::snprintf(vxs_warn_file, sizeof vxs_warn_file, "TxtToNum.ERR");
}

TEST_F(Conv, UnitsColumns) {
    Column* a = variate({1});
    Column* b = text({"x"});
    Column* c = variate({2});
    ASSERT_EQ(convert_text_to_units(b), 1);
    EXPECT_EQ(b->type, VXS_UNITS_TEXT);
    EXPECT_EQ(b->position, 1);
    EXPECT_EQ(a->position, 2);
    EXPECT_EQ(s->units_count, 2);
    // A second units column is refused and the column stays as it was.
    EXPECT_EQ(convert_variate_to_units(c), 0);
    EXPECT_EQ(c->type, VXS_VARIATE);
    convert_column(c, VXS_VARIATE, VXS_UNITS_NUM, 1, 1);
    EXPECT_EQ(c->type, VXS_VARIATE);
    ASSERT_EQ(convert_units_to_text(b), 1);
    EXPECT_EQ(s->units_count, 1);
    convert_column(c, VXS_VARIATE, VXS_UNITS_NUM, 1, 1);
    EXPECT_EQ(c->type, VXS_UNITS_NUM);
    EXPECT_EQ(c->position, 1);
    convert_column(c, VXS_UNITS_NUM, VXS_FACTOR, 1, 1);
    EXPECT_EQ(c->type, VXS_FACTOR);
    EXPECT_EQ(s->units_count, 1);
}

TEST_F(Conv, ConvertColumnDispatches) {
    Column* a = variate({2, 1});
    a->type = VXS_MATRIX_COL;
    convert_column(a, VXS_MATRIX_COL, VXS_TEXT, 1, 1);
    EXPECT_EQ(a->type, VXS_TEXT);
    convert_column(a, VXS_TEXT, VXS_FACTOR, 1, 1);
    EXPECT_EQ(a->type, VXS_FACTOR);
    EXPECT_EQ(a->labels, (std::vector<std::string>{"1", "2"}));
    convert_column(a, VXS_FACTOR, VXS_VARIATE, 1, 1);
    EXPECT_EQ(a->num, (std::vector<double>{2, 1}));
    a->lock = 1;
    convert_column(a, VXS_VARIATE, VXS_TEXT, 1, 1);
    EXPECT_EQ(a->type, VXS_VARIATE);
    a->lock = 0;
    convert_column(a, VXS_VARIATE, VXS_TABLE_BODY, 1, 1);
    EXPECT_EQ(a->type, VXS_TABLE_BODY);
    convert_column(a, VXS_TEXT, VXS_SCALAR, 1, 1);  // not a conversion there is
    EXPECT_EQ(a->type, VXS_TABLE_BODY);
}

TEST_F(Conv, ReorderDefaultsAndLists) {
    Column* f = text({"a", "b", "c", "a"});
    ASSERT_EQ(convert_text_to_factor(f, 1, 1), 1);
    const int32_t bad[3] = {0, 0, 1};
    vxs_factor_reorder(f, bad);
    EXPECT_EQ(f->labels, (std::vector<std::string>{"a", "b", "c"}));
    const int32_t order[3] = {2, 0, 1};
    vxs_factor_reorder(f, order);
    EXPECT_EQ(f->labels, (std::vector<std::string>{"c", "a", "b"}));
    EXPECT_EQ(f->num, (std::vector<double>{2, 3, 1, 2}));

    vxs_reorder_levels_from_list(f, " B , a");
    EXPECT_EQ(f->labels, (std::vector<std::string>{"b", "a", "c"}));
    EXPECT_EQ(f->num, (std::vector<double>{2, 1, 3, 2}));

    Column* v = variate({5, 10, 20});
    ASSERT_EQ(convert_variate_to_factor(v, 1), 1);
    vxs_reorder_levels_from_list(v, "(20, 5)");
    EXPECT_EQ(v->levels, (std::vector<double>{20, 5, 10}));
    EXPECT_EQ(v->num, (std::vector<double>{2, 3, 1}));
    char buf[64];
    vxs_write_factor_value(v, 1, buf);
    EXPECT_STREQ(buf, "20");

    Column* n = variate({2, 1, 3});
    ASSERT_EQ(convert_variate_to_factor(n, 0), 1);
    ASSERT_EQ(vxs_fac_default_labels(n), 1);
    EXPECT_EQ(n->labels, (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(n->origin, 2);
    ASSERT_EQ(vxs_fac_default_levels(n, nullptr), 1);
    EXPECT_EQ(n->levels, (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(n->origin, 1);
    const double given[3] = {0.5, 1.5, 2.5};
    ASSERT_EQ(vxs_fac_default_levels(n, given), 1);
    ASSERT_EQ(vxs_fac_default_labels(n), 1);
    EXPECT_EQ(n->labels, (std::vector<std::string>{"0.5", "1.5", "2.5"}));
}

TEST_F(Conv, MillionCellsToFactor) {
    const size_t n = 1000000;
    Column* t = create_column_with_memory(s, VXS_TEXT, "big", 0);
    t->text.reserve(n, n * 8);
    for (size_t i = 0; i < n; ++i) t->text.push_back("level" + std::to_string(i % 50));
    ASSERT_EQ(convert_text_to_factor(t, 1, 1), 1);
    EXPECT_EQ(t->nlevels, 50);
    EXPECT_EQ(t->labels[0], "level0");
    EXPECT_EQ(t->labels[1], "level1");
    EXPECT_EQ(t->labels[2], "level10");
    EXPECT_EQ(t->num[10], 3.0);
}

}  // namespace
