// Kelmora tablet files: one page of a tablet read into a sheet (variates, factors with their
// level values and labels, texts; a "colmatrix" page as a matrix), and any sheet written as a
// one-page tablet. Every integer and double is big-endian, whatever the host.
#include "vxr_kelmora.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_source.h"
#include "../sheet/vxs_options.h"
#include "../sheet/vxs_strings.h"
#include "../sheet/byte_writer.h"
#include "../sheet/vxs_access.h"
#include "../sheet/vxs_conv.h"
#include "../sheet/vxs_reader_kit.h"

const char* const p_attributes[KEL_PAGE_ATTRS] = {"A_NDIM", "A_MVREAL", "A_MVINT", "A_MVTEXT",
                                                  "A_COLFACTORNAME"};
const int32_t p_attr_type[KEL_PAGE_ATTRS] = {KEL_INTEGER, KEL_REAL, KEL_INTEGER, KEL_TEXT, KEL_TEXT};
const char* const c_attributes[KEL_COLUMN_ATTRS] = {"A_NVAL",   "A_PREM",   "A_POSTM", "A_NDIM",
                                                    "A_SHAPE",  "A_NLEVEL", "A_LEVELS", "A_LABELS"};
const int32_t c_attr_type[KEL_COLUMN_ATTRS] = {KEL_INTEGER, KEL_INTEGER, KEL_INTEGER, KEL_INTEGER,
                                               KEL_TEXT,    KEL_INTEGER, KEL_REAL,    KEL_TEXT};

std::optional<std::string> get_kel_text(ByteReader& in) {
    int32_t len = in.i32();
    if (!in.ok() || len < 1) return std::nullopt;
    std::string_view raw = in.view(static_cast<size_t>(len));
    return vxs_fixed_field(raw, VxsPad::Nul);
}

void write_kel_text(ByteWriter& out, const std::optional<std::string>& text) {
    if (!text) {
        out.i32(-1);
        return;
    }
    size_t len = (text->size() / 4 + 1) * 4;
    out.i32(static_cast<int32_t>(len));
    out.bytes(*text);
    out.fill(len - text->size(), '\0');
}

int convert_vector_to_matrix(Sheet* sheet, std::string_view name) {
    if (!sheet || sheet->kind != VXS_VECTOR) return 0;
    sheet->form_code = 2;
    for (size_t i = 1; i < sheet->cols.size(); ++i) {
        Column* col = sheet->cols[i].get();
        if (col->type == VXS_FACTOR) convert_factor_to_variate(col, 1);
        if (col->type == VXS_FACTOR || col->type == VXS_VARIATE) col->type = VXS_MATRIX_COL;
    }
    sheet->kind = VXS_MATRIX;
    sheet->structure_name = std::string(name.substr(0, VXS_MAX_NAME));
    return 1;
}

namespace {

// Values of a column or an attribute, in its data type. Reals are kept as their bits: missing
// codes are compared byte for byte (the real code is a NaN).
struct Values {
    int32_t type = KEL_REAL;
    std::vector<uint64_t> reals;
    std::vector<int32_t> ints;
    std::vector<std::optional<std::string>> texts;
    size_t size() const { return type == KEL_REAL ? reals.size() : type == KEL_TEXT ? texts.size() : ints.size(); }
};

struct Attr {
    int32_t count = 0;
    std::string name;
    int32_t type = KEL_REAL;
    int32_t pointer = 0;
    Values values;
};

struct KelColumn {
    int32_t count = 0;
    std::optional<std::string> name, kind;
    int32_t type = KEL_REAL;
    int32_t pointer = 0, attr_pointer = 0;
    std::vector<Attr> attrs;
    Values values;
    const Attr* attr(const char* n) const {
        for (const Attr& a : attrs)
            if (a.name == n) return &a;
        return nullptr;
    }
};

struct Page {
    int32_t ncols = 0, col_pointer = 0, nattrs = 0, attr_pointer = 0;
    std::optional<std::string> kind, name;
    std::vector<KelColumn> cols;
    std::vector<Attr> attrs;
    std::vector<int32_t> col_nattrs;  // attribute counts of the column structures
    int32_t rows = 0;
    const Attr* attr(const char* n) const {
        for (const Attr& a : attrs)
            if (a.name == n) return &a;
        return nullptr;
    }
};

// A read that ends the reader: its message is printed where it is raised.
struct Stop {};

void say(const char* message) { std::fputs(message, stdout); }

struct Parser {
    ByteReader in;
    int32_t counter = 0;

    int32_t i32() {
        int32_t v = in.i32();
        if (!in.ok()) throw Stop{};
        return v;
    }
    std::optional<std::string> text() {
        auto t = get_kel_text(in);
        if (!in.ok()) throw Stop{};
        return t;
    }
    // A repeated count: a different value is reported and wins.
    int32_t repeated(int32_t first, const char* message) {
        int32_t again = i32();
        if (again != first) say(message);
        return again;
    }
    void check_pointer(int32_t pointer, const char* message) {
        ++counter;
        if (pointer != counter) say(message);
    }
    // Each element takes at least min_size bytes: a count larger than the bytes left is a lie
    // and sizes nothing.
    void check_count(int32_t n, size_t min_size) {
        if (n < 0 || static_cast<uint64_t>(n) * min_size > in.remaining()) throw Stop{};
    }
    void read_values(Values& v, int32_t type, int32_t n) {
        v.type = type;
        check_count(n, type == KEL_REAL ? 8 : 4);
        const size_t count = static_cast<size_t>(n);
        if (type == KEL_REAL) {
            v.reals.resize(count);
            for (auto& x : v.reals) x = in.u64();
        } else if (type == KEL_INTEGER) {
            v.ints.resize(count);
            for (auto& x : v.ints) x = in.i32();
        } else {
            v.texts.reserve(count);
            for (size_t k = 0; k < count; ++k) v.texts.push_back(text());
        }
        if (!in.ok()) throw Stop{};
    }
    Attr attr_structure() {
        Attr a;
        a.count = i32();
        text();
        a.name = text().value_or("");
        a.type = i32();
        int32_t type2 = i32();
        a.pointer = i32();
        if (a.count < 0) {
            say("Illegal number of attributes found in Kelmora Tablet file\n");
            throw Stop{};
        }
        if (a.type < 0 || a.type > 2 || a.type != type2) {
            say("Illegal Kelmora Tablet data type found\n");
            throw Stop{};
        }
        return a;
    }
    void attr_structures(std::vector<Attr>& attrs, int32_t n) {
        check_count(n, 24);
        for (int32_t k = 0; k < n; ++k) attrs.push_back(attr_structure());
    }
    // One column structure; its attribute count is returned through nattrs (the structures
    // themselves come later, after the repeated count).
    KelColumn column_structure(int32_t& nattrs) {
        KelColumn c;
        c.count = i32();
        c.name = text();
        c.kind = text();
        c.type = i32();
        i32();  // visibility
        int32_t type2 = i32();
        c.pointer = i32();
        nattrs = i32();
        c.attr_pointer = i32();
        if (c.count < 0) {
            say("Illegal number of attributes found in Kelmora Tablet file\n");
            throw Stop{};
        }
        if (c.type < 0 || c.type > 2) {
            say("Illegal Kelmora Tablet data type found\n");
            throw Stop{};
        }
        if (type2 != c.type) say("Kelmora Tablet data type is inconsistent\n");
        if (nattrs < 0) {
            say("Illegal number of column attributes found in Kelmora Tablet file\n");
            throw Stop{};
        }
        return c;
    }
};

struct Tablet {
    std::vector<Page> pages;
};

// The whole layout in file order; false when the read ended (its message printed).
bool parse_tablet(Parser& p, Tablet& t) {
    int32_t npages = p.i32();
    int32_t tablet_pointer = p.i32();
    p.text();
    p.text();
    p.i32();
    p.i32();
    p.text();
    int32_t ntattrs = p.i32();
    p.i32();
    int32_t npages2 = p.i32();
    if (npages < 1) say("No pages found in Kelmora Tablet file\n");
    if (ntattrs < 0) {
        say("Illegal number of tablet attributes found in Kelmora Tablet file\n");
        return false;
    }
    if (npages2 != npages) {
        say("Number of Kelmora Tablet pages is inconsistent\n");
        npages = npages2;
    }
    if (npages < 1) return false;
    p.check_count(npages, 28);
    t.pages.resize(static_cast<size_t>(npages));
    for (Page& pg : t.pages) {
        pg.ncols = p.i32();
        pg.col_pointer = p.i32();
        pg.kind = p.text();
        pg.name = p.text();
        int32_t visible = p.i32();
        pg.nattrs = p.i32();
        pg.attr_pointer = p.i32();
        if (pg.ncols < 1 && npages == 1) {
            say("No columns found in Kelmora Tablet page\n");
            return false;
        }
        if (visible != 0 && visible != 1) say("Illegal Kelmora Tablet visibility status found\n");
        if (pg.nattrs < 0) {
            say("Illegal number of page attributes found in Kelmora Tablet file\n");
            return false;
        }
    }
    if (ntattrs > 0) {
        int32_t n = p.repeated(ntattrs, "Warning: Number of Kelmora Tablet attributes is inconsistent\n");
        p.check_pointer(tablet_pointer, "Kelmora Tablet Pointer ID mismatch in page structures\n");
        std::vector<Attr> tablet_attrs;
        p.attr_structures(tablet_attrs, n);
    }
    for (Page& pg : t.pages) {
        if (pg.ncols < 1) continue;
        pg.ncols = p.repeated(pg.ncols, "Number of Kelmora Tablet columns is inconsistent\n");
        p.check_pointer(pg.col_pointer, "Kelmora Tablet Pointer ID mismatch in columns structures\n");
        p.check_count(pg.ncols, 36);
        std::vector<int32_t> nattrs(static_cast<size_t>(pg.ncols));
        for (int32_t& n : nattrs) pg.cols.push_back(p.column_structure(n));
        pg.nattrs = p.repeated(pg.nattrs, "Warning: Number of Kelmora Tablet attributes is inconsistent\n");
        p.check_pointer(pg.attr_pointer, "Kelmora Tablet Pointer ID mismatch\n");
        if (pg.nattrs < 0) {
            say("Illegal number of page attributes found in Kelmora Tablet file\n");
            return false;
        }
        p.attr_structures(pg.attrs, pg.nattrs);
        pg.col_nattrs = std::move(nattrs);
    }
    // Then, page after page, the column values and attribute structures and the page
    // attributes' values.
    for (Page& pg : t.pages) {
        if (pg.cols.empty()) continue;
        const std::vector<int32_t>& nattrs = pg.col_nattrs;
        for (size_t c = 0; c < pg.cols.size(); ++c) {
            KelColumn& col = pg.cols[c];
            col.count = p.repeated(col.count, "Warning: Number of values in Kelmora Tablet column is inconsistent\n");
            p.check_pointer(col.pointer, "Kelmora Tablet Pointer ID mismatch in column values\n");
            if (col.count < 0) {
                say("Illegal number of attributes found in Kelmora Tablet file\n");
                return false;
            }
            p.read_values(col.values, col.type, col.count);
            int32_t n = p.repeated(nattrs[c], "Warning: Number of Kelmora Tablet columns is inconsistent\n");
            p.check_pointer(col.attr_pointer, "Kelmora Tablet Pointer ID mismatch\n");
            if (n < 0) {
                say("Illegal number of column attributes found in Kelmora Tablet file\n");
                return false;
            }
            p.attr_structures(col.attrs, n);
            pg.rows = std::max(pg.rows, col.count);
        }
        for (Attr& a : pg.attrs) {
            a.count = p.repeated(a.count, "Number of values in Kelmora Tablet attribute is inconsistent\n");
            p.check_pointer(a.pointer, "Kelmora Tablet Pointer ID mismatch in page attribute values\n");
            p.read_values(a.values, a.type, a.count);
        }
    }
    for (Page& pg : t.pages) {
        for (KelColumn& col : pg.cols) {
            for (Attr& a : col.attrs) {
                a.count = p.repeated(a.count, "Inconsistent length of column attributes found in Kelmora Tablet file\n");
                p.check_pointer(a.pointer, "Kelmora Tablet Pointer ID mismatch in column attribute values\n");
                p.read_values(a.values, a.type, a.count);
            }
        }
    }
    return true;
}

void list_pages(const char* path, const Tablet& t) {
    std::string text;
    char line[400];
    std::snprintf(line, sizeof line, "File: %s\nPages: %li\n", path, static_cast<long>(t.pages.size()));
    text += line;
    for (size_t k = 0; k < t.pages.size(); ++k) {
        const Page& pg = t.pages[k];
        std::string name = pg.name ? *pg.name : "Page " + std::to_string(k + 1);
        std::snprintf(line, sizeof line, "%s (%li columns x %li rows)\n", name.substr(0, 256).c_str(),
                      static_cast<long>(pg.cols.size()), static_cast<long>(pg.rows));
        text += line;
    }
    if (!vxs_options().name_file.empty()) {
        if (FILE* f = vxs_create_output_file(vxs_options().name_file.c_str())) {
            std::fputs(text.c_str(), f);
            std::fclose(f);
        }
    }
    vxs_fatal(text.c_str(), 0);
}

// The page the sheet argument names: its number written exactly, or its name in any case;
// the first page when none is given or the tablet has one page.
const Page* choose_page(const Tablet& t) {
    if (t.pages.size() == 1 || vxs_options().worksheet_name.empty()) return &t.pages[0];
    for (size_t k = 0; k < t.pages.size(); ++k)
        if (std::to_string(k + 1) == vxs_options().worksheet_name) return &t.pages[k];
    std::string wanted = vxs_options().worksheet_name;
    for (char& c : wanted)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const Page& pg : t.pages)
        if (pg.name && stricmp(pg.name->c_str(), wanted.c_str()) == 0) return &pg;
    return nullptr;
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

double bits_to_double(uint64_t bits) {
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

// One factor column's levels, labels and cells; false ends the read.
bool fill_factor(Column* col, const KelColumn& kc, double missing) {
    const Attr* nl = kc.attr("A_NLEVEL");
    const Attr* lv = kc.attr("A_LEVELS");
    const Attr* lb = kc.attr("A_LABELS");
    if (nl && nl->type != KEL_INTEGER) {
        say("Kelmora Tablet Factor number of levels not an integer\n");
        return false;
    }
    if (lv && lv->type != KEL_REAL) {
        say("Kelmora Tablet Factor levels are illegal\n");
        return false;
    }
    if (lb && lb->type != KEL_TEXT) {
        say("Kelmora Tablet Factor labels not legal text\n");
        return false;
    }
    int32_t nlevels = nl && !nl->values.ints.empty() ? nl->values.ints[0] : 0;
    if (nlevels < 1) {
        say("Kelmora Tablet Factor levels are missing\n");
        return false;
    }
    // A damaged count can claim billions of levels, and every list and writer would then walk
    // them all. Levels above every listed level value or label, the row count, every cell and
    // a thousand are unused and unnamed, so they are dropped: no cell or label is lost.
    size_t bound = std::max<size_t>({1000, col->num.size(), lv ? lv->values.reals.size() : 0,
                                     lb ? lb->values.texts.size() : 0});
    for (int32_t x : kc.values.ints)
        if (x > 0) bound = std::max(bound, static_cast<size_t>(x));
    if (static_cast<size_t>(nlevels) > bound) {
        std::printf("Warning: Kelmora Tablet Factor number of levels %li cut to %li\n",
                    static_cast<long>(nlevels), static_cast<long>(bound));
        nlevels = static_cast<int32_t>(bound);
    }
    // Level and label lists hold one entry per level; shorter lists are completed, longer cut.
    col->nlevels = nlevels;
    if (lv && !lv->values.reals.empty()) {
        for (int32_t k = 0; k < nlevels; ++k) {
            size_t i = static_cast<size_t>(k);
            col->levels.push_back(i < lv->values.reals.size() ? bits_to_double(lv->values.reals[i]) : k + 1.0);
        }
        col->origin = 1;
    }
    if (lb && !lb->values.texts.empty()) {
        col->longest_label = 0;
        for (int32_t k = 0; k < nlevels; ++k) {
            size_t i = static_cast<size_t>(k);
            std::string label = i < lb->values.texts.size() ? lb->values.texts[i].value_or("")
                                                           : std::to_string(k + 1);
            label.resize(std::min(label.size(), VXS_MAX_NAME));
            col->longest_label = std::max(col->longest_label, static_cast<int32_t>(label.size()));
            col->labels.push_back(std::move(label));
        }
        col->text_capacity = 41;
        col->origin = 2;
    }
    const Values& v = kc.values;
    for (size_t r = 0; r < v.ints.size() && r < col->num.size(); ++r) {
        int32_t x = v.ints[r];
        col->num[r] = x >= 1 && x <= nlevels ? x : missing;
    }
    return true;
}

int16_t build_sheet(const char* path, const Page& pg) {
    if (pg.cols.empty() || pg.rows < 1) {
        std::printf("No valid data found in Kelmora Tablet file %s", path);
        return 0;
    }
    Sheet* sheet = create_sheet();
    sheet->source_type = VXT_KELMORA;
    sheet->missing = vxs_missing;
    const double missing = sheet->missing;
    sheet->row_count = pg.rows;
    create_row_attr(sheet);
    if (sheet->column_count + static_cast<int32_t>(pg.cols.size()) > VXSMAXCOLUMNS)
        std::printf("Maximum number of columns (%i) exceeded.\nIgnoring extra columns.\n", static_cast<int>(VXSMAXCOLUMNS));

    std::optional<uint64_t> mv_real;
    std::optional<int32_t> mv_int;
    std::string mv_text = KEL_TMISSING;
    if (const Attr* a = pg.attr("A_MVREAL"); a && a->type == KEL_REAL && !a->values.reals.empty())
        mv_real = a->values.reals[0];
    if (const Attr* a = pg.attr("A_MVINT"); a && a->type == KEL_INTEGER && !a->values.ints.empty())
        mv_int = a->values.ints[0];
    if (const Attr* a = pg.attr("A_MVTEXT"); a && a->type == KEL_TEXT && !a->values.texts.empty() && a->values.texts[0])
        mv_text = *a->values.texts[0];

    bool clipped = false;
    for (size_t c = 0; c < pg.cols.size(); ++c) {
        const KelColumn& kc = pg.cols[c];
        int32_t type = VXS_VARIATE;
        std::string kind = kc.kind ? lower(*kc.kind) : std::string();
        if (kind == "variate") {
            if (kc.type != KEL_REAL) {
                say("Kelmora Tablet Variate column is not real data\n");
                continue;
            }
        } else if (kind == "factor") {
            if (kc.type != KEL_INTEGER) {
                say("Kelmora Tablet Factor column is not integer data\n");
                continue;
            }
            type = VXS_FACTOR;
        } else if (kind == "text") {
            if (kc.type != KEL_TEXT) {
                say("Kelmora Tablet Text column is not character data\n");
                continue;
            }
            type = VXS_TEXT;
        } else if (!kc.kind) {
            type = kc.type == KEL_TEXT ? VXS_TEXT : VXS_VARIATE;
        } else {
            continue;
        }
        std::string name = kc.name ? kc.name->substr(0, VXS_MAX_NAME) : "C" + std::to_string(c + 1);
        make_valid_vantrix_name(name);
        Column* col = create_column_with_memory(sheet, type, name, pg.rows);
        if (!col) break;
        const Values& v = kc.values;
        if (type == VXS_FACTOR) {
            col->nlevels = 0;
            if (!fill_factor(col, kc, missing)) return 0;
        } else if (type == VXS_TEXT) {
            for (size_t r = 0; r < v.texts.size(); ++r) {
                const std::optional<std::string>& t = v.texts[r];
                if (t && *t != mv_text) col->text.set(r, *t);
            }
        } else {
            for (size_t r = 0; r < v.size(); ++r) {
                double x;
                if (v.type == KEL_REAL) {
                    if (mv_real && v.reals[r] == *mv_real) continue;
                    x = bits_to_double(v.reals[r]);
                } else if (v.type == KEL_INTEGER) {
                    if (mv_int && v.ints[r] == *mv_int) continue;
                    x = v.ints[r];
                } else {
                    continue;
                }
                if (std::isnan(x) || std::isinf(x) || x <= missing) continue;
                if (x > VXS_NUM_CEILING) {
                    x = VXS_NUM_CEILING;
                    clipped = true;
                }
                col->num[r] = x;
            }
        }
    }
    // Every column skipped (kinds this reader does not know): no data.
    if (sheet->column_count == 0) {
        lastsheet = nullptr;
        return 1;
    }
    for (size_t i = 1; i < sheet->cols.size(); ++i) vxs_set_default_column_width(sheet->cols[i].get(), 0);
    if (pg.name) vxs_add_line_to_description(sheet, *pg.name);
    if (pg.kind && lower(*pg.kind) == "colmatrix") {
        std::string matrix = pg.name ? pg.name->substr(0, VXS_MAX_NAME) : "VMatrix";
        make_valid_vantrix_name(matrix);
        convert_vector_to_matrix(sheet, matrix);
        if (const Attr* a = pg.attr("A_COLFACTORNAME")) {
            if (a->type != KEL_TEXT) {
                say("Kelmora Tablet Column Factor name is not a text\n");
                return 0;
            }
            if (!a->values.texts.empty() && a->values.texts[0])
                sheet->second_structure_name = a->values.texts[0]->substr(0, VXS_MAX_NAME);
        }
    }
    if (clipped) std::printf("Numbers in %.100s greater than %s have been set to this value.", path, "9.99999E+307");
    return 1;
}

}  // namespace

int16_t read_kelmora_into_sheet(const char* path) {
    VxsSource src;
    src.open_file(path);
    return read_kelmora_source(src);
}

int16_t read_kelmora_source(VxsSource& src) {
    const std::string name = src.name();
    const char* path = name.c_str();
    std::string_view bytes;
    if (!src.is_open() || !src.whole(bytes)) {
        std::printf("Kelmora Tablet file %s not found\n", path);
        return 0;
    }
    if (bytes.size() < KEL_FIRST_LINE_SIZE || strnicmp(bytes.data(), KEL_FIRST_LINE, KEL_SIGNATURE_SIZE) != 0) {
        std::printf("%s\nis not in Kelmora Tablet file format\n", path);
        return 0;
    }
    Parser p{ByteReader(bytes, Endian::Big)};
    p.in.skip(KEL_FIRST_LINE_SIZE);
    Tablet t;
    try {
        if (!parse_tablet(p, t)) return 0;
    } catch (const Stop&) {
        return 0;
    }
    if (vxs_options().name_dump) list_pages(path, t);
    const Page* pg = choose_page(t);
    if (!pg) {
        std::printf("No valid data found in Kelmora Tablet file %s", path);
        return 0;
    }
    return build_sheet(path, *pg);
}

namespace {

struct OutAttr {
    const char* name;
    int32_t type;
    Values values;
};

OutAttr int_attr(const char* name, int32_t v) {
    OutAttr a{name, KEL_INTEGER, {}};
    a.values.type = KEL_INTEGER;
    a.values.ints.push_back(v);
    return a;
}

OutAttr text_attr(const char* name, std::string v) {
    OutAttr a{name, KEL_TEXT, {}};
    a.values.type = KEL_TEXT;
    a.values.texts.emplace_back(std::move(v));
    return a;
}

void write_values(ByteWriter& out, const Values& v) {
    out.i32(static_cast<int32_t>(v.size()));
    for (uint64_t x : v.reals) out.u64(x);
    for (int32_t x : v.ints) out.i32(x);
    for (const auto& t : v.texts) write_kel_text(out, t);
}

void write_attr_structure(ByteWriter& out, const OutAttr& a, int32_t pointer) {
    out.i32(static_cast<int32_t>(a.values.size()));
    write_kel_text(out, std::nullopt);
    write_kel_text(out, std::string(a.name));
    out.i32(a.type);
    out.i32(a.type);
    out.i32(pointer);
}

uint64_t double_bits(double d) {
    uint64_t b;
    std::memcpy(&b, &d, 8);
    return b;
}

}  // namespace

int16_t write_sheet_as_kelmora(Sheet* sheet, const char* path) {
    if (!sheet || sheet->row_count < 1 || sheet->column_count < 1 || sheet->cols.size() < 2) return 0;
    ByteWriter out(Endian::Big);
    if (!out.open(path)) {
        std::printf("Writing Kelmora File - could not open file: %.100s\n", path);
        return 0;
    }
    const double missing = sheet->missing;
    const int32_t rows = sheet->row_count;
    const char* kind = "datamatrix";
    if (sheet->kind == VXS_MATRIX || sheet->kind == VXS_DIAGMATRIX) kind = "colmatrix";
    if (sheet->kind == VXS_SYMMATRIX) kind = "symmetricmatrix";
    if (sheet->kind == VXS_TABLE) kind = "table";

    std::vector<OutAttr> page_attrs;
    if (sheet->kind >= VXS_MATRIX && sheet->kind <= VXS_TABLE) page_attrs.push_back(int_attr("A_NDIM", 2));
    OutAttr mvreal{"A_MVREAL", KEL_REAL, {}};
    mvreal.values.reals.push_back(KEL_DMISSING);
    page_attrs.push_back(mvreal);
    page_attrs.push_back(int_attr("A_MVINT", KEL_IMISSING));
    page_attrs.push_back(text_attr("A_MVTEXT", KEL_TMISSING));

    struct OutColumn {
        const Column* col;
        const char* kind;
        int32_t type;
        std::vector<OutAttr> attrs;
    };
    std::vector<OutColumn> cols;
    for (size_t i = 1; i < sheet->cols.size(); ++i) {
        const Column* col = sheet->cols[i].get();
        if (col->type == VXS_ROW) continue;
        OutColumn oc{col, "variate", KEL_REAL, {}};
        if (col->type == VXS_FACTOR) oc = {col, "factor", KEL_INTEGER, {}};
        if (col->is_text()) oc = {col, "text", KEL_TEXT, {}};
        oc.attrs.push_back(int_attr("A_NVAL", rows));
        oc.attrs.push_back(int_attr("A_PREM", 1));
        oc.attrs.push_back(int_attr("A_POSTM", 1));
        if (col->type == VXS_FACTOR) {
            oc.attrs.push_back(int_attr("A_NLEVEL", col->nlevels));
            if (col->levels_present() > 0) {
                OutAttr lv{"A_LEVELS", KEL_REAL, {}};
                for (double x : col->levels) lv.values.reals.push_back(double_bits(x));
                oc.attrs.push_back(std::move(lv));
            }
            if (col->labels_present() > 0) {
                OutAttr lb{"A_LABELS", KEL_TEXT, {}};
                lb.values.type = KEL_TEXT;
                for (const std::string& l : col->labels) lb.values.texts.emplace_back(l);
                oc.attrs.push_back(std::move(lb));
            }
        }
        oc.attrs.push_back(int_attr("A_NDIM", 1));
        oc.attrs.push_back(text_attr("A_SHAPE", "1d"));
        cols.push_back(std::move(oc));
    }
    const int32_t ncols = static_cast<int32_t>(cols.size());
    std::optional<std::string> page_name;
    if (!sheet->description_lines.empty()) page_name = sheet->description_lines[0];

    out.bytes(std::string_view(KEL_FIRST_LINE, KEL_FIRST_LINE_SIZE));
    out.i32(1);
    out.i32(0);
    write_kel_text(out, std::string("Vantrix"));
    write_kel_text(out, sheet->source_file);
    out.i32(0);
    out.i32(0);
    write_kel_text(out, std::nullopt);
    out.i32(0);
    out.i32(-1);
    out.i32(1);
    // Pointer numbers in file order: the column structures, the page attributes, each
    // column's values and attribute structures, the page attributes' values, then the column
    // attributes' values.
    int32_t pointer = 0;
    out.i32(ncols);
    out.i32(++pointer);
    write_kel_text(out, std::string(kind));
    write_kel_text(out, page_name);
    out.i32(0);
    out.i32(static_cast<int32_t>(page_attrs.size()));
    out.i32(++pointer);

    out.i32(ncols);
    int32_t next = pointer;
    for (const OutColumn& oc : cols) {
        out.i32(rows);
        write_kel_text(out, oc.col->name);
        write_kel_text(out, std::string(oc.kind));
        out.i32(oc.type);
        out.i32(0);
        out.i32(oc.type);
        out.i32(++next);
        out.i32(static_cast<int32_t>(oc.attrs.size()));
        out.i32(++next);
    }
    out.i32(static_cast<int32_t>(page_attrs.size()));
    for (const OutAttr& a : page_attrs) write_attr_structure(out, a, ++next);
    std::vector<int32_t> col_attr_pointers;
    for (const OutColumn& oc : cols)
        for (size_t k = 0; k < oc.attrs.size(); ++k) col_attr_pointers.push_back(++next);

    size_t ca = 0;
    for (const OutColumn& oc : cols) {
        const Column* col = oc.col;
        out.i32(rows);
        for (int32_t r = 0; r < rows; ++r) {
            const size_t i = static_cast<size_t>(r);
            if (oc.type == KEL_TEXT) {
                std::string_view t = i < col->text.size() ? col->text.get(i) : std::string_view();
                write_kel_text(out, t.empty() ? std::string(KEL_TMISSING) : std::string(t));
                continue;
            }
            double x = i < col->num.size() ? col->num[i] : missing;
            if (oc.type == KEL_INTEGER) {
                out.i32(x >= 1 && x <= col->nlevels ? static_cast<int32_t>(x) : KEL_IMISSING);
            } else if (x > missing) {
                out.f64(x);
            } else {
                out.u64(KEL_DMISSING);
            }
        }
        out.i32(static_cast<int32_t>(oc.attrs.size()));
        for (const OutAttr& a : oc.attrs) write_attr_structure(out, a, col_attr_pointers[ca++]);
    }
    for (const OutAttr& a : page_attrs) write_values(out, a.values);
    for (const OutColumn& oc : cols)
        for (const OutAttr& a : oc.attrs) write_values(out, a.values);
    return out.close() ? 1 : 0;
}
