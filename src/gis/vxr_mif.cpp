// MapInfo interchange reader: a Feature column naming each object's kind, REC (and PART, PNT)
// keys, the coordinates, text labels, arc angles and corner roundings, then the .mid values.
#include "vxr_mif.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../sheet/vxs_format_entries.h"
#include "../sheet/byte_reader.h"
#include "../sheet/vxs_conv.h"
#include "../sheet/vxs_dates.h"

namespace {

constexpr size_t MIF_LINE = 4100;

const char* const mif_description[] = {"Null", "Point", "Line",      "PolyLine",          "Region",
                                       "Arc",  "Text",  "Rectangle", "Rounded Rectangle", "Elipse"};
const char* const pnt_col_names[] = {"Feature", "REC", "X", "Y"};
const char* const lin_col_names[] = {"Feature", "REC", "PNT", "X", "Y"};
const char* const mpt_col_names[] = {"Feature", "REC", "PART", "PNT", "X", "Y"};

enum Kind {
    K_NONE = 1,
    K_POINT,
    K_LINE,
    K_PLINE,
    K_REGION,
    K_ARC,
    K_TEXT,
    K_RECT,
    K_ROUNDRECT,
    K_ELLIPSE
};
enum ColType { C_TEXT, C_NUMBER, C_DATE, C_LOGICAL };

struct MifColumn {
    std::string name;
    ColType type = C_NUMBER;
};

bool starts_nocase(std::string_view s, std::string_view key) {
    if (s.size() < key.size()) return false;
    for (size_t i = 0; i < key.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(s[i])) != key[i]) return false;
    return true;
}

std::string_view skip_blanks(std::string_view s) {
    size_t a = s.find_first_not_of(" \t");
    return a == std::string_view::npos ? std::string_view() : s.substr(a);
}

// Blank-separated fields of a line.
std::vector<std::string> fields(std::string_view s) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        size_t b = i;
        while (i < s.size() && s[i] != ' ' && s[i] != '\t') ++i;
        if (i > b) out.emplace_back(s.substr(b, i - b));
    }
    return out;
}

double num(const std::vector<std::string>& f, size_t i) {
    return i < f.size() ? std::atof(f[i].c_str()) : 0.0;
}
long count_at(const std::vector<std::string>& f, size_t i) {
    return i < f.size() ? std::atol(f[i].c_str()) : 0;
}

// Rows gathered from the objects, one entry per row.
struct Rows {
    std::vector<int8_t> feature;  // 0: a NONE object's row, no values
    std::vector<int32_t> rec, part, pnt;
    std::vector<double> x, y, angle, round;
    std::vector<int32_t> label;   // index into labels, -1 none
    std::vector<int32_t> object;  // the object (its .mid line) of the row
    void add(int kind, int32_t r, int32_t pa, int32_t pn, double xv, double yv, int32_t obj) {
        feature.push_back(static_cast<int8_t>(kind));
        rec.push_back(r), part.push_back(pa), pnt.push_back(pn);
        x.push_back(xv), y.push_back(yv);
        angle.push_back(vxs_missing), round.push_back(vxs_missing), label.push_back(-1);
        object.push_back(obj);
    }
};

double attribute_number(std::string_view item, ColType type) {
    std::string s(item);
    if (type == C_DATE) {
        long part[3] = {0, 0, 0};
        const size_t ends[3] = {4, 6, 8};
        size_t at = 0;
        std::string_view d = skip_blanks(item);
        if (d.size() < 8) return vxs_missing;
        for (int k = 0; k < 3; ++k)
            for (; at < ends[k]; ++at) {
                if (!std::isdigit(static_cast<unsigned char>(d[at]))) return vxs_missing;
                part[k] = part[k] * 10 + (d[at] - '0');
            }
        if (part[1] < 1 || part[1] > 12 || part[2] < 1 || part[2] > 31 || part[0] > 9000)
            return vxs_missing;
        return vxs_day_number(part[2], part[1], part[0]);
    }
    if (type == C_LOGICAL) {
        // As in dBase tables: T/F (and Y/N) are 1 and 0.
        std::string_view t = skip_blanks(item);
        if (!t.empty() && t[0] == '"') t.remove_prefix(1);
        if (!t.empty()) {
            char c = t[0];
            if (c == 'T' || c == 't' || c == 'Y' || c == 'y') return 1;
            if (c == 'F' || c == 'f' || c == 'N' || c == 'n') return 0;
        }
    }
    const char* p = s.c_str();
    char* endp = nullptr;
    errno = 0;
    double v = std::strtod(p, &endp);
    if (endp == p || errno == ERANGE || errno == EDOM || !std::isfinite(v)) return vxs_missing;
    return std::min(v, VXS_NUM_CEILING);
}

// Items of one .mid line split at the delimiter outside double quotes.
std::vector<std::string_view> split_items(std::string_view line, char delimiter) {
    std::vector<std::string_view> items;
    bool quoted = false;
    size_t start = 0;
    for (size_t i = 0; i <= line.size(); ++i) {
        if (i == line.size() || (line[i] == delimiter && !quoted)) {
            items.push_back(line.substr(start, i - start));
            start = i + 1;
        } else if (line[i] == '"') {
            quoted = !quoted;
        }
    }
    return items;
}

}  // namespace

size_t mgetline(std::string& line, size_t size, std::string_view text, size_t& pos) {
    if (size < 2) size = 2;
    for (;;) {
        if (pos >= text.size()) {
            line.clear();
            return 0;
        }
        size_t nl = text.find('\n', pos);
        size_t stop = nl == std::string_view::npos ? text.size() : nl + 1;
        stop = std::min(stop, pos + size - 1);
        line.assign(text.substr(pos, stop - pos));
        pos = stop;
        if (!line.empty() && line.back() == '\n') line.pop_back();
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.back() == '\n') line.pop_back();
        if (!line.empty()) return line.size();
    }
}

int16_t vxs_decode_mapinfo(std::string_view mif, const std::string* mid, const char* name) {
    size_t pos = 0;
    std::string line;
    if (!mgetline(line, MIF_LINE, mif, pos) || !starts_nocase(line, "VERSION")) {
        std::printf("%s is not a valid MapInfo file", name);
        return 0;
    }
    char delimiter = '\t';
    std::vector<MifColumn> columns;
    while (mgetline(line, MIF_LINE, mif, pos)) {
        std::string_view l = skip_blanks(line);
        if (starts_nocase(l, "DATA")) break;
        if (starts_nocase(l, "DELI")) {
            size_t q = l.find('"');
            if (q != std::string_view::npos && q + 1 < l.size()) delimiter = l[q + 1];
        } else if (starts_nocase(l, "COLU")) {
            size_t b = l.find(' ');
            long n = b == std::string_view::npos ? 0 : std::atol(std::string(l.substr(b)).c_str());
            for (long i = 0; i < n && mgetline(line, MIF_LINE, mif, pos); ++i) {
                std::string_view c = skip_blanks(line);
                size_t e = c.find_first_of(" \t");
                MifColumn col;
                col.name = std::string(c.substr(0, std::min<size_t>(e, VXS_MAX_NAME)));
                std::string_view t =
                    e == std::string_view::npos ? std::string_view() : skip_blanks(c.substr(e));
                col.type = starts_nocase(t, "CHAR")   ? C_TEXT
                           : starts_nocase(t, "DATE") ? C_DATE
                           : starts_nocase(t, "LOGI") ? C_LOGICAL
                                                      : C_NUMBER;
                columns.push_back(std::move(col));
            }
        }
    }

    // The objects, straight into rows.
    Rows rows;
    std::vector<std::string> labels;
    int geometry = 0;
    bool any_text = false, any_arc = false, any_round = false;
    int32_t objects = 0;       // objects that own a .mid line
    long collection_left = 0;  // parts of a collection still to come: they share its record
    auto next_line = [&](std::vector<std::string>& f) {
        if (!mgetline(line, MIF_LINE, mif, pos)) return false;
        f = fields(line);
        return true;
    };
    std::vector<std::string> f;
    while (mgetline(line, MIF_LINE, mif, pos)) {
        std::string_view l = skip_blanks(line);
        int kind = 0;
        if (starts_nocase(l, "NONE"))
            kind = K_NONE;
        else if (starts_nocase(l, "POIN"))
            kind = K_POINT;
        else if (starts_nocase(l, "LINE"))
            kind = K_LINE;
        else if (starts_nocase(l, "PLIN"))
            kind = K_PLINE;
        else if (starts_nocase(l, "REGI"))
            kind = K_REGION;
        else if (starts_nocase(l, "ARC"))
            kind = K_ARC;
        else if (starts_nocase(l, "TEXT"))
            kind = K_TEXT;
        else if (starts_nocase(l, "RECT"))
            kind = K_RECT;
        else if (starts_nocase(l, "ROUN"))
            kind = K_ROUNDRECT;
        else if (starts_nocase(l, "ELIP") || starts_nocase(l, "ELLI"))
            kind = K_ELLIPSE;
        else if (starts_nocase(l, "MULT") || starts_nocase(l, "COLL")) {
            // Kinds without rows of their own still own their .mid line.
            bool in_collection = collection_left > 0;
            if (in_collection)
                --collection_left;
            else
                ++objects;
            if (starts_nocase(l, "COLL")) collection_left = std::max(0L, count_at(fields(l), 1));
            continue;
        }
        if (!kind) continue;  // pen, brush, symbol and the like
        if (collection_left > 0)
            --collection_left;
        else
            ++objects;
        const int32_t rec = objects;
        const int32_t obj = objects - 1;
        f = fields(l);
        switch (kind) {
            case K_NONE:
                rows.add(0, 0, 0, 0, vxs_missing, vxs_missing, obj);
                break;
            case K_POINT:
                rows.add(kind, rec, 1, 1, num(f, 1), num(f, 2), obj);
                geometry = std::max(geometry, 2);
                break;
            case K_LINE:
            case K_ARC:
            case K_TEXT: {
                std::string label;
                if (kind == K_TEXT) {
                    // The label may follow on the same line or stand on the next.
                    std::string_view t = l.substr(4);
                    if (t.find('"') == std::string_view::npos && mgetline(line, MIF_LINE, mif, pos))
                        t = line;
                    size_t a = t.find('"'), b = t.rfind('"');
                    label = a == std::string_view::npos ? std::string(skip_blanks(t))
                            : b > a                     ? std::string(t.substr(a + 1, b - a - 1))
                                                        : std::string(t.substr(a + 1));
                    if (label.size() > VXS_MAX_TEXT) label.resize(VXS_MAX_TEXT);
                    if (!next_line(f)) f.clear();
                    f.insert(f.begin(), "TEXT");
                }
                size_t first = rows.x.size();
                rows.add(kind, rec, 1, 0, num(f, 1), num(f, 2), obj);
                rows.add(kind, rec, 1, 1, num(f, 3), num(f, 4), obj);
                if (kind == K_ARC) {
                    std::vector<std::string> a;
                    if (next_line(a))
                        rows.angle[first] = num(a, 0), rows.angle[first + 1] = num(a, 1);
                    any_arc = true;
                }
                if (kind == K_TEXT) {
                    rows.label[first] = rows.label[first + 1] = static_cast<int32_t>(labels.size());
                    labels.push_back(std::move(label));
                    any_text = true;
                }
                geometry = std::max(geometry, 3);
                break;
            }
            case K_RECT:
            case K_ROUNDRECT:
            case K_ELLIPSE: {
                double x1 = num(f, 1), y1 = num(f, 2), x2 = num(f, 3), y2 = num(f, 4);
                size_t first = rows.x.size();
                rows.add(kind, rec, 1, 0, x1, y1, obj);
                rows.add(kind, rec, 1, 1, x1, y2, obj);
                rows.add(kind, rec, 1, 2, x2, y2, obj);
                rows.add(kind, rec, 1, 3, x2, y1, obj);
                if (kind == K_ROUNDRECT) {
                    std::vector<std::string> a;
                    if (next_line(a))
                        for (size_t k = first; k < first + 4; ++k) rows.round[k] = num(a, 0);
                    any_round = true;
                }
                geometry = std::max(geometry, kind == K_RECT ? 4 : 3);
                break;
            }
            case K_PLINE:
            case K_REGION: {
                long sections = 1, points = -1;
                if (kind == K_REGION) {
                    sections = count_at(f, 1);
                } else if (f.size() > 2 && starts_nocase(f[1], "MULTIPLE")) {
                    sections = count_at(f, 2);
                } else if (f.size() > 1) {
                    points = count_at(f, 1);  // the count on the keyword's line
                }
                for (long sct = 1; sct <= sections; ++sct) {
                    if (points < 0) {
                        if (!next_line(f)) break;
                        points = count_at(f, 0);
                    }
                    for (long p = 1; p <= points; ++p) {
                        if (!next_line(f)) break;
                        rows.add(kind, rec, static_cast<int32_t>(sct), static_cast<int32_t>(p),
                                 num(f, 0), num(f, 1), obj);
                    }
                    points = -1;
                }
                geometry = std::max(geometry, 4);
                break;
            }
        }
    }
    const size_t nrows = rows.x.size();
    if (nrows == 0 || nrows > 0x7fffffff) return 0;

    // Attribute lines, one per object.
    std::vector<std::string_view> mid_lines;
    std::vector<std::string> mid_store;
    if (mid) {
        if (columns.size() > static_cast<size_t>(VXSMAXCOLUMNS)) {
            std::printf("Maximum number of columns (%i) exceeded.\nIgnoring extra columns.",
                        static_cast<int>(VXSMAXCOLUMNS));
            columns.resize(static_cast<size_t>(VXSMAXCOLUMNS));
        }
        size_t mpos = 0;
        std::string ml;
        for (int32_t i = 0; i < objects && mgetline(ml, MIF_LINE, *mid, mpos); ++i)
            mid_store.push_back(ml);
    } else {
        columns.clear();
    }

    Sheet* sheet = create_sheet();
    if (!sheet) return 0;
    sheet->kind = VXS_VECTOR;
    sheet->missing = vxs_missing;
    sheet->source_type = VXT_MIF;
    vxs_set_gregorian(sheet->defaults.gregorian);
    sheet->row_count = static_cast<int32_t>(nrows);
    if (!create_row_attr(sheet)) return 0;
    const int32_t n = sheet->row_count;

    // Arcs have no column list of their own: they take the line columns.
    const char* const* names = nullptr;
    size_t ncols = 0;
    if (geometry == 2) names = pnt_col_names, ncols = 4;
    if (geometry == 3) names = lin_col_names, ncols = 5;
    if (geometry >= 4) names = mpt_col_names, ncols = 6;
    Column *c_feature = nullptr, *c_rec = nullptr, *c_part = nullptr, *c_pnt = nullptr,
           *c_x = nullptr, *c_y = nullptr;
    for (size_t i = 0; i < ncols; ++i) {
        Column* c = create_column_with_memory(sheet, VXS_VARIATE, names[i], n);
        if (!c) return 0;
        std::string_view nm = names[i];
        (nm == "Feature" ? c_feature
         : nm == "REC"   ? c_rec
         : nm == "PART"  ? c_part
         : nm == "PNT"   ? c_pnt
         : nm == "X"     ? c_x
                         : c_y) = c;
    }
    Column* c_label =
        any_text ? create_column_with_memory(sheet, VXS_TEXT, "TextLabel", n) : nullptr;
    Column* c_angle =
        any_arc ? create_column_with_memory(sheet, VXS_VARIATE, "ArcAngle", n) : nullptr;
    Column* c_round =
        any_round ? create_column_with_memory(sheet, VXS_VARIATE, "RectRound", n) : nullptr;
    std::vector<Column*> attr;
    for (const MifColumn& mc : columns) {
        Column* c = create_column_with_memory(sheet, mc.type == C_TEXT ? VXS_TEXT : VXS_VARIATE,
                                              mc.name, n);
        if (!c) break;
        if (mc.type == C_DATE) c->representation = VXS_REP_DATE;
        attr.push_back(c);
    }

    for (size_t r = 0; r < nrows; ++r) {
        if (rows.feature[r] == 0) continue;
        if (c_feature) c_feature->num[r] = rows.feature[r];
        if (c_rec) c_rec->num[r] = rows.rec[r];
        if (c_part) c_part->num[r] = rows.part[r];
        if (c_pnt) c_pnt->num[r] = rows.pnt[r];
        if (c_x) c_x->num[r] = rows.x[r];
        if (c_y) c_y->num[r] = rows.y[r];
        if (c_label && rows.label[r] >= 0)
            c_label->text.set(r, labels[static_cast<size_t>(rows.label[r])]);
        if (c_angle) c_angle->num[r] = rows.angle[r];
        if (c_round) c_round->num[r] = rows.round[r];
    }

    bool truncated = false;
    if (!attr.empty()) {
        size_t r = 0;
        while (r < nrows) {
            size_t obj = static_cast<size_t>(rows.object[r]);
            size_t stop = r;
            while (stop < nrows && rows.object[stop] == rows.object[r]) ++stop;
            if (obj < mid_store.size()) {
                std::vector<std::string_view> items = split_items(mid_store[obj], delimiter);
                for (size_t i = 0; i < attr.size() && i < items.size(); ++i) {
                    std::string_view item = items[i];
                    if (item.size() > VXS_MAX_TEXT) {
                        item = item.substr(0, VXS_MAX_TEXT);
                        truncated = true;
                    }
                    if (!item.empty() && item.back() == '"') item.remove_suffix(1);
                    Column* c = attr[i];
                    if (c->is_text()) {
                        if (!item.empty() && item.front() == '"') item.remove_prefix(1);
                        for (size_t k = r; k < stop; ++k) c->text.set(k, item);
                    } else {
                        double v = attribute_number(item, columns[i].type);
                        std::fill(c->num.begin() + static_cast<std::ptrdiff_t>(r),
                                  c->num.begin() + static_cast<std::ptrdiff_t>(stop), v);
                    }
                }
            }
            r = stop;
        }
        for (Column* c : attr) {
            if (!c->is_text()) continue;
            size_t longest = 0;
            for (size_t k = 0; k < c->text.size(); ++k)
                longest = std::max(longest, c->text.get(k).size());
            c->nlevels = static_cast<int32_t>(longest);
        }
    }
    if (c_label) {
        size_t longest = 0;
        for (const auto& s : labels) longest = std::max(longest, s.size());
        c_label->nlevels = static_cast<int32_t>(longest);
    }

    for (Column* c : {c_feature, c_rec, c_part, c_pnt})
        if (c && !convert_variate_to_factor(c, 1)) return 0;
    if (c_feature) {
        std::vector<std::string> fl(static_cast<size_t>(c_feature->nlevels));
        size_t longest = 0;
        for (size_t i = 0; i < fl.size(); ++i) {
            double v = c_feature->origin == 1 && i < c_feature->levels.size()
                           ? c_feature->levels[i]
                           : static_cast<double>(i + 1);
            fl[i] = std::to_string(i + 1);
            if (v >= 1 && v <= 10) fl[i] = mif_description[static_cast<int>(v) - 1];
            longest = std::max(longest, fl[i].size());
        }
        if (c_feature->origin != 1) {
            c_feature->levels.resize(fl.size());
            for (size_t i = 0; i < fl.size(); ++i)
                c_feature->levels[i] = static_cast<double>(i + 1);
        }
        c_feature->labels = std::move(fl);
        c_feature->origin = 2;
        c_feature->longest_label = static_cast<int32_t>(longest);
    }
    if (truncated)
        std::printf("Some Text columns from MapInfo File %s\n were truncated to %i characters",
                    name, static_cast<int>(VXS_MAX_TEXT));
    return 1;
}

int16_t read_mapinfo_file(const char* path) {
    std::string text;
    if (!vxs_read_whole_file(path, text)) {
        std::printf("MapInfo File %s was not found", path);
        return 0;
    }
    std::string p = path, up = path;
    for (char& c : up) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    size_t dot = up.rfind('.');
    size_t at = dot == std::string::npos ? std::string::npos : up.find(".MIF", dot);
    if (at == std::string::npos) {
        std::printf("MapInfo File %s must use the extension .MIF", path);
        return 0;
    }
    if (at > 252) {
        std::printf("MapInfo Filename %.200s is too long", path);
        return 0;
    }
    std::string base = p.substr(0, at), mid;
    bool have_mid = vxs_read_whole_file((base + ".MID").c_str(), mid) ||
                    vxs_read_whole_file((base + ".mid").c_str(), mid);
    if (!have_mid)
        std::printf("MapInfo Data record file %s was not found", (base + ".MID").c_str());
    return vxs_decode_mapinfo(text, have_mid ? &mid : nullptr, path);
}
