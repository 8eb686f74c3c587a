// Column helpers shared by the writers of typed formats (xlsx, sav, dta).
#include "vxs_sheet_cells.h"

#include <cstdio>

#include "vxs_dates.h"

CellKind vxs_cell_kind(const Column* col) {
    if (col->is_text()) return CellKind::Text;
    if (col->type == VXS_FACTOR) return CellKind::Factor;
    if (col->representation == VXS_REP_DATE) return CellKind::Date;
    return CellKind::Number;
}

int32_t vxs_level_count(const Column* col) {
    int32_t n = col->nlevels;
    if (col->levels_present() > n) n = col->levels_present();
    if (col->labels_present() > n) n = col->labels_present();
    return n;
}

bool vxs_has_number(const Column* col, size_t row) {
    if (row >= col->num.size()) return false;
    double v = col->num[row];
    if (!(v > col->sheet->missing)) return false;
    if (col->type == VXS_FACTOR) return v >= 1 && v <= vxs_level_count(col);
    return true;
}

double vxs_level_value(const Column* col, int32_t level) {
    if (level >= 1 && level <= col->levels_present()) return col->levels[static_cast<size_t>(level - 1)];
    return level;
}

std::string vxs_level_label(const Column* col, int32_t level) {
    if (level >= 1 && level <= col->labels_present()) return col->labels[static_cast<size_t>(level - 1)];
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.12g", vxs_level_value(col, level));
    return buf;
}

double vxs_serial_of_cell(const Column* col, double value) {
    if (col->gregorian) vxs_date_1600_to_1900(&value, col->sheet->missing);
    return value;
}
