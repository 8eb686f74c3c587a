// Systat file reader (.sys): numeric variables as variates, string variables (names ending in
// "$") as text, column labels from the property area as column descriptions.
#include "vxr_systat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "../sheet/vxs_format_entries.h"
#include "../sheet/byte_reader.h"
#include "../sheet/vxs_access.h"
#include "../sheet/vxs_txtnum.h"
#include "../sheet/vxs_reader_kit.h"
#include "../sheet/block_file.h"

namespace {

enum class Rec { Ok, Short, BadMarker };

// One record's data gathered from its blocks at the cursor.
Rec read_record(ByteReader& in, std::string& out) {
    out.clear();
    for (;;) {
        uint8_t m = in.u8();
        if (!in.ok()) return Rec::Short;
        if (m == 0) return Rec::BadMarker;
        std::string_view data = in.view(std::min<size_t>(m, SYSTAT_BLOCK_DATA));
        uint8_t end = in.u8();
        if (!in.ok()) return Rec::Short;
        if (end != m) return Rec::BadMarker;
        out.append(data);
        if (m != SYSTAT_FULL_BLOCK) return Rec::Ok;
    }
}

struct Variable {
    std::string name;
    bool text = false;
    size_t offset = 0;  // within a case record
};

struct Header {
    std::vector<Variable> vars;
    std::map<uint32_t, std::string> labels;  // column labels by variable number from 1
    size_t numerics = 0, strings = 0;
};

// Column labels (property type 4) of the property area; the area's first 8 bytes are its head.
void read_properties(const std::string& area, Header& h) {
    ByteReader in(area);
    in.skip(8);
    while (in.remaining() >= 8) {
        uint32_t type = in.u32();
        uint32_t length = in.u32();
        if (length < 4 || length - 4 > in.remaining() || in.remaining() < 4) break;
        uint32_t index = in.u32();
        std::string_view data = in.view(length - 4);
        if (type != SYSTAT_PROPERTY_LABEL) continue;
        std::string label = vxs_fixed_field(data, VxsPad::Nul);
        if (label.size() > VXS_MAX_NAME) label.resize(VXS_MAX_NAME);
        for (char& c : label)
            if (static_cast<unsigned char>(c) < 32) c = ' ';
        h.labels[index] = label;
    }
}

// Signature, comments, counts and names; false on any fault.
bool read_header(ByteReader& in, Header& h) {
    std::string_view sig = in.view(sizeof SYSTAT_SIGNATURE);
    if (!in.ok() || std::memcmp(sig.data(), SYSTAT_SIGNATURE, sizeof SYSTAT_SIGNATURE) != 0)
        return false;
    std::string rec, area;
    size_t area_limit = 0;
    bool first = true;
    while (in.ok() && in.u8_at(in.pos()) == SYSTAT_COMMENT) {
        if (read_record(in, rec) != Rec::Ok || rec.size() != SYSTAT_COMMENT) return false;
        ByteReader c(rec);
        if (first && c.u32() == 0) {
            uint32_t size = c.u32();
            if (size > 0 && size < SYSTAT_MAX_PROPERTIES) area_limit = size + 256;
        }
        if (area_limit && (first || !area.empty())) {
            if (area.size() + rec.size() > area_limit)
                std::printf("Property overflow in Systat header.\n");
            else
                area += rec;
        }
        first = false;
    }
    if (read_record(in, rec) != Rec::Ok || rec.size() != SYSTAT_COUNTS) return false;
    size_t nv =
        static_cast<uint16_t>(static_cast<uint8_t>(rec[0]) | static_cast<uint8_t>(rec[1]) << 8);
    // Each name record takes 14 bytes; the count cannot claim more than the bytes present.
    if (nv * (SYSTAT_NAME + 2) > in.remaining()) return false;
    h.vars.resize(nv);
    for (Variable& v : h.vars) {
        if (read_record(in, rec) != Rec::Ok || rec.size() != SYSTAT_NAME) return false;
        size_t dollar = rec.find('$');
        v.text = dollar != std::string::npos;
        v.name = vxs_strip_blanks(std::string_view(rec).substr(0, v.text ? dollar : rec.size()),
                                  SYSTAT_NAME);
        (v.text ? h.strings : h.numerics)++;
    }
    if (!area.empty()) read_properties(area.substr(0, area_limit - 256), h);
    return true;
}

}  // namespace

int16_t read_systat_into_sheet(const char* path) {
    VxsSource src;
    if (!path || !src.open_file(path)) return 0;
    return read_systat_source(src);
}

int16_t read_systat_source(VxsSource& src) {
    BlockFile file;
    if (!file.open(std::move(src))) return 0;
    Header h;
    bool ok = false;
    size_t used = 0;
    for (size_t want = size_t(1) << 16;;) {
        ByteReader in = file.window(want, Endian::Little);
        h = Header();
        ok = read_header(in, h);
        used = in.pos();
        if (ok || in.ok() || in.size() >= file.remaining()) break;
        want = in.size() * 2;
    }
    if (!ok) return 0;
    file.consume(used);
    const uint64_t data_start = file.position();

    // The first record tells single from double precision.
    std::string rec;
    ByteReader first = file.window(
        systat_record_on_disk(SYSTAT_STRING * h.strings + 8 * h.numerics), Endian::Little);
    Rec got = read_record(first, rec);
    size_t single = SYSTAT_STRING * h.strings + 4 * h.numerics;
    size_t width = 4;
    if (got == Rec::Ok && rec.size() > single) width = 8;
    const size_t length = SYSTAT_STRING * h.strings + width * h.numerics;
    if (got == Rec::Ok && rec.size() != length) {
        std::printf("Systat record size mismatch.\n");
        return 0;
    }
    const size_t on_disk = systat_record_on_disk(length);
    const uint64_t records = got == Rec::Ok ? (file.size() - data_start) / on_disk : 0;
    if (h.vars.empty() || records == 0 || records > INT32_MAX) {
        std::printf("Error reading Systat file: No valid data found.\n");
        return 0;
    }

    // Numerics come first in a case record, then the strings, each in declaration order.
    size_t num_at = 0, str_at = width * h.numerics;
    for (Variable& v : h.vars) {
        v.offset = v.text ? str_at : num_at;
        (v.text ? str_at : num_at) += v.text ? SYSTAT_STRING : width;
    }

    Sheet* sheet = create_sheet();
    sheet->kind = VXS_VECTOR;
    sheet->source_type = VXT_SYSTAT;
    sheet->missing = vxs_missing;
    sheet->row_count = static_cast<int32_t>(records);
    create_row_attr(sheet);
    size_t ncols = h.vars.size();
    if (ncols > static_cast<size_t>(VXSMAXCOLUMNS)) {
        std::printf("Maximum number of columns (%i) exceeded.\nIgnoring extra columns.\n",
                    static_cast<int>(VXSMAXCOLUMNS));
        ncols = static_cast<size_t>(VXSMAXCOLUMNS);
    }
    std::vector<Column*> cols;
    for (size_t i = 0; i < ncols; ++i) {
        std::string name = h.vars[i].name;
        if (name.empty())
            name = vxs_def_column_name(static_cast<int32_t>(i + 1));
        else
            make_valid_vantrix_name(name);
        Column* col = create_column_with_memory(sheet, h.vars[i].text ? VXS_TEXT : VXS_VARIATE,
                                                name, sheet->row_count);
        if (!col) break;
        if (auto it = h.labels.find(static_cast<uint32_t>(i + 1)); it != h.labels.end())
            col->extra = it->second;
        cols.push_back(col);
    }

    const double missing = sheet->missing;
    for (uint64_t r = 0; r < records; ++r) {
        ByteReader in = file.window(on_disk, Endian::Little);
        Rec state = read_record(in, rec);
        if (state != Rec::Ok || rec.size() != length) {
            std::printf("Error in reading Systat File: Invalid record marker.\n");
            return 0;
        }
        file.consume(in.pos());
        ByteReader values(rec);
        for (size_t i = 0; i < cols.size(); ++i) {
            const Variable& v = h.vars[i];
            ByteReader at = values.slice(v.offset, v.text ? SYSTAT_STRING : width);
            if (v.text) {
                std::string_view s = at.view(SYSTAT_STRING);
                cols[i]->text.set(r, vxs_fixed_view(s, VxsPad::Blank));
                continue;
            }
            double x = width == 8 ? at.f64() : at.f32();
            if (std::isnan(x) || std::isinf(x) || x <= SYSTAT_MISSING)
                x = missing;
            else if (x > VXS_NUM_CEILING)
                x = VXS_NUM_CEILING;
            cols[i]->num[r] = x;
        }
    }
    for (Column* col : cols) vxs_set_default_column_width(col, 0);
    return 1;
}
