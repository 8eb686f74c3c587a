// WAV reader: sox's files against Python's wave module, hand-built chunks, refusals, cut files.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "driver/vxs_formats.h"
#include "media/vxr_wav.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

// Frames as Python's wave module gave them: one line each, channels separated by blanks.
std::vector<std::vector<double>> python_frames(const std::string& path) {
    std::vector<std::vector<double>> out;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        out.emplace_back(std::istream_iterator<double>(fields), std::istream_iterator<double>());
    }
    return out;
}

Sheet* read_wav(const std::string& path, int16_t separate) {
    new_run_with_sheet(1), lastsheet = nullptr;
    return read_wave_into_sheet(path.c_str(), separate) ? lastsheet : nullptr;
}

TEST(WavReader, SoxFilesMatchPythonsWaveModuleInBothLayouts) {
    for (const char* name : {"mono_8_bit", "mono_16_bit", "mono_24_bit_pcm", "stereo_16_bit", "quad_8_bit"}) {
        SCOPED_TRACE(name);
        std::string path = data_path(std::string("wav/") + name + ".wav");
        auto want = python_frames(data_path(std::string("wav/samples_") + name + ".txt"));
        ASSERT_FALSE(want.empty());
        const size_t channels = want[0].size();
        for (int16_t separate : {1, 0}) {
            Sheet* s{};
            stdout_of([&] { s = read_wav(path, separate); });
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
    // Each case: bytes, layout, the columns read (none: refused), what is printed.
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
    std::string whole = read_file(data_path("wav/mono_16_bit.wav"));
    for (size_t cut = 0; cut + 2 < whole.size(); cut += 7) {
        ByteReader in(std::string_view(whole).substr(0, cut));
        new_run_with_sheet(1);
        stdout_of([&] { EXPECT_EQ(vxs_decode_wave(in, "x", 1), 0) << cut; });
    }
}

}  // namespace
