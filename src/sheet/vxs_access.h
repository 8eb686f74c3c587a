// Finding columns, rows and cells; valid and unique names; deleting, inserting and moving
// columns and rows; empty rows and columns; decimals, widths, description lines.
#pragma once

#include "vxs_sheet.h"

Column* get_column(Sheet* sheet, int32_t position);
Column* get_column_from_name(Sheet* sheet, std::string& name);  // strips the name in place
RowAttr* get_row_attr(Sheet* sheet, int32_t row);
// The numeric cell of a row, or null (row outside the column, or a text column).
double* get_row_pointer(Column* column, int32_t row);

// name: buffer of at least 41 characters; edited in place.
void make_valid_vantrix_name(char* name);
void make_valid_vantrix_name(std::string& name);
void vxs_def_column_name(char* buffer, int32_t n);
std::string vxs_def_column_name(int32_t n);
void vxs_make_unique_column_names(Sheet* sheet);
// Sets the run-wide suffix counters of make_valid_vantrix_name back to their start (tests).
void vxs_reset_name_counters();

int32_t vxs_mark_empty_rows(Sheet* sheet, int cross);
int32_t vxs_mark_empty_columns(Sheet* sheet, int cross);
void vxs_delete_empty_rows(Sheet* sheet);
int vxs_delete_column(Column* column, int row_flag);
int vxs_delete_row(Sheet* sheet, int32_t row, int column_flag, int reserved1, int reserved2);
// Unlinks the column; it stays alive in sheet->removed so pointers to it remain valid.
int remove_column(Column* column);
// Links a column held in sheet->removed back into the list at the position.
int insert_column(Sheet* sheet, Column* column, int32_t position);
int move_column(Sheet* sheet, int32_t from, int32_t to);
int remove_row_item(Column* column, int32_t row);
int delete_row_item(Column* column, int32_t row);
int remove_row_attribute(Sheet* sheet, int32_t row);
void renumber_columns(Sheet* sheet);
void renumber_row_attributes(Sheet* sheet);
void renumber_rows(Sheet* sheet);
void renumber_column_headings(Sheet* sheet);
void mark_column_as_modified(Column* column, int flag);
void mark_columns_modified(Sheet* sheet, int all);
void vxs_fix_decimals(Sheet* sheet);
int32_t vxs_set_default_column_width(Column* column, int flag);
void vxs_add_line_to_description(Sheet* sheet, std::string_view text);
int vxs_column_unique_items(Column* column);
