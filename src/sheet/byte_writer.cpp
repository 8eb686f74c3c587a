// File handling of the buffered writer.
#include "byte_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FILE* vxs_create_output_file(const char* path) {
    if (!path) return nullptr;
    // Truncated only when it holds something: on ext4, truncating even an empty file makes its
    // close start writing back everything written since, a pause of tens of milliseconds on
    // big outputs (the temporary output file is always empty here).
    int fd = ::open(path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || (st.st_size != 0 && ::ftruncate(fd, 0) != 0)) {
        ::close(fd);
        return nullptr;
    }
    FILE* f = ::fdopen(fd, "wb");
    if (!f) ::close(fd);
    return f;
}

ByteWriter::~ByteWriter() {
    if (f_ && own_) std::fclose(f_);
}

bool ByteWriter::open(const char* path) {
    close();
    f_ = vxs_create_output_file(path);
    own_ = true;
    memory_ = false;
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
    memory_ = false;
    ok_ = f_ != nullptr;
    written_ = 0;
    buf_.clear();
}

void ByteWriter::to_memory() {
    close();
    memory_ = true;
    ok_ = true;
    written_ = 0;
    buf_.clear();
}

std::string ByteWriter::take() {
    std::string s;
    s.swap(buf_);
    return s;
}

bool ByteWriter::patch(uint64_t at, const void* p, size_t n) {
    if (at < written_ || at - written_ > buf_.size() || n > buf_.size() - (at - written_))
        return false;
    std::memcpy(buf_.data() + (at - written_), p, n);
    return true;
}

bool ByteWriter::flush() {
    if (memory_) return ok_;
    if (ok_ && !buf_.empty()) {
        if (!f_ || std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size()) ok_ = false;
        written_ += buf_.size();
    }
    buf_.clear();
    return ok_;
}

void ByteWriter::write_through(const void* p, size_t n) {
    if (!flush()) return;
    if (!f_ || std::fwrite(p, 1, n, f_) != n) ok_ = false;
    written_ += n;
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
