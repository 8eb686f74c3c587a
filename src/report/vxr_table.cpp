// The cell texts and column widths of the table writers.
#include "vxs_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "../sheet/vxs_dates.h"

std::vector<const Column*> vxs_table_columns(const Sheet* sheet) {
    std::vector<const Column*> cols;
    for (size_t i = 1; i < sheet->cols.size(); ++i)
        if (sheet->cols[i]->type != VXS_ROW) cols.push_back(sheet->cols[i].get());
    return cols;
}

std::vector<const Column*> vxs_table_columns_to_write(const Sheet* sheet) {
    std::vector<const Column*> cols;
    if (sheet && sheet->row_count >= 1 && sheet->column_count >= 1 && sheet->cols.size() >= 2)
        cols = vxs_table_columns(sheet);
    if (cols.empty()) std::printf("No valid data to save to table.\n");
    return cols;
}

std::string vxs_table_cell_text(const Sheet* sheet, const Column* c, size_t row, size_t sym_index) {
    char buf[128];
    auto number = [&](double v, int32_t rep, int32_t decimals) {
        if (rep == VXS_REP_DATE) {
            vxs_set_gregorian(c->gregorian);
            vxs_set_date_format(c->date_format);
        }
        write_num(buf, v, rep, decimals, sheet->missing);
        return std::string(buf);
    };
    if (c->type == VXS_SYMMAT_COL) {
        if (row < sym_index) return {};
        size_t idx = c->num.size() >= sheet->rows.size() ? row : row - sym_index;
        return idx < c->num.size() ? number(c->num[idx], c->representation, c->decimals)
                                   : std::string();
    }
    if (row >= c->value_count()) return {};
    if (c->is_text()) return std::string(c->text.get(row));
    double v = c->num[row];
    if (c->type != VXS_FACTOR) return number(v, c->representation, c->decimals);
    if (!(v > sheet->missing)) return {};
    double k = std::floor(v + 0.5);
    if (c->origin == 0) return number(k, VXS_REP_FIXED, 0);
    if (c->origin == 1) {
        if (k < 1 || k > static_cast<double>(c->levels.size())) return {};
        return number(c->levels[static_cast<size_t>(k) - 1], c->representation, c->decimals);
    }
    if (k < 1 || k > static_cast<double>(c->labels.size())) return {};
    return c->labels[static_cast<size_t>(k) - 1];
}

std::vector<size_t> vxs_table_sym_indexes(const std::vector<const Column*>& cols) {
    std::vector<size_t> sym(cols.size(), 0);
    for (size_t i = 0, k = 0; i < cols.size(); ++i)
        if (cols[i]->type == VXS_SYMMAT_COL) sym[i] = k++;
    return sym;
}

std::vector<size_t> vxs_table_widths(const Sheet* sheet, const std::vector<const Column*>& cols) {
    std::vector<size_t> widths;
    const size_t nrows = static_cast<size_t>(std::max(sheet->row_count, 0));
    size_t sym = 0;
    for (const Column* c : cols) {
        size_t w = c->name.size();
        size_t s = c->type == VXS_SYMMAT_COL ? sym++ : 0;
        for (size_t r = 0; r < nrows; ++r)
            w = std::max(w, vxs_table_cell_text(sheet, c, r, s).size());
        widths.push_back(w);
    }
    return widths;
}
