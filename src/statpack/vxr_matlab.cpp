// Matlab MAT-files. Level 4: the first matrix of the file becomes a matrix sheet, and any sheet's
// numeric and factor columns are written as one real double matrix. Level 5 (the layout Matlab
// has written by default since 1999) is read through libmatio: the first real numeric or
// logical 2-D variable becomes the sheet by the same rules.
#include "vxr_matlab.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../sheet/vxs_format_entries.h"
#include "../sheet/byte_reader.h"
#include "../sheet/byte_writer.h"
#include "../sheet/vxs_access.h"
#include "../sheet/vxs_sheet.h"
#include "../sheet/block_file.h"

#ifdef MORVALEN_HAVE_MATIO
#include <dlfcn.h>
#include <matio.h>
#include <zlib.h>
#endif

bool vxs_is_matlab5(const unsigned char* data, size_t size) {
    if (size < MAT5_HEADER_SIZE) return false;
    // The text part starts "MATLAB 5.0 MAT-file" in every writer seen; the version and the
    // byte-order mark are what make it certain.
    if (std::memcmp(data, "MATLAB", 6) != 0) return false;
    const unsigned char* v = data + 124;
    bool little = v[0] == 0x00 && v[1] == 0x01 && v[2] == 'I' && v[3] == 'M';
    bool big = v[0] == 0x01 && v[1] == 0x00 && v[2] == 'M' && v[3] == 'I';
    return little || big;
}

namespace {

// Cells of a read matrix: NaN, infinities and values at or below the missing value are
// missing; values above the ceiling are held to it.
double cell_value(double x, double missing) {
    if (std::isnan(x) || std::isinf(x) || x <= missing) return missing;
    return x > VXS_NUM_CEILING ? VXS_NUM_CEILING : x;
}

// Width of a matrix column: the integer digits of its largest magnitude (values between 1e-10
// and 1e10 only) against the name's length + 2, held to 3..20.
void set_matrix_width(Column* col, double missing) {
    double largest = 0;
    for (double x : col->num) {
        if (x <= missing) continue;
        double a = std::fabs(x);
        if (a > 1e-10 && a < 1e10) largest = std::max(largest, a);
    }
    int32_t digits = largest >= 1 ? static_cast<int32_t>(std::floor(std::log10(largest))) + 1 : 1;
    int32_t w = std::max(digits, static_cast<int32_t>(col->name.size()) + 2);
    col->width = std::clamp(w, 3, 20);
    col->decimals = -1;
}

// The matrix sheet every level reads into; columns are added by the caller.
Sheet* new_matrix_sheet(const std::string& name, int32_t rows) {
    Sheet* sheet = create_sheet();
    sheet->kind = VXS_MATRIX;
    sheet->source_type = VXT_MATLAB;
    sheet->missing = vxs_missing;
    sheet->structure_name = name.substr(0, VXS_MAX_NAME);
    sheet->row_count = rows;
    create_row_attr(sheet);
    return sheet;
}

int32_t column_limit_warning(int64_t ncols) {
    if (ncols <= VXSMAXCOLUMNS) return static_cast<int32_t>(ncols);
    std::printf("Warning Columns above %li NOT transfered!\n", static_cast<long>(VXSMAXCOLUMNS));
    return VXSMAXCOLUMNS;
}

int16_t read_matlab4(BlockFile& file) {
    ByteReader h = file.window(MAT4_HEADER_SIZE, Endian::Little);
    int32_t type = h.i32(), rows = h.i32(), cols = h.i32(), imag = h.i32(), name_len = h.i32();
    if (!h.ok() || type != MAT4_TYPE_LE_DOUBLE_FULL || imag != 0 || name_len < 0 || rows < 1 || cols < 1)
        return 0;
    // The whole matrix must be present before anything is sized from the header.
    uint64_t need = MAT4_HEADER_SIZE + static_cast<uint64_t>(name_len) +
                    static_cast<uint64_t>(rows) * static_cast<uint64_t>(cols) * 8;
    if (need > file.size()) return 0;
    file.consume(MAT4_HEADER_SIZE);
    ByteReader n = file.window(static_cast<size_t>(name_len), Endian::Little);
    std::string_view raw = n.view(static_cast<size_t>(name_len));
    if (!n.ok()) return 0;
    std::string name(raw.substr(0, std::min(raw.find('\0'), VXS_MAX_NAME)));
    file.consume(static_cast<uint64_t>(name_len));

    int32_t ncols = column_limit_warning(cols);
    Sheet* sheet = new_matrix_sheet(name, rows);
    const double missing = sheet->missing;
    const size_t nrows = static_cast<size_t>(rows);
    for (int32_t c = 0; c < ncols; ++c) {
        Column* col = create_column_with_memory(sheet, VXS_MATRIX_COL, std::to_string(c + 1), rows);
        if (!col) break;
        for (size_t r = 0; r < nrows;) {
            size_t want = std::min<size_t>((nrows - r) * 8, BlockFile::BLOCK);
            ByteReader in = file.window(want, Endian::Little);
            size_t k = std::min(nrows - r, in.size() / 8);
            if (k == 0) return 0;
            for (size_t i = 0; i < k; ++i) col->num[r + i] = cell_value(in.f64(), missing);
            file.consume(k * 8);
            r += k;
        }
        set_matrix_width(col, missing);
    }
    return 1;
}

#ifdef MORVALEN_HAVE_MATIO

// libmatio brings HDF5 and a network stack with it, which would double every run's start-up
// time and memory: it is loaded only when a level 5 file is read.
struct Matio {
    decltype(&Mat_Open) open = nullptr;
    decltype(&Mat_Close) close = nullptr;
    decltype(&Mat_VarReadNextInfo) next_info = nullptr;
    decltype(&Mat_VarRead) read = nullptr;
    decltype(&Mat_VarFree) free = nullptr;
};

const Matio* matio() {
    static const Matio m = [] {
        Matio f;
        void* lib = dlopen(MORVALEN_MATIO_SONAME, RTLD_NOW | RTLD_LOCAL);
        if (!lib) return f;
        f.open = reinterpret_cast<decltype(&Mat_Open)>(dlsym(lib, "Mat_Open"));
        f.close = reinterpret_cast<decltype(&Mat_Close)>(dlsym(lib, "Mat_Close"));
        f.next_info = reinterpret_cast<decltype(&Mat_VarReadNextInfo)>(dlsym(lib, "Mat_VarReadNextInfo"));
        f.read = reinterpret_cast<decltype(&Mat_VarRead)>(dlsym(lib, "Mat_VarRead"));
        f.free = reinterpret_cast<decltype(&Mat_VarFree)>(dlsym(lib, "Mat_VarFree"));
        if (!f.open || !f.close || !f.next_info || !f.read || !f.free) f.open = nullptr;
        return f;
    }();
    return m.open ? &m : nullptr;
}

const char* skipped_kind(const matvar_t* v) {
    if (v->class_type == MAT_C_CELL) return "cell array";
    if (v->class_type == MAT_C_STRUCT) return "struct";
    if (v->class_type == MAT_C_SPARSE) return "sparse matrix";
    if (v->isComplex) return "complex matrix";
    if (v->class_type == MAT_C_CHAR) return "character array";
    if (v->class_type == MAT_C_FUNCTION || v->class_type == MAT_C_OBJECT || v->class_type == MAT_C_OPAQUE)
        return "object";
    if (v->rank != 2) return "array of more than 2 dimensions";
    return nullptr;
}

// Element of a read variable as a double, by its class.
double element(const matvar_t* v, size_t i) {
    const void* d = v->data;
    switch (v->class_type) {
        case MAT_C_DOUBLE: return static_cast<const double*>(d)[i];
        case MAT_C_SINGLE: return static_cast<const float*>(d)[i];
        case MAT_C_INT8: return static_cast<const int8_t*>(d)[i];
        case MAT_C_UINT8: return static_cast<const uint8_t*>(d)[i];
        case MAT_C_INT16: return static_cast<const int16_t*>(d)[i];
        case MAT_C_UINT16: return static_cast<const uint16_t*>(d)[i];
        case MAT_C_INT32: return static_cast<const int32_t*>(d)[i];
        case MAT_C_UINT32: return static_cast<const uint32_t*>(d)[i];
        case MAT_C_INT64: return static_cast<double>(static_cast<const int64_t*>(d)[i]);
        case MAT_C_UINT64: return static_cast<double>(static_cast<const uint64_t*>(d)[i]);
        default: return 0;
    }
}

size_t class_size(matio_classes c) {
    switch (c) {
        case MAT_C_DOUBLE: case MAT_C_INT64: case MAT_C_UINT64: return 8;
        case MAT_C_SINGLE: case MAT_C_INT32: case MAT_C_UINT32: return 4;
        case MAT_C_INT16: case MAT_C_UINT16: return 2;
        case MAT_C_INT8: case MAT_C_UINT8: return 1;
        default: return 0;
    }
}

// zlib cannot expand data by more than about 1032 times; a variable that claims more than
// that over the whole file is lying and is not read.
constexpr uint64_t MAX_INFLATE_RATIO = 1032;

// Level 5 data element types this check looks at.
enum : uint32_t { MI_INT8 = 1, MI_INT32 = 5, MI_UINT32 = 6, MI_MATRIX = 14, MI_COMPRESSED = 15 };
enum : uint32_t { MX_CELL = 1, MX_STRUCT = 2, MX_OBJECT = 3, MX_SPARSE = 5 };
constexpr int MAX_NESTING = 16;

// libmatio sizes its allocations from the counts inside a variable (the elements of a cell
// array, the fields of a struct) before it has seen the bytes that should hold them. Each
// variable is walked here first, and a file whose counts cannot fit in the bytes present is
// refused rather than handed to the library.
struct Mat5Check {
    Endian order;

    // The next data element of r: its type and a reader over its bytes (small elements keep
    // type and size in one word and their data in the next four bytes).
    bool element(ByteReader& r, uint32_t& type, ByteReader& body) {
        uint32_t word = r.u32();
        if (!r.ok()) return false;
        if (word >> 16) {
            type = word & 0xFFFF;
            body = r.sub(4).slice(0, std::min<uint32_t>(word >> 16, 4));
            return r.ok() && (word >> 16) <= 4;
        }
        type = word;
        uint32_t n = r.u32();
        body = r.sub(n);
        // Elements are padded to eight bytes, except compressed ones.
        if (n % 8 && type != MI_COMPRESSED) r.skip(std::min<size_t>(8 - n % 8, r.remaining()));
        return r.ok();
    }

    bool matrix(ByteReader body, int depth) {
        if (depth > MAX_NESTING) return false;
        if (body.size() == 0) return true;  // an empty cell
        uint32_t type;
        ByteReader flags, dims, name;
        if (!element(body, type, flags) || type != MI_UINT32 || flags.size() < 8) return false;
        uint32_t cls = flags.u32() & 0xFF;
        if (!element(body, type, dims) || type != MI_INT32) return false;
        uint64_t cells = 1;
        for (size_t k = 0; k < dims.size() / 4; ++k) {
            int32_t d = dims.i32();
            if (d < 0 || (d > 0 && cells > UINT64_MAX / static_cast<uint64_t>(d))) return false;
            cells *= static_cast<uint64_t>(d);
        }
        // The name comes first even for an empty variable: the library allocates its claimed size.
        if (!element(body, type, name)) return false;
        if (cells == 0) return true;
        // Every cell of a numeric variable needs at least one byte of data; sparse variables
        // hold only their non-zero cells.
        if (cls != MX_CELL && cls != MX_STRUCT && cls != MX_OBJECT)
            return cls == MX_SPARSE || cells <= body.remaining();
        if (cls == MX_CELL) {
            if (cells * 8 > body.remaining()) return false;
            for (uint64_t k = 0; k < cells; ++k) {
                ByteReader inner;
                if (!element(body, type, inner) || type != MI_MATRIX || !matrix(inner, depth + 1)) return false;
            }
        } else if (cls == MX_STRUCT || cls == MX_OBJECT) {
            if (cls == MX_OBJECT) {
                ByteReader class_name;
                if (!element(body, type, class_name)) return false;
            }
            ByteReader len, names;
            if (!element(body, type, len) || !element(body, type, names)) return false;
            uint32_t field_len = len.u32();
            if (!len.ok() || field_len == 0) return true;
            uint64_t fields = names.size() / field_len;
            if (cells * fields * 8 > body.remaining()) return false;
            for (uint64_t k = 0; k < cells * fields; ++k) {
                ByteReader inner;
                if (!element(body, type, inner) || type != MI_MATRIX || !matrix(inner, depth + 1)) return false;
            }
        }
        return true;
    }

    // A compressed element inflated in full (no more than the ratio zlib allows), or false.
    static bool inflate_all(std::string_view in, std::string& out) {
        z_stream z{};
        if (inflateInit(&z) != Z_OK) return false;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        z.avail_in = static_cast<uInt>(in.size());
        const size_t cap = std::min<uint64_t>(in.size() * MAX_INFLATE_RATIO, VXS_MAX_ALLOC * 8);
        int rc = Z_OK;
        while (rc == Z_OK) {
            if (out.size() >= cap) break;
            size_t have = out.size();
            out.resize(std::min(cap, have + std::max<size_t>(have, 1 << 16)));
            z.next_out = reinterpret_cast<Bytef*>(out.data() + have);
            z.avail_out = static_cast<uInt>(out.size() - have);
            rc = inflate(&z, Z_NO_FLUSH);
            out.resize(out.size() - z.avail_out);
        }
        inflateEnd(&z);
        return rc == Z_STREAM_END || rc == Z_BUF_ERROR || rc == Z_OK;
    }

    bool file(const std::string& bytes) {
        ByteReader r(std::string_view(bytes), order);
        r.skip(MAT5_HEADER_SIZE);
        while (r.remaining() >= 8) {
            uint32_t type;
            ByteReader body;
            if (!element(r, type, body)) return false;
            if (type == MI_MATRIX) {
                if (!matrix(body, 0)) return false;
            } else if (type == MI_COMPRESSED) {
                std::string inflated;
                if (!inflate_all(std::string_view(reinterpret_cast<const char*>(body.data()), body.size()), inflated))
                    return false;
                ByteReader in(std::string_view(inflated), order);
                ByteReader inner;
                if (!element(in, type, inner)) return false;
                if (type == MI_MATRIX && !matrix(inner, 0)) return false;
            }
        }
        return true;
    }
};

int16_t read_matlab5(const char* path, uint64_t file_size) {
    {
        std::string bytes;
        if (!vxs_read_whole_file(path, bytes) || bytes.size() < MAT5_HEADER_SIZE) return 0;
        Mat5Check check{bytes[126] == 'I' ? Endian::Little : Endian::Big};
        if (!check.file(bytes)) return 0;
    }
    const Matio* lib = matio();
    if (!lib) {
        std::printf("Error: Matlab level 5 files cannot be read by this build.\n");
        return 0;
    }
    mat_t* mat = lib->open(path, MAT_ACC_RDONLY);
    if (!mat) return 0;
    Sheet* sheet = nullptr;
    while (matvar_t* info = lib->next_info(mat)) {
        std::string name = info->name ? info->name : "";
        if (const char* kind = skipped_kind(info)) {
            std::printf("Warning: Matlab %s %s skipped.\n", kind, name.c_str());
            lib->free(info);
            continue;
        }
        size_t size = class_size(info->class_type);
        uint64_t rows = info->dims ? info->dims[0] : 0, cols = info->dims ? info->dims[1] : 0;
        uint64_t cells = rows * cols;
        if (sheet) {
            std::printf("Warning: Matlab matrix %s skipped: only the first matrix is read.\n", name.c_str());
            lib->free(info);
            continue;
        }
        if (size == 0 || rows < 1 || cols < 1 || rows > INT32_MAX || cols > INT32_MAX ||
            cells / cols != rows || cells > file_size * MAX_INFLATE_RATIO / size) {
            lib->free(info);
            continue;
        }
        lib->free(info);
        matvar_t* v = lib->read(mat, name.c_str());
        if (!v || !v->data || skipped_kind(v) || class_size(v->class_type) == 0 || v->dims[0] != rows ||
            v->dims[1] != cols) {
            if (v) lib->free(v);
            continue;
        }
        int32_t ncols = column_limit_warning(static_cast<int64_t>(cols));
        sheet = new_matrix_sheet(name, static_cast<int32_t>(rows));
        const double missing = sheet->missing;
        const bool logical = v->isLogical != 0;
        for (int32_t c = 0; c < ncols; ++c) {
            Column* col = create_column_with_memory(sheet, VXS_MATRIX_COL, std::to_string(c + 1),
                                                    static_cast<int32_t>(rows));
            if (!col) break;
            size_t base = static_cast<size_t>(c) * static_cast<size_t>(rows);
            for (size_t r = 0; r < rows; ++r) {
                double x = element(v, base + r);
                col->num[r] = logical ? (x != 0 ? 1.0 : 0.0) : cell_value(x, missing);
            }
            set_matrix_width(col, missing);
        }
        lib->free(v);
    }
    lib->close(mat);
    // A file with nothing readable leaves no sheet: the driver reports that no data was found.
    return 1;
}

#endif

}  // namespace

bool vxs_matlab5_supported() {
#ifdef MORVALEN_HAVE_MATIO
    return true;
#else
    return false;
#endif
}

int16_t read_matlab_into_sheet(const char* path) {
    BlockFile file;
    if (!file.open(path)) return 0;
    ByteReader head = file.window(MAT5_HEADER_SIZE, Endian::Little);
    if (vxs_is_matlab5(head.data(), head.size())) {
#ifdef MORVALEN_HAVE_MATIO
        return read_matlab5(path, file.size());
#else
        std::printf("Error: Matlab level 5 files cannot be read by this build.\n");
        return 0;
#endif
    }
    return read_matlab4(file);
}

namespace {

bool written_as_number(int32_t type) {
    switch (type) {
        case VXS_SCALAR: case VXS_VARIATE: case VXS_MATRIX_COL: case VXS_NUMERIC6:
        case VXS_TABLE_BODY: case VXS_NUMERIC22: case VXS_UNITS_NUM: case VXS_FACTOR:
            return true;
        default:
            return false;
    }
}

// The matrix name: the structure name cut to 8 characters, a leading '%' or '_' made 'X' and
// every later '%' made 'P' (neither may appear there in a Matlab name); "data" when unnamed.
std::string matlab_name(const std::string& structure) {
    if (structure.empty()) return "data";
    std::string n = structure.substr(0, MAT4_NAME_CHARS);
    if (n[0] == '%' || n[0] == '_') n[0] = 'X';
    for (size_t i = 1; i < n.size(); ++i)
        if (n[i] == '%') n[i] = 'P';
    return n;
}

}  // namespace

int16_t write_sheet_as_matlab(Sheet* sheet, const char* path) {
    if (!sheet || sheet->row_count < 1 || sheet->column_count < 1 || sheet->cols.size() < 2) return 0;
    std::vector<const Column*> cols;
    for (size_t i = 1; i < sheet->cols.size(); ++i)
        if (written_as_number(sheet->cols[i]->type)) cols.push_back(sheet->cols[i].get());
    // A sheet of texts only has no matrix to write.
    if (cols.empty()) return 0;
    ByteWriter out(Endian::Little);
    if (!out.open(path)) {
        std::printf("Error: In Write Matlab File - could not open file: %.100s\n", path);
        return 0;
    }
    const double missing = sheet->missing;
    const std::string name = matlab_name(sheet->structure_name);
    const size_t rows = static_cast<size_t>(sheet->row_count);
    out.i32(MAT4_TYPE_LE_DOUBLE_FULL);
    out.i32(sheet->row_count);
    out.i32(static_cast<int32_t>(cols.size()));
    out.i32(0);
    out.i32(static_cast<int32_t>(name.size() + 1));
    out.bytes(name);
    out.fill(1, '\0');
    for (const Column* col : cols) {
        const bool factor = col->type == VXS_FACTOR;
        for (size_t r = 0; r < rows; ++r) {
            double x = r < col->num.size() ? col->num[r] : missing;
            if (factor && x > 0) {
                // A factor writes its level values when it has them, else the level numbers.
                if (col->levels_present() > 0) {
                    size_t k = static_cast<size_t>(x);
                    x = k >= 1 && k <= col->levels.size() ? col->levels[k - 1] : missing;
                }
            } else if (factor) {
                x = missing;
            }
            if (x <= missing || std::isnan(x))
                out.u64(MAT4_MISSING_BITS);
            else
                out.f64(x);
        }
    }
    return out.close() ? 1 : 0;
}
