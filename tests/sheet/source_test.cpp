// Byte sources: the same bytes from a file and from memory read alike through ByteReader and the
// block reader, reads past the end fail at their offset, and companion files are found by
// extension in either case.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "sheet/byte_reader.h"
#include "sheet/vxs_source.h"
#include "statpack/vxr_blockfile.h"
#include "test_util.h"

namespace {

const std::string kBytes = "\x01\x02\x03\x04\x05\x06\x07";  // 7 bytes

enum class Kind { File, Memory };

// A source over kBytes (or other bytes) of the given kind; the scratch directory holds the file.
VxsSource make_source(Kind kind, const ScratchDir& dir, const std::string& bytes = kBytes) {
    if (kind == Kind::Memory) return VxsSource::memory(bytes, "mem.bin");
    std::string path = dir.file("data.bin");
    write_file(path, bytes);
    VxsSource s;
    EXPECT_TRUE(s.open_file(path));
    return s;
}

struct PastEnd {
    const char* accessor;
    size_t start;  // cursor before the read
    std::function<void(ByteReader&)> read;
};

// Each accessor started where fewer bytes remain than it needs.
const std::vector<PastEnd> kPastEnd = {
    {"u8", 7, [](ByteReader& r) { EXPECT_EQ(r.u8(), 0); }},
    {"i8", 7, [](ByteReader& r) { EXPECT_EQ(r.i8(), 0); }},
    {"u16", 6, [](ByteReader& r) { EXPECT_EQ(r.u16(), 0); }},
    {"i16", 6, [](ByteReader& r) { EXPECT_EQ(r.i16(), 0); }},
    {"u32", 4, [](ByteReader& r) { EXPECT_EQ(r.u32(), 0u); }},
    {"i32", 5, [](ByteReader& r) { EXPECT_EQ(r.i32(), 0); }},
    {"u64", 0, [](ByteReader& r) { EXPECT_EQ(r.u64(), 0u); }},
    {"i64", 1, [](ByteReader& r) { EXPECT_EQ(r.i64(), 0); }},
    {"f32", 4, [](ByteReader& r) { EXPECT_EQ(r.f32(), 0.0f); }},
    {"f64", 2, [](ByteReader& r) { EXPECT_EQ(r.f64(), 0.0); }},
    {"bytes", 3, [](ByteReader& r) {
         char out[5] = {'x', 'x', 'x', 'x', 'x'};
         EXPECT_FALSE(r.bytes(out, 5));
         EXPECT_EQ(std::string(out, 5), std::string(5, '\0'));
     }},
    {"str", 5, [](ByteReader& r) { EXPECT_EQ(r.str(3), ""); }},
    {"view", 6, [](ByteReader& r) { EXPECT_TRUE(r.view(2).empty()); }},
    {"skip", 2, [](ByteReader& r) { EXPECT_FALSE(r.skip(6)); }},
    {"sub", 4, [](ByteReader& r) {
         ByteReader s = r.sub(4);
         EXPECT_FALSE(s.ok());
         EXPECT_EQ(s.size(), 0u);
     }},
};

class SourceKinds : public ::testing::TestWithParam<Kind> {
protected:
    ScratchDir dir;
};

TEST_P(SourceKinds, EveryAccessorPastTheEndFailsAtItsOffset) {
    for (const PastEnd& c : kPastEnd) {
        SCOPED_TRACE(c.accessor);
        VxsSource src = make_source(GetParam(), dir);
        ByteReader r = src.reader(Endian::Big);
        ASSERT_TRUE(r.ok());
        ASSERT_EQ(r.size(), 7u);
        ASSERT_TRUE(r.seek(c.start));
        c.read(r);
        EXPECT_FALSE(r.ok());
        EXPECT_EQ(r.fail_offset(), c.start);
        EXPECT_EQ(r.pos(), c.start);  // a failed read leaves the cursor
        // Later reads keep the first failure's offset.
        r.seek(0);
        r.u64();
        EXPECT_EQ(r.fail_offset(), c.start);
    }
}

TEST_P(SourceKinds, SeekPastTheEndAndOutOfRangeLookupsFail) {
    VxsSource src = make_source(GetParam(), dir);
    ByteReader r = src.reader();
    EXPECT_TRUE(r.seek(7));  // the end itself is a valid position
    EXPECT_FALSE(r.seek(8));
    EXPECT_EQ(r.fail_offset(), 8u);
    // Lookups at an offset leave the cursor and state alone and give zero or a failed reader.
    ByteReader q = src.reader();
    EXPECT_EQ(q.u8_at(7), 0);
    EXPECT_EQ(q.u16_at(6), 0);
    EXPECT_EQ(q.u32_at(4), 0u);
    EXPECT_EQ(q.u32_at(SIZE_MAX - 1), 0u);
    EXPECT_FALSE(q.slice(5, 3).ok());
    EXPECT_FALSE(q.slice(SIZE_MAX, 2).ok());
    EXPECT_TRUE(q.slice(5, 2).ok());
    EXPECT_TRUE(q.ok());
}

TEST_P(SourceKinds, ValuesReadAlikeInBothByteOrders) {
    VxsSource src = make_source(GetParam(), dir);
    ByteReader le = src.reader(Endian::Little);
    EXPECT_EQ(le.u16(), 0x0201);
    EXPECT_EQ(le.u32(), 0x06050403u);
    ByteReader be = src.reader(Endian::Big);
    EXPECT_EQ(be.u16(), 0x0102);
    EXPECT_EQ(be.u32(), 0x03040506u);
    EXPECT_EQ(be.u8(), 7);
    EXPECT_TRUE(be.eof());
    EXPECT_TRUE(be.ok());
}

TEST_P(SourceKinds, BlockReaderWindowsSeeksAndStopsAtTheEnd) {
    // Larger than one block so that a file source refills across a block boundary.
    std::string big(BlockFile::BLOCK + 1000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 251);
    BlockFile f;
    ASSERT_TRUE(f.open(make_source(GetParam(), dir, big)));
    EXPECT_EQ(f.size(), big.size());

    // Records of 13 bytes read back across the whole source.
    uint64_t checked = 0;
    while (f.remaining() >= 13) {
        ByteReader rec = f.window(13, Endian::Little).sub(13);
        ASSERT_TRUE(rec.ok());
        std::string_view got = rec.view(13);
        ASSERT_EQ(got, std::string_view(big).substr(f.position(), 13)) << "at " << f.position();
        f.consume(13);
        ++checked;
    }
    EXPECT_EQ(checked, big.size() / 13);
    // The tail is shorter than a record: the window holds only what remains and a record
    // taken from it fails at the tail's start.
    ByteReader tail = f.window(13, Endian::Little);
    EXPECT_EQ(tail.size(), big.size() % 13);
    ByteReader rec = tail.sub(13);
    EXPECT_FALSE(rec.ok());
    EXPECT_EQ(tail.fail_offset(), 0u);

    EXPECT_TRUE(f.seek(big.size()));
    EXPECT_EQ(f.window(8, Endian::Little).size(), 0u);
    EXPECT_FALSE(f.seek(big.size() + 1));
    ASSERT_TRUE(f.seek(5));
    EXPECT_EQ(f.window(4, Endian::Little).u8(), static_cast<uint8_t>(big[5]));
    f.consume(big.size());  // past the end stops at the end
    EXPECT_EQ(f.remaining(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Source, SourceKinds, ::testing::Values(Kind::File, Kind::Memory),
                         [](const auto& info) {
                             return std::string(info.param == Kind::File ? "File" : "Memory");
                         });

TEST(Source, MissingFileDoesNotOpenAndReadsNothing) {
    ScratchDir dir;
    VxsSource s;
    EXPECT_FALSE(s.open_file(dir.file("absent.bin")));
    EXPECT_FALSE(s.is_open());
    EXPECT_FALSE(s.reader().ok());
    BlockFile f;
    EXPECT_FALSE(f.open(dir.file("absent.bin").c_str()));
}

struct SiblingCase {
    const char* main;                // the data set's main file
    std::vector<std::string> files;  // the companions present (names beside main)
    const char* ext;                 // asked for
    const char* found;               // the companion's name, "" when missing
};

const std::vector<SiblingCase> kSiblings = {
    {"map.shp", {"map.dbf"}, ".DBF", "map.dbf"},
    {"map.shp", {"map.DBF"}, ".dbf", "map.DBF"},
    {"map.SHP", {"map.Dbf"}, ".Dbf", "map.Dbf"},
    {"map.shp", {"map.Dbf"}, ".dbf", ""},  // mixed case only when asked for
    {"map.shp", {"other.dbf"}, ".dbf", ""},
    {"a.b.hdr", {"a.b.dat"}, ".dat", "a.b.dat"},
    {"plain", {"plain.dat"}, ".dat", "plain.dat"},  // no extension: appended
    {"x.dir/plain", {"x.dir/plain.DAT"}, ".dat", "x.dir/plain.DAT"},
};

TEST(Source, SiblingsFoundOrMissingInFilesAndMemory) {
    for (const SiblingCase& c : kSiblings) {
        SCOPED_TRACE(std::string(c.main) + " asks " + c.ext);
        std::string expect = std::string("companion of ") + c.main;

        ScratchDir dir;
        if (std::string(c.main).find('/') != std::string::npos)
            std::filesystem::create_directory(dir.file("x.dir"));
        write_file(dir.file(c.main), "main");
        for (const std::string& f : c.files) write_file(dir.file(f), expect);
        VxsSource file;
        ASSERT_TRUE(file.open_file(dir.file(c.main)));
        VxsSource fs = file.open_sibling(c.ext);

        // A data set in memory holds only its own files, each named by its extension.
        std::vector<VxsPart> parts;
        for (const std::string& f : c.files)
            if (vxs_path_stem(f) == vxs_path_stem(c.main)) parts.push_back({f.substr(f.rfind('.')), expect});
        VxsSource mem = VxsSource::memory("main", c.main, parts);
        VxsSource ms = mem.open_sibling(c.ext);

        if (*c.found == '\0') {
            EXPECT_FALSE(fs.is_open());
            EXPECT_FALSE(ms.is_open());
            continue;
        }
        ASSERT_TRUE(fs.is_open());
        ASSERT_TRUE(ms.is_open());
        EXPECT_EQ(fs.name(), dir.file(c.found));
        EXPECT_EQ(ms.name(), c.found);
        std::string_view a, b;
        ASSERT_TRUE(fs.whole(a));
        ASSERT_TRUE(ms.whole(b));
        EXPECT_EQ(a, expect);
        EXPECT_EQ(b, expect);
        // A companion of the companion is the data set's own main file again.
        std::string main_ext = std::string(c.main).substr(vxs_path_stem(c.main).size());
        if (!main_ext.empty()) {
            EXPECT_TRUE(fs.open_sibling(main_ext).is_open());
        }
    }
}

TEST(Source, MovedFileSourceKeepsItsLoadedBytes) {
    ScratchDir dir;
    write_file(dir.file("s.bin"), "short");  // small enough for the string's inline buffer
    VxsSource a;
    ASSERT_TRUE(a.open_file(dir.file("s.bin")));
    std::string_view v;
    ASSERT_TRUE(a.whole(v));
    VxsSource b = std::move(a);
    ASSERT_TRUE(b.whole(v));
    EXPECT_EQ(v, "short");
}

}  // namespace
