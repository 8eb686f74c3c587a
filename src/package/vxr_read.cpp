// The package spreadsheet file (.VSH) reader: header, structure block and column records of
// versions 0 (headerless) to 3, written on either byte order. The trailer is not needed.
#include "vxr_read.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_access.h"
#include "vxs_package.h"

namespace {

constexpr int32_t kRestrictionType = 21;
// A row count beyond the bytes of the file is believed only this far: a column may hold fewer
// values than the sheet has rows, but a lying count must not size the row list.
constexpr int64_t kRowsWithoutBytes = int64_t(1) << 20;

int g_version = 3;  // version of the file being read; steers read_column

uint32_t swap32(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xff00) | ((v << 8) & 0xff0000) | (v << 24);
}

int32_t clamp32(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

bool is_numeric_kind(int32_t type) {
    switch (type) {
        case 1:
        case 4:
        case 5:
        case 7:
        case 22:
        case -4:
            return true;
        default:
            return false;
    }
}

// A length-prefixed text whose length is checked against the bytes left.
bool read_str(ByteReader& in, std::string& out, int32_t min_length) {
    int32_t n = in.i32();
    if (!in.ok() || n < min_length || !in.has(static_cast<size_t>(n))) return false;
    out = in.str(static_cast<size_t>(n));
    return in.ok();
}

bool read_name(ByteReader& in, std::string& out, int32_t max_length) {
    int32_t n = in.i32();
    if (!in.ok() || n < 1 || n > max_length || !in.has(static_cast<size_t>(n))) return false;
    out = in.str(static_cast<size_t>(n));
    return in.ok();
}

double mapped(double v, double missing) { return vxs_is_missing(v) ? missing : v; }

bool type_allowed(const Sheet* s, int32_t number, int32_t type) {
    bool first = number == 1;
    switch (s->kind) {
        case VXS_VECTOR:
            return type == -4 || type == -3 || type == 2 || type == 3 || type == 4 || type == 21 ||
                   type == 22;
        case VXS_MATRIX:
            return type == 5 || (first && (type == -4 || type == -3));
        case VXS_SYMMATRIX:
            return type == 7 || (first && (type == -4 || type == -3));
        case VXS_DIAGMATRIX:
            return type == 6 || (first && (type == -4 || type == -3));
        case VXS_TABLE:
            return type == 8 || (first && type == 2);
        case VXS_SCALARS:
            return type == 1;
        default:
            return false;
    }
}

bool count_allowed(const Sheet* s, int32_t number, int32_t count) {
    if (count < 0) return false;
    switch (s->kind) {
        case VXS_VECTOR:
            return count <= s->row_count;
        case VXS_SYMMATRIX:
            return count == s->row_count || count == s->row_count - number + s->units_count;
        default:
            return count == s->row_count;
    }
}

}  // namespace

int vxs_vsh_version(uint32_t w, bool& swapped) {
    swapped = false;
    const uint32_t magic[3] = {static_cast<uint32_t>(VXS_MAGIC_V1),
                               static_cast<uint32_t>(VXS_MAGIC_V2),
                               static_cast<uint32_t>(VXS_MAGIC_V3)};
    for (int v = 0; v < 3; ++v) {
        if (w == magic[v]) return v + 1;
        if (w == swap32(magic[v])) {
            swapped = true;
            return v + 1;
        }
    }
    if (w >= 1 && w <= 6) return 0;
    return -1;
}

int add_file_restriction(Sheet* sheet, int32_t count, ByteReader& in) {
    if (!sheet || count < 0 || static_cast<size_t>(count) > sheet->rows.size()) return 0;
    if (!in.has(static_cast<size_t>(count) * 4)) return 0;
    int32_t restricted = 0;
    for (int32_t r = 0; r < count; ++r) {
        int32_t flag = in.i32();
        if (flag != 0 && flag != 1) return 0;
        sheet->rows[static_cast<size_t>(r)].restricted = static_cast<int16_t>(flag);
        restricted += flag;
    }
    sheet->restricted_count = restricted;
    if (restricted > 0) sheet->restriction_present = 1;
    return in.ok() ? 1 : 0;
}

int add_column_data(Column* c, int32_t type, int32_t count, int32_t width, ByteReader& in) {
    if (!c || !c->sheet || count < 0) return 0;
    Sheet* s = c->sheet;
    const double missing = s->missing;
    const bool text = type == VXS_TEXT || type == VXS_UNITS_TEXT;
    // Every value takes at least four bytes: a count beyond the bytes left is a lie.
    if (!in.has(static_cast<size_t>(count) * (text ? 4 : 8))) return 0;
    int32_t drop = 0;
    if (s->kind == VXS_SYMMATRIX && type == VXS_SYMMAT_COL && count == s->row_count)
        drop = clamp32(c->position - s->units_count, 0, count);
    const int32_t kept = count - drop;

    int32_t w = width;
    if (text) {
        c->text.resize(static_cast<size_t>(kept));
        size_t longest = 0;
        for (int32_t k = 0; k < count; ++k) {
            int32_t n = in.i32();
            if (!in.ok() || n < 0 || !in.has(static_cast<size_t>(n))) return 0;
            std::string_view t = in.view(static_cast<size_t>(n));
            if (k < drop) continue;
            c->text.set(static_cast<size_t>(k - drop), t);
            longest = std::max(longest, std::min(t.size(), VXS_MAX_TEXT));
        }
        if (w == 0) w = std::max<int32_t>(3, static_cast<int32_t>(longest));
    } else {
        c->num.assign(static_cast<size_t>(kept), missing);
        const bool factor = type == VXS_FACTOR;
        int32_t digits = 0;
        for (int32_t k = 0; k < count; ++k) {
            double v = mapped(in.f64(), missing);
            if (!in.ok()) return 0;
            if (factor && v > missing) {
                double level = std::floor(v + 0.5);
                if (level != v || level < 1 || level > c->nlevels) return 0;
            }
            if (k < drop) continue;
            c->num[static_cast<size_t>(k - drop)] = v;
            if (w == 0 && v > missing) {
                double size = std::fabs(v);
                if (size > 1e-12 && size < 1e12)
                    digits = std::max(
                        digits,
                        static_cast<int32_t>(std::labs(static_cast<long>(std::log10(size)))) + 3);
                else if (size != 0)
                    digits = 15;
            }
        }
        if (w == 0) {
            if (factor && c->origin == 2) {
                w = 3;
                for (const auto& l : c->labels) w = std::max(w, static_cast<int32_t>(l.size()));
            } else {
                w = digits;
                if (c->decimals > 0)
                    w += c->decimals + 1;
                else if (c->decimals == -1)
                    w += 4;
            }
        }
    }
    if (width == 0) c->width = std::max(w, static_cast<int32_t>(c->name.size()) + 2);
    return 1;
}

int read_column(Sheet* s, int32_t number, ByteReader& in) {
    const int version = g_version;
    int32_t type = in.i32();
    int32_t count = in.i32();
    if (!in.ok()) return 0;
    bool known = type == -4 || type == -3 || (type >= 1 && type <= 8) || type == 21 || type == 22;
    if (!known || !count_allowed(s, number, count) || !type_allowed(s, number, type)) return 0;
    if (type == kRestrictionType) return add_file_restriction(s, count, in);

    std::string name, extra;
    if (!read_str(in, name, 1)) return 0;
    if (name.size() > VXS_MAX_NAME) name.resize(VXS_MAX_NAME);
    if (version >= 3) {
        if (!read_str(in, extra, 0)) return 0;
        if (extra.size() > VXS_MAX_NAME) extra.resize(VXS_MAX_NAME);
        if (extra == " ") extra.clear();
    }
    int32_t rep = in.i32();
    if (rep == 0) rep = 1;
    if (rep < 1 || rep > 5) return 0;
    const bool text = type == VXS_TEXT || type == VXS_UNITS_TEXT;
    if (text)
        rep = VXS_REP_TEXT;
    else if (type != VXS_FACTOR && rep == VXS_REP_TEXT)
        rep = VXS_REP_GENERAL;
    int32_t width = in.i32();
    if (width != 0) width = clamp32(width, 2, 90);
    int32_t justification = 0;
    if (version >= 2) {
        justification = in.i32();
        if (justification < 0 || justification > 3) return 0;
    }
    int32_t date_format = 1, gregorian = -1, flags = 0;
    if (version >= 3) {
        int32_t word = in.i32();
        gregorian = word / 64;
        date_format = word % 64;
        if (date_format < 0 || date_format > 40) date_format = 1;
        if (rep == VXS_REP_DATE && date_format == 0) {
            date_format = 1;
            gregorian = 1;
        }
        flags = in.i32();
        int32_t further = in.i32();
        if (!in.ok() || further < 0 || !in.skip(static_cast<size_t>(further))) return 0;
    }
    if (!in.ok()) return 0;

    int32_t decimals = -1;
    double table_constant = s->missing;
    const bool table2 = s->kind == VXS_TABLE && s->table_dims == 2;
    int32_t nlevels = 0, levels_present = 0, labels_present = 0, origin = 0, longest_label = 0;
    if (type == VXS_NUMERIC6) s->structure_name = name;
    if (type == VXS_TABLE_BODY && table2 && s->form_code == 3)
        table_constant = mapped(in.f64(), s->missing);
    if (is_numeric_kind(type) || type == VXS_NUMERIC6 || type == VXS_TABLE_BODY) {
        decimals = clamp32(in.i32(), -1, 20);
    } else if (text) {
        int32_t longest = in.i32();
        if (!in.ok() || longest < 0) return 0;
    } else if (type == VXS_FACTOR) {
        nlevels = in.i32();
        levels_present = in.i32();
        labels_present = in.i32();
        if (!in.ok() || nlevels < 0) return 0;
        if (levels_present != 0 && levels_present != nlevels) return 0;
        if (labels_present != 0 && labels_present != nlevels) return 0;
        if (version >= 2) {
            origin = in.i32();
            if (origin < 0 || origin > 2) return 0;
            if (origin == 2 && labels_present == 0) origin = 1;
            if (origin == 1 && levels_present == 0) origin = 0;
        } else {
            origin = labels_present ? 2 : levels_present ? 1 : 0;
        }
        if (origin == 2)
            rep = VXS_REP_TEXT;
        else if (rep == VXS_REP_TEXT)
            rep = VXS_REP_GENERAL;
        if (levels_present) decimals = clamp32(in.i32(), -1, 20);
        if (labels_present) {
            longest_label = in.i32();
            if (longest_label < 1) return 0;
        }
        // Level values take 8 bytes each and labels at least 4: counts beyond the bytes left lie.
        if (!in.ok() || !in.has(static_cast<size_t>(levels_present) * 8 +
                                static_cast<size_t>(labels_present) * 4))
            return 0;
    }
    if (!in.ok()) return 0;

    int32_t capacity = text ? 90 : (type == VXS_FACTOR && labels_present) ? 40 : 25;
    Column* c = create_column(s, type, name, capacity);
    if (!c) return 0;
    c->representation = (rep <= 1 && decimals >= 0 && decimals <= 9) ? VXS_REP_FIXED : rep;
    c->decimals = decimals;
    c->justification = justification;
    c->package_flags = flags & 0xffff;
    if ((type == VXS_FACTOR || text) && (flags >> 8) > 0) c->package_count = (flags >> 8) & 0xff;
    c->date_format = date_format;
    if (gregorian >= 0) c->gregorian = static_cast<int16_t>(gregorian);
    c->extra = extra;

    if (type == VXS_FACTOR) {
        c->nlevels = nlevels;
        c->origin = origin;
        c->longest_label = longest_label;
        c->levels.reserve(static_cast<size_t>(levels_present));
        for (int32_t k = 0; k < levels_present; ++k)
            c->levels.push_back(mapped(in.f64(), s->missing));
        for (int32_t k = 0; k < labels_present; ++k) {
            std::string label;
            if (!read_str(in, label, 0)) return 0;
            if (label.size() > VXS_MAX_NAME) label.resize(VXS_MAX_NAME);
            c->labels.push_back(std::move(label));
        }
        if (!in.ok()) return 0;
    }
    if (type == VXS_TABLE_BODY && table2) {
        c->alt_name = name;
        switch (s->form_code) {
            case 0:
            case 2:
                c->table_constant = c->position - s->units_count + 1;
                break;
            case 1: {
                errno = 0;
                char* end = nullptr;
                double v = std::strtod(c->name.c_str(), &end);
                c->table_constant =
                    (end == c->name.c_str() || errno == ERANGE || errno == EDOM) ? s->missing : v;
                break;
            }
            default:
                c->table_constant = table_constant;
                break;
        }
    }
    if (!add_column_data(c, type, count, width, in)) return 0;
    if (width != 0) c->width = width;
    return 1;
}

int16_t vxs_decode_vsh(ByteReader& in) {
    bool swapped = false;
    int version = vxs_vsh_version(in.u32_at(0), swapped);
    if (version < 0 || !in.has(4)) return 0;
    if (version > 0) in.skip(4);
    in.set_order(swapped ? Endian::Big : Endian::Little);
    g_version = version;

    int32_t kind = in.i32();
    int32_t ncols = in.i32();
    if (!in.ok() || kind < 1 || kind > 6 || ncols < 1) return 0;
    int32_t declared = ncols;
    if (ncols > VXSMAXCOLUMNS) {
        std::printf("Warning Columns above %li NOT transfered!\n",
                    static_cast<long>(VXSMAXCOLUMNS));
        ncols = VXSMAXCOLUMNS;
    }
    int32_t nrows = in.i32();
    if (!in.ok() || nrows < 0) return 0;
    if (kind == VXS_SYMMATRIX && declared != nrows && declared != nrows + 1) return 0;
    if (nrows > kRowsWithoutBytes && static_cast<uint64_t>(nrows) > in.remaining()) return 0;

    Sheet* s = create_sheet();
    if (!s) return 0;
    s->source_type = VXT_VSH;
    s->kind = kind;
    s->row_count = nrows;
    if (!create_row_attr(s)) return 0;
    s->missing = in.f64();
    // Cells count as data only above this value, and factor codes are checked only there: a
    // missing value the missing test would not take (not a number, an ordinary number) would
    // let any code through, so such a file is damaged.
    if (!vxs_is_missing(s->missing)) return 0;
    if (version >= 2) s->header_flag = in.i32() != 0 ? 1 : 0;
    if (version >= 3) {
        s->header_word = in.i32();
        in.i32();
        in.i32();
        int32_t further = in.i32();
        if (!in.ok() || further < 0 || !in.skip(static_cast<size_t>(further))) return 0;
    }
    if (!in.ok()) return 0;

    switch (kind) {
        case VXS_MATRIX:
        case VXS_SYMMATRIX: {
            if (!read_name(in, s->structure_name, VXS_MAX_NAME)) return 0;
            s->form_code = in.i32();
            if (!in.ok() || s->form_code < 0 || s->form_code > 2) return 0;
            break;
        }
        case VXS_DIAGMATRIX:
            if (declared > 2) return 0;
            break;
        case VXS_TABLE: {
            s->table_dims = in.i32();
            if (!in.ok() || s->table_dims < 1 || s->table_dims > 2) return 0;
            if (version >= 3) {
                int32_t m = in.i32();
                if (m < 0) return 0;
                s->margins = m ? 1 : 0;
                if (s->table_dims == 2) {
                    int32_t m2 = in.i32();
                    if (m2 < 0) return 0;
                    s->second_margins = m2 ? 1 : 0;
                }
            }
            // One-way tables of versions 1 and 2 carry the name part too.
            if (s->table_dims == 2 || version < 3) {
                if (!read_name(in, s->structure_name, VXS_MAX_NAME)) return 0;
                s->form_code = in.i32();
                if (!in.ok() || s->form_code < 0 || s->form_code > 3) return 0;
                if (!read_name(in, s->second_structure_name, VXS_MAX_NAME)) return 0;
            }
            break;
        }
        case VXS_SCALARS:
            if (nrows != 1) return 0;
            break;
        default:
            break;
    }
    if (!in.ok()) return 0;

    for (int32_t k = 1; k <= ncols; ++k)
        if (!read_column(s, k, in)) return 0;
    return 1;
}

int16_t read_file_into_sheet(const char* path) {
    std::string bytes;
    if (!vxs_read_whole_file(path, bytes)) return 0;
    ByteReader in(bytes);
    return vxs_decode_vsh(in);
}
