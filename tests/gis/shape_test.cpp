// Shapefile reader: pyshp's files against pyshp, GDAL's against ogr2ogr, every record message.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "driver/vxs_formats.h"
#include "gis/vxr_gis.h"
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
    if (s == "*" || s.empty()) return s.empty() ? "*" : s;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", std::strtod(s.c_str(), nullptr));
    return buf;
}

std::string date_text(const std::string& iso) {
    if (iso == "*") return iso;
    auto part = [&](size_t at, size_t n) { return std::atol(iso.substr(at, n).c_str()); };
    return num_text(std::to_string(vxs_day_number(part(8, 2), part(5, 2), part(0, 4))));
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
        std::ifstream in(data_path(std::string("shape/") + name + ".expect"));
        size_t row = 0;
        for (std::string line; std::getline(in, line); ++row) {
            std::vector<std::string> want;
            std::stringstream ss(line);
            for (std::string f; std::getline(ss, f, '|');) want.push_back(f);
            want.resize(13);
            ASSERT_LT(row, static_cast<size_t>(s->row_count));
            for (size_t k = 0; k < 13; ++k)
                EXPECT_EQ(cell(s, keys[k], row), k == 8 ? want[k] : k == 12 ? date_text(want[k]) : num_text(want[k]))
                    << keys[k] << " row " << row;
        }
        EXPECT_EQ(row, static_cast<size_t>(s->row_count));
        EXPECT_EQ(find_column(s, "REC")->type, VXS_FACTOR);
        std::string names;
        for (size_t i = 1; i < s->cols.size(); ++i) names += s->cols[i]->name + " ";
        if (std::string_view(name) == "polygonz") { EXPECT_EQ(names, "REC PART PNT X Y M Z NAME COUNT RATIO OK WHEN "); }
        if (std::string_view(name) == "multipatch") {
            EXPECT_EQ(find_column(s, "TYPE")->labels, (std::vector<std::string>{"Triangular Strip", "Triangular Fan"}));
            EXPECT_EQ(find_column(s, "TYPE")->longest_label, 16);
        }
    }
}

TEST_F(ShapeReader, GdalFilesMatchOgr2ogr) {
    Sheet* s = quiet(data_path("shape/ogr_points.shp"));
    ASSERT_NE(s, nullptr);
    auto rows = csv_cells(read_file(data_path("shape/ogr_points_expected.csv")));
    ASSERT_EQ(rows.size(), static_cast<size_t>(s->row_count) + 1);
    const char* columns[] = {"X", "Y", "name", "pop", "area"};
    for (size_t r = 0; r + 1 < rows.size(); ++r)
        for (size_t k = 0; k < 5; ++k)
            EXPECT_EQ(cell(s, columns[k], r), k == 2 ? rows[r + 1][k] : num_text(rows[r + 1][k]));

    s = quiet(data_path("shape/ogr_holed.shp"));
    ASSERT_NE(s, nullptr);
    std::string parts, pnts;  // a polygon with a hole: two rings of 5 points
    for (size_t r = 0; r < 10; ++r) parts += cell(s, "PART", r), pnts += cell(s, "PNT", r);
    EXPECT_EQ(parts + " " + pnts, "1111122222 1234512345");

    // GDAL leaves the measures out of PolygonZ records: whole, no message, M missing.
    s = quiet(data_path("shape/ogr_polygonz.shp"));
    ASSERT_NE(s, nullptr);
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
    RunResult r = run_morvalen(dir.path(), {"m.shp", "m.tab"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.find("Memo fields in DBF file not processed."), 0u) << r.out;
    EXPECT_EQ(read_file(dir.file("m.tab")),
              "REC\tX\tY\tNAME\tQTY\tOK\tPRICE\tRATIO\tSEEN\n1\t0\t0\tbolt\t10\t1\t1.25\t0.5000\t43890\n"
              "2\t1\t2\tnut\t-2\t0\t0.00\t-1.1250\t*\n3\t2\t4\t\t*\t*\t*\t*\t*\n"
              "4\t3\t6\tscrew\t7\t1\t99.99\t*\t36161\n");

    // Without its table the shapefile still converts, with a message.
    write_file(dir.file("alone.shp"), shp(1, {point(1, 2)}));
    r = run_morvalen(dir.path(), {"alone.shp", "alone.tab"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.find("Shape dBASE table alone.DBF was not found"), 0u) << r.out;

    // An unknown field type ends the read.
    write_file(dir.file("m.dbf"), read_file(data_path("dbf/bad_type.dbf")));
    r = run_morvalen(dir.path(), {"m.shp", "m.tab"});
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(r.out.find("Error in DBF file, unknown field type."), 0u) << r.out;
}

}  // namespace
