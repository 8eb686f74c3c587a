// What writers of typed formats need from a column: its kind, whether a cell holds data, and a
// factor's level values and labels.
#pragma once

#include <string>

#include "vxs_sheet.h"

enum class CellKind { Number, Date, Text, Factor };

CellKind vxs_cell_kind(const Column* col);
// A numeric or factor cell that holds data (above the sheet's missing value; a factor's cell a
// level number within its levels).
bool vxs_has_number(const Column* col, size_t row);
// A factor's level number as its value (the level value when levels are given, else the
// number) and as its label (the label, else the value printed).
double vxs_level_value(const Column* col, int32_t level);
std::string vxs_level_label(const Column* col, int32_t level);
int32_t vxs_level_count(const Column* col);
// A date cell as a day number on the spreadsheet serial scale, whatever scale the column uses.
double vxs_serial_of_cell(const Column* col, double value);
