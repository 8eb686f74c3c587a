// The writable view of the run's settings, for the driver's option parser (and tests that
// stand in for it). Everything else reads them through vxs_options().
#pragma once

#include "../sheet/vxs_options.h"

VxsOptions& vxs_parser_options();

// Resets every option to its default, and the column limit and current sheet with them, and
// tells the container reader where its streams go (the driver calls it once per run; tests
// between runs).
void vxs_reset_options();
