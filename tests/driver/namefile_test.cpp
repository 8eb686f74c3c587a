// Column-name files: the listing, and renaming, converting and dropping columns from one.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver/vxs_formats.h"
#include "sheet/vxs_access.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

using Names = std::vector<std::string>;
using Nums = std::vector<double>;

struct NameFile : ::testing::Test {
    ScratchDir dir;
    Sheet* s = nullptr;
    void SetUp() override { s = new_run_with_sheet(2), VXSMAXCOLUMNS = 250, vxs_reset_name_counters(); }
    void column(const char* name, Nums v) { create_column_with_memory(s, VXS_VARIATE, name, 2)->num = std::move(v); }
    void column(const char* name, Names v) {
        Column* c = create_column_with_memory(s, VXS_TEXT, name, 0);
        for (auto& t : v) c->text.push_back(t);
    }
    // Renames from contents written to a name file (none: the file as it stands); the names after.
    Names rename_from(const std::string& contents) {
        const std::string path = dir.file("names.VAR");
        if (!contents.empty()) write_file(path, contents);
        FILE* f = std::fopen(path.c_str(), "r");
        EXPECT_EQ(rename_columns(s, f), 1) << contents;
        std::fclose(f);
        Names r;
        for (size_t i = 1; i < s->cols.size(); ++i) r.push_back(s->cols[i]->name);
        return r;
    }
    bool is(size_t col, int32_t type) { return s->cols[col]->type == type; }
};

// The listing of a vector sheet is checked through the driver (driver_test.cpp).
TEST_F(NameFile, AMatrixIsListedAsOneStructureAndAListingReadsBackUnchanged) {
    column("Height", Nums{1, 2}), column("Site", Names{"a", "b"});
    ASSERT_EQ(write_columns(s, dir.file("names.VAR").c_str()), 1);
    EXPECT_EQ(rename_from(""), (Names{"Height", "Site"}));
    s->kind = VXS_MATRIX, s->structure_name = "Corr";
    ASSERT_EQ(write_columns(s, dir.file("m.VAR").c_str()), 1);
    EXPECT_EQ(read_file(dir.file("m.VAR")), "1\nCorr\n");
}

// One sheet edited by one name file after another.
TEST_F(NameFile, RenamesLineByLine) {
    column("a", Nums{1, 2}), column("b", Nums{1, 2}), column("c", Nums{1, 2});
    const std::string n300(300, 'n');
    const std::pair<std::string, Names> steps[] = {
        {"X\nY\nZ\nExtra\nMore\n", {"X", "Y", "Z"}},  // more lines than columns
        {"P\n", {"P", "Y", "Z"}},                     // fewer
        {"\n  \nQ\n", {"P", "Y", "Q"}},               // empty lines leave their columns alone
        {"3\nHeight\nWeight\nSite\n", {"Height", "Weight", "Site"}},
        {"2nd try\nfresh name\n", {"%2nd_try", "fresh_name", "Site"}},  // a name, not a count
        {"First\r\nSecond\r\n", {"First", "Second", "Site"}},
        {"  body mass (kg) \n" + n300 + "\nlast\n", {"body_mass_kg", n300.substr(0, 40), "last"}},
        {"3\nA\n*B\nC\n", {"A", "C"}},  // a star drops the column
    };
    for (const auto& [contents, want] : steps) EXPECT_EQ(rename_from(contents), want) << contents;
    EXPECT_TRUE(s->column_count == 2 && get_column(s, 2)->name == "C");
}

TEST_F(NameFile, MarksConvertColumns) {
    column("Weight", Names{"12.5", "7"}), column("Grp", Nums{2, 1}), column("Site", Names{"b", "a"});
    column("Code", Nums{10, 20});
    EXPECT_EQ(rename_from("Weight#\nGroup!\nSite!\n$\n"), (Names{"Weight", "Group", "Site", "Code"}));
    EXPECT_TRUE(is(1, VXS_VARIATE) && s->cols[1]->num == (Nums{12.5, 7}) && is(2, VXS_FACTOR) && is(3, VXS_FACTOR));
    EXPECT_EQ(s->cols[3]->labels, (Names{"a", "b"}));
    EXPECT_TRUE(is(4, VXS_TEXT) && s->cols[4]->text.get(1) == "20");
    // Factor back to numbers by its level values, and to text by its labels.
    rename_from("Weight\nGroup#\nSite$\n");
    EXPECT_TRUE(is(2, VXS_VARIATE) && s->cols[2]->num == (Nums{2, 1}) && is(3, VXS_TEXT) && s->cols[3]->text.get(0) == "b");
    // A mark that does not fit the column's kind only renames.
    rename_from("Weight2#\n");
    EXPECT_TRUE(is(1, VXS_VARIATE) && s->cols[1]->name == "Weight2");
}

}  // namespace
