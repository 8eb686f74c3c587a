// Office Open XML (.xlsx) and OpenDocument (.ods) workbooks: their sheets, defined names and
// cells go into the cell store, so sheets, ranges and the layout options work as for .xls.
#pragma once

#include <cstdint>
#include <string>

#include "../sheet/vxs_source.h"

int16_t read_xlsx_into_sheet(const char* path);
int16_t read_ods_into_sheet(const char* path);
// The same from a byte source: a file by its path, memory read in place.
int16_t read_xlsx_source(VxsSource& src);
int16_t read_ods_source(VxsSource& src);

// Kind of number a cell format shows: 0 plain, 1 date, 2 date and time, 3 time of day. Built-in
// format numbers of Excel, or a format code.
int xlsx_builtin_format_style(int id);
int xlsx_format_code_style(const std::string& code);

struct Sheet;
// Writes the sheet as an xlsx workbook of one worksheet; non-zero on success.
int16_t write_sheet_as_xlsx(Sheet* sheet, const char* path);
