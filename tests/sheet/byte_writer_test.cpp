// The buffered writer: a failed device reported once by close(), and by every writer built on it.
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
