// MStat data sets: the header file names the variables (numbers in the Microsoft binary
// format, texts of fixed width); the data file beside it (".dat") holds one record per case,
// its first byte "*" when the record is in use.
#include "vxr_mstat.h"

#include <algorithm>
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

double mstat_mbf_to_double(const unsigned char* b, double missing) {
    if (b[0] == ' ' && b[1] == ' ' && b[2] == ' ' && b[3] == ' ') return missing;
    // An exponent byte of 0 is zero in this format; 1 would underflow the conversion below,
    // and is as good as zero.
    if (b[3] < 2) return 0;
    unsigned char ieee[4];
    ieee[3] = static_cast<unsigned char>(((b[3] / 2 - 1) & 0x7F) | (b[2] & 0x80));
    ieee[2] = static_cast<unsigned char>((b[2] & 0x7F) | ((b[3] & 1) << 7));
    ieee[1] = b[1];
    ieee[0] = b[0];
    ByteReader r(ieee, 4, Endian::Little);
    double x = r.f32();
    return x < missing ? missing : x;
}

namespace {

struct Variable {
    std::string name;
    int16_t type = 0;
    size_t bytes = 0;
    Column* col = nullptr;
    size_t longest = 0;
};

const char* const kVersions[] = {"3.00/EM", "3.00/EV", "4.00/EM", "4.00/EV"};

}  // namespace

int16_t read_mstat_into_sheet(const char* path) {
    VxsSource src;
    if (!src.open_file(path)) return 0;
    return read_mstat_source(src);
}

int16_t read_mstat_source(VxsSource& src) {
    std::string_view bytes;
    if (!src.whole(bytes)) return 0;
    ByteReader in(bytes, Endian::Little);
    uint16_t reclen = in.u16(), nrec = in.u16(), nvar = in.u16();
    if (!in.ok() || reclen == 0 || nrec == 0 || nvar == 0) return 0;
    int32_t nread = nvar;
    if (nread > VXSMAXCOLUMNS) {
        std::printf("Warning Columns above %li NOT transfered!\n", static_cast<long>(VXSMAXCOLUMNS));
        nread = VXSMAXCOLUMNS;
    }
    std::string_view version = in.view(MSTAT_TEXT);
    if (!in.ok()) return 0;
    bool known = false;
    for (const char* v : kVersions) known = known || version.substr(0, 7) == v;
    if (!known) return 0;
    std::string_view description = in.view(MSTAT_TEXT);
    in.skip(6);
    if (!in.ok()) return 0;

    Sheet* sheet = create_sheet();
    sheet->source_type = VXT_MSTAT;
    sheet->missing = vxs_missing;
    const double missing = sheet->missing;
    sheet->row_count = nrec;
    create_row_attr(sheet);
    vxs_add_line_to_description(sheet, vxs_fixed_field(description, VxsPad::Nul));

    std::vector<Variable> vars;
    for (int32_t k = 0; k < nread; ++k) {
        std::string_view raw = in.view(MSTAT_TEXT);
        int16_t type = in.i16(), width = in.i16(), decimals = in.i16();
        if (!in.ok()) return 0;
        if (type != MSTAT_NUMERIC && type >= 0) return 0;
        std::string name = vxs_fixed_field(raw, VxsPad::Nul);
        name.resize(std::min(name.size(), VXS_MAX_NAME));
        // MStat's unnamed variable is "_"; it is named by its number.
        if (name == "_")
            name = "V" + std::to_string(k + 1);
        else
            make_valid_vantrix_name(name);
        decimals = std::clamp<int16_t>(decimals, -1, 12);
        width = std::clamp<int16_t>(width, 3, 25);
        Variable v;
        v.type = type;
        v.bytes = type == MSTAT_NUMERIC ? 4 : static_cast<size_t>(-type);
        Column* col = create_column_with_memory(sheet, type == MSTAT_NUMERIC ? VXS_VARIATE : VXS_TEXT, name, nrec);
        if (!col) break;
        col->width = std::max<int32_t>(decimals + width + 2, static_cast<int32_t>(col->name.size()) + 1);
        if (type == MSTAT_NUMERIC) {
            col->text_capacity = 25;
            col->decimals = decimals + 1;
            col->representation = VXS_REP_FIXED;
        } else {
            col->text_capacity = 90;
            col->decimals = -1;
            col->representation = VXS_REP_TEXT;
        }
        v.col = col;
        v.name = name;
        vars.push_back(v);
    }

    // The data file beside the header: its extension replaced by ".dat" (appended when there
    // is none); ".DAT" when that is not there, as on systems that keep names in capitals.
    BlockFile data;
    VxsSource data_source = src.open_sibling(".dat");
    if (!data_source.is_open() || !data.open(std::move(data_source))) return 0;
    const size_t record = static_cast<size_t>(reclen) + 1;
    // Every announced record must be there; the count then sizes nothing beyond the file.
    if (data.size() < static_cast<uint64_t>(nrec) * record) return 0;
    const bool strip = vxs_get_global_defaults()->factor_strip_blanks != 0;
    size_t row = 0;
    for (uint16_t k = 0; k < nrec; ++k) {
        ByteReader rec = data.window(record, Endian::Little).sub(record);
        if (!rec.ok()) return 0;
        data.consume(record);
        if (rec.u8() != MSTAT_IN_USE) continue;
        for (Variable& v : vars) {
            if (!rec.has(v.bytes)) break;
            std::string_view raw = rec.view(v.bytes);
            if (v.type == MSTAT_NUMERIC) {
                v.col->num[row] = mstat_mbf_to_double(reinterpret_cast<const unsigned char*>(raw.data()), missing);
                continue;
            }
            std::string t(raw.substr(0, std::min(raw.size(), VXS_MAX_TEXT)));
            if (strip) {
                t = vxs_strip_blanks(t, VXS_MAX_TEXT);
            } else {
                t = vxs_fixed_field(t, VxsPad::Blank);
            }
            v.longest = std::max(v.longest, t.size());
            v.col->text.set(row, t);
        }
        ++row;
    }
    // Records not in use were passed over: the sheet loses their rows. With none in use there
    // is no data.
    if (row == 0) {
        lastsheet = nullptr;
        return 1;
    }
    sheet->row_count = static_cast<int32_t>(row);
    create_row_attr(sheet);
    for (Variable& v : vars) {
        Column* col = v.col;
        if (col->is_text()) {
            col->text.resize(row);
            int32_t longest = std::max<int32_t>(col->width, static_cast<int32_t>(v.longest));
            col->nlevels = longest;
            col->width = std::clamp(longest, 3, 90);
        } else {
            col->num.resize(row);
            col->width = std::clamp(col->width, 3, 18);
        }
    }
    return 1;
}
