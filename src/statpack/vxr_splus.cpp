// S-PLUS text dump writer (a data frame R's data.restore loads) and reader (every dump the
// writer makes, and data frames of numeric, character, logical and factor components); binary
// object files are refused.
#include "vxr_splus.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>
#include <vector>

#include "../sheet/vxs_format_entries.h"
#include "../package/vxs_package.h"
#include "../sheet/byte_reader.h"
#include "../sheet/byte_writer.h"
#include "../sheet/vxs_access.h"

namespace {

bool put_line(std::string_view s, TextWriter& f) {
    f.line(s);
    return f.ok();
}

}  // namespace

int spt_write_double(double value, TextWriter& stream) {
    if (vxs_is_missing(value)) return put_line(SPLUS_NA, stream);
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    return put_line(std::string_view(buf, static_cast<size_t>(r.ptr - buf)), stream);
}

int spt_write_integer(double value, TextWriter& stream) {
    if (vxs_is_missing(value)) return put_line(SPLUS_NA, stream);
    return spt_write_long(static_cast<long>(value), stream);
}

int spt_write_long(long n, TextWriter& stream) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, n);
    return put_line(std::string_view(buf, static_cast<size_t>(r.ptr - buf)), stream);
}

int spt_write_label(const std::string& text, TextWriter& stream) {
    // A line end inside a text would split it into two items of the dump.
    if (text.find_first_of("\r\n") == std::string::npos) return put_line(text, stream);
    std::string t = text;
    for (char& c : t)
        if (c == '\r' || c == '\n') c = ' ';
    return put_line(t, stream);
}

std::string spt_object_name(const char* path) {
    std::string s = path ? path : "";
    size_t sep = s.find_last_of('\\');
    if (sep == std::string::npos) sep = s.find_last_of('/');
    if (sep == std::string::npos) sep = s.find_last_of(':');
    if (sep != std::string::npos) s = s.substr(sep + 1);
    if (s.size() > 90) s.resize(90);
    size_t dot = s.find_last_of('.');
    if (dot != std::string::npos) s.resize(dot);
    return s;
}

namespace {

// Whether the column can be written as a component: the rest have no form in the dump.
bool writable(const Column* c) {
    return vxs_is_number_type(c->type) || c->type == VXS_TEXT || c->type == VXS_FACTOR ||
           c->type == VXS_UNITS_TEXT;
}

bool write_component(const Column* c, long rows, TextWriter& f) {
    bool ok = spt_write_label(c->name, f);
    if (c->type == VXS_FACTOR) {
        const long L = c->nlevels;
        ok = ok && put_line("structure", f) && spt_write_long(3, f) && put_line(".Data", f) &&
             put_line("integer", f) && spt_write_long(rows, f);
        for (long r = 0; r < rows && ok; ++r) {
            double v = static_cast<size_t>(r) < c->num.size() ? c->num[r] : c->sheet->missing;
            // A code with no level would make an invalid factor: it is missing.
            ok = (v >= 1 && static_cast<long>(v) <= L) ? spt_write_integer(v, f)
                                                       : put_line(SPLUS_NA, f);
        }
        ok = ok && put_line(".Label", f) && put_line("character", f) && spt_write_long(L, f);
        for (long k = 0; k < L && ok; ++k) {
            if (c->origin == 2 && k < c->labels_present())
                ok = spt_write_label(c->labels[k], f);
            else if (c->origin == 1 && k < c->levels_present())
                ok = spt_write_double(c->levels[k], f);
            else
                ok = spt_write_long(k + 1, f);
        }
        return ok && put_line("class", f) && put_line("character", f) && spt_write_long(1, f) &&
               put_line("factor", f);
    }
    if (c->is_text()) {
        ok = ok && put_line("character", f) && spt_write_long(rows, f);
        for (long r = 0; r < rows && ok; ++r)
            ok = spt_write_label(
                static_cast<size_t>(r) < c->text.size() ? c->text.str(r) : std::string(), f);
        return ok;
    }
    ok = ok && put_line("numeric", f) && spt_write_long(rows, f);
    for (long r = 0; r < rows && ok; ++r)
        ok = spt_write_double(
            static_cast<size_t>(r) < c->num.size() ? c->num[r] : c->sheet->missing, f);
    return ok;
}

}  // namespace

int16_t write_sheet_as_splus_text(Sheet* sheet, const char* path) {
    if (!sheet) return 0;
    if (sheet->kind == VXS_SYMMATRIX) {
        std::printf(
            "Error: In Writing SPlus File - can not export symmetric matrix to Splus data "
            "transport file!");
        return 0;
    }
    if (sheet->row_count < 1 || sheet->column_count < 1 || sheet->cols.size() < 2) return 0;
    ByteWriter file;
    if (!file.open(path)) {
        std::printf("Error: In Writing SPlus File - could not open file: %.100s\n", path);
        return 0;
    }
    TextWriter f(file);
    const long rows = sheet->row_count;

    // The first units column gives the row names; every other column that has a form in the
    // dump is a component.
    const Column* row_names = nullptr;
    std::vector<const Column*> components;
    for (size_t i = 1; i < sheet->cols.size(); ++i) {
        const Column* c = sheet->cols[i].get();
        if (!row_names && (c->type == VXS_UNITS_NUM || c->type == VXS_UNITS_TEXT))
            row_names = c;
        else if (writable(c))
            components.push_back(c);
    }

    bool ok = put_line(spt_object_name(path), f) && put_line("structure", f) &&
              spt_write_long(3, f) && put_line(".Data", f) && put_line("list", f) &&
              spt_write_long(static_cast<long>(components.size()), f);
    for (const Column* c : components) ok = ok && write_component(c, rows, f);
    ok = ok && put_line("row.names", f) && put_line("character", f) && spt_write_long(rows, f);
    for (long r = 0; r < rows && ok; ++r) {
        size_t i = static_cast<size_t>(r);
        if (!row_names)
            ok = spt_write_long(r + 1, f);
        else if (row_names->is_text())
            ok = spt_write_label(
                i < row_names->text.size() ? row_names->text.str(i) : std::string(), f);
        else
            ok =
                spt_write_double(i < row_names->num.size() ? row_names->num[i] : sheet->missing, f);
    }
    ok = ok && put_line("class", f) && put_line("character", f) && spt_write_long(1, f) &&
         put_line("data.frame", f);
    if (!file.close()) ok = false;
    return ok ? 1 : 0;
}

int16_t read_splus_into_sheet(const char*) {
    std::printf(
        "Sorry, S-PLUS binary data files are not supported; dump the data frame with data.dump.\n");
    return 0;
}

namespace {

// One object of a dump: a vector (numbers or texts), or a list or structure of named items.
struct SObject {
    std::string mode;
    std::vector<double> nums;  // NaN for missing
    std::vector<std::string> strs;
    std::vector<std::string> names;  // of the items of a list or structure
    std::vector<SObject> items;

    const SObject* item(std::string_view name) const {
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] == name) return &items[i];
        return nullptr;
    }
    bool has_class(std::string_view cls) const {
        const SObject* c = item("class");
        if (!c) return false;
        for (const auto& s : c->strs)
            if (s == cls) return true;
        return false;
    }
};

class Lines {
public:
    explicit Lines(std::string_view text) : text_(text) {}
    bool next(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        size_t nl = text_.find('\n', pos_);
        size_t end = nl == std::string_view::npos ? text_.size() : nl;
        line = text_.substr(pos_, end - pos_);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos_ = nl == std::string_view::npos ? text_.size() : nl + 1;
        return true;
    }
    size_t remaining() const { return text_.size() - pos_; }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

bool parse_count(std::string_view s, size_t& n) {
    auto r = std::from_chars(s.data(), s.data() + s.size(), n);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

double parse_value(std::string_view s, bool logical) {
    if (s == SPLUS_NA || s == "NA") return NAN;
    if (logical) {
        if (s == "T" || s == "TRUE") return 1;
        if (s == "F" || s == "FALSE") return 0;
    }
    double v = NAN;
    std::string t(s);
    char* end = nullptr;
    v = std::strtod(t.c_str(), &end);
    return end == t.c_str() ? NAN : v;
}

bool parse_object(Lines& in, SObject& obj, int depth) {
    std::string_view mode, count;
    if (depth > SPLUS_MAX_DEPTH || !in.next(mode) || !in.next(count)) return false;
    obj.mode = std::string(mode);
    size_t n = 0;
    // Every item takes at least one line end, so a count above the bytes left is a lie.
    if (!parse_count(count, n) || n > in.remaining()) return false;
    std::string_view line;
    if (mode == "numeric" || mode == "integer" || mode == "single" || mode == "double" ||
        mode == "logical") {
        bool logical = mode == "logical";
        obj.nums.reserve(n);
        for (size_t i = 0; i < n; ++i) {
            if (!in.next(line)) return false;
            obj.nums.push_back(parse_value(line, logical));
        }
        return true;
    }
    if (mode == "character" || mode == "complex") {
        for (size_t i = 0; i < n; ++i) {
            if (!in.next(line)) return false;
            obj.strs.emplace_back(line);
        }
        return true;
    }
    if (mode == "list" || mode == "structure") {
        for (size_t i = 0; i < n; ++i) {
            if (!in.next(line)) return false;
            obj.names.emplace_back(line);
            obj.items.emplace_back();
            if (!parse_object(in, obj.items.back(), depth + 1)) return false;
        }
        return true;
    }
    return mode == "NULL" && n == 0;
}

// The vector holding a component's values: a structure's .Data, followed through AsIs and
// other wrappers.
const SObject* data_of(const SObject* o) {
    for (int i = 0; o && o->mode == "structure" && i < SPLUS_MAX_DEPTH; ++i) o = o->item(".Data");
    return o;
}

size_t length_of(const SObject* o) {
    o = data_of(o);
    return !o                                               ? 0
           : o->mode == "character" || o->mode == "complex" ? o->strs.size()
                                                            : o->nums.size();
}

void fill_numbers(Column* col, const std::vector<double>& v, double missing) {
    for (size_t r = 0; r < v.size(); ++r) {
        double x = v[r];
        col->num[r] = std::isnan(x) || std::isinf(x) || x <= missing ? missing
                      : x > VXS_NUM_CEILING                          ? VXS_NUM_CEILING
                                                                     : x;
    }
}

}  // namespace

int16_t read_splus_text_into_sheet(const char* path) {
    std::string text;
    if (!path || !vxs_read_whole_file(path, text)) return 0;
    Lines in(text);
    std::string_view name;
    SObject top;
    if (!in.next(name) || !parse_object(in, top, 0)) return 0;

    const SObject* frame = top.mode == "structure" ? top.item(".Data") : &top;
    if (!frame || frame->mode != "list" || frame->items.empty()) return 0;
    size_t rows = 0;
    for (const SObject& o : frame->items) rows = std::max(rows, length_of(&o));
    if (rows == 0 || rows > INT32_MAX) return 0;

    // Row names other than 1, 2, ... are kept as a units column.
    const SObject* names = top.mode == "structure" ? data_of(top.item("row.names")) : nullptr;
    bool keep_names = false;
    if (names && names->mode == "character" && names->strs.size() == rows)
        for (size_t r = 0; r < rows && !keep_names; ++r)
            keep_names = names->strs[r] != std::to_string(r + 1);

    Sheet* sheet = create_sheet();
    sheet->kind = VXS_VECTOR;
    sheet->source_type = VXT_SPLUS_TEXT;
    sheet->missing = vxs_missing;
    sheet->structure_name = std::string(name.substr(0, VXS_MAX_NAME));
    sheet->row_count = static_cast<int32_t>(rows);
    create_row_attr(sheet);
    const double missing = sheet->missing;

    int32_t limit = VXSMAXCOLUMNS;
    if (static_cast<int64_t>(frame->items.size()) + (keep_names ? 1 : 0) > limit)
        std::printf("Warning Columns above %li NOT transfered!\n",
                    static_cast<long>(VXSMAXCOLUMNS));
    if (keep_names) {
        Column* col = create_column_with_memory(sheet, VXS_UNITS_TEXT, "RowName", sheet->row_count);
        if (col)
            for (size_t r = 0; r < rows; ++r) col->text.set(r, names->strs[r]);
    }
    for (size_t item = 0; item < frame->items.size(); ++item) {
        const SObject& obj = frame->items[item];
        std::string colname = frame->names[item];
        make_valid_vantrix_name(colname);
        const SObject* d = data_of(&obj);
        if (!d) continue;
        bool factor = obj.mode == "structure" &&
                      (obj.has_class("factor") || obj.item(".Label") || obj.item("levels"));
        Column* col;
        if (factor && !d->nums.empty()) {
            const SObject* labels = obj.item(".Label");
            if (!labels) labels = obj.item("levels");
            labels = data_of(labels);
            col = create_column_with_memory(sheet, VXS_FACTOR, colname, sheet->row_count);
            if (!col) break;
            size_t L = labels ? labels->strs.size() : 0;
            for (double x : d->nums)
                if (!std::isnan(x) && x >= 1 && x <= 1e9) L = std::max(L, static_cast<size_t>(x));
            col->nlevels = static_cast<int32_t>(std::max<size_t>(L, 1));
            for (size_t r = 0; r < d->nums.size(); ++r) {
                double x = d->nums[r];
                col->num[r] =
                    !std::isnan(x) && x >= 1 && x <= col->nlevels ? std::floor(x) : missing;
            }
            if (labels && labels->strs.size() == static_cast<size_t>(col->nlevels)) {
                for (const auto& l : labels->strs) {
                    std::string lab = l.substr(0, VXS_MAX_NAME);
                    col->longest_label =
                        std::max(col->longest_label, static_cast<int32_t>(lab.size()));
                    col->labels.push_back(lab);
                }
                col->origin = 2;
                col->representation = VXS_REP_TEXT;
            }
        } else if (d->mode == "character" || d->mode == "complex") {
            col = create_column_with_memory(sheet, VXS_TEXT, colname, sheet->row_count);
            if (!col) break;
            for (size_t r = 0; r < d->strs.size(); ++r) col->text.set(r, d->strs[r]);
        } else if (!d->nums.empty() || d->mode != "list") {
            col = create_column_with_memory(sheet, VXS_VARIATE, colname, sheet->row_count);
            if (!col) break;
            fill_numbers(col, d->nums, missing);
        } else {
            continue;
        }
        vxs_set_default_column_width(col, 0);
    }
    if (sheet->column_count == 0) {
        lastsheet = nullptr;
        return 0;
    }
    return 1;
}
