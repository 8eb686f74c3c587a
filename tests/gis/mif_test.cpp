// MapInfo interchange reader: ogr2ogr's files, every object kind, the line reader, refusals.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver/vxs_formats.h"
#include "gis/vxr_mif.h"
#include "sheet/vxs_dates.h"
#include "sheet/vxs_sheet.h"
#include "statpack/reader_test_util.h"
#include "test_util.h"

namespace {

std::string cell(const Sheet* s, const std::string& name, size_t row) {
    const Column* c = find_column(s, name);
    if (!c) return "-";
    if (c->is_text()) return std::string(c->text.get(row));
    double v = c->num[row];
    if (!(v > s->missing)) return "*";
    if (c->type == VXS_FACTOR && !c->levels.empty()) v = c->levels[static_cast<size_t>(v) - 1];
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

std::string names(const Sheet* s) {
    std::string out;
    for (size_t i = 1; i < s->cols.size(); ++i) out += s->cols[i]->name + " ";
    return out;
}

// Each row as its cells in the given columns, joined by '|'.
std::vector<std::string> rows(const Sheet* s, const std::vector<const char*>& cols) {
    std::vector<std::string> out(static_cast<size_t>(s->row_count));
    for (size_t r = 0; r < out.size(); ++r)
        for (const char* n : cols) out[r] += cell(s, n, r) + "|";
    return out;
}

using MifReader = ReaderTest<read_mapinfo_file>;

TEST_F(MifReader, LineReaderDropsLineEndsAndEmptyLines) {
    std::string text = "a\r\n\r\n\nbc\n\rd\nlong", got;
    size_t pos = 0;
    for (std::string line; mgetline(line, 3, text, pos);) got += line + "|";
    EXPECT_EQ(got, "a|bc|\rd|lo|ng|");
}

TEST_F(MifReader, Ogr2ogrPointsAndRegions) {
    Sheet* s = quiet(data_path("mif/ogr_mif.mif"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(names(s), "Feature REC X Y name pop area ");
    EXPECT_EQ(rows(s, {"Feature", "REC", "X", "Y", "name", "pop", "area"}),
              (std::vector<std::string>{"2|1|1|2|Aberdeen|100|1.5|", "2|2|-3.25|55.5|Leith|2500|*|",
                                        "2|3|10|20||0|7.25|"}));
    EXPECT_EQ(find_column(s, "Feature")->labels, (std::vector<std::string>{"Point"}));

    s = quiet(data_path("mif/ogr_mif_poly.mif"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(names(s), "Feature REC PART PNT X Y name ");
    std::string parts_pnts;
    for (const std::string& r : rows(s, {"PART", "PNT"})) parts_pnts += r;
    EXPECT_EQ(parts_pnts, "1|1|1|2|1|3|1|4|1|5|2|1|2|2|2|3|2|4|2|5|1|1|1|2|1|3|1|4|");
    EXPECT_EQ(cell(s, "name", 13), "tri");
}

TEST_F(MifReader, EveryObjectKind) {
    Sheet* s = quiet(data_path("mif/hand_objects.mif"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(names(s), "Feature REC PART PNT X Y TextLabel ArcAngle RectRound Name Born Alive Score ");
    std::vector<std::string> want = {"7|1|1|0|1|2|Hello, map|*|*|text \"\"one\"\"|1|1.5|", "7|1|1|1|3|4|Hello, map|*|*|text \"\"one\"\"|1|1.5|",
                                     "6|2|1|0|0|0||0|*|arc|0|2|", "6|2|1|1|4|2||90|*|arc|0|2|"};
    // Rectangle, rounded rectangle and ellipse: corners (x1, y1), (x1, y2), (x2, y2), (x2, y1).
    const char* corners[] = {"0|0", "0|2", "4|2", "4|0"};
    for (auto [head, tail] : {std::pair{"8|3|1|", "||*|*|rect, with comma|1|*|"}, {"9|4|1|", "||*|0.5|roundrect|*|-3|"},
                              {"10|5|1|", "||*|*|ellipse|0|1000|"}})
        for (int k = 0; k < 4; ++k) want.push_back(head + std::to_string(k) + "|" + corners[k] + tail);
    // None keeps its row; the Multipoint (object 7) is passed over with its .mid line.
    want.insert(want.end(), {"*|*|*|*|*|*||*|*|none|*|*|", "4|8|1|1|1|1||*|*|pline|*|*|", "4|8|1|2|2|2||*|*|pline|*|*|",
                             "4|8|1|3|3|3||*|*|pline|*|*|", "4|9|1|1|5|5||*|*|pline next line|*|*|",
                             "4|9|1|2|6|6||*|*|pline next line|*|*|", "4|10|1|1|0|0||*|*|pline multiple|*|*|",
                             "4|10|1|2|1|1||*|*|pline multiple|*|*|", "4|10|2|1|9|9||*|*|pline multiple|*|*|",
                             "3|11|1|0|1|1||*|*|line|*|*|", "3|11|1|1|2|2||*|*|line|*|*|"});
    EXPECT_EQ(rows(s, {"Feature", "REC", "PART", "PNT", "X", "Y", "TextLabel", "ArcAngle", "RectRound", "Name", "Alive", "Score"}), want);
    // Dates: 1999-12-31 read, month 13 missing.
    EXPECT_EQ(find_column(s, "Born")->num[0], vxs_day_number(31, 12, 1999));
    EXPECT_FALSE(find_column(s, "Born")->num[2] > s->missing);
    const Column* f = find_column(s, "Feature");
    EXPECT_EQ(f->labels, (std::vector<std::string>{"Line", "PolyLine", "Arc", "Text", "Rectangle", "Rounded Rectangle", "Elipse"}));
    EXPECT_EQ(f->longest_label, 17);
}

TEST_F(MifReader, RefusalsAndMissingMid) {
    write_file(dir.file("p.mif"), "Version 300\nColumns 1\n  a Integer\nData\nPoint 1 2\nPoint 3 4\n");
    RunResult r = run_morvalen(dir.path(), {"p.mif", "p.tab"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.find("MapInfo Data record file p.MID was not found"), 0u) << r.out;
    EXPECT_EQ(read_file(dir.file("p.tab")), "Feature\tREC\tX\tY\nPoint\t1\t1\t2\nPoint\t2\t3\t4\n");

    write_file(dir.file("bad.mif"), "Versio 300\nData\nPoint 1 2\n");
    EXPECT_EQ(quiet(dir.file("bad.mif")), nullptr);
    EXPECT_NE(said.find("bad.mif is not a valid MapInfo file"), std::string::npos) << said;
    EXPECT_EQ(quiet(dir.file("none.mif")), nullptr);
    EXPECT_NE(said.find("MapInfo File"), std::string::npos);

    // Long items are cut to 90 characters, with a message.
    write_file(dir.file("long.mif"), "Version 300\nColumns 1\n  a Char(200)\nData\nPoint 1 2\n");
    write_file(dir.file("long.mid"), "\"" + std::string(120, 'x') + "\"\n");
    Sheet* s = quiet(dir.file("long.mif"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(cell(s, "a", 0), std::string(89, 'x'));
    EXPECT_NE(said.find(" were truncated to 90 characters"), std::string::npos);
}

}  // namespace
