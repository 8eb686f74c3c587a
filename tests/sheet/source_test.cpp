// Byte sources: reads past the end, the block reader on files and memory, companions by extension,
// data sets read from memory as from files; the buffered writer: full devices, patches.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "driver/vxs_formats.h"
#include "driver/vxs_options.h"
#include "gis/vxr_gis.h"
#include "gis/vxr_mif.h"
#include "sheet/block_file.h"
#include "sheet/byte_reader.h"
#include "sheet/byte_writer.h"
#include "sheet/vxs_sheet.h"
#include "sheet/vxs_source.h"
#include "statpack/vxr_gauss.h"
#include "statpack/vxr_mstat.h"
#include "statpack/vxr_readstat.h"
#include "test_util.h"

namespace {

// A file source's reader is a ByteReader over its loaded contents, so memory covers both.
TEST(Source, EveryAccessorPastTheEndFailsAtItsOffset) {
    const std::string bytes = "\x01\x02\x03\x04\x05\x06\x07";
    VxsSource s = VxsSource::memory(bytes, "mem.bin");
    using R = ByteReader&;  // the signed and floating reads are these with a cast
    const std::pair<size_t, std::function<bool(R)>> cases[] = {  // start, read gives 0
        {7, [](R r) { return r.u8() == 0; }},         {6, [](R r) { return r.u16() == 0; }},
        {4, [](R r) { return r.u32() == 0; }},        {0, [](R r) { return r.u64() == 0; }},
        {5, [](R r) { return r.str(3).empty(); }},    {6, [](R r) { return r.view(2).empty(); }},
        {2, [](R r) { return !r.skip(6); }},          {4, [](R r) { return r.sub(4).size() == 0; }},
        {3, [](R r) { char out[5] = {'x', 'x', 'x', 'x', 'x'};
                      return !r.bytes(out, 5) && std::string(out, 5) == std::string(5, '\0'); }}};
    for (auto& [start, read] : cases) {
        SCOPED_TRACE(start);
        ByteReader r = s.reader(Endian::Big);
        ASSERT_TRUE(r.seek(start));
        EXPECT_TRUE(read(r) && !r.ok() && r.fail_offset() == start && r.pos() == start);
        r.seek(0), r.u64();  // later reads keep the first failure's offset
        EXPECT_EQ(r.fail_offset(), start);
    }
    ByteReader le = s.reader(Endian::Little), be = s.reader(Endian::Big);
    EXPECT_TRUE(le.u16() == 0x0201 && le.u32() == 0x06050403u);
    EXPECT_TRUE(be.u16() == 0x0102 && be.u32() == 0x03040506u && be.u8() == 7 && be.eof() && be.ok());
    EXPECT_TRUE(be.seek(7) && !be.seek(8) && be.fail_offset() == 8u);  // the end itself is a valid position
    // Lookups at an offset leave the cursor and state alone and give zero or a failed reader.
    ByteReader q = s.reader();
    EXPECT_TRUE(q.u8_at(7) == 0 && q.u16_at(6) == 0 && q.u32_at(4) == 0 && q.u32_at(SIZE_MAX - 1) == 0);
    EXPECT_TRUE(!q.slice(5, 3).ok() && !q.slice(SIZE_MAX, 2).ok() && q.slice(5, 2).ok() && q.ok());
}

// The block reader refills a file source across block boundaries and windows memory in place.
TEST(Source, BlockReaderWindowsSeeksAndStopsAtTheEnd) {
    ScratchDir dir;
    std::string big(BlockFile::BLOCK + 1000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 251);
    write_file(dir.file("data.bin"), big);
    for (bool from_file : {true, false}) {
        SCOPED_TRACE(from_file ? "file" : "memory");
        BlockFile f;
        ASSERT_TRUE(from_file ? f.open(dir.file("data.bin").c_str()) : f.open(VxsSource::memory(big, "mem.bin")));
        EXPECT_EQ(f.size(), big.size());
        uint64_t checked = 0;  // records of 13 bytes across the whole source
        for (; f.remaining() >= 13; f.consume(13), ++checked)
            ASSERT_EQ(f.window(13, Endian::Little).sub(13).view(13), std::string_view(big).substr(f.position(), 13))
                << "at " << f.position();
        EXPECT_EQ(checked, big.size() / 13);
        // The tail is shorter than a record: a record taken from it fails at the tail's start.
        ByteReader tail = f.window(13, Endian::Little);
        EXPECT_TRUE(tail.size() == big.size() % 13 && !tail.sub(13).ok() && tail.fail_offset() == 0u);
        EXPECT_TRUE(f.seek(big.size()) && f.window(8, Endian::Little).size() == 0 && !f.seek(big.size() + 1));
        EXPECT_TRUE(f.seek(5) && f.window(4, Endian::Little).u8() == static_cast<uint8_t>(big[5]));
        EXPECT_EQ((f.consume(big.size()), f.remaining()), 0u);  // past the end stops at the end
    }
}

TEST(Source, SiblingsFoundOrMissingInFilesAndMemory) {
    // The companion present, asked for, found ("": none).
    const struct { const char *main, *file, *ext, *found; } cases[] = {
        {"map.shp", "map.dbf", ".DBF", "map.dbf"},   {"map.shp", "map.DBF", ".dbf", "map.DBF"},
        {"map.SHP", "map.Dbf", ".Dbf", "map.Dbf"},   {"map.shp", "map.Dbf", ".dbf", ""},  // asked case only
        {"map.shp", "other.dbf", ".dbf", ""},        {"a.b.hdr", "a.b.dat", ".dat", "a.b.dat"},
        {"plain", "plain.dat", ".dat", "plain.dat"},  // no extension: appended
        {"x.dir/plain", "x.dir/plain.DAT", ".dat", "x.dir/plain.DAT"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.main) + " asks " + c.ext);
        const std::string expect = std::string("companion of ") + c.main, f = c.file;
        ScratchDir dir;
        std::filesystem::create_directory(dir.file("x.dir"));
        write_file(dir.file(c.main), "main"), write_file(dir.file(f), expect);
        VxsSource file, fs;
        ASSERT_TRUE(file.open_file(dir.file(c.main)));
        fs = file.open_sibling(c.ext);
        // A data set in memory holds only its own files, each named by its extension.
        std::vector<VxsPart> parts;
        if (vxs_path_stem(f) == vxs_path_stem(c.main)) parts.push_back({f.substr(f.rfind('.')), expect});
        VxsSource ms = VxsSource::memory("main", c.main, parts).open_sibling(c.ext);
        ASSERT_TRUE(fs.is_open() == (*c.found != '\0') && ms.is_open() == (*c.found != '\0'));
        if (!*c.found) continue;
        EXPECT_TRUE(fs.name() == dir.file(c.found) && ms.name() == c.found);
        std::string_view a, b;
        EXPECT_TRUE(fs.whole(a) && ms.whole(b) && a == expect && b == expect);
        // A companion of the companion is the data set's own main file again.
        const std::string main_ext = std::string(c.main).substr(vxs_path_stem(c.main).size());
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

// One row per way a reader takes its bytes: a sample, its companions' extensions, read by path, by source.
const struct { const char* sample; std::vector<const char*> companions;
               int16_t (*by_path)(const char*); int16_t (*by_source)(VxsSource&); } kReaders[] = {
    {"shape/deleted_record.shp", {".shx", ".dbf"}, read_gis_shape_file, read_gis_shape_source},
    {"mif/hand_objects.mif", {".mid"}, read_mapinfo_file, read_mapinfo_source},
    {"gauss/trial89.dht", {".dat"}, read_gauss_into_sheet, read_gauss_source},
    {"gauss/matrix_v96_be.fmt", {}, read_gauss_into_sheet, read_gauss_source},
    {"mstat/trial.hdr", {".dat"}, read_mstat_into_sheet, read_mstat_source},
    {"spss/types_comp_be.sav", {}, read_spss_into_sheet, read_spss_source},
    {"epi/types.rec", {}, read_epi_into_sheet, read_epi_source},
    {"weka/r_write_arff.arff", {}, read_weka_into_sheet, read_weka_source},
    {"stata/s110_be.dta", {}, read_stata_into_sheet, read_stata_source},
    {"readstat/readstat.sas7bdat", {}, [](const char* p) { return read_readstat_into_sheet(p, ReadstatKind::Sas7bdat); },
     [](VxsSource& s) { return read_readstat_source(s, ReadstatKind::Sas7bdat); }}};

// The status, printed text and whole sheet of one read, as text to compare.
std::string outcome(const std::function<int16_t()>& read) {
    fresh_run();
    testing::internal::CaptureStdout();
    int16_t status = read();
    std::ostringstream out;
    out << "status " << status << "\nprinted " << testing::internal::GetCapturedStdout() << "\n";
    if (Sheet* s = status ? lastsheet : nullptr) {
        out << "rows " << s->row_count << " columns " << s->column_count << "\n";
        for (const auto& c : s->cols) {
            out << c->type << " " << c->name << " w" << c->width << ":";
            for (double v : c->num) out << " " << v;
            for (size_t i = 0; c->is_text() && i < c->text.size(); ++i) out << " '" << c->text.get(i) << "'";
            for (const auto& l : c->labels) out << " L" << l;
            out << "\n";
        }
    }
    return out.str();
}

TEST(SourceReaders, MemoryDataSetReadsAsItsFilesWithAndWithoutCompanions) {
    for (const auto& c : kReaders) {
        for (bool with_companions : {true, false}) {
            if (!with_companions && c.companions.empty()) continue;
            SCOPED_TRACE(std::string(c.sample) + (with_companions ? "" : " alone"));
            ScratchDir dir;
            const std::string sample = data_path(c.sample), main_bytes = read_file(sample);
            const std::string main_name = dir.file("set" + sample.substr(vxs_path_stem(sample).size()));
            write_file(main_name, main_bytes);
            std::vector<std::string> bytes;  // kept alive for the memory parts
            std::vector<VxsPart> parts;
            for (const char* e : with_companions ? c.companions : std::vector<const char*>{})
                write_file(dir.file(std::string("set") + e), bytes.emplace_back(read_file(vxs_path_stem(sample) + e)));
            for (size_t i = 0; i < bytes.size(); ++i) parts.push_back({c.companions[i], bytes[i]});
            std::string from_file = outcome([&] { return c.by_path(main_name.c_str()); });
            VxsSource src = VxsSource::memory(main_bytes, main_name, parts);
            EXPECT_EQ(outcome([&] { return c.by_source(src); }), from_file);
            EXPECT_TRUE(!with_companions || from_file.find("status 1") != std::string::npos) << from_file;
        }
    }
}

TEST(SourceReaders, CompanionMissingMessagesNameTheFileLookedFor) {
    for (auto [main, read, message] : {
             std::tuple{"dir/roads.shp", &read_gis_shape_source, "Shape dBASE table dir/roads.DBF was not found"},
             {"dir/roads.mif", read_mapinfo_source, "MapInfo Data record file dir/roads.MID was not found"},
             {nullptr, read_gis_shape_source, "Shape File  was not found"}}) {  // null: a source not open
        VxsSource src = main ? VxsSource::memory("", main) : VxsSource();
        std::string got = outcome([&] { return read(src); });
        EXPECT_NE(got.find(message), std::string::npos) << got;
    }
}

TEST(ByteWriter, FullDeviceIsReportedAtClose) {
    for (size_t n : {size_t{10}, size_t{3} << 20}) {  // still buffered; flushed and failed at once
        ByteWriter w;
        ASSERT_TRUE(w.open("/dev/full"));
        EXPECT_EQ((w.fill(n, 'x'), w.ok()), n < 100);
        w.u32(7);  // dropped after a failure
        EXPECT_TRUE(!w.close() && !w.ok());
    }
    // Every built writer returns 0 on a full device, so the driver reports one failure.
    for (const VxsFormat& f : vxs_formats()) {
        if (!f.write) continue;
        Sheet* s = new_run_with_sheet(3);
        create_column_with_memory(s, VXS_VARIATE, "x", 3)->num = {1, 2, 3};
        Column* t = create_column_with_memory(s, VXS_TEXT, "name", 3);
        t->text.set(0, "a"), t->text.set(1, "b"), t->text.set(2, "c");
        EXPECT_EQ(f.write(s, "/dev/full") & 0xffff, 0) << f.name;
        vxs_release_sheets();
    }
}

// Later patches use the writer's byte order; bytes already handed to the file cannot be patched.
TEST(ByteWriter, MemoryOutputAndPatchesOfEarlierBytes) {
    ByteWriter m(Endian::Big);
    m.to_memory(), m.u32(0), m.bytes("body");
    EXPECT_TRUE(m.patch_u32(0, 4) && m.patch_u16(4, 0x4142));
    EXPECT_FALSE(m.patch_u32(6, 1) || m.patch_u16(9, 1));  // would run past the end
    EXPECT_EQ(m.buffered(), std::string_view("\0\0\0\x04" "ABdy", 8));
    m.fill(3u << 20, 'x');  // memory never fails and outgrows the file chunk size
    EXPECT_TRUE(m.ok() && m.written() == 8u + (3u << 20) && m.take().size() == 8u + (3u << 20));

    ScratchDir dir;
    ByteWriter f;
    ASSERT_TRUE(f.open(dir.file("p").c_str()));
    EXPECT_TRUE((f.u16(0), f.patch_u16(0, 0x0102)));  // still buffered
    f.fill(2u << 20, 'y');                              // flushed to the file
    EXPECT_TRUE(!f.patch_u16(0, 0) && f.close());
    EXPECT_EQ(read_file(dir.file("p")).substr(0, 3), std::string("\x02\x01y"));
}

}  // namespace
