// dBase tables: dBase II, dBase III and the later and FoxPro versions that share its layout, read
// into one column per field; sheets written back as dBase III tables of N and C fields.
#include "vxr_dbf.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "../sheet/byte_writer.h"
#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_access.h"
#include "../sheet/vxs_dates.h"
#include "../sheet/vxs_txtnum.h"
#include "../sheet/vxs_reader_kit.h"
#include "../sheet/block_file.h"

namespace {

struct DbfField {
    std::string name;
    char type = 0;
    size_t offset = 0;  // within the record, after the deletion flag
    size_t length = 0;
    int32_t decimals = 0;
    Column* col = nullptr;  // none for memo and binary fields, or beyond the column limit
};

// Running magnitude of a numeric column, so widths need no log per value.
struct Magnitude {
    double largest = 0;    // largest size within (1e-12, 1e12)
    double smallest = 0;   // smallest size within that range
    bool outside = false;  // a nonzero size outside it
    bool zero = false;
    void add(double v) {
        double s = std::fabs(v);
        if (s > 1e-12 && s < 1e12) {
            if (largest == 0 || s > largest) largest = s;
            if (smallest == 0 || s < smallest) smallest = s;
        } else if (s != 0) {
            outside = true;
        } else {
            zero = true;
        }
    }
    // Digits part of a width: |log10| truncated plus 3 is largest at either end of the range.
    int32_t width(int32_t start) const {
        int32_t w = start;
        auto digits = [](double s) {
            return static_cast<int32_t>(std::labs(static_cast<long>(std::log10(s)))) + 3;
        };
        if (largest > 0) w = std::max({w, digits(largest), digits(smallest)});
        if (outside) w = std::max(w, 15);
        if (zero) w = std::max(w, 3);
        return w;
    }
};

bool is_blank(std::string_view s) { return s.find_first_not_of(' ') == std::string_view::npos; }

// A whole field as a number: blanks around it allowed, anything else makes it no number.
bool field_number(std::string_view s, double& out) {
    size_t a = s.find_first_not_of(' ');
    size_t b = s.find_last_not_of(' ');
    s = s.substr(a, b - a + 1);
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
    return std::isfinite(out) && std::fabs(out) <= VXS_NUM_CEILING;
}

bool field_date(std::string_view s, double& out) {
    if (s.size() < 8) return false;
    long part[3] = {0, 0, 0};
    const size_t ends[3] = {4, 6, 8};
    size_t at = 0;
    for (int k = 0; k < 3; ++k) {
        for (; at < ends[k]; ++at) {
            char c = s[at];
            if (c < '0' || c > '9') return false;
            part[k] = part[k] * 10 + (c - '0');
        }
    }
    long year = part[0], month = part[1], day = part[2];
    // An all-zero date is how several writers leave a date empty.
    if (month < 1 || month > 12 || day < 1 || day > 31 || year > 9000) return false;
    out = vxs_day_number(day, month, year);
    return true;
}

std::string field_name(std::string_view raw) {
    size_t z = raw.find('\0');
    std::string name(raw.substr(0, std::min(z, DBF_NAME)));
    make_valid_vantrix_name(name);
    if (name.size() > DBF_NAME) name.resize(DBF_NAME);
    return name;
}

bool known_type(char t) {
    switch (t) {
        case 'C':
        case 'N':
        case 'F':
        case 'L':
        case 'D':
        case 'B':
        case 'G':
        case 'M':
        case 'P':
            return true;
        default:
            return false;
    }
}

bool skipped_type(char t) { return t == 'B' || t == 'G' || t == 'M' || t == 'P'; }

struct DbfHeader {
    bool dbase2 = false;
    uint32_t records = 0;
    size_t record_length = 0;
    size_t declared_fields = 0;
    size_t data_start = 0;
    std::vector<DbfField> fields;
};

// Reads the header and descriptors; 1 done, 0 failed (message printed where there is one).
int read_header(ByteReader& in, DbfHeader& h, const DbfMessages& messages) {
    uint8_t version = in.u8();
    if (!in.ok()) return 0;
    h.dbase2 = version == DBF_VERSION_II;
    size_t terminator_at = 0;
    if (h.dbase2) {
        h.records = in.u16();
        uint8_t month = in.u8(), day = in.u8();
        in.u8();  // year
        h.record_length = in.u16();
        if (!in.ok() || month > 12 || day > 31) return 0;
        h.declared_fields = DBF2_MAX_FIELDS;
        terminator_at = DBF2_TERMINATOR;
    } else {
        in.u8();  // year: tables written after 2010 carry years above 110, so any is taken
        uint8_t month = in.u8(), day = in.u8();
        h.records = in.u32();
        size_t header_length = in.u16();
        h.record_length = in.u16();
        if (!in.ok()) return 0;
        if (month > 12 || day > 31) {
            if (messages.bad_date) std::printf("%s", messages.bad_date);
            return 0;
        }
        h.declared_fields = header_length / DBF3_DESCRIPTOR;
        h.declared_fields = h.declared_fields > 0 ? h.declared_fields - 1 : 0;
        terminator_at = DBF3_DESCRIPTOR * (h.declared_fields + 1);
        h.data_start = header_length;
    }
    if (h.records == 0) {
        std::printf("%s", messages.empty);
        return 0;
    }
    size_t nfields = h.declared_fields;
    if (!h.dbase2 && nfields > static_cast<size_t>(VXSMAXCOLUMNS)) {
        if (messages.too_many)
            std::printf(messages.too_many, static_cast<int>(VXSMAXCOLUMNS));
        else
            std::printf("Warning Columns above %li NOT transfered!\n", static_cast<long>(VXSMAXCOLUMNS));
        nfields = static_cast<size_t>(VXSMAXCOLUMNS);
    }
    size_t offset = 0;
    int skipped_seen = 0;
    for (size_t i = 0; i < nfields; ++i) {
        size_t at =
            h.dbase2 ? DBF2_DESCRIPTORS + i * DBF2_DESCRIPTOR : DBF3_HEADER + i * DBF3_DESCRIPTOR;
        ByteReader d = in.slice(at, h.dbase2 ? DBF2_DESCRIPTOR : DBF3_DESCRIPTOR);
        if (!d.ok()) return 0;
        // A descriptor that starts with the terminator ends the list early: always so in
        // dBase II, and in FoxPro tables whose header also holds a link block.
        if (d.u8_at(0) == DBF_HEADER_END) {
            if (!h.dbase2) terminator_at = at;
            break;
        }
        DbfField f;
        f.name = field_name(d.view(DBF_NAME));
        f.type = static_cast<char>(d.u8());
        if (h.dbase2) {
            f.length = d.u8();
            d.skip(2);
        } else {
            d.skip(4);
            f.length = d.u8();
        }
        f.decimals = d.u8();
        if (!d.ok()) return 0;
        if (!known_type(f.type)) {
            if (messages.unknown_type) std::printf("%s", messages.unknown_type);
            return 0;
        }
        if (skipped_type(f.type)) {
            int k = f.type == 'B' ? 0 : f.type == 'G' ? 1 : f.type == 'M' ? 2 : 3;
            if (messages.skipped[k] && !(skipped_seen & (1 << k))) std::printf("%s", messages.skipped[k]);
            skipped_seen |= 1 << k;
        }
        if (f.type == 'D' && f.length != 8 && messages.date_length) std::printf("%s", messages.date_length);
        f.offset = offset;
        offset += f.length;
        h.fields.push_back(std::move(f));
    }
    // Fields beyond the column limit still take their place in every record.
    for (size_t i = nfields; i < h.declared_fields; ++i) {
        size_t at = DBF3_HEADER + i * DBF3_DESCRIPTOR;
        if (in.u8_at(at) == DBF_HEADER_END) break;
        offset += in.u8_at(at + 16);
    }
    if (!in.seek(terminator_at) || !in.has(1)) return 0;
    uint8_t end = in.u8();
    if (end != DBF_HEADER_END && !(h.dbase2 && end == 0)) {
        std::printf("%s", messages.bad_terminator);
        return 0;
    }
    h.data_start = std::max(h.data_start, in.pos());
    // The deletion flag and every field must lie inside the record.
    if (h.fields.empty() || h.record_length < 1 + offset) return 0;
    return 1;
}

void set_width(Column* col, const DbfField& f, const Magnitude& m) {
    int32_t w = 1;
    if (col->is_text()) {
        w = col->nlevels;
    } else if (f.type == 'D') {
        w = 8;
    } else {
        w = m.width(1);
        w += col->decimals >= 0 ? col->decimals + 1 : 3;
    }
    w = std::max(w, static_cast<int32_t>(col->name.size()) + 1);
    col->width = std::clamp(w, 3, 90);
}

}  // namespace

namespace {

// vxs_strip_blanks(v, 90) for v of at most 90 characters, without building a string for the
// usual text: blank padded at the end only.
std::string_view strip_blanks(std::string_view v, std::string& scratch) {
    size_t e = v.find_last_not_of(' ');
    if (e != std::string_view::npos && v[0] != ' ') {
        std::string_view t = v.substr(0, e + 1);
        if (t.find("  ") == std::string_view::npos) return t;
    }
    scratch = vxs_strip_blanks(v, VXS_MAX_TEXT);
    return scratch;
}

// The table from a header reader and a record source: records(start) positions the source at
// the first record, record(n) gives the next n bytes (empty when fewer remain). total is the
// size of the whole table, header and records.
template <typename Start, typename Record>
int16_t decode_table(ByteReader& in, uint64_t total, Start&& records, Record&& record, const DbfMessages& messages) {
    DbfHeader h;
    if (!read_header(in, h, messages)) return 0;

    // Only whole records that are present become rows; a count beyond them sizes nothing.
    size_t present = total > h.data_start ? static_cast<size_t>((total - h.data_start) / h.record_length) : 0;
    size_t rows = std::min<size_t>(h.records, present);
    if (rows < h.records)
        std::printf(messages.short_data, static_cast<long>(rows), static_cast<long>(h.records));
    if (rows == 0) return 0;

    Sheet* sheet = create_sheet();
    if (!sheet) return 0;
    sheet->source_type = VXT_DBF;
    sheet->missing = vxs_missing;
    vxs_set_gregorian(sheet->defaults.gregorian);
    sheet->row_count = static_cast<int32_t>(rows);
    create_row_attr(sheet);

    std::vector<Magnitude> mags(h.fields.size());
    for (DbfField& f : h.fields) {
        if (skipped_type(f.type)) continue;
        bool text = f.type == 'C';
        f.col = create_column_with_memory(sheet, text ? VXS_TEXT : VXS_VARIATE, f.name,
                                          static_cast<int32_t>(rows));
        if (!f.col) continue;
        f.col->decimals = text ? -1 : f.decimals;
        // Declared decimals are shown as fixed decimals: in general form a field of N(10,0)
        // holding 123456789 would print as 1.23457e+08.
        f.col->representation = text ? VXS_REP_TEXT
                                : (f.type != 'D' && f.type != 'L' && f.decimals <= 15)
                                    ? VXS_REP_FIXED
                                    : VXS_REP_GENERAL;
        if (text) f.col->text.reserve(rows, rows * std::min<size_t>(f.length, 16));
    }

    const bool strip = vxs_get_global_defaults()->factor_strip_blanks != 0;
    const double missing = sheet->missing;
    records(h.data_start);
    size_t row = 0;
    char note[VXS_MAX_TEXT + 1];
    std::string scratch;
    for (size_t r = 0; r < rows; ++r) {
        std::string_view rec = record(h.record_length);
        if (rec.empty()) continue;
        if (rec[0] == DBF_DELETED) {
            if (messages.keep_deleted) ++row;
            continue;
        }
        for (size_t i = 0; i < h.fields.size(); ++i) {
            const DbfField& f = h.fields[i];
            Column* col = f.col;
            if (!col) continue;
            std::string_view v = rec.substr(1 + f.offset, f.length);
            if (f.type == 'C') {
                v = v.substr(0, std::min(v.find('\0'), VXS_MAX_TEXT));
                if (strip && !messages.trailing_blanks_only) {
                    col->text.set(row, strip_blanks(v, scratch));
                } else {
                    col->text.set(row, vxs_fixed_view(v, VxsPad::Blank));
                }
                continue;
            }
            double value = missing;
            bool read = true;
            switch (f.type) {
                case 'N':
                case 'F':
                    if (!is_blank(v)) read = field_number(v, value);
                    break;
                case 'L': {
                    size_t at = v.find_first_not_of(' ');
                    char c = at == std::string_view::npos ? '?' : v[at];
                    if (c == 'T' || c == 't' || c == 'Y' || c == 'y')
                        value = 1;
                    else if (c == 'F' || c == 'f' || c == 'N' || c == 'n')
                        value = 0;
                    else
                        read = c == '?';
                    break;
                }
                case 'D':
                    if (!is_blank(v) && v.find_first_not_of('0') != std::string_view::npos)
                        read = field_date(v, value);
                    break;
            }
            if (!read) {
                // Unreadable cells become missing; the warnings file says which.
                value = missing;
                std::snprintf(note, sizeof note, "%.*s",
                              static_cast<int>(std::min(v.size(), VXS_MAX_TEXT)), v.data());
                vxs_warn_conversion(col->name.c_str(), static_cast<long>(row + 1), note, value,
                                    missing);
            }
            col->num[row] = value;
            if (value > missing) mags[i].add(value);
        }
        ++row;
    }

    if (row < rows) {
        sheet->row_count = static_cast<int32_t>(row);
        if (row == 0) {
            sheet->rows.clear();
            sheet->row_column()->num.clear();
        } else {
            create_row_attr(sheet);
        }
    }
    for (size_t i = 0; i < h.fields.size(); ++i) {
        Column* col = h.fields[i].col;
        if (!col) continue;
        if (col->is_text()) {
            col->text.resize(row);
            size_t longest = 0;
            for (size_t k = 0; k < row; ++k) longest = std::max(longest, col->text.get(k).size());
            col->nlevels = static_cast<int32_t>(longest);
        } else {
            col->num.resize(row);
        }
        set_width(col, h.fields[i], mags[i]);
    }
    return 1;
}

}  // namespace

int16_t vxs_decode_dbf_table(ByteReader& in, const DbfMessages& messages) {
    return decode_table(
        in, in.size(), [&](size_t start) { in.seek(start); }, [&](size_t n) { return in.view(n); }, messages);
}

int16_t vxs_decode_dbf_source(VxsSource&& src, const DbfMessages& messages) {
    // Header first (at most 64 KiB), then the records a block at a time.
    BlockFile file;
    if (!file.open(std::move(src))) return 0;
    ByteReader head = file.window(size_t(1) << 17, Endian::Little);
    auto start = [&](size_t offset) { file.seek(offset); };
    auto next = [&](size_t n) {
        ByteReader window = file.window(n, Endian::Little);
        std::string_view rec = window.view(n);
        file.consume(rec.size());
        return rec;
    };
    return decode_table(head, file.size(), start, next, messages);
}

int16_t read_dbf_into_sheet(const char* path) {
    VxsSource src;
    if (!src.open_file(path)) return 0;
    return vxs_decode_dbf_source(std::move(src), DbfMessages());
}

// ---------------------------------------------------------------------------------------------
// Writer

namespace {

// Default decimals of a column with none set: enough for other programs to keep fractions.
constexpr int32_t DBF_FREE_DECIMALS = 6;
constexpr size_t DBF_MAX_FIELD = 254;

struct OutField {
    Column* col = nullptr;
    char type = 'N';
    int32_t decimals = 0;        // declared and printed
    bool free_decimals = false;  // the column has none of its own
    size_t length = 0;
    enum { NUMBER, LEVEL_VALUE, LEVEL_NUMBER, LABEL, TEXT } source = NUMBER;
};

int32_t numeric_width(const std::vector<double>& values, double missing) {
    Magnitude m;
    for (double v : values)
        if (v > missing) m.add(v);
    return m.width(1);
}

OutField plan_field(Column* c, double missing) {
    OutField f;
    f.col = c;
    int32_t w = 1;
    if (c->is_text()) {
        f.type = 'C';
        f.source = OutField::TEXT;
        size_t longest = 0;
        for (size_t i = 0; i < c->text.size(); ++i)
            longest = std::max(longest, c->text.get(i).size());
        c->nlevels = static_cast<int32_t>(longest);
        w = std::max<int32_t>(1, static_cast<int32_t>(longest));
    } else if (c->type == VXS_FACTOR && c->origin == 2) {
        f.type = 'C';
        f.source = OutField::LABEL;
        for (const auto& l : c->labels) w = std::max(w, static_cast<int32_t>(l.size()));
    } else if (c->type == VXS_FACTOR && c->origin == 0) {
        f.source = OutField::LEVEL_NUMBER;
        w = static_cast<int32_t>(std::ceil(std::log10(c->nlevels + 1.0)) + 1);
    } else {
        bool levels = c->type == VXS_FACTOR;
        f.source = levels ? OutField::LEVEL_VALUE : OutField::NUMBER;
        w = numeric_width(levels ? c->levels : c->num, missing);
        f.free_decimals = c->decimals < 0;
        f.decimals = f.free_decimals ? DBF_FREE_DECIMALS : std::min(c->decimals, 15);
        w += f.decimals;
    }
    f.length = std::min<size_t>(static_cast<size_t>(std::max(w, 1)) + 1, DBF_MAX_FIELD);
    return f;
}

// The number right-aligned in the field, ending one byte before its end. A column without
// decimals of its own is written with six, unless that loses digits (1e-7, 0.1234567) and its
// shortest exact form fits. A fixed form that does not fit falls back to a shorter general
// form; one that still does not fit stays blank.
bool place_number(std::string& rec, size_t at, const OutField& f, double value, double missing) {
    char buf[64];
    size_t room = f.length - 1, n = 0;
    if (f.free_decimals) {
        auto r = std::to_chars(buf, buf + sizeof buf - 1, value);
        n = static_cast<size_t>(r.ptr - buf);
        buf[n] = '\0';
        const char* dot = std::strchr(buf, '.');
        bool exact_in_fixed = !std::strchr(buf, 'e') &&
                              (!dot || std::strlen(dot + 1) <= static_cast<size_t>(f.decimals));
        if (exact_in_fixed || n > room) n = 0;
    }
    if (n == 0) {
        write_num(buf, value, VXS_REP_FIXED, f.decimals, missing);
        n = std::strlen(buf);
    }
    for (int digits = 15; n > room && digits >= 1; --digits) {
        std::snprintf(buf, sizeof buf, "%.*g", digits, value);
        n = std::strlen(buf);
    }
    if (n > room) return false;
    rec.replace(at + room - n, n, buf, n);
    return true;
}

}  // namespace

int16_t write_sheet_as_dbf(Sheet* sheet, const char* path) {
    if (!sheet || sheet->row_count <= 0 || sheet->column_count <= 0 || sheet->cols.size() < 2)
        return 0;
    const double missing = sheet->missing;
    std::vector<OutField> fields;
    for (size_t i = 1; i < sheet->cols.size(); ++i) {
        Column* c = sheet->cols[i].get();
        if (c->type == VXS_ROW) continue;
        fields.push_back(plan_field(c, missing));
    }
    if (fields.empty()) return 0;
    size_t record_length = 1;
    for (const auto& f : fields) record_length += f.length;
    if (record_length > 0xFFFF) {
        std::printf("Error: Records too long for a dBase file!\n");
        return 0;
    }

    // Field names are cut to the format's longest; say so when two become the same.
    const size_t max_name = static_cast<size_t>(vxs_write_limits(VXT_DBF).max_name);
    std::vector<std::string> names;
    for (const auto& f : fields) {
        std::string n = f.col->name.substr(0, max_name);
        for (size_t k = 0; k < names.size(); ++k) {
            if (names[k] == n) {
                std::printf(" Warning: Columns %s and %s have the same dBase field name %s!\n",
                            fields[k].col->name.c_str(), f.col->name.c_str(), n.c_str());
                break;
            }
        }
        names.push_back(std::move(n));
    }

    ByteWriter out(Endian::Little);
    if (!out.open(path)) {
        std::printf("Error: %.100s not found\n", path);
        return 0;
    }
    const size_t header_length = DBF3_DESCRIPTOR * (fields.size() + 1) + 1;
    out.u8(DBF_VERSION_III);
    out.bytes("\x63\x0A\x01", 3);  // last update 1999-10-01
    out.u32(static_cast<uint32_t>(sheet->row_count));
    out.u16(static_cast<uint16_t>(header_length));
    out.u16(static_cast<uint16_t>(record_length));
    out.fill(20, '\0');
    for (size_t i = 0; i < fields.size(); ++i) {
        out.text(names[i], DBF_NAME, '\0');
        out.u8(static_cast<uint8_t>(fields[i].type));
        out.fill(4, '\0');
        out.u8(static_cast<uint8_t>(fields[i].length));
        out.u8(static_cast<uint8_t>(fields[i].type == 'N' ? fields[i].decimals : 0));
        out.fill(14, '\0');
    }
    out.u8(DBF_HEADER_END);

    long too_wide = 0;
    std::string rec;
    const size_t nrows = static_cast<size_t>(sheet->row_count);
    for (size_t r = 0; r < nrows && out.ok(); ++r) {
        rec.assign(record_length, ' ');
        size_t at = 1;
        for (const OutField& f : fields) {
            const Column* c = f.col;
            if (f.source == OutField::TEXT) {
                if (r < c->text.size()) {
                    std::string_view t = c->text.get(r).substr(0, f.length - 1);
                    rec.replace(at, t.size(), t.data(), t.size());
                }
            } else if (r < c->num.size()) {
                double v = c->num[r];
                if (f.source == OutField::LEVEL_VALUE || f.source == OutField::LABEL) {
                    long k = v > missing ? std::lround(v) : 0;
                    bool has = k >= 1 && static_cast<size_t>(k) <= (f.source == OutField::LABEL
                                                                        ? c->labels.size()
                                                                        : c->levels.size());
                    if (f.source == OutField::LABEL) {
                        if (has) {
                            std::string_view t =
                                std::string_view(c->labels[static_cast<size_t>(k - 1)])
                                    .substr(0, f.length - 1);
                            rec.replace(at, t.size(), t.data(), t.size());
                        }
                        at += f.length;
                        continue;
                    }
                    v = has ? c->levels[static_cast<size_t>(k - 1)] : missing;
                } else if (f.source == OutField::LEVEL_NUMBER && !(v >= 0.5)) {
                    v = missing;
                }
                if (v > missing && !place_number(rec, at, f, v, missing)) ++too_wide;
            }
            at += f.length;
        }
        out.bytes(rec);
    }
    bool ok = out.close();
    if (too_wide > 0)
        std::printf(" Warning: %li values too wide for their dBase fields were left blank!\n",
                    too_wide);
    return ok ? 1 : 0;
}
