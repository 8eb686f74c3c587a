// Excel 2007+ writer (.xlsx) through libxlsxwriter: a row of names, then one row per sheet row;
// numbers as numbers, dates as numbers with a date format, factors as their labels, texts in
// UTF-8, missing values as empty cells. The worksheet is named after the input file.
#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "../sheet/vxs_cp1252.h"
#include "../sheet/vxs_sheet_cells.h"
#include "vxs_workbook.h"

namespace {

constexpr size_t kMaxSheetName = 31;
constexpr int64_t kMaxRows = 1048575;  // below the names row
constexpr int64_t kMaxCols = 16384;

// The input's base name without extension, with the characters Excel refuses in sheet names
// made '_'.
std::string sheet_title(const Sheet* s) {
    std::string base = s->source_file;
    size_t slash = base.find_last_of("/\\");
    if (slash != std::string::npos) base = base.substr(slash + 1);
    size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0) base.resize(dot);
    for (char& c : base)
        if (c == '[' || c == ']' || c == ':' || c == '*' || c == '?' || c == '/' || c == '\\') c = '_';
    if (base.empty() || base[0] == '\'') base = "Sheet1";
    std::string utf8;
    // Cut by characters before converting, so no character is split.
    vxs_cp1252_to_utf8(base.substr(0, kMaxSheetName), utf8);
    return utf8;
}

bool has_time(const Column* col) {
    for (size_t r = 0; r < col->num.size(); ++r) {
        double v = col->num[r];
        if (v > col->sheet->missing && std::fabs(v - std::floor(v)) > 1e-9) return true;
    }
    return false;
}

}  // namespace

int16_t write_sheet_as_xlsx(Sheet* sheet, const char* path) {
    if (!sheet || sheet->column_count < 1) return 0;
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(path, &options);
    if (!book) {
        std::printf("Error: Cannot create %.100s!\n", path);
        return 0;
    }
    std::string title = sheet_title(sheet);
    lxw_worksheet* ws = workbook_add_worksheet(book, title.c_str());
    if (!ws) ws = workbook_add_worksheet(book, nullptr);
    lxw_format* date = workbook_add_format(book);
    format_set_num_format(date, "yyyy-mm-dd");
    lxw_format* date_time = workbook_add_format(book);
    format_set_num_format(date_time, "yyyy-mm-dd hh:mm:ss");
    lxw_format* time = workbook_add_format(book);
    format_set_num_format(time, "hh:mm:ss");

    std::vector<const Column*> cols;
    for (int32_t c = 1; c <= sheet->column_count && c < kMaxCols && c < static_cast<int32_t>(sheet->cols.size()); ++c)
        cols.push_back(sheet->cols[static_cast<size_t>(c)].get());
    std::vector<lxw_format*> formats(cols.size(), nullptr);
    std::vector<std::vector<std::string>> labels(cols.size());
    for (size_t c = 0; c < cols.size(); ++c) {
        const Column* col = cols[c];
        worksheet_write_string(ws, 0, static_cast<lxw_col_t>(c), vxs_cp1252_to_utf8(col->name).c_str(), nullptr);
        if (vxs_cell_kind(col) == CellKind::Date)
            formats[c] = col->date_format == 36 || col->date_format == 37 || col->date_format == 38 ? time
                         : has_time(col)                                                        ? date_time
                                                                                                : date;
        if (vxs_cell_kind(col) == CellKind::Factor)
            for (int32_t k = 1; k <= vxs_level_count(col); ++k) labels[c].push_back(vxs_cp1252_to_utf8(vxs_level_label(col, k)));
    }
    const int64_t rows = std::min<int64_t>(sheet->row_count, kMaxRows);
    std::string utf8;
    for (int64_t r = 0; r < rows; ++r) {
        const size_t row = static_cast<size_t>(r);
        const lxw_row_t out = static_cast<lxw_row_t>(r + 1);
        for (size_t c = 0; c < cols.size(); ++c) {
            const Column* col = cols[c];
            const lxw_col_t oc = static_cast<lxw_col_t>(c);
            switch (vxs_cell_kind(col)) {
                case CellKind::Text: {
                    if (row >= col->text.size()) break;
                    std::string_view t = col->text.get(row);
                    if (t.empty()) break;
                    utf8.clear();
                    vxs_cp1252_to_utf8(t, utf8);
                    worksheet_write_string(ws, out, oc, utf8.c_str(), nullptr);
                    break;
                }
                case CellKind::Factor:
                    if (vxs_has_number(col, row))
                        worksheet_write_string(ws, out, oc, labels[c][static_cast<size_t>(col->num[row]) - 1].c_str(), nullptr);
                    break;
                case CellKind::Date:
                    if (vxs_has_number(col, row)) {
                        double v = vxs_serial_of_cell(col, col->num[row]);
                        // Excel shows no date before its day 0; such a day stays a number.
                        worksheet_write_number(ws, out, oc, v, v >= 0 ? formats[c] : nullptr);
                    }
                    break;
                case CellKind::Number:
                    if (vxs_has_number(col, row)) worksheet_write_number(ws, out, oc, col->num[row], nullptr);
                    break;
            }
        }
    }
    if (sheet->row_count > kMaxRows)
        std::printf("Warning: Rows above %li NOT transfered!\n", static_cast<long>(kMaxRows));
    if (workbook_close(book) != LXW_NO_ERROR) {
        std::printf("Error: Cannot write %.100s!\n", path);
        return 0;
    }
    return 1;
}
