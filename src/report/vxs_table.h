// What the RTF and HTML table writers share: which columns make the table, the text of each
// cell and the width of each column.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "../sheet/vxs_sheet.h"

// The data columns of a sheet in order (the "Row" column is not part of a table).
std::vector<const Column*> vxs_table_columns(const Sheet* sheet);
// The columns of a sheet that can be written as a table; prints "No valid data to save to
// table." and gives none when there are none.
std::vector<const Column*> vxs_table_columns_to_write(const Sheet* sheet);
// The text of one table cell: numbers as written by write_num, factors by their origin (level
// number, level value or label), texts as stored; empty for a cell the column lacks.
// sym_index is the column's place among the symmetric-matrix body columns.
std::string vxs_table_cell_text(const Sheet* sheet, const Column* col, size_t row,
                                size_t sym_index);
// Each column's place among the symmetric-matrix body columns (0 for the others).
std::vector<size_t> vxs_table_sym_indexes(const std::vector<const Column*>& cols);
// Widest text of each column: its name or any of its cells.
std::vector<size_t> vxs_table_widths(const Sheet* sheet, const std::vector<const Column*>& cols);
