// The package command file writer: golden text, buffer, strings, numbers, factors, options.
#include <gtest/gtest.h>

#include <string>

#include "driver/vxs_formats.h"
#include "package/vxs_package.h"
#include "sheet/vxs_options.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

TEST(VxcConversion, GoldenKindsSampleAndTheOptionsThatChangeTheFile) {
    ScratchDir dir;
    copy_sample(dir, "csv/kinds.csv");
    ASSERT_EQ(run_morvalen(dir.path(), {"kinds.csv", "kinds.vxc"}).status, 0);
    EXPECT_EQ(read_file(dir.file("kinds.vxc")), read_file(data_path("csv/kinds_expected.vxc")));
    write_file(dir.file("a.csv"), "x,y\n1,2\n");
    const struct { const char *in, *out, *ending, *absent; } cases[] = {
        {"a.csv/p=Ptr", "q.vxc/q", "DELETE [redefine=yes] Ptr\nPOINTER Ptr; !p(x,y)\n\nRETURN [CLOSE=yes]\n\n", "\nREAD x\n"},
        {"a.csv", "b.vxc/b", "ENDBREAK\n\n", "RETURN"},
        {"a.csv", "n.vxc/*", "RESTRICT x,y\n", "RETURN"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(run_morvalen(dir.path(), {c.in, c.out}).status, 0) << c.out;
        const std::string text = read_file(dir.file(std::string(c.out, 5)));
        EXPECT_TRUE(text.ends_with(c.ending) && text.find(c.absent) == std::string::npos) << text;
    }
    EXPECT_NE(read_file(dir.file("q.vxc")).find("\nREAD [print=*] x\n"), std::string::npos);
}

std::string written(Sheet* s, const std::string& name = "out.vxc") {
    ScratchDir dir;
    EXPECT_EQ(write_sheet(s, dir.file(name).c_str(), 0), 1);
    return read_file(dir.file(name));
}

TEST(VxcWriter, BufferStringsAndNumbers) {
    ScratchDir dir;
    ByteWriter out;
    ASSERT_TRUE(out.open(dir.file("buf.txt").c_str()));
    const std::string a70(70, 'a');
    const std::tuple<std::string, int, int> parts[] = {{"DIRECTIVE ", 1, 0}, {a70, 1, 0}, {"\n", 0, 0},
                                                       {a70, 0, 0},          {" " + a70, 0, 0}, {":\n", 0, 1}};
    for (const auto& [text, mode, flush] : parts) vxs_add_to_buf(text, mode, flush, &out);
    EXPECT_TRUE(out.close());
    // A directive is continued after a backslash, data on a plain new line; ":" is never moved.
    EXPECT_EQ(read_file(dir.file("buf.txt")), "DIRECTIVE \\\n" + a70 + "\n" + a70 + "\n " + a70 + ":\n");
    EXPECT_EQ(translate_out_str("it's \"q\" a\\b `c`", 90), "it''s \"\"q\"\" a\\\\b ``c``");
    EXPECT_EQ(translate_out_str("tab\there\xe9", 90), "tab here ");
    EXPECT_EQ(translate_out_str("ab'cd", 3), "ab''");  // cut first, then the quote doubled
    EXPECT_EQ(write_out_number(1e308, vxs_missing, 0), "9.99999E+307");
}

// Inline in FACTOR up to 57 levels with values and labels, 88 labels only, 133 values only; above,
// through _levels_/_labels_. Same for a two-way table's class (form 1 values, 2 labels, 3 both).
TEST(VxcWriter, FactorLevelsInlineUpToTheLimitAndThroughStructuresAbove) {
    for (auto [form, limit] : {std::pair{3, 57}, {2, 88}, {1, 133}})
        for (bool table : {false, true})
            for (int32_t n : {limit - 1, limit, limit + 1}) {
                SCOPED_TRACE(std::to_string(n) + " levels, form " + std::to_string(form) + (table ? " table" : ""));
                const bool with_values = form != 2, with_labels = form != 1, above = n > limit;
                Sheet* s = new_run_with_sheet(table ? 1 : 3, table ? VXS_TABLE : VXS_VECTOR);
                Column* f = create_column_with_memory(s, VXS_FACTOR, table ? "R" : "F", table ? 1 : 3);
                f->num = table ? std::vector<double>{1} : std::vector<double>{0, double(n), double(n + 1)};
                f->nlevels = table ? 1 : n;
                if (table) s->table_dims = 2, s->form_code = form, s->structure_name = "T", s->second_structure_name = "C";
                std::string values, labels, count = std::to_string(n);
                for (int32_t i = 1; i <= n; ++i) {
                    const std::string v = std::to_string(i * 10);
                    if (Column* b = table ? create_column_with_memory(s, VXS_TABLE_BODY, v, 1) : nullptr)
                        b->num = {1}, b->table_constant = i * 10;
                    else if (with_values) f->levels.push_back(i * 10);
                    if (!table && with_labels) f->labels.push_back(v);
                    values += (i > 1 ? "," : "") + v, labels += (i > 1 ? ",'" : "'") + v + "'";
                }
                std::string text = written(s);
                for (size_t at; (at = text.find("\\\n")) != std::string::npos;) text.erase(at, 2);  // joined
                const size_t start = text.find("FACTOR [modify=yes");
                ASSERT_NE(start, std::string::npos) << text;
                std::string want = table ? "FACTOR [modify=yes" : "FACTOR [modify=yes;nvalues=3";
                // Labels alone above the limit: a factor leaves its level count out, a table keeps it.
                if (with_values) want += above ? ";levels=!(#_levels_)" : ";levels=!(" + values + ")";
                else if (table || !above) want += ";levels=" + count;
                if (with_labels) want += above ? ";labels=!t(#_labels_)" : ";labels=!t(" + labels + ")";
                EXPECT_EQ(text.substr(start, text.find('\n', start) - start), want + (table ? "] C" : "] F"));
                auto has = [&](const std::string& part) { return text.find(part) != std::string::npos; };
                EXPECT_EQ(has("_levels_\nVARIATE [nvalues=" + count + "] _levels_\nREAD _levels_\n10 20 "), above && with_values);
                EXPECT_EQ(has("_labels_\nTEXT [nvalues=" + count + "] _labels_\nREAD _labels_\n'10' '20' "), above && with_labels);
                EXPECT_TRUE(table || has("READ F; frepresentation=ordinal\n* " + count + " * :\n"));
            }
}

TEST(VxcWriter, TitleUnitsDatesExtrasEmptyColumnsRestrictionAndTemporaryEnding) {
    Sheet* s = new_run_with_sheet(2);
    Column* u = create_column_with_memory(s, VXS_UNITS_TEXT, "id", 2);
    u->text.set(0, "a"), u->text.set(1, "b");
    Column* d = create_column_with_memory(s, VXS_VARIATE, "day", 2);
    d->num = {36526, 36527}, d->representation = VXS_REP_DATE, d->date_format = 9, d->decimals = 0, d->extra = "when 'sown'";
    create_column(s, VXS_TEXT, "none", 90);
    s->restriction_present = s->rows[0].restricted = 1;
    vxs_source = "Data read from Sheet1 of it's.xls";
    std::string t = written(s, "xK7RZ.vxc");  // the name of a temporary file for a calling program
    vxs_source.clear();
    EXPECT_TRUE(t.starts_with("DELETE [Redefine=yes] _stitle_ : TEXT _stitle_ : READ [print=*] _stitle_\n"
                              "'Data read from Sheet1 of it''s.xls':\nPRINT [IPrint=*] _stitle_; Just=Left\n")) << t;
    for (const char* part : {"TEXT [nvalues=2] id\nREAD id\n'a' 'b' :\nUNITS id\n",
                             // 1 January 2000 as a day number from 1600.
                             "VARIATE [nvalues=2] day; decimals=0; extra='when ''sown'''; drep=9\nREAD day\n146038 146039 :\n",
                             "TEXT [values=*] none\n",
                             "DELETE [redefine=yes] _rest_\nREAD [print=*;setnvalues=y] _rest_\n0 1 :\nRESTRICT id,day,none; _rest_\n"})
        EXPECT_NE(t.find(part), std::string::npos) << part;
    EXPECT_TRUE(t.ends_with("RETURN [CLOSE=yes;DELETE=yes]\n\n")) << t;
}

TEST(VxcWriter, MatrixAndScalars) {
    Sheet* s = new_run_with_sheet(2, VXS_MATRIX);
    s->structure_name = "M", s->units_count = 1;
    create_column_with_memory(s, VXS_MATRIX_COL, "1", 2)->num = {1, 2};
    create_column_with_memory(s, VXS_MATRIX_COL, "2", 2)->num = {3, 4};
    EXPECT_EQ(written(s), "DELETE [redefine=yes] M\nMATRIX [rows=2;columns=2] M\nREAD M\n1 3 2 4 :\nRETURN [CLOSE=yes]\n\n");
    s = new_run_with_sheet(1, VXS_SCALARS);
    create_column_with_memory(s, VXS_SCALAR, "k", 1)->num = {2.5};
    EXPECT_EQ(written(s), "DELETE [redefine=yes] k\nSCALAR k; 2.5\n\nRETURN [CLOSE=yes]\n\n");
}

}  // namespace
