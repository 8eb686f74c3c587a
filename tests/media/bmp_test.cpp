// BMP reader: ImageMagick's files against its own pixel listing, hand-built depths, both
// column layouts through whole conversions, and cut files.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/vxs_formats.h"
#include "media/vxr_bmp.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

struct Pixel {
    int x, y, r, g, b;
};

// "x,y: (r,g,b...)" lines of `convert file.bmp txt:-`.
std::vector<Pixel> imagemagick_pixels(const std::string& path) {
    std::vector<Pixel> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        Pixel p{};
        if (std::sscanf(line.c_str(), "%d,%d: (%d,%d,%d", &p.x, &p.y, &p.r, &p.g, &p.b) == 5)
            out.push_back(p);
    }
    return out;
}

Sheet* read_bmp(const std::string& path, int16_t separate) {
    new_run_with_sheet(1);
    lastsheet = nullptr;
    return read_bmp_into_sheet(path.c_str(), separate) ? lastsheet : nullptr;
}


TEST(BmpReader, ImageMagickFilesMatchItsPixelListing) {
    for (const char* name :
         {"one_bit_9_wide", "palette_im_4_bit", "palette_4_bit", "palette_8_bit", "rgb_24_bit",
          "rgb_24_bit_header_124", "rgb_32_bit", "top_down_24_bit"}) {
        SCOPED_TRACE(name);
        std::string path = data_path(std::string("bmp/") + name + ".bmp");
        std::string bytes = read_file(path);
        int32_t height = static_cast<int32_t>(
            static_cast<uint8_t>(bytes[22]) | static_cast<uint8_t>(bytes[23]) << 8 |
            static_cast<uint8_t>(bytes[24]) << 16 | static_cast<uint8_t>(bytes[25]) << 24);
        int32_t rows = height < 0 ? -height : height;
        auto want = imagemagick_pixels(data_path(std::string("bmp/pixels_") + name + ".txt"));
        Sheet* s = read_bmp(path, 1);
        ASSERT_NE(s, nullptr);
        ASSERT_EQ(static_cast<size_t>(s->row_count), want.size());
        const Column *x = find_column(s, "X"), *y = find_column(s, "Y"), *r = find_column(s, "Red"), *g = find_column(s, "Green"),
                     *b = find_column(s, "Blue");
        ASSERT_TRUE(x && y && r && g && b);
        int32_t width = static_cast<int32_t>(want.size()) / rows;
        for (const Pixel& p : want) {
            // Y counts rows in file order: bottom-up files store the picture's last row first.
            int fy = height < 0 ? p.y : rows - 1 - p.y;
            size_t k = static_cast<size_t>(fy * width + p.x);
            ASSERT_EQ(x->num[k], p.x);
            ASSERT_EQ(y->num[k], fy);
            ASSERT_EQ(r->num[k], p.r) << p.x << "," << p.y;
            ASSERT_EQ(g->num[k], p.g) << p.x << "," << p.y;
            ASSERT_EQ(b->num[k], p.b) << p.x << "," << p.y;
        }
    }
}

TEST(BmpReader, SixteenBitChannelsStayFiveBit) {
    Sheet* s = read_bmp(data_path("bmp/rgb_16_bit.bmp"), 0);
    ASSERT_NE(s, nullptr);
    const Column* rgb = find_column(s, "RGB");
    ASSERT_NE(rgb, nullptr);
    // in file order: 0x7FFF, 0x7C00, 0x001F, then 0x03E0, 0, 0x4210
    std::vector<double> want = {31 * 65536 + 31 * 256 + 31, 31 * 65536, 31, 31 * 256, 0,
                                16 * 65536 + 16 * 256 + 16};
    EXPECT_EQ(rgb->num, want);
}

TEST(BmpReader, BothLayoutsThroughTheProgram) {
    ScratchDir dir;
    write_file(dir.file("p.bmp"), read_file(data_path("bmp/rgb_32_bit.bmp")));
    RunResult apart = run_morvalen(dir.path(), {"p.bmp", "a.tab"});
    ASSERT_EQ(apart.status, 0) << apart.out;
    EXPECT_EQ(read_file(dir.file("a.tab")),
              "X\tY\tRed\tGreen\tBlue\n0\t0\t3\t2\t1\n1\t0\t30\t20\t10\n0\t1\t128\t0\t255\n1\t1\t9"
              "\t8\t7\n");
    RunResult joined = run_morvalen(dir.path(), {"p.bmp", "j.tab/c"});
    ASSERT_EQ(joined.status, 0) << joined.out;
    EXPECT_EQ(read_file(dir.file("j.tab")),
              "X\tY\tRGB\n0\t0\t197121\n1\t0\t1971210\n0\t1\t8388863\n1\t1\t591879\n");
}

TEST(BmpReader, CutFilesFail) {
    // Cut anywhere (short of the trailing row padding) a bitmap gives no sheet.
    std::string whole = read_file(data_path("bmp/palette_8_bit.bmp"));
    for (size_t cut = 0; cut + 4 < whole.size(); cut += 97) {
        std::string part = whole.substr(0, cut);
        ByteReader in(part);
        new_run_with_sheet(1);
        EXPECT_EQ(vxs_decode_bmp(in, 1), 0) << cut;
    }
    // A header that claims a huge picture sizes nothing.
    std::string lying = whole;
    lying[18] = '\xff', lying[19] = '\xff', lying[20] = '\xff', lying[21] = '\x0f';
    ByteReader in(lying);
    EXPECT_EQ(vxs_decode_bmp(in, 1), 0);
}

}  // namespace
