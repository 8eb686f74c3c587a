// Big text read in two parts cut at a line end: wherever the cut falls, one pass's sheet.
#include <gtest/gtest.h>

#include <string>

#include "sheet/vxs_csv.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

// Everything of the sheet a writer can show: names, types, widths, cells, levels and labels.
std::string dump(const Sheet* s) {
    if (!s) return "no sheet";
    std::string out = std::to_string(s->row_count) + " rows\n";
    for (int32_t i = 1; i <= s->column_count; ++i) {
        const Column& c = *s->cols[static_cast<size_t>(i)];
        out += c.name + " type " + std::to_string(c.type) + " nlevels " + std::to_string(c.nlevels) + ":";
        for (size_t r = 0; r < static_cast<size_t>(s->row_count); ++r)
            out += c.type == VXS_TEXT ? "|" + std::string(c.text.get(r)) : "|" + std::to_string(c.num[r]);
        for (const std::string& l : c.labels) out += " {" + l + "}";
        for (double l : c.levels) out += " {" + std::to_string(l) + "}";
        out += "\n";
    }
    return out;
}

TEST(CsvSplit, EveryCutReadsTheSameSheetAsOnePass) {
    const std::string long_text(5000, 'w');
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"names with marks, quotes, blank lines, mixed line ends, a column that turns text late",
         std::string("Plot,Variety!,Yield,Note$,Code#,Late\r\n"
                     "1,Avalon,4.5,\"bird damage, netted\",7,1\r\n"
                     "2,Brig,*,'it''s lodged',x,2\n"
                     "\n"
                     "3,Avalon,,plain,8,3\r"
                     "4,Cadenza,5.25,  two  blanks ,9,4\n") +
         std::string("5,Brig,6,with\0zero,10,5\n", 24) + "6,Avalon,7," + long_text + ",11,6\n" +
             "7,Dunston,-1e3,\"\"\"quoted\"\"\",12,late text\n"
             "8,Avalon,8,last,13,8,extra,fields\n"
             "\n"},
        {"titles above tab-separated numbers, no names line",
         "\"A title\n\"Another\n1\t2.5\t3\n4\t\t6\n7\t8\tnine\n10\t11\t12\n"},
        {"a names line alone before the data, last line without an end",
         "a,b\n1,x\n2,y\n3,z"},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.file("in.csv");
        write_file(path, c.text);
        fresh_run();
        vxs_set_text_split(0);  // small: one pass
        const std::string whole = dump(read_csv_into_sheet(path.c_str()) ? lastsheet : nullptr);
        ASSERT_NE(whole, "no sheet");
        for (size_t at = 0; at < c.text.size(); ++at) {
            if (c.text[at] != '\n') continue;
            SCOPED_TRACE("cut after byte " + std::to_string(at));
            fresh_run();
            vxs_set_text_split(at);
            EXPECT_EQ(dump(read_csv_into_sheet(path.c_str()) ? lastsheet : nullptr), whole);
        }
        vxs_set_text_split(0);
    }
}

}  // namespace
