// Excel 2007+ workbooks (.xlsx): the workbook part and its relationships give the sheets, the
// 1904 flag and the defined names; shared strings (rich runs joined, phonetic runs left out),
// cell styles with date formats, and one sheet's cells (numbers, shared and inline strings,
// booleans, cached formula results; errors are no value) go into the cell store.
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "../sheet/vxs_csv.h"
#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_options.h"
#include "../sheet/vxs_sheet.h"
#include "../sheet/vxs_reader_kit.h"
#include "vxs_cells.h"
#include "vxs_workbook.h"
#include "vxs_xls.h"
#include "vxs_zipxml.h"

namespace {

constexpr size_t kMaxName = 60;
constexpr double kDays1904 = VxsEpoch::mac_1904;

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// "A1"-style reference: column and row, 0-based; false when it is not one.
bool parse_ref(std::string_view ref, int64_t* row, int64_t* col) {
    size_t i = 0;
    int64_t c = 0;
    if (i < ref.size() && ref[i] == '$') ++i;
    size_t letters = i;
    while (i < ref.size() && ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z')) && i - letters < 3) {
        c = c * 26 + ((ref[i] | 0x20) - 'a' + 1);
        ++i;
    }
    if (i < ref.size() && ref[i] == '$') ++i;
    int64_t r = 0;
    size_t digits = i;
    while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9' && i - digits < 8) r = r * 10 + (ref[i++] - '0');
    if (col) *col = c - 1;
    if (row) *row = r - 1;
    return (c > 0 || letters == i) && (r > 0 || digits == i) && i == ref.size();
}

struct Relations : XmlHandler {
    std::map<std::string, std::string> targets;
    void start(std::string_view name, const char** a) override {
        if (name != "Relationship") return;
        const char* id = xml_attr(a, "Id");
        const char* target = xml_attr(a, "Target");
        if (id && target) targets[id] = target;
    }
    void end(std::string_view) override {}
};

struct SheetRef {
    std::string name, rel;
};

struct DefinedName {
    std::string name, text;
    int local_sheet = -1;
};

struct Workbook : XmlHandler {
    std::vector<SheetRef> sheets;
    std::vector<DefinedName> names;
    bool date1904 = false;
    bool in_name = false;
    void start(std::string_view name, const char** a) override {
        if (name == "sheet") {
            const char* n = xml_attr(a, "name");
            const char* rid = xml_attr(a, "id");
            sheets.push_back({n ? n : "", rid ? rid : ""});
        } else if (name == "workbookPr") {
            const char* d = xml_attr(a, "date1904");
            date1904 = d && (std::strcmp(d, "1") == 0 || std::strcmp(d, "true") == 0);
        } else if (name == "definedName") {
            const char* n = xml_attr(a, "name");
            const char* local = xml_attr(a, "localSheetId");
            names.push_back({n ? n : "", "", local ? std::atoi(local) : -1});
            in_name = true;
        }
    }
    void end(std::string_view name) override {
        if (name == "definedName") in_name = false;
    }
    void text(std::string_view s) override {
        if (in_name && !names.empty()) names.back().text += s;
    }
};

struct SharedStrings : XmlHandler {
    std::vector<std::string> strings;
    std::string cur;
    bool in_si = false, in_t = false;
    int phonetic = 0;
    void start(std::string_view name, const char**) override {
        if (name == "si") {
            in_si = true;
            cur.clear();
        } else if (name == "rPh") {
            ++phonetic;
        } else if (name == "t" && in_si && !phonetic) {
            in_t = true;
        }
    }
    void end(std::string_view name) override {
        if (name == "si") {
            strings.push_back(cur);
            in_si = false;
        } else if (name == "rPh") {
            --phonetic;
        } else if (name == "t") {
            in_t = false;
        }
    }
    void text(std::string_view s) override {
        if (in_t && cur.size() < 4 * VXS_MAX_TEXT) cur += s;
    }
};

struct Styles : XmlHandler {
    std::map<int, std::string> custom;
    std::vector<int> xf_formats;
    bool in_xfs = false;
    void start(std::string_view name, const char** a) override {
        if (name == "numFmt") {
            const char* id = xml_attr(a, "numFmtId");
            const char* code = xml_attr(a, "formatCode");
            if (id && code) custom[std::atoi(id)] = code;
        } else if (name == "cellXfs") {
            in_xfs = true;
        } else if (name == "xf" && in_xfs) {
            const char* id = xml_attr(a, "numFmtId");
            xf_formats.push_back(id ? std::atoi(id) : 0);
        }
    }
    void end(std::string_view name) override {
        if (name == "cellXfs") in_xfs = false;
    }
    // Date style of each cell format.
    std::vector<CellList::Style> styles() const {
        std::vector<CellList::Style> out;
        for (int id : xf_formats) {
            auto c = custom.find(id);
            int s = c != custom.end() ? xlsx_format_code_style(c->second) : xlsx_builtin_format_style(id);
            out.push_back(static_cast<CellList::Style>(s));
        }
        return out;
    }
};

struct SheetCells : XmlHandler {
    CellList* cells = nullptr;
    const std::vector<std::string>* strings = nullptr;
    std::vector<CellList::Style> styles;
    bool date1904 = false;
    int64_t row = -1, col = -1;
    std::string type, value;
    int style = 0;
    bool capture = false, in_is = false;
    int phonetic = 0;

    void start(std::string_view name, const char** a) override {
        if (name == "row") {
            const char* r = xml_attr(a, "r");
            int64_t n = r ? std::atoll(r) : 0;
            row = n > 0 ? n - 1 : row + 1;
            col = -1;
        } else if (name == "c") {
            const char* r = xml_attr(a, "r");
            int64_t rr = row, cc = col + 1;
            if (r && parse_ref(r, &rr, &cc) && rr >= 0 && cc >= 0) {
                row = rr;
                col = cc;
            } else {
                col = cc;
            }
            const char* t = xml_attr(a, "t");
            type = t ? t : "n";
            const char* s = xml_attr(a, "s");
            style = s ? std::atoi(s) : 0;
            value.clear();
            in_is = false;
        } else if (name == "v") {
            capture = true;
        } else if (name == "is") {
            in_is = true;
        } else if (name == "rPh") {
            ++phonetic;
        } else if (name == "t" && in_is && !phonetic) {
            capture = true;
        }
    }
    void end(std::string_view name) override {
        if (name == "v" || name == "t") {
            capture = false;
        } else if (name == "rPh") {
            --phonetic;
        } else if (name == "is") {
            in_is = false;
        } else if (name == "c") {
            finish();
        }
    }
    void text(std::string_view s) override {
        if (capture && value.size() < 4 * VXS_MAX_TEXT) value += s;
    }
    void finish() {
        if (row < 0 || col < 0) return;
        if (type == "s") {
            char* end = nullptr;
            unsigned long k = std::strtoul(value.c_str(), &end, 10);
            if (end != value.c_str() && strings && k < strings->size()) cells->text(row, col, (*strings)[k]);
        } else if (type == "str" || type == "inlineStr") {
            cells->text(row, col, value);
        } else if (type == "b") {
            if (!value.empty()) cells->number(row, col, value == "0" ? 0.0 : 1.0, CellList::Plain);
        } else if (type == "e") {
            // An error (#DIV/0!, #N/A) holds no value.
        } else if (!value.empty()) {
            bool ok = false, whole = false, overflow = false;
            double v = vxs_read_number(value, ok, whole, overflow);
            if (!ok) return;
            CellList::Style st = style >= 0 && static_cast<size_t>(style) < styles.size() ? styles[static_cast<size_t>(style)]
                                                                                         : CellList::Plain;
            if (st != CellList::Plain && st != CellList::Time && date1904) v += kDays1904;
            cells->number(row, col, v, st);
        }
    }
};

// Part names in relationships are relative to the workbook's folder unless they start with '/'.
std::string part_name(const std::string& target) {
    if (!target.empty() && target[0] == '/') return target.substr(1);
    std::string t = target;
    std::string base = "xl/";
    while (t.compare(0, 3, "../") == 0) {
        t = t.substr(3);
        base = "";
    }
    return base + t;
}

// A defined name's reference ("Sheet1!$A$1:$C$5", "'My sheet'!$B$2") as a range entry.
bool range_of(const DefinedName& d, const std::vector<SheetRef>& sheets, VxsRangeEntry* e) {
    std::string text = d.text;
    size_t bang = text.rfind('!');
    if (bang == std::string::npos || text.find(',') != std::string::npos) return false;
    std::string sheet = text.substr(0, bang);
    if (sheet.size() >= 2 && sheet.front() == '\'' && sheet.back() == '\'') sheet = sheet.substr(1, sheet.size() - 2);
    std::string area = text.substr(bang + 1);
    size_t colon = area.find(':');
    std::string a = area.substr(0, colon), b = colon == std::string::npos ? a : area.substr(colon + 1);
    int64_t r1, c1, r2, c2;
    if (!parse_ref(a, &r1, &c1) || !parse_ref(b, &r2, &c2) || r1 < 0 || c1 < 0 || r2 < 0 || c2 < 0) return false;
    int number = -1;
    for (size_t i = 0; i < sheets.size(); ++i)
        if (sheets[i].name == sheet) number = static_cast<int>(i);
    if (number < 0) return false;
    e->name = upper(d.name.substr(0, kMaxName));
    e->sheet_number = number;
    e->first_row = static_cast<int32_t>(std::min(r1, r2));
    e->last_row = static_cast<int32_t>(std::max(r1, r2));
    e->first_col = static_cast<int32_t>(std::min(c1, c2));
    e->last_col = static_cast<int32_t>(std::max(c1, c2));
    return true;
}

int16_t not_workbook(const char* path) {
    std::printf("Error: %.100s is not an Excel workbook.\n", path);
    return 0;
}

}  // namespace

int xlsx_builtin_format_style(int id) {
    if ((id >= 14 && id <= 17) || (id >= 27 && id <= 31) || (id >= 34 && id <= 36) || (id >= 50 && id <= 58))
        return CellList::Date;
    if (id == 22) return CellList::DateTime;
    if ((id >= 18 && id <= 21) || (id >= 32 && id <= 33) || (id >= 45 && id <= 47)) return CellList::Time;
    return CellList::Plain;
}

int xlsx_format_code_style(const std::string& code) {
    bool date = false, time = false;
    // Only the first section (positive numbers) decides.
    for (size_t i = 0; i < code.size(); ++i) {
        char c = code[i];
        if (c == ';') break;
        if (c == '"') {
            size_t q = code.find('"', i + 1);
            if (q == std::string::npos) break;
            i = q;
            continue;
        }
        if (c == '\\' || c == '_' || c == '*') {
            ++i;
            continue;
        }
        if (c == '[') {
            size_t q = code.find(']', i + 1);
            if (q == std::string::npos) break;
            std::string inner = code.substr(i + 1, q - i - 1);
            // Elapsed hours, minutes or seconds: [h], [mm], [ss].
            if (!inner.empty() && (inner[0] | 0x20) != 'h' && (inner[0] | 0x20) != 'm' && (inner[0] | 0x20) != 's') {
                i = q;
                continue;
            }
            time = true;
            i = q;
            continue;
        }
        char l = static_cast<char>(c | 0x20);
        if (l == 'y' || l == 'd') date = true;
        if (l == 'h' || l == 's') time = true;
        if (l == 'm' && !time) date = true;
        if (l == 'e' && code.compare(i, 7, "General") == 0) i += 6;
        if (l == 'e' && i > 0 && (code[i - 1] == '0' || code[i - 1] == '.' || code[i - 1] == '#')) ++i;
    }
    if (date && time) return CellList::DateTime;
    if (date) return CellList::Date;
    if (time) return CellList::Time;
    return CellList::Plain;
}

int16_t read_xlsx_into_sheet(const char* path) {
    VxsSource src;
    src.open_file(path);
    return read_xlsx_source(src);
}

int16_t read_xlsx_source(VxsSource& src) {
    const std::string name = src.name();
    const char* path = name.c_str();
    ZipArchive zip;
    if (!zip.open(src) || !zip.has("xl/workbook.xml")) return not_workbook(path);
    Workbook book;
    Relations rels;
    if (!zip.parse("xl/workbook.xml", book) || book.sheets.empty()) return not_workbook(path);
    zip.parse("xl/_rels/workbook.xml.rels", rels);

    VxsSelection* sel = xls_selection();
    *sel = VxsSelection{};
    sel->logbook = vxs_options().logbook_in_format;
    for (size_t i = 0; i < book.sheets.size(); ++i)
        sel->sheets.push_back({upper(book.sheets[i].name.substr(0, kMaxName)), 0, static_cast<int32_t>(i)});
    for (const DefinedName& d : book.names) {
        VxsRangeEntry e;
        if (range_of(d, book.sheets, &e)) sel->ranges.push_back(e);
    }
    if (vxs_options().name_dump) vxs_fatal(xls_name_listing(path, *sel).c_str(), 0);
    xls_select_sheet(sel);

    const int32_t nsheets = static_cast<int32_t>(sel->sheets.size());
    int32_t sheet_index = sel->selected;
    CellList cells;
    if (sel->selected < nsheets) {
        sel->last_row = 1048575;
        sel->last_col = 16383;
        xls_parse_cell_range(vxs_options().cell_range.c_str(), sel);
    } else {
        const VxsRangeEntry& range = sel->ranges[static_cast<size_t>(sel->selected - nsheets)];
        xls_bound_to_range(sel, range);
        sheet_index = range.sheet_number;
    }
    // Cells outside the block are not kept, except in the logbook layout, which reads the rows
    // above its header block.
    if (!sel->logbook) {
        cells.min_row = sel->first_row;
        cells.min_col = sel->first_col;
        cells.max_row = sel->last_row;
        cells.max_col = sel->last_col;
    }

    SharedStrings strings;
    if (zip.has("xl/sharedStrings.xml") && !zip.parse("xl/sharedStrings.xml", strings)) return not_workbook(path);
    Styles styles;
    if (zip.has("xl/styles.xml")) zip.parse("xl/styles.xml", styles);

    const SheetRef& ref = book.sheets[static_cast<size_t>(sheet_index)];
    auto target = rels.targets.find(ref.rel);
    std::string part = target != rels.targets.end() ? part_name(target->second)
                                                    : "xl/worksheets/sheet" + std::to_string(sheet_index + 1) + ".xml";
    SheetCells reader;
    reader.cells = &cells;
    reader.strings = &strings.strings;
    reader.styles = styles.styles();
    reader.date1904 = book.date1904;
    if (!zip.parse(part, reader)) return not_workbook(path);
    return static_cast<int16_t>(cells.to_sheet(sel, path, sel->sheets[static_cast<size_t>(sheet_index)].name.c_str()));
}
