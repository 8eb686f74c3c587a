// BMP reader: ImageMagick's files against its pixel listing, both layouts, cut files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "driver/vxs_formats.h"
#include "media/vxr_bmp.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

struct Pixel { int x, y, r, g, b; };

// "x,y: (r,g,b...)" lines of `convert file.bmp txt:-`.
std::vector<Pixel> imagemagick_pixels(const std::string& path) {
    std::vector<Pixel> out;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        if (Pixel p{}; std::sscanf(line.c_str(), "%d,%d: (%d,%d,%d", &p.x, &p.y, &p.r, &p.g, &p.b) == 5) out.push_back(p);
    return out;
}

Sheet* read_bmp(const std::string& path, int16_t separate) {
    new_run_with_sheet(1), lastsheet = nullptr;
    return read_bmp_into_sheet(path.c_str(), separate) ? lastsheet : nullptr;
}

TEST(BmpReader, ImageMagickFilesMatchItsPixelListing) {
    for (const char* name : {"one_bit_9_wide", "palette_im_4_bit", "palette_4_bit", "palette_8_bit", "rgb_24_bit",
                             "rgb_24_bit_header_124", "rgb_32_bit", "top_down_24_bit"}) {
        SCOPED_TRACE(name);
        std::string path = data_path(std::string("bmp/") + name + ".bmp");
        int32_t height;
        std::memcpy(&height, read_file(path).data() + 22, 4);
        const int32_t rows = std::abs(height);
        auto want = imagemagick_pixels(data_path(std::string("bmp/pixels_") + name + ".txt"));
        Sheet* s = read_bmp(path, 1);
        ASSERT_NE(s, nullptr);
        ASSERT_EQ(static_cast<size_t>(s->row_count), want.size());
        const int32_t width = static_cast<int32_t>(want.size()) / rows;
        for (const Pixel& p : want) {
            // Y counts rows in file order: bottom-up files store the picture's last row first.
            const int fy = height < 0 ? p.y : rows - 1 - p.y;
            const size_t k = static_cast<size_t>(fy * width + p.x);
            std::vector<double> got;
            for (const char* n : {"X", "Y", "Red", "Green", "Blue"}) got.push_back(find_column(s, n)->num[k]);
            ASSERT_EQ(got, (std::vector<double>{double(p.x), double(fy), double(p.r), double(p.g), double(p.b)}))
                << p.x << "," << p.y;
        }
    }
}

TEST(BmpReader, BothLayoutsThroughTheProgram) {
    const struct { const char *sample, *output, *want; } cases[] = {
        {"rgb_32_bit", "j.tab/c", "X\tY\tRGB\n0\t0\t197121\n1\t0\t1971210\n0\t1\t8388863\n1\t1\t591879\n"},
        // 16 bits: 0x7FFF, 0x7C00, 0x001F, then 0x03E0, 0, 0x4210; channels stay 5-bit.
        {"rgb_16_bit", "s.tab/c",
         "X\tY\tRGB\n0\t0\t2039583\n1\t0\t2031616\n2\t0\t31\n0\t1\t7936\n1\t1\t0\n2\t1\t1052688\n"},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        RunResult r = run_morvalen(dir.path(), {copy_sample(dir, std::string("bmp/") + c.sample + ".bmp"), c.output});
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(read_file(dir.file(std::string(c.output).substr(0, 5))), c.want);
    }
}

TEST(BmpReader, CutFilesFail) {
    // Cut anywhere short of the last row's padding: no sheet (a huge header: damaged_files_test).
    std::string whole = read_file(data_path("bmp/palette_8_bit.bmp"));
    for (size_t cut = 0; cut + 4 < whole.size(); cut += 97) {
        ByteReader in(std::string_view(whole).substr(0, cut));
        new_run_with_sheet(1);
        EXPECT_EQ(vxs_decode_bmp(in, 1), 0) << cut;
    }
}

}  // namespace
