// Every reader and writer of the converter, and the one table that maps file type codes to
// them. Adding a format is adding a module and a row in vxr_formats.cpp.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>

#include "../sheet/vxs_sheet.h"

// File type codes (input and output).
enum : int32_t {
    VXT_UNKNOWN = 0,
    VXT_VSH = 1,
    VXT_WK1 = 2,
    VXT_DBF = 3,
    VXT_VXC = 4,
    VXT_XLS = 5,
    VXT_TEXT = 6,
    VXT_MTW = 7,
    VXT_WQ1 = 8,
    VXT_PDX = 9,
    VXT_SAS = 10,
    VXT_SPLUS = 13,
    VXT_SPLUS_TEXT = 14,
    VXT_INSTAT = 15,
    VXT_MSTAT = 16,
    VXT_EPI = 17,
    VXT_GAUSS = 18,
    VXT_MATLAB = 20,
    VXT_SYSTAT = 21,
    VXT_SPSS = 22,
    VXT_STATA = 23,
    VXT_MISSING = 24,
    VXT_CSV = 25,
    VXT_SHAPE = 26,
    VXT_MIF = 27,
    VXT_XPORT = 28,
    VXT_TAB = 29,
    VXT_RTF = 30,
    VXT_HTML = 31,
    VXT_BMP = 32,
    VXT_WAV = 33,
    VXT_QPW = 34,  // Quattro Pro for Windows: reached through the container and bare notebooks
    VXT_STATISTICA5 = 35,
    VXT_STATISTICA6 = 36,
    VXT_SASV8 = 37,
    VXT_MTP = 38,
    VXT_WEKA = 39,
    VXT_KELMORA = 40,
    VXT_ZSAV = 41,         // SPSS compressed system file ("$FL3")
    VXT_SPSS_PORT = 42,    // SPSS portable file
    VXT_STATA_NEW = 43,    // Stata releases 113 to 119
    VXT_XPORT8 = 44,       // SAS transport version 8
    VXT_XLSX = 45,         // Office Open XML workbook (a zip)
    VXT_ODS = 46,          // OpenDocument spreadsheet (a zip)
};

// Readers: build one sheet (left in lastsheet); non-zero on success.
int16_t read_file_into_sheet(const char* path);
int16_t read_wk1_into_sheet(const char* path);
int16_t read_dbf_into_sheet(const char* path);
int16_t read_xls_into_sheet(const char* path);
int16_t read_mtw_into_sheet(const char* path);
int16_t read_wq1_into_sheet(const char* path);
int16_t read_pdx_into_sheet(const char* path);
int16_t read_sas_into_sheet(const char* path);
int16_t read_splus_into_sheet(const char* path);
int16_t read_splus_text_into_sheet(const char* path);
int16_t read_instat_into_sheet(const char* path);
int16_t read_mstat_into_sheet(const char* path);
int16_t read_epi_into_sheet(const char* path);
int16_t read_gauss_into_sheet(const char* path);
int16_t read_matlab_into_sheet(const char* path);
int16_t read_systat_into_sheet(const char* path);
int16_t read_spss_into_sheet(const char* path);
int16_t read_stata_into_sheet(const char* path);
int16_t read_csv_file(const char* path);  // wraps read_csv_into_sheet
int16_t read_gis_shape_file(const char* path);
int16_t read_mapinfo_file(const char* path);
int16_t read_sas_transport_into_sheet(const char* path);
int16_t read_bmp_into_sheet(const char* path, int16_t separate);
int16_t read_wave_into_sheet(const char* path, int16_t separate);
int16_t read_statistica5_into_sheet(const char* path);
int16_t read_statistica6_into_sheet(const char* path);
int16_t read_sasv8_into_sheet(const char* path);
int16_t read_mtp_into_sheet(const char* path);
int16_t read_weka_into_sheet(const char* path);
int16_t read_kelmora_into_sheet(const char* path);
int16_t read_qpw_into_sheet(const char* path);
// Formats read through ReadStat (statpack/vxr_readstat.cpp).
int16_t read_zsav_into_sheet(const char* path);
int16_t read_por_into_sheet(const char* path);
int16_t read_dta_new_into_sheet(const char* path);
int16_t read_xport8_into_sheet(const char* path);

// Writers: write the sheet to the file; non-zero on success.
int16_t save_sheet(Sheet* sheet, const char* path);
int16_t write_sheet(Sheet* sheet, const char* path, int mode);
int16_t write_sheet_as_gauss(Sheet* sheet, const char* path);
int16_t write_sheet_as_xls(Sheet* sheet, const char* path);
int16_t write_sheet_as_instat(Sheet* sheet, const char* path);
int16_t write_sheet_as_dbf(Sheet* sheet, const char* path);
int16_t write_sheet_as_wq1(Sheet* sheet, const char* path);
int16_t write_sheet_as_splus_text(Sheet* sheet, const char* path);
int16_t write_sheet_as_matlab(Sheet* sheet, const char* path);
int16_t write_sheet_as_text(Sheet* sheet, const char* path, int tabs);
int16_t write_sheet_as_sas_transport(Sheet* sheet, const char* path);
int16_t write_sheet_as_rtf_table(Sheet* sheet, const char* path);
int16_t write_sheet_as_html_table(Sheet* sheet, const char* path);
int16_t write_sheet_as_weka(Sheet* sheet, const char* path);
int16_t write_sheet_as_kelmora(Sheet* sheet, const char* path);

struct VxsReaderEntry {
    int32_t type;
    const char* format;
    int16_t (*read)(const char* path);
    const char* extensions;  // the usual input extensions, blank-separated (none known: "")
    bool by_content;         // recognised from the file's first bytes, not only from its name
};

struct VxsWriterEntry {
    int32_t type;
    const char* extension;  // compared without regard to case against the output name's end
    const char* format;
    int16_t (*write)(Sheet* sheet, const char* path);
};

const VxsReaderEntry* vxs_find_reader(int32_t type);
// The rows themselves, for listings generated from the table.
std::span<const VxsReaderEntry> vxs_reader_rows();
std::span<const VxsWriterEntry> vxs_writer_rows();
// Output type from the output name's extension (6 when none matches).
int32_t vxs_output_type(const char* output_name);
const VxsWriterEntry* vxs_find_writer(int32_t type);
// Whether a writer for this type has been built yet.
bool vxs_writer_available(int32_t type);
bool vxs_reader_available(int32_t type);

int32_t VX_Find_File_Type(const char* name);
// Detection on bytes already read (the first up to 128 bytes of the file) and its name.
int32_t vxs_detect_bytes(const unsigned char* data, size_t size, const char* name);
int16_t open_file(const char* name, int32_t type);
int write_columns(Sheet* sheet, const char* path);
int rename_columns(Sheet* sheet, FILE* file);
