// Delimited text reader (placeholder).
#include "../driver/vxs_formats.h"

int16_t read_csv_file(const char*) { return 0; }
