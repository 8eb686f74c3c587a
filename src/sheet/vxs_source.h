// Where a reader's bytes come from: a file read in large blocks, or a span of memory (a fuzz
// input, a member handed over by a container). One data set may span several files (a shapefile
// and its table, a header and its data); open_sibling finds the companion beside the source.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "byte_reader.h"

// One named file of an in-memory data set: its extension (".dbf") and its bytes.
struct VxsPart {
    std::string ext;
    std::string_view bytes;
};

class VxsSource {
public:
    VxsSource() = default;
    VxsSource(const VxsSource&) = delete;
    VxsSource& operator=(const VxsSource&) = delete;
    VxsSource(VxsSource&& other) noexcept { *this = std::move(other); }
    VxsSource& operator=(VxsSource&& other) noexcept;
    ~VxsSource() { close(); }

    // The file at path; false when it cannot be opened.
    bool open_file(const std::string& path);
    // Bytes owned by the caller, kept alive while the source is used. The name stands for the
    // path in messages; the parts are the other files of the data set, found by open_sibling.
    static VxsSource memory(std::string_view bytes, std::string name, std::vector<VxsPart> parts = {});

    bool is_open() const { return file_ != nullptr || memory_; }
    bool is_memory() const { return memory_; }
    // A file whose size is known and that can be read at any offset (not a pipe).
    bool seekable() const { return memory_ || (file_ && size_known_); }
    const std::string& name() const { return name_; }
    uint64_t size() const { return size_; }

    // Copies up to n bytes at offset into out and returns how many it copied: fewer at the end
    // of the source or on a read error.
    size_t read_at(uint64_t offset, void* out, size_t n);
    // The whole contents, in place for memory and read in one block for a file (a pipe in
    // blocks until its end); false when the file cannot be read.
    bool whole(std::string_view& out);
    // A reader over the whole contents (failed and empty when they cannot be read).
    ByteReader reader(Endian order = Endian::Little);
    // A new stdio stream at the start of the contents, for readers that read lines: the file
    // opened again, or the memory opened as a stream. The caller closes it; null on failure.
    std::FILE* open_stream() const;

    // The companion with the same stem and the extension ext (".dbf"), tried as given, then in
    // upper and lower case. A source that is not open when none is there.
    VxsSource open_sibling(std::string_view ext) const;
    // The name the sibling with this extension would have, for messages.
    std::string sibling_name(std::string_view ext) const;

private:
    void close();

    std::string name_;
    std::FILE* file_ = nullptr;
    bool size_known_ = false;
    bool memory_ = false;
    uint64_t size_ = 0;
    std::string_view bytes_;  // memory: the bytes; file: the loaded contents, once loaded
    bool loaded_ = false;
    std::string store_;       // a file's contents once whole() read them
    std::shared_ptr<const std::vector<VxsPart>> parts_;
};

// The path's stem: everything before the extension of its last component.
std::string vxs_path_stem(const std::string& path);
