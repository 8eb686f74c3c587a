// Case-insensitive comparison with ASCII lower-case folding, as every module compares names.
#pragma once

#include <cstddef>

int stricmp(const char* a, const char* b);
int strnicmp(const char* a, const char* b, size_t n);
inline int _strnicmp(const char* a, const char* b, size_t n) { return strnicmp(a, b, n); }
