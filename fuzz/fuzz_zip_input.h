// Builds a zip from parts of the fuzz input, so the xlsx and ods fuzzers reach the XML readers
// rather than spending their time on the zip container.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The input split at zero bytes into at most n parts (the last takes the rest).
std::vector<std::string> fuzz_split(const uint8_t* data, size_t size, size_t n);
// A zip holding the members (name, bytes), made in memory into out; false when it cannot.
bool fuzz_zip_to_memory(const std::vector<std::pair<std::string, std::string>>& members, std::string& out);
