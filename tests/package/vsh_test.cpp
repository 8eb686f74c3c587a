// The package spreadsheet file writer: golden bytes of all three versions, a field-by-field
// walk that must end exactly at the end of the file, and the edge cases of the layout.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/vxs_formats.h"
#include "driver/vxs_options.h"
#include "package/vxs_package.h"
#include "sheet/vxs_access.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

// An independent reader of the layout: walks every field and reports where it stopped.
class VshWalker {
public:
    explicit VshWalker(std::string bytes) : b_(std::move(bytes)) {}

    bool walk() {
        int32_t magic = i32();
        version_ = magic == VXS_MAGIC_V1 ? 1 : magic == VXS_MAGIC_V2 ? 2 : magic == VXS_MAGIC_V3 ? 3 : 0;
        if (!version_) return false;
        kind_ = i32();
        int32_t ncols = i32();
        rows_ = i32();
        f64();
        int32_t content = 0;
        if (version_ >= 2) i32();
        if (version_ >= 3) {
            i32();
            content = i32();
            i32();
            skip(i32());
        }
        if (kind_ == 2 || kind_ == 3) {
            str();
            i32();
        } else if (kind_ == 5) {
            dims_ = i32();
            if (version_ >= 3) {
                margins_ = i32();
                if (dims_ >= 2) i32();
            }
            if (version_ < 3 || dims_ >= 2) {
                str();
                form_ = i32();
                str();
            }
        }
        for (int32_t c = 0; c < ncols && ok_; ++c) column();
        if (version_ >= 3 && (content & VXS_HAS_DESCRIPTION)) {
            if (i32() > 0) {
                int32_t lines = i32();
                for (int32_t k = 0; k < lines; ++k) descriptions.push_back(str());
            }
        }
        if (version_ >= 3 && (content & VXS_HAS_MINMAX)) {
            int32_t n = i32();
            for (int32_t k = 0; k < n; ++k) {
                i32();
                f64();
                f64();
            }
        }
        return ok_ && pos_ == b_.size();
    }

    std::vector<std::string> names, descriptions;
    std::vector<int32_t> types, widths, reps;
    std::vector<double> first_values;
    std::vector<std::string> labels;
    size_t pos_ = 0;

private:
    void column() {
        int32_t type = i32();
        int32_t count = i32();
        types.push_back(type);
        if (type == 21) {
            for (int32_t r = 0; r < count; ++r) i32();
            return;
        }
        names.push_back(str());
        if (version_ >= 3) str();
        reps.push_back(i32());
        widths.push_back(i32());
        if (version_ >= 2) i32();
        if (version_ >= 3) {
            i32();
            i32();
            i32();
        }
        if (type == 3 || type == -3) {
            i32();
            for (int32_t r = 0; r < count; ++r) str();
            return;
        }
        if (type == 2) {
            int32_t levels = i32(), vp = i32(), bp = i32();
            if (version_ >= 2) i32();
            if (vp > 0) i32();
            if (bp > 0) i32();
            for (int32_t k = 0; k < vp; ++k) f64();
            for (int32_t k = 0; k < bp; ++k) labels.push_back(str());
            (void)levels;
        } else {
            if (type == 8 && kind_ == 5 && dims_ >= 2 && form_ == 3) f64();
            i32();
        }
        for (int32_t r = 0; r < count; ++r) {
            double v = f64();
            if (r == 0) first_values.push_back(v);
        }
    }
    bool need(size_t n) {
        if (!ok_ || b_.size() - pos_ < n) ok_ = false;
        return ok_;
    }
    int32_t i32() {
        int32_t v = 0;
        if (need(4)) std::memcpy(&v, b_.data() + pos_, 4), pos_ += 4;
        return v;
    }
    double f64() {
        double v = 0;
        if (need(8)) std::memcpy(&v, b_.data() + pos_, 8), pos_ += 8;
        return v;
    }
    std::string str() {
        int32_t n = i32();
        if (n < 0 || !need(static_cast<size_t>(n))) return {};
        std::string s = b_.substr(pos_, static_cast<size_t>(n));
        pos_ += static_cast<size_t>(n);
        return s;
    }
    void skip(int32_t n) {
        if (n > 0 && need(static_cast<size_t>(n))) pos_ += static_cast<size_t>(n);
    }
    std::string b_;
    bool ok_ = true;
    int version_ = 0, kind_ = 0, dims_ = 0, margins_ = 0, form_ = 0;
    int32_t rows_ = 0;
};

TEST(VshGolden, AllThreeVersionsOfTheKindsSample) {
    ScratchDir dir;
    write_file(dir.file("kinds.csv"), read_file(data_path("csv/kinds.csv")));
    for (int v = 1; v <= 3; ++v) {
        std::string out = "k" + std::to_string(v) + ".vsh";
        RunResult r = run_morvalen(dir.path(), {"kinds.csv", out + "/v=" + std::to_string(v)});
        ASSERT_EQ(r.status, 0) << r.out;
        std::string got = read_file(dir.file(out));
        EXPECT_EQ(got, read_file(data_path("csv/kinds_v" + std::to_string(v) + ".vsh"))) << "version " << v;
        VshWalker w(got);
        EXPECT_TRUE(w.walk()) << "stopped at " << w.pos_;
        EXPECT_EQ(w.names, (std::vector<std::string>{"Site", "Plot", "Treatment", "Dose", "Score", "Comment"}));
    }
}

TEST(VshGolden, BundledSampleWalksToTheEnd) {
    ScratchDir dir;
    write_file(dir.file("f.csv"), read_file(std::string(MORVALEN_SOURCE) + "/examples/field_trial.csv"));
    ASSERT_EQ(run_morvalen(dir.path(), {"f.csv", "f.vsh"}).status, 0);
    VshWalker w(read_file(dir.file("f.vsh")));
    EXPECT_TRUE(w.walk());
    EXPECT_EQ(w.types, (std::vector<int32_t>{4, 2, 2, 3, 4, 4, 3}));
    EXPECT_EQ(w.labels, (std::vector<std::string>{"Avalon", "Brigadier", "Cadenza"}));
}

// Hand-built sheets for the layout's edge cases.
class VshWriter : public ::testing::Test {
protected:
    void SetUp() override {
        vxs_init();
        vxs_reset_options();
        sheet_ = create_sheet();
        sheet_->missing = vxs_missing;
        sheet_->row_count = 3;
        create_row_attr(sheet_);
    }
    Column* variate(const char* name, std::vector<double> values) {
        Column* c = create_column_with_memory(sheet_, VXS_VARIATE, name, 3);
        c->num = std::move(values);
        return c;
    }
    std::string save() {
        std::string path = dir_.file("out.vsh");
        std::remove(path.c_str());
        result_ = save_sheet(sheet_, path.c_str());
        return file_exists(path) ? read_file(path) : std::string("<none>");
    }
    Sheet* sheet_ = nullptr;
    ScratchDir dir_;
    int result_ = -1;
};

TEST_F(VshWriter, WidthsClampedPerVersionAndDatesShownPlainBeforeVersionThree) {
    Column* c = variate("w", {1, 2, 3});
    c->width = 75;
    c->representation = VXS_REP_DATE;
    Column* d = variate("wide", {1, 2, 3});
    d->width = 150;
    Column* e = variate("narrow", {1, 2, 3});
    e->width = 0;
    int expect_width[4] = {0, 40, 60, 75};
    for (int v = 1; v <= 3; ++v) {
        vxs_version = v;
        VshWalker w(save());
        ASSERT_TRUE(w.walk());
        EXPECT_EQ(w.widths[0], expect_width[v]);
        EXPECT_EQ(w.reps[0], v == 3 ? 5 : 1);
        EXPECT_EQ(w.widths[1], v == 1 ? 40 : v == 2 ? 60 : 90);
        EXPECT_EQ(w.widths[2], 2);
    }
    EXPECT_EQ(c->representation, VXS_REP_DATE);  // the column keeps its own value
    EXPECT_EQ(d->width, 90);
}

TEST_F(VshWriter, MissingValuesAreMappedExactly) {
    double low56;
    uint64_t bits;
    std::memcpy(&bits, &vxs_missing, 8);
    bits ^= uint64_t{0x01} << 56;  // differs only in the sign and high exponent byte
    std::memcpy(&low56, &bits, 8);
    EXPECT_EQ(vxs_is_missing(-1e308), 1);
    EXPECT_EQ(vxs_is_missing(low56), low56 < -1e36 ? 1 : 0);
    EXPECT_EQ(vxs_is_missing(-1e35), 0);
    EXPECT_EQ(vxs_is_missing(-1e306), 0);
    variate("v", {-1e308, -1e35, 5});
    variate("keep", {1, 2, 3});  // keeps the first row from being dropped as empty
    VshWalker w(save());
    ASSERT_TRUE(w.walk());
    EXPECT_EQ(w.first_values[0], -1e307);
}

TEST_F(VshWriter, FactorCellOfZeroIsMissingAndTableMarginsAddALevel) {
    Column* f = create_column_with_memory(sheet_, VXS_FACTOR, "f", 3);
    f->num = {0, 2, 3};
    f->nlevels = 3;
    f->levels = {10, 20, 30};
    f->labels = {"lo", "mid", "hi"};
    f->origin = 2;
    Column* b = create_column_with_memory(sheet_, VXS_TABLE_BODY, "body", 3);
    b->num = {1, 2, 3};
    sheet_->kind = VXS_TABLE;
    sheet_->table_dims = 1;
    sheet_->margins = 1;
    std::string bytes = save();
    VshWalker w(bytes);
    ASSERT_TRUE(w.walk());
    EXPECT_EQ(w.first_values[0], -1e307);
    EXPECT_EQ(w.labels, (std::vector<std::string>{"lo", "mid", "hi", "Margin"}));
    // Factor block: 4 levels, 4 values, 4 labels; the extra value is 4.0.
    size_t at = bytes.find(std::string("\x01\0\0\0" "f", 5));
    ASSERT_NE(at, std::string::npos);
    int32_t counts[3];
    std::memcpy(counts, bytes.data() + at + 5 + 4 * 4 + 4 * 3, 12);  // name, extra..reserved
    EXPECT_EQ(counts[0], 4);
    EXPECT_EQ(counts[1], 4);
    EXPECT_EQ(counts[2], 4);
    EXPECT_NE(bytes.find(std::string("\0\0\0\0\0\0\x10\x40", 8)), std::string::npos);  // 4.0
}

TEST_F(VshWriter, OneWayTableHasANamePartOnlyBeforeVersionThree) {
    Column* b = create_column_with_memory(sheet_, VXS_TABLE_BODY, "body", 3);
    b->num = {1, 2, 3};
    sheet_->kind = VXS_TABLE;
    sheet_->table_dims = 1;
    sheet_->structure_name = "T";
    sheet_->second_structure_name = "U";
    vxs_version = 3;
    std::string v3 = save();
    vxs_version = 2;
    std::string v2 = save();
    EXPECT_TRUE(VshWalker(v3).walk());
    EXPECT_TRUE(VshWalker(v2).walk());
    EXPECT_EQ(v3.find(std::string("\x01\0\0\0T", 5)), std::string::npos);
    EXPECT_NE(v2.find(std::string("\x01\0\0\0T", 5)), std::string::npos);
}

TEST_F(VshWriter, RestrictionColumnIsOneMoreRecord) {
    variate("v", {1, 2, 3});
    sheet_->restriction_present = 1;
    sheet_->rows[1].restricted = 1;
    std::string bytes = save();
    VshWalker w(bytes);
    ASSERT_TRUE(w.walk());
    EXPECT_EQ(w.types, (std::vector<int32_t>{4, 21}));
    EXPECT_EQ(bytes.substr(bytes.size() - 20),
              std::string("\x15\0\0\0\x03\0\0\0\0\0\0\0\x01\0\0\0\0\0\0\0", 20));
}

TEST_F(VshWriter, DescriptionAndMinimumMaximumTrailer) {
    Column* v = variate("v", {1, 2, 3});
    v->minimum = 1;
    v->maximum = 3;
    create_column_with_memory(sheet_, VXS_TEXT, "t", 3)->text.set(0, "x");
    vxs_add_line_to_description(sheet_, "first line");
    vxs_add_line_to_description(sheet_, "second");
    std::string bytes = save();
    VshWalker w(bytes);
    ASSERT_TRUE(w.walk()) << w.pos_;
    EXPECT_EQ(w.descriptions, (std::vector<std::string>{"first line", "second"}));
    int32_t flags;
    std::memcpy(&flags, bytes.data() + 32, 4);
    EXPECT_EQ(flags, VXS_HAS_DESCRIPTION | VXS_HAS_MINMAX);
    // count 1, column 1, minimum 1.0, maximum 3.0
    std::string tail = bytes.substr(bytes.size() - 24);
    int32_t count, number;
    double lo, hi;
    std::memcpy(&count, tail.data(), 4);
    std::memcpy(&number, tail.data() + 4, 4);
    std::memcpy(&lo, tail.data() + 8, 8);
    std::memcpy(&hi, tail.data() + 16, 8);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(number, 1);
    EXPECT_EQ(lo, 1.0);
    EXPECT_EQ(hi, 3.0);
}

TEST_F(VshWriter, EmptySheetsAndNamesWriteNothingUseful) {
    variate("v", {vxs_missing, vxs_missing, vxs_missing});
    EXPECT_EQ(save(), "<none>");
    EXPECT_EQ(result_, 0);
    sheet_->cols[1]->num = {1, 2, 3};
    sheet_->kind = VXS_MATRIX;  // a matrix needs a structure name
    sheet_->cols[1]->type = VXS_MATRIX_COL;
    std::string partial = save();
    EXPECT_EQ(result_, 0);
    EXPECT_NE(partial, "<none>");
}

TEST_F(VshWriter, EmptyRowsAndColumnsAreLeftOut) {
    variate("a", {1, vxs_missing, 3});
    variate("gone", {vxs_missing, vxs_missing, vxs_missing});
    Column* t = create_column_with_memory(sheet_, VXS_TEXT, "t", 3);
    t->text.set(0, "x");
    t->text.set(2, "");
    VshWalker w(save());
    ASSERT_TRUE(w.walk());
    EXPECT_EQ(w.names, (std::vector<std::string>{"a", "t"}));
}

}  // namespace
