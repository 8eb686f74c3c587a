// The RTF table writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "../sheet/vxs_sheet.h"
#include "vxs_table.h"

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
