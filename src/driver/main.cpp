// Entry point of the morvalen binary.
#include "vxr_main.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char** argv) {
#ifdef __GLIBC__
    // A fixed threshold keeps large blocks (columns, cell chunks) in their own mappings, so what
    // a reader gives back while the sheet is made returns to the system. Left to itself glibc
    // raises the threshold once such a block is freed, and the sheet's columns then grow the
    // heap beside the freed space.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
    return vxr_main(argc, argv);
}
