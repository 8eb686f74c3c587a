// The in-memory sheet every reader fills and every writer empties: records, type codes,
// the defaults record, the creation protocol and the guarded allocation helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Column type codes (also written into package files).
enum : int32_t {
    VXS_ROW = 0,
    VXS_SCALAR = 1,
    VXS_FACTOR = 2,
    VXS_TEXT = 3,
    VXS_VARIATE = 4,
    VXS_MATRIX_COL = 5,
    VXS_NUMERIC6 = 6,
    VXS_SYMMAT_COL = 7,
    VXS_TABLE_BODY = 8,
    VXS_NUMERIC22 = 22,
    VXS_UNITS_NUM = -4,
    VXS_UNITS_TEXT = -3,
};

// Whether columns of this type hold plain numbers (not factors, texts or row numbers).
constexpr bool vxs_is_number_type(int32_t type) {
    switch (type) {
        case VXS_SCALAR: case VXS_VARIATE: case VXS_MATRIX_COL: case VXS_NUMERIC6:
        case VXS_SYMMAT_COL: case VXS_TABLE_BODY: case VXS_NUMERIC22: case VXS_UNITS_NUM:
            return true;
        default:
            return false;
    }
}

// Storage kinds passed to free_memory besides the type codes.
enum : int32_t { VXS_KIND_LEVELS = 90, VXS_KIND_LABELS = 91, VXS_KIND_ROWATTR = 92 };

// Structure kinds of a sheet.
enum : int32_t {
    VXS_VECTOR = 1,
    VXS_MATRIX = 2,
    VXS_SYMMATRIX = 3,
    VXS_DIAGMATRIX = 4,
    VXS_TABLE = 5,
    VXS_SCALARS = 6,
};

// Representation codes.
enum : int32_t { VXS_REP_GENERAL = 1, VXS_REP_EXPONENT = 2, VXS_REP_FIXED = 3, VXS_REP_TEXT = 4, VXS_REP_DATE = 5 };

constexpr size_t VXS_MAX_TEXT = 90;   // longest text cell
constexpr size_t VXS_MAX_NAME = 40;   // longest column name, label or structure name
constexpr double VXS_NUM_CEILING = 9.99999e307;  // readers clip larger numbers to this
constexpr size_t VXS_MAX_ALLOC = 160000008;      // largest single request mymalloc accepts

extern double vxs_missing;  // -1.0e307 after vxs_init
extern int32_t VXSMAXCOLUMNS;

// User settings carried into every sheet. Fields without a name of their own are kept for the
// package's files only.
struct VxsDefaults {
    int32_t colno = 0;
    int16_t flag_a = 1;
    int16_t flag_b = 0;
    int16_t omit_empty = 1;
    int16_t flag_c = 1;
    int16_t factor_ignore_case = 1;
    int16_t factor_strip_blanks = 1;
    int16_t suffixed_ids = 0;
    int16_t flag_d = 1, flag_e = 1, flag_f = 1;
    int16_t flag_g = 0;
    int16_t sort_levels = 1;
    int16_t flag_h = 0, flag_i = 0, flag_j = 0;
    int16_t gregorian = 0;
    int16_t keep_declared_missing = 0;
    int16_t quote_csv_text = 1;
    int32_t spreadsheet_version = 5;
    int32_t value300 = 300;
    int32_t date_format = 1;
    int32_t distinct_limit = 50;
    std::string name_prefix = "C";        // at most 9 characters
    std::string month_names[14];          // "***", "January".."December", "***"
    std::string short_month_names[14];    // first three letters of each long name
    std::string day_names[9];             // "***", "Monday".."Sunday", "***"
    std::string date_text = "DD.MM.YY";
};

// Text cells of one column: one character arena plus a packed (offset, length) per cell, so a
// million short texts cost one allocation rather than a million. Setting a cell appends to the
// arena; texts are cut to the column's slot width (90, or 40 for factor labels).
class TextCells {
public:
    size_t size() const { return refs_.size(); }
    bool empty() const { return refs_.empty(); }
    void resize(size_t n) { refs_.resize(n, 0); }
    void clear() {
        refs_.clear();
        arena_.clear();
    }
    void reserve(size_t n, size_t bytes) {
        refs_.reserve(n);
        arena_.reserve(bytes);
    }
    std::string_view get(size_t i) const {
        uint64_t r = refs_[i];
        return std::string_view(arena_.data() + (r >> 8), r & 0xff);
    }
    std::string str(size_t i) const { return std::string(get(i)); }
    void set(size_t i, std::string_view s, size_t width = VXS_MAX_TEXT) {
        if (s.size() > width) s = s.substr(0, width);
        uint64_t off = arena_.size();
        arena_.insert(arena_.end(), s.begin(), s.end());
        refs_[i] = (off << 8) | s.size();
    }
    void push_back(std::string_view s, size_t width = VXS_MAX_TEXT) {
        refs_.push_back(0);
        set(refs_.size() - 1, s, width);
    }
    void erase(size_t i) { refs_.erase(refs_.begin() + static_cast<std::ptrdiff_t>(i)); }
    void insert(size_t i, std::string_view s, size_t width = VXS_MAX_TEXT) {
        refs_.insert(refs_.begin() + static_cast<std::ptrdiff_t>(i), 0);
        set(i, s, width);
    }

    // Lets several threads fill disjoint rows at once: each gets its own byte range of the
    // arena, made by region() before any of them starts. A text that does not fit its range
    // waits in spill until close(), which ends the arena after the ranges' last used byte.
    class Region {
    public:
        void set(size_t i, std::string_view s, size_t width = VXS_MAX_TEXT) {
            if (s.size() > width) s = s.substr(0, width);
            if (s.size() > end_ - next_) {
                spill_.emplace_back(i, std::string(s));
                return;
            }
            std::memcpy(cells_->arena_.data() + next_, s.data(), s.size());
            cells_->refs_[i] = (static_cast<uint64_t>(next_) << 8) | s.size();
            next_ += s.size();
        }

    private:
        friend class TextCells;
        TextCells* cells_ = nullptr;
        size_t next_ = 0, end_ = 0;
        std::vector<std::pair<size_t, std::string>> spill_;
    };
    Region region(size_t bytes) {
        Region r;
        r.cells_ = this;
        r.next_ = r.end_ = arena_.size();
        r.end_ += bytes;
        arena_.resize(r.end_);
        return r;
    }
    // Closes the regions, the last made last.
    void close(std::vector<Region>& regions) {
        if (!regions.empty()) arena_.resize(regions.back().next_);
        for (Region& r : regions)
            for (const auto& [i, s] : r.spill_) set(i, s);
        regions.clear();
    }

private:
    std::vector<char> arena_;
    std::vector<uint64_t> refs_;
};

struct Sheet;

struct Column {
    int32_t type = 0;
    Sheet* sheet = nullptr;
    std::string name;      // at most 40 characters
    std::string alt_name;  // second name of a table-body column
    std::string extra;     // description written as extra text by the command-file writer
    int32_t id = 0;
    int32_t position = 0;  // 0-based place in the column list ("Row" is 0)
    int32_t decimals = -1;
    int32_t width = 0;
    int32_t text_capacity = 25;
    double minimum = 0, maximum = 0;
    int32_t representation = VXS_REP_GENERAL;
    int32_t justification = 0;
    int32_t package_flags = 0;
    int32_t package_count = 0;
    double table_constant = 0;
    int16_t modified = 0;
    int16_t empty = 0;
    int16_t write_flag = 1;
    int16_t lock = 0;
    int16_t gregorian = 0;
    int32_t date_format = 1;

    // Cells: numeric kinds use num, text kinds (3, -3) use text. A factor's cells hold level
    // numbers 1..nlevels as doubles.
    std::vector<double> num;
    TextCells text;

    int32_t nlevels = 0;  // factor: number of levels; text: longest value length
    std::vector<double> levels;       // factor level values (levels-present = levels.size())
    std::vector<std::string> labels;  // factor labels, each at most 40 characters
    int32_t longest_label = 0;
    int32_t origin = 0;  // factor: 0 neither list, 1 levels given, 2 labels given

    bool is_text() const { return type == VXS_TEXT || type == VXS_UNITS_TEXT; }
    size_t value_count() const { return is_text() ? text.size() : num.size(); }
    int32_t levels_present() const { return static_cast<int32_t>(levels.size()); }
    int32_t labels_present() const { return static_cast<int32_t>(labels.size()); }
};

struct RowAttr {
    int32_t row_value = 6;
    int16_t restricted = 0;
    int16_t reserved = 0;
    int16_t empty = 1;
};

struct Sheet {
    int32_t kind = VXS_VECTOR;
    // cols[0] is always the "Row" column; data columns are cols[1..column_count].
    std::vector<std::unique_ptr<Column>> cols;
    std::vector<RowAttr> rows;
    std::vector<std::unique_ptr<Column>> removed;  // columns unlinked by remove_column
    VxsDefaults defaults;
    int32_t form_code = 0;
    int32_t next_column_id = 0;
    std::string description;                 // lines joined by '\0'
    std::vector<std::string> description_lines;
    std::string structure_name;
    std::string second_structure_name;
    std::string source_file;
    int32_t column_count = 0;
    int32_t row_count = 0;
    int32_t restricted_count = 0;
    int32_t row_value_base = 0;
    int32_t units_count = 0;
    int32_t current_column_position = 0;
    int32_t current_row_position = 0;
    int32_t table_dims = 0;
    int16_t restriction_present = 0;
    int16_t modified = 0;
    int16_t lock = 0;
    int16_t no_move = 0;
    int16_t flag_one = 1;
    int32_t header_flag = 0;
    int32_t header_word = 0;
    int32_t margins = 0;
    int32_t second_margins = 0;
    double missing = 0;
    int32_t source_type = 1;

    Column* row_column() const { return cols.empty() ? nullptr : cols[0].get(); }
};

extern Sheet* lastsheet;

void vxs_init();
// Frees every sheet of the run. A conversion never needs it (sheets live until the process
// ends); fuzz targets and tests that run many readers in one process do.
void vxs_release_sheets();
// Frees one sheet that served only as a step (a shapefile's attribute table once copied).
void vxs_release_sheet(Sheet* sheet);
VxsDefaults* vxs_get_global_defaults();
void vxs_set_defaults_colno(int32_t n);
void vxs_set_defaults(VxsDefaults* record);

Sheet* create_sheet();
Column* create_column(Sheet* sheet, int32_t type, std::string_view name, int32_t capacity);
Column* create_column_with_memory(Sheet* sheet, int32_t type, std::string_view name, int32_t n);
int create_row_attr(Sheet* sheet);
void free_memory(Column* column, int32_t kind);

// Allocation that never returns null: too large a request ends the run with status 7,
// exhaustion with status 8 (see vxs_fatal).
void* mymalloc(size_t size);
void* myrealloc(void* pointer, size_t size);

// A condition that ends the run: the message is printed when it is raised, and the driver
// returns the status. Unwinding to the driver (rather than exiting in place) lets it decide
// the exit status and keeps a fatal stop from leaving output under the real name.
struct VxsFatal {
    int status;
};
[[noreturn]] void vxs_fatal(const char* message, int status);

void vxs_rev_short(int16_t* v);
void vxs_rev_ushort(uint16_t* v);
void vxs_rev_long(int32_t* v);
void vxs_rev_ulong(uint32_t* v);
void vxs_rev_float(float* v);
void vxs_rev_double(double* v);
