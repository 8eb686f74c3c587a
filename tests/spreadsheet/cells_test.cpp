// The cell store made into a sheet: the automatic factor rule at its threshold.
#include <gtest/gtest.h>

#include <string>

#include "sheet/vxs_sheet.h"
#include "spreadsheet/vxs_cells.h"
#include "test_util.h"

namespace {

// A column stays numeric while twice its texts do not exceed its values.
TEST(CellStore, AutomaticFactorAtHalfTheValuesText) {
    const struct { int numbers, texts; bool factor; } cases[] = {
        {3, 1, false}, {2, 2, false}, {1, 3, true},  // four values
        {4, 2, false}, {3, 3, false}, {2, 4, true},  // six values
        {3, 2, false}, {2, 3, true},                 // five values: just above half
        {1, 1, false}, {0, 2, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.texts) + " texts of " + std::to_string(c.numbers + c.texts));
        fresh_run();
        VxsCellStore store;
        const int n = c.numbers + c.texts;
        ASSERT_TRUE(store.create(0, n, 0, 1));
        store.put_text(0, 0, "Mixed"), store.put_text(0, 1, "Plain");
        for (int r = 1; r <= n; ++r) {
            if (r <= c.texts) store.put_text(r, 0, r % 2 ? "high" : "low");
            else store.put_number(r, 0, r);
            store.put_number(r, 1, r);
        }
        VxsSelection sel;
        sel.auto_factor = 1;
        int made{};
        stdout_of([&] { made = vxs_create_sheet_from_store(&sel, "in.xls", "Sheet1", store, 5); });
        ASSERT_EQ(made, 1);
        ASSERT_EQ(lastsheet->column_count, 2);
        EXPECT_EQ(lastsheet->row_count, n);
        EXPECT_EQ(lastsheet->cols[1]->type, c.factor ? VXS_FACTOR : VXS_VARIATE);
        EXPECT_EQ(lastsheet->cols[2]->type, VXS_VARIATE);  // numbers only
    }
}

}  // namespace
