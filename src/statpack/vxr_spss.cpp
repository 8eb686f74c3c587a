// SPSS system file reader (placeholder).
#include "../driver/vxs_formats.h"

int16_t read_spss_into_sheet(const char*) { return 0; }
