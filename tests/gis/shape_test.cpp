// Shapefile reader: pyshp's files of all thirteen types against pyshp's own reading, GDAL's
// files against ogr2ogr's, hand-built records for every message, and cut or lying files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/vxs_formats.h"
#include "gis/vxr_gis.h"
#include "sheet/vxs_dates.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {


// A cell as text: factor levels by their values, numbers by %.17g, missing as "*".
std::string cell(const Sheet* s, const Column* c, size_t row) {
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
    if (s == "*" || s.empty()) return s;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", std::strtod(s.c_str(), nullptr));
    return buf;
}

std::string date_text(const std::string& iso) {
    if (iso == "*") return iso;
    double d =
        vxs_day_number(std::atol(iso.substr(8, 2).c_str()), std::atol(iso.substr(5, 2).c_str()),
                       std::atol(iso.substr(0, 4).c_str()));
    return num_text(std::to_string(d));
}

Sheet* read_shape(const std::string& path, std::string* out = nullptr) {
    new_run_with_sheet(1);
    lastsheet = nullptr;
    VXSMAXCOLUMNS = 2048;
    testing::internal::CaptureStdout();
    int16_t ok = read_gis_shape_file(path.c_str());
    std::string printed = testing::internal::GetCapturedStdout();
    if (out) *out = printed;
    return ok ? lastsheet : nullptr;
}

TEST(ShapeReader, PyshpFilesOfEveryTypeMatchPyshpsReading) {
    for (const char* name : {"point", "pointm", "pointz", "multipoint", "multipointm",
                             "multipointz", "polyline", "polylinem", "polylinez", "polygon",
                             "polygonm", "polygonz", "multipatch", "deleted_record"}) {
        SCOPED_TRACE(name);
        std::string printed;
        Sheet* s = read_shape(data_path(std::string("shape/") + name + ".shp"), &printed);
        ASSERT_NE(s, nullptr) << printed;
        EXPECT_EQ(printed, "");
        std::ifstream in(data_path(std::string("shape/") + name + ".expect"));
        std::string line;
        size_t row = 0;
        const char* keys[] = {"REC", "PART", "TYPE", "PNT", "X", "Y", "M", "Z"};
        while (std::getline(in, line)) {
            std::vector<std::string> want;
            std::stringstream ss(line);
            for (std::string f; std::getline(ss, f, '|');) want.push_back(f);
            while (want.size() < 13) want.push_back("");
            ASSERT_LT(row, static_cast<size_t>(s->row_count));
            for (int k = 0; k < 8; ++k) {
                const Column* c = find_column(s, keys[k]);
                EXPECT_EQ(cell(s, c, row), num_text(want[static_cast<size_t>(k)]))
                    << keys[k] << " row " << row;
            }
            EXPECT_EQ(cell(s, find_column(s, "NAME"), row), want[8]) << row;
            EXPECT_EQ(cell(s, find_column(s, "COUNT"), row), num_text(want[9])) << row;
            EXPECT_EQ(cell(s, find_column(s, "RATIO"), row), num_text(want[10])) << row;
            EXPECT_EQ(cell(s, find_column(s, "OK"), row), num_text(want[11])) << row;
            EXPECT_EQ(cell(s, find_column(s, "WHEN"), row), date_text(want[12])) << row;
            ++row;
        }
        EXPECT_EQ(row, static_cast<size_t>(s->row_count));
    }
}

TEST(ShapeReader, ColumnsAndMultiPatchLabels) {
    Sheet* s = read_shape(data_path("shape/polygonz.shp"));
    ASSERT_NE(s, nullptr);
    std::vector<std::string> names;
    for (size_t i = 1; i < s->cols.size(); ++i) names.push_back(s->cols[i]->name);
    EXPECT_EQ(names, (std::vector<std::string>{"REC", "PART", "PNT", "X", "Y", "M", "Z", "NAME",
                                               "COUNT", "RATIO", "OK", "WHEN"}));
    EXPECT_EQ(find_column(s, "REC")->type, VXS_FACTOR);

    s = read_shape(data_path("shape/multipatch.shp"));
    ASSERT_NE(s, nullptr);
    const Column* type = find_column(s, "TYPE");
    ASSERT_EQ(type->type, VXS_FACTOR);
    EXPECT_EQ(type->labels, (std::vector<std::string>{"Triangular Strip", "Triangular Fan"}));
    EXPECT_EQ(type->longest_label, 16);
}

TEST(ShapeReader, GdalFilesMatchOgr2ogr) {
    // Points against ogr2ogr's own CSV reading of the same file.
    Sheet* s = read_shape(data_path("shape/ogr_points.shp"));
    ASSERT_NE(s, nullptr);
    std::ifstream in(data_path("shape/ogr_points_expected.csv"));
    std::string line;
    std::getline(in, line);
    size_t row = 0;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::string cur;
        bool q = false;
        for (char ch : line) {
            if (ch == '"')
                q = !q;
            else if (ch == ',' && !q)
                f.push_back(cur), cur.clear();
            else
                cur += ch;
        }
        f.push_back(cur);
        EXPECT_EQ(cell(s, find_column(s, "X"), row), num_text(f[0]));
        EXPECT_EQ(cell(s, find_column(s, "Y"), row), num_text(f[1]));
        EXPECT_EQ(cell(s, find_column(s, "name"), row), f[2]);
        EXPECT_EQ(cell(s, find_column(s, "pop"), row), num_text(f[3].empty() ? "*" : f[3]));
        EXPECT_EQ(cell(s, find_column(s, "area"), row), num_text(f[4].empty() ? "*" : f[4]));
        ++row;
    }
    EXPECT_EQ(row, static_cast<size_t>(s->row_count));

    // A polygon with a hole: two rings of 5 points.
    s = read_shape(data_path("shape/ogr_holed.shp"));
    ASSERT_NE(s, nullptr);
    std::string parts, pnts;
    for (size_t r = 0; r < 10; ++r)
        parts += cell(s, find_column(s, "PART"), r), pnts += cell(s, find_column(s, "PNT"), r);
    EXPECT_EQ(parts, "1111122222");
    EXPECT_EQ(pnts, "1234512345");

    // GDAL leaves the measures out of PolygonZ records: whole, no message, M missing.
    std::string printed;
    s = read_shape(data_path("shape/ogr_polygonz.shp"), &printed);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(printed, "");
    EXPECT_EQ(cell(s, find_column(s, "M"), 0), "*");
    EXPECT_EQ(cell(s, find_column(s, "Z"), 2), "3");
}

std::string be32(uint32_t v) { return be_bytes(v, 4); }
std::string le32(uint32_t v) { return le_bytes(v, 4); }

// Shapefile bytes from records: (record number, content) pairs under a header of the type.
std::string shp(int type, const std::vector<std::string>& contents) {
    std::string body;
    for (size_t i = 0; i < contents.size(); ++i)
        body += be32(static_cast<uint32_t>(i + 1)) +
                be32(static_cast<uint32_t>(contents[i].size() / 2)) + contents[i];
    std::string head = be32(9994) + std::string(20, '\0') +
                       be32(static_cast<uint32_t>((100 + body.size()) / 2)) + le32(1000) +
                       le32(static_cast<uint32_t>(type)) + std::string(64, '\0');
    return head + body;
}
std::string point(double x, double y) { return le32(1) + le_f64(x) + le_f64(y); }
std::string poly(int type, const std::vector<std::vector<std::pair<double, double>>>& rings) {
    std::string parts, pts;
    uint32_t n = 0;
    for (const auto& r : rings) {
        parts += le32(n);
        for (auto [x, y] : r) pts += le_f64(x) + le_f64(y), ++n;
    }
    return le32(static_cast<uint32_t>(type)) + std::string(32, '\0') +
           le32(static_cast<uint32_t>(rings.size())) + le32(n) + parts + pts;
}

TEST(ShapeReader, RecordMessagesAndRefusals) {
    const std::vector<std::pair<double, double>> open_ring = {{0, 0}, {1, 0}, {1, 1}};
    const std::vector<std::pair<double, double>> closed = {{0, 0}, {1, 0}, {0, 0}};
    struct Case {
        const char* what;
        std::string bytes;
        int rows;  // -1: refused
        std::string out;
    };
    std::string bad_point = point(1, 2);
    bad_point += "xxxx";
    std::vector<Case> cases = {
        {"polygon file holding polylines", shp(5, {poly(3, {open_ring}), poly(5, {closed})}), 6,
         ""},
        {"point file holding a polyline",
         shp(1, {point(1, 2), poly(3, {open_ring}), poly(3, {open_ring})}), 7,
         "Mixed Shape Types within a file not yet supported!"},
        {"ring not closed", shp(5, {poly(5, {closed, open_ring, open_ring})}), 9,
         "Polygon not closed!"},
        {"wrong length", shp(1, {bad_point}), 1, "Bad Point Shape record!"},
        {"no parts, no points", shp(3, {poly(3, {})}), -1,
         "Empty PolyLine parts in Shape record!Empty PolyLine Shape record!"},
        {"not a shapefile", std::string("\0\0\x27\x0B", 4) + std::string(96, '\0'), -1,
         "x.shp is not a valid Shapefile"},
        {"null file", shp(0, {}), -1,
         "Shape file contains only NULL records\n- there is no data in it"},
        {"unknown type", shp(2, {}), -1, "Unknown Shape Type (2) in Shape file"},
        {"empty record", shp(1, {std::string("\x01\0", 2)}), -1, "Empty Record in Shape file!"},
        {"record points beyond it",
         shp(8, {le32(8) + std::string(32, '\0') + le32(0x7fffffff) + le_f64(1) + le_f64(2)}), 1,
         "Bad MultiPoint Shape record!"},
    };
    std::string zero_len = shp(1, {});
    zero_len.replace(24, 4, be32(0));
    cases.push_back({"file length 0", zero_len, -1, "Bad File length indicator in shape file"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        new_run_with_sheet(1);
        lastsheet = nullptr;
        ByteReader in(c.bytes);
        testing::internal::CaptureStdout();
        int16_t ok = vxs_decode_shape(in, nullptr, "x.shp");
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out);
        EXPECT_EQ(ok ? lastsheet->row_count : -1, c.rows);
    }
}

// A dBase III table of NAME C(5), NOTE M(10), VAL N(4) with the given records.
std::string memo_table(const std::vector<std::string>& records) {
    std::string h =
        std::string("\x03\x7c\x01\x01", 4) + le32(static_cast<uint32_t>(records.size()));
    uint16_t hl = 32 * 4 + 1, rl = 1 + 5 + 10 + 4;
    h += std::string{static_cast<char>(hl & 0xff), static_cast<char>(hl >> 8),
                     static_cast<char>(rl), 0};
    h += std::string(20, '\0');
    auto field = [](const char* name, char type, int len) {
        std::string f(name);
        f.resize(11, '\0');
        f += type;
        f += std::string(4, '\0');
        f += static_cast<char>(len);
        f += std::string(15, '\0');
        return f;
    };
    h += field("NAME", 'C', 5) + field("NOTE", 'M', 10) + field("VAL", 'N', 4) + "\x0d";
    for (const auto& r : records) h += r;
    return h;
}

TEST(ShapeReader, AttributeTables) {
    ScratchDir dir;
    write_file(dir.file("m.shp"), shp(1, {point(1, 2), point(3, 4), point(5, 6)}));
    // Memo field passed over; the deleted second record leaves its point's values missing.
    write_file(dir.file("m.dbf"), memo_table({" ab   0000000001  12", "*cd   0000000002  34",
                                              " ef   0000000003  56"}));
    RunResult r = run_morvalen(dir.path(), {"m.shp", "m.tab"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.find("Memo fields in DBF file not processed."), 0u) << r.out;
    EXPECT_EQ(read_file(dir.file("m.tab")),
              "REC\tX\tY\tNAME\tVAL\n1\t1\t2\tab\t12\n2\t3\t4\t\t*\n3\t5\t6\tef\t56\n");

    // Without its table the shapefile still converts, with a message.
    write_file(dir.file("alone.shp"), shp(1, {point(1, 2)}));
    r = run_morvalen(dir.path(), {"alone.shp", "alone.tab"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.find("Shape dBASE table " + std::string("alone.DBF") + " was not found"), 0u)
        << r.out;

    // Unknown field types and wrong terminators end the read.
    std::string bad = memo_table({" ab   0000000001  12"});
    bad[32 + 32 + 11] = 'Q';
    write_file(dir.file("m.dbf"), bad);
    r = run_morvalen(dir.path(), {"m.shp", "m.tab"});
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(r.out.find("Error in DBF file, unknown field type."), 0u) << r.out;
}

TEST(ShapeReader, CutAndLyingFilesNeverCrash) {
    std::string whole = read_file(data_path("shape/polygonz.shp"));
    std::string table = read_file(data_path("shape/polygonz.dbf"));
    for (size_t cut = 0; cut < whole.size(); cut += 3) {
        new_run_with_sheet(1);
        lastsheet = nullptr;
        ByteReader in(std::string_view(whole).substr(0, cut));
        ByteReader t(table);
        int16_t ok{};
        stdout_of([&] { ok = vxs_decode_shape(in, &t, "x.shp"); });
        if (ok) {
            EXPECT_LE(lastsheet->row_count, 10);
        }
    }
    // Counts far beyond the record: no huge sheet.
    std::string lying = whole;
    lying.replace(100 + 8 + 36, 8, le32(0x7fffffff) + le32(0x7fffffff));
    new_run_with_sheet(1);
    ByteReader in(lying);
    stdout_of([&] { vxs_decode_shape(in, nullptr, "x.shp"); });
}

}  // namespace
