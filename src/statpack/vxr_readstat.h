// Statistics files read through ReadStat: SAS7BDAT, SPSS zsav and portable files, Stata
// releases 111 to 119 and SAS transport version 8, each into one sheet.
#pragma once

#include <cstdint>

#include "../sheet/vxs_source.h"

enum class ReadstatKind { Sas7bdat, Sav, Por, Dta, Xport };

// Reads the file into a new sheet (lastsheet); 1 on success, 0 when the file is damaged, cut
// short or holds no observation.
int16_t read_readstat_into_sheet(const char* path, ReadstatKind kind);
// The same from a byte source; memory is handed to the library through its I/O handlers.
int16_t read_readstat_source(VxsSource& src, ReadstatKind kind);

struct Sheet;
// Writers of SPSS system files (.sav, bytecode compressed) and Stata release 118 (.dta).
int16_t write_sheet_as_sav(Sheet* sheet, const char* path);
int16_t write_sheet_as_dta(Sheet* sheet, const char* path);
