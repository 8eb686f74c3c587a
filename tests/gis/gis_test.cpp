// Shapefile and MapInfo readers: pyshp's files against pyshp, GDAL's against ogr2ogr, every object
// kind and record message, the MIF line reader, refusals.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "gis/vxr_gis.h"
#include "gis/vxr_mif.h"
#include "sheet/vxs_dates.h"
#include "sheet/vxs_sheet.h"
#include "statpack/reader_test_util.h"
#include "test_util.h"

namespace {

// A cell as text: factor levels by their values, numbers by %.17g, missing (or no column) "*".
std::string cell(const Sheet* s, const char* name, size_t row) {
    const Column* c = find_column(s, name);
    if (!c) return "*";
    if (c->is_text()) return std::string(c->text.get(row));
    double v = c->num[row];
    if (!(v > s->missing)) return "*";
    if (c->type == VXS_FACTOR && !c->levels.empty()) v = c->levels[static_cast<size_t>(v) - 1];
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::string num_text(const std::string& s) {
    if (s == "*" || s.empty()) return "*";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", std::strtod(s.c_str(), nullptr));
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

// A tool's row as rows() gives it; kinds per field: t text, d ISO date (as a day number), else a number.
std::string as_row(const std::vector<std::string>& fields, const std::string& kinds) {
    std::string out;
    for (size_t k = 0; k < kinds.size(); ++k) {
        const std::string& f = k < fields.size() ? fields[k] : "";
        auto part = [&](size_t at, size_t n) { return std::atol(f.substr(at, n).c_str()); };
        out += (kinds[k] == 't' ? f
                : kinds[k] == 'd' && f != "*" ? num_text(std::to_string(vxs_day_number(part(8, 2), part(5, 2), part(0, 4))))
                                              : num_text(f)) + "|";
    }
    return out;
}

// The program run on a file: its status, and what it printed first.
void expect_run(const ScratchDir& dir, const std::string& in, const std::string& out, int status, const std::string& said) {
    RunResult r = run_morvalen(dir.path(), {in, out});
    EXPECT_EQ(r.status, status) << r.out;
    EXPECT_EQ(r.out.find(said), 0u) << r.out;
}

using ShapeReader = ReaderTest<read_gis_shape_file>;

TEST_F(ShapeReader, PyshpFilesOfEveryTypeMatchPyshpsReading) {
    const char* keys[] = {"REC", "PART", "TYPE", "PNT", "X", "Y", "M", "Z", "NAME", "COUNT", "RATIO", "OK", "WHEN"};
    for (const char* name : {"point", "pointm", "pointz", "multipoint", "multipointm", "multipointz", "polyline",
                             "polylinem", "polylinez", "polygon", "polygonm", "polygonz", "multipatch", "deleted_record"}) {
        SCOPED_TRACE(name);
        Sheet* s = quiet(data_path(std::string("shape/") + name + ".shp"));
        ASSERT_NE(s, nullptr) << said;
        EXPECT_EQ(said, "");
        std::vector<std::string> want;
        std::ifstream in(data_path(std::string("shape/") + name + ".expect"));
        for (std::string line; std::getline(in, line);) {
            std::vector<std::string> fields;
            std::stringstream ss(line);
            for (std::string f; std::getline(ss, f, '|');) fields.push_back(f);
            want.push_back(as_row(fields, "nnnnnnnntnnnd"));
        }
        EXPECT_EQ(rows(s, std::vector<const char*>(std::begin(keys), std::end(keys))), want);
        EXPECT_EQ(find_column(s, "REC")->type, VXS_FACTOR);
        if (std::string(name) == "polygonz") { EXPECT_EQ(names(s), "REC PART PNT X Y M Z NAME COUNT RATIO OK WHEN "); }
        if (std::string(name) == "multipatch") {
            EXPECT_EQ(find_column(s, "TYPE")->labels, (std::vector<std::string>{"Triangular Strip", "Triangular Fan"}));
            EXPECT_EQ(find_column(s, "TYPE")->longest_label, 16);
        }
    }
}

TEST_F(ShapeReader, GdalFilesMatchOgr2ogr) {
    Sheet* s = quiet(data_path("shape/ogr_points.shp"));
    ASSERT_NE(s, nullptr);
    std::vector<std::string> want;
    for (const auto& row : csv_cells(read_file(data_path("shape/ogr_points_expected.csv")))) want.push_back(as_row(row, "nntnn"));
    want.erase(want.begin());  // the names
    EXPECT_EQ(rows(s, {"X", "Y", "name", "pop", "area"}), want);

    ASSERT_NE(s = quiet(data_path("shape/ogr_holed.shp")), nullptr);
    std::string parts, pnts;  // a polygon with a hole: two rings of 5 points
    for (size_t r = 0; r < 10; ++r) parts += cell(s, "PART", r), pnts += cell(s, "PNT", r);
    EXPECT_EQ(parts + " " + pnts, "1111122222 1234512345");

    // GDAL leaves the measures out of PolygonZ records: whole, no message, M missing.
    ASSERT_NE(s = quiet(data_path("shape/ogr_polygonz.shp")), nullptr);
    EXPECT_EQ(said, "");
    EXPECT_EQ(cell(s, "M", 0) + cell(s, "Z", 2), "*3");
}

std::string be32(uint64_t v) { return be_bytes(v, 4); }
std::string le32(uint64_t v) { return le_bytes(v, 4); }

// Shapefile bytes: a header of the type, then the contents as records numbered from 1.
std::string shp(int type, const std::vector<std::string>& contents) {
    std::string body;
    for (size_t i = 0; i < contents.size(); ++i) body += be32(i + 1) + be32(contents[i].size() / 2) + contents[i];
    return be32(9994) + std::string(20, '\0') + be32((100 + body.size()) / 2) + le32(1000) + le32(type) +
           std::string(64, '\0') + body;
}
std::string point(double x, double y) { return le32(1) + le_f64(x) + le_f64(y); }
std::string poly(int type, const std::vector<std::vector<std::pair<double, double>>>& rings) {
    std::string parts, pts;
    uint32_t n = 0;
    for (const auto& r : rings) {
        parts += le32(n);
        for (auto [x, y] : r) pts += le_f64(x) + le_f64(y), ++n;
    }
    return le32(type) + std::string(32, '\0') + le32(rings.size()) + le32(n) + parts + pts;
}

TEST_F(ShapeReader, RecordMessagesAndRefusals) {
    const std::vector<std::pair<double, double>> open_ring = {{0, 0}, {1, 0}, {1, 1}}, closed = {{0, 0}, {1, 0}, {0, 0}};
    std::string zero_len = shp(1, {});
    zero_len.replace(24, 4, be32(0));
    const struct { const char* what; std::string bytes; int rows; /* -1: refused */ std::string out; } cases[] = {
        {"polygon file holding polylines", shp(5, {poly(3, {open_ring}), poly(5, {closed})}), 6, ""},
        {"point file holding a polyline", shp(1, {point(1, 2), poly(3, {open_ring}), poly(3, {open_ring})}),
         7, "Mixed Shape Types within a file not yet supported!"},
        {"ring not closed", shp(5, {poly(5, {closed, open_ring, open_ring})}), 9, "Polygon not closed!"},
        {"wrong length", shp(1, {point(1, 2) + "xxxx"}), 1, "Bad Point Shape record!"},
        {"no parts, no points", shp(3, {poly(3, {})}), -1, "Empty PolyLine parts in Shape record!Empty PolyLine Shape record!"},
        {"not a shapefile", std::string("\0\0\x27\x0B", 4) + std::string(96, '\0'), -1, "x.shp is not a valid Shapefile"},
        {"null file", shp(0, {}), -1, "Shape file contains only NULL records\n- there is no data in it"},
        {"unknown type", shp(2, {}), -1, "Unknown Shape Type (2) in Shape file"},
        {"empty record", shp(1, {std::string("\x01\0", 2)}), -1, "Empty Record in Shape file!"},
        {"record points beyond it", shp(8, {le32(8) + std::string(32, '\0') + le32(0x7fffffff) + le_f64(1) + le_f64(2)}), 1,
         "Bad MultiPoint Shape record!"},
        {"file length 0", zero_len, -1, "Bad File length indicator in shape file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        new_run_with_sheet(1), lastsheet = nullptr;
        ByteReader in(c.bytes);
        int16_t ok = 0;
        EXPECT_EQ(stdout_of([&] { ok = vxs_decode_shape(in, nullptr, "x.shp"); }), c.out);
        EXPECT_EQ(ok ? lastsheet->row_count : -1, c.rows);
    }
}

TEST_F(ShapeReader, AttributeTables) {
    // python3-dbf's table: memo passed over, header year above 110 taken, deleted third record missing.
    write_file(dir.file("m.shp"), shp(1, {point(0, 0), point(1, 2), point(2, 4), point(3, 6)}));
    write_file(dir.file("m.dbf"), read_file(data_path("dbf/pydbf_memo.dbf")));
    expect_run(dir, "m.shp", "m.tab", 0, "Memo fields in DBF file not processed.");
    EXPECT_EQ(read_file(dir.file("m.tab")),
              "REC\tX\tY\tNAME\tQTY\tOK\tPRICE\tRATIO\tSEEN\n1\t0\t0\tbolt\t10\t1\t1.25\t0.5000\t43890\n"
              "2\t1\t2\tnut\t-2\t0\t0.00\t-1.1250\t*\n3\t2\t4\t\t*\t*\t*\t*\t*\n"
              "4\t3\t6\tscrew\t7\t1\t99.99\t*\t36161\n");

    // Without its table the shapefile still converts, with a message; an unknown field type ends the read.
    write_file(dir.file("alone.shp"), shp(1, {point(1, 2)}));
    expect_run(dir, "alone.shp", "alone.tab", 0, "Shape dBASE table alone.DBF was not found");
    write_file(dir.file("m.dbf"), read_file(data_path("dbf/bad_type.dbf")));
    expect_run(dir, "m.shp", "m.tab", 5, "Error in DBF file, unknown field type.");
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

    ASSERT_NE(s = quiet(data_path("mif/ogr_mif_poly.mif")), nullptr);
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
    expect_run(dir, "p.mif", "p.tab", 0, "MapInfo Data record file p.MID was not found");
    EXPECT_EQ(read_file(dir.file("p.tab")), "Feature\tREC\tX\tY\nPoint\t1\t1\t2\nPoint\t2\t3\t4\n");

    write_file(dir.file("bad.mif"), "Versio 300\nData\nPoint 1 2\n");
    for (auto [file, message] : {std::pair{"bad.mif", "bad.mif is not a valid MapInfo file"}, {"none.mif", "MapInfo File"}}) {
        EXPECT_EQ(quiet(dir.file(file)), nullptr);
        EXPECT_NE(said.find(message), std::string::npos) << said;
    }

    // Long items are cut to 90 characters, with a message.
    write_file(dir.file("long.mif"), "Version 300\nColumns 1\n  a Char(200)\nData\nPoint 1 2\n");
    write_file(dir.file("long.mid"), "\"" + std::string(120, 'x') + "\"\n");
    Sheet* s = quiet(dir.file("long.mif"));
    EXPECT_EQ(s ? cell(s, "a", 0) : "", std::string(89, 'x'));
    EXPECT_NE(said.find(" were truncated to 90 characters"), std::string::npos);
}

}  // namespace
