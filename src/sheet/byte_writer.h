// Buffered binary output shared by every writer: values in either byte order, fixed-width
// padded text, and a latched error. The first short write (a full disk, a closed pipe) stops
// all later output and is reported once, by close() returning false; writers check ok() only
// where they would stop early anyway.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "byte_reader.h"  // Endian

// Creates (truncates) a file for writing, as fopen(path, "wb") does, except that a symbolic
// link at the name is never followed: outputs, warnings and name files, and the copies of
// container streams all have predictable names, and a link planted at one must not redirect
// the write. Null on failure.
FILE* vxs_create_output_file(const char* path);

class ByteWriter {
public:
    explicit ByteWriter(Endian order = Endian::Little) : order_(order) {}
    ~ByteWriter();
    ByteWriter(const ByteWriter&) = delete;
    ByteWriter& operator=(const ByteWriter&) = delete;

    // Creates (truncates) the file; false when it cannot be created.
    bool open(const char* path);
    // Writes to a stream the caller opened and closes.
    void attach(FILE* stream);
    // Keeps everything written in memory, for take(), instead of writing a file.
    void to_memory();
    bool in_memory() const { return memory_; }
    // The bytes kept in memory so far; the writer starts empty again.
    std::string take();
    // The bytes not yet handed to the file (all of them when kept in memory).
    std::string_view buffered() const { return buf_; }
    // Overwrites bytes written earlier at offset at (a length or a position known only later);
    // false, changing nothing, when they are no longer held in memory.
    bool patch(uint64_t at, const void* p, size_t n);
    bool patch_u16(uint64_t at, uint16_t v) { return patch_value(at, v, 2); }
    bool patch_u32(uint64_t at, uint32_t v) { return patch_value(at, v, 4); }
    // Flushes and closes (or detaches) the output; false when any write failed.
    bool close();
    bool flush();

    bool ok() const { return ok_; }
    uint64_t written() const { return written_ + buf_.size(); }
    Endian order() const { return order_; }
    void set_order(Endian order) { order_ = order; }

    void bytes(const void* p, size_t n) {
        if (!ok_ || n == 0) return;
        if (n >= kChunk && !memory_) return write_through(p, n);  // no copy of big blocks
        buf_.append(static_cast<const char*>(p), n);
        if (buf_.size() >= kChunk) flush();
    }
    void bytes(std::string_view s) { bytes(s.data(), s.size()); }
    void fill(size_t n, char byte) {
        if (ok_) buf_.append(n, byte);
        if (buf_.size() >= kChunk) flush();
    }
    void u8(uint8_t v) { bytes(&v, 1); }
    void u16(uint16_t v) { put(v, 2); }
    void i16(int16_t v) { put(static_cast<uint16_t>(v), 2); }
    void u32(uint32_t v) { put(v, 4); }
    void i32(int32_t v) { put(static_cast<uint32_t>(v), 4); }
    void u64(uint64_t v) { put(v, 8); }
    void f32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        put(bits, 4);
    }
    void f64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        put(bits, 8);
    }
    // Text in a field of width bytes: cut when longer, padded with pad when shorter.
    void text(std::string_view s, size_t width, char pad = ' ') {
        if (s.size() > width) s = s.substr(0, width);
        bytes(s);
        fill(width - s.size(), pad);
    }

private:
    void write_through(const void* p, size_t n);
    static constexpr size_t kChunk = size_t(1) << 20;
    void encode(uint64_t v, size_t n, unsigned char* b) const {
        for (size_t i = 0; i < n; ++i) {
            unsigned char byte = static_cast<unsigned char>(v >> (8 * i));
            b[order_ == Endian::Little ? i : n - 1 - i] = byte;
        }
    }
    void put(uint64_t v, size_t n) {
        unsigned char b[8];
        encode(v, n, b);
        bytes(b, n);
    }
    bool patch_value(uint64_t at, uint64_t v, size_t n) {
        unsigned char b[8];
        encode(v, n, b);
        return patch(at, b, n);
    }

    FILE* f_ = nullptr;
    bool own_ = false;
    std::string buf_;
    uint64_t written_ = 0;
    bool ok_ = true;
    bool memory_ = false;
    Endian order_;
};

// Line-oriented text output on a ByteWriter.
class TextWriter {
public:
    explicit TextWriter(ByteWriter& out) : out_(out) {}
    void put(std::string_view s) { out_.bytes(s); }
    void line(std::string_view s) {
        out_.bytes(s);
        out_.u8('\n');
    }
    bool ok() const { return out_.ok(); }
    ByteWriter& bytes() { return out_; }

private:
    ByteWriter& out_;
};
