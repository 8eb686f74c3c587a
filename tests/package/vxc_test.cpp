// The package command file writer: golden text, the line-keeping buffer, string and number
// forms, factors inline and through _levels_/_labels_, and the options that change the file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "driver/vxs_formats.h"
#include "sheet/vxs_options.h"
#include "package/vxs_package.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

TEST(VxcConversion, GoldenKindsSamplePrintSuppressionEndingsAndPointer) {
    ScratchDir dir;
    write_file(dir.file("kinds.csv"), read_file(data_path("csv/kinds.csv")));
    ASSERT_EQ(run_morvalen(dir.path(), {"kinds.csv", "kinds.vxc"}).status, 0);
    EXPECT_EQ(read_file(dir.file("kinds.vxc")), read_file(data_path("csv/kinds_expected.vxc")));

    write_file(dir.file("a.csv"), "x,y\n1,2\n");
    ASSERT_EQ(run_morvalen(dir.path(), {"a.csv/p=Ptr", "q.vxc/q"}).status, 0);
    std::string q = read_file(dir.file("q.vxc"));
    EXPECT_NE(q.find("\nREAD [print=*] x\n"), std::string::npos);
    EXPECT_EQ(q.find("\nREAD x\n"), std::string::npos);
    EXPECT_NE(q.find("DELETE [redefine=yes] Ptr\nPOINTER Ptr; !p(x,y)\n\nRETURN [CLOSE=yes]\n\n"), std::string::npos);

    ASSERT_EQ(run_morvalen(dir.path(), {"a.csv", "b.vxc/b"}).status, 0);
    std::string b = read_file(dir.file("b.vxc"));
    EXPECT_EQ(b.substr(b.size() - 10), "ENDBREAK\n\n");
    EXPECT_EQ(b.find("RETURN"), std::string::npos);

    ASSERT_EQ(run_morvalen(dir.path(), {"a.csv", "n.vxc/*"}).status, 0);
    std::string n = read_file(dir.file("n.vxc"));
    EXPECT_EQ(n.find("RETURN"), std::string::npos);
    EXPECT_EQ(n.substr(n.size() - 13), "RESTRICT x,y\n");
}

class VxcWriter : public ::testing::Test {
protected:
    void SetUp() override {
        sheet_ = new_run_with_sheet(2);
        vxs_source.clear();
    }
    void TearDown() override { vxs_source.clear(); }
    std::string write(const std::string& name = "out.vxc") {
        std::string path = dir_.file(name);
        result_ = write_sheet(sheet_, path.c_str(), 0);
        return read_file(path);
    }
    Sheet* sheet_ = nullptr;
    ScratchDir dir_;
    int result_ = -1;
};

TEST_F(VxcWriter, BufferStringsAndNumbers) {
    std::string path = dir_.file("buf.txt");
    ByteWriter out;
    ASSERT_TRUE(out.open(path.c_str()));
    ByteWriter* f = &out;
    std::string long_text(70, 'a');
    vxs_add_to_buf("DIRECTIVE ", 1, 0, f);
    vxs_add_to_buf(long_text, 1, 0, f);     // directive: continued with a backslash
    vxs_add_to_buf("\n", 0, 0, f);
    vxs_add_to_buf(long_text, 0, 0, f);
    vxs_add_to_buf(" " + long_text, 0, 0, f);  // data: a plain new line
    vxs_add_to_buf(":\n", 0, 1, f);            // never moved to a new line
    EXPECT_TRUE(out.close());
    EXPECT_EQ(read_file(path), "DIRECTIVE \\\n" + long_text + "\n" + long_text + "\n " + long_text + ":\n");
    EXPECT_EQ(translate_out_str("it's \"q\" a\\b `c`", 90), "it''s \"\"q\"\" a\\\\b ``c``");
    EXPECT_EQ(translate_out_str("tab\there\xe9", 90), "tab here ");
    EXPECT_EQ(translate_out_str("ab'cd", 3), "ab''");  // cut first, then the quote doubled
    EXPECT_EQ(write_out_number(1e308, vxs_missing, 0), "9.99999E+307");
}

// Up to the inline limit (57 levels with values and labels, 88 with labels only, 133 with
// values only) the levels and labels are written inside the FACTOR directive; above it they go
// through the _levels_ and _labels_ structures, which the directive then names. A cell of 0 or
// above the number of levels is read back as missing.
TEST_F(VxcWriter, FactorLevelsInlineUpToTheLimitAndThroughStructuresAbove) {
    const struct {
        bool values, labels;
        int32_t limit;
    } kinds[] = {{true, true, 57}, {false, true, 88}, {true, false, 133}};
    for (const auto& k : kinds) {
        for (int32_t levels : {k.limit - 1, k.limit, k.limit + 1}) {
            SCOPED_TRACE(std::to_string(levels) + (k.values ? " values" : "") + (k.labels ? " labels" : ""));
            sheet_ = new_run_with_sheet(3);
            Column* f = create_column_with_memory(sheet_, VXS_FACTOR, "F", 3);
            f->num = {0, static_cast<double>(levels), static_cast<double>(levels + 1)};
            f->nlevels = levels;
            std::string values, labels;
            for (int32_t i = 1; i <= levels; ++i) {
                if (k.values) f->levels.push_back(i * 10);
                if (k.labels) f->labels.push_back("L" + std::to_string(i));
                values += (i > 1 ? "," : "") + std::to_string(i * 10);
                labels += (i > 1 ? ",'L" : "'L") + std::to_string(i) + "'";
            }
            std::string text = write();
            // Directive lines continued with a backslash, joined again.
            for (size_t at; (at = text.find("\\\n")) != std::string::npos;) text.erase(at, 2);
            size_t start = text.find("FACTOR [modify=yes");
            ASSERT_NE(start, std::string::npos) << text;
            std::string directive = text.substr(start, text.find('\n', start) - start);
            bool inline_lists = levels <= k.limit;
            std::string want = "FACTOR [modify=yes;nvalues=3";
            if (inline_lists) {
                want += k.values ? ";levels=!(" + values + ")" : ";levels=" + std::to_string(levels);
                if (k.labels) want += ";labels=!t(" + labels + ")";
            } else {
                if (k.values) want += ";levels=!(#_levels_)";
                if (k.labels) want += ";labels=!t(#_labels_)";
            }
            EXPECT_EQ(directive, want + "] F");
            EXPECT_EQ(text.find("DELETE [redefine=yes] _levels_\nVARIATE [nvalues=" + std::to_string(levels) + "] _levels_\nREAD _levels_\n10 20 ") !=
                          std::string::npos,
                      !inline_lists && k.values);
            EXPECT_EQ(text.find("DELETE [redefine=yes] _labels_\nTEXT [nvalues=" + std::to_string(levels) + "] _labels_\nREAD _labels_\n'L1' 'L2' ") !=
                          std::string::npos,
                      !inline_lists && k.labels);
            EXPECT_NE(text.find("READ F; frepresentation=ordinal\n* " + std::to_string(levels) + " * :\n"), std::string::npos);
        }
    }
}

// The column class of a two-way table keeps the same limits: levels and labels taken from the
// body columns (form 1 values, 2 labels, 3 both) inline up to the limit, in structures above.
TEST_F(VxcWriter, TableColumnClassInlineUpToTheLimit) {
    const struct {
        int form;
        int32_t limit;
    } kinds[] = {{3, 57}, {2, 88}, {1, 133}};
    for (const auto& k : kinds) {
        for (int32_t n : {k.limit - 1, k.limit, k.limit + 1}) {
            SCOPED_TRACE(std::to_string(n) + " body columns, form " + std::to_string(k.form));
            sheet_ = new_run_with_sheet(1, VXS_TABLE);
            sheet_->table_dims = 2;
            sheet_->form_code = k.form;
            sheet_->structure_name = "T";
            sheet_->second_structure_name = "C";
            Column* r = create_column_with_memory(sheet_, VXS_FACTOR, "R", 1);
            r->num = {1};
            r->nlevels = 1;
            std::string values, labels;
            for (int32_t i = 1; i <= n; ++i) {
                std::string v = std::to_string(i * 10);
                Column* b = create_column_with_memory(sheet_, VXS_TABLE_BODY, v, 1);
                b->num = {1};
                b->table_constant = i * 10;
                values += (i > 1 ? "," : "") + v;
                labels += (i > 1 ? ",'" : "'") + v + "'";
            }
            std::string text = write();
            for (size_t at; (at = text.find("\\\n")) != std::string::npos;) text.erase(at, 2);
            size_t start = text.find("FACTOR [modify=yes");
            ASSERT_NE(start, std::string::npos) << text;
            bool above = n > k.limit, with_values = k.form != 2, with_labels = k.form != 1;
            std::string want = "FACTOR [modify=yes";
            want += !with_values ? ";levels=" + std::to_string(n) : above ? ";levels=!(#_levels_)" : ";levels=!(" + values + ")";
            if (with_labels) want += above ? ";labels=!t(#_labels_)" : ";labels=!t(" + labels + ")";
            EXPECT_EQ(text.substr(start, text.find('\n', start) - start), want + "] C");
            const std::string count = std::to_string(n);
            EXPECT_EQ(text.find("_levels_\nVARIATE [nvalues=" + count + "] _levels_\nREAD _levels_\n10 20 ") != std::string::npos,
                      above && with_values);
            EXPECT_EQ(text.find("_labels_\nTEXT [nvalues=" + count + "] _labels_\nREAD _labels_\n'10' '20' ") != std::string::npos,
                      above && with_labels);
        }
    }
}

TEST_F(VxcWriter, TitleUnitsDatesExtrasEmptyColumnsRestrictionAndTemporaryEnding) {
    Column* u = create_column_with_memory(sheet_, VXS_UNITS_TEXT, "id", 2);
    u->text.set(0, "a");
    u->text.set(1, "b");
    Column* d = create_column_with_memory(sheet_, VXS_VARIATE, "day", 2);
    d->num = {36526, 36527};
    d->representation = VXS_REP_DATE;
    d->date_format = 9;
    d->decimals = 0;
    d->extra = "when 'sown'";
    create_column(sheet_, VXS_TEXT, "none", 90);
    sheet_->restriction_present = 1;
    sheet_->rows[0].restricted = 1;
    vxs_source = "Data read from Sheet1 of it's.xls";
    std::string s = write("xK7RZ.vxc");  // the name of a temporary file for a calling program
    EXPECT_TRUE(s.starts_with("DELETE [Redefine=yes] _stitle_ : TEXT _stitle_ : READ [print=*] _stitle_\n"
                              "'Data read from Sheet1 of it''s.xls':\nPRINT [IPrint=*] _stitle_; Just=Left\n"))
        << s;
    EXPECT_NE(s.find("TEXT [nvalues=2] id\nREAD id\n'a' 'b' :\nUNITS id\n"), std::string::npos);
    // 1 January 2000 as a day number from 1600.
    EXPECT_NE(s.find("VARIATE [nvalues=2] day; decimals=0; extra='when ''sown'''; drep=9\nREAD day\n146038 146039 :\n"),
              std::string::npos);
    EXPECT_NE(s.find("TEXT [values=*] none\n"), std::string::npos);
    EXPECT_NE(s.find("DELETE [redefine=yes] _rest_\nREAD [print=*;setnvalues=y] _rest_\n0 1 :\n"
                     "RESTRICT id,day,none; _rest_\n"),
              std::string::npos);
    EXPECT_TRUE(s.ends_with("RETURN [CLOSE=yes;DELETE=yes]\n\n")) << s;
    EXPECT_EQ(result_, 1);
}

TEST_F(VxcWriter, MatrixAndScalars) {
    sheet_->kind = VXS_MATRIX;
    sheet_->structure_name = "M";
    sheet_->units_count = 1;
    for (const char* n : {"1", "2"}) create_column_with_memory(sheet_, VXS_MATRIX_COL, n, 2)->num = {1, 2};
    sheet_->cols[2]->num = {3, 4};
    EXPECT_EQ(write(), "DELETE [redefine=yes] M\nMATRIX [rows=2;columns=2] M\nREAD M\n1 3 2 4 :\nRETURN [CLOSE=yes]\n\n");
    sheet_ = new_run_with_sheet(1, VXS_SCALARS);
    create_column_with_memory(sheet_, VXS_SCALAR, "k", 1)->num = {2.5};
    EXPECT_EQ(write(), "DELETE [redefine=yes] k\nSCALAR k; 2.5\n\nRETURN [CLOSE=yes]\n\n");
}

}  // namespace
