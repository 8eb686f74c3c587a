// Arbitrary bytes through the delimited text reader, then the sheet's invariants; the text is
// read again in two parts cut near its middle, and both reads must write the same file.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver/vxs_formats.h"
#include "fuzz_util.h"
#include "sheet/vxs_csv.h"
#include "sheet/vxs_format_entries.h"

namespace {

// The sheet as comma-separated text, or "" when the read failed.
std::string read_as_text(const std::string& path) {
    fuzz_new_run();
    if (!read_csv_into_sheet(path.c_str())) return "";
    fuzz_check_sheet();
    std::string text;
    fuzz_write_to_memory([](const char* out) { return write_sheet_as_text(lastsheet, out, VXS_TEXT_COMMA); }, text);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = fuzz_write_input(data, size, ".csv");
    vxs_set_text_split(0);
    const std::string whole = read_as_text(path);
    vxs_set_text_split(size / 2);
    const std::string halves = read_as_text(path);
    vxs_set_text_split(0);
    if (whole != halves) std::abort();
    std::remove(path.c_str());
    return 0;
}
