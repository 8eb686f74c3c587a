// Bounds-checked cursor over a byte buffer, shared by every binary reader. Reads past the end
// never touch memory outside the buffer: they set the failure flag and return zero, so a
// reader can decode a whole record and check ok() once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

enum class Endian { Little, Big };

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const uint8_t* data, size_t size, Endian order = Endian::Little)
        : data_(data), size_(size), order_(order) {}
    explicit ByteReader(std::span<const uint8_t> bytes, Endian order = Endian::Little)
        : data_(bytes.data()), size_(bytes.size()), order_(order) {}
    ByteReader(std::string_view bytes, Endian order = Endian::Little)
        : data_(reinterpret_cast<const uint8_t*>(bytes.data())), size_(bytes.size()), order_(order) {}

    size_t size() const { return size_; }
    size_t pos() const { return pos_; }
    size_t remaining() const { return pos_ <= size_ ? size_ - pos_ : 0; }
    bool ok() const { return ok_; }
    bool eof() const { return pos_ >= size_; }
    Endian order() const { return order_; }
    void set_order(Endian order) { order_ = order; }
    const uint8_t* data() const { return data_; }
    // Offset at which the first failed read was attempted, for messages.
    size_t fail_offset() const { return fail_offset_; }

    // True when n bytes are available at the cursor.
    bool has(size_t n) const { return n <= remaining(); }

    bool seek(size_t offset) {
        if (offset > size_) return fail(offset);
        pos_ = offset;
        return true;
    }
    bool skip(size_t n) {
        if (!has(n)) return fail(pos_);
        pos_ += n;
        return true;
    }

    uint8_t u8() {
        if (!has(1)) return fail(pos_), 0;
        return data_[pos_++];
    }
    int8_t i8() { return static_cast<int8_t>(u8()); }
    uint16_t u16() { return static_cast<uint16_t>(take(2)); }
    int16_t i16() { return static_cast<int16_t>(u16()); }
    uint32_t u32() { return static_cast<uint32_t>(take(4)); }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    uint64_t u64() { return take(8); }
    int64_t i64() { return static_cast<int64_t>(u64()); }
    float f32() {
        uint32_t bits = u32();
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    double f64() {
        uint64_t bits = u64();
        double d;
        std::memcpy(&d, &bits, 8);
        return d;
    }

    // Copies n bytes; on a short buffer copies nothing, zero-fills and fails.
    bool bytes(void* out, size_t n) {
        if (!has(n)) {
            std::memset(out, 0, n);
            return fail(pos_);
        }
        std::memcpy(out, data_ + pos_, n);
        pos_ += n;
        return true;
    }
    std::string str(size_t n) {
        if (!has(n)) return fail(pos_), std::string();
        std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return s;
    }
    std::string_view view(size_t n) {
        if (!has(n)) return fail(pos_), std::string_view();
        std::string_view s(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return s;
    }

    // A reader over the next n bytes (one record), advancing this one past them. A short
    // buffer gives an empty, failed sub-reader and fails this one.
    ByteReader sub(size_t n) {
        if (!has(n)) {
            fail(pos_);
            ByteReader r;
            r.ok_ = false;
            return r;
        }
        ByteReader r(data_ + pos_, n, order_);
        pos_ += n;
        return r;
    }
    // A reader over [offset, offset+n) of the whole buffer, cursor unchanged.
    ByteReader slice(size_t offset, size_t n) const {
        if (offset > size_ || n > size_ - offset) {
            ByteReader r;
            r.ok_ = false;
            return r;
        }
        return ByteReader(data_ + offset, n, order_);
    }

    // Value readers at an absolute offset that do not move the cursor.
    uint16_t u16_at(size_t offset) const { return static_cast<uint16_t>(peek(offset, 2)); }
    uint32_t u32_at(size_t offset) const { return static_cast<uint32_t>(peek(offset, 4)); }
    uint8_t u8_at(size_t offset) const { return offset < size_ ? data_[offset] : 0; }

private:
    bool fail(size_t at) {
        if (ok_) fail_offset_ = at;
        ok_ = false;
        return false;
    }
    uint64_t assemble(const uint8_t* p, size_t n) const {
        uint64_t v = 0;
        if (order_ == Endian::Little)
            for (size_t i = n; i-- > 0;) v = (v << 8) | p[i];
        else
            for (size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
        return v;
    }
    uint64_t take(size_t n) {
        if (!has(n)) return fail(pos_), 0;
        uint64_t v = assemble(data_ + pos_, n);
        pos_ += n;
        return v;
    }
    uint64_t peek(size_t offset, size_t n) const {
        if (offset > size_ || n > size_ - offset) return 0;
        return assemble(data_ + offset, n);
    }

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
    Endian order_ = Endian::Little;
    bool ok_ = true;
    size_t fail_offset_ = 0;
};

// Whole-file loading in one block read; false when the file cannot be opened or read.
bool vxs_read_whole_file(const char* path, std::string& out);
