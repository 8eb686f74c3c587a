// Column-name files: the listing written for the user, and renaming, converting and dropping
// columns from an edited one.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver/vxs_formats.h"
#include "sheet/vxs_access.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

const double M = -1.0e307;

struct NameFile : ::testing::Test {
    ScratchDir dir;
    Sheet* s = nullptr;
    void SetUp() override {
        vxs_init();
        VXSMAXCOLUMNS = 250;
        vxs_reset_name_counters();
        s = create_sheet();
        s->missing = vxs_missing;
        s->row_count = 2;
        create_row_attr(s);
    }
    Column* variate(const char* name, std::vector<double> v) {
        Column* c = create_column_with_memory(s, VXS_VARIATE, name, 2);
        c->num = std::move(v);
        return c;
    }
    Column* text(const char* name, std::vector<std::string> v) {
        Column* c = create_column_with_memory(s, VXS_TEXT, name, 0);
        for (auto& t : v) c->text.push_back(t);
        return c;
    }
    int rename_from(const std::string& contents) {
        std::string path = dir.file("names.VAR");
        write_file(path, contents);
        FILE* f = std::fopen(path.c_str(), "r");
        int r = rename_columns(s, f);
        std::fclose(f);
        return r;
    }
    std::vector<std::string> names() {
        std::vector<std::string> r;
        for (size_t i = 1; i < s->cols.size(); ++i) r.push_back(s->cols[i]->name);
        return r;
    }
};

TEST_F(NameFile, WritesTheCountAndTheNames) {
    variate("Height", {1, 2});
    text("Site", {"a", "b"});
    ASSERT_EQ(write_columns(s, dir.file("out.VAR").c_str()), 1);
    EXPECT_EQ(read_file(dir.file("out.VAR")), "2\nHeight\nSite\n");

    s->kind = VXS_MATRIX;
    s->structure_name = "Corr";
    ASSERT_EQ(write_columns(s, dir.file("m.VAR").c_str()), 1);
    EXPECT_EQ(read_file(dir.file("m.VAR")), "1\nCorr\n");

    EXPECT_EQ(write_columns(nullptr, dir.file("x.VAR").c_str()), 0);
    EXPECT_EQ(write_columns(s, dir.file("no/such/dir.VAR").c_str()), 0);
}

TEST_F(NameFile, WrittenListingReadsBackUnchanged) {
    variate("Height", {1, 2});
    variate("Weight", {3, 4});
    ASSERT_EQ(write_columns(s, dir.file("names.VAR").c_str()), 1);
    FILE* f = std::fopen(dir.file("names.VAR").c_str(), "r");
    EXPECT_EQ(rename_columns(s, f), 1);
    std::fclose(f);
    EXPECT_EQ(names(), (std::vector<std::string>{"Height", "Weight"}));
}

TEST_F(NameFile, RenamesWithAndWithoutACountLine) {
    variate("a", {1, 2});
    variate("b", {1, 2});
    EXPECT_EQ(rename_from("2\nHeight\nWeight\n"), 1);
    EXPECT_EQ(names(), (std::vector<std::string>{"Height", "Weight"}));
    EXPECT_EQ(rename_from("2nd try\nfresh name\n"), 1);  // a name, not a count
    EXPECT_EQ(names(), (std::vector<std::string>{"%2nd_try", "fresh_name"}));
    EXPECT_EQ(rename_from("First\r\nSecond\r\n"), 1);
    EXPECT_EQ(names(), (std::vector<std::string>{"First", "Second"}));
}

TEST_F(NameFile, MoreLinesThanColumnsAndFewer) {
    variate("a", {1, 2});
    variate("b", {1, 2});
    variate("c", {1, 2});
    EXPECT_EQ(rename_from("X\nY\nZ\nExtra\nMore\n"), 1);
    EXPECT_EQ(names(), (std::vector<std::string>{"X", "Y", "Z"}));
    EXPECT_EQ(rename_from("P\n"), 1);
    EXPECT_EQ(names(), (std::vector<std::string>{"P", "Y", "Z"}));
    EXPECT_EQ(rename_from("\n  \nQ\n"), 1);  // empty lines leave their columns alone
    EXPECT_EQ(names(), (std::vector<std::string>{"P", "Y", "Q"}));
}

TEST_F(NameFile, StarLineDropsTheColumn) {
    variate("a", {1, 2});
    variate("b", {1, 2});
    variate("c", {1, 2});
    EXPECT_EQ(rename_from("3\nA\n*B\nC\n"), 1);
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(s->column_count, 2);
    EXPECT_EQ(get_column(s, 2)->name, "C");
}

TEST_F(NameFile, MarksConvertColumns) {
    text("Weight", {"12.5", "7"});
    variate("Grp", {2, 1});
    text("Site", {"b", "a"});
    variate("Code", {10, 20});
    EXPECT_EQ(rename_from("Weight#\nGroup!\nSite!\n$\n"), 1);
    EXPECT_EQ(names(), (std::vector<std::string>{"Weight", "Group", "Site", "Code"}));
    Column* w = s->cols[1].get();
    EXPECT_EQ(w->type, VXS_VARIATE);
    EXPECT_EQ(w->num, (std::vector<double>{12.5, 7}));
    EXPECT_EQ(s->cols[2]->type, VXS_FACTOR);
    EXPECT_EQ(s->cols[3]->type, VXS_FACTOR);
    EXPECT_EQ(s->cols[3]->labels, (std::vector<std::string>{"a", "b"}));
    Column* code = s->cols[4].get();
    EXPECT_EQ(code->type, VXS_TEXT);
    EXPECT_EQ(code->text.get(1), "20");

    // Factor back to numbers by its level values, and to text by its labels.
    EXPECT_EQ(rename_from("Weight\nGroup#\nSite$\n"), 1);
    EXPECT_EQ(s->cols[2]->type, VXS_VARIATE);
    EXPECT_EQ(s->cols[2]->num, (std::vector<double>{2, 1}));
    EXPECT_EQ(s->cols[3]->type, VXS_TEXT);
    EXPECT_EQ(s->cols[3]->text.get(0), "b");
    // A mark that does not fit the column's kind only renames.
    EXPECT_EQ(rename_from("Weight2#\n"), 1);
    EXPECT_EQ(s->cols[1]->type, VXS_VARIATE);
    EXPECT_EQ(s->cols[1]->name, "Weight2");
}

TEST_F(NameFile, NamesAreMadeValid) {
    variate("a", {1, M});
    EXPECT_EQ(rename_from("  body mass (kg) \n"), 1);
    EXPECT_EQ(names(), (std::vector<std::string>{"body_mass_kg"}));
    EXPECT_EQ(rename_from(std::string(300, 'n') + "\nignored\n"), 1);  // a long line is one line
    EXPECT_EQ(names(), (std::vector<std::string>{std::string(40, 'n')}));
}

TEST_F(NameFile, RefusesMissingSheetOrFile) {
    EXPECT_EQ(rename_columns(nullptr, nullptr), 0);
    EXPECT_EQ(rename_columns(s, nullptr), 0);
}

}  // namespace
