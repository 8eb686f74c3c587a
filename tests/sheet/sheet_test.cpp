// The sheet model: column limits, row numbering, text caps, missing values, memory limits.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>
#include <functional>

#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

TEST(SheetModel, ColumnLimitRowWidthTextCapAndMissingStart) {
    for (int32_t limit : {250, 511, 255, 224, 2048}) {  // per output type; "Row" not counted
        Sheet* s = new_run_with_sheet(3);
        VXSMAXCOLUMNS = limit;
        int made = 0;
        while (create_column_with_memory(s, VXS_VARIATE, "x", 3)) ++made;
        EXPECT_TRUE(made == limit && s->column_count == limit && s->cols.back()->position == limit) << limit;
    }
    VXSMAXCOLUMNS = 250;
    for (auto [rows, width] : {std::pair{1000, 4}, {1001, 5}, {10000, 5}, {10001, 6}}) {
        Sheet* s = new_run_with_sheet(rows);
        EXPECT_EQ(s->row_column()->width, width) << rows;
        EXPECT_EQ(s->row_column()->num.back(), static_cast<double>(rows));
    }
    Sheet* s = new_run_with_sheet(2);
    Column* t = create_column_with_memory(s, VXS_TEXT, "Comment", 2);
    EXPECT_EQ(t->text_capacity, 90);
    t->text.set(0, std::string(91, 'x'));
    t->text.set(1, "short");
    EXPECT_TRUE(t->text.get(0) == std::string(90, 'x') && t->text.get(1) == "short");
    Column* f = create_column_with_memory(s, VXS_FACTOR, "Block", 2);
    EXPECT_TRUE(f->nlevels == 2 && f->levels_present() == 0);
    for (double v : f->num) EXPECT_FALSE(v > s->missing);
    EXPECT_TRUE(!(-1.0e307 > s->missing) && -1.0e306 > s->missing);
}

// Two regions filled out of row order; texts that overflow a region land after close().
TEST(SheetModel, TextRegionsKeepEveryTextWhateverTheirSizes) {
    TextCells t;
    t.resize(5);
    t.set(0, "before");
    std::vector<TextCells::Region> parts{t.region(4), t.region(3)};
    parts[1].set(4, "xyz");
    parts[0].set(1, "ab");
    parts[0].set(2, "overflow");
    parts[1].set(3, std::string(95, 'q'));
    t.close(parts);
    EXPECT_TRUE(parts.empty());
    const std::vector<std::string> want{"before", "ab", "overflow", std::string(90, 'q'), "xyz"};
    for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(t.get(i), want[i]) << i;
}

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
