// SAS transport (XPORT version 5/6 layout): record texts, NAMESTR offsets and the IBM System/370
// double conversions used by the reader and writer in vxr_sas.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "../sheet/vxs_reader_kit.h"

// Every record of the file is one 80-byte card image.
constexpr size_t SAS_RECORD = 80;
// Every header record starts with this; the reader compares it without regard to case.
constexpr const char* SAS_HEADER_TAG = "HEADER RECORD*******";
constexpr size_t SAS_HEADER_TAG_LEN = 20;

constexpr const char* SAS_LIBRARY_HEADER =
    "HEADER RECORD*******LIBRARY HEADER RECORD!!!!!!!000000000000000000000000000000  ";
constexpr const char* SAS_MEMBER_HEADER =
    "HEADER RECORD*******MEMBER  HEADER RECORD!!!!!!!000000000000000001600000000140  ";
constexpr const char* SAS_DSCRPTR_HEADER =
    "HEADER RECORD*******DSCRPTR HEADER RECORD!!!!!!!000000000000000000000000000000  ";
constexpr const char* SAS_OBS_HEADER =
    "HEADER RECORD*******OBS     HEADER RECORD!!!!!!!000000000000000000000000000000  ";
// What a second member of a library starts with (the first 48 characters of its header).
constexpr const char* SAS_MEMBER_TAG = "HEADER RECORD*******MEMBER  HEADER RECORD!!!!!!!";

// Where the numbers live inside the header records.
constexpr size_t SAS_MEMBER_NAMESTR_LEN_AT = 75;  // "140" or "136" (VAX/VMS files)
constexpr size_t SAS_NAMESTR_COUNT_AT = 54;       // four digits: number of variables
constexpr size_t SAS_NAMESTR_COUNT_DIGITS = 4;

// The NAMESTR record (one per variable). Written 140 bytes long; VAX/VMS files use 136.
constexpr size_t SAS_NAMESTR_LEN = 140;
constexpr size_t SAS_NAMESTR_LEN_VMS = 136;
enum : size_t {
    NS_TYPE = 0,    // 2: 1 numeric, 2 character
    NS_HASH = 2,    // 2
    NS_LENGTH = 4,  // 2: bytes of the value in an observation
    NS_VARNUM = 6,  // 2
    NS_NAME = 8,    // 8, blank padded
    NS_LABEL = 16,  // 40, blank padded
    NS_FORMAT = 56, // 8: output format name
    NS_FORMAT_W = 64,
    NS_FORMAT_D = 66,
    NS_JUST = 68,
    NS_UNUSED = 70,
    NS_INFORMAT = 72,  // 8: input format name
    NS_INFORMAT_W = 80,
    NS_INFORMAT_D = 82,
    NS_POSITION = 84,  // 4: offset of the value in the observation
    NS_REST = 88,      // 52 bytes of blanks
};
constexpr size_t SAS_NAME_LEN = 8;
constexpr size_t SAS_LABEL_LEN = 40;
constexpr size_t SAS_FORMAT_LEN = 8;

enum : int { SAS_NUMERIC = 1, SAS_CHARACTER = 2 };

// Longest character variable the reader accepts, and the shortest and longest numeric one.
constexpr int SAS_MAX_CHAR_LEN = 200;
constexpr int SAS_MIN_NUM_LEN = 3;
constexpr int SAS_MAX_NUM_LEN = 8;

// Day number of 1 January 1960 (SAS day 0) on the sheet's 1600 and 1900 scales.
constexpr double SAS_EPOCH_1600 = VxsEpoch::on_1600(VxsEpoch::sas);
constexpr double SAS_EPOCH_1900 = VxsEpoch::sas;
constexpr double SAS_SECONDS_PER_DAY = 86400.0;

// The sheet date format for a SAS output format name (10 dates, 33 date-times, 36 times), or 0
// when it is not a date format. Dates count days and the others seconds from 1 January 1960.
int32_t sas_date_format_of(const std::string& format);

// IBM double (8 bytes, big-endian, excess-64 power of 16) to IEEE double bytes (big-endian,
// most significant first). A SAS missing value (non-zero first byte, seven zero bytes) becomes
// an IEEE NaN whose third byte is the complement of the missing code.
void xpt2ieee(const unsigned char* xport, unsigned char* ieee);
// IEEE double bytes (big-endian) to IBM double. Values beyond the IBM range give the overflow
// markers 7F FF.. FF (too large) or FF FF.. FF (too small).
void ieee2xpt(const unsigned char* ieee, unsigned char* xport);
// A transport value as a host double. Returns 1 for an ordinary value, 0 for an overflow marker:
// the too-small marker reads as 0, the other three as missing (NaN), and for those the input
// bytes are rewritten to the SAS missing value ".".
int sas_xport_to_dbl(unsigned char* xport, double* out);
// A host double as the 8 bytes of an IBM double (ieee2xpt on the host value).
void sas_dbl_to_xport(double value, unsigned char* xport);

