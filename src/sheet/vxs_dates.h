// Day numbers on the 1900 (spreadsheet serial) and 1600 scales, date text in 40 formats, and
// write_num, the shared number formatter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Per thread: text writers format date columns on several threads at once.
extern thread_local int16_t vxs_gregorian;   // 1: day numbers count from 1 March 1600
extern thread_local int32_t vxs_date_format; // current date format code, 1..40

constexpr double VXS_SCALE_OFFSET = 109512.0;  // days between the two scales

void vxs_set_gregorian(int16_t flag);
void vxs_set_date_format(int32_t code);
double vxs_day_number(long day, long month, long year);
void vxs_date_1900_to_1600(double* value, double missing);
void vxs_date_1600_to_1900(double* value, double missing);
int get_short_month_no(const char* text);
int get_long_month_no(const char* text);
// text is edited in place (blanks stripped); returns 1 when read, 0 when not a date.
int vxs_read_date(char* text, double* value, int16_t gregorian, int32_t format, double missing);
int vxs_read_date(std::string& text, double* value, int16_t gregorian, int32_t format, double missing);
// buffer: at least 64 characters (texts are never longer than 63).
int vxs_write_date(char* buffer, double value, int16_t gregorian, int32_t format);
// buffer: at least 64 characters. A value at or below missing writes "*"; a number whose
// fixed form would not fit in 63 characters is written as %.15g. Returns the text's length.
size_t write_num(char* buffer, double value, int32_t representation, int32_t decimals, double missing);
std::string write_num(double value, int32_t representation, int32_t decimals, double missing);
// The length write_num gives for the same arguments, without writing the text.
size_t write_num_width(double value, int32_t representation, int32_t decimals, double missing);
// A cheap bound on that length (SIZE_MAX when none is known): a column's widest cell is found
// by measuring only the cells whose bound exceeds the widest so far.
size_t write_num_width_most(double value, int32_t representation, int32_t decimals, double missing);
// The widest of write_num_width over n values, or widest when none is wider: a column's field
// width measured in one call (dates by the current date state).
size_t write_num_width_max(const double* values, size_t n, int32_t representation, int32_t decimals, double missing,
                           size_t widest);
