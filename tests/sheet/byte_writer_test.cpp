// The buffered writer: a failed device reported once by close() and by every writer built on
// it, and output built in memory with later patches.
#include "sheet/byte_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "driver/vxs_formats.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

TEST(ByteWriter, FullDeviceIsReportedAtClose) {
    ByteWriter w;
    ASSERT_TRUE(w.open("/dev/full"));
    w.text("some bytes", 10);
    EXPECT_TRUE(w.ok());  // still buffered
    EXPECT_FALSE(w.close());
    EXPECT_FALSE(w.ok());
    // Large output fails at the first flush, and later writes are dropped.
    ByteWriter big;
    ASSERT_TRUE(big.open("/dev/full"));
    big.fill(3u << 20, 'x');
    EXPECT_FALSE(big.ok());
    big.u32(7);
    EXPECT_FALSE(big.close());
}

// Built in memory and patched: positions and lengths known only later are filled in, in the
// writer's byte order; bytes already handed to the file cannot be.
TEST(ByteWriter, MemoryOutputAndPatchesOfEarlierBytes) {
    ByteWriter m(Endian::Big);
    m.to_memory();
    EXPECT_TRUE(m.in_memory());
    m.u32(0);  // a length, filled in below
    m.bytes("body");
    EXPECT_TRUE(m.patch_u32(0, 4));
    EXPECT_TRUE(m.patch_u16(4, 0x4142));
    EXPECT_FALSE(m.patch_u32(6, 1));  // would run past the end
    EXPECT_FALSE(m.patch_u16(9, 1));
    EXPECT_EQ(m.buffered(), std::string_view("\0\0\0\x04"
                                             "ABdy",
                                             8));
    // Memory output never fails and outgrows the file chunk size.
    m.fill(3u << 20, 'x');
    EXPECT_TRUE(m.ok());
    EXPECT_EQ(m.written(), 8u + (3u << 20));
    std::string all = m.take();
    EXPECT_EQ(all.size(), 8u + (3u << 20));
    EXPECT_TRUE(m.buffered().empty());

    ScratchDir dir;
    ByteWriter f;
    ASSERT_TRUE(f.open(dir.file("p").c_str()));
    EXPECT_FALSE(f.in_memory());
    f.u16(0);
    EXPECT_TRUE(f.patch_u16(0, 0x0102));  // still buffered
    f.fill(2u << 20, 'y');                // flushed to the file
    EXPECT_FALSE(f.patch_u16(0, 0));
    EXPECT_TRUE(f.close());
    EXPECT_EQ(read_file(dir.file("p")).substr(0, 3), std::string("\x02\x01y"));
}

// Every built writer returns 0 on a full device, so the driver reports one failure.
TEST(ByteWriter, EveryWriterReportsAFullDevice) {
    for (const VxsFormat& f : vxs_formats()) {
        if (!f.write) continue;
        Sheet* s = new_run_with_sheet(3);
        Column* c = create_column_with_memory(s, VXS_VARIATE, "x", 3);
        c->num = {1, 2, 3};
        Column* t = create_column_with_memory(s, VXS_TEXT, "name", 3);
        for (size_t i = 0; i < 3; ++i) t->text.set(i, std::string(1, char('a' + i)));
        EXPECT_EQ(f.write(s, "/dev/full") & 0xffff, 0) << f.name;
        vxs_release_sheets();
    }
}

}  // namespace
