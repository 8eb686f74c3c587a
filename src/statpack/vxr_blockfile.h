// A window onto a binary file read in large blocks, so the statistics readers never hold a
// whole data file besides the sheet it fills. The window is handed out as a ByteReader over the
// buffered bytes at the cursor; the caller consumes what it decoded.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "../sheet/byte_reader.h"

class BlockFile {
public:
    static constexpr size_t BLOCK = size_t(1) << 22;

    BlockFile() = default;
    BlockFile(const BlockFile&) = delete;
    BlockFile& operator=(const BlockFile&) = delete;
    ~BlockFile() {
        if (f_) std::fclose(f_);
    }

    bool open(const char* path) {
        f_ = std::fopen(path, "rb");
        if (!f_) return false;
        if (std::fseek(f_, 0, SEEK_END) != 0) return false;
        long size = std::ftell(f_);
        if (size < 0 || std::fseek(f_, 0, SEEK_SET) != 0) return false;
        size_ = static_cast<uint64_t>(size);
        return true;
    }

    uint64_t size() const { return size_; }
    uint64_t position() const { return start_ + cursor_; }
    uint64_t remaining() const { return size_ - position(); }

    // A reader over the buffered bytes at the cursor, holding at least n of them (or all that
    // remain in the file), in the given byte order.
    ByteReader window(size_t n, Endian order) {
        n = static_cast<size_t>(std::min<uint64_t>(n, remaining()));
        if (len_ - cursor_ < n) refill(n);
        return ByteReader(buf_.data() + cursor_, len_ - cursor_, order);
    }

    // Moves the cursor n bytes on; past the buffered bytes it repositions the file.
    void consume(uint64_t n) {
        if (n <= len_ - cursor_) {
            cursor_ += static_cast<size_t>(n);
            return;
        }
        seek(std::min(size_, position() + n));
    }

    bool seek(uint64_t offset) {
        if (offset > size_) return false;
        if (offset >= start_ && offset <= start_ + len_) {
            cursor_ = static_cast<size_t>(offset - start_);
            return true;
        }
        if (std::fseek(f_, static_cast<long>(offset), SEEK_SET) != 0) return false;
        start_ = offset;
        len_ = cursor_ = 0;
        return true;
    }

private:
    void refill(size_t n) {
        size_t keep = len_ - cursor_;
        std::copy(buf_.begin() + static_cast<std::ptrdiff_t>(cursor_),
                  buf_.begin() + static_cast<std::ptrdiff_t>(len_), buf_.begin());
        start_ += cursor_;
        cursor_ = 0;
        len_ = keep;
        size_t want = std::max(n, BLOCK);
        want = static_cast<size_t>(std::min<uint64_t>(want, size_ - start_));
        if (buf_.size() < want) buf_.resize(want);
        if (std::fseek(f_, static_cast<long>(start_ + len_), SEEK_SET) != 0) return;
        len_ += std::fread(buf_.data() + len_, 1, want - len_, f_);
    }

    std::FILE* f_ = nullptr;
    uint64_t size_ = 0;
    uint64_t start_ = 0;  // file offset of buf_[0]
    size_t len_ = 0;      // bytes held in buf_
    size_t cursor_ = 0;   // cursor within buf_
    std::vector<uint8_t> buf_;
};
