// Package command file writer (placeholder).
#include "../driver/vxs_formats.h"

int16_t write_sheet(Sheet*, const char*, int) { return 0; }
