// The one table of formats. Rows stand in detection order: the signature tests are tried from
// the top, then the weak tests (names, short signatures, plain text) from the top. A format
// that is not built yet has a null reader or writer; the driver reports it rather than
// writing nothing.
#include <cstring>

#include "vxs_formats.h"
#include "../sheet/vxs_options.h"
#include "../spreadsheet/vxs_workbook.h"
#include "../statpack/vxr_readstat.h"

namespace {

// Readers that take extra arguments (BMP, WAVE) and writers with a mode argument are adapted
// here so every row has the same shape.
int16_t write_vxc(Sheet* s, const char* p) { return write_sheet(s, p, 0); }
int16_t write_tab(Sheet* s, const char* p) { return write_sheet_as_text(s, p, VXS_TEXT_TAB); }
int16_t write_txt(Sheet* s, const char* p) { return write_sheet_as_text(s, p, VXS_TEXT_ALIGNED); }
int16_t write_csv(Sheet* s, const char* p) { return write_sheet_as_text(s, p, VXS_TEXT_COMMA); }
int16_t read_bmp(const char* p) { return read_bmp_into_sheet(p, vxs_options().separate_bmpwav); }
int16_t read_wav(const char* p) { return read_wave_into_sheet(p, vxs_options().separate_bmpwav); }

// Streams of compound documents that belong to other programs.
constexpr VxsContainerStream kQuattroStream{"PerfectOffice_MAIN", 36, "temp.wb2", vxs_set_wb3_file};
constexpr VxsContainerStream kMinitabStream{"Worksheet", 20, "temp.mtw", vxs_set_mtw_file};
constexpr VxsContainerStream kQpwStream{"NativeContent_MAIN", 36, "temp.qpw", vxs_set_qpw_file};
constexpr VxsContainerStream kStatisticaStream{"Contents", 18, "temp.sta"};

const VxsFormat kFormats[] = {
    {.type = VXT_VSH,
     .name = "package spreadsheet",
     .output_name = "package spreadsheet file",
     .extensions = ".vsh",
     .input_extensions = ".vsh",
     .probe = vxs_probe_package_sheet,
     .read = read_file_into_sheet,
     .write = save_sheet,
     .column_limit = 250,
     .max_columns = 250,
     .max_name = 40,
     .unique_names = true,
     .usage = ".VSH - Vantrix spreadsheet file loaded with SPLOAD",
     .usage_order = 1},
    {.type = VXT_SPLUS, .name = "S-PLUS binary", .probe = vxs_probe_splus, .read = read_splus_into_sheet},
    {.type = VXT_SYSTAT,
     .name = "Systat",
     .input_extensions = ".sys .syd",
     .probe = vxs_probe_systat,
     .read = read_systat_into_sheet},
    {.type = VXT_GAUSS,
     .name = "Gauss",
     .output_name = "Gauss matrix",
     .extensions = ".fmt",
     .input_extensions = ".dat .dht .fmt",
     .probe = vxs_probe_gauss,
     .read = read_gauss_into_sheet,
     .write = write_sheet_as_gauss,
     .usage = ".FMT - Gauss PC Matrix file loaded with LOADM",
     .usage_order = 3},
    {.type = VXT_MSTAT, .name = "MStat", .probe = vxs_probe_mstat, .read = read_mstat_into_sheet},
    {.type = VXT_MATLAB,
     .name = "Matlab",
     .extensions = ".mat",
     .input_extensions = ".mat",
     .probe = vxs_probe_matlab,
     .read = read_matlab_into_sheet,
     .write = write_sheet_as_matlab},
    {.type = VXT_WQ1,
     .name = "Quattro",
     .output_name = "Quattro WQ1",
     .extensions = ".wq1",
     .input_extensions = ".wq1 .wb1 .wb2 .wb3",
     .probe = vxs_probe_quattro,
     .read = read_wq1_into_sheet,
     .write = write_sheet_as_wq1,
     .column_limit = 255,
     .container = &kQuattroStream},
    {.type = VXT_WK1,
     .name = "Lotus WK1",
     .input_extensions = ".wk1",
     .probe = vxs_probe_lotus,
     .read = read_wk1_into_sheet},
    {.type = VXT_XLS,
     .name = "Excel",
     .output_name = "Excel 95",
     .extensions = ".xls",
     .input_extensions = ".xls",
     .probe = vxs_probe_excel,
     .read = read_xls_into_sheet,
     .write = write_sheet_as_xls,
     .column_limit = 255,
     .max_columns = 256,
     .usage = ".XLS - Excel 95 Spreadsheet file, ",
     .usage_order = 7},
    {.type = VXT_STATA,
     .name = "Stata",
     .input_extensions = ".dta",
     .probe = vxs_probe_stata,
     .read = read_stata_into_sheet},
    {.type = VXT_SHAPE,
     .name = "shapefile",
     .input_extensions = ".shp",
     .probe = vxs_probe_shape,
     .read = read_gis_shape_file},
    {.type = VXT_SPSS,
     .name = "SPSS",
     .output_name = "SPSS system file",
     .extensions = ".sav",
     .input_extensions = ".sav",
     .probe = vxs_probe_spss,
     .read = read_spss_into_sheet,
     .write = write_sheet_as_sav},
    {.type = VXT_INSTAT,
     .name = "Instat",
     .output_name = "Instat worksheet",
     .extensions = ".wor",
     .input_extensions = ".wor",
     .probe = vxs_probe_instat,
     .read = read_instat_into_sheet,
     .write = write_sheet_as_instat,
     .column_limit = 224,
     .max_columns = 127,
     .usage = ".WOR - Instat Worksheet file",
     .usage_order = 6},
    {.type = VXT_MTW,
     .name = "Minitab worksheet",
     .input_extensions = ".mtw",
     .probe = vxs_probe_minitab,
     .read = read_mtw_into_sheet,
     .container = &kMinitabStream},
    {.type = VXT_STATISTICA5,
     .name = "Statistica 5",
     .input_extensions = ".sta",
     .probe = vxs_probe_statistica5},
    {.type = VXT_STATISTICA6,
     .name = "Statistica 6",
     .input_extensions = ".sta",
     .probe = vxs_probe_statistica6,
     .container = &kStatisticaStream},
    {.type = VXT_SAS,
     .name = "SAS PC data set",
     .input_extensions = ".ssd",
     .probe = vxs_probe_sas},
    {.type = VXT_SASV8,
     .name = "SAS 7/8 data set",
     .input_extensions = ".sas7bdat",
     .probe = vxs_probe_sasv8,
     .read = read_sasv8_into_sheet},
    {.type = VXT_XPORT,
     .name = "SAS transport",
     .extensions = ".tpt",
     .input_extensions = ".xpt .tpt",
     .probe = vxs_probe_xport,
     .read = read_sas_transport_into_sheet,
     .write = write_sheet_as_sas_transport,
     .max_name = 8},
    {.type = VXT_DBF,
     .name = "dBase",
     .extensions = ".dbf",
     .input_extensions = ".dbf",
     .probe = vxs_probe_dbase,
     .weak_probe = vxs_probe_dbase_name,
     .read = read_dbf_into_sheet,
     .write = write_sheet_as_dbf,
     .column_limit = 511,
     .max_name = 10,
     .usage = ".DBF - dBase 3 file,  ",
     .usage_order = 5},
    {.type = VXT_MTP,
     .name = "Minitab portable",
     .input_extensions = ".mtp",
     .probe = vxs_probe_minitab_portable,
     .read = read_mtp_into_sheet},
    {.type = VXT_KELMORA,
     .name = "tablet",
     .extensions = ".ktb",
     .input_extensions = ".ktb",
     .probe = vxs_probe_tablet,
     .read = read_kelmora_into_sheet,
     .write = write_sheet_as_kelmora},
    {.type = VXT_MIF,
     .name = "MapInfo interchange",
     .input_extensions = ".mif",
     .by_content = false,
     .weak_probe = vxs_probe_mapinfo_name,
     .read = read_mapinfo_file},
    {.type = VXT_PDX,
     .name = "Paradox",
     .input_extensions = ".db",
     .by_content = false,
     .weak_probe = vxs_probe_paradox_name,
     .read = read_pdx_into_sheet},
    {.type = VXT_SPLUS_TEXT,
     .name = "S-PLUS text dump",
     .output_name = "S-PLUS data dump",
     .extensions = ".sdd",
     .input_extensions = ".sdd",
     .by_content = false,
     .weak_probe = vxs_probe_splus_text_name,
     .read = read_splus_text_into_sheet,
     .write = write_sheet_as_splus_text,
     .usage = ".SDD - S+ Data Frame",
     .usage_order = 8},
    {.type = VXT_EPI,
     .name = "Epi-Info",
     .input_extensions = ".rec",
     .by_content = false,
     .weak_probe = vxs_probe_epi_name,
     .read = read_epi_into_sheet},
    {.type = VXT_WEKA,
     .name = "Weka ARFF",
     .extensions = ".arf .arff",
     .input_extensions = ".arff",
     .by_content = false,
     .weak_probe = vxs_probe_weka_name,
     .read = read_weka_into_sheet,
     .write = write_sheet_as_weka},
    {.type = VXT_BMP,
     .name = "BMP image",
     .input_extensions = ".bmp",
     .weak_probe = vxs_probe_bmp,
     .read = read_bmp},
    {.type = VXT_WAV,
     .name = "WAVE sound",
     .input_extensions = ".wav",
     .weak_probe = vxs_probe_wave,
     .read = read_wav},
    {.type = VXT_QPW,
     .name = "Quattro Pro for Windows",
     .input_extensions = ".qpw",
     .weak_probe = vxs_probe_qpw_bare,
     .read = read_qpw_into_sheet,
     .container = &kQpwStream},
    // Formats of current statistics packages and spreadsheets, read and written through
    // libraries. Their tests come after the older formats' so that no file recognised before
    // changes its type; a Stata 117+ file and a portable file start with text, a level 5
    // MAT-file with a line of text, so all come before the plain-text test.
    {.type = VXT_ZSAV,
     .name = "SPSS compressed",
     .input_extensions = ".zsav",
     .weak_probe = vxs_probe_zsav,
     .read = read_zsav_into_sheet},
    {.type = VXT_STATA_NEW,
     .name = "Stata 13 to 18",
     .output_name = "Stata 14 data set",
     .extensions = ".dta",
     .input_extensions = ".dta",
     .weak_probe = vxs_probe_stata_new,
     .read = read_dta_new_into_sheet,
     .write = write_sheet_as_dta},
    {.type = VXT_XPORT8,
     .name = "SAS transport 8",
     .input_extensions = ".xpt",
     .weak_probe = vxs_probe_xport8,
     .read = read_xport8_into_sheet},
    {.type = VXT_SPSS_PORT,
     .name = "SPSS portable",
     .input_extensions = ".por",
     .weak_probe = vxs_probe_spss_portable,
     .read = read_por_into_sheet},
    {.type = VXT_ODS,
     .name = "OpenDocument spreadsheet",
     .input_extensions = ".ods",
     .weak_probe = vxs_probe_ods,
     .read = read_ods_into_sheet},
    {.type = VXT_XLSX,
     .name = "Excel 2007 workbook",
     .extensions = ".xlsx",
     .input_extensions = ".xlsx",
     .weak_probe = vxs_probe_xlsx,
     .read = read_xlsx_into_sheet,
     .write = write_sheet_as_xlsx},
    // The level 5 MAT-file test: a second detection row of the Matlab format.
    {.type = VXT_MATLAB, .name = "Matlab", .weak_probe = vxs_probe_matlab5},
    {.type = VXT_CSV,
     .name = "delimited text",
     .output_name = "comma-separated text",
     .extensions = ".csv",
     .input_extensions = ".csv .txt",
     .weak_probe = vxs_probe_text,
     .read = read_csv_file,
     .write = write_csv},
    // Output only.
    {.type = VXT_VXC,
     .name = "package command file",
     .extensions = ".vxc",
     .write = write_vxc,
     .max_name = 40,
     .unique_names = true,
     .usage = ".VXC - Vantrix command file loaded with INPUT",
     .usage_order = 2},
    {.type = VXT_TAB, .name = "tab-separated text", .extensions = ".tab", .write = write_tab},
    {.type = VXT_RTF, .name = "RTF table", .extensions = ".rtf", .write = write_sheet_as_rtf_table},
    {.type = VXT_HTML,
     .name = "HTML table",
     .extensions = ".htm .html",
     .write = write_sheet_as_html_table},
    // Every other output extension.
    {.type = VXT_TEXT,
     .name = "delimited text",
     .write = write_txt,
     .usage = ".TXT - ASCII Text file (Note +/s produces suffixed Identifiers)",
     .usage_order = 4},
};

bool ends_with_nocase(const char* name, const char* ext, size_t e) {
    size_t n = std::strlen(name);
    if (n < e) return false;
    for (size_t i = 0; i < e; ++i) {
        char a = name[n - e + i], b = ext[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

bool has_extension(const VxsFormat& f, const char* output_name) {
    for (const char* e = f.extensions; *e;) {
        size_t len = std::strcspn(e, " ");
        if (ends_with_nocase(output_name, e, len)) return true;
        e += len;
        while (*e == ' ') ++e;
    }
    return false;
}

}  // namespace

std::span<const VxsFormat> vxs_formats() { return kFormats; }

const VxsFormat* vxs_find_format(int32_t type) {
    for (const auto& f : kFormats)
        if (f.type == type) return &f;
    return nullptr;
}

VxsWriteLimits vxs_write_limits(int32_t type) {
    const VxsFormat* f = vxs_find_format(type);
    return f ? VxsWriteLimits{f->max_columns, f->max_name} : VxsWriteLimits{};
}

bool vxs_reader_available(int32_t type) {
    const VxsFormat* f = vxs_find_format(type);
    return f && f->read;
}

bool vxs_writer_available(int32_t type) {
    const VxsFormat* f = vxs_find_format(type);
    return f && f->write;
}

const VxsFormat& vxs_output_format(const char* output_name) {
    for (const auto& f : kFormats)
        if (has_extension(f, output_name)) return f;
    return *vxs_find_format(VXT_TEXT);
}

int32_t vxs_output_type(const char* output_name) { return vxs_output_format(output_name).type; }

std::string vxs_usage_outputs() {
    std::string text;
    bool line_start = true;
    for (int order = 1;; ++order) {
        const VxsFormat* row = nullptr;
        for (const auto& f : kFormats)
            if (f.usage_order == order) row = &f;
        if (!row) break;
        if (line_start) text += "                ";
        text += row->usage;
        line_start = row->usage[std::strlen(row->usage) - 1] != ' ';
        if (line_start) text += '\n';
    }
    return text;
}

int16_t open_file(const char* name, int32_t type) {
    const VxsFormat* f = vxs_find_format(type);
    if (!f || !f->read) return 0;
    return f->read(name);
}
