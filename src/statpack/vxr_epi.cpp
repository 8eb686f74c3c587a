// Epi-Info data files: a count of field lines, one line per field (name, type, length), then
// the records, each laid end to end and broken into lines of 78 characters.
#include "vxr_epi.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_access.h"
#include "../sheet/vxs_dates.h"
#include "../sheet/vxs_sheet.h"
#include "../sheet/vxs_txtnum.h"
#include "../sheet/vxs_reader_kit.h"

namespace {

enum class EpiKind { Number, YesNo, DateMDY, DateDMY, Fixed, Text };

bool kind_of(long type, EpiKind& k) {
    switch (type) {
        case 0: case 6: case 12: k = EpiKind::Number; return true;
        case 5: k = EpiKind::YesNo; return true;
        case 2: case 10: k = EpiKind::DateMDY; return true;
        case 11: k = EpiKind::DateDMY; return true;
        case 1: case 3: case 7: case 9: k = EpiKind::Text; return true;
        default:
            if (type >= 100 && type <= 109) {
                k = EpiKind::Fixed;
                return true;
            }
            return false;
    }
}

struct Field {
    std::string name;
    long type = 0;
    size_t length = 0, offset = 0;
    EpiKind kind = EpiKind::Text;
    Column* col = nullptr;
    bool decimals_set = false;
};

// Lines of the file: up to 512 characters read, at most 79 kept, line end removed.
class Lines {
public:
    explicit Lines(FILE* f) : f_(f) {}
    bool next(std::string& line) {
        line.clear();
        bool any = false;
        char chunk[1024];
        while (std::fgets(chunk, sizeof chunk, f_)) {
            any = true;
            size_t n = std::strlen(chunk);
            bool end = n > 0 && chunk[n - 1] == '\n';
            if (end) --n;
            if (line.size() < EPI_LINE_READ) line.append(chunk, std::min(n, EPI_LINE_READ - line.size()));
            if (end) break;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > EPI_LINE_KEPT) line.resize(EPI_LINE_KEPT);
        return any;
    }

private:
    FILE* f_;
};

// The record's lines joined: each line's end mark ("!" or "?") removed, as R's reader does on
// every line. deleted is set when the last line's last "?" comes after its last "!".
bool read_record(Lines& lines, size_t nlines, std::string& record, bool& deleted) {
    record.clear();
    std::string line;
    for (size_t k = 0; k < nlines; ++k) {
        if (!lines.next(line)) return false;
        if (k + 1 == nlines) {
            size_t q = line.rfind('?'), e = line.rfind('!');
            deleted = q != std::string::npos && (e == std::string::npos || q > e);
        }
        if (!line.empty() && (line.back() == '!' || line.back() == '?')) line.pop_back();
        record += line;
    }
    return true;
}

std::string field_text(const std::string& record, const Field& f) {
    if (f.offset >= record.size()) return std::string();
    return record.substr(f.offset, f.length);
}

bool blank(const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; }

// A date field: month (or day) at character 1, day (or month) at character 4, year at 7 (90
// when the field is shorter). Fields of up to 9 characters hold two-digit years of the 1900s.
double read_date(const std::string& t, const Field& f, const Column* col) {
    long a = std::atol(t.substr(0, 2).c_str());
    long b = t.size() > 3 ? std::atol(t.substr(3, 2).c_str()) : 0;
    long year = t.size() > 6 ? std::atol(t.c_str() + 6) : 90;
    if (f.length <= 9) year += 1900;
    long day = f.kind == EpiKind::DateMDY ? b : a;
    long month = f.kind == EpiKind::DateMDY ? a : b;
    vxs_set_gregorian(col->gregorian);
    return vxs_day_number(day, month, year);
}

void store(Field& f, const std::string& t, size_t row, double missing, bool strip) {
    Column* col = f.col;
    if (f.kind == EpiKind::Text) {
        std::string v = t.substr(0, VXS_MAX_TEXT);
        if (strip) {
            v = vxs_strip_blanks(v, VXS_MAX_TEXT);
        } else {
            v = vxs_fixed_field(v, VxsPad::Blank);
        }
        col->text.set(row, v);
        return;
    }
    if (blank(t)) return;  // cells start missing
    double x = missing;
    switch (f.kind) {
        case EpiKind::YesNo: x = (t[0] == 'Y' || t[0] == 'y') ? 1 : 0; break;
        case EpiKind::DateMDY:
        case EpiKind::DateDMY: x = read_date(t, f, col); break;
        case EpiKind::Fixed:
            if (!f.decimals_set) {
                // Decimals come from the first value read.
                std::string v = vxs_strip_blanks(t, VXS_MAX_TEXT);
                size_t dot = v.find('.');
                col->decimals = dot == std::string::npos ? 0 : static_cast<int32_t>(v.size() - dot - 1);
                f.decimals_set = true;
            }
            x = std::atof(t.c_str());
            break;
        default: x = std::atof(t.c_str()); break;
    }
    if (x < missing) x = missing;
    if (x > VXS_NUM_CEILING) x = VXS_NUM_CEILING;
    col->num[row] = x;
}

}  // namespace

int16_t read_epi_into_sheet(const char* path) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return 0;
    struct Closer {
        FILE* f;
        ~Closer() { std::fclose(f); }
    } closer{f};
    Lines lines(f);
    std::string line;
    if (!lines.next(line)) return 0;
    long nfields = std::atol(line.c_str());
    if (nfields <= 0) return 0;

    std::vector<Field> fields;
    size_t record_length = 0;  // every field counts, those past the column limit too
    bool warned = false;
    for (long k = 0; k < nfields; ++k) {
        if (!lines.next(line)) return 0;
        std::vector<std::string> tokens;
        for (size_t p = 0; p < line.size();) {
            size_t b = line.find_first_not_of(' ', p);
            if (b == std::string::npos) break;
            size_t e = line.find(' ', b);
            if (e == std::string::npos) e = line.size();
            tokens.push_back(line.substr(b, e - b));
            p = e;
        }
        if (tokens.size() < 8) return 0;
        Field fd;
        fd.name = tokens[0].substr(0, EPI_NAME_CHARS);
        fd.type = std::atol(tokens[6].c_str());
        long length = std::atol(tokens[7].c_str());
        if (length < 0 || length > 100000) return 0;
        fd.length = static_cast<size_t>(length);
        fd.offset = record_length;
        record_length += fd.length;
        if (fd.length == 0) continue;
        if (static_cast<int32_t>(fields.size()) >= VXSMAXCOLUMNS) {
            if (!warned) std::printf("Warning Columns above %li NOT transfered!\n", static_cast<long>(VXSMAXCOLUMNS));
            warned = true;
            continue;
        }
        fields.push_back(fd);
    }
    if (fields.empty() || record_length == 0) return 0;
    const size_t nlines = (record_length - 1) / EPI_RECORD_LINE + 1;

    long data_start = std::ftell(f);
    int32_t rows = 0;
    std::string record;
    bool deleted = false;
    while (read_record(lines, nlines, record, deleted))
        if (!deleted) ++rows;
    if (rows == 0) return 0;

    Sheet* sheet = create_sheet();
    sheet->source_type = VXT_EPI;
    sheet->missing = vxs_missing;
    const double missing = sheet->missing;
    sheet->row_count = rows;
    create_row_attr(sheet);
    for (Field& fd : fields) {
        if (!kind_of(fd.type, fd.kind)) return 0;
        std::string name = fd.name;
        if (!name.empty() && !std::isalnum(static_cast<unsigned char>(name[0]))) name.erase(0, 1);
        Column* col = vxs_add_column(sheet, fd.kind == EpiKind::Text ? VXS_TEXT : VXS_VARIATE, name, rows);
        if (!col) return 0;
        if (fd.kind == EpiKind::Text) col->nlevels = static_cast<int32_t>(fd.length);
        if (fd.kind == EpiKind::DateMDY || fd.kind == EpiKind::DateDMY) {
            col->representation = VXS_REP_DATE;
            bool wide = fd.length > 9;
            col->date_format = fd.kind == EpiKind::DateMDY ? (wide ? 24 : 23) : (wide ? 2 : 1);
        }
        if (fd.kind == EpiKind::Fixed) col->representation = VXS_REP_FIXED;
        col->width = static_cast<int32_t>(std::min<size_t>(std::max(fd.length, col->name.size()) + 2, VXS_MAX_TEXT));
        col->decimals = -1;
        fd.col = col;
    }

    std::fseek(f, data_start, SEEK_SET);
    const bool strip = vxs_get_global_defaults()->factor_strip_blanks != 0;
    size_t row = 0;
    while (row < static_cast<size_t>(rows) && read_record(lines, nlines, record, deleted)) {
        if (deleted) continue;
        for (Field& fd : fields) store(fd, field_text(record, fd), row, missing, strip);
        ++row;
    }
    return 1;
}
