// Adapter from ReadStat's callbacks to the sheet: variables become variates or text columns
// with valid unique names, labels become descriptions, value labels make factors, system,
// special and (unless /i) user-missing values become missing, date formats make date columns,
// and text is converted to the sheet's code page and cut to 90 characters.
#include "vxr_readstat.h"

#include <readstat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_strings.h"
#include "../sheet/vxs_access.h"
#include "../sheet/vxs_conv.h"
#include "../sheet/vxs_cp1252.h"
#include "../sheet/vxs_dates.h"
#include "../sheet/vxs_reader_kit.h"
#include "../sheet/vxs_txtnum.h"
#include "vxr_spss.h"
#include "vxs_stata_dates.h"
#include "vxs_sas.h"

namespace {

constexpr size_t MAX_LABEL = 40;

enum class DateRule { None, Spss, StataDays, StataMillis, StataTime, SasDays, SasSeconds };

struct LabelSet {
    std::vector<double> values;
    std::vector<std::string> keys;  // string values
    std::vector<std::string> labels;
};

struct Var {
    Column* col = nullptr;
    std::string set;
    DateRule date = DateRule::None;
    bool duration = false;
    bool declares_missing = false;  // has missing values or ranges of its own to test cells against
};

struct Context {
    ReadstatKind kind;
    uint64_t file_size = 0;
    Sheet* sheet = nullptr;
    std::vector<Var> vars;  // by index after skipping
    std::map<std::string, LabelSet> sets;
    int64_t declared_rows = -1;
    int64_t declared_vars = -1;
    int release = 0;
    int64_t rows = 0;
    bool keep_missing = false;
    bool strip = true;
    bool cut = false;
    bool large = false;
    bool skipped = false;
    std::string text;
};

// Name letters of a format ("DATETIME20.2" -> "DATETIME").
std::string format_word(const char* format) {
    std::string w;
    for (const char* p = format; p && *p; ++p) {
        char c = *p;
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_') w += c;
        else break;
    }
    return w;
}

int32_t spss_format_type(const std::string& word) {
    static const struct {
        const char* name;
        int32_t type;
    } kTypes[] = {{"DATE", 20},  {"TIME", 21},  {"DATETIME", 22}, {"ADATE", 23},
                  {"JDATE", 24}, {"DTIME", 25}, {"EDATE", 38},    {"SDATE", 39}};
    for (const auto& t : kTypes)
        if (stricmp(word.c_str(), t.name) == 0) return t.type;
    return 0;
}

void set_date(Column* col, int32_t format, int16_t gregorian) {
    col->representation = VXS_REP_DATE;
    col->date_format = format;
    col->gregorian = gregorian;
}

// Date handling of a numeric variable from its display format; labelled Stata variables stay
// numbers, as they do in the Stata reader.
void classify_date(Context& c, Var& v, const char* format) {
    if (!format || !*format) return;
    switch (c.kind) {
        case ReadstatKind::Sav:
        case ReadstatKind::Por: {
            int32_t type = spss_format_type(format_word(format));
            if (int32_t code = spss_date_format_of(type)) {
                set_date(v.col, code, 0);
                v.date = DateRule::Spss;
                v.duration = spss_is_duration_format(type);
            }
            break;
        }
        case ReadstatKind::Dta: {
            if (!v.set.empty()) break;
            std::string f = format;
            if (stata_is_daily_date(f)) {
                set_date(v.col, 1, 0);
                v.date = DateRule::StataDays;
            } else if (f == "%tcHH:MM:SS" || f == "%tcHH:MM") {
                set_date(v.col, 36, 0);
                v.date = DateRule::StataTime;
            } else if (f.rfind("%tc", 0) == 0 || f.rfind("%tC", 0) == 0) {
                set_date(v.col, 33, 0);
                v.date = DateRule::StataMillis;
            }
            break;
        }
        case ReadstatKind::Sas7bdat:
        case ReadstatKind::Xport: {
            if (int32_t code = sas_date_format_of(format_word(format))) {
                set_date(v.col, code, 1);
                v.date = code == 10 ? DateRule::SasDays : DateRule::SasSeconds;
            }
            break;
        }
    }
}

// Serial day numbers before 1 March 1900 are one lower: the serial 60 stands for a 29 February
// 1900 that never was.
double serial_from_1960(double days) {
    double serial = days + STATA_DATE_EPOCH_SERIAL;
    return serial < 61.0 ? serial - 1.0 : serial;
}

double to_day_number(const Var& v, double x) {
    switch (v.date) {
        case DateRule::Spss: return spss_seconds_to_day_number(x, v.duration);
        case DateRule::StataDays: return serial_from_1960(x);
        case DateRule::StataMillis: return serial_from_1960(x / 86400000.0);
        case DateRule::StataTime: return x / 86400000.0;
        case DateRule::SasDays: return x + SAS_EPOCH_1600;
        case DateRule::SasSeconds: return SAS_EPOCH_1600 + x / SAS_SECONDS_PER_DAY;
        case DateRule::None: break;
    }
    return x;
}

// ReadStat leaves some texts of damaged files null.
const char* safe(const char* s) { return s ? s : ""; }

// Text of the file in the sheet's code page, at most limit characters; marks a cut.
std::string sheet_text(std::string_view utf8, size_t limit, bool* cut = nullptr) {
    std::string out;
    out.reserve(std::min(utf8.size(), limit));
    bool more = vxs_utf8_to_cp1252(utf8, out, limit);
    if (cut && more) *cut = true;
    return out;
}

// A name unique among the columns made so far (compared whole, without regard to case): names
// made valid can meet, as "a b" and "a_b" do.
std::string unique_name(const Sheet* sheet, std::string name) {
    auto taken = [&](const std::string& n) {
        for (size_t i = 1; i < sheet->cols.size(); ++i)
            if (stricmp(sheet->cols[i]->name.c_str(), n.c_str()) == 0) return true;
        return false;
    };
    if (!taken(name)) return name;
    for (int k = 1;; ++k) {
        std::string suffix = "_" + std::to_string(k);
        std::string n = name.substr(0, VXS_MAX_NAME - suffix.size()) + suffix;
        if (!taken(n)) return n;
    }
}

// A Stata label-set name is a fixed field of the file that ReadStat hands over as it stands, so a
// damaged file can leave it unterminated: it is read no further than the field.
size_t set_name_field(const Context& c) { return c.kind == ReadstatKind::Dta ? (c.release >= 118 ? 129 : 33) : 256; }

void start_sheet(Context& c) {
    c.sheet = create_sheet();
    c.sheet->missing = vxs_missing;
    vxs_set_gregorian(c.sheet->defaults.gregorian);
}

int on_metadata(readstat_metadata_t* metadata, void* ctx) {
    Context& c = *static_cast<Context*>(ctx);
    int vars = readstat_get_var_count(metadata);
    // Every variable takes bytes of the file: a count beyond its size is a lie.
    if (vars >= 0 && static_cast<uint64_t>(vars) > c.file_size) return READSTAT_HANDLER_ABORT;
    c.declared_rows = readstat_get_row_count(metadata);
    c.declared_vars = vars;
    c.release = readstat_get_file_format_version(metadata);
    if (!c.sheet) start_sheet(c);
    const char* label = readstat_get_file_label(metadata);
    if (label && *label) vxs_add_line_to_description(c.sheet, sheet_text(label, VXS_MAX_TEXT));
    return READSTAT_HANDLER_OK;
}

int on_variable(int index, readstat_variable_t* variable, const char* val_labels, void* ctx) {
    Context& c = *static_cast<Context*>(ctx);
    if (!c.sheet) start_sheet(c);
    if (c.sheet->column_count >= VXSMAXCOLUMNS) {
        if (!c.skipped)
            std::printf("Warning Columns above %li NOT transfered!\n", static_cast<long>(VXSMAXCOLUMNS));
        c.skipped = true;
        return READSTAT_HANDLER_SKIP_VARIABLE;
    }
    std::string name = sheet_text(safe(readstat_variable_get_name(variable)), 2 * VXS_MAX_NAME);
    if (name.empty()) name = "C" + std::to_string(index + 1);
    make_valid_vantrix_name(name);
    name = unique_name(c.sheet, name);
    bool text = readstat_variable_get_type_class(variable) == READSTAT_TYPE_CLASS_STRING;
    Column* col = create_column_with_memory(c.sheet, text ? VXS_TEXT : VXS_VARIATE, name, 0);
    if (!col) return READSTAT_HANDLER_ABORT;
    const char* label = readstat_variable_get_label(variable);
    if (label && *label) col->extra = sheet_text(label, MAX_LABEL);
    // Room for the declared rows, but never more than the file's bytes could hold.
    if (c.declared_rows > 0) {
        uint64_t room = c.file_size / static_cast<uint64_t>(std::max<int64_t>(c.declared_vars, 1));
        size_t n = static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(c.declared_rows), room));
        if (text)
            col->text.reserve(n, n * 8);
        else
            col->num.reserve(n);
    }
    Var v;
    v.col = col;
    v.declares_missing = readstat_variable_get_missing_ranges_count(variable) > 0;
    if (val_labels && *val_labels) {
        v.set.assign(val_labels, strnlen(val_labels, set_name_field(c)));
    }
    if (!text) classify_date(c, v, readstat_variable_get_format(variable));
    c.vars.push_back(std::move(v));
    return READSTAT_HANDLER_OK;
}

int on_value(int obs_index, readstat_variable_t* variable, readstat_value_t value, void* ctx) {
    Context& c = *static_cast<Context*>(ctx);
    int vi = readstat_variable_get_index_after_skipping(variable);
    if (obs_index < 0 || vi < 0 || static_cast<size_t>(vi) >= c.vars.size()) return READSTAT_HANDLER_ABORT;
    // Observations beyond the count the header declares are not data.
    if (c.declared_rows >= 0 && obs_index >= c.declared_rows) return READSTAT_HANDLER_ABORT;
    const size_t row = static_cast<size_t>(obs_index);
    c.rows = std::max<int64_t>(c.rows, obs_index + 1);
    const Var& var = c.vars[static_cast<size_t>(vi)];
    Column* col = var.col;
    const double missing = c.sheet->missing;
    // The library's own test walks the variable's missing ranges; most variables have none.
    const bool test_missing = !c.keep_missing && var.declares_missing;
    if (col->type == VXS_TEXT) {
        if (col->text.size() <= row) col->text.resize(row + 1);
        const char* s = readstat_string_value(value);
        if (!s || !*s) return READSTAT_HANDLER_OK;
        if (test_missing && readstat_value_is_defined_missing(value, variable)) return READSTAT_HANDLER_OK;
        c.text.clear();  // reused: no allocation per cell
        if (vxs_utf8_to_cp1252(s, c.text, VXS_MAX_TEXT)) c.cut = true;
        if (c.strip) {
            col->text.set(row, vxs_strip_blanks(c.text, VXS_MAX_TEXT));
        } else {
            size_t end = c.text.find_last_not_of(' ');
            col->text.set(row, std::string_view(c.text).substr(0, end == std::string::npos ? 0 : end + 1));
        }
        return READSTAT_HANDLER_OK;
    }
    if (col->num.size() == row)  // rows come in order: one more cell, without a resize call
        col->num.push_back(missing);
    else if (col->num.size() < row)
        col->num.resize(row + 1, missing);
    if (readstat_value_is_system_missing(value) || readstat_value_is_tagged_missing(value))
        return READSTAT_HANDLER_OK;
    if (test_missing && readstat_value_is_defined_missing(value, variable)) return READSTAT_HANDLER_OK;
    double x = readstat_double_value(value);
    if (std::isnan(x) || std::isinf(x) || x <= missing) return READSTAT_HANDLER_OK;
    if (x > VXS_NUM_CEILING) {
        x = VXS_NUM_CEILING;
        c.large = true;
    }
    col->num[row] = x;
    return READSTAT_HANDLER_OK;
}

int on_value_label(const char* val_labels, readstat_value_t value, const char* label, void* ctx) {
    Context& c = *static_cast<Context*>(ctx);
    if (!val_labels || readstat_value_is_tagged_missing(value) || readstat_value_is_system_missing(value))
        return READSTAT_HANDLER_OK;
    LabelSet& set = c.sets[std::string(val_labels, strnlen(val_labels, set_name_field(c)))];
    // A set larger than the file is a lie; the count of labels is bounded by the bytes read.
    if (set.labels.size() > c.file_size) return READSTAT_HANDLER_ABORT;
    if (readstat_value_type_class(value) == READSTAT_TYPE_CLASS_STRING) {
        const char* s = readstat_string_value(value);
        std::string key = sheet_text(s ? s : "", VXS_MAX_TEXT);
        size_t end = key.find_last_not_of(' ');
        key.resize(end == std::string::npos ? 0 : end + 1);
        set.keys.push_back(std::move(key));
        set.values.push_back(0);
    } else {
        set.values.push_back(readstat_double_value(value));
        set.keys.emplace_back();
    }
    set.labels.push_back(sheet_text(label ? label : "", MAX_LABEL));
    return READSTAT_HANDLER_OK;
}

void on_error(const char*, void*) {}

void raise_width(Column* col) { col->width = std::max(col->width, col->longest_label + 2); }

// A numeric variable with value labels: a factor whose levels are its values, each labelled
// from the set (a value without a label keeps its number as label).
void label_variate(Column* col, const LabelSet& set) {
    VxsDefaults* g = vxs_get_global_defaults();
    int16_t sort = g->sort_levels;
    g->sort_levels = 1;
    int converted = convert_variate_to_factor(col, 1);
    g->sort_levels = sort;
    if (!converted) return;
    // Only the pairs keyed by a number label a numeric variable's levels.
    std::vector<double> values;
    std::vector<std::string> labels;
    for (size_t k = 0; k < set.values.size(); ++k) {
        if (!set.keys[k].empty()) continue;
        values.push_back(set.values[k]);
        labels.push_back(set.labels[k]);
    }
    vxs_label_levels(col, values, labels, MAX_LABEL);
    raise_width(col);
}

// A string variable with value labels: a factor of its texts, a text equal to a labelled value
// taking that value's label.
void label_text(Column* col, const LabelSet& set, const VxsDefaults& g) {
    if (!convert_text_to_factor(col, g.factor_ignore_case, g.factor_strip_blanks)) return;
    col->longest_label = 0;
    for (std::string& label : col->labels) {
        for (size_t k = 0; k < set.keys.size(); ++k) {
            if (!set.keys[k].empty() && label == set.keys[k]) {
                label = set.labels[k];
                break;
            }
        }
        col->longest_label = std::max(col->longest_label, static_cast<int32_t>(label.size()));
    }
    col->origin = 2;
    raise_width(col);
}

readstat_error_t parse(readstat_parser_t* parser, const char* path, ReadstatKind kind, Context* c) {
    switch (kind) {
        case ReadstatKind::Sas7bdat: return readstat_parse_sas7bdat(parser, path, c);
        case ReadstatKind::Sav: return readstat_parse_sav(parser, path, c);
        case ReadstatKind::Por: return readstat_parse_por(parser, path, c);
        case ReadstatKind::Dta: return readstat_parse_dta(parser, path, c);
        case ReadstatKind::Xport: return readstat_parse_xport(parser, path, c);
    }
    return READSTAT_ERROR_PARSE;
}

// Bytes in memory handed to the library through its I/O handlers.
struct MemoryIo {
    std::string_view bytes;
    readstat_off_t pos = 0;
};

int memory_open(const char*, void*) { return 0; }
int memory_close(void*) { return 0; }

// As lseek: any position from the start on, past the end too (reads there give nothing).
readstat_off_t memory_seek(readstat_off_t offset, readstat_io_flags_t whence, void* ctx) {
    auto* io = static_cast<MemoryIo*>(ctx);
    readstat_off_t base = whence == READSTAT_SEEK_SET   ? 0
                          : whence == READSTAT_SEEK_CUR ? io->pos
                                                        : static_cast<readstat_off_t>(io->bytes.size());
    if (offset < -base || (offset > 0 && base > INT64_MAX - offset)) return -1;
    io->pos = base + offset;
    return io->pos;
}

ssize_t memory_read(void* buf, size_t nbyte, void* ctx) {
    auto* io = static_cast<MemoryIo*>(ctx);
    if (io->pos >= static_cast<readstat_off_t>(io->bytes.size())) return 0;
    size_t at = static_cast<size_t>(io->pos);
    size_t n = std::min(nbyte, io->bytes.size() - at);
    if (n) std::memcpy(buf, io->bytes.data() + at, n);
    io->pos += static_cast<readstat_off_t>(n);
    return static_cast<ssize_t>(n);
}

readstat_error_t memory_update(long, readstat_progress_handler, void*, void*) { return READSTAT_OK; }

// Reads through the library from the path, or from memory when memory is given.
int16_t read_readstat(const char* path, ReadstatKind kind, uint64_t file_size, MemoryIo* memory);

}  // namespace

int16_t read_readstat_into_sheet(const char* path, ReadstatKind kind) {
    struct stat st;
    if (!path || stat(path, &st) != 0) return 0;
    return read_readstat(path, kind, static_cast<uint64_t>(st.st_size), nullptr);
}

int16_t read_readstat_source(VxsSource& src, ReadstatKind kind) {
    if (!src.is_memory()) {
        if (!src.is_open()) return 0;
        return read_readstat_into_sheet(src.name().c_str(), kind);
    }
    MemoryIo io;
    src.whole(io.bytes);
    return read_readstat(src.name().c_str(), kind, io.bytes.size(), &io);
}

namespace {

int16_t read_readstat(const char* path, ReadstatKind kind, uint64_t file_size, MemoryIo* memory) {
    Context c;
    c.kind = kind;
    c.file_size = file_size;
    const VxsDefaults& g = *vxs_get_global_defaults();
    c.keep_missing = g.keep_declared_missing != 0;
    c.strip = g.factor_strip_blanks != 0;
    lastsheet = nullptr;

    readstat_parser_t* parser = readstat_parser_init();
    if (!parser) return 0;
    readstat_set_metadata_handler(parser, on_metadata);
    readstat_set_variable_handler(parser, on_variable);
    readstat_set_value_handler(parser, on_value);
    readstat_set_value_label_handler(parser, on_value_label);
    readstat_set_error_handler(parser, on_error);
    if (memory) {
        readstat_set_open_handler(parser, memory_open);
        readstat_set_close_handler(parser, memory_close);
        readstat_set_seek_handler(parser, memory_seek);
        readstat_set_read_handler(parser, memory_read);
        readstat_set_update_handler(parser, memory_update);
        readstat_set_io_ctx(parser, memory);
    }
    readstat_error_t rc = parse(parser, path, kind, &c);
    readstat_parser_free(parser);
    // A failed read leaves no half-made sheet behind.
    if (rc != READSTAT_OK) {
        std::printf("Error: %.100s: %s.\n", path, readstat_error_message(rc));
        lastsheet = nullptr;
        return 0;
    }
    if (!c.sheet || c.vars.empty() || c.rows < 1 || c.rows > INT32_MAX) {
        lastsheet = nullptr;
        return 0;
    }

    Sheet* sheet = c.sheet;
    sheet->row_count = static_cast<int32_t>(c.rows);
    create_row_attr(sheet);
    const double missing = sheet->missing;
    const size_t rows = static_cast<size_t>(c.rows);
    for (Var& v : c.vars) {
        Column* col = v.col;
        if (col->type == VXS_TEXT) {
            col->text.resize(rows);
            int32_t longest = 0;
            for (size_t i = 0; i < rows; ++i) longest = std::max<int32_t>(longest, int32_t(col->text.get(i).size()));
            col->nlevels = longest;
            continue;
        }
        col->num.resize(rows, missing);
        if (v.date != DateRule::None)
            for (double& x : col->num)
                if (x > missing && x < VXS_NUM_CEILING) x = to_day_number(v, x);
    }
    for (Var& v : c.vars) {
        if (v.set.empty()) continue;
        auto set = c.sets.find(v.set);
        if (set == c.sets.end() || set->second.labels.empty()) continue;
        if (v.col->type == VXS_TEXT)
            label_text(v.col, set->second, g);
        else if (v.date == DateRule::None)
            label_variate(v.col, set->second);
    }
    for (Var& v : c.vars) vxs_set_default_column_width(v.col, 0);
    if (c.cut)
        std::printf("Columns containing text longer than %i have been truncated to this length.\n",
                    static_cast<int>(VXS_MAX_TEXT));
    if (c.large) std::printf("Numbers greater than %s have been set to this value!\n", "9.99999E+307");
    return 1;
}

}  // namespace

int16_t read_sasv8_into_sheet(const char* path) { return read_readstat_into_sheet(path, ReadstatKind::Sas7bdat); }
int16_t read_zsav_into_sheet(const char* path) { return read_readstat_into_sheet(path, ReadstatKind::Sav); }
int16_t read_por_into_sheet(const char* path) { return read_readstat_into_sheet(path, ReadstatKind::Por); }
int16_t read_dta_new_into_sheet(const char* path) { return read_readstat_into_sheet(path, ReadstatKind::Dta); }
int16_t read_xport8_into_sheet(const char* path) { return read_readstat_into_sheet(path, ReadstatKind::Xport); }
