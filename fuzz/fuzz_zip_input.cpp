// Zip files built from fuzz input parts with libzip.
#include "fuzz_zip_input.h"

#include <zip.h>

std::vector<std::string> fuzz_split(const uint8_t* data, size_t size, size_t n) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && parts.size() < n) {
            parts.emplace_back();
            continue;
        }
        parts.back() += static_cast<char>(data[i]);
    }
    parts.resize(n);
    return parts;
}

bool fuzz_write_zip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& members) {
    int err = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!z) return false;
    for (const auto& [name, bytes] : members) {
        zip_source_t* src = zip_source_buffer(z, bytes.data(), bytes.size(), 0);
        if (!src || zip_file_add(z, name.c_str(), src, ZIP_FL_OVERWRITE) < 0) {
            if (src) zip_source_free(src);
            zip_discard(z);
            return false;
        }
    }
    return zip_close(z) == 0;
}
