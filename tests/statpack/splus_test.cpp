// S-PLUS text dumps: exact dumps, written dumps read back by us and R's data.restore, broken dumps.
#include "statpack/reader_test_util.h"
#include "statpack/vxr_splus.h"

using Splus = ReaderTest<read_splus_text_into_sheet>;

static std::string lines(std::string items) { return std::replace(items.begin(), items.end(), '|', '\n'), items + "\n"; }

// Every column kind: text units, a variate with a missing value, a text, factors of the three origins.
static Sheet* mixed_sheet() {
    Sheet* s = new_run_with_sheet(3);
    Column* u = create_column_with_memory(s, VXS_UNITS_TEXT, "Plot", 3);
    for (int r = 0; r < 3; ++r) u->text.set(r, "p" + std::to_string(r + 1));
    create_column_with_memory(s, VXS_VARIATE, "Yield", 3)->num = {0.1, s->missing, 1.0 / 3};
    Column* t = create_column_with_memory(s, VXS_TEXT, "Note", 3);
    t->text.set(0, "two\nlines"), t->text.set(2, "ok");
    add_factor(s, "Dose", 2, {2, 1, s->missing})->labels = {"low", "high"};
    add_factor(s, "Rate", 3, {3, 3, 1})->levels = {10, 20, 30.5};
    s->cols[4]->origin = 2, s->cols[5]->origin = 1;
    add_factor(s, "Block", 2, {1, 2, 2});
    return s;
}

// What R prints of the expression over the data frame d restored from the dump.
static std::string restored(const std::string& path, const std::string& object, const std::string& what) {
    return shell_output("Rscript -e 'library(foreign); e <- new.env(); data.restore(\"" + path + "\", env = e) -> f; d <- e$" +
                        object + "; cat(" + what + ", sep=\"|\")' 2>&1");
}

TEST_F(Splus, DumpsLineByLineAndReadBack) {
    ASSERT_EQ(write_sheet_as_splus_text(mixed_sheet(), dir.file("mixed.sdd").c_str()), 1);
    EXPECT_EQ(read_file(dir.file("mixed.sdd")),
              lines("mixed|structure|3|.Data|list|5|Yield|numeric|3|0.1|N|0.333333333333333|"
                    "Note|character|3|two lines||ok|"
                    "Dose|structure|3|.Data|integer|3|2|1|N|.Label|character|2|low|high|class|character|1|factor|"
                    "Rate|structure|3|.Data|integer|3|3|3|1|.Label|character|3|10|20|30.5|class|character|1|factor|"
                    "Block|structure|3|.Data|integer|3|1|2|2|.Label|character|2|1|2|class|character|1|factor|"
                    "row.names|character|3|p1|p2|p3|class|character|1|data.frame"));

    // The first units column names the rows wherever it stands; row numbers are left out and not counted.
    Sheet* s = new_run_with_sheet(2);
    create_column_with_memory(s, VXS_VARIATE, "V", 2)->num = {2e10, -7.25};
    create_column_with_memory(s, VXS_ROW, "R", 2)->num = {1, 2};
    create_column_with_memory(s, VXS_UNITS_NUM, "U", 2)->num = {7, 8};
    create_column_with_memory(s, VXS_UNITS_NUM, "W", 2)->num = {5, 6};
    ASSERT_EQ(write_sheet_as_splus_text(s, dir.file("units.sdd").c_str()), 1);
    EXPECT_EQ(read_file(dir.file("units.sdd")), lines("units|structure|3|.Data|list|2|V|numeric|2|20000000000|-7.25|W|numeric|2|5|6|"
                                                      "row.names|character|2|7|8|class|character|1|data.frame"));
    Sheet* b = must(read(dir.file("mixed.sdd")));  // row names become the units column RowName
    expect_sheet_cells(b, {{"RowName", "Yield", "Note", "Dose", "Rate", "Block"}, {"p1", "0.1", "two lines", "high", "30.5", "1"},
                           {"p2", "NA", "", "low", "30.5", "2"}, {"p3", "0.333333333333333", "ok", "NA", "10", "2"}},
                       true, 1e-15);
    EXPECT_EQ(std::tuple(b->cols[1]->type, b->cols[4]->type, b->cols[5]->type, b->cols[6]->type, b->cols[5]->labels),
              std::tuple(VXS_UNITS_TEXT, VXS_FACTOR, VXS_FACTOR, VXS_FACTOR, std::vector<std::string>{"10", "20", "30.5"}));

    VXSMAXCOLUMNS = 2;
    ASSERT_NE(b = quiet(dir.file("mixed.sdd")), nullptr);
    EXPECT_EQ(said + std::to_string(b->column_count), "Warning Columns above 2 NOT transfered!\n2");

    if (!tool_present("Rscript -e 'library(foreign)'")) GTEST_SKIP() << "R foreign not installed";
    EXPECT_EQ(restored(dir.file("mixed.sdd"), "mixed",
                       "class(d), dim(d), rownames(d), sprintf(\"%.15g\", d$Yield), as.character(d$Dose), "
                       "levels(d$Rate), d$Note"),
              "data.frame|3|5|p1|p2|p3|0.1|NA|0.333333333333333|high|low|NA|10|20|30.5|two lines||ok");
    EXPECT_EQ(restored(dir.file("units.sdd"), "units", "dim(d), rownames(d), d$V, d$W"), "2|2|7|8|2e+10|-7.25|5|6");
}

TEST_F(Splus, ObjectNamesRefusalsAndBrokenDumps) {
    for (auto [path, name] :
         {std::pair{"C:\\data\\trial.sdd", "trial"}, {"/tmp/x/out.$$$", "out"}, {"a:b.c.sdd", "b.c"}, {"plain", "plain"}})
        EXPECT_EQ(spt_object_name(path), name);
    Sheet* s = new_run_with_sheet(2, VXS_SYMMATRIX);
    create_column_with_memory(s, VXS_SYMMAT_COL, "M", 2);
    EXPECT_EQ(stdout_of([&] { EXPECT_EQ(write_sheet_as_splus_text(s, dir.file("m.sdd").c_str()), 0); }),
              "Error: In Writing SPlus File - can not export symmetric matrix to Splus data transport file!");
    const std::string bad = dir.file("no/such/dir.sdd");
    EXPECT_EQ(stdout_of([&] { EXPECT_EQ(write_sheet_as_splus_text(mixed_sheet(), bad.c_str()), 0); }),
              "Error: In Writing SPlus File - could not open file: " + bad + "\n");
}

// Dumps the driver writes load in R, named after the output (not the temporary file written first).
TEST_F(Splus, RDataRestoreLoadsConvertedDumps) {
    if (!tool_present("Rscript -e 'library(foreign)'")) GTEST_SKIP() << "R foreign not installed";
    for (std::string in : {"instat/trial.wor", "systat/double.sys", "minitab/old_v10.mtw", "minitab/portable.mtp",
                           "gauss/matrix_small.fmt", "gauss/dataset_v96.dat"}) {
        SCOPED_TRACE(in);
        ASSERT_EQ(run_morvalen(dir.path(), {copy_sample(dir, in), "conv.sdd"}).status, 0);
        Sheet* s = must(read(dir.file("conv.sdd")));
        EXPECT_EQ(restored(dir.file("conv.sdd"), "conv", "dim(d)"), std::to_string(s->row_count) + "|" + std::to_string(s->column_count));
    }
    const std::string good = lines("d|structure|3|.Data|list|1|x|numeric|2|1|2|row.names|character|2|1|2|class|character|1|data.frame");
    ASSERT_NE(read_bytes(good), nullptr);
    std::string deep = "d\n";
    for (int i = 0; i < 40; ++i) deep += "list\n1\nx\n";
    const std::vector<Refusal> broken = {{lines("d|list|99999999999|x")}, {lines("d|structure|3|.Data|list|1|x|numeric|5|1")}, {""},
                                         {lines("d|list|1|x|function|0")}, {lines("d|list|-1")}, {lines("d|list|0")}, {deep}};
    expect_refused(broken);
    expect_no_data({broken[0].bytes, broken[1].bytes}, "bad.sdd");
    read_cuts(good, 1);
}

