// Delimited text into a sheet: delimiters, quotes, names line, typing, line ends, limits, blocks, halves.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <regex>
#include <string>
#include <thread>

#include <sys/stat.h>

#include "driver/vxs_options.h"
#include "driver/vxs_formats.h"
#include "sheet/vxs_csv.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

std::string number(double v) {  // shortest text that reads back exactly
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// Per column: name, type mark ($ text, # number, ! factor), cells by "|", a factor's labels in braces;
// in full also the row count and each column's type code, level count and width.
std::string dump(const Sheet* s, bool full = false) {
    if (!s) return "no sheet";
    std::string out = full ? std::to_string(s->row_count) + " rows: " : "";
    for (int32_t i = 1; i <= s->column_count; ++i) {
        const Column& c = *s->cols[static_cast<size_t>(i)];
        out += (i > 1 ? "; " : "") + c.name + (c.type == VXS_TEXT ? "$" : c.type == VXS_FACTOR ? "!" : "#");
        if (full) out += std::to_string(c.type) + "," + std::to_string(c.nlevels) + "," + std::to_string(c.width);
        out += "=";
        for (size_t r = 0; r < static_cast<size_t>(s->row_count); ++r)
            out += (r ? "|" : "") + (c.type == VXS_TEXT ? std::string(c.text.get(r)) : c.num[r] <= s->missing ? "*" : number(c.num[r]));
        if (c.type != VXS_FACTOR) continue;
        const size_t n = c.labels.empty() ? c.levels.size() : c.labels.size();
        for (size_t k = 0; k < n; ++k) out += (k ? "," : "{") + (c.labels.empty() ? number(c.levels[k]) : c.labels[k]);
        out += n ? "}" : "{}";
    }
    return out;
}

std::string read_dump(const std::string& path, void (*option)() = nullptr, bool full = false) {
    fresh_run();
    if (option) option();
    return dump(read_csv_into_sheet(path.c_str()) ? lastsheet : nullptr, full);
}

TEST(CsvReader, FilesReadIntoTheSheetTheyHold) {
    const std::string x90(90, 'x'), a90(90, 'a'), ab_xy = "a#=1|2; b$=x|y";
    const struct { const char* what; std::string bytes, expect; void (*option)() = nullptr; } cases[] = {
        {"names line and column types", "Name,Height\na,1.5\nb,2\n", "Name$=a|b; Height#=1.5|2"},
        {"no-names option", "Name,Height\na,1.5\nb,2\n", "C1$=Name|a|b; C2$=Height|1.5|2",
         [] { vxs_parser_options().no_column_names = 1; }},
        {"names option on a numeric line", "2019,2020\n1,2\n", "%2019#=1; %2020#=2", [] { vxs_parser_options().use_column_names = 1; }},
        {"numeric first line is data", "1\t2\t3\n4\t5\t6\n", "C1#=1|4; C2#=2|5; C3#=3|6"},
        {"sign behind a blank starts a number", "x, -1\n2,3\n", "C1$=x|2; C2#=-1|3"},
        {"quoted sign starts a number", "\"+1\",\"a\"\n2,b\n", "C1#=1|2; C2$=a|b"},
        {"star is missing, keeps a column numeric", "a,b\n1,*\n*,x\n3,4\n", "a#=1|*|3; b$=*|x|4"},
        {"quoted delimiters and doubled quotes", "a;b|c,d\n\"x, y\",'it''s',\"say \"\"hi\"\"\" ,plain\n",
         "a$=x, y; b$=it's; c$=say \"hi\"; d$=plain"},
        {"lone apostrophe", "note,n\nfarmer's plot,4\nok,5\n", "note$=farmer's plot|ok; n#=4|5"},
        // Fields longer than the splitter's 8-character steps, quotes and delimiters deep inside.
        {"long fields, quotes and delimiters far in",
         "a long name;b|c\nabcdefghij'kl,'quoted, with; delims' and tail,x\n"
         "\"0123456789\"\"abc\"\"\" ,  spaced   out  ,12345678.25\nfarmer's long plot note,2,3\n",
         "a_long_name$=abcdefghij'kl,'quoted|0123456789\"abc\"|farmer's long plot note; b$=with|spaced out|2; "
         "c$=delims' and tail|12345678.25|3; C4$=x||"},
        {"long tab-separated fields", "first column\tsecond   \t third\nabcdefghijklmnop\t  1234567890.5\tx y z w v u\n",
         "first_column$=abcdefghijklmnop; second#=1234567890.5; third$=x y z w v u"},
        {"quoted numbers", "\"a\",\"b\"\n\"1.5\",\"2\"\n", "a#=1.5; b#=2"},
        {"marked names", "a,b,Treat!,code$,val#\n1,x,hi,7,q\n2,y,lo,8,3\n3,z,Hi,9,4\n",
         "a#=1|2|3; b$=x|y|z; Treat!=1|2|1{hi,lo}; code$=7|8|9; val#=*|3|4"},
        {"factor from numbers", "dose!\n10\n5\n10\n", "dose!=2|1|2{5,10}"},
        {"ragged rows, empty trailing column", "a,b,c,\n1,2,3,\n4\n5,6,7,\n", "a#=1|4|5; b#=2|*|6; c#=3|*|7; C4#=*|*|*"},
        // A final line feed starts no line and a last empty line does not count; one before it is a row.
        {"no line feed at the end", "a,b\n1,x\n2,y", ab_xy},
        {"one line feed at the end", "a,b\n1,x\n2,y\n", ab_xy},
        {"one blank line at the end", "a,b\n1,x\n2,y\n\n", ab_xy},
        {"two blank lines at the end", "a,b\n1,x\n2,y\n\n\n", "a#=1|2|*; b$=x|y|"},
        {"two blank CRLF lines at the end", "a,b\r\n1,x\r\n2,y\r\n\r\n\r\n", "a#=1|2|*; b$=x|y|"},
        {"one blank line, no names", "1,2\n3,4\n\n", "C1#=1|3; C2#=2|4"},
        {"zero byte ends the file", std::string("a,b\n1,x\n2,y\0junk\n", 17), ab_xy},
        {"91 characters cut to 90", "t,n\n" + x90 + "Z,1\n", "t$=" + x90 + "; n#=1"},
        {"line over 4095 characters goes on", "t\n" + std::string(4100, 'a') + "\n", "t$=" + a90 + "|aaaaa"},
        {"blanks around and inside fields", "a , b\n  x   y  ,  2  \n", "a$=x y; b#=2"},
        {"tab layout skips its title line", "\"report.txt (Created by Morvalen)\"\nx\ty;z\n1\t2\n", "x#=1; y_z#=2"},
        {"blank-separated values are one column", "1 2 3\n4 5 6\n", "C1$=1 2 3|4 5 6"},
        {"numbers as strtod reads them", "v\n1e400\n-2.5e-3\n0x10\n1e308\n  +7\n", "v#=*|-0.0025|16|9.99999e+307|7"},
        {"column limit", "a,b,c,d,e\n1,2,3,4,5\n", "a#=1; b#=2; c#=3", [] { VXSMAXCOLUMNS = 3; }},
        {"empty file", "", "no sheet"},  // names only and blank lines: in the driver's table
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        write_file(dir.file("in.csv"), c.bytes);
        EXPECT_EQ(read_dump(dir.file("in.csv"), c.option), c.expect) << c.what;
    }
    fresh_run();
    EXPECT_EQ(dump(vxs_new_from_text("Name,Height\na,1.5\n")), "Name$=a; Height#=1.5");
}

// Line ends, zero bytes and long lines at a 1 MiB block boundary, and a pipe, change nothing.
TEST(CsvReader, BlockBoundariesAndPipesChangeNothing) {
    constexpr size_t kBlock = size_t(1) << 20;
    // Rows "i,text" up to about byte at, then a row whose line end starts at byte at, then two more.
    auto rows = [](const std::string& eol, size_t at, const std::string& tail) {
        std::string s = "n,t" + eol;
        for (int i = 0; s.size() + 40 < at; ++i) s += std::to_string(i) + ",row" + std::to_string(i % 7) + eol;
        return s + "7," + std::string(at - s.size() - 2, 'y') + tail + "8,z" + eol + "9,w" + eol;
    };
    auto lf = [](const std::string& t) { return std::regex_replace(t, std::regex("\r\n?"), "\n"); };
    const std::string long_line(kBlock * 2 + 1000, 'q');
    std::string long_split;
    for (size_t i = 0; i < long_line.size(); i += 4095) long_split += long_line.substr(i, 4095) + "\n";
    const std::string crlf = rows("\r\n", kBlock - 1, "\r\n"), cr = rows("\r", kBlock - 1, "\r"),
                      after = rows("\r\n", kBlock, "\r\n");
    const std::pair<std::string, std::string> cases[] = {
        {crlf, lf(crlf)}, {cr, lf(cr)}, {after, lf(after)},  // across, at, just after the boundary
        {rows("\n", kBlock - 3, std::string("\0\0\0junk\n", 8)), rows("\n", kBlock - 3, "\n")},
        {"t\nfirst\n" + long_line + "\nlast\n", "t\nfirst\n" + long_split + "last\n"},  // longer than a block
        {"t\nfirst\n" + long_line, "t\nfirst\n" + long_split},  // ... without a line end
    };
    ScratchDir dir;
    for (const auto& [bytes, same_as] : cases) {
        write_file(dir.file("a.csv"), bytes), write_file(dir.file("b.csv"), same_as);
        std::string a = read_dump(dir.file("a.csv")), b = read_dump(dir.file("b.csv"));
        EXPECT_TRUE(a != "no sheet" && a == b)
            << "first difference at " << std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin();
    }
    // A pipe: the writer runs beside the reader.
    const std::string fifo = dir.file("pipe.csv"), text = rows("\r\n", kBlock + 5, "\r\n");
    write_file(dir.file("c.csv"), text);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] {
        if (FILE* f = std::fopen(fifo.c_str(), "wb")) std::fwrite(text.data(), 1, text.size(), f), std::fclose(f);
    });
    std::string from_pipe = read_dump(fifo);
    writer.join();
    EXPECT_TRUE(from_pipe == read_dump(dir.file("c.csv")));
}

// Big text is read in two parts cut at a line end: wherever the cut falls, one pass's sheet.
TEST(CsvReader, EveryCutReadsTheSameSheetAsOnePass) {
    const std::string texts[] = {
        // Marks, quotes, blank lines, mixed line ends, a zero byte, a column that turns text late.
        std::string("Plot,Variety!,Yield,Note$,Code#,Late\r\n1,Avalon,4.5,\"bird damage, netted\",7,1\r\n"
                    "2,Brig,*,'it''s lodged',x,2\n\n3,Avalon,,plain,8,3\r4,Cadenza,5.25,  two  blanks ,9,4\n") +
            std::string("5,Brig,6,with\0zero,10,5\n", 24) + "6,Avalon,7," + std::string(5000, 'w') + ",11,6\n" +
            "7,Dunston,-1e3,\"\"\"quoted\"\"\",12,late text\n8,Avalon,8,last,13,8,extra,fields\n\n",
        "\"A title\n\"Another\n1\t2.5\t3\n4\t\t6\n7\t8\tnine\n10\t11\t12\n",  // titles, no names line
        "a,b\n1,x\n2,y\n3,z",  // a names line alone before the data, no line end at the end
    };
    static size_t cut;
    ScratchDir dir;
    for (const std::string& text : texts) {
        write_file(dir.file("in.csv"), text);
        const std::string whole = read_dump(dir.file("in.csv"), [] { vxs_set_text_split(0); }, true);
        ASSERT_NE(whole, "no sheet");
        for (cut = text.find('\n'); cut != std::string::npos; cut = text.find('\n', cut + 1))
            EXPECT_EQ(read_dump(dir.file("in.csv"), [] { vxs_set_text_split(cut); }, true), whole) << "cut after " << cut;
        vxs_set_text_split(0);
    }
}

TEST(CsvReader, ValidateCellAndBlankSheet) {
    fresh_run();
    Sheet* before = lastsheet;
    const int32_t types[2] = {4, -3};
    const VxsSheetShape empty{1, 0, 2, nullptr}, two{1, 2, 2, types};
    EXPECT_TRUE(blank_sheet(&empty, 4) == 0 && lastsheet == before);
    ASSERT_EQ(blank_sheet(&two, 4), 1);
    Column *num = lastsheet->cols[1].get(), *text = lastsheet->cols[2].get();
    EXPECT_TRUE(!validate_cell(num, 2, "1") && validate_cell(num, 0, "*12") && validate_cell(num, 1, "2.5kg") &&
                validate_cell(text, 1, "hello"));  // row 2: past the last row
    EXPECT_EQ(dump(lastsheet), "C1#=*|2.5; C2$=|hello");
}

}  // namespace
