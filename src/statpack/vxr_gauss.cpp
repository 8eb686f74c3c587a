// Gauss reader (matrix files and data sets of 1989, 1992 and 1996, either byte order) and
// matrix writer (the numeric columns of the sheet, loaded in Gauss with LOADM).
#include "vxr_gauss.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "../sheet/vxs_format_entries.h"
#include "../sheet/byte_reader.h"
#include "../sheet/byte_writer.h"
#include "../sheet/vxs_access.h"
#include "../sheet/vxs_reader_kit.h"
#include "../sheet/block_file.h"

int16_t vxs_reverse = 0;

namespace {

constexpr bool kHostBig = std::endian::native == std::endian::big;

struct Layout {
    bool matrix = true;
    bool separate_data = false;  // 1989: the data lie in a .dat file beside the header
    uint64_t rows = 0, cols = 0;
    uint32_t elsize = 8;
    uint64_t data_offset = 0;
    Endian order = Endian::Little;
    std::vector<std::string> names;
    std::vector<uint8_t> is_char;
};

constexpr uint32_t swap32(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

bool valid_size(uint32_t s) { return s == 2 || s == 4 || s == 8; }

// Names (and, when types is set, one type byte per variable: 0 character, else numeric) of a
// data set; the count was checked against the file size by the caller.
bool read_names(ByteReader& in, Layout& L, bool types) {
    L.names.resize(L.cols);
    L.is_char.assign(L.cols, 0);
    for (uint64_t i = 0; i < L.cols; ++i) {
        L.names[i] = vxs_fixed_field(in.view(GAUSS_NAME), VxsPad::Nul);
        // 1989: upper-case names are numeric, lower-case ones character.
        if (!types) L.is_char[i] = !L.names[i].empty() && static_cast<unsigned char>(L.names[i][0]) >= 'a';
    }
    if (types)
        for (uint64_t i = 0; i < L.cols; ++i) L.is_char[i] = in.u8() == 0;
    return in.ok();
}

// The header at the start of in; file_size bounds every count before it sizes anything.
bool parse_header(ByteReader& in, uint64_t file_size, Layout& L) {
    uint16_t first = in.u16();
    if (!in.ok()) return false;
    uint32_t flags = 0;
    switch (first) {
        case GAUSS_MATRIX_SMALL: {
            L.rows = in.u16();
            L.cols = in.u16();
            in.u16();
            if (in.u16() != GAUSS_MATRIX_TYPE) return false;
            in.skip(6);
            L.data_offset = GAUSS_MATRIX_HEADER;
            break;
        }
        case GAUSS_MATRIX_LARGE: {
            if (in.u16() != GAUSS_MATRIX_TYPE) return false;
            L.rows = in.u32();
            L.cols = in.u32();
            in.u32();
            L.data_offset = GAUSS_MATRIX_HEADER;
            break;
        }
        case GAUSS_DHT_SMALL:
        case GAUSS_DHT_LARGE: {
            L.matrix = false;
            L.separate_data = true;
            if (first == GAUSS_DHT_SMALL) {
                in.skip(4);
                L.cols = in.u16();
                in.skip(4);
                L.elsize = in.u16();
                in.skip(8);
                flags = in.u16();
            } else {
                L.elsize = in.u16();
                in.skip(4);
                L.cols = in.u32();
                in.skip(16);
                flags = in.u16();
            }
            if (!in.ok() || (flags & 4)) return false;
            if (!valid_size(L.elsize)) L.elsize = 8;
            if (!in.seek(GAUSS_DATASET_HEADER) || L.cols * GAUSS_NAME > in.remaining())
                return false;
            if (!read_names(in, L, false)) return false;
            break;
        }
        case GAUSS_V92: {
            L.matrix = false;
            if (in.u16() != 0 || in.u32() != GAUSS_V92_MARK) return false;
            in.skip(12);
            L.rows = in.u32();
            L.cols = in.u32();
            if (in.u32() != 0) return false;
            L.elsize = in.u32();
            if (!in.ok() || !valid_size(L.elsize) || !in.seek(GAUSS_DATASET_HEADER)) return false;
            if (L.cols * (GAUSS_NAME + 1) > in.remaining()) return false;
            if (!read_names(in, L, true)) return false;
            L.data_offset = in.pos();
            break;
        }
        case GAUSS_V96: {
            if (in.u16() != 0xFFFF || in.u32() != 0) return false;
            in.skip(12);
            in.u32();
            uint32_t mark = in.u32();
            if (mark == swap32(GAUSS_V96_MATRIX) || mark == swap32(GAUSS_V96_DATASET)) {
                in.set_order(Endian::Big);
                mark = swap32(mark);
            }
            if (mark != GAUSS_V96_MATRIX && mark != GAUSS_V96_DATASET) return false;
            L.matrix = mark == GAUSS_V96_MATRIX;
            in.skip(16);
            L.elsize = in.u32();
            L.rows = in.u32();
            L.cols = in.u32();
            if (!in.ok() || !valid_size(L.elsize) || !in.seek(GAUSS_DATASET_HEADER)) return false;
            if (!L.matrix) {
                if (L.cols * (GAUSS_NAME + 1) > in.remaining()) return false;
                if (!read_names(in, L, true)) return false;
            }
            L.data_offset = in.pos();
            break;
        }
        default:
            return false;
    }
    L.order = in.order();
    if (!in.ok() || L.cols == 0) return false;
    if (L.separate_data) return true;
    // Every declared element must be present before the sheet is sized by the counts.
    if (L.rows == 0 || L.cols > file_size || L.rows > file_size) return false;
    return L.data_offset <= file_size && L.rows * L.cols * L.elsize <= file_size - L.data_offset;
}

// The 1989 data file: the header's name with its extension replaced by ".dat" (or ".DAT").
bool open_data_file(const VxsSource& header, BlockFile& data) {
    if (header.name().size() > GAUSS_MAX_HEADER_NAME) return false;
    VxsSource s = header.open_sibling(".dat");
    return s.is_open() && data.open(std::move(s));
}

std::string sheet_name_of(const char* path) {
    std::string base = path;
    size_t sep = base.find_last_of("\\/:");
    if (sep != std::string::npos) base = base.substr(sep + 1);
    size_t dot = base.find_last_of('.');
    if (dot != std::string::npos) base.resize(dot);
    if (base.size() > VXS_MAX_NAME) base.resize(VXS_MAX_NAME);
    make_valid_vantrix_name(base);
    return base;
}

double decode(ByteReader& r, uint32_t elsize, double missing) {
    double v;
    if (elsize == 8) {
        std::string_view raw = r.view(8);
        if (raw.size() == 8 && (std::memcmp(raw.data(), GAUSS_MISSING, 8) == 0 ||
                                std::memcmp(raw.data(), GAUSS_FACTOR_MISSING, 8) == 0))
            return missing;
        ByteReader one(raw, r.order());
        v = one.f64();
    } else if (elsize == 4) {
        v = r.f32();
    } else {
        v = r.i16();
    }
    if (std::isnan(v) || std::isinf(v) || v <= missing) return missing;
    return v > VXS_NUM_CEILING ? VXS_NUM_CEILING : v;
}

}  // namespace

long get_records(FILE* file, long record_size) {
    if (!file || record_size <= 0) return 0;
    if (std::fseek(file, 0, SEEK_END) != 0) return 0;
    long size = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    return size < record_size ? 0 : size / record_size;
}

int16_t read_gauss_into_sheet(const char* path) {
    VxsSource src;
    if (!path || !src.open_file(path)) return 0;
    return read_gauss_source(src);
}

int16_t read_gauss_source(VxsSource& src) {
    const std::string path = src.name();
    BlockFile file;
    if (!file.open(std::move(src))) return 0;
    // The header, names and type bytes lie in the first bytes; names are at most 9 bytes a
    // variable, so a window of the whole header file (or enough of it) holds them.
    Layout L;
    ByteReader head =
        file.window(static_cast<size_t>(std::min<uint64_t>(file.size(), 1u << 24)), Endian::Little);
    if (!parse_header(head, file.size(), L)) return 0;
    vxs_reverse = (L.order == Endian::Big) != kHostBig;

    BlockFile data_file;
    BlockFile* data = &file;
    if (L.separate_data) {
        if (!open_data_file(file.source(), data_file)) return 0;
        data = &data_file;
        L.rows = data_file.size() / (L.cols * L.elsize);
        L.data_offset = 0;
    }
    if (L.rows == 0 || L.rows > INT32_MAX) return 0;
    if (!data->seek(L.data_offset)) return 0;

    uint64_t ncols = L.cols;
    if (ncols > static_cast<uint64_t>(VXSMAXCOLUMNS)) {
        std::printf("Warning Columns above %li NOT transfered!\n",
                    static_cast<long>(VXSMAXCOLUMNS));
        ncols = static_cast<uint64_t>(VXSMAXCOLUMNS);
    }
    Sheet* sheet = create_sheet();
    sheet->kind = L.matrix ? VXS_MATRIX : VXS_VECTOR;
    sheet->source_type = VXT_GAUSS;
    sheet->missing = vxs_missing;
    sheet->structure_name = sheet_name_of(path.c_str());
    sheet->row_count = static_cast<int32_t>(L.rows);
    create_row_attr(sheet);

    std::vector<Column*> cols;
    for (uint64_t c = 0; c < ncols; ++c) {
        Column* col;
        if (L.matrix) {
            col = create_column_with_memory(sheet, VXS_MATRIX_COL, std::to_string(c + 1),
                                            sheet->row_count);
        } else {
            std::string name = L.names[c];
            if (name.empty())
                name = vxs_def_column_name(static_cast<int32_t>(c + 1));
            else
                make_valid_vantrix_name(name);
            col = create_column_with_memory(sheet, L.is_char[c] ? VXS_TEXT : VXS_VARIATE, name,
                                            sheet->row_count);
        }
        if (!col) break;
        cols.push_back(col);
    }

    const double missing = sheet->missing;
    const size_t row_bytes = static_cast<size_t>(L.cols * L.elsize);
    for (uint64_t r = 0; r < L.rows; ++r) {
        ByteReader row = data->window(row_bytes, L.order);
        if (row.size() < row_bytes) break;
        data->consume(row_bytes);
        for (size_t c = 0; c < cols.size(); ++c) {
            Column* col = cols[c];
            if (col->type == VXS_TEXT) {
                std::string_view raw = row.view(L.elsize);
                col->text.set(r, vxs_fixed_view(raw, VxsPad::Nul));
            } else {
                col->num[r] = decode(row, L.elsize, missing);
            }
        }
    }
    for (Column* col : cols) vxs_set_default_column_width(col, 0);
    return 1;
}

namespace {


}  // namespace

int16_t write_sheet_as_gauss(Sheet* sheet, const char* path) {
    if (!sheet || sheet->kind == VXS_SYMMATRIX || sheet->row_count < 1 || sheet->column_count < 1 ||
        sheet->cols.size() < 2)
        return 0;
    std::vector<const Column*> cols;
    for (size_t i = 1; i < sheet->cols.size(); ++i)
        if (!sheet->cols[i]->is_text()) cols.push_back(sheet->cols[i].get());
    if (cols.empty()) return 0;  // texts only: a matrix of no columns is no file
    const uint64_t rows = static_cast<uint64_t>(sheet->row_count);
    const uint64_t size = rows * cols.size() * 8;

    // A sheet read from a Gauss file goes back in that file's byte order, else in the host's.
    ByteWriter out(kHostBig != (vxs_reverse != 0) ? Endian::Big : Endian::Little);
    if (!out.open(path)) return 0;
    if (size < GAUSS_SMALL_LIMIT) {
        out.u16(GAUSS_MATRIX_SMALL);
        out.u16(static_cast<uint16_t>(rows));
        out.u16(static_cast<uint16_t>(cols.size()));
        out.u16(static_cast<uint16_t>(size));
        out.u16(GAUSS_MATRIX_TYPE);
        for (int k = 0; k < 3; ++k) out.u16(0);
    } else {
        out.u32(GAUSS_LARGE_MAGIC);
        out.u32(static_cast<uint32_t>(rows));
        out.u32(static_cast<uint32_t>(cols.size()));
        out.u32(static_cast<uint32_t>(size));
    }
    const double missing = sheet->missing;
    for (uint64_t r = 0; r < rows && out.ok(); ++r) {
        for (const Column* c : cols) {
            double v = r < c->num.size() ? c->num[r] : missing;
            if (c->type == VXS_FACTOR) {
                if (!(v > 0)) {
                    out.bytes(GAUSS_FACTOR_MISSING, 8);
                    continue;
                }
                size_t k = static_cast<size_t>(v);
                if (!c->levels.empty()) {
                    if (k > c->levels.size()) {
                        out.bytes(GAUSS_FACTOR_MISSING, 8);
                        continue;
                    }
                    v = c->levels[k - 1];
                }
            } else if (!vxs_is_number_type(c->type)) {
                v = missing;
            }
            if (v <= missing)
                out.bytes(GAUSS_MISSING, 8);
            else
                out.f64(v);
        }
    }
    return out.close() ? 1 : 0;
}
