// Stata file reader (placeholder).
#include "../driver/vxs_formats.h"

int16_t read_stata_into_sheet(const char*) { return 0; }
