// Weka ARFF files: the header's relation and attributes become a sheet (numeric attributes
// variates, dates date variates, nominal attributes factors with labels, strings texts), then
// the data rows, dense or sparse; and any sheet written back as ARFF that Weka reads.
#include "vxr_weka.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_strings.h"
#include "../sheet/byte_writer.h"
#include "../sheet/vxs_access.h"
#include "../sheet/vxs_conv.h"
#include "../sheet/vxs_dates.h"
#include "../sheet/vxs_options.h"
#include "../sheet/vxs_sheet.h"
#include "../sheet/vxs_txtnum.h"

int32_t get_weka_line(std::string& buffer, FILE* file) {
    buffer.clear();
    bool any = false;
    char chunk[4096];
    while (std::fgets(chunk, sizeof chunk, file)) {
        any = true;
        size_t n = std::strlen(chunk);
        bool end = n > 0 && chunk[n - 1] == '\n';
        if (end) --n;
        if (buffer.size() < WEKA_MAX_LINE)
            buffer.append(chunk, std::min(n, WEKA_MAX_LINE - buffer.size()));
        if (end) break;
    }
    if (!any) return -1;
    for (char& c : buffer)
        if (static_cast<unsigned char>(c) < 32) c = ' ';
    size_t last = buffer.find_last_not_of(' ');
    buffer.resize(last == std::string::npos ? 0 : last + 1);
    return static_cast<int32_t>(buffer.size());
}

std::string weka_quote(std::string_view text, bool force) {
    bool quote = force || text.empty() || text == "?";
    for (char c : text)
        if (std::strchr(" ,'\"%{}\\\t\n\r", c) && c) quote = true;
    if (!quote) return std::string(text);
    std::string q = "'";
    for (char c : text) {
        switch (c) {
            case '\\': q += "\\\\"; break;
            case '\'': q += "\\'"; break;
            case '"': q += "\\\""; break;
            case '%': q += "\\%"; break;
            case '\t': q += "\\t"; break;
            case '\n': q += "\\n"; break;
            case '\r': q += "\\r"; break;
            default: q += c;
        }
    }
    return q + "'";
}

namespace {

enum class AttrKind { Numeric, Text, Nominal, Date };

struct Attribute {
    std::string name;
    AttrKind kind = AttrKind::Text;
    std::vector<std::string> labels;
    int32_t date_code = 34;
    bool iso_t = false;  // the layout has 'T' between date and time
    std::unordered_map<std::string, int32_t> index;  // lower-case label to level number
};

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool starts_nocase(std::string_view s, const char* word) {
    size_t n = std::strlen(word);
    return s.size() >= n && strnicmp(s.data(), word, n) == 0;
}

void skip_blanks(std::string_view& s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
}

// One token: quoted (single or double quotes, backslash escapes) or up to the first character
// of stops. quoted tells which it was.
std::string take_token(std::string_view& s, const char* stops, bool* quoted = nullptr) {
    skip_blanks(s);
    std::string out;
    if (quoted) *quoted = false;
    if (!s.empty() && (s.front() == '\'' || s.front() == '"')) {
        char q = s.front();
        s.remove_prefix(1);
        if (quoted) *quoted = true;
        while (!s.empty() && s.front() != q) {
            char c = s.front();
            s.remove_prefix(1);
            if (c == '\\' && !s.empty()) {
                c = s.front();
                s.remove_prefix(1);
                if (c == 'n') c = '\n';
                else if (c == 't') c = '\t';
                else if (c == 'r') c = '\r';
            }
            out += c;
        }
        if (!s.empty()) s.remove_prefix(1);
        return out;
    }
    size_t end = 0;
    while (end < s.size() && !std::strchr(stops, s[end])) ++end;
    out.assign(s.substr(0, end));
    s.remove_prefix(end);
    size_t last = out.find_last_not_of(' ');
    out.resize(last == std::string::npos ? 0 : last + 1);
    return out;
}

// Java date layouts of real files mapped to the date codes they read as.
void set_date_layout(Attribute& a, const std::string& layout) {
    struct Map {
        const char* layout;
        int32_t code;
    };
    static const Map kMaps[] = {
        {"yyyy-MM-dd'T'HH:mm:ss", 34}, {"yyyy-MM-dd HH:mm:ss", 34}, {"yyyy-MM-dd", 27},
        {"yyyy/MM/dd", 20},           {"yyyyMMdd", 18},             {"dd/MM/yyyy", 2},
        {"dd-MM-yyyy", 2},            {"dd.MM.yyyy", 2},            {"dd/MM/yy", 1},
        {"MM/dd/yyyy", 24},           {"MM/dd/yy", 23},             {"HH:mm:ss", 36},
    };
    a.date_code = 34;
    a.iso_t = true;  // Weka's own default layout
    if (layout.empty()) return;
    for (const Map& m : kMaps) {
        if (layout == m.layout) {
            a.date_code = m.code;
            a.iso_t = layout.find("'T'") != std::string::npos;
            return;
        }
    }
    a.iso_t = layout.find("'T'") != std::string::npos;
}

// "@ATTRIBUTE name type": the type by its word in any case; INTEGER and REAL are numeric, any
// other unknown word (relational, for example) text.
Attribute parse_attribute(std::string_view s) {
    Attribute a;
    a.name = vxs_strip_blanks(take_token(s, " {"), VXS_MAX_NAME);
    skip_blanks(s);
    if (!s.empty() && s.front() == '{') {
        a.kind = AttrKind::Nominal;
        s.remove_prefix(1);
        for (;;) {
            bool quoted = false;
            std::string label = take_token(s, ",}", &quoted);
            if (!label.empty() || quoted) {
                a.labels.push_back(vxs_strip_blanks(label, VXS_MAX_NAME));
                std::string key = a.labels.back();
                for (char& c : key) c = lower(c);
                a.index.emplace(key, static_cast<int32_t>(a.labels.size()));
            }
            skip_blanks(s);
            if (s.empty() || s.front() == '}') break;
            s.remove_prefix(1);  // ','
        }
        return a;
    }
    std::string word = take_token(s, " ");
    if (starts_nocase(word, "NUMERIC") || starts_nocase(word, "REAL") || starts_nocase(word, "INTEGER")) {
        a.kind = AttrKind::Numeric;
    } else if (starts_nocase(word, "DATE")) {
        a.kind = AttrKind::Date;
        set_date_layout(a, take_token(s, " "));
    } else {
        a.kind = AttrKind::Text;
    }
    return a;
}

struct Reader {
    std::vector<Attribute> attrs;
    std::vector<Column*> cols;
    double missing = 0;
    double date_zero = 0;  // 1 January 1970, the date of a sparse row's omitted value
    std::string token;

    void store(size_t k, size_t row, std::string& value, bool quoted) {
        if (k >= cols.size() || !cols[k]) return;
        Column* col = cols[k];
        const Attribute& a = attrs[k];
        if (!quoted && value == "?") {
            if (col->is_text())
                col->text.set(row, "");
            else
                col->num[row] = missing;
            return;
        }
        switch (a.kind) {
            case AttrKind::Numeric: {
                double x = std::atof(value.c_str());
                if (std::isnan(x) || x <= missing) x = missing;
                col->num[row] = x > VXS_NUM_CEILING ? VXS_NUM_CEILING : x;
                break;
            }
            case AttrKind::Date: {
                if (a.iso_t && value.size() > 10 && value[10] == 'T') value[10] = ' ';
                double x = missing;
                if (vxs_read_date(value, &x, col->gregorian, a.date_code, missing)) col->num[row] = x;
                break;
            }
            case AttrKind::Nominal: {
                // Labels were kept blank-stripped and cut to 40 characters; values are matched
                // the same way, without regard to case. Unmatched values are missing.
                std::string key = vxs_strip_blanks(value, VXS_MAX_NAME);
                for (char& c : key) c = lower(c);
                auto it = a.index.find(key);
                col->num[row] = it == a.index.end() ? missing : static_cast<double>(it->second);
                break;
            }
            case AttrKind::Text:
                col->text.set(row, vxs_strip_blanks(value, VXS_MAX_TEXT));
                break;
        }
    }

    void dense_row(std::string_view s, size_t row) {
        for (size_t k = 0; k < attrs.size(); ++k) {
            bool quoted = false;
            token = take_token(s, ",", &quoted);
            store(k, row, token, quoted);
            skip_blanks(s);
            if (s.empty()) break;
            s.remove_prefix(1);  // ','
        }
    }

    // "{index value, ...}": an omitted value is 0 for a numeric attribute and the first label
    // for a nominal one, as ARFF defines sparse rows.
    void sparse_row(std::string_view s, size_t row) {
        for (size_t k = 0; k < attrs.size(); ++k) {
            if (!cols[k]) continue;
            if (attrs[k].kind == AttrKind::Numeric) cols[k]->num[row] = 0;
            if (attrs[k].kind == AttrKind::Nominal && !attrs[k].labels.empty()) cols[k]->num[row] = 1;
            if (attrs[k].kind == AttrKind::Date) cols[k]->num[row] = date_zero;
        }
        s.remove_prefix(1);
        for (;;) {
            skip_blanks(s);
            if (s.empty() || s.front() == '}') break;
            size_t digits = 0;
            while (digits < s.size() && s[digits] >= '0' && s[digits] <= '9') ++digits;
            if (digits == 0 || digits > 9) break;
            size_t k = static_cast<size_t>(std::atol(std::string(s.substr(0, digits)).c_str()));
            s.remove_prefix(digits);
            bool quoted = false;
            token = take_token(s, ",}", &quoted);
            if (k < attrs.size()) store(k, row, token, quoted);
            skip_blanks(s);
            if (s.empty() || s.front() == '}') break;
            s.remove_prefix(1);  // ','
        }
    }
};

bool is_data_line(const std::string& line) {
    size_t b = line.find_first_not_of(' ');
    return b != std::string::npos && line[b] != '%';
}

}  // namespace

int16_t read_weka_into_sheet(const char* path) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return 0;
    Sheet* sheet = create_sheet();
    sheet->source_type = VXT_WEKA;
    sheet->missing = vxs_missing;
    Reader rd;
    rd.missing = sheet->missing;
    std::string line;
    bool in_comments = true, data = false, warned = false;
    while (!data && get_weka_line(line, f) >= 0) {
        std::string_view s(line);
        skip_blanks(s);
        if (s.empty()) continue;
        if (s.front() == '%') {
            if (in_comments && s.size() > 1) vxs_add_line_to_description(sheet, s.substr(1));
            continue;
        }
        in_comments = false;
        if (starts_nocase(s, "@RELATION")) {
            s.remove_prefix(9);
            sheet->structure_name = vxs_strip_blanks(take_token(s, " "), VXS_MAX_NAME);
        } else if (starts_nocase(s, "@ATTRIBUTE")) {
            s.remove_prefix(10);
            if (static_cast<int32_t>(rd.attrs.size()) >= VXSMAXCOLUMNS) {
                if (!warned)
                    std::printf("Warning Columns above %li NOT transfered!\n", static_cast<long>(VXSMAXCOLUMNS));
                warned = true;
                rd.attrs.push_back(Attribute{});  // kept for its place in the rows, read into nothing
                rd.attrs.back().name.clear();
                continue;
            }
            rd.attrs.push_back(parse_attribute(s));
        } else if (starts_nocase(s, "@DATA")) {
            data = true;
        }
    }
    long data_start = std::ftell(f);
    int32_t rows = 0;
    while (data && get_weka_line(line, f) >= 0)
        if (is_data_line(line)) ++rows;
    if (rd.attrs.empty() || rows == 0) {
        std::printf("No valid data found in WEKA ARFF file!\n");
        std::fclose(f);
        return 0;
    }
    sheet->row_count = rows;
    create_row_attr(sheet);
    rd.date_zero = vxs_day_number(1, 1, 1970);
    const size_t usable = std::min(rd.attrs.size(), static_cast<size_t>(VXSMAXCOLUMNS));
    rd.cols.assign(rd.attrs.size(), nullptr);
    for (size_t k = 0; k < usable; ++k) {
        Attribute& a = rd.attrs[k];
        std::string name = a.name;
        make_valid_vantrix_name(name);
        int32_t type = a.kind == AttrKind::Text ? VXS_TEXT : a.kind == AttrKind::Nominal ? VXS_FACTOR : VXS_VARIATE;
        Column* col = create_column_with_memory(sheet, type, name, rows);
        if (!col) break;
        if (a.kind == AttrKind::Nominal) {
            col->labels = a.labels;
            col->nlevels = static_cast<int32_t>(a.labels.size());
            col->origin = 2;
            col->longest_label = 0;
            for (const auto& l : a.labels)
                col->longest_label = std::max(col->longest_label, static_cast<int32_t>(l.size()));
            col->text_capacity = 41;
        } else if (a.kind == AttrKind::Date) {
            col->representation = VXS_REP_DATE;
            col->date_format = a.date_code;
        }
        rd.cols[k] = col;
    }
    std::fseek(f, data_start, SEEK_SET);
    size_t row = 0;
    while (row < static_cast<size_t>(rows) && get_weka_line(line, f) >= 0) {
        if (!is_data_line(line)) continue;
        std::string_view s(line);
        skip_blanks(s);
        if (s.front() == '{')
            rd.sparse_row(s, row);
        else
            rd.dense_row(s, row);
        ++row;
    }
    std::fclose(f);
    for (Column* col : rd.cols)
        if (col) vxs_set_default_column_width(col, 0);
    return 1;
}

namespace {

std::string relation_from_path(const char* path) {
    std::string base = path;
    size_t cut = base.find_last_of("\\/:");
    if (cut != std::string::npos) base = base.substr(cut + 1);
    size_t dot = base.rfind('.');
    if (dot != std::string::npos) base.resize(dot);
    return base.substr(0, VXS_MAX_NAME);
}

// A level's text as the declaration names it: its label, else its value (a date when the
// column holds dates), else its number.
std::string level_text(const Column* col, size_t k, double missing) {
    if (col->labels_present() > 0) return k < col->labels.size() ? col->labels[k] : std::string();
    char buf[64];
    double v = col->levels_present() > 0 ? (k < col->levels.size() ? col->levels[k] : missing)
                                         : static_cast<double>(k + 1);
    if (col->representation == VXS_REP_DATE && v > missing) {
        vxs_write_date(buf, v, col->gregorian, 34);
    } else {
        std::snprintf(buf, sizeof buf, "%.12g", v);
    }
    return buf;
}

}  // namespace

int16_t write_sheet_as_weka(Sheet* sheet, const char* path) {
    if (!sheet || sheet->row_count < 1 || sheet->column_count < 1 || sheet->cols.size() < 2) return 0;
    ByteWriter out(Endian::Little);
    if (!out.open(path)) {
        std::printf("Error: In Writing WEKA File - could not open file: %.100s\n", path);
        return 0;
    }
    const double missing = sheet->missing;
    const int16_t strip = vxs_get_global_defaults()->factor_strip_blanks;
    for (size_t i = 1; i < sheet->cols.size(); ++i) {
        Column* col = sheet->cols[i].get();
        if (col->is_text() && vxs_column_unique_items(col) == 1) convert_text_to_factor(col, 0, strip);
    }
    if (sheet->structure_name.empty()) sheet->structure_name = relation_from_path(path);

    out.bytes("%\n% Weka ARFF file written by Morvalen\n%\n");
    for (const std::string& line : sheet->description_lines) {
        out.bytes(line.empty() || line[0] == ' ' ? "%" : "% ");
        out.bytes(line);
        out.bytes("\n");
    }
    out.bytes("%\n@RELATION ");
    out.bytes(weka_quote(sheet->structure_name, true));
    out.bytes("\n\n");

    enum class As { Number, Date, Label, Text };
    std::vector<As> how;
    std::vector<const Column*> cols;
    for (size_t i = 1; i < sheet->cols.size(); ++i) {
        const Column* col = sheet->cols[i].get();
        if (col->type == VXS_ROW) continue;
        out.bytes("@ATTRIBUTE ");
        out.bytes(weka_quote(col->name));
        As a = As::Number;
        if (col->type == VXS_FACTOR && col->labels_present() > 0) {
            a = As::Label;
            out.bytes(" {");
            for (size_t k = 0; k < col->labels.size(); ++k) {
                if (k) out.bytes(",");
                out.bytes(weka_quote(col->labels[k]));
            }
            out.bytes("}\n");
        } else if (col->is_text()) {
            a = As::Text;
            out.bytes(" STRING\n");
        } else if (col->representation == VXS_REP_DATE) {
            a = As::Date;
            out.bytes(" DATE \"yyyy-MM-dd HH:mm:ss\"\n");
        } else {
            out.bytes(" NUMERIC\n");
        }
        how.push_back(a);
        cols.push_back(col);
    }
    out.bytes("\n@DATA\n");

    char buf[64];
    std::string line;
    const size_t rows = static_cast<size_t>(sheet->row_count);
    for (size_t r = 0; r < rows; ++r) {
        line.clear();
        for (size_t c = 0; c < cols.size(); ++c) {
            const Column* col = cols[c];
            if (c) line += ',';
            if (how[c] == As::Text) {
                std::string_view t = r < col->text.size() ? col->text.get(r) : std::string_view();
                if (t.empty() || t == " " || t == vxs_options().xls_mv)
                    line += '?';
                else
                    line += weka_quote(t, true);
                continue;
            }
            double x = r < col->num.size() ? col->num[r] : missing;
            if (!(x > missing)) {
                line += '?';
                continue;
            }
            if (col->type == VXS_FACTOR) {
                size_t k = static_cast<size_t>(x);
                if (k < 1 || static_cast<int32_t>(k) > col->nlevels) {
                    line += '?';
                    continue;
                }
                if (how[c] == As::Label) {
                    line += weka_quote(level_text(col, k - 1, missing));
                    continue;
                }
                if (col->levels_present() > 0) {
                    x = k <= col->levels.size() ? col->levels[k - 1] : missing;
                    if (!(x > missing)) {
                        line += '?';
                        continue;
                    }
                }
            }
            if (how[c] == As::Date) {
                // Weka splits unquoted values at blanks, so the date and its time travel quoted.
                vxs_write_date(buf, x, col->gregorian, 34);
                line += '"';
                line += buf;
                line += '"';
            } else {
                std::snprintf(buf, sizeof buf, "%.12g", x);
                line += buf;
            }
        }
        line += '\n';
        out.bytes(line);
    }
    return out.close() ? 1 : 0;
}
