// Stata file reader (.dta of releases 103 to 110, Stata 3 to 7): numeric variables as variates,
// strings as text, variable labels as descriptions, the data label as a description line,
// Stata's missing codes as missing, value label tables as factor labels. Either byte order.
#include "vxr_stt.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../sheet/vxs_reader_kit.h"
#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_strings.h"
#include "vxr_readstat.h"
#include "../sheet/byte_reader.h"
#include "../sheet/vxs_access.h"
#include "../sheet/vxs_conv.h"
#include "../sheet/vxs_dates.h"
#include "../sheet/vxs_txtnum.h"
#include "../sheet/block_file.h"

namespace {


constexpr size_t MAX_ENTRY_LABEL = 80;
constexpr size_t MAX_COLUMN_LABEL = 40;

// Field widths of the four layouts: format 3 (releases 103, 104), 5 (105, 106), 6 (108) and
// 7 (110).
struct Layout {
    int format;
    size_t data_label;     // header data label
    size_t name;           // name fields: 8 or 32 characters and a zero byte
    size_t fmt;            // display format of a variable
    size_t var_label;      // variable label
    size_t expansion_len;  // length field of an expansion field; 0 when there are none
};

bool layout_of(uint8_t release, Layout& l) {
    switch (release) {
        case 103:
        case 104:
            l = {3, 32, 9, 7, 32, 0};
            return true;
        case 105:
        case 106:
            l = {5, 32, 9, 12, 32, 2};
            return true;
        case 108:
            l = {6, 81, 9, 12, 81, 2};
            return true;
        case 110:
            l = {7, 81, 33, 12, 81, 4};
            return true;
        default:
            return false;
    }
}

struct StataVariable {
    size_t width = 0;
    std::string name, format, label_name, label;
    uint8_t type = 0;
    int32_t kind = VXS_VARIATE;
};

struct LabelTable {
    std::string name;
    std::vector<std::string> labels;
    std::vector<double> values;
};

std::string field(std::string_view s) { return vxs_fixed_field(s, VxsPad::Nul); }

bool valid_type(uint8_t t) {
    return t == STATA_BYTE || t == STATA_INT || t == STATA_LONG || t == STATA_FLOAT ||
           t == STATA_DOUBLE || t > STATA_STR_BASE;
}

size_t type_width(uint8_t t) {
    switch (t) {
        case STATA_BYTE:
            return 1;
        case STATA_INT:
            return 2;
        case STATA_LONG:
        case STATA_FLOAT:
            return 4;
        case STATA_DOUBLE:
            return 8;
        default:
            return static_cast<size_t>(t - STATA_STR_BASE);
    }
}

// Value label tables after the data, until the end of the file or the first fault.
void read_label_tables(ByteReader& in, const Layout& l, std::vector<LabelTable>& tables) {
    while (!in.eof()) {
        LabelTable t;
        if (l.format >= 6) {
            int32_t length = in.i32();
            if (!in.ok() || length == 0) return;
            if (length < 1 || length > STATA_MAX_TABLE_LENGTH) {
                std::printf("Error: Illegal label table in Stata file!\n");
                return;
            }
            t.name = field(in.view(l.name));
            in.skip(3);
            int32_t n = in.i32();
            if (!in.ok()) return;
            if (n < 1 || n > STATA_MAX_TABLE_ENTRIES) {
                std::printf("Error: Illegal number of labels in Stata file!\n");
                return;
            }
            uint32_t text_len = in.u32();
            ByteReader offsets = in.sub(static_cast<size_t>(n) * 4);
            ByteReader values = in.sub(static_cast<size_t>(n) * 4);
            std::string_view text = in.view(text_len);
            if (!in.ok()) return;
            for (int32_t k = 0; k < n; ++k) {
                uint32_t at = offsets.u32();
                std::string_view label = at < text.size() ? text.substr(at) : std::string_view();
                label = label.substr(0, std::min(label.find('\0'), MAX_ENTRY_LABEL));
                t.labels.emplace_back(label);
                t.values.push_back(values.i32());
            }
        } else {
            int16_t n = in.i16();
            t.name = field(in.view(10));
            if (!in.ok() || n < 0) return;
            ByteReader values = in.sub(static_cast<size_t>(n) * 2);
            ByteReader labels = in.sub(static_cast<size_t>(n) * 8);
            if (!in.ok()) return;
            for (int16_t k = 0; k < n; ++k) {
                t.values.push_back(values.i16());
                t.labels.push_back(field(labels.view(8)));
            }
        }
        tables.push_back(std::move(t));
    }
}

// Gives a factor one label per level from the table: the entry within 1e-12 of the level,
// else the level printed.
void apply_table(Column* col, const LabelTable& t) { vxs_label_levels(col, t.values, t.labels, MAX_COLUMN_LABEL); }

}  // namespace

int stata_is_missing(double missing, double value) {
    return std::isnan(value) || std::isinf(value) || value <= missing ||
           value > STATA_MISSING_DOUBLE;
}

namespace {

struct Header {
    Layout l{};
    int32_t nvar = 0, nobs = 0;
    std::string data_label;
    std::vector<StataVariable> vars;
};

// Header, variable descriptions and expansion fields; false on any fault (with in.ok() false
// when the bytes ran out).
bool read_header(ByteReader& in, Header& h) {
    uint8_t release = in.u8();
    uint8_t order = in.u8();
    uint8_t filetype = in.u8();
    in.u8();
    Layout& l = h.l;
    if (!in.ok() || !layout_of(release, l) || (order != 1 && order != 2) ||
        (filetype != 1 && filetype != 2))
        return false;
    in.set_order(order == 1 ? Endian::Big : Endian::Little);
    h.nvar = in.i16();
    h.nobs = in.i32();
    std::string_view data_label = in.view(l.data_label);
    if (!in.ok()) return false;
    if (l.format == 5 && data_label.find('\0') == std::string_view::npos) return false;
    h.data_label = field(data_label);
    if (l.format >= 5) {
        std::string_view stamp = in.view(18);
        if (!in.ok() || stamp[17] != '\0') return false;
    }
    if (h.nvar < 1 || h.nobs < 1) return false;

    // Every list holds nvar entries of a fixed width; nvar is at most 32767, so the records
    // below stay small whatever the file claims.
    std::vector<StataVariable>& vars = h.vars;
    vars.resize(static_cast<size_t>(h.nvar));
    for (auto& v : vars) {
        v.type = in.u8();
        if (!in.ok() || !valid_type(v.type)) return false;
        v.width = type_width(v.type);
        v.kind = v.type > STATA_STR_BASE ? VXS_TEXT : VXS_VARIATE;
    }
    for (auto& v : vars) v.name = field(in.view(l.name)).substr(0, l.name - 1);
    in.skip((static_cast<size_t>(h.nvar) + 1) * 2);  // sort list
    for (auto& v : vars) v.format = field(in.view(l.fmt));
    for (auto& v : vars) v.label_name = field(in.view(l.name));
    for (auto& v : vars) v.label = field(in.view(l.var_label));
    if (!in.ok()) return false;
    if (l.expansion_len) {
        for (;;) {
            in.u8();
            int64_t len = l.expansion_len == 4 ? in.i32() : in.i16();
            if (!in.ok()) return false;
            if (len <= 0) break;
            if (!in.skip(static_cast<size_t>(len))) return false;
        }
    }
    return true;
}

}  // namespace

int16_t read_stata_into_sheet(const char* path) {
    VxsSource src;
    if (!src.open_file(path)) return 0;
    return read_stata_source(src);
}

int16_t read_stata_source(VxsSource& src) {
    BlockFile file;
    if (!file.open(std::move(src))) return 0;
    // Release 111 (Stata 7 SE) shares the detection range but not the layout; the newer
    // releases' reader takes it.
    if (ByteReader first = file.window(1, Endian::Little); first.size() >= 1 && first.u8() == 111)
        return read_readstat_source(file.source(), ReadstatKind::Dta);
    // The descriptions are read from a window that doubles until it holds them all.
    Header h;
    bool ok = false;
    Endian order = Endian::Little;
    for (size_t want = size_t(1) << 20;;) {
        ByteReader in = file.window(want, Endian::Little);
        h = Header();
        ok = read_header(in, h);
        if (ok) {
            file.consume(in.pos());
            order = in.order();
        }
        if (ok || in.ok() || in.size() >= file.remaining()) break;
        want = in.size() * 2;
    }
    if (!ok) return 0;
    const Layout& l = h.l;
    const int32_t nvar = h.nvar;
    std::vector<StataVariable>& vars = h.vars;

    int32_t ncols = nvar;
    if (nvar > VXSMAXCOLUMNS) {
        std::printf("Warning Columns above %li NOT transfered!\n",
                    static_cast<long>(VXSMAXCOLUMNS));
        ncols = VXSMAXCOLUMNS;
    }
    size_t obs_width = 0;
    for (const auto& v : vars) obs_width += v.width;
    // Only observations whose bytes are present can be read; a larger count sizes nothing.
    const int32_t nrows = static_cast<int32_t>(
        std::min<uint64_t>(static_cast<uint64_t>(h.nobs), file.remaining() / obs_width));
    if (nrows < 1) return 0;

    Sheet* sheet = vxs_begin_sheet(nrows);
    if (!sheet) return 0;
    sheet->source_type = VXT_STATA;
    vxs_add_line_to_description(sheet, h.data_label);

    std::vector<Column*> cols(vars.size(), nullptr);
    for (int32_t i = 0; i < ncols; ++i) {
        StataVariable& v = vars[static_cast<size_t>(i)];
        Column* col = vxs_add_column(sheet, v.kind, v.name, nrows);
        if (!col) break;
        if (!v.label.empty()) col->extra = v.label.substr(0, MAX_COLUMN_LABEL);
        cols[static_cast<size_t>(i)] = col;
    }

    const VxsDefaults& g = *vxs_get_global_defaults();
    const double missing = sheet->missing;
    for (int32_t row = 0; row < nrows; ++row) {
        ByteReader obs = file.window(obs_width, order);
        if (obs.size() < obs_width) break;
        file.consume(obs_width);
        for (size_t i = 0; i < vars.size(); ++i) {
            const StataVariable& v = vars[i];
            Column* col = cols[i];
            if (!col) {
                obs.skip(v.width);
                continue;
            }
            if (v.kind == VXS_TEXT) {
                std::string_view raw = obs.view(v.width);
                raw = raw.substr(0, std::min(raw.find('\0'), VXS_MAX_TEXT));
                if (g.factor_strip_blanks)
                    col->text.set(static_cast<size_t>(row), vxs_strip_blanks(raw, VXS_MAX_TEXT));
                else
                    col->text.set(static_cast<size_t>(row), raw);
                continue;
            }
            double value = missing;
            switch (v.type) {
                case STATA_BYTE: {
                    int8_t x = obs.i8();
                    if (x != STATA_MISSING_BYTE) value = x;
                    break;
                }
                case STATA_INT: {
                    int16_t x = obs.i16();
                    if (x != STATA_MISSING_INT) value = x;
                    break;
                }
                case STATA_LONG: {
                    int32_t x = obs.i32();
                    if (x != STATA_MISSING_LONG) value = x;
                    break;
                }
                case STATA_FLOAT: {
                    // Compared as a float: Stata's float missing value is 1.7e38 in single
                    // precision, just below 1.7e38 as a double.
                    float x = obs.f32();
                    if (!(x >= STATA_MISSING_FLOAT)) value = x;
                    break;
                }
                default:
                    value = obs.f64();
                    break;
            }
            col->num[static_cast<size_t>(row)] = stata_is_missing(missing, value) ? missing : value;
        }
    }

    // A variable shown with a daily date format ("%d...", "%td...") counts days from 1 January
    // 1960; the sheet keeps dates as spreadsheet serial numbers, so the column becomes a date
    // column and its values move by that day's serial.
    for (size_t i = 0; i < vars.size(); ++i) {
        Column* col = cols[i];
        if (!col || col->type != VXS_VARIATE || !vars[i].label_name.empty()) continue;
        if (!stata_is_daily_date(vars[i].format)) continue;
        col->representation = VXS_REP_DATE;
        col->gregorian = 0;
        col->date_format = 1;
        for (double& value : col->num)
            if (value > missing && value < VXS_NUM_CEILING) value += STATA_DATE_EPOCH_SERIAL;
    }

    std::vector<LabelTable> tables;
    ByteReader rest = file.window(static_cast<size_t>(file.remaining()), order);
    read_label_tables(rest, l, tables);

    VxsDefaults* gm = vxs_get_global_defaults();
    for (size_t i = 0; i < vars.size(); ++i) {
        Column* col = cols[i];
        if (!col || col->type != VXS_VARIATE || vars[i].label_name.empty()) continue;
        int16_t sort = gm->sort_levels;
        gm->sort_levels = 1;
        int converted = convert_variate_to_factor(col, 1);
        gm->sort_levels = sort;
        if (!converted) continue;
        for (const LabelTable& t : tables) {
            if (stricmp(t.name.c_str(), vars[i].label_name.c_str()) == 0) {
                apply_table(col, t);
                break;
            }
        }
    }
    for (Column* col : cols)
        if (col) vxs_set_default_column_width(col, 0);
    return 1;
}
