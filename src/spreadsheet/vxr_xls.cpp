// Excel workbook reader for BIFF 2, 3, 4 (bare worksheet files), 5/7 ("Book" streams) and 8
// ("Workbook" streams): the workbook globals (sheets, shared strings, named ranges), the choice
// of one worksheet or named range, and the stored cell values of that sheet (numbers, RK and
// MULRK numbers, texts, booleans, cached formula results, notes) gathered into the cell store.
#include "vxs_xls.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../sheet/byte_writer.h"
#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_options.h"
#include "../sheet/byte_reader.h"
#include "../sheet/vxs_sheet.h"
#include "../sheet/vxs_txtnum.h"
#include "vxs_cdf.h"

namespace {

// Record codes.
constexpr uint16_t kDimensions2 = 0x0000, kDimensions = 0x0200;
constexpr uint16_t kInteger = 0x0002;
constexpr uint16_t kNumber2 = 0x0003, kNumber = 0x0203;
constexpr uint16_t kLabel2 = 0x0004, kLabel = 0x0204;
constexpr uint16_t kBoolErr2 = 0x0005, kBoolErr = 0x0205;
constexpr uint16_t kFormula = 0x0006, kFormula4 = 0x0406;
constexpr uint16_t kString2 = 0x0007, kString = 0x0207;
constexpr uint16_t kEof = 0x000A;
constexpr uint16_t kBof2 = 0x0009, kBof = 0x0809;
constexpr uint16_t kPassword = 0x0013, kFilepass = 0x002F;
constexpr uint16_t kExternSheet = 0x0017;
constexpr uint16_t kName = 0x0018, kName3 = 0x0218;
constexpr uint16_t kNote = 0x001C;
constexpr uint16_t kContinue = 0x003C;
constexpr uint16_t kObj = 0x005D;
constexpr uint16_t kRk2 = 0x007E, kRk = 0x027E;
constexpr uint16_t kBoundSheet = 0x0085;
constexpr uint16_t kMulRk = 0x00BD;
constexpr uint16_t kRString = 0x00D6;
constexpr uint16_t kSst = 0x00FC;
constexpr uint16_t kLabelSst = 0x00FD;
constexpr uint16_t kSupBook = 0x01AE;
constexpr uint16_t kTxo = 0x01B6;
constexpr uint16_t kFirstBadCode = 0x7FFF;

constexpr uint16_t kMaxRecord = 8224;  // longest record Excel writes before BIFF8
constexpr size_t kMaxText = 90;        // longest text kept from a cell
constexpr size_t kMaxSheetName = 60;
constexpr size_t kMaxSupBooks = 257;
constexpr uint64_t kMaxCellBytes = 480000000;  // cell array size at which the reader gives up

// Token of a 3-D area reference, the only formula that makes a named range.
constexpr uint8_t kArea3d = 0x3B;

VxsSelection* g_selection = nullptr;

struct Record {
    uint16_t code = 0;
    uint16_t len = 0;
    size_t body = 0;  // offset of the content in the stream
};

// Records of the workbook stream from the reader's position. A record's bytes stay valid
// until the next record is read.
class Records {
public:
    explicit Records(size_t size) : size_(size) {}
    size_t pos = 0;
    size_t size() const { return size_; }
    // True when the record's header was there (r.code and r.len are set); truncated tells
    // whether its content runs past the end of the data.
    bool header(Record& r, bool& truncated) {
        truncated = false;
        if (pos >= size_ || size_ - pos < 4) {
            pos = size_;
            return false;
        }
        ByteReader h(xls_stream_span(pos, 4));
        r.code = h.u16();
        r.len = h.u16();
        r.body = pos + 4;
        if (r.len > size_ - r.body) {
            pos = size_;
            truncated = true;
            return true;
        }
        pos = r.body + r.len;
        return true;
    }
    // False at the end of the data (also a header or content cut short).
    bool next(Record& r) {
        bool truncated;
        return header(r, truncated) && !truncated;
    }
    ByteReader body(const Record& r) const { return ByteReader(xls_stream_span(r.body, r.len)); }

private:
    size_t size_;
};

// One character of a 16-bit string reduced to a byte: printable ASCII stays, anything else
// becomes "_".
char narrow(uint16_t c) { return (c >= 32 && c <= 127) ? static_cast<char>(c) : '_'; }

// count characters of 8-bit or 16-bit width; keeps at most kMaxText of them.
std::string read_chars(ByteReader& r, size_t count, bool wide, size_t keep = kMaxText) {
    std::string out;
    size_t width = wide ? 2 : 1;
    if (count > r.remaining() / width) count = r.remaining() / width;
    for (size_t i = 0; i < count; ++i) {
        char c = wide ? narrow(r.u16()) : static_cast<char>(r.u8());
        if (out.size() < keep) out.push_back(c);
    }
    return out;
}

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The content of a record and of the CONTINUE records after it, read as one sequence. Where
// a string's characters run into a CONTINUE, that record opens with a fresh option byte that
// sets the width of the rest.
class Continued {
public:
    Continued(Records& recs, const Record& first) : recs_(recs) { start(first); }
    bool ok() const { return ok_; }
    size_t end() const { return end_; }

    uint8_t u8() {
        if (pos_ == end_ && !next_segment()) return 0;
        return seg_[pos_++ - body_];
    }
    uint16_t u16() { return static_cast<uint16_t>(u8() | (u8() << 8)); }
    uint32_t u32() {
        uint32_t lo = u16();
        return lo | (static_cast<uint32_t>(u16()) << 16);
    }
    void skip(uint64_t n) {
        while (n > 0 && ok_) {
            if (pos_ == end_ && !next_segment()) return;
            uint64_t take = end_ - pos_;
            if (take > n) take = n;
            pos_ += take;
            n -= take;
        }
    }
    std::string chars(uint32_t count, bool wide) {
        std::string out;
        for (uint32_t i = 0; i < count && ok_; ++i) {
            if (pos_ == end_) {
                if (!next_segment()) break;
                wide = (u8() & 0x01) != 0;
            }
            char c;
            if (wide) {
                uint16_t lo = u8();
                c = narrow(static_cast<uint16_t>(lo | (u8() << 8)));
            } else {
                c = static_cast<char>(u8());
            }
            if (out.size() < kMaxText) out.push_back(c);
        }
        return out;
    }

private:
    bool next_segment() {
        Record r;
        size_t save = recs_.pos;
        recs_.pos = end_;
        if (!recs_.next(r) || r.code != kContinue) {
            recs_.pos = save;
            ok_ = false;
            return false;
        }
        start(r);
        return pos_ < end_ || next_segment();
    }
    void start(const Record& r) {
        seg_ = xls_stream_span(r.body, r.len);
        body_ = pos_ = r.body;
        end_ = r.body + r.len;
    }
    Records& recs_;
    std::span<const uint8_t> seg_;  // the current record's content
    size_t body_ = 0, pos_ = 0, end_ = 0;
    bool ok_ = true;
};

struct ExternSheet {
    uint16_t supbook = 0;
    uint16_t first_sheet = 0;
};

// State of one read; the module keeps nothing else between runs but the selection record.
struct Reader {
    const char* path = nullptr;
    XlsFatal* fatal = nullptr;
    bool biff8 = false, biff2 = false, bare = false;
    std::vector<uint64_t> sst_offsets;  // per shared string: offset << 8 | length into sst_arena
    std::string sst_arena;
    std::vector<ExternSheet> extern_sheets;
    std::vector<uint8_t> supbooks;
    int32_t boundsheet_count = 0;
    bool protected_book = false;
    VxsCellStore store;
    int32_t last_formula_row = -1, last_formula_col = -1;
    int32_t comment_object = -1;

    void set_fatal(int status, std::string message) {
        if (fatal->status < 0) {
            fatal->status = status;
            fatal->message = std::move(message);
        }
    }
};

// A non-zero password, or a record of another length, means the workbook is protected.
bool is_protection(ByteReader r) {
    if (r.size() == 2) return r.u16() != 0;
    if (r.size() == 4) return r.u32() != 0;
    return true;
}

bool read_sst(Reader& rd, Records& recs, const Record& rec) {
    Continued c(recs, rec);
    c.u32();  // total count
    uint32_t unique = c.u32();
    if (!c.ok()) return false;
    // Every string takes at least three bytes, so a count beyond that is a lying header.
    size_t left = recs.size() - rec.body;
    if (unique > left / 3) {
        rd.set_fatal(13, "Error: Invalid Excel Global label storage record!\n");
        return false;
    }
    rd.sst_offsets.reserve(unique);
    for (uint32_t i = 0; i < unique; ++i) {
        uint16_t count = c.u16();
        uint8_t options = c.u8();
        uint16_t runs = (options & 0x08) ? c.u16() : 0;
        uint32_t far_east = (options & 0x04) ? c.u32() : 0;
        std::string s = c.chars(count, (options & 0x01) != 0);
        c.skip(4ull * runs + far_east);
        if (!c.ok()) return false;
        rd.sst_offsets.push_back(static_cast<uint64_t>(rd.sst_arena.size()) << 8 | s.size());
        rd.sst_arena += s;
    }
    recs.pos = c.end();
    return true;
}

void read_boundsheet(Reader& rd, ByteReader r, bool& err) {
    uint32_t position = r.u32();
    uint16_t options = r.u16();
    uint8_t len = r.u8();
    bool wide = rd.biff8 ? (r.u8() & 0x01) != 0 : false;
    if (!r.ok()) {
        err = true;
        return;
    }
    std::string name = read_chars(r, len, wide, kMaxSheetName);
    int32_t number = rd.boundsheet_count++;
    if ((options >> 8) != 0) return;  // charts, macro sheets, modules
    g_selection->sheets.push_back({upper(name), position, number});
}

void read_externsheet(Reader& rd, ByteReader r, bool& err) {
    uint16_t count = r.u16();
    for (uint16_t i = 0; i < count && r.ok(); ++i) {
        ExternSheet e;
        e.supbook = r.u16();
        e.first_sheet = r.u16();
        r.u16();
        if (r.ok()) rd.extern_sheets.push_back(e);
    }
    if (!r.ok()) err = true;
}

void read_supbook(Reader& rd, ByteReader r) {
    r.u16();
    uint8_t b = r.u8();
    if (rd.supbooks.size() >= kMaxSupBooks) return;
    bool own = b == 0 || b == 2 || (b == 1 && r.size() == 4);
    rd.supbooks.push_back(own ? 1 : 0);
}

void read_name(Reader& rd, ByteReader r) {
    uint16_t options = r.u16();
    if (options & 0x1FFF) return;  // hidden, function, built-in and similar names
    r.skip(1);
    uint8_t name_len = r.u8();
    uint16_t formula_size = r.u16();
    r.skip(2 + 6);
    bool wide = rd.biff8 ? (r.u8() & 0x01) != 0 : false;
    if (!r.ok()) return;
    std::string name = upper(read_chars(r, name_len, wide, kMaxSheetName));
    ByteReader f = r.sub(formula_size);
    if (!r.ok() || formula_size < 1 || f.u8_at(0) != kArea3d) return;
    VxsRangeEntry e;
    e.name = name;
    if (!rd.biff8) {
        if (formula_size < 21) return;
        int16_t ref = static_cast<int16_t>(f.u16_at(1));
        int16_t first = static_cast<int16_t>(f.u16_at(11));
        int16_t last = static_cast<int16_t>(f.u16_at(13));
        if (ref >= 0 || first != last) return;
        e.first_row = f.u16_at(15) & 0x3FFF;
        e.last_row = f.u16_at(17) & 0x3FFF;
        e.first_col = f.u8_at(19);
        e.last_col = f.u8_at(20);
        e.sheet_number = first;
    } else {
        if (formula_size < 11) return;
        uint16_t ext = f.u16_at(1);
        if (ext >= rd.extern_sheets.size()) return;
        uint16_t sup = rd.extern_sheets[ext].supbook;
        if (sup >= rd.supbooks.size() || rd.supbooks[sup] != 1) return;
        e.first_row = f.u16_at(3);
        e.last_row = f.u16_at(5);
        e.first_col = f.u8_at(7);
        e.last_col = f.u8_at(9);
        e.sheet_number = rd.extern_sheets[ext].first_sheet;
    }
    g_selection->ranges.push_back(e);
}

// Ends the globals: an error while reading them, or a workbook without worksheets, ends the
// run.
bool finish_globals(Reader& rd, bool err) {
    if (err) {
        rd.set_fatal(14, "Error reading Excel Global header!\n");
        return false;
    }
    if (g_selection->sheets.empty()) {
        rd.set_fatal(15, "Empty Excel spreadsheet - no valid worksheets!\n");
        return false;
    }
    return true;
}

// The workbook globals of a BIFF5 or BIFF8 stream; false when reading must stop.
bool read_globals(Reader& rd, Records& recs) {
    bool err = false;
    long number = 0;
    Record rec;
    while (!err) {
        bool truncated;
        if (!recs.header(rec, truncated)) {
            err = true;
            break;
        }
        ++number;
        if (number == 1 && rec.code != kBof) {
            char msg[96];
            std::snprintf(msg, sizeof msg, "Error: Invalid Excel record code %li:1 %li!\n", number,
                          static_cast<long>(rec.code));
            rd.set_fatal(11, msg);
            return false;
        }
        if (rec.len > kMaxRecord && !rd.biff8) {
            rd.set_fatal(12, "Error: Invalid Excel record length!\n");
            return false;
        }
        if (truncated) {
            err = true;
            break;
        }
        ByteReader r = recs.body(rec);
        switch (rec.code) {
            case kEof:
                if (number > 1) return finish_globals(rd, false);
                break;
            case kPassword:
            case kFilepass:
                if (is_protection(r)) {
                    rd.protected_book = true;
                    return false;
                }
                break;
            case kExternSheet:
                if (rd.biff8) read_externsheet(rd, r, err);
                break;
            case kBoundSheet:
                read_boundsheet(rd, r, err);
                break;
            case kSst:
                if (!read_sst(rd, recs, rec)) {
                    if (rd.fatal->status >= 0) return false;
                    err = true;
                }
                break;
            case kSupBook:
                if (rd.biff8)
                    read_supbook(rd, r);
                else
                    err = true;
                break;
            case kName:
            case kName3:
                read_name(rd, r);
                break;
            default:
                if (rec.code >= kFirstBadCode) {
                    rd.set_fatal(14, "Error: Invalid Excel record code!\n");
                    return false;
                }
                break;
        }
    }
    return finish_globals(rd, err);
}

// The names of the workbook's sheets and ranges; also written to the name file when one is
// asked for.
void list_names(Reader& rd) { rd.set_fatal(0, xls_name_listing(rd.path, *g_selection)); }

size_t leading_agreement(const std::string& a, const std::string& b) {
    size_t n = 0;
    while (n < a.size() && n < b.size() && a[n] == b[n]) ++n;
    return n;
}

}  // namespace

void xls_select_sheet(VxsSelection* sel) {
    std::string wanted = vxs_options().logbook_in_format ? std::string("R:column_row") : std::string(vxs_options().worksheet_name);
    int32_t nsheets = static_cast<int32_t>(sel->sheets.size());
    int32_t nranges = static_cast<int32_t>(sel->ranges.size());
    sel->selected = 0;
    bool numbered = false;
    if (!vxs_options().logbook_in_format && !wanted.empty()) {
        char* end = nullptr;
        long n = std::strtol(wanted.c_str(), &end, 10);
        char again[32];
        std::snprintf(again, sizeof again, "%ld", n);
        if (n > 0 && wanted == again) {
            sel->selected = n - 1 > INT32_MAX - 1 ? INT32_MAX - 1 : static_cast<int32_t>(n - 1);
            numbered = true;
        }
    }
    wanted = upper(wanted);
    if (!wanted.empty() && !numbered) {
        size_t best = 0;
        int32_t choice = 0;
        auto consider = [&](int32_t index, const std::string& name, const std::string& want) {
            size_t score = leading_agreement(name, want);
            if (score > best || (score == best && name.size() == want.size())) {
                best = score;
                choice = index;
            }
            return score == want.size() && name.size() == want.size();
        };
        if (wanted.compare(0, 2, "S:") == 0) {
            std::string want = wanted.substr(2);
            for (int32_t i = 0; i < nsheets; ++i)
                if (consider(i, sel->sheets[i].name, want)) break;
        } else if (wanted.compare(0, 2, "R:") == 0) {
            std::string want = wanted.substr(2);
            int32_t matches = 0;
            for (int32_t k = 0; k < nranges; ++k)
                if (consider(nsheets + k, sel->ranges[k].name, want) && ++matches == vxs_options().logbook_match_no) break;
        } else {
            for (int32_t i = 0; i < nsheets; ++i) consider(i, sel->sheets[i].name, wanted);
            for (int32_t k = 0; k < nranges; ++k) consider(nsheets + k, sel->ranges[k].name, wanted);
        }
        sel->selected = choice;
    }
    if (sel->selected > nsheets + nranges - 1) sel->selected = nsheets + nranges - 1;
}

std::string xls_name_listing(const char* path, const VxsSelection& sel) {
    std::string text;
    char line[400];
    std::snprintf(line, sizeof line, "File: %s\nSheets: %li\n", path, static_cast<long>(sel.sheets.size()));
    text += line;
    for (const auto& s : sel.sheets) text += s.name + "\n";
    std::snprintf(line, sizeof line, "Named Ranges: %li\n", static_cast<long>(sel.ranges.size()));
    text += line;
    for (const auto& r : sel.ranges) text += r.name + "\n";
    if (!vxs_options().name_file.empty()) {
        if (FILE* f = vxs_create_output_file(vxs_options().name_file.c_str())) {
            std::fputs(text.c_str(), f);
            std::fclose(f);
        }
    }
    return text;
}

namespace {

// One corner of a cell range: one or two letters, then digits. Returns where parsing stopped.
const char* parse_corner(const char* p, int32_t* col, int32_t* row) {
    if (std::isalpha(static_cast<unsigned char>(*p))) {
        int64_t c = std::toupper(static_cast<unsigned char>(*p)) - 'A';
        ++p;
        if (std::isalpha(static_cast<unsigned char>(*p))) {
            c = (c + 1) * 26 + (std::toupper(static_cast<unsigned char>(*p)) - 'A');
            ++p;
        }
        *col = static_cast<int32_t>(c < 0 ? 0 : c > 255 ? 255 : c);
    }
    int64_t n = *row;
    if (std::isdigit(static_cast<unsigned char>(*p))) {
        n = 0;
        for (int i = 0; i < 80 && std::isdigit(static_cast<unsigned char>(*p)); ++i, ++p)
            if (n < INT32_MAX) n = n * 10 + (*p - '0');
        if (n > INT32_MAX) n = INT32_MAX;
    }
    *row = static_cast<int32_t>(n - 1);
    return p;
}

// Bounds of the store for a sheet: from DIMENSIONS, or the whole grid when it has none.
bool create_store(Reader& rd, int64_t first_row, int64_t last_row, int64_t first_col, int64_t last_col) {
    uint64_t cells = static_cast<uint64_t>(last_row - first_row + 1) * static_cast<uint64_t>(last_col - first_col + 1);
    if ((cells + 8) * 8 > kMaxCellBytes) {
        rd.set_fatal(9, "Error: Too much data in Excel file for Morvalen to handle!\n");
        return false;
    }
    if (!rd.store.create(first_row, last_row, first_col, last_col)) {
        rd.set_fatal(8, "Error: Not enough memory to read data!\n");
        return false;
    }
    return true;
}

bool ensure_store(Reader& rd) { return rd.store.created() || create_store(rd, 0, 32767, 0, 255); }

bool read_dimensions(Reader& rd, ByteReader r) {
    if (rd.store.created()) return true;
    int64_t first_row, last_row;
    if (rd.biff8) {
        first_row = r.u32();
        last_row = r.u32();
    } else {
        first_row = r.u16();
        last_row = r.u16();
    }
    int64_t first_col = r.u16();
    int64_t last_col = r.u16();
    if (first_row >= last_row || first_col >= last_col) {
        bool empty = first_row >= last_row ? first_row == last_row : first_col == last_col;
        rd.set_fatal(10, empty ? "Error: Excel Sheet is empty!\n" : "Error: Invalid Excel file Dimension record!\n");
        return false;
    }
    --last_row;
    --last_col;
    // Some writers claim a single cell whatever the sheet holds.
    if (first_row == last_row && first_col == last_col) {
        last_col = 255;
        if (last_row < 1000) last_row = 1000;
    }
    return create_store(rd, first_row, last_row, first_col, last_col);
}

void put_number(Reader& rd, int64_t row, int64_t col, double v) {
    if (std::isnan(v) || !std::isfinite(v) || !(v > vxs_missing)) return;
    if (!ensure_store(rd)) return;
    rd.store.put_number(row, col, v);
}

void put_text(Reader& rd, int64_t row, int64_t col, std::string text) {
    if (text.empty()) return;
    if (text.size() > kMaxText) text.resize(kMaxText);
    if (vxs_get_global_defaults()->factor_strip_blanks) text = vxs_strip_blanks(text, kMaxText);
    if (!ensure_store(rd)) return;
    rd.store.put_text(row, col, text);
}

// A string whose length the record bounds: 8-bit, or 16-bit when the option byte says so.
std::string bounded_text(ByteReader& r, size_t count, size_t room, bool wide) {
    size_t width = wide ? 2 : 1;
    if (count > room / width) count = room / width;
    return read_chars(r, count, wide);
}

void read_txo(Reader& rd, Records& recs, ByteReader r, bool& err) {
    if (r.size() != 18) {
        err = true;
        return;
    }
    uint16_t count = r.u16_at(10);
    if (count == 0) return;
    Record cont;
    size_t save = recs.pos;
    if (!recs.next(cont) || cont.code != kContinue) {
        recs.pos = save;
        std::printf("Error in XLS file - Missing Excel 97 Text Object continuation record.\n");
        err = true;
        return;
    }
    ByteReader c = recs.body(cont);
    bool wide = c.u8() != 0;
    size_t n = count;
    if (!wide && cont.len >= 1 && n != static_cast<size_t>(cont.len - 1)) {
        std::printf("Error in XLS file - Bad Excel 97 Text Object continuation record.\n");
        n = cont.len >= 1 ? cont.len - 1 : 0;
    }
    VxsComment note;
    note.object_id = rd.comment_object;
    rd.comment_object = -1;
    note.text = read_chars(c, n, wide, SIZE_MAX);
    rd.store.comments.push_back(std::move(note));
}

void read_note(Reader& rd, ByteReader r, bool& err) {
    uint16_t row = r.u16();
    uint16_t col = r.u16();
    if (!rd.biff8) {
        uint16_t len = r.u16();
        if (row == 0xFFFF && col == 0) return;  // the continuation of a long note
        if (!r.ok() || len != r.size() - 6) {
            err = true;
            return;
        }
        if (len > 0) {
            VxsComment note;
            note.row = row;
            note.col = col;
            note.text = read_chars(r, len, false, SIZE_MAX);
            rd.store.comments.push_back(std::move(note));
        }
        return;
    }
    r.u16();
    uint16_t id = r.u16();
    if (rd.store.comments.empty()) {
        std::printf("Bad Comment Order in Excel 97 file!\n");
        err = true;
        return;
    }
    for (auto& c : rd.store.comments)
        if (c.object_id == id) {
            c.row = row;
            c.col = col;
            return;
        }
    std::printf("Bad Comment in Excel 97 file\nAssociated Drawing object not found!\n");
}

// The records of one worksheet, from its BOF to its EOF, into the store. An error stops the
// sheet and keeps what was read; false when the run must end (a fatal condition or a
// protected sheet).
// Shortest body each cell record kind can have; one check before a record is decoded.
size_t min_cell_record_length(uint16_t code, const Reader& rd) {
    const size_t b2 = rd.biff2 ? 1 : 0;
    switch (code) {
        case kDimensions2:
        case kDimensions: return rd.biff8 ? 12 : 8;
        case kInteger: return 9;
        case kNumber2:
        case kNumber: return 14 + b2;
        case kRk2:
        case kRk: return 10 + b2;
        case kMulRk: return 12;
        case kLabel2:
        case kLabel:
        case kRString: return 8;
        case kLabelSst: return 10;
        case kBoolErr2:
        case kBoolErr: return 8 + b2;
        case kFormula:
        case kFormula4: return 14 + b2;
        case kString2: return rd.bare ? 2 : 0;
        case kString: return 2;
        default: return 0;
    }
}

bool read_sheet_cells(Reader& rd, Records& recs) {
    int depth = 0;
    bool first = true, err = false;
    size_t attr = rd.biff2 ? 3 : 2;
    Record rec;
    while (!err && recs.next(rec)) {
        uint16_t code = rec.code;
        if (rd.bare) code &= 0x09FF;
        bool is_bof = code == kBof || (rd.bare && code == kBof2);
        if (first) {
            first = false;
            if (!is_bof) return false;
            continue;
        }
        if (rec.len > kMaxRecord && !rd.biff8) {
            err = true;
            break;
        }
        if (depth > 0) {
            if (is_bof) ++depth;
            if (code == kEof) --depth;
            continue;
        }
        if (is_bof) {
            ++depth;
            continue;
        }
        if (code == kEof) break;
        ByteReader r = recs.body(rec);
        size_t len = rec.len;
        if (len < min_cell_record_length(code, rd)) {
            err = true;
            break;
        }
        switch (code) {
            case kDimensions2:
            case kDimensions:
                if (!read_dimensions(rd, r)) return false;
                break;
            case kInteger: {
                uint16_t row = r.u16(), col = r.u16();
                r.skip(3);
                put_number(rd, row, col, r.u16());
                break;
            }
            case kNumber2:
            case kNumber: {
                uint16_t row = r.u16(), col = r.u16();
                r.skip(attr);
                put_number(rd, row, col, r.f64());
                break;
            }
            case kRk2:
            case kRk: {
                uint16_t row = r.u16(), col = r.u16();
                r.skip(attr);
                put_number(rd, row, col, convert_rk_to_double(r.u32()));
                break;
            }
            case kMulRk: {
                uint16_t row = r.u16(), col = r.u16();
                size_t pairs = len / 6 - 1;
                for (size_t i = 0; i < pairs; ++i) {
                    r.skip(2);
                    put_number(rd, row, static_cast<int64_t>(col) + static_cast<int64_t>(i), convert_rk_to_double(r.u32()));
                }
                break;
            }
            case kLabel2:
            case kLabel: {
                uint16_t row = r.u16(), col = r.u16();
                size_t count;
                if (rd.biff2) {
                    r.skip(3);
                    count = r.u8();
                } else {
                    r.skip(2);
                    count = r.u16();
                }
                bool wide = rd.biff8 && (r.u8() & 0x01);
                put_text(rd, row, col, bounded_text(r, count, len - 8 - (rd.biff8 ? 1 : 0), wide));
                break;
            }
            case kRString: {
                uint16_t row = r.u16(), col = r.u16();
                r.skip(2);
                size_t count = r.u16();
                put_text(rd, row, col, bounded_text(r, count, len - 8, false));
                break;
            }
            case kLabelSst: {
                uint16_t row = r.u16(), col = r.u16();
                r.skip(2);
                uint32_t index = r.u32();
                if (index >= rd.sst_offsets.size()) {
                    err = true;
                    break;
                }
                uint64_t ref = rd.sst_offsets[index];
                put_text(rd, row, col, rd.sst_arena.substr(ref >> 8, ref & 0xFF));
                break;
            }
            case kBoolErr2:
            case kBoolErr: {
                uint16_t row = r.u16(), col = r.u16();
                r.skip(attr);
                uint8_t value = r.u8();
                if (r.u8() == 0) put_number(rd, row, col, value ? 1.0 : 0.0);
                break;
            }
            case kFormula:
            case kFormula4: {
                uint16_t row = r.u16(), col = r.u16();
                r.skip(attr);
                rd.last_formula_row = row;
                rd.last_formula_col = col;
                size_t at = r.pos();
                if (r.u16_at(at + 6) != 0xFFFF) {
                    put_number(rd, row, col, r.f64());
                } else if (r.u8_at(at) == 1) {
                    put_number(rd, row, col, r.u8_at(at + 2) == 1 ? 1.0 : 0.0);
                }
                break;
            }
            case kString2:
            case kString: {
                // Excel 2 writes the string result of a formula with an 8-bit length.
                if (code == kString2 && !rd.bare) break;
                size_t count = rd.biff2 ? r.u8() : r.u16();
                size_t head = rd.biff2 ? 1 : 2;
                bool wide = false;
                if (rd.biff8) {
                    wide = r.u8() & 0x01;
                    ++head;
                }
                size_t room = len > head ? len - head : 0;
                if (rd.last_formula_row >= 0)
                    put_text(rd, rd.last_formula_row, rd.last_formula_col, bounded_text(r, count, room, wide));
                break;
            }
            case kNote:
                if (!rd.bare) read_note(rd, r, err);
                break;
            case kObj:
                if (rd.biff8 && r.u16_at(0) == 0x15 && r.u16_at(4) == 0x19) rd.comment_object = r.u16_at(6);
                break;
            case kTxo:
                if (rd.biff8) read_txo(rd, recs, r, err);
                break;
            case kPassword:
            case kFilepass:
                if (is_protection(r)) {
                    rd.protected_book = true;
                    return false;
                }
                break;
            default:
                if (code >= kFirstBadCode) err = true;
                break;
        }
        if (rd.fatal->status >= 0) return false;
    }
    return true;
}

}  // namespace

double convert_rk_to_double(uint32_t rk) {
    double v;
    if (rk & 0x02) {
        v = static_cast<double>(static_cast<int32_t>(rk) >> 2);
    } else {
        uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, 8);
    }
    if (rk & 0x01) v /= 100.0;
    return v;
}

void xls_bound_to_range(VxsSelection* sel, const VxsRangeEntry& range) {
    sel->first_col = range.first_col;
    sel->first_row = range.first_row;
    sel->last_col = range.last_col;
    sel->last_row = range.last_row;
}

const VxsSheetEntry* xls_choose_sheet(VxsSelection* sel) {
    xls_select_sheet(sel);
    const int32_t nsheets = static_cast<int32_t>(sel->sheets.size());
    if (sel->selected < nsheets) {
        xls_parse_cell_range(vxs_options().cell_range.c_str(), sel);
        return &sel->sheets[static_cast<size_t>(sel->selected)];
    }
    const VxsRangeEntry& range = sel->ranges[static_cast<size_t>(sel->selected - nsheets)];
    xls_bound_to_range(sel, range);
    for (const auto& s : sel->sheets)
        if (s.number == range.sheet_number) return &s;
    return nullptr;
}

void xls_parse_cell_range(const char* text, VxsSelection* sel) {
    if (!text || !*text) return;
    const char* second = std::strchr(text, ':');
    if (second) {
        ++second;
    } else if ((second = std::strchr(text, '.')) != nullptr) {
        second += second[1] == '.' ? 2 : 1;
    } else if ((second = std::strchr(text, ' ')) != nullptr) {
        ++second;
    }
    parse_corner(text, &sel->first_col, &sel->first_row);
    if (second) parse_corner(second, &sel->last_col, &sel->last_row);
}

VxsSelection* xls_selection() {
    if (!g_selection) g_selection = new VxsSelection();
    return g_selection;
}

int16_t xls_read_workbook(const char* path, XlsFatal* fatal) {
    fatal->status = -1;
    fatal->message.clear();
    VxsSelection* sel = xls_selection();
    *sel = VxsSelection{};
    sel->logbook = vxs_options().logbook_in_format;
    if (open_xls_file(path) != 0) {
        xls_deallocate_mem();
        return 1;
    }
    Reader rd;
    rd.path = path;
    rd.fatal = fatal;
    rd.bare = xls_ver_34 != 0;
    rd.biff2 = xls_ver_2 != 0;
    rd.biff8 = xls_ver_97 != 0;
    Records recs(xls_stream_size());
    recs.pos = xls_stream_pos();

    if (rd.bare) {
        // A bare worksheet file has no globals: one sheet named after the file.
        std::string base = path;
        size_t slash = base.find_last_of('/');
        if (slash == std::string::npos) slash = base.find_last_of('\\');
        if (slash != std::string::npos) base = base.substr(slash + 1);
        size_t dot = base.find_last_of('.');
        if (dot != std::string::npos) base.resize(dot);
        base += rd.biff2 ? " (Excel 2)" : " (Excel 3/4)";
        sel->sheets.push_back({base, 0, 0});
    } else if (!read_globals(rd, recs)) {
        xls_deallocate_mem();
        return 1;
    }
    if (vxs_options().name_dump) {
        list_names(rd);
        xls_deallocate_mem();
        return 1;
    }
    const VxsSheetEntry* sheet = xls_choose_sheet(sel);
    int16_t result = 1;
    if (sheet && get_abs_biff_page(static_cast<long>(sheet->position)) == 0) {
        recs.pos = xls_stream_pos();
        if (read_sheet_cells(rd, recs) && rd.store.created()) {
            xls_deallocate_mem();  // the store holds every cell: the stream's memory goes to the sheet
            result = static_cast<int16_t>(vxs_create_sheet_from_store(sel, path, sheet->name.c_str(), rd.store, VXT_XLS));
        }
    }
    xls_deallocate_mem();
    return result;
}

int16_t read_xls_into_sheet(const char* path) {
    XlsFatal fatal;
    int16_t result = xls_read_workbook(path, &fatal);
    if (fatal.status >= 0) vxs_fatal(fatal.message.c_str(), fatal.status);
    return result;
}
