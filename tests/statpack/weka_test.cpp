// Weka ARFF files: files of Weka, R and liac-arff as Weka reads them, header rules, the writer and its quoting.
#include <gtest/gtest.h>

#include <cstdio>

#include "driver/vxs_formats.h"
#include "sheet/vxs_access.h"
#include "sheet/vxs_dates.h"
#include "sheet/vxs_sheet.h"
#include "statpack/reader_test_util.h"
#include "statpack/vxr_weka.h"
#include "test_util.h"

namespace {

using Weka = ReaderTest<read_weka_into_sheet>;

// A column's cells as text, "|" between them: numbers %.12g, factors by label, missing ".".
std::string cells(const Sheet* s, size_t c) {
    const Column* col = s->cols[c].get();
    std::string out;
    for (size_t r = 0; r < size_t(s->row_count); ++r) {
        const double x = col->is_text() ? 0 : col->num[r];
        char num[64];
        if (col->representation != VXS_REP_DATE || x <= s->missing) std::snprintf(num, sizeof num, "%.12g", x);
        else vxs_write_date(num, x, 0, 34);
        out += (r ? "|" : "") + (col->is_text()                                ? std::string(col->text.get(r))
                                 : x <= s->missing                              ? "."
                                 : col->type == VXS_FACTOR && !col->labels.empty() ? col->labels[size_t(x) - 1]
                                                                                   : num);
    }
    return out;
}

}  // namespace

TEST_F(Weka, ToolFilesReadAndConvertAsWekaReadsThem) {
    // Weka's sparse rows leave out the first label and zeros: they convert as the dense rows.
    const struct {
        const char *file, *relation;
        const char* weka;  // what Weka's CSVSaver reads from it or its dense form
    } cases[] = {{"weka_csvloader", "iris_small", "weka_csvloader"},
                 {"weka_sparse", "iris_small-weka.filters.unsupervised.ins", "weka_csvloader"},
                 {"r_write_arff", "rdata", "r_write_arff"},
                 {"liac_sparse", "sparse demo", nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string arff = std::string("weka/") + c.file + ".arff";
        Sheet* s = read(data_path(arff));
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->structure_name, c.relation);
        auto csv = convert_whole(arff, s->row_count);
        if (c.weka) expect_csv_like_tool(csv, csv_cells(read_file(data_path("weka/" + std::string(c.weka) + ".expect"))), true);
    }
    // liac-arff's sparse rows: an omitted number is 0, an omitted label the first.
    Sheet* l = read(data_path("weka/liac_sparse.arff"));
    const char* liac[] = {"1|0|0|0", "0|2.5|0|0", "low|high|low|low", "0|0|7|0"};
    for (size_t k = 0; k < 4; ++k) EXPECT_EQ(cells(l, k + 1), liac[k]) << k;
    Sheet* r = read(data_path("weka/r_write_arff.arff"));
    EXPECT_EQ(std::tie(r->cols[1]->representation, r->cols[2]->labels, r->cols[2]->origin),
              std::tuple(VXS_REP_DATE, std::vector<std::string>{"red", "green blue", "it's"}, 2));
    // Only ".arff" names an ARFF file; ".arf" is read as text by its content.
    EXPECT_EQ(VX_Find_File_Type(dir.file(copy_sample(dir, "weka/weka_csvloader.arff", "x.arf")).c_str()), VXT_CSV);
}

TEST_F(Weka, HeaderRules) {
    Sheet* s = read_bytes(
        "% first comment\n%\n%   second\n@relation 'my data'\n% late comment\n"
        "@ATTRIBUTE colour {red, 'green', \"blue\"}\n@attribute n integer\n@Attribute r REAL\n"
        "@attribute s string\n@attribute rel relational\n@attribute d date 'dd/MM/yyyy'\n@data\n"
        "GREEN, 3, 1.5, 'it\\'s', x, 31/12/1999\n%comment row\n\nBlue,?,?,?,?,?\npurple,1e400,-1e400,\"q\",y,01/01/2000\n");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->description_lines, (std::vector<std::string>{" first comment", "   second"}));
    EXPECT_EQ(std::tie(s->structure_name, s->row_count), std::tuple("my data", 3));
    // Labels in any case; numbers past the limit clipped or missing; an unknown type word is text.
    const char* want[] = {"green|blue|.", "3|.|9.99999e+307", "1.5|.|.", "it's||q", "x||y",
                          "1999-12-31 00:00:00|.|2000-01-01 00:00:00"};
    for (size_t c = 1; c <= 6; ++c) EXPECT_EQ(cells(s, c), want[c - 1]) << c;
    EXPECT_EQ(std::tie(s->cols[4]->type, s->cols[5]->type), std::tuple(VXS_TEXT, VXS_TEXT));

    // A line past 64000 characters is cut, and the rest of it is not another row.
    Sheet* l = read_bytes("@relation x\n@attribute a numeric\n@attribute b string\n@data\n1,'" + std::string(70000, 'z') +
                          "'\n2,b\n");
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(cells(l, 1) + " " + std::to_string(l->cols[2]->text.get(0).size()), "1|2 90");

    expect_refused({{"@relation x\n@attribute a numeric\n@data\n% none\n", "No valid data found in WEKA ARFF file!\n"},
                    {"@relation x\n@data\n1\n", "No valid data found in WEKA ARFF file!\n"}});
    // Sparse rows naming columns past the last, or unknown labels, leave those cells out.
    ASSERT_NE(s = read_bytes("@relation x\n@attribute a numeric\n@attribute k {a,b}\n@data\n{12345 1, 1 zz, 0}\n{0 5\n"),
              nullptr);
    EXPECT_EQ(cells(s, 1) + " " + cells(s, 2), "0|5 .|a");
}

TEST_F(Weka, WriterChoicesAndQuoting) {
    for (auto [in, out] : {std::pair{"plain", "plain"}, {"a b", "'a b'"}, {"a,b", "'a,b'"}, {"it's", "'it\\'s'"},
                           {"50%", "'50\\%'"}, {"{x}", "'{x}'"}, {"?", "'?'"}, {"", "''"}, {"q\"", "'q\\\"'"}})
        EXPECT_EQ(weka_quote(in), out) << in;
    Sheet* s = new_run_with_sheet(30);
    Column* few = create_column_with_memory(s, VXS_TEXT, "few", 30);
    Column* many = create_column_with_memory(s, VXS_TEXT, "many", 30);
    Column* num = create_column_with_memory(s, VXS_VARIATE, "x", 30);
    Column* when = create_column_with_memory(s, VXS_VARIATE, "when", 30);
    when->representation = VXS_REP_DATE;
    const char* words[] = {"red", "green blue", "it's"};
    for (size_t r = 0; r < 30; ++r) {
        few->text.set(r, words[r % 3]);
        many->text.set(r, "w" + std::to_string(r));
        num->num[r] = r == 1 ? vxs_missing : r / 4.0;
        when->num[r] = 36526 + r + 0.5;  // 1 January 2000, noon
    }
    many->text.set(2, "");
    vxs_add_line_to_description(s, "about this");
    ASSERT_TRUE(write_sheet_as_weka(s, dir.file("results.$$$").c_str()));
    std::string out = read_file(dir.file("results.$$$"));
    EXPECT_EQ(s->structure_name, "results");
    EXPECT_EQ(out.substr(0, out.find("'green blue','w4'")),
              "%\n% Weka ARFF file written by Morvalen\n%\n% about this\n%\n@RELATION 'results'\n\n"
              "@ATTRIBUTE few {'green blue','it\\'s',red}\n@ATTRIBUTE many STRING\n@ATTRIBUTE x NUMERIC\n"
              "@ATTRIBUTE when DATE \"yyyy-MM-dd HH:mm:ss\"\n\n@DATA\nred,'w0',0,\"2000-01-01 12:00:00\"\n"
              "'green blue','w1',?,\"2000-01-02 12:00:00\"\n'it\\'s',?,0.5,\"2000-01-03 12:00:00\"\n"
              "red,'w3',0.75,\"2000-01-04 12:00:00\"\n");
}
