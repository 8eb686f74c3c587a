// File handling of the buffered writer.
#include "byte_writer.h"

ByteWriter::~ByteWriter() {
    if (f_ && own_) std::fclose(f_);
}

bool ByteWriter::open(const char* path) {
    close();
    f_ = std::fopen(path, "wb");
    own_ = true;
    ok_ = f_ != nullptr;
    written_ = 0;
    buf_.clear();
    buf_.reserve(kChunk + 64);
    return ok_;
}

void ByteWriter::attach(FILE* stream) {
    close();
    f_ = stream;
    own_ = false;
    ok_ = f_ != nullptr;
    written_ = 0;
    buf_.clear();
}

bool ByteWriter::flush() {
    if (ok_ && !buf_.empty()) {
        if (!f_ || std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size()) ok_ = false;
        written_ += buf_.size();
    }
    buf_.clear();
    return ok_;
}

bool ByteWriter::close() {
    if (!f_) return ok_;
    flush();
    if (own_) {
        if (std::fclose(f_) != 0) ok_ = false;
    } else if (std::fflush(f_) != 0) {
        ok_ = false;
    }
    f_ = nullptr;
    return ok_;
}
