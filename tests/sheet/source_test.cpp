// Byte sources: reads past the end, the block reader on files and memory, companions by extension.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "sheet/byte_reader.h"
#include "sheet/vxs_source.h"
#include "sheet/block_file.h"
#include "test_util.h"

namespace {

// A file source's reader is a ByteReader over its loaded contents, so memory covers both.
TEST(Source, EveryAccessorPastTheEndFailsAtItsOffset) {
    const std::string bytes = "\x01\x02\x03\x04\x05\x06\x07";
    VxsSource s = VxsSource::memory(bytes, "mem.bin");
    const std::pair<size_t, std::function<bool(ByteReader&)>> cases[] = {  // start, read gives 0
        {7, [](ByteReader& r) { return r.u8() == 0; }},   {7, [](ByteReader& r) { return r.i8() == 0; }},
        {6, [](ByteReader& r) { return r.u16() == 0; }},  {6, [](ByteReader& r) { return r.i16() == 0; }},
        {4, [](ByteReader& r) { return r.u32() == 0; }},  {5, [](ByteReader& r) { return r.i32() == 0; }},
        {0, [](ByteReader& r) { return r.u64() == 0; }},  {1, [](ByteReader& r) { return r.i64() == 0; }},
        {4, [](ByteReader& r) { return r.f32() == 0; }},  {2, [](ByteReader& r) { return r.f64() == 0; }},
        {5, [](ByteReader& r) { return r.str(3).empty(); }}, {6, [](ByteReader& r) { return r.view(2).empty(); }},
        {2, [](ByteReader& r) { return !r.skip(6); }},
        {4, [](ByteReader& r) { return r.sub(4).size() == 0; }},
        {3, [](ByteReader& r) {
             char out[5] = {'x', 'x', 'x', 'x', 'x'};
             return !r.bytes(out, 5) && std::string(out, 5) == std::string(5, '\0');
         }},
    };
    for (auto& [start, read] : cases) {
        SCOPED_TRACE(start);
        ByteReader r = s.reader(Endian::Big);
        ASSERT_TRUE(r.seek(start));
        EXPECT_TRUE(read(r));
        EXPECT_TRUE(!r.ok() && r.fail_offset() == start && r.pos() == start);
        r.seek(0), r.u64();  // later reads keep the first failure's offset
        EXPECT_EQ(r.fail_offset(), start);
    }
    ByteReader le = s.reader(Endian::Little), be = s.reader(Endian::Big);
    EXPECT_TRUE(le.u16() == 0x0201 && le.u32() == 0x06050403u);
    EXPECT_TRUE(be.u16() == 0x0102 && be.u32() == 0x03040506u && be.u8() == 7 && be.eof() && be.ok());
    EXPECT_TRUE(be.seek(7));  // the end itself is a valid position
    EXPECT_TRUE(!be.seek(8) && be.fail_offset() == 8u);
    // Lookups at an offset leave the cursor and state alone and give zero or a failed reader.
    ByteReader q = s.reader();
    EXPECT_TRUE(q.u8_at(7) == 0 && q.u16_at(6) == 0 && q.u32_at(4) == 0 && q.u32_at(SIZE_MAX - 1) == 0);
    EXPECT_TRUE(!q.slice(5, 3).ok() && !q.slice(SIZE_MAX, 2).ok() && q.slice(5, 2).ok() && q.ok());
}

// The block reader refills a file source across block boundaries and windows memory in place.
class SourceKinds : public ::testing::TestWithParam<bool> {};

TEST_P(SourceKinds, BlockReaderWindowsSeeksAndStopsAtTheEnd) {
    ScratchDir dir;
    std::string big(BlockFile::BLOCK + 1000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 251);
    write_file(dir.file("data.bin"), big);
    BlockFile f;
    ASSERT_TRUE(GetParam() ? f.open(dir.file("data.bin").c_str()) : f.open(VxsSource::memory(big, "mem.bin")));
    EXPECT_EQ(f.size(), big.size());
    uint64_t checked = 0;  // records of 13 bytes across the whole source
    for (; f.remaining() >= 13; f.consume(13), ++checked)
        ASSERT_EQ(f.window(13, Endian::Little).sub(13).view(13), std::string_view(big).substr(f.position(), 13))
            << "at " << f.position();
    EXPECT_EQ(checked, big.size() / 13);
    // The tail is shorter than a record: a record taken from it fails at the tail's start.
    ByteReader tail = f.window(13, Endian::Little);
    EXPECT_EQ(tail.size(), big.size() % 13);
    EXPECT_FALSE(tail.sub(13).ok());
    EXPECT_EQ(tail.fail_offset(), 0u);
    EXPECT_TRUE(f.seek(big.size()) && f.window(8, Endian::Little).size() == 0 && !f.seek(big.size() + 1));
    ASSERT_TRUE(f.seek(5));
    EXPECT_EQ(f.window(4, Endian::Little).u8(), static_cast<uint8_t>(big[5]));
    f.consume(big.size());  // past the end stops at the end
    EXPECT_EQ(f.remaining(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Source, SourceKinds, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "File" : "Memory"); });

TEST(Source, SiblingsFoundOrMissingInFilesAndMemory) {
    const struct {
        const char *main, *file, *ext, *found;  // the companion present, asked for, found ("": none)
    } cases[] = {
        {"map.shp", "map.dbf", ".DBF", "map.dbf"},   {"map.shp", "map.DBF", ".dbf", "map.DBF"},
        {"map.SHP", "map.Dbf", ".Dbf", "map.Dbf"},   {"map.shp", "map.Dbf", ".dbf", ""},  // asked case only
        {"map.shp", "other.dbf", ".dbf", ""},        {"a.b.hdr", "a.b.dat", ".dat", "a.b.dat"},
        {"plain", "plain.dat", ".dat", "plain.dat"},  // no extension: appended
        {"x.dir/plain", "x.dir/plain.DAT", ".dat", "x.dir/plain.DAT"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.main) + " asks " + c.ext);
        const std::string expect = std::string("companion of ") + c.main, f = c.file;
        ScratchDir dir;
        std::filesystem::create_directory(dir.file("x.dir"));
        write_file(dir.file(c.main), "main");
        write_file(dir.file(f), expect);
        VxsSource file;
        ASSERT_TRUE(file.open_file(dir.file(c.main)));
        VxsSource fs = file.open_sibling(c.ext);
        // A data set in memory holds only its own files, each named by its extension.
        std::vector<VxsPart> parts;
        if (vxs_path_stem(f) == vxs_path_stem(c.main)) parts.push_back({f.substr(f.rfind('.')), expect});
        VxsSource ms = VxsSource::memory("main", c.main, parts).open_sibling(c.ext);
        ASSERT_EQ(fs.is_open(), *c.found != '\0');
        ASSERT_EQ(ms.is_open(), *c.found != '\0');
        if (!*c.found) continue;
        EXPECT_TRUE(fs.name() == dir.file(c.found) && ms.name() == c.found);
        std::string_view a, b;
        EXPECT_TRUE(fs.whole(a) && ms.whole(b) && a == expect && b == expect);
        // A companion of the companion is the data set's own main file again.
        std::string main_ext = std::string(c.main).substr(vxs_path_stem(c.main).size());
        EXPECT_TRUE(main_ext.empty() || fs.open_sibling(main_ext).is_open());
    }
}

TEST(Source, MissingFileAndMovedSource) {
    ScratchDir dir;
    VxsSource s;
    EXPECT_TRUE(!s.open_file(dir.file("absent.bin")) && !s.is_open() && !s.reader().ok());
    write_file(dir.file("s.bin"), "short");  // small enough for the string's inline buffer
    ASSERT_TRUE(s.open_file(dir.file("s.bin")));
    std::string_view v;
    ASSERT_TRUE(s.whole(v));
    VxsSource moved = std::move(s);  // keeps its loaded bytes
    EXPECT_TRUE(moved.whole(v) && v == "short");
}

}  // namespace
