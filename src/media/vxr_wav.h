// RIFF WAVE sound files (uncompressed PCM) read as a table of samples, one row per frame.
#pragma once

#include <cstdint>

#include "../sheet/byte_reader.h"
#include "../sheet/vxs_source.h"

constexpr size_t WAV_FMT_MIN = 16;  // PCM format chunk: tag .. bits per sample
constexpr int16_t WAV_FORMAT_PCM = 1;
constexpr int16_t WAV_MAX_BLOCK = 4;  // bytes per frame this reader takes

// Decodes a whole WAVE file held in memory into a new sheet; name is for messages. separate:
// one column per channel rather than their mean.
int16_t vxs_decode_wave(ByteReader& in, const char* name, int16_t separate);
int16_t read_wave_into_sheet(const char* path, int16_t separate);
int16_t read_wave_source(VxsSource& src, int16_t separate);
