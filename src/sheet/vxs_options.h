// Process-wide option variables set from the command line and read by readers and writers.
#pragma once

#include <cstdint>

extern int32_t vxs_instat_nmv;
extern double vxs_instat_missing[3];
extern int16_t vxs_inst_drop_factors;
extern int16_t vxs_logbook_in_format;
extern int32_t vxs_logbook_match_no;
extern int16_t vxs_no_column_names;
extern int16_t vxs_use_column_names;
extern int16_t vxs_name_dump;
extern char vxs_name_file[257];
extern char pointer[41];
extern int16_t vxs_no_return;
extern int16_t vxs_end_break;
extern int16_t vxs_fixed_decimals;
extern int16_t vxs_logbook_out_format;
extern int32_t vxs_logbook_nfactors;
extern int16_t vxs_read_print;
extern int16_t vxs_separate_bmpwav;
extern int16_t vxs_no_names_in_txt;
extern int16_t vxs_plain_names;
extern int16_t vxs_csv_text_format;
extern int32_t vxs_version;
extern char worksheet_name[257];
extern char cell_range[257];

// Resets every option to its initial value (the driver calls it once per run; tests between
// runs).
void vxs_reset_options();
