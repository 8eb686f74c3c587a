// RTF and HTML table writers: whole documents against bytes written out by hand from the
// table rules, then whole conversions read back by unrtf and html5lib.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "driver/vxs_formats.h"
#include "driver/vxs_options.h"
#include "report/vxr_html.h"
#include "report/vxr_rtf.h"
#include "sheet/vxs_conv.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {


// Two columns whose longest texts are 10 ("abcdefghij") and 30 characters: edges 2356, 8640.
Sheet* two_column_sheet() {
    Sheet* s = new_run_with_sheet(2);
    Column* a = create_column_with_memory(s, VXS_TEXT, "Name{x}", 2);
    a->text.set(0, "abcdefghij");
    a->text.set(1, "b\\c");
    Column* b = create_column_with_memory(s, VXS_VARIATE, "Value", 2);
    b->num[0] = 1.23457;
    b->num[1] = vxs_missing;
    b->name = std::string(30, 'V');
    return s;
}

TEST(RtfWriter, DocumentMatchesHandWrittenBytes) {
    Sheet* s = two_column_sheet();
    ScratchDir dir;
    std::string path = dir.file("t.rtf");
    ASSERT_EQ(write_sheet_as_rtf_table(s, path.c_str()), 1);
    const std::string thin = "\\brdrs\\brdrw15\\brdcf1", thick = "\\brdrs\\brdrw30\\brdcf1";
    auto cell = [&](const char* top, const char* left, const char* bottom, const char* right,
                    long edge) {
        return "\\clvertalc\\clbrdrt" + std::string(top) + "\\clbrdrl" + left + "\\clbrdrb" +
               bottom + "\\clbrdrr" + right + "\\cltxlrtb\\cellx" + std::to_string(edge) + "\n";
    };
    const char* T = thick.c_str();
    const char* t = thin.c_str();
    const std::string row_end = "}\n\\pard\\widctlpar\\intbl\\adjustright {\\row }\n";
    const std::string cells_end = "\\pard\\plain \\nowidctlpar\\intbl\\adjustright\n{";
    std::string want = "{\\rtf\\ansi\\deff\n";
    want += "\\trowd \\trgaph108\\trleft0\n\\trqc \\trhdr " + cell(T, T, T, t, 2356) +
            cell(T, t, T, T, 8640) + cells_end;
    want += "\\b Name\\{x\\}\\b0\\cell \\b " + std::string(30, 'V') + "\\b0\\cell " + row_end;
    want += "\\trowd \\trgaph108\\trleft0\n\\trqc " + cell(t, T, t, t, 2356) +
            cell(t, t, t, T, 8640) + cells_end;
    want += "abcdefghij\\cell 1.23457\\cell " + row_end;
    want += "\\trowd \\trgaph108\\trleft0\n\\trqc " + cell(t, T, T, t, 2356) +
            cell(t, t, T, T, 8640) + cells_end;
    want += "b\\\\c\\cell *\\cell " + row_end + "}";
    EXPECT_EQ(read_file(path), want);
}

TEST(HtmlWriter, PageMatchesHandWrittenBytes) {
    Sheet* s = new_run_with_sheet(1);
    Column* a = create_column_with_memory(s, VXS_TEXT, "A", 1);
    a->text.set(0, "a<b>cdef");                                            // 8
    Column* b = create_column_with_memory(s, VXS_VARIATE, "Bcdefghi", 1);  // 8
    b->num[0] = 2;
    Column* c = create_column_with_memory(s, VXS_TEXT, "C", 1);
    c->text.set(0, std::string(18, 'c'));
    vxs_parser_options().output_name = "out/table.html";
    ScratchDir dir;
    std::string path = dir.file("t.$$$");
    ASSERT_EQ(write_sheet_as_html_table(s, path.c_str()), 1);
    auto td = [](const char* pct, const std::string& text, bool bold) {
        return std::string("<TD WIDTH=\"") + pct + "%\" VALIGN=\"MIDDLE\">\n" +
               (bold ? "<B>" : "") + "<P>" + text + (bold ? " </B></TD>\n" : " </TD>\n");
    };
    std::string want =
        "<HTML>\n<HEAD>\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
        "charset=windows-1252\">\n"
        "<META NAME=\"Generator\" CONTENT=\"Vantrix for Windows\">\n<TITLE>out/table.html "
        "</TITLE>\n</HEAD>\n<BODY>\n"
        "<P ALIGN=\"CENTER\"><CENTER><TABLE BORDER CELLSPACING=2 CELLPADDING=9 WIDTH=720>\n";
    want += "<TR>" + td("25.0", "A", true) + td("25.0", "Bcdefghi", true) + td("50.0", "C", true) +
            "</TR>\n";
    want += "<TR>" + td("25.0", "a<b>cdef", false) + td("25.0", "2", false) +
            td("50.0", std::string(18, 'c'), false) +
            "</TR>\n</TABLE>\n</CENTER></P>\n\n<FONT SIZE=2></FONT>\n</BODY>\n</HTML>\n";
    EXPECT_EQ(read_file(path), want);
    vxs_parser_options().output_name.clear();
}

TEST(HtmlWriter, DescriptionGivesTheTitleAndNarrowColumnsGetHalfAPercent) {
    Sheet* s = new_run_with_sheet(1);
    s->description_lines = {"Survey 2024", "second line"};
    create_column_with_memory(s, VXS_VARIATE, "a", 1)->num[0] = 1;
    Column* wide = create_column_with_memory(s, VXS_TEXT, "w", 1);
    wide->text.set(0, std::string(90, 'w'));
    html_take_buffer();
    ScratchDir dir;
    ASSERT_EQ(write_sheet_as_html_table(s, dir.file("t.htm").c_str()), 1);
    std::string page = read_file(dir.file("t.htm"));
    EXPECT_NE(page.find("<TITLE>Survey 2024 </TITLE>"), std::string::npos);
    // 3 * 1000 / 95 = 31 tenths: 3.1; the last column takes the rest.
    EXPECT_NE(page.find("<TD WIDTH=\"3.1%\""), std::string::npos);
    EXPECT_NE(page.find("<TD WIDTH=\"96.9%\""), std::string::npos);
}

TEST(TableWriters, FactorCellsByOriginAndRefusals) {
    Sheet* s = new_run_with_sheet(3);
    Column* f = create_column_with_memory(s, VXS_VARIATE, "F", 3);
    f->num = {10, 20, vxs_missing};
    ASSERT_EQ(convert_variate_to_factor(f, 1), 1);  // levels 10, 20
    Column* g = create_column_with_memory(s, VXS_TEXT, "G", 3);
    g->text.set(0, "x"), g->text.set(1, "y"), g->text.set(2, "x");
    ASSERT_EQ(convert_text_to_factor(g, 1, 1), 1);
    EXPECT_EQ(vxs_table_cell_text(s, f, 0, 0), "10");
    EXPECT_EQ(vxs_table_cell_text(s, f, 2, 0), "");
    EXPECT_EQ(vxs_table_cell_text(s, g, 1, 0), "y");
    f->origin = 0;
    EXPECT_EQ(vxs_table_cell_text(s, f, 1, 0), "2");

    testing::internal::CaptureStdout();
    EXPECT_EQ(write_sheet_as_rtf_table(nullptr, "x.rtf"), 0);
    EXPECT_EQ(write_sheet_as_rtf_table(s, "/nonexistent/dir/x.rtf"), 0);
    EXPECT_EQ(write_sheet_as_html_table(s, "/nonexistent/dir/x.htm"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "No valid data to save to table.\n"
              "Write Rich Text File - could not open file /nonexistent/dir/x.rtf\n"
              "Write Rich Text File - could not open file /nonexistent/dir/x.htm\n");
}

// A CSV file converted to .rtf and .html, then read back by independent tools: one table row
// per sheet row plus the header, cells equal to the sheet's texts.
const char* kCsv = "name,score,note\nAnn,1.5,a{b}\nBob,*,c\\d\nCy,-2,x & y\n";
const std::vector<std::vector<std::string>> kCells = {
    {"name", "score", "note"}, {"Ann", "1.5", "a{b}"}, {"Bob", "*", "c\\d"}, {"Cy", "-2", "x & y"}};

std::vector<std::vector<std::string>> parse_rows(const std::string& tsv) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(tsv);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        size_t a = 0;
        for (size_t b; (b = line.find('\t', a)) != std::string::npos; a = b + 1)
            cells.push_back(line.substr(a, b - a));
        cells.push_back(line.substr(a));
        rows.push_back(cells);
    }
    return rows;
}

TEST(TableWriters, UnrtfReadsTheTableBack) {
    if (!tool_present("command -v unrtf")) GTEST_SKIP() << "unrtf not installed";
    ScratchDir dir;
    write_file(dir.file("in.csv"), kCsv);
    RunResult r = run_morvalen(dir.path(), {"in.csv", "out.rtf"});
    ASSERT_EQ(r.status, 0) << r.out;
    std::string script = dir.file("rows.py");
    write_file(script,
               "import sys, subprocess, html.parser\n"
               "doc = subprocess.run(['unrtf', '--html', sys.argv[1]], capture_output=True, "
               "text=True).stdout\n"
               "class P(html.parser.HTMLParser):\n"
               "    rows, cell, row = [], None, None\n"
               "    def handle_starttag(self, t, a):\n"
               "        if t == 'tr': self.row = []\n"
               "        if t == 'td': self.cell = ''\n"
               "    def handle_endtag(self, t):\n"
               "        if t == 'td' and self.row is not None: self.row.append(self.cell.strip()); "
               "self.cell = None\n"
               "        if t == 'tr': self.rows.append(self.row); self.row = None\n"
               "    def handle_data(self, d):\n"
               "        if self.cell is not None: self.cell += d\n"
               "p = P(); p.feed(doc)\n"
               "print('\\n'.join('\\t'.join(r) for r in p.rows))\n");
    std::string out = dir.file("rows.txt");
    ASSERT_EQ(std::system(
                  ("/usr/bin/python3 " + script + " " + dir.file("out.rtf") + " > " + out).c_str()),
              0);
    EXPECT_EQ(parse_rows(read_file(out)), kCells);
}

TEST(TableWriters, Html5libReadsTheTableBack) {
    if (!tool_present("/usr/bin/python3 -c \'import html5lib\'")) GTEST_SKIP() << "python3-html5lib not installed";
    ScratchDir dir;
    // The HTML writer puts texts in as they are: a cell meant as text must not hold markup.
    write_file(dir.file("in.csv"), "name,score,note\nAnn,1.5,a{b}\nBob,*,c\\d\nCy,-2,x y\n");
    RunResult r = run_morvalen(dir.path(), {"in.csv", "out.html"});
    ASSERT_EQ(r.status, 0) << r.out;
    std::string script = dir.file("rows.py");
    write_file(
        script,
        "import sys, html5lib\n"
        "doc = html5lib.parse(open(sys.argv[1], 'rb'), namespaceHTMLElements=False)\n"
        "print(doc.find('head/title').text)\n"
        "for tr in doc.iter('tr'):\n"
        "    print('\\t'.join(''.join(td.itertext()).strip() for td in tr.findall('td')))\n");
    std::string out = dir.file("rows.txt");
    ASSERT_EQ(
        std::system(
            ("/usr/bin/python3 " + script + " " + dir.file("out.html") + " > " + out).c_str()),
        0);
    auto rows = parse_rows(read_file(out));
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0][0].find("out.html"), 0u) << "title names the output, not its temporary file";
    rows.erase(rows.begin());
    auto want = kCells;
    want[3][2] = "x y";
    EXPECT_EQ(rows, want);
}

}  // namespace
