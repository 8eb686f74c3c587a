// SAS transport reader and writer (placeholder).
#include "../driver/vxs_formats.h"

int16_t read_sas_transport_into_sheet(const char*) { return 0; }
int16_t write_sheet_as_sas_transport(Sheet*, const char*) { return 0; }
