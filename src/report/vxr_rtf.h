// The RTF table writer, and the cell texts it shares with the HTML table writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "../sheet/vxs_sheet.h"

// The data columns of a sheet in order (the "Row" column is not part of a table).
std::vector<const Column*> vxs_table_columns(const Sheet* sheet);
// The text of one table cell: numbers as written by write_num, factors by their origin (level
// number, level value or label), texts as stored; empty for a cell the column lacks.
// sym_index is the column's place among the symmetric-matrix body columns.
std::string vxs_table_cell_text(const Sheet* sheet, const Column* col, size_t row,
                                size_t sym_index);
// Widest text of each column: its name or any of its cells.
std::vector<size_t> vxs_table_widths(const Sheet* sheet, const std::vector<const Column*>& cols);

int rtf_add(const char* text);
void rtf_write_header();
void rtf_write_cell(long right_edge, int header_row, int first_cell, int last_row, int last_cell,
                    int style);
void rtf_write_item(const char* text, int bold);
void rtf_write_row_end();
void rtf_write_end();
void rtf_special_chars(std::string& text);
// The document held in memory when no file is set (tests read it); clears it.
std::string rtf_take_buffer();

int16_t write_sheet_as_rtf_table(Sheet* sheet, const char* path);
