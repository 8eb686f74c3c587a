// The package command file (.VXC) writer: directives that recreate the sheet when the package
// runs the file with INPUT, all passed through one line-keeping output buffer.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_options.h"
#include "../sheet/vxs_access.h"
#include "../sheet/vxs_dates.h"
#include "../sheet/byte_writer.h"
#include "vxs_package.h"

std::string vxs_source;

namespace {

// The package reads lines of fewer than 78 characters.
constexpr size_t kLineLimit = 78;
constexpr size_t kBufferSize = 128000;

// The command file's text on its way out: the pending text (which a reader may start, see
// write_sheet), the length of its last line, whether the output failed, and the counters of
// generated names. One per run.
struct OutBuffer {
    std::string data;
    size_t line_length = 0;
    bool allocated = false;
    bool failed = false;
    long table_class_counter = 1;  // "_tfc_" names
    long row_class_counter = 1;    // "_tf1_" names
    std::string table_class;       // the "_tfc_" class of the one-way table being written
};
OutBuffer g_buf;
VxsCommandExtra g_command_extra = nullptr;

bool write_out(ByteWriter* stream) {
    if (!g_buf.data.empty() && stream) {
        stream->bytes(g_buf.data);
        if (!stream->flush()) g_buf.failed = true;
    }
    g_buf.data.clear();
    g_buf.allocated = false;
    return !g_buf.failed;
}

}  // namespace

void vxs_set_command_extra(VxsCommandExtra extra) { g_command_extra = extra; }

void vxs_add_to_buf(const char* text, int continue_mode, int flush, ByteWriter* stream) {
    size_t n = text ? std::strlen(text) : 0;
    if (n == 0) return;
    if (!g_buf.allocated) {
        g_buf.data.reserve(kBufferSize + 2);
        g_buf.allocated = true;
        g_buf.line_length = 0;
    }
    size_t k = n + 1;
    bool continued = false;
    if (g_buf.line_length + n >= kLineLimit || continue_mode == 1) {
        if (!g_buf.data.empty() && g_buf.data.back() == '\n') g_buf.line_length = 0;
        const char* nl = std::strchr(text, '\n');
        k = nl ? static_cast<size_t>(nl - text) + 1 : n + 1;
        if (g_buf.line_length + k >= kLineLimit) {
            if (continue_mode == 1) {
                g_buf.data += "\\\n";
                continued = true;
            } else if (n > 1 && text[0] != ':') {
                g_buf.data += '\n';
            }
            g_buf.line_length = 0;
        }
    }
    g_buf.data.append(text, n);
    if (k > n) {
        g_buf.line_length += n;
    } else {
        const char* last = std::strrchr(text, '\n');
        g_buf.line_length = n - static_cast<size_t>(last - text) - 1;
    }
    if (flush == 1) {
        write_out(stream);
    } else if (g_buf.data.size() + 100 > kBufferSize && (continue_mode == 0 || continued)) {
        g_buf.data += '\n';
        write_out(stream);
    }
}

void vxs_add_to_buf(const std::string& text, int continue_mode, int flush, ByteWriter* stream) {
    vxs_add_to_buf(text.c_str(), continue_mode, flush, stream);
}

int vxs_flush_buf(ByteWriter* stream) { return write_out(stream) ? 1 : 0; }

std::string translate_out_str(std::string_view src, size_t max) {
    std::string out;
    size_t n = std::min(src.size(), max);
    for (size_t i = 0; i < n && out.size() < max; ++i) {
        unsigned char c = static_cast<unsigned char>(src[i]);
        if (c < 32 || c > 127) c = ' ';
        out += static_cast<char>(c);
        if (c == '"' || c == '\'' || c == '\\' || c == '`') out += static_cast<char>(c);
    }
    return out;
}

void translate_out_str(char* dst, const char* src, size_t max) {
    if (!dst) return;
    std::string s = src ? translate_out_str(std::string_view(src), max) : std::string();
    std::memcpy(dst, s.c_str(), s.size() + 1);
}

std::string write_out_number(double value, double missing, int date_flag) {
    if (date_flag) vxs_date_1900_to_1600(&value, missing);
    if (value <= missing) return "*";
    if (value > VXS_NUM_CEILING) return "9.99999E+307";
    char buf[64];
    std::snprintf(buf, sizeof buf, std::fabs(value) > 1e9 ? "%.12e" : "%.12g", value);
    return buf;
}

namespace {

// Short names for the three ways text reaches the buffer.
struct Out {
    ByteWriter* f;
    void emit(const std::string& s) const { vxs_add_to_buf(s, 1, 0, f); }
    void put(const std::string& s) const { vxs_add_to_buf(s, 0, 0, f); }
    void end_with(const std::string& s) const { vxs_add_to_buf(s, 0, 1, f); }
};

std::string fmt(const char* format, long v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

std::string fmt(const char* format, const std::string& s) {
    std::string out;
    const char* p = std::strstr(format, "%s");
    if (!p) return format;
    out.assign(format, static_cast<size_t>(p - format));
    out += s;
    out += p + 2;
    return out;
}

std::string fmt(const char* format, const std::string& a, const std::string& b) {
    return fmt(fmt(format, a).c_str(), b);
}

// "%li] %s": the count, then the name.
std::string count_and_name(long n, const std::string& name) { return std::to_string(n) + "] " + name; }

std::string read_form(const std::string& name) {
    return (vxs_options().read_print ? "\nREAD " : "\nREAD [print=*] ") + name + "\n";
}

int date_flag(const Column* c) { return c->representation == VXS_REP_DATE && c->gregorian == 0 ? 1 : 0; }

std::string extra_clause(const std::string& extra, bool translate) {
    if (extra.empty()) return "";
    return "; extra='" + (translate ? translate_out_str(extra, 90) : extra) + "'";
}

void column_options(const Out& o, const Column* c, bool translate_extra) {
    if (c->decimals >= 0) o.emit(fmt("; decimals=%li", static_cast<long>(c->decimals)));
    std::string x = extra_clause(c->extra, translate_extra);
    if (!x.empty()) o.emit(x);
    if (c->representation == VXS_REP_DATE) o.emit(fmt("; drep=%li", static_cast<long>(c->date_format)));
}

void put_values(const Out& o, const Column* c, size_t n, double missing) {
    int df = date_flag(c);
    for (size_t i = 0; i < n && i < c->num.size(); ++i) o.put(write_out_number(c->num[i], missing, df) + " ");
}

void put_texts(const Out& o, const Column* c) {
    for (size_t i = 0; i < c->text.size(); ++i) o.put("'" + translate_out_str(c->text.get(i), 90) + "' ");
}

int32_t inline_limit(bool values, bool labels) {
    if (values && labels) return 57;
    if (labels) return 88;
    if (values) return 133;
    return 1000000;
}

}  // namespace

int write_factor_levels(Column* column, size_t nvalues, ByteWriter* stream) {
    Out o{stream};
    Sheet* sheet = column->sheet;
    int32_t levels = column->nlevels;
    if (!column->levels.empty() && column->levels_present() != levels)
        column->levels.resize(static_cast<size_t>(std::max(levels, 0)), sheet ? sheet->missing : vxs_missing);
    if (!column->labels.empty() && column->labels_present() != levels)
        column->labels.resize(static_cast<size_t>(std::max(levels, 0)));
    int32_t V = column->levels_present(), B = column->labels_present();
    int32_t t = inline_limit(V > 0, B > 0);
    double missing = sheet ? sheet->missing : vxs_missing;
    int df = date_flag(column);
    bool table = sheet && sheet->kind == VXS_TABLE;
    std::string nvalues_clause =
        table ? "" : (nvalues > 0 ? fmt(";nvalues=%li", static_cast<long>(nvalues)) : ";nvalues=*");

    if (levels <= t) {
        o.emit("FACTOR [modify=yes");
        if (!nvalues_clause.empty()) o.emit(nvalues_clause);
        if (V == 0) {
            o.emit(fmt(";levels=%li", static_cast<long>(levels)));
        } else {
            o.emit(";levels=!(");
            for (int32_t k = 0; k < V; ++k)
                o.emit(write_out_number(column->levels[static_cast<size_t>(k)], missing, df) + (k + 1 < V ? "," : ")"));
        }
        if (B > 0) {
            o.emit(";labels=!t(");
            for (int32_t k = 0; k < B; ++k)
                o.emit("'" + translate_out_str(column->labels[static_cast<size_t>(k)], 90) + "'" + (k + 1 < B ? "," : ")"));
        }
    } else {
        if (V > 0) {
            o.emit("DELETE [redefine=yes] _levels_\nVARIATE [nvalues=");
            o.emit(std::to_string(V) + (vxs_options().read_print ? "] _levels_\nREAD _levels_\n" : "] _levels_\nREAD [print=*] _levels_\n"));
            for (int32_t k = 0; k < V; ++k) o.put(write_out_number(column->levels[static_cast<size_t>(k)], missing, df) + " ");
            o.put(":\n");
        }
        if (B > 0) {
            o.emit("DELETE [redefine=yes] _labels_\nTEXT [nvalues=");
            o.emit(std::to_string(B) + (vxs_options().read_print ? "] _labels_\nREAD _labels_\n" : "] _labels_\nREAD [print=*] _labels_\n"));
            for (int32_t k = 0; k < B; ++k) o.put("'" + translate_out_str(column->labels[static_cast<size_t>(k)], 90) + "' ");
            o.put(":\n");
        }
        o.emit("FACTOR [modify=yes");
        if (!nvalues_clause.empty()) o.emit(nvalues_clause);
        if (V > t) o.emit(";levels=!(#_levels_)");
        if (B > t) o.emit(";labels=!t(#_labels_)");
    }
    if (column->name.empty())
        o.emit(fmt("] F%li", static_cast<long>(column->position)));
    else
        o.emit("] " + column->name);
    if (column->decimals >= 0) o.emit(fmt("; decimals=%li", static_cast<long>(column->decimals)));
    std::string x = extra_clause(column->extra, true);
    if (!x.empty()) o.emit(x);
    if (column->representation == VXS_REP_DATE) o.emit(fmt("; drep=%li", static_cast<long>(column->date_format)));
    o.emit("\n");
    return 1;
}

int write_column(Column* c, ByteWriter* stream) {
    Out o{stream};
    double missing = c->sheet ? c->sheet->missing : vxs_missing;
    size_t n = c->value_count();
    switch (c->type) {
        case VXS_VARIATE:
        case VXS_UNITS_NUM:
            if (n > 0) {
                o.emit("VARIATE [nvalues=");
                o.emit(count_and_name(static_cast<long>(n), c->name));
                column_options(o, c, true);
                o.emit(read_form(c->name));
                put_values(o, c, n, missing);
                o.put(":\n");
            } else {
                o.emit("VARIATE [values=*");
                o.emit("] " + c->name + extra_clause(c->extra, true));
                o.emit(c->representation == VXS_REP_DATE ? fmt("; drep=%li\n", static_cast<long>(c->date_format)) : "\n");
            }
            break;
        case VXS_TEXT:
        case VXS_UNITS_TEXT:
            if (n > 0) {
                o.emit("TEXT [nvalues=");
                o.emit(count_and_name(static_cast<long>(n), c->name));
                std::string x = extra_clause(c->extra, true);
                if (!x.empty()) o.emit(x);
                o.emit(read_form(c->name));
                put_texts(o, c);
                o.put(":\n");
            } else {
                o.emit("TEXT [values=*");
                o.emit("] " + c->name + extra_clause(c->extra, true) + "\n");
            }
            break;
        case VXS_FACTOR:
            write_factor_levels(c, n, stream);
            if (n > 0) {
                o.emit((vxs_options().read_print ? "READ " : "READ [print=*] ") + c->name + "; frepresentation=ordinal\n");
                for (size_t i = 0; i < n; ++i) {
                    double v = c->num[i];
                    if (v < 1 || v > c->nlevels)
                        o.put("* ");
                    else
                        o.put(fmt("%li ", static_cast<long>(v)));
                }
                o.put(":\n");
            }
            break;
        default: return 1;
    }
    if ((c->type == VXS_UNITS_NUM || c->type == VXS_UNITS_TEXT) && n > 0) o.emit("UNITS " + c->name + "\n");
    return 1;
}

int write_restriction(Sheet* sheet, ByteWriter* stream) {
    Out o{stream};
    bool written = false;
    if (sheet->restriction_present && sheet->row_count > 0) {
        o.emit("DELETE [redefine=yes] _rest_\n");
        o.emit("READ [print=*;setnvalues=y] _rest_\n");
        for (const RowAttr& r : sheet->rows) o.put(r.restricted ? "0 " : "1 ");
        o.put(":\n");
        written = true;
    }
    bool any = false;
    for (size_t i = 1; i < sheet->cols.size(); ++i) {
        const Column* c = sheet->cols[i].get();
        if (c->type == VXS_ROW) continue;
        o.emit((any ? "," : "RESTRICT ") + c->name);
        any = true;
    }
    if (written && any) o.emit("; _rest_");
    o.emit("\n");
    return 1;
}

int write_vector(Sheet* sheet, ByteWriter* stream) {
    Out o{stream};
    bool any = false;
    // Every column of the list, the row-number column "Row" too, whatever its type.
    for (size_t i = 0; i < sheet->cols.size(); ++i) {
        o.emit((any ? "," : "DELETE [redefine=yes] ") + sheet->cols[i]->name);
        any = true;
    }
    if (any) o.put("\n");
    int ok = 1;
    for (size_t i = 1; i < sheet->cols.size(); ++i) ok &= write_column(sheet->cols[i].get(), stream);
    if (ok && g_command_extra) ok &= g_command_extra(sheet, stream);
    ok &= write_restriction(sheet, stream);
    return ok;
}

int write_scalars(Sheet* sheet, ByteWriter* stream) {
    Out o{stream};
    if (sheet->column_count < 1 || sheet->cols.size() < 2) return 0;
    for (size_t i = 1; i < sheet->cols.size(); ++i) {
        const Column* c = sheet->cols[i].get();
        if (c->type != VXS_SCALAR) continue;
        o.emit("DELETE [redefine=yes] " + c->name + "\nSCALAR " + c->name + "; ");
        o.emit(write_out_number(c->num.empty() ? sheet->missing : c->num[0], sheet->missing, date_flag(c)));
        column_options(o, c, true);
        o.put("\n");
    }
    o.emit("\n");
    return 1;
}

namespace {

// Row labels of the matrix family: "_rows_" or "_trows_", or the plain row count.
std::string write_row_labels(Sheet* sheet, const Out& o, size_t search_end, bool extra_as_stored) {
    long R = sheet->row_count;
    for (size_t i = 1; i < sheet->cols.size() && i < search_end; ++i) {
        const Column* c = sheet->cols[i].get();
        if (c->type == VXS_UNITS_NUM) {
            o.emit("DELETE [redefine=yes] _rows_\n");
            o.emit("VARIATE [nvalues=");
            o.emit(count_and_name(R, "_rows_"));
            if (extra_as_stored) {
                std::string x = extra_clause(c->extra, false);
                if (!x.empty()) o.emit(x);
            }
            if (c->representation == VXS_REP_DATE) o.emit(fmt("; drep=%li", static_cast<long>(c->date_format)));
            o.emit(read_form("_rows_"));
            put_values(o, c, c->num.size(), sheet->missing);
            o.put(":\n");
            return "!(#_rows_)";
        }
        if (c->type == VXS_UNITS_TEXT) {
            o.emit("DELETE [redefine=yes] _trows_\n");
            o.emit("TEXT [nvalues=");
            o.emit(count_and_name(R, "_trows_"));
            if (extra_as_stored) {
                std::string x = extra_clause(c->extra, false);
                if (!x.empty()) o.emit(x);
            }
            o.emit(read_form("_trows_"));
            put_texts(o, c);
            o.put(":\n");
            return "!t(#_trows_)";
        }
    }
    return std::to_string(R);
}

void body_options(const Out& o, const Column* c, bool translate_extra) {
    if (!c) return;
    column_options(o, c, translate_extra);
}

}  // namespace

int write_matrix(Sheet* sheet, ByteWriter* stream) {
    Out o{stream};
    long R = sheet->row_count;
    long C = sheet->column_count - sheet->units_count + 1;
    o.emit("DELETE [redefine=yes] " + sheet->structure_name + "\n");
    if (R == 0 || C == 0) {
        vxs_add_to_buf("MATRIX " + sheet->structure_name + "\n", 1, 1, stream);
        return 1;
    }
    if (R < 0 || C < 0) return 0;
    std::vector<const Column*> body;
    for (size_t i = 1; i < sheet->cols.size(); ++i)
        if (sheet->cols[i]->type == VXS_MATRIX_COL) body.push_back(sheet->cols[i].get());
    std::string column_part = std::to_string(C);
    if (sheet->form_code == 1 || sheet->form_code == 2) {
        bool text = sheet->form_code == 2;
        std::string nm = text ? "_tcols_" : "_cols_";
        o.emit("DELETE [redefine=yes] " + nm + "\n");
        o.emit(text ? "TEXT [nvalues=" : "VARIATE [nvalues=");
        o.emit(std::to_string(C) + "] " + nm + read_form(nm));
        for (const Column* c : body) {
            std::string n40 = c->name.substr(0, 40);
            o.put(text ? "'" + translate_out_str(n40, 40) + "' " : n40 + " ");
        }
        o.put(":\n");
        column_part = text ? "!t(#_tcols_)" : "!(#_cols_)";
    }
    std::string row_part = write_row_labels(sheet, o, static_cast<size_t>(sheet->units_count) + 1, true);
    o.emit("MATRIX [rows=" + row_part + ";columns=" + column_part + "] " + sheet->structure_name);
    body_options(o, body.empty() ? nullptr : body[0], false);
    o.emit(read_form(sheet->structure_name));
    for (long r = 0; r < R; ++r)
        for (const Column* c : body) {
            int df = date_flag(c);
            double v = static_cast<size_t>(r) < c->num.size() ? c->num[static_cast<size_t>(r)] : sheet->missing;
            o.put(write_out_number(v, sheet->missing, df) + " ");
        }
    o.put(":\n");
    return 1;
}

int write_symmetricmatrix(Sheet* sheet, ByteWriter* stream) {
    Out o{stream};
    long R = sheet->row_count;
    long C = sheet->column_count - sheet->units_count + 1;
    if (R < 1 || C < 1) return 0;
    std::vector<const Column*> body;
    for (size_t i = 1; i < sheet->cols.size(); ++i)
        if (sheet->cols[i]->type == VXS_SYMMAT_COL) body.push_back(sheet->cols[i].get());
    o.emit("DELETE [redefine=yes] " + sheet->structure_name + "\n");
    std::string row_part = write_row_labels(sheet, o, sheet->cols.size(), true);
    o.emit("SYMMETRICMATRIX [rows=" + row_part + "] " + sheet->structure_name);
    body_options(o, body.empty() ? nullptr : body[0], false);
    o.emit(read_form(sheet->structure_name));
    // Column j holds rows j and below: row r takes the lower triangle from the first r + 1.
    for (long r = 0; r < R; ++r)
        for (long j = 0; j <= r && static_cast<size_t>(j) < body.size(); ++j) {
            const Column* c = body[static_cast<size_t>(j)];
            size_t idx = static_cast<size_t>(r);
            if (c->num.size() < static_cast<size_t>(R)) idx = static_cast<size_t>(r - j);
            double v = idx < c->num.size() ? c->num[idx] : sheet->missing;
            o.put(write_out_number(v, sheet->missing, date_flag(c)) + " ");
        }
    o.put(":\n");
    return 1;
}

int write_diagonalmatrix(Sheet* sheet, ByteWriter* stream) {
    Out o{stream};
    long R = sheet->row_count;
    long C = sheet->column_count - sheet->units_count + 1;
    if (R < 1 || C < 1 || sheet->cols.size() < 2) return 0;
    const Column* diag = sheet->cols.back().get();
    sheet->structure_name = diag->name.substr(0, 90);
    o.emit("DELETE [redefine=yes] " + sheet->structure_name + "\n");
    std::string row_part = write_row_labels(sheet, o, sheet->cols.size(), false);
    o.emit("DIAGONALMATRIX [rows=" + row_part + "] " + sheet->structure_name);
    body_options(o, diag, true);
    o.emit(read_form(sheet->structure_name));
    put_values(o, diag, static_cast<size_t>(R), sheet->missing);
    o.put(":\n");
    return 1;
}

namespace {

// The column class of a two-way or n-way table: a factor over the body columns, its levels
// from their table constants (or names), its labels from their names.
void write_column_class(Sheet* sheet, const Out& o, const std::vector<const Column*>& body, int32_t L,
                        bool values, bool labels, bool levels_from_names) {
    int32_t t = inline_limit(values, labels);
    auto level_text = [&](int32_t k) {
        const Column* c = body[static_cast<size_t>(k)];
        if (levels_from_names) return c->name;
        return write_out_number(c->table_constant, sheet->missing, 0);
    };
    auto label_text = [&](int32_t k) {
        const Column* c = body[static_cast<size_t>(k)];
        const std::string& s = sheet->form_code == 3 && !c->alt_name.empty() ? c->alt_name : c->name;
        return translate_out_str(s, 200);
    };
    if (L > t) {
        if (values) {
            o.emit("DELETE [redefine=yes] _levels_\nVARIATE [nvalues=");
            o.emit(std::to_string(L) + (vxs_options().read_print ? "] _levels_\nREAD _levels_\n" : "] _levels_\nREAD [print=*] _levels_\n"));
            for (int32_t k = 0; k < L; ++k) o.put(level_text(k) + " ");
            o.put(":\n");
        }
        if (labels) {
            o.emit("DELETE [redefine=yes] _labels_\nTEXT [nvalues=");
            o.emit(std::to_string(L) + "] _labels_\nREAD _labels_\n");
            for (int32_t k = 0; k < L; ++k) o.put("'" + label_text(k) + "' ");
            o.put(":\n");
        }
    }
    o.emit("FACTOR [modify=yes");
    if (values && L > t) {
        o.emit(";levels=!(#_levels_)");
    } else if (!values) {
        o.emit(fmt(";levels=%li", static_cast<long>(L)));
    } else {
        o.emit(";levels=!(");
        for (int32_t k = 0; k < L; ++k) o.emit(level_text(k) + (k + 1 < L ? "," : ")"));
    }
    if (labels) {
        if (L > t) {
            o.emit(";labels=!t(#_labels_)");
        } else {
            o.emit(";labels=!t(");
            for (int32_t k = 0; k < L; ++k) o.emit("'" + label_text(k) + "'" + (k + 1 < L ? "," : ")"));
        }
    }
    o.emit("] " + sheet->second_structure_name + "\n");
}

std::string next_name(const char* prefix, long& counter) { return prefix + std::to_string(counter++); }

}  // namespace

int write_1d_table(Column* column, bool first, ByteWriter* stream) {
    Out o{stream};
    Sheet* sheet = column->sheet;
    if (first) {
        if (column->type != VXS_FACTOR) {
            g_buf.table_class = next_name("_tfc_", g_buf.table_class_counter);
            o.emit("FACTOR [modify=yes;");
            o.emit(fmt("levels=%li] ", static_cast<long>(sheet->row_count)) + g_buf.table_class + "\n");
        } else {
            write_factor_levels(column, 0, stream);
        }
    }
    if (column->type == VXS_FACTOR) return 1;
    if (column->type != VXS_TABLE_BODY) return 0;
    const Column* c1 = sheet->cols.size() > 1 ? sheet->cols[1].get() : nullptr;
    std::string cls = c1 && c1->type == VXS_FACTOR ? c1->name : g_buf.table_class;
    o.emit("DELETE [redefine=yes] " + column->name + "\nTABLE [");
    o.emit("class=" + cls + ";margins=no] " + column->name);
    column_options(o, column, true);
    o.emit(read_form(column->name));
    put_values(o, column, column->num.size(), sheet->missing);
    o.put(":\n");
    return 1;
}

// Position of the first factor or table-body column of a table sheet, 0 when it has none.
static size_t first_table_column(const Sheet* sheet) {
    for (size_t i = 1; i < sheet->cols.size(); ++i)
        if (sheet->cols[i]->type == VXS_FACTOR || sheet->cols[i]->type == VXS_TABLE_BODY) return i;
    return 0;
}

int write_2d_table(Sheet* sheet, ByteWriter* stream) {
    Out o{stream};
    size_t first = first_table_column(sheet);
    if (!first) return 0;
    std::string row_class;
    Column* fc = sheet->cols[first].get();
    if (fc->type == VXS_FACTOR) {
        if (fc->modified) write_factor_levels(fc, 0, stream);
        row_class = fc->name;
    } else {
        row_class = next_name("_tf1_", g_buf.row_class_counter);
        o.emit(fmt("FACTOR [modify=yes;levels=%li] ", static_cast<long>(sheet->row_count)) + row_class + "\n");
    }
    std::vector<const Column*> body;
    for (size_t i = 1; i < sheet->cols.size(); ++i)
        if (sheet->cols[i]->type == VXS_TABLE_BODY) body.push_back(sheet->cols[i].get());
    if (body.empty()) return 0;
    int32_t L = static_cast<int32_t>(body.size());
    int fc_code = sheet->form_code;
    bool values = fc_code == 1 || fc_code == 3, labels = fc_code == 2 || fc_code == 3;
    write_column_class(sheet, o, body, L, values, labels, fc_code == 1);
    o.emit("DELETE [redefine=yes] " + sheet->structure_name + "\nTABLE [");
    o.emit("class=" + row_class + "," + sheet->second_structure_name + ";margins=no] " + sheet->structure_name);
    column_options(o, body[0], false);
    o.emit(read_form(sheet->structure_name));
    for (long r = 0; r < sheet->row_count; ++r)
        for (const Column* c : body) {
            double v = static_cast<size_t>(r) < c->num.size() ? c->num[static_cast<size_t>(r)] : sheet->missing;
            o.put(write_out_number(v, sheet->missing, date_flag(c)) + " ");
        }
    o.put(":\n");
    return 1;
}

int write_nway_table(Sheet* sheet, ByteWriter* stream) {
    Out o{stream};
    size_t first = first_table_column(sheet);
    if (!first || sheet->cols[first]->type == VXS_TABLE_BODY) return 0;
    make_valid_vantrix_name(sheet->structure_name);
    make_valid_vantrix_name(sheet->cols[first]->name);
    make_valid_vantrix_name(sheet->second_structure_name);
    long B = sheet->column_count - sheet->units_count + 1;
    int32_t L = static_cast<int32_t>(B - (sheet->margins ? 1 : 0));
    o.emit("DELETE [redefine=yes] " + sheet->structure_name + "\n");
    size_t last_factor = first;
    for (size_t i = first; i < sheet->cols.size(); ++i) {
        Column* c = sheet->cols[i].get();
        if (c->type != VXS_FACTOR) continue;
        last_factor = i;
        if (c->modified) write_factor_levels(c, 0, stream);
    }
    size_t body_start = last_factor + 1;
    std::vector<const Column*> body;
    for (size_t i = body_start; i < sheet->cols.size(); ++i) body.push_back(sheet->cols[i].get());
    if (L < 0) L = 0;
    if (static_cast<size_t>(L) > body.size()) L = static_cast<int32_t>(body.size());
    int fc_code = sheet->form_code;
    write_column_class(sheet, o, body, L, fc_code == 1 || fc_code == 3, fc_code == 2 || fc_code == 3, false);
    o.emit("TABLE [class=");
    bool any = false;
    for (size_t i = first; i < sheet->cols.size(); ++i) {
        if (sheet->cols[i]->type != VXS_FACTOR) continue;
        o.emit((any ? "," : "") + sheet->cols[i]->name);
        any = true;
    }
    o.emit(fmt(sheet->margins ? ",%s;margins=yes] %s" : ",%s;margins=no] %s", sheet->second_structure_name,
               sheet->structure_name));
    if (!body.empty()) {
        const Column* b0 = body[0];
        if (b0->decimals >= 0) o.emit(fmt("; decimals=%li", static_cast<long>(b0->decimals)));
        std::string x = extra_clause(b0->extra, false);
        if (!x.empty()) o.emit(x);
        char buf[64];
        if (b0->minimum > sheet->missing) {
            std::snprintf(buf, sizeof buf, "; min=%.12g", b0->minimum);
            o.emit(buf);
        }
        if (b0->maximum > sheet->missing) {
            std::snprintf(buf, sizeof buf, "; max=%.12g", b0->maximum);
            o.emit(buf);
        }
        if (b0->representation == VXS_REP_DATE) o.emit(fmt("; drep=%li", static_cast<long>(b0->date_format)));
    }
    o.emit(read_form(sheet->structure_name));
    for (long r = 0; r < sheet->row_count; ++r)
        for (long j = 0; j < B && static_cast<size_t>(j) < body.size(); ++j) {
            const Column* c = body[static_cast<size_t>(j)];
            if (static_cast<size_t>(r) >= c->num.size()) break;
            o.put(write_out_number(c->num[static_cast<size_t>(r)], sheet->missing, date_flag(c)) + " ");
        }
    o.put(":\n");
    return 1;
}

int write_table(Sheet* sheet, ByteWriter* stream) {
    int ok = 1;
    if (sheet->table_dims == 1) {
        bool first = true;
        for (size_t i = 1; i < sheet->cols.size() && ok; ++i) {
            ok = write_1d_table(sheet->cols[i].get(), first, stream);
            first = false;
        }
    } else if (sheet->table_dims == 2) {
        ok = write_2d_table(sheet, stream);
    } else {
        ok = write_nway_table(sheet, stream);
    }
    vxs_add_to_buf("\n", 1, 0, stream);
    return ok;
}

int16_t write_sheet(Sheet* sheet, const char* path, int) {
    if (!sheet || !path) return 0;
    bool per_column = sheet->kind == VXS_VECTOR || sheet->kind == VXS_DIAGMATRIX || sheet->kind == VXS_SCALARS ||
                      (sheet->kind == VXS_TABLE && sheet->table_dims == 1);
    if (per_column) {
        for (size_t i = 1; i < sheet->cols.size(); ++i)
            if (sheet->cols[i]->name.empty()) sheet->cols[i]->name = vxs_def_column_name(0);
    } else if (sheet->structure_name.empty()) {
        sheet->structure_name = vxs_def_column_name(0);
    }
    ByteWriter file;
    if (!file.open(path)) return 0;
    ByteWriter* f = &file;
    // The buffer is not emptied here: lines a reader queued (the SAS transport overflow notes)
    // belong at the top of the command file.
    g_buf.failed = false;
    Out o{f};
    if (!sheet->source_file.empty()) o.emit("\"Data taken from File: " + sheet->source_file + "\"\n\n");
    if (!vxs_source.empty()) {
        o.put("DELETE [Redefine=yes] _stitle_ : TEXT _stitle_ : READ [print=*] _stitle_\n");
        o.put("'" + translate_out_str(vxs_source, 180) + "'");
        o.put(":\nPRINT [IPrint=*] _stitle_; Just=Left\n");
    }
    int result = 0;
    switch (sheet->kind) {
        case VXS_VECTOR: result = write_vector(sheet, f); break;
        case VXS_MATRIX: result = write_matrix(sheet, f); break;
        case VXS_SYMMATRIX: result = write_symmetricmatrix(sheet, f); break;
        case VXS_DIAGMATRIX: result = write_diagonalmatrix(sheet, f); break;
        case VXS_TABLE: result = write_table(sheet, f); break;
        case VXS_SCALARS: result = write_scalars(sheet, f); break;
        default: result = 0;
    }
    if (!vxs_options().pointer.empty()) {
        o.emit(std::string("DELETE [redefine=yes] ") + vxs_options().pointer + "\n");
        o.emit(std::string("POINTER ") + vxs_options().pointer + "; !p(");
        for (size_t i = 1; i < sheet->cols.size(); ++i) o.emit((i > 1 ? "," : "") + sheet->cols[i]->name);
        o.emit(")\n\n");
    }
    if (vxs_options().end_break)
        vxs_add_to_buf("ENDBREAK\n\n", 1, 1, f);
    else if (std::strstr(path, "K7RZ"))
        vxs_add_to_buf("RETURN [CLOSE=yes;DELETE=yes]\n\n", 1, 1, f);
    else if (!vxs_options().no_return)
        vxs_add_to_buf("RETURN [CLOSE=yes]\n\n", 1, 1, f);
    bool ok = vxs_flush_buf(f) != 0;
    if (!file.close()) ok = false;
    if (!ok) return 0;
    return static_cast<int16_t>(result);
}
