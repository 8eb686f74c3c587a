// SAS transport (XPORT) files: the reader builds the sheet from the first member of a library,
// the writer writes the whole sheet as one member; both convert IBM doubles.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_reader_kit.h"
#include "../sheet/vxs_strings.h"
#include "../package/vxs_package.h"
#include "../sheet/byte_reader.h"
#include "../sheet/byte_writer.h"
#include "../sheet/vxs_access.h"
#include "../sheet/vxs_dates.h"
#include "../sheet/vxs_txtnum.h"
#include "../sheet/block_file.h"
#include "vxs_sas.h"

// ---------------------------------------------------------------------------------------------
// IBM System/370 doubles

namespace {

uint32_t word_be(const unsigned char* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

void put_word_be(unsigned char* p, uint32_t w) {
    p[0] = static_cast<unsigned char>(w >> 24);
    p[1] = static_cast<unsigned char>(w >> 16);
    p[2] = static_cast<unsigned char>(w >> 8);
    p[3] = static_cast<unsigned char>(w);
}

bool all_bytes(const unsigned char* p, size_t n, unsigned char v) {
    for (size_t i = 0; i < n; ++i)
        if (p[i] != v) return false;
    return true;
}

}  // namespace

void xpt2ieee(const unsigned char* xport, unsigned char* ieee) {
    std::memset(ieee, 0, 8);
    // SAS missing values: a code byte ('.', 'A'..'Z', '_') and seven zero bytes.
    if (xport[0] != 0 && all_bytes(xport + 1, 7, 0)) {
        ieee[0] = 0xFF;
        ieee[1] = 0xFF;
        ieee[2] = static_cast<unsigned char>(~xport[0]);
        return;
    }
    uint32_t x1 = word_be(xport);
    uint32_t x2 = word_be(xport + 4);
    if (x1 == 0 && x2 == 0) return;

    uint32_t i1 = x1 & 0x00FFFFFFu;
    uint32_t i2 = x2;
    // Normalise the hexadecimal fraction to a binary one: find the leading one bit.
    int shift = (x1 & 0x00800000u) ? 3 : (x1 & 0x00400000u) ? 2 : (x1 & 0x00200000u) ? 1 : 0;
    if (shift > 0) {
        i1 >>= shift;
        i2 = (x2 >> shift) | ((x1 & 7u) << (32 - shift));
    }
    i1 &= ~0x00100000u;  // the implied leading one
    int exponent = ((xport[0] & 0x7F) - 65) * 4 + shift + 1023;
    i1 |= (static_cast<uint32_t>(exponent) << 20) | (x1 & 0x80000000u);
    put_word_be(ieee, i1);
    put_word_be(ieee + 4, i2);
}

void ieee2xpt(const unsigned char* ieee, unsigned char* xport) {
    uint32_t i1 = word_be(ieee);
    uint32_t i2 = word_be(ieee + 4);
    std::memset(xport, 0, 8);
    uint32_t x1 = i1 & 0x000FFFFFu;
    uint32_t x2 = i2;
    int e = 0;
    // Negative zero is zero: its sign bit alone must not turn it into the too-small marker.
    if ((i1 & 0x7FFFFFFFu) != 0 || i2 != 0) {
        e = static_cast<int>((i1 >> 20) & 0x7FF) - 1023;
        int shift = e & 3;
        x1 |= 0x00100000u;
        if (shift > 0) {
            x1 = (x1 << shift) | (((i2 >> 24) & 0xE0u) >> (8 - shift));
            x2 <<= shift;
        }
        int hex_exponent = (e >> 2) + 65;  // arithmetic shift: floor(e / 4)
        x1 |= ((static_cast<uint32_t>(hex_exponent) & 0xFFu) | ((i1 >> 24) & 0x80u)) << 24;
    }
    if (e >= -260 && e <= 248) {
        put_word_be(xport, x1);
        put_word_be(xport + 4, x2);
        return;
    }
    std::memset(xport, 0xFF, 8);
    if (e > 248) xport[0] = 0x7F;
}

namespace {

double ieee_bytes_to_double(const unsigned char* b) {
    uint64_t bits = (uint64_t(word_be(b)) << 32) | word_be(b + 4);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

void double_to_ieee_bytes(double d, unsigned char* b) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    put_word_be(b, static_cast<uint32_t>(bits >> 32));
    put_word_be(b + 4, static_cast<uint32_t>(bits));
}

const unsigned char SAS_MISSING_DOT[8] = {0x2E, 0, 0, 0, 0, 0, 0, 0};

}  // namespace

int sas_xport_to_dbl(unsigned char* xport, double* out) {
    static const unsigned char too_large[8] = {0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    static const unsigned char marker_pos[8] = {0x00, 0x10, 0, 0, 0, 0, 0, 0};
    static const unsigned char marker_neg[8] = {0x80, 0x10, 0, 0, 0, 0, 0, 0};
    unsigned char ieee[8];
    if (all_bytes(xport, 8, 0xFF)) {
        *out = 0.0;
        return 0;
    }
    if (std::memcmp(xport, too_large, 8) == 0 || std::memcmp(xport, marker_pos, 8) == 0 ||
        std::memcmp(xport, marker_neg, 8) == 0) {
        std::memcpy(xport, SAS_MISSING_DOT, 8);
        xpt2ieee(xport, ieee);
        *out = ieee_bytes_to_double(ieee);
        return 0;
    }
    xpt2ieee(xport, ieee);
    *out = ieee_bytes_to_double(ieee);
    return 1;
}

void sas_dbl_to_xport(double value, unsigned char* xport) {
    unsigned char ieee[8];
    double_to_ieee_bytes(value, ieee);
    ieee2xpt(ieee, xport);
}

// ---------------------------------------------------------------------------------------------
// Reading

namespace {

struct SasVariable {
    int type = 0;
    int length = 0;
    uint32_t position = 0;
    std::string name;    // the 8 name bytes
    std::string label;   // the 40 label bytes
    std::string format;  // output format name, blanks removed
    int format_decimals = 0;
};

bool same_text(std::string_view bytes, size_t at, const char* text, size_t n) {
    if (at > bytes.size() || bytes.size() - at < n) return false;
    std::string a(bytes.substr(at, n));
    return strnicmp(a.c_str(), text, n) == 0 && std::strlen(a.c_str()) == n;
}

// Bytes of a fixed-width text field up to the first zero byte.
std::string field_text(std::string_view bytes) { return vxs_fixed_field(bytes, VxsPad::Nul); }

std::string trim_right_blanks(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

long leading_number(std::string_view digits) {
    long v = 0;
    size_t i = 0;
    while (i < digits.size() && digits[i] == ' ') ++i;
    // Saturates rather than overflows: a count this large is refused by its caller anyway.
    constexpr long kMost = 100'000'000'000'000'000;
    for (; i < digits.size() && digits[i] >= '0' && digits[i] <= '9'; ++i)
        if (v < kMost) v = v * 10 + (digits[i] - '0');
    return v;
}

struct DateFormatRule {
    const char* name;
    size_t compared;  // one more than the name's length: the name must stand alone
    int32_t date_format;
};

// Output formats that hold dates (days since 1960), date-times and times (seconds).
const DateFormatRule SAS_DATE_FORMATS[] = {
    {"DATETIME", 8, 33}, {"TOD", 4, 33},     {"DATE", 4, 10},    {"DDMMYY", 6, 10},
    {"MMDDYY", 6, 10},   {"YYMMDD", 6, 10},  {"WEEK", 4, 10},    {"MONTH", 5, 10},
    {"YEAR", 4, 10},     {"MONNAME", 7, 10}, {"DOWNAME", 7, 10}, {"WORDDAT", 7, 10},
    {"JULDAY", 6, 10},   {"JULIAN", 6, 10},  {"DAY", 4, 10},     {"YYMON", 5, 10},
    {"MONYY", 5, 10},    {"MMYY", 4, 10},    {"YYMM", 4, 10},    {"YYQR", 4, 10},
    {"YYQ", 4, 10},      {"QTR", 3, 10},     {"NENGO", 5, 10},   {"TIME", 4, 36},
    {"HOUR", 4, 36},     {"HHMM", 4, 36},
};

}  // namespace

int32_t sas_date_format_of(const std::string& format) {
    for (const DateFormatRule& rule : SAS_DATE_FORMATS) {
        size_t len = std::strlen(rule.name);
        if (format.size() < len || strnicmp(format.c_str(), rule.name, len) != 0) continue;
        if (rule.compared > len && format.size() != len) continue;
        return rule.date_format;
    }
    return 0;
}

namespace {

bool header_tag(std::string_view record) { return same_text(record, 0, SAS_HEADER_TAG, SAS_HEADER_TAG_LEN); }

// Data of the first member ends where a second member's header starts: a scan of the records
// from start, a block at a time.
uint64_t first_member_end(BlockFile& file, uint64_t start) {
    size_t tag_len = std::strlen(SAS_MEMBER_TAG);
    file.seek(start);
    while (file.remaining() >= SAS_RECORD) {
        ByteReader block = file.window(BlockFile::BLOCK, Endian::Big);
        size_t whole = block.size() / SAS_RECORD * SAS_RECORD;
        std::string_view data = block.view(whole);
        for (size_t at = 0; at + SAS_RECORD <= whole; at += SAS_RECORD)
            if (data[at] == 'H' && same_text(data, at, SAS_MEMBER_TAG, tag_len)) return file.position() + at;
        file.consume(whole);
    }
    return file.size();
}

// The bytes of one observation at a file offset (inside the file: checked by the caller).
std::string_view observation(BlockFile& file, uint64_t offset, size_t len) {
    file.seek(offset);
    ByteReader w = file.window(len, Endian::Big);
    return w.view(len);
}

bool all_blank(std::string_view bytes) { return bytes.find_first_not_of(' ') == std::string_view::npos; }

int16_t fail_not_transport() {
    std::printf("The file is not a SAS transport file.\n");
    return 0;
}

int16_t fail_cannot_read() {
    std::printf("Cannot successfully read SAS transport file\n");
    return 0;
}

}  // namespace

int16_t read_sas_transport_into_sheet(const char* path) {
    // The file is read in blocks: headers first, then the observations a block at a time.
    BlockFile file;
    if (!file.open(path)) return fail_not_transport();
    size_t head_len = 8 * SAS_RECORD;
    {
        // The header size: eight records, the descriptors, then the observation header.
        ByteReader head = file.window(head_len, Endian::Big);
        std::string_view first = head.view(head_len);
        if (head.ok() && header_tag(first.substr(3 * SAS_RECORD))) {
            long ns = leading_number(first.substr(3 * SAS_RECORD + SAS_MEMBER_NAMESTR_LEN_AT));
            long count = leading_number(first.substr(7 * SAS_RECORD + SAS_NAMESTR_COUNT_AT, SAS_NAMESTR_COUNT_DIGITS));
            if (ns > 0 && ns <= 140 && count > 0) head_len += (size_t(ns) * size_t(count) + SAS_RECORD - 1) / SAS_RECORD * SAS_RECORD + SAS_RECORD;
        }
    }
    ByteReader in = file.window(head_len, Endian::Big);

    // Library, member and descriptor headers.
    std::string_view rec[8];
    for (auto& r : rec) {
        r = in.view(SAS_RECORD);
        if (!in.ok()) return fail_not_transport();
    }
    if (!header_tag(rec[0]) || !same_text(rec[1], 0, "SAS", 3) || !same_text(rec[1], 8, "SAS", 3))
        return fail_not_transport();
    if (!header_tag(rec[3])) return fail_not_transport();
    long namestr_len = leading_number(rec[3].substr(SAS_MEMBER_NAMESTR_LEN_AT));
    if (namestr_len != long(SAS_NAMESTR_LEN) && namestr_len != long(SAS_NAMESTR_LEN_VMS))
        return fail_not_transport();
    if (!header_tag(rec[4]) || !same_text(rec[5], 0, "SAS", 3) || !header_tag(rec[7])) return fail_not_transport();
    long nvars = leading_number(rec[7].substr(SAS_NAMESTR_COUNT_AT, SAS_NAMESTR_COUNT_DIGITS));

    // Variable descriptors (at most 9999 of at most 140 bytes: the count cannot lie us into a
    // large allocation, and the bytes are checked before use).
    size_t ns_len = static_cast<size_t>(namestr_len);
    size_t ns_bytes = ns_len * static_cast<size_t>(nvars);
    if (!in.has(ns_bytes)) return fail_cannot_read();
    std::vector<SasVariable> vars(static_cast<size_t>(nvars));
    for (SasVariable& v : vars) {
        ByteReader ns = in.sub(ns_len);
        v.type = ns.u16_at(NS_TYPE);
        v.length = ns.u16_at(NS_LENGTH);
        std::string_view bytes(reinterpret_cast<const char*>(ns.data()), ns.size());
        v.name = std::string(bytes.substr(NS_NAME, SAS_NAME_LEN));
        v.label = std::string(bytes.substr(NS_LABEL, SAS_LABEL_LEN));
        v.format = trim_right_blanks(field_text(bytes.substr(NS_FORMAT, SAS_FORMAT_LEN)));
        v.format_decimals = static_cast<int16_t>(ns.u16_at(NS_FORMAT_D));
        v.position = ns.u32_at(NS_POSITION);
    }
    if (size_t r = ns_bytes % SAS_RECORD; r > 0) in.skip(SAS_RECORD - r);
    std::string_view obs_header = in.view(SAS_RECORD);
    if (!in.ok() || !header_tag(obs_header)) {
        std::printf("No Data header found in SAS transport file\n");
        return fail_cannot_read();
    }

    // Observations: whole records up to the end of the file or of the first member.
    uint64_t start = in.pos();
    uint64_t end = first_member_end(file, start);
    size_t remaining = static_cast<size_t>(end - start);
    int64_t obs_len = vars.empty() ? 0 : int64_t(vars.back().position) + vars.back().length;
    int64_t nrows = obs_len > 0 ? int64_t(remaining) / obs_len : 0;
    if (nrows < 1 || nvars < 1 || obs_len < 1) {
        std::printf("SAS transport file %.100s is empty.\n", path);
        return fail_cannot_read();
    }
    if (nrows > INT32_MAX - 1) nrows = INT32_MAX - 1;
    // The last record is blank padded: the blank rows that start inside it and run to the end
    // are padding, not data. (Counting from the row after the one that straddles into the last
    // record would take a padding row that starts exactly at a row boundary for data.)
    if (remaining >= SAS_RECORD) {
        int64_t last_record = int64_t((remaining / SAS_RECORD - 1) * SAS_RECORD);
        int64_t first = (last_record + obs_len - 1) / obs_len;
        while (nrows > first && all_blank(observation(file, start + uint64_t((nrows - 1) * obs_len), size_t(obs_len))))
            --nrows;
    }
    if (nrows < 1) {
        std::printf("SAS transport file %.100s is empty.\n", path);
        return fail_cannot_read();
    }

    // Check every variable that becomes a column before anything is built. The values of the
    // taken variables must lie inside the observation and together be no longer than it: this
    // bounds the cells of the sheet by the bytes of the file.
    std::vector<size_t> taken;
    int64_t taken_bytes = 0;
    bool long_text = false;
    for (size_t i = 0; i < vars.size() && taken.size() < size_t(VXSMAXCOLUMNS); ++i) {
        const SasVariable& v = vars[i];
        if (v.type == SAS_CHARACTER) {
            if (v.length < 1 || v.length > SAS_MAX_CHAR_LEN) return fail_cannot_read();
            if (size_t(v.length) > VXS_MAX_TEXT) long_text = true;
        } else if (v.type == SAS_NUMERIC) {
            if (v.length < SAS_MIN_NUM_LEN || v.length > SAS_MAX_NUM_LEN) return fail_cannot_read();
        } else {
            continue;
        }
        taken_bytes += v.length;
        if (int64_t(v.position) + v.length > obs_len || taken_bytes > obs_len) return fail_cannot_read();
        taken.push_back(i);
    }
    if (taken.empty()) {
        std::printf("SAS transport file %.100s is empty.\n", path);
        return fail_cannot_read();
    }

    Sheet* sheet = vxs_begin_sheet(static_cast<int64_t>(nrows));
    if (!sheet || sheet->rows.empty()) return fail_cannot_read();

    struct Target {
        Column* col;
        const SasVariable* var;
    };
    std::vector<Target> cols;
    cols.reserve(taken.size());
    for (size_t i : taken) {
        const SasVariable& v = vars[i];
        std::string name = field_text(v.name);
        if (name.empty() || name[0] == ' ') name = "C" + std::to_string(i);
        Column* col = vxs_add_column(sheet, v.type == SAS_CHARACTER ? VXS_TEXT : VXS_VARIATE, name, sheet->row_count);
        if (!col) break;
        // A label of blanks only strips to a single blank, which is kept like any label.
        col->extra = vxs_strip_blanks(field_text(v.label), SAS_LABEL_LEN);
        if (v.type == SAS_NUMERIC) {
            if (v.format_decimals > 0) {
                col->decimals = v.format_decimals;
                col->representation = VXS_REP_FIXED;
            }
            if (int32_t date_format = sas_date_format_of(v.format)) {
                col->representation = VXS_REP_DATE;
                col->date_format = date_format;
                col->gregorian = 1;
            }
        } else {
            col->text.clear();
            col->text.reserve(size_t(nrows), size_t(nrows) * std::min<size_t>(v.length, VXS_MAX_TEXT));
        }
        cols.push_back({col, &v});
    }
    if (long_text)
        std::printf("Columns containing text longer than %i have been truncated to this length.\n",
                    int(VXS_MAX_TEXT));
    if (vars.size() > size_t(VXSMAXCOLUMNS))
        std::printf("Too many variables in SAS dataset, only the first %i will be imported.", int(VXSMAXCOLUMNS));

    long overflows = 0;
    bool large = false;
    const double missing = sheet->missing;
    file.seek(start);
    for (int64_t row = 0; row < nrows; ++row) {
        ByteReader window = file.window(size_t(obs_len), Endian::Big);
        std::string_view obs = window.view(size_t(obs_len));
        file.consume(uint64_t(obs_len));
        for (Target& t : cols) {
            const SasVariable& v = *t.var;
            std::string_view bytes = obs.substr(v.position, size_t(v.length));
            if (v.type == SAS_CHARACTER) {
                std::string_view s = bytes.substr(0, std::min<size_t>(bytes.size(), VXS_MAX_TEXT));
                s = s.substr(0, s.find('\0'));
                size_t keep = s.find_last_not_of(' ');
                s = s.substr(0, keep == std::string_view::npos ? std::min<size_t>(s.size(), 1) : keep + 1);
                t.col->text.push_back(s);
                continue;
            }
            unsigned char buf[8] = {0, 0, 0, 0, 0, 0, 0, 0};
            std::memcpy(buf, bytes.data(), bytes.size());
            double value;
            if (!sas_xport_to_dbl(buf, &value)) {
                ++overflows;
                // For the package's output window; the buffer bounds itself when nothing flushes it.
                char line[160];
                std::snprintf(line, sizeof line, "      SAS Transport: Exponent overflow in Column %s at row %li\n",
                              t.col->name.c_str(), long(row + 1));
                vxs_add_to_buf(line, 0, 0, nullptr);
            }
            if (std::isnan(value) || value < missing) {
                value = missing;
            } else {
                if (value > VXS_NUM_CEILING) {
                    value = VXS_NUM_CEILING;
                    large = true;
                }
                if (t.col->representation == VXS_REP_DATE)
                    value = t.col->date_format == 10 ? value + SAS_EPOCH_1600
                                                     : SAS_EPOCH_1600 + value / SAS_SECONDS_PER_DAY;
            }
            t.col->num[size_t(row)] = value;
        }
    }
    for (Target& t : cols)
        if (t.col->is_text()) {
            int32_t longest = 0;
            for (size_t i = 0; i < t.col->text.size(); ++i)
                longest = std::max<int32_t>(longest, int32_t(t.col->text.get(i).size()));
            t.col->nlevels = longest;
        }

    if (large) std::printf("Numbers greater than %s have been set to this value!\n", "9.99999E+307");
    if (overflows > 0)
        std::printf("%li values in: %.100s\noverflowed the 7 bit exponent in the SAS XPORT numerical format.\n"
                    "The values where abs(X) > 1e+76 or abs(X) < 1e-76\nhave been set to missing or zero "
                    "respectively.\nA summary of the changes is detailed in the Output window.\n",
                    overflows, path);
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Writing

namespace {

const char* const SAS_MONTHS[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                    "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

std::string sas_date_time_now() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    if (const std::tm* local = std::localtime(&now)) tm = *local;
    long year = tm.tm_year;
    while (year >= 100) year -= 100;
    char text[64];
    std::snprintf(text, sizeof text, "%02li%3.3s%02li:%02li:%02li:%02li", long(tm.tm_mday),
                  SAS_MONTHS[tm.tm_mon >= 0 && tm.tm_mon < 12 ? tm.tm_mon : 0], year, long(tm.tm_hour),
                  long(tm.tm_min), long(tm.tm_sec));
    return std::string(text).substr(0, 16);
}

// One 80-byte record from a text: cut or blank padded.
std::string record(std::string text) {
    text.resize(SAS_RECORD, ' ');
    return text;
}

std::string padded(std::string_view text, size_t n) {
    std::string s(text.substr(0, std::min(text.size(), n)));
    s.resize(n, ' ');
    return s;
}

bool is_alnum_ascii(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Member name from the input file's base name up to its first '.', at most 8 characters.
std::string sas_member_name(const std::string& source) {
    size_t slash = source.find_last_of("/\\");
    std::string base = slash == std::string::npos ? source : source.substr(slash + 1);
    base = base.substr(0, base.find('.')).substr(0, SAS_NAME_LEN);
    if (base.empty()) return "VANTRIX ";
    for (char& c : base) {
        if (c == ' ')
            c = '_';
        else if (!is_alnum_ascii(c) && c != '_')
            c = 'X';
    }
    return padded(base, SAS_NAME_LEN);
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

// A SAS name for a column: letters, digits and '_', not starting with a digit, at most 8
// characters, unique without regard to case among the names already given.
std::string sas_variable_name(const std::string& name, size_t number, std::unordered_set<std::string>& used) {
    std::string s = name.substr(0, SAS_NAME_LEN);
    for (char& c : s)
        if (!is_alnum_ascii(c) && c != '_') c = '_';
    if (!s.empty() && s[0] >= '0' && s[0] <= '9') s = ("_" + s).substr(0, SAS_NAME_LEN);
    if (s.empty()) s = "C" + std::to_string(number);
    std::string candidate = s;
    for (size_t k = 1; used.count(upper(candidate)); ++k) {
        std::string suffix = std::to_string(k);
        candidate = s.substr(0, SAS_NAME_LEN - suffix.size()) + suffix;
    }
    used.insert(upper(candidate));
    return candidate;
}

void put_u16(std::string& b, size_t at, uint32_t v) {
    b[at] = char((v >> 8) & 0xFF);
    b[at + 1] = char(v & 0xFF);
}

void put_u32(std::string& b, size_t at, uint32_t v) {
    put_u16(b, at, v >> 16);
    put_u16(b, at + 2, v & 0xFFFF);
}

void put_text(std::string& b, size_t at, std::string_view text, size_t n) { b.replace(at, n, padded(text, n)); }

enum class WriteAs { Number, Text, FactorIndex, FactorLevel, FactorLabel };
enum class DateKind { None, Date, DateTime, Time };

struct OutColumn {
    Column* col;
    WriteAs how;
    DateKind date = DateKind::None;
    uint32_t length;
    uint32_t position;
    int32_t sym_start = 0;  // symmetric-matrix column: rows before this one are missing
};

bool is_missing_value(double v, double missing) { return std::isnan(v) || v <= missing || vxs_is_missing(v); }

// Days (or seconds) that SAS counts for a sheet date value.
double sas_date_value(double v, const OutColumn& oc, double missing) {
    const Column* col = oc.col;
    if (oc.date == DateKind::Time) {
        if (v > 60) v -= col->gregorian ? SAS_EPOCH_1600 : SAS_EPOCH_1900;
    } else {
        if (!col->gregorian) {
            vxs_date_1900_to_1600(&v, missing);
            if (is_missing_value(v, missing)) return v;
        }
        v -= SAS_EPOCH_1600;
    }
    if (oc.date != DateKind::Date) {
        v *= SAS_SECONDS_PER_DAY;
        // A day number carries a time only to a few microseconds; without rounding, 01:00:00
        // read back in would be written as 3599.9999999 seconds.
        if (std::fabs(v) < 1e11) v = std::round(v * 1e4) / 1e4;
    }
    return v;
}

// Every value fits the TIME format when it is a time of day or lies within 60 days of 1960.
bool fits_time(const Column* col) {
    double k = col->gregorian ? -SAS_EPOCH_1600 : -SAS_EPOCH_1900;
    const std::vector<double>& values = col->type == VXS_FACTOR && col->levels_present() > 0 ? col->levels : col->num;
    for (double v : values)
        if (!(v + k < 60 || v <= 60)) return false;
    return true;
}

void put_number(char* out, double v, const OutColumn& oc, double missing) {
    if (!is_missing_value(v, missing) && oc.date != DateKind::None) v = sas_date_value(v, oc, missing);
    if (is_missing_value(v, missing)) {
        std::memcpy(out, SAS_MISSING_DOT, 8);
        return;
    }
    sas_dbl_to_xport(v, reinterpret_cast<unsigned char*>(out));
}

}  // namespace

int16_t write_sheet_as_sas_transport(Sheet* sheet, const char* path) {
    if (!sheet || sheet->row_count < 1 || sheet->column_count < 1 || sheet->cols.size() < 2) return 0;
    ByteWriter out;
    if (!out.open(path)) {
        std::printf("Write SAS Tranport file - could not open file %.100s\n", path);
        return 0;
    }
    const double missing = sheet->missing;
    const std::string now = sas_date_time_now();
    out.bytes(SAS_LIBRARY_HEADER);
    out.bytes(record("SAS     SAS     SASLIB  6.12    WIN_NT                          " + now));
    out.bytes(record(now));
    out.bytes(SAS_MEMBER_HEADER);
    out.bytes(SAS_DSCRPTR_HEADER);
    out.bytes(record("SAS     " + sas_member_name(sheet->source_file) + "SASDATA 6.12    WIN_NT" +
                   std::string(26, ' ') + now));
    out.bytes(record(now));

    std::vector<OutColumn> cols;
    for (size_t i = 1; i < sheet->cols.size(); ++i) {
        Column* col = sheet->cols[i].get();
        if (!col || col->type == VXS_ROW) continue;
        OutColumn oc{col, WriteAs::Number, DateKind::None, 8, 0};
        if (col->is_text()) {
            int32_t longest = 1;
            for (size_t r = 0; r < col->text.size(); ++r)
                longest = std::max<int32_t>(longest, int32_t(col->text.get(r).size()));
            col->nlevels = longest;
            oc.how = WriteAs::Text;
            oc.length = uint32_t(longest);
        } else if (col->type == VXS_FACTOR && col->labels_present() > 0) {
            size_t longest = 1;
            for (const std::string& label : col->labels) longest = std::max(longest, label.size());
            oc.how = WriteAs::FactorLabel;
            oc.length = uint32_t(std::min<size_t>(longest, SAS_MAX_CHAR_LEN));
        } else if (col->type == VXS_FACTOR) {
            oc.how = col->levels_present() > 0 ? WriteAs::FactorLevel : WriteAs::FactorIndex;
        }
        if (oc.length == 8 && (oc.how == WriteAs::Number || oc.how == WriteAs::FactorLevel) &&
            col->representation == VXS_REP_DATE) {
            if (col->date_format < 33 || col->date_format == 40)
                oc.date = DateKind::Date;
            else if (col->date_format <= 35)
                oc.date = DateKind::DateTime;
            else
                oc.date = fits_time(col) ? DateKind::Time : DateKind::DateTime;
        }
        if (col->type == VXS_SYMMAT_COL) oc.sym_start = col->position - sheet->units_count;
        cols.push_back(oc);
    }
    if (cols.empty()) {
        out.close();
        return 0;
    }

    char count_text[16];
    std::snprintf(count_text, sizeof count_text, "%04li", long(cols.size()) % 10000);
    out.bytes(record(std::string("HEADER RECORD*******NAMESTR HEADER RECORD!!!!!!!000000") + count_text +
                   "00000000000000000000  "));

    std::unordered_set<std::string> used;
    uint32_t position = 0;
    std::string descriptors;
    for (OutColumn& oc : cols) {
        Column* col = oc.col;
        oc.position = position;
        position += oc.length;
        std::string ns(SAS_NAMESTR_LEN, '\0');
        bool character = oc.how == WriteAs::Text || oc.how == WriteAs::FactorLabel;
        put_u16(ns, NS_TYPE, character ? SAS_CHARACTER : SAS_NUMERIC);
        put_u16(ns, NS_LENGTH, oc.length);
        put_u16(ns, NS_VARNUM, uint32_t(col->position));
        std::string name = sas_variable_name(col->name, size_t(col->position), used);
        if (name != col->name)
            std::printf("Warning: Column %s written to the SAS transport file as %s.\n", col->name.c_str(),
                        name.c_str());
        put_text(ns, NS_NAME, name, SAS_NAME_LEN);
        // A renamed column keeps its full name as its label when it has none.
        std::string label = col->extra;
        if (all_blank(label) && name != col->name) label = col->name;
        put_text(ns, NS_LABEL, label, SAS_LABEL_LEN);
        const char* format = oc.date == DateKind::Date       ? "DATE"
                             : oc.date == DateKind::DateTime ? "DATETIME"
                             : oc.date == DateKind::Time     ? "TIME"
                                                             : "";
        uint32_t width = oc.date == DateKind::Date ? 9 : oc.date == DateKind::DateTime ? 20 : oc.date == DateKind::Time ? 8 : 0;
        put_text(ns, NS_FORMAT, format, SAS_FORMAT_LEN);
        put_text(ns, NS_INFORMAT, format, SAS_FORMAT_LEN);
        put_u16(ns, NS_FORMAT_W, width);
        put_u16(ns, NS_INFORMAT_W, width);
        if (oc.date == DateKind::None && !character && col->decimals >= 0) put_u16(ns, NS_FORMAT_D, uint32_t(col->decimals));
        put_u32(ns, NS_POSITION, oc.position);
        put_text(ns, NS_REST, "", SAS_NAMESTR_LEN - NS_REST);
        descriptors += ns;
    }
    descriptors.resize((descriptors.size() + SAS_RECORD - 1) / SAS_RECORD * SAS_RECORD, ' ');
    out.bytes(descriptors);
    out.bytes(SAS_OBS_HEADER);

    const uint32_t obs_len = position;
    std::string obs(obs_len, '\0');
    for (int32_t row = 0; row < sheet->row_count; ++row) {
        std::fill(obs.begin(), obs.end(), '\0');
        for (const OutColumn& oc : cols) {
            const Column* col = oc.col;
            char* at = obs.data() + oc.position;
            size_t r = size_t(row);
            switch (oc.how) {
            case WriteAs::Text: {
                std::string_view s = r < col->text.size() ? col->text.get(r) : std::string_view();
                std::memcpy(at, padded(s, oc.length).data(), oc.length);
                break;
            }
            case WriteAs::FactorLabel: {
                double index = r < col->num.size() ? col->num[r] : missing;
                std::string_view s;
                if (!is_missing_value(index, missing) && index >= 1 && index <= col->labels_present())
                    s = col->labels[size_t(index) - 1];
                std::memcpy(at, padded(s, oc.length).data(), oc.length);
                break;
            }
            case WriteAs::FactorLevel: {
                double index = r < col->num.size() ? col->num[r] : missing;
                double v = missing;
                if (!is_missing_value(index, missing) && index >= 1 && index <= col->levels_present())
                    v = col->levels[size_t(index) - 1];
                put_number(at, v, oc, missing);
                break;
            }
            case WriteAs::FactorIndex:
            case WriteAs::Number: {
                double v = missing;
                if (row >= oc.sym_start) {
                    size_t cell = col->num.size() < size_t(sheet->row_count) ? r - size_t(oc.sym_start) : r;
                    if (cell < col->num.size()) v = col->num[cell];
                }
                put_number(at, v, oc, missing);
                break;
            }
            }
        }
        out.bytes(obs);
    }
    uint64_t data_bytes = uint64_t(obs_len) * uint64_t(sheet->row_count);
    if (uint64_t r = data_bytes % SAS_RECORD; r > 0) out.bytes(std::string(SAS_RECORD - r, ' '));
    return out.close() ? 1 : 0;
}
