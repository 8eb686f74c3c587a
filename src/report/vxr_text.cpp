// Delimited text writer (placeholder).
#include "../driver/vxs_formats.h"

int16_t write_sheet_as_text(Sheet*, const char*, int) { return 0; }
