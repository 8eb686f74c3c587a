// How Stata marks and counts dates, shared by the readers of the old and the new releases.
#pragma once

#include <string>

#include "../sheet/vxs_reader_kit.h"

// Serial day number of 1 January 1960, the day Stata's dates count from.
constexpr double STATA_DATE_EPOCH_SERIAL = VxsEpoch::stata;

// Whether a display format shows daily dates ("%d...", "%td...").
inline bool stata_is_daily_date(const std::string& format) {
    return format.rfind("%d", 0) == 0 || format.rfind("%td", 0) == 0 ||
           format.rfind("%-d", 0) == 0 || format.rfind("%-td", 0) == 0;
}
