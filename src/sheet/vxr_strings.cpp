// Case-insensitive comparison with ASCII lower-case folding.
#include "vxs_strings.h"

namespace {
int fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }
}  // namespace

int strnicmp(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        int x = fold(static_cast<unsigned char>(a[i])), y = fold(static_cast<unsigned char>(b[i]));
        if (x != y) return x - y;
        if (x == 0) return 0;
    }
    return 0;
}

int stricmp(const char* a, const char* b) {
    for (size_t i = 0;; ++i) {
        int x = fold(static_cast<unsigned char>(a[i])), y = fold(static_cast<unsigned char>(b[i]));
        if (x != y || x == 0) return x - y;
    }
}
