// Weka ARFF files: files of Weka, R and liac-arff as Weka reads them, header rules, the writer and its quoting.
#include "sheet/vxs_access.h"
#include "statpack/reader_test_util.h"
#include "statpack/vxr_weka.h"

using Weka = ReaderTest<read_weka_into_sheet>;

// Weka's sparse rows leave out the first label and zeros: they convert as the dense rows.
TEST_F(Weka, ToolFilesReadAndConvertAsWekaReadsThem) {
    const struct { const char *file, *relation, *weka; } cases[] = {  // weka: what CSVSaver reads (dense)
        {"weka_csvloader", "iris_small", "weka_csvloader"}, {"r_write_arff", "rdata", "r_write_arff"},
        {"weka_sparse", "iris_small-weka.filters.unsupervised.ins", "weka_csvloader"},
        {"liac_sparse", "sparse demo", nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string arff = std::string("weka/") + c.file + ".arff";
        Sheet* s = must(read(data_path(arff)));
        EXPECT_EQ(s->structure_name, c.relation);
        const auto csv = convert_whole(arff, s->row_count);
        if (c.weka) expect_csv_like_tool(csv, csv_cells(read_file(data_path(std::string("weka/") + c.weka + ".expect"))), true);
    }
    // liac-arff's sparse rows: an omitted number is 0, an omitted label the first.
    Sheet* l = read(data_path("weka/liac_sparse.arff"));
    EXPECT_EQ(rows_text(l, 0, 4), "1|0|low|0;0|2.5|high|0;0|0|low|7;0|0|low|0;");
    Sheet* r = read(data_path("weka/r_write_arff.arff"));
    EXPECT_EQ(std::tie(r->cols[1]->representation, r->cols[2]->labels, r->cols[2]->origin),
              std::tuple(VXS_REP_DATE, std::vector<std::string>{"red", "green blue", "it's"}, 2));
    // Only ".arff" names an ARFF file; ".arf" is read as text by its content.
    EXPECT_EQ(VX_Find_File_Type(dir.file(copy_sample(dir, "weka/weka_csvloader.arff", "x.arf")).c_str()), VXT_CSV);
}

TEST_F(Weka, HeaderRules) {
    Sheet* s = must(read_bytes(
        "% first comment\n%\n%   second\n@relation 'my data'\n% late comment\n"
        "@ATTRIBUTE colour {red, 'green', \"blue\"}\n@attribute n integer\n@Attribute r REAL\n"
        "@attribute s string\n@attribute rel relational\n@attribute d date 'dd/MM/yyyy'\n@data\n"
        "GREEN, 3, 1.5, 'it\\'s', x, 31/12/1999\n%comment row\n\nBlue,?,?,?,?,?\npurple,1e400,-1e400,\"q\",y,01/01/2000\n"));
    EXPECT_EQ(std::tie(s->description_lines, s->structure_name, s->row_count),
              std::tuple(std::vector<std::string>{" first comment", "   second"}, "my data", 3));
    // Labels in any case; numbers past the limit clipped or missing; an unknown type word is text.
    EXPECT_EQ(rows_text(s, 0, 3), "green|3|1.5|it's|x|1999-12-31 00:00:00;blue|.|.|||.;"
                                  ".|9.99999e+307|.|q|y|2000-01-01 00:00:00;");
    EXPECT_EQ(std::tie(s->cols[4]->type, s->cols[5]->type), std::tuple(VXS_TEXT, VXS_TEXT));

    // A line past 64000 characters is cut, and the rest of it is not another row.
    ASSERT_TRUE(read_bytes("@relation x\n@attribute a numeric\n@attribute b string\n@data\n1,'" +
                           std::string(70000, 'z') + "'\n2,b\n"));
    EXPECT_EQ(column_text(lastsheet, 1) + " " + std::to_string(lastsheet->cols[2]->text.get(0).size()), "1|2 90");

    expect_refused({{"@relation x\n@attribute a numeric\n@data\n% none\n", "No valid data found in WEKA ARFF file!\n"},
                    {"@relation x\n@data\n1\n", "No valid data found in WEKA ARFF file!\n"}});
    // Sparse rows naming columns past the last, or unknown labels, leave those cells out.
    ASSERT_NE(s = read_bytes("@relation x\n@attribute a numeric\n@attribute k {a,b}\n@data\n{12345 1, 1 zz, 0}\n{0 5\n"),
              nullptr);
    EXPECT_EQ(column_text(s, 1) + " " + column_text(s, 2), "0|5 .|a");
}

TEST_F(Weka, WriterChoicesAndQuoting) {
    for (auto [in, out] : {std::pair{"plain", "plain"}, {"a b", "'a b'"}, {"a,b", "'a,b'"}, {"it's", "'it\\'s'"},
                           {"50%", "'50\\%'"}, {"{x}", "'{x}'"}, {"?", "'?'"}, {"", "''"}, {"q\"", "'q\\\"'"}})
        EXPECT_EQ(weka_quote(in), out) << in;
    Sheet* s = new_run_with_sheet(30);
    Column *few = create_column_with_memory(s, VXS_TEXT, "few", 30), *many = create_column_with_memory(s, VXS_TEXT, "many", 30);
    Column *num = create_column_with_memory(s, VXS_VARIATE, "x", 30), *when = create_column_with_memory(s, VXS_VARIATE, "when", 30);
    when->representation = VXS_REP_DATE;
    for (size_t r = 0; r < 30; ++r) {
        few->text.set(r, std::vector<std::string>{"red", "green blue", "it's"}[r % 3]);
        many->text.set(r, r == 2 ? "" : "w" + std::to_string(r));
        num->num[r] = r == 1 ? vxs_missing : r / 4.0;
        when->num[r] = 36526 + r + 0.5;  // 1 January 2000, noon
    }
    vxs_add_line_to_description(s, "about this");
    ASSERT_TRUE(write_sheet_as_weka(s, dir.file("results.$$$").c_str()));
    const std::string out = read_file(dir.file("results.$$$"));
    EXPECT_EQ(s->structure_name + "\n" + out.substr(0, out.find("'green blue','w4'")),
              "results\n%\n% Weka ARFF file written by Morvalen\n%\n% about this\n%\n@RELATION 'results'\n\n@ATTRIBUTE few "
              "{'green blue','it\\'s',red}\n@ATTRIBUTE many STRING\n@ATTRIBUTE x NUMERIC\n@ATTRIBUTE when DATE \"yyyy-MM-dd HH:mm:ss\"\n\n"
              "@DATA\nred,'w0',0,\"2000-01-01 12:00:00\"\n'green blue','w1',?,\"2000-01-02 12:00:00\"\n'it\\'s',?,0.5,\"2000-01-03 "
              "12:00:00\"\nred,'w3',0.75,\"2000-01-04 12:00:00\"\n");
}
