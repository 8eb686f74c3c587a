// Minitab worksheets: the old binary layout (releases 10 and 11), the record layout of releases
// 12 to 14 (found inside a compound document), and portable worksheets (.mtp, text).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr char MTW_SIGNATURE[] = "WORKSHEET";  // the first 8 characters are compared
constexpr size_t MTW_OLD_HEADER = 80;
constexpr uint32_t MTW_OLD_COLUMN = 3;
constexpr size_t MTW_OLD_NAME = 8;

// Record kinds of releases 12 to 14; each record opens with kind, size and head size.
constexpr uint32_t MTW_HEADER = 1;
constexpr uint32_t MTW_COLUMN = 3;
constexpr uint32_t MTW_TITLES = 6;
constexpr size_t MTW_RECORD_HEAD = 12;
constexpr size_t MTW_MAX_HEADER = 250;
constexpr size_t MTW_SIGNATURE_AT = 4;  // within the header record's data
constexpr size_t MTW_SIGNATURE_LEN = 11;
constexpr size_t MTW_UNUSED_FIELDS = 32;
constexpr uint32_t MTW_MAX_NAME = 256;
constexpr uint32_t MTW_MAX_TITLE = 4096;
constexpr size_t MTW_MAX_TITLES = 4;
constexpr size_t MTW_DESCRIPTION = 40;

// Minitab's missing-value code 1.23456e30, as a single (release 10) and as a double.
constexpr uint32_t MTW_MISSING_SINGLE = 0x71795142;
constexpr uint64_t MTW_MISSING_DOUBLE = 0x462F2A2831AE5ED5;

constexpr char MTP_SIGNATURE[] = "Minitab Portable Worksheet";

// Text that older releases keep in numeric words, turned back into characters: version 10
// keeps four characters in each 4-byte integer as digit pairs; version 11 keeps four in the
// single-precision image of each double. Text already printable is left alone.
std::string vxs_mtw_convert_text(const std::string& raw, int version);

// vxs_set_mtw_file (declared with the format entries) names the user's file before a release
// 12-14 stream copied out of it is read.
