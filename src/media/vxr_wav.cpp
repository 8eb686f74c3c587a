// RIFF WAVE reader: the format chunk must come first; chunks up to the first "data" chunk are
// passed over; every sample is read as an unsigned little-endian integer of its width.
#include "vxr_wav.h"

#include <cstdio>
#include <string>
#include <vector>

#include "../sheet/vxs_format_entries.h"

int16_t vxs_decode_wave(ByteReader& in, const char* name, int16_t separate) {
    std::string_view magic = in.view(4);
    if (!in.ok()) return 0;
    if (magic != "RIFF") {
        std::printf("Error: %s is NOT a WAVE file!\n", name);
        return 0;
    }
    int32_t riff_size = in.i32();
    if (!in.ok()) return 0;
    if (riff_size < 1) {
        std::printf("Error: RIFF Size is Invalid (%li)\n", static_cast<long>(riff_size));
        return 0;
    }
    std::string_view wave = in.view(4);
    if (!in.ok()) return 0;
    if (wave != "WAVE") {
        std::printf("Error: %s is NOT a simple WAVE file!\n", name);
        return 0;
    }
    std::string_view fmt = in.view(4);
    if (!in.ok()) return 0;
    if (fmt != "fmt ") {
        std::printf("Error: WAVE format chunk is missing\n");
        return 0;
    }
    int32_t fmt_size = in.i32();
    if (!in.ok()) return 0;
    if (fmt_size < static_cast<int32_t>(WAV_FMT_MIN)) {
        std::printf("Error: WAVE Format data Size is Invalid (%li)\n", static_cast<long>(fmt_size));
        return 0;
    }
    int16_t tag = in.i16();
    int16_t channels = in.i16();
    uint32_t rate = in.u32();
    in.u32();  // byte rate
    int16_t align = in.i16();
    in.i16();  // bits per sample: the width comes from the block alignment
    if (!in.ok()) return 0;
    if (tag != WAV_FORMAT_PCM) {
        std::printf("Error: WAVE Format is not of PC origin (Type %i)\n", tag);
        return 0;
    }
    if (channels != 1 && channels != 2 && channels != 4) {
        std::printf("Error: WAVE Invalid number of channels (%i)\n", channels);
        return 0;
    }
    // A frame must split into whole samples of one to four bytes.
    if (align > WAV_MAX_BLOCK || align < 1 || align % channels != 0) {
        std::printf("Error: Invalid data sample size (%i)\n", align);
        return 0;
    }
    // The rest of the format chunk, with the pad byte of an odd-sized chunk.
    size_t extra = static_cast<size_t>(fmt_size) - WAV_FMT_MIN + (fmt_size & 1);
    if (!in.skip(extra)) return 0;

    std::string_view data;
    for (;;) {
        std::string_view id = in.view(4);
        int32_t size = in.i32();
        if (!in.ok()) return 0;
        if (size < 0) {
            std::printf("Error: WAVE data chunk - invalid data size\n");
            return 0;
        }
        if (id == "data") {
            // A size beyond the file is a cut file: nothing is sized from it.
            data = in.view(static_cast<size_t>(size));
            if (!in.ok()) return 0;
            break;
        }
        if (!in.skip(static_cast<size_t>(size) + (size & 1))) {
            std::printf("Error: WAVE data chunk is missing\n");
            return 0;
        }
    }

    double seconds =
        rate > 0 ? static_cast<double>(data.size()) / (static_cast<double>(align) * rate) : 0.0;
    std::printf("Wave Play duration: %.2f seconds\n", seconds);
    size_t frames = data.size() / static_cast<size_t>(align);
    if (frames < 1) {
        std::printf("No Data: Sample duration is zero\n");
        return 0;
    }
    if (frames > 0x7fffffff) return 0;

    Sheet* sheet = create_sheet();
    if (!sheet) return 0;
    sheet->row_count = static_cast<int32_t>(frames);
    sheet->missing = vxs_missing;
    if (!create_row_attr(sheet)) return 0;
    const bool apart = channels > 1 && separate;
    std::vector<Column*> cols;
    if (apart) {
        for (int c = 1; c <= channels; ++c) {
            char cname[16];
            std::snprintf(cname, sizeof cname, "Sound%li", static_cast<long>(c));
            cols.push_back(create_column_with_memory(sheet, VXS_VARIATE, cname, sheet->row_count));
        }
    } else {
        cols.push_back(create_column_with_memory(sheet, VXS_VARIATE, "Sound", sheet->row_count));
    }
    for (Column* c : cols) {
        if (!c) return 0;
        // Samples are whole numbers of up to 10 digits, shown in full; a mean of two or four
        // channels needs at most two decimals.
        c->representation = VXS_REP_FIXED;
        c->decimals = apart || channels == 1 ? 0 : 2;
    }

    const size_t width = static_cast<size_t>(align / channels);
    ByteReader samples(data);
    for (size_t f = 0; f < frames; ++f) {
        double sum = 0;
        for (int c = 0; c < channels; ++c) {
            double v = 0;
            switch (width) {
                case 1:
                    v = samples.u8();
                    break;
                case 2:
                    v = samples.u16();
                    break;
                case 3:
                    v = static_cast<double>(samples.u16()) + 65536.0 * samples.u8();
                    break;
                default:
                    v = samples.u32();
                    break;
            }
            if (apart)
                cols[static_cast<size_t>(c)]->num[f] = v;
            else
                sum += v;
        }
        if (!apart) cols[0]->num[f] = sum / channels;
    }
    return 1;
}

int16_t read_wave_into_sheet(const char* path, int16_t separate) {
    std::string bytes;
    if (!vxs_read_whole_file(path, bytes)) return 0;
    ByteReader in(bytes);
    return vxs_decode_wave(in, path, separate);
}
