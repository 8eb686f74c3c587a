// Package spreadsheets: golden bytes, a full field walk, layout edges, both byte orders, round trips,
// cut and lying files. Command files: golden text, buffer, strings, numbers, factors, options.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <tuple>

#include "driver/vxs_options.h"
#include "driver/vxs_formats.h"
#include "package/vxr_read.h"
#include "package/vxs_package.h"
#include "sheet/vxs_format_entries.h"
#include "sheet/vxs_access.h"
#include "sheet/vxs_options.h"
#include "sheet/vxs_sheet.h"
#include "test_util.h"

namespace {

using Ints = std::vector<int32_t>;
using Nums = std::vector<double>;
using Texts = std::vector<std::string>;

// An independent reader of the layout; ok only when the last field ends at the last byte.
struct VshWalk {
    explicit VshWalk(std::string bytes) : b(std::move(bytes)) { ok = walk() && ok && pos == b.size(); }
    std::string b;
    size_t pos = 0;
    bool ok = true;
    int version = 0, kind = 0, dims = 0, form = 0;
    int32_t content = 0;
    std::vector<std::string> names, labels, descriptions;
    std::vector<int32_t> types, widths, reps, factor_counts, restricted;
    std::vector<double> first_values, levels, minmax;

    bool walk() {
        const int32_t magic = i32();
        version = magic == VXS_MAGIC_V1 ? 1 : magic == VXS_MAGIC_V2 ? 2 : magic == VXS_MAGIC_V3 ? 3 : 0;
        if (!version) return false;
        kind = i32();
        const int32_t ncols = i32();
        skip(version >= 2 ? 16 : 12);  // rows, missing value, a version 2 field
        if (version >= 3) skip(4), content = i32(), skip(4), skip(i32());
        if (kind == 2 || kind == 3) {
            str(), i32();  // a structure name and its size
        } else if (kind == 5) {  // tables: dimensions, margins, then the name part
            dims = i32();
            skip(version < 3 ? 0 : dims >= 2 ? 8 : 4);
            if (version < 3 || dims >= 2) str(), form = i32(), str();
        }
        for (int32_t c = 0; c < ncols && ok; ++c) column();
        if (version >= 3 && (content & VXS_HAS_DESCRIPTION) && i32() > 0)
            for (int32_t k = 0, lines = i32(); k < lines && ok; ++k) descriptions.push_back(str());
        if (version >= 3 && (content & VXS_HAS_MINMAX))
            for (int32_t k = 0, n = i32(); k < n && ok; ++k) minmax.insert(minmax.end(), {1.0 * i32(), f64(), f64()});
        return true;
    }
    void column() {
        const int32_t type = types.emplace_back(i32()), count = i32();
        for (int32_t r = 0; type == 21 && r < count && ok; ++r) restricted.push_back(i32());  // a flag per row
        if (type == 21) return;
        names.push_back(str());
        if (version >= 3) str();
        reps.push_back(i32()), widths.push_back(i32());
        skip(version == 3 ? 16 : version == 2 ? 4 : 0);
        if (type == 3 || type == -3) {
            for (int32_t r = (skip(4), 0); r < count && ok; ++r) str();
            return;
        }
        if (type == 2) {  // factor: counts of levels, level values and labels
            factor_counts = {i32(), i32(), i32()};
            skip((version >= 2 ? 4 : 0) + (factor_counts[1] > 0 ? 4 : 0) + (factor_counts[2] > 0 ? 4 : 0));
            for (int32_t k = 0; k < factor_counts[1] && ok; ++k) levels.push_back(f64());
            for (int32_t k = 0; k < factor_counts[2] && ok; ++k) labels.push_back(str());
        } else {
            if (type == 8 && kind == 5 && dims >= 2 && form == 3) f64();  // a table constant
            i32();
        }
        if (count > 0) first_values.push_back(f64());
        for (int32_t r = 1; r < count && ok; ++r) f64();
    }
    bool need(size_t n) { return ok = ok && b.size() - pos >= n; }
    template <class T> T get() {
        T v{};
        if (need(sizeof v)) std::memcpy(&v, b.data() + pos, sizeof v), pos += sizeof v;
        return v;
    }
    int32_t i32() { return get<int32_t>(); }
    double f64() { return get<double>(); }
    std::string str() {
        const size_t n = static_cast<size_t>(i32());  // a negative length turns huge and fails
        return need(n) ? (pos += n, b.substr(pos - n, n)) : std::string();
    }
    void skip(size_t n) { pos += need(n) ? n : 0; }
};

// The kinds sample against the bytes and text its generator built by hand, and the bundled sample.
TEST(VshGolden, AllThreeVersionsOfTheKindsSampleItsCommandFileAndTheBundledSample) {
    ScratchDir dir;
    copy_sample(dir, "csv/kinds.csv");
    ASSERT_EQ(run_morvalen(dir.path(), {"kinds.csv", "kinds.vxc"}).status, 0);
    EXPECT_EQ(read_file(dir.file("kinds.vxc")), read_file(data_path("csv/kinds_expected.vxc")));
    for (int v = 1; v <= 3; ++v) {
        const std::string n = std::to_string(v), out = "k" + n + ".vsh";
        ASSERT_EQ(run_morvalen(dir.path(), {"kinds.csv", out + "/v=" + n}).status, 0);
        VshWalk w(read_file(dir.file(out)));
        EXPECT_TRUE(w.ok && w.b == read_file(data_path("csv/kinds_v" + n + ".vsh"))) << "version " << n << " to " << w.pos;
    }
    write_file(dir.file("f.csv"), read_file(std::string(MORVALEN_SOURCE) + "/examples/barley_trial.csv"));
    ASSERT_EQ(run_morvalen(dir.path(), {"f.csv", "f.vsh"}).status, 0);
    VshWalk w(read_file(dir.file("f.vsh")));
    EXPECT_TRUE(w.ok && w.types == (Ints{4, 2, 2, 3, 4, 4, 3}) && w.labels == (Texts{"Avalon", "Brigadier", "Cadenza"}));
}

// Hand-built sheets for the layout's edge cases: the saved file walked, or the result 0 and no file.
struct VshWriter : ::testing::Test {
    Sheet* s = new_run_with_sheet(3);
    ScratchDir dir;
    Column* add(int32_t type, const char* name, std::vector<double> values) {
        Column* c = create_column_with_memory(s, type, name, 3);
        if (!values.empty()) c->num = std::move(values);
        return c;
    }
    VshWalk save(int version = 3, int want = 1) {
        const std::string path = dir.file(std::to_string(version) + ".vsh");
        EXPECT_EQ((vxs_parser_options().version = version, save_sheet(s, path.c_str())), want);
        VshWalk w(file_exists(path) ? read_file(path) : "");
        EXPECT_TRUE(want != 1 || w.ok) << "stopped at " << w.pos;
        return w;
    }
};

TEST_F(VshWriter, WidthsClampedPerVersionAndDatesShownPlainBeforeVersionThree) {
    Column *c = add(VXS_VARIATE, "w", {1, 2, 3}), *d = add(VXS_VARIATE, "wide", {1, 2, 3});
    c->width = 75, c->representation = VXS_REP_DATE, d->width = 150;
    add(VXS_VARIATE, "narrow", {1, 2, 3})->width = 0;
    for (auto [v, cap] : {std::pair{1, 40}, {2, 60}, {3, 90}}) {
        VshWalk w = save(v);
        EXPECT_TRUE(w.widths == (Ints{std::min(75, cap), cap, 2}) && w.reps[0] == (v == 3 ? 5 : 1)) << v;
    }
    EXPECT_TRUE(c->representation == VXS_REP_DATE && d->width == 90);  // the column keeps its own
}

TEST_F(VshWriter, MissingValuesAreMappedExactly) {
    // About -1.5e302: differs from the missing value in the top byte only.
    const double high_byte_changed = std::bit_cast<double>(std::bit_cast<uint64_t>(vxs_missing) ^ uint64_t{1} << 56);
    for (auto [value, missing] : {std::pair{-1e308, 1}, {high_byte_changed, 1}, {-1e35, 0}, {-1e306, 0}})
        EXPECT_EQ(vxs_is_missing(value), missing) << value;
    add(VXS_VARIATE, "v", {-1e308, -1e35, 5});
    add(VXS_VARIATE, "keep", {1, 2, 3});  // keeps the first row from being dropped as empty
    EXPECT_EQ(save().first_values[0], -1e307);
}

TEST_F(VshWriter, OneWayTablesMarginsAndFactorCellsOfZero) {
    Column* f = add(VXS_FACTOR, "f", {0, 2, 3});
    f->nlevels = 3, f->levels = {10, 20, 30}, f->labels = {"lo", "mid", "hi"}, f->origin = 2;
    add(VXS_TABLE_BODY, "body", {1, 2, 3});
    s->kind = VXS_TABLE, s->table_dims = 1, s->margins = 1, s->structure_name = "T", s->second_structure_name = "U";
    for (int v : {2, 3}) {
        VshWalk w = save(v);
        // Only before version 3 does a one-way table have a name part; a factor cell of 0 is missing.
        EXPECT_TRUE((w.b.find(std::string("\x01\0\0\0T", 5)) != std::string::npos) == (v == 2) &&
                    w.first_values[0] == -1e307);
        // The margin adds a level: 4 levels, level values and labels.
        EXPECT_TRUE(w.factor_counts == (Ints{4, 4, 4}) && w.levels == (Nums{10, 20, 30, 4}));
        EXPECT_EQ(w.labels, (Texts{"lo", "mid", "hi", "Margin"}));
    }
}

TEST_F(VshWriter, RestrictionDescriptionMinimumMaximumAndEmptyColumns) {
    Column* v = add(VXS_VARIATE, "v", {1, 2, 3});
    v->minimum = 1, v->maximum = 3;
    add(VXS_VARIATE, "gone", {vxs_missing, vxs_missing, vxs_missing});
    add(VXS_TEXT, "t", {})->text.set(0, "x");
    s->restriction_present = s->rows[1].restricted = 1;
    vxs_add_line_to_description(s, "first line"), vxs_add_line_to_description(s, "second");
    VshWalk w = save();
    EXPECT_EQ(w.names, (Texts{"v", "t"}));  // the empty column is left out
    EXPECT_TRUE(w.types == (Ints{4, 3, 21}) && w.restricted == (Ints{0, 1, 0}));
    EXPECT_TRUE(w.content == (VXS_HAS_DESCRIPTION | VXS_HAS_MINMAX) && w.descriptions == (Texts{"first line", "second"}));
    EXPECT_EQ(w.minmax, (Nums{1, 1, 3}));  // column 1 from 1 to 3
}

TEST_F(VshWriter, EmptySheetsAndNamelessMatricesWriteNothingUseful) {
    Column* v = add(VXS_VARIATE, "v", {vxs_missing, vxs_missing, vxs_missing});
    EXPECT_TRUE(save(3, 0).b.empty());
    v->num = {1, 2, 3}, v->type = VXS_MATRIX_COL, s->kind = VXS_MATRIX;  // a matrix needs a structure name
    EXPECT_FALSE(save(3, 0).b.empty());
}

Sheet* decode(const std::string& bytes, int32_t max_columns = 250) {
    new_run_with_sheet(1), lastsheet = nullptr, VXSMAXCOLUMNS = max_columns;
    ByteReader in(bytes);
    return vxs_decode_vsh(in) ? lastsheet : nullptr;
}

// Versions 1-3 in both byte orders give the CSV of the kinds sample's hand-made description.
TEST(VshRead, EachVersionInBothByteOrders) {
    for (int v = 1; v <= 3; ++v) {
        for (const std::string order : {"", "_be"}) {
            const std::string n = std::to_string(v), f = (order.empty() ? "csv/" : "vsh/") + ("kinds_v" + n) + order + ".vsh";
            ScratchDir dir;
            RunResult r = run_morvalen(dir.path(), {copy_sample(dir, f, "in.vsh"), "out.csv"});
            EXPECT_TRUE(r.status == 0 && read_file(dir.file("out.csv")) == read_file(data_path("csv/kinds_expected.csv")))
                << f << r.out;
            Sheet* s = decode(read_file(data_path("vsh/oneway_v" + n + order + ".vsh")));
            ASSERT_TRUE(s && s->kind == VXS_TABLE && s->table_dims == 1);
            EXPECT_EQ(s->structure_name, v < 3 ? "Counts" : "") << v << order;
        }
    }
    // A file that starts with the number 3 is a headerless symmetric matrix.
    Sheet* s = decode(read_file(data_path("vsh/symmetric_v0.vsh")));
    ASSERT_TRUE(s && s->kind == VXS_SYMMATRIX && s->structure_name == "S");
    EXPECT_EQ(s->cols[1]->num, (Nums{1, 2}));
}

// A sheet holding every kind of column, written in each version, walked and read back.
TEST_F(VshWriter, EveryColumnKindRoundTripsInEachVersion) {
    const double M = s->missing;
    Column* text = add(VXS_TEXT, "Notes", {});
    text->text.set(0, "first"), text->text.set(2, "a longer third text");
    Column* var = add(VXS_VARIATE, "Weight", {1.5, M, -2e-7});
    var->decimals = 2, var->representation = VXS_REP_FIXED, var->extra = "kilograms";
    Column* date = add(VXS_VARIATE, "Born", {45000, 45001.5, M});
    date->representation = VXS_REP_DATE, date->date_format = 24;
    add(VXS_FACTOR, "Block", {2, 1, 2})->nlevels = 2;
    Column* f1 = add(VXS_FACTOR, "Dose", {1, 2, M});
    f1->nlevels = 2, f1->origin = 1, f1->levels = {0.5, 10}, f1->decimals = 1;
    Column* f2 = add(VXS_FACTOR, "Colour", {3, 1, 2});
    f2->nlevels = 3, f2->origin = 2, f2->representation = VXS_REP_TEXT;
    f2->labels = {"red", "green", "a label of exactly forty characters long"};
    add(VXS_NUMERIC22, "Other", {7, 8, 9});
    s->rows[1].restricted = s->restriction_present = 1;
    s->defaults.omit_empty = vxs_get_global_defaults()->omit_empty = 0;
    for (int version = 1; version <= 3; ++version) {
        SCOPED_TRACE(version);
        save(version), lastsheet = nullptr;
        ASSERT_TRUE(read_file_into_sheet(dir.file(std::to_string(version) + ".vsh").c_str()));
        Sheet* r = lastsheet;
        ASSERT_TRUE(r != s && r->column_count == 7 && r->row_count == 3);
        for (size_t c = 1; c <= 7; ++c) {
            const Column *a = s->cols[c].get(), *b = r->cols[c].get();
            SCOPED_TRACE(a->name);
            EXPECT_TRUE(b->name == a->name && b->type == a->type && b->num == a->num && b->levels == a->levels);
            EXPECT_TRUE(b->labels == a->labels && b->origin == a->origin &&
                        (a->type == VXS_TEXT || b->decimals == a->decimals));
            ASSERT_EQ(b->text.size(), a->text.size());
            for (size_t k = 0; k < a->text.size(); ++k) EXPECT_EQ(b->text.str(k), a->text.str(k));
        }
        // Descriptions and dates keep their kind only where the version has words for them.
        EXPECT_TRUE(r->cols[2]->extra == (version == 3 ? "kilograms" : "") &&
                    (version < 3 || r->cols[3]->date_format == 24));
        EXPECT_EQ(r->cols[3]->representation, version == 3 ? VXS_REP_DATE : VXS_REP_GENERAL);
        EXPECT_TRUE(r->restricted_count == 1 && r->rows[1].restricted == 1);
    }
}

TEST(VshRead, ColumnLimitLongNamesCutAndLyingFiles) {
    std::string good = read_file(data_path("csv/kinds_v3.vsh"));
    Sheet* s = nullptr;
    EXPECT_EQ(stdout_of([&] { s = decode(read_file(data_path("csv/kinds_v1.vsh")), 4); }),
              "Warning Columns above 4 NOT transfered!\n");
    EXPECT_EQ(s ? s->column_count : 0, 4);
    // A 60-character name is read whole and its first 40 kept.
    s = decode(le_bytes(VXS_MAGIC_V1, 4) + le_bytes(1, 4) + le_bytes(1, 4) + le_bytes(1, 4) + le_f64(-1e307) +
               le_bytes(4, 4) + le_bytes(1, 4) + le_bytes(60, 4) + std::string(60, 'n') + le_bytes(1, 4) +
               le_bytes(0, 4) + le_bytes(0xFFFFFFFF, 4) + le_f64(12345.6));
    ASSERT_TRUE(s && s->cols[1]->name == std::string(40, 'n'));
    // Cuts and lying counts fail cleanly (sanitizers catch huge allocations and stray reads).
    for (size_t n = 0; n < good.size(); ++n) EXPECT_FALSE(decode(good.substr(0, n))) << n;
    ASSERT_TRUE(decode(good));
    // Columns, rows (twice), structure kind, further header bytes, first value count, first name length.
    for (auto [at, v] : {std::pair<size_t, uint32_t>{8, 0x7fffffff}, {12, 0x7fffffff}, {12, uint32_t(-1)}, {4, 7},
                         {40, 0x7ffffff0}, {48, 0x7fffffff}, {52, 0x7fffffff}})
        EXPECT_FALSE(decode(patched(good, at, le_bytes(v, 4)))) << at;
    // A sheet missing value that marks nothing as missing would let bad factor codes through.
    for (double missing : {std::nan(""), 1e308, 0.0, -1e300})
        EXPECT_FALSE(decode(patched(good, 16, le_f64(missing)))) << missing;
}

TEST(VxcConversion, TheOptionsThatChangeTheFile) {
    ScratchDir dir;
    write_file(dir.file("a.csv"), "x,y\n1,2\n");
    const struct { const char *in, *out, *ending, *absent; } cases[] = {
        {"a.csv/p=Ptr", "q.vxc/q", "DELETE [redefine=yes] Ptr\nPOINTER Ptr; !p(x,y)\n\nRETURN [CLOSE=yes]\n\n", "\nREAD x\n"},
        {"a.csv", "b.vxc/b", "ENDBREAK\n\n", "RETURN"},
        {"a.csv", "n.vxc/*", "RESTRICT x,y\n", "RETURN"}};
    for (const auto& c : cases) {
        ASSERT_EQ(run_morvalen(dir.path(), {c.in, c.out}).status, 0) << c.out;
        const std::string text = read_file(dir.file(std::string(c.out, 5)));
        EXPECT_TRUE(text.ends_with(c.ending) && text.find(c.absent) == std::string::npos) << text;
    }
    EXPECT_NE(read_file(dir.file("q.vxc")).find("\nREAD [print=*] x\n"), std::string::npos);
}

std::string written(Sheet* s, const std::string& name = "out.vxc") {
    ScratchDir dir;
    EXPECT_EQ(write_sheet(s, dir.file(name).c_str(), 0), 1);
    return read_file(dir.file(name));
}

TEST(VxcWriter, BufferStringsAndNumbers) {
    ScratchDir dir;
    ByteWriter out;
    const std::string a70(70, 'a');
    ASSERT_TRUE(out.open(dir.file("buf.txt").c_str()));
    const std::tuple<std::string, int, int> parts[] = {{"DIRECTIVE ", 1, 0}, {a70, 1, 0}, {"\n", 0, 0},
                                                       {a70, 0, 0},          {" " + a70, 0, 0}, {":\n", 0, 1}};
    for (const auto& [text, mode, flush] : parts) vxs_add_to_buf(text, mode, flush, &out);
    // A directive is continued after a backslash, data on a plain new line; ":" is never moved.
    EXPECT_TRUE(out.close() && read_file(dir.file("buf.txt")) == "DIRECTIVE \\\n" + a70 + "\n" + a70 + "\n " + a70 + ":\n");
    EXPECT_EQ(translate_out_str("it's \"q\" a\\b `c`", 90), "it''s \"\"q\"\" a\\\\b ``c``");
    EXPECT_TRUE(translate_out_str("tab\there\xe9", 90) == "tab here " &&
                translate_out_str("ab'cd", 3) == "ab''");  // cut, doubled
    EXPECT_EQ(write_out_number(1e308, vxs_missing, 0), "9.99999E+307");
}

// Inline in FACTOR up to 57 levels with values and labels, 88 labels only, 133 values only; above,
// through _levels_/_labels_. Same for a two-way table's class (form 1 values, 2 labels, 3 both).
TEST(VxcWriter, FactorLevelsInlineUpToTheLimitAndThroughStructuresAbove) {
    for (auto [form, limit] : {std::pair{3, 57}, {2, 88}, {1, 133}})
        for (bool table : {false, true})
            for (int32_t n : {limit - 1, limit, limit + 1}) {
                SCOPED_TRACE(std::to_string(n) + " levels, form " + std::to_string(form) + (table ? " table" : ""));
                const bool with_values = form != 2, with_labels = form != 1, above = n > limit;
                Sheet* s = new_run_with_sheet(table ? 1 : 3, table ? VXS_TABLE : VXS_VECTOR);
                Column* f = create_column_with_memory(s, VXS_FACTOR, table ? "R" : "F", table ? 1 : 3);
                f->num = table ? Nums{1} : Nums{0, double(n), double(n + 1)}, f->nlevels = table ? 1 : n;
                if (table) s->table_dims = 2, s->form_code = form, s->structure_name = "T", s->second_structure_name = "C";
                std::string values, labels, count = std::to_string(n);
                for (int32_t i = 1; i <= n; ++i) {
                    const std::string v = std::to_string(i * 10);
                    if (Column* b = table ? create_column_with_memory(s, VXS_TABLE_BODY, v, 1) : nullptr)
                        b->num = {1}, b->table_constant = i * 10;
                    else if (with_values) f->levels.push_back(i * 10);
                    if (!table && with_labels) f->labels.push_back(v);
                    values += (i > 1 ? "," : "") + v, labels += (i > 1 ? ",'" : "'") + v + "'";
                }
                std::string text = written(s);
                for (size_t at; (at = text.find("\\\n")) != std::string::npos;) text.erase(at, 2);  // joined
                const size_t start = text.find("FACTOR [modify=yes");
                ASSERT_NE(start, std::string::npos) << text;
                std::string want = table ? "FACTOR [modify=yes" : "FACTOR [modify=yes;nvalues=3";
                // Labels alone above the limit: a factor leaves its level count out, a table keeps it.
                if (with_values) want += above ? ";levels=!(#_levels_)" : ";levels=!(" + values + ")";
                else if (table || !above) want += ";levels=" + count;
                if (with_labels) want += above ? ";labels=!t(#_labels_)" : ";labels=!t(" + labels + ")";
                EXPECT_EQ(text.substr(start, text.find('\n', start) - start), want + (table ? "] C" : "] F"));
                auto has = [&](const std::string& part) { return text.find(part) != std::string::npos; };
                EXPECT_EQ(has("_levels_\nVARIATE [nvalues=" + count + "] _levels_\nREAD _levels_\n10 20 "), above && with_values);
                EXPECT_EQ(has("_labels_\nTEXT [nvalues=" + count + "] _labels_\nREAD _labels_\n'10' '20' "), above && with_labels);
                EXPECT_TRUE(table || has("READ F; frepresentation=ordinal\n* " + count + " * :\n"));
            }
}

TEST(VxcWriter, TitleUnitsDatesExtrasEmptyColumnsRestrictionAndTemporaryEnding) {
    Sheet* s = new_run_with_sheet(2);
    Column* u = create_column_with_memory(s, VXS_UNITS_TEXT, "id", 2);
    u->text.set(0, "a"), u->text.set(1, "b");
    Column* d = create_column_with_memory(s, VXS_VARIATE, "day", 2);
    d->num = {36526, 36527}, d->representation = VXS_REP_DATE, d->date_format = 9, d->decimals = 0, d->extra = "when 'sown'";
    create_column(s, VXS_TEXT, "none", 90);
    s->restriction_present = s->rows[0].restricted = 1;
    vxs_source = "Data read from Sheet1 of it's.xls";
    const std::string t = written(s, "xK7RZ.vxc");  // the name of a temporary file for a calling program
    vxs_source.clear();
    EXPECT_TRUE(t.starts_with("DELETE [Redefine=yes] _stitle_ : TEXT _stitle_ : READ [print=*] _stitle_\n"
                              "'Data read from Sheet1 of it''s.xls':\nPRINT [IPrint=*] _stitle_; Just=Left\n")) << t;
    for (const char* part : {"TEXT [nvalues=2] id\nREAD id\n'a' 'b' :\nUNITS id\n",
                             // 1 January 2000 as a day number from 1600.
                             "VARIATE [nvalues=2] day; decimals=0; extra='when ''sown'''; drep=9\nREAD day\n146038 146039 :\n",
                             "TEXT [values=*] none\n",
                             "DELETE [redefine=yes] _rest_\nREAD [print=*;setnvalues=y] _rest_\n0 1 :\nRESTRICT id,day,none; _rest_\n"})
        EXPECT_NE(t.find(part), std::string::npos) << part;
    EXPECT_TRUE(t.ends_with("RETURN [CLOSE=yes;DELETE=yes]\n\n")) << t;
}

TEST(VxcWriter, MatrixAndScalars) {
    Sheet* s = new_run_with_sheet(2, VXS_MATRIX);
    s->structure_name = "M", s->units_count = 1;
    create_column_with_memory(s, VXS_MATRIX_COL, "1", 2)->num = {1, 2};
    create_column_with_memory(s, VXS_MATRIX_COL, "2", 2)->num = {3, 4};
    EXPECT_EQ(written(s), "DELETE [redefine=yes] M\nMATRIX [rows=2;columns=2] M\nREAD M\n1 3 2 4 :\nRETURN [CLOSE=yes]\n\n");
    create_column_with_memory(s = new_run_with_sheet(1, VXS_SCALARS), VXS_SCALAR, "k", 1)->num = {2.5};
    EXPECT_EQ(written(s), "DELETE [redefine=yes] k\nSCALAR k; 2.5\n\nRETURN [CLOSE=yes]\n\n");
}

}  // namespace
