// Arbitrary bytes through the WAVE reader in both column layouts, then the sheet invariants.
#include "fuzz_util.h"
#include "media/vxr_wav.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (int16_t separate : {0, 1}) {
        fuzz_new_run();
        ByteReader in(data, size);
        vxs_decode_wave(in, "fuzz.wav", separate);
        fuzz_check_sheet();
    }
    return 0;
}
