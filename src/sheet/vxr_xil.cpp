// Sheet access, naming and editing (placeholder: the driver's calls only).
#include "vxs_access.h"

void vxs_make_unique_column_names(Sheet*) {}
void vxs_delete_empty_rows(Sheet*) {}
void vxs_fix_decimals(Sheet*) {}
