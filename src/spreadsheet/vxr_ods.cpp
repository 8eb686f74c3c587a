// OpenDocument spreadsheets (.ods): content.xml gives the tables and named ranges; one table's
// cells (numbers, percentages, currencies, dates, times, booleans, texts) go into the cell
// store. Repeated rows and cells advance the position without making cells unless they hold a
// value, so a row of a million empty cells costs nothing.
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_options.h"
#include "../sheet/vxs_sheet.h"
#include "vxs_cells.h"
#include "vxs_workbook.h"
#include "vxs_xls.h"
#include "vxs_zipxml.h"

namespace {

constexpr size_t kMaxName = 60;
constexpr int64_t kMaxRows = 1048576, kMaxCols = 16384;

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

int64_t repeat_of(const char** a, const char* name) {
    const char* r = xml_attr(a, name);
    if (!r) return 1;
    long long n = std::atoll(r);
    return n < 1 ? 1 : n;
}

// "$Sheet1.$A$1:.$C$5" or "$'My sheet'.$B$2": the table name and the corners.
bool parse_address(const std::string& text, std::string* table, int64_t* r1, int64_t* c1, int64_t* r2, int64_t* c2) {
    auto corner = [](std::string_view s, int64_t* row, int64_t* col) {
        size_t dot = s.rfind('.');
        if (dot != std::string_view::npos) s = s.substr(dot + 1);
        int64_t c = 0, r = 0;
        size_t i = 0;
        if (i < s.size() && s[i] == '$') ++i;
        while (i < s.size() && ((s[i] | 0x20) >= 'a' && (s[i] | 0x20) <= 'z') && c < kMaxCols) c = c * 26 + ((s[i++] | 0x20) - 'a' + 1);
        if (i < s.size() && s[i] == '$') ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9' && r < kMaxRows) r = r * 10 + (s[i++] - '0');
        *row = r - 1;
        *col = c - 1;
        return c > 0 && r > 0 && i == s.size();
    };
    std::string_view t(text);
    size_t colon = t.find(':');
    std::string_view a = t.substr(0, colon), b = colon == std::string_view::npos ? a : t.substr(colon + 1);
    size_t dot = a.rfind('.');
    if (dot == std::string_view::npos) return false;
    std::string name(a.substr(0, dot));
    if (!name.empty() && name[0] == '$') name.erase(0, 1);
    if (name.size() >= 2 && name.front() == '\'' && name.back() == '\'') name = name.substr(1, name.size() - 2);
    *table = name;
    return corner(a, r1, c1) && corner(b, r2, c2);
}

struct Tables : XmlHandler {
    std::vector<std::string> names;
    struct Named {
        std::string name, address;
    };
    std::vector<Named> ranges;
    void start(std::string_view name, const char** a) override {
        if (name == "table") {
            const char* n = xml_attr(a, "name");
            names.push_back(n ? n : "");
        } else if (name == "named-range") {
            const char* n = xml_attr(a, "name");
            const char* addr = xml_attr(a, "cell-range-address");
            if (n && addr) ranges.push_back({n, addr});
        }
    }
    void end(std::string_view) override {}
};

// ISO date "2020-02-29" or "2020-02-29T12:30:00" as a serial day number.
bool date_value(const char* s, double* out, bool* with_time) {
    long y, m, d, hh = 0, mm = 0;
    double ss = 0;
    int n = std::sscanf(s, "%ld-%ld-%ldT%ld:%ld:%lf", &y, &m, &d, &hh, &mm, &ss);
    if (n < 3 || m < 1 || m > 12 || d < 1 || d > 31) return false;
    *with_time = n >= 5 && (hh || mm || ss);
    *out = vxs_serial_of_date(y, m, d) + (hh * 3600 + mm * 60 + ss) / 86400.0;
    return true;
}

// Duration "PT12H30M00S" (or with a day part) as a fraction of a day.
bool time_value(const char* s, double* out) {
    if (s[0] != 'P') return false;
    double days = 0, total = 0;
    bool in_time = false;
    for (const char* p = s + 1; *p;) {
        if (*p == 'T') {
            in_time = true;
            ++p;
            continue;
        }
        char* end = nullptr;
        double v = std::strtod(p, &end);
        if (end == p || !*end) return false;
        char unit = *end;
        if (unit == 'D') days += v;
        else if (in_time && unit == 'H') total += v * 3600;
        else if (in_time && unit == 'M') total += v * 60;
        else if (in_time && unit == 'S') total += v;
        else return false;
        p = end + 1;
    }
    *out = days + total / 86400.0;
    return true;
}

struct TableCells : XmlHandler {
    CellList* cells = nullptr;
    int target = 0;
    int table = -1;
    int depth = 0;  // inside the target table
    int64_t row = 0, col = 0;
    int64_t row_repeat = 1, col_repeat = 1;
    size_t row_first_cell = 0;
    // Current cell.
    bool in_cell = false, has_value = false, is_text = false;
    double number = 0;
    CellList::Style style = CellList::Plain;
    std::string content;
    int paragraphs = 0;
    bool in_p = false;
    int annotation = 0;

    void start(std::string_view name, const char** a) override {
        if (name == "table") {
            ++table;
            if (table == target) depth = 1;
            else if (depth) ++depth;
            return;
        }
        if (depth != 1) return;
        if (name == "table-row") {
            row_repeat = repeat_of(a, "number-rows-repeated");
            col = 0;
            row_first_cell = cells->size();
        } else if (name == "table-cell" || name == "covered-table-cell") {
            col_repeat = repeat_of(a, "number-columns-repeated");
            in_cell = true;
            has_value = is_text = false;
            style = CellList::Plain;
            content.clear();
            paragraphs = 0;
            const char* type = xml_attr(a, "value-type");
            if (!type) return;
            bool with_time = false;
            if (!std::strcmp(type, "float") || !std::strcmp(type, "percentage") || !std::strcmp(type, "currency")) {
                const char* v = xml_attr(a, "value");
                if (v) {
                    number = std::strtod(v, nullptr);
                    has_value = true;
                }
            } else if (!std::strcmp(type, "date")) {
                const char* v = xml_attr(a, "date-value");
                if (v && date_value(v, &number, &with_time)) {
                    has_value = true;
                    style = with_time ? CellList::DateTime : CellList::Date;
                }
            } else if (!std::strcmp(type, "time")) {
                const char* v = xml_attr(a, "time-value");
                if (v && time_value(v, &number)) {
                    has_value = true;
                    style = CellList::Time;
                }
            } else if (!std::strcmp(type, "boolean")) {
                const char* v = xml_attr(a, "boolean-value");
                if (v) {
                    number = !std::strcmp(v, "true") ? 1.0 : 0.0;
                    has_value = true;
                }
            } else if (!std::strcmp(type, "string")) {
                const char* v = xml_attr(a, "string-value");
                is_text = true;
                if (v) content = v;
            }
        } else if (in_cell && name == "annotation") {
            ++annotation;
        } else if (in_cell && !annotation && name == "p") {
            if (paragraphs++) content += '\n';
            in_p = true;
        } else if (in_cell && in_p && !annotation && name == "s") {
            int64_t n = repeat_of(a, "c");
            content.append(static_cast<size_t>(std::min<int64_t>(n, 100)), ' ');
        } else if (in_cell && in_p && !annotation && name == "tab") {
            content += '\t';
        }
    }
    void end(std::string_view name) override {
        if (name == "table") {
            if (depth) --depth;
            return;
        }
        if (depth != 1) return;
        if (name == "annotation") {
            --annotation;
        } else if (name == "p") {
            in_p = false;
        } else if (name == "table-cell" || name == "covered-table-cell") {
            finish_cell();
        } else if (name == "table-row") {
            // A repeated row with values is written out once per repeat, within the sheet and
            // the cell ceiling; empty repeats only move the position.
            if (cells->size() > row_first_cell) {
                for (int64_t k = 1; k < row_repeat && row + k < kMaxRows; ++k) cells->repeat_row(row_first_cell, row + k);
            }
            row += row_repeat;
        }
    }
    void text_in(std::string_view s) {
        if (in_cell && in_p && !annotation && content.size() < 4 * VXS_MAX_TEXT) content += s;
    }
    void text(std::string_view s) override { text_in(s); }

    void finish_cell() {
        in_cell = false;
        if (row >= kMaxRows) return;
        bool value = has_value || (is_text && !content.empty());
        for (int64_t k = 0; value && k < col_repeat && col + k < kMaxCols; ++k) {
            if (has_value)
                cells->number(row, col + k, number, style);
            else
                cells->text(row, col + k, content);
        }
        col += col_repeat;
    }
};

int16_t not_workbook(const char* path) {
    std::printf("Error: %.100s is not an OpenDocument spreadsheet.\n", path);
    return 0;
}

}  // namespace

int16_t read_ods_into_sheet(const char* path) {
    ZipArchive zip;
    Tables tables;
    if (!zip.open(path) || !zip.parse("content.xml", tables) || tables.names.empty()) return not_workbook(path);

    VxsSelection* sel = xls_selection();
    *sel = VxsSelection{};
    sel->logbook = vxs_options().logbook_in_format;
    for (size_t i = 0; i < tables.names.size(); ++i)
        sel->sheets.push_back({upper(tables.names[i].substr(0, kMaxName)), 0, static_cast<int32_t>(i)});
    for (const auto& r : tables.ranges) {
        std::string table;
        int64_t r1, c1, r2, c2;
        if (!parse_address(r.address, &table, &r1, &c1, &r2, &c2)) continue;
        for (size_t i = 0; i < tables.names.size(); ++i) {
            if (tables.names[i] != table) continue;
            VxsRangeEntry e;
            e.name = upper(r.name.substr(0, kMaxName));
            e.sheet_number = static_cast<int32_t>(i);
            e.first_row = static_cast<int32_t>(std::min(r1, r2));
            e.last_row = static_cast<int32_t>(std::max(r1, r2));
            e.first_col = static_cast<int32_t>(std::min(c1, c2));
            e.last_col = static_cast<int32_t>(std::max(c1, c2));
            sel->ranges.push_back(e);
            break;
        }
    }
    if (vxs_options().name_dump) vxs_fatal(xls_name_listing(path, *sel).c_str(), 0);
    xls_select_sheet(sel);

    const int32_t nsheets = static_cast<int32_t>(sel->sheets.size());
    int32_t sheet_index = sel->selected;
    if (sel->selected < nsheets) {
        sel->last_row = kMaxRows - 1;
        sel->last_col = kMaxCols - 1;
        xls_parse_cell_range(vxs_options().cell_range.c_str(), sel);
    } else {
        const VxsRangeEntry& range = sel->ranges[static_cast<size_t>(sel->selected - nsheets)];
        xls_bound_to_range(sel, range);
        sheet_index = range.sheet_number;
    }
    CellList cells;
    if (!sel->logbook) {
        cells.min_row = sel->first_row;
        cells.min_col = sel->first_col;
        cells.max_row = sel->last_row;
        cells.max_col = sel->last_col;
    }
    TableCells reader;
    reader.cells = &cells;
    reader.target = sheet_index;
    if (!zip.parse("content.xml", reader)) return not_workbook(path);
    return static_cast<int16_t>(cells.to_sheet(sel, path, sel->sheets[static_cast<size_t>(sheet_index)].name.c_str()));
}
