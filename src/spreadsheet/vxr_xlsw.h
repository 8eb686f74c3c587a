// Excel writer: an Excel 5/95 workbook (BIFF5 "Book" stream in a compound document made from
// scratch), or a bare Excel 2 or Excel 3/4 worksheet, with the record writers it is made of.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "../sheet/vxs_sheet.h"

// Record codes written.
enum : uint16_t {
    XLS_BOF = 0x0809,
    XLS_EOF = 0x000A,
    XLS_INTERFACEHDR = 0x00E1,
    XLS_MMS = 0x00C1,
    XLS_TOOLBARHDR = 0x00BF,
    XLS_TOOLBAREND = 0x00C0,
    XLS_INTERFACEEND = 0x00E2,
    XLS_WRITEACCESS = 0x005C,
    XLS_CODEPAGE = 0x0042,
    XLS_FNGROUPCOUNT = 0x009C,
    XLS_EXTERNCOUNT = 0x0016,
    XLS_EXTERNSHEET = 0x0017,
    XLS_NAME = 0x0018,
    XLS_WINDOWPROTECT = 0x0019,
    XLS_PROTECT = 0x0012,
    XLS_PASSWORD = 0x0013,
    XLS_WINDOW1 = 0x003D,
    XLS_BACKUP = 0x0040,
    XLS_HIDEOBJ = 0x008D,
    XLS_DATEMODE = 0x0022,
    XLS_PRECISION = 0x000E,
    XLS_BOOKBOOL = 0x00DA,
    XLS_FONT = 0x0031,
    XLS_FORMAT = 0x041E,
    XLS_XF = 0x00E0,
    XLS_STYLE = 0x0293,
    XLS_BOUNDSHEET = 0x0085,
    XLS_CALCMODE = 0x000D,
    XLS_CALCCOUNT = 0x000C,
    XLS_REFMODE = 0x000F,
    XLS_ITERATION = 0x0011,
    XLS_DELTA = 0x0010,
    XLS_SAVERECALC = 0x005F,
    XLS_PRINTHEADERS = 0x002A,
    XLS_PRINTGRIDLINES = 0x002B,
    XLS_GRIDSET = 0x0082,
    XLS_GUTS = 0x0080,
    XLS_DEFAULTROWHEIGHT = 0x0225,
    XLS_COUNTRY = 0x008C,
    XLS_WSBOOL = 0x0081,
    XLS_HEADER = 0x0014,
    XLS_FOOTER = 0x0015,
    XLS_HCENTER = 0x0083,
    XLS_VCENTER = 0x0084,
    XLS_SETUP = 0x00A1,
    XLS_DEFCOLWIDTH = 0x0055,
    XLS_COLINFO = 0x007D,
    XLS_DIMENSIONS = 0x0200,
    XLS_ROW = 0x0208,
    XLS_BLANK = 0x0201,
    XLS_LABEL = 0x0204,
    XLS_NUMBER = 0x0203,
    XLS_RK = 0x027E,
    XLS_MULRK = 0x00BD,
    XLS_NOTE = 0x001C,
    XLS_WINDOW2 = 0x023E,
    XLS_PANE = 0x0041,
    XLS_SELECTION = 0x001D,
    XLS_GCW = 0x00AB,
    XLS_INDEX = 0x020B,
    XLS_DBCELL = 0x00D7,
};

// Whole-run limit of the workbook stream, and the output form chosen from the sheet.
extern size_t xls_stream_limit;
extern int32_t xls_ver_2, xls_ver_34, xls_ver_97;  // shared with the Excel reader

// The stream built so far (tests look at it after a record writer).
std::string xls_stream();
// Empties the stream and the per-run state, as open_xls_output_file does.
void xls_reset_stream();

// RK form of a number: true with the 32-bit RK value when it keeps the number exactly.
bool xls_rk_value(double value, uint32_t& rk);

int16_t write_sheet_as_xls(Sheet* sheet, const char* path);
int open_xls_output_file(const char* path);
int writeb(const void* data, size_t n);
int xls_write_global_sheet(Sheet* sheet);
int xls_write_bof(int globals);
int xls_write_global_head();
int xls_write_font(int kind);
int xls_write_format(int kind, int index);
int xls_write_xf(int kind, int format);
int xls_write_style(int kind);
int xls_write_sheet(const char* name);
int xls_write_eof();
int xls_write_sheet_head();
int xls_write_col_info(int column, int width, int xf);
int xls_write_dimensions(int rows, int columns);
int xls_write_row(int row, int columns);
int xls_write_blank(int row, int column);
int xls_write_label(int row, int column, const std::string& text);
int xls_write_number(int row, int column, int xf, double value);
int xls_write_mulrk(int row);
int xls_write_note95(int row, int column, const std::string& text);
int xls_write_selection(int mode);
int xls_write_gcolwidth(int columns);
int xls_setup_index(int rows);
int xls_write_index(const std::vector<uint32_t>& positions, int count, uint32_t first_row_pos,
                    int rows);
int xls_write_dbcell(uint32_t back_to_first_row, const std::vector<uint16_t>& offsets);
// Writes the container around the stream (or the bare stream) to the open output file.
int xls_write_new_stream();
// Header pairs of the logbook layout from the sheet's description lines.
int vxs_setup_logbook_headers(Sheet* sheet,
                              std::vector<std::pair<std::string, std::string>>& headers);
