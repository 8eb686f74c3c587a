// Conversions between variate, text, factor and units columns, and factor levels and labels.
#pragma once

#include "vxs_sheet.h"

void convert_column(Column* column, int32_t from, int32_t to, int ignore_case, int strip);
int convert_variate_to_factor(Column* column, int use_values);
int convert_text_to_factor(Column* column, int ignore_case, int strip);
int convert_factor_to_variate(Column* column, int use_level_values);
int convert_text_to_variate(Column* column);
int convert_variate_to_text(Column* column);
int convert_factor_to_text(Column* column);
int convert_variate_to_units(Column* column);
int convert_text_to_units(Column* column);
int convert_units_to_variate(Column* column);
int convert_units_to_text(Column* column);
int vxs_fac_labels_of_type(Column* column, int kind);
void vxs_fac_sort_labels(Column* column, int kind);
void vxs_factor_reorder(Column* column, const int32_t* order);
int vxs_fac_default_labels(Column* column);
int vxs_fac_default_levels(Column* column, const double* values);
void vxs_reorder_levels_from_list(Column* column, const char* list);
// buffer: at least 64 characters.
void vxs_write_factor_value(Column* column, int32_t level, char* buffer);
