// The buffered writer: a failed device reported once at close(), and patches of earlier bytes.
#include "sheet/byte_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "driver/vxs_formats.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

TEST(ByteWriter, FullDeviceIsReportedAtClose) {
    for (size_t n : {size_t{10}, size_t{3} << 20}) {  // still buffered; flushed and failed at once
        ByteWriter w;
        ASSERT_TRUE(w.open("/dev/full"));
        w.fill(n, 'x');
        EXPECT_EQ(w.ok(), n < 100);
        w.u32(7);  // dropped after a failure
        EXPECT_FALSE(w.close());
        EXPECT_FALSE(w.ok());
    }
    // Every built writer returns 0 on a full device, so the driver reports one failure.
    for (const VxsFormat& f : vxs_formats()) {
        if (!f.write) continue;
        Sheet* s = new_run_with_sheet(3);
        create_column_with_memory(s, VXS_VARIATE, "x", 3)->num = {1, 2, 3};
        Column* t = create_column_with_memory(s, VXS_TEXT, "name", 3);
        for (size_t i = 0; i < 3; ++i) t->text.set(i, std::string(1, char('a' + i)));
        EXPECT_EQ(f.write(s, "/dev/full") & 0xffff, 0) << f.name;
        vxs_release_sheets();
    }
}

// Later patches use the writer's byte order; bytes already handed to the file cannot be patched.
TEST(ByteWriter, MemoryOutputAndPatchesOfEarlierBytes) {
    ByteWriter m(Endian::Big);
    m.to_memory();
    m.u32(0);
    m.bytes("body");
    EXPECT_TRUE(m.patch_u32(0, 4) && m.patch_u16(4, 0x4142));
    EXPECT_FALSE(m.patch_u32(6, 1) || m.patch_u16(9, 1));  // would run past the end
    EXPECT_EQ(m.buffered(), std::string_view("\0\0\0\x04" "ABdy", 8));
    m.fill(3u << 20, 'x');  // memory never fails and outgrows the file chunk size
    EXPECT_TRUE(m.ok() && m.written() == 8u + (3u << 20) && m.take().size() == 8u + (3u << 20));

    ScratchDir dir;
    ByteWriter f;
    ASSERT_TRUE(f.open(dir.file("p").c_str()));
    f.u16(0);
    EXPECT_TRUE(f.patch_u16(0, 0x0102));  // still buffered
    f.fill(2u << 20, 'y');                // flushed to the file
    EXPECT_FALSE(f.patch_u16(0, 0));
    EXPECT_TRUE(f.close());
    EXPECT_EQ(read_file(dir.file("p")).substr(0, 3), std::string("\x02\x01y"));
}

}  // namespace
