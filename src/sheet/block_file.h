// A window onto a binary source read in large blocks, so the statistics readers never hold a
// whole data file besides the sheet it fills. The window is handed out as a ByteReader over the
// buffered bytes at the cursor; the caller consumes what it decoded. Over a memory source the
// window is the memory itself.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "byte_reader.h"
#include "vxs_source.h"

class BlockFile {
public:
    static constexpr size_t BLOCK = size_t(1) << 22;

    BlockFile() = default;
    BlockFile(const BlockFile&) = delete;
    BlockFile& operator=(const BlockFile&) = delete;

    bool open(const char* path) {
        VxsSource s;
        return s.open_file(path) && open(std::move(s));
    }
    // Takes the source over; false when it is not open or cannot be read at any offset.
    bool open(VxsSource&& source) {
        src_ = std::move(source);
        start_ = len_ = cursor_ = 0;
        base_ = nullptr;
        if (!src_.seekable()) return false;
        size_ = src_.size();
        if (src_.is_memory()) {
            std::string_view all;
            src_.whole(all);
            base_ = reinterpret_cast<const uint8_t*>(all.data());
            len_ = all.size();
        }
        return true;
    }

    const VxsSource& source() const { return src_; }
    VxsSource& source() { return src_; }
    uint64_t size() const { return size_; }
    uint64_t position() const { return start_ + cursor_; }
    uint64_t remaining() const { return size_ - position(); }

    // A reader over the buffered bytes at the cursor, holding at least n of them (or all that
    // remain in the source), in the given byte order.
    ByteReader window(size_t n, Endian order) {
        n = static_cast<size_t>(std::min<uint64_t>(n, remaining()));
        if (len_ - cursor_ < n) refill(n);
        return ByteReader(base_ + cursor_, len_ - cursor_, order);
    }

    // Moves the cursor n bytes on; past the buffered bytes it repositions the source.
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
        start_ = offset;
        len_ = cursor_ = 0;
        return true;
    }

private:
    void refill(size_t n) {
        if (src_.is_memory()) return;  // all of it is already in the window
        size_t keep = len_ - cursor_;
        std::copy(buf_.begin() + static_cast<std::ptrdiff_t>(cursor_),
                  buf_.begin() + static_cast<std::ptrdiff_t>(len_), buf_.begin());
        start_ += cursor_;
        cursor_ = 0;
        len_ = keep;
        size_t want = std::max(n, BLOCK);
        want = static_cast<size_t>(std::min<uint64_t>(want, size_ - start_));
        if (buf_.size() < want) buf_.resize(want);
        base_ = buf_.data();
        len_ += src_.read_at(start_ + len_, buf_.data() + len_, want - len_);
    }

    VxsSource src_;
    uint64_t size_ = 0;
    uint64_t start_ = 0;   // source offset of base_[0]
    size_t len_ = 0;       // bytes held at base_
    size_t cursor_ = 0;    // cursor within base_
    const uint8_t* base_ = nullptr;
    std::vector<uint8_t> buf_;
};
