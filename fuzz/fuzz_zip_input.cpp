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

bool fuzz_zip_to_memory(const std::vector<std::pair<std::string, std::string>>& members, std::string& out) {
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &err);
    zip_t* z = buffer ? zip_open_from_source(buffer, ZIP_TRUNCATE, &err) : nullptr;
    zip_error_fini(&err);
    if (!buffer) return false;
    if (!z) {
        zip_source_free(buffer);
        return false;
    }
    zip_source_keep(buffer);  // the archive's close would free it otherwise
    bool ok = true;
    for (const auto& [name, bytes] : members) {
        zip_source_t* src = zip_source_buffer(z, bytes.data(), bytes.size(), 0);
        if (!src || zip_file_add(z, name.c_str(), src, ZIP_FL_OVERWRITE) < 0) {
            if (src) zip_source_free(src);
            ok = false;
            break;
        }
    }
    if (!ok) {
        zip_discard(z);
    } else if (zip_close(z) != 0) {
        zip_discard(z);
        ok = false;
    }
    zip_stat_t st;
    if (ok && zip_source_stat(buffer, &st) == 0 && (st.valid & ZIP_STAT_SIZE) && zip_source_open(buffer) == 0) {
        out.resize(st.size);
        zip_int64_t got = zip_source_read(buffer, out.data(), st.size);
        zip_source_close(buffer);
        ok = got == static_cast<zip_int64_t>(st.size);
    } else {
        ok = false;
    }
    zip_source_free(buffer);
    return ok;
}
