// Storage of the run's settings; the writable view is declared for the driver only.
#include "vxs_options.h"

namespace {
VxsOptions g_options;
}  // namespace

const VxsOptions& vxs_options() { return g_options; }
VxsOptions& vxs_parser_options() { return g_options; }
