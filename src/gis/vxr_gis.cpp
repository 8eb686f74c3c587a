// Shapefile reader: key columns say which record, part and point a row is, then the
// coordinates, then the record's attributes repeated on each of its rows.
#include "vxr_gis.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../database/vxr_dbf.h"
#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_conv.h"
#include "../sheet/vxs_dates.h"

namespace {

constexpr size_t NPOS = static_cast<size_t>(-1);
// Measures below this mean "no measure" (writers fill M arrays they have no values for).
constexpr double SHP_NO_DATA = -1e38;

const char* const pnt_col_names[] = {"REC", "X", "Y", "M", "Z"};
const char* const mpt_col_names[] = {"REC", "PNT", "X", "Y", "M", "Z"};
const char* const lin_col_names[] = {"REC", "PART", "PNT", "X", "Y", "M", "Z"};
const char* const pch_col_names[] = {"REC", "PART", "TYPE", "PNT", "X", "Y", "M", "Z"};
const char* const gis_mpch_description[] = {"Triangular Strip", "Triangular Fan", "Outer Ring",
                                            "Inner Ring",       "First Ring",     "Ring"};

enum Family { POINT, MULTIPOINT, POLY, PATCH };
enum Measure { PLAIN, WITH_M, WITH_Z };

// One row of the shape-type table, with the record checks' messages.
struct ShapeKind {
    int type;
    Family family;
    Measure measure;
    int estimate;  // record size used by older tools to guess the record count
    const char* bad;
    const char* no_parts;
    const char* no_points;
    const char* not_closed;
};

const ShapeKind kinds[] = {
    {1, POINT, PLAIN, 20, "Bad Point Shape record!", nullptr, nullptr, nullptr},
    {3, POLY, PLAIN, 80, "Bad PolyLine Shape record!", "Empty PolyLine parts in Shape record!",
     "Empty PolyLine Shape record!", nullptr},
    {5, POLY, PLAIN, 112, "Bad Polygon Shape record!", "Empty Polygon parts in Shape record!",
     "Empty Polygon Shape record!", "Polygon not closed!"},
    {8, MULTIPOINT, PLAIN, 72, "Bad MultiPoint Shape record!", nullptr,
     "Empty MultiPoint Shape record!", nullptr},
    {11, POINT, WITH_Z, 36, "Bad Z Point Shape record!", nullptr, nullptr, nullptr},
    {13, POLY, WITH_Z, 148, "Bad Z PolyLine Shape record!",
     "Empty Z PolyLine parts in Shape record!", "Empty PolyLine Shape record!", nullptr},
    // The PolygonZ length message names PolyLine: kept as users have always seen it.
    {15, POLY, WITH_Z, 208, "Bad Z PolyLine Shape record!",
     "Empty Z Polygon parts in Shape record!", "Empty Z Polygon Shape record!",
     "Z Polygon not closed!"},
    {18, MULTIPOINT, WITH_Z, 136, "Bad Z MultiPoint Shape record!", nullptr,
     "Empty Z MultiPoint Shape record!", nullptr},
    {21, POINT, WITH_M, 28, "Bad M Point Shape record!", nullptr, nullptr, nullptr},
    {23, POLY, WITH_M, 112, "Bad M PolyLine Shape record!",
     "Empty M PolyLine parts in Shape record!", "Empty M PolyLine Shape record!", nullptr},
    {25, POLY, WITH_M, 160, "Bad M Polygon Shape record!", "Empty M Polygon parts in Shape record!",
     "Empty PolyLine Shape record!", "M Polygon not closed!"},
    {28, MULTIPOINT, WITH_M, 104, "Bad M MultiPoint Shape record!", nullptr,
     "Empty M MultiPoint Shape record!", nullptr},
    {31, PATCH, WITH_Z, 400, "Bad MultiPatch Shape record!",
     "Empty MultiPatch parts in Shape record!", "Empty MultiPatch Shape record!", nullptr},
};

const ShapeKind* find_kind(int type) {
    for (const ShapeKind& k : kinds)
        if (k.type == type) return &k;
    return nullptr;
}

// Pairs of types that may share a file without the mixed-types message.
bool compatible(int a, int b) {
    auto pair = [&](int x, int y) { return (a == x && b == y) || (a == y && b == x); };
    return a == b || pair(5, 3) || pair(25, 23) || pair(3, 25) || pair(15, 13);
}

// Where one record's fields lie within its content (shape type at 0). Counts are capped to
// what the content holds; Z and M are absent (NPOS) when the content stops before them.
struct Shape {
    const ShapeKind* kind = nullptr;
    size_t parts = 0, points = 0;
    size_t parts_at = NPOS, ptypes_at = NPOS, xy_at = NPOS, z_at = NPOS, m_at = NPOS;
};

// Lays out the record and prints the failed checks; false for a type no parser knows.
bool parse_shape(const ByteReader& rec, int type, Shape& s, bool report) {
    s = Shape();
    s.kind = find_kind(type);
    if (!s.kind) return false;
    const size_t size = rec.size();
    const ShapeKind& k = *s.kind;
    uint64_t p = 1, n = 0;
    uint64_t expected = 0, expected_no_m = 0;
    switch (k.family) {
        case POINT:
            s.xy_at = 4;
            if (k.measure == WITH_M) s.m_at = 20;
            if (k.measure == WITH_Z) s.z_at = 20, s.m_at = 28;
            expected = k.measure == PLAIN ? 20 : k.measure == WITH_M ? 28 : 36;
            expected_no_m = k.measure == WITH_Z ? 28 : expected;
            break;
        case MULTIPOINT:
            p = rec.u32_at(36);
            s.xy_at = 40;
            expected = 40 + 16 * p;
            break;
        case POLY:
        case PATCH:
            n = rec.u32_at(36);
            p = rec.u32_at(40);
            s.parts_at = 44;
            s.xy_at = 44 + 4 * static_cast<size_t>(std::min<uint64_t>(n, size));
            if (k.family == PATCH) {
                s.ptypes_at = s.xy_at;
                s.xy_at += 4 * static_cast<size_t>(std::min<uint64_t>(n, size));
            }
            expected = (k.family == PATCH ? 44 + 8 * n : 44 + 4 * n) + 16 * p;
            break;
    }
    if (k.family != POINT) {
        uint64_t after_xy = expected;
        if (k.measure == WITH_M) {
            s.m_at = static_cast<size_t>(std::min<uint64_t>(after_xy + 16, SIZE_MAX / 2));
            expected = after_xy + 16 + 8 * p;
            expected_no_m = expected;
        } else if (k.measure == WITH_Z) {
            s.z_at = static_cast<size_t>(std::min<uint64_t>(after_xy + 16, SIZE_MAX / 2));
            expected_no_m = after_xy + 16 + 8 * p;
            s.m_at = static_cast<size_t>(std::min<uint64_t>(expected_no_m + 16, SIZE_MAX / 2));
            expected = expected_no_m + 16 + 8 * p;
        } else {
            expected_no_m = expected;
        }
    }
    // Z types may leave out their measures: a record of the length without them is whole.
    if (report) {
        if (size != expected && size != expected_no_m) std::printf("%s", k.bad);
        if (k.no_parts && n == 0) std::printf("%s", k.no_parts);
        if (k.no_points && p == 0) std::printf("%s", k.no_points);
    }

    // Only what the content holds is read: a lying count sizes nothing.
    s.parts = s.parts_at == NPOS
                  ? 0
                  : static_cast<size_t>(std::min<uint64_t>(n, (size > 44 ? size - 44 : 0) / 4));
    if (k.family == PATCH && s.ptypes_at + 4 * s.parts > size) s.parts = 0;
    s.points = s.xy_at + 16 <= size
                   ? static_cast<size_t>(std::min<uint64_t>(p, (size - s.xy_at) / 16))
                   : 0;
    if (p != s.points) s.z_at = s.m_at = NPOS;  // a cut record keeps X and Y only
    if (s.z_at != NPOS && (s.z_at > size || (size - s.z_at) / 8 < s.points)) s.z_at = NPOS;
    if (s.m_at != NPOS && (s.m_at > size || (size - s.m_at) / 8 < s.points)) s.m_at = NPOS;

    if (report && k.not_closed) {
        for (size_t j = 0; j < s.parts; ++j) {
            size_t first = rec.u32_at(s.parts_at + 4 * j);
            size_t end = j + 1 < s.parts ? rec.u32_at(s.parts_at + 4 * (j + 1)) : s.points;
            if (first >= s.points || end > s.points || end <= first) continue;
            size_t a = s.xy_at + 16 * first, b = s.xy_at + 16 * (end - 1);
            if (rec.u32_at(a) != rec.u32_at(b) || rec.u32_at(a + 4) != rec.u32_at(b + 4) ||
                rec.u32_at(a + 8) != rec.u32_at(b + 8) ||
                rec.u32_at(a + 12) != rec.u32_at(b + 12)) {
                std::printf("%s", k.not_closed);
                break;
            }
        }
    }
    return true;
}

double f64_at(const ByteReader& r, size_t at) {
    uint64_t bits = static_cast<uint64_t>(r.u32_at(at)) | static_cast<uint64_t>(r.u32_at(at + 4))
                                                              << 32;
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

// The records of the file in order: each one's record number and content.
struct RecordWalk {
    ByteReader& in;
    size_t end;
    bool ok = true;
    // False at the end of the records (or on a short read, which clears ok).
    bool next(int32_t& number, ByteReader& content) {
        if (in.pos() + SHP_RECORD_HEADER > end) return false;
        in.set_order(Endian::Big);
        number = in.i32();
        uint32_t words = in.u32();
        in.set_order(Endian::Little);
        if (!in.ok()) return ok = false;
        uint64_t bytes = static_cast<uint64_t>(words) * 2;
        if (bytes < 4) {
            std::printf("Empty Record in Shape file!");
            return false;
        }
        if (bytes > in.remaining()) return ok = false;
        content = in.sub(static_cast<size_t>(bytes));
        return true;
    }
};

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

int16_t vxs_decode_shape(ByteReader& in, VxsSource* table, const char* name) {
    in.set_order(Endian::Big);
    uint32_t code = in.u32();
    bool zeros = true;
    for (int i = 0; i < 5; ++i) zeros = in.u32() == 0 && zeros;
    uint32_t words = in.u32();
    in.set_order(Endian::Little);
    in.u32();  // version
    int32_t file_type = in.i32();
    if (!in.ok() || !in.skip(64)) return 0;
    if (code != SHP_FILE_CODE || !zeros) {
        std::printf("%s is not a valid Shapefile", name);
        return 0;
    }
    uint64_t file_bytes = static_cast<uint64_t>(words) * 2;
    if (file_bytes == 0) {
        std::printf("Bad File length indicator in shape file");
        return 0;
    }
    if (file_type == 0) {
        std::printf("Shape file contains only NULL records\n- there is no data in it");
        return 0;
    }
    const ShapeKind* file_kind = find_kind(file_type);
    if (!file_kind) {
        std::printf("Unknown Shape Type (%li) in Shape file", static_cast<long>(file_type));
        return 0;
    }
    const size_t end = static_cast<size_t>(std::min<uint64_t>(file_bytes, in.size()));

    // First pass: checks, messages and the row count.
    uint64_t rows = 0;
    size_t records = 0;
    bool mixed_told = false;
    {
        RecordWalk walk{in, end};
        int32_t number;
        ByteReader rec;
        Shape s;
        while (walk.next(number, rec)) {
            int32_t type = rec.i32();
            if (type != file_type && type != 0 && !compatible(type, file_type) && !mixed_told) {
                std::printf("Mixed Shape Types within a file not yet supported!");
                mixed_told = true;
            }
            ++records;
            if (type == 0) continue;
            if (rec.size() <= 4) {
                std::printf("Bad Shape record length!");
                break;
            }
            if (!parse_shape(rec, type, s, true)) {
                std::printf("Unknown Shape Type in Shape file");
                continue;
            }
            rows += s.points;
        }
        if (!walk.ok) return 0;
    }
    if (rows == 0 || rows > 0x7fffffff) return 0;

    // Attribute table, one row per record (deleted records keep theirs, empty).
    Sheet* attrs = nullptr;
    if (table) {
        DbfMessages m;
        m.empty = "No records in database file.";
        m.bad_terminator = "Header termination incorrect in Shape Attributes DBF file.";
        m.bad_date = "Database file not in dBase 3, 4 or 5 format.";
        m.too_many = "Maximum number of columns (%i) exceeded.\nIgnoring extra columns.";
        m.unknown_type = "Error in DBF file, unknown field type.";
        m.date_length = "DBF Date field has incorrect length information.";
        m.skipped[0] = "Binary fields in DBF file not processed.";
        m.skipped[1] = "General fields in DBF file not processed.";
        m.skipped[2] = "Memo fields in DBF file not processed.";
        m.skipped[3] = "Picture fields in DBF file not processed.";
        m.keep_deleted = true;
        m.trailing_blanks_only = true;
        if (!vxs_decode_dbf_source(std::move(*table), m)) return 0;
        attrs = lastsheet;
    }

    Sheet* sheet = create_sheet();
    if (!sheet) return 0;
    sheet->kind = VXS_VECTOR;
    sheet->missing = vxs_missing;
    sheet->source_type = VXT_SHAPE;
    vxs_set_gregorian(sheet->defaults.gregorian);
    sheet->row_count = static_cast<int32_t>(rows);
    if (!create_row_attr(sheet)) return 0;
    const int32_t n = sheet->row_count;

    const char* const* names = pnt_col_names;
    size_t ncols = 3;
    switch (file_kind->family) {
        case POINT:
            names = pnt_col_names, ncols = 3;
            break;
        case MULTIPOINT:
            names = mpt_col_names, ncols = 4;
            break;
        case POLY:
            names = lin_col_names, ncols = 5;
            break;
        case PATCH:
            names = pch_col_names, ncols = 6;
            break;
    }
    if (file_kind->measure == WITH_M) ncols += 1;
    if (file_kind->measure == WITH_Z) ncols += 2;
    Column *c_rec = nullptr, *c_part = nullptr, *c_type = nullptr, *c_pnt = nullptr;
    Column *c_x = nullptr, *c_y = nullptr, *c_m = nullptr, *c_z = nullptr;
    for (size_t i = 0; i < ncols; ++i) {
        Column* c = create_column_with_memory(sheet, VXS_VARIATE, names[i], n);
        if (!c) return 0;
        std::string_view nm = names[i];
        (nm == "REC"    ? c_rec
         : nm == "PART" ? c_part
         : nm == "TYPE" ? c_type
         : nm == "PNT"  ? c_pnt
         : nm == "X"    ? c_x
         : nm == "Y"    ? c_y
         : nm == "M"    ? c_m
                        : c_z) = c;
    }
    std::vector<std::pair<const Column*, Column*>> attr_cols;
    if (attrs) {
        for (size_t i = 1; i < attrs->cols.size(); ++i) {
            const Column* a = attrs->cols[i].get();
            Column* c = create_column_with_memory(sheet, a->type, a->name.substr(0, 11), n);
            if (!c) break;
            c->representation = a->representation;
            c->decimals = a->decimals;
            c->width = a->width;
            c->nlevels = a->nlevels;
            attr_cols.emplace_back(a, c);
        }
    }

    // Second pass: the rows.
    in.seek(SHP_HEADER);
    RecordWalk walk{in, end};
    int32_t number;
    ByteReader rec;
    Shape s;
    size_t row = 0, ordinal = 0;
    for (; row < rows && walk.next(number, rec); ++ordinal) {
        int32_t type = rec.i32();
        if (type == 0) continue;
        if (rec.size() <= 4) break;
        if (!parse_shape(rec, type, s, false)) continue;
        const size_t first_row = row;
        size_t part = s.points > 0 ? 1 : 0, pnt = 0, next_part = 1;
        double part_type = vxs_missing;
        if (s.ptypes_at != NPOS && s.parts > 0)
            part_type = static_cast<int32_t>(rec.u32_at(s.ptypes_at)) + 1.0;
        for (size_t i = 0; i < s.points && row < rows; ++i, ++row) {
            if (next_part < s.parts && rec.u32_at(s.parts_at + 4 * next_part) == i) {
                if (s.ptypes_at != NPOS)
                    part_type = static_cast<int32_t>(rec.u32_at(s.ptypes_at + 4 * next_part)) + 1.0;
                part = ++next_part;
                pnt = 0;
            }
            ++pnt;
            c_rec->num[row] = number;
            if (c_part) c_part->num[row] = static_cast<double>(part);
            if (c_type) c_type->num[row] = part_type;
            if (c_pnt) c_pnt->num[row] = static_cast<double>(pnt);
            c_x->num[row] = f64_at(rec, s.xy_at + 16 * i);
            c_y->num[row] = f64_at(rec, s.xy_at + 16 * i + 8);
            if (c_z && s.z_at != NPOS) c_z->num[row] = f64_at(rec, s.z_at + 8 * i);
            if (c_m && s.m_at != NPOS) {
                double m = f64_at(rec, s.m_at + 8 * i);
                c_m->num[row] = m < SHP_NO_DATA ? vxs_missing : m;
            }
        }
        // The record's attributes on each of its rows; records beyond the table have none.
        if (ordinal < static_cast<size_t>(attrs ? attrs->row_count : 0)) {
            for (auto& [a, c] : attr_cols) {
                if (a->is_text()) {
                    std::string_view t = a->text.get(ordinal);
                    for (size_t r = first_row; r < row; ++r) c->text.set(r, t);
                } else {
                    std::fill(c->num.begin() + static_cast<std::ptrdiff_t>(first_row),
                              c->num.begin() + static_cast<std::ptrdiff_t>(row), a->num[ordinal]);
                }
            }
        }
    }
    if (attrs) vxs_release_sheet(attrs);  // copied: its memory is the factors' room
    if (!walk.ok) return 0;

    // Shapes that hold no more values than their counts promised leave their rows missing.
    for (Column* c : {c_rec, c_part, c_pnt, c_type}) {
        if (c && !convert_variate_to_factor(c, 1)) return 0;
    }
    if (c_type) {
        std::vector<std::string> labels(static_cast<size_t>(c_type->nlevels));
        size_t longest = 0;
        for (size_t i = 0; i < labels.size(); ++i) {
            double v = c_type->origin == 1 && i < c_type->levels.size()
                           ? c_type->levels[i]
                           : static_cast<double>(i + 1);
            labels[i] = std::to_string(i + 1);
            if (v >= 1 && v <= 6) labels[i] = gis_mpch_description[static_cast<int>(v) - 1];
            longest = std::max(longest, labels[i].size());
        }
        if (c_type->origin != 1) {
            c_type->levels.resize(labels.size());
            for (size_t i = 0; i < labels.size(); ++i)
                c_type->levels[i] = static_cast<double>(i + 1);
        }
        c_type->labels = std::move(labels);
        c_type->origin = 2;
        c_type->longest_label = static_cast<int32_t>(longest);
    }
    return 1;
}

int16_t read_gis_shape_source(VxsSource& src) {
    const char* path = src.name().c_str();
    std::string_view bytes;
    if (!src.is_open() || !src.whole(bytes)) {
        std::printf("Shape File %s was not found", path);
        return 0;
    }
    std::string up = upper(src.name());
    size_t dot = up.rfind('.');
    size_t at = dot == std::string::npos ? std::string::npos : up.find(".SHP", dot);
    if (at == std::string::npos) {
        std::printf("Shape File %s must use the extension .SHP", path);
        return 0;
    }
    if (at >= 253) {
        std::printf("Shape Filename %.340s is too long", path);
        return 0;
    }
    // Tools that write lower-case names (ogr2ogr) give ".dbf" beside ".shp".
    VxsSource table = src.open_sibling(".DBF");
    bool have_table = table.is_open() && table.seekable();
    if (!have_table) std::printf("Shape dBASE table %s was not found", src.sibling_name(".DBF").c_str());
    ByteReader shp(bytes);
    return vxs_decode_shape(shp, have_table ? &table : nullptr, path);
}

int16_t read_gis_shape_file(const char* path) {
    VxsSource src;
    src.open_file(path);
    return read_gis_shape_source(src);
}
