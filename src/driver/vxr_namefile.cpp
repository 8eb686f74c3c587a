// Column-name files: listing the sheet's names, and renaming, converting or dropping columns
// from a listing the user has edited.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../sheet/byte_writer.h"
#include "../sheet/vxs_access.h"
#include "../sheet/vxs_conv.h"
#include "../sheet/vxs_txtnum.h"
#include "vxs_formats.h"

namespace {

// One line without its line end; false at the end of the file. Only the first 199 characters
// count; the rest of a longer line is skipped so that it is not taken for the next line.
bool read_line(FILE* f, std::string& line) {
    char buf[200];
    if (!std::fgets(buf, sizeof buf, f)) return false;
    line = buf;
    if (line.empty() || line.back() != '\n') {
        int ch;
        while ((ch = std::fgetc(f)) != EOF && ch != '\n') {
        }
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return true;
}

// The optional first line written by write_columns: a nonzero whole number and nothing else,
// so that a first name such as "2nd" is not mistaken for it.
bool is_count_line(const std::string& line) {
    const char* p = line.c_str();
    char* end = nullptr;
    errno = 0;
    long n = std::strtol(p, &end, 10);
    if (end == p || errno) return false;
    while (*end == ' ' || *end == '\t') ++end;
    return *end == '\0' && n != 0;
}

void apply_mark(Column* c, char mark) {
    const int strip = c->sheet ? c->sheet->defaults.factor_strip_blanks : 1;
    switch (mark) {
        case '!':
            if (c->type == VXS_VARIATE) convert_variate_to_factor(c, 1);
            else if (c->type == VXS_TEXT) convert_text_to_factor(c, 1, strip);
            break;
        case '#':
            if (c->type == VXS_TEXT) convert_text_to_variate(c);
            else if (c->type == VXS_FACTOR) convert_factor_to_variate(c, 1);
            break;
        case '$':
            if (c->type == VXS_VARIATE) convert_variate_to_text(c);
            else if (c->type == VXS_FACTOR) convert_factor_to_text(c);
            break;
        default: break;
    }
}

}  // namespace

int write_columns(Sheet* sheet, const char* path) {
    if (!sheet || !path) return 0;
    FILE* f = vxs_create_output_file(path);
    if (!f) return 0;
    const bool columns = sheet->kind == VXS_VECTOR || sheet->kind == VXS_SCALARS ||
                         (sheet->kind == VXS_TABLE && sheet->table_dims < 2);
    if (columns) {
        std::fprintf(f, "%li\n", static_cast<long>(sheet->column_count));
        for (size_t pos = 1; pos < sheet->cols.size(); ++pos) std::fprintf(f, "%s\n", sheet->cols[pos]->name.c_str());
    } else {
        std::fprintf(f, "1\n%s\n", sheet->structure_name.c_str());
    }
    std::fclose(f);
    return 1;
}

int rename_columns(Sheet* sheet, FILE* file) {
    if (!sheet || !file) return 0;
    std::string line;
    if (!read_line(file, line) || !is_count_line(line)) std::rewind(file);
    size_t pos = 1;
    while (pos < sheet->cols.size() && read_line(file, line)) {
        Column* c = sheet->cols[pos].get();
        std::string text = vxs_strip_blanks(line, 200);
        if (text.empty() || text == " ") {
            ++pos;
            continue;
        }
        if (text[0] == '*') {
            remove_column(c);  // the next column moves into this position
            continue;
        }
        char mark = text.back();
        if (mark == '!' || mark == '#' || mark == '$') {
            apply_mark(c, mark);
            text.pop_back();
        }
        if (text.find_first_not_of(' ') != std::string::npos) {
            make_valid_vantrix_name(text);
            c->name = text.substr(0, VXS_MAX_NAME);
        }
        ++pos;
    }
    return 1;
}
