// Buffered binary output for the writers of this family: bytes gathered in memory and written
// in large blocks, integers and doubles in an explicit byte order, one latched failure flag.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "../sheet/byte_reader.h"

class OutBuffer {
public:
    OutBuffer(FILE* f, Endian order) : f_(f), order_(order) { buf_.reserve(BLOCK + 4096); }
    OutBuffer(const OutBuffer&) = delete;
    OutBuffer& operator=(const OutBuffer&) = delete;

    void bytes(const void* p, size_t n) {
        buf_.append(static_cast<const char*>(p), n);
        if (buf_.size() >= BLOCK) flush();
    }
    void put(std::string_view s) { bytes(s.data(), s.size()); }
    void zeros(size_t n) { buf_.append(n, '\0'); }
    void i32(int32_t v) { word(static_cast<uint32_t>(v), 4); }
    void u32(uint32_t v) { word(v, 4); }
    void u64(uint64_t v) { word(v, 8); }
    void f64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        word(bits, 8);
    }
    bool flush() {
        if (!buf_.empty() && ok_ && std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size()) ok_ = false;
        buf_.clear();
        return ok_;
    }
    bool ok() const { return ok_; }

private:
    void word(uint64_t v, size_t n) {
        char b[8];
        for (size_t i = 0; i < n; ++i) {
            size_t shift = order_ == Endian::Little ? i : n - 1 - i;
            b[i] = static_cast<char>(v >> (8 * shift));
        }
        bytes(b, n);
    }

    static constexpr size_t BLOCK = size_t(1) << 20;
    FILE* f_;
    Endian order_;
    std::string buf_;
    bool ok_ = true;
};
