// The command-line settings of one run. The driver's option parser is their only writer;
// readers and writers see them through vxs_options(). Each default is written here once.
#pragma once

#include <cstdint>
#include <string>

struct VxsOptions {
    // Input options.
    int32_t instat_nmv = 0;                            // /m: Instat missing-value codes given
    double instat_missing[3] = {-9999, -9999, -9999};  // /m: the codes
    int16_t inst_drop_factors = 0;                     // /f
    int16_t logbook_in_format = 0;                     // /l
    int32_t logbook_match_no = 1;                      // /l=n
    int16_t no_column_names = 0;                       // /n
    int16_t use_column_names = 0;                      // /y
    int32_t txt_to_num_mode = 3;                       // /t=d, 0..4
    int16_t name_dump = 0;                             // /w
    std::string name_file;                             // /w: where the listing goes ("" stdout)
    std::string xls_mv = "*";                          // /x=: text of a missing cell (80 at most)
    std::string pointer;                               // /p=: POINTER structure (40 at most)
    // Output options.
    int16_t no_return = 0;           // /*
    int16_t end_break = 0;           // /b
    int16_t fixed_decimals = 0;      // /f
    int16_t logbook_out_format = 0;  // /l=n
    int32_t logbook_nfactors = 1;    // /l=n
    int16_t read_print = 1;          // /q clears it
    int16_t separate_bmpwav = 1;     // /c clears it
    int16_t no_names_in_txt = 0;     // /n
    int16_t plain_names = 0;         // /u
    int32_t version = 3;             // /v=n, package spreadsheet file version 1..3
    // The output file as the user named it (writers are handed a temporary name).
    std::string output_name;
    // The sheet and range arguments.
    std::string worksheet_name;
    std::string cell_range;
};

// The settings of the current run (read only outside the driver).
const VxsOptions& vxs_options();
