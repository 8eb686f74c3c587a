// Numbers as printf's "%.*g", "%.*e" and "%.*f" write them, byte for byte, but several times
// faster: the digits come from the shortest round-trip form and are rounded by hand whenever
// that provably gives printf's digits; the rare case it cannot decide goes to std::to_chars
// with an explicit precision.
#pragma once

#include <cstddef>

// form: 'g', 'e' or 'f'; precision as printf takes it (0 for "%.0g" means 1). Writes at most
// size - 1 characters and a terminating zero; returns the length, or -1 when the text does not
// fit (then out holds nothing useful).
int vxs_format_double(char* out, size_t size, double value, char form, int precision);

// The length vxs_format_double gives for the same arguments (-1 when it gives -1), without
// writing the text: sizing a column's field costs about half as much as writing its cells.
int vxs_format_double_width(double value, char form, int precision);
// The most characters vxs_format_double can give for the value, from its magnitude alone and
// so much cheaper than the width itself; -1 when no such bound is kept (forms other than 'g').
int vxs_format_double_width_most(double value, char form, int precision);
// The widest of vxs_format_double_width over the values above floor ("%.*g" at precision),
// each value at or below floor counting 1 character, or widest when none is wider. Cells are
// measured only where their magnitude allows a wider text; -1 when one cannot be measured.
int vxs_format_g_width_max(const double* values, size_t n, int precision, double floor, int widest);
