// RTF and HTML table writers: hand-written bytes, then conversions read back by unrtf and html5lib.
#include <gtest/gtest.h>

#include <sstream>

#include "driver/vxs_formats.h"
#include "driver/vxs_options.h"
#include "report/vxr_html.h"
#include "report/vxr_rtf.h"
#include "sheet/vxs_conv.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

TEST(RtfWriter, DocumentMatchesHandWrittenBytes) {
    // Longest texts of 10 ("abcdefghij") and 30 characters: cell edges 2356 and 8640.
    Sheet* s = new_run_with_sheet(2);
    Column* a = create_column_with_memory(s, VXS_TEXT, "Name{x}", 2);
    a->text.set(0, "abcdefghij"), a->text.set(1, "b\\c");
    Column* b = create_column_with_memory(s, VXS_VARIATE, "Value", 2);
    b->num = {1.23457, vxs_missing}, b->name = std::string(30, 'V');
    ScratchDir dir;
    ASSERT_EQ(write_sheet_as_rtf_table(s, dir.file("t.rtf").c_str()), 1);
    const std::string T = "\\brdrs\\brdrw30\\brdcf1", t = "\\brdrs\\brdrw15\\brdcf1";  // thick, thin
    // A row of two cells with its top and bottom borders; the table's outer edges thick.
    auto row = [&](const std::string& head, const std::string& top, const std::string& bottom,
                   const std::string& cells) {
        auto cell = [&](const std::string& left, const std::string& right, long edge) {
            return "\\clvertalc\\clbrdrt" + top + "\\clbrdrl" + left + "\\clbrdrb" + bottom + "\\clbrdrr" +
                   right + "\\cltxlrtb\\cellx" + std::to_string(edge) + "\n";
        };
        return "\\trowd \\trgaph108\\trleft0\n\\trqc " + head + cell(T, t, 2356) + cell(t, T, 8640) +
               "\\pard\\plain \\nowidctlpar\\intbl\\adjustright\n{" + cells +
               "}\n\\pard\\widctlpar\\intbl\\adjustright {\\row }\n";
    };
    EXPECT_EQ(read_file(dir.file("t.rtf")),
              "{\\rtf\\ansi\\deff\n" +
                  row("\\trhdr ", T, T, "\\b Name\\{x\\}\\b0\\cell \\b " + std::string(30, 'V') + "\\b0\\cell ") +
                  row("", t, t, "abcdefghij\\cell 1.23457\\cell ") + row("", t, T, "b\\\\c\\cell *\\cell ") + "}");
}

TEST(HtmlWriter, PageMatchesHandWrittenBytes) {
    Sheet* s = new_run_with_sheet(1);
    Column* a = create_column_with_memory(s, VXS_TEXT, "A", 1);
    a->text.set(0, "a<b>cdef");                                            // 8
    Column* b = create_column_with_memory(s, VXS_VARIATE, "Bcdefghi", 1);  // 8
    b->num[0] = 2;
    create_column_with_memory(s, VXS_TEXT, "C", 1)->text.set(0, std::string(18, 'c'));
    vxs_parser_options().output_name = "out/table.html";
    ScratchDir dir;
    const std::string path = dir.file("t.$$$");
    ASSERT_EQ(write_sheet_as_html_table(s, path.c_str()), 1);
    auto td = [](const char* pct, const std::string& text, bool bold) {
        return std::string("<TD WIDTH=\"") + pct + "%\" VALIGN=\"MIDDLE\">\n" + (bold ? "<B>" : "") + "<P>" + text +
               (bold ? " </B></TD>\n" : " </TD>\n");
    };
    std::string want =
        "<HTML>\n<HEAD>\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">\n"
        "<META NAME=\"Generator\" CONTENT=\"Vantrix for Windows\">\n<TITLE>out/table.html </TITLE>\n</HEAD>\n<BODY>\n"
        "<P ALIGN=\"CENTER\"><CENTER><TABLE BORDER CELLSPACING=2 CELLPADDING=9 WIDTH=720>\n";
    want += "<TR>" + td("25.0", "A", true) + td("25.0", "Bcdefghi", true) + td("50.0", "C", true) + "</TR>\n";
    want += "<TR>" + td("25.0", "a<b>cdef", false) + td("25.0", "2", false) + td("50.0", std::string(18, 'c'), false) +
            "</TR>\n</TABLE>\n</CENTER></P>\n\n<FONT SIZE=2></FONT>\n</BODY>\n</HTML>\n";
    EXPECT_EQ(read_file(path), want);
    vxs_parser_options().output_name.clear();
}

TEST(HtmlWriter, DescriptionGivesTheTitleAndNarrowColumnsGetHalfAPercent) {
    Sheet* s = new_run_with_sheet(1);
    s->description_lines = {"Survey 2024", "second line"};
    create_column_with_memory(s, VXS_VARIATE, "a", 1)->num[0] = 1;
    create_column_with_memory(s, VXS_TEXT, "w", 1)->text.set(0, std::string(90, 'w'));
    html_take_buffer();
    ScratchDir dir;
    ASSERT_EQ(write_sheet_as_html_table(s, dir.file("t.htm").c_str()), 1);
    std::string page = read_file(dir.file("t.htm"));
    // 3 * 1000 / 95 = 31 tenths: 3.1; the last column takes the rest.
    for (const char* part : {"<TITLE>Survey 2024 </TITLE>", "<TD WIDTH=\"3.1%\"", "<TD WIDTH=\"96.9%\""})
        EXPECT_NE(page.find(part), std::string::npos) << part;
}

TEST(TableWriters, FactorCellsByOriginAndRefusals) {
    Sheet* s = new_run_with_sheet(3);
    Column* f = create_column_with_memory(s, VXS_VARIATE, "F", 3);
    f->num = {10, 20, vxs_missing};
    ASSERT_EQ(convert_variate_to_factor(f, 1), 1);  // levels 10, 20
    Column* g = create_column_with_memory(s, VXS_TEXT, "G", 3);
    g->text.set(0, "x"), g->text.set(1, "y"), g->text.set(2, "x");
    ASSERT_EQ(convert_text_to_factor(g, 1, 1), 1);
    EXPECT_EQ(vxs_table_cell_text(s, f, 0, 0) + "|" + vxs_table_cell_text(s, f, 2, 0) + "|" + vxs_table_cell_text(s, g, 1, 0),
              "10||y");
    f->origin = 0;
    EXPECT_EQ(vxs_table_cell_text(s, f, 1, 0), "2");  // level numbers

    EXPECT_EQ(stdout_of([&] {
                  EXPECT_EQ(write_sheet_as_rtf_table(nullptr, "x.rtf"), 0);
                  EXPECT_EQ(write_sheet_as_rtf_table(s, "/nonexistent/dir/x.rtf"), 0);
                  EXPECT_EQ(write_sheet_as_html_table(s, "/nonexistent/dir/x.htm"), 0);
              }),
              "No valid data to save to table.\n"
              "Write Rich Text File - could not open file /nonexistent/dir/x.rtf\n"
              "Write Rich Text File - could not open file /nonexistent/dir/x.htm\n");
}

// A CSV converted and read back: the RTF by unrtf (its HTML parsed by html5lib), the HTML by html5lib.
TEST(TableWriters, UnrtfAndHtml5libReadTheTablesBack) {
    if (!tool_present("command -v unrtf") || !tool_present("/usr/bin/python3 -c 'import html5lib'"))
        GTEST_SKIP() << "unrtf or python3-html5lib not installed";
    const char script[] =
        "import sys, subprocess, html5lib\n"
        "f = sys.argv[1]\n"
        "doc = subprocess.run(['unrtf', '--html', f], capture_output=True).stdout if f.endswith('.rtf') else open(f, 'rb')\n"
        "doc = html5lib.parse(doc, namespaceHTMLElements=False)\n"
        "print(doc.findtext('head/title'))\n"
        "for tr in doc.iter('tr'):\n"
        "    print('\\t'.join(''.join(td.itertext()).strip() for td in tr.findall('td')))\n";
    for (auto [output, note] : {std::pair{"out.rtf", "x & y"}, {"out.html", "x y"}}) {
        SCOPED_TRACE(output);
        ScratchDir dir;
        write_file(dir.file("in.csv"), "name,score,note\nAnn,1.5,a{b}\nBob,*,c\\d\nCy,-2," + std::string(note) + "\n");
        RunResult r = run_morvalen(dir.path(), {"in.csv", output});
        ASSERT_EQ(r.status, 0) << r.out;
        write_file(dir.file("rows.py"), script);
        std::istringstream in(shell_output("/usr/bin/python3 " + dir.file("rows.py") + " " + dir.file(output)));
        std::vector<std::vector<std::string>> rows;
        std::string title;
        std::getline(in, title);
        // The HTML's title names the output, not its temporary file.
        if (std::string(output) == "out.html") { EXPECT_EQ(title.find(output), 0u) << title; }
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            rows.emplace_back();
            for (std::string f; std::getline(fields, f, '\t');) rows.back().push_back(f);
        }
        EXPECT_EQ(rows, (std::vector<std::vector<std::string>>{
                            {"name", "score", "note"}, {"Ann", "1.5", "a{b}"}, {"Bob", "*", "c\\d"}, {"Cy", "-2", note}}));
    }
}

}  // namespace
