// Instat worksheet reader and writer: columns as variates or factors with label sets, the
// title and missing-value codes; strings, label sets and constants of a worksheet read are
// carried into the package command file.
#include "vxr_instat.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_source.h"
#include "../sheet/vxs_options.h"
#include "../package/vxs_package.h"
#include "../sheet/byte_reader.h"
#include "../sheet/byte_writer.h"
#include "../sheet/vxs_access.h"
#include "../sheet/vxs_conv.h"
#include "../sheet/vxs_txtnum.h"
#include "../sheet/vxs_reader_kit.h"

void read5b(const uint8_t* src, uint8_t out[5]) { std::memcpy(out, src, 5); }

int32_t calcint(const uint8_t b[5]) {
    return static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                                uint32_t(b[3]) << 24);
}

double readrl(const uint8_t b[5]) {
    if (b[4] == 0) return calcint(b);
    double d3 = b[3];
    double sign = 1;
    if (d3 >= 128)
        sign = -1;
    else
        d3 += 128;
    double f = (((b[0] / 256.0 + b[1]) / 256.0 + b[2]) / 256.0 + d3) / 256.0;
    return sign * std::ldexp(f, int(b[4]) - 127);
}

long readint(const uint8_t b[5]) {
    double v = readrl(b);
    return std::fabs(v) < 2147483648.0 ? static_cast<long>(v) : 0;
}

void long_to_5bytes(long n, uint8_t out[5]) {
    uint32_t u = static_cast<uint32_t>(n);
    for (int k = 0; k < 4; ++k) out[k] = static_cast<uint8_t>(u >> (8 * k));
    out[4] = 0;
}

void double_to_5bytes(double x, uint8_t out[5]) {
    if (vxs_is_missing(x)) x = vxs_options().instat_missing[0];
    // The exponent byte cannot hold magnitudes much past 1e38; both ends stop at 1e35, so a
    // missing code of "*" is written as -1e35 and still matches the cells written with it.
    if (x > INSTAT_MAX_VALUE) x = INSTAT_MAX_VALUE;
    if (x < -INSTAT_MAX_VALUE) x = -INSTAT_MAX_VALUE;
    if (x > -2147483648.0 && x < 2147483647.0 && x == std::floor(x)) {
        long_to_5bytes(static_cast<long>(x), out);
        return;
    }
    double a = std::fabs(x);
    int e = 0;
    if (a >= 1) {
        while (a >= 1) {
            a /= 2;
            ++e;
        }
    } else {
        while (a < 0.5) {
            a *= 2;
            --e;
        }
    }
    // Below 2^-126 no exponent byte is left above the integer marker 0: such a value is 0.
    if (127 + e < 1) {
        long_to_5bytes(0, out);
        return;
    }
    out[4] = static_cast<uint8_t>(127 + e);
    for (int k = 3; k >= 0; --k) {
        uint8_t byte = 0;
        for (int bit = 7; bit >= 0; --bit) {
            a *= 2;
            if (a >= 1) {
                byte |= static_cast<uint8_t>(1u << bit);
                a -= 1;
            }
        }
        out[k] = byte;
    }
    if (x > 0) out[3] &= 0x7F;
}

void long_to_2bytes(long n, uint8_t out[2]) {
    if (n < 0) n = 0;
    if (n > INSTAT_MAX_COUNT) n = INSTAT_MAX_COUNT;
    out[0] = static_cast<uint8_t>(n / 224 + 32);
    out[1] = static_cast<uint8_t>(n % 224 + 32);
}

namespace {

enum Action { kMissing = 0, kKeep = 1, kReplace = 2 };

// What the reader keeps of the worksheet last read, for the command file.
struct InstatState {
    const Sheet* node = nullptr;
    std::string title;
    long nmv = 0;
    double m[3] = {0, 0, 0};
    int opts[3] = {kMissing, kKeep, kKeep};
    double replace[3] = {0, 0, 0};
    std::vector<std::string> str;
    std::vector<std::vector<std::string>> label_sets;
    std::vector<double> con;
    long con_element = 0;
    std::map<const Column*, long> slots;  // worksheet number of each column read
};
InstatState g;

}  // namespace

int instat_missing(double* value, const double* missing) {
    for (long k = 0; k < g.nmv && k < 3; ++k) {
        if (*value != missing[k]) continue;
        if (g.opts[k] == kMissing) return 1;
        if (g.opts[k] == kReplace) *value = g.replace[k];
        return 0;
    }
    return *value < -INSTAT_MAX_VALUE ? 1 : 0;
}

namespace {

// Reads up to a carriage return, at most max + 1 characters, and ends the text there.
std::string get_uns_string(ByteReader& in, size_t max) {
    std::string s;
    for (size_t i = 0; i <= max && in.remaining(); ++i) {
        uint8_t c = in.u8();
        if (c == INSTAT_CR) break;
        s += static_cast<char>(c);
    }
    return s;
}

uint8_t at(const std::string& s, size_t i) {
    return i < s.size() ? static_cast<uint8_t>(s[i]) : ' ';
}

std::string trim_right(const std::string& s) { return vxs_fixed_field(s, VxsPad::Blank); }

// Attribute string lengths of the five groups, from the structure table.
size_t attribute_length(size_t g_, size_t a, const long ap[INSTAT_GROUPS][INSTAT_GROUP_FIELDS]) {
    long count = std::max(0L, ap[g_][INSTAT_COUNT]);
    if (g_ == INSTAT_G_COLUMNS) return static_cast<size_t>(a == 0 ? 2 * count + 1 : count + 1);
    if (g_ == INSTAT_G_RESERVED)
        return a == 4 ? 1 : (a == 1 || a == 2) ? static_cast<size_t>(count + 2) : 2;
    if (a == 3 || (g_ == INSTAT_G_CONSTANTS && a == 2)) return 0;
    return static_cast<size_t>(count + 1);
}

}  // namespace

int16_t read_instat_into_sheet(const char* path) {
    VxsSource src;
    if (path) src.open_file(path);
    return read_instat_source(src);
}

int16_t read_instat_source(VxsSource& src) {
    const std::string name = src.name();
    const char* path = name.c_str();
    std::string_view bytes;
    if (!src.is_open() || !src.whole(bytes)) {
        std::printf("Error: Cannot open INSTAT worksheet %.100s\n", path);
        return 0;
    }
    g = InstatState();
    vxs_set_command_extra(vxs_write_instat_extra);
    ByteReader in(bytes);
    std::string_view header = in.view(INSTAT_HEADER);
    auto five = [&in]() {
        uint8_t b[5] = {0, 0, 0, 0, 0};
        in.bytes(b, 5);
        return readrl(b);
    };
    long cp[INSTAT_CONTROLS];
    for (long& c : cp) {
        double v = five();
        c = std::fabs(v) < 2147483648.0 ? static_cast<long>(v) : 0;
    }
    double m[3];
    for (double& x : m) x = five();
    long ap[INSTAT_GROUPS][INSTAT_GROUP_FIELDS];
    for (auto& grp : ap)
        for (long& v : grp) {
            double x = five();
            v = std::fabs(x) < 2147483648.0 ? static_cast<long>(x) : 0;
        }
    if (!in.ok()) return 0;
    size_t title_len =
        static_cast<size_t>(std::clamp(cp[11], 0L, static_cast<long>(INSTAT_MAX_TITLE_READ)));
    std::string title(header.substr(11, std::min(title_len, header.size() - 11)));
    long nmv = std::clamp(cp[13], 0L, 3L);

    const long R = ap[INSTAT_G_COLUMNS][INSTAT_SIZE], N = ap[INSTAT_G_COLUMNS][INSTAT_COUNT];
    const double area = double(R) * double(N) * 8;
    if (area >= INSTAT_MAX_DATA) {
        std::printf("Error: Not enough memory to read INSTAT file!\n");
        return 0;
    }
    if (area <= 0 || R <= 0 || N <= 0) {
        std::printf("Warning: No column data in INSTAT file %.100s!\n", path);
        return 0;
    }

    std::string xs[INSTAT_ATTRIBUTES];
    for (size_t i = 0; i < INSTAT_ATTRIBUTES; ++i)
        xs[i] = get_uns_string(in, attribute_length(i / 5, i % 5, ap));
    size_t link_len = static_cast<size_t>(std::clamp(cp[5], 0L, 100000L));
    std::string link1 = get_uns_string(in, link_len), link2 = get_uns_string(in, link_len);
    std::string name_lengths = get_uns_string(in, static_cast<size_t>(N));
    std::string names;
    if (cp[7] <= 3) {
        for (long k = 0; k <= std::max(cp[7], 0L); ++k)
            names += get_uns_string(in, INSTAT_NAME_RECORD);
    } else {
        names = get_uns_string(in, static_cast<size_t>(std::min(cp[7], 100000L)));
    }

    // Strings, labels and constants lie where the structure table says.
    const ByteReader whole(bytes);
    auto region = [&whole](long offset, double length) {
        if (offset < 0 || length < 0 || length > 4e9) return whole.slice(whole.size() + 1, 0);
        return whole.slice(size_t(offset), size_t(length));
    };
    const long* gs = ap[INSTAT_G_STRINGS];
    for (long i = 0; i < std::min(gs[INSTAT_COUNT], 1000L); ++i) {
        std::string s;
        long off = gs[INSTAT_OFFSET] + i * gs[INSTAT_STRIDE];
        if (at(xs[0], size_t(i)) > ' ' && off >= 0 && size_t(off) < bytes.size()) {
            ByteReader rest = whole.slice(size_t(off), bytes.size() - size_t(off));
            s = get_uns_string(rest, INSTAT_STRING).substr(0, INSTAT_STRING);
        }
        g.str.push_back(trim_right(s));
    }
    const long* gl = ap[INSTAT_G_LABELS];
    const long P = std::clamp(gl[INSTAT_COUNT], 0L, 1000L),
               Q = std::clamp(gl[INSTAT_SIZE], 0L, 100000L);
    ByteReader label_area = region(gl[INSTAT_OFFSET], double(P) * double(Q) * 9);
    for (long k = 0; k < P && label_area.ok(); ++k) {
        long n = std::clamp(long(at(xs[5], size_t(k))) - 32, 0L, Q);
        std::vector<std::string> set;
        for (long j = 0; j < n; ++j) {
            ByteReader one = label_area.slice(size_t((Q * k + j) * 9), INSTAT_LABEL);
            set.push_back(std::string(one.view(INSTAT_LABEL)));
        }
        g.label_sets.push_back(std::move(set));
    }
    const long* gk = ap[INSTAT_G_CONSTANTS];
    const long K = std::clamp(gk[INSTAT_COUNT], 0L, 1000L);
    ByteReader constants = region(gk[INSTAT_OFFSET], double(K) * 5);
    for (long k = 0; k < K && constants.ok(); ++k) {
        uint8_t b[5];
        constants.bytes(b, 5);
        g.con.push_back(readrl(b));
    }
    g.con_element = gk[INSTAT_ELEMENT];

    // Columns: a 2-byte length each; a column whose values lie past the file is not read.
    const long* gc = ap[INSTAT_G_COLUMNS];
    // Lengths come from the attribute string read, so slots past it hold nothing.
    const long slots = std::min(N, static_cast<long>(xs[15].size() / 2));
    std::vector<long> lengths(static_cast<size_t>(slots), 0);
    long rows = 0;
    for (long i = 0; i < slots; ++i) {
        long len = (long(at(xs[15], size_t(2 * i))) - 32) * 224 +
                   (long(at(xs[15], size_t(2 * i + 1))) - 32);
        len = std::clamp(len, 0L, R);
        if (len > 0 && !region(gc[INSTAT_OFFSET] + i * gc[INSTAT_STRIDE], double(len) * 5).ok())
            len = 0;
        lengths[size_t(i)] = len;
        rows = std::max(rows, len);
    }
    if (rows == 0) {
        std::printf("Warning: No column data in INSTAT file %.100s!\n", path);
        return 0;
    }

    // Missing codes: the first is missing, the others numbers; codes given with /m replace
    // the file's first codes.
    g.nmv = nmv;
    for (int k = 0; k < 3; ++k) {
        g.m[k] = m[k];
        g.opts[k] = k == 0 ? kMissing : kKeep;
        if (k < vxs_options().instat_nmv) {
            g.opts[k] = kReplace;
            g.replace[k] = vxs_options().instat_missing[k];
        }
    }

    Sheet* sheet = create_sheet();
    sheet->kind = VXS_VECTOR;
    sheet->source_type = VXT_INSTAT;
    sheet->missing = vxs_missing;
    sheet->row_count = static_cast<int32_t>(rows);
    create_row_attr(sheet);
    g.title = title;
    if (!trim_right(title).empty()) vxs_add_line_to_description(sheet, title);

    const double missing = sheet->missing;
    bool large = false;
    for (long i = 0; i < slots; ++i) {
        if (lengths[size_t(i)] == 0) continue;
        std::string name;
        size_t marker = names.find(static_cast<char>(128 + i + 1));
        long nlen = long(at(name_lengths, size_t(i))) - 32;
        if (i + 1 < 128 && marker != std::string::npos && nlen > 0 && size_t(nlen) <= marker)
            name = vxs_strip_blanks(
                std::string_view(names).substr(marker - size_t(nlen), size_t(nlen)), VXS_MAX_NAME);
        if (name.empty())
            name = "X" + std::to_string(i + 1);
        else
            make_valid_vantrix_name(name);
        bool factor = at(xs[17], size_t(i)) == 'F';
        Column* col = create_column_with_memory(sheet, factor ? VXS_FACTOR : VXS_VARIATE, name,
                                                sheet->row_count);
        if (!col) break;
        ByteReader data =
            region(gc[INSTAT_OFFSET] + i * gc[INSTAT_STRIDE], double(lengths[size_t(i)]) * 5);
        double top = 0;
        for (long r = 0; r < lengths[size_t(i)]; ++r) {
            uint8_t b[5];
            data.bytes(b, 5);
            double v = readrl(b);
            if (instat_missing(&v, m) || std::isnan(v) || std::isinf(v) || v <= missing) {
                v = missing;
            } else if (v > VXS_NUM_CEILING) {
                v = VXS_NUM_CEILING;
                large = true;
            }
            // A factor holds level numbers from 1; anything else in its cells is missing.
            if (factor && v > missing && (v < 1 || v != std::floor(v) || v > 1e6)) v = missing;
            col->num[size_t(r)] = v;
            if (factor && v > top) top = v;
        }
        if (factor) {
            col->nlevels = std::max(1, static_cast<int32_t>(top));
            col->text_capacity = 40;
            // The label set linked to this slot: byte 3 and slot + 33 in the first link string.
            long set = -1;
            for (size_t p = 0; p + 1 < link1.size(); p += 2)
                if (at(link1, p) == 3 && at(link1, p + 1) == i + 33 && at(link2, p) == 1) {
                    set = long(at(link2, p + 1)) - 33;
                    break;
                }
            if (set >= 0 && set < long(g.label_sets.size()) &&
                g.label_sets[size_t(set)].size() >= size_t(col->nlevels)) {
                for (int32_t k = 0; k < col->nlevels; ++k) {
                    std::string lab = trim_right(g.label_sets[size_t(set)][size_t(k)]);
                    if (lab.empty()) lab = g.label_sets[size_t(set)][size_t(k)].substr(0, 1);
                    col->labels.push_back(lab.substr(0, VXS_MAX_NAME));
                    col->longest_label = std::max(col->longest_label,
                                                  static_cast<int32_t>(col->labels.back().size()));
                }
                col->origin = 2;
                col->representation = VXS_REP_TEXT;
            } else {
                std::printf("Warning: Too few labels for factor %.80s!\n", col->name.c_str());
            }
        }
        col->decimals = -1;
        g.slots[col] = i + 1;
        vxs_set_default_column_width(col, 0);
    }
    g.node = sheet;
    if (large)
        std::printf("Warning: Numbers in %.100s greater than %s have been set to this value\n!",
                    path, "9.99999E+307");
    return 1;
}

namespace {

bool numeric_kind(int32_t t) {
    return t == VXS_VARIATE || t == VXS_UNITS_NUM || t == VXS_SCALAR || t == VXS_MATRIX_COL ||
           t == VXS_NUMERIC6 || t == VXS_SYMMAT_COL || t == VXS_TABLE_BODY || t == VXS_NUMERIC22;
}

// Whether a factor fits Instat: at most 223 levels, level values whole numbers 1 to 223.
bool suitable(const Column* c) {
    if (c->nlevels > INSTAT_MAX_LABELS) return false;
    for (double v : c->levels)
        if (v < 1 || v > INSTAT_MAX_LABELS || v != std::floor(v)) return false;
    return true;
}

// Names packed into the name records: byte 128, then each name and its marker 128 + n; a
// name that would reach position 255 starts the next record.
bool pack_names(const std::vector<std::string>& names, size_t cut,
                std::string records[INSTAT_NAME_RECORDS]) {
    size_t rec = 0;
    for (auto& r : std::span(records, INSTAT_NAME_RECORDS))
        r = std::string(1, static_cast<char>(128));
    for (size_t n = 0; n < names.size(); ++n) {
        std::string name = names[n].substr(0, cut);
        if (records[rec].size() + name.size() + 1 > INSTAT_NAME_RECORD) {
            if (++rec == INSTAT_NAME_RECORDS) return false;
        }
        records[rec] += name;
        records[rec] += static_cast<char>(128 + n + 1);
    }
    return true;
}

void instat_write_long(ByteWriter& out, long n) {
    uint8_t b[5];
    long_to_5bytes(n, b);
    out.bytes(b, 5);
}
void instat_write_double(ByteWriter& out, double x) {
    uint8_t b[5];
    double_to_5bytes(x, b);
    out.bytes(b, 5);
}
// Blank-padded to length, then a carriage return.
void instat_write_string(ByteWriter& out, const std::string& s, size_t length) {
    out.text(s, length);
    out.u8(INSTAT_CR);
}

}  // namespace

int16_t write_sheet_as_instat(Sheet* sheet, const char* path) {
    if (!sheet || sheet->row_count < 1 || sheet->column_count < 1 || sheet->cols.size() < 2)
        return 0;
    const VxsDefaults& d = *vxs_get_global_defaults();
    for (size_t i = 1; i < sheet->cols.size(); ++i) {
        Column* c = sheet->cols[i].get();
        if (c->type == VXS_UNITS_TEXT) convert_units_to_text(c);
        if (c->type == VXS_TEXT)
            convert_text_to_factor(c, d.factor_ignore_case, d.factor_strip_blanks);
    }

    bool told = false;
    auto tell_once = [&told]() {
        if (!told)
            std::printf("Error: Factors with more than 223 labels are not supported by Instat!\n");
        told = true;
    };
    std::vector<Column*> cols;
    for (size_t i = 1; i < sheet->cols.size(); ++i) {
        Column* c = sheet->cols[i].get();
        if (c->type == VXS_FACTOR && !suitable(c)) {
            bool labelled = c->labels_present() > 0;
            if (labelled && !vxs_options().inst_drop_factors) {
                // kept: its indices and labels are written
            } else if (!labelled && !vxs_options().inst_drop_factors && c->nlevels >= 1 &&
                       c->nlevels <= INSTAT_MAX_LABELS - 1) {
                vxs_fac_default_labels(c);
            } else if (vxs_options().inst_drop_factors) {
                tell_once();
                std::printf("Factor %s not written to Instat file\n", c->name.c_str());
                continue;
            } else {
                tell_once();
                std::printf("Factor %s labels written to Instat file as levels\n", c->name.c_str());
                convert_factor_to_variate(c, c->levels.empty() ? 0 : 1);
            }
        }
        if (c->type == VXS_FACTOR || numeric_kind(c->type)) cols.push_back(c);
    }
    const long ncols = static_cast<long>(cols.size());
    if (ncols > vxs_write_limits(VXT_INSTAT).max_columns) {
        std::printf(
            "Error: Too many columns in %.60s to save.\nInstat has a maximum of 127 columns.\n",
            sheet->structure_name.c_str());
        return 0;
    }
    if (sheet->row_count > INSTAT_MAX_ROWS) {
        std::printf("Error: Too many rows in %.60s to save.\nInstat has a maximum of 50400 rows.\n",
                    sheet->structure_name.c_str());
        return 0;
    }
    const long R = sheet->row_count;
    long N = R <= 1000 ? std::clamp((ncols / 10 + 1) * 20, 30L, long(INSTAT_MAX_COLUMNS))
                       : std::min(ncols + 10, long(INSTAT_MAX_COLUMNS));
    if (R > INSTAT_MAX_COUNT)
        std::printf(
            "Warning: Instat counts hold at most %li rows; rows after it are not read back.\n",
            long(INSTAT_MAX_COUNT));

    // Label sets, one per labelled factor; the link strings name at most 50 of them.
    std::vector<std::vector<std::string>> sets;
    std::vector<long> set_of(cols.size(), -1);
    for (size_t i = 0; i < cols.size(); ++i) {
        Column* c = cols[i];
        if (c->type != VXS_FACTOR || c->labels.empty()) continue;
        if (long(sets.size()) == INSTAT_MAX_LINKED_SETS) {
            std::printf("Warning: Instat links labels to 50 factors; labels of %s not written\n",
                        c->name.c_str());
            continue;
        }
        std::vector<std::string> labels = c->labels;
        if (labels.size() > size_t(INSTAT_MAX_LABELS)) {
            tell_once();
            std::printf("Factor %s Truncated to 223 levels\n", c->name.c_str());
            labels.resize(INSTAT_MAX_LABELS);
        }
        set_of[i] = long(sets.size());
        sets.push_back(std::move(labels));
    }
    const long P = std::min(long(sets.size()) + 5, long(INSTAT_MAX_COLUMNS));
    long Q = 12;
    for (const auto& s : sets) Q = std::max(Q, long(s.size()));

    // Names shortened to a common length until they fit the name records.
    std::vector<std::string> names;
    size_t longest = 0;
    for (Column* c : cols) {
        names.push_back(c->name);
        longest = std::max(longest, c->name.size());
    }
    std::string records[INSTAT_NAME_RECORDS];
    size_t cut = longest;
    auto fits = [&]() {
        size_t t = 0;
        for (const auto& n : names) t += std::min(n.size(), cut) + 1;
        return t < INSTAT_NAME_TOTAL && pack_names(names, cut, records);
    };
    while (!fits() && cut > 6) --cut;
    if (!fits()) pack_names(names, cut, records);

    // Title: the description's first line, else where the data came from.
    std::string title = sheet->description_lines.empty() ? "" : sheet->description_lines[0];
    if (title.empty()) {
        char buf[128];
        std::snprintf(buf, sizeof buf, "Data from %.90s", sheet->source_file.c_str());
        title = buf;
    }
    if (title.size() > INSTAT_TITLE_AREA) title.resize(INSTAT_TITLE_AREA);
    for (char& ch : title)
        if (ch == '\r') ch = ' ';
    const long T = long(title.size());

    // Attribute strings.
    std::string xs[INSTAT_ATTRIBUTES];
    long ap[INSTAT_GROUPS][INSTAT_GROUP_FIELDS] = {
        {long(INSTAT_STRINGS), long(INSTAT_STRING), 0, long(INSTAT_STRING) + 1,
         long(INSTAT_STRING) + 1, 0},
        {P, Q, 0, 9 * Q, 9, P},
        {long(INSTAT_CONSTANTS), 1, 0, 5, 5, 0},
        {N, R, 0, 5 * R, 5, ncols},
        {0, R, 0, 5 * R, 5, 0},
    };
    for (size_t i = 0; i < INSTAT_ATTRIBUTES; ++i)
        xs[i] = std::string(attribute_length(i / 5, i % 5, ap), ' ');
    for (size_t k = 0; k < sets.size() && k < size_t(P); ++k) {
        xs[5][k] = static_cast<char>(sets[k].size() + 32);
        xs[7][k] = 'L';
    }
    std::string link1(INSTAT_LINK_LENGTH, ' '), link2(INSTAT_LINK_LENGTH, ' ');
    std::string name_lengths(size_t(N), ' ');
    for (size_t i = 0; i < cols.size(); ++i) {
        const Column* c = cols[i];
        uint8_t cnt[2];
        long_to_2bytes(R, cnt);
        xs[15][2 * i] = static_cast<char>(cnt[0]);
        xs[15][2 * i + 1] = static_cast<char>(cnt[1]);
        bool factor = c->type == VXS_FACTOR;
        xs[17][i] = factor ? 'F' : 'V';
        if (factor)
            xs[18][i] = static_cast<char>(
                c->labels_present() >= 224 ? 254 : std::min(c->nlevels, 223) + 31);
        name_lengths[i] = static_cast<char>(std::min(names[i].size(), cut) + 32);
        if (set_of[i] >= 0) {
            size_t k = size_t(set_of[i]);
            link1[2 * k] = 3;
            link1[2 * k + 1] = static_cast<char>(i + 33);
            link2[2 * k] = 1;
            link2[2 * k + 1] = static_cast<char>(k + 33);
        }
    }

    // Offsets: everything before the strings has a size known now.
    size_t head = INSTAT_HEADER + 70 + 15 + 150;
    for (const auto& x : xs) head += x.size() + 1;
    head += 2 * (INSTAT_LINK_LENGTH + 1) + size_t(N) + 1 +
            INSTAT_NAME_RECORDS * (INSTAT_NAME_RECORD + 1);
    ap[0][INSTAT_OFFSET] = long(head);
    ap[1][INSTAT_OFFSET] = ap[0][INSTAT_OFFSET] + long(INSTAT_STRINGS) * (long(INSTAT_STRING) + 1);
    ap[2][INSTAT_OFFSET] = ap[1][INSTAT_OFFSET] + 9 * P * Q;
    ap[3][INSTAT_OFFSET] = ap[2][INSTAT_OFFSET] + long(INSTAT_CONSTANTS) * 5;
    ap[4][INSTAT_OFFSET] = ap[3][INSTAT_OFFSET] + N * R * 5;

    ByteWriter out;
    if (!out.open(path)) {
        std::printf("Error: In Write INSTAT File - could not open file %.100s\n", path);
        return 0;
    }
    out.bytes(INSTAT_SIGNATURE, sizeof INSTAT_SIGNATURE);
    out.bytes(title);
    out.u8(INSTAT_CR);
    out.fill(size_t(100 - T), ' ');
    out.bytes("\x03\0\0", 3);
    const long controls[INSTAT_CONTROLS] = {2,
                                            0,
                                            0,
                                            1,
                                            0,
                                            long(INSTAT_LINK_LENGTH),
                                            P + 1,
                                            3,
                                            long(INSTAT_NAME_RECORD),
                                            1,
                                            N * R,
                                            T,
                                            long(INSTAT_LABEL),
                                            std::max(1L, long(vxs_options().instat_nmv))};
    for (long c : controls) instat_write_long(out, c);
    for (double mcode : vxs_options().instat_missing) instat_write_double(out, mcode);
    for (const auto& grp : ap)
        for (long v : grp) instat_write_long(out, v);
    for (const auto& x : xs) instat_write_string(out, x, x.size());
    instat_write_string(out, link1, INSTAT_LINK_LENGTH);
    instat_write_string(out, link2, INSTAT_LINK_LENGTH);
    instat_write_string(out, name_lengths, size_t(N));
    for (const auto& r : records) instat_write_string(out, r, INSTAT_NAME_RECORD);
    for (size_t k = 0; k < INSTAT_STRINGS; ++k) instat_write_string(out, "", INSTAT_STRING);
    for (long k = 0; k < P; ++k)
        for (long j = 0; j < Q; ++j) {
            std::string lab = size_t(k) < sets.size() && size_t(j) < sets[size_t(k)].size()
                                  ? sets[size_t(k)][size_t(j)]
                                  : "";
            instat_write_string(out, lab, INSTAT_LABEL);
        }
    for (size_t k = 0; k < INSTAT_CONSTANTS; ++k) instat_write_double(out, vxs_missing);
    const double missing = sheet->missing;
    for (const Column* c : cols) {
        bool factor = c->type == VXS_FACTOR;
        for (long r = 0; r < R; ++r) {
            if (size_t(r) >= c->num.size()) {
                out.fill(5, ' ');
                continue;
            }
            double v = c->num[size_t(r)];
            if (factor && (v < 1 || v > c->nlevels ||
                           (c->nlevels > INSTAT_MAX_LABELS && v > INSTAT_MAX_LABELS)))
                v = missing;
            instat_write_double(out, v <= missing ? vxs_missing : v);
        }
    }
    out.fill(size_t(N - ncols) * size_t(R) * 5, ' ');
    return out.close() ? 1 : 0;
}

int vxs_write_instat_extra(Sheet* sheet, ByteWriter* output) {
    if (!g.node || g.node != sheet) return 1;
    auto emit = [output](const std::string& s) { vxs_add_to_buf(s, 1, 0, output); };
    auto list = [](char letter, size_t n) {
        std::string s;
        for (size_t k = 1; k <= n; ++k)
            s += (k > 1 ? "," : "") + std::string(1, letter) + std::to_string(k);
        return s;
    };
    auto deletes = [&](char letter, size_t n) {
        std::string s = "DELETE [redefine=yes] " + std::string(1, letter);
        for (size_t k = 1; k <= n; ++k) s += "," + std::string(1, letter) + std::to_string(k);
        emit(s + "\n");
    };
    char buf[200];
    emit("DELETE [redefine=yes] Title\nTEXT Title; '" + translate_out_str(g.title, 200) + "'\n");
    if (g.nmv > 0) {
        deletes('M', size_t(g.nmv));
        emit("POINTER M; !p(" + list('M', size_t(g.nmv)) + ")\n");
        for (long k = 0; k < g.nmv; ++k) {
            if (g.opts[k] == kMissing)
                std::snprintf(buf, sizeof buf, "SCALAR M%li\n", k + 1);
            else
                std::snprintf(buf, sizeof buf, "SCALAR M%li; %g\n", k + 1,
                              g.opts[k] == kKeep ? g.m[k] : g.replace[k]);
            emit(buf);
        }
    }
    if (std::any_of(g.str.begin(), g.str.end(), [](const std::string& s) { return !s.empty(); })) {
        deletes('S', g.str.size());
        for (size_t k = 0; k < g.str.size(); ++k)
            emit("TEXT S" + std::to_string(k + 1) +
                 (g.str[k].empty() ? "" : "; '" + translate_out_str(g.str[k], 80) + "'") + "\n");
        emit("POINTER S; !p(" + list('S', g.str.size()) + ")\n");
    }
    if (!g.label_sets.empty()) {
        deletes('L', g.label_sets.size());
        for (size_t k = 0; k < g.label_sets.size(); ++k) {
            std::string s = "TEXT L" + std::to_string(k + 1);
            for (size_t j = 0; j < g.label_sets[k].size(); ++j)
                s += (j ? ",'" : "; !t('") + translate_out_str(trim_right(g.label_sets[k][j]), 40) +
                     "'";
            emit(s + (g.label_sets[k].empty() ? "\n" : ")\n"));
        }
        emit("POINTER L; !p(" + list('L', g.label_sets.size()) + ")\n");
    }
    if (!g.con.empty()) {
        deletes('K', g.con.size());
        for (size_t k = 0; k < g.con.size(); ++k) {
            double v = g.con[k];
            if (instat_missing(&v, g.m) || long(k) >= g.con_element)
                std::snprintf(buf, sizeof buf, "SCALAR K%zu\n", k + 1);
            else
                std::snprintf(buf, sizeof buf, "SCALAR K%zu; %.10g\n", k + 1, v);
            emit(buf);
        }
        emit("POINTER K; !p(" + list('K', g.con.size()) + ")\n");
    }
    std::string numbers, names;
    for (size_t i = 1; i < sheet->cols.size(); ++i) {
        auto it = g.slots.find(sheet->cols[i].get());
        if (it == g.slots.end()) continue;
        numbers += (numbers.empty() ? "" : ",") + std::to_string(it->second);
        names += (names.empty() ? "" : ",") + sheet->cols[i]->name;
    }
    emit("DELETE [redefine=yes] X\nPOINTER [SUFFIXES=!(" + numbers + ")] X; !p(" + names + ")\n");
    return 1;
}
