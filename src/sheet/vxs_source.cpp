// File and memory sources, and the companion files of a data set.
#include "vxs_source.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

VxsSource& VxsSource::operator=(VxsSource&& other) noexcept {
    if (this == &other) return *this;
    close();
    name_ = std::move(other.name_);
    file_ = std::exchange(other.file_, nullptr);
    size_known_ = other.size_known_;
    memory_ = std::exchange(other.memory_, false);
    size_ = std::exchange(other.size_, 0);
    loaded_ = std::exchange(other.loaded_, false);
    // A file's loaded view points into store_, whose buffer the move keeps only when it is on
    // the heap; take the view again from the moved store.
    bool view_in_store = !memory_ && loaded_;
    store_ = std::move(other.store_);
    bytes_ = view_in_store ? std::string_view(store_) : other.bytes_;
    other.bytes_ = {};
    parts_ = std::move(other.parts_);
    return *this;
}

void VxsSource::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

bool VxsSource::open_file(const std::string& path) {
    *this = VxsSource();
    name_ = path;
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) return false;
    if (std::fseek(file_, 0, SEEK_END) == 0) {
        long size = std::ftell(file_);
        if (size >= 0 && std::fseek(file_, 0, SEEK_SET) == 0) {
            size_ = static_cast<uint64_t>(size);
            size_known_ = true;
        }
    }
    return true;
}

VxsSource VxsSource::memory(std::string_view bytes, std::string name, std::vector<VxsPart> parts) {
    VxsSource s;
    s.name_ = std::move(name);
    s.memory_ = true;
    s.bytes_ = bytes;
    s.loaded_ = true;
    s.size_ = bytes.size();
    s.parts_ = std::make_shared<const std::vector<VxsPart>>(std::move(parts));
    return s;
}

size_t VxsSource::read_at(uint64_t offset, void* out, size_t n) {
    if (offset >= size_) return 0;
    n = static_cast<size_t>(std::min<uint64_t>(n, size_ - offset));
    if (loaded_) {
        std::memcpy(out, bytes_.data() + offset, n);
        return n;
    }
    if (!file_ || !size_known_) return 0;
    if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) return 0;
    return std::fread(out, 1, n, file_);
}

bool VxsSource::whole(std::string_view& out) {
    if (loaded_) {
        out = bytes_;
        return true;
    }
    if (!file_) return false;
    store_.clear();
    if (size_known_ && std::fseek(file_, 0, SEEK_SET) == 0) {
        store_.resize(static_cast<size_t>(size_));
        size_t got = size_ ? std::fread(store_.data(), 1, store_.size(), file_) : 0;
        store_.resize(got);
    } else {
        // Not seekable (a pipe): read in blocks until the end.
        char block[1 << 16];
        size_t got;
        while ((got = std::fread(block, 1, sizeof block, file_)) > 0) store_.append(block, got);
    }
    if (std::ferror(file_)) return false;
    loaded_ = true;
    bytes_ = store_;
    size_ = store_.size();
    size_known_ = true;
    out = bytes_;
    return true;
}

ByteReader VxsSource::reader(Endian order) {
    std::string_view all;
    if (whole(all)) return ByteReader(all, order);
    ByteReader failed;
    failed.skip(1);
    return failed;
}

std::FILE* VxsSource::open_stream() const {
    if (!memory_) return file_ ? std::fopen(name_.c_str(), "rb") : nullptr;
    // fmemopen wants a buffer even for no bytes.
    static char empty[1];
    if (bytes_.empty()) return fmemopen(empty, 0, "rb");
    return fmemopen(const_cast<char*>(bytes_.data()), bytes_.size(), "rb");
}

std::string vxs_path_stem(const std::string& path) {
    size_t dot = path.find_last_of('.');
    size_t sep = path.find_last_of("/\\");
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return path;
    return path.substr(0, dot);
}

std::string VxsSource::sibling_name(std::string_view ext) const {
    return vxs_path_stem(name_) + std::string(ext);
}

VxsSource VxsSource::open_sibling(std::string_view ext) const {
    std::string given(ext), up(ext), low(ext);
    for (char& c : up) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (char& c : low) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string stem = vxs_path_stem(name_);
    VxsSource s;
    for (const std::string* e : {&given, &up, &low}) {
        if (memory_) {
            if (!parts_) break;
            for (const VxsPart& p : *parts_) {
                if (p.ext != *e) continue;
                s = memory(p.bytes, stem + *e);
                s.parts_ = parts_;
                return s;
            }
        } else if (s.open_file(stem + *e)) {
            return s;
        }
    }
    return VxsSource();
}
