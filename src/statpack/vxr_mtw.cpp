// Minitab readers: worksheets of releases 10 and 11 (binary column records), of releases 12 to
// 14 (records of a compound document's "Worksheet" stream, handed over as a temporary copy),
// and portable worksheets. Columns named with a final "!" become factors.
#include "vxr_mtw.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_source.h"
#include "../sheet/vxs_strings.h"
#include "../sheet/byte_reader.h"
#include "../sheet/vxs_access.h"
#include "../sheet/vxs_conv.h"
#include "../sheet/vxs_txtnum.h"
#include "../sheet/vxs_reader_kit.h"
#include "../spreadsheet/vxs_cdf.h"

std::string vxs_mtw_convert_text(const std::string& raw, int version) {
    bool printable = std::all_of(raw.begin(), raw.end(), [](char c) {
        unsigned char u = static_cast<unsigned char>(c);
        return u >= 32 && u <= 126;
    });
    if (printable) return raw;
    ByteReader in(raw);
    std::string out;
    if (version <= 10) {
        while (in.remaining() >= 4) {
            uint32_t n = in.u32();
            char four[4];
            for (int k = 3; k >= 0; --k) {
                four[k] = n == 0 ? ' ' : static_cast<char>(n % 100 + 32);
                n /= 100;
            }
            out.append(four, 4);
        }
        return out;
    }
    for (size_t at = 0; at + 8 <= raw.size(); at += 8) {
        const auto* b = reinterpret_cast<const unsigned char*>(raw.data() + at);
        if (b[0] || b[1] || b[2] || b[4] < 4 || b[5] < 4 || b[6] < 4 || b[7] < 56) return raw;
    }
    while (in.remaining() >= 8) {
        uint32_t lo = in.u32();
        uint32_t hi = in.u32();
        uint32_t image = ((hi - 0x38000000u) << 3) | (lo >> 29);
        for (int k = 0; k < 4; ++k) out += static_cast<char>(image >> (8 * k));
    }
    size_t end = out.find('\0');
    return end == std::string::npos ? out : out.substr(0, end);
}

namespace {

// A column gathered before the sheet is made.
struct MtwColumn {
    uint32_t number = 0;
    bool text = false;
    std::string name, description;
    std::vector<double> nums;
    std::vector<std::string> strs;
    size_t count() const { return text ? strs.size() : nums.size(); }
};

std::string stripped(std::string_view s) { return vxs_strip_blanks(s, s.size() + 1); }

// Name of a column: blanks stripped, "C<number>" when empty, a final "!" marks a factor.
std::string column_name(std::string name, uint32_t number, bool& factor) {
    name = stripped(name);
    if (name.empty() || name == " ") name = "C" + std::to_string(number);
    factor = name.back() == '!';
    if (factor) name.pop_back();
    if (name.size() > VXS_MAX_NAME) name.resize(VXS_MAX_NAME);
    make_valid_vantrix_name(name);
    return name;
}

double clip(double v) { return v > VXS_NUM_CEILING ? VXS_NUM_CEILING : v; }

// Builds the sheet from gathered columns; factors converted last.
void make_sheet(std::vector<MtwColumn>& cols, size_t rows, const std::vector<std::string>& titles) {
    Sheet* sheet = create_sheet();
    sheet->kind = VXS_VECTOR;
    sheet->source_type = VXT_MTW;
    sheet->missing = vxs_missing;
    sheet->row_count = static_cast<int32_t>(rows);
    create_row_attr(sheet);
    for (const std::string& t : titles)
        if (!t.empty()) vxs_add_line_to_description(sheet, t);
    const VxsDefaults& g = *vxs_get_global_defaults();
    for (MtwColumn& m : cols) {
        bool factor = false;
        std::string name = column_name(m.name, m.number, factor);
        Column* col = create_column_with_memory(sheet, m.text ? VXS_TEXT : VXS_VARIATE, name,
                                                sheet->row_count);
        if (!col) break;
        col->extra = m.description.substr(0, MTW_DESCRIPTION);
        if (m.text)
            for (size_t r = 0; r < m.strs.size(); ++r) col->text.set(r, stripped(m.strs[r]));
        else
            std::copy(m.nums.begin(), m.nums.end(), col->num.begin());
        if (factor) {
            if (m.text)
                convert_text_to_factor(col, g.factor_ignore_case, g.factor_strip_blanks);
            else
                convert_variate_to_factor(col, 1);
        }
        vxs_set_default_column_width(col, 0);
    }
}

// Releases 10 and 11: an 80-byte header, then column records until one of another kind.
int16_t read_old_worksheet(std::string_view bytes, const char* path) {
    ByteReader in(bytes);
    std::string_view head = in.view(MTW_OLD_HEADER);
    if (!in.ok() || std::memcmp(head.data(), MTW_SIGNATURE, 8) != 0) {
        std::printf("Data file %.100s is not a Mintab Worksheet!\n", path);
        return 0;
    }
    const int version = static_cast<unsigned char>(head[79]) < '1' ? 10 : 11;
    const double missing = vxs_missing;
    std::vector<MtwColumn> cols;
    size_t rows = 0;
    while (in.remaining() >= 24) {
        uint32_t kind = in.u32();
        if (kind != MTW_OLD_COLUMN) break;
        MtwColumn m;
        m.number = in.u32();
        uint32_t words = in.u32();
        int32_t type = in.i32();
        std::string name = in.str(MTW_OLD_NAME);
        if (uint64_t(words) * 4 > in.remaining()) break;  // a record cut short ends the columns
        ByteReader data = in.sub(size_t(words) * 4);
        m.name = version == 10 ? vxs_mtw_convert_text(name, 10) : name;
        if (type >= 0) {
            size_t n = version == 10 ? words : words / 2;
            m.nums.resize(n);
            for (double& v : m.nums) {
                if (version == 10) {
                    uint32_t bits = data.u32();
                    float f;
                    std::memcpy(&f, &bits, 4);
                    v = bits == MTW_MISSING_SINGLE ? missing : clip(f);
                } else {
                    uint64_t bits = data.u64();
                    double d;
                    std::memcpy(&d, &bits, 8);
                    v = bits == MTW_MISSING_DOUBLE ? missing : clip(d);
                }
                if (std::isnan(v) || std::isinf(v)) v = missing;
            }
        } else {
            m.text = true;
            size_t size =
                static_cast<size_t>((-1 - int64_t(type)) / 4 + 1) * 4 * (version == 10 ? 1 : 2);
            size_t n = words / (size / 4);
            m.strs.resize(n);
            for (std::string& s : m.strs) {
                s = data.str(size);
                if (version == 11) s = vxs_mtw_convert_text(s, 11);
                s = s.substr(0, std::min(s.find('\0'), VXS_MAX_TEXT));
            }
        }
        if (m.count() == 0) continue;
        rows = std::max(rows, m.count());
        cols.push_back(std::move(m));
    }
    if (rows == 0 || cols.empty() || rows > INT32_MAX) {
        std::printf("Minitab Worksheet is empty.");
        return 0;
    }
    make_sheet(cols, rows, {});
    return 1;
}

enum class Fault { None, Corrupt, Quiet };

// One column record of releases 12 to 14; values begin where the record's head ends.
Fault read_column_record(ByteReader rec, size_t head, MtwColumn& m) {
    rec.skip(MTW_RECORD_HEAD);
    m.number = rec.u32();
    m.text = rec.u32() != 1;
    uint32_t count = rec.u32();
    rec.skip(MTW_UNUSED_FIELDS);
    uint32_t name_len = rec.u32();
    if (rec.ok() && name_len > MTW_MAX_NAME) {
        std::printf("Minitab column name to long.");
        return Fault::Quiet;
    }
    m.name = rec.str(name_len);
    uint32_t desc_len = rec.u32();
    m.description = rec.str(desc_len);
    if (!rec.ok() || rec.pos() > head || !rec.seek(head)) return Fault::Corrupt;
    // Every value takes at least 4 bytes, so the count is checked before it sizes anything.
    if (uint64_t(count) * (m.text ? 4 : 8) > rec.remaining()) return Fault::Corrupt;
    if (m.text) {
        m.strs.resize(count);
        for (std::string& s : m.strs) {
            uint32_t len = rec.u32();
            std::string_view v = rec.view(len);
            s = std::string(v.substr(0, VXS_MAX_TEXT));
        }
    } else {
        m.nums.resize(count);
        for (double& v : m.nums) {
            uint64_t bits = rec.u64();
            std::memcpy(&v, &bits, 8);
            if (bits == MTW_MISSING_DOUBLE || std::isnan(v) || std::isinf(v) || v <= vxs_missing)
                v = vxs_missing;
            else
                v = clip(v);
        }
    }
    return rec.ok() ? Fault::None : Fault::Corrupt;
}

int16_t read_record_worksheet(std::string_view bytes, const char* user) {
    ByteReader in(bytes);
    std::vector<MtwColumn> cols;
    std::vector<std::string> titles;
    size_t rows = 0;
    bool header = false;
    while (in.remaining() >= MTW_RECORD_HEAD) {
        size_t start = in.pos();
        uint32_t kind = in.u32();
        uint32_t size = in.u32();
        uint32_t head = in.u32();
        if (size < MTW_RECORD_HEAD || size < head) break;
        if (size > bytes.size() - start) {
            if (!header) break;
            std::printf("Minitab Worksheet: %.100s is corrupt.", user);
            return 0;
        }
        ByteReader rec = in.slice(start, size);
        in.seek(start + size);
        if (!header) {
            if (kind != MTW_HEADER) break;
            if (size - head > MTW_MAX_HEADER) {
                std::printf("Minitab 12 Worksheet header too long.\n");
                return 0;
            }
            std::string data(bytes, start + head, size - head);
            std::string sig = data.size() >= MTW_SIGNATURE_AT + MTW_SIGNATURE_LEN
                                  ? data.substr(MTW_SIGNATURE_AT, MTW_SIGNATURE_LEN)
                                  : std::string();
            if (sig != "MTB12   WIN" && sig != "MTB13   WIN" && sig != "MTB14   WIN") break;
            header = true;
            continue;
        }
        if (kind == MTW_TITLES) {
            rec.seek(head);
            for (size_t k = 0; k < MTW_MAX_TITLES && rec.remaining() >= 4; ++k) {
                uint32_t len = rec.u32();
                if (len > MTW_MAX_TITLE) {
                    std::printf("Title string too long in Minitab file.\n");
                    return 0;
                }
                std::string_view t = rec.view(len);
                if (!rec.ok()) break;
                titles.emplace_back(
                    vxs_fixed_view(t, VxsPad::Nul));
            }
        } else if (kind == MTW_COLUMN) {
            MtwColumn m;
            Fault f = read_column_record(rec, head, m);
            if (f == Fault::Quiet) return 0;
            if (f == Fault::Corrupt) {
                std::printf("Minitab Worksheet: %.100s is corrupt.", user);
                return 0;
            }
            if (m.count() == 0) continue;
            rows = std::max(rows, m.count());
            cols.push_back(std::move(m));
        }
    }
    if (!header) {
        std::printf("Data file %.100s is not a Minitab Worksheet.\n", user);
        return 0;
    }
    if (rows == 0 || cols.empty() || rows > INT32_MAX) {
        std::printf("Minitab Worksheet is empty.");
        return 0;
    }
    make_sheet(cols, rows, titles);
    return 1;
}

}  // namespace

void vxs_set_mtw_file(const char* path) { vxs_set_container_file(path); }

int16_t read_mtw_into_sheet(const char* path) {
    VxsSource src;
    if (path) src.open_file(path);
    return read_mtw_source(src);
}

int16_t read_mtw_source(VxsSource& src) {
    const std::string name = src.name();
    const char* path = name.c_str();
    // A stored user's name means the container reader handed over a release 12-14 stream; it
    // serves this read only.
    const std::string user = vxs_take_shown_name("");
    std::string_view bytes;
    if (!src.is_open() || !src.whole(bytes)) return 0;
    if (!user.empty()) return read_record_worksheet(bytes, user.c_str());
    return read_old_worksheet(bytes, path);
}

namespace {

struct MtpHeader {
    long number = 0, count = 0, width = 0;
    std::string name;
};

// "%" then the number 3, the column number, the count, the width and the name.
bool parse_mtp_header(const std::string& line, MtpHeader& h) {
    if (line.empty() || line[0] != '%') return false;
    const char* p = line.c_str() + 1;
    char* end = nullptr;
    if (std::strtol(p, &end, 10) != 3 || end == p) return false;
    p = end;
    long f[3];
    for (long& x : f) {
        x = std::strtol(p, &end, 10);
        if (end == p) return false;
        p = end;
    }
    h.number = f[0];
    h.count = f[1];
    // A text width past any line only means one item per line; bounding it keeps the
    // negation that gives the width well defined.
    h.width = std::max(f[2], -(1L << 30));
    h.name = stripped(std::string_view(p).substr(0, 200));
    if (h.name.size() > VXS_MAX_NAME) h.name.resize(VXS_MAX_NAME);
    if (h.name.empty() || h.name[0] == '.') h.name = "C" + std::to_string(h.number);
    return h.number >= 1 && h.count >= 1;
}

bool next_line(std::string_view text, size_t& pos, std::string& line) {
    if (pos >= text.size()) return false;
    size_t nl = text.find('\n', pos);
    size_t end = nl == std::string::npos ? text.size() : nl;
    line.assign(text, pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pos = nl == std::string::npos ? text.size() : nl + 1;
    return true;
}

}  // namespace

int16_t read_mtp_into_sheet(const char* path) {
    VxsSource src;
    if (!path || !src.open_file(path)) return 0;
    return read_mtp_source(src);
}

int16_t read_mtp_source(VxsSource& src) {
    const std::string name = src.name();
    const char* path = name.c_str();
    std::string_view text;
    if (!src.whole(text)) return 0;
    size_t pos = 0;
    std::string line;
    if (!next_line(text, pos, line) ||
        strnicmp(line.c_str(), MTP_SIGNATURE, std::strlen(MTP_SIGNATURE)) != 0)
        return 0;
    const size_t data_start = pos;
    // A column holds no more values than the bytes of its lines (each takes at least one), so
    // a lying count sizes nothing past the file.
    long rows = 0, usable = 0, count_here = 0, bytes_here = 0;
    MtpHeader h;
    while (next_line(text, pos, line)) {
        if (parse_mtp_header(line, h)) {
            rows = std::max(rows, std::min(count_here, bytes_here));
            count_here = h.count;
            bytes_here = 0;
            ++usable;
        } else if (!line.empty() && line[0] == '%') {
            rows = std::max(rows, std::min(count_here, bytes_here));
            count_here = bytes_here = 0;
        } else {
            bytes_here += static_cast<long>(line.size()) + 1;
        }
    }
    rows = std::max(rows, std::min(count_here, bytes_here));
    if (usable == 0 || rows == 0) {
        std::printf("Minitab Portable data file %.100s does not contain column data.", path);
        return 0;
    }
    Sheet* sheet = create_sheet();
    sheet->kind = VXS_VECTOR;
    sheet->source_type = VXT_MTP;
    sheet->missing = vxs_missing;
    sheet->row_count = static_cast<int32_t>(rows);
    create_row_attr(sheet);
    if (usable > VXSMAXCOLUMNS)
        std::printf("Maximum number of columns (%i) exceeded.\nIgnoring extra columns.",
                    static_cast<int>(VXSMAXCOLUMNS));

    const VxsDefaults& g = *vxs_get_global_defaults();
    const double missing = sheet->missing;
    bool large = false;
    std::vector<std::pair<Column*, bool>> made;
    Column* col = nullptr;
    long filled = 0, count = 0, width = 0;
    pos = data_start;
    while (next_line(text, pos, line)) {
        if (line.size() && line[0] == '%') {
            col = nullptr;
            if (!parse_mtp_header(line, h)) continue;
            bool factor = h.name.back() == '!';
            std::string name = h.name;
            if (factor) name.pop_back();
            if (name.empty()) name = "C" + std::to_string(h.number);
            make_valid_vantrix_name(name);
            col = create_column_with_memory(sheet, h.width < 0 ? VXS_TEXT : VXS_VARIATE, name,
                                            sheet->row_count);
            if (col) made.emplace_back(col, factor);
            filled = 0;
            count = std::min(h.count, rows);
            width = h.width;
            continue;
        }
        if (!col || filled >= count) continue;
        if (width < 0) {
            size_t w = static_cast<size_t>(-width);
            for (size_t at = 0; at < line.size() && filled < count; at += w + 1) {
                std::string_view v = std::string_view(line).substr(at, w);
                v = v.substr(0, VXS_MAX_TEXT);
                std::string s = g.factor_strip_blanks
                                    ? stripped(v)
                                    : vxs_fixed_field(v, VxsPad::Blank);
                col->text.set(static_cast<size_t>(filled++), s);
            }
            continue;
        }
        const char* p = line.c_str();
        while (filled < count) {
            while (*p == ' ' || *p == '\t') ++p;
            if (!*p) break;
            char* end = nullptr;
            errno = 0;
            double v = std::strtod(p, &end);
            if (end == p || errno == ERANGE || std::isnan(v) || std::isinf(v)) {
                v = missing;
                p = end == p ? p + 1 : end;
            } else {
                p = end;
            }
            if (v > VXS_NUM_CEILING) {
                v = VXS_NUM_CEILING;
                large = true;
            }
            col->num[static_cast<size_t>(filled++)] = v;
        }
    }
    for (auto [c, factor] : made) {
        if (factor) {
            if (c->type == VXS_TEXT)
                convert_text_to_factor(c, g.factor_ignore_case, g.factor_strip_blanks);
            else
                convert_variate_to_factor(c, 1);
        }
        vxs_set_default_column_width(c, 0);
    }
    if (large)
        std::printf("Numbers in %.100s greater than %s have been set to this value.", path,
                    "9.99999E+307");
    errno = 0;
    return 1;
}
