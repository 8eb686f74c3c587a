// Compound document container reader: finds the Excel workbook stream inside a structured
// storage file (or accepts a bare Excel 2-4 worksheet) and serves its bytes to the BIFF
// decoder; streams of other programs are copied to a temporary file for their own readers.
#pragma once

#include <string>

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "../sheet/vxs_format_entries.h"

// Version of the open workbook: bare Excel 2 file; bare Excel 2, 3 or 4 file (no container);
// stream "Workbook" (BIFF8).
extern int32_t xls_ver_2;
extern int32_t xls_ver_34;
extern int32_t xls_ver_97;

// Largest stream accepted from a directory entry.
constexpr uint32_t XLS_STREAM_LIMIT = 70963200;

// 0 when an Excel workbook is open and the reader stands at its first record; 1 when the
// file is unusable, and also after a stream has been handed to another program's reader.
// Prints nothing.
int open_xls_file(const char* path);

// The next n bytes of the stream into dest (skipped when dest is null). 0 on success; at the
// end of the stream sets *err_flag to 1 and returns 1.
int readb(void* dest, long n, int16_t* err_flag);
// n bytes of the current record, following CONTINUE records; used and rec_len are updated.
// While xls_in_label is set the option byte that opens a continued string part is dropped.
int readc(void* dest, long n, long* used, uint16_t* rec_len, int16_t* err_flag);
extern int16_t xls_in_label;
// Positions the reader at a byte offset from the start of the stream; 0 on success.
int get_abs_biff_page(long offset);
// Releases the stream, the tables and the input file.
void xls_deallocate_mem();

// The workbook stream's size; its bytes [pos, pos + n), cut at its end, valid until the next
// call (a big stream is read through a window, not held whole); the reader's position in it.
size_t xls_stream_size();
std::span<const uint8_t> xls_stream_span(size_t pos, size_t n);
size_t xls_stream_pos();
void xls_set_stream_pos(size_t pos);

// A format whose data the container hands over: the stream it comes under and its reader.
struct VxsHandOver {
    const VxsContainerStream* stream = nullptr;
    int16_t (*read)(const char* path) = nullptr;
};
// The formats whose streams are handed over, looked for in this order; the driver sets them
// from its table of formats before the first file is read.
void vxs_set_container_hand_over(std::vector<VxsHandOver> formats);

// The user's path of a file whose inner stream is handed over, for the receiving reader's
// messages (the reader itself sees only the temporary copy).
const char* vxs_container_file();
void vxs_set_container_file(const char* path);
// The name a handed-over reader shows: the container's file when one was handed over (it serves
// this read only, so it is cleared), else the reader's own path.
std::string vxs_take_shown_name(const std::string& own_path);

// The Excel version (2, 3 or 4) of a bare worksheet file from its first bytes; 0 when the
// bytes are not one.
int xls_bare_version(const uint8_t* head, size_t n);
// Whether the bytes open a compound document (the container of Excel 5 and later).
bool xls_is_container(const uint8_t* head, size_t n);
