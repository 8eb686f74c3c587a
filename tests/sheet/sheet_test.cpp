// The sheet model: column limits, row numbering, text caps, missing values, memory limits.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>
#include <functional>

#include "sheet/byte_reader.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

struct SheetModel : ::testing::Test {
    void SetUp() override {
        vxs_init();
        VXSMAXCOLUMNS = 250;
    }
};

TEST_F(SheetModel, ColumnLimitDependsOnTheOutputTypeAndExcludesRow) {
    for (int32_t limit : {250, 511, 255, 224, 2048}) {
        VXSMAXCOLUMNS = limit;
        Sheet* s = create_sheet();
        s->row_count = 3;
        ASSERT_EQ(create_row_attr(s), 1);
        int made = 0;
        while (create_column_with_memory(s, VXS_VARIATE, "x", 3)) ++made;
        EXPECT_EQ(made, limit);
        EXPECT_EQ(s->column_count, limit);
        EXPECT_EQ(static_cast<int32_t>(s->cols.size()), limit + 1);
        EXPECT_EQ(s->cols.back()->position, limit);
    }
}

TEST_F(SheetModel, RowColumnWidthFollowsTheRowCount) {
    for (auto [rows, width] : {std::pair{1000, 4}, {1001, 5}, {10000, 5}, {10001, 6}}) {
        Sheet* s = create_sheet();
        s->row_count = rows;
        ASSERT_EQ(create_row_attr(s), 1);
        EXPECT_EQ(s->row_column()->width, width) << rows;
        EXPECT_EQ(s->row_column()->num.front(), 1.0);
        EXPECT_EQ(s->row_column()->num.back(), static_cast<double>(rows));
        EXPECT_EQ(s->rows.size(), static_cast<size_t>(rows));
        EXPECT_EQ(s->rows[0].empty, 1);
        EXPECT_EQ(s->rows[0].row_value, 6);
    }
}

TEST_F(SheetModel, TextCellsAreCappedAtNinetyCharacters) {
    Sheet* s = create_sheet();
    s->row_count = 2;
    create_row_attr(s);
    Column* t = create_column_with_memory(s, VXS_TEXT, "Comment", 2);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->text_capacity, 90);
    EXPECT_EQ(t->representation, VXS_REP_TEXT);
    EXPECT_EQ(t->width, 9);
    t->text.set(0, std::string(91, 'x'));
    t->text.set(1, "short");
    EXPECT_EQ(t->text.get(0).size(), 90u);
    EXPECT_EQ(t->text.get(1), "short");
    t->text.set(1, "changed");
    EXPECT_EQ(t->text.get(1), "changed");
    EXPECT_EQ(t->value_count(), 2u);
}

TEST_F(SheetModel, NumericAndFactorColumnsStartMissing) {
    Sheet* s = create_sheet();
    s->missing = vxs_missing;
    s->row_count = 4;
    create_row_attr(s);
    Column* f = create_column_with_memory(s, VXS_FACTOR, "Block", 4);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->nlevels, 2);
    EXPECT_EQ(f->levels_present(), 0);
    EXPECT_EQ(f->width, 6);
    for (double v : f->num) EXPECT_FALSE(v > s->missing);
    EXPECT_FALSE(-1.0e307 > s->missing);
    EXPECT_TRUE(-1.0e306 > s->missing);
}

TEST(ByteReader, ReadsBothOrdersAndFailsPastTheEnd) {
    const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF8, 0x3F};
    ByteReader le(bytes, sizeof bytes);
    EXPECT_EQ(le.u16(), 0x0201);
    EXPECT_EQ(le.u16(), 0x0403);
    EXPECT_EQ(le.f64(), 1.5);
    EXPECT_TRUE(le.ok());
    EXPECT_EQ(le.u32(), 0u);
    EXPECT_FALSE(le.ok());
    EXPECT_EQ(le.fail_offset(), 12u);

    ByteReader be(bytes, sizeof bytes, Endian::Big);
    EXPECT_EQ(be.u32(), 0x01020304u);
    ByteReader rec = be.sub(4);
    EXPECT_EQ(rec.size(), 4u);
    EXPECT_EQ(be.pos(), 8u);
    ByteReader bad = be.sub(100);
    EXPECT_FALSE(bad.ok());
    EXPECT_FALSE(be.ok());
    EXPECT_EQ(be.slice(10, 4).ok(), false);
    EXPECT_EQ(be.u16_at(10), 0xF83F);
    EXPECT_EQ(be.u32_at(10), 0u);  // out of range reads as zero
}

}  // namespace

namespace {

int fatal_status(const std::function<void()>& f) {
    try {
        f();
    } catch (const VxsFatal& fatal) {
        return fatal.status;
    }
    return -1;
}

TEST(Memory, RequestAboveTheLimitEndsWithSeven) {
    int status = 0;
    EXPECT_EQ(stdout_of([&] { status = fatal_status([] { mymalloc(VXS_MAX_ALLOC + 1); }); }),
              "Error: Data too large for this version of Morvalen!\n");
    EXPECT_EQ(status, 7);
    EXPECT_EQ(stdout_of([&] { status = fatal_status([] { myrealloc(nullptr, VXS_MAX_ALLOC + 1); }); }),
              "Error: Data too large for DOS version!\n");
    EXPECT_EQ(status, 7);
    void* small = mymalloc(16);
    EXPECT_EQ(static_cast<unsigned char*>(small)[15], 0);  // zero-filled
    std::free(small);
}

// Sanitizer runtimes reserve far more address space than the limit allows.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// In a child process: the address-space limit must not reach the test runner.
TEST(MemoryDeathTest, ExhaustionEndsWithEight) {
    auto exhaust = [] {
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = 64u << 20;
        setrlimit(RLIMIT_AS, &limit);
        std::exit(fatal_status([] { mymalloc(VXS_MAX_ALLOC); }));
    };
    EXPECT_EXIT(exhaust(), ::testing::ExitedWithCode(8), "");
}
#endif

}  // namespace
