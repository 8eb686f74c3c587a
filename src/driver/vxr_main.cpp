// The conversion driver: command line and options, input detection, one reader, tidying of
// the sheet, one writer to a temporary name renamed into place, and the exit status.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "../sheet/vxs_access.h"
#include "../sheet/vxs_sheet.h"
#include "../sheet/vxs_txtnum.h"
#include "../spreadsheet/vxs_cdf.h"
#include "vxr_main.h"
#include "vxs_formats.h"
#include "vxs_info.h"
#include "vxs_options.h"
#include "vxs_path.h"
#include "vxs_progress.h"
#include "vxs_tempfile.h"

void vxs_reset_options() {
    vxs_parser_options() = VxsOptions{};
    VXSMAXCOLUMNS = 250;
    lastsheet = nullptr;
    // The container reader learns here which formats its streams go to.
    std::vector<VxsHandOver> hand_over;
    for (const VxsFormat& f : vxs_formats())
        if (f.container) hand_over.push_back({f.container, f.read});
    vxs_set_container_hand_over(std::move(hand_over));
}

namespace {

constexpr size_t kNameMax = 256;

const char* const kUsage[] = {
    "Morvalen - Translates Spreadsheet/Database files into Vantrix/Gauss format.\n",
    "Written for the Vantrix statistics package by the Morvalen developers.\n",
    "Report problems and suggestions to the Morvalen project.\n",
    "Supported Files: Excel 2-5,95-2000, Lotus WK1, Quattro WQ1,WB*, dBase2-5, Stata\n",
    "Paradox 3-5, Vantrix VSH, SAS PC 6.03-7.0, Minitab 8-13, Systat, MStat, Instat\n",
    "Epi-Info, SPSS/Win, Gauss Data/Matrix (PC/Win/Unix), MatLab, S+ (PC/Unix/Text)\n",
    "ArcView/Info Shapefiles, MapInfo Interchange (MIF), Comma Delimited Text (CSV)\n",
    "Usage: Morvalen Inputfile/options Outputfile/options <Sheet> <Range>\n",
    "   Inputfile  - name of file to take data from (+/v takes names from .VAR file)\n",
    "   Outputfile - name of file to write data to - extension determines file type:\n",
    nullptr,  // the output formats, from the format table
    "   Sheet      - optional number or name of worksheet or named range within a\n",
    "                spreadsheet file to take data from (enclose names containing\n",
    "                spaces in quotes eg \"Sheet One\").\n",
    "   Range      - optional range of cells within a worksheet to take data from\n",
    "                eg B3:D12 or AB2:AZ1201.\n",
    "Examples: Morvalen Test.DBF Test.VSH/s  (Suffixed Ids C[1] etc)\n",
    "          Morvalen Test.XLS Test.VXC 2  (ie take second sheet)\n",
    "          Morvalen Test.WB2 Test.FMT \"Sheet One\" B2:AA1001\n",
    "          Morvalen Test.XLS Test.DBF DataRange (a named range)\n",
    "          Morvalen Test.WB2 Test.TXT A C1:K100",
};

// Quote handling of a file-name argument: a leading double quote is dropped together with
// the first double quote left after it, keeping whatever follows (options may stand after
// the closing quote).
}  // namespace

std::string vxs_take_name_argument(const char* arg) {
    std::string s;
    if (arg[0] == '"') {
        s.assign(arg + 1, strnlen(arg + 1, kNameMax));
        size_t q = s.find('"');
        if (q != std::string::npos) s.erase(q, 1);
    } else {
        s.assign(arg, strnlen(arg, kNameMax));
    }
    return s;
}

namespace {

// Plain substring search for an option; removes it when found.
bool take_flag(std::string& arg, const char* option) {
    size_t at = arg.find(option);
    if (at == std::string::npos) return false;
    arg.erase(at, std::strlen(option));
    return true;
}

// "/m": up to three Instat missing-value codes.
void take_instat_missing(std::string& arg) {
    size_t at = arg.find("/m");
    if (at == std::string::npos) return;
    size_t p = at + 2;
    if (p < arg.size() && arg[p] == '=') ++p;
    vxs_parser_options().instat_nmv = 0;
    size_t consumed = p;
    for (int k = 0; k < 3; ++k) {
        double value = 0;
        size_t q = p;
        if (q < arg.size() && arg[q] == '*') {
            value = vxs_missing;
            ++q;
        } else {
            const char* start = arg.c_str() + p;
            char* end = nullptr;
            value = std::strtod(start, &end);
            q = p + static_cast<size_t>(end - start);
        }
        if (q == p) break;
        vxs_parser_options().instat_missing[vxs_parser_options().instat_nmv++] = value;
        consumed = q;
        if (k == 2 || q >= arg.size() || arg[q] != ',') break;
        p = q + 1;
    }
    arg.erase(at, consumed - at);
}

// "/x=" and the output "/l=", "/v=": the argument is cut at the option and the text from the
// next '/' after it moves into its place. Returns the text between, or npos when absent.
bool take_cut_option(std::string& arg, const char* option, std::string& value) {
    size_t at = arg.find(option);
    if (at == std::string::npos) return false;
    size_t start = at + std::strlen(option);
    size_t slash = arg.find('/', start);
    value = arg.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    std::string rest = slash == std::string::npos ? std::string() : arg.substr(slash);
    arg.erase(at);
    arg += rest;
    return true;
}

}  // namespace

void vxs_parse_input_options(std::string& arg, bool& use_name_file) {
    VxsDefaults* d = vxs_get_global_defaults();
    take_instat_missing(arg);
    if (take_flag(arg, "/f")) vxs_parser_options().inst_drop_factors = 1;
    if (take_flag(arg, "/k")) d->factor_strip_blanks = 0;
    if (size_t at = arg.find("/l"); at != std::string::npos) {
        vxs_parser_options().logbook_in_format = 1;
        size_t end = at + 2;
        if (end < arg.size() && arg[end] == '=') {
            ++end;
            long n = 0;
            while (end < arg.size() && arg[end] >= '0' && arg[end] <= '9') n = n * 10 + (arg[end++] - '0');
            vxs_parser_options().logbook_match_no = static_cast<int32_t>(n);
        }
        arg.erase(at, end - at);
    }
    if (take_flag(arg, "/n")) vxs_parser_options().no_column_names = 1;
    if (take_flag(arg, "/y")) vxs_parser_options().use_column_names = 1;
    if (size_t at = arg.find("/t"); at != std::string::npos) {
        size_t len = 2;
        if (at + 2 < arg.size() && arg[at + 2] == '=') {
            len = 3;
            if (at + 3 < arg.size() && arg[at + 3] >= '0' && arg[at + 3] <= '9') {
                int digit = arg[at + 3] - '0';
                vxs_parser_options().txt_to_num_mode = digit < 4 ? digit : 4;
                len = 4;
            }
        }
        arg.erase(at, len);
    }
    if (take_flag(arg, "/w")) vxs_parser_options().name_dump = 1;
    if (take_flag(arg, "/i")) d->keep_declared_missing = 1;
    d->sort_levels = take_flag(arg, "/u") ? 0 : 1;
    if (take_flag(arg, "/v")) use_name_file = true;
    std::string value;
    if (take_cut_option(arg, "/x=", value)) {
        value = value.substr(0, 80);
        vxs_parser_options().xls_mv = value;
    }
    if (size_t at = arg.find("/p="); at != std::string::npos) {
        vxs_parser_options().pointer = arg.substr(at + 3, 40);
        arg.erase(at);
    }
}

void vxs_parse_output_options(std::string& arg, bool& names_after) {
    VxsDefaults* d = vxs_get_global_defaults();
    if (take_flag(arg, "/*")) vxs_parser_options().no_return = 1;
    if (take_flag(arg, "/b")) vxs_parser_options().end_break = 1;
    if (take_flag(arg, "/e")) d->omit_empty = 1;
    if (take_flag(arg, "/f")) vxs_parser_options().fixed_decimals = 1;
    std::string value;
    if (take_cut_option(arg, "/l=", value)) {
        vxs_parser_options().logbook_out_format = 1;
        vxs_parser_options().logbook_nfactors = static_cast<int32_t>(std::atol(value.c_str()));
    }
    if (take_flag(arg, "/p")) names_after = true;
    if (take_flag(arg, "/q")) vxs_parser_options().read_print = 0;
    if (take_flag(arg, "/s")) d->suffixed_ids = 1;
    d->quote_csv_text = take_flag(arg, "/-") ? 0 : 1;
    if (take_flag(arg, "/c")) vxs_parser_options().separate_bmpwav = 0;
    if (take_flag(arg, "/n")) vxs_parser_options().no_names_in_txt = 1;
    if (take_flag(arg, "/u")) vxs_parser_options().plain_names = 1;
    if (take_cut_option(arg, "/v=", value)) {
        vxs_parser_options().version = static_cast<int32_t>(std::atol(value.c_str()));
        if (vxs_parser_options().version < 1) vxs_parser_options().version = 3;
    }
}

namespace {

bool equal_nocase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Replaces the part from the last '.' with ext, or appends ext. A dot in a folder name is not an
// extension, so the file stays beside the one it belongs to.
std::string with_extension(const std::string& name, const char* ext) {
    size_t dot = name.rfind('.'), slash = name.rfind('/');
    if (slash != std::string::npos && dot != std::string::npos && dot < slash) dot = std::string::npos;
    return (dot == std::string::npos ? name : name.substr(0, dot)) + ext;
}

void print_usage() {
    for (const char* line : kUsage) std::fputs(line ? line : vxs_usage_outputs().c_str(), stdout);
}

// --help, --version and --formats, taken only as the whole first argument (a file of that
// name is still reachable as ./--formats). Returns -1 for anything else.
int info_argument(const char* arg) {
    if (std::strcmp(arg, "--help") == 0) {
        print_usage();
        std::fputs("\n", stdout);
        return 0;
    }
    if (std::strcmp(arg, "--version") == 0) {
        std::fputs(vxs_version_text().c_str(), stdout);
        return 0;
    }
    if (std::strcmp(arg, "--formats") == 0) {
        std::fputs(vxs_formats_text().c_str(), stdout);
        return 0;
    }
    return -1;
}

int run(int argc, char** argv) {
    if (argc >= 2) {
        if (int status = info_argument(argv[1]); status >= 0) return status;
    }
    if (argc < 2) {
        print_usage();
        return 1;
    }
    vxs_init();
    vxs_reset_options();
    std::snprintf(vxs_warn_file, sizeof vxs_warn_file, "TxtToNum.ERR");
    std::remove(vxs_warn_file);
    errno = 0;

    bool use_name_file = false;
    std::string input = vxs_take_name_argument(argv[1]);
    vxs_options_in_file_name(input, [&](std::string& file) { vxs_parse_input_options(file, use_name_file); });
    std::string name_file = use_name_file ? input : std::string();

    int32_t input_type = VX_Find_File_Type(input.c_str());
    if (input_type == VXT_MISSING) {
        std::printf("Error: Input File %.100s not found!\n", input.c_str());
        return 2;
    }
    if (input_type == VXT_UNKNOWN) {
        std::printf("Error: Unknown File type!\n");
        return 3;
    }

    std::string output;
    if (argc < 3) {
        output = "Morvalen.VSH";
        if (!vxs_parser_options().name_dump) std::printf("Note: Writing data to %s by default.\n", output.c_str());
    } else {
        output = vxs_take_name_argument(argv[2]);
    }
    bool names_after = false;
    vxs_options_in_file_name(output, [&](std::string& file) { vxs_parse_output_options(file, names_after); });
    if (vxs_parser_options().name_dump) {
        if (output.find(".out") != std::string::npos)
            vxs_parser_options().name_file = output.substr(0, 256);
        else
            vxs_parser_options().name_file.clear();
    }
    if (vxs_parser_options().version < 1) vxs_parser_options().version = 1;
    if (vxs_parser_options().version > 3) vxs_parser_options().version = 3;

    const VxsFormat& out_format = vxs_output_format(output.c_str());
    if (equal_nocase(input, output)) {
        std::printf("Error: Output File %.100s is the same as the input file!\n", output.c_str());
        return 6;
    }
    bool temp_caller = output.find("K7RZ") != std::string::npos;
    VXSMAXCOLUMNS = out_format.column_limit;
    vxs_parser_options().worksheet_name = std::string(argc > 3 ? argv[3] : "").substr(0, 256);
    vxs_parser_options().cell_range = std::string(argc > 4 ? argv[4] : "").substr(0, 256);

    // Any old output stays in place until the new one is complete.
    VxsProgress progress(input);
    if (!open_file(input.c_str(), input_type)) {
        progress.finish();
        std::printf(" Error: No valid data in input file %.100s!\n", input.c_str());
        return 5;
    }
    Sheet* sheet = lastsheet;
    if (!sheet) {
        progress.finish();
        std::printf(" Warning: No valid data found in file or specified sheet/range!\n");
        return 4;
    }
    if (out_format.unique_names) vxs_make_unique_column_names(sheet);
    if (vxs_get_global_defaults()->omit_empty) vxs_delete_empty_rows(sheet);
    sheet->source_file = input.substr(0, 265);

    std::string temp = vxs_temp_output_name(output, input);
    if (!name_file.empty()) {
        name_file = with_extension(name_file, ".VAR");
        if (FILE* f = std::fopen(name_file.c_str(), "r")) {
            rename_columns(sheet, f);
            std::fclose(f);
            if (temp_caller) std::remove(name_file.c_str());
        } else {
            write_columns(sheet, name_file.c_str());
        }
    }
    if (vxs_parser_options().fixed_decimals) vxs_fix_decimals(sheet);

    if (!out_format.write) {
        progress.finish();
        std::printf("Error: Writing %s files is not supported yet!\n",
                    out_format.output_name ? out_format.output_name : out_format.name);
        return 6;
    }
    vxs_parser_options().output_name = output;
    VxsTempOutput temp_file(temp);
    progress.writing(temp, output);
    bool written = temp_file.create() && (out_format.write(sheet, temp.c_str()) & 0xffff) != 0;
    progress.finish();
    if (!written) {
        std::printf(" Output file not written! (No valid records?).\n");
        return 6;
    }
    if (names_after) write_columns(sheet, with_extension(temp, ".$V$").c_str());
    std::printf(" %li records transferred.\n", static_cast<long>(sheet->row_count));
    temp_file.commit(output);  // a failed rename is not reported
    if (vxs_warn_out) {
        std::fclose(vxs_warn_out);
        vxs_warn_out = nullptr;
        std::printf(" Text Conversion Warnings are given in file: %s!\n", vxs_warn_file);
    }
    return 0;
}

}  // namespace

int vxr_main(int argc, char** argv) {
    try {
        int status = run(argc, argv);
        std::fflush(stdout);
        return status;
    } catch (const VxsFatal& fatal) {
        std::fflush(stdout);
        return fatal.status;
    } catch (const std::bad_alloc&) {
        std::printf("Error: Not enough memory to read data!\n");
        std::fflush(stdout);
        return 8;
    }
}
