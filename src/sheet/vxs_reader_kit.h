// What every reader does the same way: start the sheet, add a column under a name made from
// the file's raw name, label a factor's levels from (value, label) pairs, take fixed-width text
// fields, and the days other programs count dates from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "vxs_dates.h"
#include "vxs_sheet.h"

// A new current sheet of rows rows (missing value, date scale and row attributes set; no row
// attributes when rows is 0), or null when it cannot be made.
Sheet* vxs_begin_sheet(int64_t rows);

// A column of rows cells named after raw: made a valid name, then cut to max_name characters
// when max_name is given. Names are made unique later, by the writers that need it. Null when the
// sheet holds no more columns.
Column* vxs_add_column(Sheet* sheet, int32_t type, std::string raw, int32_t rows,
                       size_t max_name = 0);

// Gives a factor one label per level: the label of the first pair whose value lies within
// 1e-12 of the level, else the level printed; each cut to max_label characters. Levels are
// made first when the factor has none.
void vxs_label_levels(Column* factor, std::span<const double> values,
                      std::span<const std::string> labels, size_t max_label);

// How a fixed-width text field is padded: up to the first NUL, trailing blanks cut, or both.
enum class VxsPad { Nul, Blank, NulThenBlank };
std::string vxs_fixed_field(std::string_view bytes, VxsPad pad);
// The same field as a view into bytes, for cells set straight from a record.
std::string_view vxs_fixed_view(std::string_view bytes, VxsPad pad);

// Day 0 of other programs' date counts, as day numbers on the sheet's 1900 scale (1 is
// 1 January 1900); the 1600 scale lies VXS_SCALE_OFFSET days further on.
struct VxsEpoch {
    static constexpr double sas = 21916.0;       // 1 January 1960
    static constexpr double stata = 21916.0;     // 1 January 1960
    static constexpr double spss = -115859.0;    // 14 October 1582 (before the phantom 29 February)
    static constexpr double mac_1904 = 1462.0;   // 1 January 1904
    static constexpr double unix = 25569.0;      // 1 January 1970
    static constexpr double matlab = -693960.0;  // day 0 of a datenum (1 January of year 0 is 1)
    static constexpr double on_1600(double epoch_1900) { return epoch_1900 + VXS_SCALE_OFFSET; }
};
