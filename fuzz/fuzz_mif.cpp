// One input split into a .mif and its .mid text at the first NUL byte (no .mid without one).
#include <string>
#include <string_view>

#include "fuzz_util.h"
#include "gis/vxr_mif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view all(reinterpret_cast<const char*>(data), size);
    size_t nul = all.find('\0');
    fuzz_new_run();
    if (nul == std::string_view::npos) {
        vxs_decode_mapinfo(all, nullptr, "fuzz.mif");
    } else {
        std::string mid(all.substr(nul + 1));
        vxs_decode_mapinfo(all.substr(0, nul), &mid, "fuzz.mif");
    }
    fuzz_check_sheet();
    return 0;
}
