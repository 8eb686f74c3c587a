// Paradox tables: field descriptors and names from the header, then the records of the data
// blocks in chain order. Memo, graphic, binary and BCD fields are passed over.
#include "vxr_pdx.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../sheet/vxs_format_entries.h"
#include "../sheet/byte_reader.h"
#include "../sheet/vxs_access.h"
#include "../sheet/vxs_sheet.h"
#include "../sheet/vxs_txtnum.h"
#include "../sheet/vxs_reader_kit.h"
#include "../sheet/block_file.h"

double pdx_decode(uint8_t type, const uint8_t* bytes, size_t size, double missing) {
    // A lying descriptor may claim a numeric field wider than any encoding; only 8 bytes count.
    size = std::min<size_t>(size, 8);
    uint8_t b[8] = {0};
    std::memcpy(b, bytes, size);
    bool all_zero = true;
    for (size_t i = 0; i < size; ++i) all_zero = all_zero && b[i] == 0;
    if (all_zero) return missing;
    // The top bit of the first byte is set for values at or above zero; negative integers
    // have it clear, negative doubles have every bit inverted.
    if (type == PDX_MONEY || type == PDX_NUMBER) {
        if (b[0] & 0x80) {
            b[0] &= 0x7F;
        } else {
            for (size_t i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(~b[i]);
        }
        return ByteReader(b, 8, Endian::Big).f64();
    }
    b[0] ^= 0x80;
    int64_t v = (b[0] & 0x80) ? -1 : 0;  // sign-extend from the field's width
    for (size_t i = 0; i < size; ++i) v = static_cast<int64_t>(static_cast<uint64_t>(v) << 8) | b[i];
    double x = static_cast<double>(v);
    return type == PDX_TIME ? x / 1000.0 : x;
}

namespace {

struct PdxField {
    uint8_t type = 0;
    size_t size = 0, offset = 0;
    std::string name;
    Column* col = nullptr;
    int32_t width = 0;
};

bool has_column(uint8_t t) {
    return t == PDX_ALPHA || t == PDX_DATE || t == PDX_SHORT || t == PDX_LONG || t == PDX_MONEY ||
           t == PDX_NUMBER || t == PDX_LOGICAL || t == PDX_TIME || t == PDX_AUTOINC;
}

bool passed_over(uint8_t t) {
    return (t >= 12 && t <= 16) || t == 21 || t == 23 || t == 24;
}

size_t expected_size(uint8_t t) {
    switch (t) {
        case PDX_DATE: case PDX_LONG: case PDX_TIME: case PDX_AUTOINC: return 4;
        case PDX_SHORT: return 2;
        case PDX_MONEY: case PDX_NUMBER: return 8;
        case PDX_LOGICAL: return 1;
        default: return 0;  // any size
    }
}

enum class Layout { Old, New, NewLongName };

// Descriptors and names in one layout; false when they do not fit it (strict: sizes must
// match their types).
bool read_fields(const ByteReader& head, size_t header_size, size_t nfields, Layout layout, bool strict,
                 std::vector<PdxField>& fields) {
    fields.assign(nfields, PdxField{});
    ByteReader d = head.slice(layout == Layout::Old ? PDX_FIELDS_OLD : PDX_FIELDS_NEW, nfields * 2);
    for (PdxField& f : fields) {
        f.type = d.u8();
        f.size = d.u8();
        if (!d.ok()) return false;
        if (!has_column(f.type) && !passed_over(f.type)) return false;
        if (f.type == PDX_BCD) f.size = PDX_BCD_SIZE;
        size_t want = expected_size(f.type);
        if (strict && want && f.size != want) return false;
    }
    size_t names = 6 * nfields + (layout == Layout::Old ? PDX_FIELDS_OLD : PDX_FIELDS_NEW) + 4 +
                   (layout == Layout::NewLongName ? PDX_TABLE_NAME_LONG : PDX_TABLE_NAME);
    for (PdxField& f : fields) {
        if (names >= header_size) return false;
        size_t n = std::min(PDX_NAME_READ, header_size - names);
        std::string_view raw(reinterpret_cast<const char*>(head.data()) + names, std::min(n, head.size() - std::min(names, head.size())));
        size_t z = raw.find('\0');
        if (z == std::string_view::npos && raw.size() < PDX_NAME_READ) return false;
        raw = raw.substr(0, z);
        f.name = std::string(raw.substr(0, VXS_MAX_NAME));
        names += raw.size() + 1;
    }
    return names <= header_size;
}

// Width a stored value asks for.
int32_t value_width(double x, double missing) {
    if (x <= missing) return 1;
    double a = std::fabs(x);
    if (a == 0) return 3;
    if (a > 1e-12 && a < 1e12) return static_cast<int32_t>(std::fabs(std::trunc(std::log10(a)))) + 3;
    return 15;
}

}  // namespace

int16_t read_pdx_into_sheet(const char* path) {
    VxsSource src;
    if (!src.open_file(path)) return 0;
    return read_pdx_source(src);
}

int16_t read_pdx_source(VxsSource& src) {
    BlockFile file;
    if (!file.open(std::move(src))) return 0;
    ByteReader h = file.window(PDX_FIELDS_NEW, Endian::Little);
    const uint16_t record_size = h.u16_at(PDX_RECORD_SIZE);
    const uint16_t header_size = h.u16_at(PDX_HEADER_SIZE);
    const size_t block_size = static_cast<size_t>(h.u8_at(PDX_MAX_TABLE_SIZE)) * 1024;
    const uint32_t nrecords = h.u32_at(PDX_RECORDS);
    const uint16_t nblocks = h.u16_at(PDX_BLOCKS);
    const uint16_t first_block = h.u16_at(PDX_FIRST_BLOCK);
    size_t nfields = h.u8_at(PDX_FIELDS);
    const uint8_t version = h.u8_at(PDX_VERSION);
    if (h.size() < PDX_FIELDS_OLD) return 0;
    if (nrecords == 0 || nblocks == 0 || nfields == 0) return 1;
    if (record_size == 0 || block_size <= PDX_BLOCK_HEADER || header_size > file.size()) return 0;
    // Only records whose bytes can be in the file are counted on.
    if (static_cast<uint64_t>(nrecords) * record_size > file.size()) return 0;

    ByteReader head = file.window(header_size, Endian::Little);
    if (head.size() < header_size) return 0;
    head = head.slice(0, header_size);
    std::vector<PdxField> fields;
    // The version byte settles the layout where it is known: small new-layout tables can
    // pass the old layout's checks by chance. Unknown versions are tried old, then new.
    bool ok = false;
    if (version == 3 || version == 4) {
        ok = read_fields(head, header_size, nfields, Layout::Old, false, fields);
    } else if (version >= 5 && version <= 12) {
        Layout l = version >= PDX_VERSION_LONG_NAME ? Layout::NewLongName : Layout::New;
        ok = read_fields(head, header_size, nfields, l, false, fields);
    } else {
        ok = read_fields(head, header_size, nfields, Layout::Old, true, fields) ||
             read_fields(head, header_size, nfields, Layout::New, false, fields);
    }
    if (!ok) return 0;
    size_t offset = 0;
    for (PdxField& f : fields) {
        f.offset = offset;
        offset += f.size;
    }
    if (offset > record_size) return 0;

    if (static_cast<int32_t>(nfields) > VXSMAXCOLUMNS) {
        std::printf("Warning Columns above %li NOT transfered!\n", static_cast<long>(VXSMAXCOLUMNS));
        nfields = static_cast<size_t>(VXSMAXCOLUMNS);
    }
    Sheet* sheet = create_sheet();
    sheet->source_type = VXT_PDX;
    sheet->missing = vxs_missing;
    const double missing = sheet->missing;
    const int32_t rows = static_cast<int32_t>(nrecords);
    sheet->row_count = rows;
    create_row_attr(sheet);
    for (size_t k = 0; k < nfields; ++k) {
        PdxField& f = fields[k];
        if (!has_column(f.type)) continue;
        f.col = vxs_add_column(sheet, f.type == PDX_ALPHA ? VXS_TEXT : VXS_VARIATE, f.name, rows);
        if (!f.col) break;
    }

    const bool strip = vxs_get_global_defaults()->factor_strip_blanks != 0;
    const size_t per_block = (block_size - PDX_BLOCK_HEADER) / record_size;
    std::vector<char> seen(static_cast<size_t>(nblocks) + 1, 0);
    size_t row = 0;
    // The chain of data blocks; a block met twice ends it.
    for (uint32_t block = first_block; block != 0 && row < nrecords;) {
        if (block > nblocks || seen[block]) break;
        seen[block] = 1;
        uint64_t at = header_size + static_cast<uint64_t>(block - 1) * block_size;
        if (at + PDX_BLOCK_HEADER > file.size() || !file.seek(at)) break;
        ByteReader b = file.window(block_size, Endian::Little);
        uint16_t next = b.u16();
        b.u16();
        int16_t last = b.i16();
        if (!b.ok()) break;
        size_t count = last < 0 ? 0 : std::min<size_t>(static_cast<size_t>(last) / record_size + 1, per_block);
        for (size_t r = 0; r < count && row < nrecords; ++r) {
            ByteReader rec = b.sub(record_size);
            if (!rec.ok()) break;
            for (size_t k = 0; k < nfields; ++k) {
                const PdxField& f = fields[k];
                if (!f.col) continue;
                const uint8_t* p = rec.data() + f.offset;
                if (f.type == PDX_ALPHA) {
                    std::string_view raw(reinterpret_cast<const char*>(p), f.size);
                    raw = vxs_fixed_view(raw, VxsPad::Nul);
                    std::string t = strip ? vxs_strip_blanks(raw, VXS_MAX_TEXT) : std::string(raw.substr(0, VXS_MAX_TEXT));
                    fields[k].width = std::max(f.width, static_cast<int32_t>(t.size()));
                    f.col->text.set(row, t);
                } else {
                    double x = pdx_decode(f.type, p, f.size, missing);
                    f.col->num[row] = x;
                    fields[k].width = std::max(f.width, value_width(x, missing));
                }
            }
            ++row;
        }
        block = next;
    }

    for (size_t k = 0; k < nfields; ++k) {
        PdxField& f = fields[k];
        Column* col = f.col;
        if (!col) continue;
        int32_t width = f.width;
        if (f.type == PDX_MONEY) {
            col->representation = VXS_REP_FIXED;
            col->decimals = 2;
        } else if (f.type == PDX_ALPHA) {
            col->decimals = 0;
        } else if (f.type != PDX_NUMBER && f.type != PDX_TIME) {
            col->representation = VXS_REP_FIXED;
            col->decimals = 0;
        }
        if (col->is_text())
            col->nlevels = width;
        else
            width += col->decimals >= 0 ? col->decimals + 1 : 3;
        width = std::max(width, static_cast<int32_t>(col->name.size()) + 1);
        col->width = std::clamp(width, 3, 90);
    }
    return 1;
}
