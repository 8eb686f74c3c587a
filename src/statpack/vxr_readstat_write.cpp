// SPSS (.sav) and Stata 14+ (.dta release 118) writers through ReadStat: names made valid for
// the target, descriptions as variable labels, factors as labelled numbers, texts in UTF-8,
// dates in the target's own date encoding, missing values as system-missing.
#include <readstat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "../sheet/byte_writer.h"
#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_strings.h"
#include "../sheet/vxs_cp1252.h"
#include "../sheet/vxs_sheet_cells.h"
#include "../sheet/vxs_reader_kit.h"
#include "vxr_readstat.h"
#include "vxr_spss.h"
#include "vxs_stata_dates.h"

namespace {

enum class Target { Sav, Dta };

ssize_t write_bytes(const void* data, size_t len, void* ctx) {
    return std::fwrite(data, 1, len, static_cast<FILE*>(ctx)) == len ? static_cast<ssize_t>(len) : -1;
}

// A name both formats accept: letters, digits and '_' (SPSS also '.', '@', '#', '$'), starting
// with a letter; at most 32 characters (Stata's limit; SPSS allows 64); unique without regard to
// case.
std::string target_name(const std::string& name, size_t index, std::vector<std::string>& taken) {
    std::string n;
    for (char c : name) {
        bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        n += ok ? c : '_';
    }
    if (n.empty() || !((n[0] >= 'A' && n[0] <= 'Z') || (n[0] >= 'a' && n[0] <= 'z'))) n = "V" + n;
    n.resize(std::min<size_t>(n.size(), 32));
    auto used = [&](const std::string& x) {
        for (const std::string& t : taken)
            if (stricmp(t.c_str(), x.c_str()) == 0) return true;
        return false;
    };
    if (used(n)) {
        for (size_t k = index + 1;; ++k) {
            std::string suffix = "_" + std::to_string(k);
            std::string m = n.substr(0, 32 - suffix.size()) + suffix;
            if (!used(m)) {
                n = m;
                break;
            }
        }
    }
    taken.push_back(n);
    return n;
}

bool integral(double v) { return std::fabs(v) < 2e9 && v == std::floor(v); }

// A factor without labels is written as its level values.
enum class Kind { Number, Date, Text, Factor, Levels };

Kind kind_of(const Column* col) {
    switch (vxs_cell_kind(col)) {
        case CellKind::Number: return Kind::Number;
        case CellKind::Date: return Kind::Date;
        case CellKind::Text: return Kind::Text;
        case CellKind::Factor: return Kind::Factor;
    }
    return Kind::Number;
}

struct Out {
    const Column* col;
    readstat_variable_t* var = nullptr;
    Kind kind;
    bool by_index = false;  // factor written as level numbers (non-integer levels in Stata)
    bool time_only = false;
    bool with_time = false;
};

// SPSS counts seconds from 14 October 1582, serial day -115859.
constexpr double SPSS_EPOCH_DAY = VxsEpoch::spss;

// Serial day number before 1 March 1900 back onto the continuous day count.
double continuous(double serial) { return serial < 60 ? serial + 1 : serial; }

int16_t write_with_readstat(Sheet* sheet, const char* path, Target target) {
    if (!sheet || sheet->column_count < 1) return 0;
    FILE* f = vxs_create_output_file(path);
    if (!f) {
        std::printf("Error: Cannot create %.100s!\n", path);
        return 0;
    }
    readstat_writer_t* w = readstat_writer_init();
    readstat_set_data_writer(w, write_bytes);
    if (target == Target::Dta) readstat_writer_set_file_format_version(w, 118);
    if (target == Target::Sav) readstat_writer_set_compression(w, READSTAT_COMPRESS_ROWS);
    if (!sheet->description_lines.empty())
        readstat_writer_set_file_label(w, vxs_cp1252_to_utf8(sheet->description_lines[0].substr(0, 80)).c_str());

    std::vector<Out> outs;
    std::vector<std::string> taken;
    for (int32_t c = 1; c <= sheet->column_count && c < static_cast<int32_t>(sheet->cols.size()); ++c) {
        const Column* col = sheet->cols[static_cast<size_t>(c)].get();
        Out o{col, nullptr, kind_of(col)};
        std::string name = target_name(col->name, outs.size(), taken);
        if (o.kind == Kind::Text) {
            size_t width = 1;
            for (size_t r = 0; r < col->text.size(); ++r) width = std::max(width, vxs_cp1252_to_utf8(col->text.get(r)).size());
            o.var = readstat_add_variable(w, name.c_str(), READSTAT_TYPE_STRING, width);
        } else if (o.kind == Kind::Factor && col->labels_present() == 0) {
            // Levels without labels: the level values are the data.
            o.kind = Kind::Levels;
            o.var = readstat_add_variable(w, name.c_str(), READSTAT_TYPE_DOUBLE, 0);
        } else if (o.kind == Kind::Factor) {
            int32_t n = vxs_level_count(col);
            for (int32_t k = 1; k <= n; ++k)
                if (target == Target::Dta && !integral(vxs_level_value(col, k))) o.by_index = true;
            readstat_type_t type = target == Target::Dta ? READSTAT_TYPE_INT32 : READSTAT_TYPE_DOUBLE;
            readstat_label_set_t* set = readstat_add_label_set(w, type, name.c_str());
            for (int32_t k = 1; k <= n; ++k) {
                std::string label = vxs_cp1252_to_utf8(vxs_level_label(col, k));
                double v = o.by_index ? k : vxs_level_value(col, k);
                if (target == Target::Dta)
                    readstat_label_int32_value(set, static_cast<int32_t>(v), label.c_str());
                else
                    readstat_label_double_value(set, v, label.c_str());
            }
            o.var = readstat_add_variable(w, name.c_str(), type, 0);
            readstat_variable_set_label_set(o.var, set);
            readstat_variable_set_measure(o.var, READSTAT_MEASURE_NOMINAL);
        } else {
            o.var = readstat_add_variable(w, name.c_str(), READSTAT_TYPE_DOUBLE, 0);
            if (o.kind == Kind::Date) {
                o.time_only = col->date_format >= 36 && col->date_format <= 38;
                bool with_time = false;
                for (double v : col->num)
                    if (v > sheet->missing && v != std::floor(v)) with_time = true;
                o.with_time = with_time;
                const char* format = target == Target::Sav
                                         ? (o.time_only ? "TIME8" : with_time ? "DATETIME20" : "DATE11")
                                         : (o.time_only ? "%tcHH:MM:SS" : with_time ? "%tc" : "%td");
                readstat_variable_set_format(o.var, format);
            } else if (col->decimals >= 0 && target == Target::Sav) {
                std::string format = "F" + std::to_string(std::max(8, col->decimals + 3)) + "." + std::to_string(std::min(col->decimals, 16));
                readstat_variable_set_format(o.var, format.c_str());
            }
        }
        if (!col->extra.empty()) {
            std::string label = col->extra;
            size_t b = label.find_first_not_of(' ');
            label = b == std::string::npos ? "" : label.substr(b);
            if (!label.empty()) readstat_variable_set_label(o.var, vxs_cp1252_to_utf8(label).c_str());
        }
        outs.push_back(o);
    }

    readstat_error_t rc = target == Target::Sav ? readstat_begin_writing_sav(w, f, sheet->row_count)
                                                 : readstat_begin_writing_dta(w, f, sheet->row_count);
    std::string utf8;
    for (int32_t r = 0; rc == READSTAT_OK && r < sheet->row_count; ++r) {
        const size_t row = static_cast<size_t>(r);
        rc = readstat_begin_row(w);
        for (const Out& o : outs) {
            if (rc != READSTAT_OK) break;
            const Column* col = o.col;
            switch (o.kind) {
                case Kind::Text:
                    utf8.clear();
                    if (row < col->text.size()) vxs_cp1252_to_utf8(col->text.get(row), utf8);
                    rc = readstat_insert_string_value(w, o.var, utf8.c_str());
                    break;
                case Kind::Factor:
                    if (!vxs_has_number(col, row)) {
                        rc = readstat_insert_missing_value(w, o.var);
                    } else {
                        int32_t level = static_cast<int32_t>(col->num[row]);
                        double v = o.by_index ? level : vxs_level_value(col, level);
                        rc = target == Target::Dta ? readstat_insert_int32_value(w, o.var, static_cast<int32_t>(v))
                                                   : readstat_insert_double_value(w, o.var, v);
                    }
                    break;
                case Kind::Date: {
                    if (!vxs_has_number(col, row)) {
                        rc = readstat_insert_missing_value(w, o.var);
                        break;
                    }
                    double serial = vxs_serial_of_cell(col, col->num[row]);
                    double v;
                    if (o.time_only) {
                        double frac = serial - std::floor(serial);
                        v = target == Target::Sav ? std::round(frac * 86400.0) : std::round(frac * 86400000.0);
                    } else {
                        double days = continuous(serial);
                        if (target == Target::Sav) {
                            v = std::round((days - SPSS_EPOCH_DAY) * 86400.0);
                        } else {
                            v = days - STATA_DATE_EPOCH_SERIAL;
                            if (o.with_time) v = std::round(v * 86400000.0);
                        }
                    }
                    rc = readstat_insert_double_value(w, o.var, v);
                    break;
                }
                case Kind::Number:
                    rc = vxs_has_number(col, row) ? readstat_insert_double_value(w, o.var, col->num[row])
                                                  : readstat_insert_missing_value(w, o.var);
                    break;
                case Kind::Levels:
                    rc = vxs_has_number(col, row)
                             ? readstat_insert_double_value(w, o.var, vxs_level_value(col, static_cast<int32_t>(col->num[row])))
                             : readstat_insert_missing_value(w, o.var);
                    break;
            }
        }
        if (rc == READSTAT_OK) rc = readstat_end_row(w);
    }
    if (rc == READSTAT_OK) rc = readstat_end_writing(w);
    readstat_writer_free(w);
    bool closed = std::fclose(f) == 0;
    if (rc != READSTAT_OK || !closed) {
        std::printf("Error: %.100s: %s.\n", path, readstat_error_message(rc));
        return 0;
    }
    return 1;
}

}  // namespace

int16_t write_sheet_as_sav(Sheet* sheet, const char* path) { return write_with_readstat(sheet, path, Target::Sav); }
int16_t write_sheet_as_dta(Sheet* sheet, const char* path) { return write_with_readstat(sheet, path, Target::Dta); }
