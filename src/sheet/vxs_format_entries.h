// What every format module offers the driver's table of formats: the type codes, the entry
// points of every reader and writer, the view of a file that detection tests get, and the
// stream under which the compound-document container hands a format its data. Format modules
// define these; only the driver knows them all as rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "vxs_csv.h"
#include "vxs_sheet.h"

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
// Readers of a byte source (a file or memory), which the path forms wrap.
class VxsSource;
int16_t read_pdx_source(VxsSource& src);
int16_t read_systat_source(VxsSource& src);
int16_t read_spss_source(VxsSource& src);
int16_t read_wk1_source(VxsSource& src);
int16_t read_wq1_source(VxsSource& src);
int16_t read_qpw_source(VxsSource& src);
int16_t read_mtw_source(VxsSource& src);
int16_t read_mtp_source(VxsSource& src);
int16_t read_instat_source(VxsSource& src);
int16_t read_kelmora_source(VxsSource& src);
int16_t read_splus_text_source(VxsSource& src);
int16_t read_file_source(VxsSource& src);
int16_t read_epi_source(VxsSource& src);
int16_t read_weka_source(VxsSource& src);
int16_t read_stata_source(VxsSource& src);
// read_csv_file: see ../sheet/vxs_csv.h
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
// The user's path of a Quattro notebook handed over from a compound document, shown by the
// reader instead of the temporary copy's name.
void vxs_set_wb3_file(const char* path);
void vxs_set_qpw_file(const char* path);
// The same for a Minitab worksheet stream (release 12-14): the stored name also selects the
// record layout. It serves the next read only.
void vxs_set_mtw_file(const char* path);
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
// Layouts of the text writer.
enum : int { VXS_TEXT_ALIGNED = 0, VXS_TEXT_TAB = 1, VXS_TEXT_COMMA = 2 };
int16_t write_sheet_as_text(Sheet* sheet, const char* path, int layout);
int16_t write_sheet_as_sas_transport(Sheet* sheet, const char* path);
int16_t write_sheet_as_rtf_table(Sheet* sheet, const char* path);
int16_t write_sheet_as_html_table(Sheet* sheet, const char* path);
int16_t write_sheet_as_weka(Sheet* sheet, const char* path);
int16_t write_sheet_as_kelmora(Sheet* sheet, const char* path);
// The written-side limits in a format's table row (0: none of its own), for its writer's
// check before the first byte.
struct VxsWriteLimits {
    int32_t max_columns = 0;
    int32_t max_name = 0;
};
VxsWriteLimits vxs_write_limits(int32_t type);

// What detection sees of a file: its first bytes (at most 100, followed by zeros) and its name.
struct VxsProbe {
    static constexpr size_t kBytes = 100;
    unsigned char b[kBytes + 1] = {0};
    size_t n = 0;
    const char* name = "";
    // Every byte read for detection (up to kHeadBytes): a level 5 MAT-file shows its version
    // and byte-order mark at 124.
    static constexpr size_t kHeadBytes = 128;
    const unsigned char* head = nullptr;
    size_t head_n = 0;

    bool bytes_are(size_t at, const char* expect, size_t len) const;
    bool zeros(size_t from, size_t to) const;  // bytes from..to, both included
    bool name_ends(const char* ext) const;     // without regard to case
    bool starts_nocase(const char* text) const;
};

// A stream of a compound document that is copied to a temporary file and handed to this
// format's reader: its name, the bytes of its UTF-16 directory name compared, the temporary
// file's name.
struct VxsContainerStream {
    const char* name = nullptr;
    size_t compared = 0;
    const char* temp_name = nullptr;
    // Stores the user's path for the receiving reader's messages; none: the container keeps it.
    void (*set_file)(const char* path) = nullptr;
};

// Detection tests of the formats.
bool vxs_probe_package_sheet(const VxsProbe& p);
bool vxs_probe_splus(const VxsProbe& p);
bool vxs_probe_systat(const VxsProbe& p);
bool vxs_probe_gauss(const VxsProbe& p);
bool vxs_probe_mstat(const VxsProbe& p);
bool vxs_probe_matlab(const VxsProbe& p);
bool vxs_probe_quattro(const VxsProbe& p);
bool vxs_probe_lotus(const VxsProbe& p);
bool vxs_probe_excel(const VxsProbe& p);
bool vxs_probe_stata(const VxsProbe& p);
bool vxs_probe_shape(const VxsProbe& p);
bool vxs_probe_spss(const VxsProbe& p);
bool vxs_probe_instat(const VxsProbe& p);
bool vxs_probe_minitab(const VxsProbe& p);
bool vxs_probe_statistica5(const VxsProbe& p);
bool vxs_probe_statistica6(const VxsProbe& p);
bool vxs_probe_sas(const VxsProbe& p);
bool vxs_probe_sasv8(const VxsProbe& p);
bool vxs_probe_xport(const VxsProbe& p);
bool vxs_probe_dbase(const VxsProbe& p);
bool vxs_probe_minitab_portable(const VxsProbe& p);
bool vxs_probe_tablet(const VxsProbe& p);
bool vxs_probe_dbase_name(const VxsProbe& p);
bool vxs_probe_mapinfo_name(const VxsProbe& p);
bool vxs_probe_paradox_name(const VxsProbe& p);
bool vxs_probe_splus_text_name(const VxsProbe& p);
bool vxs_probe_epi_name(const VxsProbe& p);
bool vxs_probe_weka_name(const VxsProbe& p);
bool vxs_probe_bmp(const VxsProbe& p);
bool vxs_probe_wave(const VxsProbe& p);
bool vxs_probe_qpw_bare(const VxsProbe& p);
bool vxs_probe_zsav(const VxsProbe& p);
bool vxs_probe_stata_new(const VxsProbe& p);
bool vxs_probe_xport8(const VxsProbe& p);
bool vxs_probe_spss_portable(const VxsProbe& p);
bool vxs_probe_ods(const VxsProbe& p);
bool vxs_probe_xlsx(const VxsProbe& p);
bool vxs_probe_matlab5(const VxsProbe& p);
bool vxs_probe_text(const VxsProbe& p);
