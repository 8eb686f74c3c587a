// Numbers from text and the conversion warnings file (placeholder until the full tolerance
// modes land).
#include <cstdio>

#include "vxs_txtnum.h"

int32_t vxs_txt_to_num_mode = 3;
char vxs_xls_mv[82] = "*";
char vxs_warn_file[257] = "TxtToNum.ERR";
FILE* vxs_warn_out = nullptr;
