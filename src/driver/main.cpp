// Entry point of the morvalen binary.
#include "vxr_main.h"

int main(int argc, char** argv) { return vxr_main(argc, argv); }
