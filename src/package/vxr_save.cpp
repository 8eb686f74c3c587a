// Package spreadsheet file writer (placeholder).
#include "../driver/vxs_formats.h"

int16_t save_sheet(Sheet*, const char*) { return 0; }
