// Excel workbook reader (placeholder).
#include "../driver/vxs_formats.h"

int16_t read_xls_into_sheet(const char*) { return 0; }
