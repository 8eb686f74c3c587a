// Sheet, column and row-attribute creation, the defaults record, guarded allocation and the
// byte-order helpers shared by binary readers.
#include "vxs_sheet.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

double vxs_missing = -1.0e307;
int32_t VXSMAXCOLUMNS = 250;
Sheet* lastsheet = nullptr;

namespace {
VxsDefaults g_defaults;
// Sheets live until the process ends; keeping them here lets leak checkers see them owned.
std::vector<std::unique_ptr<Sheet>> g_sheets;

const char* const kMonths[14] = {"***",    "January", "February",  "March",   "April",
                                 "May",    "June",    "July",      "August",  "September",
                                 "October", "November", "December", "***"};
const char* const kDays[9] = {"***",    "Monday", "Tuesday",  "Wednesday", "Thursday",
                              "Friday", "Saturday", "Sunday", "***"};
}  // namespace

[[noreturn]] void vxs_fatal(const char* message, int status) {
    std::fputs(message, stdout);
    std::fflush(stdout);
    throw VxsFatal{status};
}

void vxs_init() {
    vxs_missing = -1.0e307;
    g_defaults = VxsDefaults{};
    for (int i = 0; i < 14; ++i) {
        g_defaults.month_names[i] = kMonths[i];
        g_defaults.short_month_names[i] = std::string(kMonths[i]).substr(0, 3);
    }
    for (int i = 0; i < 9; ++i) g_defaults.day_names[i] = kDays[i];
}

VxsDefaults* vxs_get_global_defaults() { return &g_defaults; }

void vxs_release_sheets() {
    g_sheets.clear();
    lastsheet = nullptr;
}

void vxs_release_sheet(Sheet* sheet) {
    if (lastsheet == sheet) lastsheet = nullptr;
    std::erase_if(g_sheets, [sheet](const std::unique_ptr<Sheet>& s) { return s.get() == sheet; });
}

void vxs_set_defaults_colno(int32_t n) { g_defaults.colno = n; }

void vxs_set_defaults(VxsDefaults* r) {
    const VxsDefaults& g = g_defaults;
    r->colno = g.colno;
    r->flag_a = g.flag_a;
    r->flag_b = g.flag_b;
    r->omit_empty = g.omit_empty;
    r->flag_c = g.flag_c;
    r->factor_ignore_case = g.factor_ignore_case;
    r->factor_strip_blanks = g.factor_strip_blanks;
    r->suffixed_ids = g.suffixed_ids;
    // The first two package flags after suffixed_ids, keep_declared_missing, quote_csv_text,
    // the distinct-value limit and the day names stay empty: they are read from the global
    // record only.
    r->flag_d = 0;
    r->flag_e = 0;
    r->flag_f = g.flag_f;
    r->flag_g = g.flag_g;
    r->sort_levels = g.sort_levels;
    r->flag_h = g.flag_h;
    r->flag_i = g.flag_i;
    r->flag_j = g.flag_j;
    r->gregorian = g.gregorian;
    r->keep_declared_missing = 0;
    r->quote_csv_text = 0;
    r->date_format = g.date_format;
    r->spreadsheet_version = g.spreadsheet_version;
    r->value300 = g.value300;
    r->distinct_limit = 0;
    r->name_prefix = g.name_prefix;
    for (int i = 0; i < 14; ++i) {
        r->month_names[i] = g.month_names[i];
        r->short_month_names[i] = g.month_names[i].substr(0, 3);
    }
    for (auto& d : r->day_names) d.clear();
    r->date_text = g.date_text;
}

Sheet* create_sheet() {
    auto owned = std::make_unique<Sheet>();
    Sheet* sheet = owned.get();
    vxs_set_defaults(&sheet->defaults);
    sheet->missing = vxs_missing;
    g_sheets.push_back(std::move(owned));
    lastsheet = sheet;
    Column* row = create_column(sheet, VXS_ROW, "Row", 25);
    if (row) row->width = 4;
    return sheet;
}

Column* create_column(Sheet* sheet, int32_t type, std::string_view name, int32_t capacity) {
    if (!sheet || sheet->column_count >= VXSMAXCOLUMNS) return nullptr;
    auto col = std::make_unique<Column>();
    col->type = type;
    col->sheet = sheet;
    col->name = std::string(name.substr(0, VXS_MAX_NAME));
    col->text_capacity = capacity;
    col->minimum = col->maximum = sheet->missing;
    col->gregorian = sheet->defaults.gregorian;
    col->date_format = sheet->defaults.date_format;
    col->position = static_cast<int32_t>(sheet->cols.size());
    col->id = sheet->next_column_id++;
    switch (type) {
        case VXS_ROW:
            col->representation = VXS_REP_FIXED;
            col->decimals = 0;
            sheet->units_count++;
            break;
        case VXS_TEXT: col->representation = VXS_REP_TEXT; break;
        case VXS_UNITS_TEXT:
            col->representation = VXS_REP_TEXT;
            sheet->units_count++;
            break;
        case VXS_UNITS_NUM: sheet->units_count++; break;
        case VXS_FACTOR:
            if (sheet->kind == VXS_TABLE) sheet->units_count++;
            break;
        default: break;
    }
    if (type != VXS_ROW) sheet->column_count++;
    Column* raw = col.get();
    sheet->cols.push_back(std::move(col));
    return raw;
}

Column* create_column_with_memory(Sheet* sheet, int32_t type, std::string_view name, int32_t n) {
    if (n < 0) n = 0;
    Column* col = nullptr;
    if (type == VXS_TEXT || type == VXS_UNITS_TEXT) {
        col = create_column(sheet, type, name, 90);
        if (!col) return nullptr;
        col->text.resize(static_cast<size_t>(n));
        col->decimals = 0;
        col->nlevels = 0;
        col->width = static_cast<int32_t>(col->name.size()) + 2;
    } else {
        col = create_column(sheet, type, name, 25);
        if (!col) return nullptr;
        col->num.assign(static_cast<size_t>(n), sheet->missing);
        if (type == VXS_FACTOR) {
            col->nlevels = 2;
            col->levels.clear();
            col->labels.clear();
        }
        col->decimals = -1;
        col->width = 6;
    }
    return col;
}

int create_row_attr(Sheet* sheet) {
    if (!sheet || sheet->row_count <= 0) return 0;
    const size_t n = static_cast<size_t>(sheet->row_count);
    RowAttr proto;
    proto.row_value = sheet->row_value_base + 6;
    sheet->rows.assign(n, proto);
    Column* row = sheet->row_column();
    row->num.resize(n);
    for (size_t i = 0; i < n; ++i) row->num[i] = static_cast<double>(i + 1);
    row->decimals = 0;
    row->width = n <= 1000 ? 4 : n <= 10000 ? 5 : 6;
    return 1;
}

void free_memory(Column* column, int32_t kind) {
    if (!column) return;
    if (kind == VXS_KIND_LEVELS) {
        column->levels.clear();
        column->levels.shrink_to_fit();
    } else if (kind == VXS_KIND_LABELS) {
        column->labels.clear();
        column->labels.shrink_to_fit();
        column->longest_label = 0;
    } else {
        column->num.clear();
        column->num.shrink_to_fit();
        column->text.clear();
        if (kind == VXS_TEXT || kind == VXS_UNITS_TEXT) column->nlevels = 0;
    }
}

void* mymalloc(size_t size) {
    if (size > VXS_MAX_ALLOC) vxs_fatal("Error: Data too large for this version of Morvalen!\n", 7);
    void* p = std::calloc(size ? size : 1, 1);
    if (!p) vxs_fatal("Error: Not enough memory to read data!\n", 8);
    return p;
}

void* myrealloc(void* pointer, size_t size) {
    if (size > VXS_MAX_ALLOC) vxs_fatal("Error: Data too large for DOS version!\n", 7);
    void* p = std::realloc(pointer, size ? size : 1);
    if (!p) vxs_fatal("Error: Not enough memory to read data!\n", 8);
    return p;
}

namespace {
template <typename T>
void reverse_bytes(T* v) {
    unsigned char b[sizeof(T)];
    std::memcpy(b, v, sizeof(T));
    for (size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(b[i], b[sizeof(T) - 1 - i]);
    std::memcpy(v, b, sizeof(T));
}
}  // namespace

void vxs_rev_short(int16_t* v) { reverse_bytes(v); }
void vxs_rev_ushort(uint16_t* v) { reverse_bytes(v); }
void vxs_rev_long(int32_t* v) { reverse_bytes(v); }
void vxs_rev_ulong(uint32_t* v) { reverse_bytes(v); }
void vxs_rev_float(float* v) { reverse_bytes(v); }
void vxs_rev_double(double* v) { reverse_bytes(v); }
