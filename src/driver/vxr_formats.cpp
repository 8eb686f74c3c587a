// The one table of formats: file type code to reader, output extension to writer. A format
// that is not built yet has a null entry; the driver reports it rather than writing nothing.
#include <cstring>

#include "vxs_formats.h"
#include "../spreadsheet/vxs_workbook.h"
#include "../statpack/vxr_readstat.h"
#include "../sheet/vxs_options.h"

namespace {

// Readers that take extra arguments (BMP, WAVE) and writers with a mode argument are adapted
// by small functions here so every row has the same shape.
int16_t write_vxc(Sheet* s, const char* p) { return write_sheet(s, p, 0); }
int16_t write_tab(Sheet* s, const char* p) { return write_sheet_as_text(s, p, 1); }
int16_t write_txt(Sheet* s, const char* p) { return write_sheet_as_text(s, p, 0); }
int16_t read_bmp(const char* p) { return read_bmp_into_sheet(p, vxs_separate_bmpwav); }
int16_t read_wav(const char* p) { return read_wave_into_sheet(p, vxs_separate_bmpwav); }
const VxsReaderEntry kReaders[] = {
    {VXT_VSH, "package spreadsheet", read_file_into_sheet, ".vsh", true},
    {VXT_WK1, "Lotus WK1", read_wk1_into_sheet, ".wk1", true},
    {VXT_DBF, "dBase", read_dbf_into_sheet, ".dbf", true},
    {VXT_XLS, "Excel", read_xls_into_sheet, ".xls", true},
    {VXT_MTW, "Minitab worksheet", read_mtw_into_sheet, ".mtw", true},
    {VXT_WQ1, "Quattro", read_wq1_into_sheet, ".wq1 .wb1 .wb2 .wb3", true},
    {VXT_PDX, "Paradox", read_pdx_into_sheet, ".db", false},
    {VXT_SAS, "SAS PC data set", nullptr, ".ssd", true},
    {VXT_SPLUS, "S-PLUS binary", read_splus_into_sheet, "", true},
    {VXT_SPLUS_TEXT, "S-PLUS text dump", read_splus_text_into_sheet, ".sdd", false},
    {VXT_INSTAT, "Instat", read_instat_into_sheet, ".wor", true},
    {VXT_MSTAT, "MStat", read_mstat_into_sheet, "", true},
    {VXT_EPI, "Epi-Info", read_epi_into_sheet, ".rec", false},
    {VXT_GAUSS, "Gauss", read_gauss_into_sheet, ".dat .dht .fmt", true},
    {VXT_MATLAB, "Matlab", read_matlab_into_sheet, ".mat", true},
    {VXT_SYSTAT, "Systat", read_systat_into_sheet, ".sys .syd", true},
    {VXT_SPSS, "SPSS", read_spss_into_sheet, ".sav", true},
    {VXT_STATA, "Stata", read_stata_into_sheet, ".dta", true},
    {VXT_CSV, "delimited text", read_csv_file, ".csv .txt", true},
    {VXT_SHAPE, "shapefile", read_gis_shape_file, ".shp", true},
    {VXT_MIF, "MapInfo interchange", read_mapinfo_file, ".mif", false},
    {VXT_XPORT, "SAS transport", read_sas_transport_into_sheet, ".xpt .tpt", true},
    {VXT_BMP, "BMP image", read_bmp, ".bmp", true},
    {VXT_WAV, "WAVE sound", read_wav, ".wav", true},
    {VXT_QPW, "Quattro Pro for Windows", read_qpw_into_sheet, ".qpw", true},
    {VXT_STATISTICA5, "Statistica 5", nullptr, ".sta", true},
    {VXT_STATISTICA6, "Statistica 6", nullptr, ".sta", true},
    {VXT_SASV8, "SAS 7/8 data set", read_sasv8_into_sheet, ".sas7bdat", true},
    {VXT_MTP, "Minitab portable", read_mtp_into_sheet, ".mtp", true},
    {VXT_WEKA, "Weka ARFF", read_weka_into_sheet, ".arff", false},
    {VXT_KELMORA, "tablet", read_kelmora_into_sheet, ".ktb", true},
    {VXT_ZSAV, "SPSS compressed", read_zsav_into_sheet, ".zsav", true},
    {VXT_SPSS_PORT, "SPSS portable", read_por_into_sheet, ".por", true},
    {VXT_STATA_NEW, "Stata 13 to 18", read_dta_new_into_sheet, ".dta", true},
    {VXT_XPORT8, "SAS transport 8", read_xport8_into_sheet, ".xpt", true},
    {VXT_XLSX, "Excel 2007 workbook", read_xlsx_into_sheet, ".xlsx", true},
    {VXT_ODS, "OpenDocument spreadsheet", read_ods_into_sheet, ".ods", true},
};

// In the order the output name is tested; the last row catches every other extension.
const VxsWriterEntry kWriters[] = {
    {VXT_VXC, ".vxc", "package command file", write_vxc},
    {VXT_VSH, ".vsh", "package spreadsheet file", save_sheet},
    {VXT_GAUSS, ".fmt", "Gauss matrix", write_sheet_as_gauss},
    {VXT_XLS, ".xls", "Excel 95", write_sheet_as_xls},
    {VXT_INSTAT, ".wor", "Instat worksheet", write_sheet_as_instat},
    {VXT_DBF, ".dbf", "dBase", write_sheet_as_dbf},
    {VXT_WQ1, ".wq1", "Quattro WQ1", write_sheet_as_wq1},
    {VXT_SPLUS_TEXT, ".sdd", "S-PLUS data dump", write_sheet_as_splus_text},
    {VXT_MATLAB, ".mat", "Matlab", write_sheet_as_matlab},
    {VXT_TAB, ".tab", "tab-separated text", write_tab},
    {VXT_XPORT, ".tpt", "SAS transport", write_sheet_as_sas_transport},
    {VXT_RTF, ".rtf", "RTF table", write_sheet_as_rtf_table},
    {VXT_HTML, ".htm", "HTML table", write_sheet_as_html_table},
    {VXT_HTML, ".html", "HTML table", write_sheet_as_html_table},
    {VXT_WEKA, ".arf", "Weka ARFF", write_sheet_as_weka},
    {VXT_WEKA, ".arff", "Weka ARFF", write_sheet_as_weka},
    {VXT_KELMORA, ".ktb", "tablet", write_sheet_as_kelmora},
    {VXT_XLSX, ".xlsx", "Excel 2007 workbook", write_sheet_as_xlsx},
    {VXT_SPSS, ".sav", "SPSS system file", write_sheet_as_sav},
    {VXT_STATA_NEW, ".dta", "Stata 14 data set", write_sheet_as_dta},
    {VXT_TEXT, ".csv", "comma-separated text", write_txt},
    {VXT_TEXT, nullptr, "delimited text", write_txt},
};

bool ends_with_nocase(const char* name, const char* ext) {
    size_t n = std::strlen(name), e = std::strlen(ext);
    if (n < e) return false;
    for (size_t i = 0; i < e; ++i) {
        char a = name[n - e + i], b = ext[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

}  // namespace

std::span<const VxsReaderEntry> vxs_reader_rows() { return kReaders; }
std::span<const VxsWriterEntry> vxs_writer_rows() { return kWriters; }

const VxsReaderEntry* vxs_find_reader(int32_t type) {
    for (const auto& r : kReaders)
        if (r.type == type) return &r;
    return nullptr;
}

bool vxs_reader_available(int32_t type) {
    const VxsReaderEntry* r = vxs_find_reader(type);
    return r && r->read;
}

int32_t vxs_output_type(const char* output_name) {
    for (const auto& w : kWriters) {
        if (!w.extension) break;
        if (ends_with_nocase(output_name, w.extension)) return w.type;
    }
    return VXT_TEXT;
}

const VxsWriterEntry* vxs_find_writer(int32_t type) {
    for (const auto& w : kWriters)
        if (w.type == type) return &w;
    return nullptr;
}

bool vxs_writer_available(int32_t type) {
    const VxsWriterEntry* w = vxs_find_writer(type);
    return w && w->write;
}

int16_t open_file(const char* name, int32_t type) {
    const VxsReaderEntry* r = vxs_find_reader(type);
    if (!r || !r->read) return 0;
    return r->read(name);
}
