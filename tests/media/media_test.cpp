// BMP and WAV readers: ImageMagick's pictures against its pixel listing, sox's sounds against Python's
// wave module, both layouts, hand-built chunks, refusals, cut files.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <numeric>
#include <sstream>

#include "media/vxr_bmp.h"
#include "media/vxr_wav.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

// Numbers of each line of a tool's listing, read by the format given.
std::vector<std::vector<double>> listing(const std::string& path, const char* format = nullptr) {
    std::vector<std::vector<double>> out;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        int v[5];  // "x,y: (r,g,b...)" lines of `convert file.bmp txt:-`
        if (!format) out.emplace_back(std::istream_iterator<double>(fields), std::istream_iterator<double>());
        else if (std::sscanf(line.c_str(), format, &v[0], &v[1], &v[2], &v[3], &v[4]) == 5) out.emplace_back(v, v + 5);
    }
    return out;
}

template <class Read>
Sheet* read_file_as(Read read, const std::string& path, int16_t separate) {
    new_run_with_sheet(1), lastsheet = nullptr;
    return read(path.c_str(), separate) ? lastsheet : nullptr;
}

// A sample cut every step bytes, short of its last tail bytes: the decoder refuses each piece.
template <class Decode>
void expect_cuts_refused(const std::string& sample, size_t step, size_t tail, Decode decode) {
    std::string whole = read_file(data_path(sample));
    for (size_t cut = 0; cut + tail < whole.size(); cut += step) {
        ByteReader in(std::string_view(whole).substr(0, cut));
        new_run_with_sheet(1);
        stdout_of([&] { EXPECT_EQ(decode(in), 0) << cut; });
    }
}

TEST(BmpReader, ImageMagickFilesMatchItsPixelListing) {
    for (const char* name : {"one_bit_9_wide", "palette_im_4_bit", "palette_4_bit", "palette_8_bit", "rgb_24_bit",
                             "rgb_24_bit_header_124", "rgb_32_bit", "top_down_24_bit"}) {
        SCOPED_TRACE(name);
        std::string path = data_path(std::string("bmp/") + name + ".bmp");
        int32_t height;
        std::memcpy(&height, read_file(path).data() + 22, 4);
        auto want = listing(data_path(std::string("bmp/pixels_") + name + ".txt"), "%d,%d: (%d,%d,%d");
        Sheet* s = read_file_as(read_bmp_into_sheet, path, 1);
        ASSERT_NE(s, nullptr);
        ASSERT_EQ(static_cast<size_t>(s->row_count), want.size());
        const int rows = std::abs(height), width = static_cast<int>(want.size()) / rows;
        for (auto& p : want) {
            // Y counts rows in file order: bottom-up files store the picture's last row first.
            if (height > 0) p[1] = rows - 1 - p[1];
            std::vector<double> got;
            for (const char* n : {"X", "Y", "Red", "Green", "Blue"})
                got.push_back(find_column(s, n)->num[static_cast<size_t>(p[1] * width + p[0])]);
            ASSERT_EQ(got, p);
        }
    }
}

TEST(BmpReader, BothLayoutsThroughTheProgramAndCutFiles) {
    const struct { const char *sample, *output, *want; } cases[] = {
        {"rgb_32_bit", "j.tab/c", "X\tY\tRGB\n0\t0\t197121\n1\t0\t1971210\n0\t1\t8388863\n1\t1\t591879\n"},
        // 16 bits: 0x7FFF, 0x7C00, 0x001F, then 0x03E0, 0, 0x4210; channels stay 5-bit.
        {"rgb_16_bit", "s.tab/c", "X\tY\tRGB\n0\t0\t2039583\n1\t0\t2031616\n2\t0\t31\n0\t1\t7936\n1\t1\t0\n2\t1\t1052688\n"},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        RunResult r = run_morvalen(dir.path(), {copy_sample(dir, std::string("bmp/") + c.sample + ".bmp"), c.output});
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(read_file(dir.file(std::string(c.output).substr(0, 5))), c.want);
    }
    // Cut anywhere short of the last row's padding: no sheet (a huge header: damaged_files_test).
    expect_cuts_refused("bmp/palette_8_bit.bmp", 97, 4, [](ByteReader& in) { return vxs_decode_bmp(in, 1); });
}

TEST(WavReader, SoxFilesMatchPythonsWaveModuleInBothLayouts) {
    for (const char* name : {"mono_8_bit", "mono_16_bit", "mono_24_bit_pcm", "stereo_16_bit", "quad_8_bit"}) {
        SCOPED_TRACE(name);
        std::string path = data_path(std::string("wav/") + name + ".wav");
        auto want = listing(data_path(std::string("wav/samples_") + name + ".txt"));
        ASSERT_FALSE(want.empty());
        const size_t channels = want[0].size();
        for (int16_t separate : {1, 0}) {
            Sheet* s{};
            stdout_of([&] { s = read_file_as(read_wave_into_sheet, path, separate); });
            ASSERT_NE(s, nullptr);
            ASSERT_EQ(static_cast<size_t>(s->row_count), want.size());
            const size_t ncols = separate ? channels : 1;  // else the mean of the channels
            ASSERT_EQ(static_cast<size_t>(s->column_count), ncols);
            for (size_t c = 0; c < ncols; ++c) {
                EXPECT_EQ(s->cols[c + 1]->name, ncols == 1 ? "Sound" : "Sound" + std::to_string(c + 1));
                for (size_t f = 0; f < want.size(); ++f)
                    ASSERT_DOUBLE_EQ(s->cols[c + 1]->num[f], separate ? want[f][c]
                                     : std::accumulate(want[f].begin(), want[f].end(), 0.0) / double(channels)) << f;
            }
        }
    }
}

// A WAVE file from its parts: format fields, then the given chunks.
std::string chunk(const std::string& id, const std::string& data) {
    return id + le_bytes(data.size(), 4) + data + (data.size() & 1 ? std::string(1, '\0') : "");
}
std::string wave(int16_t tag, uint16_t channels, uint16_t align, const std::string& chunks, uint32_t fmt_size = 16) {
    std::string fmt = le_bytes(static_cast<uint16_t>(tag), 2) + le_bytes(channels, 2) + le_bytes(8000, 4) +
                      le_bytes(8000u * align, 4) + le_bytes(align, 2) + le_bytes(8, 2);
    fmt.resize(fmt_size, '\0');
    std::string body = "WAVE" + chunk("fmt ", fmt) + chunks;
    return "RIFF" + le_bytes(body.size(), 4) + body;
}

// sox's extensible file and a data size beyond the file: damaged_files_test.cpp.
TEST(WavReader, HandBuiltLayouts) {
    const std::string duration = "Wave Play duration: 0.00 seconds\n", riff12 = "RIFF" + le_bytes(12, 4) + "WAVE";
    const struct { const char* what; std::string bytes; int16_t separate; std::vector<std::vector<double>> columns; std::string out; } cases[] = {
        {"unsigned 16-bit", wave(1, 1, 2, chunk("data", std::string("\xff\xff\x01\x00", 4))), 1, {{65535, 1}}, duration},
        {"odd list chunk and a longer format chunk skipped",
         wave(1, 1, 1, chunk("LIST", "abc") + chunk("data", "\x05\x07"), 18), 1, {{5, 7}}, duration},
        {"stereo mean", wave(1, 2, 2, chunk("data", "\x02\x04\x06\x09")), 0, {{3, 7.5}}, duration},
        {"data shorter than a frame", wave(1, 2, 4, chunk("data", "\x01\x02")), 1, {}, duration + "No Data: Sample duration is zero\n"},
        {"not RIFF", "RIFX" + std::string(40, '\0'), 1, {}, "Error: x.wav is NOT a WAVE file!\n"},
        {"RIFF size 0", "RIFF" + le_bytes(0, 4) + "WAVE", 1, {}, "Error: RIFF Size is Invalid (0)\n"},
        {"not WAVE", "RIFF" + le_bytes(4, 4) + "AVI ", 1, {}, "Error: x.wav is NOT a simple WAVE file!\n"},
        {"no format chunk", riff12 + "data" + le_bytes(0, 4), 1, {}, "Error: WAVE format chunk is missing\n"},
        {"format too short", riff12 + "fmt " + le_bytes(14, 4), 1, {}, "Error: WAVE Format data Size is Invalid (14)\n"},
        {"three channels", wave(1, 3, 3, chunk("data", "abc")), 1, {}, "Error: WAVE Invalid number of channels (3)\n"},
        {"wide frame", wave(1, 2, 6, chunk("data", "abcdef")), 1, {}, "Error: Invalid data sample size (6)\n"},
        {"alignment 0", wave(1, 1, 0, chunk("data", "ab")), 1, {}, "Error: Invalid data sample size (0)\n"},
        {"alignment not whole samples", wave(1, 2, 3, chunk("data", "abc")), 1, {}, "Error: Invalid data sample size (3)\n"},
        {"negative chunk size", wave(1, 1, 1, "LIST" + le_bytes(0xfffffff0u, 4)), 1, {}, "Error: WAVE data chunk - invalid data size\n"},
        {"chunk past the end", wave(1, 1, 1, "LIST" + le_bytes(100, 4) + "ab"), 1, {}, "Error: WAVE data chunk is missing\n"},
        {"no data chunk", wave(1, 1, 1, ""), 1, {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        new_run_with_sheet(1), lastsheet = nullptr;
        ByteReader in(c.bytes);
        int16_t ok = 0;
        EXPECT_EQ(stdout_of([&] { ok = vxs_decode_wave(in, "x.wav", c.separate); }), c.out);
        std::vector<std::vector<double>> got;
        for (size_t k = 1; ok && k < lastsheet->cols.size(); ++k) got.push_back(lastsheet->cols[k]->num);
        EXPECT_EQ(got, c.columns);
    }
}

TEST(WavReader, ChannelsMeanThroughTheProgramAndCutFiles) {
    ScratchDir dir;
    RunResult r = run_morvalen(dir.path(), {copy_sample(dir, "wav/stereo_16_bit.wav"), "j.tab/c"});
    EXPECT_TRUE(read_file(dir.file("j.tab")).starts_with("Sound\n")) << r.out;
    expect_cuts_refused("wav/mono_16_bit.wav", 7, 2, [](ByteReader& in) { return vxs_decode_wave(in, "x", 1); });
}

}  // namespace
