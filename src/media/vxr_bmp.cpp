// Windows bitmap reader: one row per pixel with its column X, its row Y in file order (so a
// top-down bitmap numbers its rows the same way), and its colour.
#include "vxr_bmp.h"

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "../sheet/vxs_format_entries.h"

namespace {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

}  // namespace

int16_t vxs_decode_bmp(ByteReader& in, int16_t separate) {
    std::string_view magic = in.view(2);
    in.u32();  // file size
    in.u32();  // reserved
    uint32_t data_offset = in.u32();
    uint32_t info_size = in.u32();
    int32_t width = in.i32();
    int32_t height = in.i32();
    in.u16();  // planes
    uint16_t bits = in.u16();
    uint32_t compression = in.u32();
    in.skip(20);  // image size, resolutions, colours used and important
    if (!in.ok() || magic != "BM") return 0;
    int64_t rows = height < 0 ? -static_cast<int64_t>(height) : height;
    if (compression != 0) {
        std::printf("Sorry: RLE Compressed Bitmaps not yet supported!\n");
        return 0;
    }

    // The colour table follows the information header, whatever its size (40 bytes in the
    // oldest layout, 108 or 124 in the later ones). Writers may store fewer entries than the
    // depth allows; the ones left out are black.
    std::array<Rgb, 256> palette{};
    if (bits == 1 || bits == 4 || bits == 8) {
        size_t entries = size_t{1} << bits;
        uint64_t table_at = BMP_FILE_HEADER + static_cast<uint64_t>(info_size);
        if (data_offset > table_at)
            entries = std::min<uint64_t>(entries, (data_offset - table_at) / 4);
        ByteReader table =
            in.slice(static_cast<size_t>(std::min<uint64_t>(table_at, in.size())), entries * 4);
        if (!table.ok()) return 0;
        for (size_t i = 0; i < entries; ++i) {
            palette[i].b = table.u8();
            palette[i].g = table.u8();
            palette[i].r = table.u8();
            table.u8();
        }
    }

    if (width <= 0 || rows == 0) return 0;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return 0;
    uint64_t row_bytes = (static_cast<uint64_t>(width) * bits + 7) / 8;
    if (row_bytes == 0) row_bytes = 1;
    row_bytes = (row_bytes + 3) / 4 * 4;
    // Every pixel row must be in the file before anything is sized from the header.
    if (data_offset > in.size() ||
        row_bytes * static_cast<uint64_t>(rows) > in.size() - data_offset)
        return 0;
    uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(rows);
    if (pixels > 0x7fffffff) return 0;

    Sheet* sheet = create_sheet();
    if (!sheet) return 0;
    sheet->row_count = static_cast<int32_t>(pixels);
    sheet->missing = vxs_missing;
    if (!create_row_attr(sheet)) return 0;
    const int32_t n = sheet->row_count;
    Column* cx = create_column_with_memory(sheet, VXS_VARIATE, "X", n);
    Column* cy = create_column_with_memory(sheet, VXS_VARIATE, "Y", n);
    Column *red = nullptr, *green = nullptr, *blue = nullptr, *rgb = nullptr;
    if (separate) {
        red = create_column_with_memory(sheet, VXS_VARIATE, "Red", n);
        green = create_column_with_memory(sheet, VXS_VARIATE, "Green", n);
        blue = create_column_with_memory(sheet, VXS_VARIATE, "Blue", n);
        if (!red || !green || !blue) return 0;
    } else {
        rgb = create_column_with_memory(sheet, VXS_VARIATE, "RGB", n);
        if (!rgb) return 0;
    }
    if (!cx || !cy) return 0;
    // Positions and colours are whole numbers: shown in full (an RGB value has up to 8 digits).
    for (size_t i = 1; i < sheet->cols.size(); ++i) {
        sheet->cols[i]->representation = VXS_REP_FIXED;
        sheet->cols[i]->decimals = 0;
    }

    size_t k = 0;
    for (int64_t y = 0; y < rows; ++y) {
        ByteReader row = in.slice(data_offset + static_cast<size_t>(y) * row_bytes,
                                  static_cast<size_t>(row_bytes));
        for (int32_t x = 0; x < width; ++x, ++k) {
            Rgb p;
            const size_t ux = static_cast<size_t>(x);
            switch (bits) {
                case 24:
                case 32: {
                    size_t at = ux * (bits / 8);
                    p.b = row.u8_at(at), p.g = row.u8_at(at + 1), p.r = row.u8_at(at + 2);
                    break;
                }
                case 16: {
                    // 5 bits a channel, left unscaled
                    uint16_t v = row.u16_at(ux * 2);
                    p.r = (v >> 10) & 31, p.g = (v >> 5) & 31, p.b = v & 31;
                    break;
                }
                case 8:
                    p = palette[row.u8_at(ux)];
                    break;
                case 4:
                    p = palette[(row.u8_at(ux / 2) >> (ux % 2 ? 0 : 4)) & 15];
                    break;
                default:
                    p = palette[(row.u8_at(ux / 8) >> (7 - ux % 8)) & 1];
                    break;
            }
            cx->num[k] = x;
            cy->num[k] = static_cast<double>(y);
            if (separate) {
                red->num[k] = p.r, green->num[k] = p.g, blue->num[k] = p.b;
            } else {
                rgb->num[k] = p.r * 65536.0 + p.g * 256.0 + p.b;
            }
        }
    }
    return 1;
}

int16_t read_bmp_into_sheet(const char* path, int16_t separate) {
    std::string bytes;
    if (!vxs_read_whole_file(path, bytes)) return 0;
    ByteReader in(bytes);
    return vxs_decode_bmp(in, separate);
}
