// The HTML table writer: the sheet as one table of a page, header row in bold.
#pragma once

#include <cstdint>
#include <string>

#include "../sheet/vxs_sheet.h"

int html_add(const char* text);
void html_write_header(const char* title);
void html_write_item(const char* text, double percent, int bold, int first_row, int first_cell,
                     int last_row, int last_cell, int style);
void html_write_end();
// The page held in memory when no file is set (tests read it); clears it.
std::string html_take_buffer();

int16_t write_sheet_as_html_table(Sheet* sheet, const char* path);
