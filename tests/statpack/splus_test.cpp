// S-PLUS text dumps: the exact dump of small sheets, factors by their origin, row names from a
// units column, every written dump read back (by our reader and by R's data.restore), whole
// conversions, and broken dumps.
#include <gtest/gtest.h>

#include <cmath>

#include "driver/vxs_formats.h"
#include "sheet/vxs_sheet.h"
#include "statpack/reader_test_util.h"
#include "statpack/vxr_splus.h"
#include "test_util.h"

namespace {

using Splus = ReaderTest<read_splus_text_into_sheet>;

std::string lines(std::initializer_list<const char*> items) {
    std::string s;
    for (const char* i : items) s += std::string(i) + "\n";
    return s;
}

// A sheet of every column kind: a text units column, a variate with a missing value, a text
// column, and factors of the three origins.
Sheet* mixed_sheet() {
    Sheet* s = new_run_with_sheet(3);
    Column* u = create_column_with_memory(s, VXS_UNITS_TEXT, "Plot", 3);
    u->text.set(0, "p1");
    u->text.set(1, "p2");
    u->text.set(2, "p3");
    Column* v = create_column_with_memory(s, VXS_VARIATE, "Yield", 3);
    v->num = {0.1, s->missing, 1.0 / 3};
    Column* t = create_column_with_memory(s, VXS_TEXT, "Note", 3);
    t->text.set(0, "two\nlines");
    t->text.set(2, "ok");
    Column* f = create_column_with_memory(s, VXS_FACTOR, "Dose", 3);
    f->nlevels = 2;
    f->labels = {"low", "high"};
    f->origin = 2;
    f->num = {2, 1, s->missing};
    Column* g = create_column_with_memory(s, VXS_FACTOR, "Rate", 3);
    g->nlevels = 3;
    g->levels = {10, 20, 30.5};
    g->origin = 1;
    g->num = {3, 3, 1};
    Column* h = create_column_with_memory(s, VXS_FACTOR, "Block", 3);
    h->nlevels = 2;
    h->num = {1, 2, 2};
    return s;
}

TEST_F(Splus, TwoVariatesGiveTheDumpLineByLine) {
    Sheet* s = new_run_with_sheet(3);
    Column* a = create_column_with_memory(s, VXS_VARIATE, "A", 3);
    a->num = {0.1, s->missing, 1.0 / 3};
    Column* b = create_column_with_memory(s, VXS_VARIATE, "B", 3);
    b->num = {1, 2e10, -7.25};
    ASSERT_EQ(write_sheet_as_splus_text(s, dir.file("data.sdd").c_str()), 1);
    EXPECT_EQ(read_file(dir.file("data.sdd")),
              lines({"data",      "structure", "3", ".Data",     "list",        "2",
                     "A",         "numeric",   "3", "0.1",       "N",           "0.333333333333333",
                     "B",         "numeric",   "3", "1",         "20000000000", "-7.25",
                     "row.names", "character", "3", "1",         "2",           "3",
                     "class",     "character", "1", "data.frame"}));
}

TEST_F(Splus, FactorsUnitsAndTextsAsDumped) {
    ASSERT_EQ(write_sheet_as_splus_text(mixed_sheet(), dir.file("mixed.sdd").c_str()), 1);
    EXPECT_EQ(
        read_file(dir.file("mixed.sdd")),
        lines({"mixed",  "structure", "3",         ".Data",     "list",      "5",
               "Yield",  "numeric",   "3",         "0.1",       "N",         "0.333333333333333",
               "Note",   "character", "3",         "two lines", "",          "ok",
               "Dose",   "structure", "3",         ".Data",     "integer",   "3",
               "2",      "1",         "N",         ".Label",    "character", "2",
               "low",    "high",      "class",     "character", "1",         "factor",
               "Rate",   "structure", "3",         ".Data",     "integer",   "3",
               "3",      "3",         "1",         ".Label",    "character", "3",
               "10",     "20",        "30.5",      "class",     "character", "1",
               "factor", "Block",     "structure", "3",         ".Data",     "integer",
               "3",      "1",         "2",         "2",         ".Label",    "character",
               "2",      "1",         "2",         "class",     "character", "1",
               "factor", "row.names", "character", "3",         "p1",        "p2",
               "p3",     "class",     "character", "1",         "data.frame"}));
}

TEST_F(Splus, ObjectNamesAndRefusals) {
    for (auto [path, name] : {std::pair{"C:\\data\\trial.sdd", "trial"},
                              {"/tmp/x/out.$$$", "out"},
                              {"a:b.c.sdd", "b.c"},
                              {"plain", "plain"}})
        EXPECT_EQ(spt_object_name(path), name);
    Sheet* s = new_run_with_sheet(2, VXS_SYMMATRIX);
    create_column_with_memory(s, VXS_SYMMAT_COL, "M", 2);
    EXPECT_EQ(stdout_of([&] { EXPECT_EQ(write_sheet_as_splus_text(s, dir.file("m.sdd").c_str()), 0); }),
              "Error: In Writing SPlus File - can not export symmetric matrix to Splus data "
              "transport file!");
    EXPECT_EQ(stdout_of([&] {
        EXPECT_EQ(write_sheet_as_splus_text(mixed_sheet(), dir.file("no/such/dir.sdd").c_str()), 0);
    }),
              "Error: In Writing SPlus File - could not open file: " + dir.file("no/such/dir.sdd") +
                  "\n");
}

TEST_F(Splus, WrittenDumpsReadBack) {
    ASSERT_EQ(write_sheet_as_splus_text(mixed_sheet(), dir.file("mixed.sdd").c_str()), 1);
    Sheet* s = read(dir.file("mixed.sdd"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->source_type, VXT_SPLUS_TEXT);
    ASSERT_EQ(s->column_count, 6);
    const Column* c = s->cols[1].get();
    EXPECT_EQ(c->name, "RowName");
    EXPECT_EQ(c->type, VXS_UNITS_TEXT);
    EXPECT_EQ(c->text.get(2), "p3");
    c = s->cols[2].get();
    EXPECT_EQ(c->num[0], 0.1);
    EXPECT_LE(c->num[1], s->missing);
    EXPECT_NEAR(c->num[2], 1.0 / 3, 1e-15);
    EXPECT_EQ(s->cols[3]->text.get(0), "two lines");
    EXPECT_EQ(s->cols[3]->text.get(1), "");
    struct F {
        size_t col;
        std::vector<std::string> labels;
        std::vector<double> codes;
    } factors[] = {{4, {"low", "high"}, {2, 1, s->missing}},
                   {5, {"10", "20", "30.5"}, {3, 3, 1}},
                   {6, {"1", "2"}, {1, 2, 2}}};
    for (const F& f : factors) {
        c = s->cols[f.col].get();
        EXPECT_EQ(c->type, VXS_FACTOR);
        EXPECT_EQ(c->labels, f.labels);
        EXPECT_EQ(c->num, f.codes);
    }

    // The plain dump: no row names kept.
    Sheet* p = new_run_with_sheet(2);
    create_column_with_memory(p, VXS_VARIATE, "x", 2)->num = {1, 2};
    ASSERT_EQ(write_sheet_as_splus_text(p, dir.file("p.sdd").c_str()), 1);
    ASSERT_NE(s = read(dir.file("p.sdd")), nullptr);
    EXPECT_EQ(s->column_count, 1);
    EXPECT_EQ(s->cols[1]->num, (std::vector<double>{1, 2}));
}

TEST_F(Splus, RDataRestoreLoadsEveryWrittenDump) {
    if (!tool_present("Rscript -e 'library(foreign)'"))
        GTEST_SKIP() << "R foreign not installed";
    ASSERT_EQ(write_sheet_as_splus_text(mixed_sheet(), dir.file("mixed.sdd").c_str()), 1);
    std::string out = dir.file("r.txt");
    std::string cmd = "Rscript -e 'library(foreign); e <- new.env(); data.restore(\"" +
                      dir.file("mixed.sdd") +
                      "\", env = e) -> f; d <- e$mixed; cat(class(d), dim(d), rownames(d), "
                      "sprintf(\"%.15g\", d$Yield), "
                      "as.character(d$Dose), levels(d$Rate), d$Note, sep=\"|\")' > " +
                      out + " 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << read_file(out);
    EXPECT_EQ(
        read_file(out),
        "data.frame|3|5|p1|p2|p3|0.1|NA|0.333333333333333|high|low|NA|10|20|30.5|two lines||ok");

    // Dumps the driver writes from files of other formats load too.
    for (std::string in : {"instat/trial.wor", "systat/double.sys", "minitab/old_v10.mtw",
                           "gauss/matrix_small.fmt"}) {
        SCOPED_TRACE(in);
        std::string name = in.substr(in.find('/') + 1);
        write_file(dir.file(name), read_file(data_path(in)));
        ASSERT_EQ(run_morvalen(dir.path(), {name, "conv.sdd"}).status, 0);
        Sheet* s = read(dir.file("conv.sdd"));
        ASSERT_NE(s, nullptr);
        cmd = "Rscript -e 'library(foreign); e <- new.env(); data.restore(\"" +
              dir.file("conv.sdd") + "\", env = e) -> f; cat(dim(e$conv), sep=\"x\")' > " + out +
              " 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << read_file(out);
        EXPECT_EQ(read_file(out),
                  std::to_string(s->row_count) + "x" + std::to_string(s->column_count));
    }
}

TEST_F(Splus, ConversionsThroughTheDriver) {
    write_file(dir.file("in.csv"), "a,b,name\n1,2.5,x\n3,,y\n");
    RunResult r = run_morvalen(dir.path(), {"in.csv", "out.sdd"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(read_file(dir.file("out.sdd")).substr(0, 4), "out\n");
    r = run_morvalen(dir.path(), {"out.sdd", "back.csv"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, " 2 records transferred.\n");
}

TEST_F(Splus, BrokenDumpsAreRefused) {
    std::string good =
        lines({"d",       "structure", "3",     ".Data",     "list",      "1",         "x",
               "numeric", "2",         "1",     "2",         "row.names", "character", "2",
               "1",       "2",         "class", "character", "1",         "data.frame"});
    ASSERT_NE(read_bytes(good), nullptr);
    std::string deep = "d\n";
    for (int i = 0; i < 40; ++i) deep += "list\n1\nx\n";
    std::vector<std::string> broken = {
        "",
        lines({"d", "list", "99999999999", "x"}),
        lines({"d", "structure", "3", ".Data", "list", "1", "x", "numeric", "5", "1"}),
        lines({"d", "list", "1", "x", "function", "0"}),
        lines({"d", "list", "-1"}),
        lines({"d", "list", "0"}),
        deep,
    };
    for (size_t i = 0; i < broken.size(); ++i) EXPECT_EQ(read_bytes(broken[i]), nullptr) << i;
    expect_no_data({broken[1], broken[2]}, "bad.sdd");
    read_cuts(good, 1);
}

}  // namespace
