// SPSS system files against R foreign's reading, hand-built files for decoder corners, broken files.
#include "statpack/reader_test_util.h"
#include "statpack/vxr_spss.h"

// What foreign holds for one variable (see tests/data/spss/expect.R).
struct SpssVar {
    std::string name, label, missing_type;
    std::vector<double> missing;
    std::vector<std::pair<std::string, std::string>> value_labels;  // value, label
    std::vector<std::string> cells;
};

static std::vector<SpssVar> load_expect(const std::string& name) {
    std::vector<SpssVar> vars;
    for (const auto& f : tab_rows(data_path("spss/" + name + ".expect"))) {
        if (f[0] == "V") vars.push_back({f[1], f[2], "", {}, {}, {}});
        if (f[0] == "L") vars.back().value_labels.emplace_back(f[2], f[3]);
        if (f[0] == "D") vars.back().cells.push_back(f[3]);
        if (f[0] == "M") vars.back().missing_type = f[2];
        std::stringstream ss(f[0] == "M" ? f[3] : "");
        for (std::string v; std::getline(ss, v, ',');) vars.back().missing.push_back(std::stod(v));
    }
    return vars;
}

static bool user_missing(const SpssVar& v, double x) {
    const auto& [t, m] = std::tie(v.missing_type, v.missing);
    if (t == "one" || t == "two" || t == "three") return std::count(m.begin(), m.end(), x) > 0;
    if (t == "range") return m[0] <= x && x <= m[1];
    return t == "low+1" && (x <= m[0] || x == m[1]);  // LO THRU m0, m1
}

using Spss = ReaderTest<read_spss_into_sheet>;

// Every column against foreign: names, labels, cells, user-missing (unless kept), dates, value labels.
static void check_against(const Sheet* s, const std::vector<SpssVar>& vars, bool keep_declared) {
    ASSERT_EQ(s->column_count, static_cast<int32_t>(vars.size()));
    for (size_t c = 0; c < vars.size(); ++c) {
        const SpssVar& v = vars[c];
        const Column* col = s->cols[c + 1].get();
        SCOPED_TRACE(v.name);
        EXPECT_STRCASEEQ(col->name.c_str(), v.name.substr(0, 8).c_str());
        EXPECT_EQ(col->extra, v.label.substr(0, 40));
        ASSERT_EQ(col->value_count(), v.cells.size());
        bool numeric = std::all_of(v.cells.begin(), v.cells.end(), [end = (char*)nullptr](const std::string& x) mutable {
            return x == "NA" || (std::strtod(x.c_str(), &end), !x.empty() && *end == '\0');
        });
        ASSERT_TRUE(col->type == VXS_TEXT || col->type == (v.value_labels.empty() ? VXS_VARIATE : VXS_FACTOR)) << col->type;
        for (size_t r = 0; r < v.cells.size(); ++r) {
            SCOPED_TRACE("row " + std::to_string(r + 1));
            const std::string want = trim(v.cells[r]);
            const double x = numeric && want != "NA" ? std::stod(want) : 0;
            if (col->type == VXS_TEXT) {
                EXPECT_EQ(col->text.get(r) == " " ? "" : std::string(col->text.get(r)), want);
            } else if (want == "NA" || want.empty() || (numeric && !keep_declared && user_missing(v, x))) {
                EXPECT_LE(col->num[r], s->missing);
            } else if (col->type == VXS_VARIATE && col->representation == VXS_REP_DATE) {
                // Seconds become days; calendar dates from the serial epoch (14 Oct 1582 is -115859).
                const bool duration = col->date_format == 36 || v.name == "dt";
                const double serial = duration ? x / 86400 : x / 86400 - 115859;
                EXPECT_NEAR(col->num[r], !duration && serial < 61 ? serial - 1 : serial, 1e-9);
            } else if (col->type == VXS_VARIATE) {
                EXPECT_EQ(col->num[r], x);
            } else {
                size_t k = static_cast<size_t>(col->num[r]) - 1;
                ASSERT_TRUE(col->num[r] >= 1 && k < col->labels.size() && k < size_t(col->nlevels));
                std::string want_label = numeric ? g12(x) : want;  // the value label, else the value
                for (const auto& [value, lab] : v.value_labels)
                    if (numeric ? std::stod(value) == x : trim(value) == want) want_label = lab;
                EXPECT_EQ(col->labels[k], want_label);
                EXPECT_TRUE(!numeric || col->levels.empty() || col->levels[k] == x);
            }
        }
    }
}

// Every file against foreign, also with the case size patched to 0 or below, with /i, and through a .vsh.
TEST_F(Spss, EveryFileHoldsWhatForeignReadsBackBeforeAndAfterConversion) {
    for (std::string f : {"types_comp", "types_unc", "types_comp_be", "types_unc_be", "types_nocount", "haven_byte", "haven_none"}) {
        const auto want = load_expect(f == "types_nocount" ? "types_comp" : f);  // nocount: case count -1
        const std::string bytes = read_file(data_path("spss/" + f + ".sav"));
        for (int32_t size : {1, 0, -1}) {
            SCOPED_TRACE(f + " case size " + std::to_string(size));
            ASSERT_TRUE(read_bytes(size == 1 ? bytes : patched(bytes, 68, (f.ends_with("_be") ? be_bytes : le_bytes)(uint32_t(size), 4))));
            check_against(lastsheet, want, false);
        }
        // /i keeps score -99 and -98, temp 990..999, code LO..-1 and 999 as values.
        vxs_get_global_defaults()->keep_declared_missing = 1;
        ASSERT_TRUE(read_bytes(bytes));
        check_against(lastsheet, want, true);
        EXPECT_EQ(run_morvalen(dir.path(), {copy_sample(dir, "spss/" + f + ".sav", "in.sav"), "out.vsh"}).out,
                  " 6 records transferred.\n");
        ASSERT_TRUE(read_vsh(dir.file("out.vsh")));
        check_against(lastsheet, want, false);
    }
}

// haven's iris.sav leaves the header's case size 0: every cell as pspp reads it.
TEST_F(Spss, CaseSizeZeroOfHavensIrisAndTheColumnLimit) {
    Sheet* s = must(read(data_path("spss/iris_haven.sav")));
    const auto pspp = csv_cells(read_file(data_path("spss/iris_haven.csv")));
    ASSERT_TRUE(s->row_count == 150 && s->column_count == 5);
    for (size_t r = 1; r < pspp.size(); ++r)
        for (size_t c = 0; c < 5; ++c) EXPECT_EQ(s->cols[c + 1]->num[r - 1], std::stod(pspp[r][c])) << r << " " << c;
    EXPECT_EQ(s->cols[5]->labels, (std::vector<std::string>{"setosa", "versicolor", "virginica"}));
    VXSMAXCOLUMNS = 2;
    ASSERT_TRUE((s = quiet(data_path("spss/types_comp.sav"))) && s->column_count == 2);
    EXPECT_EQ(said + s->cols[2]->name, "Warning Columns above 2 NOT transfered!\nSCORE");
}

// A system file's header and variables (type 0 numeric, else string width), in either byte order.
struct SavBuilder {
    bool big = false;
    std::string out;
    void i32(std::initializer_list<int32_t> vs) { for (int32_t v : vs) out += (big ? be_bytes : le_bytes)(uint32_t(v), 4); }
    void f64(double d) { const std::string b = le_f64(d); out += big ? std::string(b.rbegin(), b.rend()) : b; }
    void text(const std::string& s, size_t n) { out += s + std::string(n - s.size(), ' '); }
    SavBuilder(int32_t case_size, int32_t compressed, int32_t ncases, bool big_endian = false) : big(big_endian) {
        text("$FL2@(#) SPSS DATA FILE hand made", 64), i32({2, case_size, compressed, 0, ncases}), f64(100), text("", 84);  // bias 100
    }
    void variable(int32_t type, const std::string& name, int32_t format = 0x050802) {
        i32({2, type, 0, 0, format, format}), text(name, 8);
        for (int k = 8; k < type; k += 8) i32({2, -1, 0, 0, 0, 0, 0x20202020, 0x20202020});
    }
};

// Value labels match within 1e-12; huge values clipped or missing; another product name only warns.
TEST_F(Spss, HandBuiltUncompressedFilesAndDatesAroundMarch1900) {
    for (bool big : {false, true}) {
        SCOPED_TRACE(big);
        SavBuilder b(2, 0, 4, big);
        b.out.replace(4, 19, "made by someone els"), b.variable(0, "v"), b.variable(0, "x");
        b.i32({3, 1});  // value label 1 "one" for variable 1
        b.f64(1), b.text("\3one", 8), b.i32({4, 1, 1, 999, 0});
        for (double v : {1.0000000000001, 1.5, 1.001, -1e308, 2.0, 1e308, 1.0000000000001, 9e307}) b.f64(v);
        Sheet* s = must(quiet_bytes(b.out));
        EXPECT_EQ(said, "Warning: " + dir.file("t.in") + " may not be in standard SPSS windows format!\n");
        EXPECT_EQ(s->cols[1]->labels, (std::vector<std::string>{"one", "1.001", "2"}));
        EXPECT_EQ(rows_text(s, 0, 4), "one|1.5;1.001|.;2|9.99999e+307;one|9e+307;");
    }
    // Serial days count a 29 February 1900 that never was: dates before 1 March 1900 are one day less.
    const std::pair<double, double> cases[] = {  // days as counted, the sheet's day number
        {59.5, 58.5}, {60, 59}, {60.5, 59.5}, {60.999, 59.999}, {61, 61}, {61.5, 61.5}, {62, 62}};
    SavBuilder b(1, 0, int32_t(std::size(cases)));
    b.variable(0, "D", 0x140b00), b.i32({999, 0});  // DATE11
    for (auto [days, serial] : cases) b.f64((days + 115859) * 86400);  // seconds from 14 October 1582
    Sheet* s = must(read_bytes(b.out));
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_NEAR(s->cols[1]->num[i], cases[i].second, 1e-6) << i;
}

// Cases 1-2 end in one command block, 3 in the next; 4 MB padded as ReadStat does across the 4 MB read mark.
TEST_F(Spss, CompressedCasesAcrossCommandBlocksAndPadding) {
    SavBuilder b(3, 1, -1);
    for (auto [type, name] : {std::pair{0, "a"}, {0, "b"}, {8, "s"}}) b.variable(type, name);
    b.i32({999, 0});
    b.out += "\145\375\375\377\147\376\151\152";  // 101 253 253 255 103 254 105 106
    b.f64(2.5), b.text("first", 8), b.out += raw("\375\0\0\0\0\0\0\0"), b.text("third", 8);
    const size_t ncases = 600000;
    for (size_t i = 0; i < ncases; ++i) {
        if (b.out.size() + 8 + 4000 == (size_t(1) << 22)) b.out += std::string(8000, '\0');
        b.out += std::string{char(101 + i % 100), 102, char(254), 0, 0, 0, 0, 0};
    }
    b.out += std::string("\153\154\374\0\0\0\0\0garbage!garbage!garbage!", 32);
    Sheet* s = read_bytes(b.out);
    ASSERT_TRUE(s && s->row_count == int32_t(ncases + 4));
    EXPECT_EQ(rows_text(s, 0, 5), "1|2.5|first;.|3| ;5|6|third;1|2| ;2|2| ;");
    size_t wrong = 0;
    for (size_t i = 0; i < ncases; ++i) wrong += rows_text(s, i + 3, i + 4) != std::to_string(1 + i % 100) + "|2| ;";
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(rows_text(s, ncases + 3, ncases + 4), "7|8|;");  // the case the end command cut
}

TEST_F(Spss, BrokenFiles) {
    std::string unc = read_file(data_path("spss/types_unc.sav"));
    Sheet* s = must(read_bytes(unc.substr(0, unc.size() - 100)));
    EXPECT_EQ(s->cols[1]->num, (std::vector<double>{1, 2, 3, 4, 5, 6}));  // the last case cut: partial
    const std::string good = read_file(data_path("spss/types_comp.sav"));
    ASSERT_NE(s = read_bytes(patched(good, 80, le_bytes(0x7fffffff, 4))), nullptr);  // 2e9 cases: as many as the data holds
    EXPECT_TRUE(s->row_count < 10000 && s->cols[1]->num[5] == 6);
    s = read_bytes(patched(good, 68, le_bytes(0x7fffffff, 4)));
    EXPECT_TRUE(!s || s->row_count < 10000);  // a huge case size: at most one partial case
    // No data, status 5: cut dictionary; zero cases, case size below the variables, bad layout code;
    // absurd counts (value labels, label variables, 4 GB extension, documents); unknown record.
    std::vector<std::string> broken = {good.substr(0, 4), good.substr(0, 100), good.substr(0, 176), good.substr(0, 600),
                                       patched(good, 80, le_bytes(0, 4)), patched(good, 68, le_bytes(1, 4)),
                                       patched(good, 64, le_bytes(3, 4))};
    for (std::vector<int32_t> record :
         {std::vector<int32_t>{3, 0x7fffffff}, {4, 0x7fffffff}, {7, 3, 0x10000, 0x10000}, {6, 0x7fffffff}, {5}}) {
        SavBuilder b(1, 0, 1);
        b.variable(0, "v");
        for (int32_t v : record) b.i32({v});
        broken.push_back(b.out + std::string(record.size() > 1 ? 64 : 0, '\0'));
    }
    expect_no_data(broken, "bad.sav");
}
